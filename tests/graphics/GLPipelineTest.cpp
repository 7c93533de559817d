// The OpenGL back end's fixed-function pipeline, headless, read back as pixels: states set
// through the render-state cache (and the device where no setter exists yet), drawn through the
// device's vertex buffers in the start-up 2-D view of a 32 x 32 back buffer, where room
// coordinates are pixels and y grows downwards.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Transform.h"
#include "testlib/GraphicsFixtures.h"

namespace {

constexpr int32_t kSize = 32;
constexpr uint32_t kLayout2D = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;  // 0x142
constexpr uint32_t kLayout3D = kLayout2D | D3DFVF_NORMAL;                  // 0x152
constexpr uint32_t kLayoutPlain = D3DFVF_XYZ | D3DFVF_DIFFUSE;             // 0x42

struct Vertex {
  float x, y, z;
  uint32_t colour;  // 0xAARRGGBB
  float u = 0.0f, v = 0.0f;
  float nx = 0.0f, ny = 0.0f, nz = -1.0f;  // towards the eye
};

std::string Hex(uint32_t argb) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", argb);
  return text;
}

// Each channel within `tolerance` (blending may be off by one).
::testing::AssertionResult Near(uint32_t actual, uint32_t expected, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int a = static_cast<int>((actual >> shift) & 0xFF), e = static_cast<int>((expected >> shift) & 0xFF);
    if (a - e > tolerance || e - a > tolerance)
      return ::testing::AssertionFailure() << Hex(actual) << " is not " << Hex(expected) << " +-" << tolerance;
  }
  return ::testing::AssertionSuccess();
}

class PipelineTest : public testsupport::HeadlessGLTest {
 protected:
  void SetUp() override {
    HeadlessGLTest::SetUp();
    ASSERT_TRUE(GR_D3D_Init(nullptr, kSize, kSize, 0));
    device = g_GraphicsDevice.device;
  }
  void TearDown() override {
    for (HardwareTexture& texture : m_textures) texture.texture->Release();
    m_textures.clear();
    HeadlessGLTest::TearDown();
  }

  // Clears colour, depth (1.0) and stencil (0); `argb` 0xAARRGGBB.
  static void Clear(uint32_t argb) {
    GraphicsClear((argb & 0xFF00FF00u) | ((argb & 0xFF) << 16) | ((argb >> 16) & 0xFF), 1.0f, 0, 7);
  }

  // Applies the cached states and draws from a new vertex buffer.
  HRESULT Draw(uint32_t type, uint32_t count, const std::vector<Vertex>& vertices, uint32_t fvf = kLayout2D) {
    GraphicsFlush();
    std::vector<uint8_t> bytes;
    auto put = [&bytes](const void* data, size_t size) {
      const uint8_t* p = static_cast<const uint8_t*>(data);
      bytes.insert(bytes.end(), p, p + size);
    };
    for (const Vertex& v : vertices) {
      put(&v.x, 12);
      if (fvf & D3DFVF_NORMAL) put(&v.nx, 12);
      if (fvf & D3DFVF_DIFFUSE) put(&v.colour, 4);
      if (fvf & D3DFVF_TEX1) put(&v.u, 8);
    }
    IDirect3DVertexBuffer9* buffer = nullptr;
    HRESULT result = device->CreateVertexBuffer(static_cast<uint32_t>(bytes.size()), D3DUSAGE_WRITEONLY, fvf,
                                                D3DPOOL_MANAGED, &buffer);
    if (D3D_Failed(result)) return result;
    void* data = nullptr;
    result = buffer->Lock(0, 0, &data, 0);
    if (!D3D_Failed(result)) {
      std::memcpy(data, bytes.data(), bytes.size());
      buffer->Unlock();
      device->SetStreamSource(0, buffer, 0, static_cast<uint32_t>(bytes.size() / vertices.size()));
      device->SetFVF(fvf);
      result = device->DrawPrimitive(type, 0, count);
      device->SetStreamSource(0, nullptr, 0, 0);
    }
    buffer->Release();
    return result;
  }

  // A rectangle as a triangle strip, texture coordinates (u0, v0) at the top left to (u1, v1).
  static std::vector<Vertex> Rect(float x0, float y0, float x1, float y1, uint32_t colour, float z = 0.0f,
                                  float u0 = 0.0f, float v0 = 0.0f, float u1 = 1.0f, float v1 = 1.0f) {
    return {{x0, y0, z, colour, u0, v0},
            {x1, y0, z, colour, u1, v0},
            {x0, y1, z, colour, u0, v1},
            {x1, y1, z, colour, u1, v1}};
  }
  void DrawRect(float x0, float y0, float x1, float y1, uint32_t colour, float z = 0.0f) {
    ASSERT_EQ(Draw(D3DPT_TRIANGLESTRIP, 2, Rect(x0, y0, x1, y1, colour, z)), D3D_OK);
  }

  uint32_t Pixel(int32_t x, int32_t y) {
    const std::vector<uint32_t> pixels = ReadBack(x, y, 1, 1);
    return pixels.empty() ? 0xDEADBEEF : pixels[0];
  }

  // A texture of width x height pixels (0xAARRGGBB, rows from the top), kept until the test ends.
  HardwareTexture* MakeTexture(uint32_t width, uint32_t height, const std::vector<uint32_t>& pixels) {
    HardwareTexture texture;
    EXPECT_EQ(device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture.texture), D3D_OK);
    if (texture.texture == nullptr) return nullptr;
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture.texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (uint32_t row = 0; row < height; ++row)
      std::memcpy(static_cast<uint8_t*>(locked.pBits) + row * static_cast<size_t>(locked.Pitch),
                  pixels.data() + row * width, width * 4);
    EXPECT_EQ(texture.texture->UnlockRect(0), D3D_OK);
    m_textures.push_back(texture);
    return &m_textures.back();
  }

  IDirect3DDevice9* device = nullptr;

 private:
  std::vector<HardwareTexture> m_textures;
};

TEST_F(PipelineTest, BlendModesMixColourAndAlphaWithTheSameFactors) {
  struct Case {
    int32_t mode;
    uint32_t expected;
  };
  // Source (200, 100, 0) at alpha 128 over (40, 120, 200) at alpha 255; alpha 0.5 over 1.0 leaves 191.
  const Case cases[] = {
      {0, 0xBF786E64},  // a s + (1 - a) d
      {1, 0xFF8CAAC8},  // a s + d
      {2, 0xBF6D7BC8},  // a s + (1 - s) d
      {3, 0x7F0949C8},  // (1 - s) d
      {7, 0xBF786E64},  // as 0
  };
  for (const Case& c : cases) {
    Clear(0xFF2878C8);
    GR_SetBlendMode(c.mode);
    DrawRect(0, 0, kSize, kSize, 0x80C86400);
    EXPECT_TRUE(Near(Pixel(5, 7), c.expected, 1)) << "mode " << c.mode;
  }
  // Without blending the source replaces what was there.
  Clear(0xFF2878C8);
  RenderStateCache::SetRenderState(kRS_AlphaBlend, 0);
  DrawRect(0, 0, kSize, kSize, 0x80C86400);
  EXPECT_EQ(Pixel(5, 7), 0x80C86400u);
}

TEST_F(PipelineTest, TheAlphaTestComparesTheRoundedAlphaWithTheReference) {
  struct Case {
    bool on;
    uint32_t compare;
    uint32_t alpha;
    bool kept;
  };
  const Case cases[] = {
      {true, D3DCMP_GREATER, 102, false},  // 0.4
      {true, D3DCMP_GREATER, 153, true},   // 0.6
      {true, D3DCMP_GREATER, 128, false}, {true, D3DCMP_GREATEREQUAL, 128, true}, {true, D3DCMP_EQUAL, 128, true},
      {true, D3DCMP_LESS, 102, true},     {true, D3DCMP_NEVER, 255, false},       {false, D3DCMP_GREATER, 102, true},
  };
  RenderStateCache::SetRenderState(kRS_AlphaBlend, 0);
  GR_SetAlphaTestRef(128);
  for (const Case& c : cases) {
    Clear(0xFF000000);
    GR_SetAlphaTest(c.on);
    GR_SetAlphaTestFunc(c.compare);
    const uint32_t colour = (c.alpha << 24) | 0xFFFFFF;
    DrawRect(0, 0, kSize, kSize, colour);
    EXPECT_EQ(Pixel(16, 16), c.kept ? colour : 0xFF000000u) << c.compare << " " << c.alpha;
  }
  // Alpha 182 modulated by a texel of alpha 182 is 129.9: it rounds to 130.
  SetTextureStage(0, MakeTexture(1, 1, {0xB6FFFFFF}));
  GR_SetAlphaTest(true);
  GR_SetAlphaTestFunc(D3DCMP_EQUAL);
  GR_SetAlphaTestRef(130);
  Clear(0xFF000000);
  DrawRect(0, 0, kSize, kSize, 0xB6FFFFFF);
  EXPECT_NE(Pixel(16, 16), 0xFF000000u);
}

// A triangle is clockwise when its corners turn clockwise as seen on the screen (y down).
TEST_F(PipelineTest, CullingDropsTheTrianglesThatTurnTheCulledWay) {
  struct Case {
    uint32_t cached;  // index 8: 0 none, 1 clockwise, 2 counter-clockwise
    bool clockwiseDrawn, counterClockwiseDrawn;
  };
  const Case cases[] = {{0, true, true}, {1, false, true}, {2, true, false}};
  const std::vector<Vertex> clockwise = {{0, 0, 0, 0xFF00FF00}, {16, 0, 0, 0xFF00FF00}, {0, 16, 0, 0xFF00FF00}};
  const std::vector<Vertex> counterClockwise = {
      {16, 16, 0, 0xFF0000FF}, {16, 32, 0, 0xFF0000FF}, {32, 16, 0, 0xFF0000FF}};
  for (const Case& c : cases) {
    Clear(0xFF000000);
    RenderStateCache::SetRenderState(kRS_Culling, c.cached);
    ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, 1, clockwise), D3D_OK);
    ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, 1, counterClockwise), D3D_OK);
    EXPECT_EQ(Pixel(3, 3), c.clockwiseDrawn ? 0xFF00FF00u : 0xFF000000u) << c.cached;
    EXPECT_EQ(Pixel(19, 19), c.counterClockwiseDrawn ? 0xFF0000FFu : 0xFF000000u) << c.cached;
  }
  // The setter culls counter-clockwise triangles.
  Clear(0xFF000000);
  GR_3D_SetCulling(true);
  ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, 1, counterClockwise), D3D_OK);
  EXPECT_EQ(Pixel(19, 19), 0xFF000000u);
}

TEST_F(PipelineTest, WithTheDepthTestTheNearerRectangleWinsUnlessDepthWritesAreOff) {
  struct Case {
    bool writes;
    bool nearFirst;
    uint32_t overlap;
  };
  constexpr uint32_t kNear = 0xFF00FF00, kFar = 0xFFFF0000;
  const Case cases[] = {{true, true, kNear}, {true, false, kNear}, {false, true, kFar}};
  g_RenderStates.mode3D = true;
  GR_3D_SetHidden(true);
  for (const Case& c : cases) {
    Clear(0xFF000000);
    GR_3D_SetZWriteEnable(c.writes);
    for (int i = 0; i < 2; ++i) {
      if ((i == 0) == c.nearFirst) {
        DrawRect(0, 0, 20, 20, kNear, -100.0f);
      } else {
        DrawRect(10, 10, 30, 30, kFar, 100.0f);
      }
    }
    EXPECT_EQ(Pixel(15, 15), c.overlap) << c.writes << c.nearFirst;
    EXPECT_EQ(Pixel(5, 5), kNear);
    EXPECT_EQ(Pixel(25, 25), kFar);
  }
}

TEST_F(PipelineTest, FlatShadingTakesTheFirstVertexColourAndGouraudMixesThem) {
  const std::vector<Vertex> triangle = {{0, 0, 0, 0xFFFF0000}, {32, 0, 0, 0xFF00FF00}, {0, 32, 0, 0xFF0000FF}};
  GR_3D_SetShading(false);
  Clear(0xFF000000);
  ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, 1, triangle), D3D_OK);
  for (const auto& [x, y] : {std::pair{2, 2}, std::pair{26, 2}, std::pair{2, 26}}) EXPECT_EQ(Pixel(x, y), 0xFFFF0000u);

  GR_3D_SetShading(true);
  Clear(0xFF000000);
  ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, 1, triangle), D3D_OK);
  // Near each corner its colour leads; pixel (10, 10) is near the middle.
  const uint32_t nearGreen = Pixel(26, 2), nearBlue = Pixel(2, 26), middle = Pixel(10, 10);
  EXPECT_GT((nearGreen >> 8) & 0xFF, 200u) << Hex(nearGreen);
  EXPECT_GT(nearBlue & 0xFF, 200u) << Hex(nearBlue);
  for (int shift : {0, 8, 16}) EXPECT_NEAR(static_cast<int>((middle >> shift) & 0xFF), 85, 25) << Hex(middle);
}

TEST_F(PipelineTest, TheColourWriteMaskKeepsTheMaskedChannels) {
  Clear(0x40302010);
  RenderStateCache::SetRenderState(kRS_AlphaBlend, 0);
  GR_SetColourWriteEnable(true, false, true, false);
  DrawRect(0, 0, kSize, kSize, 0xFFFFFFFF);
  EXPECT_EQ(Pixel(8, 8), 0x40FF20FFu);
}

TEST_F(PipelineTest, StencilIncrementsWhereDrawnAndAnEqualTestDrawsOnlyThere) {
  Clear(0xFF000000);
  RenderStateCache::SetRenderState(kRS_StencilEnable, 1);
  RenderStateCache::SetRenderState(kRS_StencilFunc, D3DCMP_ALWAYS);
  RenderStateCache::SetRenderState(kRS_StencilPass, D3DSTENCILOP_INCR);
  GR_SetColourWriteEnable(false, false, false, false);
  DrawRect(0, 0, 16, 32, 0xFFFFFFFF);  // stencil 1 on the left
  DrawRect(0, 0, 8, 32, 0xFFFFFFFF);   // 2 on the left quarter
  GR_SetColourWriteEnable(true, true, true, true);
  RenderStateCache::SetRenderState(kRS_StencilFunc, D3DCMP_EQUAL);
  RenderStateCache::SetRenderState(kRS_StencilRef, 1);
  RenderStateCache::SetRenderState(kRS_StencilPass, D3DSTENCILOP_KEEP);
  DrawRect(0, 0, kSize, kSize, 0xFF00FF00);
  EXPECT_EQ(Pixel(4, 10), 0xFF000000u);
  EXPECT_EQ(Pixel(12, 10), 0xFF00FF00u);
  EXPECT_EQ(Pixel(24, 10), 0xFF000000u);
}

// In the 2-D view the eye is at z = -16000: a rectangle at z = 0 lies 16000 away, half-way
// through fog from 8000 to 24000.
TEST_F(PipelineTest, LinearFogMixesTowardsTheFogColourByDepthAndLeavesAlpha) {
  Clear(0xFF000000);
  RenderStateCache::SetRenderState(kRS_AlphaBlend, 0);
  GR_SetFog(true, 0xFF0000, 8000, 24000);         // blue
  DrawRect(0, 0, 10, 32, 0x80FF0000, -10000.0f);  // before the start: no fog
  DrawRect(10, 0, 20, 32, 0x80FF0000, 0.0f);
  DrawRect(20, 0, 32, 32, 0x80FF0000, 10000.0f);  // beyond the end: all fog
  EXPECT_EQ(Pixel(5, 5), 0x80FF0000u);
  EXPECT_TRUE(Near(Pixel(15, 5), 0x80800080u, 1));
  EXPECT_EQ(Pixel(25, 5), 0x800000FFu);
  GR_SetFog(false, 0, 0, 0);
  DrawRect(20, 0, 32, 32, 0x80FF0000, 10000.0f);
  EXPECT_EQ(Pixel(25, 5), 0x80FF0000u);
}

// Lights through the device: material all 1, ambient (32, 64, 96), white vertices facing the
// eye, lit per vertex in camera space.
TEST_F(PipelineTest, DirectionalAndPointLightsAddToTheAmbientColour) {
  D3DMATERIAL9 material;
  material.Diffuse = material.Ambient = material.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
  material.Power = 1.0f;
  ASSERT_EQ(device->SetMaterial(&material), D3D_OK);
  GR_3D_SetLighting(true);
  RenderStateCache::SetRenderState(kRS_AlphaBlend, 0);

  D3DLIGHT9 directional;
  directional.Type = D3DLIGHT_DIRECTIONAL;
  directional.Diffuse = {0.5f, 0.25f, 0.0f, 0.0f};
  directional.Direction = {0.0f, 0.0f, 1.0f};  // away from the eye, onto the rectangle
  // The point light sits 40 in front of the middle of a 16 x 16 rectangle: each corner is
  // sqrt(1728) = 41.57 away, lit by 40 / 41.57 x 1 / (1 + 41.57 / range) of its colour.
  D3DLIGHT9 point;
  point.Type = D3DLIGHT_POINT;
  point.Diffuse = {1.0f, 0.5f, 0.0f, 0.0f};
  point.Position = {16.0f, 16.0f, -40.0f};
  point.Attenuation0 = 1.0f;

  struct Case {
    const char* name;
    const D3DLIGHT9* light;
    float range;
    uint32_t fvf;
    uint32_t ambient;
    uint32_t expected;
  };
  const Case cases[] = {
      {"directional", &directional, 0.0f, kLayout3D, 0x00204060, 0xFFA08060},  // (32 + 127.5, 64 + 63.75, 96)
      {"point", &point, 100.0f, kLayout3D, 0, 0xFFAD5700},                     // 0.6797 x (255, 127.5, 0)
      {"point out of range", &point, 30.0f, kLayout3D, 0x00204060, 0xFF204060},
      {"no normals", &directional, 0.0f, kLayout2D, 0x00204060, 0xFF204060},  // lit 2-D: ambient only
  };
  for (const Case& c : cases) {
    D3DLIGHT9 light = *c.light;
    light.Range = c.range;
    if (c.range > 0.0f) light.Attenuation1 = 1.0f / c.range;
    ASSERT_EQ(device->SetRenderState(D3DRS_AMBIENT, c.ambient), D3D_OK);
    ASSERT_EQ(device->SetLight(0, &light), D3D_OK);
    ASSERT_EQ(device->LightEnable(0, 1), D3D_OK);
    Clear(0xFF000000);
    ASSERT_EQ(Draw(D3DPT_TRIANGLESTRIP, 2, Rect(8, 8, 24, 24, 0xFFFFFFFF), c.fvf), D3D_OK);
    EXPECT_TRUE(Near(Pixel(16, 16), c.expected, 1)) << c.name;
    EXPECT_TRUE(Near(Pixel(9, 22), c.expected, 1)) << c.name;
  }
  // Normals go through the inverse transpose of world x view and stay unnormalised: a world
  // that halves z doubles the facing normal, and so the light.
  Matrix world = {};
  world.At(0, 0) = world.At(1, 1) = 2.0f;
  world.At(2, 2) = 0.5f;
  world.At(3, 3) = 1.0f;
  SetTransformMatrix(kMatrixWorld, world);
  D3DLIGHT9 grey = directional;
  grey.Diffuse = {0.25f, 0.25f, 0.25f, 0.0f};
  ASSERT_EQ(device->SetRenderState(D3DRS_AMBIENT, 0), D3D_OK);
  ASSERT_EQ(device->SetLight(0, &grey), D3D_OK);
  Clear(0xFF000000);
  ASSERT_EQ(Draw(D3DPT_TRIANGLESTRIP, 2, Rect(4, 4, 12, 12, 0xFFFFFFFF), kLayout3D), D3D_OK);
  EXPECT_TRUE(Near(Pixel(16, 16), 0xFF808080, 1));
  world.At(0, 0) = world.At(1, 1) = world.At(2, 2) = 1.0f;
  SetTransformMatrix(kMatrixWorld, world);

  // A light switched off adds nothing.
  ASSERT_EQ(device->SetRenderState(D3DRS_AMBIENT, 0x00204060), D3D_OK);
  ASSERT_EQ(device->LightEnable(0, 0), D3D_OK);
  Clear(0xFF000000);
  ASSERT_EQ(Draw(D3DPT_TRIANGLESTRIP, 2, Rect(8, 8, 24, 24, 0xFFFFFFFF), kLayout3D), D3D_OK);
  EXPECT_TRUE(Near(Pixel(16, 16), 0xFF204060, 1));
}

TEST_F(PipelineTest, StageZeroModulatesOrSelectsTheTextureAndNoTextureReadsWhite) {
  HardwareTexture* texture = MakeTexture(1, 1, {0xFFC86432});  // (200, 100, 50)
  ASSERT_NE(texture, nullptr);
  struct Case {
    bool blending;  // modulate, else select argument 1
    bool textured;
    uint32_t expected;
  };
  const Case cases[] = {
      {true, true, 0xFF646432},   // texture x (128, 255, 255)
      {false, true, 0xFFC86432},  // the texture alone
      {true, false, 0xFF80FFFF},  // the vertex colour
      {false, false, 0xFFFFFFFF},
  };
  RenderStateCache::SetRenderState(kRS_AlphaBlend, 0);
  for (const Case& c : cases) {
    Clear(0xFF000000);
    GR_SetTextureBlending(c.blending);
    SetTextureStage(0, c.textured ? texture : nullptr);
    DrawRect(0, 0, kSize, kSize, 0xFF80FFFF);
    EXPECT_TRUE(Near(Pixel(16, 16), c.expected, 1)) << c.blending << c.textured;
  }
}

// A 2 x 1 texture (red, blue) stretched over 8 x 2 pixels, clamped: each pixel samples its
// centre, (x + 0.5) / 8 across.
TEST_F(PipelineTest, PointSamplingKeepsTexelsWhileLinearSamplingBlendsThem) {
  HardwareTexture* texture = MakeTexture(2, 1, {0xFFFF0000, 0xFF0000FF});
  ASSERT_NE(texture, nullptr);
  SetTextureStage(0, texture);
  GR_SetTextureRepeat(false);
  struct Case {
    bool linear;
    uint32_t row[8];
  };
  const Case cases[] = {
      {false, {0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF}},
      {true, {0xFFFF0000, 0xFFFF0000, 0xFFDF0020, 0xFF9F0060, 0xFF60009F, 0xFF2000DF, 0xFF0000FF, 0xFF0000FF}},
  };
  for (const Case& c : cases) {
    Clear(0xFF000000);
    GR_SetTextureInterpolation(c.linear);
    DrawRect(0, 0, 8, 2, 0xFFFFFFFF);
    for (int x = 0; x < 8; ++x) EXPECT_TRUE(Near(Pixel(x, 1), c.row[x], 2)) << c.linear << " x " << x;
  }
}

TEST_F(PipelineTest, AboveOneTexturesRepeatWhenWrappedAndKeepTheirEdgeWhenClamped) {
  HardwareTexture* texture = MakeTexture(2, 1, {0xFFFF0000, 0xFF0000FF});
  ASSERT_NE(texture, nullptr);
  SetTextureStage(0, texture);
  GR_SetTextureInterpolation(false);
  constexpr uint32_t R = 0xFFFF0000, B = 0xFF0000FF;
  struct Case {
    bool repeat;
    uint32_t row[8];
  };
  const Case cases[] = {{true, {R, R, B, B, R, R, B, B}}, {false, {R, R, B, B, B, B, B, B}}};
  for (const Case& c : cases) {
    Clear(0xFF000000);
    GR_SetTextureRepeat(c.repeat);
    ASSERT_EQ(Draw(D3DPT_TRIANGLESTRIP, 2, Rect(0, 0, 8, 2, 0xFFFFFFFF, 0.0f, 0.0f, 0.0f, 2.0f, 1.0f)), D3D_OK);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(Pixel(x, 1), c.row[x]) << c.repeat << " x " << x;
  }
}

TEST_F(PipelineTest, VertexLayoutsWithoutAColourDrawWhiteAndUnlockUploadsTheLockedRange) {
  RenderStateCache::SetRenderState(kRS_AlphaBlend, 0);
  Clear(0xFF000000);
  ASSERT_EQ(Draw(D3DPT_TRIANGLESTRIP, 2, Rect(0, 0, 16, 16, 0xFF00FF00), D3DFVF_XYZ), D3D_OK);
  EXPECT_EQ(Pixel(8, 8), 0xFFFFFFFFu);
  ASSERT_EQ(Draw(D3DPT_TRIANGLESTRIP, 2, Rect(16, 0, 32, 16, 0xFF00FF00), kLayoutPlain), D3D_OK);
  EXPECT_EQ(Pixel(24, 8), 0xFF00FF00u);

  // One buffer of two rectangles, the second rewritten in place after the first draw.
  std::vector<Vertex> both = Rect(0, 16, 16, 32, 0xFF0000FF);
  const std::vector<Vertex> second = Rect(16, 16, 32, 32, 0xFF0000FF);
  both.insert(both.end(), second.begin(), second.end());
  IDirect3DVertexBuffer9* buffer = nullptr;
  ASSERT_EQ(device->CreateVertexBuffer(8 * 16, D3DUSAGE_DYNAMIC, kLayoutPlain, D3DPOOL_DEFAULT, &buffer), D3D_OK);
  void* data = nullptr;
  ASSERT_EQ(buffer->Lock(0, 0, &data, D3DLOCK_DISCARD), D3D_OK);
  for (size_t i = 0; i < both.size(); ++i) {
    std::memcpy(static_cast<uint8_t*>(data) + i * 16, &both[i].x, 12);
    std::memcpy(static_cast<uint8_t*>(data) + i * 16 + 12, &both[i].colour, 4);
  }
  ASSERT_EQ(buffer->Unlock(), D3D_OK);
  device->SetStreamSource(0, buffer, 0, 16);
  device->SetFVF(kLayoutPlain);
  ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
  ASSERT_EQ(buffer->Lock(4 * 16, 4 * 16, &data, D3DLOCK_NOOVERWRITE), D3D_OK);
  const uint32_t red = 0xFFFF0000;
  for (int i = 0; i < 4; ++i) std::memcpy(static_cast<uint8_t*>(data) + i * 16 + 12, &red, 4);
  ASSERT_EQ(buffer->Unlock(), D3D_OK);
  ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 4, 2), D3D_OK);
  EXPECT_EQ(Pixel(8, 24), 0xFF0000FFu);
  EXPECT_EQ(Pixel(24, 24), 0xFFFF0000u);
  device->SetStreamSource(0, nullptr, 0, 0);
  buffer->Release();
}

// Draws that would read outside the buffer, or that the device cannot lay out, are refused and
// draw nothing.
TEST_F(PipelineTest, DrawsOutsideTheBufferOrWithoutALayoutAreRefused) {
  IDirect3DVertexBuffer9* buffer = nullptr;
  IDirect3DVertexBuffer9* refused = nullptr;
  EXPECT_EQ(device->CreateVertexBuffer(0, 0, kLayout2D, D3DPOOL_MANAGED, &refused), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateVertexBuffer(kD3DMaxVertexBufferBytes + 1, 0, kLayout2D, D3DPOOL_MANAGED, &refused),
            D3DERR_OUTOFVIDEOMEMORY);
  EXPECT_EQ(refused, nullptr);
  ASSERT_EQ(device->CreateVertexBuffer(4 * 24, 0, kLayout2D, D3DPOOL_MANAGED, &buffer), D3D_OK);
  void* data = nullptr;
  EXPECT_EQ(buffer->Lock(90, 8, &data, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(buffer->Lock(97, 0, &data, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(buffer->Unlock(), D3DERR_INVALIDCALL);
  Clear(0xFF000000);
  GraphicsFlush();
  struct Case {
    const char* name;
    uint32_t offset, stride, fvf, type, start, count;
    HRESULT result;
  };
  const Case cases[] = {
      {"fits", 0, 24, kLayout2D, D3DPT_TRIANGLESTRIP, 0, 2, D3D_OK},
      {"nothing", 0, 24, kLayout2D, D3DPT_TRIANGLESTRIP, 0, 0, D3D_OK},
      {"one vertex too many", 0, 24, kLayout2D, D3DPT_TRIANGLESTRIP, 1, 2, D3DERR_INVALIDCALL},
      {"offset pushes past the end", 8, 24, kLayout2D, D3DPT_TRIANGLESTRIP, 0, 2, D3DERR_INVALIDCALL},
      {"huge start", 0, 24, kLayout2D, D3DPT_POINTLIST, 0xFFFFFFF0u, 4, D3DERR_INVALIDCALL},
      {"huge count", 0, 24, kLayout2D, D3DPT_TRIANGLELIST, 0, 0xFFFFFFFFu, D3DERR_INVALIDCALL},
      {"huge offset", 0xFFFFFF00u, 24, kLayout2D, D3DPT_POINTLIST, 0, 1, D3DERR_INVALIDCALL},
      {"stride below the layout", 0, 16, kLayout2D, D3DPT_POINTLIST, 0, 1, D3DERR_INVALIDCALL},
      {"pre-transformed layout", 0, 24, D3DFVF_XYZRHW | D3DFVF_DIFFUSE, D3DPT_POINTLIST, 0, 1, D3DERR_INVALIDCALL},
      {"no layout", 0, 24, 0, D3DPT_POINTLIST, 0, 1, D3DERR_INVALIDCALL},
      {"unknown kind", 0, 24, kLayout2D, 7, 0, 1, D3DERR_INVALIDCALL},
  };
  for (const Case& c : cases) {
    device->SetStreamSource(0, buffer, c.offset, c.stride);
    device->SetFVF(c.fvf);
    EXPECT_EQ(device->DrawPrimitive(c.type, c.start, c.count), c.result) << c.name;
  }
  ASSERT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
  device->SetStreamSource(0, buffer, 0, 24);
  device->SetFVF(kLayout2D);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, 1), D3DERR_INVALIDCALL);  // locked
  EXPECT_EQ(buffer->Lock(0, 0, &data, 0), D3DERR_INVALIDCALL);                  // twice
  buffer->Unlock();
  device->SetStreamSource(0, nullptr, 0, 0);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, 1), D3DERR_INVALIDCALL);  // no stream
  buffer->Release();
  EXPECT_EQ(Pixel(16, 16), 0xFF000000u);  // the buffer holds zeros: nothing visible was drawn

  IDirect3DTexture9* texture = nullptr;
  EXPECT_EQ(device->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &texture), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateTexture(g_GraphicsDevice.caps.MaxTextureWidth + 1, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                  &texture),
            D3DERR_INVALIDCALL);
  ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
  D3DLOCKED_RECT locked;
  const D3DRECT outside = {2, 2, 5, 3};
  EXPECT_EQ(texture->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetTexture(9, texture), D3DERR_INVALIDCALL);
  texture->Release();
}

}  // namespace
