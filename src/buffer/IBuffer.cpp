#include "buffer/IBuffer.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "buffer/Buffer_Fast.h"
#include "buffer/Buffer_Standard.h"
#include "base/ErrorSink.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Texture.h"
#include "platform/GrowArray.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"
#include "support/Base64.h"
#include "support/LoadSave.h"
#include "support/MD5.h"
#include "support/SHA1.h"

namespace {

// ---- Small arithmetic helpers (all in 64 bits) ----

int32_t ClampToInt32(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// a modulo m in 0 .. m-1; m must be positive.
int64_t ModPositive(int64_t a, int64_t m) {
  int64_t r = a % m;
  return r < 0 ? r + m : r;
}

// The smallest power of two not below (requested & 511), at least 1.
int32_t AlignmentFor(int requested) {
  const int32_t want = requested & 511;
  int32_t a = 1;
  while (a < want) a <<= 1;
  return a;
}

// The first address in `raw` that is a multiple of `alignment`.
uint8_t* AlignUp(uint8_t* raw, int32_t alignment) {
  if (raw == nullptr) return nullptr;
  const uintptr_t a = static_cast<uintptr_t>(alignment);
  const uintptr_t skip = (a - reinterpret_cast<uintptr_t>(raw) % a) % a;
  return raw + skip;
}

uint8_t* AllocBytes(int64_t size) {
  return static_cast<uint8_t*>(MemoryManager::Alloc(static_cast<uint32_t>(size), __FILE__, __LINE__, true));
}

// ---- Values ----

uint64_t ValueBits(const void* value) {
  uint64_t v = 0;
  if (value != nullptr) std::memcpy(&v, value, sizeof(v));
  return v;
}

const char* ValueText(const void* value) {
  const char* text = nullptr;
  if (value != nullptr) std::memcpy(&text, value, sizeof(text));
  return text;
}

// Takes ownership of `text` (a MemoryManager block or null).
void SetOutText(ScriptValue* out, char* text) {
  if (out == nullptr) {
    MemoryManager::Free(text);
    return;
  }
  out->str = text;
  out->kind = VALUE_STRING;
}

// ---- Element encoding ----

// An element ready to be stored: fixed-size types in `bytes`, texts pointing at their
// characters.
struct Encoded {
  uint8_t bytes[8];
  const uint8_t* data;
  int64_t size;
};

void PutLE(uint8_t* out, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) out[i] = static_cast<uint8_t>((v >> (8 * i)) & 0xFFu);
}

uint64_t GetLE(const uint8_t* in, int n) {
  uint64_t v = 0;
  for (int i = 0; i < n; ++i) v |= static_cast<uint64_t>(in[i]) << (8 * i);
  return v;
}

// False for a type with no encoding (7 and anything outside 1..13). A null text is written as
// the empty text.
bool Encode(int type, const void* value, Encoded* e) {
  e->data = e->bytes;
  switch (type) {
    case BUFFER_U8:
    case BUFFER_S8:
      PutLE(e->bytes, static_cast<uint32_t>(num::TruncInt32(Buffer_ValueReal(value))), 1);
      e->size = 1;
      return true;
    case BUFFER_U16:
    case BUFFER_S16:
      PutLE(e->bytes, static_cast<uint32_t>(num::TruncInt32(Buffer_ValueReal(value))), 2);
      e->size = 2;
      return true;
    case BUFFER_U32:
      // Through 64 bits, so that -1 stores 0xFFFFFFFF and values up to 2^32-1 keep their bits.
      PutLE(e->bytes, static_cast<uint64_t>(num::TruncInt64(Buffer_ValueReal(value))), 4);
      e->size = 4;
      return true;
    case BUFFER_S32:
      PutLE(e->bytes, static_cast<uint32_t>(num::TruncInt32(Buffer_ValueReal(value))), 4);
      e->size = 4;
      return true;
    case BUFFER_F32: {
      const float f = num::ToFloat(Buffer_ValueReal(value));
      uint32_t bits;
      std::memcpy(&bits, &f, sizeof(bits));
      PutLE(e->bytes, bits, 4);
      e->size = 4;
      return true;
    }
    case BUFFER_F64:
    case BUFFER_U64:
      PutLE(e->bytes, ValueBits(value), 8);
      e->size = 8;
      return true;
    case BUFFER_BOOL:
      e->bytes[0] = num::IsTrueStrict(Buffer_ValueReal(value)) ? 1 : 0;
      e->size = 1;
      return true;
    case BUFFER_STRING:
    case BUFFER_TEXT: {
      const char* text = ValueText(value);
      if (text == nullptr) text = "";
      e->data = reinterpret_cast<const uint8_t*>(text);
      e->size = static_cast<int64_t>(std::strlen(text)) + (type == BUFFER_STRING ? 1 : 0);
      return true;
    }
    default:
      return false;
  }
}

// Decodes a fixed-size element (types 1 to 6, 8 to 10 and 12) into a real.
void Decode(int type, const uint8_t* b, ScriptValue* out) {
  switch (type) {
    case BUFFER_U8:
    case BUFFER_BOOL: Buffer_SetOutReal(out, b[0]); break;
    case BUFFER_S8: {
      int32_t v = b[0];
      Buffer_SetOutReal(out, v >= 0x80 ? v - 0x100 : v);
      break;
    }
    case BUFFER_U16: Buffer_SetOutReal(out, static_cast<double>(GetLE(b, 2))); break;
    case BUFFER_S16: {
      int32_t v = static_cast<int32_t>(GetLE(b, 2));
      Buffer_SetOutReal(out, v >= 0x8000 ? v - 0x10000 : v);
      break;
    }
    case BUFFER_U32: Buffer_SetOutReal(out, static_cast<double>(GetLE(b, 4))); break;
    case BUFFER_S32: {
      int64_t v = static_cast<int64_t>(GetLE(b, 4));
      Buffer_SetOutReal(out, static_cast<double>(v >= 0x80000000LL ? v - 0x100000000LL : v));
      break;
    }
    case BUFFER_F32: {
      const uint32_t bits = static_cast<uint32_t>(GetLE(b, 4));
      float f;
      std::memcpy(&f, &bits, sizeof(f));
      Buffer_SetOutReal(out, f);
      break;
    }
    case BUFFER_F64:
    case BUFFER_U64:
      // The eight bytes go into the payload unchanged.
      if (out != nullptr) {
        out->bits = GetLE(b, 8);
        out->kind = VALUE_REAL;
      }
      break;
    default:
      break;
  }
}

// Frees a temporary block on every way out of a function.
struct TempBlock {
  uint8_t* p = nullptr;
  ~TempBlock() { MemoryManager::Free(p); }
};

// True when `p` lies inside the buffer's raw block (a source that a resize would free).
bool InsideBlock(const IBuffer* b, const void* p) {
  if (b == nullptr || b->m_pRawData == nullptr || p == nullptr) return false;
  const uintptr_t start = reinterpret_cast<uintptr_t>(b->m_pRawData);
  const uintptr_t at = reinterpret_cast<uintptr_t>(p);
  return at >= start && at - start < static_cast<uintptr_t>(b->m_AllocSize);
}

void NoteUsed(IBuffer* b, int64_t end) {
  b->m_UsedSize = static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(b->m_UsedSize, end), b->m_Size));
}

// The rule behind CopyMemoryToBuffer and CopyMemoryRegion. `destBuf` (may be null) is the buffer
// that owns `dest`: it may grow and its used size follows.
int64_t CopyRegion(IBuffer* destBuf, uint8_t* dest, int64_t destLen, const uint8_t* src, int64_t srcLen,
                   int64_t srcOff, int64_t count, int64_t destOff, bool grow, bool destWrap, bool srcWrap) {
  if (src == nullptr || srcLen <= 0) return -1;
  if (count < 0) count = srcLen;

  if (srcWrap) {
    srcOff = ModPositive(srcOff, srcLen);
    if (srcOff + count <= srcLen) srcWrap = false;
  } else {
    srcOff = std::clamp<int64_t>(srcOff, 0, srcLen - 1);
    count = std::min(count, srcLen - srcOff);
  }

  TempBlock copy;
  if (!grow || destBuf == nullptr) {
    if (dest == nullptr || destLen <= 0) return -1;
    if (destWrap) {
      destOff = ModPositive(destOff, destLen);
    } else {
      if (destOff < 0) destOff = 0;
      if (destOff >= destLen) return -1;
      count = std::min(count, destLen - destOff);
    }
  } else {
    if (destOff < 0) destOff = 0;
    if (destOff + count > destLen) {
      const int64_t need = destOff + count;
      if (need > kMaxBufferSize) return -1;
      // The resize frees the old block: a source inside it is copied out first.
      if (InsideBlock(destBuf, src)) {
        copy.p = AllocBytes(srcLen);
        std::memcpy(copy.p, src, static_cast<size_t>(srcLen));
        src = copy.p;
      }
      destBuf->Resize(static_cast<int>(need));
      if (destBuf->m_Size != need) return -1;
      dest = destBuf->m_pData;
      destLen = need;
    }
    if (destWrap) {
      if (destLen <= 0) return -1;
      destOff = ModPositive(destOff, destLen);
    }
  }

  if (!destWrap && !srcWrap) {
    if (count > 0) std::memmove(dest + destOff, src + srcOff, static_cast<size_t>(count));
    const int64_t end = destOff + count;
    if (destBuf != nullptr) NoteUsed(destBuf, end);
    return end;
  }

  // Pieces, each ending at the destination's end, the source's end or the count.
  int64_t left = count;
  while (left > 0) {
    int64_t piece = std::min(left, srcLen - srcOff);
    if (destWrap) piece = std::min(piece, destLen - destOff);
    std::memmove(dest + destOff, src + srcOff, static_cast<size_t>(piece));
    left -= piece;
    destOff += piece;
    srcOff += piece;
    if (destBuf != nullptr) NoteUsed(destBuf, destOff);
    if (destWrap) destOff = ModPositive(destOff, destLen);
    if (srcWrap) srcOff = ModPositive(srcOff, srcLen);
  }
  return destOff;
}

// ---- The buffer table ----

// Buffers by index; the length is also the capacity, and a free slot is null.
struct BufferTable {
  IBuffer** slots = nullptr;
  int32_t length = 0;
};
BufferTable g_buffers;

}  // namespace

int Buffer_TypeSize(int type) {
  switch (type) {
    case BUFFER_U8:
    case BUFFER_S8:
    case BUFFER_BOOL:
      return 1;
    case BUFFER_U16:
    case BUFFER_S16:
    case BUFFER_F16:
      return 2;
    case BUFFER_U32:
    case BUFFER_S32:
    case BUFFER_F32:
      return 4;
    case BUFFER_F64:
    case BUFFER_U64:
      return 8;
    default:
      return 0;
  }
}

// ---- Construction ----

IBuffer::IBuffer(int size, int kind, int alignment)
    : m_pRawData(nullptr),
      m_AllocSize(0),
      m_pData(nullptr),
      m_Size(0),
      m_Alignment(AlignmentFor(alignment)),
      m_Type(kind),
      m_Position(0),
      m_UsedSize(0),
      m_WrapPhase(0),
      m_InUseCount(0),
      m_Scratch{},
      m_OwnsMemory(1) {
  const int64_t bytes = std::clamp<int64_t>(size, 0, kMaxBufferSize);
  const int64_t alloc = bytes + m_Alignment;
  m_pRawData = AllocBytes(alloc);
  m_AllocSize = static_cast<int32_t>(alloc);
  m_pData = AlignUp(m_pRawData, m_Alignment);
  m_Size = static_cast<int32_t>(bytes);
  m_UsedSize = m_Size;
}

IBuffer::IBuffer(void* memory, int size, int kind, int alignment, bool owns)
    : m_pRawData(static_cast<uint8_t*>(memory)),
      m_AllocSize(0),
      m_pData(static_cast<uint8_t*>(memory)),
      m_Size(0),
      m_Alignment(AlignmentFor(alignment)),
      m_Type(kind),
      m_Position(0),
      m_UsedSize(0),
      m_WrapPhase(0),
      m_InUseCount(0),
      m_Scratch{},
      m_OwnsMemory(owns ? 1 : 0) {
  // No memory holds no bytes, whatever size was claimed.
  m_Size = memory != nullptr ? std::max(size, 0) : 0;
  m_AllocSize = m_Size;
  m_UsedSize = m_Size;
}

IBuffer::IBuffer()
    : m_pRawData(nullptr),
      m_AllocSize(0),
      m_pData(nullptr),
      m_Size(0),
      m_Alignment(1),
      m_Type(BUFFER_GROW),
      m_Position(0),
      m_UsedSize(0),
      m_WrapPhase(0),
      m_InUseCount(0),
      m_Scratch{},
      m_OwnsMemory(1) {}

IBuffer::~IBuffer() {
  if (m_OwnsMemory) MemoryManager::Free(m_pRawData);
  m_pRawData = nullptr;
  m_pData = nullptr;
}

// ---- Alignment ----

// Rounds the position up to the next aligned stream offset (the wrap phase counts the bytes
// earlier laps of a wrap buffer put the stream off), then takes a wrap buffer's position round
// its end, moving the phase by each lap.
void IBuffer::AlignPosition() {
  const int64_t a = m_Alignment;
  int64_t phase = ModPositive(m_WrapPhase, a);
  int64_t pos = std::max<int64_t>(m_Position, 0);
  pos = ((pos + phase + a - 1) & ~(a - 1)) - phase;
  const int64_t size = m_Size;
  if (m_Type == BUFFER_WRAP && size > 0 && pos >= size) {
    const int64_t laps = pos / size;
    pos -= laps * size;
    phase = ModPositive(phase + laps * size, a);
  }
  m_Position = ClampToInt32(pos);
  m_WrapPhase = static_cast<int32_t>(phase);
}

// ---- Write and Read ----

int IBuffer::Write(int type, const void* value) {
  AlignPosition();
  const bool wrap = m_Type == BUFFER_WRAP;
  const bool grow = m_Type == BUFFER_GROW;
  int64_t pos = m_Position;
  if (pos >= m_Size && !grow) return -2;  // also every write to a wrap buffer of size 0

  Encoded e;
  if (!Encode(type, value, &e)) return -1;

  // A text that lies inside this buffer would be freed by a resize: it is copied out first.
  TempBlock copy;
  if (pos + e.size > m_Size) {
    if (grow) {
      // Doubling from a size of 0 reaches nothing, so an empty buffer starts at kFirstGrowSize.
      int64_t size = m_Size > 0 ? m_Size : kFirstGrowSize;
      while (size < pos + e.size) size *= 2;
      if (size > kMaxBufferSize) return -2;
      if (InsideBlock(this, e.data)) {
        copy.p = AllocBytes(e.size);
        std::memcpy(copy.p, e.data, static_cast<size_t>(e.size));
        e.data = copy.p;
      }
      Resize(static_cast<int>(size));
      if (m_Size != size) return -2;
    } else if (!wrap) {
      return -2;
    }
  }

  const int64_t size = m_Size;
  if (wrap && type != BUFFER_U8 && type != BUFFER_S8) {
    // Byte by byte, going round the end; each lap moves the phase.
    int64_t phase = m_WrapPhase;
    for (int64_t i = 0; i < e.size; ++i) {
      m_pData[pos] = e.data[i];
      if (++pos == size) {
        pos = 0;
        phase = ModPositive(phase + size, m_Alignment);
      }
    }
    m_WrapPhase = static_cast<int32_t>(phase);
  } else {
    // Bytes of a wrap buffer leave the position at the size when they fill the last byte; the
    // next Write or Read takes it round.
    if (e.size > 0) std::memmove(m_pData + pos, e.data, static_cast<size_t>(e.size));
    pos += e.size;
  }
  m_Position = static_cast<int32_t>(pos);
  NoteWritten(pos);
  return 0;
}

int IBuffer::Read(int type, ScriptValue* out) {
  Buffer_SetOutReal(out, 0.0);
  AlignPosition();
  int64_t pos = m_Position;
  const int64_t size = m_Size;
  if (pos >= size) {
    Buffer_SetOutReal(out, -3.0);
    return 0;
  }

  if (type == BUFFER_STRING || type == BUFFER_TEXT) {
    // Up to the first zero byte before the used size, or to the used size; no wrap for texts.
    const int64_t limit = std::min<int64_t>(m_UsedSize, size);
    int64_t end = pos;
    while (end < limit && m_pData[end] != 0) ++end;
    SetOutText(out, MemoryManager::DuplicateText(reinterpret_cast<const char*>(m_pData + pos), static_cast<size_t>(end - pos)));
    m_Position = ClampToInt32(end + 1);
    return 0;
  }

  const int64_t n = Buffer_TypeSize(type);
  const bool wrap = m_Type == BUFFER_WRAP;
  if (pos + n > size && !wrap) {
    Buffer_SetOutReal(out, -3.0);
    return 0;
  }
  uint8_t bytes[8] = {};
  if (wrap) {
    int64_t phase = m_WrapPhase;
    for (int64_t i = 0; i < n; ++i) {
      bytes[i] = m_pData[pos];
      if (++pos == size) {
        pos = 0;
        phase = ModPositive(phase + size, m_Alignment);
      }
    }
    m_WrapPhase = static_cast<int32_t>(phase);
  } else {
    if (n > 0) std::memcpy(bytes, m_pData + pos, static_cast<size_t>(n));
    pos += n;
  }
  m_Position = static_cast<int32_t>(pos);
  if (type == BUFFER_F16 || n == 0) return -1;
  Decode(type, bytes, out);
  return 0;
}

// ---- Seek, Peek, Poke ----

int IBuffer::Seek(int base, int offset) {
  const int64_t size = m_Size;
  switch (base) {
    case 0:
      m_Position = std::max(offset, 0);
      m_WrapPhase = 0;
      break;
    case 1: {
      int64_t pos = static_cast<int64_t>(m_Position) + offset;
      if (m_Type == BUFFER_WRAP) {
        if (size <= 0) break;  // nothing to go round
        const int64_t a = m_Alignment;
        int64_t phase = m_WrapPhase;
        if (pos < 0) {
          // Each lap back takes size mod alignment off the phase.
          const int64_t laps = (-pos + size - 1) / size;
          pos += laps * size;
          phase = ModPositive(phase - laps * size, a);
        }
        if (pos >= size) {
          const int64_t laps = pos / size;
          pos -= laps * size;
          phase = ModPositive(phase + laps * size, a);
        }
        m_WrapPhase = static_cast<int32_t>(phase);
      } else if (pos < 0) {
        pos = 0;
      }
      m_Position = ClampToInt32(pos);
      break;
    }
    case 2:
      m_Position = static_cast<int32_t>(size - std::clamp<int64_t>(offset, 0, size));
      m_WrapPhase = 0;
      break;
    default:
      break;
  }
  return m_Position;
}

void IBuffer::Peek(int offset, int type, ScriptValue* out) {
  Buffer_SetOutReal(out, 0.0);
  if (offset < 0 || type < BUFFER_U8 || type > BUFFER_BOOL || type == BUFFER_F16) return;
  const int64_t n = Buffer_TypeSize(type);
  const int64_t size = m_Size;
  uint8_t bytes[8] = {};
  if (m_Type == BUFFER_WRAP) {
    if (size <= 0) return;
    const int64_t start = offset % size;
    for (int64_t i = 0; i < n; ++i) bytes[i] = m_pData[(start + i) % size];
  } else {
    if (offset + n > size) return;
    std::memcpy(bytes, m_pData + offset, static_cast<size_t>(n));
  }
  Decode(type, bytes, out);
}

void IBuffer::Poke(int offset, int type, const void* value) {
  if (offset < 0 || type == BUFFER_F16 || type == BUFFER_U64) return;
  Encoded e;
  if (!Encode(type, value, &e)) return;
  const int64_t size = m_Size;
  int64_t at = offset;
  if (m_Type == BUFFER_WRAP) {
    if (size <= 0) return;
    at %= size;
  } else if (at + e.size > size) {
    return;
  }
  PutBytes(at, e.data, e.size);
  NoteWritten(at + e.size);
}

void IBuffer::NoteWritten(int64_t end) { NoteUsed(this, end); }

void IBuffer::PutBytes(int64_t offset, const uint8_t* bytes, int64_t count) {
  if (count <= 0) return;
  const int64_t size = m_Size;
  if (m_Type != BUFFER_WRAP) {
    std::memmove(m_pData + offset, bytes, static_cast<size_t>(count));
    return;
  }
  int64_t at = offset;
  while (count > 0) {
    const int64_t piece = std::min(count, size - at);
    std::memmove(m_pData + at, bytes, static_cast<size_t>(piece));
    bytes += piece;
    count -= piece;
    at = (at + piece) % size;
  }
}

void IBuffer::ZeroBytes(int64_t offset, int64_t count) {
  if (count <= 0) return;
  const int64_t size = m_Size;
  if (m_Type != BUFFER_WRAP) {
    std::memset(m_pData + offset, 0, static_cast<size_t>(count));
    return;
  }
  int64_t at = offset;
  while (count > 0) {
    const int64_t piece = std::min(count, size - at);
    std::memset(m_pData + at, 0, static_cast<size_t>(piece));
    count -= piece;
    at = (at + piece) % size;
  }
}

// ---- Strings through the scratch value ----

int IBuffer::WriteString(const char* text) {
  // A null text goes out as the one-byte string 0x04, which ReadString gives back as null.
  static const char kNullText[] = "\x04";
  m_Scratch.str = const_cast<char*>(text != nullptr ? text : kNullText);
  m_Scratch.kind = VALUE_STRING;
  const int result = Write(BUFFER_STRING, &m_Scratch);
  Buffer_SetOutReal(&m_Scratch, 0.0);  // the text is the caller's: never keep it
  return result;
}

char* IBuffer::ReadString() {
  Read(BUFFER_STRING, &m_Scratch);
  char* text = nullptr;
  if (m_Scratch.Kind() == VALUE_STRING) text = m_Scratch.str;
  Buffer_SetOutReal(&m_Scratch, 0.0);
  if (text != nullptr && text[0] == '\x04' && text[1] == '\0') {
    MemoryManager::Free(text);
    return nullptr;
  }
  return text;
}

// ---- Raw bytes ----

int IBuffer::WriteBytes(const void* source, int size, int count) {
  const int64_t total = static_cast<int64_t>(size) * count;
  if (source == nullptr || total <= 0 || total > kMaxBufferSize) return 0;
  const uint8_t* src = static_cast<const uint8_t*>(source);
  const int64_t bufSize = m_Size;

  if (m_Type == BUFFER_WRAP) {
    if (bufSize <= 0) return 0;
    const int64_t start = ModPositive(m_Position, bufSize);
    PutBytes(start, src, total);
    NoteWritten(start + total);
    m_Position = static_cast<int32_t>((start + total) % bufSize);
    return static_cast<int>(total);
  }

  int64_t pos = std::max<int64_t>(m_Position, 0);
  int64_t n = total;
  if (m_Type == BUFFER_GROW) {
    if (pos + total > bufSize) {
      if (pos + total > kMaxBufferSize) return 0;
      TempBlock copy;
      if (InsideBlock(this, src)) {
        copy.p = AllocBytes(total);
        std::memcpy(copy.p, src, static_cast<size_t>(total));
        src = copy.p;
      }
      Resize(static_cast<int>(pos + total));
      if (m_Size != pos + total) return 0;
      std::memcpy(m_pData + pos, src, static_cast<size_t>(total));
      pos += total;
      m_Position = static_cast<int32_t>(pos);
      NoteWritten(pos);
      return static_cast<int>(total);
    }
  } else {
    if (pos >= bufSize) return 0;
    n = std::min(total, bufSize - pos);
  }
  std::memmove(m_pData + pos, src, static_cast<size_t>(n));
  pos += n;
  m_Position = static_cast<int32_t>(pos);
  NoteWritten(pos);
  return static_cast<int>(n);
}

int IBuffer::ReadBytes(void* target, int size, int count) {
  const int64_t total = static_cast<int64_t>(size) * count;
  if (target == nullptr || total <= 0 || total > kMaxBufferSize) return 0;
  uint8_t* out = static_cast<uint8_t*>(target);
  const int64_t bufSize = m_Size;
  if (bufSize <= 0) return 0;

  if (m_Type == BUFFER_WRAP) {
    int64_t at = ModPositive(m_Position, bufSize);
    int64_t left = total;
    while (left > 0) {
      const int64_t piece = std::min(left, bufSize - at);
      std::memmove(out, m_pData + at, static_cast<size_t>(piece));
      out += piece;
      left -= piece;
      at = (at + piece) % bufSize;
    }
    m_Position = static_cast<int32_t>(at);
    return static_cast<int>(total);
  }

  const int64_t pos = std::max<int64_t>(m_Position, 0);
  if (pos >= bufSize) return 0;
  const int64_t n = std::min(total, bufSize - pos);
  std::memmove(out, m_pData + pos, static_cast<size_t>(n));
  m_Position = static_cast<int32_t>(pos + n);
  return static_cast<int>(n);
}

// ---- Regions ----

bool IBuffer::ExtractRegion(uint8_t** outMemory, int* outSize, int offset, int size, bool wrap) {
  *outMemory = nullptr;
  *outSize = 0;
  const int64_t bufSize = m_Size;
  if (bufSize <= 0) return true;
  int64_t n = size < 0 ? bufSize : size;
  int64_t at;
  if (wrap) {
    at = ModPositive(offset, bufSize);
  } else {
    at = std::clamp<int64_t>(offset, 0, bufSize - 1);
    n = std::min(n, bufSize - at);
  }
  if (n <= 0) return true;
  uint8_t* block = AllocBytes(n);
  uint8_t* out = block;
  int64_t left = n;
  while (left > 0) {
    const int64_t piece = std::min(left, bufSize - at);
    std::memcpy(out, m_pData + at, static_cast<size_t>(piece));
    out += piece;
    left -= piece;
    at = (at + piece) % bufSize;
  }
  *outMemory = block;
  *outSize = static_cast<int>(n);
  return true;
}

bool IBuffer::LoadFromMemory(const void* memory, int length, int srcOffset, int size, int destOffset) {
  CopyMemoryToBuffer(this, memory, length, srcOffset, size, destOffset, m_Type == BUFFER_GROW || m_Size == 0,
                     m_Type == BUFFER_WRAP, false);
  return true;
}

int CopyMemoryToBuffer(IBuffer* dest, const void* src, int srcLength, int srcOffset, int count, int destOffset,
                       bool grow, bool destWrap, bool srcWrap) {
  if (dest == nullptr) return -1;
  return static_cast<int>(CopyRegion(dest, dest->m_pData, dest->m_Size, static_cast<const uint8_t*>(src), srcLength,
                                     srcOffset, count, destOffset, grow, destWrap, srcWrap));
}

int CopyMemoryRegion(void* dest, int destLength, const void* src, int srcLength, int srcOffset, int count,
                     int destOffset, bool destWrap, bool srcWrap) {
  if (dest == nullptr) return -1;
  return static_cast<int>(CopyRegion(nullptr, static_cast<uint8_t*>(dest), destLength,
                                     static_cast<const uint8_t*>(src), srcLength, srcOffset, count, destOffset,
                                     false, destWrap, srcWrap));
}

void IBuffer::Copy(int srcOffset, int size, IBuffer* dest, int destOffset) {
  if (dest == nullptr) return;
  CopyMemoryToBuffer(dest, m_pData, m_Size, srcOffset, size, destOffset,
                     dest->m_Type == BUFFER_GROW || dest->m_Size == 0, dest->m_Type == BUFFER_WRAP,
                     m_Type == BUFFER_WRAP);
}

// ---- Files ----

bool IBuffer::Save(const char* name, int offset, int size) {
  if (name == nullptr) return false;
  uint8_t* bytes = nullptr;
  int length = 0;
  ExtractRegion(&bytes, &length, offset, size, false);
  const bool ok = LoadSave_WriteSaveFile(name, bytes, length);
  MemoryManager::Free(bytes);
  return ok;
}

bool IBuffer::Load(const char* name, int srcOffset, int size, int destOffset) {
  if (name == nullptr) return false;
  if (std::strncmp(name, "http://", 7) == 0 || std::strncmp(name, "https://", 8) == 0) return false;
  int length = 0;
  void* bytes = nullptr;
  if (LoadSave_SaveFileExists(name)) {
    bytes = LoadSave_ReadSaveFile(name, &length);
  } else if (LoadSave_GameFileExists(name)) {
    bytes = LoadSave_ReadGameFile(name, &length);
  } else {
    return false;
  }
  // A file that could not be read after all is no success.
  if (bytes == nullptr) return false;
  LoadFromMemory(bytes, length, srcOffset, size, destOffset);
  MemoryManager::Free(bytes);
  return true;
}

// ---- Encodings and digests ----

void IBuffer::Base64Encode(ScriptValue* out, int offset, int size) {
  uint8_t* bytes = nullptr;
  int length = 0;
  ExtractRegion(&bytes, &length, offset, size, false);
  char* text = static_cast<char*>(
      MemoryManager::Alloc(static_cast<uint32_t>(Base64EncodedSize(static_cast<uint64_t>(length))), __FILE__,
                           __LINE__, true));
  ::Base64Encode(bytes, static_cast<size_t>(length), text);
  MemoryManager::Free(bytes);
  SetOutText(out, text);
}

bool IBuffer::Base64Decode(const char* text, int destOffset, int size) {
  if (text == nullptr) return false;
  // Room for every byte the text can give, and a few zero bytes after them.
  const int64_t room = 3 * static_cast<int64_t>(std::strlen(text)) / 4 + 4;
  if (room > kMaxBufferSize) return false;
  uint8_t* block = AllocBytes(room);
  ::Base64Decode(text, room, block, false);
  LoadFromMemory(block, static_cast<int>(room), 0, size, destOffset);
  MemoryManager::Free(block);
  return true;
}

void IBuffer::Md5(ScriptValue* out, int offset, int size) { Digest(out, offset, size, false); }

void IBuffer::Sha1(ScriptValue* out, int offset, int size) { Digest(out, offset, size, true); }

// The digest of a region as lower-case hex. A wrap buffer's region starts at the offset taken
// modulo the size and runs round the end for as many bytes as asked; other regions are clamped
// into the buffer. A buffer of size 0 gives a string value with no text.
void IBuffer::Digest(ScriptValue* out, int offset, int size, bool sha1) {
  SetOutText(out, nullptr);
  const int64_t bufSize = m_Size;
  if (bufSize <= 0) return;
  int64_t n = size < 0 ? bufSize : size;
  int64_t at;
  if (m_Type == BUFFER_WRAP) {
    at = ModPositive(offset, bufSize);
  } else {
    at = std::clamp<int64_t>(offset, 0, bufSize - 1);
    n = std::min(n, bufSize - at);
  }

  MD5Context md5;
  SHA1Context sha;
  if (sha1) {
    SHA1_Reset(&sha);
  } else {
    MD5_Init(&md5);
  }
  while (n > 0) {
    const int64_t piece = std::min(n, bufSize - at);
    if (sha1) {
      SHA1_Input(&sha, m_pData + at, static_cast<size_t>(piece));
    } else {
      MD5_Update(&md5, m_pData + at, static_cast<size_t>(piece));
    }
    n -= piece;
    at = (at + piece) % bufSize;
  }
  if (sha1) {
    SHA1_Result(&sha);
    SetOutText(out, MemoryManager::DuplicateText(SHA1DigestHex(sha).c_str()));
  } else {
    MD5_Final(&md5);
    SetOutText(out, MemoryManager::DuplicateText(MD5DigestHex(md5).c_str()));
  }
}

// ---- Size and contents ----

void IBuffer::Resize(int newSize) {
  if (newSize < 0 || newSize > kMaxBufferSize) return;
  const int64_t size = newSize;
  const int64_t alloc = size + m_Alignment;
  uint8_t* raw = AllocBytes(alloc);
  uint8_t* data = AlignUp(raw, m_Alignment);
  const int64_t keep = std::min<int64_t>(m_Size, size);
  if (keep > 0) std::memcpy(data, m_pData, static_cast<size_t>(keep));
  // Memory the buffer was only lent stays with its owner; the new block is the buffer's own.
  if (m_OwnsMemory) MemoryManager::Free(m_pRawData);
  m_pRawData = raw;
  m_AllocSize = static_cast<int32_t>(alloc);
  m_pData = data;
  m_Size = newSize;
  m_OwnsMemory = 1;
  if (m_Position >= newSize) {
    m_Position = 0;
    m_WrapPhase = 0;
  }
  m_UsedSize = std::min(std::max(m_UsedSize, m_Position), newSize);
}

void IBuffer::Fill(int offset, int size, int type, const void* value, int stride, bool zeroGaps) {
  const int64_t bufSize = m_Size;
  if (bufSize <= 0 || type == BUFFER_F16 || type == BUFFER_U64) return;
  Encoded e;
  if (!Encode(type, value, &e)) return;

  const bool wrap = m_Type == BUFFER_WRAP;
  int64_t region = size < 0 ? bufSize : size;
  int64_t start;
  if (wrap) {
    start = ModPositive(offset, bufSize);
  } else {
    if (offset < 0 || offset >= bufSize) return;
    start = offset;
    region = std::min(region, bufSize - start);
  }
  // A value longer than the stride is cut to it. An empty value (the empty text) fills nothing.
  const int64_t valueLen = stride > 0 ? std::min<int64_t>(e.size, stride) : e.size;
  if (valueLen <= 0 || region <= 0) return;

  const int64_t a = m_Alignment;
  auto at = [&](int64_t r) { return wrap ? (start + r) % bufSize : start + r; };
  auto zero = [&](int64_t r, int64_t n) {
    if (!zeroGaps || n <= 0) return;
    ZeroBytes(at(r), n);
    NoteWritten(wrap && at(r) + n > bufSize ? bufSize : at(r) + n);
  };

  // One byte in every place: one run of bytes instead of a slot at a time.
  if (valueLen == 1 && (stride == 1 || (stride <= 0 && a == 1))) {
    for (int64_t r = 0; r < region;) {
      const int64_t piece = std::min(region - r, bufSize - at(r));
      std::memset(m_pData + at(r), e.data[0], static_cast<size_t>(piece));
      NoteWritten(at(r) + piece);
      r += piece;
    }
    return;
  }

  int64_t r = 0;
  if (stride <= 0 && start % a != 0) {
    // Up to the first multiple of the alignment is a gap.
    const int64_t gap = std::min(a - start % a, region);
    zero(0, gap);
    r = gap;
  }
  while (r < region) {
    if (r + valueLen > region) {
      // The rest is shorter than one value: the fill ends here, the rest counting as a gap.
      zero(r, region - r);
      break;
    }
    PutBytes(at(r), e.data, valueLen);
    NoteWritten(wrap && at(r) + valueLen > bufSize ? bufSize : at(r) + valueLen);
    const int64_t next =
        stride > 0 ? r + stride : ((start + r + valueLen + a - 1) & ~(a - 1)) - start;
    const int64_t gapEnd = std::min(next, region);
    zero(r + valueLen, gapEnd - (r + valueLen));
    r = next;
  }
}

// The surface's pixels (blue, green, red, alpha, as its texture stores them), row r from the top
// at offset + r x (4W + row padding). Nothing is copied unless every row lies wholly inside the
// buffer: a negative offset, or a negative padding walking the rows back before the start, copies
// nothing either. The mode is not used and the position does not move.
void IBuffer::GetSurface(int surfaceId, int, int offset, int rowPadding) {
  if (!GR_Surface_Exists(surfaceId)) return;
  const int32_t width = GR_Surface_GetWidth(surfaceId), height = GR_Surface_GetHeight(surfaceId);
  if (width <= 0 || height <= 0) return;
  const int64_t rowBytes = 4 * static_cast<int64_t>(width);
  const int64_t stride = rowBytes + rowPadding;
  const int64_t last = offset + (height - 1) * stride;
  if (std::min<int64_t>(offset, last) < 0 || std::max<int64_t>(offset, last) + rowBytes > m_Size) return;
  uint8_t* pixels = ReadTexturePixels(GR_Texture_GetHardware(GR_Surface_GetTexture(surfaceId)), 0, 0, width, height);
  if (pixels == nullptr) return;
  for (int32_t r = 0; r < height; ++r) {
    std::memcpy(m_pData + offset + r * stride, pixels + r * rowBytes, static_cast<size_t>(rowBytes));
  }
  MemoryManager::Free(pixels);
}

// ---- The buffer table ----

int AllocBufferSlot() {
  for (int32_t i = 0; i < g_buffers.length; ++i) {
    if (g_buffers.slots[i] == nullptr) return i;
  }
  const int32_t first = g_buffers.length;
  // The table's length doubles from 32; the slots it grows into are null.
  Grow_Reserve(g_buffers.slots, g_buffers.length, static_cast<int64_t>(first) + 1, kGrowDoubling, 32);
  return first;
}

IBuffer* GetBuffer(int index) {
  if (index < 0 || index >= g_buffers.length) return nullptr;
  return g_buffers.slots[index];
}

int GetBufferTableLength() { return g_buffers.length; }

int CreateBuffer(int size, int kind, int alignment) {
  IBuffer* buffer;
  switch (kind) {
    case BUFFER_FIXED:
    case BUFFER_GROW:
    case BUFFER_WRAP:
    case BUFFER_VBUFFER:
      buffer = new Buffer_Standard(size, kind, alignment);
      break;
    case BUFFER_FAST:
      buffer = new Buffer_Fast(size, alignment);
      break;
    default:
      FatalError("Unknown buffer type, should be one of buffer_fixed, buffer_grow, buffer_wrap, buffer_fast, "
                 "buffer_vbuffer");
      return -1;
  }
  const int index = AllocBufferSlot();
  g_buffers.slots[index] = buffer;
  return index;
}

int CreateBufferFromMemory(void* memory, int size, bool owns) {
  IBuffer* buffer = new Buffer_Standard(memory, size, BUFFER_FIXED, 1, owns);
  const int index = AllocBufferSlot();
  g_buffers.slots[index] = buffer;
  return index;
}

void DeleteBuffer(int index) {
  IBuffer* buffer = GetBuffer(index);
  if (buffer == nullptr) return;
  g_buffers.slots[index] = nullptr;
  delete buffer;
}

void Buffer_FreeAll() {
  for (int32_t i = 0; i < g_buffers.length; ++i) delete g_buffers.slots[i];
  MemoryManager::Free(g_buffers.slots);
  g_buffers = BufferTable{};
}
