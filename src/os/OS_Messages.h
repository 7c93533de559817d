// The main loop's message pump, the program's quit request and the game's running flag.
//
// PumpMessages drains SDL's event queue between frames (and inside waits and long script loops):
// each event is offered first to the open modeless dialog, if any, then handed to the window
// procedure. The program's own quit request is an SDL user event: when the drain reaches it the
// running flag is cleared and the drain stops, leaving later events queued. SIGINT and SIGTERM
// (once OS_InstallQuitSignals ran) arrive as a quit request too, and stay remembered so that
// the process ends instead of restarting. Main thread only, except where noted.
#pragma once

union SDL_Event;

// Drains the event queue as above. Does nothing with the queue while the video subsystem is not
// up (no window can exist), but still honours a quit signal.
void PumpMessages();

// The process-wide running flag: the main loop goes on while it is set. It starts cleared;
// the main loop sets it when the game starts.
bool Run_IsRunning();
void Run_SetRunning(bool running);

// Posts the program's quit request at the end of the event queue. While the queue is not drained
// (no video subsystem) it is kept instead and honoured by the next PumpMessages.
void OS_PostQuitMessage();
// Drops every quit request that has not been drained (the end of a pass of the restart loop).
void OS_DiscardQuitMessages();

// Makes SIGINT and SIGTERM arrive as a quit request. Idempotent.
void OS_InstallQuitSignals();
// True once SIGINT or SIGTERM arrived (safe from any thread).
bool OS_QuitSignalled();
// Forgets a received quit signal (tests).
void OS_ClearQuitSignal();

// The window procedure: receives every drained event that is not a quit request or taken by a
// dialog. The default one turns SDL_QUIT (the last window closed, a signal SDL caught) into the
// program's quit request. Events posted while a drain runs are met by the next drain. Returns the previous one; null restores the default.
using WindowProcedure = void (*)(const SDL_Event& event);
WindowProcedure PumpMessages_SetWindowProcedure(WindowProcedure procedure);

// The open modeless dialog: while set, each event is offered to it first, and an event it
// answers true for goes no further. Null when no such dialog is open.
using DialogEventFilter = bool (*)(const SDL_Event& event);
void PumpMessages_SetDialogFilter(DialogEventFilter filter);

// Called at the start of every PumpMessages (tests count calls, move a fake clock or post a
// quit request with it). Returns the previous hook; null removes it.
using PumpMessagesHook = void (*)();
PumpMessagesHook PumpMessages_SetHook(PumpMessagesHook hook);
