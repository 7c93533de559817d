#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "graphics/TBitmap.h"
#include "platform/MemoryManager.h"

namespace {

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

}  // namespace
