// The value conversions shared by the built-in variable accessors (instance and global).
//
// Setters that expect a number read the new value through ReadBuiltinNumber: a real as it is,
// int32 and int64 as the nearest real, undefined as 0; a string, array, pointer or any other kind
// has no number, so the setter answers false and the assignment fails. The bits of another kind
// are never read as a real.
//
// The number conversions, over a real already read:
//   stored  ToFloat                  narrowed to single precision
//   int     BuiltinInt               narrowed to single precision, then rounded, halves to even
//   flag    BuiltinFlag              int, then non-zero gives 1
//   switch  BuiltinSwitch            the real itself rounded, halves to even, then > 0.5
//   half    BuiltinHalf              > 0.5, without rounding
//   rint    BuiltinRint              the real itself rounded, halves to even, as int32
//
// Text setters take the text of a string value; any other kind (or a string without text) has no
// text and clears what the setter keeps.
#pragma once

#include <cstdint>

#include "platform/MemoryManager.h"
#include "platform/Numeric.h"
#include "variable/ScriptValue.h"

// The number a setter stores; false (and *out left alone) when the value holds no number.
inline bool ReadBuiltinNumber(const ScriptValue* value, double* out) {
  switch (value->Kind()) {
    case VALUE_REAL: *out = value->real; return true;
    case VALUE_INT32: *out = value->i32; return true;
    case VALUE_INT64: *out = static_cast<double>(value->i64); return true;
    case VALUE_UNDEFINED: *out = 0.0; return true;
    default: return false;
  }
}

// stored: the real narrowed to single precision.
inline float BuiltinStored(double v) { return num::ToFloat(v); }
// int: narrowed to single precision first, then rounded to the nearest integer, halves to even.
inline int32_t BuiltinInt(double v) { return num::RoundInt32(static_cast<double>(num::ToFloat(v))); }
// flag: int, then 1 for any non-zero result (-1 gives 1, 0.4 gives 0).
inline bool BuiltinFlag(double v) { return BuiltinInt(v) != 0; }
// switch: the unnarrowed real rounded, halves to even, then greater than 0.5 (-1 and 0.5 give 0).
inline bool BuiltinSwitch(double v) { return num::IsTrueStrict(num::RoundHalfEven(v)); }
// half: greater than 0.5, no rounding.
inline bool BuiltinHalf(double v) { return num::IsTrueStrict(v); }
// rint: the unnarrowed real rounded to the nearest integer, halves to even.
inline int32_t BuiltinRint(double v) { return num::RoundInt32(v); }

// The text a text setter takes: a string's own text (may be null); null for every other kind.
inline const char* BuiltinText(const ScriptValue* value) {
  return value->Kind() == VALUE_STRING ? value->str : nullptr;
}

// A text setter's store: *slot (a memory-manager text or null) is released and becomes an own
// copy of the value's text, or null when the value has no text.
inline void AssignBuiltinText(char** slot, const ScriptValue* value) {
  char* copy = MemoryManager::DuplicateText(BuiltinText(value));
  MemoryManager::Free(*slot);
  *slot = copy;
}

// A text getter's result: a string value with its own copy of the text (null text reads as the
// empty string). The result's previous content is released first.
inline void ReturnBuiltinText(ScriptValue* out, const char* text) {
  ReleaseValue(out);
  SetString(out, text);
}

// A number getter's result: the previous content released, then the real.
inline void ReturnBuiltinReal(ScriptValue* out, double v) {
  ReleaseValue(out);
  SetReal(out, v);
}
