// The miscellaneous built-ins that work inside the runtime: events of objects, debug output and
// the overlay, variables by name, the external library built-ins, and the registration of the whole group.
#include "function/Function_Misc.h"

#include <cstdint>

#include "base/ErrorSink.h"
#include "base/VCL.h"
#include "code/Code_Constant.h"
#include "debug/Debug_State.h"
#include "extension/Extension_Main.h"
#include "extension/Support_DLL.h"
#include "function/Function_Args.h"
#include "object/Object_Class.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"
#include "room/Event_Dispatch.h"
#include "room/Event_Names.h"
#include "room/Event_State.h"
#include "variable/ScriptValue.h"
#include "variable/Variable_Main.h"

namespace {

int64_t Rounded(int32_t argc, const ScriptValue* args, int32_t index) {
  return num::RoundInt64(ArgReal(argc, args, index));
}

// ---- Events ----
//
// Kinds, numbers and objects are read as reals without a kind test and rounded, ties to even. The
// dispatcher holds events back while a room change is pending and reports a kind or number no
// event can have.

int32_t EventArg(int32_t argc, const ScriptValue* args, int32_t index) {
  return num::RoundInt32(ArgReal(argc, args, index));
}

// Performs the current event of the parent of the current event object; inside the parent's
// handler the parent is the current event object, so a further event_inherited goes on up.
void EventInherited(ScriptValue*, CInstance* self, CInstance* other, int32_t, ScriptValue*) {
  const CObject* object = Object_Find(Event_GetObject());
  if (self == nullptr || object == nullptr || !Object_Exists(object->m_ParentIndex)) return;
  PerformObjectEvent(self, other, object->m_ParentIndex, Event_GetType(), Event_GetNumber());
}

void EventPerform(ScriptValue*, CInstance* self, CInstance* other, int32_t argc, ScriptValue* args) {
  PerformInstanceEvent(self, other, EventArg(argc, args, 0), EventArg(argc, args, 1));
}

// User event n is event number n + 10 of the other events.
void EventUser(ScriptValue*, CInstance* self, CInstance* other, int32_t argc, ScriptValue* args) {
  const int64_t number = static_cast<int64_t>(EventArg(argc, args, 0)) + 10;
  PerformInstanceEvent(self, other, EVENT_OTHER, number > INT32_MAX ? INT32_MAX : static_cast<int32_t>(number));
}

void EventPerformObject(ScriptValue*, CInstance* self, CInstance* other, int32_t argc, ScriptValue* args) {
  if (self == nullptr) return;
  PerformObjectEvent(self, other, EventArg(argc, args, 0), EventArg(argc, args, 1), EventArg(argc, args, 2));
}

// ---- Debug output ----

// The value's text as one line on the output console; the text is never taken as a format.
void ShowDebugMessage(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (argc < 1) return;
  if (args[0].kind == VALUE_STRING) {
    OutputConsole->Output("%s\n", args[0].str != nullptr ? args[0].str : "");
    return;
  }
  char* text = ValueToString(&args[0]);
  OutputConsole->Output("%s\n", text);
  MemoryManager::Free(text);
}

void ShowDebugOverlay(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (argc != 1 || args[0].kind != VALUE_REAL) return;
  if (num::IsTrueStrict(args[0].real)) {
    g_Debug.DebugOverlayFlags |= kDebugOverlayShown;
  } else {
    g_Debug.DebugOverlayFlags &= ~kDebugOverlayShown;
  }
}

// ---- Variables by name ----

// Global: the global variables; local: self's.
enum class Scope { Global, Local };

// The variable id of the name argument; false when the argument is not a string holding text (the
// built-in then does nothing and answers 0) or a local form has no instance to work on.
template <Scope S>
bool NameId(CInstance* self, int32_t argc, const ScriptValue* args, int32_t* id) {
  if (S == Scope::Local && self == nullptr) return false;
  const char* name = ArgText(argc, args, 0);
  if (name == nullptr) return false;
  *id = GetVariableId(name);
  return *id >= 0;
}

// The element index of an array form whose indices start at argument `first` (one index, or two
// with `two`). False, after the non-fatal report, when an index is above 31,999. A negative
// element stays negative, so the access stores nothing and reads 0 with the index error state set.
bool ElementIndex(int32_t argc, const ScriptValue* args, int32_t first, bool two, int32_t* index) {
  const int64_t i = Rounded(argc, args, first);
  const int64_t j = two ? Rounded(argc, args, first + 1) : 0;
  if (i > 31999 || j > 31999) {
    ReportRuntimeError("Array index >= 32000", false);
    return false;
  }
  // i and j are at most 31,999 here, so neither sum can overflow.
  const int64_t element = two ? (i < 0 ? -1 : i * kArrayRowStride + j) : i;
  *index = element >= 0 ? static_cast<int32_t>(element) : (element > INT32_MIN ? static_cast<int32_t>(element) : -1);
  return true;
}

template <Scope S>
bool Read(CInstance* self, int32_t id, int32_t index, ScriptValue* out) {
  return S == Scope::Global ? GetGlobalVariable(id, index, out) : GetInstanceVariable(self, id, index, out);
}

template <Scope S>
void Write(CInstance* self, int32_t id, int32_t index, const ScriptValue* value) {
  if (S == Scope::Global) {
    SetGlobalVariable(id, index, value);
  } else {
    SetInstanceVariable(self, id, index, value);
  }
}

template <Scope S>
void VariableExists(ScriptValue* result, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  int32_t id = 0;
  if (!NameId<S>(self, argc, args, &id)) return;
  ScriptValue scratch{};
  const bool found = Read<S>(self, id, kWholeValueIndex, &scratch);
  ReleaseValue(&scratch);
  SetReal(result, found ? 1.0 : 0.0);
}

// Indices: 0 the whole variable, 1 element i, 2 element [i, j].
template <Scope S, int Indices>
void VariableGet(ScriptValue* result, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  int32_t id = 0;
  int32_t index = kWholeValueIndex;
  if (!NameId<S>(self, argc, args, &id)) return;
  if (Indices > 0 && !ElementIndex(argc, args, 1, Indices == 2, &index)) return;
  Read<S>(self, id, index, result);
}

template <Scope S, int Indices>
void VariableSet(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  int32_t id = 0;
  int32_t index = kWholeValueIndex;
  if (!NameId<S>(self, argc, args, &id)) return;
  if (Indices > 0 && !ElementIndex(argc, args, 1, Indices == 2, &index)) return;
  Write<S>(self, id, index, ArgValue(argc, args, 1 + Indices));
}

// ---- External library functions ----

void ExternalDefine(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (argc < 5 || argc != Rounded(argc, args, 4) + 5) {
    ReportRuntimeError("Wrong number of arguments to external_define()", false);
    return;
  }
  const int32_t count = argc - 5;
  if (count > kDLLMaxArguments) {
    ReportRuntimeError("DLL functions can have at most 16 arguments", false);
    return;
  }
  int32_t flags[kDLLMaxArguments] = {};
  bool anyString = false;
  for (int32_t k = 0; k < count; ++k) {
    const int64_t kind = Rounded(argc, args, 5 + k);
    anyString |= kind != 0;
    flags[k] = kind == 1 ? 1 : 0;
  }
  if (count > kDLLMaxMixedArguments && anyString) {
    ReportRuntimeError("DLL functions with more than 4 arguments cannot have string arguments", false);
    return;
  }
  const int32_t id = DLL_Define(ArgText(argc, args, 0), ArgText(argc, args, 1),
                                num::RoundInt32(ArgReal(argc, args, 2)), count, flags,
                                Rounded(argc, args, 3) == 1 ? 1 : 0);
  SetReal(result, id);
  if (id == -1) ReportRuntimeError("Error defining an external function.", false);
}

// (dll, name, argtype1 ... argtypeN, restype) for N up to 4; (dll, name, restype) for a function
// of 5 to 8 real arguments. Always the C convention.
template <int32_t N>
void ExternalDefineN(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  int32_t flags[kDLLMaxArguments] = {};
  int32_t resultArg = 2;
  if (N <= kDLLMaxMixedArguments) {
    for (int32_t k = 0; k < N; ++k) flags[k] = Rounded(argc, args, 2 + k) == 1 ? 1 : 0;
    resultArg = 2 + N;
  }
  const int32_t id = DLL_Define(ArgText(argc, args, 0), ArgText(argc, args, 1), 0, N, flags,
                                Rounded(argc, args, resultArg) == 1 ? 1 : 0);
  SetReal(result, id);
  if (id == -1) ReportRuntimeError("Error defining an external function.", false);
}

// (id, arg1 ... argN): more arguments than a function can take are refused.
void ExternalCall(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (argc < 1) return;
  if (argc - 1 > kDLLMaxArguments) {
    ReportRuntimeError("DLL functions can have at most 16 arguments", false);
    return;
  }
  DLL_Call(static_cast<int32_t>(num::RoundInt32(ArgReal(argc, args, 0))), argc - 1, args + 1, result);
}

// (id, arg1 ... argN) with N fixed; arguments a call left out are real 0.
template <int32_t N>
void ExternalCallN(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  ScriptValue area[N + 1] = {};
  for (int32_t k = 0; k < N && k + 1 < argc; ++k) area[k] = args[k + 1];  // borrowed, never released
  DLL_Call(static_cast<int32_t>(num::RoundInt32(ArgReal(argc, args, 0))), N, area, result);
}

void ExternalFree(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  DLL_Free(ArgText(argc, args, 0));
}

// ---- Registration ----

const BuiltinSpec kEventBuiltins[] = {
    {"event_inherited", EventInherited, 0},
    {"event_perform", EventPerform, 2},
    {"event_user", EventUser, 1},
    {"event_perform_object", EventPerformObject, 3},
};

const BuiltinSpec kExternalBuiltins[] = {
    {"external_define", ExternalDefine, -1},
    {"external_call", ExternalCall, -1},
    {"external_free", ExternalFree, 1},
    {"external_define0", ExternalDefineN<0>, 3},
    {"external_call0", ExternalCallN<0>, 1},
    {"external_define1", ExternalDefineN<1>, 4},
    {"external_call1", ExternalCallN<1>, 2},
    {"external_define2", ExternalDefineN<2>, 5},
    {"external_call2", ExternalCallN<2>, 3},
    {"external_define3", ExternalDefineN<3>, 6},
    {"external_call3", ExternalCallN<3>, 4},
    {"external_define4", ExternalDefineN<4>, 7},
    {"external_call4", ExternalCallN<4>, 5},
    {"external_define5", ExternalDefineN<5>, 3},
    {"external_call5", ExternalCallN<5>, 6},
    {"external_define6", ExternalDefineN<6>, 3},
    {"external_call6", ExternalCallN<6>, 7},
    {"external_define7", ExternalDefineN<7>, 3},
    {"external_call7", ExternalCallN<7>, 8},
    {"external_define8", ExternalDefineN<8>, 3},
    {"external_call8", ExternalCallN<8>, 9},
};

// The built-ins between the external ones and the dates.
const BuiltinSpec kMiscBuiltins[] = {
    {"window_handle", F_WindowHandle, 0},
    {"window_device", F_WindowDevice, 0},
    {"show_debug_message", ShowDebugMessage, 1},
    {"show_debug_overlay", ShowDebugOverlay, 1},
    {"set_program_priority", F_SetProgramPriority, 1},
    {"set_application_title", F_SetApplicationTitle, 1},
    {"variable_global_exists", VariableExists<Scope::Global>, 1},
    {"variable_global_get", VariableGet<Scope::Global, 0>, 1},
    {"variable_global_array_get", VariableGet<Scope::Global, 1>, 2},
    {"variable_global_array2_get", VariableGet<Scope::Global, 2>, 3},
    {"variable_global_set", VariableSet<Scope::Global, 0>, 2},
    {"variable_global_array_set", VariableSet<Scope::Global, 1>, 3},
    {"variable_global_array2_set", VariableSet<Scope::Global, 2>, 4},
    {"variable_local_exists", VariableExists<Scope::Local>, 1},
    {"variable_local_get", VariableGet<Scope::Local, 0>, 1},
    {"variable_local_array_get", VariableGet<Scope::Local, 1>, 2},
    {"variable_local_array2_get", VariableGet<Scope::Local, 2>, 3},
    {"variable_local_set", VariableSet<Scope::Local, 0>, 2},
    {"variable_local_array_set", VariableSet<Scope::Local, 1>, 3},
    {"variable_local_array2_set", VariableSet<Scope::Local, 2>, 4},
    {"clipboard_has_text", F_ClipboardHasText, 0},
    {"clipboard_set_text", F_ClipboardSetText, 1},
    {"clipboard_get_text", F_ClipboardGetText, 0},
};

}  // namespace

void RegisterMiscFunctions() {
  RegisterBuiltinTable(kEventBuiltins);
  if (g_Extensions.ExternalCallsDisabled == 0) RegisterBuiltinTable(kExternalBuiltins);
  RegisterBuiltinTable(kMiscBuiltins);
  RegisterBuiltinTable(kDateBuiltins, kDateBuiltinCount);
}
