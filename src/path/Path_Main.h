// Paths: the point lists instances can follow, one slot per path index.
// The game data loader fills the table; until then it is empty and every lookup answers -1.
#pragma once

#include <cstdint>

class BoundedReader;

// The index of the first filled slot whose name equals `name` byte for byte (case matters), or
// -1 when none does (also for a null name).
int32_t Path_FindByName(const char* name);

// Reads the path chunk ("PATH").
// Until that work lands, the payload is recorded (support/PendingChunk.h) and accepted.
bool Path_LoadChunk(BoundedReader& chunk);

// Empties the path table (the main pass, before any chunk is read).
void Path_FreeAll();
