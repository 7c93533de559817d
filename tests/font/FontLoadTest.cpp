// Fonts of the game data: the "FONT" entry format, the character table, the table's lookups, and
// entries that do not lie inside the file.
#include <gtest/gtest.h>

#include "font/Font_Class.h"
#include "font/Font_Main.h"
#include "runner/GameDataTestUtil.h"

namespace {

using gamedatatest::GameDataTest;
using testsupport::FontEntry;
using testsupport::GameDataBuilder;
namespace corrupt = testsupport::corrupt;

GameDataBuilder Game(const std::vector<FontEntry>& fonts, const std::vector<uint16_t>& charTable = {}) {
  GameDataBuilder g;
  g.Gen8().Font(fonts, charTable);
  g.Tpag({{}, {16, 8, 64, 32, 0, 0, 64, 32, 64, 32, 0}});
  g.Strg();
  return g;
}

FontEntry MainFont() {
  FontEntry f;
  f.name = "fnt_main";
  f.faceName = "Sans";
  f.size = 14;
  f.bold = true;
  f.firstWord = 0x03020041;  // antialiasing 2, character set 2, first character 65
  f.last = 90;
  f.tpag = 1;
  f.xscale = 2.0f;
  f.yscale = 0.5f;
  // Out of order in the file, and one character above 0x7FFF (compared unsigned).
  f.glyphs = {{0xE000, 20, 0, 3, 6, 4, 0}, {67, 10, 0, 3, 9, 4, 0}, {65, 0, 0, 4, 8, 5, -1}, {66, 5, 0, 4, 12, 5, 0}};
  return f;
}

class FontLoadTest : public GameDataTest {};

TEST_F(FontLoadTest, EntriesLoadWithTheirGlyphsSortedAndTheCharacterTable) {
  FontEntry empty;
  empty.present = false;
  FontEntry bare;
  bare.name = "fnt_bare";
  bare.faceName = std::nullopt;
  std::vector<uint16_t> table(256);
  for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint16_t>(0x400 + i);
  const testsupport::BuiltGameData file = Game({MainFont(), empty, bare}, table).BuildWithLabels();
  ASSERT_TRUE(Load(file.bytes));

  ASSERT_EQ(g_Fonts.table.Count(), 3);
  const CFontTW* f = Font_Data(0);
  ASSERT_NE(f, nullptr);
  EXPECT_STREQ(Font_GetName(0), "fnt_main");
  EXPECT_STREQ(f->GetFontName(), "Sans");
  EXPECT_EQ(f->GetSize(), 14);
  EXPECT_TRUE(f->GetBold());
  EXPECT_FALSE(f->GetItalic());
  EXPECT_EQ(f->GetFirst(), 65);
  EXPECT_EQ(f->GetLast(), 90);
  EXPECT_EQ(f->m_xscale, 2.0f);
  EXPECT_EQ(f->m_yscale, 0.5f);
  EXPECT_EQ(f->m_border, 0.5f);
  EXPECT_EQ(f->m_sprite, -1);
  EXPECT_EQ(f->TextHeight(), 12);  // the tallest glyph
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(f->m_pageEntry), g_GameData.GameImage + file.At("tpag#1"));
  EXPECT_EQ(f->GetTPE().kind, TextureHandleKind::kEntry);

  // The glyphs point into the image, sorted by character, so the binary search finds each.
  ASSERT_EQ(f->GlyphCount(), 4);
  const uint16_t order[] = {65, 66, 67, 0xE000};
  for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(FontGlyph_Read(f->Glyph(i)).character, order[i]);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(f->Glyph(0)), g_GameData.GameImage + file.At("font#0:glyph#2"));
  CFontTW* font = Font_Data(0);
  for (uint16_t c : order) {
    const FontGlyph* g = font->FindGlyph(c);
    ASSERT_NE(g, nullptr) << c;
    EXPECT_EQ(FontGlyph_Read(g).character, c);
  }
  EXPECT_EQ(font->FindGlyph(68), nullptr);
  EXPECT_EQ(font->FindGlyph(32), nullptr);
  EXPECT_EQ(font->GetCharWidth(65), 5);
  EXPECT_EQ(font->TextWidth(u"ABxC"), 14);  // unscaled; missing glyphs count 0
  EXPECT_EQ(font->TextWidth(nullptr), 0);

  // The empty slot keeps its index; a font without a face name has none.
  EXPECT_FALSE(Font_Exists(1));
  EXPECT_STREQ(Font_GetName(1), "<undefined>");
  EXPECT_STREQ(Font_GetName(-1), "<undefined>");
  ASSERT_TRUE(Font_Exists(2));
  EXPECT_EQ(Font_Data(2)->GetFontName(), nullptr);
  EXPECT_EQ(Font_Data(2)->GlyphCount(), 0);
  EXPECT_EQ(Font_Data(2)->GetTPE().kind, TextureHandleKind::kNone);
  EXPECT_EQ(Font_FindByName("fnt_bare"), 2);
  EXPECT_EQ(Font_FindByName("FNT_BARE"), -1);

  // The character table is the chunk's last 512 bytes.
  EXPECT_EQ(Font_CharTableCode(0, 7), 0x400);
  EXPECT_EQ(Font_CharTableCode(255, 7), 0x4FF);
  EXPECT_EQ(Font_CharTableCode(256, 7), 7);
  EXPECT_EQ(Font_CharTableCode(-1, 7), 7);

  // Another load starts from an empty table, without a character table.
  GameDataBuilder none;
  none.Gen8().Strg();
  ASSERT_TRUE(Load(none.Build()));
  EXPECT_EQ(g_Fonts.table.Count(), 0);
  EXPECT_EQ(Font_CharTableCode(65, 7), 7);
}

TEST_F(FontLoadTest, EntriesThatDoNotLieInsideTheFileAreRefused) {
  const testsupport::BuiltGameData valid = Game({MainFont()}).BuildWithLabels();
  const int64_t size = static_cast<int64_t>(valid.bytes.size());
  FontEntry negative = MainFont();
  negative.glyphCount = -1;
  FontEntry tooMany = MainFont();
  tooMany.glyphCount = 0x40000000;
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    const char* reason;
  };
  const Case cases[] = {
      // 4 + 4 x 1 + 512 bytes are needed for one font.
      {"519-byte chunk", Game({MainFont()}).Build({corrupt::PayloadSize("FONT", 519)}), "too short for 1 fonts"},
      {"negative glyph count", Game({negative}).Build(), "font 0, its glyph table"},
      {"glyph table past the file", Game({tooMany}).Build(), "font 0, its glyph table"},
      {"glyph record across the end", Game({MainFont()}).Build({corrupt::SetOffset("FONT", 4, size - 10)}),
       "glyph 0 of font 0 lies outside the file"},
      {"name outside", Game({MainFont()}).Build({corrupt::SetOffset("FONT", 1, size)}), "font 0 or its name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_console.Clear();
    EXPECT_FALSE(Load(c.file));
    EXPECT_NE(m_console.Text().find(c.reason), std::string::npos) << m_console.Text();
    EXPECT_EQ(g_Fonts.table.Count(), 0);
    GameData_Free();
  }
  ASSERT_TRUE(Load(valid.bytes));
}

}  // namespace
