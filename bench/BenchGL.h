// Raw OpenGL drawing of textured quads for the benchmarks that compare the engine's drawing with
// it: a minimal textured program over 24-byte vertices (x, y, z, colour, u, v) in pixels of a
// square back buffer, and the GL state the raw side changes, saved and put back around it.
#pragma once

#include <epoxy/gl.h>

#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <vector>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/device/D3D_GL.h"

namespace benchgl {

// Starts the engine's graphics device on OpenGL (SDL's offscreen driver unless another is asked
// for) with a square back buffer of `size` pixels, its viewport and its view area; false, after a
// message naming `program`, when there is none.
inline bool StartDevice(const char* program, int32_t size) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "%s: SDL_Init failed: %s\n", program, SDL_GetError());
    return false;
  }
  D3D_SetBackend(GL_D3DBackend());
  if (!GR_D3D_Init(nullptr, size, size, 0) || g_GraphicsDevice.device == nullptr) {
    std::fprintf(stderr, "%s: no graphics device\n", program);
    return false;
  }
  GR_SetViewport(0, 0, size, size);
  GR_SetViewArea(0.0f, 0.0f, static_cast<float>(size), static_cast<float>(size), 0.0f);
  return true;
}

// The back buffer's pixel (0, 0): a read-back that waits until everything drawn has rendered.
inline uint32_t ReadPixel() {
  uint32_t pixel = 0;
  GL_ReadBackBuffer(g_GraphicsDevice.device, 0, 0, 1, 1, &pixel);
  return pixel;
}

// The whole square back buffer of `size` pixels, row by row.
inline std::vector<uint32_t> ReadAll(int32_t size) {
  std::vector<uint32_t> pixels(static_cast<size_t>(size) * size);
  GL_ReadBackBuffer(g_GraphicsDevice.device, 0, 0, size, size, pixels.data());
  return pixels;
}

inline const char kVertex[] = R"(#version 330 core
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
inline const char kFragment[] = R"(#version 330 core
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

inline GLuint Compile(GLenum kind, const char* text) {
  const GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  return shader;
}

// A program of the two shader texts, its attributes bound to locations 0, 1, ... in order.
inline GLuint LinkProgram(const char* vertex, const char* fragment, std::initializer_list<const char*> attributes) {
  const GLuint program = glCreateProgram();
  const GLuint vs = Compile(GL_VERTEX_SHADER, vertex), fs = Compile(GL_FRAGMENT_SHADER, fragment);
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  GLuint location = 0;
  for (const char* name : attributes) glBindAttribLocation(program, location++, name);
  glLinkProgram(program);
  glDeleteShader(vs);
  glDeleteShader(fs);
  return program;
}

struct RawGL {
  int32_t page = 256;   // the texture page, square
  int32_t quad = 8;     // the quad and its image
  float backBuffer = 512;  // the back buffer's side
  GLuint program = 0, vao = 0, vbo = 0, texture = 0;
  std::vector<RawVertex> vertices;

  void Make(const std::vector<uint32_t>& pagePixels, bool repeat) {
    const GLint wrap = repeat ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    program = LinkProgram(kVertex, kFragment, {"a_position", "a_colour", "a_texcoord"});
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
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, page, page, 0, GL_BGRA, GL_UNSIGNED_BYTE, pagePixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
  }

  // The quads at the positions written into the vertex array.
  void Fill(const std::vector<int32_t>& xy) {
    const size_t quads = xy.size() / 2;
    vertices.resize(quads * 6);
    const float u1 = static_cast<float>(quad) / page, v1 = u1;
    RawVertex* v = vertices.data();
    for (size_t i = 0; i < quads; ++i) {
      const float x = static_cast<float>(xy[2 * i]), y = static_cast<float>(xy[2 * i + 1]);
      const float r = x + quad, b = y + quad;
      v[0] = RawVertex{x, y, 0, 0xFFFFFFFFu, 0, 0};
      v[1] = RawVertex{r, y, 0, 0xFFFFFFFFu, u1, 0};
      v[2] = RawVertex{r, b, 0, 0xFFFFFFFFu, u1, v1};
      v[3] = v[2];
      v[4] = RawVertex{x, b, 0, 0xFFFFFFFFu, 0, v1};
      v[5] = v[0];
      v += 6;
    }
  }
  // Clears the back buffer to the benchmarks' grey.
  static void Clear() {
    glClearColor(0x20 / 255.0f, 0x20 / 255.0f, 0x20 / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  }
  // One frame: the quads written into one array, streamed into the buffer, drawn at once.
  void Frame(const std::vector<int32_t>& xy) {
    Fill(xy);
    Clear();
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    const GLsizeiptr bytes = static_cast<GLsizeiptr>(vertices.size() * sizeof(RawVertex));
    glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, vertices.data());
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
  }
  // The quads written once into the buffer, for DrawPrepared.
  void Prepare(const std::vector<int32_t>& xy) {
    Fill(xy);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(RawVertex)), vertices.data(),
                 GL_STATIC_DRAW);
  }
  // One frame from the prepared buffer: a clear and one draw call.
  void DrawPrepared() {
    Clear();
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
  }
  // Uses the program, the buffer and the page with blending on and the other tests off, over the
  // whole back buffer.
  void Bind() const {
    glUseProgram(program);
    glUniform2f(glGetUniformLocation(program, "u_scale"), 2.0f / backBuffer, 2.0f / backBuffer);
    glUniform1i(glGetUniformLocation(program, "u_texture"), 0);
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBindSampler(0, 0);
    glEnable(GL_BLEND);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBlendEquation(GL_FUNC_ADD);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glViewport(0, 0, static_cast<GLsizei>(backBuffer), static_cast<GLsizei>(backBuffer));
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

// Milliseconds a frame of `frames` frames of the quads prepared in `raw`, each drawn and read
// back, with the engine's GL state saved around the run.
inline double RawPreparedFrames(RawGL& raw, int frames) {
  SavedState saved;
  saved.Save();
  raw.Bind();
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  for (int f = 0; f < frames; ++f) {
    raw.DrawPrepared();
    ReadPixel();
  }
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count() / frames;
  saved.Restore();
  return ms;
}

}  // namespace benchgl
