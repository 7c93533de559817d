// Device creation, resets, sizes and window modes, over the recording fake.
#include <gtest/gtest.h>

#include <SDL.h>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Frame.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/Graphics_Window.h"
#include "testlib/GraphicsFixtures.h"

using testsupport::FakeGraphicsTest;
using testsupport::TheFakeDisplay;

namespace {

const std::vector<std::string> kCreationLog = {
    "Create D3D9 interface\n",
    "Enumerate Adapters\n",
    "Selected Resolution: 640x480\n",
    "Prepare to create device\n",
    "Creating D3D device - ARGB=32bit, D24S8, SwapEffect=Copy, Hardware vertex processing\n",
    "Creating screen render target\n",
    "Get Device Caps\n",
    "Graphics initialisation end...\n",
};

TEST_F(FakeGraphicsTest, CreationLogsEachStepAndMakesTheDeviceWithFixedParameters) {
  ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
  EXPECT_EQ(console.Lines(), kCreationLog);
  EXPECT_EQ(FakeD3D().Lines("CreateDevice"),
            std::vector<std::string>{
                "CreateDevice 0 1 0x42 640x480 fmt=21 ms=0 swap=3 windowed=1 ds=75 interval=0x80000000"});
  const GraphicsDeviceState& g = g_GraphicsDevice;
  EXPECT_TRUE(g.plainD3D9);
  EXPECT_EQ(g.resourcePool, D3DPOOL_MANAGED);
  EXPECT_EQ(g.multisampleMask, 2u | 4u | 8u | 16u);
  EXPECT_EQ(g.simultaneousTargets, 4);
  EXPECT_TRUE(ShadersSupported());
  // The start-up clear and the viewport of the window size.
  EXPECT_EQ(FakeD3D().Lines("Clear"), std::vector<std::string>{"Clear 0 0x7 0x00000000 1 0"});
  EXPECT_EQ(FakeD3D().Lines("SetViewport"), std::vector<std::string>{"SetViewport 0 0 640 480 0 1"});
}

TEST_F(FakeGraphicsTest, TheWindowManagerSelectsTheExtendedObjectAndSoftwareFlagsTheBehaviour) {
  FakeD3D().windowManager = true;
  ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, kGraphicsSoftwareVertices | kGraphicsVsync));
  EXPECT_EQ(console.lines[0], "Enable DwmEnableMMCSS\n");
  EXPECT_EQ(console.lines[1], "Create D3D9Ex interface\n");
  EXPECT_EQ(console.Count("Creating D3D device - ARGB=32bit, D24S8, SwapEffect=Copy, Software vertex processing\n"), 1);
  EXPECT_EQ(FakeD3D().Count("Direct3DCreate9Ex 32"), 1);
  EXPECT_EQ(FakeD3D().Lines("CreateDevice")[0],
            "CreateDevice 0 1 0x22 640x480 fmt=21 ms=0 swap=3 windowed=1 ds=75 interval=0x0");
  EXPECT_FALSE(g_GraphicsDevice.plainD3D9);
  EXPECT_EQ(g_GraphicsDevice.resourcePool, D3DPOOL_DEFAULT);
}

TEST_F(FakeGraphicsTest, AFailedCreationFallsBackToD16DiscardAndSoftwareVertices) {
  FakeD3D().Fail("CreateDevice", D3DERR_NOTAVAILABLE);
  ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
  EXPECT_EQ(console.Count("Creating D3D device - ARGB=32bit, D16, SwapEffect=Discard, Software Vertex Processing\n"), 1);
  const auto creates = FakeD3D().Lines("CreateDevice");
  ASSERT_EQ(creates.size(), 2u);
  EXPECT_EQ(creates[1], "CreateDevice 0 1 0x22 640x480 fmt=21 ms=0 swap=1 windowed=1 ds=80 interval=0x80000000");
  // The swap-effect setting stays copy.
  EXPECT_EQ(g_GraphicsDevice.swapEffect, D3DSWAPEFFECT_COPY);
  EXPECT_EQ(console.lines.back(), "Graphics initialisation end...\n");
}

TEST_F(FakeGraphicsTest, WhenBothCreationsFailTheProcessEndsWithMinusOneAfterTheMessage) {
  FakeD3D().Fail("CreateDevice", D3DERR_NOTAVAILABLE, 2);
  testsupport::MessageBoxRecorder boxes;
  testsupport::ProcessExitTrap trap;
  int status = 0;
  try {
    GR_D3D_Init(nullptr, 640, 480, 0);
  } catch (const testsupport::ProcessExited& exited) {
    status = exited.status;
  }
  EXPECT_EQ(status, -1);
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text,
            "Failed to create Direct3D Screen requirements and that your drivers are up-to-date. If your graphics card "
            "has little memory, try switching your computer to a lower resolution.");
}

TEST_F(FakeGraphicsTest, NoDeviceObjectShowsTheMessageOfTheVariantAndFails) {
  FakeD3D().createFails = true;
  testsupport::MessageBoxRecorder boxes;
  EXPECT_FALSE(GR_D3D_Init(nullptr, 640, 480, 0));
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text, "Failed to create Direct3D 9 device");
  EXPECT_EQ(g_GraphicsDevice.device, nullptr);
  EXPECT_FALSE(GR_D3D_Start_Frame());
}

TEST_F(FakeGraphicsTest, ADesktopThatIsNeither16Nor32BitsStopsTheStart) {
  TheFakeDisplay().desktop.bits = 8;
  testsupport::MessageBoxRecorder boxes;
  EXPECT_FALSE(GR_D3D_Init(nullptr, 640, 480, 0));
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text,
            "This program requires 16-bit (High Color) or 32-bit (Full Color) mode. Please change this in your "
            "display properties and run again.");
  EXPECT_EQ(FakeD3D().Count("Direct3DCreate9"), 0);
}

TEST_F(FakeGraphicsTest, SizesAreLimitedToTheScreenAndFullScreenUsesTheDesktop) {
  ASSERT_TRUE(GR_D3D_Init(nullptr, 2000, 700, 0));
  EXPECT_EQ(console.Count("Selected Resolution: 1024x700\n"), 1);
  GR_D3D_Finish();
  FakeD3D_Reset();
  ASSERT_TRUE(GR_D3D_Init(nullptr, 320, 240, kGraphicsFullScreen));
  EXPECT_EQ(FakeD3D().Lines("CreateDevice")[0],
            "CreateDevice 0 1 0x42 1024x768 fmt=21 ms=0 swap=3 windowed=0 ds=75 interval=0x80000000");
  EXPECT_EQ(g_GraphicsDevice.windowWidth, 1024);
  EXPECT_TRUE(g_GraphicsDevice.fullScreen);
}

TEST_F(FakeGraphicsTest, MultisampleSettingsTakeOnlyPowersOfTwo) {
  struct Case {
    int32_t samples;
    uint32_t multisample;
    uint32_t swap;
  };
  for (const Case& c : {Case{2, 2, D3DSWAPEFFECT_DISCARD}, Case{16, 16, D3DSWAPEFFECT_DISCARD},
                        Case{3, 0, D3DSWAPEFFECT_COPY}, Case{0, 0, D3DSWAPEFFECT_COPY}, Case{32, 0, D3DSWAPEFFECT_COPY}}) {
    GraphicsSetMultisample(c.samples);
    EXPECT_EQ(g_GraphicsDevice.multisample, c.multisample) << c.samples;
    EXPECT_EQ(g_GraphicsDevice.swapEffect, c.swap) << c.samples;
  }
}

TEST_F(FakeGraphicsTest, AResetThatFailsWithMultisamplingIsRetriedWithoutItAndStaysSo) {
  ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
  GraphicsSetMultisample(4);
  FakeD3D().Fail("Reset", D3DERR_INVALIDCALL);
  ASSERT_TRUE(GR_D3D_Reset());
  EXPECT_EQ(console.Count("Reset() Failed: 8876086C\n"), 1);
  EXPECT_EQ(console.Count("Change SWAP+Multisample type effect, try Reset() again\n"), 1);
  EXPECT_TRUE(GR_D3D_Reset());
  const auto resets = FakeD3D().Lines("Reset");
  ASSERT_EQ(resets.size(), 3u);
  EXPECT_EQ(resets[0], "Reset 640x480 fmt=21 ms=4 swap=1 windowed=1 ds=75 interval=0x80000000");
  EXPECT_EQ(resets[1], "Reset 640x480 fmt=21 ms=0 swap=1 windowed=1 ds=75 interval=0x80000000");
  EXPECT_EQ(resets[2], resets[1]);

  FakeD3D().Fail("Reset", D3DERR_INVALIDCALL, 2);
  EXPECT_FALSE(GR_D3D_Reset());
}

TEST_F(FakeGraphicsTest, AnUnsupportedSampleCountIsDroppedBeforeTheReset) {
  ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
  FakeD3D().maxSamples = 4;
  GraphicsSetMultisample(8);
  ASSERT_TRUE(GR_D3D_Reset());
  EXPECT_EQ(FakeD3D().Lines("Reset")[0], "Reset 640x480 fmt=21 ms=0 swap=3 windowed=1 ds=75 interval=0x80000000");
}

TEST_F(FakeGraphicsTest, APendingSizeIsAppliedByTheResetAndKeptForWindowedMode) {
  ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
  g_GraphicsDevice.pendingWidth = 800;
  g_GraphicsDevice.pendingHeight = 600;
  FakeD3D().log.clear();
  ASSERT_TRUE(GR_D3D_Reset());
  EXPECT_EQ(FakeD3D().Lines("Reset")[0], "Reset 800x600 fmt=21 ms=0 swap=3 windowed=1 ds=75 interval=0x80000000");
  EXPECT_EQ(FakeD3D().Lines("SetViewport"), std::vector<std::string>{"SetViewport 0 0 800 600 0 1"});
  const GraphicsDeviceState& g = g_GraphicsDevice;
  EXPECT_EQ(g.displayWidth, 800);
  EXPECT_EQ(g.savedWindowedWidth, 800);
  EXPECT_EQ(g.windowHeight, 600);
  EXPECT_EQ(g.pendingWidth, -1);
}

TEST_F(FakeGraphicsTest, SetSizeWithTheCurrentSizeMakesNoCall) {
  ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
  FakeD3D().log.clear();
  GR_D3D_SetSize(640, 480);
  EXPECT_TRUE(FakeD3D().log.empty());
  GR_D3D_SetSize(5000, 300);
  EXPECT_EQ(FakeD3D().Lines("SetViewport"), std::vector<std::string>{"SetViewport 0 0 1024 300 0 1"});
  EXPECT_EQ(g_Transforms.viewAreaWidth, 1024.0f);
}

TEST_F(FakeGraphicsTest, LeavingFullScreenClosesTheOpenFrameWithoutPresentingResetsAndReopens) {
  ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
  FakeD3D().log.clear();
  GraphicsLeaveFullscreen();  // windowed: only the window is shown
  EXPECT_TRUE(FakeD3D().log.empty());
  EXPECT_TRUE(g_GraphicsDevice.windowShown);

  g_GraphicsDevice.fullScreen = true;
  ASSERT_TRUE(GR_D3D_Start_Frame());
  FakeD3D().log.clear();
  GraphicsLeaveFullscreen();
  EXPECT_FALSE(g_GraphicsDevice.fullScreen);
  EXPECT_EQ(FakeD3D().Count("EndScene"), 1);
  EXPECT_EQ(FakeD3D().Count("Present"), 0);
  EXPECT_EQ(FakeD3D().Lines("Reset")[0], "Reset 640x480 fmt=21 ms=0 swap=3 windowed=1 ds=75 interval=0x80000000");
  EXPECT_EQ(FakeD3D().Count("BeginScene"), 1);
  EXPECT_EQ(g_GraphicsDevice.sceneDepth, 1);
}

TEST_F(FakeGraphicsTest, ShutdownReleasesTheDeviceCompletely) {
  ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
  GR_D3D_Finish();
  EXPECT_EQ(FakeD3D().Lines("Release device"), std::vector<std::string>{"Release device 0"});
  EXPECT_EQ(g_GraphicsDevice.device, nullptr);
  EXPECT_EQ(g_GraphicsDevice.d3d, nullptr);
}

}  // namespace

namespace {

// The device over the fake, the window a real (offscreen) SDL window.
class WindowModeTest : public FakeGraphicsTest {
 protected:
  void SetUp() override {
    FakeGraphicsTest::SetUp();
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    window = SDL_CreateWindow("test", 0, 0, 640, 480, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    ASSERT_TRUE(GR_D3D_Init(window, 640, 480, 0));
  }
  void TearDown() override {
    testsupport::ResetGraphicsState();
    if (window != nullptr) SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    FakeGraphicsTest::TearDown();
  }
  SDL_Window* window = nullptr;
};

TEST_F(WindowModeTest, APendingSizeIsAppliedToTheWindowAndTheDisplaySize) {
  g_GraphicsDevice.pendingWidth = 800;
  g_GraphicsDevice.pendingHeight = 600;
  GR_ApplyWindowSize();
  int w = 0, h = 0;
  SDL_GetWindowSize(window, &w, &h);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  EXPECT_EQ(g_GraphicsDevice.displayWidth, 800);
  EXPECT_EQ(g_GraphicsDevice.pendingWidth, 800);  // the window procedure clears it
}

TEST_F(WindowModeTest, FullScreenIsTheDesktopSizeAndLeavingItRestoresTheWindowedSize) {
  g_GraphicsDevice.fullScreen = true;
  g_GraphicsDevice.pendingWidth = 320;  // not applied in full screen
  g_GraphicsDevice.pendingHeight = 200;
  GR_ApplyWindowSize();
  EXPECT_EQ(g_GraphicsDevice.displayWidth, 640);
  ASSERT_TRUE(GR_D3D_Reset());
  EXPECT_NE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
  EXPECT_EQ(FakeD3D().Lines("Reset").back(), "Reset 1024x768 fmt=21 ms=0 swap=3 windowed=0 ds=75 interval=0x80000000");
  EXPECT_EQ(g_GraphicsDevice.savedWindowedWidth, 320);  // the pending size waits for windowed mode

  GraphicsLeaveFullscreen();
  EXPECT_EQ(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
  EXPECT_EQ(FakeD3D().Lines("Reset").back(), "Reset 320x200 fmt=21 ms=0 swap=3 windowed=1 ds=75 interval=0x80000000");
  EXPECT_EQ(g_GraphicsDevice.windowWidth, 320);
  EXPECT_EQ(g_GraphicsDevice.displayHeight, 200);
}

}  // namespace
