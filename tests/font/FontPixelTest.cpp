// One line each with the built-in page font, a sprite font and a TrueType font, drawn on OpenGL
// without a window and read back: ink lands where the glyphs are, and nowhere else.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "base/VCL.h"
#include "font/Font_Class.h"
#include "font/Font_Main.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Bitmap32.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Transform.h"
#include "os/OS_Paths.h"
#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Main.h"
#include "testlib/GraphicsFixtures.h"
#include "testlib/TestHelpers.h"

namespace {

namespace fs = std::filesystem;

constexpr int32_t kWidth = 128, kHeight = 64;

struct Box {
  int32_t left, top, right, bottom;  // right and bottom exclusive
  bool Holds(int32_t x, int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
};

class FontPixelTest : public testsupport::HeadlessGLTest {
 protected:
  void SetUp() override {
    HeadlessGLTest::SetUp();
    ASSERT_TRUE(testsupport::OpenTestDisplay(kWidth, kHeight));
    GR_Clear(0xFF000000);
    fs::create_directories(m_dir.path() / "game");
    fs::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", m_dir.path() / "game" / "DejaVuSans.ttf");
    SetGameFilePath(m_dir.file("game/game.win").c_str());
  }

  testsupport::TempDir m_dir;
  testsupport::EnvOverride m_data{"XDG_DATA_HOME", m_dir.file("data").c_str()};
};

TEST_F(FontPixelTest, APageFontASpriteFontAndATrueTypeFontDrawTheirLines) {
  // The built-in font from the embedded sheet: "H" at (4, 4) covers its 12 x 18 rectangle.
  EmbeddedFiles_SetTable(EmbeddedFiles_ProgramTable());
  HardwareTexture* sheet = EmbeddedFiles_CreateTexture(kBuiltinFontSheet);
  ASSERT_NE(sheet, nullptr);
  CFontTW builtin;
  builtin.ConstructBuiltIn(g_BuiltinFontGlyphs, kBuiltinFontFirst, kBuiltinFontLast,
                           GR_Texture_CreateFromHardware(256, 128, sheet));
  builtin.Draw(4, 4, u"H", 0xFFFFFF, 1);
  const Box page = {3, 3, 4 + 13, 4 + 19};

  // A sprite font of one opaque 6 x 6 frame: "XX" at (4, 30) draws two squares 8 apart.
  const int32_t sprite = Sprite_AddEmpty();
  CSprite* s = Sprite_Data(sprite);
  s->m_width = s->m_height = 6;
  s->m_numb = 1;
  s->m_bitmaps.Push(new CBitmap32(CBitmap32::CreateFilled(6, 6, 0xFF00FF00u)));
  s->InitTexture();
  s->InitLocalTPE();
  s->ComputeBoundingBox();
  CFontTW sprites;
  sprites.ConstructSprite(sprite, "X", false, 2);
  sprites.Draw(4, 30, u"XX", 0xFFFFFF, 1);
  const Box squares[2] = {{4, 30, 10, 36}, {12, 30, 18, 36}};

  // DejaVu Sans: "I" at (60, 10), a stem inside its glyph rectangle.
  CFontTW* truetype = Font_Data(Font_Add("DejaVuSans.ttf", 16, false, false, 32, 127));
  ASSERT_NE(truetype, nullptr);
  ASSERT_GT(truetype->m_cache.CellCount(), 0);
  truetype->Draw(60, 10, u"I", 0xFFFFFF, 1);
  const FontGlyph i = FontGlyph_Read(truetype->FindGlyph(u'I'));
  const Box stem = {60 + i.offset, 10, 60 + i.offset + i.width, 10 + i.height};
  GraphicsFlush();

  const std::vector<uint32_t> pixels = ReadBack(0, 0, kWidth, kHeight);
  ASSERT_EQ(pixels.size(), static_cast<size_t>(kWidth * kHeight));
  int32_t inPage = 0, inSquares[2] = {0, 0}, inStem = 0;
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      const uint32_t p = pixels[static_cast<size_t>(y * kWidth + x)];
      if ((p & 0xFFFFFF) == 0) continue;
      if (page.Holds(x, y)) {
        ++inPage;
      } else if (squares[0].Holds(x, y)) {
        ++inSquares[0];
      } else if (squares[1].Holds(x, y)) {
        ++inSquares[1];
      } else if (stem.Holds(x, y)) {
        ++inStem;
      } else {
        ADD_FAILURE() << "ink at " << x << ", " << y << ": " << std::hex << p;
      }
    }
  }
  EXPECT_GT(inPage, 20);  // the H's two stems and bar, doubled
  EXPECT_EQ(inSquares[0], 36);
  EXPECT_EQ(inSquares[1], 36);
  EXPECT_GT(inStem, 10);
  // The squares keep their frame's colour; the gap between them stays black.
  EXPECT_EQ(pixels[static_cast<size_t>(32 * kWidth + 6)] & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(pixels[static_cast<size_t>(32 * kWidth + 11)] & 0xFFFFFF, 0u);
}

}  // namespace
