#include "function/Function_Buffer.h"

void RegisterBufferFunctions() {}
