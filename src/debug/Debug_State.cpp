#include "debug/Debug_State.h"

DebugState g_Debug;

void DebuggerFrame() {
  if (!g_Debug.debugger.connected) return;
}

void Debug_PauseLoop() {
  if (!g_Debug.debugger.connected) return;
}

void Debug_SetWatchStrings(const char* const* texts, int32_t count) {
  g_Debug.watchStrings = count > 0 ? texts : nullptr;
  g_Debug.watchStringCount = count > 0 && texts != nullptr ? count : 0;
}

bool Debug_GetWatchString(int32_t index, const char** text) {
  if (index < 0 || index >= g_Debug.watchStringCount) return false;
  *text = g_Debug.watchStrings[index];
  return true;
}
