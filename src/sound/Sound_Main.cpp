#include "sound/Sound_Main.h"

#include <cstring>

#include "platform/MemoryManager.h"
#include "runner/GameData_Pending.h"

namespace {

// The name of each sound slot, indexed by sound index; a null entry is an empty slot.
char** g_SoundNames = nullptr;
int32_t g_SoundCount = 0;

}  // namespace

int32_t Sound_Find(const char* name) {
  if (name == nullptr) return -1;
  for (int32_t i = 0; i < g_SoundCount; ++i) {
    if (g_SoundNames[i] != nullptr && std::strcmp(g_SoundNames[i], name) == 0) return i;
  }
  return -1;
}

bool Sound_Init(BoundedReader& chunk) {
  PendingChunk_Record("Sound_Init", chunk);
  return true;
}

bool Wave_Init(BoundedReader& chunk) {
  PendingChunk_Record("Wave_Init", chunk);
  return true;
}

void Sound_ClearList() {
  for (int32_t i = 0; i < g_SoundCount; ++i) MemoryManager::Free(g_SoundNames[i]);
  MemoryManager::Free(g_SoundNames);
  g_SoundNames = nullptr;
  g_SoundCount = 0;
}
