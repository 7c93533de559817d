#include "timeline/TimeLine_Main.h"

#include "runner/GameData_Pending.h"

// The time line table is filled by the game data loader; until then it is empty.
const char* TimeLine_GetName(int32_t /*index*/) { return "<undefined>"; }

int32_t TimeLine_FindByName(const char* /*name*/) { return -1; }

bool TimeLine_LoadChunk(BoundedReader& chunk) {
  PendingChunk_Record("TimeLine_LoadChunk", chunk);
  return true;
}

void TimeLine_FreeAll() {
  // The table holds nothing until time lines are read from their chunk.
}
