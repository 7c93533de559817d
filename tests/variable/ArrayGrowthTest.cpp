// Arrays grown element by element: the values stay right, the elements that appear in between
// read as real 0, copies are independent, and filling n elements takes a number of blocks that
// grows with log n, not with n.
#include <gtest/gtest.h>

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
