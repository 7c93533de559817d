#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/VCL.h"
#include "code/Code_Compile.h"
#include "code/Code_Error.h"
#include "code/Code_Exec.h"
#include "code/Code_Main.h"
#include "code/VM_State.h"
#include "platform/MemoryManager.h"
#include "room/Event_State.h"
#include "run/Run_Global.h"
#include "runner/GameData.h"
#include "runner/GameData_Code.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"
#include "testlib/VMAssembler.h"

using namespace testsupport;

namespace {

// A MemoryManager copy of a text, as entries keep their names and source copies.
char* ManagedCopy(const char* text) {
  const size_t size = std::strlen(text) + 1;
  char* copy = static_cast<char*>(MemoryManager::Alloc(static_cast<uint32_t>(size), __FILE__, __LINE__, false));
  std::memcpy(copy, text, size);
  return copy;
}

// An owned view of `count` words, as generated code is held.
VMBuffer* OwnedWords(int32_t count) {
  uint32_t* words = MemoryManager::AllocArray<uint32_t>(static_cast<uint32_t>(count), __FILE__, __LINE__);
  return new VMBuffer(words, count * 4, true);
}

// An instance pointer that is only passed through, never followed.
CInstance* Someone() {
  static int placeholder;
  return reinterpret_cast<CInstance*>(&placeholder);
}

class CodeMainTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    Error_SetDialogSwitch(false);  // run-time errors go only to the console
    Code_SetGeneratorHook(nullptr);
    Code_SetTreeInterpreter(nullptr, nullptr);
  }
};

// ---- Entries made from the game data ----

TEST_F(CodeMainTest, EntriesFromCodeIndicesPointIntoTheGameData) {
  const uint32_t words0[] = {0xC0000001u, 0x9D000000u};
  const uint32_t words1[] = {0x9E000000u};
  const GameCodeEntry entries[] = {{"first", words0, 8}, {nullptr, words1, 4}};
  GameData_SetCodeChunk(entries, 2);
  // Line information: entry 0's record says 2 words and has them; entry 1's record claims far
  // more words than its chunk holds after it.
  const uint32_t chunk[] = {2, 0, 0, /* entry 1 */ 1000000, 4, 7};
  const DebugCodeInfo debug[] = {{"first();", &chunk[0], sizeof(chunk)}, {nullptr, &chunk[3], 12}};
  GameData_SetDebugCompanion(debug, 2, true);

  CCode* a = CCode::CCodeFromIndex(0, false);
  CCode* b = CCode::CCodeFromIndex(1, true);
  CCode* past = CCode::CCodeFromIndex(5, false);
  CCode* none = CCode::CCodeFromIndex(-1, false);

  EXPECT_FALSE(a->m_madeFromText);
  EXPECT_TRUE(a->m_compiled);
  EXPECT_EQ(a->m_kind, CODE_PROGRAM);
  EXPECT_EQ(b->m_kind, CODE_EXPRESSION);
  EXPECT_STREQ(a->m_name, "first");
  EXPECT_EQ(b->m_name, nullptr);
  ASSERT_NE(a->m_code, nullptr);
  EXPECT_EQ(a->m_code->m_data, words0);
  EXPECT_EQ(a->m_code->m_size, 8);
  EXPECT_STREQ(a->m_source, "first();");
  EXPECT_EQ(a->m_sourceCopy, a->m_source);
  EXPECT_EQ(b->m_source, nullptr);
  ASSERT_NE(a->m_lineInfo, nullptr);
  EXPECT_EQ(a->m_lineInfo->m_data, &chunk[1]);
  EXPECT_EQ(a->m_lineInfo->m_size, 8);
  ASSERT_NE(b->m_lineInfo, nullptr);
  EXPECT_EQ(b->m_lineInfo->m_size, 8);  // bounded by the chunk, not 4,000,000 bytes

  EXPECT_EQ(past->m_code, nullptr);
  EXPECT_EQ(past->m_name, nullptr);
  EXPECT_STREQ(past->m_source, "");
  EXPECT_STREQ(none->m_source, "");

  // Indices of 0 or more are listed, newest first (an index past the chunk included).
  EXPECT_EQ(Code_DataCodeCount(), 3);
  EXPECT_EQ(Code_DataCodeList(), past);
  EXPECT_EQ(past->m_next, b);
  EXPECT_EQ(b->m_next, a);
  delete b;
  EXPECT_EQ(Code_DataCodeCount(), 2);
  EXPECT_EQ(past->m_next, a);
  delete past;
  delete a;
  delete none;
  EXPECT_EQ(Code_DataCodeCount(), 0);
  EXPECT_EQ(Code_DataCodeList(), nullptr);
}

TEST_F(CodeMainTest, LineInformationNeedsTheDebugInformationChunk) {
  const uint32_t words[] = {0x9D000000u};
  const GameCodeEntry entries[] = {{"c", words, 4}};
  GameData_SetCodeChunk(entries, 1);
  const uint32_t record[] = {1, 0};
  const DebugCodeInfo withoutChunk[] = {{"x", record, sizeof(record)}};
  GameData_SetDebugCompanion(withoutChunk, 1, false);
  CCode* code = CCode::CCodeFromIndex(0, false);
  EXPECT_EQ(code->m_lineInfo, nullptr);
  EXPECT_STREQ(code->m_source, "x");
  delete code;

  const DebugCodeInfo cutShort[] = {{"x", record, 3}};  // not even a whole count word
  GameData_SetDebugCompanion(cutShort, 1, true);
  code = CCode::CCodeFromIndex(0, false);
  EXPECT_EQ(code->m_lineInfo, nullptr);
  delete code;
}

// ---- The game code table ----

TEST_F(CodeMainTest, CodeAddWithACodeChunkStoresEntriesAndNullSlots) {
  const uint32_t words[] = {0x9D000000u};
  const GameCodeEntry entries[] = {{"room_creation", words, 4}};
  GameData_SetCodeChunk(entries, 1);  // the table starts with room for one entry
  EXPECT_EQ(Code_Add(0, false), 0);
  EXPECT_EQ(Code_Add(-1, false), 1);
  for (int i = 2; i < 20; ++i) EXPECT_EQ(Code_Add(0, true), i);
  EXPECT_EQ(Code_Count(), 20);

  ASSERT_NE(Code_Get(0), nullptr);
  EXPECT_STREQ(Code_Get(0)->m_name, "room_creation");
  EXPECT_EQ(Code_Get(1), nullptr);
  EXPECT_EQ(Code_Get(19)->m_kind, CODE_EXPRESSION);
  EXPECT_EQ(Code_Get(20), nullptr);
  EXPECT_EQ(Code_Get(-1), nullptr);
  Code_FreeAll();
  EXPECT_EQ(Code_Count(), 0);
  EXPECT_EQ(Code_DataCodeCount(), 0);
}

TEST_F(CodeMainTest, CodeAddWithoutACodeChunkTakesTextsFromTheImage) {
  // An image without a CODE chunk: code is referred to by the offset of its text.
  const char image[] = "HEAD" "x = 1;\0" "unterminated";
  ASSERT_TRUE(GameData_LoadImage(reinterpret_cast<const uint8_t*>(image), sizeof(image) - 1));
  EXPECT_EQ(Code_Add(4, false), 0);
  EXPECT_EQ(Code_Add(0, false), 1);
  EXPECT_EQ(Code_Add(11, false), 2);     // runs past the image's end
  EXPECT_EQ(Code_Add(100000, true), 3);  // outside the image
  EXPECT_STREQ(Code_Get(0)->m_source, "x = 1;");
  EXPECT_TRUE(Code_Get(0)->m_madeFromText);
  EXPECT_FALSE(Code_Get(0)->m_compiled);
  EXPECT_EQ(Code_Get(0)->m_codeIndex, -1);
  for (int i = 1; i <= 3; ++i) EXPECT_STREQ(Code_Get(i)->m_source, "") << i;
  EXPECT_EQ(Code_DataCodeCount(), 0);
}

// ---- Compiling ----

TEST_F(CodeMainTest, RecompilingFailsAndTheNameKeepsNoWhiteSpace) {
  CCode code("x = 1;", false);
  code.m_compiled = true;  // as after a first compilation
  EXPECT_FALSE(code.Compile("obj player\tStep\r\n0"));
  EXPECT_STREQ(code.m_name, "obj_player_Step__0");
  EXPECT_STREQ(Code_GetLastError(), "Error in code at line 1:\n   x = 1;\n\nat position 1: "
                                    "Internal Error: Recompiling compiled code.");
  // A shorter name reuses the storage; a longer one gets a larger block.
  char* storage = code.m_name;
  EXPECT_FALSE(code.Compile("a b"));
  EXPECT_EQ(code.m_name, storage);
  EXPECT_STREQ(code.m_name, "a_b");
  EXPECT_FALSE(code.Compile("a much longer name than the first one"));
  EXPECT_STREQ(code.m_name, "a_much_longer_name_than_the_first_one");
}

TEST_F(CodeMainTest, TextEntriesReleaseWhatTheyOwn) {
  const int32_t blocks = MemoryManager::BlockCount.load();
  {
    CCode code("x = 1;", false);
    code.m_compiled = true;
    code.m_name = ManagedCopy("name");
    code.m_sourceCopy = ManagedCopy("x = 1;");
    code.m_code = OwnedWords(4);
    code.m_lineInfo = OwnedWords(2);
    EXPECT_EQ(MemoryManager::BlockCount.load(), blocks + 4);
  }
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocks);
}

TEST_F(CodeMainTest, AnExpressionFoldedToAConstantGetsNoBytecode) {
  static int generated = 0;
  generated = 0;
  Code_SetGeneratorHook([](CCode*, VMBuffer**, VMBuffer**) { ++generated; });
  CCode code("2*3+1", true);
  ASSERT_TRUE(code.Compile("fold"));
  EXPECT_TRUE(code.m_compiled);
  EXPECT_EQ(code.m_kind, CODE_CONSTANT);
  EXPECT_EQ(code.m_constant.Kind(), VALUE_REAL);
  EXPECT_EQ(code.m_constant.real, 7.0);
  EXPECT_EQ(code.m_code, nullptr);
  EXPECT_EQ(generated, 0);
  EXPECT_STREQ(code.m_sourceCopy, "2*3+1");
  EXPECT_NE(code.m_sourceCopy, code.m_source);  // a private copy
  for (bool vm : {true, false}) {
    g_VM.UseVM = vm;
    ScriptValue result{};
    EXPECT_TRUE(Code_Execute(nullptr, nullptr, &code, &result)) << vm;
    EXPECT_EQ(result.real, 7.0) << vm;
  }
}

TEST_F(CodeMainTest, CompilingHandsTheTreeToTheGenerator) {
  static int32_t codeWords = 0;
  Code_SetGeneratorHook([](CCode*, VMBuffer** code, VMBuffer** lineInfo) {
    *code = codeWords > 0 ? OwnedWords(codeWords) : new VMBuffer(nullptr, 0, false);
    *lineInfo = OwnedWords(2);
  });
  // Compiles a program, an empty one and one under the tree interpreter, and checks what each got.
  auto compileAll = [] {
    g_VM.UseVM = true;
    codeWords = 3;
    CCode program("x = 1;", false);
    ASSERT_TRUE(program.Compile("player create 0"));
    EXPECT_STREQ(program.m_name, "player_create_0");
    EXPECT_EQ(program.m_kind, CODE_PROGRAM);
    ASSERT_NE(program.m_code, nullptr);
    EXPECT_EQ(program.m_code->m_size, 12);
    EXPECT_NE(program.m_lineInfo, nullptr);

    codeWords = 0;  // empty code is dropped
    CCode empty("", false);
    ASSERT_TRUE(empty.Compile("empty"));
    EXPECT_EQ(empty.m_code, nullptr);

    g_VM.UseVM = false;  // under the tree interpreter nothing is generated
    codeWords = 3;
    CCode tree("x = 2;", false);
    ASSERT_TRUE(tree.Compile("tree"));
    EXPECT_EQ(tree.m_code, nullptr);
    EXPECT_EQ(tree.m_sourceCopy, nullptr);
  };
  compileAll();  // the first round also enters the variable names the compiler meets
  Compiler_FreeScratch();
  const int32_t blocks = MemoryManager::BlockCount.load();
  compileAll();
  Compiler_FreeScratch();
  // Everything the entries were given is released with them.
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocks);
}

TEST_F(CodeMainTest, ACompilationThatFailsLeavesTheEntryNotCompiled) {
  CCode code("x = = 1;", false);
  EXPECT_FALSE(code.Compile("broken"));
  EXPECT_FALSE(code.m_compiled);
  ASSERT_NE(Code_GetLastError(), nullptr);
  EXPECT_EQ(std::string(Code_GetLastError()).rfind("Error in code at line 1:\n   x = = 1;\n\nat position ", 0), 0u)
      << Code_GetLastError();
}

// ---- Running ----

TEST_F(CodeMainTest, GameDataCodeRunsOnTheMachine) {
  const std::vector<uint32_t> words = Assemble("push.d 2.5\nconv.d.v\nret.v\n");
  const GameCodeEntry entries[] = {{"player_create_0", words.data(), static_cast<int32_t>(words.size() * 4)}};
  GameData_SetCodeChunk(entries, 1);
  const int32_t index = Code_Add(0, true);
  ScriptValue result{};
  EXPECT_TRUE(Code_Execute(Someone(), Someone(), Code_Get(index), &result));
  EXPECT_EQ(result.Kind(), VALUE_REAL);
  EXPECT_EQ(result.real, 2.5);
}

// A folded constant built as the compiler leaves it: kind 3 with the value set.
struct ConstantEntry {
  explicit ConstantEntry(const ScriptValue& value) : code("constant", true) {
    code.m_compiled = true;
    code.m_kind = CODE_CONSTANT;
    CopyValue(&code.m_constant, &value);
  }
  CCode code;
};

TEST_F(CodeMainTest, FoldedConstantsAreCopiedOnBothPaths) {
  ScriptValue seven{};
  SetReal(&seven, 7.0);
  ConstantEntry real(seven);
  ScriptValue text{};
  SetString(&text, "hello");
  ConstantEntry string(text);
  ReleaseValue(&text);

  for (bool vm : {true, false}) {
    SCOPED_TRACE(vm);
    g_VM.UseVM = vm;
    ScriptValue result{};
    SetString(&result, "old text, released first");
    EXPECT_TRUE(Code_Execute(nullptr, nullptr, &real.code, &result));
    EXPECT_EQ(result.Kind(), VALUE_REAL);
    EXPECT_EQ(result.real, 7.0);

    // A string constant gives a fresh copy each time; releasing it leaves the constant alone.
    EXPECT_TRUE(Code_Execute(nullptr, nullptr, &string.code, &result));
    ASSERT_EQ(result.Kind(), VALUE_STRING);
    EXPECT_STREQ(result.str, "hello");
    EXPECT_NE(result.str, string.code.m_constant.str);
    ReleaseValue(&result);
    EXPECT_STREQ(string.code.m_constant.str, "hello");
  }
}

TEST_F(CodeMainTest, OnTheMachineCodeWithoutBytecodeRunsNothing) {
  CCode code("", false);
  code.m_compiled = true;
  ScriptValue result{};
  SetReal(&result, 3.0);
  g_ErrorFlag = true;
  EXPECT_TRUE(Code_Execute(nullptr, nullptr, &code, &result));
  EXPECT_FALSE(Code_GetErrorFlag());  // cleared when execution starts
  EXPECT_EQ(result.real, 3.0);
  code.m_code = new VMBuffer(nullptr, 0, false);  // generated, but empty
  EXPECT_TRUE(Code_Execute(nullptr, nullptr, &code, &result));
  EXPECT_EQ(result.real, 3.0);
}

TEST_F(CodeMainTest, TreeInterpreterFailuresAreCodeErrors) {
  g_VM.UseVM = false;
  CInstance* const someone = Someone();
  struct Case {
    bool compiled;
    CInstance* self;
    CInstance* other;
    const char* error;
  } cases[] = {
      {false, someone, someone, "Internal Error: Executing non-compiled code->"},
      {true, someone, nullptr, "Internal Error: Executing code for nil instance."},
      {true, nullptr, someone, "Internal Error: Executing code for nil instance."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    CCode code("x", true);
    code.m_compiled = c.compiled;
    ScriptValue result{};
    EXPECT_FALSE(Code_Execute(c.self, c.other, &code, &result));
    EXPECT_EQ(std::string(Code_GetLastError()), std::string("Error in expression: x\n position 1: ") + c.error);
    SetReal(&result, 1.0);
    EXPECT_FALSE(Code_Evaluate(c.self, c.other, &code, &result));
    ASSERT_EQ(result.Kind(), VALUE_STRING);
    EXPECT_STREQ(result.str, "ERROR");
    ReleaseValue(&result);
  }
}

TEST_F(CodeMainTest, TheTreeInterpreterIsReachedThroughItsHooks) {
  g_VM.UseVM = false;
  static CCode* seen = nullptr;
  Code_SetTreeInterpreter(
      [](CInstance*, CInstance*, CCode* code, ScriptValue*) -> int32_t {
        seen = code;
        return -1;
      },
      [](CInstance*, CInstance*, CCode*, ScriptValue* result) -> int32_t {
        EXPECT_EQ(result->Kind(), VALUE_UNDEFINED);  // released and undefined before the run
        SetReal(result, 42.0);
        return 0;
      });
  CInstance* const someone = Someone();
  CCode program("exit", false);
  CCode expression("6*7", true);
  program.m_compiled = expression.m_compiled = true;
  ScriptValue result{};
  SetString(&result, "old");
  EXPECT_TRUE(Code_Execute(someone, someone, &expression, &result));
  EXPECT_EQ(result.real, 42.0);
  EXPECT_FALSE(Code_Execute(someone, someone, &program, &result));
  EXPECT_EQ(seen, &program);
}

TEST_F(CodeMainTest, ExecuteAndReportTurnsAFailureIntoARunTimeError) {
  g_VM.UseVM = false;
  CCode code("x = 1;", false);  // never compiled
  ScriptValue result{};
  EXPECT_FALSE(Code_ExecuteAndReport(nullptr, nullptr, &code, &result));
  EXPECT_FALSE(Code_GetErrorFlag());
  ASSERT_NE(Error_GetLast(), nullptr);
  const std::string report = Error_GetLast();
  EXPECT_NE(report.find("\nERROR in\naction number 1\n"), std::string::npos) << report;
  EXPECT_NE(report.find(":\n\n\nError in code at line 1:\n   x = 1;\n\nat position 1: "
                        "Internal Error: Executing non-compiled code->\n"),
            std::string::npos)
      << report;
  EXPECT_FALSE(Error_IsEnding());  // not fatal
}

}  // namespace
