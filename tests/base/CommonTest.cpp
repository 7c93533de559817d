#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/Common.h"
#include "platform/MemoryManager.h"

namespace {

// ---- Random numbers ----

TEST(Random, SeedingFillsTheStateWithFifteenBitWords) {
  EXPECT_EQ(SeedRandom(0), 0u);
  const uint32_t expected0[16] = {38,   162,   567, 1890, 6210, 20317, 849,   2811,
                                  9218, 30140, 159, 557,  1857, 6102,  19965, 32467};
  const RandomState& state = GetRandomState();
  for (int k = 0; k < 16; ++k) EXPECT_EQ(state.s[k], expected0[k]) << k;
  EXPECT_EQ(state.index, 0u);

  EXPECT_EQ(SeedRandom(0xFFFFFFFFu), 0xFFFFFFFFu);
  EXPECT_EQ(GetRandomSeed(), 0xFFFFFFFFu);
  for (int k = 0; k < 16; ++k) EXPECT_LT(state.s[k], 0x8000u) << k;

  NextRandom();
  SeedRandom(12345);
  EXPECT_EQ(GetRandomSeed(), 12345u);
  EXPECT_EQ(state.index, 0u);
  EXPECT_EQ(state.s[0], 7584u);
  EXPECT_EQ(state.s[15], 12416u);
}

// Saved games and replays depend on these exact sequences.
TEST(Random, SequencesArePinned) {
  struct Case {
    uint32_t seed;
    std::vector<uint32_t> values;
  };
  const Case cases[] = {
      {0,
       {667285549u, 363950863u, 3029101428u, 1843928084u, 2799978701u, 590879650u, 4247101710u,
        1765325629u, 1640245685u, 4262728923u}},
      {12345,
       {3527472578u, 1874148488u, 3885052726u, 1091570812u, 4129870459u, 3228062243u, 1802299158u,
        3138703388u, 3318310400u, 1978580263u}},
      {0xFFFFFFFFu, {589101529u, 1826095846u, 145776647u}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seed);
    SeedRandom(c.seed);
    for (size_t k = 0; k < c.values.size(); ++k) EXPECT_EQ(NextRandom(), c.values[k]) << k;
  }
  // Far enough for the index to go round the state many times.
  SeedRandom(0);
  uint32_t last = 0;
  for (int k = 0; k < 1000; ++k) last = NextRandom();
  EXPECT_EQ(last, 3077143174u);
}

TEST(Random, TheSameSeedRepeatsEveryKindOfDraw) {
  auto draw = [](uint32_t seed) {
    SeedRandom(seed);
    std::vector<double> out;
    for (int k = 0; k < 50; ++k) {
      out.push_back(NextRandom());
      out.push_back(RandomReal(100.0));
      out.push_back(RandomInt(-7));
    }
    return out;
  };
  EXPECT_EQ(draw(777), draw(777));
  EXPECT_NE(draw(777), draw(778));
}

TEST(Random, RealsAndIntegersStayInRange) {
  SeedRandom(0);
  EXPECT_EQ(RandomReal(1.0), 667285549.0 / 4294967296.0);
  EXPECT_EQ(RandomInt(-5), static_cast<int32_t>(363950863u % 5u));
  EXPECT_EQ(RandomInt(INT32_MIN), static_cast<int32_t>(3029101428u % 0x80000000u));

  SeedRandom(99);
  for (int k = 0; k < 20000; ++k) {
    const double r = RandomReal(1.0);
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
    const double neg = RandomReal(-2.0);
    ASSERT_LE(neg, 0.0);
    ASSERT_GT(neg, -2.0);
    const int32_t i = RandomInt(-5);
    ASSERT_GE(i, 0);
    ASSERT_LE(i, 4);
    ASSERT_EQ(RandomInt(1), 0);
  }
}

TEST(Random, ZeroRangeAnswersZeroWithoutDrawing) {
  SeedRandom(5);
  EXPECT_EQ(RandomInt(0), 0);
  const uint32_t next = NextRandom();
  SeedRandom(5);
  EXPECT_EQ(NextRandom(), next);
}

// ---- Text conversions ----

// A memory-manager copy of `text`, as the runtime's own strings are.
char* ManagedText(const char* text, uint32_t size = 0) {
  const uint32_t length = static_cast<uint32_t>(std::strlen(text));
  auto* block = static_cast<char*>(MemoryManager::Alloc(size > length ? size : length + 1, __FILE__, __LINE__));
  std::memcpy(block, text, length + 1);
  return block;
}

class ConcatStringsTest : public ::testing::Test {
 protected:
  void SetUp() override { m_blocks = MemoryManager::BlockCount.load(); }
  void TearDown() override { EXPECT_EQ(MemoryManager::BlockCount.load(), m_blocks) << "a block leaked"; }
  int32_t m_blocks = 0;
};

TEST_F(ConcatStringsTest, JoinsTheNonEmptyTextsIntoANewBlock) {
  char* joined = ConcatStrings(nullptr, "a", "", nullptr, "bc");
  ASSERT_NE(joined, nullptr);
  EXPECT_TRUE(MemoryManager::IsManaged(joined));
  EXPECT_STREQ(joined, "abc");
  MemoryManager::Free(joined);

  joined = ConcatStrings(nullptr, "0", "1", "2", "3", "4", "5", "6", "7", "8", "9");
  EXPECT_STREQ(joined, "0123456789");
  MemoryManager::Free(joined);
}

TEST_F(ConcatStringsTest, NothingToJoinLeavesTheTargetAlone) {
  char* p = ManagedText("keep");
  EXPECT_EQ(ConcatStrings(p, nullptr, ""), nullptr);
  EXPECT_EQ(ConcatStrings(nullptr, nullptr), nullptr);
  EXPECT_STREQ(p, "keep");
  MemoryManager::Free(p);
}

TEST_F(ConcatStringsTest, TextsInsideTheTargetAreReadBeforeTheyAreOverwritten) {
  struct Case {
    const char* name;
    uint32_t blockSize;  // 0: just big enough, so the block must move
    char* (*join)(char* p);
    const char* expected;
  };
  const Case cases[] = {
      {"target first", 0, [](char* p) { return ConcatStrings(p, p, "cd"); }, "hellocd"},
      {"target first, room to spare", 64, [](char* p) { return ConcatStrings(p, p, "cd"); }, "hellocd"},
      {"target later", 0, [](char* p) { return ConcatStrings(p, "x", p); }, "xhello"},
      {"target later, room to spare", 64, [](char* p) { return ConcatStrings(p, "x", p); }, "xhello"},
      {"target twice", 0, [](char* p) { return ConcatStrings(p, p, "-", p); }, "hello-hello"},
      {"inside the target", 64, [](char* p) { return ConcatStrings(p, "<", p + 2, p); }, "<llohello"},
      {"target skipped as empty", 0, [](char* p) { return ConcatStrings(p, p + 5, "z"); }, "z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char* p = ManagedText("hello", c.blockSize);
    char* joined = c.join(p);
    ASSERT_NE(joined, nullptr);
    EXPECT_STREQ(joined, c.expected);
    if (c.blockSize != 0) {
      EXPECT_EQ(joined, p);  // a block with room is kept
    }
    MemoryManager::Free(joined);
  }
}

TEST(HashToNewline, ConvertsInPlaceAndCountsCharacters) {
  struct Case {
    const char* in;
    const char* out;
    int32_t count;
  };
  const Case cases[] = {
      {"Line1#Line2", "Line1\rLine2", 11},
      {"100\\#1", "100#1", 5},
      {"\\#start", "#start", 6},
      {"#", "\r", 1},
      {"##", "\r\r", 2},
      {"\\##", "#\r", 2},
      {"a\\\\#", "a\\#", 3},
      {"back\\slash", "back\\slash", 10},
      {"", "", 0},
      {"\xC3\xA9#\xE2\x82\xAC", "\xC3\xA9\r\xE2\x82\xAC", 3},  // two- and three-byte characters
      {"\xC1\x81", "A", 1},                                  // an overlong form is written short
      // Sequences cut short by the terminator decode to a character longer than the bytes it
      // came from; re-encoding it would write past the text, so its bytes are kept as they are.
      {"ab\xE5", "ab\xE5", 3},
      {"\xC3", "\xC3", 1},
      {"#\xE2\x82", "\r\xE2\x82", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    // An exact-size heap copy, so that a write past the text is caught.
    const size_t size = std::strlen(c.in) + 1;
    std::unique_ptr<char[]> text(new char[size]);
    std::memcpy(text.get(), c.in, size);
    EXPECT_EQ(ConvertHashToNewline(text.get()), c.count);
    EXPECT_STREQ(text.get(), c.out);
  }
  EXPECT_EQ(ConvertHashToNewline(nullptr), 0);
}

TEST(WideText, AsciiToWideSignExtendsEachByte) {
  const int32_t blocks = MemoryManager::BlockCount.load();
  char16_t* wide = AsciiToWide("A\x7F\x80\xFF");
  ASSERT_NE(wide, nullptr);
  EXPECT_TRUE(MemoryManager::IsManaged(wide));
  EXPECT_EQ(MemoryManager::GetSize(wide), 10);
  const char16_t expected[] = {u'A', 0x7F, 0xFF80, 0xFFFF, 0};
  EXPECT_EQ(std::memcmp(wide, expected, sizeof(expected)), 0);
  MemoryManager::Free(wide);

  wide = AsciiToWide("");
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(wide[0], 0);
  MemoryManager::Free(wide);
  EXPECT_EQ(AsciiToWide(nullptr), nullptr);
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocks);
}

TEST(WideText, WideToAsciiKeepsTheLowByte) {
  const char16_t wide[] = {u'A', 0x1FF, 0xFF80, 0x263A, 0};
  char* narrow = WideToAscii(wide);
  ASSERT_NE(narrow, nullptr);
  EXPECT_TRUE(MemoryManager::IsManaged(narrow));
  EXPECT_EQ(MemoryManager::GetSize(narrow), 5);
  EXPECT_STREQ(narrow, "A\xFF\x80\x3A");
  MemoryManager::Free(narrow);
  EXPECT_EQ(WideToAscii(nullptr), nullptr);

  // Every byte survives the way there and back.
  char all[256];
  for (int k = 1; k < 256; ++k) all[k - 1] = static_cast<char>(k);
  all[255] = '\0';
  char16_t* widened = AsciiToWide(all);
  char* back = WideToAscii(widened);
  EXPECT_STREQ(back, all);
  MemoryManager::Free(widened);
  MemoryManager::Free(back);
}

TEST(Platform, RunsLittleEndian) { EXPECT_FALSE(Platform_IsBigEndian()); }

}  // namespace
