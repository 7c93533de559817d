#include "room/Room_Main.h"

#include <cstring>

#include "runner/GameData_Pending.h"

namespace {

// The name of each room slot, indexed by room index; a null entry is an empty slot.
char** g_RoomNames = nullptr;
int32_t g_RoomCount = 0;

int32_t g_LastTileId = 0;

}  // namespace

cARRAY_STRUCTURE<int32_t> RoomOrder;

int32_t Room_FindByName(const char* name) {
  if (name == nullptr) return -1;
  for (int32_t i = 0; i < g_RoomCount; ++i) {
    if (g_RoomNames[i] != nullptr && std::strcmp(g_RoomNames[i], name) == 0) return i;
  }
  return -1;
}

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
