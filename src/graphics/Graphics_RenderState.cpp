#include "graphics/Graphics_RenderState.h"

#include <cstring>

#include "buffer/IBuffer.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_Transform.h"

RenderStateCache g_RenderStateCache;
RenderStateSettings g_RenderStates;

namespace {

uint32_t FloatBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// How a cached value becomes the device's.
enum class Mapping : uint8_t { None, AsIs, Fill, Shade, Blend, Cull, Compare, FogMode, ColourMask, StencilOp };

struct StateInfo {
  uint32_t deviceState;
  Mapping mapping;
  uint32_t defaultValue;
};

const StateInfo kStates[kRenderStates] = {
    {0, Mapping::None, 0},
    {D3DRS_ZENABLE, Mapping::AsIs, 0},
    {D3DRS_FILLMODE, Mapping::Fill, 3},
    {D3DRS_SHADEMODE, Mapping::Shade, 2},
    {D3DRS_ZWRITEENABLE, Mapping::AsIs, 1},
    {D3DRS_ALPHATESTENABLE, Mapping::AsIs, 0},
    {D3DRS_SRCBLEND, Mapping::Blend, D3DBLEND_SRCALPHA},
    {D3DRS_DESTBLEND, Mapping::Blend, D3DBLEND_INVSRCALPHA},
    {D3DRS_CULLMODE, Mapping::Cull, 0},
    {D3DRS_ZFUNC, Mapping::Compare, D3DCMP_LESSEQUAL},
    {D3DRS_ALPHAREF, Mapping::AsIs, 0},
    {D3DRS_ALPHAFUNC, Mapping::Compare, D3DCMP_GREATER},
    {D3DRS_ALPHABLENDENABLE, Mapping::AsIs, 1},
    {D3DRS_FOGENABLE, Mapping::AsIs, 0},
    {0, Mapping::None, 0},
    {D3DRS_FOGCOLOR, Mapping::AsIs, 0},
    {D3DRS_FOGTABLEMODE, Mapping::FogMode, 1},
    {D3DRS_FOGSTART, Mapping::AsIs, 0x00000000u},  // 0.0
    {D3DRS_FOGEND, Mapping::AsIs, 0x3F800000u},    // 1.0
    {0, Mapping::None, 0},
    {D3DRS_RANGEFOGENABLE, Mapping::AsIs, 0},
    {D3DRS_LIGHTING, Mapping::AsIs, 0},
    {0, Mapping::None, 0},
    {D3DRS_FOGVERTEXMODE, Mapping::FogMode, 3},
    {D3DRS_COLORWRITEENABLE, Mapping::ColourMask, 15},
    {D3DRS_STENCILENABLE, Mapping::AsIs, 0},
    {D3DRS_STENCILFAIL, Mapping::StencilOp, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILZFAIL, Mapping::StencilOp, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILPASS, Mapping::StencilOp, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILFUNC, Mapping::Compare, D3DCMP_ALWAYS},
    {D3DRS_STENCILREF, Mapping::AsIs, 0},
    {D3DRS_STENCILMASK, Mapping::AsIs, 0xFFFFFFFFu},
    {D3DRS_STENCILWRITEMASK, Mapping::AsIs, 0xFFFFFFFFu},
};

uint32_t DeviceValue(Mapping mapping, uint32_t v) {
  switch (mapping) {
    case Mapping::Fill: return v == 1 ? D3DFILL_POINT : v == 2 ? D3DFILL_WIREFRAME : D3DFILL_SOLID;
    case Mapping::Shade: return v == 1 ? D3DSHADE_FLAT : D3DSHADE_GOURAUD;
    case Mapping::Blend: return v >= 2 && v <= 17 ? v : D3DBLEND_ZERO;
    case Mapping::Cull: return v == 1 ? D3DCULL_CW : v == 2 ? D3DCULL_CCW : D3DCULL_NONE;
    case Mapping::Compare: return v >= 1 && v <= 7 ? v : D3DCMP_ALWAYS;
    case Mapping::FogMode: return v <= 2 ? v : D3DFOG_LINEAR;
    case Mapping::ColourMask: return v & 15;
    case Mapping::StencilOp: return v >= 2 && v <= 8 ? v : D3DSTENCILOP_KEEP;
    default: return v;
  }
}

// The dirty rule: nothing when the value is already wanted; otherwise dirty exactly while it
// differs from the device's value (or that value is unknown).
void Want(uint32_t& wanted, uint32_t device, uint64_t& dirty, uint64_t bit, bool unknown, uint32_t value) {
  if (value == wanted && !unknown) return;
  if (value == device && !unknown) {
    dirty &= ~bit;
  } else {
    dirty |= bit;
  }
  wanted = value;
}

bool ValidStage(int32_t stage) { return stage >= 0 && stage < 8; }

// A stored fog distance back as the whole number it was given as.
int16_t FogDistance(float value) {
  if (!(value >= -32768.0f)) return -32768;
  if (value > 32767.0f) return 32767;
  return static_cast<int16_t>(value);
}

}  // namespace

void RenderStateCache::SetDefaults() {
  RenderStateCache& c = g_RenderStateCache;
  for (int32_t i = 0; i < kRenderStates; ++i) c.deviceRender[i] = c.wantedRender[i] = kStates[i].defaultValue;
  for (int32_t s = 0; s < kSamplerSlots; ++s) c.deviceSampler[s] = c.wantedSampler[s] = 0;
  c.renderDirty = ~0ull;
  c.renderUnknown = 0;
  RenderStateSettings& r = g_RenderStates;
  r.fogStart = 0.0f;
  r.fogEnd = 1.0f;
  r.perspective = true;
  r.hidden = true;
  for (uint8_t& stage : r.stageInterpolation) stage = 1;
  r.fogEnabled = false;
  r.fogColour = 0;
  r.fogColourGiven = 0;
  for (uint8_t& stage : r.stageRepeat) stage = 0;
}

void RenderStateCache::SetRenderState(int32_t index, uint32_t value) {
  if (index < 0 || index >= kRenderStates) return;
  RenderStateCache& c = g_RenderStateCache;
  const uint64_t bit = 1ull << index;
  Want(c.wantedRender[index], c.deviceRender[index], c.renderDirty, bit, (c.renderUnknown & bit) != 0, value);
}

void RenderStateCache::SetSamplerState(int32_t stage, int32_t kind, uint32_t value) {
  if (!ValidStage(stage) || kind < 0 || kind > 3) return;
  RenderStateCache& c = g_RenderStateCache;
  const int32_t slot = stage * 4 + kind;
  Want(c.wantedSampler[slot], c.deviceSampler[slot], c.samplerDirty, 1ull << slot, false, value);
}

uint32_t RenderStateCache::GetRenderState(int32_t index) {
  return index >= 0 && index < kRenderStates ? g_RenderStateCache.wantedRender[index] : 0;
}

uint32_t RenderStateCache::GetSamplerState(int32_t stage, int32_t kind) {
  if (!ValidStage(stage) || kind < 0 || kind > 3) return 0;
  return g_RenderStateCache.wantedSampler[stage * 4 + kind];
}

void RenderStateCache::Save() {
  RenderStateCache& c = g_RenderStateCache;
  std::memcpy(c.savedRender, c.wantedRender, sizeof c.savedRender);
  std::memcpy(c.savedSampler, c.wantedSampler, sizeof c.savedSampler);
}

void RenderStateCache::Restore() {
  RenderStateCache& c = g_RenderStateCache;
  for (int32_t i = 0; i < kRenderStates; ++i) {
    if (c.savedRender[i] != c.wantedRender[i]) SetRenderState(i, c.savedRender[i]);
  }
  for (int32_t s = 0; s < kSamplerSlots; ++s) {
    if (c.savedSampler[s] != c.wantedSampler[s]) SetSamplerState(s / 4, s % 4, c.savedSampler[s]);
  }
}

void RenderStateCache::Flush() {
  RenderStateCache& c = g_RenderStateCache;
  if (c.renderDirty != 0) {
    for (int32_t i = 0; i < kRenderStates; ++i) {
      if ((c.renderDirty & (1ull << i)) == 0) continue;
      ApplyRenderState(i, c.wantedRender[i]);
      c.deviceRender[i] = c.wantedRender[i];
      c.renderUnknown &= ~(1ull << i);
    }
    c.renderDirty = 0;
  }
  if (c.samplerDirty != 0) {
    for (int32_t s = 0; s < kSamplerSlots; ++s) {
      if ((c.samplerDirty & (1ull << s)) == 0) continue;
      ApplySamplerState(s / 4, s % 4, c.wantedSampler[s]);
      c.deviceSampler[s] = c.wantedSampler[s];
    }
    c.samplerDirty = 0;
  }
}

void RenderStateCache::ApplyAll() {
  RenderStateCache& c = g_RenderStateCache;
  c.renderDirty = ~0ull;
  c.samplerDirty |= (1ull << 10) - 1;
  Flush();
}

void RenderStateCache::WriteStates(IBuffer* buffer) {
  if (buffer == nullptr) return;
  for (int32_t i = 1; i < kRenderStates; ++i) {
    const double value = g_RenderStateCache.wantedRender[i];
    buffer->Write(BUFFER_U32, &value);
  }
}

void RenderStateCache::MarkUnknown(int32_t index) {
  if (index < 0 || index >= kRenderStates) return;
  RenderStateCache& c = g_RenderStateCache;
  c.renderDirty &= ~(1ull << index);
  c.renderUnknown |= 1ull << index;
}

void ApplyRenderState(int32_t index, uint32_t value) {
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device == nullptr || index < 0 || index >= kRenderStates) return;
  const StateInfo& info = kStates[index];
  if (info.mapping == Mapping::None) return;
  if (index == kRS_DepthTest) g_RenderStates.depthTestOn = value != 0;
  if (index == kRS_Fog) g_RenderStates.fogOn = value != 0;
  if (index == kRS_Lighting) g_RenderStates.lightingOn = value != 0;
  device->SetRenderState(info.deviceState, DeviceValue(info.mapping, value));
}

void ApplySamplerState(int32_t stage, int32_t kind, uint32_t value) {
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device == nullptr || !ValidStage(stage) || kind < 0 || kind > 3) return;
  static const uint32_t kTypes[4] = {D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER, D3DSAMP_ADDRESSU, D3DSAMP_ADDRESSV};
  const bool filter = kind < 2;
  const uint32_t deviceValue =
      filter ? (value != 0 ? D3DTEXF_POINT : D3DTEXF_LINEAR) : (value != 0 ? D3DTADDRESS_CLAMP : D3DTADDRESS_WRAP);
  device->SetSamplerState(static_cast<uint32_t>(stage), kTypes[kind], deviceValue);
}

void SetDeviceRenderStateFloat(uint32_t state, float value) {
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device == nullptr || state > 210) return;
  device->SetRenderState(state, FloatBits(value));
}

void SetTextureBlendStages(bool on) {
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device == nullptr) return;
  if (on) {
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  } else {
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  }
}

void GR_SetBlendMode(int32_t mode) {
  static const uint32_t kPairs[4][2] = {
      {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},  // normal
      {D3DBLEND_SRCALPHA, D3DBLEND_ONE},          // add
      {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCCOLOR},  // max
      {D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR},      // subtract
  };
  const uint32_t* pair = kPairs[mode >= 0 && mode < 4 ? mode : 0];
  RenderStateCache::SetRenderState(kRS_SrcBlend, pair[0]);
  RenderStateCache::SetRenderState(kRS_DestBlend, pair[1]);
}

void GR_SetBlendModeExt(int32_t source, int32_t destination) {
  RenderStateCache::SetRenderState(kRS_SrcBlend, static_cast<uint32_t>(source));
  RenderStateCache::SetRenderState(kRS_DestBlend, static_cast<uint32_t>(destination));
}

void GR_SetColourWriteEnable(bool red, bool green, bool blue, bool alpha) {
  RenderStateCache::SetRenderState(kRS_ColourWrite,
                                   (red ? 1u : 0u) | (green ? 2u : 0u) | (blue ? 4u : 0u) | (alpha ? 8u : 0u));
}

void GR_SetAlphaTest(bool on) {
  if (g_GraphicsDevice.device != nullptr) RenderStateCache::SetRenderState(kRS_AlphaTest, on ? 1 : 0);
}

bool GR_GetAlphaTest() { return RenderStateCache::GetRenderState(kRS_AlphaTest) != 0; }

void GR_SetAlphaTestRef(uint32_t value) { RenderStateCache::SetRenderState(kRS_AlphaRef, value); }

uint32_t GR_GetAlphaTestRef() { return RenderStateCache::GetRenderState(kRS_AlphaRef); }

void GR_SetAlphaTestFunc(uint32_t compare) { RenderStateCache::SetRenderState(kRS_AlphaFunc, compare); }

uint32_t GR_GetAlphaTestFunc() { return RenderStateCache::GetRenderState(kRS_AlphaFunc); }

void GR_3D_SetHidden(bool on) {
  g_RenderStates.hidden = on;
  RenderStateCache::SetRenderState(kRS_DepthTest, g_RenderStates.mode3D && on ? 1 : 0);
}

void GR_3D_SetPerspective(bool on) { g_RenderStates.perspective = on; }

void GR_3D_SetZWriteEnable(bool on) { RenderStateCache::SetRenderState(kRS_DepthWrite, on ? 1 : 0); }

void GR_3D_SetCulling(bool on) { RenderStateCache::SetRenderState(kRS_Culling, on ? 2 : 0); }

void GR_3D_SetShading(bool smooth) { RenderStateCache::SetRenderState(kRS_ShadeMode, smooth ? 2 : 1); }

void GR_3D_SetLighting(bool on) { RenderStateCache::SetRenderState(kRS_Lighting, on ? 1 : 0); }

void GR_SetFog(bool on, uint32_t colour, int16_t start, int16_t end) {
  RenderStateSettings& r = g_RenderStates;
  r.fogEnabled = on;
  r.fogColourGiven = colour;
  r.fogColour = 0xFF000000u | ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
  r.fogStart = start;
  r.fogEnd = end;
  const uint32_t caps = g_GraphicsDevice.caps.RasterCaps;
  const int capability = (caps & D3DPRASTERCAPS_FOGTABLE) ? 1 : (caps & D3DPRASTERCAPS_FOGVERTEX) ? 2 : 0;
  if (!on || capability == 0) {
    r.fogEnabled = false;
    RenderStateCache::SetRenderState(kRS_Fog, 0);
    return;
  }
  RenderStateCache::SetRenderState(kRS_Fog, 1);
  if (capability == 1) {
    RenderStateCache::SetRenderState(kRS_FogTableMode, D3DFOG_LINEAR);
  } else {
    RenderStateCache::SetRenderState(kRS_FogVertexMode, D3DFOG_LINEAR);
    RenderStateCache::SetRenderState(kRS_RangeFog, 1);
  }
  RenderStateCache::SetRenderState(kRS_FogColour, r.fogColour);
  GR_UpdateFogRange();
}

void GR_UpdateFogRange() {
  const RenderStateSettings& r = g_RenderStates;
  const TransformState& t = g_Transforms;
  if (t.orthographic) {
    const float range = t.zFar - t.zNear;
    SetDeviceRenderStateFloat(D3DRS_FOGSTART, (r.fogStart - t.zNear) / range);
    SetDeviceRenderStateFloat(D3DRS_FOGEND, (r.fogEnd - t.zNear) / range);
    // The cache no longer knows what the device holds for these two, so the next range set
    // through it goes out even when it equals what the cache last sent.
    RenderStateCache::MarkUnknown(kRS_FogStart);
    RenderStateCache::MarkUnknown(kRS_FogEnd);
  } else {
    RenderStateCache::SetRenderState(kRS_FogStart, FloatBits(r.fogStart));
    RenderStateCache::SetRenderState(kRS_FogEnd, FloatBits(r.fogEnd));
  }
}

void GR_SetTextureInterpolation(bool on) {
  for (int32_t stage = 0; stage < 8; ++stage) GR_SetStageInterpolation(stage, on);
}

void GR_SetStageInterpolation(int32_t stage, bool on) {
  if (!ValidStage(stage)) return;
  g_RenderStates.stageInterpolation[stage] = on ? 1 : 0;
  RenderStateCache::SetSamplerState(stage, kSamplerMagFilter, on ? 0 : 1);
  RenderStateCache::SetSamplerState(stage, kSamplerMinFilter, on ? 0 : 1);
}

bool GR_GetTextureInterpolation() { return g_RenderStates.stageInterpolation[0] != 0; }

bool GR_GetStageInterpolation(int32_t stage) {
  return !ValidStage(stage) || g_RenderStates.stageInterpolation[stage] != 0;
}

void GR_SetTextureRepeat(bool on) {
  for (int32_t stage = 0; stage < 8; ++stage) GR_SetStageRepeat(stage, on);
}

void GR_SetStageRepeat(int32_t stage, bool on) {
  if (!ValidStage(stage)) return;
  g_RenderStates.stageRepeat[stage] = on ? 1 : 0;
  RenderStateCache::SetSamplerState(stage, kSamplerAddressU, on ? 0 : 1);
  RenderStateCache::SetSamplerState(stage, kSamplerAddressV, on ? 0 : 1);
}

bool GR_GetTextureRepeat() { return g_RenderStates.stageRepeat[0] != 0; }

bool GR_GetStageRepeat(int32_t stage) { return ValidStage(stage) && g_RenderStates.stageRepeat[stage] != 0; }

void GR_SetTextureBlending(bool on) {
  GraphicsFlush();
  SetTextureBlendStages(on);
}

void GR_3D_SetDepth(float depth) {
  RenderStateSettings& r = g_RenderStates;
  if (!r.mode3D || !(depth == depth)) {
    r.depth2D = 0.0f;
    return;
  }
  r.depth2D = depth < -16000.0f ? -16000.0f : depth > 16000.0f ? 16000.0f : depth;
}

void GR_RestoreRenderStates() {
  if (g_GraphicsDevice.device == nullptr) return;
  RenderStateSettings& r = g_RenderStates;
  g_VertexBatch.baseTextureStage = 0;
  RenderStateCache::SetRenderState(kRS_AlphaBlend, 1);
  GR_3D_SetHidden(r.hidden);
  GR_SetFog(r.fogEnabled, r.fogColourGiven, FogDistance(r.fogStart), FogDistance(r.fogEnd));
  SetTextureStage(g_VertexBatch.baseTextureStage, nullptr);
  GR_SetTextureInterpolation(r.interpolate);
  GraphicsFlush();
  SetTextureBlendStages(true);
  GR_SetTextureRepeat(r.stageRepeat[0] != 0);
  RenderStateCache::ApplyAll();
}
