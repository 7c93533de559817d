// Surfaces on OpenGL: the id counter, the target stack with its saved view state, freeing and the
// device reset, drawing a surface and reading a region back into a bitmap.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/TBitmap.h"
#include "platform/MemoryManager.h"
#include "testlib/GraphicsFixtures.h"

namespace {

constexpr int32_t kSize = 64;

class SurfaceGLTest : public testsupport::HeadlessGLTest {
 protected:
  void SetUp() override {
    HeadlessGLTest::SetUp();
    ASSERT_TRUE(testsupport::OpenTestDisplay(kSize, kSize));
    GR_Clear(0xFF000000);
  }

  // The pixel of the surface as 0xAARRGGBB; 0 when it cannot be read.
  static uint32_t SurfacePixel(int32_t id, int32_t x, int32_t y) {
    uint8_t* block = ReadTexturePixels(GR_Texture_GetHardware(GR_Surface_GetTexture(id)), x, y, 1, 1);
    if (block == nullptr) return 0;
    uint32_t word;
    std::memcpy(&word, block, 4);
    MemoryManager::Free(block);
    return word;
  }

  uint32_t ScreenPixel(int32_t x, int32_t y) {
    GraphicsFlush();
    const std::vector<uint32_t> p = ReadBack(x, y, 1, 1);
    return p.empty() ? 0 : p[0];
  }
};

TEST_F(SurfaceGLTest, IdsComeFromACounterThatOnlyGrows) {
  EXPECT_EQ(GR_Surface_Create(16, 8, -1), 0);
  EXPECT_EQ(GR_Surface_Create(16, 8, -1), 1);
  EXPECT_EQ(GR_Surface_GetWidth(1), 16);
  EXPECT_EQ(GR_Surface_GetHeight(1), 8);
  EXPECT_TRUE(GR_Surface_Free(0, false));
  EXPECT_FALSE(GR_Surface_Exists(0));
  EXPECT_FALSE(GR_Surface_Free(0, false));
  EXPECT_EQ(GR_Surface_Create(4, 4, -1), 2);
  // A texture the device cannot make uses up its id and leaves no entry, nor a texture slot.
  const int32_t textures = g_Textures.entries.Count();
  EXPECT_EQ(GR_Surface_Create(0, 10, -1), -1);
  EXPECT_FALSE(GR_Surface_Exists(3));
  EXPECT_EQ(GR_Surface_Create(4, 4, -1), 4);
  EXPECT_EQ(g_Textures.entries.Count(), textures + 1);
  // Ids without record answer -1; re-creating an id not in the table too.
  EXPECT_EQ(GR_Surface_GetWidth(3), -1);
  EXPECT_EQ(GR_Surface_GetTexture(3), -1);
  EXPECT_EQ(GR_Surface_Create(4, 4, 3), -1);
}

TEST_F(SurfaceGLTest, TheSameTargetTwicePushesOneLevel) {
  const int32_t s = GR_Surface_Create(16, 16, -1);
  EXPECT_TRUE(GR_Surface_SetTarget(0, s));
  EXPECT_TRUE(GR_Surface_SetTarget(0, s));
  EXPECT_EQ(g_RenderTargets.depth, 1);
  EXPECT_EQ(g_Surfaces.savedCount, kSurfaceLevelWords);
  EXPECT_TRUE(GR_Surface_ResetTarget());
  EXPECT_EQ(g_Surfaces.targets[0], -1);
  EXPECT_EQ(g_RenderTargets.bound[0], nullptr);
  EXPECT_TRUE(GR_Surface_StackEmpty());
  EXPECT_FALSE(GR_Surface_ResetTarget());
}

TEST_F(SurfaceGLTest, TargetsNestEightDeepAndResetsRestoreTheScreenAndItsViewport) {
  testsupport::ErrorRecorder errors;
  std::vector<int32_t> ids;
  for (int32_t i = 0; i < 9; ++i) ids.push_back(GR_Surface_Create(8 + i, 8, -1));
  for (int32_t i = 0; i < 8; ++i) {
    ASSERT_TRUE(GR_Surface_SetTarget(0, ids[static_cast<size_t>(i)]));
    EXPECT_EQ(g_Transforms.viewportWidth, 8 + i);
  }
  EXPECT_TRUE(errors.errors().empty());
  EXPECT_FALSE(GR_Surface_SetTarget(0, ids[8]));
  ASSERT_EQ(errors.errors().size(), 1u);
  EXPECT_EQ(errors.errors()[0].text,
            "surface stack is full - ensure surface_reset_target() is called for each surface_set_target().");
  EXPECT_FALSE(errors.errors()[0].fatal);
  // The eighth stays the target, with its own viewport.
  EXPECT_EQ(g_Surfaces.targets[0], ids[7]);
  EXPECT_EQ(g_Surfaces.savedCount, 8 * kSurfaceLevelWords);
  EXPECT_EQ(g_Transforms.viewportWidth, 15);
  for (int32_t i = 7; i >= 0; --i) {
    EXPECT_TRUE(GR_Surface_ResetTarget());
    EXPECT_EQ(g_Surfaces.targets[0], i > 0 ? ids[static_cast<size_t>(i - 1)] : -1);
  }
  EXPECT_EQ(g_RenderTargets.bound[0], nullptr);
  EXPECT_EQ(g_Transforms.viewportX, 0);
  EXPECT_EQ(g_Transforms.viewportWidth, kSize);
  EXPECT_EQ(g_Transforms.viewportHeight, kSize);
  // Drawing reaches the screen again.
  GR_SetColour(0x0000FF);
  GR_DrawRectangle(2, 2, 4, 4, false);
  EXPECT_EQ(ScreenPixel(3, 3), 0xFFFF0000u);
}

TEST_F(SurfaceGLTest, TheViewAreaComesBackAsWholeNumbersWithTheOrthographicFlag) {
  GR_SetViewArea(10.7f, -3.6f, 64.9f, 48.0f, 30.5f);
  g_RenderStates.customOrtho = true;
  const int32_t s = GR_Surface_Create(16, 16, -1);
  ASSERT_TRUE(GR_Surface_SetTarget(0, s));
  EXPECT_EQ(g_Transforms.viewAreaX, 0.0f);
  EXPECT_EQ(g_Transforms.viewAreaWidth, 16.0f);
  g_RenderStates.customOrtho = false;
  ASSERT_TRUE(GR_Surface_ResetTarget());
  EXPECT_EQ(g_Transforms.viewAreaX, 10.0f);
  EXPECT_EQ(g_Transforms.viewAreaY, -3.0f);
  EXPECT_EQ(g_Transforms.viewAreaWidth, 64.0f);
  EXPECT_EQ(g_Transforms.viewAreaHeight, 48.0f);
  EXPECT_EQ(g_Transforms.viewAreaAngle, 30.0f);
  EXPECT_TRUE(g_RenderStates.customOrtho);
}

TEST_F(SurfaceGLTest, OtherSlotsSaveNothing) {
  const int32_t s = GR_Surface_Create(16, 16, -1);
  EXPECT_FALSE(GR_Surface_SetTarget(4, s));
  EXPECT_FALSE(GR_Surface_SetTarget(-1, s));
  EXPECT_FALSE(GR_Surface_SetTarget(0, s + 1));
  GR_Surface_SetTarget(1, s);
  EXPECT_EQ(g_Surfaces.targets[1], s);
  EXPECT_TRUE(GR_Surface_StackEmpty());
  EXPECT_EQ(g_RenderTargets.depth, 0);
}

TEST_F(SurfaceGLTest, FreeingTheCurrentTargetResetsItFirst) {
  const int32_t s = GR_Surface_Create(16, 16, -1);
  ASSERT_TRUE(GR_Surface_SetTarget(0, s));
  EXPECT_TRUE(GR_Surface_Free(s, false));
  EXPECT_TRUE(GR_Surface_StackEmpty());
  EXPECT_EQ(g_Surfaces.targets[0], -1);
  EXPECT_EQ(g_RenderTargets.depth, 0);
  EXPECT_EQ(g_Transforms.viewportWidth, kSize);
  GR_SetColour(0x00FF00);
  GR_DrawRectangle(20, 20, 30, 30, false);
  EXPECT_EQ(ScreenPixel(25, 25), 0xFF00FF00u);
}

TEST_F(SurfaceGLTest, DrawingGoesIntoTheSurfaceInItsOwnPixelsAndTheSurfaceDrawsBack) {
  const int32_t s = GR_Surface_Create(16, 8, -1);
  ASSERT_TRUE(GR_Surface_SetTarget(0, s));
  GR_Clear(0xFF000000);
  GR_SetColour(0x0000FF);
  GR_DrawRectangle(1, 1, 2, 2, false);
  ASSERT_TRUE(GR_Surface_ResetTarget());
  EXPECT_EQ(SurfacePixel(s, 1, 1), 0xFFFF0000u);
  EXPECT_EQ(SurfacePixel(s, 3, 3), 0xFF000000u);
  EXPECT_EQ(ScreenPixel(1, 1), 0xFF000000u);  // the screen was untouched
  GR_Surface_Draw(s, 10, 20);
  EXPECT_EQ(ScreenPixel(11, 21), 0xFFFF0000u);
  EXPECT_EQ(ScreenPixel(13, 23), 0xFF000000u);
  GR_Surface_DrawStretched(s, 0, 40, 32, 16, 0xFFFFFF, 1.0f);  // twice the size
  EXPECT_EQ(ScreenPixel(2, 42), 0xFFFF0000u);
  EXPECT_EQ(ScreenPixel(5, 45), 0xFFFF0000u);
  EXPECT_EQ(ScreenPixel(7, 47), 0xFF000000u);
}

TEST_F(SurfaceGLTest, ADeviceResetFreesEverySurface) {
  const int32_t a = GR_Surface_Create(16, 16, -1);
  const int32_t b = GR_Surface_Create(8, 8, -1);
  g_Surfaces.applicationSurfaceId = b;
  ASSERT_TRUE(GR_Surface_SetTarget(0, a));
  ASSERT_TRUE(GR_D3D_Reset());
  EXPECT_FALSE(GR_Surface_Exists(a));
  EXPECT_FALSE(GR_Surface_Exists(b));
  EXPECT_EQ(g_Surfaces.applicationSurfaceId, kNoApplicationSurface);
  EXPECT_EQ(g_Surfaces.applicationSurfaceId, static_cast<int32_t>(0xFEEEDEADu));
  EXPECT_TRUE(GR_Surface_StackEmpty());
  EXPECT_EQ(g_RenderTargets.depth, 0);
  EXPECT_EQ(GR_Surface_Create(4, 4, -1), 2);  // the counter kept its value
}

TEST_F(SurfaceGLTest, TheApplicationSurfaceIsKeptFromAnUnforcedFreeAndReadsItsStoredSize) {
  const int32_t id = GR_Surface_Create(16, 16, -1);
  g_Surfaces.applicationSurfaceId = id;
  ASSERT_EQ(GR_Surface_Resize(id, 32, 24), true);
  EXPECT_EQ(g_Surfaces.applicationWidth, 32);
  EXPECT_EQ(g_Surfaces.applicationHeight, 24);
  EXPECT_FALSE(GR_Surface_Free(id, false));
  EXPECT_TRUE(GR_Surface_Exists(id));
  // A failed re-creation drops the surface and leaves the stored size 1 x 1.
  EXPECT_FALSE(GR_Surface_Resize(id, 9000, 10));
  EXPECT_FALSE(GR_Surface_Exists(id));
  EXPECT_EQ(GR_Surface_GetWidth(id), 1);
  EXPECT_EQ(GR_Surface_GetHeight(id), 1);
  const int32_t other = GR_Surface_Create(16, 16, -1);
  g_Surfaces.applicationSurfaceId = other;
  EXPECT_TRUE(GR_Surface_Free(other, true));
}

TEST_F(SurfaceGLTest, ABitmapOfARegionIsZeroBeyondTheSurfaceAndBoundedInSize) {
  const int32_t s = GR_Surface_Create(8, 8, -1);
  ASSERT_TRUE(GR_Surface_SetTarget(0, s));
  GR_Clear(0xFF0000FF);  // opaque red
  ASSERT_TRUE(GR_Surface_ResetTarget());
  std::unique_ptr<TBitmap> bitmap = GR_Surface_GetBitmap(s, 6, 0, 4, 2);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->GetWidth(), 4);
  EXPECT_EQ(bitmap->GetHeight(), 2);
  int32_t stride = 0;
  uint8_t* pixels = bitmap->Lock(0, nullptr, &stride);
  ASSERT_NE(pixels, nullptr);
  uint32_t words[2][4];
  for (int32_t row = 0; row < 2; ++row) std::memcpy(words[row], pixels + row * stride, 16);
  bitmap->Unlock(pixels);
  for (int32_t row = 0; row < 2; ++row) {
    EXPECT_EQ(words[row][0], 0xFFFF0000u);
    EXPECT_EQ(words[row][1], 0xFFFF0000u);
    EXPECT_EQ(words[row][2], 0u);
    EXPECT_EQ(words[row][3], 0u);
  }
  for (const auto& size : {std::pair{0, 4}, std::pair{4, -1}, std::pair{16385, 1}, std::pair{1, 16385},
                           std::pair{INT32_MAX, INT32_MAX}})
    EXPECT_EQ(GR_Surface_GetBitmap(s, 0, 0, size.first, size.second), nullptr) << size.first << " " << size.second;
  EXPECT_EQ(GR_Surface_GetBitmap(s + 1, 0, 0, 4, 4), nullptr);
}

}  // namespace
