#include "sprite/Sprite_Main.h"

#include <memory>
#include <string>
#include <vector>

#include "platform/NameTable.h"
#include "sprite/Sprite_Class.h"
#include "support/PendingChunk.h"

namespace {

// One record per sprite index (null for an empty slot) and the names by index; a record's name
// points at the table's copy.
struct SpriteTable {
  std::vector<std::unique_ptr<CSprite>> records;
  NameTable names;
};
SpriteTable g_sprites;

}  // namespace

bool Sprite_Exists(int32_t index) { return Sprite_Data(index) != nullptr; }

CSprite* Sprite_Data(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= g_sprites.records.size()) return nullptr;
  return g_sprites.records[static_cast<size_t>(index)].get();
}

int32_t Sprite_AddEmpty() {
  const int32_t index = static_cast<int32_t>(g_sprites.records.size());
  const std::string name = "__newsprite" + std::to_string(index);
  auto record = std::make_unique<CSprite>();
  record->m_index = index;
  record->m_name = g_sprites.names.Name(g_sprites.names.Add(name.c_str()));
  g_sprites.records.push_back(std::move(record));
  return index;
}

int32_t Sprite_FindByName(const char* name) { return g_sprites.names.FindFirst(name); }

bool Sprite_LoadChunk(BoundedReader& chunk) {
  PendingChunk_Record("Sprite_LoadChunk", chunk);
  return true;
}

void Sprite_FreeAll() {
  g_sprites.records.clear();
  g_sprites.names.FreeAll();
}
