#include "sound/Sound_Main.h"

#include "platform/NameTable.h"
#include "support/PendingChunk.h"

namespace {

// The name of each sound slot by index; an empty slot holds none.
NameTable g_SoundNames;

}  // namespace

int32_t Sound_Find(const char* name) { return g_SoundNames.FindFirst(name); }

bool Sound_Init(BoundedReader& chunk) {
  PendingChunk_Record("Sound_Init", chunk);
  return true;
}

bool Wave_Init(BoundedReader& chunk) {
  PendingChunk_Record("Wave_Init", chunk);
  return true;
}

void Sound_ClearList() { g_SoundNames.FreeAll(); }

bool Sound_InitHardware() { return true; }

bool Sound_Prepare() { return true; }
