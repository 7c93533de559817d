#include "function/Function_Physics.h"

void RegisterPhysicsFunctions() {}
