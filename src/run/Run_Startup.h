// Starting and stopping one pass of the restart loop: the process-level initialisation, the
// start of the game, the shutdown of everything the pass made, and the game switch that turns
// into the next pass's command line. Main thread only.
#pragma once

// Process-level initialisation of one pass: the built-in image table, the clock, the platform's
// user-interface services and the run state; then pumps the messages once. Returns true.
bool InitRunner();
// Loads the game file (the game file path of OS_Paths) and starts the game, which sets the running
// flag. When the game cannot be loaded a message says so and the answer is false (the running
// flag stays clear).
bool StartRunner();
// Enters the main loop state: sets the running flag.
void Run_Start();
// Frees what the pass loaded, destroys the main window and stops the platform services.
void ShutdownRunner();

// A game switch asked for by the running game: the game file to start next, the game to come
// back to when that one ends (null for none) and the save area for the started game (null: it
// computes its own). Copies are kept until HandleGameSwitch consumes them.
void Run_RequestGameSwitch(const char* target, const char* exitBackPath, const char* saveDirectory);
// True while the game running was started by a switch with a path to come back to.
bool Run_SwitchedWithExitBack();

// After a pass: a pending switch becomes the command line -game "<target>" (with
// -exit "<exit-back path>" when there is one, also printed on standard output), and a game started
// with -exit goes back to that game with -game "<path>". Either sets the restart flag. Otherwise
// nothing happens.
void HandleGameSwitch();
// Forgets a pending switch and the exit-back state (tests; the end of the process).
void Run_ClearGameSwitch();
