#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "graphics/Graphics_DDS.h"
#include "testlib/ImageFixtures.h"

using namespace testsupport;

namespace {

struct Rgba {
  int r, g, b, a;
  bool operator==(const Rgba&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Rgba& p) {
  return os << "(" << p.r << ", " << p.g << ", " << p.b << ", " << p.a << ")";
}

constexpr Rgba kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255};

std::vector<Rgba> Pixels(const uint8_t out[16][4]) {
  std::vector<Rgba> p;
  for (int i = 0; i < 16; ++i) p.push_back({out[i][0], out[i][1], out[i][2], out[i][3]});
  return p;
}

// A colour block: end points c0 and c1, then pixels 0 to 3 taking indices 0, 1, 2, 3 and the
// rest index 0.
void ColourBlock(uint8_t* b, uint16_t c0, uint16_t c1) {
  b[0] = static_cast<uint8_t>(c0);
  b[1] = static_cast<uint8_t>(c0 >> 8);
  b[2] = static_cast<uint8_t>(c1);
  b[3] = static_cast<uint8_t>(c1 >> 8);
  b[4] = 0xE4;  // 3, 2, 1, 0 from the high bits
  b[5] = b[6] = b[7] = 0;
}

TEST(DDSBlocks, KnownBlocksDecode) {
  struct Case {
    const char* name;
    void (*decode)(const uint8_t*, uint8_t[16][4]);
    std::vector<uint8_t> block;
    std::vector<Rgba> first4;  // pixels 0 to 3
    Rgba rest;                 // pixels 4 to 15
  };
  auto dxt1 = [](const uint8_t* b, uint8_t out[16][4]) { DDS_DecodeBlockDXT1(b, out); };
  auto dxt3 = [](const uint8_t* b, uint8_t out[16][4]) { DDS_DecodeBlockDXT3(b, out); };
  auto dxt5 = [](const uint8_t* b, uint8_t out[16][4]) { DDS_DecodeBlockDXT5(b, out); };
  std::vector<uint8_t> redBlue(8), blueRed(8), green(8);
  ColourBlock(redBlue.data(), 0xF800, 0x001F);
  ColourBlock(blueRed.data(), 0x001F, 0xF800);
  ColourBlock(green.data(), 0x07E0, 0x0000);
  std::vector<uint8_t> dxt3Block = {0x21, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  dxt3Block.insert(dxt3Block.end(), blueRed.begin(), blueRed.end());
  // Alpha end points 255 and 0 (six steps), indices 0..7 twice over.
  std::vector<uint8_t> dxt5Six = {0xFF, 0x00, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA};
  dxt5Six.insert(dxt5Six.end(), redBlue.begin(), redBlue.end());
  // Alpha end points 40 and 90 (four steps, then 0 and 255): indices 6, 7, 2, 5, then 0.
  std::vector<uint8_t> dxt5Four = {40, 90, 0xBE, 0x0A, 0, 0, 0, 0};
  dxt5Four.insert(dxt5Four.end(), redBlue.begin(), redBlue.end());

  const Case cases[] = {
      {"DXT1, c0 above c1: four colours", dxt1, redBlue, {kRed, kBlue, {170, 0, 85, 255}, {85, 0, 170, 255}}, kRed},
      {"DXT1, c0 below c1: three colours and transparent black", dxt1, blueRed,
       {kBlue, kRed, {127, 0, 127, 255}, {0, 0, 0, 0}}, kBlue},
      {"DXT1, six green bits widen to 255", dxt1, green,
       {{0, 255, 0, 255}, {0, 0, 0, 255}, {0, 170, 0, 255}, {0, 85, 0, 255}}, {0, 255, 0, 255}},
      {"DXT3: 4-bit alpha times 17, always four colours", dxt3, dxt3Block,
       {{0, 0, 255, 17}, {255, 0, 0, 34}, {85, 0, 170, 255}, {170, 0, 85, 255}}, {0, 0, 255, 255}},
      {"DXT5, six alpha steps", dxt5, dxt5Six,
       {{255, 0, 0, 255}, {0, 0, 255, 0}, {170, 0, 85, 218}, {85, 0, 170, 182}}, {255, 0, 0, 145}},
      {"DXT5, four alpha steps, 0 and 255", dxt5, dxt5Four,
       {{255, 0, 0, 0}, {0, 0, 255, 255}, {170, 0, 85, 50}, {85, 0, 170, 80}}, {255, 0, 0, 40}},
  };
  for (const Case& c : cases) {
    uint8_t out[16][4];
    c.decode(c.block.data(), out);
    const std::vector<Rgba> got = Pixels(out);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(got[i], c.first4[i]) << c.name << ", pixel " << i;
    EXPECT_EQ(got[4], c.rest) << c.name << ", pixel 4";
  }
  // The alpha indices run through all 16 pixels: the six-step block repeats 0..7.
  uint8_t out[16][4];
  DDS_DecodeBlockDXT5(dxt5Six.data(), out);
  const int six[8] = {255, 0, 218, 182, 145, 109, 72, 36};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i][3], six[i % 8]) << "pixel " << i;
}

TEST(DDSFile, DecodesBlocksInRowsAndDropsWhatLiesOutside) {
  // DXT1, 8 x 4: a red block, then a blue one (colour end points equal, all indices 0).
  std::vector<uint8_t> blocks = {0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0, 0x1F, 0x00, 0x1F, 0x00, 0, 0, 0, 0};
  const Bytes file = MakeDDS(8, 4, "DXT1", blocks);
  DdsImage image;
  ASSERT_TRUE(DDS_ReadHeader(file.data(), file.size(), &image));
  EXPECT_EQ(image.width, 8u);
  EXPECT_EQ(image.height, 4u);
  EXPECT_EQ(image.mipLevels, 1u);
  EXPECT_EQ(image.dataLength, 16u);
  std::vector<uint8_t> rgba(8 * 4 * 4);
  DDS_DecodeImage(image, rgba.data());
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) {
      const uint8_t* p = &rgba[(y * 8 + x) * 4];
      EXPECT_EQ((Rgba{p[0], p[1], p[2], p[3]}), x < 4 ? kRed : kBlue) << x << "," << y;
    }
  }

  // DXT5, 5 x 3 with three levels: two blocks across, one down; the second block is blue.
  std::vector<uint8_t> dxt5(32, 0);
  dxt5[0] = dxt5[1] = 255;
  dxt5[8] = 0x00, dxt5[9] = 0xF8, dxt5[10] = 0x00, dxt5[11] = 0xF8;
  dxt5[16] = dxt5[17] = 255;
  dxt5[24] = 0x1F, dxt5[26] = 0x1F;
  const Bytes odd = MakeDDS(5, 3, "DXT5", dxt5, 3);
  ASSERT_TRUE(DDS_ReadHeader(odd.data(), odd.size(), &image));
  EXPECT_EQ(image.mipLevels, 3u);
  std::vector<uint8_t> small(5 * 3 * 4 + 4, 0xEE);  // a guard after the image
  DDS_DecodeImage(image, small.data());
  for (int i = 0; i < 15; ++i) {
    const uint8_t* p = &small[i * 4];
    EXPECT_EQ((Rgba{p[0], p[1], p[2], p[3]}), i % 5 < 4 ? kRed : kBlue) << "pixel " << i;
  }
  EXPECT_EQ(small[60], 0xEE) << "nothing written past the image";
}

TEST(DDSFile, ThirtyTwoBitPixelsFollowTheirMasks) {
  struct Case {
    const char* name;
    std::array<uint32_t, 4> masks;
    uint32_t pixel;
    Rgba expected;
  };
  const Case cases[] = {
      {"A8R8G8B8", {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 0x80112233u, {0x11, 0x22, 0x33, 0x80}},
      {"X8R8G8B8: no alpha flag, opaque", {0xFF0000, 0xFF00, 0xFF, 0}, 0x00112233u, {0x11, 0x22, 0x33, 255}},
      {"A8B8G8R8", {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, 0x40112233u, {0x33, 0x22, 0x11, 0x40}},
      {"5-bit red widened", {0x7C00, 0x3E0, 0x1F, 0}, 16u << 10 | 31u << 5, {131, 255, 0, 255}},
  };
  for (const Case& c : cases) {
    Bytes data(4);
    std::memcpy(data.data(), &c.pixel, 4);
    const Bytes file = MakeDDSPixels(1, 1, c.masks, data);
    DdsImage image;
    ASSERT_TRUE(DDS_ReadHeader(file.data(), file.size(), &image)) << c.name;
    EXPECT_EQ(image.format, DdsFormat::RGBA32);
    uint8_t p[4];
    DDS_DecodeImage(image, p);
    EXPECT_EQ((Rgba{p[0], p[1], p[2], p[3]}), c.expected) << c.name;
  }
}

TEST(DDSFile, HeadersThatDoNotHoldTheirImageAreRefused) {
  const Bytes good = MakeDDS(8, 8, "DXT5", Bytes(4 * 16, 0));
  auto patched = [&](size_t at, uint32_t value) {
    Bytes f = good;
    std::memcpy(&f[at], &value, 4);
    return f;
  };
  struct Case {
    const char* why;
    Bytes file;
  };
  const Case cases[] = {
      {"one byte of data short", Bytes(good.begin(), good.end() - 1)},
      {"header only", Bytes(good.begin(), good.begin() + 128)},
      {"shorter than the header", Bytes(good.begin(), good.begin() + 100)},
      {"wrong magic", patched(0, 0x20534444u + 1)},
      {"header size 123", patched(4, 123)},
      {"pixel format size 31", patched(76, 31)},
      {"width 0", patched(16, 0)},
      {"height 0", patched(12, 0)},
      {"unknown code", MakeDDS(8, 8, "DXT2", Bytes(4 * 16, 0))},
      {"24-bit pixels", [] {
         Bytes f = MakeDDSPixels(1, 1, {0xFF0000, 0xFF00, 0xFF, 0}, Bytes(4, 0));
         f[88] = 24;
         return f;
       }()},
      {"a width far past the data", patched(16, 0xFFFFFFFFu)},
      {"both sides at their largest (a byte count past 64 bits)", [&] {
         Bytes f = patched(16, 0xFFFFFFFFu);
         std::memcpy(&f[12], "\xFF\xFF\xFF\xFF", 4);
         return f;
       }()},
      {"32-bit pixels at their largest",
       [] {
         Bytes f = MakeDDSPixels(1, 1, {0xFF0000, 0xFF00, 0xFF, 0}, Bytes(4, 0));
         std::memcpy(&f[12], "\xFF\xFF\xFF\xFF", 4);
         std::memcpy(&f[16], "\xFF\xFF\xFF\xFF", 4);
         return f;
       }()},
  };
  DdsImage image;
  ASSERT_TRUE(DDS_ReadHeader(good.data(), good.size(), &image));
  for (const Case& c : cases) {
    DdsImage untouched;
    untouched.width = 77;
    EXPECT_FALSE(DDS_ReadHeader(c.file.data(), c.file.size(), &untouched)) << c.why;
    EXPECT_EQ(untouched.width, 77u) << c.why;
  }
}

}  // namespace
