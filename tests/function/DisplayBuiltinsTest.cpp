// The display, window and screen built-ins over the recording device fake, the scripted display
// and the fake window service.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BuiltinTestUtil.h"
#include "function/Function_Graphics.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Window.h"
#include "graphics/device/D3D_Fake.h"
#include "os/OS_DisplayModes.h"
#include "os/OS_Window.h"
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

TEST_F(DisplayBuiltinsTest, ScreenSavesNeedAName) {
  Call("screen_save", {RealValue(3)});
  EXPECT_NE(TakeError().find("Trying to save screen to empty image file name."), std::string::npos);
  Call("screen_save_part", {testsupport::Str(""), RealValue(0), RealValue(0), RealValue(4), RealValue(4)});
  EXPECT_NE(TakeError().find("Trying to save screen to empty image file name."), std::string::npos);
}

}  // namespace
}  // namespace builtintest
