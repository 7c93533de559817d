#include "function/Function_File.h"

void RegisterFileFunctions() {}
