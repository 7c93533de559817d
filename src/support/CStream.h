// A growable byte stream in memory with one position for reading and writing. Values are
// little-endian: 4-byte integers, 8-byte doubles, booleans as integers and strings as a 4-byte
// length followed by the bytes. A stream either owns its bytes (a memory-manager block whose
// length is the stream's size) or borrows a window into another stream's bytes, which it never
// releases or grows. A window stays valid only while its source keeps its bytes: growing or
// freeing the source ends it.
//
// Size and position are kept in 64 bits but never reach 2^31: arithmetic on them works on the
// low 32 bits and stores the result back sign-extended. Growth doubles the size, so after a run
// of writes the size is usually larger than what was written and the tail is zero; writers
// treat the position as the length written (WriteHex, SaveToFile), readers read up to the size.
#pragma once

#include <cstdint>

class CStream {
 public:
  // A stream of `initialSize` zero bytes (no block for 0 or less), positioned at 0.
  explicit CStream(int32_t initialSize = 0);
  ~CStream();
  CStream(const CStream&) = delete;
  CStream& operator=(const CStream&) = delete;

  // Null is allowed.
  static void Delete(CStream* stream);

  uint8_t* GetData() const { return m_data; }
  int32_t GetSize() const { return static_cast<int32_t>(m_size); }
  int32_t GetPosition() const { return static_cast<int32_t>(m_position); }
  bool IsBorrowed() const { return m_borrowed != 0; }
  void SetPosition(int64_t position) { m_position = static_cast<int32_t>(position); }

  // origin (its low 16 bits): 0 from the start, 1 from the position, 2 from the size; any other
  // origin leaves the position alone. Answers the new position.
  int32_t Seek(int32_t offset, int32_t origin);

  // Copies up to n bytes from the position and advances past them; answers the count copied.
  int32_t ReadBuffer(void* destination, int32_t n);
  int32_t Read(void* destination, int32_t n) { return ReadBuffer(destination, n); }
  // Writes n bytes at the position, growing the stream as needed; answers n, or 0 when nothing
  // was written (n at most 0, a null source, a negative position, or a window too small).
  int32_t WriteBuffer(const void* source, int32_t n);
  int32_t Write(const void* source, int32_t n) { return WriteBuffer(source, n); }

  // At a position not below the size these answer 0 and stay put. Otherwise they advance by
  // the full width even when fewer bytes remain; the missing bytes count as zero.
  int32_t ReadInteger();
  double ReadReal();
  bool ReadBoolean();
  void WriteInteger(int32_t value);
  void WriteReal(double value);
  void WriteBoolean(bool value);

  // A length-prefixed string as a new memory-manager text owned by the caller; null for a
  // stored length of 0 or less. A length beyond the stream's end is cut to the bytes there.
  char* ReadStringNew();
  void ReadString(char** out);
  // The text's byte length (0 for null), then its bytes.
  void WriteString(const char* text);

  // The bytes from the start up to the position (never past the size) as upper-case hex digit
  // pairs in a new memory-manager text owned by the caller; null when there are none.
  char* WriteHexNew() const;
  void WriteHex(char** out) const;
  // Replaces the contents by the bytes the text spells in hex pairs; the position becomes 0.
  // Null or empty text leaves the stream as it is.
  void ReadHex(const char* text);

  // count 0: the whole source is written at this stream's position and the source's position
  // moves to its size. count > 0 with borrow: this stream becomes a window on the next count
  // bytes of the source (cut to the bytes there), with size and position both the window's
  // length. count > 0 without borrow: up to count bytes from the source's position are written
  // at this stream's position. A negative count does nothing. Answers the bytes taken.
  int64_t CopyFrom(CStream* source, int64_t count, bool borrow);
  int64_t CopyBytesFrom(CStream* source, int64_t count) { return CopyFrom(source, count, false); }

  // Reads a length n and answers a new owned stream at position 0 holding a copy of the next n
  // bytes (fewer when the stream ends sooner, none for a negative n); a stored 0 copies the
  // whole stream, as CopyFrom does for a count of 0.
  CStream* ReadStream();

  // Replaces the contents by the whole file `fileName` (the save area first, else the game's
  // folder) less its first `skip` bytes; the stream stays empty when neither place has it or
  // the file is not longer than `skip`. The position is not changed.
  void LoadFromFile(const char* fileName, int32_t skip);

  // When the stream has data, creates or truncates the file at the plain path `fileName` and
  // writes the bytes from the start up to the position (never past the size).
  void SaveToFile(const char* fileName) const;

  // Maps the bytes from `start` through the inverse of the seed's substitution table; a count
  // of 0 or less runs to the end. Bytes outside the stream are never touched.
  void SubstituteBytes(int32_t seed, int32_t start, int32_t count);

 private:
  int64_t Remaining() const;
  bool MakeRoom(int64_t n);
  void MakeOwned();
  void ReleaseData();

  uint8_t m_borrowed = 0;  // 1: the bytes belong to another stream
  int64_t m_size = 0;
  int64_t m_position = 0;  // may lie past the size after a fixed-width read at the end
  uint8_t* m_data = nullptr;
};

// The byte permutation built from a seed and its inverse; entry 0 maps to 0 both ways.
struct SubstitutionTable {
  uint8_t forward[256];
  uint8_t inverse[256];
};
SubstitutionTable BuildSubstitutionTable(int32_t seed);

// Compresses the whole source (start to size, whatever its position) with zlib and writes the
// compressed block's length, then the block, into `destination`. The source's position is kept.
void ZCompressStream(CStream* destination, CStream* source);
// Reads a compressed block written by ZCompressStream and answers a new stream at position 0
// holding the inflated bytes (its size may be larger than they are), or null when the block is
// damaged or cut short.
CStream* ZDecompressStream(CStream* stream);
// ZDecompressStream for a block that may inflate to at most `limit` bytes: more counts as
// damage (null). The number of bytes inflated goes to *inflated (-1 on failure) when given.
CStream* ZDecompressStream(CStream* stream, int64_t limit, int64_t* inflated);
