// The ordinary buffer: fixed, grow, wrap and vertex buffers. Every operation is IBuffer's.
#pragma once

#include "buffer/IBuffer.h"

class Buffer_Standard : public IBuffer {
 public:
  // `size` zero-filled bytes (a negative size counts as 0). The alignment becomes the smallest
  // power of two not below (alignment & 511), at least 1: so 600 gives 128, and 512 and 1024,
  // whose low nine bits are 0, give 1.
  Buffer_Standard(int size, int kind, int alignment);
  // Over the caller's memory; it is freed with the buffer only when `owns` is set.
  Buffer_Standard(void* memory, int size, int kind, int alignment, bool owns);
  // An empty grow buffer with no block, for loads that grow it.
  Buffer_Standard();
  ~Buffer_Standard() override;
};
