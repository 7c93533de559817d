// The debugger's state as the virtual machine reads it. The debugger link writes it; while no
// debugger is connected nothing here does any work.
#pragma once

#include <cstdint>

struct DebuggerState {
  bool connected = false;       // a debugger is attached
  int64_t lastPollTime = 0;     // microseconds (Timing_GetMicroseconds) of the last poll
  int32_t stepKind = -1;        // -1: not stepping; 0: step into; 1: step over; 2: step out
  bool breakRequest = false;    // stop at the next instruction
  // Where the last stop happened.
  const char* stopSource = nullptr;
  int32_t stopLine = -1;
  int32_t stopCallDepth = 0;
};
extern DebuggerState g_Debugger;

// Debug mode (-debug, or the options file's "Debug" key): the game asks for the debugger.
extern bool DebugMode;
// The debug overlay's flags word: 0x2 the overlay is shown, 0x10 the audio display.
constexpr uint32_t kDebugOverlayShown = 0x2;
constexpr uint32_t kDebugOverlayAudio = 0x10;
extern uint32_t DebugOverlayFlags;

// Services the debugger link between frames; nothing while no debugger is connected.
void DebuggerFrame();
// Holds the game while it is paused at a stop, until it is resumed or a step is asked for;
// returns at once while no debugger is connected.
void Debug_PauseLoop();

// The string table sent with the debugger's watch code (push of type 7 reads it). The texts are
// borrowed and must outlive their use; an empty table by default.
void Debug_SetWatchStrings(const char* const* texts, int32_t count);
// Entry `index`, or false when there is no such entry.
bool Debug_GetWatchString(int32_t index, const char** text);
