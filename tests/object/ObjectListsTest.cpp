// The event object lists and the collision pairs.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "object/Object_Class.h"
#include "object/Object_Lists.h"
#include "object/Object_Main.h"
#include "platform/MemoryManager.h"
#include "room/Event_Class.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"

namespace {

using testsupport::AddObject;


std::vector<int32_t> Listed(int32_t kind, int32_t number) {
  const int32_t* objects = ObjectLists_Objects(kind, number);
  return std::vector<int32_t>(objects, objects + ObjectLists_Count(kind, number));
}

std::vector<std::pair<int32_t, int32_t>> Pairs() {
  std::vector<std::pair<int32_t, int32_t>> pairs;
  for (int32_t i = 0; i < CollisionPairs.count; ++i) {
    const CollisionPair& p = CollisionPairs.pairs[i];
    EXPECT_EQ(p.firstObject, Object_Find(p.first));
    EXPECT_EQ(p.secondObject, Object_Find(p.second));
    pairs.emplace_back(p.first, p.second);
  }
  return pairs;
}

class ObjectListsTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    m_blocks = MemoryManager::BlockCount.load();
  }
  void TearDown() override {
    RuntimeTest::TearDown();
    EXPECT_EQ(CollisionPairs.count, 0);
    EXPECT_EQ(MemoryManager::BlockCount.load(), m_blocks) << "memory-manager blocks leaked";
  }
  int32_t m_blocks = 0;
};

TEST_F(ObjectListsTest, EachEventListsTheObjectsThatHandleItOwnOrInherited) {
  const int32_t parent = AddObject();
  const int32_t child = AddObject(parent);
  const int32_t other = AddObject();
  testsupport::AddHandler(parent, EVENT_STEP, 0);
  testsupport::AddHandler(other, EVENT_KEYPRESS, 200);  // keys above 128 are listed too: the frame step reads them
  testsupport::AddHandler(other, EVENT_MOUSE, 129);     // past the mouse numbers built
  testsupport::AddHandler(other, EVENT_DRAW, 64);       // only draw 0 is built
  testsupport::AddHandler(child, EVENT_ALARM, 12);
  testsupport::AddHandler(child, 11, 0);
  ObjectLists_Build();
  EXPECT_EQ(Listed(EVENT_STEP, 0), (std::vector<int32_t>{parent, child}));
  EXPECT_EQ(Listed(EVENT_KEYPRESS, 200), (std::vector<int32_t>{other}));
  EXPECT_EQ(Listed(EVENT_ALARM, 12), (std::vector<int32_t>{child}));
  // Every key kind runs to 255.
  for (int32_t kind : {EVENT_KEYBOARD, EVENT_KEYPRESS, EVENT_KEYRELEASE}) {
    testsupport::AddHandler(parent, kind, 255);
    ObjectLists_Build();
    EXPECT_EQ(Listed(kind, 255), (std::vector<int32_t>{parent, child})) << kind;
  }
  EXPECT_EQ(ObjectLists_Count(EVENT_MOUSE, 129), 0);
  EXPECT_EQ(ObjectLists_Count(EVENT_DRAW, 64), 0);
  EXPECT_EQ(ObjectLists_Count(11, 0), 0);
  EXPECT_EQ(ObjectLists_Count(EVENT_STEP, 256), 0);
  EXPECT_EQ(ObjectLists_Count(EVENT_CREATE, 0), 0);

  // After a change of parent the lists follow the new inheritance.
  ASSERT_TRUE(Object_SetParent(child, other));
  ObjectLists_Build();
  EXPECT_EQ(Listed(EVENT_STEP, 0), (std::vector<int32_t>{parent}));
  EXPECT_EQ(Listed(EVENT_KEYPRESS, 200), (std::vector<int32_t>{child, other}));
}

TEST_F(ObjectListsTest, ManyObjectsGrowTheListsInSteps) {
  for (int32_t i = 0; i < 23; ++i) testsupport::AddHandler(AddObject(), EVENT_CREATE, 0);
  ObjectLists_Build();
  ASSERT_EQ(ObjectLists_Count(EVENT_CREATE, 0), 23);
  EXPECT_EQ(ObjectLists_Objects(EVENT_CREATE, 0)[22], 22);
}

TEST_F(ObjectListsTest, CollisionPairsAreStoredOncePerObjectPair) {
  // 0 and 1 handle each other; 2 handles itself; only 4 handles 3; 5 handles 6, the parent of 7
  // and 8, so it pairs with 6 and with each of 6's descendants.
  for (int32_t i = 0; i < 6; ++i) AddObject();
  const int32_t base = AddObject();
  AddObject(base);
  AddObject(base);
  testsupport::AddHandler(0, EVENT_COLLISION, 1);
  testsupport::AddHandler(1, EVENT_COLLISION, 0);
  testsupport::AddHandler(2, EVENT_COLLISION, 2);
  testsupport::AddHandler(4, EVENT_COLLISION, 3);
  testsupport::AddHandler(5, EVENT_COLLISION, base);
  ObjectLists_Build();
  EXPECT_EQ(Pairs(), (std::vector<std::pair<int32_t, int32_t>>{{0, 1}, {2, 2}, {4, 3}, {5, 6}, {5, 7}, {5, 8}}));

  // After a change of parent the pairs follow the new inheritance: 3 now descends from 6.
  ASSERT_TRUE(Object_SetParent(3, base));
  ObjectLists_Build();
  EXPECT_EQ(Pairs(),
            (std::vector<std::pair<int32_t, int32_t>>{{0, 1}, {2, 2}, {4, 3}, {5, 3}, {5, 6}, {5, 7}, {5, 8}}));
  ASSERT_TRUE(Object_SetParent(3, -1));
  ObjectLists_Build();

  // Deleting an object drops its pairs; no record pointer outlives it.
  ASSERT_TRUE(Object_Delete(5));
  EXPECT_EQ(Pairs(), (std::vector<std::pair<int32_t, int32_t>>{{0, 1}, {2, 2}, {4, 3}}));
  ASSERT_TRUE(Object_Delete(1));
  EXPECT_EQ(Pairs(), (std::vector<std::pair<int32_t, int32_t>>{{0, 1}, {2, 2}, {4, 3}}));
  EXPECT_EQ(CollisionPairs.pairs[0].secondObject, nullptr);
}

}  // namespace
