// The debug companion file: a second FORM container, with offsets relative to its own first byte,
// that gives each code entry its line table ("DBGI") and source text ("SCPT"), and the instance
// names the debugger shows ("INST"). Every other chunk is stepped over.
#include <algorithm>
#include <cstring>

#include "base/VCL.h"
#include "platform/MemoryManager.h"
#include "runner/GameData.h"
#include "runner/GameData_Code.h"

namespace {

constexpr uint64_t kMaxDebugImageSize = 0x7FFF0000u;

// A table of the common layout: a count, then that many 32-bit words. False (logged) when the
// words do not fit the chunk.
bool TableCount(BoundedReader& chunk, const char* what, uint32_t* count) {
  *count = 0;
  if (!chunk.U32(count) || *count > INT32_MAX || !chunk.Fits(*count, 4)) {
    DebugConsole->Output("Game data: the debug file's %s table holds fewer entries than its count %u\n", what, *count);
    return false;
  }
  return true;
}

}  // namespace

bool GameData_LoadDebugImage(const uint8_t* bytes, size_t size) {
  GameData_FreeDebug();
  if (bytes == nullptr || size == 0 || size > kMaxDebugImageSize) {
    DebugConsole->Output("Game data: a debug file of %llu bytes cannot be loaded\n", static_cast<unsigned long long>(size));
    return false;
  }
  GameDataState& g = g_GameData;
  g.DebugImage = static_cast<uint8_t*>(MemoryManager::Alloc(static_cast<uint32_t>(size + 1), __FILE__, __LINE__, false));
  std::memcpy(g.DebugImage, bytes, size);
  g.DebugImage[size] = 0;  // no text can run past the block
  g.DebugImageSize = static_cast<int64_t>(size);
  return true;
}

void GameData_FreeDebug() {
  GameData_ClearDebugCompanion();
  GameDataState& g = g_GameData;
  MemoryManager::Free(g.DebugImage);
  g.DebugImage = nullptr;
  g.DebugImageSize = 0;
  g.DebugInstanceNameCount = 0;
  g.DebugInstanceNames = nullptr;
}

bool DebugFile_ProcessChunks() {
  if (g_GameData.DebugImage == nullptr) return false;
  BoundedReader image(g_GameData.DebugImage, static_cast<uint64_t>(g_GameData.DebugImageSize));
  if (!GameData_CheckContainer(image, "debug file")) return false;

  BoundedReader lines, sources, instances;
  bool hasLines = false, hasSources = false, hasInstances = false;
  ChunkWalker walker(image);
  uint32_t tag;
  BoundedReader payload;
  int step;
  while ((step = walker.Next(&tag, &payload)) > 0) {
    DebugConsole->Output("Process Chunk: %s   %d\n", TagText(tag).text, static_cast<int32_t>(payload.Size()));
    if (payload.Size() == 0) continue;
    if (tag == ChunkTag("DBGI")) {
      lines = payload;
      hasLines = true;
    } else if (tag == ChunkTag("SCPT")) {
      sources = payload;
      hasSources = true;
    } else if (tag == ChunkTag("INST")) {
      instances = payload;
      hasInstances = true;
    }
  }
  if (step < 0) return false;

  uint32_t lineCount = 0, sourceCount = 0, instanceCount = 0;
  if ((hasLines && !TableCount(lines, "line", &lineCount)) || (hasSources && !TableCount(sources, "source", &sourceCount)) ||
      (hasInstances && !TableCount(instances, "instance", &instanceCount))) {
    return false;
  }
  const uint32_t count = std::max(lineCount, sourceCount);
  if (static_cast<uint64_t>(count) * sizeof(DebugCodeInfo) > INT32_MAX) {
    DebugConsole->Output("Game data: the debug file's %u entries are too many to hold\n", count);
    return false;
  }
  DebugCodeInfo* info = count > 0 ? MemoryManager::AllocArray<DebugCodeInfo>(count, __FILE__, __LINE__) : nullptr;
  bool ok = true;
  // Line tables: each must start inside the line chunk.
  const uint64_t linesEnd = lines.Offset() + lines.Size();
  for (uint32_t i = 0; i < lineCount && ok; ++i) {
    uint32_t offset = 0;
    lines.ReadAt(4 + 4ull * i, &offset);
    if (offset == 0) continue;
    if (offset < lines.Offset() || offset >= linesEnd) {
      DebugConsole->Output("Game data: the line table of code %u lies outside the debug file's line chunk\n", i);
      ok = false;
      break;
    }
    info[i].lineInfo = reinterpret_cast<const uint32_t*>(g_GameData.DebugImage + offset);
    info[i].lineInfoAvail = static_cast<int64_t>(linesEnd - offset);
  }
  // Sources: a record whose first word is the offset of the text.
  for (uint32_t i = 0; i < sourceCount && ok; ++i) {
    uint32_t offset = 0, textOffset = 0;
    sources.ReadAt(4 + 4ull * i, &offset);
    if (offset == 0) continue;
    BoundedReader record = image.At(offset, 4);
    record.U32(&textOffset);
    if (!record.Ok() || !image.TextAt(textOffset, &info[i].source)) {
      DebugConsole->Output("Game data: the source of code %u lies outside the debug file\n", i);
      ok = false;
    }
  }
  if (!ok) {
    MemoryManager::Free(info);
    return false;
  }
  GameData_ClearDebugCompanion();
  GameDataState& g = g_GameData;
  g.debugEntries = info;
  g.debugCount = static_cast<int32_t>(count);
  g.debugPresent = info != nullptr;
  g.debugInfoChunk = g.debugPresent && hasLines;
  g.DebugInstanceNameCount = static_cast<int32_t>(instanceCount);
  g.DebugInstanceNames = hasInstances ? instances.Data() + 4 : nullptr;
  return true;
}
