#include "room/Event_Names.h"

#include <cstdio>

#include "object/Object_Class.h"

namespace {

// The buffer shared by the event names and descriptions, and the one of key names.
char g_eventText[512];
char g_keyText[64];
// Mouse, other and asynchronous names are built once into their own tables.
char g_numberedNames[3][64][32];

struct NamedNumber {
  int32_t number;
  const char* name;
};

// A run of numbered names: numbers first..first+count-1 read "<prefix><start + i>".
struct NumberedRun {
  int32_t first;
  int32_t count;
  const char* prefix;
  int32_t start;
};

const NamedNumber kKeyNames[] = {
    {0, "<no key>"},   {1, "<any key>"}, {8, "<Backspace>"}, {9, "<Tab>"},         {13, "<Enter>"},
    {16, "<Shift>"},   {17, "<Ctrl>"},   {18, "<Alt>"},      {27, "<Escape>"},     {32, "<Space>"},
    {33, "<Page Up>"}, {34, "<Page Down>"}, {35, "<End>"},   {36, "<Home>"},       {37, "<Left>"},
    {38, "<Up>"},      {39, "<Right>"},  {40, "<Down>"},     {45, "<Insert>"},     {46, "<Delete>"},
    {106, "Keypad *"}, {107, "Keypad +"}, {109, "Keypad -"}, {110, "Keypad ."},    {111, "Keypad /"},
};

const NamedNumber kMouseNames[] = {
    {0, "Left Button"},       {1, "Right Button"},       {2, "Middle Button"},       {3, "No Button"},
    {4, "Left Pressed"},      {5, "Right Pressed"},      {6, "Middle Pressed"},      {7, "Left Released"},
    {8, "Right Released"},    {9, "Middle Released"},    {10, "Mouse Enter"},        {11, "Mouse Leave"},
    {16, "Joystick 1 Left"},  {17, "Joystick 1 Right"},  {18, "Joystick 1 Up"},      {19, "Joystick 1 Down"},
    {31, "Joystick 2 Left"},  {32, "Joystick 2 Right"},  {33, "Joystick 2 Up"},      {34, "Joystick 2 Down"},
    {50, "Glob Left Button"}, {51, "Glob Right Button"}, {52, "Glob Middle Button"}, {53, "Glob Left Pressed"},
    {54, "Glob Right Pressed"}, {55, "Glob Middle Pressed"}, {56, "Glob Left Released"},
    {57, "Glob Right Released"}, {58, "Glob Middle Released"}, {60, "Mouse Wheel Up"}, {61, "Mouse Wheel Down"},
};
const NumberedRun kMouseRuns[] = {{21, 8, "Joystick 1 Button ", 1}, {36, 8, "Joystick 2 Button ", 1}};

const NamedNumber kOtherNames[] = {
    {0, "Outside Room"}, {1, "Intersect Boundary"}, {2, "Game Start"},   {3, "Game End"},
    {4, "Room Start"},   {5, "Room End"},           {6, "No More Lives"}, {7, "Animation End"},
    {8, "End Of Path"},  {9, "No More Health"},     {30, "Close Button"}, {58, "Animation Update"},
};
const NumberedRun kOtherRuns[] = {
    {10, 16, "User Defined ", 0}, {40, 8, "Outside View ", 0}, {50, 8, "Boundary View ", 0}};

const NamedNumber kAsyncNames[] = {
    {60, "Image Loaded"}, {61, "Sound Loaded"}, {62, "HTTP"},    {63, "Dialog"},
    {66, "IAP"},          {67, "Cloud"},        {68, "Networking"}, {69, "Steam"},
    {70, "Social"},       {71, "Push"},         {72, "Save-Load"},  {73, "Audio Recording"},
    {74, "Audio Playback"}, {75, "System Event"},
};

template <size_t N>
const char* FindName(const NamedNumber (&names)[N], int32_t number) {
  for (const NamedNumber& n : names) {
    if (n.number == number) return n.name;
  }
  return nullptr;
}

// The name from a fixed table, or from a numbered run (formatted into `slot`'s buffer of that
// number), or "<unknown>".
template <size_t N, size_t R>
const char* NumberName(const NamedNumber (&names)[N], const NumberedRun (&runs)[R], int32_t slot, int32_t number) {
  if (const char* name = FindName(names, number)) return name;
  for (const NumberedRun& run : runs) {
    if (number >= run.first && number < run.first + run.count) {
      char* text = g_numberedNames[slot][number];
      std::snprintf(text, sizeof(g_numberedNames[slot][number]), "%s%d", run.prefix, run.start + number - run.first);
      return text;
    }
  }
  return "<unknown>";
}

const char* OtherOrAsyncName(int32_t number) {
  return number > 59 ? GetAsyncEventName(number) : GetOtherEventName(number);
}

}  // namespace

const char* GetKeyName(int32_t key) {
  if (const char* name = FindName(kKeyNames, key)) return name;
  if ((key >= 48 && key <= 57) || (key >= 65 && key <= 90)) {
    std::snprintf(g_keyText, sizeof(g_keyText), "%c-key", static_cast<char>(key));
  } else if (key >= 96 && key <= 105) {
    std::snprintf(g_keyText, sizeof(g_keyText), "Keypad-%d", key - 96);
  } else if (key >= 112 && key <= 123) {
    std::snprintf(g_keyText, sizeof(g_keyText), "F%d", key - 111);
  } else {
    return "<unknown>";
  }
  return g_keyText;
}

const char* GetMouseEventName(int32_t number) { return NumberName(kMouseNames, kMouseRuns, 0, number); }

const char* GetOtherEventName(int32_t number) { return NumberName(kOtherNames, kOtherRuns, 1, number); }

const char* GetAsyncEventName(int32_t number) {
  const char* name = FindName(kAsyncNames, number);
  return name != nullptr ? name : "<unknown>";
}

const char* GetEventName(int32_t kind, int32_t number) {
  switch (kind) {
    case EVENT_CREATE: return "Create";
    case EVENT_DESTROY: return "Destroy";
    case EVENT_ALARM: std::snprintf(g_eventText, sizeof(g_eventText), "Alarm %d", number); break;
    case EVENT_STEP:
      std::snprintf(g_eventText, sizeof(g_eventText), "%sStep", number == 1 ? "Begin" : number == 2 ? "End" : "");
      break;
    case EVENT_COLLISION: std::snprintf(g_eventText, sizeof(g_eventText), "%s", Object_GetName(number)); break;
    case EVENT_KEYBOARD: return GetKeyName(number);
    case EVENT_MOUSE: return GetMouseEventName(number);
    case EVENT_OTHER: return OtherOrAsyncName(number);
    case EVENT_DRAW: return "Draw";
    case EVENT_KEYPRESS: std::snprintf(g_eventText, sizeof(g_eventText), "press %s", GetKeyName(number)); break;
    case EVENT_KEYRELEASE: std::snprintf(g_eventText, sizeof(g_eventText), "release %s", GetKeyName(number)); break;
    default: return "<Unknown Event>";
  }
  return g_eventText;
}

const char* GetEventDescription(int32_t kind, int32_t number) {
  switch (kind) {
    case EVENT_CREATE: return "Create Event";
    case EVENT_DESTROY: return "Destroy Event";
    case EVENT_ALARM: std::snprintf(g_eventText, sizeof(g_eventText), "Alarm Event for alarm %d", number); break;
    case EVENT_STEP: std::snprintf(g_eventText, sizeof(g_eventText), " Step Event%d", number); break;
    case EVENT_COLLISION:
      std::snprintf(g_eventText, sizeof(g_eventText), " Step Event%s", Object_GetName(number));
      break;
    case EVENT_KEYBOARD:
      std::snprintf(g_eventText, sizeof(g_eventText), "Keyboard Event for %s Key", GetKeyName(number));
      break;
    case EVENT_MOUSE: std::snprintf(g_eventText, sizeof(g_eventText), "Mouse Event for %s", GetMouseEventName(number)); break;
    case EVENT_OTHER:
      if (number >= 60) {
        std::snprintf(g_eventText, sizeof(g_eventText), "Async Event: %s", GetAsyncEventName(number));
      } else {
        std::snprintf(g_eventText, sizeof(g_eventText), "Other Event: %s", GetOtherEventName(number));
      }
      break;
    case EVENT_DRAW: return "Draw Event";
    case EVENT_KEYPRESS:
      std::snprintf(g_eventText, sizeof(g_eventText), "Key Press Event for %s Key", GetKeyName(number));
      break;
    case EVENT_KEYRELEASE:
      std::snprintf(g_eventText, sizeof(g_eventText), "Key Release Event for %s Key", GetKeyName(number));
      break;
    default: return "<Unknown Event>";
  }
  return g_eventText;
}
