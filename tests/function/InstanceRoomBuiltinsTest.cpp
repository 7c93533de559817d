// The instance and room built-ins on a small world: objects whose create and destroy handlers
// record what ran, a current room, and a room table with an order for the room requests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "code/Code_Function.h"
#include "code/VM_State.h"
#include "function/Function_Motion.h"
#include "room/Room_Main.h"
#include "room/Room_Run.h"
#include "room/WorldFixture.h"
#include "run/Run_Global.h"
#include "testlib/TestHelpers.h"

namespace {

using testsupport::AddHandler;
using testsupport::AddObject;
using testsupport::ErrorRecorder;
using testsupport::Str;

std::vector<std::string> g_ran;

// Calls the built-in `name` as code of `self` would; answers its real result.
double CallBuiltin(const char* name, CInstance* self, std::vector<ScriptValue> args) {
  int32_t number = -1;
  EXPECT_TRUE(FindFunctionIndex(name, &number)) << name;
  if (number < 0) return -999;
  ScriptValue result{};
  g_VM.functions[number].func(&result, self, self, static_cast<int32_t>(args.size()), args.data());
  for (ScriptValue& v : args) ReleaseValue(&v);
  EXPECT_EQ(result.Kind(), VALUE_REAL) << name;
  const double answer = result.real;
  ReleaseValue(&result);
  return answer;
}

class InstanceRoomBuiltinsTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    RegisterMotionFunctions();
    g_ran.clear();
    m_object = AddObject();
    AddHandler(m_object, EVENT_CREATE, 0, [](CInstance* self, CInstance* other, ScriptValue*) {
      g_ran.push_back("create " + std::to_string(self->i_id) + " other " + std::to_string(other->i_id));
    });
    AddHandler(m_object, EVENT_DESTROY, 0, [](CInstance* self, CInstance*, ScriptValue*) {
      g_ran.push_back("destroy " + std::to_string(self->i_id) + (self->i_marked ? " marked" : ""));
    });
  }

  int32_t m_object = -1;
};

TEST_F(InstanceRoomBuiltinsTest, CreatePerformsTheCreateEventAndGivesTheNewId) {
  Room();
  ErrorRecorder errors;
  EXPECT_EQ(CallBuiltin("instance_create", nullptr, {RealValue(12.7), RealValue(-3.5), RealValue(m_object + 0.9)}),
            100001);
  EXPECT_EQ(g_ran, std::vector<std::string>{"create 100001 other 100001"});
  CInstance* made = CurrentRoom->m_Active.first;
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->i_objindex, m_object);
  EXPECT_EQ(made->i_x, 12.7f);
  EXPECT_EQ(made->i_y, -3.5f);
  EXPECT_TRUE(errors.errors().empty());

  // A missing object, and a string anywhere, create nothing and give -1.
  g_ran.clear();
  EXPECT_EQ(CallBuiltin("instance_create", nullptr, {RealValue(0), RealValue(0), RealValue(99)}), -1);
  EXPECT_EQ(CallBuiltin("instance_create", nullptr, {RealValue(0), Str("1"), RealValue(m_object)}), -1);
  EXPECT_EQ(CallBuiltin("instance_create", nullptr, {RealValue(0), RealValue(0), RealValue(-1)}), -1);
  EXPECT_EQ(errors.errors(), (std::vector<ErrorRecorder::Error>{
                                 {"Creating instance for non-existing object: 99", false},
                                 {"instance_create( ) error: Illegal type", false},
                                 {"Creating instance for non-existing object: -1", false}}));
  EXPECT_TRUE(g_ran.empty());
  EXPECT_EQ(CurrentRoom->m_Active.count, 1);
}

TEST_F(InstanceRoomBuiltinsTest, DestroyPerformsTheDestroyEventOnceAndMarksTheInstance) {
  CInstance* instance = Room()->AddInstance(0, 0, m_object);
  CallBuiltin("instance_destroy", instance, {});
  CallBuiltin("instance_destroy", instance, {});
  // The event runs before the mark is set; the instance stays listed until the removal pass.
  EXPECT_EQ(g_ran, std::vector<std::string>{"destroy 100001"});
  EXPECT_EQ(instance->i_marked, 1);
  EXPECT_EQ(instance->i_destroydone, 1);
  EXPECT_EQ(CurrentRoom->m_Active.count, 1);
  CallBuiltin("instance_destroy", nullptr, {});  // no calling instance: nothing
  EXPECT_EQ(g_ran.size(), 1u);
}

TEST_F(InstanceRoomBuiltinsTest, RoomAndGameRequestsSetTheNewRoomCode) {
  for (int32_t i = 0; i < 3; ++i) Room_Add();
  const int32_t order[] = {2, 0};
  RoomOrder.SetLength(2);
  for (int32_t i = 0; i < 2; ++i) RoomOrder[i] = order[i];
  g_RoomRun.currentIndex = 2;
  ErrorRecorder errors;

  g_RoomRun.transitionKind = 7;
  CallBuiltin("room_goto_next", nullptr, {});
  EXPECT_EQ(Run_GetNewRoom(), 0);
  EXPECT_EQ(g_RoomRun.transitionKind, 0);
  CallBuiltin("room_goto", nullptr, {RealValue(0.5)});  // halves to even: room 0
  EXPECT_EQ(Run_GetNewRoom(), 0);
  CallBuiltin("room_goto", nullptr, {RealValue(1.5)});  // room 2, not in the order but existing
  EXPECT_EQ(Run_GetNewRoom(), 2);
  EXPECT_TRUE(errors.errors().empty());

  // Game requests overwrite the room request and leave the transition kind alone.
  g_RoomRun.transitionKind = 7;
  CallBuiltin("game_restart", nullptr, {});
  EXPECT_EQ(Run_GetNewRoom(), kNewRoomRestart);
  CallBuiltin("game_end", nullptr, {});
  EXPECT_EQ(Run_GetNewRoom(), kNewRoomEndGame);
  EXPECT_EQ(g_RoomRun.transitionKind, 7);

  // Failed room requests are fatal and ask the game to quit.
  CallBuiltin("room_goto", nullptr, {RealValue(99)});
  EXPECT_EQ(Run_GetNewRoom(), kNewRoomQuit);
  Run_SetNewRoom(kNewRoomNone);
  g_RoomRun.currentIndex = 0;  // the last room of the order
  CallBuiltin("room_goto_next", nullptr, {});
  EXPECT_EQ(Run_GetNewRoom(), kNewRoomQuit);
  EXPECT_EQ(errors.errors(), (std::vector<ErrorRecorder::Error>{{"Unexisting room number: 99", true},
                                                                 {"Moving to next room after the last room.", true}}));
}

}  // namespace
