#include "runner/GameData.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "background/Background_Main.h"
#include "base/VCL.h"
#include "code/Code_Constant.h"
#include "extension/Extension_Main.h"
#include "font/Font_Main.h"
#include "graphics/Graphics_Texture.h"
#include "object/Object_Class.h"
#include "object/Object_Main.h"
#include "option/Option_Main.h"
#include "os/OS_Paths.h"
#include "path/Path_Main.h"
#include "platform/MemoryManager.h"
#include "room/Room_Class.h"
#include "room/Room_Main.h"
#include "run/Run_Builtins.h"
#include "runner/GameData_Code.h"
#include "runner/GameData_Strings.h"
#include "script/Script_Main.h"
#include "shader/Shader_Main.h"
#include "sound/Audio_Main.h"
#include "sound/Sound_Main.h"
#include "sprite/Sprite_Main.h"
#include "support/PendingChunk.h"
#include "timeline/TimeLine_Main.h"

GameDataState g_GameData;

namespace {

// The largest file taken: its length must fit the container's 32-bit size word and one
// memory-manager block.
constexpr uint64_t kMaxImageSize = 0x7FFF0000u;

constexpr uint32_t kTagForm = ChunkTag("FORM");
constexpr uint32_t kTagGen7 = ChunkTag("GEN7");
constexpr uint32_t kTagGen8 = ChunkTag("GEN8");
constexpr uint32_t kTagGenL = ChunkTag("GENL");
constexpr uint32_t kTagOptn = ChunkTag("OPTN");
constexpr uint32_t kTagExtn = ChunkTag("EXTN");
constexpr uint32_t kTagSond = ChunkTag("SOND");
constexpr uint32_t kTagAgrp = ChunkTag("AGRP");
constexpr uint32_t kTagSprt = ChunkTag("SPRT");
constexpr uint32_t kTagBgnd = ChunkTag("BGND");
constexpr uint32_t kTagPath = ChunkTag("PATH");
constexpr uint32_t kTagScpt = ChunkTag("SCPT");
constexpr uint32_t kTagShdr = ChunkTag("SHDR");
constexpr uint32_t kTagFont = ChunkTag("FONT");
constexpr uint32_t kTagTmln = ChunkTag("TMLN");
constexpr uint32_t kTagObjt = ChunkTag("OBJT");
constexpr uint32_t kTagRoom = ChunkTag("ROOM");
constexpr uint32_t kTagTpag = ChunkTag("TPAG");
constexpr uint32_t kTagCode = ChunkTag("CODE");
constexpr uint32_t kTagVari = ChunkTag("VARI");
constexpr uint32_t kTagFunc = ChunkTag("FUNC");
constexpr uint32_t kTagStrg = ChunkTag("STRG");
constexpr uint32_t kTagTxtr = ChunkTag("TXTR");
constexpr uint32_t kTagAudo = ChunkTag("AUDO");
constexpr uint32_t kTagDafl = ChunkTag("DAFL");
constexpr uint32_t kTagHelp = ChunkTag("HELP");
constexpr uint32_t kTagStat = ChunkTag("STAT");

bool IsHeaderTag(uint32_t tag) { return tag == kTagGen7 || tag == kTagGen8 || tag == kTagGenL; }

// Header words.
constexpr uint64_t kWordGameName = 1;
constexpr uint64_t kWordConfigName = 2;
constexpr uint64_t kWordLastInstance = 3;
constexpr uint64_t kWordLastTile = 4;
constexpr uint64_t kWordGameId = 5;
constexpr uint64_t kWordProjectName = 10;
constexpr uint64_t kWordWindowWidth = 15;
constexpr uint64_t kWordWindowHeight = 16;
constexpr uint64_t kWordOptionBits = 17;
constexpr uint64_t kWordDisplayName = 25;
constexpr uint64_t kWordPlatformOptions = 28;
constexpr uint64_t kWordSteamId = 30;
constexpr uint64_t kWordDebuggerPort = 31;

void ResetHeaderInfo() {
  MemoryManager::Free(g_GameData.headerInfo.configName);
  MemoryManager::Free(g_GameData.headerInfo.projectName);
  MemoryManager::Free(g_GameData.headerInfo.displayName);
  g_GameData.headerInfo = GameHeaderInfo();
  g_GameData.GameHeader = nullptr;
  g_GameData.GameHeaderVersion = 0;
}

// Header word `word`, or `absent` when the payload does not reach it: a shorter header simply
// does not carry the fields of its later words, which keep their defaults.
template <typename T>
T HeaderWord(BoundedReader& header, uint64_t word, T absent = T{}) {
  T value{};
  if (!header.Has(word * 4, sizeof(T))) return absent;
  header.ReadAt(word * 4, &value);
  return value;
}

// The names the header carries must be texts of the image.
bool CheckHeader(BoundedReader& header, int32_t version) {
  const uint64_t names[] = {kWordGameName, kWordConfigName, kWordProjectName, kWordDisplayName};
  for (uint64_t word : names) {
    if (word == kWordDisplayName && version < 10) continue;
    const char* text;
    if (!header.TextAt(HeaderWord<uint32_t>(header, word), &text)) {
      DebugConsole->Output("Game data: header word %llu names a text outside the file\n",
                           static_cast<unsigned long long>(word));
      return false;
    }
  }
  return true;
}

int32_t HeaderVersion(BoundedReader& header) {
  uint8_t version = 0;
  header.ReadAt(1, &version);
  return version;
}

// The header in the first pass.
bool ScanHeaderChunk(BoundedReader& header) {
  DebugConsole->Output("Get Header Information\n");
  const int32_t version = HeaderVersion(header);
  if (!CheckHeader(header, version)) return false;
  g_GameData.GameHeader = header.Data();
  g_GameData.GameHeaderVersion = version;
  GameHeaderInfo& info = g_GameData.headerInfo;
  header.ReadAt(0, &info.debugFlags);
  header.TextAt(HeaderWord<uint32_t>(header, kWordGameName), &info.gameName);
  const char* text;
  header.TextAt(HeaderWord<uint32_t>(header, kWordConfigName), &text);
  MemoryManager::Free(info.configName);
  info.configName = MemoryManager::DuplicateText(text);
  header.TextAt(HeaderWord<uint32_t>(header, kWordProjectName), &text);
  MemoryManager::Free(info.projectName);
  info.projectName = MemoryManager::DuplicateText(text);
  info.gameId = HeaderWord<int32_t>(header, kWordGameId);

  const uint32_t word17 = HeaderWord<uint32_t>(header, kWordOptionBits);
  if ((word17 & kHeaderNoExternalCalls) != 0) g_Extensions.ExternalCallsDisabled = 1;
  if (version >= 10) {
    header.TextAt(HeaderWord<uint32_t>(header, kWordDisplayName), &text);
    MemoryManager::Free(info.displayName);
    info.displayName = MemoryManager::DuplicateText(text);
  }
  info.platformOptions = version >= 12 ? HeaderWord<uint64_t>(header, kWordPlatformOptions, ~0ull) : ~0ull;
  if (version >= 13) info.steamAppId = HeaderWord<uint32_t>(header, kWordSteamId);
  if (version >= 14) info.debuggerPort = HeaderWord<int32_t>(header, kWordDebuggerPort, 6502);
  if (version >= 8) {
    info.windowWidth = HeaderWord<int32_t>(header, kWordWindowWidth, 800);
    info.windowHeight = HeaderWord<int32_t>(header, kWordWindowHeight, 480);
    info.optionBits = HeaderWord<uint32_t>(header, kWordOptionBits, 2);
  }
  info.appSurfaceWidth = info.windowWidth;
  info.appSurfaceHeight = info.windowHeight;
  // The save area follows the project name; its roaming bit acts in every version.
  SetSaveAreaGameInfo(info.projectName, word17);

  DebugConsole->Output("InitTWLFunctions\n");
  RegisterBuiltinGroups();
  return true;
}

// The string chunk: the common layout, each entry pointing at a string's length word.
bool LoadStrings(BoundedReader& chunk) {
  uint32_t count = 0;
  if (!chunk.U32(&count) || count > INT32_MAX || !chunk.Fits(count, 4)) {
    DebugConsole->Output("Game data: the string chunk holds fewer entries than its count %u\n", count);
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t offset = 0;
    chunk.ReadAt(4 + 4ull * i, &offset);
    if (offset == 0) continue;
    const char* text;
    if (!chunk.ImageHas(offset, 4) || !chunk.TextAt(offset + 4ull, &text) || text == nullptr) {
      DebugConsole->Output("Game data: string %u lies outside the file or has no end\n", i);
      return false;
    }
  }
  StringTable_Set(g_GameData.GameImage, static_cast<uint64_t>(g_GameData.GameImageSize),
                  reinterpret_cast<const uint32_t*>(chunk.Data() + 4), static_cast<int32_t>(count));
  return true;
}

// The texture-page chunk: checked and remembered for the texture fix-up.
bool RememberTexturePages(BoundedReader& chunk) {
  uint32_t count = 0;
  if (!chunk.U32(&count) || !chunk.Fits(count, 4)) {
    DebugConsole->Output("Game data: the texture-page chunk holds fewer entries than its count %u\n", count);
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t offset = 0;
    chunk.ReadAt(4 + 4ull * i, &offset);
    if (offset != 0 && !chunk.ImageHas(offset, sizeof(TPageEntry))) {
      DebugConsole->Output("Game data: texture-page entry %u lies outside the file\n", i);
      return false;
    }
  }
  g_GameData.texturePages = chunk;
  g_GameData.texturePagesPresent = true;
  return true;
}

void FreeTextures() {
  MemoryManager::Free(g_GameData.TextureIds);
  g_GameData.TextureIds = nullptr;
  g_GameData.TextureIdCount = 0;
  GR_Texture_FreeAll();
}

// Resets the managers before the main pass reads any chunk.
void ResetManagers() {
  Sound_ClearList();
  Sprite_FreeAll();
  Background_FreeAll();
  Path_Reset();
  Script_Reset();
  Font_Init();
  TimeLine_Init();
  Object_Init();
  Room_ResetGlobals();
  Option_Reset();
  PendingChunk_ForgetAll();
  g_GameData.texturePages = BoundedReader();
  g_GameData.texturePagesPresent = false;
}

void InitialiseEverything() {
  DebugConsole->Output("initialise everything!\n");
  ResetManagers();
}

// Hands one chunk of the main pass to its reader. `known` is cleared for a tag nobody reads.
bool ReadChunk(uint32_t tag, BoundedReader& payload, bool* known) {
  *known = true;
  switch (tag) {
    case kTagGen8:
    case kTagGen7:
    case kTagGenL: return GameData_LoadHeader(payload);
    case kTagOptn:
      Option_LoadChunk(payload);  // a layout it does not know is ignored; a broken chunk is not
      return payload.Ok();
    case kTagExtn: return Extension_Load(payload);
    case kTagSond: return g_Options.UseNewAudio ? Audio_Load(payload) : Sound_Init(payload);
    case kTagAgrp: return g_Options.UseNewAudio ? AudioGroup_Load(payload) : true;
    case kTagSprt: return Sprite_LoadChunk(payload);
    case kTagBgnd: return Background_LoadChunk(payload);
    case kTagPath: return Path_LoadChunk(payload);
    case kTagScpt: return Script_LoadChunk(payload);
    case kTagShdr: return Shader_LoadChunk(payload);
    case kTagFont: return Font_LoadChunk(payload);
    case kTagTmln: return TimeLine_LoadChunk(payload);
    case kTagObjt: return Object_LoadChunk(payload);
    case kTagRoom: return Room_LoadChunk(payload);
    case kTagTpag: return RememberTexturePages(payload);
    case kTagFunc: return GameData_BindFunctions(payload);
    case kTagTxtr: return GameData_LoadTextures(payload);
    case kTagAudo: return g_Options.UseNewAudio ? Audio_WAVs(payload, 0) : Wave_Init(payload);
    case kTagCode:  // read by the first pass
    case kTagVari:
    case kTagStrg:
    case kTagDafl:
    case kTagHelp:
    case kTagStat: return true;
    default: *known = false; return true;
  }
}

// The container's first eight bytes (`start`): the FORM tag and a size word that agrees with
// the container's `length`.
bool CheckFormWords(BoundedReader start, uint64_t length, const char* what) {
  uint32_t form = 0, size = 0;
  if (!start.U32(&form) || !start.U32(&size) || form != kTagForm) {
    DebugConsole->Output("Game data: the %s is not a FORM container\n", what);
    return false;
  }
  if (static_cast<uint64_t>(size) != length - 8) {
    DebugConsole->Output("Game data: the %s's FORM size %u does not match its length %llu\n", what, size,
                         static_cast<unsigned long long>(length));
    return false;
  }
  return true;
}

// The container's size word and the length must agree, and every chunk must lie inside it.
bool CheckFormHeader(const BoundedReader& image, const char* what) { return CheckFormWords(image, image.Size(), what); }


}  // namespace

// ---- The container ----------------------------------------------------------------------------

int ChunkWalker::Next(uint32_t* tag, BoundedReader* payload) {
  const uint64_t imageSize = m_image.Size();
  if (m_position >= imageSize) return 0;
  uint32_t size = 0;
  *tag = 0;
  if (!m_image.Has(m_position, 8)) {
    DebugConsole->Output("Game data: a chunk header at offset %llu is cut short by the end of the file\n",
                         static_cast<unsigned long long>(m_position));
    return -1;
  }
  m_image.ReadAt(m_position, tag);
  m_image.ReadAt(m_position + 4, &size);
  if (!m_image.Has(m_position + 8, size)) {
    DebugConsole->Output("Game data: chunk %s at offset %llu runs %u bytes past the end of the file\n",
                         TagText(*tag).text, static_cast<unsigned long long>(m_position),
                         static_cast<uint32_t>(m_position + 8 + size - imageSize));
    return -1;
  }
  *payload = m_image.Sub(m_position + 8, size);
  m_position += 8ull + size;
  return 1;
}

bool GameData_CheckContainer(const BoundedReader& image, const char* what) {
  if (!CheckFormHeader(image, what)) return false;
  // Count the chunks that carry a payload, then look for a kind met twice.
  uint64_t count = 0;
  {
    ChunkWalker walker(image);
    uint32_t tag;
    BoundedReader payload;
    int step;
    while ((step = walker.Next(&tag, &payload)) > 0) {
      if (payload.Size() != 0) ++count;
    }
    if (step < 0) return false;
  }
  if (count < 2) return true;
  uint32_t* tags = MemoryManager::AllocArray<uint32_t>(static_cast<uint32_t>(count), __FILE__, __LINE__);
  ChunkWalker walker(image);
  uint32_t tag;
  BoundedReader payload;
  uint64_t n = 0;
  while (walker.Next(&tag, &payload) > 0) {
    if (payload.Size() != 0) tags[n++] = IsHeaderTag(tag) ? kTagGen8 : tag;
  }
  std::sort(tags, tags + n);
  bool ok = true;
  for (uint64_t i = 1; i < n && ok; ++i) {
    if (tags[i] == tags[i - 1]) {
      if (tags[i] == kTagGen8) {
        DebugConsole->Output("Game data: the file holds a second header chunk\n");
      } else {
        DebugConsole->Output("Game data: the file holds chunk %s more than once\n", TagText(tags[i]).text);
      }
      ok = false;
    }
  }
  MemoryManager::Free(tags);
  return ok;
}

// ---- The image --------------------------------------------------------------------------------

namespace {

// A fresh image block of `size` bytes (contents unset) with a NUL after its end, so that no text
// of the image can run past the block even after the loaders have written into it.
uint8_t* AllocImage(uint64_t size) {
  uint8_t* block = static_cast<uint8_t*>(MemoryManager::Alloc(static_cast<uint32_t>(size + 1), __FILE__, __LINE__, false));
  block[size] = 0;
  return block;
}

void InstallImage(uint8_t* block, uint64_t size) {
  g_GameData.GameImage = block;
  g_GameData.GameImageSize = static_cast<int64_t>(size);
  g_GameData.pass = GameDataPass::kNone;
}

}  // namespace

bool GameData_LoadImage(const uint8_t* bytes, size_t size) {
  GameData_Free();
  if (bytes == nullptr || size == 0 || size > kMaxImageSize) {
    DebugConsole->Output("Game data: a file of %llu bytes cannot be loaded\n", static_cast<unsigned long long>(size));
    return false;
  }
  uint8_t* block = AllocImage(size);
  std::memcpy(block, bytes, size);
  InstallImage(block, size);
  return true;
}

void GameData_Free() {
  GameData_FreeDebug();
  StringTable_Clear();
  GameData_ClearCode();
  FreeTextures();
  ResetManagers();
  ResetHeaderInfo();
  ClearSaveAreaGameInfo();
  MemoryManager::Free(g_GameData.GameImage);
  g_GameData = GameDataState{};
}

namespace {

// Reads `size` bytes from `fd` into `out`; false when the file ends or fails first.
bool ReadFully(int fd, uint8_t* out, uint64_t size) {
  while (size > 0) {
    const ssize_t n = read(fd, out, static_cast<size_t>(std::min<uint64_t>(size, 1u << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    out += n;
    size -= static_cast<uint64_t>(n);
  }
  return true;
}

// Reads the game data file into a new image. Only a regular file is opened for reading (a pipe
// or a device would block or never end), and its FORM header must agree with its size before
// the rest is read.
bool ReadGameFile(const char* path) {
  const int fd = path != nullptr ? open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC) : -1;
  if (fd < 0) {
    DebugConsole->Output("Game data: cannot open \"%s\"\n", path != nullptr ? path : "");
    return false;
  }
  bool ok = false;
  struct stat st;
  uint8_t start[8];
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    DebugConsole->Output("Game data: \"%s\" is not a file\n", path);
  } else if (st.st_size <= 0 || static_cast<uint64_t>(st.st_size) > kMaxImageSize) {
    DebugConsole->Output("Game data: \"%s\" is empty, too large or cannot be read\n", path);
  } else if (!ReadFully(fd, start, std::min<uint64_t>(sizeof(start), static_cast<uint64_t>(st.st_size))) ||
             !CheckFormWords(BoundedReader(start, std::min<uint64_t>(sizeof(start), static_cast<uint64_t>(st.st_size))),
                             static_cast<uint64_t>(st.st_size), "game data file")) {
    // The reason is logged.
  } else {
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    uint8_t* block = AllocImage(size);
    std::memcpy(block, start, sizeof(start));
    if (!ReadFully(fd, block + sizeof(start), size - sizeof(start))) {
      DebugConsole->Output("Game data: \"%s\" could not be read whole\n", path);
      MemoryManager::Free(block);
    } else {
      InstallImage(block, size);
      ok = true;
    }
  }
  close(fd);
  return ok;
}

}  // namespace

bool GameData_ReadFile(const char* path) {
  if (g_GameData.GameImage != nullptr) GameData_Free();
  return ReadGameFile(path);
}

// ---- The first pass ---------------------------------------------------------------------------

bool GameData_ScanHeader() {
  if (g_GameData.GameImage == nullptr) {
    DebugConsole->Output("Game data: no game data is loaded\n");
    return false;
  }
  if (g_GameData.pass != GameDataPass::kNone) {
    DebugConsole->Output("Game data: the header pass has already run over this file\n");
    return false;
  }
  g_GameData.pass = GameDataPass::kScanFailed;
  BoundedReader image(g_GameData.GameImage, static_cast<uint64_t>(g_GameData.GameImageSize));
  if (!GameData_CheckContainer(image)) return false;

  // The code entries are read before the walk, so that the variable references can be checked
  // against them wherever the code chunk stands.
  {
    ChunkWalker walker(image);
    uint32_t tag;
    BoundedReader payload;
    while (walker.Next(&tag, &payload) > 0) {
      if (tag == kTagCode && payload.Size() != 0 && !Code_Load(payload)) return false;
    }
  }

  ChunkWalker walker(image);
  uint32_t tag;
  BoundedReader payload;
  int step;
  while ((step = walker.Next(&tag, &payload)) > 0) {
    if (payload.Size() == 0) continue;
    bool ok = true;
    if (IsHeaderTag(tag)) {
      ok = ScanHeaderChunk(payload);
    } else if (tag == kTagCode) {
      DebugConsole->Output("Code_Load()\n");
    } else if (tag == kTagStrg) {
      DebugConsole->Output("ID_STRG\n");
      ok = LoadStrings(payload);
    } else if (tag == kTagVari) {
      DebugConsole->Output("VARI_Load()\n");
      ok = VARI_Load(payload);
    }
    if (!ok) return false;
  }
  if (step < 0) return false;
  g_GameData.pass = GameDataPass::kScanned;
  return true;
}

// ---- The main pass ----------------------------------------------------------------------------

bool LoadGameData() {
  DebugConsole->Output("LoadGameData()\n");
  return GameData_ProcessChunks();
}

bool GameData_ProcessChunks() {
  InitialiseEverything();
  if (g_GameData.GameImage == nullptr || g_GameData.pass != GameDataPass::kScanned) {
    DebugConsole->Output(g_GameData.GameImage == nullptr ? "Game data: no game data is loaded\n"
                                              : "Game data: the main pass needs one successful header pass first\n");
    return false;
  }
  g_GameData.pass = GameDataPass::kLoadFailed;
  BoundedReader image(g_GameData.GameImage, static_cast<uint64_t>(g_GameData.GameImageSize));
  // The binders have written into the image since the first check: check it again.
  if (!GameData_CheckContainer(image)) return false;

  bool allKnown = true;
  ChunkWalker walker(image);
  uint32_t tag;
  BoundedReader payload;
  int step;
  while ((step = walker.Next(&tag, &payload)) > 0) {
    DebugConsole->Output("Process Chunk: %s   %d\n", TagText(tag).text, static_cast<int32_t>(payload.Size()));
    if (payload.Size() == 0) continue;
    bool known = true;
    if (!ReadChunk(tag, payload, &known)) return false;
    if (!known) {
      DebugConsole->Output("unknown Chunk %s:%d\n", TagText(tag).text, static_cast<int32_t>(tag));
      allKnown = false;
    }
  }
  if (step < 0) return false;
  g_GameData.pass = GameDataPass::kLoaded;
  return allKnown;
}

bool GameData_LoadHeader(BoundedReader& header) {
  const int32_t version = HeaderVersion(header);
  if (!CheckHeader(header, version)) return false;
  g_GameData.GameHeader = header.Data();
  g_GameData.GameHeaderVersion = version;
  GameHeaderInfo& info = g_GameData.headerInfo;
  info.gameId = HeaderWord<int32_t>(header, kWordGameId);
  Room_SetLastInstanceId(HeaderWord<int32_t>(header, kWordLastInstance));
  info.lastTileId = HeaderWord<int32_t>(header, kWordLastTile);
  Room_SetLastTileId(info.lastTileId);
  if (version >= 8) {
    info.windowWidth = HeaderWord<int32_t>(header, kWordWindowWidth, 800);
    info.windowHeight = HeaderWord<int32_t>(header, kWordWindowHeight, 480);
    info.optionBits = HeaderWord<uint32_t>(header, kWordOptionBits, 2);
  }
  return GameData_LoadRoomOrder(header, version);
}

int32_t GameData_RoomOrderCountWord(int32_t version) {
  switch (version) {
    case 10: return 26;
    case 11: return 28;
    case 12: return 30;
    case 13: return 31;
    case 14: return 32;
    default: return version < 8 ? 9 : 25;
  }
}

bool GameData_LoadRoomOrder(BoundedReader& header, int32_t version) {
  const uint64_t countWord = static_cast<uint64_t>(GameData_RoomOrderCountWord(version));
  // A header that ends before the count has no room order.
  const int32_t count = HeaderWord<int32_t>(header, countWord);
  if (count <= 0) {
    RoomOrder.SetLength(0);
    return true;
  }
  const uint64_t first = (countWord + 1) * 4;
  if (!header.Has(first, static_cast<uint64_t>(count) * 4)) {
    DebugConsole->Output("Game data: the room order of %d rooms runs past the header\n", count);
    return false;
  }
  RoomOrder.SetLength(count);
  for (int32_t i = 0; i < count; ++i) header.ReadAt(first + 4ull * i, &RoomOrder[i]);
  return true;
}

bool GameData_LoadTextures(BoundedReader& chunk) {
  uint32_t count = 0;
  if (!chunk.U32(&count) || count > INT32_MAX || !chunk.Fits(count, 4)) {
    DebugConsole->Output("Game data: the texture chunk holds fewer entries than its count %u\n", count);
    return false;
  }
  // Every entry and its image bytes must lie in the file before any texture is made.
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t offset = 0, flags = 0, bytes = 0;
    chunk.ReadAt(4 + 4ull * i, &offset);
    BoundedReader entry = chunk.At(offset, 8);
    if (offset == 0 || !entry.Ok() || !entry.U32(&flags) || !entry.U32(&bytes) ||
        (bytes != 0 && !chunk.ImageHas(bytes, 1))) {
      DebugConsole->Output("Game data: texture %u lies outside the file\n", i);
      return false;
    }
  }
  MemoryManager::Free(g_GameData.TextureIds);
  g_GameData.TextureIds = nullptr;
  g_GameData.TextureIdCount = 0;
  if (count > 0) {
    g_GameData.TextureIds = MemoryManager::AllocArray<int32_t>(count, __FILE__, __LINE__);
    g_GameData.TextureIdCount = static_cast<int32_t>(count);
  }
  const uint64_t chunkBegin = chunk.Offset();
  const uint64_t chunkEnd = chunk.Offset() + chunk.Size();
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t offset = 0, flags = 0, bytes = 0;
    chunk.ReadAt(4 + 4ull * i, &offset);
    BoundedReader entry = chunk.At(offset, 8);
    entry.U32(&flags);
    entry.U32(&bytes);
    // The bytes an image may use: what is left of the texture chunk after its start, or of the
    // file when the image lies outside the chunk.
    const uint8_t* data = nullptr;
    uint64_t bound = 0;
    if (bytes != 0) {
      data = g_GameData.GameImage + bytes;
      bound = (bytes >= chunkBegin && bytes < chunkEnd) ? chunkEnd - bytes
                                                        : static_cast<uint64_t>(g_GameData.GameImageSize) - bytes;
    }
    g_GameData.TextureIds[i] = GR_Texture_CreateFromChunk(data, bound, (flags & 1u) != 0);
  }

  if (!g_GameData.texturePagesPresent) return true;
  BoundedReader pages = g_GameData.texturePages;
  uint32_t pageCount = 0;
  pages.ReadAt(0, &pageCount);
  for (uint32_t i = 0; i < pageCount; ++i) {
    uint32_t offset = 0;
    if (!pages.ReadAt(4 + 4ull * i, &offset)) return false;
    if (offset == 0) continue;  // an empty slot
    BoundedReader entry = pages.At(offset, sizeof(TPageEntry));
    int16_t page = 0;
    if (!entry.ReadAt(offsetof(TPageEntry, texturePage), &page)) {
      DebugConsole->Output("Game data: texture-page entry %u lies outside the file\n", i);
      return false;
    }
    if (page >= 0 && page < g_GameData.TextureIdCount) {
      const int16_t id = static_cast<int16_t>(static_cast<uint32_t>(g_GameData.TextureIds[page]) & 0xFFFFu);
      entry.WriteAt(offsetof(TPageEntry, texturePage), id);
    } else {
      DebugConsole->Output("what!!!!\n");
    }
  }
  return true;
}
