// The growable array and the name table that every table of the runtime grows through.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/GrowArray.h"
#include "platform/MemoryManager.h"
#include "platform/NameTable.h"
#include "platform/cARRAY_STRUCTURE.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;

namespace {

TEST(GrowArray, CapacityFollowsTheStepOrDoubles) {
  struct Case {
    const char* why;
    int64_t capacity, need;
    int32_t step, first;
    int32_t expected;
  };
  const Case cases[] = {
      {"a step makes room for the first entry", 0, 1, 500, 8, 500},
      {"the 501st entry adds one step", 500, 501, 500, 8, 1000},
      {"a need several steps away takes them all", 500, 1700, 500, 8, 2000},
      {"a step of one grows exactly to the need", 3, 10, 1, 8, 10},
      {"an empty doubling table starts at its first capacity", 0, 1, kGrowDoubling, 32, 32},
      {"doubling", 32, 33, kGrowDoubling, 8, 64},
      {"doubling until the need fits", 8, 100, kGrowDoubling, 8, 128},
      {"a first capacity below the need doubles too", 0, 15000, kGrowDoubling, 10000, 20000},
      {"doubling stops at the most a block holds", 1LL << 30, (1LL << 30) + 1, kGrowDoubling, 8,
       static_cast<int32_t>(Grow_MaxCount(1))},
      {"a step stops there too", INT32_MAX - 5, INT32_MAX - 4, 100, 8, INT32_MAX},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Grow_NextCapacity(c.capacity, c.need, 1, c.step, c.first), c.expected) << c.why;
  }
  EXPECT_EQ(Grow_MaxCount(1), INT32_MAX);
  EXPECT_EQ(Grow_MaxCount(16), (UINT32_MAX - MemoryManager::kHeaderSize) / 16);
}

TEST(GrowArray, SizesNoBlockCanHoldAreOutOfMemory) {
  MessageBoxRecorder boxes;
  ProcessExitTrap trap;
  const int32_t blocks = MemoryManager::BlockCount.load();
  struct Case {
    const char* why;
    void (*grow)();
  };
  const Case cases[] = {
      {"a need past what a block of 16-byte elements holds",
       [] { Grow_NextCapacity(0, Grow_MaxCount(16) + 1, 16, kGrowDoubling, 8); }},
      {"a need past int32", [] { Grow_NextCapacity(0, INT64_C(1) << 31, 1, 500, 8); }},
      {"a byte size past 32 bits", [] { Grow_Resize(nullptr, INT64_C(1) << 29, 8); }},
      {"a negative count", [] { Grow_Resize(nullptr, -1, 4); }},
      {"an array of exact length whose byte size passes 32 bits", [] {
         cARRAY_STRUCTURE<int64_t> records;
         records.SetLength(0x20000001);  // 2^32 + 8 bytes: once wrapped to one record
       }},
      {"a table pushed past its most", [] {
         int32_t* items = nullptr;
         int32_t capacity = 0;
         Grow_Reserve(items, capacity, INT64_C(1) << 31);
       }},
  };
  for (const Case& c : cases) {
    EXPECT_THROW(c.grow(), ProcessExited) << c.why;
  }
  ASSERT_EQ(boxes.boxes().size(), std::size(cases));
  EXPECT_EQ(boxes.boxes()[0].text, "Out of Memory!");
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocks);
}

TEST(GrowArray, KeepsElementsAcrossGrowthAndStartsNewOnesAtZero) {
  const int32_t blocks = MemoryManager::BlockCount.load();
  GrowArray<int64_t> a(kGrowDoubling, 4);
  for (int64_t i = 0; i < 1000; ++i) a.Push(i * 3);
  EXPECT_EQ(a.Count(), 1000);
  EXPECT_EQ(a.Capacity(), 1024);
  for (int32_t i = 0; i < 1000; ++i) ASSERT_EQ(a[i], i * 3) << i;
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocks + 1);

  // An element of the table itself, pushed as the table grows, arrives whole.
  GrowArray<int64_t> b(kGrowDoubling, 2);
  b.Push(41);
  b.Push(42);
  b.Push(b[1]);
  EXPECT_EQ(b[2], 42);

  // Emptied and grown again, the elements come back as zero bytes, not as the old values.
  a.Clear();
  EXPECT_EQ(a.Capacity(), 1024);
  a.SetCount(3);
  EXPECT_EQ(a[0] + a[1] + a[2], 0);
  EXPECT_EQ(a.Push(), 0);

  // Moving a table into another releases the target's block first.
  b = static_cast<GrowArray<int64_t>&&>(a);
  EXPECT_EQ(b.Count(), 4);
  EXPECT_EQ(a.Count(), 0);
  EXPECT_EQ(a.Data(), nullptr);
  b.Free();
  EXPECT_EQ(b.Capacity(), 0);
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocks);
}

// ---- The name table ----

TEST(NameTable, FindsTheLowestOrHighestPositionUnderEitherCaseRule) {
  NameTable t;
  const char* names[] = {"alpha", "Beta", nullptr, "beta", "alpha", "BETA", ""};
  for (const char* n : names) t.Add(n);
  EXPECT_EQ(t.Count(), 7);

  struct Case {
    const char* name;
    NameCase rule;
    int32_t first, last;
  };
  const Case cases[] = {
      {"alpha", NameCase::kExact, 0, 4},
      {"beta", NameCase::kExact, 3, 3},
      {"beta", NameCase::kIgnoreAscii, 1, 5},
      {"bEtA", NameCase::kIgnoreAscii, 1, 5},
      {"bEtA", NameCase::kExact, -1, -1},
      {"", NameCase::kExact, 6, 6},  // an empty name is a name; an empty slot is not
      {"alph", NameCase::kIgnoreAscii, -1, -1},
      {"alphas", NameCase::kExact, -1, -1},
      {nullptr, NameCase::kExact, -1, -1},
  };
  for (const Case& c : cases) {
    const std::string what = std::string(c.name ? c.name : "(null)") + (c.rule == NameCase::kExact ? " exact" : " any case");
    EXPECT_EQ(t.FindFirst(c.name, c.rule), c.first) << what;
    EXPECT_EQ(t.FindLast(c.name, c.rule), c.last) << what;
  }
  std::vector<int32_t> seen;
  t.ForEachMatch("BeTa", NameCase::kIgnoreAscii, [&seen](int32_t p) { seen.push_back(p); });
  EXPECT_EQ(seen, (std::vector<int32_t>{5, 3, 1}));

  EXPECT_STREQ(t.Name(1), "Beta");
  EXPECT_EQ(t.Name(2), nullptr);
  EXPECT_EQ(t.Name(7), nullptr);
  EXPECT_EQ(t.Name(-1), nullptr);
  t.FreeAll();
  EXPECT_EQ(t.Count(), 0);
  EXPECT_EQ(t.FindFirst("alpha"), -1);
}

TEST(NameTable, SetAndRemoveKeepTheIndexInStep) {
  const int32_t blocks = MemoryManager::BlockCount.load();
  NameTable t;
  t.Set(5, "five");  // extends with empty slots
  EXPECT_EQ(t.Count(), 6);
  EXPECT_EQ(t.Name(0), nullptr);
  t.Set(2, "two");
  t.Set(0, "five");  // a lower position of the same name is found first
  EXPECT_EQ(t.FindFirst("five"), 0);
  EXPECT_EQ(t.FindLast("five"), 5);
  t.Set(5, "six");   // renamed: the old name no longer leads here
  EXPECT_EQ(t.FindLast("five"), 0);
  EXPECT_EQ(t.FindFirst("six"), 5);
  t.Set(0, nullptr);
  EXPECT_EQ(t.FindFirst("five"), -1);
  t.Set(-1, "nowhere");
  EXPECT_EQ(t.Count(), 6);

  // Removing moves the later names down, and they are found at their new positions.
  t.RemoveAt(1);
  EXPECT_EQ(t.Count(), 5);
  EXPECT_EQ(t.FindFirst("two"), 1);
  EXPECT_EQ(t.FindFirst("six"), 4);
  t.RemoveAt(9);
  EXPECT_EQ(t.Count(), 5);

  // A name of the table itself may be added again.
  t.Add(t.Name(4));
  EXPECT_EQ(t.FindLast("six"), 5);
  t.FreeAll();
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocks);
}

TEST(NameTable, ManyNamesAreFoundAfterEveryGrowth) {
  const int32_t blocks = MemoryManager::BlockCount.load();
  NameTable t;
  constexpr int32_t kNames = 40000;
  for (int32_t i = 0; i < kNames; ++i) ASSERT_EQ(t.Add(("name_" + std::to_string(i)).c_str()), i);
  // One block holds the positions and the index; one more per name.
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocks + kNames + 1);
  for (int32_t i = 0; i < kNames; ++i) {
    const std::string name = "NAME_" + std::to_string(i);
    ASSERT_EQ(t.FindFirst(name.c_str(), NameCase::kIgnoreAscii), i);
    ASSERT_EQ(t.FindFirst(name.c_str()), -1);
  }
  t.FreeAll();
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocks);
}

}  // namespace
