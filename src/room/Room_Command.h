// The instance and room commands: what the instance, room and game built-ins (and the action
// built-ins) do to the current room's instances and the room-change request.
//
// Main thread only: the commands change the current room's instances and the room-change request.
#pragma once

#include <cstdint>

class CInstance;

// A new instance of `objectIndex` at (x, y) in the current room, after its create event (with
// itself as other). An object that does not exist, or no current room, reports the non-fatal
// error "Creating instance for non-existing object: <object>" and gives null.
CInstance* Command_CreateInstance(int32_t objectIndex, float x, float y);
// Performs the destroy event once (i_destroydone) and marks the instance destroyed; it stays in
// its lists until the room's removal pass. Later calls do nothing. A null instance is ignored.
void Command_DestroyInstance(CInstance* instance);

// Room requests: the frame loop acts on them after the step; a later request of the same step
// overwrites an earlier one. Each room request also resets the transition kind to 0.
// Goes to `room`; a room that does not exist reports the fatal error "Unexisting room number:
// <room>" and asks the game to quit.
void Command_GotoRoom(int32_t room);
// Goes to the room after the current one in the room order; in the last room the fatal error
// "Moving to next room after the last room." asks the game to quit.
void Command_NextRoom();
// Asks for the end of the game (no change of the transition kind).
void Command_EndGame();
// The window's game-ending key (Alt+F4 in a game started by a switch with a way back): asks for
// the end of the game as Command_EndGame does.
void RequestGameEnd();
// Asks for a restart of the game (no change of the transition kind).
void Command_RestartGame();
