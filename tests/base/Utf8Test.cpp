#include <gtest/gtest.h>

#include <string>

#include "base/Utf8.h"

namespace {

TEST(Utf8, DecodeSizesAndValues) {
  struct { const char* bytes; uint16_t ch; int advance; } cases[] = {
      {"A", 0x41, 1},
      {"\xC3\xA9", 0xE9, 2},
      {"\xE2\x82\xAC", 0x20AC, 3},
      {"\x85\x81", 0x141, 2},          // a stray continuation byte is read as a lead
      {"\xF0\x9F\x98\x80", 0x7D8, 3},      // four-byte forms keep their first three bytes
      {"\xC3", 0xC0, 1},                        // cut short by the terminator
      {"\xE2\x82", 0x2080, 2},
  };
  for (auto c : cases) {
    const char* p = c.bytes;
    uint16_t ch = Utf8DecodeChar(&p);
    EXPECT_EQ(ch, c.ch) << std::string(c.bytes);
    EXPECT_EQ(p - c.bytes, c.advance) << std::string(c.bytes);
  }
}

TEST(Utf8, EncodeSizes) {
  struct { uint32_t ch; const char* bytes; } cases[] = {
      {0x41, "A"}, {0x7F, "\x7F"}, {0x80, "\xC2\x80"}, {0xE9, "\xC3\xA9"},
      {0x7FF, "\xDF\xBF"}, {0x800, "\xE0\xA0\x80"}, {0x20AC, "\xE2\x82\xAC"}, {0x120AC, "\xE2\x82\xAC"},
  };
  for (auto c : cases) {
    char buf[8] = {};
    char* out = buf;
    Utf8EncodeChar(&out, c.ch);
    EXPECT_EQ(std::string(buf, out), std::string(c.bytes)) << c.ch;
    EXPECT_EQ(Utf8CharSize(c.ch), static_cast<int>(std::string(c.bytes).size())) << c.ch;
  }
}

TEST(Utf8, LengthAndComparison) {
  EXPECT_EQ(Utf8Length(""), 0);
  EXPECT_EQ(Utf8Length("h\xC3\xA9llo"), 5);
  EXPECT_EQ(Utf8Length("ab\xE2"), 3);  // a cut sequence at the end is counted once, nothing read past
  struct { const char* a; const char* b; int n; int32_t result; } cases[] = {
      {"abc", "abd", -1, -1}, {"ab", "abc", -1, -99}, {"abc", "abc", -1, 0}, {"abc", "ab", -1, 99},
      {"abcx", "abcy", 3, 0}, {"abcx", "abcy", 4, -1}, {"\xC3\xA9", "e", -1, 0xE9 - 'e'}, {"a", "b", 0, 0},
  };
  for (auto c : cases) {
    int32_t r = c.n < 0 ? Utf8Compare(c.a, c.b) : Utf8CompareN(c.a, c.b, c.n);
    EXPECT_EQ(r, c.result) << c.a << " vs " << c.b << " n=" << c.n;
  }
}

TEST(Utf8, CodePointsOfFullUnicode) {
  struct Case {
    const char* text;
    uint32_t cp;
    int consumed;
    const char* why;
  };
  const Case cases[] = {
      {"A", 0x41, 1, "ASCII"},
      {"\xC3\xA9", 0xE9, 2, "two bytes"},
      {"\xE2\x82\xAC", 0x20AC, 3, "three bytes"},
      {"\xF0\x9F\x98\x80", 0x1F600, 4, "four bytes"},
      {"\xC0\x80", 0xFFFD, 1, "overlong"},
      {"\xED\xA0\x80", 0xFFFD, 1, "a surrogate"},
      {"\xF4\x90\x80\x80", 0xFFFD, 1, "past U+10FFFF"},
      {"\xF0\x9F", 0xFFFD, 1, "cut short by the NUL"},
      {"\x80", 0xFFFD, 1, "a lone continuation byte"},
      {"", 0, 0, "the NUL"},
  };
  for (const Case& c : cases) {
    const char* p = c.text;
    EXPECT_EQ(Utf8DecodeCodePoint(&p), c.cp) << c.why;
    EXPECT_EQ(p - c.text, c.consumed) << c.why;
  }
}

}  // namespace
