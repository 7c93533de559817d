// The motion, instance and room built-ins. The instance and room commands behind them live in
// room/Room_Command.h (the action built-ins share them).
#pragma once

// Registers this group's built-ins in their fixed order (their call numbers follow from it). The
// group holds the instance creation and destruction built-ins and the room and game requests, in
// the order of the group's full list: instance_create, instance_destroy, room_goto,
// room_goto_next, game_end, game_restart.
void RegisterMotionFunctions();
