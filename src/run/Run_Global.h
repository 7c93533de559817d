// The main loop's process-wide requests.
#pragma once

#include <cstdint>

// The room-change request the frame loop reads after each frame: kNewRoomNone when none, a room
// index to go to, or one of the codes below. While it is not kNewRoomNone events are held back
// (room/Event_Dispatch.h).
constexpr int32_t kNewRoomNone = -1;
constexpr int32_t kNewRoomEndGame = -100;  // ends the frame loop (the game ends)
constexpr int32_t kNewRoomRestart = -200;  // the game ends and starts again in the same process
constexpr int32_t kNewRoomQuit = -400;     // ends the frame loop (a fatal error: the game quits)

int32_t Run_GetNewRoom();
void Run_SetNewRoom(int32_t code);

// ---- One pass of the restart loop ----

// The run state at the start of a pass: the running flag cleared, no room change requested, the
// frame loop's state fresh (with the step limit of RUNNER_FRAMES, a positive count, when set).
void InitRunGlobals();
// Starts the game: the event object lists are built and the step counter starts at 0.
void StartGame();
// Goes to room `room` after a frame that asked for it.
void GotoRoom(int32_t room);
// Ends the game after the frame loop stopped (also after a start that failed): nothing to end
// while no room has been entered.
void EndGame();
// Frees what one pass kept: the game file path and the cached game directory.
void FreeRunGlobals();
