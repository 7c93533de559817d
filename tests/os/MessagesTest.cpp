#include <gtest/gtest.h>

#include <SDL.h>
#include <signal.h>

#include <vector>

#include "os/OS_Messages.h"
#include "os/OS_Platform.h"
#include "testlib/RuntimeTest.h"

namespace {

std::vector<Uint32> g_dispatched;
void RecordEvent(const SDL_Event& event) { g_dispatched.push_back(event.type); }

// The platform services started headless, the window procedure recorded; all put back after.
class PumpTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    ASSERT_TRUE(InitPlatformUI()) << SDL_GetError();
    g_dispatched.clear();
    m_previous = PumpMessages_SetWindowProcedure(RecordEvent);
    Run_SetRunning(true);
  }
  void TearDown() override {
    PumpMessages_SetWindowProcedure(m_previous);
    PumpMessages_SetDialogFilter(nullptr);
    ShutdownPlatformUI();
    RuntimeTest::TearDown();
  }
  static void Push(Uint32 type) {
    SDL_Event event{};
    event.type = type;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
  }
  static int Queued() { return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT); }
  WindowProcedure m_previous = nullptr;
};

TEST_F(PumpTest, AQuitRequestStopsTheDrainAndLeavesLaterEventsQueued) {
  Push(SDL_KEYDOWN);
  OS_PostQuitMessage();
  Push(SDL_KEYUP);
  PumpMessages();
  EXPECT_FALSE(Run_IsRunning());
  EXPECT_EQ(g_dispatched, std::vector<Uint32>{SDL_KEYDOWN});
  EXPECT_EQ(Queued(), 1);

  // Without a quit request everything is drained and the flag stays.
  Run_SetRunning(true);
  PumpMessages();
  EXPECT_TRUE(Run_IsRunning());
  EXPECT_EQ(g_dispatched, (std::vector<Uint32>{SDL_KEYDOWN, SDL_KEYUP}));
  EXPECT_EQ(Queued(), 0);
}

TEST_F(PumpTest, TheDefaultWindowProcedureTurnsAQuitEventIntoTheQuitRequest) {
  PumpMessages_SetWindowProcedure(nullptr);
  Push(SDL_QUIT);
  // Events posted during a drain come after its end marker: the next pump meets the request.
  PumpMessages();
  PumpMessages();
  EXPECT_FALSE(Run_IsRunning());
}

TEST_F(PumpTest, AnOpenDialogSeesEventsFirst) {
  PumpMessages_SetDialogFilter([](const SDL_Event& e) { return e.type == SDL_KEYDOWN; });
  Push(SDL_KEYDOWN);
  Push(SDL_KEYUP);
  PumpMessages();
  EXPECT_EQ(g_dispatched, std::vector<Uint32>{SDL_KEYUP});
}

TEST_F(PumpTest, DiscardedQuitRequestsDoNotReachTheNextPump) {
  OS_PostQuitMessage();
  Push(SDL_KEYDOWN);
  OS_DiscardQuitMessages();
  PumpMessages();
  EXPECT_TRUE(Run_IsRunning());
  EXPECT_EQ(g_dispatched, std::vector<Uint32>{SDL_KEYDOWN});

  // A shutdown drops them too.
  OS_PostQuitMessage();
  ShutdownPlatformUI();
  ASSERT_TRUE(InitPlatformUI());
  PumpMessages();
  EXPECT_TRUE(Run_IsRunning());
}

TEST_F(PumpTest, QuitSignalsArriveAsAQuitRequest) {
  for (int signal : {SIGINT, SIGTERM}) {
    Run_SetRunning(true);
    OS_ClearQuitSignal();
    ASSERT_EQ(raise(signal), 0);
    EXPECT_TRUE(OS_QuitSignalled());
    PumpMessages();
    EXPECT_FALSE(Run_IsRunning()) << signal;
  }
}

TEST(PumpWithoutVideo, TheQueueIsLeftAloneButAQuitRequestIsKept) {
  ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&quit), 1);
  Run_SetRunning(true);
  PumpMessages();
  EXPECT_TRUE(Run_IsRunning());
  EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_QUIT, SDL_QUIT), 1);
  // The program's own request is not left in that undrained queue: the next pump meets it.
  OS_PostQuitMessage();
  PumpMessages();
  EXPECT_FALSE(Run_IsRunning());
  Run_SetRunning(true);
  SDL_Quit();

  // Posted with no event system at all, the request waits for the next pump.
  OS_PostQuitMessage();
  PumpMessages();
  EXPECT_FALSE(Run_IsRunning());
  Run_SetRunning(true);
  PumpMessages();
  EXPECT_TRUE(Run_IsRunning());
  Run_SetRunning(false);
}

TEST(PlatformUI, StartsAndStopsEverySubsystem) {
  ASSERT_TRUE(InitPlatformUI());
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK),
            static_cast<Uint32>(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK));
  EXPECT_STREQ(SDL_GetCurrentVideoDriver(), "offscreen");
  ShutdownPlatformUI();
  EXPECT_EQ(SDL_WasInit(0), 0u);
  ShutdownPlatformUI();  // a second stop does nothing
}

}  // namespace
