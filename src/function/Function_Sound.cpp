#include "function/Function_Sound.h"

void RegisterSoundFunctions() {}
