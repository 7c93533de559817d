// Phase 4 (local names, simple variables, folding) and the operator semantics.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "CompilerTestUtil.h"
#include "code/Code_Error.h"
#include "code/Code_Main.h"
#include "code/Code_Operator.h"
#include "code/Code_Token.h"

using namespace compilertest;

namespace {

class FoldTest : public CompilerTest {};

TEST_F(FoldTest, ConstantExpressionsFoldToOneValue) {
  struct Case {
    const char* source;
    const char* value;
  };
  const Case cases[] = {
      {"2*3+1", "7"},
      {"-1.5 / 2", "-0.75"},
      {"'ab' + 'cd'", "\"abcd\""},
      {"'' + ''", "\"\""},
      {"3 * 'ab'", "\"ababab\""},
      {"0 * 'ab'", "\"\""},
      {"-1 * 'ab'", "\"\""},
      {"2.5 * 'ab'", "\"abab\""},  // the count rounds half to even
      {"3.5 * 'ab'", "\"abababab\""},
      {"2 * 'ab' + 'c'", "\"ababc\""},
      {"7 div 2", "3"},
      {"-7 div 2", "-3"},
      {"7.9 div 2.9", "3"},
      {"-2147483648 div -1", "2147483648"},
      {"7 mod 3", "1"},
      {"-7 mod 3", "-1"},
      {"7 mod -3", "1"},
      {"7.5 mod 2", "1.5"},
      {"10000000000 mod 3", "1"},  // the quotient lies beyond 32 bits
      {"0.5 && 0.5", "1"},
      {"0.49 || 0", "0"},
      {"2 ^^ 3", "0"},
      {"1 ^^ 0", "1"},
      {"'a' < 'b'", "1"},
      {"'b' <= 'a'", "0"},
      {"'abc' == 'abc'", "1"},
      {"'abc' = 'abd'", "0"},
      {"'' < 'a'", "1"},
      {"'\xC3\xA9' > 'z'", "1"},  // bytes compare unsigned
      {"1 == 1", "1"},
      {"1 != 1", "0"},
      {"1 <> 2", "1"},
      {"2 >= 2", "1"},
      {"1 > 2", "0"},
      {"0.5 + 0.5 == 1", "1"},
      {"2.5 | 0", "2"},
      {"3.5 | 0", "4"},
      {"6 & 3", "2"},
      {"6 ^ 3", "5"},
      {"1 << 33", "2"},
      {"1 << 31", "-2147483648"},
      {"-8 >> 1", "-4"},
      {"$FFFFFFFF | 0", "-2147483648"},  // out of the 32-bit range
      {"!0.4", "1"},
      {"!0.5", "0"},
      {"not 1", "0"},
      {"-(2)", "-2"},
      {"+3", "3"},
      {"~0", "-1"},
      {"~2.5", "-3"},
      {"(1 + 2) * (3 + 4) - 1", "20"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Compile(c.source, true);
    EXPECT_TRUE(outcome.ok) << c.source << ": " << outcome.error;
    EXPECT_EQ(outcome.tree, c.value) << c.source;
    EXPECT_EQ(outcome.kind, CODE_CONSTANT) << c.source;
  }
}

TEST_F(FoldTest, OperationsOnVariablesStay) {
  struct Case {
    const char* source;
    const char* tree;
  };
  const Case cases[] = {
      {"1 + 2 + a", "(3 + a@-6)"},
      {"a + 1 + 2", "((a@-6 + 1) + 2)"},
      {"-a", "(-a@-6)"},
      {"a[1 + 1]", "a[2]"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Compile(c.source, true);
    EXPECT_TRUE(outcome.ok) << c.source << ": " << outcome.error;
    EXPECT_EQ(outcome.tree, c.tree) << c.source;
    EXPECT_EQ(outcome.kind, CODE_EXPRESSION) << c.source;
  }
}

TEST_F(FoldTest, OperatorErrors) {
  struct Case {
    const char* source;
    const char* message;
    int32_t position;
  };
  const Case cases[] = {
      {"'ab' * 3", "Wrong type of arguments to *.", 7},
      {"'a' * 'b'", "Wrong type of arguments to *.", 7},
      {"'a' + 1", "Wrong type of arguments to +.", 6},
      {"'a' - 'b'", "Wrong type of arguments to -.", 7},
      {"1 / 'a'", "Wrong type of arguments to /.", 5},
      {"1 / 0", "Division by 0.", 4},
      {"7 div 0.5", "Division by 0.", 6},
      {"'a' div 1", "Wrong type of arguments to div.", 8},
      {"5 mod 0", "Modulo by 0.", 6},
      {"'a' mod 1", "Wrong type of arguments to mod.", 8},
      {"'a' && 1", "Wrong type of arguments for &&.", 7},
      {"1 || 'a'", "Wrong type of arguments for ||.", 6},
      {"1 xor 'a'", "Wrong type of arguments for ^^.", 7},
      {"'a' | 1", "Wrong type of arguments for |.", 6},
      {"'a' & 1", "Wrong type of arguments for &.", 6},
      {"'a' ^ 1", "Wrong type of arguments for ^.", 6},
      {"'a' << 1", "Wrong type of arguments for <<.", 7},
      {"'a' >> 1", "Wrong type of arguments for >>.", 7},
      {"'a' < 1", "Cannot compare arguments.", 6},
      {"1 == 'a'", "Cannot compare arguments.", 6},
      {"-'a'", "Wrong type of arguments to unary operator.", 2},
      {"!'a'", "Wrong type of arguments to unary operator.", 2},
      {"'s'.x", "Left hand side must be a real value.", 1},
      // A folded text is bounded as the machine bounds it, even in code that never runs.
      {"1000000000 * '0123456789012345678901234567890123456789'", "DoMul :: Execution Error - repeated text too long", 14},
      {"2147483584 * 'a'", "DoMul :: Execution Error - repeated text too long", 14},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Compile(c.source, true);
    EXPECT_FALSE(outcome.ok) << c.source;
    EXPECT_EQ(outcome.error, c.message) << c.source;
    EXPECT_EQ(outcome.errorPos, c.position) << c.source;
  }
  // A failed fold leaves the operation in place.
  EXPECT_EQ(Compile("x = 1 / 0", false).tree, "{x@-6 = (1 / 0)}");
}

// Code that never runs is folded too, so a huge text there is refused at once rather than built.
TEST_F(FoldTest, FoldedTextsAreBoundedInStatements) {
  const Outcome outcome = Compile("if (0) { x = 2000000000 * 'ab' }", false);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error, "DoMul :: Execution Error - repeated text too long");
  EXPECT_EQ(Compile("x = 2147483583 * ''", false).ok, true);  // nothing to repeat
}

// Folding builds short texts only: a long one within the machine's limit stays an operation, built
// at run time if the code runs.
TEST_F(FoldTest, LongTextsAreLeftForRunTime) {
  EXPECT_EQ(Compile("x = 1048576 * 'a'", false).tree.size(), std::string("{x@-6 = \"\"}").size() + 1048576);
  EXPECT_EQ(Compile("x = 100000000 * '0123456789'", false).tree, "{x@-6 = (100000000 * \"0123456789\")}");
  const std::string half(600000, 'a');
  EXPECT_EQ(Compile(("x = '" + half + "' + '" + half + "'").c_str(), false).tree.size(), 2 * half.size() + 18);
}

TEST_F(FoldTest, OperatorsDirectly) {
  ScriptValue left;
  ScriptValue right;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // With a NaN operand only "not equal" holds.
  for (int32_t op : {TOKEN_EQUAL, TOKEN_ASSIGN, TOKEN_LESS, TOKEN_LESS_EQUAL, TOKEN_GREATER, TOKEN_GREATER_EQUAL,
                     TOKEN_NOT_EQUAL}) {
    SetReal(&left, nan);
    SetReal(&right, 1.0);
    ASSERT_TRUE(EvalBinaryOperator(nullptr, 0, op, &left, &right));
    EXPECT_EQ(left.real, op == TOKEN_NOT_EQUAL ? 1.0 : 0.0) << op;
  }
  // Unknown operators.
  SetReal(&left, 1.0);
  EXPECT_FALSE(EvalBinaryOperator(nullptr, 3, 999, &left, &right));
  std::string message;
  int32_t position;
  LastError(&message, &position);
  EXPECT_EQ(message, "Internal error: unknown binary operator.");
  Code_ClearErrorFlag();
  EXPECT_FALSE(EvalUnaryOperator(nullptr, 0, TOKEN_TIMES, &left));
  LastError(&message, &position);
  EXPECT_EQ(message, "Internal error: unknown unary operator.");
  Code_ClearErrorFlag();
  // A failure leaves the left operand as it was; the right one is never changed.
  SetString(&left, "keep");
  SetReal(&right, 2.0);
  EXPECT_FALSE(EvalBinaryOperator(nullptr, 0, TOKEN_TIMES, &left, &right));
  EXPECT_STREQ(left.str, "keep");
  Code_ClearErrorFlag();
  SetString(&right, "xy");
  ReleaseValue(&left);
  SetReal(&left, 2.0);
  ASSERT_TRUE(EvalBinaryOperator(nullptr, 0, TOKEN_TIMES, &left, &right));
  EXPECT_STREQ(left.str, "xyxy");
  EXPECT_STREQ(right.str, "xy");
  ReleaseValue(&left);
  ReleaseValue(&right);
  // Integer values of other kinds compare by number.
  left.kind = VALUE_INT32;
  left.i64 = 0;
  left.i32 = -5;
  right.kind = VALUE_INT32;
  right.i64 = 0;
  right.i32 = 3;
  ASSERT_TRUE(EvalBinaryOperator(nullptr, 0, TOKEN_LESS, &left, &right));
  EXPECT_EQ(left.Kind(), VALUE_REAL);
  EXPECT_EQ(left.real, 1.0);
}

TEST_F(FoldTest, VarMakesLaterUsesLocal) {
  struct Case {
    const char* source;
    const char* tree;
  };
  const Case cases[] = {
      {"a = 1; var a; a = 2; b = a", "{a@-6 = 1; var(a); a@-7 = 2; b@-6 = a@-7}"},
      {"var a; a[1] = 2", "{var(a); -7.a[1] = 2}"},
      {"globalvar g; g = 1", "{globalvar(g); g@-6 = 1}"},
      {"if c { var t } t = 1", "{if(c@-6, {var(t)}); t@-7 = 1}"},
      {"(2.5).x = 1 (3.5).x = 1 (-1).x = 1", "{x@2 = 1; x@4 = 1; x@-1 = 1}"},
      {"a.x = 1", "{a@-6.x = 1}"},
      {"switch x { case 1 + 1: y = 1; case a: }", "{switch(x@-6, constcase(2), y@-6 = 1, case(a@-6))}"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Compile(c.source, false);
    EXPECT_TRUE(outcome.ok) << c.source << ": " << outcome.error;
    EXPECT_EQ(outcome.tree, c.tree) << c.source;
  }
}

TEST_F(FoldTest, ManyLocalNames) {
  // More declarations than the first size of the local-name list (10,000); the last name lands
  // beyond it.
  std::string source = "var";
  for (int i = 0; i < 10001; ++i) source += " n";
  source += " last; last = n";
  const Outcome outcome = Compile(source, false);
  ASSERT_TRUE(outcome.ok) << outcome.error;
  EXPECT_EQ(outcome.tree.substr(outcome.tree.size() - 17), "; last@-7 = n@-7}");
}

}  // namespace
