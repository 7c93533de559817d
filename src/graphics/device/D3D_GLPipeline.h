// The fixed-function pipeline of the OpenGL back end: the device's render, sampler and
// texture-stage states, its transforms, lights and material, and the vertex layouts, turned into
// GL state and a generated GLSL 330 program at each draw. Only the OpenGL back end includes this.
//
// States are stored when set and applied at the next Prepare, only the groups that changed:
//   - GL state: blending (one factor pair for colour and alpha, add), depth test, depth writes
//     and compare, culling (D3DCULL_CCW culls GL back faces, D3DCULL_CW front faces, with GL's
//     front faces counter-clockwise), fill mode, colour write mask, stencil, and one sampler
//     object per texture unit 0..8 (point or linear without mipmaps, repeat or clamp to edge);
//   - the program, one variant per shading mode (flat: the first vertex's colour), lighting,
//     the common stage-0 operation (texel times diffuse colour, or the diffuse colour alone
//     without a texture), alpha testing and fog, each compiled on first use, and its
//     uniforms: the transforms with the device's clip conversion (kGLClipFromDevice), stage
//     0's colour and alpha operations (select argument 1, select argument 2, modulate or disable; arguments are the texture or the diffuse colour,
//     a stage without a texture reads opaque white), the alpha test (round(a x 255) compared
//     with the reference as integers), linear table fog (the distance is the depth z, or the
//     eye-space w when the projection's _34 is 1; the colour is mixed towards the fog colour,
//     alpha untouched), and per-vertex lighting in camera space (vertex colour as diffuse, or
//     the material's diffuse for vertices without one; the material's ambient times the
//     ambient state and the lights' ambient; emissive; no specular; normals through the
//     inverse transpose of world x view, unnormalised; point lights attenuate by
//     1 / (a0 + a1 d + a2 d^2) and give nothing beyond their range; spot lights light as point
//     lights; the vertex alpha is kept).
//   - one vertex array object per layout, its pointers set again when the stream changes.
// Other fog modes draw without fog; other stages than 0 are stored only.
//
// Every call needs the back end's GL context current.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>

#include "graphics/device/D3D_Types.h"

class GLPipeline {
 public:
  // Sets the device's default states.
  GLPipeline();
  ~GLPipeline();
  GLPipeline(const GLPipeline&) = delete;
  GLPipeline& operator=(const GLPipeline&) = delete;

  // Every state back to its default (a device reset).
  void Reset();

  // False for a number outside the device's.
  bool SetRenderState(uint32_t state, uint32_t value);
  bool SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value);
  bool SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value);
  bool SetLight(uint32_t index, const D3DLIGHT9& light);
  bool LightEnable(uint32_t index, bool enable);
  void SetMaterial(const D3DMATERIAL9& material);
  // index 0 view, 1 projection, 2 world.
  void SetTransform(int index, const D3DMATRIX& matrix);
  // The GL texture of stage 0..8 (0: none).
  void SetTexture(uint32_t stage, GLuint texture);

  // Before a draw of vertices of layout `fvf` (D3D_FVFSize non-zero) from `buffer` (`bufferId`
  // names the buffer object for the whole process, as GL reuses names): applies what changed
  // and makes the program and the vertex array current. False when the program cannot be made.
  bool Prepare(uint32_t fvf, GLuint buffer, uint64_t bufferId, uint32_t offset, uint32_t stride, uint32_t viewportWidth,
               uint32_t viewportHeight);

  // GL's texture unit for uploads, never one the pipeline samples.
  static constexpr GLenum kUploadUnit = 15;

 private:
  struct Program;
  struct Layout;

  void SetDefaults();
  void ApplyFixedState();
  // Program variants, compiled on first use.
  static constexpr uint32_t kVariantFlat = 1;
  static constexpr uint32_t kVariantLighting = 2;
  static constexpr uint32_t kVariantModulate = 4;  // stage 0: texel x diffuse
  static constexpr uint32_t kVariantDiffuse = 8;   // the same without a texture
  static constexpr uint32_t kVariantAlphaTest = 16;
  static constexpr uint32_t kVariantFog = 32;
  static constexpr uint32_t kVariants = 64;
  uint32_t Variant() const;
  bool AlphaTestOn() const;
  bool FogOn() const;
  Program* ProgramFor(uint32_t variant);
  void Upload(Program& program);
  Layout& LayoutFor(uint32_t fvf);

  uint32_t m_render[D3DRS_LAST + 1];
  uint32_t m_sampler[kD3DTextureStages][D3DSAMP_LAST + 1];
  uint32_t m_stage[kD3DTextureStages][D3DTSS_LAST + 1];
  D3DLIGHT9 m_lights[kD3DLights];
  bool m_lightOn[kD3DLights];
  D3DMATERIAL9 m_material;
  D3DMATRIX m_transforms[3];
  GLuint m_textures[kD3DTextureStages] = {};

  uint32_t m_dirty = 0;          // groups of GL state to apply
  uint32_t m_samplersDirty = 0;  // bit per unit
  uint32_t m_texturesDirty = 0;  // bit per unit
  uint64_t m_serial = 1;         // grows with every change the uniforms read
  GLuint m_samplers[kD3DTextureStages] = {};
  Program* m_programs[kVariants] = {};
  Layout* m_layouts = nullptr;  // a short list, one per layout drawn
};
