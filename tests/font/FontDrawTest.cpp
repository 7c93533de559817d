// One line of text on the recording device (the vertices of the open batch): page fonts of the
// game data, the built-in font, and sprite fonts with their glyphs and character mapping.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/VCL.h"
#include "font/Font_Class.h"
#include "font/Font_Main.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Transform.h"
#include "platform/Colour.h"
#include "runner/GameData.h"
#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Main.h"
#include "testlib/GameDataBuilder.h"
#include "testlib/GraphicsFixtures.h"

namespace {

using testsupport::OpenBatch;

// A "RAW " texture blob of w x h opaque white pixels.
std::vector<uint8_t> RawWhite(uint32_t w, uint32_t h) {
  std::vector<uint8_t> raw(16);
  const uint32_t header[4] = {0x20574152, w, h, 0};
  std::memcpy(raw.data(), header, 16);
  raw.resize(16 + 4ull * w * h, 255);
  return raw;
}

class FontDrawTest : public testsupport::FakeGraphicsTest {
 protected:
  void SetUp() override {
    FakeGraphicsTest::SetUp();
    ASSERT_TRUE(testsupport::OpenTestDisplay(640, 480));
    GraphicsFlush();
  }
  void TearDown() override {
    g_RenderStates.cornerIds = false;
    FakeGraphicsTest::TearDown();
  }
  // A game whose font 0 has glyph A (2, 3, 4 x 8, advance 5, offset 1) on a page entry at
  // (16, 8) of a 256 x 128 texture, drawn at the given scales.
  CFontTW* LoadPageFont(float xscale, float yscale) {
    testsupport::FontEntry font;
    font.name = "fnt_page";
    font.tpag = 0;
    font.xscale = xscale;
    font.yscale = yscale;
    font.glyphs = {{65, 2, 3, 4, 8, 5, 1}};
    testsupport::GameDataBuilder g;
    g.Gen8().Font({font}).Tpag({{16, 8, 64, 32, 0, 0, 64, 32, 64, 32, 0}}).Txtr({{0, RawWhite(256, 128)}}).Strg();
    m_game = g.Build();
    if (!GameData_LoadImage(m_game.data(), m_game.size()) || !GameData_ScanHeader() || !LoadGameData()) return nullptr;
    return Font_Data(0);
  }

  std::vector<uint8_t> m_game;
};

void ExpectZero(const TexturedVertex& v) {
  EXPECT_EQ(v.x, 0);
  EXPECT_EQ(v.y, 0);
  EXPECT_EQ(v.colour, 0u);
  EXPECT_EQ(v.u, 0);
  EXPECT_EQ(v.v, 0);
}

TEST_F(FontDrawTest, PageGlyphsAreQuadsWithTheBorderOnPositionsAndUVs) {
  CFontTW* font = LoadPageFont(2.0f, 3.0f);
  ASSERT_NE(font, nullptr);
  font->Draw(10, 20, u"AzA", 0x0000FF, 0.5f);
  const std::vector<TexturedVertex> v = OpenBatch();
  ASSERT_EQ(v.size(), 18u);
  // Top-left, top-right, bottom-right, bottom-right, bottom-left, top-left; the glyph starts at
  // the pen plus offset x xscale, and reaches the border beyond it on every side.
  const float left = 10 + 1 * 2 - 0.5f, right = 10 + 1 * 2 + 4 * 2 + 0.5f;
  const float top = 20 - 0.5f, bottom = 20 + 8 * 3 + 0.5f;
  const float xs[6] = {left, right, right, right, left, left}, ys[6] = {top, top, bottom, bottom, bottom, top};
  const float u0 = (16 + 2 - 0.5f) / 256, u1 = (16 + 2 + 4 + 0.5f) / 256;
  const float v0 = (8 + 3 - 0.5f) / 128, v1 = (8 + 3 + 8 + 0.5f) / 128;
  const float us[6] = {u0, u1, u1, u1, u0, u0}, vs[6] = {v0, v0, v1, v1, v1, v0};
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_FLOAT_EQ(v[i].x, xs[i]);
    EXPECT_FLOAT_EQ(v[i].y, ys[i]);
    EXPECT_EQ(v[i].z, g_RenderStates.depth2D);
    EXPECT_FLOAT_EQ(v[i].u, us[i]);
    EXPECT_FLOAT_EQ(v[i].v, vs[i]);
    EXPECT_EQ(v[i].colour, 0x7FFF0000u);
  }
  // The missing character keeps six zero vertices and does not move the pen.
  for (int i = 6; i < 12; ++i) ExpectZero(v[i]);
  EXPECT_FLOAT_EQ(v[12].x, left + 5 * 2);

  // Corner numbers in the low bits of blue and red while that mode is on.
  GraphicsFlush();
  g_RenderStates.cornerIds = true;
  font->Draw(0, 0, u"A", 0xFFFFFF, 1);
  const std::vector<TexturedVertex> c = OpenBatch();
  ASSERT_EQ(c.size(), 6u);
  const uint32_t corners[6] = {0, 1, 0x10000, 0x10000, 0x10001, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(c[i].colour, 0xFFFEFFFEu | corners[i]) << i;

  // Empty text and a font without any texture draw nothing.
  GraphicsFlush();
  font->Draw(0, 0, u"", 0xFFFFFF, 1);
  font->Draw(0, 0, nullptr, 0xFFFFFF, 1);
  CFontTW bare;
  bare.Draw(0, 0, u"A", 0xFFFFFF, 1);
  EXPECT_TRUE(OpenBatch().empty());
}

TEST_F(FontDrawTest, TransformedLinesGiveBackTheVerticesOfMissingGlyphs) {
  CFontTW* font = LoadPageFont(1.0f, 1.0f);
  ASSERT_NE(font, nullptr);
  // Unturned, with the given scales in place of the font's.
  font->DrawTransformed(10, 20, u"AzA", 3, 2, 0, 0xFFFFFF, 1);
  std::vector<TexturedVertex> v = OpenBatch();
  ASSERT_EQ(v.size(), 12u);
  EXPECT_FLOAT_EQ(v[0].x, 10 + 3 - 0.5f);
  EXPECT_FLOAT_EQ(v[2].y, 20 + 16 + 0.5f);
  EXPECT_FLOAT_EQ(v[6].x, 10 + 15 + 3 - 0.5f);
  // The next draw follows on directly: nothing of the first is left over.
  font->Draw(0, 0, u"A", 0xFFFFFF, 1);
  EXPECT_EQ(OpenBatch().size(), 18u);

  // Turned by 90 degrees: the line runs upwards, each glyph turned about its pen position.
  GraphicsFlush();
  font->DrawTransformed(100, 100, u"AA", 1, 1, 90, 0xFFFFFF, 1);
  v = OpenBatch();
  ASSERT_EQ(v.size(), 12u);
  const float expected[6][2] = {{99.5f, 98.5f}, {99.5f, 94.5f}, {108.5f, 95.5f},
                                {108.5f, 95.5f}, {108.5f, 99.5f}, {99.5f, 98.5f}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_NEAR(v[i].x, expected[i][0], 1e-4) << i;
    EXPECT_NEAR(v[i].y, expected[i][1], 1e-4) << i;
  }
  EXPECT_NEAR(v[6].y, 98.5f - 5, 1e-4);
}

TEST_F(FontDrawTest, CornerColoursBlendAcrossTheLine) {
  CFontTW* font = LoadPageFont(1.0f, 1.0f);
  ASSERT_NE(font, nullptr);
  const uint32_t c1 = 0x0000FF, c2 = 0xFF0000, c3 = 0x00FF00, c4 = 0x000000;
  font->DrawColour(10, 0, u"AzA", c1, c2, c3, c4, 1);
  const std::vector<TexturedVertex> v = OpenBatch();
  ASSERT_EQ(v.size(), 12u);
  auto argb = [](uint32_t colour) { return Colour_ToARGB(colour, 1); };
  // The line is 10 wide: the first glyph covers 0 .. 0.5 of it, the second 0.5 .. 1.
  EXPECT_EQ(v[0].colour, argb(c1));
  EXPECT_EQ(v[1].colour, argb(MergeColour(c1, c2, 0.5f)));
  EXPECT_EQ(v[2].colour, argb(MergeColour(c4, c3, 0.5f)));
  EXPECT_EQ(v[4].colour, argb(c4));
  EXPECT_EQ(v[6].colour, argb(MergeColour(c1, c2, 0.5f)));
  EXPECT_EQ(v[7].colour, argb(c2));
  EXPECT_EQ(v[8].colour, argb(c3));
  // Glyph rectangles without the border, the pen moving by whole advances.
  EXPECT_FLOAT_EQ(v[0].x, 11);
  EXPECT_FLOAT_EQ(v[6].x, 16);
  EXPECT_FLOAT_EQ(v[2].y, 8);
}

TEST_F(FontDrawTest, TheBuiltInFontDrawsFromTheEmbeddedSheet) {
  EmbeddedFiles_SetTable(EmbeddedFiles_ProgramTable());
  HardwareTexture* sheet = EmbeddedFiles_CreateTexture(kBuiltinFontSheet);
  ASSERT_NE(sheet, nullptr);
  const int32_t texture = GR_Texture_CreateFromHardware(256, 128, sheet);
  CFontTW font;
  font.ConstructBuiltIn(g_BuiltinFontGlyphs, kBuiltinFontFirst, kBuiltinFontLast, texture);
  EXPECT_STREQ(font.GetFontName(), "debug");
  EXPECT_EQ(font.GetSize(), 10);
  EXPECT_EQ(font.GlyphCount(), 105);
  EXPECT_EQ(font.GetFirst(), 32);
  EXPECT_EQ(font.GetLast(), 136);
  int32_t tallest = 0;
  for (const auto& r : g_BuiltinFontGlyphs) tallest = std::max<int32_t>(tallest, r[3]);
  EXPECT_EQ(font.TextHeight(), tallest);
  const TextureHandle handle = font.GetTPE();
  ASSERT_EQ(handle.kind, TextureHandleKind::kEntry);
  const TPageEntry e = TPageEntry_Read(handle.entry);
  EXPECT_EQ(e.width, 256);
  EXPECT_EQ(e.fullHeight, 128);
  EXPECT_EQ(e.texturePage, texture);
  // Every character of the sheet is found; the advance is the rectangle's width.
  const unsigned char* a = g_BuiltinFontGlyphs['A' - kBuiltinFontFirst];
  EXPECT_EQ(font.GetCharWidth(u'A'), a[2]);
  EXPECT_EQ(font.FindGlyph(31), nullptr);
  EXPECT_NE(font.FindGlyph(136), nullptr);
  EXPECT_EQ(font.FindGlyph(137), nullptr);
  font.Draw(0, 0, u"A", 0xFFFFFF, 1);
  const std::vector<TexturedVertex> v = OpenBatch();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_FLOAT_EQ(v[0].u, (a[0] - 0.5f) / 256);
  EXPECT_FLOAT_EQ(v[2].v, (a[1] + a[3] + 0.5f) / 128);
  EXPECT_FLOAT_EQ(v[2].x, a[2] + 0.5f);
}

// ---- Sprite fonts ----

// Loose page entries, as they may lie in the game image.
struct LooseEntries {
  uint8_t bytes[1 + 10 * sizeof(TPageEntry)] = {};
  TPageEntry* At(int i) { return reinterpret_cast<TPageEntry*>(bytes + 1 + i * sizeof(TPageEntry)); }
};

class SpriteFontTest : public FontDrawTest {
 protected:
  void SetUp() override {
    FontDrawTest::SetUp();
    std::vector<uint32_t> pixels(128 * 16, 0xFFFFFFFFu);
    const int32_t page = GR_Texture_Create(128, 16, pixels.data(), pixels.size() * 4);
    // Ten 8 x 10 frames; frame j's opaque part starts j pixels in and is 3 + j wide.
    m_sprite = Sprite_AddEmpty();
    CSprite* s = Sprite_Data(m_sprite);
    s->m_width = 8;
    s->m_height = 10;
    s->m_numb = 10;
    for (int j = 0; j < 10; ++j) {
      TPageEntry e{};
      e.x = static_cast<int16_t>(8 * j);
      e.xOffset = static_cast<int16_t>(j);
      e.width = e.cropWidth = static_cast<int16_t>(3 + j);
      e.height = e.cropHeight = 10;
      e.fullWidth = 8;
      e.fullHeight = 10;
      e.texturePage = static_cast<int16_t>(page);
      TPageEntry_Write(m_entries.At(j), e);
      s->m_pageEntries.Push(m_entries.At(j));
    }
    s->ComputeBoundingBox();
  }
  void TearDown() override {
    if (CSprite* s = Sprite_Data(m_sprite)) s->m_pageEntries.Clear();  // not the sprite's to free
    FontDrawTest::TearDown();
  }
  // The characters of the font's glyphs, in order.
  static std::u16string Characters(const CFontTW& font) {
    std::u16string text;
    for (int32_t i = 0; i < font.GlyphCount(); ++i) text += static_cast<char16_t>(FontGlyph_Read(font.Glyph(i)).character);
    return text;
  }

  LooseEntries m_entries;
  int32_t m_sprite = -1;
};

TEST_F(SpriteFontTest, GlyphsComeFromFramesWithAnAppendedSpace) {
  CFontTW font;
  font.ConstructSprite(m_sprite, "CAB", true, 1);
  ASSERT_EQ(font.GlyphCount(), 4);
  EXPECT_EQ(Characters(font), u" ABC");
  EXPECT_EQ(font.m_sprite, m_sprite);
  EXPECT_EQ(font.GetFirst(), 32);
  EXPECT_EQ(font.GetLast(), 36);  // first + glyph count
  EXPECT_EQ(font.TextHeight(), 10);
  EXPECT_EQ(font.GetFontName(), nullptr);
  struct Expect {
    char16_t c;
    int16_t frame, advance, offset;
  };
  // Frame j of "CAB": left j, right 3 + 2j, advance separation + right - left; the appended
  // space advances as far as the widest of the others.
  for (const Expect& e : {Expect{u'C', 0, 4, 0}, Expect{u'A', 1, 5, -1}, Expect{u'B', 2, 6, -2},
                          Expect{u' ', 3, 6, -3}}) {
    const FontGlyph* found = font.FindGlyph(e.c);
    ASSERT_NE(found, nullptr);
    const FontGlyph g = FontGlyph_Read(found);
    EXPECT_EQ(g.width, e.frame) << static_cast<char>(e.c);
    EXPECT_EQ(g.advance, e.advance) << static_cast<char>(e.c);
    EXPECT_EQ(g.offset, e.offset) << static_cast<char>(e.c);
    EXPECT_EQ(g.height, 10);
  }
  // Not proportional: every glyph the sprite's width; a list longer than the frames is cut; a
  // space in the list is a glyph like the others.
  font.ConstructSprite(m_sprite, "ABCDEFGHIJKL", false, 0);
  EXPECT_EQ(font.GlyphCount(), 11);
  EXPECT_EQ(font.GetCharWidth(u'J'), 8);
  EXPECT_EQ(font.FindGlyph(u'K'), nullptr);
  font.ConstructSprite(m_sprite, "A B", false, 2);
  EXPECT_EQ(Characters(font), u" AB");
  EXPECT_EQ(FontGlyph_Read(font.FindGlyph(u' ')).width, 1);
  // A sprite that does not exist gives an empty font.
  font.ConstructSprite(99, "AB", false, 0);
  EXPECT_EQ(font.GlyphCount(), 0);
  EXPECT_EQ(font.m_sprite, -1);
}

TEST_F(SpriteFontTest, LinesDrawFramesAndSpacesOnlyMoveThePen) {
  CFontTW font;
  font.ConstructSprite(m_sprite, "AB C", true, 1);  // A frame 0, B frame 1, space frame 2, C frame 3
  font.Draw(10, 20, u"AB Cz", 0xFFFFFF, 1);
  const std::vector<TexturedVertex> v = OpenBatch();
  ASSERT_EQ(v.size(), 18u);
  // Pen 10: A at 10 (frame offset 0); pen 14: B at 14 - 1 + 1; pen 19, the space advances 6;
  // pen 25: C at 25 - 3 + 3.
  EXPECT_FLOAT_EQ(v[0].x, 10);
  EXPECT_FLOAT_EQ(v[6].x, 14);
  EXPECT_FLOAT_EQ(v[12].x, 25);
  EXPECT_FLOAT_EQ(v[12].y, 20);
  // A sprite deleted later: the font draws nothing.
  GraphicsFlush();
  g_Sprites.table.Data(m_sprite)->m_pageEntries.Clear();
  g_Sprites.table.Delete(m_sprite);
  font.Draw(10, 20, u"AB", 0xFFFFFF, 1);
  EXPECT_TRUE(OpenBatch().empty());
}

TEST_F(SpriteFontTest, AddingMapsFramesThroughTheCharacterTableAndReplacingByCode) {
  uint8_t table[512];
  for (int i = 0; i < 256; ++i) {
    const uint16_t code = static_cast<uint16_t>(0x400 + i);
    std::memcpy(table + 2 * i, &code, 2);
  }
  struct Case {
    const char* what;
    bool withTable;
    int32_t first;
    std::u16string characters;  // sorted, with the appended space
  };
  const Case cases[] = {
      {"table", true, 65, u" \u0441\u0442\u0443\u0444\u0445\u0446\u0447\u0448\u0449\u044a"},
      // Positions 250 .. 255 from the table, then the codes 256 .. 259 themselves.
      {"past the table", true, 250, u" \u0100\u0101\u0102\u0103\u04fa\u04fb\u04fc\u04fd\u04fe\u04ff"},
      {"no font chunk", false, 65, u" ABCDEFGHIJ"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_Fonts.charTable = c.withTable ? table : nullptr;
    const int32_t index = Font_AddSprite(m_sprite, c.first, false, 0);
    ASSERT_TRUE(Font_Exists(index));
    EXPECT_EQ(Characters(*Font_Data(index)), c.characters);
    EXPECT_STREQ(Font_GetName(index), ("__newfont" + std::to_string(index)).c_str());
    // Replacing maps frame i to the code first + i, whatever the table holds; the name stays.
    ASSERT_TRUE(Font_ReplaceSprite(index, m_sprite, 65, false, 0));
    EXPECT_EQ(Characters(*Font_Data(index)), u" ABCDEFGHIJ");
    EXPECT_STREQ(Font_GetName(index), ("__newfont" + std::to_string(index)).c_str());
  }
  g_Fonts.charTable = nullptr;
  EXPECT_FALSE(Font_ReplaceSprite(99, m_sprite, 65, false, 0));
  EXPECT_FALSE(Font_Replace(-1, "x.ttf", 12, false, false, 32, 127));
  // Slots are never reused: a deleted font keeps its index taken.
  const int32_t last = g_Fonts.table.Count() - 1;
  EXPECT_TRUE(Font_Delete(last));
  EXPECT_FALSE(Font_Delete(last));
  EXPECT_EQ(Font_AddSpriteExt(m_sprite, "A", false, 0), last + 1);
}

}  // namespace
