#include "graphics/Graphics_Transition.h"

#include "base/VCL.h"

TransitionState g_Transitions;

namespace {
constexpr int32_t kLastBuiltinKind = 21;
constexpr int32_t kLastUserKind = 999999;
}  // namespace

void GR_Transition_SetSteps(int32_t steps) { g_Transitions.steps = steps > 0 ? steps : 1; }

int32_t GR_Transition_GetSteps() { return g_Transitions.steps; }

bool GR_Transition_Define(int32_t kind, const char* name, int32_t callNumber) {
  if (name == nullptr || name[0] == '\0' || callNumber < 0) return false;
  if (kind >= 1 && kind <= kLastUserKind) g_Transitions.defined[kind] = TransitionDefinition{callNumber, name};
  return true;
}

bool GR_Transition_Exists(int32_t kind) {
  // A kind a script defined is its own transition, not the built-in one of that number.
  if (kind >= 1 && kind <= kLastBuiltinKind && g_Transitions.defined.count(kind) == 0) return true;
  DebugConsole->Output("TransFunctionExists()\n");
  return false;
}
