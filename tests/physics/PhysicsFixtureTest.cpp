// Fixture definitions: ids, and the polygon points as they are added.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "physics/Physics_Fixture.h"
#include "testlib/TestHelpers.h"

namespace {

using testsupport::ErrorRecorder;

TEST(PhysicsFixtureTest, PolygonPointsAreCheckedAsTheyCome) {
  ErrorRecorder errors;
  CPhysicsFixture* fixture = Physics_CreateFixture();
  const int32_t id = fixture->m_id;
  EXPECT_EQ(Physics_FindFixture(id), fixture);
  EXPECT_EQ(Physics_CreateFixture()->m_id, id + 1);  // ids only grow
  EXPECT_TRUE(Physics_DeleteFixture(id + 1));
  EXPECT_FALSE(Physics_DeleteFixture(id + 1));
  EXPECT_EQ(Physics_CreateFixture()->m_id, id + 2);
  Physics_DeleteFixture(id + 2);

  EXPECT_FALSE(fixture->AddPoint(0, 0));  // no polygon yet
  fixture->SetPolygonShape();
  // Anticlockwise on the screen: reported, and the point stays.
  EXPECT_TRUE(fixture->AddPoint(0, 0));
  EXPECT_TRUE(fixture->AddPoint(0, 1));
  EXPECT_FALSE(fixture->AddPoint(1, 1));
  EXPECT_EQ(fixture->Points().size(), 3u);
  EXPECT_EQ(errors.errors(),
            (std::vector<ErrorRecorder::Error>{
                {"ERROR: The polygon shape for fixture " + std::to_string(id) + " is concave or ordered anti-clockwise",
                 false}}));
  // Clockwise points up to eight; the ninth is refused without being kept.
  fixture->SetPolygonShape();
  errors.Clear();
  for (int32_t i = 0; i < 8; ++i) {
    const double a = i * 3.14159265358979 / 4;
    EXPECT_TRUE(fixture->AddPoint(static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)))) << i;
  }
  EXPECT_FALSE(fixture->AddPoint(5, 5));
  EXPECT_EQ(fixture->Points().size(), 8u);
  EXPECT_TRUE(errors.errors().empty());
  fixture->SetCircleShape(2.0f);
  EXPECT_TRUE(fixture->Points().empty());
  EXPECT_EQ(fixture->Kind(), PHYSICS_SHAPE_CIRCLE);
  EXPECT_TRUE(Physics_DeleteFixture(id));
}

}  // namespace
