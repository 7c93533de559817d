// The one way a table of ours grows: element storage in a memory-manager block, the capacity
// grown by a fixed step where the table has one and by doubling otherwise, and every size that
// cannot be a block (an element count past int32, a byte size past 32 bits) sent to the memory
// manager's out-of-memory path, which is fatal. So no caller checks for overflow or failure.
//
// Grow_Reserve grows a table whose pointer and capacity are fields of its own; GrowArray keeps
// items, count and capacity together. Elements are moved as bytes (trivially copyable types
// only); the slots a block grows into start as zero bytes. Main thread, or the caller's lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "platform/MemoryManager.h"

// The step that doubles the capacity, starting from the table's first capacity.
constexpr int32_t kGrowDoubling = 0;
// The first capacity of a doubling table unless it names another.
constexpr int32_t kGrowFirstCapacity = 8;

// The most bytes one block can hold.
constexpr uint64_t kGrowMostBytes = UINT32_MAX - MemoryManager::kHeaderSize;

// The most elements of `elementSize` bytes (not 0) that one block can hold with an int32 count.
constexpr int64_t Grow_MaxCount(size_t elementSize) {
  const uint64_t byBytes = kGrowMostBytes / elementSize;
  return byBytes < static_cast<uint64_t>(INT32_MAX) ? static_cast<int64_t>(byBytes) : INT32_MAX;
}

// The capacity a table of `capacity` elements grows to so that it holds `need`: with a step
// above 0 the capacity plus as many steps as that takes, otherwise the capacity (`first` when
// the table is empty) doubled until it holds `need`. The answer never passes Grow_MaxCount; a
// need past it is out of memory.
int32_t Grow_NextCapacity(int64_t capacity, int64_t need, size_t elementSize, int32_t step, int32_t first);

// The block reallocated to hold `count` elements of `elementSize` bytes (not 0) (grow only: a
// block already large enough comes back as it is; the bytes added are zero unless `clear` is
// false, for a caller that writes them before it reads them). A count below 0, or one whose byte
// size does not fit a block, is out of memory; byte blocks (texts, streams) may pass the int32
// count. A null block and a count of 0 give null.
inline void* Grow_Resize(void* block, int64_t count, size_t elementSize, bool clear = true) {
  if (count < 0 || static_cast<uint64_t>(count) > kGrowMostBytes / elementSize) OutOfMemoryHandler();
  return MemoryManager::ReAlloc(block, static_cast<uint32_t>(static_cast<uint64_t>(count) * elementSize), __FILE__,
                                __LINE__, clear);
}

// Makes `items` (a block of `capacity` elements, or null and 0) hold at least `need` elements,
// growing by `step` or by doubling from `first` as Grow_NextCapacity says.
template <typename T>
inline void Grow_Reserve(T*& items, int32_t& capacity, int64_t need, int32_t step = kGrowDoubling,
                         int32_t first = kGrowFirstCapacity) {
  static_assert(std::is_trivially_copyable_v<T>, "elements are moved as bytes");
  if (need <= capacity) return;
  const int32_t grown = Grow_NextCapacity(capacity, need, sizeof(T), step, first);
  items = static_cast<T*>(Grow_Resize(items, grown, sizeof(T)));
  capacity = grown;
}

// A table of elements with a count and a capacity. It has no destructor, like the raw fields
// it stands for: Free releases the block (elements that own something are released by the
// caller first), and a table that lives for the whole process keeps its block. Moving a table
// into another frees the target's block first.
template <typename T>
class GrowArray {
  static_assert(std::is_trivially_copyable_v<T>, "elements are moved as bytes");

 public:
  constexpr GrowArray() = default;
  constexpr explicit GrowArray(int32_t step, int32_t first = kGrowFirstCapacity) : m_step(step), m_first(first) {}
  GrowArray(const GrowArray&) = delete;
  GrowArray& operator=(const GrowArray&) = delete;
  GrowArray(GrowArray&& other) noexcept { Take(other); }
  GrowArray& operator=(GrowArray&& other) noexcept {
    if (this != &other) {
      Free();
      Take(other);
    }
    return *this;
  }

  int32_t Count() const { return m_count; }
  int32_t Capacity() const { return m_capacity; }
  T* Data() { return m_items; }
  const T* Data() const { return m_items; }
  T& operator[](int32_t i) { return m_items[i]; }
  const T& operator[](int32_t i) const { return m_items[i]; }

  // Makes room for `need` elements; the count stays.
  void Reserve(int64_t need) { Grow_Reserve(m_items, m_capacity, need, m_step, m_first); }

  // Appends an element of zero bytes and answers it.
  T& Push() {
    Reserve(static_cast<int64_t>(m_count) + 1);
    T& element = m_items[m_count++];
    std::memset(static_cast<void*>(&element), 0, sizeof(T));
    return element;
  }
  // Appends a copy of `value` (which may be an element of this table).
  void Push(const T& value) {
    const T copy = value;
    Reserve(static_cast<int64_t>(m_count) + 1);
    m_items[m_count++] = copy;
  }
  // The count becomes `count`: the elements added are zero bytes, those cut off are forgotten.
  void SetCount(int64_t count) {
    if (count < 0) count = 0;
    Reserve(count);
    if (count > m_count) {
      std::memset(static_cast<void*>(m_items + m_count), 0, sizeof(T) * static_cast<size_t>(count - m_count));
    }
    m_count = static_cast<int32_t>(count);
  }
  // Empties the table and keeps its block.
  void Clear() { m_count = 0; }
  // Empties the table and releases its block.
  void Free() {
    MemoryManager::Free(m_items);
    m_items = nullptr;
    m_count = 0;
    m_capacity = 0;
  }

 private:
  void Take(GrowArray& other) {
    m_items = other.m_items;
    m_count = other.m_count;
    m_capacity = other.m_capacity;
    m_step = other.m_step;
    m_first = other.m_first;
    other.m_items = nullptr;
    other.m_count = 0;
    other.m_capacity = 0;
  }

  T* m_items = nullptr;
  int32_t m_count = 0;
  int32_t m_capacity = 0;
  int32_t m_step = kGrowDoubling;
  int32_t m_first = kGrowFirstCapacity;
};
