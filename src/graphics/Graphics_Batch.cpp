#include "graphics/Graphics_Batch.h"

#include "debug/Profiler.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_RenderState.h"

VertexBatch g_VertexBatch;

void GraphicsFlush() {
  ProfilerScope scope(kProfileGraphicsFlush);
  RenderStateCache::Flush();
}

void ResetVertexBuffersForFrame() {
  VertexBatch& b = g_VertexBatch;
  ++b.frameCounter;
  b.kind = -1;
  if (g_GraphicsDevice.singleUseBuffers) b.minBufferSize = 4096;
}

void FreeBatchVertexBuffers() { g_VertexBatch.kind = -1; }
