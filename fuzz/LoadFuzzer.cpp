// libFuzzer harness for the game-data loader: every input is taken as a game data file and run
// through the whole load path (the image, the first pass, the main pass with its binding), then
// released, so that many files load one after the other in one process.
//
// A bad file must be refused, never read or written outside its image. The loader ends the
// process on a few fatal errors (an unresolvable name, running out of memory); here that exit
// throws back into the harness instead, and message boxes are answered at once.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/VCL.h"
#include "code/Code_Error.h"
#include "os/MessageBox.h"
#include "platform/MemoryManager.h"
#include "runner/GameData.h"

namespace {

struct FatalExit {
  int status;
};

void ThrowingExit(int status) { throw FatalExit{status}; }

MessageBoxAnswer AnswerAtOnce(const std::string&, const std::string&, MessageBoxKind kind) {
  return OS_DefaultAnswer(kind);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("RUNNER_HEADLESS", "1", 1);
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("ALSOFT_DRIVERS", "null", 0);
  // To see what the loader says about an input, run it with FUZZ_LOG=file.
  if (const char* log = getenv("FUZZ_LOG")) {
    g_LogSettings.debugOutputWanted = g_LogSettings.outputWanted = true;
    g_LogSettings.debugOutputFile = g_LogSettings.outputFile = log;
  }
  SetProcessExit(&ThrowingExit);
  Code_InstallErrorReporter();
  OS_SetMessageBoxResponder(&AnswerAtOnce);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    if (GameData_LoadImage(data, size) && GameData_ScanHeader()) (void)LoadGameData();
  } catch (const FatalExit&) {
    // The process would have ended here; the next input starts from a released loader.
  }
  GameData_Free();
  return 0;
}
