#include "debug/Debug_State.h"

DebuggerState g_Debugger;
bool DebugMode = false;
uint32_t DebugOverlayFlags = 0;

namespace {
const char* const* g_WatchStrings = nullptr;
int32_t g_WatchStringCount = 0;
}  // namespace

void DebuggerFrame() {
  if (!g_Debugger.connected) return;
}

void Debug_PauseLoop() {
  if (!g_Debugger.connected) return;
}

void Debug_SetWatchStrings(const char* const* texts, int32_t count) {
  g_WatchStrings = count > 0 ? texts : nullptr;
  g_WatchStringCount = count > 0 && texts != nullptr ? count : 0;
}

bool Debug_GetWatchString(int32_t index, const char** text) {
  if (index < 0 || index >= g_WatchStringCount) return false;
  *text = g_WatchStrings[index];
  return true;
}
