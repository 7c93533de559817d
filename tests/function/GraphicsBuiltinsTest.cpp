// The colour, drawing-state, primitive and 3-D mode built-ins, called as the virtual machine calls
// them, over the recording fake (and OpenGL for the pixel read-back).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "BuiltinTestUtil.h"
#include "function/Function_D3D.h"
#include "function/Function_Graphics.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/device/D3D_Fake.h"
#include "graphics/device/D3D_GL.h"
#include "graphics/device/D3D_Types.h"
#include "os/OS_DisplayModes.h"
#include "testlib/GraphicsFixtures.h"

namespace builtintest {
namespace {

class GraphicsBuiltinsTest : public BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    RegisterGraphicsFunctions();
    RegisterD3DFunctions();
    ASSERT_TRUE(testsupport::InstallTestGraphics(Backend(), 64, 64));
    GraphicsFlush();
  }
  void TearDown() override {
    BuiltinTest::TearDown();  // releases the device while its back end is still there
    testsupport::RemoveTestGraphics();
  }
  virtual const D3D_Backend* Backend() { return FakeD3D_Backend(); }

  // The message of the error reported since the last call (empty when none), without the
  // report's frame; `fatal` as TakeError.
  std::string Message(bool* fatal = nullptr) {
    const std::string report = TakeError(fatal);
    const size_t start = report.find("\n\n\n");
    if (start == std::string::npos) return report;
    const size_t end = report.find('\n', start + 3);
    return report.substr(start + 3, end == std::string::npos ? std::string::npos : end - start - 3);
  }
};

TEST_F(GraphicsBuiltinsTest, ColourArithmetic) {
  struct Case {
    const char* name;
    std::vector<double> args;
    double expected;
  };
  const Case cases[] = {
      {"make_colour_rgb", {255, 0, 0}, 255},
      {"make_colour_rgb", {256, 0, 0}, 256},  // spills into green
      {"make_color", {1.9, 2.9, 3.9}, 1 + 2 * 256 + 3 * 65536},
      {"colour_get_red", {-1}, -1},
      {"colour_get_red", {255.5}, 0},  // 256 after halves to even
      {"color_get_green", {0x12AB34}, 0xAB},
      {"colour_get_blue", {0x12AB34}, 0x12},
      {"merge_colour", {0x000000, 0xFFFFFF, 0.5}, 0x808080},
      {"merge_color", {0x0000FF, 0x00FF00, 0.25}, 0x0040BF},
      {"make_colour_hsv", {0, 255, 255}, 0x0000FF},
      {"colour_get_hue", {0x00FF00}, 85},
      {"colour_get_saturation", {0x808080}, 0},
      {"colour_get_value", {0x0000FF}, 255},
  };
  for (const Case& c : cases) {
    std::vector<ScriptValue> args;
    for (double a : c.args) args.push_back(RealValue(a));
    EXPECT_EQ(CallReal(c.name, args), c.expected) << c.name << " " << c.args[0];
  }
}

TEST_F(GraphicsBuiltinsTest, TheDrawColourAndAlphaReadBackAsSet) {
  Call("draw_set_colour", {RealValue(0x123456)});
  Call("draw_set_alpha", {RealValue(0.5)});
  EXPECT_EQ(CallReal("draw_get_colour", {}), 0x123456);
  EXPECT_EQ(CallReal("draw_get_alpha", {}), static_cast<double>(127.0f / 255.0f));
  Call("draw_set_alpha_test", {RealValue(0.5)});
  EXPECT_EQ(CallReal("draw_get_alpha_test", {}), 0);  // set only above 0.5
  Call("draw_set_alpha_test_ref_value", {RealValue(100.5)});
  EXPECT_EQ(CallReal("draw_get_alpha_test_ref_value", {}), 100);
}

TEST_F(GraphicsBuiltinsTest, SwitchesCheckTheirCallAndKeepTheirValueOnMisuse) {
  EXPECT_EQ(CallReal("shader_enable_corner_id", {}), -1);
  EXPECT_EQ(Message(), "draw_enable_corner_id: Illegal argument count");
  EXPECT_EQ(CallReal("shader_enable_corner_id", {Str("x")}), -1);
  EXPECT_EQ(Message(), "draw_enable_corner_id: Illegal argument type");
  EXPECT_EQ(CallReal("shader_enable_corner_id", {RealValue(0.7)}), -1);
  EXPECT_TRUE(g_RenderStates.cornerIds);
  Call("shader_enable_corner_id", {RealValue(0.5)});
  EXPECT_FALSE(g_RenderStates.cornerIds);

  Call("draw_enable_drawevent", {Str("no")});
  EXPECT_EQ(Message(), "Illegal argument type");
  EXPECT_TRUE(g_RenderStates.drawEvents);
  Call("draw_enable_drawevent", {RealValue(0.2)});
  EXPECT_FALSE(g_RenderStates.drawEvents);
  Call("draw_enable_swf_aa", {RealValue(1), RealValue(1)});
  EXPECT_EQ(Message(), "Illegal argument count");
  Call("draw_set_swf_aa_level", {RealValue(3)});
  EXPECT_EQ(CallReal("draw_get_swf_aa_level", {}), 1.0);
  Call("draw_set_swf_aa_level", {RealValue(-3)});
  EXPECT_EQ(CallReal("draw_get_swf_aa_level", {}), 0.0);
  Call("draw_get_swf_aa_level", {RealValue(1)});
  EXPECT_EQ(Message(), "Illegal argument count");
  EXPECT_EQ(Message(), "");
}

TEST_F(GraphicsBuiltinsTest, ThreeDSwitchesFollowTheirOwnFlagRules) {
  Call("d3d_set_depth", {RealValue(20000)});
  EXPECT_EQ(g_RenderStates.depth2D, 0.0f);  // 2-D: always 0
  EXPECT_EQ(CallReal("d3d_start", {}), 1);
  Call("d3d_set_depth", {RealValue(20000)});
  EXPECT_EQ(g_RenderStates.depth2D, 16000.0f);
  Call("d3d_set_depth", {RealValue(-20000)});
  EXPECT_EQ(g_RenderStates.depth2D, -16000.0f);
  // Blending follows the truncated argument, depth writes the 0.5 rule.
  Call("draw_enable_alphablend", {RealValue(0.7)});
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_AlphaBlend), 0u);
  Call("d3d_set_zwriteenable", {RealValue(0)});
  Call("d3d_set_zwriteenable", {RealValue(0.7)});
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_DepthWrite), 1u);
  Call("Tuvo_EnableAlphaBlend", {RealValue(2)});
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_AlphaBlend), 1u);
  Call("draw_enable_alphablend", {Str("yes")});
  EXPECT_EQ(Message(), "Illegal argument type: true/false expected");
  EXPECT_EQ(RenderStateCache::GetRenderState(kRS_AlphaBlend), 1u);
  Call("d3d_set_lighting", {RealValue(0.5)});
  EXPECT_TRUE(g_RenderStates.lighting);
  Call("d3d_set_projection_ortho", {RealValue(0), RealValue(0), RealValue(640), RealValue(480), RealValue(0)});
  EXPECT_TRUE(g_RenderStates.customOrtho);
  Call("d3d_set_projection_ext", {RealValue(0), RealValue(0), RealValue(-10), RealValue(0), RealValue(0), RealValue(0), RealValue(0), RealValue(1), RealValue(0),
                                  RealValue(45), RealValue(1), RealValue(1), RealValue(10000)});
  EXPECT_EQ(g_Transforms.zFar, 10000.0f);
  EXPECT_FALSE(g_RenderStates.customOrtho);
  EXPECT_EQ(CallReal("d3d_end", {}), 1);
  EXPECT_FALSE(g_RenderStates.mode3D);
}

TEST_F(GraphicsBuiltinsTest, PrimitiveArgumentsFollowTheFamilyRules) {
  Call("draw_rectangle", {RealValue(0), RealValue(0), RealValue(10), RealValue(10), RealValue(0.5)});
  EXPECT_EQ(g_VertexBatch.kind, static_cast<int32_t>(D3DPT_POINTLIST)) << "0.5 outlines";
  GraphicsFlush();
  Call("draw_rectangle", {RealValue(0), RealValue(0), RealValue(10), RealValue(10), RealValue(0.49)});
  EXPECT_EQ(g_VertexBatch.kind, static_cast<int32_t>(D3DPT_TRIANGLELIST));
  GraphicsFlush();

  // draw_roundrect is draw_roundrect_ext with radii 10.
  Call("draw_roundrect", {RealValue(0), RealValue(0), RealValue(40), RealValue(30), RealValue(0)});
  const std::vector<TexturedVertex> plain = testsupport::OpenBatch();
  GraphicsFlush();
  Call("draw_roundrect_ext", {RealValue(0), RealValue(0), RealValue(40), RealValue(30), RealValue(10), RealValue(10), RealValue(0)});
  const std::vector<TexturedVertex> ext = testsupport::OpenBatch();
  ASSERT_EQ(plain.size(), ext.size());
  EXPECT_EQ(std::memcmp(plain.data(), ext.data(), plain.size() * sizeof(TexturedVertex)), 0);
  GraphicsFlush();

  // The health bar's middle colour is the merge of its two ends.
  Call("draw_healthbar", {RealValue(0), RealValue(0), RealValue(20), RealValue(4), RealValue(75), RealValue(0), RealValue(0x0000FF), RealValue(0x00FF00),
                          RealValue(0), RealValue(0), RealValue(0)});
  ASSERT_FALSE(testsupport::OpenBatch().empty());
  EXPECT_EQ(testsupport::OpenBatch()[0].colour, 0xFF40C000u);
}

TEST_F(GraphicsBuiltinsTest, TheExtRoundRectanglesCompileWithEitherCountAndReadNothingBeyondTheCall) {
  const Answer a = RunScript(
      "draw_roundrect_ext(0, 0, 40, 20, 6, 6, 1); draw_roundrect_ext(0, 0, 40, 20, 6);"
      "draw_roundrect_colour_ext(0, 0, 40, 20, 4, 4, c_red, c_blue, 0);"
      "draw_roundrect_color_ext(0, 0, 40, 20, 4, 4, c_red); return 1;");
  EXPECT_EQ(a.real, 1.0);
  EXPECT_EQ(Message(), "");
  Call("draw_roundrect_ext", {RealValue(0), RealValue(0), RealValue(40), RealValue(20)});
  EXPECT_EQ(Message(), "draw_roundrect_ext: Illegal argument count");
  Call("draw_roundrect_colour_ext", std::vector<ScriptValue>(10, RealValue(1)));
  EXPECT_EQ(Message(), "draw_roundrect_colour_ext: Illegal argument count");
}

TEST_F(GraphicsBuiltinsTest, APrimitiveTextureThatNamesNothingIsRefusedNeverFollowed) {
  bool fatal = false;
  for (double bad : {5.0, 20000.0, 1048576.0 + 7, 2.5}) {
    Call("draw_primitive_begin_texture", {RealValue(4), RealValue(bad)});
    EXPECT_EQ(Message(&fatal), "Illegal texture supplied.") << bad;
    EXPECT_TRUE(fatal);
    EXPECT_EQ(g_Primitives.builderTextureId, -1);
  }
  ScriptValue pointer{};
  pointer.ptr = &pointer;
  pointer.kind = VALUE_PTR;
  Call("draw_primitive_begin_texture", {RealValue(4), pointer});
  EXPECT_EQ(Message(), "Illegal texture supplied.");
  Call("draw_primitive_begin_texture", {RealValue(4), RealValue(-1)});
  EXPECT_EQ(Message(), "");
  Call("draw_primitive_begin_texture", {RealValue(4), RealValue(g_Textures.whiteTextureId)});
  EXPECT_EQ(g_Primitives.builderTextureId, g_Textures.whiteTextureId);
}

class GraphicsBuiltinsGLTest : public GraphicsBuiltinsTest {
 protected:
  const D3D_Backend* Backend() override { return GL_D3DBackend(); }
};

TEST_F(GraphicsBuiltinsGLTest, GetPixelReadsTheTargetWithAndWithoutAlpha) {
  Call("draw_clear", {RealValue(0x0000FF)});
  EXPECT_EQ(CallReal("draw_getpixel_ext", {RealValue(5), RealValue(5)}), 4278190335.0);
  EXPECT_EQ(CallReal("draw_getpixel", {RealValue(5), RealValue(5)}), 255);
  Call("draw_clear_alpha", {RealValue(0x00FF00), RealValue(0)});
  EXPECT_EQ(CallReal("draw_getpixel_ext", {RealValue(5), RealValue(5)}), 0x00FF00);
  Call("draw_set_colour", {RealValue(0xFF0000)});
  Call("draw_point", {RealValue(7), RealValue(9)});
  EXPECT_EQ(CallReal("draw_getpixel", {RealValue(7), RealValue(9)}), 0xFF0000);
  EXPECT_EQ(CallReal("draw_getpixel", {RealValue(8), RealValue(9)}), 0x00FF00);
}

}  // namespace
}  // namespace builtintest
