// The instance commands on a live room: events of destroy and change, copies, deactivation and
// activation through the activation-change queue, region tests, snapping and wrapping.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "room/Instance_Query.h"
#include "room/Room_Command.h"
#include "room/WorldFixture.h"
#include "run/Run_Frame.h"
#include "testlib/SpriteFixtures.h"

namespace {

using testsupport::AddHandler;
using testsupport::AddObject;
using testsupport::AddTestSprite;
using testsupport::ErrorRecorder;
using testsupport::SolidMask;

std::vector<std::string> g_ran;

class InstanceCommandTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    g_ran.clear();
    Room();
    m_object = AddObject();
    m_other = AddObject();
    for (int32_t object : {m_object, m_other}) {
      AddHandler(object, EVENT_CREATE, 0, [](CInstance* self, CInstance*, ScriptValue*) {
        g_ran.push_back("create " + std::to_string(self->i_objindex));
      });
      AddHandler(object, EVENT_DESTROY, 0, [](CInstance* self, CInstance*, ScriptValue*) {
        g_ran.push_back("destroy " + std::to_string(self->i_objindex));
      });
    }
  }

  // An instance of `object` with a 16 x 16 sprite (origin 0, 0) at (x, y).
  CInstance* Boxed(int32_t object, float x, float y) {
    if (m_sprite < 0) m_sprite = AddTestSprite(16, 16, {SolidMask(16, 16)});
    CInstance* instance = CurrentRoom->AddInstance(x, y, object);
    instance->SetSpriteIndex(m_sprite);
    return instance;
  }

  int32_t m_object = -1;
  int32_t m_other = -1;
  int32_t m_sprite = -1;
};

TEST_F(InstanceCommandTest, DestroyAndChangeRunTheirEventsOnce) {
  CInstance* a = CurrentRoom->AddInstance(0, 0, m_object);
  Command_DestroyInstance(a);
  Command_DestroyInstance(a);
  EXPECT_EQ(g_ran, std::vector<std::string>{"destroy 0"});
  EXPECT_EQ(a->i_marked, 1);

  // Into its own object: no events. With events after a destroy: only the create event.
  g_ran.clear();
  CInstance* b = CurrentRoom->AddInstance(0, 0, m_object);
  Command_ChangeInstance(b, m_object, true);
  EXPECT_TRUE(g_ran.empty());
  Command_ChangeInstance(a, m_other, true);
  EXPECT_EQ(g_ran, std::vector<std::string>{"create 1"});
  g_ran.clear();
  Command_ChangeInstance(b, m_other, true);
  EXPECT_EQ(g_ran, (std::vector<std::string>{"destroy 0", "create 1"}));
  EXPECT_EQ(b->i_destroydone, 0);

  ErrorRecorder errors;
  Command_ChangeInstance(b, 77, true);
  Command_SetSprite(b, 5);
  EXPECT_EQ(errors.errors(), (std::vector<ErrorRecorder::Error>{
                                 {"Asking to change into non-existing object: 77", false},
                                 {"Setting instance to non-existing sprite: 5", false}}));
  EXPECT_EQ(b->i_objindex, m_other);
}

TEST_F(InstanceCommandTest, CopyTakesANewIdAndEverythingElse) {
  CInstance* a = CurrentRoom->AddInstance(5, 6, m_object);
  a->SetHSpeed(3);
  CInstance* copy = Command_CopyInstance(a, true);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->i_id, a->i_id);
  EXPECT_EQ(Instance_Find(copy->i_id), copy);
  EXPECT_EQ(copy->i_x, 5.0f);
  EXPECT_EQ(copy->i_hspeed, 3.0f);
  EXPECT_TRUE(DepthChangeQueue.Contains(copy));
  EXPECT_EQ(g_ran, std::vector<std::string>{"create 0"});
  UpdateActiveLists();
  EXPECT_EQ(Ids(CurrentRoom->m_Active), (std::vector<int32_t>{a->i_id, copy->i_id}));
}

TEST_F(InstanceCommandTest, DeactivationWaitsForTheActiveListsUpdate) {
  CInstance* a = CurrentRoom->AddInstance(0, 0, m_object);
  CInstance* b = CurrentRoom->AddInstance(0, 0, m_other);
  Command_DeactivateAll(a, true);
  EXPECT_EQ(a->i_deactivated, 0);
  EXPECT_EQ(b->i_deactivated, 1);
  EXPECT_EQ(Command_InstanceNumber(kSelectAll), 1);  // the flag counts at once
  EXPECT_EQ(CurrentRoom->m_Active.count, 2);         // the lists change only after the update
  UpdateActiveLists();
  EXPECT_EQ(Ids(CurrentRoom->m_Active), std::vector<int32_t>{a->i_id});
  EXPECT_EQ(Ids(CurrentRoom->m_Deactivated), std::vector<int32_t>{b->i_id});

  // Activated this step: not yet back in its object's list, yet it exists.
  Command_ActivateObject(a, nullptr, m_other);
  EXPECT_TRUE(Command_InstanceExists(a, nullptr, m_other));
  EXPECT_EQ(Command_InstanceNumber(m_other), 0);
  UpdateActiveLists();
  EXPECT_EQ(Command_InstanceNumber(m_other), 1);

  // -1 and -2 with no such instance (other outside a collision) do nothing.
  Command_DeactivateObject(a, nullptr, -2);
  Command_DeactivateObject(nullptr, nullptr, -1);
  Command_ActivateObject(nullptr, nullptr, -2);
  EXPECT_EQ(ActivationChangeList.Count(), 0);
  Command_DeactivateObject(a, nullptr, -1);
  EXPECT_EQ(a->i_deactivated, 1);

  // A destroyed instance is never moved to the deactivated list.
  Command_ActivateAll();
  b->i_marked = 1;
  Command_DeactivateObject(nullptr, nullptr, b->i_id);
  Command_DeactivateObject(nullptr, nullptr, m_other);
  EXPECT_EQ(b->i_deactivated, 0);
}

TEST_F(InstanceCommandTest, DeactivationByObjectReachesDescendantsOnly) {
  const int32_t child = AddObject(m_object);
  CInstance* parent = CurrentRoom->AddInstance(0, 0, m_object);
  CInstance* kid = CurrentRoom->AddInstance(0, 0, child);
  CInstance* stranger = CurrentRoom->AddInstance(0, 0, m_other);
  Command_DeactivateObject(nullptr, nullptr, m_object);
  EXPECT_EQ(parent->i_deactivated + kid->i_deactivated, 2);
  EXPECT_EQ(stranger->i_deactivated, 0);
  Command_DeactivateObject(nullptr, nullptr, 99);  // no such object
  Command_ActivateObject(nullptr, nullptr, child);
  EXPECT_EQ(kid->i_deactivated, 0);
  EXPECT_EQ(parent->i_deactivated, 1);
}

TEST_F(InstanceCommandTest, RegionInsideCatchesTouchingBoxesAndOutsideTheRest) {
  CInstance* touching = Boxed(m_object, 110, 0);  // box 110..125: left edge on the region's right
  CInstance* apart = Boxed(m_object, 111, 0);
  CInstance* point = CurrentRoom->AddInstance(50, 50, m_other);  // no sprite: its position counts
  Command_DeactivateRegion(nullptr, 10, 0, 100, 100, true, false);
  EXPECT_EQ(touching->i_deactivated, 1);
  EXPECT_EQ(apart->i_deactivated, 0);
  EXPECT_EQ(point->i_deactivated, 1);

  Command_ActivateAll();
  Command_DeactivateRegion(apart, 10, 0, 100, 100, false, true);  // outside; the caller stays
  EXPECT_EQ(touching->i_deactivated, 0);
  EXPECT_EQ(point->i_deactivated, 0);
  EXPECT_EQ(apart->i_deactivated, 0);
  Command_DeactivateRegion(nullptr, 10, 0, 100, 100, false, false);
  EXPECT_EQ(apart->i_deactivated, 1);
  Command_ActivateRegion(111, 0, 1, 1, true);
  EXPECT_EQ(apart->i_deactivated, 0);
}

TEST_F(InstanceCommandTest, SnapAndWrapMoveToTheirPlaces) {
  CInstance* a = CurrentRoom->AddInstance(0, 0, m_object);
  struct Case {
    float x, y, hsnap, vsnap, wantX, wantY;
  };
  for (const Case& c : {Case{47, 16, 32, 32, 32, 0}, Case{48, 48, 32, 32, 64, 64}, Case{47, 16, 0, -1, 47, 16}}) {
    a->SetPosition(c.x, c.y);
    Command_MoveSnap(a, c.hsnap, c.vsnap);
    EXPECT_EQ(a->i_x, c.wantX) << c.x;
    EXPECT_EQ(a->i_y, c.wantY) << c.y;
  }
  for (const auto& [x, want] : std::vector<std::pair<float, float>>{{-1, 639}, {641, 1}, {640, 640}}) {
    a->SetPosition(x, 0);
    Command_MoveWrapMargin(a, true, false, 0);
    EXPECT_EQ(a->i_x, want) << x;
  }
  // The action wrap looks at the motion and the sprite width.
  CInstance* b = Boxed(m_object, -2, 0);
  b->SetHSpeed(-1);
  Command_MoveWrap(b, true, false);
  EXPECT_EQ(b->i_x, 654.0f);
  Command_MoveWrap(b, true, false);  // moving left inside the room: stays
  EXPECT_EQ(b->i_x, 654.0f);
  b->SetHSpeed(1);
  Command_MoveWrap(b, true, false);
  EXPECT_EQ(b->i_x, -2.0f);
}

TEST_F(InstanceCommandTest, PositionCommandsActOnCoveringInstances) {
  CInstance* a = Boxed(m_object, 0, 0);
  CInstance* b = Boxed(m_object, 100, 0);
  Command_PositionChange(5, 5, m_other, false);
  EXPECT_EQ(a->i_objindex, m_other);
  EXPECT_EQ(b->i_objindex, m_object);
  Command_PositionDestroy(105, 5);
  Command_PositionDestroy(105, 5);
  EXPECT_EQ(b->i_marked, 1);
  EXPECT_EQ(a->i_marked, 0);
  EXPECT_EQ(g_ran, std::vector<std::string>{"destroy 0"});
}

TEST_F(InstanceCommandTest, NumberMessageWritesSignedDecimals) {
  EXPECT_EQ(Command_NumberMessage("n: ", -2147483647 - 1), "n: -2147483648");
  EXPECT_EQ(Command_NumberMessage("Unexisting room number: ", 99), "Unexisting room number: 99");
}

}  // namespace
