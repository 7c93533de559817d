// How the machine's instructions reach variables, written once for the general handlers
// (code/VM_Variables.cpp) and the fast paths (code/VM_FastPath.cpp): the decoding of a variable
// reference, the list a selector reaches, the element of an array a read or a store reaches in
// place, and the store rules. The fast paths use only the cases that cannot fail; the general
// handlers use all of them and report what fails.
#pragma once

#include <cstdint>

#include "code/VM_Format.h"
#include "code/VM_Stack.h"
#include "platform/Numeric.h"
#include "room/Instance_Class.h"
#include "variable/ScriptValue.h"
#include "variable/Variable_Main.h"

// A variable reference: the id from the operand, and the element index and the selector from the
// word or from the stack (the element index first, then the selector).
struct VMReference {
  int32_t id;
  int32_t index;     // element index, or kWholeValueIndex
  int32_t selector;  // instance selector (an instance id when the operand says it is biased)
  int32_t taken;     // stack bytes the reference takes
};

// Decodes the reference of a push.v or pop word whose stack items start at p, with `available`
// bytes of the frame's items there; false when the items it needs are not there.
[[gnu::always_inline]] inline bool VMDecodeReference(uint32_t word, uint32_t operand, const uint8_t* p,
                                                     int64_t available, VMReference* r) {
  r->id = static_cast<int32_t>(operand & kVarIdMask);
  r->taken = 0;
  if (operand & kVarWhole) {
    r->index = kWholeValueIndex;
  } else {
    if (available < 4) return false;
    r->index = vm::Load<int32_t>(p);
    r->taken = 4;
  }
  if (operand & kVarSelectorInWord) {
    r->selector = WordImmediate(word);
  } else {
    if (available < r->taken + 4) return false;
    r->selector = vm::Load<int32_t>(p + r->taken);
    r->taken += 4;
  }
  if (operand & kVarSelectorBias) [[unlikely]] r->selector = num::WrapAdd32(r->selector, kInstanceIdBase);
  return true;
}

// The list of an instance that a reference to a user variable reaches (built-in variables are
// served by their accessors instead).
[[gnu::always_inline]] inline CVariableList* VMInstanceList(const CInstance* instance, int32_t id) {
  if (instance == nullptr || id < kBuiltinVariableIdLimit) return nullptr;
  return instance->i_variables;
}

// The list that reads and stores of variable `id` through `selector` go to: the locals (for
// SEL_LOCAL whatever the id; for SEL_LOCAL_OR_SELF only while they hold the variable), the globals
// (SEL_GLOBAL, and SEL_NOT_SPECIFIED for a declared global), or self's or other's list. Null when
// they reach no list: a built-in variable through an instance, a missing instance, locals or
// globals not made yet, an instance without a list, and any other selector (noone, objects and
// instances, which the general handlers look up).
//
// `from` gives the running code's lists and instances, each read only where the selector needs
// it: Locals() (for SEL_LOCAL), HeldLocals() (the locals list if there is one, for
// SEL_LOCAL_OR_SELF), Globals(), Self() and Other().
template <typename Sources>
[[gnu::always_inline]] inline CVariableList* VMListOf(int32_t selector, int32_t id, const Sources& from) {
  switch (selector) {
    case SEL_LOCAL: return from.Locals();
    case SEL_GLOBAL: return from.Globals();
    case SEL_SELF: return VMInstanceList(from.Self(), id);
    case SEL_OTHER: return VMInstanceList(from.Other(), id);
    case SEL_NOT_SPECIFIED:
      if (id < kBuiltinVariableIdLimit) return nullptr;  // never a declared global
      return IsGlobalDeclared(id) ? from.Globals() : VMInstanceList(from.Self(), id);
    case SEL_LOCAL_OR_SELF: {
      CVariableList* locals = from.HeldLocals();
      if (locals != nullptr && locals->Lookup(id) != nullptr) return locals;
      return VMInstanceList(from.Self(), id);
    }
    default: return nullptr;
  }
}

// The element at a non-negative index of an array when the array has it; null otherwise (the
// read through GetValueElement then reports the index).
[[gnu::always_inline]] inline const ScriptValue* VMElementAt(const ValueArray* array, int32_t index) {
  // The index is 0 or more: split without the sign's corrections.
  const int32_t row = static_cast<int32_t>(static_cast<uint32_t>(index) / kArrayRowStride);
  const int32_t column = static_cast<int32_t>(static_cast<uint32_t>(index) % kArrayRowStride);
  if (row >= array->rowCount || column >= array->rows[row].length) return nullptr;
  return &array->rows[row].elements[column];
}

// A read of an element makes an array nobody owns the holder's (as GetValueElement does).
[[gnu::always_inline]] inline void VMClaimForRead(ScriptValue* holder) {
  if (holder->arr->owner == nullptr) holder->arr->owner = holder;
}

// Whether a store may write a real over what `v` holds in place: it owns nothing (no text, no
// array), so nothing is released or claimed. The spare word stays.
inline bool VMOwnsNothing(const ScriptValue& v) {
  const ValueKind held = v.Kind();
  return held != VALUE_STRING && held != VALUE_ARRAY;
}

// The element at a non-negative index of the array a variable's value holds and owns, when the
// element exists or is the next one of its row and the row's block has room for it, not at a
// multiple of kRowMemoryStep (the row then grows by that element, written as real 0); null
// otherwise (SetValueElement then claims, grows or converts).
inline ScriptValue* VMOwnElement(ScriptValue* holder, int32_t index) {
  ValueArray* array = holder->arr;
  if (array == nullptr || array->owner != holder) return nullptr;
  // The index is 0 or more: split without the sign's corrections.
  const int32_t row = static_cast<int32_t>(static_cast<uint32_t>(index) / kArrayRowStride);
  const int32_t column = static_cast<int32_t>(static_cast<uint32_t>(index) % kArrayRowStride);
  if (row >= array->rowCount) return nullptr;
  ValueRow& slot = array->rows[row];
  if (column < slot.length) return &slot.elements[column];
  if (column != slot.length || column >= slot.capacity || column % kRowMemoryStep == 0) return nullptr;
  slot.length = column + 1;
  ScriptValue* element = &slot.elements[column];
  *element = ScriptValue{};
  return element;
}

// Stores `value` in variable `id` of `list` (the whole variable, or the element at `index`) as
// CVariableList::Set stores it, clearing the array-index flag; false when the index lies outside
// what an array can hold (the flag then says how). The simple cases are done in place: a real into
// an element that owns nothing of an array the variable owns, and a real or a text over a whole
// value that is no array. With `movable`, a text value belongs to the caller and moves into the
// variable rather than being copied: *moved then says whether it did (the caller no longer owns
// it).
[[gnu::always_inline]] inline bool VMStoreInList(CVariableList* list, int32_t id, int32_t index,
                                                 const ScriptValue& value, bool movable, bool* moved) {
  *moved = false;
  g_Variables.arrayIndexError.flag = 0;
  VariableNode* node = list->Lookup(id);
  const ValueKind held = node != nullptr ? node->value.Kind() : VALUE_UNDEFINED;
  if (index != kWholeValueIndex) {
    if (index >= 0 && held == VALUE_ARRAY && value.Kind() == VALUE_REAL) {
      ScriptValue* element = VMOwnElement(&node->value, index);
      if (element != nullptr && VMOwnsNothing(*element)) {
        element->bits = value.bits;
        element->kind = value.kind;
        return true;
      }
    }
  } else if (node != nullptr && held != VALUE_ARRAY &&
             (value.Kind() == VALUE_REAL || (movable && value.Kind() == VALUE_STRING))) {
    // What the variable held goes and the value takes its place (the spare word stays).
    if (held == VALUE_STRING) ReleaseValue(&node->value);
    node->value.bits = value.bits;
    node->value.kind = value.kind;
    *moved = value.Kind() == VALUE_STRING;
    return true;
  }
  return list->Set(id, index, &value);
}
