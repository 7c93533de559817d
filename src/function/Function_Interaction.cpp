#include "function/Function_Interaction.h"

void RegisterInteractionFunctions() {}
