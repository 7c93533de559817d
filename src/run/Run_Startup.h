// Starting and stopping one pass of the restart loop: the process-level initialisation, the
// start-up sequence that loads the game, opens the window and the graphics device and prepares
// every resource, the shutdown of everything the pass made, and the game switch that turns into
// the next pass's command line. Every start-up step writes its name on DebugConsole, which gives
// a fixed start-up log. Main thread only.
#pragma once

// Process-level initialisation of one pass: the built-in image table, the clock, the platform's
// user-interface services, the CRC table, the temporary directory, the built-in constants, the
// run state, the built-in variables, the high-score table and the deferred instance queues; then
// pumps the messages once. Returns true.
bool InitRunner();
// The start-up sequence: the banner, the game file (RunnerLoadGame), the header pass with the
// built-in registration, the window, the graphics device, messages, the first frame, the virtual
// machine, then PrepareGame. False when the game could not be loaded, its graphics could not
// start or PrepareGame failed (each has shown or logged why); the running flag is then clear.
bool StartRunner();
// Seeds the C library's generator with 2101988, runs the main pass over the game data ("Failed to
// load the game\n" when it fails), makes the global variables, runs the preparation chain and
// starts the game with Run_Start. False at the first failure.
bool PrepareGame();
// Enters the main loop state: sets the running flag (starting the game when it was clear),
// clears the debugger-paused flag and resets the frame pacing (EnterMainLoop).
void Run_Start();
// Finalises every manager the pass filled, in a fixed order, then destroys the main window and
// stops the platform services.
void ShutdownRunner();

// A game switch asked for by the running game: the game file to start next, the game to come
// back to when that one ends (null for none) and the save area for the started game (null: it
// computes its own). Copies are kept until HandleGameSwitch consumes them.
void Run_RequestGameSwitch(const char* target, const char* exitBackPath, const char* saveDirectory);
// True while a game switch is pending (the frame loop then stops the game).
bool Run_GameSwitchPending();
// True while the game running was started by a switch with a path to come back to.
bool Run_SwitchedWithExitBack();

// After a pass: a pending switch becomes the command line -game "<target>" (with
// -exit "<exit-back path>" when there is one, also printed on standard output), and a game started
// with -exit goes back to that game with -game "<path>". Either sets the restart flag. Otherwise
// nothing happens.
void HandleGameSwitch();
// Forgets a pending switch and the exit-back state (tests; the end of the process).
void Run_ClearGameSwitch();
