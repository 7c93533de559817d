#include "extension/Extension_Main.h"

#include "support/PendingChunk.h"

ExtensionState g_Extensions;

int32_t Extension_FunctionAdd(const char* name, int32_t argumentCount) {
  g_Extensions.argumentCounts.Push(argumentCount);
  return g_Extensions.names.Add(name ? name : "");
}

int32_t Extension_FunctionCount() { return g_Extensions.names.Count(); }

int32_t Extension_FindFunction(const char* name) { return g_Extensions.names.FindFirst(name); }

int32_t Extension_GetArgumentCount(int32_t index) {
  if (index < 0 || index >= g_Extensions.argumentCounts.Count()) return kNoExtensionFunction;
  return g_Extensions.argumentCounts[index];
}

void Extension_FreeAll() {
  g_Extensions.names.FreeAll();
  g_Extensions.argumentCounts.Free();
}

void RegisterTuvoVariables() {}

bool Extension_Load(BoundedReader& chunk) {
  PendingChunk_Record("Extension_Load", chunk);
  return true;
}

bool Extension_Prepare() { return true; }

bool Extension_Initialise() { return true; }

bool Extension_Finalise() { return true; }

void DeferredScriptQueue_Process() {}
