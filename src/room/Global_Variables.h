// The game-wide built-in variables' own piece: the working directory that `working_directory`
// reads, derived once per run from the game data file's path. The variables themselves are
// registered by RegisterGlobalVariables (room/Instance_Variables.h). Main thread only.
#pragma once

// The number of game-wide variables RegisterGlobalVariables registers (before the platform
// variables).
constexpr int kGlobalVariableCount = 116;

// Derives the working directory from the game data file's path (os/OS_Paths.h), unless it is
// set already: everything up to and including the path's last '/' (with none, its last '\'); a
// path with neither, or no path, gives the empty text. A directory that is not empty is logged
// on DebugConsole between two rows of 73 '#': "####!!!!$$$$$$ pwd - <directory>".
void InitWorkingDirectory();
