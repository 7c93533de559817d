#include "debug/Debug_Overlay.h"

#include "base/VCL.h"
#include "debug/Debug_State.h"
#include "font/Font_Class.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "os/OS_Clock.h"

namespace {
constexpr const char* kDashes = "---------------------------------------------------------------\n";
}

void DebugOverlay_Init() {
  DebugOverlayState& o = g_Debug.overlay;
  o.barScale = 66666.664f;
  o.openCount = 0;
  DebugOverlay_FontTexture();
  o.fontLineHeight = g_BuiltinFontGlyphs['@' - kBuiltinFontFirst][3] + 2;
  o.frameBegun = false;
}

HardwareTexture* DebugOverlay_FontTexture() {
  DebugOverlayState& o = g_Debug.overlay;
  if (o.fontTexture == nullptr) o.fontTexture = EmbeddedFiles_CreateTexture(kBuiltinFontSheet);
  return o.fontTexture;
}

void DebugOverlay_ForgetFontTexture() { g_Debug.overlay.fontTexture = nullptr; }

void TimingMarkers_BeginFrame() {
  DebugOverlayState& o = g_Debug.overlay;
  o.openCount = 0;
  o.frameBegun = true;
  o.frameStart = Timing_GetMicroseconds();
  o.markerCount = 0;
  o.textureSwitches = 0;
  o.drawCalls = 0;
  TimingMarkerPush(0xFF000080u, "Total");
}

void TimingMarkerPush(uint32_t colour, const char* name) {
  DebugOverlayState& o = g_Debug.overlay;
  if (!o.frameBegun) TimingMarkers_BeginFrame();
  if (o.markerCount >= kTimingMarkerCount || o.openCount >= kTimingMarkerDepth) return;
  TimingMarker& m = o.markers[o.markerCount];
  m.start = static_cast<uint64_t>(Timing_GetMicroseconds());
  m.end = 0;
  m.colour = colour;
  m.name = name;
  o.openMarkers[o.openCount++] = o.markerCount++;
}

void TimingMarkerPop() {
  DebugOverlayState& o = g_Debug.overlay;
  if (o.openCount == 0) return;
  o.markers[o.openMarkers[--o.openCount]].end = static_cast<uint64_t>(Timing_GetMicroseconds());
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
