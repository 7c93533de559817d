// The bounding box of an instance and its collision tests against points, rectangles, ellipses,
// segments and other instances, over sprites made in memory.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <memory>

#include "room/Instance_Class.h"
#include "room/WorldFixture.h"
#include "testlib/SpriteFixtures.h"

using namespace testsupport;

namespace {

using Box = std::array<int32_t, 4>;

class InstanceCollisionTest : public WorldTest {
 protected:
  // An instance outside any room, with no object, showing `sprite`, at (x, y).
  CInstance* Make(int32_t sprite, double x, double y) {
    m_instances.push_back(std::make_unique<CInstance>(0.0f, 0.0f, 100001 + static_cast<int32_t>(m_instances.size()), -1,
                                                      false));
    CInstance* instance = m_instances.back().get();
    instance->SetSpriteIndex(sprite);
    instance->SetPosition(x, y);
    return instance;
  }
  static Box BoxOf(CInstance* instance) {
    Compute_BoundingBox(instance);
    return {instance->i_bbox[0], instance->i_bbox[1], instance->i_bbox[2], instance->i_bbox[3]};
  }
  void TearDown() override {
    m_instances.clear();
    WorldTest::TearDown();
  }

  std::vector<std::unique_ptr<CInstance>> m_instances;
};

TEST_F(InstanceCollisionTest, TheBoxFollowsPositionOriginScaleAndAngle) {
  const int32_t plain = AddTestSprite(16, 16, {SolidMask(16, 16)});
  const int32_t centred = AddTestSprite(16, 16, {SolidMask(16, 16)}, true, 8, 8);
  struct Case {
    int32_t sprite;
    double x, y, xscale, yscale, angle;
    Box box;
    const char* why;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const int32_t lowest = std::numeric_limits<int32_t>::min();
  const Case cases[] = {
      {plain, 10.5, 0, 1, 1, 0, {10, 0, 25, 15}, "left nearest(10.5) = 10, right from the rounded left"},
      {plain, 11.5, 2.5, 1, 1, 0, {12, 2, 27, 17}, "halves go to the even neighbour"},
      {plain, 10.5, 0, -1, 1, 0, {-6, 0, 9, 15}, "a negative scale swaps left and right before the decrease"},
      {plain, 0, 10, 1, -2, 0, {0, -22, 15, 9}, "the same on the vertical axis"},
      {centred, 100, 100, 2, 2, 0, {84, 84, 115, 115}, "origin and scale"},
      {plain, 0, 0, 1, 1, 90, {0, -16, 15, -1}, "a quarter turn lifts the box above the origin"},
      {plain, 0, 0, 1, 1, 180, {-16, -16, -1, -1}, "a half turn"},
      {centred, 50, 50, 1, 1, 45, {39, 39, 60, 60}, "rotated boxes take the extremes of the turned corners"},
      {plain, nan, 0, 1, 1, 0, {lowest, 0, lowest + 15, 15}, "NaN rounds to the lowest integer"},
      {plain, 1e30, nan, 1, 1, 30, {lowest, lowest, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max()},
       "a side of the lowest integer decreases by wrapping"},
  };
  for (const Case& c : cases) {
    CInstance* instance = Make(c.sprite, c.x, c.y);
    instance->SetImageXScale(c.xscale);
    instance->SetImageYScale(c.yscale);
    instance->SetImageAngle(c.angle);
    EXPECT_EQ(BoxOf(instance), c.box) << c.why;
    EXPECT_EQ(instance->i_precise, 1);
    EXPECT_EQ(instance->i_bboxdirty, 0);
  }
}

TEST_F(InstanceCollisionTest, WithoutACollisionSpriteTheBoxIsThePositionAndTheMaskWinsOverTheSprite) {
  CInstance* bare = Make(-1, 10.7, -3.2);
  EXPECT_EQ(BoxOf(bare), (Box{10, -3, 10, -3}));
  EXPECT_EQ(bare->i_precise, 0);
  // A missing mask index still wins over an existing sprite.
  const int32_t big = AddTestSprite(16, 16, {}, false);
  const int32_t small = AddTestSprite(4, 2, {SolidMask(4, 2)}, true);
  CInstance* masked = Make(big, 0, 0);
  EXPECT_EQ(BoxOf(masked), (Box{0, 0, 15, 15}));
  EXPECT_EQ(masked->i_precise, 0);
  masked->SetMaskIndex(small);
  EXPECT_EQ(masked->i_bboxdirty, 1);
  EXPECT_EQ(BoxOf(masked), (Box{0, 0, 3, 1}));
  EXPECT_EQ(masked->i_precise, 1);
  masked->SetMaskIndex(99);
  EXPECT_EQ(BoxOf(masked), (Box{0, 0, 0, 0}));
}

TEST_F(InstanceCollisionTest, SettersMarkTheBoxDirtyOnlyOnChange) {
  CInstance* instance = Make(AddTestSprite(4, 4, {}), 5, 5);
  Compute_BoundingBox(instance);
  instance->SetPosition(5, 5);
  instance->SetImageXScale(1);
  instance->SetImageYScale(1);
  instance->SetImageAngle(0);
  instance->SetMaskIndex(-1);
  EXPECT_EQ(instance->i_bboxdirty, 0);
  instance->SetPosition(5, 6);
  EXPECT_EQ(instance->i_bboxdirty, 1);
  // The collision tests bring a dirty box up to date themselves.
  EXPECT_TRUE(instance->CollidePoint(5, 9.5, false));
  EXPECT_EQ(instance->i_bboxdirty, 0);
  instance->SetImageAngle(10);
  EXPECT_EQ(instance->i_bboxdirty, 1);
}

TEST_F(InstanceCollisionTest, PointTest) {
  // A 16 x 16 sprite whose only solid pixel is (5, 0).
  const int32_t dot = AddTestSprite(16, 16, {DotsMask(16, 16, {{5, 0}})});
  CInstance* instance = Make(dot, 11.5, 0);  // box 12..27, position nearest(11.5) = 12
  struct Case {
    double px, py;
    bool rough, precise;
  };
  const Case cases[] = {
      {27.5, 3, true, false},  // the right edge pixel, inside the box
      {28, 3, false, false},   // right + 1 is outside
      {11.99, 0, false, false},
      {12, 15.99, true, false},
      {12, 16, false, false},
      {17.9, 0.5, true, true},  // floor 17 is mask column 5 from the rounded position 12
      {16.9, 0.5, true, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(instance->CollidePoint(c.px, c.py, false), c.rough) << c.px << "," << c.py;
    EXPECT_EQ(instance->CollidePoint(c.px, c.py, true), c.precise) << c.px << "," << c.py;
  }
  // A sprite that is not precise answers by its box; one without frames never collides.
  CInstance* rough = Make(AddTestSprite(16, 16, {DotsMask(16, 16, {{5, 0}})}, false), 0, 0);
  EXPECT_TRUE(rough->CollidePoint(0, 0, true));
  CInstance* empty = Make(AddTestSprite(16, 16, {}, true, 0, 0, 0), 0, 0);
  EXPECT_FALSE(empty->CollidePoint(0, 0, false));
  instance->i_marked = 1;
  EXPECT_FALSE(instance->CollidePoint(17.9, 0.5, false));
}

TEST_F(InstanceCollisionTest, RectangleTest) {
  // Box 10..25 x 0..15; the sprite's only solid pixel is (15, 15), room pixel (25, 15).
  const int32_t corner = AddTestSprite(16, 16, {DotsMask(16, 16, {{15, 15}})});
  CInstance* instance = Make(corner, 10, 0);
  struct Case {
    double x1, y1, x2, y2;
    bool rough, precise;
  };
  const Case cases[] = {
      {26, 0, 30, 5, false, false},    // right + 1 <= the rectangle's left
      {25.5, 0, 30, 5, true, false},   // touches the right column, not the solid pixel
      {30, 20, 25.4, 15.4, true, true},  // corners in any order; nearest() reaches (25, 15)
      {0, 16, 40, 20, false, false},   // bottom + 1 <= the rectangle's top
      {0, -5, 9.9, 20, false, false},  // left > the rectangle's right
      {0, -5, 40, -0.1, false, false},  // top > the rectangle's bottom
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Instance_CollideRect(instance, c.x1, c.y1, c.x2, c.y2, false), c.rough) << c.x1 << "," << c.y1;
    EXPECT_EQ(Instance_CollideRect(instance, c.x1, c.y1, c.x2, c.y2, true), c.precise) << c.x1 << "," << c.y1;
  }
  instance->i_marked = 1;
  EXPECT_FALSE(Instance_CollideRect(instance, 0, 0, 40, 40, false));
}

TEST_F(InstanceCollisionTest, EllipseTest) {
  const int32_t solid = AddTestSprite(16, 16, {SolidMask(16, 16)});
  CInstance* instance = Make(solid, 10, 0);  // box 10..25 x 0..15
  struct Case {
    double x1, y1, x2, y2;
    bool hit;
    const char* why;
  };
  const Case cases[] = {
      {0, -10, 12, 2, true, "only the top-left corner lies inside"},
      {0, 13, 12, 25, true, "only the bottom-left corner"},
      {23, -10, 35, 2, true, "only the top-right corner"},
      {23, 13, 35, 25, true, "only the bottom-right corner"},
      {0, -10, 11, 1, false, "the rectangles overlap but the ellipse passes the corner"},
      {0, -40, 40, -2, false, "rough rejection"},
      {15, -30, 17, -1, false, "rough rejection: the rectangle ends above the box"},
      {15, -30, 17, 1, true, "the centre column crosses the box"},
      {-30, 5, 10.4, 7, true, "the centre row crosses the box"},
      {9, -10, 10, 2, false, "a half width of 0 holds no corner"},
  };
  for (const Case& c : cases) EXPECT_EQ(instance->CollideEllipse(c.x1, c.y1, c.x2, c.y2, false), c.hit) << c.why;

  // Degenerate after rounding (19.6 and 20.4 are both 20): the rectangle test decides, so the
  // precise test finds the solid column where an ellipse of no width would match nothing.
  EXPECT_TRUE(instance->CollideEllipse(19.6, -5, 20.4, 30, true));
  // A precise ellipse over the sprite's only solid pixel, and one beside it.
  CInstance* dot = Make(AddTestSprite(16, 16, {DotsMask(16, 16, {{8, 8}})}), 0, 0);
  EXPECT_TRUE(dot->CollideEllipse(4, 4, 12, 12, true));
  EXPECT_FALSE(dot->CollideEllipse(0, 0, 6, 6, true));
  EXPECT_TRUE(dot->CollideEllipse(0, 0, 6, 6, false));
}

TEST_F(InstanceCollisionTest, LineTestClipsTheSegmentToTheBoxColumns) {
  const int32_t solid = AddTestSprite(16, 16, {SolidMask(16, 16)});
  CInstance* instance = Make(solid, 10, 0);  // box 10..25 x 0..15
  struct Case {
    double x1, y1, x2, y2;
    bool hit;
    const char* why;
  };
  const Case cases[] = {
      {0, 5, 20, -15, false, "clipped at x = left it runs wholly above the box"},
      {20, -15, 0, 5, false, "the same with the end points the other way round"},
      {0, 10, 20, -10, true, "at x = left it is at the top row"},
      {20, -6, 40, 14, true, "clipped at x = right + 1 it reaches y = 0"},
      {20, -7, 40, 13, false, "clipped at x = right + 1 it stays above"},
      {20, 21, 40, 1, true, "from below: at x = right + 1, y = 15"},
      {20, 22, 40, 2, false, "at x = right + 1, y = 16 = bottom + 1"},
      {15, -5, 15, 30, true, "a vertical segment through the box"},
      {-5, 7, 40, 7, true, "a horizontal segment through the box"},
  };
  for (const Case& c : cases) EXPECT_EQ(instance->CollideLine(c.x1, c.y1, c.x2, c.y2, false), c.hit) << c.why;

  // Precisely, the sprite's solid pixels decide: only pixel (0, 15) of the frame, room (10, 15).
  CInstance* dot = Make(AddTestSprite(16, 16, {DotsMask(16, 16, {{0, 15}})}), 10, 0);
  EXPECT_TRUE(dot->CollideLine(0, 25, 20, 5, true));
  EXPECT_FALSE(dot->CollideLine(0, 10, 20, -10, true));
  EXPECT_TRUE(dot->CollideLine(0, 10, 20, -10, false));
}

TEST_F(InstanceCollisionTest, NaNCoordinatesMeetNothing) {
  CInstance* instance = Make(AddTestSprite(16, 16, {SolidMask(16, 16)}), 0, 0);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(instance->CollidePoint(5, 5, false));
  EXPECT_FALSE(instance->CollidePoint(nan, 5, false));
  EXPECT_FALSE(instance->CollidePoint(5, nan, true));
  for (int corner = 0; corner < 4; ++corner) {
    double c[4] = {2, 2, 8, 8};
    c[corner] = nan;
    EXPECT_FALSE(Instance_CollideRect(instance, c[0], c[1], c[2], c[3], false)) << corner;
    EXPECT_FALSE(instance->CollideEllipse(c[0], c[1], c[2], c[3], false)) << corner;
    EXPECT_FALSE(instance->CollideLine(c[0], c[1], c[2], c[3], false)) << corner;
  }
}

TEST_F(InstanceCollisionTest, InstanceAgainstInstance) {
  // Two 8 x 8 sprites: one with only its right column solid, one with only its left column.
  const int32_t right = AddTestSprite(8, 8, {DotsMask(8, 8, {{7, 0}, {7, 7}})});
  const int32_t left = AddTestSprite(8, 8, {DotsMask(8, 8, {{0, 3}})});
  const int32_t roughRight = AddTestSprite(8, 8, {DotsMask(8, 8, {{7, 0}})}, false);
  const int32_t roughLeft = AddTestSprite(8, 8, {DotsMask(8, 8, {{0, 3}})}, false);
  const int32_t frameless = AddTestSprite(8, 8, {}, true, 0, 0, 0);
  CInstance* a = Make(right, 0, 0);
  CInstance* b = Make(left, 7, 0);  // boxes share column 7; solid pixels (7, 0) / (7, 7) and (7, 3) do not meet
  EXPECT_FALSE(Collision_Instance(a, a, false));
  EXPECT_TRUE(Collision_Instance(a, b, false));
  EXPECT_FALSE(Collision_Instance(a, b, true));
  b->SetPosition(7, -3);  // (7, 3) of b is now room pixel (7, 0)
  EXPECT_TRUE(Collision_Instance(a, b, true));
  EXPECT_TRUE(Collision_Instance(b, a, true));
  b->SetPosition(8, -3);  // the boxes no longer overlap
  EXPECT_FALSE(Collision_Instance(a, b, false));

  // The masks are asked only when one of the two collision sprites is precise.
  CInstance* c = Make(roughRight, 0, 0);
  CInstance* d = Make(roughLeft, 7, 0);
  EXPECT_TRUE(Collision_Instance(c, d, true));
  d->SetSpriteIndex(left);
  EXPECT_FALSE(Collision_Instance(c, d, true));

  // Marked instances and missing or frameless collision sprites never collide.
  b->SetPosition(7, -3);
  b->i_marked = 1;
  EXPECT_FALSE(Collision_Instance(a, b, false));
  EXPECT_FALSE(Collision_Instance(b, a, false));
  b->i_marked = 0;
  b->SetMaskIndex(frameless);
  EXPECT_FALSE(Collision_Instance(a, b, false));
  b->SetMaskIndex(-1);
  b->SetSpriteIndex(-1);
  b->SetPosition(3, 3);  // inside a's box by position
  EXPECT_FALSE(Collision_Instance(a, b, false));
}

}  // namespace
