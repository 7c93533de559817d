#include "graphics/Graphics_Texture.h"

#include "platform/GrowArray.h"

namespace {

struct TextureSource {
  const uint8_t* bytes;
  uint64_t byteBound;
  bool flag;
};

GrowArray<TextureSource> g_textures;

}  // namespace

int32_t GR_Texture_CreateFromChunk(const uint8_t* bytes, uint64_t byteBound, bool flag) {
  const int32_t id = g_textures.Count();
  g_textures.Push({bytes, bytes != nullptr ? byteBound : 0, flag});
  return id;
}

bool GR_Texture_GetSource(int32_t id, const uint8_t** bytes, uint64_t* byteBound, bool* flag) {
  if (id < 0 || id >= g_textures.Count()) return false;
  if (bytes != nullptr) *bytes = g_textures[id].bytes;
  if (byteBound != nullptr) *byteBound = g_textures[id].byteBound;
  if (flag != nullptr) *flag = g_textures[id].flag;
  return true;
}

int32_t GR_Texture_Count() { return g_textures.Count(); }

void GR_Texture_FreeAll() { g_textures.Free(); }
