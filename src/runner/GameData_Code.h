// The code of the game data: the entries of the CODE chunk (bytecode per code index), the
// source texts and line-information tables that the debug companion file gives per code index,
// and the source texts of games that carry script text instead of bytecode.
//
// The game data loader fills these tables (in g_GameData, runner/GameData.h); their entries point
// into data the loader keeps alive until it clears them. The loader checks the CODE entries
// against the image before it sets them.
#pragma once

#include <cstdint>

// One entry of the CODE chunk.
struct GameCodeEntry {
  const char* name;       // the code's name (null when its reference is 0)
  const uint32_t* words;  // the instruction words
  int32_t lengthBytes;    // length of the instruction stream in bytes (0 or more)
};

// Sets the CODE chunk's entries (a copy of the array is kept; what they point at is borrowed) and
// marks the chunk as present. Null entries forget the chunk: it is then not present (an empty
// chunk passes a non-null array with count 0).
void GameData_SetCodeChunk(const GameCodeEntry* entries, int32_t count);
// Releases the CODE chunk's entries and the debug companion's table.
void GameData_ClearCode();
// True once the game data had a CODE chunk: code is then referred to by its index.
bool CodeChunkPresent();
int32_t CodeEntryCount();
// The entry at `index`, or null outside 0 .. CodeEntryCount() - 1.
const GameCodeEntry* GameData_GetCodeEntry(int32_t index);

// What the debug companion file gives for one code index.
struct DebugCodeInfo {
  const char* source;        // the code's source text, or null
  const uint32_t* lineInfo;  // its line-info record in the debug-information chunk, or null:
                             // a count of words, then the words
  int64_t lineInfoAvail;     // bytes from lineInfo to the end of that chunk
};

// Sets the debug companion's table (a copy of the array is kept; what it points at is borrowed);
// `hasDebugInfoChunk` tells whether the file had a debug-information chunk (line-info tables). A
// null table forgets the companion.
void GameData_SetDebugCompanion(const DebugCodeInfo* entries, int32_t count, bool hasDebugInfoChunk);
// Releases the debug companion's table alone; the CODE chunk stays.
void GameData_ClearDebugCompanion();
// True while a debug companion file is loaded.
bool DebugCompanionPresent();
bool DebugInfoChunkPresent();
// The source text of code `index` from the debug companion, or null.
const char* GameData_DebugSource(int32_t index);
// The line-info table of code `index`: the words after its count, and their size in bytes. The
// count is bounded by what the chunk holds after it. False when there is no table.
bool GameData_DebugLineInfo(int32_t index, const uint32_t** words, int32_t* sizeBytes);

// The NUL-terminated text at `offset` of the loaded game image (games without a CODE chunk refer
// to texts by offset), or null when the offset lies outside it or
// the text runs past its end.
const char* GameData_TextAt(int64_t offset);
