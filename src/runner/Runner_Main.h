// The road from a game file name to a game ready to enter its first room: finding and reading
// the game file with its options file ("options.ini") and its debug companion (".qxdebug"), the
// graphics start with the resources' textures, and the preparation chain that compiles or
// prepares every resource in a fixed order and stops at the first failure with its message.
// Main thread only.
#pragma once

#include <cstdint>

class IniFile;

// What loading keeps besides the game data itself. One record; Runner_ResetLoadState releases
// what it owns.
struct RunnerLoadState {
  // Where the game file was read from: the game's folder (true) or the save area.
  bool readFromGameFolder = true;
  // The options file beside the game file (null when there is none), kept while the game runs.
  IniFile* optionsFile = nullptr;
  // The orientations the options file allows (os_lock_orientation reads them).
  bool orientLandscape = true;
  bool orientLandscapeFlipped = true;
  bool orientPortrait = true;
  bool orientPortraitFlipped = true;
  // The first game file this process loaded (memory-manager text), for the game-switch built-in.
  char* firstGameName = nullptr;
};
extern RunnerLoadState g_RunnerLoad;

// Loads the game file named by the game file path (os/OS_Paths.h): resolves it in the game's
// folder or the save area, applies "options.ini" beside it, reads the ".qxdebug" companion when
// it is there, then reads the game file whole as the game image. Every step logs its line on
// DebugConsole. False when no game file is named (and the file dialog gives none) or the file
// cannot be read: then "Unable to find game!!: <name>" has been shown and no image is loaded.
bool RunnerLoadGame();
// Applies the options file's section "DEFAULT": the orientations, "Debug", "Trace",
// "NewDebugger" and "debugIP" (an address, optionally ':' and a port after its last ':'; a port
// turns the debugger link on). Logs "debugIP=%s Port=%d\n" when the address key is present.
void Runner_ReadIniOptions(IniFile& ini);
// The game file chosen by the player in a file dialog, or null. This runtime shows no file
// dialog (headless or not), so the answer is null: the player names the game with -game.
char* Runner_ChooseGameFile();

// The graphics start: the display mode the options ask for, the device over the main window,
// then the textures of backgrounds, sprites and fonts. False when the device cannot start.
bool Game_InitGraphics();
// The preparation chain: extensions, constants, scripts, time lines, objects, rooms and sounds,
// in that order, each logged first; the first step that fails shows its message and the answer
// is false.
bool Game_PrepareResources();

// Frees what loading kept (the options file); with `process` also the first game name.
void Runner_ResetLoadState(bool process);
