// The graphics device layer: the one interface through which the graphics code reaches the
// display. It is shaped after the device API the drawing code was written for: a device object
// that lists adapters and makes the device, the device with its frames, clears, viewport,
// transforms, render targets, render, sampler and texture-stage states, lights, textures,
// vertex buffers and draws, copies between surfaces, and reference-counted surfaces, textures
// and vertex buffers. Results are HRESULT codes
// (D3D_Types.h); every failure reaches the caller as a code and is never thrown.
//
// Two back ends implement it: OpenGL 3.3 core (D3D_GL.h), which renders into framebuffer
// objects of its own, and a recording fake (D3D_Fake.h) for tests. The back end is chosen with
// D3D_SetBackend before the graphics start-up; OpenGL is the default.
//
// Everything here is used from the main thread only.
#pragma once

#include <cstdint>

#include "graphics/device/D3D_Types.h"

struct SDL_Window;

// A reference-counted interface: AddRef and Release answer the new count; the object deletes
// itself when the count reaches 0.
class ID3DRefCounted {
 public:
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  virtual ~ID3DRefCounted() = default;
};

// The reference count of an implementation of one of the interfaces below: starts at 1, and the
// object deletes itself when Release brings it to 0.
template <typename Interface>
class D3DRefCountedImpl : public Interface {
 public:
  uint32_t AddRef() override { return ++m_refs; }
  uint32_t Release() override {
    const uint32_t refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
  }
  uint32_t Refs() const { return m_refs; }

 private:
  uint32_t m_refs = 1;
};

// A colour or depth-stencil surface (a back buffer, a render target or a texture level).
class IDirect3DSurface9 : public ID3DRefCounted {
 public:
  virtual uint32_t Width() const = 0;
  virtual uint32_t Height() const = 0;
  virtual uint32_t Format() const = 0;
  // Lockable render targets only (CreateRenderTarget with `lockable`): hands out a copy of the
  // pixels as they are now (rect as for textures), 0xAARRGGBB words; changes made to the copy
  // are not written back. D3DERR_INVALIDCALL for another surface, a rectangle outside it or a
  // surface already locked.
  virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const D3DRECT* rect, uint32_t flags) = 0;
  virtual HRESULT UnlockRect() = 0;
};

// A texture of one level in D3DFMT_A8R8G8B8 or D3DFMT_X8R8G8B8 (0xAARRGGBB words) or
// D3DFMT_A4R4G4B4 (16-bit words).
class IDirect3DTexture9 : public ID3DRefCounted {
 public:
  virtual uint32_t Width() const = 0;
  virtual uint32_t Height() const = 0;
  virtual uint32_t Format() const = 0;
  // Hands out level 0's pixels (rect: null for all of it, else x1, y1 inclusive to x2, y2
  // exclusive inside the texture), with what the device drew into the texture since; they reach
  // the texture at UnlockRect. D3DERR_INVALIDCALL for another level, a rectangle outside the
  // texture or a texture already locked.
  virtual HRESULT LockRect(uint32_t level, D3DLOCKED_RECT* locked, const D3DRECT* rect, uint32_t flags) = 0;
  virtual HRESULT UnlockRect(uint32_t level) = 0;
  // A new reference to the surface of level 0, which the device can render into and copy to and
  // from; D3DERR_INVALIDCALL for another level or a texture in the system-memory pool.
  virtual HRESULT GetSurfaceLevel(uint32_t level, IDirect3DSurface9** surface) = 0;
  // Makes the texture resident; nothing to do on these devices.
  virtual void PreLoad() = 0;
  // Stores the priority and answers the one before (0 at creation).
  virtual uint32_t SetPriority(uint32_t priority) = 0;
};

// Vertex memory for draws.
class IDirect3DVertexBuffer9 : public ID3DRefCounted {
 public:
  virtual uint32_t Length() const = 0;  // bytes
  // Hands out `size` bytes from `offset` (size 0: to the end); they reach the buffer at Unlock.
  // D3DLOCK_DISCARD gives up the rest of the buffer's contents. D3DERR_INVALIDCALL for a range
  // outside the buffer or a buffer already locked.
  virtual HRESULT Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) = 0;
  virtual HRESULT Unlock() = 0;
};

class IDirect3DDevice9 : public ID3DRefCounted {
 public:
  // D3D_OK while the device can draw; D3DERR_DEVICELOST or D3DERR_DEVICENOTRESET otherwise.
  virtual HRESULT TestCooperativeLevel() = 0;
  // Remakes the back buffer and the depth-stencil buffer from the parameters (size, samples,
  // depth format, presentation interval). Render targets and the viewport go back to the
  // back buffer's.
  virtual HRESULT Reset(D3DPRESENT_PARAMETERS* params) = 0;
  virtual HRESULT GetDeviceCaps(D3DCAPS9* caps) = 0;

  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  // Shows the whole back buffer in the window.
  virtual HRESULT Present() = 0;
  // Clears the current viewport (rects: 0 and null for all of it) of the current targets;
  // flags D3DCLEAR_*, colour 0xAARRGGBB.
  virtual HRESULT Clear(uint32_t count, const D3DRECT* rects, uint32_t flags, uint32_t colour, float z,
                        uint32_t stencil) = 0;

  virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
  virtual HRESULT GetViewport(D3DVIEWPORT9* viewport) = 0;
  // slot: D3DTS_VIEW, D3DTS_PROJECTION or D3DTS_WORLD.
  virtual HRESULT SetTransform(uint32_t slot, const D3DMATRIX* matrix) = 0;

  // Render targets: GetRenderTarget and GetDepthStencilSurface hand out a reference the caller
  // releases. Target 0 can never be null; targets 1..3 and the depth-stencil surface can.
  virtual HRESULT GetRenderTarget(uint32_t index, IDirect3DSurface9** surface) = 0;
  virtual HRESULT SetRenderTarget(uint32_t index, IDirect3DSurface9* surface) = 0;
  virtual HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) = 0;
  virtual HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) = 0;

  // States with the device API's numbers and values (D3D_Types.h); they take effect at the next
  // draw. D3DERR_INVALIDCALL for a state number beyond the last, a sampler or stage above 8.
  virtual HRESULT SetRenderState(uint32_t state, uint32_t value) = 0;
  virtual HRESULT SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value) = 0;
  virtual HRESULT SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) = 0;
  // Lights 0..7 in world space, and the material of lit drawing.
  virtual HRESULT SetLight(uint32_t index, const D3DLIGHT9* light) = 0;
  virtual HRESULT LightEnable(uint32_t index, int32_t enable) = 0;
  virtual HRESULT SetMaterial(const D3DMATERIAL9* material) = 0;

  // A texture of width x height (each 1 .. the capabilities' maximum) in D3DFMT_A8R8G8B8,
  // D3DFMT_X8R8G8B8 or D3DFMT_A4R4G4B4 (not with D3DUSAGE_RENDERTARGET), one level whatever
  // `levels` says, cleared to 0. A texture in D3DPOOL_SYSTEMMEM holds only its pixels: it can
  // be locked and be the source of UpdateTexture, nothing else.
  virtual HRESULT CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, uint32_t format,
                                uint32_t pool, IDirect3DTexture9** texture) = 0;
  // Copies the whole of a system-memory texture into a texture of the same size and format in
  // another pool.
  virtual HRESULT UpdateTexture(IDirect3DTexture9* source, IDirect3DTexture9* destination) = 0;
  // A colour surface to render into, D3DFMT_A8R8G8B8 or D3DFMT_X8R8G8B8, with `samples` samples
  // (0: not multisampled; otherwise a count CheckDeviceMultiSampleType accepts); `lockable` lets
  // LockRect read it (not with samples). Cleared to 0.
  virtual HRESULT CreateRenderTarget(uint32_t width, uint32_t height, uint32_t format, uint32_t samples,
                                     uint32_t quality, int32_t lockable, IDirect3DSurface9** surface) = 0;
  // A depth-stencil surface (D3DFMT_D24S8 or D3DFMT_D16) with `samples` samples.
  virtual HRESULT CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format, uint32_t samples,
                                            uint32_t quality, int32_t discard, IDirect3DSurface9** surface) = 0;
  // A new reference to the back buffer (swap chain 0, buffer 0, D3DBACKBUFFER_TYPE_MONO).
  virtual HRESULT GetBackBuffer(uint32_t swapChain, uint32_t index, uint32_t type, IDirect3DSurface9** surface) = 0;
  // Copies a rectangle (null: the whole surface) of one colour surface into a rectangle of
  // another, scaled with D3DTEXF_LINEAR or D3DTEXF_POINT; rectangles of the same size copy
  // exactly, and a multisampled source is resolved. D3DERR_INVALIDCALL for an empty rectangle
  // or one outside its surface, a depth-stencil surface, a multisampled destination, a
  // multisampled source copied at another size, or the same surface on both sides.
  virtual HRESULT StretchRect(IDirect3DSurface9* source, const D3DRECT* sourceRect, IDirect3DSurface9* destination,
                              const D3DRECT* destinationRect, uint32_t filter) = 0;
  // Binds a texture (null: none) to stage 0..8; the device holds a reference while bound.
  virtual HRESULT SetTexture(uint32_t stage, IDirect3DTexture9* texture) = 0;

  // A vertex buffer of `length` bytes (1 .. 256 MB), cleared to 0.
  virtual HRESULT CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                                     IDirect3DVertexBuffer9** buffer) = 0;
  // Stream 0 only: vertices start `offset` bytes in, `stride` bytes apart. The device holds a
  // reference while the buffer is set.
  virtual HRESULT SetStreamSource(uint32_t stream, IDirect3DVertexBuffer9* buffer, uint32_t offset,
                                  uint32_t stride) = 0;
  // The layout of the vertices: D3DFVF_XYZ with any of D3DFVF_NORMAL, D3DFVF_DIFFUSE and
  // D3DFVF_TEX1, in that order in memory.
  virtual HRESULT SetFVF(uint32_t fvf) = 0;
  // Draws `count` primitives of a kind D3DPT_* from vertex `start` of the stream. Nothing for a
  // count of 0; D3DERR_INVALIDCALL for an unknown kind, no stream, a locked buffer, a layout
  // that does not fit the stride or vertices beyond the buffer's end.
  virtual HRESULT DrawPrimitive(uint32_t type, uint32_t start, uint32_t count) = 0;
};

// The bytes of one vertex of a layout the devices draw (D3DFVF_* bits); 0 for any other layout
// (no D3DFVF_XYZ, or other bits).
uint32_t D3D_FVFSize(uint32_t fvf);
// The vertices `count` primitives of kind `type` take; 0 for an unknown kind.
uint64_t D3D_PrimitiveVertices(uint32_t type, uint32_t count);
// The largest vertex buffer a device makes.
constexpr uint32_t kD3DMaxVertexBufferBytes = 256u << 20;

// The device object: adapters, their capabilities and modes, and the device.
class IDirect3D9 : public ID3DRefCounted {
 public:
  virtual uint32_t GetAdapterCount() = 0;
  virtual HRESULT GetAdapterIdentifier(uint32_t adapter, uint32_t flags, D3DADAPTER_IDENTIFIER9* identifier) = 0;
  // An opaque monitor handle; 0 for an unknown adapter.
  virtual uintptr_t GetAdapterMonitor(uint32_t adapter) = 0;
  virtual HRESULT GetAdapterDisplayMode(uint32_t adapter, D3DDISPLAYMODE* mode) = 0;
  virtual HRESULT GetDeviceCaps(uint32_t adapter, uint32_t deviceType, D3DCAPS9* caps) = 0;
  // D3D_OK when `samples` (0 or a count) is supported for the format; *quality gets the number
  // of quality levels.
  virtual HRESULT CheckDeviceMultiSampleType(uint32_t adapter, uint32_t deviceType, uint32_t format, int32_t windowed,
                                             uint32_t samples, uint32_t* quality) = 0;
  virtual HRESULT CreateDevice(uint32_t adapter, uint32_t deviceType, SDL_Window* window, uint32_t behaviour,
                               D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) = 0;
};

// A back end: the entry points that make a device object.
struct D3D_Backend {
  const char* name;
  // Loads the desktop window manager's library; true selects the extended device object.
  bool (*loadWindowManager)();
  // The plain device object for `window` (null: no window, render off screen); null on failure.
  IDirect3D9* (*create9)(uint32_t sdkVersion, SDL_Window* window);
  // The extended device object; D3D_OK and *object, or a failure code.
  HRESULT (*create9Ex)(uint32_t sdkVersion, SDL_Window* window, IDirect3D9** object);
};

// The back end the graphics start-up uses; null restores the default (OpenGL).
void D3D_SetBackend(const D3D_Backend* backend);
const D3D_Backend* D3D_GetBackend();
