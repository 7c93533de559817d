// Phases 1 and 2: tokens and symbols.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CompilerTestUtil.h"
#include "code/Code_Constant.h"
#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "code/Code_Main.h"
#include "code/Code_Phase1.h"
#include "code/Code_Phase2.h"
#include "code/Code_Token.h"
#include "script/Script_Main.h"
#include "variable/Variable_Names.h"

using namespace compilertest;

namespace {

// Tokens as text: identifiers as written, numbers as #text, strings as 'text', every other kind
// as its code, the end as $. Positions are appended as @n when `positions` is set.
std::string Tokens(const char* source, bool positions = false) {
  CCode code(source, false);
  TokenList list{};
  const bool ok = Phase1_Tokenize(&code, &list);
  std::string text = ok ? "" : "FAILED ";
  for (int32_t i = 0; i < list.count; ++i) {
    const CodeToken& t = list.tokens[i];
    if (i > 0) text += " ";
    switch (t.kind) {
      case TOKEN_IDENTIFIER: text += t.text; break;
      case TOKEN_NUMBER: text += std::string("#") + t.text; break;
      case TOKEN_STRING: text += std::string("'") + t.text + "'"; break;
      case TOKEN_END: text += "$"; break;
      default: text += std::to_string(t.kind); break;
    }
    if (positions) text += "@" + std::to_string(t.position);
  }
  FreeTokenList(&list);
  Code_ClearErrorFlag();
  return text;
}

class TokenTest : public CompilerTest {};

TEST_F(TokenTest, CutsTextIntoTokens) {
  struct Case {
    const char* source;
    const char* tokens;
  };
  const Case cases[] = {
      {"a=b", "a 101 b $"},
      {"a:=b", "a 101 b $"},
      {"a==b", "a 206 b $"},
      {"a<>b a!=b", "a 207 b a 207 b $"},
      {"x+++y", "x 210 210 210 y $"},
      {"a+=1-=2*=3/=4|=5&=6^=7", "a 102 #1 103 #2 104 #3 105 #4 114 #5 115 #6 116 #7 $"},
      {"&& || ^^ ! & | ^ ~ << >> <= >= < > %", "201 202 216 203 218 217 219 220 221 222 205 208 204 209 215 $"},
      {"and or xor not div mod", "201 202 216 203 214 215 $"},
      {"( ) [ ] { } ; , . :", "106 107 110 111 11 12 108 109 112 113 $"},
      {"begin end if then else while do for until repeat", "11 12 13 14 15 16 17 18 19 20 $"},
      {"exit break continue with return switch case default var globalvar", "21 22 23 24 25 26 27 28 29 30 $"},
      // Keywords are matched exactly: other spellings are identifiers.
      {"If BEGIN iff _if if2", "If BEGIN iff _if if2 $"},
      // Numbers: no sign, no exponent, one dot; a second dot starts the next number.
      {"1.2.3", "#1.2 #.3 $"},
      {".5 5. 007", "#.5 #5. #007 $"},
      {"1e5", "#1 e5 $"},
      {"$FF $ $1fg", "#$FF #$ #$1f g $"},
      {"a.b", "a 112 b $"},
      // Strings: no escapes; either quote may hold the other.
      {"'say \"hi\"' \"it's\"", "'say \"hi\"' 'it's' $"},
      {"\"line1\nline2\"", "'line1\nline2' $"},
      // Comments.
      {"a // note\nb", "a b $"},
      {"a /* x */ b", "a b $"},
      {"/*/x", "x $"},
      {"a /* never closed", "a $"},
      {"a // to the end", "a $"},
      // Bytes from 0x80 up separate tokens like blanks: a, e-acute (UTF-8), b.
      {"a\xC3\xA9" "b", "a b $"},
      {"", "$"},
      {"  \t\r\n ", "$"},
  };
  for (const Case& c : cases) EXPECT_EQ(Tokens(c.source), c.tokens) << c.source;
}

TEST_F(TokenTest, QuotesAreNeverEscaped) {
  // 'a\' is a whole string; the b and the lone quote after it follow.
  EXPECT_EQ(Tokens("'a\\'b'x"), "'a\\' b 'x  ' $");
}

TEST_F(TokenTest, PositionsPointAtTheFirstCharacter) {
  EXPECT_EQ(Tokens("ab = 'cd'", true), "ab@0 101@3 'cd'@6 $@12");
  EXPECT_EQ(Tokens("  x", true), "x@2 $@6");
}

TEST_F(TokenTest, UnclosedStringRunsToTheEnd) {
  // The text ends inside the string: no error, and the string takes two of the three blanks
  // the tokenizer appends.
  EXPECT_EQ(Tokens("x = \"abc"), "x 101 'abc  ' $");
}

TEST_F(TokenTest, NullSourceGivesNoTokens) {
  CCode code(nullptr, false);
  TokenList list{};
  EXPECT_TRUE(Phase1_Tokenize(&code, &list));
  EXPECT_EQ(list.count, 0);
  FreeTokenList(&list);
}

TEST_F(TokenTest, IdentifiersOfAnyLength) {
  const std::string longName(5000, 'q');
  EXPECT_EQ(Tokens((longName + " + 1").c_str()), longName + " 210 #1 $");
  // And the resolved variable keeps the whole name.
  const Outcome outcome = Parse(longName + "=1", false);
  ASSERT_TRUE(outcome.ok) << outcome.error;
  EXPECT_EQ(outcome.tree, "{" + longName + " = 1}");
}

TEST_F(TokenTest, CharactersThatStartNoTokenFail) {
  struct Case {
    const char* source;
    int32_t position;
  };
  const Case cases[] = {{"a ? b", 2}, {"#", 0}, {"x = @", 4}, {"`", 0}, {"a\\b", 1}};
  for (const Case& c : cases) {
    CCode code(c.source, false);
    TokenList list{};
    EXPECT_FALSE(Phase1_Tokenize(&code, &list)) << c.source;
    std::string message;
    int32_t position;
    LastError(&message, &position);
    EXPECT_EQ(message, "Unexpected symbol.") << c.source;
    EXPECT_EQ(position, c.position) << c.source;
    FreeTokenList(&list);
    Code_ClearErrorFlag();
  }
}

TEST_F(TokenTest, NumberValues) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {
      {"0", 0},          {"255", 255},     {"$FF", 255},       {"$ff", 255},  {"$", 0},
      {"$7fffffff", 2147483647.0},         {"$100000000", 4294967296.0},      {".5", 0.5},
      {"5.", 5},         {"0.25", 0.25},   {"12.5", 12.5},     {"007", 7},
  };
  for (const Case& c : cases) EXPECT_EQ(Phase2_NumberValue(c.text), c.value) << c.text;
  // Digit by digit in double precision: the same steps as written, not a library conversion.
  double expected = 0;
  double scale = 1;
  for (char ch : std::string("1234")) {
    scale /= 10;
    expected = (ch - 48) * scale + expected;
  }
  EXPECT_EQ(Phase2_NumberValue(".1234"), expected);
}

// Symbols as text: constants as their value, functions as f#n, variables as v:name.
std::string Symbols(const char* source, bool* ok) {
  CCode code(source, false);
  TokenList tokens{};
  SymbolList symbols{};
  *ok = Phase1_Tokenize(&code, &tokens) && Phase2_Resolve(&code, &tokens, &symbols);
  std::string text;
  for (int32_t i = 0; i < symbols.count; ++i) {
    const CodeSymbol& s = symbols.symbols[i];
    if (i > 0) text += " ";
    switch (s.kind) {
      case TOKEN_CONSTANT:
        text += s.value.Kind() == VALUE_STRING ? "'" + std::string(s.value.str) + "'"
                                                : std::to_string(static_cast<long long>(s.value.real));
        break;
      case TOKEN_FUNCTION: text += "f#" + std::to_string(s.index); break;
      case TOKEN_VARIABLE: text += std::string("v:") + VariableName(s.index); break;
      case TOKEN_END: text += "$"; break;
      default: text += std::to_string(s.kind); break;
    }
  }
  FreeSymbolList(&symbols);
  FreeTokenList(&tokens);
  return text;
}

TEST_F(TokenTest, NamesResolveToFunctionsConstantsOrVariables) {
  RegisterTestFunction("f", 1);    // call number 0
  RegisterTestFunction("red", 0);  // call number 1
  RegisterBuiltinConstant("red", 255);
  Script_Add("scr");
  bool ok = false;
  EXPECT_EQ(Symbols("x = f(red) + red() + scr + 'q'", &ok), "v:x 101 f#0 106 255 107 210 f#1 106 107 210 0 210 'q' $");
  EXPECT_TRUE(ok);
  // The same name is one variable id however often it is met.
  EXPECT_EQ(GetVariableId("x"), FindUserVariable("x"));
}

TEST_F(TokenTest, ConstantNameAsCallIsLookedUpOnlyAsFunction) {
  RegisterBuiltinConstant("c_red", 255);
  RegisterBuiltinConstant("c_blue", 16711680);
  struct Case {
    const char* source;
    const char* name;
    int32_t position;
  };
  const Case cases[] = {{"c_red(1)", "c_red", 0}, {"y = 1 + c_blue ()", "c_blue", 8}};
  for (const Case& c : cases) {
    bool ok = true;
    Symbols(c.source, &ok);
    EXPECT_FALSE(ok) << c.source;
    std::string message;
    int32_t position;
    LastError(&message, &position);
    EXPECT_EQ(message, std::string("Unknown function or script: ") + c.name) << c.source;
    EXPECT_EQ(position, c.position) << c.source;
    Code_ClearErrorFlag();
  }
}

TEST_F(TokenTest, ScriptsComeBeforeBuiltinsOfTheSameName) {
  RegisterTestFunction("move", 2);
  Script_Add("move");
  bool ok = false;
  EXPECT_EQ(Symbols("move()", &ok), "f#" + std::to_string(kScriptCallBase) + " 106 107 $");
  EXPECT_TRUE(ok);
}

}  // namespace
