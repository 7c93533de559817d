// Tiling a vector sprite over an area.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Draw.h"

namespace {

TEST(SpriteTiling, TilesCoverTheAreaFromTheWrappedPosition) {
  CSprite s;
  s.m_width = 30;
  s.m_height = 20;
  SpriteTilePlan plan;
  // 30 wide over 100: ceil(100 / 30) + 1 = 5 columns; 20 high over 50: 4 rows.
  ASSERT_TRUE(Sprite_PlanVectorTiles(s, 0, 0, 1, 1, 0, 0, 100, 50, &plan));
  EXPECT_EQ(plan.columns, 5);
  EXPECT_EQ(plan.rows, 4);
  EXPECT_EQ(plan.left, 0);
  EXPECT_EQ(plan.top, 0);
  EXPECT_EQ(plan.tileWidth, 30);
  // A position inside the first tile starts the grid one tile to the left of it.
  ASSERT_TRUE(Sprite_PlanVectorTiles(s, 40, 5, 1, 1, 0, 0, 100, 50, &plan));
  EXPECT_EQ(plan.left, 10 - 30);
  EXPECT_EQ(plan.top, 5 - 20);
  // The origin shifts the grid; a negative scale counts the tile from its other edge.
  s.m_xOrigin = 5;
  ASSERT_TRUE(Sprite_PlanVectorTiles(s, 40, 0, 2, 1, 0, 0, 100, 50, &plan));
  EXPECT_EQ(plan.tileWidth, 60);
  EXPECT_EQ(plan.columns, 3);
  EXPECT_EQ(plan.left, 10 + (30 - 60));  // wrap(40 - 10) = 30, minus a tile, plus the origin 10
  ASSERT_TRUE(Sprite_PlanVectorTiles(s, 40, 0, -1, 1, 0, 0, 100, 50, &plan));
  EXPECT_EQ(plan.tileWidth, 30);
}

TEST(SpriteTiling, DegenerateTilesDrawNothingAndHugeGridsAreCut) {
  CSprite s;
  s.m_width = 30;
  s.m_height = 20;
  SpriteTilePlan plan;
  EXPECT_FALSE(Sprite_PlanVectorTiles(s, 0, 0, 0, 1, 0, 0, 100, 100, &plan));
  EXPECT_FALSE(Sprite_PlanVectorTiles(s, 0, 0, std::numeric_limits<float>::infinity(), 1, 0, 0, 100, 100, &plan));
  EXPECT_FALSE(Sprite_PlanVectorTiles(s, 0, 0, std::nanf(""), 1, 0, 0, 100, 100, &plan));
  EXPECT_FALSE(Sprite_PlanVectorTiles(s, 0, 0, 1, 1, 0, 0, -100, 100, &plan));
  s.m_width = 0;
  EXPECT_FALSE(Sprite_PlanVectorTiles(s, 0, 0, 1, 1, 0, 0, 100, 100, &plan));
  s.m_width = 1;
  ASSERT_TRUE(Sprite_PlanVectorTiles(s, 0, 0, 1e-6f, 1e-6f, 0, 0, 1e9f, 1e9f, &plan));
  EXPECT_LE(static_cast<int64_t>(plan.columns) * plan.rows, kMaxSpriteTiles);
  EXPECT_GT(plan.rows, 0);
}

}  // namespace
