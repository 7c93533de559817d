// Which instances a selector reaches, for each of its four users: one world, one table of
// selectors, and the instances each user's choice gives, in order.
#include <string>
#include <vector>

#include "room/Instance_Select.h"
#include "room/WorldFixture.h"

namespace {

using testsupport::AddObject;

class InstanceSelectTest : public WorldTest {};

enum class User { kRead, kWrite, kMachineWith, kTreeWith };

std::vector<CInstance*> Chosen(User user, int32_t selector) {
  std::vector<CInstance*> chosen;
  auto take = [&chosen](CInstance* instance) {
    chosen.push_back(instance);
    return true;
  };
  switch (user) {
    case User::kRead:
      if (CInstance* found = Instance_SelectForRead(selector)) chosen.push_back(found);
      break;
    case User::kWrite: Instance_SelectForWrite(selector, take); break;
    case User::kMachineWith: Instance_SelectForMachineWith(selector, take); break;
    case User::kTreeWith: Instance_SelectForTreeWith(selector, take); break;
  }
  return chosen;
}

TEST_F(InstanceSelectTest, EachUserReachesTheInstancesItsColumnNames) {
  const int32_t parent = AddObject();
  const int32_t child = AddObject(parent);
  const int32_t other = AddObject();
  constexpr int32_t kNoObject = 77;
  CRoom* room = Room();
  CInstance* a = room->AddInstance(0, 0, parent);
  CInstance* b = room->AddInstance(0, 0, child);
  CInstance* deactivated = room->AddInstance(0, 0, parent);
  deactivated->i_deactivated = 1;
  CInstance* destroyed = room->AddInstance(0, 0, parent);
  destroyed->i_marked = 1;
  CInstance* elsewhere = room->AddInstance(0, 0, other);
  // Queue entries outside the object's lists: changed object or activated this step.
  CInstance relinked(0, 0, 200001, parent, false);
  CInstance activated(0, 0, 200002, parent, false);
  CInstance orphan(0, 0, 200003, kNoObject, false);
  RelinkQueue.Add(&relinked);
  RelinkQueue.Add(&orphan);
  ActivationChangeList.Add(&activated);

  using V = std::vector<CInstance*>;
  struct Case {
    const char* what;
    int32_t selector;
    V read, write, machineWith, treeWith;
  };
  const Case cases[] = {
      {"all: live room instances", kSelectAll, V{a}, V{a, b, elsewhere}, V{a, b, elsewhere}, V{a, b, elsewhere}},
      {"object: its list, then the queues each user searches", parent, V{a}, V{a, b, &relinked},
       V{a, b, &relinked, &activated}, V{a, b}},
      {"a child object reaches only its own", child, V{b}, V{b}, V{b}, V{b}},
      {"an index no object has: only the variable access finds queued ones", kNoObject, V{&orphan}, V{&orphan}, V{},
       V{}},
      {"id of a live instance", a->i_id, V{a}, V{a}, V{a}, V{a}},
      {"id of a deactivated instance: variable access only", deactivated->i_id, V{deactivated}, V{deactivated}, V{},
       V{}},
      {"id of a destroyed instance", destroyed->i_id, V{}, V{}, V{}, V{}},
      {"id of no instance", 150000, V{}, V{}, V{}, V{}},
      {"other negative selector", -8, V{}, V{}, V{}, V{}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Chosen(User::kRead, c.selector), c.read) << c.what;
    EXPECT_EQ(Chosen(User::kWrite, c.selector), c.write) << c.what;
    EXPECT_EQ(Chosen(User::kMachineWith, c.selector), c.machineWith) << c.what;
    EXPECT_EQ(Chosen(User::kTreeWith, c.selector), c.treeWith) << c.what;
  }

  // A visitor that answers false stops the walk there.
  std::vector<CInstance*> seen;
  EXPECT_FALSE(Instance_SelectForMachineWith(parent, [&seen](CInstance* instance) {
    seen.push_back(instance);
    return seen.size() < 2;
  }));
  EXPECT_EQ(seen, (V{a, b}));

  for (CInstance* queued : {&relinked, &orphan, &activated}) {
    RelinkQueue.Remove(queued);
    ActivationChangeList.Remove(queued);
  }
}

}  // namespace
