#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/VCL.h"
#include "graphics/Graphics_ImageFile.h"
#include "graphics/JPEG_Main.h"
#include "graphics/PNG_Reader.h"
#include "platform/MemoryManager.h"
#include "testlib/ImageFixtures.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;

namespace {

using Words = std::vector<uint32_t>;

Words WordsOf(const uint32_t* pixels, int32_t w, int32_t h) {
  if (pixels == nullptr) return {};
  return Words(pixels, pixels + static_cast<size_t>(w) * h);
}

// Decodes through DecodeJPEG or DecodeGIF and frees the result.
Words Decoded(uint32_t* (*decode)(const uint8_t*, uint64_t, int32_t*, int32_t*), const Bytes& file, int32_t* w = nullptr,
              int32_t* h = nullptr) {
  int32_t width = 0, height = 0;
  uint32_t* pixels = decode(file.data(), file.size(), &width, &height);
  Words out = WordsOf(pixels, width, height);
  MemoryManager::Free(pixels);
  if (w != nullptr) *w = width;
  if (h != nullptr) *h = height;
  return out;
}

// Swaps DebugConsole for a recorder while it lives.
class ConsoleCapture {
 public:
  ConsoleCapture() : m_saved(DebugConsole) { DebugConsole = &console; }
  ~ConsoleCapture() { DebugConsole = m_saved; }
  RecordingConsole console;

 private:
  tagIConsole* m_saved;
};

// Every test leaves no kept PNG behind.
class PngTest : public ::testing::Test {
 protected:
  void TearDown() override {
    FreeDecodedPNG();
    TextureScale = 0;
  }
  ConsoleCapture capture;
};

// Decodes through DecodePNG and releases the kept image.
Words DecodedPng(const Bytes& file, int32_t* w = nullptr, int32_t* h = nullptr) {
  int32_t width = 0, height = 0;
  const uint32_t* pixels = DecodePNG(file.data(), file.size(), &width, &height, false);
  Words out = WordsOf(pixels, width, height);
  FreeDecodedPNG();
  if (w != nullptr) *w = width;
  if (h != nullptr) *h = height;
  return out;
}

PngImage Png(uint32_t w, uint32_t h, int colourType, int depth, Bytes rows) {
  PngImage p;
  p.width = w;
  p.height = h;
  p.colourType = colourType;
  p.bitDepth = depth;
  p.rows = std::move(rows);
  return p;
}

const Bytes kTwoColours = {0x10, 0x20, 0x30, 0xA0, 0xB0, 0xC0};

PngImage WithPalette(PngImage p, Bytes palette, Bytes transparency = {}) {
  p.palette = std::move(palette);
  p.transparency = std::move(transparency);
  return p;
}

PngImage Interlaced(PngImage p) {
  p.interlaced = true;
  return p;
}

// An 8 x 8 RGBA image of distinct pixels, for the truncation and reduction tests.
PngImage Distinct8x8() {
  Bytes rows(8 * 8 * 4);
  for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint8_t>(i * 7 + 3);
  return Png(8, 8, 6, 8, rows);
}

// Where the IEND chunk (the last 12 bytes) starts: cuts before it lose image data.
size_t ImageDataEnd(const Bytes& png) { return png.size() - 12; }

TEST_F(PngTest, EveryKindOfPngComesOutAsBgraWords) {
  struct Case {
    const char* name;
    PngImage image;
    Words expected;
  };
  const Case cases[] = {
      {"grey", Png(2, 1, 0, 8, {0x40, 0x80}), {0xFF404040u, 0xFF808080u}},
      {"palette without transparency", WithPalette(Png(2, 1, 3, 8, {0, 1}), kTwoColours), {0xFF102030u, 0xFFA0B0C0u}},
      {"palette with transparency", WithPalette(Png(2, 1, 3, 8, {0, 1}), kTwoColours, {0x80}),
       {0x80102030u, 0xFFA0B0C0u}},
      {"4-bit palette gets alpha 255", WithPalette(Png(2, 1, 3, 4, {0x01}), kTwoColours), {0xFF102030u, 0xFFA0B0C0u}},
      {"1-bit grey", Png(2, 1, 0, 1, {0x80}), {0xFFFFFFFFu, 0xFF000000u}},
      {"grey with a transparent level", WithPalette(Png(2, 1, 0, 8, {0x40, 0x80}), {}, {0x00, 0x40}),
       {0x00404040u, 0xFF808080u}},
      {"grey and alpha", Png(2, 1, 4, 8, {0x40, 0x7F, 0x80, 0x00}), {0x7F404040u, 0x00808080u}},
      {"RGB", Png(2, 1, 2, 8, {1, 2, 3, 4, 5, 6}), {0xFF010203u, 0xFF040506u}},
      {"RGB with a transparent colour", WithPalette(Png(2, 1, 2, 8, {1, 2, 3, 4, 5, 6}), {}, {0, 4, 0, 5, 0, 6}),
       {0xFF010203u, 0x00040506u}},
      {"RGBA", Png(2, 1, 6, 8, {1, 2, 3, 4, 5, 6, 7, 8}), {0x04010203u, 0x08050607u}},
      {"16-bit RGB cut to 8 bits", Png(1, 1, 2, 16, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}), {0xFF12569Au}},
      {"16-bit RGBA cut to 8 bits", Png(1, 1, 6, 16, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0x80, 0xFF}),
       {0x8012569Au}},
      {"16-bit grey", Png(1, 1, 0, 16, {0xAB, 0xCD}), {0xFFABABABu}},
      {"interlaced grey", Interlaced(Png(3, 3, 0, 8, {0, 1, 2, 3, 4, 5, 6, 7, 8})),
       {0xFF000000u, 0xFF010101u, 0xFF020202u, 0xFF030303u, 0xFF040404u, 0xFF050505u, 0xFF060606u, 0xFF070707u,
        0xFF080808u}},
  };
  for (const Case& c : cases) {
    int32_t w = 0, h = 0;
    EXPECT_EQ(DecodedPng(MakePNG(c.image), &w, &h), c.expected) << c.name;
    EXPECT_EQ(w, static_cast<int32_t>(c.image.width)) << c.name;
    EXPECT_EQ(h, static_cast<int32_t>(c.image.height)) << c.name;
  }
  EXPECT_EQ(capture.console.Text(), "");
}

TEST_F(PngTest, TheKeptImageAnswersUntilItIsFreed) {
  const Bytes first = MakePNG(Png(2, 1, 0, 8, {0x40, 0x80}));
  const Bytes second = MakePNG(Png(1, 1, 2, 8, {1, 2, 3}));
  int32_t w = 0, h = 0;
  const uint32_t* a = DecodePNG(first.data(), first.size(), &w, &h, false);
  ASSERT_NE(a, nullptr);
  const uint32_t* b = DecodePNG(second.data(), second.size(), &w, &h, false);
  EXPECT_EQ(b, a);
  EXPECT_EQ(w, 2);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(WordsOf(b, w, h), (Words{0xFF404040u, 0xFF808080u}));
  const Bytes garbage = {1, 2, 3};
  EXPECT_EQ(DecodePNG(garbage.data(), garbage.size(), &w, &h, false), a) << "even for bytes that are no PNG";
  FreeDecodedPNG();
  FreeDecodedPNG();  // nothing kept: nothing happens
  EXPECT_EQ(DecodedPng(second), Words{0xFF010203u});
}

TEST_F(PngTest, FailuresPrintTheirLinesAndAnswerNullWithSizesOfMinusOne) {
  Bytes corrupt = MakePNG(Png(2, 1, 0, 8, {0x40, 0x80}));
  corrupt[20] ^= 0xFF;  // the header's width, under its checksum
  struct Case {
    const char* why;
    Bytes file;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"not a PNG", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}, {"Not a PNG", "ReadPNG :: a PNG error occured"}},
      {"empty", {}, {"Not a PNG", "ReadPNG :: a PNG error occured"}},
      {"a damaged header", corrupt, {"ReadPNG :: a PNG error occured"}},
  };
  for (const Case& c : cases) {
    capture.console.Clear();
    int32_t w = 0, h = 0;
    EXPECT_EQ(DecodePNG(c.file.data(), c.file.size(), &w, &h, false), nullptr) << c.why;
    EXPECT_EQ(w, -1) << c.why;
    EXPECT_EQ(h, -1) << c.why;
    EXPECT_EQ(capture.console.Lines(), c.lines) << c.why;
  }
}

TEST_F(PngTest, TruncatedOrDamagedDataGivesNull) {
  const Bytes whole = MakePNG(Distinct8x8());
  for (size_t length = 0; length < ImageDataEnd(whole); ++length) {
    const Bytes cut(whole.begin(), whole.begin() + static_cast<long>(length));
    int32_t w = 0, h = 0;
    EXPECT_EQ(DecodePNG(cut.data(), cut.size(), &w, &h, false), nullptr) << "cut at " << length;
    EXPECT_EQ(w, -1);
  }
  for (size_t at = 8; at < whole.size(); at += 5) {
    Bytes damaged = whole;
    damaged[at] ^= 0x5A;
    int32_t w = 0, h = 0;
    const uint32_t* pixels = DecodePNG(damaged.data(), damaged.size(), &w, &h, false);
    // A flipped byte in a chunk fails its checksum; only the end chunk is not read.
    if (at < ImageDataEnd(whole)) {
      EXPECT_EQ(pixels, nullptr) << "byte " << at;
    }
    FreeDecodedPNG();
  }
  // A header that claims more pixels than any image may have.
  Bytes huge = MakePNG(Png(1, 1, 0, 8, {0}));
  const uint8_t side[4] = {0, 0, 0xFF, 0xFF};  // 65535
  std::memcpy(&huge[16], side, 4);
  std::memcpy(&huge[20], side, 4);
  const uint32_t crc = static_cast<uint32_t>(crc32(0, &huge[12], 17));  // over "IHDR" and its fields
  const uint8_t crcBytes[4] = {static_cast<uint8_t>(crc >> 24), static_cast<uint8_t>(crc >> 16),
                               static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)};
  std::memcpy(&huge[29], crcBytes, 4);
  int32_t w = 0, h = 0;
  EXPECT_EQ(DecodePNG(huge.data(), huge.size(), &w, &h, false), nullptr);
}

TEST_F(PngTest, DecodesIntoTheCallersBufferWhenItHasRoom) {
  const Bytes file = MakePNG(Png(2, 1, 0, 8, {0x40, 0x80}));
  uint32_t buffer[3] = {7, 7, 7};
  int32_t w = 0, h = 0;
  EXPECT_EQ(DecodePNGInto(file.data(), file.size(), &w, &h, reinterpret_cast<uint8_t*>(buffer), 4, false), nullptr)
      << "no room";
  EXPECT_EQ(w, -1);
  EXPECT_EQ(buffer[2], 7u);
  const uint32_t* pixels =
      DecodePNGInto(file.data(), file.size(), &w, &h, reinterpret_cast<uint8_t*>(buffer), sizeof(buffer), false);
  EXPECT_EQ(pixels, buffer);
  EXPECT_EQ(WordsOf(buffer, 3, 1), (Words{0xFF404040u, 0xFF808080u, 7}));
  FreeDecodedPNG();  // the caller's buffer stays the caller's
}

TEST_F(PngTest, SizesAndTextureDescriptors) {
  const Bytes file = MakePNG(Png(3, 5, 0, 8, Bytes(15, 0)));
  int32_t w = 0, h = 0;
  EXPECT_TRUE(GetPNGSize(file.data(), file.size(), &w, &h, false));
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 5);
  const Bytes notPng = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_FALSE(GetPNGSize(notPng.data(), notPng.size(), &w, &h, false));
  EXPECT_EQ(w, -1);

  TextureHeader texture;
  texture.packedSize = 0xFC000000u;
  texture.data = file.data();
  texture.dataLength = static_cast<uint32_t>(file.size());
  capture.console.Clear();
  EXPECT_TRUE(getTextureInfo(&texture));
  EXPECT_EQ(texture.format, 6u);
  EXPECT_EQ(texture.packedSize, 0xFC000000u | 2u | 4u << 13);
  EXPECT_EQ(DecodePNGToTexture(&texture), 0);

  TextureHeader bad;
  bad.data = notPng.data();
  bad.dataLength = static_cast<uint32_t>(notPng.size());
  capture.console.Clear();
  EXPECT_FALSE(getTextureInfo(&bad));
  EXPECT_EQ(bad.format, 0u);
  EXPECT_EQ(capture.console.Lines(), (std::vector<std::string>{"Not a PNG", "getTextureInfo :: a PNG error occured"}));
  capture.console.Clear();
  EXPECT_EQ(DecodePNGToTexture(&bad), -1);
  EXPECT_EQ(capture.console.Lines(), (std::vector<std::string>{"Not a PNG", "a PNG error occured"}));

  const Bytes wide = MakePNG(Png(8193, 1, 0, 1, Bytes(1025, 0)));
  TextureHeader tooWide;
  tooWide.data = wide.data();
  tooWide.dataLength = static_cast<uint32_t>(wide.size());
  EXPECT_FALSE(getTextureInfo(&tooWide)) << "the packed size holds 8192 at most";
  EXPECT_EQ(tooWide.packedSize, 0u);
}

TEST_F(PngTest, ReductionHalvesOnlyForAScaleOfTwoOrMore) {
  const Bytes file = MakePNG(Png(2, 2, 6, 8, {10, 20, 30, 255, 20, 30, 40, 255, 30, 40, 50, 0, 40, 50, 60, 0}));
  struct Case {
    int32_t scale;
    bool reduce;
    int32_t size;
  };
  for (const Case& c : {Case{2, true, 1}, Case{4, true, 1}, Case{0, true, 2}, Case{1, true, 2}, Case{-3, true, 2},
                        Case{2, false, 2}}) {
    TextureScale = c.scale;
    int32_t w = 0, h = 0;
    const uint32_t* pixels = DecodePNG(file.data(), file.size(), &w, &h, c.reduce);
    EXPECT_EQ(w, c.size) << "scale " << c.scale;
    EXPECT_EQ(h, c.size) << "scale " << c.scale;
    if (c.size == 1) {
      EXPECT_EQ(pixels[0], 0x7F19232Du);  // R 25, G 35, B 45, A 127
    }
    FreeDecodedPNG();
  }
}

TEST(HalfTexture, AveragesTwoByTwoBlocks) {
  // 2 x 2 with alphas 255, 255, 0, 0.
  uint8_t rgba[16] = {0, 0, 0, 255, 4, 8, 12, 255, 1, 1, 1, 0, 3, 3, 3, 0};
  HalfTextureRGBA(1, 1, rgba, 2, 2, rgba);
  EXPECT_EQ(Bytes(rgba, rgba + 4), (Bytes{2, 3, 4, 127}));
  // 4 x 2 to 2 x 1 from another buffer; 1 x 1 to 1 x 1 reads no neighbour outside.
  const uint8_t wide[24] = {0, 0, 0, 10, 10, 10, 100, 100, 100, 200, 200, 200,
                            2, 2, 2, 30, 30, 30, 102, 102, 102, 202, 202, 202};
  uint8_t out[6] = {};
  ConsoleCapture capture;
  HalfTextureRGB(2, 1, out, 4, 2, wide);
  EXPECT_EQ(Bytes(out, out + 6), (Bytes{10, 10, 10, 151, 151, 151}));
  EXPECT_EQ(capture.console.Text().rfind("HalfTextureRGB( 2, 1, 0x", 0), 0u);
  EXPECT_EQ(capture.console.Text().substr(capture.console.Text().size() - 1), "\n");
  uint8_t one[4] = {9, 9, 9, 9};
  HalfTextureRGBA(1, 1, one, 1, 1, one);
  EXPECT_EQ(Bytes(one, one + 4), Bytes(4, 9));
  HalfTextureRGBA(0, 1, one, 1, 1, one);  // nothing to do
}

// ---- JPEG ----

// Channels of two words each within `tolerance`.
bool Near(uint32_t a, uint32_t b, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    if (std::abs(static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF)) > tolerance) return false;
  }
  return true;
}

TEST(JPEG, DecodesGreyColourAndFourComponentImages) {
  struct Case {
    const char* name;
    int components;
    Bytes sample;  // one pixel, repeated over 8 x 8
    bool progressive;
    uint32_t expected;
    int tolerance;
  };
  const Case cases[] = {
      {"grey 0x7F", 1, {0x7F}, false, 0xFF7F7F7Fu, 0},
      {"progressive grey", 1, {0x7F}, true, 0xFF7F7F7Fu, 0},
      {"RGB", 3, {200, 100, 50}, false, 0xFFC86432u, 2},
      {"four components: the fourth is the top byte", 4, {10, 20, 30, 40}, false, 0x280A141Eu, 2},
  };
  for (const Case& c : cases) {
    Bytes samples;
    for (int i = 0; i < 64; ++i) samples.insert(samples.end(), c.sample.begin(), c.sample.end());
    int32_t w = 0, h = 0;
    const Words pixels = Decoded(DecodeJPEG, MakeJPEG(8, 8, c.components, samples, c.progressive), &w, &h);
    EXPECT_EQ(w, 8) << c.name;
    EXPECT_EQ(h, 8) << c.name;
    ASSERT_EQ(pixels.size(), 64u) << c.name;
    for (uint32_t p : pixels) ASSERT_TRUE(Near(p, c.expected, c.tolerance)) << c.name << ": " << std::hex << p;
  }
}

TEST(JPEG, TruncatedOrDamagedFilesGiveNullWithoutEndingTheProcess) {
  ProcessExitTrap trap;  // libjpeg's own error handling would end the process
  Bytes samples(16 * 16);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 13);
  for (bool progressive : {false, true}) {
    const Bytes whole = MakeJPEG(16, 16, 1, samples, progressive);
    ASSERT_EQ(Decoded(DecodeJPEG, whole).size(), 256u);
    for (size_t length = 0; length + 2 < whole.size(); ++length) {
      const Bytes cut(whole.begin(), whole.begin() + static_cast<long>(length));
      EXPECT_TRUE(Decoded(DecodeJPEG, cut).empty()) << "cut at " << length << (progressive ? ", progressive" : "");
    }
  }
  struct Case {
    const char* why;
    Bytes file;
  };
  Bytes huge = MakeJPEG(8, 8, 1, Bytes(64, 0x7F));
  for (size_t i = 0; i + 8 < huge.size(); ++i) {
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {  // the frame header: height and width at +5
      huge[i + 5] = huge[i + 6] = huge[i + 7] = huge[i + 8] = 0xFF;
      break;
    }
  }
  const Case cases[] = {
      {"only the start marker", {0xFF, 0xD8, 0xFF}},
      {"garbage after the start marker", {0xFF, 0xD8, 0xFF, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE}},
      {"tables and no image", {0xFF, 0xD8, 0xFF, 0xD9}},
      {"65535 x 65535 pixels", huge},
  };
  for (const Case& c : cases) EXPECT_TRUE(Decoded(DecodeJPEG, c.file).empty()) << c.why;
}

// ---- GIF ----

// Eight colours: index i is (i, 2i, 3i) x 10.
Bytes EightColours() {
  Bytes c;
  for (int i = 0; i < 8; ++i) {
    c.push_back(static_cast<uint8_t>(i * 10));
    c.push_back(static_cast<uint8_t>(i * 20));
    c.push_back(static_cast<uint8_t>(i * 30));
  }
  return c;
}

uint32_t Opaque(int i) { return 0xFF000000u | uint32_t(i * 10) << 16 | uint32_t(i * 20) << 8 | uint32_t(i * 30); }

GifFrame Frame(int left, int top, int w, int h, Bytes indices, std::vector<Bytes> controls = {}) {
  GifFrame f;
  f.left = left;
  f.top = top;
  f.width = w;
  f.height = h;
  f.indices = std::move(indices);
  f.controls = std::move(controls);
  return f;
}

TEST(GIF, TheFirstImageOnItsScreenWithItsTransparentIndex) {
  GifFrame local = Frame(1, 1, 2, 1, {1, 2});
  local.colours = {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF};
  GifFrame interlaced = Frame(0, 0, 1, 10, {0, 1, 2, 3, 4, 5, 6, 7, 0, 1});
  interlaced.interlaced = true;
  struct Case {
    const char* name;
    GifImage image;
    Words expected;
  };
  const Case cases[] = {
      {"control block (1, 0, 0, 5)", {3, 2, EightColours(), {Frame(0, 0, 3, 2, {5, 1, 5, 2, 5, 0}, {{1, 0, 0, 5}})}},
       {0, Opaque(1), 0, Opaque(2), 0, Opaque(0)}},
      {"no control block", {3, 1, EightColours(), {Frame(0, 0, 3, 1, {5, 1, 0})}}, {Opaque(5), Opaque(1), Opaque(0)}},
      {"control block without its transparency bit", {2, 1, EightColours(), {Frame(0, 0, 2, 1, {5, 1}, {{0, 0, 0, 5}})}},
       {Opaque(5), Opaque(1)}},
      {"a smaller first image with only a local map", {4, 2, {}, {local}}, {0, 0, 0, 0, 0, 0xFF00FF00u, 0xFF0000FFu, 0}},
      {"an image reaching past the screen is cut", {3, 1, EightColours(), {Frame(2, 0, 2, 2, {3, 4, 5, 6})}},
       {0, 0, Opaque(3)}},
      {"interlaced rows land in order", {1, 10, EightColours(), {interlaced}},
       {Opaque(0), Opaque(1), Opaque(2), Opaque(3), Opaque(4), Opaque(5), Opaque(6), Opaque(7), Opaque(0), Opaque(1)}},
      {"later images and their control blocks change nothing",
       {2, 1, EightColours(), {Frame(0, 0, 2, 1, {1, 2}), Frame(0, 0, 2, 1, {3, 3}, {{1, 0, 0, 1}})}},
       {Opaque(1), Opaque(2)}},
      {"the last control block naming an index wins",
       {3, 1, EightColours(), {Frame(0, 0, 3, 1, {1, 2, 5}, {{1, 0, 0, 5}, {1, 0, 0, 1}, {0, 0, 0, 2}})}},
       {0, Opaque(2), Opaque(5)}},
  };
  for (const Case& c : cases) {
    const Bytes file = MakeGIF(c.image);
    ASSERT_FALSE(file.empty()) << c.name;
    int32_t w = 0, h = 0;
    EXPECT_EQ(Decoded(DecodeGIF, file, &w, &h), c.expected) << c.name;
    EXPECT_EQ(w, c.image.width) << c.name;
    EXPECT_EQ(h, c.image.height) << c.name;
  }

  // An index past the image's colour map: a four-colour local map cut to two by hand (the
  // encoder masks indices to the map, the file's code size stays 2).
  GifFrame cut = Frame(0, 0, 2, 1, {1, 3});
  cut.colours = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  Bytes file = MakeGIF({2, 1, EightColours(), {cut}});
  const size_t descriptor = 13 + 24;  // after the header, the screen and the global map
  ASSERT_EQ(file[descriptor], 0x2C);
  file[descriptor + 9] &= 0xF8;  // 2 colours
  file.erase(file.begin() + descriptor + 10 + 6, file.begin() + descriptor + 10 + 12);
  EXPECT_EQ(Decoded(DecodeGIF, file), (Words{0xFF040506u, 0}));
}

TEST(GIF, UnreadableFilesGiveNull) {
  GifImage image{4, 4, EightColours(), {Frame(0, 0, 4, 4, Bytes(16, 3)), Frame(1, 1, 2, 2, {1, 2, 3, 4})}};
  const Bytes whole = MakeGIF(image);
  ASSERT_EQ(Decoded(DecodeGIF, whole).size(), 16u);
  for (size_t length = 0; length < whole.size(); ++length) {
    const Bytes cut(whole.begin(), whole.begin() + static_cast<long>(length));
    EXPECT_TRUE(Decoded(DecodeGIF, cut).empty()) << "cut at " << length;
  }
  // The same file without its global map: the first image has no colours.
  Bytes noMap = whole;
  const size_t mapBytes = 3u << ((noMap[10] & 7) + 1);
  noMap[10] &= 0x7F;
  noMap.erase(noMap.begin() + 13, noMap.begin() + 13 + static_cast<long>(mapBytes));
  // A screen larger than any image may be.
  Bytes hugeScreen = whole;
  hugeScreen[6] = hugeScreen[7] = hugeScreen[8] = hugeScreen[9] = 0xFF;
  Bytes noImage = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B};
  struct Case {
    const char* why;
    Bytes file;
  };
  for (const Case& c : {Case{"no colour map", noMap}, Case{"65535 x 65535 screen", hugeScreen},
                        Case{"no image", noImage}, Case{"not a GIF", {'G', 'I', 'F', '0'}}}) {
    EXPECT_TRUE(Decoded(DecodeGIF, c.file).empty()) << c.why;
  }
}

// ---- Image files for textures ----

TEST(ImageFile, DecodesEachKindIntoRgbaBytes) {
  Bytes palette(8, 0);
  palette[4] = 0x10, palette[5] = 0x20, palette[6] = 0x30;  // entry 1: B, G, R
  Bytes dxt5(16, 0);
  dxt5[0] = dxt5[1] = 0x80;                    // alpha 0x80
  dxt5[8] = 0x1F, dxt5[10] = 0x1F;             // blue
  struct Case {
    const char* name;
    Bytes file;
    ImageFileFormat format;
    int32_t width, height, mipLevels;
    Bytes rgba;
  };
  const Case cases[] = {
      {"PNG keeps alpha", MakePNG(Png(2, 1, 6, 8, {1, 2, 3, 4, 5, 6, 7, 8})), ImageFileFormat::PNG, 2, 1, 1,
       {1, 2, 3, 4, 5, 6, 7, 8}},
      {"JPEG is opaque", MakeJPEG(1, 1, 1, {0x7F}), ImageFileFormat::JPEG, 1, 1, 1, {0x7F, 0x7F, 0x7F, 0xFF}},
      {"24-bit BMP", MakeBMP(2, 1, 24, {}, {1, 2, 3, 4, 5, 6}), ImageFileFormat::BMP, 2, 1, 1,
       {3, 2, 1, 255, 6, 5, 4, 255}},
      {"32-bit BMP is opaque", MakeBMP(1, 2, 32, {}, {1, 2, 3, 0, 4, 5, 6, 0}), ImageFileFormat::BMP, 1, 2, 1,
       {6, 5, 4, 255, 3, 2, 1, 255}},
      {"8-bit BMP", MakeBMP(1, 1, 8, palette, {1, 0, 0, 0}), ImageFileFormat::BMP, 1, 1, 1, {0x30, 0x20, 0x10, 255}},
      {"DDS with its levels", MakeDDS(1, 1, "DXT5", dxt5, 4), ImageFileFormat::DDS, 1, 1, 4, {0, 0, 255, 0x80}},
  };
  for (const Case& c : cases) {
    ImageFileInfo info;
    uint8_t* pixels = Graphics_DecodeImageFile(c.file.data(), c.file.size(), &info);
    ASSERT_NE(pixels, nullptr) << c.name;
    EXPECT_EQ(info.format, c.format) << c.name;
    EXPECT_EQ(info.width, c.width) << c.name;
    EXPECT_EQ(info.height, c.height) << c.name;
    EXPECT_EQ(info.mipLevels, c.mipLevels) << c.name;
    EXPECT_EQ(Bytes(pixels, pixels + c.rgba.size()), c.rgba) << c.name;
    MemoryManager::Free(pixels);
  }
}

TEST(ImageFile, RefusesOtherKindsAndLeavesTheKeptPngAlone) {
  ConsoleCapture capture;
  const Bytes kept = MakePNG(Png(1, 1, 0, 8, {0x40}));
  int32_t w = 0, h = 0;
  const uint32_t* keptPixels = DecodePNG(kept.data(), kept.size(), &w, &h, false);
  const Bytes other = MakePNG(Png(1, 1, 0, 8, {0x80}));
  ImageFileInfo info;
  uint8_t* pixels = Graphics_DecodeImageFile(other.data(), other.size(), &info);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(Bytes(pixels, pixels + 4), (Bytes{0x80, 0x80, 0x80, 0xFF}));
  MemoryManager::Free(pixels);
  EXPECT_EQ(WordsOf(keptPixels, w, h), Words{0xFF404040u});
  FreeDecodedPNG();

  const Bytes gif = MakeGIF({1, 1, EightColours(), {Frame(0, 0, 1, 1, {1})}});
  struct Case {
    const char* why;
    Bytes file;
  };
  for (const Case& c : {Case{"GIF", gif}, Case{"empty", {}}, Case{"unknown", {1, 2, 3, 4, 5}},
                        Case{"16-bit BMP", MakeBMP(1, 1, 16, {}, {1, 2, 3, 4})},
                        Case{"truncated PNG", Bytes(other.begin(), other.begin() + 40)},
                        Case{"DDS header only", Bytes(MakeDDS(4, 4, "DXT1", {}))}}) {
    ImageFileInfo untouched;
    untouched.width = 99;
    EXPECT_EQ(Graphics_DecodeImageFile(c.file.data(), c.file.size(), &untouched), nullptr) << c.why;
    EXPECT_EQ(untouched.width, 99) << c.why;
  }
}

}  // namespace
