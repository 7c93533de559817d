#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/VCL.h"
#include "graphics/Graphics_Bitmap32.h"
#include "graphics/TBitmap.h"
#include "platform/Colour.h"
#include "support/CStream.h"
#include "testlib/ImageFixtures.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;

namespace {

using Words = std::vector<uint32_t>;

Words PixelsOf(const CBitmap32& b) {
  const Bitmap32Data* d = b.GetData();
  if (d->pixels == nullptr) return {};
  return Words(d->pixels, d->pixels + d->byteSize / 4);
}

// A w x h bitmap holding exactly these pixels (through the 32-bit bitmap constructor).
CBitmap32 Make(int32_t w, int32_t h, const Words& pixels) {
  std::unique_ptr<TBitmap> t = TBitmap_Create();
  t->SetWidth(w);
  t->SetHeight(h);
  uint8_t* rows = t->Lock(0, nullptr, nullptr);
  std::memcpy(rows, pixels.data(), pixels.size() * 4);
  return CBitmap32::CreateFromBitmapAlpha(t.get(), false, false);
}

// Pixels 0, 1, 2, ... in row order (alpha 0).
CBitmap32 Counting(int32_t w, int32_t h) {
  Words p(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint32_t>(i);
  return Make(w, h, p);
}

// Pixels that do not compress.
CBitmap32 Noise(int32_t w, int32_t h) {
  Words p(static_cast<size_t>(w) * h);
  uint32_t state = 12345;
  for (uint32_t& v : p) v = state = state * 1664525u + 1013904223u;
  return Make(w, h, p);
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

TEST(Bitmap32, FilledRegionAndCopyConstructors) {
  CBitmap32 filled = CBitmap32::CreateFilled(0, 0, 0x0000FF);
  ASSERT_TRUE(filled.IsValid());
  EXPECT_EQ(filled.GetWidth(), 1);
  EXPECT_EQ(filled.GetHeight(), 1);
  EXPECT_EQ(PixelsOf(filled), Words{0xFFFF0000u});
  EXPECT_EQ(PixelsOf(CBitmap32::CreateFilled(2, 1, 0xAA112233)), (Words{0xFF332211u, 0xFF332211u}));
  EXPECT_FALSE(CBitmap32::CreateFilled(50000, 50000, 0).IsValid()) << "2 GB or more";

  const CBitmap32 source = Counting(10, 10);
  struct Case {
    int32_t x, y, w, h;
    bool valid;
  };
  for (const Case& c : {Case{8, 0, 3, 1, false}, Case{7, 9, 3, 1, true}, Case{0, 0, 10, 10, true},
                        Case{0, 0, 0, 0, true}, Case{-1, 0, 2, 2, false}, Case{0, 0, -1, 2, false},
                        Case{2, 2, 2, -3, false}, Case{INT32_MAX, 0, 1, 1, false}, Case{1, 0, INT32_MAX, 1, false}}) {
    const CBitmap32 r = CBitmap32::CreateRegion(source, c.x, c.y, c.w, c.h);
    EXPECT_EQ(r.IsValid(), c.valid) << c.x << "," << c.y << " " << c.w << "x" << c.h;
  }
  EXPECT_EQ(PixelsOf(CBitmap32::CreateRegion(source, 7, 9, 3, 1)), (Words{97, 98, 99}));
  EXPECT_EQ(PixelsOf(CBitmap32::CreateRegion(source, 1, 2, 2, 2)), (Words{21, 22, 31, 32}));
  EXPECT_FALSE(CBitmap32::CreateRegion(CBitmap32(), 0, 0, 0, 0).IsValid());

  CBitmap32 copy = CBitmap32::CreateCopy(source);
  EXPECT_EQ(PixelsOf(copy), PixelsOf(source));
  EXPECT_NE(copy.GetData()->pixels, source.GetData()->pixels);
  EXPECT_EQ(copy.GetData()->byteSize, 400);
  EXPECT_FALSE(CBitmap32::CreateCopy(CBitmap32()).IsValid());
  copy.Assign(filled);
  EXPECT_EQ(PixelsOf(copy), Words{0xFFFF0000u});
  copy.Free();
  EXPECT_FALSE(copy.IsValid());
  EXPECT_EQ(copy.GetData()->byteSize, 0);
  EXPECT_EQ(copy.GetData()->pixels, nullptr);
}

TEST(Bitmap32, FromTBitmapsByFormat) {
  std::unique_ptr<TBitmap> rgb = TBitmap_Create();
  rgb->SetFormat(kBitmapFormat24);
  rgb->SetWidth(2);
  rgb->SetHeight(1);
  const uint8_t bgr[6] = {0x33, 0x22, 0x11, 0x66, 0x55, 0x44};
  std::memcpy(rgb->Lock(0, nullptr, nullptr), bgr, 6);

  std::unique_ptr<TBitmap> argb = TBitmap_Create();
  argb->SetWidth(1);
  argb->SetHeight(1);
  const uint32_t word = 0x80102030u;
  std::memcpy(argb->Lock(0, nullptr, nullptr), &word, 4);

  std::unique_ptr<TBitmap> palette = TBitmap_Create();
  palette->SetFormat(3);
  palette->SetWidth(4);
  palette->SetHeight(1);

  EXPECT_EQ(PixelsOf(CBitmap32::CreateFromBitmapOpaque(rgb.get(), false, false)),
            (Words{0xFF112233u, 0xFF445566u}));
  EXPECT_EQ(PixelsOf(CBitmap32::CreateFromBitmapOpaque(argb.get(), false, false)), Words{0xFF102030u});
  EXPECT_EQ(PixelsOf(CBitmap32::CreateFromBitmapAlpha(argb.get(), false, false)), Words{0x80102030u});
  EXPECT_FALSE(CBitmap32::CreateFromBitmapAlpha(rgb.get(), false, false).IsValid());
  EXPECT_EQ(PixelsOf(CBitmap32::CreateFromBitmap(rgb.get(), false, false)), (Words{0xFF112233u, 0xFF445566u}));
  EXPECT_FALSE(CBitmap32::CreateFromBitmap(palette.get(), false, false).IsValid());
  EXPECT_FALSE(CBitmap32::CreateFromBitmapOpaque(palette.get(), false, false).IsValid());
  EXPECT_FALSE(CBitmap32::CreateFromBitmap(nullptr, false, false).IsValid());
  EXPECT_EQ(PixelsOf(CBitmap32::CreateFromBitmapExt(argb.get(), false, false, true)), Words{0x80102030u});
  EXPECT_EQ(PixelsOf(CBitmap32::CreateFromBitmapExt(argb.get(), false, false, false)), Words{0xFF102030u});
}

TEST(Bitmap32, RemovingTheBackgroundFillsTheColoursOfTransparentPixels) {
  std::unique_ptr<TBitmap> t = TBitmap_Create();
  t->SetWidth(3);
  t->SetHeight(1);
  const uint32_t row[3] = {0x00112233u, 0x7F445566u, 0x12112233u};  // source alpha is ignored
  std::memcpy(t->Lock(0, nullptr, nullptr), row, 12);
  EXPECT_EQ(PixelsOf(CBitmap32::CreateFromBitmap(t.get(), true, false)),
            (Words{0x00445566u, 0xFF445566u, 0x00445566u}));
  // Smoothing then takes 32 for every transparent pixel next to one: twice for the middle.
  EXPECT_EQ(PixelsOf(CBitmap32::CreateFromBitmap(t.get(), true, true)),
            (Words{0x00445566u, 0xBF445566u, 0x00445566u}));
  // Smoothing alone does nothing; the key is the bottom-left pixel.
  EXPECT_EQ(PixelsOf(CBitmap32::CreateFromBitmap(t.get(), false, true)),
            (Words{0xFF112233u, 0xFF445566u, 0xFF112233u}));
  CBitmap32 twoRows = Make(2, 2, {0xFF000001u, 0xFF000002u, 0xFF000002u, 0xFF000003u});
  twoRows.RemoveBackground();
  EXPECT_EQ(PixelsOf(twoRows), (Words{0xFF000001u, 0x00000002u, 0x00000002u, 0xFF000003u}));
}

TEST(Bitmap32, FillAndSmoothWorkInPlaceInRowOrder) {
  // Fill: left is preferred to right, then above, then below; a filled pixel stays transparent,
  // so it gives no colour to the pixels after it.
  CBitmap32 fill = Make(3, 2, {0x00000000u, 0x00000000u, 0xFF0000AAu,  //
                               0xFF0000BBu, 0x00000000u, 0xFF0000CCu});
  fill.FillTransparentColours();
  EXPECT_EQ(PixelsOf(fill), (Words{0x000000BBu, 0x000000AAu, 0xFF0000AAu,  //
                                   0xFF0000BBu, 0x000000BBu, 0xFF0000CCu}));
  CBitmap32 lonely = Make(2, 1, {0x00123456u, 0x00000000u});
  lonely.FillTransparentColours();
  EXPECT_EQ(PixelsOf(lonely), (Words{0x00123456u, 0x00000000u}));

  // Smooth: the pixel brought to 0 by the first one smooths the third in the same pass.
  CBitmap32 row = Make(3, 1, {0x00000000u, 0x20000000u, 0x40000000u});
  row.SmoothEdges();
  EXPECT_EQ(PixelsOf(row), (Words{0x00000000u, 0x00000000u, 0x20000000u}));
  // A 3 x 3 neighbourhood, clipped at the edge; alpha below 32 is left alone.
  CBitmap32 square = Make(3, 3, {0xFF000000u, 0xFF000000u, 0xFF000000u,  //
                                 0x1F000000u, 0x00000000u, 0xFF000000u,  //
                                 0xFF000000u, 0xFF000000u, 0xFF000000u});
  square.SmoothEdges();
  EXPECT_EQ(PixelsOf(square), (Words{0xDF000000u, 0xDF000000u, 0xDF000000u,  //
                                     0x1F000000u, 0x00000000u, 0xDF000000u,  //
                                     0xDF000000u, 0xDF000000u, 0xDF000000u}));
}

TEST(Bitmap32, ResizeIsNearestNeighbourAndRefusesBadSizes) {
  CBitmap32 b = Counting(4, 4);
  b.Resize(2, 2);
  EXPECT_EQ(PixelsOf(b), (Words{0, 2, 8, 10}));
  EXPECT_EQ(b.GetData()->byteSize, 16);
  b.Resize(3, 1);  // x * 2 / 3 = 0, 0, 1
  EXPECT_EQ(PixelsOf(b), (Words{0, 0, 2}));
  const uint32_t* before = b.GetData()->pixels;
  b.Resize(3, 1);
  EXPECT_EQ(b.GetData()->pixels, before) << "the same size changes nothing";

  struct Case {
    int32_t w, h;
    bool valid;
  };
  for (const Case& c : {Case{-1, 2, false}, Case{2, -1, false}, Case{65536, 65536, false}, Case{0, 0, true}}) {
    CBitmap32 r = Counting(4, 4);
    r.Resize(c.w, c.h);
    EXPECT_EQ(r.IsValid(), c.valid) << c.w << "x" << c.h;
  }
  CBitmap32 empty = CBitmap32::CreateRegion(Counting(2, 2), 0, 0, 0, 0);
  empty.Resize(2, 2);
  EXPECT_FALSE(empty.IsValid()) << "no pixels to take the new ones from";
}

TEST(Bitmap32, ColourMergeRoundsEachChannelHalfToEven) {
  struct Case {
    uint32_t a, b;
    double t;
    uint32_t expected;
  };
  for (const Case& c : {Case{0x000000, 0x010203, 0.5, 0x000102}, Case{0xFF0000FF, 0x000000, 0.0, 0x0000FF},
                        Case{0x000000, 0xFFFFFF, 1.0, 0xFFFFFF}, Case{0xAA000000, 0xBB000000, 0.5, 0},
                        Case{0x000000, 0x0000FF, 0.5, 0x000080}, Case{0x000000, 0x0000FF, 0.75, 0x0000BF}})
    EXPECT_EQ(ColourMerge(c.a, c.b, c.t), c.expected) << std::hex << c.a << " " << c.b << " " << c.t;
}

// The ellipse as painting ring after ring, 0 while i < min(w, h) / 2, later rings over earlier.
Words PaintedEllipse(int32_t w, int32_t h, uint32_t c1, uint32_t c2) {
  Words out(static_cast<size_t>(w) * h);
  const auto opaque = [](uint32_t c) { return 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF); };
  std::fill(out.begin(), out.end(), opaque(c1));
  const double f = std::min(w, h) / 2.0;
  for (int i = 0; i < f; ++i)
    for (int y = i; y <= h - 1 - i; ++y)
      for (int x = i; x <= w - 1 - i; ++x) {
        const double dx = x - w / 2.0, dy = y - h / 2.0, rx = (w - 2.0 * i) / 2.0, ry = (h - 2.0 * i) / 2.0;
        if (dx * dx / (rx * rx) + dy * dy / (ry * ry) <= 1.0) out[y * w + x] = opaque(ColourMerge(c1, c2, i / f));
      }
  return out;
}

TEST(Bitmap32, GradientsOfEveryKind) {
  const auto red = [](uint32_t r) { return 0xFF000000u | r << 16; };
  struct Case {
    const char* what;
    int32_t w, h, kind;
    int32_t outW, outH;
    Words pixels;
  };
  const Case cases[] = {
      {"horizontal", 4, 1, 0, 4, 1, {red(0), red(64), red(128), red(191)}},
      {"vertical", 1, 4, 1, 1, 4, {red(0), red(64), red(128), red(191)}},
      {"no width", 0, 3, 1, 1, 3, {red(0), red(0), red(0)}},
      {"rectangle", 5, 1, 2, 5, 1, {red(0), red(0), red(0), red(0), red(0)}},  // f = 0.5: all edge
      {"rectangle 5x5 centre row", 5, 5, 2, 5, 5, {}},
      {"double horizontal", 4, 1, 4, 4, 1, {red(0), red(128), red(128), red(0)}},
      {"double vertical", 1, 3, 5, 1, 3, {red(0), red(170), red(0)}},
      {"unknown kind", 2, 1, 6, 2, 1, {red(0), red(0)}},
      {"negative kind", 2, 1, -1, 2, 1, {red(0), red(0)}},
  };
  for (const Case& c : cases) {
    const CBitmap32 g = CBitmap32::CreateGradient(c.w, c.h, 0x000000, 0x0000FF, c.kind);
    ASSERT_TRUE(g.IsValid()) << c.what;
    EXPECT_EQ(g.GetWidth(), c.outW) << c.what;
    EXPECT_EQ(g.GetHeight(), c.outH) << c.what;
    if (!c.pixels.empty()) {
      EXPECT_EQ(PixelsOf(g), c.pixels) << c.what;
    }
  }
  // Rectangle: distance to the nearest edge over f = 2.5: 0, 0.4, 0.8.
  const Words rect = PixelsOf(CBitmap32::CreateGradient(5, 5, 0x000000, 0x0000FF, 2));
  EXPECT_EQ(rect[0], red(0));
  EXPECT_EQ(rect[6], red(102));
  EXPECT_EQ(rect[12], red(204));
  // Colours keep their channels apart: 0x00BBGGRR becomes 0xFFRRGGBB.
  EXPECT_EQ(PixelsOf(CBitmap32::CreateGradient(1, 1, 0x123456, 0, 0)), Words{0xFF563412u});

  // Ellipse 4 x 4: ring 1 (t = 1/2) holds (2,1), (1,2), (2,2) and paints over ring 0.
  Words ellipse(16, red(0));
  for (int i : {2 * 4 + 1, 1 * 4 + 2, 2 * 4 + 2}) ellipse[i] = red(128);
  EXPECT_EQ(PixelsOf(CBitmap32::CreateGradient(4, 4, 0x000000, 0x0000FF, 3)), ellipse);
  for (auto [w, h] : {std::pair{7, 5}, {9, 9}, {16, 3}, {1, 1}, {2, 11}, {12, 12}})
    EXPECT_EQ(PixelsOf(CBitmap32::CreateGradient(w, h, 0x203040, 0xF0E0D0, 3)), PaintedEllipse(w, h, 0x203040, 0xF0E0D0))
        << w << "x" << h;
  EXPECT_FALSE(CBitmap32::CreateGradient(50000, 50000, 0, 0, 0).IsValid());
}

TEST(Bitmap32, AlphaBoundingBoxAndConversions) {
  CBitmap32 b = Make(2, 2, {0xFF306090u, 0x10FFFFFFu, 0xFF000000u, 0xFF000000u});
  const CBitmap32 mask = Make(1, 1, {0x00306090u});  // (0x30 + 0x60 + 0x90) / 3 = 96
  b.SetAlphaFromBitmap(&mask);
  EXPECT_EQ(PixelsOf(b), (Words{0x60306090u, 0x10FFFFFFu, 0xFF000000u, 0xFF000000u}));
  b.SetAlphaFromBitmap(nullptr);
  const CBitmap32 white = CBitmap32::CreateFilled(3, 3, 0xFFFFFF);
  b.SetAlphaFromBitmap(&white);  // 255 never raises an alpha
  EXPECT_EQ(PixelsOf(b), (Words{0x60306090u, 0x10FFFFFFu, 0xFF000000u, 0xFF000000u}));
  b.SetAlpha(0x7F);
  EXPECT_EQ(PixelsOf(b), (Words{0x7F306090u, 0x7FFFFFFFu, 0x7F000000u, 0x7F000000u}));

  struct BoxCase {
    const char* what;
    CBitmap32 bitmap;
    BoundingBox box;
  };
  BoxCase boxes[] = {
      {"none visible", Make(3, 2, Words(6, 0x00FFFFFFu)), {2, 1, 0, 0}},
      {"two visible", Make(3, 2, {0, 0x01000000u, 0, 0, 0, 0xFF000000u}), {1, 0, 2, 1}},
      {"invalid", CBitmap32(), {0, 0, 0, 0}},
  };
  for (const BoxCase& c : boxes) {
    const BoundingBox box = c.bitmap.GetBoundingBox();
    EXPECT_EQ(box.left, c.box.left) << c.what;
    EXPECT_EQ(box.top, c.box.top) << c.what;
    EXPECT_EQ(box.right, c.box.right) << c.what;
    EXPECT_EQ(box.bottom, c.box.bottom) << c.what;
  }

  const CBitmap32 one = Make(1, 1, {0x80102030u});
  std::unique_ptr<TBitmap> t32 = one.CreateTBitmap();
  ASSERT_NE(t32, nullptr);
  EXPECT_EQ(t32->GetFormat(), kBitmapFormat32);
  const uint8_t* p = t32->Lock(0, nullptr, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(p, p + 4), (std::vector<uint8_t>{0x10, 0x20, 0x30, 0x80}));
  std::unique_ptr<TBitmap> t24 = one.CreateTBitmap24();
  ASSERT_NE(t24, nullptr);
  EXPECT_EQ(t24->GetFormat(), kBitmapFormat24);
  p = t24->Lock(0, nullptr, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(p, p + 3), (std::vector<uint8_t>{0x30, 0x20, 0x10}));
  // Back again: the 24-bit form is the opaque pixel.
  EXPECT_EQ(PixelsOf(CBitmap32::CreateFromBitmap(t24.get(), false, false)), Words{0xFF102030u});
  EXPECT_EQ(CBitmap32().CreateTBitmap(), nullptr);
  EXPECT_EQ(CBitmap32().CreateTBitmap24(), nullptr);
}

// ---- Stream form ----

std::vector<uint8_t> Written(const CStream& s) {
  return std::vector<uint8_t>(s.GetData(), s.GetData() + s.GetPosition());
}

// A stream of exactly these bytes, at position 0.
std::unique_ptr<CStream> StreamOf(const std::vector<uint8_t>& bytes) {
  auto s = std::make_unique<CStream>(static_cast<int32_t>(bytes.size()));
  if (!bytes.empty()) std::memcpy(s->GetData(), bytes.data(), bytes.size());
  return s;
}

void PutInt(std::vector<uint8_t>& out, int32_t v) {
  const auto* b = reinterpret_cast<const uint8_t*>(&v);
  out.insert(out.end(), b, b + 4);
}

TEST(Bitmap32Stream, Version540RoundTripsAndAnInvalidBitmapWritesTwoWords) {
  ConsoleCapture quiet;
  const CBitmap32 b = Make(3, 2, {1, 2, 3, 0xFF000004u, 5, 0x80808080u});
  CStream s;
  b.WriteToStream(&s);
  s.WriteInteger(77);  // what follows stays readable
  s.SetPosition(0);
  EXPECT_EQ(s.ReadInteger(), 540);
  s.SetPosition(0);
  const CBitmap32 back = CBitmap32::CreateFromStream(&s);
  ASSERT_TRUE(back.IsValid());
  EXPECT_EQ(back.GetWidth(), 3);
  EXPECT_EQ(back.GetHeight(), 2);
  EXPECT_EQ(PixelsOf(back), PixelsOf(b));
  EXPECT_EQ(s.ReadInteger(), 77);

  CStream invalid;
  CBitmap32().WriteToStream(&invalid);
  std::vector<uint8_t> expected;
  PutInt(expected, 540);
  PutInt(expected, 0);
  EXPECT_EQ(Written(invalid), expected);
  invalid.SetPosition(0);
  EXPECT_FALSE(CBitmap32::CreateFromStream(&invalid).IsValid());
}

TEST(Bitmap32Stream, Version800ReadsRawPixels) {
  std::vector<uint8_t> bytes;
  PutInt(bytes, 800);
  PutInt(bytes, 2);
  PutInt(bytes, 1);
  PutInt(bytes, 12);  // 8 pixel bytes and 4 more
  PutInt(bytes, static_cast<int32_t>(0xFF112233u));
  PutInt(bytes, 0x00445566);
  PutInt(bytes, 0);
  PutInt(bytes, 99);
  auto s = StreamOf(bytes);
  const CBitmap32 b = CBitmap32::CreateFromStream(s.get());
  ASSERT_TRUE(b.IsValid());
  EXPECT_EQ(PixelsOf(b), (Words{0xFF112233u, 0x00445566u}));
  EXPECT_EQ(s->ReadInteger(), 99);
}

TEST(Bitmap32Stream, DamagedStreamsGiveInvalidBitmaps) {
  ConsoleCapture quiet;
  // A 2 x 2 version-540 stream whose stored height is changed afterwards.
  CStream good;
  Make(2, 2, {1, 2, 3, 4}).WriteToStream(&good);
  const std::vector<uint8_t> base = Written(good);
  const auto withHeight = [&](int32_t h) {
    std::vector<uint8_t> b = base;
    std::memcpy(&b[12], &h, 4);
    return b;
  };
  const auto raw = [](int32_t w, int32_t h, int32_t length, int32_t present) {
    std::vector<uint8_t> b;
    PutInt(b, 800);
    PutInt(b, w);
    PutInt(b, h);
    PutInt(b, length);
    b.resize(b.size() + static_cast<size_t>(present), 0xAB);
    return b;
  };
  std::vector<uint8_t> otherVersion;
  PutInt(otherVersion, 541);
  PutInt(otherVersion, 1);
  struct Case {
    const char* why;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"540: inflates to more than w x h x 4", withHeight(1)},
      {"540: inflates to less than w x h x 4", withHeight(3)},
      {"540: negative height", withHeight(-2)},
      {"540: cut short", std::vector<uint8_t>(base.begin(), base.begin() + 24)},
      {"800: length below w x h x 4", raw(2, 2, 15, 16)},
      {"800: fewer bytes than w x h x 4", raw(2, 2, 16, 15)},
      {"800: w x h x 4 overflows", raw(0x10000, 0x10000, 16, 16)},
      {"800: 2 GB or more", raw(0x8000, 0x8000, 16, 16)},
      {"800: negative width", raw(-1, 4, 16, 16)},
      {"another version", otherVersion},
      {"nothing at all", {}},
  };
  for (const Case& c : cases) {
    auto s = StreamOf(c.bytes);
    EXPECT_FALSE(CBitmap32::CreateFromStream(s.get()).IsValid()) << c.why;
    EXPECT_LE(s->GetPosition(), s->GetSize()) << c.why;
  }
  auto s = StreamOf(withHeight(2));
  EXPECT_TRUE(CBitmap32::CreateFromStream(s.get()).IsValid()) << "the unchanged stream reads";
}

// ---- PNG ----

TEST(Bitmap32Png, WritesTheRowBytesAsRgbaSamples) {
  TempDir dir;
  const CBitmap32 b = Make(3, 2, {0xFF0000FFu, 0x80102030u, 0x00000000u, 0x12345678u, 0xFFFFFFFFu, 0x7F00FF00u});
  const std::string path = dir.file("out.png");
  ASSERT_TRUE(b.write_png_file(path.c_str()));
  DecodedPng png;
  ASSERT_TRUE(ReadPng(path, &png));
  EXPECT_EQ(png.width, 3u);
  EXPECT_EQ(png.height, 2u);
  const auto* bytes = reinterpret_cast<const uint8_t*>(b.GetData()->pixels);
  EXPECT_EQ(png.rgba, std::vector<uint8_t>(bytes, bytes + 24));
}

TEST(Bitmap32Png, FailuresPrintTheirLineAndAnswerFalse) {
  TempDir dir;
  ConsoleCapture capture;
  const CBitmap32 b = CBitmap32::CreateFilled(2, 2, 0);
  const std::string missing = dir.file("no/such/folder/x.png");
  EXPECT_FALSE(b.write_png_file(missing.c_str()));
  EXPECT_EQ(capture.console.Text(), "[write_png_file] File " + missing + " could not be opened for writing\n");

  capture.console.Clear();
  EXPECT_FALSE(CBitmap32().write_png_file(dir.file("invalid.png").c_str()));
  EXPECT_EQ(capture.console.Text(), "[write_png_file] Error during writing header\n");

  if (std::filesystem::exists("/dev/full")) {  // every write fails: nothing may report success
    capture.console.Clear();
    EXPECT_FALSE(b.write_png_file("/dev/full"));
    EXPECT_EQ(capture.console.Text(), "[write_png_file] Error during end of write\n");
    capture.console.Clear();
    EXPECT_FALSE(Noise(256, 256).write_png_file("/dev/full"));  // far larger than the file buffer
    EXPECT_EQ(capture.console.Text(), "[write_png_file] Error during writing bytes\n");
  }
}

}  // namespace
