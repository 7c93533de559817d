// The built-in variables that do not depend on the calling instance: the arguments of the
// running script, fixed values and the game's identity, the current room with its backgrounds
// and views, score, lives and health, input, captions, clocks, the event being performed and
// the last error.
//
// Every accessor reads and writes the state where it lives (the room being run, the run state of
// room/Room_Run.h, the input state, the error module, ...). Numbers are read through
// ReadBuiltinNumber (room/Builtin_Convert.h): a value that holds no number fails the assignment.
// Without a current room (before the first room, or after a load into an empty slot) the room,
// background and view variables read 0 or the empty text and their setters fail.
#include "room/Global_Variables.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>

#include "background/Background_Class.h"
#include "background/Background_Main.h"
#include "base/ErrorSink.h"
#include "base/Utf8.h"
#include "base/VCL.h"
#include "code/Code_Error.h"
#include "code/VM_Variables.h"
#include "debug/Debug_State.h"
#include "function/Function_Misc.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Transition.h"
#include "graphics/Graphics_Window.h"
#include "io/IO_Main.h"
#include "os/OS_Clock.h"
#include "os/OS_Paths.h"
#include "platform/MemoryManager.h"
#include "room/Builtin_Convert.h"
#include "room/Event_Dispatch.h"
#include "room/Event_Names.h"
#include "room/Event_State.h"
#include "room/Instance_Variables.h"
#include "room/Room_Class.h"
#include "room/Room_Command.h"
#include "room/Room_Draw.h"
#include "room/Room_Main.h"
#include "room/Room_Run.h"
#include "run/Run_Frame.h"
#include "runner/GameData.h"
#include "support/Support_File.h"
#include "variable/ScriptValue.h"
#include "variable/Variable_Main.h"

bool ActionRelative = false;

namespace {

// The other events that the lives and health setters perform.
constexpr int32_t kEventNoMoreLives = 6;
constexpr int32_t kEventNoMoreHealth = 9;

// What instance_id answers outside the active list (the "no instance" object argument).
constexpr int32_t kNoInstance = -4;

using Getter = BuiltinVariableGetter;
using Setter = BuiltinVariableSetter;

// ---- Script arguments ----

bool GetArgumentRelative(CInstance*, int32_t, ScriptValue* out) {
  ReturnBuiltinReal(out, ActionRelative ? 1.0 : 0.0);
  return true;
}

// argument[i]: only the arguments actually passed can be read.
bool GetArgumentArray(CInstance*, int32_t index, ScriptValue* out) {
  ReleaseValue(out);
  if (index < 0 || index >= g_VM.argumentCount) {
    ReportRuntimeError("illegal access of argument, argument is not provided to script", true);
    return true;
  }
  CopyValue(out, &g_VM.argumentSlots[index]);
  return true;
}

bool SetArgumentArray(CInstance*, int32_t index, const ScriptValue* value) {
  if (index < 0 || index >= kArgumentSlotCount) index = 0;
  SetValueElement(&g_VM.argumentSlots[index], value, kWholeValueIndex);
  return true;
}

template <int Slot>
bool GetArgumentSlot(CInstance*, int32_t index, ScriptValue* out) {
  ReleaseValue(out);
  GetValueElement(out, &g_VM.argumentSlots[Slot], index);
  return true;
}

template <int Slot>
bool SetArgumentSlot(CInstance*, int32_t index, const ScriptValue* value) {
  SetValueElement(&g_VM.argumentSlots[Slot], value, index);
  return true;
}

template <int... Slots>
void RegisterArgumentSlots(std::integer_sequence<int, Slots...>) {
  char name[16];
  ((std::snprintf(name, sizeof(name), "argument%d", Slots),
    RegisterBuiltinVariable(name, GetArgumentSlot<Slots>, SetArgumentSlot<Slots>)),
   ...);
}

bool GetArgumentCount(CInstance*, int32_t, ScriptValue* out) {
  ReturnBuiltinReal(out, g_VM.argumentCount);
  return true;
}

// ---- Read-only values from a function ----

// A getter answering the number `Read()` gives.
template <auto Read>
bool GetNumber(CInstance*, int32_t, ScriptValue* out) {
  ReturnBuiltinReal(out, static_cast<double>(Read()));
  return true;
}

// A getter answering the text `Read()` gives (null reads as the empty string).
template <auto Read>
bool GetText(CInstance*, int32_t, ScriptValue* out) {
  ReturnBuiltinText(out, Read());
  return true;
}

bool GetPointerInvalid(CInstance*, int32_t, ScriptValue* out) {
  ReleaseValue(out);
  out->ptr = reinterpret_cast<void*>(static_cast<intptr_t>(-1));
  out->kind = VALUE_PTR;
  return true;
}

bool GetPointerNull(CInstance*, int32_t, ScriptValue* out) {
  ReleaseValue(out);
  out->ptr = nullptr;
  out->kind = VALUE_PTR;
  return true;
}

bool GetUndefined(CInstance*, int32_t, ScriptValue* out) {
  ReleaseValue(out);
  return true;
}

int32_t Zero() { return 0; }
int32_t DebugMode() { return (g_GameData.headerInfo.debugFlags & 1u) == 0 ? 1 : 0; }
int32_t GameId() { return g_GameData.headerInfo.gameId; }
const char* NoText() { return nullptr; }
const char* DisplayName() { return g_GameData.headerInfo.displayName; }
const char* ProjectName() { return g_GameData.headerInfo.projectName; }

// Texts made for the getter (memory-manager blocks): copied into the result, then freed.
bool GetTempDirectory(CInstance*, int32_t, ScriptValue* out) {
  char* directory = File_GetTempDirectory();
  ReturnBuiltinText(out, directory);
  MemoryManager::Free(directory);
  return true;
}

// The executable's directory without a trailing separator.
bool GetProgramDirectory(CInstance*, int32_t, ScriptValue* out) {
  char* directory = File_ExtractDir(GetExecutablePath());
  const size_t length = directory != nullptr ? std::strlen(directory) : 0;
  if (length > 0 && (directory[length - 1] == '/' || directory[length - 1] == '\\')) directory[length - 1] = '\0';
  ReturnBuiltinText(out, directory);
  MemoryManager::Free(directory);
  return true;
}

int32_t ApplicationSurface() { return g_Surfaces.applicationSurfaceId; }

// ---- Records the variables live in ----

// Array variables over the room's 8 background and view slots: an index outside 0..7 (the
// no-index value included) is slot 0.
int32_t SlotOf(int32_t index, int32_t count) { return index >= 0 && index < count ? index : 0; }

CRoom* LocateRoom(int32_t) { return CurrentRoom; }
RoomBackground* LocateBackground(int32_t index) {
  return CurrentRoom != nullptr ? &CurrentRoom->m_Backgrounds[SlotOf(index, kRoomBackgroundCount)] : nullptr;
}
RoomView* LocateView(int32_t index) {
  return CurrentRoom != nullptr ? &CurrentRoom->m_Views[SlotOf(index, kRoomViewCount)] : nullptr;
}
RoomRunState* LocateRun(int32_t) { return &g_RoomRun; }
RoomDrawState* LocateDraw(int32_t) { return &g_RoomDraw; }

// ---- Field accessors: Locate(index) finds the record (null: none, reads 0, writes fail) ----

template <auto Locate, auto Field>
bool GetField(CInstance*, int32_t index, ScriptValue* out) {
  const auto* record = Locate(index);
  ReturnBuiltinReal(out, record != nullptr ? static_cast<double>(record->*Field) : 0.0);
  return true;
}

// A signed 32-bit field read as an unsigned number (a colour: -1 reads 4294967295).
template <auto Locate, auto Field>
bool GetUnsignedField(CInstance*, int32_t index, ScriptValue* out) {
  const auto* record = Locate(index);
  ReturnBuiltinReal(out, record != nullptr ? static_cast<double>(static_cast<uint32_t>(record->*Field)) : 0.0);
  return true;
}

// stored: narrowed to single precision.
template <auto Locate, auto Field>
bool SetStoredField(CInstance*, int32_t index, const ScriptValue* value) {
  auto* record = Locate(index);
  double v = 0.0;
  if (record == nullptr || !ReadBuiltinNumber(value, &v)) return false;
  record->*Field = BuiltinStored(v);
  return true;
}

// rint: the real rounded, halves to even.
template <auto Locate, auto Field>
bool SetRintField(CInstance*, int32_t index, const ScriptValue* value) {
  auto* record = Locate(index);
  double v = 0.0;
  if (record == nullptr || !ReadBuiltinNumber(value, &v)) return false;
  record->*Field = BuiltinRint(v);
  return true;
}

// switch: the real rounded, halves to even, then above 0.5.
template <auto Locate, auto Field>
bool SetSwitchField(CInstance*, int32_t index, const ScriptValue* value) {
  auto* record = Locate(index);
  double v = 0.0;
  if (record == nullptr || !ReadBuiltinNumber(value, &v)) return false;
  record->*Field = BuiltinSwitch(v) ? 1 : 0;
  return true;
}

// A text kept in a std::string of a record (no text is the empty text).
template <auto Locate, auto Field>
bool GetStringField(CInstance*, int32_t index, ScriptValue* out) {
  const auto* record = Locate(index);
  ReturnBuiltinText(out, record != nullptr ? (record->*Field).c_str() : nullptr);
  return true;
}

template <auto Locate, auto Field>
bool SetStringField(CInstance*, int32_t index, const ScriptValue* value) {
  auto* record = Locate(index);
  if (record == nullptr) return false;
  const char* text = BuiltinText(value);
  record->*Field = text != nullptr ? text : "";
  return true;
}

// ---- Room, score and events ----

bool GetRoom(CInstance*, int32_t, ScriptValue* out) {
  ReturnBuiltinReal(out, g_RoomRun.currentIndex);
  return true;
}

// The room change is requested for the end of the step; a room that does not exist is reported
// by the command.
bool SetRoom(CInstance*, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (!ReadBuiltinNumber(value, &v)) return false;
  Command_GotoRoom(BuiltinRint(v));
  return true;
}

bool GetTransitionKind(CInstance*, int32_t, ScriptValue* out) {
  ReturnBuiltinReal(out, g_RoomRun.transitionKind);
  return true;
}

// Transitions are not animated: every kind but 0 is refused with a line on the debug console.
bool SetTransitionKind(CInstance*, int32_t, const ScriptValue*) {
  DebugConsole->Output(
      "BUG: Room transitions don't function well - setting to 0 - look at Variable_BuiltIn SV_TransitionKind() .\n");
  g_RoomRun.transitionKind = 0;
  return true;
}

bool SetTransitionSteps(CInstance*, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (!ReadBuiltinNumber(value, &v)) return false;
  GR_Transition_SetSteps(BuiltinRint(v));
  return true;
}

// Losing the last life (from above 0 to below 1) performs the no-more-lives event on every
// instance of the room.
bool SetLives(CInstance*, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (!ReadBuiltinNumber(value, &v)) return false;
  const int32_t previous = g_RoomRun.lives;
  g_RoomRun.lives = BuiltinRint(v);
  if (previous > 0 && g_RoomRun.lives < 1) PerformEventAll(EVENT_OTHER, kEventNoMoreLives);
  return true;
}

// Health is kept as the real given; falling from above 0 to 0 or below performs the
// no-more-health event on every instance of the room.
bool SetHealth(CInstance*, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (!ReadBuiltinNumber(value, &v)) return false;
  const double previous = g_RoomRun.health;
  g_RoomRun.health = v;
  if (previous > 0.0 && v <= 0.0) PerformEventAll(EVENT_OTHER, kEventNoMoreHealth);
  return true;
}

bool GetRoomCaption(CInstance*, int32_t, ScriptValue* out) {
  ReturnBuiltinText(out, CurrentRoom != nullptr ? CurrentRoom->m_Caption : nullptr);
  return true;
}

bool SetRoomCaption(CInstance*, int32_t, const ScriptValue* value) {
  if (CurrentRoom == nullptr) return false;
  CurrentRoom->SetCaption(BuiltinText(value));
  return true;
}

// A speed below 1 is reported and refused; the room keeps its speed.
bool SetRoomSpeed(CInstance*, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (CurrentRoom == nullptr || !ReadBuiltinNumber(value, &v)) return false;
  const int32_t speed = BuiltinRint(v);
  if (speed < 1) {
    ReportRuntimeError("Trying to set the room speed to a value <= 0.", false);
    return false;
  }
  CurrentRoom->m_Speed = speed;
  return true;
}

// The active list's count: destroyed instances not yet removed count, deactivated ones do not.
bool GetInstanceCount(CInstance*, int32_t, ScriptValue* out) {
  ReturnBuiltinReal(out, CurrentRoom != nullptr ? CurrentRoom->m_Active.count : 0);
  return true;
}

// The id at position `index` of the active list; -4 outside it.
bool GetInstanceId(CInstance*, int32_t index, ScriptValue* out) {
  int32_t id = kNoInstance;
  if (CurrentRoom != nullptr && index >= 0 && index < CurrentRoom->m_Active.count) {
    CInstance* instance = CurrentRoom->m_Active.first;
    for (int32_t i = 0; i < index && instance != nullptr; ++i) instance = instance->i_next;
    if (instance != nullptr) id = instance->i_id;
  }
  ReturnBuiltinReal(out, id);
  return true;
}

bool GetErrorOccurred(CInstance*, int32_t, ScriptValue* out) {
  ReturnBuiltinReal(out, Error_GetOccurred() ? 1.0 : 0.0);
  return true;
}

// Set from 0.5 up, without rounding.
bool SetErrorOccurred(CInstance*, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (!ReadBuiltinNumber(value, &v)) return false;
  Error_SetOccurred(num::IsTrue(v));
  return true;
}

bool SetErrorLast(CInstance*, int32_t, const ScriptValue* value) {
  Error_SetLast(BuiltinText(value));
  return true;
}

// ---- Backgrounds ----

// The size of the background resource the slot names; 0 when it names none.
template <int32_t (CBackground::*Size)() const>
bool GetBackgroundSize(CInstance*, int32_t index, ScriptValue* out) {
  const RoomBackground* slot = LocateBackground(index);
  const CBackground* background = slot != nullptr ? Background_Data(slot->index) : nullptr;
  ReturnBuiltinReal(out, background != nullptr ? (background->*Size)() : 0);
  return true;
}

// ---- Input ----

int32_t MouseX() { return GR_Window_GetMouseX(0); }
int32_t MouseY() { return GR_Window_GetMouseY(0); }
int32_t MouseButton() { return IO_GetMouseButton(0); }
int32_t MouseLastButton() { return IO_GetMouseLastButton(0); }

// A setter passing the rounded value to `Write`.
template <auto Write>
bool SetThroughRint(CInstance*, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (!ReadBuiltinNumber(value, &v)) return false;
  Write(BuiltinRint(v));
  return true;
}
void WriteMouseButton(int32_t button) { IO_SetMouseButton(button, 0); }
void WriteMouseLastButton(int32_t button) { IO_SetMouseLastButton(button, 0); }

// The last character as UTF-8; the empty text for code 0.
bool GetLastChar(CInstance*, int32_t, ScriptValue* out) {
  char text[4] = {};
  const char16_t code = IO_GetLastChar();
  if (code != 0) {
    char* cursor = text;
    Utf8EncodeChar(&cursor, code);
  }
  ReturnBuiltinText(out, text);
  return true;
}

// The first byte of the text becomes the last character; a value without text changes nothing.
bool SetLastChar(CInstance*, int32_t, const ScriptValue* value) {
  const char* text = BuiltinText(value);
  if (text != nullptr) IO_SetLastChar(static_cast<char16_t>(static_cast<unsigned char>(text[0])));
  return true;
}

bool SetKeyboardString(CInstance*, int32_t, const ScriptValue* value) {
  IO_SetKeyboardString(BuiltinText(value));
  return true;
}

// Switching the score display also records that the captions were set.
bool SetShowScore(CInstance* self, int32_t index, const ScriptValue* value) {
  if (!SetSwitchField<LocateRun, &RoomRunState::showScore>(self, index, value)) return false;
  g_RoomRun.captionSet = 1;
  return true;
}

// ---- Clocks ----

int32_t Fps() { return g_FrameLoop.fps; }
float FpsReal() { return g_Debug.overlay.rate; }
int64_t CurrentTime() { return Timing_GetMicroseconds() / 1000; }

// One field of the current date and time (0 when the platform cannot say).
template <int (*Field)(const std::tm&)>
bool GetDateField(CInstance*, int32_t, ScriptValue* out) {
  std::tm now{};
  ReturnBuiltinReal(out, GetCurrentDateTime(&now) ? Field(now) : 0);
  return true;
}
int Year(const std::tm& t) { return t.tm_year + 1900; }
int Month(const std::tm& t) { return t.tm_mon + 1; }
int Day(const std::tm& t) { return t.tm_mday; }
int Weekday(const std::tm& t) { return t.tm_wday; }
int Hour(const std::tm& t) { return t.tm_hour; }
int Minute(const std::tm& t) { return t.tm_min; }
int Second(const std::tm& t) { return t.tm_sec; }

// ---- The registration table (its order fixes the ids) ----

struct GlobalVariable {
  const char* name;
  Getter getter;
  Setter setter;
};

// Shorthands for the tables below.
template <auto Field>
constexpr GlobalVariable RoomNumber(const char* name) {
  return {name, GetField<LocateRoom, Field>, SetRintField<LocateRoom, Field>};
}
template <auto Field>
constexpr GlobalVariable RoomSwitch(const char* name) {
  return {name, GetField<LocateRoom, Field>, SetSwitchField<LocateRoom, Field>};
}
template <auto Field>
constexpr GlobalVariable BackgroundSwitch(const char* name) {
  return {name, GetField<LocateBackground, Field>, SetSwitchField<LocateBackground, Field>};
}
template <auto Field>
constexpr GlobalVariable BackgroundStored(const char* name) {
  return {name, GetField<LocateBackground, Field>, SetStoredField<LocateBackground, Field>};
}
template <auto Field>
constexpr GlobalVariable BackgroundRint(const char* name) {
  return {name, GetField<LocateBackground, Field>, SetRintField<LocateBackground, Field>};
}
template <auto Field>
constexpr GlobalVariable ViewStored(const char* name) {
  return {name, GetField<LocateView, Field>, SetStoredField<LocateView, Field>};
}
template <auto Field>
constexpr GlobalVariable ViewRint(const char* name) {
  return {name, GetField<LocateView, Field>, SetRintField<LocateView, Field>};
}
template <auto Field>
constexpr GlobalVariable RunSwitch(const char* name) {
  return {name, GetField<LocateRun, Field>, SetSwitchField<LocateRun, Field>};
}
template <auto Field>
constexpr GlobalVariable RunCaption(const char* name) {
  return {name, GetStringField<LocateRun, Field>, SetStringField<LocateRun, Field>};
}
template <auto Read>
constexpr GlobalVariable ReadOnly(const char* name) {
  return {name, GetNumber<Read>, nullptr};
}

// The variables after the arguments, in registration order.
const GlobalVariable kGlobalVariables[] = {
    ReadOnly<DebugMode>("debug_mode"),
    {"pointer_invalid", GetPointerInvalid, nullptr},
    {"pointer_null", GetPointerNull, nullptr},
    {"undefined", GetUndefined, nullptr},
    {"room", GetRoom, SetRoom},
    ReadOnly<Room_First>("room_first"),
    ReadOnly<Room_Last>("room_last"),
    {"transition_kind", GetTransitionKind, SetTransitionKind},
    {"transition_steps", GetNumber<GR_Transition_GetSteps>, SetTransitionSteps},
    {"score", GetField<LocateRun, &RoomRunState::score>, SetRintField<LocateRun, &RoomRunState::score>},
    {"lives", GetField<LocateRun, &RoomRunState::lives>, SetLives},
    {"health", GetField<LocateRun, &RoomRunState::health>, SetHealth},
    ReadOnly<GameId>("game_id"),
    {"game_guid", GetText<NoText>, nullptr},
    {"game_display_name", GetText<DisplayName>, nullptr},
    {"game_project_name", GetText<ProjectName>, nullptr},
    {"game_save_id", GetText<GetSaveDirectory>, nullptr},
    {"working_directory", GetText<GetWorkingDirectory>, nullptr},
    {"temp_directory", GetTempDirectory, nullptr},
    {"program_directory", GetProgramDirectory, nullptr},
    {"instance_count", GetInstanceCount, nullptr},
    {"instance_id", GetInstanceId, nullptr},
    RoomNumber<&CRoom::m_Width>("room_width"),
    RoomNumber<&CRoom::m_Height>("room_height"),
    {"room_caption", GetRoomCaption, SetRoomCaption},
    {"room_speed", GetField<LocateRoom, &CRoom::m_Speed>, SetRoomSpeed},
    RoomSwitch<&CRoom::m_Persistent>("room_persistent"),
    {"background_color", GetUnsignedField<LocateRoom, &CRoom::m_Colour>, SetRintField<LocateRoom, &CRoom::m_Colour>},
    RoomSwitch<&CRoom::m_ShowColour>("background_showcolor"),
    {"background_colour", GetUnsignedField<LocateRoom, &CRoom::m_Colour>, SetRintField<LocateRoom, &CRoom::m_Colour>},
    RoomSwitch<&CRoom::m_ShowColour>("background_showcolour"),
    BackgroundSwitch<&RoomBackground::visible>("background_visible"),
    BackgroundSwitch<&RoomBackground::foreground>("background_foreground"),
    BackgroundRint<&RoomBackground::index>("background_index"),
    BackgroundStored<&RoomBackground::x>("background_x"),
    BackgroundStored<&RoomBackground::y>("background_y"),
    {"background_width", GetBackgroundSize<&CBackground::GetWidth>, nullptr},
    {"background_height", GetBackgroundSize<&CBackground::GetHeight>, nullptr},
    BackgroundSwitch<&RoomBackground::htiled>("background_htiled"),
    BackgroundSwitch<&RoomBackground::vtiled>("background_vtiled"),
    BackgroundStored<&RoomBackground::xscale>("background_xscale"),
    BackgroundStored<&RoomBackground::yscale>("background_yscale"),
    BackgroundStored<&RoomBackground::hspeed>("background_hspeed"),
    BackgroundStored<&RoomBackground::vspeed>("background_vspeed"),
    BackgroundRint<&RoomBackground::blend>("background_blend"),
    BackgroundStored<&RoomBackground::alpha>("background_alpha"),
    RoomSwitch<&CRoom::m_ViewsEnabled>("view_enabled"),
    {"view_current", GetField<LocateDraw, &RoomDrawState::viewCurrent>, nullptr},
    {"view_visible", GetField<LocateView, &RoomView::visible>, SetSwitchField<LocateView, &RoomView::visible>},
    ViewStored<&RoomView::xview>("view_xview"),
    ViewStored<&RoomView::yview>("view_yview"),
    ViewStored<&RoomView::wview>("view_wview"),
    ViewStored<&RoomView::hview>("view_hview"),
    ViewRint<&RoomView::xport>("view_xport"),
    ViewRint<&RoomView::yport>("view_yport"),
    ViewRint<&RoomView::wport>("view_wport"),
    ViewRint<&RoomView::hport>("view_hport"),
    ViewStored<&RoomView::angle>("view_angle"),
    ViewRint<&RoomView::hborder>("view_hborder"),
    ViewRint<&RoomView::vborder>("view_vborder"),
    ViewRint<&RoomView::hspeed>("view_hspeed"),
    ViewRint<&RoomView::vspeed>("view_vspeed"),
    ViewRint<&RoomView::object>("view_object"),
    ViewRint<&RoomView::surfaceId>("view_surface_id"),
    ReadOnly<MouseX>("mouse_x"),
    ReadOnly<MouseY>("mouse_y"),
    {"mouse_button", GetNumber<MouseButton>, SetThroughRint<WriteMouseButton>},
    {"mouse_lastbutton", GetNumber<MouseLastButton>, SetThroughRint<WriteMouseLastButton>},
    {"keyboard_key", GetNumber<IO_GetKey>, SetThroughRint<IO_SetKey>},
    {"keyboard_lastkey", GetNumber<IO_GetLastKey>, SetThroughRint<IO_SetLastKey>},
    {"keyboard_lastchar", GetLastChar, SetLastChar},
    {"keyboard_string", GetText<IO_GetKeyboardString>, SetKeyboardString},
    {"cursor_sprite", GetField<LocateDraw, &RoomDrawState::cursorSprite>,
     SetRintField<LocateDraw, &RoomDrawState::cursorSprite>},
    {"show_score", GetField<LocateRun, &RoomRunState::showScore>, SetShowScore},
    RunSwitch<&RoomRunState::showLives>("show_lives"),
    RunSwitch<&RoomRunState::showHealth>("show_health"),
    RunCaption<&RoomRunState::captionScore>("caption_score"),
    RunCaption<&RoomRunState::captionLives>("caption_lives"),
    RunCaption<&RoomRunState::captionHealth>("caption_health"),
    ReadOnly<Fps>("fps"),
    ReadOnly<FpsReal>("fps_real"),
    ReadOnly<CurrentTime>("current_time"),
    {"current_year", GetDateField<Year>, nullptr},
    {"current_month", GetDateField<Month>, nullptr},
    {"current_day", GetDateField<Day>, nullptr},
    {"current_weekday", GetDateField<Weekday>, nullptr},
    {"current_hour", GetDateField<Hour>, nullptr},
    {"current_minute", GetDateField<Minute>, nullptr},
    {"current_second", GetDateField<Second>, nullptr},
    ReadOnly<Event_GetType>("event_type"),
    ReadOnly<Event_GetNumber>("event_number"),
    ReadOnly<Event_GetObject>("event_object"),
    ReadOnly<Event_GetAction>("event_action"),
    ReadOnly<Zero>("secure_mode"),
    {"error_occurred", GetErrorOccurred, SetErrorOccurred},
    {"error_last", GetText<Error_GetLast>, SetErrorLast},
    ReadOnly<ApplicationSurface>("application_surface"),
};

// argument_relative, argument, argument0..15 and argument_count come first.
constexpr int kArgumentVariableCount = 3 + kArgumentSlotCount;
static_assert(kArgumentVariableCount + sizeof(kGlobalVariables) / sizeof(kGlobalVariables[0]) == kGlobalVariableCount,
              "the game-wide variables are 116");

}  // namespace

void RegisterGlobalVariables() {
  RegisterBuiltinVariable("argument_relative", GetArgumentRelative, nullptr);
  RegisterBuiltinVariable("argument", GetArgumentArray, SetArgumentArray);
  RegisterArgumentSlots(std::make_integer_sequence<int, kArgumentSlotCount>());
  RegisterBuiltinVariable("argument_count", GetArgumentCount, nullptr);
  for (const GlobalVariable& variable : kGlobalVariables) {
    RegisterBuiltinVariable(variable.name, variable.getter, variable.setter);
  }
}

void InitWorkingDirectory() {
  if (GetWorkingDirectory() != nullptr) return;
  const char* path = GetGameFilePath();
  std::string directory;
  if (path != nullptr) {
    const char* cut = std::strrchr(path, '/');
    if (cut == nullptr) cut = std::strrchr(path, '\\');
    if (cut != nullptr) directory.assign(path, static_cast<size_t>(cut - path) + 1);
  }
  SetWorkingDirectory(directory.c_str());
  if (directory.empty()) return;
  const std::string row(73, '#');
  DebugConsole->Output("%s\n", row.c_str());
  DebugConsole->Output("####!!!!$$$$$$ pwd - %s\n", directory.c_str());
  DebugConsole->Output("%s\n", row.c_str());
}
