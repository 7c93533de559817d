#include "physics/Physics_World.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/ErrorSink.h"
#include "base/VCL.h"
#include "object/Object_Class.h"
#include "physics/Physics_Fixture.h"
#include "room/Instance_Class.h"

namespace {

// pi as the single-precision value, widened.
constexpr double kPi = static_cast<double>(3.14159274f);

float Damping(float value) { return (std::isfinite(value) && value >= 0.0f) ? value : 0.0f; }

}  // namespace

CPhysicsWorld::CPhysicsWorld(float pixelsToMetres, int32_t updateSpeed)
    : m_updateSpeed(updateSpeed), m_scale(pixelsToMetres), m_world(new b2World(b2Vec2(0.0f, 0.0f))) {}

CPhysicsWorld::~CPhysicsWorld() {
  for (b2Body* body = m_world->GetBodyList(); body != nullptr; body = body->GetNext()) {
    auto* instance = reinterpret_cast<CInstance*>(body->GetUserData().pointer);
    if (instance == nullptr || instance->i_physicsobject == nullptr || instance->i_physicsobject->m_body != body) {
      continue;
    }
    instance->i_physicsobject->m_body = nullptr;  // the world below takes the body with it
    delete instance->i_physicsobject;
    instance->i_physicsobject = nullptr;
  }
  delete m_world;
}

int32_t CPhysicsWorld::BindFixture(CPhysicsFixture* fixture, CInstance* instance, float offsetX, float offsetY) {
  if (fixture == nullptr || instance == nullptr) return -1;
  if (!fixture->BuildShape(instance)) return -1;
  if (fixture->Shape() == nullptr) {
    char message[512];
    std::snprintf(message, sizeof(message), "No fixture shape data present for %s\n",
                  Object_GetName(instance->i_objindex));
    ShowRuntimeError(message, true);
    return -1;
  }
  // No collision category: the fixture collides with nothing until categories are assigned.
  const int32_t category = -1;
  fixture->m_definition.filter.categoryBits = 0;
  fixture->m_definition.filter.maskBits = 0;

  if (instance->i_physicsobject != nullptr && instance->i_physicsobject->m_body != nullptr) {
    b2Fixture* made = instance->i_physicsobject->m_body->CreateFixture(&fixture->m_definition);
    return instance->i_physicsobject->AddFixture(made);
  }

  const double angle = -static_cast<double>(instance->i_imageangle) * kPi / 180.0;
  double ox = offsetX;
  double oy = offsetY;
  if (offsetX != 0.0f || offsetY != 0.0f) {
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double rx = ox * c - oy * s;
    const double ry = oy * c + ox * s;
    ox = rx;
    oy = ry;
  }
  b2BodyDef def;
  def.position.Set(static_cast<float>((instance->i_x - ox) * m_scale), static_cast<float>((instance->i_y - oy) * m_scale));
  def.angle = static_cast<float>(angle);
  if (!def.position.IsValid() || !std::isfinite(def.angle)) {
    DebugConsole->Output("Physics: %s has a position or angle that is not a number; it gets no body\n",
                         Object_GetName(instance->i_objindex));
    return -1;
  }
  def.type = fixture->m_definition.density > 0.0f ? b2_dynamicBody
             : fixture->m_kinematic                ? b2_kinematicBody
                                                    : b2_staticBody;
  def.linearDamping = Damping(fixture->m_linearDamping);
  def.angularDamping = Damping(fixture->m_angularDamping);
  def.allowSleep = true;
  def.awake = fixture->m_awake;
  def.fixedRotation = false;
  def.bullet = false;
  def.enabled = true;
  def.gravityScale = 1.0f;
  def.userData.pointer = reinterpret_cast<uintptr_t>(instance);
  b2Body* body = m_world->CreateBody(&def);
  b2Fixture* made = body->CreateFixture(&fixture->m_definition);
  delete instance->i_physicsobject;  // an object whose body was already taken
  instance->i_physicsobject = new CPhysicsObject(body, category, offsetX, offsetY);
  return instance->i_physicsobject->AddFixture(made);
}

void CPhysicsWorld::DestroyBody(CPhysicsObject* object) { delete object; }

namespace {

// The instance whose body holds the fixture, null for a fixture without a body.
const CInstance* FixtureInstance(b2Fixture* fixture) {
  if (fixture == nullptr || fixture->GetBody() == nullptr) return nullptr;
  return reinterpret_cast<const CInstance*>(fixture->GetBody()->GetUserData().pointer);
}

// Whether the contact involves the instance (as the instance of either fixture's body).
bool Involves(const PhysicsContactRecord* contact, const CInstance* instance) {
  if (contact == nullptr || instance == nullptr) return false;
  return FixtureInstance(contact->fixtureA) == instance || FixtureInstance(contact->fixtureB) == instance;
}

int32_t ManifoldCount(const PhysicsContactRecord* contact) {
  return std::clamp(contact->manifoldCount, 0, PhysicsContactRecord::kMaxManifolds);
}

int32_t PointCount(const b2Manifold& manifold) { return std::clamp(manifold.pointCount, 0, b2_maxManifoldPoints); }

}  // namespace

int32_t CPhysicsWorld::GetCollisionPointCount(const CInstance* instance) const {
  if (!Involves(m_currentContact, instance)) return 0;
  int32_t count = 0;
  for (int32_t i = 0; i < ManifoldCount(m_currentContact); ++i) count += PointCount(m_currentContact->manifolds[i]);
  return count;
}

bool CPhysicsWorld::FindCollisionPoint(const CInstance* instance, int32_t n, int32_t* manifold,
                                       int32_t* point) const {
  if (!Involves(m_currentContact, instance) || n < 0) return false;
  int32_t first = 0;
  for (int32_t i = 0; i < ManifoldCount(m_currentContact); ++i) {
    const int32_t count = PointCount(m_currentContact->manifolds[i]);
    if (n < first + count) {
      *manifold = i;
      *point = n - first;
      return true;
    }
    first += count;
  }
  return false;
}

bool CPhysicsWorld::GetCollisionPoint(const CInstance* instance, int32_t n, float* x, float* y) const {
  int32_t manifold = 0;
  int32_t point = 0;
  if (!FindCollisionPoint(instance, n, &manifold, &point)) return false;
  const float toPixels = 1.0f / m_scale;
  const b2Vec2& p = m_currentContact->worldManifolds[manifold].points[point];
  *x = p.x * toPixels;
  *y = p.y * toPixels;
  return true;
}

bool CPhysicsWorld::GetCollisionNormal(const CInstance* instance, int32_t n, float* x, float* y) const {
  int32_t manifold = 0;
  int32_t point = 0;
  if (!FindCollisionPoint(instance, n, &manifold, &point)) return false;
  const b2Vec2& normal = m_currentContact->worldManifolds[manifold].normal;
  *x = normal.x;
  *y = normal.y;
  return true;
}
