#include "font/Font_Main.h"

#include <cstring>

#include "platform/MemoryManager.h"
#include "runner/GameData_Pending.h"

namespace {

// The name of each font slot, indexed by font index; a null entry is an empty slot.
char** g_FontNames = nullptr;
int32_t g_FontCount = 0;

}  // namespace

int32_t Font_FindByName(const char* name) {
  if (name == nullptr) return -1;
  for (int32_t i = 0; i < g_FontCount; ++i) {
    if (g_FontNames[i] != nullptr && std::strcmp(g_FontNames[i], name) == 0) return i;
  }
  return -1;
}

bool Font_LoadChunk(BoundedReader& chunk) {
  PendingChunk_Record("Font_LoadChunk", chunk);
  return true;
}

void Font_Init() {
  for (int32_t i = 0; i < g_FontCount; ++i) MemoryManager::Free(g_FontNames[i]);
  MemoryManager::Free(g_FontNames);
  g_FontNames = nullptr;
  g_FontCount = 0;
}
