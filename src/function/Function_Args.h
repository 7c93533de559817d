// Argument readers shared by the built-in files: they never read past the arguments a call
// passed (bytecode may call a built-in with fewer than it declares), answering 0, no text or
// kind -1 for a missing one.
#pragma once

#include <cstdint>

#include "code/Code_Function.h"

// A number argument read without a kind test (GetArgumentReal); 0 when missing.
inline double ArgReal(int32_t argc, const ScriptValue* args, int32_t index) {
  return index < argc ? GetArgumentReal(args, index) : 0.0;
}
// A string argument's text (GetArgumentText); null when missing or not a string.
inline const char* ArgText(int32_t argc, const ScriptValue* args, int32_t index) {
  return index < argc ? GetArgumentText(args, index) : nullptr;
}
// A number argument that names something (a structure index, a position): NaN when missing or
// not a number (GetArgumentNumberOrNaN), so that it names nothing.
inline double ArgNumberOrNaN(int32_t argc, const ScriptValue* args, int32_t index) {
  return index < argc ? GetArgumentNumberOrNaN(args, index) : __builtin_nan("");
}
// An argument as a value; a missing one reads as undefined.
inline const ScriptValue* ArgValue(int32_t argc, const ScriptValue* args, int32_t index) {
  static const ScriptValue kUndefined = {{0}, 0, VALUE_UNDEFINED};
  return index < argc ? &args[index] : &kUndefined;
}
// The whole kind word of an argument; -1 when missing.
inline int64_t ArgKindWord(int32_t argc, const ScriptValue* args, int32_t index) {
  return index < argc ? static_cast<int64_t>(args[index].kind) : -1;
}
