// The conversions shared by the built-in variable accessors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "room/Builtin_Convert.h"

namespace {

TEST(BuiltinConvertTest, NumberConversions) {
  struct Case {
    double value;
    int32_t asInt;
    bool asFlag;
    bool asSwitch;
    bool asHalf;
  };
  const Case cases[] = {
      {1.5, 2, true, true, true},     {2.5, 2, true, true, true},   {-0.5, 0, false, false, false},
      {-1.0, -1, true, false, false}, {0.4, 0, false, false, false}, {0.5, 0, false, false, false},
      {0.6, 1, true, true, true},     {3.5, 4, true, true, true},   {1.0, 1, true, true, true},
      // Narrowing first: 2.5000001 narrows to 2.5 and rounds to 2; unnarrowed it would be 3.
      {2.5000001, 2, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(BuiltinInt(c.value), c.asInt);
    EXPECT_EQ(BuiltinFlag(c.value), c.asFlag);
    EXPECT_EQ(BuiltinSwitch(c.value), c.asSwitch);
    EXPECT_EQ(BuiltinHalf(c.value), c.asHalf);
  }
  EXPECT_EQ(BuiltinRint(2.5000001), 3);
  EXPECT_EQ(BuiltinInt(std::nan("")), INT32_MIN);
}

TEST(BuiltinConvertTest, OnlyNumbersAndUndefinedReadAsNumbers) {
  double out = 7.0;
  ScriptValue v{};
  v.i32 = -3;
  v.kind = VALUE_INT32;
  ASSERT_TRUE(ReadBuiltinNumber(&v, &out));
  EXPECT_EQ(out, -3.0);
  v.i64 = int64_t{1} << 40;
  v.kind = VALUE_INT64;
  ASSERT_TRUE(ReadBuiltinNumber(&v, &out));
  EXPECT_EQ(out, 1099511627776.0);
  SetUndefined(&v);
  ASSERT_TRUE(ReadBuiltinNumber(&v, &out));
  EXPECT_EQ(out, 0.0);

  out = 7.0;
  for (uint32_t kind : {uint32_t{VALUE_PTR}, uint32_t{VALUE_ARRAY}, uint32_t{9}}) {
    ScriptValue other{};
    other.bits = 0x4000000000000000ull;  // 2.0 if read as a real
    other.kind = kind;
    EXPECT_FALSE(ReadBuiltinNumber(&other, &out)) << kind;
  }
  ScriptValue text{};
  SetString(&text, "12");
  EXPECT_FALSE(ReadBuiltinNumber(&text, &out));
  EXPECT_EQ(out, 7.0);
  ReleaseValue(&text);
}

TEST(BuiltinConvertTest, TextSetterCopiesStringsAndClearsOnOtherKinds) {
  char* slot = nullptr;
  ScriptValue text{};
  SetString(&text, "caption");
  AssignBuiltinText(&slot, &text);
  ReleaseValue(&text);
  ASSERT_NE(slot, nullptr);
  EXPECT_STREQ(slot, "caption");

  const ScriptValue number = RealValue(5.0);
  AssignBuiltinText(&slot, &number);
  EXPECT_EQ(slot, nullptr);

  ScriptValue out = RealValue(1.0);
  ReturnBuiltinText(&out, nullptr);
  EXPECT_EQ(out.Kind(), VALUE_STRING);
  ReleaseValue(&out);
}

}  // namespace
