#include "variable/ScriptValue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "buffer/IBuffer.h"
#include "code/Code_Error.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"
#include "variable/Variable_State.h"

namespace {

using testsupport::Str;

ScriptValue OfKind(uint32_t kind, uint64_t bits) {
  ScriptValue v{};
  v.bits = bits;
  v.kind = kind;
  return v;
}

std::string Text(const ScriptValue& v) {
  char* text = ValueToString(&v);
  std::string s = text;
  MemoryManager::Free(text);
  return s;
}

// Makes *v (which holds nothing) an array of these rows, owned by *v. The array is built in
// place, since its owner is the record's address.
void Fill(ScriptValue* v, const std::vector<std::vector<double>>& rows) {
  *v = ScriptValue{};
  v->kind = VALUE_ARRAY;
  v->arr = ValueArray_Create(v);
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      ScriptValue e = RealValue(rows[r][c]);
      SetValueElement(v, &e, static_cast<int32_t>(r * kArrayRowStride + c));
    }
  }
  // Empty rows at the end still count.
  const int32_t rowCount = static_cast<int32_t>(rows.size());
  if (v->arr->rowCount < rowCount) {
    v->arr->rows = static_cast<ValueRow*>(
        MemoryManager::ReAlloc(v->arr->rows, rowCount * sizeof(ValueRow), __FILE__, __LINE__));
    v->arr->rowCount = rowCount;
  }
}

ScriptValue& At(const ScriptValue& v, int row, int column) { return v.arr->rows[row].elements[column]; }

// Every test must give back every block it took.
class ScriptValueTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    blocks_ = MemoryManager::BlockCount.load();
  }
  void TearDown() override {
    EXPECT_EQ(MemoryManager::BlockCount.load(), blocks_) << "memory-manager blocks leaked";
    RuntimeTest::TearDown();
  }
  int32_t blocks_ = 0;
};

// ---- Text form ----

TEST_F(ScriptValueTest, TextFormOfScalars) {
  struct Case {
    ScriptValue value;
    const char* text;
  };
  int64_t minusFive = -5;
  uint64_t minusFiveBits;
  std::memcpy(&minusFiveBits, &minusFive, sizeof(minusFiveBits));
  const Case cases[] = {
      {RealValue(2.5), "2.50"},
      {RealValue(2.0), "2"},
      {RealValue(-0.0), "0"},
      {RealValue(0.5), "0.50"},
      {RealValue(-3.25), "-3.25"},
      {RealValue(1e19), "10000000000000000000.00"},
      {RealValue(-1e19), "-10000000000000000000.00"},
      {RealValue(-9223372036854775808.0), "-9223372036854775808"},
      {RealValue(std::nan("")), "NaN"},
      {RealValue(std::numeric_limits<double>::infinity()), "inf"},
      {OfKind(VALUE_INT64, minusFiveBits), "-5"},
      // int32 is the first 4 bytes only
      {OfKind(VALUE_INT32, 0xDEADBEEF0000002Aull), "42"},
      {OfKind(VALUE_UNDEFINED, 0), "undefined"},
      {OfKind(VALUE_PTR, 0), "(nil)"},
      {OfKind(VALUE_PTR, 0x1234abcdull), "0x1234abcd"},
      {OfKind(VALUE_PTR, 0x7f0012345678ull), "0x7f0012345678"},
      {OfKind(VALUE_STRING, 0), ""},
      {OfKind(9, 0x1234), ""},
      {OfKind(0x01000000u | VALUE_REAL, 0x4004000000000000ull), "2.50"},  // top bits masked
  };
  for (const Case& c : cases) EXPECT_EQ(Text(c.value), c.text);

  ScriptValue s = Str("h\xc3\xa9llo");
  EXPECT_EQ(Text(s), "h\xc3\xa9llo");
  ReleaseValue(&s);
}

TEST_F(ScriptValueTest, TextFormOfArrays) {
  ScriptValue twoByTwo;
  Fill(&twoByTwo, {{1, 2}, {3, 4}});
  ScriptValue oneRow;
  Fill(&oneRow, {{1, 2, 3}});
  ScriptValue gaps{};
  ScriptValue one = RealValue(1);
  SetValueElement(&gaps, &one, 2 * kArrayRowStride);  // rows 0 and 1 stay empty
  ScriptValue nested;
  Fill(&nested, {{5}});
  SetValueElement(&nested, &twoByTwo, 1);
  ScriptValue s = Str("x");
  SetValueElement(&nested, &s, kArrayRowStride);
  ReleaseValue(&s);
  ScriptValue noRows = OfKind(VALUE_ARRAY, 0);
  noRows.arr = ValueArray_Create(nullptr);
  const ScriptValue nullArray = OfKind(VALUE_ARRAY, 0);

  struct Case {
    const ScriptValue* value;
    const char* text;
  };
  const Case cases[] = {
      {&twoByTwo, "{ { 1,2 }, { 3,4 },  }"},
      {&oneRow, "{ { 1,2,3 },  }"},
      {&gaps, "{ {  }, {  }, { 1 },  }"},
      {&nested, "{ { 5,{ { 1,2 }, { 3,4 },  } }, { x },  }"},
      {&noRows, "{  }"},
      {&nullArray, "{  }"},
  };
  for (const Case& c : cases) EXPECT_EQ(Text(*c.value), c.text);

  for (ScriptValue* v : {&twoByTwo, &oneRow, &gaps, &nested, &noRows}) ReleaseValue(v);
}

TEST_F(ScriptValueTest, AppendTextGrowsTheBlockAndKeepsTheCursorOnTheTerminator) {
  char* start = nullptr;
  char* cursor = nullptr;
  uint32_t capacity = 0;
  AppendText(&cursor, &start, &capacity, "abc");
  EXPECT_EQ(capacity, 5u);  // needed 4: needed + 1 is not below twice 0
  EXPECT_EQ(cursor, start + 3);
  AppendText(&cursor, &start, &capacity, nullptr);
  AppendText(&cursor, &start, &capacity, "0123456789abcdefghij");
  EXPECT_EQ(capacity, 25u);  // needed 24: needed + 1 is not below twice 5
  AppendText(&cursor, &start, &capacity, "x");
  EXPECT_EQ(capacity, 25u);  // exactly fits
  AppendText(&cursor, &start, &capacity, "y");
  EXPECT_EQ(capacity, 50u);  // needed 26: twice 25
  EXPECT_STREQ(start, "abc0123456789abcdefghijxy");
  EXPECT_EQ(cursor, start + 25);
  EXPECT_EQ(*cursor, '\0');

  ScriptValue v = RealValue(7);
  AppendValueText(&cursor, &start, &capacity, &v);
  EXPECT_STREQ(start, "abc0123456789abcdefghijxy7");
  MemoryManager::Free(start);
}

// ---- Copying and releasing ----

TEST_F(ScriptValueTest, CopyValueByKind) {
  ScriptValue s = Str("text");
  ScriptValue copy{};
  copy.flags = 0x77;
  CopyValue(&copy, &s);
  EXPECT_EQ(copy.kind, static_cast<uint32_t>(VALUE_STRING));
  EXPECT_NE(copy.str, s.str);
  EXPECT_STREQ(copy.str, "text");
  EXPECT_EQ(copy.flags, 0x77u) << "the spare word is never copied";

  // Assigning over a string frees its text first.
  ScriptValue n = OfKind(VALUE_STRING, 0);
  AssignValue(&copy, &n);
  EXPECT_EQ(copy.str, nullptr);

  ScriptValue a;
  Fill(&a, {{1}});
  ScriptValue shared{};
  CopyValue(&shared, &a);
  EXPECT_EQ(shared.arr, a.arr);
  EXPECT_EQ(a.arr->refCount, 2);

  // int32 copies its 4 bytes; a pointer all 8; the kind word's top bits come along.
  ScriptValue i32 = OfKind(0x02000000u | VALUE_INT32, 0x000000000000002Aull);
  ScriptValue dst = OfKind(VALUE_REAL, 0xAAAAAAAABBBBBBBBull);
  CopyValue(&dst, &i32);
  EXPECT_EQ(dst.kind, 0x02000000u | VALUE_INT32);
  EXPECT_EQ(dst.bits, 0xAAAAAAAA0000002Aull);
  ScriptValue p = OfKind(VALUE_PTR, 0x123456789ABCull);
  CopyValue(&dst, &p);
  EXPECT_EQ(dst.bits, 0x123456789ABCull);

  ReleaseValue(&shared);
  EXPECT_EQ(a.arr->refCount, 1);
  ReleaseValue(&a);
  EXPECT_EQ(a.kind, static_cast<uint32_t>(VALUE_UNDEFINED));
  EXPECT_EQ(a.bits, 0u);
  ReleaseValue(&s);
}

TEST_F(ScriptValueTest, DuplicateValueReusesTextBlocksAndCopiesArraysDeeply) {
  ScriptValue dst = Str("a much longer text than the next");
  char* block = dst.str;
  ScriptValue shortText = Str("short");
  DuplicateValue(&dst, &shortText);
  EXPECT_EQ(dst.str, block) << "a block that is big enough is reused";
  EXPECT_STREQ(dst.str, "short");

  ScriptValue longText = Str("this text is longer than the block that holds short text");
  ScriptValue small = Str("ab");
  DuplicateValue(&small, &longText);
  EXPECT_STREQ(small.str, longText.str);
  EXPECT_NE(small.str, longText.str);

  ScriptValue nullText = OfKind(VALUE_STRING, 0);
  DuplicateValue(&dst, &nullText);
  EXPECT_EQ(dst.str, nullptr);

  // Arrays: a new array owned by the destination; nested arrays are shared.
  ScriptValue inner;
  Fill(&inner, {{1, 2}});
  ScriptValue outer;
  Fill(&outer, {{9}});
  SetValueElement(&outer, &inner, 1);
  EXPECT_EQ(inner.arr->refCount, 2);
  ScriptValue deep{};
  DuplicateValue(&deep, &outer);
  ASSERT_NE(deep.arr, outer.arr);
  EXPECT_TRUE(IsArrayOwner(&deep));
  EXPECT_EQ(deep.arr->refCount, 1);
  EXPECT_EQ(outer.arr->refCount, 1);
  EXPECT_EQ(At(deep, 0, 1).arr, inner.arr);
  EXPECT_EQ(inner.arr->refCount, 3);
  EXPECT_EQ(Text(deep), Text(outer));

  // Duplicating a real over a string frees the text.
  ScriptValue r = RealValue(4);
  DuplicateValue(&small, &r);
  EXPECT_EQ(small.real, 4.0);

  for (ScriptValue* v : {&dst, &shortText, &longText, &inner, &outer, &deep}) ReleaseValue(v);
}

// ---- Element access ----

TEST_F(ScriptValueTest, WritingAnElementTurnsARealIntoAnArray) {
  ScriptValue v = RealValue(7);
  ScriptValue x = Str("x");
  SetValueElement(&v, &x, 5);
  ASSERT_EQ(v.Kind(), VALUE_ARRAY);
  ASSERT_EQ(v.arr->rowCount, 1);
  ASSERT_EQ(v.arr->rows[0].length, 6);
  EXPECT_TRUE(IsArrayOwner(&v));
  for (int c = 0; c < 5; ++c) {
    EXPECT_EQ(At(v, 0, c).kind, static_cast<uint32_t>(VALUE_REAL));
    EXPECT_EQ(At(v, 0, c).bits, 0u);
  }
  EXPECT_STREQ(At(v, 0, 5).str, "x");
  EXPECT_NE(At(v, 0, 5).str, x.str);

  // Writing the whole value replaces the array.
  ScriptValue r = RealValue(3);
  SetValueElement(&v, &r, kWholeValueIndex);
  EXPECT_EQ(v.Kind(), VALUE_REAL);
  EXPECT_EQ(v.real, 3.0);
  ReleaseValue(&x);
}

TEST_F(ScriptValueTest, CopyOnWriteSharesWritesThroughTheOwnerOnly) {
  ScriptValue a;
  Fill(&a, {{10, 20}});
  ASSERT_TRUE(IsArrayOwner(&a));
  ScriptValue b{};
  CopyValue(&b, &a);  // b = a

  ScriptValue one = RealValue(1);
  SetValueElement(&b, &one, 0);  // b[0] = 1: b takes its own copy
  ASSERT_NE(b.arr, a.arr);
  EXPECT_TRUE(IsArrayOwner(&b));
  EXPECT_EQ(a.arr->refCount, 1);
  EXPECT_EQ(Text(a), "{ { 10,20 },  }");
  EXPECT_EQ(Text(b), "{ { 1,20 },  }");

  // Writes through the owner are seen by every holder.
  ScriptValue c{};
  CopyValue(&c, &a);
  ValueArray* shared = a.arr;
  ScriptValue two = RealValue(2);
  SetValueElement(&a, &two, 0);  // a[0] = 2, in place
  EXPECT_EQ(a.arr, shared);
  EXPECT_EQ(Text(c), "{ { 2,20 },  }");

  // Once the owner lets go, the sole remaining holder writes in place and becomes the owner.
  ReleaseValue(&a);
  EXPECT_EQ(shared->owner, nullptr);
  ScriptValue three = RealValue(3);
  SetValueElement(&c, &three, 1);
  EXPECT_EQ(c.arr, shared);
  EXPECT_TRUE(IsArrayOwner(&c));
  EXPECT_EQ(Text(c), "{ { 2,3 },  }");

  // Reading the whole value claims an array nobody owns for the source.
  shared->owner = nullptr;
  ScriptValue whole{};
  EXPECT_TRUE(GetValueElement(&whole, &c, kWholeValueIndex));
  EXPECT_TRUE(IsArrayOwner(&c));
  EXPECT_FALSE(IsArrayOwner(&whole));
  EXPECT_EQ(shared->refCount, 2);

  for (ScriptValue* v : {&b, &c, &whole}) ReleaseValue(v);
}

TEST_F(ScriptValueTest, ElementReadsOutsideTheArraySetTheErrorState) {
  ScriptValue a;
  Fill(&a, {{1, 2}, {}});
  ScriptValue nullArray = OfKind(VALUE_ARRAY, 0);
  struct Case {
    const ScriptValue* source;
    int32_t index;
    int32_t row, column, rowCount, rowLength;
  };
  const Case cases[] = {
      {&a, 3, 0, 3, 2, 2},
      {&a, 2, 0, 2, 2, 2},
      {&a, -1, 0, -1, 2, 2},
      {&a, kArrayRowStride, 1, 0, 2, 0},
      {&a, 5 * kArrayRowStride, 5, 0, 2, -1},
      {&a, -kArrayRowStride, -1, 0, 2, -1},
      {&nullArray, 0, 0, 0, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    g_Variables.arrayIndexError = {};
    ScriptValue target = Str("previous text");  // released, not leaked
    EXPECT_FALSE(GetValueElement(&target, c.source, c.index));
    EXPECT_EQ(target.kind, static_cast<uint32_t>(VALUE_REAL));
    EXPECT_EQ(target.real, 0.0);
    EXPECT_EQ(g_Variables.arrayIndexError.flag, 1);
    EXPECT_EQ(g_Variables.arrayIndexError.row, c.row);
    EXPECT_EQ(g_Variables.arrayIndexError.column, c.column);
    EXPECT_EQ(g_Variables.arrayIndexError.rowCount, c.rowCount);
    EXPECT_EQ(g_Variables.arrayIndexError.rowLength, c.rowLength);
  }

  g_Variables.arrayIndexError = {};
  ScriptValue target = Str("replaced");
  EXPECT_TRUE(GetValueElement(&target, &a, 1));
  EXPECT_EQ(target.real, 2.0);
  EXPECT_EQ(g_Variables.arrayIndexError.flag, 0);

  // The target may hold the last reference to the array it reads from.
  ScriptValue only;
  Fill(&only, {{4, 5}});
  EXPECT_TRUE(GetValueElement(&only, &only, 1));
  EXPECT_EQ(only.Kind(), VALUE_REAL);
  EXPECT_EQ(only.real, 5.0);
  ReleaseValue(&a);
}

TEST_F(ScriptValueTest, ElementWritesWithANegativeIndexStoreNothing) {
  struct Case {
    int32_t index;
    int32_t row, column, rowCount, rowLength;
  };
  const Case cases[] = {
      {-1, 0, -1, 1, 0},                 // row 0 is still added
      {-kArrayRowStride, -1, 0, 0, -1},  // a negative row adds nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    g_Variables.arrayIndexError = {};
    ScriptValue v = RealValue(7);
    ScriptValue s = Str("never stored");
    SetValueElement(&v, &s, c.index);
    ASSERT_EQ(v.Kind(), VALUE_ARRAY);
    EXPECT_EQ(v.arr->rowCount, c.rowCount);
    if (c.rowCount > 0) {
      EXPECT_EQ(v.arr->rows[0].length, 0);
    }
    EXPECT_EQ(g_Variables.arrayIndexError.flag, 1);
    EXPECT_EQ(g_Variables.arrayIndexError.row, c.row);
    EXPECT_EQ(g_Variables.arrayIndexError.column, c.column);
    EXPECT_EQ(g_Variables.arrayIndexError.rowCount, c.rowCount);
    EXPECT_EQ(g_Variables.arrayIndexError.rowLength, c.rowLength);
    ReleaseValue(&v);
    ReleaseValue(&s);
  }
}

TEST_F(ScriptValueTest, ElementWritesSurviveValuesThatLiveInTheArray) {
  // a[0][40] = a[0][0]: the row's block moves while it grows.
  ScriptValue a{};
  ScriptValue s = Str("first");
  SetValueElement(&a, &s, 0);
  SetValueElement(&a, &At(a, 0, 0), 40);
  EXPECT_STREQ(At(a, 0, 40).str, "first");
  // a[0][0] = a[0][0]
  SetValueElement(&a, &At(a, 0, 0), 0);
  EXPECT_STREQ(At(a, 0, 0).str, "first");
  // Writing a whole value that lives inside the target's own array.
  ScriptValue inner;
  Fill(&inner, {{1}});
  SetValueElement(&a, &inner, 1);
  ReleaseValue(&inner);
  SetValueElement(&a, &At(a, 0, 1), kWholeValueIndex);
  EXPECT_EQ(Text(a), "{ { 1 },  }");
  ReleaseValue(&a);
  ReleaseValue(&s);
}

TEST_F(ScriptValueTest, StoresThatWouldMakeAnArrayHoldItselfStoreACopy) {
  // Each store is target[index] = source, over the values a, b and c (real 0 at first); a digit
  // as the source stores that real.
  struct Store {
    char target;
    int32_t index;
    char source;
  };
  struct Case {
    const char* what;
    std::vector<Store> stores;
    const char* a;
    const char* b;
  };
  const int32_t row1 = kArrayRowStride;
  const Case cases[] = {
      {"into itself", {{'a', 0, '1'}, {'a', 1, 'a'}}, "{ { 1,{ { 1 },  } },  }", "0"},
      {"into itself, then changed", {{'a', 0, '1'}, {'a', 1, 'a'}, {'a', 0, '2'}}, "{ { 2,{ { 1 },  } },  }", "0"},
      {"into itself twice",
       {{'a', 0, '1'}, {'a', 1, 'a'}, {'a', 2, 'a'}},
       "{ { 1,{ { 1 },  },{ { 1,{ { 1 },  } },  } },  }", "0"},
      {"into a row of its own past the end", {{'a', 0, '1'}, {'a', row1 + 1, 'a'}},
       "{ { 1 }, { 0,{ { 1 },  } },  }", "0"},
      {"into itself at a negative index", {{'a', 0, '1'}, {'a', -1, 'a'}}, "{ { 1 },  }", "0"},
      {"into an array it holds",
       {{'a', 0, '1'}, {'b', 0, 'a'}, {'a', 1, 'b'}},
       "{ { 1,{ { { { 1 },  } },  } },  }", "{ { { { 1,{ { { { 1 },  } },  } },  } },  }"},
      {"two levels down",
       {{'a', 0, '1'}, {'c', 0, 'a'}, {'b', 0, 'c'}, {'a', 1, 'b'}},
       "{ { 1,{ { { { { { 1 },  } },  } },  } },  }", "{ { { { { { 1,{ { { { { { 1 },  } },  } },  } },  } },  } },  }"},
      {"an array that does not reach it stays shared",
       {{'a', 0, '1'}, {'b', 0, '2'}, {'a', 1, 'b'}, {'b', 0, '3'}}, "{ { 1,{ { 3 },  } },  }", "{ { 3 },  }"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptValue values[3] = {RealValue(0), RealValue(0), RealValue(0)};
    auto named = [&](char name) { return &values[name - 'a']; };
    for (const Store& store : c.stores) {
      const ScriptValue digit = RealValue(store.source - '0');
      const ScriptValue* source = std::isdigit(store.source) ? &digit : named(store.source);
      SetValueElement(named(store.target), source, store.index);
    }
    EXPECT_EQ(Text(values[0]), c.a);
    EXPECT_EQ(Text(values[1]), c.b);
    // Letting go of the values frees every array (the fixture counts the blocks).
    for (ScriptValue& v : values) ReleaseValue(&v);
  }
}

TEST_F(ScriptValueTest, TheCopyKeepsSharingWhereTheOriginalShared) {
  // b = [a, a, d]; a[1] = b: the copy of b holds one copy of a twice, and d itself.
  ScriptValue a, b{}, d;
  Fill(&a, {{1}});
  Fill(&d, {{5}});
  SetValueElement(&b, &a, 0);
  SetValueElement(&b, &a, 1);
  SetValueElement(&b, &d, 2);
  SetValueElement(&a, &b, 1);

  const ValueArray* copyOfB = At(a, 0, 1).arr;
  ASSERT_NE(copyOfB, b.arr);
  const ValueArray* copyOfA = copyOfB->rows[0].elements[0].arr;
  EXPECT_NE(copyOfA, a.arr);
  EXPECT_EQ(copyOfB->rows[0].elements[1].arr, copyOfA);
  EXPECT_EQ(copyOfA->refCount, 2);
  EXPECT_EQ(copyOfB->rows[0].elements[2].arr, d.arr);
  EXPECT_EQ(d.arr->refCount, 3);  // d, b and the copy of b
  EXPECT_EQ(Text(a), "{ { 1,{ { { { 1 },  },{ { 1 },  },{ { 5 },  } },  } },  }");
  for (ScriptValue* v : {&a, &b, &d}) ReleaseValue(v);
}

TEST_F(ScriptValueTest, IndexingANonArrayIsFatal) {
  ScriptValue r = RealValue(1);
  ScriptValue target{};
  {
    testsupport::MessageBoxRecorder boxes;
    testsupport::ProcessExitTrap trap;
    try {
      GetValueElement(&target, &r, 0);
      ADD_FAILURE() << "the process should have ended";
    } catch (const testsupport::ProcessExited& e) {
      EXPECT_NE(e.status, 0);
    }
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_THAT(boxes.boxes()[0].text, ::testing::HasSubstr("trying to index a variable which is not an array\r\n"));
  }
  Error_ResetState();  // the report kept its text as error_last

  // While errors are suppressed the read only raises the error flag.
  g_ErrorFlag = false;
  g_ErrorSuppressed = true;
  ScriptValue s = Str("held");
  EXPECT_FALSE(GetValueElement(&s, &r, 0));
  g_ErrorSuppressed = false;
  EXPECT_TRUE(g_ErrorFlag.load());
  g_ErrorFlag = false;
  EXPECT_EQ(s.Kind(), VALUE_REAL);
  EXPECT_EQ(s.real, 0.0);

  // The whole value of a non-array is an ordinary read.
  EXPECT_TRUE(GetValueElement(&target, &r, kWholeValueIndex));
  EXPECT_EQ(target.real, 1.0);
}

TEST_F(ScriptValueTest, EncodeArrayIndexRefusesWhatDoesNotFit) {
  int32_t index = 0;
  EXPECT_TRUE(EncodeArrayIndex(2, 5, &index));
  EXPECT_EQ(index, 64005);
  EXPECT_EQ(num::DivInt32(index, kArrayRowStride), 2);
  EXPECT_EQ(num::ModInt32(index, kArrayRowStride), 5);
  EXPECT_TRUE(EncodeArrayIndex(0, -1, &index));
  EXPECT_EQ(index, -1);
  EXPECT_FALSE(EncodeArrayIndex(67109, 0, &index));   // past INT32_MAX
  EXPECT_FALSE(EncodeArrayIndex(-67109, 0, &index));  // past INT32_MIN
  EXPECT_FALSE(EncodeArrayIndex(0, INT64_MAX, &index));
  EXPECT_EQ(index, -1);
}

// ---- Comparison ----

TEST_F(ScriptValueTest, ValuesEqualByKind) {
  ScriptValue a1 = Str("abc"), a2 = Str("abc"), b = Str("abd"), empty = Str("");
  ScriptValue nullText = OfKind(VALUE_STRING, 0), nullText2 = OfKind(VALUE_STRING, 0);
  ScriptValue arr;
  Fill(&arr, {{1}});
  struct Case {
    ScriptValue x, y;
    bool equal;
  };
  const Case cases[] = {
      {RealValue(1.0), RealValue(1.000001), true},
      {RealValue(1.0), RealValue(1.0001), false},
      {RealValue(std::nan("")), RealValue(std::nan("")), false},
      {RealValue(0), OfKind(0x01000000u, 0), true},  // top kind bits masked
      {a1, a2, true},
      {a1, b, false},
      {nullText, nullText2, true},
      {nullText, empty, false},
      {arr, arr, false},
      {OfKind(VALUE_INT64, 5), OfKind(VALUE_INT64, 5), true},
      {OfKind(VALUE_INT64, 5), OfKind(VALUE_INT64, 6), false},
      {OfKind(VALUE_INT32, 0x1111111100000005ull), OfKind(VALUE_INT32, 5), true},
      {OfKind(VALUE_PTR, 0x100000001ull), OfKind(VALUE_PTR, 1), false},
      {OfKind(VALUE_UNDEFINED, 0), OfKind(VALUE_UNDEFINED, 0), true},
      {OfKind(9, 0), OfKind(9, 0), false},
      {RealValue(5), OfKind(VALUE_INT64, 5), false},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(ValuesEqual(&cases[i].x, &cases[i].y), cases[i].equal) << "case " << i;
  }
  g_Variables.MathEpsilon = 0;
  ScriptValue one = RealValue(1);
  EXPECT_FALSE(ValuesEqual(&one, &one)) << "the comparison is strict";
  for (ScriptValue* v : {&a1, &a2, &b, &empty, &arr}) ReleaseValue(v);
}

// ---- Buffer format ----

class ScriptValueBufferTest : public ScriptValueTest {
 protected:
  void SetUp() override {
    ScriptValueTest::SetUp();
    // The buffer table keeps its slots: let it take them before the test counts blocks.
    DeleteBuffer(CreateBuffer(1, BUFFER_FIXED, 1));
    blocks_ = MemoryManager::BlockCount.load();
  }
  void TearDown() override {
    for (int index : buffers_) DeleteBuffer(index);
    ScriptValueTest::TearDown();
  }
  IBuffer* NewBuffer(int size, int kind) {
    buffers_.push_back(CreateBuffer(size, kind, 1));
    return GetBuffer(buffers_.back());
  }
  IBuffer* BufferOf(const std::vector<uint8_t>& bytes, int kind = BUFFER_FIXED) {
    IBuffer* b = NewBuffer(static_cast<int>(bytes.size()), kind);
    if (!bytes.empty()) std::memcpy(b->GetData(), bytes.data(), bytes.size());
    return b;
  }
  std::vector<int> buffers_;
};

void PutS32(std::vector<uint8_t>& out, int32_t v) {
  uint8_t b[4];
  std::memcpy(b, &v, 4);
  out.insert(out.end(), b, b + 4);
}

TEST_F(ScriptValueBufferTest, BytesOfEachKind) {
  ScriptValue text = Str("hi");
  ScriptValue oneRow;
  Fill(&oneRow, {{}});
  ScriptValue i32 = OfKind(VALUE_INT32, 42);
  SetValueElement(&oneRow, &i32, 0);
  struct Case {
    ScriptValue value;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {RealValue(2.5), {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x04, 0x40}},
      {text, {1, 0, 0, 0, 'h', 'i', 0}},
      {OfKind(VALUE_STRING, 0), {1, 0, 0, 0, 4, 0}},
      {oneRow, {2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0}},
      {OfKind(VALUE_ARRAY, 0), {2, 0, 0, 0, 0, 0, 0, 0}},
      {OfKind(VALUE_INT64, 77), {3, 0, 0, 0}},
      {OfKind(VALUE_PTR, 77), {6, 0, 0, 0}},
      {OfKind(0x81000000u | VALUE_UNDEFINED, 0), {5, 0, 0, 0x81}},  // the whole kind word
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Text(c.value));
    IBuffer* b = NewBuffer(0, BUFFER_GROW);
    EXPECT_TRUE(WriteValueToBuffer(&c.value, b));
    ASSERT_EQ(b->m_Position, static_cast<int32_t>(c.bytes.size()));
    EXPECT_EQ(std::vector<uint8_t>(b->GetData(), b->GetData() + c.bytes.size()), c.bytes);
  }

  // A fixed buffer that is too small refuses the write.
  IBuffer* small = NewBuffer(6, BUFFER_FIXED);
  ScriptValue r = RealValue(1);
  EXPECT_FALSE(WriteValueToBuffer(&r, small));
  ReleaseValue(&text);
  ReleaseValue(&oneRow);
}

TEST_F(ScriptValueBufferTest, NestedArraysRoundTrip) {
  ScriptValue saved;
  Fill(&saved, {{1.5, -2}, {}, {3}});
  ScriptValue inner;
  Fill(&inner, {{7, 8}, {9}});
  SetValueElement(&saved, &inner, kArrayRowStride + 2);
  ScriptValue s = Str("t\xc3\xa9xt");
  SetValueElement(&saved, &s, 2 * kArrayRowStride + 1);
  ScriptValue nullText = OfKind(VALUE_STRING, 0);
  SetValueElement(&saved, &nullText, 2 * kArrayRowStride + 2);
  ScriptValue i32 = OfKind(VALUE_INT32, 1234);
  SetValueElement(&saved, &i32, 2 * kArrayRowStride + 3);
  ScriptValue undef = OfKind(VALUE_UNDEFINED, 0);
  SetValueElement(&saved, &undef, 2 * kArrayRowStride + 4);

  IBuffer* b = NewBuffer(0, BUFFER_GROW);
  ASSERT_TRUE(WriteValueToBuffer(&saved, b));
  const int32_t end = b->m_Position;
  b->Seek(0, 0);
  ScriptValue loaded = OfKind(VALUE_INT32, 0xCDCDCDCDCDCDCDCDull);  // a fresh record: not released
  ASSERT_TRUE(ReadValueFromBuffer(&loaded, b));
  EXPECT_EQ(b->m_Position, end);

  ASSERT_EQ(loaded.Kind(), VALUE_ARRAY);
  EXPECT_TRUE(IsArrayOwner(&loaded));
  EXPECT_EQ(loaded.arr->refCount, 1);
  EXPECT_EQ(Text(loaded), "{ { 1.50,-2 }, { 0,0,{ { 7,8 }, { 9 },  } }, { 3,t\xc3\xa9xt,,0,undefined },  }");
  const ScriptValue& nested = At(loaded, 1, 2);
  EXPECT_TRUE(IsArrayOwner(&nested));
  EXPECT_EQ(nested.arr->refCount, 1);
  EXPECT_EQ(At(loaded, 2, 2).Kind(), VALUE_STRING);
  EXPECT_EQ(At(loaded, 2, 2).str, nullptr);
  // int32 keeps its kind but not its number.
  EXPECT_EQ(At(loaded, 2, 3).Kind(), VALUE_INT32);
  EXPECT_EQ(At(loaded, 2, 3).bits, 0u);

  for (ScriptValue* v : {&saved, &inner, &s, &loaded}) ReleaseValue(v);
}

TEST_F(ScriptValueBufferTest, NestingPastTheLimitIsCutAndFreedWithoutRecursion) {
  // A chain of arrays, each the only element of the next, far deeper than the native stack
  // could follow; the innermost holds 7.
  constexpr int kLevels = 200000;
  ScriptValue chain = RealValue(7);
  for (int i = 0; i < kLevels; ++i) {
    ScriptValue outer{};
    SetValueElement(&outer, &chain, 0);
    ReleaseValue(&chain);
    chain = outer;
  }
  // The text form down to the limit, with `cut` where the walk stops.
  auto expected = [](const std::string& cut) {
    std::string text = cut;
    for (int depth = kMaxValueNesting - 1; depth >= 0; --depth) text = "{ { " + text + " },  }";
    return text;
  };
  EXPECT_EQ(Text(chain), expected("{ ... }"));

  // The writer saves the array past the limit as undefined, so what it wrote reads back.
  IBuffer* b = NewBuffer(0, BUFFER_GROW);
  ASSERT_TRUE(WriteValueToBuffer(&chain, b));
  b->Seek(0, 0);
  ScriptValue loaded{};
  ASSERT_TRUE(ReadValueFromBuffer(&loaded, b));
  EXPECT_EQ(Text(loaded), expected("undefined"));

  // Releasing frees every level (the fixture counts the blocks).
  ReleaseValue(&chain);
  ReleaseValue(&loaded);
}

TEST_F(ScriptValueBufferTest, UnsavedPayloadsReadBackAsZero) {
  for (uint32_t kind : {3u, 4u, 5u, 6u, 9u}) {
    std::vector<uint8_t> bytes;
    PutS32(bytes, static_cast<int32_t>(kind));
    IBuffer* b = BufferOf(bytes);
    ScriptValue v = OfKind(VALUE_REAL, 0xCDCDCDCDCDCDCDCDull);
    EXPECT_TRUE(ReadValueFromBuffer(&v, b));
    EXPECT_EQ(v.kind, kind);
    EXPECT_EQ(v.bits, 0u);
  }
}

TEST_F(ScriptValueBufferTest, CorruptSavesFailCleanly) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int kind;
    bool ok;
    const char* text;  // of the value read, when it succeeds
  };
  auto bytesOf = [](std::initializer_list<int32_t> words, size_t extra = 0) {
    std::vector<uint8_t> out;
    for (int32_t w : words) PutS32(out, w);
    out.resize(out.size() + extra, 0);
    return out;
  };
  // Nesting deeper than the reader allows: each level is one row of one element.
  std::vector<uint8_t> deep;
  for (int i = 0; i <= kMaxReadNesting + 1; ++i) {
    PutS32(deep, 2);
    PutS32(deep, 1);
    PutS32(deep, 1);
  }
  PutS32(deep, 0);
  deep.resize(deep.size() + 8, 0);

  const Case cases[] = {
      {"huge row count", bytesOf({2, INT32_MAX}, 64), BUFFER_FIXED, false, nullptr},
      {"huge row length", bytesOf({2, 1, 0x10000000}, 64), BUFFER_FIXED, false, nullptr},
      {"rows just beyond the bytes left", bytesOf({2, 3, 0, 0}, 3), BUFFER_FIXED, false, nullptr},
      {"truncated real", bytesOf({0}, 4), BUFFER_FIXED, false, nullptr},
      {"empty buffer", {}, BUFFER_FIXED, false, nullptr},
      {"element cut short", bytesOf({2, 1, 2, 0}, 4), BUFFER_FIXED, false, nullptr},
      {"string at the end", bytesOf({1}), BUFFER_FIXED, false, nullptr},
      {"nested too deep", deep, BUFFER_FIXED, false, nullptr},
      {"wrapping round forever", bytesOf({2, 1, 2}), BUFFER_WRAP, false, nullptr},
      {"negative row count", bytesOf({2, -5}), BUFFER_FIXED, true, "{  }"},
      {"negative row length", bytesOf({2, 2, -1, 1, 4}), BUFFER_FIXED, true, "{ {  }, { 0 },  }"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IBuffer* b = BufferOf(c.bytes, c.kind);
    ScriptValue v{};
    EXPECT_EQ(ReadValueFromBuffer(&v, b), c.ok);
    if (c.ok) {
      EXPECT_EQ(Text(v), c.text);
      ReleaseValue(&v);
    } else {
      EXPECT_EQ(v.kind, static_cast<uint32_t>(VALUE_UNDEFINED));
      EXPECT_EQ(v.bits, 0u);
    }
  }
}

}  // namespace
