#include "platform/GrowArray.h"

int64_t Grow_MaxCount(size_t elementSize) {
  const int64_t byBytes = static_cast<int64_t>((UINT32_MAX - MemoryManager::kHeaderSize) / (elementSize > 0 ? elementSize : 1));
  return byBytes < INT32_MAX ? byBytes : INT32_MAX;
}

int32_t Grow_NextCapacity(int64_t capacity, int64_t need, size_t elementSize, int32_t step, int32_t first) {
  const int64_t most = Grow_MaxCount(elementSize);
  if (need > most) OutOfMemoryHandler();
  if (capacity < 0) capacity = 0;
  int64_t grown;
  if (step > 0) {
    grown = capacity + (need - capacity + step - 1) / step * static_cast<int64_t>(step);
  } else {
    grown = capacity > 0 ? capacity : (first > 0 ? first : 1);
    while (grown < need) grown *= 2;
  }
  return static_cast<int32_t>(grown < most ? grown : most);
}

void* Grow_Resize(void* block, int64_t count, size_t elementSize) {
  // Byte blocks (texts, streams) may pass the int32 count, as far as a block's 32-bit size goes.
  const uint64_t most = (UINT32_MAX - MemoryManager::kHeaderSize) / (elementSize > 0 ? elementSize : 1);
  if (count < 0 || static_cast<uint64_t>(count) > most) OutOfMemoryHandler();
  return MemoryManager::ReAlloc(block, static_cast<uint32_t>(count * static_cast<int64_t>(elementSize)), __FILE__,
                                __LINE__);
}
