// The microsecond clock that paces frames and timestamps everything, and the sleep that waits
// for the next frame while keeping the window responsive.
//
// The clock reads a clock source chosen by Timing_Init: the system's monotonic clock, or, with
// RUNNER_FIXED_CLOCK=1 in the environment, virtual time that only moves when the program waits
// (deterministic timing for headless runs). Tests install their own source.
#pragma once

#include <cstdint>

// Where the clock's readings come from.
struct TimingClockSource {
  // Ticks per second of the high-resolution counter; 0 when there is none.
  int64_t (*frequency)();
  // The counter's current reading.
  int64_t (*counter)();
  // A millisecond tick count (wrapping at 2^32), used when there is no counter.
  uint32_t (*tickCountMs)();
  // Puts the thread to sleep for `ms` milliseconds.
  void (*sleepMs)(int64_t ms);
  // Optional: lets `us` microseconds pass without sleeping (virtual time). Null for a clock
  // that moves by itself.
  void (*advance)(int64_t us);
};

// Set by Timing_Init.
extern int64_t Timing_Frequency;   // counter ticks per second, 0 without a counter
extern int64_t Timing_StartCount;  // counter reading at Timing_Init (ms ticks x 1,000 without one)

// Chooses the clock source and takes the start reading. Called first by the runner's start-up,
// from the main thread, before any other thread reads the clock.
void Timing_Init();
// Microseconds since Timing_Init. Safe from any thread: it changes no state.
int64_t Timing_GetMicroseconds();
// Waits `us` microseconds (at most 3 seconds): sleeps the thread for all but the last
// millisecond or so, then pumps window messages until the time has come.
void Timing_Sleep(int64_t us);
// The frame loop's wait.
void Timing_Wait(int64_t us);

// Makes Timing_Init use `source` (tests); null goes back to choosing by the environment.
// The source must outlive its use.
void Timing_SetClockSource(const TimingClockSource* source);
// The sources Timing_Init chooses between.
const TimingClockSource* Timing_SystemClockSource();
const TimingClockSource* Timing_VirtualClockSource();
