#include "code/VM_Ops.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "code/VM_Stack.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"
#include "variable/Variable_State.h"

namespace {

using vm::Load;

// The type an operand has after typing; kNone marks a type no operator accepts (.f).
constexpr uint8_t kNone = 0xFF;

// How a ".v" operand is typed: the arithmetic and bitwise operators, the comparisons, the
// conversion, and the two unary operators (which word some errors differently).
enum class Typing { Arith, Set, Conv, Neg, Not };

struct OpInfo {
  const char* name;       // "DoSub"
  const char* execError;  // the operator's execution-error text
  bool stringOk;          // texts are operands of this operator (add, mul)
  const char* malformed;  // the text for an unknown value kind
};

const OpInfo kAdd{"DoAdd", "DoAdd :: Execution Error", true, "Malformed variable"};
const OpInfo kSub{"DoSub", "DoSub:: Execution Error", false, "Malformed variable"};
const OpInfo kMul{"DoMul", "DoMul :: Execution Error", true, "Variable is malformed"};
const OpInfo kDiv{"DoDiv", "DoDiv :: Execution Error", false, "Malformed variable"};
const OpInfo kRem{"DoRem", "DoRem :: Execution Error", false, "Malformed variable"};
const OpInfo kMod{"DoMod", "DoMod :: Execution Error", false, "Malformed variable"};
const OpInfo kAnd{"DoAnd", "DoAnd :: Execution Error", false, "Malformed variable"};
const OpInfo kOr{"DoOr", "DoOr :: Execution Error", false, "Malformed variable"};
const OpInfo kXor{"DoXor", "DoXor :: Execution Error", false, "Malformed variable"};
const OpInfo kShl{"DoShl", "DoShl :: Execution Error", false, "Malformed variable"};
const OpInfo kShr{"DoShr", "DoShr :: Execution Error", false, "Malformed variable"};
const OpInfo kNeg{"DoNeg", "DoNeg :: Execution Error", false, "Malformed variable"};
const OpInfo kNot{"DoNot", "DoNot :: Execution Error", false, "Malformed variable"};
const OpInfo kSet{"DoSet", "DoSet :: Invalid comparison type", true, "Malformed variable"};
const OpInfo kConv{"DoConv", "DoConv :: Execution Error", true, "Malformed variable"};

// One operand as read from the stack. Nothing is taken from the stack until Consume.
struct Operand {
  uint8_t stackType = kNone;  // the item's type in the instruction word
  uint8_t type = kNone;       // after typing a whole value
  int32_t size = 0;           // stack bytes
  double d = 0.0;
  int32_t i = 0;
  int64_t l = 0;
  const char* s = nullptr;    // the text (not owned here)
  uint32_t handle = 0;        // a raw text's handle
  ScriptValue v{};            // a whole value (owned by the stack until consumed)
  bool IsValue() const { return stackType == VT_VAR; }
};

struct Result {
  uint8_t type = kNone;  // VT_DOUBLE, VT_INT, VT_LONG, VT_BOOL or VT_STRING
  double d = 0.0;
  int32_t i = 0;
  int64_t l = 0;
  char* s = nullptr;  // a new text
};

bool Fail(VMExecContext* c, const char* text) {
  return VM_Fail(c, false, "%s", text);
}

bool StringTypeError(VMExecContext* c, const OpInfo& op) {
  return VM_Fail(c, false, "%s :: Execution Engine - Cannot operate on string type", op.name);
}

// Types a whole value by its kind.
bool TypeValue(VMExecContext* c, const OpInfo& op, Typing typing, Operand* o) {
  const ScriptValue& v = o->v;
  switch (v.Kind()) {
    case VALUE_REAL:
      o->type = VT_DOUBLE;
      o->d = v.real;
      return true;
    case VALUE_STRING:
      if (!op.stringOk) return StringTypeError(c, op);
      o->type = VT_STRING;
      o->s = v.str;
      return true;
    case VALUE_ARRAY: return Fail(c, "illegal array use");
    case VALUE_INT64:
      o->type = VT_LONG;
      o->l = v.i64;
      return true;
    case VALUE_INT32:
      o->type = VT_INT;
      o->i = v.i32;
      return true;
    case VALUE_UNDEFINED:
      if (typing == Typing::Set || typing == Typing::Conv) {
        o->type = VT_BOOL;
        o->i = 0;
        return true;
      }
      return Fail(c, typing == Typing::Not ? "Malformed variable" : "undefined value");
    case VALUE_PTR:
      if (typing == Typing::Set) {
        o->type = VT_INT;
        o->i = static_cast<int32_t>(static_cast<uint32_t>(v.bits));
        return true;
      }
      return Fail(c, typing == Typing::Not ? "Malformed variable" : "illegal pointer use");
    default: return Fail(c, op.malformed);
  }
}

// Reads the operand at p of stack type `type`. False after a fatal error.
bool ReadOperand(VMExecContext* c, const uint8_t* p, uint8_t type, const OpInfo& op, Typing typing, Operand* o) {
  o->stackType = type;
  o->size = VMStackSize(type);
  switch (type) {
    case VT_DOUBLE:
      o->type = VT_DOUBLE;
      o->d = Load<double>(p);
      return true;
    case VT_INT:
    case VT_BOOL:
      o->type = type;
      o->i = Load<int32_t>(p);
      return true;
    case VT_LONG:
      o->type = VT_LONG;
      o->l = Load<int64_t>(p);
      return true;
    case VT_STRING:
      if (!op.stringOk) return StringTypeError(c, op);
      o->handle = Load<uint32_t>(p);
      if (!vm::StringPeek(c, o->handle, &o->s)) return Fail(c, op.execError);
      o->type = VT_STRING;
      return true;
    case VT_VAR:
      if (*vm::TagAt(c, p) != vm::TAG_VALUE) return Fail(c, op.execError);
      o->v = vm::LoadValue(p);
      return TypeValue(c, op, typing, o);
    default:
      o->type = kNone;  // .f: accepted by no operator
      return true;
  }
}

// Takes the operand off the stack: a whole value is released, a text freed.
void Consume(VMExecContext* c, Operand* o) {
  if (o->IsValue()) {
    ReleaseValue(&o->v);
  } else if (o->stackType == VT_STRING) {
    char* text = nullptr;
    if (vm::StringTake(c, o->handle, &text)) MemoryManager::Free(text);
  }
}

// Pushes the result: a whole value when `asValue`, else a raw item of its type.
uint8_t* PushResult(VMExecContext* c, uint8_t* sp, const Result& r, bool asValue) {
  if (asValue) {
    ScriptValue v;
    std::memset(&v, 0, sizeof(v));
    switch (r.type) {
      case VT_DOUBLE: SetReal(&v, r.d); break;
      case VT_LONG: v.i64 = r.l; v.kind = VALUE_INT64; break;
      case VT_STRING: v.str = r.s; v.kind = VALUE_STRING; break;
      default: v.i32 = r.i; v.kind = VALUE_INT32; break;
    }
    return vm::PushValue(c, sp, v);
  }
  switch (r.type) {
    case VT_DOUBLE: return vm::PushF64(c, sp, r.d);
    case VT_LONG: return vm::PushI64(c, sp, r.l);
    case VT_STRING: return vm::PushString(c, sp, r.s);
    default: return vm::PushI32(c, sp, r.i);
  }
}

bool IsNumber(uint8_t t) { return t == VT_DOUBLE || t == VT_INT || t == VT_LONG; }
bool IsInteger(uint8_t t) { return t == VT_INT || t == VT_LONG; }
double AsDouble(const Operand& o) {
  switch (o.type) {
    case VT_DOUBLE: return o.d;
    case VT_LONG: return static_cast<double>(o.l);
    default: return o.i;
  }
}
int64_t AsInt64(const Operand& o) { return o.type == VT_LONG ? o.l : o.i; }

enum class Bin { Add, Sub, Mul, Div, Rem, Mod, And, Or, Xor, Shl, Shr };

// Computes left OP right after typing. False after a fatal error.
bool Compute(VMExecContext* c, Bin bin, const OpInfo& op, const Operand& a, const Operand& b, Result* r) {
  const bool realPair = IsNumber(a.type) && IsNumber(b.type) && (a.type == VT_DOUBLE || b.type == VT_DOUBLE);
  const bool int32Pair = a.type == VT_INT && b.type == VT_INT;
  const bool int64Pair = IsInteger(a.type) && IsInteger(b.type) && !int32Pair;
  const bool boolPair = a.type == VT_BOOL && b.type == VT_BOOL;
  const double x = AsDouble(a), y = AsDouble(b);
  const int64_t lx = AsInt64(a), ly = AsInt64(b);
  auto real = [r](double v) { r->type = VT_DOUBLE; r->d = v; return true; };
  auto i32 = [r](int32_t v) { r->type = VT_INT; r->i = v; return true; };
  auto i64 = [r](int64_t v) { r->type = VT_LONG; r->l = v; return true; };
  auto boolean = [r](bool v) { r->type = VT_BOOL; r->i = v ? 1 : 0; return true; };

  switch (bin) {
    case Bin::Add:
      if (realPair) return real(x + y);
      if (int32Pair) return i32(num::WrapAdd32(a.i, b.i));
      if (int64Pair) return i64(num::WrapAdd64(lx, ly));
      if (a.type == VT_STRING && b.type == VT_STRING) {
        const size_t la = a.s ? std::strlen(a.s) : 0, lb = b.s ? std::strlen(b.s) : 0;
        if (static_cast<int64_t>(la) + static_cast<int64_t>(lb) > kVMMaxTextLength) return Fail(c, kVMJoinTooLong);
        char* text = MemoryManager::NewText(la + lb);
        if (la) std::memcpy(text, a.s, la);
        if (lb) std::memcpy(text + la, b.s, lb);
        r->type = VT_STRING;
        r->s = text;
        return true;
      }
      break;
    case Bin::Sub:
      if (realPair) return real(x - y);
      if (int32Pair) return i32(num::WrapSub32(a.i, b.i));
      if (int64Pair) return i64(num::WrapSub64(lx, ly));
      break;
    case Bin::Mul:
      if (realPair) return real(x * y);
      if (int32Pair) return i32(num::WrapMul32(a.i, b.i));
      if (int64Pair) return i64(num::WrapMul64(lx, ly));
      if ((a.type == VT_DOUBLE || a.type == VT_INT) && b.type == VT_STRING) {
        // Repetition: the text n times.
        const int64_t n = a.type == VT_DOUBLE ? num::TruncInt64(a.d) : a.i;
        const int64_t length = b.s ? static_cast<int64_t>(std::strlen(b.s)) : 0;
        const int64_t count = n > 0 ? n : 0;
        if (length > 0 && count > kVMMaxTextLength / length) return Fail(c, kVMRepeatTooLong);
        char* text = MemoryManager::NewText(static_cast<size_t>(count * length));
        for (int64_t k = 0; k < count && length > 0; ++k) std::memcpy(text + k * length, b.s, static_cast<size_t>(length));
        r->type = VT_STRING;
        r->s = text;
        return true;
      }
      break;
    case Bin::Div:
      if (realPair) {
        if (std::fabs(y) < kVMDivideThreshold) return Fail(c, "DoDiv :: Divide by zero");
        return real(x / y);
      }
      if (int32Pair || int64Pair) {
        if (ly == 0) return Fail(c, "DoDiv :: Divide by zero");
        return int32Pair ? i32(num::DivInt32(a.i, b.i)) : i64(num::DivInt64(lx, ly));
      }
      break;
    case Bin::Rem:
      if (realPair) {
        const int64_t divisor = b.type == VT_DOUBLE ? num::TruncInt64(b.d) : ly;
        if (divisor == 0) return Fail(c, "DoRem :: Divide by zero");
        const int64_t dividend = a.type == VT_DOUBLE ? num::TruncInt64(a.d) : lx;
        return real(static_cast<double>(num::DivInt64(dividend, divisor)));
      }
      if (int32Pair || int64Pair) {
        if (ly == 0) return Fail(c, "DoRem :: Divide by zero");
        return int32Pair ? i32(num::DivInt32(a.i, b.i)) : i64(num::DivInt64(lx, ly));
      }
      break;
    case Bin::Mod:
      if (realPair) {
        if (std::fabs(y) < kVMDivideThreshold) return Fail(c, "DoMod :: Divide by zero");
        return real(std::fmod(x, y));
      }
      if (int32Pair || int64Pair) {
        if (ly == 0) return Fail(c, "DoMod :: Divide by zero");
        return int32Pair ? i32(num::ModInt32(a.i, b.i)) : i64(num::ModInt64(lx, ly));
      }
      break;
    case Bin::And:
    case Bin::Or:
    case Bin::Xor: {
      auto combine = [bin](int64_t p, int64_t q) -> int64_t {
        return bin == Bin::And ? (p & q) : bin == Bin::Or ? (p | q) : (p ^ q);
      };
      if (realPair) {
        const int64_t p = a.type == VT_DOUBLE ? num::TruncInt64(a.d) : lx;
        const int64_t q = b.type == VT_DOUBLE ? num::TruncInt64(b.d) : ly;
        return real(static_cast<double>(combine(p, q)));
      }
      if (int32Pair) return i32(static_cast<int32_t>(combine(a.i, b.i)));
      if (int64Pair) return i64(combine(lx, ly));
      if (boolPair) {
        if (bin == Bin::And) return boolean(a.i == 1 && b.i == 1);
        if (bin == Bin::Or) return boolean(a.i == 1 || b.i == 1);
        return boolean((a.i != 0) != (b.i != 0));
      }
      break;
    }
    case Bin::Shl:
    case Bin::Shr: {
      const bool left = bin == Bin::Shl;
      if (realPair) {
        const int64_t count = b.type == VT_DOUBLE ? num::TruncInt64(b.d) : ly;
        if (a.type == VT_INT) {
          return real(left ? num::ShiftLeft32(a.i, count) : num::ShiftRight32(a.i, count));
        }
        const int64_t value = a.type == VT_DOUBLE ? num::TruncInt64(a.d) : lx;
        return real(static_cast<double>(left ? num::ShiftLeft64(value, count) : num::ShiftRight64(value, count)));
      }
      if (int32Pair) return i32(left ? num::ShiftLeft32(a.i, b.i) : num::ShiftRight32(a.i, b.i));
      if (int64Pair) return i64(left ? num::ShiftLeft64(lx, ly) : num::ShiftRight64(lx, ly));
      break;
    }
  }
  return Fail(c, op.execError);
}

// The common frame of the binary operators: the right operand (t1) is the top item, the left
// one (t2) the item below it.
uint8_t* Binary(uint32_t word, uint8_t* sp, VMExecContext* c, Bin bin, const OpInfo& op) {
  const uint8_t rightType = WordT1(word), leftType = WordT2(word);
  const int32_t rightSize = VMStackSize(rightType), leftSize = VMStackSize(leftType);
  if (rightSize == 0 || leftSize == 0 || vm::Used(c, sp) < rightSize + leftSize) {
    Fail(c, op.execError);
    return sp;
  }
  Operand right, left;
  if (!ReadOperand(c, sp, rightType, op, Typing::Arith, &right)) return sp;
  if (!ReadOperand(c, sp + rightSize, leftType, op, Typing::Arith, &left)) return sp;
  Result result;
  if (!Compute(c, bin, op, left, right, &result)) return sp;
  Consume(c, &right);
  Consume(c, &left);
  return PushResult(c, sp + rightSize + leftSize, result, left.IsValue() || right.IsValue());
}

// strcmp order, with a null text equal to an empty one and, against a non-empty text, above it
// on either side.
int CompareTexts(const char* a, const char* b) {
  const bool emptyA = a == nullptr || *a == '\0', emptyB = b == nullptr || *b == '\0';
  if (emptyA && emptyB) return 0;
  if (a == nullptr || b == nullptr) return 1;
  return std::strcmp(a, b);
}

bool CompareOrder(uint8_t opcode, int r) {
  switch (opcode) {
    case OP_SLT: return r < 0;
    case OP_SLE: return r <= 0;
    case OP_SEQ: return r == 0;
    case OP_SNE: return r != 0;
    case OP_SGE: return r >= 0;
    default: return r > 0;
  }
}

// Writes a value back in place with a new payload, keeping its kind and spare word.
void StoreValue(VMExecContext*, uint8_t* p, ScriptValue v) { vm::Store(p, v); }

// Text to number as the C library's atoi/atol read it, held to the 32-bit range.
int32_t TextToInt32(const char* text) {
  if (text == nullptr) return 0;
  const long long v = std::strtoll(text, nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace

uint8_t* DoAdd(uint32_t w, uint8_t* sp, const uint8_t*, VMExecContext* c) { return Binary(w, sp, c, Bin::Add, kAdd); }
uint8_t* DoSub(uint32_t w, uint8_t* sp, const uint8_t*, VMExecContext* c) { return Binary(w, sp, c, Bin::Sub, kSub); }
uint8_t* DoMul(uint32_t w, uint8_t* sp, const uint8_t*, VMExecContext* c) { return Binary(w, sp, c, Bin::Mul, kMul); }
uint8_t* DoDiv(uint32_t w, uint8_t* sp, const uint8_t*, VMExecContext* c) { return Binary(w, sp, c, Bin::Div, kDiv); }
uint8_t* DoRem(uint32_t w, uint8_t* sp, const uint8_t*, VMExecContext* c) { return Binary(w, sp, c, Bin::Rem, kRem); }
uint8_t* DoMod(uint32_t w, uint8_t* sp, const uint8_t*, VMExecContext* c) { return Binary(w, sp, c, Bin::Mod, kMod); }
uint8_t* DoAnd(uint32_t w, uint8_t* sp, const uint8_t*, VMExecContext* c) { return Binary(w, sp, c, Bin::And, kAnd); }
uint8_t* DoOr(uint32_t w, uint8_t* sp, const uint8_t*, VMExecContext* c) { return Binary(w, sp, c, Bin::Or, kOr); }
uint8_t* DoXor(uint32_t w, uint8_t* sp, const uint8_t*, VMExecContext* c) { return Binary(w, sp, c, Bin::Xor, kXor); }
uint8_t* DoShl(uint32_t w, uint8_t* sp, const uint8_t*, VMExecContext* c) { return Binary(w, sp, c, Bin::Shl, kShl); }
uint8_t* DoShr(uint32_t w, uint8_t* sp, const uint8_t*, VMExecContext* c) { return Binary(w, sp, c, Bin::Shr, kShr); }

// neg and not change the top item in place; it keeps its type (a whole value keeps its kind).
static uint8_t* Unary(uint32_t word, uint8_t* sp, VMExecContext* c, bool negate) {
  const OpInfo& op = negate ? kNeg : kNot;
  const uint8_t type = WordT1(word);
  const int32_t size = VMStackSize(type);
  if (size == 0 || vm::Used(c, sp) < size) {
    Fail(c, op.execError);
    return sp;
  }
  Operand o;
  if (!ReadOperand(c, sp, type, op, negate ? Typing::Neg : Typing::Not, &o)) return sp;
  switch (o.type) {
    case VT_DOUBLE: o.d = negate ? -o.d : static_cast<double>(~num::TruncInt64(o.d)); break;
    case VT_INT: o.i = negate ? num::WrapNeg32(o.i) : ~o.i; break;
    case VT_LONG: o.l = negate ? num::WrapNeg64(o.l) : ~o.l; break;
    case VT_BOOL: o.i = negate ? num::WrapNeg32(o.i) : (o.i == 0 ? 1 : 0); break;
    default: Fail(c, op.execError); return sp;
  }
  if (o.IsValue()) {
    ScriptValue v = o.v;
    if (o.type == VT_DOUBLE) v.real = o.d;
    else if (o.type == VT_LONG) v.i64 = o.l;
    else v.i32 = o.i;
    StoreValue(c, sp, v);
  } else if (type == VT_DOUBLE) {
    vm::Store(sp, o.d);
  } else if (type == VT_LONG) {
    vm::Store(sp, o.l);
  } else {
    vm::Store(sp, o.i);
  }
  return sp;
}

uint8_t* DoNeg(uint32_t w, uint8_t* sp, const uint8_t*, VMExecContext* c) { return Unary(w, sp, c, true); }
uint8_t* DoNot(uint32_t w, uint8_t* sp, const uint8_t*, VMExecContext* c) { return Unary(w, sp, c, false); }

uint8_t* DoSet(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* c) {
  const uint8_t opcode = WordOpcode(word);
  const uint8_t rightType = WordT1(word), leftType = WordT2(word);
  const int32_t rightSize = VMStackSize(rightType), leftSize = VMStackSize(leftType);
  if (rightSize == 0 || leftSize == 0 || vm::Used(c, sp) < rightSize + leftSize) {
    Fail(c, kSet.execError);
    return sp;
  }
  Operand b, a;
  if (!ReadOperand(c, sp, rightType, kSet, Typing::Set, &b)) return sp;
  if (!ReadOperand(c, sp + rightSize, leftType, kSet, Typing::Set, &a)) return sp;

  bool truth = false;
  const uint8_t ta = a.type, tb = b.type;
  if (ta == VT_STRING && tb == VT_STRING) {
    truth = CompareOrder(opcode, CompareTexts(a.s, b.s));
  } else if ((ta == VT_BOOL && tb == VT_STRING) || (ta == VT_STRING && tb == VT_BOOL)) {
    const int64_t p = ta == VT_STRING ? (a.s != nullptr) : a.i;
    const int64_t q = tb == VT_STRING ? (b.s != nullptr) : b.i;
    truth = VMCompareDifference(opcode, static_cast<double>(p - q), g_Variables.MathEpsilon);
  } else if ((ta == VT_DOUBLE && IsNumber(tb)) || (tb == VT_DOUBLE && IsNumber(ta))) {
    truth = VMCompareDifference(opcode, AsDouble(a) - AsDouble(b), g_Variables.MathEpsilon);
  } else if ((ta == VT_DOUBLE && tb == VT_BOOL) || (ta == VT_BOOL && tb == VT_DOUBLE)) {
    const double p = ta == VT_DOUBLE ? a.d : a.i;
    const double q = tb == VT_DOUBLE ? b.d : b.i;
    truth = VMCompareDifference(opcode, std::trunc(p - q), g_Variables.MathEpsilon);
  } else if (IsInteger(ta) && IsInteger(tb)) {
    const __int128 g = static_cast<__int128>(AsInt64(a)) - static_cast<__int128>(AsInt64(b));
    truth = VMCompareDifference(opcode, static_cast<double>(g), g_Variables.MathEpsilon);
  } else if ((ta == VT_INT || ta == VT_BOOL) && (tb == VT_INT || tb == VT_BOOL)) {
    truth = VMCompareDifference(opcode, static_cast<double>(static_cast<int64_t>(a.i) - b.i), g_Variables.MathEpsilon);
  } else {
    Fail(c, kSet.execError);
    return sp;
  }
  // Both texts go; a text held by both operands goes once.
  if (a.stackType == VT_STRING && b.stackType == VT_STRING && a.handle == b.handle) b.stackType = kNone;
  Consume(c, &b);
  Consume(c, &a);
  return vm::PushI32(c, sp + rightSize + leftSize, truth ? 1 : 0);
}

uint8_t* DoConv(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* c) {
  const uint8_t from = WordT1(word), to = WordT2(word);
  const int32_t size = VMStackSize(from);
  const bool validTo = to <= VT_STRING && to != VT_FLOAT;
  const bool rawIdentity = from == to && from != VT_BOOL && from != VT_VAR;
  if (size == 0 || from == VT_FLOAT || !validTo || rawIdentity || vm::Used(c, sp) < size) {
    Fail(c, kConv.execError);
    return sp;
  }
  Operand o;
  if (!ReadOperand(c, sp, from, kConv, Typing::Conv, &o)) return sp;
  if (o.type == kNone) {
    Fail(c, kConv.execError);
    return sp;
  }

  Result r;
  const uint8_t target = to == VT_VAR ? static_cast<uint8_t>(o.type == VT_STRING ? VT_STRING : VT_DOUBLE) : to;
  r.type = target;
  switch (target) {
    case VT_DOUBLE:
      switch (o.type) {
        case VT_STRING: r.d = o.s ? std::strtod(o.s, nullptr) : 0.0; break;
        case VT_BOOL: r.d = o.i != 0 ? 1.0 : 0.0; break;
        default: r.d = AsDouble(o); break;
      }
      break;
    case VT_INT:
      switch (o.type) {
        case VT_DOUBLE: r.i = num::TruncInt32(o.d); break;
        case VT_LONG: r.i = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(o.l))); break;
        case VT_BOOL: r.i = o.i != 0 ? 1 : 0; break;
        case VT_STRING: r.i = TextToInt32(o.s); break;
        default: r.i = o.i; break;
      }
      break;
    case VT_LONG:
      switch (o.type) {
        case VT_DOUBLE: r.l = num::TruncInt64(o.d); break;
        case VT_BOOL: r.l = o.i != 0 ? 1 : 0; break;
        case VT_STRING: r.l = TextToInt32(o.s); break;
        default: r.l = AsInt64(o); break;
      }
      break;
    case VT_BOOL:
      switch (o.type) {
        case VT_DOUBLE: r.i = num::IsTrueStrict(o.d) ? 1 : 0; break;
        case VT_STRING: r.i = (o.s != nullptr && std::strcmp(o.s, "true") == 0) ? 1 : 0; break;
        case VT_BOOL: r.i = o.i != 0 ? 1 : 0; break;
        default: r.i = AsInt64(o) > 0 ? 1 : 0; break;
      }
      break;
    default:  // VT_STRING
      switch (o.type) {
        case VT_DOUBLE: r.s = MemoryManager::FormatText("%g", o.d); break;
        case VT_INT: r.s = MemoryManager::FormatText("%d", o.i); break;
        case VT_LONG: r.s = MemoryManager::FormatText("%lld", static_cast<long long>(o.l)); break;
        case VT_BOOL: r.s = MemoryManager::FormatText("%s", o.i != 0 ? "true" : "false"); break;
        default: r.s = DuplicateString(o.s); break;
      }
      break;
  }
  Consume(c, &o);
  return PushResult(c, sp + size, r, to == VT_VAR);
}
