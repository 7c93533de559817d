#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <limits>
#include <memory>
#include <vector>

#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"
#include "object/Object_Class.h"
#include "object/Object_Main.h"
#include "platform/MemoryManager.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"

namespace {

std::vector<CInstance*> Order(const ActiveList& list) {
  std::vector<CInstance*> order;
  for (CInstance* i = list.first; i != nullptr; i = i->i_next) order.push_back(i);
  return order;
}

std::vector<CInstance*> Backwards(const ActiveList& list) {
  std::vector<CInstance*> order;
  for (CInstance* i = list.last; i != nullptr; i = i->i_prev) order.insert(order.begin(), i);
  return order;
}

class InstanceListTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    m_blocks = MemoryManager::BlockCount.load();
  }
  void TearDown() override {
    RuntimeTest::TearDown();
    EXPECT_EQ(InstanceIdMap.Count(), 0);
    EXPECT_EQ(MemoryManager::BlockCount.load(), m_blocks) << "memory-manager blocks leaked";
  }
  int32_t m_blocks = 0;
};

TEST_F(InstanceListTest, InsertKeepsAscendingDepthWithNewcomersAfterTheirEquals) {
  CInstance a(0, 0, 0, 0, false), b(0, 0, 0, 0, false), c(0, 0, 0, 0, false), d(0, 0, 0, 0, false);
  a.i_depth = 0;
  b.i_depth = 10;
  c.i_depth = 0;
  d.i_depth = -5;
  ActiveList list;
  for (CInstance* i : {&a, &b, &c, &d}) list.Insert(i);
  const std::vector<CInstance*> expected = {&d, &a, &c, &b};
  EXPECT_EQ(Order(list), expected);
  EXPECT_EQ(Backwards(list), expected);
  EXPECT_EQ(list.count, 4);

  // The list follows the depth recorded at insertion, not a later change.
  a.i_depth = 20;
  EXPECT_EQ(a.i_sortdepth, 0.0f);
  list.Remove(&a);
  list.Insert(&a);
  EXPECT_EQ(Order(list), (std::vector<CInstance*>{&d, &c, &b, &a}));

  for (CInstance* i : {&d, &a, &b}) list.Remove(i);  // first, last, middle
  EXPECT_EQ(Order(list), std::vector<CInstance*>{&c});
  EXPECT_EQ(Backwards(list), std::vector<CInstance*>{&c});
  list.Remove(&c);
  EXPECT_EQ(list.first, nullptr);
  EXPECT_EQ(list.last, nullptr);
  EXPECT_EQ(list.count, 0);

  list.Append(&b);
  list.Append(&d);
  EXPECT_EQ(Order(list), (std::vector<CInstance*>{&b, &d}));
}

// Insertions, removals and depth changes in a mixed order (equal depths, NaN, runs of deeper and
// shallower ones), checked after each step against the plain rule: a newcomer goes before the
// first instance whose sort depth is greater than its depth, else at the end.
TEST_F(InstanceListTest, InsertPlacesEveryNewcomerAsTheWalkFromTheFrontWould) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float depths[] = {0, 0, 5, 5, -3, nan, 5, 7, 7, 2, nan, -3, 9, 0, 9, 1};
  std::vector<std::unique_ptr<CInstance>> owned;
  for (size_t i = 0; i < std::size(depths); ++i) owned.push_back(std::make_unique<CInstance>(0, 0, 0, 0, false));
  ActiveList list;
  std::vector<CInstance*> model;
  auto insert = [&](CInstance* instance, float depth) {
    instance->i_depth = depth;
    model.erase(std::remove(model.begin(), model.end(), instance), model.end());
    auto at = std::find_if(model.begin(), model.end(), [&](CInstance* i) { return i->i_sortdepth > depth; });
    list.Insert(instance);
    model.insert(at, instance);
    ASSERT_EQ(Order(list), model);
    ASSERT_EQ(Backwards(list), model);
  };
  for (size_t i = 0; i < std::size(depths); ++i) insert(owned[i].get(), depths[i]);
  // The deepest ones leave and come back shallower, a few re-enter at new depths, then the list
  // empties and fills again.
  for (size_t i : {12u, 14u}) {
    list.Remove(owned[i].get());
    model.erase(std::find(model.begin(), model.end(), owned[i].get()));
  }
  insert(owned[12].get(), 8);
  insert(owned[14].get(), 8.5f);
  insert(owned[3].get(), 20);
  insert(owned[5].get(), -10);
  insert(owned[0].get(), nan);
  for (auto& instance : owned) list.Remove(instance.get());
  model.clear();
  EXPECT_EQ(list.count, 0);
  for (size_t i = 0; i < std::size(depths); ++i) insert(owned[i].get(), -depths[i]);
  EXPECT_EQ(list.count, static_cast<int32_t>(std::size(depths)));
  for (auto& instance : owned) list.Remove(instance.get());
}

TEST_F(InstanceListTest, RoomInstancesAreNumberedMappedAndLinkedUntilTheRoomGoes) {
  const int32_t object = testsupport::AddObject(-1);
  Room_SetLastInstanceId(100000);
  auto* room = new CRoom();
  CInstance* first = room->AddInstance(1, 2, object);
  CInstance* second = room->AddInstance(3, 4, object);
  CInstance* orphan = room->AddInstance(5, 6, 99);  // names no object
  EXPECT_EQ(first->i_id, 100001);
  EXPECT_EQ(second->i_id, 100002);
  EXPECT_EQ(Room_GetLastInstanceId(), 100003);
  EXPECT_EQ(first->i_x, 1.0f);
  EXPECT_EQ(second->i_y, 4.0f);
  EXPECT_EQ(orphan->i_object, nullptr);
  EXPECT_EQ(room->m_Active.count, 3);
  EXPECT_EQ(Instance_Find(100002), second);
  EXPECT_EQ(Instance_Find(100004), nullptr);
  EXPECT_EQ(Instance_Find(-100002), nullptr);
  EXPECT_EQ(Object_Find(object)->m_Instances.Count(), 2);

  delete room;
  EXPECT_EQ(Instance_Find(100001), nullptr);
  EXPECT_EQ(Object_Find(object)->m_Instances.Count(), 0);
  EXPECT_EQ(Object_Find(object)->m_InstancesRecursive.Count(), 0);
}

TEST_F(InstanceListTest, SetObjectMovesTheInstanceBetweenObjectLists) {
  const int32_t from = testsupport::AddObject(-1);
  const int32_t to = testsupport::AddObject(-1);
  {
    CInstance instance(0, 0, 100, from, true);
    EXPECT_EQ(instance.i_object, Object_Find(from));
    instance.SetObject(to, true);
    EXPECT_EQ(Object_Find(from)->m_Instances.Count(), 0);
    EXPECT_EQ(Object_Find(to)->m_Instances.Count(), 1);
    instance.SetObject(-1, true);  // -1 is stored as 0 but looked up as -1: no object
    EXPECT_EQ(instance.i_objindex, 0);
    EXPECT_EQ(instance.i_object, nullptr);
    EXPECT_EQ(Object_Find(to)->m_Instances.Count(), 0);
    instance.SetObject(to, false);  // bound but not linked
    EXPECT_EQ(instance.i_object, Object_Find(to));
    EXPECT_EQ(Object_Find(to)->m_Instances.Count(), 0);
  }
}

}  // namespace
