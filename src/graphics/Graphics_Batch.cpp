#include "graphics/Graphics_Batch.h"

#include "base/ErrorSink.h"
#include "debug/Debug_State.h"
#include "debug/Profiler.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_RenderState.h"
#include "platform/MemoryManager.h"

VertexBatch g_VertexBatch;

namespace {

constexpr uint32_t kFormatColour = D3DFVF_XYZ | D3DFVF_DIFFUSE;                 // 0x42
constexpr uint32_t kFormatTextured = kFormatColour | D3DFVF_TEX1;               // 0x142
constexpr uint32_t kFormat3D = kFormatTextured | D3DFVF_NORMAL;                 // 0x152

uint32_t FormatOfSize(int32_t size) {
  switch (size) {
    case kVertexSizeColour:
      return kFormatColour;
    case kVertexSizeTextured:
      return kFormatTextured;
    case kVertexSize3D:
      return kFormat3D;
    default:
      return static_cast<uint32_t>(size);
  }
}

void Unlock(BatchVertexBuffer* b) {
  if ((b->flags & kBatchBufferLocked) == 0) return;
  b->buffer->Unlock();
  b->flags &= ~kBatchBufferLocked;
  b->locked = nullptr;
}

// Locks the rest of the buffer from its first free vertex: discarding at the start of a dynamic
// buffer, without overwriting later in the frame.
bool Lock(BatchVertexBuffer* b) {
  if (b->flags & kBatchBufferLocked) return true;
  b->batchStart = b->nextFree;
  const bool dynamic = (b->flags & kBatchBufferDynamic) != 0;
  uint32_t flags = 0;
  if ((b->flags & kBatchBufferUsed) == 0) {
    b->flags |= kBatchBufferUsed;
    if (dynamic) flags = D3DLOCK_DISCARD;
  } else if (dynamic) {
    flags = b->batchStart > 0 ? D3DLOCK_NOOVERWRITE : D3DLOCK_DISCARD;
  }
  const uint32_t offset = static_cast<uint32_t>(b->batchStart) * static_cast<uint32_t>(b->stride);
  const uint32_t length = static_cast<uint32_t>(b->capacity - b->batchStart) * static_cast<uint32_t>(b->stride);
  void* data = nullptr;
  if (D3D_Failed(b->buffer->Lock(offset, length, &data, flags)) || data == nullptr) return false;
  b->locked = static_cast<uint8_t*>(data);
  b->flags |= kBatchBufferLocked;
  return true;
}

BatchVertexBuffer* CreateBatchVertexBuffer(int32_t count, uint32_t format) {
  VertexBatch& vb = g_VertexBatch;
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (count < vb.minBufferSize) count = vb.minBufferSize;
  const int32_t stride = VertexStrideFromFVF(format);
  const uint64_t bytes = static_cast<uint64_t>(count) * static_cast<uint64_t>(stride);
  IDirect3DVertexBuffer9* buffer = nullptr;
  uint32_t flags = 0;
  if (device != nullptr && stride > 0 && bytes <= kD3DMaxVertexBufferBytes) {
    const uint32_t length = static_cast<uint32_t>(bytes);
    if (!D3D_Failed(device->CreateVertexBuffer(length, D3DUSAGE_DYNAMIC, format, D3DPOOL_SYSTEMMEM, &buffer)) &&
        buffer != nullptr) {
      flags = kBatchBufferDynamic;
    } else if (D3D_Failed(device->CreateVertexBuffer(length, D3DUSAGE_WRITEONLY, format, D3DPOOL_DEFAULT, &buffer))) {
      buffer = nullptr;
    }
  }
  if (buffer == nullptr) {
    FatalError("Fatal Error: Can not create vertex buffer of size %d bytes\n%d vertex buffers allocated with total "
               "size of %d KB\n",
               static_cast<int32_t>(bytes), vb.buffersCreated, static_cast<int32_t>(vb.bufferBytes / 1024));
    return nullptr;  // errors are suppressed: the caller writes into the spill block
  }
  auto* b = static_cast<BatchVertexBuffer*>(MemoryManager::Alloc(sizeof(BatchVertexBuffer), __FILE__, __LINE__));
  *b = BatchVertexBuffer{};
  b->flags = flags;
  b->buffer = buffer;
  b->format = format;
  b->stride = stride;
  b->capacity = count;
  b->lastUsedFrame = vb.frameCounter - 7;  // free at once
  b->previous = vb.last;
  if (vb.last != nullptr) vb.last->next = b;
  else vb.first = b;
  vb.last = b;
  ++vb.buffersCreated;
  vb.bufferBytes += bytes;
  return b;
}

BatchVertexBuffer* FindFreeVertexBuffer(int32_t count, uint32_t format) {
  const VertexBatch& vb = g_VertexBatch;
  for (BatchVertexBuffer* b = vb.first; b != nullptr; b = b->next) {
    if (b->format == format && b->capacity - b->nextFree >= count && b->lastUsedFrame + 4 < vb.frameCounter) return b;
  }
  return CreateBatchVertexBuffer(count, format);
}

void* Spill(int64_t bytes) {
  VertexBatch& vb = g_VertexBatch;
  if (bytes < 1) bytes = 1;
  if (static_cast<uint64_t>(bytes) > vb.spillBytes) {
    MemoryManager::Free(vb.spill);
    vb.spill = static_cast<uint8_t*>(MemoryManager::Alloc(static_cast<uint32_t>(bytes), __FILE__, __LINE__));
    vb.spillBytes = static_cast<uint64_t>(bytes);
  }
  return vb.spill;
}

}  // namespace

int32_t VertexStrideFromFVF(uint32_t format) {
  int32_t stride = 0;
  if (format & D3DFVF_XYZ) stride += 12;
  if (format & D3DFVF_XYZRHW) stride += 16;
  if (format & D3DFVF_NORMAL) stride += 12;
  if (format & D3DFVF_DIFFUSE) stride += 4;
  if (format & D3DFVF_TEX1) stride += 8;
  return stride;
}

void* AllocVerts(int32_t kind, HardwareTexture* texture, int32_t vertexSize, int32_t count) {
  VertexBatch& vb = g_VertexBatch;
  if (count < 0) count = 0;
  BatchVertexBuffer* b = vb.current;
  if (b != nullptr && kind == vb.kind && texture == vb.texture && vertexSize == vb.stride &&
      kind != D3DPT_LINESTRIP && kind != D3DPT_TRIANGLESTRIP && kind != D3DPT_TRIANGLEFAN &&
      count <= b->capacity - b->nextFree && g_RenderStateCache.renderDirty == 0 &&
      g_RenderStateCache.samplerDirty == 0) {
    uint8_t* at = vb.base + static_cast<ptrdiff_t>(b->nextFree - b->batchStart) * vb.stride;
    b->nextFree += count;
    return at;
  }
  GraphicsFlush();
  const uint32_t format = FormatOfSize(vertexSize);
  const int32_t stride = VertexStrideFromFVF(format);
  b = FindFreeVertexBuffer(count, format);
  if (b == nullptr || !Lock(b)) {
    vb.current = nullptr;
    return Spill(static_cast<int64_t>(count) * (stride > 0 ? stride : 1));
  }
  vb.kind = kind;
  vb.texture = texture;
  vb.stride = stride;
  vb.current = b;
  vb.base = b->locked;
  uint8_t* at = vb.base + static_cast<ptrdiff_t>(b->nextFree - b->batchStart) * stride;
  b->nextFree += count;
  return at;
}

void ReleaseVerts(int32_t count) {
  BatchVertexBuffer* b = g_VertexBatch.current;
  if (b == nullptr || count <= 0) return;
  b->nextFree = count > b->nextFree - b->batchStart ? b->batchStart : b->nextFree - count;
}

void GraphicsFlush() {
  ProfilerScope scope(kProfileGraphicsFlush);
  VertexBatch& vb = g_VertexBatch;
  if (vb.kind >= 0) {
    SetTextureStage(vb.baseTextureStage, vb.texture);
    if (vb.current != nullptr) {
      DrawBatch(vb.kind, vb.current->nextFree - vb.current->batchStart);
      // A batch too short to draw anything still ends here: the next one starts after it.
      Unlock(vb.current);
      if (g_GraphicsDevice.singleUseBuffers) vb.current->nextFree = vb.current->capacity;
    }
    vb.kind = -1;
    vb.texture = nullptr;
    vb.stride = 0;
  }
  RenderStateCache::Flush();
}

void DrawBatch(int32_t kind, int32_t count) {
  BatchVertexBuffer* b = g_VertexBatch.current;
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (b == nullptr || device == nullptr) return;
  int32_t primitives;
  switch (kind) {
    case D3DPT_LINELIST:
      primitives = count / 2;
      break;
    case D3DPT_LINESTRIP:
      primitives = count - 1;
      break;
    case D3DPT_TRIANGLELIST:
      primitives = count / 3;
      break;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      primitives = count - 2;
      break;
    default:
      kind = D3DPT_POINTLIST;
      primitives = count;
      break;
  }
  if (primitives < 1) return;
  Unlock(b);
  device->SetFVF(b->format);
  device->SetStreamSource(0, b->buffer, static_cast<uint32_t>(b->batchStart) * static_cast<uint32_t>(b->stride),
                          static_cast<uint32_t>(b->stride));
  device->DrawPrimitive(static_cast<uint32_t>(kind), 0, static_cast<uint32_t>(primitives));
  ++g_Debug.overlay.drawCalls;
}

void ResetVertexBuffersForFrame() {
  VertexBatch& vb = g_VertexBatch;
  for (BatchVertexBuffer* b = vb.first; b != nullptr; b = b->next) {
    Unlock(b);
    if (b->flags & kBatchBufferUsed) {
      b->nextFree = 0;
      b->lastUsedFrame = vb.frameCounter;
      b->flags &= ~kBatchBufferUsed;
    }
  }
  ++vb.frameCounter;
  vb.current = nullptr;
  vb.kind = -1;
  if (g_GraphicsDevice.singleUseBuffers) vb.minBufferSize = 4096;
}

void FreeBatchVertexBuffers() {
  VertexBatch& vb = g_VertexBatch;
  BatchVertexBuffer* b = vb.first;
  while (b != nullptr) {
    BatchVertexBuffer* next = b->next;
    Unlock(b);
    b->buffer->Release();
    MemoryManager::Free(b);
    b = next;
  }
  vb.first = vb.last = vb.current = nullptr;
  vb.kind = -1;
  vb.texture = nullptr;
  vb.stride = 0;
  vb.base = nullptr;
  vb.buffersCreated = 0;
  vb.bufferBytes = 0;
  MemoryManager::Free(vb.spill);
  vb.spill = nullptr;
  vb.spillBytes = 0;
}
