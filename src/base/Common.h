// Small process-wide services: the one pseudo-random generator behind every random built-in,
// the particle system and the data-structure shuffles, and a few text conversions (joining
// texts, widening and narrowing between 8-bit and 16-bit characters, '#' as a line break).
#pragma once

#include <cstdint>

// ---- Random numbers (WELL512a) ----
//
// The generator is seeded with 0 before the program starts; the game's start and the random
// built-ins seed it again. Saved games and replays depend on the exact sequence, so neither the
// seeding nor the step may change. Used from the main thread only.

struct RandomState {
  uint32_t s[16];
  uint32_t index;  // 0 to 15
  uint32_t seed;   // the seed last given to SeedRandom
};

// Fills the state from the seed and answers the seed.
uint32_t SeedRandom(uint32_t seed);
// The next unsigned 32-bit value.
uint32_t NextRandom();
// NextRandom / 2^32 * x: from 0 up to, not including, x for positive x.
double RandomReal(double x);
// NextRandom modulo |n| (unsigned arithmetic): 0 to |n| - 1. n must not be 0; 0 answers 0
// without drawing a value.
int32_t RandomInt(int32_t n);
// The seed last given to SeedRandom (random_get_seed).
uint32_t GetRandomSeed();
// The generator's state, read-only (for tests and diagnostics).
const RandomState& GetRandomState();

// ---- Text conversions ----

// Joins up to ten texts into `target` (a memory-manager block or null), grown to fit. Null and
// empty texts are skipped; when none is left the answer is null and the target is untouched.
// Otherwise the answer is the (possibly moved) block, which the caller stores in place of the
// target. Texts may point into the target itself, at any position.
char* ConcatStrings(char* target, const char* t1, const char* t2 = nullptr, const char* t3 = nullptr,
                    const char* t4 = nullptr, const char* t5 = nullptr, const char* t6 = nullptr,
                    const char* t7 = nullptr, const char* t8 = nullptr, const char* t9 = nullptr,
                    const char* t10 = nullptr);

// A new memory-manager block of 16-bit characters: each byte widened as a signed 8-bit value
// (0x80..0xFF become 0xFF80..0xFFFF), then a 0 character. Null answers null.
char16_t* AsciiToWide(const char* text);
// A new memory-manager text holding the low byte of each 16-bit character, then a 0 byte.
// Null answers null.
char* WideToAscii(const char16_t* text);

// Rewrites a UTF-8 text in place: '#' becomes a carriage return (13) and "\#" becomes '#'.
// Answers the number of characters in the result; a null text answers 0.
int32_t ConvertHashToNewline(char* text);

// False: the system runs little-endian.
bool Platform_IsBigEndian();
