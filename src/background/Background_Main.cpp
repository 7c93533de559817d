#include "background/Background_Main.h"

#include <cstring>

#include "platform/MemoryManager.h"
#include "runner/GameData_Pending.h"

namespace {

// The name of each background slot, indexed by background index; a null entry is an empty slot.
char** g_BackgroundNames = nullptr;
int32_t g_BackgroundCount = 0;

}  // namespace

int32_t Background_FindByName(const char* name) {
  if (name == nullptr) return -1;
  for (int32_t i = 0; i < g_BackgroundCount; ++i) {
    if (g_BackgroundNames[i] != nullptr && std::strcmp(g_BackgroundNames[i], name) == 0) return i;
  }
  return -1;
}

bool Background_LoadChunk(BoundedReader& chunk) {
  PendingChunk_Record("Background_LoadChunk", chunk);
  return true;
}

void Background_FreeAll() {
  for (int32_t i = 0; i < g_BackgroundCount; ++i) MemoryManager::Free(g_BackgroundNames[i]);
  MemoryManager::Free(g_BackgroundNames);
  g_BackgroundNames = nullptr;
  g_BackgroundCount = 0;
}
