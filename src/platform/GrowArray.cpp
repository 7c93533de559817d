#include "platform/GrowArray.h"

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
