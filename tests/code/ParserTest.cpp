// Phase 3: the parser, checked through tree dumps and the exact error texts with positions.
#include <gtest/gtest.h>

#include <string>

#include "CompilerTestUtil.h"
#include "code/Code_Compile.h"
#include "code/Code_Main.h"
#include "variable/Variable_Main.h"

using namespace compilertest;

namespace {

class ParserTest : public CompilerTest {
 protected:
  void SetUp() override {
    CompilerTest::SetUp();
    RegisterTestFunction("f", -1);
    RegisterTestFunction("g", 2);
  }
};

struct TreeCase {
  const char* source;
  const char* tree;
};

struct ErrorCase {
  const char* source;
  const char* message;
  int32_t position;
};

TEST_F(ParserTest, Programs) {
  const TreeCase cases[] = {
      {"", "empty"},
      {";", "{nop}"},
      {"x = 1", "{x = 1}"},
      {"x = 1;;; ; y := 2", "{x = 1; y = 2}"},
      {"x = 1 y = 2", "{x = 1; y = 2}"},
      {"{x = 1}", "{x = 1}"},
      {"{x = 1};", "{x = 1}"},
      {"begin x = 1 }", "{x = 1}"},
      {"x += 1 x -= 1 x *= 2 x /= 2 x |= 1 x &= 1 x ^= 1",
       "{x += 1; x -= 1; x *= 2; x /= 2; x |= 1; x &= 1; x ^= 1}"},
      {"a = b = c", "{a = (b = c)}"},
      {"(a) = 3", "{a = 3}"},
      {"a.b.c = 1", "{a.b.c = 1}"},
      {"(a.b).c[1] = 1", "{a.b.c[1] = 1}"},
      {"a[] = 1", "{a = 1}"},
      {"a[1, 2] = a[1,]", "{a[1, 2] = a[1]}"},
      {"f(1,)", "{f(1)}"},
      {"f() g(1, 2)", "{f(); g(1, 2)}"},
      {"if a then b = 1; else b = 2", "{if(a, b = 1, b = 2)}"},
      {"if a b = 1", "{if(a, b = 1)}"},
      {"while a do b = 1 while a b = 1", "{while(a, b = 1); while(a, b = 1)}"},
      {"do a = 1 until a > 3", "{do(a = 1, (a > 3))}"},
      {"for (i = 0; i < 3; i += 1) x = 1", "{for(i = 0, (i < 3), i += 1, x = 1)}"},
      {"for (i = 0 i < 3 i += 1) {}", "{for(i = 0, (i < 3), i += 1, {})}"},
      {"repeat 3 x += 1", "{repeat(3, x += 1)}"},
      {"exit; break; continue", "{exit; break; continue}"},
      {"with a do x = 1 with (a) x = 1", "{with(a, x = 1); with(a, x = 1)}"},
      {"return a + 1", "{return((a + 1))}"},
      {"switch x { case 1: y = 1; break; default: y = 2 }",
       "{switch(x, case(1), y = 1, break, default, y = 2)}"},
      {"switch x begin end", "{switch(x)}"},
      {"case 1: default:", "{case(1); default}"},
      {"var a b c", "{var(a, b, c)}"},
      {"var a, b; globalvar g1, g2;", "{var(a, b); globalvar(g1, g2)}"},
  };
  for (const TreeCase& c : cases) {
    const Outcome outcome = Parse(c.source, false);
    EXPECT_TRUE(outcome.ok) << c.source << ": " << outcome.error;
    EXPECT_EQ(outcome.tree, c.tree) << c.source;
  }
}

TEST_F(ParserTest, OperatorPrecedenceAndAssociativity) {
  const TreeCase cases[] = {
      {"1 + 2 * 3 - 4", "((1 + (2 * 3)) - 4)"},
      {"a - b - c", "((a - b) - c)"},
      {"a < b < c", "((a < b) < c)"},
      {"a = b", "(a = b)"},
      {"a || b && c ^^ d", "(((a || b) && c) ^^ d)"},
      {"a and b or not c xor d", "(((a && b) || (!c)) ^^ d)"},
      {"a == b | c", "(a == (b | c))"},
      {"a | b & c ^ d", "(((a | b) & c) ^ d)"},
      {"a | b << 1 + 2", "(a | (b << (1 + 2)))"},
      {"a << 1 >> 2", "((a << 1) >> 2)"},
      {"1 div 2 mod 3 % 4 / 5 * 6", "(((((1 div 2) mod 3) mod 4) / 5) * 6)"},
      {"!a == b", "((!a) == b)"},
      {"-a.b", "(-a.b)"},
      {"- -1", "(-(-1))"},
      {"~+a", "(~(+a))"},
      {"-(a + b) * c", "((-(a + b)) * c)"},
      {"a >= b != c <= d <> e > f", "(((((a >= b) != c) <= d) != e) > f)"},
      {"'s' + \"t\"", "(\"s\" + \"t\")"},
      {"1 2", "1"},
      {"", "0"},
      {"f(a, g(1, 2))[0]", "f(a, g(1, 2))"},  // what follows the expression is ignored
  };
  for (const TreeCase& c : cases) {
    const Outcome outcome = Parse(c.source, true);
    EXPECT_TRUE(outcome.ok) << c.source << ": " << outcome.error;
    EXPECT_EQ(outcome.tree, c.tree) << c.source;
  }
}

TEST_F(ParserTest, Errors) {
  RegisterBuiltinVariable("speed", nullptr, nullptr);
  const std::string seventeen = "f(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17)";
  const ErrorCase cases[] = {
      {"{x = 1} {y = 2}", "Program ends before end of the code.", 8},
      {"{x = 1", "Symbol  } expected.", 6},
      {"3 = a", "Variable name expected.", 0},
      {"f(1) = 2", "Unexpected symbol in expression.", 5},
      {"x", "Assignment operator expected.", 1},
      {"x 1", "Assignment operator expected.", 2},
      {"x == 1", "Assignment operator expected.", 2},
      {"x = 1 +", "Unexpected symbol in expression.", 7},
      {"x = (1 + 2", "Symbol ) expected.", 10},
      {"x = a.(b)", "Variable name expected.", 6},
      {"x = a.1", "Variable name expected.", 5},  // ".1" is a number: a new statement starts there
      {"}", "Unexpected symbol in expression.", 0},
      {"a[1,2,3] = 1", "Only 1- and 2-dimensional arrays are supported.", 9},
      {"a[1 2] = 1", "Symbol , or ] expected.", 4},
      {"a[1", "Symbol ] expected.", 3},
      {"f(1,,2)", "Unexpected symbol in expression.", 4},
      {"f(1 2)", "Symbol , or ) expected.", 4},
      {"f(1", "Symbol ) expected.", 3},
      {"g(1)", "Wrong number of arguments to function or script.", 3},
      {"g(1,2,3)", "Wrong number of arguments to function or script.", 7},
      {"x = g()", "Wrong number of arguments to function or script.", 6},
      {"if a", "Unexpected end of code reached.", 4},
      {"do a = 1 while a", "Keyword until expected.", 9},
      {"for i = 0", "Symbol ( expected.", 4},
      {"for (i = 0; i < 3; ) x = 1", "Unexpected symbol in expression.", 19},
      {"for (i = 0; i < 3; i += 1 x = 1", "Symbol ) expected.", 26},
      {"return;", "Unexpected symbol in expression.", 6},
      {"switch x case 1:", "Symbol {  expected.", 9},
      {"switch x { case 1: y = 1", "Symbol  } expected.", 24},
      {"case 1 x = 1", "Symbol : expected.", 7},
      {"default x", "Symbol : expected.", 8},
      {"var a, 5", "Variable name expected.", 7},
      {"var a speed", "Cannot redeclare a builtin variable.", 6},
      {"globalvar speed", "Cannot redeclare a builtin variable.", 10},
  };
  for (const ErrorCase& c : cases) {
    const Outcome outcome = Parse(c.source, false);
    EXPECT_FALSE(outcome.ok) << c.source;
    EXPECT_EQ(outcome.error, c.message) << c.source;
    EXPECT_EQ(outcome.errorPos, c.position) << c.source;
  }
  // Sixteen arguments pass; seventeen fail even for a function that takes any number.
  EXPECT_TRUE(Parse("f(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16)", false).ok);
  const Outcome outcome = Parse(seventeen, false);
  EXPECT_EQ(outcome.error, "Wrong number of arguments to function or script.");
  EXPECT_EQ(outcome.errorPos, static_cast<int32_t>(seventeen.size()) - 1);
}

TEST_F(ParserTest, TheFirstErrorIsKeptAndTheTreeStaysWhole) {
  // The partly built tree is left in the entry and freed with it (the sanitizers watch that).
  const Outcome outcome = Parse("x = 'text'; y = f('a', 'b', (1 + ", false);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error, "Unexpected symbol in expression.");
  EXPECT_EQ(outcome.tree.substr(0, 12), "{x = \"text\";");
}

TEST_F(ParserTest, DeepNestingIsACompileErrorNotACrash) {
  auto nested = [](int depth) { return "x = " + std::string(depth, '(') + "1" + std::string(depth, ')'); };
  EXPECT_TRUE(Parse(nested(500), false).ok);
  Outcome outcome = Parse(nested(5000), false);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error, "Expression too complex.");

  std::string unary = "x = " + std::string(3000, '-') + "1";
  outcome = Parse(unary, false);
  EXPECT_EQ(outcome.error, "Expression too complex.");

  std::string blocks = std::string(3000, '{') + std::string(3000, '}');
  outcome = Parse(blocks, false);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error, "Code nested too deeply.");

  std::string ifs;
  for (int i = 0; i < 3000; ++i) ifs += "if a ";
  outcome = Parse(ifs + "x = 1", false);
  EXPECT_EQ(outcome.error, "Code nested too deeply.");

  // Both limits reached at once stay within the native stack.
  ifs.clear();
  for (int i = 0; i < 999; ++i) ifs += "if a ";
  outcome = Parse(ifs + nested(999), false);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error, "Expression too complex.");
}

TEST_F(ParserTest, LongOperatorChainsAreBoundedToo) {
  // A chain nests no parse routine, but every operator adds a level to the tree that later
  // passes walk recursively.
  auto chain = [](int terms) {
    std::string text = "x = a";
    for (int i = 1; i < terms; ++i) text += "+a";
    return text;
  };
  EXPECT_TRUE(Compile(chain(900), false).ok);
  const Outcome outcome = Parse(chain(1100), false);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error, "Expression too complex.");

  std::string dots = "x = a";
  for (int i = 0; i < 1100; ++i) dots += ".a";
  EXPECT_EQ(Parse(dots, false).error, "Expression too complex.");
}

TEST_F(ParserTest, CopiesAreDeep) {
  CCode code("x = 'ab' + f(y, 'cd'); z[1] = 2", false);
  ASSERT_TRUE(Compiler_CompileTree(&code));
  const std::string original = DumpTree(code.m_tree);

  CodeNode* copy = CodeNode_New();
  CodeNode_Copy(copy, code.m_tree);
  EXPECT_EQ(DumpTree(copy), original);
  // The copy owns its own texts: changing one leaves the other.
  copy->children[0].children[1].children[0].value.str[0] = 'A';
  EXPECT_EQ(DumpTree(code.m_tree), original);

  // Copying a part over the whole keeps the part alive while the whole is released.
  CodeNode_Copy(copy, &copy->children[1]);
  EXPECT_EQ(DumpTree(copy), DumpTree(&code.m_tree->children[1]));
  CodeNode_Delete(copy);
}

}  // namespace
