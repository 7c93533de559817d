// Growable arrays of pointers. cARRAY_CLASS owns its elements (length 0 destroys them);
// cARRAY_CLASS_POOL hands out the first free slot again before it grows by its step.
// Every slot an array grows into starts out null.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/GrowArray.h"
#include "platform/MemoryManager.h"

namespace carray_detail {

// Reallocates `items` (grow only) to `n` slots and nulls the slots from `from` to `n`.
template <typename P>
P* Resize(P* items, int32_t from, int32_t n) {
  items = static_cast<P*>(Grow_Resize(items, n, sizeof(P)));
  if (n > from) std::memset(static_cast<void*>(items + from), 0, sizeof(P) * static_cast<size_t>(n - from));
  return items;
}

// The length and items shared by the arrays that grow exactly to the length asked: a length of
// 0 releases the item block, any other length reallocates it (grow only) with new slots zeroed.
// What happens to the elements that fall off the end is each array's own business.
template <typename E>
class ArrayBase {
 public:
  ArrayBase() = default;
  ArrayBase(const ArrayBase&) = delete;
  ArrayBase& operator=(const ArrayBase&) = delete;

  int32_t GetLength() const { return m_length; }
  E& operator[](int32_t i) { return m_items[i]; }
  E* Items() { return m_items; }

 protected:
  void ResizeTo(int32_t n) {
    if (n <= 0) {
      MemoryManager::Free(m_items);
      m_items = nullptr;
      m_length = 0;
      return;
    }
    m_items = Resize(m_items, m_length, n);
    m_length = n;
  }

  // Takes over `other`'s block, leaving `other` empty; this array holds no block then.
  void TakeFrom(ArrayBase& other) {
    m_items = other.m_items;
    m_length = other.m_length;
    other.m_items = nullptr;
    other.m_length = 0;
  }

  int32_t m_length = 0;
  E* m_items = nullptr;
};

}  // namespace carray_detail

template <typename T>
class cARRAY_CLASS : public carray_detail::ArrayBase<T*> {
 public:
  ~cARRAY_CLASS() { SetLength(0); }

  void SetLength(int32_t n) {
    if (n < 0) n = 0;
    if (n == this->m_length) return;
    // Owned elements that fall off the end are destroyed, never left behind.
    for (int32_t i = n; i < this->m_length; ++i) {
      delete this->m_items[i];
      this->m_items[i] = nullptr;
    }
    this->ResizeTo(n);
  }

  T* Get(int32_t i) const { return (i >= 0 && i < this->m_length) ? this->m_items[i] : nullptr; }
};

template <typename T>
class cARRAY_CLASS_POOL {
 public:
  cARRAY_CLASS_POOL(int32_t capacity, int32_t step) : m_capacity(capacity), m_count(0), m_step(step) {
    m_items = capacity > 0 ? MemoryManager::AllocArray<T*>(static_cast<uint32_t>(capacity), __FILE__, __LINE__)
                           : nullptr;
  }
  ~cARRAY_CLASS_POOL() { MemoryManager::Free(m_items); }
  cARRAY_CLASS_POOL(const cARRAY_CLASS_POOL&) = delete;
  cARRAY_CLASS_POOL& operator=(const cARRAY_CLASS_POOL&) = delete;

  // The slot the item went into; -1 when the pool is full and cannot grow (step 0).
  int32_t Add(T* item) {
    for (int32_t i = 0; i < m_count; ++i) {
      if (m_items[i] == nullptr) {
        m_items[i] = item;
        return i;
      }
    }
    if (m_count == m_capacity) {
      if (m_step <= 0) return -1;
      const int32_t grown = Grow_NextCapacity(m_capacity, static_cast<int64_t>(m_count) + 1, sizeof(T*), m_step, 0);
      m_items = carray_detail::Resize(m_items, m_capacity, grown);
      m_capacity = grown;
    }
    m_items[m_count] = item;
    return m_count++;
  }

  // Sets the capacity; no element is destroyed.
  void SetLength(int32_t n) {
    if (n < 0) n = 0;
    if (n == m_capacity) return;
    if (n == 0) {
      MemoryManager::Free(m_items);
      m_items = nullptr;
    } else {
      m_items = carray_detail::Resize(m_items, m_capacity, n);
    }
    m_capacity = n;
    if (m_count > n) m_count = n;
  }

  int32_t Capacity() const { return m_capacity; }
  int32_t Count() const { return m_count; }
  T*& operator[](int32_t i) { return m_items[i]; }
  T* Get(int32_t i) const { return (i >= 0 && i < m_count) ? m_items[i] : nullptr; }

 private:
  int32_t m_capacity;
  int32_t m_count;
  int32_t m_step;
  T** m_items;
};
