// Running compiled code entries: Code_Execute and its two reporting forms (declared in
// code/Code_Main.h), and the hook through which the tree interpreter is reached.
#pragma once

#include <cstdint>

#include "code/Code_Main.h"

// The tree interpreter's entry points, installed once it exists: run `code`'s tree as a program
// or evaluate it as one expression for self and other, leaving the value in `result` (already
// released and set to undefined). Each answers -1 on failure, having recorded a code error.
using TreeRunHook = int32_t (*)(CInstance* self, CInstance* other, CCode* code, ScriptValue* result);
void Code_SetTreeInterpreter(TreeRunHook execProgram, TreeRunHook evalExpression);

// Copies a folded constant's value into `result`, releasing what it held: a string gets a fresh
// copy of the text, an array is shared.
void Code_CopyConstant(const CCode* code, ScriptValue* result);
