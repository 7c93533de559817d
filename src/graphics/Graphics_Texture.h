// Textures made from the game data's texture chunk.
#pragma once

#include <cstdint>

// Creates a texture from compressed image bytes (null for none), which may use at most
// `byteBound` bytes; `flag` is bit 0 of the texture entry's flags. Answers the texture's id.
// Until images are decoded, the texture only records its bytes, and the ids are handed out in
// creation order from 0.
int32_t GR_Texture_CreateFromChunk(const uint8_t* bytes, uint64_t byteBound, bool flag);
// What texture `id` was made from; false for an id that names no texture.
bool GR_Texture_GetSource(int32_t id, const uint8_t** bytes, uint64_t* byteBound, bool* flag);
int32_t GR_Texture_Count();
// Releases every texture; ids start from 0 again.
void GR_Texture_FreeAll();
