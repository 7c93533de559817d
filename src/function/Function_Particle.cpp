#include "function/Function_Particle.h"

void RegisterParticleFunctions() {}
