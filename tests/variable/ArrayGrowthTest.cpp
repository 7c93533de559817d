// Arrays grown element by element: the values stay right, the elements that appear in between
// read as real 0, copies are independent, and filling n elements takes a number of blocks that
// grows with log n, not with n.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/MemoryManager.h"
#include "testlib/TestHelpers.h"
#include "variable/ScriptValue.h"

namespace {

double ElementOf(const ScriptValue& array, int32_t row, int32_t column) {
  int32_t index = 0;
  EXPECT_TRUE(EncodeArrayIndex(row, column, &index));
  ScriptValue out{};
  if (!GetValueElement(&out, &array, index)) return -1;
  const double real = out.Kind() == VALUE_REAL ? out.real : -2;
  ReleaseValue(&out);
  return real;
}

TEST(ArrayGrowth, FillingElementByElementKeepsEveryValue) {
  const int32_t blocks = MemoryManager::BlockCount.load();
  ScriptValue a{};
  const int64_t before = MemoryManager::AllocCount.load();
  for (int32_t i = 0; i < 5000; ++i) {
    ScriptValue v = RealValue(i);
    SetValueElement(&a, &v, i);
  }
  // One array, one row list and a logarithmic number of element blocks.
  EXPECT_LT(MemoryManager::AllocCount.load() - before, 20);
  ASSERT_EQ(a.Kind(), VALUE_ARRAY);
  EXPECT_EQ(a.arr->rowCount, 1);
  EXPECT_EQ(a.arr->rows[0].length, 5000);
  for (int32_t i = 0; i < 5000; i += 7) EXPECT_EQ(ElementOf(a, 0, i), i);
  // Past the length is outside the array even where the block has room.
  ScriptValue out{};
  EXPECT_FALSE(GetValueElement(&out, &a, 5000));
  ReleaseValue(&out);
  ReleaseValue(&a);
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocks);
}

TEST(ArrayGrowth, ElementsAndRowsThatAppearInBetweenAreZero) {
  ScriptValue a{};
  const struct { int32_t row, column; double value; } writes[] = {{0, 2, 5}, {0, 9, 6}, {3, 1, 7}, {1, 40, 8}, {0, 3, 9}};
  for (const auto& w : writes) {
    ScriptValue v = RealValue(w.value);
    int32_t index = 0;
    ASSERT_TRUE(EncodeArrayIndex(w.row, w.column, &index));
    SetValueElement(&a, &v, index);
  }
  EXPECT_EQ(a.arr->rowCount, 4);
  EXPECT_EQ(a.arr->rows[0].length, 10);
  EXPECT_EQ(a.arr->rows[1].length, 41);
  EXPECT_EQ(a.arr->rows[2].length, 0);
  EXPECT_EQ(a.arr->rows[3].length, 2);
  const struct { int32_t row, column; double value; } reads[] = {
      {0, 0, 0}, {0, 2, 5}, {0, 3, 9}, {0, 8, 0}, {0, 9, 6}, {1, 0, 0}, {1, 39, 0}, {1, 40, 8}, {3, 0, 0}, {3, 1, 7}};
  for (const auto& r : reads) EXPECT_EQ(ElementOf(a, r.row, r.column), r.value) << r.row << "," << r.column;
  ReleaseValue(&a);
}

// The room past a row's length is not cleared when the row's block grows, so these fill it with
// bytes that read as a string before every store: whatever lengthens the row must write each
// element it adds. Stores at the length, inside the room (leaving a gap), at the capacity and
// past it, on a small row and on one past the doubling sizes.
void PoisonRoom(const ScriptValue& a, int32_t row) {
  const ValueRow& r = a.arr->rows[row];
  for (int32_t c = r.length; c < r.capacity; ++c) {
    std::memset(static_cast<void*>(&r.elements[c]), 0, sizeof(ScriptValue));
    r.elements[c].bits = 0xFFFFFFFFFFFFFFF0ull;
    r.elements[c].kind = VALUE_STRING;
  }
}

TEST(ArrayGrowth, StoresAtAndPastTheCapacityNeverShowTheRoom) {
  for (const int32_t start : {9, 2000, 5000}) {
    ScriptValue a{};
    for (int32_t c = 0; c < start; ++c) {
      ScriptValue v = RealValue(c + 1);
      SetValueElement(&a, &v, kArrayRowStride + c);
    }
    std::vector<double> expected(start);
    for (int32_t c = 0; c < start; ++c) expected[c] = c + 1;
    // Where each store goes, from the row as it is then: the next element, over a gap of one,
    // the last of the room, the first past it, and far past it.
    // A row whose room reaches the last column has no store past its capacity.
    enum Where { kNext, kGap, kLastOfRoom, kAtCapacity, kFar };
    for (const Where where : {kNext, kGap, kLastOfRoom, kAtCapacity, kNext, kFar}) {
      const ValueRow& row = a.arr->rows[1];
      if (where == kGap) {
        ASSERT_GT(row.capacity, row.length + 2) << start;
      }
      if ((where == kLastOfRoom || where == kAtCapacity) && row.capacity >= kArrayRowStride) continue;
      const int32_t column = where == kNext        ? row.length
                             : where == kGap       ? row.length + 1
                             : where == kLastOfRoom ? row.capacity - 1
                             : where == kAtCapacity ? row.capacity
                                                    : std::min(row.capacity * 2 + 5, 31999);
      PoisonRoom(a, 1);
      ScriptValue v = RealValue(-column);
      SetValueElement(&a, &v, kArrayRowStride + column);
      expected.resize(column + 1, 0.0);
      expected[column] = -column;
      ASSERT_EQ(a.arr->rows[1].length, column + 1);
    }
    for (int32_t c = 0; c < static_cast<int32_t>(expected.size()); ++c) {
      ASSERT_EQ(a.arr->rows[1].elements[c].Kind(), VALUE_REAL) << start << ": " << c;
      ASSERT_EQ(ElementOf(a, 1, c), expected[c]) << start << ": " << c;
    }
    // Row 0 appeared with row 1 and stays empty.
    EXPECT_EQ(a.arr->rows[0].length, 0);
    ReleaseValue(&a);
  }
}

// A row never holds more than a column can name: its block stops growing there.
// A row past the doubling sizes lengthened onto a multiple of kRowMemoryStep has the pages of
// that step's elements present at once, and every element reads as written.
TEST(ArrayGrowth, ARowLengthenedOntoAMemoryStepHasItsPagesPresent) {
  // The request is a hint that kernels before 5.14 refuse.
  void* probe = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(probe, MAP_FAILED);
#ifdef MADV_POPULATE_WRITE
  const bool populates = madvise(probe, 4096, MADV_POPULATE_WRITE) == 0;
#else
  const bool populates = false;
#endif
  munmap(probe, 4096);
  if (!populates) GTEST_SKIP() << "this kernel does not populate pages on request";
  ScriptValue a{};
  for (int32_t i = 0; i <= 2 * kRowMemoryStep; ++i) {
    ScriptValue v = RealValue(i);
    SetValueElement(&a, &v, i);
  }
  const ValueRow& row = a.arr->rows[0];
  ASSERT_GE(row.capacity, 3 * kRowMemoryStep);
  constexpr uintptr_t kPage = 4096;
  const uintptr_t start = (reinterpret_cast<uintptr_t>(&row.elements[2 * kRowMemoryStep + 1]) + kPage - 1) & ~(kPage - 1);
  const uintptr_t end = reinterpret_cast<uintptr_t>(&row.elements[3 * kRowMemoryStep]) & ~(kPage - 1);
  std::vector<unsigned char> present((end - start) / kPage);
  ASSERT_EQ(mincore(reinterpret_cast<void*>(start), end - start, present.data()), 0);
  for (size_t k = 0; k < present.size(); ++k) EXPECT_TRUE(present[k] & 1) << "page " << k;
  for (int32_t i = 0; i <= 2 * kRowMemoryStep; i += 97) EXPECT_EQ(ElementOf(a, 0, i), i);
  ReleaseValue(&a);
}

TEST(ArrayGrowth, ARowGrowsNoFurtherThanTheLastColumn) {
  ScriptValue a{};
  ScriptValue v = RealValue(1);
  SetValueElement(&a, &v, 31999);
  EXPECT_EQ(a.arr->rows[0].length, 32000);
  EXPECT_LE(a.arr->rows[0].capacity, 32000);
  EXPECT_EQ(ElementOf(a, 0, 31999), 1);
  EXPECT_EQ(ElementOf(a, 0, 12345), 0);
  ReleaseValue(&a);
}

TEST(ArrayGrowth, ACopyGrowsApartFromItsSource) {
  ScriptValue a{};
  for (int32_t i = 0; i < 3; ++i) {
    ScriptValue v = RealValue(i + 1);
    SetValueElement(&a, &v, i);
  }
  ScriptValue b{};
  SetValueElement(&b, &a, kWholeValueIndex);  // shared until written
  ScriptValue v = RealValue(50);
  SetValueElement(&b, &v, 6);
  EXPECT_EQ(b.arr->rows[0].length, 7);
  EXPECT_EQ(a.arr->rows[0].length, 3);
  EXPECT_EQ(ElementOf(b, 0, 2), 3);
  EXPECT_EQ(ElementOf(b, 0, 5), 0);
  EXPECT_EQ(ElementOf(b, 0, 6), 50);
  ReleaseValue(&a);
  ReleaseValue(&b);
}

}  // namespace
