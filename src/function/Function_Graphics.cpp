#include "function/Function_Graphics.h"

void RegisterGraphicsFunctions() {}
