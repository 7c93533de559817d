#include "graphics/Graphics_Window.h"

#include <string>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Frame.h"
#include "os/OS_Window.h"

namespace {
// The window's caption (when one was set) and colour.
struct WindowLook {
  bool captionSet = false;
  std::string caption;
  int32_t colour = 0xFFFFFF;
  int32_t cursor = 0;
};
WindowLook g_look;
}  // namespace

void GraphicsLeaveFullscreen() {
  GraphicsDeviceState& g = g_GraphicsDevice;
  ShowMainWindowOnce();
  if (!g.fullScreen) return;
  g.fullScreen = false;
  const bool sceneOpen = g.sceneDepth != 0;
  if (sceneOpen) GR_D3D_Finish_Frame(false);
  ResetDeviceForWindowMode();
  if (sceneOpen) GR_D3D_Start_Frame();
}

void GR_Window_SetCaption(const char* caption) {
  g_look.captionSet = caption != nullptr;
  g_look.caption = caption ? caption : "";
}

const char* GR_Window_GetCaption() { return g_look.captionSet ? g_look.caption.c_str() : nullptr; }

void GR_Window_SetColour(int32_t colour) { g_look.colour = colour; }

int32_t GR_Window_GetColour() { return g_look.colour; }

void GR_Window_SetCursor(int32_t cursor) {
  g_look.cursor = cursor;
  if (g_GraphicsDevice.window != nullptr) OS_Window().setCursor(cursor == -1 ? OSCursor::None : OSCursor::Arrow);
}

int32_t GR_Window_GetCursor() { return g_look.cursor; }

void GR_Window_Reset() { g_look = WindowLook{}; }
