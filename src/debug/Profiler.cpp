#include "debug/Profiler.h"

void CProfiler::Push(int32_t, int32_t) {
  if (!g_Debug.profilerActive) return;
}

void CProfiler::Pop() {
  if (!g_Debug.profilerActive) return;
}

void CProfiler::SetPaused(bool) {
  if (!g_Debug.profilerActive) return;
}
