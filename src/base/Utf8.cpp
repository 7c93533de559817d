#include "base/Utf8.h"

namespace {
// The byte count a lead byte announces: only bits 7 and 5 decide.
inline int LeadSize(unsigned char lead) {
  if ((lead & 0x80) == 0) return 1;
  return (lead & 0x20) ? 3 : 2;
}
}  // namespace

uint16_t Utf8DecodeChar(const char** text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(*text);
  unsigned char lead = p[0];
  int size = LeadSize(lead);
  if (size == 1) {
    *text += 1;
    return lead;
  }
  // Continuation bytes up to, never past, the terminator; missing ones count as 0.
  unsigned char b1 = p[1];
  unsigned char b2 = (b1 != 0 && size == 3) ? p[2] : 0;
  int consumed = 1 + (b1 != 0 ? 1 : 0) + (size == 3 && b1 != 0 && b2 != 0 ? 1 : 0);
  *text += consumed;
  if (size == 2) return static_cast<uint16_t>(((lead & 0x1F) << 6) | (b1 & 0x3F));
  return static_cast<uint16_t>(((lead & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F));
}

void Utf8EncodeChar(char** out, uint32_t ch) {
  ch &= 0xFFFF;
  unsigned char* p = reinterpret_cast<unsigned char*>(*out);
  if (ch < 0x80) {
    p[0] = static_cast<unsigned char>(ch);
    *out += 1;
  } else if (ch < 0x800) {
    p[0] = static_cast<unsigned char>(0xC0 | ((ch >> 6) & 0x1F));
    p[1] = static_cast<unsigned char>(0x80 | (ch & 0x3F));
    *out += 2;
  } else {
    p[0] = static_cast<unsigned char>(0xE0 | ((ch >> 12) & 0x0F));
    p[1] = static_cast<unsigned char>(0x80 | ((ch >> 6) & 0x3F));
    p[2] = static_cast<unsigned char>(0x80 | (ch & 0x3F));
    *out += 3;
  }
}

int Utf8CharSize(uint32_t ch) {
  ch &= 0xFFFF;
  if (ch < 0x80) return 1;
  return ch < 0x800 ? 2 : 3;
}

int32_t Utf8Length(const char* text) {
  if (text == nullptr) return 0;
  int32_t count = 0;
  while (*text != '\0') {
    Utf8DecodeChar(&text);
    ++count;
  }
  return count;
}

namespace {
int32_t CompareImpl(const char* a, const char* b, bool limited, int32_t n) {
  while (*a != '\0' && *b != '\0' && (!limited || n > 0)) {
    const char* ca = a;
    const char* cb = b;
    uint16_t x = Utf8DecodeChar(&a);
    uint16_t y = Utf8DecodeChar(&b);
    if (x != y) {
      a = ca;
      b = cb;
      break;
    }
    if (limited) --n;
  }
  if (limited && n <= 0) return 0;
  uint16_t x = *a ? Utf8DecodeChar(&a) : 0;
  uint16_t y = *b ? Utf8DecodeChar(&b) : 0;
  return static_cast<int32_t>(x) - static_cast<int32_t>(y);
}
}  // namespace

int32_t Utf8Compare(const char* a, const char* b) { return CompareImpl(a, b, false, 0); }

int32_t Utf8CompareN(const char* a, const char* b, int32_t n) { return CompareImpl(a, b, true, n); }
