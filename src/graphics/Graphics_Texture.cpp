#include "graphics/Graphics_Texture.h"

#include "platform/MemoryManager.h"

namespace {

struct TextureSource {
  const uint8_t* bytes;
  uint64_t byteBound;
  bool flag;
};

struct TextureTable {
  TextureSource* items = nullptr;
  int32_t count = 0;
  int32_t capacity = 0;
};
TextureTable g_textures;

}  // namespace

int32_t GR_Texture_CreateFromChunk(const uint8_t* bytes, uint64_t byteBound, bool flag) {
  if (g_textures.count == g_textures.capacity) {
    // Grows by half again, so that making many textures stays linear.
    const int32_t capacity = g_textures.capacity < 16 ? 16 : g_textures.capacity + g_textures.capacity / 2;
    g_textures.items = static_cast<TextureSource*>(
        MemoryManager::ReAlloc(g_textures.items, static_cast<uint32_t>(sizeof(TextureSource) * static_cast<uint64_t>(capacity)),
                               __FILE__, __LINE__));
    g_textures.capacity = capacity;
  }
  const int32_t id = g_textures.count++;
  g_textures.items[id] = {bytes, bytes != nullptr ? byteBound : 0, flag};
  return id;
}

bool GR_Texture_GetSource(int32_t id, const uint8_t** bytes, uint64_t* byteBound, bool* flag) {
  if (id < 0 || id >= g_textures.count) return false;
  if (bytes != nullptr) *bytes = g_textures.items[id].bytes;
  if (byteBound != nullptr) *byteBound = g_textures.items[id].byteBound;
  if (flag != nullptr) *flag = g_textures.items[id].flag;
  return true;
}

int32_t GR_Texture_Count() { return g_textures.count; }

void GR_Texture_FreeAll() {
  MemoryManager::Free(g_textures.items);
  g_textures = TextureTable{};
}
