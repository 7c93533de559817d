// The game's global options, read from the options chunk ("OPTN") of the game data: window and
// display behaviour, the audio engine, how run-time errors and uninitialised variables are
// treated, and the game's own named constants. The main pass resets them (Option_Reset) before it
// reads any chunk, so a game without an options chunk runs with the defaults.
#pragma once

#include <cstdint>

#include "platform/cARRAY_MEMORY.h"

class BoundedReader;

// The game's options: one record, reset by assigning a fresh one. The uninitialised-variable
// option is read here by the variable store and the interpreters, the every-error-aborts option
// by the error reporting; nothing keeps a copy of either.
struct OptionState {
  // Set by the command line's -inawindow: full screen is forced off while the options are read.
  bool InAWindow = false;
  // The audio engine: the newer one when set. Not reset with the other options (off at start).
  bool UseNewAudio = false;

  bool fullScreen = false;
  bool showCursor = true;
  int32_t windowColour = 0xFFFFFF;
  bool changeDisplayMode = false;
  int32_t colourDepth = 0;   // 1 = 16 bits, 2 = 32 bits, other = unchanged
  int32_t resolution = 0;    // 1..6 = 320x240 .. 1600x1200, other = unchanged
  int32_t frequency = 0;     // 1..5 = 60, 70, 85, 100, 120 Hz, other = unchanged
  bool altEnterFullScreen = true;
  bool freezeWhenInactive = false;
  bool allErrorsAbort = false;          // every run-time error ends the game
  bool uninitialisedVariables = false;  // reading a variable never set is an error
  int32_t versionMajor = 0;  // from the constant "VersionMajor"
  int32_t versionMinor = 0;  // from the constant "VersionMinor"

  // The game's constants: slot i of both arrays is constant i (memory-manager strings; a slot may
  // be null). Constants keep the file's order; two of the same name are both kept.
  int32_t OptionConstantCount = 0;
  cARRAY_MEMORY<char*> OptionConstantNames;
  cARRAY_MEMORY<char*> OptionConstantValues;
};
extern OptionState g_Options;

// Restores every option to its default and releases the constants; InAWindow and UseNewAudio
// keep their values. (Assigning OptionState{} resets those too.)
void Option_Reset();

// Reads the options chunk. False, with every option left at its reset value, when a chunk of the
// newer layout carries a layout number other than 2. A chunk that does not hold what it claims
// (too short, a constant table past its end, a name outside the image or without its NUL) marks
// `chunk` as failed; the caller refuses the file then.
bool Option_LoadChunk(BoundedReader& chunk);
