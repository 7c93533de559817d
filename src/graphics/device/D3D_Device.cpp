#include "graphics/device/D3D_Device.h"

#include "graphics/device/D3D_GL.h"

namespace {
const D3D_Backend* g_backend = nullptr;
}

void D3D_SetBackend(const D3D_Backend* backend) { g_backend = backend; }

const D3D_Backend* D3D_GetBackend() { return g_backend != nullptr ? g_backend : GL_D3DBackend(); }
