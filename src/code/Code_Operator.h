// The script operators as the compiler's constant folding and the tree interpreter apply them.
// (The virtual machine has its own arithmetic.)
//
// Truth of a real: true from 0.5 up. Reals become 32-bit integers for the bitwise operators by
// rounding to nearest, ties to even, out-of-range values giving -2147483648.
#pragma once

#include <cstdint>

#include "variable/ScriptValue.h"

class CCode;

// Applies unary operator `op` (203 not, 210 plus, 211 minus, 220 bitwise not) to the value in
// place. A value that is not a real records "Wrong type of arguments to unary operator.", an
// unknown operator "Internal error: unknown unary operator."; both at `position` of `code`
// (Code_SetError) and answer false, leaving the value unchanged.
bool EvalUnaryOperator(CCode* code, int32_t position, int32_t op, ScriptValue* value);

// Computes `left op right` into `left` (right is not changed). The comparisons (101 and 206
// equal, 207, 204, 205, 208, 209) need operands of the same kind; the logical, arithmetic,
// bitwise and shift operators work on reals, + also joins two strings and * repeats a string
// (real * string); a text longer than the virtual machine allows (kVMMaxTextLength) is refused
// with the machine's error text. Errors are recorded at `position` (Code_SetError) and answer false, leaving
// `left` unchanged.
bool EvalBinaryOperator(CCode* code, int32_t position, int32_t op, ScriptValue* left, const ScriptValue* right);

// The length of the text `left op right` builds: a join (string + string) or a repeat
// (real * string), UINT64_MAX when it does not fit in 64 bits; 0 for every other operation.
uint64_t BinaryTextLength(int32_t op, const ScriptValue* left, const ScriptValue* right);
