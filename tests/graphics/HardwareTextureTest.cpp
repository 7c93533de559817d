// Hardware textures over the recording fake: sizes and formats, "RAW " blobs, uploads through
// both pools, binding and resolving, freeing, read-back, region copies and the screen readers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/VCL.h"
#include "debug/Debug_Overlay.h"
#include "debug/Debug_State.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/TBitmap.h"
#include "platform/MemoryManager.h"
#include "testlib/GraphicsFixtures.h"
#include "testlib/ImageFixtures.h"

namespace {

// A "RAW " blob: header, then the pixel bytes as given.
std::vector<uint8_t> RawBlob(uint32_t width, uint32_t height, uint32_t kind, const std::vector<uint8_t>& pixels) {
  std::vector<uint8_t> blob(16);
  const uint32_t header[4] = {0x20574152, width, height, kind};
  std::memcpy(blob.data(), header, 16);
  blob.insert(blob.end(), pixels.begin(), pixels.end());
  return blob;
}

std::vector<uint32_t> Words(const void* bytes, size_t count) {
  std::vector<uint32_t> words(count);
  std::memcpy(words.data(), bytes, count * 4);
  return words;
}

std::vector<uint16_t> Halves(const void* bytes, size_t count) {
  std::vector<uint16_t> halves(count);
  std::memcpy(halves.data(), bytes, count * 2);
  return halves;
}

// 3 x 2 pixels in the byte order R, G, B, A, and the words 0xAARRGGBB they stand for.
const std::vector<uint8_t> kRgba = {0x10, 0x20, 0x30, 0x40, 0x11, 0x21, 0x31, 0x41, 0x12, 0x22, 0x32, 0x42,
                                    0x13, 0x23, 0x33, 0x43, 0x14, 0x24, 0x34, 0x44, 0x15, 0x25, 0x35, 0x45};
const std::vector<uint32_t> kArgb = {0x40102030, 0x41112131, 0x42122232, 0x43132333, 0x44142434, 0x45152535};
// 3 x 2 16-bit pixels whose nibbles run B, G, R, A from the highest, and the A4R4G4B4 values.
const std::vector<uint8_t> kBgra4 = {0x21, 0x43, 0x65, 0x87, 0xA9, 0xCB, 0x10, 0x32, 0x54, 0x76, 0x98, 0xBA};
const std::vector<uint16_t> kArgb4 = {0x1234, 0x5678, 0x9ABC, 0x0123, 0x4567, 0x89AB};

class HardwareTextureTest : public testsupport::FakeGraphicsTest {
 protected:
  void SetUp() override {
    FakeGraphicsTest::SetUp();
    ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
    DropWhiteTexture();
    FakeD3D().log.clear();
    console.Clear();
  }

  // The start-up's white texture is given back, so that every test starts with no texture and
  // names its textures from "tex1".
  static void DropWhiteTexture() {
    GR_Texture_FreeWhite();
    FakeD3D().textures = 0;
  }

  // Starts again on the extended device object, whose textures are in the default pool.
  void UseDefaultPool() {
    testsupport::ResetGraphicsState();
    FakeD3D_Reset();
    FakeD3D().windowManager = true;
    ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
    ASSERT_EQ(g_GraphicsDevice.resourcePool, D3DPOOL_DEFAULT);
    DropWhiteTexture();
    FakeD3D().log.clear();
  }

  static HardwareTexture* FromBlob(const std::vector<uint8_t>& blob, TextureInfo* info = nullptr) {
    TextureInfo ignored;
    return CreateTextureFromBlob(blob.data(), blob.size(), info != nullptr ? info : &ignored, 6);
  }

  // The back buffer's words (0xAARRGGBB, rows 640 apart), each set to a value of its own.
  static uint32_t* PaintBackBuffer() {
    IDirect3DSurface9* backBuffer = nullptr;
    EXPECT_EQ(g_GraphicsDevice.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    uint32_t* words = reinterpret_cast<uint32_t*>(FakeD3D_SurfaceBytes(backBuffer));
    for (uint32_t i = 0; i < 640 * 480; ++i) words[i] = 0xFF000000u | i;
    backBuffer->Release();
    return words;
  }
};

TEST_F(HardwareTextureTest, PlainTexturesTakeThePowerOfTwoSizeAndRenderTargetsTheExactOne) {
  struct Case {
    int32_t width, height;
    uint32_t flags;
    int32_t samples;
    int32_t realWidth, realHeight;
    std::vector<std::string> device;
  };
  const Case cases[] = {
      {300, 200, 0, 0, 512, 256, {"CreateTexture 512 256 1 0x0 21 1", "GetSurfaceLevel tex1 0"}},
      {3000, 5000, 0, 0, 4096, 4096, {"CreateTexture 4096 4096 1 0x0 21 1", "GetSurfaceLevel tex1 0"}},
      {2049, 9, 0, 0, 4096, 16, {"CreateTexture 4096 16 1 0x0 21 1", "GetSurfaceLevel tex1 0"}},
      {1, 1, 0, 0, 1, 1, {"CreateTexture 1 1 1 0x0 21 1", "GetSurfaceLevel tex1 0"}},
      {0, -5, 0, 0, 1, 1, {"CreateTexture 1 1 1 0x0 21 1", "GetSurfaceLevel tex1 0"}},
      {300, 200, 1, 0, 300, 200,
       {"CreateTexture 300 200 1 0x1 21 0", "CreateRenderTarget 300 200 21 0 0",
        "CreateDepthStencilSurface 300 200 75 0"}},
      // Render targets take the multisample setting, the depth surface too.
      {300, 200, 1, 4, 300, 200,
       {"CreateTexture 300 200 1 0x1 21 0", "CreateRenderTarget 300 200 21 4 0",
        "CreateDepthStencilSurface 300 200 75 4"}},
  };
  EXPECT_EQ(GetMaxTextureSize(), 4096);
  for (const Case& c : cases) {
    FakeD3D().log.clear();
    FakeD3D().textures = FakeD3D().renderTargets = FakeD3D().depthSurfaces = 0;
    GraphicsSetMultisample(c.samples);
    HardwareTexture* t = CreateTexture(c.width, c.height, 1, c.flags, kTextureFormatARGB);
    ASSERT_NE(t, nullptr) << c.width << "x" << c.height;
    EXPECT_EQ(FakeD3D().log, c.device) << c.width << "x" << c.height;
    EXPECT_EQ(HardwareTexture_Width(t), c.realWidth);
    EXPECT_EQ(HardwareTexture_Height(t), c.realHeight);
    EXPECT_EQ(t->surface->Width(), static_cast<uint32_t>(c.realWidth));
    EXPECT_EQ(t->surface->Height(), static_cast<uint32_t>(c.realHeight));
    EXPECT_EQ(t->format, kTextureFormatARGB);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(t->pixelCopy) % 16, 0u);
    if (c.flags & 1) {
      EXPECT_EQ(t->flags, kTextureDefaultPool);
      ASSERT_NE(t->depthSurface, nullptr);
    } else {
      EXPECT_EQ(t->flags, kTextureManagedPool);
      EXPECT_EQ(t->depthSurface, nullptr);
    }
    EXPECT_EQ(g_HardwareTextures.list, t);
    FreeHardwareTexture(t);
    EXPECT_EQ(g_HardwareTextures.list, nullptr);
  }
}

TEST_F(HardwareTextureTest, FormatCodesNameTheirDeviceFormats) {
  const uint32_t expected[] = {0xFFFFFFFFu,     D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5,
                               D3DFMT_A8R8G8B8, D3DFMT_D32,  D3DFMT_D24S8, D3DFMT_R16F, D3DFMT_R32F, D3DFMT_A4R4G4B4};
  for (int32_t code = 0; code < 12; ++code) EXPECT_EQ(TextureFormatOfCode(code), expected[code]) << code;
  EXPECT_EQ(TextureFormatOfCode(0x31545844), 0x31545844u);
  EXPECT_EQ(D3DFMT_DXT1, 0x31545844u);
}

TEST_F(HardwareTextureTest, AFailedCreationLogsTheErrorAndKeepsNothing) {
  struct Case {
    const char* failing;
    uint32_t flags;
    int32_t code;
    std::string line;
  };
  const Case cases[] = {
      {"CreateTexture", 0, 6, "CreateTexture failed - 8876017c\n"},
      {"CreateTexture", 1, 6, "CreateTexture failed - 8876017c\n"},
      {"CreateRenderTarget", 1, 6, "CreateTexture failed - 8876017c\n"},
      {"CreateDepthStencilSurface", 1, 6, "CreateTexture failed - 8876017c\n"},
      {nullptr, 0, 9, "CreateTexture failed - 8876086c\n"},  // a format the device does not make
  };
  for (const Case& c : cases) {
    const int32_t blocks = MemoryManager::BlockCount;
    console.Clear();
    if (c.failing != nullptr) FakeD3D().Fail(c.failing, D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(CreateTexture(64, 64, 1, c.flags, c.code), nullptr) << (c.failing ? c.failing : "format");
    EXPECT_EQ(console.Lines(), std::vector<std::string>{c.line});
    EXPECT_EQ(g_HardwareTextures.list, nullptr);
    EXPECT_EQ(MemoryManager::BlockCount, blocks);
  }
  // A render target larger than a texture can record asks nothing of the device.
  FakeD3D().log.clear();
  EXPECT_EQ(CreateTexture(8193, 16, 1, 1, 6), nullptr);
  EXPECT_EQ(CreateTexture(16, 0, 1, 1, 6), nullptr);
  EXPECT_TRUE(FakeD3D().log.empty());
}

TEST_F(HardwareTextureTest, RawBlobsOfBothKindsBecomeDevicePixelsAndTheGameBytesStayAsTheyAre) {
  struct Case {
    uint32_t kind;
    const std::vector<uint8_t>& pixels;
    TextureInfo info;
  };
  const Case cases[] = {{0, kRgba, {3, 2, 32, 0, 6, -1, 6}}, {1, kBgra4, {3, 2, 16, 0, 11, -1, 11}}};
  for (const Case& c : cases) {
    const std::vector<uint8_t> blob = RawBlob(3, 2, c.kind, c.pixels);
    const std::vector<uint8_t> original = blob;
    TextureInfo info;
    HardwareTexture* first = FromBlob(blob, &info);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(blob, original) << "kind " << c.kind;
    EXPECT_EQ(std::memcmp(&info, &c.info, sizeof info), 0) << "kind " << c.kind;
    EXPECT_EQ(first->format, c.info.format);
    EXPECT_EQ(HardwareTexture_Width(first), 4);
    // A second texture from the same bytes is the same.
    HardwareTexture* second = FromBlob(blob);
    ASSERT_NE(second, nullptr);
    for (HardwareTexture* t : {first, second}) {
      const uint8_t* device = FakeD3D_TextureBytes(t->texture);
      if (c.kind == 0) {
        // Rows of the 4-wide texture are 16 bytes apart; the fourth column stays 0.
        const std::vector<uint32_t> expected = {kArgb[0], kArgb[1], kArgb[2], 0, kArgb[3], kArgb[4], kArgb[5], 0};
        EXPECT_EQ(Words(device, 8), expected);
        EXPECT_EQ(Words(t->pixelCopy, 8), expected);
      } else {
        // 16-bit rows land one by one at the texture's width.
        const std::vector<uint16_t> expected = {kArgb4[0], kArgb4[1], kArgb4[2], 0, kArgb4[3], kArgb4[4], kArgb4[5], 0};
        EXPECT_EQ(Halves(device, 8), expected);
        EXPECT_EQ(Halves(t->pixelCopy, 8), expected);
      }
    }
    FreeHardwareTexture(first);
    FreeHardwareTexture(second);
  }
}

TEST_F(HardwareTextureTest, RawBlobsThatDoNotFitTheirBytesOrHaveAnotherKindGiveNoTexture) {
  struct Case {
    const char* why;
    uint32_t width, height, kind;
    size_t pixelBytes;
    bool made;
  };
  const Case cases[] = {
      {"32-bit pixels exactly", 3, 2, 0, 24, true},
      {"one byte short", 3, 2, 0, 23, false},
      {"16-bit pixels exactly", 3, 2, 1, 12, true},
      {"16-bit, one byte short", 3, 2, 1, 11, false},
      {"width x height wraps 32 bits", 0x10000, 0x10000, 0, 64, false},
      {"width x height x 4 wraps 64 bits", 0xFFFFFFFF, 0xFFFFFFFF, 0, 64, false},
      {"kind 2", 3, 2, 2, 24, false},
      {"kind -1", 3, 2, 0xFFFFFFFF, 24, false},
      {"no pixels", 0, 5, 0, 0, true},
  };
  for (const Case& c : cases) {
    FakeD3D().log.clear();
    const std::vector<uint8_t> blob = RawBlob(c.width, c.height, c.kind, std::vector<uint8_t>(c.pixelBytes, 0x7F));
    HardwareTexture* t = FromBlob(blob);
    EXPECT_EQ(t != nullptr, c.made) << c.why;
    if (!c.made) {
      EXPECT_EQ(FakeD3D().Count("CreateTexture"), 0) << c.why;
    }
    FreeHardwareTexture(t);
  }
  // A header cut short.
  const std::vector<uint8_t> blob = RawBlob(1, 1, 0, {1, 2, 3, 4});
  TextureInfo info;
  EXPECT_EQ(CreateTextureFromBlob(blob.data(), 15, &info, 6), nullptr);
  EXPECT_EQ(g_HardwareTextures.list, nullptr);
}

TEST_F(HardwareTextureTest, UploadsAreCutToTheTextureAndKeepTheSourceRowStride) {
  // 5000 x 2 pixels into a 4096 x 2 texture: row 1 starts with source pixel 5000.
  std::vector<uint32_t> pixels(5000 * 2);
  for (uint32_t i = 0; i < pixels.size(); ++i) pixels[i] = i;
  TextureInfo info;
  HardwareTexture* wide = CreateTextureFromPixels(pixels.data(), 5000, 2, &info);
  ASSERT_NE(wide, nullptr);
  const TextureInfo expected = {4096, 2, 32, 0, 6, -1, 6};
  EXPECT_EQ(std::memcmp(&info, &expected, sizeof info), 0);
  const std::vector<uint32_t> device = Words(FakeD3D_TextureBytes(wide->texture), 4096 * 2);
  EXPECT_EQ(device[0], 0u);
  EXPECT_EQ(device[4095], 4095u);
  EXPECT_EQ(device[4096], 5000u);
  EXPECT_EQ(device[8191], 9095u);

  // A smaller upload leaves the rest of the texture as it was; 16-bit rows go one by one.
  HardwareTexture* small = CreateTexture(4, 2, 1, 0, kTextureFormatARGB4444);
  ASSERT_NE(small, nullptr);
  const uint16_t halves[] = {1, 2, 3, 4, 5, 6};
  ASSERT_TRUE(UploadPixels(small, 0, 3, 2, halves));
  EXPECT_EQ(Halves(FakeD3D_TextureBytes(small->texture), 8), (std::vector<uint16_t>{1, 2, 3, 0, 4, 5, 6, 0}));
  ASSERT_TRUE(UploadPixels(small, 0, 1, 1, halves + 5));
  EXPECT_EQ(Halves(FakeD3D_TextureBytes(small->texture), 8), (std::vector<uint16_t>{6, 2, 3, 0, 4, 5, 6, 0}));
  EXPECT_FALSE(UploadPixels(small, 1, 1, 1, halves));  // textures have one level
  EXPECT_FALSE(UploadPixels(nullptr, 0, 1, 1, halves));
  FreeHardwareTexture(wide);
  FreeHardwareTexture(small);
}

TEST_F(HardwareTextureTest, DefaultPoolTexturesAreFilledThroughASystemMemoryTexture) {
  UseDefaultPool();
  struct Case {
    uint32_t kind;
    const std::vector<uint8_t>& pixels;
    uint32_t format;
  };
  const Case cases[] = {{0, kRgba, D3DFMT_A8R8G8B8}, {1, kBgra4, D3DFMT_A4R4G4B4}};
  for (const Case& c : cases) {
    FakeD3D().log.clear();
    FakeD3D().textures = 0;
    HardwareTexture* t = FromBlob(RawBlob(3, 2, c.kind, c.pixels));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->flags, kTextureDefaultPool);
    const std::string format = std::to_string(c.format);
    EXPECT_EQ(FakeD3D().log,
              (std::vector<std::string>{"CreateTexture 4 2 1 0x0 " + format + " 0", "GetSurfaceLevel tex1 0",
                                        "CreateTexture 4 2 1 0x0 " + format + " 2", "LockRect tex2", "UnlockRect tex2",
                                        "UpdateTexture tex2 tex1"}));
    if (c.kind == 0) {
      EXPECT_EQ(Words(FakeD3D_TextureBytes(t->texture), 3), (std::vector<uint32_t>{kArgb[0], kArgb[1], kArgb[2]}));
    } else {
      EXPECT_EQ(Halves(FakeD3D_TextureBytes(t->texture), 3), (std::vector<uint16_t>{kArgb4[0], kArgb4[1], kArgb4[2]}));
    }
    FreeHardwareTexture(t);
  }
  // Without the system-memory texture the upload fails, with a line.
  HardwareTexture* t = CreateTexture(4, 4, 1, 0, kTextureFormatARGB);
  ASSERT_NE(t, nullptr);
  console.Clear();
  FakeD3D().Fail("CreateTexture", D3DERR_OUTOFVIDEOMEMORY);
  const uint32_t pixel = 0xFF00FF00;
  EXPECT_FALSE(UploadPixels(t, 0, 1, 1, &pixel));
  EXPECT_EQ(console.Lines(), std::vector<std::string>{"Failed CreateTexture on SystemMem"});
  // A region update writes the whole pixel copy the same way.
  FakeD3D().log.clear();
  EXPECT_TRUE(UpdateTextureRegion(t, 1, 1, 2, 2));
  EXPECT_EQ(FakeD3D().Count("UpdateTexture"), 1);
  EXPECT_EQ(Words(FakeD3D_TextureBytes(t->texture), 1)[0], pixel);
  FreeHardwareTexture(t);
}

TEST_F(HardwareTextureTest, ARegionUpdateWritesOnlyTheCutRectangleOfThePixelCopy) {
  HardwareTexture* t = CreateTexture(4, 4, 1, 0, kTextureFormatARGB);
  ASSERT_NE(t, nullptr);
  for (uint32_t i = 0; i < 16; ++i) std::memcpy(t->pixelCopy + i * 4, &i, 4);
  EXPECT_TRUE(UpdateTextureRegion(t, -1, 2, 3, 5));  // columns 0..1, rows 2..3
  EXPECT_EQ(Words(FakeD3D_TextureBytes(t->texture), 16),
            (std::vector<uint32_t>{0, 0, 0, 0, 0, 0, 0, 0, 8, 9, 0, 0, 12, 13, 0, 0}));
  FakeD3D().log.clear();
  EXPECT_TRUE(UpdateTextureRegion(t, 4, 0, 2, 2));  // empty once cut
  EXPECT_TRUE(FakeD3D().log.empty());
  EXPECT_FALSE(UpdateTextureRegion(nullptr, 0, 0, 1, 1));
  FreeHardwareTexture(t);
}

TEST_F(HardwareTextureTest, BindingARenderedTextureResolvesItFirstAndCountsRealChanges) {
  HardwareTexture* target = CreateTexture(300, 200, 1, 1, kTextureFormatARGB);
  HardwareTexture* plain = CreateTexture(8, 8, 1, 0, kTextureFormatARGB);
  ASSERT_NE(target, nullptr);
  ASSERT_NE(plain, nullptr);
  ASSERT_TRUE(PushRenderTarget());
  ASSERT_TRUE(BindRenderTarget(0, target));
  EXPECT_EQ(target->flags & kTextureRendered, kTextureRendered);
  ASSERT_TRUE(PopRenderTarget());
  FakeD3D().log.clear();
  g_Debug.overlay.textureSwitches = 0;
  SetTextureStage(0, target);
  EXPECT_EQ(FakeD3D().log, (std::vector<std::string>{"GetSurfaceLevel tex1 0",
                                                     "StretchRect rt1 0,0,300,200 tex1.0 0,0,300,200 2",
                                                     "SetTexture 0 tex1"}));
  EXPECT_EQ(target->flags & kTextureRendered, 0u);
  EXPECT_EQ(g_Debug.overlay.textureSwitches, 1);
  FakeD3D().log.clear();
  SetTextureStage(1, target);  // resolved already, and the same texture
  EXPECT_EQ(FakeD3D().log, std::vector<std::string>{"SetTexture 1 tex1"});
  EXPECT_EQ(g_Debug.overlay.textureSwitches, 1);
  SetTextureStage(0, plain);
  EXPECT_EQ(g_Debug.overlay.textureSwitches, 2);
  FakeD3D().log.clear();
  SetTextureStage(9, plain);
  SetTextureStage(-1, plain);
  EXPECT_TRUE(FakeD3D().log.empty());
  SetTextureStage(0, nullptr);
  EXPECT_EQ(FakeD3D().log, std::vector<std::string>{"SetTexture 0 null"});
  FreeHardwareTexture(target);
  FreeHardwareTexture(plain);
}

TEST_F(HardwareTextureTest, FreeingATextureClearsEveryReferenceToIt) {
  HardwareTexture* target = CreateTexture(16, 16, 1, 1, kTextureFormatARGB);
  HardwareTexture* other = CreateTexture(16, 16, 1, 0, kTextureFormatARGB);
  ASSERT_NE(target, nullptr);
  ASSERT_TRUE(PushRenderTarget());
  ASSERT_TRUE(BindRenderTarget(0, target));
  ASSERT_TRUE(PushRenderTarget());  // level 1 saves the target
  SetTextureStage(0, target);
  g_VertexBatch.texture = target;
  EXPECT_EQ(g_HardwareTextures.list, other);
  FreeHardwareTexture(target);
  EXPECT_EQ(g_RenderTargets.bound[0], nullptr);
  EXPECT_EQ(g_RenderTargets.levels[1].textures[0], nullptr);
  EXPECT_EQ(g_VertexBatch.texture, nullptr);
  EXPECT_EQ(g_HardwareTextures.lastBound, nullptr);
  EXPECT_EQ(g_HardwareTextures.list, other);
  EXPECT_EQ(other->next, nullptr);
  PopAllRenderTargets();
  EXPECT_EQ(g_RenderTargets.bound[0], nullptr);
  FreeHardwareTexture(other);
  FreeHardwareTexture(nullptr);
  EXPECT_EQ(g_HardwareTextures.list, nullptr);
}

TEST_F(HardwareTextureTest, ReadSurfacePixelsGoesThroughATargetOfSidesRoundedTo8AndReturnsTheExactRegion) {
  const uint32_t* screen = PaintBackBuffer();
  int32_t width = 5, height = 3;
  uint8_t* block = ReadSurfacePixels(640, 480, 2, 1, &width, &height);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(FakeD3D().Lines("CreateRenderTarget"), std::vector<std::string>{"CreateRenderTarget 8 8 21 0 1"});
  EXPECT_EQ(FakeD3D().Lines("StretchRect"), std::vector<std::string>{"StretchRect backbuffer 2,1,7,4 rt1 0,0,5,3 2"});
  EXPECT_EQ(width, 5);
  EXPECT_EQ(height, 3);
  EXPECT_EQ(MemoryManager::GetSize(block), 5 * 3 * 4);
  const std::vector<uint32_t> words = Words(block, 15);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 5; ++c) EXPECT_EQ(words[r * 5 + c], screen[(1 + r) * 640 + 2 + c]) << r << "," << c;
  MemoryManager::Free(block);
}

TEST_F(HardwareTextureTest, ReadSurfacePixelsCutsTheRegionToTheAreaAndTheTarget) {
  const uint32_t* screen = PaintBackBuffer();
  struct Case {
    int32_t areaWidth, areaHeight, x, y, width, height;
    int32_t readWidth, readHeight;  // 0: no block
    uint32_t first;                 // the first pixel read
  };
  const Case cases[] = {
      {640, 480, -3, -2, 5, 3, 5, 3, screen[0]},           // negative corners count as 0
      {640, 480, 638, 479, 5, 3, 2, 1, screen[479 * 640 + 638]},
      {1000, 1000, 638, 0, 5, 3, 2, 3, screen[638]},       // cut to the back buffer too
      {100, 100, 98, 0, 5, 3, 2, 3, screen[98]},           // cut to the area
      {640, 480, 640, 0, 5, 3, 0, 0, 0},
      {640, 480, 0, 0, 0, 3, 0, 0, 0},
  };
  for (const Case& c : cases) {
    int32_t width = c.width, height = c.height;
    uint8_t* block = ReadSurfacePixels(c.areaWidth, c.areaHeight, c.x, c.y, &width, &height);
    if (c.readWidth == 0) {
      EXPECT_EQ(block, nullptr) << c.x << "," << c.y;
      continue;
    }
    ASSERT_NE(block, nullptr) << c.x << "," << c.y;
    EXPECT_EQ(width, c.readWidth);
    EXPECT_EQ(height, c.readHeight);
    EXPECT_EQ(Words(block, 1)[0], c.first);
    MemoryManager::Free(block);
  }
  // Without the display mode nothing is read.
  FakeD3D().Fail("GetAdapterDisplayMode", D3DERR_NOTAVAILABLE);
  int32_t width = 1, height = 1;
  EXPECT_EQ(ReadSurfacePixels(640, 480, 0, 0, &width, &height), nullptr);
}

TEST_F(HardwareTextureTest, ReadSurfacePixelsReadsTheTextureBoundAsTarget) {
  HardwareTexture* target = CreateTexture(16, 16, 1, 1, kTextureFormatARGB);
  ASSERT_NE(target, nullptr);
  uint32_t* words = reinterpret_cast<uint32_t*>(FakeD3D_SurfaceBytes(target->surface));
  words[3 * 16 + 2] = 0x80FF8040;
  ASSERT_TRUE(PushRenderTarget());
  ASSERT_TRUE(BindRenderTarget(0, target));
  FakeD3D().log.clear();
  int32_t width = 20, height = 20;
  uint8_t* block = ReadSurfacePixels(640, 480, 2, 3, &width, &height);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(width, 14);
  EXPECT_EQ(height, 13);
  EXPECT_EQ(FakeD3D().Lines("StretchRect"), std::vector<std::string>{"StretchRect rt1 2,3,16,16 rt2 0,0,14,13 2"});
  EXPECT_EQ(Words(block, 1)[0], 0x80FF8040u);
  MemoryManager::Free(block);
  PopAllRenderTargets();
  FreeHardwareTexture(target);
}

TEST_F(HardwareTextureTest, ReadTexturePixelsKeepsTheRequestedSizeWithTheRegionTopLeft) {
  HardwareTexture* t = FromBlob(RawBlob(3, 2, 0, kRgba));
  ASSERT_NE(t, nullptr);
  uint8_t* block = ReadTexturePixels(t, 2, 0, 6, 3);  // columns 2..3 of the 4-wide texture
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(MemoryManager::GetSize(block), 6 * 3 * 4);
  EXPECT_EQ(Words(block, 18),
            (std::vector<uint32_t>{kArgb[2], 0, 0, 0, 0, 0, kArgb[5], 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  MemoryManager::Free(block);

  // 16-bit pixels come back widened to 32 bits.
  HardwareTexture* t16 = FromBlob(RawBlob(3, 2, 1, kBgra4));
  ASSERT_NE(t16, nullptr);
  block = GraphicsReadTexturePixels(t16, -5, 0, 2, 1);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(Words(block, 2), (std::vector<uint32_t>{0x11223344, 0x55667788}));
  MemoryManager::Free(block);

  struct Case {
    int32_t x, y, width, height;
  };
  const Case refused[] = {{0, 0, 0, 1}, {0, 0, 1, -1}, {0, 0, 8193, 1}, {4, 0, 1, 1}, {0, 2, 1, 1}};
  for (const Case& c : refused) EXPECT_EQ(ReadTexturePixels(t, c.x, c.y, c.width, c.height), nullptr) << c.x;
  EXPECT_EQ(ReadTexturePixels(nullptr, 0, 0, 1, 1), nullptr);
  FakeD3D().Fail("GetAdapterDisplayMode", D3DERR_NOTAVAILABLE);
  EXPECT_EQ(ReadTexturePixels(t, 0, 0, 1, 1), nullptr);
  FreeHardwareTexture(t);
  FreeHardwareTexture(t16);
}

TEST_F(HardwareTextureTest, ReadTexturePixelsOfARenderTargetCopiesItsSurfaceIntoALockableTarget) {
  HardwareTexture* target = CreateTexture(16, 8, 1, 1, kTextureFormatARGB);
  ASSERT_NE(target, nullptr);
  uint32_t* words = reinterpret_cast<uint32_t*>(FakeD3D_SurfaceBytes(target->surface));
  for (uint32_t i = 0; i < 16 * 8; ++i) words[i] = 0xFF000000u | i;
  FakeD3D().log.clear();
  uint8_t* block = ReadTexturePixels(target, 14, 6, 4, 3);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(FakeD3D().Lines("CreateRenderTarget"), std::vector<std::string>{"CreateRenderTarget 4 3 21 0 1"});
  EXPECT_EQ(FakeD3D().Lines("StretchRect"), std::vector<std::string>{"StretchRect rt1 14,6,16,8 rt2 0,0,2,2 2"});
  EXPECT_EQ(Words(block, 12), (std::vector<uint32_t>{0xFF00006E, 0xFF00006F, 0, 0, 0xFF00007E, 0xFF00007F, 0, 0, 0,
                                                     0, 0, 0}));
  MemoryManager::Free(block);
  FakeD3D().Fail("StretchRect", D3DERR_INVALIDCALL);
  EXPECT_EQ(ReadTexturePixels(target, 0, 0, 4, 3), nullptr);
  FreeHardwareTexture(target);
}

TEST_F(HardwareTextureTest, CopyTextureRegionShiftsNegativeCornersAndCutsToBothTextures) {
  HardwareTexture* source = CreateTexture(16, 8, 1, 1, kTextureFormatARGB);       // rt1
  HardwareTexture* destination = CreateTexture(32, 8, 1, 1, kTextureFormatARGB);  // rt2
  ASSERT_NE(source, nullptr);
  ASSERT_NE(destination, nullptr);
  struct Case {
    int32_t dx, dy, sx, sy, width, height;
    const char* copy;  // null: nothing copied
  };
  const Case cases[] = {
      {10, 0, -4, 0, 20, 5, "StretchRect rt1 0,0,16,5 rt2 14,0,30,5 2"},  // source x -4: 4 further right, 4 less wide
      {-3, 2, 0, 0, 8, 8, "StretchRect rt1 3,0,8,6 rt2 0,2,5,8 2"},
      {30, 0, 0, 0, 8, 8, "StretchRect rt1 0,0,2,8 rt2 30,0,32,8 2"},
      {0, -2, 1, -3, 4, 8, "StretchRect rt1 1,0,5,5 rt2 0,1,4,6 2"},
      {0, 0, 16, 0, 4, 4, nullptr},
      {0, 0, 0, 0, 0, 4, nullptr},
      {0, 0, -4, 0, 4, 4, nullptr},
  };
  for (const Case& c : cases) {
    FakeD3D().log.clear();
    destination->flags = kTextureDefaultPool;
    CopyTextureRegion(destination, c.dx, c.dy, source, c.sx, c.sy, c.width, c.height);
    if (c.copy == nullptr) {
      EXPECT_TRUE(FakeD3D().log.empty()) << c.dx << "," << c.sx;
      continue;
    }
    EXPECT_EQ(FakeD3D().log, std::vector<std::string>{c.copy});
    EXPECT_EQ(destination->flags & kTextureRendered, kTextureRendered);
  }
  FreeHardwareTexture(source);
  FreeHardwareTexture(destination);
}

TEST_F(HardwareTextureTest, TheScreenReadersTakeTheViewAreaOrTheDisplayAndSwapRedAndBlue) {
  uint32_t* screen = PaintBackBuffer();
  screen[4 * 640 + 3] = 0x11223344;
  EXPECT_EQ(GR_GetScreenPixel(3, 4), 0x11443322u);
  EXPECT_EQ(GR_GetScreenPixel(640, 4), 0u);

  // The view area is 640 x 480 since start-up.
  std::unique_ptr<TBitmap> bitmap = GR_CreateTBitmapFromScreen(630, 475, 20, 20);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->GetWidth(), 10);
  EXPECT_EQ(bitmap->GetHeight(), 5);
  EXPECT_EQ(bitmap->GetFormat(), kBitmapFormat32);
  int32_t stride = 0;
  uint8_t* row = nullptr;
  bitmap->Lock(4, &row, &stride);
  EXPECT_EQ(Words(row, 10)[9], screen[479 * 640 + 639]);
  bitmap = GR_CreateTBitmapFromScreen(-5, -5, 2, 2);
  ASSERT_NE(bitmap, nullptr);
  bitmap->Lock(0, &row, &stride);
  EXPECT_EQ(Words(row, 1)[0], screen[0]);
  EXPECT_EQ(GR_CreateTBitmapFromScreen(640, 0, 5, 5), nullptr);
  EXPECT_EQ(GR_CreateTBitmapFromScreen(0, 0, 0, 5), nullptr);
}

TEST_F(HardwareTextureTest, BytesThatAreNoImageKeepARecordThatWrapsNoTexture) {
  const std::vector<uint8_t> bytes = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
  TextureInfo info;
  HardwareTexture* t = CreateTextureFromBlob(bytes.data(), bytes.size(), &info, 6);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->texture, nullptr);
  EXPECT_EQ(t->pixelCopy, nullptr);
  EXPECT_EQ(info.width, 0);
  EXPECT_EQ(info.format, 6);
  EXPECT_EQ(g_HardwareTextures.list, t);
  FakeD3D().log.clear();
  SetTextureStage(0, t);
  EXPECT_EQ(FakeD3D().log, std::vector<std::string>{"SetTexture 0 null"});
  const uint32_t pixel = 0;
  EXPECT_FALSE(UploadPixels(t, 0, 1, 1, &pixel));
  EXPECT_FALSE(UpdateTextureRegion(t, 0, 0, 1, 1));
  EXPECT_EQ(ReadTexturePixels(t, 0, 0, 1, 1), nullptr);
  FreeHardwareTexture(t);
  EXPECT_NE(CreateTextureFromBlob(nullptr, 0, &info, 6), nullptr);
}

testsupport::PngImage Png(uint32_t width, uint32_t height, int colourType, std::vector<uint8_t> rows) {
  testsupport::PngImage png;
  png.width = width;
  png.height = height;
  png.colourType = colourType;
  png.rows = std::move(rows);
  return png;
}

TEST_F(HardwareTextureTest, ImageFilesBecomeTexturesOfTheirOwnSizeWithTheirKindInTheInfo) {
  using testsupport::MakeBMP;
  using testsupport::MakeDDS;
  using testsupport::MakeJPEG;
  using testsupport::MakePNG;
  std::vector<uint8_t> dxt5(16, 0);
  dxt5[0] = dxt5[1] = 0x80;  // alpha 0x80
  dxt5[8] = 0x1F;            // blue
  dxt5[10] = 0x1F;
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    int32_t width, height, mipLevels, kind;
    std::vector<uint32_t> row;  // 0xAARRGGBB
  };
  const Case cases[] = {
      {"PNG", MakePNG(Png(3, 1, 6, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12})), 3, 1, 1, 3,
       {0x04010203, 0x08050607, 0x0C090A0B}},
      {"JPEG", MakeJPEG(1, 1, 1, {0x7F}), 1, 1, 1, 1, {0xFF7F7F7F}},
      {"BMP", MakeBMP(2, 1, 24, {}, {1, 2, 3, 4, 5, 6}), 2, 1, 1, 0, {0xFF030201, 0xFF060504}},
      {"DDS", MakeDDS(1, 1, "DXT5", dxt5, 4), 1, 1, 4, 4, {0x800000FF}},
  };
  for (const Case& c : cases) {
    FakeD3D().log.clear();
    FakeD3D().textures = 0;
    const std::vector<uint8_t> original = c.file;
    TextureInfo info;
    HardwareTexture* t = CreateTextureFromBlob(c.file.data(), c.file.size(), &info, 6);
    ASSERT_NE(t, nullptr) << c.name;
    ASSERT_NE(t->texture, nullptr) << c.name;
    EXPECT_EQ(c.file, original);
    const TextureInfo expected = {c.width, c.height, 32, c.mipLevels, 6, 3, c.kind};
    EXPECT_EQ(std::memcmp(&info, &expected, sizeof info), 0) << c.name;
    EXPECT_EQ(FakeD3D().log.at(0), "CreateTexture " + std::to_string(c.width) + " " + std::to_string(c.height) +
                                        " 1 0x0 21 1")
        << c.name;
    EXPECT_EQ(HardwareTexture_Width(t), c.width);
    EXPECT_EQ(HardwareTexture_Height(t), c.height);
    EXPECT_EQ(t->format, 6);
    EXPECT_EQ(t->flags, kTextureManagedPool);
    EXPECT_EQ(t->pixelCopy, nullptr);
    ASSERT_NE(t->surface, nullptr);
    EXPECT_EQ(Words(FakeD3D_TextureBytes(t->texture), c.row.size()), c.row) << c.name;
    // Read back through the same operations as every texture.
    uint8_t* block = ReadTexturePixels(t, 0, 0, static_cast<int32_t>(c.row.size()), 1);
    EXPECT_EQ(Words(block, c.row.size()), c.row) << c.name;
    MemoryManager::Free(block);
    FreeHardwareTexture(t);
  }
}

TEST_F(HardwareTextureTest, AnImageThatCannotBeMadeKeepsARecordThatWrapsNothingAndLeavesNothingBehind) {
  const std::vector<uint8_t> png = testsupport::MakePNG(Png(2, 1, 0, {0x40, 0x80}));
  std::vector<uint8_t> damaged = png;
  damaged.resize(40);
  struct Case {
    const char* why;
    std::vector<uint8_t> file;
    const char* failing;  // a device operation made to fail
  };
  const Case cases[] = {
      {"truncated PNG", damaged, nullptr},
      {"wider than the device makes", testsupport::MakePNG(Png(4097, 1, 0, std::vector<uint8_t>(4097, 0x40))), nullptr},
      {"the device refuses the texture", png, "CreateTexture"},
      {"the texture cannot be filled", png, "LockRect"},
  };
  for (const Case& c : cases) {
    const int32_t blocks = MemoryManager::BlockCount;
    if (c.failing != nullptr) FakeD3D().Fail(c.failing, D3DERR_INVALIDCALL);
    TextureInfo info;
    HardwareTexture* t = CreateTextureFromBlob(c.file.data(), c.file.size(), &info, 6);
    ASSERT_NE(t, nullptr) << c.why;
    EXPECT_EQ(t->texture, nullptr) << c.why;
    EXPECT_EQ(t->surface, nullptr) << c.why;
    const TextureInfo expected = {0, 0, 0, 0, 6, -1, 6};
    EXPECT_EQ(std::memcmp(&info, &expected, sizeof info), 0) << c.why;
    FakeD3D().log.clear();
    SetTextureStage(0, t);  // binds nothing
    EXPECT_EQ(FakeD3D().log, std::vector<std::string>{"SetTexture 0 null"});
    FreeHardwareTexture(t);
    EXPECT_EQ(MemoryManager::BlockCount, blocks) << c.why;
  }
  // In the default pool an image goes up through a system-memory texture; without one, nothing is kept.
  UseDefaultPool();
  TextureInfo info;
  HardwareTexture* t = CreateTextureFromBlob(png.data(), png.size(), &info, 6);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(FakeD3D().Count("UpdateTexture tex2 tex1"), 1);
  EXPECT_EQ(Words(FakeD3D_TextureBytes(t->texture), 2), (std::vector<uint32_t>{0xFF404040, 0xFF808080}));
  EXPECT_EQ(t->flags, kTextureDefaultPool);
  FreeHardwareTexture(t);
  FakeD3D().Fail("CreateTexture", D3D_OK);
  FakeD3D().Fail("CreateTexture", D3DERR_OUTOFVIDEOMEMORY);
  t = CreateTextureFromBlob(png.data(), png.size(), &info, 6);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->texture, nullptr);
  FreeHardwareTexture(t);
}

TEST_F(HardwareTextureTest, AnEmbeddedFileIndexWithoutEntryGivesNoTexture) {
  EmbeddedFiles_SetTable(EmbeddedFiles_ProgramTable());
  EXPECT_EQ(EmbeddedFiles_CreateTexture(17), nullptr);
  EXPECT_EQ(EmbeddedFiles_CreateTexture(-1), nullptr);
  EXPECT_EQ(g_HardwareTextures.list, nullptr);
}

}  // namespace
