// The textured-quad benchmark: N small quads (8 x 8 pixels, one texture page) a frame, drawn
// through GR_Texture_DrawEntryExt and the vertex batch on the OpenGL device, against raw OpenGL
// drawing the same quads in the same context and framebuffer (one streamed buffer, a minimal
// textured program, one draw call a frame). Every frame ends with a one-pixel read-back, so the
// times include the rendering itself. The two are timed in alternating rounds; the best round
// of each counts.
//
// Usage: quad_bench [--quads N] [--frames F] [--rounds R] [--repeat]
// Both sides sample the page with point filtering and, unless --repeat, clamped addressing (the
// game's default: texture repeat off).
// Prints one line per side and the ratio:
//   batch quads=<N> best_ms_per_frame=<ms> quads_per_s=<rate>
//   raw   quads=<N> best_ms_per_frame=<ms> quads_per_s=<rate>
//   ratio batch/raw=<throughput ratio> pixels_equal=<0|1>
// and exits with status 1 when the ratio is below 0.90.
#include <epoxy/gl.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/device/D3D_GL.h"
#include "runner/GameData.h"
#include "BenchGL.h"

namespace {

using benchgl::RawGL;
using benchgl::SavedState;

constexpr int32_t kSize = 512;   // the back buffer, square
constexpr int32_t kPage = 256;   // the texture page, square
constexpr int32_t kQuad = 8;     // the quad and its image

struct Options {
  int quads = 10000;
  int frames = 60;
  int rounds = 7;
  bool repeat = false;  // both sides sample with texture repeat on (the game's default is off)
};

using Clock = std::chrono::steady_clock;

// The same pseudo-random integer positions for both sides.
std::vector<int32_t> Positions(int count) {
  std::vector<int32_t> xy(static_cast<size_t>(count) * 2);
  uint32_t seed = 12345;
  for (int32_t& v : xy) {
    seed = seed * 1664525u + 1013904223u;
    v = static_cast<int32_t>((seed >> 8) % static_cast<uint32_t>(kSize - kQuad));
  }
  return xy;
}

// ---- The engine side ----

double BatchFrames(TPageEntry* entry, const std::vector<int32_t>& xy, int frames) {
  const int quads = static_cast<int>(xy.size() / 2);
  const Clock::time_point start = Clock::now();
  for (int f = 0; f < frames; ++f) {
    GR_Clear(0xFF202020);
    for (int i = 0; i < quads; ++i)
      GR_Texture_DrawEntryExt(entry, 0.0f, 0.0f, static_cast<float>(xy[2 * i]), static_cast<float>(xy[2 * i + 1]),
                              1.0f, 1.0f, 0.0f, 0xFFFFFF, 1.0f);
    GraphicsFlush();
    ResetVertexBuffersForFrame();
    benchgl::ReadPixel();
  }
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / frames;
}

double RawFrames(RawGL& raw, const std::vector<int32_t>& xy, int frames) {
  SavedState saved;
  saved.Save();
  raw.Bind();
  const Clock::time_point start = Clock::now();
  for (int f = 0; f < frames; ++f) {
    raw.Frame(xy);
    // The same synchronising read-back as the engine side (it rebinds the framebuffer).
    benchgl::ReadPixel();
  }
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count() / frames;
  saved.Restore();
  return ms;
}

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const bool more = i + 1 < argc;
    if (std::strcmp(argv[i], "--quads") == 0 && more) {
      o->quads = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--frames") == 0 && more) {
      o->frames = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--rounds") == 0 && more) {
      o->rounds = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--repeat") == 0) {
      o->repeat = true;
    } else {
      std::fprintf(stderr, "usage: quad_bench [--quads N] [--frames F] [--rounds R] [--repeat]\n");
      return false;
    }
  }
  return o->quads > 0 && o->frames > 0 && o->rounds > 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) return 2;
  if (!benchgl::StartDevice("quad_bench", kSize)) return 2;
  GR_SetTextureRepeat(options.repeat);

  // A page of 8 x 8 images, the first of which every quad draws; opaque texels of their own.
  std::vector<uint32_t> page(static_cast<size_t>(kPage) * kPage);
  for (int32_t y = 0; y < kPage; ++y)
    for (int32_t x = 0; x < kPage; ++x)
      page[static_cast<size_t>(y) * kPage + x] = 0xFF000000u | static_cast<uint32_t>(x * 37 % 256) << 16 |
                                                  static_cast<uint32_t>(y * 53 % 256) << 8 | static_cast<uint32_t>((x ^ y) & 0xFF);
  const int32_t pageId = GR_Texture_Create(kPage, kPage, page.data(), page.size() * 4);
  TPageEntry entry{};
  entry.width = entry.height = entry.cropWidth = entry.cropHeight = entry.fullWidth = entry.fullHeight = kQuad;
  entry.texturePage = static_cast<int16_t>(pageId);

  const std::vector<int32_t> xy = Positions(options.quads);
  RawGL raw;
  raw.Make(page, options.repeat);

  // Warm-up, and the two pictures compared.
  BatchFrames(&entry, xy, 3);
  const std::vector<uint32_t> batchPixels = benchgl::ReadAll(kSize);
  RawFrames(raw, xy, 3);
  const std::vector<uint32_t> rawPixels = benchgl::ReadAll(kSize);
  const bool same = batchPixels == rawPixels;

  double bestBatch = 1e30, bestRaw = 1e30;
  for (int r = 0; r < options.rounds; ++r) {
    bestBatch = std::min(bestBatch, BatchFrames(&entry, xy, options.frames));
    bestRaw = std::min(bestRaw, RawFrames(raw, xy, options.frames));
  }
  const double ratio = bestRaw / bestBatch;  // throughput is the inverse of the frame time
  std::printf("batch quads=%d best_ms_per_frame=%.3f quads_per_s=%.0f\n", options.quads, bestBatch,
              options.quads * 1000.0 / bestBatch);
  std::printf("raw   quads=%d best_ms_per_frame=%.3f quads_per_s=%.0f\n", options.quads, bestRaw,
              options.quads * 1000.0 / bestRaw);
  std::printf("ratio batch/raw=%.3f pixels_equal=%d\n", ratio, same ? 1 : 0);

  GR_D3D_Finish();
  SDL_Quit();
  return ratio >= 0.90 ? 0 : 1;
}
