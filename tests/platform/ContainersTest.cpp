#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/Hash.h"
#include "platform/List.h"
#include "platform/SLinkedList.h"
#include "platform/cARRAY_CLASS.h"
#include "platform/cARRAY_CLASS_NO_DELETE.h"
#include "platform/cARRAY_MEMORY.h"
#include "platform/cARRAY_STRUCTURE.h"

namespace {

// Counts live objects so that destruction by the owning containers can be seen.
struct Tracked {
  static int live;
  int value;
  explicit Tracked(int v) : value(v) { ++live; }
  ~Tracked() { --live; }
};
int Tracked::live = 0;

TEST(Hash, BucketsDuplicatesAndRemoval) {
  Hash<int> hash(8, kHashKeep);
  int a = 1, b = 2, eleven = 11, minus = -1;
  struct { int32_t key; int32_t bucket; } buckets[] = {{3, 3}, {11, 3}, {-1, 7}, {8, 0}, {INT32_MIN, 0}};
  for (auto c : buckets) EXPECT_EQ(hash.BucketOf(c.key), c.bucket) << c.key;

  hash.Insert(11, &eleven);
  hash.Insert(3, &a);
  hash.Insert(3, &b);
  hash.Insert(-1, &minus);
  EXPECT_EQ(hash.Count(), 4);
  EXPECT_EQ(hash.Find(11), &eleven);
  EXPECT_EQ(hash.Find(3), &a);
  EXPECT_EQ(hash.Find(-1), &minus);
  EXPECT_EQ(hash.Find(19), nullptr);

  EXPECT_TRUE(hash.Remove(3, kHashKeep));
  EXPECT_EQ(hash.Find(3), &b);
  EXPECT_TRUE(hash.Remove(3, kHashKeep));
  EXPECT_FALSE(hash.Remove(3, kHashKeep));
  EXPECT_EQ(hash.Find(11), &eleven);  // its bucket neighbours were relinked around it
  EXPECT_EQ(hash.Count(), 2);
  hash.Clear(kHashKeep);
  EXPECT_EQ(hash.Count(), 0);
}

TEST(Hash, DisposalDeletesOrFreesValues) {
  Tracked::live = 0;
  {
    Hash<Tracked> owned(4);
    owned.Insert(1, new Tracked(1));
    owned.Insert(2, new Tracked(2));
    owned.Insert(5, new Tracked(5));
    EXPECT_TRUE(owned.Remove(5, kHashDelete));
    EXPECT_EQ(Tracked::live, 2);
  }  // the destructor clears with disposal 1
  EXPECT_EQ(Tracked::live, 0);

  Hash<char> blocksHash(4);
  int32_t blocks = MemoryManager::BlockCount.load();
  blocksHash.Insert(1, static_cast<char*>(MemoryManager::Alloc(8, __FILE__, __LINE__, true)));
  blocksHash.Clear(kHashFree);
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocks);
}

TEST(Hash, IterationVisitsBucketsInOrderAndNodesInInsertionOrder) {
  Hash<int> hash(8, kHashKeep);
  int nine = 9, one = 1, two = 2;
  hash.Insert(9, &nine);
  hash.Insert(1, &one);
  hash.Insert(2, &two);
  HashIterator<int> it;
  std::vector<int> seen;
  for (int* v = it.Begin(&hash); v; v = it.Next()) seen.push_back(*v);
  EXPECT_EQ(seen, (std::vector<int>{9, 1, 2}));
  EXPECT_EQ(it.Next(), nullptr);
  EXPECT_EQ(it.BucketIndex(), -1);

  Hash<int> empty(8, kHashKeep);
  HashIterator<int> none;
  EXPECT_EQ(none.Begin(&empty), nullptr);
  EXPECT_EQ(none.BucketIndex(), -1);
}

TEST(SLinkedList, AddRemoveAndWalk) {
  SLinkedList<int> list;
  int a = 1, b = 2, c = 3;
  list.Add(&a);
  list.Add(&b);
  list.Add(&c);
  EXPECT_TRUE(list.Remove(&b));
  EXPECT_FALSE(list.Remove(&b));
  std::vector<int> forward;
  for (auto* n = list.First(); n; n = n->next) forward.push_back(*n->item);
  EXPECT_EQ(forward, (std::vector<int>{1, 3}));
  EXPECT_EQ(list.Last()->prev->item, &a);
  EXPECT_TRUE(list.Remove(&a));
  EXPECT_TRUE(list.Remove(&c));
  EXPECT_EQ(list.First(), nullptr);
  EXPECT_EQ(list.Last(), nullptr);
  EXPECT_EQ(list.Count(), 0);
}

TEST(List, HoldsEachItemOnceAndDoublesAtTheThirtyThirdItem) {
  List<int> list;
  std::vector<int> items(40);
  EXPECT_EQ(list.Add(&items[0]), 0);
  EXPECT_EQ(list.Add(&items[0]), 0);
  EXPECT_EQ(list.Count(), 1);
  for (int i = 1; i < 32; ++i) EXPECT_EQ(list.Add(&items[i]), i);
  EXPECT_EQ(list.Capacity(), 32);
  EXPECT_EQ(list.Add(&items[32]), 32);
  EXPECT_EQ(list.Capacity(), 64);
  EXPECT_EQ(list.Get(32), &items[32]);
  EXPECT_EQ(list.Get(33), nullptr);
  EXPECT_EQ(list.Get(-1), nullptr);
  list.Reset();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 64);
}

TEST(cARRAY_CLASS, LengthZeroDestroysOwnedElements) {
  Tracked::live = 0;
  cARRAY_CLASS<Tracked> arr;
  arr.SetLength(3);
  for (int i = 0; i < 3; ++i) arr[i] = new Tracked(i);
  EXPECT_EQ(Tracked::live, 3);
  arr.SetLength(0);
  EXPECT_EQ(Tracked::live, 0);
  EXPECT_EQ(arr.GetLength(), 0);

  arr.SetLength(2);  // null slots: nothing to destroy
  arr.SetLength(0);
  EXPECT_EQ(Tracked::live, 0);
}

TEST(cARRAY_CLASS, GrownSlotsAreNullEvenWhereTheBlockHeldElements) {
  Tracked::live = 0;
  cARRAY_CLASS<Tracked> arr;
  arr.SetLength(4);
  for (int i = 0; i < 4; ++i) arr[i] = new Tracked(i);
  arr.SetLength(2);  // the two dropped elements are destroyed, not left behind
  EXPECT_EQ(Tracked::live, 2);
  arr.SetLength(4);
  EXPECT_EQ(arr[2], nullptr);
  EXPECT_EQ(arr[3], nullptr);
  EXPECT_EQ(arr[1]->value, 1);

  cARRAY_STRUCTURE<int32_t> records;
  records.SetLength(4);
  for (int i = 0; i < 4; ++i) records[i] = 7;
  records.SetLength(1);
  records.SetLength(3);
  EXPECT_EQ(records[0], 7);
  EXPECT_EQ(records[1], 0);
  EXPECT_EQ(records[2], 0);
}

TEST(cARRAY_CLASS_NO_DELETE, LeavesElementsAlone) {
  Tracked kept(1);
  int before = Tracked::live;
  cARRAY_CLASS_NO_DELETE<Tracked> arr;
  arr.SetLength(2);
  arr[0] = &kept;
  arr.SetLength(0);
  EXPECT_EQ(Tracked::live, before);
  EXPECT_EQ(arr.Get(0), nullptr);
}

TEST(cARRAY_MEMORY, ReleasesManagerBlocksOnlyAndInserts) {
  int32_t blocks = MemoryManager::BlockCount.load();
  void* foreign = std::malloc(8);
  {
    cARRAY_MEMORY<void*> arr;
    arr.SetLength(2);
    arr[0] = MemoryManager::Alloc(8, __FILE__, __LINE__, true);
    arr[1] = foreign;
    arr.SetLength(0);
    EXPECT_EQ(MemoryManager::BlockCount.load(), blocks);
  }
  std::free(foreign);  // still ours to release: the array left it alone

  cARRAY_MEMORY<char*> arr;
  char a = 'a', b = 'b', x = 'x';
  arr.Insert(0, &a);
  arr.Insert(1, &b);
  arr.Insert(0, &x);
  ASSERT_EQ(arr.GetLength(), 3);
  EXPECT_EQ(arr[0], &x);
  EXPECT_EQ(arr[1], &a);
  EXPECT_EQ(arr[2], &b);
}

// A record holding arrays is reset by assigning a fresh one: the blocks it held are released,
// and a moved array hands its block over without a copy.
TEST(cARRAY_MEMORY, AssigningAFreshArrayReleasesWhatItHeld) {
  struct Record {
    cARRAY_MEMORY<char*> texts;
    cARRAY_STRUCTURE<int32_t> numbers;
  };
  const int32_t blocks = MemoryManager::BlockCount.load();
  Record record;
  record.texts.SetLength(2);
  record.texts[0] = MemoryManager::DuplicateText("kept");
  record.numbers.SetLength(3);
  record.numbers[2] = 7;

  Record moved = std::move(record);
  EXPECT_EQ(record.texts.GetLength(), 0);
  EXPECT_EQ(record.numbers.GetLength(), 0);
  EXPECT_STREQ(moved.texts[0], "kept");
  EXPECT_EQ(moved.numbers[2], 7);

  moved = Record{};
  EXPECT_EQ(moved.texts.GetLength(), 0);
  EXPECT_EQ(moved.numbers.GetLength(), 0);
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocks);
}

TEST(cARRAY_CLASS_POOL, ReusesFreedSlotsAndGrowsByItsStep) {
  cARRAY_CLASS_POOL<int> pool(8, 8);
  int items[10];
  for (int i = 0; i < 3; ++i) EXPECT_EQ(pool.Add(&items[i]), i);
  pool[1] = nullptr;
  EXPECT_EQ(pool.Add(&items[3]), 1);
  EXPECT_EQ(pool.Count(), 3);
  for (int i = 3; i < 8; ++i) pool.Add(&items[i % 10]);
  EXPECT_EQ(pool.Capacity(), 8);
  EXPECT_EQ(pool.Add(&items[9]), 8);
  EXPECT_EQ(pool.Capacity(), 16);
  EXPECT_EQ(pool.Get(15), nullptr);

  cARRAY_CLASS_POOL<int> fixed(1, 0);
  EXPECT_EQ(fixed.Add(&items[0]), 0);
  EXPECT_EQ(fixed.Add(&items[1]), -1);  // step 0: a full pool takes no more
}

}  // namespace
