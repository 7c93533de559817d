// The one PNG encoder of the program (libpng): 8-bit RGBA, no interlacing, libpng's default
// compression and filters. Each PNG writer opens its own file and prints its own messages; the
// encoder only says which step failed.
#pragma once

#include <cstddef>
#include <cstdint>

// How an encoding ended: written, or the step that failed.
enum class PngEncodeResult {
  Written,
  CreateWriteStructFailed,
  CreateInfoStructFailed,
  InitIoFailed,
  HeaderFailed,
  BytesFailed,
  EndFailed,
};

// Receives the encoded bytes in order; answering false fails the step that produced them.
using PngByteSink = bool (*)(void* context, const uint8_t* bytes, size_t length);

// Encodes a width x height image whose rows follow each other with no gap, each pixel four
// bytes taken as the R, G, B and A samples. No pixels or a size below 1 fail at the header.
PngEncodeResult Graphics_EncodePNG(const uint8_t* pixels, int32_t width, int32_t height, PngByteSink sink,
                                   void* context);

// The message a PNG writer prints for a failed encoding (without a line end), or null for Written.
const char* Graphics_PngFailureText(PngEncodeResult result);
