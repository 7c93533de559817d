#include "background/Background_Main.h"

#include <cstddef>

#include "base/VCL.h"
#include "platform/GrowArray.h"
#include "platform/NameTable.h"
#include "support/BoundedReader.h"

namespace {

// The table: a record per slot (null for an empty one) and the names beside it.
struct BackgroundTable {
  GrowArray<CBackground*> records;
  NameTable names;
};
BackgroundTable g_backgrounds;

constexpr uint64_t kEntrySize = 5 * 4;

}  // namespace

int32_t Background_FindByName(const char* name) { return g_backgrounds.names.FindFirst(name); }

bool Background_Exists(int32_t index) { return Background_Data(index) != nullptr; }

CBackground* Background_Data(int32_t index) {
  if (index < 0 || index >= g_backgrounds.records.Count()) return nullptr;
  return g_backgrounds.records[index];
}

const char* Background_GetName(int32_t index) {
  const char* name = Background_Exists(index) ? g_backgrounds.names.Name(index) : nullptr;
  return name != nullptr ? name : "<undefined>";
}

bool Background_LoadChunk(BoundedReader& chunk) {
  uint32_t count = 0;
  if (!chunk.U32(&count) || count > INT32_MAX || !chunk.Fits(count, 4)) {
    DebugConsole->Output("Game data: the background chunk holds fewer entries than its count %u\n", count);
    return false;
  }
  Background_FreeAll();
  g_backgrounds.records.SetCount(count);
  g_backgrounds.names.Set(static_cast<int32_t>(count) - 1, nullptr);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t offset = 0;
    chunk.ReadAt(4 + 4ull * i, &offset);
    if (offset == 0) continue;
    BoundedReader entry = chunk.At(offset, kEntrySize);
    uint32_t nameOffset = 0, transparent = 0, smooth = 0, preload = 0, page = 0;
    entry.U32(&nameOffset);
    entry.U32(&transparent);
    entry.U32(&smooth);
    entry.U32(&preload);
    entry.U32(&page);
    const char* name = nullptr;
    BoundedReader pageEntry = chunk.At(page, sizeof(TPageEntry));
    if (!entry.Ok() || !chunk.TextAt(nameOffset, &name) || (page != 0 && !pageEntry.Ok())) {
      DebugConsole->Output("Game data: background entry %u lies outside the file\n", i);
      return false;
    }
    CBackground* background = new CBackground();
    background->m_Transparent = transparent != 0;
    background->m_Smooth = smooth != 0;
    background->m_Preload = preload != 0;
    if (page != 0) {
      int16_t width = 0, height = 0;
      pageEntry.ReadAt(offsetof(TPageEntry, fullWidth), &width);
      pageEntry.ReadAt(offsetof(TPageEntry, fullHeight), &height);
      background->m_Width = width;
      background->m_Height = height;
      background->m_TPageEntry = pageEntry.Data();
    }
    g_backgrounds.records[static_cast<int32_t>(i)] = background;
    g_backgrounds.names.Set(static_cast<int32_t>(i), name);
  }
  return true;
}

void Background_FreeAll() {
  for (int32_t i = 0; i < g_backgrounds.records.Count(); ++i) delete g_backgrounds.records[i];
  g_backgrounds.records.Free();
  g_backgrounds.names.FreeAll();
}
