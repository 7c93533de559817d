// The restart loop: the process's life after the entry point has made its command line.
//
// Each pass locates the game data file ("data.win" beside the executable, unless -game names
// another), parses the command line, starts the game, runs the frame loop until the game stops,
// shuts everything down and either ends or, after a game switch, runs again with the command line
// the switch wrote, in the same process. Every pass ends with Runtime_Reset (run/Runtime_Reset.h),
// so nothing a pass made outlives it but what the restart loop hands on. Main thread only.
#pragma once

// Runs passes of the restart loop over `commandLine` (UTF-8; a copy is kept) until one ends
// without a game switch, then answers the process's exit status: 0, or 1 when the last pass's
// game could not be started. MoveAtNamedFiles runs once in the current directory first.
int RunRestartLoop(const char* commandLine);

// The command line of the next pass (a copy sized for the text is kept).
void Runner_SetCommandLine(const char* commandLine);
const char* Runner_GetCommandLine();
// Asks for one more pass of the restart loop.
void Runner_RequestRestart();
// True until the end of the process's first pass.
bool Runner_IsFirstPass();
