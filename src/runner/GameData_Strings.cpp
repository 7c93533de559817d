#include "runner/GameData_Strings.h"

#include <cstring>

#include "platform/MemoryManager.h"

namespace {
// The installed table (borrowed) and the runtime part: owned copies of the texts, and an
// open-addressing hash of their positions (position + 1; 0 marks a free slot) that finds an
// equal text already added.
struct StringTableState {
  const uint8_t* data = nullptr;
  uint64_t dataSize = 0;
  const uint32_t* entries = nullptr;
  int32_t count = 0;

  char** runtimeTexts = nullptr;
  int32_t runtimeCount = 0;
  int32_t runtimeCapacity = 0;
  int32_t* runtimeSlots = nullptr;
  uint32_t runtimeSlotCount = 0;  // a power of two, or 0
};
StringTableState g_strings;

uint32_t HashText(const char* text) {
  uint32_t hash = 2166136261u;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    hash = (hash ^ *p) * 16777619u;
  }
  return hash;
}

// Releases the runtime part and forgets the installed table.
void FreeAll() {
  for (int32_t i = 0; i < g_strings.runtimeCount; ++i) MemoryManager::Free(g_strings.runtimeTexts[i]);
  MemoryManager::Free(g_strings.runtimeTexts);
  MemoryManager::Free(g_strings.runtimeSlots);
  g_strings = StringTableState{};
}

// Rebuilds the hash with `slotCount` slots.
void RehashRuntime(uint32_t slotCount) {
  MemoryManager::Free(g_strings.runtimeSlots);
  g_strings.runtimeSlots = static_cast<int32_t*>(
      MemoryManager::Alloc(slotCount * static_cast<uint32_t>(sizeof(int32_t)), __FILE__, __LINE__, true));
  g_strings.runtimeSlotCount = slotCount;
  for (int32_t i = 0; i < g_strings.runtimeCount; ++i) {
    uint32_t slot = HashText(g_strings.runtimeTexts[i]) & (slotCount - 1);
    while (g_strings.runtimeSlots[slot] != 0) slot = (slot + 1) & (slotCount - 1);
    g_strings.runtimeSlots[slot] = i + 1;
  }
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
    if (n >= g_strings.runtimeCount) return false;
    *text = g_strings.runtimeTexts[n];
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
  const uint32_t hash = HashText(text);
  if (g_strings.runtimeSlotCount != 0) {
    for (uint32_t slot = hash & (g_strings.runtimeSlotCount - 1); g_strings.runtimeSlots[slot] != 0;
         slot = (slot + 1) & (g_strings.runtimeSlotCount - 1)) {
      const int32_t position = g_strings.runtimeSlots[slot] - 1;
      if (std::strcmp(g_strings.runtimeTexts[position], text) == 0) return g_strings.count + position;
    }
  }
  // Every index, and the hash at most half full, must stay within 32 bits.
  if (static_cast<int64_t>(g_strings.count) + g_strings.runtimeCount >= INT32_MAX || g_strings.runtimeCount >= (1 << 28)) {
    return -1;
  }

  if (g_strings.runtimeCount >= g_strings.runtimeCapacity) {
    const int32_t capacity = g_strings.runtimeCapacity == 0 ? 64 : g_strings.runtimeCapacity * 2;
    g_strings.runtimeTexts = static_cast<char**>(MemoryManager::ReAlloc(
        g_strings.runtimeTexts, static_cast<uint32_t>(static_cast<uint64_t>(capacity) * sizeof(char*)), __FILE__, __LINE__));
    g_strings.runtimeCapacity = capacity;
  }
  const size_t length = std::strlen(text);
  if (length >= UINT32_MAX - MemoryManager::kHeaderSize) OutOfMemoryHandler();
  char* copy = static_cast<char*>(MemoryManager::Alloc(static_cast<uint32_t>(length + 1), __FILE__, __LINE__, false));
  std::memcpy(copy, text, length + 1);
  g_strings.runtimeTexts[g_strings.runtimeCount++] = copy;

  if (static_cast<uint64_t>(g_strings.runtimeCount) * 2 > g_strings.runtimeSlotCount) {
    RehashRuntime(g_strings.runtimeSlotCount == 0 ? 128 : g_strings.runtimeSlotCount * 2);
  } else {
    uint32_t slot = hash & (g_strings.runtimeSlotCount - 1);
    while (g_strings.runtimeSlots[slot] != 0) slot = (slot + 1) & (g_strings.runtimeSlotCount - 1);
    g_strings.runtimeSlots[slot] = g_strings.runtimeCount;
  }
  return g_strings.count + g_strings.runtimeCount - 1;
}

int32_t Strings_RuntimeCount() { return g_strings.runtimeCount; }
