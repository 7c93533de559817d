// The current event: which event of which object runs, and which of its actions. These are the
// values of the built-in variables event_type, event_number, event_object and event_action, and
// what error reports name. Main thread only.
#pragma once

#include <cstdint>

// event_type while a time line moment runs, and while a shader is compiled.
constexpr int32_t kEventTypeTimeLine = 100000;
constexpr int32_t kEventTypeShader = -1;

// The event kind (kEventTypeTimeLine while a time line moment runs: then the number is the
// moment's time step and the object the time line's index).
int32_t Event_GetType();
void Event_SetType(int32_t type);
int32_t Event_GetNumber();
void Event_SetNumber(int32_t number);
int32_t Event_GetObject();
void Event_SetObject(int32_t object);
// The index of the current action of the event.
int32_t Event_GetAction();
void Event_SetAction(int32_t action);
