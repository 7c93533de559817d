#include "runner/GameData_Code.h"

#include <cstring>

namespace {
const GameCodeEntry* g_codeEntries = nullptr;
int32_t g_codeCount = 0;
bool g_codePresent = false;

const DebugCodeInfo* g_debugEntries = nullptr;
int32_t g_debugCount = 0;
bool g_debugPresent = false;
bool g_debugInfoChunk = false;

const uint8_t* g_image = nullptr;
int64_t g_imageSize = 0;

const DebugCodeInfo* DebugEntry(int32_t index) {
  if (!g_debugPresent || index < 0 || index >= g_debugCount || g_debugEntries == nullptr) return nullptr;
  return &g_debugEntries[index];
}
}  // namespace

void GameData_SetCodeChunk(const GameCodeEntry* entries, int32_t count) {
  g_codeEntries = entries;
  g_codeCount = (entries != nullptr && count > 0) ? count : 0;
  g_codePresent = entries != nullptr;
}

void GameData_ClearCode() {
  g_codeEntries = nullptr;
  g_codeCount = 0;
  g_codePresent = false;
  g_debugEntries = nullptr;
  g_debugCount = 0;
  g_debugPresent = false;
  g_debugInfoChunk = false;
  g_image = nullptr;
  g_imageSize = 0;
}

bool CodeChunkPresent() { return g_codePresent; }

int32_t CodeEntryCount() { return g_codeCount; }

const GameCodeEntry* GameData_GetCodeEntry(int32_t index) {
  if (index < 0 || index >= g_codeCount) return nullptr;
  return &g_codeEntries[index];
}

void GameData_SetDebugCompanion(const DebugCodeInfo* entries, int32_t count, bool hasDebugInfoChunk) {
  g_debugEntries = entries;
  g_debugCount = (entries != nullptr && count > 0) ? count : 0;
  g_debugPresent = entries != nullptr;
  g_debugInfoChunk = g_debugPresent && hasDebugInfoChunk;
}

void GameData_ClearDebugCompanion() {
  g_debugEntries = nullptr;
  g_debugCount = 0;
  g_debugPresent = false;
  g_debugInfoChunk = false;
}

bool DebugCompanionPresent() { return g_debugPresent; }

bool DebugInfoChunkPresent() { return g_debugPresent && g_debugInfoChunk; }

const char* GameData_DebugSource(int32_t index) {
  const DebugCodeInfo* entry = DebugEntry(index);
  return entry ? entry->source : nullptr;
}

bool GameData_DebugLineInfo(int32_t index, const uint32_t** words, int32_t* sizeBytes) {
  *words = nullptr;
  *sizeBytes = 0;
  if (!g_debugInfoChunk) return false;
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

void GameData_SetImage(const uint8_t* image, int64_t size) {
  g_image = image;
  g_imageSize = (image != nullptr && size > 0) ? size : 0;
}

const char* GameData_TextAt(int64_t offset) {
  if (g_image == nullptr || offset < 0 || offset >= g_imageSize) return nullptr;
  const void* end = std::memchr(g_image + offset, 0, static_cast<size_t>(g_imageSize - offset));
  if (end == nullptr) return nullptr;
  return reinterpret_cast<const char*>(g_image + offset);
}
