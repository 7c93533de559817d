#include "background/Background_Main.h"

#include "platform/NameTable.h"
#include "support/PendingChunk.h"

namespace {

// The name of each background slot by index; an empty slot holds none.
NameTable g_BackgroundNames;

}  // namespace

int32_t Background_FindByName(const char* name) { return g_BackgroundNames.FindFirst(name); }

bool Background_LoadChunk(BoundedReader& chunk) {
  PendingChunk_Record("Background_LoadChunk", chunk);
  return true;
}

void Background_FreeAll() { g_BackgroundNames.FreeAll(); }
