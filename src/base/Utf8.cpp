#include "base/Utf8.h"

#include <cstring>
#include <string>

#include "platform/MemoryManager.h"

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

// ---- Character positions ----


namespace {

// Every character of `text` decoded and encoded again. In this form two texts compare equal
// character by character exactly when their bytes match, and every character begins with a
// byte that is not a continuation byte (10xxxxxx).
std::string Canonical(const char* text) {
  std::string out;
  if (text == nullptr) return out;
  out.reserve(std::strlen(text) + 3);
  char buffer[3];
  while (*text != '\0') {
    char* end = buffer;
    Utf8EncodeChar(&end, Utf8DecodeChar(&text));
    out.append(buffer, static_cast<size_t>(end - buffer));
  }
  return out;
}

// A new block holding the encoded characters of [from, to) of a text (to at a character start
// or at the terminator) and a terminator.
char* EncodeRange(const char* from, const char* to) {
  uint64_t size = 1;
  for (const char* p = from; p < to;) size += Utf8CharSize(Utf8DecodeChar(&p));
  char* block = static_cast<char*>(MemoryManager::Alloc(static_cast<uint32_t>(size), __FILE__, __LINE__, false));
  char* out = block;
  for (const char* p = from; p < to;) Utf8EncodeChar(&out, Utf8DecodeChar(&p));
  *out = '\0';
  return block;
}

// The byte where character `index` (0-based) begins, or the terminator when the text is shorter.
const char* SkipChars(const char* text, int64_t index) {
  while (index > 0 && *text != '\0') {
    Utf8DecodeChar(&text);
    --index;
  }
  return text;
}

}  // namespace

int32_t Utf8FindText(const char* sub, const char* text) {
  if (sub == nullptr || text == nullptr || *sub == '\0' || *text == '\0') return -1;
  const std::string hay = Canonical(text);
  const std::string needle = Canonical(sub);
  const void* hit = memmem(hay.data(), hay.size(), needle.data(), needle.size());
  if (hit == nullptr) return -1;
  int32_t position = 0;
  for (const char* p = hay.data(); p < static_cast<const char*>(hit); ++p) {
    if ((static_cast<unsigned char>(*p) & 0xC0) != 0x80) ++position;
  }
  return position;
}

void Utf8CopyChars(char** out, const char* text, int32_t start, int32_t count) {
  MemoryManager::Free(*out);
  if (text == nullptr) text = "";
  const char* from = SkipChars(text, start < 0 ? 0 : start);
  const char* to = count <= 0 ? from : SkipChars(from, count);
  *out = EncodeRange(from, to);
}

void Utf8DeleteChars(char** text, int32_t index, int32_t count) {
  if (*text == nullptr || count <= 0) return;
  const int32_t length = Utf8Length(*text);
  const int64_t begin = static_cast<int64_t>(index) - 1;
  if (begin < 0 || begin >= length) return;
  const char* cut = SkipChars(*text, begin);
  const char* rest = SkipChars(cut, count);
  // The kept head as it is, then the tail decoded and encoded again.
  char* tail = EncodeRange(rest, rest + std::strlen(rest));
  const size_t head = static_cast<size_t>(cut - *text);
  const size_t tailLength = std::strlen(tail);
  char* result = static_cast<char*>(
      MemoryManager::Alloc(static_cast<uint32_t>(head + tailLength + 1), __FILE__, __LINE__, false));
  std::memcpy(result, *text, head);
  std::memcpy(result + head, tail, tailLength + 1);
  MemoryManager::Free(tail);
  MemoryManager::Free(*text);
  *text = result;
}

char* KeepAsciiOnly(const char* text) {
  if (text == nullptr || *text == '\0') return nullptr;
  std::string kept;
  while (*text != '\0') {
    const uint16_t ch = Utf8DecodeChar(&text);
    if (ch < 128) kept.push_back(static_cast<char>(ch));
  }
  return MemoryManager::DuplicateText(kept.c_str());
}

uint32_t Utf8DecodeCodePoint(const char** text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(*text);
  const unsigned char lead = p[0];
  if (lead == 0) return 0;
  if (lead < 0x80) {
    *text += 1;
    return lead;
  }
  int size = 0;
  uint32_t cp = 0;
  uint32_t least = 0;
  if ((lead & 0xE0) == 0xC0) {
    size = 2, cp = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    size = 3, cp = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    size = 4, cp = lead & 0x07, least = 0x10000;
  } else {
    *text += 1;
    return 0xFFFD;
  }
  for (int i = 1; i < size; ++i) {
    // A NUL is no continuation byte, so nothing past the terminator is read.
    if ((p[i] & 0xC0) != 0x80) {
      *text += 1;
      return 0xFFFD;
    }
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    *text += 1;
    return 0xFFFD;
  }
  *text += size;
  return cp;
}
