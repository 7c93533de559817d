// The vertex batch that every immediate draw goes through, and the frame bookkeeping of its
// vertex buffers.
//
// A caller asks AllocVerts for room for n vertices of one primitive kind, texture and vertex
// size, writes them through the pointer it gets (no check needed: AllocVerts cannot fail but
// fatally), and moves on. While the next request matches the open batch (same kind, texture and
// size; not a strip or fan; room left in the buffer; no dirty render state) it goes into the same
// draw call; otherwise the open batch is drawn first (GraphicsFlush).
//
// Vertices live in BatchVertexBuffers, one list of them in creation order, each a device vertex
// buffer that is appended to within a frame and stamped at the frame end; a stamped buffer is
// taken again only in the fifth frame after its stamp, so the device never waits for a buffer it
// may still read. Buffers are freed only at shutdown. Main thread only.
#pragma once

#include <cstdint>

struct HardwareTexture;
class IDirect3DVertexBuffer9;

// BatchVertexBuffer flag bits.
constexpr uint32_t kBatchBufferLocked = 1;
constexpr uint32_t kBatchBufferDynamic = 2;  // made with D3DUSAGE_DYNAMIC
constexpr uint32_t kBatchBufferUsed = 4;     // used in the current frame

struct BatchVertexBuffer {
  BatchVertexBuffer* previous = nullptr;
  BatchVertexBuffer* next = nullptr;
  uint32_t flags = 0;
  IDirect3DVertexBuffer9* buffer = nullptr;
  uint32_t format = 0;  // D3DFVF_* bits
  int32_t stride = 0;
  int32_t batchStart = 0;  // first vertex of the open batch (set at each lock)
  int32_t nextFree = 0;
  int32_t capacity = 0;            // vertices
  uint8_t* locked = nullptr;       // the batch-start vertex while locked
  uint64_t lastUsedFrame = 0;      // the frame counter at the end of the last frame that used it
};

// The standard vertex layouts chosen by the size argument of AllocVerts.
constexpr int32_t kVertexSizeColour = 16;     // x, y, z, colour: FVF 0x42
constexpr int32_t kVertexSizeTextured = 24;   // x, y, z, colour, u, v: FVF 0x142
constexpr int32_t kVertexSize3D = 36;         // x, y, z, nx, ny, nz, colour, u, v: FVF 0x152

// The 24-byte vertex of textured 2-D drawing.
struct TexturedVertex {
  float x, y, z;
  uint32_t colour;  // 0xAARRGGBB
  float u, v;
};
static_assert(sizeof(TexturedVertex) == 24, "textured vertices are 24 bytes");

struct ColouredVertex {
  float x, y, z;
  uint32_t colour;
};
static_assert(sizeof(ColouredVertex) == 16, "coloured vertices are 16 bytes");

struct VertexBatch {
  BatchVertexBuffer* current = nullptr;  // the buffer being filled
  int32_t kind = -1;                     // primitive kind of the open batch (D3DPT_*), -1 for none
  HardwareTexture* texture = nullptr;    // the texture of the open batch; forgotten when it is freed
  int32_t stride = 0;
  uint8_t* base = nullptr;     // the current buffer's locked pointer
  int32_t baseTextureStage = 0;  // the sampler stage that receives the batch texture
  BatchVertexBuffer* first = nullptr;  // every buffer, in creation order
  BatchVertexBuffer* last = nullptr;
  uint64_t frameCounter = 10;        // advanced at every frame end; buffers are stamped with it
  int32_t minBufferSize = 16384;     // vertices; 4096 after a frame end with single-use buffers
  int32_t buffersCreated = 0;        // for the fatal message
  uint64_t bufferBytes = 0;
  // Where a request goes when no buffer could be made and the fatal error returned (errors
  // suppressed): writes land here and are never drawn. A memory-manager block.
  uint8_t* spill = nullptr;
  uint64_t spillBytes = 0;
};
extern VertexBatch g_VertexBatch;

// The write pointer for `count` vertices of primitive `kind` (D3DPT_*) on `texture` (null for
// none); `vertexSize` is 16, 24 or 36 for the standard layouts, any other value a vertex format
// (D3DFVF_* bits). A buffer that cannot be made ends the program with "Fatal Error: Can not
// create vertex buffer of size %d bytes\n...".
void* AllocVerts(int32_t kind, HardwareTexture* texture, int32_t vertexSize, int32_t count);
// Gives back the last `count` vertices of the current buffer; no batch may have been started
// since they were reserved.
void ReleaseVerts(int32_t count);
// Draws the open batch, then applies the render states that changed. Opens the profiler section
// "GraphicsFlush" while profiling is on.
void GraphicsFlush();
// The draw call of the open batch: `count` vertices of `kind` from the current buffer's batch
// start (any unknown kind is drawn as points); nothing below one primitive.
void DrawBatch(int32_t kind, int32_t count);
// The frame end: unlocks every buffer, stamps and empties those used in the frame, advances the
// frame counter and closes the current batch.
void ResetVertexBuffersForFrame();
// The bytes of one vertex of a D3DFVF_* layout: 12 for XYZ, 16 for XYZRHW, 12 for NORMAL, 4 for
// DIFFUSE, 8 for TEX1; other bits add nothing.
int32_t VertexStrideFromFVF(uint32_t format);
// Shutdown: releases and deletes every batch vertex buffer.
void FreeBatchVertexBuffers();
