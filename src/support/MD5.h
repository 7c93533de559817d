// MD5 (RFC 1321): initialise a context, feed it any number of byte runs, then finish it; the
// 16 digest bytes are left in the context.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct MD5Context {
  uint32_t count[2];     // message length in bits, low word first
  uint32_t state[4];     // A, B, C, D
  uint8_t buffer[64];    // the block being filled
  uint8_t digest[16];    // the result, set by MD5_Final
};

void MD5_Init(MD5Context* context);
// A null `data` counts as no bytes.
void MD5_Update(MD5Context* context, const void* data, size_t length);
// Pads, appends the bit length and leaves the digest in context->digest. The context must be
// initialised again before it hashes anything else.
void MD5_Final(MD5Context* context);

// The finished digest as 32 lower-case hex digits, two per byte in byte order.
std::string MD5DigestHex(const MD5Context& context);
// The MD5 of `length` bytes at `data` as 32 lower-case hex digits.
std::string MD5HexString(const void* data, size_t length);
