// The game's global options, read from the options chunk ("OPTN") of the game data: window and
// display behaviour, the audio engine, how run-time errors and uninitialised variables are
// treated, and the game's own named constants. The main pass resets them (Option_Reset) before it
// reads any chunk, so a game without an options chunk runs with the defaults.
#pragma once

#include <cstdint>

#include "platform/cARRAY_MEMORY.h"

class BoundedReader;

// Set by the command line's -inawindow: full screen is forced off while the options are read.
extern bool InAWindow;

// The audio engine: the newer one when set. Not reset with the other options (off at start).
extern bool UseNewAudio;

extern bool Option_FullScreen;            // default off
extern bool Option_ShowCursor;            // default on
extern int32_t Option_WindowColour;       // default 0xFFFFFF
extern bool Option_ChangeDisplayMode;     // default off
extern int32_t Option_ColourDepth;        // 1 = 16 bits, 2 = 32 bits, other = unchanged
extern int32_t Option_Resolution;         // 1..6 = 320x240 .. 1600x1200, other = unchanged
extern int32_t Option_Frequency;          // 1..5 = 60, 70, 85, 100, 120 Hz, other = unchanged
extern bool Option_AltEnterFullScreen;    // default on
extern bool Option_FreezeWhenInactive;    // default off
extern bool Option_AllErrorsAbort;        // default off; the error reporting reads it
extern bool Option_UninitialisedVariables;  // default off (mirrored into the variable store)
extern int32_t Option_VersionMajor;       // from the constant "VersionMajor", default 0
extern int32_t Option_VersionMinor;       // from the constant "VersionMinor", default 0

// The game's constants: slot i of both arrays is constant i (memory-manager strings; a slot may
// be null). Constants keep the file's order; two of the same name are both kept.
extern int32_t OptionConstantCount;
extern cARRAY_MEMORY<char*> OptionConstantNames;
extern cARRAY_MEMORY<char*> OptionConstantValues;

// Restores every option to its default and releases the constants.
void Option_Reset();

// Reads the options chunk. False, with every option left at its reset value, when a chunk of the
// newer layout carries a layout number other than 2. A chunk that does not hold what it claims
// (too short, a constant table past its end, a name outside the image or without its NUL) marks
// `chunk` as failed; the caller refuses the file then.
bool Option_LoadChunk(BoundedReader& chunk);
