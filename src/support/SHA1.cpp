#include "support/SHA1.h"

#include <bit>
#include <cstring>

namespace {

constexpr uint32_t kRoundConstant[4] = {0x5A827999u, 0x6ED9EBA1u, 0x8F1BBCDCu, 0xCA62C1D6u};

inline uint32_t LoadBE32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

inline void StoreBE32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

void ProcessMessageBlock(SHA1Context* context) {
  uint32_t w[80];
  for (int t = 0; t < 16; ++t) w[t] = LoadBE32(context->messageBlock + 4 * t);
  for (int t = 16; t < 80; ++t) w[t] = std::rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);

  uint32_t a = context->intermediateHash[0];
  uint32_t b = context->intermediateHash[1];
  uint32_t c = context->intermediateHash[2];
  uint32_t d = context->intermediateHash[3];
  uint32_t e = context->intermediateHash[4];
  for (int t = 0; t < 80; ++t) {
    uint32_t f;
    if (t < 20) f = (b & c) | (~b & d);
    else if (t < 40) f = b ^ c ^ d;
    else if (t < 60) f = (b & c) | (b & d) | (c & d);
    else f = b ^ c ^ d;
    uint32_t temp = std::rotl(a, 5) + f + e + w[t] + kRoundConstant[t / 20];
    e = d;
    d = c;
    c = std::rotl(b, 30);
    b = a;
    a = temp;
  }
  context->intermediateHash[0] += a;
  context->intermediateHash[1] += b;
  context->intermediateHash[2] += c;
  context->intermediateHash[3] += d;
  context->intermediateHash[4] += e;
  context->messageBlockIndex = 0;
}

// Appends 0x80, zeros up to 56 bytes into a block (spilling into a second block when the
// message leaves no room), then the 64-bit bit length, and processes what that fills.
void PadMessage(SHA1Context* context) {
  int32_t index = context->messageBlockIndex;
  context->messageBlock[index++] = 0x80;
  if (index > 56) {
    std::memset(context->messageBlock + index, 0, static_cast<size_t>(64 - index));
    ProcessMessageBlock(context);
    index = 0;
  }
  std::memset(context->messageBlock + index, 0, static_cast<size_t>(56 - index));
  StoreBE32(context->messageBlock + 56, context->lengthHigh);
  StoreBE32(context->messageBlock + 60, context->lengthLow);
  ProcessMessageBlock(context);
}

constexpr char kHexDigits[] = "0123456789abcdef";

}  // namespace

void SHA1_Reset(SHA1Context* context) {
  context->lengthLow = 0;
  context->lengthHigh = 0;
  context->messageBlockIndex = 0;
  context->intermediateHash[0] = 0x67452301u;
  context->intermediateHash[1] = 0xEFCDAB89u;
  context->intermediateHash[2] = 0x98BADCFEu;
  context->intermediateHash[3] = 0x10325476u;
  context->intermediateHash[4] = 0xC3D2E1F0u;
  std::memset(context->messageBlock, 0, sizeof context->messageBlock);
  context->computed = 0;
  context->corrupted = 0;
}

void SHA1_Input(SHA1Context* context, const void* data, size_t length) {
  if (length == 0 || data == nullptr) return;
  if (context->computed || context->corrupted) {
    context->corrupted = 1;
    return;
  }
  const uint8_t* input = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < length && !context->corrupted; ++i) {
    context->messageBlock[context->messageBlockIndex++] = input[i];
    context->lengthLow += 8;
    if (context->lengthLow == 0) {
      context->lengthHigh += 1;
      if (context->lengthHigh == 0) context->corrupted = 1;  // more than 2^64 bits
    }
    if (context->messageBlockIndex == 64) ProcessMessageBlock(context);
  }
}

int SHA1_Result(SHA1Context* context) {
  if (context->corrupted) return 0;
  if (!context->computed) {
    PadMessage(context);
    // The block held message bytes; they are not needed any more.
    std::memset(context->messageBlock, 0, sizeof context->messageBlock);
    context->lengthLow = 0;
    context->lengthHigh = 0;
    context->computed = 1;
  }
  return 1;
}

std::string SHA1DigestHex(const SHA1Context& context) {
  std::string hex(40, '0');
  for (int word = 0; word < 5; ++word) {
    uint32_t v = context.intermediateHash[word];
    for (int digit = 0; digit < 8; ++digit) hex[8 * word + digit] = kHexDigits[(v >> (28 - 4 * digit)) & 0xFu];
  }
  return hex;
}

std::string SHA1HexString(const void* data, size_t length) {
  SHA1Context context;
  SHA1_Reset(&context);
  SHA1_Input(&context, data, length);
  SHA1_Result(&context);
  return SHA1DigestHex(context);
}
