// Fonts: the glyph sets text is drawn with, one slot per font index.
// The game data loader fills the table; until then it is empty and every lookup answers -1.
#pragma once

#include <cstdint>

class BoundedReader;

// The index of the first filled slot whose name equals `name` byte for byte (case matters), or
// -1 when none does (also for a null name).
int32_t Font_FindByName(const char* name);

// Reads the font chunk ("FONT").
// Until that work lands, the payload is recorded (support/PendingChunk.h) and accepted.
bool Font_LoadChunk(BoundedReader& chunk);

// Empties the font table (the main pass, before any chunk is read).
void Font_Init();
