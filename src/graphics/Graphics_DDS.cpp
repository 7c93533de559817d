#include "graphics/Graphics_DDS.h"

#include <cstring>

namespace {

constexpr uint32_t kFlagMipMapCount = 0x20000;
constexpr uint32_t kPixelAlpha = 0x1;
constexpr uint32_t kPixelFourCC = 0x4;
constexpr uint32_t kPixelRGB = 0x40;

uint32_t Get16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Get32(const uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }

// One channel of a pixel word scaled to 8 bits; `fallback` when the mask is empty.
uint8_t Channel(uint32_t pixel, uint32_t mask, uint8_t fallback) {
  if (mask == 0) return fallback;
  int shift = 0;
  while ((mask >> shift & 1) == 0) ++shift;
  const uint64_t field = mask >> shift;
  int bits = 0;
  while (bits < 32 && (field >> bits & 1) != 0) ++bits;
  const uint64_t value = (pixel >> shift) & ((uint64_t(1) << bits) - 1);
  if (bits >= 8) return uint8_t(value >> (bits - 8));
  return uint8_t(value * 255 / ((uint64_t(1) << bits) - 1));
}

// The colour half of every block kind: two 5-6-5 end points and sixteen 2-bit indices.
void DecodeColours(const uint8_t* block, bool fourColours, uint8_t out[16][4]) {
  uint8_t palette[4][4];
  DDS_ColourPalette(Get16(block), Get16(block + 2), fourColours, palette);
  const uint32_t indices = Get32(block + 4);
  for (int i = 0; i < 16; ++i) std::memcpy(out[i], palette[indices >> (2 * i) & 3], 4);
}

}  // namespace

void DDS_From565(uint32_t colour, uint8_t rgb[3]) {
  const uint32_t r = colour >> 11 & 31, g = colour >> 5 & 63, b = colour & 31;
  rgb[0] = uint8_t(r << 3 | r >> 2);
  rgb[1] = uint8_t(g << 2 | g >> 4);
  rgb[2] = uint8_t(b << 3 | b >> 2);
}

void DDS_AlphaPalette(int a0, int a1, int palette[8]) {
  palette[0] = a0;
  palette[1] = a1;
  if (a0 > a1) {
    for (int k = 1; k <= 6; ++k) palette[k + 1] = ((7 - k) * a0 + k * a1) / 7;
  } else {
    for (int k = 1; k <= 4; ++k) palette[k + 1] = ((5 - k) * a0 + k * a1) / 5;
    palette[6] = 0;
    palette[7] = 255;
  }
}

void DDS_ColourPalette(uint32_t c0, uint32_t c1, bool fourColours, uint8_t palette[4][4]) {
  DDS_From565(c0, palette[0]);
  DDS_From565(c1, palette[1]);
  palette[0][3] = palette[1][3] = palette[2][3] = palette[3][3] = 255;
  if (fourColours || c0 > c1) {
    for (int k = 0; k < 3; ++k) {
      palette[2][k] = uint8_t((2 * palette[0][k] + palette[1][k]) / 3);
      palette[3][k] = uint8_t((palette[0][k] + 2 * palette[1][k]) / 3);
    }
  } else {
    for (int k = 0; k < 3; ++k) palette[2][k] = uint8_t((palette[0][k] + palette[1][k]) / 2);
    std::memset(palette[3], 0, 4);
  }
}

void DDS_DecodeBlockDXT1(const uint8_t block[8], uint8_t out[16][4]) { DecodeColours(block, false, out); }

void DDS_DecodeBlockDXT3(const uint8_t block[16], uint8_t out[16][4]) {
  DecodeColours(block + 8, true, out);
  for (int i = 0; i < 16; ++i) out[i][3] = uint8_t((block[i / 2] >> (4 * (i % 2)) & 15) * 17);
}

void DDS_DecodeBlockDXT5(const uint8_t block[16], uint8_t out[16][4]) {
  DecodeColours(block + 8, true, out);
  int palette[8];
  DDS_AlphaPalette(block[0], block[1], palette);
  uint64_t indices = 0;
  for (int k = 0; k < 6; ++k) indices |= uint64_t(block[2 + k]) << (8 * k);
  for (int i = 0; i < 16; ++i) out[i][3] = uint8_t(palette[indices >> (3 * i) & 7]);
}

bool DDS_ReadHeader(const uint8_t* file, uint64_t length, DdsImage* image) {
  if (file == nullptr || length < kDdsHeaderSize || std::memcmp(file, "DDS ", 4) != 0) return false;
  if (Get32(file + 4) != 124 || Get32(file + 76) != 32) return false;
  DdsImage out;
  out.height = Get32(file + 12);
  out.width = Get32(file + 16);
  if (out.width == 0 || out.height == 0) return false;
  const uint32_t mips = Get32(file + 28);
  out.mipLevels = (Get32(file + 8) & kFlagMipMapCount) != 0 && mips > 0 ? mips : 1;
  const uint32_t pixelFlags = Get32(file + 80);
  const uint64_t blocks = (uint64_t(out.width) + 3) / 4 * ((uint64_t(out.height) + 3) / 4);
  uint64_t units = 0, blockBytes = 1;  // the top level's blocks or pixels, and their size
  if ((pixelFlags & kPixelFourCC) != 0) {
    const uint8_t* code = file + 84;
    if (std::memcmp(code, "DXT1", 4) == 0) {
      out.format = DdsFormat::DXT1;
    } else if (std::memcmp(code, "DXT3", 4) == 0) {
      out.format = DdsFormat::DXT3;
    } else if (std::memcmp(code, "DXT5", 4) == 0) {
      out.format = DdsFormat::DXT5;
    } else {
      return false;
    }
    blockBytes = out.format == DdsFormat::DXT1 ? 8 : 16;
    units = blocks;
  } else if ((pixelFlags & kPixelRGB) != 0 && Get32(file + 88) == 32) {
    out.format = DdsFormat::RGBA32;
    for (int k = 0; k < 3; ++k) out.masks[k] = Get32(file + 92 + 4 * k);
    out.masks[3] = (pixelFlags & kPixelAlpha) != 0 ? Get32(file + 104) : 0;
    blockBytes = 4;
    units = uint64_t(out.width) * out.height;
  } else {
    return false;
  }
  if (units > (length - kDdsHeaderSize) / blockBytes) return false;  // (a product could overflow)
  out.dataLength = units * blockBytes;
  out.data = file + kDdsHeaderSize;
  *image = out;
  return true;
}

void DDS_DecodeImage(const DdsImage& image, uint8_t* rgba) {
  const uint64_t w = image.width, h = image.height;
  if (image.format == DdsFormat::RGBA32) {
    for (uint64_t i = 0; i < w * h; ++i) {
      const uint32_t p = Get32(image.data + 4 * i);
      uint8_t* o = rgba + 4 * i;
      o[0] = Channel(p, image.masks[0], 0);
      o[1] = Channel(p, image.masks[1], 0);
      o[2] = Channel(p, image.masks[2], 0);
      o[3] = Channel(p, image.masks[3], 255);
    }
    return;
  }
  const uint64_t blockBytes = image.format == DdsFormat::DXT1 ? 8 : 16;
  const uint8_t* block = image.data;
  for (uint64_t by = 0; by < h; by += 4) {
    for (uint64_t bx = 0; bx < w; bx += 4, block += blockBytes) {
      uint8_t px[16][4];
      switch (image.format) {
        case DdsFormat::DXT1: DDS_DecodeBlockDXT1(block, px); break;
        case DdsFormat::DXT3: DDS_DecodeBlockDXT3(block, px); break;
        default: DDS_DecodeBlockDXT5(block, px); break;
      }
      for (uint64_t y = 0; y < 4 && by + y < h; ++y) {
        for (uint64_t x = 0; x < 4 && bx + x < w; ++x) {
          std::memcpy(rgba + ((by + y) * w + bx + x) * 4, px[y * 4 + x], 4);
        }
      }
    }
  }
}
