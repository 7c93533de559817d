// Backgrounds: the images rooms draw behind and in front of instances, one slot per background
// index. The background chunk ("BGND") fills the table; a background of the game data keeps its
// size and the texture-page entry it is drawn from. Main thread only.
#pragma once

#include <cstdint>

#include "runner/GameData.h"

class BoundedReader;

// One background.
class CBackground {
 public:
  int32_t m_Width = 0;
  int32_t m_Height = 0;
  uint8_t m_Transparent = 0;
  uint8_t m_Smooth = 0;
  uint8_t m_Preload = 0;
  int32_t m_Texture = -1;                  // an own texture id, -1 for none
  const uint8_t* m_TPageEntry = nullptr;   // the TPageEntry in the game image, or null
};

// The index of the first filled slot whose name equals `name` byte for byte (case matters), or
// -1 when none does (also for a null name).
int32_t Background_FindByName(const char* name);

// True when 0 <= index < count and the slot holds a background.
bool Background_Exists(int32_t index);
// The background of the slot, or null when the index is out of range or the slot empty.
CBackground* Background_Data(int32_t index);
// The name of the slot, or "<undefined>" when the index is out of range or the slot empty.
const char* Background_GetName(int32_t index);

// Reads the background chunk: a count, then one entry offset per slot (0: an empty slot, which
// keeps its index). An entry is the name's offset, the transparent, smooth and preload words and
// the offset of its texture-page entry (0: none); the size is the texture-page entry's full,
// untrimmed size (0 x 0 without one). False (after a line on DebugConsole) when the count, an
// entry, its name or its texture-page entry does not lie inside the file.
bool Background_LoadChunk(BoundedReader& chunk);

// Empties the background table (the main pass, before any chunk is read).
void Background_FreeAll();
