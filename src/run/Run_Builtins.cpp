#include "run/Run_Builtins.h"

#include "function/Function_Data_Structures.h"
#include "function/Function_Graphics.h"
#include "function/Function_Math.h"
#include "function/Function_Misc.h"

void RegisterBuiltinGroups() {
  // Each group of built-ins adds its registration call here, in call-number order (high-score,
  // game, maths, graphics, actions, files, resources, interaction, 3-D, particles,
  // miscellaneous, data structures, sound, ...), as the group is written.
  RegisterMathFunctions();
  RegisterGraphicsFunctions();
  RegisterD3DFunctions();
  RegisterMiscFunctions();
  RegisterDataStructureFunctions();
}
