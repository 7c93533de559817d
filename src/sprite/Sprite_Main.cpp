#include "sprite/Sprite_Main.h"

#include "platform/NameTable.h"
#include "runner/GameData_Pending.h"

namespace {

// The name of each sprite slot by index; an empty slot holds none.
NameTable g_SpriteNames;

}  // namespace

int32_t Sprite_FindByName(const char* name) { return g_SpriteNames.FindFirst(name); }

bool Sprite_LoadChunk(BoundedReader& chunk) {
  PendingChunk_Record("Sprite_LoadChunk", chunk);
  return true;
}

void Sprite_FreeAll() { g_SpriteNames.FreeAll(); }
