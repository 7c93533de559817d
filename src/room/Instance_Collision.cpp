// The bounding box of an instance and its collision tests against a point, a rectangle, an
// ellipse, a segment and another instance.
#include <algorithm>
#include <cmath>

#include "animation/Skeleton_Class.h"
#include "debug/Profiler.h"
#include "platform/Numeric.h"
#include "room/Instance_Class.h"
#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Main.h"

namespace {

constexpr double kDegreesToRadians = 3.14159265358979323846 / 180.0;

int32_t Nearest(double v) { return num::RoundInt32(v); }

// The frame the collision tests use: the image index toward zero.
int32_t Frame(const CInstance* instance) { return num::TruncInt32(instance->i_imageindex); }

BoundingBox Box(const CInstance* instance) {
  return {instance->i_bbox[0], instance->i_bbox[1], instance->i_bbox[2], instance->i_bbox[3]};
}

bool HasFrames(const CSprite* sprite) { return sprite != nullptr && sprite->m_numb > 0; }

// The test shared by the rectangle, ellipse and line tests: false when the rectangle of the two
// corners lies wholly beside the box (right + 1 <= min x, left > max x, and the same vertically),
// the instance is marked, or a coordinate is NaN. The box is up to date.
bool RoughOverlap(const CInstance* instance, double x1, double y1, double x2, double y2) {
  if (std::isnan(x1) || std::isnan(y1) || std::isnan(x2) || std::isnan(y2)) return false;
  const int32_t* b = instance->i_bbox;
  if (static_cast<double>(b[2]) + 1.0 <= std::min(x1, x2) || b[0] > std::max(x1, x2)) return false;
  if (static_cast<double>(b[3]) + 1.0 <= std::min(y1, y2) || b[1] > std::max(y1, y2)) return false;
  return instance->i_marked == 0;
}

// Whether two up-to-date boxes overlap (inclusive).
bool BoxesOverlap(const CInstance* a, const CInstance* b) {
  return static_cast<int64_t>(b->i_bbox[0]) < static_cast<int64_t>(a->i_bbox[2]) + 1 &&
         static_cast<int64_t>(a->i_bbox[0]) < static_cast<int64_t>(b->i_bbox[2]) + 1 &&
         static_cast<int64_t>(b->i_bbox[1]) < static_cast<int64_t>(a->i_bbox[3]) + 1 &&
         static_cast<int64_t>(a->i_bbox[1]) < static_cast<int64_t>(b->i_bbox[3]) + 1;
}

// Whether (px, py) lies inside the ellipse of centre (cx, cy) and half sizes hw, hh. A half size
// of 0 holds no point.
bool InEllipse(int64_t px, int64_t py, int64_t cx, int64_t cy, int64_t hw, int64_t hh) {
  if (hw == 0 || hh == 0) return false;
  const double dx = static_cast<double>(px - cx) / static_cast<double>(hw);
  const double dy = static_cast<double>(py - cy) / static_cast<double>(hh);
  return dx * dx + dy * dy <= 1.0;
}

// The skeleton variant of Collision_Instance: `a` has a skeleton, `b` is the other instance.
bool CollideWithSkeleton(CInstance* a, CSkeletonInstance* skeleton, CInstance* b, bool precise) {
  Instance_UpdateBoundingBox(a);
  Instance_UpdateBoundingBox(b);
  if (!BoxesOverlap(a, b)) return false;
  const CSprite* other = Instance_CollisionSprite(b);
  if (!HasFrames(other)) return false;
  const CSprite* own = Sprite_Data(a->i_spriteindex);
  if (!precise || !((own != nullptr && own->m_precise) || other->m_precise)) return true;
  if (CSkeletonInstance* otherSkeleton = b->GetSkeleton()) return skeleton->CollideSkeleton(*otherSkeleton);
  return skeleton->CollideMask(*other, Frame(b), Box(b), Nearest(b->i_x), Nearest(b->i_y), b->i_imagescalex,
                               b->i_imagescaley, b->i_imageangle);
}

}  // namespace

CSprite* Instance_CollisionSprite(const CInstance* instance) {
  return Sprite_Data(instance->i_maskindex >= 0 ? instance->i_maskindex : instance->i_spriteindex);
}

void Compute_BoundingBox(CInstance* instance) {
  ProfilerScope scope(kProfileComputeBoundingBox);
  int32_t* box = instance->i_bbox;
  instance->i_bboxdirty = 0;
  const CSprite* sprite = Instance_CollisionSprite(instance);
  if (sprite == nullptr) {
    box[0] = box[2] = num::TruncInt32(instance->i_x);
    box[1] = box[3] = num::TruncInt32(instance->i_y);
    instance->i_precise = 0;
    return;
  }
  const double x = instance->i_x;
  const double y = instance->i_y;
  const double xscale = instance->i_imagescalex;
  const double yscale = instance->i_imagescaley;
  const BoundingBox& s = sprite->m_bbox;
  const double ox = sprite->m_xOrigin;
  const double oy = sprite->m_yOrigin;
  int32_t left, top, right, bottom;
  if (instance->i_imageangle == 0.0f) {
    left = Nearest((s.left - ox) * xscale + x);
    right = Nearest((static_cast<double>(s.right) - s.left + 1.0) * xscale + left);
    if (right < left) std::swap(left, right);
    top = Nearest((s.top - oy) * yscale + y);
    bottom = Nearest((static_cast<double>(s.bottom) - s.top + 1.0) * yscale + top);
    if (bottom < top) std::swap(top, bottom);
  } else {
    const double x0 = (std::min(s.left, s.right) - ox) * xscale;
    const double x1 = (std::max(s.left, s.right) - ox + 1.0) * xscale;
    const double y0 = (std::min(s.top, s.bottom) - oy) * yscale;
    const double y1 = (std::max(s.top, s.bottom) - oy + 1.0) * yscale;
    const double theta = static_cast<double>(instance->i_imageangle) * kDegreesToRadians;
    const double c = std::cos(theta);
    const double sn = std::sin(theta);
    left = Nearest(x + std::min(c * x0, c * x1) + std::min(sn * y0, sn * y1));
    right = Nearest(x + std::max(c * x0, c * x1) + std::max(sn * y0, sn * y1));
    top = Nearest(y + std::min(c * y0, c * y1) - std::max(sn * x0, sn * x1));
    bottom = Nearest(y + std::max(c * y0, c * y1) - std::min(sn * x0, sn * x1));
  }
  box[0] = left;
  box[1] = top;
  box[2] = num::WrapSub32(right, 1);
  box[3] = num::WrapSub32(bottom, 1);
  instance->i_precise = sprite->m_precise ? 1 : 0;
}

void Instance_UpdateBoundingBox(CInstance* instance) {
  if (CSkeletonInstance* skeleton = instance->GetSkeleton()) {
    BoundingBox box;
    if (skeleton->GetBoundingBox(box, Frame(instance), instance->i_x, instance->i_y, instance->i_imagescalex,
                                 instance->i_imagescaley, instance->i_imageangle)) {
      instance->i_bbox[0] = box.left;
      instance->i_bbox[1] = box.top;
      instance->i_bbox[2] = box.right;
      instance->i_bbox[3] = box.bottom;
      instance->i_bboxdirty = 0;
      instance->i_precise = 1;
    }
  }
  if (instance->i_bboxdirty != 0) Compute_BoundingBox(instance);
}

bool CInstance::CollidePoint(double px, double py, bool precise) {
  Instance_UpdateBoundingBox(this);
  // Written as the inside test, so a NaN point lies nowhere.
  const bool inside = px >= i_bbox[0] && px < static_cast<double>(i_bbox[2]) + 1.0 && py >= i_bbox[1] &&
                      py < static_cast<double>(i_bbox[3]) + 1.0;
  if (!inside || i_marked != 0) return false;
  const CSprite* sprite = Instance_CollisionSprite(this);
  if (!HasFrames(sprite)) return false;
  if (!precise || !sprite->m_precise) return true;
  if (CSkeletonInstance* skeleton = GetSkeleton()) return skeleton->CollidePoint(px, py);
  return sprite->CollidePoint(Frame(this), Box(this), Nearest(i_x), Nearest(i_y), i_imagescalex, i_imagescaley,
                              i_imageangle, num::TruncInt32(std::floor(px)), num::TruncInt32(std::floor(py)));
}

bool Instance_CollideRect(CInstance* instance, double x1, double y1, double x2, double y2, bool precise) {
  Instance_UpdateBoundingBox(instance);
  if (!RoughOverlap(instance, x1, y1, x2, y2)) return false;
  const double minX = std::min(x1, x2), maxX = std::max(x1, x2);
  const double minY = std::min(y1, y2), maxY = std::max(y1, y2);
  if (!precise || instance->i_precise != 1) return true;
  const CSprite* sprite = Instance_CollisionSprite(instance);
  if (!HasFrames(sprite)) return false;
  if (CSkeletonInstance* skeleton = instance->GetSkeleton()) return skeleton->CollideRect(x1, y1, x2, y2);
  const BoundingBox rect = {Nearest(minX), Nearest(minY), Nearest(maxX), Nearest(maxY)};
  return sprite->CollideRectangle(Frame(instance), Box(instance), Nearest(instance->i_x), Nearest(instance->i_y),
                                  instance->i_imagescalex, instance->i_imagescaley, instance->i_imageangle, rect);
}

bool CInstance::CollideEllipse(double x1, double y1, double x2, double y2, bool precise) {
  Instance_UpdateBoundingBox(this);
  if (!RoughOverlap(this, x1, y1, x2, y2)) return false;
  const double minX = std::min(x1, x2), maxX = std::max(x1, x2);
  const double minY = std::min(y1, y2), maxY = std::max(y1, y2);
  const int32_t left = Nearest(minX), right = Nearest(maxX);
  const int32_t top = Nearest(minY), bottom = Nearest(maxY);
  if (left == right || top == bottom) return Instance_CollideRect(this, x1, y1, x2, y2, precise);

  // The ellipse against the box: its centre column or row crosses the box, or a box corner lies
  // inside it.
  const int64_t cx = (static_cast<int64_t>(left) + right) / 2;
  const int64_t cy = (static_cast<int64_t>(top) + bottom) / 2;
  const int64_t hw = (static_cast<int64_t>(right) - left) / 2;
  const int64_t hh = (static_cast<int64_t>(bottom) - top) / 2;
  const int64_t bl = i_bbox[0], bt = i_bbox[1], br = i_bbox[2], bb = i_bbox[3];
  const bool meets = (cx >= bl && cx <= br) || (cy >= bt && cy <= bb) || InEllipse(bl, bt, cx, cy, hw, hh) ||
                     InEllipse(bl, bb, cx, cy, hw, hh) || InEllipse(br, bt, cx, cy, hw, hh) ||
                     InEllipse(br, bb, cx, cy, hw, hh);
  if (!meets) return false;
  if (!precise || i_precise != 1) return true;
  if (CSkeletonInstance* skeleton = GetSkeleton()) return skeleton->CollideEllipse(x1, y1, x2, y2);
  const CSprite* sprite = Instance_CollisionSprite(this);
  if (!HasFrames(sprite)) return false;
  return sprite->CollideEllipse(Frame(this), Box(this), Nearest(i_x), Nearest(i_y), i_imagescalex, i_imagescaley,
                                i_imageangle, {left, top, right, bottom});
}

bool CInstance::CollideLine(double x1, double y1, double x2, double y2, bool precise) {
  Instance_UpdateBoundingBox(this);
  if (!RoughOverlap(this, x1, y1, x2, y2)) return false;
  if (x2 < x1) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  // Clip the segment to the box's columns. Past the rough test x1 < left implies x2 >= left > x1,
  // and x2 > right + 1 implies x1 < right + 1 < x2, so neither division is by 0.
  const double left = i_bbox[0];
  const double rightEdge = static_cast<double>(i_bbox[2]) + 1.0;
  if (x1 < left) {
    y1 += (left - x1) * ((y2 - y1) / (x2 - x1));
    x1 = left;
  }
  if (x2 > rightEdge) {
    y2 += (rightEdge - x2) * ((y2 - y1) / (x2 - x1));
    x2 = rightEdge;
  }
  const double bottomEdge = static_cast<double>(i_bbox[3]) + 1.0;
  if ((y1 < i_bbox[1] && y2 < i_bbox[1]) || (y1 >= bottomEdge && y2 >= bottomEdge)) return false;
  if (!precise || i_precise != 1) return true;
  const CSprite* sprite = Instance_CollisionSprite(this);
  if (!HasFrames(sprite)) return false;
  if (CSkeletonInstance* skeleton = GetSkeleton()) return skeleton->CollideLine(x1, y1, x2, y2);
  return sprite->CollideLine(Frame(this), Box(this), Nearest(i_x), Nearest(i_y), i_imagescalex, i_imagescaley,
                             i_imageangle, Nearest(x1), Nearest(y1), Nearest(x2), Nearest(y2));
}

bool Collision_Instance(CInstance* instance, CInstance* other, bool precise) {
  ProfilerScope scope(kProfileCollisionInstance);
  if (instance == other || instance->i_marked != 0 || other->i_marked != 0) return false;
  if (CSkeletonInstance* skeleton = instance->GetSkeleton()) return CollideWithSkeleton(instance, skeleton, other, precise);
  if (CSkeletonInstance* skeleton = other->GetSkeleton()) return CollideWithSkeleton(other, skeleton, instance, precise);
  Instance_UpdateBoundingBox(instance);
  Instance_UpdateBoundingBox(other);
  if (!BoxesOverlap(instance, other)) return false;
  const CSprite* a = Instance_CollisionSprite(instance);
  const CSprite* b = Instance_CollisionSprite(other);
  if (!HasFrames(a) || !HasFrames(b)) return false;
  if (!precise || (!a->m_precise && !b->m_precise)) return true;
  return PreciseCollision(a, Frame(instance), Box(instance), Nearest(instance->i_x), Nearest(instance->i_y),
                          instance->i_imagescalex, instance->i_imagescaley, instance->i_imageangle, b, Frame(other),
                          Box(other), Nearest(other->i_x), Nearest(other->i_y), other->i_imagescalex,
                          other->i_imagescaley, other->i_imageangle);
}
