// The frame step: the order of its phases, instances created during a phase, alarms, motion,
// the outside, boundary and view events, collision events, and a room change that ends the step
// early.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "io/IO_Main.h"
#include "object/Object_Lists.h"
#include "path/Path_Main.h"
#include "room/Event_Names.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"
#include "room/Room_Run.h"
#include "run/Run_Frame.h"
#include "run/Run_Global.h"
#include "object/Object_Class.h"
#include "testlib/RuntimeTest.h"
#include "testlib/SpriteFixtures.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;

namespace {

std::vector<std::string> g_seen;

class FrameStepTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    g_seen.clear();
    Room_SetLastInstanceId(100000);
    CurrentRoom = new CRoom();
    m_object = AddObject(-1, "obj");
  }
  void TearDown() override {
    delete CurrentRoom;
    CurrentRoom = nullptr;
    RuntimeTest::TearDown();
  }
  // A handler of (kind, number) on the test object that notes "<label> <id>" and then runs `then`.
  void Note(int32_t kind, int32_t number, const std::string& label, std::function<void(CInstance*)> then = nullptr) {
    AddHandler(m_object, kind, number, [label, then](CInstance* self, CInstance*, ScriptValue*) {
      g_seen.push_back(label + " " + std::to_string(self->i_id));
      if (then) then(self);
    });
  }
  CInstance* Add() { return CurrentRoom->AddInstance(0, 0, m_object); }
  // An object showing `sprite` (solid when asked), and an instance of it at (x, y).
  static int32_t SpriteObject(const char* name, int32_t sprite, bool solid = false) {
    const int32_t object = AddObject(-1, name);
    Object_Find(object)->m_SpriteIndex = sprite;
    if (solid) Object_Find(object)->m_Flags |= kObjectSolid;
    return object;
  }
  void Step() {
    ObjectLists_Build();
    RunFrameStep();
  }

  int32_t m_object = 0;
};

TEST_F(FrameStepTest, PhasesRunInOrderAndNewInstancesWaitForTheNextDispatch) {
  Note(EVENT_STEP, 1, "begin");
  Note(EVENT_ALARM, 0, "alarm");
  Note(EVENT_STEP, 2, "end");
  bool made = false;
  Note(EVENT_STEP, 0, "step", [&made](CInstance*) {
    if (!made) {
      made = true;
      CurrentRoom->AddInstance(0, 0, 0);
    }
  });
  CInstance* first = Add();
  first->i_timer[0] = 1;
  Step();
  // The instance made in the step event missed that step event but had the end step.
  EXPECT_EQ(g_seen, (std::vector<std::string>{"begin 100001", "alarm 100001", "step 100001", "end 100001",
                                              "end 100002"}));
  EXPECT_EQ(g_RoomRun.stepCounter, 1);
}

TEST_F(FrameStepTest, AlarmsFireWhenTheyReachExactlyZero) {
  Note(EVENT_ALARM, 3, "alarm");
  CInstance* soon = Add();
  CInstance* later = Add();
  CInstance* zero = Add();
  soon->i_timer[3] = 1;
  later->i_timer[3] = 3;
  zero->i_timer[3] = 0;  // set to 0 by a script: it becomes -1 without an event
  std::vector<std::vector<std::string>> steps;
  for (int i = 0; i < 4; ++i) {
    g_seen.clear();
    Step();
    steps.push_back(g_seen);
  }
  EXPECT_EQ(steps[0], std::vector<std::string>{"alarm 100001"});
  EXPECT_TRUE(steps[1].empty());
  EXPECT_EQ(steps[2], std::vector<std::string>{"alarm 100002"});
  EXPECT_TRUE(steps[3].empty());
  EXPECT_EQ(zero->i_timer[3], -1);
  EXPECT_EQ(soon->i_timer[3], -1);
}

TEST_F(FrameStepTest, ARoomChangeEndsTheStepAfterItsPhase) {
  Note(EVENT_STEP, 1, "begin", [](CInstance*) { Run_SetNewRoom(3); });
  Note(EVENT_STEP, 0, "step");
  Note(EVENT_STEP, 2, "end");
  Add();
  Add();
  Step();
  // The second instance's begin step is held back by the pending change, and no later phase runs.
  EXPECT_EQ(g_seen, std::vector<std::string>{"begin 100001"});
  EXPECT_EQ(g_RoomRun.stepCounter, 0);
}

TEST_F(FrameStepTest, MarkedInstancesAreRemovedAfterTheEndStep) {
  Note(EVENT_STEP, 0, "step", [](CInstance* self) { self->i_marked = 1; });
  Note(EVENT_STEP, 2, "end");
  Add();
  Step();
  // A destroyed instance takes no later event and is gone after the step.
  EXPECT_EQ(g_seen, std::vector<std::string>{"step 100001"});
  EXPECT_EQ(CurrentRoom->m_Active.count, 0);
  EXPECT_EQ(Instance_Find(100001), nullptr);
}

TEST_F(FrameStepTest, TheOutsideEventRunsOncePerExit) {
  CurrentRoom->m_Width = 100;
  CurrentRoom->m_Height = 100;
  Note(EVENT_OTHER, 0, "outside");
  CInstance* walker = Add();
  const float xs[] = {50, -5, -6, 50, 101, 120};
  std::vector<std::string> seen;
  for (float x : xs) {
    walker->i_x = x;
    g_seen.clear();
    Step();
    seen.push_back(g_seen.empty() ? "-" : g_seen[0]);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"-", "outside 100001", "-", "-", "outside 100001", "-"}));
}

TEST_F(FrameStepTest, InstancesFallUnderGravityAndFrictionStopsThem) {
  CInstance* faller = Add();
  faller->i_gravity = 1;
  CInstance* slider = Add();
  slider->SetSpeed(3);
  slider->i_friction = 1;
  std::vector<float> ys, xs;
  for (int i = 0; i < 5; ++i) {
    Step();
    ys.push_back(faller->i_y);
    xs.push_back(slider->i_x);
  }
  EXPECT_EQ(ys, (std::vector<float>{1, 3, 6, 10, 15}));
  EXPECT_EQ(xs, (std::vector<float>{2, 3, 3, 3, 3}));
  EXPECT_EQ(faller->i_direction, 270.0f);
  EXPECT_EQ(slider->i_speed, 0.0f);
  EXPECT_EQ(faller->i_yprevious, 10.0f);
}

TEST_F(FrameStepTest, InstancesFollowPathsWithEachEndAction) {
  const int32_t line = Path_Add();
  Path_Data(line)->SetClosed(false);
  Path_Data(line)->AddPoint(0, 0, 100);
  Path_Data(line)->AddPoint(100, 0, 100);
  Note(EVENT_OTHER, 8, "end of path");
  std::vector<CInstance*> followers;
  for (int32_t end = 0; end < 4; ++end) {
    CInstance* follower = Add();
    Instance_PathStart(follower, line, 30, 1, 0, false, end);  // 0.3 of the path per step
    followers.push_back(follower);
  }
  std::vector<std::vector<long>> xs(4);
  for (int i = 0; i < 6; ++i) {
    Step();
    for (size_t f = 0; f < followers.size(); ++f) xs[f].push_back(std::lround(followers[f]->i_x));
  }
  EXPECT_EQ(xs[0], (std::vector<long>{30, 60, 90, 100, 100, 100}));  // stop
  EXPECT_EQ(xs[1], (std::vector<long>{30, 60, 90, 20, 50, 80}));     // restart
  EXPECT_EQ(xs[2], (std::vector<long>{30, 60, 90, 120, 150, 180}));  // continue
  EXPECT_EQ(xs[3], (std::vector<long>{30, 60, 90, 80, 50, 20}));     // reverse
  // Each reached an end once, in the fourth step.
  EXPECT_EQ(g_seen, (std::vector<std::string>{"end of path 100001", "end of path 100002", "end of path 100003",
                                              "end of path 100004"}));
  EXPECT_EQ(followers[0]->i_pathindex, -1);
  EXPECT_EQ(followers[3]->i_pathspeed, -30.0f);
  Path_FreeAll();
}

TEST_F(FrameStepTest, CollisionEventsRunOnlyWhereSolidMaskPixelsMeet) {
  // The mover's only solid pixel is (7, 4), the target's (4, 4): the boxes overlap from x = 3,
  // the pixels meet only at x = 7.
  const int32_t mover = SpriteObject("mover", AddTestSprite(8, 8, {DotsMask(8, 8, {{7, 4}})}));
  const int32_t target = SpriteObject("target", AddTestSprite(8, 8, {DotsMask(8, 8, {{4, 4}})}));
  AddHandler(mover, EVENT_COLLISION, target, [](CInstance* self, CInstance* other, ScriptValue*) {
    g_seen.push_back("hit " + std::to_string(static_cast<int>(self->i_x)) + " " + std::to_string(other->i_id));
  });
  CInstance* m = CurrentRoom->AddInstance(0, 0, mover);
  CurrentRoom->AddInstance(10, 0, target);
  m->SetHSpeed(1);
  for (int i = 0; i < 12; ++i) Step();
  EXPECT_EQ(g_seen, std::vector<std::string>{"hit 7 100002"});
}

TEST_F(FrameStepTest, SolidInstancesGoBackOnCollision) {
  const int32_t block = AddTestSprite(8, 8, {SolidMask(8, 8)});
  const int32_t mover = SpriteObject("mover", block, true);
  const int32_t wall = SpriteObject("wall", block, true);
  AddHandler(mover, EVENT_COLLISION, wall, [](CInstance* self, CInstance*, ScriptValue*) {
    g_seen.push_back("bump " + std::to_string(static_cast<int>(self->i_x)));
  });
  AddHandler(wall, EVENT_COLLISION, mover, [](CInstance* self, CInstance*, ScriptValue*) {
    g_seen.push_back("wall " + std::to_string(static_cast<int>(self->i_x)));
  });
  CInstance* m = CurrentRoom->AddInstance(0, 0, mover);
  CurrentRoom->AddInstance(10, 0, wall);
  m->SetHSpeed(2);
  std::vector<float> xs;
  for (int i = 0; i < 4; ++i) {
    Step();
    xs.push_back(m->i_x);
  }
  // From x = 4 the boxes meet: it goes back to 2 before the events, steps again, still meets and
  // goes back once more.
  EXPECT_EQ(xs, (std::vector<float>{2, 2, 2, 2}));
  EXPECT_EQ(g_seen, (std::vector<std::string>{"bump 2", "wall 10", "bump 2", "wall 10", "bump 2", "wall 10"}));
}

TEST_F(FrameStepTest, SolidPathFollowersStepAgainOnceTheWayIsClear) {
  const int32_t line = Path_Add();
  Path_Data(line)->SetClosed(false);
  Path_Data(line)->AddPoint(0, 0, 100);
  Path_Data(line)->AddPoint(100, 0, 100);
  const int32_t block = AddTestSprite(8, 8, {SolidMask(8, 8)});
  const int32_t follower = SpriteObject("follower", block, true);
  const int32_t wall = SpriteObject("wall", block, true);
  // The first bump moves the wall away; the second finds it in the way again.
  int bumps = 0;
  AddHandler(follower, EVENT_COLLISION, wall, [&bumps](CInstance*, CInstance* other, ScriptValue*) {
    if (++bumps == 1) other->SetPosition(200, 0);
  });
  CInstance* f = CurrentRoom->AddInstance(0, 0, follower);
  CurrentRoom->AddInstance(44, 0, wall);
  Instance_PathStart(f, line, 20, 1, 0, true, 0);
  Step();  // to 20
  Step();  // to 40, meets the wall: back to 20, the wall goes, then the path step again to 40
  EXPECT_EQ(f->i_x, 40.0f);
  EXPECT_FLOAT_EQ(f->i_pathposition, 0.4f);
  Instance_Find(100002)->SetPosition(64, 0);
  Step();  // to 60, meets the wall (64..71) and stays back at 40
  EXPECT_EQ(f->i_x, 40.0f);
  EXPECT_FLOAT_EQ(f->i_pathposition, 0.4f);
  EXPECT_EQ(bumps, 2);
  Path_FreeAll();
}

TEST_F(FrameStepTest, OutsideAndBoundaryEventsUseTheBoxOfInstancesWithASprite) {
  CurrentRoom->m_Width = 100;
  CurrentRoom->m_Height = 100;
  const int32_t boxed = SpriteObject("boxed", AddTestSprite(16, 16, {}));
  for (int32_t object : {m_object, boxed}) {
    AddHandler(object, EVENT_OTHER, 0, [](CInstance* self, CInstance*, ScriptValue*) {
      g_seen.push_back("outside " + std::to_string(self->i_id));
    });
    AddHandler(object, EVENT_OTHER, 1, [](CInstance* self, CInstance*, ScriptValue*) {
      g_seen.push_back("boundary " + std::to_string(self->i_id));
    });
  }
  CInstance* point = Add();                                // 100001: by position
  CInstance* box = CurrentRoom->AddInstance(0, 0, boxed);  // 100002: by its 16 x 16 box
  const float xs[] = {50, -10, -17, 50, 90, 101};
  std::vector<std::string> seen;
  for (float x : xs) {
    point->SetPosition(x, 50);
    box->SetPosition(x, 50);
    g_seen.clear();
    Step();
    std::string line;
    for (const std::string& e : g_seen) line += (line.empty() ? "" : ", ") + e;
    seen.push_back(line);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "",
                      "outside 100001, boundary 100001, boundary 100002",  // box -10..5 still meets the room
                      "outside 100002, boundary 100001, boundary 100002",
                      "",
                      "boundary 100002",  // box 90..105
                      "outside 100001, outside 100002, boundary 100001, boundary 100002",  // box 101..116
                  }));
}

TEST_F(FrameStepTest, ViewEventsRunForVisibleViewsOnly) {
  CurrentRoom->m_Width = 1000;
  CurrentRoom->m_Height = 1000;
  CurrentRoom->m_ViewsEnabled = 1;
  RoomView& view = CurrentRoom->m_Views[1];
  view.visible = 1;
  view.xview = 0.4f;  // sides 0 .. 100 after rounding
  view.wview = 99.8f;
  view.hview = 100;
  const int32_t boxed = SpriteObject("boxed", AddTestSprite(16, 16, {}));
  for (int32_t number : {40, 41, 50, 51}) {
    AddHandler(boxed, EVENT_OTHER, number, [number](CInstance* self, CInstance*, ScriptValue*) {
      g_seen.push_back(std::to_string(number) + " " + std::to_string(static_cast<int>(self->i_x)));
    });
  }
  CInstance* box = CurrentRoom->AddInstance(0, 0, boxed);
  std::vector<std::string> seen;
  for (float x : {50.0f, 90.0f, 101.0f, -15.0f, -16.0f}) {
    box->SetPosition(x, 50);
    g_seen.clear();
    Step();
    std::string line;
    for (const std::string& e : g_seen) line += (line.empty() ? "" : ", ") + e;
    seen.push_back(line);
  }
  // View 0 is not visible: events 40 and 50 never run. Every outside-view event comes before the
  // boundary-view events.
  EXPECT_EQ(seen, (std::vector<std::string>{"", "51 90", "41 101, 51 101", "51 -15", "41 -16, 51 -16"}));
}

// The keyboard phase: keys in ascending order, each key's three events before the next key's,
// then the any-key or no-key event of each kind.
TEST_F(FrameStepTest, KeyboardEventsRunKeyByKeyThenTheAnyKeyEvents) {
  for (int32_t key : {65, 66}) {
    Note(EVENT_KEYBOARD, key, "held " + std::to_string(key));
    Note(EVENT_KEYPRESS, key, "press " + std::to_string(key));
    Note(EVENT_KEYRELEASE, key, "release " + std::to_string(key));
  }
  for (int32_t number : {0, 1}) {
    Note(EVENT_KEYBOARD, number, "keyboard " + std::to_string(number));
    Note(EVENT_KEYPRESS, number, "keypress " + std::to_string(number));
    Note(EVENT_KEYRELEASE, number, "keyrelease " + std::to_string(number));
  }
  Add();
  IO_Init();
  IO_StartStep();
  IO_OnKeyDown(66, false);
  IO_OnKeyDown(65, false);
  IO_OnKeyUp(65);
  IO_OnKeyDown(7, false);  // codes below 8 raise nothing
  Step();
  EXPECT_EQ(g_seen, (std::vector<std::string>{"held 65 100001", "press 65 100001", "release 65 100001",
                                              "held 66 100001", "press 66 100001", "keyboard 1 100001",
                                              "keypress 1 100001", "keyrelease 1 100001"}));
  g_seen.clear();
  IO_OnKeyUp(66);
  Step();
  EXPECT_EQ(g_seen, (std::vector<std::string>{"release 66 100001", "keyboard 0 100001", "keypress 0 100001",
                                              "keyrelease 1 100001"}));
}

// Two buttons pressed in one step: the any-press event runs once for each.
TEST_F(FrameStepTest, EachButtonPressedRunsTheAnyPressEvent) {
  Note(EVENT_MOUSE, 12, "any press");
  Note(EVENT_MOUSE, 50, "held left");
  Note(EVENT_MOUSE, 52, "held middle");
  Note(EVENT_MOUSE, 53, "pressed left");
  Note(EVENT_MOUSE, 55, "pressed middle");
  Note(EVENT_MOUSE, 61, "wheel down");
  Add();
  IO_Init();
  IO_StartStep();
  IO_OnMouseDown(3, 0, 0);
  IO_OnMouseDown(1, 0, 0);
  IO_OnWheelDown();
  Step();
  EXPECT_EQ(g_seen, (std::vector<std::string>{"held left 100001", "held middle 100001", "any press 100001",
                                              "pressed left 100001", "any press 100001", "pressed middle 100001",
                                              "wheel down 100001"}));
}

}  // namespace
