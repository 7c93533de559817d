// The sprite benchmark: N sprites of 8 x 8 pixels a frame, drawn through SpriteDraw (frame
// choice, view culling, the texture-page entry, the vertex batch) on the OpenGL device, against
// raw OpenGL drawing the same quads from one vertex buffer prepared before the timing, in the
// same context and framebuffer. Every frame ends with a one-pixel read-back, so the times include
// the rendering. The two are timed in alternating rounds; the best round of each counts.
//
// Usage: sprite_bench [--sprites N] [--frames F] [--rounds R]
// Prints:
//   sprites sprites=<N> best_ms_per_frame=<ms>
//   raw     quads=<N> best_ms_per_frame=<ms>
//   ratio sprites/raw=<time ratio> pixels_equal=<0|1>
// and exits with status 1 when the sprites take more than twice the raw time.
#include <epoxy/gl.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BenchGL.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/device/D3D_GL.h"
#include "runner/GameData.h"
#include "sprite/Sprite_Class.h"

namespace {

constexpr int32_t kSize = 512;  // the back buffer, square
constexpr int32_t kPage = 256;  // the texture page, square
constexpr int32_t kSprite = 8;  // the sprite's frame

using Clock = std::chrono::steady_clock;

struct Options {
  int sprites = 10000;
  int frames = 60;
  int rounds = 7;
};

std::vector<int32_t> Positions(int count) {
  std::vector<int32_t> xy(static_cast<size_t>(count) * 2);
  uint32_t seed = 12345;
  for (int32_t& v : xy) {
    seed = seed * 1664525u + 1013904223u;
    v = static_cast<int32_t>((seed >> 8) % static_cast<uint32_t>(kSize - kSprite));
  }
  return xy;
}

double SpriteFrames(const CSprite& sprite, const std::vector<int32_t>& xy, int frames) {
  const int count = static_cast<int>(xy.size() / 2);
  const Clock::time_point start = Clock::now();
  for (int f = 0; f < frames; ++f) {
    GR_Clear(0xFF202020);
    for (int i = 0; i < count; ++i) {
      SpriteDraw(sprite, f, static_cast<float>(xy[2 * i]), static_cast<float>(xy[2 * i + 1]), 1.0f, 1.0f, 0.0f,
                 0xFFFFFF, 1.0f);
    }
    GraphicsFlush();
    ResetVertexBuffersForFrame();
    benchgl::ReadPixel();
  }
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / frames;
}

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const bool more = i + 1 < argc;
    if (std::strcmp(argv[i], "--sprites") == 0 && more) {
      o->sprites = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--frames") == 0 && more) {
      o->frames = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--rounds") == 0 && more) {
      o->rounds = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: sprite_bench [--sprites N] [--frames F] [--rounds R]\n");
      return false;
    }
  }
  return o->sprites > 0 && o->frames > 0 && o->rounds > 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) return 2;
  if (!benchgl::StartDevice("sprite_bench", kSize)) return 2;

  std::vector<uint32_t> page(static_cast<size_t>(kPage) * kPage);
  for (int32_t y = 0; y < kPage; ++y)
    for (int32_t x = 0; x < kPage; ++x)
      page[static_cast<size_t>(y) * kPage + x] = 0xFF000000u | static_cast<uint32_t>(x * 37 % 256) << 16 |
                                                  static_cast<uint32_t>(y * 53 % 256) << 8 |
                                                  static_cast<uint32_t>((x ^ y) & 0xFF);
  const int32_t pageId = GR_Texture_Create(kPage, kPage, page.data(), page.size() * 4);
  TPageEntry entry{};
  entry.width = entry.height = entry.cropWidth = entry.cropHeight = entry.fullWidth = entry.fullHeight = kSprite;
  entry.texturePage = static_cast<int16_t>(pageId);
  // A sprite of the game data's form: one frame, one page entry, origin (0, 0).
  CSprite sprite;
  sprite.m_width = sprite.m_height = kSprite;
  sprite.m_numb = 1;
  sprite.m_pageEntries.Push(&entry);
  sprite.ComputeBoundingBox();

  const std::vector<int32_t> xy = Positions(options.sprites);
  benchgl::RawGL raw;
  raw.Make(page, false);
  raw.Prepare(xy);

  SpriteFrames(sprite, xy, 3);
  const std::vector<uint32_t> spritePixels = benchgl::ReadAll(kSize);
  benchgl::RawPreparedFrames(raw, 3);
  const std::vector<uint32_t> rawPixels = benchgl::ReadAll(kSize);
  const bool same = spritePixels == rawPixels;

  double bestSprites = 1e30, bestRaw = 1e30;
  for (int r = 0; r < options.rounds; ++r) {
    bestSprites = std::min(bestSprites, SpriteFrames(sprite, xy, options.frames));
    bestRaw = std::min(bestRaw, benchgl::RawPreparedFrames(raw, options.frames));
  }
  const double ratio = bestSprites / bestRaw;
  std::printf("sprites sprites=%d best_ms_per_frame=%.3f\n", options.sprites, bestSprites);
  std::printf("raw     quads=%d best_ms_per_frame=%.3f\n", options.sprites, bestRaw);
  std::printf("ratio sprites/raw=%.3f pixels_equal=%d\n", ratio, same ? 1 : 0);

  sprite.m_pageEntries.Clear();  // the entry is not the sprite's
  GR_D3D_Finish();
  SDL_Quit();
  return ratio <= 2.0 ? 0 : 1;
}
