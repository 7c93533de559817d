// The machine's fast paths: the instructions that make up most of ordinary script code (pushes
// of constants, pushes and pops of list variables and of their elements, arithmetic and
// comparisons on reals and raw integers, the conversions to integers and truth values, branches,
// dup and popz) run in one threaded loop that skips the general decoding and dispatch, and short
// runs of them that only pass values to each other (a comparison and its branch, `x = a op b`,
// `s += "text"`) run as single steps.
//
// A fast path does exactly what the general handler does in the cases it covers: the same stack
// items and tags, the same stores through the same variable-store routines, the same error flags
// and branch counting. At an instruction it does not cover, or whose operands it does not cover
// (an error to report, a built-in variable, a call), it changes nothing and hands over: that
// instruction then runs through its general handler.
#pragma once

#include <cstdint>

struct VMExecContext;

// Whether runs use the fast paths is g_VM.fastPaths (code/VM_State.h).

// Runs instructions from context->nextPc: those with a fast path here, the others through their
// general handlers (VMExecuteOne), until the code ends, the stack must grow, the run stops or a
// debugger connects; the run loop deals with each of those. Answers the new stack top;
// context->nextPc is then the instruction to run next (or the end of the code), context->pc the
// last instruction run, and context->sp the stack top. Never used while a debugger is connected.
uint8_t* VMRunFast(VMExecContext* context, uint8_t* sp);
