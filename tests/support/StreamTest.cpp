#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/VCL.h"
#include "platform/MemoryManager.h"
#include "support/CStream.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;

namespace {

// The stream's bytes from the start, `count` of them (its size when -1).
std::vector<uint8_t> Bytes(const CStream& s, int32_t count = -1) {
  if (count < 0) count = s.GetSize();
  if (s.GetData() == nullptr) return {};
  return std::vector<uint8_t>(s.GetData(), s.GetData() + count);
}

// A stream of exactly these bytes (size = length of the block), positioned at 0.
CStream* MakeStream(const std::vector<uint8_t>& bytes) {
  CStream* s = new CStream(static_cast<int32_t>(bytes.size()));
  if (!bytes.empty()) std::memcpy(s->GetData(), bytes.data(), bytes.size());
  return s;
}

std::string TakeText(char* text) {
  std::string s = text ? text : "<null>";
  MemoryManager::Free(text);
  return s;
}

TEST(CStream, NewStreamsAndDelete) {
  CStream empty;
  EXPECT_EQ(empty.GetData(), nullptr);
  EXPECT_EQ(empty.GetSize(), 0);
  CStream sized(6);
  EXPECT_EQ(Bytes(sized), std::vector<uint8_t>(6, 0));
  EXPECT_EQ(sized.GetPosition(), 0);
  EXPECT_TRUE(MemoryManager::IsManaged(sized.GetData()));
  CStream::Delete(nullptr);
  CStream::Delete(new CStream(3));
}

TEST(CStream, WritesAreByteExactAndGrowByDoubling) {
  CStream s;
  s.WriteInteger(7);
  EXPECT_EQ(s.GetSize(), 4);
  EXPECT_EQ(Bytes(s), (std::vector<uint8_t>{7, 0, 0, 0}));
  s.WriteReal(1.0);  // 8 needed, doubling to 8 is too small: position + 8
  EXPECT_EQ(s.GetSize(), 12);
  EXPECT_EQ(Bytes(s), (std::vector<uint8_t>{7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
  s.WriteBoolean(true);  // doubles to 24; the tail is zero
  EXPECT_EQ(s.GetSize(), 24);
  EXPECT_EQ(s.GetPosition(), 16);
  EXPECT_EQ(Bytes(s), (std::vector<uint8_t>{7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 1, 0, 0, 0,
                                            0, 0, 0, 0, 0, 0, 0, 0}));
  s.WriteBoolean(false);
  EXPECT_EQ(s.GetSize(), 24);

  CStream runs;
  std::vector<int32_t> sizes;
  for (int i = 0; i < 5; ++i) {
    runs.WriteInteger(-1);
    sizes.push_back(runs.GetSize());
  }
  EXPECT_EQ(sizes, (std::vector<int32_t>{4, 8, 16, 16, 32}));
  std::vector<uint8_t> big(100, 0xAB);
  EXPECT_EQ(runs.WriteBuffer(big.data(), 100), 100);  // one large write jumps to position + n
  EXPECT_EQ(runs.GetSize(), 120);
  EXPECT_EQ(runs.Write(nullptr, 5), 0);
  EXPECT_EQ(runs.Write(big.data(), 0), 0);
  EXPECT_EQ(runs.GetPosition(), 120);

  // Writing past the size leaves zeros in the gap; writing before the start does nothing.
  CStream gap;
  gap.SetPosition(3);
  gap.WriteInteger(0x04030201);
  EXPECT_EQ(Bytes(gap), (std::vector<uint8_t>{0, 0, 0, 1, 2, 3, 4}));
  gap.SetPosition(-2);
  EXPECT_EQ(gap.WriteBuffer(big.data(), 4), 0);
  EXPECT_EQ(Bytes(gap), (std::vector<uint8_t>{0, 0, 0, 1, 2, 3, 4}));
}

TEST(CStream, WritingItsOwnBytesSurvivesGrowth) {
  CStream s;
  s.WriteInteger(0x44332211);
  EXPECT_EQ(s.WriteBuffer(s.GetData(), 4), 4);  // the block moves while growing
  EXPECT_EQ(Bytes(s), (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x44, 0x11, 0x22, 0x33, 0x44}));
}

TEST(CStream, FixedWidthReadsAtTheEnd) {
  CStream* s = MakeStream({0x78, 0x56, 0x34, 0x12, 0x01, 0x02});
  EXPECT_EQ(s->ReadInteger(), 0x12345678);
  EXPECT_EQ(s->ReadInteger(), 0x0201);  // the missing bytes count as zero
  EXPECT_EQ(s->GetPosition(), 8);       // two past the size
  EXPECT_EQ(s->ReadInteger(), 0);
  EXPECT_EQ(s->ReadReal(), 0.0);
  EXPECT_FALSE(s->ReadBoolean());
  EXPECT_EQ(s->GetPosition(), 8);

  s->SetPosition(6);
  EXPECT_EQ(s->ReadInteger(), 0);
  EXPECT_EQ(s->GetPosition(), 6);
  s->SetPosition(-3);  // before the start reads nothing
  EXPECT_EQ(s->ReadInteger(), 0);
  EXPECT_EQ(s->GetPosition(), -3);
  s->SetPosition(4);
  EXPECT_TRUE(s->ReadBoolean());  // any non-zero integer
  CStream::Delete(s);

  CStream values;
  values.WriteReal(-2.5);
  values.WriteBoolean(true);
  values.WriteInteger(INT32_MIN);
  values.SetPosition(0);
  EXPECT_EQ(values.ReadReal(), -2.5);
  EXPECT_TRUE(values.ReadBoolean());
  EXPECT_EQ(values.ReadInteger(), INT32_MIN);
}

TEST(CStream, ReadBufferStopsAtTheSize) {
  CStream* s = MakeStream({1, 2, 3, 4, 5});
  uint8_t out[8] = {};
  EXPECT_EQ(s->ReadBuffer(nullptr, 3), 0);
  EXPECT_EQ(s->Read(out, 3), 3);
  EXPECT_EQ(s->ReadBuffer(out, 8), 2);
  EXPECT_EQ(out[0], 4);
  EXPECT_EQ(out[1], 5);
  EXPECT_EQ(s->GetPosition(), 5);
  EXPECT_EQ(s->ReadBuffer(out, 8), 0);
  s->SetPosition(9);
  EXPECT_EQ(s->ReadBuffer(out, 8), 0);
  s->SetPosition(-1);
  EXPECT_EQ(s->ReadBuffer(out, 8), 0);
  CStream::Delete(s);
}

TEST(CStream, Seek) {
  struct { int32_t start, offset, origin, expected; } cases[] = {
      {5, -4, 2, 8}, {5, 5, 3, 5}, {5, 3, 0, 3}, {5, 2, 1, 7}, {5, 2, 0x10001, 7}, {5, 1, -1, 5},
      {INT32_MAX, 1, 1, INT32_MIN},  // the low 32 bits, sign-extended
  };
  CStream s(12);
  for (auto c : cases) {
    s.SetPosition(c.start);
    EXPECT_EQ(s.Seek(c.offset, c.origin), c.expected) << c.offset << "," << c.origin;
    EXPECT_EQ(s.GetPosition(), c.expected);
  }
}

TEST(CStream, Strings) {
  CStream s;
  s.WriteString("abc");
  s.WriteString(nullptr);
  s.WriteString("");
  EXPECT_EQ(Bytes(s, s.GetPosition()),
            (std::vector<uint8_t>{3, 0, 0, 0, 'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0, 0}));
  s.SetPosition(0);
  EXPECT_EQ(TakeText(s.ReadStringNew()), "abc");
  char* text = reinterpret_cast<char*>(1);
  s.ReadString(&text);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(s.GetPosition(), 11);

  struct { std::vector<uint8_t> bytes; std::string text; int32_t position; } cases[] = {
      {{10, 0, 0, 0, 'x', 'y', 'z'}, "xyz", 7},          // cut short by the end, still terminated
      {{5, 0, 0, 0}, "", 4},                              // a length with no bytes behind it
      {{0xFF, 0xFF, 0xFF, 0xFF, 'a'}, "<null>", 4},       // a negative length reads nothing
      {{0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b'}, "ab", 6},      // no 2 GB block for a huge length
      {{2, 0}, "", 2},                                    // fewer than 4 bytes: to the size
      {{}, "<null>", 0},
  };
  for (const auto& c : cases) {
    CStream* r = MakeStream(c.bytes);
    EXPECT_EQ(TakeText(r->ReadStringNew()), c.text);
    EXPECT_EQ(r->GetPosition(), c.position) << c.text;
    CStream::Delete(r);
  }
}

TEST(CStream, HexTextBothWays) {
  CStream s;
  EXPECT_EQ(TakeText(s.WriteHexNew()), "<null>");
  uint8_t bytes[] = {0x0A, 0xFF, 0x5C};
  s.WriteBuffer(bytes, 2);
  EXPECT_EQ(TakeText(s.WriteHexNew()), "0AFF");
  s.WriteBuffer(bytes + 2, 1);  // size 4, position 3: the hex stops at the position
  EXPECT_EQ(s.GetSize(), 4);
  char* text = nullptr;
  s.WriteHex(&text);
  EXPECT_EQ(TakeText(text), "0AFF5C");
  s.ReadInteger();  // the position is now past the size; only the bytes there are spelled
  EXPECT_EQ(s.GetPosition(), 7);
  EXPECT_EQ(TakeText(s.WriteHexNew()), "0AFF5C00");

  struct { const char* text; std::vector<uint8_t> bytes; } cases[] = {
      {"0aff", {0x0A, 0xFF}},
      {"0123456789abcdefABCDEF", {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0xAB, 0xCD, 0xEF}},
      {"0azzff1", {0x0A, 0xFF}},  // a pair with a non-digit and a last odd character do not count
      {"g0", {}},
  };
  for (const auto& c : cases) {
    CStream r(16);
    r.SetPosition(9);
    r.ReadHex(c.text);
    EXPECT_EQ(r.GetSize(), static_cast<int32_t>(c.bytes.size())) << c.text;
    EXPECT_EQ(r.GetPosition(), 0);
    EXPECT_EQ(Bytes(r), c.bytes) << c.text;
  }

  CStream kept;
  kept.WriteInteger(0x01020304);
  kept.ReadHex("");
  kept.ReadHex(nullptr);
  EXPECT_EQ(kept.GetSize(), 4);
  EXPECT_EQ(kept.GetPosition(), 4);
  EXPECT_EQ(Bytes(kept), (std::vector<uint8_t>{4, 3, 2, 1}));

  // Round trip through the text, then writes after the read grow with a zero tail.
  CStream back;
  back.ReadHex("DEADBEEF");
  back.SetPosition(4);
  back.WriteInteger(1);
  EXPECT_EQ(back.GetSize(), 8);
  EXPECT_EQ(TakeText(back.WriteHexNew()), "DEADBEEF01000000");
}

TEST(CStream, CopyFromWholeSourceWhenCountIsZero) {
  CStream* source = MakeStream({1, 2, 3, 4, 5});
  source->SetPosition(3);
  CStream dest;
  dest.WriteInteger(-1);
  EXPECT_EQ(dest.CopyFrom(source, 0, true), 5);  // the borrow flag plays no part
  EXPECT_FALSE(dest.IsBorrowed());
  EXPECT_EQ(source->GetPosition(), 5);
  EXPECT_EQ(Bytes(dest, 9), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4, 5}));
  EXPECT_EQ(dest.CopyFrom(source, -4, false), 0);
  EXPECT_EQ(dest.GetPosition(), 9);
  CStream::Delete(source);
}

TEST(CStream, CopyFromCopiesAtMostTheBytesLeft) {
  CStream* source = MakeStream({1, 2, 3, 4, 5});
  source->SetPosition(1);
  CStream dest;
  EXPECT_EQ(dest.CopyBytesFrom(source, 2), 2);
  EXPECT_EQ(source->GetPosition(), 3);
  EXPECT_EQ(dest.CopyFrom(source, 100, false), 2);
  EXPECT_EQ(source->GetPosition(), 5);
  EXPECT_EQ(dest.CopyFrom(source, 1, false), 0);
  EXPECT_EQ(Bytes(dest, dest.GetPosition()), (std::vector<uint8_t>{2, 3, 4, 5}));
  CStream::Delete(source);
}

TEST(CStream, BorrowedWindows) {
  CStream* source = MakeStream({1, 2, 3, 4, 5, 6});
  source->SetPosition(1);
  CStream* window = new CStream(8);  // its own block is released when it becomes a window
  EXPECT_EQ(window->CopyFrom(source, 3, true), 3);
  EXPECT_TRUE(window->IsBorrowed());
  EXPECT_EQ(window->GetData(), source->GetData() + 1);
  EXPECT_EQ(window->GetSize(), 3);
  EXPECT_EQ(window->GetPosition(), 3);
  EXPECT_EQ(source->GetPosition(), 4);

  // Writes inside the window reach the source; a window never grows.
  window->SetPosition(0);
  uint8_t nine = 9;
  EXPECT_EQ(window->WriteBuffer(&nine, 1), 1);
  EXPECT_EQ(source->GetData()[1], 9);
  window->SetPosition(2);
  window->WriteInteger(0x7F7F7F7F);
  EXPECT_EQ(window->GetSize(), 3);
  EXPECT_EQ(Bytes(*source), (std::vector<uint8_t>{1, 9, 3, 4, 5, 6}));

  // A count beyond the source's end is cut to the bytes there.
  CStream tail;
  EXPECT_EQ(tail.CopyFrom(source, 1000, true), 2);
  EXPECT_EQ(tail.GetSize(), 2);
  EXPECT_EQ(source->GetPosition(), 6);
  CStream none;
  EXPECT_EQ(none.CopyFrom(source, 4, true), 0);
  EXPECT_EQ(none.GetData(), nullptr);
  EXPECT_EQ(none.GetSize(), 0);
  CStream self(4);
  EXPECT_EQ(self.CopyFrom(&self, 2, true), 0);

  // Copying into a window first gives it bytes of its own.
  source->SetPosition(0);
  window->SetPosition(3);
  EXPECT_EQ(window->CopyFrom(source, 2, false), 2);
  EXPECT_FALSE(window->IsBorrowed());
  EXPECT_TRUE(MemoryManager::IsManaged(window->GetData()));
  EXPECT_EQ(Bytes(*window, 5), (std::vector<uint8_t>{9, 3, 4, 1, 9}));
  EXPECT_EQ(Bytes(*source), (std::vector<uint8_t>{1, 9, 3, 4, 5, 6}));

  // A window read as hex text takes a block of its own too.
  source->SetPosition(0);
  tail.CopyFrom(source, 2, true);
  tail.ReadHex("ABCDEF");
  EXPECT_EQ(Bytes(tail), (std::vector<uint8_t>{0xAB, 0xCD, 0xEF}));
  EXPECT_EQ(Bytes(*source), (std::vector<uint8_t>{1, 9, 3, 4, 5, 6}));

  CStream::Delete(window);
  CStream::Delete(source);  // the windows left alive never release the source's block
}

TEST(CStream, ReadStream) {
  struct { std::vector<uint8_t> bytes; std::vector<uint8_t> nested; int32_t sourcePosition; } cases[] = {
      {{2, 0, 0, 0, 7, 8, 9}, {7, 8}, 6},
      {{9, 0, 0, 0, 7, 8}, {7, 8}, 6},                   // cut to the bytes there
      {{0xFE, 0xFF, 0xFF, 0xFF, 7}, {}, 4},              // negative: nothing
      {{0, 0, 0, 0, 7}, {0, 0, 0, 0, 7}, 5},             // 0: the whole source
  };
  for (const auto& c : cases) {
    CStream* source = MakeStream(c.bytes);
    CStream* nested = source->ReadStream();
    ASSERT_NE(nested, nullptr);
    EXPECT_FALSE(nested->IsBorrowed());
    EXPECT_EQ(nested->GetPosition(), 0);
    EXPECT_EQ(Bytes(*nested), c.nested);
    EXPECT_EQ(source->GetPosition(), c.sourcePosition);
    CStream::Delete(nested);
    CStream::Delete(source);
  }
}

TEST(CStream, SaveToFileWritesUpToThePosition) {
  TempDir dir;
  CStream s;
  s.SaveToFile(dir.file("empty.bin").c_str());
  EXPECT_FALSE(std::filesystem::exists(dir.file("empty.bin")));

  s.WriteBuffer("abcde", 5);  // size 5; position 5
  s.WriteBuffer("f", 1);      // size 10
  s.SaveToFile(dir.file("out.bin").c_str());
  EXPECT_EQ(ReadFile(dir.file("out.bin")), "abcdef");
  s.SetPosition(2);
  s.SaveToFile(dir.file("out.bin").c_str());  // truncated
  EXPECT_EQ(ReadFile(dir.file("out.bin")), "ab");
  s.SetPosition(40);
  s.SaveToFile(dir.file("out.bin").c_str());  // never past the size
  EXPECT_EQ(ReadFile(dir.file("out.bin")).size(), 10u);
  s.SaveToFile(dir.file("missing/out.bin").c_str());
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

TEST(CStream, SubstituteBytesWithKnownSeeds) {
  struct { int32_t seed; std::vector<uint8_t> hello; } cases[] = {
      {12345, {192, 43, 50, 50, 53}},
      {-777, {17, 169, 176, 176, 179}},
      {0, {71, 102, 107, 107, 111}},
      {-2000000000, {71, 102, 107, 107, 112}},  // a running index below zero still stays in the table
  };
  for (const auto& c : cases) {
    CStream* s = MakeStream({'H', 'e', 'l', 'l', 'o', 0});
    s->SubstituteBytes(c.seed, 0, 0);
    std::vector<uint8_t> expected = c.hello;
    expected.push_back(0);  // byte 0 never changes
    EXPECT_EQ(Bytes(*s), expected) << c.seed;
    CStream::Delete(s);
  }

  // The stored form (each byte through the forward table) turns back into the plain bytes.
  SubstitutionTable table = BuildSubstitutionTable(12345);
  EXPECT_EQ(table.forward[0], 0);
  EXPECT_EQ(table.inverse[0], 0);
  std::vector<uint8_t> plain(256), stored(256);
  for (int i = 0; i < 256; ++i) {
    plain[i] = static_cast<uint8_t>(i);
    stored[i] = table.forward[i];
  }
  CStream* all = MakeStream(stored);
  all->SubstituteBytes(12345, 0, -1);
  EXPECT_EQ(Bytes(*all), plain);
  CStream::Delete(all);
}

TEST(CStream, SubstituteBytesStaysInsideTheStream) {
  const std::vector<uint8_t> plain = {'H', 'e', 'l', 'l', 'o'};
  struct { int32_t start, count; std::vector<uint8_t> expected; } cases[] = {
      {1, 2, {'H', 43, 50, 'l', 'o'}},
      {3, 0, {'H', 'e', 'l', 50, 53}},
      {3, 100, {'H', 'e', 'l', 50, 53}},
      {-2, 3, {192, 'e', 'l', 'l', 'o'}},
      {5, 0, plain},
      {9, 4, plain},
  };
  for (const auto& c : cases) {
    CStream* s = MakeStream(plain);
    s->SubstituteBytes(12345, c.start, c.count);
    EXPECT_EQ(Bytes(*s), c.expected) << c.start << "," << c.count;
    CStream::Delete(s);
  }
  CStream empty;
  empty.SubstituteBytes(1, 0, 10);
  EXPECT_EQ(empty.GetSize(), 0);
}

// Sends the debug console to a temporary file for one test.
class ZStreamTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    g_LogSettings.debugOutputWanted = true;
    g_LogSettings.debugOutputFile = m_dir.file("debug.txt");
  }
  std::string TakeLog() {
    std::string log = ReadFile(m_dir.file("debug.txt"));
    std::filesystem::remove(m_dir.file("debug.txt"));
    return log;
  }
  // A compressed block of `plain`, as the whole stream.
  std::vector<uint8_t> Compressed(const std::vector<uint8_t>& plain) {
    CStream* source = MakeStream(plain);
    CStream dest;
    ZCompressStream(&dest, source);
    CStream::Delete(source);
    return Bytes(dest, dest.GetPosition());
  }
  TempDir m_dir;
};

std::vector<uint8_t> Noise(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  for (auto& b : v) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(seed >> 24);
  }
  return v;
}

TEST_F(ZStreamTest, RoundTripOfTheWholeSource) {
  // Incompressible bytes over several chunks, then a long compressible run.
  std::vector<uint8_t> plain = Noise(40000, 7);
  plain.insert(plain.end(), 30000, 'z');
  CStream* source = MakeStream(plain);
  source->SetPosition(123);
  CStream dest;
  dest.WriteInteger(0x55);  // something before the block
  ZCompressStream(&dest, source);
  EXPECT_EQ(source->GetPosition(), 123);
  const int32_t written = dest.GetPosition();

  dest.SetPosition(4);
  const int32_t n = dest.ReadInteger();
  EXPECT_EQ(written, 8 + n);  // the length, then exactly that many bytes
  ASSERT_GT(n, 2);
  EXPECT_EQ(dest.GetData()[8], 0x78);  // the zlib header at the default level
  EXPECT_EQ(dest.GetData()[9], 0x9C);

  dest.SetPosition(4);
  CStream* out = ZDecompressStream(&dest);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(dest.GetPosition(), 8 + n);
  EXPECT_EQ(out->GetPosition(), 0);
  EXPECT_FALSE(out->IsBorrowed());
  ASSERT_GE(out->GetSize(), static_cast<int32_t>(plain.size()));
  EXPECT_EQ(Bytes(*out, static_cast<int32_t>(plain.size())), plain);
  EXPECT_EQ(TakeLog(), "ZDecompressStream " + std::to_string(n) + "\r\nDone ZDecompressStream\r\n");
  CStream::Delete(out);
  CStream::Delete(source);
}

TEST_F(ZStreamTest, EmptyAndSmallSources) {
  for (const std::vector<uint8_t>& plain : {std::vector<uint8_t>{}, std::vector<uint8_t>{'a', 'b', 'c'}}) {
    std::vector<uint8_t> block = Compressed(plain);
    int32_t n;
    std::memcpy(&n, block.data(), 4);
    EXPECT_EQ(static_cast<size_t>(n) + 4, block.size());
    CStream* packed = MakeStream(block);
    CStream* out = ZDecompressStream(packed);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(Bytes(*out, static_cast<int32_t>(plain.size())), plain);
    EXPECT_EQ(TakeLog(), "ZDecompressStream " + std::to_string(n) + "\r\nDone ZDecompressStream\r\n");
    CStream::Delete(out);
    CStream::Delete(packed);
  }
}

TEST_F(ZStreamTest, AStoredLengthBeyondTheEndIsCutToTheBytesThere) {
  std::vector<uint8_t> plain = Noise(500, 3);
  std::vector<uint8_t> block = Compressed(plain);
  const int32_t huge = 0x7FFFFFF0;
  std::memcpy(block.data(), &huge, 4);
  CStream* packed = MakeStream(block);
  CStream* out = ZDecompressStream(packed);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(Bytes(*out, 500), plain);
  EXPECT_EQ(packed->GetPosition(), packed->GetSize());
  EXPECT_EQ(TakeLog(), "ZDecompressStream 2147483632\r\nDone ZDecompressStream\r\n");
  CStream::Delete(out);
  CStream::Delete(packed);
}

TEST_F(ZStreamTest, DamagedBlocksAnswerNull) {
  const std::vector<uint8_t> good = Compressed(Noise(3000, 11));
  auto withLength = [](std::vector<uint8_t> b, int32_t n) {
    std::memcpy(b.data(), &n, 4);
    return b;
  };
  std::vector<uint8_t> flipped = good;
  flipped[4 + 40] ^= 0x55;
  std::vector<uint8_t> badChecksum = Compressed({'a', 'b', 'c', 'd'});
  badChecksum.back() ^= 0x01;  // inside the Adler-32 trailer
  // A valid header asking for a preset dictionary.
  const std::vector<uint8_t> dictionary = {6, 0, 0, 0, 0x78, 0xBB, 0, 0, 0, 1};

  struct { const char* name; std::vector<uint8_t> bytes; int32_t logged; } cases[] = {
      {"cut short", std::vector<uint8_t>(good.begin(), good.begin() + 200), static_cast<int32_t>(good.size() - 4)},
      {"flipped", flipped, static_cast<int32_t>(good.size() - 4)},
      {"checksum", badChecksum, static_cast<int32_t>(badChecksum.size() - 4)},
      {"negative length", withLength(good, -5), -5},
      {"zero length", withLength(good, 0), 0},
      {"garbage", {3, 0, 0, 0, 1, 2, 3}, 3},
      {"no block", {}, 0},
      {"dictionary", dictionary, 6},
  };
  for (const auto& c : cases) {
    CStream* packed = MakeStream(c.bytes);
    EXPECT_EQ(ZDecompressStream(packed), nullptr) << c.name;
    EXPECT_EQ(TakeLog(), "ZDecompressStream " + std::to_string(c.logged) + "\r\n") << c.name;
    CStream::Delete(packed);
  }
  EXPECT_EQ(ZDecompressStream(nullptr), nullptr);
}

TEST_F(ZStreamTest, ALimitRefusesBlocksThatInflateFurtherAndTellsTheExactSize) {
  const std::vector<uint8_t> packed = Compressed(std::vector<uint8_t>(40000, 'q'));
  struct { int64_t limit; bool ok; } cases[] = {{40000, true}, {1 << 20, true}, {39999, false}, {0, false}};
  for (const auto& c : cases) {
    CStream* s = MakeStream(packed);
    int64_t inflated = 7;
    CStream* out = ZDecompressStream(s, c.limit, &inflated);
    EXPECT_EQ(out != nullptr, c.ok) << c.limit;
    EXPECT_EQ(inflated, c.ok ? 40000 : -1) << c.limit;
    EXPECT_EQ(s->GetPosition(), static_cast<int32_t>(packed.size())) << "the block is passed over either way";
    CStream::Delete(out);
    CStream::Delete(s);
  }
  TakeLog();
}

}  // namespace
