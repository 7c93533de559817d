#include "buffer/Buffer_Fast.h"

#include <cstring>

#include "platform/Numeric.h"

Buffer_Fast::Buffer_Fast(int size, int alignment) : IBuffer(size, BUFFER_FAST, alignment) {}

// The block is released by IBuffer's destructor.
Buffer_Fast::~Buffer_Fast() = default;

int Buffer_Fast::Write(int type, const void* value) {
  if (type != BUFFER_U8) return -4;
  const int64_t pos = m_Position;
  if (pos < 0 || pos >= m_Size) return -2;
  m_pData[pos] = static_cast<uint8_t>(static_cast<uint32_t>(num::TruncInt32(Buffer_ValueReal(value))) & 0xFFu);
  m_Position = static_cast<int32_t>(pos + 1);
  return 0;
}

int Buffer_Fast::Read(int type, ScriptValue* out) {
  Buffer_SetOutReal(out, 0.0);
  if (type != BUFFER_U8) return -4;
  const int64_t pos = m_Position;
  if (pos < 0 || pos >= m_Size) return -2;
  Buffer_SetOutReal(out, m_pData[pos]);
  m_Position = static_cast<int32_t>(pos + 1);
  return 0;
}

void Buffer_Fast::Peek(int offset, int type, ScriptValue* out) {
  Buffer_SetOutReal(out, 0.0);
  if (type != BUFFER_U8 || offset < 0 || offset >= m_Size) return;
  Buffer_SetOutReal(out, m_pData[offset]);
}

void Buffer_Fast::Poke(int offset, int type, const void* value) {
  if (type != BUFFER_U8 || offset < 0 || offset >= m_Size) return;
  m_pData[offset] = static_cast<uint8_t>(static_cast<uint32_t>(num::TruncInt32(Buffer_ValueReal(value))) & 0xFFu);
}
