// Following a path: starting, the advance per step, the four end actions and the motion fields
// a step leaves behind.
#include <gtest/gtest.h>

#include <cmath>

#include "path/Path_Class.h"
#include "path/Path_Main.h"
#include "room/Instance_Class.h"
#include "room/WorldFixture.h"

namespace {

class InstancePathTest : public WorldTest {
 protected:
  void TearDown() override {
    Path_FreeAll();
    WorldTest::TearDown();
  }
  // An open straight path through the points (x, y, speed); answers its index.
  static int32_t AddPath(std::initializer_list<PathPoint> points) {
    const int32_t index = Path_Add();
    CPath* path = Path_Data(index);
    path->SetClosed(false);
    for (const PathPoint& p : points) path->AddPoint(p.x, p.y, p.speed);
    return index;
  }
  // Starts the path with `speed` and end action `end`, anchored at (0, 0), then sets the position.
  void StartAt(int32_t path, double speed, int32_t end, float position, double scale = 1, double orientation = 0) {
    m_instance.SetPosition(0, 0);
    Instance_PathStart(&m_instance, path, speed, scale, orientation, true, end);
    m_instance.i_pathxstart = m_instance.i_pathystart = 0.0f;
    m_instance.i_pathposition = position;
  }

  CInstance m_instance{50.0f, 60.0f, 100001, -1, false};
};

TEST_F(InstancePathTest, StartingAPath) {
  const int32_t line = AddPath({{10, 20, 100}, {110, 20, 100}});
  // Absolute: the instance moves to the point at the start position, unscaled; the anchor is
  // where the path's first point goes when the path, turned and scaled, has its point at that
  // position where the instance stands (the far end here: 100 along, turned by 30, times 2).
  Instance_PathStart(&m_instance, line, -5, 2, 30, false, 1);
  EXPECT_EQ(m_instance.i_pathindex, line);
  EXPECT_EQ(m_instance.i_pathposition, 1.0f);
  EXPECT_EQ(m_instance.i_pathpositionprevious, 1.0f);
  EXPECT_EQ(m_instance.i_x, 110.0f);
  EXPECT_EQ(m_instance.i_y, 20.0f);
  EXPECT_NEAR(m_instance.i_pathxstart, 110 - 200 * std::cos(M_PI / 6), 1e-4);
  EXPECT_NEAR(m_instance.i_pathystart, 20 + 200 * std::sin(M_PI / 6), 1e-4);
  EXPECT_EQ(m_instance.i_pathscale, 2.0f);
  EXPECT_EQ(m_instance.i_pathorientation, 30.0f);
  EXPECT_EQ(m_instance.i_pathend, 1);
  // Relative: it stays where it is, which becomes the anchor.
  m_instance.SetPosition(5, 6);
  Instance_PathStart(&m_instance, line, 3, 1, 0, true, 0);
  EXPECT_EQ(m_instance.i_pathposition, 0.0f);
  EXPECT_EQ(m_instance.i_x, 5.0f);
  EXPECT_EQ(m_instance.i_pathystart, 6.0f);

  const int32_t point = AddPath({{1, 1, 100}});  // length 0
  struct Case {
    int32_t path;
    double scale;
    int32_t index;
  };
  const Case refused[] = {{-5, 1, -5}, {point, 1, -1}, {99, 1, -1}, {line, -1, -1}};
  for (const Case& c : refused) {
    m_instance.SetPosition(5, 6);
    Instance_PathStart(&m_instance, c.path, 3, c.scale, 0, false, 0);
    EXPECT_EQ(m_instance.i_pathindex, c.index) << c.path;
    EXPECT_FALSE(m_instance.PathStep());
  }
}

TEST_F(InstancePathTest, TheAdvanceIsSpeedTimesPointSpeedOverScaleAndLength) {
  const int32_t line = AddPath({{0, 0, 100}, {100, 0, 100}});
  const int32_t slow = AddPath({{0, 0, 50}, {200, 0, 50}});
  struct Case {
    int32_t path;
    double speed, scale;
    float position, x;
  };
  const Case cases[] = {
      {line, 4, 1, 0.04f, 4},   // 4 x 100 / 100 / 100
      {line, 4, 2, 0.02f, 4},   // half the advance over a path twice as long
      {slow, 4, 1, 0.01f, 2},   // point speed 50 on a path of length 200
  };
  for (const Case& c : cases) {
    Instance_PathStart(&m_instance, c.path, c.speed, c.scale, 0, false, 0);
    EXPECT_FALSE(m_instance.PathStep());
    EXPECT_FLOAT_EQ(m_instance.i_pathposition, c.position) << c.speed << " " << c.scale;
    EXPECT_FLOAT_EQ(m_instance.i_x, c.x) << c.speed << " " << c.scale;
  }
  // A scale of 0 advances nothing, and the point stays at the anchor.
  StartAt(line, 4, 1, 0.5f, 0);
  EXPECT_FALSE(m_instance.PathStep());
  EXPECT_EQ(m_instance.i_pathposition, 0.5f);
  EXPECT_EQ(m_instance.i_x, 0.0f);
  EXPECT_EQ(m_instance.i_y, 0.0f);
}

TEST_F(InstancePathTest, EndActions) {
  const int32_t line = AddPath({{0, 0, 100}, {100, 0, 100}});
  struct Case {
    int32_t end;
    double speed;
    float from;
    bool answer;
    int32_t index;
    float position, speedAfter, x, anchor;
    const char* why;
  };
  const Case cases[] = {
      {0, 40, 0.8f, true, -1, 1.0f, 40, 100, 0, "stop at the far end"},
      {0, -40, 0.2f, true, -1, 1.0f, -40, 100, 0, "stop below 0 also leaves the position at 1"},
      {1, 40, 0.8f, true, line, 0.2f, 40, 20, 0, "restart"},
      {1, -40, 0.2f, true, line, 0.8f, -40, 80, 0, "restart from below 0"},
      {2, 40, 0.8f, true, line, 0.2f, 40, 120, 100, "continue: the anchor moves one lap on"},
      {2, -40, 0.2f, true, line, 0.8f, -40, -20, -100, "continue backward"},
      {3, 40, 0.8f, true, line, 0.8f, -40, 80, 0, "reverse: 1.2 becomes 0.8"},
      {3, -40, 0.2f, true, line, 0.2f, 40, 20, 0, "reverse: -0.2 becomes 0.2"},
      {7, 40, 0.8f, true, -1, 1.0f, 40, 100, 0, "an unknown action stops"},
      {0, 0, 0.0f, false, line, 0.0f, 0, 0, 0, "speed 0 at the end answers false"},
  };
  for (const Case& c : cases) {
    StartAt(line, c.speed, c.end, c.from);
    EXPECT_EQ(m_instance.PathStep(), c.answer) << c.why;
    EXPECT_EQ(m_instance.i_pathindex, c.index) << c.why;
    EXPECT_FLOAT_EQ(m_instance.i_pathposition, c.position) << c.why;
    EXPECT_EQ(m_instance.i_pathspeed, c.speedAfter) << c.why;
    EXPECT_FLOAT_EQ(m_instance.i_x, c.x) << c.why;
    EXPECT_FLOAT_EQ(m_instance.i_pathxstart, c.anchor) << c.why;
  }
  // Stop answers true once: the path is gone afterwards.
  StartAt(line, 40, 0, 0.8f);
  EXPECT_TRUE(m_instance.PathStep());
  EXPECT_FALSE(m_instance.PathStep());
}

TEST_F(InstancePathTest, ContinueTurnsAndScalesTheLap) {
  const int32_t line = AddPath({{0, 0, 100}, {100, 0, 100}});
  // Turned a quarter counter-clockwise (up the screen) and doubled: one lap is (0, -200).
  StartAt(line, 80, 2, 0.8f, 2, 90);
  EXPECT_TRUE(m_instance.PathStep());
  EXPECT_NEAR(m_instance.i_pathxstart, 0.0f, 1e-4);
  EXPECT_FLOAT_EQ(m_instance.i_pathystart, -200.0f);
  // Position 0.2 of the turned, doubled path from the new anchor: (0, -200 - 40).
  EXPECT_NEAR(m_instance.i_x, 0.0f, 1e-4);
  EXPECT_FLOAT_EQ(m_instance.i_y, -240.0f);
}

TEST_F(InstancePathTest, AStepLeavesNoSpeedButKeepsTheHeading) {
  const int32_t down = AddPath({{0, 0, 100}, {0, 100, 100}});
  Instance_PathStart(&m_instance, down, 5, 1, 0, true, 0);  // anchored at (50, 60)
  EXPECT_FALSE(m_instance.PathStep());
  EXPECT_EQ(m_instance.i_y, 65.0f);
  EXPECT_EQ(m_instance.i_x, 50.0f);
  EXPECT_EQ(m_instance.i_hspeed, 0.0f);
  EXPECT_EQ(m_instance.i_vspeed, 0.0f);
  EXPECT_EQ(m_instance.i_speed, 0.0f);
  EXPECT_EQ(m_instance.i_direction, 270.0f);
  EXPECT_EQ(m_instance.i_bboxdirty, 1);
}

}  // namespace
