#include "room/Room_Draw.h"

#include <algorithm>
#include <cmath>

#include "background/Background_Class.h"
#include "background/Background_Main.h"
#include "base/ErrorSink.h"
#include "debug/Profiler.h"
#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/Graphics_Window.h"
#include "io/IO_Main.h"
#include "object/Object_Class.h"
#include "particle/Particle_System.h"
#include "platform/Numeric.h"
#include "room/Event_Dispatch.h"
#include "room/Event_Names.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"
#include "room/Room_Run.h"
#include "room/Room_View.h"
#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Main.h"

RoomDrawState g_RoomDraw;

namespace {

// Depths given to 2-D drawing in 3-D mode.
constexpr float kBackgroundDepth = 12000.0f;
constexpr float kForegroundDepth = -12000.0f;
constexpr float kDrawEndDepth = -13000.0f;
constexpr float kDepthOrderedMost = 11000.0f;
// The particle source is exhausted once its depth is not above this.
constexpr float kParticlesExhausted = -100000000.0f;

int32_t WindowWidth() { return g_GraphicsDevice.windowWidth; }
int32_t WindowHeight() { return g_GraphicsDevice.windowHeight; }

// The visible region the last view area (or GUI transform) produced.
DrawRegion CurrentRegion() {
  const TransformState& t = g_Transforms;
  return DrawRegion{t.boundsLeft, t.boundsTop, t.boundsRight, t.boundsBottom};
}

void SetRegion(const DrawRegion& region) { GR_SetVisibleBounds(region.left, region.top, region.right, region.bottom); }

// Viewport and view area over the whole window; answers the visible region that gives.
DrawRegion WholeWindow() {
  const int32_t ww = WindowWidth(), wh = WindowHeight();
  GR_SetViewport(0, 0, ww, wh);
  GR_SetViewArea(0.0f, 0.0f, static_cast<float>(ww), static_cast<float>(wh), 0.0f);
  return CurrentRegion();
}

bool Drawable(const CInstance* instance) { return instance->IsLive() && instance->i_visible != 0; }

bool HandlesDrawEvent(const CInstance* instance, int32_t number) {
  return Drawable(instance) && instance->i_object != nullptr && instance->i_object->HasEvent(EVENT_DRAW, number);
}

// True when some object handles draw event `number`, its own or inherited. A pass over a room
// with fewer objects than instances asks this first, so that a draw event no object has costs a
// walk over the objects, not over every instance.
bool AnyObjectHandlesDrawEvent(const CRoom& room, int32_t number) {
  const int32_t objects = Object_Count();
  if (objects >= room.m_Active.count) return true;
  for (int32_t i = 0; i < objects; ++i) {
    const CObject* object = Object_Find(i);
    if (object != nullptr && object->HasEvent(EVENT_DRAW, number)) return true;
  }
  return false;
}

// The drawable instance at `from` or before it in the active list; null when none.
CInstance* DrawableFrom(CInstance* from) {
  while (from != nullptr && !Drawable(from)) from = from->i_prev;
  return from;
}

// The index of the first visible tile at `from` or after it; -1 when none.
int32_t VisibleTileFrom(const CRoom& room, int32_t from) {
  for (int32_t i = std::max(from, 0); i < room.m_Tiles.Count(); ++i) {
    if (room.m_Tiles[i].visible != 0) return i;
  }
  return -1;
}

void DrawBackgroundSlots(const CRoom& room, const DrawRegion& region, bool foreground) {
  for (const RoomBackground& slot : room.m_Backgrounds) {
    if (!slot.visible || (slot.foreground != 0) != foreground) continue;
    const CBackground* background = Background_Data(slot.index);
    if (background == nullptr) continue;
    background->DrawTiled(
        slot.x, slot.y, slot.xscale, slot.yscale, slot.htiled != 0, slot.vtiled != 0, static_cast<float>(region.left),
        static_cast<float>(region.top), static_cast<float>(int64_t{region.right} - region.left),
        static_cast<float>(int64_t{region.bottom} - region.top), static_cast<uint32_t>(slot.blend), slot.alpha);
  }
}

struct DrawContext {
  CRoom* room;
  DrawRegion region;
};

void DrawDepthItem(void* context, const DepthOrderItem& item) {
  const DrawContext& c = *static_cast<const DrawContext*>(context);
  GR_3D_SetDepth(std::min(item.depth, kDepthOrderedMost));
  switch (item.kind) {
    case DepthOrderItem::kInstance: DrawInstance(item.instance); break;
    case DepthOrderItem::kParticles: ParticleSystem_DrawAtDepth(item.depth); break;
    case DepthOrderItem::kTile: {
      const RoomTile& tile = c.room->m_Tiles[item.tile];
      const CBackground* background = Background_Data(tile.background);
      if (background == nullptr || !Room_TileMeetsRegion(tile, c.region)) break;
      background->DrawPart(static_cast<float>(tile.left), static_cast<float>(tile.top), static_cast<float>(tile.width),
                           static_cast<float>(tile.height), tile.x, tile.y, tile.xscale, tile.yscale,
                           static_cast<uint32_t>(tile.blend), tile.alpha);
      break;
    }
  }
}

// Brings the application surface up to date for this frame (see Graphics_Window.h for its
// flags): made when missing, resized when asked, freed while disabled.
void UpdateApplicationSurface() {
  WindowState& w = g_Window;
  SurfaceState& st = g_Surfaces;
  const bool wasEnabled = w.appSurfaceUsed;
  w.appSurfaceUsed = w.appSurfaceEnabled;
  if (!w.appSurfaceEnabled) {
    st.applicationWidth = WindowWidth();
    st.applicationHeight = WindowHeight();
    if (GR_Surface_Exists(st.applicationSurfaceId)) GR_Surface_Free(st.applicationSurfaceId, true);
    st.applicationSurfaceId = kNoApplicationSurface;
    return;
  }
  if (!wasEnabled) {
    st.applicationWidth = w.appSurfaceRequestedWidth;
    st.applicationHeight = w.appSurfaceRequestedHeight;
  }
  if (!GR_Surface_Exists(st.applicationSurfaceId)) {
    // A surface that never had a size takes the window's.
    const int32_t width = st.applicationWidth > 0 ? st.applicationWidth : WindowWidth();
    const int32_t height = st.applicationHeight > 0 ? st.applicationHeight : WindowHeight();
    const int32_t id = GR_Surface_Create(width, height, -1);
    if (id >= 0) {
      st.applicationSurfaceId = id;
      st.applicationWidth = width;
      st.applicationHeight = height;
    }
  }
  if (st.applicationResizePending) {
    st.applicationResizePending = false;
    if (GR_Surface_Resize(st.applicationSurfaceId, st.pendingWidth, st.pendingHeight)) {
      st.applicationWidth = st.pendingWidth;
      st.applicationHeight = st.pendingHeight;
    }
  }
}

void DrawViews(CRoom& room) {
  if (room.m_ClearWindow) GR_Clear(static_cast<uint32_t>(GR_Window_GetColour()));
  const float sx = g_Window.portScaleX, sy = g_Window.portScaleY;
  for (int32_t v = 0; v < kRoomViewCount; ++v) {
    g_RoomDraw.viewCurrent = v;
    const RoomView& view = room.m_Views[v];
    if (!view.visible) continue;
    bool onSurface = false;
    if (view.surfaceId != -1 && GR_Surface_Exists(view.surfaceId)) {
      GraphicsFlush();
      // Setting the target it already is pushes nothing, so nothing is reset for it either.
      onSurface = g_Surfaces.targets[0] != view.surfaceId && GR_Surface_SetTarget(0, view.surfaceId);
      GR_SetViewport(0, 0, GR_Surface_GetWidth(view.surfaceId), GR_Surface_GetHeight(view.surfaceId));
    } else {
      GR_SetViewport(
          num::TruncInt32(static_cast<float>(view.xport) * sx), num::TruncInt32(static_cast<float>(view.yport) * sy),
          num::TruncInt32(static_cast<float>(view.wport) * sx), num::TruncInt32(static_cast<float>(view.hport) * sy));
    }
    GR_SetViewArea(view.xview, view.yview, view.wview, view.hview, view.angle);
    DrawTheRoom(CurrentRegion());
    if (onSurface) GR_Surface_ResetTarget();
  }
  GraphicsFlush();
}

void DrawCursor() {
  const CSprite* sprite = Sprite_Data(g_RoomDraw.cursorSprite);
  if (sprite == nullptr) return;
  Matrix view = MatrixIdentity();
  view.At(3, 0) = -static_cast<float>(WindowWidth()) / 2.0f;
  view.At(3, 1) = -static_cast<float>(WindowHeight()) / 2.0f;
  view.At(3, 2) = 16000.0f;
  SetTransformMatrix(kMatrixView, view);
  // The cursor is drawn wherever the view puts it: no culling against the visible region.
  const bool customOrtho = g_RenderStates.customOrtho;
  g_RenderStates.customOrtho = true;
  SpriteDraw(*sprite, g_RoomRun.stepCounter, static_cast<float>(g_IO.step.windowMouseX),
             static_cast<float>(g_IO.step.windowMouseY), 1.0f, 1.0f, 0.0f, 0xFFFFFF, 1.0f);
  g_RenderStates.customOrtho = customOrtho;
}

}  // namespace

bool Room_TileMeetsRegion(const RoomTile& tile, const DrawRegion& region) {
  const float x1 = tile.x, x2 = tile.x + static_cast<float>(tile.width) * tile.xscale;
  const float y1 = tile.y, y2 = tile.y + static_cast<float>(tile.height) * tile.yscale;
  const float left = std::min(x1, x2), right = std::max(x1, x2);
  const float top = std::min(y1, y2), bottom = std::max(y1, y2);
  return right >= static_cast<float>(region.left) && left <= static_cast<float>(region.right) &&
         bottom >= static_cast<float>(region.top) && top <= static_cast<float>(region.bottom);
}

void Room_WalkDepthOrder(CRoom& room, void (*visit)(void* context, const DepthOrderItem& item), void* context) {
  CInstance* instance = DrawableFrom(room.m_Active.last);
  int32_t tile = VisibleTileFrom(room, 0);
  float particles = ParticleSystem_MaxDepth();
  int32_t nextTileId = tile >= 0 ? room.m_Tiles[tile].id : -1;
  for (;;) {
    // A draw event may have added or deleted tiles: the next tile is found again by its id, and
    // when it went, the walk goes on from its index in the list as it is now.
    if (tile >= 0 && (tile >= room.m_Tiles.Count() || room.m_Tiles[tile].id != nextTileId)) {
      const int32_t found = room.FindTile(nextTileId);
      tile = VisibleTileFrom(room, found >= 0 ? found : tile);
    }
    nextTileId = tile >= 0 ? room.m_Tiles[tile].id : -1;
    const bool haveParticles = particles > kParticlesExhausted;
    if (instance == nullptr && tile < 0 && !haveParticles) break;
    if (haveParticles && (instance == nullptr || particles > instance->i_depth) &&
        (tile < 0 || particles >= room.m_Tiles[tile].depth)) {
      visit(context, DepthOrderItem{DepthOrderItem::kParticles, nullptr, -1, particles});
      particles = ParticleSystem_NextDepthBelow(particles);
    } else if (tile >= 0 && (instance == nullptr || room.m_Tiles[tile].depth > instance->i_depth)) {
      const DepthOrderItem item{DepthOrderItem::kTile, nullptr, tile, room.m_Tiles[tile].depth};
      tile = VisibleTileFrom(room, tile + 1);
      nextTileId = tile >= 0 ? room.m_Tiles[tile].id : -1;
      visit(context, item);
    } else {
      visit(context, DepthOrderItem{DepthOrderItem::kInstance, instance, -1, instance->i_depth});
      instance = DrawableFrom(instance->i_prev);
    }
  }
}

void PerformDrawEvent(const DrawRegion& region, int32_t number) { PerformPreDrawEvent(region, number, false); }

bool PerformPreDrawEvent(const DrawRegion& region, int32_t number, bool clearFirst) {
  SetRegion(region);
  bool cleared = false;
  if (CurrentRoom == nullptr || !AnyObjectHandlesDrawEvent(*CurrentRoom, number)) return false;
  CInstance* instance = CurrentRoom->m_Active.last;
  while (instance != nullptr) {
    CInstance* previous = instance->i_prev;
    if (HandlesDrawEvent(instance, number)) {
      if (clearFirst && !cleared) {
        GR_Clear(static_cast<uint32_t>(GR_Window_GetColour()));
        cleared = true;
      }
      PerformInstanceEvent(instance, instance, EVENT_DRAW, number);
    }
    instance = previous;
  }
  return cleared;
}

void DrawInstance(CInstance* instance) {
  if (instance->i_object != nullptr && instance->i_object->HasEvent(EVENT_DRAW, kDrawEventDraw)) {
    PerformInstanceEvent(instance, instance, EVENT_DRAW, kDrawEventDraw);
    return;
  }
  const CSprite* sprite = Sprite_Data(instance->i_spriteindex);
  if (sprite == nullptr) return;
  const int32_t frame = num::TruncInt32(instance->i_imageindex);
  if (instance->i_imagescalex == 1.0f && instance->i_imagescaley == 1.0f && instance->i_imageangle == 0.0f &&
      instance->i_imageblend == 0xFFFFFF && instance->i_imagealpha == 1.0f) {
    SpriteDrawSimple(*sprite, frame, instance->i_x, instance->i_y);
  } else {
    SpriteDraw(*sprite, frame, instance->i_x, instance->i_y, instance->i_imagescalex, instance->i_imagescaley,
               instance->i_imageangle, static_cast<uint32_t>(instance->i_imageblend), instance->i_imagealpha);
  }
}

void DrawTheRoom(const DrawRegion& region) {
  ProfilerScope scope(kProfileDrawTheRoom);
  CRoom* room = CurrentRoom;
  if (room == nullptr) return;
  SetRegion(region);
  uint32_t flags = g_RenderStates.mode3D ? kClearDepth : 0;
  uint32_t colour = 0;
  if (room->m_ShowColour) {
    flags |= kClearTarget;
    colour = (static_cast<uint32_t>(room->m_Colour) & 0xFFFFFFu) | 0xFF000000u;
  }
  if (flags != 0) GraphicsClear(colour, 1.0f, 0, flags | kClearDepth | kClearStencil);
  PerformDrawEvent(region, kDrawEventBegin);

  GR_3D_SetDepth(kBackgroundDepth);
  DrawBackgroundSlots(*room, region, false);
  DrawContext context{room, region};
  Room_WalkDepthOrder(*room, DrawDepthItem, &context);
  GraphicsFlush();
  GR_3D_SetDepth(kForegroundDepth);
  DrawBackgroundSlots(*room, region, true);
  GR_3D_SetDepth(kDrawEndDepth);
  PerformDrawEvent(region, kDrawEventEnd);
}

void DrawRoom() {
  ProfilerScope scope(kProfileDrawRoom);
  CRoom* room = CurrentRoom;
  if (room == nullptr) return;
  UpdateApplicationSurface();
  const bool appSurface = g_Window.appSurfaceEnabled;
  const int32_t appId = g_Surfaces.applicationSurfaceId;

  const DrawRegion window = WholeWindow();
  g_Window.portScaleX = g_Window.portScaleY = 1.0f;
  const bool clearWanted = room->m_ClearDisplay && appSurface;
  const bool clearOwed = clearWanted && !PerformPreDrawEvent(window, kDrawEventPreDraw, clearWanted);

  // A surface that could not be made is not drawn into, and no target is reset for it.
  const bool onAppSurface = appSurface && g_Surfaces.targets[0] != appId && GR_Surface_SetTarget(0, appId);
  Room_UpdateViews();
  room->SortTiles();
  if (room->m_ViewsEnabled) {
    DrawViews(*room);
  } else {
    g_RoomDraw.viewCurrent = 0;
    GraphicsFlush();
    GR_SetViewport(0, 0, g_Surfaces.applicationWidth, g_Surfaces.applicationHeight);
    GR_SetViewArea(0.0f, 0.0f, static_cast<float>(room->m_Width), static_cast<float>(room->m_Height), 0.0f);
    DrawTheRoom(CurrentRegion());
  }
  if (onAppSurface) GR_Surface_ResetTarget();
  g_RoomDraw.viewCurrent = 0;

  if (!GR_Surface_StackEmpty()) {
    ShowRuntimeError(kUnbalancedSurfaceStack, false);
    // The targets left set are reset, so the next frame starts from the window again.
    for (int32_t level = 0; level < kSurfaceStackWords && !GR_Surface_StackEmpty(); ++level) {
      if (!GR_Surface_ResetTarget()) break;
    }
    return;
  }

  const bool mode3D = g_RenderStates.mode3D;
  const bool perspective = g_RenderStates.perspective;
  g_RenderStates.mode3D = false;
  const DrawRegion whole = WholeWindow();
  const float sx = g_Window.portScaleX, sy = g_Window.portScaleY;
  g_Window.portScaleX = g_Window.portScaleY = 1.0f;
  if (clearOwed) GR_Clear(static_cast<uint32_t>(GR_Window_GetColour()));
  PerformDrawEvent(whole, kDrawEventPostDraw);
  g_Window.portScaleX = sx;
  g_Window.portScaleY = sy;

  if (appSurface && g_Window.appSurfaceAutoDraw) {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    GR_GetApplicationPosition(&left, &top, &right, &bottom);
    GR_Surface_DrawStretched(appId, static_cast<float>(left), static_cast<float>(top), static_cast<float>(right - left),
                             static_cast<float>(bottom - top), 0xFFFFFF, 1.0f);
  }

  g_RenderStates.mode3D = mode3D;
  GR_3D_SetMode(false);
  GR_3D_SetDepth(0.0f);
  g_RoomDraw.guiPass = true;
  GUI_SetProjection();
  const DrawRegion gui = CurrentRegion();
  PerformDrawEvent(gui, kDrawEventGuiBegin);
  PerformDrawEvent(gui, kDrawEventGui);
  PerformDrawEvent(gui, kDrawEventGuiEnd);
  g_RoomDraw.guiPass = false;

  DrawCursor();
  GR_3D_SetMode(mode3D);
  g_RenderStates.perspective = perspective;
  g_RoomDraw.viewCurrent = 0;
}
