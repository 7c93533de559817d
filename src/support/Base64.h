// Base64 with the usual alphabet (A-Z, a-z, 0-9, '+', '/') and '=' padding.
#pragma once

#include <cstddef>
#include <cstdint>

// The room Base64Encode needs for `length` bytes: 4 characters per started run of 3 bytes,
// plus the terminator.
constexpr uint64_t Base64EncodedSize(uint64_t length) { return (length + 2) / 3 * 4 + 1; }

// Writes the encoding of `length` bytes at `data` into `out`, then a terminating zero. `out`
// must hold Base64EncodedSize(length) bytes. No bytes give the empty text.
void Base64Encode(const void* data, size_t length, char* out);

// Decodes the zero-terminated `text` into `out`, which holds `capacity` bytes. Decoding ends at
// the terminator, the first '=' or the first character outside the alphabet (blanks and line
// ends included), without complaint. A final 2 or 3 characters give 1 or 2 bytes; a lone final
// character gives nothing. At most capacity - 1 bytes are written (the rest are dropped), and
// when `terminate` is set and fewer than capacity - 1 were written a zero byte follows them.
// A capacity of 1 or less writes nothing at all.
void Base64Decode(const char* text, int64_t capacity, void* out, bool terminate);
