#include "run/Run_Builtins.h"

void RegisterBuiltinGroups() {
  // Each group of built-ins adds its registration call here, in call-number order, as the
  // group is written. None is written yet.
}
