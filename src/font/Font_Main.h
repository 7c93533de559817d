// Fonts: the one table of the game's fonts, one slot per font index (platform/ResourceTable.h).
// The table is emptied before the game data is read, filled from the font chunk ("FONT"), grown
// by run-time additions and torn down at shutdown. Slots are never reused: a font added at run
// time appends a slot named "__newfont<index>".
//
// The process keeps one FreeType library handle: made by the first Font_Init (or the first
// TrueType font), released by Font_Shutdown after every font and its face. Main thread only.
#pragma once

#include <cstdint>

#include "platform/ResourceTable.h"

class BoundedReader;
class CFontTW;
struct FT_LibraryRec_;

// The number of character codes in the font chunk's character table.
constexpr int32_t kFontCharTableSize = 256;

// The font table's record. The table is emptied by Font_Init; the library handle outlives it.
struct FontState {
  ResourceTable<CFontTW> table{"__newfont"};
  // The font chunk's last 512 bytes: 256 little-endian 16-bit codes inside the loaded image
  // (unaligned), or null without a font chunk.
  const uint8_t* charTable = nullptr;
  FT_LibraryRec_* library = nullptr;
};
extern FontState g_Fonts;

// Makes the FreeType library handle when there is none ("Error while initialising FreeType %d\n"
// on DebugConsole when that fails), then deletes every font and name: the table is empty and
// there is no character table.
void Font_Init();
// The library handle, made now when there is none; null when FreeType cannot start.
FT_LibraryRec_* Font_Library();
// Reads the font chunk: a count, the entry offsets (0 leaves a slot empty), and the 256 codes of
// the character table in the last 512 bytes. False, after a line on DebugConsole, when the chunk
// is shorter than 4 + 4 x count + 512 bytes or an entry is refused (CFontTW::LoadFromChunk); the
// table is then empty.
bool Font_LoadChunk(BoundedReader& chunk);
// CFontTW::CreateTexture for every font (when the device starts).
void Font_InitTextures();
// CFontTW::FreeTexture for every font.
void Font_FreeTextures();
// At shutdown: every font's texture, every font and name, then the library handle.
void Font_Shutdown();

// True when 0 <= index < count and the slot holds a font.
bool Font_Exists(int32_t index);
// The font of slot `index`, or null.
CFontTW* Font_Data(int32_t index);
// The slot's name; "<undefined>" for an index that names no font (null for a filled slot
// without a name).
const char* Font_GetName(int32_t index);
// The index of the first filled slot whose name equals `name` byte for byte (case matters), or
// -1 when none does (also for a null name).
int32_t Font_FindByName(const char* name);
// Code `position` of the character table; `fallback` without a font chunk or for a position
// outside the table's 256 entries.
uint16_t Font_CharTableCode(int64_t position, uint16_t fallback);

// ---- Adding, replacing and deleting fonts; each answers the new index or whether it acted ----

// A TrueType font from a file, appended as "__newfont<index>", also when the file cannot be used.
int32_t Font_Add(const char* fileName, int32_t size, bool bold, bool italic, int32_t first, int32_t last);
// A sprite font whose frame i stands for the character table's code first + i (the code
// first + i itself past the table's end or without a font chunk).
int32_t Font_AddSprite(int32_t sprite, int32_t first, bool proportional, int32_t separation);
// A sprite font of the given UTF-8 characters.
int32_t Font_AddSpriteExt(int32_t sprite, const char* characters, bool proportional, int32_t separation);
// A new TrueType font in slot `index` (the old font deleted, the name kept); false when the index
// is out of range.
bool Font_Replace(int32_t index, const char* fileName, int32_t size, bool bold, bool italic, int32_t first,
                  int32_t last);
// A new sprite font in slot `index` with the consecutive codes first, first + 1, ...; false when
// the index is out of range.
bool Font_ReplaceSprite(int32_t index, int32_t sprite, int32_t first, bool proportional, int32_t separation);
// A new sprite font in slot `index` with the given characters; false when out of range.
bool Font_ReplaceSpriteExt(int32_t index, int32_t sprite, const char* characters, bool proportional,
                           int32_t separation);
// Deletes the font and its name; the slot stays taken. False when out of range or empty.
bool Font_Delete(int32_t index);
