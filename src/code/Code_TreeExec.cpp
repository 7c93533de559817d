#include "code/Code_TreeExec.h"

#include <sys/resource.h>

#include <cstring>
#include <string>

#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "code/Code_Main.h"
#include "code/Code_Operator.h"
#include "code/VM_Variables.h"
#include "extension/Extension_Main.h"
#include "option/Option_Main.h"
#include "platform/Numeric.h"
#include "room/Instance_Select.h"
#include "script/Script_Main.h"
#include "variable/Variable_Main.h"

namespace {

// Operator codes of the assignments and of the binary operators they apply.
constexpr int32_t kPlainAssign = 101;

// The largest index of one array dimension plus one.
constexpr int64_t kArrayDimensionLimit = 32000;

// How far below the outermost script call's frame the native stack may grow before a further
// script call is refused (recursion in scripts would otherwise overflow the process stack).
constexpr uintptr_t kDefaultStackBudget = 4u << 20;

constexpr char kScriptMissing[] = "call to non-existent script";

// A scratch value that starts as real 0 and is released when it goes.
struct Scratch {
  ScriptValue v;
  Scratch() { std::memset(static_cast<void*>(&v), 0, sizeof(v)); }
  ~Scratch() { ReleaseValue(&v); }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
};

// The fixed block of 16 argument values of one call, all starting as real 0 and all released
// when the call returns.
struct ArgumentBlock {
  ScriptValue v[kArgumentSlotCount];
  ArgumentBlock() { std::memset(static_cast<void*>(v), 0, sizeof(v)); }
  ~ArgumentBlock() {
    for (ScriptValue& value : v) ReleaseValue(&value);
  }
  ArgumentBlock(const ArgumentBlock&) = delete;
  ArgumentBlock& operator=(const ArgumentBlock&) = delete;
};

int32_t Fail(TreeExecContext* context, int32_t position, const char* message) {
  Code_SetError(context->code, position, message);
  return TREE_FAILED;
}

// Makes the value real 0 (all 16 bytes zero), releasing what it held.
void SetZero(ScriptValue* value) {
  ReleaseValue(value);
  std::memset(static_cast<void*>(value), 0, sizeof(*value));
}

// Trees come from the compiler, which gives every node kind its children; a node that has fewer
// is refused rather than read past.
bool HasChildren(const CodeNode* node, int32_t count) {
  return node->childCount >= count && (count == 0 || node->children != nullptr);
}

// An if takes its branch above 0.5.
bool IfConditionTrue(double condition) { return num::IsTrueStrict(condition); }

// The loops test the condition in single precision and go on unless it is below 0.5, so a NaN
// condition keeps a loop running.
bool LoopConditionTrue(double condition) { return !(num::ToFloat(condition) < 0.5f); }

// ---- Variables ----

// "Unknown variable <name>", with " or array index out of bounds" when the reference named an
// element other than [0] or [0,0].
std::string UnknownVariableMessage(const TreeVariableRef& ref) {
  std::string message = "Unknown variable ";
  const char* name = VariableName(ref.id);
  message += name != nullptr ? name : "";
  if (ref.index != kWholeValueIndex && ref.index != 0) message += " or array index out of bounds";
  return message;
}

// Reads through a resolved reference into `out` (which holds real 0 on entry); false for a
// failed read.
bool ReadReference(TreeExecContext* context, const TreeVariableRef& ref, ScriptValue* out) {
  switch (ref.target) {
    case kTargetLocal:
      if (context->locals == nullptr) return false;
      return context->locals->Get(ref.id, ref.index, out);
    case kTargetNotSpecified:
      if (IsGlobalDeclared(ref.id)) return GetGlobalVariable(ref.id, ref.index, out);
      return GetInstanceVariable(context->self, ref.id, ref.index, out);
    case kTargetGlobal:
      return GetGlobalVariable(ref.id, ref.index, out);
    case kTargetNoone:
      return false;
    case kTargetOther:
      return GetInstanceVariable(context->other, ref.id, ref.index, out);
    case kTargetSelf:
      return GetInstanceVariable(context->self, ref.id, ref.index, out);
    default:
      return GetVariable(ref.target, ref.id, ref.index, out);
  }
}

// Stores through a resolved reference. Local and global stores always count as done.
bool StoreReference(TreeExecContext* context, const TreeVariableRef& ref, const ScriptValue* value) {
  switch (ref.target) {
    case kTargetLocal:
      if (context->locals == nullptr) context->locals = new CVariableList();
      context->locals->Set(ref.id, ref.index, value);
      return true;
    case kTargetNotSpecified:
      if (IsGlobalDeclared(ref.id)) {
        SetGlobalVariable(ref.id, ref.index, value);
        return true;
      }
      return SetInstanceVariable(context->self, ref.id, ref.index, value);
    case kTargetGlobal:
      SetGlobalVariable(ref.id, ref.index, value);
      return true;
    case kTargetNoone:
      return false;
    case kTargetOther:
      return SetInstanceVariable(context->other, ref.id, ref.index, value);
    case kTargetSelf:
      return SetInstanceVariable(context->self, ref.id, ref.index, value);
    default:
      return SetVariable(ref.target, ref.id, ref.index, value);
  }
}

// Evaluates one array index into 0 .. 31,999.
int32_t EvalArrayIndex(TreeExecContext* context, const CodeNode* node, int64_t* index) {
  Scratch value;
  const int32_t status = TreeEvalExpression(context, node, &value.v);
  if (status != TREE_DONE) return status;
  if (value.v.Kind() != VALUE_REAL) return Fail(context, node->position, "Wrong type of array index");
  const int64_t i = num::RoundInt64(value.v.real);  // NaN gives the most negative value
  if (i < 0) return Fail(context, node->position, "Negative array index");
  if (i >= kArrayDimensionLimit) return Fail(context, node->position, "Array index >= 32000");
  *index = i;
  return TREE_DONE;
}

// The binary operator a compound assignment applies; 0 (an unknown operator) for anything else.
int32_t CompoundOperator(int32_t assignment) {
  switch (assignment) {
    case 102: return 210;  // += +
    case 103: return 211;  // -= -
    case 104: return 212;  // *= *
    case 105: return 213;  // /= /
    case 114: return 217;  // |= |
    case 115: return 218;  // &= &
    case 116: return 219;  // ^= ^
    default: return 0;
  }
}

// ---- Calls ----

// The native stack budget for nested script calls: 4 MB, or half the stack limit when that is
// smaller.
uintptr_t StackBudget() {
  static const uintptr_t budget = [] {
    struct rlimit limit;
    if (getrlimit(RLIMIT_STACK, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        limit.rlim_cur / 2 < kDefaultStackBudget) {
      return static_cast<uintptr_t>(limit.rlim_cur / 2);
    }
    return kDefaultStackBudget;
  }();
  return budget;
}

// The tree interpreter's script calls in progress, one inside the other, and the native frame of
// the outermost one. The counter is raised and lowered around each call, so it is 0 whenever no
// code runs: no reset has anything to undo here.
struct TreeCallState {
  int32_t depth = 0;
  uintptr_t outermostFrame = 0;
};
TreeCallState g_treeCalls;

// Counts the tree interpreter's script calls in progress, for the stack check.
class ScriptCallDepth {
 public:
  ScriptCallDepth() { ++g_treeCalls.depth; }
  ~ScriptCallDepth() { --g_treeCalls.depth; }
  ScriptCallDepth(const ScriptCallDepth&) = delete;
  ScriptCallDepth& operator=(const ScriptCallDepth&) = delete;
};

// Whether the native stack has room for one more nested script call.
bool StackHasRoom() {
  const uintptr_t here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  if (g_treeCalls.depth == 0) {
    g_treeCalls.outermostFrame = here;
    return true;
  }
  return !(g_treeCalls.outermostFrame > here && g_treeCalls.outermostFrame - here > StackBudget());
}

// Runs a script for the call node: call numbers 100,000 + i run script i with the arguments;
// script_execute (499,999) takes the script's id from its first argument (truncated, as the
// argument accessors read numbers) and passes the others on. A script without code answers 0.
int32_t CallScript(TreeExecContext* context, const CodeNode* node, int32_t number, int32_t argc,
                   ScriptValue* args, ScriptValue* result) {
  int64_t index = static_cast<int64_t>(number) - kScriptCallBase;
  int32_t first = 0;
  if (number == kScriptExecuteCall) {
    if (argc < 1) return Fail(context, node->position, kScriptMissing);
    const int32_t kind = GetValueKind(&args[0]);
    if (kind != VALUE_REAL && kind != VALUE_INT32 && kind != VALUE_INT64) {
      return Fail(context, node->position, "script_execute argument 1 incorrect type expecting a Number");
    }
    index = GetArgumentInt(args, 0);
    first = 1;
  }
  if (index < 0 || index >= Script_Count()) return Fail(context, node->position, kScriptMissing);
  CCode* code = Script_GetCode(static_cast<int32_t>(index));
  if (code == nullptr) {
    SetZero(result);
    return TREE_DONE;
  }
  if (!StackHasRoom()) return Fail(context, node->position, "Script calls nested too deeply.");
  ScriptCallDepth depth;
  // The script runs as its own execution with its own arguments; a failure has recorded its
  // error, prefixed with the script's name.
  return Script_Execute(static_cast<int32_t>(index), context->self, context->other, argc - first, result, args + first)
             ? TREE_DONE
             : TREE_FAILED;
}

// Extension function `index` (call number - 500,000). The extension layer has no call entry yet,
// so a known function answers real 0, as the virtual machine does while no extension caller is
// installed.
int32_t CallExtension(TreeExecContext* context, const CodeNode* node, int64_t index, ScriptValue* result) {
  if (index < 0 || index >= Extension_FunctionCount()) {
    return Fail(context, node->position, "Unknown function or script.");
  }
  SetZero(result);
  return TREE_DONE;
}

int32_t CallBuiltin(TreeExecContext* context, const CodeNode* node, int32_t number, int32_t argc,
                    ScriptValue* args, ScriptValue* result) {
  if (number < 0 || number >= g_VM.functionCount || g_VM.functions[number].func == nullptr) {
    return Fail(context, node->position, "Unknown function or script.");
  }
  BuiltinFunctionEntry& entry = g_VM.functions[number];
  SetZero(result);
  entry.callCount = num::WrapAdd32(entry.callCount, 1);
  // The argument accessors name the running built-in in their messages.
  const char* previousName = g_VM.CurrentBuiltinName;
  g_VM.CurrentBuiltinName = entry.name;
  entry.func(result, context->self, context->other, argc, args);
  g_VM.CurrentBuiltinName = previousName;
  // A built-in reports its own run-time errors; they do not change the status.
  return TREE_DONE;
}

// ---- Switch ----

// Case matching: the same kind word, then reals equal as doubles or strings with the same text.
// A string with no text is the empty text (an evaluated "" has none, while a constant label
// keeps its own empty text). Nothing else ever matches.
bool SwitchValuesEqual(const ScriptValue* a, const ScriptValue* b) {
  if (a->kind != b->kind) return false;
  switch (a->Kind()) {
    case VALUE_REAL:
      return a->real == b->real;
    case VALUE_STRING:
      return a->str == b->str || std::strcmp(a->str != nullptr ? a->str : "", b->str != nullptr ? b->str : "") == 0;
    default:
      return false;
  }
}

bool IsSwitchLabel(const CodeNode* node) {
  return node->kind == NODE_CASE || node->kind == NODE_CONSTANT_CASE || node->kind == NODE_DEFAULT;
}

// Whether a label matches the switch value. A case label is evaluated with its errors ignored:
// the code-error flag is put back afterwards, so that a later real error is still recorded.
bool LabelMatches(TreeExecContext* context, const CodeNode* label, const ScriptValue* value) {
  switch (label->kind) {
    case NODE_DEFAULT:
      return true;
    case NODE_CONSTANT_CASE:
      return HasChildren(label, 1) && SwitchValuesEqual(&label->children[0].value, value);
    case NODE_CASE: {
      if (!HasChildren(label, 1)) return false;
      const bool flagBefore = Code_GetErrorFlag();
      Scratch scratch;
      if (TreeEvalExpression(context, &label->children[0], &scratch.v) != TREE_DONE) {
        Code_SetErrorFlag(flagBefore);
        return false;
      }
      return SwitchValuesEqual(&scratch.v, value);
    }
    default:
      return false;
  }
}

// ---- With ----

// The body's status after one of several instances: true to go on with the next one. A break
// ends the with with 0.
bool NextInstance(int32_t* status) {
  if (*status == TREE_DONE || *status == TREE_CONTINUE) return true;
  if (*status == TREE_BREAK) *status = TREE_DONE;
  return false;
}

}  // namespace

// ---- Entry points ----

int32_t TreeExecProgram(TreeExecContext* context, const CodeNode* root, ScriptValue* result) {
  if (root == nullptr || root->kind == NODE_EMPTY_PROGRAM) return TREE_DONE;
  if (root->kind == NODE_BLOCK) return TreeExecBlock(context, root, result);
  return Fail(context, root->position, "This is not a program.");
}

int32_t TreeExecBlock(TreeExecContext* context, const CodeNode* block, ScriptValue* result) {
  for (int32_t i = 0; i < block->childCount; ++i) {
    ReleaseValue(result);
    const int32_t status = TreeExecStatement(context, &block->children[i], result);
    if (status != TREE_DONE) return status;
  }
  return TREE_DONE;
}

int32_t TreeEvalExpression(TreeExecContext* context, const CodeNode* node, ScriptValue* result) {
  switch (node->kind) {
    case NODE_CONSTANT: {
      ReleaseValue(result);
      const ScriptValue& value = node->value;
      if (value.Kind() == VALUE_STRING) {
        // Each evaluation gets its own text; an empty text becomes a string with no text.
        SetString(result, value.str != nullptr && value.str[0] != '\0' ? value.str : nullptr);
        result->kind = value.kind;
      } else {
        CopyValue(result, &value);
      }
      return TREE_DONE;
    }
    case NODE_CALL:
      return TreeExecFunctionCall(context, node, result);
    case NODE_VARIABLE:
    case NODE_SIMPLE_VARIABLE:
      return TreeReadVariable(context, node, result);
    case NODE_UNARY:
      return TreeEvalUnary(context, node, result);
    case NODE_BINARY:
      return TreeEvalBinary(context, node, result);
    default:
      return Fail(context, node->position, "(Sub-)expression expected.");
  }
}

int32_t TreeExecStatement(TreeExecContext* context, const CodeNode* node, ScriptValue* result) {
  switch (node->kind) {
    case NODE_CALL:
      return TreeExecFunctionCall(context, node, result);
    case NODE_EMPTY:
    case NODE_VAR:  // locals come into being at their first assignment
      return TREE_DONE;
    case NODE_GLOBALVAR:
      return TreeExecGlobalVar(context, node);
    case NODE_EXIT:
      return TREE_EXIT;
    case NODE_BREAK:
      return TREE_BREAK;
    case NODE_CONTINUE:
      return TREE_CONTINUE;
    case NODE_RETURN: {
      if (!HasChildren(node, 1)) return Fail(context, node->position, "Statement expected.");
      const int32_t status = TreeEvalExpression(context, &node->children[0], result);
      return status == TREE_DONE ? TREE_EXIT : status;
    }
    case NODE_CASE:
    case NODE_CONSTANT_CASE:  // a case whose label the compiler found constant
      return Fail(context, node->position, "Case statement only allowed inside switch statement.");
    case NODE_DEFAULT:
      return Fail(context, node->position, "Default statement only allowed inside switch statement.");
    case NODE_ASSIGN:
      return TreeExecAssign(context, node, result);
    case NODE_BLOCK:
      return TreeExecBlock(context, node, result);
    case NODE_IF:
      return TreeExecIf(context, node, result);
    case NODE_WHILE:
      return TreeExecWhile(context, node, result);
    case NODE_DO:
      return TreeExecDoUntil(context, node, result);
    case NODE_FOR:
      return TreeExecFor(context, node, result);
    case NODE_REPEAT:
      return TreeExecRepeat(context, node, result);
    case NODE_WITH:
      return TreeExecWith(context, node, result);
    case NODE_SWITCH:
      return TreeExecSwitch(context, node, result);
    default:
      return Fail(context, node->position, "Statement expected.");
  }
}

int32_t TreeRunProgram(CInstance* self, CInstance* other, CCode* code, ScriptValue* result) {
  TreeExecContext context{self, other, nullptr, code};
  const int32_t status = TreeExecProgram(&context, code->m_tree, result);
  delete context.locals;
  return status;
}

int32_t TreeRunExpression(CInstance* self, CInstance* other, CCode* code, ScriptValue* result) {
  if (code->m_tree == nullptr) return TREE_DONE;
  TreeExecContext context{self, other, nullptr, code};
  const int32_t status = TreeEvalExpression(&context, code->m_tree, result);
  delete context.locals;
  return status;
}

// ---- Expressions ----

int32_t TreeExecFunctionCall(TreeExecContext* context, const CodeNode* node, ScriptValue* result) {
  const int32_t argc = node->childCount;
  if (argc > kArgumentSlotCount) {
    return Fail(context, node->position, "Wrong number of arguments to function or script.");
  }
  ArgumentBlock args;
  for (int32_t i = 0; i < argc; ++i) {
    const int32_t status = TreeEvalExpression(context, &node->children[i], &args.v[i]);
    if (status != TREE_DONE) return status;
  }
  const int32_t number = node->operand;
  if (number >= kExtensionCallBase) {
    return CallExtension(context, node, static_cast<int64_t>(number) - kExtensionCallBase, result);
  }
  if (number >= kScriptCallBase) return CallScript(context, node, number, argc, args.v, result);
  return CallBuiltin(context, node, number, argc, args.v, result);
}

int32_t TreeEvalVariableRef(TreeExecContext* context, const CodeNode* node, TreeVariableRef* ref) {
  if (node->kind == NODE_SIMPLE_VARIABLE) {
    *ref = TreeVariableRef{node->instance, node->operand, kWholeValueIndex};
    return TREE_DONE;
  }
  if (node->kind != NODE_VARIABLE || !HasChildren(node, 1)) {
    return Fail(context, node->position, "(Sub-)expression expected.");
  }
  {
    Scratch instance;
    const int32_t status = TreeEvalExpression(context, &node->children[0], &instance.v);
    if (status != TREE_DONE) return status;
    if (instance.v.Kind() != VALUE_REAL) {
      return Fail(context, node->children[0].position, "Wrong type of variable index");
    }
    ref->target = num::RoundInt32(instance.v.real);
  }
  ref->id = node->operand;
  ref->index = kWholeValueIndex;
  if (node->childCount < 2) return TREE_DONE;

  int64_t row = 0;
  int32_t status = EvalArrayIndex(context, &node->children[1], &row);
  if (status != TREE_DONE) return status;
  if (node->childCount < 3) {
    ref->index = static_cast<int32_t>(row);  // row 0, column i
    return TREE_DONE;
  }
  int64_t column = 0;
  status = EvalArrayIndex(context, &node->children[2], &column);
  if (status != TREE_DONE) return status;
  ref->index = static_cast<int32_t>(row * kArrayRowStride + column);  // at most 1,023,999,999
  return TREE_DONE;
}

int32_t TreeReadVariable(TreeExecContext* context, const CodeNode* node, ScriptValue* result) {
  TreeVariableRef ref;
  const int32_t status = TreeEvalVariableRef(context, node, &ref);
  if (status != TREE_DONE) return status;
  SetZero(result);
  if (ReadReference(context, ref, result)) return TREE_DONE;
  SetZero(result);
  if (g_Options.uninitialisedVariables) return TREE_DONE;
  return Fail(context, node->position, UnknownVariableMessage(ref).c_str());
}

int32_t TreeEvalUnary(TreeExecContext* context, const CodeNode* node, ScriptValue* result) {
  if (!HasChildren(node, 1)) return Fail(context, node->position, "(Sub-)expression expected.");
  const CodeNode* operand = &node->children[0];
  const int32_t status = TreeEvalExpression(context, operand, result);
  if (status != TREE_DONE) return status;
  return EvalUnaryOperator(context->code, operand->position, node->operand, result) ? TREE_DONE : TREE_FAILED;
}

int32_t TreeEvalBinary(TreeExecContext* context, const CodeNode* node, ScriptValue* result) {
  if (!HasChildren(node, 2)) return Fail(context, node->position, "(Sub-)expression expected.");
  int32_t status = TreeEvalExpression(context, &node->children[0], result);
  if (status != TREE_DONE) return status;
  Scratch right;
  status = TreeEvalExpression(context, &node->children[1], &right.v);
  if (status != TREE_DONE) return status;
  const bool done = EvalBinaryOperator(context->code, node->children[1].position, node->operand, result, &right.v);
  return done ? TREE_DONE : TREE_FAILED;
}

// ---- Statements ----

int32_t TreeExecAssign(TreeExecContext* context, const CodeNode* node, ScriptValue* result) {
  if (!HasChildren(node, 2)) return Fail(context, node->position, "Statement expected.");
  TreeVariableRef ref;
  int32_t status = TreeEvalVariableRef(context, &node->children[0], &ref);
  if (status != TREE_DONE) return status;
  Scratch value;
  status = TreeEvalExpression(context, &node->children[1], &value.v);
  if (status != TREE_DONE) return status;

  if (node->operand == kPlainAssign) {
    ReleaseValue(result);
    CopyValue(result, &value.v);
  } else {
    SetZero(result);
    if (!ReadReference(context, ref, result)) {
      SetZero(result);
      // With the uninitialised-variable option on, a variable that cannot be read stays unset.
      if (g_Options.uninitialisedVariables) return TREE_DONE;
      return Fail(context, node->position, UnknownVariableMessage(ref).c_str());
    }
    if (!EvalBinaryOperator(context->code, node->position, CompoundOperator(node->operand), result, &value.v)) {
      return TREE_FAILED;
    }
  }
  if (!StoreReference(context, ref, result)) {
    return Fail(context, node->position, "Cannot assign to the variable");
  }
  return TREE_DONE;
}

int32_t TreeExecIf(TreeExecContext* context, const CodeNode* node, ScriptValue* result) {
  if (!HasChildren(node, 2)) return Fail(context, node->position, "Statement expected.");
  const CodeNode* condition = &node->children[0];
  Scratch value;
  const int32_t status = TreeEvalExpression(context, condition, &value.v);
  if (status != TREE_DONE) return status;
  if (value.v.Kind() != VALUE_REAL) return Fail(context, condition->position, "Expression expected");
  if (IfConditionTrue(value.v.real)) return TreeExecStatement(context, &node->children[1], result);
  if (node->childCount >= 3) return TreeExecStatement(context, &node->children[2], result);
  return TREE_DONE;
}

int32_t TreeExecRepeat(TreeExecContext* context, const CodeNode* node, ScriptValue* result) {
  if (!HasChildren(node, 2)) return Fail(context, node->position, "Statement expected.");
  const CodeNode* count = &node->children[0];
  int32_t rounds = 0;
  {
    Scratch value;
    const int32_t status = TreeEvalExpression(context, count, &value.v);
    if (status != TREE_DONE) return status;
    if (value.v.Kind() != VALUE_REAL) return Fail(context, count->position, "Repeat count must be a number");
    rounds = num::RoundInt32(value.v.real);
  }
  for (int32_t round = 0; round < rounds; ++round) {
    const int32_t status = TreeExecStatement(context, &node->children[1], result);
    if (status == TREE_DONE || status == TREE_CONTINUE) continue;
    return status == TREE_BREAK ? TREE_DONE : status;
  }
  return TREE_DONE;
}

int32_t TreeExecWhile(TreeExecContext* context, const CodeNode* node, ScriptValue* result) {
  if (!HasChildren(node, 2)) return Fail(context, node->position, "Statement expected.");
  const CodeNode* condition = &node->children[0];
  Scratch value;
  for (;;) {
    int32_t status = TreeEvalExpression(context, condition, &value.v);
    if (status != TREE_DONE) return status;
    if (value.v.Kind() != VALUE_REAL) return Fail(context, condition->position, "bool expression expected");
    if (!LoopConditionTrue(value.v.real)) return TREE_DONE;
    ReleaseValue(result);
    status = TreeExecStatement(context, &node->children[1], result);
    if (status == TREE_DONE || status == TREE_CONTINUE) continue;
    return status == TREE_BREAK ? TREE_DONE : status;
  }
}

int32_t TreeExecDoUntil(TreeExecContext* context, const CodeNode* node, ScriptValue* result) {
  if (!HasChildren(node, 2)) return Fail(context, node->position, "Statement expected.");
  const CodeNode* condition = &node->children[1];
  Scratch value;
  for (;;) {
    int32_t status = TreeExecStatement(context, &node->children[0], result);
    if (status == TREE_BREAK) return TREE_DONE;
    if (status != TREE_DONE && status != TREE_CONTINUE) return status;
    status = TreeEvalExpression(context, condition, &value.v);
    if (status != TREE_DONE) return status;
    if (value.v.Kind() != VALUE_REAL) return Fail(context, condition->position, "bool expression expected");
    if (LoopConditionTrue(value.v.real)) return TREE_DONE;
  }
}

int32_t TreeExecFor(TreeExecContext* context, const CodeNode* node, ScriptValue* result) {
  if (!HasChildren(node, 4)) return Fail(context, node->position, "Statement expected.");
  const CodeNode* condition = &node->children[1];
  // The init and step statements and the condition share the for statement's own value.
  Scratch scratch;
  int32_t status = TreeExecStatement(context, &node->children[0], &scratch.v);
  if (status != TREE_DONE) return status;
  for (;;) {
    status = TreeEvalExpression(context, condition, &scratch.v);
    if (status != TREE_DONE) return status;
    if (scratch.v.Kind() != VALUE_REAL) return Fail(context, condition->position, "Expression expected");
    if (!LoopConditionTrue(scratch.v.real)) return TREE_DONE;
    status = TreeExecStatement(context, &node->children[3], result);
    if (status == TREE_BREAK) return TREE_DONE;
    if (status != TREE_DONE && status != TREE_CONTINUE) return status;
    status = TreeExecStatement(context, &node->children[2], &scratch.v);
    if (status != TREE_DONE) return status;
  }
}

int32_t TreeExecWithBody(TreeExecContext* context, const CodeNode* body, CInstance* instance, ScriptValue* result) {
  CInstance* const savedSelf = context->self;
  CInstance* const savedOther = context->other;
  context->self = instance;
  context->other = savedSelf;
  const int32_t status = TreeExecStatement(context, body, result);
  context->self = savedSelf;
  context->other = savedOther;
  return status;
}

int32_t TreeExecWith(TreeExecContext* context, const CodeNode* node, ScriptValue* result) {
  if (!HasChildren(node, 2)) return Fail(context, node->position, "Statement expected.");
  const CodeNode* selector = &node->children[0];
  const CodeNode* body = &node->children[1];
  int32_t target = 0;
  {
    Scratch value;
    const int32_t status = TreeEvalExpression(context, selector, &value.v);
    if (status != TREE_DONE) return status;
    if (value.v.Kind() != VALUE_REAL) return Fail(context, selector->position, "Object id expected");
    target = num::RoundInt32(value.v.real);
  }

  // One instance: a continue from its body ends the with like its end.
  auto once = [&](CInstance* instance) {
    const int32_t status = TreeExecWithBody(context, body, instance, result);
    return status == TREE_CONTINUE ? TREE_DONE : status;
  };

  switch (target) {
    case kTargetLocal:
      return Fail(context, node->position, "Cannot use local in with statement.");
    case kTargetGlobal:
      return Fail(context, node->position, "Cannot use global in with statement.");
    case kTargetNoone:
      return TREE_DONE;
    case kTargetOther:
      return once(context->other);
    case kTargetSelf:
    case kTargetNotSpecified:
      return once(context->self);
    default:
      break;
  }
  if (target >= kSelectFirstInstanceId) {
    CInstance* instance = Instance_FindLive(target);
    return instance != nullptr ? once(instance) : TREE_DONE;
  }
  // All instances of the room, or of an object and its descendants (the next instance is taken
  // before the body runs).
  int32_t status = TREE_DONE;
  const bool ranAll = Instance_SelectForTreeWith(target, [&](CInstance* instance) {
    status = TreeExecWithBody(context, body, instance, result);
    return NextInstance(&status);
  });
  return ranAll ? TREE_DONE : status;
}

int32_t TreeExecSwitch(TreeExecContext* context, const CodeNode* node, ScriptValue* result) {
  if (!HasChildren(node, 1)) return Fail(context, node->position, "Statement expected.");
  Scratch value;
  int32_t status = TreeEvalExpression(context, &node->children[0], &value.v);
  if (status != TREE_DONE) return status;

  int32_t match = -1;
  for (int32_t i = 1; i < node->childCount; ++i) {
    if (LabelMatches(context, &node->children[i], &value.v)) {
      match = i;
      break;  // the first default met stops the search too
    }
  }
  if (match < 0) return TREE_DONE;

  // From the matching label on, every statement runs: control falls through later labels.
  for (int32_t i = match + 1; i < node->childCount; ++i) {
    const CodeNode* child = &node->children[i];
    if (IsSwitchLabel(child)) continue;
    status = TreeExecStatement(context, child, result);
    if (status == TREE_BREAK) return TREE_DONE;
    if (status != TREE_DONE) return status;
  }
  return TREE_DONE;
}

int32_t TreeExecGlobalVar(TreeExecContext*, const CodeNode* node) {
  for (int32_t i = 0; i < node->childCount; ++i) DeclareGlobalVariable(node->children[i].operand);
  return TREE_DONE;
}
