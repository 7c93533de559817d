// The two halves of a script call the decoded steps make on every call and return, inline so
// that the step loop runs them without a call: laying the caller's frame and switching to the
// callee (EnterScriptWithReals), and unwinding the frame back to the caller (UnwindFrame). The
// frame's layout is VMCallFrame (code/VM_Exec.h); EnterScript (code/VM_Stack.h) lays the same
// frame over arguments pushed on the stack. Used by the machine's own files only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "code/Code_Main.h"
#include "code/VM_Exec.h"
#include "code/VM_Stack.h"
#include "debug/Debug_State.h"
#include "debug/Profiler.h"

namespace vm {

// The two groups of context fields a frame keeps as they lie in the context: the code's name,
// words, line table and source, and the self, other and locals.
struct VMFrameGroups {
  static constexpr size_t kCodeBytes = offsetof(VMCallFrame, source) + sizeof(VMCallFrame::source);
  static constexpr size_t kInstanceBytes = offsetof(VMCallFrame, locals) + sizeof(VMCallFrame::locals) -
                                          offsetof(VMCallFrame, self);
  static_assert(offsetof(VMCallFrame, name) == 0 && offsetof(VMCallFrame, code) == 8 &&
                    offsetof(VMCallFrame, lineInfo) == 16 && offsetof(VMCallFrame, source) == 24,
                "the frame's code group");
  static_assert(offsetof(VMExecContext, code) - offsetof(VMExecContext, name) == 8 &&
                    offsetof(VMExecContext, lineInfo) - offsetof(VMExecContext, name) == 16 &&
                    offsetof(VMExecContext, source) - offsetof(VMExecContext, name) == 24,
                "the context's code group in the frame's order");
  static_assert(offsetof(VMCallFrame, other) - offsetof(VMCallFrame, self) == 8 &&
                    offsetof(VMCallFrame, locals) - offsetof(VMCallFrame, self) == 16 &&
                    offsetof(VMExecContext, other) - offsetof(VMExecContext, self) == 8 &&
                    offsetof(VMExecContext, locals) - offsetof(VMExecContext, self) == 16,
                "the instance group in the same order in both");
};

// Copies `count` argument slots of 16 bytes; one, the usual count, without a loop.
[[gnu::always_inline]] inline void CopySlots(uint8_t* to, const uint8_t* from, int32_t count) {
  if (count == 1) {
    std::memcpy(to, from, 16);
    return;
  }
  for (int32_t i = 0; i < count; ++i) std::memcpy(to + i * 16, from + i * 16, 16);
}

// Writes the caller's record into the frame at `frame` and saves its argument slots below the
// high-water mark `used` there.
[[gnu::always_inline]] inline void LayFrame(VMExecContext* c, uint8_t* frame, int32_t used) {
  uint8_t* savedSlots = frame + offsetof(VMCallFrame, arguments);
  // The record is written field by field in place.
#define FRAME_FIELD(field, value) Store(frame + offsetof(VMCallFrame, field), value)
  FRAME_FIELD(callPc, c->pc);
  FRAME_FIELD(returnPc, c->nextPc);
  FRAME_FIELD(spare, c->spare);
  FRAME_FIELD(argumentCount, g_VM.argumentCount);
  FRAME_FIELD(frameDistance, static_cast<int32_t>((c->stackBase + c->stackSize) - c->frame));
  FRAME_FIELD(savedSlots, used);
#undef FRAME_FIELD
  const uint8_t* context = reinterpret_cast<const uint8_t*>(c);
  std::memcpy(frame + offsetof(VMCallFrame, name), context + offsetof(VMExecContext, name), VMFrameGroups::kCodeBytes);
  std::memcpy(frame + offsetof(VMCallFrame, self), context + offsetof(VMExecContext, self),
              VMFrameGroups::kInstanceBytes);
  const uint8_t* slots = reinterpret_cast<const uint8_t*>(g_VM.argumentSlots);
  CopySlots(savedSlots, slots, used);
}

// Switches the context to the script's code, its frame laid at `frame`, with `kept` arguments.
// The frame's units keep their tags: no walk over items ever enters a frame (each walks from the
// stack top up to the current frame, and a frame's items are released before it is unwound),
// and once the frame is gone its units lie below the stack top, where every push writes and
// tags each unit before anything reads it.
[[gnu::always_inline]] inline uint8_t* SwitchToScript(VMExecContext* c, uint8_t* frame, int32_t kept, CCode* code) {
  VMBuffer* words = code->m_code;
  c->code = words;
  c->words = words->m_data;
  c->codeSize = words->m_size;
  c->lineInfo = code->m_lineInfo;
  c->source = code->m_sourceCopy;
  c->name = code->m_name;
  c->spare = 0;
  c->frame = frame;
  c->pc = 0;
  c->nextPc = 0;
  g_VM.argumentCount = kept;
  // The callee takes its locals list from the pool when it first touches a local (VMLocalsOf).
  c->locals = nullptr;
  ++c->callDepth;
  if (g_Debug.profilerActive) CProfiler::Push(1, code->m_codeIndex);
  c->sp = frame;
  return frame;
}

// EnterScript for `argc` (at most kArgumentSlotCount) arguments that are reals computed by the
// caller and were never pushed: the frame goes where EnterScript would lay it had they been
// pushed at sp, and the reals are written into the argument slots. They come in the order they
// would have been pushed: the last is argument0.
[[gnu::always_inline]] inline uint8_t* EnterScriptWithReals(VMExecContext* c, uint8_t* sp, int32_t argc, const double* arguments, CCode* code) {
  const int32_t used = g_VM.argumentsUsed;
  // Where EnterScript lays the frame over `argc` arguments pushed at sp.
  uint8_t* frame = sp - kVMFrameSize;
  LayFrame(c, frame, used);
  // The caller's slots are saved: those past the arguments become real 0, and the arguments are
  // written over the others.
  uint8_t* slots = reinterpret_cast<uint8_t*>(g_VM.argumentSlots);
  for (int32_t i = argc; i < used; ++i) std::memset(slots + i * 16, 0, 16);
  if (argc == 1) {
    g_VM.argumentSlots[0] = RealValue(arguments[0]);
  } else {
    for (int32_t i = 0; i < argc; ++i) g_VM.argumentSlots[i] = RealValue(arguments[argc - 1 - i]);
  }
  g_VM.argumentsUsed = argc;
  return SwitchToScript(c, frame, argc, code);
}

// Unwinds the current script frame: the callee's locals, references and argument slots are
// released and the caller's code, instances, locals, argument count and slots come back. Answers
// the frame's start (the caller's items continue at start + kVMFrameSize). The callee's items
// must have been released or moved first.
[[gnu::always_inline]] inline uint8_t* UnwindFrame(VMExecContext* c) {
  uint8_t* frame = c->frame;
  // The record's fields are read in place.
#define FRAME_FIELD(field) Load<decltype(VMCallFrame::field)>(frame + offsetof(VMCallFrame, field))
  if (c->refs.live > 0) RefReleaseFrom(c, c->callDepth);
  if (c->locals != nullptr) VMReleaseLocals();
  if (g_Debug.profilerActive) CProfiler::Pop();
  --c->callDepth;
  uint8_t* context = reinterpret_cast<uint8_t*>(c);
  std::memcpy(context + offsetof(VMExecContext, name), frame + offsetof(VMCallFrame, name), VMFrameGroups::kCodeBytes);
  std::memcpy(context + offsetof(VMExecContext, self), frame + offsetof(VMCallFrame, self),
              VMFrameGroups::kInstanceBytes);
  VMBuffer* code = FRAME_FIELD(code);
  c->words = code != nullptr ? code->m_data : nullptr;
  c->codeSize = code != nullptr ? code->m_size : 0;
  c->spare = FRAME_FIELD(spare);
  c->pc = FRAME_FIELD(callPc);
  c->nextPc = FRAME_FIELD(returnPc);
  c->frame = c->stackBase + c->stackSize - FRAME_FIELD(frameDistance);
  g_VM.argumentCount = FRAME_FIELD(argumentCount);
  const int32_t saved = FRAME_FIELD(savedSlots);
#undef FRAME_FIELD
  // The callee's slots are overwritten or zeroed next: only what they own needs releasing.
  const int32_t used = g_VM.argumentsUsed;
  if (used == 1) {
    ScriptValue& slot = g_VM.argumentSlots[0];
    if (slot.Kind() == VALUE_STRING || slot.Kind() == VALUE_ARRAY) ReleaseValue(&slot);
  } else {
    for (int32_t i = 0; i < used; ++i) {
      ScriptValue& slot = g_VM.argumentSlots[i];
      if (slot.Kind() == VALUE_STRING || slot.Kind() == VALUE_ARRAY) ReleaseValue(&slot);
    }
  }
  const uint8_t* savedSlots = frame + offsetof(VMCallFrame, arguments);
  uint8_t* slots = reinterpret_cast<uint8_t*>(g_VM.argumentSlots);
  CopySlots(slots, savedSlots, saved);
  for (int32_t i = saved; i < used; ++i) std::memset(slots + i * 16, 0, 16);
  g_VM.argumentsUsed = saved;
  // The frame's units were tagged raw when it was laid and nothing is pushed there while it lives.
  return frame;
}

}  // namespace vm
