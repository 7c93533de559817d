// The instance queries and collision commands on a live room of 16 x 16 boxed instances: target
// convention, tie-breaks, counts, free-place tests and the contact, outside and bounce moves.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "base/Common.h"
#include "room/Instance_Query.h"
#include "room/Room_Command.h"
#include "room/WorldFixture.h"
#include "run/Run_Frame.h"
#include "testlib/SpriteFixtures.h"

namespace {

using testsupport::AddObject;
using testsupport::AddTestSprite;
using testsupport::SolidMask;

class InstanceQueryTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    Room();
    m_sprite = AddTestSprite(16, 16, {SolidMask(16, 16)});
    m_mover = AddObject();
    m_wall = AddObject();
    Object_Find(m_wall)->m_Flags |= kObjectSolid;
    for (int32_t object : {m_mover, m_wall}) Object_Find(object)->m_SpriteIndex = m_sprite;
  }

  CInstance* Add(int32_t object, float x, float y) { return CurrentRoom->AddInstance(x, y, object); }

  int32_t m_sprite = -1;
  int32_t m_mover = -1;
  int32_t m_wall = -1;
};

TEST_F(InstanceQueryTest, TargetsFollowTheConvention) {
  CInstance* self = Add(m_mover, 0, 0);
  CInstance* wall = Add(m_wall, 100, 0);
  EXPECT_EQ(Command_CollisionPoint(self, 5, 5, -1, true, false), nullptr);  // -1 names no object
  EXPECT_EQ(Command_CollisionPoint(self, 5, 5, kSelectAll, true, false), self);
  EXPECT_EQ(Command_CollisionPoint(self, 5, 5, kSelectAll, true, true), nullptr);  // notme
  EXPECT_EQ(Command_CollisionPoint(self, 105, 5, wall->i_id, true, false), wall);
  EXPECT_EQ(Command_CollisionRectangle(self, 90, 0, 100, 2, m_wall, false, false), wall);
  EXPECT_EQ(Command_CollisionEllipse(self, 80, 0, 99, 10, m_wall, false, false), nullptr);
  EXPECT_EQ(Command_CollisionLine(self, 0, 20, 200, 0, m_wall, false, false), wall);
  EXPECT_EQ(Query_ResolveSelfOther(-1, self, nullptr), self->i_id);
  EXPECT_EQ(Query_ResolveSelfOther(-2, self, nullptr), -2);
  EXPECT_FALSE(Command_PlaceMeeting(self, self->i_id, 0, 0));  // never with itself

  // Destroyed and deactivated instances stay listed but are found by nothing.
  wall->i_marked = 1;
  EXPECT_EQ(Command_CollisionPoint(self, 105, 5, m_wall, true, false), nullptr);
  EXPECT_EQ(Command_InstanceFind(kSelectAll, 1), nullptr);
  wall->i_marked = 0;
  Command_DeactivateObject(nullptr, nullptr, m_wall);
  EXPECT_EQ(Command_InstancePosition(105, 5, kSelectAll), nullptr);
  EXPECT_EQ(Command_InstanceFind(m_wall, 0), nullptr);
  EXPECT_EQ(Command_InstanceFind(kSelectAll, 0), self);
  EXPECT_EQ(Command_InstanceFind(kSelectAll, -1), nullptr);
  EXPECT_EQ(Command_InstanceFind(self->i_id, 0), self);
  EXPECT_EQ(Command_InstanceFind(self->i_id, 1), nullptr);
}

TEST_F(InstanceQueryTest, NearestAndFurthestBreakTiesByListOrder) {
  CInstance* a = Add(m_mover, 10, 0);
  CInstance* b = Add(m_mover, -10, 0);
  CInstance* c = Add(m_mover, 0, 3);
  EXPECT_EQ(Command_InstanceNearest(0, 0, m_mover), c);
  EXPECT_EQ(Command_InstanceFurthest(0, 0, m_mover), a);
  c->SetPosition(0, 10);
  EXPECT_EQ(Command_InstanceNearest(0, 0, kSelectAll), a);
  EXPECT_EQ(Command_InstanceFurthest(0, 0, kSelectAll), a);
  EXPECT_EQ(Command_InstanceNearest(0, 0, b->i_id), nullptr);
  EXPECT_EQ(Command_InstanceNearest(0, 0, m_wall), nullptr);
}

TEST_F(InstanceQueryTest, CountsSeeChangesOfThisStep) {
  CInstance* a = Add(m_mover, 0, 0);
  Add(m_wall, 0, 0);
  a->ChangeObject(m_wall);  // waits in the relink queue
  EXPECT_EQ(Command_InstanceNumber(m_wall), 2);
  EXPECT_EQ(Command_InstanceNumber(kSelectAll), 2);
  EXPECT_EQ(Command_InstanceNumber(a->i_id), 1);
  EXPECT_EQ(Command_InstanceNumber(-1), 0);
  UpdateActiveLists();
  EXPECT_EQ(Command_InstanceNumber(m_wall), 2);
  EXPECT_EQ(Command_InstanceNumber(m_mover), 0);

  EXPECT_TRUE(Command_InstanceExists(a, nullptr, -1));
  EXPECT_FALSE(Command_InstanceExists(a, nullptr, -2));
  EXPECT_FALSE(Command_InstanceExists(a, nullptr, -4));
  EXPECT_TRUE(Command_InstanceExists(nullptr, nullptr, kSelectAll));
  Command_DeactivateAll(nullptr, false);
  EXPECT_FALSE(Command_InstanceExists(nullptr, nullptr, kSelectAll));
  EXPECT_FALSE(Command_InstanceExists(nullptr, nullptr, m_wall));
}

TEST_F(InstanceQueryTest, BoxDistancesAndPointDistances) {
  CInstance* self = Add(m_mover, 0, 0);     // box 0..15
  CInstance* right = Add(m_mover, 19, 20);  // 4 right, 5 down of the box
  EXPECT_FLOAT_EQ(Instance_BoxDistance(right, self), std::sqrt(16.0f + 25.0f));
  EXPECT_EQ(Instance_BoxDistance(self, self), kQueryNoDistance);
  EXPECT_EQ(Instance_BoxDistance(nullptr, self), kQueryNoDistance);
  EXPECT_FLOAT_EQ(Command_DistanceToObject(self, nullptr, m_mover), std::sqrt(41.0f));
  EXPECT_EQ(Command_DistanceToObject(self, nullptr, -1), kQueryNoDistance);
  EXPECT_EQ(Command_DistanceToObject(self, right, -2), Instance_BoxDistance(right, self));

  // Boxes two billion pixels apart: the squares need more than 32 bits.
  right->SetPosition(2.0e9f, -2.0e9f);
  self->SetPosition(-2.0e9f, 2.0e9f);
  const float far = Instance_BoxDistance(right, self);
  EXPECT_GT(far, 5.0e9f);
  EXPECT_LT(far, 6.0e9f);

  self->SetPosition(0, 0);
  EXPECT_EQ(Instance_PointDistance(self, 8, 8), 0.0);
  EXPECT_EQ(Instance_PointDistance(self, 18, 19), 5.0);
}

TEST_F(InstanceQueryTest, PlaceTestsRoundDifferently) {
  CInstance* self = Add(m_mover, 0, 0);
  Add(m_wall, 26, 0);  // box 26..41; self at x covers x..x+15 after rounding
  // place_meeting tests at floor(10.7) = 10 (box 10..25: apart); place_free at 10.7, whose box
  // rounds to 11..26 and touches the wall.
  EXPECT_FALSE(Command_PlaceMeeting(self, kSelectAll, 10.7, 0));
  EXPECT_FALSE(Command_PlaceFree(self, 10.7, 0));
  EXPECT_TRUE(Command_PlaceFree(self, 10.2, 0));
  EXPECT_EQ(self->i_x, 0.0f);  // put back
  EXPECT_EQ(Command_InstancePlace(self, 11.0, 0, m_wall)->i_objindex, m_wall);

  CInstance* plain = Add(m_mover, 40, 40);  // not solid: only the empty test sees it
  EXPECT_TRUE(Command_PlaceFree(self, 40, 40));
  EXPECT_FALSE(Command_PlaceEmpty(self, 40, 40));
  (void)plain;

  for (const auto& [x, want] : std::vector<std::pair<float, bool>>{{32.0005f, true}, {32.01f, false}}) {
    self->SetPosition(x, 7);
    EXPECT_EQ(Command_PlaceSnapped(self, 16, 0), want) << x;
  }
}

TEST_F(InstanceQueryTest, ContactStepsAreRoundedAndStopBeforeSolids) {
  CInstance* self = Add(m_mover, 0, 0);
  struct Case {
    double maxDistance;
    float wantX;
  };
  CInstance* wall = Add(m_wall, 100, 0);  // contact at x = 84
  for (const Case& c : {Case{3.5, 4}, Case{2.5, 2}, Case{0, 84}, Case{-5, 84}}) {
    self->SetPosition(0, 0);
    Command_MoveContact(self, 0, c.maxDistance, false);
    EXPECT_NEAR(self->i_x, c.wantX, 1e-4) << c.maxDistance;
  }
  // Far out a unit step no longer changes a float position: the move ends there at once.
  self->SetPosition(3.0e8f, 0);
  Command_MoveContact(self, 0, 2.0e9, false);
  EXPECT_EQ(self->i_x, 3.0e8f);
  // A position that is not a number ends the move at once too.
  self->SetPosition(NAN, 0);
  Command_MoveContact(self, 0, 2.0e9, false);
  EXPECT_TRUE(std::isnan(self->i_x));
  self->SetPosition(0, 0);
  wall->SetPosition(0, 0);

  // Overlapping a solid: contact does nothing, outside moves out in unit steps.
  self->SetPosition(10, 0);
  Command_MoveContact(self, 0, 100, false);
  EXPECT_EQ(self->i_x, 10.0f);
  EXPECT_FALSE(Command_MoveOutside(self, 0, 3, false));
  EXPECT_NEAR(self->i_x, 13.0f, 1e-4);
  EXPECT_TRUE(Command_MoveOutside(self, 0, 100, false));
  EXPECT_NEAR(self->i_x, 16.0f, 1e-4);
}

TEST_F(InstanceQueryTest, PlainBounceNegatesTheBlockedAxes) {
  CInstance* self = Add(m_mover, 0, 0);
  self->SetHSpeed(4);
  self->SetVSpeed(4);
  CInstance* wall = Add(m_wall, 18, -10);  // blocks the horizontal move only
  Command_MoveBounce(self, false, false);
  EXPECT_EQ(self->i_hspeed, -4.0f);
  EXPECT_EQ(self->i_vspeed, 4.0f);

  wall->SetPosition(18, 18);  // blocks only the diagonal
  self->SetHSpeed(4);
  Command_MoveBounce(self, false, false);
  EXPECT_EQ(self->i_hspeed, -4.0f);
  EXPECT_EQ(self->i_vspeed, -4.0f);

  wall->SetPosition(100, 100);  // nothing blocked
  Command_MoveBounce(self, false, false);
  EXPECT_EQ(self->i_hspeed, -4.0f);
}

TEST_F(InstanceQueryTest, AdvancedBounceTurnsByTheProbedAngles) {
  CInstance* self = Add(m_mover, 0, 100);
  self->SetDirection(0);
  self->SetSpeed(10);
  Add(m_wall, 20, 40)->SetImageYScale(8);  // a tall wall ahead: x 20..35, y 40..167
  // Probes at distance 10 meet the wall up to 60 degrees either way: g1 = -70, g2 = 70, and the
  // new direction is g1 + g2 + 180 - t = 180.
  Command_MoveBounce(self, true, false);
  EXPECT_EQ(self->i_direction, 180.0f);
  EXPECT_EQ(self->i_hspeed, -10.0f);
  // With nothing in the way the very first probes are free and nothing changes.
  self->SetPosition(300, 300);
  self->SetDirection(30);
  Command_MoveBounce(self, true, false);
  EXPECT_EQ(self->i_direction, 30.0f);
}

TEST_F(InstanceQueryTest, MoveRandomKeepsTheBoxInTheRoomAndHandlesEmptyRanges) {
  CurrentRoom->m_Width = 15;  // the box (16 wide) fills it: an empty horizontal range
  CurrentRoom->m_Height = 100;
  CInstance* self = Add(m_mover, 3, 3);
  SeedRandom(7);
  Command_MoveRandom(self, 0, 10);
  EXPECT_EQ(self->i_x, 0.0f);
  EXPECT_EQ(std::fmod(self->i_y, 10.0f), 0.0f);
  EXPECT_LE(self->i_y, 84.0f);
  // Only the vertical draw was taken.
  SeedRandom(7);
  const int32_t want = RandomInt(85);
  EXPECT_EQ(self->i_y, static_cast<float>(10 * (want / 10)));
}

}  // namespace
