#include "function/Function_Resource.h"

void RegisterFontFunctions() {}
