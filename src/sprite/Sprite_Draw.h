// Placing sprite frames on screen: the parts of drawing that are plain arithmetic.
#pragma once

#include <cstdint>

class CSprite;

// The grid of copies that tiles a vector sprite over an area (the area's right and bottom taken
// as its width and height): copy (row i, column j) is drawn at
// (left + j x tileWidth, top + i x tileHeight).
struct SpriteTilePlan {
  double left = 0, top = 0;
  double tileWidth = 0, tileHeight = 0;
  int32_t columns = 0, rows = 0;
};

// The most copies one tiled draw makes.
constexpr int64_t kMaxSpriteTiles = 1000000;

// Plans the tiling of `sprite` placed at (x, y) with the scales over the area. False (nothing to
// draw) when a scale is 0, or a tile's width or height is not above 0 or not finite. The
// columns and rows are cut so that there are at most kMaxSpriteTiles copies.
bool Sprite_PlanVectorTiles(const CSprite& sprite, float x, float y, float xscale, float yscale, float areaLeft,
                            float areaTop, float areaRight, float areaBottom, SpriteTilePlan* plan);
