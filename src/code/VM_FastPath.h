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

// The machine's one dispatch loop. Runs the code from context->nextPc until it ends (the next
// instruction at or past the code's end) or the run stops: the instructions with a fast path
// here, the others through their general handlers (VMExecuteOne). A word past the end, and a
// stack due to grow, take the general way at that word. While a debugger is connected or the
// fast paths are off, every word takes it, through VMDebuggerCheck while connected. Answers the
// new stack top (also in context->sp); context->pc is then the last instruction run.
uint8_t* VMRunFast(VMExecContext* context, uint8_t* sp);
