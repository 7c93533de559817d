#include "code/Code_Phase4.h"

#include "code/Code_Error.h"
#include "code/Code_Operator.h"
#include "code/VM_Ops.h"
#include "platform/MemoryManager.h"
#include "platform/GrowArray.h"
#include "platform/Numeric.h"

namespace {

// The ids named by var statements so far in this walk (room for 10,000 at first, doubling), and
// a mark per id, so that finding one does not walk the list.
GrowArray<int32_t> g_LocalIds(kGrowDoubling, 10000);
GrowArray<uint8_t> g_LocalMarks;

// The longest text folding builds at compile time.
constexpr uint64_t kFoldMaxTextLength = 1 << 20;

void AddLocal(int32_t id) {
  if (id < 0) return;
  if (id >= g_LocalMarks.Count()) g_LocalMarks.SetCount(static_cast<int64_t>(id) + 1);
  if (g_LocalMarks[id] != 0) return;
  g_LocalMarks[id] = 1;
  g_LocalIds.Push(id);
}

bool IsLocal(int32_t id) { return id >= 0 && id < g_LocalMarks.Count() && g_LocalMarks[id] != 0; }

// Forgets the ids of the last walk.
void ClearLocals() {
  for (int32_t i = 0; i < g_LocalIds.Count(); ++i) g_LocalMarks[g_LocalIds[i]] = 0;
  g_LocalIds.Clear();
}

// Makes `node` a constant holding `value` (taken over: the caller gives up its payload).
void BecomeConstant(CodeNode* node, ScriptValue* value) {
  const int32_t position = node->position;
  CodeNode_Reset(node, position);
  node->kind = NODE_CONSTANT;
  node->value = *value;
  SetReal(value, 0.0);
}

bool Check(CCode* code, CodeNode* node) {
  for (int32_t i = 0; i < node->childCount; ++i) {
    if (!Check(code, &node->children[i])) return false;
  }

  switch (node->kind) {
    case NODE_VAR:
      for (int32_t i = 0; i < node->childCount; ++i) AddLocal(node->children[i].operand);
      break;

    case NODE_VARIABLE: {
      if (node->childCount < 1) break;
      CodeNode* instance = &node->children[0];
      if (instance->kind != NODE_CONSTANT) break;
      if (instance->value.Kind() == VALUE_REAL && instance->value.real == kNoInstanceGiven && IsLocal(node->operand)) {
        instance->value.real = kLocalInstance;
      }
      if (node->childCount != 1) break;  // indexed: stays a full variable
      if (instance->value.Kind() != VALUE_REAL) {
        Code_SetError(code, instance->position, "Left hand side must be a real value.");
        return false;
      }
      node->kind = NODE_SIMPLE_VARIABLE;
      node->instance = num::RoundInt32(instance->value.real);
      break;
    }

    case NODE_UNARY: {
      if (node->childCount != 1 || node->children[0].kind != NODE_CONSTANT) break;
      ScriptValue value;
      CopyValue(&value, &node->children[0].value);
      if (!EvalUnaryOperator(code, node->children[0].position, node->operand, &value)) {
        ReleaseValue(&value);
        return false;
      }
      BecomeConstant(node, &value);
      break;
    }

    case NODE_BINARY: {
      if (node->childCount != 2 || node->children[0].kind != NODE_CONSTANT || node->children[1].kind != NODE_CONSTANT) {
        break;
      }
      // A long text is left for run time, where it is built only when the code runs; one past
      // the machine's limit is still refused here.
      const uint64_t textLength = BinaryTextLength(node->operand, &node->children[0].value, &node->children[1].value);
      if (textLength > kFoldMaxTextLength && textLength <= static_cast<uint64_t>(kVMMaxTextLength)) break;
      ScriptValue value;
      CopyValue(&value, &node->children[0].value);
      if (!EvalBinaryOperator(code, node->children[1].position, node->operand, &value, &node->children[1].value)) {
        ReleaseValue(&value);
        return false;
      }
      BecomeConstant(node, &value);
      break;
    }

    case NODE_CASE:
      if (node->childCount == 1 && node->children[0].kind == NODE_CONSTANT) node->kind = NODE_CONSTANT_CASE;
      break;

    default:
      break;
  }
  return true;
}

}  // namespace

bool Phase4_Check(CCode* code, CodeNode* root) {
  Code_ClearErrorFlag();
  ClearLocals();
  if (root == nullptr) return true;
  Check(code, root);
  return !Code_GetErrorFlag();
}

void Phase4_FreeLocals() {
  g_LocalIds.Free();
  g_LocalMarks.Free();
}
