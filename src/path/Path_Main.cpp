#include "path/Path_Main.h"

#include <cstring>

#include "platform/MemoryManager.h"
#include "runner/GameData_Pending.h"

namespace {

// The name of each path slot, indexed by path index; a null entry is an empty slot.
char** g_PathNames = nullptr;
int32_t g_PathCount = 0;

}  // namespace

int32_t Path_FindByName(const char* name) {
  if (name == nullptr) return -1;
  for (int32_t i = 0; i < g_PathCount; ++i) {
    if (g_PathNames[i] != nullptr && std::strcmp(g_PathNames[i], name) == 0) return i;
  }
  return -1;
}

bool Path_LoadChunk(BoundedReader& chunk) {
  PendingChunk_Record("Path_LoadChunk", chunk);
  return true;
}

void Path_FreeAll() {
  for (int32_t i = 0; i < g_PathCount; ++i) MemoryManager::Free(g_PathNames[i]);
  MemoryManager::Free(g_PathNames);
  g_PathNames = nullptr;
  g_PathCount = 0;
}
