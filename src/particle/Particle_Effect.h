// The particle effects: two effect systems, one below and one above the instances.
// Main thread only.
#pragma once

// Clears the particles of both effect systems (effect_clear, and when a room starts). This build
// has no effect systems, so there is nothing to clear.
void Effect_Clear();
