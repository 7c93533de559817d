// The frame loop: pacing to the room speed under a virtual clock, frames per second, the
// new-room codes acted on after the frame, RUNNER_FRAMES, and a step with no room.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "base/VCL.h"
#include "os/OS_Clock.h"
#include "os/OS_Messages.h"
#include "room/Room_Run.h"
#include "run/Run_Frame.h"
#include "run/Run_Global.h"
#include "run/Run_Main.h"
#include "testlib/GameDataBuilder.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;

namespace {

// A clock that moves only when told to: by the test (the frame's work) or by a wait.
std::atomic<int64_t> g_now{0};
int64_t g_waited = 0;
int64_t Frequency() { return 1000000; }
int64_t Counter() { return g_now.load(); }
uint32_t TickCount() { return static_cast<uint32_t>(g_now.load() / 1000); }
void SleepMs(int64_t ms) {
  g_now += ms * 1000;
  g_waited += ms * 1000;
}
void Advance(int64_t us) {
  g_now += us;
  g_waited += us;
}
const TimingClockSource kTestClock = {Frequency, Counter, TickCount, SleepMs, Advance};

class FrameLoopTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    g_now = 0;
    Timing_SetClockSource(&kTestClock);
    Timing_Init();
    InitRunGlobals();
    m_oldConsole = DebugConsole;
    DebugConsole = &m_console;
    EnterMainLoop();
    Run_SetRunning(true);
  }
  void TearDown() override {
    DebugConsole = m_oldConsole;
    Timing_SetClockSource(nullptr);
    RuntimeTest::TearDown();
  }
  // One tick after `work` microseconds of work; answers how long the tick waited.
  int64_t Tick(int64_t work) {
    g_now += work;
    g_waited = 0;
    RunMainTick();
    return g_waited;
  }

  RecordingConsole m_console;
  tagIConsole* m_oldConsole = nullptr;
};

TEST_F(FrameLoopTest, AFrameWaitsOutTheRestOfTheRoomSpeedsPeriod) {
  Tick(0);
  // At 60 steps per second a frame is 16,666 microseconds: 5 ms of work leave 11,666 to wait.
  EXPECT_EQ(Tick(5000), 11666);
  // 20 ms of work: no wait, and the next frame starts at once.
  EXPECT_EQ(Tick(20000), 0);
  EXPECT_EQ(Tick(1000), 15666);
  // Without the sleep option the loop runs free.
  g_FrameLoop.sleepOption = false;
  EXPECT_EQ(Tick(1000), 0);
}

TEST_F(FrameLoopTest, FramesPerSecondChangeOncePerSecond) {
  Tick(0);
  for (int i = 0; i < 59; ++i) Tick(0);
  EXPECT_EQ(g_FrameLoop.fps, 0);  // the first second is not over
  std::vector<int32_t> seen;
  for (int i = 0; i < 130; ++i) {
    Tick(0);
    seen.push_back(g_FrameLoop.fps);
  }
  // Each value holds for a whole second and is the count of the second before.
  EXPECT_EQ(seen.back(), 60);
  int changes = 0;
  for (size_t i = 1; i < seen.size(); ++i) changes += seen[i] != seen[i - 1];
  EXPECT_LE(changes, 2);
}

TEST_F(FrameLoopTest, TheNewRoomCodeIsActedOnAfterTheFrame) {
  // The last code set in a step wins: there is one code.
  Run_SetNewRoom(kNewRoomRestart);
  Run_SetNewRoom(kNewRoomEndGame);
  Tick(0);
  EXPECT_FALSE(Run_IsRunning());

  Run_SetRunning(true);
  Run_SetNewRoom(kNewRoomQuit);
  Tick(0);
  EXPECT_FALSE(Run_IsRunning());

  // A restart ends the game and starts it again (this game has no room to enter).
  Run_SetRunning(true);
  Run_SetNewRoom(kNewRoomEndGame);
  Run_SetNewRoom(kNewRoomRestart);
  m_console.Clear();
  MessageBoxRecorder boxes;
  Tick(0);
  EXPECT_EQ(m_console.Count("StartGame()\n"), 1);
}

TEST_F(FrameLoopTest, AStepWithoutARoomDoesNothing) {
  Tick(0);
  Tick(0);
  EXPECT_EQ(g_RoomRun.stepCounter, 0);
  EXPECT_EQ(g_FrameLoop.deltaTime, 0);
}

// RUNNER_FRAMES ends the game through the normal end: the pass finishes with status 0.
int64_t g_steps = 0;
void NoteSteps() {
  if (Run_IsRunning() && g_FrameLoop.framesRun > g_steps) g_steps = g_FrameLoop.framesRun;
}

TEST_F(FrameLoopTest, RunnerFramesEndsTheGameAfterThatManySteps) {
  TempDir dir;
  GameDataBuilder g;
  GameHeader header;
  header.roomOrder = {0};
  RoomEntry room;
  room.name = "room0";
  room.codeWord = 0;  // no creation code (the file holds no compiled code)
  g.Gen8(header).Room({room}).Strg();
  const std::string path = dir.file("game.win");
  ASSERT_TRUE(g.WriteFile(path));
  EnvOverride frames("RUNNER_FRAMES", "5");
  g_steps = 0;
  const PumpMessagesHook old = PumpMessages_SetHook(NoteSteps);
  EXPECT_EQ(RunRestartLoop(("runner -game \"" + path + "\"").c_str()), 0);
  PumpMessages_SetHook(old);
  // Four steps leave the game running; the fifth ends it.
  EXPECT_EQ(g_steps, 4);
  EXPECT_FALSE(Run_IsRunning());
}

}  // namespace
