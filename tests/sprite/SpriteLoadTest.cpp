// Sprites from the game data: the entry format, the kinds, the masks, the box and radius, the
// sprite table, and entries that do not lie inside their chunk.
#include <gtest/gtest.h>

#include <cstring>

#include "animation/Skeleton_Class.h"
#include "runner/GameDataTestUtil.h"
#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Main.h"

namespace {

using gamedatatest::GameDataTest;
using testsupport::GameDataBuilder;
using testsupport::SpriteEntry;
namespace corrupt = testsupport::corrupt;

class SpriteLoadTest : public GameDataTest {
 protected:
  // The header, the given sprites, three texture-page entries and the strings.
  static GameDataBuilder Game(const std::vector<SpriteEntry>& sprites) {
    GameDataBuilder g;
    g.Gen8().Sprt(sprites);
    g.Tpag({{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0}, {}, {}});
    g.Strg();
    return g;
  }
};

SpriteEntry Bitmap(const std::string& name) {
  SpriteEntry e;
  e.name = name;
  return e;
}

TEST_F(SpriteLoadTest, EveryKindOfEntryLoadsIntoItsSlot) {
  SpriteEntry player = Bitmap("spr_player");
  player.width = 9;
  player.height = 2;
  player.left = 1, player.right = 7, player.bottom = 1, player.top = 0;
  player.transparent = 5, player.smooth = 1, player.preload = 0, player.precise = 1;
  player.bboxMode = 2;
  player.xOrigin = 4, player.yOrigin = 1;
  player.frames = {0, 2, -1};
  // Row 0: pixels 0 and 8 solid (the 9th pixel is the high bit of the row's second byte);
  // row 1: pixel 7 solid.
  std::vector<uint8_t> mask(18, 0);
  mask[0] = mask[8] = mask[9 + 7] = 1;
  player.masks = {mask};

  SpriteEntry vector = Bitmap("spr_vector");
  vector.kind = 1;
  vector.vectorBlock = {1, 2, 3, 4, 5, 6, 7, 8};
  SpriteEntry skeleton = Bitmap("spr_skeleton");
  skeleton.kind = 2;
  skeleton.json = "{\"a\":1}";
  skeleton.atlas = "atlas";
  skeleton.image = {0x89, 'P', 'N', 'G'};
  skeleton.pageWidth = 64;
  skeleton.pageHeight = 32;
  SpriteEntry minusOneBitmap = Bitmap("spr_nothing");
  minusOneBitmap.frameCount = -1;
  SpriteEntry belowMinusOne = Bitmap("spr_below");
  belowMinusOne.frameCount = -7;
  SpriteEntry zeroWide = Bitmap("spr_zero_wide");
  zeroWide.width = 0;
  zeroWide.frames = {0};
  zeroWide.maskCount = 1000000;  // masks of zero bytes each are not read
  SpriteEntry empty;
  empty.present = false;

  const testsupport::BuiltGameData file =
      Game({player, empty, vector, skeleton, minusOneBitmap, belowMinusOne, zeroWide}).BuildWithLabels();
  ASSERT_TRUE(Load(file.bytes));

  const CSprite* s = Sprite_Data(0);
  ASSERT_NE(s, nullptr);
  EXPECT_STREQ(s->m_name, "spr_player");
  EXPECT_EQ(s->m_index, 0);
  EXPECT_EQ(s->m_kind, SPRITE_BITMAP);
  EXPECT_EQ(s->m_numb, 3);
  EXPECT_EQ(s->m_width, 9);
  EXPECT_EQ(s->m_height, 2);
  EXPECT_EQ(s->m_bbox.left, 1);
  EXPECT_EQ(s->m_bbox.top, 0);
  EXPECT_EQ(s->m_bbox.right, 7);
  EXPECT_EQ(s->m_bbox.bottom, 1);
  EXPECT_TRUE(s->m_transparent);
  EXPECT_TRUE(s->m_smooth);
  EXPECT_FALSE(s->m_preload);
  EXPECT_TRUE(s->m_precise);
  EXPECT_EQ(s->m_bboxMode, 2);
  EXPECT_EQ(s->m_xOrigin, 4);
  EXPECT_EQ(s->m_yOrigin, 1);
  EXPECT_EQ(s->m_radius, Sprite_BoundingRadius(9, 2, 4, 1));
  // Page entries point into the image; offset 0 gives none.
  ASSERT_EQ(s->m_pageEntries.Count(), 3);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(s->m_pageEntries[0]), g_GameData.GameImage + file.At("tpag#0"));
  EXPECT_EQ(reinterpret_cast<uint8_t*>(s->m_pageEntries[1]), g_GameData.GameImage + file.At("tpag#2"));
  EXPECT_EQ(s->m_pageEntries[2], nullptr);
  EXPECT_TRUE(s->HoldsGamePageEntries());
  const BoundingBox bounds = s->GetFrameBounds(0);
  EXPECT_EQ(bounds.left, 5);
  EXPECT_EQ(bounds.top, 6);
  EXPECT_EQ(bounds.right, 5 + 3);
  EXPECT_EQ(bounds.bottom, 6 + 4);
  // One mask for three frames.
  EXPECT_TRUE(s->m_maskValid);
  EXPECT_FALSE(s->m_maskPerFrame);
  ASSERT_EQ(s->MaskCount(), 1);
  ASSERT_EQ(s->Mask(0).size, 18);
  EXPECT_EQ(std::vector<uint8_t>(s->Mask(0).data, s->Mask(0).data + 18), mask);

  EXPECT_FALSE(Sprite_Exists(1));
  EXPECT_STREQ(Sprite_GetName(1), "<undefined>");

  const CSprite* v = Sprite_Data(2);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->m_kind, SPRITE_VECTOR);
  EXPECT_TRUE(v->m_vectorFromData);
  EXPECT_EQ(v->m_numb, 0);
  EXPECT_EQ(v->m_pageEntries.Count(), 0);
  EXPECT_EQ(v->m_vectorBlock.data, g_GameData.GameImage + file.At("sprt#2") + 72);
  EXPECT_EQ(std::memcmp(v->m_vectorBlock.data, vector.vectorBlock.data(), 8), 0);
  EXPECT_EQ(v->GetTPE(0).kind, SpriteTextureHandle::kNone);

  const CSprite* k = Sprite_Data(3);
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(k->m_kind, SPRITE_SKELETON);
  EXPECT_EQ(k->m_numb, 2147483647);
  EXPECT_EQ(k->m_pageEntries.Count(), 0);
  EXPECT_FALSE(k->m_maskValid);
  ASSERT_NE(k->m_skeleton, nullptr);
  EXPECT_FALSE(k->m_skeleton->IsValid());
  EXPECT_EQ(k->m_skeleton->m_data, g_GameData.GameImage + file.At("sprt#3") + 92);
  EXPECT_EQ(k->m_skeleton->m_jsonLength, 7u);
  EXPECT_EQ(k->m_skeleton->m_atlasLength, 5u);
  EXPECT_EQ(k->m_skeleton->m_imageLength, 4u);
  EXPECT_EQ(k->m_skeleton->m_pageWidth, 64u);
  EXPECT_EQ(k->m_skeleton->m_pageHeight, 32u);

  for (int32_t index : {4, 5}) {
    const CSprite* none = Sprite_Data(index);
    ASSERT_NE(none, nullptr) << index;
    EXPECT_EQ(none->m_kind, SPRITE_BITMAP) << index;
    EXPECT_EQ(none->m_numb, 0) << index;
    EXPECT_FALSE(none->m_maskValid) << index;
    EXPECT_EQ(none->GetTPE(0).kind, SpriteTextureHandle::kNone) << index;
  }
  const CSprite* zero = Sprite_Data(6);
  ASSERT_NE(zero, nullptr);
  EXPECT_EQ(zero->m_numb, 1);
  EXPECT_FALSE(zero->m_maskValid);
  EXPECT_EQ(zero->MaskCount(), 0);

  // The table: names, lookups, and run-time additions after the last slot.
  EXPECT_EQ(Sprite_FindByName("spr_skeleton"), 3);
  EXPECT_EQ(Sprite_FindByName("SPR_SKELETON"), -1);
  EXPECT_EQ(Sprite_FindByName(nullptr), -1);
  EXPECT_STREQ(Sprite_GetName(99), "<undefined>");
  EXPECT_STREQ(Sprite_GetName(-1), "<undefined>");
  EXPECT_EQ(Sprite_Data(7), nullptr);
  const int32_t added = Sprite_AddEmpty();
  EXPECT_EQ(added, 7);
  EXPECT_STREQ(Sprite_GetName(7), "__newsprite7");
  EXPECT_EQ(Sprite_Data(7)->m_name, Sprite_GetName(7));
  EXPECT_EQ(Sprite_FindByName("__newsprite7"), 7);
}

TEST_F(SpriteLoadTest, AFilledSlotWithoutANameHasNoName) {
  SpriteEntry unnamed;
  ASSERT_TRUE(Load(Game({unnamed}).Build()));
  ASSERT_TRUE(Sprite_Exists(0));
  EXPECT_EQ(Sprite_GetName(0), nullptr);
  EXPECT_EQ(Sprite_FindByName(""), -1);
}

// Every offset, count and length of an entry is checked against its chunk before it is used.
TEST_F(SpriteLoadTest, EntriesThatDoNotLieInsideTheirChunkAreRefused) {
  SpriteEntry bitmap = Bitmap("a");
  bitmap.width = 16;
  bitmap.height = 4;
  bitmap.frames = {0};
  bitmap.masks = {std::vector<uint8_t>(64, 1)};
  SpriteEntry skeleton = Bitmap("b");
  skeleton.kind = 2;
  skeleton.json = "{}";
  const GameDataBuilder game = Game({bitmap, skeleton});
  const testsupport::BuiltGameData valid = game.BuildWithLabels();
  ASSERT_TRUE(Load(valid.bytes));

  const std::vector<gamedatatest::ChunkPlace> chunks = gamedatatest::ChunkPlaces(valid.bytes);
  uint32_t chunkStart = 0;
  for (const auto& c : chunks) {
    if (c.tag == "SPRT") chunkStart = c.offset;
  }
  const uint32_t second = valid.At("sprt#1") - chunkStart;
  struct Case {
    const char* what;
    testsupport::Corruption corruption;
    const char* reason;
  };
  const Case cases[] = {
      {"entry offset in another chunk", corrupt::SetOffset("SPRT", 0, 8), "sprite 0 or its name lies outside the sprite chunk"},
      {"frame count 0x7FFFFFFF", corrupt::CountTooLarge("SPRT", 0x7FFFFFFF, 1), "sprite 0 has more frames than"},
      {"mask count 0x7FFFFFFF", corrupt::CountTooLarge("SPRT", 0x7FFFFFFF, 2), "sprite 0 has masks past the end"},
      {"second entry cut after 59 bytes", corrupt::PayloadSize("SPRT", second + 59), "sprite 1 runs past the end"},
      {"skeleton entry cut after its kind", corrupt::PayloadSize("SPRT", second + 80), "sprite 1 runs past the end"},
      {"skeleton bytes cut", corrupt::PayloadSize("SPRT", second + 93), "sprite 1 has skeleton data past the end"},
      {"skeleton length 0xFFFFFFFF", corrupt::CountTooLarge("SPRT", 0xFFFFFFFF, 3), "skeleton data past the end"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_console.Clear();
    EXPECT_FALSE(Load(game.Build({c.corruption})));
    EXPECT_NE(m_console.Text().find(c.reason), std::string::npos) << m_console.Text();
    EXPECT_FALSE(Sprite_Exists(0));
    GameData_Free();
  }

  // A kind the format does not have.
  SpriteEntry odd = Bitmap("odd");
  odd.kind = 3;
  m_console.Clear();
  EXPECT_FALSE(Load(Game({odd}).Build()));
  EXPECT_NE(m_console.Text().find("sprite 0 is of no known kind"), std::string::npos) << m_console.Text();
}

TEST(SpriteRecord, BoundingRadiusRoundsTheFarthestCornerUp) {
  struct Case {
    int32_t w, h, xo, yo, radius;
  };
  const Case cases[] = {
      {32, 32, 16, 16, 23},  // sqrt(512) = 22.63
      {10, 10, 0, 0, 15},    // sqrt(200) = 14.14
      {10, 10, 10, 10, 15},  // the far corner is at width and height
      {3, 4, 0, 0, 5},       // exact
      {1, 1, 0, 0, 2},
      {INT32_MAX, 1, INT32_MIN, 0, INT32_MAX},  // no overflow
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sprite_BoundingRadius(c.w, c.h, c.xo, c.yo), c.radius) << c.w << "x" << c.h << " at " << c.xo << "," << c.yo;
  }
}

CBitmap32* Frame(int32_t w, int32_t h, uint8_t alpha) {
  CBitmap32* b = new CBitmap32(CBitmap32::CreateFilled(w, h, 0x0000FF));
  b->SetAlpha(alpha);
  return b;
}

TEST(SpriteRecord, TheBoxFollowsTheBoxMode) {
  CSprite s;
  s.m_width = 6;
  s.m_height = 4;
  s.m_numb = 2;
  s.m_bitmaps.Push(Frame(6, 4, 0));
  s.m_bitmaps.Push(Frame(6, 4, 0));
  // Automatic over fully transparent frames: the start box, left > right.
  s.m_bbox = {9, 9, 9, 9};
  s.ComputeBoundingBox();
  EXPECT_EQ(s.m_bbox.left, 5);
  EXPECT_EQ(s.m_bbox.top, 3);
  EXPECT_EQ(s.m_bbox.right, 0);
  EXPECT_EQ(s.m_bbox.bottom, 0);
  // One opaque pixel in frame 1 widens it.
  const_cast<uint32_t*>(s.m_bitmaps[1]->GetData()->pixels)[1 * 6 + 2] |= 0xFF000000u;
  s.ComputeBoundingBox();
  EXPECT_EQ(s.m_bbox.left, 2);
  EXPECT_EQ(s.m_bbox.top, 1);
  EXPECT_EQ(s.m_bbox.right, 2);
  EXPECT_EQ(s.m_bbox.bottom, 1);
  // Full image whatever the pixels; a mode outside 0..2 and SetBBox outside manual change nothing.
  s.SetBBoxMode(1);
  EXPECT_EQ(s.m_bbox.right, 5);
  EXPECT_EQ(s.m_bbox.bottom, 3);
  s.SetBBoxMode(3);
  EXPECT_EQ(s.m_bboxMode, 1);
  s.SetBBox(1, 1, 2, 2);
  EXPECT_EQ(s.m_bbox.left, 0);
  s.SetBBoxMode(2);
  s.SetBBox(1, 1, 2, 2);
  EXPECT_EQ(s.m_bbox.left, 1);
  EXPECT_EQ(s.m_bbox.bottom, 2);
}

TEST(SpriteRecord, AutomaticModeKeepsTheStoredBoxWithoutFrameBitmaps) {
  CSprite s;
  s.m_width = 8;
  s.m_height = 8;
  s.m_numb = 1;
  s.m_bbox = {2, 3, 4, 5};
  s.ComputeBoundingBox();
  EXPECT_EQ(s.m_bbox.left, 2);
  EXPECT_EQ(s.m_bbox.bottom, 5);
  s.m_numb = 0;
  s.ComputeBoundingBox();
  EXPECT_EQ(s.m_bbox.left, 0);
  EXPECT_EQ(s.m_bbox.bottom, 0);
}

}  // namespace
