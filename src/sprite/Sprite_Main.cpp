#include "sprite/Sprite_Main.h"

#include "base/VCL.h"
#include "sprite/Sprite_Class.h"
#include "support/BoundedReader.h"

SpriteState g_Sprites;

void Sprite_Init() { g_Sprites.table.FreeAll(); }

bool Sprite_LoadChunk(BoundedReader& chunk) {
  Sprite_Init();
  uint32_t count = 0;
  if (!chunk.U32(&count) || count > INT32_MAX || !chunk.Fits(count, 4)) {
    DebugConsole->Output("Game data: the sprite chunk holds fewer entries than its count %u\n", count);
    return false;
  }
  ResourceTable<CSprite>& table = g_Sprites.table;
  table.Reset(static_cast<int32_t>(count));
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t offset = 0;
    chunk.ReadAt(4 + 4ull * i, &offset);
    if (offset == 0) continue;  // an empty slot
    const int32_t index = static_cast<int32_t>(i);
    // The entry runs from its offset to the end of the chunk.
    const char* name = nullptr;
    uint32_t nameOffset = 0;
    const bool inside = offset >= chunk.Offset() && offset - chunk.Offset() < chunk.Size();
    BoundedReader entry = inside ? chunk.Sub(offset - chunk.Offset(), chunk.Size() - (offset - chunk.Offset()))
                                 : chunk.Sub(chunk.Size(), 0);
    if (!inside || !entry.ReadAt(0, &nameOffset) || !entry.TextAt(nameOffset, &name)) {
      DebugConsole->Output("Game data: sprite %d or its name lies outside the sprite chunk\n", index);
      Sprite_Init();
      return false;
    }
    CSprite* sprite = new CSprite();
    if (!sprite->LoadFromChunk(entry, index)) {
      delete sprite;
      Sprite_Init();
      return false;
    }
    sprite->m_name = table.Set(index, sprite, name);
    sprite->m_index = index;
  }
  return true;
}

void Sprite_InitTextures() {
  g_Sprites.table.ForEach([](int32_t, CSprite* sprite) {
    sprite->InitTexture();
    sprite->InitLocalTPE();
  });
}

void Sprite_FreeAll() {
  g_Sprites.table.ForEach([](int32_t, CSprite* sprite) { sprite->FreeTextures(); });
  g_Sprites.table.FreeAll();
}

bool Sprite_Exists(int32_t index) { return g_Sprites.table.Exists(index); }

CSprite* Sprite_Data(int32_t index) { return g_Sprites.table.Data(index); }

const char* Sprite_GetName(int32_t index) { return g_Sprites.table.Name(index); }

int32_t Sprite_FindByName(const char* name) { return g_Sprites.table.FindByName(name); }

int32_t Sprite_AddEmpty() {
  CSprite* sprite = new CSprite();
  const int32_t index = g_Sprites.table.Append(sprite);
  sprite->m_index = index;
  sprite->m_name = g_Sprites.table.Name(index);
  return index;
}
