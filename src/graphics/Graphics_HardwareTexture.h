// The device side of textures, and the stack of saved render targets that surfaces and the
// application surface push and pop. Main thread only.
#pragma once

#include <cstdint>

#include "graphics/device/D3D_Device.h"

// A device texture. Flag bit 0: rendered to since last sampled.
struct HardwareTexture {
  IDirect3DTexture9* texture = nullptr;  // the device texture
  int32_t format = 0;
  uint32_t packedSize = 0;
  uint32_t flags = 0;
  IDirect3DSurface9* surface = nullptr;       // colour surface
  IDirect3DSurface9* depthSurface = nullptr;  // render targets only
};

constexpr int32_t kRenderTargetLevels = 8;
constexpr int32_t kMaxSimultaneousTargets = 4;

struct RenderTargetLevel {
  IDirect3DSurface9* surfaces[kMaxSimultaneousTargets] = {};  // each holds a reference
  IDirect3DSurface9* depthSurface = nullptr;                  // holds a reference
  HardwareTexture* textures[kMaxSimultaneousTargets] = {};
};

struct RenderTargetStack {
  int32_t depth = 0;
  RenderTargetLevel levels[kRenderTargetLevels];
  HardwareTexture* bound[kMaxSimultaneousTargets] = {};  // null: the back buffer
};
extern RenderTargetStack g_RenderTargets;

// Binds the texture's device texture (none for null) to sampler stage `stage`; a stage outside
// 0..8 or no device does nothing.
void SetTextureStage(int32_t stage, HardwareTexture* texture);
// Makes the texture's surfaces target `index` (index 0 also takes its depth surface); false
// without a device, for an index outside the simultaneous targets, or when the device refuses.
bool BindRenderTarget(int32_t index, HardwareTexture* texture);
// Saves the current targets in a new level; false at 8 levels.
bool PushRenderTarget();
// Restores the targets of the top level and releases what it saved; false without a device, at
// depth 0, or when the device refuses a target (the level's remaining references are released).
bool PopRenderTarget();
void PopAllRenderTargets();
// Removes the levels above `keep` without restoring them, releasing every surface they saved.
void DropRenderTargetLevels(int32_t keep);
