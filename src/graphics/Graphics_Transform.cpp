#include "graphics/Graphics_Transform.h"

#include <cmath>
#include <cstring>

#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_RenderState.h"

TransformState g_Transforms;

namespace {

constexpr uint32_t kDeviceSlots[3] = {D3DTS_VIEW, D3DTS_PROJECTION, D3DTS_WORLD};

D3DMATRIX ToDevice(const Matrix& m) {
  D3DMATRIX d;
  std::memcpy(d.m, m.m, sizeof d.m);
  return d;
}

}  // namespace

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
    const float radians = angle * 0.017453292f;
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
  const float theta = -angle * 0.017453292f;
  const Vec3 up = {std::sin(theta), std::cos(theta), 0.0f};
  Matrix view;
  MatrixLookAt(view, Vec3{cx, cy, -16000.0f}, Vec3{cx, cy, 0.0f}, up);
  SetTransformMatrix(kMatrixView, view);
  t.zNear = 1.0f;
  t.zFar = 32000.0f;
  t.orthographic = true;
  Matrix projection;
  MatrixOrtho(projection, w, -h, 1.0f, 32000.0f);
  SetTransformMatrix(kMatrixProjection, projection);
}

void GraphicsClear(uint32_t colour, float, uint32_t, uint32_t flags) {
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device == nullptr || flags == 0) return;
  GraphicsFlush();
  GR_UpdateFogRange();
  const uint32_t argb = (colour & 0xFF00FF00u) | ((colour & 0xFFu) << 16) | ((colour >> 16) & 0xFFu);
  uint32_t clearFlags = 0;
  if (flags & 1) clearFlags |= D3DCLEAR_TARGET;
  if (flags & 2) clearFlags |= D3DCLEAR_ZBUFFER;
  if (flags & 4) clearFlags |= D3DCLEAR_STENCIL;
  device->Clear(0, nullptr, clearFlags, argb, 1.0f, 0);
}
