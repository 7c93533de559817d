#include "graphics/Graphics_Window.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "base/VCL.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Display.h"
#include "graphics/Graphics_Frame.h"
#include "graphics/Graphics_Surface.h"
#include "io/IO_Main.h"
#include "os/OS_Window.h"
#include "platform/Numeric.h"
#include "room/Room_Class.h"
#include "room/Room_Draw.h"
#include "run/Run_Frame.h"

WindowState g_Window;

namespace {

constexpr float kPi = 3.1415927f;

// The frame loop applies a size change over this many frames, a mode change at the next one.
constexpr int32_t kResizeFrames = 10;

const ViewMapping* UsableMapping(int32_t index) {
  const ViewMapping* m = GR_Window_GetViewMapping(index);
  return m != nullptr && m->inUse ? m : nullptr;
}

// The client size measured at the frame's begin, less the bars on both sides; false when nothing
// is left (a minimised window), so that no division by 0 or less happens.
bool AreaSize(float* width, float* height) {
  int32_t left, top, right, bottom;
  GR_GetApplicationPosition(&left, &top, &right, &bottom);
  *width = static_cast<float>(g_GraphicsDevice.clientWidth - 2 * left);
  *height = static_cast<float>(g_GraphicsDevice.clientHeight - 2 * top);
  return *width > 0.0f && *height > 0.0f;
}

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
  g_Window.captionSet = true;
  g_Window.caption = caption != nullptr ? caption : "";
  OS_Window().setTitle(g_Window.caption.c_str());
}

const char* GR_Window_GetCaption() { return g_Window.captionSet ? g_Window.caption.c_str() : nullptr; }

void GR_Window_SetColour(int32_t colour) { g_Window.colour = static_cast<uint32_t>(colour) | 0xFF000000u; }

int32_t GR_Window_GetColour() { return static_cast<int32_t>(g_Window.colour & 0xFFFFFFu); }

void GR_Window_SetCursor(int32_t cursor) {
  g_Window.cursor = cursor;
  // Shapes for the constants 0, -1, -2, ... -22.
  static const OSCursor kShapes[] = {
      OSCursor::Arrow,    OSCursor::None,     OSCursor::Arrow,  OSCursor::Cross,       OSCursor::IBeam,
      OSCursor::None,     OSCursor::SizeNESW, OSCursor::SizeNS, OSCursor::SizeNWSE,    OSCursor::SizeWE,
      OSCursor::UpArrow,  OSCursor::Wait,     OSCursor::Hand,   OSCursor::No,          OSCursor::No,
      OSCursor::No,       OSCursor::No,       OSCursor::No,     OSCursor::No,          OSCursor::AppStarting,
      OSCursor::Help,     OSCursor::Hand,     OSCursor::SizeAll};
  constexpr int32_t kShapeCount = static_cast<int32_t>(sizeof kShapes / sizeof kShapes[0]);
  if (cursor > 0 || cursor <= -kShapeCount) return;
  OS_Window().setCursor(kShapes[-cursor]);
}

int32_t GR_Window_GetCursor() { return g_Window.cursor; }

void GR_Window_Reset() { g_Window = WindowState{}; }

// ---- View mappings ----

void GR_Window_SetViewMapping(int32_t index, float portX, float portY, float portWidth, float portHeight, float viewX,
                              float viewY, float viewWidth, float viewHeight, float angle, int32_t surface) {
  if (index < 0 || index >= kViewMappings) return;
  g_Window.mappings[index] =
      ViewMapping{true, viewX, viewY, viewWidth, viewHeight, portX, portY, portWidth, portHeight, angle, surface};
}

void GR_Window_ClearViewMapping(int32_t index) {
  if (index >= 0 && index < kViewMappings) g_Window.mappings[index].inUse = false;
}

void GR_Window_InitViewMappings() {
  for (ViewMapping& m : g_Window.mappings) m.inUse = false;
}

const ViewMapping* GR_Window_GetViewMapping(int32_t index) {
  return index >= 0 && index < kViewMappings ? &g_Window.mappings[index] : nullptr;
}

int32_t GR_Window_GetDrawingView() { return g_RoomDraw.viewCurrent; }

void GR_Window_MapRoomToPort(int32_t index, float x, float y, int32_t* outX, int32_t* outY) {
  float px = x, py = y;
  const ViewMapping* m = UsableMapping(index);
  if (m != nullptr && m->viewWidth != 0.0f && m->viewHeight != 0.0f) {
    const float dx = (x - m->viewX) * m->portWidth / m->viewWidth;
    const float dy = (y - m->viewY) * m->portHeight / m->viewHeight;
    if (std::fabs(m->angle) < 0.01f) {
      px = m->portX + dx;
      py = m->portY + dy;
    } else {
      const float t = m->angle * kPi / 180.0f;
      const float ex = dx - m->portWidth / 2.0f, ey = dy - m->portHeight / 2.0f;
      px = m->portX + m->portWidth / 2.0f + std::cos(t) * ex + std::sin(t) * ey;
      py = m->portY + m->portHeight / 2.0f - std::sin(t) * ex + std::cos(t) * ey;
    }
  }
  *outX = num::RoundInt32(px);
  *outY = num::RoundInt32(py);
}

// ---- Application area and mouse mapping ----

void GR_GetApplicationPosition(int32_t* left, int32_t* top, int32_t* right, int32_t* bottom) {
  const GraphicsDeviceState& g = g_GraphicsDevice;
  const int32_t ww = g.windowWidth, wh = g.windowHeight;
  const int32_t sw = g_Surfaces.applicationWidth, sh = g_Surfaces.applicationHeight;
  *left = *top = 0;
  *right = ww;
  *bottom = wh;
  if (!g.keepAspect || !g_Window.appSurfaceUsed || sw <= 0 || sh <= 0) return;
  const float ratio = static_cast<float>(sw) / static_cast<float>(sh);
  if (static_cast<float>(wh) > static_cast<float>(ww) / ratio) {
    const float h = static_cast<float>(sh) / static_cast<float>(sw) * static_cast<float>(ww);
    *top = num::TruncInt32((static_cast<float>(wh) - h) * 0.5f);
    *bottom = num::TruncInt32(static_cast<float>(*top) + h);
  } else {
    const float w = static_cast<float>(wh) * ratio;
    *left = num::TruncInt32((static_cast<float>(ww) - w) * 0.5f);
    *right = num::TruncInt32(static_cast<float>(*left) + w);
  }
}

int32_t GR_Window_GetGameWidth() { return g_Window.gameWidth; }

int32_t GR_Window_GetGameHeight() { return g_Window.gameHeight; }

void GR_Window_MapThroughView(int32_t index, int32_t x, int32_t y, int32_t* roomX, int32_t* roomY) {
  const ViewMapping* m = UsableMapping(index);
  if (m == nullptr || m->portWidth == 0.0f || m->portHeight == 0.0f) return;
  float areaWidth, areaHeight;
  if (!AreaSize(&areaWidth, &areaHeight)) return;
  // Client pixels to application-surface pixels; a surface not made yet counts as the area.
  const int32_t sw = g_Surfaces.applicationWidth, sh = g_Surfaces.applicationHeight;
  const float sx = sw > 0 ? static_cast<float>(sw) / areaWidth : 1.0f;
  const float sy = sh > 0 ? static_cast<float>(sh) / areaHeight : 1.0f;
  const float px = std::trunc(static_cast<float>(x) * sx / g_Window.portScaleX) - std::trunc(m->portX);
  const float py = std::trunc(static_cast<float>(y) * sy / g_Window.portScaleY) - std::trunc(m->portY);
  const float rx = px * m->viewWidth / m->portWidth;
  const float ry = py * m->viewHeight / m->portHeight;
  float outX, outY;
  if (std::fabs(m->angle) < 0.01f) {
    outX = m->viewX + rx;
    outY = m->viewY + ry;
  } else {
    const float t = -m->angle * kPi / 180.0f;
    const float dx = rx - m->viewWidth / 2.0f, dy = ry - m->viewHeight / 2.0f;
    outX = m->viewX + m->viewWidth / 2.0f + std::cos(t) * dx + std::sin(t) * dy;
    outY = m->viewY + m->viewHeight / 2.0f - std::sin(t) * dx + std::cos(t) * dy;
  }
  *roomX = num::RoundInt32(outX);
  *roomY = num::RoundInt32(outY);
}

void GR_Window_MapMouse(int32_t x, int32_t y, int32_t* roomX, int32_t* roomY) {
  int32_t left, top, right, bottom;
  GR_GetApplicationPosition(&left, &top, &right, &bottom);
  x -= left;
  y -= top;
  const CRoom* room = CurrentRoom;
  int32_t highest = -1;
  if (room != nullptr) {
    for (int32_t v = 0; v < kRoomViewCount; ++v) {
      const RoomView& view = room->m_Views[v];
      if (UsableMapping(v) != nullptr && view.visible != 0 && view.surfaceId == -1) highest = v;
    }
  }
  if (highest < 0) {
    float areaWidth, areaHeight;
    if (!AreaSize(&areaWidth, &areaHeight)) return;
    const double fx = room != nullptr ? room->m_Width / static_cast<double>(areaWidth) : 1.0;
    const double fy = room != nullptr ? room->m_Height / static_cast<double>(areaHeight) : 1.0;
    *roomX = num::TruncInt32(x * fx);
    *roomY = num::TruncInt32(y * fy);
    return;
  }
  int32_t resultX = *roomX, resultY = *roomY;
  for (int32_t v = highest; v >= 0; --v) {
    const RoomView& view = room->m_Views[v];
    if (UsableMapping(v) == nullptr || view.visible == 0 || view.surfaceId != -1) continue;
    GR_Window_MapThroughView(v, x, y, &resultX, &resultY);
    const ViewMapping* m = UsableMapping(v);
    if (resultX >= m->viewX && resultX < m->viewX + m->viewWidth && resultY >= m->viewY &&
        resultY < m->viewY + m->viewHeight)
      break;
  }
  *roomX = resultX;
  *roomY = resultY;
}

void GR_Window_MapViewMouse(int32_t index, int32_t x, int32_t y, int32_t* roomX, int32_t* roomY) {
  int32_t left, top, right, bottom;
  GR_GetApplicationPosition(&left, &top, &right, &bottom);
  *roomX = *roomY = left;
  GR_Window_MapThroughView(index, x - left, y - top, roomX, roomY);
}

// ---- Window requests ----

void GR_Window_SetFullscreen(bool on) {
  GraphicsDeviceState& g = g_GraphicsDevice;
  if (on == g.fullScreen) return;
  if (!g.fullScreen) {
    g.deferredWidth = g.windowWidth;
    g.deferredHeight = g.windowHeight;
  }
  g.fullScreen = on;
  g_FrameLoop.resizeCountdown = 1;
}

bool GR_Window_GetFullscreen() { return g_GraphicsDevice.fullScreen; }

void GR_Window_SetSize(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return;
  GraphicsDeviceState& g = g_GraphicsDevice;
  g.pendingWidth = width;
  g.pendingHeight = height;
  OSRect client;
  const bool sameSize = OS_Window().getClientRect(&client) && client.Width() == width && client.Height() == height;
  if (sameSize || g.fullScreen || g_FrameLoop.resizeCountdown > kResizeFrames) return;
  g_FrameLoop.resizeCountdown = kResizeFrames;
}

void GR_Window_SetPosition(int32_t x, int32_t y) {
  OSRect frame;
  if (!OS_Window().getWindowRect(&frame)) return;
  const OSRect borders = OS_Window().frameBorders();
  OS_Window().setWindowRect(x - borders.left, y - borders.top, frame.Width(), frame.Height());
}

void GR_Window_SetRectangle(int32_t x, int32_t y, int32_t width, int32_t height) {
  GR_Window_SetPosition(x, y);
  GR_Window_SetSize(width, height);
  g_GraphicsDevice.keepWindowPosition = true;
}

void GR_Window_Centre() {
  OSRect frame;
  if (g_Adapters.count < 1 || !OS_Window().getWindowRect(&frame)) return;
  const AdapterInfo& screen = g_Adapters.adapters[0];
  OS_Window().setWindowRect((screen.desktopWidth - frame.Width()) / 2, (screen.desktopHeight - frame.Height()) / 2,
                            frame.Width(), frame.Height());
}

int32_t GR_Window_GetX() {
  int32_t x = 0, y = 0;
  return OS_Window().clientToScreen(&x, &y) ? x : 0;
}

int32_t GR_Window_GetY() {
  int32_t x = 0, y = 0;
  return OS_Window().clientToScreen(&x, &y) ? y : 0;
}

int32_t GR_Window_GetWidth() {
  OSRect client;
  if (OS_Window().getClientRect(&client)) return client.Width();
  DebugConsole->Output("GetClientRect failed\n");
  return 0;
}

int32_t GR_Window_GetHeight() {
  OSRect client;
  return OS_Window().getClientRect(&client) ? client.Height() : 0;
}

int32_t GR_Window_GetVisibleRects(double x1, double y1, double x2, double y2, GrowArray<double>* out) {
  const int32_t monitors = OS_Window().monitorCount();
  for (int32_t i = 0; i < monitors; ++i) {
    double values[8] = {};
    OSRect area;
    if (OS_Window().monitorWorkArea(i, &area)) {
      const double left = area.left, top = area.top, right = area.right, bottom = area.bottom;
      values[4] = left;
      values[5] = top;
      values[6] = right;
      values[7] = bottom;
      if (x2 > left && x1 < right && y2 > top && y1 < bottom) {
        values[0] = std::max(x1, left);
        values[1] = std::max(y1, top);
        values[2] = std::min(x2, right);
        values[3] = std::min(y2, bottom);
      }
    }
    for (double v : values) out->Push(v);
  }
  return monitors;
}

void GR_Window_SetMousePosition(int32_t x, int32_t y) {
  if (!OS_Window().isActive()) return;
  if (!OS_Window().clientToScreen(&x, &y)) {
    OSRect frame;
    if (OS_Window().getWindowRect(&frame)) {
      x += frame.left;
      y += frame.top;
    }
  }
  GraphicsSetCursorPos(x, y, true);
}

namespace {

// The room point under pointer device `device` (without a room its client position as it is);
// false (nothing written) for a device outside 0..9.
bool MouseInRoom(int32_t device, int32_t* roomX, int32_t* roomY) {
  if (device < 0 || device >= kInputDevices) return false;
  const int32_t x = IO_GetRawMouseX(device), y = IO_GetRawMouseY(device);
  *roomX = x;
  *roomY = y;
  if (CurrentRoom != nullptr) GR_Window_MapMouse(x, y, roomX, roomY);
  return true;
}

}  // namespace

int32_t GR_Window_GetMouseX(int32_t device) {
  int32_t x = 0, y = 0;
  return MouseInRoom(device, &x, &y) ? x : 0;
}

int32_t GR_Window_GetMouseY(int32_t device) {
  int32_t x = 0, y = 0;
  return MouseInRoom(device, &x, &y) ? y : 0;
}
