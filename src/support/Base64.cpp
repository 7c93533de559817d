#include "support/Base64.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The alphabet index of `c`, or -1 for anything outside it ('=' and the terminator included).
inline int IndexOf(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

void Base64Encode(const void* data, size_t length, char* out) {
  const unsigned char* in = static_cast<const unsigned char*>(data);
  size_t i = 0;
  for (; length - i >= 3; i += 3) {
    uint32_t v = (static_cast<uint32_t>(in[i]) << 16) | (static_cast<uint32_t>(in[i + 1]) << 8) | in[i + 2];
    *out++ = kAlphabet[(v >> 18) & 0x3F];
    *out++ = kAlphabet[(v >> 12) & 0x3F];
    *out++ = kAlphabet[(v >> 6) & 0x3F];
    *out++ = kAlphabet[v & 0x3F];
  }
  size_t rest = length - i;
  if (rest > 0) {
    uint32_t v = static_cast<uint32_t>(in[i]) << 16;
    if (rest == 2) v |= static_cast<uint32_t>(in[i + 1]) << 8;
    *out++ = kAlphabet[(v >> 18) & 0x3F];
    *out++ = kAlphabet[(v >> 12) & 0x3F];
    *out++ = rest == 2 ? kAlphabet[(v >> 6) & 0x3F] : '=';
    *out++ = '=';
  }
  *out = '\0';
}

void Base64Decode(const char* text, int64_t capacity, void* out, bool terminate) {
  // Data bytes may fill at most capacity - 1 places; a capacity of 1 or less leaves no room
  // for anything, not even the terminator.
  if (text == nullptr || out == nullptr || capacity <= 1) return;
  const int64_t limit = capacity - 1;
  unsigned char* dest = static_cast<unsigned char*>(out);
  int64_t written = 0;
  auto put = [&](uint32_t byte) {
    if (written < limit) dest[written++] = static_cast<unsigned char>(byte);
  };

  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  uint32_t quartet[4];
  int n = 0;
  for (;; ++p) {
    int index = IndexOf(*p);
    if (index < 0) break;
    quartet[n++] = static_cast<uint32_t>(index);
    if (n == 4) {
      put((quartet[0] << 2) | (quartet[1] >> 4));
      put(((quartet[1] & 15u) << 4) | (quartet[2] >> 2));
      put(((quartet[2] & 3u) << 6) | quartet[3]);
      n = 0;
    }
  }
  // A short final quartet, completed with zeros, gives its first n - 1 bytes.
  if (n >= 2) {
    put((quartet[0] << 2) | (quartet[1] >> 4));
    if (n == 3) put(((quartet[1] & 15u) << 4) | (quartet[2] >> 2));
  }
  if (terminate && written < limit) dest[written] = 0;
}
