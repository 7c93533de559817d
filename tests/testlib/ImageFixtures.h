// Image files made in memory for the decoder tests and the image fuzz harness's seeds: PNG, JPEG
// and GIF through the libraries' own encoders, BMP and DDS by hand. Nothing here uses the
// runtime, so the seed writer links it on its own.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// A BMP file: the 14-byte file header ("BM", file size, pixel offset 54 + the palette's size,
// or `pixelOffset` when given), the 40-byte info header (width, height, 1 plane, `bits`,
// compression 0), the palette bytes (B, G, R, reserved per entry), then `rows` as given (the
// bottom row first, as BMP stores them).
Bytes MakeBMP(int32_t width, int32_t height, uint16_t bits, const Bytes& palette, const Bytes& rows,
              int64_t pixelOffset = -1);

struct PngImage {
  uint32_t width = 0;
  uint32_t height = 0;
  int colourType = 0;  // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
  int bitDepth = 8;
  bool interlaced = false;
  Bytes rows;          // height rows packed as PNG stores them (16-bit samples high byte first)
  Bytes palette;       // R, G, B triples
  Bytes transparency;  // the tRNS chunk's contents, written when not empty
};
Bytes MakePNG(const PngImage& image);

// A PNG file read back as 8-bit R, G, B, A samples, rows from the top.
struct DecodedPng {
  uint32_t width = 0, height = 0;
  Bytes rgba;
  // Samples R, G, B, A of the pixel.
  std::vector<int> At(uint32_t x, uint32_t y) const {
    const size_t i = (static_cast<size_t>(y) * width + x) * 4;
    return {rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
  }
};
// Reads the PNG file at `path`; false when it cannot be read or decoded.
bool ReadPng(const std::string& path, DecodedPng* out);

// A JPEG of 1 (grey), 3 (RGB) or 4 (CMYK) components per pixel at quality 100 from samples in
// row order.
Bytes MakeJPEG(int width, int height, int components, const Bytes& samples, bool progressive = false);

struct GifFrame {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool interlaced = false;
  Bytes colours;  // the local colour map as R, G, B triples (padded to a power of two); none when empty
  Bytes indices;  // width x height, rows top first (interlaced frames are reordered for the file)
  std::vector<Bytes> controls;  // graphics-control extensions (4 bytes each) written before the frame
};
struct GifImage {
  int width = 0;  // the logical screen
  int height = 0;
  Bytes colours;  // the global colour map as R, G, B triples; none when empty
  std::vector<GifFrame> frames;
};
Bytes MakeGIF(const GifImage& image);

// A DDS file of the given four-character code ("DXT1", "DXT3", "DXT5") followed by `data`; with
// `mipLevels` above 1 the header also declares that many levels.
Bytes MakeDDS(uint32_t width, uint32_t height, const std::string& fourCC, const Bytes& data, uint32_t mipLevels = 1);
// A DDS file of 32-bit RGB pixels with red, green, blue and alpha masks (an alpha mask of 0 sets
// no alpha flag) followed by `data`.
Bytes MakeDDSPixels(uint32_t width, uint32_t height, const std::array<uint32_t, 4>& masks, const Bytes& data);

}  // namespace testsupport
