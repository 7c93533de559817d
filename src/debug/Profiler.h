// The script profiler. The machine reports every built-in and script call to it while it is
// active; while inactive every operation does nothing.
#pragma once

#include <cstdint>

class CProfiler {
 public:
  // kind 0: a built-in (id = its call number); kind 1: a script (id = its code index).
  static void Push(int32_t kind, int32_t id);
  static void Pop();
  static void SetPaused(bool paused);
};

// Whether the profiler is collecting.
extern bool g_ProfilerActive;
