#include "runner/GameData_Strings.h"

#include <cstring>

#include "platform/NameTable.h"

namespace {
// The installed table (borrowed) and the runtime part.
struct StringTableState {
  const uint8_t* data = nullptr;
  uint64_t dataSize = 0;
  const uint32_t* entries = nullptr;
  int32_t count = 0;
  // The runtime part: owned copies of the texts, hashed so that an equal text added before is
  // found.
  NameTable runtimeTexts;
};
StringTableState g_strings;

// Releases the runtime part and forgets the installed table.
void FreeAll() {
  g_strings.runtimeTexts.FreeAll();
  g_strings = StringTableState{};
}
}  // namespace

void StringTable_Set(const uint8_t* data, uint64_t dataSize, const uint32_t* entries, int32_t count) {
  // Runtime indexes count from the game's entries: a new table makes them meaningless.
  FreeAll();
  g_strings.data = data;
  g_strings.dataSize = data != nullptr ? dataSize : 0;
  g_strings.entries = entries;
  g_strings.count = entries != nullptr && count > 0 ? count : 0;
}

void StringTable_Clear() { StringTable_Set(nullptr, 0, nullptr, 0); }

int32_t StringTable_Count() { return g_strings.count; }

bool StringTable_Get(int32_t index, const char** text) {
  if (index < 0) return false;
  if (index >= g_strings.count) {
    const int64_t n = static_cast<int64_t>(index) - g_strings.count;
    if (n >= g_strings.runtimeTexts.Count()) return false;
    *text = g_strings.runtimeTexts.Name(static_cast<int32_t>(n));
    return true;
  }
  uint32_t offset;
  std::memcpy(&offset, &g_strings.entries[index], sizeof(offset));
  if (offset == 0) {
    *text = nullptr;
    return true;
  }
  // The text starts after the length word and must end with a NUL inside the data.
  const uint64_t start = static_cast<uint64_t>(offset) + 4;
  if (start >= g_strings.dataSize) return false;
  const void* nul = std::memchr(g_strings.data + start, 0, static_cast<size_t>(g_strings.dataSize - start));
  if (nul == nullptr) return false;
  *text = reinterpret_cast<const char*>(g_strings.data + start);
  return true;
}

int32_t Strings_AddRuntime(const char* text) {
  if (text == nullptr) text = "";
  const int32_t found = g_strings.runtimeTexts.FindFirst(text);
  if (found >= 0) return g_strings.count + found;
  // Every index must stay within 32 bits.
  if (static_cast<int64_t>(g_strings.count) + g_strings.runtimeTexts.Count() >= INT32_MAX ||
      g_strings.runtimeTexts.Count() >= (1 << 28)) {
    return -1;
  }
  return g_strings.count + g_strings.runtimeTexts.Add(text);
}

int32_t Strings_RuntimeCount() { return g_strings.runtimeTexts.Count(); }
