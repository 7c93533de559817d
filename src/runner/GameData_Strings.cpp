#include "runner/GameData_Strings.h"

#include <cstring>

#include "platform/NameTable.h"

namespace {
const uint8_t* g_Data = nullptr;
uint64_t g_DataSize = 0;
const uint32_t* g_Entries = nullptr;
int32_t g_Count = 0;

// The runtime part: owned copies of the texts, hashed so that an equal text added before is
// found.
NameTable g_RuntimeTexts;

void FreeRuntime() { g_RuntimeTexts.FreeAll(); }
}  // namespace

void StringTable_Set(const uint8_t* data, uint64_t dataSize, const uint32_t* entries, int32_t count) {
  // Runtime indexes count from the game's entries: a new table makes them meaningless.
  FreeRuntime();
  g_Data = data;
  g_DataSize = data != nullptr ? dataSize : 0;
  g_Entries = entries;
  g_Count = entries != nullptr && count > 0 ? count : 0;
}

void StringTable_Clear() { StringTable_Set(nullptr, 0, nullptr, 0); }

int32_t StringTable_Count() { return g_Count; }

bool StringTable_Get(int32_t index, const char** text) {
  if (index < 0) return false;
  if (index >= g_Count) {
    const int64_t n = static_cast<int64_t>(index) - g_Count;
    if (n >= g_RuntimeTexts.Count()) return false;
    *text = g_RuntimeTexts.Name(static_cast<int32_t>(n));
    return true;
  }
  uint32_t offset;
  std::memcpy(&offset, &g_Entries[index], sizeof(offset));
  if (offset == 0) {
    *text = nullptr;
    return true;
  }
  // The text starts after the length word and must end with a NUL inside the data.
  const uint64_t start = static_cast<uint64_t>(offset) + 4;
  if (start >= g_DataSize) return false;
  const void* nul = std::memchr(g_Data + start, 0, static_cast<size_t>(g_DataSize - start));
  if (nul == nullptr) return false;
  *text = reinterpret_cast<const char*>(g_Data + start);
  return true;
}

int32_t Strings_AddRuntime(const char* text) {
  if (text == nullptr) text = "";
  const int32_t found = g_RuntimeTexts.FindFirst(text);
  if (found >= 0) return g_Count + found;
  // Every index must stay within 32 bits.
  if (static_cast<int64_t>(g_Count) + g_RuntimeTexts.Count() >= INT32_MAX || g_RuntimeTexts.Count() >= (1 << 28)) {
    return -1;
  }
  return g_Count + g_RuntimeTexts.Add(text);
}

int32_t Strings_RuntimeCount() { return g_RuntimeTexts.Count(); }
