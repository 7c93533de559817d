// The machine's decoded steps: a code buffer is translated once, at its first run on the fast
// paths, into steps that each do the work of several instructions with their operands already
// decoded: `x = <expression>` (pushes of constants and whole variables, the arithmetic operators
// on them, and the pop that stores the result) as one step, `if <expression> <comparison>
// <expression>` with its branch as one step, and the plain branch. The words stay as they are;
// the steps are kept beside them, with, for each word that starts a step, the step to run. The
// end of a counting loop (the increment, the branch back and the loop's test) is one step.
//
// Element reads and stores whose selector is a constant and whose index is a raw int computed in
// the step (`a[i, j]` with i and j variables) are part of steps too; the index of two whole
// variables is one node.
//
// Intermediates live in the step's own registers, never on the value stack. A step checks every
// guard (value kinds, division by zero, a variable not set yet under the option, a store into a
// text or an array, the branch that pumps the window's messages) before it changes anything; when
// one fails it changes nothing and the instructions run one by one through the fast loop and the
// general handlers, which stay the only producers of error texts. Whole variables are found
// through per-site caches of {list, list epoch, node} (CVariableList::m_Epoch); a site checked
// once in a run of steps carries that run's mark and is not checked again in it (steps make no
// calls, so no list changes while they run). Longer expressions on doubles run in register form
// (VMChainOp): operators read their operands where they are and pass results in registers.
//
// Decoded steps run only inside the fast loop (never with a debugger connected or -trace on) and
// only while g_VM.decodedSteps is set.
#pragma once

#include <cstdint>

#include "platform/GrowArray.h"

class CCode;
class CVariableList;
class VMBuffer;
struct VMDecoded;
struct VariableNode;
struct VMStep;

constexpr int32_t kVMStepMaxNodes = 16;

enum VMNodeKind : uint8_t {
  STEP_NODE_INT,     // a raw int constant (push.e, push.i)
  STEP_NODE_DOUBLE,  // a raw double constant (push.d)
  STEP_NODE_VAR,     // a whole variable holding a real (push.v)
  STEP_NODE_OP,      // add, sub, mul, div, rem or mod on the two items below it
  STEP_NODE_CONV,    // conv.v.i: the real below it truncated to a raw int
  STEP_NODE_ELEM,    // push.v of an element: the raw int index below it, and below that the raw
                     // int selector (a constant the site was resolved with), read as a real
  STEP_NODE_INDEX,   // the raw int `int(v) * i + int(w)` of two whole variables (sites `site`
                     // and `site2`): a two-index element's index, as the seven nodes it stands
                     // for compute it (conv.v.i, push.i, mul.i.i, conv.v.i, add.i.i)
};

// A whole variable named in a step, with what was found for it last.
enum VMSiteList : uint8_t {
  SITE_LOCALS,    // the running code's locals
  SITE_GLOBALS,   // the global variables
  SITE_SELF,      // self's variables (none for a built-in's id)
  SITE_OTHER,     // other's variables (none for a built-in's id)
  SITE_DECLARED,  // the globals when the id is declared global, else as SITE_SELF
  // argumentN read through self, other or no selector: the argument slot `argumentSlot`, while
  // the built-in registry is the one the slot was found in (`epoch` holds that registry's
  // generation, VMArgumentIds::generation) and the instance the selector names exists (self for
  // no selector).
  SITE_ARGUMENT,
};

struct VMVarSite {
  int32_t id = 0;
  int32_t selector = 0;
  uint8_t listKind = SITE_LOCALS;  // the selector's list, decided at translation
  bool builtin = false;            // the id is a built-in variable's
  uint8_t argumentSlot = 0;        // SITE_ARGUMENT: the slot read
  uint8_t argumentOfOther = 0;     // SITE_ARGUMENT: 1 when read through other, 0 through self
  const CVariableList* list = nullptr;  // the list the node was found in
  uint64_t epoch = 0;                   // that list's epoch then (SITE_ARGUMENT: the registry's generation)
  VariableNode* node = nullptr;
  uint64_t stamp = 0;  // the run of steps that last checked the node (the fast loop's mark)
};

struct VMNode {
  uint8_t kind = STEP_NODE_INT;
  uint8_t op = 0;          // STEP_NODE_OP: the opcode
  bool isInt = false;      // the item the node leaves is a raw int (else a double or a real value)
  bool isValue = false;    // the item is a whole value (a real)
  bool leftInt = false;    // STEP_NODE_OP: the left operand is a raw int
  bool rightInt = false;   // STEP_NODE_OP: the right operand is a raw int
  uint8_t site = 0;        // STEP_NODE_VAR, STEP_NODE_ELEM, STEP_NODE_INDEX: its (first) site
  uint8_t site2 = 0;       // STEP_NODE_INDEX: the second variable's site
  uint8_t micro = 0;       // the fast loop's case for the node (kind, operator and operand types)
  int32_t i = 0;           // STEP_NODE_INT; STEP_NODE_INDEX: the row stride
  double d = 0.0;          // STEP_NODE_DOUBLE
};

enum VMStepKind : uint8_t {
  STEP_STORE,   // nodes, then the pop into sites[storeSite]
  STEP_BRANCH,  // nodes (two items), the comparison, then bt or bf
  STEP_JUMP,    // b
  // The end of a counting loop: `x = x + k` (or - k) stored, the b back to the loop's test, and
  // the test `x <comparison> constant` with its bt or bf. Nodes 0-2 and sites 0-1 are the store's,
  // node 3 is the test's constant (both constants keep their value in d too); compare, jumpIfTrue,
  // target, next and lastPc are the test's.
  STEP_LOOP,
  // A script call: nodes leaving the call's arguments (each computed by an operator, so a real
  // value), then call.i of a script (number in callNumber). The arguments go straight into the
  // argument slots; they never lie on the value stack.
  STEP_CALL,
  // A return from a script: nodes leaving one whole value, or (returnOp set) add, sub or mul of
  // the two whole values on the stack, then ret.v.
  STEP_RETURN,
  // `if (v <comparison> constant)` with its bt or bf, fused with the return of v that follows it
  // when the branch falls through (`if (n < 2) return n`): the branch step's fields, plus the
  // return's last word and the word after it (returnLastPc, returnNext). When the return's
  // guards fail, the step is the branch alone and the return runs as its own step.
  STEP_TEST_RETURN,
  // A counting loop whose body is one store step: the body's expression stored, then the loop's
  // end (as STEP_LOOP), pass after pass for as long as the test sends the loop back to the body.
  // It stands at the body's first word. Nodes and sites are the body's, with each variable named
  // once (sites of the same variable merged); loopSite is the loop variable's site and body the
  // body's own step, which runs instead where the loop step cannot (a variable not set, a read of
  // an argument).
  STEP_LOOP_BODY,
  // A counting loop whose body is one element step (VMElementShape), or `y = y +/- k` and then one,
  // the body, then the loop's end (as STEP_LOOP), pass after pass for as long as the test sends the
  // loop back to the body. It stands at the body's first word; nodes and sites are the element
  // step's, with the loop variable's site after them (loopSite), then y's (preSite); loopPc,
  // bodyLastPc, loopOp, loopBy and loopLimit as for STEP_LOOP_BODY.
  STEP_ELEMENT_LOOP,
  STEP_KIND_COUNT,
};

// The element steps with routines of their own, by the shape of their nodes and sites: a[v, w] = x
// with x a raw int constant, a double constant or a variable (sites: x when a variable, v, w,
// a), and x = x op a[v, w] for add, sub and mul (sites: x, v, w, a, then the store's).
enum VMElementShape : uint8_t {
  ELEMENT_NONE,
  ELEMENT_STORE_INT,
  ELEMENT_STORE_DOUBLE,
  ELEMENT_STORE_VAR,
  ELEMENT_ADD,
  ELEMENT_SUB,
  ELEMENT_MUL,
};
VMElementShape VMElementShapeOf(const VMStep& step);

// A step's expression as operations on registers, chosen at the step's first run for steps whose
// operators all compute on doubles: each operator reads its operands straight from a variable, a
// constant or the register an earlier operator wrote, and writes the register of its left item.
// CHAIN_ACC is the result of the operator just before, which stays in a machine register.
enum VMChainMode : uint8_t { CHAIN_REG, CHAIN_VAR, CHAIN_CONST, CHAIN_ACC, CHAIN_MODES };

struct VMChainOp {
  uint8_t code = 0;   // the fast loop's case (operator and operand modes)
  uint8_t dst = 0;    // the register written
  uint8_t left = 0;   // CHAIN_REG: the register read; CHAIN_VAR: the site
  uint8_t right = 0;
  uint32_t divisor = 0;  // mod by a positive integer constant: the constant
  uint64_t magic = 0;    // and its reciprocal (num::ModReciprocal)
  double leftConst = 0.0;   // CHAIN_CONST: the constant as a double
  double rightConst = 0.0;
};
constexpr int32_t kVMChainMaxOps = kVMStepMaxNodes / 2 + 1;  // the operators and the last case

struct VMStep {
  uint8_t kind = STEP_JUMP;
  uint8_t nodeCount = 0;
  uint8_t siteCount = 0;
  uint8_t storeSite = 0;        // STEP_STORE
  uint8_t compare = 0;          // STEP_BRANCH: the comparison's opcode
  bool jumpIfTrue = false;      // STEP_BRANCH: bt (else bf)
  bool leftInt = false;         // STEP_BRANCH: the compared items are raw ints
  bool rightInt = false;
  bool resultInt = false;       // STEP_STORE: the stored item is a raw int
  bool storeIsFirstRead = false;  // STEP_STORE: the stored variable is the first node's, read first
  bool storeElement = false;    // STEP_STORE: into an element (the value, the selector and the index
                                // are the items left, from the bottom)
  bool general = false;         // nodes other than constants, whole variables and operators
  uint8_t returnOp = 0;         // STEP_RETURN: the operator on the stack's two values, or 0
  int32_t peak = 0;             // the most stack bytes the covered words hold before any of them
  int32_t callNumber = 0;       // STEP_CALL: the call word's function number (a script's)
  int32_t argc = 0;             // STEP_CALL: the argument count
  // STEP_CALL: the callee's code entry and words as last checked, the steps of those words once
  // found (null before), and g_VM.scriptGeneration then: while it has not moved the step calls
  // them without looking the script or its steps up.
  CCode* callee = nullptr;
  const VMBuffer* calleeWords = nullptr;
  uint64_t calleeGeneration = 0;
  VMDecoded* calleeSteps = nullptr;
  int32_t testPc = 0;           // STEP_LOOP, STEP_LOOP_BODY: the test's first word (where the b goes)
  // STEP_LOOP_BODY: the body's own step (1 + its index), the increment's first word (the loop
  // step's pc), the body's last word, the loop variable's site, its operator (add or sub) and
  // constant, and the test's constant; the rest of the loop's end as in STEP_LOOP.
  int32_t body = 0;
  int32_t loopPc = 0;
  int32_t bodyLastPc = 0;
  uint8_t loopSite = 0;
  uint8_t loopOp = 0;
  bool loopReady = false;  // STEP_LOOP_BODY: its operations are built (chain) and it can run
  bool loopInts = false;   // and its constants allow running it on whole numbers
  uint32_t loopReads = 0;  // STEP_LOOP_BODY: the sites read (bit per site)
  uint32_t loopConsts = 0;  // the constant nodes (bit per node), chosen with the operations
  uint8_t storeFrom = 0;    // the registers holding the stored value and the loop variable
  uint8_t loopFrom = 0;     // once the body is stored
  bool loopOneList = false;  // every site is in the same list (so no two name the same node)
  double loopBy = 0.0;
  double loopLimit = 0.0;
  // STEP_ELEMENT_LOOP whose body starts with `y = y +/- k` (preOp not 0): y's site, the operator
  // and k, the increment's last word and the element step's first word.
  uint8_t preSite = 0;
  uint8_t preOp = 0;
  int32_t preLastPc = 0;
  int32_t elementPc = 0;
  double preBy = 0.0;
  int32_t returnLastPc = 0;     // STEP_TEST_RETURN: the return's ret word
  int32_t returnNext = 0;       // STEP_TEST_RETURN: the word after it
  int32_t pc = 0;               // the first word covered
  int32_t lastPc = 0;           // the last word covered (the pop or the branch)
  int32_t next = 0;             // the word after the step
  int32_t target = 0;           // STEP_BRANCH, STEP_JUMP: where the branch goes (checked in range)
  // Element steps: the run of steps (its mark) that found every site as the step's checked form
  // needs it.
  uint64_t ready = 0;
  void (*handler)() = nullptr;    // the fast loop's routine for the step's shape, chosen at its first run
  uint8_t shape = 0;              // the fast loop's inline case for the step, chosen with the routine
  VMNode nodes[kVMStepMaxNodes];
  VMVarSite sites[kVMStepMaxNodes + 1];
  VMChainOp chain[kVMChainMaxOps];  // the register form, when the step runs as one
};

struct VMDecoded {
  const uint32_t* words = nullptr;  // the words and size it was translated from
  int32_t size = 0;
  GrowArray<VMStep> steps;
  GrowArray<int32_t> stepAt;  // per word: 1 + the index of the step starting there, or 0
};

// The decoded steps of a code buffer, translated now when it has none or its words changed.
VMDecoded* VMDecodedFor(VMBuffer* code);
// Translates the words into `out` (which must be empty). Any words are accepted: what is not
// understood gets no step.
void VMTranslate(const uint32_t* words, int32_t size, VMDecoded* out);
// Frees a translation (null does nothing).
void VMFreeDecoded(VMDecoded* decoded);
