// The instance and room built-ins on a small world: objects whose create and destroy handlers
// record what ran, a current room, and a room table with an order for the room requests.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "code/Code_Function.h"
#include "code/VM_State.h"
#include "function/Function_Motion.h"
#include "room/Room_Main.h"
#include "room/Room_Run.h"
#include "room/WorldFixture.h"
#include "testlib/SpriteFixtures.h"
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

TEST_F(InstanceRoomBuiltinsTest, PreviousRoomRequestsAndQueries) {
  for (int32_t i = 0; i < 3; ++i) Room_Add();
  RoomOrder.SetLength(3);
  for (int32_t i = 0; i < 3; ++i) RoomOrder[i] = i;
  g_RoomRun.currentIndex = 0;
  ErrorRecorder errors;
  EXPECT_EQ(CallBuiltin("room_previous", nullptr, {RealValue(0)}), -1);
  EXPECT_EQ(CallBuiltin("room_previous", nullptr, {RealValue(2)}), 1);
  EXPECT_EQ(CallBuiltin("room_next", nullptr, {RealValue(2)}), -1);
  EXPECT_EQ(CallBuiltin("room_next", nullptr, {RealValue(7)}), -1);
  CallBuiltin("room_goto_previous", nullptr, {});
  EXPECT_EQ(Run_GetNewRoom(), kNewRoomQuit);
  g_RoomRun.currentIndex = 2;
  g_RoomRun.transitionKind = 3;
  CallBuiltin("room_goto_previous", nullptr, {});
  EXPECT_EQ(Run_GetNewRoom(), 1);
  EXPECT_EQ(g_RoomRun.transitionKind, 0);
  CallBuiltin("room_restart", nullptr, {});
  EXPECT_EQ(Run_GetNewRoom(), 2);
  EXPECT_EQ(errors.errors(),
            (std::vector<ErrorRecorder::Error>{{"Moving to previous room before the first room.", true}}));
}

// Object arguments of 1.5: rounded they name object 2 (no instances), truncated object 1 (one
// instance at the caller's place). Each row is one built-in and what it answers.
TEST_F(InstanceRoomBuiltinsTest, ObjectArgumentsRoundOrTruncatePerBuiltin) {
  const int32_t sprite = testsupport::AddTestSprite(16, 16, {testsupport::SolidMask(16, 16)});
  const int32_t found = AddObject();  // 1
  AddObject();                        // 2
  ASSERT_EQ(found, 1);
  Object_Find(m_object)->m_SpriteIndex = sprite;
  Object_Find(found)->m_SpriteIndex = sprite;
  CInstance* self = Room()->AddInstance(0, 0, m_object);
  CInstance* target = CurrentRoom->AddInstance(0, 0, found);
  const double id = target->i_id;
  const double obj = 1.5;
  struct Row {
    const char* name;
    std::vector<double> args;
    double want;
  };
  const Row rows[] = {
      {"place_meeting", {0, 0, obj}, 0},
      {"position_meeting", {5, 5, obj}, 1},
      {"collision_point", {5, 5, obj, 1, 0}, -4},
      {"collision_rectangle", {0, 0, 9, 9, obj, 1, 0}, -4},
      {"collision_circle", {5, 5, 3, obj, 1, 0}, -4},
      {"collision_ellipse", {0, 0, 9, 9, obj, 1, 0}, -4},
      {"collision_line", {0, 0, 9, 9, obj, 1, 0}, -4},
      {"instance_position", {5, 5, obj}, id},
      {"instance_nearest", {5, 5, obj}, id},
      {"instance_furthest", {5, 5, obj}, id},
      {"instance_place", {0, 0, obj}, id},
      {"instance_number", {obj}, 0},
      {"instance_exists", {obj}, 1},
      {"instance_find", {obj, 0}, id},
      {"distance_to_object", {obj}, 0},
  };
  for (const Row& row : rows) {
    std::vector<ScriptValue> args;
    for (double a : row.args) args.push_back(RealValue(a));
    EXPECT_EQ(CallBuiltin(row.name, self, args), row.want) << row.name;
  }
  // -1 names no object in collision_point but the caller in place_meeting (never met).
  EXPECT_EQ(CallBuiltin("collision_point", self, {RealValue(5), RealValue(5), RealValue(-1), RealValue(1), RealValue(0)}), -4);
  EXPECT_EQ(CallBuiltin("place_meeting", self, {RealValue(0), RealValue(0), RealValue(-1)}), 0);
  EXPECT_EQ(CallBuiltin("instance_nearest", self, {RealValue(0), RealValue(0), RealValue(id)}), -4);
  EXPECT_EQ(CallBuiltin("instance_find", self, {RealValue(-3), RealValue(-1)}), -4);
  EXPECT_EQ(CallBuiltin("instance_number", self, {RealValue(-1)}), 1);
  EXPECT_EQ(CallBuiltin("instance_number", self, {RealValue(-2)}), 1);  // other is self here
  EXPECT_EQ(CallBuiltin("distance_to_object", self, {RealValue(-1)}), 1000000);
}

TEST_F(InstanceRoomBuiltinsTest, SnapWrapAndMotionBuiltinsMoveTheCaller) {
  CInstance* self = Room()->AddInstance(47, 16, m_object);
  CallBuiltin("move_snap", self, {RealValue(32), RealValue(32)});
  EXPECT_EQ(self->i_x, 32.0f);
  EXPECT_EQ(self->i_y, 0.0f);
  self->SetPosition(641, -1);
  CallBuiltin("move_wrap", self, {RealValue(0.5), RealValue(0.4), RealValue(0)});
  EXPECT_EQ(self->i_x, 1.0f);
  EXPECT_EQ(self->i_y, -1.0f);
  CallBuiltin("motion_set", self, {RealValue(90), RealValue(3)});
  EXPECT_EQ(self->i_vspeed, -3.0f);
  CallBuiltin("motion_add", self, {RealValue(0), RealValue(4)});
  EXPECT_EQ(self->i_speed, 5.0f);
  self->SetPosition(0, 0);
  CallBuiltin("move_towards_point", self, {RealValue(30), RealValue(40), RealValue(10)});
  EXPECT_EQ(self->i_hspeed, 6.0f);
  EXPECT_EQ(self->i_vspeed, 8.0f);
}

TEST_F(InstanceRoomBuiltinsTest, RegistersTheGroupInItsOrder) {
  const std::pair<const char*, int32_t> names[] = {
      {"move_random", 2}, {"place_free", 2}, {"place_empty", 2}, {"place_meeting", 3}, {"place_snapped", 2},
      {"move_snap", 2}, {"move_towards_point", 3}, {"move_contact", 1}, {"move_contact_solid", 2},
      {"move_contact_all", 2}, {"move_outside_solid", 2}, {"move_outside_all", 2}, {"move_bounce", 1},
      {"move_bounce_solid", 1}, {"move_bounce_all", 1}, {"move_wrap", 3}, {"motion_set", 2}, {"motion_add", 2},
      {"distance_to_point", 2}, {"distance_to_object", 1}, {"collision_point", 5}, {"collision_rectangle", 7},
      {"collision_circle", 6}, {"collision_ellipse", 7}, {"collision_line", 7}, {"instance_find", 2},
      {"instance_exists", 1}, {"instance_number", 1}, {"instance_position", 3}, {"instance_nearest", 3},
      {"instance_furthest", 3}, {"instance_place", 3}, {"instance_create", 3}, {"instance_copy", 1},
      {"instance_change", 2}, {"instance_destroy", 0}, {"instance_sprite", 1}, {"position_empty", 2},
      {"position_meeting", 3}, {"position_destroy", 2}, {"position_change", 4}, {"instance_deactivate_all", 1},
      {"instance_deactivate_object", 1}, {"instance_deactivate_region", 6}, {"instance_activate_all", 0},
      {"instance_activate_object", 1}, {"instance_activate_region", 5}, {"room_goto", 1},
      {"room_goto_previous", 0}, {"room_goto_next", 0}, {"room_previous", 1}, {"room_next", 1},
      {"room_restart", 0}, {"game_end", 0}, {"game_restart", 0}};
  int32_t previous = -1;
  for (const auto& [name, count] : names) {
    int32_t index = -1;
    ASSERT_TRUE(FindFunctionIndex(name, &index)) << name;
    EXPECT_GT(index, previous) << name;
    EXPECT_EQ(g_VM.functions[index].argCount, count) << name;
    previous = index;
  }
  int32_t bounce = -1, solid = -1;
  FindFunctionIndex("move_bounce", &bounce);
  FindFunctionIndex("move_bounce_solid", &solid);
  EXPECT_EQ(g_VM.functions[bounce].func, g_VM.functions[solid].func);
}

}  // namespace
