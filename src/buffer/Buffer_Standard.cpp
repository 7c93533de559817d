#include "buffer/Buffer_Standard.h"

Buffer_Standard::Buffer_Standard(int size, int kind, int alignment) : IBuffer(size, kind, alignment) {}

Buffer_Standard::Buffer_Standard(void* memory, int size, int kind, int alignment, bool owns)
    : IBuffer(memory, size, kind, alignment, owns) {}

Buffer_Standard::Buffer_Standard() : IBuffer() {}

// The block is released by IBuffer's destructor.
Buffer_Standard::~Buffer_Standard() = default;
