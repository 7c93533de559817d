// The machine's computing instructions: binary operators, unary operators, comparisons and type
// conversion. Each reads its operand types from the instruction word, consumes its operands
// from the stack and leaves the result in their place.
#pragma once

#include <cmath>
#include <cstdint>

#include "code/VM_Exec.h"
#include "code/VM_Format.h"

// The six comparisons on the difference g of two operands, with the epsilon band e: values
// whose difference lies within the band are equal. The opcode chooses the comparison.
[[gnu::always_inline]] inline bool VMCompareDifference(uint8_t opcode, double g, double e) {
  switch (opcode) {
    case OP_SLT: return g < -e;
    case OP_SLE: return g <= e;
    case OP_SEQ: return -e <= g && g <= e;
    case OP_SNE: return g < -e || g > e;
    case OP_SGE: return g >= -e;
    default: return g > e;
  }
}

// The longest text a script operator builds (joining, repetition); a longer result is refused
// with the operator's error below, by the machine, the compiler's folding and the tree
// interpreter alike.
constexpr int64_t kVMMaxTextLength = static_cast<int64_t>(INT32_MAX) - 64;
constexpr const char* kVMRepeatTooLong = "DoMul :: Execution Error - repeated text too long";
constexpr const char* kVMJoinTooLong = "DoAdd :: Execution Error - joined text too long";

// Real divisors whose absolute value is below this are a division by zero.
constexpr double kVMDivideThreshold = 1e-10;

// std::fmod(x, y), bit for bit, for a divisor that is not zero: when both are integers of
// magnitude below 2^53 (exact in a double and in an int64) the remainder comes from the integer
// division, which is exact as fmod is, with a zero remainder taking the dividend's sign as fmod
// gives it (-6 mod 3 is -0); anything else (fractions, NaN, infinities) goes to fmod itself.
[[gnu::always_inline]] inline double VMRealMod(double x, double y) {
  constexpr double kExact = 9007199254740992.0;  // 2^53
  if (x > -kExact && x < kExact && y > -kExact && y < kExact) {
    const int64_t a = static_cast<int64_t>(x), b = static_cast<int64_t>(y);
    if (static_cast<double>(a) == x && static_cast<double>(b) == y && b != 0) {
      // The 32-bit division where both fit (a positive divisor: never INT32_MIN by -1) is the
      // same remainder, much sooner.
      const int64_t r = a >= INT32_MIN && a <= INT32_MAX && b > 0 && b <= INT32_MAX
                            ? static_cast<int32_t>(a) % static_cast<int32_t>(b)
                            : a % b;
      if (r != 0) return static_cast<double>(r);
      return std::signbit(x) ? -0.0 : 0.0;
    }
  }
  return std::fmod(x, y);
}

uint8_t* DoConv(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoMul(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoDiv(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoRem(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoMod(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoAdd(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoSub(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoAnd(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoOr(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoXor(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoNeg(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoNot(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoShl(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoShr(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
// slt, sle, seq, sne, sge and sgt: the opcode chooses the comparison.
uint8_t* DoSet(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
