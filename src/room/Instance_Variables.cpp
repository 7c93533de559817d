#include "room/Instance_Variables.h"

#include "extension/Extension_Main.h"
#include "variable/Variable_Main.h"

void InitBuiltinVariables() {
  // The table is emptied (names released, count 0) rather than only zeroed, so a second start-up
  // in the same process numbers its variables from 0 again and leaves no unnamed entries behind.
  ClearBuiltinVariables();
  RegisterInstanceVariables();
  RegisterGlobalVariables();
  RegisterTuvoVariables();
}

// The accessors of the per-instance and game-wide variables are not written yet.
void RegisterInstanceVariables() {}

