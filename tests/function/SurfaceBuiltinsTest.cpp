// The surface built-ins on OpenGL, called as the virtual machine calls them, and the screen and
// surface saves into a sandboxed save area.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "BuiltinTestUtil.h"
#include "base/VCL.h"
#include "buffer/IBuffer.h"
#include "code/Code_Function.h"
#include "code/VM_State.h"
#include "function/Function_Graphics.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Support.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/device/D3D_GL.h"
#include "os/OS_DisplayModes.h"
#include "os/OS_Paths.h"
#include "room/Room_Class.h"
#include "room/Room_Command.h"
#include "testlib/GraphicsFixtures.h"
#include "testlib/ImageFixtures.h"

namespace builtintest {
namespace {

namespace fs = std::filesystem;
using testsupport::EnvOverride;
using testsupport::TempDir;

constexpr double kRed = 0x0000FF;

// A 64 x 64 screen on OpenGL; the game in <root>/game (the current directory), its save area
// <root>/data/runner/SurfGame/.
class SurfaceBuiltinsTest : public BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    RegisterGraphicsFunctions();
    ASSERT_TRUE(testsupport::InstallTestGraphics(GL_D3DBackend(), 64, 64));
    fs::create_directories(m_root + "/game");
    m_oldCwd = fs::current_path();
    fs::current_path(m_root + "/game");
    SetGameFilePath((m_root + "/game/data.win").c_str());
    SetSaveAreaGameInfo("SurfGame", 0);
    m_save = m_root + "/data/runner/SurfGame/";
    m_oldDebug = DebugConsole;
    DebugConsole = &m_debug;
  }
  void TearDown() override {
    DebugConsole = m_oldDebug;
    fs::current_path(m_oldCwd);
    BuiltinTest::TearDown();  // releases the device while its back end is still there
    testsupport::RemoveTestGraphics();
  }

  // The message of the error reported since the last call (empty when none).
  std::string Message() {
    const std::string report = TakeError();
    const size_t start = report.find("\n\n\n");
    if (start == std::string::npos) return report;
    const size_t end = report.find('\n', start + 3);
    return report.substr(start + 3, end == std::string::npos ? std::string::npos : end - start - 3);
  }

  // Calls a built-in whose result starts as the real 12345; answers the result left.
  ScriptValue CallKeeping(const char* name, std::vector<ScriptValue> args) {
    int32_t number = -1;
    EXPECT_TRUE(FindFunctionIndex(name, &number)) << name;
    ScriptValue result = RealValue(12345);
    if (number < 0) return result;
    g_VM.CurrentBuiltinName = g_VM.functions[number].name;
    g_VM.functions[number].func(&result, &m_self, &m_other, static_cast<int32_t>(args.size()), args.data());
    return result;
  }

  static std::vector<ScriptValue> Reals(std::initializer_list<double> values) {
    std::vector<ScriptValue> out;
    for (double v : values) out.push_back(RealValue(v));
    return out;
  }
  double Real(const char* name, std::initializer_list<double> values) { return CallReal(name, Reals(values)); }
  void Do(const char* name, std::initializer_list<double> values) { Call(name, Reals(values)); }

  // A new surface filled with the colour and alpha.
  int32_t Filled(double width, double height, double colour, double alpha) {
    const int32_t s = static_cast<int32_t>(Real("surface_create", {width, height}));
    Do("surface_set_target", {static_cast<double>(s)});
    Do("draw_clear_alpha", {colour, alpha});
    Do("surface_reset_target", {});
    return s;
  }
  double PixelExt(int32_t s, double x, double y) { return Real("surface_getpixel_ext", {double(s), x, y}); }

  TempDir m_dir;
  std::string m_root = fs::canonical(m_dir.path()).string();
  std::string m_save;
  EnvOverride m_data{"XDG_DATA_HOME", (m_root + "/data").c_str()};
  EnvOverride m_home{"HOME", (m_root + "/home").c_str()};
  fs::path m_oldCwd;
  testsupport::RecordingConsole m_debug;
  tagIConsole* m_oldDebug = nullptr;
};

TEST_F(SurfaceBuiltinsTest, CreationChecksTheSizeBeforeRounding) {
  EXPECT_EQ(CallKeeping("surface_create", Reals({0, 10})).real, 12345);
  EXPECT_EQ(Message(), "Invalid surface dimensions");
  EXPECT_EQ(CallKeeping("surface_create", Reals({10, -1})).real, 12345);
  EXPECT_EQ(Message(), "Invalid surface dimensions");
  EXPECT_EQ(Real("surface_create", {0.4, 10}), -1);  // passes the test, rounds to 0; uses up id 0
  EXPECT_EQ(Message(), "");
  EXPECT_EQ(Real("surface_create", {16, 8}), 1);
  EXPECT_EQ(Real("surface_get_width", {1}), 16);
  EXPECT_EQ(Real("surface_get_height", {1.4}), 8);
  EXPECT_EQ(Real("surface_exists", {1}), 1);
  EXPECT_EQ(Real("surface_exists", {0}), 0);
  EXPECT_EQ(Real("surface_get_width", {0}), -1);
  EXPECT_EQ(Real("surface_get_texture", {0}), -1);
  EXPECT_GE(Real("surface_get_texture", {1}), 0);
  EXPECT_EQ(Real("surface_create_ext", {0, 16, 16}), -1);
  EXPECT_EQ(Message(), "surface_create_ext() not supported");
  Do("surface_free", {1});
  EXPECT_EQ(Real("surface_exists", {1}), 0);
}

TEST_F(SurfaceBuiltinsTest, ResizeChecksItsArgumentsAndOnlyRecordsTheApplicationSurface) {
  const double s = Real("surface_create", {8, 8});
  const double app = static_cast<int32_t>(0xFEEEDEADu);
  struct Case {
    std::vector<ScriptValue> args;
    double result;  // 12345: none set
    const char* message;
  };
  const Case cases[] = {
      {Reals({s, 0, 10}), 12345, "Invalid surface dimensions"},
      {Reals({s, 10, 8193}), 12345, "Invalid surface dimensions"},
      {Reals({app, 8193, 100}), 12345, "Invalid surface dimensions"},
      {{RealValue(s), testsupport::Str("10"), RealValue(10)}, 12345, "Invalid arguments"},
      {Reals({s, 10}), 12345, "Invalid arguments"},  // after the count: the missing one is no real
      {Reals({s + 5, 10, 10}), 12345, "Surface does not exist"},
      {Reals({s, 20.9, 12.9}), 1, ""},
      {Reals({app, 800.7, 600}), 1, ""},
  };
  for (const Case& c : cases) {
    std::vector<ScriptValue> copy(c.args);
    EXPECT_EQ(CallKeeping("surface_resize", copy).real, c.result) << c.message;
    EXPECT_EQ(Message(), c.message);
    for (ScriptValue& v : copy) ReleaseValue(&v);
  }
  // Four arguments: the count is reported and the resize still happens.
  EXPECT_EQ(CallKeeping("surface_resize", Reals({s, 30, 30, 1})).real, 1);
  EXPECT_EQ(Message(), "Invalid argument count");
  EXPECT_EQ(Real("surface_get_width", {s}), 30);
  EXPECT_TRUE(g_Surfaces.applicationResizePending);
  EXPECT_EQ(g_Surfaces.pendingWidth, 800);
  EXPECT_EQ(g_Surfaces.pendingHeight, 600);
}

TEST_F(SurfaceBuiltinsTest, PixelsReadBackWithTheirAlpha) {
  const int32_t half = Filled(8, 8, kRed, 0.5);
  EXPECT_EQ(PixelExt(half, 1, 1), double(0x7F0000FF));
  const int32_t opaque = Filled(8, 8, kRed, 1);
  EXPECT_EQ(Real("surface_getpixel", {double(opaque), 7, 7}), 255);
  EXPECT_EQ(PixelExt(opaque, 3, 2), 4278190335.0);
  EXPECT_EQ(PixelExt(opaque, 8, 0), 0);  // outside the surface
  EXPECT_EQ(Real("surface_getpixel", {99, 0, 0}), 0);
  EXPECT_EQ(Message(), "Trying to use non-existing surface.");
}

TEST_F(SurfaceBuiltinsTest, ABufferTakesTheSurfacesRowsOnlyWhenEveryRowFits) {
  const int32_t s = Filled(4, 2, kRed, 1);
  Do("surface_set_target", {double(s)});
  Do("draw_point_colour", {1, 1, 0x00FF00});
  Do("surface_reset_target", {});
  const int index = CreateBuffer(40, BUFFER_FIXED, 1);
  IBuffer* buffer = GetBuffer(index);
  ASSERT_NE(buffer, nullptr);
  const std::vector<uint8_t> untouched(40, 0xAB);

  struct Case {
    int surface, offset, padding;
  };
  // No surface; a negative offset; a padding walking the second row back before the start; the
  // second row's end one byte past the buffer.
  for (const Case c : {Case{s + 1, 0, 0}, Case{s, -1, 0}, Case{s, 2, -24}, Case{s, 5, 4}}) {
    std::memset(buffer->m_pData, 0xAB, 40);
    buffer->GetSurface(c.surface, 0, c.offset, c.padding);
    EXPECT_EQ(std::vector<uint8_t>(buffer->m_pData, buffer->m_pData + 40), untouched) << c.offset << " " << c.padding;
  }

  std::memset(buffer->m_pData, 0xAB, 40);
  buffer->m_Position = 7;
  buffer->GetSurface(s, 3, 4, 4);  // rows at 4 and 24, the last ending at the buffer's end
  const uint8_t red[4] = {0x00, 0x00, 0xFF, 0xFF}, green[4] = {0x00, 0xFF, 0x00, 0xFF};
  for (int pixel = 0; pixel < 8; ++pixel) {
    const int at = 4 + (pixel / 4) * 20 + (pixel % 4) * 4;
    const uint8_t* expected = pixel == 5 ? green : red;
    EXPECT_EQ(std::vector<uint8_t>(buffer->m_pData + at, buffer->m_pData + at + 4),
              std::vector<uint8_t>(expected, expected + 4)) << "pixel " << pixel;
  }
  for (int at : {0, 3, 20, 23}) EXPECT_EQ(buffer->m_pData[at], 0xAB) << at;  // before and between rows
  EXPECT_EQ(buffer->m_Position, 7);
  DeleteBuffer(index);
}

TEST_F(SurfaceBuiltinsTest, AlphaBlendsWithTheColourFactors) {
  const int32_t s = Filled(8, 8, 0, 0);
  Do("surface_set_target", {double(s)});
  Do("draw_set_colour", {0xFFFFFF});
  Do("draw_set_alpha", {0.5});
  Do("draw_rectangle", {0, 0, 7, 7, 0});
  Do("surface_reset_target", {});
  const uint32_t pixel = static_cast<uint32_t>(PixelExt(s, 4, 4));
  EXPECT_NEAR(static_cast<int>(pixel >> 24), 63, 1);
  EXPECT_NEAR(static_cast<int>(pixel & 0xFF), 127, 1);
}

TEST_F(SurfaceBuiltinsTest, CopiesShiftAndShrinkAtNegativePositionsAndStayInsideBothTextures) {
  const int32_t source = Filled(8, 8, kRed, 1);
  Do("surface_set_target", {double(source)});
  Do("draw_point_colour", {2, 3, 0x00FF00});
  Do("surface_reset_target", {});
  const uint32_t red = 0xFF0000FF, green = 0xFF00FF00;

  const int32_t a = Filled(8, 8, 0, 0);
  Do("surface_copy", {double(a), -2, -3, double(source)});
  EXPECT_EQ(PixelExt(a, 0, 0), green);  // source (2, 3)
  EXPECT_EQ(PixelExt(a, 5, 4), red);
  EXPECT_EQ(PixelExt(a, 6, 0), 0);      // only 6 columns came
  EXPECT_EQ(PixelExt(a, 0, 5), 0);      // and 5 rows

  const int32_t b = Filled(8, 8, 0, 0);
  Do("surface_copy_part", {double(b), 1, 1, double(source), -1, 0, 4, 4});
  EXPECT_EQ(PixelExt(b, 1, 1), 0);      // the destination moved right by one
  EXPECT_EQ(PixelExt(b, 2, 1), red);    // source (0, 0)
  EXPECT_EQ(PixelExt(b, 4, 4), green);  // source (2, 3)
  EXPECT_EQ(PixelExt(b, 5, 1), 0);      // 3 columns

  // Near the far corner only what fits is copied; a wholly outside copy does nothing.
  const int32_t c = Filled(4, 4, 0, 0);
  Do("surface_copy", {double(c), 2, 2, double(source)});
  EXPECT_EQ(PixelExt(c, 3, 3), red);
  EXPECT_EQ(PixelExt(c, 1, 1), 0);
  Do("surface_copy_part", {double(c), 0, 0, double(source), 8, 8, 4, 4});
  Do("surface_copy_part", {double(c), -9, 0, double(source), 0, 0, 8, 8});
  EXPECT_EQ(PixelExt(c, 0, 0), 0);
  EXPECT_EQ(Message(), "");

  Do("surface_copy", {double(a), 0, 0, 99});
  EXPECT_EQ(Message(), "Trying to use non-existing surface.");
}

TEST_F(SurfaceBuiltinsTest, DrawingAMissingSurfaceIsReported) {
  for (const char* name : {"draw_surface", "draw_surface_stretched", "draw_surface_part", "draw_surface_tiled",
                           "draw_surface_general", "draw_surface_ext"}) {
    Call(name, Reals({7, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(Message(), "Trying to use non-existing surface.") << name;
  }
}

TEST_F(SurfaceBuiltinsTest, DrawnSurfacesLandOnTheScreen) {
  const int32_t s = Filled(4, 4, kRed, 1);
  Do("draw_clear", {0});
  Do("draw_surface", {double(s), 10, 10});
  Do("draw_surface_part_ext", {double(s), 0, 0, 2, 2, 30, 30, 2, 2, 0xFFFFFF, 1});
  GraphicsFlush();
  EXPECT_EQ(Real("draw_getpixel", {13, 13}), 255);
  EXPECT_EQ(Real("draw_getpixel", {14, 14}), 0);
  EXPECT_EQ(Real("draw_getpixel", {33, 33}), 255);
  EXPECT_EQ(Real("draw_getpixel", {34, 34}), 0);
}

TEST_F(SurfaceBuiltinsTest, TurnedSurfacesTurnByDegreesAndTiledOnesCoverTheRoom) {
  const int32_t s = Filled(4, 2, kRed, 1);
  Do("draw_clear", {0});
  // Four wide and two high, turned a quarter counter-clockwise about (10, 10): two wide and four
  // high above that point.
  Do("draw_surface_ext", {double(s), 10, 10, 1, 1, 90, 0xFFFFFF, 1});
  GraphicsFlush();
  EXPECT_EQ(Real("draw_getpixel", {10, 6}), 255);
  EXPECT_EQ(Real("draw_getpixel", {11, 9}), 255);
  EXPECT_EQ(Real("draw_getpixel", {12, 9}), 0);
  EXPECT_EQ(Real("draw_getpixel", {10, 10}), 0);

  CRoom room;
  room.m_Width = 16;
  room.m_Height = 12;
  CurrentRoom = &room;
  Do("draw_clear", {0});
  Do("draw_surface_tiled", {double(s), 1, 1});
  GraphicsFlush();
  CurrentRoom = nullptr;
  EXPECT_EQ(Real("draw_getpixel", {0, 0}), 255);
  EXPECT_EQ(Real("draw_getpixel", {15, 11}), 255);
  EXPECT_EQ(Real("draw_getpixel", {40, 40}), 0);  // beyond the room
}

TEST_F(SurfaceBuiltinsTest, ScreenSavesAreOpaqueAndClippedToTheTarget) {
  const int32_t s = Filled(64, 32, kRed, 0.5);
  Do("surface_set_target", {double(s)});
  GR_Save_Screen("shots/deep/screen.png");
  Do("surface_reset_target", {});
  testsupport::DecodedPng png;
  ASSERT_TRUE(testsupport::ReadPng(m_save + "shots/deep/screen.png", &png));
  EXPECT_EQ(png.width, 64u);
  EXPECT_EQ(png.height, 32u);
  EXPECT_EQ(png.At(5, 5), (std::vector<int>{255, 0, 0, 255}));

  Do("draw_clear", {0x00FF00});
  GR_Save_ScreenPart("part.png", -10, 60, 20, 10);
  ASSERT_TRUE(testsupport::ReadPng(m_save + "part.png", &png));
  EXPECT_EQ(png.width, 10u);
  EXPECT_EQ(png.height, 4u);
  EXPECT_EQ(png.At(9, 3), (std::vector<int>{0, 255, 0, 255}));

  GR_Save_ScreenPart("none.png", 70, 0, 10, 10);
  GR_Save_Screen("");
  EXPECT_EQ(Message(), "Trying to save screen to empty image file name.");
  GR_Save_ScreenPart(nullptr, 0, 0, 4, 4);
  EXPECT_EQ(Message(), "Trying to save screen to empty image file name.");
  EXPECT_FALSE(fs::exists(m_save + "none.png"));
}

// The snapshot command keeps the target's alpha, unlike screen_save.
TEST_F(SurfaceBuiltinsTest, SnapshotCommandKeepsTheTargetsAlpha) {
  const int32_t s = Filled(64, 32, kRed, 0.5);
  Do("surface_set_target", {double(s)});
  Command_SaveScreen("snap/shot.png");
  Do("surface_reset_target", {});
  testsupport::DecodedPng png;
  ASSERT_TRUE(testsupport::ReadPng(m_save + "snap/shot.png", &png));
  EXPECT_EQ(png.width, 64u);
  EXPECT_EQ(png.height, 32u);
  EXPECT_EQ(png.At(5, 5), (std::vector<int>{255, 0, 0, 127}));
  Command_SaveScreen(nullptr);
  EXPECT_EQ(Message(), "Trying to save screen to empty image file name.");
}

TEST_F(SurfaceBuiltinsTest, SurfaceSavesKeepTheirAlpha) {
  const int32_t s = Filled(6, 4, kRed, 0.5);
  Call("surface_save", {RealValue(s), testsupport::Str("a/b/surf.png")});
  testsupport::DecodedPng png;
  ASSERT_TRUE(testsupport::ReadPng(m_save + "a/b/surf.png", &png));
  EXPECT_EQ(png.width, 6u);
  EXPECT_EQ(png.height, 4u);
  EXPECT_EQ(png.At(5, 3), (std::vector<int>{255, 0, 0, 127}));

  // A part reaching beyond the surface is zero there.
  Call("surface_save_part", {RealValue(s), testsupport::Str("part.png"), RealValue(4), RealValue(2), RealValue(4),
                             RealValue(3)});
  ASSERT_TRUE(testsupport::ReadPng(m_save + "part.png", &png));
  EXPECT_EQ(png.width, 4u);
  EXPECT_EQ(png.height, 3u);
  EXPECT_EQ(png.At(1, 1), (std::vector<int>{255, 0, 0, 127}));
  EXPECT_EQ(png.At(2, 1), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(png.At(0, 2), (std::vector<int>{0, 0, 0, 0}));

  struct Case {
    std::vector<ScriptValue> args;
    const char* message;
  };
  const Case cases[] = {
      {{RealValue(99), testsupport::Str("x.png")}, "Trying to use non-existing surface."},
      {{RealValue(s), testsupport::Str("")}, "Trying to save surface to empty image file name."},
      {{RealValue(s), RealValue(3)}, "Trying to save surface to empty image file name."},
  };
  for (const Case& c : cases) {
    Call("surface_save", c.args);
    EXPECT_EQ(Message(), c.message);
  }
  // Sides below 1 or above 16384 write and allocate nothing.
  for (double w : {0.0, -5.0, 16385.0, 1e12}) {
    Call("surface_save_part", {RealValue(s), testsupport::Str("big.png"), RealValue(0), RealValue(0), RealValue(w),
                               RealValue(2)});
    EXPECT_FALSE(fs::exists(m_save + "big.png")) << w;
  }
}

TEST_F(SurfaceBuiltinsTest, ThePngWriterReportsEncoderFailuresAndStillClosesTheFile) {
  const uint8_t pixels[16] = {};
  EXPECT_FALSE(write_png_file("bad.png", pixels, 0, 4));
  ASSERT_FALSE(m_debug.lines.empty());
  EXPECT_EQ(m_debug.lines.back(), "[write_png_file] Error during writing header\n");
  EXPECT_TRUE(fs::exists(m_save + "bad.png"));  // closed, so written out
  m_debug.lines.clear();
  EXPECT_TRUE(write_png_file("good.png", pixels, 2, 2));
  EXPECT_TRUE(m_debug.lines.empty());
  // A name the save area refuses opens nothing; only the resolver's own line is printed.
  EXPECT_FALSE(write_png_file(nullptr, pixels, 2, 2));
  EXPECT_TRUE(m_debug.lines.empty());
}

}  // namespace
}  // namespace builtintest
