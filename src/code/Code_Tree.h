// The code tree: what the parser (phase 3) builds from the symbol list, what phase 4 checks and
// folds, and what the bytecode generator and the tree interpreter walk.
//
// The root of a compiled entry is one CodeNode block (CCode::m_tree, a MemoryManager block made
// by the compiler); every other node lives in its parent's children array (also a MemoryManager
// block). A node owns its children and its value.
#pragma once

#include <cstdint>

#include "variable/ScriptValue.h"

// Kinds of node. The numbering reuses the TokenKind codes of the statement keywords.
enum CodeNodeKind : int32_t {
  NODE_EMPTY_PROGRAM = -2,  // no children
  NODE_EMPTY = -1,          // a lone ";"
  NODE_CONSTANT = 5,        // value
  NODE_CALL = 6,            // children: the arguments; operand: call number
  NODE_VARIABLE = 7,        // children: instance expression, then 0..2 indexes; operand: variable id
  NODE_SIMPLE_VARIABLE = 8, // children: the instance constant; operand: variable id; instance set
  NODE_IF = 13,             // condition, then-statement, optional else-statement
  NODE_WHILE = 16,          // condition, body
  NODE_DO = 17,             // body, condition
  NODE_FOR = 18,            // init, condition, step, body
  NODE_REPEAT = 20,         // count, body
  NODE_EXIT = 21,
  NODE_BREAK = 22,
  NODE_CONTINUE = 23,
  NODE_WITH = 24,           // instance expression, body
  NODE_RETURN = 25,         // value
  NODE_SWITCH = 26,         // value, then the statements of its block
  NODE_CASE = 27,           // label expression
  NODE_DEFAULT = 28,
  NODE_VAR = 29,            // one constant node per declared name; each child's operand: variable id
  NODE_GLOBALVAR = 30,      // as NODE_VAR
  NODE_CONSTANT_CASE = 31,  // label constant (phase 4 makes it from NODE_CASE)
  NODE_ASSIGN = 101,        // target variable, value; operand: 101-105, 114-116
  NODE_BLOCK = 1000,        // the statements
  NODE_UNARY = 1010,        // operand child; operand: 203, 210, 211, 220
  NODE_BINARY = 1011,       // left, right; operand: 101, 201, 202, 204-219, 221, 222
};

// The instance selector a variable gets when no instance is written before it, and the one
// phase 4 gives to names declared with var.
constexpr double kNoInstanceGiven = -6.0;
constexpr double kLocalInstance = -7.0;

struct CodeNode {
  int32_t kind;        // CodeNodeKind
  int32_t operand;     // operator code, call number or variable id (see the kinds)
  int32_t instance;    // only for NODE_SIMPLE_VARIABLE: the instance selector
  ScriptValue value;   // a constant node's value, owned by the node
  int32_t childCount;
  CodeNode* children;  // childCount nodes, owned
  int32_t position;    // offset in the source text of the symbol the node begins at
};

// Makes a node ready to be filled: its children are freed and its own value released (it
// becomes undefined); then kind -1, no children, the given position. Operand and instance stay
// as they were.
void CodeNode_Reset(CodeNode* node, int32_t position);

// Makes `dst` a deep copy of `src`: kind, operand, instance, child count and position copied,
// dst's children replaced by deep copies of src's, dst's value released and src's copied (a
// string's text duplicated, an array shared).
void CodeNode_Copy(CodeNode* dst, const CodeNode* src);

// Frees the node's children (recursively) and releases its value; the node itself (which lives
// in its parent's array or in the CCode) is left as an empty node of kind -1.
void CodeNode_Release(CodeNode* node);

// A new root node block (zero-filled, kind -2) and its release: CodeNode_Delete releases the
// contents and frees the block. Null does nothing.
CodeNode* CodeNode_New();
void CodeNode_Delete(CodeNode* node);

// Appends a zero-filled child (kind -1 at `position`) and answers it. The pointer is valid until
// the next child is added to the same parent.
CodeNode* CodeNode_AddChild(CodeNode* parent, int32_t position);
