// Text drawing: splitting and measuring in a font of fixed advances (no device), alignment read
// from the glyph quads on the recording device, and the built-in font drawn on OpenGL.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/VCL.h"
#include "debug/Debug_Overlay.h"
#include "debug/Debug_State.h"
#include "font/Font_Class.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Text.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Transform.h"
#include "testlib/GraphicsFixtures.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TextFixtures.h"

namespace {

using testsupport::OpenBatch;

using testsupport::InstallFixedFont;

std::vector<std::u16string> Split(const char* text, int32_t width) {
  GR_Text_SelectFont();
  TStringList list;
  Text_SplitLines(text, width, &list);
  std::vector<std::u16string> lines;
  for (int32_t i = 0; i < list.Count(); ++i) lines.emplace_back(list.Get(i));
  EXPECT_EQ(list.Get(list.Count()), nullptr);
  return lines;
}

class TextSplitTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    InstallFixedFont();
  }
};

TEST_F(TextSplitTest, LinesBreakAtHashesReturnsAndWrapWidths) {
  struct Case {
    const char* text;
    int32_t width;
    std::vector<std::u16string> lines;
    const char* why;
  };
  const Case cases[] = {
      {"a#b", -1, {u"a", u"b"}, "a hash breaks the line"},
      {"a\\#b", -1, {u"a#b"}, "a backslash before the hash makes it literal"},
      {"#", -1, {u""}, "a lone hash is one empty line"},
      {"", -1, {}, "the empty text has no lines"},
      {"a\r\nb", -1, {u"a", u"", u"b"}, "unwrapped, both a return and a line feed break"},
      {"a\r\nb", 100, {u"a", u"\nb"}, "wrapped, a line feed is an ordinary character"},
      {"aaa bbb", 40, {u"aaa", u"bbb"}, "the break falls at the space"},
      {"aaa bbb", 65, {u"aaa bbb"}, "a line exactly as wide as the width fits"},
      {"aa  #bb", 100, {u"aa  ", u"bb"}, "spaces before a return stay"},
      {"aaa   bbb", 40, {u"aaa", u"  bbb"}, "one space at the break is dropped"},
      {"x aaaaaa y", 25, {u"x", u"aaaaaa", u"y"}, "a word wider than the width stands alone"},
      {"ab#Wc#d", 25, {u"ab"}, "a first character wider than the width ends all output"},
      {"abc", 0, {}, "width 0 gives nothing"},
      {"abc", -5, {u"abc"}, "a negative width does not wrap"},
  };
  for (const Case& c : cases) EXPECT_EQ(Split(c.text, c.width), c.lines) << c.why;
}

TEST_F(TextSplitTest, TheHashConversionNeverWritesToTheCallersText) {
  char text[] = "a\\#b";
  EXPECT_EQ(Split(text, -1), std::vector<std::u16string>{u"a#b"});
  EXPECT_EQ(Split(text, -1), std::vector<std::u16string>{u"a#b"});
  EXPECT_STREQ(text, "a\\#b");
  char hash[] = "a#b";
  Split(hash, -1);
  EXPECT_STREQ(hash, "a#b");
}

TEST_F(TextSplitTest, WidthIsTheWidestLineAndHeightCountsSeparations) {
  EXPECT_EQ(GR_Text_Width("aaa#a", -1, -1), 30);
  EXPECT_EQ(GR_Text_Width("aaa bbb", -1, 40), 30);
  EXPECT_EQ(GR_Text_Width(nullptr, -1, -1), 0);
  EXPECT_EQ(GR_Text_Width("", -1, -1), 0);
  EXPECT_EQ(GR_Text_Height("a#b#c", 20, -1), 12 + 2 * 20);
  EXPECT_EQ(GR_Text_Height("a#b#c", -1, -1), 36);  // the line height separates
  EXPECT_EQ(GR_Text_Height("#", -1, -1), 12);
  EXPECT_EQ(GR_Text_Height("", 20, -1), 0);
  EXPECT_EQ(GR_Text_Height(nullptr, 20, -1), 0);
}

TEST_F(TextSplitTest, TheStateSettersKeepOnlyKnownValues) {
  GR_Text_SetHAlign(2);
  GR_Text_SetVAlign(1);
  EXPECT_EQ(g_Text.halign, 2);
  EXPECT_EQ(g_Text.valign, 1);
  GR_Text_SetHAlign(3);
  GR_Text_SetVAlign(-1);
  EXPECT_EQ(g_Text.halign, 0);
  EXPECT_EQ(g_Text.valign, 0);
  GR_Text_SetFont(7);  // no such font: the built-in one
  EXPECT_EQ(g_Text.currentFont, -1);
  GR_Text_SelectFont();
  EXPECT_EQ(g_Text.activeFont, g_Text.builtinFont);
  GR_SetColour(0x123456);
  GR_SetAlpha(0.5f);
  GR_Text_Init();
  EXPECT_EQ(g_Text.builtinFont, nullptr);
  EXPECT_EQ(GR_GetColour(), 0xFF000000u);
  EXPECT_EQ(GR_GetAlpha(), 1.0f);
}

// ---- Alignment on the recording device ----

class TextDrawTest : public testsupport::FakeGraphicsTest {
 protected:
  void SetUp() override {
    FakeGraphicsTest::SetUp();
    ASSERT_TRUE(testsupport::OpenTestDisplay(640, 480));
    GraphicsFlush();
    std::vector<uint32_t> pixels(256 * 128, 0xFFFFFFFFu);
    InstallFixedFont(GR_Texture_Create(256, 128, pixels.data(), pixels.size() * 4));
  }
  // The first vertex of each glyph quad the draw put on the batch; the batch is drawn after.
  template <typename Draw>
  std::vector<TexturedVertex> Corners(Draw draw) {
    GraphicsFlush();
    draw();
    const std::vector<TexturedVertex> v = OpenBatch();
    std::vector<TexturedVertex> corners;
    for (size_t i = 0; i < v.size(); i += 6) corners.push_back(v[i]);
    GraphicsFlush();
    return corners;
  }
};

TEST_F(TextDrawTest, VerticalAlignmentMovesWholeLinesPlainAndHalfLinesTransformed) {
  const auto plain = [] { GR_Text_Draw(100, 100, "a#b#c", 15, -1); };
  const auto turned = [] { GR_Text_DrawTransformed(100, 100, "a#b#c", 15, -1, 1, 1, 0); };
  const std::vector<TexturedVertex> top = Corners(plain);
  const std::vector<TexturedVertex> topTurned = Corners(turned);
  ASSERT_EQ(top.size(), 3u);
  ASSERT_EQ(topTurned.size(), 3u);
  EXPECT_FLOAT_EQ(top[1].y - top[0].y, 15);
  EXPECT_FLOAT_EQ(top[2].y - top[1].y, 15);
  GR_Text_SetVAlign(1);
  EXPECT_FLOAT_EQ(top[0].y - Corners(plain)[0].y, 22);  // 45 / 2 in integers
  EXPECT_FLOAT_EQ(topTurned[0].y - Corners(turned)[0].y, 22.5f);
  GR_Text_SetVAlign(2);
  EXPECT_FLOAT_EQ(top[0].y - Corners(plain)[0].y, 45);
  EXPECT_FLOAT_EQ(topTurned[0].y - Corners(turned)[0].y, 45);
}

TEST_F(TextDrawTest, HorizontalAlignmentMovesEachLineByItsOwnWidth) {
  const auto draw = [] { GR_Text_Draw(100, 100, "i#aa", -1, -1); };
  const std::vector<TexturedVertex> left = Corners(draw);
  ASSERT_EQ(left.size(), 3u);
  GR_Text_SetHAlign(1);
  const std::vector<TexturedVertex> centred = Corners(draw);
  EXPECT_FLOAT_EQ(left[0].x - centred[0].x, 5);  // width 11, halved in integers
  EXPECT_FLOAT_EQ(left[1].x - centred[1].x, 10);
  GR_Text_SetHAlign(2);
  const std::vector<TexturedVertex> right = Corners(draw);
  EXPECT_FLOAT_EQ(left[0].x - right[0].x, 11);
  EXPECT_FLOAT_EQ(left[1].x - right[1].x, 20);
  GR_Text_SetHAlign(1);
  const std::vector<TexturedVertex> turned = Corners([] { GR_Text_DrawTransformed(100, 100, "i", -1, -1, 2, 1, 0); });
  ASSERT_EQ(turned.size(), 1u);
  GR_Text_SetHAlign(0);
  EXPECT_FLOAT_EQ(Corners([] { GR_Text_DrawTransformed(100, 100, "i", -1, -1, 2, 1, 0); })[0].x - turned[0].x, 11);
}

TEST_F(TextDrawTest, EmptyLinesAdvanceAndZeroSeparationStacksLines) {
  const std::vector<TexturedVertex> gap = Corners([] { GR_Text_Draw(0, 0, "a##b", 10, -1); });
  ASSERT_EQ(gap.size(), 2u);
  EXPECT_FLOAT_EQ(gap[1].y - gap[0].y, 20);
  const std::vector<TexturedVertex> stacked = Corners([] { GR_Text_Draw(0, 0, "a#b", 0, -1); });
  ASSERT_EQ(stacked.size(), 2u);
  EXPECT_FLOAT_EQ(stacked[1].y, stacked[0].y);
  EXPECT_TRUE(Corners([] { GR_Text_Draw(0, 0, "abc", -1, 0); }).empty());
  EXPECT_TRUE(Corners([] { GR_Text_Draw(0, 0, nullptr, -1, -1); }).empty());
}

TEST_F(TextDrawTest, TheColourDrawersPaintTheirCornersAndPlainDrawsUseTheDrawColour) {
  GR_SetColour(0x0000FF);
  GR_SetAlpha(1.0f);
  GraphicsFlush();
  GR_Text_Draw(0, 0, "a", -1, -1);
  std::vector<TexturedVertex> v = OpenBatch();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_EQ(v[0].colour, 0xFFFF0000u);
  GraphicsFlush();
  GR_Text_DrawColour(0, 0, "a", -1, -1, 0x00FF00, 0x00FF00, 0x00FF00, 0x00FF00, 1.0f);
  v = OpenBatch();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_EQ(v[0].colour, 0xFF00FF00u);
}

TEST_F(TextDrawTest, PlainDrawsOpenTheTextTimingBar) {
  TimingMarkers_BeginFrame();
  GR_Text_Draw(0, 0, "a", -1, -1);
  const DebugOverlayState& o = g_Debug.overlay;
  ASSERT_EQ(o.markerCount, 2);  // "Total", then "Text"
  EXPECT_STREQ(o.markers[1].name, "Text");
  EXPECT_EQ(o.markers[1].colour, 0xFFFFFF00u);
  EXPECT_EQ(o.openCount, 1);  // closed again
}

// ---- The built-in font on OpenGL ----

class TextPixelTest : public testsupport::HeadlessGLTest {};

TEST_F(TextPixelTest, TheBuiltInFontDrawsFromTheOverlaysSheet) {
  ASSERT_TRUE(testsupport::OpenTestDisplay(64, 32));
  EmbeddedFiles_SetTable(EmbeddedFiles_ProgramTable());
  DebugOverlay_Init();
  ASSERT_NE(g_Debug.overlay.fontTexture, nullptr);
  EXPECT_EQ(g_Debug.overlay.fontLineHeight, g_BuiltinFontGlyphs['@' - kBuiltinFontFirst][3] + 2);
  GR_Clear(0xFF000000);
  GR_SetColour(0xFFFFFF);
  GR_Text_Draw(4, 4, "H", -1, -1);
  GraphicsFlush();
  const unsigned char* h = g_BuiltinFontGlyphs['H' - kBuiltinFontFirst];
  const std::vector<uint32_t> pixels = ReadBack(0, 0, 64, 32);
  ASSERT_EQ(pixels.size(), 64u * 32u);
  int32_t inside = 0, outside = 0;
  for (int32_t y = 0; y < 32; ++y) {
    for (int32_t x = 0; x < 64; ++x) {
      if ((pixels[y * 64 + x] & 0xFFFFFFu) == 0) continue;
      const bool in = x >= 3 && x < 4 + h[2] + 1 && y >= 3 && y < 4 + h[3] + 1;
      (in ? inside : outside) += 1;
    }
  }
  EXPECT_GT(inside, 10);
  EXPECT_EQ(outside, 0);
  // The font goes with the text state; the overlay forgets the texture its entry freed.
  GR_Text_Init();
  EXPECT_EQ(g_Debug.overlay.fontTexture, nullptr);
}

}  // namespace
