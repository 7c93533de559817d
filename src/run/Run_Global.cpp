#include "run/Run_Global.h"

#include "os/OS_Clock.h"
#include "os/OS_Messages.h"
#include "os/OS_Paths.h"

namespace {
constexpr int64_t kFrameMicroseconds = 1000000 / 60;

// The run state of the pass (InitRunGlobals sets it).
struct RunState {
  int32_t newRoom = kNewRoomNone;
  int64_t lastWake = 0;
};
RunState g_run;
}  // namespace

int32_t Run_GetNewRoom() { return g_run.newRoom; }

void Run_SetNewRoom(int32_t code) { g_run.newRoom = code; }

void InitRunGlobals() {
  Run_SetRunning(false);
  g_run = RunState{};
  g_run.lastWake = Timing_GetMicroseconds();
}

void RunMainTick() {
  const int64_t elapsed = Timing_GetMicroseconds() - g_run.lastWake;
  if (elapsed >= 0 && elapsed < kFrameMicroseconds) Timing_Wait(kFrameMicroseconds - elapsed);
  g_run.lastWake = Timing_GetMicroseconds();
  if (g_run.newRoom == kNewRoomEndGame || g_run.newRoom == kNewRoomQuit) Run_SetRunning(false);
}

void FreeRunGlobals() { FreeGamePaths(); }
