// A sprite: the animated image of the game, a number of frames of one size with a common origin.
// Besides bitmap sprites there are vector sprites and skeleton sprites, whose animation belongs to
// the skeletal-animation runtime. The record holds what the running world reads of it so far: its
// kind, its frame count and its skeleton data. Owned by the sprite table (Sprite_Main.h).
#pragma once

#include <cstdint>

class CSkeletonSprite;

enum SpriteKind : int32_t {
  SPRITE_BITMAP = 0,
  SPRITE_VECTOR = 1,
  SPRITE_SKELETON = 2,
};

class CSprite {
 public:
  CSprite() = default;
  // Destroys the skeleton data.
  virtual ~CSprite();
  CSprite(const CSprite&) = delete;
  CSprite& operator=(const CSprite&) = delete;

  int32_t m_numb = 0;                     // frame count (a skeleton sprite has 2147483647)
  int32_t m_kind = SPRITE_BITMAP;         // SpriteKind
  CSkeletonSprite* m_skeleton = nullptr;  // owned skeleton data of a skeleton sprite, or null
  const char* m_name = nullptr;           // the table's name of the slot, not owned
  int32_t m_index = -1;                   // the slot
};
