#include "sound/Audio_Main.h"

#include <cstring>

#include "runner/GameData_Pending.h"

bool SoundDisabled = false;

namespace {

// The name of each audio sound slot, indexed by audio sound index; a null entry is an empty slot.
char** g_AudioNames = nullptr;
int32_t g_AudioCount = 0;

}  // namespace

int32_t Audio_FindSoundByName(const char* name) {
  if (name == nullptr) return -1;
  for (int32_t i = 0; i < g_AudioCount; ++i) {
    if (g_AudioNames[i] != nullptr && std::strcmp(g_AudioNames[i], name) == 0) return i;
  }
  return -1;
}

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
