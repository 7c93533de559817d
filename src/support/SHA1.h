// SHA-1 (FIPS 180-1): reset a context, feed it byte runs, then ask for the result. The digest is
// the five hash words. A context that overflows its 2^64-bit length, or gets input after its
// result was taken, is corrupted: it ignores further input and SHA1_Result answers 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct SHA1Context {
  uint32_t intermediateHash[5];  // H0..H4; the digest once computed
  uint32_t lengthLow;            // message length in bits, low word
  uint32_t lengthHigh;           // and high word
  uint8_t messageBlock[64];      // the block being filled
  int32_t messageBlockIndex;     // bytes in messageBlock
  int32_t computed;              // the result has been taken
  int32_t corrupted;             // see above
};

void SHA1_Reset(SHA1Context* context);
// A length of 0 (or a null `data`) does nothing.
void SHA1_Input(SHA1Context* context, const void* data, size_t length);
// 0 for a corrupted context; otherwise pads and processes the last block the first time it is
// called and answers 1.
int SHA1_Result(SHA1Context* context);

// The hash words as 40 lower-case hex digits, eight per word, first word first. A corrupted
// context gives whatever its words hold.
std::string SHA1DigestHex(const SHA1Context& context);
// The SHA-1 of `length` bytes at `data` as 40 lower-case hex digits.
std::string SHA1HexString(const void* data, size_t length);
