#include "graphics/Graphics_Window.h"

#include <string>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Frame.h"

namespace {
bool g_captionSet = false;
std::string g_caption;
int32_t g_windowColour = 0xFFFFFF;
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
  g_captionSet = caption != nullptr;
  g_caption = caption ? caption : "";
}

const char* GR_Window_GetCaption() { return g_captionSet ? g_caption.c_str() : nullptr; }

void GR_Window_SetColour(int32_t colour) { g_windowColour = colour; }

int32_t GR_Window_GetColour() { return g_windowColour; }
