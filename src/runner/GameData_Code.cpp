#include "runner/GameData_Code.h"

#include <cstring>

#include "platform/MemoryManager.h"
#include "runner/GameData.h"

namespace {

const DebugCodeInfo* DebugEntry(int32_t index) {
  const GameDataState& g = g_GameData;
  if (!g.debugPresent || index < 0 || index >= g.debugCount || g.debugEntries == nullptr) return nullptr;
  return &g.debugEntries[index];
}

// A memory-manager copy of `count` records (null for none).
template <typename T>
T* CopyOf(const T* records, int32_t count) {
  if (records == nullptr || count <= 0) return nullptr;
  T* copy = MemoryManager::AllocArray<T>(static_cast<uint32_t>(count), __FILE__, __LINE__);
  std::memcpy(static_cast<void*>(copy), records, sizeof(T) * static_cast<size_t>(count));
  return copy;
}

}  // namespace

void GameData_SetCodeChunk(const GameCodeEntry* entries, int32_t count) {
  GameData_FreeCodeTables();
  GameDataState& g = g_GameData;
  g.codeCount = (entries != nullptr && count > 0) ? count : 0;
  g.codeEntries = CopyOf(entries, g.codeCount);
  g.codePresent = entries != nullptr;
}

void GameData_ClearCode() {
  GameData_FreeCodeTables();
  GameData_ClearDebugCompanion();
}

bool CodeChunkPresent() { return g_GameData.codePresent; }

int32_t CodeEntryCount() { return g_GameData.codeCount; }

const GameCodeEntry* GameData_GetCodeEntry(int32_t index) {
  if (index < 0 || index >= g_GameData.codeCount) return nullptr;
  return &g_GameData.codeEntries[index];
}

void GameData_SetDebugCompanion(const DebugCodeInfo* entries, int32_t count, bool hasDebugInfoChunk) {
  GameData_ClearDebugCompanion();
  GameDataState& g = g_GameData;
  g.debugCount = (entries != nullptr && count > 0) ? count : 0;
  g.debugEntries = CopyOf(entries, g.debugCount);
  g.debugPresent = entries != nullptr;
  g.debugInfoChunk = g.debugPresent && hasDebugInfoChunk;
}

void GameData_ClearDebugCompanion() {
  GameDataState& g = g_GameData;
  MemoryManager::Free(g.debugEntries);
  g.debugEntries = nullptr;
  g.debugCount = 0;
  g.debugPresent = false;
  g.debugInfoChunk = false;
}

bool DebugCompanionPresent() { return g_GameData.debugPresent; }

bool DebugInfoChunkPresent() { return g_GameData.debugPresent && g_GameData.debugInfoChunk; }

const char* GameData_DebugSource(int32_t index) {
  const DebugCodeInfo* entry = DebugEntry(index);
  return entry ? entry->source : nullptr;
}

bool GameData_DebugLineInfo(int32_t index, const uint32_t** words, int32_t* sizeBytes) {
  *words = nullptr;
  *sizeBytes = 0;
  if (!g_GameData.debugInfoChunk) return false;
  const DebugCodeInfo* entry = DebugEntry(index);
  if (entry == nullptr || entry->lineInfo == nullptr || entry->lineInfoAvail < 4) return false;
  // The record's first word counts the words after it; never let it reach past the chunk.
  uint32_t count;
  std::memcpy(&count, entry->lineInfo, sizeof(count));
  int64_t available = (entry->lineInfoAvail - 4) / 4;
  if (available > INT32_MAX / 4) available = INT32_MAX / 4;
  const int64_t bounded = static_cast<int64_t>(count) < available ? static_cast<int64_t>(count) : available;
  *words = entry->lineInfo + 1;
  *sizeBytes = static_cast<int32_t>(bounded * 4);
  return true;
}

const char* GameData_TextAt(int64_t offset) {
  const uint8_t* image = g_GameData.GameImage;
  const int64_t size = g_GameData.GameImageSize;
  if (image == nullptr || offset < 0 || offset >= size) return nullptr;
  const void* end = std::memchr(image + offset, 0, static_cast<size_t>(size - offset));
  if (end == nullptr) return nullptr;
  return reinterpret_cast<const char*>(image + offset);
}
