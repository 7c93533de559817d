// The built-in function table: every function that script code can call without defining it is
// registered here under its script name at start-up. The compiler and the game data loader turn
// names into call numbers through it; the virtual machine and the tree interpreter reach each
// implementation straight from its call number; and every built-in reads its arguments through
// the argument accessors below.
//
// Call numbers:
//   0 .. count-1       the built-in at that index of the table
//   100,000 + i        script i of the game
//   499,999            script_execute (its first argument is the id of the script to run)
//   500,000 + i        extension function i
#pragma once

#include <cstdint>

#include "variable/ScriptValue.h"

class CInstance;

// The one signature of every built-in. `result` comes in as real 0 (all 16 bytes zero) and is
// left so by a built-in without an answer; `self` and `other` may be null; `args` points to
// `argc` values owned by the caller, which the built-in reads and never releases.
using BuiltinFunction = void (*)(ScriptValue* result, CInstance* self, CInstance* other, int32_t argc,
                                 ScriptValue* args);

// The name field holds at most 63 bytes of name and its terminating NUL.
constexpr int32_t kBuiltinNameSize = 64;

struct BuiltinFunctionEntry {
  char name[kBuiltinNameSize];  // compared byte for byte: case matters
  BuiltinFunction func;
  int32_t argCount;   // declared number of arguments, -1 for any number
  int32_t callCount;  // -1: not counted; the tree interpreter adds one per call
};

// The table grows by this many entries whenever a registration finds it full.
constexpr int32_t kBuiltinTableStep = 500;

constexpr int32_t kScriptCallBase = 100000;
constexpr int32_t kScriptExecuteCall = 499999;
constexpr int32_t kExtensionCallBase = 500000;
// The argument count answered for a call number that designates nothing.
constexpr int32_t kNoFunctionArgCount = -100;

// The table (g_VM.functions, functionCount and functionCapacity) and the name of the built-in
// being called (g_VM.CurrentBuiltinName) are in the engines' record, code/VM_State.h.

// Appends an entry with call counter -1; the index it gets is its call number. A name already
// present is not tested for: the later entry is then never found by name. A null name, or one of
// 64 bytes or more (it would not fit the name field), is rejected with a line on DebugConsole and
// takes no call number, so the entries registered after it are numbered as if it had never been
// asked for. Answers whether the entry was added.
bool RegisterBuiltinFunction(const char* name, BuiltinFunction func, int32_t argCount);

// One row of a group's registration table.
struct BuiltinSpec {
  const char* name;
  BuiltinFunction func;
  int32_t argCount;
};
// Registers the rows in order, as RegisterBuiltinFunction does one by one.
void RegisterBuiltinTable(const BuiltinSpec* specs, int32_t count);
// Registers every row of a table whose length the compiler knows.
template <int32_t N>
void RegisterBuiltinTable(const BuiltinSpec (&specs)[N]) {
  RegisterBuiltinTable(specs, N);
}

// Replaces the implementation of the first entry named exactly `name`; its index, argument count
// and counter stay, so already compiled calls reach the new implementation. An unknown name
// changes nothing.
void ReplaceBuiltinFunction(const char* name, BuiltinFunction func);

// Turns a name into a call number, the first hit winning: a script of that name, an extension
// function of that name, "script_execute" (499,999), then the first built-in of that exact name.
// A null or empty name, or one not found, answers false with -1 in `callNumber` (which may be
// null when only the answer is wanted).
bool FindFunctionIndex(const char* name, int32_t* callNumber);

// The declared argument count of a callee: the extension layer's for 500,000 and above, -1 for
// scripts and script_execute (100,000 to 499,999), the entry's for a built-in, and -100 for any
// number that designates nothing.
int32_t GetFunctionArgCount(int32_t callNumber);

// For a built-in index in the table writes its name text, implementation and argument count (any
// output pointer may be null) and answers true; for another index writes nothing and answers false.
bool GetBuiltinFunctionInfo(int32_t index, const char** name, BuiltinFunction* func, int32_t* argCount);

// Releases the table and empties it (a restart then registers everything again from index 0).
void FreeBuiltinFunctions();

// The ValueKind of a value: the low 24 bits of its kind word.
int32_t GetValueKind(const ScriptValue* value);

// The argument accessors: each converts argument `index` (zero-based) of `args`. Another kind of
// value is a fatal error, "<built-in> argument <index + 1> incorrect type expecting a ...", after
// which the accessor answers its fallback, reached only while errors are suppressed. Reals are
// truncated toward zero; NaN and reals outside the 32-bit range give -2147483648 (for the 64-bit
// accessor: outside the 64-bit range give its most negative value).

// Real: truncated to 32 bits, then widened; int32: sign-extended; int64: unchanged; pointer: the
// whole 8-byte payload. Fallback -1.
int64_t GetArgumentNumberOrPointer(const ScriptValue* args, int32_t index);
// Real: truncated; int32 and int64: the low 32 bits. Fallback 0.
int32_t GetArgumentInt(const ScriptValue* args, int32_t index);
// Real: truncated to 64 bits; int64: unchanged; int32: sign-extended. Fallback 0.
int64_t GetArgumentInt64(const ScriptValue* args, int32_t index);
// Real: unchanged; int32 and int64: the nearest double. Fallback 0.0.
double GetArgumentNumber(const ScriptValue* args, int32_t index);
// Real, int32 and int64: the nearest float. Fallback 0.0f.
float GetArgumentFloat(const ScriptValue* args, int32_t index);
// Pointer: its payload. Fallback null.
void* GetArgumentPointer(const ScriptValue* args, int32_t index);
// A number without a kind error, for arguments that name things (structure indices, positions):
// a real as it is, int32 and int64 as the nearest double; any other kind answers NaN, which
// converts to no index and no position, so another kind's bits are never read as a number.
double GetArgumentNumberOrNaN(const ScriptValue* args, int32_t index);
// String: the argument's own UTF-8 text (not a copy: valid as long as the argument value).
// Fallback null.
const char* GetArgumentString(const ScriptValue* args, int32_t index);

// The readers of built-ins that make no kind test: they never fail and never read a payload as
// another kind than it holds.
// Real: unchanged; int32 and int64: the nearest double; any other kind: 0.
double GetArgumentReal(const ScriptValue* args, int32_t index);
// String: its text, which may be null; any other kind: null.
const char* GetArgumentText(const ScriptValue* args, int32_t index);
