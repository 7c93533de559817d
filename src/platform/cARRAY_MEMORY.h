// A growable array of raw memory blocks; the manager's blocks among them are released when the
// array is emptied or they fall off its end. Pointers the manager did not hand out stay alone.
// Moving hands the block over; a move assignment first empties the array it assigns to, so a
// record holding arrays is reset by assigning a fresh record.
#pragma once

#include "platform/cARRAY_CLASS.h"

template <typename T>
class cARRAY_MEMORY : public carray_detail::ArrayBase<T> {
 public:
  cARRAY_MEMORY() = default;
  cARRAY_MEMORY(cARRAY_MEMORY&& other) noexcept { this->TakeFrom(other); }
  cARRAY_MEMORY& operator=(cARRAY_MEMORY&& other) noexcept {
    if (this != &other) {
      SetLength(0);
      this->TakeFrom(other);
    }
    return *this;
  }
  ~cARRAY_MEMORY() { SetLength(0); }

  void SetLength(int32_t n) {
    if (n < 0) n = 0;
    for (int32_t i = n; i < this->m_length; ++i) {
      if (MemoryManager::IsManaged(this->m_items[i])) MemoryManager::Free(this->m_items[i]);
      this->m_items[i] = nullptr;
    }
    this->ResizeTo(n);
  }

  void Insert(int32_t index, T element) {
    int32_t old = this->m_length;
    SetLength(old + 1);
    if (index < 0) index = 0;
    if (index > old) index = old;
    for (int32_t i = old; i > index; --i) this->m_items[i] = this->m_items[i - 1];
    this->m_items[index] = element;
  }

  T Get(int32_t i) const { return (i >= 0 && i < this->m_length) ? this->m_items[i] : nullptr; }
};
