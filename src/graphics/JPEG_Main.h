// JPEG and GIF images in memory made into 32-bit pixels (libjpeg-turbo and giflib).
//
// Both decoders answer width x height 0xAARRGGBB words (bytes B, G, R, A), row-major, top row
// first, in a new memory-manager block that the caller frees, or null. The bytes are untrusted:
// nothing is read outside the length given, a damaged or truncated file gives null (never an
// exit), and no image beyond Image_SizeAllowed is made. No state; main thread or any thread.
#pragma once

#include <cstdint>

// Decodes a JPEG file. Pixels by the file's component count: 1 (grey v) gives 0xFF000000 |
// v x 0x010101, 3 (R, G, B) gives 0xFF000000 | R << 16 | G << 8 | B, and 4 gives the fourth
// component as the top byte followed by the first three (no colour conversion); any other count
// gives 0 words. The width and height are written only on success.
uint32_t* DecodeJPEG(const uint8_t* data, uint64_t length, int32_t* width, int32_t* height);

// Decodes the first image of a GIF file onto its logical screen: the answer has the screen's
// width and height, every pixel transparent (0) but those the first image covers, which take
// A << 24 | R << 16 | G << 8 | B from the image's own colour map, else the global one, with A = 0
// for the transparent index and for an index outside the map, 255 otherwise. The transparent
// index comes from a graphics-control extension (4 bytes, bit 0 of the first set, the index in
// the fourth) before the first image; the last such block wins. The whole file must read without
// error, later images included; a file without a colour map for its first image gives null.
// The width and height are written only on success.
uint32_t* DecodeGIF(const uint8_t* data, uint64_t length, int32_t* width, int32_t* height);
