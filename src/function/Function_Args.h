// Argument readers shared by the built-in files: they never read past the arguments a call
// passed (bytecode may call a built-in with fewer than it declares), answering 0, no text or
// kind -1 for a missing one.
#pragma once

#include <cstdint>

#include "code/Code_Function.h"
#include "platform/Numeric.h"

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

// A call's arguments read by position at double precision: a real as it is or narrowed to single
// precision, a whole number or colour rounded to the nearest integer, halves to even, a flag set
// from 0.5 up (StrictFlag: above 0.5), a text as ArgText.
struct ArgList {
  int32_t argc;
  const ScriptValue* args;

  double Real(int32_t i) const { return ArgReal(argc, args, i); }
  float Single(int32_t i) const { return num::ToFloat(Real(i)); }
  int32_t Int(int32_t i) const { return num::RoundInt32(Real(i)); }
  uint32_t Colour(int32_t i) const { return static_cast<uint32_t>(num::RoundInt64(Real(i))); }
  bool Flag(int32_t i) const { return num::IsTrue(Real(i)); }
  bool StrictFlag(int32_t i) const { return num::IsTrueStrict(Real(i)); }
  const char* Text(int32_t i) const { return ArgText(argc, args, i); }
};
