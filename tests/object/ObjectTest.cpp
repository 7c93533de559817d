#include <gtest/gtest.h>

#include "object/Object_Class.h"
#include "platform/MemoryManager.h"
#include "room/Instance_Class.h"

namespace {

class ObjectTest : public ::testing::Test {
 protected:
  void SetUp() override { m_blocks = MemoryManager::BlockCount.load(); }
  void TearDown() override {
    Object_FreeAll();
    EXPECT_EQ(MemoryManager::BlockCount.load(), m_blocks) << "memory-manager blocks leaked";
  }
  int32_t m_blocks = 0;
};

TEST_F(ObjectTest, AnInstanceJoinsTheDescendantListsOfEveryAncestor) {
  const int32_t grand = Object_Add(-1);
  const int32_t parent = Object_Add(grand);
  const int32_t child = Object_Add(parent);
  const int32_t other = Object_Add(-1);
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
  Object_Add(1);
  Object_Add(0);
  Object_Add(2);
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

}  // namespace
