#include "graphics/Graphics_Display.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "base/VCL.h"
#include "graphics/Graphics_D3D.h"
#include "os/OS_DisplayModes.h"
#include "platform/MemoryManager.h"
#include "run/Run_CommandLine.h"

AdapterTable g_Adapters;

namespace {

bool IsListedDepth(int32_t bits) { return bits == 16 || bits == 32; }

DisplayModeInfo MakeMode(const OS_DisplayMode& m, int32_t number, int32_t ordinal) {
  DisplayModeInfo mode;
  mode.width = static_cast<int16_t>(m.width);
  mode.height = static_cast<int16_t>(m.height);
  mode.bits = static_cast<uint8_t>(m.bits);
  mode.refresh = static_cast<uint8_t>(m.frequency < 0 ? 0 : (m.frequency > 255 ? 255 : m.frequency));
  mode.modeNumber = static_cast<int16_t>(number);
  mode.adapterOrdinal = ordinal;
  return mode;
}

void ReadModes(AdapterInfo& a) {
  const OS_DisplaySource* source = OS_GetDisplaySource();
  OS_DisplayMode m;
  int32_t count = 0;
  for (int32_t n = 0; n < 32767 && source->mode(a.ordinal, n, &m); ++n) {
    if (IsListedDepth(m.bits)) ++count;
  }
  a.modeCount = 0;
  a.modes = nullptr;
  if (count == 0) return;
  a.modes = static_cast<DisplayModeInfo*>(MemoryManager::Alloc(static_cast<uint32_t>(count) * sizeof(DisplayModeInfo),
                                                               "Graphics_DisplayM", __LINE__, true));
  for (int32_t n = 0; a.modeCount < count && source->mode(a.ordinal, n, &m); ++n) {
    if (IsListedDepth(m.bits)) a.modes[a.modeCount++] = MakeMode(m, n, a.ordinal);
  }
}

bool ChangeDisplay(int32_t width, int32_t height, int32_t frequency, int32_t bits, uint32_t changeFlags) {
  OS_DisplayRequest request;
  if (width > 0) {
    request.fields |= DM_PELSWIDTH;
    request.width = static_cast<uint32_t>(width);
  }
  if (height > 0) {
    request.fields |= DM_PELSHEIGHT;
    request.height = static_cast<uint32_t>(height);
  }
  if (frequency > 0) {
    request.fields |= DM_DISPLAYFREQUENCY;
    request.frequency = static_cast<uint32_t>(frequency);
  }
  if (bits > 0) {
    request.fields |= DM_BITSPERPEL;
    request.bits = static_cast<uint32_t>(bits);
  }
  return OS_GetDisplaySource()->changeMode(request, changeFlags);
}

bool CurrentMode(OS_DisplayMode* mode) { return OS_GetDisplaySource()->currentMode(0, mode); }

}  // namespace

void FreeDisplayModes() {
  AdapterTable& t = g_Adapters;
  for (int32_t i = 0; i < t.count; ++i) MemoryManager::Free(t.adapters[i].modes);
  MemoryManager::Free(t.adapters);
  t = AdapterTable{};
}

void EnumerateDisplayModes() {
  FreeDisplayModes();
  IDirect3D9* d3d = g_GraphicsDevice.d3d;
  if (d3d == nullptr) return;
  const uint32_t total = d3d->GetAdapterCount();
  if (total == 0) return;
  AdapterTable& t = g_Adapters;
  t.adapters = static_cast<AdapterInfo*>(
      MemoryManager::Alloc(total * static_cast<uint32_t>(sizeof(AdapterInfo)), __FILE__, __LINE__, true));
  int32_t filled = 0;
  for (uint32_t ordinal = 0; ordinal < total; ++ordinal) {
    AdapterInfo& a = t.adapters[filled];
    a = AdapterInfo{};
    if (D3D_Failed(d3d->GetDeviceCaps(ordinal, D3DDEVTYPE_HAL, &a.caps)) || a.caps.DeviceType != D3DDEVTYPE_HAL)
      continue;
    D3DADAPTER_IDENTIFIER9 id;
    if (!D3D_Failed(d3d->GetAdapterIdentifier(ordinal, 0, &id))) {
      std::snprintf(a.description, sizeof a.description, "%.511s", id.Description);
      std::snprintf(a.deviceName, sizeof a.deviceName, "%.511s", id.DeviceName);
    }
    a.groupSize = static_cast<int32_t>(a.caps.NumberOfAdaptersInGroup);
    a.ordinal = static_cast<int32_t>(ordinal);

    OS_DisplayMode desktop;
    if (OS_GetDisplaySource()->currentMode(a.ordinal, &desktop)) {
      a.desktopX = desktop.x;
      a.desktopY = desktop.y;
      a.desktopWidth = desktop.width;
      a.desktopHeight = desktop.height;
      a.desktopBits = desktop.bits;
      a.desktopFrequency = desktop.frequency;
    } else {
      a.desktopX = 0;
      a.desktopY = 0;
      a.desktopWidth = 640;
      a.desktopHeight = 480;
      a.desktopBits = 8;
      a.desktopFrequency = 60;
    }
    a.monitor = d3d->GetAdapterMonitor(ordinal);
    ReadModes(a);

    if (a.desktopWidth < a.desktopHeight) a.flags |= 1;
    if (a.groupSize == 0) {
      a.flags |= 2;
      a.masterOrdinal = static_cast<int32_t>(a.caps.MasterAdapterOrdinal);
    }
    a.nextInGroup = nullptr;
    ++filled;
  }
  t.count = filled;
  for (int32_t i = 0; i < t.count; ++i) {
    AdapterInfo& sub = t.adapters[i];
    if ((sub.flags & 2) == 0) continue;
    for (int32_t j = 0; j < t.count; ++j) {
      AdapterInfo& master = t.adapters[j];
      if (j == i || master.ordinal != sub.masterOrdinal) continue;
      sub.master = &master;
      sub.nextInGroup = master.nextInGroup;
      master.nextInGroup = &sub;
      break;
    }
  }
}

void DetectManualClears() {
  GraphicsDeviceState& g = g_GraphicsDevice;
  if (g_CommandLineOptions.vanillaGraphics || g_Adapters.count == 0) return;
  char lower[512];
  std::snprintf(lower, sizeof lower, "%s", g_Adapters.adapters[0].description);
  for (char* c = lower; *c != '\0'; ++c) *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
  if (std::strstr(lower, "intel") == nullptr) return;
  g.clearByQuads = true;
  g.singleUseBuffers = true;
  DebugConsole->Output("Switching to manual clears\n");
}

const DisplayModeInfo* FindDisplayMode(int32_t width, int32_t height) {
  // With no listed mode, the device goes on the first adapter.
  static const DisplayModeInfo kFallback = {0, 0, 0, 0, -1, 0};
  if (g_Adapters.count == 0 || g_Adapters.adapters[0].modeCount == 0) return &kFallback;
  const AdapterInfo& a = g_Adapters.adapters[0];

  const DisplayModeInfo* result = nullptr;
  int32_t bestHeight = 999999999;
  int32_t bestWidth = 999999999;
  for (int32_t i = 0; i < a.modeCount; ++i) {
    const DisplayModeInfo& m = a.modes[i];
    const int32_t dh = m.height - height;
    const int32_t dw = m.width - width;
    if (dh >= 0 && dh < bestHeight) {
      result = &m;
      if (dw >= 0 && dw < bestWidth) {
        bestHeight = dh;
        bestWidth = dw;
      }
    }
  }
  if (result != nullptr) return result;

  const double area = static_cast<double>(width) * static_cast<double>(height);
  double best = 99999999.0;
  for (int32_t i = 0; i < a.modeCount; ++i) {
    const DisplayModeInfo& m = a.modes[i];
    const double distance = std::fabs(1.0 - static_cast<double>(m.width) * m.height / area);
    if (distance < best) {
      best = distance;
      result = &m;
    } else if (distance == best && result != nullptr && m.bits == 32) {
      if (result->bits != 32 || std::abs(m.refresh - 60) < std::abs(result->refresh - 60)) result = &m;
    }
  }
  return result != nullptr ? result : &kFallback;
}

bool GraphicsSetDisplayMode(int32_t width, int32_t height, int32_t frequency, int32_t bits) {
  return ChangeDisplay(width, height, frequency, bits, 0);
}

bool GraphicsTestDisplayMode(int32_t width, int32_t height, int32_t frequency, int32_t bits) {
  return ChangeDisplay(width, height, frequency, bits, CDS_TEST);
}

bool GraphicsSetDisplaySize(int32_t width, int32_t height) { return ChangeDisplay(width, height, -1, -1, 0); }

bool GraphicsSetDisplayFrequency(int32_t frequency) { return ChangeDisplay(-1, -1, frequency, -1, 0); }

bool GraphicsSetDisplayColourDepth(int32_t bits) { return ChangeDisplay(-1, -1, -1, bits, 0); }

bool GraphicsSetDisplayModeFromOptions(int32_t colourDepth, int32_t resolution, int32_t frequency) {
  static constexpr int32_t kDepths[] = {16, 32};
  static constexpr int32_t kWidths[] = {320, 640, 800, 1024, 1280, 1600};
  static constexpr int32_t kHeights[] = {240, 480, 600, 768, 1024, 1200};
  static constexpr int32_t kFrequencies[] = {60, 70, 85, 100, 120};
  // Option value n (from 1) picks entry n - 1 of a table; any other value gives -1.
  const auto pick = [](const auto& table, int32_t option) {
    const int64_t count = static_cast<int64_t>(std::size(table));
    return option >= 1 && option <= count ? table[option - 1] : -1;
  };
  return GraphicsSetDisplayMode(pick(kWidths, resolution), pick(kHeights, resolution), pick(kFrequencies, frequency),
                                pick(kDepths, colourDepth));
}

int32_t GraphicsGetDisplayWidth() {
  OS_DisplayMode m;
  return CurrentMode(&m) ? m.width : 0;
}

int32_t GraphicsGetDisplayHeight() {
  OS_DisplayMode m;
  return CurrentMode(&m) ? m.height : 0;
}

int32_t GraphicsGetDisplayFrequency() {
  OS_DisplayMode m;
  return CurrentMode(&m) ? m.frequency : -1;
}

int32_t GraphicsGetDisplayColourDepth() {
  OS_DisplayMode m;
  return CurrentMode(&m) ? m.bits : -1;
}

int32_t GraphicsGetCursorX() {
  int32_t x = 0, y = 0;
  return OS_GetDisplaySource()->getCursor(&x, &y) ? x : 0;
}

int32_t GraphicsGetCursorY() {
  int32_t x = 0, y = 0;
  return OS_GetDisplaySource()->getCursor(&x, &y) ? y : 0;
}

void GraphicsSetCursorPos(int32_t x, int32_t y, bool windowActive) {
  if (windowActive) OS_GetDisplaySource()->setCursor(x, y);
}
