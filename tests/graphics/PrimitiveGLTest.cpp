// Pixels of the primitives on OpenGL: which pixels a point, a rectangle and its outline light,
// health-bar colours, and the depth test of 3-D mode.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Transform.h"
#include "testlib/GraphicsFixtures.h"

namespace {

constexpr int32_t kSize = 32;
using Pixel = std::pair<int32_t, int32_t>;

class PrimitiveGLTest : public testsupport::HeadlessGLTest {
 protected:
  void SetUp() override {
    HeadlessGLTest::SetUp();
    ASSERT_TRUE(testsupport::OpenTestDisplay(kSize, kSize));
    GR_Clear(0xFF000000);
    GR_SetColour(0xFFFFFF);
  }

  // The pixels that are not black.
  std::set<Pixel> Lit() {
    GraphicsFlush();
    const std::vector<uint32_t> pixels = ReadBack(0, 0, kSize, kSize);
    std::set<Pixel> lit;
    for (int32_t y = 0; y < kSize; ++y)
      for (int32_t x = 0; x < kSize; ++x)
        if ((pixels[static_cast<size_t>(y * kSize + x)] & 0xFFFFFFu) != 0) lit.insert({x, y});
    return lit;
  }

  static std::set<Pixel> Box(int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool ring) {
    std::set<Pixel> out;
    for (int32_t y = y1; y <= y2; ++y)
      for (int32_t x = x1; x <= x2; ++x)
        if (!ring || x == x1 || x == x2 || y == y1 || y == y2) out.insert({x, y});
    return out;
  }

  static std::string Show(const std::set<Pixel>& pixels) {
    std::ostringstream text;
    for (const Pixel& p : pixels) text << "(" << p.first << "," << p.second << ")";
    return text.str();
  }
};

TEST_F(PrimitiveGLTest, APointLightsItsOwnPixelOnly) {
  for (const Pixel& p : {Pixel{0, 0}, Pixel{5, 7}, Pixel{31, 31}}) {
    GR_Clear(0xFF000000);
    GR_DrawPoint(static_cast<float>(p.first), static_cast<float>(p.second));
    EXPECT_EQ(Show(Lit()), Show({p}));
  }
}

TEST_F(PrimitiveGLTest, AFilledRectangleCoversBothCornerPixelsInEitherOrder) {
  GR_DrawRectangle(10, 10, 20, 20, false);
  EXPECT_EQ(Show(Lit()), Show(Box(10, 10, 20, 20, false)));
  GR_Clear(0xFF000000);
  GR_DrawRectangle(20, 20, 10, 10, false);
  EXPECT_EQ(Show(Lit()), Show(Box(10, 10, 20, 20, false)));
}

TEST_F(PrimitiveGLTest, AnOutlinedRectangleIsTheBorderRingOfTheFilledOne) {
  GR_DrawRectangle(10, 10, 20, 20, true);
  EXPECT_EQ(Show(Lit()), Show(Box(10, 10, 20, 20, true)));
}

TEST_F(PrimitiveGLTest, AHealthBarAtThreeQuartersIsTheMiddleColourMergedHalfWayToTheMaximum) {
  const uint32_t red = 0x0000FF, green = 0x00FF00;
  GR_DrawHealthbar(2, 2, 29, 9, 75, 0, red, MergeColour(red, green, 0.5f), green, 0, false, false);
  GraphicsFlush();
  const std::vector<uint32_t> pixel = ReadBack(5, 5, 1, 1);
  ASSERT_EQ(pixel.size(), 1u);
  EXPECT_EQ(pixel[0], 0xFF40C000u);  // red 64, green 192, blue 0
}

TEST_F(PrimitiveGLTest, InThreeDModeTheNearerOfTwoQuadsShowsWhicheverIsDrawnFirst) {
  GR_3D_SetMode(true);
  GR_SetViewArea(0, 0, kSize, kSize, 0);  // the per-view projection is now a perspective one
  for (bool nearFirst : {false, true}) {
    GR_Clear(0xFF000000);
    for (int i = 0; i < 2; ++i) {
      const bool nearQuad = (i == 0) == nearFirst;
      GR_3D_SetDepth(nearQuad ? -10.0f : 10.0f);
      GR_SetColour(nearQuad ? 0x00FF00 : 0x0000FF);
      GR_DrawRectangle(0, 0, kSize - 1, kSize - 1, false);
    }
    GraphicsFlush();
    const std::vector<uint32_t> pixel = ReadBack(16, 16, 1, 1);
    ASSERT_EQ(pixel.size(), 1u);
    EXPECT_EQ(pixel[0], 0xFF00FF00u) << "near quad first: " << nearFirst;
  }
  // In 2-D the later quad covers the earlier one whatever the depth given.
  GR_3D_SetMode(false);
  GR_SetViewArea(0, 0, kSize, kSize, 0);
  GR_Clear(0xFF000000);
  GR_3D_SetDepth(-10.0f);
  GR_SetColour(0x00FF00);
  GR_DrawRectangle(0, 0, kSize - 1, kSize - 1, false);
  GR_3D_SetDepth(10.0f);
  GR_SetColour(0x0000FF);
  GR_DrawRectangle(0, 0, kSize - 1, kSize - 1, false);
  GraphicsFlush();
  EXPECT_EQ(ReadBack(16, 16, 1, 1).at(0), 0xFFFF0000u);
}

}  // namespace
