// Skeletal animation: the skeleton data a skeleton sprite carries and the per-instance skeleton
// state made from it. So far the data holds the skeleton's animations (name and duration) and the
// state which animation plays on track 0; the skeleton reader that fills the data is not built,
// so no sprite of a game has skeleton data yet. Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The skeleton data of one skeleton sprite, owned by the sprite.
class CSkeletonSprite {
 public:
  struct Animation {
    std::string name;
    float duration = 0.0f;  // seconds
  };
  // The index of the animation named `name` (byte for byte), -1 when none (also for null).
  int32_t FindAnimation(const char* name) const;

  std::vector<Animation> m_animations;  // in the data's order
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

  bool m_drawCollision = false;  // the instance's default draw also draws its bounds

 private:
  const CSkeletonSprite* m_data;
  int32_t m_current = -1;  // index of the animation on track 0
};
