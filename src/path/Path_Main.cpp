#include "path/Path_Main.h"

#include "base/ErrorSink.h"
#include "base/VCL.h"
#include "support/BoundedReader.h"

PathState g_Paths;

void Path_Init() { g_Paths.table.FreeAll(); }

void Path_Reset() { g_Paths.table.FreeAll(); }

void Path_FreeAll() { g_Paths.table.FreeAll(); }

bool Path_LoadChunk(BoundedReader& chunk) {
  Path_Reset();
  uint32_t count = 0;
  if (!chunk.U32(&count) || count > INT32_MAX || !chunk.Fits(count, 4)) {
    DebugConsole->Output("Game data: the path chunk holds fewer entries than its count %u\n", count);
    return false;
  }
  ResourceTable<CPath>& table = g_Paths.table;
  table.Reset(static_cast<int32_t>(count));
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t offset = 0;
    chunk.ReadAt(4 + 4ull * i, &offset);
    if (offset == 0) continue;  // an empty slot
    const int32_t index = static_cast<int32_t>(i);
    // The entry runs from its offset to the end of the file.
    BoundedReader entry = chunk.At(offset, offset <= chunk.ImageSize() ? chunk.ImageSize() - offset : 0);
    uint32_t nameOffset = 0;
    const char* name = nullptr;
    if (!entry.Ok() || !entry.ReadAt(0, &nameOffset) || !entry.TextAt(nameOffset, &name)) {
      DebugConsole->Output("Game data: path %d or its name lies outside the file\n", index);
      Path_Reset();
      return false;
    }
    CPath* path = new CPath();
    if (!path->Load(entry)) {
      DebugConsole->Output("Game data: the points of path %d do not lie inside the file\n", index);
      delete path;
      Path_Reset();
      return false;
    }
    table.Set(index, path, name);
  }
  return true;
}

int32_t Path_Count() { return g_Paths.table.Count(); }

bool Path_Exists(int32_t index) { return g_Paths.table.Exists(index); }

CPath* Path_Data(int32_t index) { return g_Paths.table.Data(index); }

const char* Path_GetName(int32_t index) { return g_Paths.table.Name(index); }

int32_t Path_FindByName(const char* name) { return g_Paths.table.FindByName(name); }

int32_t Path_Add() { return g_Paths.table.Append(new CPath()); }

int32_t Path_Duplicate(int32_t index) {
  const CPath* source = Path_Data(index);
  if (source == nullptr) return -1;
  CPath* copy = new CPath();
  copy->Assign(*source);
  return g_Paths.table.Append(copy);
}

bool Path_Assign(int32_t target, int32_t source) {
  const CPath* from = Path_Data(source);
  if (from == nullptr || target < 0 || target >= Path_Count()) return false;
  if (target == source) {
    ReportRuntimeError("ERROR: Can not assign a path to itself!", false);
    return false;
  }
  CPath* to = Path_Data(target);
  if (to == nullptr) {
    // An empty slot keeps its name: none, since deleting a path frees its name.
    to = new CPath();
    g_Paths.table.Set(target, to, nullptr);
  }
  to->Assign(*from);
  return true;
}

bool Path_Delete(int32_t index) { return g_Paths.table.Delete(index); }
