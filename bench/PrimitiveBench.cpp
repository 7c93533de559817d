// The primitive benchmark: 10,000 filled rectangles and 1,000 filled circles a frame, drawn
// through GR_DrawRectangle and GR_DrawCircle and the vertex batch on the OpenGL device, against
// raw OpenGL drawing the same triangles from one array prepared once (streamed into one buffer,
// one draw call a frame, a minimal untextured program) in the same context and framebuffer. Every
// frame ends with a one-pixel read-back, so the times include the rendering itself. The two are
// timed in alternating rounds; the best round of each counts.
//
// Usage: primitive_bench [--rects N] [--circles N] [--frames F] [--rounds R]
// Prints one line per side and the cost ratio:
//   primitives rects=<N> circles=<N> best_ms_per_frame=<ms>
//   raw        rects=<N> circles=<N> best_ms_per_frame=<ms>
//   cost primitives/raw=<ratio>
// and exits with status 1 when the primitives cost more than 1.5 times the raw drawing.
#include <epoxy/gl.h>

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/device/D3D_GL.h"
#include "BenchGL.h"

namespace {

constexpr int32_t kSize = 512;  // the back buffer, square
constexpr float kRadius = 6.0f;

struct Options {
  int rects = 10000;
  int circles = 1000;
  int frames = 60;
  int rounds = 7;
};

using Clock = std::chrono::steady_clock;

struct Shape {
  float x, y;
  uint32_t colour;  // script colour
};

std::vector<Shape> Shapes(int count, uint32_t seed) {
  std::vector<Shape> shapes(static_cast<size_t>(count));
  for (Shape& s : shapes) {
    seed = seed * 1664525u + 1013904223u;
    s.x = static_cast<float>((seed >> 8) % (kSize - 20) + 8);
    seed = seed * 1664525u + 1013904223u;
    s.y = static_cast<float>((seed >> 8) % (kSize - 20) + 8);
    s.colour = seed & 0xFFFFFFu;
  }
  return shapes;
}

// ---- The engine side ----

double EngineFrames(const std::vector<Shape>& rects, const std::vector<Shape>& circles, int frames) {
  const Clock::time_point start = Clock::now();
  for (int f = 0; f < frames; ++f) {
    GR_Clear(0xFF202020);
    for (const Shape& s : rects) {
      GR_SetColour(s.colour);
      GR_DrawRectangle(s.x, s.y, s.x + 7.0f, s.y + 5.0f, false);
    }
    for (const Shape& s : circles) {
      GR_SetColour(s.colour);
      GR_DrawCircle(s.x, s.y, kRadius, false);
    }
    GraphicsFlush();
    ResetVertexBuffersForFrame();
    benchgl::ReadPixel();
  }
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / frames;
}

// ---- The raw side ----

const char kVertex[] = R"(#version 330 core
in vec2 a_position;
in vec4 a_colour;
uniform vec2 u_scale;
out vec4 v_colour;
void main() {
  v_colour = a_colour;
  gl_Position = vec4(a_position.x * u_scale.x - 1.0, a_position.y * u_scale.y - 1.0, 0.0, 1.0);
}
)";
const char kFragment[] = R"(#version 330 core
in vec4 v_colour;
out vec4 o_colour;
void main() { o_colour = v_colour; }
)";

struct RawVertex {
  float x, y, z;
  uint32_t colour;  // 0xAARRGGBB
};

struct RawGL {
  GLuint program = 0, vao = 0, vbo = 0;
  std::vector<RawVertex> vertices;  // prepared once

  void Make(const std::vector<Shape>& rects, const std::vector<Shape>& circles) {
    program = benchgl::LinkProgram(kVertex, kFragment, {"a_position", "a_colour"});
    glGenVertexArrays(1, &vao);
    glGenBuffers(1, &vbo);
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(RawVertex), reinterpret_cast<const void*>(0));
    glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(RawVertex), reinterpret_cast<const void*>(12));
    glBindVertexArray(0);
    // The same triangles the primitives make.
    const auto argb = [](uint32_t c) { return 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF); };
    for (const Shape& s : rects) {
      const float x1 = s.x, y1 = s.y, x2 = s.x + 8.0f, y2 = s.y + 6.0f;
      const uint32_t c = argb(s.colour);
      const RawVertex quad[6] = {{x1, y1, 0, c}, {x2, y1, 0, c}, {x2, y2, 0, c},
                                 {x2, y2, 0, c}, {x1, y2, 0, c}, {x1, y1, 0, c}};
      vertices.insert(vertices.end(), quad, quad + 6);
    }
    const int32_t n = GR_GetCirclePrecision();
    for (const Shape& s : circles) {
      const float cx = s.x + 1.0f, cy = s.y + 1.0f;
      const uint32_t c = argb(s.colour);
      for (int32_t i = 0; i < n; ++i) {
        const float a0 = 6.2831853f * i / n, a1 = 6.2831853f * (i + 1) / n;
        vertices.push_back({cx, cy, 0, c});
        vertices.push_back({cx + std::cos(a0) * kRadius, cy + std::sin(a0) * kRadius, 0, c});
        vertices.push_back({cx + std::cos(a1) * kRadius, cy + std::sin(a1) * kRadius, 0, c});
      }
    }
  }

  void Frame() {
    glClearColor(0x20 / 255.0f, 0x20 / 255.0f, 0x20 / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    const GLsizeiptr bytes = static_cast<GLsizeiptr>(vertices.size() * sizeof(RawVertex));
    glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, vertices.data());
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
  }
};

double RawFrames(RawGL& raw, int frames) {
  benchgl::SavedState saved;
  saved.Save();
  glUseProgram(raw.program);
  glUniform2f(glGetUniformLocation(raw.program, "u_scale"), 2.0f / kSize, 2.0f / kSize);
  glBindVertexArray(raw.vao);
  glEnable(GL_BLEND);
  glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_SCISSOR_TEST);
  glViewport(0, 0, kSize, kSize);
  const Clock::time_point start = Clock::now();
  for (int f = 0; f < frames; ++f) {
    raw.Frame();
    benchgl::ReadPixel();
  }
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count() / frames;
  saved.Restore();
  return ms;
}

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const bool more = i + 1 < argc;
    if (std::strcmp(argv[i], "--rects") == 0 && more) {
      o->rects = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--circles") == 0 && more) {
      o->circles = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--frames") == 0 && more) {
      o->frames = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--rounds") == 0 && more) {
      o->rounds = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: primitive_bench [--rects N] [--circles N] [--frames F] [--rounds R]\n");
      return false;
    }
  }
  return o->rects >= 0 && o->circles >= 0 && o->frames > 0 && o->rounds > 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) return 2;
  if (!benchgl::StartDevice("primitive_bench", kSize)) return 2;

  const std::vector<Shape> rects = Shapes(options.rects, 12345), circles = Shapes(options.circles, 777);
  RawGL raw;
  raw.Make(rects, circles);

  EngineFrames(rects, circles, 3);  // warm-up
  RawFrames(raw, 3);
  double bestEngine = 1e30, bestRaw = 1e30;
  for (int r = 0; r < options.rounds; ++r) {
    bestEngine = std::min(bestEngine, EngineFrames(rects, circles, options.frames));
    bestRaw = std::min(bestRaw, RawFrames(raw, options.frames));
  }
  const double cost = bestEngine / bestRaw;
  std::printf("primitives rects=%d circles=%d best_ms_per_frame=%.3f\n", options.rects, options.circles, bestEngine);
  std::printf("raw        rects=%d circles=%d best_ms_per_frame=%.3f\n", options.rects, options.circles, bestRaw);
  std::printf("cost primitives/raw=%.3f\n", cost);

  GR_D3D_Finish();
  SDL_Quit();
  return cost <= 1.5 ? 0 : 1;
}
