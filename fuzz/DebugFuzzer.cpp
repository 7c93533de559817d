// libFuzzer harness for a game file with its debug companion: the input is a 32-bit
// little-endian length n, n bytes of game data file and then the companion file. The game is
// loaded, the companion read, and for every code entry the lookups an error report makes are
// run at every instruction offset and a few outside the code: the line-table entry, the source
// line with its line marker, and the line's text.
#include <climits>
#include <vector>

#include "FuzzCommon.h"
#include "code/Code_Main.h"
#include "code/VM_LineInfo.h"
#include "runner/GameData.h"
#include "runner/GameData_Code.h"

namespace {

void Lookups(CCode* code) {
  const int32_t size = code->m_code != nullptr ? code->m_code->m_size : 0;
  std::vector<int32_t> offsets = {-4, size, size + 4, INT32_MAX};
  for (int32_t pc = 0; pc < size && offsets.size() < 1024; pc += 4) offsets.push_back(pc);
  for (int32_t pc : offsets) {
    VMLineEntry entry{};
    const VMLineEntry* found = FindLineEntry(code->m_lineInfo, pc, &entry) ? &entry : nullptr;
    char* name = nullptr;
    FindSourceLine(found, code->m_source, &name);
    MemoryManager::Free(name);
    SourceLineText(found, code->m_source);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint32_t gameSize = static_cast<uint32_t>(in.Int());
  const std::string game = in.Bytes(gameSize);
  const std::string debug = in.Rest();
  try {
    if (GameData_LoadImage(reinterpret_cast<const uint8_t*>(game.data()), game.size()) && GameData_ScanHeader() &&
        LoadGameData() && GameData_LoadDebugImage(reinterpret_cast<const uint8_t*>(debug.data()), debug.size()) &&
        DebugFile_ProcessChunks()) {
      for (int32_t i = 0; i < CodeEntryCount(); ++i) {
        CCode* code = CCode::CCodeFromIndex(i, false);
        Lookups(code);
        delete code;
      }
    }
  } catch (const fuzz::FatalExit&) {
  }
  GameData_Free();
  return 0;
}
