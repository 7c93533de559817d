#include "code/VM_Variables.h"

#include <cstddef>
#include <cstring>
#include <memory>

#include "base/VCL.h"
#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "code/VM_Stack.h"
#include "code/VM_VariableRules.h"
#include "debug/Debug_State.h"
#include "debug/Profiler.h"
#include "extension/Extension_Main.h"
#include "os/OS_Messages.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"
#include "room/Instance_Class.h"
#include "runner/GameData_Strings.h"
#include "script/Script_Main.h"
#include "variable/Variable_Main.h"

namespace {

using vm::Load;

constexpr uint32_t kPumpEveryBranches = 4096;
// Built-in calls with up to this many arguments copy them into a buffer on the native stack.
constexpr int32_t kInlineArguments = 16;

// The name of an object for messages: "<undefined>" for an index that names no object. Objects
// carry no names yet, so every index reads that way for now.
const char* ObjectName(int32_t) { return "<undefined>"; }

using VarRef = VMReference;

// The reference of a push.v or pop word whose stack items start at p; answers the bytes its items
// take, or -1 when they are not there.
int32_t DecodeReference(VMExecContext* c, uint32_t word, uint32_t operand, const uint8_t* p, VarRef* ref) {
  return VMDecodeReference(word, operand, p, c->frame - p, ref) ? ref->taken : -1;
}

// What a reference reaches in the running code (VMListOf): the locals list is taken from the
// pool at the first SEL_LOCAL reference.
struct RunSources {
  VMExecContext* c;
  CVariableList* Locals() const { return VMLocalsOf(c); }
  CVariableList* HeldLocals() const { return c->locals; }
  static CVariableList* Globals() { return g_Variables.globals; }
  const CInstance* Self() const { return c->self; }
  const CInstance* Other() const { return c->other; }
};

// The list a reference reaches (VMListOf).
CVariableList* ListOf(VMExecContext* c, const VarRef& r) { return VMListOf(r.selector, r.id, RunSources{c}); }

// Reads a variable through its selector into `out`; false when the read failed.
bool ReadVariable(VMExecContext* c, const VarRef& r, ScriptValue* out) {
  g_Variables.instanceMissing = 0;
  if (CVariableList* list = ListOf(c, r)) return list->Get(r.id, r.index, out);
  // No list: a built-in variable, a missing instance or list, or other instances.
  switch (r.selector) {
    case SEL_SELF:
    case SEL_OTHER: {
      CInstance* instance = r.selector == SEL_SELF ? c->self : c->other;
      if (instance == nullptr) {
        g_Variables.instanceMissing = 1;
        return false;
      }
      return GetInstanceVariable(instance, r.id, r.index, out);
    }
    case SEL_NOONE:
      g_Variables.instanceMissing = 1;
      return false;
    case SEL_GLOBAL: return GetGlobalVariable(r.id, r.index, out);
    case SEL_NOT_SPECIFIED:
      if (IsGlobalDeclared(r.id)) return GetGlobalVariable(r.id, r.index, out);
      if (c->self == nullptr) {
        g_Variables.instanceMissing = 1;
        return false;
      }
      return GetInstanceVariable(c->self, r.id, r.index, out);
    case SEL_LOCAL_OR_SELF: return c->self != nullptr && GetInstanceVariable(c->self, r.id, r.index, out);
    default: return GetVariable(r.selector, r.id, r.index, out);
  }
}

// The index error text shared by push and pop.
template <typename Answer>
[[nodiscard]] Answer IndexError(VMExecContext* c, Answer answer, const char* which, const VarRef& r) {
  const ArrayIndexErrorState& e = g_Variables.arrayIndexError;
  return VM_Fail(c, answer, "%s :: Execution Error - Variable Index [%d,%d] out of range [%d,%d] - %d.%s(%d,%d)", which, e.row,
               e.column, e.rowCount, e.rowLength, r.selector, VariableName(r.id), r.id, r.index);
}

uint8_t* PushVariable(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* c) {
  VarRef r;
  const int32_t taken = DecodeReference(c, word, Load<uint32_t>(operand), sp, &r);
  if (taken < 0) {
    return VM_Fail(c, sp, "Push :: Execution Error - variable reference without its index or instance");
  }
  ScriptValue value = RealValue(0.0);
  const bool ok = ReadVariable(c, r, &value);
  if (!ok) {
    ReleaseValue(&value);
    if (g_Variables.arrayIndexError.flag) return IndexError(c, sp, "Push", r);
    if (g_Variables.instanceMissing) {
      return VM_Fail(c, sp, "Unable to find any instance for object index '%d' name '%s'", r.selector,
                     ObjectName(r.selector));
    }
    const int32_t who = r.selector == SEL_SELF && c->self != nullptr ? c->self->i_id : r.selector;
    return VM_Fail(c, sp, "Push :: Execution Error - Variable Get %d.%s(%d, %d)", who, VariableName(r.id), r.id,
                   r.index);
  }
  return vm::PushValue(c, sp + taken, value);
}

// A copy of a text from a string table, pushed as a text item.
uint8_t* PushTableText(VMExecContext* c, uint8_t* sp, bool found, int32_t index, const char* text) {
  if (!found) {
    return VM_Fail(c, sp, "Push :: Execution Error - string index %d out of range", index);
  }
  return vm::PushString(c, sp, DuplicateString(text));
}

// Turns the item at p of type t2 into the value to store. False for a type that cannot be stored.
bool ValueToStore(VMExecContext* c, const uint8_t* p, uint8_t type, ScriptValue* out) {
  switch (type) {
    case VT_DOUBLE: *out = RealValue(Load<double>(p)); return true;
    case VT_INT: *out = RealValue(Load<int32_t>(p)); return true;
    case VT_LONG: *out = RealValue(static_cast<double>(Load<int64_t>(p))); return true;
    case VT_BOOL: *out = RealValue(Load<int32_t>(p) != 0 ? 1.0 : 0.0); return true;
    case VT_STRING: {
      const char* text = nullptr;
      if (!vm::StringPeek(c, Load<uint32_t>(p), &text)) break;
      std::memset(out, 0, sizeof(*out));
      out->str = const_cast<char*>(text);  // read by the store, which keeps its own copy
      out->kind = VALUE_STRING;
      return true;
    }
    case VT_VAR:
      if (*vm::TagAt(c, p) != vm::TAG_VALUE) break;
      *out = vm::LoadValue(p);
      return true;
    case VT_FLOAT: return VM_Fail(c, false, "Pop :: Execution Engine");
    default: break;
  }
  return VM_Fail(c, false, "Pop :: Execution Error - Instruction malformed");
}

// Stores through the selector. False after a fatal error. With `movable`, a text value belongs
// to the stack and may move into a variable rather than be copied: *moved then says it did.
bool StoreVariable(VMExecContext* c, const VarRef& r, const ScriptValue* value, bool movable, bool* moved) {
  *moved = false;
  g_Variables.arrayIndexError.flag = 0;
  bool ok = true;
  if (CVariableList* list = ListOf(c, r)) {
    VMStoreInList(list, r.id, r.index, *value, movable, moved);
  } else {
    // No list: a built-in variable, a missing instance or list, or other instances.
    switch (r.selector) {
      case SEL_SELF:
      case SEL_OTHER: {
        CInstance* instance = r.selector == SEL_SELF ? c->self : c->other;
        ok = instance != nullptr && SetInstanceVariable(instance, r.id, r.index, value);
        break;
      }
      case SEL_GLOBAL: SetGlobalVariable(r.id, r.index, value); break;
      case SEL_NOT_SPECIFIED:
        if (IsGlobalDeclared(r.id)) ok = SetGlobalVariable(r.id, r.index, value);
        else ok = c->self != nullptr && SetInstanceVariable(c->self, r.id, r.index, value);
        break;
      case SEL_LOCAL_OR_SELF:
        if (c->self != nullptr) ok = SetInstanceVariable(c->self, r.id, r.index, value);
        break;
      default:
        if (r.selector >= 0) {
          ok = SetVariable(r.selector, r.id, r.index, value);
          break;
        }
        return VM_Fail(c, false, "Pop :: Execution Error - Variable references invalid object (%d).%s", r.selector,
                       VariableName(r.id));
    }
  }
  if (g_Variables.arrayIndexError.flag) return IndexError(c, false, "Pop", r);
  if (!ok) {
    return VM_Fail(c, false, "Pop :: Execution Error - Variable set failed %s - read only variable?",
                   VariableName(r.id));
  }
  return true;
}

// Frees what the stored item still owns on the stack.
void ReleaseStored(VMExecContext* c, uint8_t* p, uint8_t type) {
  if (type == VT_VAR) {
    ScriptValue v = vm::LoadValue(p);
    ReleaseValue(&v);
  } else if (type == VT_STRING) {
    char* text = nullptr;
    if (vm::StringTake(c, Load<uint32_t>(p), &text)) MemoryManager::Free(text);
  }
}

// True when a whole value starts less than 16 bytes below `q` and at or above `from`, so that a
// cut at q would split it.
bool SplitsValue(VMExecContext* c, const uint8_t* from, const uint8_t* q) {
  for (int k = 1; k <= 3; ++k) {
    const uint8_t* p = q - 4 * k;
    if (p >= from && *vm::TagAt(c, p) == vm::TAG_VALUE) return true;
  }
  return false;
}

// pop.e: save the top S bytes, move the N bytes above them down to the top, write the saved
// bytes after them, then move the top by M bytes.
uint8_t* Shuffle(uint32_t word, uint8_t* sp, VMExecContext* c) {
  const int32_t s = VMStackSize(WordT2(word));
  const uint16_t immediate = WordImmediateBits(word);
  const int32_t n = 4 * static_cast<int8_t>(static_cast<uint8_t>(immediate & 0xFFu));
  const int32_t m = 4 * static_cast<int8_t>(static_cast<uint8_t>(immediate >> 8));
  const int64_t used = vm::Used(c, sp);
  if (n < 0 || s + n > used || m > used || SplitsValue(c, sp, sp + s) || SplitsValue(c, sp, sp + s + n)) {
    return VM_Fail(c, sp, "Pop :: Execution Error - stack shuffle outside the stack");
  }
  if (m < 0) {
    sp = vm::GrowStack(c, sp, -m);
    if (c->stopped) return sp;
  }
  uint8_t saved[16];
  uint8_t savedTags[4];
  std::memcpy(saved, sp, static_cast<size_t>(s));
  std::memcpy(savedTags, vm::TagAt(c, sp), static_cast<size_t>(s / 4));
  std::memmove(sp, sp + s, static_cast<size_t>(n));
  std::memmove(vm::TagAt(c, sp), vm::TagAt(c, sp + s), static_cast<size_t>(n / 4));
  std::memcpy(sp + n, saved, static_cast<size_t>(s));
  std::memcpy(vm::TagAt(c, sp + n), savedTags, static_cast<size_t>(s / 4));
  if (m > 0) {
    vm::ReleaseItems(c, sp, sp + m);
  } else if (m < 0) {
    vm::Tag(c, sp + m, -m, vm::TAG_RAW);
  }
  return sp + m;
}

// Moves the call's arguments off the stack after a built-in or extension call and pushes the
// result in their place.
uint8_t* FinishCall(VMExecContext* c, uint8_t* sp, int32_t argc, ScriptValue* args, const ScriptValue& result) {
  for (int32_t i = 0; i < argc; ++i) ReleaseValue(&args[i]);
  vm::Tag(c, sp, argc * 16, vm::TAG_RAW);
  return vm::PushValue(c, sp + static_cast<int64_t>(argc) * 16, result);
}

struct FreeBlock {
  void operator()(ScriptValue* p) const { MemoryManager::Free(p); }
};

// Calls a built-in or an extension function with the arguments copied into an aligned array.
uint8_t* CallNative(VMExecContext* c, uint8_t* sp, int32_t argc, int32_t number) {
  ScriptValue inlineArgs[kInlineArguments];
  std::unique_ptr<ScriptValue, FreeBlock> heapArgs;
  ScriptValue* args = inlineArgs;
  if (argc > kInlineArguments) {
    heapArgs.reset(MemoryManager::AllocArray<ScriptValue>(static_cast<uint32_t>(argc), __FILE__, __LINE__));
    args = heapArgs.get();
  }
  std::memcpy(static_cast<void*>(args), sp, static_cast<size_t>(argc) * 16);
  ScriptValue result = RealValue(0.0);
  c->sp = sp;  // the stack owns the arguments until the call returns
  if (number < kExtensionCallBase) {
    const BuiltinFunctionEntry& entry = g_VM.functions[number];
    g_VM.CurrentBuiltinName = entry.name;
    if (g_VM.trace) DebugConsole->Output("func call = %s\n", entry.name);
    if (g_Debug.profilerActive) CProfiler::Push(0, number);
    entry.func(&result, c->self, c->other, argc, argc > 0 ? args : nullptr);
    if (g_Debug.profilerActive) CProfiler::Pop();
  } else if (g_VM.extensionCall != nullptr) {
    g_VM.extensionCall(number - kExtensionCallBase, argc, argc > 0 ? args : nullptr, &result);
  }
  return FinishCall(c, sp, argc, args, result);
}

// Lays a call frame for the script's code and switches the context to it.
uint8_t* CallScript(VMExecContext* c, uint8_t* sp, int32_t argc, CCode* code) {
  sp = vm::GrowStack(c, sp, kVMFrameSize);
  if (c->stopped) return sp;
  return vm::EnterScript(c, sp, argc, code);
}

uint8_t* DropArgumentsPushZero(VMExecContext* c, uint8_t* sp, int32_t argc) {
  vm::ReleaseItems(c, sp, sp + static_cast<int64_t>(argc) * 16);
  return vm::PushReal(c, sp + static_cast<int64_t>(argc) * 16, 0.0);
}

}  // namespace

void FreeArgumentSlots() {
  for (ScriptValue& slot : g_VM.argumentSlots) ReleaseValue(&slot);
  std::memset(static_cast<void*>(g_VM.argumentSlots), 0, sizeof(g_VM.argumentSlots));
  g_VM.argumentCount = 0;
  g_VM.argumentsUsed = 0;
}

void VM_SetExtensionCall(VMExtensionCall call) { g_VM.extensionCall = call; }

uint8_t* Push(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* c) {
  switch (WordT1(word)) {
    case VT_DOUBLE: return vm::PushF64(c, sp, Load<double>(operand));
    case VT_LONG: return vm::PushI64(c, sp, Load<int64_t>(operand));
    case VT_INT:
    case VT_BOOL:
    case VT_FLOAT: return vm::PushI32(c, sp, Load<int32_t>(operand));
    case VT_ERROR: return vm::PushI32(c, sp, WordImmediate(word));
    case VT_STRING: {
      const int32_t index = Load<int32_t>(operand);
      const char* text = nullptr;
      const bool found = StringTable_Get(index, &text);
      return PushTableText(c, sp, found, index, text);
    }
    case VT_DEBUGSTR: {
      const int32_t index = Load<int32_t>(operand);
      const char* text = nullptr;
      const bool found = Debug_GetWatchString(index, &text);
      return PushTableText(c, sp, found, index, text);
    }
    case VT_VAR: return PushVariable(word, sp, operand, c);
    default: return sp;
  }
}

uint8_t* Pop(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* c) {
  const uint8_t t1 = WordT1(word), t2 = WordT2(word);
  if (t1 == VT_ERROR) return Shuffle(word, sp, c);
  if (t1 != VT_VAR && t1 != VT_INT) {
    return VM_Fail(c, sp, "Pop :: Execution Error - Instruction malformed");
  }
  const int32_t valueSize = VMStackSize(t2);
  VarRef r;
  uint8_t* valueAt;
  int32_t referenceSize;
  if (t1 == VT_VAR) {
    // The value was pushed first: the reference's items are above it.
    referenceSize = DecodeReference(c, word, Load<uint32_t>(operand), sp, &r);
    valueAt = sp + (referenceSize > 0 ? referenceSize : 0);
  } else {
    // The value was pushed last.
    valueAt = sp;
    referenceSize = DecodeReference(c, word, Load<uint32_t>(operand), sp + valueSize, &r);
  }
  if (referenceSize < 0 || valueSize == 0 || vm::Used(c, sp) < referenceSize + valueSize) {
    return VM_Fail(c, sp, "Pop :: Execution Error - Instruction malformed");
  }
  ScriptValue value;
  if (!ValueToStore(c, valueAt, t2, &value)) return sp;
  // The stack keeps what the value owns until the store has made its own copy or taken it.
  bool moved;
  if (!StoreVariable(c, r, &value, t2 == VT_VAR, &moved)) return sp;
  if (!moved) ReleaseStored(c, valueAt, t2);
  vm::Tag(c, sp, referenceSize + valueSize, vm::TAG_RAW);
  return sp + referenceSize + valueSize;
}

uint8_t* DoDup(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* c) {
  const uint8_t type = WordT1(word);
  const int32_t count = WordImmediate(word) + 1;
  if (type > VT_STRING || WordT2(word) != 0 || count < 1) return sp;
  const int32_t size = VMStackSize(type);
  const bool block = type != VT_VAR && type != VT_STRING;
  const int64_t source = block ? static_cast<int64_t>(count) * size : size;
  const int64_t added = static_cast<int64_t>(count) * size;
  if (vm::Used(c, sp) < source) {
    return VM_Fail(c, sp, "DoDup :: Execution Error - not enough items to duplicate");
  }
  if (type == VT_VAR && *vm::TagAt(c, sp) != vm::TAG_VALUE) {
    return VM_Fail(c, sp, "DoDup :: Execution Error - the stack holds no value");
  }
  const char* text = nullptr;
  if (type == VT_STRING && !vm::StringPeek(c, Load<uint32_t>(sp), &text)) {
    return VM_Fail(c, sp, "DoDup :: Execution Error - the stack holds no text");
  }
  sp = vm::GrowStack(c, sp, added + kVMStackReserve);
  if (c->stopped) return sp;
  if (block) {
    // Copies of raw items own nothing, so their tags stay raw.
    std::memmove(sp - added, sp, static_cast<size_t>(added));
    vm::Tag(c, sp - added, static_cast<int32_t>(added), vm::TAG_RAW);
    return sp - added;
  }
  for (int32_t k = 0; k < count; ++k) {
    if (type == VT_VAR) {
      const ScriptValue top = vm::LoadValue(sp);
      ScriptValue copy;
      std::memset(&copy, 0, sizeof(copy));
      CopyValue(&copy, &top);
      sp = vm::PushValue(c, sp, copy);
    } else {
      sp = vm::PushString(c, sp, DuplicateString(text));
    }
  }
  return sp;
}

namespace {
void CountBranch() {
  if (++g_VM.branchCounter % kPumpEveryBranches == 0) PumpMessages();
}
int64_t BranchTarget(const VMExecContext* c, uint32_t word) {
  return static_cast<int64_t>(c->pc) + 4 * static_cast<int64_t>(WordBranchOffset(word));
}
uint8_t* ConditionalBranch(uint32_t word, uint8_t* sp, VMExecContext* c, bool jumpWhenTrue) {
  CountBranch();
  if (vm::Used(c, sp) < 4) {
    return VM_Fail(c, sp, "VM :: Execution Error - branch without a condition");
  }
  const bool truth = Load<int32_t>(sp) != 0;
  if (truth == jumpWhenTrue && !vm::JumpTo(c, BranchTarget(c, word))) return sp;
  return sp + 4;
}
}  // namespace

uint8_t* DoBranch(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* c) {
  CountBranch();
  vm::JumpTo(c, BranchTarget(c, word));
  return sp;
}

uint8_t* DoBranchTrue(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* c) {
  return ConditionalBranch(word, sp, c, true);
}

uint8_t* DoBranchFalse(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* c) {
  return ConditionalBranch(word, sp, c, false);
}

uint8_t* DoCall(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* c) {
  if (WordT1(word) != VT_INT) {
    return VM_Fail(c, sp, "DoCall :: Execution Engine type error");
  }
  int32_t number = Load<int32_t>(operand);
  int32_t argc = WordImmediateBits(word);
  if (vm::Used(c, sp) < static_cast<int64_t>(argc) * 16) {
    return VM_Fail(c, sp, "DoCall :: Execution Error - %d arguments expected on the stack", argc);
  }
  for (int32_t i = 0; i < argc; ++i) {
    if (*vm::TagAt(c, sp + static_cast<int64_t>(i) * 16) != vm::TAG_VALUE) {
      return VM_Fail(c, sp, "DoCall :: Execution Error - argument %d is not a value", i);
    }
  }

  if (number >= 0 && number < kScriptCallBase) {
    if (number >= g_VM.functionCount || g_VM.functions[number].func == nullptr) {
      return VM_Fail(c, sp, "DoCall :: Execution Error - no built-in function %d", number);
    }
    return CallNative(c, sp, argc, number);
  }
  if (number >= kExtensionCallBase) {
    if (number - kExtensionCallBase >= Extension_FunctionCount()) {
      return VM_Fail(c, sp, "DoCall :: Execution Error - no extension function %d", number - kExtensionCallBase);
    }
    return CallNative(c, sp, argc, number);
  }
  if (number < 0) {
    return VM_Fail(c, sp, "DoCall :: Execution Error - no function %d", number);
  }

  if (number == kScriptExecuteCall) {
    // script_execute: the first argument names the script, the others are its arguments.
    if (argc < 1) {
      return VM_Fail(c, sp, "call to non-existent script\n");
    }
    ScriptValue first = vm::LoadValue(sp);
    const int32_t kind = GetValueKind(&first);
    const char* previousName = g_VM.CurrentBuiltinName;
    g_VM.CurrentBuiltinName = "script_execute";
    const int32_t scriptId = GetArgumentInt(&first, 0);
    g_VM.CurrentBuiltinName = previousName;
    if (kind != VALUE_REAL && kind != VALUE_INT32 && kind != VALUE_INT64) {
      // The accessor has reported the wrong kind; errors are suppressed, so the run stops here.
      c->stopped = true;
      c->nextPc = c->codeSize;
      return sp;
    }
    number = num::WrapAdd32(scriptId, kScriptCallBase);
    ReleaseValue(&first);
    vm::Tag(c, sp, 16, vm::TAG_RAW);
    sp += 16;
    --argc;
  }
  const int32_t index = number - kScriptCallBase;
  if (number < kScriptCallBase || index >= Script_Count()) {
    return VM_Fail(c, sp, "call to non-existent script\n");
  }
  CCode* code = Script_GetCode(index);
  if (code == nullptr || code->m_code == nullptr || code->m_code->m_data == nullptr || code->m_code->m_size <= 0) {
    return DropArgumentsPushZero(c, sp, argc);
  }
  if (g_VM.trace) DebugConsole->Output("script call = %s\n", Script_GetName(index));
  return CallScript(c, sp, argc, code);
}
