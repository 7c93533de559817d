#include "function/Function_Steam.h"

void RegisterSteamFunctions() {}
