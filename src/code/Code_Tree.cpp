#include "code/Code_Tree.h"

#include <cstring>

#include "platform/GrowArray.h"
#include "platform/MemoryManager.h"

namespace {

void FreeChildren(CodeNode* node) {
  for (int32_t i = 0; i < node->childCount; ++i) CodeNode_Release(&node->children[i]);
  MemoryManager::Free(node->children);
  node->children = nullptr;
  node->childCount = 0;
}

}  // namespace

void CodeNode_Reset(CodeNode* node, int32_t position) {
  // The value is released whether or not the node had children, so that a node reset after
  // holding a constant does not keep its text or array.
  FreeChildren(node);
  ReleaseValue(&node->value);
  node->kind = NODE_EMPTY;
  node->childCount = 0;
  node->children = nullptr;
  node->position = position;
}

void CodeNode_Copy(CodeNode* dst, const CodeNode* src) {
  if (dst == src) return;
  // The copy is made aside first, so that a source inside the target's own subtree survives
  // the target's release.
  CodeNode copy;
  std::memset(static_cast<void*>(&copy), 0, sizeof(CodeNode));
  copy.kind = src->kind;
  copy.operand = src->operand;
  copy.instance = src->instance;
  copy.position = src->position;
  if (src->childCount > 0) {
    copy.children = MemoryManager::AllocArray<CodeNode>(static_cast<uint32_t>(src->childCount), __FILE__, __LINE__);
    copy.childCount = src->childCount;
    for (int32_t i = 0; i < src->childCount; ++i) CodeNode_Copy(&copy.children[i], &src->children[i]);
  }
  CopyValue(&copy.value, &src->value);
  CodeNode_Release(dst);
  std::memcpy(static_cast<void*>(dst), &copy, sizeof(CodeNode));
}

void CodeNode_Release(CodeNode* node) {
  if (node == nullptr) return;
  FreeChildren(node);
  ReleaseValue(&node->value);
  node->kind = NODE_EMPTY;
}

CodeNode* CodeNode_New() {
  CodeNode* node = static_cast<CodeNode*>(MemoryManager::Alloc(sizeof(CodeNode), __FILE__, __LINE__, true));
  node->kind = NODE_EMPTY_PROGRAM;
  return node;
}

void CodeNode_Delete(CodeNode* node) {
  if (node == nullptr) return;
  CodeNode_Release(node);
  MemoryManager::Free(node);
}

CodeNode* CodeNode_AddChild(CodeNode* parent, int32_t position) {
  // The block's size tells how many children fit; it doubles from 4 when full.
  int32_t capacity = static_cast<int32_t>(static_cast<uint64_t>(MemoryManager::GetSize(parent->children)) / sizeof(CodeNode));
  Grow_Reserve(parent->children, capacity, static_cast<int64_t>(parent->childCount) + 1, kGrowDoubling, 4);
  CodeNode* child = &parent->children[parent->childCount++];
  std::memset(static_cast<void*>(child), 0, sizeof(CodeNode));
  child->kind = NODE_EMPTY;
  child->position = position;
  return child;
}
