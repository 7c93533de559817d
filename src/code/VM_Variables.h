// The machine's instructions that connect its stack with the rest of the runtime: push and pop
// (constants, texts, variables, the stack shuffle), dup, the branches and call; and the argument
// slots that script calls pass their arguments in.
#pragma once

#include <cstdint>

#include "code/VM_Exec.h"

// argument0 .. argument15 of the running script call, and how many of them it was given. Every
// script call saves the caller's slots and count in its frame and puts them back on return.
extern ScriptValue g_ArgumentSlots[kArgumentSlotCount];
extern int32_t g_ArgumentCount;

// Releases the 16 slots (shutdown).
void FreeArgumentSlots();

// Extension functions are called through this hook (the extension layer installs it): function
// `index` with `argc` arguments, writing `result` (which comes in as real 0).
using VMExtensionCall = void (*)(int32_t index, int32_t argc, ScriptValue* args, ScriptValue* result);
void VM_SetExtensionCall(VMExtensionCall call);

// Handlers (slots 0, 1, 2, 23, 24, 25, 26).
uint8_t* Push(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* Pop(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoDup(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoBranch(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoBranchTrue(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoBranchFalse(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoCall(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);

// The process-wide branch counter; every 4,096 branches the window's messages are pumped.
extern uint32_t g_VMBranchCounter;
