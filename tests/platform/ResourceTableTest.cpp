// The resource table every kind of resource keeps its slots in.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/ResourceTable.h"

namespace {

struct Record {
  explicit Record(int* deletions) : m_deletions(deletions) {}
  virtual ~Record() { ++*m_deletions; }
  int* m_deletions;
};

TEST(ResourceTable, SlotsAreNeverReusedAndNamesFollowTheirSlots) {
  int deletions = 0;
  ResourceTable<Record> table("__newthing");
  table.Reset(3);
  table.Set(0, new Record(&deletions), "hero");
  table.Set(2, new Record(&deletions), nullptr);
  EXPECT_EQ(table.Count(), 3);
  EXPECT_TRUE(table.Exists(0));
  EXPECT_FALSE(table.Exists(1));
  EXPECT_FALSE(table.Exists(3));
  EXPECT_FALSE(table.Exists(-1));
  EXPECT_STREQ(table.Name(0), "hero");
  EXPECT_STREQ(table.Name(1), "<undefined>");
  EXPECT_EQ(table.Name(2), nullptr);  // filled, without a name
  EXPECT_STREQ(table.Name(7), "<undefined>");

  // Appending takes the next index and names it by the prefix and the index.
  EXPECT_EQ(table.Append(new Record(&deletions)), 3);
  EXPECT_STREQ(table.Name(3), "__newthing3");
  EXPECT_EQ(table.FindByName("__newthing3"), 3);

  // A deleted slot stays taken: the next addition gets a new index.
  EXPECT_TRUE(table.Delete(3));
  EXPECT_EQ(deletions, 1);
  EXPECT_FALSE(table.Delete(3));
  EXPECT_STREQ(table.Name(3), "<undefined>");
  EXPECT_EQ(table.FindByName("__newthing3"), -1);
  EXPECT_EQ(table.Append(new Record(&deletions)), 4);

  // A failed addition is dropped again: the next one takes its index.
  Record* failed = table.DropLast();
  delete failed;
  EXPECT_EQ(table.Count(), 4);
  EXPECT_EQ(table.Append(new Record(&deletions)), 4);

  // Find by name: the first filled slot, case matters.
  table.Set(1, new Record(&deletions), "hero");
  EXPECT_EQ(table.FindByName("hero"), 0);
  table.Delete(0);
  EXPECT_EQ(table.FindByName("hero"), 1);
  EXPECT_EQ(table.FindByName("HERO"), -1);
  EXPECT_EQ(table.FindByName(nullptr), -1);

  int visited = 0;
  table.ForEach([&](int32_t, Record*) { ++visited; });
  EXPECT_EQ(visited, 3);  // slots 1, 2 and 4
  const int before = deletions;
  table.FreeAll();
  EXPECT_EQ(deletions - before, 3);
  EXPECT_EQ(table.Count(), 0);
}

}  // namespace
