#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "base/VCL.h"
#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "code/VM_State.h"
#include "extension/Extension_Main.h"
#include "platform/MemoryManager.h"
#include "script/Script_Main.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;

namespace {

// Implementations that leave a mark in the result, so a test can tell which one ran.
void ImplA(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue*) { result->real = 1.0; }
void ImplB(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue*) { result->real = 2.0; }

double CallEntry(int32_t callNumber) {
  ScriptValue result{};
  g_VM.functions[callNumber].func(&result, nullptr, nullptr, 0, nullptr);
  return result.real;
}

ScriptValue Make(ValueKind kind, uint64_t bits) {
  ScriptValue v{};
  v.bits = bits;
  v.kind = kind;
  return v;
}
ScriptValue Int32(int32_t i) {
  ScriptValue v{};
  v.i32 = i;
  v.kind = VALUE_INT32;
  return v;
}
ScriptValue Int64(int64_t i) {
  ScriptValue v{};
  v.i64 = i;
  v.kind = VALUE_INT64;
  return v;
}
ScriptValue Ptr(uint64_t payload) { return Make(VALUE_PTR, payload); }
ScriptValue Str(char* text) {
  ScriptValue v{};
  v.str = text;
  v.kind = VALUE_STRING;
  return v;
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int32_t kMin32 = std::numeric_limits<int32_t>::min();
constexpr int64_t kMin64 = std::numeric_limits<int64_t>::min();

// Every test starts and ends with empty tables and errors not suppressed.
class CodeFunctionTest : public testsupport::RuntimeTest {};

TEST_F(CodeFunctionTest, TableGrowsBy500AndKeepsEveryEntry) {
  EXPECT_EQ(g_VM.functions, nullptr);
  EXPECT_EQ(g_VM.functionCapacity, 0);

  ASSERT_TRUE(RegisterBuiltinFunction("f0", ImplA, 0));
  EXPECT_EQ(g_VM.functionCount, 1);
  EXPECT_EQ(g_VM.functionCapacity, 500);
  EXPECT_TRUE(MemoryManager::IsManaged(g_VM.functions));
  for (int i = 1; i < 500; ++i) RegisterBuiltinFunction(("f" + std::to_string(i)).c_str(), ImplA, i);
  EXPECT_EQ(g_VM.functionCapacity, 500);

  RegisterBuiltinFunction("f500", ImplB, -1);
  EXPECT_EQ(g_VM.functionCount, 501);
  EXPECT_EQ(g_VM.functionCapacity, 1000);
  EXPECT_GE(MemoryManager::GetSize(g_VM.functions), static_cast<int32_t>(1000 * sizeof(BuiltinFunctionEntry)));
  // The entries not yet used are zero bytes.
  const unsigned char* spare = reinterpret_cast<const unsigned char*>(&g_VM.functions[501]);
  EXPECT_TRUE(std::all_of(spare, spare + 499 * sizeof(BuiltinFunctionEntry), [](unsigned char b) { return b == 0; }));

  for (int i = 0; i <= 500; ++i) {
    const std::string name = "f" + std::to_string(i);
    const char* gotName = nullptr;
    BuiltinFunction gotFunc = nullptr;
    int32_t gotArgs = 0;
    ASSERT_TRUE(GetBuiltinFunctionInfo(i, &gotName, &gotFunc, &gotArgs));
    EXPECT_STREQ(gotName, name.c_str());
    EXPECT_EQ(gotFunc, i == 500 ? ImplB : ImplA);
    EXPECT_EQ(gotArgs, i == 500 ? -1 : i);
    EXPECT_EQ(g_VM.functions[i].callCount, -1);
    int32_t number = -7;
    ASSERT_TRUE(FindFunctionIndex(name.c_str(), &number));
    EXPECT_EQ(number, i);
  }
}

TEST_F(CodeFunctionTest, ARestartRegistersTheSameNumbersFromAnEmptyTable) {
  const int32_t blocksBefore = MemoryManager::BlockCount.load();
  const char* names[] = {"draw_x", "sound_y", "ds_z"};
  for (const char* n : names) RegisterBuiltinFunction(n, ImplA, 1);
  g_VM.CurrentBuiltinName = g_VM.functions[1].name;

  FreeBuiltinFunctions();
  EXPECT_EQ(g_VM.functions, nullptr);
  EXPECT_EQ(g_VM.functionCount, 0);
  EXPECT_EQ(g_VM.functionCapacity, 0);
  EXPECT_EQ(g_VM.CurrentBuiltinName, nullptr);  // it pointed into the released table
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocksBefore);
  int32_t number = 0;
  EXPECT_FALSE(FindFunctionIndex("sound_y", &number));

  for (const char* n : names) RegisterBuiltinFunction(n, ImplA, 1);
  for (int32_t i = 0; i < 3; ++i) {
    ASSERT_TRUE(FindFunctionIndex(names[i], &number));
    EXPECT_EQ(number, i);
  }
}

TEST_F(CodeFunctionTest, NamesTooLongForTheFieldAreRejectedWithoutShiftingOthers) {
  TempDir dir;
  const LogSettings saved = g_LogSettings;
  g_LogSettings.debugOutputWanted = true;
  g_LogSettings.debugOutputFile = dir.file("debug.txt");

  const std::string longest(63, 'a');
  const std::string tooLong(64, 'b');
  EXPECT_TRUE(RegisterBuiltinFunction("first", ImplA, 0));
  EXPECT_TRUE(RegisterBuiltinFunction(longest.c_str(), ImplA, 0));
  EXPECT_FALSE(RegisterBuiltinFunction(tooLong.c_str(), ImplB, 0));
  EXPECT_FALSE(RegisterBuiltinFunction(nullptr, ImplB, 0));
  EXPECT_TRUE(RegisterBuiltinFunction("last", ImplA, 0));
  g_LogSettings = saved;

  EXPECT_EQ(g_VM.functionCount, 3);
  int32_t number = 0;
  ASSERT_TRUE(FindFunctionIndex(longest.c_str(), &number));
  EXPECT_EQ(number, 1);
  ASSERT_TRUE(FindFunctionIndex("last", &number));
  EXPECT_EQ(number, 2);
  EXPECT_FALSE(FindFunctionIndex(tooLong.c_str(), &number));
  EXPECT_FALSE(FindFunctionIndex(tooLong.substr(0, 63).c_str(), &number));
  EXPECT_EQ(number, -1);

  const std::string log = ReadFile(dir.file("debug.txt"));
  EXPECT_NE(log.find("too long"), std::string::npos) << log;
  EXPECT_NE(log.find(tooLong), std::string::npos) << log;
}

TEST_F(CodeFunctionTest, NameLookupTriesScriptsThenExtensionsThenScriptExecuteThenBuiltins) {
  RegisterBuiltinFunction("abs", ImplA, 1);                // 0
  RegisterBuiltinFunction("script_execute", ImplA, -1);    // 1: never found by name
  RegisterBuiltinFunction("shadowed", ImplA, 1);           // 2
  RegisterBuiltinFunction("ext_shadowed", ImplA, 1);       // 3
  RegisterBuiltinFunction("SHOUT", ImplA, 1);              // 4
  RegisterBuiltinFunction("abs", ImplB, 1);                // 5: a duplicate, never found
  Script_Add("scr_other");
  Script_Add("shadowed");  // script 1
  Script_Add("both");      // script 2
  Extension_FunctionAdd("ext_shadowed", 2);  // extension 0
  Extension_FunctionAdd("both", 2);          // extension 1

  struct Case {
    const char* name;
    bool found;
    int32_t number;
  } cases[] = {
      {"abs", true, 0},
      {"shadowed", true, 100001},
      {"ext_shadowed", true, 500000},
      {"both", true, 100002},
      {"script_execute", true, 499999},
      {"SCRIPT_EXECUTE", false, -1},
      {"Script_Execute", false, -1},
      {"ABS", false, -1},
      {"SHOUT", true, 4},
      {"shout", false, -1},
      {"ab", false, -1},
      {"abs ", false, -1},
      {"missing", false, -1},
      {"", false, -1},
      {nullptr, false, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name ? c.name : "(null)");
    int32_t number = 12345;
    EXPECT_EQ(FindFunctionIndex(c.name, &number), c.found);
    EXPECT_EQ(number, c.number);
  }
  EXPECT_FALSE(FindFunctionIndex("", nullptr));

  // script_execute itself gives way to an extension function and then to a script of that name.
  int32_t number = 0;
  Extension_FunctionAdd("script_execute", -1);  // extension 2
  ASSERT_TRUE(FindFunctionIndex("script_execute", &number));
  EXPECT_EQ(number, 500002);
  Script_Add("script_execute");  // script 3
  ASSERT_TRUE(FindFunctionIndex("script_execute", &number));
  EXPECT_EQ(number, 100003);
}

TEST_F(CodeFunctionTest, ArgumentCountsFollowTheCallNumberRanges) {
  RegisterBuiltinFunction("three", ImplA, 3);
  RegisterBuiltinFunction("any", ImplA, -1);
  Extension_FunctionAdd("ext", 2);

  const struct {
    int32_t number;
    int32_t count;
  } cases[] = {
      {0, 3},           {1, -1},           {2, -100},          {99999, -100},     {-1, -100},
      {kMin32, -100},   {100000, -1},      {250000, -1},       {499999, -1},      {500000, 2},
      {500001, -100},   {INT32_MAX, -100},
  };
  for (const auto& c : cases) EXPECT_EQ(GetFunctionArgCount(c.number), c.count) << c.number;
}

TEST_F(CodeFunctionTest, InfoForAnIndexOutsideTheTableWritesNothing) {
  RegisterBuiltinFunction("only", ImplA, 2);
  for (int32_t index : {-1, 1, 500, kMin32}) {
    const char* name = "untouched";
    BuiltinFunction func = ImplB;
    int32_t args = 77;
    EXPECT_FALSE(GetBuiltinFunctionInfo(index, &name, &func, &args));
    EXPECT_STREQ(name, "untouched");
    EXPECT_EQ(func, ImplB);
    EXPECT_EQ(args, 77);
  }
}

TEST_F(CodeFunctionTest, ReplacementReachesCallsCompiledBeforeIt) {
  RegisterBuiltinFunction("before", ImplA, 0);
  RegisterBuiltinFunction("op", ImplA, 2);
  RegisterBuiltinFunction("op", ImplA, 5);  // duplicate: stays as it is
  int32_t compiled = -1;
  ASSERT_TRUE(FindFunctionIndex("op", &compiled));
  g_VM.functions[compiled].callCount = 9;
  EXPECT_EQ(CallEntry(compiled), 1.0);

  // An unknown name (or a different case) changes nothing at all.
  std::vector<unsigned char> snapshot(reinterpret_cast<unsigned char*>(g_VM.functions),
                                      reinterpret_cast<unsigned char*>(g_VM.functions + 3));
  ReplaceBuiltinFunction("OP", ImplB);
  ReplaceBuiltinFunction("missing", ImplB);
  ReplaceBuiltinFunction(nullptr, ImplB);
  EXPECT_EQ(std::memcmp(snapshot.data(), g_VM.functions, snapshot.size()), 0);

  ReplaceBuiltinFunction("op", ImplB);
  EXPECT_EQ(CallEntry(compiled), 2.0);
  EXPECT_EQ(compiled, 1);
  EXPECT_EQ(g_VM.functions[1].argCount, 2);
  EXPECT_EQ(g_VM.functions[1].callCount, 9);
  EXPECT_EQ(g_VM.functions[2].func, ImplA);
  EXPECT_EQ(g_VM.functions[0].func, ImplA);

  ReplaceBuiltinFunction("op", ImplA);  // and back again
  EXPECT_EQ(CallEntry(compiled), 1.0);
}

TEST_F(CodeFunctionTest, ValueKindIsTheLow24BitsOfTheKindWord) {
  ScriptValue v = Int32(3);
  v.kind = 0xAB000000u | VALUE_INT32;
  v.flags = 0xFFFFFFFFu;
  EXPECT_EQ(GetValueKind(&v), VALUE_INT32);
  EXPECT_EQ(GetArgumentInt(&v, 0), 3);  // the accessors read the kind the same way
  ScriptValue zero{};
  EXPECT_EQ(GetValueKind(&zero), VALUE_REAL);
}

TEST_F(CodeFunctionTest, IntegerAccessorsTruncateAndTakeTheLow32Bits) {
  const int64_t twoTo32Plus5 = (int64_t{1} << 32) + 5;
  const struct {
    ScriptValue value;
    int32_t asInt;
    int64_t asInt64;
    int64_t asNumberOrPointer;
  } cases[] = {
      {RealValue(-2.7), -2, -2, -2},
      {RealValue(2.9999), 2, 2, 2},
      {RealValue(-0.5), 0, 0, 0},
      {RealValue(2147483647.9), INT32_MAX, 2147483647, INT32_MAX},
      {RealValue(-2147483648.9), kMin32, -2147483648LL, kMin32},
      {RealValue(2147483648.0), kMin32, 2147483648LL, kMin32},
      {RealValue(1e10), kMin32, 10000000000LL, kMin32},
      {RealValue(1e19), kMin32, kMin64, kMin32},
      {RealValue(-HUGE_VAL), kMin32, kMin64, kMin32},
      {RealValue(kNaN), kMin32, kMin64, kMin32},
      {Int32(-1), -1, -1, -1},
      {Int32(kMin32), kMin32, kMin32, kMin32},
      {Int64(twoTo32Plus5), 5, twoTo32Plus5, twoTo32Plus5},
      {Int64(-1), -1, -1, -1},
      {Int64(0x80000000LL), kMin32, 0x80000000LL, 0x80000000LL},
      {Int64(kMin64), 0, kMin64, kMin64},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.value.kind << " bits 0x" << std::hex << c.value.bits);
    // The argument is read at its own index, past an unrelated first argument.
    ScriptValue args[2] = {Ptr(0), c.value};
    EXPECT_EQ(GetArgumentInt(args, 1), c.asInt);
    EXPECT_EQ(GetArgumentInt64(args, 1), c.asInt64);
    EXPECT_EQ(GetArgumentNumberOrPointer(args, 1), c.asNumberOrPointer);
  }
  EXPECT_FALSE(g_ErrorFlag.load());
}

TEST_F(CodeFunctionTest, PointerPayloadsAreWholeEightBytes) {
  int target = 0;
  ScriptValue args[3] = {Ptr(0x123456789ABCDEF0ull), Ptr(0xFFFFFFFF00000001ull), RealValue(0)};
  args[2].ptr = &target;
  args[2].kind = VALUE_PTR;
  EXPECT_EQ(GetArgumentNumberOrPointer(args, 0), 0x123456789ABCDEF0LL);
  EXPECT_EQ(GetArgumentNumberOrPointer(args, 1), static_cast<int64_t>(0xFFFFFFFF00000001ull));
  EXPECT_EQ(GetArgumentPointer(args, 2), &target);
  EXPECT_EQ(GetArgumentPointer(args, 1), args[1].ptr);
}

TEST_F(CodeFunctionTest, RealAccessorsConvertToTheNearestValue) {
  const int64_t big = (int64_t{1} << 60) + (int64_t{1} << 36) + 1;  // rounds up to 2^60 + 2^37 as a float
  const struct {
    ScriptValue value;
    double asNumber;
    float asFloat;
  } cases[] = {
      {RealValue(0.1), 0.1, 0.1f},
      {RealValue(-2.7), -2.7, -2.7f},
      {RealValue(1e39), 1e39, HUGE_VALF},
      {RealValue(-1e39), -1e39, -HUGE_VALF},
      {Int32(-3), -3.0, -3.0f},
      {Int32(16777217), 16777217.0, 16777216.0f},
      {Int64((int64_t{1} << 53) + 1), 9007199254740992.0, 9007199254740992.0f},
      {Int64(big), 1152921573326323712.0, 1152921642045800448.0f},
      {Int64(kMin64), -9223372036854775808.0, -9223372036854775808.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.value.kind << " bits 0x" << std::hex << c.value.bits);
    EXPECT_EQ(GetArgumentNumber(&c.value, 0), c.asNumber);
    EXPECT_EQ(GetArgumentFloat(&c.value, 0), c.asFloat);
  }
  const ScriptValue nan = RealValue(kNaN);
  EXPECT_TRUE(std::isnan(GetArgumentNumber(&nan, 0)));
  EXPECT_TRUE(std::isnan(GetArgumentFloat(&nan, 0)));
  const ScriptValue negZero = RealValue(-0.0);
  EXPECT_TRUE(std::signbit(GetArgumentNumber(&negZero, 0)));
}

TEST_F(CodeFunctionTest, StringAccessorHandsOutTheArgumentsOwnText) {
  char text[] = "h\xC3\xA9llo";
  ScriptValue args[2] = {RealValue(1), Str(text)};
  const char* got = GetArgumentString(args, 1);
  EXPECT_EQ(got, text);  // the same storage, not a copy
  text[0] = 'j';
  EXPECT_STREQ(got, "j\xC3\xA9llo");
  args[1].str = nullptr;
  EXPECT_EQ(GetArgumentString(args, 1), nullptr);
}

// One accessor called on argument `index` of an argument array.
struct WrongKindCase {
  const char* accessor;
  std::function<void(const ScriptValue*, int32_t)> call;
  ScriptValue value;
  const char* message;  // after the built-in's name
};

std::vector<WrongKindCase> WrongKindCases(char* text) {
  auto number = [](const ScriptValue* a, int32_t i) { EXPECT_EQ(GetArgumentNumber(a, i), 0.0); };
  return {
      {"NumberOrPointer", [](const ScriptValue* a, int32_t i) { EXPECT_EQ(GetArgumentNumberOrPointer(a, i), -1); },
       Str(text), " argument 3 incorrect type expecting a Number or Pointer"},
      {"Int", [](const ScriptValue* a, int32_t i) { EXPECT_EQ(GetArgumentInt(a, i), 0); }, Ptr(1),
       " argument 3 incorrect type expecting a Number"},
      {"Int64", [](const ScriptValue* a, int32_t i) { EXPECT_EQ(GetArgumentInt64(a, i), 0); }, Make(VALUE_UNDEFINED, 0),
       " argument 3 incorrect type expecting a Number"},
      {"Number", [](const ScriptValue* a, int32_t i) { EXPECT_EQ(GetArgumentNumber(a, i), 0.0); }, Str(text),
       " argument 3 incorrect type expecting a Number"},
      {"Float", [](const ScriptValue* a, int32_t i) { EXPECT_EQ(GetArgumentFloat(a, i), 0.0f); }, Make(VALUE_ARRAY, 0),
       " argument 3 incorrect type expecting a Number"},
      {"Pointer", [](const ScriptValue* a, int32_t i) { EXPECT_EQ(GetArgumentPointer(a, i), nullptr); }, Int64(5),
       " argument 3 incorrect type expecting a Pointer"},
      {"String", [](const ScriptValue* a, int32_t i) { EXPECT_EQ(GetArgumentString(a, i), nullptr); }, RealValue(0),
       " argument 3 incorrect type expecting a String"},
      {"unknown kind", number, Make(static_cast<ValueKind>(0x123), 0), " argument 3 incorrect type expecting a Number"},
  };
}

TEST_F(CodeFunctionTest, WrongKindsEndTheProgramNamingTheBuiltinAndPosition) {
  char text[] = "12";
  ProcessExitTrap trap;
  MessageBoxRecorder boxes;
  RegisterBuiltinFunction("my_builtin", ImplA, 3);
  g_VM.CurrentBuiltinName = g_VM.functions[0].name;
  for (const WrongKindCase& c : WrongKindCases(text)) {
    SCOPED_TRACE(c.accessor);
    ScriptValue args[3] = {RealValue(1), RealValue(2), c.value};
    const size_t shown = boxes.boxes().size();
    try {
      c.call(args, 2);
      ADD_FAILURE() << "the accessor returned";
    } catch (const ProcessExited& exited) {
      EXPECT_EQ(exited.status, kFatalExitStatus);
    }
    ASSERT_EQ(boxes.boxes().size(), shown + 1);
    EXPECT_THAT(boxes.boxes().back().text, ::testing::HasSubstr("\r\n\r\nmy_builtin" + std::string(c.message) + "\r\n"));
  }

  // Without a current built-in the name is left empty.
  g_VM.CurrentBuiltinName = nullptr;
  ScriptValue arg = RealValue(0);
  EXPECT_THROW(GetArgumentString(&arg, 0), ProcessExited);
  EXPECT_THAT(boxes.boxes().back().text, ::testing::HasSubstr("\r\n\r\n argument 1 incorrect type expecting a String\r\n"));
}

TEST_F(CodeFunctionTest, WhileErrorsAreSuppressedAccessorsAnswerTheirFallbacks) {
  char text[] = "12";
  MessageBoxRecorder boxes;
  g_VM.CurrentBuiltinName = "watched";
  g_ErrorSuppressed = true;
  for (const WrongKindCase& c : WrongKindCases(text)) {
    SCOPED_TRACE(c.accessor);
    g_ErrorFlag = false;
    ScriptValue args[3] = {RealValue(1), RealValue(2), c.value};
    c.call(args, 2);  // checks the fallback itself
    EXPECT_TRUE(g_ErrorFlag.load());
  }
  EXPECT_TRUE(boxes.boxes().empty());
  g_VM.CurrentBuiltinName = nullptr;
}

}  // namespace
