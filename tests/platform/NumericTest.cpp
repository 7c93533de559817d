#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/Numeric.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kDenormMin = std::numeric_limits<double>::denorm_min();
constexpr int32_t kI32Min = std::numeric_limits<int32_t>::min();
constexpr int32_t kI32Max = std::numeric_limits<int32_t>::max();
constexpr int64_t kI64Min = std::numeric_limits<int64_t>::min();
constexpr int64_t kI64Max = std::numeric_limits<int64_t>::max();
// The largest double below 2^63, and the next one below -2^63.
constexpr double kBelow2p63 = 9223372036854774784.0;
constexpr double kBelowMinus2p63 = -9223372036854777856.0;

TEST(Numeric, TruncationGivesTheMostNegativeIntegerOutsideTheRange) {
  struct Case {
    double in;
    int32_t out32;
    int64_t out64;
  };
  const Case cases[] = {
      {kNaN, kI32Min, kI64Min},
      {kInf, kI32Min, kI64Min},
      {-kInf, kI32Min, kI64Min},
      {0.0, 0, 0},
      {-0.0, 0, 0},
      {kDenormMin, 0, 0},
      {-kDenormMin, 0, 0},
      {1.9, 1, 1},
      {-1.9, -1, -1},
      {0.5, 0, 0},
      {-2.5, -2, -2},
      {2147483647.0, kI32Max, 2147483647},
      {2147483647.99, kI32Max, 2147483647},
      {2147483648.0, kI32Min, 2147483648LL},
      {-2147483648.0, kI32Min, -2147483648LL},
      {-2147483648.99, kI32Min, -2147483648LL},
      {-2147483649.0, kI32Min, -2147483649LL},
      {kBelow2p63, kI32Min, 9223372036854774784LL},
      {9223372036854775808.0, kI32Min, kI64Min},
      {-9223372036854775808.0, kI32Min, kI64Min},
      {kBelowMinus2p63, kI32Min, kI64Min},
      {1e300, kI32Min, kI64Min},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(num::TruncInt32(c.in), c.out32);
    EXPECT_EQ(num::TruncInt64(c.in), c.out64);
  }
}

TEST(Numeric, RoundingIsHalfToEven) {
  struct Case {
    double in;
    double out;
  };
  const Case cases[] = {
      {0.5, 0.0},   {1.5, 2.0},   {2.5, 2.0},   {3.5, 4.0},
      {-0.5, -0.0}, {-1.5, -2.0}, {-2.5, -2.0}, {0.49999999999999994, 0.0},
      {-0.0, -0.0}, {kInf, kInf}, {-kInf, -kInf}, {kDenormMin, 0.0},
      {4503599627370497.0, 4503599627370497.0},  // 2^52 + 1: already whole
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    const double r = num::RoundHalfEven(c.in);
    EXPECT_EQ(r, c.out);
    EXPECT_EQ(std::signbit(r), std::signbit(c.out));
  }
  EXPECT_TRUE(std::isnan(num::RoundHalfEven(kNaN)));
}

TEST(Numeric, RoundingIntoIntegers) {
  struct Case {
    double in;
    int32_t out32;
    int64_t out64;
  };
  const Case cases[] = {
      {kNaN, kI32Min, kI64Min},
      {kInf, kI32Min, kI64Min},
      {-kInf, kI32Min, kI64Min},
      {2.5, 2, 2},
      {-2.5, -2, -2},
      {-3.5, -4, -4},
      {0.5, 0, 0},
      {-0.5, 0, 0},
      {2147483647.4, kI32Max, 2147483647},
      {2147483647.5, kI32Min, 2147483648LL},     // rounds to 2^31: out of range
      {-2147483648.5, kI32Min, -2147483648LL},   // ties to the even -2^31: still in range
      {-2147483649.5, kI32Min, -2147483650LL},
      {kBelow2p63, kI32Min, 9223372036854774784LL},
      {9223372036854775808.0, kI32Min, kI64Min},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(num::RoundInt32(c.in), c.out32);
    EXPECT_EQ(num::RoundInt64(c.in), c.out64);
  }
}

TEST(Numeric, NarrowingToFloatRoundsAndOverflowsToInfinity) {
  struct Case {
    double in;
    float out;
  };
  const Case cases[] = {
      {1e39, std::numeric_limits<float>::infinity()},
      {-1e39, -std::numeric_limits<float>::infinity()},
      {3.4028235e38, FLT_MAX},  // within half an ulp of the largest float
      {3.4028236e38, std::numeric_limits<float>::infinity()},
      {0.1, 0.1f},
      {1e-40, 1e-40f},  // a float denormal survives (no flush to zero)
      {1e-45, std::numeric_limits<float>::denorm_min()},
      {1e-46, 0.0f},
      {kDenormMin, 0.0f},
      {-kDenormMin, -0.0f},
      {-0.0, -0.0f},
      {16777217.0, 16777216.0f},  // 2^24 + 1: tie to even
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    const float f = num::ToFloat(c.in);
    EXPECT_EQ(f, c.out);
    EXPECT_EQ(std::signbit(f), std::signbit(c.out));
  }
  EXPECT_NE(num::ToFloat(1e-40), 0.0f);
  EXPECT_TRUE(std::isnan(num::ToFloat(kNaN)));
}

TEST(Numeric, FlagTests) {
  struct Case {
    double in;
    bool loose;
    bool strict;
  };
  const Case cases[] = {
      {0.5, true, false},   {0.49999999999999994, false, false}, {0.5000000000000001, true, true},
      {kNaN, false, false}, {kInf, true, true},                  {-kInf, false, false},
      {-1.0, false, false}, {0.0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(num::IsTrue(c.in), c.loose);
    EXPECT_EQ(num::IsTrueStrict(c.in), c.strict);
  }
}

TEST(Numeric, IntegerDivisionTruncatesAndNeverTraps) {
  struct Case32 {
    int32_t a, b, div, mod;
  };
  const Case32 cases32[] = {
      {kI32Min, -1, kI32Min, 0}, {kI32Max, -1, -kI32Max, 0}, {kI32Min, 1, kI32Min, 0},
      {7, -2, -3, 1},            {-7, 2, -3, -1},            {-7, -2, 3, -1},
      {5, 0, 0, 0},              {kI32Min, 0, 0, 0},         {kI32Min, kI32Min, 1, 0},
  };
  for (const Case32& c : cases32) {
    SCOPED_TRACE(testing::Message() << c.a << " / " << c.b);
    EXPECT_EQ(num::DivInt32(c.a, c.b), c.div);
    EXPECT_EQ(num::ModInt32(c.a, c.b), c.mod);
  }
  struct Case64 {
    int64_t a, b, div, mod;
  };
  const Case64 cases64[] = {
      {kI64Min, -1, kI64Min, 0}, {kI64Max, -1, -kI64Max, 0}, {7, -2, -3, 1},
      {-7, 2, -3, -1},           {5, 0, 0, 0},               {kI64Min, 0, 0, 0},
      {kI64Min, 3, -3074457345618258602LL, -2},
  };
  for (const Case64& c : cases64) {
    SCOPED_TRACE(testing::Message() << c.a << " / " << c.b);
    EXPECT_EQ(num::DivInt64(c.a, c.b), c.div);
    EXPECT_EQ(num::ModInt64(c.a, c.b), c.mod);
  }
}

TEST(Numeric, RemainderThroughTheReciprocalIsExact) {
  const uint32_t divisors[] = {1, 2, 3, 7, 10, 641, 65535, 65536, 2147483647u, 2147483648u, 3000000019u, 4294967295u};
  uint64_t seed = 88172645463325252ull;
  for (const uint32_t d : divisors) {
    const uint64_t reciprocal = num::ModReciprocal(d);
    std::vector<uint32_t> values = {0, 1, d - 1, d, d + 1, 2 * d - 1, 2 * d, 4294967295u, 4294967294u, 2147483648u};
    for (int k = 0; k < 20000; ++k) {
      seed ^= seed << 13;
      seed ^= seed >> 7;
      seed ^= seed << 17;
      values.push_back(static_cast<uint32_t>(seed >> (k % 3 == 0 ? 40 : 32)));
    }
    for (const uint32_t a : values) {
      ASSERT_EQ(num::ModByReciprocal(a, reciprocal, d), a % d) << a << " mod " << d;
    }
  }
}

TEST(Numeric, ThirtyTwoBitShiftsTakeTheCountModulo32) {
  struct Case {
    int32_t v;
    int64_t count;
    int32_t left, right;
  };
  const Case cases[] = {
      {1, 0, 1, 1},
      {1, 31, kI32Min, 0},
      {1, 32, 1, 1},
      {1, 33, 2, 0},
      {1, 63, kI32Min, 0},
      {1, 64, 1, 1},
      {1, 255, kI32Min, 0},
      {1, 256, 1, 1},
      {1, -1, kI32Min, 0},  // -1 & 31 = 31
      {kI32Min, 31, 0, -1},
      {kI32Min, 32, kI32Min, kI32Min},
      {-8, 1, -16, -4},
      {-1, 255, kI32Min, -1},
      {0x40000000, 30, 0, 1},
      {-1, kI64Min, -1, -1},  // count 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.v << " by " << c.count);
    EXPECT_EQ(num::ShiftLeft32(c.v, c.count), c.left);
    EXPECT_EQ(num::ShiftRight32(c.v, c.count), c.right);
  }
}

TEST(Numeric, SixtyFourBitShiftsUseTheLowEightBitsOfTheCount) {
  struct Case {
    int64_t v;
    int64_t count;
    int64_t left, right;
  };
  const Case cases[] = {
      {1, 0, 1, 1},
      {1, 31, 0x80000000LL, 0},
      {1, 32, 0x100000000LL, 0},
      {1, 63, kI64Min, 0},
      {1, 64, 0, 0},
      {-1, 64, 0, -1},
      {kI64Min, 63, 0, -1},
      {kI64Min, 64, 0, -1},
      {kI64Max, 64, 0, 0},
      {1, 255, 0, 0},
      {-5, 255, 0, -1},
      {1, 256, 1, 1},  // low 8 bits: 0
      {-8, 256, -8, -8},
      {1, 257, 2, 0},
      {1, -1, 0, 0},  // low 8 bits: 255
      {-5, -1, 0, -1},
      {1, -193, kI64Min, 0},  // low 8 bits: 63
      {-8, 1, -16, -4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.v << " by " << c.count);
    EXPECT_EQ(num::ShiftLeft64(c.v, c.count), c.left);
    EXPECT_EQ(num::ShiftRight64(c.v, c.count), c.right);
  }
}

TEST(Numeric, WrappingArithmetic) {
  EXPECT_EQ(num::WrapAdd32(kI32Max, 1), kI32Min);
  EXPECT_EQ(num::WrapSub32(kI32Min, 1), kI32Max);
  EXPECT_EQ(num::WrapMul32(65536, 65536), 0);
  EXPECT_EQ(num::WrapMul32(kI32Min, -1), kI32Min);
  EXPECT_EQ(num::WrapMul32(-3, 7), -21);
  EXPECT_EQ(num::WrapNeg32(kI32Min), kI32Min);
  EXPECT_EQ(num::WrapNeg32(5), -5);
  EXPECT_EQ(num::WrapAdd64(kI64Max, 1), kI64Min);
  EXPECT_EQ(num::WrapSub64(kI64Min, 1), kI64Max);
  EXPECT_EQ(num::WrapMul64(int64_t{1} << 32, int64_t{1} << 32), 0);
  EXPECT_EQ(num::WrapMul64(kI64Min, -1), kI64Min);
  EXPECT_EQ(num::WrapNeg64(kI64Min), kI64Min);
  EXPECT_EQ(num::WrapNeg64(-9), 9);
}

}  // namespace
