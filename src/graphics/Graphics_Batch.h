// The vertex batch that every immediate draw goes through, and the frame bookkeeping of its
// vertex buffers. Main thread only.
#pragma once

#include <cstdint>

struct HardwareTexture;

struct VertexBatch {
  int32_t kind = -1;           // primitive kind of the open batch, -1 for none
  HardwareTexture* texture = nullptr;  // the texture of the open batch; forgotten when it is freed
  uint64_t frameCounter = 10;  // advanced at every frame end; buffers are stamped with it
  uint32_t minBufferSize = 0;  // with single-use buffers, 4096 after every frame end
  int32_t baseTextureStage = 0;  // the sampler stage that receives the batch texture
};
extern VertexBatch g_VertexBatch;

// Draws the open batch, then applies the render states that changed. Opens the profiler
// section "GraphicsFlush" while profiling is on.
void GraphicsFlush();
// The frame end: recycles the batch buffers, closes the current batch, advances the frame
// counter.
void ResetVertexBuffersForFrame();
// Shutdown: releases every batch vertex buffer.
void FreeBatchVertexBuffers();
