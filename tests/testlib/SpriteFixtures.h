// Sprites made in memory for tests of collisions and motion: a slot of the sprite table holding
// a bitmap sprite of a given size, origin and masks, with no bitmaps or textures.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/MemoryManager.h"
#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Main.h"

namespace testsupport {

// A w x h mask with every pixel solid, and one with only the pixels of `dots` (x, y pairs) solid.
inline std::vector<uint8_t> SolidMask(int32_t w, int32_t h) { return std::vector<uint8_t>(static_cast<size_t>(w * h), 1); }
inline std::vector<uint8_t> DotsMask(int32_t w, int32_t h, const std::vector<std::pair<int32_t, int32_t>>& dots) {
  std::vector<uint8_t> mask(static_cast<size_t>(w * h), 0);
  for (const auto& [x, y] : dots) mask[static_cast<size_t>(y * w + x)] = 1;
  return mask;
}

// Appends a w x h sprite of `frames` frames to the sprite table: box the whole frame, origin
// (xo, yo), one mask per pattern (masks valid when there is one), precise as given. Answers its
// index; the table frees it.
inline int32_t AddTestSprite(int32_t w, int32_t h, const std::vector<std::vector<uint8_t>>& masks, bool precise = true,
                             int32_t xo = 0, int32_t yo = 0, int32_t frames = 1) {
  const int32_t index = Sprite_AddEmpty();
  CSprite* sprite = Sprite_Data(index);
  sprite->m_width = w;
  sprite->m_height = h;
  sprite->m_numb = frames;
  sprite->m_bboxMode = kBBoxFullImage;
  sprite->m_bbox = {0, 0, w - 1, h - 1};
  sprite->m_xOrigin = xo;
  sprite->m_yOrigin = yo;
  sprite->m_precise = precise;
  for (const auto& pattern : masks) {
    SpriteMask& mask = sprite->m_masks.Push();
    mask.size = w * h;
    mask.data = static_cast<uint8_t*>(MemoryManager::Alloc(static_cast<uint32_t>(mask.size), __FILE__, __LINE__));
    for (int32_t i = 0; i < mask.size; ++i) mask.data[i] = pattern[static_cast<size_t>(i)];
  }
  sprite->m_maskValid = !masks.empty();
  return index;
}

}  // namespace testsupport
