#include "code/VM_FastPath.h"

#include <cmath>
#include <cstring>

#include "code/VM_Exec.h"
#include "code/VM_Format.h"
#include "code/VM_Ops.h"
#include "code/VM_Stack.h"
#include "code/VM_Variables.h"
#include "platform/Numeric.h"
#include "room/Instance_Class.h"
#include "variable/ScriptValue.h"
#include "variable/Variable_Main.h"

namespace {

using vm::Load;
using vm::Store;

constexpr uint32_t kPumpEveryBranches = 4096;  // as the general branch handlers count

// ---- Stack items ----

inline void TagRaw4(VMExecContext* c, const uint8_t* p) { *vm::TagAt(c, p) = vm::TAG_RAW; }
inline void TagRaw8(VMExecContext* c, const uint8_t* p) {
  uint8_t* t = vm::TagAt(c, p);
  t[0] = vm::TAG_RAW;
  t[1] = vm::TAG_RAW;
}
// A whole value's four units: TAG_VALUE then three raw.
inline void TagValue(VMExecContext* c, const uint8_t* p) {
  const uint8_t tags[4] = {vm::TAG_VALUE, vm::TAG_RAW, vm::TAG_RAW, vm::TAG_RAW};
  std::memcpy(vm::TagAt(c, p), tags, sizeof(tags));
}

inline uint8_t* PushI32(VMExecContext* c, uint8_t* sp, int32_t v) {
  sp -= 4;
  Store(sp, v);
  TagRaw4(c, sp);
  return sp;
}
inline uint8_t* PushRaw8(VMExecContext* c, uint8_t* sp, const uint8_t* from) {
  sp -= 8;
  std::memcpy(sp, from, 8);
  TagRaw8(c, sp);
  return sp;
}
inline uint8_t* PushValue(VMExecContext* c, uint8_t* sp, const ScriptValue& v) {
  sp -= 16;
  Store(sp, v);
  TagValue(c, sp);
  return sp;
}
inline ScriptValue RealValue(double real) {
  ScriptValue v;
  v.bits = 0;
  v.real = real;
  v.flags = 0;
  v.kind = VALUE_REAL;
  return v;
}

// A numeric operand as the general handlers type it: a raw double item or a whole value holding
// a real types as a double, a raw int item as an int. Anything else has no fast path.
struct Number {
  bool isInt;
  bool isValue;
  double d;
  int32_t i;
  double AsDouble() const { return isInt ? static_cast<double>(i) : d; }
};

inline bool ReadNumber(VMExecContext* c, const uint8_t* p, uint8_t type, Number* n) {
  switch (type) {
    case VT_DOUBLE:
      n->isInt = false;
      n->isValue = false;
      n->d = Load<double>(p);
      return true;
    case VT_INT:
      n->isInt = true;
      n->isValue = false;
      n->i = Load<int32_t>(p);
      return true;
    case VT_VAR: {
      if (*vm::TagAt(c, p) != vm::TAG_VALUE) return false;
      uint32_t kind;
      std::memcpy(&kind, p + 12, sizeof(kind));
      if ((kind & kValueKindMask) != VALUE_REAL) return false;
      n->isInt = false;
      n->isValue = true;
      n->d = Load<double>(p);
      return true;
    }
    default:
      return false;
  }
}

// The comparisons of the general handler on a difference g.
inline bool Compare(uint8_t opcode, double g, double e) {
  switch (opcode) {
    case OP_SLT: return g < -e;
    case OP_SLE: return g <= e;
    case OP_SEQ: return -e <= g && g <= e;
    case OP_SNE: return g < -e || g > e;
    case OP_SGE: return g >= -e;
    default: return g > e;
  }
}

// ---- Variables ----

// The list of an instance that a reference to a user variable reaches (built-in variables are
// served by their accessors and have no fast path).
inline CVariableList* InstanceList(const CInstance* instance, int32_t id) {
  if (instance == nullptr || id < kBuiltinVariableIdLimit) return nullptr;
  return instance->i_variables;
}

// The list that reads and writes through the selector reach, as the general handlers choose it;
// null when there is none or it is not a list (those go the general way, which reports them).
inline CVariableList* ListFor(const VMExecContext* c, int32_t selector, int32_t id) {
  switch (selector) {
    case SEL_LOCAL: return c->locals;
    case SEL_GLOBAL: return g_GlobalVariables;
    case SEL_SELF: return InstanceList(c->self, id);
    case SEL_OTHER: return InstanceList(c->other, id);
    case SEL_NOT_SPECIFIED: return IsGlobalDeclared(id) ? g_GlobalVariables : InstanceList(c->self, id);
    case SEL_LOCAL_OR_SELF:
      if (c->locals != nullptr && c->locals->Lookup(id) != nullptr) return c->locals;
      return InstanceList(c->self, id);
    default: return nullptr;
  }
}

// A variable reference decoded from the operand and, for the parts not in the word, from the
// stack at p (the element index first, then the selector).
struct Reference {
  int32_t id;
  int32_t index;
  int32_t selector;
  int32_t taken;  // stack bytes the reference takes
};

inline bool DecodeReference(uint32_t word, uint32_t operand, const uint8_t* p, int64_t available, Reference* r) {
  if (operand & kVarSelectorBias) return false;
  r->id = static_cast<int32_t>(operand & kVarIdMask);
  r->taken = 0;
  if (operand & kVarWhole) {
    r->index = kWholeValueIndex;
  } else {
    if (available < 4) return false;
    r->index = Load<int32_t>(p);
    r->taken = 4;
  }
  if (operand & kVarSelectorInWord) {
    r->selector = WordImmediate(word);
  } else {
    if (available < r->taken + 4) return false;
    r->selector = Load<int32_t>(p + r->taken);
    r->taken += 4;
  }
  return true;
}

// push.v: answers the new top, or null to leave the instruction to the general handler.
inline uint8_t* PushVariable(VMExecContext* c, uint32_t word, uint32_t operand, uint8_t* sp) {
  Reference r;
  if (!DecodeReference(word, operand, sp, c->frame - sp, &r)) return nullptr;
  CVariableList* list = ListFor(c, r.selector, r.id);
  if (list == nullptr) return nullptr;
  const VariableNode* node = list->Lookup(r.id);
  ScriptValue value;
  if (r.index == kWholeValueIndex &&
      (node != nullptr ? node->value.Kind() == VALUE_REAL : !g_UninitialisedVariableOption)) {
    // A real, or a variable not set yet (real 0): copied as the list's read copies it.
    g_InstanceMissingFlag = 0;
    g_ArrayIndexError.flag = 0;
    value.bits = node != nullptr ? node->value.bits : 0;
    value.flags = 0;
    value.kind = node != nullptr ? node->value.kind : VALUE_REAL;
  } else if (node != nullptr && (r.index == kWholeValueIndex || node->value.Kind() == VALUE_ARRAY)) {
    // Any other whole value, or an element: the list's own read. One that fails changed nothing
    // the general handler will not do again, and that handler reports it.
    value = RealValue(0.0);
    g_InstanceMissingFlag = 0;
    if (!list->Get(r.id, r.index, &value)) {
      ReleaseValue(&value);
      return nullptr;
    }
  } else {
    return nullptr;
  }
  return PushValue(c, sp + r.taken, value);
}

// pop.v.* and pop.i.*: answers the new top, or null to leave the instruction to the general
// handler.
inline uint8_t* PopVariable(VMExecContext* c, uint32_t word, uint32_t operand, uint8_t* sp) {
  const uint8_t t1 = WordT1(word), t2 = WordT2(word);
  if (t1 != VT_VAR && t1 != VT_INT) return nullptr;
  const int32_t valueSize = VMStackSize(t2);
  if (valueSize == 0) return nullptr;
  // pop.v: the value was pushed first, the reference's items are above it; pop.i: the value was
  // pushed last.
  const uint8_t* referenceAt = t1 == VT_VAR ? sp : sp + valueSize;
  Reference r;
  if (!DecodeReference(word, operand, referenceAt, c->frame - referenceAt, &r)) return nullptr;
  if (vm::Used(c, sp) < r.taken + valueSize) return nullptr;
  const uint8_t* valueAt = t1 == VT_VAR ? sp + r.taken : sp;

  ScriptValue value;
  switch (t2) {
    case VT_DOUBLE: value = RealValue(Load<double>(valueAt)); break;
    case VT_INT: value = RealValue(Load<int32_t>(valueAt)); break;
    case VT_LONG: value = RealValue(static_cast<double>(Load<int64_t>(valueAt))); break;
    case VT_BOOL: value = RealValue(Load<int32_t>(valueAt) != 0 ? 1.0 : 0.0); break;
    case VT_VAR:
      if (*vm::TagAt(c, valueAt) != vm::TAG_VALUE) return nullptr;
      value = vm::LoadValue(valueAt);
      break;
    default: return nullptr;
  }
  // Negative element indices are reported by the general handler.
  if (r.index != kWholeValueIndex && r.index < 0) return nullptr;
  CVariableList* list = ListFor(c, r.selector, r.id);
  if (list == nullptr) return nullptr;

  g_ArrayIndexError.flag = 0;
  VariableNode* node = r.index == kWholeValueIndex ? list->Lookup(r.id) : nullptr;
  const ValueKind held = node != nullptr ? node->value.Kind() : VALUE_UNDEFINED;
  if (node != nullptr && value.Kind() == VALUE_REAL && held != VALUE_STRING && held != VALUE_ARRAY) {
    // A real over a value that owns nothing: the store's copy, in place (the spare word stays).
    node->value.bits = value.bits;
    node->value.kind = value.kind;
  } else {
    // The store's own routine; with a whole variable or an index of 0 or more it cannot fail.
    list->Set(r.id, r.index, &value);
    if (t2 == VT_VAR) ReleaseValue(&value);  // the stack's copy, now stored
  }
  const int32_t taken = r.taken + valueSize;
  vm::Tag(c, sp, taken, vm::TAG_RAW);
  return sp + taken;
}

}  // namespace

uint8_t* VMRunFast(VMExecContext* c, uint8_t* sp) {
  const uint8_t* const code = reinterpret_cast<const uint8_t*>(c->words);
  const int64_t size = c->codeSize;
  int32_t pc = c->nextPc;
  int32_t last = -1;  // the last instruction run here

  for (;;) {
    if (pc < 0 || pc + 4 > size || sp - c->stackBase < kVMStackReserve) break;
    const uint32_t word = Load<uint32_t>(code + pc);
    const uint8_t opcode = WordOpcode(word);
    int32_t next = pc + 4;
    uint8_t* top = nullptr;  // the new stack top; null: no fast path

    switch (opcode) {
      case OP_PUSH: {
        const uint8_t type = WordT1(word);
        const int32_t operandSize = VMOperandSize(type);
        if (pc + 4 + operandSize > size) break;
        const uint8_t* operand = code + pc + 4;
        next = pc + 4 + operandSize;
        switch (type) {
          case VT_ERROR: top = PushI32(c, sp, WordImmediate(word)); break;
          case VT_INT:
          case VT_BOOL:
          case VT_FLOAT: top = PushI32(c, sp, Load<int32_t>(operand)); break;
          case VT_DOUBLE:
          case VT_LONG: top = PushRaw8(c, sp, operand); break;
          case VT_VAR: top = PushVariable(c, word, Load<uint32_t>(operand), sp); break;
          default: break;
        }
        break;
      }

      case OP_POP: {
        if (WordT1(word) == VT_ERROR || pc + 8 > size) break;
        next = pc + 8;
        top = PopVariable(c, word, Load<uint32_t>(code + pc + 4), sp);
        break;
      }

      case OP_ADD:
      case OP_SUB:
      case OP_MUL:
      case OP_DIV: {
        const uint8_t rightType = WordT1(word), leftType = WordT2(word);
        const int32_t rightSize = VMStackSize(rightType), leftSize = VMStackSize(leftType);
        if (rightSize == 0 || leftSize == 0 || vm::Used(c, sp) < rightSize + leftSize) break;
        Number right, left;
        if (!ReadNumber(c, sp, rightType, &right) || !ReadNumber(c, sp + rightSize, leftType, &left)) break;
        uint8_t* base = sp + rightSize + leftSize;
        if (left.isInt && right.isInt) {
          // Two raw ints: wrapping 32-bit arithmetic, a raw int result (division goes the general
          // way for its zero test and rounding).
          int32_t v;
          if (opcode == OP_ADD) v = num::WrapAdd32(left.i, right.i);
          else if (opcode == OP_SUB) v = num::WrapSub32(left.i, right.i);
          else if (opcode == OP_MUL) v = num::WrapMul32(left.i, right.i);
          else break;
          top = PushI32(c, base, v);
          break;
        }
        const double x = left.AsDouble(), y = right.AsDouble();
        double v;
        if (opcode == OP_ADD) v = x + y;
        else if (opcode == OP_SUB) v = x - y;
        else if (opcode == OP_MUL) v = x * y;
        else if (std::fabs(y) < kVMDivideThreshold) break;  // reported by the general handler
        else v = x / y;
        if (left.isValue || right.isValue) {
          top = PushValue(c, base, RealValue(v));
        } else {
          base -= 8;
          Store(base, v);
          TagRaw8(c, base);
          top = base;
        }
        break;
      }

      case OP_SLT:
      case OP_SLE:
      case OP_SEQ:
      case OP_SNE:
      case OP_SGE:
      case OP_SGT: {
        const uint8_t rightType = WordT1(word), leftType = WordT2(word);
        const int32_t rightSize = VMStackSize(rightType), leftSize = VMStackSize(leftType);
        if (rightSize == 0 || leftSize == 0 || vm::Used(c, sp) < rightSize + leftSize) break;
        Number right, left;
        if (!ReadNumber(c, sp, rightType, &right) || !ReadNumber(c, sp + rightSize, leftType, &left)) break;
        const double difference = left.isInt && right.isInt
                                      ? static_cast<double>(static_cast<int64_t>(left.i) - right.i)
                                      : left.AsDouble() - right.AsDouble();
        top = PushI32(c, sp + rightSize + leftSize, Compare(opcode, difference, MathEpsilon) ? 1 : 0);
        break;
      }

      case OP_CONV: {
        const uint8_t from = WordT1(word), to = WordT2(word);
        const int32_t fromSize = VMStackSize(from);
        if (fromSize == 0 || vm::Used(c, sp) < fromSize) break;
        Number n;
        if ((from != VT_VAR && from != VT_INT) || !ReadNumber(c, sp, from, &n)) break;
        if (from == VT_VAR && to == VT_INT) {
          top = PushI32(c, sp + fromSize, num::TruncInt32(n.d));
        } else if (from == VT_INT && to == VT_BOOL) {
          top = PushI32(c, sp + fromSize, n.i > 0 ? 1 : 0);
        } else if (from == VT_INT && to == VT_VAR) {
          top = PushValue(c, sp + fromSize, RealValue(n.i));
        }
        break;
      }

      case OP_DUP: {
        // dup.i of one or more raw ints; the other forms go the general way.
        const int32_t count = WordImmediate(word) + 1;
        if (WordT1(word) != VT_INT || WordT2(word) != 0 || count < 1) break;
        const int64_t bytes = static_cast<int64_t>(count) * 4;
        if (vm::Used(c, sp) < bytes || sp - c->stackBase < bytes + kVMStackReserve) break;
        std::memmove(sp - bytes, sp, static_cast<size_t>(bytes));
        vm::Tag(c, sp - bytes, static_cast<int32_t>(bytes), vm::TAG_RAW);
        top = sp - bytes;
        break;
      }

      case OP_POPZ: {
        const uint8_t type = WordT1(word);
        const int32_t itemSize = VMStackSize(type);
        if (itemSize == 0 || type == VT_STRING || vm::Used(c, sp) < itemSize) break;
        if (type == VT_VAR) {
          if (*vm::TagAt(c, sp) != vm::TAG_VALUE) break;
          ScriptValue v = vm::LoadValue(sp);
          ReleaseValue(&v);
        }
        vm::Tag(c, sp, itemSize, vm::TAG_RAW);
        top = sp + itemSize;
        break;
      }

      case OP_B:
      case OP_BT:
      case OP_BF: {
        // Every 4,096th branch pumps the window's messages: that one goes the general way.
        if ((g_VMBranchCounter + 1) % kPumpEveryBranches == 0) break;
        const int64_t target = static_cast<int64_t>(pc) + 4 * static_cast<int64_t>(WordBranchOffset(word));
        const bool targetOk = target >= 0 && target <= size && (target & 3) == 0;
        if (opcode == OP_B) {
          if (!targetOk) break;
          next = static_cast<int32_t>(target);
          top = sp;
        } else {
          if (vm::Used(c, sp) < 4) break;
          const bool jump = (Load<int32_t>(sp) != 0) == (opcode == OP_BT);
          if (jump && !targetOk) break;
          if (jump) next = static_cast<int32_t>(target);
          top = sp + 4;
        }
        ++g_VMBranchCounter;
        break;
      }

      default:
        break;
    }

    if (top == nullptr) break;
    sp = top;
    last = pc;
    pc = next;
  }

  if (last >= 0) c->pc = last;
  c->nextPc = pc;
  c->sp = sp;
  return sp;
}
