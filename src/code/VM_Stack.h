// The machine's private helpers: reading and writing stack items and operands, the tag of each
// stack unit, the handle tables, stack growth and frame unwinding. Used by the instruction
// handlers only.
#pragma once

#include <cstdint>
#include <cstring>

#include "code/VM_Exec.h"
#include "code/VM_Format.h"

// The common signature of every instruction handler: the instruction word, the stack top, the
// operand (the bytes after the word) and the context; answers the new stack top.
using VMHandler = uint8_t* (*)(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);

namespace vm {

// What starts at a 4-byte stack unit.
enum StackTag : uint8_t {
  TAG_RAW = 0,     // a raw number, part of an item, or nothing that owns memory
  TAG_VALUE = 1,   // a whole ScriptValue (16 bytes)
  TAG_STRING = 2,  // a text handle
};

template <typename T>
inline T Load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof(T));
  return v;
}
template <typename T>
inline void Store(uint8_t* p, const T& v) {
  std::memcpy(p, &v, sizeof(T));
}

inline uint8_t* TagAt(VMExecContext* c, const uint8_t* p) {
  return c->stackTags + static_cast<size_t>(p - c->stackBase) / 4;
}
// Marks `bytes` from p as raw, then the first unit as `tag`.
inline void Tag(VMExecContext* c, uint8_t* p, int32_t bytes, uint8_t tag) {
  if (bytes <= 0) return;
  uint8_t* t = TagAt(c, p);
  std::memset(t, TAG_RAW, static_cast<size_t>(bytes) / 4);
  t[0] = tag;
}

// Bytes of the running code's items: from the top down to the current frame.
inline int64_t Used(const VMExecContext* c, const uint8_t* sp) { return c->frame - sp; }

inline uint8_t* PushI32(VMExecContext* c, uint8_t* sp, int32_t v) {
  sp -= 4;
  Store(sp, v);
  Tag(c, sp, 4, TAG_RAW);
  return sp;
}
inline uint8_t* PushI64(VMExecContext* c, uint8_t* sp, int64_t v) {
  sp -= 8;
  Store(sp, v);
  Tag(c, sp, 8, TAG_RAW);
  return sp;
}
inline uint8_t* PushF64(VMExecContext* c, uint8_t* sp, double v) {
  sp -= 8;
  Store(sp, v);
  Tag(c, sp, 8, TAG_RAW);
  return sp;
}
// The value's ownership moves to the stack.
inline uint8_t* PushValue(VMExecContext* c, uint8_t* sp, const ScriptValue& v) {
  sp -= 16;
  Store(sp, v);
  Tag(c, sp, 16, TAG_VALUE);
  return sp;
}
inline uint8_t* PushReal(VMExecContext* c, uint8_t* sp, double real) { return PushValue(c, sp, RealValue(real)); }
inline ScriptValue LoadValue(const uint8_t* p) { return Load<ScriptValue>(p); }

// ---- Handle tables ----

// A handle for the text (ownership moves to the table); 0 for a null text.
uint32_t StringAdd(VMExecContext* c, char* text);
// Takes the text of a handle out of the table (ownership moves to the caller). False for a handle
// the table does not hold; 0 answers true with a null text.
bool StringTake(VMExecContext* c, uint32_t handle, char** text);
// The text of a handle without taking it. False for a handle the table does not hold.
bool StringPeek(const VMExecContext* c, uint32_t handle, const char** text);
inline uint8_t* PushString(VMExecContext* c, uint8_t* sp, char* text) {
  const uint32_t handle = StringAdd(c, text);
  sp -= 4;
  Store(sp, handle);
  Tag(c, sp, 4, TAG_STRING);
  return sp;
}

// With-block references: a handle for an instance (0 for null) or for an owned list block (freed
// when the reference is released), remembered with the call depth that made it.
uint32_t RefAdd(VMExecContext* c, void* p, bool ownedBlock);
// The pointer of a reference; false for a reference the table does not hold (0 answers null).
bool RefGet(const VMExecContext* c, uint32_t ref, void** p);
void RefRelease(VMExecContext* c, uint32_t ref);
// Releases every reference made at call depth `depth` or deeper.
void RefReleaseFrom(VMExecContext* c, int32_t depth);

// Releases every value and text whose item starts in [from, to).
void ReleaseItems(VMExecContext* c, uint8_t* from, uint8_t* to);

// Makes sure at least `need` bytes are free below the stack top, growing the stack; answers the
// (possibly moved) top. At the cap the run ends with the stack-overflow box and the top comes
// back unchanged with the context stopped.
uint8_t* GrowStack(VMExecContext* c, uint8_t* sp, int64_t need);

// Lays a call frame for the script's code over its `argc` arguments at sp (which must have at
// least kVMFrameSize bytes free below it) and switches the context to it: the caller's argument
// slots below the high-water mark are saved in the frame and the arguments move into the slots.
// Answers the new stack top (the frame). EnterScriptWithReals and UnwindFrame, the other two
// halves of a call, are in code/VM_Frame.h.
uint8_t* EnterScript(VMExecContext* c, uint8_t* sp, int32_t argc, CCode* code);

// A jump to `target` (a byte offset): false, after a fatal error, when it lies outside the code.
bool JumpTo(VMExecContext* c, int64_t target);

}  // namespace vm
