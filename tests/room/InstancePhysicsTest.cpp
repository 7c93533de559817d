// The physics body an instance gets from its object in a room with a physics world.
#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "physics/Physics_Fixture.h"
#include "physics/Physics_World.h"
#include "room/WorldFixture.h"

namespace {

using testsupport::ErrorRecorder;

class InstancePhysicsTest : public WorldTest {
 protected:
  // A room with a world of 0.1 metres per pixel and an object named "ball" with physics on.
  void SetUp() override {
    WorldTest::SetUp();
    Room()->m_PhysicsWorld = new CPhysicsWorld(0.1f, 30);
    m_object = testsupport::AddObject(-1, "ball");
    CObject* object = Object_Find(m_object);
    object->m_SpriteIndex = AddSprite(1);
    object->m_PhysicsEnabled = true;
    object->m_PhysicsDensity = 0.5f;
  }
  CObject* Ball() { return Object_Find(m_object); }
  b2World* World() { return Room()->m_PhysicsWorld->World(); }
  // The id the next fixture definition will get.
  static int32_t NextFixtureId() {
    const int32_t id = Physics_CreateFixture()->m_id;
    Physics_DeleteFixture(id);
    return id + 1;
  }

  int32_t m_object = -1;
};

TEST_F(InstancePhysicsTest, ACircleIsPlacedByItsFirstPointAndSizedByItsSecond) {
  Ball()->m_PhysicsPoints = {{-2.0f, -3.0f}, {5.0f, 0.0f}};
  CInstance* ball = Room()->AddInstance(100, 100, m_object);
  ASSERT_NE(ball->i_physicsobject, nullptr);
  b2Body* body = ball->i_physicsobject->m_body;
  EXPECT_EQ(body->GetType(), b2_dynamicBody);
  // The offset (2, 3) turned by the angle (0) is taken from the position: (100 - 2) x 0.1.
  EXPECT_FLOAT_EQ(body->GetPosition().x, 9.8f);
  EXPECT_FLOAT_EQ(body->GetPosition().y, 9.7f);
  ASSERT_NE(body->GetFixtureList(), nullptr);
  EXPECT_EQ(body->GetFixtureList()->GetType(), b2Shape::e_circle);
  EXPECT_FLOAT_EQ(body->GetFixtureList()->GetShape()->m_radius, 0.5f);
  EXPECT_EQ(reinterpret_cast<CInstance*>(body->GetUserData().pointer), ball);

  // Scaled evenly the circle and its offset scale too; unevenly the scale is 1, with an error.
  ErrorRecorder errors;
  const struct {
    float xscale;
    float yscale;
    float radius;
    float x;
    bool error;
  } cases[] = {{2.0f, 2.0f, 1.0f, 9.6f, false}, {2.0f, 1.0f, 0.5f, 9.8f, true}, {2.0f, 2.00005f, 1.0f, 9.6f, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.yscale);
    errors.Clear();
    ball->i_imagescalex = c.xscale;
    ball->i_imagescaley = c.yscale;
    ball->RebuildPhysicsBody(Room());
    ASSERT_NE(ball->i_physicsobject, nullptr);
    EXPECT_FLOAT_EQ(ball->i_physicsobject->m_body->GetFixtureList()->GetShape()->m_radius, c.radius);
    EXPECT_FLOAT_EQ(ball->i_physicsobject->m_body->GetPosition().x, c.x);
    const std::vector<ErrorRecorder::Error> expected = {
        {"Image scale for physics object using circle collision should not vary across axes: ball\n", false}};
    EXPECT_EQ(errors.errors(), c.error ? expected : std::vector<ErrorRecorder::Error>{});
  }
  EXPECT_EQ(World()->GetBodyCount(), 1);
}

TEST_F(InstancePhysicsTest, APolygonTakesItsPointsClockwiseEvenWhenMirrored) {
  Ball()->m_PhysicsShape = 2;
  Ball()->m_PhysicsPoints = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  Ball()->m_PhysicsDensity = 0;
  ErrorRecorder errors;
  const struct {
    float xscale;
    bool kinematic;
    b2BodyType type;
  } cases[] = {{1.0f, false, b2_staticBody}, {-1.0f, false, b2_staticBody}, {2.0f, true, b2_kinematicBody}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xscale);
    Ball()->m_PhysicsKinematic = c.kinematic;
    CInstance* box = Room()->AddInstance(50, 50, m_object);
    box->i_imagescalex = c.xscale;
    box->RebuildPhysicsBody(Room());
    ASSERT_NE(box->i_physicsobject, nullptr);
    b2Body* body = box->i_physicsobject->m_body;
    EXPECT_EQ(body->GetType(), c.type);
    const auto* polygon = static_cast<const b2PolygonShape*>(body->GetFixtureList()->GetShape());
    EXPECT_EQ(polygon->m_count, 4);
    float width = 0;
    for (int32_t i = 0; i < polygon->m_count; ++i) width = std::max(width, std::fabs(polygon->m_vertices[i].x));
    EXPECT_FLOAT_EQ(width, std::fabs(c.xscale));
  }
  EXPECT_TRUE(errors.errors().empty());
}

// A shape without enough points shows its error and builds no body; nothing reads past the
// points and the physics library is never handed a shape it would refuse.
TEST_F(InstancePhysicsTest, AShapeWithTooFewPointsShowsItsErrorAndBuildsNoBody) {
  using Points = std::vector<CObject::Point>;
  const ErrorRecorder::Error tooFew = {"Too few vertices in polygon shape fixture for ball", true};
  const struct {
    const char* what;
    int32_t shape;
    Points points;
    std::vector<ErrorRecorder::Error> errors;
    bool notClockwise;  // the point check reports the polygon first
  } cases[] = {
      {"circle without points", 0, {}, {{"Corrupt shape data for ball\n", false}}, false},
      {"circle with one point", 0, {{1, 2}}, {{"Corrupt shape data for ball\n", false}}, false},
      {"polygon without points", 2, {}, {tooFew}, false},
      {"box with two points", 1, {{0, 0}, {10, 0}}, {tooFew}, false},
      {"three points on a line", 2, {{0, 0}, {5, 0}, {10, 0}}, {tooFew}, true},
      {"three points in one place", 2, {{3, 3}, {3, 3}, {3, 3}}, {tooFew}, true},
      {"a sliver too thin to hold", 2, {{0, 0}, {0.0005f, 0}, {0.0005f, 0.0005f}}, {tooFew}, false},
      {"a point that is not a number", 2,
       {{0, 0}, {10, 0}, {std::numeric_limits<float>::quiet_NaN(), 10}}, {tooFew}, true},
      {"an unknown shape kind", 7, {{0, 0}, {10, 0}, {10, 10}},
       {{"No fixture shape data present for ball\n", true}}, false},
  };
  ErrorRecorder errors;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    errors.Clear();
    Ball()->m_PhysicsShape = c.shape;
    Ball()->m_PhysicsPoints = c.points;
    std::vector<ErrorRecorder::Error> expected = c.errors;
    if (c.notClockwise) {
      expected.insert(expected.begin(), {"ERROR: The polygon shape for fixture " + std::to_string(NextFixtureId()) +
                                             " is concave or ordered anti-clockwise",
                                         false});
    }
    CInstance* instance = Room()->AddInstance(10, 10, m_object);
    EXPECT_EQ(instance->i_physicsobject, nullptr);
    EXPECT_EQ(errors.errors(), expected);
  }
  EXPECT_EQ(World()->GetBodyCount(), 0);
}

TEST_F(InstancePhysicsTest, NoBodyWithoutPhysicsASpriteAWorldOrAPlace) {
  Ball()->m_PhysicsPoints = {{0, 0}, {5, 0}};
  ErrorRecorder errors;
  const struct {
    const char* what;
    std::function<void(CInstance*, CObject*)> change;
  } cases[] = {
      {"physics off", [](CInstance*, CObject* o) { o->m_PhysicsEnabled = false; }},
      {"no sprite", [](CInstance* i, CObject*) { i->i_spriteindex = 40; }},
      {"position not a number", [](CInstance* i, CObject*) { i->i_x = std::numeric_limits<float>::infinity(); }},
      {"angle not a number", [](CInstance* i, CObject*) { i->i_imageangle = std::numeric_limits<float>::quiet_NaN(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CInstance instance(0, 0, 1, m_object, false);
    c.change(&instance, Ball());
    instance.BuildPhysicsBody(Room());
    EXPECT_EQ(instance.i_physicsobject, nullptr);
    Ball()->m_PhysicsEnabled = true;
  }
  CInstance instance(0, 0, 1, m_object, false);
  CRoom plain;
  instance.BuildPhysicsBody(&plain);
  instance.BuildPhysicsBody(nullptr);
  EXPECT_EQ(instance.i_physicsobject, nullptr);
  EXPECT_TRUE(errors.errors().empty());
  EXPECT_EQ(World()->GetBodyCount(), 0);
}

TEST_F(InstancePhysicsTest, BodiesGoWithTheirInstancesObjectsAndWorld) {
  Ball()->m_PhysicsPoints = {{0, 0}, {5, 0}};
  const int32_t still = testsupport::AddObject(-1, "still");
  CInstance* a = Room()->AddInstance(0, 0, m_object);
  CInstance* b = Room()->AddInstance(0, 0, m_object);
  EXPECT_EQ(World()->GetBodyCount(), 2);

  // A change to an object without physics takes the body; a change back builds a new one.
  a->ChangeObject(still);
  EXPECT_EQ(a->i_physicsobject, nullptr);
  EXPECT_EQ(World()->GetBodyCount(), 1);
  a->ChangeObject(m_object);
  ASSERT_NE(a->i_physicsobject, nullptr);
  EXPECT_EQ(World()->GetBodyCount(), 2);

  b->i_marked = 1;
  Room()->RemoveMarked();
  EXPECT_EQ(World()->GetBodyCount(), 1);

  // An instance outlives the world it had a body in.
  CInstance* kept = a;
  delete Room()->m_PhysicsWorld;
  Room()->m_PhysicsWorld = nullptr;
  EXPECT_EQ(kept->i_physicsobject, nullptr);
  RelinkQueue.Reset();
  DepthChangeQueue.Reset();
}

}  // namespace
