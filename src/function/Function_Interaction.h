// The keyboard and mouse built-ins: key and button checks of the step input, the live key state,
// simulated keys, the key map and the input clears.
#pragma once

// Registers this group's built-ins in their fixed order (their call numbers follow from it):
// num lock, simulated keys, the key map, the key checks, the mouse button and wheel checks, then
// the clears.
void RegisterInteractionFunctions();
