// The dynamic value of the script runtime: a 16-byte record of an 8-byte payload, a spare word
// and a kind word whose low 24 bits hold the ValueKind. Sixteen zero bytes are the real 0.
#pragma once

#include <cstdint>

enum ValueKind : uint32_t {
  VALUE_REAL = 0,
  VALUE_STRING = 1,
  VALUE_ARRAY = 2,
  VALUE_INT64 = 3,
  VALUE_INT32 = 4,
  VALUE_UNDEFINED = 5,
  VALUE_PTR = 6,
};

constexpr uint32_t kValueKindMask = 0x00FFFFFFu;

struct ValueArray;

struct ScriptValue {
  union {
    double real;        // VALUE_REAL
    char* str;          // VALUE_STRING: owned UTF-8 text, may be null
    ValueArray* arr;    // VALUE_ARRAY: one counted reference, may be null
    int64_t i64;        // VALUE_INT64
    int32_t i32;        // VALUE_INT32 (first 4 bytes)
    void* ptr;          // VALUE_PTR: never owned; all 8 bytes are copied and compared
    uint64_t bits;      // the raw payload
  };
  uint32_t flags;  // spare word: no value operation reads, writes or copies it
  uint32_t kind;   // ValueKind in the low 24 bits

  ValueKind Kind() const { return static_cast<ValueKind>(kind & kValueKindMask); }
};

static_assert(sizeof(ScriptValue) == 16, "a value is 16 bytes on the virtual machine's stack");
