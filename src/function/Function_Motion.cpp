#include "function/Function_Motion.h"

void RegisterMotionFunctions() {}
