#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "support/Base64.h"
#include "support/CRC32.h"
#include "support/MD5.h"
#include "support/SHA1.h"

namespace {

using namespace std::string_literals;

// ---- CRC-32 (no final inversion) ----

TEST(CRC32, TableIsTheReflectedPolynomialTable) {
  InitCRC32Table();
  EXPECT_EQ(CRC32Table[0], 0x00000000u);
  EXPECT_EQ(CRC32Table[1], 0x77073096u);
  EXPECT_EQ(CRC32Table[128], 0xEDB88320u);
  EXPECT_EQ(CRC32Table[255], 0x2D02EF8Du);
}

TEST(CRC32, StringIsTheComplementOfTheUsualCrc) {
  InitCRC32Table();
  struct { const char* text; uint32_t crc; } cases[] = {
      {"abc", 0xCADBBE3Du},        // usual CRC-32 0x352441C2
      {"", 0xFFFFFFFFu},
      {"123456789", 0x340BC6D9u},  // usual CRC-32 0xCBF43926
      {nullptr, 0xFFFFFFFFu},
  };
  for (auto c : cases) EXPECT_EQ(CRC32String(c.text), c.crc) << (c.text ? c.text : "(null)");
}

TEST(CRC32, BufferCoversEveryByteIncludingZeros) {
  InitCRC32Table();
  std::vector<unsigned char> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<unsigned char>(i);
  double real = 1.5;  // ds_map hashes the 8 bytes of a real key
  unsigned char real_bytes[8];
  std::memcpy(real_bytes, &real, sizeof real);
  const unsigned char zeros[] = {0x00, 0xFF, 0x00, 0x80};

  struct { const void* data; size_t length; uint32_t crc; } cases[] = {
      {"abc", 3, 0xCADBBE3Du},
      {zeros, sizeof zeros, 0x8D9B972Eu},
      {all.data(), all.size(), 0xD6FA738Cu},
      {real_bytes, 8, 0xF0DE661Eu},
      {"abc", 0, 0xFFFFFFFFu},
      {nullptr, 5, 0xFFFFFFFFu},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(CRC32Buffer(cases[i].data, cases[i].length), cases[i].crc) << "case " << i;
  }
}

// ---- MD5 and SHA-1 ----

struct DigestCase {
  std::string message;
  const char* md5;
  const char* sha1;
};

std::vector<DigestCase> StandardVectors() {
  return {
      {"", "d41d8cd98f00b204e9800998ecf8427e", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"a", "0cc175b9c0f1b6a831c399e269772661", "86f7e437faa5a7fce15d1ddcb9eaeaea377667b8"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0", "c12252ceda8be8994d5fa0290a47231c1d16aae3"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "8215ef0796a20bcaaae116d3876c664a",
       "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a", "50abf5706a150990a08b2c5ea40fa0e585554732"},
  };
}

// Messages whose lengths sit on either side of the padding boundaries (55/56 and 64 bytes),
// so the length lands in the same block, forces a second block, or follows a full block.
std::vector<DigestCase> BoundaryVectors() {
  std::string pattern;
  for (int i = 0; i < 128; ++i) pattern.push_back(static_cast<char>((i * 37 + 11) & 0xFF));
  struct { size_t length; const char* md5; const char* sha1; } table[] = {
      {55, "d872aa0473a24da995ce4ac518ade767", "c4622048cfef59b72875839ee7ae1cbcf55e7658"},
      {56, "e23567645846677c205de80f9779081b", "ddc12942656468475970fa4fa49161f52ed138e4"},
      {63, "4775b66278a8fc132ff80923378216cd", "7f8c3fa49f1297bd8b9feb964b6b419987f9f0d1"},
      {64, "71e123b70c7aa64826fcfe472694cd1c", "a334b47180c61fd522f99905ec02c36f9e848211"},
      {65, "5949948f26e35203661075214faa3966", "dd27d9eb923d39687e10872c3e8133ba2f0a68a1"},
      {119, "87f72c7241c5fe218bb4df8c0aba3232", "bea949473b1ec34747ce121c3293624b5d9d8f84"},
      {120, "bf240b8b7407fba3805adeec63a03b77", "bf05266acd3ec21592b4d42aaea97fa6f3e51926"},
      {128, "3e93b378458b77da96b2357c3bda8cc2", "3b1953091899492377f686c266b81d84b5d40f70"},
  };
  std::vector<DigestCase> cases;
  for (auto t : table) cases.push_back({pattern.substr(0, t.length), t.md5, t.sha1});
  return cases;
}

std::vector<DigestCase> AllVectors() {
  std::vector<DigestCase> cases = StandardVectors();
  for (auto& c : BoundaryVectors()) cases.push_back(c);
  return cases;
}

std::string Md5InChunks(const std::string& message, size_t chunk) {
  MD5Context context;
  MD5_Init(&context);
  for (size_t at = 0; at < message.size(); at += chunk) {
    MD5_Update(&context, message.data() + at, std::min(chunk, message.size() - at));
  }
  MD5_Final(&context);
  return MD5DigestHex(context);
}

std::string Sha1InChunks(const std::string& message, size_t chunk) {
  SHA1Context context;
  SHA1_Reset(&context);
  for (size_t at = 0; at < message.size(); at += chunk) {
    SHA1_Input(&context, message.data() + at, std::min(chunk, message.size() - at));
  }
  EXPECT_EQ(SHA1_Result(&context), 1);
  return SHA1DigestHex(context);
}

TEST(Digest, KnownVectorsWholeAndInChunks) {
  for (const DigestCase& c : AllVectors()) {
    SCOPED_TRACE("length " + std::to_string(c.message.size()));
    EXPECT_EQ(MD5HexString(c.message.data(), c.message.size()), c.md5);
    EXPECT_EQ(SHA1HexString(c.message.data(), c.message.size()), c.sha1);
    // Chunk sizes that leave the block partly filled, fill it exactly, or overrun it.
    for (size_t chunk : {1u, 7u, 63u, 64u, 65u}) {
      EXPECT_EQ(Md5InChunks(c.message, chunk), c.md5) << "chunk " << chunk;
      EXPECT_EQ(Sha1InChunks(c.message, chunk), c.sha1) << "chunk " << chunk;
    }
  }
}

TEST(Digest, MillionAs) {
  std::string million(1000000, 'a');
  EXPECT_EQ(MD5HexString(million.data(), million.size()), "7707d6ae4e027c70eea2a935c2296f21");
  EXPECT_EQ(SHA1HexString(million.data(), million.size()), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
  EXPECT_EQ(Md5InChunks(million, 1000), "7707d6ae4e027c70eea2a935c2296f21");
  EXPECT_EQ(Sha1InChunks(million, 999), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(Digest, Md5LeavesTheDigestBytesInTheContext) {
  MD5Context context;
  MD5_Init(&context);
  MD5_Update(&context, "abc", 3);
  MD5_Final(&context);
  const unsigned char expected[16] = {0x90, 0x01, 0x50, 0x98, 0x3c, 0xd2, 0x4f, 0xb0,
                                      0xd6, 0x96, 0x3f, 0x7d, 0x28, 0xe1, 0x7f, 0x72};
  EXPECT_EQ(std::memcmp(context.digest, expected, 16), 0);
}

TEST(SHA1, InputAfterResultCorruptsAndLeavesTheHash) {
  SHA1Context context;
  SHA1_Reset(&context);
  SHA1_Input(&context, "abc", 3);
  ASSERT_EQ(SHA1_Result(&context), 1);
  EXPECT_EQ(context.computed, 1);
  EXPECT_EQ(context.intermediateHash[0], 0xA9993E36u);
  // Asking again does not pad a second time; an empty input changes nothing.
  EXPECT_EQ(SHA1_Result(&context), 1);
  SHA1_Input(&context, "x", 0);
  EXPECT_EQ(SHA1_Result(&context), 1);
  EXPECT_EQ(SHA1DigestHex(context), "a9993e364706816aba3e25717850c26c9cd0d89d");

  SHA1_Input(&context, "def", 3);
  EXPECT_EQ(context.corrupted, 1);
  EXPECT_EQ(SHA1_Result(&context), 0);
  EXPECT_EQ(SHA1DigestHex(context), "a9993e364706816aba3e25717850c26c9cd0d89d");
  SHA1_Reset(&context);
  EXPECT_EQ(SHA1_Result(&context), 1);
  EXPECT_EQ(SHA1DigestHex(context), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

TEST(SHA1, LengthOverflowCorruptsAndStopsInput) {
  SHA1Context context;
  SHA1_Reset(&context);
  // Pretend 2^64 - 16 bits have gone by: the second of three bytes carries out of the high word.
  context.lengthLow = 0xFFFFFFF0u;
  context.lengthHigh = 0xFFFFFFFFu;
  SHA1_Input(&context, "xyz", 3);
  EXPECT_EQ(context.corrupted, 1);
  EXPECT_EQ(context.messageBlockIndex, 2);
  EXPECT_EQ(SHA1_Result(&context), 0);
  EXPECT_EQ(context.computed, 0);
}

// ---- Base64 ----

TEST(Base64, Encode) {
  struct { std::string data; const char* text; } cases[] = {
      {"", ""},
      {"a", "YQ=="},
      {"ab", "YWI="},
      {"abc", "YWJj"},
      {"abcd", "YWJjZA=="},
      {"\xFB\xFF\xBF", "+/+/"},
      {"\0\0\0\0"s, "AAAAAA=="},
  };
  for (const auto& c : cases) {
    size_t size = Base64EncodedSize(c.data.size());
    ASSERT_EQ(size, std::strlen(c.text) + 1);
    std::vector<char> out(size + 4, '#');
    Base64Encode(c.data.data(), c.data.size(), out.data());
    EXPECT_STREQ(out.data(), c.text);
    for (size_t i = size; i < out.size(); ++i) EXPECT_EQ(out[i], '#') << c.text << " wrote past its size";
  }
}

TEST(Base64, DecodeStopsAndRespectsCapacity) {
  struct {
    const char* text;
    int64_t capacity;
    bool terminate;
    std::string written;  // exactly the bytes written; nothing after them may change
  } cases[] = {
      {"YWJj", 16, true, "abc\0"s},
      {"YWI=", 16, false, "ab"},
      {"YQ==", 16, true, "a\0"s},
      {"YWJjZA", 16, true, "abcd\0"s},       // 2 final characters: 1 byte
      {"YWJjZGU", 16, true, "abcde\0"s},     // 3 final characters: 2 bytes
      {"YWJjZ", 16, true, "abc\0"s},         // 1 final character: nothing
      {"YWJj\nZGVm", 16, true, "abc\0"s},    // a line end ends the text
      {"YW Jj", 16, true, "a\0"s},
      {"YWJj=ZGVm", 16, true, "abc\0"s},
      {"\xC3\xA9YWJj", 16, true, "\0"s},     // non-ASCII stops at once
      {"-_YWJj", 16, true, "\0"s},           // so does the URL-safe alphabet
      {"+/+/", 16, false, "\xFB\xFF\xBF"},
      {"", 16, true, "\0"s},
      {"YWJj", 5, true, "abc\0"s},
      {"YWJj", 4, true, "abc"},              // no room left for the terminator
      {"YWJj", 3, true, "ab"},
      {"YWJj", 2, true, "a"},
      {"YWJj", 1, true, ""},
      {"YWJj", 0, true, ""},
      {"YWJj", -7, true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " capacity " + std::to_string(c.capacity));
    std::vector<unsigned char> out(32, 0xAA);
    Base64Decode(c.text, c.capacity, out.data(), c.terminate);
    EXPECT_EQ(std::string(out.begin(), out.begin() + static_cast<long>(c.written.size())), c.written);
    for (size_t i = c.written.size(); i < out.size(); ++i) EXPECT_EQ(out[i], 0xAA) << "byte " << i;
  }
}

TEST(Base64, DecodeWithinExactCapacityUnderTheSanitizer) {
  // A heap block of exactly `capacity` bytes: any write at or past it is reported.
  for (int64_t capacity : {1, 2, 3, 4, 5}) {
    std::vector<unsigned char> out(static_cast<size_t>(capacity));
    Base64Decode("YWJjZGVmZ2g=", capacity, out.data(), true);
  }
  Base64Decode("YWJj", 0, nullptr, true);
}

TEST(Base64, RoundTripsEveryLengthAndByte) {
  std::string data;
  for (int i = 0; i < 300; ++i) data.push_back(static_cast<char>((i * 73 + 5) & 0xFF));
  for (size_t length = 0; length <= data.size(); length += (length < 12 ? 1 : 29)) {
    std::vector<char> text(Base64EncodedSize(length));
    Base64Encode(data.data(), length, text.data());
    std::vector<char> back(length + 2, '#');
    Base64Decode(text.data(), static_cast<int64_t>(back.size()), back.data(), true);
    EXPECT_EQ(std::string(back.data(), length), data.substr(0, length)) << "length " << length;
    EXPECT_EQ(back[length], '\0');
  }
}

}  // namespace
