#include "run/Run_Global.h"

#include "os/OS_Clock.h"
#include "os/OS_Messages.h"
#include "os/OS_Paths.h"
#include "room/Room_Class.h"

namespace {
constexpr int64_t kFrameMicroseconds = 1000000 / 60;

int32_t g_newRoom = kNewRoomNone;
int64_t g_lastWake = 0;
}  // namespace

int32_t Run_GetNewRoom() { return g_newRoom; }

void Run_SetNewRoom(int32_t code) { g_newRoom = code; }

void InitRunGlobals() {
  Run_SetRunning(false);
  g_newRoom = kNewRoomNone;
  g_lastWake = Timing_GetMicroseconds();
}

void RunMainTick() {
  const int64_t elapsed = Timing_GetMicroseconds() - g_lastWake;
  if (elapsed >= 0 && elapsed < kFrameMicroseconds) Timing_Wait(kFrameMicroseconds - elapsed);
  g_lastWake = Timing_GetMicroseconds();
  if (g_newRoom == kNewRoomEndGame || g_newRoom == kNewRoomQuit) Run_SetRunning(false);
}

void EndGame() {
  if (CurrentRoom == nullptr) return;
}

void FreeRunGlobals() { FreeGamePaths(); }
