// Sprites: the images the game draws, one slot per sprite index. Slots are never reused: a
// sprite added at run time appends a slot named "__newsprite<index>". The sprite chunk's loader
// does not fill the table yet. Main thread only.
#pragma once

#include <cstdint>

class BoundedReader;
class CSprite;

// True when 0 <= index < count and the slot holds a record.
bool Sprite_Exists(int32_t index);
// The record of slot `index`, or null.
CSprite* Sprite_Data(int32_t index);
// Appends a slot with a new empty record named "__newsprite<index>"; answers the index.
int32_t Sprite_AddEmpty();

// The index of the first filled slot whose name equals `name` byte for byte (case matters), or
// -1 when none does (also for a null name).
int32_t Sprite_FindByName(const char* name);

// Reads the sprite chunk ("SPRT").
// Until that work lands, the payload is recorded (support/PendingChunk.h) and accepted.
bool Sprite_LoadChunk(BoundedReader& chunk);

// Deletes every record and name: the sprite table is empty (the main pass, before any chunk is
// read).
void Sprite_FreeAll();
