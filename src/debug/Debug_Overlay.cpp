#include "debug/Debug_Overlay.h"

#include "base/VCL.h"
#include "debug/Debug_State.h"
#include "os/OS_Clock.h"

namespace {
constexpr const char* kDashes = "---------------------------------------------------------------\n";
}

void TimingMarkers_BeginFrame() {
  DebugOverlayState& o = g_Debug.overlay;
  o.frameBegun = true;
  o.frameStart = Timing_GetMicroseconds();
  o.textureSwitches = 0;
  o.drawCalls = 0;
}

void DrawDebugOverlay() {
  DebugOverlayState& o = g_Debug.overlay;
  if (!o.frameBegun) TimingMarkers_BeginFrame();
  int64_t duration = Timing_GetMicroseconds() - o.frameStart + static_cast<int64_t>(o.previousPresentMicros);
  if (duration <= 0) duration = 1;
  o.rate = 1000000.0f / static_cast<float>(duration);
  const int32_t rate = o.rate >= 2147483647.0f ? 2147483647 : static_cast<int32_t>(o.rate);
  if (o.frameCounter > 100) {
    if (rate < o.minFps) o.minFps = rate;
    if (rate > o.maxFps) o.maxFps = rate;
    o.avgFps = static_cast<int32_t>((static_cast<int64_t>(o.avgFps) + rate) / 2);
  }
  ++o.frameCounter;
  o.frameBegun = false;
}

void DebugOverlay_SetPresentTime(uint64_t micros) { g_Debug.overlay.previousPresentMicros = micros; }

void DebugOverlay_PrintFPSSummary() {
  const DebugOverlayState& o = g_Debug.overlay;
  DebugConsole->Output("%s", kDashes);
  DebugConsole->Output("minFPS, maxFPS, avgFPS\n");
  DebugConsole->Output("%d, %d, %d\n", o.minFps, o.maxFps, o.avgFps);
  DebugConsole->Output("%s", kDashes);
}
