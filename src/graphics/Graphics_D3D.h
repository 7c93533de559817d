// The one graphics device of the process: its creation on the chosen adapter with one fallback,
// windowed and full-screen modes switched by resetting it, the display (back-buffer) size, the
// multisampling and vertical-sync settings that the next reset applies, and shutdown.
//
// The device is reached through the device layer (graphics/device/D3D_Device.h); the window is
// the game's SDL window (made with SDL_WINDOW_OPENGL), or none when rendering off screen.
// Main thread only.
#pragma once

#include <cstdint>

#include "graphics/device/D3D_Device.h"

// GR_D3D_Init flags.
constexpr uint32_t kGraphicsFullScreen = 1;
constexpr uint32_t kGraphicsVsync = 2;
constexpr uint32_t kGraphicsSoftwareVertices = 4;
constexpr uint32_t kGraphicsInterpolate = 8;
constexpr uint32_t kGraphicsKeepAspect = 16;
constexpr uint32_t kGraphicsShowWindowOnce = 0x4000;

struct GraphicsDeviceState {
  IDirect3D9* d3d = nullptr;  // the device object (the extended one when it was chosen)
  IDirect3DDevice9* device = nullptr;
  SDL_Window* window = nullptr;
  bool plainD3D9 = true;
  uint32_t resourcePool = D3DPOOL_MANAGED;
  D3DPRESENT_PARAMETERS presentParams;
  // Applied by the next reset.
  uint32_t multisample = 0;
  uint32_t swapEffect = D3DSWAPEFFECT_COPY;
  bool vsync = false;
  bool fullScreen = false;
  bool keepAspect = false;
  uint32_t initFlags = 0;
  D3DCAPS9 caps;
  uint32_t multisampleMask = 0;     // bit n set when n samples are supported
  int32_t simultaneousTargets = 1;  // min(caps, 4) once the device exists
  // Manual clears: clear by quads, and single-use batch buffers (-intel, or an adapter that needs
  // them).
  bool clearByQuads = false;
  bool singleUseBuffers = false;
  // Sizes in pixels.
  int32_t displayWidth = 640, displayHeight = 480;
  int32_t windowWidth = 640, windowHeight = 480;
  int32_t savedWindowedWidth = 640, savedWindowedHeight = 480;
  int32_t clientWidth = 640, clientHeight = 480;
  int32_t pendingWidth = -1, pendingHeight = -1;
  int32_t deferredWidth = -1, deferredHeight = -1;
  bool keepWindowPosition = false;  // the next reset does not centre the window
  bool windowShown = false;
  int32_t sceneDepth = 0;
  uint64_t lastPresentMicros = 0;
};
extern GraphicsDeviceState g_GraphicsDevice;

// Graphics start-up: limits the size to the screen, checks the desktop colour depth, makes the
// device, then sets the default states, clears, and sets the viewport and the 2-D view to the
// window size. False when the colour depth is wrong or the device object cannot be made.
bool GR_D3D_Init(SDL_Window* window, int32_t width, int32_t height, uint32_t flags);
// Makes the device object and the device. A device that cannot be made even with the fallback
// ends the process with status -1 after a message.
bool GraphicsInitD3D(SDL_Window* window, int32_t width, int32_t height, uint32_t flags);
// Frees every surface and resets the device for the current window mode; on success clears and
// restores the render states.
bool GR_D3D_Reset();
bool ResetDeviceForWindowMode();
// Sets the display size (each limited to the screen); the same size does nothing.
void GR_D3D_SetSize(int32_t width, int32_t height);
// The frame loop applies a pending window size through this while a resize is pending.
void GR_ApplyWindowSize();
void ApplyPendingWindowSize();
// Shows the main window the first time (ten passes of the message pump, or one with flag
// 0x4000); true the first time, false afterwards.
bool ShowMainWindowOnce();
// 2, 4, 8 or 16 samples with swap effect discard; anything else turns multisampling off with
// swap effect copy. Applied by the next reset.
void GraphicsSetMultisample(int32_t samples);
void GraphicsSetVsync(bool on);
// Vertex and pixel shader versions both at least 2.0.
bool ShadersSupported();
// A message box with the window caption as its title.
void ShowUtf8MessageBox(const char* text);
void GraphicsPostInit();
// Shutdown: frees the surfaces and batch buffers and releases the device and its object.
void GR_D3D_Finish();
// The graphics layer as in a fresh process: GR_D3D_Finish, then every graphics record back to its
// start values, the texture table released and the window's caption and colour forgotten.
void Graphics_Reset();
