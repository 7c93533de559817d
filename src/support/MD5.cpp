#include "support/MD5.h"

#include <bit>
#include <cstring>

namespace {

// Per-step additive constants: the integer part of 2^32 * |sin(i + 1)|.
constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

// Left-rotation amounts, four per round.
constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

inline uint32_t LoadLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

inline void StoreLE32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

void Transform(uint32_t state[4], const uint8_t block[64]) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = LoadLE32(block + 4 * i);

  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (int i = 0; i < 64; ++i) {
    int round = i / 16;
    uint32_t f;
    int k;
    switch (round) {
      case 0: f = (b & c) | (~b & d); k = i; break;
      case 1: f = (b & d) | (c & ~d); k = (5 * i + 1) % 16; break;
      case 2: f = b ^ c ^ d; k = (3 * i + 5) % 16; break;
      default: f = c ^ (b | ~d); k = (7 * i) % 16; break;
    }
    uint32_t rotated = std::rotl(a + f + x[k] + kSine[i], kShift[round][i % 4]);
    a = d;
    d = c;
    c = b;
    b = b + rotated;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

constexpr char kHexDigits[] = "0123456789abcdef";

}  // namespace

void MD5_Init(MD5Context* context) {
  context->count[0] = 0;
  context->count[1] = 0;
  context->state[0] = 0x67452301u;
  context->state[1] = 0xEFCDAB89u;
  context->state[2] = 0x98BADCFEu;
  context->state[3] = 0x10325476u;
  std::memset(context->buffer, 0, sizeof context->buffer);
  std::memset(context->digest, 0, sizeof context->digest);
}

void MD5_Update(MD5Context* context, const void* data, size_t length) {
  if (data == nullptr || length == 0) return;
  const uint8_t* input = static_cast<const uint8_t*>(data);

  // Bytes already waiting in the block, then the bit count with its carry into the high word.
  size_t used = (context->count[0] >> 3) & 0x3Fu;
  uint64_t bits = (static_cast<uint64_t>(context->count[1]) << 32) | context->count[0];
  bits += static_cast<uint64_t>(length) << 3;
  context->count[0] = static_cast<uint32_t>(bits);
  context->count[1] = static_cast<uint32_t>(bits >> 32);

  size_t room = 64 - used;
  size_t i = 0;
  if (length >= room) {
    std::memcpy(context->buffer + used, input, room);
    Transform(context->state, context->buffer);
    for (i = room; length - i >= 64; i += 64) Transform(context->state, input + i);
    used = 0;
  }
  std::memcpy(context->buffer + used, input + i, length - i);
}

void MD5_Final(MD5Context* context) {
  uint8_t lengthBytes[8];
  StoreLE32(lengthBytes, context->count[0]);
  StoreLE32(lengthBytes + 4, context->count[1]);

  // A 0x80 byte, then zeros up to 56 bytes into a block, then the 64-bit length.
  static const uint8_t kPadding[64] = {0x80};
  size_t used = (context->count[0] >> 3) & 0x3Fu;
  size_t padLength = used < 56 ? 56 - used : 120 - used;
  MD5_Update(context, kPadding, padLength);
  MD5_Update(context, lengthBytes, 8);

  for (int i = 0; i < 4; ++i) StoreLE32(context->digest + 4 * i, context->state[i]);
}

std::string MD5DigestHex(const MD5Context& context) {
  std::string hex(32, '0');
  for (int i = 0; i < 16; ++i) {
    hex[2 * i] = kHexDigits[context.digest[i] >> 4];
    hex[2 * i + 1] = kHexDigits[context.digest[i] & 0x0F];
  }
  return hex;
}

std::string MD5HexString(const void* data, size_t length) {
  MD5Context context;
  MD5_Init(&context);
  MD5_Update(&context, data, length);
  MD5_Final(&context);
  return MD5DigestHex(context);
}
