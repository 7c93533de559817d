// In-app purchases: the store's answers reach the game as asynchronous events.
// Main thread only.
#pragma once

// Once per step, at the start of the asynchronous phase: performs event 66 for each store answer
// that arrived. No store is activated here, so no answer arrives and nothing is performed.
void ProcessIAPEvents();
