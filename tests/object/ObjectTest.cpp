#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"
#include "object/Object_Class.h"
#include "object/Object_Main.h"
#include "platform/MemoryManager.h"
#include "room/Event_Class.h"
#include "room/Instance_Class.h"
#include "code/Code_Error.h"
#include "run/Run_Global.h"

namespace {

using testsupport::AddObject;


class ObjectTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    m_blocks = MemoryManager::BlockCount.load();
  }
  void TearDown() override {
    RuntimeTest::TearDown();
    EXPECT_EQ(MemoryManager::BlockCount.load(), m_blocks) << "memory-manager blocks leaked";
  }
  int32_t m_blocks = 0;
};

TEST_F(ObjectTest, AnInstanceJoinsTheDescendantListsOfEveryAncestor) {
  const int32_t grand = testsupport::AddObject(-1);
  const int32_t parent = testsupport::AddObject(grand);
  const int32_t child = testsupport::AddObject(parent);
  const int32_t other = testsupport::AddObject(-1);
  EXPECT_EQ(Object_Find(child)->GetParent(), Object_Find(parent));
  EXPECT_EQ(Object_Find(grand)->GetParent(), nullptr);
  EXPECT_EQ(Object_Find(other + 1), nullptr);
  EXPECT_EQ(Object_Find(-1), nullptr);

  CInstance a(0, 0, 100001, parent, true);
  {
    CInstance b(0, 0, 100002, child, true);
    struct Case {
      int32_t object;
      int32_t own;
      int32_t recursive;
    };
    const Case cases[] = {{grand, 0, 2}, {parent, 1, 2}, {child, 1, 1}, {other, 0, 0}};
    for (const Case& c : cases) {
      SCOPED_TRACE(c.object);
      EXPECT_EQ(Object_Find(c.object)->m_Instances.Count(), c.own);
      EXPECT_EQ(Object_Find(c.object)->m_InstancesRecursive.Count(), c.recursive);
    }
    // In the order the instances were linked.
    EXPECT_EQ(Object_Find(grand)->m_InstancesRecursive.First()->item, &a);
    EXPECT_EQ(Object_Find(grand)->m_InstancesRecursive.Last()->item, &b);
  }
  EXPECT_EQ(Object_Find(grand)->m_InstancesRecursive.Count(), 1);
  EXPECT_EQ(Object_Find(child)->m_InstancesRecursive.Count(), 0);
}

TEST_F(ObjectTest, ParentLoopsInTheDataDoNotHangTheWalk) {
  // 0 -> 1 -> 0 is a loop; 2 names itself as its parent.
  testsupport::AddObject(1);
  testsupport::AddObject(0);
  testsupport::AddObject(2);
  EXPECT_EQ(Object_Find(2)->GetParent(), nullptr);
  {
    CInstance a(0, 0, 1, 0, true);
    CInstance b(0, 0, 2, 2, true);
    EXPECT_EQ(Object_Find(0)->m_InstancesRecursive.Count(), 1);
    EXPECT_EQ(Object_Find(1)->m_InstancesRecursive.Count(), 1);
    EXPECT_EQ(Object_Find(2)->m_InstancesRecursive.Count(), 1);
  }
  for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(Object_Find(i)->m_InstancesRecursive.Count(), 0);
}

TEST_F(ObjectTest, HandlersAreFoundThroughParentsAndTheOtherObjectsAncestors) {
  const int32_t grand = AddObject();
  const int32_t parent = AddObject(grand);
  const int32_t child = AddObject(parent);
  const int32_t aParent = AddObject();
  const int32_t a = AddObject(aParent);
  CEvent* step = testsupport::AddHandler(grand, EVENT_STEP, 1);
  CEvent* hitParent = testsupport::AddHandler(a, EVENT_COLLISION, parent);
  CEvent* hitGrand = testsupport::AddHandler(aParent, EVENT_COLLISION, grand);
  // A slot without a text is not a handler.
  Object_Find(parent)->EventSlot(EVENT_STEP, 1) = new CEvent();

  EXPECT_EQ(Object_Find(child)->FindHandler(EVENT_STEP, 1), step);
  EXPECT_EQ(Object_Find(child)->GetEvent(EVENT_STEP, 1), nullptr);
  EXPECT_TRUE(Object_Find(child)->HasEvent(EVENT_STEP, 1));
  EXPECT_FALSE(Object_Find(child)->HasEvent(EVENT_STEP, 0));
  EXPECT_TRUE(Object_Find(child)->HasAncestor(grand));
  EXPECT_FALSE(Object_Find(grand)->HasAncestor(child));
  // a's handler for child's parent, then a's parent's for child's grandparent.
  EXPECT_EQ(Object_Find(a)->FindHandler(EVENT_COLLISION, child), hitParent);
  EXPECT_EQ(Object_Find(a)->FindHandler(EVENT_COLLISION, parent), hitParent);
  EXPECT_EQ(Object_Find(aParent)->FindHandler(EVENT_COLLISION, child), hitGrand);
  EXPECT_EQ(Object_Find(a)->FindHandler(EVENT_COLLISION, grand), hitGrand);
  EXPECT_EQ(Object_Find(aParent)->FindHandler(EVENT_COLLISION, a), nullptr);
  // A handler for the other object itself wins over one for its ancestor.
  CEvent* hitChild = testsupport::AddHandler(aParent, EVENT_COLLISION, child);
  EXPECT_EQ(Object_Find(a)->FindHandler(EVENT_COLLISION, child), hitChild);
}

TEST_F(ObjectTest, BadEventArgumentsAreReportedAndFindNothing) {
  const int32_t object = AddObject();
  testsupport::AddHandler(object, EVENT_CREATE, 0);
  const struct {
    int32_t kind;
    int32_t number;
  } cases[] = {{-1, 0}, {12, 0}, {EVENT_CREATE, -1}};
  for (const auto& c : cases) {
    Error_ResetState();
    EXPECT_EQ(Object_Find(object)->FindHandler(c.kind, c.number), nullptr);
    EXPECT_EQ(Object_Find(object)->GetEvent(c.kind, c.number), nullptr);
    ASSERT_NE(Error_GetLast(), nullptr);
    EXPECT_NE(std::string(Error_GetLast()).find("Invalid event argument"), std::string::npos);
  }
  Error_ResetState();
  Run_SetNewRoom(-1);
}

TEST_F(ObjectTest, TheTableIsOrderedByBucketThenInsertion) {
  for (int32_t i = 0; i < 600; ++i) AddObject(-1, i == 515 || i == 4 ? "same" : nullptr);
  std::vector<int32_t> order;
  Object_ForEach([&order](CObject* o) { order.push_back(o->m_Index); });
  ASSERT_EQ(order.size(), 600u);
  const auto three = std::find(order.begin(), order.end(), 3);
  ASSERT_LE(three + 4, order.end());
  EXPECT_EQ((std::vector<int32_t>(three, three + 4)), (std::vector<int32_t>{3, 515, 4, 516}));
  EXPECT_EQ(order[0], 0);
  EXPECT_EQ(Object_FindByName("same"), 515);
}

TEST_F(ObjectTest, AddedObjectsTakeTheNextIndexAndDeletedOnesLeaveTheirSlot) {
  for (int32_t i = 0; i < 10; ++i) AddObject();
  EXPECT_EQ(Object_Add(), 10);
  EXPECT_STREQ(Object_GetName(10), "__newobject10");
  EXPECT_TRUE(Object_Delete(10));
  EXPECT_FALSE(Object_Delete(10));
  EXPECT_FALSE(Object_Exists(10));
  EXPECT_EQ(Object_Add(), 11);
  EXPECT_EQ(Object_Count(), 12);
}

TEST_F(ObjectTest, DeletingAnObjectLeavesNoInstanceInFreedLists) {
  const int32_t grand = AddObject();
  const int32_t parent = AddObject(grand);
  const int32_t child = AddObject(parent);
  CInstance own(0, 0, 100001, parent, true);
  CInstance below(0, 0, 100002, child, true);
  ASSERT_TRUE(Object_Delete(parent));
  EXPECT_EQ(own.i_object, nullptr);
  EXPECT_EQ(own.i_objindex, parent);
  // The child's chain now ends at the deleted object.
  EXPECT_EQ(Object_Find(child)->GetParent(), nullptr);
  EXPECT_EQ(Object_Find(grand)->m_InstancesRecursive.Count(), 0);
  EXPECT_EQ(Object_Find(child)->m_InstancesRecursive.Count(), 1);
  // The instances can still be destroyed (under the sanitizers: no use of freed nodes).
}

TEST_F(ObjectTest, ANewParentMovesTheDescendantListsAtOnce) {
  const int32_t first = AddObject();
  const int32_t second = AddObject();
  const int32_t child = AddObject(first);
  {
    CInstance a(0, 0, 100001, child, true);
    ASSERT_TRUE(Object_SetParent(child, second));
    EXPECT_EQ(Object_Find(first)->m_InstancesRecursive.Count(), 0);
    EXPECT_EQ(Object_Find(second)->m_InstancesRecursive.Count(), 1);
    // A parent that would close a loop is refused.
    EXPECT_FALSE(Object_SetParent(second, child));
    EXPECT_FALSE(Object_SetParent(child, child));
    EXPECT_EQ(Object_Find(second)->m_ParentIndex, -1);
    EXPECT_EQ(Object_Find(child)->GetParent(), Object_Find(second));
  }
  for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(Object_Find(i)->m_InstancesRecursive.Count(), 0);
}

}  // namespace
