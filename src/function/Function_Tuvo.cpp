#include "function/Function_Tuvo.h"

void RegisterTuvoFunctions() {}

void RegisterWin8Functions() {}
