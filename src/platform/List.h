// A growable array of item pointers that holds each item at most once (32 slots, doubling).
#pragma once

#include <cstdint>

#include "platform/GrowArray.h"
#include "platform/MemoryManager.h"

template <typename T>
class List {
 public:
  List() : m_capacity(32), m_count(0) {
    m_items = MemoryManager::AllocArray<T*>(32, __FILE__, __LINE__);
  }
  ~List() {
    MemoryManager::Free(m_items);
    m_items = nullptr;
    m_capacity = 0;
    m_count = 0;
  }
  List(const List&) = delete;
  List& operator=(const List&) = delete;

  // The item's index: its old one when it is already held, else the new last one.
  int32_t Add(T* item) {
    if (m_count == m_capacity) Grow_Reserve(m_items, m_capacity, static_cast<int64_t>(m_count) + 1);
    for (int32_t i = 0; i < m_count; ++i) {
      if (m_items[i] == item) return i;
    }
    m_items[m_count] = item;
    return m_count++;
  }

  T* Get(int32_t index) const {
    return (index >= 0 && index < m_count) ? m_items[index] : nullptr;
  }
  // Empties the list for reuse; the array and capacity stay.
  void Reset() { m_count = 0; }

  int32_t Count() const { return m_count; }
  int32_t Capacity() const { return m_capacity; }

 private:
  T** m_items;
  int32_t m_capacity;
  int32_t m_count;
};
