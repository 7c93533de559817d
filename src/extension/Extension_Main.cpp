#include "extension/Extension_Main.h"

#include <cstring>

#include "platform/MemoryManager.h"
#include "runner/GameData_Pending.h"

ExtensionState g_Extensions;

namespace {

constexpr int32_t kExtensionTableStep = 64;

}  // namespace

int32_t Extension_FunctionAdd(const char* name, int32_t argumentCount) {
  if (g_Extensions.table.count >= g_Extensions.table.capacity) {
    uint64_t capacity = static_cast<uint64_t>(g_Extensions.table.capacity) + kExtensionTableStep;
    uint64_t bytes = capacity * sizeof(ExtensionFunction);
    if (capacity > INT32_MAX || bytes > UINT32_MAX - MemoryManager::kHeaderSize) OutOfMemoryHandler();
    g_Extensions.table.functions = static_cast<ExtensionFunction*>(
        MemoryManager::ReAlloc(g_Extensions.table.functions, static_cast<uint32_t>(bytes), __FILE__, __LINE__));
    g_Extensions.table.capacity = static_cast<int32_t>(capacity);
  }
  g_Extensions.table.functions[g_Extensions.table.count] = {MemoryManager::DuplicateText(name ? name : ""), argumentCount};
  return g_Extensions.table.count++;
}

int32_t Extension_FunctionCount() { return g_Extensions.table.count; }

int32_t Extension_FindFunction(const char* name) {
  if (name == nullptr) return -1;
  for (int32_t i = 0; i < g_Extensions.table.count; ++i) {
    if (std::strcmp(g_Extensions.table.functions[i].name, name) == 0) return i;
  }
  return -1;
}

int32_t Extension_GetArgumentCount(int32_t index) {
  if (index < 0 || index >= g_Extensions.table.count) return kNoExtensionFunction;
  return g_Extensions.table.functions[index].argumentCount;
}

void Extension_FreeAll() {
  for (int32_t i = 0; i < g_Extensions.table.count; ++i) MemoryManager::Free(g_Extensions.table.functions[i].name);
  MemoryManager::Free(g_Extensions.table.functions);
  g_Extensions.table = ExtensionState::Table{};
}

void RegisterTuvoVariables() {}

bool Extension_Load(BoundedReader& chunk) {
  PendingChunk_Record("Extension_Load", chunk);
  return true;
}
