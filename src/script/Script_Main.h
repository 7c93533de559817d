// The game's scripts: the script table, read from the script chunk and prepared once, and
// Script_Execute, the road by which the tree interpreter, script_execute, time-line moments and
// actions run a script. Script i is called by number 100,000 + i. Main thread only.
#pragma once

#include <cstdint>

#include "variable/ScriptValue.h"

class BoundedReader;
class CCode;
class CInstance;
class CScript;

// Destroys every script and empties the table (the start of every main pass).
void Script_Reset();
// Reads the script chunk ("SCPT"): entry i becomes script i (an entry offset of 0 leaves slot i
// empty). False, after a line on DebugConsole, when the chunk does not hold what it claims.
bool Script_LoadChunk(BoundedReader& chunk);
// Compiles every script in index order. On the first failure shows
// "COMPILATION ERROR in Script: <name>\n<compile error>" as a fatal error and answers false.
bool Script_Prepare();

// The number of script slots.
int32_t Script_Count();
// 0 <= index < count and the slot holds a script.
bool Script_Exists(int32_t index);
// The script of slot `index`, or null.
CScript* Script_Data(int32_t index);
// The name of script `index`, or "<undefined>" when the index has no script.
const char* Script_GetName(int32_t index);
// The lowest filled index whose name equals `name` byte for byte, or -1 (also for null).
int32_t Script_FindByName(const char* name);
// The code entry of script `index`, or null when there is no such script or it has no code.
CCode* Script_GetCode(int32_t index);

// Appends a script named `name` (copied; null counts as empty) without code and answers its
// index; for fixtures that build scripts without a game file.
int32_t Script_Add(const char* name);
// Gives script `index` a code entry that the caller keeps owning; false when there is no such
// script.
bool Script_SetCode(int32_t index, CCode* code);

// Runs script `index` for (self, other) with `count` arguments into `result`: false, running
// nothing, when the index has no script; true at once when its code is empty. Otherwise the 16
// argument slots and the argument count are saved, the first 16 arguments are copied into the
// slots (texts copied, arrays shared) and the slots after them set to real 0, and the code is
// evaluated (a failure makes the result the string "ERROR" and the last code error becomes
// "In script <name>:\n<error>"). Afterwards every slot is released and the saved slots and count
// come back. Answers whether the code ran without error.
bool Script_Execute(int32_t index, CInstance* self, CInstance* other, int32_t count, ScriptValue* result,
                    const ScriptValue* arguments);

// Destroys every script and its name and frees the table.
void Script_FreeAll();
