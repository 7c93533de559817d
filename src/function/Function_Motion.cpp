#include "function/Function_Motion.h"

#include "base/ErrorSink.h"
#include "function/Function_Args.h"
#include "object/Object_Class.h"
#include "platform/Numeric.h"
#include "room/Event_Dispatch.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"
#include "room/Room_Command.h"
#include "room/Room_Main.h"
#include "room/Room_Run.h"
#include "run/Run_Global.h"
#include "variable/ScriptValue.h"

namespace {

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

void RegisterMotionFunctions() {
  RegisterBuiltinTable(kInstanceRoomBuiltins);
}
