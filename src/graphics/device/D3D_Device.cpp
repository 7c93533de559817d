#include "graphics/device/D3D_Device.h"

#include "graphics/device/D3D_GL.h"

namespace {
const D3D_Backend* g_backend = nullptr;
}

void D3D_SetBackend(const D3D_Backend* backend) { g_backend = backend; }

const D3D_Backend* D3D_GetBackend() { return g_backend != nullptr ? g_backend : GL_D3DBackend(); }

uint32_t D3D_FVFSize(uint32_t fvf) {
  constexpr uint32_t kKnown = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;
  if ((fvf & D3DFVF_XYZ) == 0 || (fvf & ~kKnown) != 0) return 0;
  return 12 + ((fvf & D3DFVF_NORMAL) ? 12 : 0) + ((fvf & D3DFVF_DIFFUSE) ? 4 : 0) + ((fvf & D3DFVF_TEX1) ? 8 : 0);
}

uint64_t D3D_PrimitiveVertices(uint32_t type, uint32_t count) {
  if (count == 0) return 0;
  const uint64_t n = count;
  switch (type) {
    case D3DPT_POINTLIST: return n;
    case D3DPT_LINELIST: return 2 * n;
    case D3DPT_LINESTRIP: return n + 1;
    case D3DPT_TRIANGLELIST: return 3 * n;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return n + 2;
    default: return 0;
  }
}
