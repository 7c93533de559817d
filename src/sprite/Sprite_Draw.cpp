// Sprite drawing.
#include "sprite/Sprite_Draw.h"

#include <algorithm>
#include <cmath>

#include "animation/Skeleton_Class.h"
#include "base/VCL.h"
#include "debug/Profiler.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Transform.h"
#include "runner/GameData.h"
#include "sprite/Sprite_Class.h"

namespace {

// v wrapped into 0 .. p by a period above 0; another period leaves v.
double Wrap(double v, double p) { return p > 0 ? v - std::floor(v / p) * p : v; }

// ceil(extent / tile) + 1, as a count of at least 0 and at most the tile cap.
int64_t TileCount(double extent, double tile) {
  const double n = std::ceil(extent / tile) + 1;
  if (!(n > 0)) return 0;
  return n >= static_cast<double>(kMaxSpriteTiles) ? kMaxSpriteTiles : static_cast<int64_t>(n);
}

}  // namespace

bool Sprite_PlanVectorTiles(const CSprite& sprite, float x, float y, float xscale, float yscale, float areaLeft,
                            float areaTop, float areaRight, float areaBottom, SpriteTilePlan* plan) {
  *plan = SpriteTilePlan();
  if (xscale == 0.0f || yscale == 0.0f) return false;
  const double tw = std::fabs(static_cast<double>(xscale)) * sprite.m_width;
  const double th = std::fabs(static_cast<double>(yscale)) * sprite.m_height;
  if (!(tw > 0 && th > 0 && std::isfinite(tw) && std::isfinite(th))) return false;
  double ox = static_cast<double>(sprite.m_xOrigin) * xscale;
  if (xscale < 0) ox += tw;
  double oy = static_cast<double>(sprite.m_yOrigin) * yscale;
  if (yscale < 0) oy += th;
  double sx = Wrap(static_cast<double>(x) - areaLeft - ox, tw);
  double sy = Wrap(static_cast<double>(y) - areaTop - oy, th);
  if (sx > 0) sx -= tw;
  if (sy > 0) sy -= th;
  const int64_t columns = TileCount(areaRight, tw);
  int64_t rows = TileCount(areaBottom, th);
  if (columns == 0 || rows == 0) return false;
  rows = std::min(rows, kMaxSpriteTiles / columns);
  plan->left = ox + areaLeft + sx;
  plan->top = oy + areaTop + sy;
  plan->tileWidth = tw;
  plan->tileHeight = th;
  plan->columns = static_cast<int32_t>(columns);
  plan->rows = static_cast<int32_t>(rows);
  return true;
}

// ---- Drawing ----------------------------------------------------------------------------------

namespace {

constexpr float kDegreesToRadians = 3.1415927f / 180.0f;

float Radians(float degrees) { return degrees * kDegreesToRadians; }

// True when a sprite at (x, y) reaching rx across and ry down can touch the visible region.
bool InView(float x, float y, double rx, double ry) {
  GR_UpdateVisibleRegion();
  const TransformState& t = g_Transforms;
  return t.visibleMinX - static_cast<double>(x) <= rx && static_cast<double>(x) - t.visibleMaxX <= rx &&
         t.visibleMinY - static_cast<double>(y) <= ry && static_cast<double>(y) - t.visibleMaxY <= ry;
}

// A surface (a texture) is render target 0.
bool DrawingToSurface() { return g_RenderTargets.bound[0] != nullptr; }

// The graphics layer's no-culling flag: set while an orthographic projection the game chose is in
// force.
bool CullingOff() { return g_RenderStates.customOrtho; }

void ReportFailure(const CSprite& sprite) {
  DebugConsole->Output("Error attempting to draw sprite %s\n", sprite.m_name != nullptr ? sprite.m_name : "");
}

// The frame's page entry, when the sprite has page entries (its own or the game data's).
bool UsesPageEntries(const CSprite& sprite) { return sprite.m_pageEntries.Count() > 0; }
TPageEntry* PageEntry(const CSprite& sprite, int32_t frame) {
  return frame < sprite.m_pageEntries.Count() ? sprite.m_pageEntries[frame] : nullptr;
}
int32_t OwnTexture(const CSprite& sprite, int32_t frame) {
  return frame < sprite.m_textures.Count() ? sprite.m_textures[frame] : -1;
}

// Draws a bitmap frame with its origin at (xo, yo) in the frame.
void DrawFrame(const CSprite& sprite, int32_t frame, float xo, float yo, float x, float y, float xscale, float yscale,
               float radians, uint32_t colour, float alpha) {
  const bool drawn =
      UsesPageEntries(sprite)
          ? GR_Texture_DrawEntryExt(PageEntry(sprite, frame), xo, yo, x, y, xscale, yscale, radians, colour, alpha)
          : GR_Texture_DrawExt(OwnTexture(sprite, frame), xo, yo, x, y, xscale, yscale, radians, colour, alpha);
  if (!drawn) ReportFailure(sprite);
}

}  // namespace

void SpriteDraw(const CSprite& sprite, int32_t frame, float x, float y, float xscale, float yscale, float angle,
                uint32_t colour, float alpha) {
  ProfilerScope scope(kProfileSpriteDraw);
  if (sprite.m_numb <= 0) return;
  const int32_t f = sprite.WrapFrame(frame);
  if (!g_RenderStates.mode3D && !CullingOff() && sprite.m_kind != SPRITE_SKELETON) {
    const double reach = std::max(std::fabs(static_cast<double>(sprite.m_radius) * xscale),
                                  std::fabs(static_cast<double>(sprite.m_radius) * yscale));
    if (!InView(x, y, reach, reach)) return;
  }
  switch (sprite.m_kind) {
    case SPRITE_VECTOR:
      sprite.DrawVector(f, static_cast<float>(sprite.m_xOrigin), static_cast<float>(sprite.m_yOrigin), x, y, xscale,
                        yscale, angle, colour, alpha);
      break;
    case SPRITE_SKELETON:
      if (sprite.m_skeleton != nullptr) sprite.m_skeleton->DrawForInstance(f, x, y, xscale, yscale, angle, colour, alpha);
      break;
    default:
      DrawFrame(sprite, f, static_cast<float>(sprite.m_xOrigin), static_cast<float>(sprite.m_yOrigin), x, y, xscale,
                yscale, Radians(angle), colour, alpha);
      break;
  }
}

void SpriteDrawSimple(const CSprite& sprite, int32_t frame, float x, float y) {
  ProfilerScope scope(kProfileSpriteDrawSimple);
  if (sprite.m_numb <= 0) return;
  const int32_t f = sprite.WrapFrame(frame);
  if (!DrawingToSurface() && !CullingOff() && sprite.m_kind != SPRITE_SKELETON &&
      !InView(x, y, sprite.m_radius, sprite.m_radius)) {
    return;
  }
  switch (sprite.m_kind) {
    case SPRITE_VECTOR:
      sprite.DrawVector(f, static_cast<float>(sprite.m_xOrigin), static_cast<float>(sprite.m_yOrigin), x, y, 1, 1, 0,
                        0xFFFFFFFFu, 1);
      break;
    case SPRITE_SKELETON:
      if (sprite.m_skeleton != nullptr) sprite.m_skeleton->DrawForInstance(f, x, y, 1, 1, 0, 0xFFFFFFFFu, 1);
      break;
    default: {
      const float left = x - static_cast<float>(sprite.m_xOrigin);
      const float top = y - static_cast<float>(sprite.m_yOrigin);
      const bool drawn = UsesPageEntries(sprite) ? GR_Texture_DrawEntry(PageEntry(sprite, f), left, top)
                                                 : GR_Texture_Draw(OwnTexture(sprite, f), left, top);
      if (!drawn) ReportFailure(sprite);
      break;
    }
  }
}

void CSprite::DrawStretched(int32_t frame, float x, float y, float width, float height, uint32_t colour,
                            float alpha) const {
  if (m_numb <= 0 || !(width > 0) || !(height > 0) || m_width <= 0 || m_height <= 0) return;
  if (m_kind == SPRITE_SKELETON) return;
  const int32_t f = WrapFrame(frame);
  const float xscale = width / static_cast<float>(m_width);
  const float yscale = height / static_cast<float>(m_height);
  if (m_kind == SPRITE_VECTOR) {
    DrawVector(f, 0, 0, x, y, xscale, yscale, 0, colour, alpha);
    return;
  }
  DrawFrame(*this, f, 0, 0, x, y, xscale, yscale, 0, colour, alpha);
}

void CSprite::DrawPart(int32_t frame, float left, float top, float width, float height, float x, float y,
                       float xscale, float yscale, uint32_t colour, float alpha) const {
  if (m_numb <= 0 || m_kind != SPRITE_BITMAP) return;
  const int32_t f = WrapFrame(frame);
  const bool drawn =
      UsesPageEntries(*this)
          ? GR_Texture_DrawEntryPart(PageEntry(*this, f), left, top, width, height, x, y, xscale, yscale, 0, colour,
                                     alpha)
          : GR_Texture_DrawPart(OwnTexture(*this, f), left, top, width, height, x, y, xscale, yscale, 0, colour, alpha);
  if (!drawn) ReportFailure(*this);
}

void CSprite::DrawGeneral(int32_t frame, float left, float top, float width, float height, float x, float y,
                          float xscale, float yscale, float angle, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4,
                          float alpha) const {
  if (m_numb <= 0 || m_kind != SPRITE_BITMAP) return;
  const int32_t f = WrapFrame(frame);
  if (!DrawingToSurface() && !CullingOff() && !InView(x, y, std::fabs(static_cast<double>(m_radius) * xscale),
                                     std::fabs(static_cast<double>(m_radius) * yscale))) {
    return;
  }
  const float radians = Radians(angle);
  const bool drawn = UsesPageEntries(*this)
                         ? GR_Texture_DrawEntryGeneral(PageEntry(*this, f), left, top, width, height, x, y, xscale,
                                                       yscale, radians, c1, c2, c3, c4, alpha)
                         : GR_Texture_DrawGeneral(OwnTexture(*this, f), left, top, width, height, x, y, xscale, yscale,
                                                  radians, c1, c2, c3, c4, alpha);
  if (!drawn) ReportFailure(*this);
}

void CSprite::DrawPos(int32_t frame, float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                      uint32_t colour, float alpha) const {
  if (m_numb <= 0 || m_kind != SPRITE_BITMAP || !UsesPageEntries(*this)) return;
  if (!GR_Texture_DrawEntryCorners(PageEntry(*this, WrapFrame(frame)), x1, y1, x2, y2, x3, y3, x4, y4, colour, alpha)) {
    ReportFailure(*this);
  }
}

void CSprite::DrawTiled(int32_t frame, float x, float y, float xscale, float yscale, bool across, bool down,
                        float areaLeft, float areaTop, float areaRight, float areaBottom, uint32_t colour,
                        float alpha) const {
  if (m_numb <= 0) return;
  const int32_t f = WrapFrame(frame);
  if (m_kind == SPRITE_VECTOR) {
    SpriteTilePlan plan;
    if (!Sprite_PlanVectorTiles(*this, x, y, xscale, yscale, areaLeft, areaTop, areaRight, areaBottom, &plan)) return;
    for (int32_t i = 0; i < plan.rows; ++i) {
      for (int32_t j = 0; j < plan.columns; ++j) {
        DrawVector(f, static_cast<float>(m_xOrigin), static_cast<float>(m_yOrigin),
                   static_cast<float>(j * plan.tileWidth + plan.left), static_cast<float>(i * plan.tileHeight + plan.top),
                   xscale, yscale, 0, colour, alpha);
      }
    }
    return;
  }
  if (m_kind != SPRITE_BITMAP) return;
  const float xo = static_cast<float>(m_xOrigin);
  const float yo = static_cast<float>(m_yOrigin);
  const bool drawn = UsesPageEntries(*this)
                         ? GR_Texture_DrawEntryTiled(PageEntry(*this, f), xo, yo, x, y, xscale, yscale, across, down,
                                                     areaLeft, areaTop, areaRight, areaBottom, colour, alpha)
                         : GR_Texture_DrawTiled(OwnTexture(*this, f), xo, yo, x, y, xscale, yscale, across, down,
                                                areaLeft, areaTop, areaRight, areaBottom, colour, alpha);
  if (!drawn) ReportFailure(*this);
}

void CSprite::DrawVector(int32_t, float, float, float, float, float, float, float, uint32_t, float) const {
  // The vector items are drawn by the vector renderer; a sprite has none so far.
}
