// The bytecode virtual machine: one run executes a piece of bytecode for a calling instance
// ("self") and an other instance on a typed value stack, with script calls laid as frames on the
// same stack, a pool of local-variable lists and a uniform fatal-error path.
//
// The value stack is a heap block that grows toward lower addresses; the top item sits at the
// lowest used address. Items keep the byte sizes of the bytecode format (.d/.l 8, .f/.i/.b/.s 4,
// .v 16), so code compiled elsewhere runs unchanged. A ".s" item is a 32-bit handle into the
// run's string-slot table (0: no text). A second, parallel block holds one tag byte per 4-byte
// unit saying where whole values and text handles start, so that whatever a run leaves on its
// stack (an early exit, a fatal error, a stack overflow) is released when it ends.
//
// Main thread only.
#pragma once

#include <cstdint>

#include "code/Code_Main.h"
#include "code/VM_State.h"
#include "variable/ScriptValue.h"

class CInstance;
class CVariableList;

// ---- Limits ----

constexpr int32_t kVMStackBlockStep = 16384;  // bytes added by each growth of the value stack
constexpr int32_t kVMStackReserve = 1024;     // the stack grows when less than this is free
constexpr int32_t kVMStackTopGap = 16;        // the stack starts this far below the block's top
constexpr int32_t kVMMaxStackBytes = 1 << 20;  // value-stack bytes one run may use
constexpr int32_t kVMMaxRunNesting = 128;      // runs started from inside runs

// ---- The call frame ----

// What a script call saves of its caller; laid on the value stack (byte-copied, never addressed
// in place) so that the callee's items go below it.
struct VMCallFrame {
  // The caller's code and instances, each group in the order VMExecContext holds it, so that a
  // call and a return copy each group whole (VMFrameGroups checks the orders match).
  const char* name;
  VMBuffer* code;
  VMBuffer* lineInfo;
  const char* source;
  CInstance* self;
  CInstance* other;
  CVariableList* locals;
  int32_t callPc;         // offset of the caller's call instruction
  int32_t returnPc;       // where the caller goes on (just past the call)
  int32_t spare;          // the context's spare word
  int32_t argumentCount;  // the caller's argument count
  int32_t frameDistance;  // the caller's frame, measured down from the stack block's top end
  int32_t savedSlots;     // the caller's argument-slot high-water mark: the slots saved below
  // The caller's argument slots below its high-water mark (the rest of the block is not written:
  // the frame keeps its full size, so the stack's depth at any call is the same however many
  // slots were in use).
  ScriptValue arguments[kArgumentSlotCount];
};
// Every stack offset that concerns a frame is expressed through this size.
constexpr int32_t kVMFrameSize = static_cast<int32_t>(sizeof(VMCallFrame));
static_assert(kVMFrameSize % 4 == 0, "frames keep the stack in 4-byte units");

// ---- Handle tables ----

// A table of owned pointers addressed by 32-bit handles from 1 (0 is "none"). Used for the texts
// of ".s" items and for the instances and instance lists of with-block records.
struct VMHandleSlot {
  void* item;     // slot i holds handle i + 1
  int32_t depth;  // call depth that made the handle (with-block references)
  uint8_t kind;   // what the slot holds: 0 free, 1 used, 2 an owned list block
};
struct VMHandleTable {
  GrowArray<VMHandleSlot> slots{kGrowDoubling, 16};  // every slot ever handed out
  GrowArray<int32_t> freeList{kGrowDoubling, 16};    // freed slots, reused last freed first
  int32_t live = 0;                                  // handles currently held
};

// ---- The execution context ----

struct VMExecContext {
  // Read by error reports and the debugger.
  const char* name = nullptr;
  VMBuffer* code = nullptr;
  VMBuffer* lineInfo = nullptr;
  const char* source = nullptr;
  int32_t pc = 0;  // byte offset of the current instruction
  int32_t callDepth = 0;
  CInstance* self = nullptr;
  CInstance* other = nullptr;
  CVariableList* locals = nullptr;

  // The machine's own state.
  const uint32_t* words = nullptr;  // the running code
  int32_t codeSize = 0;             // its size in bytes
  int32_t nextPc = 0;               // byte offset of the next word to read
  int32_t operandSize = 0;          // operand bytes of the current instruction
  int32_t spare = 0;                // saved across script calls, 0 in a callee
  bool stopped = false;             // a fatal error or a stack overflow ended the run
  bool exited = false;              // exit at the top level: the stack is discarded
  uint8_t* stackBase = nullptr;     // lowest address of the value-stack block
  uint8_t* stackTags = nullptr;     // one tag per 4-byte unit of the block
  int32_t stackSize = 0;            // bytes in the block
  uint8_t* frame = nullptr;         // the current call frame (at depth 0: the stack's start)
  uint8_t* sp = nullptr;            // the stack top between instructions
  int32_t savedArgumentCount = 0;   // the argument count when the run began
  VMHandleTable strings;            // texts of ".s" items
  VMHandleTable refs;               // instances and lists held by with-block records
  VMExecContext* outer = nullptr;   // the run this one was started from
};

// The innermost running context is g_VM.current (null while no bytecode runs); the -trace switch
// is g_VM.trace (code/VM_State.h).

// ---- Frames, as error reports and the debugger see them ----

struct VMFrameInfo {
  const char* name;
  VMBuffer* code;
  VMBuffer* lineInfo;
  const char* source;
  int32_t pc;  // byte offset of the current instruction (for callers: their call instruction)
};
// The running code plus one frame per script call: callDepth + 1 (0 for a null context).
int VM_GetFrameCount(const VMExecContext* context);
// Frame i, 0 being the innermost (the running code). False for an index out of range.
bool VM_GetFrame(const VMExecContext* context, int i, VMFrameInfo* out);

// ---- Running ----

// Runs the code for self and other. When the run ends with a whole value on its stack (normally
// the value of ret, or an expression's value), that value moves into `result`, releasing what
// `result` held (it must hold a valid value); otherwise `result` is left as the caller set it. Answers false when the run was not started (nesting cap) or was stopped by a fatal error
// under suppression or by a stack overflow.
bool VMExecute(const char* name, CInstance* self, CInstance* other, VMBuffer* code, ScriptValue* result,
               VMBuffer* lineInfo, const char* source);
// Runs one run's code to its end (VMRunFast's dispatch loop, and scripts that run off their end
// back to their callers), then hands over its result.
void VMRunLoop(VMExecContext* context, ScriptValue* result);
// Decodes and runs one instruction through its general handler: its word was read at
// context->pc, and context->nextPc is already past the word. Answers the new stack top (also
// left in context->sp).
uint8_t* VMExecuteOne(VMExecContext* context, uint32_t word, uint8_t* sp);
// The debugger's part of running a word while it is connected: polling the link, and stopping
// for a step or a break request by answering the step-break word in place of `word` (for this
// execution only). Called with context->pc at the word and context->nextPc past it.
uint32_t VMDebuggerCheck(VMExecContext* context, uint32_t word);

// The locals pool: the list for the next nesting depth (cleared), and giving the last one back.
CVariableList* VMAcquireLocals();
void VMReleaseLocals();
// The running code's locals list. A script call starts without one (most scripts have no
// locals): it is taken from the pool here, at the code's first read or write of a local, and
// given back when the call returns. A missing list and an empty one read the same everywhere
// else (error dumps list the locals only when there are some).
CVariableList* VMLocalsOf(VMExecContext* context);
int32_t VMLocalsInUse();
// Destroys the pool's lists (shutdown).
void VMFreeLocalsPool();

// Unwinds one script frame whose code ran to its end and pushes real 0 (the value of a script
// without ret). Answers the new stack top.
uint8_t* VMPopFrame(uint8_t* stackTop, VMExecContext* context);

// A fatal error during a run. With errors suppressed: the run stops, the error flag is set and
// the caller returns normally. Otherwise the message (formatted into kVMErrorMessageSize bytes)
// is reported and the process ends with kFatalExitStatus (base/ErrorSink.h).
void VMFatalError(VMExecContext* context, const char* format, ...) __attribute__((format(printf, 2, 3)));
// VMFatalError for a handler or a helper, which must return at once: answers `answer`, the value
// the caller returns (the stack top for a handler, false or null for a helper), so that
// `return VM_Fail(c, sp, ...)` is the only way to use it.
[[nodiscard]] uint8_t* VM_Fail(VMExecContext* context, uint8_t* answer, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
[[nodiscard]] bool VM_Fail(VMExecContext* context, bool answer, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// Ends the run at once with the "Stack overflow..." box naming the running code.
void VMStackOverflow(VMExecContext* context);
// The text of the last fatal error met by the machine (kept also while errors are suppressed);
// "" when there was none.
const char* VM_GetLastErrorText();
void VM_ClearLastErrorText();

// Start-up: frees every breakpoint slot and resets the instruction counter.
void VMInit();

// ---- The word writer of the bytecode generator ----

// A growable word buffer. While writing, the capacity doubles whenever a write would not fit.
// Finish() turns it into a plain code buffer of the bytes written; it keeps its block until it
// is destroyed.
class VMWriteBuffer : public VMBuffer {
 public:
  explicit VMWriteBuffer(int32_t capacityBytes);
  ~VMWriteBuffer() override;

  // Appends `count` 32-bit words (passed as uint32_t arguments).
  void WriteWord(int32_t count, ...);
  void WriteDouble(double value);   // two words
  void WriteFloat(float value);     // one word: the float's bit pattern
  void WriteInt(int32_t value);     // one word
  void WriteInt64(int64_t value);   // two words
  void WriteBool(bool value);       // one word, 1 or 0

  int32_t BytesWritten() const { return m_used; }
  int32_t Capacity() const { return m_capacity; }
  // The words written so far (writable, e.g. to patch branch offsets).
  uint32_t* Words() { return const_cast<uint32_t*>(m_data); }
  // Sets the buffer's size to the bytes written.
  void Finish() {
    m_size = m_used;
    VM_NoteScriptChange();
  }

 private:
  void MakeRoom(int64_t bytes);
  void Append(const void* bytes, int32_t size);

  int32_t m_capacity = 0;
  int32_t m_used = 0;
};

// ---- String routines shared across the runtime ----

// A memory-manager copy of the text; null for null.
char* DuplicateString(const char* text);
// The index of the first NUL within the first n bytes, else n (0 for a null text).
int32_t BoundedStringLength(const char* text, int32_t n);
// An out-of-line form of MemoryManager::Free.
void FreeMemory(void* p);
