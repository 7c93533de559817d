#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "os/OS_Clock.h"
#include "os/OS_Messages.h"

namespace {

// A clock that moves only when told: by a thread sleep, or by a step on every message pump.
struct FakeClock {
  int64_t frequency = 1000000;  // a microsecond counter unless a test says otherwise
  int64_t counter = 0;
  uint32_t ticks = 0;
  int64_t stepPerPump = 100;  // counter ticks per PumpMessages
  bool backwardsOnPump = false;
  std::vector<int64_t> sleeps;
  int pumps = 0;
};
FakeClock g_fake;

const TimingClockSource kFakeSource = {
    [] { return g_fake.frequency; },
    [] { return g_fake.counter; },
    [] { return g_fake.ticks; },
    [](int64_t ms) {
      g_fake.sleeps.push_back(ms);
      g_fake.counter += ms * 1000;
    },
    nullptr,
};

void FakePump() {
  ++g_fake.pumps;
  g_fake.counter = g_fake.backwardsOnPump ? g_fake.counter - 5000 : g_fake.counter + g_fake.stepPerPump;
}

class ClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_fake = FakeClock{};
    g_fake.counter = 1000000000;  // anything but zero at the start
    Timing_SetClockSource(&kFakeSource);
    m_previousHook = PumpMessages_SetHook(FakePump);
  }
  void TearDown() override {
    PumpMessages_SetHook(m_previousHook);
    Timing_SetClockSource(nullptr);
    unsetenv("RUNNER_FIXED_CLOCK");
    Timing_Init();
  }
  PumpMessagesHook m_previousHook = nullptr;
};

TEST_F(ClockTest, MicrosecondsScaleTheCounterWithoutOverflow) {
  struct Case {
    int64_t frequency, start, now, expected;
  };
  const Case cases[] = {
      {1000000000, 5000000000, 5000001999, 1},
      {1000000000, 0, 1000000000000000000, 1000000000000000},  // 11.5 days of nanoseconds
      {3, 0, 1, 333333},
      {3, 10, 9, -333333},  // a clock gone backwards truncates toward zero
      {10000000, 7, 7 + (int64_t{1} << 62), 461168601842738790},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.frequency << " Hz, " << c.now - c.start << " ticks");
    g_fake.frequency = c.frequency;
    g_fake.counter = c.start;
    Timing_Init();
    EXPECT_EQ(Timing_Frequency, c.frequency);
    EXPECT_EQ(Timing_StartCount, c.start);
    g_fake.counter = c.now;
    EXPECT_EQ(Timing_GetMicroseconds(), c.expected);
  }
}

TEST_F(ClockTest, WithoutACounterTheMillisecondTicksAreUsedAcrossTheirWrap) {
  g_fake.frequency = 0;
  g_fake.ticks = 1000;
  Timing_Init();
  EXPECT_EQ(Timing_Frequency, 0);
  EXPECT_EQ(Timing_StartCount, 1000000);
  g_fake.ticks = 1500;
  EXPECT_EQ(Timing_GetMicroseconds(), 500000);

  g_fake.ticks = 0xFFFFFF00u;
  Timing_Init();
  EXPECT_EQ(Timing_StartCount, int64_t{0xFFFFFF00} * 1000);
  g_fake.ticks = 0x100;
  EXPECT_EQ(Timing_GetMicroseconds(), 0x200 * 1000);
}

TEST_F(ClockTest, SleepBounds) {
  struct Case {
    int64_t us;
    std::vector<int64_t> sleeps;  // thread sleeps, in milliseconds
    int64_t waited;               // microseconds on the clock afterwards
    int pumps;
  };
  const Case cases[] = {
      {0, {}, 0, 0},
      {-5, {}, 0, 0},
      {INT64_MIN, {}, 0, 0},
      {1500, {}, 1500, 15},  // all of it spent pumping messages
      {1999, {}, 2000, 20},
      {2000, {1}, 2000, 10},
      {16667, {15}, 16700, 17},
      {3000000, {2999}, 3000000, 10},
      {10000000, {2999}, 3000000, 10},  // cut to 3 seconds
      {INT64_MAX, {2999}, 3000000, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.us);
    Timing_Init();
    g_fake.sleeps.clear();
    g_fake.pumps = 0;
    Timing_Sleep(c.us);
    EXPECT_EQ(g_fake.sleeps, c.sleeps);
    EXPECT_EQ(Timing_GetMicroseconds(), c.waited);
    EXPECT_EQ(g_fake.pumps, c.pumps);
  }
}

TEST_F(ClockTest, AClockGoingBackwardsEndsTheWait) {
  Timing_Init();
  g_fake.backwardsOnPump = true;
  Timing_Sleep(1500);
  EXPECT_EQ(g_fake.pumps, 1);
  EXPECT_LT(Timing_GetMicroseconds(), 0);
}

TEST_F(ClockTest, FixedClockAdvancesExactlyByEachWait) {
  setenv("RUNNER_FIXED_CLOCK", "1", 1);
  Timing_SetClockSource(nullptr);
  Timing_Init();
  EXPECT_EQ(Timing_Frequency, 1000000);
  EXPECT_EQ(Timing_GetMicroseconds(), 0);
  Timing_Wait(16667);
  EXPECT_EQ(Timing_GetMicroseconds(), 16667);
  Timing_Sleep(1500);
  EXPECT_EQ(Timing_GetMicroseconds(), 18167);
  Timing_Sleep(10000000);
  EXPECT_EQ(Timing_GetMicroseconds(), 3018167);
  Timing_Sleep(0);
  EXPECT_EQ(Timing_GetMicroseconds(), 3018167);
  EXPECT_GE(g_fake.pumps, 3);  // messages are still pumped while virtual time passes

  // Anything but "1" keeps the system clock.
  setenv("RUNNER_FIXED_CLOCK", "0", 1);
  Timing_Init();
  EXPECT_EQ(Timing_Frequency, 1000000000);
}

TEST_F(ClockTest, SystemClockNeverRunsBackwardsAndSleepsAtLeastAsAsked) {
  Timing_SetClockSource(Timing_SystemClockSource());
  Timing_Init();
  int64_t last = Timing_GetMicroseconds();
  EXPECT_GE(last, 0);
  for (int k = 0; k < 1000; ++k) {
    const int64_t now = Timing_GetMicroseconds();
    ASSERT_GE(now, last);
    last = now;
  }
  for (int64_t us : {int64_t{1500}, int64_t{3000}}) {
    const int64_t start = Timing_GetMicroseconds();
    Timing_Sleep(us);
    EXPECT_GE(Timing_GetMicroseconds() - start, us);
  }
}

}  // namespace
