// Rooms of the game, one slot per room index, looked up by name.
// The game data loader fills the table; until then it is empty and every lookup answers -1.
#pragma once

#include <cstdint>

#include "platform/cARRAY_STRUCTURE.h"

class BoundedReader;

// The index of the first filled slot whose name equals `name` byte for byte (case matters), or
// -1 when none does (also for a null name).
int32_t Room_FindByName(const char* name);

// Reads the room chunk ("ROOM").
// Until that work lands, the payload is recorded (support/PendingChunk.h) and accepted.
bool Room_LoadChunk(BoundedReader& chunk);

// The order of the rooms in the game (room indices), as the game data's header gives it.
extern cARRAY_STRUCTURE<int32_t> RoomOrder;

// The last tile id used by the game's rooms; new tiles take ids above it.
void Room_SetLastTileId(int32_t id);
int32_t Room_GetLastTileId();

// Resets the room globals (room order, last tile id) before the game data's main pass.
void Room_ResetGlobals();
