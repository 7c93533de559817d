#include "graphics/Graphics_Transform.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_RenderState.h"

TransformState g_Transforms;

namespace {

constexpr uint32_t kDeviceSlots[3] = {D3DTS_VIEW, D3DTS_PROJECTION, D3DTS_WORLD};
constexpr float kDegreesToRadians = 0.017453292f;

D3DMATRIX ToDevice(const Matrix& m) {
  D3DMATRIX d;
  std::memcpy(d.m, m.m, sizeof d.m);
  return d;
}

// 0xBBGGRR and 0xAARRGGBB into each other: red and blue swapped.
uint32_t SwapRedBlue(uint32_t colour) {
  return (colour & 0xFF00FF00u) | ((colour & 0xFFu) << 16) | ((colour >> 16) & 0xFFu);
}

D3DCOLORVALUE LightColour(uint32_t colour) {
  D3DCOLORVALUE c;
  c.r = static_cast<float>(colour & 0xFF) / 255.0f;
  c.g = static_cast<float>((colour >> 8) & 0xFF) / 255.0f;
  c.b = static_cast<float>((colour >> 16) & 0xFF) / 255.0f;
  c.a = 0.0f;
  return c;
}

// The drawn clear: a quad over each current target with the depth test set to always.
void ClearByQuads(uint32_t argb, float depth, uint32_t flags) {
  GraphicsDeviceState& g = g_GraphicsDevice;
  IDirect3DDevice9* device = g.device;
  TransformState& t = g_Transforms;

  IDirect3DSurface9* targets[kMaxSimultaneousTargets] = {};
  int32_t targetCount = 0;
  for (int32_t i = 0; i < g.simultaneousTargets; ++i) {
    IDirect3DSurface9* surface = nullptr;
    if (!D3D_Failed(device->GetRenderTarget(static_cast<uint32_t>(i), &surface)) && surface != nullptr)
      targets[targetCount++] = surface;
  }
  IDirect3DSurface9* depthSurface = nullptr;
  if (D3D_Failed(device->GetDepthStencilSurface(&depthSurface))) depthSurface = nullptr;

  const Matrix saved[3] = {t.matrices[kMatrixView], t.matrices[kMatrixProjection], t.matrices[kMatrixWorld]};
  RenderStateCache::Save();
  RenderStateCache::SetRenderState(kRS_DepthTest, 1);
  RenderStateCache::SetRenderState(kRS_DepthFunc, 8);
  RenderStateCache::SetRenderState(kRS_AlphaBlend, 0);
  RenderStateCache::SetRenderState(kRS_AlphaTest, 0);
  RenderStateCache::SetRenderState(kRS_Lighting, 0);
  RenderStateCache::SetRenderState(kRS_Culling, 0);
  RenderStateCache::SetRenderState(kRS_ColourWrite, (flags & kClearTarget) ? 15 : 0);
  RenderStateCache::SetRenderState(kRS_DepthWrite, (flags & kClearDepth) ? 1 : 0);

  t.halfTexel = false;
  const Matrix identity = MatrixIdentity();
  SetTransformMatrix(kMatrixWorld, identity);
  SetTransformMatrix(kMatrixView, identity);
  SetTransformMatrix(kMatrixProjection, identity);
  GR_InvalidateVisibleRegion();

  const bool several = targetCount > 1;
  if (several) {
    PushRenderTarget();
    for (int32_t i = 1; i < g.simultaneousTargets; ++i) device->SetRenderTarget(static_cast<uint32_t>(i), nullptr);
  }
  static const float kCorners[4][2] = {{-1.0f, -1.0f}, {-1.0f, 1.0f}, {1.0f, -1.0f}, {1.0f, 1.0f}};
  for (int32_t i = 0; i < targetCount; ++i) {
    if (several) {
      device->SetRenderTarget(0, targets[i]);
      device->SetDepthStencilSurface(i == 0 ? depthSurface : nullptr);
    }
    auto* v = static_cast<ColouredVertex*>(AllocVerts(D3DPT_TRIANGLESTRIP, nullptr, kVertexSizeColour, 4));
    for (int32_t c = 0; c < 4; ++c) v[c] = ColouredVertex{kCorners[c][0], kCorners[c][1], depth, argb};
    GraphicsFlush();
  }
  if (several) PopRenderTarget();
  for (int32_t i = 0; i < targetCount; ++i) targets[i]->Release();
  if (depthSurface != nullptr) depthSurface->Release();

  RenderStateCache::Restore();
  SetTransformMatrix(kMatrixWorld, saved[2]);
  SetTransformMatrix(kMatrixView, saved[0]);
  SetTransformMatrix(kMatrixProjection, saved[1]);
  GR_InvalidateVisibleRegion();
  t.halfTexel = true;
}

}  // namespace

Matrix MatrixIdentity() {
  Matrix m = {};
  m.At(0, 0) = m.At(1, 1) = m.At(2, 2) = m.At(3, 3) = 1.0f;
  return m;
}

bool MatrixInverse(Matrix& matrix) {
  const float* m = matrix.m;
  float inv[16];
  inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
           m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
  inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
           m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
  inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
           m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
  inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
            m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
  inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
           m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
  inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
           m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
  inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
           m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
  inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
            m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
  inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
           m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
  inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
           m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
  inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
            m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
  inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
            m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
  inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] -
           m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
  inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
           m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
  inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
            m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
  inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] +
            m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
  const float det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
  if (det == 0.0f) return false;
  for (int i = 0; i < 16; ++i) matrix.m[i] = inv[i] / det;
  return true;
}

void GetTransformMatrix(int32_t index, Matrix& out) {
  if (index >= 0 && index < 5) out = g_Transforms.matrices[index];
}

void SetTransformMatrix(int32_t index, const Matrix& matrix) {
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device == nullptr || index < 0 || index > 2) return;
  GraphicsFlush();
  TransformState& t = g_Transforms;
  Matrix& stored = t.matrices[index];
  stored = matrix;
  if (index == kMatrixProjection && t.halfTexel) {
    t.primitiveOffsetX = 1.0f;
    t.primitiveOffsetY = 1.0f;
    stored.At(3, 0) -= 1.0f / static_cast<float>(t.viewportWidth);
    stored.At(3, 1) += 1.0f / static_cast<float>(t.viewportHeight);
  }
  MatrixMultiply(t.matrices[kMatrixWorldView], t.matrices[kMatrixWorld], t.matrices[kMatrixView]);
  MatrixMultiply(t.matrices[kMatrixWorldViewProjection], t.matrices[kMatrixWorldView], t.matrices[kMatrixProjection]);
  const D3DMATRIX d = ToDevice(stored);
  device->SetTransform(kDeviceSlots[index], &d);
  if (index == kMatrixProjection) GR_UpdateFogRange();
}

void GR_SetViewport(int32_t x, int32_t y, int32_t width, int32_t height) {
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device == nullptr) return;
  GraphicsFlush();
  TransformState& t = g_Transforms;
  t.viewportX = x;
  t.viewportY = y;
  t.viewportWidth = width;
  t.viewportHeight = height;
  const D3DVIEWPORT9 viewport = {static_cast<uint32_t>(x), static_cast<uint32_t>(y), static_cast<uint32_t>(width),
                                 static_cast<uint32_t>(height), 0.0f, 1.0f};
  device->SetViewport(&viewport);
}

void GR_GetDisplaySize(int32_t* width, int32_t* height) {
  if (width != nullptr) *width = g_GraphicsDevice.displayWidth;
  if (height != nullptr) *height = g_GraphicsDevice.displayHeight;
}

void GR_SetViewArea(float x, float y, float w, float h, float angle) {
  TransformState& t = g_Transforms;
  t.viewAreaX = x;
  t.viewAreaY = y;
  t.viewAreaWidth = w;
  t.viewAreaHeight = h;
  t.viewAreaAngle = angle;
  if (std::fabs(angle) < 0.001f) {
    t.boundsLeft = static_cast<int32_t>(x - 0.999f);
    t.boundsTop = static_cast<int32_t>(y - 0.999f);
    t.boundsRight = static_cast<int32_t>(x + w + 0.999f);
    t.boundsBottom = static_cast<int32_t>(y + h + 0.999f);
  } else {
    const float radians = angle * kDegreesToRadians;
    const float s = std::fabs(std::sin(radians));
    const float c = std::fabs(std::cos(radians));
    const float bw = c * w + s * h;
    const float bh = s * w + c * h;
    t.boundsLeft = static_cast<int32_t>(x + (w - bw) / 2);
    t.boundsTop = static_cast<int32_t>(y + (h - bh) / 2);
    t.boundsRight = static_cast<int32_t>(x + (bw + w) / 2);
    t.boundsBottom = static_cast<int32_t>(y + (bh + h) / 2);
  }
  t.visibleRegionStale = true;

  const float cx = x + w * 0.5f;
  const float cy = y + h * 0.5f;
  const float theta = -angle * kDegreesToRadians;
  const Vec3 up = {std::sin(theta), std::cos(theta), 0.0f};
  Matrix view;
  Matrix projection;
  t.zNear = 1.0f;
  t.zFar = 32000.0f;
  if (g_RenderStates.mode3D && g_RenderStates.perspective) {
    MatrixLookAt(view, Vec3{cx, cy, -w}, Vec3{cx, cy, 0.0f}, up);
    SetTransformMatrix(kMatrixView, view);
    t.orthographic = false;
    MatrixPerspective(projection, 1.0f, h / w, 1.0f, 32000.0f);
  } else {
    MatrixLookAt(view, Vec3{cx, cy, -16000.0f}, Vec3{cx, cy, 0.0f}, up);
    SetTransformMatrix(kMatrixView, view);
    t.orthographic = true;
    MatrixOrtho(projection, w, g_RenderStates.mode3D ? h : -h, 1.0f, 32000.0f);
  }
  SetTransformMatrix(kMatrixProjection, projection);
}

void GR_SetVisibleBounds(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  TransformState& t = g_Transforms;
  t.boundsLeft = left;
  t.boundsTop = top;
  t.boundsRight = right;
  t.boundsBottom = bottom;
  t.visibleRegionStale = true;
}

void GR_InvalidateVisibleRegion() { g_Transforms.visibleRegionStale = true; }

void GR_UpdateVisibleRegion() {
  TransformState& t = g_Transforms;
  if (!t.visibleRegionStale) return;
  Matrix m = t.matrices[kMatrixWorld];
  MatrixInverse(m);  // a singular world matrix is used as it is
  const float corners[4][2] = {{static_cast<float>(t.boundsLeft), static_cast<float>(t.boundsTop)},
                               {static_cast<float>(t.boundsRight), static_cast<float>(t.boundsTop)},
                               {static_cast<float>(t.boundsRight), static_cast<float>(t.boundsBottom)},
                               {static_cast<float>(t.boundsLeft), static_cast<float>(t.boundsBottom)}};
  int32_t minX = INT32_MAX, minY = INT32_MAX, maxX = INT32_MIN, maxY = INT32_MIN;
  for (const auto& c : corners) {
    const float fx = c[0] * m.At(0, 0) + c[1] * m.At(1, 0) + m.At(3, 0);
    const float fy = c[0] * m.At(0, 1) + c[1] * m.At(1, 1) + m.At(3, 1);
    // Truncated toward zero; values beyond the integer range (a singular matrix) are pinned.
    const int32_t x = std::isfinite(fx) && std::fabs(fx) < 2147483520.0f ? static_cast<int32_t>(fx) : INT32_MIN;
    const int32_t y = std::isfinite(fy) && std::fabs(fy) < 2147483520.0f ? static_cast<int32_t>(fy) : INT32_MIN;
    if (x < minX) minX = x;
    if (x > maxX) maxX = x;
    if (y < minY) minY = y;
    if (y > maxY) maxY = y;
  }
  t.visibleMinX = minX;
  t.visibleMinY = minY;
  t.visibleMaxX = maxX;
  t.visibleMaxY = maxY;
  t.visibleRegionStale = false;
}

void GraphicsClear(uint32_t colour, float depth, uint32_t, uint32_t flags) {
  const GraphicsDeviceState& g = g_GraphicsDevice;
  IDirect3DDevice9* device = g.device;
  if (device == nullptr || flags == 0) return;
  GraphicsFlush();
  GR_UpdateFogRange();
  const uint32_t argb = SwapRedBlue(colour);
  if (g.clearByQuads) {
    ClearByQuads(argb, depth, flags);
    return;
  }
  uint32_t clearFlags = 0;
  if (flags & kClearTarget) clearFlags |= D3DCLEAR_TARGET;
  if (flags & kClearDepth) clearFlags |= D3DCLEAR_ZBUFFER;
  if (flags & kClearStencil) clearFlags |= D3DCLEAR_STENCIL;
  device->Clear(0, nullptr, clearFlags, argb, 1.0f, 0);
}

void GR_Clear(uint32_t colour) { GraphicsClear(colour, 1.0f, 0, kClearTarget | kClearDepth | kClearStencil); }

void GR_ClearAlpha(uint32_t colour, float alpha) {
  if (!(alpha >= 0.0f)) alpha = 0.0f;  // NaN too
  if (alpha > 1.0f) alpha = 1.0f;
  const uint32_t a = static_cast<uint32_t>(alpha * 255.0f);
  GraphicsClear((colour & 0xFFFFFFu) | (a << 24), 1.0f, 0, kClearTarget | kClearDepth | kClearStencil);
}

void GR_SetAmbientLight(uint32_t colour) {
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device == nullptr) return;
  D3DMATERIAL9 material;
  material.Diffuse = material.Ambient = material.Specular = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f};
  material.Emissive = D3DCOLORVALUE{};
  material.Power = 1.0f;
  device->SetMaterial(&material);
  device->SetRenderState(D3DRS_AMBIENT, SwapRedBlue(colour));
}

void GR_SetDirectionalLight(int32_t index, float dx, float dy, float dz, uint32_t colour) {
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device == nullptr) return;
  D3DLIGHT9 light;
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = LightColour(colour);
  light.Direction = D3DVECTOR{dx, dy, dz};
  device->SetLight(static_cast<uint32_t>(index) & 7u, &light);
}

void GR_SetPointLight(int32_t index, float x, float y, float z, float range, uint32_t colour) {
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device == nullptr) return;
  D3DLIGHT9 light;
  light.Type = D3DLIGHT_POINT;
  light.Diffuse = LightColour(colour);
  light.Position = D3DVECTOR{x, y, z};
  light.Range = range;
  light.Attenuation0 = 1.0f;
  if (range > 0.0f) light.Attenuation1 = 1.0f / range;
  device->SetLight(static_cast<uint32_t>(index) & 7u, &light);
}

void GR_EnableLight(int32_t index, bool on) {
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device != nullptr) device->LightEnable(static_cast<uint32_t>(index) & 7u, on ? 1 : 0);
}
