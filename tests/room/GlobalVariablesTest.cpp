// The game-wide built-in variables through their table entries (no script engine): the order
// that fixes their ids, the lives and health events, the room, background and view slots, the
// setters' conversions and refusals, input, the working directory, and what they do without a
// current room.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/VCL.h"
#include "code/Code_Error.h"
#include "io/IO_Main.h"
#include "os/OS_Paths.h"
#include "room/Event_Dispatch.h"
#include "room/Event_Names.h"
#include "room/Global_Variables.h"
#include "room/Instance_Variables.h"
#include "room/Room_Run.h"
#include "room/WorldFixture.h"
#include "run/Run_Global.h"
#include "support/Support_File.h"

namespace {

using testsupport::AddHandler;
using testsupport::AddObject;
using testsupport::ErrorRecorder;
using testsupport::RecordingConsole;

class GlobalVariablesTest : public WorldTest {
 protected:
  void SetUp() override {
    GetExecutablePath();  // cached for the process, before the fixture counts the blocks
    WorldTest::SetUp();
    InitBuiltinVariables();
  }

  static const BuiltinVariableEntry& Entry(const char* name) {
    const int32_t id = FindBuiltinVariable(name);
    EXPECT_GE(id, 0) << name;
    return g_Variables.builtins[id < 0 ? 0 : id];
  }
  // The variable's value (element `index`; the no-index value by default).
  static ScriptValue Get(const char* name, int32_t index = kWholeValueIndex) {
    ScriptValue out{};
    EXPECT_TRUE(Entry(name).getter(nullptr, index, &out)) << name;
    return out;
  }
  static double Real(const char* name, int32_t index = kWholeValueIndex) {
    ScriptValue v = Get(name, index);
    EXPECT_EQ(v.Kind(), VALUE_REAL) << name;
    const double real = v.real;
    ReleaseValue(&v);
    return real;
  }
  static std::string Text(const char* name) {
    ScriptValue v = Get(name);
    EXPECT_EQ(v.Kind(), VALUE_STRING) << name;
    std::string text = v.Kind() == VALUE_STRING && v.str != nullptr ? v.str : "";
    ReleaseValue(&v);
    return text;
  }
  static bool Set(const char* name, const ScriptValue& value, int32_t index = kWholeValueIndex) {
    const BuiltinVariableEntry& entry = Entry(name);
    return entry.setter != nullptr && entry.setter(nullptr, index, &value);
  }
  static bool Set(const char* name, double value, int32_t index = kWholeValueIndex) {
    return Set(name, RealValue(value), index);
  }
  static bool SetText(const char* name, const char* text) {
    ScriptValue value = testsupport::Str(text);
    const bool ok = Set(name, value);
    ReleaseValue(&value);
    return ok;
  }
};

// The game-wide names in registration order.
const char* const kOrder[] = {
    "argument_relative", "argument", "argument0", "argument1", "argument2", "argument3", "argument4",
    "argument5", "argument6", "argument7", "argument8", "argument9", "argument10", "argument11", "argument12",
    "argument13", "argument14", "argument15", "argument_count", "debug_mode", "pointer_invalid", "pointer_null",
    "undefined", "room", "room_first", "room_last", "transition_kind", "transition_steps", "score", "lives",
    "health", "game_id", "game_guid", "game_display_name", "game_project_name", "game_save_id",
    "working_directory", "temp_directory", "program_directory", "instance_count", "instance_id", "room_width",
    "room_height", "room_caption", "room_speed", "room_persistent", "background_color", "background_showcolor",
    "background_colour", "background_showcolour", "background_visible", "background_foreground",
    "background_index", "background_x", "background_y", "background_width", "background_height",
    "background_htiled", "background_vtiled", "background_xscale", "background_yscale", "background_hspeed",
    "background_vspeed", "background_blend", "background_alpha", "view_enabled", "view_current", "view_visible",
    "view_xview", "view_yview", "view_wview", "view_hview", "view_xport", "view_yport", "view_wport", "view_hport",
    "view_angle", "view_hborder", "view_vborder", "view_hspeed", "view_vspeed", "view_object", "view_surface_id",
    "mouse_x", "mouse_y", "mouse_button", "mouse_lastbutton", "keyboard_key", "keyboard_lastkey",
    "keyboard_lastchar", "keyboard_string", "cursor_sprite", "show_score", "show_lives", "show_health",
    "caption_score", "caption_lives", "caption_health", "fps", "fps_real", "current_time", "current_year",
    "current_month", "current_day", "current_weekday", "current_hour", "current_minute", "current_second",
    "event_type", "event_number", "event_object", "event_action", "secure_mode", "error_occurred", "error_last",
    "application_surface"};

// The read-only ones among them.
const char* const kReadOnly[] = {
    "argument_relative", "argument_count", "debug_mode", "pointer_invalid", "pointer_null", "undefined",
    "room_first", "room_last", "game_id", "game_guid", "game_display_name", "game_project_name", "game_save_id",
    "working_directory", "temp_directory", "program_directory", "instance_count", "instance_id",
    "background_width", "background_height", "view_current", "mouse_x", "mouse_y", "fps", "fps_real",
    "current_time", "current_year", "current_month", "current_day", "current_weekday", "current_hour",
    "current_minute", "current_second", "event_type", "event_number", "event_object", "event_action",
    "secure_mode", "application_surface"};

bool IsReadOnly(const char* name) {
  for (const char* r : kReadOnly) {
    if (std::strcmp(r, name) == 0) return true;
  }
  return false;
}

TEST_F(GlobalVariablesTest, RegisteredInOrderAfterTheInstanceVariablesWithTheirAccess) {
  static_assert(sizeof(kOrder) / sizeof(kOrder[0]) == kGlobalVariableCount);
  const int32_t first = FindBuiltinVariable("argument_relative");
  ASSERT_GE(first, 0);
  for (int32_t i = 0; i < kGlobalVariableCount; ++i) {
    SCOPED_TRACE(kOrder[i]);
    ASSERT_EQ(FindBuiltinVariable(kOrder[i]), first + i);
    const BuiltinVariableEntry& entry = g_Variables.builtins[first + i];
    EXPECT_EQ(entry.canSet == 0, IsReadOnly(kOrder[i]));
  }
  // The instance variables come before them and the platform variables after.
  EXPECT_EQ(first, 84);
  EXPECT_EQ(FindBuiltinVariable("x"), 0);
  EXPECT_GE(g_Variables.builtinCount, first + kGlobalVariableCount);
  // The two spellings share their accessors.
  EXPECT_EQ(Entry("background_color").getter, Entry("background_colour").getter);
  EXPECT_EQ(Entry("background_color").setter, Entry("background_colour").setter);
  EXPECT_EQ(Entry("background_showcolor").setter, Entry("background_showcolour").setter);
}

TEST_F(GlobalVariablesTest, LosingTheLastLifeOrHealthPerformsItsEventOncePerInstance) {
  Room();
  const int32_t object = AddObject();
  int32_t noLives = 0;
  int32_t noHealth = 0;
  static int32_t* lives;
  static int32_t* health;
  lives = &noLives;
  health = &noHealth;
  AddHandler(object, EVENT_OTHER, 6, [](CInstance*, CInstance*, ScriptValue*) { ++*lives; });
  AddHandler(object, EVENT_OTHER, 9, [](CInstance*, CInstance*, ScriptValue*) { ++*health; });
  CurrentRoom->AddInstance(0, 0, object);
  CurrentRoom->AddInstance(0, 0, object);

  const struct {
    const char* name;
    double from, to;
    int32_t events;  // per instance
  } cases[] = {
      {"lives", 1, 3, 0}, {"lives", 1, 0, 1}, {"lives", 0, 0, 0}, {"lives", 2, 0.4, 1},  // 0.4 rounds to 0
      {"lives", -1, -2, 0}, {"health", 100, -5, 1}, {"health", 0, 0.5, 0}, {"health", 0.5, 0, 1},
      {"health", 0, -1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.from) + " -> " + std::to_string(c.to));
    ASSERT_TRUE(Set(c.name, c.from));
    noLives = noHealth = 0;
    ASSERT_TRUE(Set(c.name, c.to));
    const bool isLives = std::strcmp(c.name, "lives") == 0;
    EXPECT_EQ(isLives ? noLives : noHealth, 2 * c.events);
    EXPECT_EQ(isLives ? noHealth : noLives, 0);
  }
  // Health keeps the real; lives and score round halves to even.
  ASSERT_TRUE(Set("health", 0.25));
  EXPECT_EQ(Real("health"), 0.25);
  using P = std::pair<double, double>;
  for (const auto& [given, stored] : {P{2.5, 2.0}, P{3.5, 4.0}, P{-2.5, -2.0}}) {
    ASSERT_TRUE(Set("score", given));
    EXPECT_EQ(Real("score"), stored);
  }
}

TEST_F(GlobalVariablesTest, BackgroundAndViewIndexesOutsideTheSlotsMeanSlotZero) {
  CRoom* room = Room();
  ASSERT_TRUE(Set("view_xview", 12.5, 9));
  EXPECT_EQ(room->m_Views[0].xview, 12.5f);
  EXPECT_EQ(Real("view_xview", 9), 12.5);
  EXPECT_EQ(Real("view_xview", -1), 12.5);
  ASSERT_TRUE(Set("view_wport", 2.5, 3));
  EXPECT_EQ(room->m_Views[3].wport, 2);
  ASSERT_TRUE(Set("view_visible", 0.5, 2));
  EXPECT_EQ(room->m_Views[2].visible, 0);
  ASSERT_TRUE(Set("view_visible", 0.6, 2));
  EXPECT_EQ(room->m_Views[2].visible, 1);

  ASSERT_TRUE(Set("background_x", 0.1));
  EXPECT_EQ(room->m_Backgrounds[0].x, 0.1f);
  EXPECT_EQ(Real("background_x"), static_cast<double>(0.1f));  // stored narrowed
  ASSERT_TRUE(Set("background_htiled", -1, 5));
  EXPECT_EQ(room->m_Backgrounds[5].htiled, 0);
  ASSERT_TRUE(Set("background_blend", -1, 7));
  EXPECT_EQ(Real("background_blend", 7), -1.0);  // signed
  EXPECT_EQ(Real("background_width", 7), 0.0);  // no such background resource

  // The two spellings of the room colour, read unsigned.
  ASSERT_TRUE(Set("background_colour", -1));
  EXPECT_EQ(Real("background_color"), 4294967295.0);
  EXPECT_EQ(Real("background_colour"), 4294967295.0);
  ASSERT_TRUE(Set("background_color", 255));
  EXPECT_EQ(Real("background_colour"), 255.0);
}

TEST_F(GlobalVariablesTest, RoomSettingsAndTheRoomSpeedRefusal) {
  CRoom* room = Room();
  room->m_Speed = 30;
  {
    ErrorRecorder errors;
    EXPECT_FALSE(Set("room_speed", 0));
    EXPECT_FALSE(Set("room_speed", 0.4));  // rounds to 0
    ASSERT_EQ(errors.errors().size(), 2u);
    EXPECT_EQ(errors.errors()[0], (ErrorRecorder::Error{"Trying to set the room speed to a value <= 0.", false}));
  }
  EXPECT_EQ(Real("room_speed"), 30.0);
  ASSERT_TRUE(Set("room_speed", 0.6));
  EXPECT_EQ(room->m_Speed, 1);

  ASSERT_TRUE(SetText("room_caption", "Level 1"));
  EXPECT_EQ(Text("room_caption"), "Level 1");
  ASSERT_TRUE(Set("room_caption", 3.0));  // not a text: the caption is cleared
  EXPECT_EQ(room->m_Caption, nullptr);
  EXPECT_EQ(Text("room_caption"), "");

  ASSERT_TRUE(Set("room_persistent", 1.5));
  EXPECT_EQ(room->m_Persistent, 1);
  ASSERT_TRUE(Set("room_width", 100.5));
  EXPECT_EQ(room->m_Width, 100);

  // room asks the frame loop for the room; a room that does not exist is the command's error.
  {
    ErrorRecorder errors;
    ASSERT_TRUE(Set("room", 3));
    EXPECT_EQ(Run_GetNewRoom(), kNewRoomQuit);
    ASSERT_EQ(errors.errors().size(), 1u);
    EXPECT_EQ(errors.errors()[0].text, "Unexisting room number: 3");
  }
}

TEST_F(GlobalVariablesTest, NumberSettersRefuseValuesWithoutANumberAndTextSettersClear) {
  Room();
  ScriptValue text = testsupport::Str("12");
  ScriptValue pointer{};
  pointer.ptr = &pointer;
  pointer.kind = VALUE_PTR;
  for (const char* name : {"score", "lives", "health", "room_width", "view_xview", "background_alpha", "cursor_sprite",
                           "show_lives", "error_occurred", "room"}) {
    SCOPED_TRACE(name);
    const double before = Real(name);
    EXPECT_FALSE(Set(name, text));
    EXPECT_FALSE(Set(name, pointer));
    EXPECT_EQ(Real(name), before);
  }
  ReleaseValue(&text);
  // int32, int64 and undefined are numbers.
  ScriptValue number{};
  number.i64 = 7;
  number.kind = VALUE_INT64;
  ASSERT_TRUE(Set("score", number));
  EXPECT_EQ(Real("score"), 7.0);
  ScriptValue undefined{};
  SetUndefined(&undefined);
  ASSERT_TRUE(Set("score", undefined));
  EXPECT_EQ(Real("score"), 0.0);

  ASSERT_TRUE(SetText("caption_lives", "Ships: "));
  EXPECT_EQ(Text("caption_lives"), "Ships: ");
  ASSERT_TRUE(Set("caption_lives", 5.0));
  EXPECT_EQ(Text("caption_lives"), "");
  EXPECT_EQ(Text("caption_health"), "Health: ");
  ASSERT_TRUE(SetText("error_last", "oops"));
  EXPECT_EQ(Text("error_last"), "oops");
  ASSERT_TRUE(Set("error_last", 1.0));
  EXPECT_EQ(Text("error_last"), "");
}

TEST_F(GlobalVariablesTest, FlagsTransitionsAndErrors) {
  RecordingConsole console;
  tagIConsole* const old = DebugConsole;
  DebugConsole = &console;
  ASSERT_TRUE(Set("transition_kind", 4));
  DebugConsole = old;
  EXPECT_EQ(console.Text(),
            "BUG: Room transitions don't function well - setting to 0 - look at Variable_BuiltIn SV_TransitionKind() .\n");
  EXPECT_EQ(Real("transition_kind"), 0.0);
  ASSERT_TRUE(Set("transition_steps", -3));
  EXPECT_EQ(Real("transition_steps"), 1.0);

  using P = std::pair<double, double>;
  for (const auto& [given, flag] : {P{0.5, 1.0}, P{0.49, 0.0}, P{-1.0, 0.0}, P{2.0, 1.0}}) {
    ASSERT_TRUE(Set("error_occurred", given));
    EXPECT_EQ(Real("error_occurred"), flag) << given;
  }
  // show_score also records that the captions were set.
  EXPECT_EQ(g_RoomRun.captionSet, 0);
  ASSERT_TRUE(Set("show_score", 0.5));
  EXPECT_EQ(Real("show_score"), 0.0);
  EXPECT_EQ(g_RoomRun.captionSet, 1);
}

TEST_F(GlobalVariablesTest, InstanceIdsFollowTheActiveList) {
  CRoom* room = Room();
  const int32_t object = AddObject();
  const int32_t a = room->AddInstance(0, 0, object)->i_id;
  const int32_t b = room->AddInstance(0, 0, object)->i_id;
  EXPECT_EQ(Real("instance_count"), 2.0);
  const struct {
    int32_t index;
    int32_t id;
  } cases[] = {{0, a}, {1, b}, {-1, -4}, {2, -4}, {kWholeValueIndex, -4}};
  for (const auto& c : cases) EXPECT_EQ(Real("instance_id", c.index), c.id) << c.index;
}

TEST_F(GlobalVariablesTest, KeyboardCharacterAndString) {
  IO_SetLastChar(0);
  EXPECT_EQ(Text("keyboard_lastchar"), "");
  IO_SetLastChar(0x20AC);
  EXPECT_EQ(Text("keyboard_lastchar"), "\xE2\x82\xAC");
  ASSERT_TRUE(SetText("keyboard_lastchar", "AB"));
  EXPECT_EQ(IO_GetLastChar(), 65);
  ASSERT_TRUE(Set("keyboard_lastchar", 66.0));  // no text: nothing changes
  EXPECT_EQ(IO_GetLastChar(), 65);
  ASSERT_TRUE(SetText("keyboard_string", "hello"));
  EXPECT_EQ(Text("keyboard_string"), "hello");
  ASSERT_TRUE(Set("keyboard_key", 65.5));
  EXPECT_EQ(Real("keyboard_key"), 66.0);
}

TEST_F(GlobalVariablesTest, DirectoriesAndTheWorkingDirectoryLog) {
  const std::string program = Text("program_directory");
  std::string executable = GetExecutablePath();
  ASSERT_FALSE(program.empty());
  EXPECT_NE(program.back(), '/');
  EXPECT_EQ(program, executable.substr(0, executable.rfind('/')));

  RecordingConsole console;
  tagIConsole* const old = DebugConsole;
  DebugConsole = &console;
  SetGameFilePath("/games/demo/data.win");
  InitWorkingDirectory();
  SetGameFilePath("/elsewhere/data.win");
  InitWorkingDirectory();  // set once: nothing changes
  DebugConsole = old;
  EXPECT_EQ(Text("working_directory"), "/games/demo/");
  const std::string row(73, '#');
  EXPECT_EQ(console.lines, (std::vector<std::string>{row + "\n", "####!!!!$$$$$$ pwd - /games/demo/\n", row + "\n"}));

  // Without a separator the working directory is empty and nothing is logged.
  SetWorkingDirectory(nullptr);
  SetGameFilePath("data.win");
  console.Clear();
  DebugConsole = &console;
  InitWorkingDirectory();
  DebugConsole = old;
  EXPECT_TRUE(console.lines.empty());
  ASSERT_NE(GetWorkingDirectory(), nullptr);
  EXPECT_EQ(Text("working_directory"), "");
  SetGameFilePath("C:\\games\\data.win");
  SetWorkingDirectory(nullptr);
  DebugConsole = &console;
  InitWorkingDirectory();
  DebugConsole = old;
  EXPECT_EQ(Text("working_directory"), "C:\\games\\");
}

TEST_F(GlobalVariablesTest, WithoutARoomTheRoomVariablesReadZeroAndRefuseWrites) {
  ASSERT_EQ(CurrentRoom, nullptr);
  for (const char* name : {"room_width", "room_speed", "room_persistent", "background_color", "background_x",
                           "background_width", "view_enabled", "view_xview", "view_wport", "instance_count"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Real(name), 0.0);
    if (Entry(name).setter != nullptr) {
      EXPECT_FALSE(Set(name, 1.0));
    }
  }
  EXPECT_EQ(Real("instance_id", 0), -4.0);
  EXPECT_EQ(Text("room_caption"), "");
  EXPECT_FALSE(SetText("room_caption", "x"));
  // What does not live in the room still works.
  ASSERT_TRUE(Set("score", 5));
  EXPECT_EQ(Real("score"), 5.0);
  EXPECT_EQ(Real("view_current"), 0.0);
}

TEST_F(GlobalVariablesTest, FixedValuesAndDefaults) {
  ScriptValue v = Get("pointer_invalid");
  EXPECT_EQ(v.Kind(), VALUE_PTR);
  EXPECT_EQ(reinterpret_cast<intptr_t>(v.ptr), -1);
  v = Get("pointer_null");
  EXPECT_EQ(v.Kind(), VALUE_PTR);
  EXPECT_EQ(v.ptr, nullptr);
  EXPECT_EQ(Get("undefined").Kind(), VALUE_UNDEFINED);
  EXPECT_EQ(Text("game_guid"), "");
  EXPECT_EQ(Real("secure_mode"), 0.0);
  EXPECT_EQ(Real("lives"), -1.0);
  EXPECT_EQ(Real("health"), 100.0);
  EXPECT_EQ(Real("show_score"), 1.0);
  EXPECT_EQ(Real("cursor_sprite"), -1.0);
  EXPECT_EQ(Text("caption_score"), "Score: ");
  const double year = Real("current_year");
  EXPECT_GE(year, 2000.0);
  const double month = Real("current_month");
  EXPECT_TRUE(month >= 1 && month <= 12);
}

}  // namespace
