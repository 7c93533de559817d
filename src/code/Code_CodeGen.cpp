#include "code/Code_CodeGen.h"

#include <cstring>
#include <new>

#include "code/Code_Main.h"
#include "code/Code_Token.h"
#include "code/Code_Tree.h"
#include "platform/GrowArray.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"
#include "runner/GameData_Strings.h"
#include "variable/Variable_Main.h"

namespace {

// The result type of a binary operation: the operand type that takes more stack bytes, the
// left one when both take the same.
int32_t LargerType(int32_t left, int32_t right) {
  return VMStackSize(static_cast<uint32_t>(right)) > VMStackSize(static_cast<uint32_t>(left)) ? right : left;
}

uint8_t Type8(int32_t type) { return static_cast<uint8_t>(type & 0xF); }

// ---- Values ----

// Converts the top item to `to` unless it already has that type.
void ConvertTo(CodeGenerator* g, int32_t to) {
  const int32_t from = g->PopType();
  if (from != to) g->EmitWord2(OP_CONV, Type8(from), Type8(to));
  g->PushType(to);
}

// An integer constant: push.e when it fits the immediate, push.i when it fits 32 bits, else
// push.l.
void PushInteger(CodeGenerator* g, int64_t value) {
  if (value >= -32768 && value <= 32767) {
    g->EmitPushConstant(OP_PUSH, VT_ERROR, static_cast<int32_t>(value), nullptr);
    g->PushType(VT_INT);
  } else if (value >= INT32_MIN && value <= INT32_MAX) {
    const int32_t operand = static_cast<int32_t>(value);
    g->EmitPushConstant(OP_PUSH, VT_INT, 0, &operand);
    g->PushType(VT_INT);
  } else {
    g->EmitPushConstant(OP_PUSH, VT_LONG, 0, &value);
    g->PushType(VT_LONG);
  }
}

// push.i with a 4-byte operand, whatever the value (the fixed constants of some statements).
void PushInt32Operand(CodeGenerator* g, int32_t value) { g->EmitPushConstant(OP_PUSH, VT_INT, 0, &value); }

// A real is pushed as an integer when truncating it to 64 bits and back gives the same value.
void PushReal(CodeGenerator* g, double value) {
  const int64_t whole = num::TruncInt64(value);
  if (static_cast<double>(whole) == value) {
    PushInteger(g, whole);
    return;
  }
  g->EmitPushConstant(OP_PUSH, VT_DOUBLE, 0, &value);
  g->PushType(VT_DOUBLE);
}

void GenerateConstant(CodeGenerator* g, const CodeNode* node) {
  const ScriptValue& value = node->value;
  switch (value.Kind()) {
    case VALUE_REAL: PushReal(g, value.real); return;
    case VALUE_INT32: PushInteger(g, value.i32); return;
    case VALUE_INT64: PushInteger(g, value.i64); return;
    case VALUE_STRING: {
      // The text goes into the runtime part of the string table; the code holds its index.
      const int32_t index = Strings_AddRuntime(value.str != nullptr ? value.str : "");
      g->EmitPushConstant(OP_PUSH, VT_STRING, 0, &index);
      g->PushType(VT_STRING);
      return;
    }
    default:
      // Arrays, pointers and undefined values have no bytecode form; phase 4 leaves none in a
      // tree, and real 0 keeps the stack balanced should one appear.
      PushInteger(g, 0);
      return;
  }
}

void GenerateValue(CodeGenerator* g, const CodeNode* node);

// The instance selector of a simple variable in the word's immediate: directly when it fits 16
// bits, as id - 100,000 with the bias flag for instance ids. False when it fits neither way.
bool SelectorInWord(int32_t selector, int32_t* immediate, uint32_t* flags) {
  if (selector >= -32768 && selector <= 32767) {
    *immediate = selector;
    *flags = kVarSelectorInWord;
    return true;
  }
  const int64_t biased = static_cast<int64_t>(selector) - kInstanceIdBase;
  if (selector >= kInstanceIdBase && biased <= 32767) {
    *immediate = static_cast<int32_t>(biased);
    *flags = kVarSelectorInWord | kVarSelectorBias;
    return true;
  }
  return false;
}

// The push.v or pop.v word of a variable (for pop, `valueType` is the type of the value being
// stored, which was generated before). The instance and index items the word reads are generated
// here, just before it, so the machine finds them above the value; their types are taken off the
// type stack again, the caller handles the value's.
void GenerateVariableWord(CodeGenerator* g, const CodeNode* node, uint8_t opcode, int32_t valueType) {
  const uint8_t second = opcode == OP_POP ? Type8(valueType) : 0;
  const uint32_t id = static_cast<uint32_t>(node->operand) & kVarIdMask;

  if (node->kind == NODE_SIMPLE_VARIABLE) {
    int32_t immediate = 0;
    uint32_t flags = 0;
    if (SelectorInWord(node->instance, &immediate, &flags)) {
      const uint32_t reference = id | kVarWhole | flags;
      g->EmitWord2Operand(opcode, VT_VAR, second, immediate, &reference);
      return;
    }
    // A selector that does not fit the immediate (a large instance id) is passed on the stack,
    // as the instance of a full variable is; truncating it would name another instance.
    PushInteger(g, node->instance);
    g->PopType();
    const uint32_t reference = id | kVarWhole;
    g->EmitWord2Operand(opcode, VT_VAR, second, 0, &reference);
    return;
  }

  // A full variable: the instance expression, then the element index.
  if (node->childCount > 0) {
    GenerateValue(g, &node->children[0]);
    ConvertTo(g, VT_INT);
  } else {
    PushInteger(g, SEL_NOT_SPECIFIED);
  }
  const bool indexed = node->childCount > 1;
  if (indexed) {
    GenerateValue(g, &node->children[1]);
    ConvertTo(g, VT_INT);
    if (node->childCount > 2) {
      // row * 32000 + column
      PushInt32Operand(g, kArrayRowStride);
      g->EmitWord2(OP_MUL, VT_INT, VT_INT);
      GenerateValue(g, &node->children[2]);
      ConvertTo(g, VT_INT);
      g->EmitWord2(OP_ADD, VT_INT, VT_INT);
      g->PopType();
    }
  }
  const uint32_t reference = indexed ? id : (id | kVarWhole);
  g->EmitWord2Operand(opcode, VT_VAR, second, 0, &reference);
  g->PopType();
  if (indexed) g->PopType();
}

void GenerateCall(CodeGenerator* g, const CodeNode* node) {
  for (int32_t i = node->childCount - 1; i >= 0; --i) {
    GenerateValue(g, &node->children[i]);
    ConvertTo(g, VT_VAR);
  }
  const int32_t number = node->operand;
  g->EmitPushConstant(OP_CALL, VT_INT, node->childCount, &number);
  for (int32_t i = 0; i < node->childCount; ++i) g->PopType();
  g->PushType(VT_VAR);
}

void GenerateUnary(CodeGenerator* g, const CodeNode* node) {
  if (node->childCount > 0) {
    GenerateValue(g, &node->children[0]);
  } else {
    PushInteger(g, 0);
  }
  const int32_t type = g->PeekType();
  switch (node->operand) {
    case TOKEN_NOT:
      if (type == VT_DOUBLE || type == VT_FLOAT || type == VT_INT || type == VT_LONG || type == VT_VAR) {
        ConvertTo(g, VT_BOOL);
      }
      g->EmitWord(OP_NOT, Type8(g->PeekType()));
      break;
    case TOKEN_MINUS: g->EmitWord(OP_NEG, Type8(type)); break;
    case TOKEN_BIT_NOT:
      if (type == VT_DOUBLE || type == VT_FLOAT || type == VT_VAR) ConvertTo(g, VT_INT);
      g->EmitWord(OP_NOT, Type8(g->PeekType()));
      break;
    default:  // plus
      break;
  }
}

// The operand coercion a binary operator asks for.
void CoerceOperand(CodeGenerator* g, int32_t op) {
  const int32_t type = g->PeekType();
  switch (op) {
    case TOKEN_AND:
    case TOKEN_OR:
    case TOKEN_XOR:
      if (type != VT_BOOL) ConvertTo(g, VT_BOOL);
      break;
    case TOKEN_PLUS:
    case TOKEN_MINUS:
    case TOKEN_TIMES:
    case TOKEN_DIVIDE:
    case TOKEN_INT_DIVIDE:
    case TOKEN_MODULO:
      if (type == VT_BOOL) ConvertTo(g, VT_INT);
      break;
    case TOKEN_BIT_OR:
    case TOKEN_BIT_AND:
    case TOKEN_BIT_XOR:
    case TOKEN_SHIFT_LEFT:
    case TOKEN_SHIFT_RIGHT:
      if (type != VT_INT) ConvertTo(g, VT_INT);
      break;
    default:
      break;
  }
}

// The opcode of a binary operator, and whether its result is a comparison's .b.
bool BinaryOpcode(int32_t op, uint8_t* opcode, bool* comparison) {
  *comparison = true;
  switch (op) {
    case TOKEN_ASSIGN:
    case TOKEN_EQUAL: *opcode = OP_SEQ; return true;
    case TOKEN_LESS: *opcode = OP_SLT; return true;
    case TOKEN_LESS_EQUAL: *opcode = OP_SLE; return true;
    case TOKEN_NOT_EQUAL: *opcode = OP_SNE; return true;
    case TOKEN_GREATER_EQUAL: *opcode = OP_SGE; return true;
    case TOKEN_GREATER: *opcode = OP_SGT; return true;
    default: break;
  }
  *comparison = false;
  switch (op) {
    case TOKEN_AND:
    case TOKEN_BIT_AND: *opcode = OP_AND; return true;
    case TOKEN_OR:
    case TOKEN_BIT_OR: *opcode = OP_OR; return true;
    case TOKEN_XOR:
    case TOKEN_BIT_XOR: *opcode = OP_XOR; return true;
    case TOKEN_PLUS: *opcode = OP_ADD; return true;
    case TOKEN_MINUS: *opcode = OP_SUB; return true;
    case TOKEN_TIMES: *opcode = OP_MUL; return true;
    case TOKEN_DIVIDE: *opcode = OP_DIV; return true;
    case TOKEN_INT_DIVIDE: *opcode = OP_REM; return true;
    case TOKEN_MODULO: *opcode = OP_MOD; return true;
    case TOKEN_SHIFT_LEFT: *opcode = OP_SHL; return true;
    case TOKEN_SHIFT_RIGHT: *opcode = OP_SHR; return true;
    default: return false;
  }
}

void GenerateBinary(CodeGenerator* g, const CodeNode* node) {
  if (node->childCount != 2) {
    PushInteger(g, 0);
    return;
  }
  const int32_t op = node->operand;
  GenerateValue(g, &node->children[0]);
  CoerceOperand(g, op);
  GenerateValue(g, &node->children[1]);
  CoerceOperand(g, op);
  const int32_t right = g->PopType();
  const int32_t left = g->PopType();
  uint8_t opcode = 0;
  bool comparison = false;
  if (!BinaryOpcode(op, &opcode, &comparison)) {
    // Phase 3 makes no other operator; dropping the right operand keeps the stack balanced.
    g->EmitWord(OP_POPZ, Type8(right));
    g->PushType(left);
    return;
  }
  g->EmitWord2(opcode, Type8(right), Type8(left));
  g->PushType(comparison ? VT_BOOL : LargerType(left, right));
}

void GenerateValue(CodeGenerator* g, const CodeNode* node) {
  switch (node->kind) {
    case NODE_CONSTANT: GenerateConstant(g, node); return;
    case NODE_CALL: GenerateCall(g, node); return;
    case NODE_VARIABLE:
    case NODE_SIMPLE_VARIABLE:
      GenerateVariableWord(g, node, OP_PUSH, 0);
      g->PushType(VT_VAR);
      return;
    case NODE_UNARY: GenerateUnary(g, node); return;
    case NODE_BINARY: GenerateBinary(g, node); return;
    default:
      // Not an expression: real 0 keeps the stack balanced.
      PushInteger(g, 0);
      return;
  }
}

// The condition of a branch: the expression as a .b.
void GenerateCondition(CodeGenerator* g, const CodeNode* node) {
  GenerateValue(g, node);
  if (g->PeekType() != VT_BOOL) ConvertTo(g, VT_BOOL);
}

// ---- Statements ----

void GenerateStatement(CodeGenerator* g, const CodeNode* node);

// The continue and break targets of a loop or a with-block while its body is generated. A new
// continue target also starts a new run of switch values for continue to pop.
class TargetScope {
 public:
  TargetScope(CodeGenerator* g, CodeLabel* continueTarget, CodeLabel* breakTarget)
      : m_g(g), m_continue(continueTarget), m_break(breakTarget), m_switchBase(g->m_switchBase) {
    if (m_continue != nullptr) {
      m_continue->link = g->m_continueTarget;
      g->m_continueTarget = m_continue;
      g->m_switchBase = g->m_switchCount;
    }
    m_break->link = g->m_breakTarget;
    g->m_breakTarget = m_break;
  }
  ~TargetScope() {
    if (m_continue != nullptr) {
      m_g->m_continueTarget = m_continue->link;
      m_g->m_switchBase = m_switchBase;
    }
    m_g->m_breakTarget = m_break->link;
  }
  TargetScope(const TargetScope&) = delete;
  TargetScope& operator=(const TargetScope&) = delete;

 private:
  CodeGenerator* m_g;
  CodeLabel* m_continue;
  CodeLabel* m_break;
  int32_t m_switchBase;
};

void GenerateChild(CodeGenerator* g, const CodeNode* node, int32_t index) {
  if (index < node->childCount) GenerateStatement(g, &node->children[index]);
}

void GenerateAssignment(CodeGenerator* g, const CodeNode* node) {
  if (node->childCount != 2) return;
  const CodeNode* target = &node->children[0];
  const CodeNode* value = &node->children[1];
  if (target->kind != NODE_VARIABLE && target->kind != NODE_SIMPLE_VARIABLE) return;

  uint8_t opcode = 0;
  switch (node->operand) {
    case TOKEN_ADD_ASSIGN: opcode = OP_ADD; break;
    case TOKEN_SUB_ASSIGN: opcode = OP_SUB; break;
    case TOKEN_MUL_ASSIGN: opcode = OP_MUL; break;
    case TOKEN_DIV_ASSIGN: opcode = OP_DIV; break;
    case TOKEN_OR_ASSIGN: opcode = OP_OR; break;
    case TOKEN_AND_ASSIGN: opcode = OP_AND; break;
    case TOKEN_XOR_ASSIGN: opcode = OP_XOR; break;
    default: break;  // plain "="
  }

  if (opcode == 0) {
    GenerateValue(g, value);
    GenerateVariableWord(g, target, OP_POP, g->PeekType());
    g->PopType();
    return;
  }

  // The target's current value, the operand, the operation, and the store; the target's
  // instance and index expressions are generated (and run) once for the read and once for the
  // store.
  GenerateVariableWord(g, target, OP_PUSH, 0);
  g->PushType(VT_VAR);
  GenerateValue(g, value);
  const int32_t type = g->PeekType();
  const bool bitwise = opcode == OP_OR || opcode == OP_AND || opcode == OP_XOR;
  if (type == VT_BOOL || (bitwise && type != VT_INT && type != VT_LONG)) ConvertTo(g, VT_INT);
  const int32_t operand = g->PopType();
  g->PopType();
  g->EmitWord2(opcode, Type8(operand), VT_VAR);
  g->PushType(VT_VAR);
  GenerateVariableWord(g, target, OP_POP, VT_VAR);
  g->PopType();
}

void GenerateIf(CodeGenerator* g, const CodeNode* node) {
  if (node->childCount < 2) return;
  CodeLabel elseLabel("Else");
  GenerateCondition(g, &node->children[0]);
  g->EmitBranch(OP_BF, &elseLabel);
  g->PopType();
  GenerateStatement(g, &node->children[1]);
  if (node->childCount > 2) {
    CodeLabel end("End");
    g->EmitBranch(OP_B, &end);
    g->PlaceLabel(&elseLabel);
    GenerateStatement(g, &node->children[2]);
    g->PlaceLabel(&end);
  } else {
    g->PlaceLabel(&elseLabel);
  }
}

void GenerateWhile(CodeGenerator* g, const CodeNode* node) {
  if (node->childCount < 1) return;
  CodeLabel repeat("Repeat");
  CodeLabel end("End");
  g->PlaceLabel(&repeat);
  GenerateCondition(g, &node->children[0]);
  g->EmitBranch(OP_BF, &end);
  g->PopType();
  {
    TargetScope scope(g, &repeat, &end);
    GenerateChild(g, node, 1);
  }
  g->EmitBranch(OP_B, &repeat);
  g->PlaceLabel(&end);
}

void GenerateDo(CodeGenerator* g, const CodeNode* node) {
  if (node->childCount < 2) return;
  CodeLabel repeat("Repeat");
  CodeLabel test("Test");
  CodeLabel end("End");
  g->PlaceLabel(&repeat);
  {
    TargetScope scope(g, &test, &end);
    GenerateStatement(g, &node->children[0]);
  }
  g->PlaceLabel(&test);
  GenerateCondition(g, &node->children[1]);
  g->EmitBranch(OP_BF, &repeat);
  g->PopType();
  g->PlaceLabel(&end);
}

void GenerateFor(CodeGenerator* g, const CodeNode* node) {
  if (node->childCount < 4) return;
  CodeLabel start("Start");
  CodeLabel repeat("Repeat");
  CodeLabel end("End");
  GenerateStatement(g, &node->children[0]);
  g->PlaceLabel(&start);
  GenerateCondition(g, &node->children[1]);
  g->EmitBranch(OP_BF, &end);
  g->PopType();
  {
    TargetScope scope(g, &repeat, &end);
    GenerateStatement(g, &node->children[3]);
  }
  g->PlaceLabel(&repeat);
  GenerateStatement(g, &node->children[2]);
  g->EmitBranch(OP_B, &start);
  g->PlaceLabel(&end);
}

// The counter stays on the machine's stack for the whole loop and is decremented after each
// pass; a count of 0 or less runs no pass.
void GenerateRepeat(CodeGenerator* g, const CodeNode* node) {
  if (node->childCount < 1) return;
  CodeLabel repeat("Repeat");
  CodeLabel next("Next");
  CodeLabel end("End");
  GenerateValue(g, &node->children[0]);
  ConvertTo(g, VT_INT);
  g->PopType();  // the counter is not an operand of anything the body emits
  g->EmitWord(OP_DUP, VT_INT);
  PushInt32Operand(g, 0);
  g->EmitWord2(OP_SLE, VT_INT, VT_INT);
  g->EmitBranch(OP_BT, &end);
  g->PlaceLabel(&repeat);
  {
    TargetScope scope(g, &next, &end);
    GenerateChild(g, node, 1);
  }
  g->PlaceLabel(&next);
  PushInt32Operand(g, 1);
  g->EmitWord2(OP_SUB, VT_INT, VT_INT);
  g->EmitWord(OP_DUP, VT_INT);
  g->EmitWord2(OP_CONV, VT_INT, VT_BOOL);
  g->EmitBranch(OP_BT, &repeat);
  g->PlaceLabel(&end);
  g->EmitWord(OP_POPZ, VT_INT);
}

void GenerateWith(CodeGenerator* g, const CodeNode* node) {
  if (node->childCount < 1) return;
  CodeLabel start("Start");
  CodeLabel popEnv("PopEnv");
  CodeLabel end("End");
  GenerateValue(g, &node->children[0]);
  ConvertTo(g, VT_INT);
  g->PopType();
  g->EmitBranch(OP_PUSHENV, &popEnv);
  g->PlaceLabel(&start);
  {
    TargetScope scope(g, &popEnv, &end);
    GenerateChild(g, node, 1);
  }
  g->PlaceLabel(&popEnv);
  g->EmitBranch(OP_POPENV, &start);
  if (end.breakCount > 0) {
    // A break left the body with the block's record on the stack: the leaving form of popenv
    // drops it; the normal way out jumps over that.
    CodeLabel cleanUpEnd("CleanUpEnd");
    g->EmitBranch(OP_B, &cleanUpEnd);
    g->PlaceLabel(&end);
    g->EmitRawWord(kPopEnvLeaveWord);
    g->PlaceLabel(&cleanUpEnd);
  } else {
    g->PlaceLabel(&end);
  }
}

bool IsSwitchLabel(const CodeNode* node) {
  return node->kind == NODE_CASE || node->kind == NODE_CONSTANT_CASE || node->kind == NODE_DEFAULT;
}

// The tests of every case and default first, then the statements, each preceded by the labels of
// the cases and defaults met since the statement before it. The value stays on the machine's
// stack until the end.
void GenerateSwitch(CodeGenerator* g, const CodeNode* node) {
  if (node->childCount < 1) return;
  CodeLabel end("End");
  end.link = g->m_breakTarget;
  g->m_breakTarget = &end;

  GenerateValue(g, &node->children[0]);
  const int32_t valueType = g->PopType();
  const uint8_t t = Type8(valueType);

  int32_t labelCount = 0;
  for (int32_t i = 1; i < node->childCount; ++i) {
    if (IsSwitchLabel(&node->children[i])) ++labelCount;
  }
  CodeLabel* labels = nullptr;
  if (labelCount > 0) {
    labels = static_cast<CodeLabel*>(MemoryManager::Alloc(
        static_cast<uint32_t>(static_cast<uint64_t>(labelCount) * sizeof(CodeLabel)), __FILE__, __LINE__, true));
  }

  int32_t made = 0;
  for (int32_t i = 1; i < node->childCount; ++i) {
    const CodeNode* child = &node->children[i];
    if (child->kind == NODE_DEFAULT) {
      CodeLabel* label = new (&labels[made++]) CodeLabel("Switch Default");
      g->EmitBranch(OP_B, label);
    } else if (IsSwitchLabel(child)) {
      CodeLabel* label = new (&labels[made++]) CodeLabel("Switch Clause");
      g->EmitWord(OP_DUP, t);
      if (child->childCount > 0) {
        GenerateValue(g, &child->children[0]);
      } else {
        PushInteger(g, 0);
      }
      const int32_t caseType = g->PopType();
      g->EmitWord2(OP_SEQ, Type8(caseType), t);
      g->EmitBranch(OP_BT, label);
    }
  }
  g->EmitBranch(OP_B, &end);

  // While the body runs, a continue that leaves the switch pops its value first.
  Grow_Reserve(g->m_switchTypes, g->m_switchCapacity, static_cast<int64_t>(g->m_switchCount) + 1);
  g->m_switchTypes[g->m_switchCount++] = valueType;

  int32_t placed = 0;
  int32_t met = 0;
  for (int32_t i = 1; i < node->childCount; ++i) {
    const CodeNode* child = &node->children[i];
    if (IsSwitchLabel(child)) {
      ++met;
      continue;
    }
    for (; placed < met; ++placed) g->PlaceLabel(&labels[placed]);
    GenerateStatement(g, child);
  }
  for (; placed < made; ++placed) g->PlaceLabel(&labels[placed]);
  g->PlaceLabel(&end);
  g->EmitWord(OP_POPZ, t);

  --g->m_switchCount;
  g->m_breakTarget = end.link;
  for (int32_t i = 0; i < made; ++i) labels[i].~CodeLabel();
  MemoryManager::Free(labels);
}

void GenerateStatement(CodeGenerator* g, const CodeNode* node) {
  switch (node->kind) {
    case NODE_BLOCK:
      for (int32_t i = 0; i < node->childCount; ++i) GenerateStatement(g, &node->children[i]);
      return;
    case NODE_CALL:
      GenerateCall(g, node);
      g->EmitWord(OP_POPZ, VT_VAR);
      g->PopType();
      return;
    case NODE_ASSIGN: GenerateAssignment(g, node); return;
    case NODE_IF: GenerateIf(g, node); return;
    case NODE_WHILE: GenerateWhile(g, node); return;
    case NODE_DO: GenerateDo(g, node); return;
    case NODE_FOR: GenerateFor(g, node); return;
    case NODE_REPEAT: GenerateRepeat(g, node); return;
    case NODE_WITH: GenerateWith(g, node); return;
    case NODE_SWITCH: GenerateSwitch(g, node); return;
    case NODE_BREAK:
      if (g->m_breakTarget != nullptr) {
        ++g->m_breakTarget->breakCount;
        g->EmitBranch(OP_B, g->m_breakTarget);
      }
      return;
    case NODE_CONTINUE:
      if (g->m_continueTarget != nullptr) {
        // The values of the switches between here and the loop would stay on the stack.
        for (int32_t i = g->m_switchCount - 1; i >= g->m_switchBase; --i) {
          g->EmitWord(OP_POPZ, Type8(g->m_switchTypes[i]));
        }
        g->EmitBranch(OP_B, g->m_continueTarget);
      }
      return;
    case NODE_EXIT: g->EmitWord(OP_EXIT, VT_INT); return;
    case NODE_RETURN:
      if (node->childCount > 0) {
        GenerateValue(g, &node->children[0]);
      } else {
        PushInteger(g, 0);
      }
      ConvertTo(g, VT_VAR);
      g->EmitWord(OP_RET, VT_VAR);
      g->PopType();
      return;
    case NODE_GLOBALVAR:
      for (int32_t i = 0; i < node->childCount; ++i) DeclareGlobalVariable(node->children[i].operand);
      return;
    default:
      // var, the empty statement, and case or default outside a switch: no code.
      return;
  }
}

}  // namespace

// ---- CodeLabel ----

CodeLabel::~CodeLabel() { MemoryManager::Free(pending); }

// ---- CodeGenerator ----

CodeGenerator::~CodeGenerator() {
  delete m_code;
  delete m_lineInfo;
  if (m_types != m_typeInline) MemoryManager::Free(m_types);
  MemoryManager::Free(m_switchTypes);
}

void CodeGenerator::Init(int32_t codeCapacity, int32_t lineInfoCapacity) {
  delete m_code;
  delete m_lineInfo;
  m_code = new VMWriteBuffer(codeCapacity);
  m_lineInfo = new VMWriteBuffer(lineInfoCapacity);
  m_typeDepth = 0;
  m_continueTarget = nullptr;
  m_breakTarget = nullptr;
  m_switchCount = 0;
  m_switchBase = 0;
}

int32_t CodeGenerator::CodeSize() const { return m_code->BytesWritten(); }

void CodeGenerator::EmitWord(uint8_t opcode, uint8_t type, int32_t immediate) {
  m_code->WriteWord(1, MakeWord(opcode, type, 0, immediate));
}

void CodeGenerator::EmitWord2(uint8_t opcode, uint8_t type1, uint8_t type2, int32_t immediate) {
  m_code->WriteWord(1, MakeWord(opcode, type1, type2, immediate));
}

void CodeGenerator::EmitPushConstant(uint8_t opcode, uint8_t type, int32_t immediate, const void* operand) {
  EmitWord2Operand(opcode, type, 0, immediate, operand);
}

void CodeGenerator::EmitWord2Operand(uint8_t opcode, uint8_t type1, uint8_t type2, int32_t immediate,
                                     const void* operand) {
  m_code->WriteWord(1, MakeWord(opcode, type1, type2, immediate));
  const int32_t size = VMTypeSize(type1);
  if (size == 0 || operand == nullptr) return;
  switch (type1) {
    case VT_DOUBLE: {
      double value;
      std::memcpy(&value, operand, sizeof(value));
      m_code->WriteDouble(value);
      return;
    }
    case VT_LONG: {
      int64_t value;
      std::memcpy(&value, operand, sizeof(value));
      m_code->WriteInt64(value);
      return;
    }
    case VT_FLOAT: {
      float value;
      std::memcpy(&value, operand, sizeof(value));
      m_code->WriteFloat(value);
      return;
    }
    case VT_BOOL: {
      int32_t value;
      std::memcpy(&value, operand, sizeof(value));
      m_code->WriteBool(value != 0);
      return;
    }
    default: {  // .i, .v and .s: 4 bytes
      int32_t value;
      std::memcpy(&value, operand, sizeof(value));
      m_code->WriteInt(value);
      return;
    }
  }
}

void CodeGenerator::EmitRawWord(uint32_t word) { m_code->WriteWord(1, word); }

void CodeGenerator::EmitBranch(uint8_t opcode, CodeLabel* label) {
  const int32_t at = CodeSize();
  if (label->placed) {
    m_code->WriteWord(1, MakeBranchWord(opcode, (label->offset - at) / 4));
    return;
  }
  Grow_Reserve(label->pending, label->pendingCapacity, static_cast<int64_t>(label->pendingCount) + 1);
  label->pending[label->pendingCount++] = at;
  m_code->WriteWord(1, MakeBranchWord(opcode, 0));
}

void CodeGenerator::PlaceLabel(CodeLabel* label) {
  label->offset = CodeSize();
  label->placed = 1;
  uint32_t* words = m_code->Words();
  for (int32_t i = 0; i < label->pendingCount; ++i) {
    const int32_t at = label->pending[i];
    const uint32_t distance = static_cast<uint32_t>((label->offset - at) / 4);
    uint32_t& word = words[at / 4];
    word = (word & 0xFF000000u) | (distance & 0x00FFFFFFu);
  }
  label->pendingCount = 0;
}

void CodeGenerator::PushType(int32_t type) {
  if (m_typeDepth >= m_typeCapacity) {
    // Deeper than the inline array: move onto a heap block that doubles as needed.
    if (m_types == m_typeInline) {
      int32_t* block = nullptr;
      int32_t capacity = 0;
      Grow_Reserve(block, capacity, static_cast<int64_t>(m_typeCapacity) * 2);
      std::memcpy(block, m_typeInline, sizeof(m_typeInline));
      m_types = block;
      m_typeCapacity = capacity;
    } else {
      Grow_Reserve(m_types, m_typeCapacity, static_cast<int64_t>(m_typeDepth) + 1);
    }
  }
  m_types[m_typeDepth++] = type;
}

int32_t CodeGenerator::PopType() { return m_typeDepth > 0 ? m_types[--m_typeDepth] : VT_ERROR; }

int32_t CodeGenerator::PeekType() const { return m_typeDepth > 0 ? m_types[m_typeDepth - 1] : VT_ERROR; }

// ---- Entry points ----

void GenerateProgram(CodeGenerator* generator, const CodeNode* root) {
  if (root == nullptr || root->kind != NODE_BLOCK) return;
  for (int32_t i = 0; i < root->childCount; ++i) GenerateStatement(generator, &root->children[i]);
}

void GenerateExpression(CodeGenerator* generator, const CodeNode* root) {
  if (root == nullptr) return;
  GenerateValue(generator, root);
  if (generator->PeekType() != VT_VAR) ConvertTo(generator, VT_VAR);
}

void FinishCode(CodeGenerator* generator, VMBuffer** code, VMBuffer** lineInfo) {
  if (generator->m_code != nullptr) generator->m_code->Finish();
  if (generator->m_lineInfo != nullptr) generator->m_lineInfo->Finish();
  if (code != nullptr) {
    *code = generator->m_code;
  } else {
    delete generator->m_code;
  }
  if (lineInfo != nullptr) {
    *lineInfo = generator->m_lineInfo;
  } else {
    delete generator->m_lineInfo;
  }
  generator->m_code = nullptr;
  generator->m_lineInfo = nullptr;
}

void CodeGen_GenerateForEntry(CCode* code, VMBuffer** codeOut, VMBuffer** lineInfoOut) {
  if (code == nullptr) return;
  CodeGenerator generator;
  generator.Init(16, 16);
  if (code->m_kind == CODE_EXPRESSION) {
    GenerateExpression(&generator, code->m_tree);
  } else {
    GenerateProgram(&generator, code->m_tree);
  }
  FinishCode(&generator, codeOut, lineInfoOut);
}

void CodeGen_Shutdown() {}
