// Skeletal animation: the skeleton data a skeleton sprite carries and the per-instance skeleton
// state made from it. So far the data holds where the sprite's skeleton lies in the game image
// (its JSON text, atlas text and page image, back to back, with their lengths and the atlas page
// size) and the skeleton's animations (name and duration), and the state which animation plays
// on track 0. The texts are not read yet: a skeleton from the game data holds no animations, is
// not valid and draws nothing. Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/Graphics_Bitmap32.h"

class CSprite;

// The skeleton data of one skeleton sprite, owned by the sprite.
class CSkeletonSprite {
 public:
  // A skeleton over the data of a "SPRT" skeleton entry at `data` (inside the game image, which
  // outlives the sprite; the caller has checked that the three lengths lie inside the chunk):
  // the JSON text, the atlas text and the page image back to back, and the atlas page size.
  static CSkeletonSprite* LoadFromChunk(const uint8_t* data, uint32_t jsonLength, uint32_t atlasLength,
                                        uint32_t imageLength, uint32_t pageWidth, uint32_t pageHeight);

  // True when the JSON reader, the skeleton data and the atlas all exist: never, so far.
  bool IsValid() const { return false; }
  // Draws the skeleton at (x, y) for the current instance: nothing while the skeleton is not
  // valid.
  void DrawForInstance(int32_t frame, float x, float y, float xscale, float yscale, float angle, uint32_t colour,
                       float alpha) const;

  struct Animation {
    std::string name;
    float duration = 0.0f;  // seconds
  };
  // The index of the animation named `name` (byte for byte), -1 when none (also for null).
  int32_t FindAnimation(const char* name) const;

  std::vector<Animation> m_animations;  // in the data's order

  const uint8_t* m_data = nullptr;  // the entry's data in the game image, or null
  uint32_t m_jsonLength = 0;
  uint32_t m_atlasLength = 0;
  uint32_t m_imageLength = 0;
  uint32_t m_pageWidth = 0;
  uint32_t m_pageHeight = 0;
};

// The skeleton state of one instance.
class CSkeletonInstance {
 public:
  // A state over the sprite's skeleton data (borrowed; the sprite outlives the state): the
  // data's first animation, when it has one, becomes the current animation.
  explicit CSkeletonInstance(const CSkeletonSprite* data);
  CSkeletonInstance(const CSkeletonInstance&) = delete;
  CSkeletonInstance& operator=(const CSkeletonInstance&) = delete;

  // Makes this state a copy of `source`: over the source's data, playing the animation the
  // source plays on track 0 when the data has it, with the source's collision-drawing flag.
  // Answers this state.
  CSkeletonInstance* CopyFrom(const CSkeletonInstance& source);

  // The name of the animation on `track`: the current animation on track 0, else null.
  const char* GetAnimationName(int32_t track) const;
  // The duration of the current animation, 0 when there is none.
  float CurrentDuration() const;

  // ---- Collision against the skeleton's bounding polygons ----
  // The box of the bounding polygons posed at `frame`, placed at (x, y) with the scales and the
  // angle (degrees), into `box` (room pixels, inclusive); the later tests use that pose. False,
  // with `box` untouched, when the skeleton has no bounding polygons: so far never any.
  bool GetBoundingBox(BoundingBox& box, int32_t frame, float x, float y, float xscale, float yscale,
                      float angle);
  // Whether the posed polygons cover the point, meet the rectangle, the ellipse inside the
  // rectangle or the segment, another posed skeleton, or the solid pixels of a placed sprite
  // (frame, box, position, scales, angle as in CSprite::CollidePoint). False without polygons.
  bool CollidePoint(double x, double y) const;
  bool CollideRect(double x1, double y1, double x2, double y2) const;
  bool CollideEllipse(double x1, double y1, double x2, double y2) const;
  bool CollideLine(double x1, double y1, double x2, double y2) const;
  bool CollideSkeleton(const CSkeletonInstance& other) const;
  bool CollideMask(const CSprite& sprite, int32_t frame, const BoundingBox& box, int32_t x, int32_t y, float xscale,
                   float yscale, float angle) const;

  bool m_drawCollision = false;  // the instance's default draw also draws its bounds

 private:
  const CSkeletonSprite* m_data;
  int32_t m_current = -1;  // index of the animation on track 0
};
