// Transforms, the view area and its bounds, the visible region and clears: the device calls on
// the recording fake, and the pixels of the device clear and the drawn clear on OpenGL.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Transform.h"
#include "testlib/GraphicsFixtures.h"

namespace {

using ::testing::ElementsAre;

class TransformTest : public testsupport::FakeGraphicsTest {
 protected:
  void SetUp() override {
    FakeGraphicsTest::SetUp();
    ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
    GraphicsFlush();
    FakeD3D().log.clear();
  }
};

TEST_F(TransformTest, DeviceClearsSendTheColourAsDeviceWordAndEveryFlag) {
  GR_Clear(0xFF0000FF);  // draw_clear(c_red)
  GR_ClearAlpha(0x00FF00, 0.5f);
  GR_ClearAlpha(0x00FF00, 3.0f);
  GraphicsClear(0xFF0000FF, 1.0f, 0, 0);  // no buffer: nothing
  EXPECT_THAT(FakeD3D().Lines("Clear"),
              ElementsAre("Clear 0 0x7 0xFFFF0000 1 0", "Clear 0 0x7 0x7F00FF00 1 0", "Clear 0 0x7 0xFF00FF00 1 0"));
}

TEST_F(TransformTest, ADrawnDepthOnlyClearDrawsAQuadWithColourWritesOffAndPutsEverythingBack) {
  g_GraphicsDevice.clearByQuads = true;
  Matrix world = MatrixIdentity();
  world.At(3, 0) = 5.0f;
  SetTransformMatrix(kMatrixWorld, world);
  Matrix projectionBefore;
  GetTransformMatrix(kMatrixProjection, projectionBefore);
  FakeD3D().log.clear();

  GraphicsClear(0, 1.0f, 0, kClearDepth);

  const std::vector<std::string>& log = FakeD3D().log;
  EXPECT_EQ(FakeD3D().Count("Clear"), 0);
  ASSERT_THAT(FakeD3D().Lines("DrawPrimitive"), ElementsAre("DrawPrimitive 5 0 2"));
  auto at = [&](const std::string& line) {
    for (size_t i = 0; i < log.size(); ++i)
      if (log[i] == line) return static_cast<int>(i);
    return -1;
  };
  const int draw = at("DrawPrimitive 5 0 2");
  EXPECT_GE(at("SetRenderState 168 0"), 0);
  EXPECT_LT(at("SetRenderState 168 0"), draw);
  EXPECT_LT(at("SetRenderState 23 8"), draw);  // depth compare: always
  // The cache wants its old values again and the matrices are back.
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_ColourWrite), 15u);
  Matrix m;
  GetTransformMatrix(kMatrixWorld, m);
  EXPECT_EQ(m.At(3, 0), 5.0f);
  GetTransformMatrix(kMatrixProjection, m);
  EXPECT_EQ(m.At(3, 0), projectionBefore.At(3, 0));
  EXPECT_TRUE(g_Transforms.halfTexel);
}

TEST_F(TransformTest, ATurnedViewAreaHasTheBoundsOfItsTurnedRectangle) {
  GR_SetViewArea(0.0f, 0.0f, 200.0f, 100.0f, 90.0f);
  const TransformState& t = g_Transforms;
  // The turned rectangle is 100 wide and 200 high around the centre (100, 50). In single
  // precision the cosine of the turn is not quite 0: the left edge comes out at 49.999996 and
  // truncates to 49, one pixel wider than the rectangle.
  EXPECT_EQ(t.boundsLeft, 49);
  EXPECT_EQ(t.boundsRight, 150);
  EXPECT_EQ(t.boundsTop, -50);
  EXPECT_EQ(t.boundsBottom, 150);
  GR_SetViewArea(10.0f, 20.0f, 200.0f, 100.0f, 0.0005f);
  EXPECT_EQ(t.boundsLeft, 9);
  EXPECT_EQ(t.boundsTop, 19);
  EXPECT_EQ(t.boundsRight, 210);
  EXPECT_EQ(t.boundsBottom, 120);
}

TEST_F(TransformTest, EachProjectionSetIsShiftedOnceByTheViewportOfItsTime) {
  Matrix p = MatrixIdentity();
  p.At(3, 0) = 0.25f;
  p.At(3, 1) = 0.5f;
  GR_SetViewport(0, 0, 200, 100);
  SetTransformMatrix(kMatrixProjection, p);
  SetTransformMatrix(kMatrixProjection, p);
  Matrix stored;
  GetTransformMatrix(kMatrixProjection, stored);
  EXPECT_FLOAT_EQ(stored.At(3, 0), 0.25f - 1.0f / 200.0f);
  EXPECT_FLOAT_EQ(stored.At(3, 1), 0.5f + 1.0f / 100.0f);
  GR_SetViewport(0, 0, 400, 50);
  SetTransformMatrix(kMatrixProjection, p);
  GetTransformMatrix(kMatrixProjection, stored);
  EXPECT_FLOAT_EQ(stored.At(3, 0), 0.25f - 1.0f / 400.0f);
  EXPECT_FLOAT_EQ(stored.At(3, 1), 0.5f + 1.0f / 50.0f);
  // The product holds the shifted copy.
  GetTransformMatrix(kMatrixWorldViewProjection, stored);
  Matrix expected;
  MatrixMultiply(expected, g_Transforms.matrices[kMatrixWorldView], g_Transforms.matrices[kMatrixProjection]);
  EXPECT_EQ(stored.At(3, 0), expected.At(3, 0));
}

TEST_F(TransformTest, MatrixInverseInvertsAndLeavesASingularMatrixAlone) {
  Matrix zero = {};
  EXPECT_FALSE(MatrixInverse(zero));
  for (float v : zero.m) EXPECT_EQ(v, 0.0f);
  Matrix m = MatrixIdentity();
  m.At(0, 0) = 2.0f;
  m.At(3, 0) = 4.0f;
  m.At(3, 1) = -6.0f;
  ASSERT_TRUE(MatrixInverse(m));
  EXPECT_FLOAT_EQ(m.At(0, 0), 0.5f);
  EXPECT_FLOAT_EQ(m.At(3, 0), -2.0f);
  EXPECT_FLOAT_EQ(m.At(3, 1), 6.0f);
}

TEST_F(TransformTest, TheVisibleRegionIsTheViewBoundsCarriedBackThroughTheWorldMatrix) {
  GR_SetViewArea(0.0f, 0.0f, 100.0f, 50.0f, 0.0f);
  Matrix world = MatrixIdentity();
  world.At(3, 0) = 10.0f;
  world.At(3, 1) = 20.0f;
  SetTransformMatrix(kMatrixWorld, world);
  GR_InvalidateVisibleRegion();
  GR_UpdateVisibleRegion();
  const TransformState& t = g_Transforms;
  EXPECT_EQ(t.visibleMinX, t.boundsLeft - 10);
  EXPECT_EQ(t.visibleMaxX, t.boundsRight - 10);
  EXPECT_EQ(t.visibleMinY, t.boundsTop - 20);
  EXPECT_EQ(t.visibleMaxY, t.boundsBottom - 20);
  EXPECT_FALSE(t.visibleRegionStale);
}

TEST_F(TransformTest, LightsGoStraightToTheDevice) {
  GR_SetAmbientLight(0x0000FF);
  GR_SetDirectionalLight(9, 0.0f, 0.0f, 1.0f, 0xFFFFFF);
  GR_SetPointLight(2, 1.0f, 2.0f, 3.0f, 50.0f, 0xFFFFFF);
  GR_EnableLight(10, true);
  EXPECT_THAT(FakeD3D().Lines("Set"),
              ElementsAre("SetMaterial", "SetRenderState 139 16711680", "SetLight 1 3", "SetLight 2 1"));
  EXPECT_THAT(FakeD3D().Lines("LightEnable"), ElementsAre("LightEnable 2 1"));
}

// ---- Pixels ----

class TransformGLTest : public testsupport::HeadlessGLTest {
 protected:
  void SetUp() override {
    HeadlessGLTest::SetUp();
    ASSERT_TRUE(GR_D3D_Init(nullptr, 64, 48, 0));
  }
};

TEST_F(TransformGLTest, DrawnAndDeviceClearsGiveTheSamePixels) {
  for (uint32_t flags : {kClearTarget, kClearTarget | kClearDepth | kClearStencil}) {
    g_GraphicsDevice.clearByQuads = false;
    GraphicsClear(0xFF000000, 1.0f, 0, kClearTarget);
    GR_SetViewport(8, 4, 40, 30);
    GraphicsClear(0x80402010, 1.0f, 0, flags);
    GraphicsFlush();
    const std::vector<uint32_t> device = ReadBack(0, 0, 64, 48);

    GR_SetViewport(0, 0, 64, 48);
    GraphicsClear(0xFF000000, 1.0f, 0, kClearTarget);
    g_GraphicsDevice.clearByQuads = true;
    GR_SetViewport(8, 4, 40, 30);
    GraphicsClear(0x80402010, 1.0f, 0, flags);
    GraphicsFlush();
    const std::vector<uint32_t> drawn = ReadBack(0, 0, 64, 48);
    ASSERT_EQ(device.size(), 64u * 48u);
    EXPECT_EQ(device[10 * 64 + 20], 0x80102040u);
    EXPECT_EQ(device, drawn) << flags;
    GR_SetViewport(0, 0, 64, 48);
  }
}

}  // namespace
