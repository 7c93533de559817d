#include "physics/Physics_Fixture.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <unordered_map>

#include "base/ErrorSink.h"
#include "object/Object_Class.h"
#include "room/Instance_Class.h"

namespace {

constexpr size_t kMaxPolygonPoints = b2_maxPolygonVertices;

struct FixtureTable {
  std::unordered_map<int32_t, std::unique_ptr<CPhysicsFixture>> byId;
  int32_t lastId = 0;  // never reset: ids are not reused in a run
};
FixtureTable g_fixtures;

// Whether the library can build a polygon from these points without refusing them: it welds
// points closer than half the linear slop, wraps the rest in a convex hull and needs at least 3
// hull corners, edges longer than its epsilon and an area above it. The same steps in the same
// single-precision arithmetic, with a margin on the two thresholds.
bool PolygonIsBuildable(const std::vector<b2Vec2>& points) {
  if (points.size() < 3 || points.size() > kMaxPolygonPoints) return false;
  for (const b2Vec2& p : points) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return false;
  }
  std::vector<b2Vec2> welded;
  const float weld = 0.5f * b2_linearSlop;
  for (const b2Vec2& v : points) {
    bool unique = true;
    for (const b2Vec2& w : welded) {
      if (b2DistanceSquared(v, w) < weld * weld) {
        unique = false;
        break;
      }
    }
    if (unique) welded.push_back(v);
  }
  const int32_t n = static_cast<int32_t>(welded.size());
  if (n < 3) return false;
  // Gift wrapping from the rightmost (then lowest) point, as the library does.
  int32_t i0 = 0;
  for (int32_t i = 1; i < n; ++i) {
    const float x = welded[static_cast<size_t>(i)].x;
    const float x0 = welded[static_cast<size_t>(i0)].x;
    if (x > x0 || (x == x0 && welded[static_cast<size_t>(i)].y < welded[static_cast<size_t>(i0)].y)) i0 = i;
  }
  std::vector<int32_t> hull;
  int32_t ih = i0;
  for (int32_t guard = 0; guard <= n; ++guard) {
    hull.push_back(ih);
    int32_t ie = 0;
    for (int32_t j = 1; j < n; ++j) {
      if (ie == ih) {
        ie = j;
        continue;
      }
      const b2Vec2 r = welded[static_cast<size_t>(ie)] - welded[static_cast<size_t>(ih)];
      const b2Vec2 v = welded[static_cast<size_t>(j)] - welded[static_cast<size_t>(ih)];
      const float c = b2Cross(r, v);
      if (c < 0.0f) ie = j;
      if (c == 0.0f && v.LengthSquared() > r.LengthSquared()) ie = j;
    }
    ih = ie;
    if (ie == i0) break;
  }
  const size_t m = hull.size();
  if (m < 3 || m > kMaxPolygonPoints || ih != i0) return false;
  std::vector<b2Vec2> corners;
  for (int32_t h : hull) corners.push_back(welded[static_cast<size_t>(h)]);
  for (size_t i = 0; i < m; ++i) {
    const b2Vec2 edge = corners[(i + 1) % m] - corners[i];
    if (!(edge.LengthSquared() > 4.0f * b2_epsilon * b2_epsilon)) return false;
  }
  float area = 0.0f;
  const b2Vec2 s = corners[0];
  for (size_t i = 0; i < m; ++i) {
    const b2Vec2 e1 = corners[i] - s;
    const b2Vec2 e2 = (i + 1 < m ? corners[i + 1] : corners[0]) - s;
    area += 0.5f * b2Cross(e1, e2);
  }
  return area > 4.0f * b2_epsilon;
}

}  // namespace

CPhysicsFixture::CPhysicsFixture(int32_t id) : m_id(id) {
  m_definition.friction = 0.2f;
  m_definition.restitution = 0.0f;
  m_definition.density = 0.0f;
  m_definition.isSensor = false;
  m_definition.filter.categoryBits = 1;
  m_definition.filter.maskBits = 0xFFFF;
  m_definition.filter.groupIndex = 0;
}

CPhysicsFixture::~CPhysicsFixture() { delete m_shape; }

void CPhysicsFixture::ReplaceShape(b2Shape* shape, PhysicsShapeKind kind) {
  delete m_shape;
  m_shape = shape;
  m_kind = kind;
  m_definition.shape = shape;
}

void CPhysicsFixture::SetCircleShape(float radius) {
  auto* circle = new b2CircleShape();
  circle->m_radius = radius;
  ReplaceShape(circle, PHYSICS_SHAPE_CIRCLE);
  m_points = std::vector<b2Vec2>();
}

void CPhysicsFixture::SetPolygonShape() {
  ReplaceShape(new b2PolygonShape(), PHYSICS_SHAPE_POLYGON);
  m_points.clear();
  m_points.reserve(kMaxPolygonPoints);
}

bool CPhysicsFixture::AddPoint(float x, float y) {
  if (m_kind != PHYSICS_SHAPE_POLYGON || m_points.size() >= kMaxPolygonPoints) return false;
  m_points.push_back(b2Vec2(x, y));
  return IsConvex();
}

bool CPhysicsFixture::IsConvex() const {
  const size_t count = m_points.size();
  if (count <= 2) return true;
  for (size_t i = 0; i < count; ++i) {
    const size_t next = (i + 1) % count;
    for (size_t j = 0; j < count; ++j) {
      if (j == i || j == next) continue;
      const float dyj = m_points[j].y - m_points[i].y;
      const float dxn = m_points[next].x - m_points[i].x;
      const float dxj = m_points[j].x - m_points[i].x;
      const float dyn = m_points[next].y - m_points[i].y;
      const float value = static_cast<float>(static_cast<double>(dyj) * dxn - static_cast<double>(dxj) * dyn);
      if (!(value > 0.0f)) {
        char message[128];
        std::snprintf(message, sizeof(message),
                      "ERROR: The polygon shape for fixture %d is concave or ordered anti-clockwise", m_id);
        ReportRuntimeError(message, false);
        return false;
      }
    }
  }
  return true;
}

bool CPhysicsFixture::BuildShape(const CInstance* instance) {
  if (m_kind != PHYSICS_SHAPE_POLYGON) return true;
  if (!PolygonIsBuildable(m_points)) {
    char message[512];
    std::snprintf(message, sizeof(message), "Too few vertices in polygon shape fixture for %s",
                  Object_GetName(instance != nullptr ? instance->i_objindex : -1));
    ReportRuntimeError(message, true);
    return false;
  }
  static_cast<b2PolygonShape*>(m_shape)->Set(m_points.data(), static_cast<int32_t>(m_points.size()));
  return true;
}

CPhysicsFixture* Physics_CreateFixture() {
  const int32_t id = ++g_fixtures.lastId;
  auto fixture = std::make_unique<CPhysicsFixture>(id);
  CPhysicsFixture* made = fixture.get();
  g_fixtures.byId[id] = std::move(fixture);
  return made;
}

CPhysicsFixture* Physics_FindFixture(int32_t id) {
  const auto found = g_fixtures.byId.find(id);
  return found != g_fixtures.byId.end() ? found->second.get() : nullptr;
}

bool Physics_DeleteFixture(int32_t id) { return g_fixtures.byId.erase(id) > 0; }
