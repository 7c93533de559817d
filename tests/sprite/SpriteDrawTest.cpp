// Sprite drawing: frames, culling and failures on the recording device (the vertices of the open
// batch), and a loaded sprite drawn turned and scaled on OpenGL (pixels read back).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "animation/Skeleton_Class.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Transform.h"
#include "runner/GameData.h"
#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Main.h"
#include "testlib/GameDataBuilder.h"
#include "testlib/GraphicsFixtures.h"

namespace {

using testsupport::OpenBatch;

// Page entries at odd addresses, as they may lie in the game image.
struct LooseEntries {
  uint8_t bytes[1 + 3 * sizeof(TPageEntry)] = {};
  TPageEntry* At(int i) { return reinterpret_cast<TPageEntry*>(bytes + 1 + i * sizeof(TPageEntry)); }
};

class SpriteDrawTest : public testsupport::FakeGraphicsTest {
 protected:
  void SetUp() override {
    FakeGraphicsTest::SetUp();
    ASSERT_TRUE(testsupport::OpenTestDisplay(640, 480));
    GraphicsFlush();
    std::vector<uint32_t> pixels(256 * 128, 0xFFFFFFFFu);
    const int32_t page = GR_Texture_Create(256, 128, pixels.data(), pixels.size() * 4);
    // Three 8 x 8 frames side by side at x = 0, 8, 16 of the page.
    for (int i = 0; i < 3; ++i) {
      TPageEntry e{};
      e.x = static_cast<int16_t>(8 * i);
      e.width = e.height = e.cropWidth = e.cropHeight = e.fullWidth = e.fullHeight = 8;
      e.texturePage = static_cast<int16_t>(page);
      TPageEntry_Write(m_entries.At(i), e);
    }
    m_sprite.m_width = m_sprite.m_height = 8;
    m_sprite.m_numb = 3;
    m_sprite.m_name = "spr_test";
    for (int i = 0; i < 3; ++i) m_sprite.m_pageEntries.Push(m_entries.At(i));
    m_sprite.ComputeBoundingBox();  // radius of 8 x 8 at (0, 0): ceil(sqrt(128)) = 12
  }
  void TearDown() override {
    g_RenderTargets.bound[0] = nullptr;
    m_sprite.m_pageEntries.Clear();  // not the sprite's to free
    FakeGraphicsTest::TearDown();
  }
  // The page column of the frame the open batch drew last.
  static float DrawnColumn() {
    const std::vector<TexturedVertex> v = OpenBatch();
    return v.empty() ? -1 : v[v.size() - 6].u * 256;
  }

  LooseEntries m_entries;
  CSprite m_sprite;
};

TEST_F(SpriteDrawTest, FramesAreTakenModuloTheFrameCount) {
  struct Case {
    int32_t frame;
    float column;
  };
  for (const Case& c : {Case{0, 0}, Case{7, 8}, Case{-1, 16}, Case{-5, 8}}) {
    SpriteDraw(m_sprite, c.frame, 100, 100, 1, 1, 0, 0xFFFFFF, 1);
    EXPECT_EQ(DrawnColumn(), c.column) << c.frame;
    SpriteDrawSimple(m_sprite, c.frame, 100, 100);
    EXPECT_EQ(DrawnColumn(), c.column) << c.frame;
  }
  // No frames: nothing drawn, nothing reported.
  GraphicsFlush();
  m_sprite.m_numb = 0;
  SpriteDraw(m_sprite, 0, 100, 100, 1, 1, 0, 0xFFFFFF, 1);
  SpriteDrawSimple(m_sprite, 0, 100, 100);
  m_sprite.DrawStretched(0, 0, 0, 10, 10, 0xFFFFFF, 1);
  EXPECT_TRUE(OpenBatch().empty());
  EXPECT_EQ(console.Text().find("Error attempting"), std::string::npos) << console.Text();
}

TEST_F(SpriteDrawTest, TheOriginIsPlacedAtThePositionScaledTurnedAndColoured) {
  m_sprite.m_xOrigin = 4;
  m_sprite.m_yOrigin = 2;
  SpriteDraw(m_sprite, 0, 100, 50, 2, 3, 0, 0x0000FF, 0.5f);
  std::vector<TexturedVertex> v = OpenBatch();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_EQ(v[0].x, 100 - 4 * 2);
  EXPECT_EQ(v[0].y, 50 - 2 * 3);
  EXPECT_EQ(v[2].x, 100 + 4 * 2);
  EXPECT_EQ(v[2].y, 50 + 6 * 3);
  EXPECT_EQ(v[0].colour, 0x7FFF0000u);
  // Turned by 90 degrees counter-clockwise on screen: the frame's top-left corner, 4 left of and
  // 2 above the origin, lands 4 below and 2 left of it.
  GraphicsFlush();
  SpriteDraw(m_sprite, 0, 100, 50, 1, 1, 90, 0xFFFFFF, 1);
  v = OpenBatch();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_NEAR(v[0].x, 100 - 2, 1e-4);
  EXPECT_NEAR(v[0].y, 50 + 4, 1e-4);
  // The simple draw: unscaled, top-left at the position minus the origin.
  GraphicsFlush();
  SpriteDrawSimple(m_sprite, 0, 100, 50);
  v = OpenBatch();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_EQ(v[0].x, 96);
  EXPECT_EQ(v[0].y, 48);
  EXPECT_EQ(v[2].x, 104);
  // Stretched: the top-left corner at the position whatever the origin; width 0 draws nothing.
  GraphicsFlush();
  m_sprite.DrawStretched(0, 10, 20, 16, 4, 0xFFFFFF, 1);
  v = OpenBatch();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_EQ(v[0].x, 10);
  EXPECT_EQ(v[0].y, 20);
  EXPECT_EQ(v[2].x, 26);
  EXPECT_EQ(v[2].y, 24);
  GraphicsFlush();
  m_sprite.DrawStretched(0, 10, 20, 0, 4, 0xFFFFFF, 1);
  EXPECT_TRUE(OpenBatch().empty());
}

TEST_F(SpriteDrawTest, SpritesOutsideTheViewByMoreThanTheirReachAreSkipped) {
  ASSERT_EQ(m_sprite.m_radius, 12);
  // One pixel beyond the radius left of the view: culled at scale 1, drawn at scale 2.
  SpriteDraw(m_sprite, 0, -13, 100, 1, 1, 0, 0xFFFFFF, 1);
  EXPECT_TRUE(OpenBatch().empty());
  SpriteDraw(m_sprite, 0, -12, 100, 1, 1, 0, 0xFFFFFF, 1);
  EXPECT_EQ(OpenBatch().size(), 6u);
  GraphicsFlush();
  SpriteDraw(m_sprite, 0, -13, 100, 2, 1, 0, 0xFFFFFF, 1);
  EXPECT_EQ(OpenBatch().size(), 6u);
  GraphicsFlush();
  // The larger of the two scales counts, and so does a negative one.
  SpriteDraw(m_sprite, 0, 100, 480 + 20, 1, -2, 0, 0xFFFFFF, 1);
  EXPECT_EQ(OpenBatch().size(), 6u);
  GraphicsFlush();

  // Far outside: the simple draw culls it unless a surface is the render target; SpriteDraw
  // still culls it then, but not in 3-D mode; neither culls under a projection the game set.
  SpriteDrawSimple(m_sprite, 0, -1000, 100);
  SpriteDraw(m_sprite, 0, -1000, 100, 1, 1, 0, 0xFFFFFF, 1);
  EXPECT_TRUE(OpenBatch().empty());
  const int32_t surface = GR_Texture_CreateBlank(16, 16, true);
  g_RenderTargets.bound[0] = GR_Texture_GetHardware(surface);
  SpriteDraw(m_sprite, 0, -1000, 100, 1, 1, 0, 0xFFFFFF, 1);
  EXPECT_TRUE(OpenBatch().empty());
  SpriteDrawSimple(m_sprite, 0, -1000, 100);
  EXPECT_EQ(OpenBatch().size(), 6u);
  g_RenderTargets.bound[0] = nullptr;
  GraphicsFlush();
  g_RenderStates.mode3D = true;
  SpriteDraw(m_sprite, 0, -1000, 100, 1, 1, 0, 0xFFFFFF, 1);
  g_RenderStates.mode3D = false;
  EXPECT_EQ(OpenBatch().size(), 6u);
  GraphicsFlush();
  g_RenderStates.customOrtho = true;
  SpriteDraw(m_sprite, 0, -1000, 100, 1, 1, 0, 0xFFFFFF, 1);
  SpriteDrawSimple(m_sprite, 0, -1000, 100);
  g_RenderStates.customOrtho = false;
  EXPECT_EQ(OpenBatch().size(), 12u);
}

TEST_F(SpriteDrawTest, AMissingPageEntryIsReportedAndDrawingGoesOn) {
  m_sprite.m_pageEntries[1] = nullptr;
  SpriteDraw(m_sprite, 1, 100, 100, 1, 1, 0, 0xFFFFFF, 1);
  SpriteDrawSimple(m_sprite, 1, 100, 100);
  m_sprite.DrawPart(1, 0, 0, 4, 4, 100, 100, 1, 1, 0xFFFFFF, 1);
  EXPECT_EQ(console.Count("Error attempting to draw sprite spr_test\n"), 3);
  SpriteDraw(m_sprite, 2, 100, 100, 1, 1, 0, 0xFFFFFF, 1);
  EXPECT_EQ(DrawnColumn(), 16);
}

TEST_F(SpriteDrawTest, SkeletonAndVectorSpritesDrawNothingYetAndAreNotReported) {
  CSprite skeleton;
  skeleton.m_kind = SPRITE_SKELETON;
  skeleton.m_numb = INT32_MAX;
  skeleton.m_skeleton = CSkeletonSprite::LoadFromChunk(nullptr, 0, 0, 0, 0, 0);
  CSprite vector;
  vector.m_kind = SPRITE_VECTOR;
  vector.m_numb = 1;
  for (const CSprite* s : {&skeleton, &vector}) {
    SpriteDraw(*s, 0, 100, 100, 1, 1, 0, 0xFFFFFF, 1);
    SpriteDrawSimple(*s, 0, -1000, 100);
    s->DrawStretched(0, 0, 0, 10, 10, 0xFFFFFF, 1);
    s->DrawPart(0, 0, 0, 4, 4, 0, 0, 1, 1, 0xFFFFFF, 1);
    s->DrawTiled(0, 0, 0, 1, 1, true, true, 0, 0, 640, 480, 0xFFFFFF, 1);
  }
  EXPECT_TRUE(OpenBatch().empty());
  EXPECT_EQ(console.Text().find("Error attempting"), std::string::npos) << console.Text();
}

CBitmap32* Opaque(int32_t w, int32_t h, uint32_t colour) { return new CBitmap32(CBitmap32::CreateFilled(w, h, colour)); }

TEST_F(SpriteDrawTest, SpritesMadeAtRunTimeDrawFromTheirOwnTextures) {
  CSprite made;
  made.m_width = 4;
  made.m_height = 2;
  made.m_numb = 2;
  made.m_bitmaps.Push(Opaque(4, 2, 0x0000FF));
  made.m_bitmaps.Push(Opaque(4, 2, 0x00FF00));
  made.InitTexture();
  made.InitLocalTPE();
  ASSERT_EQ(made.m_textures.Count(), 2);
  ASSERT_TRUE(made.m_ownsPageEntries);
  EXPECT_FALSE(made.HoldsGamePageEntries());
  const TPageEntry e = TPageEntry_Read(made.m_pageEntries[1]);
  EXPECT_EQ(e.texturePage, made.m_textures[1]);
  EXPECT_EQ(e.width, 4);
  EXPECT_EQ(e.fullHeight, 2);
  EXPECT_EQ(made.GetTPE(3).kind, SpriteTextureHandle::kTexture);
  EXPECT_EQ(made.GetTPE(3).texture, made.m_textures[1]);
  SpriteDraw(made, 1, 50, 50, 1, 1, 0, 0xFFFFFF, 1);
  std::vector<TexturedVertex> v = OpenBatch();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_EQ(v[2].x, 54);
  EXPECT_EQ(v[2].y, 52);
  const int32_t texture = made.m_textures[0];
  // A copy makes textures of its own; clearing frees them.
  CSprite copy;
  copy.CopyFrom(made);
  ASSERT_EQ(copy.m_textures.Count(), 2);
  EXPECT_NE(copy.m_textures[0], texture);
  EXPECT_TRUE(copy.m_ownsPageEntries);
  made.Clear();
  EXPECT_FALSE(GR_Texture_Exists(texture));
  EXPECT_TRUE(GR_Texture_Exists(copy.m_textures[0]));
  // A copy of a sprite of the game data shares its page entries and makes no textures.
  CSprite shared;
  shared.CopyFrom(m_sprite);
  EXPECT_TRUE(shared.HoldsGamePageEntries());
  EXPECT_EQ(shared.m_pageEntries[2], m_entries.At(2));
  EXPECT_EQ(shared.m_textures.Count(), 0);
  EXPECT_EQ(shared.GetTPE(2).entry, m_entries.At(2));
  shared.m_pageEntries.Clear();
}

// ---- Pixels ----

class SpritePixelTest : public testsupport::HeadlessGLTest {
 protected:
  void SetUp() override {
    HeadlessGLTest::SetUp();
    ASSERT_TRUE(GR_D3D_Init(nullptr, 64, 64, 0));
    // A 4 x 4 page of opaque texels, each its own colour, and a sprite of it with origin (1, 1).
    std::vector<uint8_t> raw(16);
    const uint32_t header[4] = {0x20574152, 4, 4, 0};
    std::memcpy(raw.data(), header, 16);
    for (uint32_t y = 0; y < 4; ++y) {
      for (uint32_t x = 0; x < 4; ++x) {
        const uint8_t rgba[4] = {static_cast<uint8_t>(60 * x + 5), static_cast<uint8_t>(60 * y + 7),
                                 static_cast<uint8_t>(x * 16 + y + 1), 255};
        raw.insert(raw.end(), rgba, rgba + 4);
        m_texels[y][x] = 0xFF000000u | rgba[0] << 16 | rgba[1] << 8 | rgba[2];
      }
    }
    testsupport::TPageEntryFields page;
    page.width = page.height = page.cropWidth = page.cropHeight = page.frameWidth = page.frameHeight = 4;
    testsupport::SpriteEntry sprite;
    sprite.name = "spr_tile";
    sprite.width = sprite.height = 4;
    sprite.xOrigin = sprite.yOrigin = 1;
    sprite.frames = {0};
    testsupport::GameDataBuilder g;
    g.Gen8().Sprt({sprite}).Tpag({page}).Txtr({{0, raw}}).Strg();
    m_game = g.Build();
    ASSERT_TRUE(GameData_LoadImage(m_game.data(), m_game.size()));
    ASSERT_TRUE(GameData_ScanHeader());
    ASSERT_TRUE(LoadGameData());
    GR_SetViewport(0, 0, 64, 64);
    GR_SetViewArea(0, 0, 64, 64, 0);
    GR_Clear(0xFF000000);
  }

  std::vector<uint8_t> m_game;
  uint32_t m_texels[4][4] = {};
};

TEST_F(SpritePixelTest, ALoadedSpriteDrawsTurnedAndScaledAboutItsOrigin) {
  const CSprite* sprite = Sprite_Data(Sprite_FindByName("spr_tile"));
  ASSERT_NE(sprite, nullptr);
  // Scaled by 2 and turned by 90 degrees counter-clockwise about the origin texel (1, 1) at
  // (32, 32): texel (c, r) covers the 2 x 2 pixels whose left is 32 + 2 (r - 1) and whose top is
  // 32 - 2 (c - 1) - 2.
  SpriteDraw(*sprite, 0, 32, 32, 2, 2, 90, 0xFFFFFF, 1);
  GraphicsFlush();
  const std::vector<uint32_t> pixels = ReadBack(0, 0, 64, 64);
  ASSERT_EQ(pixels.size(), 64u * 64u);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      const int left = 32 + 2 * (r - 1), top = 32 - 2 * (c - 1) - 2;
      for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
          EXPECT_EQ(pixels[static_cast<size_t>((top + dy) * 64 + left + dx)], m_texels[r][c])
              << "texel " << c << "," << r << " pixel " << left + dx << "," << top + dy;
        }
      }
    }
  }
  // Nothing outside the 8 x 8 square it covers.
  EXPECT_EQ(pixels[static_cast<size_t>(31 * 64 + 29)], 0xFF000000u);
  EXPECT_EQ(pixels[static_cast<size_t>(35 * 64 + 36)], 0xFF000000u);
}

}  // namespace
