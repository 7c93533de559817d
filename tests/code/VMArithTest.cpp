// Arithmetic, comparison and conversion instructions, by table.
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "VMTestSupport.h"
#include "code/VM_Ops.h"
#include "variable/Variable_State.h"

namespace {

using namespace vmtest;

// What a row expects of the run's result.
struct Expect {
  enum Kind { Real, Int32, Int64, Text, Error } kind;
  double real = 0.0;
  int64_t integer = 0;
  const char* text = "";
};
Expect R(double x) { return {Expect::Real, x, 0, ""}; }
Expect I(int32_t x) { return {Expect::Int32, 0.0, x, ""}; }
Expect L(int64_t x) { return {Expect::Int64, 0.0, x, ""}; }
Expect T(const char* s) { return {Expect::Text, 0.0, 0, s}; }
Expect E(const char* message) { return {Expect::Error, 0.0, 0, message}; }

struct Row {
  const char* code;
  Expect expect;
};

// String table entries used by the rows.
const std::vector<const char*> kStrings = {"abc", "def", "ab", nullptr, "",   "12abc",
                                           "True", "true", "x", "99999999999", "abd"};

class VMArith : public VMTest {
 protected:
  void SetUp() override {
    VMTest::SetUp();
    SetGlobal("i7", MakeInt32(7));
    SetGlobal("i2", MakeInt32(2));
    SetGlobal("imin", MakeInt32(INT_MIN));
    SetGlobal("imax", MakeInt32(INT_MAX));
    SetGlobal("ineg1", MakeInt32(-1));
    SetGlobal("l5", MakeInt64(5));
    SetGlobal("lbig", MakeInt64(INT64_MAX));
    ScriptValue u{};
    SetUndefined(&u);
    SetGlobal("u", u);
    ScriptValue p{};
    p.ptr = &p;
    p.kind = VALUE_PTR;
    SetGlobal("p", p);
    ScriptValue bad{};
    bad.kind = 9;
    SetGlobal("bad", bad);
    ScriptValue text{};
    SetString(&text, "ab");
    SetGlobal("s", text);
    ReleaseValue(&text);
    ScriptValue nulltext{};
    nulltext.kind = VALUE_STRING;
    SetGlobal("snull", nulltext);
    ScriptValue array{};
    ScriptValue one = RealValue(1.0);
    SetValueElement(&array, &one, 1);
    SetGlobal("arr", array);
    ReleaseValue(&array);
  }

  void Check(const Row& row) {
    RunResult r;
    Run(&r, row.code);
    const Expect& e = row.expect;
    if (e.kind == Expect::Error) {
      EXPECT_EQ(r.error, e.text) << row.code;
      EXPECT_FALSE(r.completed) << row.code;
      EXPECT_TRUE(g_ErrorFlag.load()) << row.code;
      return;
    }
    EXPECT_EQ(r.error, "") << row.code;
    switch (e.kind) {
      case Expect::Real:
        EXPECT_EQ(r.value.Kind(), VALUE_REAL) << row.code;
        if (r.value.Kind() == VALUE_REAL) {
          EXPECT_DOUBLE_EQ(r.value.real, e.real) << row.code;
        }
        break;
      case Expect::Int32:
        EXPECT_EQ(r.value.Kind(), VALUE_INT32) << row.code;
        EXPECT_EQ(r.value.i32, e.integer) << row.code;
        break;
      case Expect::Int64:
        EXPECT_EQ(r.value.Kind(), VALUE_INT64) << row.code;
        EXPECT_EQ(r.value.i64, e.integer) << row.code;
        break;
      case Expect::Text:
        EXPECT_EQ(r.value.Kind(), VALUE_STRING) << row.code;
        EXPECT_EQ(r.Text(), e.text) << row.code;
        break;
      case Expect::Error: break;
    }
  }
  void CheckAll(const std::vector<Row>& rows) {
    testsupport::StringTableFixture strings(kStrings);
    for (const Row& row : rows) Check(row);
  }
};

TEST_F(VMArith, BinaryOperatorsByTypePair) {
  CheckAll({
      // Raw pairs, turned into a value by a conversion.
      {"push.i 7\n push.i 2\n div.i.i\n conv.i.v", R(3)},
      {"push.d 7\n push.d 2\n div.d.d\n conv.d.v", R(3.5)},
      {"push.d 7\n push.i 2\n div.i.d\n conv.d.v", R(3.5)},
      {"push.i 7\n push.d 2\n div.d.i\n conv.d.v", R(3.5)},
      {"push.d 7\n push.d 2\n rem.d.d\n conv.d.v", R(3)},
      {"push.d -7\n push.d 2\n rem.d.d\n conv.d.v", R(-3)},
      {"push.d -7\n push.d 3\n mod.d.d\n conv.d.v", R(-1)},
      {"push.d 5.5\n push.d 2\n mod.d.d\n conv.d.v", R(1.5)},
      {"push.i -7\n push.i 3\n mod.i.i\n conv.i.v", R(-1)},
      {"push.d 0.1\n push.d 0.2\n add.d.d\n conv.d.v", R(0.1 + 0.2)},
      {"push.l 5000000000\n push.i 1\n add.i.l\n conv.l.v", R(5000000001.0)},
      {"push.i 6\n push.i 7\n mul.i.i\n conv.i.v", R(42)},
      {"push.i 5\n push.i 7\n sub.i.i\n conv.i.v", R(-2)},
      {"push.d 6.7\n push.d 3.2\n and.d.d\n conv.d.v", R(2)},
      {"push.d 4\n push.d 1\n or.d.d\n conv.d.v", R(5)},
      {"push.i 6\n push.i 3\n xor.i.i\n conv.i.v", R(5)},
      {"push.b 1\n push.b 1\n and.b.b\n conv.b.v", R(1)},
      {"push.b 1\n push.b 0\n and.b.b\n conv.b.v", R(0)},
      {"push.b 0\n push.b 1\n or.b.b\n conv.b.v", R(1)},
      {"push.b 1\n push.b 1\n xor.b.b\n conv.b.v", R(0)},
      {"push.i 1\n push.i 3\n shl.i.i\n conv.i.v", R(8)},
      {"push.i 1\n push.i 33\n shl.i.i\n conv.i.v", R(2)},
      {"push.i -8\n push.i 1\n shr.i.i\n conv.i.v", R(-4)},
      {"push.d 1\n push.d 70\n shl.d.d\n conv.d.v", R(0)},
      {"push.d -8\n push.d 70\n shr.d.d\n conv.d.v", R(-1)},
      {"push.i 1\n push.d 33\n shl.d.i\n conv.d.v", R(2)},
      {"push.l 1\n push.i 40\n shl.i.l\n conv.l.v", R(1099511627776.0)},
      // Value operands give values of the result's kind.
      {"push.v -5 @i7\n push.v -5 @i2\n div.v.v", I(3)},
      {"push.v -5 @i7\n push.v -5 @i2\n rem.v.v", I(3)},
      {"push.v -5 @i7\n push.v -5 @i2\n mod.v.v", I(1)},
      {"push.v -5 @imax\n push.e 1\n add.i.v", I(INT_MIN)},
      {"push.v -5 @imin\n push.v -5 @ineg1\n div.v.v", I(INT_MIN)},
      {"push.v -5 @imin\n push.v -5 @ineg1\n rem.v.v", I(INT_MIN)},
      {"push.v -5 @imin\n push.v -5 @ineg1\n mod.v.v", I(0)},
      {"push.v -5 @l5\n push.v -5 @i2\n mul.v.v", L(10)},
      {"push.v -5 @lbig\n push.v -5 @l5\n add.v.v", L(INT64_MIN + 4)},
      {"push.v -5 @i7\n push.d 0.5\n add.d.v", R(7.5)},
      {"push.v -5 @i2\n neg.v", I(-2)},
      // Texts.
      {"push.s 0\n push.s 1\n add.s.s\n conv.s.v", T("abcdef")},
      {"push.v -5 @s\n push.s 0\n add.s.v", T("ababc")},
      {"push.v -5 @snull\n push.s 2\n add.s.v", T("ab")},
      {"push.d 3\n push.s 2\n mul.s.d\n conv.s.v", T("ababab")},
      {"push.i 2\n push.v -5 @s\n mul.v.i", T("abab")},
      {"push.d -1\n push.s 2\n mul.s.d\n conv.s.v", T("")},
  });
}

TEST_F(VMArith, BinaryOperatorErrors) {
  CheckAll({
      {"push.s 0\n push.d 1\n add.d.s", E("DoAdd :: Execution Error")},
      {"push.b 1\n push.i 1\n add.i.b", E("DoAdd :: Execution Error")},
      {"push.f 1.5\n push.d 1\n add.d.f", E("DoAdd :: Execution Error")},
      {"push.d 1\n push.b 1\n sub.b.d", E("DoSub:: Execution Error")},
      {"push.s 2\n push.d 3\n mul.d.s", E("DoMul :: Execution Error")},
      {"push.d 1\n push.s 0\n sub.s.d", E("DoSub :: Execution Engine - Cannot operate on string type")},
      {"push.v -5 @s\n push.d 1\n div.d.v", E("DoDiv :: Execution Engine - Cannot operate on string type")},
      {"push.d 1\n push.s 0\n shr.s.d", E("DoShr :: Execution Engine - Cannot operate on string type")},
      {"push.d 1\n push.d 0\n div.d.d", E("DoDiv :: Divide by zero")},
      {"push.d 1\n push.d 1e-11\n div.d.d", E("DoDiv :: Divide by zero")},
      {"push.i 1\n push.i 0\n div.i.i", E("DoDiv :: Divide by zero")},
      {"push.d 5\n push.d 0.5\n rem.d.d", E("DoRem :: Divide by zero")},
      {"push.l 5\n push.l 0\n rem.l.l", E("DoRem :: Divide by zero")},
      {"push.d 1\n push.d 1e-11\n mod.d.d", E("DoMod :: Divide by zero")},
      {"push.i 1\n push.i 0\n mod.i.i", E("DoMod :: Divide by zero")},
      {"push.b 1\n push.i 1\n and.i.b", E("DoAnd :: Execution Error")},
      {"push.b 1\n push.d 1\n or.d.b", E("DoOr :: Execution Error")},
      {"push.b 1\n push.d 1\n xor.d.b", E("DoXor :: Execution Error")},
      {"push.b 1\n push.d 1\n shl.d.b", E("DoShl :: Execution Error")},
      {"push.b 1\n push.d 1\n rem.d.b", E("DoRem :: Execution Error")},
      {"push.b 1\n push.d 1\n mod.d.b", E("DoMod :: Execution Error")},
      {"push.b 1\n push.d 1\n div.d.b", E("DoDiv :: Execution Error")},
      {"push.b 1\n push.d 1\n shr.d.b", E("DoShr :: Execution Error")},
      {"push.v -5 @u\n push.d 1\n add.d.v", E("undefined value")},
      {"push.v -5 @arr\n push.d 1\n add.d.v", E("illegal array use")},
      {"push.v -5 @p\n push.d 1\n add.d.v", E("illegal pointer use")},
      {"push.v -5 @bad\n push.d 1\n add.d.v", E("Malformed variable")},
      {"push.v -5 @bad\n push.d 1\n mul.d.v", E("Variable is malformed")},
      {"push.d 1\n push.d 1\n add.d.9", E("DoAdd :: Execution Error")},
      {"push.d 1\n add.d.d", E("DoAdd :: Execution Error")},
  });
}

TEST_F(VMArith, UnaryOperators) {
  CheckAll({
      {"push.d 0\n not.d\n conv.d.v", R(-1)},
      {"push.d 2.5\n neg.d\n conv.d.v", R(-2.5)},
      {"push.i 5\n not.i\n conv.i.v", R(-6)},
      {"push.i -2147483648\n neg.i\n conv.i.v", R(INT_MIN)},
      {"push.l 7\n not.l\n conv.l.v", R(-8)},
      {"push.b 0\n not.b\n conv.b.v", R(1)},
      {"push.b 3\n not.b\n conv.b.v", R(0)},
      // neg of true is -1, which compares equal to the int32 -1.
      {"push.b 1\n neg.b\n push.i -1\n seq.i.b\n conv.b.v", R(1)},
      {"push.v -5 @l5\n not.v", L(~int64_t{5})},
      {"push.s 0\n neg.s", E("DoNeg :: Execution Engine - Cannot operate on string type")},
      {"push.v -5 @s\n not.v", E("DoNot :: Execution Engine - Cannot operate on string type")},
      {"push.v -5 @u\n neg.v", E("undefined value")},
      {"push.v -5 @u\n not.v", E("Malformed variable")},
      {"push.v -5 @p\n not.v", E("Malformed variable")},
      {"push.v -5 @arr\n not.v", E("illegal array use")},
  });
}

TEST_F(VMArith, ComparisonsUseTheEpsilon) {
  CheckAll({
      {"push.d 0.1\n push.d 0.2\n add.d.d\n push.d 0.3\n seq.d.d\n conv.b.v", R(1)},
      {"push.d 1\n push.d 1.000001\n slt.d.d\n conv.b.v", R(0)},
      {"push.d 1\n push.d 1.000001\n sle.d.d\n conv.b.v", R(1)},
      {"push.d 1\n push.d 1.1\n slt.d.d\n conv.b.v", R(1)},
      {"push.d 2\n push.i 1\n sgt.i.d\n conv.b.v", R(1)},
      {"push.d 2\n push.i 2\n sne.i.d\n conv.b.v", R(0)},
      {"push.i 3\n push.i 3\n sge.i.i\n conv.b.v", R(1)},
      {"push.l 9223372036854775807\n push.l -9223372036854775808\n sgt.l.l\n conv.b.v", R(1)},
      {"push.l 9007199254740993\n push.l 9007199254740992\n sne.l.l\n conv.b.v", R(1)},
      {"push.d 0.5\n push.b 0\n seq.b.d\n conv.b.v", R(1)},
      {"push.b 1\n push.s 8\n seq.s.b\n conv.b.v", R(1)},
      {"push.b 0\n push.s 3\n seq.s.b\n conv.b.v", R(1)},
      {"push.s 0\n push.s 10\n slt.s.s\n conv.b.v", R(1)},
      {"push.s 0\n push.s 0\n seq.s.s\n conv.b.v", R(1)},
      {"push.s 3\n push.s 4\n seq.s.s\n conv.b.v", R(1)},
      {"push.s 3\n push.s 8\n sgt.s.s\n conv.b.v", R(1)},
      {"push.s 8\n push.s 3\n sgt.s.s\n conv.b.v", R(1)},
      {"push.v -5 @snull\n push.s 4\n seq.s.v\n conv.b.v", R(1)},
      {"push.v -5 @u\n push.b 0\n seq.b.v\n conv.b.v", R(1)},
      {"push.v -5 @i7\n push.d 7\n seq.d.v\n conv.b.v", R(1)},
      {"push.d 1\n push.s 0\n seq.s.d", E("DoSet :: Invalid comparison type")},
      {"push.l 1\n push.b 1\n seq.b.l", E("DoSet :: Invalid comparison type")},
      {"push.v -5 @arr\n push.d 1\n seq.d.v", E("illegal array use")},
  });
  g_Variables.MathEpsilon = 0.5;
  Check({"push.d 1\n push.d 1.4\n seq.d.d\n conv.b.v", R(1)});
}

TEST_F(VMArith, Conversions) {
  CheckAll({
      {"push.d 2.5\n conv.d.i\n conv.i.v", R(2)},
      {"push.d -2.5\n conv.d.l\n conv.l.v", R(-2)},
      {"push.d 2.5\n conv.d.b\n conv.b.v", R(1)},
      {"push.d 0.5\n conv.d.b\n conv.b.v", R(0)},
      {"push.d 0.1\n conv.d.s\n conv.s.v", T("0.1")},
      {"push.d 1e20\n conv.d.s\n conv.s.v", T("1e+20")},
      {"push.i -4\n conv.i.d\n conv.d.v", R(-4)},
      {"push.i -4\n conv.i.l\n conv.l.v", R(-4)},
      {"push.i -4\n conv.i.b\n conv.b.v", R(0)},
      {"push.i 42\n conv.i.s\n conv.s.v", T("42")},
      {"push.l 4294967297\n conv.l.i\n conv.i.v", R(1)},
      {"push.l 9007199254740993\n conv.l.d\n conv.d.v", R(9007199254740992.0)},
      {"push.l 5000000000\n conv.l.s\n conv.s.v", T("5000000000")},
      {"push.b 1\n conv.b.s\n conv.s.v", T("true")},
      {"push.b 0\n conv.b.d\n conv.d.v", R(0)},
      {"push.b 7\n conv.b.b\n conv.b.v", R(1)},
      {"push.s 5\n conv.s.d\n conv.d.v", R(12)},
      {"push.s 5\n conv.s.i\n conv.i.v", R(12)},
      {"push.s 9\n conv.s.i\n conv.i.v", R(INT_MAX)},
      {"push.s 9\n conv.s.l\n conv.l.v", R(INT_MAX)},
      {"push.s 6\n conv.s.b\n conv.b.v", R(0)},
      {"push.s 7\n conv.s.b\n conv.b.v", R(1)},
      {"push.s 3\n conv.s.d\n conv.d.v", R(0)},
      {"push.v -5 @u\n conv.v.s\n conv.s.v", T("false")},
      {"push.v -5 @u\n conv.v.d\n conv.d.v", R(0)},
      {"push.v -5 @l5\n conv.v.v", R(5)},
      {"push.v -5 @s\n conv.v.v", T("ab")},
      {"push.v -5 @i7\n conv.v.i\n conv.i.v", R(7)},
      {"push.d 1\n conv.d.d", E("DoConv :: Execution Error")},
      {"push.i 1\n conv.i.i", E("DoConv :: Execution Error")},
      {"push.s 0\n conv.s.s", E("DoConv :: Execution Error")},
      {"push.d 1\n conv.d.9", E("DoConv :: Execution Error")},
      {"push.f 1\n conv.f.d", E("DoConv :: Execution Error")},
      {"push.v -5 @p\n conv.v.d", E("illegal pointer use")},
      {"push.v -5 @arr\n conv.v.d", E("illegal array use")},
  });
}

// The exact-integer route of the real remainder gives fmod's bits: signs, zeros of either sign,
// the 32-bit and 2^53 edges, fractions, NaN and infinities.
TEST(VMRealMod, GivesFmodBitForBit) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
  const double values[] = {0.0,   -0.0,   1.0,    -1.0,   3.0,  -3.0,  6.0,   -6.0,  7.0,   -7.0,
                           2.9e7, -2.9e7, 1.5,    -2.25,  1e-10, 1e15, -1e15, 9007199254740991.0,
                           -9007199254740991.0, 9007199254740992.0, -9007199254740992.0, 9007199254740994.0,
                           1e300, 4294967296.0, -2147483648.0, 2147483647.0, 2147483648.0, -2147483649.0,
                           inf, -inf, nan};
  for (double x : values) {
    for (double y : values) {
      if (y == 0.0) continue;  // a zero divisor is the division error, never computed
      const double expected = std::fmod(x, y), got = VMRealMod(x, y);
      if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(got)) << x << " mod " << y;
        continue;
      }
      uint64_t a, b;
      std::memcpy(&a, &expected, 8);
      std::memcpy(&b, &got, 8);
      EXPECT_EQ(a, b) << x << " mod " << y << ": fmod " << expected << ", got " << got;
    }
  }
}

}  // namespace
