#include "support/CStream.h"

#include "support/LoadSave.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "base/VCL.h"
#include "platform/GrowArray.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"

namespace {

constexpr int64_t kMaxStreamSize = std::numeric_limits<int32_t>::max();
constexpr uint32_t kZChunk = 16384;
// zlib only compares the first digit of the version it is given with its own.
constexpr const char* kZlibVersion = "1.2.3";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

CStream::CStream(int32_t initialSize) {
  if (initialSize > 0) {
    m_size = initialSize;
    m_data = static_cast<uint8_t*>(
        MemoryManager::Alloc(static_cast<uint32_t>(initialSize), __FILE__, __LINE__, true));
  }
}

CStream::~CStream() { ReleaseData(); }

void CStream::LoadFromFile(const char* fileName, int32_t skip) {
  ReleaseData();
  int length = 0;
  void* bytes = nullptr;
  if (LoadSave_SaveFileExists(fileName)) {
    bytes = LoadSave_ReadSaveFile(fileName, &length);
  } else if (LoadSave_GameFileExists(fileName)) {
    bytes = LoadSave_ReadGameFile(fileName, &length);
  }
  if (bytes == nullptr) return;
  if (skip < 0) skip = 0;
  if (length > skip) {
    int64_t n = static_cast<int64_t>(length) - skip;
    m_data = static_cast<uint8_t*>(MemoryManager::Alloc(static_cast<uint32_t>(n), __FILE__, __LINE__, false));
    std::memcpy(m_data, static_cast<const uint8_t*>(bytes) + skip, static_cast<size_t>(n));
    m_size = n;
  }
  MemoryManager::Free(bytes);
}

void CStream::Delete(CStream* stream) { delete stream; }

void CStream::ReleaseData() {
  if (m_borrowed == 0) MemoryManager::Free(m_data);
  m_data = nullptr;
  m_borrowed = 0;
  m_size = 0;
}

// A window turns into a stream of its own with a copy of the bytes it showed, so that it can be
// written, grown and released without touching the other stream.
void CStream::MakeOwned() {
  if (m_borrowed == 0) return;
  uint8_t* own = nullptr;
  if (m_size > 0) {
    own = static_cast<uint8_t*>(
        MemoryManager::Alloc(static_cast<uint32_t>(m_size), __FILE__, __LINE__, false));
    std::memcpy(own, m_data, static_cast<size_t>(m_size));
  }
  m_data = own;
  m_borrowed = 0;
}

// The bytes a read may take from the position; none when the position lies outside the data.
int64_t CStream::Remaining() const {
  if (m_position < 0 || m_position >= m_size) return 0;
  return m_size - m_position;
}

// Makes sure n bytes fit at the position: the size becomes the larger of twice the size and
// position + n, with the new bytes zero. A window cannot grow, and nothing is written before
// the start.
bool CStream::MakeRoom(int64_t n) {
  if (m_position < 0) return false;
  if (m_size - m_position >= n) return true;
  if (m_borrowed != 0) return false;
  int64_t grown = std::max(2 * m_size, m_position + n);
  if (grown > kMaxStreamSize) OutOfMemoryHandler();
  m_data = static_cast<uint8_t*>(Grow_Resize(m_data, grown, 1));
  // A block kept from a larger past may still hold old bytes beyond the size.
  std::memset(m_data + m_size, 0, static_cast<size_t>(grown - m_size));
  m_size = grown;
  return true;
}

int32_t CStream::Seek(int32_t offset, int32_t origin) {
  switch (static_cast<uint16_t>(origin)) {
    case 0:
      m_position = offset;
      break;
    case 1:
      m_position = num::WrapAdd32(static_cast<int32_t>(m_position), offset);
      break;
    case 2:
      m_position = num::WrapAdd32(static_cast<int32_t>(m_size), offset);
      break;
    default:
      break;
  }
  return static_cast<int32_t>(m_position);
}

int32_t CStream::ReadBuffer(void* destination, int32_t n) {
  if (destination == nullptr || n <= 0) return 0;
  int64_t count = std::min<int64_t>(n, Remaining());
  if (count <= 0) return 0;
  std::memcpy(destination, m_data + m_position, static_cast<size_t>(count));
  m_position += count;
  return static_cast<int32_t>(count);
}

int32_t CStream::WriteBuffer(const void* source, int32_t n) {
  if (source == nullptr || n <= 0) return 0;
  // The bytes may come from this stream itself; growing moves the block, so find them again.
  const uintptr_t from = reinterpret_cast<uintptr_t>(source);
  const uintptr_t base = reinterpret_cast<uintptr_t>(m_data);
  const bool inside = m_data != nullptr && from >= base && from - base < static_cast<uint64_t>(m_size);
  if (!MakeRoom(n)) return 0;
  const uint8_t* bytes = inside ? m_data + (from - base) : static_cast<const uint8_t*>(source);
  std::memmove(m_data + m_position, bytes, static_cast<size_t>(n));
  m_position += n;
  return n;
}

namespace {
// Reads `width` bytes at the position into `out` (zero beyond the size) and advances by the full
// width; false, with nothing moved, when the position is not inside the data.
template <typename T>
bool ReadFixed(const uint8_t* data, int64_t size, int64_t& position, T& out) {
  if (position < 0 || position >= size) return false;
  uint8_t bytes[sizeof(T)] = {};
  std::memcpy(bytes, data + position, static_cast<size_t>(std::min<int64_t>(sizeof(T), size - position)));
  std::memcpy(&out, bytes, sizeof(T));
  position = num::WrapAdd32(static_cast<int32_t>(position), static_cast<int32_t>(sizeof(T)));
  return true;
}
}  // namespace

int32_t CStream::ReadInteger() {
  int32_t value = 0;
  return ReadFixed(m_data, m_size, m_position, value) ? value : 0;
}

double CStream::ReadReal() {
  double value = 0.0;
  return ReadFixed(m_data, m_size, m_position, value) ? value : 0.0;
}

bool CStream::ReadBoolean() { return ReadInteger() != 0; }

void CStream::WriteInteger(int32_t value) { WriteBuffer(&value, sizeof(value)); }

void CStream::WriteReal(double value) { WriteBuffer(&value, sizeof(value)); }

void CStream::WriteBoolean(bool value) { WriteInteger(value ? 1 : 0); }

char* CStream::ReadStringNew() {
  // The length takes whatever is left of its 4 bytes; missing bytes count as zero.
  uint8_t lengthBytes[4] = {};
  ReadBuffer(lengthBytes, sizeof(lengthBytes));
  int32_t length;
  std::memcpy(&length, lengthBytes, sizeof(length));
  if (length <= 0) return nullptr;
  int64_t count = std::min<int64_t>(length, Remaining());
  char* text = static_cast<char*>(
      MemoryManager::Alloc(static_cast<uint32_t>(count + 1), __FILE__, __LINE__, true));
  ReadBuffer(text, static_cast<int32_t>(count));
  return text;
}

void CStream::ReadString(char** out) {
  char* text = ReadStringNew();
  if (out != nullptr) {
    *out = text;
  } else {
    MemoryManager::Free(text);
  }
}

void CStream::WriteString(const char* text) {
  int32_t length = text != nullptr ? static_cast<int32_t>(std::strlen(text)) : 0;
  WriteInteger(length);
  WriteBuffer(text, length);
}

char* CStream::WriteHexNew() const {
  int64_t count = std::min(m_position, m_size);
  if (count <= 0) return nullptr;
  static const char kDigits[] = "0123456789ABCDEF";
  char* text = static_cast<char*>(
      MemoryManager::Alloc(static_cast<uint32_t>(2 * count + 1), __FILE__, __LINE__, true));
  for (int64_t i = 0; i < count; ++i) {
    text[2 * i] = kDigits[m_data[i] >> 4];
    text[2 * i + 1] = kDigits[m_data[i] & 0x0F];
  }
  return text;
}

void CStream::WriteHex(char** out) const {
  char* text = WriteHexNew();
  if (out != nullptr) {
    *out = text;
  } else {
    MemoryManager::Free(text);
  }
}

void CStream::ReadHex(const char* text) {
  if (text == nullptr) return;
  const size_t length = std::strlen(text);
  if (length == 0) return;
  // Only pairs of two hex digits count; a last odd character never does.
  int64_t pairs = 0;
  for (size_t i = 0; i + 1 < length; i += 2) {
    if (HexValue(text[i]) >= 0 && HexValue(text[i + 1]) >= 0) ++pairs;
  }
  if (pairs > kMaxStreamSize) OutOfMemoryHandler();
  if (m_borrowed != 0) {
    // The new contents go into a block of our own; the window's bytes stay with their owner.
    m_data = nullptr;
    m_borrowed = 0;
  }
  if (pairs > 0) {
    m_data = static_cast<uint8_t*>(Grow_Resize(m_data, pairs, 1));
  }
  m_size = pairs;
  m_position = 0;
  int64_t k = 0;
  for (size_t i = 0; i + 1 < length; i += 2) {
    int high = HexValue(text[i]);
    int low = HexValue(text[i + 1]);
    if (high < 0 || low < 0) continue;
    m_data[k++] = static_cast<uint8_t>(high * 16 + low);
  }
}

int64_t CStream::CopyFrom(CStream* source, int64_t count, bool borrow) {
  if (source == nullptr || count < 0) return 0;
  if (count == 0) {
    // The whole source, whatever its position; this stream owns what it receives.
    MakeOwned();
    source->m_position = 0;
    int32_t written = WriteBuffer(source->m_data, static_cast<int32_t>(source->m_size));
    source->m_position = source->m_size;
    return written;
  }
  const int64_t taken = std::min(count, source->Remaining());
  if (borrow) {
    if (source == this) return 0;  // a stream cannot be a window on itself
    ReleaseData();
    m_borrowed = 1;
    m_data = taken > 0 ? source->m_data + source->m_position : nullptr;
    m_size = taken;
    m_position = taken;
    source->m_position += taken;
    return taken;
  }
  MakeOwned();
  if (taken <= 0) return 0;
  int32_t written = WriteBuffer(source->m_data + source->m_position, static_cast<int32_t>(taken));
  source->m_position += taken;
  return written;
}

CStream* CStream::ReadStream() {
  int32_t length = ReadInteger();
  CStream* result = new CStream(0);
  if (length >= 0) result->CopyFrom(this, length, false);
  result->m_position = 0;
  return result;
}

void CStream::SaveToFile(const char* fileName) const {
  if (m_data == nullptr || fileName == nullptr) return;
  FILE* file = std::fopen(fileName, "wb");
  if (file == nullptr) return;
  int64_t count = std::min(m_position, m_size);
  if (count > 0) std::fwrite(m_data, 1, static_cast<size_t>(count), file);
  std::fclose(file);
}

SubstitutionTable BuildSubstitutionTable(int32_t seed) {
  SubstitutionTable table;
  int32_t a = num::DivInt32(seed, 250);
  int32_t b = num::ModInt32(seed, 250) + 6;
  if (b < 0) b += 256;
  if (a < 0) a += 256;
  for (int i = 0; i < 256; ++i) table.forward[i] = static_cast<uint8_t>(i);
  // Entry 0 never moves: only entries 1 to 255 are exchanged. A very negative seed leaves c
  // negative, so the index is taken as the non-negative remainder.
  int64_t c = static_cast<int64_t>(a) + b;
  for (int step = 0; step < 10000; ++step) {
    int64_t j = c % 254;
    if (j < 0) j += 254;
    std::swap(table.forward[j + 1], table.forward[j + 2]);
    c += b;
  }
  table.inverse[0] = 0;
  for (int k = 1; k < 256; ++k) table.inverse[table.forward[k]] = static_cast<uint8_t>(k);
  return table;
}

void CStream::SubstituteBytes(int32_t seed, int32_t start, int32_t count) {
  const SubstitutionTable table = BuildSubstitutionTable(seed);
  int64_t from = start;
  int64_t length = count > 0 ? count : m_size - from;
  int64_t end = std::min(from + length, m_size);
  from = std::max<int64_t>(from, 0);
  for (int64_t i = from; i < end; ++i) m_data[i] = table.inverse[m_data[i]];
}

void ZCompressStream(CStream* destination, CStream* source) {
  if (destination == nullptr || source == nullptr) return;
  const int32_t savedPosition = source->GetPosition();
  source->SetPosition(0);
  CStream compressed(0);

  z_stream zs{};
  if (deflateInit_(&zs, Z_DEFAULT_COMPRESSION, kZlibVersion, static_cast<int>(sizeof(z_stream))) != Z_OK) {
    source->SetPosition(savedPosition);
    return;
  }
  static_assert(kZChunk <= static_cast<uint32_t>(std::numeric_limits<int32_t>::max()));
  uint8_t in[kZChunk];
  uint8_t out[kZChunk];
  int flush = Z_NO_FLUSH;
  do {
    int32_t got = source->ReadBuffer(in, kZChunk);
    const int64_t left = static_cast<int64_t>(source->GetSize()) - source->GetPosition();
    flush = left <= 0 ? Z_FINISH : Z_NO_FLUSH;
    zs.next_in = in;
    zs.avail_in = static_cast<uInt>(got);
    do {
      zs.next_out = out;
      zs.avail_out = kZChunk;
      deflate(&zs, flush);
      compressed.WriteBuffer(out, static_cast<int32_t>(kZChunk - zs.avail_out));
    } while (zs.avail_out == 0);
  } while (flush != Z_FINISH);
  deflateEnd(&zs);

  // The whole block goes out, including its zero growth tail.
  destination->WriteInteger(compressed.GetSize());
  destination->WriteBuffer(compressed.GetData(), compressed.GetSize());
  source->SetPosition(savedPosition);
}

namespace {

voidpf ZAlloc(voidpf /*opaque*/, uInt items, uInt size) {
  uint64_t total = static_cast<uint64_t>(items) * size;
  if (total == 0 || total > static_cast<uint64_t>(kMaxStreamSize)) return Z_NULL;
  return MemoryManager::Alloc(static_cast<uint32_t>(total), __FILE__, __LINE__, true);
}

void ZFree(voidpf /*opaque*/, voidpf address) { MemoryManager::Free(address); }

// Inflates the window's bytes from its position into `out`; true once the zlib stream ended
// with no more than `limit` bytes inflated.
bool InflateInto(CStream* window, CStream* out, int64_t limit) {
  z_stream zs{};
  zs.zalloc = ZAlloc;
  zs.zfree = ZFree;
  zs.opaque = Z_NULL;
  if (inflateInit_(&zs, kZlibVersion, static_cast<int>(sizeof(z_stream))) != Z_OK) return false;
  uint8_t in[kZChunk];
  uint8_t buffer[kZChunk];
  bool ended = false;
  bool failed = false;
  while (!ended && !failed) {
    int32_t got = window->ReadBuffer(in, kZChunk);
    if (got == 0) break;  // the input ran out before the stream ended
    zs.next_in = in;
    zs.avail_in = static_cast<uInt>(got);
    do {
      zs.next_out = buffer;
      zs.avail_out = kZChunk;
      int ret = inflate(&zs, Z_NO_FLUSH);
      if (ret == Z_NEED_DICT || ret == Z_DATA_ERROR || ret == Z_MEM_ERROR || ret == Z_STREAM_ERROR) {
        failed = true;
        break;
      }
      const int32_t produced = static_cast<int32_t>(kZChunk - zs.avail_out);
      // Output beyond the limit (at most what fits a stream) counts as damaged data.
      if (static_cast<int64_t>(out->GetPosition()) + produced > limit) {
        failed = true;
        break;
      }
      out->WriteBuffer(buffer, produced);
      if (ret == Z_STREAM_END) {
        ended = true;
        break;
      }
    } while (zs.avail_out == 0);
  }
  inflateEnd(&zs);
  return ended && !failed;
}

}  // namespace

CStream* ZDecompressStream(CStream* stream) { return ZDecompressStream(stream, kMaxStreamSize, nullptr); }

CStream* ZDecompressStream(CStream* stream, int64_t limit, int64_t* inflated) {
  if (inflated != nullptr) *inflated = -1;
  if (stream == nullptr) return nullptr;
  int32_t length = stream->ReadInteger();
  // The window is cut to the bytes really there, so a damaged length never reads past them.
  CStream* window = new CStream(0);
  window->CopyFrom(stream, length, true);
  window->SetPosition(0);
  DebugConsole->Output("ZDecompressStream %d\n", length);

  CStream* out = new CStream(0);
  const bool ok = InflateInto(window, out, std::clamp<int64_t>(limit, 0, kMaxStreamSize));
  CStream::Delete(window);  // a window leaves the bytes it shows alone
  if (!ok) {
    CStream::Delete(out);
    return nullptr;
  }
  DebugConsole->Output("Done ZDecompressStream\n");
  if (inflated != nullptr) *inflated = out->GetPosition();
  out->SetPosition(0);
  return out;
}
