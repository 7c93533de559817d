#include "room/Room_Main.h"

#include "platform/NameTable.h"
#include "support/PendingChunk.h"

namespace {

// The name of each room slot by index; an empty slot holds none.
NameTable g_RoomNames;

int32_t g_LastTileId = 0;

}  // namespace

cARRAY_STRUCTURE<int32_t> RoomOrder;

int32_t Room_FindByName(const char* name) { return g_RoomNames.FindFirst(name); }

bool Room_LoadChunk(BoundedReader& chunk) {
  PendingChunk_Record("Room_LoadChunk", chunk);
  return true;
}

void Room_SetLastTileId(int32_t id) { g_LastTileId = id; }

int32_t Room_GetLastTileId() { return g_LastTileId; }

void Room_ResetGlobals() {
  RoomOrder.SetLength(0);
  g_LastTileId = 0;
}
