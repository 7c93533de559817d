// The game data file: a "FORM" container of tagged chunks, read whole into a private, writable
// image and used in place (the loaders write texture ids, variable ids and call numbers into it).
// The first pass (GameData_ScanHeader) reads the header, the code and string tables and binds the
// variable references; the main pass (LoadGameData) resets the managers and hands every chunk to
// the reader of its tag, in file order.
//
// Nothing read from the file is trusted: every read goes through a BoundedReader, and a file
// that does not hold what it claims (a container size that does not match, a chunk or record
// outside the file, a count larger than its table, a text without its NUL, a chunk kind met twice,
// a reference chain that leaves the code) is refused with a line on DebugConsole saying why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "support/BoundedReader.h"

struct DebugCodeInfo;
struct GameCodeEntry;

// ---- Entry points ----------------------------------------------------------------------------

// Takes a copy of the file's bytes as the game image (whatever was loaded before is released
// first). False for an empty file or one too large to hold.
bool GameData_LoadImage(const uint8_t* bytes, size_t size);
// The first pass over the loaded image; runs once per image. False when the file is refused.
bool GameData_ScanHeader();
// The main pass (after the first), after logging "LoadGameData()\n"; runs once per image. False
// when the file is refused or held a chunk of unknown kind (every other chunk is still read then).
bool LoadGameData();
// Releases the image and everything that points into it or was made from it, so that another
// file can be loaded in the same process.
void GameData_Free();
// Reads the file at `path` whole as the game image (a loaded image is released first; a debug
// companion loaded beside no image is kept). Only a regular file is read, and only when its FORM
// header agrees with its size. False, with the reason logged and no image, otherwise.
bool GameData_ReadFile(const char* path);

// ---- The image -------------------------------------------------------------------------------

// The loaded file is g_GameData.GameImage (a memory-manager block with one NUL byte after its
// end) and g_GameData.GameImageSize its length.

// ---- The header ------------------------------------------------------------------------------

// g_GameData.GameHeader is the header chunk's payload inside the image (null before the first
// pass meets it), g_GameData.GameHeaderVersion the header's version (byte 1 of its first word).

// What the header gives the rest of the runtime. A header too short to reach a field's word
// leaves that field at its default.
struct GameHeaderInfo {
  uint8_t debugFlags = 0;          // bit 0: built without debugging
  const char* gameName = nullptr;  // points into the image
  char* configName = nullptr;      // memory-manager copies (null when the file has none)
  char* projectName = nullptr;
  char* displayName = nullptr;     // from version 10
  int32_t gameId = 0;
  int32_t lastTileId = 0;
  int32_t windowWidth = 800;       // from version 8
  int32_t windowHeight = 480;
  uint32_t optionBits = 2;         // taken as a whole from version 8
  uint64_t platformOptions = ~0ull;  // from version 12, else every bit set
  uint32_t steamAppId = 0;         // from version 13
  int32_t debuggerPort = 6502;     // from version 14
  int32_t appSurfaceWidth = 800;   // the window size
  int32_t appSurfaceHeight = 480;
};

// Header option bits.
constexpr uint32_t kHeaderFullScreen = 0x1;
constexpr uint32_t kHeaderShowCursor = 0x20;
constexpr uint32_t kHeaderResizable = 0x40;
constexpr uint32_t kHeaderNoExternalCalls = 0x1000;
constexpr uint32_t kHeaderRoamingSaves = 0x2000;
constexpr uint32_t kHeaderBorderless = 0x4000;

// ---- Texture-page entries and textures -------------------------------------------------------

// One entry of the texture-page chunk, as laid out in the image (read it through memcpy).
struct TPageEntry {
  int16_t x, y;                  // the image on its texture page
  int16_t width, height;
  int16_t xOffset, yOffset;      // where it is drawn inside its full, untrimmed frame
  int16_t cropWidth, cropHeight;  // drawn size (0 is drawn as 1)
  int16_t fullWidth, fullHeight;  // the full, untrimmed image
  int16_t texturePage;           // in the file the texture's index, after loading its id
};
static_assert(sizeof(TPageEntry) == 22, "texture-page entries are 22 bytes");
// Entries lie at any alignment in the image: they are read and written whole through these.
inline TPageEntry TPageEntry_Read(const TPageEntry* at) {
  TPageEntry entry;
  std::memcpy(&entry, at, sizeof entry);
  return entry;
}
inline void TPageEntry_Write(TPageEntry* at, const TPageEntry& entry) { std::memcpy(at, &entry, sizeof entry); }

// g_GameData.TextureIds holds one runtime texture id per entry of the texture chunk (null, and a
// count of 0, before it is read).

// ---- The passes and the readers of this module -----------------------------------------------
// Each reader takes its chunk's payload as a reader whose window is the payload; a reader that
// answers false has logged why, and the pass refuses the file.

// The main pass itself (LoadGameData runs it): true when every chunk was read and known.
bool GameData_ProcessChunks();
// Applies the header in the main pass (game id, last instance and tile ids, window, room order).
bool GameData_LoadHeader(BoundedReader& header);
// Copies the room order, whose place in the header depends on the version.
bool GameData_LoadRoomOrder(BoundedReader& header, int32_t version);
// The word of the header holding the room order's count for a header version.
int32_t GameData_RoomOrderCountWord(int32_t version);
// Creates the textures and fixes up the remembered texture-page entries.
bool GameData_LoadTextures(BoundedReader& chunk);

// The code chunk: keeps the entries (name, instructions, length) for CCode::CCodeFromIndex.
bool Code_Load(BoundedReader& chunk);
// Binds every variable reference of the variable chunk (first pass).
bool VARI_Load(BoundedReader& chunk);
// Binds every function reference of the function chunk (main pass).
bool GameData_BindFunctions(BoundedReader& chunk);
// Releases the code entries and the code ranges the binders check against.
void GameData_FreeCodeTables();

// Instruction stepping, with positions relative to the entry's first instruction: the position
// of the instruction after the one at `position` (4 bytes on, plus the operand when opcode bit
// 0x40 is set); a position outside the entry answers the entry's length.
int32_t GameData_NextInstruction(const GameCodeEntry* entry, int32_t position);
// The position at which stepping from 0 first reaches or passes the entry's length.
int32_t GameData_CodeEntrySize(const GameCodeEntry* entry);

// Checks the container: "FORM", a size word equal to the length minus 8, every chunk inside the
// file and no chunk kind twice (the header kinds count as one). Logs why and answers false.
bool GameData_CheckContainer(const BoundedReader& image, const char* what = "game data file");

// Walks the chunks of a checked container in file order.
class ChunkWalker {
 public:
  explicit ChunkWalker(const BoundedReader& image) : m_image(image) {}
  // The next chunk: 1 with its tag and a reader over its payload, 0 at the end, -1 (logged)
  // when a chunk does not lie inside the file.
  int Next(uint32_t* tag, BoundedReader* payload);

 private:
  BoundedReader m_image;
  uint64_t m_position = 8;
};

// ---- The debug companion file ----------------------------------------------------------------

// Takes a copy of the debug companion file (load it after the game image).
bool GameData_LoadDebugImage(const uint8_t* bytes, size_t size);
// Walks the debug companion and hands its tables to the code table. False (nothing kept) when
// the file is refused.
bool DebugFile_ProcessChunks();
// Releases the debug image and its tables.
void GameData_FreeDebug();

// ---- The loaded game's state -----------------------------------------------------------------

// Where the image stands in its two passes; each runs once per image.
enum class GameDataPass { kNone, kScanFailed, kScanned, kLoadFailed, kLoaded };

// The instruction stream of one code entry, as image offsets [begin, end).
struct GameCodeRange {
  uint64_t begin;
  uint64_t end;
};

// The loaded game: the image and what the passes read from it. One record; GameData_Free releases
// what it owns and assigns a fresh one. Nothing here keeps a second copy of another field: the
// code and debug tables answer from these same entries (runner/GameData_Code.h).
struct GameDataState {
  uint8_t* GameImage = nullptr;  // the loaded file, see above
  int64_t GameImageSize = 0;
  GameDataPass pass = GameDataPass::kNone;

  const uint8_t* GameHeader = nullptr;
  int32_t GameHeaderVersion = 0;
  GameHeaderInfo headerInfo;

  int32_t* TextureIds = nullptr;  // memory-manager block of TextureIdCount ids
  int32_t TextureIdCount = 0;
  // The texture-page chunk, remembered for the texture fix-up.
  BoundedReader texturePages;
  bool texturePagesPresent = false;

  // The CODE chunk's entries (a memory-manager block of codeCount, pointing into the image or, set
  // by GameData_SetCodeChunk, wherever its caller's entries pointed) and the code ranges the
  // binders check references against (sorted by begin), with the streams' lengths added up.
  GameCodeEntry* codeEntries = nullptr;
  int32_t codeCount = 0;
  bool codePresent = false;
  GameCodeRange* codeRanges = nullptr;
  int32_t codeRangeCount = 0;
  uint64_t codeBytes = 0;

  // The debug companion file: its image, the instance names sent to the debugger (a count and
  // the table after it, in the debug image) and the per-code table (a memory-manager block).
  uint8_t* DebugImage = nullptr;
  int64_t DebugImageSize = 0;
  int32_t DebugInstanceNameCount = 0;
  const uint8_t* DebugInstanceNames = nullptr;
  DebugCodeInfo* debugEntries = nullptr;
  int32_t debugCount = 0;
  bool debugPresent = false;
  bool debugInfoChunk = false;
};
extern GameDataState g_GameData;
