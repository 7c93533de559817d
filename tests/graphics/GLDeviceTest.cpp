// The OpenGL back end, headless: device creation, clears and resets read back as pixels, and
// presenting to an offscreen SDL window.
#include <gtest/gtest.h>

#include <epoxy/gl.h>

#include <SDL.h>

#include <algorithm>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Display.h"
#include "graphics/Graphics_Frame.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/device/D3D_GL.h"
#include "testlib/GraphicsFixtures.h"

using testsupport::HeadlessGLTest;

namespace {

constexpr uint32_t kRed = 0xFF0000FF;    // script order 0xAABBGGRR
constexpr uint32_t kGreen = 0xFF00FF00;
constexpr uint32_t kBlue = 0xFFFF0000;

bool All(const std::vector<uint32_t>& pixels, uint32_t argb) {
  return !pixels.empty() && std::all_of(pixels.begin(), pixels.end(), [&](uint32_t p) { return p == argb; });
}

TEST_F(HeadlessGLTest, TheAdapterIsNamedByTheRendererAndCreationSucceeds) {
  ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
  ASSERT_EQ(g_Adapters.count, 1);
  EXPECT_STREQ(g_Adapters.adapters[0].description, reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  EXPECT_EQ(console.lines.back(), "Graphics initialisation end...\n");
  EXPECT_TRUE(ShadersSupported());
  EXPECT_EQ(g_GraphicsDevice.simultaneousTargets, 4);
  EXPECT_NE(g_GraphicsDevice.multisampleMask & 4u, 0u);
  EXPECT_EQ(g_GraphicsDevice.caps.RasterCaps & D3DPRASTERCAPS_FOGTABLE, D3DPRASTERCAPS_FOGTABLE);
}

TEST_F(HeadlessGLTest, AClearFillsTheWholeBackBuffer) {
  ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
  EXPECT_TRUE(All(ReadBack(0, 0, 640, 480), 0x00000000));  // the start-up clear
  ASSERT_TRUE(GR_D3D_Start_Frame());
  GraphicsClear(kRed, 1.0f, 0, 7);
  ASSERT_TRUE(GR_D3D_Finish_Frame(true));
  EXPECT_TRUE(All(ReadBack(0, 0, 640, 480), 0xFFFF0000));
  EXPECT_TRUE(ReadBack(0, 0, 641, 480).empty());
}

TEST_F(HeadlessGLTest, AClearUnderASmallerViewportStaysInsideItWithRowZeroAtTheTop) {
  ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
  GraphicsClear(kRed, 1.0f, 0, 7);
  GR_SetViewport(10, 20, 100, 50);
  GraphicsClear(kGreen, 1.0f, 0, 1);
  EXPECT_TRUE(All(ReadBack(10, 20, 100, 50), 0xFF00FF00));
  // Just outside on every side.
  EXPECT_TRUE(All(ReadBack(9, 20, 1, 50), 0xFFFF0000));
  EXPECT_TRUE(All(ReadBack(110, 20, 1, 50), 0xFFFF0000));
  EXPECT_TRUE(All(ReadBack(10, 19, 100, 1), 0xFFFF0000));
  EXPECT_TRUE(All(ReadBack(10, 70, 100, 1), 0xFFFF0000));
}

class GLResetTest : public HeadlessGLTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(GLResetTest, APendingSizeThenAResetGivesAWholeNewSizeClear) {
  ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
  GraphicsSetMultisample(GetParam());
  g_GraphicsDevice.pendingWidth = 320;
  g_GraphicsDevice.pendingHeight = 200;
  ASSERT_TRUE(GR_D3D_Reset());
  EXPECT_EQ(g_GraphicsDevice.presentParams.MultiSampleType, static_cast<uint32_t>(GetParam()));
  EXPECT_EQ(g_GraphicsDevice.displayWidth, 320);
  ASSERT_TRUE(GR_D3D_Start_Frame());
  GraphicsClear(kBlue, 1.0f, 0, 7);
  ASSERT_TRUE(GR_D3D_Finish_Frame(true));
  EXPECT_TRUE(All(ReadBack(0, 0, 320, 200), 0xFF0000FF));
  EXPECT_TRUE(ReadBack(0, 0, 321, 200).empty());
}

INSTANTIATE_TEST_SUITE_P(Samples, GLResetTest, ::testing::Values(0, 4));

// As with the fake: a reset leaves the new back buffer as the only target and the viewport on
// all of it, so a clear right after it covers the whole image.
TEST_F(HeadlessGLTest, AResetPutsTheViewportAndTheTargetsBackOnTheWholeBackBuffer) {
  ASSERT_TRUE(GR_D3D_Init(nullptr, 64, 64, 0));
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  IDirect3DSurface9* backBuffer = nullptr;
  ASSERT_EQ(device->GetRenderTarget(0, &backBuffer), D3D_OK);
  ASSERT_EQ(device->SetRenderTarget(1, backBuffer), D3D_OK);
  backBuffer->Release();
  GR_SetViewport(8, 8, 16, 16);
  D3DPRESENT_PARAMETERS params = g_GraphicsDevice.presentParams;
  ASSERT_EQ(device->Reset(&params), D3D_OK);

  D3DVIEWPORT9 viewport;
  device->GetViewport(&viewport);
  EXPECT_EQ((std::vector<uint32_t>{viewport.X, viewport.Y, viewport.Width, viewport.Height}),
            (std::vector<uint32_t>{0, 0, 64, 64}));
  IDirect3DSurface9* second = nullptr;
  EXPECT_EQ(device->GetRenderTarget(1, &second), D3DERR_NOTFOUND);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0), D3D_OK);
  EXPECT_TRUE(All(ReadBack(0, 0, 64, 64), 0xFFFF0000));
}

TEST_F(HeadlessGLTest, AResetToMoreSamplesThanTheDriverHasIsRefusedAndTheOldBackBufferKept) {
  ASSERT_TRUE(GR_D3D_Init(nullptr, 64, 64, 0));
  GLint maxSamples = 0;
  glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
  if (maxSamples >= 16) GTEST_SKIP() << "the driver takes 16 samples";
  EXPECT_EQ(g_GraphicsDevice.d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, 1, 16, nullptr),
            D3DERR_NOTAVAILABLE);
  D3DPRESENT_PARAMETERS params = g_GraphicsDevice.presentParams;
  params.MultiSampleType = 16;
  EXPECT_EQ(g_GraphicsDevice.device->Reset(&params), D3DERR_INVALIDCALL);
  // The device still draws at its old size.
  GraphicsClear(kGreen, 1.0f, 0, 7);
  EXPECT_TRUE(All(ReadBack(0, 0, 64, 64), 0xFF00FF00));
}

TEST_F(HeadlessGLTest, PresentShowsTheBackBufferUprightInAnOffscreenWindow) {
  OS_SetDisplaySource(nullptr);
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window* window = SDL_CreateWindow("test", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  ASSERT_TRUE(GR_D3D_Init(window, 64, 64, 0));
  // SDL's display: its desktop mode is the one mode listed.
  ASSERT_EQ(g_Adapters.adapters[0].modeCount, 1);
  EXPECT_EQ(g_Adapters.adapters[0].modes[0].width, 1024);
  EXPECT_EQ(g_Adapters.adapters[0].modes[0].bits, 32);
  ASSERT_TRUE(GR_D3D_Start_Frame());
  GraphicsClear(kRed, 1.0f, 0, 7);
  GR_SetViewport(0, 0, 64, 16);  // the top quarter
  GraphicsClear(kBlue, 1.0f, 0, 1);
  ASSERT_TRUE(GR_D3D_Finish_Frame(true));
  // The window's framebuffer has its origin at the bottom: its last row is the top of the image.
  uint32_t top = 0, bottom = 0;
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadPixels(5, 63, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &top);
  glReadPixels(5, 0, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &bottom);
  EXPECT_EQ(top, 0xFF0000FFu);
  EXPECT_EQ(bottom, 0xFFFF0000u);
  EXPECT_EQ(g_GraphicsDevice.clientWidth, 64);
  GR_D3D_Finish();
  SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace

namespace {

GLuint Compile(GLenum kind, const std::string& text) {
  const GLuint shader = glCreateShader(kind);
  const char* source = text.c_str();
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  EXPECT_TRUE(ok) << text;
  return shader;
}

// A quad given in device screen pixels, whose edges lie half a pixel before the centres of
// pixels (10, 20) and (30, 40), covers exactly those pixels, with row 0 at the top, for any w;
// its depth 0.9 passes a depth test against 0.92 (unconverted it would land at 0.95).
TEST_F(HeadlessGLTest, TheClipConversionPutsDevicePixelCentresOnFramebufferPixels) {
  ASSERT_TRUE(GR_D3D_Init(nullptr, 64, 64, 0));
  GraphicsClear(kRed, 1.0f, 0, 7);
  const std::string vertex = std::string("#version 330 core\n") + kGLClipFromDevice +
                             "in vec4 a_position;\n"
                             "void main() { gl_Position = ClipFromDevice(a_position); }\n";
  const GLuint program = glCreateProgram();
  const GLuint vs = Compile(GL_VERTEX_SHADER, vertex);
  const GLuint fs = Compile(GL_FRAGMENT_SHADER,
                            "#version 330 core\nout vec4 colour;\nvoid main() { colour = vec4(0.0, 1.0, 0.0, 1.0); }\n");
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  glLinkProgram(program);
  glUseProgram(program);
  glUniform2f(glGetUniformLocation(program, "u_pixelOffset"), 1.0f / 64.0f, 1.0f / 64.0f);

  g_GraphicsDevice.device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.92f, 0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  // Device clip space of screen point (sx, sy) in a 64 x 64 viewport, scaled by w; depth 0.9.
  std::vector<float> vertices;
  const float w = 2.0f;
  for (const auto& [sx, sy] : {std::pair{9.5f, 19.5f}, std::pair{29.5f, 19.5f}, std::pair{9.5f, 39.5f},
                               std::pair{29.5f, 39.5f}}) {
    const float x = sx / 64.0f * 2.0f - 1.0f;  // the device puts pixel centres on whole numbers
    const float y = 1.0f - sy / 64.0f * 2.0f;
    vertices.insert(vertices.end(), {x * w, y * w, 0.9f * w, w});
  }
  GLuint vao = 0, vbo = 0;
  glGenVertexArrays(1, &vao);
  glBindVertexArray(vao);
  glGenBuffers(1, &vbo);
  glBindBuffer(GL_ARRAY_BUFFER, vbo);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(), GL_STATIC_DRAW);
  const GLint position = glGetAttribLocation(program, "a_position");
  glEnableVertexAttribArray(static_cast<GLuint>(position));
  glVertexAttribPointer(static_cast<GLuint>(position), 4, GL_FLOAT, GL_FALSE, 0, nullptr);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glDisable(GL_DEPTH_TEST);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  EXPECT_TRUE(All(ReadBack(10, 20, 20, 20), 0xFF00FF00));
  EXPECT_TRUE(All(ReadBack(9, 20, 1, 20), 0xFFFF0000));
  EXPECT_TRUE(All(ReadBack(30, 20, 1, 20), 0xFFFF0000));
  EXPECT_TRUE(All(ReadBack(10, 19, 20, 1), 0xFFFF0000));
  EXPECT_TRUE(All(ReadBack(10, 40, 20, 1), 0xFFFF0000));

  glDeleteBuffers(1, &vbo);
  glDeleteVertexArrays(1, &vao);
  glDeleteProgram(program);
  glDeleteShader(vs);
  glDeleteShader(fs);
}

}  // namespace
