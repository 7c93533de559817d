#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Common.h"
#include "platform/MemoryManager.h"
#include "support/Support_Data_Structures.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;

namespace {

class DataStructuresTest : public testsupport::RuntimeTest {};

// A real that carries a mark: the index of a map or list its container owns.
ScriptValue Marked(double index, uint32_t mark) {
  ScriptValue v = RealValue(index);
  v.kind = mark;
  return v;
}

std::string KeyText(const DsMapEntry* e) {
  if (e == nullptr) return "<none>";
  char* text = ValueToString(&e->key);
  std::string s = e->key.Kind() == VALUE_STRING ? "\"" + std::string(text) + "\"" : text;
  MemoryManager::Free(text);
  return s;
}

// The keys of a map in iteration order.
std::vector<std::string> Keys(const CDS_Map& map) {
  std::vector<std::string> keys;
  for (DsMapEntry* e = map.FindFirst(); e; e = map.FindNext(&e->key)) keys.push_back(KeyText(e));
  return keys;
}

TEST_F(DataStructuresTest, KeyHashesAndTheirBuckets) {
  ScriptValue abc = Str("abc");
  ScriptValue one = RealValue(1.0);
  ScriptValue i32{};
  i32.kind = VALUE_INT32;
  i32.i32 = 1;
  ScriptValue i32Dirty = i32;
  i32Dirty.bits |= 0xABCD000000000000ull;  // the 4 bytes an int32 does not use
  EXPECT_EQ(DsMapKeyHash(&abc), 0xCADBBE3Du);
  EXPECT_EQ(DsMapKeyHash(&abc) & 4095, 3645u);
  EXPECT_EQ(DsMapKeyHash(&one), 0x3807EC16u);
  EXPECT_EQ(DsMapKeyHash(&one) & 4095, 3094u);
  EXPECT_EQ(DsMapKeyHash(&i32), DsMapKeyHash(&i32Dirty));
  ReleaseValue(&abc);
}

TEST_F(DataStructuresTest, IterationFollowsBucketsThenInsertionOrder) {
  CDS_Map map;
  ScriptValue a = Str("a"), b = Str("b"), v = RealValue(0);
  // "a" lies in bucket 444 of 4096 and "b" in bucket 6: "b" comes first although added last.
  map.Add(&a, &v);
  map.Add(&b, &v);
  EXPECT_EQ(Keys(map), (std::vector<std::string>{"\"b\"", "\"a\""}));
  EXPECT_EQ(KeyText(map.FindLast()), "\"a\"");
  EXPECT_EQ(KeyText(map.FindPrevious(&a)), "\"b\"");
  EXPECT_EQ(map.FindPrevious(&b), nullptr);
  EXPECT_EQ(map.FindNext(&a), nullptr);
  ScriptValue absent = Str("zz");
  EXPECT_EQ(map.FindNext(&absent), nullptr);
  EXPECT_EQ(map.FindPrevious(&absent), nullptr);

  // The same keys in an 8-bucket map come out in another order; keys that share a bucket keep
  // the order they were added in.
  CDS_Map small(8), large;
  std::vector<double> keys = {10, 3, 7, 1, 2, 5, 8, 4};
  for (double k : keys) {
    ScriptValue key = RealValue(k);
    small.Add(&key, &v);
    large.Add(&key, &v);
  }
  EXPECT_NE(Keys(small), Keys(large));
  uint32_t lastBucket = 0;
  std::vector<double> seenInBucket;
  for (DsMapEntry* e = small.FindFirst(); e; e = small.FindNext(&e->key)) {
    const uint32_t bucket = DsMapKeyHash(&e->key) & 7;
    EXPECT_GE(bucket, lastBucket);
    lastBucket = bucket;
  }
  EXPECT_EQ(small.Size(), 8);
  ReleaseValue(&a);
  ReleaseValue(&b);
  ReleaseValue(&absent);
}

TEST_F(DataStructuresTest, DistinctKeysStayDistinct) {
  CDS_Map map;
  ScriptValue one = RealValue(1), oneText = Str("1"), zero = RealValue(0.0), minusZero = RealValue(-0.0);
  ScriptValue v1 = RealValue(1), v2 = RealValue(2);
  EXPECT_TRUE(map.Add(&one, &v1));
  EXPECT_TRUE(map.Add(&oneText, &v2));
  EXPECT_TRUE(map.Add(&zero, &v1));
  EXPECT_TRUE(map.Add(&minusZero, &v2));
  EXPECT_EQ(map.Size(), 4);
  EXPECT_EQ(map.Find(&oneText)->value.real, 2);
  EXPECT_EQ(map.Find(&minusZero)->value.real, 2);
  EXPECT_FALSE(map.Add(&one, &v2));
  EXPECT_EQ(map.Find(&one)->value.real, 1);
  ReleaseValue(&oneText);
}

// 2.0 and this other real have the same CRC register, so they share a hash and a bucket.
TEST_F(DataStructuresTest, KeysWithCollidingHashesNeverTouchEachOther) {
  ScriptValue a = RealValue(2.0);
  ScriptValue b = RealValue(std::bit_cast<double>(0x4000200035C494D6ull));
  ASSERT_EQ(DsMapKeyHash(&a), DsMapKeyHash(&b));
  CDS_Map map;
  ScriptValue va = RealValue(10), vb = RealValue(20), vc = RealValue(30);
  map.Set(&a, &va);
  ScriptValue out{};
  map.Set(&b, &vb, &out);  // a new entry: out gets the given value
  EXPECT_EQ(out.real, 20);
  EXPECT_EQ(map.Size(), 2);
  EXPECT_EQ(map.Find(&a)->value.real, 10);
  map.Set(&b, &vc, &out);
  EXPECT_EQ(out.real, 20);
  EXPECT_EQ(map.Find(&a)->value.real, 10);
  EXPECT_TRUE(map.Delete(&b));
  EXPECT_FALSE(map.Delete(&b));
  EXPECT_EQ(map.Find(&a)->value.real, 10);
  EXPECT_EQ(map.Size(), 1);
}

TEST_F(DataStructuresTest, ReplaceAddsAnAbsentKey) {
  CDS_Map map;
  ScriptValue k = Str("new"), three = RealValue(3), four = Str("four");
  EXPECT_FALSE(map.Replace(&k, &three));
  EXPECT_EQ(map.Find(&k)->value.real, 3);
  EXPECT_TRUE(map.Replace(&k, &four));
  EXPECT_STREQ(map.Find(&k)->value.str, "four");
  EXPECT_EQ(map.Size(), 1);
  ReleaseValue(&k);
  ReleaseValue(&four);
}

TEST_F(DataStructuresTest, SlotsAreReusedLowestFirstAndTheTableGrowsBySixteen) {
  const int32_t a = AllocDsMapSlot(), b = AllocDsMapSlot(), c = AllocDsMapSlot();
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(c, 2);
  DsMap_Destroy(b);
  DsMap_Destroy(a);
  EXPECT_EQ(DsMap_Get(a), nullptr);
  EXPECT_EQ(AllocDsMapSlot(), 0);
  EXPECT_EQ(AllocDsMapSlot(), 1);
  EXPECT_EQ(AllocDsMapSlot(), 3);
  EXPECT_EQ(DsState().maps.Capacity(), 16);
  for (int i = 4; i < 17; ++i) AllocDsMapSlot();
  EXPECT_EQ(DsState().maps.Count(), 17);
  EXPECT_EQ(DsState().maps.Capacity(), 32);
  EXPECT_EQ(DsMap_Get(-1), nullptr);
  EXPECT_EQ(DsMap_Get(17), nullptr);
}

TEST_F(DataStructuresTest, DestroyingAMapDestroysWhatItsMarksName) {
  const int32_t outer = AllocDsMapSlot(), inner = AllocDsMapSlot();
  const int32_t list = DsList_Register(new CDS_List());
  const int32_t innerList = DsList_Register(new CDS_List());
  ScriptValue k1 = Str("map"), k2 = Str("list"), k3 = Str("dead");
  ScriptValue mInner = Marked(inner, DS_MARK_MAP), mList = Marked(list, DS_MARK_LIST), mDead = Marked(9, DS_MARK_MAP);
  DsMap_Get(outer)->Add(&k1, &mInner);
  DsMap_Get(outer)->Add(&k2, &mList);
  DsMap_Get(outer)->Add(&k3, &mDead);  // names nothing: skipped
  ScriptValue mInnerList = Marked(innerList, DS_MARK_LIST);
  DsList_Get(list)->Add(&mInnerList);

  // A copy carries the marks: destroying the source destroys what the copy still names.
  const int32_t copy = AllocDsMapSlot();
  DsMap_Get(copy)->Copy(DsMap_Get(outer));
  EXPECT_EQ(DsMap_Get(copy)->Find(&k1)->value.kind, DS_MARK_MAP);

  DsMap_Destroy(outer);
  EXPECT_EQ(DsMap_Get(outer), nullptr);
  EXPECT_EQ(DsMap_Get(inner), nullptr);
  EXPECT_EQ(DsList_Get(list), nullptr);
  EXPECT_EQ(DsList_Get(innerList), nullptr);
  EXPECT_NE(DsMap_Get(copy), nullptr);
  EXPECT_EQ(DsMap_Get(copy)->Size(), 3);
  ReleaseValue(&k1);
  ReleaseValue(&k2);
  ReleaseValue(&k3);
}

TEST_F(DataStructuresTest, StructuresThatContainThemselvesAreClearedAndDestroyed) {
  ScriptValue key = Str("self");
  // A map that marks itself: clearing keeps it, destroying removes it.
  const int32_t m = AllocDsMapSlot();
  ScriptValue self = Marked(m, DS_MARK_MAP);
  DsMap_Get(m)->Add(&key, &self);
  DsMap_Get(m)->Clear();
  ASSERT_NE(DsMap_Get(m), nullptr);
  EXPECT_TRUE(DsMap_Get(m)->Empty());
  DsMap_Get(m)->Add(&key, &self);
  DsMap_Destroy(m);
  EXPECT_EQ(DsMap_Get(m), nullptr);

  // A map and a list that contain each other, cleared from either side.
  const int32_t map = AllocDsMapSlot();
  const int32_t list = DsList_Register(new CDS_List());
  ScriptValue toList = Marked(list, DS_MARK_LIST), toMap = Marked(map, DS_MARK_MAP);
  DsMap_Get(map)->Add(&key, &toList);
  DsList_Get(list)->Add(&toMap);
  DsList_Get(list)->Clear();
  EXPECT_NE(DsList_Get(list), nullptr);
  EXPECT_EQ(DsMap_Get(map), nullptr);

  const int32_t map2 = AllocDsMapSlot();
  ScriptValue toMap2 = Marked(map2, DS_MARK_MAP);
  DsMap_Get(map2)->Add(&key, &toList);
  DsList_Get(list)->Add(&toMap2);
  DsList_Get(list)->Add(&toMap2);  // named twice: destroyed once
  DsMap_Destroy(map2);
  EXPECT_EQ(DsMap_Get(map2), nullptr);
  EXPECT_EQ(DsList_Get(list), nullptr);
  ReleaseValue(&key);
}

TEST_F(DataStructuresTest, ALongChainOfOwnedListsIsDestroyedWithoutDeepRecursion) {
  constexpr int kLength = 200000;
  const int32_t first = DsList_Register(new CDS_List());
  int32_t previous = first;
  for (int i = 1; i < kLength; ++i) {
    const int32_t next = DsList_Register(new CDS_List());
    ScriptValue mark = Marked(next, DS_MARK_LIST);
    DsList_Get(previous)->Add(&mark);
    previous = next;
  }
  DsList_DestroyIndex(first);
  EXPECT_EQ(DsList_Get(first), nullptr);
  EXPECT_EQ(DsList_Get(kLength - 1), nullptr);
}

TEST_F(DataStructuresTest, ContainersHoldingAnArrayStoredIntoItselfLetItGo) {
  const int32_t blocks = MemoryManager::BlockCount.load();
  // a[0] = 1; a[1] = a, then held by a list (twice, sorted and searched) and a map (as a value
  // and as a key).
  ScriptValue a = RealValue(0), one = RealValue(1);
  SetValueElement(&a, &one, 0);
  SetValueElement(&a, &a, 1);
  CDS_List* list = new CDS_List();
  const int32_t l = DsList_Register(list);
  list->Add(&a);
  list->Add(&one);
  list->Add(&a);
  list->Sort(true);
  EXPECT_EQ(list->FindIndex(&one), 0);
  const int32_t m = AllocDsMapSlot();
  ScriptValue key = Str("k");
  DsMap_Get(m)->Add(&key, &a);
  DsMap_Get(m)->Add(&a, &one);
  char* text = ValueToString(list->GetItem(2));
  EXPECT_STREQ(text, "{ { 1,{ { 1 },  } },  }");
  MemoryManager::Free(text);

  ReleaseValue(&a);
  ReleaseValue(&key);
  DsList_DestroyIndex(l);
  DsMap_Destroy(m);
  DataStructures_Reset();
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocks) << "the array outlived its holders";
}

TEST_F(DataStructuresTest, CopyRebucketsAndACopyOntoItselfKeepsTheMap) {
  CDS_Map source(8), destination;
  ScriptValue v = RealValue(1), old = Str("old");
  destination.Add(&old, &v);
  for (double k : {10.0, 3.0, 7.0, 1.0}) {
    ScriptValue key = RealValue(k);
    source.Add(&key, &v);
  }
  destination.Copy(&source);
  EXPECT_EQ(destination.Size(), 4);
  EXPECT_FALSE(destination.Exists(&old));
  CDS_Map reference;
  for (DsMapEntry* e = source.FindFirst(); e; e = source.FindNext(&e->key)) reference.Add(&e->key, &e->value);
  EXPECT_EQ(Keys(destination), Keys(reference));
  source.Copy(&source);
  EXPECT_EQ(source.Size(), 4);
  ReleaseValue(&old);
}

TEST_F(DataStructuresTest, CreateDsMapAndTheHelpers) {
  const int32_t m = CreateDsMap({{"id", 7, nullptr}, {"url", 0, "http://x"}, {"id", 8, nullptr}});
  CDS_Map* map = DsMap_Get(m);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->Size(), 2);
  ScriptValue id = Str("id"), url = Str("url");
  EXPECT_EQ(map->Find(&id)->value.real, 7);
  EXPECT_STREQ(map->Find(&url)->value.str, "http://x");
  EXPECT_TRUE(DsMap_AddReal(m, "status", 1));
  EXPECT_FALSE(DsMap_AddReal(m, "status", 2));
  EXPECT_TRUE(DsMap_AddString(m, "result", "ok"));
  EXPECT_EQ(map->Size(), 4);
  // An index that names no map is refused, never followed.
  EXPECT_FALSE(DsMap_AddReal(m + 1, "x", 1));
  EXPECT_FALSE(DsMap_AddString(-1, "x", "y"));
  DsMap_Destroy(m);
  DsMap_Destroy(m);
  EXPECT_EQ(DsMap_Get(m), nullptr);
  ReleaseValue(&id);
  ReleaseValue(&url);
}

TEST_F(DataStructuresTest, BucketCountsThatAreNotPowersOfTwoGiveTheDefault) {
  for (int32_t n : {0, -8, 3, 1 << 20, INT32_MIN}) EXPECT_EQ(CDS_Map(n).BucketCount(), 4096) << n;
  EXPECT_EQ(CDS_Map(8).BucketCount(), 8);
  EXPECT_EQ(CDS_Map(1).BucketCount(), 1);
}

// ---- Comparison ----

TEST_F(DataStructuresTest, CompareDsValues) {
  ScriptValue abc = Str("abc"), abd = Str("abd"), high = Str("\xC3\xA9"), nullText = Str(nullptr);
  ScriptValue undef{};
  SetUndefined(&undef);
  ScriptValue marked = Marked(1, DS_MARK_LIST);
  struct Case {
    ScriptValue a, b;
    double precision;
    int32_t expected;
    const char* why;
  } cases[] = {
      {RealValue(1), RealValue(2), 1e-8, -1, "reals by value"},
      {RealValue(2), RealValue(1), 1e-8, 1, "reals by value"},
      {RealValue(1), RealValue(1.00000001), 1e-8, 0, "equal at single precision"},
      {RealValue(16777216), RealValue(16777217), 1e-8, 0, "equal at single precision"},
      {RealValue(16777216), RealValue(16777217), 0, 0,
       "a single-precision difference of 0 is equal, even with precision 0"},
      {RealValue(0.5), RealValue(0), 0.5, 1, "a difference equal to the precision is not within it"},
      {RealValue(1.4), RealValue(1), 0.5, 0, "within the precision"},
      {RealValue(1.4), RealValue(1), 0.3, 1, "outside the precision"},
      {RealValue(1), abc, 1e-8, -1, "a real before a string"},
      {abc, RealValue(1), 1e-8, 1, "a string after a real"},
      {abc, abd, 1e-8, -1, "strings by bytes"},
      {abc, abc, 1e-8, 0, "equal strings"},
      {high, abc, 1e-8, 1, "bytes compare unsigned"},
      {nullText, abc, 1e-8, 1, "a string without text is greater"},
      {abc, nullText, 1e-8, 1, "a string without text is greater"},
      {undef, undef, 1e-8, 1, "other kinds are never equal, not even to themselves"},
      {marked, marked, 1e-8, 1, "a marked real counts as another kind"},
      {RealValue(1), marked, 1e-8, -1, "a plain real before a marked one"},
  };
  for (Case& c : cases) {
    SetDsPrecision(c.precision);
    EXPECT_EQ(CompareDsValues(&c.a, &c.b), c.expected) << c.why;
  }
  SetDsPrecision(-0.5);
  EXPECT_EQ(DsState().precision, 0.5);
  ReleaseValue(&abc);
  ReleaseValue(&abd);
  ReleaseValue(&high);
}

// ---- ds_list ----

std::string ListText(const CDS_List& list) {
  std::string s;
  for (int32_t i = 0; i < list.Size(); ++i) {
    char* text = ValueToString(list.GetItem(i));
    s += (i ? "," : "") + std::string(list.GetItem(i)->Kind() == VALUE_STRING ? "\"" : "") + text +
         (list.GetItem(i)->Kind() == VALUE_STRING ? "\"" : "");
    MemoryManager::Free(text);
  }
  return s;
}

TEST_F(DataStructuresTest, ListGrowthCapacities) {
  CDS_List list;
  std::vector<int32_t> capacities;
  ScriptValue v = RealValue(1);
  for (int i = 0; i < 200; ++i) {
    list.Add(&v);
    if (capacities.empty() || capacities.back() != list.Capacity()) capacities.push_back(list.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<int32_t>{16, 32, 48, 64, 80, 96, 112, 128, 144, 162, 182, 204}));
  CDS_List inserted;
  for (int i = 0; i < 17; ++i) inserted.Insert(0, &v);
  EXPECT_EQ(inserted.Capacity(), 32);
}

TEST_F(DataStructuresTest, ListSetBeyondTheEndInsertReplaceAndDelete) {
  CDS_List list;
  ScriptValue x = Str("x"), seven = RealValue(7), three = RealValue(3);
  list.Set(5, &x);
  EXPECT_EQ(list.Size(), 6);
  EXPECT_EQ(list.Capacity(), 22);
  EXPECT_EQ(ListText(list), "0,0,0,0,0,\"x\"");
  list.Set(-1, &seven);
  EXPECT_EQ(list.Size(), 6);

  ScriptValue out{};
  list.Set(0, &three);
  list.Set(0, &seven, &out);
  EXPECT_EQ(out.real, 3);

  list.Insert(6, &three);  // at count: appends
  list.Insert(8, &three);  // past count: nothing
  EXPECT_EQ(ListText(list), "7,0,0,0,0,\"x\",3");
  list.Replace(7, &three);
  list.Replace(1, &x);
  EXPECT_EQ(ListText(list), "7,\"x\",0,0,0,\"x\",3");

  // Deleting leaves the freed end slot a plain real (never a second owner of a string), which a
  // later Set beyond the end makes visible again.
  list.Delete(1);
  list.Delete(4);
  list.Delete(9);
  EXPECT_EQ(ListText(list), "7,0,0,0,3");
  list.Set(6, &seven);
  EXPECT_EQ(list.GetItem(5)->Kind(), VALUE_REAL);
  EXPECT_EQ(list.GetItem(5)->bits & 0xFFFFFFFFull, 0u);
  EXPECT_EQ(list.FindIndex(&seven), 0);
  EXPECT_EQ(list.GetItem(7), nullptr);
  EXPECT_EQ(list.GetItem(-1), nullptr);
  ReleaseValue(&x);
}

TEST_F(DataStructuresTest, ListSetFarBeyondAnyBlockIsOutOfMemory) {
  ProcessExitTrap trap;
  MessageBoxRecorder boxes;
  CDS_List list;
  ScriptValue v = RealValue(1);
  EXPECT_THROW(list.Set(INT32_MAX, &v), ProcessExited);
  EXPECT_EQ(list.Size(), 0);
  list.Add(&v);
  EXPECT_EQ(list.Size(), 1);
}

TEST_F(DataStructuresTest, ListSortWithMixedKinds) {
  CDS_List list;
  ScriptValue two = RealValue(2), b = Str("b"), one = RealValue(1), a = Str("a");
  for (ScriptValue* v : {&two, &b, &one, &a}) list.Add(v);
  list.Sort(true);
  EXPECT_EQ(ListText(list), "1,2,\"a\",\"b\"");
  list.Sort(false);
  EXPECT_EQ(ListText(list), "\"b\",\"a\",2,1");

  // Equal items keep their order ascending and are reversed descending.
  CDS_List equal;
  ScriptValue first = RealValue(1), second = RealValue(1.00000001);
  equal.Add(&first);
  equal.Add(&second);
  equal.Sort(true);
  EXPECT_EQ(equal.GetItem(0)->real, 1);
  equal.Sort(false);
  EXPECT_EQ(equal.GetItem(0)->real, 1.00000001);
  ReleaseValue(&a);
  ReleaseValue(&b);
}

TEST_F(DataStructuresTest, ListShuffleIsReproducibleWithASeed) {
  auto shuffled = [](uint32_t seed) {
    CDS_List list;
    for (int i = 0; i < 10; ++i) {
      ScriptValue v = RealValue(i);
      list.Add(&v);
    }
    SeedRandom(seed);
    list.Shuffle();
    return ListText(list);
  };
  EXPECT_EQ(shuffled(42), shuffled(42));
  EXPECT_NE(shuffled(42), shuffled(43));
  EXPECT_NE(shuffled(42), "0,1,2,3,4,5,6,7,8,9");
  // Shuffle draws two values per swap, eight swaps per item.
  SeedRandom(42);
  CDS_List list;
  ScriptValue v = RealValue(0);
  for (int i = 0; i < 3; ++i) list.Add(&v);
  list.Shuffle();
  const RandomState after = GetRandomState();
  SeedRandom(42);
  for (int i = 0; i < 48; ++i) NextRandom();
  EXPECT_EQ(GetRandomState().index, after.index);
  EXPECT_EQ(GetRandomState().s[0], after.s[0]);
  CDS_List empty;
  empty.Shuffle();
}

TEST_F(DataStructuresTest, ListClearAndCopy) {
  const int32_t list = DsList_Register(new CDS_List());
  const int32_t map = AllocDsMapSlot();
  ScriptValue mark = Marked(map, DS_MARK_MAP), s = Str("s");
  DsList_Get(list)->Add(&mark);
  DsList_Get(list)->Add(&s);

  CDS_List copy;
  copy.Copy(DsList_Get(list));
  EXPECT_EQ(copy.Size(), 2);
  EXPECT_EQ(copy.Capacity(), 16);
  EXPECT_EQ(copy.GetItem(0)->kind, DS_MARK_MAP);
  EXPECT_STREQ(copy.GetItem(1)->str, "s");
  copy.Copy(&copy);
  EXPECT_EQ(copy.Size(), 2);

  DsList_Get(list)->Clear();
  EXPECT_EQ(DsList_Get(list)->Size(), 0);
  EXPECT_EQ(DsList_Get(list)->Capacity(), 16);
  EXPECT_EQ(DsMap_Get(map), nullptr);
  // A list that marks itself survives its own clearing and is destroyed like any other.
  ScriptValue self = Marked(list, DS_MARK_LIST);
  DsList_Get(list)->Add(&self);
  DsList_Get(list)->Clear();
  ASSERT_NE(DsList_Get(list), nullptr);
  DsList_Get(list)->Add(&self);
  DsList_DestroyIndex(list);
  EXPECT_EQ(DsList_Get(list), nullptr);
  ReleaseValue(&s);
}

}  // namespace
