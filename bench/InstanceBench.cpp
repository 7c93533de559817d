// The instance benchmark: the game of bench/instances (10,000 instances of one object, each with
// a step event of a few statements and a 16 x 16 sprite drawn by the default draw, in a
// 1024 x 768 room and window), packed by the packer and started headless as the runner starts a
// game. Each frame is timed in two parts: the frame step (every event phase, motion and
// collisions, with the drawing turned off) and the room drawing through the end of the frame and
// glFinish. Raw OpenGL draws the same textured quads (the same sprite pixels, the instances'
// positions, the same blending, into the back buffer) from one buffer with one shader, timed the
// same way in the same run.
//
// Usage: instance_bench GAME_FILE [--frames F]
// Prints:
//   step ms_median=<ms>          frame step per frame
//   draw ms_median=<ms>          room drawing through glFinish per frame
//   raw  ms_median=<ms>          raw OpenGL through glFinish per frame
//   ratio draw/raw=<ratio> instances=<N>
// and exits with status 1 when the step takes more than 4 ms or the drawing more than 1.5 times
// the raw time.
#include <epoxy/gl.h>
#include <png.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchGL.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Frame.h"
#include "graphics/Graphics_RenderState.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"
#include "room/Room_Draw.h"
#include "room/Room_Main.h"
#include "run/Run_CommandLine.h"
#include "run/Run_Frame.h"
#include "run/Run_Startup.h"
#include "os/OS_Paths.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The sprite's pixels as the raw side's texture: BGRA words, rows from the top.
bool ReadSpritePixels(const std::string& path, int32_t* side, std::vector<uint32_t>* pixels) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&png, path.c_str()) == 0) return false;
  png.format = PNG_FORMAT_BGRA;
  pixels->resize(static_cast<size_t>(png.width) * png.height);
  *side = static_cast<int32_t>(png.width);
  return png.width == png.height && png_image_finish_read(&png, nullptr, pixels->data(), 0, nullptr) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: instance_bench GAME_FILE [--frames F]\n");
    return 2;
  }
  int frames = 120;
  if (argc == 4 && std::strcmp(argv[2], "--frames") == 0) frames = std::max(10, std::atoi(argv[3]));
  setenv("RUNNER_HEADLESS", "1", 1);
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("ALSOFT_DRIVERS", "null", 0);
  const std::string commandLine = std::string("instance_bench -game \"") + argv[1] + "\"";
  ParseCommandLine(commandLine.c_str());
  MakeGameFilePathAbsolute();
  InitRunner();
  if (!StartRunner() || CurrentRoom == nullptr) {
    std::fprintf(stderr, "instance_bench: %s cannot be started\n", argv[1]);
    return 2;
  }
  int instances = 0;
  for (CInstance* i = CurrentRoom->m_Active.first; i != nullptr; i = i->i_next) ++instances;

  std::vector<double> step, draw, raw;
  // The raw side: the sprite's own pixels, the quads at the instances' positions.
  int32_t side = 0;
  std::vector<uint32_t> pixels;
  const std::string image = std::string(BENCH_SOURCE_DIR) + "/instances/block.png";
  if (!ReadSpritePixels(image, &side, &pixels)) {
    std::fprintf(stderr, "instance_bench: %s cannot be read\n", image.c_str());
    return 2;
  }
  benchgl::RawGL gl;
  gl.page = side;
  gl.quad = side;
  gl.backBuffer = 1024;
  gl.Make(pixels, false);

  for (int f = 0; f < frames + 10; ++f) {
    // The frame step without its drawing.
    g_RenderStates.drawEvents = false;
    GR_D3D_Start_Frame();
    Clock::time_point start = Clock::now();
    RunFrameStep();
    const double stepMs = Since(start);
    g_RenderStates.drawEvents = true;
    // The room drawing through the end of the frame.
    start = Clock::now();
    DrawRoom();
    GR_D3D_Finish_Frame(false);
    glFinish();
    const double drawMs = Since(start);
    // Raw OpenGL: the same quads.
    std::vector<int32_t> xy;
    for (CInstance* i = CurrentRoom->m_Active.first; i != nullptr; i = i->i_next) {
      xy.push_back(static_cast<int32_t>(i->i_x));
      xy.push_back(static_cast<int32_t>(i->i_y));
    }
    GR_D3D_Start_Frame();
    benchgl::SavedState saved;
    saved.Save();
    start = Clock::now();
    gl.Bind();
    glUniform2f(glGetUniformLocation(gl.program, "u_scale"), 2.0f / 1024.0f, 2.0f / 768.0f);
    glViewport(0, 0, 1024, 768);
    gl.Frame(xy);
    glFinish();
    const double rawMs = Since(start);
    saved.Restore();
    GR_D3D_Finish_Frame(false);
    if (f >= 10) {  // the first frames warm the caches
      step.push_back(stepMs);
      draw.push_back(drawMs);
      raw.push_back(rawMs);
    }
  }
  const double stepMedian = Median(step), drawMedian = Median(draw), rawMedian = Median(raw);
  const double ratio = drawMedian / rawMedian;
  std::printf("step ms_median=%.3f\n", stepMedian);
  std::printf("draw ms_median=%.3f\n", drawMedian);
  std::printf("raw  ms_median=%.3f\n", rawMedian);
  std::printf("ratio draw/raw=%.3f instances=%d frames=%d\n", ratio, instances, frames);
  std::fflush(stdout);
  std::_Exit(stepMedian <= 4.0 && ratio <= 1.5 ? 0 : 1);
}
