#include "function/Function_Gamepad.h"

void RegisterGamepadFunctions() {}
