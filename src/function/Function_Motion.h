// The motion, instance and room built-ins. The instance and room commands behind them live in
// room/Room_Command.h (the action built-ins share them).
#pragma once

// Registers this group's built-ins in their fixed order (their call numbers follow from it): the
// place, move, motion and distance built-ins, starting and ending a path, the collision and
// instance queries, the instance commands, deactivation and activation, then the room and game
// requests.
void RegisterMotionFunctions();
