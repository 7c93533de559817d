// The machine's instructions that connect its stack with the rest of the runtime: push and pop
// (constants, texts, variables, the stack shuffle), dup, the branches and call; and the argument
// slots that script calls pass their arguments in.
#pragma once

#include <cstdint>

#include "code/VM_Exec.h"

// The argument slots that script calls pass their arguments in are g_VM.argumentSlots and
// g_VM.argumentCount (code/VM_State.h).

// Releases the 16 slots (shutdown).
void FreeArgumentSlots();

// Installs the hook extension functions are called through (VMExtensionCall, code/VM_State.h).
void VM_SetExtensionCall(VMExtensionCall call);

// Handlers (slots 0, 1, 2, 23, 24, 25, 26).
uint8_t* Push(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* Pop(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoDup(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoBranch(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoBranchTrue(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoBranchFalse(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoCall(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
