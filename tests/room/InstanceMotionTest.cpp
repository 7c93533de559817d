// Motion of an instance: speed and direction coupled with hspeed and vspeed, friction, gravity,
// the direction's reduction and the alarms.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "room/Instance_Class.h"
#include "room/WorldFixture.h"

namespace {

class InstanceMotionTest : public WorldTest {
 protected:
  CInstance m_instance{0.0f, 0.0f, 100001, -1, false};
};

TEST_F(InstanceMotionTest, HorizontalAndVerticalSpeedsGiveSpeedAndDirection) {
  struct Case {
    float h, v, direction, speed;
  };
  const Case cases[] = {
      {0, 3, 270, 3},          {0, -2, 90, 2},   {0, 0, 0, 0},         {1, -1, 45, 1.4142135f},
      {-1, 0, 180, 1},         {2, 2, 315, 2.828427f},
      {1, 0.000001f, 0, 1},    // 359.99994 snaps to 360, which is direction 0
      {3, 4.00004f, 306.86963f, 5},  // the speed snaps to a whole number within 0.0001
  };
  for (const Case& c : cases) {
    m_instance.i_hspeed = c.h;
    m_instance.i_vspeed = c.v;
    m_instance.i_bboxdirty = 0;
    Instance_ComputeSpeedDirection(&m_instance);
    EXPECT_FLOAT_EQ(m_instance.i_direction, c.direction) << c.h << "," << c.v;
    EXPECT_FLOAT_EQ(m_instance.i_speed, c.speed) << c.h << "," << c.v;
    EXPECT_EQ(m_instance.i_bboxdirty, 1);
  }
  // Through the setters.
  m_instance.SetHSpeed(0);
  m_instance.SetVSpeed(3);
  EXPECT_EQ(m_instance.i_direction, 270.0f);
  EXPECT_EQ(m_instance.i_speed, 3.0f);
}

TEST_F(InstanceMotionTest, SpeedAndDirectionGiveSnappedHorizontalAndVerticalSpeeds) {
  m_instance.SetSpeed(2);
  m_instance.SetDirection(90);
  EXPECT_EQ(m_instance.i_hspeed, 0.0f);  // exactly: 2 cos 90 is 1.2e-16 before snapping
  EXPECT_EQ(m_instance.i_vspeed, -2.0f);
  m_instance.SetDirection(225);
  EXPECT_FLOAT_EQ(m_instance.i_hspeed, -1.4142135f);
  EXPECT_FLOAT_EQ(m_instance.i_vspeed, 1.4142135f);
  m_instance.SetSpeed(10);
  m_instance.SetDirection(180.00001);
  EXPECT_EQ(m_instance.i_hspeed, -10.0f);
  EXPECT_EQ(m_instance.i_vspeed, 0.0f);
}

TEST_F(InstanceMotionTest, DirectionIsReducedByOneRemainder) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    double given;
    float stored;
  };
  const Case cases[] = {{-30, 330}, {720, 0}, {360, 0}, {-360, 0}, {-720.5, 359.5}, {45, 45}, {1e-30, 1e-30f}};
  for (const Case& c : cases) {
    m_instance.SetDirection(c.given);
    EXPECT_EQ(m_instance.i_direction, c.stored) << c.given;
  }
  // Huge and NaN values answer at once.
  m_instance.SetDirection(1e30);
  EXPECT_GE(m_instance.i_direction, 0.0f);
  EXPECT_LT(m_instance.i_direction, 360.0f);
  m_instance.SetDirection(-1e300);
  EXPECT_GE(m_instance.i_direction, 0.0f);
  EXPECT_LT(m_instance.i_direction, 360.0f);
  m_instance.SetDirection(nan);
  EXPECT_TRUE(std::isnan(m_instance.i_direction));
}

TEST_F(InstanceMotionTest, SpeedSettersWithAnEqualValueDoNothing) {
  m_instance.SetSpeed(4);
  m_instance.SetDirection(0);
  // Fields set out of step on purpose: an unchanged value recomputes nothing.
  m_instance.i_hspeed = 7;
  m_instance.i_direction = 10;
  m_instance.i_bboxdirty = 0;
  m_instance.SetSpeed(4);
  m_instance.SetHSpeed(7);
  m_instance.SetVSpeed(0);
  EXPECT_EQ(m_instance.i_hspeed, 7.0f);
  EXPECT_EQ(m_instance.i_direction, 10.0f);
  EXPECT_EQ(m_instance.i_bboxdirty, 0);
  m_instance.SetVSpeed(-7);
  EXPECT_EQ(m_instance.i_direction, 45.0f);
}

TEST_F(InstanceMotionTest, FrictionStopsAtZeroWithoutChangingSign) {
  struct Case {
    float speed, friction, after;
  };
  const Case cases[] = {{0.5f, 1, 0}, {-0.5f, 1, 0}, {3, 1, 2}, {-3, 1, -2}, {0, 1, 0}, {2, -1, 3}, {1, 1, 0}};
  for (const Case& c : cases) {
    m_instance.i_direction = 0;
    m_instance.i_speed = c.speed;
    m_instance.i_hspeed = c.speed;
    m_instance.i_vspeed = 0;
    m_instance.i_friction = c.friction;
    m_instance.ApplyFrictionGravity();
    EXPECT_EQ(m_instance.i_speed, c.after) << c.speed << " - " << c.friction;
    EXPECT_EQ(m_instance.i_hspeed, c.after) << c.speed << " - " << c.friction;
  }
}

TEST_F(InstanceMotionTest, GravityAddsMotionInItsDirection) {
  m_instance.i_gravity = 0.5f;
  m_instance.i_gravitydir = 270;
  m_instance.ApplyFrictionGravity();
  m_instance.ApplyFrictionGravity();
  EXPECT_NEAR(m_instance.i_hspeed, 0.0f, 1e-12);  // 0.5 cos 270 is not quite 0, and is not snapped
  EXPECT_EQ(m_instance.i_vspeed, 1.0f);
  EXPECT_EQ(m_instance.i_speed, 1.0f);
  EXPECT_EQ(m_instance.i_direction, 270.0f);
  m_instance.AddMotion(0, 1);
  EXPECT_EQ(m_instance.i_direction, 315.0f);
  EXPECT_FLOAT_EQ(m_instance.i_speed, 1.4142135f);
}

TEST_F(InstanceMotionTest, AlarmsOutsideTheTwelveReadMinusOneAndAreNotWritten) {
  m_instance.SetAlarm(0, 5);
  m_instance.SetAlarm(11, 7);
  m_instance.SetAlarm(12, 9);
  m_instance.SetAlarm(-1, 9);
  EXPECT_EQ(m_instance.GetAlarm(0), 5);
  EXPECT_EQ(m_instance.GetAlarm(11), 7);
  EXPECT_EQ(m_instance.GetAlarm(12), -1);
  EXPECT_EQ(m_instance.GetAlarm(-1), -1);
  for (int32_t i = 1; i < 11; ++i) EXPECT_EQ(m_instance.i_timer[i], -1);
}

TEST_F(InstanceMotionTest, PathPositionsAreClampedIntoZeroToOne) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::pair<double, float> cases[] = {{-0.5, 0}, {1.5, 1}, {0.25, 0.25f}, {nan, 0}};
  for (const auto& [given, stored] : cases) {
    m_instance.SetPathPosition(given);
    m_instance.SetPathPositionPrevious(given);
    EXPECT_EQ(m_instance.i_pathposition, stored);
    EXPECT_EQ(m_instance.i_pathpositionprevious, stored);
  }
  m_instance.SetPathSpeed(-250);
  EXPECT_EQ(m_instance.i_pathspeed, -250.0f);
}

}  // namespace
