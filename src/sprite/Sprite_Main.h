// Sprites: the images the game draws, one slot per sprite index.
// The game data loader fills the table; until then it is empty and every lookup answers -1.
#pragma once

#include <cstdint>

class BoundedReader;

// The index of the first filled slot whose name equals `name` byte for byte (case matters), or
// -1 when none does (also for a null name).
int32_t Sprite_FindByName(const char* name);

// Reads the sprite chunk ("SPRT").
// Until that work lands, the payload is recorded (runner/GameData_Pending.h) and accepted.
bool Sprite_LoadChunk(BoundedReader& chunk);

// Empties the sprite table (the main pass, before any chunk is read).
void Sprite_FreeAll();
