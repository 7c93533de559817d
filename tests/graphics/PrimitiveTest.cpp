// The primitives' vertex lists on the recording fake: colour state, circle precision, rectangle
// and rounded-rectangle geometry, thick lines, arrows, health bars and the primitive builder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/device/D3D_Types.h"
#include "runner/GameData.h"
#include "testlib/GraphicsFixtures.h"

namespace {

// A vertex of either 2-D layout.
struct V {
  float x, y, z;
  uint32_t colour;
  float u = 0, v = 0;
};

class PrimitiveTest : public testsupport::FakeGraphicsTest {
 protected:
  void SetUp() override {
    FakeGraphicsTest::SetUp();
    ASSERT_TRUE(testsupport::OpenTestDisplay(640, 480));
    GraphicsFlush();
    FakeD3D().log.clear();
  }

  // The open batch: its kind, vertex size and vertices.
  int32_t Kind() const { return g_VertexBatch.kind; }
  int32_t Stride() const { return g_VertexBatch.stride; }
  std::vector<V> Open() const {
    std::vector<V> out;
    const BatchVertexBuffer* b = g_VertexBatch.current;
    if (b == nullptr || g_VertexBatch.kind < 0) return out;
    for (int32_t i = 0; i < b->nextFree - b->batchStart; ++i) {
      const uint8_t* at = g_VertexBatch.base + static_cast<size_t>(i) * g_VertexBatch.stride;
      V v{};
      std::memcpy(&v, at, static_cast<size_t>(g_VertexBatch.stride));
      out.push_back(v);
    }
    return out;
  }
  // The draws made since the log was last cleared ("DrawPrimitive <kind> <start> <count>").
  std::vector<std::string> Draws() const { return FakeD3D().Lines("DrawPrimitive"); }
};

using ::testing::ElementsAre;
using ::testing::FloatEq;

TEST_F(PrimitiveTest, ColourAndAlphaAreKeptAsOneVertexColour) {
  GR_SetColour(0x336699);
  GR_SetAlpha(0.5f);
  EXPECT_EQ(g_Primitives.drawColour, 0x7F996633u);
  EXPECT_EQ(GR_GetColour(), 0x7F336699u);
  GR_SetAlpha(1.7f);
  EXPECT_EQ(g_Primitives.drawAlpha, 255);
  GR_SetAlpha(-0.2f);
  EXPECT_EQ(g_Primitives.drawAlpha, 0);
  EXPECT_EQ(GR_GetAlpha(), 0.0f);
}

TEST_F(PrimitiveTest, CirclePrecisionIsAMultipleOfFourFromFourToSixtyFour) {
  const int32_t cases[][2] = {{30, 28}, {2, 4}, {100, 64}, {24, 24}, {-5, 4}};
  for (const auto& c : cases) {
    GR_SetCirclePrecision(c[0]);
    EXPECT_EQ(GR_GetCirclePrecision(), c[1]) << c[0];
  }
  GR_SetCirclePrecision(8);
  GR_DrawCircle(100, 100, 10, true);
  const std::vector<V> rim = Open();
  ASSERT_EQ(rim.size(), 9u);  // precision + 1, back at the start
  EXPECT_EQ(Stride(), kVertexSizeColour);
  EXPECT_FLOAT_EQ(rim[0].x, 111.0f);  // centre plus the offset, plus the radius
  EXPECT_FLOAT_EQ(rim[2].y, 111.0f);
  EXPECT_FLOAT_EQ(rim[8].x, rim[0].x);
  GraphicsFlush();
  GR_DrawCircle(100, 100, 10, false);
  EXPECT_EQ(Open().size(), 24u);  // precision triangles
  EXPECT_EQ(Kind(), static_cast<int32_t>(D3DPT_TRIANGLELIST));
}

TEST_F(PrimitiveTest, PointsAndLinesTakeTheOffsetsTrianglesDoNot) {
  GR_DrawPoint(3, 4);
  EXPECT_THAT(Open()[0].x, FloatEq(4.0f));
  EXPECT_THAT(Open()[0].y, FloatEq(5.0f));
  GraphicsFlush();
  GR_DrawTriangle(1, 2, 3, 4, 5, 6, false);
  const std::vector<V> t = Open();
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(Stride(), kVertexSizeTextured);
  EXPECT_FLOAT_EQ(t[0].x, 1.0f);
  EXPECT_FLOAT_EQ(t[2].y, 6.0f);
}

TEST_F(PrimitiveTest, RectangleColourEndsJustPastAWholeEdgeAndSortsItsCorners) {
  GR_DrawRectangleColour(0, 0, 9, 9, 1, 2, 3, 4, false);
  std::vector<V> v = Open();
  ASSERT_EQ(v.size(), 5u);
  EXPECT_EQ(Kind(), static_cast<int32_t>(D3DPT_TRIANGLEFAN));
  EXPECT_FLOAT_EQ(v[1].x, 10.01f);
  EXPECT_FLOAT_EQ(v[2].y, 10.01f);
  EXPECT_FLOAT_EQ(v[0].x, 0.0f);
  EXPECT_EQ(v[2].colour, 0xFF030000u);  // colour 3 (red 3) at the bottom-right corner
  EXPECT_EQ(v[4].colour, v[0].colour);
}

TEST_F(PrimitiveTest, AnOutlinedRectangleIsALineStripThenItsFourCornersAsPoints) {
  GR_DrawRectangle(20, 20, 10, 10, true);
  const std::vector<V> corners = Open();
  EXPECT_EQ(Kind(), static_cast<int32_t>(D3DPT_POINTLIST));
  ASSERT_EQ(corners.size(), 4u);
  EXPECT_FLOAT_EQ(corners[0].x, 11.0f);
  EXPECT_FLOAT_EQ(corners[2].y, 21.0f);
  EXPECT_THAT(Draws(), ElementsAre("DrawPrimitive 3 0 4"));  // the strip of 5 went out first
}

TEST_F(PrimitiveTest, RoundRectanglesHavePrecisionPlusSixVerticesAndRadiiHeldToTheBox) {
  GR_SetCirclePrecision(16);
  GR_DrawRoundRect(0, 0, 40, 20, 10, 10, false);
  std::vector<V> v = Open();
  ASSERT_EQ(v.size(), 22u);
  EXPECT_EQ(Kind(), static_cast<int32_t>(D3DPT_TRIANGLEFAN));
  // The box is (1, 1) to (41.01, 21.01): centre and the first arc point (cos 0) of the arc round
  // (centre + 15, centre + 5).
  EXPECT_FLOAT_EQ(v[0].x, 21.005f);
  EXPECT_FLOAT_EQ(v[1].x, 21.005f + 15.005f + 5.0f);
  EXPECT_FLOAT_EQ(v[21].x, v[1].x);
  GraphicsFlush();
  // Outlined, the centre is the first arc point; radii beyond the box are held to it.
  GR_DrawRoundRect(0, 0, 40, 20, 500, 500, true);
  v = Open();
  EXPECT_EQ(Kind(), static_cast<int32_t>(D3DPT_LINESTRIP));
  EXPECT_FLOAT_EQ(v[0].x, v[1].x);
  EXPECT_FLOAT_EQ(v[1].x, 41.01f);
}

TEST_F(PrimitiveTest, ThickLinesAreFansOfTheirOwnAndMeetingEndsDrawNothing) {
  GR_DrawLineWidth(0, 0, 10, 0, 4);
  std::vector<V> v = Open();
  ASSERT_EQ(v.size(), 4u);
  EXPECT_EQ(Kind(), static_cast<int32_t>(D3DPT_TRIANGLEFAN));
  EXPECT_FLOAT_EQ(v[0].x, 1.0f);
  EXPECT_FLOAT_EQ(v[0].y, 3.0f);
  EXPECT_FLOAT_EQ(v[2].y, -1.0f);
  GR_DrawLineWidthColour(0, 0, 10, 0, 4, 0xFF, 0xFF00);
  EXPECT_EQ(Open()[1].colour, 0xFF00FF00u);  // colour 2 at the second end
  EXPECT_EQ(Draws().size(), 1u);  // the first fan was drawn on its own
  GraphicsFlush();
  FakeD3D().log.clear();
  GR_DrawLineWidth(5, 5, 5, 5, 4);
  GraphicsFlush();
  EXPECT_TRUE(Draws().empty());
}

TEST_F(PrimitiveTest, AnArrowHeadIsNoLongerThanItsLine) {
  GR_DrawArrow(0, 0, 10, 0, 50);
  const std::vector<V> head = Open();
  ASSERT_EQ(head.size(), 3u);
  EXPECT_FLOAT_EQ(head[0].x, 0.0f);  // x2 - size, size held to the length
  EXPECT_FLOAT_EQ(head[0].y, 10.0f / 3.0f);
  EXPECT_FLOAT_EQ(head[1].x, 10.0f);
  EXPECT_THAT(Draws(), ElementsAre("DrawPrimitive 2 0 1"));
}

TEST_F(PrimitiveTest, AHealthBarFillsFromTheSideItsDirectionNames) {
  struct Case {
    int32_t direction;
    float x1, y1, x2, y2;  // the bar's corners before the edge adjustment
  };
  const Case cases[] = {{0, 0, 0, 25, 40}, {1, 75, 0, 100, 40}, {2, 0, 0, 100, 10}, {3, 0, 30, 100, 40}};
  for (const Case& c : cases) {
    GraphicsFlush();
    GR_DrawHealthbar(0, 0, 100, 40, 25, 0, 0xFF, 0x8080, 0xFF00, c.direction, false, false);
    const std::vector<V> v = Open();
    ASSERT_EQ(v.size(), 5u);
    EXPECT_FLOAT_EQ(v[0].x, c.x1) << c.direction;
    EXPECT_FLOAT_EQ(v[0].y, c.y1) << c.direction;
    EXPECT_NEAR(v[2].x, c.x2 + 1.0f, 0.02f) << c.direction;
    EXPECT_NEAR(v[2].y, c.y2 + 1.0f, 0.02f) << c.direction;
    EXPECT_EQ(v[0].colour, 0xFFC04000u);  // half way from red to the middle colour
  }
  GraphicsFlush();
  FakeD3D().log.clear();
  GR_DrawHealthbar(0, 0, 100, 40, 0, 0, 0xFF, 0x8080, 0xFF00, 0, false, false);
  GraphicsFlush();
  EXPECT_TRUE(Draws().empty());
}

TEST_F(PrimitiveTest, TheBuilderKeepsAtMost1001VerticesAndDrawsOnlyWholePrimitives) {
  GR_PrimitiveBegin(D3DPT_POINTLIST, -1);
  for (int i = 0; i < 1002; ++i) GR_PrimitiveVertex(static_cast<float>(i), 0);
  EXPECT_EQ(g_Primitives.vertexCount, 1001);
  GR_PrimitiveEnd();
  EXPECT_EQ(Open().size(), 1001u);
  EXPECT_FLOAT_EQ(Open()[1000].x, 1000.0f);
  GraphicsFlush();
  FakeD3D().log.clear();

  GR_PrimitiveBegin(D3DPT_TRIANGLELIST, -1);
  GR_PrimitiveVertex(0, 0);
  GR_PrimitiveVertex(1, 0);
  GR_PrimitiveEnd();
  GraphicsFlush();
  EXPECT_TRUE(Draws().empty());

  // Four vertices of a line list make two lines; a fifth left over stays out of the batch, so a
  // line batched after it pairs its own ends.
  GR_PrimitiveBegin(D3DPT_LINELIST, -1);
  for (int i = 0; i < 5; ++i) GR_PrimitiveVertexColour(static_cast<float>(i), 0, 0xFF, 0.5f);
  GR_PrimitiveEnd();
  EXPECT_EQ(Open().size(), 4u);
  EXPECT_EQ(Open()[0].colour, 0x7FFF0000u);
  GR_PrimitiveBegin(9, -1);
  GR_PrimitiveVertex(0, 0);
  GR_PrimitiveEnd();
  EXPECT_EQ(Open().size(), 4u);
}

TEST_F(PrimitiveTest, ABuiltPrimitiveOnAPageEntryMapsItsCoordinatesIntoTheEntry) {
  std::vector<uint32_t> pixels(256 * 128, 0xFFFFFFFFu);
  const int32_t page = GR_Texture_Create(256, 128, pixels.data(), pixels.size() * 4);
  TPageEntry e{};
  e.x = 64, e.y = 32, e.width = e.cropWidth = 32, e.height = e.cropHeight = 16;
  e.fullWidth = 32, e.fullHeight = 16, e.texturePage = static_cast<int16_t>(page);
  const int32_t handle = GR_Texture_EntryHandle(&e);
  GR_PrimitiveBegin(D3DPT_TRIANGLESTRIP, handle);
  GR_PrimitiveVertexTexture(0, 0, 0, 0);
  GR_PrimitiveVertexTexture(1, 0, 1, 0);
  GR_PrimitiveVertexTexture(0, 1, 0, 1);
  GR_PrimitiveEnd();
  const std::vector<V> v = Open();
  ASSERT_EQ(v.size(), 3u);
  EXPECT_FLOAT_EQ(v[0].u, 64.0f / 256.0f);
  EXPECT_FLOAT_EQ(v[1].u, 96.0f / 256.0f);
  EXPECT_FLOAT_EQ(v[2].v, 48.0f / 128.0f);
  EXPECT_EQ(g_VertexBatch.texture, GR_Texture_GetHardware(page));
  GR_Texture_RemoveEntryHandle(handle);
}

TEST_F(PrimitiveTest, TwoDDrawsTakeTheDepthOnlyInThreeDMode) {
  GR_3D_SetDepth(500);
  GR_DrawPoint(0, 0);
  EXPECT_EQ(Open()[0].z, 0.0f);
  GR_3D_SetMode(true);
  const float cases[][2] = {{500, 500}, {20000, 16000}, {-20000, -16000}};
  for (const auto& c : cases) {
    GR_3D_SetDepth(c[0]);
    GraphicsFlush();
    GR_DrawPoint(0, 0);
    EXPECT_EQ(Open()[0].z, c[1]);
  }
}

}  // namespace
