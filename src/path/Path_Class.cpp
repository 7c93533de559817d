#include "path/Path_Class.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/Graphics_Primitive.h"
#include "graphics/device/D3D_Types.h"
#include "platform/Numeric.h"
#include "support/BoundedReader.h"

namespace {

// Pieces whose control point lies within 4 units (squared distance 16) of an end are not
// refined further.
constexpr double kSubdivideThreshold = 16.0;

// The midpoint of two points, x, y and speed alike, computed in double, stored in single.
PathPoint Midpoint(const PathPoint& a, const PathPoint& b) {
  return {num::ToFloat((static_cast<double>(a.x) + b.x) / 2.0), num::ToFloat((static_cast<double>(a.y) + b.y) / 2.0),
          num::ToFloat((static_cast<double>(a.speed) + b.speed) / 2.0)};
}

// The quadratic curve's middle: (s + 2c + e) / 4.
PathPoint CurveMiddle(const PathPoint& s, const PathPoint& c, const PathPoint& e) {
  return {num::ToFloat((static_cast<double>(s.x) + 2.0 * c.x + e.x) / 4.0),
          num::ToFloat((static_cast<double>(s.y) + 2.0 * c.y + e.y) / 4.0),
          num::ToFloat((static_cast<double>(s.speed) + 2.0 * c.speed + e.speed) / 4.0)};
}

double SquaredDistance(const PathPoint& a, const PathPoint& b) {
  const double dx = static_cast<double>(a.x) - b.x, dy = static_cast<double>(a.y) - b.y;
  return dx * dx + dy * dy;
}

PathPosition PositionOf(const PathComputedPoint& p) { return {p.x, p.y, p.speed}; }

}  // namespace

CPath::~CPath() {
  m_points.Free();
  m_computed.Free();
}

bool CPath::Load(BoundedReader& entry) {
  int32_t kind = 0, closed = 0, precision = 0, count = 0;
  if (!entry.ReadAt(4, &kind) || !entry.ReadAt(8, &closed) || !entry.ReadAt(12, &precision) ||
      !entry.ReadAt(16, &count) || count < 0 || !entry.Has(20, 12ull * static_cast<uint64_t>(count))) {
    return false;
  }
  m_points.SetCount(count);
  for (int32_t i = 0; i < count; ++i) {
    PathPoint& p = m_points[i];
    const uint64_t at = 20 + 12ull * static_cast<uint64_t>(i);
    entry.ReadAt(at, &p.x);
    entry.ReadAt(at + 4, &p.y);
    entry.ReadAt(at + 8, &p.speed);
  }
  m_kind = kind == kPathSmooth ? kPathSmooth : kPathStraight;
  m_closed = closed != 0;
  m_precision = std::clamp(precision, 0, kPathMaxPrecision);
  Recompute();
  return true;
}

void CPath::Assign(const CPath& other) {
  if (&other == this) return;
  m_kind = other.m_kind;
  m_closed = other.m_closed;
  m_precision = other.m_precision;
  m_points.SetCount(other.m_points.Count());
  if (other.m_points.Count() > 0) {
    std::memcpy(m_points.Data(), other.m_points.Data(), sizeof(PathPoint) * static_cast<size_t>(other.m_points.Count()));
  }
  Recompute();
}

// ---- Control points ----

int32_t CPath::AddPoint(float x, float y, float speed) {
  m_points.Push(PathPoint{x, y, speed});
  Recompute();
  return m_points.Count() - 1;
}

void CPath::InsertPoint(int32_t index, float x, float y, float speed) {
  const int32_t count = m_points.Count();
  if (index < 0 || index > count) return;
  m_points.SetCount(static_cast<int64_t>(count) + 1);
  PathPoint* p = m_points.Data();
  std::memmove(p + index + 1, p + index, sizeof(PathPoint) * static_cast<size_t>(count - index));
  p[index] = PathPoint{x, y, speed};
  Recompute();
}

void CPath::ChangePoint(int32_t index, float x, float y, float speed) {
  if (index < 0 || index >= m_points.Count()) return;
  m_points[index] = PathPoint{x, y, speed};
  Recompute();
}

void CPath::DeletePoint(int32_t index) {
  const int32_t count = m_points.Count();
  if (index < 0 || index >= count) return;
  PathPoint* p = m_points.Data();
  std::memmove(p + index, p + index + 1, sizeof(PathPoint) * static_cast<size_t>(count - index - 1));
  m_points.SetCount(count - 1);
  Recompute();
}

void CPath::Clear() {
  m_points.Free();
  m_computed.Free();
  Recompute();
}

void CPath::SetKind(int32_t kind) {
  m_kind = kind == kPathSmooth ? kPathSmooth : kPathStraight;
  Recompute();
}

void CPath::SetClosed(bool closed) {
  m_closed = closed;
  Recompute();
}

void CPath::SetPrecision(int32_t precision) {
  m_precision = std::clamp(precision, 0, kPathMaxPrecision);
  Recompute();
}

// ---- Geometric edits ----

void CPath::Shift(double dx, double dy) {
  for (int32_t i = 0; i < m_points.Count(); ++i) {
    m_points[i].x = num::ToFloat(m_points[i].x + dx);
    m_points[i].y = num::ToFloat(m_points[i].y + dy);
  }
  Recompute();
}

void CPath::Mirror() {
  double cx = 0, cy = 0;
  GetCenter(&cx, &cy);
  Shift(-cx, -cy);
  for (int32_t i = 0; i < m_points.Count(); ++i) m_points[i].x = -m_points[i].x;
  Shift(cx, cy);
}

void CPath::Flip() {
  double cx = 0, cy = 0;
  GetCenter(&cx, &cy);
  Shift(-cx, -cy);
  for (int32_t i = 0; i < m_points.Count(); ++i) m_points[i].y = -m_points[i].y;
  Shift(cx, cy);
}

void CPath::Rotate(float degrees) {
  double cx = 0, cy = 0;
  GetCenter(&cx, &cy);
  Shift(-cx, -cy);
  const float t = degrees * static_cast<float>(M_PI) / 180.0f;
  const double c = std::cos(static_cast<double>(t)), s = std::sin(static_cast<double>(t));
  for (int32_t i = 0; i < m_points.Count(); ++i) {
    PathPoint& p = m_points[i];
    const double x = p.x, y = p.y;
    p.x = num::ToFloat(c * x + s * y);
    p.y = num::ToFloat(c * y - s * x);
  }
  Shift(cx, cy);
}

void CPath::Rescale(float sx, float sy) {
  double cx = 0, cy = 0;
  GetCenter(&cx, &cy);
  Shift(-cx, -cy);
  for (int32_t i = 0; i < m_points.Count(); ++i) {
    m_points[i].x = num::ToFloat(static_cast<double>(sx) * m_points[i].x);
    m_points[i].y = num::ToFloat(static_cast<double>(sy) * m_points[i].y);
  }
  Shift(cx, cy);
}

void CPath::Reverse() {
  std::reverse(m_points.Data(), m_points.Data() + m_points.Count());
  Recompute();
}

void CPath::Append(const CPath& other) {
  const int32_t count = other.m_points.Count();
  if (count == 0) return;
  m_points.Reserve(static_cast<int64_t>(m_points.Count()) + count);
  for (int32_t i = 0; i < count; ++i) m_points.Push(other.m_points[i]);
  Recompute();
}

// ---- Queries ----

PathPoint CPath::GetPoint(int32_t index) const {
  if (index < 0 || index >= m_points.Count()) return PathPoint{0, 0, 1};
  return m_points[index];
}

PathPosition CPath::GetPosition(double position) const {
  const int32_t count = m_computed.Count();
  if (count == 0) return PathPosition{0, 0, 100};
  const float f = num::ToFloat(position);
  if (count == 1 || m_length == 0 || f <= 0.0f) return PositionOf(m_computed[0]);
  if (f >= 1.0f) return PositionOf(m_computed[count - 1]);
  const float a = num::ToFloat(static_cast<double>(m_length) * f);
  int32_t i = 0;
  while (i < count - 2 && a >= m_computed[i + 1].length) ++i;
  const PathComputedPoint& p = m_computed[i];
  const PathComputedPoint& q = m_computed[i + 1];
  if (p.length == q.length) return PositionOf(p);
  const double t = (static_cast<double>(a) - p.length) / (static_cast<double>(q.length) - p.length);
  return PathPosition{p.x + (static_cast<double>(q.x) - p.x) * t, p.y + (static_cast<double>(q.y) - p.y) * t,
                      p.speed + (static_cast<double>(q.speed) - p.speed) * t};
}

void CPath::GetCenter(double* x, double* y) const {
  float minX = 100000000.0f, maxX = -100000000.0f, minY = 100000000.0f, maxY = -100000000.0f;
  for (int32_t i = 0; i < m_points.Count(); ++i) {
    minX = std::min(minX, m_points[i].x);
    maxX = std::max(maxX, m_points[i].x);
    minY = std::min(minY, m_points[i].y);
    maxY = std::max(maxY, m_points[i].y);
  }
  *x = (static_cast<double>(minX) + maxX) / 2.0;
  *y = (static_cast<double>(minY) + maxY) / 2.0;
}

void CPath::Draw(float x, float y, bool absolute) const {
  double dx = x, dy = y;
  if (!absolute) {
    const PathPosition start = GetPosition(0.0);
    dx = x - start.x;
    dy = y - start.y;
  }
  const int32_t segments = num::RoundInt32(static_cast<double>(m_length) * 0.25);
  if (segments <= 0) return;
  GR_PrimitiveBegin(D3DPT_LINESTRIP, -1.0);  // no texture
  const int32_t last = std::min(segments, kMaxPrimitiveVertices - 1);
  for (int32_t i = 0; i <= last; ++i) {
    const PathPosition p = GetPosition(static_cast<double>(i) / segments);
    GR_PrimitiveVertex(num::ToFloat(p.x + dx), num::ToFloat(p.y + dy));
  }
  GR_PrimitiveEnd();
}

// ---- The computed polyline ----

void CPath::Recompute() {
  m_computed.Clear();
  if (m_kind == kPathSmooth) {
    ComputeSmooth();
  } else {
    ComputeStraight();
  }
  ComputeLengths();
}

void CPath::AddComputed(const PathPoint& p) { m_computed.Push(PathComputedPoint{p.x, p.y, p.speed, 0}); }

void CPath::ComputeStraight() {
  const int32_t n = m_points.Count();
  m_computed.Reserve(static_cast<int64_t>(n) + 1);
  for (int32_t i = 0; i < n; ++i) AddComputed(m_points[i]);
  if (m_closed && n > 0) AddComputed(m_points[0]);
}

void CPath::ComputeSmooth() {
  const int32_t n = m_points.Count();
  if (n == 0) return;
  if (!m_closed) AddComputed(m_points[0]);
  const int32_t last = m_closed ? n : n - 2;
  for (int32_t i = 1; i <= last; ++i) {
    const PathPoint& a = m_points[(i - 1) % n];
    const PathPoint& b = m_points[i % n];
    const PathPoint& c = m_points[(i + 1) % n];
    Subdivide(m_precision, Midpoint(a, b), b, Midpoint(b, c));
  }
  if (m_closed) {
    // Precision 0 computes no point, and then the closed path has none at all.
    if (m_computed.Count() > 0) m_computed.Push(m_computed[0]);
  } else {
    AddComputed(m_points[n - 1]);
  }
}

void CPath::Subdivide(int32_t depth, PathPoint s, PathPoint c, PathPoint e) {
  while (depth > 0) {
    const PathPoint m = CurveMiddle(s, c, e);
    if (SquaredDistance(c, s) > kSubdivideThreshold) Subdivide(depth - 1, s, Midpoint(s, c), m);
    AddComputed(m);
    if (SquaredDistance(c, e) <= kSubdivideThreshold) return;
    --depth;
    s = m;
    c = Midpoint(c, e);
  }
}

void CPath::ComputeLengths() {
  m_length = 0;
  const int32_t count = m_computed.Count();
  if (count == 0) return;
  m_computed[0].length = 0;
  float total = 0;
  for (int32_t i = 1; i < count; ++i) {
    const double dx = static_cast<double>(m_computed[i].x) - m_computed[i - 1].x;
    const double dy = static_cast<double>(m_computed[i].y) - m_computed[i - 1].y;
    const float squared = num::ToFloat(dx * dx + dy * dy);
    total = num::ToFloat(total + std::sqrt(static_cast<double>(squared)));
    m_computed[i].length = total;
  }
  m_length = total;
}
