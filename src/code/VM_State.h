// The script engines' process-wide state: one record, g_VM, shared by the virtual machine, the
// tree interpreter, script calls and the built-in call path. It holds the argument slots, the
// running context and the locals pool, the built-in function table, the switches that choose how
// code runs and the machine's error text and debugger bookkeeping. (The tree interpreter's own
// call depth stays in code/Code_TreeExec.cpp.)
//
// The fields the instruction loop touches on every step (the argument slots and count, the branch
// counter) come first; the record is a global object, so each is reached at a fixed address as a
// plain global would be. A fresh record is the state of a fresh process; VM_Reset frees what the
// record owns and assigns one. Main thread only.
#pragma once

#include <cstdint>

#include "code/VM_Breakpoints.h"
#include "platform/GrowArray.h"
#include "platform/NameTable.h"
#include "variable/ScriptValue.h"
#include "variable/Variable_State.h"

class CVariableList;
struct BuiltinFunctionEntry;
struct VMExecContext;

constexpr int32_t kArgumentSlotCount = 16;
constexpr int32_t kVMErrorMessageSize = 1024;

// Extension functions are called through this hook (the extension layer installs it): function
// `index` with `argc` arguments, writing `result` (which comes in as real 0).
using VMExtensionCall = void (*)(int32_t index, int32_t argc, ScriptValue* args, ScriptValue* result);

// The ids of the built-in variables argument0 to argument15 as the fast loop last looked them up
// (VM_FastPath.cpp): each use checks that the id still has the getter found then.
struct VMArgumentIds {
  int32_t registered = -1;  // g_Variables.builtinCount at the last look-up
  // A fresh list epoch (g_Variables.listEpochs, never reused) taken at each look-up: argument
  // sites resolved under another one are resolved again.
  uint64_t generation = 0;
  int32_t first = -1;       // id of argument0; argumentN is looked for at first + N
  BuiltinVariableGetter getters[kArgumentSlotCount] = {};  // null where argumentN is not there
};

// A run's value-stack block and its tag block (code/VM_Exec.h), kept for the next run.
struct VMStackBlock {
  uint8_t* base = nullptr;
  uint8_t* tags = nullptr;
  int32_t size = 0;  // bytes in `base`; `tags` holds one byte per 4 of them
};

struct VMState {
  // argument0 .. argument15 of the running script call, and how many of them it was given. Every
  // script call saves the caller's slots and count in its frame and puts them back on return.
  ScriptValue argumentSlots[kArgumentSlotCount] = {};
  int32_t argumentCount = 0;
  // The argument slots' high-water mark: every slot at or past it is all zero bytes (real 0), so
  // a script call saves and puts back only the slots below it. Whatever writes a slot goes
  // through VM_ArgumentSlotToWrite, which raises the mark.
  int32_t argumentsUsed = 0;
  // Every 4,096 branches the window's messages are pumped.
  uint32_t branchCounter = 0;
  // Raised by VM_NoteScriptChange at every change to the script table, to a script's code entry,
  // to a code buffer's words or to the steps decoded from them; never lowered (VM_Reset keeps
  // it), so a call step that saw the same value still has the same callee, words and steps.
  uint64_t scriptGeneration = 1;

  // The innermost running context (null while no bytecode runs) and the runs in progress.
  VMExecContext* current = nullptr;
  int32_t runDepth = 0;
  // Raised per instruction while a debugger is connected (it is polled every 20,000).
  int32_t instructionCounter = 0;

  // `UseVM`: while true code runs on the virtual machine; -oldexec clears it (tree interpreter).
  bool UseVM = true;
  // Whether runs use the fast paths. Off, every instruction goes through the general handlers;
  // the results are the same either way, only slower.
  bool fastPaths = true;
  // Whether the fast paths run code buffers as decoded steps (code/VM_Decoded.h). Off, they run
  // word by word; the results are the same either way.
  bool decodedSteps = true;
  // Set by -trace: runs, built-in calls and script calls are logged on DebugConsole.
  bool trace = false;

  // The built-in function table (code/Code_Function.h): entries are appended and never removed or
  // reordered, so an entry's index (its call number) is fixed for the run. Null, 0 and 0 while
  // empty; the call machinery indexes it directly.
  BuiltinFunctionEntry* functions = nullptr;
  int32_t functionCount = 0;
  int32_t functionCapacity = 0;
  // The entries' names by index, for finding a name without a walk over the table.
  NameTable functionNames;
  // `CurrentBuiltinName`: the name of the built-in being called, set just before each call (null
  // at start and after FreeBuiltinFunctions). The argument accessors print it in their messages.
  const char* CurrentBuiltinName = nullptr;

  // The value-stack blocks kept between runs, one per run nesting depth (null where none is kept
  // or the run at that depth holds it): the next run at that depth starts on the block as the last
  // one left it, without clearing it (VM_Exec.cpp says why that is safe).
  GrowArray<VMStackBlock> stackBlocks;

  // The locals pool: one list per nesting depth, reused (the slots past the count keep theirs).
  GrowArray<CVariableList*> localsPool;
  int32_t localsCount = 0;

  // The fused text append's memory of the last text it grew: its block, its length, and the
  // memory manager's count of blocks handed out or grown just after. While that count has not
  // moved no block can have taken the address anew, so the length still holds.
  const char* appendText = nullptr;
  int64_t appendLength = 0;
  int64_t appendAllocations = -1;

  VMExtensionCall extensionCall = nullptr;
  VMArgumentIds argumentIds;
  // The text of the last fatal error the machine met ("" when none).
  char lastError[kVMErrorMessageSize] = "";
  // Words the debugger has replaced with the break word (VM_Breakpoints.h).
  BreakpointSlot breakpoints[kBreakpointSlots] = {};
};
extern VMState g_VM;

// Argument slot `slot` (0 to kArgumentSlotCount - 1) for writing: the high-water mark is raised
// to cover it.
inline ScriptValue* VM_ArgumentSlotToWrite(int32_t slot) {
  if (slot >= g_VM.argumentsUsed) g_VM.argumentsUsed = slot + 1;
  return &g_VM.argumentSlots[slot];
}

// Marks that the script table, a script's code entry or an entry's words changed.
inline void VM_NoteScriptChange() { ++g_VM.scriptGeneration; }

// Releases the argument slots, the locals pool and the built-in function table, then puts a fresh
// record in place. Never called while code runs.
void VM_Reset();
