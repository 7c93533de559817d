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

namespace {

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

uint32_t ReadPixel() {
  uint32_t pixel = 0;
  GL_ReadBackBuffer(g_GraphicsDevice.device, 0, 0, 1, 1, &pixel);
  return pixel;
}

std::vector<uint32_t> ReadAll() {
  std::vector<uint32_t> pixels(static_cast<size_t>(kSize) * kSize);
  GL_ReadBackBuffer(g_GraphicsDevice.device, 0, 0, kSize, kSize, pixels.data());
  return pixels;
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
    ReadPixel();
  }
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / frames;
}

// ---- The raw side ----

const char kVertex[] = R"(#version 330 core
in vec2 a_position;
in vec4 a_colour;
in vec2 a_texcoord;
uniform vec2 u_scale;
out vec4 v_colour;
out vec2 v_texcoord;
void main() {
  v_colour = a_colour;
  v_texcoord = a_texcoord;
  gl_Position = vec4(a_position.x * u_scale.x - 1.0, a_position.y * u_scale.y - 1.0, 0.0, 1.0);
}
)";
const char kFragment[] = R"(#version 330 core
in vec4 v_colour;
in vec2 v_texcoord;
uniform sampler2D u_texture;
out vec4 o_colour;
void main() { o_colour = texture(u_texture, v_texcoord) * v_colour; }
)";

struct RawVertex {
  float x, y, z;
  uint32_t colour;
  float u, v;
};

GLuint Compile(GLenum kind, const char* text) {
  const GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  return shader;
}

struct RawGL {
  GLuint program = 0, vao = 0, vbo = 0, texture = 0;
  std::vector<RawVertex> vertices;

  void Make(const std::vector<uint32_t>& pagePixels, bool repeat) {
    const GLint wrap = repeat ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    program = glCreateProgram();
    const GLuint vs = Compile(GL_VERTEX_SHADER, kVertex), fs = Compile(GL_FRAGMENT_SHADER, kFragment);
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glBindAttribLocation(program, 0, "a_position");
    glBindAttribLocation(program, 1, "a_colour");
    glBindAttribLocation(program, 2, "a_texcoord");
    glLinkProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    glGenVertexArrays(1, &vao);
    glGenBuffers(1, &vbo);
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(RawVertex), reinterpret_cast<const void*>(0));
    glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(RawVertex), reinterpret_cast<const void*>(12));
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(RawVertex), reinterpret_cast<const void*>(16));
    glBindVertexArray(0);
    glGenTextures(1, &texture);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kPage, kPage, 0, GL_BGRA, GL_UNSIGNED_BYTE, pagePixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
  }

  // One frame: the quads written into one array, streamed into the buffer, drawn at once.
  void Frame(const std::vector<int32_t>& xy) {
    const size_t quads = xy.size() / 2;
    vertices.resize(quads * 6);
    const float u1 = static_cast<float>(kQuad) / kPage, v1 = u1;
    RawVertex* v = vertices.data();
    for (size_t i = 0; i < quads; ++i) {
      const float x = static_cast<float>(xy[2 * i]), y = static_cast<float>(xy[2 * i + 1]);
      const float r = x + kQuad, b = y + kQuad;
      v[0] = RawVertex{x, y, 0, 0xFFFFFFFFu, 0, 0};
      v[1] = RawVertex{r, y, 0, 0xFFFFFFFFu, u1, 0};
      v[2] = RawVertex{r, b, 0, 0xFFFFFFFFu, u1, v1};
      v[3] = v[2];
      v[4] = RawVertex{x, b, 0, 0xFFFFFFFFu, 0, v1};
      v[5] = v[0];
      v += 6;
    }
    glClearColor(0x20 / 255.0f, 0x20 / 255.0f, 0x20 / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    const GLsizeiptr bytes = static_cast<GLsizeiptr>(vertices.size() * sizeof(RawVertex));
    glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, vertices.data());
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
  }
};

// The GL state the raw side changes, saved from the device's pipeline and put back after.
struct SavedState {
  GLint program, vao, arrayBuffer, texture, sampler, activeTexture, blendSrc, blendDst, blendEq;
  GLboolean blend, depth, cull, stencil, scissor;
  GLint viewport[4];
  GLboolean colourMask[4];

  void Save() {
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vao);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    glGetIntegerv(GL_SAMPLER_BINDING, &sampler);
    glGetIntegerv(GL_BLEND_SRC_RGB, &blendSrc);
    glGetIntegerv(GL_BLEND_DST_RGB, &blendDst);
    glGetIntegerv(GL_BLEND_EQUATION_RGB, &blendEq);
    blend = glIsEnabled(GL_BLEND);
    depth = glIsEnabled(GL_DEPTH_TEST);
    cull = glIsEnabled(GL_CULL_FACE);
    stencil = glIsEnabled(GL_STENCIL_TEST);
    scissor = glIsEnabled(GL_SCISSOR_TEST);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetBooleanv(GL_COLOR_WRITEMASK, colourMask);
  }
  void Restore() const {
    auto set = [](GLenum cap, GLboolean on) { on ? glEnable(cap) : glDisable(cap); };
    glUseProgram(static_cast<GLuint>(program));
    glBindVertexArray(static_cast<GLuint>(vao));
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBuffer));
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
    glBindSampler(0, static_cast<GLuint>(sampler));
    glActiveTexture(static_cast<GLenum>(activeTexture));
    glBlendFuncSeparate(static_cast<GLenum>(blendSrc), static_cast<GLenum>(blendDst), static_cast<GLenum>(blendSrc),
                        static_cast<GLenum>(blendDst));
    glBlendEquation(static_cast<GLenum>(blendEq));
    set(GL_BLEND, blend);
    set(GL_DEPTH_TEST, depth);
    set(GL_CULL_FACE, cull);
    set(GL_STENCIL_TEST, stencil);
    set(GL_SCISSOR_TEST, scissor);
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    glColorMask(colourMask[0], colourMask[1], colourMask[2], colourMask[3]);
  }
};

double RawFrames(RawGL& raw, const std::vector<int32_t>& xy, int frames) {
  SavedState saved;
  saved.Save();
  glUseProgram(raw.program);
  glUniform2f(glGetUniformLocation(raw.program, "u_scale"), 2.0f / kSize, 2.0f / kSize);
  glUniform1i(glGetUniformLocation(raw.program, "u_texture"), 0);
  glBindVertexArray(raw.vao);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, raw.texture);
  glBindSampler(0, 0);
  glEnable(GL_BLEND);
  glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glBlendEquation(GL_FUNC_ADD);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glViewport(0, 0, kSize, kSize);
  const Clock::time_point start = Clock::now();
  for (int f = 0; f < frames; ++f) {
    raw.Frame(xy);
    ReadPixel();  // the same synchronising read-back as the engine side (it rebinds the framebuffer)
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
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "quad_bench: SDL_Init failed: %s\n", SDL_GetError());
    return 2;
  }
  D3D_SetBackend(GL_D3DBackend());
  if (!GR_D3D_Init(nullptr, kSize, kSize, 0) || g_GraphicsDevice.device == nullptr) {
    std::fprintf(stderr, "quad_bench: no graphics device\n");
    return 2;
  }
  GR_SetViewport(0, 0, kSize, kSize);
  GR_SetViewArea(0.0f, 0.0f, static_cast<float>(kSize), static_cast<float>(kSize), 0.0f);
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
  const std::vector<uint32_t> batchPixels = ReadAll();
  RawFrames(raw, xy, 3);
  const std::vector<uint32_t> rawPixels = ReadAll();
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
