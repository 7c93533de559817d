// Drawing the room on OpenGL, read back from the window: two views side by side, and the GUI
// layer over a letterboxed application surface.
#include <gtest/gtest.h>

#include <vector>

#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Frame.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Window.h"
#include "graphics/device/D3D_GL.h"
#include "room/Event_Names.h"
#include "room/Room_Draw.h"
#include "room/Room_View.h"
#include "room/WorldFixture.h"
#include "testlib/GraphicsFixtures.h"

namespace {

using testsupport::AddHandler;
using testsupport::AddObject;

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kBlack = 0x000000;

// A 64 x 32 window on OpenGL.
class RoomDrawGLTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    ASSERT_TRUE(testsupport::InstallTestGraphics(GL_D3DBackend(), 64, 32));
    CRoom* room = Room();
    room->m_ShowColour = 1;
    room->m_Colour = 0x0000FF;  // red (script colours have red in the low byte)
  }
  void TearDown() override {
    WorldTest::TearDown();
    testsupport::RemoveTestGraphics();
  }
  // Draws one frame into the open scene.
  static void DrawFrame() {
    GR_D3D_Start_Frame();
    DrawRoom();
    GraphicsFlush();
  }
  // The window's pixel at (x, y) without its alpha.
  static uint32_t Pixel(int32_t x, int32_t y) {
    uint32_t pixel = 0;
    if (!GL_ReadBackBuffer(g_GraphicsDevice.device, x, y, 1, 1, &pixel)) return 0xDEADBEEF;
    return pixel & 0xFFFFFFu;
  }
};

TEST_F(RoomDrawGLTest, TwoViewsShowTheirOwnPartOfTheRoomSideBySide) {
  CRoom& room = *CurrentRoom;
  room.m_Width = 128;
  room.m_Height = 32;
  room.m_ViewsEnabled = 1;
  room.m_Views[0] = RoomView{1, 0, 0, 32, 32, 0, 0, 32, 32, 0, 32, 32, -1, -1, -1, -1};
  room.m_Views[1] = RoomView{1, 64, 0, 32, 32, 32, 0, 32, 32, 0, 32, 32, -1, -1, -1, -1};
  // A green square over the room's first 32 x 32 pixels, which only view 0 sees.
  const int32_t object = AddObject();
  AddHandler(object, EVENT_DRAW, 0, [](CInstance*, CInstance*, ScriptValue*) {
    GR_SetColour(0x00FF00);
    GR_DrawRectangle(0, 0, 31, 31, false);
  });
  room.AddInstance(0, 0, object);
  DrawFrame();
  EXPECT_EQ(Pixel(8, 8), kGreen);
  EXPECT_EQ(Pixel(28, 28), kGreen);
  EXPECT_EQ(Pixel(40, 8), kRed);
  EXPECT_EQ(Pixel(60, 28), kRed);
}

TEST_F(RoomDrawGLTest, TheGuiLayerIsDrawnOverALetterboxedApplicationSurface) {
  CRoom& room = *CurrentRoom;
  room.m_Width = 32;
  room.m_Height = 32;
  room.m_ClearDisplay = 1;
  GR_Window_SetColour(0x000000);
  g_GraphicsDevice.keepAspect = true;
  g_Surfaces.applicationWidth = 32;
  g_Surfaces.applicationHeight = 32;
  // A 16 x 16 GUI over the 32 x 32 application area (window x 16 to 48): scale 2.
  GUI_SetSize(16, 16);
  const int32_t object = AddObject();
  AddHandler(object, EVENT_DRAW, kDrawEventGui, [](CInstance*, CInstance*, ScriptValue*) {
    GR_SetColour(0xFF0000);  // blue
    GR_DrawRectangle(0, 0, 3, 3, false);
  });
  room.AddInstance(0, 0, object);
  DrawFrame();
  EXPECT_EQ(Pixel(4, 16), kBlack) << "the bar left of the application area";
  EXPECT_EQ(Pixel(60, 16), kBlack) << "the bar right of it";
  EXPECT_EQ(Pixel(17, 1), kBlue);
  EXPECT_EQ(Pixel(23, 7), kBlue);
  EXPECT_EQ(Pixel(25, 9), kRed);
  EXPECT_EQ(Pixel(46, 30), kRed);
}

}  // namespace
