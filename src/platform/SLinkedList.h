// A doubly linked list of item pointers; the items are not owned.
#pragma once

#include <cstdint>

#include "platform/MemoryManager.h"

template <typename T>
class SLinkedList {
 public:
  struct Node {
    Node* next;
    Node* prev;
    T* item;
  };

  SLinkedList() = default;
  ~SLinkedList() { Clear(); }
  SLinkedList(const SLinkedList&) = delete;
  SLinkedList& operator=(const SLinkedList&) = delete;

  Node* Add(T* item) {
    ++m_count;
    Node* node = static_cast<Node*>(MemoryManager::Alloc(sizeof(Node), __FILE__, __LINE__, true));
    node->item = item;
    node->prev = m_last;
    if (m_last) m_last->next = node; else m_first = node;
    m_last = node;
    return node;
  }

  bool Remove(T* item) {
    for (Node* n = m_first; n; n = n->next) {
      if (n->item != item) continue;
      if (n->prev) n->prev->next = n->next; else m_first = n->next;
      if (n->next) n->next->prev = n->prev; else m_last = n->prev;
      MemoryManager::Free(n);
      --m_count;
      return true;
    }
    return false;
  }

  // Releases every node; the items are left alone.
  void Clear() {
    for (Node* n = m_first; n;) {
      Node* next = n->next;
      MemoryManager::Free(n);
      n = next;
    }
    m_first = m_last = nullptr;
    m_count = 0;
  }

  Node* First() const { return m_first; }
  Node* Last() const { return m_last; }
  int32_t Count() const { return m_count; }

 private:
  Node* m_first = nullptr;
  Node* m_last = nullptr;
  int32_t m_count = 0;
};
