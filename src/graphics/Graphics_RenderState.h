// The render-state cache: drawing code never sets device render or sampler states itself. It
// writes wanted values into the one RenderStateCache, which marks a state dirty only while the
// wanted value differs from what the device holds; GraphicsFlush (the batch) applies the dirty
// ones. The cache numbers 33 render states and 32 sampler slots of its own (slot = stage x 4 +
// kind), which ApplyRenderState and ApplySamplerState turn into device states and values:
//
//   index  device state        value sent                                     default
//   0      none                                                                 0
//   1      D3DRS_ZENABLE       as is                                            0
//   2      D3DRS_FILLMODE      1 point, 2 wireframe, else solid (3)             3
//   3      D3DRS_SHADEMODE     1 flat, else Gouraud (2)                         2
//   4      D3DRS_ZWRITEENABLE  as is                                            1
//   5      ALPHATESTENABLE     as is                                            0
//   6, 7   SRCBLEND, DESTBLEND blend factor 2..17 as is, else zero (1)          5, 6
//   8      D3DRS_CULLMODE      1 clockwise (2), 2 counter-clockwise (3), else none (1)  0
//   9      D3DRS_ZFUNC         compare 1..7 as is, else always (8)              4
//   10, 11 ALPHAREF, ALPHAFUNC as is / compare as 9                             0, 5
//   12     ALPHABLENDENABLE    as is                                            1
//   13     D3DRS_FOGENABLE     as is                                            0
//   15, 16 FOGCOLOR, FOGTABLEMODE  as is / 0 none, 1 exp, 2 exp2, else linear (3)  0, 1
//   17, 18 FOGSTART, FOGEND    float bits as is                                 0.0, 1.0
//   20, 21 RANGEFOGENABLE, LIGHTING  as is                                      0, 0
//   23     FOGVERTEXMODE       as 16                                            3
//   24     COLORWRITEENABLE    value AND 15                                     15
//   25     STENCILENABLE       as is                                            0
//   26..28 STENCILFAIL, ZFAIL, PASS  operation 2..8 as is, else keep (1)        1
//   29     STENCILFUNC         compare as 9                                     8
//   30..32 STENCILREF, MASK, WRITEMASK  as is                                   0, ~0, ~0
//   14, 19, 22: none (never applied).
// Sampler kinds: 0 magnification and 1 minification filter (0 linear, else point), 2 and 3 the
// u and v address modes (0 wrap, else clamp); all 0 by default.
//
// Beside the cache live the drawing-state values the game's setters keep (RenderStateSettings).
// Main thread only.
#pragma once

#include <cstdint>

class IBuffer;

constexpr int32_t kRenderStates = 33;
constexpr int32_t kSamplerSlots = 32;

// Cache indices that other code names.
constexpr int32_t kRS_DepthTest = 1;
constexpr int32_t kRS_ShadeMode = 3;
constexpr int32_t kRS_DepthWrite = 4;
constexpr int32_t kRS_AlphaTest = 5;
constexpr int32_t kRS_SrcBlend = 6;
constexpr int32_t kRS_DestBlend = 7;
constexpr int32_t kRS_Culling = 8;
constexpr int32_t kRS_DepthFunc = 9;
constexpr int32_t kRS_AlphaRef = 10;
constexpr int32_t kRS_AlphaFunc = 11;
constexpr int32_t kRS_AlphaBlend = 12;
constexpr int32_t kRS_Fog = 13;
constexpr int32_t kRS_FogColour = 15;
constexpr int32_t kRS_FogTableMode = 16;
constexpr int32_t kRS_FogStart = 17;
constexpr int32_t kRS_FogEnd = 18;
constexpr int32_t kRS_RangeFog = 20;
constexpr int32_t kRS_Lighting = 21;
constexpr int32_t kRS_FogVertexMode = 23;
constexpr int32_t kRS_ColourWrite = 24;
constexpr int32_t kRS_StencilEnable = 25;
constexpr int32_t kRS_StencilFail = 26;
constexpr int32_t kRS_StencilDepthFail = 27;
constexpr int32_t kRS_StencilPass = 28;
constexpr int32_t kRS_StencilFunc = 29;
constexpr int32_t kRS_StencilRef = 30;
constexpr int32_t kRS_StencilMask = 31;
constexpr int32_t kRS_StencilWriteMask = 32;

// Sampler kinds.
constexpr int32_t kSamplerMagFilter = 0;
constexpr int32_t kSamplerMinFilter = 1;
constexpr int32_t kSamplerAddressU = 2;
constexpr int32_t kSamplerAddressV = 3;

struct RenderStateCache {
  uint64_t renderDirty = 0;  // bit i: render state i must be applied
  uint32_t deviceRender[kRenderStates] = {};
  uint32_t wantedRender[kRenderStates] = {};
  uint64_t samplerDirty = 0;  // bit s: sampler slot s must be applied
  uint32_t deviceSampler[kSamplerSlots] = {};
  uint32_t wantedSampler[kSamplerSlots] = {};
  uint32_t savedRender[kRenderStates] = {};
  uint32_t savedSampler[kSamplerSlots] = {};
  // Bit i: what the device holds for render state i is not known (it was written past the
  // cache), so the next set of it goes out whatever its value.
  uint64_t renderUnknown = 0;

  // Device and wanted values to their defaults, with every render state marked dirty (the
  // sampler dirty mask is left as it was); the drawing-state values to their start values.
  static void SetDefaults();
  // Wants `value` for render state `index` (0..32; others ignored). It is dirty while it differs
  // from the device's value.
  static void SetRenderState(int32_t index, uint32_t value);
  // The same for sampler `kind` (0..3) of `stage` (0..7).
  static void SetSamplerState(int32_t stage, int32_t kind, uint32_t value);
  // The wanted values; 0 for an index above 32, a stage above 7 or a kind above 3.
  static uint32_t GetRenderState(int32_t index);
  static uint32_t GetSamplerState(int32_t stage, int32_t kind);
  // Save copies the wanted values; Restore wants the saved ones again.
  static void Save();
  static void Restore();
  // Applies every dirty render state in index order, then every dirty sampler slot.
  static void Flush();
  // Sends every render state and the sampler slots 0..9 (stages 0 and 1, the filters of stage
  // 2) again; the other slots go only when already dirty.
  static void ApplyAll();
  // Writes the wanted values of indices 1..32 as 32-bit words (the debugger's state dump).
  static void WriteStates(IBuffer* buffer);
  // Forgets what the device holds for render state `index`: it is no longer dirty, and its next
  // set goes out. For states written straight to the device.
  static void MarkUnknown(int32_t index);
};
extern RenderStateCache g_RenderStateCache;

// The drawing-state values kept beside the cache.
struct RenderStateSettings {
  bool interpolate = false;            // the global texel-interpolation flag (start-up flags)
  uint8_t stageInterpolation[8] = {};  // per sampler stage
  uint8_t stageRepeat[8] = {};         // per sampler stage
  bool perspective = true;             // read by the next 2-D view set-up
  bool hidden = true;                  // hidden-surface removal while 3-D mode is on
  bool mode3D = false;                 // the 3-D mode flag
  float depth2D = 0.0f;                // the z of every 2-D vertex (0 while 3-D mode is off)
  bool cornerIds = false;              // quad drawers put corner numbers into vertex colours
  // True after d3d_set_projection_ortho, false after the other projections; 2-D sprites are
  // culled against the visible region only while it is false and 3-D mode is off.
  bool customOrtho = false;
  bool lighting = false;  // the last d3d_set_lighting (read by the shaders' lighting uniform)
  // The room drawing performs draw events only while this is on (draw_enable_drawevent).
  bool drawEvents = true;
  // Vector sprites' anti-aliasing switch and level 0..1 (draw_enable_swf_aa,
  // draw_set_swf_aa_level).
  bool vectorAntiAlias = false;
  float vectorAntiAliasLevel = 1.0f;
  bool fogEnabled = false;
  uint32_t fogColour = 0;       // 0xAARRGGBB
  uint32_t fogColourGiven = 0;  // as the game gave it (0xBBGGRR)
  float fogStart = 0.0f;
  float fogEnd = 1.0f;
  // Whether the depth test, fog and lighting were last applied on (read by the debug overlay).
  bool depthTestOn = false;
  bool fogOn = false;
  bool lightingOn = false;
};
extern RenderStateSettings g_RenderStates;

// Sets a device render state from the cache's numbering (see above); indices 0, 14, 19, 22 and
// above 32 do nothing, as does everything without a device.
void ApplyRenderState(int32_t index, uint32_t value);
// Sets a device sampler state; a stage above 7 or a kind above 3 does nothing.
void ApplySamplerState(int32_t stage, int32_t kind, uint32_t value);
// Sets device render state `state` to the bits of `value`, past the cache; states above 210 are
// ignored.
void SetDeviceRenderStateFloat(uint32_t state, float value);
// Writes stage 0's texture-stage states straight to the device: on modulates texture and diffuse
// colour (colour and alpha); off selects argument 1 (the texture) for both.
void SetTextureBlendStages(bool on);

// The drawing-state setters.
// 0 normal, 1 add, 2 max, 3 subtract; any other mode as 0.
void GR_SetBlendMode(int32_t mode);
// Source and destination blend factors (1..17).
void GR_SetBlendModeExt(int32_t source, int32_t destination);
void GR_SetColourWriteEnable(bool red, bool green, bool blue, bool alpha);
// Alpha testing; setting it does nothing without a device.
void GR_SetAlphaTest(bool on);
bool GR_GetAlphaTest();
void GR_SetAlphaTestRef(uint32_t value);
uint32_t GR_GetAlphaTestRef();
void GR_SetAlphaTestFunc(uint32_t compare);
uint32_t GR_GetAlphaTestFunc();
// The depth test is on while 3-D mode and the hidden-surface flag both are.
void GR_3D_SetHidden(bool on);
// The z of 2-D drawing: 0 while 3-D mode is off, else `depth` held to -16000..16000.
void GR_3D_SetDepth(float depth);
void GR_3D_SetPerspective(bool on);
void GR_3D_SetZWriteEnable(bool on);
// Culls counter-clockwise triangles, or nothing.
void GR_3D_SetCulling(bool on);
// Gouraud when smooth, else flat.
void GR_3D_SetShading(bool smooth);
void GR_3D_SetLighting(bool on);
// Linear fog from `start` to `end` in colour `colour` (0xBBGGRR), by table or by vertex as the
// device can; a device with neither keeps fog off and the enabled flag false.
void GR_SetFog(bool on, uint32_t colour, int16_t start, int16_t end);
// The fog range on the device: under an orthographic view written straight to the device,
// normalised by the view's near and far distances; otherwise through the cache.
void GR_UpdateFogRange();
void GR_SetTextureInterpolation(bool on);
void GR_SetStageInterpolation(int32_t stage, bool on);
bool GR_GetTextureInterpolation();
// 1 for a stage outside 0..7.
bool GR_GetStageInterpolation(int32_t stage);
void GR_SetTextureRepeat(bool on);
void GR_SetStageRepeat(int32_t stage, bool on);
bool GR_GetTextureRepeat();
// 0 for a stage outside 0..7.
bool GR_GetStageRepeat(int32_t stage);
// Draws the open batch, then sets stage 0's blending (SetTextureBlendStages).
void GR_SetTextureBlending(bool on);

// Re-applies every cached state to the device (after creation and every reset). Nothing without
// a device.
void GR_RestoreRenderStates();
