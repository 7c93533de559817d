// The main loop's process-wide requests.
#pragma once

#include <cstdint>

// The room-change request the frame loop reads after each frame: 0 when none, a room index to
// go to, or one of the codes below.
constexpr int32_t kNewRoomEndGame = -100;  // ends the frame loop (the game ends)
constexpr int32_t kNewRoomQuit = -400;     // ends the frame loop (a fatal error: the game quits)

int32_t Run_GetNewRoom();
void Run_SetNewRoom(int32_t code);
