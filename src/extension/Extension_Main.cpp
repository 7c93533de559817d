#include "extension/Extension_Main.h"

#include <cstring>

#include "platform/MemoryManager.h"
#include "runner/GameData_Pending.h"

bool ExternalCallsOff = false;

namespace {

struct ExtensionFunction {
  char* name;  // a memory-manager block
  int32_t argumentCount;
};

ExtensionFunction* g_ExtensionFunctions = nullptr;
int32_t g_ExtensionFunctionCount = 0;
int32_t g_ExtensionFunctionCapacity = 0;

constexpr int32_t kExtensionTableStep = 64;

}  // namespace

int32_t Extension_FunctionAdd(const char* name, int32_t argumentCount) {
  if (g_ExtensionFunctionCount >= g_ExtensionFunctionCapacity) {
    uint64_t capacity = static_cast<uint64_t>(g_ExtensionFunctionCapacity) + kExtensionTableStep;
    uint64_t bytes = capacity * sizeof(ExtensionFunction);
    if (capacity > INT32_MAX || bytes > UINT32_MAX - MemoryManager::kHeaderSize) OutOfMemoryHandler();
    g_ExtensionFunctions = static_cast<ExtensionFunction*>(
        MemoryManager::ReAlloc(g_ExtensionFunctions, static_cast<uint32_t>(bytes), __FILE__, __LINE__));
    g_ExtensionFunctionCapacity = static_cast<int32_t>(capacity);
  }
  g_ExtensionFunctions[g_ExtensionFunctionCount] = {MemoryManager::DuplicateText(name ? name : ""), argumentCount};
  return g_ExtensionFunctionCount++;
}

int32_t Extension_FunctionCount() { return g_ExtensionFunctionCount; }

int32_t Extension_FindFunction(const char* name) {
  if (name == nullptr) return -1;
  for (int32_t i = 0; i < g_ExtensionFunctionCount; ++i) {
    if (std::strcmp(g_ExtensionFunctions[i].name, name) == 0) return i;
  }
  return -1;
}

int32_t Extension_GetArgumentCount(int32_t index) {
  if (index < 0 || index >= g_ExtensionFunctionCount) return kNoExtensionFunction;
  return g_ExtensionFunctions[index].argumentCount;
}

void Extension_FreeAll() {
  for (int32_t i = 0; i < g_ExtensionFunctionCount; ++i) MemoryManager::Free(g_ExtensionFunctions[i].name);
  MemoryManager::Free(g_ExtensionFunctions);
  g_ExtensionFunctions = nullptr;
  g_ExtensionFunctionCount = 0;
  g_ExtensionFunctionCapacity = 0;
}

void RegisterTuvoVariables() {}

bool Extension_Load(BoundedReader& chunk) {
  PendingChunk_Record("Extension_Load", chunk);
  return true;
}
