// Background drawing (the vertices of the open batch and pixels read back), pixels read back
// from the page into a duplicate, saving, and alpha taken from another background.
#include <filesystem>
#include <string>
#include <vector>

#include "BackgroundFixture.h"
#include "background/Background_Main.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Bitmap32.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/PNG_Reader.h"
#include "testlib/TestHelpers.h"

namespace backgroundtest {
namespace {

using testsupport::GameDataBuilder;
using testsupport::OpenBatch;
using testsupport::Str;
using testsupport::TPageEntryFields;

ScriptValue Real(double v) { return RealValue(v); }

// A game whose texture page is 4 x 4 texels, each its own opaque colour: background "page"
// covers it whole, "outside" names a rectangle that runs off its right edge.
class BackgroundPageTest : public BackgroundTest {
 protected:
  void SetUp() override {
    BackgroundTest::SetUp();
    std::vector<uint32_t> texels;
    for (uint32_t y = 0; y < 4; ++y) {
      for (uint32_t x = 0; x < 4; ++x) {
        m_texels[y][x] = 0xFF000000u | (60 * x + 5) << 16 | (60 * y + 7) << 8 | (x * 16 + y + 1);
        texels.push_back(m_texels[y][x]);
      }
    }
    TPageEntryFields whole;
    whole.width = whole.height = whole.cropWidth = whole.cropHeight = whole.frameWidth = whole.frameHeight = 4;
    TPageEntryFields outside = whole;
    outside.x = 2;
    GameDataBuilder g;
    g.Gen8().Tpag({whole, outside}).Bgnd({{"page", false, false, false, 0}, {"outside", false, false, false, 1}});
    g.Txtr({{0, RawTexture(4, 4, texels)}}).Strg();
    ASSERT_TRUE(LoadGame(g.Build())) << console.Text();
    GR_Clear(0xFF000000u);
    GraphicsFlush();
  }

  uint32_t m_texels[4][4] = {};
};

TEST_F(BackgroundPageTest, DrawersTakeThePositionScaleTurnAndColourFromThePageOrTheOwnTexture) {
  const int32_t own = static_cast<int32_t>(Call("background_create_colour", {Real(4), Real(4), Real(0xFFFFFF)}));
  for (const int32_t index : {0, own}) {
    SCOPED_TRACE(index);
    const CBackground* b = Background_Data(index);
    b->DrawExt(10, 20, 2, 3, 0, 0x0000FF, 0.5f);
    std::vector<TexturedVertex> v = OpenBatch();
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[0].x, 10);
    EXPECT_EQ(v[0].y, 20);
    EXPECT_EQ(v[2].x, 18);
    EXPECT_EQ(v[2].y, 32);
    EXPECT_EQ(v[0].colour, 0x7FFF0000u);
    GraphicsFlush();
    // Turned 90 degrees counter-clockwise about the top-left corner.
    b->DrawExt(10, 20, 1, 1, 90, 0xFFFFFF, 1);
    v = OpenBatch();
    ASSERT_EQ(v.size(), 6u);
    EXPECT_NEAR(v[2].x, 14, 1e-4);
    EXPECT_NEAR(v[2].y, 16, 1e-4);
    GraphicsFlush();
    b->DrawStretched(5, 6, 32, 16, 0xFFFFFF, 1);
    v = OpenBatch();
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[2].x, 37);
    EXPECT_EQ(v[2].y, 22);
    GraphicsFlush();
    b->DrawStretched(5, 6, 0, 16, 0xFFFFFF, 1);
    b->DrawStretched(5, 6, 16, -1, 0xFFFFFF, 1);
    EXPECT_TRUE(OpenBatch().empty());
    // Corner colours keep their corners.
    b->DrawGeneral(0, 0, 4, 4, 0, 0, 1, 1, 0, 0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 1);
    v = OpenBatch();
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[0].colour, 0xFFFF0000u);
    EXPECT_EQ(v[1].colour, 0xFF00FF00u);
    EXPECT_EQ(v[2].colour, 0xFF0000FFu);
    EXPECT_EQ(v[4].colour, 0xFFFFFFFFu);
    GraphicsFlush();
    // The plain draw is white with the draw alpha.
    GR_SetAlpha(0.5f);
    b->Draw(1, 2);
    GR_SetAlpha(1.0f);
    v = OpenBatch();
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[0].x, 1);
    EXPECT_EQ(v[0].colour, 0x7FFFFFFFu);
    GraphicsFlush();
  }
  // A record without a size stretches nothing.
  CBackground empty;
  empty.DrawStretched(0, 0, 10, 10, 0xFFFFFF, 1);
  EXPECT_TRUE(OpenBatch().empty());
}

TEST_F(BackgroundPageTest, AGameBackgroundDrawsTiledAndStretchedAndAPngMadeAtRunTimeDrawsItsPixels) {
  const CBackground* page = Background_Data(0);
  // Tiled over the view from (1, 2): texel (x - 1) mod 4, (y - 2) mod 4 everywhere.
  page->DrawTiled(1, 2, 1, 1, true, true, 0, 0, 64, 64, 0xFFFFFF, 1);
  GraphicsFlush();
  std::vector<uint32_t> pixels = ReadBack(0, 0, 64, 64);
  ASSERT_EQ(pixels.size(), 64u * 64u);
  for (int y = 0; y < 64; y += 5) {
    for (int x = 0; x < 64; x += 3) {
      EXPECT_EQ(pixels[static_cast<size_t>(y * 64 + x)], m_texels[(y + 2) % 4][(x + 3) % 4]) << x << "," << y;
    }
  }
  // Stretched to 16 x 8 at (8, 8): each texel 4 x 2 pixels.
  GR_Clear(0xFF000000u);
  page->DrawStretched(8, 8, 16, 8, 0xFFFFFF, 1);
  GraphicsFlush();
  pixels = ReadBack(0, 0, 64, 64);
  for (int y = 8; y < 16; ++y) {
    for (int x = 8; x < 24; ++x) {
      EXPECT_EQ(pixels[static_cast<size_t>(y * 64 + x)], m_texels[(y - 8) / 2][(x - 8) / 4]) << x << "," << y;
    }
  }
  EXPECT_EQ(pixels[static_cast<size_t>(16 * 64 + 8)], 0xFF000000u);
  EXPECT_EQ(pixels[static_cast<size_t>(8 * 64 + 24)], 0xFF000000u);

  // A PNG file made into a background at run time, drawn at (10, 10).
  WriteGameFile("pic.png", PngOf(2, 2, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u}));
  const int32_t index = static_cast<int32_t>(Call("background_add", {Str("pic.png"), Real(0), Real(0)}));
  GR_Clear(0xFF000000u);
  Background_Data(index)->Draw(10, 10);
  GraphicsFlush();
  pixels = ReadBack(0, 0, 64, 64);
  EXPECT_EQ(pixels[10 * 64 + 10], 0xFFFF0000u);
  EXPECT_EQ(pixels[10 * 64 + 11], 0xFF00FF00u);
  EXPECT_EQ(pixels[11 * 64 + 10], 0xFF0000FFu);
  EXPECT_EQ(pixels[11 * 64 + 11], 0xFFFFFF00u);
  EXPECT_EQ(pixels[12 * 64 + 10], 0xFF000000u);
}

TEST_F(BackgroundPageTest, OnlyADuplicateOwnsPixelsThatCanBeSaved) {
  namespace fs = std::filesystem;
  Call("background_save", {Real(0), Str("page.png")});
  EXPECT_EQ(console.Count("background_save() failed - no bitmap data available\n"), 1);
  EXPECT_FALSE(fs::exists(SaveDir() + "page.png"));
  Call("background_save", {Real(7), Str("page.png")});
  EXPECT_EQ(TakeError(), "Trying to save non-existing background bitmap.");
  Call("background_save", {Real(0), Str("")});
  EXPECT_EQ(TakeError(), "Trying to save background bitmap to empty image file name.");

  const double copy = Call("background_duplicate", {Real(0)});
  EXPECT_EQ(copy, 2);
  const CBackground* duplicate = Background_Data(2);
  ASSERT_NE(duplicate->m_Bitmap, nullptr);
  EXPECT_EQ(duplicate->m_TPageEntry, nullptr);
  EXPECT_GE(duplicate->m_Texture, 0);
  EXPECT_EQ(Call("background_get_width", {Real(copy)}), 4);
  EXPECT_EQ(duplicate->m_Bitmap->GetData()->pixels[1 * 4 + 2], m_texels[1][2]);
  Call("background_save", {Real(copy), Str("shots/page.png")});
  EXPECT_EQ(TakeError(), "");
  const std::string saved = testsupport::ReadFile(SaveDir() + "shots/page.png");
  ASSERT_FALSE(saved.empty());
  int32_t w = 0, h = 0;
  const uint32_t* decoded =
      DecodePNG(reinterpret_cast<const uint8_t*>(saved.data()), saved.size(), &w, &h, false);
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 4);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(decoded[i], m_texels[i / 4][i % 4]) << i;
  FreeDecodedPNG();
  // The game background itself still draws from its page.
  EXPECT_NE(Background_Data(0)->m_TPageEntry, nullptr);
}

TEST_F(BackgroundPageTest, APageRectangleThatLeavesItsTextureIsNotReadBack) {
  CBackground* outside = Background_Data(1);
  EXPECT_FALSE(outside->DuplicateBitmap());
  EXPECT_NE(outside->m_TPageEntry, nullptr);
  EXPECT_EQ(outside->m_Bitmap, nullptr);
  // Its duplicate keeps drawing from the page and has nothing to save.
  const double copy = Call("background_duplicate", {Real(1)});
  EXPECT_EQ(Background_Data(static_cast<int32_t>(copy))->m_Bitmap, nullptr);
  EXPECT_EQ(Background_Data(static_cast<int32_t>(copy))->m_TPageEntry, outside->m_TPageEntry);
  // Already owning pixels, or drawing from no page: nothing to read.
  const int32_t own = static_cast<int32_t>(Call("background_create_colour", {Real(1), Real(1), Real(0)}));
  EXPECT_FALSE(Background_Data(own)->DuplicateBitmap());
  CBackground empty;
  EXPECT_FALSE(empty.DuplicateBitmap());
}

TEST_F(BackgroundPageTest, AlphaComesFromAnotherBackgroundOnlyWhenBothOwnPixels) {
  Call("background_set_alpha_from_background", {Real(0), Real(0)});
  EXPECT_EQ(console.Count("Both bitmaps need to be duplicated first\n"), 1);
  const int32_t grey = static_cast<int32_t>(Call("background_create_colour", {Real(2), Real(2), Real(0x306090)}));
  Call("background_set_alpha_from_background", {Real(grey), Real(0)});
  EXPECT_EQ(console.Count("Both bitmaps need to be duplicated first\n"), 2);
  const int32_t copy = static_cast<int32_t>(Call("background_duplicate", {Real(0)}));
  // Over the common 2 x 2 area each alpha becomes min(own, (r + g + b) / 3 of the other).
  Call("background_set_alpha_from_background", {Real(copy), Real(grey)});
  const uint32_t* pixels = Background_Data(copy)->m_Bitmap->GetData()->pixels;
  EXPECT_EQ(pixels[0], (m_texels[0][0] & 0xFFFFFFu) | 0x60000000u);
  EXPECT_EQ(pixels[5], (m_texels[1][1] & 0xFFFFFFu) | 0x60000000u);
  EXPECT_EQ(pixels[2], m_texels[0][2]);
  // An index that names nothing does nothing.
  Call("background_set_alpha_from_background", {Real(copy), Real(99)});
  EXPECT_EQ(console.Count("Both bitmaps need to be duplicated first\n"), 2);
}

}  // namespace
}  // namespace backgroundtest
