// Texts naming events in messages.
#pragma once

#include <cstdint>

// Event kinds.
enum EventKind : int32_t {
  EVENT_CREATE = 0,
  EVENT_DESTROY = 1,
  EVENT_ALARM = 2,
  EVENT_DRAW = 8,
};

// A text naming the event of that kind and number ("Create Event", "Alarm Event for alarm 3",
// ...), or "<Unknown Event>" for a kind it does not know. The text is static or shared: it stays
// valid until the next call. No side effects.
const char* GetEventDescription(int32_t kind, int32_t number);
