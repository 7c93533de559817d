// The machine's fast paths: the instructions that make up most of ordinary script code (pushes
// of constants, pushes and pops of list variables and of their elements, arithmetic and
// comparisons on reals and raw integers, the conversions to integers and truth values, branches,
// dup and popz) run in one tight loop that skips the general decoding and dispatch.
//
// A fast path does exactly what the general handler does in the cases it covers: the same stack
// items and tags, the same stores through the same variable-store routines, the same error flags
// and branch counting. At the first instruction it does not cover, or whose operands it does not
// cover (an error to report, a text, a built-in variable, a call), it changes nothing and hands
// over; that instruction then runs through the general handler.
#pragma once

#include <cstdint>

struct VMExecContext;

// Runs instructions from context->nextPc while they have a fast path. Answers the new stack top;
// context->nextPc is then the instruction to run next (or the end of the code), context->pc the
// last instruction run, and context->sp the stack top. Never used while a debugger is connected.
uint8_t* VMRunFast(VMExecContext* context, uint8_t* sp);
