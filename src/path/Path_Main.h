// Paths: the one table of the game's paths, one slot per path index (platform/ResourceTable.h).
// The table is forgotten at start-up, emptied at the start of every main pass, filled from the
// path chunk ("PATH"), changed by the path built-ins while the game runs and freed at shutdown.
// Slots are never reused: a path added at run time appends a slot named "__newpath<index>", and
// a deleted path leaves an empty slot. Main thread only.
#pragma once

#include <cstdint>

#include "path/Path_Class.h"
#include "platform/ResourceTable.h"

class BoundedReader;

// The path table's record. Emptied by Path_Init, Path_Reset and Path_FreeAll.
struct PathState {
  ResourceTable<CPath> table{"__newpath"};
};
extern PathState g_Paths;

// At start-up: an empty table.
void Path_Init();
// At the start of every main pass: frees every path and name; the count is 0.
void Path_Reset();
// At shutdown: frees every path and name.
void Path_FreeAll();

// Reads the path chunk: a count and one entry offset per slot (0 leaves the slot empty); each
// entry (name offset, kind, closed, precision, point count N, N points) is read by CPath::Load
// with its name copied into the slot. False, after a line on DebugConsole, when the count, an
// entry, its points or its name do not lie inside the chunk or the file, or N is negative; the
// table is then empty.
bool Path_LoadChunk(BoundedReader& chunk);

// The number of slots, empty ones included.
int32_t Path_Count();
// True when 0 <= index < count and the slot holds a path.
bool Path_Exists(int32_t index);
// The path of slot `index`, or null.
CPath* Path_Data(int32_t index);
// The slot's name; "<undefined>" for an index that names no path, null for a path without a
// name (one assigned into an empty slot).
const char* Path_GetName(int32_t index);
// The index of the first filled slot whose name equals `name` byte for byte (case matters), or
// -1 when none does (also for a null name).
int32_t Path_FindByName(const char* name);

// Appends a slot with an empty path (straight, closed, precision 4) named "__newpath<index>";
// answers the index.
int32_t Path_Add();
// Appends a slot, named as by Path_Add, holding a copy of path `index`; -1 when it has none.
int32_t Path_Duplicate(int32_t index);
// Copies path `source` into slot `target`, making an empty path first in an empty target slot
// (which keeps its name, none for a deleted slot). False when the source has no path or the
// target lies outside 0..count-1; for the same index "ERROR: Can not assign a path to itself!"
// is reported (not fatal) and the answer is false.
bool Path_Assign(int32_t target, int32_t source);
// Deletes the path and name of slot `index`, leaving the slot empty; false when it has none.
bool Path_Delete(int32_t index);
