// External library functions: a table of functions defined in shared libraries at run time, each
// bound to an address in a loaded library, and the call that hands such a function script values
// and turns its answer back into a script value. The external_* built-ins and the extension
// packages reach native code through here.
//
// Libraries are shared objects loaded with dlopen; a name ending in ".dll" is also tried with
// ".so" in its place. A library is looked for in the save area, then in the game folder (where
// a name is also matched ignoring letter case); a name found in neither place is refused, so a
// game never loads code from outside its own folders.
//
// Arguments are passed in order, a real as a double and a string as a pointer to its
// NUL-terminated UTF-8 text; a function answers a double or a text pointer (the library keeps
// the text, the call copies it). Both calling conventions are the platform's C convention; the
// convention a script asks for is accepted and has no effect.
//
// Main thread only: a called function runs on the thread that calls.
#pragma once

#include <cstdint>

#include "variable/ScriptValue.h"

// The most arguments an external function can take, and the most that may be strings-or-reals
// of either kind (with more, every argument is a real).
constexpr int32_t kDLLMaxArguments = 16;
constexpr int32_t kDLLMaxMixedArguments = 4;

// Defines the function `name` of the library `path` with `argumentCount` arguments, whose kinds
// `stringFlags` gives (one per argument, non-zero for a string; may be null for none), answering
// a string when `resultIsString` is non-zero. The function is looked up by its plain name, then
// by the decorated name "_<name>@<N>" (N: 4 per string and 8 per real argument).
//
// Answers the definition's index, which stays valid for the life of the process, or -1 (and
// defines nothing) for a null path or name, more than 16 arguments, a string argument among more
// than 4, a library that cannot be found or loaded, or a name found neither way. Every
// definition of the same resolved path shares one loaded library.
int32_t DLL_Define(const char* path, const char* name, int32_t convention, int32_t argumentCount,
                   const int32_t* stringFlags, int32_t resultIsString);

// Calls definition `index` with `argumentCount` values of `args` (read, never released) and
// writes the answer into `result`, which is overwritten without being released: a real, a string
// holding a copy of the text the function answered, or a string without text when it answered
// null. A bad index, a count other than the definition's, a library unloaded by DLL_Free, or
// external calls switched off (ExternalCallsOff) leave the result real 0 and call nothing.
//
// An argument of another kind than the definition's is converted, never handed over as raw
// bits: a string parameter receives the value's text ("" for a string without text or a value
// that is not a string); a real parameter receives a real, an int32 or int64 as the nearest
// double, a pointer's 8 bytes unchanged, and 0 for any other value.
void DLL_Call(int32_t index, int32_t argumentCount, const ScriptValue* args, ScriptValue* result);

// Unloads the library of every definition whose resolved path, or whose path as the game gave
// it, equals `path` byte for byte; those definitions then answer real 0 until a new DLL_Define
// of the same library loads it again. Nothing happens for a path no definition uses.
void DLL_Free(const char* path);

// The number of definitions.
int32_t DLL_DefinitionCount();

// Unloads every library and forgets every definition (the end of the process, and tests).
void DLL_FreeAll();
