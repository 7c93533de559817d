#include "room/Event_Names.h"

#include <cstdio>

namespace {
// The shared text of descriptions that carry a number (main thread only).
char g_description[64];
}  // namespace

const char* GetEventDescription(int32_t kind, int32_t number) {
  switch (kind) {
    case EVENT_CREATE:
      return "Create Event";
    case EVENT_DESTROY:
      return "Destroy Event";
    case EVENT_ALARM:
      std::snprintf(g_description, sizeof(g_description), "Alarm Event for alarm %d", number);
      return g_description;
    case EVENT_DRAW:
      return "Draw Event";
    default:
      return "<Unknown Event>";
  }
}
