#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "buffer/Buffer_Fast.h"
#include "buffer/Buffer_Standard.h"
#include "buffer/IBuffer.h"
#include "code/Code_Error.h"
#include "os/OS_Paths.h"
#include "platform/MemoryManager.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;
using Bytes = std::vector<uint8_t>;

namespace {

int WriteReal(IBuffer* b, int type, double v) { return b->Write(type, &v); }

int WriteText(IBuffer* b, int type, const char* text) {
  ScriptValue v{};
  v.str = const_cast<char*>(text);
  v.kind = VALUE_STRING;
  return b->Write(type, &v);
}

void PokeReal(IBuffer* b, int offset, int type, double v) { b->Poke(offset, type, &v); }

// Reads a real; the return code goes to *rc when asked for.
double ReadReal(IBuffer* b, int type, int* rc = nullptr) {
  ScriptValue v{};
  int r = b->Read(type, &v);
  if (rc) *rc = r;
  EXPECT_EQ(v.Kind(), VALUE_REAL);
  return v.real;
}

double PeekReal(IBuffer* b, int offset, int type) {
  ScriptValue v{};
  b->Peek(offset, type, &v);
  EXPECT_EQ(v.Kind(), VALUE_REAL);
  return v.real;
}

// Takes a string result and frees its text; nullopt for a null text.
std::optional<std::string> TakeText(ScriptValue& v) {
  EXPECT_EQ(v.Kind(), VALUE_STRING);
  if (v.Kind() != VALUE_STRING || v.str == nullptr) return std::nullopt;
  std::string s = v.str;
  MemoryManager::Free(v.str);
  v.str = nullptr;
  return s;
}

Bytes Contents(const IBuffer& b) { return Bytes(b.m_pData, b.m_pData + b.m_Size); }

void SetContents(IBuffer& b, const Bytes& bytes) {
  ASSERT_LE(bytes.size(), static_cast<size_t>(b.m_Size));
  std::memcpy(b.m_pData, bytes.data(), bytes.size());
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Every test must give back each block it takes. The buffer table is made before counting,
// since it lives until the runtime is reset.
class BufferTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    CountBlocks();
  }
  void TearDown() override {
    EXPECT_EQ(MemoryManager::BlockCount.load(), m_blocks);
    RuntimeTest::TearDown();
  }
  void CountBlocks() {
    if (GetBufferTableLength() == 0) AllocBufferSlot();
    m_blocks = MemoryManager::BlockCount.load();
  }
  int32_t m_blocks = 0;
};

// ---- Element encodings ----

TEST_F(BufferTest, EveryFixedSizeTypeHasItsLittleEndianBytesAndReadsBack) {
  struct Case {
    int type;
    double value;
    Bytes bytes;
    double back;
  };
  const double nan = std::nan("");
  const Case cases[] = {
      {BUFFER_U8, 257.9, {0x01}, 1},
      {BUFFER_U8, -1, {0xFF}, 255},
      {BUFFER_S8, -1.7, {0xFF}, -1},
      {BUFFER_S8, 200, {0xC8}, -56},
      {BUFFER_U16, 65537, {0x01, 0x00}, 1},
      {BUFFER_U16, -2, {0xFE, 0xFF}, 65534},
      {BUFFER_S16, -2, {0xFE, 0xFF}, -2},
      {BUFFER_S16, 40000, {0x40, 0x9C}, -25536},
      {BUFFER_U32, -1, {0xFF, 0xFF, 0xFF, 0xFF}, 4294967295.0},
      {BUFFER_U32, 4294967295.0, {0xFF, 0xFF, 0xFF, 0xFF}, 4294967295.0},
      {BUFFER_U32, 3000000000.7, {0x00, 0x5E, 0xD0, 0xB2}, 3000000000.0},
      {BUFFER_S32, -2.9, {0xFE, 0xFF, 0xFF, 0xFF}, -2},
      {BUFFER_S32, 3e9, {0x00, 0x00, 0x00, 0x80}, -2147483648.0},
      {BUFFER_S32, nan, {0x00, 0x00, 0x00, 0x80}, -2147483648.0},
      {BUFFER_F32, 0.1, {0xCD, 0xCC, 0xCC, 0x3D}, static_cast<double>(0.1f)},
      {BUFFER_F64, 1.5, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}, 1.5},
      {BUFFER_BOOL, 0.5, {0x00}, 0},
      {BUFFER_BOOL, 0.51, {0x01}, 1},
      {BUFFER_BOOL, 7, {0x01}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " value " << c.value);
    Buffer_Standard b(16, BUFFER_FIXED, 1);
    ASSERT_EQ(WriteReal(&b, c.type, c.value), 0);
    EXPECT_EQ(b.m_Position, static_cast<int>(c.bytes.size()));
    EXPECT_EQ(Buffer_TypeSize(c.type), static_cast<int>(c.bytes.size()));
    EXPECT_EQ(Bytes(b.m_pData, b.m_pData + c.bytes.size()), c.bytes);
    b.Seek(0, 0);
    int rc = 99;
    EXPECT_EQ(ReadReal(&b, c.type, &rc), c.back);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(b.m_Position, static_cast<int>(c.bytes.size()));
    // Peek and Poke encode and decode the same way.
    EXPECT_EQ(PeekReal(&b, 0, c.type), c.back);
    PokeReal(&b, 8, c.type, c.value);
    EXPECT_EQ(Bytes(b.m_pData + 8, b.m_pData + 8 + c.bytes.size()), c.bytes);
  }

  // A bool byte reads back as it is, not normalised.
  Buffer_Standard b(4, BUFFER_FIXED, 1);
  b.m_pData[0] = 7;
  EXPECT_EQ(ReadReal(&b, BUFFER_BOOL), 7);
}

TEST_F(BufferTest, U64MovesThePayloadBytesUnchanged) {
  Buffer_Standard b(8, BUFFER_FIXED, 1);
  const uint64_t bits = 0x0102030405060708ull;
  ASSERT_EQ(b.Write(BUFFER_U64, &bits), 0);
  EXPECT_EQ(Contents(b), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
  b.Seek(0, 0);
  ScriptValue v{};
  EXPECT_EQ(b.Read(BUFFER_U64, &v), 0);
  EXPECT_EQ(v.Kind(), VALUE_REAL);
  EXPECT_EQ(v.bits, bits);
  // Peek and Poke do not take this type.
  EXPECT_EQ(PeekReal(&b, 0, BUFFER_U64), 0);
  const uint64_t other = ~0ull;
  b.Poke(0, BUFFER_U64, &other);
  EXPECT_EQ(b.m_pData[0], 8);
}

TEST_F(BufferTest, StringsAndTextsAndTheirEnds) {
  Buffer_Standard b(8, BUFFER_FIXED, 1);
  ASSERT_EQ(WriteText(&b, BUFFER_STRING, "hi"), 0);
  ASSERT_EQ(WriteText(&b, BUFFER_TEXT, "abc"), 0);
  EXPECT_EQ(b.m_Position, 6);
  EXPECT_EQ(Bytes(b.m_pData, b.m_pData + 6), (Bytes{'h', 'i', 0, 'a', 'b', 'c'}));

  b.Seek(0, 0);
  ScriptValue v{};
  EXPECT_EQ(b.Read(BUFFER_STRING, &v), 0);
  EXPECT_EQ(TakeText(v), "hi");
  EXPECT_EQ(b.m_Position, 3);
  // A text runs to the first zero byte and the position moves one byte past it.
  EXPECT_EQ(b.Read(BUFFER_TEXT, &v), 0);
  EXPECT_EQ(TakeText(v), "abc");
  EXPECT_EQ(b.m_Position, 7);

  // "ab" written over "abc" reads back as "abc": no zero byte follows it.
  b.Seek(0, 3);
  ASSERT_EQ(WriteText(&b, BUFFER_TEXT, "ab"), 0);
  EXPECT_EQ(b.m_Position, 5);
  b.Seek(0, 3);
  b.Read(BUFFER_TEXT, &v);
  EXPECT_EQ(TakeText(v), "abc");

  // A string that does not fit is refused and nothing changes.
  const Bytes before = Contents(b);
  b.Seek(0, 5);
  EXPECT_EQ(WriteText(&b, BUFFER_STRING, "xyz"), -2);
  EXPECT_EQ(Contents(b), before);

  // The used size ends a text too.
  Buffer_Standard g(0, BUFFER_GROW, 1);
  ASSERT_EQ(WriteText(&g, BUFFER_TEXT, "ab"), 0);
  EXPECT_EQ(g.m_UsedSize, 2);
  g.Seek(0, 0);
  g.Read(BUFFER_TEXT, &v);
  EXPECT_EQ(TakeText(v), "ab");
  EXPECT_EQ(g.m_Position, 3);

  // Reading past the end gives -3, not a string.
  b.Seek(0, 8);
  EXPECT_EQ(ReadReal(&b, BUFFER_STRING), -3);
}

TEST_F(BufferTest, WriteStringAndReadStringCarryNullAsByte4) {
  Buffer_Standard b(16, BUFFER_FIXED, 1);
  ASSERT_EQ(b.WriteString("hello"), 0);
  ASSERT_EQ(b.WriteString(nullptr), 0);
  EXPECT_EQ(b.m_Position, 8);
  EXPECT_EQ(b.m_pData[6], 0x04);
  EXPECT_EQ(b.m_pData[7], 0x00);
  EXPECT_EQ(b.m_Scratch.Kind(), VALUE_REAL);  // the caller's text is not kept

  b.Seek(0, 0);
  char* s = b.ReadString();
  ASSERT_NE(s, nullptr);
  EXPECT_STREQ(s, "hello");
  MemoryManager::Free(s);
  EXPECT_EQ(b.ReadString(), nullptr);
  EXPECT_EQ(b.m_Position, 8);
  // At the end there is no string to give.
  b.Seek(0, 16);
  EXPECT_EQ(b.ReadString(), nullptr);
  // A string that does not fit answers Write's -2.
  b.Seek(0, 14);
  EXPECT_EQ(b.WriteString("long"), -2);
}

TEST_F(BufferTest, UnsupportedAndUnknownTypes) {
  Buffer_Standard b(8, BUFFER_FIXED, 1);
  for (int type : {int{BUFFER_F16}, 0, 14, -1}) {
    SCOPED_TRACE(type);
    b.Seek(0, 0);
    EXPECT_EQ(WriteReal(&b, type, 1), -1);
    EXPECT_EQ(b.m_Position, 0);
  }
  // Reading type 7 still moves the position by its two bytes; unknown types by none.
  int rc = 0;
  EXPECT_EQ(ReadReal(&b, BUFFER_F16, &rc), 0);
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(b.m_Position, 2);
  EXPECT_EQ(ReadReal(&b, 14, &rc), 0);
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(b.m_Position, 2);
  EXPECT_EQ(Buffer_TypeSize(BUFFER_F16), 2);
  for (int type : {int{BUFFER_STRING}, int{BUFFER_TEXT}, 0, 14}) EXPECT_EQ(Buffer_TypeSize(type), 0);
}

// ---- Kinds, positions, alignment and wrap phase ----

TEST_F(BufferTest, FixedBufferRefusesWhatDoesNotFit) {
  Buffer_Standard b(4, BUFFER_FIXED, 1);
  EXPECT_EQ(WriteReal(&b, BUFFER_U32, 0x01020304), 0);
  EXPECT_EQ(WriteReal(&b, BUFFER_U8, 9), -2);
  EXPECT_EQ(b.m_UsedSize, 4);
  EXPECT_EQ(Contents(b), (Bytes{4, 3, 2, 1}));

  // Past the end a read gives -3 and answers 0; an element cut by the end does too.
  int rc = 1;
  EXPECT_EQ(ReadReal(&b, BUFFER_U8, &rc), -3);
  EXPECT_EQ(rc, 0);
  b.Seek(0, 2);
  EXPECT_EQ(ReadReal(&b, BUFFER_U32, &rc), -3);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(b.m_Position, 2);
  EXPECT_EQ(WriteReal(&b, BUFFER_U32, 1), -2);
  EXPECT_EQ(Contents(b), (Bytes{4, 3, 2, 1}));

  // The vertex kind follows the same rules.
  Buffer_Standard v(2, BUFFER_VBUFFER, 1);
  EXPECT_EQ(WriteReal(&v, BUFFER_U32, 1), -2);
  EXPECT_EQ(v.m_Size, 2);
}

TEST_F(BufferTest, AlignmentPutsElementsOnMultiples) {
  Buffer_Standard b(16, BUFFER_FIXED, 4);
  EXPECT_EQ(b.m_Alignment, 4);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b.m_pData) % 4, 0u);
  std::memset(b.m_pData, 0xEE, 16);
  ASSERT_EQ(WriteReal(&b, BUFFER_U8, 1), 0);
  ASSERT_EQ(WriteReal(&b, BUFFER_U32, 0x0A0B0C0D), 0);
  EXPECT_EQ(b.m_Position, 8);
  EXPECT_EQ(Bytes(b.m_pData, b.m_pData + 8), (Bytes{1, 0xEE, 0xEE, 0xEE, 0x0D, 0x0C, 0x0B, 0x0A}));

  b.Seek(0, 1);
  EXPECT_EQ(ReadReal(&b, BUFFER_U32), 0x0A0B0C0D);
  EXPECT_EQ(b.m_Position, 8);

  // A failed write still leaves the position aligned.
  Buffer_Standard f(6, BUFFER_FIXED, 4);
  f.Seek(0, 1);
  EXPECT_EQ(WriteReal(&f, BUFFER_U32, 1), -2);
  EXPECT_EQ(f.m_Position, 4);
  f.Seek(0, 1);
  EXPECT_EQ(ReadReal(&f, BUFFER_U32), -3);
  EXPECT_EQ(f.m_Position, 4);
}

TEST_F(BufferTest, WrapBufferRunsRoundAndKeepsThePhase) {
  Buffer_Standard b(6, BUFFER_WRAP, 4);
  ASSERT_EQ(WriteReal(&b, BUFFER_U32, 0x11223344), 0);
  ASSERT_EQ(WriteReal(&b, BUFFER_U32, static_cast<double>(0xAABBCCDDu)), 0);
  // The second element took bytes 4, 5, 0 and 1.
  EXPECT_EQ(Contents(b), (Bytes{0xBB, 0xAA, 0x22, 0x11, 0xDD, 0xCC}));
  EXPECT_EQ(b.m_Position, 2);
  EXPECT_EQ(b.m_WrapPhase, 2);
  // Stream offset 8 is position 2 on this lap.
  ASSERT_EQ(WriteReal(&b, BUFFER_U8, 0x77), 0);
  EXPECT_EQ(b.m_pData[2], 0x77);
  EXPECT_EQ(b.m_Position, 3);
  // Stream offset 12 is position 0 of the next lap, with phase 0 again.
  ASSERT_EQ(WriteReal(&b, BUFFER_U16, 0x5566), 0);
  EXPECT_EQ(b.m_pData[0], 0x66);
  EXPECT_EQ(b.m_Position, 2);
  EXPECT_EQ(b.m_WrapPhase, 0);

  // Reads take the same path.
  Buffer_Standard r(6, BUFFER_WRAP, 4);
  SetContents(r, {0xBB, 0xAA, 0x22, 0x11, 0xDD, 0xCC});
  EXPECT_EQ(ReadReal(&r, BUFFER_U32), 0x1122AABB);
  EXPECT_EQ(ReadReal(&r, BUFFER_U32), static_cast<double>(0xAABBCCDDu));
  EXPECT_EQ(r.m_Position, 2);
  EXPECT_EQ(r.m_WrapPhase, 2);
  EXPECT_EQ(ReadReal(&r, BUFFER_U8), 0x22);
}

TEST_F(BufferTest, WrapPositionAtTheEnd) {
  // A byte that fills the last place leaves the position at the size; the next write goes round.
  Buffer_Standard b(4, BUFFER_WRAP, 1);
  b.Seek(0, 3);
  ASSERT_EQ(WriteReal(&b, BUFFER_U8, 1), 0);
  EXPECT_EQ(b.m_Position, 4);
  ASSERT_EQ(WriteReal(&b, BUFFER_U8, 2), 0);
  EXPECT_EQ(b.m_Position, 1);
  EXPECT_EQ(Contents(b), (Bytes{2, 0, 0, 1}));
  // A wider element that ends at the end leaves the position at 0.
  b.Seek(0, 2);
  ASSERT_EQ(WriteReal(&b, BUFFER_U16, 0x0304), 0);
  EXPECT_EQ(b.m_Position, 0);

  // Going round onto the next lap moves the phase by the size.
  Buffer_Standard p(5, BUFFER_WRAP, 4);
  p.Seek(0, 4);
  ASSERT_EQ(WriteReal(&p, BUFFER_U8, 1), 0);
  EXPECT_EQ(p.m_Position, 5);
  ASSERT_EQ(WriteReal(&p, BUFFER_U8, 2), 0);  // stream offset 8
  EXPECT_EQ(p.m_pData[3], 2);
  EXPECT_EQ(p.m_WrapPhase, 1);
  EXPECT_EQ(p.m_Position, 4);
}

TEST_F(BufferTest, WrapBufferOfSizeZeroDoesNothing) {
  Buffer_Standard b(0, BUFFER_WRAP, 4);
  EXPECT_EQ(WriteReal(&b, BUFFER_U8, 1), -2);
  EXPECT_EQ(ReadReal(&b, BUFFER_U8), -3);
  EXPECT_EQ(b.Seek(1, -5), 0);
  EXPECT_EQ(b.Seek(1, 5), 0);
  EXPECT_EQ(PeekReal(&b, 3, BUFFER_U8), 0);
  PokeReal(&b, 3, BUFFER_U8, 1);
  b.Fill(0, 10, BUFFER_U8, nullptr, 0, true);
  const uint8_t src[3] = {1, 2, 3};
  EXPECT_EQ(b.WriteBytes(src, 1, 3), 0);
  uint8_t dst[3];
  EXPECT_EQ(b.ReadBytes(dst, 1, 3), 0);
  ScriptValue v{};
  b.Md5(&v, 0, 4);
  EXPECT_EQ(TakeText(v), std::nullopt);
  EXPECT_EQ(b.m_Size, 0);
}

TEST_F(BufferTest, GrowBufferDoublesAndKeepsItsBytes) {
  Buffer_Standard b(16, BUFFER_GROW, 1);
  for (int i = 0; i < 20; ++i) ASSERT_EQ(WriteReal(&b, BUFFER_U8, i + 1), 0);
  EXPECT_EQ(b.m_Size, 32);
  EXPECT_EQ(b.m_UsedSize, 20);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(b.m_pData[i], i + 1);
  for (int i = 20; i < 32; ++i) EXPECT_EQ(b.m_pData[i], 0);

  // From size 0 growth starts at 16 bytes and doubles from there.
  Buffer_Standard z(0, BUFFER_GROW, 1);
  ASSERT_EQ(WriteReal(&z, BUFFER_U32, 7), 0);
  EXPECT_EQ(z.m_Size, 16);
  EXPECT_EQ(z.m_UsedSize, 4);
  z.Resize(0);
  EXPECT_EQ(z.m_Position, 0);
  ASSERT_EQ(WriteText(&z, BUFFER_STRING, std::string(40, 'x').c_str()), 0);
  EXPECT_EQ(z.m_Size, 64);
  EXPECT_EQ(z.m_UsedSize, 41);

  // An element that would take the buffer past the largest size is refused.
  Buffer_Standard big(4, BUFFER_GROW, 1);
  big.Seek(0, INT32_MAX);
  EXPECT_EQ(WriteReal(&big, BUFFER_U32, 1), -2);
  EXPECT_EQ(big.m_Size, 4);
}

TEST_F(BufferTest, SeekBases) {
  struct Case {
    int kind, size, alignment, start, base, offset, position, phase;
  };
  const Case cases[] = {
      {BUFFER_FIXED, 10, 1, 3, 0, -5, 0, 0},
      {BUFFER_FIXED, 10, 1, 3, 0, 7, 7, 0},
      {BUFFER_FIXED, 10, 1, 3, 1, -10, 0, 0},
      {BUFFER_FIXED, 10, 1, 3, 1, 100, 103, 0},  // no upper bound
      {BUFFER_FIXED, 10, 1, 3, 2, 3, 7, 0},
      {BUFFER_FIXED, 10, 1, 3, 2, -1, 10, 0},
      {BUFFER_FIXED, 10, 1, 3, 2, 20, 0, 0},
      {BUFFER_FIXED, 10, 1, 3, 3, 5, 3, 0},  // unknown base
      {BUFFER_FIXED, 10, 1, INT32_MAX, 1, INT32_MAX, INT32_MAX, 0},
      {BUFFER_WRAP, 10, 1, 0, 1, -1, 9, 0},
      {BUFFER_WRAP, 10, 1, 5, 1, 27, 2, 0},
      {BUFFER_WRAP, 10, 1, 0, 1, -21, 9, 0},
      {BUFFER_WRAP, 6, 4, 0, 1, -1, 5, 2},
      {BUFFER_WRAP, 6, 4, 0, 1, 13, 1, 0},
      {BUFFER_WRAP, 6, 4, 0, 1, 7, 1, 2},
      {BUFFER_WRAP, 7, 1, 0, 1, INT32_MIN, 7 - static_cast<int>((2147483648LL) % 7), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " start " << c.start << " base " << c.base
                                    << " offset " << c.offset);
    Buffer_Standard b(c.size, c.kind, c.alignment);
    b.m_Position = c.start;
    EXPECT_EQ(b.Seek(c.base, c.offset), c.position);
    EXPECT_EQ(b.m_Position, c.position);
    EXPECT_EQ(b.m_WrapPhase, c.phase);
  }
}

TEST_F(BufferTest, PeekAndPokeStayInside) {
  Buffer_Standard b(8, BUFFER_FIXED, 4);
  b.Seek(0, 3);
  PokeReal(&b, 6, BUFFER_U16, 0x0102);
  EXPECT_EQ(PeekReal(&b, 6, BUFFER_U16), 0x0102);
  EXPECT_EQ(b.m_Position, 3);  // neither moves the position nor aligns
  PokeReal(&b, 1, BUFFER_U16, 0x0304);
  EXPECT_EQ(b.m_pData[1], 4);
  const Bytes before = Contents(b);
  for (int offset : {-1, 7, 8, INT32_MAX, INT32_MIN}) {
    SCOPED_TRACE(offset);
    PokeReal(&b, offset, BUFFER_U16, 0xFFFF);
    PokeReal(&b, offset, BUFFER_F64, 1.0);
    EXPECT_EQ(PeekReal(&b, offset, BUFFER_U16), 0);
    EXPECT_EQ(PeekReal(&b, offset, BUFFER_F64), 0);
  }
  EXPECT_EQ(Contents(b), before);
  // Peek takes types 1 to 10 only; type 7 and 12 are not poked.
  EXPECT_EQ(PeekReal(&b, 0, BUFFER_F16), 0);
  EXPECT_EQ(PeekReal(&b, 0, BUFFER_STRING), 0);
  PokeReal(&b, 0, BUFFER_F16, 1.0);
  EXPECT_EQ(Contents(b), before);

  // Strings and texts are poked with and without their terminator.
  ScriptValue text{};
  text.str = const_cast<char*>("xy");
  text.kind = VALUE_STRING;
  Buffer_Standard s(6, BUFFER_FIXED, 1);
  std::memset(s.m_pData, 0xEE, 6);
  s.Poke(0, BUFFER_STRING, &text);
  s.Poke(3, BUFFER_TEXT, &text);
  EXPECT_EQ(Contents(s), (Bytes{'x', 'y', 0, 'x', 'y', 0xEE}));
  s.Poke(5, BUFFER_TEXT, &text);  // does not fit
  EXPECT_EQ(s.m_pData[5], 0xEE);

  // Wrap: offsets are taken modulo the size and the bytes run round.
  Buffer_Standard w(6, BUFFER_WRAP, 1);
  PokeReal(&w, 16, BUFFER_U32, 0x01020304);
  EXPECT_EQ(Contents(w), (Bytes{2, 1, 0, 0, 4, 3}));
  EXPECT_EQ(PeekReal(&w, 4, BUFFER_U32), 0x01020304);
  EXPECT_EQ(PeekReal(&w, 4 + 6 * 1000, BUFFER_U32), 0x01020304);
  EXPECT_EQ(PeekReal(&w, -2, BUFFER_U8), 0);

  // The used size follows a poke.
  Buffer_Standard g(4, BUFFER_GROW, 1);
  g.Resize(16);
  EXPECT_EQ(g.m_UsedSize, 4);
  PokeReal(&g, 10, BUFFER_U16, 1);
  EXPECT_EQ(g.m_UsedSize, 12);
}

// ---- Fill ----

TEST_F(BufferTest, FillPlacesValuesInSlots) {
  struct Case {
    const char* name;
    int kind, size, alignment, offset, length, type;
    double value;
    int stride;
    bool zeroGaps;
    Bytes expected;  // before: every byte 0xEE
  };
  constexpr uint8_t E = 0xEE;
  const Case cases[] = {
      {"all bytes", BUFFER_FIXED, 6, 1, 0, -1, BUFFER_U8, 7, 0, false, {7, 7, 7, 7, 7, 7}},
      {"stride, gaps kept", BUFFER_FIXED, 8, 1, 0, 8, BUFFER_U16, 0x0102, 3, false, {2, 1, E, 2, 1, E, 2, 1}},
      {"stride, gaps zeroed", BUFFER_FIXED, 8, 1, 0, 8, BUFFER_U16, 0x0102, 3, true, {2, 1, 0, 2, 1, 0, 2, 1}},
      {"value cut to the stride", BUFFER_FIXED, 6, 1, 0, 6, BUFFER_U32, 0x01020304, 2, false,
       {4, 3, 4, 3, 4, 3}},
      {"aligned slots, gaps zeroed", BUFFER_FIXED, 16, 4, 2, 12, BUFFER_U16, 0x0102, 0, true,
       {E, E, 0, 0, 2, 1, 0, 0, 2, 1, 0, 0, 2, 1, E, E}},
      {"aligned slots, gaps kept", BUFFER_FIXED, 16, 4, 2, 12, BUFFER_U16, 0x0102, 0, false,
       {E, E, E, E, 2, 1, E, E, 2, 1, E, E, 2, 1, E, E}},
      {"short rest zeroed", BUFFER_FIXED, 10, 4, 0, -1, BUFFER_U32, 0x01020304, 0, true,
       {4, 3, 2, 1, 4, 3, 2, 1, 0, 0}},
      {"short rest kept", BUFFER_FIXED, 10, 4, 0, -1, BUFFER_U32, 0x01020304, 0, false,
       {4, 3, 2, 1, 4, 3, 2, 1, E, E}},
      {"size cut at the end", BUFFER_FIXED, 6, 1, 4, 100, BUFFER_U8, 1, 0, false, {E, E, E, E, 1, 1}},
      {"offset past the end", BUFFER_FIXED, 6, 1, 6, 2, BUFFER_U8, 1, 0, true, {E, E, E, E, E, E}},
      {"negative offset", BUFFER_FIXED, 6, 1, -1, 2, BUFFER_U8, 1, 0, true, {E, E, E, E, E, E}},
      {"type 7", BUFFER_FIXED, 4, 1, 0, -1, BUFFER_F16, 1, 0, true, {E, E, E, E}},
      {"type 12", BUFFER_FIXED, 8, 1, 0, -1, BUFFER_U64, 1, 0, true, {E, E, E, E, E, E, E, E}},
      {"wrap round the end", BUFFER_WRAP, 6, 1, 10, 6, BUFFER_U16, 0x0102, 2, false, {2, 1, 2, 1, 2, 1}},
      {"wrap, element across the end", BUFFER_WRAP, 6, 1, 5, 4, BUFFER_U16, 0x0102, 0, false,
       {1, 2, 1, E, E, 2}},
      {"wrap, bytes many times round", BUFFER_WRAP, 4, 1, 2, 9, BUFFER_U8, 5, 0, false, {5, 5, 5, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Buffer_Standard b(c.size, c.kind, c.alignment);
    std::memset(b.m_pData, 0xEE, static_cast<size_t>(c.size));
    b.Seek(0, 1);
    b.Fill(c.offset, c.length, c.type, &c.value, c.stride, c.zeroGaps);
    EXPECT_EQ(Contents(b), c.expected);
    EXPECT_EQ(b.m_Position, 1);
  }

  // Texts fill without their terminator for type 13; an empty text fills nothing.
  Buffer_Standard t(5, BUFFER_FIXED, 1);
  ScriptValue text{};
  text.str = const_cast<char*>("ab");
  text.kind = VALUE_STRING;
  t.Fill(0, -1, BUFFER_TEXT, &text, 0, true);
  EXPECT_EQ(Contents(t), Text(std::string("abab\0", 5)));
  text.str = const_cast<char*>("");
  t.Fill(0, -1, BUFFER_TEXT, &text, 0, true);
  EXPECT_EQ(Contents(t), Text(std::string("abab\0", 5)));

  // The used size follows the pieces written.
  Buffer_Standard g(2, BUFFER_GROW, 1);
  g.Resize(8);
  const double one = 1;
  g.Fill(4, 2, BUFFER_U8, &one, 0, false);
  EXPECT_EQ(g.m_UsedSize, 6);
}

// ---- Copies ----

TEST_F(BufferTest, CopyBetweenKinds) {
  auto source = [](int kind, int size) {
    auto* b = new Buffer_Standard(size, kind, 1);
    for (int i = 0; i < size; ++i) b->m_pData[i] = static_cast<uint8_t>(10 + i);
    return b;
  };
  struct Case {
    const char* name;
    int srcKind, srcSize, srcOffset, count;
    int destKind, destSize, destOffset;
    Bytes expected;
  };
  const Case cases[] = {
      {"fixed to fixed, cut at both ends", BUFFER_FIXED, 8, 2, 10, BUFFER_FIXED, 6, 3, {0, 0, 0, 12, 13, 14}},
      {"negative count copies everything", BUFFER_FIXED, 3, 0, -1, BUFFER_FIXED, 4, 0, {10, 11, 12, 0}},
      {"negative offsets count as 0", BUFFER_FIXED, 3, -5, 2, BUFFER_FIXED, 3, -2, {10, 11, 0}},
      {"destination offset past the end", BUFFER_FIXED, 3, 0, 3, BUFFER_FIXED, 3, 3, {0, 0, 0}},
      {"fixed to grow", BUFFER_FIXED, 4, 0, 4, BUFFER_GROW, 2, 3, {0, 0, 0, 10, 11, 12, 13}},
      {"to a fixed buffer of size 0", BUFFER_FIXED, 2, 0, -1, BUFFER_FIXED, 0, 1, {0, 10, 11}},
      {"fixed to wrap", BUFFER_FIXED, 8, 0, 8, BUFFER_WRAP, 5, 3, {17, 13, 14, 15, 16}},
      {"wrap source runs round", BUFFER_WRAP, 8, 6, 4, BUFFER_FIXED, 6, 1, {0, 16, 17, 10, 11, 0}},
      {"wrap to wrap", BUFFER_WRAP, 3, 2, 5, BUFFER_WRAP, 4, 2, {11, 12, 10, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Buffer_Standard* src = source(c.srcKind, c.srcSize);
    Buffer_Standard dest(c.destSize, c.destKind, 1);
    src->Copy(c.srcOffset, c.count, &dest, c.destOffset);
    EXPECT_EQ(Contents(dest), c.expected);
    delete src;
  }

  // Into a grow buffer beyond its end: exactly offset + count, used size following.
  Buffer_Standard* src = source(BUFFER_FIXED, 4);
  Buffer_Standard g(2, BUFFER_GROW, 1);
  g.Resize(4);
  g.m_UsedSize = 1;
  src->Copy(0, 2, &g, 1);
  EXPECT_EQ(g.m_UsedSize, 3);
  src->Copy(0, -1, &g, 6);
  EXPECT_EQ(g.m_Size, 10);
  EXPECT_EQ(g.m_UsedSize, 10);
  src->Copy(0, 4, nullptr, 0);  // no destination: nothing
  delete src;

  // A grow buffer copied into itself past its end keeps its source bytes through the resize.
  Buffer_Standard self(4, BUFFER_GROW, 1);
  SetContents(self, {1, 2, 3, 4});
  self.Copy(0, 4, &self, 2);
  EXPECT_EQ(Contents(self), (Bytes{1, 2, 1, 2, 3, 4}));
}

TEST_F(BufferTest, CopyMemoryRulesAndTheirAnswers) {
  const uint8_t src[5] = {1, 2, 3, 4, 5};
  uint8_t dest[4] = {};
  EXPECT_EQ(CopyMemoryRegion(dest, 4, src, 5, 3, 4, 2, true, true), 2);
  EXPECT_EQ(Bytes(dest, dest + 4), (Bytes{1, 2, 4, 5}));
  EXPECT_EQ(CopyMemoryRegion(dest, 4, src, 0, 0, 1, 0, false, false), -1);
  EXPECT_EQ(CopyMemoryRegion(dest, 0, src, 5, 0, 1, 0, false, false), -1);
  EXPECT_EQ(CopyMemoryRegion(dest, 4, nullptr, 5, 0, 1, 0, false, false), -1);
  EXPECT_EQ(CopyMemoryRegion(dest, 4, src, 5, 0, 2, 1, false, false), 3);
  EXPECT_EQ(CopyMemoryRegion(dest, 4, src, 5, 0, 2, 4, false, false), -1);
  // Huge offsets and counts stay inside both blocks.
  EXPECT_EQ(CopyMemoryRegion(dest, 4, src, 5, INT32_MAX, INT32_MAX, 3, false, false), 4);
  EXPECT_EQ(dest[3], 5);
  EXPECT_EQ(CopyMemoryRegion(dest, 4, src, 5, INT32_MIN, 7, INT32_MIN, true, true), 3);

  Buffer_Standard b(4, BUFFER_FIXED, 1);
  EXPECT_EQ(CopyMemoryToBuffer(&b, src, 5, 0, -1, 1, false, false, false), 4);
  EXPECT_EQ(Contents(b), (Bytes{0, 1, 2, 3}));
  EXPECT_EQ(CopyMemoryToBuffer(nullptr, src, 5, 0, -1, 1, false, false, false), -1);
  Buffer_Standard g(0, BUFFER_GROW, 1);
  EXPECT_EQ(CopyMemoryToBuffer(&g, src, 5, 1, 3, -4, true, false, false), 3);
  EXPECT_EQ(Contents(g), (Bytes{2, 3, 4}));
  EXPECT_EQ(CopyMemoryToBuffer(&g, src, 5, 0, 1, INT32_MAX, true, false, false), -1);
  EXPECT_EQ(g.m_Size, 3);
}

TEST_F(BufferTest, WriteBytesAndReadBytes) {
  const uint8_t src[6] = {1, 2, 3, 4, 5, 6};
  uint8_t out[8] = {};

  Buffer_Standard f(4, BUFFER_FIXED, 4);
  f.m_Position = 1;
  EXPECT_EQ(f.WriteBytes(src, 2, 3), 3);  // cut to what fits, no alignment
  EXPECT_EQ(Contents(f), (Bytes{0, 1, 2, 3}));
  EXPECT_EQ(f.m_Position, 4);
  EXPECT_EQ(f.WriteBytes(src, 1, 1), 0);
  f.m_Position = -3;  // counts as 0
  EXPECT_EQ(f.ReadBytes(out, 1, 8), 4);
  EXPECT_EQ(Bytes(out, out + 4), (Bytes{0, 1, 2, 3}));
  EXPECT_EQ(f.ReadBytes(out, 1, 1), 0);
  EXPECT_EQ(f.WriteBytes(src, INT32_MAX, INT32_MAX), 0);
  EXPECT_EQ(f.WriteBytes(src, -1, 3), 0);

  Buffer_Standard g(2, BUFFER_GROW, 1);
  g.m_Position = 1;
  EXPECT_EQ(g.WriteBytes(src, 1, 6), 6);
  EXPECT_EQ(g.m_Size, 7);  // exactly position + bytes
  EXPECT_EQ(g.m_UsedSize, 7);
  EXPECT_EQ(g.m_Position, 7);
  EXPECT_EQ(Contents(g), (Bytes{0, 1, 2, 3, 4, 5, 6}));

  Buffer_Standard w(4, BUFFER_WRAP, 1);
  w.m_Position = 6;  // taken modulo the size first
  EXPECT_EQ(w.WriteBytes(src, 1, 6), 6);
  EXPECT_EQ(Contents(w), (Bytes{3, 4, 5, 6}));
  EXPECT_EQ(w.m_Position, 0);
  w.m_Position = 3;
  EXPECT_EQ(w.ReadBytes(out, 1, 6), 6);
  EXPECT_EQ(Bytes(out, out + 6), (Bytes{6, 3, 4, 5, 6, 3}));
  EXPECT_EQ(w.m_Position, 1);
}

// ---- Resize ----

TEST_F(BufferTest, ResizeKeepsBytesAndRefusesNegativeSizes) {
  Buffer_Standard b(6, BUFFER_FIXED, 8);
  SetContents(b, {1, 2, 3, 4, 5, 6});
  b.Resize(8);
  EXPECT_EQ(Contents(b), (Bytes{1, 2, 3, 4, 5, 6, 0, 0}));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b.m_pData) % 8, 0u);
  EXPECT_EQ(b.m_AllocSize, 16);

  b.m_Position = 5;
  b.m_WrapPhase = 3;
  b.Resize(5);
  EXPECT_EQ(Contents(b), (Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(b.m_Position, 0);
  EXPECT_EQ(b.m_WrapPhase, 0);
  EXPECT_EQ(b.m_UsedSize, 5);

  uint8_t* data = b.m_pData;
  b.Resize(-1);
  b.Resize(INT32_MAX);
  EXPECT_EQ(b.m_Size, 5);
  EXPECT_EQ(b.m_pData, data);

  // A buffer over lent memory leaves it to its owner and takes a block of its own.
  Bytes lent{9, 8, 7};
  Buffer_Standard over(lent.data(), 3, BUFFER_FIXED, 1, false);
  over.Resize(4);
  EXPECT_EQ(Contents(over), (Bytes{9, 8, 7, 0}));
  EXPECT_EQ(over.m_OwnsMemory, 1);
  over.m_pData[0] = 1;
  EXPECT_EQ(lent[0], 9);
}

// ---- Buffer_Fast ----

TEST_F(BufferTest, FastBufferTakesBytesOnly) {
  Buffer_Fast b(3, 4);
  EXPECT_EQ(WriteReal(&b, BUFFER_U8, 258.7), 0);
  EXPECT_EQ(WriteReal(&b, BUFFER_U8, -1), 0);  // no alignment
  EXPECT_EQ(b.m_Position, 2);
  EXPECT_EQ(WriteReal(&b, BUFFER_S8, 1), -4);
  EXPECT_EQ(WriteReal(&b, BUFFER_U8, 3), 0);
  EXPECT_EQ(WriteReal(&b, BUFFER_U8, 4), -2);
  EXPECT_EQ(Contents(b), (Bytes{2, 255, 3}));

  b.Seek(0, 1);
  int rc = 0;
  EXPECT_EQ(ReadReal(&b, BUFFER_U8, &rc), 255);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(ReadReal(&b, BUFFER_U16, &rc), 0);
  EXPECT_EQ(rc, -4);
  b.Seek(0, 3);
  EXPECT_EQ(ReadReal(&b, BUFFER_U8, &rc), 0);
  EXPECT_EQ(rc, -2);

  PokeReal(&b, 2, BUFFER_U8, 9);
  PokeReal(&b, 3, BUFFER_U8, 9);
  PokeReal(&b, -1, BUFFER_U8, 9);
  PokeReal(&b, 0, BUFFER_U16, 9);
  EXPECT_EQ(Contents(b), (Bytes{2, 255, 9}));
  EXPECT_EQ(PeekReal(&b, 2, BUFFER_U8), 9);
  EXPECT_EQ(PeekReal(&b, 3, BUFFER_U8), 0);
  EXPECT_EQ(PeekReal(&b, 0, BUFFER_U16), 0);
  EXPECT_EQ(b.ReadString(), nullptr);
}

// ---- The table ----

TEST_F(BufferTest, TableCreatesReusesAndGrows) {
  const int a = CreateBuffer(4, BUFFER_FIXED, 1);
  const int b = CreateBuffer(4, BUFFER_FAST, 1);
  ASSERT_GE(a, 0);
  EXPECT_NE(dynamic_cast<Buffer_Standard*>(GetBuffer(a)), nullptr);
  EXPECT_NE(dynamic_cast<Buffer_Fast*>(GetBuffer(b)), nullptr);
  EXPECT_EQ(GetBuffer(b)->m_Type, BUFFER_FAST);
  DeleteBuffer(a);
  EXPECT_EQ(GetBuffer(a), nullptr);
  EXPECT_EQ(CreateBuffer(1, BUFFER_GROW, 1), a);  // lowest free slot first
  DeleteBuffer(a);
  DeleteBuffer(b);
  DeleteBuffer(b);  // names no buffer: nothing
  EXPECT_EQ(GetBuffer(-1), nullptr);
  EXPECT_EQ(GetBuffer(GetBufferTableLength()), nullptr);

  // Filling every slot makes the table twice as long, the first new slot coming next.
  const int length = GetBufferTableLength();
  std::vector<int> made;
  for (int i = 0; i <= length; ++i) {
    if (GetBuffer(i) == nullptr && i < length) made.push_back(CreateBuffer(0, BUFFER_FIXED, 1));
  }
  EXPECT_EQ(GetBufferTableLength(), length);
  made.push_back(CreateBuffer(0, BUFFER_FIXED, 1));
  EXPECT_EQ(made.back(), length);
  EXPECT_EQ(GetBufferTableLength(), 2 * length);
  EXPECT_EQ(GetBuffer(length + 1), nullptr);
  for (int i : made) DeleteBuffer(i);
}

TEST_F(BufferTest, AlignmentIsThePowerOfTwoOfTheLowNineBits) {
  // Only the low nine bits count, so 512 and 1024 ask for nothing and get 1.
  const std::pair<int, int> cases[] = {{1, 1}, {0, 1}, {3, 4}, {8, 8}, {256, 256}, {511, 512},
                                       {512, 1}, {600, 128}, {1024, 1}, {-1, 512}};
  for (auto [asked, given] : cases) {
    SCOPED_TRACE(asked);
    const int index = CreateBuffer(5, BUFFER_GROW, asked);
    IBuffer* b = GetBuffer(index);
    EXPECT_EQ(b->m_Alignment, given);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b->m_pData) % static_cast<uintptr_t>(given), 0u);
    EXPECT_EQ(b->m_AllocSize, 5 + given);
    EXPECT_EQ(b->m_UsedSize, 5);
    EXPECT_EQ(b->m_InUseCount, 0);
    DeleteBuffer(index);
  }
}

TEST_F(BufferTest, BufferOverMemoryFreesItOnlyWhenItOwnsIt) {
  uint8_t* block = static_cast<uint8_t*>(MemoryManager::Alloc(3, __FILE__, __LINE__, true));
  block[0] = 42;
  const int owned = CreateBufferFromMemory(block, 3, true);
  IBuffer* b = GetBuffer(owned);
  EXPECT_EQ(b->m_pData, block);
  EXPECT_EQ(b->m_Type, BUFFER_FIXED);
  EXPECT_EQ(b->m_Alignment, 1);
  EXPECT_EQ(ReadReal(b, BUFFER_U8), 42);
  DeleteBuffer(owned);  // the block goes with it

  uint8_t mine[2] = {1, 2};
  const int lent = CreateBufferFromMemory(mine, 2, false);
  EXPECT_EQ(WriteReal(GetBuffer(lent), BUFFER_U16, 0x0304), 0);
  DeleteBuffer(lent);
  EXPECT_EQ(mine[0], 4);

  // The empty buffer grows as a load fills it.
  Buffer_Standard empty;
  EXPECT_EQ(empty.m_Type, BUFFER_GROW);
  EXPECT_EQ(empty.m_pRawData, nullptr);
  EXPECT_EQ(WriteReal(&empty, BUFFER_U8, 1), 0);
  EXPECT_EQ(empty.m_Size, kFirstGrowSize);
}

TEST_F(BufferTest, UnknownKindIsFatal) {
  {
    ProcessExitTrap trap;
    MessageBoxRecorder boxes;
    try {
      CreateBuffer(4, 5, 1);
      ADD_FAILURE() << "no fatal error";
    } catch (const ProcessExited& e) {
      EXPECT_EQ(e.status, kFatalExitStatus);
    }
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_THAT(boxes.boxes()[0].text,
                ::testing::HasSubstr("Unknown buffer type, should be one of buffer_fixed, buffer_grow, "
                                     "buffer_wrap, buffer_fast, buffer_vbuffer\r\n"));
  }
  Error_ResetState();  // the report kept its text as error_last
  g_ErrorSuppressed = true;
  g_ErrorFlag = false;
  auto freeSlots = [] {
    int n = 0;
    for (int i = 0; i < GetBufferTableLength(); ++i) n += GetBuffer(i) == nullptr;
    return n;
  };
  const int before = freeSlots();
  EXPECT_EQ(CreateBuffer(4, -1, 1), -1);
  EXPECT_TRUE(g_ErrorFlag.load());
  EXPECT_EQ(freeSlots(), before);  // no slot was filled
  g_ErrorSuppressed = false;
  g_ErrorFlag = false;
}

// ---- Files, encodings, digests ----

// A game in a temporary folder: its data file in game/, its save area in data/runner/save/.
class BufferFileTest : public BufferTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    std::filesystem::create_directories(m_dir.path() / "game");
    std::filesystem::create_directories(m_dir.path() / "data" / "runner" / "save");
    m_home.emplace("HOME", m_dir.path().c_str());
    m_data.emplace("XDG_DATA_HOME", (m_dir.path() / "data").c_str());
    SetGameFilePath((m_dir.path() / "game" / "data.win").c_str());
    SetSaveAreaGameInfo("save", 0);
    // The paths are cached before the blocks are counted.
    GetGameDirectory();
    GetSaveDirectory();
    CountBlocks();
  }
  void TearDown() override {
    BufferTest::TearDown();
    m_data.reset();
    m_home.reset();
  }
  void PutFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
  }
  std::filesystem::path SavePath(const char* name) { return m_dir.path() / "data" / "runner" / "save" / name; }

  TempDir m_dir;
  std::optional<EnvOverride> m_home, m_data;
};

TEST_F(BufferFileTest, SaveWritesARegionIntoTheSaveArea) {
  Buffer_Standard b(6, BUFFER_FIXED, 1);
  SetContents(b, Text("abcdef"));
  b.m_UsedSize = 2;
  EXPECT_TRUE(b.Save("part.bin", 2, 3));
  EXPECT_EQ(ReadFile(SavePath("part.bin").string()), "cde");
  EXPECT_TRUE(b.Save("whole.bin", 0, -1));  // the whole size, not the used size
  EXPECT_EQ(ReadFile(SavePath("whole.bin").string()), "abcdef");
  EXPECT_TRUE(b.Save("tail.bin", 99, 10));  // offset clamped, size cut
  EXPECT_EQ(ReadFile(SavePath("tail.bin").string()), "f");
}

TEST_F(BufferFileTest, LoadReadsTheSaveAreaThenTheGameFolder) {
  PutFile(SavePath("") / "both.bin", "saved");
  PutFile(m_dir.path() / "game" / "both.bin", "game!");
  PutFile(m_dir.path() / "game" / "only.bin", "0123456789");

  Buffer_Standard empty;
  EXPECT_TRUE(empty.Load("both.bin", 0, -1, 0));
  EXPECT_EQ(Contents(empty), Text("saved"));
  EXPECT_EQ(empty.m_UsedSize, 5);

  Buffer_Standard fixed(6, BUFFER_FIXED, 1);
  EXPECT_TRUE(fixed.Load("only.bin", 3, 100, 2));  // cut to what fits
  EXPECT_EQ(Contents(fixed), Text(std::string("\0\0" "3456", 6)));

  Buffer_Standard wrap(4, BUFFER_WRAP, 1);
  EXPECT_TRUE(wrap.Load("only.bin", 0, 6, 2));
  EXPECT_EQ(Contents(wrap), Text("2345"));

  for (const char* name : {"missing.bin", "http://x", "https://x"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(fixed.Load(name, 0, -1, 0));
  }
  // Refused by their names, even where such files would be found.
  for (const char* dir : {"http:", "https:"}) {
    std::filesystem::create_directories(SavePath(dir));
    PutFile(SavePath(dir) / "x", "x");
  }
  EXPECT_FALSE(fixed.Load("http://x", 0, -1, 0));
  EXPECT_FALSE(fixed.Load("https://x", 0, -1, 0));
}

TEST_F(BufferTest, Base64EncodeAndDecode) {
  Buffer_Standard b(5, BUFFER_FIXED, 1);
  SetContents(b, Text("hello"));
  ScriptValue v{};
  b.Base64Encode(&v, 0, -1);
  EXPECT_EQ(TakeText(v), "aGVsbG8=");
  b.Base64Encode(&v, 1, 3);
  EXPECT_EQ(TakeText(v), "ZWxs");
  b.Base64Encode(&v, -4, 2);
  EXPECT_EQ(TakeText(v), "aGU=");

  // With a negative size every byte of the room is copied: the decoded ones, then zeros.
  Buffer_Standard empty;
  EXPECT_TRUE(empty.Base64Decode("aGVsbG8=", 0, -1));
  EXPECT_EQ(Contents(empty), Text(std::string("hello\0\0\0\0\0", 10)));

  Buffer_Standard fixed(6, BUFFER_FIXED, 1);
  std::memset(fixed.m_pData, '.', 6);
  EXPECT_TRUE(fixed.Base64Decode("aGVsbG8=", 2, 3));
  EXPECT_EQ(Contents(fixed), Text("..hel."));
  EXPECT_FALSE(fixed.Base64Decode(nullptr, 0, -1));

  Buffer_Standard none(0, BUFFER_FIXED, 1);
  none.Base64Encode(&v, 0, -1);
  EXPECT_EQ(TakeText(v), "");
}

TEST_F(BufferTest, DigestsOfRegions) {
  struct Case {
    const char* name;
    int kind;
    std::string contents;
    int offset, size;
    const char* md5;
    const char* sha1;
  };
  const Case cases[] = {
      {"whole", BUFFER_FIXED, "abc", 0, -1, "900150983cd24fb0d6963f7d28e17f72",
       "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"clamped and cut", BUFFER_FIXED, "xabc", 1, 100, "900150983cd24fb0d6963f7d28e17f72",
       "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"empty region", BUFFER_FIXED, "abc", 0, 0, "d41d8cd98f00b204e9800998ecf8427e",
       "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"wrap round the end", BUFFER_WRAP, "bca", 2, 3, "900150983cd24fb0d6963f7d28e17f72",
       "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"wrap more than once round", BUFFER_WRAP, "abc", -3, 6, "440ac85892ca43ad26d44c7ad9d47d3e",
       "f8c1d87006fbf7e5cc4b026c3138bc046883dc71"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Buffer_Standard b(static_cast<int>(c.contents.size()), c.kind, 1);
    SetContents(b, Text(c.contents));
    ScriptValue v{};
    b.Md5(&v, c.offset, c.size);
    EXPECT_EQ(TakeText(v), c.md5);
    b.Sha1(&v, c.offset, c.size);
    EXPECT_EQ(TakeText(v), c.sha1);
  }
  Buffer_Standard none(0, BUFFER_FIXED, 1);
  ScriptValue v{};
  none.Sha1(&v, 0, -1);
  EXPECT_EQ(TakeText(v), std::nullopt);
}

TEST_F(BufferTest, GetSurfaceCopiesNothingWithoutSurfaces) {
  Buffer_Standard b(16, BUFFER_FIXED, 1);
  std::memset(b.m_pData, 0xEE, 16);
  b.GetSurface(0, 0, 0, 0);
  EXPECT_EQ(Contents(b), Bytes(16, 0xEE));
  EXPECT_EQ(b.m_Position, 0);
}

}  // namespace
