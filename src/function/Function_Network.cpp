#include "function/Function_Network.h"

void RegisterNetworkFunctions() {}
