// The debug state as the virtual machine and the frame read it: the debugger's state (the
// debugger link writes it; while no debugger is connected nothing here does any work), debug
// mode, the overlay's flags and measurements, the profiler switch and the watch code's strings.
// One record, g_Debug, reset by assigning a fresh one. Main thread only.
#pragma once

#include <cstdint>
#include <string>

#include "debug/Debug_Overlay.h"

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

// The debug overlay's flags word: 0x2 the overlay is shown, 0x10 the audio display.
constexpr uint32_t kDebugOverlayShown = 0x2;
constexpr uint32_t kDebugOverlayAudio = 0x10;

struct DebugState {
  DebuggerState debugger;
  // Debug mode (-debug, or the options file's "Debug" key): the game asks for the debugger.
  bool DebugMode = false;
  uint32_t DebugOverlayFlags = 0;
  // The debugger link (the options file's "NewDebugger" and "debugIP" keys): wanted or not, and
  // the host and port to reach (port 0 when none was given).
  bool NewDebugger = false;
  std::string debuggerAddress;
  int32_t debuggerPort = 0;
  DebugOverlayState overlay;
  // Whether the profiler is collecting (debug/Profiler.h).
  bool profilerActive = false;
  // The string table sent with the debugger's watch code (borrowed; see Debug_SetWatchStrings).
  const char* const* watchStrings = nullptr;
  int32_t watchStringCount = 0;
};
extern DebugState g_Debug;

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
