#include "graphics/Graphics_CompressedTexture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

void StoreU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// Floor division and the matching non-negative remainder.
int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int64_t FloorMod(int64_t a, int64_t b) { return a - FloorDiv(a, b) * b; }

// ---- PVRTC ----

struct PVRTCColour {
  int32_t r, g, b, a;  // 5-bit colour channels, 4-bit alpha
};

struct PVRTCBlock {
  uint32_t modulation;
  uint32_t colour;
};

// The layout of one image: block size, block grid and edge rule.
struct PVRTCImage {
  const uint8_t* data;
  bool twoBit;
  bool wrap;
  int64_t blockWidth;  // 8 or 4
  int64_t blockHeight;  // 4
  int64_t blocksX;
  int64_t blocksY;
};

// The address of block (x, y) in a grid of sx x sy blocks: the Morton index over the bits both
// sides share, with the remaining high bits of the longer side above them.
uint64_t PVRTC_TwiddleBlock(uint64_t sx, uint64_t sy, uint64_t x, uint64_t y) {
  const uint64_t shorter = std::min(sx, sy);
  uint64_t rest = sy < sx ? x : y;
  uint64_t index = 0;
  int shift = 0;
  for (uint64_t bit = 1; bit < shorter; bit <<= 1, ++shift) {
    if ((y & bit) != 0) index |= uint64_t{1} << (2 * shift);
    if ((x & bit) != 0) index |= uint64_t{1} << (2 * shift + 1);
  }
  rest >>= shift;
  return index | rest << (2 * shift);
}

// A block coordinate moved inside the grid, by wrapping or by clamping to the edge.
int64_t PVRTC_PlaceBlock(const PVRTCImage& img, int64_t v, int64_t count) {
  if (img.wrap) return FloorMod(v, count);
  return std::clamp<int64_t>(v, 0, count - 1);
}

PVRTCBlock PVRTC_ReadBlock(const PVRTCImage& img, int64_t bx, int64_t by) {
  bx = PVRTC_PlaceBlock(img, bx, img.blocksX);
  by = PVRTC_PlaceBlock(img, by, img.blocksY);
  const uint64_t at = PVRTC_TwiddleBlock(static_cast<uint64_t>(img.blocksX), static_cast<uint64_t>(img.blocksY),
                                         static_cast<uint64_t>(bx), static_cast<uint64_t>(by)) * 8;
  return {LoadU32(img.data + at), LoadU32(img.data + at + 4)};
}

// Colour A (low half of the colour word) and colour B (high half), channels widened to 5 bits
// and alpha to 4 bits.
void PVRTC_UnpackColours(uint32_t word, PVRTCColour* a, PVRTCColour* b) {
  const uint32_t lo = word & 0xFFFFu;
  if ((lo & 0x8000u) != 0) {  // opaque RGB 5-5-4
    const uint32_t blue = (lo >> 1) & 0xFu;
    *a = {static_cast<int32_t>((lo >> 10) & 0x1Fu), static_cast<int32_t>((lo >> 5) & 0x1Fu),
          static_cast<int32_t>(blue << 1 | blue >> 3), 15};
  } else {  // translucent ARGB 3-4-4-3
    const uint32_t r = (lo >> 8) & 0xFu, g = (lo >> 4) & 0xFu, bl = (lo >> 1) & 0x7u;
    *a = {static_cast<int32_t>(r << 1 | r >> 3), static_cast<int32_t>(g << 1 | g >> 3),
          static_cast<int32_t>(bl << 2 | bl >> 1), static_cast<int32_t>(((lo >> 12) & 0x7u) << 1)};
  }
  const uint32_t hi = word >> 16;
  if ((hi & 0x8000u) != 0) {  // opaque RGB 5-5-5
    *b = {static_cast<int32_t>((hi >> 10) & 0x1Fu), static_cast<int32_t>((hi >> 5) & 0x1Fu),
          static_cast<int32_t>(hi & 0x1Fu), 15};
  } else {  // translucent ARGB 3-4-4-4
    const uint32_t r = (hi >> 8) & 0xFu, g = (hi >> 4) & 0xFu, bl = hi & 0xFu;
    *b = {static_cast<int32_t>(r << 1 | r >> 3), static_cast<int32_t>(g << 1 | g >> 3),
          static_cast<int32_t>(bl << 1 | bl >> 3), static_cast<int32_t>(((hi >> 12) & 0x7u) << 1)};
  }
}

// The modulation of a block's pixels. `code` holds a 2-bit code per pixel (a 1-bit code n
// stored as n x 3); at 2 bpp in the interpolated mode only the pixels with (x ^ y) even have
// one, and `mode` says how the others are made: 1 from all four neighbours, 2 from the
// horizontal ones, 3 from the vertical ones. `punch` is the 4-bpp punch-through flag.
struct PVRTCModulation {
  uint8_t code[4][8];  // [y][x]
  int mode;
  bool punch;
};

PVRTCModulation PVRTC_UnpackModulation(const PVRTCImage& img, const PVRTCBlock& block) {
  PVRTCModulation m{};
  uint32_t bits = block.modulation;
  const bool modeBit = (block.colour & 1u) != 0;
  if (!img.twoBit) {
    m.punch = modeBit;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x, bits >>= 2) m.code[y][x] = static_cast<uint8_t>(bits & 3u);
    return m;
  }
  if (!modeBit) {  // one bit per pixel
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 8; ++x, bits >>= 1) m.code[y][x] = (bits & 1u) != 0 ? 3 : 0;
    return m;
  }
  // Interpolated: the first stored code's low bit chooses between both directions and one
  // direction; in the latter case the centre pixel's (x 4, y 2; bits 20-21) low bit says which,
  // and both codes lose that bit to a copy of their high bit.
  m.mode = 1;
  if ((bits & 1u) != 0) {
    m.mode = (bits & (1u << 20)) != 0 ? 3 : 2;
    bits = (bits & (1u << 21)) != 0 ? bits | 1u << 20 : bits & ~(1u << 20);
  }
  bits = (bits & 2u) != 0 ? bits | 1u : bits & ~1u;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) {
      if (((x ^ y) & 1) != 0) continue;
      m.code[y][x] = static_cast<uint8_t>(bits & 3u);
      bits >>= 2;
    }
  }
  return m;
}

// The stored code at image pixel (px, py), which may lie outside the image.
int PVRTC_CodeAt(const PVRTCImage& img, int64_t px, int64_t py) {
  const PVRTCBlock block = PVRTC_ReadBlock(img, FloorDiv(px, img.blockWidth), FloorDiv(py, img.blockHeight));
  const PVRTCModulation m = PVRTC_UnpackModulation(img, block);
  return m.code[FloorMod(py, img.blockHeight)][FloorMod(px, img.blockWidth)];
}

// The weight (0..8) of pixel (px, py), and whether it is punched through.
int PVRTC_GetModulation(const PVRTCImage& img, int64_t px, int64_t py, bool* punched) {
  static constexpr int kWeights[4] = {0, 3, 5, 8};
  static constexpr int kPunchWeights[4] = {0, 4, 4, 8};
  const PVRTCBlock block = PVRTC_ReadBlock(img, FloorDiv(px, img.blockWidth), FloorDiv(py, img.blockHeight));
  const PVRTCModulation m = PVRTC_UnpackModulation(img, block);
  const int64_t lx = FloorMod(px, img.blockWidth), ly = FloorMod(py, img.blockHeight);
  *punched = false;
  if (m.punch) {
    *punched = m.code[ly][lx] == 2;
    return kPunchWeights[m.code[ly][lx]];
  }
  if (m.mode == 0 || ((lx ^ ly) & 1) == 0) return kWeights[m.code[ly][lx]];
  const auto at = [&](int64_t dx, int64_t dy) { return kWeights[PVRTC_CodeAt(img, px + dx, py + dy)]; };
  switch (m.mode) {
    case 1: return (at(-1, 0) + at(1, 0) + at(0, -1) + at(0, 1) + 2) / 4;
    case 2: return (at(-1, 0) + at(1, 0) + 1) / 2;
    default: return (at(0, -1) + at(0, 1) + 1) / 2;
  }
}

// Colours A and B of pixel (px, py), bilinear between the four blocks whose centres surround
// it, widened to 8 bits per channel.
void PVRTC_InterpolateColours(const PVRTCImage& img, int64_t px, int64_t py, int32_t outA[4], int32_t outB[4]) {
  const int64_t bw = img.blockWidth, bh = img.blockHeight;
  const int64_t x0 = FloorDiv(px - bw / 2, bw), y0 = FloorDiv(py - bh / 2, bh);
  const int64_t fx = px - (x0 * bw + bw / 2), fy = py - (y0 * bh + bh / 2);
  const int64_t weight[4] = {(bw - fx) * (bh - fy), fx * (bh - fy), (bw - fx) * fy, fx * fy};
  int64_t sumA[4] = {}, sumB[4] = {};
  for (int k = 0; k < 4; ++k) {
    PVRTCColour a, b;
    PVRTC_UnpackColours(PVRTC_ReadBlock(img, x0 + (k & 1), y0 + (k >> 1)).colour, &a, &b);
    const int32_t ca[4] = {a.r, a.g, a.b, a.a}, cb[4] = {b.r, b.g, b.b, b.a};
    for (int c = 0; c < 4; ++c) {
      sumA[c] += ca[c] * weight[k];
      sumB[c] += cb[c] * weight[k];
    }
  }
  // The sums carry a factor of bw x bh (16 or 32, that is 2^s): 5-bit colours widen as
  // c x 8 + c / 4, 4-bit alpha as a x 17.
  const int s = img.twoBit ? 5 : 4;
  for (int c = 0; c < 4; ++c) {
    if (c < 3) {
      outA[c] = static_cast<int32_t>((sumA[c] >> (s + 2)) + (sumA[c] >> (s - 3)));
      outB[c] = static_cast<int32_t>((sumB[c] >> (s + 2)) + (sumB[c] >> (s - 3)));
    } else {
      outA[c] = static_cast<int32_t>((sumA[c] >> s) + (sumA[c] >> (s - 4)));
      outB[c] = static_cast<int32_t>((sumB[c] >> s) + (sumB[c] >> (s - 4)));
    }
  }
}

// ---- ETC1 ----

constexpr int kETC1Modifiers[8][4] = {
    {2, 8, -2, -8},     {5, 17, -5, -17},   {9, 29, -9, -29},     {13, 42, -13, -42},
    {18, 60, -18, -60}, {24, 80, -24, -80}, {33, 106, -33, -106}, {47, 183, -47, -183},
};

// Pixel (x, y) of a block: the base colour of its sub-block plus its modifier, clamped.
void ETC1_DecodePixel(const uint8_t block[8], int x, int y, uint8_t out[4]) {
  const uint32_t head = LoadU32(block);
  const bool flip = (head >> 24 & 1u) != 0;
  const bool differential = (head >> 25 & 1u) != 0;
  const bool second = flip ? y >= 2 : x >= 2;
  const uint32_t codeword = second ? head >> 26 & 7u : head >> 29 & 7u;
  int base[3];
  for (int c = 0; c < 3; ++c) {
    const int byte = block[c];
    if (differential) {
      int v = byte >> 3;
      if (second) v += ((byte & 7) ^ 4) - 4;  // signed 3-bit delta
      base[c] = v * 8 + v / 4;
    } else {
      const int v = second ? byte & 0xF : byte >> 4;
      base[c] = v * 17;
    }
  }
  // Index bits are big-endian in bytes 4-7, pixel i = x * 4 + y: high bits above, low below.
  const uint32_t indices = static_cast<uint32_t>(block[4]) << 24 | static_cast<uint32_t>(block[5]) << 16 |
                           static_cast<uint32_t>(block[6]) << 8 | block[7];
  const int i = x * 4 + y;
  const int index = static_cast<int>((indices >> (16 + i) & 1u) << 1 | (indices >> i & 1u));
  const int modifier = kETC1Modifiers[codeword][index];
  for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(std::clamp(base[c] + modifier, 0, 255));
  out[3] = 255;
}

void ETC1_DecodeBlocks(const uint8_t* blocks, int64_t width, int64_t height, uint8_t* output) {
  const int64_t blocksX = (width + 3) / 4, blocksY = (height + 3) / 4;
  for (int64_t by = 0; by < blocksY; ++by) {
    for (int64_t bx = 0; bx < blocksX; ++bx) {
      const uint8_t* block = blocks + (by * blocksX + bx) * 8;
      for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
          const int64_t px = bx * 4 + x, py = by * 4 + y;
          if (px < width && py < height) ETC1_DecodePixel(block, x, y, output + (py * width + px) * 4);
        }
      }
    }
  }
}

}  // namespace

bool DecodePVRTC(const uint8_t* data, uint64_t length, bool twoBit, int32_t width, int32_t height, bool wrap,
                 uint8_t* output) {
  if (data == nullptr || output == nullptr || width < 1 || height < 1) return false;
  PVRTCImage img{data, twoBit, wrap, twoBit ? 8 : 4, 4, 0, 0};
  img.blocksX = std::max<int64_t>(width / img.blockWidth, 2);
  img.blocksY = std::max<int64_t>(height / img.blockHeight, 2);
  // The address grows with each coordinate, so the far corner's block is the last one read.
  const uint64_t last = PVRTC_TwiddleBlock(static_cast<uint64_t>(img.blocksX), static_cast<uint64_t>(img.blocksY),
                                           static_cast<uint64_t>(img.blocksX - 1),
                                           static_cast<uint64_t>(img.blocksY - 1));
  if (last >= length / 8) return false;

  for (int64_t py = 0; py < height; ++py) {
    for (int64_t px = 0; px < width; ++px) {
      int32_t a[4], b[4];
      PVRTC_InterpolateColours(img, px, py, a, b);
      bool punched = false;
      const int w = PVRTC_GetModulation(img, px, py, &punched);
      uint8_t* out = output + (py * width + px) * 4;
      for (int c = 0; c < 4; ++c) out[c] = static_cast<uint8_t>((a[c] * (8 - w) + b[c] * w) / 8);
      if (punched) out[3] = 0;
    }
  }
  return true;
}

bool DecodePVRTCWrapped(const uint8_t* data, uint64_t length, bool twoBit, int32_t width, int32_t height,
                        uint8_t* output) {
  return DecodePVRTC(data, length, twoBit, width, height, true, output);
}

int64_t DecodeETC1(const uint8_t* blocks, uint64_t length, int32_t width, int32_t height, uint8_t* output) {
  if (width < 0 || height < 0) return -1;
  const int64_t paddedWidth = (static_cast<int64_t>(width) + 3) / 4 * 4;
  const int64_t paddedHeight = (static_cast<int64_t>(height) + 3) / 4 * 4;
  const int64_t bytes = paddedWidth * paddedHeight / 2;
  if (static_cast<uint64_t>(bytes) > length) return -1;
  if (bytes > 0) {
    if (blocks == nullptr || output == nullptr) return -1;
    ETC1_DecodeBlocks(blocks, width, height, output);
  }
  return bytes;
}

uint8_t* CreatePVRTexture(uint32_t width, uint32_t height, uint32_t minWidth, uint32_t minHeight,
                          uint32_t bitsPerPixel, bool mipMaps) {
  if (width == 0 || height == 0 || bitsPerPixel == 0) return nullptr;
  constexpr uint64_t kLimit = 0x7FFFFFFFu;
  uint64_t pixels = 0;
  uint64_t w = width, h = height;
  for (;;) {
    pixels += std::max<uint64_t>(w, minWidth) * std::max<uint64_t>(h, minHeight);
    if (pixels > kLimit) return nullptr;
    if (!mipMaps || (w == 1 && h == 1)) break;
    w = std::max<uint64_t>(w / 2, 1);
    h = std::max<uint64_t>(h / 2, 1);
  }
  const uint64_t dataSize = bitsPerPixel * pixels / 8;
  if (dataSize > kLimit - kPVRHeaderSize) return nullptr;
  auto* buffer = static_cast<uint8_t*>(std::calloc(1, static_cast<size_t>(kPVRHeaderSize + dataSize)));
  if (buffer == nullptr) return nullptr;
  const uint32_t header[13] = {kPVRHeaderSize, height, width, 0, 0, static_cast<uint32_t>(dataSize), bitsPerPixel,
                               0, 0, 0, 0, 0, 1};
  for (int i = 0; i < 13; ++i) StoreU32(buffer + 4 * i, header[i]);
  return buffer;
}

uint32_t TwiddleIndex(uint32_t x, uint32_t y) {
  uint32_t index = 0;
  for (int bit = 0; bit < 16; ++bit) {
    index |= (y >> bit & 1u) << (2 * bit);
    index |= (x >> bit & 1u) << (2 * bit + 1);
  }
  return index;
}

TwiddlePoint UntwiddleIndex(uint32_t index) {
  TwiddlePoint p{0, 0};
  for (int bit = 0; bit < 16; ++bit) {
    p.y |= (index >> (2 * bit) & 1u) << bit;
    p.x |= (index >> (2 * bit + 1) & 1u) << bit;
  }
  return p;
}

bool TileTexture(uint8_t* output, int32_t width, int32_t height, const uint8_t* source, uint64_t sourceLength,
                 int32_t sourceWidth, int32_t sourceHeight, int32_t bytesPerPixel, bool twiddled) {
  if (output == nullptr || source == nullptr || width < 1 || height < 1 || sourceWidth < 1 || sourceHeight < 1 ||
      bytesPerPixel < 1)
    return false;
  constexpr int32_t kTwiddleSide = 65536;
  if (twiddled && (width > kTwiddleSide || height > kTwiddleSide || sourceWidth > kTwiddleSide ||
                   sourceHeight > kTwiddleSide))
    return false;
  const uint64_t sw = static_cast<uint64_t>(sourceWidth), sh = static_cast<uint64_t>(sourceHeight);
  const uint64_t last = twiddled ? TwiddleIndex(sourceWidth - 1, sourceHeight - 1) : sw * sh - 1;
  const uint64_t bpp = static_cast<uint64_t>(bytesPerPixel);
  if (last >= sourceLength / bpp) return false;

  const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t x = i % static_cast<uint64_t>(width), y = i / static_cast<uint64_t>(width);
    if (twiddled) {
      const TwiddlePoint p = UntwiddleIndex(static_cast<uint32_t>(i));
      x = p.x;
      y = p.y;
    }
    const uint64_t sx = x % sw, sy = y % sh;
    const uint64_t from = twiddled ? TwiddleIndex(static_cast<uint32_t>(sx), static_cast<uint32_t>(sy)) : sy * sw + sx;
    std::memcpy(output + i * bpp, source + from * bpp, static_cast<size_t>(bpp));
  }
  return true;
}

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }
