// Running code takes no memory-manager block per instruction: numbers, variables and array
// elements reuse what they have, so the blocks a loop takes do not grow with its pass count.
#include "CodeGenTestUtil.h"

#include "code/VM_FastPath.h"

namespace codegentest {
namespace {

class AllocationTest : public CodeGenTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    CodeGenTest::SetUp();
    RegisterBuiltinConstants();  // global
    g_VM.fastPaths = GetParam();
  }

  // The blocks one run of the code takes with the global passes = n.
  int64_t BlocksFor(CCode* code, double n) {
    ScriptValue passes{};
    SetReal(&passes, n);
    SetGlobalVariable(GetVariableId("passes"), kWholeValueIndex, &passes);
    ScriptValue result{};
    const int64_t before = MemoryManager::AllocCount.load();
    EXPECT_TRUE(VMExecute("test", nullptr, nullptr, code->m_code, &result, code->m_lineInfo, code->m_sourceCopy))
        << code->m_source;
    const int64_t taken = MemoryManager::AllocCount.load() - before;
    EXPECT_STREQ(VM_GetLastErrorText(), "") << code->m_source;
    ReleaseValue(&result);
    return taken;
  }
};

TEST_P(AllocationTest, LoopsOverNumbersTakeNoBlockPerPass) {
  const char* programs[] = {
      "var i, s; s = 0; for (i = 0; i < global.passes; i += 1) { s += i * 2 - 1; if (s > 5) s -= 1 } return s",
      "globalvar g; g = 0; repeat (global.passes) { g += 1; global.h = g * 0.5 } return g",
      // The array is written over, once it has grown, and read back.
      "var a, i, s; s = 0; for (i = 0; i < 64; i += 1) a[i] = 0;"
      " for (i = 0; i < global.passes; i += 1) { a[i mod 64] = i; s += a[(i + 1) mod 64] } return s",
  };
  for (const char* program : programs) {
    CCode* code = Compile(program);
    BlocksFor(code, 1);  // the variable nodes the program makes are kept for reuse
    EXPECT_EQ(BlocksFor(code, 100), BlocksFor(code, 10000)) << program;
  }
}

TEST_P(AllocationTest, BuildingATextTakesOneBlockPerPass) {
  // s += "ab" grows s's own block. The general handlers take four: the copy of s read onto the
  // stack, the constant's copy, the joined text and its copy stored in s.
  testsupport::StringTableFixture game({"game"});
  CCode* code = Compile("var s, i; s = \"\"; for (i = 0; i < global.passes; i += 1) s += \"ab\"; return s");
  BlocksFor(code, 1);
  const int64_t perPass = (BlocksFor(code, 1100) - BlocksFor(code, 100)) / 1000;
  EXPECT_LE(perPass, GetParam() ? 1 : 4);
}

INSTANTIATE_TEST_SUITE_P(FastPathsOnAndOff, AllocationTest, ::testing::Bool());

}  // namespace
}  // namespace codegentest
