// The debug overlay's frame hooks: the timing frame that every scene opens, the frame-rate
// measurement made at the end of every scene (fps_real and the run's statistics), and the
// summary printed at shutdown. The graphics layer calls these from its frame begin and end.
// Main thread only.
#pragma once

#include <cstdint>

struct DebugOverlayState {
  bool frameBegun = false;
  int64_t frameStart = 0;              // microseconds
  int32_t frameCounter = 0;
  float rate = 0.0f;                   // the last frame's measured rate (fps_real)
  uint64_t previousPresentMicros = 0;  // the present duration of the frame before
  int32_t minFps = 2147483647;
  int32_t maxFps = -2147483647 - 1;
  int32_t avgFps = 30;
  // Per-frame counters, zeroed at each frame start.
  int32_t textureSwitches = 0;
  int32_t drawCalls = 0;
};
// The overlay's state is g_Debug.overlay (debug/Debug_State.h).

// Starts the frame's timing: frame start = now, per-frame counters 0.
void TimingMarkers_BeginFrame();
// At the end of each scene: measures the frame's rate from its length plus the previous
// frame's present time, and after the first 101 frames folds it into min/max/average.
void DrawDebugOverlay();
// The graphics frame end records how long its present took.
void DebugOverlay_SetPresentTime(uint64_t micros);
// Prints the dashed line, "minFPS, maxFPS, avgFPS", the three values and the dashed line to the
// debug console.
void DebugOverlay_PrintFPSSummary();
