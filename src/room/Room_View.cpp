#include "room/Room_View.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/Graphics_Window.h"
#include "object/Object_Class.h"
#include "platform/Numeric.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"
#include "room/Room_Draw.h"

namespace {

// The instance a view follows: an instance id above 99999, else the first live instance of the
// object or of a descendant; null when there is none.
CInstance* FollowTarget(int32_t object) {
  if (object > 99999) {
    CInstance* instance = Instance_Find(object);
    return instance != nullptr && instance->IsLive() ? instance : nullptr;
  }
  const CObject* record = Object_Find(object);
  if (record == nullptr) return nullptr;
  for (auto* node = record->m_InstancesRecursive.First(); node != nullptr; node = node->next) {
    if (node->item->IsLive()) return node->item;
  }
  return nullptr;
}

// One axis of view following: the view position `pos` of size `size` moved towards the target
// at `target` with the border, kept inside 0..roomSize and limited to `speed` (negative: no
// limit).
float Follow(float pos, float size, float target, int32_t border, int32_t speed, int32_t roomSize) {
  const float p = std::floor(target);
  float t = pos;
  if (2.0f * static_cast<float>(border) >= size) {
    t = p - size / 2.0f;
  } else if (pos > p - static_cast<float>(border)) {
    t = p - static_cast<float>(border);
  } else if (p + static_cast<float>(border) > pos + size) {
    t = p + static_cast<float>(border) - size;
  }
  if (t < 0.0f) t = 0.0f;
  if (t + size > static_cast<float>(roomSize)) t = static_cast<float>(roomSize) - size;
  if (speed >= 0) {
    const float s = static_cast<float>(speed);
    if (t < pos - s) t = pos - s;
    if (t > pos + s) t = pos + s;
  }
  return t;
}

// num / den, or 1 when either is not above 0.
float ScaleOr1(float num, float den) { return num > 0.0f && den > 0.0f ? num / den : 1.0f; }

int32_t WindowWidth() { return g_GraphicsDevice.windowWidth; }
int32_t WindowHeight() { return g_GraphicsDevice.windowHeight; }

}  // namespace

void Room_UpdateViews() {
  CRoom* room = CurrentRoom;
  if (room == nullptr) return;
  if (!room->m_ViewsEnabled) {
    for (int32_t v = 0; v < kRoomViewCount; ++v) GR_Window_ClearViewMapping(v);
    return;
  }
  for (RoomView& view : room->m_Views) {
    if (!view.visible || view.object < 0) continue;
    CInstance* target = FollowTarget(view.object);
    if (target == nullptr) continue;
    Instance_UpdateBoundingBox(target);
    const float xt = Follow(view.xview, view.wview, target->i_x, view.hborder, view.hspeed, room->m_Width);
    const float yt = Follow(view.yview, view.hview, target->i_y, view.vborder, view.vspeed, room->m_Height);
    view.xview = xt;
    view.yview = yt;
  }
  int64_t left = 999999, right = -999999, top = 999999, bottom = -999999;
  for (int32_t v = 0; v < kRoomViewCount; ++v) {
    const RoomView& view = room->m_Views[v];
    GR_Window_ClearViewMapping(v);
    if (!view.visible) continue;
    GR_Window_SetViewMapping(v, static_cast<float>(view.xport), static_cast<float>(view.yport),
                             static_cast<float>(view.wport), static_cast<float>(view.hport), view.xview, view.yview,
                             view.wview, view.hview, view.angle, view.surfaceId);
    left = std::min<int64_t>(left, view.xport);
    top = std::min<int64_t>(top, view.yport);
    right = std::max<int64_t>(right, int64_t{view.xport} + view.wport);
    bottom = std::max<int64_t>(bottom, int64_t{view.yport} + view.hport);
  }
  g_Window.portScaleX = ScaleOr1(static_cast<float>(g_Surfaces.applicationWidth), static_cast<float>(right - left));
  g_Window.portScaleY = ScaleOr1(static_cast<float>(g_Surfaces.applicationHeight), static_cast<float>(bottom - top));
}

void Room_UpdateWindowSize() {
  const CRoom* room = CurrentRoom;
  if (room == nullptr) return;
  int64_t width = room->m_Width;
  int64_t height = room->m_Height;
  if (room->m_ViewsEnabled) {
    width = 8;
    height = 8;
    for (const RoomView& view : room->m_Views) {
      if (!view.visible) continue;
      width = std::max<int64_t>(width, int64_t{view.xport} + view.wport);
      height = std::max<int64_t>(height, int64_t{view.yport} + view.hport);
    }
  }
  // Ports from the game data may add up past 32 bits; the screen limit cuts them down anyway.
  GR_D3D_SetSize(static_cast<int32_t>(std::min<int64_t>(width, INT32_MAX)),
                 static_cast<int32_t>(std::min<int64_t>(height, INT32_MAX)));
}

GuiTransform GUI_ComputeTransform() {
  const GuiSettings& gui = g_RoomDraw.gui;
  const float ww = static_cast<float>(WindowWidth());
  const float wh = static_cast<float>(WindowHeight());
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  GR_GetApplicationPosition(&left, &top, &right, &bottom);
  const float aw = static_cast<float>(right - left);
  const float ah = static_cast<float>(bottom - top);
  GuiTransform t;
  if (gui.maximise) {
    t.offsetX = -std::floor(ww / 2.0f);
    if (gui.maximiseOffsetX != kGuiOffsetUnset) t.offsetX += gui.maximiseOffsetX;
    t.offsetY = -std::floor(wh / 2.0f);
    if (gui.maximiseOffsetY != kGuiOffsetUnset) t.offsetY += gui.maximiseOffsetY;
    t.scaleX = gui.maximiseScaleX;
    t.scaleY = gui.maximiseScaleY;
  } else {
    t.scaleX = ScaleOr1(aw, static_cast<float>(gui.width));
    t.scaleY = ScaleOr1(ah, static_cast<float>(gui.height));
    t.offsetX = -std::floor(aw / 2.0f);
    t.offsetY = -std::floor(ah / 2.0f);
  }
  t.matrix = MatrixIdentity();
  t.matrix.At(0, 0) = t.scaleX;
  t.matrix.At(1, 1) = t.scaleY;
  t.matrix.At(3, 0) = t.offsetX;
  t.matrix.At(3, 1) = t.offsetY;
  t.matrix.At(3, 2) = 1.0f;
  t.inverse = MatrixIdentity();
  t.inverse.At(0, 0) = 1.0f / t.scaleX;
  t.inverse.At(1, 1) = 1.0f / t.scaleY;
  t.inverse.At(3, 0) = -(ww / 2.0f + t.offsetX) / t.scaleX;
  t.inverse.At(3, 1) = -(wh / 2.0f + t.offsetY) / t.scaleY;
  t.inverse.At(3, 2) = -1.0f;
  return t;
}

void GUI_UpdateTransform() {
  const GuiTransform t = GUI_ComputeTransform();
  g_RoomDraw.guiMatrix = t.matrix;
  g_RoomDraw.guiInverse = t.inverse;
  SetTransformMatrix(kMatrixView, t.matrix);
  const float hw = static_cast<float>(WindowWidth()) / 2.0f;
  const float hh = static_cast<float>(WindowHeight()) / 2.0f;
  GR_SetVisibleBounds(num::TruncInt32(std::floor((-hw - t.offsetX) / t.scaleX)),
                      num::TruncInt32(std::floor((-hh - t.offsetY) / t.scaleY)),
                      num::TruncInt32(std::ceil((hw - t.offsetX) / t.scaleX)),
                      num::TruncInt32(std::ceil((hh - t.offsetY) / t.scaleY)));
}

void GUI_SetProjection() {
  const int32_t ww = WindowWidth();
  const int32_t wh = WindowHeight();
  GR_SetViewport(0, 0, ww, wh);
  Matrix projection;
  MatrixOrtho(projection, static_cast<float>(ww), -static_cast<float>(wh), 1.0f, 32000.0f);
  SetTransformMatrix(kMatrixProjection, projection);
  GUI_UpdateTransform();
}

void GUI_SetSize(int32_t width, int32_t height) {
  GuiSettings& gui = g_RoomDraw.gui;
  gui = GuiSettings{};
  gui.width = width;
  gui.height = height;
  if (g_RoomDraw.guiPass) GUI_UpdateTransform();
}

void GUI_SetMaximise(float scaleX, float scaleY, float offsetX, float offsetY) {
  GuiSettings& gui = g_RoomDraw.gui;
  gui = GuiSettings{};
  gui.maximise = true;
  gui.maximiseScaleX = scaleX;
  gui.maximiseScaleY = scaleY;
  gui.maximiseOffsetX = offsetX;
  gui.maximiseOffsetY = offsetY;
  if (g_RoomDraw.guiPass) GUI_UpdateTransform();
}

int32_t GUI_GetWidth() {
  int32_t width = 0, height = 0;
  GR_GetDisplaySize(&width, &height);
  return g_RoomDraw.gui.width < 0 ? width : g_RoomDraw.gui.width;
}

int32_t GUI_GetHeight() {
  int32_t width = 0, height = 0;
  GR_GetDisplaySize(&width, &height);
  return g_RoomDraw.gui.height < 0 ? height : g_RoomDraw.gui.height;
}
