// The push-notification built-ins.
#pragma once

// Registers this group's built-ins in their fixed order (their call numbers follow from it). The
// group has no built-ins yet: nothing is registered, and the groups after it keep their order.
void RegisterPushFunctions();

// Once per step, at the start of the asynchronous phase: performs the events of the push
// notifications that arrived. This platform receives none, so there is nothing to perform.
void ProcessPushEvents();
