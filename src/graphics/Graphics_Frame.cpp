#include "graphics/Graphics_Frame.h"

#include <SDL.h>

#include "debug/Debug_Overlay.h"
#include "debug/Profiler.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "os/OS_Clock.h"

bool GR_D3D_Start_Frame() {
  if (g_GraphicsDevice.device == nullptr) return false;
  ProfilerScope scope(kProfileStartFrame);
  GraphicsBeginScene();
  return true;
}

bool GR_D3D_Finish_Frame(bool present) {
  GraphicsDeviceState& g = g_GraphicsDevice;
  if (g.device == nullptr) return false;
  ProfilerScope scope(kProfileEndFrame);
  GraphicsEndScene();
  const int64_t before = Timing_GetMicroseconds();
  if (present) GraphicsPresent();
  const int64_t after = Timing_GetMicroseconds();
  g.lastPresentMicros = after > before ? static_cast<uint64_t>(after - before) : 0;
  DebugOverlay_SetPresentTime(g.lastPresentMicros);
  return true;
}

void GraphicsBeginScene() {
  GraphicsDeviceState& g = g_GraphicsDevice;
  if (g.device == nullptr || g.sceneDepth != 0) return;
  const HRESULT level = g.device->TestCooperativeLevel();
  if (level == D3DERR_DEVICENOTRESET || (!g.plainD3D9 && level == D3DERR_DEVICELOST)) GR_D3D_Reset();
  g.device->BeginScene();
  PopAllRenderTargets();
  if (g.window != nullptr) {
    int width = 0, height = 0;
    SDL_GetWindowSize(g.window, &width, &height);
    g.clientWidth = width;
    g.clientHeight = height;
  }
  TimingMarkers_BeginFrame();
  g.sceneDepth = 1;
}

void GraphicsEndScene() {
  GraphicsDeviceState& g = g_GraphicsDevice;
  if (g.device == nullptr || g.sceneDepth != 1) return;
  GraphicsFlush();
  DrawDebugOverlay();
  g.sceneDepth = 0;
  GraphicsFlush();
  // The bottom level (the back buffer, saved when the application surface was pushed for the
  // frame) is restored. Levels above it are left by unbalanced surface targets: they are dropped
  // without being restored, and what they saved is released.
  DropRenderTargetLevels(1);
  PopRenderTarget();
  GraphicsFlush();
  ResetVertexBuffersForFrame();
  g.device->EndScene();
  PopAllRenderTargets();
}

bool GraphicsPresent() {
  ShowMainWindowOnce();
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  return device != nullptr && !D3D_Failed(device->Present());
}

void GraphicsPrintFPSStats() { DebugOverlay_PrintFPSSummary(); }
