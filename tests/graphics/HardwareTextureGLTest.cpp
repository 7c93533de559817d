// Hardware textures on headless OpenGL, read back as pixels: render targets through the target
// stack (also multisampled), "RAW " blobs through upload, copy and sampling, surface and texture
// read-back, region copies and the screen pixel. Colours given to GraphicsClear are script
// colours 0xAABBGGRR; pixels read back are device words 0xAARRGGBB.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/VCL.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_DDS.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Transform.h"
#include "platform/MemoryManager.h"
#include "testlib/GraphicsFixtures.h"

namespace {

constexpr int32_t kScreen = 320;

struct Colour {
  uint32_t script;  // 0xAABBGGRR
  uint32_t device;  // 0xAARRGGBB
};
constexpr Colour kRed = {0xFF0000FF, 0xFFFF0000};
constexpr Colour kGreen = {0xFF00FF00, 0xFF00FF00};
constexpr Colour kBlue = {0xFFFF0000, 0xFF0000FF};
constexpr Colour kGrey = {0xFF404040, 0xFF404040};
constexpr Colour kOrange = {0xFF3080F0, 0xFFF08030};

std::vector<uint32_t> Words(const uint8_t* block, size_t count) {
  std::vector<uint32_t> words(count);
  if (block != nullptr) std::memcpy(words.data(), block, count * 4);
  return words;
}

std::vector<uint8_t> RawBlob(uint32_t width, uint32_t height, uint32_t kind, const std::vector<uint8_t>& pixels) {
  std::vector<uint8_t> blob(16);
  const uint32_t header[4] = {0x20574152, width, height, kind};
  std::memcpy(blob.data(), header, 16);
  blob.insert(blob.end(), pixels.begin(), pixels.end());
  return blob;
}

class HardwareTextureGLTest : public testsupport::HeadlessGLTest {
 protected:
  void SetUp() override {
    HeadlessGLTest::SetUp();
    ASSERT_TRUE(GR_D3D_Init(nullptr, kScreen, kScreen, 0));
    RenderStateCache::SetRenderState(kRS_AlphaBlend, 0);
  }

  // Clears a rectangle of the current target to a colour, through the viewport.
  static void Fill(int32_t x, int32_t y, int32_t width, int32_t height, const Colour& colour) {
    GR_SetViewport(x, y, width, height);
    GraphicsClear(colour.script, 1.0f, 0, 1);
  }

  // Makes the whole of a width x height target current for 2-D drawing in pixels.
  static void View(int32_t width, int32_t height) {
    GR_SetViewport(0, 0, width, height);
    GR_SetViewArea(0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height), 0.0f);
  }

  // Draws a white rectangle (textured by stage 0 when a texture is bound there) with texture
  // coordinates (0, 0) to (u1, v1).
  static void DrawRect(float x0, float y0, float x1, float y1, float u1 = 1.0f, float v1 = 1.0f) {
    GraphicsFlush();
    struct Vertex {
      float x, y, z;
      uint32_t colour;
      float u, v;
    };
    const Vertex vertices[4] = {{x0, y0, 0, 0xFFFFFFFF, 0, 0},
                                {x1, y0, 0, 0xFFFFFFFF, u1, 0},
                                {x0, y1, 0, 0xFFFFFFFF, 0, v1},
                                {x1, y1, 0, 0xFFFFFFFF, u1, v1}};
    IDirect3DDevice9* device = g_GraphicsDevice.device;
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(sizeof vertices, D3DUSAGE_WRITEONLY, 0x142, D3DPOOL_MANAGED, &buffer), D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
    std::memcpy(data, vertices, sizeof vertices);
    buffer->Unlock();
    device->SetStreamSource(0, buffer, 0, sizeof(Vertex));
    device->SetFVF(0x142);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    device->SetStreamSource(0, nullptr, 0, 0);
    buffer->Release();
  }

  // The words of a region of the current target.
  static std::vector<uint32_t> Screen(int32_t x, int32_t y, int32_t width, int32_t height) {
    int32_t w = width, h = height;
    uint8_t* block = ReadSurfacePixels(kScreen, kScreen, x, y, &w, &h);
    EXPECT_NE(block, nullptr);
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
    std::vector<uint32_t> words = Words(block, static_cast<size_t>(width) * height);
    MemoryManager::Free(block);
    return words;
  }

  static std::vector<uint32_t> TexturePixels(HardwareTexture* t, int32_t x, int32_t y, int32_t width, int32_t height) {
    uint8_t* block = ReadTexturePixels(t, x, y, width, height);
    EXPECT_NE(block, nullptr);
    std::vector<uint32_t> words = Words(block, static_cast<size_t>(width) * height);
    MemoryManager::Free(block);
    return words;
  }

  // The colour of one texel of the device texture itself (not of a render target's surface).
  static uint32_t Texel(HardwareTexture* t, int32_t x, int32_t y) {
    D3DLOCKED_RECT locked;
    const D3DRECT rect = {x, y, x + 1, y + 1};
    if (D3D_Failed(t->texture->LockRect(0, &locked, &rect, D3DLOCK_READONLY))) return 0xDEADBEEF;
    uint32_t word;
    std::memcpy(&word, locked.pBits, 4);
    t->texture->UnlockRect(0);
    return word;
  }
};

TEST_F(HardwareTextureGLTest, ARenderTargetKeepsItsExactSizeThroughPushBindDrawAndPopAlsoMultisampled) {
  for (int32_t samples : {0, 4}) {
    GraphicsSetMultisample(samples);
    ASSERT_TRUE(GR_D3D_Reset());
    RenderStateCache::SetRenderState(kRS_AlphaBlend, 0);
    Fill(0, 0, kScreen, kScreen, kGrey);
    HardwareTexture* target = CreateTexture(300, 200, 1, 1, kTextureFormatARGB);
    ASSERT_NE(target, nullptr) << samples;
    EXPECT_EQ(HardwareTexture_Width(target), 300);
    EXPECT_EQ(HardwareTexture_Height(target), 200);

    ASSERT_TRUE(PushRenderTarget());
    ASSERT_TRUE(BindRenderTarget(0, target));
    // The device takes viewports up to the target's edge and none beyond it.
    const D3DVIEWPORT9 edge = {299, 199, 1, 1, 0.0f, 1.0f}, beyond = {300, 0, 1, 1, 0.0f, 1.0f};
    EXPECT_EQ(g_GraphicsDevice.device->SetViewport(&edge), D3D_OK);
    EXPECT_EQ(g_GraphicsDevice.device->SetViewport(&beyond), D3DERR_INVALIDCALL);
    Fill(0, 0, 300, 200, kGreen);
    Fill(290, 190, 10, 10, kBlue);
    View(300, 200);
    SetTextureStage(0, nullptr);
    DrawRect(0, 0, 10, 10);  // white
    ASSERT_TRUE(PopRenderTarget());
    EXPECT_EQ(g_RenderTargets.bound[0], nullptr);
    EXPECT_EQ(target->flags & kTextureRendered, kTextureRendered);

    // What the target holds, read from its colour surface.
    const std::vector<uint32_t> all = TexturePixels(target, 0, 0, 300, 200);
    EXPECT_EQ(all[0], 0xFFFFFFFFu) << samples;
    EXPECT_EQ(all[9 * 300 + 9], 0xFFFFFFFFu);
    EXPECT_EQ(all[10 * 300 + 10], kGreen.device);
    EXPECT_EQ(all[189 * 300 + 289], kGreen.device);
    EXPECT_EQ(all[190 * 300 + 290], kBlue.device);
    EXPECT_EQ(all[199 * 300 + 299], kBlue.device);

    // The texture itself receives it only when it is bound for drawing.
    EXPECT_EQ(Texel(target, 0, 0), 0u);
    View(kScreen, kScreen);
    SetTextureStage(0, target);
    EXPECT_EQ(target->flags & kTextureRendered, 0u);
    EXPECT_EQ(Texel(target, 0, 0), 0xFFFFFFFFu);
    DrawRect(0, 0, 300, 200);
    EXPECT_EQ(Screen(0, 0, 300, 200), all) << samples;
    EXPECT_EQ(Screen(300, 200, 1, 1)[0], kGrey.device);
    SetTextureStage(0, nullptr);
    FreeHardwareTexture(target);
  }
}

TEST_F(HardwareTextureGLTest, RawBlobsOfBothKindsReadBackAsTheirSourceColours) {
  struct Case {
    uint32_t kind;
    std::vector<uint8_t> pixels;
    std::vector<uint32_t> colours;  // 0xAARRGGBB, 3 x 2
  };
  const Case cases[] = {
      {0,
       {0x10, 0x20, 0x30, 0xFF, 0x11, 0x21, 0x31, 0xFE, 0x12, 0x22, 0x32, 0x80,
        0x13, 0x23, 0x33, 0x7F, 0x14, 0x24, 0x34, 0x01, 0x15, 0x25, 0x35, 0x00},
       {0xFF102030, 0xFE112131, 0x80122232, 0x7F132333, 0x01142434, 0x00152535}},
      // Nibbles B, G, R, A from the highest; each widens to twice itself.
      {1,
       {0x21, 0x43, 0x65, 0x87, 0xA9, 0xCB, 0x10, 0x32, 0x54, 0x76, 0x98, 0xBA},
       {0x11223344, 0x55667788, 0x99AABBCC, 0x00112233, 0x44556677, 0x8899AABB}},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> blob = RawBlob(3, 2, c.kind, c.pixels);
    TextureInfo info;
    HardwareTexture* t = CreateTextureFromBlob(blob.data(), blob.size(), &info, 6);
    ASSERT_NE(t, nullptr);
    // Copied on the device into a render target, and read from there.
    HardwareTexture* target = CreateTexture(3, 2, 1, 1, kTextureFormatARGB);
    ASSERT_NE(target, nullptr);
    CopyTextureRegion(target, 0, 0, t, 0, 0, 3, 2);
    EXPECT_EQ(TexturePixels(target, 0, 0, 3, 2), c.colours) << "kind " << c.kind;
    // Sampled one texel to a pixel.
    Fill(0, 0, kScreen, kScreen, kGrey);
    View(kScreen, kScreen);
    SetTextureStage(0, t);
    DrawRect(0, 0, 3, 2, 0.75f, 1.0f);
    EXPECT_EQ(Screen(0, 0, 3, 2), c.colours) << "kind " << c.kind;
    SetTextureStage(0, nullptr);
    FreeHardwareTexture(target);
    FreeHardwareTexture(t);
  }
}

TEST_F(HardwareTextureGLTest, ReadSurfacePixelsOf5x3ReturnsExactlyThoseWordsInBgraTopRowFirst) {
  for (int32_t samples : {0, 4}) {
    GraphicsSetMultisample(samples);
    ASSERT_TRUE(GR_D3D_Reset());
    Fill(0, 0, kScreen, kScreen, kGreen);
    Fill(2, 1, 1, 1, kRed);
    Fill(6, 3, 1, 1, kBlue);
    int32_t width = 5, height = 3;
    uint8_t* block = ReadSurfacePixels(kScreen, kScreen, 2, 1, &width, &height);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(width, 5);
    EXPECT_EQ(height, 3);
    EXPECT_EQ(MemoryManager::GetSize(block), 60);
    EXPECT_EQ(std::vector<uint8_t>(block, block + 4), (std::vector<uint8_t>{0x00, 0x00, 0xFF, 0xFF}));  // B, G, R, A
    std::vector<uint32_t> expected(15, kGreen.device);
    expected[0] = kRed.device;
    expected[14] = kBlue.device;
    EXPECT_EQ(Words(block, 15), expected) << samples;
    MemoryManager::Free(block);
  }
}

TEST_F(HardwareTextureGLTest, ACopyWithSourceXMinus4LandsFourFurtherRightAndFourNarrower) {
  HardwareTexture* source = CreateTexture(8, 4, 1, 1, kTextureFormatARGB);
  HardwareTexture* destination = CreateTexture(16, 4, 1, 0, kTextureFormatARGB);  // a plain texture
  ASSERT_NE(source, nullptr);
  ASSERT_NE(destination, nullptr);
  const std::vector<uint32_t> orange(16 * 4, kOrange.device);
  ASSERT_TRUE(UploadPixels(destination, 0, 16, 4, orange.data()));
  ASSERT_TRUE(PushRenderTarget());
  ASSERT_TRUE(BindRenderTarget(0, source));
  Fill(0, 0, 8, 4, kGreen);
  Fill(0, 0, 1, 4, kRed);
  ASSERT_TRUE(PopRenderTarget());

  CopyTextureRegion(destination, 2, 0, source, -4, 0, 8, 4);
  // Source columns 0..3 at destination columns 6..9; the texture's own pixels read it back.
  const std::vector<uint32_t> row = TexturePixels(destination, 0, 1, 16, 1);
  std::vector<uint32_t> expected(16, kOrange.device);
  expected[6] = kRed.device;
  for (int x = 7; x < 10; ++x) expected[x] = kGreen.device;
  EXPECT_EQ(row, expected);
  FreeHardwareTexture(source);
  FreeHardwareTexture(destination);
}

TEST_F(HardwareTextureGLTest, EightNestedTargetsKeepTheirOwnPixelsAndTheNinthPushFails) {
  const Colour colours[] = {kRed, kGreen, kBlue, kOrange};
  HardwareTexture* targets[8];
  Fill(0, 0, kScreen, kScreen, kGrey);
  for (int i = 0; i < 8; ++i) {
    targets[i] = CreateTexture(4 + i, 4, 1, 1, kTextureFormatARGB);
    ASSERT_NE(targets[i], nullptr);
    ASSERT_TRUE(PushRenderTarget()) << i;
    ASSERT_TRUE(BindRenderTarget(0, targets[i]));
    Fill(0, 0, 4 + i, 4, colours[i % 4]);
  }
  EXPECT_FALSE(PushRenderTarget());
  EXPECT_EQ(g_RenderTargets.depth, 8);
  for (int i = 7; i >= 0; --i) {
    EXPECT_EQ(g_RenderTargets.bound[0], targets[i]);
    ASSERT_TRUE(PopRenderTarget());
  }
  EXPECT_FALSE(PopRenderTarget());
  EXPECT_EQ(g_RenderTargets.bound[0], nullptr);
  View(kScreen, kScreen);
  EXPECT_EQ(Screen(0, 0, 1, 1)[0], kGrey.device);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(TexturePixels(targets[i], 3 + i, 3, 1, 1)[0], colours[i % 4].device) << i;
    FreeHardwareTexture(targets[i]);
  }
}

TEST_F(HardwareTextureGLTest, TheScreenPixelSwapsRedAndBlueAndFollowsTheCurrentTarget) {
  Fill(0, 0, kScreen, kScreen, kOrange);
  EXPECT_EQ(ReadBack(5, 5, 1, 1)[0], kOrange.device);
  EXPECT_EQ(GR_GetScreenPixel(5, 5), kOrange.script);
  HardwareTexture* target = CreateTexture(16, 16, 1, 1, kTextureFormatARGB);
  ASSERT_NE(target, nullptr);
  ASSERT_TRUE(PushRenderTarget());
  ASSERT_TRUE(BindRenderTarget(0, target));
  Fill(0, 0, 16, 16, kBlue);
  EXPECT_EQ(GR_GetScreenPixel(5, 5), kBlue.script);
  EXPECT_EQ(GR_GetScreenPixel(16, 5), 0u);  // outside the target
  ASSERT_TRUE(PopRenderTarget());
  EXPECT_EQ(GR_GetScreenPixel(16, 5), kOrange.script);
  FreeHardwareTexture(target);
}

// The device's copy: exact at the same size whatever the filter, blended only when linear and
// scaled, and refused where it cannot be made.
TEST_F(HardwareTextureGLTest, StretchRectCopiesExactlyAtTheSameSizeAndBlendsOnlyWhenLinearAndScaled) {
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  HardwareTexture* source = CreateTexture(2, 1, 1, 1, kTextureFormatARGB);
  HardwareTexture* destination = CreateTexture(8, 1, 1, 1, kTextureFormatARGB);
  ASSERT_NE(source, nullptr);
  ASSERT_NE(destination, nullptr);
  ASSERT_TRUE(PushRenderTarget());
  ASSERT_TRUE(BindRenderTarget(0, source));
  Fill(0, 0, 1, 1, kRed);
  Fill(1, 0, 1, 1, kBlue);
  ASSERT_TRUE(PopRenderTarget());
  constexpr uint32_t R = kRed.device, B = kBlue.device;
  struct Case {
    D3DRECT to;
    uint32_t filter;
    std::vector<uint32_t> row;
  };
  const Case cases[] = {
      {{3, 0, 5, 1}, D3DTEXF_LINEAR, {0, 0, 0, R, B, 0, 0, 0}},
      {{0, 0, 8, 1}, D3DTEXF_POINT, {R, R, R, R, B, B, B, B}},
      {{0, 0, 8, 1}, D3DTEXF_LINEAR, {R, R, 0xFFDF0020, 0xFF9F0060, 0xFF60009F, 0xFF2000DF, B, B}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(PushRenderTarget());
    ASSERT_TRUE(BindRenderTarget(0, destination));
    Fill(0, 0, 8, 1, {0, 0});
    ASSERT_TRUE(PopRenderTarget());
    ASSERT_EQ(device->StretchRect(source->surface, nullptr, destination->surface, &c.to, c.filter), D3D_OK);
    const std::vector<uint32_t> row = TexturePixels(destination, 0, 0, 8, 1);
    for (int x = 0; x < 8; ++x) {
      bool near = true;  // each channel within 2 (linear filtering may round either way)
      for (int shift = 0; shift < 32; shift += 8) {
        const int difference = static_cast<int>(row[x] >> shift & 0xFF) - static_cast<int>(c.row[x] >> shift & 0xFF);
        near = near && difference >= -2 && difference <= 2;
      }
      EXPECT_TRUE(near) << std::hex << row[x] << " at " << x << " filter " << c.filter;
    }
  }
  const D3DRECT outside = {7, 0, 9, 1}, empty = {2, 0, 2, 1};
  EXPECT_EQ(device->StretchRect(source->surface, nullptr, destination->surface, &outside, D3DTEXF_POINT),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device->StretchRect(source->surface, nullptr, destination->surface, &empty, D3DTEXF_POINT),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device->StretchRect(source->surface, nullptr, source->surface, nullptr, D3DTEXF_POINT), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->StretchRect(source->surface, nullptr, destination->depthSurface, nullptr, D3DTEXF_POINT),
            D3DERR_INVALIDCALL);
  // A multisampled surface is copied at its own size only, and never into.
  GraphicsSetMultisample(4);
  HardwareTexture* multisampled = CreateTexture(2, 1, 1, 1, kTextureFormatARGB);
  ASSERT_NE(multisampled, nullptr);
  EXPECT_EQ(device->StretchRect(multisampled->surface, nullptr, source->surface, nullptr, D3DTEXF_LINEAR), D3D_OK);
  EXPECT_EQ(device->StretchRect(multisampled->surface, nullptr, destination->surface, nullptr, D3DTEXF_LINEAR),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device->StretchRect(source->surface, nullptr, multisampled->surface, nullptr, D3DTEXF_POINT),
            D3DERR_INVALIDCALL);
  FreeHardwareTexture(multisampled);
  FreeHardwareTexture(source);
  FreeHardwareTexture(destination);
}

TEST_F(HardwareTextureGLTest, TheEmbeddedFontSheetReadsBackAsTheSharedDecoderDecodesIt) {
  EmbeddedFiles_SetTable(EmbeddedFiles_ProgramTable());
  const uint8_t* file = static_cast<const uint8_t*>(EmbeddedFiles_GetData(15));
  DdsImage image;
  ASSERT_TRUE(DDS_ReadHeader(file, EmbeddedFiles_GetSize(15), &image));
  std::vector<uint8_t> rgba(static_cast<size_t>(image.width) * image.height * 4);
  DDS_DecodeImage(image, rgba.data());
  std::vector<uint32_t> expected(rgba.size() / 4);
  for (size_t i = 0; i < expected.size(); ++i)
    expected[i] = static_cast<uint32_t>(rgba[i * 4 + 3]) << 24 | rgba[i * 4] << 16 | rgba[i * 4 + 1] << 8 | rgba[i * 4 + 2];

  ASSERT_NE(std::count(expected.begin(), expected.end(), expected[0]), static_cast<std::ptrdiff_t>(expected.size()));

  HardwareTexture* sheet = EmbeddedFiles_CreateTexture(15);
  ASSERT_NE(sheet, nullptr);
  ASSERT_NE(sheet->texture, nullptr);
  EXPECT_EQ(HardwareTexture_Width(sheet), 256);
  EXPECT_EQ(HardwareTexture_Height(sheet), 128);
  // Through the device: copied into a render target and read from there.
  HardwareTexture* target = CreateTexture(256, 128, 1, 1, kTextureFormatARGB);
  ASSERT_NE(target, nullptr);
  CopyTextureRegion(target, 0, 0, sheet, 0, 0, 256, 128);
  EXPECT_TRUE(TexturePixels(target, 0, 0, 256, 128) == expected);
  EXPECT_EQ(EmbeddedFiles_CreateTexture(17), nullptr);
  FreeHardwareTexture(target);
  FreeHardwareTexture(sheet);
}

}  // namespace
