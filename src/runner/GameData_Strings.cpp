#include "runner/GameData_Strings.h"

#include <cstring>

#include "platform/MemoryManager.h"

namespace {
const uint8_t* g_Data = nullptr;
uint64_t g_DataSize = 0;
const uint32_t* g_Entries = nullptr;
int32_t g_Count = 0;

// The runtime part: owned copies of the texts, and an open-addressing hash of their positions
// (position + 1; 0 marks a free slot) that finds an equal text already added.
char** g_RuntimeTexts = nullptr;
int32_t g_RuntimeCount = 0;
int32_t g_RuntimeCapacity = 0;
int32_t* g_RuntimeSlots = nullptr;
uint32_t g_RuntimeSlotCount = 0;  // a power of two, or 0

uint32_t HashText(const char* text) {
  uint32_t hash = 2166136261u;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    hash = (hash ^ *p) * 16777619u;
  }
  return hash;
}

void FreeRuntime() {
  for (int32_t i = 0; i < g_RuntimeCount; ++i) MemoryManager::Free(g_RuntimeTexts[i]);
  MemoryManager::Free(g_RuntimeTexts);
  MemoryManager::Free(g_RuntimeSlots);
  g_RuntimeTexts = nullptr;
  g_RuntimeCount = 0;
  g_RuntimeCapacity = 0;
  g_RuntimeSlots = nullptr;
  g_RuntimeSlotCount = 0;
}

// Rebuilds the hash with `slotCount` slots.
void RehashRuntime(uint32_t slotCount) {
  MemoryManager::Free(g_RuntimeSlots);
  g_RuntimeSlots = static_cast<int32_t*>(
      MemoryManager::Alloc(slotCount * static_cast<uint32_t>(sizeof(int32_t)), __FILE__, __LINE__, true));
  g_RuntimeSlotCount = slotCount;
  for (int32_t i = 0; i < g_RuntimeCount; ++i) {
    uint32_t slot = HashText(g_RuntimeTexts[i]) & (slotCount - 1);
    while (g_RuntimeSlots[slot] != 0) slot = (slot + 1) & (slotCount - 1);
    g_RuntimeSlots[slot] = i + 1;
  }
}
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
    if (n >= g_RuntimeCount) return false;
    *text = g_RuntimeTexts[n];
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
  const uint32_t hash = HashText(text);
  if (g_RuntimeSlotCount != 0) {
    for (uint32_t slot = hash & (g_RuntimeSlotCount - 1); g_RuntimeSlots[slot] != 0;
         slot = (slot + 1) & (g_RuntimeSlotCount - 1)) {
      const int32_t position = g_RuntimeSlots[slot] - 1;
      if (std::strcmp(g_RuntimeTexts[position], text) == 0) return g_Count + position;
    }
  }
  // Every index, and the hash at most half full, must stay within 32 bits.
  if (static_cast<int64_t>(g_Count) + g_RuntimeCount >= INT32_MAX || g_RuntimeCount >= (1 << 28)) return -1;

  if (g_RuntimeCount >= g_RuntimeCapacity) {
    const int32_t capacity = g_RuntimeCapacity == 0 ? 64 : g_RuntimeCapacity * 2;
    g_RuntimeTexts = static_cast<char**>(MemoryManager::ReAlloc(
        g_RuntimeTexts, static_cast<uint32_t>(static_cast<uint64_t>(capacity) * sizeof(char*)), __FILE__, __LINE__));
    g_RuntimeCapacity = capacity;
  }
  const size_t length = std::strlen(text);
  if (length >= UINT32_MAX - MemoryManager::kHeaderSize) OutOfMemoryHandler();
  char* copy = static_cast<char*>(MemoryManager::Alloc(static_cast<uint32_t>(length + 1), __FILE__, __LINE__, false));
  std::memcpy(copy, text, length + 1);
  g_RuntimeTexts[g_RuntimeCount++] = copy;

  if (static_cast<uint64_t>(g_RuntimeCount) * 2 > g_RuntimeSlotCount) {
    RehashRuntime(g_RuntimeSlotCount == 0 ? 128 : g_RuntimeSlotCount * 2);
  } else {
    uint32_t slot = hash & (g_RuntimeSlotCount - 1);
    while (g_RuntimeSlots[slot] != 0) slot = (slot + 1) & (g_RuntimeSlotCount - 1);
    g_RuntimeSlots[slot] = g_RuntimeCount;
  }
  return g_Count + g_RuntimeCount - 1;
}

int32_t Strings_RuntimeCount() { return g_RuntimeCount; }
