#include "extension/Extension_Main.h"

#include "platform/GrowArray.h"
#include "platform/NameTable.h"
#include "runner/GameData_Pending.h"

bool ExternalCallsOff = false;

namespace {

// Per function index its name and its declared argument count.
NameTable g_ExtensionNames;
GrowArray<int32_t> g_ExtensionArgumentCounts;

}  // namespace

int32_t Extension_FunctionAdd(const char* name, int32_t argumentCount) {
  g_ExtensionArgumentCounts.Push(argumentCount);
  return g_ExtensionNames.Add(name ? name : "");
}

int32_t Extension_FunctionCount() { return g_ExtensionNames.Count(); }

int32_t Extension_FindFunction(const char* name) { return g_ExtensionNames.FindFirst(name); }

int32_t Extension_GetArgumentCount(int32_t index) {
  if (index < 0 || index >= g_ExtensionArgumentCounts.Count()) return kNoExtensionFunction;
  return g_ExtensionArgumentCounts[index];
}

void Extension_FreeAll() {
  g_ExtensionNames.FreeAll();
  g_ExtensionArgumentCounts.Free();
}

void RegisterTuvoVariables() {}

bool Extension_Load(BoundedReader& chunk) {
  PendingChunk_Record("Extension_Load", chunk);
  return true;
}
