// The one way the loader reads (and patches) the game image. A reader is a window over the image:
// reads through the cursor or at a position stay inside the window, and file references (offsets
// from the first byte of the image) are resolved against the whole image. Every offset, count and
// length is checked against what is left, in 64-bit arithmetic, before anything is touched, and
// values are read and written through memcpy, since nothing in the file is aligned.
//
// A read that does not fit fails: it answers false, gives 0 and marks the reader as failed, so a
// chunk reader may read a run of fields and test Ok() once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Where a chunk's payload lies, as recorded by readers that keep it for later.
struct ChunkPayload {
  const uint8_t* data = nullptr;
  uint32_t size = 0;
};

// The 32-bit little-endian word that a four-character tag forms.
constexpr uint32_t ChunkTag(const char (&text)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) |
         (static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(text[3])) << 24);
}

// A tag as a printable, terminated four-character text.
struct TagText {
  explicit TagText(uint32_t tag) {
    std::memcpy(text, &tag, 4);
    text[4] = '\0';
  }
  char text[5];
};

class BoundedReader {
 public:
  BoundedReader() = default;
  // The whole image as the window.
  BoundedReader(uint8_t* image, uint64_t imageSize)
      : m_image(image), m_imageSize(image != nullptr ? imageSize : 0), m_begin(0), m_end(m_imageSize) {}

  // ---- The window ----

  bool Ok() const { return !m_failed; }
  void Fail() { m_failed = true; }
  // The window's length, its first byte as an image offset, and a pointer to that byte.
  uint64_t Size() const { return m_end - m_begin; }
  uint64_t Offset() const { return m_begin; }
  uint8_t* Data() const { return m_image != nullptr ? m_image + m_begin : nullptr; }
  ChunkPayload Payload() const { return {Data(), static_cast<uint32_t>(Size())}; }
  // The cursor, relative to the window's first byte, and the bytes after it.
  uint64_t Position() const { return m_pos; }
  uint64_t Remaining() const { return Size() - m_pos; }

  // Moves the cursor; false (cursor unchanged) past the window's end.
  bool Seek(uint64_t position) {
    if (position > Size()) return Failed();
    m_pos = position;
    return true;
  }
  bool Skip(uint64_t bytes) { return bytes <= Remaining() ? Seek(m_pos + bytes) : Failed(); }

  // True when `count` records of `recordSize` bytes fit in what is left after the cursor.
  bool Fits(uint64_t count, uint64_t recordSize) const {
    if (recordSize == 0) return true;
    return count <= Remaining() / recordSize;
  }

  // ---- Reads through the cursor ----

  template <typename T>
  bool Read(T* out) {
    if (!ReadAt(m_pos, out)) return false;
    m_pos += sizeof(T);
    return true;
  }
  bool U8(uint8_t* out) { return Read(out); }
  bool I16(int16_t* out) { return Read(out); }
  bool U32(uint32_t* out) { return Read(out); }
  bool I32(int32_t* out) { return Read(out); }
  bool U64(uint64_t* out) { return Read(out); }

  // ---- Reads and writes at a position of the window (the cursor does not move) ----

  template <typename T>
  bool ReadAt(uint64_t position, T* out) {
    if (!Has(position, sizeof(T))) {
      std::memset(out, 0, sizeof(T));
      return Failed();
    }
    std::memcpy(out, m_image + m_begin + position, sizeof(T));
    return true;
  }
  template <typename T>
  bool WriteAt(uint64_t position, const T& value) {
    if (!Has(position, sizeof(T))) return Failed();
    std::memcpy(m_image + m_begin + position, &value, sizeof(T));
    return true;
  }
  // True when `length` bytes from `position` lie inside the window.
  bool Has(uint64_t position, uint64_t length) const {
    return position <= Size() && length <= Size() - position;
  }

  // ---- File references: offsets from the first byte of the image ----

  uint64_t ImageSize() const { return m_imageSize; }
  bool ImageHas(uint64_t offset, uint64_t length) const {
    return offset <= m_imageSize && length <= m_imageSize - offset;
  }
  // A reader whose window is the `length` bytes at image offset `offset`; a failed, empty
  // reader when they do not lie inside the image.
  BoundedReader At(uint64_t offset, uint64_t length) const {
    BoundedReader r;
    r.m_image = m_image;
    r.m_imageSize = m_imageSize;
    if (m_image == nullptr || !ImageHas(offset, length)) {
      r.m_failed = true;
      return r;
    }
    r.m_begin = offset;
    r.m_end = offset + length;
    return r;
  }
  // A reader over `length` bytes at `position` of this window (a failed, empty one when they do
  // not lie inside it).
  BoundedReader Sub(uint64_t position, uint64_t length) const {
    if (!Has(position, length)) {
      BoundedReader r = At(0, 0);
      r.m_failed = true;
      return r;
    }
    return At(m_begin + position, length);
  }
  // The text at image offset `offset`, which must end with a NUL inside the image. Offset 0
  // stands for no text: true with null. False (null) when the text starts or runs outside.
  bool TextAt(uint64_t offset, const char** text) const {
    *text = nullptr;
    if (offset == 0) return true;
    if (m_image == nullptr || offset >= m_imageSize) return false;
    const void* nul = std::memchr(m_image + offset, 0, static_cast<size_t>(m_imageSize - offset));
    if (nul == nullptr) return false;
    *text = reinterpret_cast<const char*>(m_image + offset);
    return true;
  }

 private:
  bool Failed() {
    m_failed = true;
    return false;
  }

  uint8_t* m_image = nullptr;
  uint64_t m_imageSize = 0;
  uint64_t m_begin = 0;  // the window, as image offsets
  uint64_t m_end = 0;
  uint64_t m_pos = 0;  // the cursor, relative to m_begin
  bool m_failed = false;
};
