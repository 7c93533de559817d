// Sprite drawing.
#include "sprite/Sprite_Draw.h"

#include <algorithm>
#include <cmath>

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
