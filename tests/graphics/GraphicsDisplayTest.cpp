// Adapters, display modes, manual clears and display-setting requests.
#include <gtest/gtest.h>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Display.h"
#include "run/Run_CommandLine.h"
#include "testlib/GraphicsFixtures.h"

using testsupport::FakeGraphicsTest;
using testsupport::TheFakeDisplay;

namespace {

OS_DisplayMode Mode(int32_t w, int32_t h, int32_t bits = 32, int32_t hz = 60) { return {0, 0, w, h, bits, hz}; }

class DisplayModeTest : public FakeGraphicsTest {
 protected:
  // Creates the device over the given modes and answers the mode chosen for the request.
  DisplayModeInfo Find(std::vector<OS_DisplayMode> modes, int32_t w, int32_t h) {
    TheFakeDisplay().modes = std::move(modes);
    EXPECT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
    const DisplayModeInfo* mode = FindDisplayMode(w, h);
    EXPECT_NE(mode, nullptr);
    return *mode;
  }
};

TEST_F(DisplayModeTest, TheFirstPassTakesTheSmallestModeThatHoldsTheSize) {
  const DisplayModeInfo m = Find({Mode(800, 600), Mode(1280, 1024), Mode(1024, 768)}, 1000, 700);
  EXPECT_EQ(m.width, 1024);
  EXPECT_EQ(m.height, 768);
  EXPECT_EQ(m.modeNumber, 2);
}

TEST_F(DisplayModeTest, TheSecondPassTakesTheNearestAreaPreferring32BitsAnd60Hz) {
  // None holds 3000 x 3000, and all have the same area.
  const DisplayModeInfo m = Find({Mode(1024, 768, 16, 60), Mode(1024, 768, 32, 75), Mode(768, 1024, 32, 60),
                                  Mode(1024, 768, 32, 45), Mode(1024, 768, 32, 60)},
                                 3000, 3000);
  EXPECT_EQ(m.bits, 32);
  EXPECT_EQ(m.refresh, 60);
  EXPECT_EQ(m.modeNumber, 2);  // an equal distance to 60 keeps the earlier mode
}

TEST_F(DisplayModeTest, OnlySixteenAndThirtyTwoBitModesAreListed) {
  Find({Mode(640, 480, 8), Mode(640, 480, 16), Mode(800, 600, 24), Mode(800, 600, 32)}, 640, 480);
  ASSERT_EQ(g_Adapters.count, 1);
  const AdapterInfo& a = g_Adapters.adapters[0];
  ASSERT_EQ(a.modeCount, 2);
  EXPECT_EQ(a.modes[0].modeNumber, 1);
  EXPECT_EQ(a.modes[1].modeNumber, 3);
  EXPECT_EQ(a.desktopWidth, 1024);
  EXPECT_EQ(a.desktopBits, 32);
}

TEST_F(DisplayModeTest, AnEmptyModeListFallsBackToAdapterZero) {
  const DisplayModeInfo m = Find({}, 640, 480);
  EXPECT_EQ(m.adapterOrdinal, 0);
  EXPECT_EQ(FakeD3D().Lines("CreateDevice")[0].rfind("CreateDevice 0 ", 0), 0u);
}

TEST_F(FakeGraphicsTest, SoftwareAdaptersAreLeftOutOfTheTable) {
  FakeAdapter software;
  software.description = "Reference Rasterizer";
  software.caps.DeviceType = D3DDEVTYPE_REF;
  FakeAdapter hardware;
  hardware.description = "Card";
  FakeD3D().adapters = {software, hardware};
  ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
  ASSERT_EQ(g_Adapters.count, 1);
  EXPECT_STREQ(g_Adapters.adapters[0].description, "Card");
  EXPECT_EQ(g_Adapters.adapters[0].ordinal, 1);
}

TEST_F(FakeGraphicsTest, UnreadableDesktopSettingsGetTheDefaults) {
  ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
  TheFakeDisplay().desktopReadable = false;
  EnumerateDisplayModes();
  const AdapterInfo& a = g_Adapters.adapters[0];
  EXPECT_EQ((std::vector<int32_t>{a.desktopX, a.desktopY, a.desktopWidth, a.desktopHeight, a.desktopBits,
                                  a.desktopFrequency}),
            (std::vector<int32_t>{0, 0, 640, 480, 8, 60}));
  EXPECT_EQ(GraphicsGetDisplayColourDepth(), -1);
  EXPECT_EQ(GraphicsGetDisplayFrequency(), -1);
}

TEST_F(FakeGraphicsTest, AnIntelAdapterInAnyCaseTurnsManualClearsOnUnlessVanilla) {
  struct Case {
    const char* description;
    bool vanilla;
    bool manual;
  };
  for (const Case& c : {Case{"Intel(R) HD Graphics 620", false, true}, Case{"MOBILE INTEL 965", false, true},
                        Case{"Mobile Intel 965", true, false}, Case{"llvmpipe (LLVM 15.0.6, 256 bits)", false, false}}) {
    testsupport::ResetGraphicsState();
    FakeD3D_Reset();
    FakeD3D().adapters[0].description = c.description;
    g_CommandLineOptions.vanillaGraphics = c.vanilla;
    console.Clear();
    ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
    EXPECT_EQ(g_GraphicsDevice.clearByQuads, c.manual) << c.description;
    EXPECT_EQ(g_GraphicsDevice.singleUseBuffers, c.manual) << c.description;
    EXPECT_EQ(console.Count("Switching to manual clears\n"), c.manual ? 1 : 0) << c.description;
  }
  g_CommandLineOptions.vanillaGraphics = false;
}

TEST_F(FakeGraphicsTest, DisplaySettingChangesSetOnlyTheFieldsGiven) {
  struct Case {
    bool (*call)();
    uint32_t fields;
    uint32_t flags;
  };
  const Case cases[] = {
      {[] { return GraphicsSetDisplayMode(-1, -1, 75, -1); }, DM_DISPLAYFREQUENCY, 0},
      {[] { return GraphicsSetDisplayMode(800, 600, 60, 32); },
       DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY | DM_BITSPERPEL, 0},
      {[] { return GraphicsTestDisplayMode(800, 0, -1, 16); }, DM_PELSWIDTH | DM_BITSPERPEL, CDS_TEST},
      {[] { return GraphicsSetDisplaySize(1024, 768); }, DM_PELSWIDTH | DM_PELSHEIGHT, 0},
      {[] { return GraphicsSetDisplayFrequency(120); }, DM_DISPLAYFREQUENCY, 0},
      {[] { return GraphicsSetDisplayColourDepth(16); }, DM_BITSPERPEL, 0},
  };
  for (const Case& c : cases) {
    TheFakeDisplay().requests.clear();
    EXPECT_FALSE(c.call());
    ASSERT_EQ(TheFakeDisplay().requests.size(), 1u);
    EXPECT_EQ(TheFakeDisplay().requests[0].first.fields, c.fields);
    EXPECT_EQ(TheFakeDisplay().requests[0].second, c.flags);
  }
  EXPECT_EQ(TheFakeDisplay().requests[0].first.bits, 16u);
  TheFakeDisplay().changeSucceeds = true;
  EXPECT_TRUE(GraphicsSetDisplayFrequency(60));
}

TEST_F(FakeGraphicsTest, GameOptionValuesMapToADisplayModeRequest) {
  struct Case {
    int32_t depth, resolution, frequency;
    uint32_t fields, width, height, hz, bits;
  };
  const uint32_t all = DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY | DM_BITSPERPEL;
  const Case cases[] = {
      {1, 1, 1, all, 320, 240, 60, 16},     {2, 2, 2, all, 640, 480, 70, 32},
      {2, 3, 3, all, 800, 600, 85, 32},     {2, 4, 4, all, 1024, 768, 100, 32},
      {2, 5, 5, all, 1280, 1024, 120, 32},  {2, 6, 1, all, 1600, 1200, 60, 32},
      {0, 4, 6, DM_PELSWIDTH | DM_PELSHEIGHT, 1024, 768, 0, 0},  // 0 and values past the table: unchanged
      {3, 7, 2, DM_DISPLAYFREQUENCY, 0, 0, 70, 0},
      {-1, -2147483647 - 1, 2147483647, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    TheFakeDisplay().requests.clear();
    EXPECT_FALSE(GraphicsSetDisplayModeFromOptions(c.depth, c.resolution, c.frequency));
    ASSERT_EQ(TheFakeDisplay().requests.size(), 1u);
    const OS_DisplayRequest& r = TheFakeDisplay().requests[0].first;
    EXPECT_EQ((std::vector<uint32_t>{r.fields, r.width, r.height, r.frequency, r.bits}),
              (std::vector<uint32_t>{c.fields, c.width, c.height, c.hz, c.bits}))
        << c.depth << " " << c.resolution << " " << c.frequency;
    EXPECT_EQ(TheFakeDisplay().requests[0].second, 0u);
  }
}

TEST_F(FakeGraphicsTest, TheCursorIsMovedOnlyWhileTheWindowIsActive) {
  GraphicsSetCursorPos(10, 20, false);
  EXPECT_EQ(GraphicsGetCursorX(), 0);
  GraphicsSetCursorPos(10, 20, true);
  EXPECT_EQ(GraphicsGetCursorX(), 10);
  EXPECT_EQ(GraphicsGetCursorY(), 20);
}

}  // namespace

namespace {

TEST_F(FakeGraphicsTest, CommandLineOptionsForceSoftwareVerticesAndManualClears) {
  g_CommandLineOptions.softwareVertexProcessing = true;
  g_CommandLineOptions.intelWorkarounds = true;
  const bool created = GR_D3D_Init(nullptr, 640, 480, 0);
  g_CommandLineOptions.softwareVertexProcessing = false;
  g_CommandLineOptions.intelWorkarounds = false;
  ASSERT_TRUE(created);
  EXPECT_EQ(FakeD3D().Lines("CreateDevice")[0].rfind("CreateDevice 0 1 0x22 ", 0), 0u);
  EXPECT_TRUE(g_GraphicsDevice.clearByQuads);
  EXPECT_TRUE(g_GraphicsDevice.singleUseBuffers);
  EXPECT_EQ(console.Count("Switching to manual clears\n"), 0);
}

}  // namespace
