#include "code/Code_Variable.h"

#include <cstring>

#include "platform/MemoryManager.h"
#include "variable/Variable_Main.h"

namespace {

// Owned names (memory-manager blocks); the array grows by one entry per new name.
struct UserVariableNames {
  char** names = nullptr;
  int32_t count = 0;
};
UserVariableNames g_userNames;

// The most names the table can hold: every position must still make an int32 id.
constexpr int64_t kMaxUserVariables = static_cast<int64_t>(INT32_MAX) - kUserVariableBase;

}  // namespace

int32_t FindUserVariable(const char* name) {
  if (name == nullptr) return -1;
  for (int32_t i = 0; i < g_userNames.count; ++i) {
    if (std::strcmp(g_userNames.names[i], name) == 0) return kUserVariableBase + i;
  }
  return -1;
}

int32_t FindOrAddUserVariable(const char* name) {
  if (name == nullptr) return -1;
  const int32_t found = FindUserVariable(name);
  if (found >= 0) return found;

  const int64_t count = static_cast<int64_t>(g_userNames.count) + 1;
  const uint64_t bytes = static_cast<uint64_t>(count) * sizeof(char*);
  if (count > kMaxUserVariables || bytes > UINT32_MAX - MemoryManager::kHeaderSize) OutOfMemoryHandler();
  g_userNames.names = static_cast<char**>(
      MemoryManager::ReAlloc(g_userNames.names, static_cast<uint32_t>(bytes), __FILE__, __LINE__));
  g_userNames.names[g_userNames.count] = MemoryManager::DuplicateText(name);
  return kUserVariableBase + g_userNames.count++;
}

const char* UserVariableName(int32_t id) {
  const int64_t position = static_cast<int64_t>(id) - kUserVariableBase;
  if (position < 0 || position >= g_userNames.count) return "<unknown variable>";
  return g_userNames.names[position];
}

int32_t UserVariableCount() { return g_userNames.count; }

void FreeUserVariables() {
  for (int32_t i = 0; i < g_userNames.count; ++i) MemoryManager::Free(g_userNames.names[i]);
  MemoryManager::Free(g_userNames.names);
  g_userNames = UserVariableNames{};
}

int32_t GetVariableId(const char* name) {
  const int32_t builtin = FindBuiltinVariable(name);
  if (builtin >= 0) return builtin;
  return FindOrAddUserVariable(name);
}

const char* VariableName(int32_t id) {
  if (id < kUserVariableBase) return BuiltinVariableName(id);
  return UserVariableName(id);
}
