#include "run/Run_Builtins.h"

#include "function/Function_Math.h"

void RegisterBuiltinGroups() {
  // Each group of built-ins adds its registration call here, in call-number order, as the
  // group is written.
  RegisterMathFunctions();
}
