#include "code/Code_Function.h"

#include <emmintrin.h>

#include <cstring>
#include <limits>

#include "base/VCL.h"
#include "code/Code_Error.h"
#include "code/VM_State.h"
#include "extension/Extension_Main.h"
#include "platform/GrowArray.h"
#include "platform/MemoryManager.h"
#include "platform/NameTable.h"
#include "platform/Numeric.h"
#include "script/Script_Main.h"

namespace {

// The index of the first entry named exactly `name`, or -1.
int32_t FindBuiltin(const char* name) { return g_VM.functionNames.FindFirst(name); }

// The two values of every wrong-kind message: the built-in's name and the argument's position
// counted from 1.
const char* CallerName() { return g_VM.CurrentBuiltinName ? g_VM.CurrentBuiltinName : ""; }
int32_t Position(int32_t index) { return num::WrapAdd32(index, 1); }

// int64 to the nearest float in one rounding step (going through double could round twice).
float Int64ToFloat(int64_t v) { return _mm_cvtss_f32(_mm_cvtsi64_ss(_mm_setzero_ps(), v)); }

// The kinds that hold a number.
bool IsNumberKind(int32_t kind) { return kind == VALUE_REAL || kind == VALUE_INT32 || kind == VALUE_INT64; }

// The low 32 bits of a 64-bit payload.
int32_t Low32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

}  // namespace

bool RegisterBuiltinFunction(const char* name, BuiltinFunction func, int32_t argCount) {
  if (name == nullptr) {
    DebugConsole->Output("RegisterBuiltinFunction: a built-in without a name was not registered\n");
    return false;
  }
  size_t length = std::strlen(name);
  if (length >= static_cast<size_t>(kBuiltinNameSize)) {
    DebugConsole->Output("RegisterBuiltinFunction: name of %zu bytes is too long (at most %d), not registered: %s\n",
                         length, kBuiltinNameSize - 1, name);
    return false;
  }
  // The memory manager keeps the old entries and zero-fills the new ones.
  Grow_Reserve(g_VM.functions, g_VM.functionCapacity, static_cast<int64_t>(g_VM.functionCount) + 1,
               kBuiltinTableStep);
  g_VM.functionNames.Add(name);
  BuiltinFunctionEntry& entry = g_VM.functions[g_VM.functionCount++];
  std::memcpy(entry.name, name, length + 1);
  entry.func = func;
  entry.argCount = argCount;
  entry.callCount = -1;
  return true;
}

void RegisterBuiltinTable(const BuiltinSpec* specs, int32_t count) {
  for (int32_t i = 0; i < count; ++i) RegisterBuiltinFunction(specs[i].name, specs[i].func, specs[i].argCount);
}

void ReplaceBuiltinFunction(const char* name, BuiltinFunction func) {
  if (name == nullptr) return;
  int32_t index = FindBuiltin(name);
  if (index >= 0) g_VM.functions[index].func = func;
}

bool FindFunctionIndex(const char* name, int32_t* callNumber) {
  int32_t found = -1;
  if (name != nullptr && name[0] != '\0') {
    int32_t index;
    if ((index = Script_FindByName(name)) >= 0) {
      found = kScriptCallBase + index;
    } else if ((index = Extension_FindFunction(name)) >= 0) {
      found = kExtensionCallBase + index;
    } else if (std::strcmp(name, "script_execute") == 0) {
      found = kScriptExecuteCall;
    } else {
      found = FindBuiltin(name);
    }
  }
  if (callNumber != nullptr) *callNumber = found;
  return found >= 0;
}

int32_t GetFunctionArgCount(int32_t callNumber) {
  if (callNumber >= kExtensionCallBase) return Extension_GetArgumentCount(callNumber - kExtensionCallBase);
  if (callNumber >= kScriptCallBase) return -1;
  if (callNumber >= 0 && callNumber < g_VM.functionCount) return g_VM.functions[callNumber].argCount;
  return kNoFunctionArgCount;
}

bool GetBuiltinFunctionInfo(int32_t index, const char** name, BuiltinFunction* func, int32_t* argCount) {
  if (index < 0 || index >= g_VM.functionCount) return false;
  const BuiltinFunctionEntry& entry = g_VM.functions[index];
  if (name != nullptr) *name = entry.name;
  if (func != nullptr) *func = entry.func;
  if (argCount != nullptr) *argCount = entry.argCount;
  return true;
}

void FreeBuiltinFunctions() {
  g_VM.functionNames.FreeAll();
  MemoryManager::Free(g_VM.functions);
  g_VM.functions = nullptr;
  g_VM.functionCount = 0;
  g_VM.functionCapacity = 0;
  // It pointed into the released table.
  g_VM.CurrentBuiltinName = nullptr;
}

int32_t GetValueKind(const ScriptValue* value) { return static_cast<int32_t>(value->kind & kValueKindMask); }

int64_t GetArgumentNumberOrPointer(const ScriptValue* args, int32_t index) {
  const ScriptValue& v = args[index];
  switch (GetValueKind(&v)) {
    case VALUE_REAL: return num::TruncInt32(v.real);
    case VALUE_INT32: return v.i32;
    case VALUE_INT64: return v.i64;
    case VALUE_PTR: return static_cast<int64_t>(v.bits);
    default: break;
  }
  FatalError("%s argument %d incorrect type expecting a Number or Pointer", CallerName(), Position(index));
  return -1;
}

int32_t GetArgumentInt(const ScriptValue* args, int32_t index) {
  const ScriptValue& v = args[index];
  switch (GetValueKind(&v)) {
    case VALUE_REAL: return num::TruncInt32(v.real);
    case VALUE_INT32: return v.i32;
    case VALUE_INT64: return Low32(v.i64);
    default: break;
  }
  FatalError("%s argument %d incorrect type expecting a Number", CallerName(), Position(index));
  return 0;
}

int64_t GetArgumentInt64(const ScriptValue* args, int32_t index) {
  const ScriptValue& v = args[index];
  switch (GetValueKind(&v)) {
    case VALUE_REAL: return num::TruncInt64(v.real);
    case VALUE_INT32: return v.i32;
    case VALUE_INT64: return v.i64;
    default: break;
  }
  FatalError("%s argument %d incorrect type expecting a Number", CallerName(), Position(index));
  return 0;
}

double GetArgumentNumber(const ScriptValue* args, int32_t index) {
  if (IsNumberKind(GetValueKind(&args[index]))) return GetArgumentNumberOrNaN(args, index);
  FatalError("%s argument %d incorrect type expecting a Number", CallerName(), Position(index));
  return 0.0;
}

double GetArgumentNumberOrNaN(const ScriptValue* args, int32_t index) {
  const ScriptValue& v = args[index];
  switch (GetValueKind(&v)) {
    case VALUE_REAL: return v.real;
    case VALUE_INT32: return v.i32;
    case VALUE_INT64: return static_cast<double>(v.i64);
    default: return std::numeric_limits<double>::quiet_NaN();
  }
}

float GetArgumentFloat(const ScriptValue* args, int32_t index) {
  const ScriptValue& v = args[index];
  switch (GetValueKind(&v)) {
    case VALUE_REAL: return num::ToFloat(v.real);
    case VALUE_INT32: return num::ToFloat(v.i32);  // exact in a double
    case VALUE_INT64: return Int64ToFloat(v.i64);
    default: break;
  }
  FatalError("%s argument %d incorrect type expecting a Number", CallerName(), Position(index));
  return 0.0f;
}

void* GetArgumentPointer(const ScriptValue* args, int32_t index) {
  const ScriptValue& v = args[index];
  if (GetValueKind(&v) == VALUE_PTR) return v.ptr;
  FatalError("%s argument %d incorrect type expecting a Pointer", CallerName(), Position(index));
  return nullptr;
}

const char* GetArgumentString(const ScriptValue* args, int32_t index) {
  const ScriptValue& v = args[index];
  if (GetValueKind(&v) == VALUE_STRING) return v.str;
  FatalError("%s argument %d incorrect type expecting a String", CallerName(), Position(index));
  return nullptr;
}

double GetArgumentReal(const ScriptValue* args, int32_t index) {
  return IsNumberKind(GetValueKind(&args[index])) ? GetArgumentNumberOrNaN(args, index) : 0.0;
}

const char* GetArgumentText(const ScriptValue* args, int32_t index) {
  const ScriptValue& v = args[index];
  return GetValueKind(&v) == VALUE_STRING ? v.str : nullptr;
}
