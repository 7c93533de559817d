#include "function/Function_D3D.h"

void RegisterD3DFunctions() {}
