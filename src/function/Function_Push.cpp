#include "function/Function_Push.h"

void RegisterPushFunctions() {}
