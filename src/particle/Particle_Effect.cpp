#include "particle/Particle_Effect.h"

void Effect_Clear() {}
