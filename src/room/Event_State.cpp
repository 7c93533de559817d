#include "room/Event_State.h"

namespace {

struct EventState {
  int32_t type = 0;
  int32_t number = 0;
  int32_t object = 0;
  int32_t action = 0;  // stays 0 while events run
  int32_t nesting = 0;
};
EventState g_event;

}  // namespace

int32_t Event_GetType() { return g_event.type; }
void Event_SetType(int32_t type) { g_event.type = type; }
int32_t Event_GetNumber() { return g_event.number; }
void Event_SetNumber(int32_t number) { g_event.number = number; }
int32_t Event_GetObject() { return g_event.object; }
void Event_SetObject(int32_t object) { g_event.object = object; }
int32_t Event_GetAction() { return g_event.action; }
void Event_SetAction(int32_t action) { g_event.action = action; }
int32_t Event_GetNesting() { return g_event.nesting; }

void Event_ResetState() { g_event = EventState(); }

EventScope::EventScope(int32_t object, int32_t type, int32_t number)
    : m_object(g_event.object), m_type(g_event.type), m_number(g_event.number) {
  g_event.object = object;
  g_event.type = type;
  g_event.number = number;
}

EventScope::~EventScope() {
  g_event.object = m_object;
  g_event.type = m_type;
  g_event.number = m_number;
}

EventNesting::EventNesting(int32_t limit) : m_entered(g_event.nesting < limit) {
  if (m_entered) ++g_event.nesting;
}

EventNesting::~EventNesting() {
  if (m_entered) --g_event.nesting;
}
