// Binary buffers: a block of raw bytes with a read/write position, an element alignment and a
// growth rule, read and written as typed little-endian elements. Every buffer a script can name
// lives in the global buffer table and is named by its index there.
//
// The fields are 32-bit, but every offset and size is worked out in 64 bits before it is compared
// or stored, so no caller-given number can make an operation touch memory outside the block.
#pragma once

#include <cstdint>
#include <cstring>

#include "variable/ScriptValue.h"

// How a buffer treats writes past its end (the script constants buffer_fixed .. buffer_vbuffer).
enum BufferKind : int {
  BUFFER_FIXED = 0,    // never changes size by itself; what does not fit is refused
  BUFFER_GROW = 1,     // grows when a write goes past the end
  BUFFER_WRAP = 2,     // positions and offsets are taken modulo the size
  BUFFER_FAST = 3,     // Buffer_Fast: bytes only, no alignment, no used size, no wrap
  BUFFER_VBUFFER = 4,  // vertex data: behaves exactly as fixed
};

// The element types of Write, Read, Peek, Poke and Fill.
enum BufferDataType : int {
  BUFFER_U8 = 1,
  BUFFER_S8 = 2,
  BUFFER_U16 = 3,
  BUFFER_S16 = 4,
  BUFFER_U32 = 5,
  BUFFER_S32 = 6,
  BUFFER_F16 = 7,  // has a size but is not supported
  BUFFER_F32 = 8,
  BUFFER_F64 = 9,
  BUFFER_BOOL = 10,
  BUFFER_STRING = 11,  // the text and its terminating zero byte
  BUFFER_U64 = 12,     // the 8 payload bytes of a value, unchanged
  BUFFER_TEXT = 13,    // the text without a terminator
};

// The largest size a buffer can take: its block (size plus alignment) must fit in an i32.
constexpr int32_t kMaxBufferSize = INT32_MAX - 512;
// The size a grow buffer of size 0 takes before doubling, since doubling 0 reaches nothing.
constexpr int32_t kFirstGrowSize = 16;

// The bytes an element of `type` takes: 0 for strings, texts and unknown types.
int Buffer_TypeSize(int type);

// A value argument (`value`) is the address of an 8-byte payload as in ScriptValue: a double for
// types 1 to 10, a char* text in its first word for types 11 and 13, raw bytes for type 12. An
// out value is a ScriptValue that the operation overwrites without releasing what it held; a
// string result is a new MemoryManager block.

// The double a value argument holds: 0 for null.
inline double Buffer_ValueReal(const void* value) {
  double v = 0.0;
  if (value != nullptr) std::memcpy(&v, value, sizeof(v));
  return v;
}
// Makes an out value real; a null out is left alone.
inline void Buffer_SetOutReal(ScriptValue* out, double v) {
  if (out != nullptr) SetReal(out, v);
}

class IBuffer {
 public:
  // ---- Fields (read directly by the buffer built-ins) ----
  uint8_t* m_pRawData;    // the allocation; null for an empty buffer
  int32_t m_AllocSize;    // bytes in the raw block: size plus alignment
  uint8_t* m_pData;       // the raw block's address rounded up to the alignment
  int32_t m_Size;         // number of bytes
  int32_t m_Alignment;    // a power of two from 1 to 512
  int32_t m_Type;         // BufferKind
  int32_t m_Position;     // where Write, Read, WriteBytes and ReadBytes work
  int32_t m_UsedSize;     // highest end of anything written, never above the size
  int32_t m_WrapPhase;    // 0 .. alignment-1: how far a wrap buffer's earlier laps put it off
  int32_t m_InUseCount;   // above 0: the script may not delete the buffer
  ScriptValue m_Scratch;  // carries the single value of WriteString / ReadString
  uint8_t m_OwnsMemory;   // 1: the raw block is freed with the buffer

  // ---- Virtual operations ----
  virtual ~IBuffer();
  // 0, -1 for an unknown type, -2 when the element does not fit.
  virtual int Write(int type, const void* value);
  // 0 (the out value is -3 when reading past the end), or -1 for an unknown type.
  virtual int Read(int type, ScriptValue* out);
  // base 0 start, 1 relative, 2 end; answers the new position.
  virtual int Seek(int base, int offset);
  virtual void Peek(int offset, int type, ScriptValue* out);
  virtual void Poke(int offset, int type, const void* value);
  // Writes the region to the save area; a negative size saves the whole buffer.
  virtual bool Save(const char* name, int offset, int size);
  // Reads a file from the save area, else from the game folder, into the buffer.
  virtual bool Load(const char* name, int srcOffset, int size, int destOffset);
  virtual void Base64Encode(ScriptValue* out, int offset, int size);
  virtual bool Base64Decode(const char* text, int destOffset, int size);
  virtual void Md5(ScriptValue* out, int offset, int size);
  virtual void Sha1(ScriptValue* out, int offset, int size);
  // A negative size, or one above kMaxBufferSize, is refused and nothing changes.
  virtual void Resize(int newSize);
  virtual void Copy(int srcOffset, int size, IBuffer* dest, int destOffset);
  virtual void Fill(int offset, int size, int type, const void* value, int stride, bool zeroGaps);
  virtual void GetSurface(int surfaceId, int mode, int offset, int rowPadding);

  // ---- Helpers ----
  uint8_t* GetData() const { return m_pData; }
  int GetUsedSize() const { return m_UsedSize; }

  // Writes the text as a type-11 string; a null text is written as the bytes 0x04 0x00.
  // Answers Write's result.
  int WriteString(const char* text);
  // The next type-11 string as a new MemoryManager text; null for the one-byte string 0x04,
  // and when no string could be read.
  char* ReadString();

  // Raw bytes at the position, without alignment; answer the bytes moved.
  int WriteBytes(const void* source, int size, int count);
  int ReadBytes(void* target, int size, int count);

  // Copies a region into a new MemoryManager block (null for no bytes). Without wrap the offset
  // is clamped into the buffer, a negative size means the whole buffer and the size is cut at
  // the end; with wrap the offset is taken modulo the size and the region runs round.
  bool ExtractRegion(uint8_t** outMemory, int* outSize, int offset, int size, bool wrap);
  // Copies bytes of `memory` into the buffer as Load does.
  bool LoadFromMemory(const void* memory, int length, int srcOffset, int size, int destOffset);

 protected:
  // Allocating: size + alignment zero-filled bytes; a negative size counts as 0.
  IBuffer(int size, int kind, int alignment);
  // Over the caller's memory, freed with the buffer only when `owns` is set.
  IBuffer(void* memory, int size, int kind, int alignment, bool owns);
  // Empty: a grow buffer of size 0 with no block, for loads that grow it.
  IBuffer();

  IBuffer(const IBuffer&) = delete;
  IBuffer& operator=(const IBuffer&) = delete;

 private:
  void AlignPosition();
  // Region writes for Poke and Fill: bytes at `offset` (taken round the end for a wrap buffer;
  // the caller has checked that they fit otherwise), the used size following.
  void PutBytes(int64_t offset, const uint8_t* bytes, int64_t count);
  void ZeroBytes(int64_t offset, int64_t count);
  void NoteWritten(int64_t end);
  void Digest(ScriptValue* out, int offset, int size, bool sha1);
};

// ---- The buffer table ----

// The first free slot; the table grows (to 32, then doubling) when none is free. The slot is
// not reserved: the caller stores its buffer there.
int AllocBufferSlot();
// The buffer at `index`; null for an index outside the table or a free slot.
IBuffer* GetBuffer(int index);
// A new buffer in the table; its index. An unknown kind is a fatal error (-1 when errors are
// suppressed).
int CreateBuffer(int size, int kind, int alignment);
// A fixed buffer of alignment 1 over the caller's memory.
int CreateBufferFromMemory(void* memory, int size, bool owns);
// Deletes the buffer and frees its slot; an index that names no buffer does nothing.
void DeleteBuffer(int index);
// The table's length (also its capacity).
int GetBufferTableLength();
// Deletes every buffer and releases the table (length 0), as in a fresh process.
void Buffer_FreeAll();

// ---- Region copies ----
//
// Copies `count` bytes (all of the source when negative) from `srcOffset` of the source into the
// destination at `destOffset`. Without source wrap the offset is clamped into the source and the
// count cut at its end; with it the offset is taken modulo the source length and the copy runs
// round. Without destination wrap a negative offset counts as 0, an offset at or past the end
// gives -1 and the count is cut to what fits; with it the copy runs round the destination.
// `grow` lets the destination grow to exactly offset + count instead. Answers the destination
// end offset, or -1 when nothing could be copied.
int CopyMemoryToBuffer(IBuffer* dest, const void* src, int srcLength, int srcOffset, int count,
                       int destOffset, bool grow, bool destWrap, bool srcWrap);
// The same onto plain memory, without growth or used size.
int CopyMemoryRegion(void* dest, int destLength, const void* src, int srcLength, int srcOffset,
                     int count, int destOffset, bool destWrap, bool srcWrap);
