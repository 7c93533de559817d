#include "room/Event_State.h"

namespace {
int32_t g_eventType = 0;
int32_t g_eventNumber = 0;
int32_t g_eventObject = 0;
int32_t g_eventAction = 0;
}  // namespace

int32_t Event_GetType() { return g_eventType; }
void Event_SetType(int32_t type) { g_eventType = type; }
int32_t Event_GetNumber() { return g_eventNumber; }
void Event_SetNumber(int32_t number) { g_eventNumber = number; }
int32_t Event_GetObject() { return g_eventObject; }
void Event_SetObject(int32_t object) { g_eventObject = object; }
int32_t Event_GetAction() { return g_eventAction; }
void Event_SetAction(int32_t action) { g_eventAction = action; }
