// The debug overlay's frame hooks: the timing frame that every scene opens, the timing bars of
// named phases of the frame, the frame-rate measurement made at the end of every scene (fps_real
// and the run's statistics), the debug font's texture and the summary printed at shutdown. The
// graphics layer calls these from its start-up and its frame begin and end. Main thread only.
#pragma once

#include <cstdint>

struct HardwareTexture;

// One timing bar: a named phase of the frame.
struct TimingMarker {
  uint64_t start = 0;  // microseconds
  uint64_t end = 0;    // 0 while open
  uint32_t colour = 0;
  const char* name = nullptr;  // a constant text
};
constexpr int32_t kTimingMarkerCount = 1024;
constexpr int32_t kTimingMarkerDepth = 58;

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
  // The frame's timing bars in push order, and the open ones innermost last.
  TimingMarker markers[kTimingMarkerCount];
  int32_t markerCount = 0;
  int32_t openMarkers[kTimingMarkerDepth] = {};
  int32_t openCount = 0;
  float barScale = 0.0f;  // microseconds per screen width
  // The debug font: the 256 x 128 sheet of embedded file 15 (null until made, or when the
  // program carries no such file), and its line height (the at sign's height plus 2).
  HardwareTexture* fontTexture = nullptr;
  int32_t fontLineHeight = 0;
};
// The overlay's state is g_Debug.overlay (debug/Debug_State.h).

// After the device is ready: the bar scale, an empty open-bar stack, the debug font texture made
// when it does not exist yet, its line height; frame-begun cleared.
void DebugOverlay_Init();
// The debug font texture, made first when it does not exist yet; null when it cannot be made.
HardwareTexture* DebugOverlay_FontTexture();
// Forgets the debug font texture (its owner frees it).
void DebugOverlay_ForgetFontTexture();

// Starts the frame's timing: frame start = now, no bars, per-frame counters 0, then the "Total"
// bar opened.
void TimingMarkers_BeginFrame();
// Opens a bar (beginning the frame first when it has not begun); nothing once 1024 bars exist
// or the open-bar stack is full.
void TimingMarkerPush(uint32_t colour, const char* name);
// Closes the innermost open bar; nothing when none is open.
void TimingMarkerPop();
// At the end of each scene: measures the frame's rate from its length plus the previous
// frame's present time, and after the first 101 frames folds it into min/max/average.
void DrawDebugOverlay();
// The graphics frame end records how long its present took.
void DebugOverlay_SetPresentTime(uint64_t micros);
// Prints the dashed line, "minFPS, maxFPS, avgFPS", the three values and the dashed line to the
// debug console.
void DebugOverlay_PrintFPSSummary();
