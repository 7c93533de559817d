// Texts naming events, keys and mouse events, in code names ("Object.player.Step.0") and in
// messages ("Alarm Event for alarm 3"). The formatted texts live in shared buffers (main thread
// only): each stays valid until the next call of the same group (event names and descriptions
// share one buffer, key names have their own).
#pragma once

#include <cstdint>

// Event kinds: the rows of an object's event table.
enum EventKind : int32_t {
  EVENT_CREATE = 0,
  EVENT_DESTROY = 1,
  EVENT_ALARM = 2,
  EVENT_STEP = 3,
  EVENT_COLLISION = 4,
  EVENT_KEYBOARD = 5,
  EVENT_MOUSE = 6,
  EVENT_OTHER = 7,
  EVENT_DRAW = 8,
  EVENT_KEYPRESS = 9,
  EVENT_KEYRELEASE = 10,
};
// The number of rows of an event table (kind 11 has a row that no event uses).
constexpr int32_t kEventKindCount = 12;

// The short name used in code names: "Create", "Alarm 3", "BeginStep", the other object's name,
// "press <Space>", ...; "<Unknown Event>" for a kind outside 0..10.
const char* GetEventName(int32_t kind, int32_t number);
// A text naming the event in messages ("Create Event", "Alarm Event for alarm 3",
// "Keyboard Event for <Left> Key", ...), or "<Unknown Event>" for a kind outside 0..10.
const char* GetEventDescription(int32_t kind, int32_t number);
// "<Space>", "A-key", "Keypad-3", "F5", ...; "<unknown>" for a code without a name.
const char* GetKeyName(int32_t key);
// "Left Button", "Mouse Enter", "Joystick 2 Button 8", ...; "<unknown>" for other numbers.
const char* GetMouseEventName(int32_t number);
// "Outside Room", "User Defined 3", "Outside View 7", ...; "<unknown>" for other numbers.
const char* GetOtherEventName(int32_t number);
// "Image Loaded", "HTTP", "System Event", ...; "<unknown>" for other numbers (64 and 65 too).
const char* GetAsyncEventName(int32_t number);
