// libFuzzer harness for the game-data loader: every input is taken as a game data file and run
// through the whole load path (the image, the first pass, the main pass with its binding), the
// code entries it accepted are translated into decoded steps, then all is released, so that many
// files load one after the other in one process.
//
// A bad file must be refused, never read or written outside its image. The loader ends the
// process on a few fatal errors (an unresolvable name, running out of memory); here that exit
// throws back into the harness instead, and message boxes are answered at once.
#include "FuzzCommon.h"
#include "code/VM_Decoded.h"
#include "runner/GameData.h"
#include "runner/GameData_Code.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    if (GameData_LoadImage(data, size) && GameData_ScanHeader() && LoadGameData()) {
      for (int32_t i = 0; i < CodeEntryCount(); ++i) {
        const GameCodeEntry* entry = GameData_GetCodeEntry(i);
        VMDecoded decoded;
        VMTranslate(entry->words, entry->lengthBytes, &decoded);
        decoded.steps.Free();
        decoded.stepAt.Free();
      }
    }
  } catch (const fuzz::FatalExit&) {
    // The process would have ended here; the next input starts from a released loader.
  }
  GameData_Free();
  return 0;
}
