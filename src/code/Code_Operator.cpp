#include "code/Code_Operator.h"

#include <cmath>
#include <cstring>

#include "code/Code_Error.h"
#include "code/Code_Token.h"
#include "code/VM_Ops.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"

namespace {

bool Fail(CCode* code, int32_t position, const char* message) {
  Code_SetError(code, position, message);
  return false;
}

void StoreReal(ScriptValue* value, double real) {
  ReleaseValue(value);
  SetReal(value, real);
}

// Takes over `text` (a MemoryManager block) as the value's string.
void StoreOwnedString(ScriptValue* value, char* text) {
  ReleaseValue(value);
  SetReal(value, 0.0);
  value->kind = VALUE_STRING;
  value->str = text;
}

const char* TextOf(const ScriptValue* v) { return v->str != nullptr ? v->str : ""; }

bool BothReal(const ScriptValue* a, const ScriptValue* b) {
  return a->Kind() == VALUE_REAL && b->Kind() == VALUE_REAL;
}

// Three-way comparison of two values of one kind: -1, 0 or 1, or 2 when they are unordered
// (a NaN operand).
int Compare(const ScriptValue* a, const ScriptValue* b) {
  switch (a->Kind()) {
    case VALUE_REAL: {
      const double d = a->real - b->real;
      if (d < 0) return -1;
      if (d > 0) return 1;
      if (d == 0) return 0;
      return 2;
    }
    case VALUE_STRING: {
      const int c = std::strcmp(TextOf(a), TextOf(b));  // compares as unsigned characters
      return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case VALUE_INT32:
      return a->i32 < b->i32 ? -1 : (a->i32 > b->i32 ? 1 : 0);
    case VALUE_INT64:
      return a->i64 < b->i64 ? -1 : (a->i64 > b->i64 ? 1 : 0);
    case VALUE_UNDEFINED:
      return 0;
    default:
      // Arrays, pointers and the other kinds compare by their payload (identity).
      return a->bits < b->bits ? -1 : (a->bits > b->bits ? 1 : 0);
  }
}

bool EvalComparison(CCode* code, int32_t position, int32_t op, ScriptValue* left, const ScriptValue* right) {
  if (left->Kind() != right->Kind()) return Fail(code, position, "Cannot compare arguments.");
  const int c = Compare(left, right);
  bool result = false;
  if (c == 2) {
    result = op == TOKEN_NOT_EQUAL;
  } else {
    switch (op) {
      case TOKEN_ASSIGN:
      case TOKEN_EQUAL: result = c == 0; break;
      case TOKEN_NOT_EQUAL: result = c != 0; break;
      case TOKEN_LESS: result = c < 0; break;
      case TOKEN_LESS_EQUAL: result = c <= 0; break;
      case TOKEN_GREATER_EQUAL: result = c >= 0; break;
      default: result = c > 0; break;  // TOKEN_GREATER
    }
  }
  StoreReal(left, result ? 1.0 : 0.0);
  return true;
}

// The repeat count of real * string: the real rounded to nearest, none for n <= 0.
uint64_t RepeatCount(const ScriptValue* left) {
  const int32_t n = num::RoundInt32(left->real);
  return n > 0 ? static_cast<uint64_t>(n) : 0;
}

// real * string: the text repeated RepeatCount times. A result longer than the machine allows is
// refused with the machine's error.
bool RepeatText(CCode* code, int32_t position, ScriptValue* left, const ScriptValue* right) {
  const char* text = TextOf(right);
  const uint64_t length = std::strlen(text);
  const uint64_t count = RepeatCount(left);
  if (length > 0 && count > static_cast<uint64_t>(kVMMaxTextLength) / length) {
    return Fail(code, position, kVMRepeatTooLong);
  }
  char* result = MemoryManager::NewText(length * count);
  for (uint64_t i = 0; i < count && length > 0; ++i) std::memcpy(result + i * length, text, length);
  StoreOwnedString(left, result);
  return true;
}

bool JoinTexts(CCode* code, int32_t position, ScriptValue* left, const ScriptValue* right) {
  const char* a = TextOf(left);
  const char* b = TextOf(right);
  const uint64_t la = std::strlen(a);
  const uint64_t lb = std::strlen(b);
  if (la + lb > static_cast<uint64_t>(kVMMaxTextLength)) return Fail(code, position, kVMJoinTooLong);
  char* result = MemoryManager::NewText(la + lb);
  std::memcpy(result, a, la);
  std::memcpy(result + la, b, lb);
  StoreOwnedString(left, result);
  return true;
}

// a - b * t with t = a / b truncated to a 32-bit integer; the sign of a. When the quotient does
// not fit in 32 bits (or b is not finite) the exact remainder is taken instead.
double Modulo(double a, double b) {
  const double q = a / b;
  if (std::isfinite(b) && q > -2147483649.0 && q < 2147483648.0) {
    const double t = num::TruncInt32(q);
    return a - b * t;
  }
  return std::fmod(a, b);
}

}  // namespace

bool EvalUnaryOperator(CCode* code, int32_t position, int32_t op, ScriptValue* value) {
  if (value->Kind() != VALUE_REAL) return Fail(code, position, "Wrong type of arguments to unary operator.");
  switch (op) {
    case TOKEN_NOT:
      value->real = num::IsTrue(value->real) ? 0.0 : 1.0;
      return true;
    case TOKEN_PLUS:
      return true;
    case TOKEN_MINUS:
      value->real = -value->real;
      return true;
    case TOKEN_BIT_NOT:
      value->real = static_cast<double>(~num::RoundInt32(value->real));
      return true;
    default:
      return Fail(code, position, "Internal error: unknown unary operator.");
  }
}

uint64_t BinaryTextLength(int32_t op, const ScriptValue* left, const ScriptValue* right) {
  if (op == TOKEN_PLUS && left->Kind() == VALUE_STRING && right->Kind() == VALUE_STRING) {
    return static_cast<uint64_t>(std::strlen(TextOf(left))) + std::strlen(TextOf(right));
  }
  if (op == TOKEN_TIMES && left->Kind() == VALUE_REAL && right->Kind() == VALUE_STRING) {
    const uint64_t length = std::strlen(TextOf(right));
    const uint64_t count = RepeatCount(left);
    if (length > 0 && count > UINT64_MAX / length) return UINT64_MAX;
    return length * count;
  }
  return 0;
}

bool EvalBinaryOperator(CCode* code, int32_t position, int32_t op, ScriptValue* left, const ScriptValue* right) {
  switch (op) {
    case TOKEN_ASSIGN:
    case TOKEN_EQUAL:
    case TOKEN_NOT_EQUAL:
    case TOKEN_LESS:
    case TOKEN_LESS_EQUAL:
    case TOKEN_GREATER_EQUAL:
    case TOKEN_GREATER:
      return EvalComparison(code, position, op, left, right);

    case TOKEN_AND:
    case TOKEN_OR:
    case TOKEN_XOR: {
      if (!BothReal(left, right)) {
        return Fail(code, position,
                    op == TOKEN_AND  ? "Wrong type of arguments for &&."
                    : op == TOKEN_OR ? "Wrong type of arguments for ||."
                                     : "Wrong type of arguments for ^^.");
      }
      const bool a = num::IsTrue(left->real);
      const bool b = num::IsTrue(right->real);
      const bool result = op == TOKEN_AND ? (a && b) : op == TOKEN_OR ? (a || b) : (a != b);
      left->real = result ? 1.0 : 0.0;
      return true;
    }

    case TOKEN_PLUS:
      if (BothReal(left, right)) {
        left->real = left->real + right->real;
        return true;
      }
      if (left->Kind() == VALUE_STRING && right->Kind() == VALUE_STRING) return JoinTexts(code, position, left, right);
      return Fail(code, position, "Wrong type of arguments to +.");

    case TOKEN_MINUS:
      if (!BothReal(left, right)) return Fail(code, position, "Wrong type of arguments to -.");
      left->real = left->real - right->real;
      return true;

    case TOKEN_TIMES:
      if (BothReal(left, right)) {
        left->real = left->real * right->real;
        return true;
      }
      if (left->Kind() == VALUE_REAL && right->Kind() == VALUE_STRING) return RepeatText(code, position, left, right);
      return Fail(code, position, "Wrong type of arguments to *.");

    case TOKEN_DIVIDE:
      if (!BothReal(left, right)) return Fail(code, position, "Wrong type of arguments to /.");
      if (right->real == 0.0) return Fail(code, position, "Division by 0.");
      left->real = left->real / right->real;
      return true;

    case TOKEN_INT_DIVIDE: {
      if (!BothReal(left, right)) return Fail(code, position, "Wrong type of arguments to div.");
      const int32_t b = num::TruncInt32(right->real);
      if (b == 0) return Fail(code, position, "Division by 0.");
      // In 64 bits, so -2147483648 div -1 is 2147483648 rather than a trap.
      left->real = static_cast<double>(num::DivInt64(num::TruncInt32(left->real), b));
      return true;
    }

    case TOKEN_MODULO:
      if (!BothReal(left, right)) return Fail(code, position, "Wrong type of arguments to mod.");
      if (right->real == 0.0) return Fail(code, position, "Modulo by 0.");
      left->real = Modulo(left->real, right->real);
      return true;

    case TOKEN_BIT_OR:
    case TOKEN_BIT_AND:
    case TOKEN_BIT_XOR: {
      if (!BothReal(left, right)) {
        return Fail(code, position,
                    op == TOKEN_BIT_OR    ? "Wrong type of arguments for |."
                    : op == TOKEN_BIT_AND ? "Wrong type of arguments for &."
                                          : "Wrong type of arguments for ^.");
      }
      const int32_t a = num::RoundInt32(left->real);
      const int32_t b = num::RoundInt32(right->real);
      const int32_t result = op == TOKEN_BIT_OR ? (a | b) : op == TOKEN_BIT_AND ? (a & b) : (a ^ b);
      left->real = static_cast<double>(result);
      return true;
    }

    case TOKEN_SHIFT_LEFT:
    case TOKEN_SHIFT_RIGHT: {
      if (!BothReal(left, right)) {
        return Fail(code, position,
                    op == TOKEN_SHIFT_LEFT ? "Wrong type of arguments for <<." : "Wrong type of arguments for >>.");
      }
      const int32_t a = num::RoundInt32(left->real);
      const int32_t b = num::RoundInt32(right->real);
      left->real = static_cast<double>(op == TOKEN_SHIFT_LEFT ? num::ShiftLeft32(a, b) : num::ShiftRight32(a, b));
      return true;
    }

    default:
      return Fail(code, position, "Internal error: unknown binary operator.");
  }
}
