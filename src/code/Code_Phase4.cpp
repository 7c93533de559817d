#include "code/Code_Phase4.h"

#include "code/Code_Error.h"
#include "code/Code_Operator.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"

namespace {

// The ids named by var statements so far in this walk.
struct LocalIdList {
  int32_t* ids = nullptr;
  int32_t count = 0;
  int32_t capacity = 0;
};
LocalIdList g_locals;

constexpr int32_t kLocalListStart = 10000;

void AddLocal(int32_t id) {
  if (g_locals.count >= g_locals.capacity) {
    const int64_t capacity = g_locals.capacity == 0 ? kLocalListStart : static_cast<int64_t>(g_locals.capacity) * 2;
    const uint64_t bytes = static_cast<uint64_t>(capacity) * sizeof(int32_t);
    if (capacity > INT32_MAX || bytes > UINT32_MAX - MemoryManager::kHeaderSize) OutOfMemoryHandler();
    g_locals.ids = static_cast<int32_t*>(MemoryManager::ReAlloc(g_locals.ids, static_cast<uint32_t>(bytes), __FILE__, __LINE__));
    g_locals.capacity = static_cast<int32_t>(capacity);
  }
  g_locals.ids[g_locals.count++] = id;
}

bool IsLocal(int32_t id) {
  for (int32_t i = 0; i < g_locals.count; ++i) {
    if (g_locals.ids[i] == id) return true;
  }
  return false;
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
  g_locals.count = 0;
  if (root == nullptr) return true;
  Check(code, root);
  return !Code_GetErrorFlag();
}

void Phase4_FreeLocals() {
  MemoryManager::Free(g_locals.ids);
  g_locals = LocalIdList{};
}
