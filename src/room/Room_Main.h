// The room table: one definition room (room/Room_Class.h) per room index of the game, loaded
// from the room chunk ("ROOM"), with a parallel table of names; and the room order, the room
// indexes in play order as the game header lists them, which decides the first and last room and
// what "next" and "previous" mean. Rooms added, duplicated or assigned at run time stay in the
// table until it is reset. The rooms that run are copies of these (room/Room_Run.h).
// Main thread only.
#pragma once

#include <cstdint>

#include "platform/GrowArray.h"
#include "platform/NameTable.h"
#include "platform/cARRAY_STRUCTURE.h"
#include "room/Room_Class.h"

class BoundedReader;

// The table's state: one record, put back by Room_ResetGlobals. A slot of `rooms` may be null
// (an empty slot, with no name); `names` has the same count.
struct RoomTableState {
  GrowArray<CRoom*> rooms;
  NameTable names;
  cARRAY_STRUCTURE<int32_t> order;
  int32_t lastInstanceId = 0;  // the id counters of room/Room_Class.h
  int32_t lastTileId = 0;
};
extern RoomTableState g_RoomTable;

// The order of the rooms in the game (room indices), as the game data's header gives it.
extern cARRAY_STRUCTURE<int32_t>& RoomOrder;

// Reads the room chunk: a count, then one entry offset per slot (0: an empty slot, which keeps
// its index). The table is replaced by one room per entry (room/Room_Class.h, LoadFromData with
// the header's version). False (after a line on DebugConsole) when the count or an entry does not
// lie inside the file.
bool Room_LoadChunk(BoundedReader& chunk);
// Destroys every room of the table and empties the table, the names and the room order (before
// the game data's main pass, and when the runtime is reset). The id counters go back to 0, and
// the GUI layer's settings (room/Room_Draw.h) to theirs.
void Room_ResetGlobals();
// Compiles the creation code of every room ("Room.<name>") and of each of its instance
// definitions that has one ("Instance.<room name>.<definition index>"), after logging
// "Room_Prepare() \n". With compiled code there is nothing to compile: true at once. The first
// failure is shown with "COMPILATION ERROR in room script\n<compiler error>" (not fatal) and the
// answer is false.
bool Room_Prepare();

// The number of slots of the table, empty ones included.
int32_t Room_Count();
// True when 0 <= index < Room_Count() and the slot holds a room.
bool Room_Exists(int32_t index);
// The room of the slot, or null when the index is out of range or the slot empty.
CRoom* Room_Data(int32_t index);
// The name of the slot, or "<undefined>" when the index is out of range or the slot empty.
const char* Room_GetName(int32_t index);
// The index of the first filled slot whose name equals `name` byte for byte (case matters), or
// -1 when none does (also for a null name).
int32_t Room_FindByName(const char* name);

// The first and last entry of the room order; -1 when the order is empty.
int32_t Room_First();
int32_t Room_Last();
// The entry before (after) `room` in the room order; -1 for the first (last) room, a room
// outside the order, or an order of fewer than two entries.
int32_t Room_Previous(int32_t room);
int32_t Room_Next(int32_t room);

// Appends an empty room named "__newroom<index>" with a blank definition record of its own and
// answers its index. The room order does not change.
int32_t Room_Add();
// Appends a room named "__newroom<index>" made a copy of room `index` (its settings, its own copy
// of the definitions, no live tiles, copies of any instances it holds) and answers the new index;
// -1 (nothing added) when `index` names no room.
int32_t Room_Duplicate(int32_t index);
// Replaces room `destination` with a new room having the settings of room `source` and sharing
// its definitions; the room replaced is destroyed (rooms copied from it keep the definitions they
// were copied with). False when either index names no room.
bool Room_Assign(int32_t destination, int32_t source);
