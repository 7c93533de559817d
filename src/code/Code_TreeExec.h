// The tree interpreter: runs compiled script code straight from its code tree instead of from
// bytecode. Code_Execute uses it for every entry while the virtual machine is switched off
// (UseVM false, the -oldexec option): a program entry runs through TreeExecProgram, an expression
// entry through TreeEvalExpression.
//
// Every operation takes the execution context, a node and a result value and answers a status:
//    0  done, go on
//   -1  failed; a code error has been recorded (Code_SetError) at the node concerned
//   -2  exit: an exit or return statement ends the code
//   -3  break
//   -4  continue
// An expression leaves its value in the result value. A statement receives the result value of
// its enclosing block; a block releases that value before each statement, so after a program it
// holds what the last statement left there (the value of a return, the result of a call
// statement, the value stored by an assignment).
//
// Main thread only. Nothing is kept between executions apart from the context's locals list.
#pragma once

#include <cstdint>

#include "code/Code_Tree.h"
#include "variable/ScriptValue.h"

class CCode;
class CInstance;
class CVariableList;

enum TreeStatus : int32_t {
  TREE_DONE = 0,
  TREE_FAILED = -1,
  TREE_EXIT = -2,
  TREE_BREAK = -3,
  TREE_CONTINUE = -4,
};

// One per execution, on the stack of the code's run.
struct TreeExecContext {
  CInstance* self;        // the calling instance
  CInstance* other;       // the other instance
  CVariableList* locals;  // the code's local variables: null until the first local assignment,
                          // destroyed by whoever made the context when the execution ends
  CCode* code;            // the entry being run; errors are recorded against it
};

// A resolved variable node: the instance selector (-1 self, -2 other, -3 all, -4 noone, -5
// global, -6 not specified, -7 local, an object index or an instance id), the variable id and
// the element index (row * 32,000 + column, or kWholeValueIndex without an index).
struct TreeVariableRef {
  int32_t target;
  int32_t id;
  int32_t index;
};

// ---- Entry points ----

// Runs a program: an empty program (-2) does nothing, a block runs its statements, any other
// root is the error "This is not a program.". A null root runs nothing.
int32_t TreeExecProgram(TreeExecContext* context, const CodeNode* root, ScriptValue* result);
// Evaluates an expression node into `result`.
int32_t TreeEvalExpression(TreeExecContext* context, const CodeNode* node, ScriptValue* result);
int32_t TreeExecStatement(TreeExecContext* context, const CodeNode* node, ScriptValue* result);
int32_t TreeExecBlock(TreeExecContext* context, const CodeNode* block, ScriptValue* result);

// The runs Code_Execute makes on the tree interpreter: a context for self and other, the entry's
// tree run as a program or evaluated as one expression into `result`, the locals list
// destroyed afterwards. Each answers the status (-1 after a recorded code error).
int32_t TreeRunProgram(CInstance* self, CInstance* other, CCode* code, ScriptValue* result);
int32_t TreeRunExpression(CInstance* self, CInstance* other, CCode* code, ScriptValue* result);

// ---- Node handlers ----

// A call: up to 16 arguments evaluated left to right, then an extension function (500,000 and
// up), script_execute (499,999), a script (100,000 and up) or a built-in.
int32_t TreeExecFunctionCall(TreeExecContext* context, const CodeNode* node, ScriptValue* result);
// Resolves a variable node (kinds 7 and 8) into target, id and element index.
int32_t TreeEvalVariableRef(TreeExecContext* context, const CodeNode* node, TreeVariableRef* ref);
// Reads a variable node's value into `result`.
int32_t TreeReadVariable(TreeExecContext* context, const CodeNode* node, ScriptValue* result);
int32_t TreeEvalUnary(TreeExecContext* context, const CodeNode* node, ScriptValue* result);
int32_t TreeEvalBinary(TreeExecContext* context, const CodeNode* node, ScriptValue* result);
int32_t TreeExecAssign(TreeExecContext* context, const CodeNode* node, ScriptValue* result);
int32_t TreeExecIf(TreeExecContext* context, const CodeNode* node, ScriptValue* result);
int32_t TreeExecWhile(TreeExecContext* context, const CodeNode* node, ScriptValue* result);
int32_t TreeExecDoUntil(TreeExecContext* context, const CodeNode* node, ScriptValue* result);
int32_t TreeExecFor(TreeExecContext* context, const CodeNode* node, ScriptValue* result);
int32_t TreeExecRepeat(TreeExecContext* context, const CodeNode* node, ScriptValue* result);
int32_t TreeExecWith(TreeExecContext* context, const CodeNode* node, ScriptValue* result);
// Runs a with statement's body once with `instance` as self and the current self as other,
// restoring both afterwards.
int32_t TreeExecWithBody(TreeExecContext* context, const CodeNode* body, CInstance* instance, ScriptValue* result);
int32_t TreeExecSwitch(TreeExecContext* context, const CodeNode* node, ScriptValue* result);
int32_t TreeExecGlobalVar(TreeExecContext* context, const CodeNode* node);
