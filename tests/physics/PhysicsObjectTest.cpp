// The body of an instance (moving, turning and setting velocities) and the contact the world
// dispatches (its points and normals), over a world of the test's own.
#include <gtest/gtest.h>

#include "physics/Physics_World.h"
#include "room/Instance_Class.h"
#include "testlib/RuntimeTest.h"

namespace {

class PhysicsObjectTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    m_world = new CPhysicsWorld(0.1f, 30);
    m_a = new CInstance(0.0f, 0.0f, 100001, -1, false);
    m_b = new CInstance(0.0f, 0.0f, 100002, -1, false);
    m_c = new CInstance(0.0f, 0.0f, 100003, -1, false);
  }
  void TearDown() override {
    delete m_world;  // takes the bodies from the instances
    delete m_a;
    delete m_b;
    delete m_c;
    RuntimeTest::TearDown();
  }
  // A 1 m box body at (x, y) metres for the instance.
  b2Body* Body(CInstance* instance, b2BodyType type, float x, float y) {
    b2BodyDef def;
    def.type = type;
    def.position.Set(x, y);
    def.userData.pointer = reinterpret_cast<uintptr_t>(instance);
    b2Body* body = m_world->World()->CreateBody(&def);
    b2PolygonShape box;
    box.SetAsBox(0.5f, 0.5f);
    body->CreateFixture(&box, 1.0f);
    instance->i_physicsobject = new CPhysicsObject(body, -1, 0.0f, 0.0f);
    return body;
  }

  CPhysicsWorld* m_world = nullptr;
  CInstance* m_a = nullptr;
  CInstance* m_b = nullptr;
  CInstance* m_c = nullptr;
};

TEST_F(PhysicsObjectTest, MovingAndTurningKeepTheOtherAndWakeTheBody) {
  b2Body* body = Body(m_a, b2_dynamicBody, 1.0f, 2.0f);
  CPhysicsObject* object = m_a->i_physicsobject;
  object->SetRotation(90.0f);
  EXPECT_FLOAT_EQ(body->GetAngle(), 3.14159274f / 2.0f);
  EXPECT_EQ(body->GetPosition(), b2Vec2(1.0f, 2.0f));
  body->SetAwake(false);
  object->SetPosition(4.0f, 5.0f);
  EXPECT_EQ(body->GetPosition(), b2Vec2(4.0f, 5.0f));
  EXPECT_FLOAT_EQ(body->GetAngle(), 3.14159274f / 2.0f);
  EXPECT_TRUE(body->IsAwake());
  body->SetAwake(false);
  object->SetAngularVelocity(180.0f);
  EXPECT_FLOAT_EQ(body->GetAngularVelocity(), 3.14159274f);
  EXPECT_TRUE(body->IsAwake());
}

TEST_F(PhysicsObjectTest, AStaticBodyGivenAVelocityBecomesKinematic) {
  b2Body* body = Body(m_a, b2_staticBody, 0.0f, 0.0f);
  CPhysicsObject* object = m_a->i_physicsobject;
  object->SetLinearVelocity(0.0f, 0.0f);
  EXPECT_EQ(body->GetType(), b2_staticBody);
  object->SetAngularVelocity(90.0f);  // a static body does not turn
  EXPECT_EQ(body->GetAngularVelocity(), 0.0f);
  object->SetLinearVelocity(2.0f, -1.0f);
  EXPECT_EQ(body->GetType(), b2_kinematicBody);
  EXPECT_EQ(body->GetLinearVelocity(), b2Vec2(2.0f, -1.0f));
  EXPECT_TRUE(body->IsAwake());
}

TEST_F(PhysicsObjectTest, TheDispatchedContactAnswersItsPointsAndNormalsToItsTwoInstances) {
  b2Body* a = Body(m_a, b2_dynamicBody, 0.0f, 0.0f);
  Body(m_b, b2_dynamicBody, 0.8f, 0.0f);
  Body(m_c, b2_dynamicBody, 50.0f, 0.0f);
  m_world->World()->Step(1.0f / 30.0f, 8, 3);
  b2Contact* contact = m_world->World()->GetContactList();
  ASSERT_NE(contact, nullptr);
  ASSERT_TRUE(contact->IsTouching());

  PhysicsContactRecord record;
  record.fixtureA = contact->GetFixtureA();
  record.fixtureB = contact->GetFixtureB();
  record.manifoldCount = 1;
  record.manifolds[0] = *contact->GetManifold();
  contact->GetWorldManifold(&record.worldManifolds[0]);
  const int32_t first = record.manifolds[0].pointCount;
  ASSERT_GT(first, 0);
  // A second manifold of the same pair with one point of its own.
  record.manifoldCount = 2;
  record.manifolds[1] = record.manifolds[0];
  record.manifolds[1].pointCount = 1;
  record.worldManifolds[1].normal.Set(0.0f, 1.0f);
  record.worldManifolds[1].points[0].Set(2.0f, 3.0f);

  EXPECT_EQ(m_world->GetCollisionPointCount(m_a), 0);  // nothing dispatched yet
  m_world->SetCurrentContact(&record);
  EXPECT_EQ(m_world->GetCollisionPointCount(m_a), first + 1);
  EXPECT_EQ(m_world->GetCollisionPointCount(m_b), first + 1);
  EXPECT_EQ(m_world->GetCollisionPointCount(m_c), 0);

  float x = -1.0f;
  float y = -1.0f;
  ASSERT_TRUE(m_world->GetCollisionPoint(m_a, 0, &x, &y));
  const float toPixels = 1.0f / 0.1f;
  EXPECT_EQ(x, record.worldManifolds[0].points[0].x * toPixels);
  EXPECT_EQ(y, record.worldManifolds[0].points[0].y * toPixels);
  ASSERT_TRUE(m_world->GetCollisionNormal(m_b, 0, &x, &y));
  EXPECT_EQ(x, record.worldManifolds[0].normal.x);  // from A's body towards B's, for both
  ASSERT_TRUE(m_world->GetCollisionPoint(m_b, first, &x, &y));
  EXPECT_EQ(x, 2.0f * toPixels);
  EXPECT_EQ(y, 3.0f * toPixels);
  ASSERT_TRUE(m_world->GetCollisionNormal(m_a, first, &x, &y));
  EXPECT_EQ(x, 0.0f);
  EXPECT_EQ(y, 1.0f);

  x = -1.0f;
  for (const auto& [instance, n] : {std::pair{m_a, first + 1}, {m_a, -1}, {m_c, 0}}) {
    EXPECT_FALSE(m_world->GetCollisionPoint(instance, n, &x, &y)) << n;
    EXPECT_FALSE(m_world->GetCollisionNormal(instance, n, &x, &y)) << n;
  }
  EXPECT_EQ(x, -1.0f);  // untouched by a failure

  // A fixture forgotten (its pointer cleared) leaves the other side's instance in the contact.
  record.fixtureA = a == record.fixtureA->GetBody() ? nullptr : record.fixtureA;
  EXPECT_EQ(m_world->GetCollisionPointCount(m_a) + m_world->GetCollisionPointCount(m_b), first + 1);
  m_world->SetCurrentContact(nullptr);
  EXPECT_EQ(m_world->GetCollisionPointCount(m_b), 0);
}

}  // namespace
