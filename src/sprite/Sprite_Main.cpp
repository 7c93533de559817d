#include "sprite/Sprite_Main.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "runner/GameData_Pending.h"
#include "sprite/Sprite_Class.h"

namespace {

// One slot per sprite index: its record (null for an empty slot) and its name.
struct SpriteSlot {
  std::unique_ptr<CSprite> record;
  std::unique_ptr<std::string> name;  // kept at one address: the record points at its text
};

struct SpriteTable {
  std::vector<SpriteSlot> slots;
};
SpriteTable g_sprites;

}  // namespace

bool Sprite_Exists(int32_t index) { return Sprite_Data(index) != nullptr; }

CSprite* Sprite_Data(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= g_sprites.slots.size()) return nullptr;
  return g_sprites.slots[static_cast<size_t>(index)].record.get();
}

int32_t Sprite_AddEmpty() {
  const int32_t index = static_cast<int32_t>(g_sprites.slots.size());
  SpriteSlot slot;
  slot.name = std::make_unique<std::string>("__newsprite" + std::to_string(index));
  slot.record = std::make_unique<CSprite>();
  slot.record->m_index = index;
  slot.record->m_name = slot.name->c_str();
  g_sprites.slots.push_back(std::move(slot));
  return index;
}

int32_t Sprite_FindByName(const char* name) {
  if (name == nullptr) return -1;
  for (size_t i = 0; i < g_sprites.slots.size(); ++i) {
    const SpriteSlot& slot = g_sprites.slots[i];
    if (slot.record != nullptr && slot.name != nullptr && std::strcmp(slot.name->c_str(), name) == 0) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

bool Sprite_LoadChunk(BoundedReader& chunk) {
  PendingChunk_Record("Sprite_LoadChunk", chunk);
  return true;
}

void Sprite_FreeAll() { g_sprites = SpriteTable(); }
