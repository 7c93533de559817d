#include "graphics/Graphics_D3D.h"

#include <SDL.h>

#include "base/VCL.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Display.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Transition.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/Graphics_Window.h"
#include "os/MessageBox.h"
#include "os/OS_Messages.h"
#include "platform/MemoryManager.h"
#include "run/Run_CommandLine.h"

GraphicsDeviceState g_GraphicsDevice;

namespace {

constexpr uint32_t kHardwareBehaviour = D3DCREATE_FPU_PRESERVE | D3DCREATE_HARDWARE_VERTEXPROCESSING;  // 0x42
constexpr uint32_t kSoftwareBehaviour = D3DCREATE_FPU_PRESERVE | D3DCREATE_SOFTWARE_VERTEXPROCESSING;  // 0x22

int32_t LimitToScreen(int32_t size, int32_t screen) { return screen > 0 && size > screen ? screen : size; }

uint32_t PresentInterval(bool vsync) { return vsync ? D3DPRESENT_INTERVAL_DEFAULT : D3DPRESENT_INTERVAL_IMMEDIATE; }

// The main window, through SDL: its sizes are client sizes, so nothing is added for a frame.
void WindowSetFullScreen(SDL_Window* window, bool on) {
  if (window != nullptr) SDL_SetWindowFullscreen(window, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

void WindowPlace(SDL_Window* window, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (window == nullptr) return;
  SDL_SetWindowPosition(window, x, y);
  SDL_SetWindowSize(window, width, height);
}

bool FirstAdapterDesktop(int32_t* width, int32_t* height) {
  if (g_Adapters.count == 0) return false;
  *width = g_Adapters.adapters[0].desktopWidth;
  *height = g_Adapters.adapters[0].desktopHeight;
  return true;
}

void FillPresentParameters(GraphicsDeviceState& g, uint32_t width, uint32_t height, bool fullScreen) {
  D3DPRESENT_PARAMETERS& p = g.presentParams;
  p = D3DPRESENT_PARAMETERS{};
  p.BackBufferWidth = width;
  p.BackBufferHeight = height;
  p.BackBufferFormat = D3DFMT_A8R8G8B8;
  p.BackBufferCount = 1;
  p.MultiSampleType = 0;
  p.MultiSampleQuality = 0;
  p.SwapEffect = D3DSWAPEFFECT_COPY;
  p.hDeviceWindow = nullptr;
  p.Windowed = fullScreen ? 0 : 1;
  p.EnableAutoDepthStencil = 1;
  p.AutoDepthStencilFormat = D3DFMT_D24S8;
  p.Flags = 0;
  p.FullScreen_RefreshRateInHz = 0;
  p.PresentationInterval = PresentInterval(g.vsync);
}

void ReleaseDevice() {
  GraphicsDeviceState& g = g_GraphicsDevice;
  PopAllRenderTargets();
  if (g.device != nullptr) {
    while (g.device->Release() > 0) {
    }
    g.device = nullptr;
  }
  if (g.d3d != nullptr) {
    g.d3d->Release();
    g.d3d = nullptr;
  }
  g.deferredWidth = -1;
  g.deferredHeight = -1;
}

}  // namespace

bool GR_D3D_Init(SDL_Window* window, int32_t width, int32_t height, uint32_t flags) {
  GraphicsDeviceState& g = g_GraphicsDevice;
  g.displayWidth = LimitToScreen(width, GraphicsGetDisplayWidth());
  g.displayHeight = LimitToScreen(height, GraphicsGetDisplayHeight());
  const int32_t depth = GraphicsGetDisplayColourDepth();
  if (depth != 16 && depth != 32) {
    ShowMessage(
        "This program requires 16-bit (High Color) or 32-bit (Full Color) mode. Please change this in your display "
        "properties and run again.");
    return false;
  }
  const bool created = GraphicsInitD3D(window, g.displayWidth, g.displayHeight, flags);

  SetTransformMatrix(kMatrixWorld, MatrixIdentity());
  GR_Texture_ResetTable();
  RenderStateCache::SetDefaults();
  GR_RestoreRenderStates();
  GraphicsClear(0, 1.0f, 0, 7);
  GR_SetViewport(0, 0, g.windowWidth, g.windowHeight);
  GR_SetViewArea(0.0f, 0.0f, static_cast<float>(g.windowWidth), static_cast<float>(g.windowHeight), 0.0f);
  g.sceneDepth = 0;
  GR_Texture_CreateWhite();
  return created;
}

bool GraphicsInitD3D(SDL_Window* window, int32_t width, int32_t height, uint32_t flags) {
  GraphicsDeviceState& g = g_GraphicsDevice;
  const D3D_Backend* backend = D3D_GetBackend();
  g.window = window;
  g.initFlags = flags;
  if (backend->loadWindowManager()) {
    DebugConsole->Output("Enable DwmEnableMMCSS\n");
    g.plainD3D9 = false;
  }
  g.vsync = (flags & kGraphicsVsync) != 0;
  g_RenderStates.interpolate = (flags & kGraphicsInterpolate) != 0;
  for (uint8_t& stage : g_RenderStates.stageInterpolation) stage = g_RenderStates.interpolate ? 1 : 0;
  const bool software = (flags & kGraphicsSoftwareVertices) != 0 || g_CommandLineOptions.softwareVertexProcessing;
  const uint32_t behaviour = software ? kSoftwareBehaviour : kHardwareBehaviour;
  g.keepAspect = (flags & kGraphicsKeepAspect) != 0;

  if (g.plainD3D9) {
    DebugConsole->Output("Create D3D9 interface\n");
    g.d3d = backend->create9(D3D_SDK_VERSION, window);
    if (g.d3d == nullptr) {
      ShowUtf8MessageBox("Failed to create Direct3D 9 device");
      return false;
    }
    g.resourcePool = D3DPOOL_MANAGED;
  } else {
    DebugConsole->Output("Create D3D9Ex interface\n");
    IDirect3D9* object = nullptr;
    backend->create9Ex(D3D_SDK_VERSION, window, &object);
    if (object == nullptr) {
      ShowUtf8MessageBox("Failed to create Direct3D 9ex device");
      return false;
    }
    g.d3d = object;
    g.resourcePool = D3DPOOL_DEFAULT;
  }

  DebugConsole->Output("Enumerate Adapters\n");
  if (g_CommandLineOptions.intelWorkarounds) g.clearByQuads = g.singleUseBuffers = true;
  EnumerateDisplayModes();
  DetectManualClears();

  const uint32_t adapter = static_cast<uint32_t>(FindDisplayMode(width, height)->adapterOrdinal);
  const bool fullScreen = (flags & kGraphicsFullScreen) != 0;
  int32_t backWidth = width, backHeight = height;
  if (fullScreen) FirstAdapterDesktop(&backWidth, &backHeight);
  DebugConsole->Output("Selected Resolution: %dx%d\n", backWidth, backHeight);
  DebugConsole->Output("Prepare to create device\n");

  FillPresentParameters(g, static_cast<uint32_t>(backWidth), static_cast<uint32_t>(backHeight), fullScreen);
  g.multisample = 0;
  g.swapEffect = D3DSWAPEFFECT_COPY;
  g.fullScreen = fullScreen;

  DebugConsole->Output("Creating D3D device - ARGB=32bit, D24S8, SwapEffect=Copy, %s\n",
                       software ? "Software vertex processing" : "Hardware vertex processing");
  HRESULT result = g.d3d->CreateDevice(adapter, D3DDEVTYPE_HAL, window, behaviour, &g.presentParams, &g.device);
  if (D3D_Failed(result)) {
    g.presentParams.AutoDepthStencilFormat = D3DFMT_D16;
    g.presentParams.SwapEffect = D3DSWAPEFFECT_DISCARD;
    DebugConsole->Output(
        "Creating D3D device - ARGB=32bit, D16, SwapEffect=Discard, Software Vertex Processing\n");
    result = g.d3d->CreateDevice(adapter, D3DDEVTYPE_HAL, window, kSoftwareBehaviour, &g.presentParams, &g.device);
    if (D3D_Failed(result)) {
      ShowUtf8MessageBox(
          "Failed to create Direct3D Screen requirements and that your drivers are up-to-date. If your graphics card "
          "has little memory, try switching your computer to a lower resolution.");
      ExitProcessWith(-1);
    }
  }

  DebugConsole->Output("Creating screen render target\n");
  g.windowWidth = backWidth;
  g.windowHeight = backHeight;
  g.clientWidth = backWidth;
  g.clientHeight = backHeight;
  if (!fullScreen) {
    // A later windowed reset without a pending size goes back to this size.
    g.savedWindowedWidth = backWidth;
    g.savedWindowedHeight = backHeight;
  }
  DebugConsole->Output("Get Device Caps\n");
  g.caps = D3DCAPS9{};
  g.device->GetDeviceCaps(&g.caps);

  g.multisampleMask = 0;
  for (uint32_t samples = 2; samples <= 16; samples *= 2) {
    uint32_t quality = 0;
    if (g.d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, g.presentParams.BackBufferFormat, 1, samples, &quality) ==
        D3D_OK)
      g.multisampleMask |= samples;
  }
  g.simultaneousTargets = g.caps.NumSimultaneousRTs < 4 ? static_cast<int32_t>(g.caps.NumSimultaneousRTs) : 4;
  if (g.simultaneousTargets < 1) g.simultaneousTargets = 1;
  g.pendingWidth = -1;
  g.pendingHeight = -1;
  DebugConsole->Output("Graphics initialisation end...\n");
  return true;
}

bool GR_D3D_Reset() {
  GR_Surface_FreeAll();
  if (!ResetDeviceForWindowMode()) return false;
  GraphicsClear(0, 1.0f, 0, 7);
  GR_RestoreRenderStates();
  return true;
}

bool ResetDeviceForWindowMode() {
  GraphicsDeviceState& g = g_GraphicsDevice;
  if (!g.fullScreen && g.deferredWidth != -1 && g.deferredHeight != -1) {
    if (g.pendingWidth == -1 || g.pendingHeight == -1) {
      g.pendingWidth = g.deferredWidth;
      g.pendingHeight = g.deferredHeight;
    }
    g.deferredWidth = -1;
    g.deferredHeight = -1;
  }
  PopAllRenderTargets();
  D3DDISPLAYMODE desktop;
  if (g.device == nullptr || D3D_Failed(g.d3d->GetAdapterDisplayMode(0, &desktop))) return false;
  uint32_t quality = 0;
  if (D3D_Failed(g.d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, desktop.Format, 1, g.multisample, &quality))) {
    g.multisample = 0;
    g.swapEffect = D3DSWAPEFFECT_COPY;
  }
  D3DPRESENT_PARAMETERS& p = g.presentParams;
  p.PresentationInterval = PresentInterval(g.vsync);

  const bool pending = g.pendingWidth != -1 && g.pendingHeight != -1;
  int32_t targetWidth = pending ? g.pendingWidth : g.windowWidth;
  int32_t targetHeight = pending ? g.pendingHeight : g.windowHeight;
  if (!g.fullScreen) {
    p.Windowed = 1;
    WindowSetFullScreen(g.window, false);
    if (!pending) {
      targetWidth = g.clientWidth = g.savedWindowedWidth;
      targetHeight = g.clientHeight = g.savedWindowedHeight;
    }
  } else {
    WindowSetFullScreen(g.window, true);
    p.Windowed = 0;
    int32_t w = 0, h = 0;
    if (FirstAdapterDesktop(&w, &h)) {
      targetWidth = g.windowWidth = w;
      targetHeight = g.windowHeight = h;
    }
  }

  p.SwapEffect = g.swapEffect;
  p.MultiSampleType = g.multisample;
  p.BackBufferWidth = static_cast<uint32_t>(targetWidth);
  p.BackBufferHeight = static_cast<uint32_t>(targetHeight);
  HRESULT result = g.device->Reset(&p);
  if (D3D_Failed(result)) {
    DebugConsole->Output("Reset() Failed: %X\n", static_cast<uint32_t>(result));
    g.multisample = 0;
    g.swapEffect = D3DSWAPEFFECT_DISCARD;
    p.MultiSampleType = 0;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    DebugConsole->Output("Change SWAP+Multisample type effect, try Reset() again\n");
    if (D3D_Failed(g.device->Reset(&p))) return false;
  }

  if (pending) {
    if (!g.fullScreen) {
      g.windowWidth = g.pendingWidth;
      g.windowHeight = g.pendingHeight;
    }
    GR_D3D_SetSize(g.windowWidth, g.windowHeight);
  }
  if (!g.fullScreen) {
    if (pending) {
      g.savedWindowedWidth = g.pendingWidth;
      g.savedWindowedHeight = g.pendingHeight;
    }
    g.clientWidth = g.windowWidth = g.savedWindowedWidth;
    g.clientHeight = g.windowHeight = g.savedWindowedHeight;
    if (!g.keepWindowPosition) {
      const int32_t x = (GraphicsGetDisplayWidth() - g.windowWidth) / 2;
      const int32_t y = (GraphicsGetDisplayHeight() - g.windowHeight) / 2;
      WindowPlace(g.window, x, y, g.windowWidth, g.windowHeight);
      GR_D3D_SetSize(g.windowWidth, g.windowHeight);
    }
  } else if (pending) {
    g.savedWindowedWidth = g.pendingWidth;
    g.savedWindowedHeight = g.pendingHeight;
  }

  g.keepWindowPosition = false;
  GraphicsClear(0, 1.0f, 0, 7);
  g.pendingWidth = -1;
  g.pendingHeight = -1;
  GR_RestoreRenderStates();
  return true;
}

void GR_D3D_SetSize(int32_t width, int32_t height) {
  GraphicsDeviceState& g = g_GraphicsDevice;
  width = LimitToScreen(width, GraphicsGetDisplayWidth());
  height = LimitToScreen(height, GraphicsGetDisplayHeight());
  if (width == g.displayWidth && height == g.displayHeight) return;
  g.displayWidth = width;
  g.displayHeight = height;
  if (g.device != nullptr) GR_SetViewport(0, 0, width, height);
  GR_SetViewArea(0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height), 0.0f);
}

void GR_ApplyWindowSize() { ApplyPendingWindowSize(); }

void ApplyPendingWindowSize() {
  GraphicsDeviceState& g = g_GraphicsDevice;
  if (g.fullScreen || g.pendingWidth == -1 || g.pendingHeight == -1 || g.window == nullptr) return;
  int left = 0, top = 0;
  SDL_GetWindowPosition(g.window, &left, &top);
  WindowPlace(g.window, left, top, g.pendingWidth, g.pendingHeight);
  GR_D3D_SetSize(g.pendingWidth, g.pendingHeight);
}

bool ShowMainWindowOnce() {
  GraphicsDeviceState& g = g_GraphicsDevice;
  if (g.windowShown) return false;
  g.windowShown = true;
  const int passes = (g.initFlags & kGraphicsShowWindowOnce) != 0 ? 1 : 10;
  for (int i = 0; i < passes; ++i) {
    if (g.window != nullptr) SDL_ShowWindow(g.window);
    PumpMessages();
  }
  return true;
}

void GraphicsSetMultisample(int32_t samples) {
  GraphicsDeviceState& g = g_GraphicsDevice;
  if (samples == 2 || samples == 4 || samples == 8 || samples == 16) {
    g.multisample = static_cast<uint32_t>(samples);
    g.swapEffect = D3DSWAPEFFECT_DISCARD;
  } else {
    g.multisample = 0;
    g.swapEffect = D3DSWAPEFFECT_COPY;
  }
}

void GraphicsSetVsync(bool on) { g_GraphicsDevice.vsync = on; }

bool ShadersSupported() {
  const D3DCAPS9& caps = g_GraphicsDevice.caps;
  return (caps.VertexShaderVersion & 0xFFFF) >= 0x200 && (caps.PixelShaderVersion & 0xFFFF) >= 0x200;
}

void ShowUtf8MessageBox(const char* text) {
  const char* caption = GR_Window_GetCaption();
  OS_ShowMessageBox(caption != nullptr ? caption : "", text, MessageBoxKind::Ok, false);
}

void GraphicsPostInit() {}

void GR_D3D_Finish() {
  GR_Texture_FreeWhite();
  GR_Surface_FreeAll();
  FreeBatchVertexBuffers();
  ReleaseDevice();
  FreeDisplayModes();
}

void Graphics_Reset() {
  // Textures still held are given back while their device is still there.
  GR_Texture_FreeAll();
  while (g_HardwareTextures.list != nullptr) FreeHardwareTexture(g_HardwareTextures.list);
  GR_D3D_Finish();
  GR_Window_Reset();
  g_Textures = TextureTableState{};
  g_Primitives = PrimitiveState{};
  g_GraphicsDevice = GraphicsDeviceState{};
  g_RenderTargets = RenderTargetStack{};
  g_Transforms = TransformState{};
  g_VertexBatch = VertexBatch{};
  g_RenderStates = RenderStateSettings{};
  g_RenderStateCache = RenderStateCache{};
  g_HardwareTextures = HardwareTextureState{};
  g_Surfaces = SurfaceState{};
  g_Transitions = TransitionState{};
}
