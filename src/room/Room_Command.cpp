#include "room/Room_Command.h"

#include <cinttypes>
#include <cstdio>

#include "base/ErrorSink.h"
#include "object/Object_Class.h"
#include "room/Event_Dispatch.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"
#include "room/Room_Main.h"
#include "room/Room_Run.h"
#include "run/Run_Global.h"

namespace {

constexpr int32_t kEventCreate = 0;
constexpr int32_t kEventDestroy = 1;

// Reports `prefix` followed by `number` in decimal.
void ReportNumber(const char* prefix, int32_t number, bool fatal) {
  char message[160];
  std::snprintf(message, sizeof message, "%s%" PRId32, prefix, number);
  ReportRuntimeError(message, fatal);
}

// A fatal room request error: reported, and the game is asked to quit.
void RoomRequestFailed(const char* message) {
  ReportRuntimeError(message, true);
  Run_SetNewRoom(kNewRoomQuit);
}

}  // namespace

CInstance* Command_CreateInstance(int32_t objectIndex, float x, float y) {
  if (!Object_Exists(objectIndex) || CurrentRoom == nullptr) {
    ReportNumber("Creating instance for non-existing object: ", objectIndex, false);
    return nullptr;
  }
  CInstance* instance = CurrentRoom->AddInstance(x, y, objectIndex);
  PerformInstanceEvent(instance, instance, kEventCreate, 0);
  return instance;
}

void Command_DestroyInstance(CInstance* instance) {
  if (instance == nullptr || instance->i_destroydone != 0) return;
  instance->i_destroydone = 1;
  PerformInstanceEvent(instance, instance, kEventDestroy, 0);
  instance->i_marked = 1;
}

void Command_GotoRoom(int32_t room) {
  Run_SetNewRoom(room);
  g_RoomRun.transitionKind = 0;
  if (!Room_Exists(room)) {
    char message[160];
    std::snprintf(message, sizeof message, "Unexisting room number: %" PRId32, room);
    RoomRequestFailed(message);
  }
}

void Command_NextRoom() {
  if (g_RoomRun.currentIndex == Room_Last()) {
    RoomRequestFailed("Moving to next room after the last room.");
    return;
  }
  Command_GotoRoom(Room_Next(g_RoomRun.currentIndex));
}

void Command_EndGame() { Run_SetNewRoom(kNewRoomEndGame); }

void RequestGameEnd() { Command_EndGame(); }

void Command_RestartGame() { Run_SetNewRoom(kNewRoomRestart); }
