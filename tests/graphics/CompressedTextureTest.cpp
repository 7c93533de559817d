#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/Graphics_CompressedTexture.h"

namespace {

using Pixels = std::vector<uint8_t>;

struct Rgba {
  int r, g, b, a;
  bool operator==(const Rgba&) const = default;
};

Rgba PixelAt(const Pixels& out, int width, int x, int y) {
  const uint8_t* p = &out[(static_cast<size_t>(y) * width + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}

void PutU32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

// A colour word with opaque colours A (5-5-4) and B (5-5-5); bit 0 is the mode bit.
uint32_t OpaqueColours(int ra, int ga, int ba4, int rb, int gb, int bb, bool mode = false) {
  const uint32_t lo = 0x8000u | ra << 10 | ga << 5 | ba4 << 1 | (mode ? 1u : 0u);
  const uint32_t hi = 0x8000u | rb << 10 | gb << 5 | bb;
  return hi << 16 | lo;
}

// PVRTC data whose block at Morton address k holds blocks[k].
Pixels PvrtcData(const std::vector<std::pair<uint32_t, uint32_t>>& blocks) {
  Pixels data(blocks.size() * 8);
  for (size_t k = 0; k < blocks.size(); ++k) {
    PutU32(&data[k * 8], blocks[k].first);
    PutU32(&data[k * 8 + 4], blocks[k].second);
  }
  return data;
}

// n identical blocks.
Pixels UniformPvrtc(size_t n, uint32_t modulation, uint32_t colour) {
  return PvrtcData(std::vector<std::pair<uint32_t, uint32_t>>(n, {modulation, colour}));
}

// Black as colour A, white as colour B: a pixel's channels show its weight as 255 x w / 8.
constexpr uint32_t kBlackWhite = 0xFFFF8000u;

TEST(PVRTC, EqualColoursDecodeToThatColourAtBothRates) {
  // A: red 16, green 8, blue 8 of 4 bits (17 of 5); B the same in 5-5-5. Any weight gives it.
  const uint32_t colour = OpaqueColours(16, 8, 8, 16, 8, 17);
  const Rgba expected{132, 66, 140, 255};  // c x 8 + c / 4; alpha 15 x 17
  struct Case {
    bool twoBit;
    int size;
    size_t blocks;
  };
  for (const Case& c : {Case{false, 4, 4}, Case{true, 16, 8}, Case{false, 16, 16}}) {
    const Pixels data = UniformPvrtc(c.blocks, 0x1B2D3C4Du, colour);
    Pixels out(static_cast<size_t>(c.size) * c.size * 4);
    ASSERT_TRUE(DecodePVRTC(data.data(), data.size(), c.twoBit, c.size, c.size, false, out.data()));
    for (int y = 0; y < c.size; ++y)
      for (int x = 0; x < c.size; ++x) ASSERT_EQ(PixelAt(out, c.size, x, y), expected) << x << "," << y;
  }
}

TEST(PVRTC, BlockGridsAreAtLeastTwoByTwoAndMustFitTheData) {
  struct Case {
    bool twoBit;
    int width, height;
    size_t bytes;  // what the grid needs
  };
  for (const Case& c : {Case{false, 4, 4, 32}, Case{true, 16, 16, 64}, Case{true, 8, 4, 32}, Case{false, 1, 1, 32},
                        Case{false, 16, 8, 64}}) {
    Pixels out(static_cast<size_t>(c.width) * c.height * 4, 0xAB);
    const Pixels shortData = UniformPvrtc(c.bytes / 8, 0, kBlackWhite);
    EXPECT_FALSE(DecodePVRTC(shortData.data(), c.bytes - 1, c.twoBit, c.width, c.height, true, out.data()));
    EXPECT_EQ(out, Pixels(out.size(), 0xAB)) << "a refused image writes nothing";
    EXPECT_TRUE(DecodePVRTC(shortData.data(), c.bytes, c.twoBit, c.width, c.height, true, out.data()));
  }
  uint8_t px[4];
  const Pixels data = UniformPvrtc(4, 0, kBlackWhite);
  EXPECT_FALSE(DecodePVRTC(data.data(), data.size(), false, 0, 4, false, px));
  EXPECT_FALSE(DecodePVRTC(nullptr, 0, false, 4, 4, false, px));
}

TEST(PVRTC, TwoBitBlocksAreAddressedInMortonOrderOfARectangularGrid) {
  // 16 x 16 at 2 bpp: 2 x 4 blocks. Addresses: bit 0 from y, bit 1 from x, y's high bit above.
  std::vector<std::pair<uint32_t, uint32_t>> blocks(8);
  auto address = [](int bx, int by) { return (by & 1) | (bx & 1) << 1 | (by >> 1) << 2; };
  for (int by = 0; by < 4; ++by)
    for (int bx = 0; bx < 2; ++bx) {
      const int red = bx * 8 + by * 2;
      blocks[address(bx, by)] = {0, OpaqueColours(red, 0, 0, red, 0, 0)};
    }
  const Pixels data = PvrtcData(blocks);
  Pixels out(16 * 16 * 4);
  ASSERT_TRUE(DecodePVRTC(data.data(), data.size(), true, 16, 16, true, out.data()));
  // A block's centre pixel takes that block's colour alone.
  for (int by = 0; by < 4; ++by)
    for (int bx = 0; bx < 2; ++bx) {
      const int red = bx * 8 + by * 2;
      EXPECT_EQ(PixelAt(out, 16, bx * 8 + 4, by * 4 + 2), (Rgba{red * 8 + red / 4, 0, 0, 255})) << bx << "," << by;
    }
}

TEST(PVRTC, ColoursInterpolateBetweenBlockCentresAndWrapOrClampAtTheEdge) {
  // 8 x 8 at 4 bpp: blocks in column 0 have red 0, column 1 red 16 (addresses 2 and 3).
  const uint32_t dark = OpaqueColours(0, 0, 0, 0, 0, 0), light = OpaqueColours(16, 0, 0, 16, 0, 0);
  const Pixels data = PvrtcData({{0, dark}, {0, dark}, {0, light}, {0, light}});
  Pixels wrapped(8 * 8 * 4), clamped(8 * 8 * 4);
  ASSERT_TRUE(DecodePVRTCWrapped(data.data(), data.size(), false, 8, 8, wrapped.data()));
  ASSERT_TRUE(DecodePVRTC(data.data(), data.size(), false, 8, 8, false, clamped.data()));
  for (const Pixels* out : {&wrapped, &clamped}) {
    EXPECT_EQ(PixelAt(*out, 8, 2, 2).r, 0);    // centre of block 0
    EXPECT_EQ(PixelAt(*out, 8, 6, 2).r, 132);  // centre of block 1
    EXPECT_EQ(PixelAt(*out, 8, 3, 2).r, 33);   // (12 x 0 + 4 x 16) / 16 = 4 of 5 bits
    EXPECT_EQ(PixelAt(*out, 8, 3, 7).r, 33);   // rows agree: both block rows are alike
  }
  // Left of block 0's centre: wrapping mixes in column 1 half and half, clamping does not.
  EXPECT_EQ(PixelAt(wrapped, 8, 0, 2).r, 66);
  EXPECT_EQ(PixelAt(clamped, 8, 0, 2).r, 0);
  EXPECT_EQ(PixelAt(wrapped, 8, 7, 2).r, 99);  // 3/4 of 16 = 12 of 5 bits
  EXPECT_EQ(PixelAt(clamped, 8, 7, 2).r, 132);
}

TEST(PVRTC, FourBitWeightsAndPunchThrough) {
  // Each row's pixels carry codes 0, 1, 2, 3 (2 bits each, row order, low bits first).
  struct Case {
    uint32_t colour;
    Rgba row[4];
  };
  const Case cases[] = {
      {kBlackWhite, {{0, 0, 0, 255}, {95, 95, 95, 255}, {159, 159, 159, 255}, {255, 255, 255, 255}}},
      {kBlackWhite | 1u, {{0, 0, 0, 255}, {127, 127, 127, 255}, {127, 127, 127, 0}, {255, 255, 255, 255}}},
  };
  for (const Case& c : cases) {
    const Pixels data = UniformPvrtc(4, 0xE4E4E4E4u, c.colour);
    Pixels out(4 * 4 * 4);
    ASSERT_TRUE(DecodePVRTC(data.data(), data.size(), false, 4, 4, true, out.data()));
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(out, 4, x, y), c.row[x]) << std::hex << c.colour << " " << x;
  }
}

TEST(PVRTC, TranslucentColoursWidenToEightBits) {
  // A: alpha 5, red 0xA, green 3, blue 5 (3-4-4-3); B: alpha 3, red 4, green 0xF, blue 1 (3-4-4-4).
  const uint32_t colour = 0x34F1u << 16 | 0x5A3Au;
  const Pixels data = UniformPvrtc(4, 0xE4E4E4E4u, colour);
  Pixels out(4 * 4 * 4);
  ASSERT_TRUE(DecodePVRTC(data.data(), data.size(), false, 4, 4, true, out.data()));
  EXPECT_EQ(PixelAt(out, 4, 0, 1), (Rgba{173, 49, 181, 170}));  // weight 0: colour A
  EXPECT_EQ(PixelAt(out, 4, 3, 1), (Rgba{66, 255, 16, 102}));   // weight 8: colour B
  EXPECT_EQ(PixelAt(out, 4, 1, 1), (Rgba{132, 126, 119, 144}));  // weight 3: (5 A + 3 B) / 8
}

TEST(PVRTC, TwoBitModulationModes) {
  // 16 x 8 of identical blocks, black A and white B; a pixel's grey level is 255 x w / 8.
  struct Case {
    const char* what;
    uint32_t modulation;
    uint32_t colour;
    int level[4][8];  // [y][x] of one block
  };
  const Case cases[] = {
      {"one bit per pixel", 0x0000000Fu, kBlackWhite,
       {{255, 255, 255, 255, 0, 0, 0, 0}, {0}, {0}, {0}}},
      // Stored codes (x ^ y even): 3 in rows 0 and 2, 0 in rows 1 and 3. Bit 0 clear: the
      // others average all four neighbours, (8 + 8 + 0 + 0 + 2) / 4 = 4.
      {"both directions", 0x00FF00FEu, kBlackWhite | 1u,
       {{255, 127, 255, 127, 255, 127, 255, 127},
        {127, 0, 127, 0, 127, 0, 127, 0},
        {255, 127, 255, 127, 255, 127, 255, 127},
        {127, 0, 127, 0, 127, 0, 127, 0}}},
      // Bit 0 set, bit 20 set: vertical neighbours only.
      {"vertical", 0x00FF00FFu, kBlackWhite | 1u,
       {{255, 0, 255, 0, 255, 0, 255, 0},
        {255, 0, 255, 0, 255, 0, 255, 0},
        {255, 0, 255, 0, 255, 0, 255, 0},
        {255, 0, 255, 0, 255, 0, 255, 0}}},
      // Bit 0 set, bit 20 clear: horizontal neighbours only; the centre code still reads 3.
      {"horizontal", 0x00EF00FFu, kBlackWhite | 1u,
       {{255, 255, 255, 255, 255, 255, 255, 255},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {255, 255, 255, 255, 255, 255, 255, 255},
        {0, 0, 0, 0, 0, 0, 0, 0}}},
  };
  for (const Case& c : cases) {
    const Pixels data = UniformPvrtc(4, c.modulation, c.colour);
    Pixels out(16 * 8 * 4);
    ASSERT_TRUE(DecodePVRTC(data.data(), data.size(), true, 16, 8, true, out.data()));
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 16; ++x) {
        const int v = c.level[y % 4][x % 8];
        EXPECT_EQ(PixelAt(out, 16, x, y), (Rgba{v, v, v, 255})) << c.what << " at " << x << "," << y;
      }
  }
}

TEST(ETC1, IndividualModeWithZeroColoursGivesTheClampedModifiers) {
  // Codeword 0 (+2, +8, -2, -8). Pixel i = x * 4 + y; its index's high bit is bit 16 + i and its
  // low bit bit i of the big-endian word in bytes 4-7.
  const uint8_t block[8] = {0, 0, 0, 0, 0x00, 0x03, 0x00, 0x05};
  Pixels out(4 * 4 * 4);
  EXPECT_EQ(DecodeETC1(block, 8, 4, 4, out.data()), 8);
  const int column0[4] = {0, 0, 8, 2};  // indices 3 (-8), 2 (-2), 1 (+8), 0 (+2)
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const int v = x == 0 ? column0[y] : 2;
      EXPECT_EQ(PixelAt(out, 4, x, y), (Rgba{v, v, v, 255})) << x << "," << y;
    }
}

TEST(ETC1, DifferentialModeWithFlipAndIndividualColours) {
  struct Case {
    const char* what;
    uint8_t block[8];
    Rgba first, second;  // sub-block 1 and 2
    bool flip;
  };
  const Case cases[] = {
      // Red 16 and delta -1: 132 and 15 x 8 + 3 = 123; codeword 0 and index 0 add 2.
      {"differential, flipped", {0x87, 0x00, 0x00, 0x03, 0, 0, 0, 0}, {134, 2, 2, 255}, {125, 2, 2, 255}, true},
      // Nibbles 0xA and 0x5 times 17; codewords 1 (first) and 2 (second), index 0: +5 and +9.
      {"individual, side by side", {0xA5, 0x00, 0xFF, (1 << 5) | (2 << 2), 0, 0, 0, 0},
       {175, 5, 255, 255}, {94, 9, 255, 255}, false},
  };
  for (const Case& c : cases) {
    Pixels out(4 * 4 * 4);
    ASSERT_EQ(DecodeETC1(c.block, 8, 4, 4, out.data()), 8) << c.what;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        const bool second = c.flip ? y >= 2 : x >= 2;
        EXPECT_EQ(PixelAt(out, 4, x, y), second ? c.second : c.first) << c.what << " " << x << "," << y;
      }
  }
}

TEST(ETC1, SmallAndUnevenImagesUsePaddedBlocksAndMustFitTheData) {
  const uint8_t block[8] = {0, 0, 0, 0, 0x00, 0x03, 0x00, 0x05};
  Pixels out(2 * 2 * 4);
  EXPECT_EQ(DecodeETC1(block, 8, 2, 2, out.data()), 8);
  EXPECT_EQ(PixelAt(out, 2, 0, 0), (Rgba{0, 0, 0, 255}));
  EXPECT_EQ(PixelAt(out, 2, 0, 1), (Rgba{0, 0, 0, 255}));
  EXPECT_EQ(PixelAt(out, 2, 1, 0), (Rgba{2, 2, 2, 255}));
  EXPECT_EQ(PixelAt(out, 2, 1, 1), (Rgba{2, 2, 2, 255}));

  // 6 x 5 pads to 8 x 8: four blocks, 32 bytes.
  Pixels blocks(32, 0);
  Pixels big(6 * 5 * 4, 0xAB);
  EXPECT_EQ(DecodeETC1(blocks.data(), 31, 6, 5, big.data()), -1);
  EXPECT_EQ(big, Pixels(big.size(), 0xAB));
  EXPECT_EQ(DecodeETC1(blocks.data(), 32, 6, 5, big.data()), 32);
  EXPECT_EQ(PixelAt(big, 6, 5, 4), (Rgba{2, 2, 2, 255}));
  EXPECT_EQ(DecodeETC1(nullptr, 0, 0, 0, nullptr), 0);
  EXPECT_EQ(DecodeETC1(blocks.data(), 32, -4, 4, big.data()), -1);
}

uint32_t HeaderField(const uint8_t* buffer, int i) {
  uint32_t v;
  std::memcpy(&v, buffer + 4 * i, 4);
  return v;
}

TEST(PVRContainer, HeaderAndDataSize) {
  struct Case {
    uint32_t w, h, minW, minH, bpp;
    bool mips;
    uint32_t dataSize;
  };
  const Case cases[] = {
      {8, 8, 1, 1, 4, true, 42},     // 4 x (64 + 16 + 4 + 1) / 8
      {8, 8, 1, 1, 4, false, 32},    // the top level only
      {8, 2, 1, 1, 8, true, 16 + 4 + 2 + 1},  // 8x2, 4x1, 2x1, 1x1
      {8, 8, 8, 4, 2, true, 2 * (64 + 32 + 32 + 32) / 8},  // levels widened to the minimum
  };
  for (const Case& c : cases) {
    uint8_t* buffer = CreatePVRTexture(c.w, c.h, c.minW, c.minH, c.bpp, c.mips);
    ASSERT_NE(buffer, nullptr);
    const uint32_t expected[13] = {52, c.h, c.w, 0, 0, c.dataSize, c.bpp, 0, 0, 0, 0, 0, 1};
    for (int i = 0; i < 13; ++i) EXPECT_EQ(HeaderField(buffer, i), expected[i]) << "field " << i;
    EXPECT_EQ(buffer[kPVRHeaderSize + c.dataSize - 1], 0);  // the data area is there and zero
    std::free(buffer);
  }
  EXPECT_EQ(CreatePVRTexture(0, 8, 1, 1, 4, false), nullptr);
  EXPECT_EQ(CreatePVRTexture(8, 8, 1, 1, 0, false), nullptr);
  EXPECT_EQ(CreatePVRTexture(65536, 65536, 1, 1, 32, true), nullptr);  // 2 GB or more
}

TEST(Twiddle, MortonIndicesAndTheirInverse) {
  EXPECT_EQ(TwiddleIndex(1, 0), 2u);
  EXPECT_EQ(TwiddleIndex(0, 1), 1u);
  EXPECT_EQ(TwiddleIndex(3, 5), 0b011011u);  // y 101 at even bits, x 011 at odd
  EXPECT_EQ(TwiddleIndex(0xFFFF, 0xFFFF), 0xFFFFFFFFu);
  EXPECT_EQ(TwiddleIndex(0x10000, 0), 0u);  // only 16 bits of each
  for (uint32_t index : {0u, 1u, 2u, 7u, 0x1234u, 0xDEADBEEFu, 0xFFFFFFFFu}) {
    const TwiddlePoint p = UntwiddleIndex(index);
    EXPECT_EQ(TwiddleIndex(p.x, p.y), index);
  }
  EXPECT_EQ(UntwiddleIndex(2).x, 1u);
  EXPECT_EQ(UntwiddleIndex(2).y, 0u);
}

TEST(Twiddle, PowerOfTwo) {
  for (uint32_t v : {1u, 2u, 64u, 0x80000000u}) EXPECT_TRUE(IsPowerOfTwo(v)) << v;
  for (uint32_t v : {0u, 3u, 6u, 0xFFFFFFFFu}) EXPECT_FALSE(IsPowerOfTwo(v)) << v;
}

TEST(Twiddle, TileTextureRepeatsTheSourceInRowOrMortonOrder) {
  // Row order: a 2 x 2 source (one byte a pixel) over 3 x 3.
  const uint8_t rows[4] = {'a', 'b', 'c', 'd'};
  uint8_t out[9];
  ASSERT_TRUE(TileTexture(out, 3, 3, rows, 4, 2, 2, 1, false));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 9), "abacdcaba");

  // Morton order: source address of (x, y) is TwiddleIndex(x, y); output pixel i takes the
  // point whose index is i. A 2 x 2 source over 4 x 2 (two bytes a pixel).
  const uint8_t morton[8] = {0, 0, 1, 1, 2, 2, 3, 3};  // (0,0) (0,1) (1,0) (1,1)
  uint8_t tiled[16];
  ASSERT_TRUE(TileTexture(tiled, 4, 2, morton, 8, 2, 2, 2, true));
  // i = 0..7 -> (0,0) (0,1) (1,0) (1,1) (0,2) (0,3) (1,2) (1,3): y wraps at 2.
  const uint8_t expected[16] = {0, 0, 1, 1, 2, 2, 3, 3, 0, 0, 1, 1, 2, 2, 3, 3};
  EXPECT_EQ(std::memcmp(tiled, expected, 16), 0);

  // The source must hold every pixel it is said to have.
  EXPECT_FALSE(TileTexture(out, 3, 3, rows, 3, 2, 2, 1, false));
  EXPECT_FALSE(TileTexture(out, 1, 1, rows, 4, 3, 1, 1, true));  // (2,0) is address 8
  EXPECT_FALSE(TileTexture(out, 0, 3, rows, 4, 2, 2, 1, false));
}

}  // namespace
