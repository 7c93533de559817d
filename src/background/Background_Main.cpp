#include "background/Background_Main.h"

#include <cstring>

#include "base/VCL.h"
#include "networking/Networking_Http.h"
#include "support/BoundedReader.h"
#include "support/LoadSave.h"
#include "support/Support_Data_Structures.h"

BackgroundState g_Backgrounds;

namespace {

constexpr int32_t kEventImageLoaded = 60;

bool IsUrl(const char* name) {
  return name != nullptr && (std::strncmp(name, "http://", 7) == 0 || std::strncmp(name, "https://", 8) == 0);
}

uint32_t FlagWord(bool removeBack, bool smooth, bool preload) {
  return (removeBack ? kBackgroundRemoveBack : 0u) | (smooth ? kBackgroundSmooth : 0u) |
         (preload ? kBackgroundPreload : 0u);
}

// Starts the download of `url` into slot `index`.
void StartDownload(const char* url, int32_t index, uint32_t flags) {
  auto* request = new BackgroundHttpRequest{index, flags};
  if (!Http_Get(url, -1, Background_OnHttpLoaded, Background_FreeHttpRequest, request)) delete request;
}

// The file is in the save area or in the game folder.
bool FileFound(const char* name) {
  return name != nullptr && (LoadSave_SaveFileExists(name) || LoadSave_GameFileExists(name));
}

// The record of slot `index` (in range), made empty and nameless first when the slot is empty.
CBackground* FillSlot(int32_t index) {
  CBackground* background = Background_Data(index);
  if (background == nullptr) {
    background = new CBackground();
    g_Backgrounds.table.Set(index, background, nullptr);
  }
  return background;
}

}  // namespace

void Background_Init() { g_Backgrounds.table.FreeAll(); }

bool Background_LoadChunk(BoundedReader& chunk) {
  Background_Init();
  uint32_t count = 0;
  if (!chunk.U32(&count) || count > INT32_MAX || !chunk.Fits(count, 4)) {
    DebugConsole->Output("Game data: the background chunk holds fewer entries than its count %u\n", count);
    return false;
  }
  ResourceTable<CBackground>& table = g_Backgrounds.table;
  table.Reset(static_cast<int32_t>(count));
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t offset = 0;
    chunk.ReadAt(4 + 4ull * i, &offset);
    if (offset == 0) continue;  // an empty slot
    auto* background = new CBackground();
    uint32_t nameOffset = 0;
    const char* name = nullptr;
    if (!background->LoadFromChunk(chunk, offset, &nameOffset) || !chunk.TextAt(nameOffset, &name)) {
      DebugConsole->Output("Game data: background %u, its name or its texture-page entry lies outside the file\n", i);
      delete background;
      Background_Init();
      return false;
    }
    table.Set(static_cast<int32_t>(i), background, name);
  }
  return true;
}

void Background_InitTextures() {
  g_Backgrounds.table.ForEach([](int32_t, CBackground* background) { background->CreateTexture(); });
}

void Background_FreeAll() { g_Backgrounds.table.FreeAll(); }

bool Background_Exists(int32_t index) { return g_Backgrounds.table.Exists(index); }

CBackground* Background_Data(int32_t index) { return g_Backgrounds.table.Data(index); }

const char* Background_GetName(int32_t index) { return g_Backgrounds.table.Name(index); }

int32_t Background_FindByName(const char* name) { return g_Backgrounds.table.FindByName(name); }

int32_t Background_AddEmpty() { return g_Backgrounds.table.Append(new CBackground()); }

int32_t Background_Add(const char* name, bool removeBack, bool smooth, bool preload) {
  if (IsUrl(name)) {
    const int32_t index = Background_AddEmpty();
    StartDownload(name, index, FlagWord(removeBack, smooth, preload));
    return index;
  }
  if (!FileFound(name)) return -1;
  const int32_t index = Background_AddEmpty();
  Background_Data(index)->LoadFromFile(name, removeBack, smooth, preload, !removeBack);
  return index;
}

bool Background_Replace(int32_t index, const char* name, bool removeBack, bool smooth, bool preload) {
  if (index < 0 || index >= g_Backgrounds.table.Count()) return false;
  if (IsUrl(name)) {
    FillSlot(index);
    StartDownload(name, index, FlagWord(removeBack, smooth, preload));
    return false;
  }
  if (!FileFound(name)) return false;
  // A decoded image replaces the page entry too; bytes that do not decode leave the record as
  // it was but for its own texture.
  FillSlot(index)->LoadFromFile(name, removeBack, smooth, preload, !removeBack);
  return true;
}

int32_t Background_OnHttpLoaded(HTTP_REQ_CONTEXT* request, void* userData, int32_t* outMap) {
  const auto* load = static_cast<const BackgroundHttpRequest*>(userData);
  const int32_t index = load != nullptr ? load->index : -1;
  const bool arrived = request->m_data != nullptr && request->m_bytesReceived > 0;
  *outMap = CreateDsMap({{"filename", 0.0, request->m_url != nullptr ? request->m_url : ""},
                         {"id", static_cast<double>(index), nullptr},
                         {"http_status", static_cast<double>(request->m_httpStatus.load()), nullptr},
                         {"status", arrived ? 0.0 : -1.0, nullptr}});
  CBackground* background = Background_Data(index);
  if (request->m_httpStatus == 200 && arrived && background != nullptr) {
    const bool removeBack = (load->flags & kBackgroundRemoveBack) != 0;
    if (!background->DecodeImage(request->m_data, static_cast<uint64_t>(request->m_bytesReceived), removeBack,
                                 (load->flags & kBackgroundSmooth) != 0, (load->flags & kBackgroundPreload) != 0,
                                 !removeBack)) {
      DebugConsole->Output("Failed to decode data in Sprite_Add %s\n", request->m_url);
    }
  }
  return kEventImageLoaded;
}

void Background_FreeHttpRequest(HTTP_REQ_CONTEXT* request) {
  delete static_cast<BackgroundHttpRequest*>(request->m_userData);
  request->m_userData = nullptr;
}

bool Background_Delete(int32_t index) { return g_Backgrounds.table.Delete(index); }

int32_t Background_Duplicate(int32_t index) {
  const CBackground* source = Background_Data(index);
  if (source == nullptr) return -1;
  const int32_t copy = Background_AddEmpty();
  CBackground* background = Background_Data(copy);
  background->Assign(*source);
  background->DuplicateBitmap();
  return copy;
}

bool Background_Assign(int32_t destination, int32_t source) {
  const CBackground* from = Background_Data(source);
  if (from == nullptr || destination < 0 || destination >= g_Backgrounds.table.Count()) return false;
  FillSlot(destination)->Assign(*from);
  return true;
}
