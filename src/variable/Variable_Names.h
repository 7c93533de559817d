// Variable names and ids. The user variable-name table: every name that script code uses for a
// variable of its own (one that is not a built-in variable) gets a fixed position here the first
// time it is met, and user variable 100,000 + p is the variable named at position p. Names are
// never removed, so an id stays valid for the whole run, and the same game compiled and bound in
// the same order gets the same ids.
#pragma once

#include <cstdint>

// The first user variable id; ids below it belong to the built-in variables.
constexpr int32_t kUserVariableBase = 100000;

// The id of `name` (compared byte for byte), appending the name when it is new. A null name has
// no id: -1.
int32_t FindOrAddUserVariable(const char* name);
// The id of a known name; -1 when the name is not in the table (or is null).
int32_t FindUserVariable(const char* name);
// The name of user variable `id`, or "<unknown variable>" when id - 100,000 lies outside the
// table.
const char* UserVariableName(int32_t id);
// The number of names in the table.
int32_t UserVariableCount();
// Releases every name: the table is empty, as in a fresh process, and the ids handed out before
// name nothing any more.
void FreeUserVariables();

// The id the compiler, the game data binder, the variable built-ins and the debugger use for a
// name: the built-in variable of that name when there is one (variable/Variable_Main.h), else the
// user variable, added when new. So a name that is a built-in variable always means the
// built-in. -1 for a null name.
int32_t GetVariableId(const char* name);
// The name of any variable id: below 100,000 the built-in variable's name (or "<unknown built-in
// variable>"), else UserVariableName.
const char* VariableName(int32_t id);
