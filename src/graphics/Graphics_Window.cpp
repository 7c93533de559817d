#include "graphics/Graphics_Window.h"

#include <cmath>
#include <string>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Frame.h"
#include "io/IO_Main.h"
#include "os/OS_Window.h"
#include "platform/Numeric.h"
#include "run/Run_Frame.h"

namespace {
// The window's caption (when one was set) and colour, and the views drawn this frame.
struct WindowLook {
  bool captionSet = false;
  std::string caption;
  int32_t colour = 0xFFFFFF;
  int32_t cursor = 0;
  ViewMapping mappings[kViewMappings];
  int32_t drawingView = 0;
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

bool GR_Window_GetFullscreen() { return g_GraphicsDevice.fullScreen; }

void GR_Window_SetFullscreen(bool on) {
  GraphicsDeviceState& g = g_GraphicsDevice;
  if (on == g.fullScreen) return;
  if (on) {
    OSRect client{};
    const bool known = OS_Window().getClientRect(&client);
    g.deferredWidth = known ? client.Width() : g.windowWidth;
    g.deferredHeight = known ? client.Height() : g.windowHeight;
  }
  g.fullScreen = on;
  g_FrameLoop.resizeCountdown = 1;
}

void GR_Window_SetCaption(const char* caption) {
  g_look.captionSet = caption != nullptr;
  g_look.caption = caption ? caption : "";
  OS_Window().setTitle(g_look.caption.c_str());
}

const char* GR_Window_GetCaption() { return g_look.captionSet ? g_look.caption.c_str() : nullptr; }

void GR_Window_SetColour(int32_t colour) { g_look.colour = colour; }

int32_t GR_Window_GetColour() { return g_look.colour; }

void GR_Window_SetCursor(int32_t cursor) {
  g_look.cursor = cursor;
  if (g_GraphicsDevice.window != nullptr) OS_Window().setCursor(cursor == -1 ? OSCursor::None : OSCursor::Arrow);
}

int32_t GR_Window_GetCursor() { return g_look.cursor; }

int32_t GR_Window_GetMouseX(int32_t device) { return IO_GetRawMouseX(device); }

int32_t GR_Window_GetMouseY(int32_t device) { return IO_GetRawMouseY(device); }

void GR_Window_Reset() { g_look = WindowLook{}; }

void GR_Window_SetViewMapping(int32_t index, float portX, float portY, float portWidth, float portHeight, float viewX,
                              float viewY, float viewWidth, float viewHeight, float angle, int32_t surface) {
  if (index < 0 || index >= kViewMappings) return;
  g_look.mappings[index] =
      ViewMapping{true, viewX, viewY, viewWidth, viewHeight, portX, portY, portWidth, portHeight, angle, surface};
}

void GR_Window_ClearViewMapping(int32_t index) {
  if (index >= 0 && index < kViewMappings) g_look.mappings[index].inUse = false;
}

void GR_Window_InitViewMappings() {
  for (ViewMapping& m : g_look.mappings) m.inUse = false;
}

const ViewMapping* GR_Window_GetViewMapping(int32_t index) {
  return index >= 0 && index < kViewMappings ? &g_look.mappings[index] : nullptr;
}

void GR_Window_SetDrawingView(int32_t index) { g_look.drawingView = index; }

int32_t GR_Window_GetDrawingView() { return g_look.drawingView; }

void GR_Window_MapRoomToPort(int32_t index, float x, float y, int32_t* outX, int32_t* outY) {
  float px = x, py = y;
  const ViewMapping* m = GR_Window_GetViewMapping(index);
  if (m != nullptr && m->inUse && m->viewWidth != 0.0f && m->viewHeight != 0.0f) {
    const float dx = (x - m->viewX) * m->portWidth / m->viewWidth;
    const float dy = (y - m->viewY) * m->portHeight / m->viewHeight;
    if (std::fabs(m->angle) < 0.01f) {
      px = m->portX + dx;
      py = m->portY + dy;
    } else {
      const float t = m->angle * 3.1415927f / 180.0f;
      const float ex = dx - m->portWidth / 2.0f, ey = dy - m->portHeight / 2.0f;
      px = m->portX + m->portWidth / 2.0f + std::cos(t) * ex + std::sin(t) * ey;
      py = m->portY + m->portHeight / 2.0f - std::sin(t) * ex + std::cos(t) * ey;
    }
  }
  *outX = num::RoundInt32(px);
  *outY = num::RoundInt32(py);
}
