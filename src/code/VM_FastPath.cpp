#include "code/VM_FastPath.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <emmintrin.h>
#include <type_traits>
#include <utility>

#include "code/Code_Function.h"
#include "code/VM_Decoded.h"
#include "code/VM_Exec.h"
#include "code/VM_Format.h"
#include "code/VM_Ops.h"
#include "code/VM_Frame.h"
#include "code/VM_Stack.h"
#include "code/VM_VariableRules.h"
#include "code/VM_Variables.h"
#include "debug/Debug_State.h"
#include "option/Option_Main.h"
#include "platform/GrowArray.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"
#include "room/Instance_Class.h"
#include "runner/GameData_Strings.h"
#include "script/Script_Main.h"
#include "variable/ScriptValue.h"
#include "variable/Variable_Main.h"
#include "variable/Variable_Names.h"

namespace {

using vm::Load;
using vm::Store;

constexpr uint32_t kPumpEveryBranches = 4096;  // as the general branch handlers count

// What the fast loop reads of the context, held apart so that the compiler keeps it in
// registers across the stack writes (which could otherwise alias any field of the context).
// Nothing here changes while the fast loop runs: calls, returns and stack growth go the general way.
struct Machine {
  uint8_t* base;    // the value stack's block
  uint8_t* tags;    // its tags
  uint8_t* frame;   // the current frame: items are used from the top up to here
  CVariableList* locals;
  CInstance* self;
  CInstance* other;

  uint8_t* TagAt(const uint8_t* p) const { return tags + static_cast<size_t>(p - base) / 4; }
  int64_t Used(const uint8_t* sp) const { return frame - sp; }
  // The lists and instances variable references reach (VMListOf).
  CVariableList* Locals() const { return locals; }
  CVariableList* HeldLocals() const { return locals; }
  static CVariableList* Globals() { return g_Variables.globals; }
  const CInstance* Self() const { return self; }
  const CInstance* Other() const { return other; }
  void TagRawBytes(uint8_t* p, int32_t bytes) const {
    if (bytes > 0) std::memset(TagAt(p), vm::TAG_RAW, static_cast<size_t>(bytes) / 4);
  }
};

// ---- Stack items ----

inline void TagRaw4(const Machine& c, const uint8_t* p) { *c.TagAt(p) = vm::TAG_RAW; }
inline void TagRaw8(const Machine& c, const uint8_t* p) {
  uint8_t* t = c.TagAt(p);
  t[0] = vm::TAG_RAW;
  t[1] = vm::TAG_RAW;
}
// A whole value's four units: TAG_VALUE then three raw.
inline void TagValue(const Machine& c, const uint8_t* p) {
  const uint8_t tags[4] = {vm::TAG_VALUE, vm::TAG_RAW, vm::TAG_RAW, vm::TAG_RAW};
  std::memcpy(c.TagAt(p), tags, sizeof(tags));
}

inline uint8_t* PushI32(const Machine& c, uint8_t* sp, int32_t v) {
  sp -= 4;
  Store(sp, v);
  TagRaw4(c, sp);
  return sp;
}
inline uint8_t* PushRaw8(const Machine& c, uint8_t* sp, const uint8_t* from) {
  sp -= 8;
  std::memcpy(sp, from, 8);
  TagRaw8(c, sp);
  return sp;
}
// Whole values are written and read field by field: the next instruction reads them that way,
// and a 16-byte access over narrower ones would stall the processor's store forwarding.
[[gnu::always_inline]] inline uint8_t* PushValueParts(const Machine& c, uint8_t* sp, uint64_t bits, uint32_t flags, uint32_t kind) {
  sp -= 16;
  Store(sp, bits);
  Store(sp + 8, flags);
  Store(sp + 12, kind);
  TagValue(c, sp);
  return sp;
}
inline uint8_t* PushValue(const Machine& c, uint8_t* sp, const ScriptValue& v) {
  return PushValueParts(c, sp, v.bits, v.flags, v.kind);
}
inline uint8_t* PushReal(const Machine& c, uint8_t* sp, double real) { return PushValue(c, sp, RealValue(real)); }
inline uint32_t KindWordAt(const uint8_t* p) { return Load<uint32_t>(p + 12); }

// A numeric operand as the general handlers type it: a raw double item or a whole value holding
// a real types as a double, a raw int item as an int. Anything else has no fast path.
struct Number {
  bool isInt;
  bool isValue;
  double d;
  int32_t i;
  double AsDouble() const { return isInt ? static_cast<double>(i) : d; }
};

[[gnu::always_inline]] inline bool ReadNumber(const Machine& c, const uint8_t* p, uint8_t type, Number* n) {
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
      if (*c.TagAt(p) != vm::TAG_VALUE) return false;
      if ((KindWordAt(p) & kValueKindMask) != VALUE_REAL) return false;
      n->isInt = false;
      n->isValue = true;
      n->d = Load<double>(p);
      return true;
    }
    default:
      return false;
  }
}

// ---- Variables ----

// The list that reads and writes through the selector reach (VMListOf); null when there is none
// or it is not a list (those go the general way, which reports them).
[[gnu::always_inline]] inline CVariableList* ListFor(const Machine& c, int32_t selector, int32_t id) {
  return VMListOf(selector, id, c);
}

// ---- Argument slots ----

static_assert(kBuiltinVariableIdLimit <= kUserVariableBase, "declared globals are user variables");
//
// The built-in variables argument0 to argument15 read the call's argument slots through their
// getters. Their ids are looked up by name when the fast loop starts and the registry has changed
// since the last look-up, and each use checks that the id still has the getter found then, so a
// registry filled anew in another order only loses the shortcut. The ids found are kept in
// g_VM.argumentIds. The look-up runs once per registry change, so it stays out of the loop's code.
[[gnu::noinline, gnu::cold]] void FindArgumentIds() {
  VMArgumentIds found;
  found.registered = g_Variables.builtinCount;
  found.generation = ++g_Variables.listEpochs;
  found.first = FindBuiltinVariable("argument0");
  if (found.first >= 0) {
    char name[16];
    for (int32_t i = 0; i < kArgumentSlotCount; ++i) {
      const int64_t id = static_cast<int64_t>(found.first) + i;
      if (id >= g_Variables.builtinCount) break;
      const BuiltinVariableEntry& entry = g_Variables.builtins[id];
      std::snprintf(name, sizeof(name), "argument%d", static_cast<int>(i));
      if (entry.name != nullptr && std::strcmp(entry.name, name) == 0) found.getters[i] = entry.getter;
    }
  }
  g_VM.argumentIds = found;
}

// The slot a whole read of variable `id` through `selector` reads when it is an argumentN that
// the general read serves by its getter (through self or other, or through no selector when the
// id is not a declared global); null for any read that goes another way or fails there.
[[gnu::always_inline]] inline const ScriptValue* ArgumentSlot(const Machine& c, int32_t selector, int32_t id) {
  const int64_t slot = static_cast<int64_t>(id) - g_VM.argumentIds.first;
  if (slot < 0 || slot >= kArgumentSlotCount || id >= g_Variables.builtinCount) return nullptr;
  const BuiltinVariableGetter expected = g_VM.argumentIds.getters[slot];
  if (expected == nullptr || g_Variables.builtins[id].getter != expected) return nullptr;
  switch (selector) {
    case SEL_SELF:
      if (c.self == nullptr) return nullptr;
      break;
    case SEL_OTHER:
      if (c.other == nullptr) return nullptr;
      break;
    case SEL_NOT_SPECIFIED:
      // A built-in's id is never a declared global.
      if (c.self == nullptr) return nullptr;
      break;
    default: return nullptr;
  }
  return &g_VM.argumentSlots[slot];
}

// push.v: answers the new top, or null to leave the instruction to the general handler. Inlined
// into the loop: reads are the most frequent variable accesses.
[[gnu::always_inline]] inline uint8_t* PushVariable(const Machine& c, uint32_t word, uint32_t operand, uint8_t* sp) {
  // A selector naming an instance goes the general way.
  VMReference r;
  if ((operand & kVarSelectorBias) || !VMDecodeReference(word, operand, sp, c.frame - sp, &r)) return nullptr;
  CVariableList* list = ListFor(c, r.selector, r.id);
  if (list == nullptr) [[unlikely]] {
    if (r.index != kWholeValueIndex || r.id >= kBuiltinVariableIdLimit) return nullptr;
    // An argument slot holding a real, copied as its getter copies it (the getter's read leaves
    // the array-index flag as it is).
    const ScriptValue* slot = ArgumentSlot(c, r.selector, r.id);
    if (slot == nullptr || slot->Kind() != VALUE_REAL) return nullptr;
    g_Variables.instanceMissing = 0;
    return PushValueParts(c, sp + r.taken, slot->bits, 0, slot->kind);
  }
  VariableNode* node = list->Lookup(r.id);
  if (r.index == kWholeValueIndex &&
      (node != nullptr ? node->value.Kind() == VALUE_REAL : !g_Options.uninitialisedVariables)) {
    // A real, or a variable not set yet (real 0): copied as the list's read copies it.
    g_Variables.instanceMissing = 0;
    g_Variables.arrayIndexError.flag = 0;
    if (node == nullptr) return PushReal(c, sp + r.taken, 0.0);
    return PushValueParts(c, sp + r.taken, node->value.bits, 0, node->value.kind);
  }
  if (node != nullptr && r.index >= 0 && node->value.Kind() == VALUE_ARRAY && node->value.arr != nullptr) {
    // An element that is a real: the list's read, in place (which makes an array nobody owns
    // the variable's).
    const ScriptValue* element = VMElementAt(node->value.arr, r.index);
    if (element != nullptr && element->Kind() == VALUE_REAL) {
      VMClaimForRead(&node->value);
      g_Variables.instanceMissing = 0;
      g_Variables.arrayIndexError.flag = 0;
      return PushValueParts(c, sp + r.taken, element->bits, 0, element->kind);
    }
  }
  ScriptValue value;
  if (node != nullptr && (r.index == kWholeValueIndex || node->value.Kind() == VALUE_ARRAY)) {
    // Any other whole value, or an element: the list's own read. One that fails changed nothing
    // the general handler will not do again, and that handler reports it.
    value = RealValue(0.0);
    g_Variables.instanceMissing = 0;
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
// handler. Kept out of the loop's code, which stays small enough for the compiler to keep its
// state in registers.
[[gnu::noinline]] uint8_t* PopVariable(const Machine& c, uint32_t word, uint32_t operand, uint8_t* sp) {
  const uint8_t t1 = WordT1(word), t2 = WordT2(word);
  if (t1 != VT_VAR && t1 != VT_INT) return nullptr;
  const int32_t valueSize = VMStackSize(t2);
  if (valueSize == 0) return nullptr;
  // pop.v: the value was pushed first, the reference's items are above it; pop.i: the value was
  // pushed last.
  const uint8_t* referenceAt = t1 == VT_VAR ? sp : sp + valueSize;
  VMReference r;
  if ((operand & kVarSelectorBias) || !VMDecodeReference(word, operand, referenceAt, c.frame - referenceAt, &r)) {
    return nullptr;
  }
  if (c.Used(sp) < r.taken + valueSize) return nullptr;
  const uint8_t* valueAt = t1 == VT_VAR ? sp + r.taken : sp;

  ScriptValue value;
  switch (t2) {
    case VT_DOUBLE: value = RealValue(Load<double>(valueAt)); break;
    case VT_INT: value = RealValue(Load<int32_t>(valueAt)); break;
    case VT_LONG: value = RealValue(static_cast<double>(Load<int64_t>(valueAt))); break;
    case VT_BOOL: value = RealValue(Load<int32_t>(valueAt) != 0 ? 1.0 : 0.0); break;
    case VT_VAR:
      if (*c.TagAt(valueAt) != vm::TAG_VALUE) return nullptr;
      value.bits = Load<uint64_t>(valueAt);
      value.flags = Load<uint32_t>(valueAt + 8);
      value.kind = KindWordAt(valueAt);
      break;
    default: return nullptr;
  }
  // Negative element indices are reported by the general handler.
  if (r.index != kWholeValueIndex && r.index < 0) return nullptr;
  CVariableList* list = ListFor(c, r.selector, r.id);
  if (list == nullptr) return nullptr;
  // With a whole variable or an index of 0 or more the store cannot fail.
  bool moved;
  VMStoreInList(list, r.id, r.index, value, t2 == VT_VAR, &moved);
  if (t2 == VT_VAR && !moved) ReleaseValue(&value);  // the stack's copy, now stored
  const int32_t taken = r.taken + valueSize;
  c.TagRawBytes(sp, taken);
  return sp + taken;
}

// ---- Computing instructions ----

// add, sub, mul, div, mod and rem. Two raw ints compute in wrapping 32-bit arithmetic to a raw
// int (a zero divisor goes the general way, which reports it); otherwise both are read as doubles, and the
// result is a whole value when either operand was one, else a raw double.
template <uint8_t kOp>
inline uint8_t* Arithmetic(const Machine& c, uint32_t word, uint8_t* sp) {
  const uint8_t rightType = WordT1(word), leftType = WordT2(word);
  const int32_t rightSize = VMStackSize(rightType), leftSize = VMStackSize(leftType);
  if (rightSize == 0 || leftSize == 0 || c.Used(sp) < rightSize + leftSize) return nullptr;
  Number right{}, left{};
  if (!ReadNumber(c, sp, rightType, &right) || !ReadNumber(c, sp + rightSize, leftType, &left)) return nullptr;
  uint8_t* base = sp + rightSize + leftSize;
  if (left.isInt && right.isInt) {
    if constexpr (kOp == OP_ADD) return PushI32(c, base, num::WrapAdd32(left.i, right.i));
    if constexpr (kOp == OP_SUB) return PushI32(c, base, num::WrapSub32(left.i, right.i));
    if constexpr (kOp == OP_MUL) return PushI32(c, base, num::WrapMul32(left.i, right.i));
    // A zero divisor is reported by the general handler.
    if (right.i == 0) return nullptr;
    if constexpr (kOp == OP_MOD) return PushI32(c, base, num::ModInt32(left.i, right.i));
    return PushI32(c, base, num::DivInt32(left.i, right.i));  // div and rem
  }
  const double x = left.AsDouble(), y = right.AsDouble();
  double v;
  if constexpr (kOp == OP_ADD) {
    v = x + y;
  } else if constexpr (kOp == OP_SUB) {
    v = x - y;
  } else if constexpr (kOp == OP_MUL) {
    v = x * y;
  } else if constexpr (kOp == OP_DIV) {
    if (std::fabs(y) < kVMDivideThreshold) return nullptr;  // reported by the general handler
    v = x / y;
  } else if constexpr (kOp == OP_MOD) {
    if (std::fabs(y) < kVMDivideThreshold) return nullptr;
    v = VMRealMod(x, y);
  } else {
    // rem: the integer quotient of the truncated operands.
    const int64_t divisor = right.isInt ? right.i : num::TruncInt64(right.d);
    if (divisor == 0) return nullptr;
    const int64_t dividend = left.isInt ? left.i : num::TruncInt64(left.d);
    v = static_cast<double>(num::DivInt64(dividend, divisor));
  }
  if (left.isValue || right.isValue) return PushReal(c, base, v);
  base -= 8;
  Store(base, v);
  TagRaw8(c, base);
  return base;
}

// slt, sle, seq, sne, sge and sgt on numbers; the raw int truth value is pushed.
template <uint8_t kOp>
inline uint8_t* Comparison(const Machine& c, uint32_t word, uint8_t* sp) {
  const uint8_t rightType = WordT1(word), leftType = WordT2(word);
  const int32_t rightSize = VMStackSize(rightType), leftSize = VMStackSize(leftType);
  if (rightSize == 0 || leftSize == 0 || c.Used(sp) < rightSize + leftSize) return nullptr;
  Number right{}, left{};
  if (!ReadNumber(c, sp, rightType, &right) || !ReadNumber(c, sp + rightSize, leftType, &left)) return nullptr;
  const double difference = left.isInt && right.isInt ? static_cast<double>(static_cast<int64_t>(left.i) - right.i)
                                                      : left.AsDouble() - right.AsDouble();
  return PushI32(c, sp + rightSize + leftSize, VMCompareDifference(kOp, difference, g_Variables.MathEpsilon) ? 1 : 0);
}

// conv.v.i, conv.i.b and conv.i.v.
inline uint8_t* Conversion(const Machine& c, uint32_t word, uint8_t* sp) {
  const uint8_t from = WordT1(word), to = WordT2(word);
  Number n{};
  if (from == VT_VAR && to == VT_INT) {
    if (c.Used(sp) < 16 || !ReadNumber(c, sp, VT_VAR, &n)) return nullptr;
    return PushI32(c, sp + 16, num::TruncInt32(n.d));
  }
  if (from == VT_INT && (to == VT_BOOL || to == VT_VAR)) {
    if (c.Used(sp) < 4) return nullptr;
    const int32_t i = Load<int32_t>(sp);
    return to == VT_BOOL ? PushI32(c, sp + 4, i > 0 ? 1 : 0) : PushReal(c, sp + 4, i);
  }
  return nullptr;
}

// dup.i of one or more raw ints.
inline uint8_t* Duplicate(const Machine& c, uint32_t word, uint8_t* sp) {
  const int32_t count = WordImmediate(word) + 1;
  if (count < 1) return nullptr;
  const int64_t bytes = static_cast<int64_t>(count) * 4;
  if (c.Used(sp) < bytes || sp - c.base < bytes + kVMStackReserve) return nullptr;
  std::memmove(sp - bytes, sp, static_cast<size_t>(bytes));
  c.TagRawBytes(sp - bytes, static_cast<int32_t>(bytes));
  return sp - bytes;
}

// popz of a raw item or a whole value.
inline uint8_t* Discard(const Machine& c, uint32_t word, uint8_t* sp) {
  const uint8_t type = WordT1(word);
  const int32_t itemSize = VMStackSize(type);
  if (c.Used(sp) < itemSize) return nullptr;
  if (type == VT_VAR) {
    if (*c.TagAt(sp) != vm::TAG_VALUE) return nullptr;
    ScriptValue v = vm::LoadValue(sp);
    ReleaseValue(&v);
  }
  c.TagRawBytes(sp, itemSize);
  return sp + itemSize;
}

// ---- Dispatch ----

// The instruction classes of the fast loop. The class of a word is read from a table indexed by
// its top 16 bits (opcode, second type, first type), so each handler knows its form.
enum FastClass : uint8_t {
  F_SLOW,    // no fast path
  F_PUSH_E,  // push.e
  F_PUSH_4,  // push.i .b .f
  F_PUSH_8,  // push.d .l
  F_PUSH_V,  // push.v
  F_POP,     // pop.v.* and pop.i.*
  F_ADD,
  F_SUB,
  F_MUL,
  F_DIV,
  F_REM,
  F_MOD,
  F_SLT,
  F_SLE,
  F_SEQ,
  F_SNE,
  F_SGE,
  F_SGT,
  F_CONV,
  F_DUP,
  F_POPZ,
  F_B,
  F_BT,
  F_BF,
  F_CALL,  // call.i
  F_RET,   // ret.v
};

constexpr uint8_t ClassOf(uint32_t top) {
  const uint8_t opcode = static_cast<uint8_t>(top >> 8);
  const uint8_t t1 = top & 0xF, t2 = (top >> 4) & 0xF;
  const bool numeric = (t1 == VT_DOUBLE || t1 == VT_INT || t1 == VT_VAR) &&
                       (t2 == VT_DOUBLE || t2 == VT_INT || t2 == VT_VAR);
  switch (opcode) {
    case OP_PUSH:
      if (t1 == VT_ERROR) return F_PUSH_E;
      if (t1 == VT_INT || t1 == VT_BOOL || t1 == VT_FLOAT) return F_PUSH_4;
      if (t1 == VT_DOUBLE || t1 == VT_LONG) return F_PUSH_8;
      if (t1 == VT_VAR) return F_PUSH_V;
      return F_SLOW;
    case OP_POP:
      return (t1 == VT_VAR || t1 == VT_INT) && t2 != VT_STRING && VMStackSize(t2) != 0 ? F_POP : F_SLOW;
    case OP_ADD: return numeric ? F_ADD : F_SLOW;
    case OP_SUB: return numeric ? F_SUB : F_SLOW;
    case OP_MUL: return numeric ? F_MUL : F_SLOW;
    case OP_DIV: return numeric ? F_DIV : F_SLOW;
    case OP_REM: return numeric ? F_REM : F_SLOW;
    case OP_MOD: return numeric ? F_MOD : F_SLOW;
    case OP_SLT: return numeric ? F_SLT : F_SLOW;
    case OP_SLE: return numeric ? F_SLE : F_SLOW;
    case OP_SEQ: return numeric ? F_SEQ : F_SLOW;
    case OP_SNE: return numeric ? F_SNE : F_SLOW;
    case OP_SGE: return numeric ? F_SGE : F_SLOW;
    case OP_SGT: return numeric ? F_SGT : F_SLOW;
    case OP_CONV:
      return (t1 == VT_VAR && t2 == VT_INT) || (t1 == VT_INT && (t2 == VT_BOOL || t2 == VT_VAR)) ? F_CONV : F_SLOW;
    case OP_DUP: return t1 == VT_INT && t2 == 0 ? F_DUP : F_SLOW;
    case OP_POPZ: return t1 != VT_STRING && VMStackSize(t1) != 0 ? F_POPZ : F_SLOW;
    // Branch words keep their offset in these bits: every value is the branch.
    case OP_B: return F_B;
    case OP_BT: return F_BT;
    case OP_BF: return F_BF;
    case OP_CALL: return t1 == VT_INT ? F_CALL : F_SLOW;
    case OP_RET: return t1 == VT_VAR ? F_RET : F_SLOW;
    default: return F_SLOW;
  }
}

struct ClassTable {
  uint8_t classes[65536] = {};
  constexpr ClassTable() {
    for (uint32_t top = 0; top < 65536; ++top) classes[top] = ClassOf(top);
  }
};
// Filled at start-up (too many steps for every compiler to evaluate as a constant).
const ClassTable kClassTable;

// ---- Fused steps ----
//
// A push of a real variable that the next instructions consume at once runs together with them
// as one step: `push.v b; op` with the left operand already on the stack, `push.v a; push b; op`,
// and the latter followed by the pop that stores the result or the branch that takes the truth
// value. Such a step does what the instructions one by one would do: the same result where it
// would be left, the same variable written, the same branch taken and counted, the error flags
// cleared as the reads clear them. Only the items that would have been pushed and consumed within
// the step are not written below the stack top, where nothing reads them.

// The whole variable a push.v or pop.v word refers to: its list and node (null while it is not
// set), when the reference has its selector in the word and the list is one the fast paths reach.
[[gnu::always_inline]] inline bool WholeVariable(const Machine& c, uint32_t word, uint32_t operand, CVariableList** list,
                          VariableNode** node) {
  if ((operand & (kVarWhole | kVarSelectorInWord | kVarSelectorBias)) != (kVarWhole | kVarSelectorInWord)) return false;
  const int32_t id = static_cast<int32_t>(operand & kVarIdMask);
  *list = ListFor(c, WordImmediate(word), id);
  if (*list == nullptr) return false;
  *node = (*list)->Lookup(id);
  return true;
}

// The real a whole-variable push would push (a variable not set yet reads as 0).
[[gnu::always_inline]] inline bool ReadWholeReal(const Machine& c, uint32_t word, uint32_t operand, double* out) {
  CVariableList* list;
  VariableNode* node;
  if (!WholeVariable(c, word, operand, &list, &node)) [[unlikely]] {
    // An argument slot: the fused steps clear the array-index flag after their reads, which the
    // getter's read does not, so the slot is read here only while the flag is clear anyway.
    const int32_t id = static_cast<int32_t>(operand & kVarIdMask);
    if (id >= kBuiltinVariableIdLimit || g_Variables.arrayIndexError.flag != 0 ||
        (operand & (kVarWhole | kVarSelectorInWord | kVarSelectorBias)) != (kVarWhole | kVarSelectorInWord)) {
      return false;
    }
    const ScriptValue* slot = ArgumentSlot(c, WordImmediate(word), id);
    if (slot == nullptr || slot->Kind() != VALUE_REAL) return false;
    *out = slot->real;
    return true;
  }
  if (node == nullptr) {
    if (g_Options.uninitialisedVariables) return false;
    *out = 0.0;
    return true;
  }
  if (node->value.Kind() != VALUE_REAL) return false;
  *out = node->value.real;
  return true;
}

// pop.v.v of a real into a whole variable that exists and holds nothing it owns; false (nothing
// written) otherwise.
[[gnu::always_inline]] inline bool StoreWholeReal(const Machine& c, uint32_t word, uint32_t operand, double v) {
  if (WordT1(word) != VT_VAR || WordT2(word) != VT_VAR) return false;
  CVariableList* list;
  VariableNode* node;
  if (!WholeVariable(c, word, operand, &list, &node) || node == nullptr) return false;
  if (!VMOwnsNothing(node->value)) return false;
  g_Variables.arrayIndexError.flag = 0;
  SetReal(&node->value, v);
  return true;
}

// `push.v s; push.s text; add.s.v; pop.v.v s` with s a whole variable holding a text: the text
// grows in its own block (which may move) instead of being copied onto the stack, joined into a
// new block and copied back. Answers the offset after the pop, or -1 when the four instructions
// are not that (nothing is changed then).
[[gnu::always_inline]] inline int64_t AppendText(const Machine& c, const uint8_t* code, int64_t size, int64_t pc,
                                                  uint32_t word, uint32_t operand) {
  if (pc + 28 > size) return -1;
  const uint32_t push = Load<uint32_t>(code + pc + 8);
  if (WordOpcode(push) != OP_PUSH || WordT1(push) != VT_STRING) return -1;
  const uint32_t add = Load<uint32_t>(code + pc + 16), pop = Load<uint32_t>(code + pc + 20);
  if (WordOpcode(add) != OP_ADD || WordT1(add) != VT_STRING || WordT2(add) != VT_VAR) return -1;
  if (WordOpcode(pop) != OP_POP || WordT1(pop) != VT_VAR || WordT2(pop) != VT_VAR) return -1;
  CVariableList* list;
  VariableNode* node;
  VariableNode* stored;
  if (!WholeVariable(c, word, operand, &list, &node) || node == nullptr || node->value.Kind() != VALUE_STRING) {
    return -1;
  }
  if (!WholeVariable(c, pop, Load<uint32_t>(code + pc + 24), &list, &stored) || stored != node) return -1;
  const char* text = nullptr;
  if (!StringTable_Get(Load<int32_t>(code + pc + 12), &text)) return -1;
  char* held = node->value.str;
  size_t heldLength = 0;
  if (held != nullptr) {
    const bool known = held == g_VM.appendText &&
                       g_VM.appendAllocations == MemoryManager::AllocCount.load(std::memory_order_relaxed);
    heldLength = known ? static_cast<size_t>(g_VM.appendLength) : std::strlen(held);
  }
  const size_t textLength = text != nullptr ? std::strlen(text) : 0;
  const uint64_t joined = static_cast<uint64_t>(heldLength) + textLength;
  if (joined > static_cast<uint64_t>(kVMMaxTextLength)) return -1;  // reported by the general handler
  // The block grows by doubling, so that appends one after another reach the C runtime only now
  // and then; the room past the terminator is zero-filled.
  char* grown = held;
  if (held == nullptr || MemoryManager::OwnBlockSize(held) < joined + 1) {
    const uint64_t room = held != nullptr ? std::max<uint64_t>(joined + 1, 2ull * MemoryManager::OwnBlockSize(held)) : joined + 1;
    grown = static_cast<char*>(Grow_Resize(held, static_cast<int64_t>(std::min<uint64_t>(room, kVMMaxTextLength + 1)), 1));
  }
  if (textLength > 0) std::memcpy(grown + heldLength, text, textLength);
  grown[joined] = '\0';
  g_VM.appendText = grown;
  g_VM.appendLength = static_cast<int64_t>(joined);
  g_VM.appendAllocations = MemoryManager::AllocCount.load(std::memory_order_relaxed);
  g_Variables.instanceMissing = 0;
  g_Variables.arrayIndexError.flag = 0;
  node->value.str = grown;
  node->value.kind = VALUE_STRING;
  return pc + 28;
}

inline double Apply(uint8_t opcode, double x, double y) {
  if (opcode == OP_ADD) return x + y;
  if (opcode == OP_SUB) return x - y;
  return x * y;
}

// A branch counted as the general handlers count it: false (nothing counted) for the one that
// pumps the window's messages, which goes the general way.
inline bool CountBranch() {
  if ((g_VM.branchCounter + 1) % kPumpEveryBranches == 0) return false;
  ++g_VM.branchCounter;
  return true;
}

// ---- Decoded steps ----

// What the steps read of the running code: the machine, and the lists each kind of site reaches
// (VMSiteList). Nothing a step does changes any of them (steps make no calls), so they are found
// once each time steps start running.
struct StepContext {
  const Machine* m;
  CVariableList* lists[4];  // locals, globals, self's, other's (null for a missing instance)
  // This run of steps' mark (a fresh list epoch): a site holding it has its node checked in this
  // run already. Steps never clear or replace a list; a call or return step switching the running
  // code takes a fresh mark.
  uint64_t stamp;
  // Per instance an argument site reads through (self, other): the argument ids' generation
  // while the instance exists, else 0 (which no site holds).
  uint64_t argumentGeneration[2];
  void SetInstances(const CInstance* self, const CInstance* other) {
    lists[SITE_SELF] = self != nullptr ? self->i_variables : nullptr;
    lists[SITE_OTHER] = other != nullptr ? other->i_variables : nullptr;
    argumentGeneration[0] = self != nullptr ? g_VM.argumentIds.generation : 0;
    argumentGeneration[1] = other != nullptr ? g_VM.argumentIds.generation : 0;
  }
};

// The list a site reaches, as ListFor chooses it for the site's selector.
[[gnu::always_inline]] inline CVariableList* SiteList(const StepContext& c, const VMVarSite& site) {
  if (site.listKind == SITE_DECLARED) {
    if (site.builtin) return nullptr;  // never a declared global
    return IsGlobalDeclared(site.id) ? c.lists[SITE_GLOBALS] : c.lists[SITE_SELF];
  }
  if (site.builtin && site.listKind >= SITE_SELF) return nullptr;
  return c.lists[site.listKind];
}

// The node a site names in the list, from the site's cache while the list is the one it was
// found in and has not been cleared since; a node found is remembered (an absent one is not).
[[gnu::always_inline]] inline VariableNode* SiteNode(const StepContext& c, CVariableList* list, VMVarSite& site) {
  if (site.list == list && site.epoch == list->m_Epoch) {
    site.stamp = c.stamp;
    return site.node;
  }
  VariableNode* node = list->Lookup(site.id);
  if (node != nullptr) {
    site.list = list;
    site.epoch = list->m_Epoch;
    site.node = node;
    site.stamp = c.stamp;
  }
  return node;
}

// The node of a site checked earlier in this run of steps, or null.
[[gnu::always_inline]] inline VariableNode* StampedNode(const StepContext& c, const VMVarSite& site) {
  return site.stamp == c.stamp ? site.node : nullptr;
}

// An argument site read through the registry: later reads take the slot found straight.
[[gnu::cold, gnu::noinline]] void ResolveArgumentSite(VMVarSite& site, const ScriptValue* slot) {
  site.listKind = SITE_ARGUMENT;
  site.argumentSlot = static_cast<uint8_t>(slot - g_VM.argumentSlots);
  site.argumentOfOther = site.selector == SEL_OTHER;
  site.epoch = g_VM.argumentIds.generation;
}

// The node a site names in its list; null when there is no list or no such variable.
[[gnu::always_inline]] inline VariableNode* ListNode(const StepContext& c, VMVarSite& site) {
  if (VariableNode* stamped = StampedNode(c, site)) [[likely]] return stamped;
  CVariableList* list = SiteList(c, site);
  if (list == nullptr) return nullptr;
  return SiteNode(c, list, site);
}

// What a step's reads did, for the error flags they clear.
struct StepReads {
  bool any = false;   // a variable was read (clears the instance-missing flag)
  bool list = false;  // one was read from a list (clears the array-index flag too)
};

// The real a whole-variable push would push, as PushVariable reads it; false where that read is
// not a real (or not set, under the option), or goes through a built-in other than an argument.
// With `kindWord`, the kind word the push would copy too (a held real's may carry marks).
[[gnu::always_inline]] inline bool ReadSite(const StepContext& c, VMVarSite& site, double* out, StepReads* reads,
                                            VariableNode** found = nullptr, uint32_t* kindWord = nullptr) {
  reads->any = true;
  if (VariableNode* stamped = StampedNode(c, site)) [[likely]] {
    reads->list = true;
    if (found != nullptr) *found = stamped;
    if (stamped->value.Kind() != VALUE_REAL) return false;
    *out = stamped->value.real;
    if (kindWord != nullptr) *kindWord = stamped->value.kind;
    return true;
  }
  if (site.listKind == SITE_ARGUMENT) {
    // The slot found for the site, while the registry and the instance are there.
    if (site.epoch == c.argumentGeneration[site.argumentOfOther]) [[likely]] {
      const ScriptValue& slot = g_VM.argumentSlots[site.argumentSlot];
      if (slot.Kind() != VALUE_REAL) return false;
      *out = slot.real;
      if (kindWord != nullptr) *kindWord = slot.kind;
      return true;
    }
  }
  CVariableList* list = SiteList(c, site);
  if (list == nullptr) [[unlikely]] {
    if (site.id >= kBuiltinVariableIdLimit) return false;
    const ScriptValue* slot = ArgumentSlot(*c.m, site.selector, site.id);
    if (slot == nullptr || slot->Kind() != VALUE_REAL) return false;
    ResolveArgumentSite(site, slot);
    *out = slot->real;
    if (kindWord != nullptr) *kindWord = slot->kind;
    return true;
  }
  reads->list = true;
  VariableNode* node = SiteNode(c, list, site);
  if (found != nullptr) *found = node;
  if (node == nullptr) {
    if (g_Options.uninitialisedVariables) return false;
    *out = 0.0;
    if (kindWord != nullptr) *kindWord = VALUE_REAL;
    return true;
  }
  if (node->value.Kind() != VALUE_REAL) return false;
  *out = node->value.real;
  if (kindWord != nullptr) *kindWord = node->value.kind;
  return true;
}

// ReadSite for the sites of call and return steps, which most often read an argument: an argument
// site is tried first.
[[gnu::always_inline]] inline bool ReadSiteArgumentFirst(const StepContext& c, VMVarSite& site, double* out,
                                                         StepReads* reads, uint32_t* kindWord = nullptr) {
  if (site.listKind == SITE_ARGUMENT && site.epoch == c.argumentGeneration[site.argumentOfOther]) [[likely]] {
    reads->any = true;
    const ScriptValue& slot = g_VM.argumentSlots[site.argumentSlot];
    if (slot.Kind() != VALUE_REAL) return false;
    *out = slot.real;
    if (kindWord != nullptr) *kindWord = slot.kind;
    return true;
  }
  return ReadSite(c, site, out, reads, nullptr, kindWord);
}

// The step's registers: the items its nodes leave, raw ints in `i`, doubles and reals in `d`.
struct Registers {
  double d[kVMStepMaxNodes];
  int32_t i[kVMStepMaxNodes];
};

// An operator on its two items (raw ints in the ints, others in the doubles): the item it
// leaves, or false when the operator has no fast answer (a division by zero, reported by the
// general handler).
template <uint8_t kOp, bool kLeftInt, bool kRightInt>
[[gnu::always_inline]] inline bool OperateT(int32_t li, double ld, int32_t ri, double rd, int32_t* oi, double* od) {
  if constexpr (kLeftInt && kRightInt) {
    if constexpr (kOp == OP_ADD) {
      *oi = num::WrapAdd32(li, ri);
    } else if constexpr (kOp == OP_SUB) {
      *oi = num::WrapSub32(li, ri);
    } else if constexpr (kOp == OP_MUL) {
      *oi = num::WrapMul32(li, ri);
    } else if constexpr (kOp == OP_MOD) {
      if (ri == 0) return false;
      *oi = num::ModInt32(li, ri);
    } else {  // div and rem
      if (ri == 0) return false;
      *oi = num::DivInt32(li, ri);
    }
    return true;
  } else {
    const double x = kLeftInt ? li : ld;
    const double y = kRightInt ? ri : rd;
    if constexpr (kOp == OP_ADD) {
      *od = x + y;
    } else if constexpr (kOp == OP_SUB) {
      *od = x - y;
    } else if constexpr (kOp == OP_MUL) {
      *od = x * y;
    } else if constexpr (kOp == OP_DIV) {
      if (std::fabs(y) < kVMDivideThreshold) return false;
      *od = x / y;
    } else if constexpr (kOp == OP_MOD) {
      if (std::fabs(y) < kVMDivideThreshold) return false;
      *od = VMRealMod(x, y);
    } else {  // rem
      const int64_t divisor = kRightInt ? ri : num::TruncInt64(rd);
      if (divisor == 0) return false;
      const int64_t dividend = kLeftInt ? li : num::TruncInt64(ld);
      *od = static_cast<double>(num::DivInt64(dividend, divisor));
    }
    return true;
  }
}

template <uint8_t kOp>
inline bool OperateOp(bool leftInt, bool rightInt, int32_t li, double ld, int32_t ri, double rd, int32_t* oi,
                      double* od) {
  if (leftInt && rightInt) return OperateT<kOp, true, true>(li, ld, ri, rd, oi, od);
  if (leftInt) return OperateT<kOp, true, false>(li, ld, ri, rd, oi, od);
  if (rightInt) return OperateT<kOp, false, true>(li, ld, ri, rd, oi, od);
  return OperateT<kOp, false, false>(li, ld, ri, rd, oi, od);
}

// An operator node on its two items.
inline bool Operate(const VMNode& n, int32_t li, double ld, int32_t ri, double rd, int32_t* oi, double* od) {
  switch (n.op) {
    case OP_ADD: return OperateOp<OP_ADD>(n.leftInt, n.rightInt, li, ld, ri, rd, oi, od);
    case OP_SUB: return OperateOp<OP_SUB>(n.leftInt, n.rightInt, li, ld, ri, rd, oi, od);
    case OP_MUL: return OperateOp<OP_MUL>(n.leftInt, n.rightInt, li, ld, ri, rd, oi, od);
    case OP_DIV: return OperateOp<OP_DIV>(n.leftInt, n.rightInt, li, ld, ri, rd, oi, od);
    case OP_MOD: return OperateOp<OP_MOD>(n.leftInt, n.rightInt, li, ld, ri, rd, oi, od);
    default: return OperateOp<OP_REM>(n.leftInt, n.rightInt, li, ld, ri, rd, oi, od);
  }
}

constexpr int kStepOpCountForMicro = 6;

// An element of an array a site's variable holds, read as a real (an array nobody owns becomes
// the variable's, as the list's read makes it); false when the read would not give a real that
// way (no such variable, no array, an index out of range), which the general read deals with.
[[gnu::always_inline]] inline bool ReadElement(const StepContext& c, VMVarSite& site, int32_t index, double* out,
                                               StepReads* reads) {
  if (index < 0 || site.builtin) return false;
  VariableNode* node = ListNode(c, site);
  if (node == nullptr || node->value.Kind() != VALUE_ARRAY || node->value.arr == nullptr) return false;
  const ScriptValue* element = VMElementAt(node->value.arr, index);
  if (element == nullptr || element->Kind() != VALUE_REAL) return false;
  VMClaimForRead(&node->value);
  reads->any = true;
  reads->list = true;
  *out = element->real;
  return true;
}

// The nodes' cases in the step evaluator (VMNode::micro): the leaves, then per operator in the
// order add, sub, mul, div, rem, mod four cases by the operands' types (left int: +2, right
// int: +1).
constexpr uint8_t kMicroInt = 0, kMicroDouble = 1, kMicroVar = 2, kMicroOps = 3;
constexpr uint8_t kMicroConv = kMicroOps + kStepOpCountForMicro * 4, kMicroElement = kMicroConv + 1;
constexpr uint8_t kMicroIndex = kMicroElement + 1;

// An operator node on the items at depth `left` and `left` + 1, leaving its item at `left`.
template <uint8_t kOp, bool kLeftInt, bool kRightInt>
[[gnu::always_inline]] inline bool Micro(Registers* r, int left) {
  int32_t li = 0, ri = 0;
  double ld = 0.0, rd = 0.0;
  if constexpr (kLeftInt) li = r->i[left]; else ld = r->d[left];
  if constexpr (kRightInt) ri = r->i[left + 1]; else rd = r->d[left + 1];
  return OperateT<kOp, kLeftInt, kRightInt>(li, ld, ri, rd, &r->i[left], &r->d[left]);
}

// A leaf node's item.
[[gnu::always_inline]] inline bool Leaf(const StepContext& c, VMStep& step, const VMNode& n, int32_t* i, double* d,
                                        StepReads* reads) {
  switch (n.kind) {
    case STEP_NODE_INT: *i = n.i; return true;
    case STEP_NODE_DOUBLE: *d = n.d; return true;
    default: return ReadSite(c, step.sites[n.site], d, reads);
  }
}

// Runs the step's nodes as the instructions would compute them, leaving the items in the
// registers; false (nothing changed but the sites' caches) when a read or an operator has no fast
// answer. The common shapes (one or two leaves and at most one operator) keep their items in
// machine registers.
[[gnu::always_inline]] inline bool EvaluateNodes(const StepContext& c, VMStep& step, Registers* r, StepReads* reads) {
  if (!step.general && step.nodeCount <= 3 && step.nodes[step.nodeCount - 1].kind != STEP_NODE_OP) {
    // Leaves only (a comparison's two, or a stored constant).
    if (!Leaf(c, step, step.nodes[0], &r->i[0], &r->d[0], reads)) return false;
    return step.nodeCount < 2 || Leaf(c, step, step.nodes[1], &r->i[1], &r->d[1], reads);
  }
  if (!step.general && step.nodeCount == 3) {
    int32_t li = 0, ri = 0;
    double ld = 0.0, rd = 0.0;
    if (!Leaf(c, step, step.nodes[0], &li, &ld, reads) || !Leaf(c, step, step.nodes[1], &ri, &rd, reads)) return false;
    return Operate(step.nodes[2], li, ld, ri, rd, &r->i[0], &r->d[0]);
  }
  int depth = 0;
  for (int k = 0; k < step.nodeCount; ++k) {
    const VMNode& n = step.nodes[k];
    switch (n.micro) {
      case kMicroInt: r->i[depth++] = n.i; break;
      case kMicroDouble: r->d[depth++] = n.d; break;
      case kMicroVar:
        if (!ReadSite(c, step.sites[n.site], &r->d[depth], reads)) return false;
        ++depth;
        break;
#define MICRO_OP(index, op)                                                            \
  case kMicroOps + (index) * 4 + 0: {                                                  \
    if (!Micro<op, false, false>(r, --depth - 1)) return false;                        \
    break;                                                                             \
  }                                                                                    \
  case kMicroOps + (index) * 4 + 1: {                                                  \
    if (!Micro<op, false, true>(r, --depth - 1)) return false;                         \
    break;                                                                             \
  }                                                                                    \
  case kMicroOps + (index) * 4 + 2: {                                                  \
    if (!Micro<op, true, false>(r, --depth - 1)) return false;                         \
    break;                                                                             \
  }                                                                                    \
  case kMicroOps + (index) * 4 + 3: {                                                  \
    if (!Micro<op, true, true>(r, --depth - 1)) return false;                          \
    break;                                                                             \
  }
      MICRO_OP(0, OP_ADD)
      MICRO_OP(1, OP_SUB)
      MICRO_OP(2, OP_MUL)
      MICRO_OP(3, OP_DIV)
      MICRO_OP(4, OP_REM)
      MICRO_OP(5, OP_MOD)
#undef MICRO_OP
      case kMicroConv: r->i[depth - 1] = num::TruncInt32(r->d[depth - 1]); break;
      case kMicroIndex: {
        // int(v) * stride + int(w), wrapping as mul.i.i and add.i.i do.
        double v = 0.0, w = 0.0;
        if (!ReadSite(c, step.sites[n.site], &v, reads) || !ReadSite(c, step.sites[n.site2], &w, reads)) return false;
        r->i[depth++] = num::WrapAdd32(num::WrapMul32(num::TruncInt32(v), n.i), num::TruncInt32(w));
        break;
      }
      case kMicroElement:
        // The index is on top, the selector (resolved in the site) under it.
        depth -= 2;
        if (!ReadElement(c, step.sites[n.site], r->i[depth + 1], &r->d[depth], reads)) return false;
        ++depth;
        break;
      default: return false;
    }
  }
  return true;
}

// ---- Step routines ----
//
// Each runs one step: on success it moves *pc past the step (or to its branch target) and sets
// *last to the step's last instruction; false when a guard failed (nothing changed then).
using StepRoutine = bool (*)(const StepContext& c, VMStep& step, int64_t* pc, int64_t* last);

// The pop's store of the step's result (a real over a value that owns nothing; the spare word
// stays).
[[gnu::always_inline]] inline bool CommitStore(const StepContext& c, VMStep& step, double value, const StepReads& reads,
                                               int64_t* pc, int64_t* last) {
  VMVarSite& site = step.sites[step.storeSite];
  VariableNode* node = ListNode(c, site);
  if (node == nullptr) return false;
  if (!VMOwnsNothing(node->value)) return false;
  if (reads.any) g_Variables.instanceMissing = 0;
  g_Variables.arrayIndexError.flag = 0;
  SetReal(&node->value, value);
  *last = step.lastPc;
  *pc = step.next;
  return true;
}

// The pop's store of the step's result into an element that exists, or is the next of its row
// with room for it, of an array the variable holds and owns, and that holds nothing it owns (as
// VMStoreInList stores it in place); false otherwise (the store's own routine then claims, grows or
// converts the array, or reports the index).
[[gnu::always_inline]] inline bool CommitElement(const StepContext& c, VMStep& step, double value, int32_t index,
                                                 const StepReads& reads, int64_t* pc, int64_t* last) {
  VMVarSite& site = step.sites[step.storeSite];
  if (index < 0 || site.builtin) return false;
  VariableNode* node = ListNode(c, site);
  if (node == nullptr || node->value.Kind() != VALUE_ARRAY) return false;
  // A row grown here by one element holds real 0, which the store below may overwrite.
  ScriptValue* element = VMOwnElement(&node->value, index);
  if (element == nullptr || !VMOwnsNothing(*element)) return false;
  if (reads.any) g_Variables.instanceMissing = 0;
  g_Variables.arrayIndexError.flag = 0;
  SetReal(element, value);
  *last = step.lastPc;
  *pc = step.next;
  return true;
}

// The comparison's branch, counted as the general handlers count it.
[[gnu::always_inline]] inline bool CommitBranch(VMStep& step, bool truth, const StepReads& reads, int64_t* pc,
                                                int64_t* last) {
  if (!CountBranch()) return false;
  if (reads.any) g_Variables.instanceMissing = 0;
  if (reads.list) g_Variables.arrayIndexError.flag = 0;
  *last = step.lastPc;
  *pc = truth == step.jumpIfTrue ? step.target : step.next;
  return true;
}

[[gnu::always_inline]] inline double Difference(bool leftInt, bool rightInt, int32_t li, double ld, int32_t ri,
                                                double rd) {
  if (leftInt && rightInt) return static_cast<double>(static_cast<int64_t>(li) - ri);
  return (leftInt ? li : ld) - (rightInt ? ri : rd);
}

bool StoreAny(const StepContext& c, VMStep& step, int64_t* pc, int64_t* last) {
  Registers r;
  r.i[0] = r.i[1] = 0;  // every path writes the items it leaves; this keeps the compiler sure of it
  r.d[0] = r.d[1] = 0.0;
  StepReads reads;
  if (!EvaluateNodes(c, step, &r, &reads)) return false;
  const double value = step.resultInt ? static_cast<double>(r.i[0]) : r.d[0];
  if (step.storeElement) return CommitElement(c, step, value, r.i[2], reads, pc, last);
  return CommitStore(c, step, value, reads, pc, last);
}

bool BranchAny(const StepContext& c, VMStep& step, int64_t* pc, int64_t* last) {
  Registers r;
  r.i[0] = r.i[1] = 0;  // every path writes the items it leaves; this keeps the compiler sure of it
  r.d[0] = r.d[1] = 0.0;
  StepReads reads;
  if (!EvaluateNodes(c, step, &r, &reads)) return false;
  const double g = Difference(step.leftInt, step.rightInt, r.i[0], r.d[0], r.i[1], r.d[1]);
  return CommitBranch(step, VMCompareDifference(step.compare, g, g_Variables.MathEpsilon), reads, pc, last);
}

bool Jump(const StepContext&, VMStep& step, int64_t* pc, int64_t* last) {
  if (!CountBranch()) return false;
  *last = step.pc;
  *pc = step.target;
  return true;
}

// The end of a counting loop: the increment stored, the branch back counted, the test and its
// branch counted and taken. Every guard (the variable holds a real, neither count pumps the
// window's messages) is checked before anything changes.
template <uint8_t kCompare>
[[gnu::always_inline]] inline bool LoopBody(const StepContext& c, VMStep& step, int64_t* pc, int64_t* last) {
  StepReads reads;
  VariableNode* node = nullptr;
  double x = 0.0;
  if (!ReadSite(c, step.sites[0], &x, &reads, &node) || node == nullptr) return false;
  // The translator keeps both constants as doubles too (a raw int one exactly).
  const double value = step.nodes[2].op == OP_ADD ? x + step.nodes[1].d : x - step.nodes[1].d;
  const uint32_t counter = g_VM.branchCounter;
  if ((counter + 1) % kPumpEveryBranches == 0 || (counter + 2) % kPumpEveryBranches == 0) return false;
  g_VM.branchCounter = counter + 2;
  g_Variables.instanceMissing = 0;
  g_Variables.arrayIndexError.flag = 0;
  SetReal(&node->value, value);  // a real: it owns nothing
  const double g = value - step.nodes[3].d;
  const bool truth = VMCompareDifference(kCompare != 0 ? kCompare : step.compare, g, g_Variables.MathEpsilon);
  *last = step.lastPc;
  *pc = truth == step.jumpIfTrue ? step.target : step.next;
  return true;
}

bool LoopStep(const StepContext& c, VMStep& step, int64_t* pc, int64_t* last) { return LoopBody<0>(c, step, pc, last); }

// Leaves by kind, known at compile time.
enum LeafMode { LEAF_INT, LEAF_DOUBLE, LEAF_VAR, LEAF_MODES };

template <int kMode>
[[gnu::always_inline]] inline bool LeafT(const StepContext& c, VMStep& step, const VMNode& n, int32_t* i, double* d,
                                         StepReads* reads) {
  if constexpr (kMode == LEAF_INT) {
    *i = n.i;
    return true;
  } else if constexpr (kMode == LEAF_DOUBLE) {
    *d = n.d;
    return true;
  } else {
    return ReadSite(c, step.sites[n.site], d, reads);
  }
}

// x = a constant or a whole variable.
template <int kMode>
bool StoreLeaf(const StepContext& c, VMStep& step, int64_t* pc, int64_t* last) {
  int32_t i = 0;
  double d = 0.0;
  StepReads reads;
  if (!LeafT<kMode>(c, step, step.nodes[0], &i, &d, &reads)) return false;
  return CommitStore(c, step, kMode == LEAF_INT ? static_cast<double>(i) : d, reads, pc, last);
}

// x = a op b.
template <int kLeft, int kRight, uint8_t kOp>
[[gnu::always_inline]] inline bool StoreBinaryBody(const StepContext& c, VMStep& step, int64_t* pc, int64_t* last) {
  constexpr bool kLeftInt = kLeft == LEAF_INT, kRightInt = kRight == LEAF_INT;
  int32_t li = 0, ri = 0, oi = 0;
  double ld = 0.0, rd = 0.0, od = 0.0;
  StepReads reads;
  VariableNode* stored = nullptr;
  if constexpr (kLeft == LEAF_VAR) {
    // x = x op b: the node the read found is the one the store writes.
    if (!ReadSite(c, step.sites[step.nodes[0].site], &ld, &reads, &stored)) return false;
  } else {
    if (!LeafT<kLeft>(c, step, step.nodes[0], &li, &ld, &reads)) return false;
  }
  if (!LeafT<kRight>(c, step, step.nodes[1], &ri, &rd, &reads)) return false;
  if (!OperateT<kOp, kLeftInt, kRightInt>(li, ld, ri, rd, &oi, &od)) return false;
  const double value = kLeftInt && kRightInt ? static_cast<double>(oi) : od;
  if (kLeft == LEAF_VAR && step.storeIsFirstRead && stored != nullptr) {
    if (!VMOwnsNothing(stored->value)) return false;
    g_Variables.instanceMissing = 0;
    g_Variables.arrayIndexError.flag = 0;
    SetReal(&stored->value, value);
    *last = step.lastPc;
    *pc = step.next;
    return true;
  }
  return CommitStore(c, step, value, reads, pc, last);
}

template <int kLeft, int kRight, uint8_t kOp>
bool StoreBinary(const StepContext& c, VMStep& step, int64_t* pc, int64_t* last) {
  return StoreBinaryBody<kLeft, kRight, kOp>(c, step, pc, last);
}

// if a cmp b, branching.
template <int kLeft, int kRight, uint8_t kCompare>
[[gnu::always_inline]] inline bool BranchBinaryBody(const StepContext& c, VMStep& step, int64_t* pc, int64_t* last) {
  constexpr bool kLeftInt = kLeft == LEAF_INT, kRightInt = kRight == LEAF_INT;
  int32_t li = 0, ri = 0;
  double ld = 0.0, rd = 0.0;
  StepReads reads;
  if (!LeafT<kLeft>(c, step, step.nodes[0], &li, &ld, &reads)) return false;
  if (!LeafT<kRight>(c, step, step.nodes[1], &ri, &rd, &reads)) return false;
  const double g = Difference(kLeftInt, kRightInt, li, ld, ri, rd);
  return CommitBranch(step, VMCompareDifference(kCompare, g, g_Variables.MathEpsilon), reads, pc, last);
}

template <int kLeft, int kRight, uint8_t kCompare>
bool BranchBinary(const StepContext& c, VMStep& step, int64_t* pc, int64_t* last) {
  return BranchBinaryBody<kLeft, kRight, kCompare>(c, step, pc, last);
}

// The element index an index node leaves: int(v) * stride + int(w), wrapping as mul.i.i and
// add.i.i do.
[[gnu::always_inline]] inline bool IndexOf(const StepContext& c, VMStep& step, const VMNode& n, int32_t* index,
                                           StepReads* reads) {
  double v = 0.0, w = 0.0;
  if (!ReadSite(c, step.sites[n.site], &v, reads) || !ReadSite(c, step.sites[n.site2], &w, reads)) return false;
  *index = num::WrapAdd32(num::WrapMul32(num::TruncInt32(v), n.i), num::TruncInt32(w));
  return true;
}

// Element steps in their checked form. Within one run of steps a variable's node, once found,
// stays (StampedNode), and more holds: steps store only reals into whole variables and refuse
// to store over an array, so a variable found holding a real still holds one, and an array
// found held and owned by a variable stays that variable's with the same row list; rows only
// lengthen inside the room they have (a row that must move goes the general way, which ends the
// run). So an element step whose sites were all found so once in a run (VMStep::ready holds the
// run's mark) reads the nodes and the array without checking them again.

// Checks the step's sites for its checked form: `reals` sites from the first holding reals, then
// the site `reals` holding an array it owns. Marks the step ready for this run when they do.
[[gnu::noinline]] bool MarkElementStepReady(const StepContext& c, VMStep& step, int reals) {
  for (int k = 0; k < reals; ++k) {
    VariableNode* node = ListNode(c, step.sites[k]);
    if (node == nullptr || node->value.Kind() != VALUE_REAL) return false;
  }
  VMVarSite& site = step.sites[reals];
  if (site.builtin) return false;
  VariableNode* node = ListNode(c, site);
  if (node == nullptr || node->value.Kind() != VALUE_ARRAY || node->value.arr == nullptr ||
      node->value.arr->owner != &node->value) {
    return false;
  }
  step.ready = c.stamp;
  return true;
}

// The real a site checked for the step's checked form holds.
[[gnu::always_inline]] inline double ReadyReal(const VMStep& step, int site) { return step.sites[site].node->value.real; }

// num::TruncInt32 as the processor's truncation gives it: out of range or NaN, that gives
// INT32_MIN too.
[[gnu::always_inline]] inline int32_t TruncateIndex(double v) { return _mm_cvttsd_si32(_mm_set_sd(v)); }

// The element index of the two reals, as an index node computes it.
[[gnu::always_inline]] inline int32_t ReadyIndex(const VMStep& step, int site, int32_t stride) {
  return num::WrapAdd32(num::WrapMul32(TruncateIndex(ReadyReal(step, site)), stride),
                        TruncateIndex(ReadyReal(step, site + 1)));
}

// a[v, w] = x, with x a variable or a constant, in the checked form (sites: x when a variable,
// v, w, then a); false when the index is out of the array's rows or the element may not be
// written in place here.
template <int kValue>
[[gnu::always_inline]] inline bool StoreElementReady(VMStep& step, int64_t* pc, int64_t* last) {
  constexpr int kIndexSite = kValue == LEAF_VAR ? 1 : 0;
  const double value = kValue == LEAF_VAR ? ReadyReal(step, 0)
                       : kValue == LEAF_INT ? static_cast<double>(step.nodes[0].i)
                                            : step.nodes[0].d;
  const int32_t index = ReadyIndex(step, kIndexSite, step.nodes[2].i);
  const ValueArray* array = step.sites[kIndexSite + 2].node->value.arr;
  const uint32_t row = static_cast<uint32_t>(index) / kArrayRowStride;
  const int32_t column = static_cast<int32_t>(static_cast<uint32_t>(index) % kArrayRowStride);
  if (index < 0 || row >= static_cast<uint32_t>(array->rowCount)) return false;
  ValueRow& slot = array->rows[row];
  ScriptValue* element = &slot.elements[column];
  if (column < slot.length) {
    if (element->Kind() == VALUE_STRING || element->Kind() == VALUE_ARRAY) return false;
  } else {
    // The next element of the row, in the room it has (the row's growth takes each new memory
    // step).
    if (column != slot.length || column >= slot.capacity || column % kRowMemoryStep == 0) return false;
    slot.length = column + 1;
    element->flags = 0;
  }
  g_Variables.instanceMissing = 0;
  g_Variables.arrayIndexError.flag = 0;
  element->real = value;
  element->kind = VALUE_REAL;
  *last = step.lastPc;
  *pc = step.next;
  return true;
}

// The same store the first time in a run, or where its checked form cannot make it: each check
// again, the way StoreAny makes them (false where the general store must run).
template <int kValue>
[[gnu::noinline]] bool StoreElementChecking(const StepContext& c, VMStep& step, int64_t* pc, int64_t* last) {
  if (step.ready != c.stamp && MarkElementStepReady(c, step, kValue == LEAF_VAR ? 3 : 2) &&
      StoreElementReady<kValue>(step, pc, last)) {
    return true;
  }
  int32_t i = 0, index = 0;
  double d = 0.0;
  StepReads reads;
  if (!LeafT<kValue>(c, step, step.nodes[0], &i, &d, &reads)) return false;
  if (!IndexOf(c, step, step.nodes[2], &index, &reads)) return false;
  return CommitElement(c, step, kValue == LEAF_INT ? static_cast<double>(i) : d, index, reads, pc, last);
}

// a[v, w] = x: the value, the index and the store, as StoreAny runs the three nodes.
template <int kValue>
bool StoreElementIndex(const StepContext& c, VMStep& step, int64_t* pc, int64_t* last) {
  if (step.ready == c.stamp && StoreElementReady<kValue>(step, pc, last)) [[likely]] return true;
  return StoreElementChecking<kValue>(c, step, pc, last);
}

// Stores x op y (add, sub or mul) as x's real, the operands read, and moves past the step.
template <uint8_t kOp>
[[gnu::always_inline]] inline bool Accumulate(const VMStep& step, VariableNode* stored, double x, double y,
                                              int64_t* pc, int64_t* last) {
  g_Variables.instanceMissing = 0;
  g_Variables.arrayIndexError.flag = 0;
  stored->value.real = kOp == OP_ADD ? x + y : kOp == OP_SUB ? x - y : x * y;
  stored->value.kind = VALUE_REAL;
  *last = step.lastPc;
  *pc = step.next;
  return true;
}

// x = x op a[v, w] (add, sub or mul) in the checked form (sites: x, v, w, then a); false when the
// element is out of the array or holds no real.
template <uint8_t kOp>
[[gnu::always_inline]] inline bool AccumulateElementReady(VMStep& step, int64_t* pc, int64_t* last) {
  const int32_t index = ReadyIndex(step, 1, step.nodes[2].i);
  const ValueArray* array = step.sites[3].node->value.arr;
  const uint32_t row = static_cast<uint32_t>(index) / kArrayRowStride;
  const int32_t column = static_cast<int32_t>(static_cast<uint32_t>(index) % kArrayRowStride);
  if (index < 0 || row >= static_cast<uint32_t>(array->rowCount) || column >= array->rows[row].length) return false;
  const ScriptValue& element = array->rows[row].elements[column];
  if (element.Kind() != VALUE_REAL) return false;
  VariableNode* stored = step.sites[0].node;
  return Accumulate<kOp>(step, stored, stored->value.real, element.real, pc, last);
}

// The same the first time in a run, or where the checked form cannot run it: the read of x
// finds the node the store writes.
template <uint8_t kOp>
[[gnu::noinline]] bool AccumulateElementChecking(const StepContext& c, VMStep& step, int64_t* pc, int64_t* last) {
  if (step.ready != c.stamp && MarkElementStepReady(c, step, 3) && AccumulateElementReady<kOp>(step, pc, last)) {
    return true;
  }
  StepReads reads;
  VariableNode* stored = nullptr;
  double x = 0.0, y = 0.0;
  int32_t index = 0;
  if (!ReadSite(c, step.sites[step.nodes[0].site], &x, &reads, &stored) || stored == nullptr) return false;
  if (!IndexOf(c, step, step.nodes[2], &index, &reads)) return false;
  if (!ReadElement(c, step.sites[step.nodes[3].site], index, &y, &reads)) return false;
  // The read found a real there, so the store replaces nothing the variable owns.
  return Accumulate<kOp>(step, stored, x, y, pc, last);
}

template <uint8_t kOp>
bool AccumulateElement(const StepContext& c, VMStep& step, int64_t* pc, int64_t* last) {
  if (step.ready == c.stamp && AccumulateElementReady<kOp>(step, pc, last)) [[likely]] return true;
  return AccumulateElementChecking<kOp>(c, step, pc, last);
}

// The routine for a store into an element of two indexes, or for an accumulation of such an
// element into a variable, when the step is one; null otherwise.
// The body of an element loop, once: its checked form, else each check again; false when the
// general path must run it.
template <uint8_t kShape>
[[gnu::always_inline]] inline bool ElementBody(const StepContext& c, VMStep& step) {
  int64_t pc = 0, last = 0;  // the loop decides where to go on
  constexpr int kLeaf = kShape == ELEMENT_STORE_INT ? LEAF_INT : kShape == ELEMENT_STORE_DOUBLE ? LEAF_DOUBLE : LEAF_VAR;
  constexpr uint8_t kOp = kShape == ELEMENT_ADD ? OP_ADD : kShape == ELEMENT_SUB ? OP_SUB : OP_MUL;
  if constexpr (kShape <= ELEMENT_STORE_VAR) {
    return (step.ready == c.stamp && StoreElementReady<kLeaf>(step, &pc, &last)) ||
           StoreElementChecking<kLeaf>(c, step, &pc, &last);
  } else {
    return (step.ready == c.stamp && AccumulateElementReady<kOp>(step, &pc, &last)) ||
           AccumulateElementChecking<kOp>(c, step, &pc, &last);
  }
}

// A STEP_ELEMENT_LOOP: the body, then the loop's end as LoopBody runs it, pass after pass. A body
// that must run the general way stops the step at the body's first word, a loop end whose branch
// would pump the window's messages at the increment, each with the passes before done.
template <uint8_t kShape>
bool ElementLoop(const StepContext& c, VMStep& step, int64_t* pc, int64_t* last) {
  VariableNode* counted = ListNode(c, step.sites[step.loopSite]);
  if (counted == nullptr || counted->value.Kind() != VALUE_REAL) return false;
  VariableNode* increased = nullptr;
  if (step.preOp != 0) {
    increased = ListNode(c, step.sites[step.preSite]);
    if (increased == nullptr || increased->value.Kind() != VALUE_REAL) return false;
  }
  bool ran = false;
  for (;;) {
    if (increased != nullptr) {
      // y = y +/- k, as StoreBinaryBody stores it (the body stores only reals, so y still holds one).
      const double y = increased->value.real;
      g_Variables.instanceMissing = 0;
      g_Variables.arrayIndexError.flag = 0;
      increased->value.real = step.preOp == OP_ADD ? y + step.preBy : y - step.preBy;
      increased->value.kind = VALUE_REAL;
    }
    if (!ElementBody<kShape>(c, step)) {
      if (increased != nullptr) {
        *last = step.preLastPc;
        *pc = step.elementPc;
        return false;
      }
      if (ran) {
        *last = step.lastPc;
        *pc = step.pc;
      }
      return false;
    }
    // The body stores only reals, so the loop variable still holds one.
    const double x = counted->value.real;
    const double value = step.loopOp == OP_ADD ? x + step.loopBy : x - step.loopBy;
    const uint32_t counter = g_VM.branchCounter;
    if ((counter + 1) % kPumpEveryBranches == 0 || (counter + 2) % kPumpEveryBranches == 0) {
      *last = step.bodyLastPc;
      *pc = step.loopPc;
      return false;
    }
    g_VM.branchCounter = counter + 2;
    g_Variables.instanceMissing = 0;
    g_Variables.arrayIndexError.flag = 0;
    counted->value.real = value;
    counted->value.kind = VALUE_REAL;
    ran = true;
    const bool truth = VMCompareDifference(step.compare, value - step.loopLimit, g_Variables.MathEpsilon);
    const int64_t to = truth == step.jumpIfTrue ? step.target : step.next;
    if (to != step.pc) {
      *last = step.lastPc;
      *pc = to;
      return true;
    }
  }
}

// A step that always leaves its words to the general path.
bool HandOver(const StepContext&, VMStep&, int64_t*, int64_t*) { return false; }

// The routine for an element step or an element loop, when the step is one; null otherwise.
[[gnu::cold]] StepRoutine ElementRoutine(const VMStep& step) {
  const bool loop = step.kind == STEP_ELEMENT_LOOP;
  switch (VMElementShapeOf(step)) {
    case ELEMENT_STORE_INT: return loop ? &ElementLoop<ELEMENT_STORE_INT> : &StoreElementIndex<LEAF_INT>;
    case ELEMENT_STORE_DOUBLE: return loop ? &ElementLoop<ELEMENT_STORE_DOUBLE> : &StoreElementIndex<LEAF_DOUBLE>;
    case ELEMENT_STORE_VAR: return loop ? &ElementLoop<ELEMENT_STORE_VAR> : &StoreElementIndex<LEAF_VAR>;
    case ELEMENT_ADD: return loop ? &ElementLoop<ELEMENT_ADD> : &AccumulateElement<OP_ADD>;
    case ELEMENT_SUB: return loop ? &ElementLoop<ELEMENT_SUB> : &AccumulateElement<OP_SUB>;
    case ELEMENT_MUL: return loop ? &ElementLoop<ELEMENT_MUL> : &AccumulateElement<OP_MUL>;
    default: return nullptr;
  }
}

// The arithmetic opcodes and the comparisons in table order.
constexpr uint8_t kStepOps[] = {OP_ADD, OP_SUB, OP_MUL, OP_DIV, OP_REM, OP_MOD};
constexpr uint8_t kStepCompares[] = {OP_SLT, OP_SLE, OP_SEQ, OP_SNE, OP_SGE, OP_SGT};
constexpr int kStepOpCount = 6;

template <int kLeft, int kRight, size_t... k>
constexpr std::array<StepRoutine, kStepOpCount> StoreRow(std::index_sequence<k...>) {
  return {&StoreBinary<kLeft, kRight, kStepOps[k]>...};
}
template <int kLeft, int kRight, size_t... k>
constexpr std::array<StepRoutine, kStepOpCount> BranchRow(std::index_sequence<k...>) {
  return {&BranchBinary<kLeft, kRight, kStepCompares[k]>...};
}
template <bool kStore, int kLeft, int kRight>
constexpr std::array<StepRoutine, kStepOpCount> Row() {
  if constexpr (kStore) return StoreRow<kLeft, kRight>(std::make_index_sequence<kStepOpCount>());
  else return BranchRow<kLeft, kRight>(std::make_index_sequence<kStepOpCount>());
}
template <bool kStore>
constexpr std::array<std::array<std::array<StepRoutine, kStepOpCount>, LEAF_MODES>, LEAF_MODES> Table() {
  return {{{Row<kStore, LEAF_INT, LEAF_INT>(), Row<kStore, LEAF_INT, LEAF_DOUBLE>(), Row<kStore, LEAF_INT, LEAF_VAR>()},
           {Row<kStore, LEAF_DOUBLE, LEAF_INT>(), Row<kStore, LEAF_DOUBLE, LEAF_DOUBLE>(),
            Row<kStore, LEAF_DOUBLE, LEAF_VAR>()},
           {Row<kStore, LEAF_VAR, LEAF_INT>(), Row<kStore, LEAF_VAR, LEAF_DOUBLE>(), Row<kStore, LEAF_VAR, LEAF_VAR>()}}};
}
constexpr auto kStoreBinaryTable = Table<true>();
constexpr auto kBranchBinaryTable = Table<false>();

int LeafModeOf(const VMNode& n) {
  return n.kind == STEP_NODE_INT ? LEAF_INT : n.kind == STEP_NODE_DOUBLE ? LEAF_DOUBLE : LEAF_VAR;
}
int IndexIn(const uint8_t* table, uint8_t op) {
  for (int k = 0; k < kStepOpCount; ++k) {
    if (table[k] == op) return k;
  }
  return -1;
}

// ---- Steps in register form ----
//
// A step whose operators all compute on doubles runs as its VMStep::chain: one case per operator
// and operand modes, each reading its operands where they are (a variable, a constant, a register
// an earlier operator wrote), so no leaf is copied into a register first. The variables are read
// in another order than the words read them; reads change nothing but the sites' caches, and
// every read happens before anything is stored, so the outcome is the same.

// The chain's cases: per operator in the order add, sub, mul, div, rem, mod, then mod by a
// positive integer constant, then the comparison, nine cases each (left mode * 3 + right mode);
// then the store.
constexpr int kChainModConst = 6, kChainCompare = 7;
constexpr uint8_t kChainStore = (kChainCompare + 1) * CHAIN_MODES * CHAIN_MODES;

template <int kMode>
[[gnu::always_inline]] inline bool ChainLoad(const StepContext& c, VMStep& step, const double* r, double acc,
                                             uint8_t index, double constant, double* out, StepReads* reads) {
  if constexpr (kMode == CHAIN_ACC) {
    *out = acc;
    return true;
  } else if constexpr (kMode == CHAIN_REG) {
    *out = r[index];
    return true;
  } else if constexpr (kMode == CHAIN_CONST) {
    *out = constant;
    return true;
  } else {
    return ReadSite(c, step.sites[index], out, reads);
  }
}

// x mod k for a positive integer constant k, as VMRealMod gives it: through k's reciprocal when x
// is an integer in the 32-bit range.
[[gnu::always_inline]] inline double ModConstant(double x, const VMChainOp& op) {
  if (x > -2147483649.0 && x < 2147483648.0) {
    const int32_t a = static_cast<int32_t>(x);
    if (static_cast<double>(a) == x) {
      const uint32_t magnitude = a < 0 ? 0u - static_cast<uint32_t>(a) : static_cast<uint32_t>(a);
      const uint32_t m = num::ModByReciprocal(magnitude, op.magic, op.divisor);
      if (m == 0) return std::signbit(x) ? -0.0 : 0.0;
      return a < 0 ? -static_cast<double>(m) : static_cast<double>(m);
    }
  }
  return VMRealMod(x, op.rightConst);
}

bool ChainStep(const StepContext& c, VMStep& step, int64_t* pc, int64_t* last) {
#define CHAIN_OP_LABELS(op)                                                                                   \
  &&op##_0_0, &&op##_0_1, &&op##_0_2, &&op##_0_3, &&op##_1_0, &&op##_1_1, &&op##_1_2, &&op##_1_3, &&op##_2_0, \
      &&op##_2_1, &&op##_2_2, &&op##_2_3, &&op##_3_0, &&op##_3_1, &&op##_3_2, &&op##_3_3
#define CHAIN_MODK_LABELS(lm) &&chain_fail, &&chain_fail, &&chain_modk_##lm, &&chain_fail
  static const void* const kLabels[] = {
      CHAIN_OP_LABELS(chain_add), CHAIN_OP_LABELS(chain_sub), CHAIN_OP_LABELS(chain_mul),
      CHAIN_OP_LABELS(chain_div), CHAIN_OP_LABELS(chain_rem), CHAIN_OP_LABELS(chain_mod),
      CHAIN_MODK_LABELS(0),       CHAIN_MODK_LABELS(1),       CHAIN_MODK_LABELS(2),
      CHAIN_MODK_LABELS(3),       CHAIN_OP_LABELS(chain_cmp), &&chain_store,
  };
  static_assert(sizeof(kLabels) / sizeof(kLabels[0]) == kChainStore + 1, "a label per case");
#undef CHAIN_MODK_LABELS
#undef CHAIN_OP_LABELS
  // acc is the last operator's result, kept in a machine register; every result is also written
  // to its register for an operator further on.
  double r[kVMStepMaxNodes];
  double acc = 0.0;
  StepReads reads;
  const VMChainOp* op = step.chain;
  double x, y;
  int32_t unused;
#define CHAIN_LOAD_BOTH(lm, rm)                                                          \
  if (!ChainLoad<lm>(c, step, r, acc, op->left, op->leftConst, &x, &reads) ||            \
      !ChainLoad<rm>(c, step, r, acc, op->right, op->rightConst, &y, &reads)) {          \
    return false;                                                                        \
  }
#define CHAIN_CASE(name, opcode, lm, rm)                                                 \
  name##_##lm##_##rm : {                                                                 \
    CHAIN_LOAD_BOTH(lm, rm)                                                              \
    if (!OperateT<opcode, false, false>(0, x, 0, y, &unused, &acc)) return false;        \
    r[op->dst] = acc;                                                                    \
    ++op;                                                                                \
    goto* kLabels[op->code];                                                             \
  }
#define CHAIN_CASES_LEFT(name, opcode, lm)                                                              \
  CHAIN_CASE(name, opcode, lm, 0) CHAIN_CASE(name, opcode, lm, 1) CHAIN_CASE(name, opcode, lm, 2)        \
  CHAIN_CASE(name, opcode, lm, 3)
#define CHAIN_CASES(name, opcode)                                                                         \
  CHAIN_CASES_LEFT(name, opcode, 0) CHAIN_CASES_LEFT(name, opcode, 1) CHAIN_CASES_LEFT(name, opcode, 2)   \
  CHAIN_CASES_LEFT(name, opcode, 3)
#define CHAIN_MODK(lm)                                                                        \
  chain_modk_##lm : {                                                                         \
    if (!ChainLoad<lm>(c, step, r, acc, op->left, op->leftConst, &x, &reads)) return false;   \
    acc = ModConstant(x, *op);                                                                \
    r[op->dst] = acc;                                                                         \
    ++op;                                                                                     \
    goto* kLabels[op->code];                                                                  \
  }
#define CHAIN_COMPARE(lm, rm)                                                                                 \
  chain_cmp_##lm##_##rm : {                                                                                   \
    CHAIN_LOAD_BOTH(lm, rm)                                                                                   \
    return CommitBranch(step, VMCompareDifference(step.compare, x - y, g_Variables.MathEpsilon), reads, pc, last); \
  }
#define CHAIN_COMPARES_LEFT(lm) CHAIN_COMPARE(lm, 0) CHAIN_COMPARE(lm, 1) CHAIN_COMPARE(lm, 2) CHAIN_COMPARE(lm, 3)
  goto* kLabels[op->code];
  CHAIN_CASES(chain_add, OP_ADD)
  CHAIN_CASES(chain_sub, OP_SUB)
  CHAIN_CASES(chain_mul, OP_MUL)
  CHAIN_CASES(chain_div, OP_DIV)
  CHAIN_CASES(chain_rem, OP_REM)
  CHAIN_CASES(chain_mod, OP_MOD)
  CHAIN_MODK(0)
  CHAIN_MODK(1)
  CHAIN_MODK(2)
  CHAIN_MODK(3)
  CHAIN_COMPARES_LEFT(0)
  CHAIN_COMPARES_LEFT(1)
  CHAIN_COMPARES_LEFT(2)
  CHAIN_COMPARES_LEFT(3)
chain_store:
  return CommitStore(c, step, acc, reads, pc, last);
chain_fail:
  return false;
#undef CHAIN_COMPARES_LEFT
#undef CHAIN_COMPARE
#undef CHAIN_MODK
#undef CHAIN_CASES
#undef CHAIN_CASES_LEFT
#undef CHAIN_CASE
#undef CHAIN_LOAD_BOTH
}

// Builds the step's register form; false when the step has none (an operator on two raw ints, an
// element or a conversion, or a store of anything but an operator's result).
[[gnu::cold]] bool BuildChain(VMStep* step) {
  if (step->general || (step->kind != STEP_STORE && step->kind != STEP_BRANCH) || step->storeElement) return false;
  if (step->kind == STEP_STORE && step->nodes[step->nodeCount - 1].kind != STEP_NODE_OP) return false;
  struct Item {
    uint8_t mode;
    uint8_t index;
    double constant;
    int producer;  // CHAIN_REG: the operator that wrote it
  };
  Item items[kVMStepMaxNodes];
  int depth = 0, count = 0;
  for (int k = 0; k < step->nodeCount; ++k) {
    const VMNode& n = step->nodes[k];
    switch (n.kind) {
      case STEP_NODE_INT: items[depth++] = {CHAIN_CONST, 0, static_cast<double>(n.i), -1}; break;
      case STEP_NODE_DOUBLE: items[depth++] = {CHAIN_CONST, 0, n.d, -1}; break;
      case STEP_NODE_VAR: items[depth++] = {CHAIN_VAR, n.site, 0.0, -1}; break;
      case STEP_NODE_OP: {
        const int opIndex = IndexIn(kStepOps, n.op);
        // The result of the operator just before is read from the accumulator.
        for (int d = depth - 2; d < depth; ++d) {
          if (d >= 0 && items[d].mode == CHAIN_REG && items[d].producer == count - 1) items[d].mode = CHAIN_ACC;
        }
        if (n.isInt || opIndex < 0 || depth < 2 || count >= kVMChainMaxOps - 1) return false;
        const Item& left = items[depth - 2];
        const Item& right = items[depth - 1];
        VMChainOp& op = step->chain[count++];
        op = VMChainOp{};
        op.dst = static_cast<uint8_t>(depth - 2);
        op.left = left.index;
        op.right = right.index;
        op.leftConst = left.constant;
        op.rightConst = right.constant;
        const double k = right.constant;
        if (n.op == OP_MOD && right.mode == CHAIN_CONST && k >= 1.0 && k <= 2147483647.0 &&
            k == static_cast<double>(static_cast<int32_t>(k))) {
          op.code = static_cast<uint8_t>((kChainModConst * CHAIN_MODES + left.mode) * CHAIN_MODES + CHAIN_CONST);
          op.divisor = static_cast<uint32_t>(k);
          op.magic = num::ModReciprocal(op.divisor);
        } else {
          op.code = static_cast<uint8_t>((opIndex * CHAIN_MODES + left.mode) * CHAIN_MODES + right.mode);
        }
        --depth;
        items[depth - 1] = {CHAIN_REG, static_cast<uint8_t>(depth - 1), 0.0, count - 1};
        break;
      }
      default: return false;
    }
  }
  if (count == 0) return false;
  VMChainOp& end = step->chain[count];
  end = VMChainOp{};
  if (step->kind == STEP_STORE) {
    if (depth != 1) return false;
    end.code = kChainStore;
  } else {
    if (depth != 2) return false;
    for (int d = 0; d < 2; ++d) {
      if (items[d].mode == CHAIN_REG && items[d].producer == count - 1) items[d].mode = CHAIN_ACC;
    }
    end.code = static_cast<uint8_t>((kChainCompare * CHAIN_MODES + items[0].mode) * CHAIN_MODES + items[1].mode);
    end.left = items[0].index;
    end.right = items[1].index;
    end.leftConst = items[0].constant;
    end.rightConst = items[1].constant;
  }
  return true;
}

// Gives each node its case in the step evaluator.
[[gnu::cold]] void PrepareNodes(VMStep* step) {
  for (int k = 0; k < step->nodeCount; ++k) {
    VMNode& n = step->nodes[k];
    switch (n.kind) {
      case STEP_NODE_INT: n.micro = kMicroInt; break;
      case STEP_NODE_DOUBLE: n.micro = kMicroDouble; break;
      case STEP_NODE_VAR: n.micro = kMicroVar; break;
      case STEP_NODE_CONV: n.micro = kMicroConv; break;
      case STEP_NODE_ELEM: n.micro = kMicroElement; break;
      case STEP_NODE_INDEX: n.micro = kMicroIndex; break;
      default: {
        const int op = IndexIn(kStepOps, n.op);
        // The translator makes operator nodes of these six only.
        n.micro = static_cast<uint8_t>(kMicroOps + (op < 0 ? 0 : op) * 4 + (n.leftInt ? 2 : 0) + (n.rightInt ? 1 : 0));
        break;
      }
    }
  }
}

bool BuildLoopBody(VMStep* f);

// The routine for the step's shape: a specialised one for two leaves and one operator (or two
// leaves compared), the register form for longer expressions computed on doubles, else the
// general ones.
[[gnu::cold]] StepRoutine ChooseRoutine(VMStep& step) {
  const VMNode* n = step.nodes;
  if (StepRoutine element = ElementRoutine(step)) return element;
  if (step.kind == STEP_ELEMENT_LOOP) return &HandOver;  // the translator makes none such
  if (step.general) return step.kind == STEP_STORE ? &StoreAny : &BranchAny;
  if (step.nodeCount > 3 && BuildChain(&step)) return &ChainStep;
  switch (step.kind) {
    case STEP_STORE:
      if (step.nodeCount == 3 && n[0].kind != STEP_NODE_OP && n[1].kind != STEP_NODE_OP && n[2].kind == STEP_NODE_OP) {
        const int op = IndexIn(kStepOps, n[2].op);
        if (op >= 0) return kStoreBinaryTable[LeafModeOf(n[0])][LeafModeOf(n[1])][op];
      }
      if (step.nodeCount == 1 && !step.storeElement && n[0].kind != STEP_NODE_OP) {
        static constexpr StepRoutine kLeaves[] = {&StoreLeaf<LEAF_INT>, &StoreLeaf<LEAF_DOUBLE>, &StoreLeaf<LEAF_VAR>};
        return kLeaves[LeafModeOf(n[0])];
      }
      return &StoreAny;
    case STEP_BRANCH:
      if (step.nodeCount == 2) {
        const int compare = IndexIn(kStepCompares, step.compare);
        if (compare >= 0) return kBranchBinaryTable[LeafModeOf(n[0])][LeafModeOf(n[1])][compare];
      }
      return &BranchAny;
    case STEP_LOOP: return &LoopStep;
    case STEP_LOOP_BODY:
      BuildLoopBody(&step);
      return &Jump;  // run by the step loop itself (kShapeLoopBody)
    default: return &Jump;  // calls and returns are run by the fast loop itself (RunCall, RunReturn)
  }
}

// The shapes run inline by RunSteps: x = v op k, x = v op w, and v compared with k or w.
#define STEP_SHAPES(X)                                 \
  X(1, true, StoreBinaryBody, LEAF_VAR, LEAF_INT, OP_ADD)    \
  X(2, true, StoreBinaryBody, LEAF_VAR, LEAF_INT, OP_SUB)    \
  X(3, true, StoreBinaryBody, LEAF_VAR, LEAF_INT, OP_MUL)    \
  X(4, true, StoreBinaryBody, LEAF_VAR, LEAF_VAR, OP_ADD)    \
  X(5, true, StoreBinaryBody, LEAF_VAR, LEAF_VAR, OP_SUB)    \
  X(6, true, StoreBinaryBody, LEAF_VAR, LEAF_VAR, OP_MUL)    \
  X(7, false, BranchBinaryBody, LEAF_VAR, LEAF_INT, OP_SLT)   \
  X(8, false, BranchBinaryBody, LEAF_VAR, LEAF_INT, OP_SLE)   \
  X(9, false, BranchBinaryBody, LEAF_VAR, LEAF_INT, OP_SGT)   \
  X(10, false, BranchBinaryBody, LEAF_VAR, LEAF_INT, OP_SGE)  \
  X(11, false, BranchBinaryBody, LEAF_VAR, LEAF_INT, OP_SEQ)  \
  X(12, false, BranchBinaryBody, LEAF_VAR, LEAF_VAR, OP_SLT)  \
  X(13, false, BranchBinaryBody, LEAF_VAR, LEAF_VAR, OP_SLE)  \
  X(14, false, BranchBinaryBody, LEAF_VAR, LEAF_VAR, OP_SGT)
constexpr uint8_t kShapeJump = 15;
constexpr uint8_t kShapeLoop = 16;
constexpr uint8_t kShapeLoopBelow = 17;  // a loop step testing x < constant
constexpr uint8_t kShapeCall = 18;        // RunCall
constexpr uint8_t kShapeCallOneSum = 19;  // RunCall of one argument `v + k` or `v - k`
constexpr uint8_t kShapeReturn = 20;      // RunReturn
constexpr uint8_t kShapeTestReturn = 21;  // RunTestReturn
constexpr uint8_t kShapeLoopBody = 22;    // LoopWithBody

// The inline shape of a step, or 0 for one that runs through its routine.
[[gnu::cold]] uint8_t ShapeOf(const VMStep& step) {
  if (step.kind == STEP_JUMP) return kShapeJump;
  if (step.kind == STEP_RETURN) return kShapeReturn;
  if (step.kind == STEP_TEST_RETURN) return kShapeTestReturn;
  if (step.kind == STEP_CALL) {
    const VMNode* n = step.nodes;
    const bool oneSum = step.argc == 1 && step.nodeCount == 3 && !step.general && n[0].kind == STEP_NODE_VAR &&
                        (n[1].kind == STEP_NODE_INT || n[1].kind == STEP_NODE_DOUBLE) && n[2].kind == STEP_NODE_OP &&
                        (n[2].op == OP_ADD || n[2].op == OP_SUB);
    return oneSum ? kShapeCallOneSum : kShapeCall;
  }
  if (step.kind == STEP_LOOP) return step.compare == OP_SLT ? kShapeLoopBelow : kShapeLoop;
  if (step.kind == STEP_LOOP_BODY) return kShapeLoopBody;
  if (step.general) return 0;
  const bool store = step.kind == STEP_STORE && step.nodeCount == 3 && step.nodes[2].kind == STEP_NODE_OP;
  const bool branch = step.kind == STEP_BRANCH && step.nodeCount == 2;
  if (!store && !branch) return 0;
  const int left = LeafModeOf(step.nodes[0]), right = LeafModeOf(step.nodes[1]);
  if (store && (step.nodes[0].kind == STEP_NODE_OP || step.nodes[1].kind == STEP_NODE_OP)) return 0;
  const uint8_t op = store ? step.nodes[2].op : step.compare;
#define STEP_SHAPE(id, isStore, body, l, r, o) \
  if (store == isStore && left == l && right == r && op == o) return id;
  STEP_SHAPES(STEP_SHAPE)
#undef STEP_SHAPE
  return 0;
}


// Gives a step its routine and inline shape at its first run.
[[gnu::cold]] void PrepareStep(VMStep& step) {
  PrepareNodes(&step);
  step.handler = reinterpret_cast<void (*)()>(ChooseRoutine(step));
  step.shape = ShapeOf(step);
  if (step.shape == kShapeCallOneSum && step.nodes[1].kind == STEP_NODE_INT) step.nodes[1].d = step.nodes[1].i;
}

// A store step run through its routine.
[[gnu::noinline]] bool RunAlone(const StepContext& c, VMStep& step, int64_t* pc, int64_t* last) {
  if (step.handler == nullptr) PrepareStep(step);
  return reinterpret_cast<StepRoutine>(step.handler)(c, step, pc, last);
}

// ---- Loops whose body is one store ----
//
// A STEP_LOOP_BODY runs pass after pass of `x = <expression>; v = v +/- k; if v <comparison>
// limit go on`, with the variables' values in registers: the nodes are found and their kinds
// checked once, when the step starts (nothing else runs while it loops, and its stores only ever
// store reals), and the values go back to the two variables stored when it stops. Each pass
// checks its own guards (an operator without a fast answer, a branch that would pump the window's
// messages) before it starts or while nothing of it is stored yet; a pass that cannot run stops
// the step at the body's first word with the passes before it done, as the words would have left
// them, so the word loop goes on from there.
//
// While every value read is a whole number within 2^53 and no result is -0.0, the passes run on
// 64-bit integers: every operator then gives exactly the double the general path computes. A
// result out of that range, a zero that would be -0.0 or an operator not done on integers sends
// the rest of the step to doubles, from the start of that pass.

// The operations (VMChainOp::code); add to mod in the order of kStepOps.
enum LoopCode : uint8_t { LOOP_ADD, LOOP_SUB, LOOP_MUL, LOOP_DIV, LOOP_REM, LOOP_MOD, LOOP_MODK, LOOP_STORE };
// Registers: a site's value at its site number, an operator's result at kLoopTemp + its node,
// a constant at kLoopConst + its node.
constexpr int kLoopTemp = kVMStepMaxNodes + 1;
constexpr int kLoopConst = kLoopTemp + kVMStepMaxNodes;
constexpr int kLoopRegisters = kLoopConst + kVMStepMaxNodes;
constexpr double kLoopExact = 9007199254740992.0;  // 2^53: every integer up to it is a double

// Whether a double is a whole number the integer passes carry exactly (not -0.0).
inline bool LoopWhole(double v) {
  if (!(v >= -kLoopExact && v <= kLoopExact)) return false;
  const int64_t i = static_cast<int64_t>(v);
  return static_cast<double>(i) == v && !(i == 0 && std::signbit(v));
}
[[gnu::always_inline]] inline bool LoopInRange(int64_t v) {
  return static_cast<uint64_t>(v + static_cast<int64_t>(kLoopExact)) <= 2 * static_cast<uint64_t>(kLoopExact);
}

// Builds the step's operations: false (the body's own step then runs) for nodes other than
// constants, variables and operators on doubles or reals.
[[gnu::cold]] bool BuildLoopBody(VMStep* f) {
  f->loopReady = false;
  f->loopConsts = 0;
  f->loopInts = LoopWhole(f->loopBy);
  // Built-in variables (arguments) are read through their own routes.
  for (int s = 0; s < f->siteCount; ++s) {
    if (f->sites[s].builtin) return false;
  }
  uint8_t stack[kVMStepMaxNodes];
  int depth = 0, count = 0;
  for (int k = 0; k < f->nodeCount; ++k) {
    VMNode& n = f->nodes[k];
    switch (n.kind) {
      case STEP_NODE_INT:
        n.d = n.i;
        f->loopConsts |= 1u << k;
        stack[depth++] = static_cast<uint8_t>(kLoopConst + k);
        break;
      case STEP_NODE_DOUBLE:
        f->loopInts = f->loopInts && LoopWhole(n.d);
        f->loopConsts |= 1u << k;
        stack[depth++] = static_cast<uint8_t>(kLoopConst + k);
        break;
      case STEP_NODE_VAR: stack[depth++] = n.site; break;
      case STEP_NODE_OP: {
        const int opIndex = IndexIn(kStepOps, n.op);
        if (n.isInt || opIndex < 0 || depth < 2 || count >= kVMChainMaxOps - 1) return false;
        VMChainOp& op = f->chain[count++];
        op = VMChainOp{};
        op.right = stack[--depth];
        op.left = stack[--depth];
        op.dst = static_cast<uint8_t>(kLoopTemp + k);
        op.code = static_cast<uint8_t>(opIndex);
        if (op.right >= kLoopConst) {
          const double divisor = f->nodes[op.right - kLoopConst].kind == STEP_NODE_INT
                                     ? f->nodes[op.right - kLoopConst].i
                                     : f->nodes[op.right - kLoopConst].d;
          op.rightConst = divisor;
          if (n.op == OP_MOD && divisor >= 1.0 && divisor <= 2147483647.0 &&
              divisor == static_cast<double>(static_cast<int32_t>(divisor))) {
            op.code = LOOP_MODK;
            op.divisor = static_cast<uint32_t>(divisor);
            op.magic = num::ModReciprocal(op.divisor);
          }
        }
        if (op.code == LOOP_DIV || op.code == LOOP_REM) f->loopInts = false;
        stack[depth++] = op.dst;
        break;
      }
      default: return false;
    }
  }
  if (depth != 1) return false;
  VMChainOp& store = f->chain[count];
  store = VMChainOp{};
  store.code = LOOP_STORE;
  store.left = stack[0];
  f->storeFrom = stack[0];
  f->loopFrom = f->loopSite == f->storeSite ? f->storeFrom : f->loopSite;
  // Sites of one list with different ids never share a node; the lists of self and other, and
  // the globals reached directly and as declared, may be one list.
  f->loopOneList = f->sites[0].listKind != SITE_DECLARED;
  for (int s = 1; s < f->siteCount; ++s) {
    if (f->sites[s].listKind != f->sites[0].listKind) f->loopOneList = false;
  }
  f->loopReady = true;
  return true;
}

// Where a run of passes stands.
struct LoopRun {
  uint32_t counter;  // the branch counter
  int64_t passes;    // passes done
  int64_t exit;      // where the loop went on after the last pass, when it left the body
};

enum LoopStatus { LOOP_ENDED, LOOP_STOPPED, LOOP_TO_DOUBLES };

// What a pass's end needs of the step, held in registers.
struct LoopEnd {
  double limit;
  double epsilon;
  bool goOnIfTrue;   // the test's truth value that sends the loop back to the body
  int64_t exitTo;    // where the other one goes
  int64_t allowed;   // passes whose branches do not pump the messages
  int storeSite;     // the body's variable
  int storeFrom;     // the register holding its new value
  int loopSite;      // the loop variable
  int loopFrom;      // the register holding the loop variable once the body is stored
};

// A loop whose test sends it back to the body either way runs through its separate steps.
inline bool LoopEndsAtAll(const VMStep& f) {
  return (f.jumpIfTrue ? f.target : f.next) != f.pc || (f.jumpIfTrue ? f.next : f.target) != f.pc;
}

[[gnu::always_inline]] inline LoopEnd LoopEndOf(const VMStep& f, uint32_t counter) {
  LoopEnd e;
  e.limit = f.loopLimit;
  e.epsilon = g_Variables.MathEpsilon;
  const int64_t ifTrue = f.jumpIfTrue ? f.target : f.next, ifFalse = f.jumpIfTrue ? f.next : f.target;
  e.goOnIfTrue = ifTrue == f.pc;
  e.exitTo = e.goOnIfTrue ? ifFalse : ifTrue;
  // A pass counts two branches (the b back to the test, the test's own): the pass whose count
  // reaches a multiple of kPumpEveryBranches goes the general way.
  const uint32_t distance = (0u - counter) & (kPumpEveryBranches - 1);
  e.allowed = ((distance == 0 ? kPumpEveryBranches : distance) - 1) >> 1;
  e.storeSite = f.storeSite;
  e.loopSite = f.loopSite;
  e.storeFrom = f.storeFrom;
  e.loopFrom = f.loopFrom;
  return e;
}

// Whether the pass that left the loop variable at x sends the loop back to the body.
template <uint8_t kCompare>
[[gnu::always_inline]] inline bool LoopGoesOn(const LoopEnd& e, double x) {
  return VMCompareDifference(kCompare, x - e.limit, e.epsilon) == e.goOnIfTrue;
}

// Passes on whole numbers until the loop leaves its body (LOOP_ENDED), a branch would pump the
// messages (LOOP_STOPPED) or a value leaves what integers carry exactly (LOOP_TO_DOUBLES, the
// registers as the last pass left them).
template <uint8_t kCompare>
int LoopIntPasses(const VMStep& f, int64_t* r, LoopRun* run) {
  static const void* const kCodes[] = {&&add, &&sub, &&mul, &&leave, &&leave, &&mod, &&modk, &&store};
  const LoopEnd e = LoopEndOf(f, run->counter);
  const int64_t by = f.loopOp == OP_ADD ? static_cast<int64_t>(f.loopBy) : -static_cast<int64_t>(f.loopBy);
  int64_t left = e.allowed;
  int status;
  for (;;) {
    if (left == 0) {
      status = LOOP_STOPPED;
      break;
    }
    const VMChainOp* op = f.chain;
    goto* kCodes[op->code];
  add: {
    const int64_t v = r[op->left] + r[op->right];
    if (!LoopInRange(v)) goto leave;
    r[op->dst] = v;
    ++op;
    goto* kCodes[op->code];
  }
  sub: {
    const int64_t v = r[op->left] - r[op->right];
    if (!LoopInRange(v)) goto leave;
    r[op->dst] = v;
    ++op;
    goto* kCodes[op->code];
  }
  mul: {
    const int64_t a = r[op->left], b = r[op->right];
    int64_t v;
    if (__builtin_mul_overflow(a, b, &v) || !LoopInRange(v)) goto leave;
    if (v == 0 && (a | b) < 0) goto leave;  // -0.0
    r[op->dst] = v;
    ++op;
    goto* kCodes[op->code];
  }
  mod: {
    const int64_t a = r[op->left], b = r[op->right];
    if (b == 0) goto leave;
    const int64_t v = a % b;
    if (v == 0 && a < 0) goto leave;  // -0.0
    r[op->dst] = v;
    ++op;
    goto* kCodes[op->code];
  }
  modk: {
    const int64_t a = r[op->left];
    if (static_cast<uint64_t>(a) <= UINT32_MAX) [[likely]] {
      r[op->dst] = num::ModByReciprocal(static_cast<uint32_t>(a), op->magic, op->divisor);
    } else {
      const uint64_t magnitude = a < 0 ? 0 - static_cast<uint64_t>(a) : static_cast<uint64_t>(a);
      const int64_t m = static_cast<int64_t>(magnitude % op->divisor);
      if (m == 0 && a < 0) goto leave;  // -0.0
      r[op->dst] = a < 0 ? -m : m;
    }
    ++op;
    goto* kCodes[op->code];
  }
  store: {
    const int64_t x = r[e.loopFrom] + by;
    if (!LoopInRange(x)) goto leave;
    r[e.storeSite] = r[e.storeFrom];
    r[e.loopSite] = x;
    --left;
    if (LoopGoesOn<kCompare>(e, static_cast<double>(x))) continue;
    run->exit = e.exitTo;
    status = LOOP_ENDED;
    break;
  }
  leave:
    status = LOOP_TO_DOUBLES;
    break;
  }
  const int64_t passes = e.allowed - left;
  run->counter += static_cast<uint32_t>(2 * passes);
  run->passes += passes;
  return status;
}

// Passes on doubles, as the body's step and the loop step compute them, until the loop leaves
// its body (LOOP_ENDED) or a pass cannot run (LOOP_STOPPED).
template <uint8_t kCompare>
int LoopDoublePasses(const VMStep& f, double* r, LoopRun* run) {
  static const void* const kCodes[] = {&&add, &&sub, &&mul, &&div, &&rem, &&mod, &&modk, &&store};
  const LoopEnd e = LoopEndOf(f, run->counter);
  const bool up = f.loopOp == OP_ADD;
  const double by = f.loopBy;
  int64_t left = e.allowed;
  int status;
  int32_t unused;
  for (;;) {
    if (left == 0) {
      status = LOOP_STOPPED;
      break;
    }
    const VMChainOp* op = f.chain;
    goto* kCodes[op->code];
#define LOOP_DOUBLE_OP(label, opcode)                                                               \
  label: {                                                                                          \
    if (!OperateT<opcode, false, false>(0, r[op->left], 0, r[op->right], &unused, &r[op->dst])) {   \
      status = LOOP_STOPPED;                                                                        \
      break;                                                                                        \
    }                                                                                               \
    ++op;                                                                                           \
    goto* kCodes[op->code];                                                                         \
  }
    LOOP_DOUBLE_OP(add, OP_ADD)
    LOOP_DOUBLE_OP(sub, OP_SUB)
    LOOP_DOUBLE_OP(mul, OP_MUL)
    LOOP_DOUBLE_OP(div, OP_DIV)
    LOOP_DOUBLE_OP(rem, OP_REM)
    LOOP_DOUBLE_OP(mod, OP_MOD)
#undef LOOP_DOUBLE_OP
  modk:
    r[op->dst] = ModConstant(r[op->left], *op);
    ++op;
    goto* kCodes[op->code];
  store: {
    const double x = up ? r[e.loopFrom] + by : r[e.loopFrom] - by;
    r[e.storeSite] = r[e.storeFrom];
    r[e.loopSite] = x;
    --left;
    if (LoopGoesOn<kCompare>(e, x)) continue;
    run->exit = e.exitTo;
    status = LOOP_ENDED;
    break;
  }
  }
  const int64_t passes = e.allowed - left;
  run->counter += static_cast<uint32_t>(2 * passes);
  run->passes += passes;
  return status;
}

template <bool kInts, typename T>
int LoopPasses(const VMStep& f, T* r, LoopRun* run) {
  auto passes = [&](auto compare) {
    constexpr uint8_t kCompare = decltype(compare)::value;
    if constexpr (kInts) return LoopIntPasses<kCompare>(f, r, run);
    else return LoopDoublePasses<kCompare>(f, r, run);
  };
  switch (f.compare) {
    case OP_SLT: return passes(std::integral_constant<uint8_t, OP_SLT>());
    case OP_SLE: return passes(std::integral_constant<uint8_t, OP_SLE>());
    case OP_SGT: return passes(std::integral_constant<uint8_t, OP_SGT>());
    case OP_SGE: return passes(std::integral_constant<uint8_t, OP_SGE>());
    case OP_SEQ: return passes(std::integral_constant<uint8_t, OP_SEQ>());
    default: return passes(std::integral_constant<uint8_t, OP_SNE>());
  }
}

// Runs a STEP_LOOP_BODY (see above); where it cannot start, the body's own step runs instead.
[[gnu::noinline]] bool LoopWithBody(const StepContext& c, VMStep& f, VMStep& body, int64_t* pc, int64_t* last) {
  if (!f.loopReady || !LoopEndsAtAll(f)) return RunAlone(c, body, pc, last);
  VariableNode* nodes[kVMStepMaxNodes + 1];
  int64_t r[kLoopRegisters];
  double d[kLoopRegisters];
  const int sites = f.siteCount;
  bool ints = f.loopInts;
  for (int s = 0; s < sites; ++s) {
    VariableNode* node = ListNode(c, f.sites[s]);
    if (node == nullptr) return RunAlone(c, body, pc, last);
    const ValueKind kind = node->value.Kind();
    r[s] = 0;
    if ((f.loopReads >> s) & 1u) {
      if (kind != VALUE_REAL) return RunAlone(c, body, pc, last);
      const double v = node->value.real;
      ints = ints && LoopWhole(v);
      r[s] = static_cast<int64_t>(ints ? v : 0.0);
    } else if (kind == VALUE_STRING || kind == VALUE_ARRAY) {
      return RunAlone(c, body, pc, last);
    }
    // Two sites of one variable (through different selectors) would hold two copies.
    if (!f.loopOneList) {
      for (int t = 0; t < s; ++t) {
        if (nodes[t] == node) return RunAlone(c, body, pc, last);
      }
    }
    nodes[s] = node;
  }

  LoopRun run{g_VM.branchCounter, 0, 0};
  int status = LOOP_TO_DOUBLES;
  if (ints) {
    for (uint32_t consts = f.loopConsts; consts != 0; consts &= consts - 1) {
      const int k = __builtin_ctz(consts);
      r[kLoopConst + k] = static_cast<int64_t>(f.nodes[k].d);
    }
    status = LoopPasses<true>(f, r, &run);
    // The values as doubles (exact): the two stored, or all where the doubles go on.
    if (status == LOOP_TO_DOUBLES) {
      for (int s = 0; s < sites; ++s) d[s] = static_cast<double>(r[s]);
    } else {
      d[f.storeSite] = static_cast<double>(r[f.storeSite]);
      d[f.loopSite] = static_cast<double>(r[f.loopSite]);
    }
  } else {
    for (int s = 0; s < sites; ++s) d[s] = nodes[s]->value.real;
  }
  if (status == LOOP_TO_DOUBLES) {
    for (uint32_t consts = f.loopConsts; consts != 0; consts &= consts - 1) {
      const int k = __builtin_ctz(consts);
      d[kLoopConst + k] = f.nodes[k].d;
    }
    status = LoopPasses<false>(f, d, &run);
  }
  if (run.passes == 0) return false;  // nothing changed
  g_VM.branchCounter = run.counter;
  g_Variables.instanceMissing = 0;
  g_Variables.arrayIndexError.flag = 0;
  nodes[f.storeSite]->value.real = d[f.storeSite];
  nodes[f.storeSite]->value.kind = VALUE_REAL;
  nodes[f.loopSite]->value.real = d[f.loopSite];
  nodes[f.loopSite]->value.kind = VALUE_REAL;
  *last = f.lastPc;
  if (status != LOOP_ENDED) {
    *pc = f.pc;
    return false;
  }
  *pc = run.exit;
  return true;
}

// A return step (the fast loop runs it, as it changes the running code): answers the new stack
// top, or null when a guard failed, nothing having changed then. The guards: a script frame to
// return from whose items are only the value returned (or the two values summed), the values read
// and computed as the words would.
[[gnu::always_inline]] inline uint8_t* RunReturn(VMExecContext* context, const StepContext& c, VMStep& step, uint8_t* sp) {
  const Machine& m = *c.m;
  if (context->callDepth == 0) return nullptr;
  ScriptValue value;
  if (step.returnOp != 0) {
    // The operator on the two values the script's items are, then the return of its result.
    Number right{}, left{};
    if (m.Used(sp) != 32 || !ReadNumber(m, sp, VT_VAR, &right) || !ReadNumber(m, sp + 16, VT_VAR, &left)) {
      return nullptr;
    }
    value = RealValue(Apply(step.returnOp, left.d, right.d));
    // The operator takes both items (the rest of their units are raw already).
    *m.TagAt(sp) = vm::TAG_RAW;
    *m.TagAt(sp + 16) = vm::TAG_RAW;
  } else {
    if (m.Used(sp) != 0) return nullptr;
    Registers r;
    r.d[0] = 0.0;  // every path writes the items it leaves; this keeps the compiler sure of it
    StepReads reads;
    if (step.nodeCount == 1) {
      // One variable's value, as its push copies it.
      double x = 0.0;
      uint32_t kind = VALUE_REAL;
      if (!ReadSiteArgumentFirst(c, step.sites[step.nodes[0].site], &x, &reads, &kind)) return nullptr;
      value = RealValue(x);
      value.kind = kind;
    } else {
      if (!EvaluateNodes(c, step, &r, &reads)) return nullptr;
      value = RealValue(r.d[0]);
    }
    if (reads.any) g_Variables.instanceMissing = 0;
    if (reads.list) g_Variables.arrayIndexError.flag = 0;
  }
  context->pc = step.lastPc;
  context->nextPc = step.next;
  uint8_t* frame = vm::UnwindFrame(context);
  return vm::PushValue(context, frame + kVMFrameSize, value);
}

// A test-and-return step (run by the fast loop, as its return changes the running code): false
// when a guard failed, nothing having changed then. When the branch jumps, or the return's guards
// (a script frame to return from, no items of the script's own) do not hold, it is the branch
// alone (*after stays null); else the return is made and *after is the new stack top.
[[gnu::always_inline]] inline bool RunTestReturn(VMExecContext* context, const StepContext& c, VMStep& step,
                                                 uint8_t* sp, int64_t* pc, int64_t* last, uint8_t** after) {
  StepReads reads;
  double x = 0.0;
  uint32_t kind = VALUE_REAL;
  if (!ReadSiteArgumentFirst(c, step.sites[step.nodes[0].site], &x, &reads, &kind)) return false;
  // The translator keeps the constant as a double too (a raw int one exactly).
  const bool truth = VMCompareDifference(step.compare, x - step.nodes[1].d, g_Variables.MathEpsilon);
  if (truth == step.jumpIfTrue || context->callDepth == 0 || c.m->Used(sp) != 0) {
    return CommitBranch(step, truth, reads, pc, last);
  }
  if (!CountBranch()) return false;
  if (reads.any) g_Variables.instanceMissing = 0;
  if (reads.list) g_Variables.arrayIndexError.flag = 0;
  // The value returned is the one compared, as the return's push copies it.
  ScriptValue value = RealValue(x);
  value.kind = kind;
  context->pc = step.returnLastPc;
  context->nextPc = step.returnNext;
  uint8_t* frame = vm::UnwindFrame(context);
  *after = vm::PushValue(context, frame + kVMFrameSize, value);
  return true;
}

// A call step (run by the fast loop, as it changes the running code): answers the new stack top,
// or null when a guard failed, nothing having changed then. The guards: a script with code to
// call, the arguments read and computed as the words would, no stack growth due at any of the
// words covered (checked by the loop). `oneSum`: the one argument is `v + k` or `v - k` (the
// constant as a double in nodes[1].d).
[[gnu::always_inline]] inline uint8_t* RunCall(VMExecContext* context, const StepContext& c, VMStep& step, uint8_t* sp,
                                               bool oneSum) {
  // The script's code entry and its words, as the step found them last time unless a script or
  // its code changed since.
  CCode* callee = step.callee;
  if (step.calleeGeneration != g_VM.scriptGeneration) {
    callee = Script_GetCode(step.callNumber - kScriptCallBase);
    if (callee == nullptr) return nullptr;
    const VMBuffer* words = callee->m_code;
    if (words == nullptr || words->m_data == nullptr || words->m_size <= 0) return nullptr;
    step.calleeSteps = nullptr;
    step.callee = callee;
    step.calleeWords = words;
    step.calleeGeneration = g_VM.scriptGeneration;
  }
  Registers r;
  r.d[0] = 0.0;
  StepReads reads;
  if (oneSum) {
    double x = 0.0;
    if (!ReadSiteArgumentFirst(c, step.sites[step.nodes[0].site], &x, &reads)) return nullptr;
    r.d[0] = step.nodes[2].op == OP_ADD ? x + step.nodes[1].d : x - step.nodes[1].d;
  } else if (step.nodeCount > 0 && !EvaluateNodes(c, step, &r, &reads)) {
    return nullptr;
  }
  if (reads.any) g_Variables.instanceMissing = 0;
  if (reads.list) g_Variables.arrayIndexError.flag = 0;
  context->pc = step.lastPc;
  context->nextPc = step.next;
  return vm::EnterScriptWithReals(context, sp, step.argc, r.d, callee);
}

// The running code's steps, translated at its first run; for a context whose code is still its
// own (no debugger or -trace switch can change while steps run).
inline VMDecoded* StepsOf(const VMExecContext* context) {
  VMDecoded* decoded = context->code->m_decoded;
  if (decoded != nullptr && decoded->words == context->words && decoded->size == context->codeSize) return decoded;
  return VMDecodedFor(context->code);
}

// The decoded steps of the running code, when the run may use them.
inline VMDecoded* DecodedFor(const VMExecContext* context) {
  if (!g_VM.decodedSteps || g_VM.trace || context->code == nullptr || context->code->m_data != context->words ||
      context->code->m_size != context->codeSize) {
    return nullptr;
  }
  return StepsOf(context);
}

// Runs decoded steps from pc while there is one at pc and its guards hold: answers the pc where
// they stopped (a step whose guards failed, which then changed nothing, or a word without a
// step); *last is the last instruction a step covered. Call and return steps switch the running
// code here and the steps go on in the new code: *switched then says so, with context->sp the
// new stack top (and context->pc the call or return word, unless a step after it set *last).
// Kept apart from the word loop so that its few values stay in registers.
[[gnu::noinline]] int64_t RunSteps(const Machine& start, VMDecoded* decoded, int64_t pc, int64_t size, int64_t* last,
                                   VMExecContext* context, uint8_t* sp, bool* switched) {
  Machine m = start;
  StepContext c{&m, {m.locals, g_Variables.globals, nullptr, nullptr}, ++g_Variables.listEpochs, {0, 0}};
  c.SetInstances(m.self, m.other);
  const int32_t* stepAt = &decoded->stepAt[0];
  VMStep* steps = &decoded->steps[0];
  // A step runs only where none of its words would find the stack due to grow (the word loop
  // grows it, at the word where the general handlers would).
  int64_t room = sp - m.base - kVMStackReserve;
  for (;;) {
    if (pc + 4 > size) return pc;
    const int32_t index = stepAt[pc >> 2];
    if (index == 0) return pc;
    VMStep& step = steps[index - 1];
    if (step.peak > room) return pc;
    if (step.handler == nullptr) PrepareStep(step);
    // The most frequent shapes run inline; the others through their routine.
    bool done;
    switch (step.shape) {
#define STEP_SHAPE(id, isStore, body, left, right, op) \
  case id: done = body<left, right, op>(c, step, &pc, last); break;
      STEP_SHAPES(STEP_SHAPE)
#undef STEP_SHAPE
      case kShapeJump: done = Jump(c, step, &pc, last); break;
      case kShapeLoop: done = LoopBody<0>(c, step, &pc, last); break;
      case kShapeLoopBelow: done = LoopBody<OP_SLT>(c, step, &pc, last); break;
      case kShapeLoopBody: done = LoopWithBody(c, step, steps[step.body - 1], &pc, last); break;
      case kShapeCall:
      case kShapeCallOneSum: {
        uint8_t* after = RunCall(context, c, step, sp, step.shape == kShapeCallOneSum);
        if (after == nullptr) return pc;
        // The callee runs from its start, its frame at the new top, over the same stack and
        // instances, without a locals list yet; a fresh mark, as it runs over other locals.
        sp = after;
        context->sp = sp;
        *switched = true;
        *last = -1;
        pc = 0;
        m.frame = context->frame;
        m.locals = nullptr;
        c.lists[SITE_LOCALS] = nullptr;
        c.stamp = ++g_Variables.listEpochs;
        // Its steps, as the step found them last while the script generation holds (the
        // switches DecodedFor checks cannot change while steps run).
        VMDecoded* next = step.calleeSteps;
        if (next == nullptr) {
          next = VMDecodedFor(context->code);
          step.calleeSteps = next;
        }
        if (next->steps.Count() == 0) return pc;  // code without steps runs word by word
        decoded = next;
        stepAt = &decoded->stepAt[0];
        steps = &decoded->steps[0];
        size = context->codeSize;
        room = sp - m.base - kVMStackReserve;
        continue;
      }
      case kShapeReturn:
      case kShapeTestReturn: {
        uint8_t* after = nullptr;
        const VMBuffer* from = context->code;
        if (step.shape == kShapeReturn) {
          after = RunReturn(context, c, step, sp);
          if (after == nullptr) return pc;
        } else if (!RunTestReturn(context, c, step, sp, &pc, last, &after)) {
          return pc;
        } else if (after == nullptr) {
          continue;  // the branch alone
        }
        // The caller's code goes on after its call, over its own frame, locals and instances.
        sp = after;
        context->sp = sp;
        *switched = true;
        *last = -1;
        pc = context->nextPc;
        m.frame = context->frame;
        m.locals = context->locals;
        c.lists[SITE_LOCALS] = m.locals;
        if (context->self != m.self || context->other != m.other) [[unlikely]] {
          m.self = context->self;
          m.other = context->other;
          c.SetInstances(m.self, m.other);
        }
        c.stamp = ++g_Variables.listEpochs;
        // The unwound frame gave back the caller's code buffer with its own words and size: a
        // recursive call's caller runs the same steps.
        if (context->code == from) {
          room = sp - m.base - kVMStackReserve;
          continue;
        }
        if (context->code == nullptr) return pc;
        decoded = StepsOf(context);
        if (decoded->steps.Count() == 0) return pc;
        stepAt = &decoded->stepAt[0];
        steps = &decoded->steps[0];
        size = context->codeSize;
        room = sp - m.base - kVMStackReserve;
        continue;
      }
      default: done = reinterpret_cast<StepRoutine>(step.handler)(c, step, &pc, last); break;
    }
    if (!done) return pc;
  }
}

}  // namespace

uint8_t* VMRunFast(VMExecContext* context, uint8_t* sp) {
  Machine c{context->stackBase, context->stackTags, context->frame,
            context->locals,    context->self,      context->other};
  const VMArgumentIds& ids = g_VM.argumentIds;
  if (ids.registered != g_Variables.builtinCount ||
      (ids.first >= 0 && ids.first < g_Variables.builtinCount && g_Variables.builtins[ids.first].getter != ids.getters[0])) {
    FindArgumentIds();
  }
  const uint8_t* code = reinterpret_cast<const uint8_t*>(context->words);
  int64_t size = context->codeSize;
  // Offsets in 64 bits, so that looking a few words ahead can never overflow.
  int64_t pc = context->nextPc;
  int64_t last = -1;  // the last instruction run here
  uint32_t word = 0;
  uint8_t* top = nullptr;
  VMDecoded* decoded = nullptr;
  const int32_t* stepAt = nullptr;
  bool switched = false;  // call or return steps changed the running code

  // In the order of FastClass.
  static const void* const kLabels[] = {
      &&slow, &&push_e, &&push_4, &&push_8, &&push_v, &&pop, &&add, &&sub, &&mul, &&div, &&rem, &&mod, &&slt,
      &&sle,  &&seq,    &&sne,    &&sge,    &&sgt,    &&conv, &&dup, &&popz, &&b,  &&bt,  &&bf,
      &&call, &&ret,
  };

// Each handler ends in its own copy of the dispatch, which keeps the processor's prediction of
// what follows each instruction apart.
#define FAST_DISPATCH()                                                 \
  do {                                                                  \
    if (pc + 4 > size || sp - c.base < kVMStackReserve) goto leave;     \
    if (stepAt != nullptr && stepAt[pc >> 2] != 0) {                    \
      /* Decoded steps run from here; the word where they stop runs */  \
      /* as a word (a step whose guards failed, or no step).          */ \
      pc = RunSteps(c, decoded, pc, size, &last, context, sp, &switched); \
      if (switched) goto resync;                                        \
      if (pc + 4 > size) goto leave;                                    \
    }                                                                   \
    word = Load<uint32_t>(code + pc);                                   \
    goto* kLabels[kClassTable.classes[word >> 16]];                     \
  } while (0)
// Moves on to the instruction at `following` with the stack top `top`.
#define FAST_ADVANCE(following) \
  do {                          \
    sp = top;                   \
    last = pc;                  \
    pc = (following);           \
    FAST_DISPATCH();            \
  } while (0)
#define FAST_ADVANCE_OR_LEAVE(following) \
  do {                                   \
    if (top == nullptr) goto slow;       \
    FAST_ADVANCE(following);             \
  } while (0)
// A comparison whose truth value a bt or bf right after it consumes: the pair runs as one step
// (the truth value is still written where the comparison leaves it).
#define FAST_COMPARE(op)                                                                      \
  do {                                                                                        \
    top = Comparison<op>(c, word, sp);                                                        \
    if (top == nullptr) goto slow;                                                            \
    if (pc + 8 <= size) {                                                                     \
      const uint32_t following = Load<uint32_t>(code + pc + 4);                               \
      const uint8_t branch = WordOpcode(following);                                           \
      if (branch == OP_BT || branch == OP_BF) {                                               \
        const int64_t at = pc + 4;                                                            \
        const int64_t target = static_cast<int64_t>(at) + 4 * static_cast<int64_t>(WordBranchOffset(following)); \
        const bool jump = (Load<int32_t>(top) != 0) == (branch == OP_BT);                    \
        if ((!jump || (target >= 0 && target <= size && (target & 3) == 0)) && CountBranch()) { \
          sp = top + 4;                                                                       \
          last = at;                                                                          \
          pc = jump ? target : at + 4;                                                        \
          FAST_DISPATCH();                                                                    \
        }                                                                                     \
      }                                                                                       \
    }                                                                                         \
    FAST_ADVANCE(pc + 4);                                                                     \
  } while (0)

  goto resume;

push_e:
  top = PushI32(c, sp, WordImmediate(word));
  FAST_ADVANCE(pc + 4);
push_4:
  if (pc + 8 > size) goto slow;
  top = PushI32(c, sp, Load<int32_t>(code + pc + 4));
  FAST_ADVANCE(pc + 8);
push_8:
  if (pc + 12 > size) goto slow;
  top = PushRaw8(c, sp, code + pc + 4);
  FAST_ADVANCE(pc + 12);
push_v: {
  if (pc + 8 > size) goto slow;
  const uint32_t operand = Load<uint32_t>(code + pc + 4);
  const int64_t appended = sp - c.base >= kVMStackReserve + 32 ? AppendText(c, code, size, pc, word, operand) : -1;
  if (appended >= 0) {
    last = pc + 20;
    pc = appended;
    FAST_DISPATCH();
  }
  double x;
  // The fused forms push up to 32 bytes before their last word: they run only where none of
  // their words would find the stack due to grow (the word after the push checks it).
  if (pc + 12 <= size && sp - c.base >= kVMStackReserve + 32 && ReadWholeReal(c, word, operand, &x)) {
    const uint32_t second = Load<uint32_t>(code + pc + 8);
    const uint8_t secondOp = WordOpcode(second);
    const uint8_t secondClass = kClassTable.classes[second >> 16];
    if (secondClass >= F_ADD && secondClass <= F_MUL && WordT1(second) == VT_VAR) {
      // push.v b; op.v.*: the left operand is on the stack.
      const uint8_t leftType = WordT2(second);
      const int32_t leftSize = VMStackSize(leftType);
      Number left{};
      if (c.Used(sp) >= leftSize && ReadNumber(c, sp, leftType, &left)) {
        g_Variables.instanceMissing = 0;
        g_Variables.arrayIndexError.flag = 0;
        top = PushReal(c, sp + leftSize, Apply(secondOp, left.AsDouble(), x));
        sp = top;
        last = pc + 8;
        pc += 12;
        FAST_DISPATCH();
      }
    }
    // push.v a; push.e / push.i / push.v b; then an operator on the two.
    double y = 0;
    int64_t third = -1;
    uint8_t rightType = VT_INT;
    if (secondClass == F_PUSH_E) {
      y = WordImmediate(second);
      third = pc + 12;
    } else if (secondClass == F_PUSH_4 && WordT1(second) == VT_INT && pc + 16 <= size) {
      y = Load<int32_t>(code + pc + 12);
      third = pc + 16;
    } else if (secondClass == F_PUSH_V && pc + 16 <= size &&
               ReadWholeReal(c, second, Load<uint32_t>(code + pc + 12), &y)) {
      rightType = VT_VAR;
      third = pc + 16;
    }
    if (third >= 0 && third + 4 <= size) {
      const uint32_t op = Load<uint32_t>(code + third);
      const uint8_t opClass = kClassTable.classes[op >> 16];
      const int64_t fourth = third + 4;
      if (WordT1(op) == rightType && WordT2(op) == VT_VAR && opClass >= F_ADD && opClass <= F_MUL) {
        const double v = Apply(WordOpcode(op), x, y);
        g_Variables.instanceMissing = 0;
        g_Variables.arrayIndexError.flag = 0;
        if (fourth + 8 <= size) {
          const uint32_t store = Load<uint32_t>(code + fourth);
          if (WordOpcode(store) == OP_POP && StoreWholeReal(c, store, Load<uint32_t>(code + fourth + 4), v)) {
            last = fourth;
            pc = fourth + 8;
            FAST_DISPATCH();
          }
        }
        top = PushReal(c, sp, v);
        sp = top;
        last = third;
        pc = fourth;
        FAST_DISPATCH();
      }
      if (WordT1(op) == rightType && WordT2(op) == VT_VAR && opClass >= F_SLT && opClass <= F_SGT) {
        const bool truth = VMCompareDifference(WordOpcode(op), x - y, g_Variables.MathEpsilon);
        g_Variables.instanceMissing = 0;
        g_Variables.arrayIndexError.flag = 0;
        if (fourth + 4 <= size) {
          const uint32_t branch = Load<uint32_t>(code + fourth);
          const uint8_t branchOp = WordOpcode(branch);
          if (branchOp == OP_BT || branchOp == OP_BF) {
            const int64_t target = static_cast<int64_t>(fourth) + 4 * static_cast<int64_t>(WordBranchOffset(branch));
            const bool jump = truth == (branchOp == OP_BT);
            if ((!jump || (target >= 0 && target <= size && (target & 3) == 0)) && CountBranch()) {
              last = fourth;
              pc = jump ? target : fourth + 4;
              FAST_DISPATCH();
            }
          }
        }
        top = PushI32(c, sp, truth ? 1 : 0);
        sp = top;
        last = third;
        pc = fourth;
        FAST_DISPATCH();
      }
    }
  }
  top = PushVariable(c, word, operand, sp);
  FAST_ADVANCE_OR_LEAVE(pc + 8);
}
pop:
  if (pc + 8 > size) goto slow;
  top = PopVariable(c, word, Load<uint32_t>(code + pc + 4), sp);
  FAST_ADVANCE_OR_LEAVE(pc + 8);
// An operator whose result a pop.v.v right after it stores in a whole variable: the pair runs
// as one step (see the fused steps above).
#define FAST_ARITHMETIC(op)                                                                       \
  do {                                                                                            \
    top = Arithmetic<op>(c, word, sp);                                                            \
    if (top == nullptr) goto slow;                                                                \
    if (pc + 12 <= size && *c.TagAt(top) == vm::TAG_VALUE) {                                      \
      const uint32_t store = Load<uint32_t>(code + pc + 4);                                       \
      if (WordOpcode(store) == OP_POP &&                                                          \
          StoreWholeReal(c, store, Load<uint32_t>(code + pc + 8), Load<double>(top))) {           \
        *c.TagAt(top) = vm::TAG_RAW; /* as the pop leaves it */                                   \
        sp = top + 16;                                                                            \
        last = pc + 4;                                                                            \
        pc += 12;                                                                                 \
        FAST_DISPATCH();                                                                          \
      }                                                                                           \
    }                                                                                             \
    FAST_ADVANCE(pc + 4);                                                                         \
  } while (0)
add:
  FAST_ARITHMETIC(OP_ADD);
sub:
  FAST_ARITHMETIC(OP_SUB);
mul:
  FAST_ARITHMETIC(OP_MUL);
div:
  FAST_ARITHMETIC(OP_DIV);
rem:
  FAST_ARITHMETIC(OP_REM);
mod:
  FAST_ARITHMETIC(OP_MOD);
#undef FAST_ARITHMETIC
slt:
  FAST_COMPARE(OP_SLT);
sle:
  FAST_COMPARE(OP_SLE);
seq:
  FAST_COMPARE(OP_SEQ);
sne:
  FAST_COMPARE(OP_SNE);
sge:
  FAST_COMPARE(OP_SGE);
sgt:
  FAST_COMPARE(OP_SGT);
conv:
  top = Conversion(c, word, sp);
  FAST_ADVANCE_OR_LEAVE(pc + 4);
dup:
  top = Duplicate(c, word, sp);
  FAST_ADVANCE_OR_LEAVE(pc + 4);
popz:
  top = Discard(c, word, sp);
  FAST_ADVANCE_OR_LEAVE(pc + 4);
b: {
  const int64_t target = static_cast<int64_t>(pc) + 4 * static_cast<int64_t>(WordBranchOffset(word));
  if (target < 0 || target > size || (target & 3) != 0 || !CountBranch()) goto slow;
  top = sp;
  FAST_ADVANCE(target);
}
bt:
bf: {
  if (c.Used(sp) < 4) goto slow;
  const int64_t target = static_cast<int64_t>(pc) + 4 * static_cast<int64_t>(WordBranchOffset(word));
  const bool jump = (Load<int32_t>(sp) != 0) == (WordOpcode(word) == OP_BT);
  if ((jump && (target < 0 || target > size || (target & 3) != 0)) || !CountBranch()) goto slow;
  top = sp + 4;
  FAST_ADVANCE(jump ? target : pc + 4);
}

call: {
  // A call of a script with code, its arguments whole values on the stack and room for the frame
  // below them: the frame is laid here, as the general handler lays it. Anything else (built-ins,
  // extensions, script_execute, a missing script, a stack that must grow) goes the general way.
  if (pc + 8 > size || g_VM.trace) goto slow;
  const int32_t number = Load<int32_t>(code + pc + 4);
  const int32_t argc = WordImmediateBits(word);
  if (number < kScriptCallBase || number >= kScriptExecuteCall || argc > kArgumentSlotCount) goto slow;
  const int32_t index = number - kScriptCallBase;
  if (index >= Script_Count()) goto slow;
  CCode* callee = Script_GetCode(index);
  if (callee == nullptr || callee->m_code == nullptr || callee->m_code->m_data == nullptr ||
      callee->m_code->m_size <= 0) {
    goto slow;
  }
  if (c.Used(sp) < static_cast<int64_t>(argc) * 16 || sp - c.base < kVMFrameSize) goto slow;
  for (int32_t i = 0; i < argc; ++i) {
    if (*c.TagAt(sp + static_cast<int64_t>(i) * 16) != vm::TAG_VALUE) goto slow;
  }
  context->pc = static_cast<int32_t>(pc);
  context->nextPc = static_cast<int32_t>(pc + 8);
  sp = vm::EnterScript(context, sp, argc, callee);
  goto resume;
}
ret: {
  // The return of the one value a script's items hold to its caller.
  if (context->callDepth == 0 || c.Used(sp) != 16 || *c.TagAt(sp) != vm::TAG_VALUE) goto slow;
  const ScriptValue value = vm::LoadValue(sp);
  *c.TagAt(sp) = vm::TAG_RAW;
  context->pc = static_cast<int32_t>(pc);
  context->nextPc = static_cast<int32_t>(pc + 4);
  uint8_t* frame = vm::UnwindFrame(context);
  sp = PushValue(c, frame + kVMFrameSize, value);
  goto resume;
}

slow:
  // An instruction without a fast path runs through its general handler, after the debugger's
  // check while one is connected. It may change the context (a call, a return, a with block, an
  // error that stops the run, a debugger connecting), so what the loop holds of the context is
  // read again afterwards.
  context->pc = static_cast<int32_t>(pc);
  context->nextPc = static_cast<int32_t>(pc + 4);
  if (g_Debug.debugger.connected) [[unlikely]] word = VMDebuggerCheck(context, word);
  sp = VMExecuteOne(context, word, sp);
  if (context->stopped) return sp;
  goto resume;

resync: {
  // Decoded steps called or returned: what the loop holds of the context is read again, and the
  // word at pc runs as a word (the step there, if any, found a guard failing).
  switched = false;
  sp = context->sp;
  if (last < 0) last = context->pc;
  c = Machine{context->stackBase, context->stackTags, context->frame,
              context->locals,    context->self,      context->other};
  code = reinterpret_cast<const uint8_t*>(context->words);
  size = context->codeSize;
  decoded = DecodedFor(context);
  stepAt = decoded != nullptr ? &decoded->stepAt[0] : nullptr;
  if (pc + 4 > size || sp - c.base < kVMStackReserve) goto leave;
  word = Load<uint32_t>(code + pc);
  goto* kLabels[kClassTable.classes[word >> 16]];
}

resume:
  c = Machine{context->stackBase, context->stackTags, context->frame,
              context->locals,    context->self,      context->other};
  code = reinterpret_cast<const uint8_t*>(context->words);
  size = context->codeSize;
  if (g_Debug.debugger.connected || !g_VM.fastPaths) [[unlikely]] {
    // Every word goes the general way: the dispatch sees no code (a size of -1), so it leaves for
    // the general way at each word, where the code's real size is read again.
    size = -1;
    decoded = nullptr;
    stepAt = nullptr;
  } else {
    if (decoded == nullptr || context->code == nullptr || context->code->m_decoded != decoded ||
        decoded->words != context->words) {
      decoded = DecodedFor(context);
      stepAt = decoded != nullptr ? &decoded->stepAt[0] : nullptr;
    }
  }
  pc = context->nextPc;
  last = -1;  // context->pc is the instruction just run
  if (pc < 0) goto leave;
  FAST_DISPATCH();

leave:
  // Both lie within the code, whose size is an int32.
  if (last >= 0) context->pc = static_cast<int32_t>(last);
  context->nextPc = static_cast<int32_t>(pc);
  context->sp = sp;
  if (pc >= context->codeSize) return sp;  // the code's end
  // The word at pc goes the general way (every word does while a debugger is connected or the
  // fast paths are off): the stack grows first when it is due to, and a word that does not lie
  // whole within the code ends the run.
  if (sp - c.base < kVMStackReserve) {
    sp = vm::GrowStack(context, sp, kVMStackReserve);
    context->sp = sp;
    if (context->stopped) return sp;
  }
  if (pc < 0 || pc + 4 > context->codeSize) {
    VMFatalError(context, "VM :: Execution Error - instruction past the end of the code at %d", static_cast<int32_t>(pc));
    return sp;
  }
  word = Load<uint32_t>(code + pc);
  goto slow;
#undef FAST_COMPARE
#undef FAST_ADVANCE_OR_LEAVE
#undef FAST_ADVANCE
#undef FAST_DISPATCH
}
