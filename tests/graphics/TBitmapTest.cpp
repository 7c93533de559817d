#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "graphics/TBitmap.h"
#include "platform/MemoryManager.h"
#include "support/CStream.h"
#include "testlib/ImageFixtures.h"

using namespace testsupport;

namespace {

using Words = std::vector<uint32_t>;

// The pixels of a 32-bit bitmap, row by row.
Words PixelWords(const TBitmap& b) {
  Words out(static_cast<size_t>(b.GetWidth()) * b.GetHeight());
  if (!out.empty()) std::memcpy(out.data(), b.GetPixels(), out.size() * 4);
  return out;
}

// A stream holding the bytes, positioned at its start.
std::unique_ptr<CStream> StreamOf(const Bytes& bytes) {
  auto stream = std::make_unique<CStream>();
  if (!bytes.empty()) stream->WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  stream->SetPosition(0);
  return stream;
}

std::unique_ptr<TBitmap> Loaded(const Bytes& file) {
  std::unique_ptr<TBitmap> b = TBitmap_Create();
  std::unique_ptr<CStream> stream = StreamOf(file);
  b->LoadFromStream(stream.get());
  return b;
}

Bytes WordBytes(const Words& words) {
  Bytes out(words.size() * 4);
  std::memcpy(out.data(), words.data(), out.size());
  return out;
}

TEST(TBitmap, StrideFollowsTheFormat) {
  struct Case {
    int32_t format;
    int32_t stride;
  };
  for (const Case& c : {Case{1, 1}, Case{2, 5}, Case{3, 10}, Case{4, 20}, Case{5, 20}, Case{6, 30}, Case{7, 40},
                        Case{9, 40}}) {
    TBitmap b;
    b.SetWidth(10);
    b.SetFormat(c.format);
    EXPECT_EQ(b.GetStride(), c.stride) << "format " << c.format;
  }
}

TEST(TBitmap, LockMakesAZeroFilledBufferOnce) {
  std::unique_ptr<TBitmap> b = TBitmap_Create();
  EXPECT_EQ(b->GetFormat(), kBitmapFormat32);
  b->SetWidth(4);
  b->SetHeight(3);
  uint8_t* row = nullptr;
  int32_t stride = 0;
  uint8_t* pixels = b->Lock(2, &row, &stride);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(b->GetImageSize(), 100u);  // 4 x 4 x 3 + 52
  EXPECT_EQ(pixels, b->GetImage() + 52);
  EXPECT_EQ(row, pixels + 32);
  EXPECT_EQ(stride, 16);
  uint32_t offset = 0;
  std::memcpy(&offset, b->GetImage() + 8, 4);
  EXPECT_EQ(offset, 52u);
  for (int i = 0; i < 48; ++i) ASSERT_EQ(pixels[i], 0);
  EXPECT_TRUE(MemoryManager::IsManaged(b->GetImage()));
  EXPECT_EQ(b->Lock(0, nullptr, nullptr), pixels) << "a second lock keeps the buffer";
  b->Lock(3, &row, nullptr);
  EXPECT_EQ(row, nullptr) << "a row outside the image has no address";
  b->Free();
  EXPECT_EQ(b->GetImage(), nullptr);
  EXPECT_EQ(b->GetWidth(), 4);
}

TEST(TBitmap, ImagesOfTwoGigabytesOrNegativeSizesAreNotLocked) {
  struct Case {
    int32_t width, height;
  };
  for (const Case& c : {Case{-1, 4}, Case{4, -1}, Case{0x8000, 0x4000}, Case{INT32_MAX, 2}}) {
    TBitmap b;
    b.SetWidth(c.width);
    b.SetHeight(c.height);
    EXPECT_EQ(b.Lock(0, nullptr, nullptr), nullptr) << c.width << "x" << c.height;
    EXPECT_EQ(b.GetImage(), nullptr);
  }
}

TEST(TBitmap, ChangesAreCounted) {
  TBitmap b;
  EXPECT_EQ(b.GetChangeCount(), -1);
  b.SetWidth(2);
  b.SetHeight(2);
  b.SetFormat(kBitmapFormat32);
  EXPECT_EQ(b.GetChangeCount(), 2);
  b.Lock(0, nullptr, nullptr);
  b.Unlock(nullptr);
  EXPECT_EQ(b.GetChangeCount(), 2) << "locking is no change";
  b.Free();
  EXPECT_EQ(b.GetChangeCount(), 3);
  TBitmap other;
  b.Assign(&other);  // frees, then counts the assignment
  EXPECT_EQ(b.GetChangeCount(), 5);
  EXPECT_EQ(b.GetReserved(), nullptr);
}

TEST(TBitmap, LoadsAPaletteImageAsOpaque32Bit) {
  // 4 x 2, 8 bits, palette entry 1 = (B 0x10, G 0x20, R 0x30, 0), every index 1.
  Bytes palette(256 * 4, 0);
  palette[4] = 0x10;
  palette[5] = 0x20;
  palette[6] = 0x30;
  std::unique_ptr<TBitmap> b = Loaded(MakeBMP(4, 2, 8, palette, Bytes(8, 1)));
  ASSERT_NE(b->GetImage(), nullptr);
  EXPECT_EQ(b->GetFormat(), kBitmapFormat32);
  EXPECT_EQ(b->GetWidth(), 4);
  EXPECT_EQ(b->GetHeight(), 2);
  EXPECT_EQ(b->GetStride(), 16);
  EXPECT_EQ(b->GetImageSize(), 4u * 2 * 4 + 52);
  EXPECT_EQ(b->GetPixels(), b->GetImage() + 52);
  EXPECT_EQ(PixelWords(*b), Words(8, 0xFF302010u));
}

TEST(TBitmap, LoadingPutsTheTopRowFirst) {
  // 1 x 3, 32 bits: the file stores the bottom row first.
  std::unique_ptr<TBitmap> b = Loaded(MakeBMP(1, 3, 32, {}, WordBytes({0xAA000003u, 0xAA000002u, 0xAA000001u})));
  EXPECT_EQ(PixelWords(*b), (Words{0xAA000001u, 0xAA000002u, 0xAA000003u}));
  EXPECT_EQ(b->GetPixels(), b->GetImage() + 52) << "the file's pixel offset counts the magic";
  // 24 bits, two rows of two pixels (6 bytes, read without padding).
  std::unique_ptr<TBitmap> rgb = Loaded(MakeBMP(2, 2, 24, {}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(rgb->GetFormat(), kBitmapFormat24);
  EXPECT_EQ(rgb->GetStride(), 6);
  EXPECT_EQ(Bytes(rgb->GetPixels(), rgb->GetPixels() + 12), (Bytes{7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6}));
}

TEST(TBitmap, BmpsThatDoNotFitTheirBytesLeaveTheBitmapEmpty) {
  const Bytes rows = WordBytes({1, 2, 3, 4});
  Bytes palette(2 * 4, 0);  // two entries only
  struct Case {
    const char* why;
    Bytes file;
  };
  const Case cases[] = {
      {"empty stream", {}},
      {"not BM", [] { Bytes f = MakeBMP(2, 2, 32, {}, WordBytes({1, 2, 3, 4})); f[1] = 'X'; return f; }()},
      {"shorter than the header", Bytes{'B', 'M', 1, 2, 3}},
      {"rows past the end", MakeBMP(2, 3, 32, {}, rows)},
      {"pixel offset past the end", MakeBMP(2, 2, 32, {}, rows, 200)},
      {"pixel offset before the buffer", MakeBMP(2, 2, 32, {}, rows, 1)},
      {"huge width", MakeBMP(0x40000000, 2, 32, {}, rows)},
      {"negative width", MakeBMP(-2, 2, 32, {}, rows)},
      {"top-down rows", MakeBMP(2, -2, 32, {}, rows)},
      {"palette index outside the file", MakeBMP(2, 2, 8, palette, {0, 1, 1, 200})},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TBitmap> b = TBitmap_Create();
    b->SetWidth(5);
    b->Lock(0, nullptr, nullptr);
    std::unique_ptr<CStream> stream = StreamOf(c.file);
    b->LoadFromStream(stream.get());
    EXPECT_EQ(b->GetImage(), nullptr) << c.why;
    EXPECT_EQ(b->GetPixels(), nullptr) << c.why;
  }
  // Rows of no bytes load at once, whatever their number.
  std::unique_ptr<TBitmap> thin = Loaded(MakeBMP(1, 0x20000000, 1, {}, {}));
  EXPECT_EQ(thin->GetHeight(), 0x20000000);
  EXPECT_EQ(thin->GetStride(), 0);
  // The palette check looks only at the indices used.
  std::unique_ptr<TBitmap> b = Loaded(MakeBMP(2, 2, 8, palette, {0, 1, 1, 0}));
  EXPECT_EQ(PixelWords(*b), Words(4, 0xFF000000u));
}

TEST(TBitmap, AssignCopiesTheImage) {
  std::unique_ptr<TBitmap> built = TBitmap_Create();
  built->SetWidth(2);
  built->SetHeight(2);
  uint8_t* pixels = built->Lock(0, nullptr, nullptr);
  const Words words = {0x11223344u, 0x55667788u, 0x99AABBCCu, 0xDDEEFF00u};
  std::memcpy(pixels, words.data(), 16);
  std::unique_ptr<TBitmap> loaded = Loaded(MakeBMP(1, 3, 32, {}, WordBytes({3, 2, 1})));
  std::unique_ptr<TBitmap> rgb = Loaded(MakeBMP(2, 1, 24, {}, {1, 2, 3, 4, 5, 6}));

  for (const TBitmap* source : {built.get(), loaded.get(), rgb.get()}) {
    TBitmap copy;
    copy.Assign(source);
    ASSERT_NE(copy.GetImage(), nullptr);
    EXPECT_NE(copy.GetImage(), source->GetImage());
    EXPECT_EQ(copy.GetWidth(), source->GetWidth());
    EXPECT_EQ(copy.GetHeight(), source->GetHeight());
    EXPECT_EQ(copy.GetFormat(), source->GetFormat());
    EXPECT_EQ(copy.GetStride(), source->GetStride());
    const size_t bytes = static_cast<size_t>(source->GetStride()) * source->GetHeight();
    EXPECT_EQ(Bytes(copy.GetPixels(), copy.GetPixels() + bytes), Bytes(source->GetPixels(), source->GetPixels() + bytes));
  }
  TBitmap empty;
  empty.SetWidth(7);
  TBitmap copy;
  copy.Assign(&empty);
  EXPECT_EQ(copy.GetImage(), nullptr);
  EXPECT_EQ(copy.GetWidth(), 7);
}

TEST(BitmapLoader, HoldsOneImageMadeFromPixels) {
  const Words pixels = {0xFF000001u, 0x80000002u, 0x00000003u, 0x12345678u, 0x9ABCDEF0u, 0xFFFFFFFFu};
  std::unique_ptr<BitmapLoader> loader = BitmapLoader_CreateFromPixels(pixels.data(), 3, 2);
  EXPECT_FALSE(loader->IsMultiFrame());
  EXPECT_EQ(loader->GetCount(), 1);
  EXPECT_EQ(loader->CreateBitmap(1), nullptr);
  EXPECT_EQ(loader->CreateBitmap(-1), nullptr);
  std::unique_ptr<TBitmap> b = loader->CreateBitmap(0);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetWidth(), 3);
  EXPECT_EQ(b->GetHeight(), 2);
  EXPECT_EQ(b->GetFormat(), kBitmapFormat32);
  EXPECT_EQ(b->GetStride(), 12);
  EXPECT_EQ(PixelWords(*b), pixels);
  // The header of an image the program builds.
  const uint8_t* h = b->GetImage();
  ASSERT_EQ(b->GetImageSize(), 3u * 2 * 4 + 52);
  uint32_t offset, info, width, height;
  uint16_t layers, bits;
  std::memcpy(&offset, h + 8, 4);
  std::memcpy(&info, h + 12, 4);
  std::memcpy(&width, h + 16, 4);
  std::memcpy(&height, h + 20, 4);
  std::memcpy(&layers, h + 24, 2);
  std::memcpy(&bits, h + 26, 2);
  EXPECT_EQ(offset, 52u);
  EXPECT_EQ(info, 40u);
  EXPECT_EQ(width, 3u);
  EXPECT_EQ(height, 2u);
  EXPECT_EQ(layers, 1u);
  EXPECT_EQ(bits, 32u);
  EXPECT_NE(loader->CreateBitmap(0)->GetImage(), b->GetImage()) << "every bitmap has its own copy";

  EXPECT_EQ(BitmapLoader_CreateFromPixels(pixels.data(), -1, 2)->GetCount(), 0);
  EXPECT_EQ(BitmapLoader_CreateFromPixels(pixels.data(), 0x8000, 0x4000)->GetCount(), 0) << "2 GB";
}

TEST(TBitmap, AttachRefusesABufferItsHeaderDoesNotFit) {
  std::unique_ptr<BitmapLoader> loader = BitmapLoader_CreateFromPixels(Words(4, 7).data(), 2, 2);
  std::unique_ptr<TBitmap> good = loader->CreateBitmap(0);
  struct Case {
    const char* why;
    uint32_t field, value;
  };
  for (const Case& c : {Case{"pixel offset past the end", 8, 60}, Case{"taller than the buffer", 20, 3},
                        Case{"negative width", 16, 0xFFFFFFFFu}}) {
    auto* image = static_cast<uint8_t*>(MemoryManager::Alloc(good->GetImageSize(), __FILE__, __LINE__));
    std::memcpy(image, good->GetImage(), good->GetImageSize());
    std::memcpy(image + c.field, &c.value, 4);
    TBitmap b;
    b.Attach(image, good->GetImageSize());
    EXPECT_EQ(b.GetImage(), nullptr) << c.why;
  }
}

}  // namespace
