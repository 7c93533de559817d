// The miscellaneous built-ins: their registration, debug output and the overlay, variables by
// name, the external library built-ins, and the window, clipboard and priority built-ins.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "BuiltinTestUtil.h"
#include "code/Code_Constant.h"
#include "code/Code_Function.h"
#include "code/VM_State.h"
#include "debug/Debug_State.h"
#include "extension/Extension_Main.h"
#include "extension/Support_DLL.h"
#include "function/Function_Misc.h"
#include "option/Option_Main.h"
#include "os/OS_Paths.h"
#include "os/OS_Platform.h"
#include "os/OS_Process.h"
#include "os/OS_Window.h"
#include "run/Run_Builtins.h"
#include "run/Run_CommandLine.h"
#include "runner/GameData.h"
#include "testlib/GameDataBuilder.h"
#include "testlib/TestHelpers.h"
#include "variable/Variable_Main.h"

namespace builtintest {
namespace {

using testsupport::EnvOverride;
using testsupport::ProcessExited;
using testsupport::ProcessExitTrap;
using testsupport::TempDir;

class MiscBuiltinsTest : public BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    RegisterMiscFunctions();
    RegisterBuiltinConstants();
  }
};

// ---- Registration ----

struct Registered {
  const char* name;
  int32_t args;
};

const Registered kEvents[] = {
    {"event_inherited", 0}, {"event_perform", 2}, {"event_user", 1}, {"event_perform_object", 3},
};

const Registered kExternal[] = {
    {"external_define", -1}, {"external_call", -1}, {"external_free", 1}, {"external_define0", 3},
    {"external_call0", 1},   {"external_define1", 4}, {"external_call1", 2}, {"external_define2", 5},
    {"external_call2", 3},   {"external_define3", 6}, {"external_call3", 4}, {"external_define4", 7},
    {"external_call4", 5},   {"external_define5", 3}, {"external_call5", 6}, {"external_define6", 3},
    {"external_call6", 7},   {"external_define7", 3}, {"external_call7", 8}, {"external_define8", 3},
    {"external_call8", 9},
};

const Registered kAfterExternal[] = {
    {"window_handle", 0}, {"window_device", 0}, {"show_debug_message", 1}, {"show_debug_overlay", 1},
    {"set_program_priority", 1}, {"set_application_title", 1}, {"variable_global_exists", 1},
    {"variable_global_get", 1}, {"variable_global_array_get", 2}, {"variable_global_array2_get", 3},
    {"variable_global_set", 2}, {"variable_global_array_set", 3}, {"variable_global_array2_set", 4},
    {"variable_local_exists", 1}, {"variable_local_get", 1}, {"variable_local_array_get", 2},
    {"variable_local_array2_get", 3}, {"variable_local_set", 2}, {"variable_local_array_set", 3},
    {"variable_local_array2_set", 4}, {"clipboard_has_text", 0}, {"clipboard_set_text", 1},
    {"clipboard_get_text", 0}, {"date_current_datetime", 0}, {"date_current_date", 0},
    {"date_current_time", 0}, {"date_create_datetime", 6}, {"date_create_date", 3}, {"date_create_time", 3},
    {"date_valid_datetime", 6}, {"date_valid_date", 3}, {"date_valid_time", 3}, {"date_inc_year", 2},
    {"date_inc_month", 2}, {"date_inc_week", 2}, {"date_inc_day", 2}, {"date_inc_hour", 2},
    {"date_inc_minute", 2}, {"date_inc_second", 2}, {"date_get_year", 1}, {"date_get_month", 1},
    {"date_get_week", 1}, {"date_get_day", 1}, {"date_get_hour", 1}, {"date_get_minute", 1},
    {"date_get_second", 1}, {"date_get_weekday", 1}, {"date_get_day_of_year", 1},
    {"date_get_hour_of_year", 1}, {"date_get_minute_of_year", 1}, {"date_get_second_of_year", 1},
    {"date_year_span", 2}, {"date_month_span", 2}, {"date_week_span", 2}, {"date_day_span", 2},
    {"date_hour_span", 2}, {"date_minute_span", 2}, {"date_second_span", 2}, {"date_compare_datetime", 2},
    {"date_compare_date", 2}, {"date_compare_time", 2}, {"date_date_of", 1}, {"date_time_of", 1},
    {"date_datetime_string", 1}, {"date_date_string", 1}, {"date_time_string", 1},
    {"date_days_in_month", 1}, {"date_days_in_year", 1}, {"date_leap_year", 1}, {"date_is_today", 1},
    {"date_set_timezone", 1}, {"date_get_timezone", 0},
};

void ExpectRegistered(const std::vector<Registered>& expected) {
  ASSERT_EQ(g_VM.functionCount, static_cast<int32_t>(expected.size()));
  for (int32_t i = 0; i < g_VM.functionCount; ++i) {
    EXPECT_STREQ(g_VM.functions[i].name, expected[i].name) << "call number " << i;
    EXPECT_EQ(g_VM.functions[i].argCount, expected[i].args) << expected[i].name;
  }
}

TEST_F(MiscBuiltinsTest, RegistersInItsOrderWithTheExternalBuiltinsOnlyWhileAllowed) {
  std::vector<Registered> all(std::begin(kEvents), std::end(kEvents));
  std::vector<Registered> withoutExternal = all;
  all.insert(all.end(), std::begin(kExternal), std::end(kExternal));
  all.insert(all.end(), std::begin(kAfterExternal), std::end(kAfterExternal));
  withoutExternal.insert(withoutExternal.end(), std::begin(kAfterExternal), std::end(kAfterExternal));
  FreeBuiltinFunctions();
  RegisterMiscFunctions();
  ExpectRegistered(all);

  FreeBuiltinFunctions();
  g_Extensions.ExternalCallsDisabled = 1;
  RegisterMiscFunctions();
  ExpectRegistered(withoutExternal);
}

// The switch -steam and the header's bit 0x1000 each keep the external built-ins out of the
// registration the game's start makes.
TEST_F(MiscBuiltinsTest, SteamSwitchAndHeaderFlagLeaveTheExternalBuiltinsUnknown) {
  struct Case {
    const char* commandLine;
    uint32_t headerBits;
    bool known;
  };
  const Case cases[] = {
      {"prog", 0, true},
      {"prog -steam", 0, false},
      {"prog", kHeaderNoExternalCalls, false},
  };
  testsupport::RecordingConsole log;
  tagIConsole* savedDebug = DebugConsole;
  DebugConsole = &log;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.commandLine) + " bits " + std::to_string(c.headerBits));
    FreeBuiltinFunctions();
    ParseCommandLine(c.commandLine);
    testsupport::GameHeader h;
    h.optionBits = c.headerBits;
    testsupport::GameDataBuilder g;
    g.Gen8(h).Strg();
    const std::vector<uint8_t> file = g.Build();
    ASSERT_TRUE(GameData_LoadImage(file.data(), file.size()) && GameData_ScanHeader());
    EXPECT_EQ(FindFunctionIndex("external_define", nullptr), c.known);
    EXPECT_EQ(FindFunctionIndex("external_call8", nullptr), c.known);
    EXPECT_TRUE(FindFunctionIndex("show_debug_message", nullptr));
    GameData_Free();
    CommandLine_Reset();
  }
  DebugConsole = savedDebug;
}

// ---- Debug output ----

TEST_F(MiscBuiltinsTest, ShowDebugMessageWritesTheValueTextAsOneLine) {
  struct Case {
    ScriptValue value;
    const char* line;
  };
  const Case cases[] = {
      {RealValue(12), "12\n"},
      {RealValue(0.5), "0.50\n"},
      {Str("%d %s%n"), "%d %s%n\n"},  // never taken as a format
      {Str("caf\xC3\xA9"), "caf\xC3\xA9\n"},
      {NoText(), "\n"},
      {Undefined(), "undefined\n"},
      {Int64(-5), "-5\n"},
  };
  for (const Case& c : cases) {
    m_console.Clear();
    Call("show_debug_message", {c.value});
    EXPECT_THAT(m_console.Lines(), ::testing::ElementsAre(c.line));
  }
}

TEST_F(MiscBuiltinsTest, ShowDebugOverlaySwitchesTheShowBitOnlyForOneRealAbove05) {
  struct Case {
    std::vector<ScriptValue> args;
    uint32_t before;
    uint32_t after;
  };
  const Case cases[] = {
      {{RealValue(1)}, 0, kDebugOverlayShown},
      {{RealValue(0.6)}, kDebugOverlayAudio, kDebugOverlayAudio | kDebugOverlayShown},
      {{RealValue(0.5)}, kDebugOverlayShown | kDebugOverlayAudio, kDebugOverlayAudio},  // not above 0.5
      {{RealValue(0)}, kDebugOverlayShown, 0},
      {{Str("1")}, 0, 0},                    // not a real
      {{Int32(1)}, 0, 0},                    // not a real either
      {{RealValue(1), RealValue(1)}, 0, 0},  // two arguments
  };
  for (const Case& c : cases) {
    g_Debug.DebugOverlayFlags = c.before;
    Call("show_debug_overlay", c.args);
    EXPECT_EQ(g_Debug.DebugOverlayFlags, c.after);
  }
}

// ---- Variables by name ----

TEST_F(MiscBuiltinsTest, GlobalVariablesByNameAreTheGlobalsOfCode) {
  Call("variable_global_set", {Str("score"), RealValue(10)});
  EXPECT_EQ(CallReal("variable_global_get", {Str("score")}), 10.0);
  EXPECT_EQ(RunScript("return global.score;").real, 10.0);
  EXPECT_EQ(RunScript("return is_array(global.score);").real, 0.0);
  EXPECT_EQ(CallReal("variable_global_exists", {Str("score")}), 1.0);
  // With the uninitialised-variable option off, any name reads (and is then known).
  EXPECT_EQ(CallReal("variable_global_exists", {Str("never_set")}), 1.0);
  EXPECT_NE(FindUserVariable("never_set"), -1);

  RunScript("global.lives = \"three\";");
  EXPECT_EQ(Call("variable_global_get", {Str("lives")}).text, "three");

  // An array element of an unset global makes it an array, padded with zeros.
  Call("variable_global_array_set", {Str("a"), RealValue(2), RealValue(7)});
  EXPECT_EQ(RunScript("return string(global.a);").text, "{ { 0,0,7 },  }");
  EXPECT_EQ(CallReal("variable_global_array_get", {Str("a"), RealValue(2)}), 7.0);
  EXPECT_EQ(CallReal("variable_global_array_get", {Str("a"), RealValue(2.5)}), 7.0);  // rounded, ties to even
  Call("variable_global_array2_set", {Str("grid"), RealValue(1), RealValue(2), Str("x")});
  EXPECT_EQ(Call("variable_global_array2_get", {Str("grid"), RealValue(1), RealValue(2)}).text, "x");
  EXPECT_EQ(RunScript("return global.grid[1, 2];").text, "x");
  EXPECT_EQ(TakeError(), "");
}

TEST_F(MiscBuiltinsTest, LocalVariablesByNameAreSelfsVariables) {
  Call("variable_local_set", {Str("hp"), RealValue(3)});
  EXPECT_EQ(CallReal("variable_local_get", {Str("hp")}), 3.0);
  EXPECT_EQ(RunScript("return hp;").real, 3.0);
  Call("variable_local_array_set", {Str("list"), RealValue(1), RealValue(9)});
  EXPECT_EQ(CallReal("variable_local_array_get", {Str("list"), RealValue(1)}), 9.0);
  Call("variable_local_array2_set", {Str("m"), RealValue(2), RealValue(0), RealValue(4)});
  EXPECT_EQ(CallReal("variable_local_array2_get", {Str("m"), RealValue(2), RealValue(0)}), 4.0);
  EXPECT_EQ(RunScript("return m[2, 0];").real, 4.0);
  // Nothing went to the globals.
  EXPECT_EQ(RunScript("return variable_global_get(\"hp\");").real, 0.0);
}

double g_Writable = 0;
bool GetConstant(CInstance*, int32_t, ScriptValue* out) {
  SetReal(out, 42);
  return true;
}
bool GetWritable(CInstance*, int32_t, ScriptValue* out) {
  SetReal(out, g_Writable);
  return true;
}
bool SetWritable(CInstance*, int32_t, const ScriptValue* value) {
  g_Writable = value->real;
  return true;
}

TEST_F(MiscBuiltinsTest, LocalFormsReachBuiltinVariablesThroughTheirAccessors) {
  RegisterBuiltinVariable("test_constant", GetConstant, nullptr);
  RegisterBuiltinVariable("test_writable", GetWritable, SetWritable);
  g_Writable = 0;
  Call("variable_local_set", {Str("test_constant"), RealValue(5)});  // read-only: ignored, unreported
  EXPECT_EQ(CallReal("variable_local_get", {Str("test_constant")}), 42.0);
  EXPECT_EQ(TakeError(), "");
  Call("variable_local_set", {Str("test_writable"), RealValue(6)});
  EXPECT_EQ(g_Writable, 6.0);
  EXPECT_EQ(CallReal("variable_local_get", {Str("test_writable")}), 6.0);
  EXPECT_EQ(m_self.i_variables->Lookup(GetVariableId("test_writable")), nullptr);  // not a list variable
}

TEST_F(MiscBuiltinsTest, ArrayIndicesAreCheckedBeforeAnyAccess) {
  Call("variable_global_array_set", {Str("a"), RealValue(1), RealValue(5)});
  struct Case {
    const char* name;
    std::vector<ScriptValue> args;
    const char* message;
  };
  const Case cases[] = {
      {"variable_global_array_get", {Str("a"), RealValue(32000)}, "Array index >= 32000"},
      {"variable_global_array_set",
       {Str("a"), RealValue(31999.5), RealValue(1)},
       "Array index >= 32000"},  // rounds to 32000
      {"variable_global_array2_get", {Str("a"), RealValue(0), RealValue(32000)}, "Array index >= 32000"},
      {"variable_global_array2_set", {Str("a"), RealValue(32000), RealValue(0), RealValue(1)}, "Array index >= 32000"},
      {"variable_global_array_set", {Str("a"), RealValue(-1), RealValue(1)}, ""},  // negative: no message
      {"variable_global_array2_set", {Str("a"), RealValue(-1), RealValue(5), RealValue(1)}, ""},
      {"variable_global_array2_set", {Str("a"), RealValue(0), RealValue(-2), RealValue(1)}, ""},
      {"variable_global_array_get", {Str("a"), RealValue(-1e300)}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_Variables.arrayIndexError.flag = 0;
    EXPECT_EQ(CallReal(c.name, c.args), 0.0);
    const std::string error = TakeError();
    if (c.message[0] == '\0') {
      EXPECT_EQ(error, "");
      EXPECT_EQ(g_Variables.arrayIndexError.flag, 1);
    } else {
      EXPECT_THAT(error, ::testing::HasSubstr(c.message));
    }
  }
  // Nothing was written: a is still [0, 5].
  EXPECT_EQ(RunScript("return string(global.a);").text, "{ { 0,5 },  }");
}

TEST_F(MiscBuiltinsTest, ElementReadOfANonArrayIsFatalAndElementWriteMakesAnArray) {
  Call("variable_global_set", {Str("n"), RealValue(3)});
  Call("variable_global_array_set", {Str("n"), RealValue(1), RealValue(8)});
  EXPECT_EQ(RunScript("return string(global.n);").text, "{ { 0,8 },  }");

  Call("variable_global_set", {Str("m"), RealValue(3)});
  ProcessExitTrap trap;
  EXPECT_THROW(Call("variable_global_array_get", {Str("m"), RealValue(0)}), ProcessExited);  // fatal
  EXPECT_THAT(TakeError(), ::testing::HasSubstr("trying to index a variable which is not an array"));
}

TEST_F(MiscBuiltinsTest, MissingVariablesFollowTheUninitialisedVariableOption) {
  g_Options.uninitialisedVariables = true;
  EXPECT_EQ(CallReal("variable_global_exists", {Str("unknown")}), 0.0);
  EXPECT_EQ(CallReal("variable_global_get", {Str("unknown")}), kUninitialisedValue);
  EXPECT_EQ(CallReal("variable_local_exists", {Str("unknown")}), 0.0);
  Call("variable_local_set", {Str("known"), RealValue(1)});
  EXPECT_EQ(CallReal("variable_local_exists", {Str("known")}), 1.0);
}

// A name that is not a string with text names nothing: every variable built-in does nothing and
// answers real 0.
TEST_F(MiscBuiltinsTest, NameThatIsNotAStringIsANoOpAnsweringZero) {
  Call("variable_global_set", {Str("x"), RealValue(1)});
  // (None of these holds anything to release.)
  for (const ScriptValue& name : {RealValue(5), NoText(), Undefined(), Int32(100000)}) {
    const int32_t known = UserVariableCount();
    for (const Registered& r : kAfterExternal) {
      const std::string fn = r.name;
      if (fn.rfind("variable_", 0) != 0) continue;
      SCOPED_TRACE(fn);
      std::vector<ScriptValue> args = {name};
      for (int32_t i = 1; i < r.args; ++i) args.push_back(RealValue(1));
      const Answer a = Call(r.name, args);
      EXPECT_EQ(a.kind, VALUE_REAL);
      EXPECT_EQ(a.real, 0.0);
    }
    EXPECT_EQ(UserVariableCount(), known);
    EXPECT_EQ(m_self.i_variables->m_Count, 0);
    EXPECT_EQ(TakeError(), "");
  }
  EXPECT_EQ(CallReal("variable_global_get", {Str("x")}), 1.0);

  // A local form without a calling instance does nothing either.
  ScriptValue result{};
  ScriptValue args[2] = {Str("y"), RealValue(2)};
  int32_t number = -1;
  ASSERT_TRUE(FindFunctionIndex("variable_local_set", &number));
  g_VM.functions[number].func(&result, nullptr, nullptr, 2, args);
  ASSERT_TRUE(FindFunctionIndex("variable_local_exists", &number));
  g_VM.functions[number].func(&result, nullptr, nullptr, 1, args);
  EXPECT_EQ(result.real, 0.0);
  ReleaseValue(&args[0]);
}

// ---- Window, clipboard and priority ----

TEST_F(MiscBuiltinsTest, TitleAndPriorityGoToTheWindowAndProcessServices) {
  OS_SetWindowService(OS_FakeWindowService());
  OS_SetProcessService(OS_FakeProcessService());
  OSFakeWindowState& window = OS_FakeWindowState();
  window = OSFakeWindowState{};
  window.windowExists = true;

  Call("set_application_title", {Str("caf\xC3\xA9 %s")});
  EXPECT_EQ(window.title, "caf\xC3\xA9 %s");
  Call("set_application_title", {RealValue(5)});  // not a string: ignored
  EXPECT_EQ(window.title, "caf\xC3\xA9 %s");

  struct Case {
    double level;
    int32_t set;
  };
  const Case cases[] = {{7, 0}, {2.5, 2}, {3, 3}, {3.5, 0}, {-3, -3}, {-2.5, -2}, {-4, 0}, {1e300, 0}, {NAN, 0}};
  for (const Case& c : cases) {
    OS_FakeProcessState().priority = 99;
    Call("set_program_priority", {RealValue(c.level)});
    EXPECT_EQ(OS_FakeProcessState().priority, c.set) << c.level;
  }

  // The handles are pointer values.
  for (const char* name : {"window_handle", "window_device"}) {
    ScriptValue handle{};
    EXPECT_EQ(Call(name, {}, &handle).kind, VALUE_PTR);
    EXPECT_EQ(CallReal("is_ptr", {handle}), 1.0) << name;
  }
  window.active = true;
  EXPECT_TRUE(IsGameWindowFocused());
  window.active = false;
  EXPECT_FALSE(IsGameWindowFocused());
  OS_SetWindowService(nullptr);
  OS_SetProcessService(nullptr);
}

// The clipboard round trip through the real service under the headless video driver.
TEST_F(MiscBuiltinsTest, ClipboardRoundTripUnderTheHeadlessDriver) {
  EnvOverride driver("SDL_VIDEODRIVER", "offscreen");
  ASSERT_TRUE(InitPlatformUI());
  Call("clipboard_set_text", {Str("abc")});
  EXPECT_EQ(CallReal("clipboard_has_text", {}), 1.0);
  EXPECT_EQ(Call("clipboard_get_text", {}).text, "abc");
  Call("clipboard_set_text", {Str("h\xC3\xA9llo\nworld")});
  EXPECT_EQ(Call("clipboard_get_text", {}).text, "h\xC3\xA9llo\nworld");

  // A value that is not a string puts nothing on the clipboard.
  for (ScriptValue v : {RealValue(5), Undefined(), Int64(7)}) {
    Call("clipboard_set_text", {v});
    EXPECT_EQ(Call("clipboard_get_text", {}).text, "h\xC3\xA9llo\nworld");
  }
  // The system tells only a non-empty text apart from none: an empty text reads as no text.
  Call("clipboard_set_text", {NoText()});
  EXPECT_EQ(CallReal("clipboard_has_text", {}), 0.0);
  const Answer empty = Call("clipboard_get_text", {});
  EXPECT_EQ(empty.kind, VALUE_STRING);
  EXPECT_EQ(empty.text, "");
  ShutdownPlatformUI();

  // With no video system there is no clipboard: no text, and setting does nothing.
  EXPECT_EQ(CallReal("clipboard_has_text", {}), 0.0);
  Call("clipboard_set_text", {Str("lost")});
  EXPECT_EQ(Call("clipboard_get_text", {}).text, "");
}

TEST_F(MiscBuiltinsTest, ClipboardFakeKeepsAnEmptyTextAsText) {
  OS_SetWindowService(OS_FakeWindowService());
  OS_FakeWindowState() = OSFakeWindowState{};
  EXPECT_EQ(CallReal("clipboard_has_text", {}), 0.0);
  Call("clipboard_set_text", {Str("")});
  EXPECT_EQ(CallReal("clipboard_has_text", {}), 1.0);
  EXPECT_EQ(OS_FakeWindowState().clipboard, "");
  Call("clipboard_set_text", {Str("abc")});
  EXPECT_EQ(Call("clipboard_get_text", {}).text, "abc");
  OS_SetWindowService(nullptr);
}

// ---- External library built-ins ----

// A game folder holding the test library as fixture.so.
class ExternalBuiltinsTest : public MiscBuiltinsTest {
 protected:
  void SetUp() override {
    MiscBuiltinsTest::SetUp();
    std::filesystem::copy_file(EXTERNAL_FIXTURE, m_dir.path() / "fixture.so");
    m_data.emplace("XDG_DATA_HOME", (m_dir.path() / "data").c_str());
    SetGameFilePath((m_dir.path() / "data.win").c_str());
  }
  void TearDown() override {
    DLL_FreeAll();
    FreeGamePaths();
    MiscBuiltinsTest::TearDown();
  }
  TempDir m_dir;
  std::optional<EnvOverride> m_data;
};

TEST_F(ExternalBuiltinsTest, DefinesAndCallsFunctionsOfRealAndStringArguments) {
  // (dll, name, calltype, restype, argnumb, argtypes...): a text and a real giving a text.
  const double label = CallReal("external_define", {Str("fixture.dll"), Str("fixture_label"), RealValue(0),
                                                    RealValue(1), RealValue(2), RealValue(1), RealValue(0)});
  ASSERT_GE(label, 0);
  EXPECT_EQ(Call("external_call", {RealValue(label), Str("score"), RealValue(12.5)}).text, "score:12.5");
  EXPECT_EQ(Call("external_call2", {RealValue(label), Str("hi"), RealValue(-1)}).text, "hi:-1");

  // external_define2(dll, name, argtype1, argtype2, restype): the same shape, C convention.
  const double label2 = CallReal("external_define2",
                                 {Str("fixture.dll"), Str("fixture_label"), RealValue(1), RealValue(0), RealValue(1)});
  ASSERT_GE(label2, 0);
  EXPECT_EQ(Call("external_call", {RealValue(label2), Str("x"), RealValue(2)}).text, "x:2");

  const double add =
      CallReal("external_define2", {Str("fixture.dll"), Str("fixture_add"), RealValue(0), RealValue(0), RealValue(0)});
  EXPECT_EQ(CallReal("external_call2", {RealValue(add), RealValue(1.25), RealValue(2)}), 3.25);
  EXPECT_EQ(CallReal("external_call2", {RealValue(add), RealValue(1)}), 1.0);  // a left-out argument is 0

  const double five = CallReal("external_define5", {Str("fixture.dll"), Str("fixture_five"), RealValue(1)});
  EXPECT_EQ(
      Call("external_call5", {RealValue(five), RealValue(1), RealValue(2), RealValue(3), RealValue(4), RealValue(5)})
          .text,
      "1 2 3 4 5");
  const double none = CallReal("external_define0", {Str("fixture.dll"), Str("fixture_null"), RealValue(1)});
  const Answer nothing = Call("external_call0", {RealValue(none)});
  EXPECT_EQ(nothing.kind, VALUE_STRING);
  EXPECT_TRUE(nothing.noText);

  // Through compiled code, with the convention and kind constants.
  EXPECT_EQ(RunScript("var f; f = external_define(\"fixture.so\", \"fixture_length\", dll_cdecl, ty_real, 1, ty_string);"
                      "return external_call(f, \"four\");")
                .real,
            4.0);

  // After external_free the definitions answer 0.
  Call("external_free", {Str("fixture.dll")});
  EXPECT_EQ(CallReal("external_call2", {RealValue(add), RealValue(1), RealValue(1)}), 0.0);
  EXPECT_EQ(TakeError(), "");
}

TEST_F(ExternalBuiltinsTest, RefusedDefinitionsAndCallsAreReportedAsNonFatalErrors) {
  std::vector<ScriptValue> sixteen = {Str("fixture.so"), Str("fixture_sum16"), RealValue(0), RealValue(0),
                                      RealValue(16)};
  for (int i = 0; i < 16; ++i) sixteen.push_back(RealValue(0));
  std::vector<ScriptValue> seventeen = {Str("fixture.so"), Str("fixture_sum16"), RealValue(0), RealValue(0),
                                        RealValue(17)};
  for (int i = 0; i < 17; ++i) seventeen.push_back(RealValue(0));
  std::vector<ScriptValue> callOf17 = {RealValue(0)};
  for (int i = 0; i < 17; ++i) callOf17.push_back(RealValue(i));

  struct Case {
    const char* name;
    std::vector<ScriptValue> args;
    double result;
    const char* message;
  };
  const Case cases[] = {
      {"external_define",
       {Str("fixture.so"), Str("fixture_add"), RealValue(0), RealValue(0), RealValue(2), RealValue(0), RealValue(0),
        RealValue(0), RealValue(0), RealValue(0), RealValue(0)},
       0,
       "Wrong number of arguments to external_define()"},
      {"external_define",
       {Str("fixture.so"), Str("fixture_add"), RealValue(0), RealValue(0)},
       0,
       "Wrong number of arguments to external_define()"},
      {"external_define", seventeen, 0, "DLL functions can have at most 16 arguments"},
      {"external_define",
       {Str("fixture.so"), Str("fixture_five"), RealValue(0), RealValue(1), RealValue(5), RealValue(0), RealValue(0),
        RealValue(1), RealValue(0), RealValue(0)},
       0,
       "DLL functions with more than 4 arguments cannot have string arguments"},
      {"external_define",
       {Str("fixture.so"), Str("no_such"), RealValue(0), RealValue(0), RealValue(0)},
       -1,
       "Error defining an external function."},
      {"external_define1",
       {Str("missing.dll"), Str("fixture_length"), RealValue(1), RealValue(0)},
       -1,
       "Error defining an external function."},
      {"external_define",
       {RealValue(1), Str("fixture_add"), RealValue(0), RealValue(0), RealValue(0)},
       -1,
       "Error defining an external function."},
      // More arguments than any function takes are refused before anything is called.
      {"external_call", callOf17, 0, "DLL functions can have at most 16 arguments"},
      // A call the definition does not fit answers 0 without a message.
      {"external_call", {RealValue(12345), RealValue(1)}, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(CallReal(c.name, c.args), c.result);
    bool fatal = true;
    EXPECT_THAT(TakeError(&fatal), ::testing::HasSubstr(c.message));
    EXPECT_FALSE(fatal);
  }
  // Sixteen real arguments are accepted.
  const double sum = CallReal("external_define", sixteen);
  EXPECT_GE(sum, 0);
  std::vector<ScriptValue> call = {RealValue(sum)};
  for (int i = 1; i <= 16; ++i) call.push_back(RealValue(1));
  EXPECT_EQ(CallReal("external_call", call), 136.0);
  EXPECT_EQ(TakeError(), "");
  for (ScriptValue& v : callOf17) ReleaseValue(&v);
}

}  // namespace
}  // namespace builtintest
