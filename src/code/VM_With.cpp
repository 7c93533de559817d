#include "code/VM_With.h"

#include "code/VM_Format.h"
#include "code/VM_Stack.h"
#include "platform/MemoryManager.h"
#include "room/Instance_Select.h"

namespace {

using vm::Load;

constexpr int32_t kListMarker = -1;

static_assert(SEL_ALL == kSelectAll && kInstanceIdBase == kSelectFirstInstanceId, "one numbering of selectors");

uint8_t* PushRef(VMExecContext* c, uint8_t* sp, void* p, bool ownedBlock) {
  return vm::PushI32(c, sp, static_cast<int32_t>(vm::RefAdd(c, p, ownedBlock)));
}

// The saved self and other, then the end item 0.
uint8_t* PushSingle(VMExecContext* c, uint8_t* sp, CInstance* savedSelf, CInstance* savedOther) {
  sp = PushRef(c, sp, savedSelf, false);
  sp = PushRef(c, sp, savedOther, false);
  return vm::PushI32(c, sp, 0);
}

// The with-block record is not what the bytecode left: fatal. Answers `answer`.
[[nodiscard]] uint8_t* Damaged(VMExecContext* c, uint8_t* answer) {
  return VM_Fail(c, answer, "DoPopEnv :: Execution Error - with-block record damaged");
}

// Restores other, then self, from the record's last two items. Answers the new top, or null after
// a fatal error.
uint8_t* Restore(VMExecContext* c, uint8_t* sp) {
  if (vm::Used(c, sp) < 8) {
    return Damaged(c, nullptr);
  }
  const uint32_t otherRef = Load<uint32_t>(sp), selfRef = Load<uint32_t>(sp + 4);
  void* other = nullptr;
  void* self = nullptr;
  if (!vm::RefGet(c, otherRef, &other) || !vm::RefGet(c, selfRef, &self)) {
    return Damaged(c, nullptr);
  }
  c->other = static_cast<CInstance*>(other);
  c->self = static_cast<CInstance*>(self);
  vm::RefRelease(c, otherRef);
  vm::RefRelease(c, selfRef);
  return sp + 8;
}

int64_t BranchTarget(const VMExecContext* c, uint32_t word) {
  return static_cast<int64_t>(c->pc) + 4 * static_cast<int64_t>(WordBranchOffset(word));
}

}  // namespace

uint8_t* DoPushEnv(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* c) {
  if (vm::Used(c, sp) < 4) {
    return VM_Fail(c, sp, "DoPushEnv :: Execution Error - no instance to run with");
  }
  const int32_t selector = Load<int32_t>(sp);
  sp += 4;
  if (selector == SEL_GLOBAL) {
    return VM_Fail(c, sp, "Cannot use global in with statement");
  }
  if (selector == SEL_LOCAL) {
    return VM_Fail(c, sp, "Cannot use local in with statement");
  }
  CInstance* const savedSelf = c->self;
  CInstance* const savedOther = c->other;

  if (selector == SEL_SELF || selector == SEL_NOT_SPECIFIED) {
    c->other = savedSelf;
    return PushSingle(c, sp, savedSelf, savedOther);
  }
  if (selector == SEL_OTHER) {
    c->self = savedOther;
    c->other = savedSelf;
    return PushSingle(c, sp, savedSelf, savedOther);
  }
  if (selector >= kInstanceIdBase) {
    CInstance* instance = Instance_FindLive(selector);
    sp = PushSingle(c, sp, savedSelf, savedOther);
    if (instance == nullptr) {
      vm::JumpTo(c, BranchTarget(c, word));
      return sp;
    }
    c->self = instance;
    c->other = savedSelf;
    return sp;
  }
  if (selector != SEL_ALL && selector < 0) {
    // noone, -8 and other negative selectors choose nothing.
    sp = PushSingle(c, sp, savedSelf, savedOther);
    vm::JumpTo(c, BranchTarget(c, word));
    return sp;
  }

  // All instances of the room, or of an object and its descendants.
  int32_t count = 0;
  CInstance* first = nullptr;
  CInstance* second = nullptr;
  CInstance* last = nullptr;
  Instance_SelectForMachineWith(selector, [&](CInstance* i) {
    if (count == 0) first = i;
    if (count == 1) second = i;
    last = i;
    ++count;
    return true;
  });
  c->other = savedSelf;
  if (count == 0) {
    sp = PushSingle(c, sp, savedSelf, savedOther);
    vm::JumpTo(c, BranchTarget(c, word));
    return sp;
  }
  if (count == 1) {
    c->self = first;
    return PushSingle(c, sp, savedSelf, savedOther);
  }
  if (count == 2) {
    sp = PushSingle(c, sp, savedSelf, savedOther);
    sp = PushRef(c, sp, second, false);
    c->self = first;
    return sp;
  }
  // Entry 0 stays null; entries 1 .. count-1 hold the instances found before the last one.
  CInstance** list = MemoryManager::AllocArray<CInstance*>(static_cast<uint32_t>(count), __FILE__, __LINE__);
  int32_t filled = 0;
  Instance_SelectForMachineWith(selector, [&](CInstance* i) {
    if (filled + 1 < count) list[filled + 1] = i;
    ++filled;
    return true;
  });
  sp = PushRef(c, sp, savedSelf, false);
  sp = PushRef(c, sp, savedOther, false);
  sp = PushRef(c, sp, list, true);
  sp = vm::PushI32(c, sp, count);
  sp = vm::PushI32(c, sp, kListMarker);
  c->self = last;
  return sp;
}

uint8_t* DoPopEnv(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* c) {
  if (vm::Used(c, sp) < 4) {
    return Damaged(c, sp);
  }
  const bool leaving = WordTypes(word) == kPopEnvLeaveType;
  const int32_t top = Load<int32_t>(sp);
  uint8_t* p = sp;
  if (top == kListMarker) {
    if (vm::Used(c, sp) < 12) {
      return Damaged(c, sp);
    }
    int32_t remaining = Load<int32_t>(sp + 4);
    const uint32_t listRef = Load<uint32_t>(sp + 8);
    void* block = nullptr;
    if (!vm::RefGet(c, listRef, &block) || block == nullptr) {
      return Damaged(c, sp);
    }
    CInstance** list = static_cast<CInstance**>(block);
    if (!leaving && remaining > 0 && remaining <= MemoryManager::GetSize(list) / static_cast<int32_t>(sizeof(void*))) {
      CInstance* next = list[remaining - 1];
      --remaining;
      vm::Store(sp + 4, remaining);
      if (next != nullptr) {
        c->self = next;
        vm::JumpTo(c, BranchTarget(c, word));
        return sp;
      }
    }
    vm::RefRelease(c, listRef);
    p = sp + 12;
  } else if (leaving) {
    // Drop items up to and including the first 0.
    for (;;) {
      if (c->frame - p < 4) {
        return Damaged(c, sp);
      }
      const uint32_t item = Load<uint32_t>(p);
      p += 4;
      if (item == 0) break;
      vm::RefRelease(c, item);
    }
  } else {
    p = sp + 4;
    if (top != 0) {
      void* next = nullptr;
      if (!vm::RefGet(c, static_cast<uint32_t>(top), &next)) {
        return Damaged(c, sp);
      }
      vm::RefRelease(c, static_cast<uint32_t>(top));
      c->self = static_cast<CInstance*>(next);
      vm::JumpTo(c, BranchTarget(c, word));
      return p;
    }
  }
  uint8_t* restored = Restore(c, p);
  return restored != nullptr ? restored : sp;
}
