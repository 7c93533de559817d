// The GUI-size and application-surface built-ins, called as the virtual machine calls them.
#include <gtest/gtest.h>

#include <vector>

#include "BuiltinTestUtil.h"
#include "function/Function_Tuvo.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Window.h"
#include "room/Room_Draw.h"

namespace builtintest {
namespace {

class ServiceBuiltinsTest : public BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    RegisterTuvoFunctions();
  }
  static std::vector<ScriptValue> Reals(std::initializer_list<double> values) {
    std::vector<ScriptValue> args;
    for (double v : values) args.push_back(RealValue(v));
    return args;
  }
};

TEST_F(ServiceBuiltinsTest, TheGuiSizeIsSetAndReadBackOrFollowsTheDisplay) {
  EXPECT_EQ(CallReal("display_get_gui_width", {}), 640);
  EXPECT_EQ(CallReal("display_get_gui_height", {}), 480);
  CallReal("display_set_gui_maximise", Reals({2, 2}));
  CallReal("display_set_gui_size", Reals({320, 240.5}));
  EXPECT_FALSE(g_RoomDraw.gui.maximise);
  EXPECT_EQ(g_RoomDraw.gui.maximiseScaleX, 1.0f);
  EXPECT_EQ(CallReal("display_get_gui_width", {}), 320);
  EXPECT_EQ(CallReal("display_get_gui_height", {}), 240);
  CallReal("display_set_gui_size", Reals({-1, -1}));
  EXPECT_EQ(CallReal("display_get_gui_width", {}), 640);
  EXPECT_EQ(CallReal("display_get_gui_height", {}), 480);
}

TEST_F(ServiceBuiltinsTest, TheMaximisedGuiReadsOnlyTheArgumentsPassed) {
  const struct {
    std::vector<double> args;
    GuiSettings settings;
  } cases[] = {
      {{}, {-1, -1, true, 1, 1, kGuiOffsetUnset, kGuiOffsetUnset}},
      {{3}, {-1, -1, true, 3, 1, kGuiOffsetUnset, kGuiOffsetUnset}},
      {{3, 4}, {-1, -1, true, 3, 4, kGuiOffsetUnset, kGuiOffsetUnset}},
      {{3, 4, 5}, {-1, -1, true, 3, 4, 5, kGuiOffsetUnset}},
      {{3, 4, 5, 6}, {-1, -1, true, 3, 4, 5, 6}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.size());
    CallReal("display_set_gui_size", Reals({100, 100}));
    std::vector<ScriptValue> args;
    for (double v : c.args) args.push_back(RealValue(v));
    CallReal("display_set_gui_maximise", args);
    EXPECT_TRUE(TakeError().empty());
    const GuiSettings& g = g_RoomDraw.gui;
    EXPECT_EQ(g.width, c.settings.width);
    EXPECT_EQ(g.height, c.settings.height);
    EXPECT_EQ(g.maximise, c.settings.maximise);
    EXPECT_EQ(g.maximiseScaleX, c.settings.maximiseScaleX);
    EXPECT_EQ(g.maximiseScaleY, c.settings.maximiseScaleY);
    EXPECT_EQ(g.maximiseOffsetX, c.settings.maximiseOffsetX);
    EXPECT_EQ(g.maximiseOffsetY, c.settings.maximiseOffsetY);
  }
}

TEST_F(ServiceBuiltinsTest, DisablingTheApplicationSurfaceRemembersItsSizeForLater) {
  g_Surfaces.applicationWidth = 300;
  g_Surfaces.applicationHeight = 200;
  EXPECT_EQ(CallReal("application_surface_is_enabled", {}), 1);
  CallReal("application_surface_enable", Reals({0.5}));  // set only above 0.5
  EXPECT_EQ(CallReal("application_surface_is_enabled", {}), 0);
  EXPECT_EQ(g_Window.appSurfaceRequestedWidth, 300);
  EXPECT_EQ(g_Window.appSurfaceRequestedHeight, 200);
  // While disabled its size is not taken again.
  g_Surfaces.applicationWidth = 640;
  CallReal("application_surface_enable", Reals({1}));
  EXPECT_EQ(CallReal("application_surface_is_enabled", {}), 1);
  EXPECT_EQ(g_Window.appSurfaceRequestedWidth, 300);
}

TEST_F(ServiceBuiltinsTest, AutomaticDrawingTakesARealFlagAndReportsAnythingElse) {
  CallReal("application_surface_draw_enable", Reals({0}));
  EXPECT_FALSE(g_Window.appSurfaceAutoDraw);
  CallReal("application_surface_draw_enable", Reals({0.6}));
  EXPECT_TRUE(g_Window.appSurfaceAutoDraw);
  bool fatal = true;
  CallReal("application_surface_draw_enable", {});
  EXPECT_NE(TakeError(&fatal).find("Illegal argument count"), std::string::npos);
  EXPECT_FALSE(fatal);
  CallReal("application_surface_draw_enable", {Str("0")});
  EXPECT_NE(TakeError(&fatal).find("Illegal argument type"), std::string::npos);
  EXPECT_FALSE(fatal);
  EXPECT_TRUE(g_Window.appSurfaceAutoDraw);
}

}  // namespace
}  // namespace builtintest
