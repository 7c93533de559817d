#include "run/Run_Global.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "os/OS_Clock.h"
#include "os/OS_Messages.h"
#include "os/OS_Paths.h"
#include "run/Run_Frame.h"

namespace {

// The run state of the pass (InitRunGlobals sets it).
struct RunState {
  int32_t newRoom = kNewRoomNone;
  int32_t asyncLoad = -1;  // async_load
};
RunState g_run;

// Steps a headless run (RUNNER_HEADLESS=1) makes when RUNNER_FRAMES is not set.
constexpr int64_t kHeadlessFrameLimit = 600;

// RUNNER_FRAMES: a positive decimal count of steps, 0 (no limit) for anything else; unset in a
// headless run, 600.
int64_t FrameLimitFromEnvironment() {
  const char* text = std::getenv("RUNNER_FRAMES");
  if (text == nullptr) {
    const char* headless = std::getenv("RUNNER_HEADLESS");
    return headless != nullptr && std::strcmp(headless, "1") == 0 ? kHeadlessFrameLimit : 0;
  }
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value <= 0) return 0;
  return value;
}

}  // namespace

int32_t Run_GetNewRoom() { return g_run.newRoom; }

void Run_SetNewRoom(int32_t code) { g_run.newRoom = code; }

int32_t Run_GetAsyncLoad() { return g_run.asyncLoad; }

void Run_SetAsyncLoad(int32_t mapIndex) { g_run.asyncLoad = mapIndex; }

void InitRunGlobals() {
  Run_SetRunning(false);
  g_run = RunState{};
  g_FrameLoop = FrameLoopState{};
  g_FrameLoop.frameLimit = FrameLimitFromEnvironment();
  g_FrameLoop.lastWake = Timing_GetMicroseconds();
}

void FreeRunGlobals() { FreeGamePaths(); }
