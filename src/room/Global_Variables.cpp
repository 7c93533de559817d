// The built-in variables that do not depend on the calling instance. So far: the arguments of
// the running script.
#include <cstdio>
#include <utility>

#include "base/ErrorSink.h"
#include "code/VM_Variables.h"
#include "room/Instance_Variables.h"
#include "variable/ScriptValue.h"
#include "variable/Variable_Main.h"

bool ActionRelative = false;

namespace {

bool GetArgumentRelative(CInstance*, int32_t, ScriptValue* out) {
  ReleaseValue(out);
  SetReal(out, ActionRelative ? 1.0 : 0.0);
  return true;
}

// argument[i]: only the arguments actually passed can be read.
bool GetArgumentArray(CInstance*, int32_t index, ScriptValue* out) {
  ReleaseValue(out);
  if (index < 0 || index >= g_VM.argumentCount) {
    ReportRuntimeError("illegal access of argument, argument is not provided to script", true);
    return true;
  }
  CopyValue(out, &g_VM.argumentSlots[index]);
  return true;
}

bool SetArgumentArray(CInstance*, int32_t index, const ScriptValue* value) {
  if (index < 0 || index >= kArgumentSlotCount) index = 0;
  SetValueElement(VM_ArgumentSlotToWrite(index), value, kWholeValueIndex);
  return true;
}

template <int Slot>
bool GetArgumentSlot(CInstance*, int32_t index, ScriptValue* out) {
  ReleaseValue(out);
  GetValueElement(out, &g_VM.argumentSlots[Slot], index);
  return true;
}

template <int Slot>
bool SetArgumentSlot(CInstance*, int32_t index, const ScriptValue* value) {
  SetValueElement(VM_ArgumentSlotToWrite(Slot), value, index);
  return true;
}

template <int... Slots>
void RegisterArgumentSlots(std::integer_sequence<int, Slots...>) {
  char name[16];
  ((std::snprintf(name, sizeof(name), "argument%d", Slots),
    RegisterBuiltinVariable(name, GetArgumentSlot<Slots>, SetArgumentSlot<Slots>)),
   ...);
}

bool GetArgumentCount(CInstance*, int32_t, ScriptValue* out) {
  ReleaseValue(out);
  SetReal(out, g_VM.argumentCount);
  return true;
}

}  // namespace

void RegisterGlobalVariables() {
  RegisterBuiltinVariable("argument_relative", GetArgumentRelative, nullptr);
  RegisterBuiltinVariable("argument", GetArgumentArray, SetArgumentArray);
  RegisterArgumentSlots(std::make_integer_sequence<int, kArgumentSlotCount>());
  RegisterBuiltinVariable("argument_count", GetArgumentCount, nullptr);
}
