#include "function/Function_Push.h"

void RegisterPushFunctions() {}

void ProcessPushEvents() {}
