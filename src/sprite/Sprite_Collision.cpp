// Collision masks and the collision tests of a sprite.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "debug/Profiler.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"
#include "sprite/Sprite_Class.h"

namespace {

// Angles below this (in degrees) take the unrotated path of the point, rectangle, ellipse and line
// tests.
constexpr float kTinyAngle = 0.0001f;

SpriteMask NewMask(int32_t size) {
  SpriteMask mask;
  mask.size = size;
  mask.data = static_cast<uint8_t*>(MemoryManager::Alloc(static_cast<uint32_t>(size), __FILE__, __LINE__));
  return mask;
}

// The bytes of one mask of a w x h sprite; 0 when the size is not above 0 or too large to hold.
int32_t MaskSize(int32_t w, int32_t h) {
  if (w <= 0 || h <= 0) return 0;
  const int64_t pixels = static_cast<int64_t>(w) * h;
  return pixels <= INT32_MAX ? static_cast<int32_t>(pixels) : 0;
}

// The frame's mask index: the frame modulo the mask count, a negative remainder plus the count.
int32_t MaskIndex(int32_t frame, int32_t count) {
  int32_t m = frame % count;
  if (m < 0) m += count;
  return m;
}

// The rotation of a placed sprite: a = -angle x pi / 180 with its sine and cosine, in single
// precision.
struct Rotation {
  float s;
  float c;
  explicit Rotation(float angle) {
    const float a = num::ToFloat(-static_cast<double>(angle) * 3.1415927f / 180.0);
    s = std::sin(a);
    c = std::cos(a);
  }
};

// A placed sprite, as the point, rectangle, ellipse and line tests map room pixels into it.
class Placed {
 public:
  Placed(const CSprite& sprite, int32_t frame, int32_t x, int32_t y, float xscale, float yscale, float angle)
      : m_sprite(sprite),
        m_mask(sprite.Mask(MaskIndex(frame, sprite.MaskCount())).data),
        m_x(x),
        m_y(y),
        m_xscale(xscale),
        m_yscale(yscale),
        m_rotation(angle) {}

  // The mask byte at frame pixel (u, v), 0 outside the frame.
  bool Solid(int64_t u, int64_t v) const {
    if (u < 0 || v < 0 || u >= m_sprite.m_width || v >= m_sprite.m_height) return false;
    return m_mask[v * m_sprite.m_width + u] == 1;
  }
  // The room point (px, py) through the rotation mapping, rounded down.
  bool SolidRotated(double px, double py) const {
    const double dx = px - m_x;
    const double dy = py - m_y;
    const double u = (dy * m_rotation.s + dx * m_rotation.c) / m_xscale + m_sprite.m_xOrigin;
    const double v = (dy * m_rotation.c - dx * m_rotation.s) / m_yscale + m_sprite.m_yOrigin;
    return Solid(Floor(u), Floor(v));
  }
  // The room pixel through the integer mapping of unscaled, unrotated sprites.
  bool SolidInteger(int64_t px, int64_t py) const {
    return Solid(m_sprite.m_xOrigin - static_cast<int64_t>(m_x) + px, m_sprite.m_yOrigin - static_cast<int64_t>(m_y) + py);
  }
  // The room pixel through the unrotated, scaled mapping, rounded down.
  bool SolidScaled(int64_t px, int64_t py) const {
    return Solid(Floor((static_cast<double>(px) - m_x) / m_xscale + m_sprite.m_xOrigin),
                 Floor((static_cast<double>(py) - m_y) / m_yscale + m_sprite.m_yOrigin));
  }

 private:
  // Rounds down; NaN and values past 64 bits land outside every frame.
  static int64_t Floor(double v) { return num::TruncInt64(std::floor(v)); }

  const CSprite& m_sprite;
  const uint8_t* m_mask;
  int32_t m_x, m_y;
  float m_xscale, m_yscale;
  Rotation m_rotation;
};

// The overlap of two inclusive boxes, in 64 bits so that no loop over it overflows.
struct Span {
  int64_t left, top, right, bottom;
};
Span Overlap(const BoundingBox& a, const BoundingBox& b) {
  return {std::max<int64_t>(a.left, b.left), std::max<int64_t>(a.top, b.top), std::min<int64_t>(a.right, b.right),
          std::min<int64_t>(a.bottom, b.bottom)};
}

// The rectangle test and, with an ellipse, the ellipse test: the overlap of the box and the
// rectangle, columns outside, rows inside, the first solid pixel answering.
bool CollideArea(const Placed& placed, const BoundingBox& box, const BoundingBox& rect, float xscale, float yscale,
                 float angle, const BoundingBox* ellipse) {
  const Span span = Overlap(box, rect);
  const bool integer = xscale == 1.0f && yscale == 1.0f && std::fabs(angle) < kTinyAngle;
  const bool rotated = std::fabs(angle) >= kTinyAngle;
  float cx = 0, cy = 0, rx = 0, ry = 0;
  if (ellipse != nullptr) {
    cx = static_cast<float>((static_cast<int64_t>(ellipse->left) + ellipse->right) / 2);
    cy = static_cast<float>((static_cast<int64_t>(ellipse->top) + ellipse->bottom) / 2);
    rx = static_cast<float>((static_cast<int64_t>(ellipse->right) - ellipse->left) / 2);
    ry = static_cast<float>((static_cast<int64_t>(ellipse->bottom) - ellipse->top) / 2);
    // A degenerate ellipse holds no pixel.
    if (rx == 0.0f || ry == 0.0f) return false;
  }
  for (int64_t px = span.left; px <= span.right; ++px) {
    for (int64_t py = span.top; py <= span.bottom; ++py) {
      if (ellipse != nullptr) {
        const float ex = (static_cast<float>(px) - cx) / rx;
        const float ey = (static_cast<float>(py) - cy) / ry;
        if (!(ex * ex + ey * ey <= 1.0f)) continue;
      }
      const bool solid = integer   ? placed.SolidInteger(px, py)
                         : rotated ? placed.SolidRotated(static_cast<double>(px), static_cast<double>(py))
                                   : placed.SolidScaled(px, py);
      if (solid) return true;
    }
  }
  return false;
}

}  // namespace

// ---- Masks ------------------------------------------------------------------------------------

void CSprite::FreeMasks() {
  if (!m_maskValid) return;
  for (int32_t i = 0; i < m_masks.Count(); ++i) MemoryManager::Free(m_masks[i].data);
  m_masks.Clear();
  m_maskValid = false;
}

void CSprite::CreateMask() {
  FreeMasks();
  if (!m_precise || !m_transparent || m_numb <= 0 || m_kind != SPRITE_BITMAP || HoldsGamePageEntries()) return;
  const int32_t size = MaskSize(m_width, m_height);
  if (size == 0) return;
  m_masks.SetCount(m_numb);
  for (int32_t i = 0; i < m_numb; ++i) {
    m_masks[i] = NewMask(size);
    const CBitmap32* bitmap = Bitmap(i);
    if (bitmap == nullptr || !bitmap->IsValid()) continue;
    const uint32_t* pixels = bitmap->GetData()->pixels;
    const int32_t w = std::min(m_width, bitmap->GetWidth());
    const int32_t h = std::min(m_height, bitmap->GetHeight());
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        m_masks[i].data[y * m_width + x] = (pixels[y * bitmap->GetWidth() + x] >> 24) != 0 ? 1 : 0;
      }
    }
  }
  m_maskValid = true;
}

void CSprite::SetPrecise(bool precise) {
  if (precise == m_precise) return;
  m_precise = precise;
  if (m_kind == SPRITE_BITMAP) CreateMask();
}

void CSprite::BuildMask(SpriteMask& mask, const CBitmap32* bitmap, int32_t shape, int32_t tolerance,
                        const SpriteMask* add) const {
  const uint32_t* pixels = bitmap != nullptr && bitmap->IsValid() ? bitmap->GetData()->pixels : nullptr;
  const int32_t bw = pixels != nullptr ? bitmap->GetWidth() : 0;
  const int32_t bh = pixels != nullptr ? bitmap->GetHeight() : 0;
  std::memset(mask.data, 0, static_cast<size_t>(mask.size));
  if (shape == kMaskPrecise) {
    for (int32_t y = 0; y < m_height; ++y) {
      for (int32_t x = 0; x < m_width; ++x) {
        const uint32_t alpha = x < bw && y < bh ? (pixels[y * bw + x] & 0xFF000000u) : 0;
        mask.data[y * m_width + x] = alpha > static_cast<uint32_t>(tolerance) ? 1 : 0;
      }
    }
  } else if (shape == kMaskRectangle || shape == kMaskEllipse || shape == kMaskDiamond) {
    const int32_t left = std::max(m_bbox.left, 0);
    const int32_t top = std::max(m_bbox.top, 0);
    const int32_t right = std::min(m_bbox.right, m_width - 1);
    const int32_t bottom = std::min(m_bbox.bottom, m_height - 1);
    const int64_t cx = (static_cast<int64_t>(m_bbox.left) + m_bbox.right) / 2;
    const int64_t cy = (static_cast<int64_t>(m_bbox.top) + m_bbox.bottom) / 2;
    const float hx = static_cast<float>(cx - m_bbox.left) + 0.5f;
    const float hy = static_cast<float>(cy - m_bbox.top) + 0.5f;
    if (shape == kMaskRectangle || (hx > 0.0f && hy > 0.0f)) {
      for (int32_t y = top; y <= bottom; ++y) {
        for (int32_t x = left; x <= right; ++x) {
          bool solid = true;
          if (shape != kMaskRectangle) {
            const float ex = static_cast<float>(x - cx) / hx;
            const float ey = static_cast<float>(y - cy) / hy;
            solid = shape == kMaskEllipse ? ex * ex + ey * ey < 1.0f : std::fabs(ex) + std::fabs(ey) < 1.0f;
          }
          if (solid) mask.data[y * m_width + x] = 1;
        }
      }
    }
  }
  if (add != nullptr) {
    const int32_t n = std::min(mask.size, add->size);
    for (int32_t i = 0; i < n; ++i) {
      if (add->data[i] != 0) mask.data[i] = 1;
    }
  }
}

void CSprite::GenerateCollisionMask(bool separate, int32_t bboxMode, const BoundingBox& box, int32_t shape,
                                    int32_t tolerance) {
  if (m_kind != SPRITE_BITMAP) return;
  FreeMasks();
  if (HoldsGamePageEntries()) return;
  if (bboxMode == kBBoxAutomatic || bboxMode == kBBoxFullImage) {
    m_bbox = {0, 0, m_width - 1, m_height - 1};
  } else if (bboxMode == kBBoxManual) {
    m_bbox = box;
  }
  const int32_t size = MaskSize(m_width, m_height);
  if (m_numb > 0 && size > 0) {
    m_masks.SetCount(m_numb);
    for (int32_t i = 0; i < m_numb; ++i) m_masks[i] = NewMask(size);
    for (int32_t i = 0; i < m_numb; ++i) {
      BuildMask(m_masks[i], Bitmap(i), shape, tolerance, separate || i == 0 ? nullptr : &m_masks[0]);
    }
  }
  m_maskValid = true;
}

void CSprite::LoadVectorMasks(const uint8_t* const* blocks, const int32_t* lengths, int32_t count) {
  if (blocks == nullptr) return;
  FreeMasks();
  const int32_t size = MaskSize(m_width, m_height);
  if (!m_precise || count <= 0 || size == 0) return;
  m_masks.SetCount(count);
  for (int32_t i = 0; i < count; ++i) {
    SpriteMask& mask = m_masks[i];
    mask = NewMask(size);
    int64_t at = 0;
    const uint8_t* runs = blocks[i];
    const int32_t length = runs != nullptr ? lengths[i] : 0;
    for (int32_t r = 0; r < length && at < size; ++r) {
      const int64_t n = std::min<int64_t>((runs[r] & 0x7F) + 1, size - at);
      std::memset(mask.data + at, runs[r] >> 7, static_cast<size_t>(n));
      at += n;
    }
  }
  m_maskValid = true;
}

// ---- Tests --------------------------------------------------------------------------------------

bool CSprite::CollidePoint(int32_t frame, const BoundingBox&, int32_t x, int32_t y, float xscale, float yscale,
                           float angle, int32_t px, int32_t py) const {
  if (!HasMasks()) return true;
  if (m_numb <= 0) return false;
  const Placed placed(*this, frame, x, y, xscale, yscale, angle);
  if (std::fabs(angle) < kTinyAngle) return placed.SolidScaled(px, py);
  return placed.SolidRotated(px, py);
}

bool CSprite::CollideRectangle(int32_t frame, const BoundingBox& box, int32_t x, int32_t y, float xscale,
                               float yscale, float angle, const BoundingBox& rect) const {
  if (!HasMasks()) return true;
  if (m_numb <= 0) return false;
  const Placed placed(*this, frame, x, y, xscale, yscale, angle);
  return CollideArea(placed, box, rect, xscale, yscale, angle, nullptr);
}

bool CSprite::CollideEllipse(int32_t frame, const BoundingBox& box, int32_t x, int32_t y, float xscale,
                             float yscale, float angle, const BoundingBox& rect) const {
  if (!HasMasks()) return true;
  if (m_numb <= 0) return false;
  const Placed placed(*this, frame, x, y, xscale, yscale, angle);
  return CollideArea(placed, box, rect, xscale, yscale, angle, &rect);
}

bool CSprite::CollideLine(int32_t frame, const BoundingBox& box, int32_t x, int32_t y, float xscale, float yscale,
                          float angle, int32_t x1, int32_t y1, int32_t x2, int32_t y2) const {
  if (!HasMasks()) return true;
  if (m_numb <= 0) return false;
  if (x1 == x2 || y1 == y2) {
    return CollideRectangle(frame, box, x, y, xscale, yscale, angle,
                            {x1, std::min(y1, y2), x2, std::max(y1, y2)});
  }
  const Placed placed(*this, frame, x, y, xscale, yscale, angle);
  const int64_t wide = std::llabs(static_cast<int64_t>(x2) - x1);
  const int64_t tall = std::llabs(static_cast<int64_t>(y2) - y1);
  if (tall <= wide) {
    if (x1 > x2) {
      std::swap(x1, x2);
      std::swap(y1, y2);
    }
    const float slope = static_cast<float>(static_cast<int64_t>(y2) - y1) / static_cast<float>(static_cast<int64_t>(x2) - x1);
    const int64_t last = std::min<int64_t>(box.right, x2);
    for (int64_t px = std::max<int64_t>(box.left, x1); px <= last; ++px) {
      const float ly = static_cast<float>(px - x1) * slope + static_cast<float>(y1);
      if (placed.SolidRotated(static_cast<double>(px), ly)) return true;
    }
  } else {
    if (y1 > y2) {
      std::swap(x1, x2);
      std::swap(y1, y2);
    }
    const float slope = static_cast<float>(static_cast<int64_t>(x2) - x1) / static_cast<float>(static_cast<int64_t>(y2) - y1);
    const int64_t last = std::min<int64_t>(box.bottom, y2);
    for (int64_t py = std::max<int64_t>(box.top, y1); py <= last; ++py) {
      const float lx = static_cast<float>(py - y1) * slope + static_cast<float>(x1);
      if (placed.SolidRotated(lx, static_cast<double>(py))) return true;
    }
  }
  return false;
}

namespace {

// A placed sprite as PreciseCollision maps room pixels into it: truncation toward zero, the
// reciprocal scales in single precision, the whole frame solid without masks.
struct PrecisePlaced {
  const CSprite* sprite;
  const uint8_t* mask;  // null: the whole frame is solid
  int32_t x, y;
  float rx, ry;         // reciprocal scales
  float angle;
  Rotation rotation;

  PrecisePlaced(const CSprite* s, int32_t frame, int32_t px, int32_t py, float xscale, float yscale, float a)
      : sprite(s),
        mask(s->HasMasks() ? s->Mask(MaskIndex(frame, s->MaskCount())).data : nullptr),
        x(px),
        y(py),
        rx(1.0f / xscale),
        ry(1.0f / yscale),
        angle(a),
        rotation(a) {}

  bool Solid(int64_t u, int64_t v) const {
    if (u < 0 || v < 0 || u >= sprite->m_width || v >= sprite->m_height) return false;
    return mask == nullptr || mask[v * sprite->m_width + u] != 0;
  }
  bool SolidInteger(int64_t px, int64_t py) const {
    return Solid(sprite->m_xOrigin + px - x, sprite->m_yOrigin + py - y);
  }
  bool SolidScaled(int64_t px, int64_t py) const {
    return Solid(num::TruncInt64(static_cast<double>(px - x) * rx + sprite->m_xOrigin),
                 num::TruncInt64(static_cast<double>(py - y) * ry + sprite->m_yOrigin));
  }
  bool SolidRotated(int64_t px, int64_t py) const {
    const double dx = static_cast<double>(px - x);
    const double dy = static_cast<double>(py - y);
    const double u = (dy * rotation.s + dx * rotation.c) * rx + sprite->m_xOrigin;
    const double v = (dy * rotation.c - dx * rotation.s) * ry + sprite->m_yOrigin;
    return Solid(num::TruncInt64(u), num::TruncInt64(v));
  }
};

}  // namespace

bool PreciseCollision(const CSprite* sprite1, int32_t frame1, const BoundingBox& box1, int32_t x1, int32_t y1,
                      float xscale1, float yscale1, float angle1, const CSprite* sprite2, int32_t frame2,
                      const BoundingBox& box2, int32_t x2, int32_t y2, float xscale2, float yscale2,
                      float angle2) {
  ProfilerScope scope(kProfilePreciseCollision);
  if (sprite1 == nullptr || sprite2 == nullptr || sprite1->m_numb < 1 || sprite2->m_numb < 1) return false;
  const PrecisePlaced a(sprite1, frame1, x1, y1, xscale1, yscale1, angle1);
  const PrecisePlaced b(sprite2, frame2, x2, y2, xscale2, yscale2, angle2);
  const Span span = Overlap(box1, box2);
  enum { kInteger, kScaled, kRotated } mapping = kRotated;
  if (angle1 == 0.0f && angle2 == 0.0f) {
    mapping = a.rx == 1.0f && a.ry == 1.0f && b.rx == 1.0f && b.ry == 1.0f ? kInteger : kScaled;
  }
  for (int64_t px = span.left; px <= span.right; ++px) {
    for (int64_t py = span.top; py <= span.bottom; ++py) {
      switch (mapping) {
        case kInteger:
          if (a.SolidInteger(px, py) && b.SolidInteger(px, py)) return true;
          break;
        case kScaled:
          if (a.SolidScaled(px, py) && b.SolidScaled(px, py)) return true;
          break;
        case kRotated:
          if (a.SolidRotated(px, py) && b.SolidRotated(px, py)) return true;
          break;
      }
    }
  }
  return false;
}
