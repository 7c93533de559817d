// The values and records of the graphics device layer. They keep the numbering of the device
// API that the graphics code was written against (formats, error codes, flags), so the drawing
// code, the recording fake and the logs all speak the same numbers. Only what the graphics code
// uses is defined here.
#pragma once

#include <cstdint>

using HRESULT = int32_t;

constexpr bool D3D_Failed(HRESULT hr) { return hr < 0; }

constexpr HRESULT D3D_OK = 0;
constexpr HRESULT D3DERR_NOTFOUND = static_cast<HRESULT>(0x88760866u);
constexpr HRESULT D3DERR_DEVICELOST = static_cast<HRESULT>(0x88760868u);
constexpr HRESULT D3DERR_DEVICENOTRESET = static_cast<HRESULT>(0x88760869u);
constexpr HRESULT D3DERR_NOTAVAILABLE = static_cast<HRESULT>(0x8876086Au);
constexpr HRESULT D3DERR_INVALIDCALL = static_cast<HRESULT>(0x8876086Cu);
constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = static_cast<HRESULT>(0x8876017Cu);

constexpr uint32_t D3D_SDK_VERSION = 32;

// Formats.
constexpr uint32_t D3DFMT_UNKNOWN = 0;
constexpr uint32_t D3DFMT_A8R8G8B8 = 21;
constexpr uint32_t D3DFMT_X8R8G8B8 = 22;
constexpr uint32_t D3DFMT_R5G6B5 = 23;
constexpr uint32_t D3DFMT_D24S8 = 75;
constexpr uint32_t D3DFMT_D16 = 80;

constexpr uint32_t D3DDEVTYPE_HAL = 1;
constexpr uint32_t D3DDEVTYPE_REF = 2;

constexpr uint32_t D3DPOOL_DEFAULT = 0;
constexpr uint32_t D3DPOOL_MANAGED = 1;

// Behaviour flags of device creation.
constexpr uint32_t D3DCREATE_FPU_PRESERVE = 0x02;
constexpr uint32_t D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
constexpr uint32_t D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40;

constexpr uint32_t D3DSWAPEFFECT_DISCARD = 1;
constexpr uint32_t D3DSWAPEFFECT_COPY = 3;

constexpr uint32_t D3DPRESENT_INTERVAL_DEFAULT = 0;
constexpr uint32_t D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000u;

constexpr uint32_t D3DCLEAR_TARGET = 1;
constexpr uint32_t D3DCLEAR_ZBUFFER = 2;
constexpr uint32_t D3DCLEAR_STENCIL = 4;

// Transform slots.
constexpr uint32_t D3DTS_VIEW = 2;
constexpr uint32_t D3DTS_PROJECTION = 3;
constexpr uint32_t D3DTS_WORLD = 256;

constexpr uint32_t D3DPRASTERCAPS_FOGTABLE = 0x100;

// Shader versions as the capabilities give them: major in bits 8..15, minor in bits 0..7.
constexpr uint32_t D3DVS_VERSION(uint32_t major, uint32_t minor) { return 0xFFFE0000u | (major << 8) | minor; }
constexpr uint32_t D3DPS_VERSION(uint32_t major, uint32_t minor) { return 0xFFFF0000u | (major << 8) | minor; }

struct D3DPRESENT_PARAMETERS {
  uint32_t BackBufferWidth = 0;
  uint32_t BackBufferHeight = 0;
  uint32_t BackBufferFormat = D3DFMT_UNKNOWN;
  uint32_t BackBufferCount = 0;
  uint32_t MultiSampleType = 0;  // 0 (none) or the sample count
  uint32_t MultiSampleQuality = 0;
  uint32_t SwapEffect = 0;
  void* hDeviceWindow = nullptr;
  int32_t Windowed = 0;
  int32_t EnableAutoDepthStencil = 0;
  uint32_t AutoDepthStencilFormat = D3DFMT_UNKNOWN;
  uint32_t Flags = 0;
  uint32_t FullScreen_RefreshRateInHz = 0;
  uint32_t PresentationInterval = 0;
};

// The capabilities the graphics code reads.
struct D3DCAPS9 {
  uint32_t DeviceType = 0;
  uint32_t AdapterOrdinal = 0;
  uint32_t RasterCaps = 0;
  uint32_t MaxTextureWidth = 0;
  uint32_t MaxTextureHeight = 0;
  uint32_t MasterAdapterOrdinal = 0;
  uint32_t AdapterOrdinalInGroup = 0;
  uint32_t NumberOfAdaptersInGroup = 0;
  uint32_t VertexShaderVersion = 0;
  uint32_t PixelShaderVersion = 0;
  uint32_t NumSimultaneousRTs = 0;
};

struct D3DADAPTER_IDENTIFIER9 {
  char Driver[512] = {};
  char Description[512] = {};
  char DeviceName[32] = {};
};

struct D3DDISPLAYMODE {
  uint32_t Width = 0;
  uint32_t Height = 0;
  uint32_t RefreshRate = 0;
  uint32_t Format = D3DFMT_UNKNOWN;
};

struct D3DVIEWPORT9 {
  uint32_t X = 0;
  uint32_t Y = 0;
  uint32_t Width = 0;
  uint32_t Height = 0;
  float MinZ = 0.0f;
  float MaxZ = 1.0f;
};

struct D3DRECT {
  int32_t x1, y1, x2, y2;
};

// A 4 x 4 float matrix, row-major, row vectors (the layout of platform/Maths.h's Matrix).
struct D3DMATRIX {
  float m[16];
};
