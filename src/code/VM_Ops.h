// The machine's computing instructions: binary operators, unary operators, comparisons and type
// conversion. Each reads its operand types from the instruction word, consumes its operands
// from the stack and leaves the result in their place.
#pragma once

#include <cstdint>

#include "code/VM_Exec.h"

// Real divisors whose absolute value is below this are a division by zero.
constexpr double kVMDivideThreshold = 1e-10;

uint8_t* DoConv(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoMul(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoDiv(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoRem(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoMod(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoAdd(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoSub(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoAnd(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoOr(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoXor(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoNeg(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoNot(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoShl(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoShr(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
// slt, sle, seq, sne, sge and sgt: the opcode chooses the comparison.
uint8_t* DoSet(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
