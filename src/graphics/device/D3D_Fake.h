// The recording fake of the device layer. Every call on the device object, the device and its
// surfaces appends one line with its arguments to the script's log, and answers what the test
// scripted: a failure code for the next calls of an operation, the adapters with their
// descriptions and capabilities, the desktop mode, the multisample counts supported, and
// whether the desktop window manager's library "loads" (which selects the extended object).
//
// Log lines (numbers in decimal unless shown in hex):
//   "Direct3DCreate9 32", "Direct3DCreate9Ex 32"
//   "CreateDevice <adapter> <type> 0x<behaviour> <params>", "Reset <params>"
//     where <params> is "<w>x<h> fmt=<f> ms=<samples> swap=<effect> windowed=<0|1> ds=<f>
//     interval=0x<interval>"
//   "CheckDeviceMultiSampleType <adapter> <format> <samples>", "GetAdapterDisplayMode <adapter>"
//   "TestCooperativeLevel", "BeginScene", "EndScene", "Present"
//   "Clear <count> 0x<flags> 0x<colour> <z> <stencil>", "SetViewport <x> <y> <w> <h> <minz> <maxz>"
//   "SetTransform <slot>", "GetRenderTarget <i>", "SetRenderTarget <i> <surface name|null>",
//   "GetDepthStencilSurface", "SetDepthStencilSurface <surface name|null>", "Release device <n>"
//   "SetRenderState <state> <value>", "SetSamplerState <sampler> <type> <value>",
//   "SetTextureStageState <stage> <type> <value>", "SetLight <index> <type>",
//   "LightEnable <index> <enable>", "SetMaterial",
//   "CreateTexture <w> <h> <levels> 0x<usage> <format> <pool>" (textures are named "tex1", "tex2"
//   ... in creation order), "LockRect <name>", "UnlockRect <name>" (textures and surfaces),
//   "SetTexture <stage> <name|null>", "GetSurfaceLevel <texture> <level>" (the surface is named
//   "<texture>.0"), "PreLoad <texture>", "SetPriority <texture> <value>",
//   "UpdateTexture <source> <destination>", "CreateRenderTarget <w> <h> <format> <samples>
//   <lockable>" (named "rt1", "rt2" ...), "CreateDepthStencilSurface <w> <h> <format> <samples>"
//   (named "ds1", "ds2" ...), "GetBackBuffer",
//   "StretchRect <source> <x1>,<y1>,<x2>,<y2> <destination> <x1>,<y1>,<x2>,<y2> <filter>"
//   (StretchRect copies the nearest source pixel),
//   "CreateVertexBuffer <length> 0x<usage> 0x<fvf> <pool>" (named "vb1", "vb2" ...),
//   "Lock <name> <offset> <size> 0x<flags>", "Unlock <name>",
//   "SetStreamSource <stream> <name|null> <offset> <stride>", "SetFVF 0x<fvf>",
//   "DrawPrimitive <type> <start> <count>"
// Queries that only read (adapter count, identifiers, capabilities) are not logged.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "graphics/device/D3D_Device.h"

struct FakeAdapter {
  std::string description = "Fake Display Adapter";
  std::string deviceName = "display0";
  D3DCAPS9 caps = DefaultCaps();

  static D3DCAPS9 DefaultCaps();
};

struct FakeD3DScript {
  std::vector<std::string> log;
  bool windowManager = false;  // the extended device object is made
  bool createFails = false;    // the device object cannot be made
  std::vector<FakeAdapter> adapters{FakeAdapter{}};
  D3DDISPLAYMODE desktop{1024, 768, 60, D3DFMT_X8R8G8B8};
  uint32_t maxSamples = 16;  // sample counts 2, 4, ... up to this are supported
  int textures = 0;          // textures made so far (for their names)
  int renderTargets = 0;     // render-target surfaces made so far
  int depthSurfaces = 0;     // depth-stencil surfaces made so far
  int vertexBuffers = 0;     // vertex buffers made so far
  // Results for the next calls of an operation (by its log name), used up in order; calls
  // beyond them succeed.
  std::map<std::string, std::deque<HRESULT>> results;

  void Fail(const std::string& op, HRESULT result, int times = 1);
  // The log lines that start with `prefix`.
  std::vector<std::string> Lines(const std::string& prefix) const;
  int Count(const std::string& prefix) const { return static_cast<int>(Lines(prefix).size()); }
};

// The one script every fake object answers from.
FakeD3DScript& FakeD3D();
// A fresh script (default adapter, empty log). Objects made before stay valid.
void FakeD3D_Reset();
const D3D_Backend* FakeD3D_Backend();

// A surface of the fake with a name for the log and a reference count of 1 (tests stand it in
// for a render-target texture's surface).
IDirect3DSurface9* FakeD3D_NewSurface(const char* name, uint32_t width, uint32_t height);
// The reference count of a surface made by the fake (the device's back buffer is "backbuffer",
// its depth-stencil surface "depth").
uint32_t FakeD3D_SurfaceRefs(IDirect3DSurface9* surface);
// The pixels of a surface or texture made by the fake, rows from the top without gaps (4 bytes
// a pixel, 2 for D3DFMT_A4R4G4B4); a texture shares them with the surface of its level.
uint8_t* FakeD3D_SurfaceBytes(IDirect3DSurface9* surface);
uint8_t* FakeD3D_TextureBytes(IDirect3DTexture9* texture);
