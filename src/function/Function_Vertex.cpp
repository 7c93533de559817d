#include "function/Function_Vertex.h"

void RegisterVertexFunctions() {}

void RegisterVertexFormatFunctions() {}
