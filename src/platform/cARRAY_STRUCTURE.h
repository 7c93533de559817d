// A growable array of plain records held by value; nothing is constructed or destroyed.
// Records the array grows into start out as zero bytes.
#pragma once

#include <type_traits>

#include "platform/cARRAY_CLASS.h"

template <typename T>
class cARRAY_STRUCTURE {
  static_assert(std::is_trivially_copyable_v<T>, "records are plain memory");

 public:
  cARRAY_STRUCTURE() = default;
  ~cARRAY_STRUCTURE() { SetLength(0); }
  cARRAY_STRUCTURE(const cARRAY_STRUCTURE&) = delete;
  cARRAY_STRUCTURE& operator=(const cARRAY_STRUCTURE&) = delete;

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
  T& operator[](int32_t i) { return m_items[i]; }
  T* Items() { return m_items; }

 private:
  int32_t m_length = 0;
  T* m_items = nullptr;
};
