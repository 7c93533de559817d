// The code chunk and the binding of variable and function references.
//
// Every instruction that names a variable or calls a function was written with a placeholder
// operand word: the distance, in bytes, to the next instruction that refers to the same name.
// The variable and function chunks give, per name, the number of referring instructions and the
// image offset of the first; binding walks that chain and writes the runtime's id into each
// operand word in place. Before a word is touched, the referring instruction and its operand
// must lie on an instruction boundary inside one code entry, and no chunk may claim more
// references than the code has room for, so a corrupt chain can neither leave the code nor run
// for ever.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/VCL.h"
#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "code/VM_Format.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"
#include "runner/GameData.h"
#include "runner/GameData_Code.h"
#include "variable/Variable_Names.h"

namespace {

// A referring instruction is a word followed by its 4-byte operand word.
constexpr uint64_t kReferenceSize = 8;
constexpr uint64_t kBindEntrySize = 12;
constexpr uint32_t kVariableKeptBits = 0xE0000000u;

// True when the referring instruction at image offset `position` and its operand word lie on an
// instruction boundary inside one code entry's instructions.
bool InsideCode(int64_t position) {
  if (position < 0 || g_GameData.codeRangeCount == 0) return false;
  const uint64_t p = static_cast<uint64_t>(position);
  const GameCodeRange* first = g_GameData.codeRanges;
  const GameCodeRange* last = g_GameData.codeRanges + g_GameData.codeRangeCount;
  const GameCodeRange* after =
      std::upper_bound(first, last, p, [](uint64_t value, const GameCodeRange& r) { return value < r.begin; });
  if (after == g_GameData.codeRanges) return false;
  const GameCodeRange& range = after[-1];
  return p <= range.end && kReferenceSize <= range.end - p && (p - range.begin) % 4 == 0;
}

// An unknown name ends the process, as every binding failure of a well-formed file does.
[[noreturn]] void FailOnLoad(const char* format, const char* name) {
  char text[1024];
  std::snprintf(text, sizeof(text), format, name != nullptr ? name : "");
  ShowRuntimeError(text, true);
  ExitProcessWith(1);
}

// Binds the chains of a variable or function chunk. `resolve` turns a name into the id written
// in place, or a negative number; `fatalFormat` reports a name it does not know.
template <typename Resolve, typename Patch, typename Step>
bool BindChains(BoundedReader& chunk, const char* what, const char* fatalFormat, Resolve resolve, Patch patch,
                Step step) {
  if (chunk.Size() % kBindEntrySize != 0) {
    DebugConsole->Output("Game data: the %s chunk's %llu bytes are not a whole number of %llu-byte entries\n", what,
                         static_cast<unsigned long long>(chunk.Size()), static_cast<unsigned long long>(kBindEntrySize));
    return false;
  }
  // No instruction refers to two names, so the chains together hold at most one link per
  // 8 bytes of code.
  uint64_t linksLeft = g_GameData.codeBytes / kReferenceSize;
  BoundedReader image = chunk.At(0, chunk.ImageSize());
  const uint64_t entries = chunk.Size() / kBindEntrySize;
  for (uint64_t e = 0; e < entries; ++e) {
    uint32_t nameOffset = 0, first = 0;
    int32_t count = 0;
    chunk.U32(&nameOffset);
    chunk.I32(&count);
    chunk.U32(&first);
    const char* name;
    if (!chunk.TextAt(nameOffset, &name)) {
      DebugConsole->Output("Game data: the name of %s %llu lies outside the file or has no end\n", what,
                           static_cast<unsigned long long>(e));
      return false;
    }
    const int32_t id = resolve(name);
    if (id < 0) FailOnLoad(fatalFormat, name);
    if (count <= 0) continue;
    if (static_cast<uint64_t>(count) > linksLeft) {
      DebugConsole->Output("Game data: %s %s claims %d references, more than the code holds\n", what,
                           name != nullptr ? name : "", count);
      return false;
    }
    linksLeft -= static_cast<uint64_t>(count);
    int64_t position = first;
    for (int32_t link = 0; link < count; ++link) {
      if (!InsideCode(position)) {
        DebugConsole->Output("Game data: reference %d to %s %s (offset %lld) lies outside the code\n", link, what,
                             name != nullptr ? name : "", static_cast<long long>(position));
        return false;
      }
      const uint64_t operand = static_cast<uint64_t>(position) + 4;
      uint32_t word = 0;
      image.ReadAt(operand, &word);
      image.WriteAt(operand, patch(word, id));
      position += step(word);
    }
  }
  return true;
}

}  // namespace

bool Code_Load(BoundedReader& chunk) {
  GameData_FreeCodeTables();
  GameDataState& g = g_GameData;
  uint32_t count = 0;
  if (!chunk.U32(&count) || count > INT32_MAX || !chunk.Fits(count, 4)) {
    DebugConsole->Output("Game data: the code chunk holds fewer entries than its count %u\n", count);
    return false;
  }
  if (static_cast<uint64_t>(count) * sizeof(GameCodeEntry) > INT32_MAX) {
    DebugConsole->Output("Game data: the code chunk's %u entries are too many to hold\n", count);
    return false;
  }
  if (count > 0) {
    g.codeEntries = MemoryManager::AllocArray<GameCodeEntry>(count, __FILE__, __LINE__);
    g.codeRanges = MemoryManager::AllocArray<GameCodeRange>(count, __FILE__, __LINE__);
  }
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t offset = 0, nameOffset = 0, length = 0;
    chunk.ReadAt(4 + 4ull * i, &offset);
    if (offset == 0) continue;  // an empty slot keeps its index
    BoundedReader entry = chunk.At(offset, 8);
    entry.U32(&nameOffset);
    entry.U32(&length);
    const char* name = nullptr;
    const uint64_t begin = offset + 8ull;
    if (!entry.Ok() || !chunk.TextAt(nameOffset, &name) || length > INT32_MAX || !chunk.ImageHas(begin, length)) {
      DebugConsole->Output("Game data: code entry %u lies outside the file\n", i);
      GameData_FreeCodeTables();
      return false;
    }
    g.codeEntries[i].name = name;
    g.codeEntries[i].words = reinterpret_cast<const uint32_t*>(g.GameImage + begin);
    g.codeEntries[i].lengthBytes = static_cast<int32_t>(length);
    if (length > 0) {
      g.codeRanges[g.codeRangeCount++] = {begin, begin + length};
      g.codeBytes += length;
    }
  }
  std::sort(g.codeRanges, g.codeRanges + g.codeRangeCount,
            [](const GameCodeRange& a, const GameCodeRange& b) { return a.begin < b.begin; });
  g.codeCount = static_cast<int32_t>(count);
  g.codePresent = g.codeEntries != nullptr;
  return true;
}

void GameData_FreeCodeTables() {
  GameDataState& g = g_GameData;
  MemoryManager::Free(g.codeEntries);
  MemoryManager::Free(g.codeRanges);
  g.codeEntries = nullptr;
  g.codeCount = 0;
  g.codePresent = false;
  g.codeRanges = nullptr;
  g.codeRangeCount = 0;
  g.codeBytes = 0;
}

bool VARI_Load(BoundedReader& chunk) {
  return BindChains(
      chunk, "variable", "Error on load\nUnable to find variable %s\n",
      [](const char* name) { return GetVariableId(name); },
      // The top three bits belong to the instruction; the id goes into the other 29.
      [](uint32_t word, int32_t id) {
        return (word & kVariableKeptBits) | (static_cast<uint32_t>(id) & ~kVariableKeptBits);
      },
      // The distance is the low 29 bits as a signed number.
      [](uint32_t word) -> int64_t { return num::ShiftRight32(num::ShiftLeft32(static_cast<int32_t>(word), 3), 3); });
}

bool GameData_BindFunctions(BoundedReader& chunk) {
  return BindChains(
      chunk, "function", "Error on load\nUnable to find function %s\n",
      [](const char* name) {
        int32_t callNumber = -1;
        FindFunctionIndex(name, &callNumber);
        return callNumber;
      },
      [](uint32_t, int32_t callNumber) { return static_cast<uint32_t>(callNumber); },
      [](uint32_t word) -> int64_t { return static_cast<int32_t>(word); });
}

int32_t GameData_NextInstruction(const GameCodeEntry* entry, int32_t position) {
  if (entry == nullptr || entry->words == nullptr) return 0;
  const int64_t length = entry->lengthBytes;
  if (position < 0 || static_cast<int64_t>(position) + 4 > length) return entry->lengthBytes;
  uint32_t word;
  std::memcpy(&word, reinterpret_cast<const uint8_t*>(entry->words) + position, sizeof(word));
  int64_t next = static_cast<int64_t>(position) + 4;
  if (IsOperandForm(WordOpcode(word))) next += VMTypeSize(WordT1(word));
  return static_cast<int32_t>(std::min<int64_t>(next, INT32_MAX));
}

int32_t GameData_CodeEntrySize(const GameCodeEntry* entry) {
  if (entry == nullptr || entry->words == nullptr) return 0;
  int32_t position = 0;
  while (position < entry->lengthBytes) position = GameData_NextInstruction(entry, position);
  return position;
}
