#include "script/Script_Main.h"

#include <cstring>

#include "platform/MemoryManager.h"
#include "runner/GameData_Pending.h"

namespace {

// The script names in index order, each a memory-manager block.
char** g_ScriptNames = nullptr;
// The code entry of each script (not owned), parallel to the names.
CCode** g_ScriptCode = nullptr;
int32_t g_ScriptCount = 0;
int32_t g_ScriptCapacity = 0;

constexpr int32_t kScriptTableStep = 64;

}  // namespace

int32_t Script_Add(const char* name) {
  if (g_ScriptCount >= g_ScriptCapacity) {
    uint64_t capacity = static_cast<uint64_t>(g_ScriptCapacity) + kScriptTableStep;
    uint64_t bytes = capacity * sizeof(char*);
    if (capacity > INT32_MAX || bytes > UINT32_MAX - MemoryManager::kHeaderSize) OutOfMemoryHandler();
    g_ScriptNames = static_cast<char**>(
        MemoryManager::ReAlloc(g_ScriptNames, static_cast<uint32_t>(bytes), __FILE__, __LINE__));
    uint64_t codeBytes = capacity * sizeof(CCode*);
    g_ScriptCode = static_cast<CCode**>(
        MemoryManager::ReAlloc(g_ScriptCode, static_cast<uint32_t>(codeBytes), __FILE__, __LINE__));
    g_ScriptCapacity = static_cast<int32_t>(capacity);
  }
  g_ScriptNames[g_ScriptCount] = MemoryManager::DuplicateText(name ? name : "");
  g_ScriptCode[g_ScriptCount] = nullptr;
  return g_ScriptCount++;
}

int32_t Script_Count() { return g_ScriptCount; }

int32_t Script_FindByName(const char* name) {
  if (name == nullptr) return -1;
  for (int32_t i = 0; i < g_ScriptCount; ++i) {
    if (std::strcmp(g_ScriptNames[i], name) == 0) return i;
  }
  return -1;
}

const char* Script_GetName(int32_t index) {
  if (index < 0 || index >= g_ScriptCount) return nullptr;
  return g_ScriptNames[index];
}

CCode* Script_GetCode(int32_t index) {
  if (index < 0 || index >= g_ScriptCount) return nullptr;
  return g_ScriptCode[index];
}

bool Script_SetCode(int32_t index, CCode* code) {
  if (index < 0 || index >= g_ScriptCount) return false;
  g_ScriptCode[index] = code;
  return true;
}

void Script_FreeAll() {
  for (int32_t i = 0; i < g_ScriptCount; ++i) MemoryManager::Free(g_ScriptNames[i]);
  MemoryManager::Free(g_ScriptNames);
  MemoryManager::Free(g_ScriptCode);
  g_ScriptNames = nullptr;
  g_ScriptCode = nullptr;
  g_ScriptCount = 0;
  g_ScriptCapacity = 0;
}

bool Script_LoadChunk(BoundedReader& chunk) {
  PendingChunk_Record("Script_LoadChunk", chunk);
  return true;
}
