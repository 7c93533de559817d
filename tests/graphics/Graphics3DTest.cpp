// 3-D mode and the projections on the recording fake, and the view mappings of room points.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/Graphics_Window.h"
#include "testlib/GraphicsFixtures.h"

namespace {

class Graphics3DTest : public testsupport::FakeGraphicsTest {
 protected:
  void SetUp() override {
    FakeGraphicsTest::SetUp();
    ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
    GraphicsFlush();
    FakeD3D().log.clear();
  }

  static Matrix Get(int32_t slot) {
    Matrix m;
    GetTransformMatrix(slot, m);
    return m;
  }
  // A point through the view matrix.
  static Vec3 ThroughView(float x, float y, float z) {
    const Matrix m = Get(kMatrixView);
    return Vec3{x * m.At(0, 0) + y * m.At(1, 0) + z * m.At(2, 0) + m.At(3, 0),
                x * m.At(0, 1) + y * m.At(1, 1) + z * m.At(2, 1) + m.At(3, 1),
                x * m.At(0, 2) + y * m.At(1, 2) + z * m.At(2, 2) + m.At(3, 2)};
  }
};

TEST_F(Graphics3DTest, StartingTwiceFlushesOnceAndLeavesTheStateAlone) {
  GR_DrawPoint(0, 0);
  EXPECT_TRUE(GR_3D_SetMode(true));
  EXPECT_EQ(FakeD3D().Count("DrawPrimitive"), 1);
  EXPECT_TRUE(g_RenderStates.mode3D && g_RenderStates.perspective && g_RenderStates.hidden);
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_DepthTest), 1u);
  GR_DrawPoint(0, 0);
  GR_3D_SetPerspective(false);
  EXPECT_TRUE(GR_3D_SetMode(true));
  EXPECT_EQ(FakeD3D().Count("DrawPrimitive"), 1) << "the second start draws nothing";
  EXPECT_FALSE(g_RenderStates.perspective) << "and keeps perspective off";
  GR_3D_SetMode(false);
  EXPECT_FALSE(g_RenderStates.perspective || g_RenderStates.hidden);
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_DepthTest), 0u);
  // Hidden-surface removal asked for in 2-D is stored but tests nothing until 3-D mode.
  GR_3D_SetHidden(true);
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_DepthTest), 0u);
  GR_3D_SetMode(true);
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_DepthTest), 1u);
}

TEST_F(Graphics3DTest, TheOrthographicProjectionCentresTheRectangleWithTheEyeFarBehind) {
  GR_3D_SetProjectionOrtho(0, 0, 640, 480, 0);
  const Vec3 centre = ThroughView(320, 240, 0);
  EXPECT_NEAR(centre.x, 0.0f, 1e-3f);
  EXPECT_NEAR(centre.y, 0.0f, 1e-3f);
  EXPECT_NEAR(centre.z, 16000.0f, 1e-2f);
  EXPECT_TRUE(g_RenderStates.customOrtho);
  EXPECT_TRUE(g_Transforms.orthographic);
  // Turned by 90 degrees the up vector is (-1, 0, 0): the room's -x is the view's up.
  GR_3D_SetProjectionOrtho(0, 0, 640, 480, 90);
  const Vec3 left = ThroughView(310, 240, 0);
  EXPECT_NEAR(left.x, 0.0f, 1e-3f);
  EXPECT_NEAR(left.y, 10.0f, 1e-3f);
}

TEST_F(Graphics3DTest, ThePerspectiveProjectionsSetTheClipDistancesTheFogRangeFollows) {
  GR_3D_SetProjectionExt(0, 0, -100, 0, 0, 0, 0, 1, 0, 60, 4.0f / 3.0f, 1, 10000);
  EXPECT_EQ(g_Transforms.zNear, 1.0f);
  EXPECT_EQ(g_Transforms.zFar, 10000.0f);
  EXPECT_FALSE(g_Transforms.orthographic);
  EXPECT_FALSE(g_RenderStates.customOrtho);
  GR_3D_SetProjectionOrtho(0, 0, 640, 480, 0);
  EXPECT_EQ(g_Transforms.zFar, 32000.0f);
  GR_3D_SetProjectionPerspective(0, 0, 640, 480, 0);
  EXPECT_FALSE(g_RenderStates.customOrtho);
  EXPECT_NEAR(ThroughView(320, 240, 0).z, 640.0f, 1e-2f);  // the eye at z = -w
  // The look-at alone keeps the projection.
  const Matrix projection = Get(kMatrixProjection);
  GR_3D_SetProjection(1, 2, -3, 1, 2, 0, 0, 1, 0);
  const Matrix after = Get(kMatrixProjection);
  EXPECT_EQ(std::memcmp(&projection, &after, sizeof projection), 0);
  EXPECT_NEAR(ThroughView(1, 2, 0).z, 3.0f, 1e-4f);
}

TEST_F(Graphics3DTest, RoomPointsMapThroughTheViewIntoItsPort) {
  int32_t x = 0, y = 0;
  GR_Window_MapRoomToPort(0, 10.5f, 11.5f, &x, &y);  // no mapping: only rounded, halves to even
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 12);
  GR_Window_SetViewMapping(0, 100, 50, 320, 240, 200, 100, 640, 480, 0, -1);
  GR_Window_MapRoomToPort(0, 520, 340, &x, &y);
  EXPECT_EQ(x, 260);
  EXPECT_EQ(y, 170);
  // Turned by 90 degrees about the port's centre: the view's right edge comes out on top.
  GR_Window_SetViewMapping(1, 0, 0, 100, 100, 0, 0, 100, 100, 90, -1);
  GR_Window_MapRoomToPort(1, 100, 50, &x, &y);
  EXPECT_EQ(x, 50);
  EXPECT_EQ(y, 0);
  GR_Window_ClearViewMapping(1);
  GR_Window_MapRoomToPort(1, 100, 50, &x, &y);
  EXPECT_EQ(x, 100);
  GR_Window_SetViewMapping(40, 0, 0, 1, 1, 0, 0, 1, 1, 0, -1);  // ignored
  EXPECT_EQ(GR_Window_GetViewMapping(40), nullptr);
}

}  // namespace
