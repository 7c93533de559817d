#include "graphics/Graphics_Surface.h"

#include <cstring>

#include "base/ErrorSink.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/TBitmap.h"
#include "platform/Numeric.h"
#include "room/Room_Draw.h"
#include "room/Room_View.h"

SurfaceState g_Surfaces;

namespace {

constexpr float kDegreesToRadians = 0.017453292f;

bool HaveDevice() { return g_GraphicsDevice.device != nullptr; }

bool IsTarget(int32_t id) {
  for (int32_t slot : g_Surfaces.targets)
    if (slot == id) return true;
  return false;
}

// Resets the target once when the surface is one, then frees its texture entry.
void ReleaseTexture(int32_t id) {
  Surface* s = GR_Surface_Get(id);
  if (s == nullptr) return;
  if (IsTarget(id)) GR_Surface_ResetTarget();
  GR_Texture_Free(s->textureId);
  s->textureId = -1;
}

void PushViewState() {
  SurfaceState& st = g_Surfaces;
  const TransformState& t = g_Transforms;
  const int32_t words[kSurfaceLevelWords] = {
      t.viewportX,
      t.viewportY,
      t.viewportWidth,
      t.viewportHeight,
      num::TruncInt32(t.viewAreaX),
      num::TruncInt32(t.viewAreaY),
      num::TruncInt32(t.viewAreaWidth),
      num::TruncInt32(t.viewAreaHeight),
      num::TruncInt32(t.viewAreaAngle),
      g_RenderStates.customOrtho ? 1 : 0,
      st.targets[0],
      st.targets[1],
      st.targets[2],
      st.targets[3],
  };
  std::memcpy(st.savedWords + st.savedCount, words, sizeof(words));
  st.savedCount += kSurfaceLevelWords;
}

}  // namespace

int32_t GR_Surface_Create(int32_t width, int32_t height, int32_t id) {
  SurfaceState& st = g_Surfaces;
  if (id < 0) {
    while (st.table.count(st.nextId) != 0) ++st.nextId;
    id = st.nextId++;
    st.table[id] = Surface{id, -1, 0, 0};
  } else if (st.table.count(id) == 0) {
    return -1;
  }
  Surface& s = st.table[id];
  const int32_t textureId = GR_Texture_CreateBlank(width, height, true);
  if (GR_Texture_GetHardware(textureId) == nullptr) {
    // The slot the failed texture took is given back with the record.
    GR_Texture_Free(textureId);
    if (id == st.applicationSurfaceId) st.applicationWidth = st.applicationHeight = 1;
    st.table.erase(id);
    return -1;
  }
  s.textureId = textureId;
  s.width = width;
  s.height = height;
  if (id == st.applicationSurfaceId) {
    st.applicationWidth = width;
    st.applicationHeight = height;
  }
  return id;
}

bool GR_Surface_Exists(int32_t id) { return g_Surfaces.table.count(id) != 0; }

Surface* GR_Surface_Get(int32_t id) {
  auto it = g_Surfaces.table.find(id);
  return it != g_Surfaces.table.end() ? &it->second : nullptr;
}

int32_t GR_Surface_GetWidth(int32_t id) {
  if (id == g_Surfaces.applicationSurfaceId) return g_Surfaces.applicationWidth;
  const Surface* s = GR_Surface_Get(id);
  return s != nullptr ? s->width : -1;
}

int32_t GR_Surface_GetHeight(int32_t id) {
  if (id == g_Surfaces.applicationSurfaceId) return g_Surfaces.applicationHeight;
  const Surface* s = GR_Surface_Get(id);
  return s != nullptr ? s->height : -1;
}

int32_t GR_Surface_GetTexture(int32_t id) {
  const Surface* s = GR_Surface_Get(id);
  return s != nullptr ? s->textureId : -1;
}

bool GR_Surface_Free(int32_t id, bool force) {
  if (id == g_Surfaces.applicationSurfaceId && !force) return false;
  GraphicsFlush();
  ReleaseTexture(id);
  return g_Surfaces.table.erase(id) != 0;
}

bool GR_Surface_Resize(int32_t id, int32_t width, int32_t height) {
  GraphicsFlush();
  if (GR_Surface_Get(id) == nullptr) return false;
  ReleaseTexture(id);
  return GR_Surface_Create(width, height, id) == id;
}

bool GR_Surface_SetTarget(int32_t slot, int32_t id) {
  SurfaceState& st = g_Surfaces;
  if (slot < 0 || slot >= kSurfaceTargetSlots || !HaveDevice()) return false;
  GraphicsFlush();
  const Surface* s = GR_Surface_Get(id);
  if (s == nullptr) return false;
  if (st.targets[slot] == id) return true;
  HardwareTexture* texture = GR_Texture_GetHardware(s->textureId);
  if (texture == nullptr || st.savedCount > kSurfaceStackLimit) return false;
  if (slot != 0) {
    st.targets[slot] = id;
    return BindRenderTarget(slot, texture);
  }
  PushViewState();
  if (!PushRenderTarget()) {
    st.savedCount -= kSurfaceLevelWords;
    ReportRuntimeError(
        "surface stack is full - ensure surface_reset_target() is called for each surface_set_target().", false);
    return false;
  }
  if (!BindRenderTarget(0, texture)) return false;
  GR_SetViewport(0, 0, s->width, s->height);
  GR_SetViewArea(0.0f, 0.0f, static_cast<float>(s->width), static_cast<float>(s->height), 0.0f);
  st.targets[0] = id;
  return true;
}

bool GR_Surface_ResetTarget() {
  SurfaceState& st = g_Surfaces;
  if (!HaveDevice()) return false;
  GraphicsFlush();
  if (!PopRenderTarget()) return false;
  if (st.savedCount < kSurfaceLevelWords) {
    st.savedCount = 0;
    st.targets[0] = -1;
    return false;
  }
  st.savedCount -= kSurfaceLevelWords;
  const int32_t* w = st.savedWords + st.savedCount;
  for (int32_t i = 0; i < kSurfaceTargetSlots; ++i) st.targets[i] = w[10 + i];
  g_RenderStates.customOrtho = w[9] != 0;
  if (g_RoomDraw.guiPass) {
    // The GUI layer is being drawn: its own projection, not the saved view, comes back.
    GUI_SetProjection();
  } else {
    GR_SetViewport(w[0], w[1], w[2], w[3]);
    GR_SetViewArea(static_cast<float>(w[4]), static_cast<float>(w[5]), static_cast<float>(w[6]),
                   static_cast<float>(w[7]), static_cast<float>(w[8]));
  }
  GR_InvalidateVisibleRegion();
  return true;
}

bool GR_Surface_StackEmpty() { return g_Surfaces.savedCount == 0; }

// ---- Drawing ----

void GR_Surface_Draw(int32_t id, float x, float y) {
  if (const Surface* s = GR_Surface_Get(id)) GR_Texture_Draw(s->textureId, x, y);
}

void GR_Surface_DrawExt(int32_t id, float x, float y, float xscale, float yscale, float angle, uint32_t colour,
                        float alpha) {
  if (const Surface* s = GR_Surface_Get(id))
    GR_Texture_DrawExt(s->textureId, 0.0f, 0.0f, x, y, xscale, yscale, angle * kDegreesToRadians, colour, alpha);
}

void GR_Surface_DrawStretched(int32_t id, float x, float y, float width, float height, uint32_t colour, float alpha) {
  const Surface* s = GR_Surface_Get(id);
  if (s == nullptr || !(width > 0.0f) || !(height > 0.0f) || s->width <= 0 || s->height <= 0) return;
  GR_Texture_DrawExt(s->textureId, 0.0f, 0.0f, x, y, width / static_cast<float>(s->width),
                     height / static_cast<float>(s->height), 0.0f, colour, alpha);
}

void GR_Surface_DrawPart(int32_t id, float left, float top, float width, float height, float x, float y, float xscale,
                         float yscale, uint32_t colour, float alpha) {
  if (const Surface* s = GR_Surface_Get(id))
    GR_Texture_DrawPart(s->textureId, left, top, width, height, x, y, xscale, yscale, 0.0f, colour, alpha);
}

void GR_Surface_DrawGeneral(int32_t id, float left, float top, float width, float height, float x, float y,
                            float xscale, float yscale, float angle, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4,
                            float alpha) {
  if (const Surface* s = GR_Surface_Get(id))
    GR_Texture_DrawGeneral(s->textureId, left, top, width, height, x, y, xscale, yscale, angle * kDegreesToRadians, c1,
                           c2, c3, c4, alpha);
}

void GR_Surface_DrawTiled(int32_t id, float x, float y, float xscale, float yscale, bool horizontal, bool vertical,
                          float left, float top, float right, float bottom, uint32_t colour, float alpha) {
  if (const Surface* s = GR_Surface_Get(id))
    GR_Texture_DrawTiled(s->textureId, 0.0f, 0.0f, x, y, xscale, yscale, horizontal, vertical, left, top, right - left,
                         bottom - top, colour, alpha);
}

// ---- Read-back and freeing ----

std::unique_ptr<TBitmap> GR_Surface_GetBitmap(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (!HaveDevice()) return nullptr;
  GraphicsFlush();
  if (width < 1 || height < 1 || width > kSurfaceMaxRegionSide || height > kSurfaceMaxRegionSide) return nullptr;
  const Surface* s = GR_Surface_Get(id);
  HardwareTexture* texture = s != nullptr ? GR_Texture_GetHardware(s->textureId) : nullptr;
  if (texture == nullptr) return nullptr;
  return BitmapFromPixelBlock(ReadTexturePixels(texture, x, y, width, height), width, height);
}

void GR_Surface_FreeAll() {
  SurfaceState& st = g_Surfaces;
  for (auto& entry : st.table) ReleaseTexture(entry.first);
  st.table.clear();
  st.applicationSurfaceId = kNoApplicationSurface;
}
