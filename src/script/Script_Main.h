// The game's scripts. Script i is called by number 100,000 + i; the game data loader fills this
// table and the compiler and the function registry look scripts up in it by name. Each script
// has a name and the code entry that the virtual machine runs for a call.
#pragma once

#include <cstdint>

class BoundedReader;
class CCode;

// Appends a script named `name` (copied; null counts as empty) and answers its index.
int32_t Script_Add(const char* name);
// The number of scripts in the table.
int32_t Script_Count();
// The index of the first script whose name equals `name` byte for byte, or -1 (also for null).
int32_t Script_FindByName(const char* name);
// The name of script `index`, or null when there is no such script.
const char* Script_GetName(int32_t index);
// The code entry of script `index` (borrowed: the table does not own it), or null when there is
// no such script or it has no code.
CCode* Script_GetCode(int32_t index);
// Gives script `index` its code entry; false when there is no such script.
bool Script_SetCode(int32_t index, CCode* code);
// Releases the table; it is empty afterwards.
void Script_FreeAll();

// Reads the script chunk ("SCPT") into the table.
// Until that work lands, the payload is recorded (runner/GameData_Pending.h) and accepted.
bool Script_LoadChunk(BoundedReader& chunk);
