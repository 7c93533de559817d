// Running code: results, stack instructions, variables, branches, calls, frames, the mended
// refusals, the stack caps and cleanup after fatal errors.
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "VMTestSupport.h"
#include "code/VM_Breakpoints.h"
#include "code/VM_Decoded.h"
#include "code/VM_Format.h"
#include "extension/Extension_Main.h"
#include "debug/Debug_State.h"
#include "option/Option_Main.h"
#include "os/OS_Messages.h"
#include "platform/MemoryManager.h"
#include "room/Instance_Class.h"
#include "testlib/TestHelpers.h"

namespace {

using namespace vmtest;

std::string TextOf(const ScriptValue& v) {
  char* text = ValueToString(&v);
  std::string s = text ? text : "";
  MemoryManager::Free(text);
  return s;
}

// What the probing built-ins saw.
struct Probe {
  int32_t argumentCount = -1;
  std::vector<std::string> slots;
  std::vector<std::string> frameNames;
  int32_t calls = 0;
} g_probe;

void ProbeArguments(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) {
  ++g_probe.calls;
  g_probe.argumentCount = g_VM.argumentCount;
  g_probe.slots.clear();
  for (const ScriptValue& slot : g_VM.argumentSlots) g_probe.slots.push_back(TextOf(slot));
  g_probe.frameNames.clear();
  VMFrameInfo frame{};
  for (int i = 0; i < VM_GetFrameCount(g_VM.current); ++i) {
    if (VM_GetFrame(g_VM.current, i, &frame)) g_probe.frameNames.push_back(frame.name ? frame.name : "");
  }
}
void Joined(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  std::string s;
  for (int32_t i = 0; i < argc; ++i) s += TextOf(args[i]) + (i + 1 < argc ? "," : "");
  SetString(result, s.c_str());
}
void Nothing(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) {}
void FirstArgument(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue*) {
  CopyValue(result, &g_VM.argumentSlots[0]);
}

class VMExec : public VMTest {
 protected:
  void SetUp() override {
    VMTest::SetUp();
    g_probe = Probe{};
    RegisterBuiltinFunction("probe", ProbeArguments, -1);
    RegisterBuiltinFunction("joined", Joined, -1);
    RegisterBuiltinFunction("nothing", Nothing, 0);
    RegisterBuiltinFunction("arg0", FirstArgument, 0);
    ScriptValue text{};
    SetString(&text, "ab");
    SetGlobal("s", text);
    ReleaseValue(&text);
  }

  // A script "callee" answering n + 1 (its argument goes unread) and code calling it with n * 2,
  // run once with n = 5, so that the caller's call step has found its callee; *number is the
  // script's number.
  std::unique_ptr<VMBuffer> CallerOfACachedCallee(int32_t* number) {
    *number = AddScript("callee", "push.v -5 @n\n push.e 1\n add.i.v\n ret.v");
    auto caller = testsupport::AssembleCode(
        "push.v -5 @n\n push.e 2\n mul.i.v\n call.i " + std::to_string(*number) + " 1\n ret.v");
    SetGlobal("n", RealValue(5));
    RunResult first;
    RunCode(&first, caller.get());
    EXPECT_TRUE(first.IsReal(6));
    return caller;
  }
};

TEST_F(VMExec, ResultIsTheTopValueWhenThereIsOne) {
  testsupport::StringTableFixture strings({"abc"});
  struct Row {
    const char* code;
    bool untouched;
    const char* text;  // the result's text form when not untouched
  };
  const Row rows[] = {
      {"push.e 1\n popz.i", true, ""},
      {"push.e 5\n conv.i.v", false, "5"},
      {"push.s 0\n conv.s.v\n push.e 2", true, ""},  // the top item is no value
      // exit at the top level leaves the result alone, whatever the stack holds.
      {"push.v -5 @s\n push.e 3\n push.s 0\n exit.i", true, ""},
      // ret inside a repeat: the returned value wins, the counter under it is dropped.
      {"push.e 3\n push.v -5 @s\n push.s 0\n conv.s.v\n ret.v", false, "abc"},
      // A value computed under a with record.
      {"push.e -4\n pushenv end\n end: popenv end\n push.e 9\n conv.i.v", false, "9"},
  };
  for (const Row& row : rows) {
    RunResult r;
    Run(&r, row.code);
    EXPECT_TRUE(r.completed) << row.code;
    EXPECT_EQ(r.Untouched(), row.untouched) << row.code;
    if (!row.untouched) {
      EXPECT_EQ(TextOf(r.value), row.text) << row.code;
    }
  }
  // Empty code runs nothing.
  RunResult empty;
  RunCode(&empty, testsupport::MakeCodeBuffer({}).get());
  EXPECT_TRUE(empty.Untouched());
}

TEST_F(VMExec, PushAndPopEveryType) {
  testsupport::StringTableFixture strings({"abc", nullptr});
  const char* watch[] = {"watched"};
  Debug_SetWatchStrings(watch, 1);
  struct Row {
    const char* code;
    const char* expected;  // text form of global g afterwards
  };
  const Row rows[] = {
      {"push.d 2.5\n pop.v.d -5 @g", "2.50"},
      {"push.i 3\n pop.v.i -5 @g", "3"},
      {"push.l 5000000000\n pop.v.l -5 @g", "5000000000"},
      {"push.b 1\n pop.v.b -5 @g", "1"},
      {"push.b 7\n pop.v.b -5 @g", "1"},
      {"push.e -12\n pop.v.i -5 @g", "-12"},
      {"push.s 0\n pop.v.s -5 @g", "abc"},
      {"push.s 1\n pop.v.s -5 @g", ""},
      {"push.7 0\n pop.v.s -5 @g", "watched"},
      {"push.v -5 @s\n pop.v.v -5 @g", "ab"},
      {"push.d 4\n pop.i.d -5 @g", "4"},
      {"push.d 6\n push.e -5\n pop.v.d 0 @g:s", "6"},
      {"push.e -5\n push.d 8\n pop.i.d 0 @g:s", "8"},
      {"push.f 1\n push.e 9\n pop.v.i -5 @g\n popz.f", "9"},
      {"push.d 1\n push.e 7\n dup.i 0\n .word 0xC0080000\n pop.v.i -5 @g\n popz.i\n popz.d", "7"},
  };
  for (const Row& row : rows) {
    SetGlobal("g", RealValue(-1));
    RunResult r;
    Run(&r, row.code);
    EXPECT_EQ(r.error, "") << row.code;
    Value g;
    GetGlobalVariable(GetVariableId("g"), kWholeValueIndex, &g.v);
    EXPECT_EQ(TextOf(g.v), row.expected) << row.code;
  }
  // Elements: index popped, then the selector from the immediate.
  RunResult r;
  Run(&r, "push.d 9\n push.e 3\n pop.v.d -5 @arr:e\n push.e 3\n push.v -5 @arr:e");
  EXPECT_TRUE(r.IsReal(9));
  Debug_SetWatchStrings(nullptr, 0);
}

TEST_F(VMExec, VariableErrorsAreWordedByTheFlags) {
  const int32_t a = GetVariableId("arr");
  const int32_t g = GetVariableId("g");
  ScriptValue one = RealValue(1);
  ScriptValue array{};
  SetValueElement(&array, &one, 1);
  SetGlobal("arr", array);
  ReleaseValue(&array);
  CInstance self(0, 0, 100007, -1, false);
  struct Row {
    const char* code;
    std::string error;
  };
  const std::vector<Row> rows = {
      {"push.e -4\n push.v 0 @g:s", "Unable to find any instance for object index '-4' name '<undefined>'"},
      {"push.v -4 @g", "Unable to find any instance for object index '-4' name '<undefined>'"},
      {"push.d 1\n pop.v.d -3 @g", "Pop :: Execution Error - Variable references invalid object (-3).g"},
      {"push.d 1\n pop.v.d -4 @g", "Pop :: Execution Error - Variable references invalid object (-4).g"},
      {"push.e 5\n push.v -5 @arr:e",
       "Push :: Execution Error - Variable Index [0,5] out of range [1,2] - -5.arr(" + std::to_string(a) + ",5)"},
      {"push.d 1\n push.e -1\n pop.v.d -5 @arr:e",
       "Pop :: Execution Error - Variable Index [0,-1] out of range [1,2] - -5.arr(" + std::to_string(a) + ",-1)"},
      {"push.f 1\n pop.v.f -5 @g", "Pop :: Execution Engine"},
      {"push.d 1\n pop.s.d -5 @g", "Pop :: Execution Error - Instruction malformed"},
      {"push.d 1\n pop.v.d 0 @g:s", "Pop :: Execution Error - Instruction malformed"},
  };
  for (const Row& row : rows) {
    RunResult r;
    Run(&r, row.code, &self);
    EXPECT_EQ(r.error, row.error) << row.code;
    EXPECT_FALSE(r.completed) << row.code;
  }
  // With the uninitialised-variable option on, a variable never set cannot be read; the
  // message names the calling instance's id for self.
  g_Options.uninitialisedVariables = true;
  RunResult r;
  Run(&r, "push.v -1 @never", &self);
  const int32_t never = GetVariableId("never");
  EXPECT_EQ(r.error, "Push :: Execution Error - Variable Get 100007.never(" + std::to_string(never) + ", " +
                         std::to_string(INT_MIN) + ")");
  g_Options.uninitialisedVariables = false;
  RunResult zero;
  Run(&zero, "push.v -5 @never");
  EXPECT_TRUE(zero.IsReal(0));
  (void)g;
}

TEST_F(VMExec, LocalsBelongToOneRunAndSelectorsFallBack) {
  CInstance self(0, 0, 100001, -1, false);
  const ScriptValue zero = RealValue(0);
  SetInstanceVariable(&self, GetVariableId("x"), kWholeValueIndex, &zero);
  RunResult r;
  Run(&r, "push.e 4\n pop.v.i -7 @t\n push.v -7 @t\n push.v -8 @t\n add.v.v", &self);
  EXPECT_TRUE(r.IsReal(8));
  RunResult again;
  Run(&again, "push.v -7 @t", &self);
  EXPECT_TRUE(again.IsReal(0));
  // -8 reaches self when the locals do not hold the variable, both ways.
  RunResult viaSelf;
  Run(&viaSelf, "push.e 6\n pop.v.i -8 @x\n push.v -1 @x\n push.v -8 @x\n add.v.v", &self);
  EXPECT_TRUE(viaSelf.IsReal(12));
  // -6 is global once declared, else self.
  DeclareGlobalVariable(GetVariableId("x"));
  RunResult global;
  Run(&global, "push.e 2\n pop.v.i -6 @x\n push.v -5 @x\n push.v -1 @x\n add.v.v", &self);
  EXPECT_TRUE(global.IsReal(8));
}

TEST_F(VMExec, StackShuffleAndDup) {
  testsupport::StringTableFixture strings({"abc"});
  struct Row {
    const char* code;
    const char* result;  // text form, or the error
  };
  const Row rows[] = {
      // Two ints exchanged: 2 - 1 instead of 1 - 2.
      {"push.i 1\n push.i 2\n pop.e.i 1 0\n sub.i.i\n conv.i.v", "1"},
      // value-int-int becomes int-int-value.
      {"push.i 20\n push.i 10\n push.v -5 @s\n pop.e.v 2 0\n sub.i.i\n popz.i\n", "ab"},
      // Exchange, then pop the new top.
      {"push.i 1\n push.i 2\n pop.e.i 1 1\n conv.i.v", "2"},
      {"push.i 1\n pop.e.i 1 0", "Pop :: Execution Error - stack shuffle outside the stack"},
      {"push.v -5 @s\n push.i 1\n pop.e.i 2 0", "Pop :: Execution Error - stack shuffle outside the stack"},
      {"push.i 1\n push.i 2\n dup.i 1\n add.i.i\n add.i.i\n add.i.i\n conv.i.v", "6"},
      {"push.d 1.5\n dup.d 0\n add.d.d\n conv.d.v", "3"},
      {"push.v -5 @s\n dup.v 2\n add.v.v\n add.v.v\n add.v.v", "abababab"},
      {"push.s 0\n dup.s 0\n add.s.s\n conv.s.v", "abcabc"},
      {"push.i 1\n dup.i 1", "DoDup :: Execution Error - not enough items to duplicate"},
      {"push.i 1\n push.i 2\n push.i 3\n push.i 4\n dup.v 0", "DoDup :: Execution Error - the stack holds no value"},
  };
  for (const Row& row : rows) {
    RunResult r;
    Run(&r, row.code);
    EXPECT_EQ(r.error.empty() ? TextOf(r.value) : r.error, row.result) << row.code;
  }
}

int g_pumps = 0;
void CountPump() { ++g_pumps; }

TEST_F(VMExec, BranchesAndLoops) {
  // sum = 0; for (i = 10; i > 0; i--) sum += i
  const char* loop = R"(
      push.e 0
      pop.v.i -7 @sum
      push.e 10
      pop.v.i -7 @i
    top:
      push.v -7 @i
      push.e 0
      sgt.i.v
      bf done
      push.v -7 @sum
      push.v -7 @i
      add.v.v
      pop.v.v -7 @sum
      push.v -7 @i
      push.e 1
      sub.i.v
      pop.v.v -7 @i
      b top
    done:
      push.v -7 @sum
  )";
  RunResult r;
  Run(&r, loop);
  EXPECT_TRUE(r.IsReal(55));
  // Offsets: +1 is the next word, -1 the word before.
  RunResult offsets;
  Run(&offsets, "b 2\n b 2\n b -1\n push.e 7\n conv.i.v");
  EXPECT_TRUE(offsets.IsReal(7));
  RunResult jumpsToEnd;
  Run(&jumpsToEnd, "push.e 1\n bt 2\n push.e 2");
  EXPECT_TRUE(jumpsToEnd.completed);
  // Long loops keep the window's messages flowing.
  g_pumps = 0;
  const uint32_t before = g_VM.branchCounter;
  PumpMessagesHook previous = PumpMessages_SetHook(CountPump);
  RunResult spin;
  Run(&spin, "push.i 10000\n top: push.e 1\n sub.i.i\n dup.i 0\n bt top\n popz.i");
  PumpMessages_SetHook(previous);
  ASSERT_EQ(g_VM.branchCounter - before, 10000u);
  EXPECT_EQ(g_pumps, static_cast<int>(g_VM.branchCounter / 4096 - before / 4096));
}

TEST_F(VMExec, MalformedCodeIsRefused) {
  testsupport::StringTableFixture strings({"abc"});
  struct Row {
    const char* code;
    const char* error;
  };
  const Row rows[] = {
      {".word 0x01000000", "VM :: Execution Error - unknown opcode 0x01 at 0"},
      {"push.e 1\n .word 0x17000000", "VM :: Execution Error - unknown opcode 0x17 at 4"},
      {".word 0xC0000000", "VM :: Execution Error - operand past the end of the code at 0"},
      {"b 5", "VM :: Execution Error - branch target 20 outside the code"},
      {"b -1", "VM :: Execution Error - branch target -4 outside the code"},
      {"bt 1", "VM :: Execution Error - branch without a condition"},
      {"push.s 1", "Push :: Execution Error - string index 1 out of range"},
      {"push.7 0", "Push :: Execution Error - string index 0 out of range"},
      {"call.i 77 0", "DoCall :: Execution Error - no built-in function 77"},
      {"call.i 600000 0", "DoCall :: Execution Error - no extension function 100000"},
      {"call.i 100050 0", "call to non-existent script\n"},
      {"call.b 0 0", "DoCall :: Execution Engine type error"},
      {"push.e 1\n call.i 0 1", "DoCall :: Execution Error - 1 arguments expected on the stack"},
      {"push.i 1\n push.i 1\n push.i 1\n push.i 1\n call.i 0 1", "DoCall :: Execution Error - argument 0 is not a value"},
      {"push.e 1\n ret.i", "DoRet :: Execution Error - ret needs a whole value on the stack"},
      {"push.d 1\n push.d 1\n ret.v", "DoRet :: Execution Error - ret needs a whole value on the stack"},
      {"push.i 1\n push.i 1\n push.i 1\n push.i 1\n popz.v", "DoPopz :: Execution Error - the stack holds no value"},
      {"push.e 5\n popz.s", "DoPopz :: Execution Error - the stack holds no text"},
      {"popz.d", "DoPopz :: Execution Error - nothing to discard"},
  };
  for (const Row& row : rows) {
    RunResult r;
    Run(&r, row.code);
    EXPECT_EQ(r.error, row.error) << row.code;
    EXPECT_FALSE(r.completed) << row.code;
  }
  // A code size that is not a whole number of words.
  auto words = testsupport::Assemble("push.e 1\n popz.i");
  auto code = testsupport::MakeCodeBuffer(words);
  code->m_size = 6;
  RunResult partial;
  RunCode(&partial, code.get());
  EXPECT_EQ(partial.error, "VM :: Execution Error - instruction past the end of the code at 4");
}

TEST_F(VMExec, ArrayIndexCheck) {
  struct Row {
    int32_t index;
    const char* error;
  };
  const Row rows[] = {{-1, "Array index must be +'ve"}, {32000, "Array index must be < 32000"}, {0, ""}, {31999, ""}};
  for (const Row& row : rows) {
    RunResult r;
    Run(&r, "push.i " + std::to_string(row.index) + "\n break 0xFFFF\n conv.i.v");
    EXPECT_EQ(r.error, row.error) << row.index;
    if (*row.error == '\0') {
      EXPECT_TRUE(r.IsReal(row.index));  // the index stays on the stack
    }
  }
  // Any other immediate does nothing; a literal breakpoint word without a debugger runs on.
  RunResult other;
  Run(&other, "push.e 3\n break 7\n break 0\n conv.i.v");
  EXPECT_TRUE(other.IsReal(3));
}

TEST_F(VMExec, BuiltinCalls) {
  testsupport::StringTableFixture strings({"abc"});
  RunResult r;
  // Arguments are pushed last to first, so argument 0 is the top.
  Run(&r, "push.s 0\n conv.s.v\n push.e 2\n conv.i.v\n push.d 1.5\n conv.d.v\n call.i @joined 3");
  EXPECT_EQ(r.Text(), "1.50,2,abc");
  RunResult none;
  Run(&none, "push.v -5 @s\n call.i @nothing 1");
  EXPECT_TRUE(none.IsReal(0));
  EXPECT_STREQ(g_VM.CurrentBuiltinName, "nothing");
  // Many arguments go through a heap copy.
  std::string many;
  for (int i = 0; i < 20; ++i) many += "push.v -5 @s\n";
  many += "call.i @joined 20";
  RunResult wide;
  Run(&wide, many);
  EXPECT_EQ(wide.Text().size(), 20u * 3 - 1);
}

int32_t g_extensionIndex = -1;
void CallExtension(int32_t index, int32_t argc, ScriptValue* args, ScriptValue* result) {
  g_extensionIndex = index;
  SetReal(result, argc > 0 ? GetArgumentNumber(args, 0) * 2 : -1);
}

TEST_F(VMExec, ExtensionCallsGoThroughTheHook) {
  Extension_FunctionAdd("first", 1);
  Extension_FunctionAdd("second", 1);
  VM_SetExtensionCall(CallExtension);
  RunResult r;
  Run(&r, "push.e 21\n conv.i.v\n call.i @second 1");
  VM_SetExtensionCall(nullptr);
  Extension_FreeAll();
  EXPECT_TRUE(r.IsReal(42));
  EXPECT_EQ(g_extensionIndex, 1);
}

TEST_F(VMExec, ScriptCallsPassArgumentsAndRestoreTheCallersOnes) {
  AddScript("inner", "call.i @probe 0\n popz.v\n push.e 1\n conv.i.v\n call.i @arg0 0\n add.v.v\n ret.v");
  AddScript("outer",
            "push.e 30\n conv.i.v\n push.e 20\n conv.i.v\n push.e 10\n conv.i.v\n call.i @inner 3\n"
            "call.i @arg0 0\n add.v.v\n call.i @probe 0\n popz.v\n ret.v");
  RunResult r;
  Run(&r, "push.e 5\n conv.i.v\n push.e 100\n conv.i.v\n call.i @outer 2");
  // inner returns 10 + 1, outer adds its own argument0 (100).
  EXPECT_TRUE(r.IsReal(111)) << TextOf(r.value);
  ASSERT_EQ(g_probe.calls, 2);
  // The last probe ran in outer, after inner returned: outer's two arguments are back.
  EXPECT_EQ(g_probe.argumentCount, 2);
  EXPECT_EQ(g_probe.slots[0], "100");
  EXPECT_EQ(g_probe.slots[1], "5");
  EXPECT_EQ(g_probe.slots[2], "0");
  EXPECT_EQ(g_VM.argumentCount, 0);
  EXPECT_EQ(TextOf(g_VM.argumentSlots[0]), "0");
}

TEST_F(VMExec, ScriptArgumentsInsideTheCallee) {
  AddScript("inner", "call.i @probe 0\n popz.v");
  RunResult r;
  Run(&r, "push.e 3\n conv.i.v\n push.e 2\n conv.i.v\n push.v -5 @s\n call.i @inner 3\n popz.v");
  EXPECT_EQ(g_probe.argumentCount, 3);
  EXPECT_EQ(g_probe.slots[0], "ab");
  EXPECT_EQ(g_probe.slots[2], "3");
  for (int i = 3; i < 16; ++i) EXPECT_EQ(g_probe.slots[i], "0") << i;
  EXPECT_EQ(g_probe.frameNames, (std::vector<std::string>{"inner", "test"}));
}

TEST_F(VMExec, ScriptEndsAndExits) {
  testsupport::StringTableFixture strings({"abc"});
  AddScript("offEnd", "push.e 4\n popz.i");
  AddScript("exits", "push.v -5 @s\n push.s 0\n exit.i\n push.e 9\n conv.i.v\n ret.v");
  AddScript("noCode", "");
  struct Row {
    const char* code;
    const char* result;
  };
  const Row rows[] = {
      {"call.i @offEnd 0\n push.e 1\n conv.i.v\n add.v.v", "1"},
      {"call.i @exits 0\n push.e 2\n conv.i.v\n add.v.v", "2"},
      {"push.v -5 @s\n push.v -5 @s\n call.i @noCode 2", "0"},
      {"push.e 3\n conv.i.v\n call.i @script_execute 1", "0"},
  };
  const int32_t offEnd = Script_FindByName("offEnd");
  for (const Row& row : rows) {
    RunResult r;
    std::string code = row.code;
    if (code.find("@script_execute") != std::string::npos) {
      code = "push.e " + std::to_string(offEnd) + "\n conv.i.v\n call.i @script_execute 1";
    }
    Run(&r, code);
    EXPECT_EQ(r.error, "") << row.code;
    EXPECT_EQ(TextOf(r.value), row.result) << row.code;
  }
}

TEST_F(VMExec, ScriptExecutePassesTheRemainingArguments) {
  const int32_t index = AddScript("target", "call.i @probe 0\n popz.v\n call.i @arg0 0\n ret.v") - kScriptCallBase;
  RunResult r;
  Run(&r, "push.e 8\n conv.i.v\n push.e 7\n conv.i.v\n push.e " + std::to_string(index) +
              "\n conv.i.v\n call.i @script_execute 3");
  EXPECT_TRUE(r.IsReal(7));
  EXPECT_EQ(g_probe.argumentCount, 2);
  EXPECT_EQ(g_probe.slots[1], "8");
  RunResult missing;
  Run(&missing, "push.e 99\n conv.i.v\n call.i @script_execute 1");
  EXPECT_EQ(missing.error, "call to non-existent script\n");
  RunResult wrongKind;
  Run(&wrongKind, "push.v -5 @s\n call.i @script_execute 1");
  EXPECT_FALSE(wrongKind.completed);
  EXPECT_TRUE(g_ErrorFlag.load());
}

TEST_F(VMExec, MoreThanSixteenScriptArgumentsKeepTheFirstSixteen) {
  AddScript("wide", "call.i @probe 0\n popz.v");
  std::string code;
  for (int i = 19; i >= 0; --i) code += "push.v -5 @s\n push.e " + std::to_string(i) + "\n conv.i.s\n add.s.v\n";
  code += "call.i @wide 20\n popz.v";
  RunResult r;
  Run(&r, code);
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(g_probe.argumentCount, 16);
  EXPECT_EQ(g_probe.slots[0], "ab0");
  EXPECT_EQ(g_probe.slots[15], "ab15");
}

TEST_F(VMExec, DeepRecursionGrowsTheStackAndKeepsEveryFrame) {
  AddScript("rec", R"(
      call.i @arg0 0
      push.e 0
      sle.i.v
      bt base
      call.i @arg0 0
      push.e 1
      sub.i.v
      call.i @rec 1
      call.i @arg0 0
      add.v.v
      ret.v
    base:
      call.i @probe 0
      ret.v
  )");
  RunResult r;
  Run(&r, "push.e 300\n conv.i.v\n call.i @rec 1");
  EXPECT_TRUE(r.IsReal(300 * 301 / 2)) << TextOf(r.value);
  ASSERT_EQ(g_probe.frameNames.size(), 302u);
  EXPECT_EQ(g_probe.frameNames.front(), "rec");
  EXPECT_EQ(g_probe.frameNames.back(), "test");
}

TEST_F(VMExec, StackOverflowEndsTheRunWithTheBox) {
  testsupport::MessageBoxRecorder boxes;
  AddScript("forever", "push.v -5 @s\n call.i @forever 1\n ret.v");
  RunResult r;
  Run(&r, "push.v -5 @s\n call.i @forever 1");
  EXPECT_FALSE(r.completed);
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].caption, "Stack overflow...");
  EXPECT_EQ(boxes.boxes()[0].text, "forever");
  EXPECT_EQ(g_VM.argumentCount, 0);
  EXPECT_EQ(TextOf(g_VM.argumentSlots[0]), "0");
}

// The depth at which recursion meets "Stack overflow..." depends only on the frame's size and the
// stack's growth steps: every way of running the calls reaches the same one.
// The second script's call is a decoded call step (its argument computed); the third leaves a
// value on the stack below the argument it computes with fused pushes.
TEST_F(VMExec, RecursionOverflowsAtTheSameDepthOnEveryPath) {
  AddScript("deep", "push.v -5 @n\n push.e 1\n add.i.v\n pop.v.v -5 @n\n push.v -5 @s\n call.i @deep 1\n ret.v");
  AddScript("deep_step", "push.v -5 @n\n push.e 1\n add.i.v\n pop.v.v -5 @n\n push.v -5 @n\n push.e 1\n sub.i.v\n"
                         " call.i @deep_step 1\n ret.v");
  AddScript("deep_sum", "push.v -5 @n\n push.e 1\n add.i.v\n pop.v.v -5 @n\n push.v -5 @n\n push.v -5 @n\n push.e 1\n"
                        " sub.i.v\n call.i @deep_sum 1\n add.v.v\n ret.v");
  for (const char* script : {"deep", "deep_step", "deep_sum"}) {
    int32_t depth = -1;
    for (const bool fast : {false, true}) {
      for (const bool decoded : {false, true}) {
        testsupport::MessageBoxRecorder boxes;
        g_VM.fastPaths = fast;
        g_VM.decodedSteps = decoded;
        SetGlobal("n", RealValue(0));
        RunResult r;
        Run(&r, std::string("push.v -5 @s\n call.i @") + script + " 1");
        EXPECT_FALSE(r.completed);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].caption, "Stack overflow...");
        if (std::string(script) != "deep_sum") {
          EXPECT_EQ(GlobalReal("n"), 3117) << script << ", fast paths " << fast << ", decoded " << decoded;
        }
        if (depth < 0) depth = static_cast<int32_t>(GlobalReal("n"));
        EXPECT_EQ(GlobalReal("n"), depth) << script << ", fast paths " << fast << ", decoded " << decoded;
        EXPECT_EQ(g_VM.argumentsUsed, 0);
        EXPECT_EQ(VMLocalsInUse(), 0);
      }
    }
  }
}

// A call step keeps the callee it found: when the script's code is replaced, or a breakpoint is
// set in it and cleared while the steps are cached, the next call runs what the script now holds.
TEST_F(VMExec, CallStepsFollowTheCalleesCode) {
  int32_t number = -1;
  auto caller = CallerOfACachedCallee(&number);
  ASSERT_NE(caller->m_decoded, nullptr);

  // The callee's words replaced by other code.
  CCode* callee = m_scripts.back();
  VMBuffer* old = callee->m_code;
  callee->m_code = testsupport::AssembleCode(
      "call.i @arg0 0\n pop.v.v -5 @m\n push.v -5 @m\n push.e 3\n add.i.v\n ret.v").release();
  VM_NoteScriptChange();
  RunResult replaced;
  RunCode(&replaced, caller.get());
  EXPECT_TRUE(replaced.IsReal(13)) << TextOf(replaced.value);

  // A breakpoint in the callee's return step, hit while a debugger is connected, then cleared.
  uint32_t* words = const_cast<uint32_t*>(callee->m_code->m_data);
  const uint32_t add = words[7];
  g_Debug.debugger.connected = true;
  g_VM.breakpoints[0].address = &words[7];
  g_VM.breakpoints[0].savedWord = add;
  VMApplyBreakpoints();
  RunResult connected;
  RunCode(&connected, caller.get());
  EXPECT_TRUE(connected.IsReal(13));
  VMDisconnectDebugger();
  EXPECT_EQ(words[7], add);
  RunResult after;
  RunCode(&after, caller.get());
  EXPECT_TRUE(after.IsReal(13));

  // A script without code any more: the call goes the general way.
  delete callee->m_code;
  callee->m_code = nullptr;
  VM_NoteScriptChange();
  RunResult empty;
  RunCode(&empty, caller.get());
  EXPECT_TRUE(empty.completed);
  callee->m_code = old;
  VM_NoteScriptChange();
}

// A call step that cached its callee meets the script table emptied and refilled, the old code
// entry freed: the call finds the new script (or none) and never touches the freed entry.
TEST_F(VMExec, CallStepsForgetFreedScripts) {
  int32_t number = -1;
  auto caller = CallerOfACachedCallee(&number);

  // Every script gone and its entry freed: the call has no script to run.
  Script_FreeAll();
  for (CCode* code : m_scripts) delete code;
  m_scripts.clear();
  RunResult none;
  RunCode(&none, caller.get());
  EXPECT_FALSE(none.IsReal(6));

  // A new script in the same slot.
  ASSERT_EQ(AddScript("other", "push.v -5 @n\n push.e 7\n add.i.v\n ret.v"), number);
  RunResult refilled;
  RunCode(&refilled, caller.get());
  EXPECT_TRUE(refilled.IsReal(12)) << TextOf(refilled.value);
}

VMBuffer* g_nestCode = nullptr;
int g_nestDepth = 0;
int g_nestLimit = kVMMaxRunNesting + 1;  // nested runs Nest starts at most
void Nest(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) {
  if (g_nestDepth >= g_nestLimit) return;
  ++g_nestDepth;
  ScriptValue result{};
  VMExecute("nested", nullptr, nullptr, g_nestCode, &result, nullptr, nullptr);
  ReleaseValue(&result);
}

TEST_F(VMExec, NestedRunsAreCapped) {
  testsupport::MessageBoxRecorder boxes;
  RegisterBuiltinFunction("nest", Nest, 0);
  auto code = testsupport::AssembleCode("push.v -5 @s\n call.i @nest 0\n popz.v\n popz.v");
  g_nestCode = code.get();
  g_nestDepth = 0;
  RunResult r;
  RunCode(&r, code.get());
  EXPECT_TRUE(r.completed);
  EXPECT_EQ(g_nestDepth, kVMMaxRunNesting);
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].caption, "Stack overflow...");
  EXPECT_EQ(boxes.boxes()[0].text, "nested");
}

// A run starts on the stack block the last run at its depth left: whatever that run left below
// its items (operands an operator took, texts and values an exit dropped) is never taken for an
// item of the next run, a block grown by recursion is kept and grows on, and the overflow still
// comes at the same depth.
TEST_F(VMExec, RunsReuseTheirDepthsStackBlock) {
  testsupport::StringTableFixture strings({"abc"});
  testsupport::MessageBoxRecorder boxes;
  AddScript("rec", R"(
      call.i @arg0 0
      push.e 0
      sle.i.v
      bt base
      call.i @arg0 0
      push.e 1
      sub.i.v
      call.i @rec 1
      call.i @arg0 0
      add.v.v
      ret.v
    base:
      push.e 0
      conv.i.v
      ret.v
  )");
  // Texts and values taken by operators, then left on the stack by an exit.
  const char* leaveItems = "push.s 0\n push.s 0\n add.s.s\n push.v -5 @s\n push.s 0\n conv.s.v\n add.v.v\n"
                           "push.s 0\n push.v -5 @s\n exit.i";
  // Raw items over the same units, dropped by an exit, then a result made over them.
  const char* rawOver = "push.e 1\n push.e 2\n push.e 3\n push.e 4\n push.e 5\n push.e 6\n exit.i";
  const char* valueOver = "push.e 1\n push.e 2\n push.e 3\n conv.i.v\n push.e 4\n conv.i.v\n add.v.v";
  for (int round = 0; round < 2; ++round) {
    RunResult left, raw, value;
    Run(&left, leaveItems);
    EXPECT_TRUE(left.Untouched()) << left.error;
    Run(&raw, rawOver);
    EXPECT_TRUE(raw.Untouched());
    Run(&value, valueOver);
    EXPECT_EQ(TextOf(value.value), "7");
  }
  ASSERT_GE(g_VM.stackBlocks.Count(), 1);
  uint8_t* const first = g_VM.stackBlocks[0].base;
  EXPECT_NE(first, nullptr);
  // Nested runs: each depth keeps a block of its own.
  RegisterBuiltinFunction("nest", Nest, 0);
  auto nested = testsupport::AssembleCode(std::string("call.i @nest 0\n") + leaveItems);
  g_nestCode = nested.get();
  g_nestLimit = 3;
  for (int round = 0; round < 2; ++round) {
    g_nestDepth = 0;
    RunResult r;
    Run(&r, "push.e 9\n call.i @nest 0\n popz.v\n push.e 8\n conv.i.v");
    EXPECT_TRUE(r.IsReal(8));
    EXPECT_EQ(g_nestDepth, 3);
  }
  g_nestLimit = kVMMaxRunNesting + 1;
  EXPECT_EQ(g_VM.stackBlocks[0].base, first);
  ASSERT_GE(g_VM.stackBlocks.Count(), 4);
  for (int32_t depth = 1; depth < 4; ++depth) EXPECT_NE(g_VM.stackBlocks[depth].base, nullptr) << depth;
  // Recursion past one block: the grown block is kept and the next run goes on growing it.
  for (const int32_t depth : {60, 120}) {
    RunResult r;
    Run(&r, "push.e " + std::to_string(depth) + "\n conv.i.v\n call.i @rec 1");
    EXPECT_TRUE(r.IsReal(depth * (depth + 1) / 2)) << depth;
    EXPECT_GT(g_VM.stackBlocks[0].size, kVMStackBlockStep) << depth;
  }
  AddScript("deep", "push.v -5 @n\n push.e 1\n add.i.v\n pop.v.v -5 @n\n push.v -5 @s\n call.i @deep 1\n ret.v");
  SetGlobal("n", RealValue(0));
  RunResult overflow;
  Run(&overflow, "push.v -5 @s\n call.i @deep 1");
  EXPECT_FALSE(overflow.completed);
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].caption, "Stack overflow...");
  EXPECT_EQ(GlobalReal("n"), 3117);
}

TEST_F(VMExec, SuppressedErrorInsideAScriptRestoresTheCaller) {
  testsupport::StringTableFixture strings({"abc"});
  AddScript("fails", "push.s 0\n push.v -5 @s\n push.e 1\n push.e 0\n div.i.i");
  RunResult r;
  Run(&r, "push.e 1\n conv.i.v\n push.e 2\n conv.i.v\n call.i @fails 2\n push.e 5\n conv.i.v");
  EXPECT_EQ(r.error, "DoDiv :: Divide by zero");
  EXPECT_FALSE(r.completed);
  EXPECT_TRUE(g_ErrorFlag.load());
  EXPECT_EQ(g_VM.argumentCount, 0);
  EXPECT_EQ(TextOf(g_VM.argumentSlots[1]), "0");
}

TEST_F(VMExec, FatalErrorEndsTheProcessAndReleasesTheRun) {
  testsupport::StringTableFixture strings({"abc"});
  testsupport::MessageBoxRecorder boxes;
  testsupport::ProcessExitTrap trap;
  AddScript("fails", "push.s 0\n push.v -5 @s\n push.i 1\n push.i 0\n div.i.i");
  g_ErrorSuppressed.store(false);
  auto code = testsupport::AssembleCode("push.s 0\n push.v -5 @s\n dup.v 1\n push.v -5 @s\n call.i @fails 1");
  ScriptValue result{};
  int status = 0;
  try {
    VMExecute("fatal", nullptr, nullptr, code.get(), &result, nullptr, nullptr);
  } catch (const testsupport::ProcessExited& e) {
    status = e.status;
  }
  g_ErrorSuppressed.store(true);
  EXPECT_NE(status, 0);
  EXPECT_STREQ(VM_GetLastErrorText(), "DoDiv :: Divide by zero");
  EXPECT_EQ(g_VM.current, nullptr);
  EXPECT_EQ(VMLocalsInUse(), 0);
  EXPECT_EQ(g_VM.argumentCount, 0);
  ReleaseValue(&result);
}

// A breakpoint set inside a decoded step while the steps are cached: the connected run goes word
// by word, runs the instruction under the break word, and after the disconnect the words are the ones the steps were made
// from, so the decoded run gives the same answer.
TEST_F(VMExec, BreakpointsSetAndClearedWhileDecodedStepsAreCached) {
  auto code = testsupport::AssembleCode(
      "push.e 2\n pop.v.i -7 @x\n push.v -7 @x\n push.e 3\n add.i.v\n pop.v.v -7 @x\n push.v -7 @x\n ret.v");
  RunResult first;
  RunCode(&first, code.get());
  EXPECT_TRUE(first.IsReal(5));
  ASSERT_NE(code->m_decoded, nullptr);
  EXPECT_GT(code->m_decoded->steps.Count(), 0);

  uint32_t* words = const_cast<uint32_t*>(code->m_data);
  const uint32_t add = words[6];
  g_Debug.debugger.connected = true;
  g_VM.breakpoints[0].address = &words[6];
  g_VM.breakpoints[0].savedWord = add;
  VMApplyBreakpoints();
  RunResult connected;
  RunCode(&connected, code.get());
  EXPECT_TRUE(connected.IsReal(5));
  EXPECT_EQ(words[6], kBreakpointWord);  // still set after the run stopped there

  VMDisconnectDebugger();
  EXPECT_EQ(words[6], add);
  RunResult after;
  RunCode(&after, code.get());
  EXPECT_TRUE(after.IsReal(5));
}

TEST_F(VMExec, BreakpointsRunTheReplacedInstruction) {
  auto code = testsupport::AssembleCode("push.e 2\n push.e 3\n add.i.i\n conv.i.v");
  uint32_t* words = const_cast<uint32_t*>(code->m_data);
  g_VM.breakpoints[0].address = &words[2];
  g_VM.breakpoints[0].savedWord = words[2];
  VMApplyBreakpoints();
  EXPECT_EQ(words[2], kBreakpointWord);
  RunResult r;
  RunCode(&r, code.get());
  EXPECT_TRUE(r.IsReal(5));
  EXPECT_EQ(words[2], kBreakpointWord);
  VMRestoreBreakpoints();
  VMInit();
  EXPECT_EQ(g_VM.breakpoints[0].address, nullptr);

  // A disconnect puts the saved words back before it frees the slots.
  g_VM.breakpoints[3].address = &words[1];
  g_VM.breakpoints[3].savedWord = words[1];
  const uint32_t original = words[1];
  VMApplyBreakpoints();
  EXPECT_EQ(words[1], kBreakpointWord);
  g_Debug.debugger.connected = true;
  VMDisconnectDebugger();
  EXPECT_FALSE(g_Debug.debugger.connected);
  EXPECT_EQ(words[1], original);
  EXPECT_EQ(g_VM.breakpoints[3].address, nullptr);
  RunResult afterDisconnect;
  RunCode(&afterDisconnect, code.get());
  EXPECT_TRUE(afterDisconnect.IsReal(5));

  // A break request while a debugger is connected stops at the next instruction and records it.
  g_Debug.debugger.connected = true;
  g_Debug.debugger.breakRequest = true;
  RunResult stepped;
  RunCode(&stepped, code.get());
  EXPECT_TRUE(stepped.IsReal(5));
  EXPECT_FALSE(g_Debug.debugger.breakRequest);
  EXPECT_EQ(g_Debug.debugger.stepKind, -1);
  g_Debug.debugger = DebuggerState{};
}

}  // namespace
