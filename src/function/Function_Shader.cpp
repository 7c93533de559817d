#include "function/Function_Shader.h"

void RegisterShaderFunctions() {}
