// A growable array of borrowed pointers: nothing it holds is destroyed.
#pragma once

#include "platform/cARRAY_CLASS.h"

template <typename T>
class cARRAY_CLASS_NO_DELETE {
 public:
  cARRAY_CLASS_NO_DELETE() = default;
  ~cARRAY_CLASS_NO_DELETE() { SetLength(0); }
  cARRAY_CLASS_NO_DELETE(const cARRAY_CLASS_NO_DELETE&) = delete;
  cARRAY_CLASS_NO_DELETE& operator=(const cARRAY_CLASS_NO_DELETE&) = delete;

  void SetLength(int32_t n) {
    if (n < 0) n = 0;
    if (n == 0) {
      MemoryManager::Free(m_items);
      m_items = nullptr;
      m_length = 0;
      return;
    }
    m_items = carray_detail::Resize(m_items, m_length, n);
    m_length = n;
  }

  int32_t GetLength() const { return m_length; }
  T*& operator[](int32_t i) { return m_items[i]; }
  T* Get(int32_t i) const { return (i >= 0 && i < m_length) ? m_items[i] : nullptr; }

 private:
  int32_t m_length = 0;
  T** m_items = nullptr;
};
