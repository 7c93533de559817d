// A byte stream with nothing but the end test: Write, Read, Peek and Poke take type 1 only, with
// no alignment, no used size and no wrap. Everything else is IBuffer's.
#pragma once

#include "buffer/IBuffer.h"

class Buffer_Fast : public IBuffer {
 public:
  Buffer_Fast(int size, int alignment);
  ~Buffer_Fast() override;

  // 0, -4 for a type other than 1, -2 at or past the end.
  int Write(int type, const void* value) override;
  // 0 (out: the byte), -4 for a type other than 1, -2 at or past the end (out: 0).
  int Read(int type, ScriptValue* out) override;
  void Peek(int offset, int type, ScriptValue* out) override;
  void Poke(int offset, int type, const void* value) override;
};
