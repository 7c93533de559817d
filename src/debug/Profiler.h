// The script profiler. The machine reports every built-in and script call to it while it is
// active; while inactive every operation does nothing.
#pragma once

#include <cstdint>

#include "debug/Debug_State.h"

class CProfiler {
 public:
  // kind 0: a built-in (id = its call number); kind 1: a script (id = its code index).
  static void Push(int32_t kind, int32_t id);
  static void Pop();
  static void SetPaused(bool paused);
};

// Whether the profiler is collecting is g_Debug.profilerActive.

// Profiler section labels (kind 6) of the measured engine functions.
enum ProfilerLabel : int32_t {
  kProfileHandleCollision = 0,
  kProfileCollisionInstance = 1,
  kProfileComputeBoundingBox = 2,
  kProfilePreciseCollision = 3,
  kProfileHandleInstanceMovement = 5,
  kProfileHandleOther = 10,
  kProfileDrawRoom = 12,
  kProfileDrawTheRoom = 13,
  kProfileGraphicsFlush = 14,
  kProfileSpriteDraw = 15,
  kProfileSpriteDrawSimple = 16,
  kProfileStartFrame = 25,
  kProfileEndFrame = 26,
};

// Opens a profiler section (kind 6, the label) for its lifetime while profiling is on; leaving
// the scope, by return or by exception, closes it again.
class ProfilerScope {
 public:
  explicit ProfilerScope(int32_t label) : m_open(g_Debug.profilerActive) {
    if (m_open) CProfiler::Push(6, label);
  }
  ~ProfilerScope() {
    if (m_open && g_Debug.profilerActive) CProfiler::Pop();
  }
  ProfilerScope(const ProfilerScope&) = delete;
  ProfilerScope& operator=(const ProfilerScope&) = delete;

 private:
  bool m_open;
};
