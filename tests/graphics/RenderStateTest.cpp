// The render-state cache over the recording fake: what it sends to the device, when, and with
// which numbers; the drawing-state setters; fog with each device capability and the fog range.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "buffer/Buffer_Standard.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Transform.h"
#include "testlib/GraphicsFixtures.h"

using testsupport::FakeGraphicsTest;

namespace {

uint32_t Bits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

std::string RenderLine(uint32_t state, uint32_t value) {
  return "SetRenderState " + std::to_string(state) + " " + std::to_string(value);
}

// The lines that set the device's fog range.
std::vector<std::string> FogRangeLines() {
  std::vector<std::string> lines = FakeD3D().Lines("SetRenderState 36 ");
  for (const std::string& line : FakeD3D().Lines("SetRenderState 37 ")) lines.push_back(line);
  return lines;
}

class RenderStateTest : public FakeGraphicsTest {
 protected:
  void SetUp() override {
    FakeGraphicsTest::SetUp();
    ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
    FakeD3D().log.clear();
  }
  static std::vector<std::string> Sent() {
    std::vector<std::string> lines = FakeD3D().Lines("SetRenderState");
    for (const std::string& line : FakeD3D().Lines("SetSamplerState")) lines.push_back(line);
    return lines;
  }
};

TEST_F(RenderStateTest, AStateSetAndSetBackBeforeAFlushLeavesBothMasksCleanAndSendsNothing) {
  ASSERT_EQ(g_RenderStateCache.renderDirty, 0u);
  ASSERT_EQ(g_RenderStateCache.samplerDirty, 0u);
  GR_SetBlendMode(1);
  GR_SetStageInterpolation(2, true);  // start-up flags 0: no stage interpolates
  EXPECT_NE(g_RenderStateCache.renderDirty, 0u);
  EXPECT_NE(g_RenderStateCache.samplerDirty, 0u);
  GR_SetBlendMode(0);
  GR_SetStageInterpolation(2, false);
  EXPECT_EQ(g_RenderStateCache.renderDirty, 0u);
  EXPECT_EQ(g_RenderStateCache.samplerDirty, 0u);
  GraphicsFlush();
  EXPECT_TRUE(Sent().empty());

  // Set, flushed, then set back: the way back goes out too.
  GR_SetBlendMode(1);
  GraphicsFlush();
  GR_SetBlendMode(0);
  GraphicsFlush();
  EXPECT_EQ(Sent(), (std::vector<std::string>{RenderLine(D3DRS_DESTBLEND, D3DBLEND_ONE),
                                              RenderLine(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA)}));
}

TEST_F(RenderStateTest, BlendModesSetTheirFactorPairsAndUnknownModesActAsNormal) {
  struct Case {
    int32_t mode;
    uint32_t source, destination;
  };
  const Case cases[] = {
      {0, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA}, {1, D3DBLEND_SRCALPHA, D3DBLEND_ONE},
      {2, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCCOLOR}, {3, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR},
      {7, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA}, {-1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
  };
  for (const Case& c : cases) {
    GR_SetBlendMode(3);  // away from every other pair's source or destination
    GR_SetBlendMode(c.mode);
    EXPECT_EQ(RenderStateCache::GetRenderState(kRS_SrcBlend), c.source) << c.mode;
    EXPECT_EQ(RenderStateCache::GetRenderState(kRS_DestBlend), c.destination) << c.mode;
  }
  GR_SetBlendModeExt(9, 17);
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_SrcBlend), 9u);
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_DestBlend), 17u);
}

TEST_F(RenderStateTest, CachedValuesReachTheDeviceThroughTheirMappings) {
  struct Case {
    int32_t index;
    uint32_t value;
    const char* sent;  // null: nothing
  };
  const Case cases[] = {
      {8, 2, "SetRenderState 22 3"},  // culling on: counter-clockwise
      {8, 1, "SetRenderState 22 2"},
      {8, 5, "SetRenderState 22 1"},
      {24, 0xFA, "SetRenderState 168 10"},  // AND 15
      {2, 1, "SetRenderState 8 1"},
      {2, 2, "SetRenderState 8 2"},
      {2, 0, "SetRenderState 8 3"},
      {3, 1, "SetRenderState 9 1"},
      {3, 0, "SetRenderState 9 2"},
      {6, 17, "SetRenderState 19 17"},
      {7, 18, "SetRenderState 20 1"},
      {7, 0, "SetRenderState 20 1"},
      {9, 7, "SetRenderState 23 7"},
      {11, 0, "SetRenderState 25 8"},
      {29, 9, "SetRenderState 56 8"},
      {16, 2, "SetRenderState 35 2"},
      {23, 4, "SetRenderState 140 3"},
      {26, 8, "SetRenderState 53 8"},
      {27, 1, "SetRenderState 54 1"},
      {28, 9, "SetRenderState 55 1"},
      {17, 0x41200000, "SetRenderState 36 1092616192"},  // float bits as they are
      {31, 0xFFFFFFFF, "SetRenderState 58 4294967295"},
      {0, 1, nullptr},
      {14, 1, nullptr},
      {19, 1, nullptr},
      {22, 1, nullptr},
      {33, 1, nullptr},
      {-1, 1, nullptr},
  };
  for (const Case& c : cases) {
    FakeD3D().log.clear();
    ApplyRenderState(c.index, c.value);
    EXPECT_EQ(FakeD3D().log, c.sent != nullptr ? std::vector<std::string>{c.sent} : std::vector<std::string>{})
        << c.index << " " << c.value;
  }

  struct SamplerCase {
    int32_t stage, kind;
    uint32_t value;
    const char* sent;
  };
  const SamplerCase samplers[] = {
      {0, 0, 0, "SetSamplerState 0 5 2"},
      {0, 1, 1, "SetSamplerState 0 6 1"},
      {3, 2, 1, "SetSamplerState 3 1 3"},
      {7, 3, 0, "SetSamplerState 7 2 1"},
      {8, 0, 0, nullptr},
      {0, 4, 0, nullptr},
  };
  for (const SamplerCase& c : samplers) {
    FakeD3D().log.clear();
    ApplySamplerState(c.stage, c.kind, c.value);
    EXPECT_EQ(FakeD3D().log, c.sent != nullptr ? std::vector<std::string>{c.sent} : std::vector<std::string>{})
        << c.stage << " " << c.kind;
  }

  // The whole road: culling on is cache value 2, sent as counter-clockwise culling.
  FakeD3D().log.clear();
  GR_3D_SetCulling(true);
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_Culling), 2u);
  GraphicsFlush();
  EXPECT_EQ(Sent(), std::vector<std::string>{"SetRenderState 22 3"});
}

TEST_F(RenderStateTest, TheDrawingStateSettersWantTheirValues) {
  GR_SetColourWriteEnable(true, false, true, false);
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_ColourWrite), 5u);
  GR_SetAlphaTest(true);
  GR_SetAlphaTestRef(40);
  GR_SetAlphaTestFunc(D3DCMP_EQUAL);
  EXPECT_TRUE(GR_GetAlphaTest());
  EXPECT_EQ(GR_GetAlphaTestRef(), 40u);
  EXPECT_EQ(GR_GetAlphaTestFunc(), D3DCMP_EQUAL);
  GR_3D_SetZWriteEnable(false);
  GR_3D_SetShading(false);
  GR_3D_SetLighting(true);
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_DepthWrite), 0u);
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_ShadeMode), 1u);
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_Lighting), 1u);

  // The depth test needs 3-D mode as well as the hidden-surface flag.
  GR_3D_SetHidden(true);
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_DepthTest), 0u);
  g_RenderStates.mode3D = true;
  GR_3D_SetHidden(true);
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_DepthTest), 1u);
  GR_3D_SetHidden(false);
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_DepthTest), 0u);
  EXPECT_FALSE(g_RenderStates.hidden);

  // Stages outside 0..7: the getters' fallbacks, and the setters do nothing.
  EXPECT_TRUE(GR_GetStageInterpolation(9));
  EXPECT_TRUE(GR_GetStageInterpolation(-1));
  EXPECT_FALSE(GR_GetStageRepeat(9));
  GR_SetTextureRepeat(true);
  EXPECT_FALSE(GR_GetStageRepeat(9));
  EXPECT_TRUE(GR_GetTextureRepeat());
  GR_SetStageInterpolation(9, false);
  GR_SetStageRepeat(8, false);
  EXPECT_EQ(RenderStateCache::GetSamplerState(8, 0), 0u);
  EXPECT_EQ(RenderStateCache::GetRenderState(33), 0u);
  GR_SetStageInterpolation(4, false);
  EXPECT_FALSE(GR_GetStageInterpolation(4));
  EXPECT_EQ(RenderStateCache::GetSamplerState(4, kSamplerMagFilter), 1u);
  EXPECT_EQ(RenderStateCache::GetSamplerState(4, kSamplerMinFilter), 1u);
  EXPECT_EQ(RenderStateCache::GetSamplerState(4, kSamplerAddressU), 0u);
}

TEST_F(FakeGraphicsTest, AlphaTestingIsNotSetWithoutADevice) {
  GR_SetAlphaTest(true);
  EXPECT_FALSE(GR_GetAlphaTest());
}

TEST_F(RenderStateTest, AfterApplyAllSamplerSlotsOfStagesThreeToSevenGoOnlyWhenAlreadyDirty) {
  GR_SetStageInterpolation(5, true);
  RenderStateCache::ApplyAll();
  // Start-up flags 0: point filtering (1) and, without repeat, clamping (3).
  std::vector<std::string> expected;
  for (int stage = 0; stage < 2; ++stage) {
    for (const char* kind : {"5 1", "6 1", "1 3", "2 3"})
      expected.push_back("SetSamplerState " + std::to_string(stage) + " " + kind);
  }
  expected.insert(expected.end(),
                  {"SetSamplerState 2 5 1", "SetSamplerState 2 6 1", "SetSamplerState 5 5 2", "SetSamplerState 5 6 2"});
  EXPECT_EQ(FakeD3D().Lines("SetSamplerState"), expected);
  // Every render state with a device state goes out, in index order.
  const auto renders = FakeD3D().Lines("SetRenderState");
  ASSERT_EQ(renders.size(), 29u);
  EXPECT_EQ(renders.front(), RenderLine(D3DRS_ZENABLE, 0));
  EXPECT_EQ(renders.back(), RenderLine(D3DRS_STENCILWRITEMASK, 0xFFFFFFFF));
  EXPECT_EQ(g_RenderStateCache.renderDirty, 0u);
  EXPECT_EQ(g_RenderStateCache.samplerDirty, 0u);
}

TEST_F(RenderStateTest, RestoreWantsTheSavedValuesAgain) {
  RenderStateCache::Save();
  GR_SetBlendMode(3);
  GR_SetTextureRepeat(true);
  RenderStateCache::Restore();
  EXPECT_EQ(g_RenderStateCache.renderDirty, 0u);
  EXPECT_EQ(g_RenderStateCache.samplerDirty, 0u);

  GR_SetBlendMode(1);
  GraphicsFlush();
  FakeD3D().log.clear();
  RenderStateCache::Restore();
  GraphicsFlush();
  EXPECT_EQ(Sent(), std::vector<std::string>{RenderLine(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA)});
}

TEST_F(RenderStateTest, TextureBlendingWritesStageZeroStraightToTheDeviceAfterAFlush) {
  GR_SetBlendMode(1);
  GR_SetTextureBlending(false);
  EXPECT_EQ(FakeD3D().log, (std::vector<std::string>{"SetRenderState 20 2", "SetTextureStageState 0 1 2",
                                                     "SetTextureStageState 0 4 2"}));
  FakeD3D().log.clear();
  SetTextureBlendStages(true);
  EXPECT_EQ(FakeD3D().log, (std::vector<std::string>{"SetTextureStageState 0 1 4", "SetTextureStageState 0 2 2",
                                                     "SetTextureStageState 0 3 0", "SetTextureStageState 0 4 4",
                                                     "SetTextureStageState 0 5 2", "SetTextureStageState 0 6 0"}));
}

TEST_F(RenderStateTest, AResetSendsEveryStateAgainAndUnbindsTheBaseStage) {
  GR_SetBlendMode(1);
  GraphicsFlush();
  g_VertexBatch.baseTextureStage = 3;
  FakeD3D().log.clear();
  ASSERT_TRUE(GR_D3D_Reset());
  // The window-mode reset restores the states, and the reset once more after its clear.
  EXPECT_EQ(g_VertexBatch.baseTextureStage, 0);
  EXPECT_EQ(FakeD3D().Count("SetTexture 0 null"), 2);
  EXPECT_EQ(FakeD3D().Count("SetTextureStageState 0 1 4"), 2);
  std::set<std::string> sent;
  for (const std::string& line : FakeD3D().Lines("SetRenderState")) sent.insert(line.substr(0, line.rfind(' ')));
  for (uint32_t state : {7u,  8u,  9u,  14u, 15u, 19u, 20u, 22u, 23u, 24u, 25u, 27u,  28u,  34u, 35u,
                         36u, 37u, 48u, 52u, 53u, 54u, 55u, 56u, 57u, 58u, 59u, 137u, 140u, 168u})
    EXPECT_EQ(sent.count("SetRenderState " + std::to_string(state)), 1u) << state;
  EXPECT_EQ(FakeD3D().Count(RenderLine(D3DRS_DESTBLEND, D3DBLEND_ONE)), 2);  // the game's value, kept
}

TEST_F(RenderStateTest, TheDebugOverlayFlagsFollowWhatWasApplied) {
  ApplyRenderState(kRS_DepthTest, 1);
  ApplyRenderState(kRS_Fog, 2);
  ApplyRenderState(kRS_Lighting, 0);
  EXPECT_TRUE(g_RenderStates.depthTestOn);
  EXPECT_TRUE(g_RenderStates.fogOn);
  EXPECT_FALSE(g_RenderStates.lightingOn);
}

TEST_F(RenderStateTest, WriteStatesDumpsTheWantedValuesOfIndicesOneToThirtyTwo) {
  GR_SetBlendMode(1);
  GR_3D_SetCulling(true);
  Buffer_Standard buffer(128, BUFFER_FIXED, 1);
  RenderStateCache::WriteStates(&buffer);
  ASSERT_EQ(buffer.m_Position, 128);
  uint32_t words[32];
  std::memcpy(words, buffer.GetData(), sizeof words);
  EXPECT_EQ(words[0], 0u);            // index 1: depth test off
  EXPECT_EQ(words[6], D3DBLEND_ONE);  // index 7
  EXPECT_EQ(words[7], 2u);            // index 8: culling as cached
  EXPECT_EQ(words[17], Bits(1.0f));   // index 18: fog end
  EXPECT_EQ(words[31], 0xFFFFFFFFu);  // index 32
}

struct FogCase {
  const char* name;
  uint32_t rasterCaps;
  bool enabled;     // the stored flag afterwards
  uint32_t fog;     // index 13
  uint32_t table;   // index 16
  uint32_t vertex;  // index 23
  uint32_t range;   // index 20
};

class FogCapabilityTest : public FakeGraphicsTest, public ::testing::WithParamInterface<FogCase> {};

TEST_P(FogCapabilityTest, FogUsesWhatTheDeviceCanAndStaysOffWithoutEither) {
  const FogCase& c = GetParam();
  FakeD3D().adapters[0].caps.RasterCaps = c.rasterCaps;
  ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
  GR_SetFog(true, 0x0000FF, 10, 100);
  for (int pass = 0; pass < 2; ++pass) {  // as set, and after the next restore
    EXPECT_EQ(g_RenderStates.fogEnabled, c.enabled) << pass;
    EXPECT_EQ(RenderStateCache::GetRenderState(kRS_Fog), c.fog) << pass;
    EXPECT_EQ(RenderStateCache::GetRenderState(kRS_FogTableMode), c.table) << pass;
    EXPECT_EQ(RenderStateCache::GetRenderState(kRS_FogVertexMode), c.vertex) << pass;
    EXPECT_EQ(RenderStateCache::GetRenderState(kRS_RangeFog), c.range) << pass;
    EXPECT_EQ(RenderStateCache::GetRenderState(kRS_FogColour), c.enabled ? 0xFFFF0000u : 0u) << pass;
    GR_RestoreRenderStates();
  }
  EXPECT_EQ(g_RenderStates.fogColour, 0xFFFF0000u);
}

INSTANTIATE_TEST_SUITE_P(Capabilities, FogCapabilityTest,
                         ::testing::Values(FogCase{"Table", D3DPRASTERCAPS_FOGTABLE, true, 1, 3, 3, 0},
                                           FogCase{"Vertex", D3DPRASTERCAPS_FOGVERTEX, true, 1, 1, 3, 1},
                                           FogCase{"None", 0, false, 0, 1, 3, 0}),
                         [](const ::testing::TestParamInfo<FogCase>& info) { return info.param.name; });

TEST_F(RenderStateTest, UnderATwoDimensionalViewTheFogRangeGoesStraightToTheDeviceNormalised) {
  GR_SetFog(true, 0xFF0000, 100, 1000);
  EXPECT_EQ(FakeD3D().Lines("SetRenderState"),
            (std::vector<std::string>{RenderLine(D3DRS_FOGSTART, Bits((100.0f - 1.0f) / (32000.0f - 1.0f))),
                                      RenderLine(D3DRS_FOGEND, Bits((1000.0f - 1.0f) / (32000.0f - 1.0f)))}));
  // The cached range keeps its values and the flush does not overwrite the device's.
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_FogStart), Bits(0.0f));
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_FogEnd), Bits(1.0f));
  FakeD3D().log.clear();
  GraphicsFlush();
  EXPECT_EQ(FakeD3D().Lines("SetRenderState"),
            (std::vector<std::string>{RenderLine(D3DRS_FOGENABLE, 1), RenderLine(D3DRS_FOGCOLOR, 0xFF0000FF),
                                      RenderLine(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR)}));
}

// A range written straight to the device leaves the cache not knowing what the device holds, so
// the range set through the cache afterwards goes out even when it equals what it sent before.
TEST_F(RenderStateTest, APerspectiveRangeAfterADirectOneIsSentAgain) {
  Matrix projection = {};
  projection.At(0, 0) = projection.At(1, 1) = projection.At(2, 2) = projection.At(2, 3) = 1.0f;
  g_Transforms.orthographic = false;
  SetTransformMatrix(kMatrixProjection, projection);
  GR_SetFog(true, 0, 100, 1000);
  GraphicsFlush();
  const std::vector<std::string> range = {RenderLine(D3DRS_FOGSTART, Bits(100.0f)),
                                          RenderLine(D3DRS_FOGEND, Bits(1000.0f))};
  EXPECT_EQ(FogRangeLines(), range);

  g_Transforms.orthographic = true;
  FakeD3D().log.clear();
  GraphicsClear(0, 1.0f, 0, 1);  // updates the range: straight to the device
  GraphicsFlush();
  EXPECT_EQ(FogRangeLines(), (std::vector<std::string>{RenderLine(D3DRS_FOGSTART, Bits(99.0f / 31999.0f)),
                                                       RenderLine(D3DRS_FOGEND, Bits(999.0f / 31999.0f))}));

  g_Transforms.orthographic = false;
  FakeD3D().log.clear();
  SetTransformMatrix(kMatrixProjection, projection);
  GraphicsFlush();
  EXPECT_EQ(FogRangeLines(), range);
}

}  // namespace
