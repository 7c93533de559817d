#include "font/Font_Main.h"

#include "platform/NameTable.h"
#include "support/PendingChunk.h"

namespace {

// The name of each font slot by index; an empty slot holds none.
NameTable g_FontNames;

}  // namespace

int32_t Font_FindByName(const char* name) { return g_FontNames.FindFirst(name); }

bool Font_LoadChunk(BoundedReader& chunk) {
  PendingChunk_Record("Font_LoadChunk", chunk);
  return true;
}

void Font_Init() { g_FontNames.FreeAll(); }
