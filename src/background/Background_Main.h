// Backgrounds: the images rooms draw behind and in front of instances, one slot per background index.
// The game data loader fills the table; until then it is empty and every lookup answers -1.
#pragma once

#include <cstdint>

class BoundedReader;

// The index of the first filled slot whose name equals `name` byte for byte (case matters), or
// -1 when none does (also for a null name).
int32_t Background_FindByName(const char* name);

// Reads the background chunk ("BGND").
// Until that work lands, the payload is recorded (support/PendingChunk.h) and accepted.
bool Background_LoadChunk(BoundedReader& chunk);

// Empties the background table (the main pass, before any chunk is read).
void Background_FreeAll();
