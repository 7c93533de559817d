#include "debug/Profiler.h"

bool g_ProfilerActive = false;

void CProfiler::Push(int32_t, int32_t) {
  if (!g_ProfilerActive) return;
}

void CProfiler::Pop() {
  if (!g_ProfilerActive) return;
}

void CProfiler::SetPaused(bool) {
  if (!g_ProfilerActive) return;
}
