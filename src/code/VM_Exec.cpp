#include "code/VM_Exec.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/VCL.h"
#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "code/VM_Breakpoints.h"
#include "code/VM_FastPath.h"
#include "code/VM_Frame.h"
#include "code/VM_LineInfo.h"
#include "code/VM_Ops.h"
#include "code/VM_Stack.h"
#include "code/VM_Variables.h"
#include "code/VM_With.h"
#include "debug/Debug_State.h"
#include "debug/Profiler.h"
#include "os/MessageBox.h"
#include "os/OS_Clock.h"
#include "platform/MemoryManager.h"
#include "variable/Variable_Main.h"

VMState g_VM;

namespace {

constexpr int32_t kDebuggerPollInstructions = 20000;
constexpr int64_t kDebuggerPollMicroseconds = 500000;
constexpr int32_t kArrayIndexLimit = 32000;

void* AllocBytes(int64_t bytes, bool clear) {
  if (bytes <= 0 || bytes > static_cast<int64_t>(UINT32_MAX - MemoryManager::kHeaderSize)) OutOfMemoryHandler();
  return MemoryManager::Alloc(static_cast<uint32_t>(bytes), __FILE__, __LINE__, clear);
}

// ---- Handle tables ----

uint32_t TableAdd(VMHandleTable* t, void* p, int32_t depth, uint8_t kind) {
  int32_t slot;
  if (t->freeList.Count() > 0) {
    slot = t->freeList[t->freeList.Count() - 1];
    t->freeList.SetCount(t->freeList.Count() - 1);
  } else {
    slot = t->slots.Count();
    t->slots.Push();
  }
  t->slots[slot] = {p, depth, kind};
  ++t->live;
  return static_cast<uint32_t>(slot) + 1;
}

// The slot of a handle that the table holds, or -1.
int32_t TableSlot(const VMHandleTable* t, uint32_t handle) {
  if (handle == 0 || handle > static_cast<uint32_t>(t->slots.Count())) return -1;
  const int32_t slot = static_cast<int32_t>(handle - 1);
  return t->slots[slot].kind != 0 ? slot : -1;
}

void TableFreeSlot(VMHandleTable* t, int32_t slot) {
  t->slots[slot].item = nullptr;
  t->slots[slot].kind = 0;
  t->freeList.Push(slot);
  --t->live;
}

// Releases what every live slot owns and the table's own blocks.
void TableDestroy(VMHandleTable* t, bool ownsItems) {
  if (t->slots.Data() == nullptr && t->freeList.Data() == nullptr) return;  // never used
  for (int32_t i = 0; i < t->slots.Count(); ++i) {
    const VMHandleSlot& slot = t->slots[i];
    if (slot.kind == 0) continue;
    if (ownsItems || slot.kind == 2) MemoryManager::Free(slot.item);
  }
  t->slots.Free();
  t->freeList.Free();
  t->live = 0;
}

// ---- Dispatch ----

uint8_t* DoRet(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* c);
uint8_t* DoExit(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* c);
uint8_t* DoPopz(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* c);
uint8_t* DoBreak(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* c);

// The handler of every opcode byte; null for bytes that are not opcodes.
struct DispatchTable {
  VMHandler handlers[256] = {};
  constexpr DispatchTable() {
    handlers[OP_CONV] = DoConv;
    handlers[OP_MUL] = DoMul;
    handlers[OP_DIV] = DoDiv;
    handlers[OP_REM] = DoRem;
    handlers[OP_MOD] = DoMod;
    handlers[OP_ADD] = DoAdd;
    handlers[OP_SUB] = DoSub;
    handlers[OP_AND] = DoAnd;
    handlers[OP_OR] = DoOr;
    handlers[OP_XOR] = DoXor;
    handlers[OP_NEG] = DoNeg;
    handlers[OP_NOT] = DoNot;
    handlers[OP_SHL] = DoShl;
    handlers[OP_SHR] = DoShr;
    for (int op = OP_SLT; op <= OP_SGT; ++op) handlers[op] = DoSet;
    handlers[OP_POP] = Pop;
    handlers[OP_DUP] = DoDup;
    handlers[OP_RET] = DoRet;
    handlers[OP_EXIT] = DoExit;
    handlers[OP_POPZ] = DoPopz;
    handlers[OP_B] = DoBranch;
    handlers[OP_BT] = DoBranchTrue;
    handlers[OP_BF] = DoBranchFalse;
    handlers[OP_PUSHENV] = DoPushEnv;
    handlers[OP_POPENV] = DoPopEnv;
    handlers[OP_PUSH] = Push;
    handlers[OP_CALL] = DoCall;
    handlers[OP_BREAK] = DoBreak;
  }
};
constexpr DispatchTable g_Dispatch;

// Ends the run's use of its stack: frames still laid (a stopped run) are unwound, the top value
// becomes the result when there is one and the run did not end through exit, and every other
// item is released.
void FinishRun(VMExecContext* c, ScriptValue* result) {
  while (c->callDepth > 0) {
    vm::ReleaseItems(c, c->sp, c->frame);
    uint8_t* frame = vm::UnwindFrame(c);
    c->sp = frame + kVMFrameSize;
  }
  uint8_t* start = c->frame;
  if (result != nullptr && !c->exited && start - c->sp >= 16 && *vm::TagAt(c, c->sp) == vm::TAG_VALUE) {
    ReleaseValue(result);
    std::memcpy(static_cast<void*>(result), c->sp, sizeof(ScriptValue));
    vm::Tag(c, c->sp, 16, vm::TAG_RAW);
    c->sp += 16;
  }
  vm::ReleaseItems(c, c->sp, start);
  c->sp = start;
  g_VM.argumentCount = c->savedArgumentCount;
}

// A stack grown past this many bytes is freed when its run ends rather than kept.
constexpr int32_t kVMKeptStackBytes = 4 * kVMStackBlockStep;

// The value stack for a run at nesting depth `depth`: the block kept for that depth, or a fresh
// zeroed one.
void TakeStackBlock(VMExecContext* c, int32_t depth) {
  while (g_VM.stackBlocks.Count() <= depth) g_VM.stackBlocks.Push();
  VMStackBlock& kept = g_VM.stackBlocks[depth];
  if (kept.base == nullptr) {
    kept.base = static_cast<uint8_t*>(AllocBytes(kVMStackBlockStep, true));
    kept.tags = static_cast<uint8_t*>(AllocBytes(kVMStackBlockStep / 4, true));
    kept.size = kVMStackBlockStep;
  }
  c->stackBase = kept.base;
  c->stackTags = kept.tags;
  c->stackSize = kept.size;
  kept = VMStackBlock{};
}

// Gives a finished run's stack back to its depth as it is. Its items were released; below where
// they were, bytes and tags may be left over (an operator tags its result, not the units of the
// operands it took), just as within one run: every push writes and tags each unit it covers, so
// nothing below the stack top is read before it is written again, and the block needs no clearing.
void GiveBackStackBlock(VMExecContext* c, int32_t depth) {
  if (c->stackSize > kVMKeptStackBytes) {
    MemoryManager::Free(c->stackBase);
    MemoryManager::Free(c->stackTags);
    return;
  }
  g_VM.stackBlocks[depth] = VMStackBlock{c->stackBase, c->stackTags, c->stackSize};
}

void FreeStackBlocks() {
  for (int32_t i = 0; i < g_VM.stackBlocks.Count(); ++i) {
    MemoryManager::Free(g_VM.stackBlocks[i].base);
    MemoryManager::Free(g_VM.stackBlocks[i].tags);
  }
  g_VM.stackBlocks.Free();
}

// Releases everything a run holds, however it ended.
struct RunGuard {
  VMExecContext* c;
  bool finished = false;
  ~RunGuard() {
    if (!finished) FinishRun(c, nullptr);
    TableDestroy(&c->strings, true);
    TableDestroy(&c->refs, false);
    GiveBackStackBlock(c, g_VM.runDepth - 1);
    VMReleaseLocals();
    g_VM.current = c->outer;
    --g_VM.runDepth;
  }
};

}  // namespace

// ---- Running one instruction ----

uint8_t* VMExecuteOne(VMExecContext* c, uint32_t word, uint8_t* sp) {
  g_VM.current = c;
  const uint8_t opcode = WordOpcode(word);
  const VMHandler handler = g_Dispatch.handlers[opcode];
  if (handler == nullptr) {
    return VM_Fail(c, sp, "VM :: Execution Error - unknown opcode 0x%02x at %d", opcode, c->pc);
  }
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(c->words);
  const uint8_t* operand = bytes + c->nextPc;
  if (IsOperandForm(opcode)) {
    c->operandSize = VMOperandSize(WordT1(word));
    if (static_cast<int64_t>(c->nextPc) + c->operandSize > c->codeSize) {
      return VM_Fail(c, sp, "VM :: Execution Error - operand past the end of the code at %d", c->pc);
    }
    c->nextPc += c->operandSize;
  } else {
    c->operandSize = 0;
  }
  sp = handler(word, sp, operand, c);
  c->sp = sp;
  g_VM.current = c;
  return sp;
}

uint32_t VMDebuggerCheck(VMExecContext* c, uint32_t word) {
  if (++g_VM.instructionCounter > kDebuggerPollInstructions) {
    g_VM.instructionCounter = 0;
    if (Timing_GetMicroseconds() - g_Debug.debugger.lastPollTime > kDebuggerPollMicroseconds) DebuggerFrame();
  }
  bool stop = g_Debug.debugger.breakRequest;
  int32_t line = -1;
  if (g_Debug.debugger.stepKind >= 0 && c->source != nullptr) {
    VMLineEntry entry;
    if (FindLineEntry(c->lineInfo, c->nextPc, &entry)) line = FindSourceLine(&entry, c->source);
    const bool sameSource = c->source == g_Debug.debugger.stopSource;
    if (!sameSource || line != g_Debug.debugger.stopLine) {
      const bool shallow = c->callDepth <= g_Debug.debugger.stopCallDepth;
      switch (g_Debug.debugger.stepKind) {
        case 0: stop = true; break;
        case 2: stop = stop || (shallow && !sameSource); break;
        default: stop = stop || shallow; break;
      }
    }
  }
  if (!stop) return word;
  g_Debug.debugger.breakRequest = false;
  g_Debug.debugger.stepKind = -1;
  g_Debug.debugger.stopSource = c->source;
  g_Debug.debugger.stopLine = line;
  g_Debug.debugger.stopCallDepth = c->callDepth;
  return kStepBreakWord;
}

// ---- Helpers shared by the handlers ----

namespace vm {

uint32_t StringAdd(VMExecContext* c, char* text) {
  if (text == nullptr) return 0;
  return TableAdd(&c->strings, text, c->callDepth, 1);
}

bool StringTake(VMExecContext* c, uint32_t handle, char** text) {
  if (handle == 0) {
    *text = nullptr;
    return true;
  }
  const int32_t slot = TableSlot(&c->strings, handle);
  if (slot < 0) return false;
  *text = static_cast<char*>(c->strings.slots[slot].item);
  TableFreeSlot(&c->strings, slot);
  return true;
}

bool StringPeek(const VMExecContext* c, uint32_t handle, const char** text) {
  if (handle == 0) {
    *text = nullptr;
    return true;
  }
  const int32_t slot = TableSlot(&c->strings, handle);
  if (slot < 0) return false;
  *text = static_cast<const char*>(c->strings.slots[slot].item);
  return true;
}

uint32_t RefAdd(VMExecContext* c, void* p, bool ownedBlock) {
  if (p == nullptr) return 0;
  return TableAdd(&c->refs, p, c->callDepth, ownedBlock ? 2 : 1);
}

bool RefGet(const VMExecContext* c, uint32_t ref, void** p) {
  if (ref == 0) {
    *p = nullptr;
    return true;
  }
  const int32_t slot = TableSlot(&c->refs, ref);
  if (slot < 0) return false;
  *p = c->refs.slots[slot].item;
  return true;
}

void RefRelease(VMExecContext* c, uint32_t ref) {
  const int32_t slot = TableSlot(&c->refs, ref);
  if (slot < 0) return;
  if (c->refs.slots[slot].kind == 2) MemoryManager::Free(c->refs.slots[slot].item);
  TableFreeSlot(&c->refs, slot);
}

void RefReleaseFrom(VMExecContext* c, int32_t depth) {
  VMHandleTable* t = &c->refs;
  for (int32_t i = 0; i < t->slots.Count() && t->live > 0; ++i) {
    if (t->slots[i].kind == 0 || t->slots[i].depth < depth) continue;
    RefRelease(c, static_cast<uint32_t>(i) + 1);
  }
}

void ReleaseItems(VMExecContext* c, uint8_t* from, uint8_t* to) {
  uint8_t* p = from;
  while (to - p >= 4) {
    uint8_t* tag = TagAt(c, p);
    if (*tag == TAG_VALUE && to - p >= 16) {
      ScriptValue v = LoadValue(p);
      ReleaseValue(&v);
      Tag(c, p, 16, TAG_RAW);
      p += 16;
      continue;
    }
    if (*tag == TAG_STRING) {
      char* text = nullptr;
      if (StringTake(c, Load<uint32_t>(p), &text)) MemoryManager::Free(text);
    }
    *tag = TAG_RAW;
    p += 4;
  }
}

uint8_t* GrowStack(VMExecContext* c, uint8_t* sp, int64_t need) {
  const int64_t spare = sp - c->stackBase;
  if (spare >= need) return sp;
  const int64_t steps = (need - spare + kVMStackBlockStep - 1) / kVMStackBlockStep;
  const int64_t extra = steps * kVMStackBlockStep;
  const int64_t newSize = static_cast<int64_t>(c->stackSize) + extra;
  if (newSize > kVMMaxStackBytes) {
    VMStackOverflow(c);
    return sp;
  }
  uint8_t* base = static_cast<uint8_t*>(AllocBytes(newSize, true));
  uint8_t* tags = static_cast<uint8_t*>(AllocBytes(newSize / 4, true));
  // The used part keeps its distance from the block's top end.
  std::memcpy(base + extra, c->stackBase, static_cast<size_t>(c->stackSize));
  std::memcpy(tags + extra / 4, c->stackTags, static_cast<size_t>(c->stackSize / 4));
  const int64_t spOffset = sp - c->stackBase;
  const int64_t frameOffset = c->frame - c->stackBase;
  const int64_t savedSpOffset = c->sp - c->stackBase;
  MemoryManager::Free(c->stackBase);
  MemoryManager::Free(c->stackTags);
  c->stackBase = base;
  c->stackTags = tags;
  c->stackSize = static_cast<int32_t>(newSize);
  c->frame = base + extra + frameOffset;
  c->sp = base + extra + savedSpOffset;
  return base + extra + spOffset;
}

uint8_t* EnterScript(VMExecContext* c, uint8_t* sp, int32_t argc, CCode* code) {
  // The arguments beyond the 16 slots are dropped; the frame is laid over the rest of them.
  for (int32_t i = kArgumentSlotCount; i < argc; ++i) {
    ScriptValue arg = LoadValue(sp + static_cast<int64_t>(i) * 16);
    ReleaseValue(&arg);
  }
  const int32_t kept = argc < kArgumentSlotCount ? argc : kArgumentSlotCount;
  const int32_t used = g_VM.argumentsUsed;
  uint8_t* frame = sp + static_cast<int64_t>(argc) * 16 - kVMFrameSize;
  // The arguments lie at the top of the frame's slots part: when the saved slots or the record
  // would reach them, they are read out first. Values are moved 16 bytes at a time: for copies
  // this short the processor's string instructions cost more than they save.
  const uint8_t* arguments = sp;
  uint8_t moved[kArgumentSlotCount][16];
  if (argc > kArgumentSlotCount || used + argc > kArgumentSlotCount) {
    for (int32_t i = 0; i < kept; ++i) std::memcpy(moved[i], sp + static_cast<int64_t>(i) * 16, 16);
    arguments = moved[0];
  }
  LayFrame(c, frame, used);
  uint8_t* slots = reinterpret_cast<uint8_t*>(g_VM.argumentSlots);
  // The arguments move into the slots; the caller's slots past them become real 0.
  for (int32_t i = 0; i < kept; ++i) std::memcpy(slots + i * 16, arguments + i * 16, 16);
  for (int32_t i = kept; i < used; ++i) std::memset(slots + i * 16, 0, 16);
  g_VM.argumentsUsed = kept;
  // The arguments moved into the slots: their items, in the frame or above it, become raw.
  Tag(c, sp, argc * 16, TAG_RAW);
  return SwitchToScript(c, frame, kept, code);
}

bool JumpTo(VMExecContext* c, int64_t target) {
  if (target < 0 || target > c->codeSize || (target & 3) != 0) {
    return VM_Fail(c, false, "VM :: Execution Error - branch target %lld outside the code", static_cast<long long>(target));
  }
  c->nextPc = static_cast<int32_t>(target);
  return true;
}

}  // namespace vm

// ---- Handlers of this file ----

namespace {

// ret.v: at the top level the run ends with the value on the stack; inside a script the frame is
// unwound and the value takes the place of the frame's end.
uint8_t* DoRet(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* c) {
  if (WordT1(word) != VT_VAR || vm::Used(c, sp) < 16 || *vm::TagAt(c, sp) != vm::TAG_VALUE) {
    return VM_Fail(c, sp, "DoRet :: Execution Error - ret needs a whole value on the stack");
  }
  if (c->callDepth == 0) {
    c->nextPc = c->codeSize;
    return sp;
  }
  const ScriptValue value = vm::LoadValue(sp);
  vm::Tag(c, sp, 16, vm::TAG_RAW);
  vm::ReleaseItems(c, sp + 16, c->frame);
  uint8_t* frame = vm::UnwindFrame(c);
  return vm::PushValue(c, frame + kVMFrameSize, value);
}

uint8_t* DoExit(uint32_t, uint8_t* sp, const uint8_t*, VMExecContext* c) {
  if (c->callDepth > 0) return VMPopFrame(sp, c);
  c->exited = true;
  c->nextPc = c->codeSize;
  return sp;
}

uint8_t* DoPopz(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* c) {
  const uint8_t type = WordT1(word);
  const int32_t size = VMStackSize(type);
  if (size == 0) return sp;
  if (vm::Used(c, sp) < size) {
    return VM_Fail(c, sp, "DoPopz :: Execution Error - nothing to discard");
  }
  if (type == VT_STRING) {
    char* text = nullptr;
    if (!vm::StringTake(c, vm::Load<uint32_t>(sp), &text)) {
      return VM_Fail(c, sp, "DoPopz :: Execution Error - the stack holds no text");
    }
    MemoryManager::Free(text);
  } else if (type == VT_VAR) {
    if (*vm::TagAt(c, sp) != vm::TAG_VALUE) {
      return VM_Fail(c, sp, "DoPopz :: Execution Error - the stack holds no value");
    }
    ScriptValue v = vm::LoadValue(sp);
    ReleaseValue(&v);
  }
  vm::Tag(c, sp, size, vm::TAG_RAW);
  return sp + size;
}

uint8_t* DoBreak(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* c) {
  const uint16_t immediate = WordImmediateBits(word);
  if (immediate == kBreakIndexCheck) {
    if (vm::Used(c, sp) < 4) {
      return VM_Fail(c, sp, "DoBreak :: Execution Error - no index to check");
    }
    const int32_t index = vm::Load<int32_t>(sp);
    if (index < 0) return VM_Fail(c, sp, "Array index must be +'ve");
    if (index >= kArrayIndexLimit) return VM_Fail(c, sp, "Array index must be < %d", kArrayIndexLimit);
    return sp;
  }
  if (immediate != 0) return sp;
  // A breakpoint or a step stop: the real instruction is put back, the debugger holds the game,
  // then that instruction runs.
  CProfiler::SetPaused(true);
  c->nextPc = c->pc;
  VMRestoreBreakpoints();
  if (g_Debug.debugger.connected) Debug_PauseLoop();
  CProfiler::SetPaused(false);
  const uint32_t real = vm::Load<uint32_t>(reinterpret_cast<const uint8_t*>(c->words) + c->pc);
  c->nextPc = c->pc + 4;
  if (WordOpcode(real) != OP_BREAK) sp = VMExecuteOne(c, real, sp);
  VMApplyBreakpoints();
  return sp;
}

}  // namespace

// ---- Locals pool ----

CVariableList* VMAcquireLocals() {
  if (g_VM.localsCount < g_VM.localsPool.Count()) {
    // The usual case: the list at this depth is there and was emptied when it was given back.
    CVariableList* list = g_VM.localsPool[g_VM.localsCount];
    if (list != nullptr && list->m_Count == 0) {
      ++g_VM.localsCount;
      return list;
    }
  } else {
    g_VM.localsPool.Push(nullptr);
  }
  CVariableList*& list = g_VM.localsPool[g_VM.localsCount];
  if (list == nullptr) {
    list = new CVariableList();
  } else if (list->m_Count != 0) {
    list->Clear();
  }
  ++g_VM.localsCount;
  return list;
}

// An empty list is not cleared again: nothing can have been found in it since its last clear
// (nodes only leave a list when it is cleared), so no variable cache needs a new epoch.
void VMReleaseLocals() {
  if (g_VM.localsCount <= 0) return;
  --g_VM.localsCount;
  CVariableList* list = g_VM.localsPool[g_VM.localsCount];
  if (list != nullptr && list->m_Count != 0) list->Clear();
}

CVariableList* VMLocalsOf(VMExecContext* c) {
  if (c->locals == nullptr) c->locals = VMAcquireLocals();
  return c->locals;
}

int32_t VMLocalsInUse() { return g_VM.localsCount; }

void VMFreeLocalsPool() {
  for (int32_t i = 0; i < g_VM.localsPool.Count(); ++i) delete g_VM.localsPool[i];
  g_VM.localsPool.Free();
  g_VM.localsCount = 0;
}

void VM_Reset() {
  FreeArgumentSlots();
  FreeStackBlocks();
  VMFreeLocalsPool();
  FreeBuiltinFunctions();
  const uint64_t scriptGeneration = g_VM.scriptGeneration;
  g_VM = VMState{};
  g_VM.scriptGeneration = scriptGeneration + 1;
}

// ---- Frames ----

uint8_t* VMPopFrame(uint8_t* stackTop, VMExecContext* c) {
  vm::ReleaseItems(c, stackTop, c->frame);
  uint8_t* frame = vm::UnwindFrame(c);
  return vm::PushReal(c, frame + kVMFrameSize, 0.0);
}

int VM_GetFrameCount(const VMExecContext* c) { return c != nullptr ? c->callDepth + 1 : 0; }

bool VM_GetFrame(const VMExecContext* c, int i, VMFrameInfo* out) {
  if (c == nullptr || out == nullptr || i < 0 || i > c->callDepth) return false;
  if (i == 0) {
    *out = VMFrameInfo{c->name, c->code, c->lineInfo, c->source, c->pc};
    return true;
  }
  const uint8_t* frame = c->frame;
  for (int k = 1;; ++k) {
    VMCallFrame record;
    std::memcpy(static_cast<void*>(&record), frame, sizeof(record));
    if (k == i) {
      *out = VMFrameInfo{record.name, record.code, record.lineInfo, record.source, record.callPc};
      return true;
    }
    frame = c->stackBase + c->stackSize - record.frameDistance;
  }
}

// ---- Running ----

void VMRunLoop(VMExecContext* c, ScriptValue* result) {
  c->savedArgumentCount = g_VM.argumentCount;
  uint8_t* sp = c->sp;
  for (;;) {
    // The dispatch loop runs the code until it ends or the run stops.
    if (!c->stopped && c->nextPc < c->codeSize) sp = VMRunFast(c, sp);
    if (c->stopped || c->callDepth == 0) break;
    // A script ran off its end: back to its caller with real 0.
    sp = VMPopFrame(sp, c);
    c->sp = sp;
  }
  c->sp = sp;
  FinishRun(c, result);
}

bool VMExecute(const char* name, CInstance* self, CInstance* other, VMBuffer* code, ScriptValue* result,
               VMBuffer* lineInfo, const char* source) {
  if (g_VM.trace) DebugConsole->Output("script = %s\n", name ? name : "");
  if (code == nullptr || code->m_data == nullptr || code->m_size <= 0) return true;
  if (g_VM.runDepth >= kVMMaxRunNesting) {
    OS_ShowMessageBox("Stack overflow...", name ? name : "", MessageBoxKind::Ok, false);
    return false;
  }

  VMExecContext context;
  VMExecContext* c = &context;
  c->name = name;
  c->code = code;
  c->lineInfo = lineInfo;
  c->source = source;
  c->self = self;
  c->other = other;
  c->words = code->m_data;
  c->codeSize = code->m_size;
  TakeStackBlock(c, g_VM.runDepth);
  c->frame = c->stackBase + c->stackSize - kVMStackTopGap;
  c->sp = c->frame;
  c->savedArgumentCount = g_VM.argumentCount;
  c->outer = g_VM.current;
  c->locals = VMAcquireLocals();
  ++g_VM.runDepth;
  g_VM.current = c;

  RunGuard guard{c};
  VMRunLoop(c, result);
  guard.finished = true;
  return !c->stopped;
}

// ---- Errors ----

namespace {

void FailWith(VMExecContext* c, const char* format, va_list args) {
  if (c == nullptr) c = g_VM.current;
  std::vsnprintf(g_VM.lastError, sizeof(g_VM.lastError), format ? format : "", args);
  if (g_ErrorSuppressed.load()) {
    if (c != nullptr) {
      c->stopped = true;
      c->nextPc = c->codeSize;
    }
    g_ErrorFlag.store(true);
    return;
  }
  char message[kVMErrorMessageSize];
  std::memcpy(message, g_VM.lastError, sizeof(message));
  ReportRuntimeError(message, true);
  ExitProcessWith(kFatalExitStatus);
}

}  // namespace

void VMFatalError(VMExecContext* c, const char* format, ...) {
  va_list args;
  va_start(args, format);
  FailWith(c, format, args);
  va_end(args);
}

uint8_t* VM_Fail(VMExecContext* c, uint8_t* answer, const char* format, ...) {
  va_list args;
  va_start(args, format);
  FailWith(c, format, args);
  va_end(args);
  return answer;
}

bool VM_Fail(VMExecContext* c, bool answer, const char* format, ...) {
  va_list args;
  va_start(args, format);
  FailWith(c, format, args);
  va_end(args);
  return answer;
}

void VMStackOverflow(VMExecContext* c) {
  OS_ShowMessageBox("Stack overflow...", c->name ? c->name : "", MessageBoxKind::Ok, false);
  c->stopped = true;
  c->nextPc = c->codeSize;
}

const char* VM_GetLastErrorText() { return g_VM.lastError; }
void VM_ClearLastErrorText() { g_VM.lastError[0] = '\0'; }

void VMInit() {
  VMClearBreakpoints();
  g_VM.instructionCounter = 0;
  // RUNNER_VM_PATHS, for test runs that compare the ways of running code: "general" runs every
  // instruction through its general handler, "words" runs the fast paths word by word; anything
  // else (or nothing) keeps the decoded steps.
  if (const char* paths = std::getenv("RUNNER_VM_PATHS")) {
    if (std::strcmp(paths, "general") == 0) g_VM.fastPaths = false;
    if (std::strcmp(paths, "words") == 0) g_VM.decodedSteps = false;
  }
}

// ---- VMWriteBuffer ----

VMWriteBuffer::VMWriteBuffer(int32_t capacityBytes) {
  m_capacity = capacityBytes > 4 ? (capacityBytes + 3) & ~3 : 4;
  m_data = static_cast<const uint32_t*>(AllocBytes(m_capacity, true));
  m_size = m_capacity;
  m_owned = false;
}

VMWriteBuffer::~VMWriteBuffer() {
  MemoryManager::Free(const_cast<uint32_t*>(m_data));
  m_data = nullptr;
  m_owned = false;
}

void VMWriteBuffer::MakeRoom(int64_t bytes) {
  int64_t capacity = m_capacity;
  while (capacity - m_used < bytes) capacity *= 2;
  if (capacity == m_capacity) return;
  if (capacity > INT32_MAX) OutOfMemoryHandler();
  void* block = AllocBytes(capacity, true);
  std::memcpy(block, m_data, static_cast<size_t>(m_used));
  MemoryManager::Free(const_cast<uint32_t*>(m_data));
  m_data = static_cast<const uint32_t*>(block);
  m_capacity = static_cast<int32_t>(capacity);
  m_size = m_capacity;
  VM_NoteScriptChange();
}

void VMWriteBuffer::Append(const void* bytes, int32_t size) {
  MakeRoom(size);
  std::memcpy(reinterpret_cast<uint8_t*>(const_cast<uint32_t*>(m_data)) + m_used, bytes, static_cast<size_t>(size));
  m_used += size;
  if (m_size != m_capacity) m_size = m_capacity;
}

void VMWriteBuffer::WriteWord(int32_t count, ...) {
  if (count <= 0) return;
  MakeRoom(static_cast<int64_t>(count) * 4);
  va_list args;
  va_start(args, count);
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t word = va_arg(args, unsigned int);
    Append(&word, 4);
  }
  va_end(args);
}

void VMWriteBuffer::WriteDouble(double value) { Append(&value, 8); }
void VMWriteBuffer::WriteFloat(float value) { Append(&value, 4); }
void VMWriteBuffer::WriteInt(int32_t value) { Append(&value, 4); }
void VMWriteBuffer::WriteInt64(int64_t value) { Append(&value, 8); }
void VMWriteBuffer::WriteBool(bool value) {
  const uint32_t word = value ? 1u : 0u;
  Append(&word, 4);
}

// ---- String routines ----

char* DuplicateString(const char* text) { return MemoryManager::DuplicateText(text); }

int32_t BoundedStringLength(const char* text, int32_t n) {
  if (text == nullptr || n <= 0) return 0;
  int32_t i = 0;
  while (i < n && text[i] != '\0') ++i;
  return i;
}

void FreeMemory(void* p) { MemoryManager::Free(p); }
