#include "physics/Physics_Object.h"

namespace {

// pi as the single-precision value.
constexpr float kPiF = 3.14159274f;

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

void CPhysicsObject::SetPosition(float x, float y) {
  if (m_body == nullptr) return;
  m_body->SetTransform(b2Vec2(x, y), m_body->GetAngle());
  m_body->SetAwake(true);
}

void CPhysicsObject::SetRotation(float degrees) {
  if (m_body == nullptr) return;
  m_body->SetTransform(m_body->GetPosition(), degrees * kPiF / 180.0f);
  m_body->SetAwake(true);
}

void CPhysicsObject::SetLinearVelocity(float x, float y) {
  if (m_body == nullptr) return;
  const b2Vec2 velocity(x, y);
  const bool moving = b2Dot(velocity, velocity) != 0.0f;
  if (moving && m_body->GetType() == b2_staticBody) m_body->SetType(b2_kinematicBody);
  if (m_body->GetType() != b2_staticBody) m_body->SetLinearVelocity(velocity);
  m_body->SetAwake(true);
}

void CPhysicsObject::SetAngularVelocity(float degrees) {
  if (m_body == nullptr) return;
  if (m_body->GetType() != b2_staticBody) m_body->SetAngularVelocity(degrees * kPiF / 180.0f);
  m_body->SetAwake(true);
}
