#include "variable/Variable_Names.h"

#include "platform/MemoryManager.h"
#include "platform/NameTable.h"
#include "variable/Variable_Main.h"

namespace {

// The names by position, hashed: finding a name does not walk the table, and the table doubles
// as it fills.
NameTable g_UserVariableNames;

// The most names the table can hold: every position must still make an int32 id.
constexpr int64_t kMaxUserVariables = static_cast<int64_t>(INT32_MAX) - kUserVariableBase;

}  // namespace

int32_t FindUserVariable(const char* name) {
  const int32_t position = g_UserVariableNames.FindFirst(name);
  return position >= 0 ? kUserVariableBase + position : -1;
}

int32_t FindOrAddUserVariable(const char* name) {
  if (name == nullptr) return -1;
  const int32_t found = FindUserVariable(name);
  if (found >= 0) return found;
  if (g_UserVariableNames.Count() >= kMaxUserVariables) OutOfMemoryHandler();
  return kUserVariableBase + g_UserVariableNames.Add(name);
}

const char* UserVariableName(int32_t id) {
  const int64_t position = static_cast<int64_t>(id) - kUserVariableBase;
  if (position < 0 || position >= g_UserVariableNames.Count()) return "<unknown variable>";
  return g_UserVariableNames.Name(static_cast<int32_t>(position));
}

int32_t UserVariableCount() { return g_UserVariableNames.Count(); }

void FreeUserVariables() { g_UserVariableNames.FreeAll(); }

int32_t GetVariableId(const char* name) {
  const int32_t builtin = FindBuiltinVariable(name);
  if (builtin >= 0) return builtin;
  return FindOrAddUserVariable(name);
}

const char* VariableName(int32_t id) {
  if (id < kUserVariableBase) return BuiltinVariableName(id);
  return UserVariableName(id);
}
