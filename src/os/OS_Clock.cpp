#include "os/OS_Clock.h"

#include <time.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "os/OS_Messages.h"
#include "platform/Numeric.h"
#include "platform/Thread.h"

int64_t Timing_Frequency = 0;
int64_t Timing_StartCount = 0;

namespace {

constexpr int64_t kMicrosecondsPerSecond = 1000000;
constexpr int64_t kLongestSleepUs = 3000000;  // a wait never lasts longer than 3 seconds
constexpr int64_t kPumpedTailUs = 1000;       // spent pumping messages rather than sleeping

// ---- The system's monotonic clock, counted in nanoseconds ----

int64_t SystemFrequency() {
  timespec res{};
  if (clock_getres(CLOCK_MONOTONIC, &res) != 0) return 0;
  return 1000000000;
}

int64_t SystemCounter() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

uint32_t SystemTickCountMs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void SystemSleepMs(int64_t ms) {
  while (ms > 0) {
    const int64_t piece = ms > 1000000 ? 1000000 : ms;
    Thread::Sleep(static_cast<int>(piece));
    ms -= piece;
  }
}

const TimingClockSource kSystemSource = {SystemFrequency, SystemCounter, SystemTickCountMs,
                                         SystemSleepMs, nullptr};

// ---- Virtual time: a microsecond counter that moves only when the program waits ----

std::atomic<int64_t> g_virtualNow{0};

int64_t VirtualFrequency() { return kMicrosecondsPerSecond; }
int64_t VirtualCounter() { return g_virtualNow.load(std::memory_order_relaxed); }
uint32_t VirtualTickCountMs() { return static_cast<uint32_t>(num::DivInt64(VirtualCounter(), 1000)); }
void VirtualAdvance(int64_t us) {
  if (us > 0) g_virtualNow.fetch_add(us, std::memory_order_relaxed);
}
void VirtualSleepMs(int64_t ms) {
  if (ms > 0) VirtualAdvance(num::WrapMul64(ms, 1000));
}

const TimingClockSource kVirtualSource = {VirtualFrequency, VirtualCounter, VirtualTickCountMs,
                                          VirtualSleepMs, VirtualAdvance};

const TimingClockSource* g_override = nullptr;
const TimingClockSource* g_source = &kSystemSource;

bool FixedClockWanted() {
  const char* value = std::getenv("RUNNER_FIXED_CLOCK");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

}  // namespace

const TimingClockSource* Timing_SystemClockSource() { return &kSystemSource; }
const TimingClockSource* Timing_VirtualClockSource() { return &kVirtualSource; }

void Timing_SetClockSource(const TimingClockSource* source) { g_override = source; }

void Timing_Init() {
  if (g_override != nullptr) {
    g_source = g_override;
  } else {
    g_source = FixedClockWanted() ? &kVirtualSource : &kSystemSource;
  }
  const int64_t frequency = g_source->frequency();
  if (frequency > 0) {
    Timing_Frequency = frequency;
    Timing_StartCount = g_source->counter();
  } else {
    Timing_Frequency = 0;
    Timing_StartCount = static_cast<int64_t>(g_source->tickCountMs()) * 1000;
  }
}

int64_t Timing_GetMicroseconds() {
  const TimingClockSource* source = g_source;
  const int64_t frequency = Timing_Frequency;
  if (frequency > 0) {
    // (now - start) * 1,000,000 / frequency, truncating, formed from the whole seconds and
    // the remainder so that the product cannot overflow however long the program runs.
    const int64_t elapsed = num::WrapSub64(source->counter(), Timing_StartCount);
    const int64_t seconds = num::DivInt64(elapsed, frequency);
    const int64_t rest = num::ModInt64(elapsed, frequency);
    return num::WrapAdd64(num::WrapMul64(seconds, kMicrosecondsPerSecond),
                          num::DivInt64(num::WrapMul64(rest, kMicrosecondsPerSecond), frequency));
  }
  // Millisecond ticks: the elapsed ticks are taken in 32-bit wrapping arithmetic and only then
  // scaled, so the answer stays right across the tick count's wrap (up to 49 days of running).
  const uint32_t startTicks = static_cast<uint32_t>(static_cast<uint64_t>(Timing_StartCount) / 1000u);
  const uint32_t elapsedMs = source->tickCountMs() - startTicks;
  return static_cast<int64_t>(elapsedMs) * 1000;
}

void Timing_Sleep(int64_t us) {
  if (us <= 0) return;
  if (us >= kLongestSleepUs) us = kLongestSleepUs;
  const TimingClockSource* source = g_source;
  const int64_t start = Timing_GetMicroseconds();
  const int64_t target = num::WrapAdd64(start, us);
  if (us >= 2 * kPumpedTailUs) source->sleepMs(num::DivInt64(us - kPumpedTailUs, 1000));
  for (;;) {
    PumpMessages();
    const int64_t now = Timing_GetMicroseconds();
    // A reading below the start means the clock went backwards: stop waiting.
    if (now >= target || now < start) break;
    if (source->advance != nullptr) source->advance(target - now);
  }
}

void Timing_Wait(int64_t us) { Timing_Sleep(us); }
