// The dynamic value of the script runtime: a 16-byte record of an 8-byte payload, a spare word
// and a kind word whose low 24 bits hold the ValueKind. Sixteen zero bytes are the real 0.
//
// Ownership: a string value owns its text (a memory-manager block, freed with
// MemoryManager::Free); copying it copies the text. An array value holds one counted reference to
// a shared ValueArray; copying it shares the array. Pointer values are never owned. Kind codes
// above 6 carry nothing: they are copied as a kind word only, release nothing, have an empty text
// form and are never equal to anything.
//
// Arrays never hold themselves: an element store that would make an array reachable from itself
// stores a copy instead (SetArrayElement), so counting references frees every array once its last
// holder lets go. Arrays may still nest to any depth and share sub-arrays; the walks that write a
// value out whole (the text form, PrintValue, the buffer writer) stop at kMaxValueNesting levels
// and write an array they met before again only within an output budget (variable/ValueWalk.h),
// writing a documented mark where they stop, and releasing never recurses.
//
// Main thread only: the error state and the epsilon below are unsynchronised globals.
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

// ---- Arrays ----

// One row of an array: `length` consecutive values (no block when the length is 0). The block
// may have room for more: `capacity` elements when it is not 0 (then at least `length`). The room
// past the length holds nothing meaningful: whatever lengthens a row writes each element it adds
// (real 0 for a gap) before anything reads it.
struct ValueRow {
  int32_t length;
  int32_t capacity;
  ScriptValue* elements;
};

// A shared, reference-counted two-dimensional table. A one-dimensional array is row 0. Rows may
// differ in length. The owner is the value through which writes happen in place; writes through
// any other holder of a shared array copy it first (copy on write).
struct ValueArray {
  int32_t refCount;     // number of values holding the array
  bool inArray;         // once an element of an array has held it (never cleared)
  ValueRow* rows;       // rowCount rows (null when there are none)
  union {
    const ScriptValue* owner;  // the owning value, or null (only compared, never followed)
    ValueArray* nextFreed;     // once the count is 0: the next array waiting to be freed
  };
  int32_t rowCount;
};

// How many arrays deep the walks over a value go: an array inside kMaxValueNesting others is not
// entered (the text forms show it as "{ ... }", the buffer writer saves it as undefined), and the
// buffer reader refuses one.
constexpr int kMaxValueNesting = 1024;

// Element indices: index = row * 32000 + column, decoded with truncating division, so a negative
// index gives a negative column (or row). kWholeValueIndex names the whole value, not an element.
constexpr int32_t kArrayRowStride = 32000;
constexpr int32_t kWholeValueIndex = INT32_MIN;

// A row lengthened element by element takes the memory of its elements in steps of this many
// elements: a row lengthened onto a multiple of it (0 included) goes through the row's own growth,
// which makes the step's pages present at once rather than page by page as they are written. Code
// that lengthens a row in place by one element leaves those elements to it.
constexpr int32_t kRowMemoryStep = 4096;

// Encodes (row, column) into an element index, computed in 64 bits. False when the result does
// not fit in an int32 or would read as kWholeValueIndex; *index is then left alone.
inline bool EncodeArrayIndex(int64_t row, int64_t column, int32_t* index) {
  if (row < INT32_MIN || row > INT32_MAX || column < INT32_MIN || column > INT32_MAX) return false;
  const int64_t encoded = row * kArrayRowStride + column;
  if (encoded <= INT32_MIN || encoded > INT32_MAX) return false;
  *index = static_cast<int32_t>(encoded);
  return true;
}

// The last out-of-range element access. Element reads and writes that fall outside set all five
// fields; the virtual machine and the variable lookup clear the flag before an access and read
// the fields for their messages.
struct ArrayIndexErrorState {
  uint8_t flag;
  int32_t row;
  int32_t column;
  int32_t rowCount;
  int32_t rowLength;  // -1 when the row does not exist
};
// The flag and the comparison epsilon that ValuesEqual reads live in g_Variables
// (variable/Variable_State.h).

// ---- Setting values ----
// None of these releases what the value held before: callers release first with ReleaseValue.

// Makes the value real: the payload and the kind word; the spare word is left as it is.
inline void SetReal(ScriptValue* v, double real) {
  v->real = real;
  v->kind = VALUE_REAL;
}
// A real value as a whole: the payload, the spare word 0 and the kind word.
inline ScriptValue RealValue(double real) {
  ScriptValue v{};
  SetReal(&v, real);
  return v;
}
// Copies the text into a new memory-manager block; a null text stays null.
void SetString(ScriptValue* v, const char* text);
// Kind 5 with all 8 payload bytes 0.
void SetUndefined(ScriptValue* v);

// ---- Copying and releasing ----

// The destination is treated as empty: its kind word becomes the source's, then the payload is
// copied by kind (strings get a new copy of the text, arrays are shared with the count raised,
// int32 copies its 4 bytes, pointers all 8, undefined and unknown kinds nothing).
void CopyValue(ScriptValue* dst, const ScriptValue* src);
// Frees the destination's text when it holds a string, clears its payload, then CopyValue. The
// destination must not hold an array reference (release it first with ReleaseValue).
void AssignValue(ScriptValue* dst, const ScriptValue* src);
// Frees a string's text or drops an array reference (giving up ownership when this value owns
// the array; the last reference frees the array and everything in it, nested arrays of any depth
// without recursion). The value then becomes undefined with a zero payload.
void ReleaseValue(ScriptValue* v);
// A deep copy: texts are copied (reusing the destination's text block when it is big enough),
// arrays duplicated with the destination as the new owner. The destination's previous payload
// must be a string block or nothing; a text block it held and no longer needs is freed.
void DuplicateValue(ScriptValue* dst, const ScriptValue* src);

// A new empty array: count 1, no rows, the given owner (may be null).
ValueArray* ValueArray_Create(const ScriptValue* owner);
// A copy of the array (null for null): count 1, the new owner, the same rows, each element
// copied as by CopyValue (nested arrays are shared). The source's count does not change.
ValueArray* ValueArray_Duplicate(const ValueArray* array, const ScriptValue* newOwner);
// Whether `v` holds an array and is the value that owns it (writes through it happen in place).
bool IsArrayOwner(const ScriptValue* v);

// ---- Element access ----

// Reads the whole source (index kWholeValueIndex) or one of its elements into the target,
// releasing what the target held. An array with no owner becomes owned by the source. Indexing
// a value that is not an array is the fatal error "trying to index a variable which is not an
// array". An element outside the array sets g_Variables.arrayIndexError, makes the target real
// 0 and answers false.
bool GetValueElement(ScriptValue* target, const ScriptValue* source, int32_t index);
// Stores the value as the whole target (index kWholeValueIndex) or into one element of it. An
// element write turns a target that is not an array into one, copies a shared array the target
// does not own first, and grows rows and columns as needed (new elements are real 0). A negative
// row or column sets g_Variables.arrayIndexError and stores nothing.
void SetValueElement(ScriptValue* target, const ScriptValue* value, int32_t index);
// The growing and writing step of SetValueElement: the target holds an array it may write in
// place (SetValueElement claims it first); a null array pointer gets a new array owned by the
// target.
//
// An array value is stored shared, except when the target's array is reachable from it (it is
// that array, or holds it at any depth): then it is stored as a copy taken before the store, in
// which that array and every array on a path to it are copied (each once, shared arrays staying
// shared among the copies) and every other array stays shared. So `a[1] = a` stores what `a`
// held before, and no array ever holds itself.
void SetArrayElement(ScriptValue* target, const ScriptValue* value, int32_t index);

// ---- Text form ----

// Appends `text` (null appends nothing) at *cursor in the growing block *start of *capacity
// bytes, growing the block (to twice its capacity, or to what is needed plus one when that is
// larger) and moving *start and *cursor with it. The cursor ends on the terminator. A null
// *start with capacity 0 starts a new block.
void AppendText(char** cursor, char** start, uint32_t* capacity, const char* text);
// Appends the text form of a value:
//   real      "NaN"; the integer ("%lld") when truncating to 64 bits and back gives the same
//             double (so 3.0 is "3" and -0.0 is "0"); otherwise "%.2f" ("0.50", and 1e19 is
//             "10000000000000000000.00")
//   string    the text (a null text appends nothing)
//   array     "{ " then per row "{ " + elements joined by "," + " }, ", then " }":
//             { { 1,2 }, { 3,4 },  } and, with no rows or a null array, "{  }"; an array inside
//             kMaxValueNesting others, or met again once the repeat budget is spent
//             (variable/ValueWalk.h), is "{ ... }"
//   int64     "%lld"; int32 "%d"; undefined "undefined"
//   pointer   "%p" of the 8-byte pointer as the C library prints it: "0x1234abcd", "(nil)"
//   other     nothing
void AppendValueText(char** cursor, char** start, uint32_t* capacity, const ScriptValue* value);
// The text form as a new memory-manager block (never null; an empty text is ""): what the
// string built-in answers.
char* ValueToString(const ScriptValue* value);

// ---- Comparison ----

// Equality of two values (keys of map containers): kinds must match (low 24 bits); reals are
// equal when |a - b| < g_Variables.MathEpsilon; strings when both are the same pointer (two
// nulls included) or have the same bytes; arrays never; int64, int32 and pointers by payload;
// undefined always; other kinds never.
bool ValuesEqual(const ScriptValue* a, const ScriptValue* b);

// ---- Buffer format (saved games) ----
//
// kind (s32, the whole kind word), then: real: f64; string: the NUL-terminated text (a null text
// as the one-byte string 0x04); array: the row count (s32), then per row its length (s32) and
// its elements, each in this same format (a null array is written as 0 rows). Kinds 3 to 6 are
// written as the kind only: their payload is not saved and reads back as 0. An array inside
// kMaxValueNesting others, or met again once the repeat budget is spent (variable/ValueWalk.h),
// is written as undefined (the kind 5 alone), so that every written value reads back.

class IBuffer;

// False when the buffer refused a write (the value was then written only in part).
bool WriteValueToBuffer(const ScriptValue* value, IBuffer* buffer);
// Reads a value into a fresh record (nothing it held is released). Array rows get the value as
// their owner. Row counts and lengths that cannot fit in the bytes left, a truncated value, or
// an array inside kMaxReadNesting others make the read fail: whatever it built is released, the
// value is left undefined and the answer is false. A negative row count or length reads as 0.
bool ReadValueFromBuffer(ScriptValue* value, IBuffer* buffer);
constexpr int kMaxReadNesting = kMaxValueNesting;
