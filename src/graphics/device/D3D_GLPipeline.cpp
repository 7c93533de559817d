#include "graphics/device/D3D_GLPipeline.h"

#include <cmath>
#include <cstring>
#include <string>

#include "graphics/device/D3D_Device.h"
#include "graphics/device/D3D_GL.h"

namespace {

// Groups of GL state.
constexpr uint32_t kBlend = 1, kDepth = 2, kCull = 4, kFill = 8, kColourMask = 16, kStencil = 32;

// Attribute locations of every program.
constexpr GLuint kPosition = 0, kNormal = 1, kColour = 2, kTexcoord = 3;

uint32_t GroupOf(uint32_t state) {
  switch (state) {
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_ALPHABLENDENABLE: return kBlend;
    case D3DRS_ZENABLE:
    case D3DRS_ZWRITEENABLE:
    case D3DRS_ZFUNC: return kDepth;
    case D3DRS_CULLMODE: return kCull;
    case D3DRS_FILLMODE: return kFill;
    case D3DRS_COLORWRITEENABLE: return kColourMask;
    default: return state >= D3DRS_STENCILENABLE && state <= D3DRS_STENCILWRITEMASK ? kStencil : 0;
  }
}

// The blend factor; `source` tells which side it is for.
GLenum BlendFactor(uint32_t factor, bool source) {
  switch (factor) {
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    // GL takes the saturated alpha as a source factor only; as a destination it reads as the
    // source alpha.
    case D3DBLEND_SRCALPHASAT: return source ? GL_SRC_ALPHA_SATURATE : GL_SRC_ALPHA;
    case D3DBLEND_BOTHSRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_BOTHINVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    // The blend factor is white.
    case D3DBLEND_BLENDFACTOR: return GL_ONE;
    case D3DBLEND_INVBLENDFACTOR: return GL_ZERO;
    // The fixed pipeline has one output: the second source colour is the source colour.
    case D3DBLEND_SRCCOLOR2: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR2: return GL_ONE_MINUS_SRC_COLOR;
    default: return GL_ZERO;
  }
}

GLenum Compare(uint32_t compare) {
  switch (compare) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

GLenum StencilOp(uint32_t op) {
  switch (op) {
    case D3DSTENCILOP_ZERO: return GL_ZERO;
    case D3DSTENCILOP_REPLACE: return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT: return GL_INCR;
    case D3DSTENCILOP_DECRSAT: return GL_DECR;
    case D3DSTENCILOP_INVERT: return GL_INVERT;
    case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
    default: return GL_KEEP;
  }
}

GLint Filter(uint32_t filter) { return filter >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST; }

GLint Address(uint32_t address) { return address == D3DTADDRESS_WRAP ? GL_REPEAT : GL_CLAMP_TO_EDGE; }

float FloatOf(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

D3DMATRIX Identity() {
  D3DMATRIX m = {};
  m.m[0] = m.m[5] = m.m[10] = m.m[15] = 1.0f;
  return m;
}

// out = a x b (row-major, row vectors).
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX out;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a.m[4 * r + k] * b.m[4 * k + c];
      out.m[4 * r + c] = sum;
    }
  }
  return out;
}

// The inverse transpose of the upper 3 x 3 of m, row-major; zero when it has no inverse.
void NormalMatrix(const D3DMATRIX& m, float out[9]) {
  auto a = [&](int r, int c) { return m.m[4 * r + c]; };
  // Cofactors: the inverse is their transpose divided by the determinant, so the inverse
  // transpose is the cofactors themselves divided by it.
  const float c[9] = {
      a(1, 1) * a(2, 2) - a(1, 2) * a(2, 1),  // row 0
      a(1, 2) * a(2, 0) - a(1, 0) * a(2, 2),
      a(1, 0) * a(2, 1) - a(1, 1) * a(2, 0),
      a(0, 2) * a(2, 1) - a(0, 1) * a(2, 2),  // row 1
      a(0, 0) * a(2, 2) - a(0, 2) * a(2, 0),
      a(0, 1) * a(2, 0) - a(0, 0) * a(2, 1),
      a(0, 1) * a(1, 2) - a(0, 2) * a(1, 1),  // row 2
      a(0, 2) * a(1, 0) - a(0, 0) * a(1, 2),
      a(0, 0) * a(1, 1) - a(0, 1) * a(1, 0),
  };
  const float det = a(0, 0) * c[0] + a(0, 1) * c[1] + a(0, 2) * c[2];
  for (int i = 0; i < 9; ++i) out[i] = det != 0.0f ? c[i] / det : 0.0f;
}

const char kVertexShader[] = R"(
in vec3 a_position;
in vec3 a_normal;
in vec4 a_colour;
in vec2 a_texcoord;
uniform mat4 u_worldView;
uniform mat4 u_projection;
SHADE out vec4 v_colour;
out vec2 v_texcoord;
#ifdef FOG
noperspective out float v_fogZ;
out float v_fogW;
#endif
#ifdef LIGHTING
uniform mat3 u_normalMatrix;
uniform vec3 u_ambient;
uniform vec3 u_materialAmbient;
uniform vec3 u_materialEmissive;
uniform int u_lightKind[8];  // 0 off, 1 point, 2 spot, 3 directional
uniform vec3 u_lightDiffuse[8];
uniform vec3 u_lightAmbient[8];
uniform vec3 u_lightPosition[8];   // camera space
uniform vec3 u_lightDirection[8];  // camera space, towards the light, unit length
uniform vec3 u_lightAttenuation[8];
uniform float u_lightRange[8];
vec4 Light(vec3 eye, vec3 normal, vec4 diffuse) {
  vec3 ambient = u_ambient;
  vec3 lit = vec3(0.0);
  for (int i = 0; i < 8; ++i) {
    if (u_lightKind[i] == 0) continue;
    vec3 toLight = u_lightDirection[i];
    float attenuation = 1.0;
    if (u_lightKind[i] != 3) {
      vec3 d = u_lightPosition[i] - eye;
      float distance = length(d);
      if (distance > u_lightRange[i]) continue;
      toLight = distance > 0.0 ? d / distance : vec3(0.0);
      vec3 k = u_lightAttenuation[i];
      float sum = k.x + k.y * distance + k.z * distance * distance;
      attenuation = sum > 0.0 ? 1.0 / sum : 1.0;
    }
    ambient += attenuation * u_lightAmbient[i];
    lit += attenuation * max(dot(normal, toLight), 0.0) * u_lightDiffuse[i];
  }
  vec3 colour = u_materialEmissive + u_materialAmbient * ambient + diffuse.rgb * lit;
  return vec4(clamp(colour, 0.0, 1.0), diffuse.a);
}
#endif
void main() {
  vec4 eye = u_worldView * vec4(a_position, 1.0);
  vec4 clip = u_projection * eye;
#ifdef LIGHTING
  v_colour = Light(eye.xyz, u_normalMatrix * a_normal, a_colour);
#else
  v_colour = a_colour;
#endif
  v_texcoord = a_texcoord;
#ifdef FOG
  v_fogZ = clip.w != 0.0 ? clip.z / clip.w : 0.0;
  v_fogW = clip.w;
#endif
  gl_Position = ClipFromDevice(clip);
}
)";

// The variants: STAGE_MODULATE (texel x diffuse colour for colour and alpha), STAGE_DIFFUSE (the
// same without a texture: the diffuse colour), otherwise the general stage; ALPHA_TEST and FOG
// only when they are on, so that the common 2-D draw runs the shortest program.
const char kFragmentShader[] = R"(
SHADE in vec4 v_colour;
in vec2 v_texcoord;
#ifdef FOG
noperspective in float v_fogZ;
in float v_fogW;
#endif
uniform sampler2D u_texture;
uniform int u_hasTexture;
uniform ivec3 u_colourStage;  // operation, argument 1, argument 2
uniform ivec3 u_alphaStage;
uniform int u_alphaFunc;  // 0: no alpha test
uniform int u_alphaRef;
uniform int u_fogMode;  // 0 none, 1 by depth z, 2 by eye-space w
uniform float u_fogStart;
uniform float u_fogEnd;
uniform vec3 u_fogColour;
out vec4 o_colour;
vec4 Stage(ivec3 stage, vec4 diffuse, vec4 texel) {
  if (stage.x == 1) return diffuse;
  vec4 a = stage.y == 2 ? texel : diffuse;
  vec4 b = stage.z == 2 ? texel : diffuse;
  if (stage.x == 2) return a;
  if (stage.x == 3) return b;
  return a * b;
}
bool Passes(int func, int a, int ref) {
  if (func == 1) return false;
  if (func == 2) return a < ref;
  if (func == 3) return a == ref;
  if (func == 4) return a <= ref;
  if (func == 5) return a > ref;
  if (func == 6) return a != ref;
  if (func == 7) return a >= ref;
  return true;
}
void main() {
#if defined(STAGE_MODULATE)
  vec4 colour = texture(u_texture, v_texcoord) * v_colour;
#elif defined(STAGE_DIFFUSE)
  vec4 colour = v_colour;
#else
  vec4 texel = u_hasTexture != 0 ? texture(u_texture, v_texcoord) : vec4(1.0);
  vec4 colour = vec4(Stage(u_colourStage, v_colour, texel).rgb, Stage(u_alphaStage, v_colour, texel).a);
#endif
#ifdef ALPHA_TEST
  if (!Passes(u_alphaFunc, int(floor(colour.a * 255.0 + 0.5)), u_alphaRef)) discard;
#endif
#ifdef FOG
  float d = u_fogMode == 1 ? v_fogZ : v_fogW;
  float f = u_fogEnd != u_fogStart ? clamp((u_fogEnd - d) / (u_fogEnd - u_fogStart), 0.0, 1.0)
                                   : (d < u_fogEnd ? 1.0 : 0.0);
  colour.rgb = mix(u_fogColour, colour.rgb, f);
#endif
  o_colour = colour;
}
)";

GLuint CompileShader(GLenum kind, const std::string& text) {
  const GLuint shader = glCreateShader(kind);
  const char* source = text.c_str();
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok == GL_TRUE) return shader;
  glDeleteShader(shader);
  return 0;
}

}  // namespace

struct GLPipeline::Program {
  GLuint id = 0;
  uint64_t serial = 0;  // the state last uploaded
  uint32_t viewportWidth = 0, viewportHeight = 0;
  GLint worldView, projection, pixelOffset, normalMatrix, ambient, materialAmbient, materialEmissive;
  GLint lightKind, lightDiffuse, lightAmbient, lightPosition, lightDirection, lightAttenuation, lightRange;
  GLint texture, hasTexture, colourStage, alphaStage, alphaFunc, alphaRef, fogMode, fogStart, fogEnd, fogColour;
};

struct GLPipeline::Layout {
  uint32_t fvf = 0;
  GLuint vao = 0;
  uint64_t bufferId = 0;  // what the pointers were last set for
  uint32_t offset = 0, stride = 0;
  Layout* next = nullptr;
};

GLPipeline::GLPipeline() {
  glGenSamplers(kD3DTextureStages, m_samplers);
  for (GLuint unit = 0; unit < kD3DTextureStages; ++unit) glBindSampler(unit, m_samplers[unit]);
  glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
  glFrontFace(GL_CCW);
  SetDefaults();
}

GLPipeline::~GLPipeline() {
  for (Program*& program : m_programs) {
    if (program != nullptr) glDeleteProgram(program->id);
    delete program;
    program = nullptr;
  }
  while (m_layouts != nullptr) {
    Layout* next = m_layouts->next;
    glDeleteVertexArrays(1, &m_layouts->vao);
    delete m_layouts;
    m_layouts = next;
  }
  glUseProgram(0);
  glBindVertexArray(0);
  for (GLuint unit = 0; unit < kD3DTextureStages; ++unit) glBindSampler(unit, 0);
  glDeleteSamplers(kD3DTextureStages, m_samplers);
}

void GLPipeline::Reset() { SetDefaults(); }

void GLPipeline::SetDefaults() {
  std::memset(m_render, 0, sizeof m_render);
  const uint32_t oneBits = 0x3F800000u;  // 1.0f
  const struct {
    uint32_t state, value;
  } defaults[] = {
      {D3DRS_ZENABLE, 1},
      {D3DRS_FILLMODE, D3DFILL_SOLID},
      {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
      {D3DRS_ZWRITEENABLE, 1},
      {D3DRS_SRCBLEND, D3DBLEND_ONE},
      {D3DRS_DESTBLEND, D3DBLEND_ZERO},
      {D3DRS_CULLMODE, D3DCULL_CCW},
      {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
      {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
      {D3DRS_FOGEND, oneBits},
      {D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP},
      {D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP},
      {D3DRS_STENCILPASS, D3DSTENCILOP_KEEP},
      {D3DRS_STENCILFUNC, D3DCMP_ALWAYS},
      {D3DRS_STENCILMASK, 0xFFFFFFFFu},
      {D3DRS_STENCILWRITEMASK, 0xFFFFFFFFu},
      {D3DRS_LIGHTING, 1},
      {D3DRS_COLORWRITEENABLE, 15},
  };
  for (const auto& d : defaults) m_render[d.state] = d.value;
  for (uint32_t unit = 0; unit < kD3DTextureStages; ++unit) {
    uint32_t* s = m_sampler[unit];
    std::memset(s, 0, sizeof m_sampler[unit]);
    s[D3DSAMP_ADDRESSU] = s[D3DSAMP_ADDRESSV] = s[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    s[D3DSAMP_MAGFILTER] = s[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    uint32_t* t = m_stage[unit];
    std::memset(t, 0, sizeof m_stage[unit]);
    t[D3DTSS_COLOROP] = unit == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    t[D3DTSS_ALPHAOP] = unit == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    t[D3DTSS_COLORARG1] = t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    t[D3DTSS_COLORARG2] = t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    m_textures[unit] = 0;
  }
  for (uint32_t i = 0; i < kD3DLights; ++i) {
    m_lights[i] = D3DLIGHT9{};
    m_lights[i].Type = D3DLIGHT_DIRECTIONAL;
    m_lights[i].Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    m_lights[i].Direction = {0.0f, 0.0f, 1.0f};
    m_lightOn[i] = false;
  }
  m_material = D3DMATERIAL9{};
  for (D3DMATRIX& m : m_transforms) m = Identity();
  m_dirty = ~0u;
  m_samplersDirty = m_texturesDirty = (1u << kD3DTextureStages) - 1;
  ++m_serial;
}

bool GLPipeline::SetRenderState(uint32_t state, uint32_t value) {
  if (state > D3DRS_LAST) return false;
  if (m_render[state] != value) {
    m_render[state] = value;
    m_dirty |= GroupOf(state);
    ++m_serial;
  }
  return true;
}

bool GLPipeline::SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value) {
  if (sampler >= kD3DTextureStages || type > D3DSAMP_LAST) return false;
  if (m_sampler[sampler][type] != value) {
    m_sampler[sampler][type] = value;
    m_samplersDirty |= 1u << sampler;
  }
  return true;
}

bool GLPipeline::SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) {
  if (stage >= kD3DTextureStages || type > D3DTSS_LAST) return false;
  m_stage[stage][type] = value;
  ++m_serial;
  return true;
}

bool GLPipeline::SetLight(uint32_t index, const D3DLIGHT9& light) {
  if (index >= kD3DLights) return false;
  m_lights[index] = light;
  ++m_serial;
  return true;
}

bool GLPipeline::LightEnable(uint32_t index, bool enable) {
  if (index >= kD3DLights) return false;
  m_lightOn[index] = enable;
  ++m_serial;
  return true;
}

void GLPipeline::SetMaterial(const D3DMATERIAL9& material) {
  m_material = material;
  ++m_serial;
}

void GLPipeline::SetTransform(int index, const D3DMATRIX& matrix) {
  m_transforms[index] = matrix;
  ++m_serial;
}

void GLPipeline::SetTexture(uint32_t stage, GLuint texture) {
  if (m_textures[stage] == texture) return;
  m_textures[stage] = texture;
  m_texturesDirty |= 1u << stage;
  if (stage == 0) ++m_serial;
}

void GLPipeline::ApplyFixedState() {
  const uint32_t* rs = m_render;
  if (m_dirty & kBlend) {
    if (rs[D3DRS_ALPHABLENDENABLE] != 0) {
      glEnable(GL_BLEND);
    } else {
      glDisable(GL_BLEND);
    }
    const uint32_t src = rs[D3DRS_SRCBLEND];
    GLenum source = BlendFactor(src, true);
    GLenum destination = BlendFactor(rs[D3DRS_DESTBLEND], false);
    // These two source factors set the destination factor too.
    if (src == D3DBLEND_BOTHSRCALPHA) destination = GL_ONE_MINUS_SRC_ALPHA;
    if (src == D3DBLEND_BOTHINVSRCALPHA) destination = GL_SRC_ALPHA;
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(source, destination);
  }
  if (m_dirty & kDepth) {
    if (rs[D3DRS_ZENABLE] != 0) {
      glEnable(GL_DEPTH_TEST);
    } else {
      glDisable(GL_DEPTH_TEST);
    }
    glDepthMask(rs[D3DRS_ZWRITEENABLE] != 0 ? GL_TRUE : GL_FALSE);
    glDepthFunc(Compare(rs[D3DRS_ZFUNC]));
  }
  if (m_dirty & kCull) {
    // The device's front faces are clockwise on screen, which GL sees counter-clockwise.
    const uint32_t cull = rs[D3DRS_CULLMODE];
    if (cull == D3DCULL_CW || cull == D3DCULL_CCW) {
      glEnable(GL_CULL_FACE);
      glCullFace(cull == D3DCULL_CCW ? GL_BACK : GL_FRONT);
    } else {
      glDisable(GL_CULL_FACE);
    }
  }
  if (m_dirty & kFill) {
    const uint32_t fill = rs[D3DRS_FILLMODE];
    glPolygonMode(GL_FRONT_AND_BACK, fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
  }
  if (m_dirty & kColourMask) {
    const uint32_t mask = rs[D3DRS_COLORWRITEENABLE];
    glColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);
  }
  if (m_dirty & kStencil) {
    if (rs[D3DRS_STENCILENABLE] != 0) {
      glEnable(GL_STENCIL_TEST);
    } else {
      glDisable(GL_STENCIL_TEST);
    }
    const uint32_t ref = rs[D3DRS_STENCILREF];
    glStencilFunc(Compare(rs[D3DRS_STENCILFUNC]), static_cast<GLint>(ref > 255 ? 255 : ref), rs[D3DRS_STENCILMASK]);
    glStencilOp(StencilOp(rs[D3DRS_STENCILFAIL]), StencilOp(rs[D3DRS_STENCILZFAIL]), StencilOp(rs[D3DRS_STENCILPASS]));
    glStencilMask(rs[D3DRS_STENCILWRITEMASK]);
  }
  m_dirty = 0;
  for (uint32_t unit = 0; unit < kD3DTextureStages; ++unit) {
    const uint32_t bit = 1u << unit;
    if (m_samplersDirty & bit) {
      const uint32_t* s = m_sampler[unit];
      glSamplerParameteri(m_samplers[unit], GL_TEXTURE_MAG_FILTER, Filter(s[D3DSAMP_MAGFILTER]));
      glSamplerParameteri(m_samplers[unit], GL_TEXTURE_MIN_FILTER, Filter(s[D3DSAMP_MINFILTER]));
      glSamplerParameteri(m_samplers[unit], GL_TEXTURE_WRAP_S, Address(s[D3DSAMP_ADDRESSU]));
      glSamplerParameteri(m_samplers[unit], GL_TEXTURE_WRAP_T, Address(s[D3DSAMP_ADDRESSV]));
    }
    if (m_texturesDirty & bit) {
      glActiveTexture(GL_TEXTURE0 + unit);
      glBindTexture(GL_TEXTURE_2D, m_textures[unit]);
    }
  }
  m_samplersDirty = m_texturesDirty = 0;
}

GLPipeline::Program* GLPipeline::ProgramFor(uint32_t variant) {
  Program*& slot = m_programs[variant];
  if (slot != nullptr) return slot->id != 0 ? slot : nullptr;
  slot = new Program;
  std::string head = "#version 330 core\n";
  head += (variant & kVariantFlat) ? "#define SHADE flat\n" : "#define SHADE smooth\n";
  if (variant & kVariantLighting) head += "#define LIGHTING\n";
  if (variant & kVariantModulate) head += "#define STAGE_MODULATE\n";
  if (variant & kVariantDiffuse) head += "#define STAGE_DIFFUSE\n";
  if (variant & kVariantAlphaTest) head += "#define ALPHA_TEST\n";
  if (variant & kVariantFog) head += "#define FOG\n";
  const GLuint vs = CompileShader(GL_VERTEX_SHADER, head + kGLClipFromDevice + kVertexShader);
  const GLuint fs = CompileShader(GL_FRAGMENT_SHADER, head + kFragmentShader);
  if (vs == 0 || fs == 0) {
    if (vs != 0) glDeleteShader(vs);
    if (fs != 0) glDeleteShader(fs);
    return nullptr;
  }
  const GLuint id = glCreateProgram();
  glAttachShader(id, vs);
  glAttachShader(id, fs);
  glBindAttribLocation(id, kPosition, "a_position");
  glBindAttribLocation(id, kNormal, "a_normal");
  glBindAttribLocation(id, kColour, "a_colour");
  glBindAttribLocation(id, kTexcoord, "a_texcoord");
  glLinkProgram(id);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = GL_FALSE;
  glGetProgramiv(id, GL_LINK_STATUS, &ok);
  if (ok != GL_TRUE) {
    glDeleteProgram(id);
    return nullptr;
  }
  Program& p = *slot;
  p.id = id;
  auto at = [id](const char* name) { return glGetUniformLocation(id, name); };
  p.worldView = at("u_worldView");
  p.projection = at("u_projection");
  p.pixelOffset = at("u_pixelOffset");
  p.normalMatrix = at("u_normalMatrix");
  p.ambient = at("u_ambient");
  p.materialAmbient = at("u_materialAmbient");
  p.materialEmissive = at("u_materialEmissive");
  p.lightKind = at("u_lightKind");
  p.lightDiffuse = at("u_lightDiffuse");
  p.lightAmbient = at("u_lightAmbient");
  p.lightPosition = at("u_lightPosition");
  p.lightDirection = at("u_lightDirection");
  p.lightAttenuation = at("u_lightAttenuation");
  p.lightRange = at("u_lightRange");
  p.texture = at("u_texture");
  p.hasTexture = at("u_hasTexture");
  p.colourStage = at("u_colourStage");
  p.alphaStage = at("u_alphaStage");
  p.alphaFunc = at("u_alphaFunc");
  p.alphaRef = at("u_alphaRef");
  p.fogMode = at("u_fogMode");
  p.fogStart = at("u_fogStart");
  p.fogEnd = at("u_fogEnd");
  p.fogColour = at("u_fogColour");
  return slot;
}

void GLPipeline::Upload(Program& p) {
  const uint32_t* rs = m_render;
  const D3DMATRIX& view = m_transforms[0];
  const D3DMATRIX& projection = m_transforms[1];
  const D3DMATRIX worldView = Multiply(m_transforms[2], view);
  // Row-major matrices with row vectors arrive in GLSL transposed, so `m * v` there is v x M.
  glUniformMatrix4fv(p.worldView, 1, GL_FALSE, worldView.m);
  glUniformMatrix4fv(p.projection, 1, GL_FALSE, projection.m);
  glUniform2f(p.pixelOffset, p.viewportWidth > 0 ? 1.0f / static_cast<float>(p.viewportWidth) : 0.0f,
              p.viewportHeight > 0 ? 1.0f / static_cast<float>(p.viewportHeight) : 0.0f);

  glUniform1i(p.texture, 0);
  glUniform1i(p.hasTexture, m_textures[0] != 0 ? 1 : 0);
  const uint32_t* stage = m_stage[0];
  glUniform3i(p.colourStage, static_cast<GLint>(stage[D3DTSS_COLOROP]), static_cast<GLint>(stage[D3DTSS_COLORARG1]),
              static_cast<GLint>(stage[D3DTSS_COLORARG2]));
  glUniform3i(p.alphaStage, static_cast<GLint>(stage[D3DTSS_ALPHAOP]), static_cast<GLint>(stage[D3DTSS_ALPHAARG1]),
              static_cast<GLint>(stage[D3DTSS_ALPHAARG2]));

  const uint32_t alphaFunc = rs[D3DRS_ALPHAFUNC];
  const bool alphaTest = AlphaTestOn();
  glUniform1i(p.alphaFunc, alphaTest ? static_cast<GLint>(alphaFunc) : 0);
  const uint32_t ref = rs[D3DRS_ALPHAREF];
  glUniform1i(p.alphaRef, static_cast<GLint>(ref > 256 ? 256 : ref));

  const bool fog = FogOn();
  glUniform1i(p.fogMode, !fog ? 0 : projection.m[11] == 1.0f ? 2 : 1);
  glUniform1f(p.fogStart, FloatOf(rs[D3DRS_FOGSTART]));
  glUniform1f(p.fogEnd, FloatOf(rs[D3DRS_FOGEND]));
  const uint32_t fogColour = rs[D3DRS_FOGCOLOR];
  glUniform3f(p.fogColour, static_cast<float>((fogColour >> 16) & 0xFF) / 255.0f,
              static_cast<float>((fogColour >> 8) & 0xFF) / 255.0f, static_cast<float>(fogColour & 0xFF) / 255.0f);

  if (p.normalMatrix < 0) return;  // the variant without lighting
  float normal[9];
  NormalMatrix(worldView, normal);
  glUniformMatrix3fv(p.normalMatrix, 1, GL_FALSE, normal);
  const uint32_t ambient = rs[D3DRS_AMBIENT];
  glUniform3f(p.ambient, static_cast<float>((ambient >> 16) & 0xFF) / 255.0f,
              static_cast<float>((ambient >> 8) & 0xFF) / 255.0f, static_cast<float>(ambient & 0xFF) / 255.0f);
  glUniform3f(p.materialAmbient, m_material.Ambient.r, m_material.Ambient.g, m_material.Ambient.b);
  glUniform3f(p.materialEmissive, m_material.Emissive.r, m_material.Emissive.g, m_material.Emissive.b);
  GLint kind[kD3DLights];
  float diffuse[kD3DLights * 3], lightAmbient[kD3DLights * 3], position[kD3DLights * 3], direction[kD3DLights * 3];
  float attenuation[kD3DLights * 3], range[kD3DLights];
  for (uint32_t i = 0; i < kD3DLights; ++i) {
    const D3DLIGHT9& l = m_lights[i];
    const bool known = l.Type == D3DLIGHT_POINT || l.Type == D3DLIGHT_SPOT || l.Type == D3DLIGHT_DIRECTIONAL;
    kind[i] = m_lightOn[i] && known ? static_cast<GLint>(l.Type) : 0;
    const float* v = view.m;
    const D3DVECTOR& pw = l.Position;
    const D3DVECTOR& dw = l.Direction;
    float dx = -(dw.x * v[0] + dw.y * v[4] + dw.z * v[8]);
    float dy = -(dw.x * v[1] + dw.y * v[5] + dw.z * v[9]);
    float dz = -(dw.x * v[2] + dw.y * v[6] + dw.z * v[10]);
    const float length = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (length > 0.0f) {
      dx /= length;
      dy /= length;
      dz /= length;
    }
    const float values[][3] = {
        {l.Diffuse.r, l.Diffuse.g, l.Diffuse.b},
        {l.Ambient.r, l.Ambient.g, l.Ambient.b},
        {pw.x * v[0] + pw.y * v[4] + pw.z * v[8] + v[12], pw.x * v[1] + pw.y * v[5] + pw.z * v[9] + v[13],
         pw.x * v[2] + pw.y * v[6] + pw.z * v[10] + v[14]},
        {dx, dy, dz},
        {l.Attenuation0, l.Attenuation1, l.Attenuation2},
    };
    float* targets[] = {diffuse, lightAmbient, position, direction, attenuation};
    for (int k = 0; k < 5; ++k) std::memcpy(targets[k] + 3 * i, values[k], sizeof values[k]);
    range[i] = l.Range;
  }
  glUniform1iv(p.lightKind, kD3DLights, kind);
  glUniform3fv(p.lightDiffuse, kD3DLights, diffuse);
  glUniform3fv(p.lightAmbient, kD3DLights, lightAmbient);
  glUniform3fv(p.lightPosition, kD3DLights, position);
  glUniform3fv(p.lightDirection, kD3DLights, direction);
  glUniform3fv(p.lightAttenuation, kD3DLights, attenuation);
  glUniform1fv(p.lightRange, kD3DLights, range);
}

bool GLPipeline::AlphaTestOn() const {
  const uint32_t alphaFunc = m_render[D3DRS_ALPHAFUNC];
  return m_render[D3DRS_ALPHATESTENABLE] != 0 && alphaFunc >= D3DCMP_NEVER && alphaFunc < D3DCMP_ALWAYS;
}

bool GLPipeline::FogOn() const {
  return m_render[D3DRS_FOGENABLE] != 0 && m_render[D3DRS_FOGTABLEMODE] == D3DFOG_LINEAR;
}

uint32_t GLPipeline::Variant() const {
  uint32_t variant = 0;
  if (m_render[D3DRS_SHADEMODE] == D3DSHADE_FLAT) variant |= kVariantFlat;
  if (m_render[D3DRS_LIGHTING] != 0) variant |= kVariantLighting;
  // Stage 0 multiplying the texel (white without a texture) by the diffuse colour, for colour
  // and alpha alike.
  const uint32_t* stage = m_stage[0];
  auto modulates = [](uint32_t op, uint32_t a1, uint32_t a2) {
    return op == D3DTOP_MODULATE && ((a1 == D3DTA_TEXTURE) != (a2 == D3DTA_TEXTURE));
  };
  if (modulates(stage[D3DTSS_COLOROP], stage[D3DTSS_COLORARG1], stage[D3DTSS_COLORARG2]) &&
      modulates(stage[D3DTSS_ALPHAOP], stage[D3DTSS_ALPHAARG1], stage[D3DTSS_ALPHAARG2]))
    variant |= m_textures[0] != 0 ? kVariantModulate : kVariantDiffuse;
  if (AlphaTestOn()) variant |= kVariantAlphaTest;
  if (FogOn()) variant |= kVariantFog;
  return variant;
}

GLPipeline::Layout& GLPipeline::LayoutFor(uint32_t fvf) {
  for (Layout* layout = m_layouts; layout != nullptr; layout = layout->next) {
    if (layout->fvf == fvf) return *layout;
  }
  Layout* layout = new Layout;
  layout->fvf = fvf;
  layout->next = m_layouts;
  m_layouts = layout;
  glGenVertexArrays(1, &layout->vao);
  glBindVertexArray(layout->vao);
  glEnableVertexAttribArray(kPosition);
  if (fvf & D3DFVF_NORMAL) glEnableVertexAttribArray(kNormal);
  if (fvf & D3DFVF_DIFFUSE) glEnableVertexAttribArray(kColour);
  if (fvf & D3DFVF_TEX1) glEnableVertexAttribArray(kTexcoord);
  return *layout;
}

bool GLPipeline::Prepare(uint32_t fvf, GLuint buffer, uint64_t bufferId, uint32_t offset, uint32_t stride,
                         uint32_t viewportWidth, uint32_t viewportHeight) {
  ApplyFixedState();
  const bool lighting = m_render[D3DRS_LIGHTING] != 0;
  Program* program = ProgramFor(Variant());
  if (program == nullptr) return false;
  glUseProgram(program->id);
  if (program->serial != m_serial || program->viewportWidth != viewportWidth ||
      program->viewportHeight != viewportHeight) {
    program->serial = m_serial;
    program->viewportWidth = viewportWidth;
    program->viewportHeight = viewportHeight;
    Upload(*program);
  }

  Layout& layout = LayoutFor(fvf);
  glBindVertexArray(layout.vao);
  if (layout.bufferId != bufferId || layout.offset != offset || layout.stride != stride) {
    layout.bufferId = bufferId;
    layout.offset = offset;
    layout.stride = stride;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    uintptr_t at = offset;
    const GLsizei s = static_cast<GLsizei>(stride);
    glVertexAttribPointer(kPosition, 3, GL_FLOAT, GL_FALSE, s, reinterpret_cast<const void*>(at));
    at += 12;
    if (fvf & D3DFVF_NORMAL) {
      glVertexAttribPointer(kNormal, 3, GL_FLOAT, GL_FALSE, s, reinterpret_cast<const void*>(at));
      at += 12;
    }
    if (fvf & D3DFVF_DIFFUSE) {
      // 0xAARRGGBB words: bytes B, G, R, A.
      glVertexAttribPointer(kColour, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, s, reinterpret_cast<const void*>(at));
      at += 4;
    }
    if (fvf & D3DFVF_TEX1)
      glVertexAttribPointer(kTexcoord, 2, GL_FLOAT, GL_FALSE, s, reinterpret_cast<const void*>(at));
  }
  // What a layout leaves out: no normal, an opaque white colour (the material's diffuse when
  // lit), texture coordinates 0.
  if (!(fvf & D3DFVF_NORMAL)) glVertexAttrib3f(kNormal, 0.0f, 0.0f, 0.0f);
  if (!(fvf & D3DFVF_DIFFUSE)) {
    const D3DCOLORVALUE& d = m_material.Diffuse;
    if (lighting) {
      glVertexAttrib4f(kColour, d.r, d.g, d.b, d.a);
    } else {
      glVertexAttrib4f(kColour, 1.0f, 1.0f, 1.0f, 1.0f);
    }
  }
  if (!(fvf & D3DFVF_TEX1)) glVertexAttrib2f(kTexcoord, 0.0f, 0.0f);
  return true;
}
