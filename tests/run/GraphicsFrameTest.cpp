// The start-up makes the graphics device, and every tick of the frame loop runs the game step
// inside a device frame: the scene begins, the step's drawing reaches the device, the scene ends
// and the frame is presented.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/VCL.h"
#include "graphics/device/D3D_Fake.h"
#include "os/OS_Messages.h"
#include "os/OS_Paths.h"
#include "run/Run_Frame.h"
#include "run/Run_Global.h"
#include "run/Run_Startup.h"
#include "runner/Runner_Main.h"
#include "testlib/GameDataBuilder.h"
#include "testlib/GraphicsFixtures.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;

namespace {

class GraphicsFrameTest : public FakeGraphicsTest {
 protected:
  void TearDown() override {
    if (HasFailure()) std::fprintf(stderr, "The run logged:\n%s", console.Text().c_str());
    ShutdownRunner();
    FakeGraphicsTest::TearDown();
  }
  // Starts a game whose one instance runs `step` in its step event.
  bool Start(const std::string& step) {
    GameDataBuilder g;
    ObjectEntry object;
    object.name = "obj_draw";
    object.events[3].push_back(ObjectEvent{0, ActionCode{step}});
    GameHeader header;
    header.roomOrder = {0};
    RoomEntry room;
    room.name = "room0";
    room.codeWord = 0;
    room.instances = std::vector<RoomInstanceEntry>{RoomInstanceEntry{0, 0, 0, 100001, std::nullopt, 0}};
    g.Gen8(header).OptnNew().Objt({object}).Room({room}).Strg();
    const std::vector<uint8_t> bytes = g.Build();
    const std::string path = m_dir.file("game.win");
    FILE* out = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    SetGameFilePath(path.c_str());
    InitRunner();
    return StartRunner();
  }
  // The device calls logged since `from` that begin with one of the frame's operations.
  static std::vector<std::string> FrameCalls(size_t from) {
    std::vector<std::string> calls;
    const std::vector<std::string>& log = FakeD3D().log;
    for (size_t i = from; i < log.size(); ++i) {
      for (const char* op : {"BeginScene", "EndScene", "Present", "DrawPrimitive"}) {
        if (log[i].rfind(op, 0) == 0) {
          calls.push_back(op);
          break;
        }
      }
    }
    return calls;
  }

  TempDir m_dir;
  MessageBoxRecorder m_boxes;
};

TEST_F(GraphicsFrameTest, TheStartUpMakesTheDeviceAndOpensTheFirstFrame) {
  ASSERT_TRUE(Start("x = 1;"));
  EXPECT_EQ(FakeD3D().Count("CreateDevice"), 1);
  EXPECT_EQ(console.Count("Graphics initialisation end...\n"), 1);
  EXPECT_EQ(FakeD3D().Count("BeginScene"), 1);  // "Start Frame" opened the scene
  EXPECT_EQ(FakeD3D().Count("Present"), 0);
}

TEST_F(GraphicsFrameTest, EachTickDrawsTheStepInsideADeviceFrameAndPresentsIt) {
  ASSERT_TRUE(Start("draw_rectangle(0, 0, 9, 9, false);"));
  g_FrameLoop.sleepOption = false;
  size_t mark = FakeD3D().log.size();
  RunMainTick();
  // The scene opened at start-up holds the first step: the step's rectangle, then the room
  // drawing's application surface put on the window.
  EXPECT_EQ(FrameCalls(mark), (std::vector<std::string>{"DrawPrimitive", "DrawPrimitive", "EndScene", "Present"}));
  mark = FakeD3D().log.size();
  RunMainTick();
  EXPECT_EQ(FrameCalls(mark),
            (std::vector<std::string>{"BeginScene", "DrawPrimitive", "DrawPrimitive", "EndScene", "Present"}));
  EXPECT_TRUE(Run_IsRunning());
}

TEST_F(GraphicsFrameTest, AFrameWithDrawingSwitchedOffIsEndedButNotPresented) {
  ASSERT_TRUE(Start("draw_enable_drawevent(false);"));
  g_FrameLoop.sleepOption = false;
  size_t mark = FakeD3D().log.size();
  RunMainTick();
  EXPECT_EQ(FrameCalls(mark), (std::vector<std::string>{"EndScene"}));
  mark = FakeD3D().log.size();
  RunMainTick();
  EXPECT_EQ(FrameCalls(mark), (std::vector<std::string>{"BeginScene", "EndScene"}));
}

}  // namespace
