// The instruction sequences the generator emits for expressions and statements.
#include "CodeGenTestUtil.h"

namespace codegentest {
namespace {

struct Case {
  const char* source;
  bool expression;
  const char* assembly;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.source; }

class GeneratedCode : public CodeGenTest, public ::testing::WithParamInterface<Case> {};

TEST_P(GeneratedCode, MatchesTheExpectedInstructions) {
  ExpectCode(GetParam().source, GetParam().expression, GetParam().assembly);
}

// Constants: the smallest form that holds the value; an expression ends with a conv to .v.
INSTANTIATE_TEST_SUITE_P(Constants, GeneratedCode, ::testing::Values(
    Case{"x = 5", false, "push.e 5\n pop.v.i -6 @x"},
    Case{"x = -32768", false, "push.e -32768\n pop.v.i -6 @x"},
    Case{"x = 32768", false, "push.i 32768\n pop.v.i -6 @x"},
    Case{"x = 100000", false, "push.i 100000\n pop.v.i -6 @x"},
    Case{"x = 8589934592", false, "push.l 8589934592\n pop.v.l -6 @x"},
    Case{"x = 0.5", false, "push.d 0.5\n pop.v.d -6 @x"},
    Case{"x = 100000000000000000000", false, "push.d 1e20\n pop.v.d -6 @x"}));

INSTANTIATE_TEST_SUITE_P(Expressions, GeneratedCode, ::testing::Values(
    Case{"a = b + 1", false, "push.v -6 @b\n push.e 1\n add.i.v\n pop.v.v -6 @a"},
    Case{"!x", true, "push.v -6 @x\n conv.v.b\n not.b\n conv.b.v"},
    Case{"~x", true, "push.v -6 @x\n conv.v.i\n not.i\n conv.i.v"},
    Case{"-x", true, "push.v -6 @x\n neg.v"},
    Case{"+x", true, "push.v -6 @x"},
    // Logical operators work on .b, bitwise ones on .i, arithmetic turns .b into .i.
    Case{"x && y", true, "push.v -6 @x\n conv.v.b\n push.v -6 @y\n conv.v.b\n and.b.b\n conv.b.v"},
    Case{"x | 2", true, "push.v -6 @x\n conv.v.i\n push.e 2\n or.i.i\n conv.i.v"},
    Case{"(x < 1) + 2", true, "push.v -6 @x\n push.e 1\n slt.i.v\n conv.b.i\n push.e 2\n add.i.i\n conv.i.v"},
    Case{"x = y", true, "push.v -6 @x\n push.v -6 @y\n seq.v.v\n conv.b.v"},
    Case{"x div 2", true, "push.v -6 @x\n push.e 2\n rem.i.v"},
    Case{"x mod 2", true, "push.v -6 @x\n push.e 2\n mod.i.v"},
    // The result type is the larger operand's, the left one's at equal sizes.
    Case{"x = 0.5 * y", false, "push.d 0.5\n push.v -6 @y\n mul.v.d\n pop.v.v -6 @x"},
    Case{"x = \"a\" + (y > 1)", false, "push.s 0\n push.v -6 @y\n push.e 1\n sgt.i.v\n conv.b.i\n add.i.s\n pop.v.s -6 @x"},
    Case{"x = 2 * (y > 1)", false, "push.e 2\n push.v -6 @y\n push.e 1\n sgt.i.v\n conv.b.i\n mul.i.i\n pop.v.i -6 @x"},
    Case{"x = 0.5 * (y > 1)", false,
         "push.d 0.5\n push.v -6 @y\n push.e 1\n sgt.i.v\n conv.b.i\n mul.i.d\n pop.v.d -6 @x"},
    // Calls: the arguments from the last to the first, each as a whole value.
    Case{"f(1, x)", true, "push.v -6 @x\n push.e 1\n conv.i.v\n call.i @f 2"},
    Case{"f()", false, "call.i @f 0\n popz.v"}));

// Variables: the instance in the immediate when it is known and fits, else on the stack.
INSTANTIATE_TEST_SUITE_P(Variables, GeneratedCode, ::testing::Values(
    Case{"(3).x", true, "push.v 3 @x"},
    Case{"(100005).x", true, "push.v 5 @x:b"},
    Case{"(132767).x", true, "push.v 32767 @x:b"},
    // Too large for the immediate even with the bias: the selector goes on the stack.
    Case{"(132768).x", true, "push.i 132768\n push.v 0 @x:s"},
    Case{"(50000).x = 1", false, "push.e 1\n push.i 50000\n pop.v.i 0 @x:s"},
    Case{"y.x", true, "push.v -6 @y\n conv.v.i\n push.v 0 @x:s"},
    Case{"a[i]", true, "push.e -6\n push.v -6 @i\n conv.v.i\n push.v 0 @a:es"},
    Case{"a[i, j]", true,
         "push.e -6\n push.v -6 @i\n conv.v.i\n push.i 32000\n mul.i.i\n push.v -6 @j\n conv.v.i\n add.i.i\n"
         "push.v 0 @a:es"},
    // The value is generated before the reference items.
    Case{"a[2] = \"\"", false, "push.s 0\n push.e -6\n push.e 2\n pop.v.s 0 @a:es"}));

// Compound assignment reads the target, applies the operator and stores through a second
// evaluation of the target's reference.
INSTANTIATE_TEST_SUITE_P(CompoundAssignment, GeneratedCode, ::testing::Values(
    Case{"a += 1", false, "push.v -6 @a\n push.e 1\n add.i.v\n pop.v.v -6 @a"},
    Case{"a -= (b > 1)", false, "push.v -6 @a\n push.v -6 @b\n push.e 1\n sgt.i.v\n conv.b.i\n sub.i.v\n pop.v.v -6 @a"},
    Case{"a |= 1.5", false, "push.v -6 @a\n push.d 1.5\n conv.d.i\n or.i.v\n pop.v.v -6 @a"},
    Case{"a ^= 8589934592", false, "push.v -6 @a\n push.l 8589934592\n xor.l.v\n pop.v.v -6 @a"},
    Case{"a[i] *= b", false,
         "push.e -6\n push.v -6 @i\n conv.v.i\n push.v 0 @a:es\n push.v -6 @b\n mul.v.v\n"
         "push.e -6\n push.v -6 @i\n conv.v.i\n pop.v.v 0 @a:es"}));

INSTANTIATE_TEST_SUITE_P(Statements, GeneratedCode, ::testing::Values(
    Case{"", false, ""},
    Case{"var a; globalvar g; ; case 1: default:", false, ""},
    Case{"exit", false, "exit.i"},
    Case{"return 1", false, "push.e 1\n conv.i.v\n ret.v"},
    Case{"break; continue", false, ""},
    Case{"if x a = 1", false, "push.v -6 @x\n conv.v.b\n bf Else\n push.e 1\n pop.v.i -6 @a\n Else:"},
    Case{"if x a = 1 else a = 2", false,
         "push.v -6 @x\n conv.v.b\n bf Else\n push.e 1\n pop.v.i -6 @a\n b End\n"
         "Else: push.e 2\n pop.v.i -6 @a\n End:"},
    Case{"while x { continue; break }", false,
         "Repeat: push.v -6 @x\n conv.v.b\n bf End\n b Repeat\n b End\n b Repeat\n End:"},
    Case{"do continue until x", false, "Repeat: b Test\n Test: push.v -6 @x\n conv.v.b\n bf Repeat\n End:"},
    Case{"for (i = 0; i < 3; i += 1) continue", false,
         "push.e 0\n pop.v.i -6 @i\n Start: push.v -6 @i\n push.e 3\n slt.i.v\n bf End\n b Repeat\n"
         "Repeat: push.v -6 @i\n push.e 1\n add.i.v\n pop.v.v -6 @i\n b Start\n End:"},
    Case{"repeat (n) { continue; break }", false,
         "push.v -6 @n\n conv.v.i\n dup.i\n push.i 0\n sle.i.i\n bt End\n"
         "Repeat: b Next\n b End\n"
         "Next: push.i 1\n sub.i.i\n dup.i\n conv.i.b\n bt Repeat\n End: popz.i"},
    Case{"with (x) a = 1", false,
         "push.v -6 @x\n conv.v.i\n pushenv PopEnv\n Start: push.e 1\n pop.v.i -6 @a\n"
         "PopEnv: popenv Start\n End:"},
    Case{"with (3) { continue; break }", false,
         "push.e 3\n pushenv PopEnv\n Start: b PopEnv\n b End\n PopEnv: popenv Start\n b CleanUpEnd\n"
         "End: popenv break\n CleanUpEnd:"},
    // Consecutive labels share the statement after them; a default is tested where it stands.
    Case{"switch (x) { case 1: case 2: a = 1; break; default: a = 2 }", false,
         "push.v -6 @x\n"
         "dup.v\n push.e 1\n seq.i.v\n bt C1\n"
         "dup.v\n push.e 2\n seq.i.v\n bt C2\n"
         "b D\n b End\n"
         "C1: C2: push.e 1\n pop.v.i -6 @a\n b End\n"
         "D: push.e 2\n pop.v.i -6 @a\n"
         "End: popz.v"},
    // A label with no statement after it leads to the end; without default the tests fall
    // through to the end.
    Case{"switch (x + 1) { case y: a = 1; case 3: }", false,
         "push.v -6 @x\n push.e 1\n add.i.v\n"
         "dup.v\n push.v -6 @y\n seq.v.v\n bt C1\n"
         "dup.v\n push.e 3\n seq.i.v\n bt C2\n"
         "b End\n"
         "C1: push.e 1\n pop.v.i -6 @a\n"
         "C2: End: popz.v"},
    // A continue that leaves a switch pops the switch's value before jumping.
    Case{"repeat (2) switch (x) { case 1: continue }", false,
         "push.e 2\n dup.i\n push.i 0\n sle.i.i\n bt End\n"
         "Repeat: push.v -6 @x\n dup.v\n push.e 1\n seq.i.v\n bt C1\n b SEnd\n"
         "C1: popz.v\n b Next\n SEnd: popz.v\n"
         "Next: push.i 1\n sub.i.i\n dup.i\n conv.i.b\n bt Repeat\n End: popz.i"},
    // Inside a with-block nested in the switch, continue belongs to the with-block: no pop.
    Case{"switch (x) { default: with (1) continue }", false,
         "push.v -6 @x\n b D\n b End\n"
         "D: push.e 1\n pushenv PopEnv\n Start: b PopEnv\n PopEnv: popenv Start\n"
         "End: popz.v"}));

// Strings are referred to by index into the runtime part of the string table; equal texts share
// one entry.
TEST_F(CodeGenTest, StringConstantsAreIndexesIntoTheRuntimeTable) {
  testsupport::StringTableFixture game({"one", "two"});
  CCode* code = Compile("a = \"hi\"; b = \"ho\"; c = \"hi\"");
  const std::vector<uint32_t> expected = testsupport::Assemble(
      "push.s 2\n pop.v.s -6 @a\n push.s 3\n pop.v.s -6 @b\n push.s 2\n pop.v.s -6 @c");
  EXPECT_EQ(Words(code->m_code), expected) << Listing(Words(code->m_code));
  const char* text = nullptr;
  ASSERT_TRUE(StringTable_Get(3, &text));
  EXPECT_STREQ(text, "ho");
  ASSERT_TRUE(StringTable_Get(0, &text));
  EXPECT_STREQ(text, "one");
  EXPECT_FALSE(StringTable_Get(4, &text));
  EXPECT_EQ(Strings_RuntimeCount(), 2);
}

TEST_F(CodeGenTest, RuntimeStringTableSurvivesGrowthAndIsDroppedWithTheGameTable) {
  std::vector<int32_t> indexes;
  for (int i = 0; i < 300; ++i) indexes.push_back(Strings_AddRuntime(("s" + std::to_string(i)).c_str()));
  for (int i = 0; i < 300; ++i) {
    EXPECT_EQ(indexes[i], i);
    EXPECT_EQ(Strings_AddRuntime(("s" + std::to_string(i)).c_str()), i);
  }
  EXPECT_EQ(Strings_AddRuntime(nullptr), Strings_AddRuntime(""));
  StringTable_Clear();
  EXPECT_EQ(Strings_RuntimeCount(), 0);
  const char* text = nullptr;
  EXPECT_FALSE(StringTable_Get(0, &text));
}

// A program that declares and sets 40,000 local variables, with the built-in constants in place:
// every name is looked up among the resources, the constants and the variables, each new one
// gets the next id, and every use is checked against the declared locals.
TEST_F(CodeGenTest, FortyThousandVariableNamesCompile) {
  RegisterBuiltinConstants();
  constexpr int32_t kNames = 40000;
  const int32_t first = kUserVariableBase + UserVariableCount();
  std::string text;
  for (int32_t i = 0; i < kNames; ++i) {
    const std::string name = "v40k_" + std::to_string(i);
    text += "var " + name + "; " + name + " = c_red;\n";
  }
  CCode* code = Compile(text);
  ASSERT_NE(code->m_code, nullptr);
  for (int32_t i = 0; i < kNames; ++i) {
    ASSERT_EQ(FindUserVariable(("v40k_" + std::to_string(i)).c_str()), first + i) << i;
  }
}

// globalvar declares its names while compiling; it emits nothing.
TEST_F(CodeGenTest, GlobalvarDeclaresAtCompileTime) {
  const int32_t id = GetVariableId("shared");
  EXPECT_FALSE(IsGlobalDeclared(id));
  CCode* code = Compile("globalvar shared;");
  EXPECT_TRUE(IsGlobalDeclared(id));
  EXPECT_EQ(code->m_code, nullptr);
}

// Generated entries own their buffers; the line-info table is present and empty.
TEST_F(CodeGenTest, EntryGetsCodeAndAnEmptyLineTable) {
  CCode* code = Compile("a = 1");
  ASSERT_NE(code->m_code, nullptr);
  EXPECT_EQ(code->m_code->m_size, 12);
  ASSERT_NE(code->m_lineInfo, nullptr);
  EXPECT_EQ(code->m_lineInfo->m_size, 0);
  // A folded expression has no code at all.
  EXPECT_EQ(Compile("1 + 2", true)->m_code, nullptr);
}

// Branches to labels placed later are patched; backward branches are written at once; the
// writer grows from its small start capacity without losing what was written.
TEST(CodeGenerator, LabelsAndWriterGrowth) {
  CodeGenerator g;
  g.Init(4, 4);
  CodeLabel back("Back");
  CodeLabel forward("Forward");
  g.PlaceLabel(&back);
  g.EmitBranch(OP_BF, &forward);
  for (int i = 0; i < 40; ++i) g.EmitWord2(OP_ADD, VT_INT, VT_INT);
  g.EmitBranch(OP_BT, &forward);
  g.EmitBranch(OP_B, &back);
  g.PlaceLabel(&forward);
  VMBuffer* code = nullptr;
  VMBuffer* lineInfo = nullptr;
  FinishCode(&g, &code, &lineInfo);
  ASSERT_NE(code, nullptr);
  const std::vector<uint32_t> words = Words(code);
  ASSERT_EQ(words.size(), 43u);
  EXPECT_EQ(words[0], MakeBranchWord(OP_BF, 43));
  EXPECT_EQ(words[41], MakeBranchWord(OP_BT, 2));
  EXPECT_EQ(words[42], MakeBranchWord(OP_B, -42));
  EXPECT_EQ(words[1], MakeWord(OP_ADD, VT_INT, VT_INT));
  EXPECT_EQ(lineInfo->m_size, 0);
  delete code;
  delete lineInfo;
}

// Popping or peeking an empty type stack answers 15; the stack grows past 1,024 entries.
TEST(CodeGenerator, TypeStack) {
  CodeGenerator g;
  g.Init(16, 16);
  EXPECT_EQ(g.PopType(), VT_ERROR);
  EXPECT_EQ(g.PeekType(), VT_ERROR);
  for (int i = 0; i < 3000; ++i) g.PushType(i % 7);
  EXPECT_EQ(g.TypeDepth(), 3000);
  for (int i = 2999; i >= 0; --i) ASSERT_EQ(g.PopType(), i % 7);
  EXPECT_EQ(g.PopType(), VT_ERROR);
}

// Deep nesting of calls keeps more values pending than the inline type stack holds.
TEST_F(CodeGenTest, DeeplyNestedArgumentsKeepTheirTypes) {
  std::string text = "1";
  for (int i = 0; i < 80; ++i) text = "f(x, x, x, x, x, x, x, x, x, x, x, x, x, x, x, " + text + ")";
  CCode* code = Compile("a = " + text);
  ASSERT_NE(code->m_code, nullptr);
  // The innermost constant is converted to a whole value and every call stores a .v.
  const std::string listing = Listing(Words(code->m_code));
  EXPECT_NE(listing.find("conv.i.v"), std::string::npos);
  EXPECT_NE(listing.rfind("pop.v.v"), std::string::npos);
}

}  // namespace
}  // namespace codegentest
