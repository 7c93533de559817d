// The texture table, the script handles of textures and page entries, and the textured-quad
// drawers: vertices on the recording fake, pixels of a synthetic game's texture page on OpenGL.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "debug/Debug_State.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Bitmap32.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Transform.h"
#include "platform/MemoryManager.h"
#include "runner/GameData.h"
#include "variable/ScriptValue.h"
#include "testlib/GameDataBuilder.h"
#include "testlib/GraphicsFixtures.h"

namespace {

using testsupport::OpenBatch;

// A page entry in a byte block at an odd address, as entries may lie in the game image.
struct LooseEntry {
  uint8_t bytes[1 + sizeof(TPageEntry)] = {};
  TPageEntry* At() { return reinterpret_cast<TPageEntry*>(bytes + 1); }
  void Set(const TPageEntry& e) { TPageEntry_Write(At(), e); }
  TPageEntry Get() { return TPageEntry_Read(At()); }
};

class TextureTableTest : public testsupport::FakeGraphicsTest {
 protected:
  void SetUp() override {
    FakeGraphicsTest::SetUp();
    ASSERT_TRUE(testsupport::OpenTestDisplay(640, 480));
    GraphicsFlush();
    std::vector<uint32_t> pixels(256 * 128, 0xFFFFFFFFu);
    m_page = GR_Texture_Create(256, 128, pixels.data(), pixels.size() * 4);
  }

  // An entry of 20 x 10 pixels at (100, 50) on the page, trimmed 2 left and 3 top of a 30 x 16
  // frame.
  TPageEntry Entry() const {
    TPageEntry e;
    e.x = 100, e.y = 50, e.width = 20, e.height = 10;
    e.xOffset = 2, e.yOffset = 3, e.cropWidth = 20, e.cropHeight = 10;
    e.fullWidth = 30, e.fullHeight = 16;
    e.texturePage = static_cast<int16_t>(m_page);
    return e;
  }

  int32_t m_page = -1;
};

TEST_F(TextureTableTest, FreedSlotsAreReusedFirstAndInvalidIdsAnswerPlainly) {
  int32_t ids[5];
  for (int32_t& id : ids) id = GR_Texture_CreateBlank(16, 16, false);
  GR_Texture_Free(ids[3]);
  EXPECT_FALSE(GR_Texture_Exists(ids[3]));
  EXPECT_EQ(GR_Texture_CreateBlank(8, 8, false), ids[3]);
  EXPECT_EQ(GR_Texture_CreateBlank(8, 8, false), ids[4] + 1);

  for (int32_t bad : {-1, ids[4] + 2, 1 << 20}) {
    EXPECT_FALSE(GR_Texture_Exists(bad));
    EXPECT_EQ(GR_Texture_GetHardware(bad), nullptr);
    EXPECT_EQ(GR_Texture_GetUVWidth(bad), 1.0f);
    EXPECT_FALSE(GR_Texture_Draw(bad, 0, 0));
  }
}

TEST_F(TextureTableTest, UVSizesAreTheShareOfThePowerOfTwoTextureTheImageCovers) {
  std::vector<uint32_t> pixels(200 * 30, 0xFF00FF00u);
  const int32_t id = GR_Texture_Create(200, 30, pixels.data(), pixels.size() * 4);
  EXPECT_FLOAT_EQ(GR_Texture_GetUVWidth(id), 0.78125f);
  EXPECT_FLOAT_EQ(GR_Texture_GetUVHeight(id), 30.0f / 32.0f);
}

TEST_F(TextureTableTest, ChunkTexturesKeepTheirSlotEvenWhenTheirBytesMakeNoImage) {
  const uint8_t junk[] = {1, 2, 3, 4, 5};
  const int32_t a = GR_Texture_CreateFromChunk(junk, sizeof junk, false);
  const int32_t b = GR_Texture_CreateFromChunk(nullptr, 0, true);
  EXPECT_EQ(b, a + 1);
  EXPECT_TRUE(GR_Texture_Exists(a));
  EXPECT_TRUE(GR_Texture_Exists(b));
  EXPECT_EQ(GR_Texture_GetHardware(b)->texture, nullptr);
}

TEST_F(TextureTableTest, TheStartUpMakesTheWhiteTextureAndTheShutdownFreesIt) {
  ASSERT_GE(g_Textures.whiteTextureId, 0);
  EXPECT_TRUE(GR_Texture_Exists(g_Textures.whiteTextureId));
  EXPECT_EQ(g_Textures.whiteTexture->width, 1);
  const int32_t white = g_Textures.whiteTextureId;
  GR_D3D_Finish();
  EXPECT_EQ(g_Textures.whiteTextureId, -1);
  EXPECT_FALSE(GR_Texture_Exists(white));
}

TEST_F(TextureTableTest, OneResolverTurnsScriptValuesIntoNoneATextureOrAnEntry) {
  LooseEntry entry;
  entry.Set(Entry());
  const int32_t handle = GR_Texture_EntryHandle(entry.At());
  EXPECT_GT(handle, 16384);
  struct Case {
    double value;
    TextureHandleKind kind;
  };
  const Case cases[] = {{-1, TextureHandleKind::kNone},          {static_cast<double>(m_page), TextureHandleKind::kTexture},
                        {handle + 0.0, TextureHandleKind::kEntry}, {handle + 1.0, TextureHandleKind::kNone},
                        {m_page + 0.5, TextureHandleKind::kNone}, {999, TextureHandleKind::kNone},
                        {1e300, TextureHandleKind::kNone},        {-0x100000, TextureHandleKind::kNone}};
  for (const Case& c : cases) EXPECT_EQ(GR_Texture_Resolve(c.value).kind, c.kind) << c.value;
  EXPECT_EQ(GR_Texture_Resolve(handle).entry, entry.At());
  EXPECT_EQ(GR_Texture_Resolve(m_page).id, m_page);

  ScriptValue text = testsupport::Str("1");
  EXPECT_EQ(GR_Texture_ResolveValue(text).kind, TextureHandleKind::kNone);
  ReleaseValue(&text);
  GR_Texture_RemoveEntryHandle(handle);
  EXPECT_EQ(GR_Texture_Resolve(handle).kind, TextureHandleKind::kNone);
}

TEST_F(TextureTableTest, AnEntryDrawsItsCroppedRectangleAtItsOffsetWithTheScriptColour) {
  LooseEntry entry;
  entry.Set(Entry());
  ASSERT_TRUE(GR_Texture_DrawEntryExt(entry.At(), 5, 1, 40, 30, 2, 1, 0.0005f, 0x0000FF, 0.5f));
  const std::vector<TexturedVertex> v = OpenBatch();
  ASSERT_EQ(v.size(), 6u);
  // Left (2 - 5) x 2 = -6, top 3 - 1 = 2, size 40 x 10; unturned below 0.001 radians.
  const float xs[6] = {34, 74, 74, 74, 34, 34}, ys[6] = {32, 32, 42, 42, 42, 32};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(v[i].x, xs[i]) << i;
    EXPECT_EQ(v[i].y, ys[i]) << i;
    EXPECT_EQ(v[i].colour, 0x7FFF0000u);
  }
  EXPECT_FLOAT_EQ(v[0].u, 100.0f / 256.0f);
  EXPECT_FLOAT_EQ(v[2].u, 120.0f / 256.0f);
  EXPECT_FLOAT_EQ(v[2].v, 60.0f / 128.0f);

  // Corner ids go into the low bits of blue and red.
  g_RenderStates.cornerIds = true;
  GR_Texture_DrawEntryExt(entry.At(), 0, 0, 0, 0, 1, 1, 0, 0xFFFFFF, 1);
  const std::vector<TexturedVertex> w = OpenBatch();
  ASSERT_EQ(w.size(), 12u);
  EXPECT_EQ(w[6].colour, 0xFFFEFFFEu);
  EXPECT_EQ(w[7].colour, 0xFFFEFFFFu);
  EXPECT_EQ(w[8].colour, 0xFFFFFFFEu);
  EXPECT_EQ(w[10].colour, 0xFFFFFFFFu);

  // A zero target size is drawn as 1 and written back into the entry.
  TPageEntry e = Entry();
  e.cropWidth = 0;
  entry.Set(e);
  GR_Texture_DrawEntryExt(entry.At(), 0, 0, 0, 0, 1, 1, 0, 0xFFFFFF, 1);
  EXPECT_EQ(entry.Get().cropWidth, 1);

  e.texturePage = 999;
  entry.Set(e);
  EXPECT_FALSE(GR_Texture_DrawEntryExt(entry.At(), 0, 0, 0, 0, 1, 1, 0, 0xFFFFFF, 1));
}

TEST_F(TextureTableTest, APartOfAnEntryStartsAtTheFirstKeptPixelAndStaysInsideTheKeptRectangle) {
  LooseEntry entry;
  entry.Set(Entry());
  // From the frame's (0, 0), 8 x 6: the trimmed 2 x 3 margin moves the drawing by the margin
  // times the scale, and the part is 6 x 3 of kept pixels.
  ASSERT_TRUE(GR_Texture_DrawEntryPart(entry.At(), 0, 0, 8, 6, 10, 10, 2, 3, 0, 0xFFFFFF, 1));
  std::vector<TexturedVertex> v = OpenBatch();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_EQ(v[0].x, 14.0f);
  EXPECT_EQ(v[0].y, 19.0f);
  EXPECT_EQ(v[2].x, 14.0f + 6 * 2);
  EXPECT_EQ(v[2].y, 19.0f + 3 * 3);
  EXPECT_FLOAT_EQ(v[0].u, 100.0f / 256.0f);
  EXPECT_FLOAT_EQ(v[0].v, 50.0f / 128.0f);
  EXPECT_FLOAT_EQ(v[2].u, 106.0f / 256.0f);

  // A part that starts inside the kept rectangle and runs past its right and bottom edges is
  // cut there: nothing of the neighbouring images on the page is sampled.
  GraphicsFlush();
  ASSERT_TRUE(GR_Texture_DrawEntryPart(entry.At(), 12, 8, 100, 100, 0, 0, 1, 1, 0, 0xFFFFFF, 1));
  v = OpenBatch();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_FLOAT_EQ(v[0].u, 110.0f / 256.0f);
  EXPECT_FLOAT_EQ(v[2].u, 120.0f / 256.0f);
  EXPECT_FLOAT_EQ(v[0].v, 55.0f / 128.0f);
  EXPECT_FLOAT_EQ(v[2].v, 60.0f / 128.0f);
  EXPECT_EQ(v[2].x, 10.0f);
  EXPECT_EQ(v[2].y, 5.0f);

  // A part wholly in the trimmed margin draws nothing.
  GraphicsFlush();
  EXPECT_TRUE(GR_Texture_DrawEntryPart(entry.At(), 25, 0, 5, 5, 0, 0, 1, 1, 0, 0xFFFFFF, 1));
  EXPECT_TRUE(OpenBatch().empty());
}

TEST_F(TextureTableTest, EntryTilingRunsBottomLeftFirstAndWithoutTilingDrawsOneQuad) {
  LooseEntry entry;
  entry.Set(Entry());
  ASSERT_TRUE(GR_Texture_DrawEntryTiled(entry.At(), 0, 0, 7, 9, 1, 1, false, false, 0, 0, 0, 0, 0xFFFFFF, 1));
  EXPECT_EQ(OpenBatch().size(), 6u);

  GraphicsFlush();
  GR_SetViewArea(0, 0, 60, 32, 0);
  ASSERT_TRUE(GR_Texture_DrawEntryTiled(entry.At(), 0, 0, 7, 9, 1, 1, true, false, 0, 0, 0, 0, 0xFFFFFF, 1));
  const std::vector<TexturedVertex> v = OpenBatch();
  // Bounds 0..60: columns of 30 from 0 + fmod(7, 30) - 30 = -23, (60 + 29) / 30 + 2 = 4 of them.
  ASSERT_EQ(v.size(), 4u * 6u);
  const float left = -23 + 2, top = 9 + 3, right = left + 20, bottom = top + 10;
  const float xs[6] = {left, left, right, right, right, left}, ys[6] = {bottom, top, top, top, bottom, bottom};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(v[i].x, xs[i]) << i;
    EXPECT_EQ(v[i].y, ys[i]) << i;
  }
  EXPECT_EQ(v[6].x, left + 30);
}

TEST_F(TextureTableTest, EntryTilingAtATinyScaleIsCappedAndEnds) {
  LooseEntry entry;
  entry.Set(Entry());
  ASSERT_TRUE(GR_Texture_DrawEntryTiled(entry.At(), 0, 0, 0, 0, 0.0002f, 0.0002f, true, true, 0, 0, 0, 0, 0xFFFFFF, 1));
  GraphicsFlush();
  int64_t vertices = 0;
  for (const std::string& line : FakeD3D().Lines("DrawPrimitive 4 0 ")) vertices += 3 * std::stoll(line.substr(18));
  EXPECT_GT(vertices, 0);
  EXPECT_LE(vertices, kMaxEntryTiles * 6);
  // A scale below 0.0001 draws nothing.
  FakeD3D().log.clear();
  EXPECT_TRUE(GR_Texture_DrawEntryTiled(entry.At(), 0, 0, 0, 0, 0.00005f, 1, true, true, 0, 0, 0, 0, 0xFFFFFF, 1));
  GraphicsFlush();
  EXPECT_EQ(FakeD3D().Count("DrawPrimitive"), 0);
}

TEST_F(TextureTableTest, AWholeTextureTiledBelowOnePixelDrawsNothing) {
  EXPECT_TRUE(GR_Texture_DrawTiled(m_page, 0, 0, 0, 0, 0.001f, 1, true, true, 0, 0, 640, 480, 0xFFFFFF, 1));
  EXPECT_TRUE(OpenBatch().empty());
  // At scale 1 over 640 x 480: 4 x 5 tiles (3 x 4 plus the one before each edge), one fan each.
  EXPECT_TRUE(GR_Texture_DrawTiled(m_page, 0, 0, 10, 10, 1, 1, true, true, 0, 0, 640, 480, 0xFFFFFF, 1));
  GraphicsFlush();
  EXPECT_EQ(FakeD3D().Count("DrawPrimitive 6 0 2"), 4 * 5);
}

TEST_F(TextureTableTest, ABitmapBecomesATextureOfItsPixels) {
  EXPECT_EQ(GR_Texture_CreateFromBitmap32(nullptr), -1);
  CBitmap32 invalid;
  EXPECT_EQ(GR_Texture_CreateFromBitmap32(&invalid), -1);
  CBitmap32 bitmap = CBitmap32::CreateFilled(3, 2, 0x0000FF);
  const int32_t id = GR_Texture_CreateFromBitmap32(&bitmap);
  ASSERT_TRUE(GR_Texture_Exists(id));
  uint8_t* block = ReadTexturePixels(GR_Texture_GetHardware(id), 0, 0, 3, 2);
  ASSERT_NE(block, nullptr);
  uint32_t words[6];
  std::memcpy(words, block, sizeof words);
  MemoryManager::Free(block);
  for (uint32_t w : words) EXPECT_EQ(w, 0xFFFF0000u);
  EXPECT_EQ(GR_Texture_GetEntry(id)->width, 3);
}

// ---- Pixels: two images of a synthetic game's texture page ----

class TexturedQuadGLTest : public testsupport::HeadlessGLTest {
 protected:
  void SetUp() override {
    HeadlessGLTest::SetUp();
    ASSERT_TRUE(GR_D3D_Init(nullptr, 64, 64, 0));
    // An 8 x 4 page: two 4 x 4 images side by side, every texel its own opaque colour.
    std::vector<uint8_t> raw(16);
    const uint32_t header[4] = {0x20574152, 8, 4, 0};
    std::memcpy(raw.data(), header, 16);
    for (uint32_t y = 0; y < 4; ++y) {
      for (uint32_t x = 0; x < 8; ++x) {
        const uint8_t rgba[4] = {static_cast<uint8_t>(30 * x + 5), static_cast<uint8_t>(60 * y + 7),
                                 static_cast<uint8_t>(x * 16 + y), 255};
        raw.insert(raw.end(), rgba, rgba + 4);
        m_texels[y][x] = 0xFF000000u | rgba[0] << 16 | rgba[1] << 8 | rgba[2];
      }
    }
    testsupport::TPageEntryFields first, second;
    first.width = first.height = first.cropWidth = first.cropHeight = first.frameWidth = first.frameHeight = 4;
    second = first;
    second.x = 4;
    testsupport::GameDataBuilder g;
    g.Gen8().Tpag({first, second}).Txtr({{0, raw}}).Strg();
    m_game = g.BuildWithLabels();
    ASSERT_TRUE(GameData_LoadImage(m_game.bytes.data(), m_game.bytes.size()));
    ASSERT_TRUE(GameData_ScanHeader());
    ASSERT_TRUE(LoadGameData());
    GR_SetViewport(0, 0, 64, 64);
    GR_SetViewArea(0, 0, 64, 64, 0);
    GR_Clear(0xFF000000);
  }

  TPageEntry* Page(int i) {
    return reinterpret_cast<TPageEntry*>(g_GameData.GameImage + m_game.At("tpag#" + std::to_string(i)));
  }

  // True when the 4 x 4 pixels at (x, y) are the image that starts at column `column` of the page.
  ::testing::AssertionResult Shows(int32_t x, int32_t y, int32_t column) {
    const std::vector<uint32_t> pixels = ReadBack(x, y, 4, 4);
    if (pixels.size() != 16) return ::testing::AssertionFailure() << "no read-back";
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c)
        if (pixels[r * 4 + c] != m_texels[r][column + c])
          return ::testing::AssertionFailure() << "pixel " << c << "," << r << " is " << std::hex << pixels[r * 4 + c]
                                               << ", texel " << m_texels[r][column + c];
    return ::testing::AssertionSuccess();
  }

  testsupport::BuiltGameData m_game;
  uint32_t m_texels[4][8] = {};
};

TEST_F(TexturedQuadGLTest, EntriesAtIntegerPositionsReadBackTexelExactWithPointAndLinearFiltering) {
  for (bool linear : {false, true}) {
    GR_Clear(0xFF000000);
    GR_SetTextureInterpolation(linear);
    GraphicsFlush();
    const int32_t before = g_Debug.overlay.drawCalls;
    ASSERT_TRUE(GR_Texture_DrawEntryExt(Page(0), 0, 0, 10, 12, 1, 1, 0, 0xFFFFFF, 1));
    ASSERT_TRUE(GR_Texture_DrawEntryExt(Page(1), 0, 0, 30, 40, 1, 1, 0, 0xFFFFFF, 1));
    GraphicsFlush();
    EXPECT_EQ(g_Debug.overlay.drawCalls - before, 1) << "two quads of one page share a draw";
    EXPECT_TRUE(Shows(10, 12, 0)) << "linear " << linear;
    EXPECT_TRUE(Shows(30, 40, 4)) << "linear " << linear;
  }
  // A blend change between them splits the draw.
  const int32_t before = g_Debug.overlay.drawCalls;
  GR_Texture_DrawEntryExt(Page(0), 0, 0, 10, 12, 1, 1, 0, 0xFFFFFF, 1);
  GR_SetBlendMode(1);
  GR_Texture_DrawEntryExt(Page(1), 0, 0, 30, 40, 1, 1, 0, 0xFFFFFF, 1);
  GraphicsFlush();
  EXPECT_EQ(g_Debug.overlay.drawCalls - before, 2);
}

TEST_F(TexturedQuadGLTest, AWholeTextureDrawnOneToOneSamplesTexelCentres) {
  GR_SetTextureInterpolation(true);
  const int32_t page = TPageEntry_Read(Page(0)).texturePage;
  ASSERT_TRUE(GR_Texture_Draw(page, 20, 20));
  GraphicsFlush();
  EXPECT_TRUE(Shows(20, 20, 0));
  EXPECT_TRUE(Shows(24, 20, 4));
}

}  // namespace
