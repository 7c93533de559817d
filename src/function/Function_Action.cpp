#include "function/Function_Action.h"

void RegisterActionFunctions() {}
