#include "sound/Audio_Main.h"

#include "platform/NameTable.h"
#include "support/PendingChunk.h"

bool SoundDisabled = false;

namespace {

// The name of each audio sound slot by index; an empty slot holds none.
NameTable g_AudioNames;

}  // namespace

int32_t Audio_FindSoundByName(const char* name) { return g_AudioNames.FindFirst(name); }

bool Audio_Load(BoundedReader& chunk) {
  PendingChunk_Record("Audio_Load", chunk);
  return true;
}

bool AudioGroup_Load(BoundedReader& chunk) {
  PendingChunk_Record("AudioGroup_Load", chunk);
  return true;
}

bool Audio_WAVs(BoundedReader& chunk, int32_t /*group*/) {
  PendingChunk_Record("Audio_WAVs", chunk);
  return true;
}

void Audio_Prepare() {}
