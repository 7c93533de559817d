#include "code/VM_Decoded.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "code/Code_Function.h"
#include "code/Code_Main.h"
#include "code/VM_Format.h"
#include "code/VM_State.h"
#include "variable/Variable_Main.h"

namespace {

// Words of the code, read at byte offsets that must lie within it.
struct Words {
  const uint8_t* bytes;
  int64_t size;
  bool Has(int64_t pc, int64_t bytesNeeded) const { return pc >= 0 && pc + bytesNeeded <= size; }
  uint32_t Word(int64_t pc) const {
    uint32_t w;
    std::memcpy(&w, bytes + pc, 4);
    return w;
  }
  int32_t Int(int64_t pc) const {
    int32_t v;
    std::memcpy(&v, bytes + pc, 4);
    return v;
  }
  double Double(int64_t pc) const {
    double v;
    std::memcpy(&v, bytes + pc, 8);
    return v;
  }
};

// The bytes an instruction takes (word and operand); 0 when its operand runs past the end.
int64_t InstructionSize(const Words& w, int64_t pc) {
  const uint32_t word = w.Word(pc);
  const uint8_t opcode = WordOpcode(word);
  if (!IsOperandForm(opcode)) return 4;
  const int64_t size = 4 + VMOperandSize(WordT1(word));
  return w.Has(pc, size) ? size : 0;
}

// Where a branch word at pc goes; -1 when the target is not a word of the code (such a branch
// is left to the general handler, which reports it).
int64_t BranchTarget(const Words& w, int64_t pc, uint32_t word) {
  const int64_t target = pc + 4 * static_cast<int64_t>(WordBranchOffset(word));
  if (target < 0 || target > w.size || (target & 3) != 0) return -1;
  return target;
}

bool IsArithmetic(uint8_t opcode) {
  return opcode == OP_ADD || opcode == OP_SUB || opcode == OP_MUL || opcode == OP_DIV || opcode == OP_REM ||
         opcode == OP_MOD;
}
bool IsComparison(uint8_t opcode) { return opcode >= OP_SLT && opcode <= OP_SGT; }

// The stack type an item of the node leaves.
uint8_t ItemType(const VMNode& n) { return n.isInt ? VT_INT : n.isValue ? VT_VAR : VT_DOUBLE; }

// Whether the steps resolve variables of `selector`: self, other, global, unspecified or local.
bool StepSelector(int32_t selector) {
  return selector == SEL_SELF || selector == SEL_OTHER || selector == SEL_GLOBAL || selector == SEL_NOT_SPECIFIED ||
         selector == SEL_LOCAL;
}

// An argumentN read through self, other or no selector reads its argument slot: the slot is
// found here when the registry is the one the fast loop last looked the argument ids up in (else
// the site reads through the registry, and the first such read resolves it).
void ResolveArgumentSite(VMVarSite* site) {
  const VMArgumentIds& ids = g_VM.argumentIds;
  if (!site->builtin || site->listKind < SITE_SELF || ids.registered != g_Variables.builtinCount || ids.first < 0 ||
      site->id >= g_Variables.builtinCount) {
    return;
  }
  const int64_t slot = static_cast<int64_t>(site->id) - ids.first;
  if (slot < 0 || slot >= kArgumentSlotCount || ids.getters[slot] == nullptr ||
      g_Variables.builtins[site->id].getter != ids.getters[slot]) {
    return;
  }
  site->listKind = SITE_ARGUMENT;
  site->argumentSlot = static_cast<uint8_t>(slot);
  site->argumentOfOther = site->selector == SEL_OTHER;
  site->epoch = ids.generation;
}

// A whole-variable reference with its selector in the word, through a selector the steps resolve.
bool WholeSite(uint32_t word, uint32_t operand, VMVarSite* site) {
  if ((operand & (kVarWhole | kVarSelectorInWord | kVarSelectorBias)) != (kVarWhole | kVarSelectorInWord)) return false;
  const int32_t selector = WordImmediate(word);
  if (!StepSelector(selector)) return false;
  *site = VMVarSite{};
  site->id = static_cast<int32_t>(operand & kVarIdMask);
  site->selector = selector;
  site->builtin = site->id < kBuiltinVariableIdLimit;
  switch (selector) {
    case SEL_SELF: site->listKind = SITE_SELF; break;
    case SEL_OTHER: site->listKind = SITE_OTHER; break;
    case SEL_GLOBAL: site->listKind = SITE_GLOBALS; break;
    case SEL_NOT_SPECIFIED: site->listKind = SITE_DECLARED; break;
    default: site->listKind = SITE_LOCALS; break;
  }
  ResolveArgumentSite(site);
  return true;
}

// An element reference: the index and the selector come from the stack, the selector being the
// constant `selector`.
bool ElementSite(uint32_t operand, int32_t selector, VMVarSite* site) {
  if ((operand & (kVarWhole | kVarSelectorInWord | kVarSelectorBias)) != 0) return false;
  if (!StepSelector(selector)) return false;
  // The selector is the immediate of a word WholeSite reads it from.
  return WholeSite(static_cast<uint32_t>(static_cast<uint16_t>(selector)), operand | kVarWhole | kVarSelectorInWord, site);
}

// The selector of an element reference: the constant raw int item under its index.
bool ConstantSelector(const VMStep& step, const int32_t* items, int32_t depth, int32_t* selector) {
  if (depth < 2) return false;
  const VMNode& index = step.nodes[items[depth - 1]];
  const VMNode& below = step.nodes[items[depth - 2]];
  if (!index.isInt || below.kind != STEP_NODE_INT) return false;
  *selector = below.i;
  return true;
}

// The stack bytes of the item a node leaves.
int32_t ItemBytes(const VMNode& n) { return n.isInt ? 4 : n.isValue ? 16 : 8; }

// Builds the step that starts at pc, when the words there form one whose inner words are no
// branch target. False otherwise.
bool BuildStep(const Words& w, const GrowArray<uint8_t>& leader, int64_t pc, VMStep* step) {
  *step = VMStep{};
  step->pc = static_cast<int32_t>(pc);
  const uint32_t first = w.Word(pc);
  const uint8_t firstOp = WordOpcode(first);
  if ((firstOp == OP_ADD || firstOp == OP_SUB || firstOp == OP_MUL) && WordT1(first) == VT_VAR &&
      WordT2(first) == VT_VAR && w.Has(pc + 4, 4) && !leader[static_cast<int32_t>(pc / 4) + 1]) {
    // add.v.v; ret.v (or sub, mul): the return of the operator on the two values on the stack.
    const uint32_t ret = w.Word(pc + 4);
    if (WordOpcode(ret) != OP_RET || WordT1(ret) != VT_VAR) return false;
    step->kind = STEP_RETURN;
    step->returnOp = firstOp;
    step->lastPc = step->pc + 4;
    step->next = step->pc + 8;
    return true;
  }
  if (WordOpcode(first) == OP_B) {
    const int64_t target = BranchTarget(w, pc, first);
    if (target < 0) return false;
    step->kind = STEP_JUMP;
    step->lastPc = step->pc;
    step->next = step->pc + 4;
    step->target = static_cast<int32_t>(target);
    return true;
  }
  // The items the words push, as the indices of the nodes that leave them.
  int32_t items[kVMStepMaxNodes];
  int32_t depth = 0;
  int64_t at = pc;
  for (;;) {
    if (at != pc && leader[static_cast<int32_t>(at / 4)]) return false;
    int32_t bytes = 0;
    for (int32_t k = 0; k < depth; ++k) bytes += ItemBytes(step->nodes[items[k]]);
    if (bytes > step->peak) step->peak = bytes;
    if (!w.Has(at, 4)) return false;
    const int64_t size = InstructionSize(w, at);
    if (size == 0) return false;
    const uint32_t word = w.Word(at);
    const uint8_t opcode = WordOpcode(word), t1 = WordT1(word), t2 = WordT2(word);
    if (opcode == OP_PUSH) {
      if (step->nodeCount >= kVMStepMaxNodes || depth >= kVMStepMaxNodes) return false;
      VMNode& node = step->nodes[step->nodeCount];
      node = VMNode{};
      if (t1 == VT_ERROR) {
        node.kind = STEP_NODE_INT;
        node.isInt = true;
        node.i = WordImmediate(word);
      } else if (t1 == VT_INT) {
        node.kind = STEP_NODE_INT;
        node.isInt = true;
        node.i = w.Int(at + 4);
      } else if (t1 == VT_DOUBLE) {
        node.kind = STEP_NODE_DOUBLE;
        node.d = w.Double(at + 4);
      } else if (t1 == VT_VAR) {
        if (step->siteCount >= kVMStepMaxNodes) return false;
        const uint32_t operand = static_cast<uint32_t>(w.Int(at + 4));
        int32_t selector = 0;
        if (WholeSite(word, operand, &step->sites[step->siteCount])) {
          node.kind = STEP_NODE_VAR;
        } else if (ConstantSelector(*step, items, depth, &selector) &&
                   ElementSite(operand, selector, &step->sites[step->siteCount])) {
          node.kind = STEP_NODE_ELEM;
          step->general = true;
          depth -= 2;
        } else {
          return false;
        }
        node.isValue = true;
        node.site = step->siteCount++;
      } else {
        return false;
      }
      items[depth++] = step->nodeCount++;
      at += size;
      continue;
    }
    if (IsArithmetic(opcode)) {
      if (depth < 2 || step->nodeCount >= kVMStepMaxNodes) return false;
      const VMNode& right = step->nodes[items[depth - 1]];
      const VMNode& left = step->nodes[items[depth - 2]];
      if (t1 != ItemType(right) || t2 != ItemType(left)) return false;
      VMNode& node = step->nodes[step->nodeCount];
      node = VMNode{};
      node.kind = STEP_NODE_OP;
      node.op = opcode;
      node.leftInt = left.isInt;
      node.rightInt = right.isInt;
      node.isInt = left.isInt && right.isInt;
      node.isValue = !node.isInt && (left.isValue || right.isValue);
      depth -= 2;
      items[depth++] = step->nodeCount++;
      at += size;
      continue;
    }
    if (opcode == OP_CONV && t1 == VT_VAR && t2 == VT_INT) {
      if (depth < 1 || step->nodeCount >= kVMStepMaxNodes || !step->nodes[items[depth - 1]].isValue) return false;
      VMNode& node = step->nodes[step->nodeCount];
      node = VMNode{};
      node.kind = STEP_NODE_CONV;
      node.isInt = true;
      step->general = true;
      items[depth - 1] = step->nodeCount++;
      at += size;
      continue;
    }
    if (opcode == OP_POP && t1 == VT_VAR && depth == 3 && w.Has(at, 8)) {
      // The store of the item the step made into an element.
      const VMNode& value = step->nodes[items[0]];
      int32_t selector = 0;
      if (t2 != ItemType(value) || !ConstantSelector(*step, items, depth, &selector)) return false;
      if (step->siteCount >= kVMStepMaxNodes + 1) return false;
      if (!ElementSite(static_cast<uint32_t>(w.Int(at + 4)), selector, &step->sites[step->siteCount])) return false;
      step->kind = STEP_STORE;
      step->storeSite = step->siteCount++;
      step->storeElement = true;
      step->general = true;
      step->resultInt = value.isInt;
      step->lastPc = static_cast<int32_t>(at);
      step->next = static_cast<int32_t>(at + size);
      return true;
    }
    if (opcode == OP_POP) {
      // The store of the one item the step made.
      if (depth != 1 || t1 != VT_VAR || !w.Has(at, 8)) return false;
      const VMNode& value = step->nodes[items[0]];
      if (t2 != ItemType(value)) return false;
      if (!WholeSite(word, static_cast<uint32_t>(w.Int(at + 4)), &step->sites[step->siteCount])) return false;
      step->kind = STEP_STORE;
      step->storeSite = step->siteCount++;
      const VMVarSite& stored = step->sites[step->storeSite];
      step->storeIsFirstRead = step->nodes[0].kind == STEP_NODE_VAR && step->nodes[0].site == 0 &&
                               step->sites[0].id == stored.id && step->sites[0].selector == stored.selector;
      step->resultInt = value.isInt;
      step->lastPc = static_cast<int32_t>(at);
      step->next = static_cast<int32_t>(at + size);
      return true;
    }
    if (opcode == OP_CALL && t1 == VT_INT && size == 8) {
      // A script call on the items the step made, all of them arguments computed as reals.
      const int32_t argc = WordImmediateBits(word);
      const int32_t number = w.Int(at + 4);
      if (depth != argc || argc > kArgumentSlotCount || number < kScriptCallBase || number >= kScriptExecuteCall) {
        return false;
      }
      for (int32_t k = 0; k < depth; ++k) {
        const VMNode& argument = step->nodes[items[k]];
        if (argument.kind != STEP_NODE_OP || !argument.isValue) return false;
      }
      // Three leaves are not one of the evaluator's short shapes.
      if (step->nodeCount == 3 && step->nodes[2].kind != STEP_NODE_OP) step->general = true;
      step->kind = STEP_CALL;
      step->argc = argc;
      step->callNumber = number;
      step->lastPc = static_cast<int32_t>(at);
      step->next = static_cast<int32_t>(at + size);
      return true;
    }
    if (opcode == OP_RET && t1 == VT_VAR) {
      // The return of the one whole value the step made.
      // (a computed real, or one whole variable's value as it is held)
      if (depth != 1) return false;
      const VMNode& value = step->nodes[items[0]];
      if (!value.isValue) return false;
      if (value.kind != STEP_NODE_OP && !(step->nodeCount == 1 && value.kind == STEP_NODE_VAR)) return false;
      step->kind = STEP_RETURN;
      step->lastPc = static_cast<int32_t>(at);
      step->next = static_cast<int32_t>(at + size);
      return true;
    }
    if (IsComparison(opcode)) {
      // The comparison of the two items the step made, and the branch that takes its truth value.
      if (depth != 2) return false;
      const VMNode& right = step->nodes[items[1]];
      const VMNode& left = step->nodes[items[0]];
      if (t1 != ItemType(right) || t2 != ItemType(left)) return false;
      const int64_t branchAt = at + 4;
      if (!w.Has(branchAt, 4) || leader[static_cast<int32_t>(branchAt / 4)]) return false;
      const uint32_t branch = w.Word(branchAt);
      if (WordOpcode(branch) != OP_BT && WordOpcode(branch) != OP_BF) return false;
      const int64_t target = BranchTarget(w, branchAt, branch);
      if (target < 0) return false;
      step->kind = STEP_BRANCH;
      step->compare = opcode;
      step->jumpIfTrue = WordOpcode(branch) == OP_BT;
      step->leftInt = left.isInt;
      step->rightInt = right.isInt;
      step->lastPc = static_cast<int32_t>(branchAt);
      step->next = static_cast<int32_t>(branchAt + 4);
      step->target = static_cast<int32_t>(target);
      return true;
    }
    return false;
  }
}

// Replaces each run of nodes `v conv.v.i; push k; mul.i.i; w conv.v.i; add.i.i` (v and w whole
// variables, k a raw int) by one STEP_NODE_INDEX. The run is the whole subtree of its add (the
// nodes are in postfix order), so the node leaves the same item where the add left it.
void FuseIndexes(VMStep* step) {
  VMNode* n = step->nodes;
  int32_t count = step->nodeCount;
  for (int32_t k = 0; k + 7 <= count; ++k) {
    const bool run = n[k].kind == STEP_NODE_VAR && n[k + 1].kind == STEP_NODE_CONV && n[k + 2].kind == STEP_NODE_INT &&
                     n[k + 3].kind == STEP_NODE_OP && n[k + 3].op == OP_MUL && n[k + 3].leftInt && n[k + 3].rightInt &&
                     n[k + 4].kind == STEP_NODE_VAR && n[k + 5].kind == STEP_NODE_CONV &&
                     n[k + 6].kind == STEP_NODE_OP && n[k + 6].op == OP_ADD && n[k + 6].leftInt && n[k + 6].rightInt;
    if (!run) continue;
    VMNode index{};
    index.kind = STEP_NODE_INDEX;
    index.isInt = true;
    index.site = n[k].site;
    index.site2 = n[k + 4].site;
    index.i = n[k + 2].i;
    n[k] = index;
    for (int32_t j = k + 1; j + 6 < count; ++j) n[j] = n[j + 6];
    count -= 6;
  }
  step->nodeCount = static_cast<uint8_t>(count);
}

bool IsConstant(const VMNode& n) { return n.kind == STEP_NODE_INT || n.kind == STEP_NODE_DOUBLE; }
bool SameVariable(const VMVarSite& a, const VMVarSite& b) { return a.id == b.id && a.selector == b.selector; }

// The step at pc, or null.
VMStep* StepAt(VMDecoded* out, int64_t pc) {
  if (pc < 0 || pc + 4 > out->size) return nullptr;
  const int32_t index = out->stepAt[static_cast<int32_t>(pc / 4)];
  return index != 0 ? &out->steps[index - 1] : nullptr;
}

// The site of `site`'s variable among the first `count` sites of `into`, added when it is not
// there yet; -1 when there is no room.
int32_t MergedSite(VMVarSite* into, int32_t* count, const VMVarSite& site) {
  for (int32_t k = 0; k < *count; ++k) {
    if (SameVariable(into[k], site)) return k;
  }
  if (*count >= kVMStepMaxNodes + 1) return -1;
  into[*count] = site;
  return (*count)++;
}

// Gives a step fused from a counting loop and its body the loop's own part (its counter's step,
// test and exits), and puts it in place of the step at `start`. The stack peak is the larger of
// the fused step's own, the body's and the loop's.
void PushLoopStep(const VMStep& loop, const VMStep& body, int64_t start, VMStep* fused, VMDecoded* out) {
  fused->loopOp = loop.nodes[2].op;
  fused->loopBy = loop.nodes[1].d;
  fused->loopLimit = loop.nodes[3].d;
  fused->compare = loop.compare;
  fused->jumpIfTrue = loop.jumpIfTrue;
  fused->testPc = loop.testPc;
  fused->loopPc = loop.pc;
  fused->bodyLastPc = body.lastPc;
  fused->peak = std::max({fused->peak, body.peak, loop.peak});
  fused->target = loop.target;
  fused->next = loop.next;
  fused->lastPc = loop.lastPc;
  out->steps.Push(*fused);
  out->stepAt[static_cast<int32_t>(start / 4)] = out->steps.Count();
}

// When the loop step at `loopIndex` sends the loop back to a body that is one store of constants,
// variables and operators ending right at the increment, a STEP_LOOP_BODY at the body's first word
// runs body and loop end together (the body keeps its own step for when that one cannot run).
void FuseLoopBody(VMDecoded* out, int32_t loopIndex) {
  const VMStep loop = out->steps[loopIndex];
  for (const int32_t start : {loop.target, loop.next}) {
    const VMStep* found = StepAt(out, start);
    if (found == nullptr || start == loop.pc || found->kind != STEP_STORE || found->next != loop.pc ||
        found->general || found->storeElement) {
      continue;
    }
    const VMStep body = *found;
    VMStep fused = body;
    fused.kind = STEP_LOOP_BODY;
    fused.body = out->stepAt[static_cast<int32_t>(start / 4)];
    int32_t sites = 0;
    bool fits = true;
    for (int32_t k = 0; k < body.nodeCount && fits; ++k) {
      if (body.nodes[k].kind != STEP_NODE_VAR) continue;
      const int32_t merged = MergedSite(fused.sites, &sites, body.sites[body.nodes[k].site]);
      fits = merged >= 0;
      fused.nodes[k].site = static_cast<uint8_t>(merged);
      fused.loopReads |= 1u << merged;
    }
    const int32_t stored = fits ? MergedSite(fused.sites, &sites, body.sites[body.storeSite]) : -1;
    const int32_t counted = stored >= 0 ? MergedSite(fused.sites, &sites, loop.sites[loop.storeSite]) : -1;
    if (counted < 0) return;
    fused.siteCount = static_cast<uint8_t>(sites);
    fused.storeSite = static_cast<uint8_t>(stored);
    fused.loopSite = static_cast<uint8_t>(counted);
    fused.loopReads |= 1u << counted;
    PushLoopStep(loop, body, start, &fused, out);
    return;
  }
}

// Pass 3: `x = x +/- k; b H` where H tests `x <comparison> constant` and branches becomes one
// step at the increment's pc (the increment and the test keep their own steps for code that
// reaches them otherwise, and for when the loop step's guards fail).
void FuseLoops(VMDecoded* out) {
  const int32_t count = out->steps.Count();
  for (int32_t i = 0; i < count; ++i) {
    const VMStep store = out->steps[i];
    if (store.kind != STEP_STORE || store.nodeCount != 3 || !store.storeIsFirstRead) continue;
    if (store.nodes[0].kind != STEP_NODE_VAR || !IsConstant(store.nodes[1]) || store.nodes[2].kind != STEP_NODE_OP ||
        (store.nodes[2].op != OP_ADD && store.nodes[2].op != OP_SUB)) {
      continue;
    }
    const VMStep* jump = StepAt(out, store.next);
    if (jump == nullptr || jump->kind != STEP_JUMP) continue;
    const VMStep* test = StepAt(out, jump->target);
    if (test == nullptr || test->kind != STEP_BRANCH || test->nodeCount != 2 || test->nodes[0].kind != STEP_NODE_VAR ||
        !IsConstant(test->nodes[1]) || !SameVariable(test->sites[test->nodes[0].site], store.sites[store.storeSite])) {
      continue;
    }
    VMStep loop = store;
    loop.kind = STEP_LOOP;
    loop.nodes[3] = test->nodes[1];
    // Both constants as doubles (exact for a raw int).
    if (loop.nodes[1].kind == STEP_NODE_INT) loop.nodes[1].d = loop.nodes[1].i;
    if (loop.nodes[3].kind == STEP_NODE_INT) loop.nodes[3].d = loop.nodes[3].i;
    loop.nodeCount = 4;
    loop.compare = test->compare;
    loop.jumpIfTrue = test->jumpIfTrue;
    loop.rightInt = test->rightInt;
    loop.testPc = test->pc;
    if (test->peak > loop.peak) loop.peak = test->peak;
    loop.target = test->target;
    loop.next = test->next;
    loop.lastPc = test->lastPc;
    out->steps.Push(loop);
    out->stepAt[static_cast<int32_t>(store.pc / 4)] = out->steps.Count();
    FuseLoopBody(out, out->steps.Count() - 1);
  }
}

// Pass 3b: a loop step whose body is one element step ending right at the increment becomes one
// STEP_ELEMENT_LOOP at the body's first word (the body keeps its own step, unreached from there).
void FuseElementLoops(VMDecoded* out) {
  const int32_t count = out->steps.Count();
  for (int32_t i = 0; i < count; ++i) {
    const VMStep loop = out->steps[i];
    if (loop.kind != STEP_LOOP) continue;
    for (const int32_t start : {loop.target, loop.next}) {
      // An increment `y = y +/- k` may come first.
      const VMStep* first = StepAt(out, start);
      const bool increment = first != nullptr && first->kind == STEP_STORE && !first->general &&
                             first->storeIsFirstRead && first->nodeCount == 3 &&
                             first->nodes[0].kind == STEP_NODE_VAR && IsConstant(first->nodes[1]) &&
                             first->nodes[2].kind == STEP_NODE_OP &&
                             (first->nodes[2].op == OP_ADD || first->nodes[2].op == OP_SUB) && first->next != loop.pc;
      const VMStep* body = increment ? StepAt(out, first->next) : first;
      if (body == nullptr || start == loop.pc || body->kind != STEP_STORE || body->next != loop.pc ||
          VMElementShapeOf(*body) == ELEMENT_NONE || body->siteCount + 2 > kVMStepMaxNodes + 1) {
        continue;
      }
      VMStep fused = *body;
      fused.kind = STEP_ELEMENT_LOOP;
      fused.pc = start;
      fused.elementPc = body->pc;
      fused.loopSite = fused.siteCount;
      fused.sites[fused.siteCount++] = loop.sites[loop.storeSite];
      if (increment) {
        fused.preSite = fused.siteCount;
        fused.sites[fused.siteCount++] = first->sites[first->storeSite];
        fused.preOp = first->nodes[2].op;
        fused.preBy = first->nodes[1].kind == STEP_NODE_INT ? first->nodes[1].i : first->nodes[1].d;
        fused.preLastPc = first->lastPc;
      }
      if (increment && first->peak > fused.peak) fused.peak = first->peak;
      PushLoopStep(loop, *body, start, &fused, out);
      break;
    }
  }
}

// Pass 4: `if (v <comparison> constant)` whose fall-through is the return of v becomes one step
// at the branch's pc (the return keeps its own step for code that reaches it otherwise, and for
// when the fused step's return guards fail).
void FuseTestReturns(VMDecoded* out) {
  const int32_t count = out->steps.Count();
  for (int32_t i = 0; i < count; ++i) {
    const VMStep test = out->steps[i];
    if (test.kind != STEP_BRANCH || test.general || test.nodeCount != 2 || test.nodes[0].kind != STEP_NODE_VAR ||
        !IsConstant(test.nodes[1]) || test.leftInt) {
      continue;
    }
    if (StepAt(out, test.pc) != &out->steps[i]) continue;  // a loop step starts here
    const VMStep* ret = StepAt(out, test.next);
    if (ret == nullptr || ret->kind != STEP_RETURN || ret->returnOp != 0 || ret->nodeCount != 1 ||
        ret->nodes[0].kind != STEP_NODE_VAR || !SameVariable(ret->sites[ret->nodes[0].site], test.sites[test.nodes[0].site])) {
      continue;
    }
    VMStep fused = test;
    fused.kind = STEP_TEST_RETURN;
    // The constant as a double too (exact for a raw int).
    if (fused.nodes[1].kind == STEP_NODE_INT) fused.nodes[1].d = fused.nodes[1].i;
    fused.returnLastPc = ret->lastPc;
    fused.returnNext = ret->next;
    out->steps.Push(fused);
    out->stepAt[static_cast<int32_t>(test.pc / 4)] = out->steps.Count();
  }
}

}  // namespace

VMElementShape VMElementShapeOf(const VMStep& step) {
  const VMNode* n = step.nodes;
  if (step.kind != STEP_STORE && step.kind != STEP_ELEMENT_LOOP) return ELEMENT_NONE;
  if (step.storeElement) {
    if (step.nodeCount != 3 || n[1].kind != STEP_NODE_INT || n[2].kind != STEP_NODE_INDEX) return ELEMENT_NONE;
    const VMElementShape shape = n[0].kind == STEP_NODE_INT      ? ELEMENT_STORE_INT
                                 : n[0].kind == STEP_NODE_DOUBLE ? ELEMENT_STORE_DOUBLE
                                 : n[0].kind == STEP_NODE_VAR    ? ELEMENT_STORE_VAR
                                                                 : ELEMENT_NONE;
    const int indexSite = shape == ELEMENT_STORE_VAR ? 1 : 0;
    if (shape == ELEMENT_NONE || (indexSite == 1 && n[0].site != 0) || n[2].site != indexSite ||
        n[2].site2 != indexSite + 1 || step.storeSite != indexSite + 2) {
      return ELEMENT_NONE;
    }
    return shape;
  }
  if (step.nodeCount != 5 || !step.storeIsFirstRead || n[0].kind != STEP_NODE_VAR || n[1].kind != STEP_NODE_INT ||
      n[2].kind != STEP_NODE_INDEX || n[3].kind != STEP_NODE_ELEM || n[4].kind != STEP_NODE_OP || n[0].site != 0 ||
      n[2].site != 1 || n[2].site2 != 2 || n[3].site != 3 || n[4].leftInt || n[4].rightInt) {
    return ELEMENT_NONE;
  }
  switch (n[4].op) {
    case OP_ADD: return ELEMENT_ADD;
    case OP_SUB: return ELEMENT_SUB;
    case OP_MUL: return ELEMENT_MUL;
    default: return ELEMENT_NONE;
  }
}

void VMTranslate(const uint32_t* words, int32_t size, VMDecoded* out) {
  out->words = words;
  out->size = size;
  const Words w{reinterpret_cast<const uint8_t*>(words), size > 0 ? size : 0};
  const int32_t wordCount = static_cast<int32_t>(w.size / 4);
  if (wordCount <= 0) return;
  // Pass 1: the words that branches reach start steps, never sit inside one. The branches are
  // the instructions met walking the code from its start (an operand word that happens to look
  // like a branch is none). A step runs its words in order whatever else jumps where, so this
  // only keeps steps from covering where a jump lands; code that jumps into an operand runs
  // word by word from there.
  GrowArray<uint8_t> leader;
  leader.SetCount(wordCount + 1);
  std::memset(&leader[0], 0, static_cast<size_t>(wordCount) + 1);
  for (int64_t pc = 0; pc + 4 <= w.size;) {
    const uint32_t word = w.Word(pc);
    if (IsBranchForm(WordOpcode(word))) {
      const int64_t target = pc + 4 * static_cast<int64_t>(WordBranchOffset(word));
      if (target >= 0 && target <= w.size && (target & 3) == 0) leader[static_cast<int32_t>(target / 4)] = 1;
    }
    const int64_t size = InstructionSize(w, pc);
    if (size == 0) break;
    pc += size;
  }
  // Pass 2: a step wherever the words form one, walking instruction by instruction.
  out->stepAt.SetCount(wordCount);
  std::memset(&out->stepAt[0], 0, static_cast<size_t>(wordCount) * sizeof(int32_t));
  VMStep step;
  for (int64_t pc = 0; pc + 4 <= w.size;) {
    if (BuildStep(w, leader, pc, &step)) {
      FuseIndexes(&step);
      out->steps.Push(step);
      out->stepAt[static_cast<int32_t>(pc / 4)] = out->steps.Count();
    }
    const int64_t size = InstructionSize(w, pc);
    if (size == 0) break;
    pc += size;
  }
  leader.Free();
  FuseLoops(out);
  FuseElementLoops(out);
  FuseTestReturns(out);
}

VMDecoded* VMDecodedFor(VMBuffer* code) {
  VMDecoded* decoded = code->m_decoded;
  if (decoded != nullptr && decoded->words == code->m_data && decoded->size == code->m_size) return decoded;
  VMFreeDecoded(decoded);
  decoded = new VMDecoded();
  VMTranslate(code->m_data, code->m_size, decoded);
  code->m_decoded = decoded;
  VM_NoteScriptChange();  // call steps keep the steps they found
  return decoded;
}

void VMFreeDecoded(VMDecoded* decoded) {
  if (decoded == nullptr) return;
  decoded->steps.Free();
  decoded->stepAt.Free();
  delete decoded;
}
