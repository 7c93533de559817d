// View following, the window size a room asks for and the GUI layer's transform, on the
// recording device with a 640 x 480 window.
#include <gtest/gtest.h>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/Graphics_Window.h"
#include "graphics/device/D3D_Fake.h"
#include "room/Room_Draw.h"
#include "room/Room_View.h"
#include "room/WorldFixture.h"
#include "testlib/GraphicsFixtures.h"

namespace {

using testsupport::AddObject;

class RoomViewTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    ASSERT_TRUE(testsupport::InstallTestGraphics(FakeD3D_Backend(), 640, 480));
    CRoom* room = Room();
    room->m_Width = 1000;
    room->m_Height = 1000;
    room->m_ViewsEnabled = 1;
  }
  void TearDown() override {
    WorldTest::TearDown();
    testsupport::RemoveTestGraphics();
  }
};

TEST_F(RoomViewTest, AViewFollowsItsInstanceWithinItsBordersTheRoomAndItsSpeed) {
  const struct {
    const char* what;
    float x, y;          // the instance
    float xview, wview;  // the view before
    int32_t hborder, hspeed;
    int32_t roomWidth;
    float xviewAfter;
  } cases[] = {
      {"twice the border covers the view: centred on floor(x)", 500.7f, 0, 0, 300, 200, -1, 1000, 350},
      {"inside the borders: still", 100, 0, 0, 300, 32, -1, 1000, 0},
      {"past the right border: just enough", 400, 0, 0, 300, 32, -1, 1000, 132},
      {"before the left border: just enough", 100, 0, 200, 300, 32, -1, 1000, 68},
      {"speed 0 keeps it still", 500, 0, 0, 300, 200, 0, 1000, 0},
      {"speed 10 moves at most 10", 500, 0, 0, 300, 200, 10, 1000, 10},
      {"held inside the room", 990, 0, 0, 300, 200, -1, 1000, 700},
      {"wider than the room ends at a negative position", 50, 0, 0, 300, 32, -1, 200, -100},
  };
  const int32_t object = AddObject();
  CInstance* instance = CurrentRoom->AddInstance(0, 0, object);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CurrentRoom->m_Width = c.roomWidth;
    instance->SetPosition(c.x, c.y);
    RoomView& view = CurrentRoom->m_Views[0];
    view = RoomView{1, c.xview, 0, c.wview, 1000, 0, 0, 640, 480, 0, c.hborder, 0, c.hspeed, -1, object, -1};
    Room_UpdateViews();
    EXPECT_EQ(view.xview, c.xviewAfter);
  }
}

TEST_F(RoomViewTest, AViewFollowsAnInstanceIdOrTheFirstLiveInstanceOfAnObjectOrDescendant) {
  const int32_t parent = AddObject();
  const int32_t child = AddObject(parent);
  CInstance* asleep = CurrentRoom->AddInstance(600, 0, child);
  asleep->i_deactivated = 1;
  RoomView& view = CurrentRoom->m_Views[0];
  view = RoomView{1, 0, 0, 300, 200, 0, 0, 640, 480, 0, 200, 32, -1, -1, parent, -1};
  Room_UpdateViews();
  EXPECT_EQ(view.xview, 0) << "its only instance is deactivated";
  CurrentRoom->AddInstance(400, 0, child);
  Room_UpdateViews();
  EXPECT_EQ(view.xview, 250) << "the live instance of the descendant";
  view.object = asleep->i_id;
  asleep->i_deactivated = 0;
  Room_UpdateViews();
  EXPECT_EQ(view.xview, 450) << "by instance id";
}

TEST_F(RoomViewTest, ThePortScaleIsTheApplicationSurfaceOverThePortExtentOr1) {
  g_Surfaces.applicationWidth = 640;
  g_Surfaces.applicationHeight = 480;
  CurrentRoom->m_Views[0] = RoomView{1, 0, 0, 100, 100, 0, 0, 320, 240, 0, 32, 32, -1, -1, -1, -1};
  CurrentRoom->m_Views[1] = RoomView{1, 0, 0, 100, 100, 320, 240, 0, 0, 0, 32, 32, -1, -1, -1, -1};
  Room_UpdateViews();
  EXPECT_EQ(g_Window.portScaleX, 2.0f);
  EXPECT_EQ(g_Window.portScaleY, 2.0f);
  // Ports of no extent keep the scale 1.
  CurrentRoom->m_Views[0].visible = 0;
  Room_UpdateViews();
  EXPECT_EQ(g_Window.portScaleX, 1.0f);
  EXPECT_EQ(g_Window.portScaleY, 1.0f);
  CurrentRoom->m_Views[1].visible = 0;
  Room_UpdateViews();
  EXPECT_EQ(g_Window.portScaleX, 1.0f);
}

TEST_F(RoomViewTest, TheWindowTakesTheViewPortsOrTheRoomWithinTheScreen) {
  int32_t w = 0, h = 0;
  CurrentRoom->m_Views[0] = RoomView{1, 0, 0, 10, 10, 2, 3, 4, 5, 0, 32, 32, -1, -1, -1, -1};
  Room_UpdateWindowSize();
  GR_GetDisplaySize(&w, &h);
  EXPECT_EQ(w, 8);
  EXPECT_EQ(h, 8);
  CurrentRoom->m_Views[1] = RoomView{1, 0, 0, 10, 10, 100, 50, 300, 200, 0, 32, 32, -1, -1, -1, -1};
  Room_UpdateWindowSize();
  GR_GetDisplaySize(&w, &h);
  EXPECT_EQ(w, 400);
  EXPECT_EQ(h, 250);
  // Views off: the room, limited to the 1024 x 768 screen.
  CurrentRoom->m_ViewsEnabled = 0;
  CurrentRoom->m_Width = 2000;
  CurrentRoom->m_Height = 300;
  Room_UpdateWindowSize();
  GR_GetDisplaySize(&w, &h);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 300);
}

TEST_F(RoomViewTest, TheGuiSizeScalesTheApplicationAreaAndNoSizeKeepsScale1) {
  const struct {
    const char* what;
    int32_t width, height;
    float sx, sy, ox, oy;
  } cases[] = {
      {"320 x 240 in 640 x 480", 320, 240, 2, 2, -320, -240},
      {"not set", -1, -1, 1, 1, -320, -240},
      {"width 0 and a negative height keep 1", 0, -5, 1, 1, -320, -240},
      {"1280 x 240", 1280, 240, 0.5f, 2, -320, -240},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    GUI_SetSize(c.width, c.height);
    const GuiTransform t = GUI_ComputeTransform();
    EXPECT_EQ(t.scaleX, c.sx);
    EXPECT_EQ(t.scaleY, c.sy);
    EXPECT_EQ(t.offsetX, c.ox);
    EXPECT_EQ(t.offsetY, c.oy);
    // The inverse takes the window's corners to the GUI's.
    EXPECT_FLOAT_EQ(640 * t.inverse.At(0, 0) + t.inverse.At(3, 0), 640 / c.sx);
    EXPECT_FLOAT_EQ(t.inverse.At(3, 1), 0);
  }
  // An application area of no width keeps the scale 1 (and a finite inverse).
  g_GraphicsDevice.windowWidth = 0;
  GUI_SetSize(320, 240);
  const GuiTransform t = GUI_ComputeTransform();
  EXPECT_EQ(t.scaleX, 1);
  EXPECT_EQ(t.inverse.At(0, 0), 1);
}

TEST_F(RoomViewTest, AMaximisedGuiUsesTheWindowCentreWithItsScalesAndOffsets) {
  GUI_SetMaximise(2, 3, kGuiOffsetUnset, kGuiOffsetUnset);
  GuiTransform t = GUI_ComputeTransform();
  EXPECT_EQ(t.scaleX, 2);
  EXPECT_EQ(t.scaleY, 3);
  EXPECT_EQ(t.offsetX, -320);
  EXPECT_EQ(t.offsetY, -240);
  GUI_SetMaximise(1, 1, 10, -20);
  t = GUI_ComputeTransform();
  EXPECT_EQ(t.offsetX, -310);
  EXPECT_EQ(t.offsetY, -260);
  EXPECT_EQ(g_RoomDraw.gui.width, -1);
}

TEST_F(RoomViewTest, TheGuiTransformChangesAtOnceOnlyDuringTheGuiPass) {
  GUI_SetProjection();
  GUI_SetSize(320, 240);
  EXPECT_EQ(g_RoomDraw.guiMatrix.At(0, 0), 1.0f);
  g_RoomDraw.guiPass = true;
  GUI_SetSize(160, 120);
  EXPECT_EQ(g_RoomDraw.guiMatrix.At(0, 0), 4.0f);
  const TransformState& tr = g_Transforms;
  EXPECT_EQ(tr.boundsLeft, 0);
  EXPECT_EQ(tr.boundsTop, 0);
  EXPECT_EQ(tr.boundsRight, 160);
  EXPECT_EQ(tr.boundsBottom, 120);
}

}  // namespace
