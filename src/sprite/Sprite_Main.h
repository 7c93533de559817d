// Sprites: the one table of the game's sprites, one slot per sprite index (platform/ResourceTable.h).
// The table is emptied before the game data is read, filled from the sprite chunk ("SPRT"),
// grown by run-time additions and torn down at shutdown. Slots are never reused: a sprite added
// at run time appends a slot named "__newsprite<index>". Main thread only.
#pragma once

#include <cstdint>

#include "platform/ResourceTable.h"

class BoundedReader;
class CSprite;

// The sprite table's record. Emptied by Sprite_Init and Sprite_FreeAll.
struct SpriteState {
  ResourceTable<CSprite> table{"__newsprite"};
};
extern SpriteState g_Sprites;

// Deletes every record and name: the table is empty (before the chunk walk).
void Sprite_Init();
// Reads the sprite chunk: a count and one entry offset per slot (0 leaves the slot empty), each
// entry read by CSprite::LoadFromChunk with its name copied into the slot. False, after a line on
// DebugConsole, when the count, an entry or its name does not lie inside the chunk or the file,
// or an entry is refused; the table is then empty.
bool Sprite_LoadChunk(BoundedReader& chunk);
// Makes the own textures and page entries of every sprite, once the graphics device exists.
void Sprite_InitTextures();
// At shutdown: every sprite's own textures, then every record and name.
void Sprite_FreeAll();

// True when 0 <= index < count and the slot holds a record.
bool Sprite_Exists(int32_t index);
// The record of slot `index`, or null.
CSprite* Sprite_Data(int32_t index);
// The slot's name; "<undefined>" for an index that names no sprite (null for a filled slot
// without a name).
const char* Sprite_GetName(int32_t index);
// The index of the first filled slot whose name equals `name` byte for byte (case matters), or
// -1 when none does (also for a null name).
int32_t Sprite_FindByName(const char* name);
// Appends a slot with a new empty record named "__newsprite<index>"; answers the index.
int32_t Sprite_AddEmpty();
