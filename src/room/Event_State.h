// The current event: which event of which object runs, and which of its actions. These are the
// values of the built-in variables event_type, event_number, event_object and event_action, and
// what error reports name. Beside them the dispatcher keeps the number of events in progress.
// Main thread only.
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

// The number of events being performed (nested calls of PerformEvent).
int32_t Event_GetNesting();

// Everything above back to 0 (a game restart, test fixtures).
void Event_ResetState();

// Sets the current event object, type and number for its lifetime and puts the values it found
// back when it goes, whichever way the scope is left.
class EventScope {
 public:
  EventScope(int32_t object, int32_t type, int32_t number);
  ~EventScope();
  EventScope(const EventScope&) = delete;
  EventScope& operator=(const EventScope&) = delete;

 private:
  int32_t m_object;
  int32_t m_type;
  int32_t m_number;
};

// Counts one event in progress for its lifetime. Entered() is false when the count would pass
// `limit`; the count is then left as it was.
class EventNesting {
 public:
  explicit EventNesting(int32_t limit);
  ~EventNesting();
  EventNesting(const EventNesting&) = delete;
  EventNesting& operator=(const EventNesting&) = delete;
  bool Entered() const { return m_entered; }

 private:
  bool m_entered;
};
