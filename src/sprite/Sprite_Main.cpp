#include "sprite/Sprite_Main.h"

#include <cstring>

#include "platform/MemoryManager.h"
#include "runner/GameData_Pending.h"

namespace {

// The name of each sprite slot, indexed by sprite index; a null entry is an empty slot.
char** g_SpriteNames = nullptr;
int32_t g_SpriteCount = 0;

}  // namespace

int32_t Sprite_FindByName(const char* name) {
  if (name == nullptr) return -1;
  for (int32_t i = 0; i < g_SpriteCount; ++i) {
    if (g_SpriteNames[i] != nullptr && std::strcmp(g_SpriteNames[i], name) == 0) return i;
  }
  return -1;
}

bool Sprite_LoadChunk(BoundedReader& chunk) {
  PendingChunk_Record("Sprite_LoadChunk", chunk);
  return true;
}

void Sprite_FreeAll() {
  for (int32_t i = 0; i < g_SpriteCount; ++i) MemoryManager::Free(g_SpriteNames[i]);
  MemoryManager::Free(g_SpriteNames);
  g_SpriteNames = nullptr;
  g_SpriteCount = 0;
}
