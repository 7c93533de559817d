// The game data's string table: entry i is the offset, inside the loaded game data, of a string
// record (a 32-bit length, then the text and its terminating NUL). An entry offset of 0 stands
// for no text. The game data loader fills the table; the machine's push of a string reads it.
//
// A runtime part continues the table after the game's entries: the texts of code compiled while
// the game runs, entry game-count + n being the n-th text added. Installing or clearing the
// game's table discards the runtime part.
#pragma once

#include <cstdint>

// Installs the table: `entries` holds `count` offsets into the `dataSize` bytes at `data`. Both
// blocks are borrowed and must stay until the table is replaced or cleared.
void StringTable_Set(const uint8_t* data, uint64_t dataSize, const uint32_t* entries, int32_t count);
void StringTable_Clear();
int32_t StringTable_Count();
// The text of entry `index`: false when there is no such entry, or its record does not lie
// whole inside the data (length word, text and NUL). An entry offset of 0 answers true with a
// null text.
// Indexes from the game count on answer the runtime part.
bool StringTable_Get(int32_t index, const char** text);

// Adds a copy of the text (null: "") to the runtime part and answers its index, game count + n;
// an equal text added before answers the index it got then. -1 when no index is left.
int32_t Strings_AddRuntime(const char* text);
// The number of texts in the runtime part.
int32_t Strings_RuntimeCount();
