// The command line: the tokenizer, the parser that turns the tokens into option state, and the
// list of every token read, in order, for the parameter built-ins.
//
// The command line is one UTF-8 text (the entry point joins the program's arguments, each in
// double quotes). It is parsed at every pass of the restart loop, so a command line rewritten by
// a game switch takes effect on the next pass. Options whose state belongs to another module set
// it there (the virtual machine's trace and engine switches, the error dialog switch, the log
// files, the in-a-window option, sound off, external calls off, debug mode and the overlay flags,
// the game file path); the rest is kept in `g_CommandLineOptions`. Main thread only.
#pragma once

#include <cstdint>
#include <string>

// Option state with no other home. Strings are memory-manager texts, null when not given.
struct CommandLineOptions {
  char* directory = nullptr;         // -dir (stored; nothing reads it)
  char* exitGamePath = nullptr;      // -exit: the game to go back to when this one ends
  bool recordInput = false;          // -record
  bool playbackInput = false;        // -playback
  char* inputFile = nullptr;         // the file of -record or -playback (one name for both)
  bool softwareVertexProcessing = false;  // -software
  bool intelWorkarounds = false;     // -intel: both graphics workarounds on
  bool vanillaGraphics = false;      // -vanillaGFX: no automatic detection of workarounds
  bool networkDebug = false;         // -networkdebug: socket traffic is logged
  char* profileDumpFile = nullptr;   // -profiledump: the profiler's dump file
  int32_t profileDumpCount = 0;      //   and its count
  char* launchArguments = nullptr;   // the text of a "twplayer:" token
};
extern CommandLineOptions g_CommandLineOptions;

// Reads the next token of `text` from byte `position` into the token buffer, appends a copy of
// it to the parameter list and answers the position of the byte that ended it. Bytes that read
// below 33 as signed 8-bit numbers (control characters, space, every byte from 0x80) separate
// tokens; a double quote toggles quoting and is dropped, and inside quotes every byte is kept.
// At the end of the text (or with a null text) the token is empty, nothing is appended and the
// position comes back unchanged or at the end.
int64_t TokenizeCommandLine(int64_t position, const char* text);
// The token read last (empty when the last call found none).
const char* CommandLine_LastToken();

// Restores the options that do not outlive a pass, then, for a non-null text, empties the
// parameter list and acts on every token in order. Unknown tokens are kept in the list and
// otherwise ignored; an option's missing argument reads as the empty text.
void ParseCommandLine(const char* text);

// The parameter list: every token of the last parse, the program path first.
int32_t CommandLine_ParameterCount();
// Token `index`, or null outside 0 .. count - 1.
const char* CommandLine_Parameter(int32_t index);

// Frees the parameter list and every string of g_CommandLineOptions, and puts every option back
// to its start value (tests; the end of the process).
void CommandLine_Reset();

// The one command-line text made from the program's arguments: each argument in double quotes,
// separated by spaces. Double quotes inside an argument are dropped (a token never holds one), so
// every argument reads back as exactly one token.
std::string CommandLine_Join(int argc, const char* const* argv);
