#include "path/Path_Main.h"

#include "platform/NameTable.h"
#include "support/PendingChunk.h"

namespace {

// The name of each path slot by index; an empty slot holds none.
NameTable g_PathNames;

}  // namespace

int32_t Path_FindByName(const char* name) { return g_PathNames.FindFirst(name); }

bool Path_LoadChunk(BoundedReader& chunk) {
  PendingChunk_Record("Path_LoadChunk", chunk);
  return true;
}

void Path_FreeAll() { g_PathNames.FreeAll(); }
