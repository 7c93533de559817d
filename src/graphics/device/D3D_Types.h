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
constexpr uint32_t D3DFMT_A4R4G4B4 = 26;  // 16-bit words, nibbles A, R, G, B from the highest
constexpr uint32_t D3DFMT_D32 = 71;
constexpr uint32_t D3DFMT_D24S8 = 75;
constexpr uint32_t D3DFMT_D16 = 80;
constexpr uint32_t D3DFMT_R16F = 111;
constexpr uint32_t D3DFMT_R32F = 114;
// Block-compressed formats, named by their four characters.
constexpr uint32_t D3DFourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) | static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}
constexpr uint32_t D3DFMT_DXT1 = D3DFourCC('D', 'X', 'T', '1');
constexpr uint32_t D3DFMT_DXT2 = D3DFourCC('D', 'X', 'T', '2');
constexpr uint32_t D3DFMT_DXT3 = D3DFourCC('D', 'X', 'T', '3');
constexpr uint32_t D3DFMT_DXT4 = D3DFourCC('D', 'X', 'T', '4');
constexpr uint32_t D3DFMT_DXT5 = D3DFourCC('D', 'X', 'T', '5');

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

constexpr uint32_t D3DPRASTERCAPS_FOGVERTEX = 0x80;
constexpr uint32_t D3DPRASTERCAPS_FOGTABLE = 0x100;

// Render states (SetRenderState).
constexpr uint32_t D3DRS_ZENABLE = 7;
constexpr uint32_t D3DRS_FILLMODE = 8;
constexpr uint32_t D3DRS_SHADEMODE = 9;
constexpr uint32_t D3DRS_ZWRITEENABLE = 14;
constexpr uint32_t D3DRS_ALPHATESTENABLE = 15;
constexpr uint32_t D3DRS_SRCBLEND = 19;
constexpr uint32_t D3DRS_DESTBLEND = 20;
constexpr uint32_t D3DRS_CULLMODE = 22;
constexpr uint32_t D3DRS_ZFUNC = 23;
constexpr uint32_t D3DRS_ALPHAREF = 24;
constexpr uint32_t D3DRS_ALPHAFUNC = 25;
constexpr uint32_t D3DRS_ALPHABLENDENABLE = 27;
constexpr uint32_t D3DRS_FOGENABLE = 28;
constexpr uint32_t D3DRS_FOGCOLOR = 34;
constexpr uint32_t D3DRS_FOGTABLEMODE = 35;
constexpr uint32_t D3DRS_FOGSTART = 36;  // float bits
constexpr uint32_t D3DRS_FOGEND = 37;    // float bits
constexpr uint32_t D3DRS_RANGEFOGENABLE = 48;
constexpr uint32_t D3DRS_STENCILENABLE = 52;
constexpr uint32_t D3DRS_STENCILFAIL = 53;
constexpr uint32_t D3DRS_STENCILZFAIL = 54;
constexpr uint32_t D3DRS_STENCILPASS = 55;
constexpr uint32_t D3DRS_STENCILFUNC = 56;
constexpr uint32_t D3DRS_STENCILREF = 57;
constexpr uint32_t D3DRS_STENCILMASK = 58;
constexpr uint32_t D3DRS_STENCILWRITEMASK = 59;
constexpr uint32_t D3DRS_LIGHTING = 137;
constexpr uint32_t D3DRS_AMBIENT = 139;  // 0xAARRGGBB
constexpr uint32_t D3DRS_FOGVERTEXMODE = 140;
constexpr uint32_t D3DRS_COLORWRITEENABLE = 168;  // bit 0 red, 1 green, 2 blue, 3 alpha
constexpr uint32_t D3DRS_LAST = 209;              // the highest render-state number

// Values of FILLMODE, SHADEMODE, CULLMODE and the fog modes.
constexpr uint32_t D3DFILL_POINT = 1;
constexpr uint32_t D3DFILL_WIREFRAME = 2;
constexpr uint32_t D3DFILL_SOLID = 3;
constexpr uint32_t D3DSHADE_FLAT = 1;
constexpr uint32_t D3DSHADE_GOURAUD = 2;
constexpr uint32_t D3DCULL_NONE = 1;
constexpr uint32_t D3DCULL_CW = 2;
constexpr uint32_t D3DCULL_CCW = 3;
constexpr uint32_t D3DFOG_NONE = 0;
constexpr uint32_t D3DFOG_LINEAR = 3;

// Blend factors (SRCBLEND, DESTBLEND).
constexpr uint32_t D3DBLEND_ZERO = 1;
constexpr uint32_t D3DBLEND_ONE = 2;
constexpr uint32_t D3DBLEND_SRCCOLOR = 3;
constexpr uint32_t D3DBLEND_INVSRCCOLOR = 4;
constexpr uint32_t D3DBLEND_SRCALPHA = 5;
constexpr uint32_t D3DBLEND_INVSRCALPHA = 6;
constexpr uint32_t D3DBLEND_DESTALPHA = 7;
constexpr uint32_t D3DBLEND_INVDESTALPHA = 8;
constexpr uint32_t D3DBLEND_DESTCOLOR = 9;
constexpr uint32_t D3DBLEND_INVDESTCOLOR = 10;
constexpr uint32_t D3DBLEND_SRCALPHASAT = 11;
constexpr uint32_t D3DBLEND_BOTHSRCALPHA = 12;     // source: source alpha, destination: its inverse
constexpr uint32_t D3DBLEND_BOTHINVSRCALPHA = 13;  // source: inverse source alpha, destination: source alpha
constexpr uint32_t D3DBLEND_BLENDFACTOR = 14;
constexpr uint32_t D3DBLEND_INVBLENDFACTOR = 15;
constexpr uint32_t D3DBLEND_SRCCOLOR2 = 16;
constexpr uint32_t D3DBLEND_INVSRCCOLOR2 = 17;

// Comparisons (ZFUNC, ALPHAFUNC, STENCILFUNC).
constexpr uint32_t D3DCMP_NEVER = 1;
constexpr uint32_t D3DCMP_LESS = 2;
constexpr uint32_t D3DCMP_EQUAL = 3;
constexpr uint32_t D3DCMP_LESSEQUAL = 4;
constexpr uint32_t D3DCMP_GREATER = 5;
constexpr uint32_t D3DCMP_NOTEQUAL = 6;
constexpr uint32_t D3DCMP_GREATEREQUAL = 7;
constexpr uint32_t D3DCMP_ALWAYS = 8;

// Stencil operations.
constexpr uint32_t D3DSTENCILOP_KEEP = 1;
constexpr uint32_t D3DSTENCILOP_ZERO = 2;
constexpr uint32_t D3DSTENCILOP_REPLACE = 3;
constexpr uint32_t D3DSTENCILOP_INCRSAT = 4;
constexpr uint32_t D3DSTENCILOP_DECRSAT = 5;
constexpr uint32_t D3DSTENCILOP_INVERT = 6;
constexpr uint32_t D3DSTENCILOP_INCR = 7;  // wraps
constexpr uint32_t D3DSTENCILOP_DECR = 8;  // wraps

// Sampler states (SetSamplerState) and their values.
constexpr uint32_t D3DSAMP_ADDRESSU = 1;
constexpr uint32_t D3DSAMP_ADDRESSV = 2;
constexpr uint32_t D3DSAMP_ADDRESSW = 3;
constexpr uint32_t D3DSAMP_MAGFILTER = 5;
constexpr uint32_t D3DSAMP_MINFILTER = 6;
constexpr uint32_t D3DSAMP_MIPFILTER = 7;
constexpr uint32_t D3DSAMP_LAST = 13;
constexpr uint32_t D3DTEXF_NONE = 0;
constexpr uint32_t D3DTEXF_POINT = 1;
constexpr uint32_t D3DTEXF_LINEAR = 2;
constexpr uint32_t D3DTADDRESS_WRAP = 1;
constexpr uint32_t D3DTADDRESS_CLAMP = 3;

// Texture-stage states (SetTextureStageState), operations and arguments.
constexpr uint32_t D3DTSS_COLOROP = 1;
constexpr uint32_t D3DTSS_COLORARG1 = 2;
constexpr uint32_t D3DTSS_COLORARG2 = 3;
constexpr uint32_t D3DTSS_ALPHAOP = 4;
constexpr uint32_t D3DTSS_ALPHAARG1 = 5;
constexpr uint32_t D3DTSS_ALPHAARG2 = 6;
constexpr uint32_t D3DTSS_LAST = 32;
constexpr uint32_t D3DTOP_DISABLE = 1;
constexpr uint32_t D3DTOP_SELECTARG1 = 2;
constexpr uint32_t D3DTOP_SELECTARG2 = 3;
constexpr uint32_t D3DTOP_MODULATE = 4;
constexpr uint32_t D3DTA_DIFFUSE = 0;
constexpr uint32_t D3DTA_CURRENT = 1;
constexpr uint32_t D3DTA_TEXTURE = 2;

// Texture stages that SetTexture takes: 0..8.
constexpr uint32_t kD3DTextureStages = 9;

// Vertex formats (FVF bits).
constexpr uint32_t D3DFVF_XYZ = 0x2;
constexpr uint32_t D3DFVF_XYZRHW = 0x4;
constexpr uint32_t D3DFVF_NORMAL = 0x10;
constexpr uint32_t D3DFVF_DIFFUSE = 0x40;
constexpr uint32_t D3DFVF_TEX1 = 0x100;

constexpr uint32_t D3DUSAGE_RENDERTARGET = 0x1;
constexpr uint32_t D3DUSAGE_WRITEONLY = 0x8;
constexpr uint32_t D3DUSAGE_DYNAMIC = 0x200;
constexpr uint32_t D3DPOOL_SYSTEMMEM = 2;

constexpr uint32_t D3DLOCK_READONLY = 0x10;
constexpr uint32_t D3DLOCK_NOOVERWRITE = 0x1000;
constexpr uint32_t D3DLOCK_DISCARD = 0x2000;
constexpr uint32_t D3DLOCK_NO_DIRTY_UPDATE = 0x8000;

constexpr uint32_t D3DBACKBUFFER_TYPE_MONO = 0;

// Primitive kinds of DrawPrimitive.
constexpr uint32_t D3DPT_POINTLIST = 1;
constexpr uint32_t D3DPT_LINELIST = 2;
constexpr uint32_t D3DPT_LINESTRIP = 3;
constexpr uint32_t D3DPT_TRIANGLELIST = 4;
constexpr uint32_t D3DPT_TRIANGLESTRIP = 5;
constexpr uint32_t D3DPT_TRIANGLEFAN = 6;

// Light kinds.
constexpr uint32_t D3DLIGHT_POINT = 1;
constexpr uint32_t D3DLIGHT_SPOT = 2;
constexpr uint32_t D3DLIGHT_DIRECTIONAL = 3;
constexpr uint32_t kD3DLights = 8;  // light indices 0..7

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

struct D3DCOLORVALUE {
  float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
};

struct D3DVECTOR {
  float x = 0.0f, y = 0.0f, z = 0.0f;
};

// A light in world space. Attenuation at distance d: 1 / (Attenuation0 + Attenuation1 d +
// Attenuation2 d^2); nothing beyond Range. Directional lights ignore position, range and
// attenuation.
struct D3DLIGHT9 {
  uint32_t Type = D3DLIGHT_POINT;
  D3DCOLORVALUE Diffuse;
  D3DCOLORVALUE Specular;
  D3DCOLORVALUE Ambient;
  D3DVECTOR Position;
  D3DVECTOR Direction;
  float Range = 0.0f;
  float Falloff = 0.0f;
  float Attenuation0 = 0.0f;
  float Attenuation1 = 0.0f;
  float Attenuation2 = 0.0f;
  float Theta = 0.0f;
  float Phi = 0.0f;
};

struct D3DMATERIAL9 {
  D3DCOLORVALUE Diffuse;
  D3DCOLORVALUE Ambient;
  D3DCOLORVALUE Specular;
  D3DCOLORVALUE Emissive;
  float Power = 0.0f;
};

// A locked texture level: the address of the first pixel of the locked rectangle and the
// bytes from one row to the next.
struct D3DLOCKED_RECT {
  int32_t Pitch = 0;
  void* pBits = nullptr;
};
