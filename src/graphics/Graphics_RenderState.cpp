#include "graphics/Graphics_RenderState.h"

#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"

RenderStateSettings g_RenderStates;

void RenderStateCache::SetDefaults() {
  for (uint8_t& stage : g_RenderStates.stageInterpolation) stage = 1;
}

void RenderStateCache::Flush() {}

void RenderStateCache::ApplyAll() {}

void GR_RestoreRenderStates() {
  if (g_GraphicsDevice.device == nullptr) return;
  GraphicsFlush();
  RenderStateCache::ApplyAll();
}
