// The main loop's process-wide requests.
#pragma once

#include <cstdint>

// The room-change request the frame loop reads after each frame: kNewRoomNone when none, a room
// index to go to, or one of the codes below. While it is not kNewRoomNone events are held back
// (room/Event_Dispatch.h).
constexpr int32_t kNewRoomNone = -1;
constexpr int32_t kNewRoomEndGame = -100;  // ends the frame loop (the game ends)
constexpr int32_t kNewRoomQuit = -400;     // ends the frame loop (a fatal error: the game quits)

int32_t Run_GetNewRoom();
void Run_SetNewRoom(int32_t code);

// ---- One pass of the restart loop ----

// The run state at the start of a pass: the running flag cleared, no room change requested.
void InitRunGlobals();
// One tick of the frame loop: waits out the rest of the frame (at 60 frames per second) and then
// acts on the new-room code; ending the game (kNewRoomEndGame) or quitting (kNewRoomQuit) clears
// the running flag.
void RunMainTick();
// Ends the game after the frame loop stopped (also after a start that failed): nothing to end
// while no room has been entered.
void EndGame();
// Frees what one pass kept: the game file path and the cached game directory.
void FreeRunGlobals();
