// A growable array of raw memory blocks; the manager's blocks among them are released when the
// array is emptied or they fall off its end. Pointers the manager did not hand out stay alone.
#pragma once

#include "platform/cARRAY_CLASS.h"

template <typename T>
class cARRAY_MEMORY {
 public:
  cARRAY_MEMORY() = default;
  ~cARRAY_MEMORY() { SetLength(0); }
  cARRAY_MEMORY(const cARRAY_MEMORY&) = delete;
  cARRAY_MEMORY& operator=(const cARRAY_MEMORY&) = delete;

  void SetLength(int32_t n) {
    if (n < 0) n = 0;
    for (int32_t i = n; i < m_length; ++i) {
      if (MemoryManager::IsManaged(m_items[i])) MemoryManager::Free(m_items[i]);
      m_items[i] = nullptr;
    }
    if (n == 0) {
      MemoryManager::Free(m_items);
      m_items = nullptr;
      m_length = 0;
      return;
    }
    m_items = carray_detail::Resize(m_items, m_length, n);
    m_length = n;
  }

  void Insert(int32_t index, T element) {
    int32_t old = m_length;
    SetLength(old + 1);
    if (index < 0) index = 0;
    if (index > old) index = old;
    for (int32_t i = old; i > index; --i) m_items[i] = m_items[i - 1];
    m_items[index] = element;
  }

  int32_t GetLength() const { return m_length; }
  T& operator[](int32_t i) { return m_items[i]; }
  T Get(int32_t i) const { return (i >= 0 && i < m_length) ? m_items[i] : nullptr; }

 private:
  int32_t m_length = 0;
  T* m_items = nullptr;
};
