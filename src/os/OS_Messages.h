// The main loop's message pump and the game's running flag.
#pragma once

// Drains the window's event queue; a quit message clears the running flag. Does nothing while
// the video subsystem is not up (no window yet).
void PumpMessages();

// The process-wide running flag: the main loop goes on while it is set. It starts cleared;
// the main loop sets it when the game starts.
bool Run_IsRunning();
void Run_SetRunning(bool running);

// Called at the start of every PumpMessages (tests count calls or move a fake clock with it).
// Returns the previous hook; null removes it.
using PumpMessagesHook = void (*)();
PumpMessagesHook PumpMessages_SetHook(PumpMessagesHook hook);
