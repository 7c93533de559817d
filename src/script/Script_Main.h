// The game's scripts. Script i is called by number 100,000 + i; the game data loader fills this
// table and the compiler and the function registry look scripts up in it by name. For now the
// table holds only the scripts' names.
#pragma once

#include <cstdint>

// Appends a script named `name` (copied; null counts as empty) and answers its index.
int32_t Script_Add(const char* name);
// The number of scripts in the table.
int32_t Script_Count();
// The index of the first script whose name equals `name` byte for byte, or -1 (also for null).
int32_t Script_FindByName(const char* name);
// Releases the table; it is empty afterwards.
void Script_FreeAll();
