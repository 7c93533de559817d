// The frame step: the order of its phases, instances created during a phase, alarms, the outside
// event, and a room change that ends the step early.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/IO_Main.h"
#include "object/Object_Lists.h"
#include "room/Event_Names.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"
#include "room/Room_Run.h"
#include "run/Run_Frame.h"
#include "run/Run_Global.h"
#include "testlib/RuntimeTest.h"
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
