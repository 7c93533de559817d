#include "graphics/Graphics_HardwareTexture.h"

#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"

RenderTargetStack g_RenderTargets;

namespace {

void ReleaseSurface(IDirect3DSurface9*& surface) {
  if (surface != nullptr) surface->Release();
  surface = nullptr;
}

void ReleaseLevel(RenderTargetLevel& level) {
  for (IDirect3DSurface9*& surface : level.surfaces) ReleaseSurface(surface);
  ReleaseSurface(level.depthSurface);
  for (HardwareTexture*& texture : level.textures) texture = nullptr;
}

}  // namespace

void SetTextureStage(int32_t stage, HardwareTexture* texture) {
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device == nullptr || stage < 0 || stage > 8) return;
  device->SetTexture(static_cast<uint32_t>(stage), texture != nullptr ? texture->texture : nullptr);
}

bool BindRenderTarget(int32_t index, HardwareTexture* texture) {
  GraphicsFlush();
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device == nullptr || index < 0 || index >= g_GraphicsDevice.simultaneousTargets || texture == nullptr)
    return false;
  HRESULT result = device->SetRenderTarget(static_cast<uint32_t>(index), texture->surface);
  if (index == 0 && !D3D_Failed(result)) result = device->SetDepthStencilSurface(texture->depthSurface);
  g_RenderTargets.bound[index] = texture;
  texture->flags |= 1;
  return !D3D_Failed(result);
}

bool PushRenderTarget() {
  RenderTargetStack& s = g_RenderTargets;
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (s.depth >= kRenderTargetLevels || device == nullptr) return false;
  RenderTargetLevel& level = s.levels[s.depth];
  for (int32_t i = 0; i < g_GraphicsDevice.simultaneousTargets; ++i) {
    if (D3D_Failed(device->GetRenderTarget(static_cast<uint32_t>(i), &level.surfaces[i]))) level.surfaces[i] = nullptr;
    level.textures[i] = s.bound[i];
  }
  if (D3D_Failed(device->GetDepthStencilSurface(&level.depthSurface))) level.depthSurface = nullptr;
  ++s.depth;
  return true;
}

bool PopRenderTarget() {
  RenderTargetStack& s = g_RenderTargets;
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device == nullptr || s.depth == 0) return false;
  GraphicsFlush();
  --s.depth;
  RenderTargetLevel& level = s.levels[s.depth];
  bool ok = true;
  for (int32_t i = 0; i < g_GraphicsDevice.simultaneousTargets && ok; ++i) {
    ok = !D3D_Failed(device->SetRenderTarget(static_cast<uint32_t>(i), level.surfaces[i]));
    if (!ok) break;
    ReleaseSurface(level.surfaces[i]);
    s.bound[i] = level.textures[i];
    if (level.textures[i] != nullptr) level.textures[i]->flags |= 1;
    level.textures[i] = nullptr;
  }
  if (ok) ok = !D3D_Failed(device->SetDepthStencilSurface(level.depthSurface));
  // The level is gone whatever happened: what it still holds is given back.
  ReleaseLevel(level);
  return ok;
}

void PopAllRenderTargets() {
  // Without a device nothing can be restored; the levels are only given back.
  if (g_GraphicsDevice.device == nullptr) DropRenderTargetLevels(0);
  while (g_RenderTargets.depth > 0) PopRenderTarget();
}

void DropRenderTargetLevels(int32_t keep) {
  RenderTargetStack& s = g_RenderTargets;
  while (s.depth > keep && s.depth > 0) ReleaseLevel(s.levels[--s.depth]);
}
