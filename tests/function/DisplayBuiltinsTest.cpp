// The display, window and screen built-ins over the recording device fake, the scripted display
// and the fake window service.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BuiltinTestUtil.h"
#include "function/Function_Graphics.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Window.h"
#include "io/IO_Main.h"
#include "option/Option_Main.h"
#include "graphics/device/D3D_Fake.h"
#include "os/OS_DisplayModes.h"
#include "os/OS_Window.h"
#include "room/Room_Class.h"
#include "run/Run_Frame.h"
#include "testlib/GraphicsFixtures.h"

namespace builtintest {
namespace {

class DisplayBuiltinsTest : public BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    RegisterGraphicsFunctions();
    OS_SetDisplaySource(testsupport::FakeDisplaySource());
    testsupport::TheFakeDisplay() = testsupport::FakeDisplay{};
    OS_SetWindowService(OS_FakeWindowService());
    OS_FakeWindowState() = OSFakeWindowState{};
    FakeD3D_Reset();
    D3D_SetBackend(FakeD3D_Backend());
    ASSERT_TRUE(GR_D3D_Init(nullptr, 64, 64, 0));
    FakeD3D().log.clear();
  }
  void TearDown() override {
    BuiltinTest::TearDown();  // releases the device while its back end is still there
    D3D_SetBackend(nullptr);
    OS_SetDisplaySource(nullptr);
    OS_SetWindowService(nullptr);
  }
  double Real(const char* name, std::initializer_list<double> values) {
    std::vector<ScriptValue> args;
    for (double v : values) args.push_back(RealValue(v));
    return CallReal(name, args);
  }
};

TEST_F(DisplayBuiltinsTest, DisplayChangesResetTheDeviceEvenWhenRefused) {
  testsupport::TheFakeDisplay().changeSucceeds = false;
  EXPECT_EQ(Real("display_set_size", {800, 600}), 0);
  EXPECT_EQ(FakeD3D().Count("Reset"), 1);
  testsupport::TheFakeDisplay().changeSucceeds = true;
  EXPECT_EQ(Real("display_set_all", {800, 600, 60, 32}), 1);
  EXPECT_EQ(FakeD3D().Count("Reset"), 2);
  ASSERT_EQ(testsupport::TheFakeDisplay().requests.size(), 2u);
  EXPECT_EQ(testsupport::TheFakeDisplay().requests[1].first.frequency, 60u);
  EXPECT_EQ(Real("display_test_all", {800, 600, 60, 32}), 1);
  EXPECT_EQ(FakeD3D().Count("Reset"), 2);  // a test changes nothing
  EXPECT_EQ(Real("display_get_width", {}), 1024);
  EXPECT_EQ(Real("display_get_colordepth", {}), 32);
  EXPECT_EQ(Real("display_get_orientation", {}), 0);
}

TEST_F(DisplayBuiltinsTest, DisplayResetTakesOneOrTwoArgumentsAndWaitsForTheNextFrame) {
  g_GraphicsDevice.vsync = true;
  Real("display_reset", {4.9});
  EXPECT_EQ(g_GraphicsDevice.multisample, 4u);
  EXPECT_TRUE(g_GraphicsDevice.vsync);  // one argument: unchanged
  EXPECT_EQ(g_FrameLoop.resizeCountdown, 1);
  EXPECT_EQ(FakeD3D().Count("Reset"), 0);
  Real("display_reset", {0, 0.9});  // truncated to 0: off
  EXPECT_EQ(g_GraphicsDevice.multisample, 0u);
  EXPECT_FALSE(g_GraphicsDevice.vsync);
  Real("display_reset", {0, 1});
  EXPECT_TRUE(g_GraphicsDevice.vsync);
}

TEST_F(DisplayBuiltinsTest, WindowStylesChangeNothing) {
  for (const char* name : {"window_set_showborder", "window_set_showicons", "window_set_stayontop",
                           "window_set_sizeable", "window_set_visible"})
    Real(name, {1});
  for (const char* name : {"window_get_showborder", "window_get_showicons", "window_get_stayontop",
                           "window_get_sizeable"})
    EXPECT_EQ(Real(name, {}), 0) << name;
  EXPECT_EQ(Real("window_get_visible", {}), 1);
}

TEST_F(DisplayBuiltinsTest, CaptionColourAndLimitsReadBack) {
  EXPECT_EQ(Call("window_get_caption", {}).text, "");
  EXPECT_EQ(Call("window_get_caption", {}).kind, VALUE_STRING);
  Call("window_set_caption", {testsupport::Str("Surfaces")});
  EXPECT_EQ(Call("window_get_caption", {}).text, "Surfaces");
  Real("window_set_colour", {0x123456});
  EXPECT_EQ(Real("window_get_color", {}), 0x123456);
  Real("window_set_min_width", {99.9});
  Real("window_set_max_height", {-3.7});
  EXPECT_EQ(g_Window.minWidth, 99);
  EXPECT_EQ(g_Window.maxHeight, -3);
}

TEST_F(DisplayBuiltinsTest, WindowRequestsGoThroughTheFrameLoop) {
  OSFakeWindowState& w = OS_FakeWindowState();
  w.windowExists = true;
  w.client = OSRect{100, 100, 740, 580};
  Real("window_set_size", {0, 600});
  EXPECT_EQ(g_FrameLoop.resizeCountdown, 0);
  Real("window_set_size", {800.4, 600});
  EXPECT_EQ(g_GraphicsDevice.pendingWidth, 800);
  EXPECT_EQ(g_FrameLoop.resizeCountdown, 10);
  EXPECT_EQ(Real("window_get_width", {}), 640);
  EXPECT_EQ(Real("window_get_x", {}), 100);
  Real("window_set_position", {20, 30});
  EXPECT_EQ(Real("window_get_y", {}), 30);
  g_FrameLoop.resizeCountdown = 0;
  Real("window_set_fullscreen", {0.5});
  EXPECT_EQ(Real("window_get_fullscreen", {}), 1);
  EXPECT_EQ(g_FrameLoop.resizeCountdown, 1);
}

TEST_F(DisplayBuiltinsTest, WindowCursorSetsTheShapeAndTheShowFlag) {
  Real("window_set_cursor", {-5});
  EXPECT_EQ(OS_FakeWindowState().cursor, OSCursor::None);
  EXPECT_TRUE(g_Options.showCursor);
  EXPECT_EQ(Real("window_get_cursor", {}), -5);
  Real("window_set_cursor", {-3});
  EXPECT_EQ(OS_FakeWindowState().cursor, OSCursor::Cross);
  Real("window_set_cursor", {5});  // only stored
  EXPECT_EQ(OS_FakeWindowState().cursor, OSCursor::Cross);
  EXPECT_EQ(Real("window_get_cursor", {}), 5);
  EXPECT_TRUE(g_Options.showCursor);
  Real("window_set_cursor", {-1.2});
  EXPECT_EQ(OS_FakeWindowState().cursor, OSCursor::None);
  EXPECT_FALSE(g_Options.showCursor);
  Real("window_set_cursor", {0});
  EXPECT_EQ(OS_FakeWindowState().cursor, OSCursor::Arrow);
  EXPECT_TRUE(g_Options.showCursor);
}

TEST_F(DisplayBuiltinsTest, WindowMouseInClientViewAndRoomTerms) {
  GraphicsDeviceState& g = g_GraphicsDevice;
  g.windowWidth = g.clientWidth = 1000;
  g.windowHeight = g.clientHeight = 600;
  g.keepAspect = true;
  g_Surfaces.applicationWidth = 640;
  g_Surfaces.applicationHeight = 480;
  g_IO.step.rawMouseX[0] = 500;
  g_IO.step.rawMouseY[0] = 300;
  g_IO.step.rawMouseX[1] = 7;
  EXPECT_EQ(Real("window_mouse_get_x", {}), 500);
  EXPECT_EQ(Real("window_mouse_get_y", {}), 300);
  // Not drawn, negative or past the last mapping: the application area's left offset for both.
  for (double view : {3.0, -1.0, 32.0, -2147483648.0}) {
    EXPECT_EQ(Real("window_view_mouse_get_x", {view}), 100) << view;
    EXPECT_EQ(Real("window_view_mouse_get_y", {view}), 100) << view;
  }
  GR_Window_SetViewMapping(3, 0, 0, 640, 480, 0, 0, 320, 240, 0, -1);
  EXPECT_EQ(Real("window_view_mouse_get_x", {3}), 160);
  EXPECT_EQ(Real("window_view_mouse_get_y", {3}), 120);
  // Without a room the client position stands.
  EXPECT_EQ(Real("window_views_mouse_get_x", {}), 500);
  EXPECT_EQ(Real("window_views_mouse_get_y", {}), 300);
  // In a 640 x 480 room without views the application area is scaled to the room.
  CRoom room;
  room.m_Width = 640;
  room.m_Height = 480;
  CurrentRoom = &room;
  EXPECT_EQ(Real("window_views_mouse_get_x", {}), 320);
  EXPECT_EQ(Real("window_views_mouse_get_y", {}), 240);
  CurrentRoom = nullptr;
}

TEST_F(DisplayBuiltinsTest, VisibleRectsComeBackAsOneRow) {
  OS_FakeWindowState().monitors = {OSRect{0, 0, 1920, 1040}, OSRect{1920, 0, 3200, 1024}};
  ScriptValue raw{};
  Call("window_get_visible_rects", {RealValue(1800), RealValue(10), RealValue(2000), RealValue(20)}, &raw);
  ASSERT_EQ(raw.Kind(), VALUE_ARRAY);
  ASSERT_NE(raw.arr, nullptr);
  ASSERT_EQ(raw.arr->rowCount, 1);
  ASSERT_EQ(raw.arr->rows[0].length, 16);
  const double expected[16] = {1800, 10, 1920, 20, 0, 0, 1920, 1040, 1920, 10, 2000, 20, 1920, 0, 3200, 1024};
  for (int32_t i = 0; i < 16; ++i) EXPECT_EQ(raw.arr->rows[0].elements[i].real, expected[i]) << i;
  ReleaseValue(&raw);
  OS_FakeWindowState().monitors.clear();
  Call("window_get_visible_rects", {RealValue(0), RealValue(0), RealValue(1), RealValue(1)}, &raw);
  ASSERT_EQ(raw.Kind(), VALUE_ARRAY);
  EXPECT_TRUE(raw.arr == nullptr || raw.arr->rowCount == 0 || raw.arr->rows[0].length == 0);
  ReleaseValue(&raw);
}

TEST_F(DisplayBuiltinsTest, ScreenSavesNeedAName) {
  Call("screen_save", {RealValue(3)});
  EXPECT_NE(TakeError().find("Trying to save screen to empty image file name."), std::string::npos);
  Call("screen_save_part", {testsupport::Str(""), RealValue(0), RealValue(0), RealValue(4), RealValue(4)});
  EXPECT_NE(TakeError().find("Trying to save screen to empty image file name."), std::string::npos);
}

}  // namespace
}  // namespace builtintest
