#include "run/Run_CommandLine.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "base/VCL.h"
#include "code/Code_Constant.h"
#include "code/Code_Error.h"
#include "code/Code_Main.h"
#include "code/VM_Exec.h"
#include "debug/Debug_State.h"
#include "extension/Extension_Main.h"
#include "option/Option_Main.h"
#include "os/OS_Paths.h"
#include "physics/Physics_Main.h"
#include "platform/MemoryManager.h"
#include "platform/cARRAY_MEMORY.h"
#include "sound/Audio_Main.h"

CommandLineOptions g_CommandLineOptions;

namespace {

constexpr char kUrlPrefix[] = "twplayer:";
constexpr size_t kUrlPrefixLength = sizeof(kUrlPrefix) - 1;
constexpr char kUrlPrefixSlashes[] = "twplayer://";
constexpr size_t kUrlPrefixSlashesLength = sizeof(kUrlPrefixSlashes) - 1;

// The tokenizer's state: the last token read (it grows with the longest token) and the
// parameter list, whose slots up to the array's length are its capacity and whose first `count`
// slots hold tokens. The list grows by doubling.
struct ParameterList {
  std::string token;
  cARRAY_MEMORY<char*> parameters;
  int32_t count = 0;
};
ParameterList g_tokens;

void AppendParameter(const std::string& token) {
  if (g_tokens.count == INT32_MAX) return;  // a text of 2 GB of separators and tokens
  if (g_tokens.count >= g_tokens.parameters.GetLength()) {
    const int32_t length = g_tokens.parameters.GetLength();
    g_tokens.parameters.SetLength(length < 16 ? 16 : (length > INT32_MAX / 2 ? INT32_MAX : length * 2));
  }
  g_tokens.parameters[g_tokens.count++] = MemoryManager::DuplicateText(token.data(), token.size());
}

void ClearParameters() {
  g_tokens.parameters.SetLength(0);
  g_tokens.count = 0;
}

// Replaces a string option by a copy of `value` (null forgets it).
void SetText(char*& slot, const char* value) {
  char* copy = MemoryManager::DuplicateText(value);
  MemoryManager::Free(slot);
  slot = copy;
}

bool IsSeparator(char c) { return static_cast<signed char>(c) < 33; }

// The next token as an option's argument: the empty text when the line has ended.
const char* ReadArgument(int64_t& position, const char* text) {
  position = TokenizeCommandLine(position, text);
  return g_tokens.token.c_str();
}

// A decimal count as C's atoi reads it, clamped to the 32-bit range instead of overflowing.
int32_t ReadCount(const char* text) {
  errno = 0;
  const long long value = std::strtoll(text, nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// A token of the URL form: one trailing '/' is removed first, then the text after "twplayer://"
// or, when the rest does not begin so, after "twplayer:" is taken.
void TakeLaunchArguments(std::string token) {
  if (token.back() == '/') token.pop_back();
  const size_t skip = token.compare(0, kUrlPrefixSlashesLength, kUrlPrefixSlashes) == 0
                          ? kUrlPrefixSlashesLength
                          : kUrlPrefixLength;
  SetText(g_CommandLineOptions.launchArguments, token.substr(skip).c_str());
}

// The options that return to their defaults at the start of every parse.
void ResetPassOptions() {
  g_Debug.DebugMode = false;
  g_Debug.DebugOverlayFlags = 0;
  g_Extensions.ExternalCallsOff = false;
  g_VM.UseVM = true;
  SoundDisabled = false;
  g_Options.InAWindow = false;
  g_CommandLineOptions.recordInput = false;
  g_CommandLineOptions.playbackInput = false;
}

}  // namespace

int64_t TokenizeCommandLine(int64_t position, const char* text) {
  g_tokens.token.clear();
  if (text == nullptr || text[position] == '\0') return position;
  while (text[position] != '\0' && IsSeparator(text[position])) ++position;
  if (text[position] == '\0') return position;
  bool quoted = false;
  for (; text[position] != '\0'; ++position) {
    const char c = text[position];
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && IsSeparator(c)) break;
    g_tokens.token.push_back(c);
  }
  AppendParameter(g_tokens.token);
  return position;
}

const char* CommandLine_LastToken() { return g_tokens.token.c_str(); }

void ParseCommandLine(const char* text) {
  ResetPassOptions();
  if (text == nullptr) return;
  ClearParameters();
  CommandLineOptions& o = g_CommandLineOptions;
  int64_t position = 0;
  while (text[position] != '\0') {
    position = TokenizeCommandLine(position, text);
    const std::string token = g_tokens.token;
    if (token == "-debug") {
      if (GetGameFilePath() == nullptr) {
        g_Debug.DebugMode = true;
        g_Debug.DebugOverlayFlags = kDebugOverlayShown;
        Physics_SetErrorHandler();
      }
    } else if (token == "-trace") {
      g_VM.trace = true;
    } else if (token == "-ext") {
      g_Extensions.ExternalCallsOff = true;
    } else if (token == "-noerrors") {
      Error_SetDialogSwitch(false);
    } else if (token == "-oldexec") {
      g_VM.UseVM = false;
    } else if (token == "-noaudio") {
      SoundDisabled = true;
    } else if (token == "-inawindow") {
      g_Options.InAWindow = true;
    } else if (token == "-game") {
      SetGameFilePath(ReadArgument(position, text));
    } else if (token == "-exit") {
      SetText(o.exitGamePath, ReadArgument(position, text));
    } else if (token == "-dir") {
      SetText(o.directory, ReadArgument(position, text));
    } else if (token == "-record") {
      o.recordInput = true;
      SetText(o.inputFile, ReadArgument(position, text));
    } else if (token == "-steam") {
      g_Extensions.ExternalCallsDisabled = 1;
    } else if (token == "-software") {
      o.softwareVertexProcessing = true;
    } else if (token == "-intel") {
      o.intelWorkarounds = true;
    } else if (token == "-audiodebug") {
      g_Debug.DebugOverlayFlags |= kDebugOverlayAudio;
    } else if (token == "-networkdebug") {
      o.networkDebug = true;
    } else if (token == "-vanillaGFX") {
      o.vanillaGraphics = true;
    } else if (token == "-playback") {
      o.playbackInput = true;
      SetText(o.inputFile, ReadArgument(position, text));
    } else if (token == "-output") {
      g_LogSettings.outputWanted = true;
      g_LogSettings.outputFile = ReadArgument(position, text);
    } else if (token == "-debugoutput") {
      g_LogSettings.debugOutputWanted = true;
      g_LogSettings.debugOutputFile = ReadArgument(position, text);
    } else if (token == "-profiledump") {
      SetText(o.profileDumpFile, ReadArgument(position, text));
      o.profileDumpCount = ReadCount(ReadArgument(position, text));
    } else if (token.compare(0, kUrlPrefixLength, kUrlPrefix) == 0) {
      TakeLaunchArguments(token);
    }
  }
}

int32_t CommandLine_ParameterCount() { return g_tokens.count; }

const char* CommandLine_Parameter(int32_t index) {
  if (index < 0 || index >= g_tokens.count) return nullptr;
  return g_tokens.parameters[index];
}

void CommandLine_Reset() {
  g_tokens = ParameterList{};
  CommandLineOptions& o = g_CommandLineOptions;
  for (char** text : {&o.directory, &o.exitGamePath, &o.inputFile, &o.profileDumpFile, &o.launchArguments}) {
    MemoryManager::Free(*text);
  }
  o = CommandLineOptions{};
  ResetPassOptions();
  g_VM.trace = false;
  Error_SetDialogSwitch(true);
  g_Extensions.ExternalCallsDisabled = 0;
  g_LogSettings = LogSettings{};
}

std::string CommandLine_Join(int argc, const char* const* argv) {
  std::string line;
  for (int i = 0; i < argc; ++i) {
    if (argv[i] == nullptr) continue;
    if (!line.empty()) line.push_back(' ');
    line.push_back('"');
    for (const char* p = argv[i]; *p != '\0'; ++p) {
      if (*p != '"') line.push_back(*p);
    }
    line.push_back('"');
  }
  return line;
}
