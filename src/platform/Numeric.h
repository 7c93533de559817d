// The program's numeric helpers. Every built-in and the virtual machine convert numbers through
// these, so that each conversion gives the x86 answer and none has undefined behaviour.
#pragma once

#include <emmintrin.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace num {

// Round to nearest, ties to even, in the default rounding mode (never std::round).
inline double RoundHalfEven(double v) { return std::nearbyint(v); }

// Truncation toward zero. NaN and values outside the target's range give the most negative
// integer, as the x86 conversion does.
inline int32_t TruncInt32(double v) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}
inline int64_t TruncInt64(double v) {
  if (!(v >= -9223372036854775808.0 && v < 9223372036854775808.0)) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);
}

// Rounding to nearest (ties to even) into an integer, with the same out-of-range answer.
inline int32_t RoundInt32(double v) { return TruncInt32(RoundHalfEven(v)); }
inline int64_t RoundInt64(double v) { return TruncInt64(RoundHalfEven(v)); }

// Narrowing to single precision with IEEE rounding; out-of-range values become infinities.
inline float ToFloat(double v) { return _mm_cvtss_f32(_mm_cvtsd_ss(_mm_setzero_ps(), _mm_set_sd(v))); }

// Flag tests: most built-ins take a flag as set from 0.5 up, a few only above 0.5.
inline bool IsTrue(double v) { return v >= 0.5; }
inline bool IsTrueStrict(double v) { return v > 0.5; }

// Integer division and remainder, truncating. A zero divisor answers 0 (callers that must report
// it test first); the most negative value divided by -1 gives itself and remainder 0.
inline int32_t DivInt32(int32_t a, int32_t b) {
  if (b == 0) return 0;
  if (b == -1) return static_cast<int32_t>(0u - static_cast<uint32_t>(a));
  return a / b;
}
inline int32_t ModInt32(int32_t a, int32_t b) {
  if (b == 0 || b == -1) return 0;
  return a % b;
}
inline int64_t DivInt64(int64_t a, int64_t b) {
  if (b == 0) return 0;
  if (b == -1) return static_cast<int64_t>(0ull - static_cast<uint64_t>(a));
  return a / b;
}
inline int64_t ModInt64(int64_t a, int64_t b) {
  if (b == 0 || b == -1) return 0;
  return a % b;
}

// The remainder of a by d through d's reciprocal (two multiplications, no division), exact for
// every a and every d from 1 up; the reciprocal is ModReciprocal(d).
inline uint64_t ModReciprocal(uint32_t d) { return UINT64_MAX / d + 1; }
inline uint32_t ModByReciprocal(uint32_t a, uint64_t reciprocal, uint32_t d) {
  const uint64_t low = reciprocal * a;
  return static_cast<uint32_t>((static_cast<unsigned __int128>(low) * d) >> 64);
}

// 32-bit shifts take the count modulo 32, as the processor does.
inline int32_t ShiftLeft32(int32_t v, int64_t count) {
  return static_cast<int32_t>(static_cast<uint32_t>(v) << (static_cast<uint64_t>(count) & 31u));
}
inline int32_t ShiftRight32(int32_t v, int64_t count) {  // arithmetic
  return v >> (static_cast<uint64_t>(count) & 31u);
}
// 64-bit shifts use the count's low 8 bits; counts of 64 or more give 0 (left) or the sign
// fill (right, arithmetic).
inline int64_t ShiftLeft64(int64_t v, int64_t count) {
  uint64_t c = static_cast<uint64_t>(count) & 0xFFu;
  if (c >= 64) return 0;
  return static_cast<int64_t>(static_cast<uint64_t>(v) << c);
}
inline int64_t ShiftRight64(int64_t v, int64_t count) {
  uint64_t c = static_cast<uint64_t>(count) & 0xFFu;
  if (c >= 64) return v < 0 ? -1 : 0;
  return v >> c;
}

// Wrapping integer arithmetic (two's complement, no overflow trap).
inline int32_t WrapAdd32(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); }
inline int32_t WrapSub32(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)); }
inline int32_t WrapMul32(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b)); }
inline int32_t WrapNeg32(int32_t a) { return static_cast<int32_t>(0u - static_cast<uint32_t>(a)); }
inline int64_t WrapAdd64(int64_t a, int64_t b) { return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b)); }
inline int64_t WrapSub64(int64_t a, int64_t b) { return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b)); }
inline int64_t WrapMul64(int64_t a, int64_t b) { return static_cast<int64_t>(static_cast<uint64_t>(a) * static_cast<uint64_t>(b)); }
inline int64_t WrapNeg64(int64_t a) { return static_cast<int64_t>(0ull - static_cast<uint64_t>(a)); }

}  // namespace num
