#include "physics/Physics_World.h"

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

CPhysicsObject::CPhysicsObject(b2Body* body, int32_t category, float offsetX, float offsetY)
    : m_body(body),
      m_offsetX(offsetX),
      m_offsetY(offsetY),
      m_previousX(body != nullptr ? body->GetPosition().x : 0.0f),
      m_previousY(body != nullptr ? body->GetPosition().y : 0.0f),
      m_category(category) {}

CPhysicsObject::~CPhysicsObject() {
  // The body is destroyed in its own world: an instance of a room that is not the current one
  // never reaches into another room's world.
  if (m_body != nullptr) m_body->GetWorld()->DestroyBody(m_body);
}

int32_t CPhysicsObject::AddFixture(b2Fixture* fixture) {
  const int32_t index = m_nextIndex++;
  m_fixtures[index] = fixture;
  return index;
}

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
