// The window geometry without a device or window: the application area, client points mapped into
// the room through the views, and the window requests over the fake window service.
#include <gtest/gtest.h>

#include <climits>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Display.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Window.h"
#include "os/OS_Window.h"
#include "room/Room_Class.h"
#include "run/Run_Frame.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"

namespace {

class WindowGeometryTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    OS_SetWindowService(OS_FakeWindowService());
    OS_FakeWindowState() = OSFakeWindowState{};
    m_old = DebugConsole;
    DebugConsole = &m_console;
  }
  void TearDown() override {
    CurrentRoom = nullptr;
    DebugConsole = m_old;
    OS_SetWindowService(nullptr);
    RuntimeTest::TearDown();
  }

  // A window and client of w x h showing an application surface of sw x sh.
  static void Sizes(int32_t w, int32_t h, int32_t sw, int32_t sh, bool keepAspect) {
    GraphicsDeviceState& g = g_GraphicsDevice;
    g.windowWidth = g.clientWidth = w;
    g.windowHeight = g.clientHeight = h;
    g.keepAspect = keepAspect;
    g_Surfaces.applicationWidth = sw;
    g_Surfaces.applicationHeight = sh;
  }

  struct Area {
    int32_t left, top, right, bottom;
    bool operator==(const Area& o) const {
      return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
  };
  static Area AppArea() {
    Area a{};
    GR_GetApplicationPosition(&a.left, &a.top, &a.right, &a.bottom);
    return a;
  }
  static std::pair<int32_t, int32_t> Mouse(int32_t x, int32_t y) {
    int32_t rx = INT32_MIN, ry = INT32_MIN;
    GR_Window_MapMouse(x, y, &rx, &ry);
    return {rx, ry};
  }

  void ShowView(int32_t v, float vx, float vy, float vw, float vh, float px, float py, float pw, float ph,
                float angle = 0) {
    m_room.m_Views[v].visible = 1;
    m_room.m_Views[v].surfaceId = -1;
    GR_Window_SetViewMapping(v, px, py, pw, ph, vx, vy, vw, vh, angle, -1);
  }

  CRoom m_room;
  testsupport::RecordingConsole m_console;
  tagIConsole* m_old = nullptr;
};

TEST_F(WindowGeometryTest, TheApplicationAreaIsLetterboxedOnlyWhileTheAspectIsKept) {
  struct Case {
    int32_t w, h, sw, sh;
    bool keep, used;
    Area area;
  };
  const Case cases[] = {
      {1000, 600, 640, 480, true, true, {100, 0, 900, 600}},   // bars left and right
      {640, 1000, 640, 480, true, true, {0, 260, 640, 740}},   // bars top and bottom
      {641, 481, 640, 480, true, true, {0, 0, 641, 480}},      // the first edge rounded down
      {1000, 600, 640, 480, false, true, {0, 0, 1000, 600}},   // aspect off
      {1000, 600, 640, 480, true, false, {0, 0, 1000, 600}},   // surface not used this frame
      {1000, 600, -1, -1, true, true, {0, 0, 1000, 600}},      // no surface made yet
      {0, 0, 640, 480, true, true, {0, 0, 0, 0}},              // a minimised window
  };
  for (const Case& c : cases) {
    Sizes(c.w, c.h, c.sw, c.sh, c.keep);
    g_Window.appSurfaceUsed = c.used;
    const Area a = AppArea();
    EXPECT_TRUE(a == c.area) << c.w << "x" << c.h << ": " << a.left << " " << a.top << " " << a.right << " "
                             << a.bottom;
  }
}

TEST_F(WindowGeometryTest, WithoutViewsTheAreaIsScaledToTheRoom) {
  Sizes(1000, 600, 640, 480, true);
  CurrentRoom = &m_room;  // 640 x 480
  EXPECT_EQ(Mouse(100, 0), std::make_pair(0, 0));
  EXPECT_EQ(Mouse(899, 599), std::make_pair(639, 479));
  EXPECT_EQ(Mouse(500, 300), std::make_pair(320, 240));
  // Without a room the point only moves by the bar.
  CurrentRoom = nullptr;
  EXPECT_EQ(Mouse(150, 20), std::make_pair(50, 20));
  // The whole window when the aspect is not kept.
  CurrentRoom = &m_room;
  g_GraphicsDevice.keepAspect = false;
  EXPECT_EQ(Mouse(500, 300), std::make_pair(320, 240));
}

TEST_F(WindowGeometryTest, OverlappingViewsGoToTheHighestThatHoldsThePoint) {
  Sizes(200, 100, 200, 100, false);
  CurrentRoom = &m_room;
  // View 0 shows room (0, 0, 200, 100) on the whole window; view 1 room (1000, 1000, 50, 50) on
  // the right half.
  ShowView(0, 0, 0, 200, 100, 0, 0, 200, 100);
  ShowView(1, 1000, 1000, 50, 50, 100, 0, 100, 100);
  EXPECT_EQ(Mouse(150, 50), std::make_pair(1025, 1025));
  // Left of view 1's port its result lies outside its area: view 0 answers.
  EXPECT_EQ(Mouse(20, 30), std::make_pair(20, 30));
  // A view drawn into a surface or not visible is not eligible.
  m_room.m_Views[1].surfaceId = 3;
  EXPECT_EQ(Mouse(150, 50), std::make_pair(150, 50));
  m_room.m_Views[1].surfaceId = -1;
  m_room.m_Views[1].visible = 0;
  EXPECT_EQ(Mouse(150, 50), std::make_pair(150, 50));
  // When no view holds its own result, the lowest view's stands.
  m_room.m_Views[1].visible = 1;
  ShowView(0, 0, 0, 50, 50, 0, 0, 100, 100);  // covers room (0..50) only
  EXPECT_EQ(Mouse(150, 50), std::make_pair(1025, 1025));
  EXPECT_EQ(Mouse(120, 10), std::make_pair(1010, 1005));
  ShowView(1, 1000, 1000, 50, 50, 150, 0, 50, 100);
  EXPECT_EQ(Mouse(120, 10), std::make_pair(60, 5));  // view 0's result, outside its own area
}

TEST_F(WindowGeometryTest, ATurnedViewTurnsAboutItsCentre) {
  Sizes(100, 100, 100, 100, false);
  CurrentRoom = &m_room;
  ShowView(0, 0, 0, 100, 100, 0, 0, 100, 100, 90);
  EXPECT_EQ(Mouse(99, 50), std::make_pair(50, 99));
  EXPECT_EQ(Mouse(50, 50), std::make_pair(50, 50));
}

TEST_F(WindowGeometryTest, UnusableMappingsWriteNothing) {
  Sizes(100, 100, 100, 100, false);
  ShowView(2, 0, 0, 100, 100, 0, 0, 0, 100);  // a port of width 0
  for (int32_t index : {-1, 2, 3, 32, INT32_MAX}) {
    int32_t x = 7, y = 8;
    GR_Window_MapThroughView(index, 10, 10, &x, &y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(7, 8)) << index;
  }
  // A client area no larger than its bars (a minimised window): nothing, not a NaN made integer.
  ShowView(0, 0, 0, 100, 100, 0, 0, 100, 100);
  CurrentRoom = &m_room;
  g_GraphicsDevice.clientWidth = g_GraphicsDevice.clientHeight = 0;
  int32_t x = 7, y = 8;
  GR_Window_MapThroughView(0, 10, 10, &x, &y);
  EXPECT_EQ(std::make_pair(x, y), std::make_pair(7, 8));
  m_room.m_Views[0].visible = 0;
  EXPECT_EQ(Mouse(10, 10), std::make_pair(INT32_MIN, INT32_MIN));
}

TEST_F(WindowGeometryTest, AViewMouseOfAnUnmappedViewAnswersTheLeftOffset) {
  Sizes(1000, 600, 640, 480, true);
  int32_t x = 0, y = 0;
  GR_Window_MapViewMouse(3, 500, 300, &x, &y);
  EXPECT_EQ(std::make_pair(x, y), std::make_pair(100, 100));
  GR_Window_SetViewMapping(3, 0, 0, 640, 480, 0, 0, 640, 480, 0, -1);
  GR_Window_MapViewMouse(3, 500, 300, &x, &y);
  EXPECT_EQ(std::make_pair(x, y), std::make_pair(320, 240));
}

TEST_F(WindowGeometryTest, RoomPointsMapToPorts) {
  GR_Window_SetViewMapping(0, 100, 50, 320, 240, 200, 100, 640, 480, 0, -1);
  int32_t x = 0, y = 0;
  GR_Window_MapRoomToPort(0, 520, 340, &x, &y);
  EXPECT_EQ(std::make_pair(x, y), std::make_pair(260, 170));
  GR_Window_MapRoomToPort(-1, 2.5f, 3.5f, &x, &y);  // no mapping: only rounded, halves to even
  EXPECT_EQ(std::make_pair(x, y), std::make_pair(2, 4));
}

TEST_F(WindowGeometryTest, SizeRequestsWaitForTheFrameLoop) {
  OSFakeWindowState& w = OS_FakeWindowState();
  w.windowExists = true;
  w.client = OSRect{100, 100, 740, 580};
  GraphicsDeviceState& g = g_GraphicsDevice;
  GR_Window_SetSize(0, 600);
  GR_Window_SetSize(800, -1);
  EXPECT_EQ(g.pendingWidth, -1);
  EXPECT_EQ(g_FrameLoop.resizeCountdown, 0);
  GR_Window_SetSize(640, 480);  // the current client size: only recorded
  EXPECT_EQ(g.pendingWidth, 640);
  EXPECT_EQ(g_FrameLoop.resizeCountdown, 0);
  GR_Window_SetSize(800, 600);
  EXPECT_EQ(g.pendingWidth, 800);
  EXPECT_EQ(g.pendingHeight, 600);
  EXPECT_EQ(g_FrameLoop.resizeCountdown, 10);
  g_FrameLoop.resizeCountdown = 4;
  GR_Window_SetSize(810, 600);
  EXPECT_EQ(g_FrameLoop.resizeCountdown, 10);
  g.fullScreen = true;
  g_FrameLoop.resizeCountdown = 0;
  GR_Window_SetSize(820, 600);
  EXPECT_EQ(g.pendingWidth, 820);
  EXPECT_EQ(g_FrameLoop.resizeCountdown, 0);
}

TEST_F(WindowGeometryTest, FullScreenRequestsKeepTheWindowedSize) {
  GraphicsDeviceState& g = g_GraphicsDevice;
  g.windowWidth = 800;
  g.windowHeight = 600;
  GR_Window_SetFullscreen(false);  // the current mode
  EXPECT_EQ(g_FrameLoop.resizeCountdown, 0);
  EXPECT_EQ(g.deferredWidth, -1);
  GR_Window_SetFullscreen(true);
  EXPECT_TRUE(GR_Window_GetFullscreen());
  EXPECT_EQ(g.deferredWidth, 800);
  EXPECT_EQ(g.deferredHeight, 600);
  EXPECT_EQ(g_FrameLoop.resizeCountdown, 1);
  g.windowWidth = 1920;
  g_FrameLoop.resizeCountdown = 0;
  GR_Window_SetFullscreen(false);
  EXPECT_FALSE(GR_Window_GetFullscreen());
  EXPECT_EQ(g.deferredWidth, 800);  // kept from the switch into full screen
  EXPECT_EQ(g_FrameLoop.resizeCountdown, 1);
}

TEST_F(WindowGeometryTest, PlacementWorksOnTheClientArea) {
  OSFakeWindowState& w = OS_FakeWindowState();
  EXPECT_EQ(GR_Window_GetWidth(), 0);  // no window
  EXPECT_EQ(m_console.lines, std::vector<std::string>{"GetClientRect failed\n"});
  EXPECT_EQ(GR_Window_GetHeight(), 0);
  EXPECT_EQ(GR_Window_GetX(), 0);
  w.windowExists = true;
  w.client = OSRect{100, 100, 740, 580};
  EXPECT_EQ(GR_Window_GetX(), 100);
  EXPECT_EQ(GR_Window_GetY(), 100);
  EXPECT_EQ(GR_Window_GetWidth(), 640);
  EXPECT_EQ(GR_Window_GetHeight(), 480);
  GR_Window_SetPosition(30, 40);
  EXPECT_EQ(GR_Window_GetX(), 30);
  EXPECT_EQ(GR_Window_GetY(), 40);
  EXPECT_EQ(GR_Window_GetWidth(), 640);
  GR_Window_SetRectangle(10, 20, 800, 600);
  EXPECT_EQ(GR_Window_GetX(), 10);
  EXPECT_EQ(g_GraphicsDevice.pendingWidth, 800);
  EXPECT_TRUE(g_GraphicsDevice.keepWindowPosition);
}

TEST_F(WindowGeometryTest, CaptionAndColourAreKeptAsScriptsSeeThem) {
  EXPECT_EQ(GR_Window_GetCaption(), nullptr);
  OS_FakeWindowState().windowExists = true;
  GR_Window_SetCaption("Caf\xC3\xA9");
  EXPECT_STREQ(GR_Window_GetCaption(), "Caf\xC3\xA9");
  EXPECT_EQ(OS_FakeWindowState().title, "Caf\xC3\xA9");
  GR_Window_SetCaption(nullptr);
  EXPECT_STREQ(GR_Window_GetCaption(), "");
  EXPECT_EQ(GR_Window_GetColour(), 0);
  GR_Window_SetColour(0x7F123456);
  EXPECT_EQ(g_Window.colour, 0xFF123456u);
  EXPECT_EQ(GR_Window_GetColour(), 0x123456);
}

TEST_F(WindowGeometryTest, CursorConstantsChooseTheSystemShape) {
  struct Case {
    int32_t constant;
    OSCursor shape;
  };
  const Case cases[] = {
      {0, OSCursor::Arrow},     {-1, OSCursor::None},      {-2, OSCursor::Arrow},   {-3, OSCursor::Cross},
      {-4, OSCursor::IBeam},    {-5, OSCursor::None},      {-6, OSCursor::SizeNESW}, {-9, OSCursor::SizeWE},
      {-10, OSCursor::UpArrow}, {-11, OSCursor::Wait},     {-12, OSCursor::Hand},   {-13, OSCursor::No},
      {-18, OSCursor::No},      {-19, OSCursor::AppStarting}, {-20, OSCursor::Help}, {-21, OSCursor::Hand},
      {-22, OSCursor::SizeAll},
  };
  for (const Case& c : cases) {
    OS_FakeWindowState().cursor = OSCursor::SizeNS;  // a shape no case chooses
    GR_Window_SetCursor(c.constant);
    EXPECT_EQ(OS_FakeWindowState().cursor, c.shape) << c.constant;
    EXPECT_EQ(GR_Window_GetCursor(), c.constant);
  }
  for (int32_t other : {1, 5, -23, INT32_MIN}) {  // kept, nothing shown
    GR_Window_SetCursor(other);
    EXPECT_EQ(OS_FakeWindowState().cursor, OSCursor::SizeAll) << other;
    EXPECT_EQ(GR_Window_GetCursor(), other);
  }
}

TEST_F(WindowGeometryTest, VisibleRectsAreTheStrictOverlapsWithEachMonitor) {
  OS_FakeWindowState().monitors = {OSRect{0, 0, 1920, 1040}, OSRect{1920, -100, 3200, 924}};
  struct Case {
    double x1, y1, x2, y2;
    double expected[16];
  };
  const Case cases[] = {
      // across both
      {1800, 100, 2000, 200, {1800, 100, 1920, 200, 0, 0, 1920, 1040, 1920, 100, 2000, 200, 1920, -100, 3200, 924}},
      // touching the first monitor's right edge only: no overlap with the second
      {1000, -50, 1920, 50, {1000, 0, 1920, 50, 0, 0, 1920, 1040, 0, 0, 0, 0, 1920, -100, 3200, 924}},
      // starting on the second's left edge: none with the first
      {1920, 924, 2500, 2000, {0, 0, 0, 0, 0, 0, 1920, 1040, 0, 0, 0, 0, 1920, -100, 3200, 924}},
      // covering both
      {-10, -500, 5000, 5000, {0, 0, 1920, 1040, 0, 0, 1920, 1040, 1920, -100, 3200, 924, 1920, -100, 3200, 924}},
  };
  for (const Case& c : cases) {
    GrowArray<double> out;
    EXPECT_EQ(GR_Window_GetVisibleRects(c.x1, c.y1, c.x2, c.y2, &out), 2);
    ASSERT_EQ(out.Count(), 16);
    for (int32_t i = 0; i < 16; ++i) EXPECT_EQ(out.Data()[i], c.expected[i]) << c.x1 << "," << c.y1 << " value " << i;
    out.Free();
  }
  // A monitor that cannot be read keeps its eight zeros; without monitors nothing is added.
  OS_FakeWindowState().unreadableMonitor = 0;
  GrowArray<double> out;
  EXPECT_EQ(GR_Window_GetVisibleRects(0, 0, 5000, 5000, &out), 2);
  ASSERT_EQ(out.Count(), 16);
  for (int32_t i = 0; i < 8; ++i) EXPECT_EQ(out.Data()[i], 0.0);
  EXPECT_EQ(out.Data()[8], 1920.0);
  out.Clear();
  OS_FakeWindowState().monitors.clear();
  EXPECT_EQ(GR_Window_GetVisibleRects(0, 0, 5000, 5000, &out), 0);
  EXPECT_EQ(out.Count(), 0);
  out.Free();
}

}  // namespace
