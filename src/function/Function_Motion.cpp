#include "function/Function_Motion.h"

#include <cinttypes>
#include <cstdio>

#include "base/ErrorSink.h"
#include "function/Function_Args.h"
#include "object/Object_Class.h"
#include "platform/Numeric.h"
#include "room/Event_Dispatch.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"
#include "room/Room_Main.h"
#include "room/Room_Run.h"
#include "run/Run_Global.h"
#include "variable/ScriptValue.h"

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

// ---- Built-ins ----

void InstanceCreate(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  for (int32_t i = 0; i < 3; ++i) {
    if (ArgValue(argc, args, i)->Kind() == VALUE_STRING) {
      ReportRuntimeError("instance_create( ) error: Illegal type", false);
      SetReal(result, -1.0);
      return;
    }
  }
  const float x = num::ToFloat(ArgReal(argc, args, 0));
  const float y = num::ToFloat(ArgReal(argc, args, 1));
  CInstance* instance = Command_CreateInstance(num::TruncInt32(ArgReal(argc, args, 2)), x, y);
  SetReal(result, instance != nullptr ? instance->i_id : -1.0);
}

void InstanceDestroy(ScriptValue*, CInstance* self, CInstance*, int32_t, ScriptValue*) {
  Command_DestroyInstance(self);
}

void RoomGoto(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  Command_GotoRoom(num::RoundInt32(ArgReal(argc, args, 0)));
}

void RoomGotoNext(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) { Command_NextRoom(); }

void GameEnd(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) { Command_EndGame(); }

void GameRestart(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) { Command_RestartGame(); }

// In registration order, which fixes the call numbers.
const BuiltinSpec kInstanceRoomBuiltins[] = {
    {"instance_create", InstanceCreate, 3},
    {"instance_destroy", InstanceDestroy, 0},
    {"room_goto", RoomGoto, 1},
    {"room_goto_next", RoomGotoNext, 0},
    {"game_end", GameEnd, 0},
    {"game_restart", GameRestart, 0},
};

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

void RegisterMotionFunctions() {
  RegisterBuiltinTable(kInstanceRoomBuiltins);
}
