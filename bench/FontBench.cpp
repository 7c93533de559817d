// The font benchmark: 2,000 characters a frame (40 lines of 50) drawn through CFontTW::Draw on the
// OpenGL device, once with a page font and once with a TrueType font whose glyphs are already in
// its glyph cache, each against raw OpenGL drawing the same glyph quads (the vertices the font made,
// captured once) from one prepared vertex buffer, with the same texture pixels, in the same context.
// Every frame ends with a one-pixel read-back, so the times include the rendering. The two sides
// are timed in alternating rounds; the best round of each counts.
//
// Usage: font_bench [--frames F] [--rounds R] [--font FILE]
//   FILE is the TrueType file (default /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf).
// Prints per font:
//   <kind> font chars=<N> best_ms_per_frame=<ms>
//   <kind> raw  quads=<N> best_ms_per_frame=<ms>
//   <kind> ratio font/raw=<time ratio> pixels_equal=<0|1>
// and exits with status 1 when a font takes more than twice the raw time.
#include <epoxy/gl.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchGL.h"
#include "font/Font_Class.h"
#include "font/Font_Main.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_Texture.h"
#include "os/OS_Paths.h"

namespace {

constexpr int32_t kSize = 512;  // the back buffer, square
constexpr int kLines = 40, kColumns = 50;

using Clock = std::chrono::steady_clock;

struct Options {
  int frames = 60;
  int rounds = 7;
  std::string font = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
};

// 40 lines of 50 printable characters.
std::vector<std::u16string> Lines() {
  std::vector<std::u16string> lines;
  uint32_t seed = 777;
  for (int l = 0; l < kLines; ++l) {
    std::u16string line;
    for (int c = 0; c < kColumns; ++c) {
      seed = seed * 1664525u + 1013904223u;
      line += static_cast<char16_t>(33 + (seed >> 8) % 94);
    }
    lines.push_back(line);
  }
  return lines;
}

void DrawLines(CFontTW& font, const std::vector<std::u16string>& lines) {
  for (size_t l = 0; l < lines.size(); ++l) font.Draw(2, 2 + 12.0f * static_cast<float>(l), lines[l].c_str(), 0xFFFFFF, 1);
}

double FontFrames(CFontTW& font, const std::vector<std::u16string>& lines, int frames) {
  const Clock::time_point start = Clock::now();
  for (int f = 0; f < frames; ++f) {
    GR_Clear(0xFF202020);
    DrawLines(font, lines);
    GraphicsFlush();
    ResetVertexBuffersForFrame();
    benchgl::ReadPixel();
  }
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / frames;
}

// The vertices one frame of the font puts into the batch (the open batch before it is drawn).
std::vector<benchgl::RawVertex> Capture(CFontTW& font, const std::vector<std::u16string>& lines) {
  GraphicsFlush();
  DrawLines(font, lines);
  const BatchVertexBuffer* b = g_VertexBatch.current;
  std::vector<benchgl::RawVertex> v;
  if (b != nullptr && g_VertexBatch.stride == sizeof(benchgl::RawVertex)) {
    const auto* first = reinterpret_cast<const benchgl::RawVertex*>(g_VertexBatch.base);
    v.assign(first, first + (b->nextFree - b->batchStart));
  }
  GraphicsFlush();
  ResetVertexBuffersForFrame();
  return v;
}

// Times one font against raw OpenGL over the same quads and texture pixels; the ratio.
double Compare(const char* kind, CFontTW& font, const std::vector<uint32_t>& texturePixels, int32_t textureSize,
               const Options& options) {
  const std::vector<std::u16string> lines = Lines();
  FontFrames(font, lines, 3);  // warms the glyph cache of a TrueType font
  benchgl::RawGL raw;
  raw.page = textureSize;
  raw.backBuffer = kSize;
  raw.Make(texturePixels, false);
  raw.vertices = Capture(font, lines);
  glBindBuffer(GL_ARRAY_BUFFER, raw.vbo);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(raw.vertices.size() * sizeof(benchgl::RawVertex)),
               raw.vertices.data(), GL_STATIC_DRAW);

  FontFrames(font, lines, 1);
  const std::vector<uint32_t> fontPixels = benchgl::ReadAll(kSize);
  benchgl::RawPreparedFrames(raw, 1);
  const std::vector<uint32_t> rawPixels = benchgl::ReadAll(kSize);

  double bestFont = 1e30, bestRaw = 1e30;
  for (int r = 0; r < options.rounds; ++r) {
    bestFont = std::min(bestFont, FontFrames(font, lines, options.frames));
    bestRaw = std::min(bestRaw, benchgl::RawPreparedFrames(raw, options.frames));
  }
  const double ratio = bestFont / bestRaw;
  std::printf("%s font chars=%d best_ms_per_frame=%.3f\n", kind, kLines * kColumns, bestFont);
  std::printf("%s raw  quads=%zu best_ms_per_frame=%.3f\n", kind, raw.vertices.size() / 6, bestRaw);
  std::printf("%s ratio font/raw=%.3f pixels_equal=%d\n", kind, ratio, fontPixels == rawPixels ? 1 : 0);
  return ratio;
}

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const bool more = i + 1 < argc;
    if (std::strcmp(argv[i], "--frames") == 0 && more) {
      o->frames = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--rounds") == 0 && more) {
      o->rounds = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--font") == 0 && more) {
      o->font = argv[++i];
    } else {
      std::fprintf(stderr, "usage: font_bench [--frames F] [--rounds R] [--font FILE]\n");
      return false;
    }
  }
  return o->frames > 0 && o->rounds > 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) return 2;
  if (!benchgl::StartDevice("font_bench", kSize)) return 2;

  // The page font: the built-in font's rectangles on a 256 x 256 page of known pixels.
  constexpr int32_t kPage = 256;
  std::vector<uint32_t> page(static_cast<size_t>(kPage) * kPage);
  for (int32_t y = 0; y < kPage; ++y)
    for (int32_t x = 0; x < kPage; ++x)
      page[static_cast<size_t>(y) * kPage + x] = ((x * 7 + y * 3) % 5 == 0 ? 0xFF000000u : 0) | 0xFFFFFFu;
  const int32_t pageId = GR_Texture_Create(kPage, kPage, page.data(), page.size() * 4);
  CFontTW pageFont;
  pageFont.ConstructBuiltIn(g_BuiltinFontGlyphs, kBuiltinFontFirst, kBuiltinFontLast, pageId);
  const double pageRatio = Compare("page", pageFont, page, kPage, options);

  // The TrueType font, read from the folder of its file as a game would read it.
  const std::filesystem::path file = std::filesystem::absolute(options.font);
  SetGameFilePath((file.parent_path() / "game.win").c_str());
  Font_Init();
  CFontTW* truetype = Font_Data(Font_Add(file.filename().c_str(), 12, false, false, 32, 127));
  if (truetype == nullptr || truetype->m_cache.m_hardwareTexture == nullptr) {
    std::fprintf(stderr, "font_bench: the TrueType font %s cannot be used\n", options.font.c_str());
    return 2;
  }
  FontFrames(*truetype, Lines(), 1);  // renders every glyph the lines use
  const HardwareTexture* cache = truetype->m_cache.m_hardwareTexture;
  std::vector<uint32_t> cachePixels(512 * 512);
  std::memcpy(cachePixels.data(), cache->pixelCopy, cachePixels.size() * 4);
  const double trueTypeRatio = Compare("truetype", *truetype, cachePixels, 512, options);

  Font_Shutdown();
  GR_D3D_Finish();
  SDL_Quit();
  return pageRatio <= 2.0 && trueTypeRatio <= 2.0 ? 0 : 1;
}
