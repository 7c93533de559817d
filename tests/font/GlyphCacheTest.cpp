// TrueType fonts and their glyph cache: opening the file (save area, then game folder), glyph
// metrics, the cell layout, the rendering order and reuse of cells, the pixels a glyph bitmap
// gives, and fonts that cannot be used.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <filesystem>
#include <string>
#include <vector>

#include "font/Font_Class.h"
#include "font/Font_GlyphCache.h"
#include "font/Font_Main.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_Transform.h"
#include "os/OS_Paths.h"
#include "testlib/GraphicsFixtures.h"
#include "testlib/TestHelpers.h"

namespace {

namespace fs = std::filesystem;
using testsupport::OpenBatch;

constexpr const char* kSystemFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

TEST(GlyphCacheArithmetic, WholePixelsUpRoundTowardPlusInfinityForEitherSign) {
  struct Case {
    int64_t value;
    int32_t pixels;
  };
  for (const Case& c : {Case{0, 0}, Case{1, 1}, Case{63, 1}, Case{64, 1}, Case{65, 2}, Case{-1, 0}, Case{-63, 0},
                        Case{-64, -1}, Case{-65, -1}, Case{-128, -2}, Case{-129, -2}}) {
    EXPECT_EQ(FT_CeilPixels(c.value), c.pixels) << c.value;
  }
  EXPECT_EQ(FT_CeilPixels(INT64_MAX), INT32_MAX);
  EXPECT_EQ(FT_CeilPixels(INT64_MIN), INT32_MIN);
}

// The alpha of each pixel mode, in a 4 x 3 cell: rows land from the first row given, and
// nothing outside the cell is written.
TEST(GlyphCacheArithmetic, BitmapsCopyWithTheAlphaOfTheirPixelMode) {
  struct Case {
    const char* what;
    int32_t mode;
    std::vector<uint8_t> row;  // one source row, 4 pixels
    std::vector<int32_t> alphas;  // -1: not written
  };
  const Case cases[] = {
      {"mono", FT_PIXEL_MODE_MONO, {0xA0}, {255, 0, 255, 0}},
      {"two bits", FT_PIXEL_MODE_GRAY2, {0x1B}, {0, 63, 126, 189}},
      {"four bits", FT_PIXEL_MODE_GRAY4, {0x0F, 0x8F}, {0, 105, 56, 105}},
      {"bytes", FT_PIXEL_MODE_GRAY, {0, 7, 128, 255}, {0, 7, 128, 255}},
      {"lcd bytes", FT_PIXEL_MODE_LCD, {1, 2, 3, 4}, {1, 2, 3, 4}},
      {"colour bitmaps", FT_PIXEL_MODE_BGRA, {9, 9, 9, 9}, {-1, -1, -1, -1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> cell(4 * 3 * 4, 0x11);
    GlyphBitmap bitmap;
    bitmap.rows = 1;
    bitmap.width = 4;
    bitmap.pitch = static_cast<int32_t>(c.row.size());
    bitmap.buffer = c.row.data();
    bitmap.pixelMode = c.mode;
    GlyphCache_CopyBitmap(cell.data(), 16, 4, 3, 1, bitmap);
    for (int x = 0; x < 4; ++x) {
      const uint8_t* p = &cell[16 + 4 * x];
      if (c.alphas[x] < 0) {
        EXPECT_EQ(p[3], 0x11) << x;
        continue;
      }
      EXPECT_EQ(p[0], 255);
      EXPECT_EQ(p[1], 255);
      EXPECT_EQ(p[2], 255);
      EXPECT_EQ(p[3], c.alphas[x]) << x;
    }
    for (size_t i = 0; i < 16; ++i) EXPECT_EQ(cell[i], 0x11);  // row 0 untouched
  }
  // A bitmap larger than the cell, above its top and flowing upwards: cut to the cell.
  const uint8_t rows[3][6] = {{1, 1, 1, 1, 1, 1}, {2, 2, 2, 2, 2, 2}, {3, 3, 3, 3, 3, 3}};
  std::vector<uint8_t> cell(2 * 2 * 4, 0);
  GlyphBitmap up;
  up.rows = 3;
  up.width = 6;
  up.pitch = -6;  // the buffer starts with the bottom row
  up.buffer = &rows[0][0];
  up.pixelMode = FT_PIXEL_MODE_GRAY;
  GlyphCache_CopyBitmap(cell.data(), 8, 2, 2, -1, up);
  EXPECT_EQ(cell[3], 2);   // source row 1 (the middle) on cell row 0
  EXPECT_EQ(cell[7], 2);
  EXPECT_EQ(cell[11], 1);  // source row 2 (stored first) on cell row 1
}

class GlyphCacheTest : public testsupport::FakeGraphicsTest {
 protected:
  void SetUp() override {
    FakeGraphicsTest::SetUp();
    ASSERT_TRUE(testsupport::OpenTestDisplay(640, 480));
    GraphicsFlush();
    m_data.Set(m_dir.file("data").c_str());
    fs::create_directories(m_dir.path() / "game");
    ASSERT_TRUE(fs::exists(kSystemFont)) << "fonts-dejavu-core is needed (scripts/install-deps)";
    fs::copy_file(kSystemFont, m_dir.path() / "game" / "DejaVuSans.ttf");
    SetGameFilePath(m_dir.file("game/game.win").c_str());
    Font_Init();
  }
  // A font of DejaVu Sans at `size` points, in a new slot.
  CFontTW* AddFont(int32_t size) { return Font_Data(Font_Add("DejaVuSans.ttf", size, false, false, 32, 127)); }
  // The position of a glyph in the cache, (-1, -1) when it holds none.
  static std::pair<int32_t, int32_t> Where(CFontTW* font, char16_t c) {
    const FontGlyph g = FontGlyph_Read(font->Glyph(Index(font, c)));
    return {g.x, g.y};
  }
  static int32_t Index(CFontTW* font, char16_t c) {
    for (int32_t i = 0; i < font->GlyphCount(); ++i) {
      if (FontGlyph_Read(font->Glyph(i)).character == c) return i;
    }
    ADD_FAILURE() << "no glyph " << static_cast<int>(c);
    return 0;
  }

  testsupport::TempDir m_dir;
  testsupport::EnvOverride m_data{"XDG_DATA_HOME", nullptr};
};

TEST_F(GlyphCacheTest, AFontFileGivesEveryMappedCharacterAGlyphAndACache) {
  const int32_t index = Font_Add("DejaVuSans.ttf", 12, true, false, -5, 1000);
  CFontTW* font = Font_Data(index);
  ASSERT_NE(font, nullptr);
  EXPECT_STREQ(font->GetFontName(), "DejaVuSans.ttf");
  EXPECT_EQ(font->GetSize(), 12);
  EXPECT_TRUE(font->GetBold());
  EXPECT_EQ(font->GetFirst(), 0);
  EXPECT_EQ(font->GetLast(), 255);
  EXPECT_EQ(font->m_border, 0.0f);
  EXPECT_GT(font->GlyphCount(), 1000);  // far more than first .. last
  EXPECT_NE(font->m_fontFile, nullptr);
  // Sorted by character; nothing rendered yet but the space, which never is.
  for (int32_t i = 1; i < font->GlyphCount(); ++i) {
    EXPECT_LE(FontGlyph_Read(font->Glyph(i - 1)).character, FontGlyph_Read(font->Glyph(i)).character);
  }
  const FontGlyph space = FontGlyph_Read(font->FindGlyph(32));
  EXPECT_EQ(space.x, 0);
  EXPECT_GT(space.advance, 0);
  EXPECT_EQ(Where(font, u'A'), std::make_pair(-1, -1));

  // The metrics are FreeType's in whole pixels up.
  FT_Face face = font->m_cache.Face();
  ASSERT_NE(face, nullptr);
  ASSERT_EQ(FT_Load_Glyph(face, FT_Get_Char_Index(face, 'g'), FT_LOAD_DEFAULT), 0);
  const FT_Glyph_Metrics m = face->glyph->metrics;
  const FontGlyph g = FontGlyph_Read(font->FindGlyph(u'g'));
  EXPECT_EQ(g.advance, (m.horiAdvance + 63) >> 6);
  EXPECT_EQ(g.width, (m.width + 63) >> 6);
  EXPECT_EQ(g.offset, (m.horiBearingX + 63) >> 6);
  EXPECT_EQ(g.height, (m.height - m.horiBearingY + face->size->metrics.ascender + 63) >> 6);
  EXPECT_EQ(font->TextHeight(), (face->size->metrics.height + 63) >> 6);
  EXPECT_EQ(font->TextWidth(u"gg"), 2 * g.advance);
  EXPECT_EQ(font->GetTPE().kind, TextureHandleKind::kTexture);
  EXPECT_EQ(font->GetTPE().id, font->m_cache.m_texture);
}

TEST_F(GlyphCacheTest, CellsFollowThePlacementRule) {
  // A face whose size metrics give 8 x 15 pixel cells.
  FT_SizeRec size{};
  size.metrics.max_advance = 8 * 64;
  size.metrics.height = 15 * 64 - 10;
  FT_FaceRec face{};
  face.size = &size;
  GlyphCache cache;
  cache.Init(512, 512, &face);
  EXPECT_EQ(cache.m_cellWidth, 8);
  EXPECT_EQ(cache.m_cellHeight, 15);
  // (508 / 17) x (508 / 10) cells, placed 51 to a row: x grows by 10 until 512 - 8 < x.
  ASSERT_EQ(cache.CellCount(), 29 * 50);
  std::vector<std::pair<int32_t, int32_t>> cells;
  for (GlyphCacheCell* c = cache.Head(); c != nullptr; c = c->next) cells.emplace_back(c->x, c->y);
  ASSERT_EQ(cells.size(), 1450u);
  EXPECT_EQ(cells[0], std::make_pair(2, 2));
  EXPECT_EQ(cells[50], std::make_pair(502, 2));
  EXPECT_EQ(cells[51], std::make_pair(2, 19));
  // 28 full rows, then 22 cells in the last.
  EXPECT_EQ(cells[1449], std::make_pair(2 + 21 * 10, 2 + 28 * 17));
  EXPECT_EQ(cache.Tail()->x, 212);
  EXPECT_EQ(cache.Tail()->previous->x, 202);
  cache.m_face = nullptr;  // not a face FreeType made
  cache.FreeCells();
  GR_Texture_Free(cache.m_texture);

  // Cells that cannot hold a glyph, or do not fit the texture, make none.
  for (const auto& [w, h] : {std::pair{0, 15}, std::pair{8, -2}, std::pair{509, 15}, std::pair{8, 509}}) {
    size.metrics.max_advance = w * 64;
    size.metrics.height = h * 64;
    GlyphCache none;
    none.Init(512, 512, &face);
    EXPECT_EQ(none.CellCount(), 0) << w << " x " << h;
    EXPECT_EQ(none.Head(), nullptr);
    FontGlyph glyph{65, -1, -1, 4, 4, 4, 0};
    EXPECT_EQ(none.Acquire(&glyph), nullptr);
    EXPECT_EQ(glyph.x, -1);
    none.m_face = nullptr;
    GR_Texture_Free(none.m_texture);
  }
}

TEST_F(GlyphCacheTest, GlyphsAreRenderedOnceIntoCellsFromTheLastCreated) {
  CFontTW* font = AddFont(12);
  ASSERT_NE(font, nullptr);
  GlyphCache& cache = font->m_cache;
  ASSERT_GT(cache.CellCount(), 100);
  const std::pair<int32_t, int32_t> last = {cache.Tail()->x, cache.Tail()->y};
  const std::pair<int32_t, int32_t> beforeLast = {cache.Tail()->previous->x, cache.Tail()->previous->y};
  // Measuring renders nothing.
  EXPECT_GT(font->TextWidth(u"AB"), 0);
  EXPECT_EQ(Where(font, u'A'), std::make_pair(-1, -1));

  font->Draw(10, 20, u"AB", 0xFFFFFF, 1);
  EXPECT_EQ(Where(font, u'A'), last);
  EXPECT_EQ(Where(font, u'B'), beforeLast);
  GlyphCacheCell* head = cache.Head();
  EXPECT_EQ(std::make_pair(head->x, head->y), beforeLast);
  // Drawn again: nothing is rendered, nothing moves.
  font->Draw(10, 40, u"BA", 0xFFFFFF, 1);
  EXPECT_EQ(Where(font, u'A'), last);
  EXPECT_EQ(cache.Head(), head);

  // The quads sample the cells of the cache texture, without a border.
  const std::vector<TexturedVertex> v = OpenBatch();
  ASSERT_EQ(v.size(), 24u);
  const FontGlyph a = FontGlyph_Read(font->FindGlyph(u'A'));
  EXPECT_FLOAT_EQ(v[0].x, 10 + a.offset);
  EXPECT_FLOAT_EQ(v[0].y, 20);
  EXPECT_FLOAT_EQ(v[2].y, 20 + a.height);
  EXPECT_FLOAT_EQ(v[0].u, last.first / 512.0f);
  EXPECT_FLOAT_EQ(v[2].v, (last.second + a.height) / 512.0f);

  // The rendered glyph is in the texture's pixel copy: white, with ink in A's cell.
  HardwareTexture* texture = cache.m_hardwareTexture;
  ASSERT_NE(texture, nullptr);
  ASSERT_NE(texture->pixelCopy, nullptr);
  int32_t ink = 0;
  for (int32_t y = 0; y < cache.m_cellHeight; ++y) {
    for (int32_t x = 0; x < cache.m_cellWidth; ++x) {
      const uint8_t* p = texture->pixelCopy + ((last.second + y) * 512 + last.first + x) * 4;
      EXPECT_EQ(p[0] & p[1] & p[2], 255);
      ink += p[3] > 128;
    }
  }
  EXPECT_GT(ink, 10);
  const uint8_t* untouched = texture->pixelCopy + (2 * 512 + 2) * 4;  // the head cell at first
  EXPECT_EQ(untouched[3], 0);
  EXPECT_EQ(untouched[0], 255);
}

TEST_F(GlyphCacheTest, WhenEveryCellIsTakenTheGlyphRenderedLongestAgoLosesItsCell) {
  // A size whose cells are few.
  CFontTW* font = nullptr;
  for (int32_t size = 40; size <= 200 && font == nullptr; size += 10) {
    CFontTW* candidate = AddFont(size);
    if (candidate->m_cache.CellCount() >= 2 && candidate->m_cache.CellCount() <= 16) font = candidate;
  }
  ASSERT_NE(font, nullptr);
  const int32_t cells = font->m_cache.CellCount();
  const std::u16string letters = u"ABCDEFGHIJKLMNOPQ";
  for (int32_t i = 0; i <= cells; ++i) font->Draw(0, 0, letters.substr(static_cast<size_t>(i), 1).c_str(), 0xFFFFFF, 1);
  // One more distinct character than cells: A went, B is the next to go.
  EXPECT_EQ(Where(font, u'A'), std::make_pair(-1, -1));
  EXPECT_NE(Where(font, u'B'), std::make_pair(-1, -1));
  EXPECT_EQ(Where(font, letters[static_cast<size_t>(cells)]).first, font->m_cache.Head()->x);
  // Looking A up renders it again, into B's cell.
  const std::pair<int32_t, int32_t> b = Where(font, u'B');
  ASSERT_NE(font->FindGlyph(u'A'), nullptr);
  EXPECT_EQ(Where(font, u'A'), b);
  EXPECT_EQ(Where(font, u'B'), std::make_pair(-1, -1));
}

TEST_F(GlyphCacheTest, AFaceTooLargeForTheTextureDrawsNothing) {
  CFontTW* font = AddFont(1000);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->m_cache.CellCount(), 0);
  EXPECT_GT(font->GlyphCount(), 1000);
  const FontGlyph* a = font->FindGlyph(u'A');
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(FontGlyph_Read(a).x, -1);
  font->Draw(0, 0, u"A", 0xFFFFFF, 1);
  const std::vector<TexturedVertex> v = OpenBatch();
  ASSERT_EQ(v.size(), 6u);
  for (const TexturedVertex& vertex : v) EXPECT_EQ(vertex.colour, 0u);
}

TEST_F(GlyphCacheTest, FontsThatCannotBeUsedAreKeptWithoutGlyphs) {
  // The save area is searched first: a broken file there hides the good one in the game folder.
  const std::string save = GetSaveDirectory();
  fs::create_directories(save);
  testsupport::RecordingConsole console;
  tagIConsole* saved = DebugConsole;
  DebugConsole = &console;
  {
    std::FILE* f = std::fopen((save + "Broken.ttf").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not a font", f);
    std::fclose(f);
    fs::copy_file(kSystemFont, m_dir.path() / "game" / "Broken.ttf");
  }
  const int32_t missing = Font_Add("nothere.ttf", 12, false, false, 32, 127);
  const int32_t broken = Font_Add("Broken.ttf", 12, false, false, 32, 127);
  DebugConsole = saved;
  EXPECT_EQ(console.Count("FreeType :: unable to find font file nothere.ttf\n"), 1) << console.Text();
  EXPECT_NE(console.Text().find(":: Unable to open font file Broken.ttf\n"), std::string::npos) << console.Text();
  for (const int32_t index : {missing, broken}) {
    CFontTW* font = Font_Data(index);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->GlyphCount(), 0);
    EXPECT_EQ(font->TextWidth(u"abc"), 0);
    EXPECT_EQ(font->m_texture, -1);
    font->Draw(0, 0, u"abc", 0xFFFFFF, 1);
  }
  EXPECT_TRUE(OpenBatch().empty());
  EXPECT_STREQ(Font_Data(missing)->GetFontName(), "nothere.ttf");
}

}  // namespace
