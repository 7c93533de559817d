// Frame begin, end and present, lost devices and the render-target stack at frame end, over the
// recording fake.
#include <gtest/gtest.h>

#include "debug/Debug_Overlay.h"
#include "debug/Debug_State.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Frame.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_Surface.h"
#include "testlib/GraphicsFixtures.h"

using testsupport::FakeGraphicsTest;

namespace {

class FrameTest : public FakeGraphicsTest {
 protected:
  void SetUp() override {
    FakeGraphicsTest::SetUp();
    ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
    FakeD3D().log.clear();
  }
};

TEST_F(FrameTest, AFrameOpensTheSceneOnTheBackBufferAndPresentsAtTheEnd) {
  const uint64_t counter = g_VertexBatch.frameCounter;
  ASSERT_TRUE(GR_D3D_Start_Frame());
  EXPECT_EQ(g_GraphicsDevice.sceneDepth, 1);
  ASSERT_TRUE(GR_D3D_Finish_Frame(true));
  EXPECT_EQ(FakeD3D().log, (std::vector<std::string>{"TestCooperativeLevel", "BeginScene", "EndScene", "Present"}));
  EXPECT_EQ(g_GraphicsDevice.sceneDepth, 0);
  EXPECT_EQ(g_VertexBatch.frameCounter, counter + 1);
  // The first present shows the window.
  EXPECT_TRUE(g_GraphicsDevice.windowShown);
  EXPECT_EQ(g_Debug.overlay.frameCounter, 1);
}

TEST_F(FrameTest, ASecondBeginAndAnUnmatchedEndDoNothingButTheAskedPresent) {
  ASSERT_TRUE(GR_D3D_Start_Frame());
  ASSERT_TRUE(GR_D3D_Start_Frame());
  EXPECT_EQ(FakeD3D().Count("BeginScene"), 1);
  ASSERT_TRUE(GR_D3D_Finish_Frame(false));
  FakeD3D().log.clear();
  ASSERT_TRUE(GR_D3D_Finish_Frame(false));
  EXPECT_TRUE(FakeD3D().log.empty());
  ASSERT_TRUE(GR_D3D_Finish_Frame(true));
  EXPECT_EQ(FakeD3D().log, std::vector<std::string>{"Present"});
}

TEST_F(FrameTest, WithoutADeviceFramesAreRefused) {
  GR_D3D_Finish();
  EXPECT_FALSE(GR_D3D_Start_Frame());
  EXPECT_FALSE(GR_D3D_Finish_Frame(true));
}

TEST_F(FakeGraphicsTest, OnlyTheCodesOfTheObjectKindResetALostDevice) {
  struct Case {
    bool extended;
    HRESULT level;
    bool resets;
  };
  const Case cases[] = {
      {false, D3DERR_DEVICELOST, false},   // plain: wait until it can be reset
      {false, D3DERR_DEVICENOTRESET, true},
      {true, D3DERR_DEVICELOST, true},
      {true, D3DERR_DEVICENOTRESET, true},
      {true, D3D_OK, false},
  };
  for (const Case& c : cases) {
    testsupport::ResetGraphicsState();
    FakeD3D_Reset();
    FakeD3D().windowManager = c.extended;
    ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
    g_Surfaces.applicationSurfaceId = 7;
    FakeD3D().Fail("TestCooperativeLevel", c.level);
    ASSERT_TRUE(GR_D3D_Start_Frame());
    EXPECT_EQ(FakeD3D().Count("Reset"), c.resets ? 1 : 0) << c.extended << " " << std::hex << c.level;
    EXPECT_EQ(g_Surfaces.applicationSurfaceId, c.resets ? static_cast<int32_t>(0xFEEEDEADu) : 7);
    EXPECT_EQ(FakeD3D().Count("BeginScene"), 1);
  }
}

TEST_F(FrameTest, OneLevelLeftAtFrameEndIsRestored) {
  IDirect3DSurface9* surface = FakeD3D_NewSurface("appsurface", 320, 240);
  HardwareTexture texture;
  texture.surface = surface;
  ASSERT_TRUE(GR_D3D_Start_Frame());
  ASSERT_TRUE(PushRenderTarget());
  ASSERT_TRUE(BindRenderTarget(0, &texture));
  FakeD3D().log.clear();
  ASSERT_TRUE(GR_D3D_Finish_Frame(true));
  EXPECT_EQ(FakeD3D().Lines("SetRenderTarget 0"), std::vector<std::string>{"SetRenderTarget 0 backbuffer"});
  EXPECT_EQ(g_RenderTargets.depth, 0);
  EXPECT_EQ(g_RenderTargets.bound[0], nullptr);
  EXPECT_EQ(FakeD3D_SurfaceRefs(surface), 1u);
  surface->Release();
}

TEST_F(FrameTest, DeeperLevelsLeftAtFrameEndAreDroppedWithTheirSurfacesReleased) {
  IDirect3DSurface9* a = FakeD3D_NewSurface("a", 64, 64);
  IDirect3DSurface9* b = FakeD3D_NewSurface("b", 64, 64);
  HardwareTexture ta, tb;
  ta.surface = a;
  tb.surface = b;
  ASSERT_TRUE(GR_D3D_Start_Frame());
  ASSERT_TRUE(PushRenderTarget());
  ASSERT_TRUE(BindRenderTarget(0, &ta));
  ASSERT_TRUE(PushRenderTarget());
  ASSERT_TRUE(BindRenderTarget(0, &tb));
  EXPECT_EQ(FakeD3D_SurfaceRefs(a), 2u);  // ours and level 1's saved copy
  FakeD3D().log.clear();
  ASSERT_TRUE(GR_D3D_Finish_Frame(true));
  // Level 1 is not restored; the bottom level puts the back buffer back.
  EXPECT_EQ(FakeD3D().Lines("SetRenderTarget 0"), std::vector<std::string>{"SetRenderTarget 0 backbuffer"});
  EXPECT_EQ(g_RenderTargets.depth, 0);
  EXPECT_EQ(g_RenderTargets.bound[0], nullptr);
  EXPECT_EQ(FakeD3D_SurfaceRefs(a), 1u);
  EXPECT_EQ(FakeD3D_SurfaceRefs(b), 1u);
  a->Release();
  b->Release();
}

TEST_F(FrameTest, APushPastEightLevelsIsRefused) {
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(PushRenderTarget());
  EXPECT_FALSE(PushRenderTarget());
  PopAllRenderTargets();
  EXPECT_EQ(g_RenderTargets.depth, 0);
  EXPECT_EQ(FakeD3D().Count("SetRenderTarget 0 backbuffer"), 8);
}

TEST_F(FakeGraphicsTest, TheFrameRateSummaryKeepsItsStartValuesForTheFirst101Frames) {
  ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(GR_D3D_Start_Frame());
    ASSERT_TRUE(GR_D3D_Finish_Frame(true));
  }
  console.Clear();
  GraphicsPrintFPSStats();
  const std::string dashes(63, '-');
  EXPECT_EQ(console.Lines(), (std::vector<std::string>{dashes + "\n", "minFPS, maxFPS, avgFPS\n",
                                                       "2147483647, -2147483648, 30\n", dashes + "\n"}));
}

}  // namespace

namespace {

TEST_F(FrameTest, APopThatTheDeviceRefusesStillGivesBackWhatTheLevelSaved) {
  IDirect3DSurface9* surface = FakeD3D_NewSurface("target", 64, 64);
  HardwareTexture texture;
  texture.surface = surface;
  ASSERT_TRUE(PushRenderTarget());
  ASSERT_TRUE(BindRenderTarget(0, &texture));
  ASSERT_TRUE(PushRenderTarget());  // saves "target" and "depth"
  EXPECT_EQ(FakeD3D_SurfaceRefs(surface), 3u);
  FakeD3D().Fail("SetRenderTarget", D3DERR_INVALIDCALL);
  EXPECT_FALSE(PopRenderTarget());
  EXPECT_EQ(g_RenderTargets.depth, 1);
  EXPECT_EQ(FakeD3D_SurfaceRefs(surface), 2u);
  PopAllRenderTargets();
  EXPECT_EQ(FakeD3D_SurfaceRefs(surface), 1u);
  surface->Release();
}

}  // namespace
