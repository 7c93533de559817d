#include "object/Object_Main.h"

#include "runner/GameData_Pending.h"

bool Object_LoadChunk(BoundedReader& chunk) {
  PendingChunk_Record("Object_LoadChunk", chunk);
  return true;
}
