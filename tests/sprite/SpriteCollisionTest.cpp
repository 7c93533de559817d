// Collision masks and the collision tests of sprites: pure functions over placed sprites.
#include <gtest/gtest.h>

#include <vector>

#include "sprite/Sprite_Class.h"

namespace {

// A w x h bitmap sprite with `frames` frames and one mask per given pattern (w x h bytes).
struct TestSprite {
  CSprite sprite;
  TestSprite(int32_t w, int32_t h, int32_t frames, const std::vector<std::vector<uint8_t>>& masks) {
    sprite.m_width = w;
    sprite.m_height = h;
    sprite.m_numb = frames;
    for (const auto& pattern : masks) {
      SpriteMask& m = sprite.m_masks.Push();
      m.size = w * h;
      m.data = static_cast<uint8_t*>(MemoryManager::Alloc(static_cast<uint32_t>(m.size), __FILE__, __LINE__));
      for (int32_t i = 0; i < m.size; ++i) m.data[i] = pattern[static_cast<size_t>(i)];
    }
    sprite.m_maskValid = !masks.empty();
  }
};

std::vector<uint8_t> Solid(int32_t w, int32_t h) { return std::vector<uint8_t>(static_cast<size_t>(w * h), 1); }
// Only pixel (x, y) solid.
std::vector<uint8_t> Dot(int32_t w, int32_t h, int32_t x, int32_t y) {
  std::vector<uint8_t> m(static_cast<size_t>(w * h), 0);
  m[static_cast<size_t>(y * w + x)] = 1;
  return m;
}

BoundingBox Box(int32_t l, int32_t t, int32_t r, int32_t b) { return {l, t, r, b}; }

TEST(SpriteCollision, TwoSolidSpritesWhoseBoxesShareOneColumnCollide) {
  TestSprite a(8, 8, 1, {Solid(8, 8)});
  TestSprite b(8, 8, 1, {Solid(8, 8)});
  EXPECT_TRUE(PreciseCollision(&a.sprite, 0, Box(0, 0, 7, 7), 0, 0, 1, 1, 0, &b.sprite, 0, Box(7, 0, 14, 7), 7, 0, 1,
                               1, 0));
  EXPECT_FALSE(PreciseCollision(&a.sprite, 0, Box(0, 0, 7, 7), 0, 0, 1, 1, 0, &b.sprite, 0, Box(8, 0, 15, 7), 8, 0,
                                1, 1, 0));
  // Only where solid pixels meet: a's single pixel at (7, 7) against b's at (0, 0) placed at 7, 7.
  TestSprite dotA(8, 8, 1, {Dot(8, 8, 7, 7)});
  TestSprite dotB(8, 8, 1, {Dot(8, 8, 0, 0)});
  TestSprite dotC(8, 8, 1, {Dot(8, 8, 1, 0)});
  EXPECT_TRUE(PreciseCollision(&dotA.sprite, 0, Box(0, 0, 7, 7), 0, 0, 1, 1, 0, &dotB.sprite, 0, Box(7, 7, 14, 14), 7,
                               7, 1, 1, 0));
  EXPECT_FALSE(PreciseCollision(&dotA.sprite, 0, Box(0, 0, 7, 7), 0, 0, 1, 1, 0, &dotC.sprite, 0, Box(7, 7, 14, 14),
                                7, 7, 1, 1, 0));
}

TEST(SpriteCollision, FramesPickTheirMaskModuloTheMaskCount) {
  // Four masks, each solid at a different column of row 0.
  TestSprite s(4, 1, 4, {Dot(4, 1, 0, 0), Dot(4, 1, 1, 0), Dot(4, 1, 2, 0), Dot(4, 1, 3, 0)});
  const BoundingBox box = Box(0, 0, 3, 0);
  struct Case {
    int32_t frame, column;
  };
  for (const Case& c : {Case{-1, 3}, Case{5, 1}, Case{0, 0}, Case{-4, 0}, Case{7, 3}}) {
    for (int32_t x = 0; x < 4; ++x) {
      EXPECT_EQ(s.sprite.CollidePoint(c.frame, box, 0, 0, 1, 1, 0, x, 0), x == c.column) << c.frame << " at " << x;
    }
  }
  // Three frames and one mask: every frame collides through mask 0.
  TestSprite shared(4, 1, 3, {Dot(4, 1, 2, 0)});
  for (int32_t frame = 0; frame < 3; ++frame) EXPECT_TRUE(shared.sprite.CollidePoint(frame, box, 0, 0, 1, 1, 0, 2, 0));
}

TEST(SpriteCollision, WithoutMasksTheTestsAnswerTrueAndWithoutFramesFalse) {
  const BoundingBox box = Box(0, 0, 3, 3);
  TestSprite noMasks(4, 4, 1, {});
  // Masks marked valid but none held: as without masks, and no division by a count of 0.
  TestSprite validButEmpty(4, 4, 1, {});
  validButEmpty.sprite.m_maskValid = true;
  for (const CSprite* s : {&noMasks.sprite, &validButEmpty.sprite}) {
    EXPECT_TRUE(s->CollidePoint(0, box, 0, 0, 1, 1, 0, 100, 100));
    EXPECT_TRUE(s->CollideRectangle(0, box, 0, 0, 1, 1, 0, Box(50, 50, 60, 60)));
    EXPECT_TRUE(s->CollideEllipse(0, box, 0, 0, 1, 1, 0, Box(50, 50, 60, 60)));
    EXPECT_TRUE(s->CollideLine(0, box, 0, 0, 1, 1, 0, 50, 50, 60, 70));
  }
  // In PreciseCollision the whole frame of a sprite without masks is solid.
  TestSprite dot(4, 4, 1, {Dot(4, 4, 3, 3)});
  EXPECT_TRUE(PreciseCollision(&validButEmpty.sprite, 0, box, 0, 0, 1, 1, 0, &dot.sprite, 0, box, 0, 0, 1, 1, 0));
  EXPECT_TRUE(PreciseCollision(&noMasks.sprite, 0, box, 0, 0, 1, 1, 0, &dot.sprite, 0, box, 0, 0, 1, 1, 0));

  TestSprite noFrames(4, 4, 0, {Solid(4, 4)});
  EXPECT_FALSE(noFrames.sprite.CollidePoint(0, box, 0, 0, 1, 1, 0, 1, 1));
  EXPECT_FALSE(noFrames.sprite.CollideRectangle(0, box, 0, 0, 1, 1, 0, box));
  EXPECT_FALSE(PreciseCollision(&noFrames.sprite, 0, box, 0, 0, 1, 1, 0, &dot.sprite, 0, box, 0, 0, 1, 1, 0));
}

// With origin 0 and x scale 2, the room pixel just left of the position maps to -0.5: truncated
// to 0 (inside) by PreciseCollision, floored to -1 (outside) by the point test.
TEST(SpriteCollision, PreciseCollisionTruncatesWhereThePointTestFloors) {
  TestSprite s(4, 4, 1, {Solid(4, 4)});
  TestSprite pixel(1, 1, 1, {Solid(1, 1)});
  EXPECT_FALSE(s.sprite.CollidePoint(0, Box(9, 10, 17, 17), 10, 10, 2, 1, 0, 9, 10));
  EXPECT_TRUE(s.sprite.CollidePoint(0, Box(9, 10, 17, 17), 10, 10, 2, 1, 0, 10, 10));
  EXPECT_TRUE(PreciseCollision(&s.sprite, 0, Box(9, 10, 17, 13), 10, 10, 2, 1, 0, &pixel.sprite, 0, Box(9, 10, 9, 10), 9,
                               10, 1, 1, 0));
}

// An angle of 0.00005 degrees is "unrotated" for the point, rectangle and ellipse tests but takes
// the rotated mapping in PreciseCollision. The rotated mapping of the room pixel 2 right of and 1
// below the position lands just short of frame column 2 (sin a is about -8.7e-7), so a sprite
// solid only at (2, 1) is met there by the unrotated mapping and missed by the rotated one.
TEST(SpriteCollision, ATinyAngleIsUnrotatedExceptInPreciseCollision) {
  const float tiny = 0.00005f;
  TestSprite s(4, 4, 1, {Dot(4, 4, 2, 1)});
  const BoundingBox box = Box(10, 10, 13, 13);
  const BoundingBox pixel = Box(12, 11, 12, 11);
  EXPECT_TRUE(s.sprite.CollidePoint(0, box, 10, 10, 1, 1, tiny, 12, 11));
  EXPECT_TRUE(s.sprite.CollideRectangle(0, box, 10, 10, 1, 1, tiny, pixel));
  EXPECT_TRUE(s.sprite.CollideEllipse(0, box, 10, 10, 1, 1, tiny, Box(11, 10, 13, 12)));
  EXPECT_FALSE(s.sprite.CollidePoint(0, box, 10, 10, 1, 1, 0.0002f, 12, 11));
  TestSprite one(1, 1, 1, {Solid(1, 1)});
  EXPECT_TRUE(PreciseCollision(&s.sprite, 0, box, 10, 10, 1, 1, 0, &one.sprite, 0, pixel, 12, 11, 1, 1, 0));
  EXPECT_FALSE(PreciseCollision(&s.sprite, 0, box, 10, 10, 1, 1, tiny, &one.sprite, 0, pixel, 12, 11, 1, 1, 0));

  // Rotated by 90 degrees counter-clockwise, the solid pixel (3, 0) of a 4 x 1 sprite with its
  // origin at (0, 0) lies 3 pixels above the position.
  TestSprite bar(4, 1, 1, {Dot(4, 1, 3, 0)});
  const BoundingBox around = Box(0, 0, 20, 20);
  EXPECT_TRUE(bar.sprite.CollidePoint(0, around, 10, 10, 1, 1, 90, 10, 7));
  EXPECT_FALSE(bar.sprite.CollidePoint(0, around, 10, 10, 1, 1, 90, 13, 10));
  EXPECT_TRUE(PreciseCollision(&bar.sprite, 0, around, 10, 10, 1, 1, 90, &one.sprite, 0, Box(10, 7, 10, 7), 10, 7, 1,
                               1, 0));
}

TEST(SpriteCollision, RectangleEllipseAndLineTestsFindTheSolidPixels) {
  // An 8 x 8 sprite solid only at (6, 1), placed at (100, 50) with its origin at (0, 0).
  TestSprite s(8, 8, 1, {Dot(8, 8, 6, 1)});
  const BoundingBox box = Box(100, 50, 107, 57);
  auto at = [](int32_t x, int32_t y) { return Box(x, y, x, y); };
  EXPECT_TRUE(s.sprite.CollideRectangle(0, box, 100, 50, 1, 1, 0, at(106, 51)));
  EXPECT_FALSE(s.sprite.CollideRectangle(0, box, 100, 50, 1, 1, 0, at(105, 51)));
  EXPECT_TRUE(s.sprite.CollideRectangle(0, box, 100, 50, 1, 1, 0, Box(0, 0, 1000, 1000)));
  // Scaled rectangle (not the integer path): at x scale 2 the pixel covers 112..113.
  EXPECT_TRUE(s.sprite.CollideRectangle(0, Box(100, 50, 115, 57), 100, 50, 2, 1, 0, at(113, 51)));
  EXPECT_FALSE(s.sprite.CollideRectangle(0, Box(100, 50, 115, 57), 100, 50, 2, 1, 0, at(111, 51)));
  // An ellipse inscribed in 104..108 x 49..53 holds (106, 51), its centre; a rectangle one pixel
  // wide (rx = 0) holds nothing, even around a solid pixel.
  EXPECT_TRUE(s.sprite.CollideEllipse(0, box, 100, 50, 1, 1, 0, Box(104, 49, 108, 53)));
  EXPECT_FALSE(s.sprite.CollideEllipse(0, box, 100, 50, 1, 1, 0, Box(106, 49, 106, 53)));
  // The corner (104, 49) of the ellipse's rectangle lies outside the ellipse.
  TestSprite corner(8, 8, 1, {Dot(8, 8, 4, 0)});
  EXPECT_FALSE(corner.sprite.CollideEllipse(0, Box(100, 49, 107, 56), 100, 49, 1, 1, 0, Box(104, 49, 108, 53)));
  EXPECT_TRUE(corner.sprite.CollideRectangle(0, Box(100, 49, 107, 56), 100, 49, 1, 1, 0, Box(104, 49, 108, 53)));
  // Lines: horizontal and vertical ones are rectangles; a diagonal steps along its longer axis.
  EXPECT_TRUE(s.sprite.CollideLine(0, box, 100, 50, 1, 1, 0, 90, 51, 120, 51));
  EXPECT_FALSE(s.sprite.CollideLine(0, box, 100, 50, 1, 1, 0, 90, 52, 120, 52));
  EXPECT_TRUE(s.sprite.CollideLine(0, box, 100, 50, 1, 1, 0, 106, 40, 106, 60));
  EXPECT_TRUE(s.sprite.CollideLine(0, box, 100, 50, 1, 1, 0, 101, 46, 111, 56));  // y = x - 55 passes (106, 51)
  EXPECT_TRUE(s.sprite.CollideLine(0, box, 100, 50, 1, 1, 0, 111, 56, 101, 46));  // either direction
  EXPECT_FALSE(s.sprite.CollideLine(0, box, 100, 50, 1, 1, 0, 101, 47, 111, 57));
  EXPECT_TRUE(s.sprite.CollideLine(0, box, 100, 50, 1, 1, 0, 104, 47, 108, 55));  // steep: x = (y - 47) / 2 + 104
}

TEST(SpriteCollision, HugeBoxesAndPositionsDoNotOverflow) {
  TestSprite s(2, 2, 1, {Dot(2, 2, 1, 1)});
  const BoundingBox huge = Box(INT32_MAX - 3, INT32_MAX - 3, INT32_MAX, INT32_MAX);
  EXPECT_TRUE(s.sprite.CollideRectangle(0, huge, INT32_MAX - 1, INT32_MAX - 1, 1, 1, 0, huge));
  EXPECT_FALSE(s.sprite.CollideRectangle(0, huge, INT32_MAX, INT32_MAX, 1, 1, 0, huge));
  EXPECT_FALSE(s.sprite.CollideEllipse(0, huge, INT32_MIN, INT32_MIN, 1, 1, 0, Box(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX)));
  EXPECT_TRUE(PreciseCollision(&s.sprite, 0, huge, INT32_MAX - 1, INT32_MAX - 1, 1, 1, 0, &s.sprite, 0, huge,
                               INT32_MAX - 1, INT32_MAX - 1, 1, 1, 0));
  // A zero scale maps nowhere.
  EXPECT_FALSE(s.sprite.CollidePoint(0, huge, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_FALSE(PreciseCollision(&s.sprite, 0, Box(0, 0, 3, 3), 0, 0, 0, 0, 0, &s.sprite, 0, Box(0, 0, 3, 3), 0, 0, 1,
                                1, 0));
}

CBitmap32* Frame(int32_t w, int32_t h, const std::vector<uint8_t>& alphas) {
  CBitmap32* b = new CBitmap32(CBitmap32::CreateFilled(w, h, 0xFFFFFF));
  uint32_t* pixels = const_cast<uint32_t*>(b->GetData()->pixels);
  for (size_t i = 0; i < alphas.size(); ++i) pixels[i] = (pixels[i] & 0xFFFFFFu) | (static_cast<uint32_t>(alphas[i]) << 24);
  return b;
}

std::vector<uint8_t> MaskBytes(const CSprite& s, int32_t i) {
  return std::vector<uint8_t>(s.Mask(i).data, s.Mask(i).data + s.Mask(i).size);
}

TEST(SpriteMasks, MasksFromAlphaAndFromShapes) {
  CSprite s;
  s.m_width = 3;
  s.m_height = 2;
  s.m_numb = 2;
  s.m_bitmaps.Push(Frame(3, 2, {0, 1, 255, 0, 0, 0}));
  s.m_bitmaps.Push(Frame(3, 2, {0, 0, 0, 7, 0, 0}));
  s.CreateMask();
  ASSERT_TRUE(s.m_maskValid);
  ASSERT_EQ(s.MaskCount(), 2);
  EXPECT_EQ(MaskBytes(s, 0), (std::vector<uint8_t>{0, 1, 1, 0, 0, 0}));
  EXPECT_EQ(MaskBytes(s, 1), (std::vector<uint8_t>{0, 0, 0, 1, 0, 0}));
  // Not precise: no masks; precise again remakes them.
  s.SetPrecise(false);
  EXPECT_FALSE(s.m_maskValid);
  s.SetPrecise(true);
  EXPECT_TRUE(s.m_maskValid);

  // Precise shape: tolerance 255 still makes alpha 1 solid (1 << 24 > 255); 0x01FFFFFF does not.
  s.GenerateCollisionMask(true, 0, {}, kMaskPrecise, 255);
  EXPECT_EQ(MaskBytes(s, 0), (std::vector<uint8_t>{0, 1, 1, 0, 0, 0}));
  s.GenerateCollisionMask(true, 0, {}, kMaskPrecise, 0x01FFFFFF);
  EXPECT_EQ(MaskBytes(s, 0), (std::vector<uint8_t>{0, 0, 1, 0, 0, 0}));
  // Joined masks: mask 1 is frame 1's shape plus mask 0; mask 0 is frame 0's alone.
  s.GenerateCollisionMask(false, 0, {}, kMaskPrecise, 0);
  EXPECT_EQ(MaskBytes(s, 0), (std::vector<uint8_t>{0, 1, 1, 0, 0, 0}));
  EXPECT_EQ(MaskBytes(s, 1), (std::vector<uint8_t>{0, 1, 1, 1, 0, 0}));
  // Rectangle inside a manual box (clipped to the frame), whatever the pixels.
  s.GenerateCollisionMask(true, 2, {1, 1, 5, 5}, kMaskRectangle, 0);
  EXPECT_EQ(MaskBytes(s, 0), (std::vector<uint8_t>{0, 0, 0, 0, 1, 1}));
  EXPECT_EQ(s.m_bboxMode, 0);  // the sprite's box mode itself stays
  EXPECT_EQ(s.m_bbox.right, 5);
}

TEST(SpriteMasks, EllipseAndDiamondShapes) {
  CSprite s;
  s.m_width = 5;
  s.m_height = 5;
  s.m_numb = 1;
  s.m_bitmaps.Push(Frame(5, 5, {}));
  s.GenerateCollisionMask(true, 1, {}, kMaskEllipse, 0);
  // centre (2, 2), half sizes 2.5: the corners lie outside.
  EXPECT_EQ(MaskBytes(s, 0), (std::vector<uint8_t>{0, 1, 1, 1, 0,  //
                                                   1, 1, 1, 1, 1,  //
                                                   1, 1, 1, 1, 1,  //
                                                   1, 1, 1, 1, 1,  //
                                                   0, 1, 1, 1, 0}));
  s.GenerateCollisionMask(true, 1, {}, kMaskDiamond, 0);
  EXPECT_EQ(MaskBytes(s, 0), (std::vector<uint8_t>{0, 0, 1, 0, 0,  //
                                                   0, 1, 1, 1, 0,  //
                                                   1, 1, 1, 1, 1,  //
                                                   0, 1, 1, 1, 0,  //
                                                   0, 0, 1, 0, 0}));
  // A kind that is none of the four leaves the mask clear.
  s.GenerateCollisionMask(true, 1, {}, 9, 0);
  EXPECT_EQ(MaskBytes(s, 0), std::vector<uint8_t>(25, 0));
}

TEST(SpriteMasks, VectorMasksExpandTheirRuns) {
  CSprite s;
  s.m_width = 100;
  s.m_height = 2;
  const uint8_t oneRun[] = {0xFF};                    // 128 solid pixels
  const uint8_t mixed[] = {0x02, 0x81, 0x7F, 0xFF};   // 3 free, 2 solid, 128 free, then cut at 200
  const uint8_t* blocks[] = {oneRun, mixed};
  const int32_t lengths[] = {1, 4};
  s.LoadVectorMasks(blocks, lengths, 2);
  ASSERT_TRUE(s.m_maskValid);
  std::vector<uint8_t> expect0(200, 0);
  std::fill(expect0.begin(), expect0.begin() + 128, 1);
  EXPECT_EQ(MaskBytes(s, 0), expect0);
  std::vector<uint8_t> expect1(200, 0);
  expect1[3] = expect1[4] = 1;
  std::fill(expect1.begin() + 133, expect1.end(), 1);
  EXPECT_EQ(MaskBytes(s, 1), expect1);
  // Not precise: no masks.
  s.m_precise = false;
  s.LoadVectorMasks(blocks, lengths, 2);
  EXPECT_FALSE(s.m_maskValid);
}

}  // namespace
