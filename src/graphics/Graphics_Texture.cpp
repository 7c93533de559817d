#include "graphics/Graphics_Texture.h"

#include "platform/MemoryManager.h"

namespace {

struct TextureSource {
  const uint8_t* bytes;
  uint64_t byteBound;
  bool flag;
};

TextureSource* g_textures = nullptr;
int32_t g_count = 0;
int32_t g_capacity = 0;

}  // namespace

int32_t GR_Texture_CreateFromChunk(const uint8_t* bytes, uint64_t byteBound, bool flag) {
  if (g_count == g_capacity) {
    // Grows by half again, so that making many textures stays linear.
    const int32_t capacity = g_capacity < 16 ? 16 : g_capacity + g_capacity / 2;
    g_textures = static_cast<TextureSource*>(MemoryManager::ReAlloc(
        g_textures, static_cast<uint32_t>(sizeof(TextureSource) * static_cast<uint64_t>(capacity)), __FILE__, __LINE__));
    g_capacity = capacity;
  }
  const int32_t id = g_count++;
  g_textures[id] = {bytes, bytes != nullptr ? byteBound : 0, flag};
  return id;
}

bool GR_Texture_GetSource(int32_t id, const uint8_t** bytes, uint64_t* byteBound, bool* flag) {
  if (id < 0 || id >= g_count) return false;
  if (bytes != nullptr) *bytes = g_textures[id].bytes;
  if (byteBound != nullptr) *byteBound = g_textures[id].byteBound;
  if (flag != nullptr) *flag = g_textures[id].flag;
  return true;
}

int32_t GR_Texture_Count() { return g_count; }

void GR_Texture_FreeAll() {
  MemoryManager::Free(g_textures);
  g_textures = nullptr;
  g_count = 0;
  g_capacity = 0;
}
