#include "graphics/device/D3D_Fake.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>

namespace {

FakeD3DScript g_script;

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  g_script.log.emplace_back(line);
}

HRESULT Next(const char* op) {
  auto it = g_script.results.find(op);
  if (it == g_script.results.end() || it->second.empty()) return D3D_OK;
  HRESULT result = it->second.front();
  it->second.pop_front();
  return result;
}

std::string Params(const D3DPRESENT_PARAMETERS& p) {
  char text[256];
  std::snprintf(text, sizeof text, "%ux%u fmt=%u ms=%u swap=%u windowed=%d ds=%u interval=0x%X", p.BackBufferWidth,
                p.BackBufferHeight, p.BackBufferFormat, p.MultiSampleType, p.SwapEffect, p.Windowed,
                p.AutoDepthStencilFormat, p.PresentationInterval);
  return text;
}

// Pixels shared by a texture and the surfaces of its level.
struct FakePixels {
  uint32_t width, height, bytesPerPixel;
  std::vector<uint8_t> bytes;
  FakePixels(uint32_t w, uint32_t h, uint32_t bpp) : width(w), height(h), bytesPerPixel(bpp), bytes(size_t(w) * h * bpp) {}
  uint32_t Pitch() const { return width * bytesPerPixel; }
};

uint32_t BytesPerPixel(uint32_t format) { return format == D3DFMT_A4R4G4B4 ? 2 : 4; }

bool RectInside(const D3DRECT& r, uint32_t width, uint32_t height) {
  return r.x1 >= 0 && r.y1 >= 0 && r.x1 < r.x2 && r.y1 < r.y2 && r.x2 <= static_cast<int32_t>(width) &&
         r.y2 <= static_cast<int32_t>(height);
}

D3DRECT Whole(uint32_t width, uint32_t height) {
  return {0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
}

class FakeSurface final : public D3DRefCountedImpl<IDirect3DSurface9> {
 public:
  FakeSurface(std::string name, uint32_t width, uint32_t height, uint32_t format, bool lockable = false,
              uint32_t samples = 0)
      : m_name(std::move(name)),
        m_format(format),
        m_pixels(std::make_shared<FakePixels>(width, height, BytesPerPixel(format))),
        m_lockable(lockable),
        m_samples(samples) {}
  // The surface of a texture's level: shares its pixels and holds a reference to it.
  FakeSurface(std::string name, uint32_t format, std::shared_ptr<FakePixels> pixels, ID3DRefCounted* owner)
      : m_name(std::move(name)), m_format(format), m_pixels(std::move(pixels)), m_owner(owner) {
    m_owner->AddRef();
  }
  ~FakeSurface() override {
    if (m_owner != nullptr) m_owner->Release();
  }
  uint32_t Width() const override { return m_pixels->width; }
  uint32_t Height() const override { return m_pixels->height; }
  uint32_t Format() const override { return m_format; }
  HRESULT LockRect(D3DLOCKED_RECT* locked, const D3DRECT* rect, uint32_t) override {
    Log("LockRect %s", m_name.c_str());
    const HRESULT result = Next("LockRect");
    if (D3D_Failed(result)) return result;
    const D3DRECT all = Whole(Width(), Height());
    if (rect == nullptr) rect = &all;
    if (!m_lockable || m_locked || !RectInside(*rect, Width(), Height())) return D3DERR_INVALIDCALL;
    m_locked = true;
    locked->Pitch = static_cast<int32_t>(m_pixels->Pitch());
    locked->pBits = m_pixels->bytes.data() + static_cast<size_t>(rect->y1) * m_pixels->Pitch() +
                    static_cast<size_t>(rect->x1) * m_pixels->bytesPerPixel;
    return D3D_OK;
  }
  HRESULT UnlockRect() override {
    Log("UnlockRect %s", m_name.c_str());
    if (!m_locked) return D3DERR_INVALIDCALL;
    m_locked = false;
    return D3D_OK;
  }
  const std::string& Name() const { return m_name; }
  FakePixels& Pixels() { return *m_pixels; }
  bool SameImage(const FakeSurface* other) const { return m_pixels == other->m_pixels; }
  bool IsDepth() const { return m_format == D3DFMT_D24S8 || m_format == D3DFMT_D16; }
  uint32_t Samples() const { return m_samples; }

 private:
  std::string m_name;
  uint32_t m_format;
  std::shared_ptr<FakePixels> m_pixels;
  ID3DRefCounted* m_owner = nullptr;
  bool m_lockable = false;
  uint32_t m_samples = 0;
  bool m_locked = false;
};

const char* NameOf(IDirect3DSurface9* surface) {
  return surface != nullptr ? static_cast<FakeSurface*>(surface)->Name().c_str() : "null";
}

std::string NewName(const char* prefix, int* counter) { return prefix + std::to_string(++*counter); }

class FakeTexture final : public D3DRefCountedImpl<IDirect3DTexture9> {
 public:
  FakeTexture(uint32_t width, uint32_t height, uint32_t format, uint32_t pool)
      : m_name(NewName("tex", &g_script.textures)),
        m_format(format),
        m_pool(pool),
        m_pixels(std::make_shared<FakePixels>(width, height, BytesPerPixel(format))) {}
  uint32_t Width() const override { return m_pixels->width; }
  uint32_t Height() const override { return m_pixels->height; }
  uint32_t Format() const override { return m_format; }
  HRESULT LockRect(uint32_t level, D3DLOCKED_RECT* locked, const D3DRECT* rect, uint32_t) override {
    Log("LockRect %s", m_name.c_str());
    const HRESULT result = Next("LockRect");
    if (D3D_Failed(result)) return result;
    if (level != 0 || m_locked) return D3DERR_INVALIDCALL;
    const D3DRECT all = Whole(Width(), Height());
    if (rect == nullptr) rect = &all;
    if (!RectInside(*rect, Width(), Height())) return D3DERR_INVALIDCALL;
    m_locked = true;
    locked->Pitch = static_cast<int32_t>(m_pixels->Pitch());
    locked->pBits = m_pixels->bytes.data() + static_cast<size_t>(rect->y1) * m_pixels->Pitch() +
                    static_cast<size_t>(rect->x1) * m_pixels->bytesPerPixel;
    return D3D_OK;
  }
  HRESULT UnlockRect(uint32_t level) override {
    Log("UnlockRect %s", m_name.c_str());
    if (level != 0 || !m_locked) return D3DERR_INVALIDCALL;
    m_locked = false;
    return D3D_OK;
  }
  HRESULT GetSurfaceLevel(uint32_t level, IDirect3DSurface9** surface) override {
    Log("GetSurfaceLevel %s %u", m_name.c_str(), level);
    *surface = nullptr;
    if (level != 0 || m_pool == D3DPOOL_SYSTEMMEM) return D3DERR_INVALIDCALL;
    *surface = new FakeSurface(m_name + ".0", m_format, m_pixels, this);
    return D3D_OK;
  }
  void PreLoad() override { Log("PreLoad %s", m_name.c_str()); }
  uint32_t SetPriority(uint32_t priority) override {
    Log("SetPriority %s %u", m_name.c_str(), priority);
    const uint32_t old = m_priority;
    m_priority = priority;
    return old;
  }
  const std::string& Name() const { return m_name; }
  uint32_t Pool() const { return m_pool; }
  FakePixels& Pixels() { return *m_pixels; }

 private:
  std::string m_name;
  uint32_t m_format, m_pool;
  std::shared_ptr<FakePixels> m_pixels;
  uint32_t m_priority = 0;
  bool m_locked = false;
};

class FakeVertexBuffer final : public D3DRefCountedImpl<IDirect3DVertexBuffer9> {
 public:
  explicit FakeVertexBuffer(uint32_t length)
      : m_name(NewName("vb", &g_script.vertexBuffers)), m_bytes(length) {}
  uint32_t Length() const override { return static_cast<uint32_t>(m_bytes.size()); }
  HRESULT Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) override {
    Log("Lock %s %u %u 0x%X", m_name.c_str(), offset, size, flags);
    *data = nullptr;
    const uint64_t length = m_bytes.size();
    if (size == 0 && offset <= length) size = static_cast<uint32_t>(length - offset);
    if (m_locked || size == 0 || static_cast<uint64_t>(offset) + size > length) return D3DERR_INVALIDCALL;
    m_locked = true;
    *data = m_bytes.data() + offset;
    return D3D_OK;
  }
  HRESULT Unlock() override {
    Log("Unlock %s", m_name.c_str());
    if (!m_locked) return D3DERR_INVALIDCALL;
    m_locked = false;
    return D3D_OK;
  }
  const std::string& Name() const { return m_name; }

 private:
  std::string m_name;
  std::vector<uint8_t> m_bytes;
  bool m_locked = false;
};

template <typename Object>
const char* ObjectName(void* object) {
  return object != nullptr ? static_cast<Object*>(object)->Name().c_str() : "null";
}

class FakeDevice final : public D3DRefCountedImpl<IDirect3DDevice9> {
 public:
  explicit FakeDevice(const D3DPRESENT_PARAMETERS& params) : m_params(params) { MakeBuffers(); }
  ~FakeDevice() override {
    DropBuffers();
    for (IDirect3DTexture9*& texture : m_textures) HoldObject(texture, nullptr);
    HoldObject(m_stream, nullptr);
  }

  uint32_t Release() override {
    Log("Release device %u", Refs() - 1);
    return D3DRefCountedImpl::Release();
  }

  HRESULT TestCooperativeLevel() override {
    Log("TestCooperativeLevel");
    return Next("TestCooperativeLevel");
  }
  HRESULT Reset(D3DPRESENT_PARAMETERS* params) override {
    Log("Reset %s", Params(*params).c_str());
    const HRESULT result = Next("Reset");
    if (D3D_Failed(result)) return result;
    m_params = *params;
    DropBuffers();
    MakeBuffers();
    return D3D_OK;
  }
  HRESULT GetDeviceCaps(D3DCAPS9* caps) override {
    *caps = Caps();
    return D3D_OK;
  }
  HRESULT BeginScene() override {
    Log("BeginScene");
    return Next("BeginScene");
  }
  HRESULT EndScene() override {
    Log("EndScene");
    return Next("EndScene");
  }
  HRESULT Present() override {
    Log("Present");
    return Next("Present");
  }
  HRESULT Clear(uint32_t count, const D3DRECT*, uint32_t flags, uint32_t colour, float z, uint32_t stencil) override {
    Log("Clear %u 0x%X 0x%08X %g %u", count, flags, colour, z, stencil);
    return Next("Clear");
  }
  HRESULT SetViewport(const D3DVIEWPORT9* v) override {
    Log("SetViewport %u %u %u %u %g %g", v->X, v->Y, v->Width, v->Height, v->MinZ, v->MaxZ);
    m_viewport = *v;
    return Next("SetViewport");
  }
  HRESULT GetViewport(D3DVIEWPORT9* viewport) override {
    *viewport = m_viewport;
    return D3D_OK;
  }
  HRESULT SetTransform(uint32_t slot, const D3DMATRIX*) override {
    Log("SetTransform %u", slot);
    return Next("SetTransform");
  }
  HRESULT GetRenderTarget(uint32_t index, IDirect3DSurface9** surface) override {
    Log("GetRenderTarget %u", index);
    *surface = nullptr;
    const HRESULT result = Next("GetRenderTarget");
    if (D3D_Failed(result)) return result;
    if (index >= 4 || m_targets[index] == nullptr) return D3DERR_NOTFOUND;
    m_targets[index]->AddRef();
    *surface = m_targets[index];
    return D3D_OK;
  }
  HRESULT SetRenderTarget(uint32_t index, IDirect3DSurface9* surface) override {
    Log("SetRenderTarget %u %s", index, NameOf(surface));
    const HRESULT result = Next("SetRenderTarget");
    if (D3D_Failed(result)) return result;
    if (index >= 4 || (index == 0 && surface == nullptr)) return D3DERR_INVALIDCALL;
    Hold(m_targets[index], surface);
    return D3D_OK;
  }
  HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override {
    Log("GetDepthStencilSurface");
    *surface = nullptr;
    const HRESULT result = Next("GetDepthStencilSurface");
    if (D3D_Failed(result)) return result;
    if (m_depthTarget == nullptr) return D3DERR_NOTFOUND;
    m_depthTarget->AddRef();
    *surface = m_depthTarget;
    return D3D_OK;
  }
  HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) override {
    Log("SetDepthStencilSurface %s", NameOf(surface));
    const HRESULT result = Next("SetDepthStencilSurface");
    if (D3D_Failed(result)) return result;
    Hold(m_depthTarget, surface);
    return D3D_OK;
  }

  HRESULT SetRenderState(uint32_t state, uint32_t value) override {
    Log("SetRenderState %u %u", state, value);
    if (state > D3DRS_LAST) return D3DERR_INVALIDCALL;
    return Next("SetRenderState");
  }
  HRESULT SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value) override {
    Log("SetSamplerState %u %u %u", sampler, type, value);
    if (sampler >= kD3DTextureStages || type > D3DSAMP_LAST) return D3DERR_INVALIDCALL;
    return Next("SetSamplerState");
  }
  HRESULT SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) override {
    Log("SetTextureStageState %u %u %u", stage, type, value);
    if (stage >= kD3DTextureStages || type > D3DTSS_LAST) return D3DERR_INVALIDCALL;
    return Next("SetTextureStageState");
  }
  HRESULT SetLight(uint32_t index, const D3DLIGHT9* light) override {
    Log("SetLight %u %u", index, light->Type);
    return index < kD3DLights ? Next("SetLight") : D3DERR_INVALIDCALL;
  }
  HRESULT LightEnable(uint32_t index, int32_t enable) override {
    Log("LightEnable %u %d", index, enable);
    return index < kD3DLights ? Next("LightEnable") : D3DERR_INVALIDCALL;
  }
  HRESULT SetMaterial(const D3DMATERIAL9*) override {
    Log("SetMaterial");
    return Next("SetMaterial");
  }
  HRESULT CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, uint32_t format,
                        uint32_t pool, IDirect3DTexture9** texture) override {
    Log("CreateTexture %u %u %u 0x%X %u %u", width, height, levels, usage, format, pool);
    *texture = nullptr;
    const HRESULT result = Next("CreateTexture");
    if (D3D_Failed(result)) return result;
    const D3DCAPS9 caps = Caps();
    const bool colour = format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
    if (width == 0 || height == 0 || width > caps.MaxTextureWidth || height > caps.MaxTextureHeight ||
        (!colour && format != D3DFMT_A4R4G4B4) || ((usage & D3DUSAGE_RENDERTARGET) != 0 && !colour))
      return D3DERR_INVALIDCALL;
    *texture = new FakeTexture(width, height, format, pool);
    return D3D_OK;
  }
  HRESULT UpdateTexture(IDirect3DTexture9* source, IDirect3DTexture9* destination) override {
    Log("UpdateTexture %s %s", ObjectName<FakeTexture>(source), ObjectName<FakeTexture>(destination));
    const HRESULT result = Next("UpdateTexture");
    if (D3D_Failed(result)) return result;
    FakeTexture* from = static_cast<FakeTexture*>(source);
    FakeTexture* to = static_cast<FakeTexture*>(destination);
    if (from == nullptr || to == nullptr || from->Pool() != D3DPOOL_SYSTEMMEM || to->Pool() == D3DPOOL_SYSTEMMEM ||
        from->Width() != to->Width() || from->Height() != to->Height() || from->Format() != to->Format())
      return D3DERR_INVALIDCALL;
    to->Pixels().bytes = from->Pixels().bytes;
    return D3D_OK;
  }
  HRESULT CreateRenderTarget(uint32_t width, uint32_t height, uint32_t format, uint32_t samples, uint32_t,
                             int32_t lockable, IDirect3DSurface9** surface) override {
    Log("CreateRenderTarget %u %u %u %u %d", width, height, format, samples, lockable);
    *surface = nullptr;
    const HRESULT result = Next("CreateRenderTarget");
    if (D3D_Failed(result)) return result;
    const D3DCAPS9 caps = Caps();
    if (width == 0 || height == 0 || width > caps.MaxTextureWidth || height > caps.MaxTextureHeight ||
        (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8) || (lockable != 0 && samples != 0))
      return D3DERR_INVALIDCALL;
    *surface = new FakeSurface(NewName("rt", &g_script.renderTargets), width, height, format, lockable != 0, samples);
    return D3D_OK;
  }
  HRESULT CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format, uint32_t samples, uint32_t,
                                    int32_t, IDirect3DSurface9** surface) override {
    Log("CreateDepthStencilSurface %u %u %u %u", width, height, format, samples);
    *surface = nullptr;
    const HRESULT result = Next("CreateDepthStencilSurface");
    if (D3D_Failed(result)) return result;
    if (width == 0 || height == 0 || (format != D3DFMT_D24S8 && format != D3DFMT_D16))
      return D3DERR_INVALIDCALL;
    *surface = new FakeSurface(NewName("ds", &g_script.depthSurfaces), width, height, format, false, samples);
    return D3D_OK;
  }
  HRESULT GetBackBuffer(uint32_t swapChain, uint32_t index, uint32_t type, IDirect3DSurface9** surface) override {
    Log("GetBackBuffer");
    *surface = nullptr;
    const HRESULT result = Next("GetBackBuffer");
    if (D3D_Failed(result)) return result;
    if (swapChain != 0 || index != 0 || type != D3DBACKBUFFER_TYPE_MONO) return D3DERR_INVALIDCALL;
    m_backBuffer->AddRef();
    *surface = m_backBuffer;
    return D3D_OK;
  }
  // Copies with the nearest source pixel (exact for rectangles of the same size).
  HRESULT StretchRect(IDirect3DSurface9* source, const D3DRECT* sourceRect, IDirect3DSurface9* destination,
                      const D3DRECT* destinationRect, uint32_t filter) override {
    FakeSurface* from = static_cast<FakeSurface*>(source);
    FakeSurface* to = static_cast<FakeSurface*>(destination);
    if (from == nullptr || to == nullptr) return D3DERR_INVALIDCALL;
    const D3DRECT sourceAll = Whole(from->Width(), from->Height());
    const D3DRECT destinationAll = Whole(to->Width(), to->Height());
    const D3DRECT& s = sourceRect != nullptr ? *sourceRect : sourceAll;
    const D3DRECT& d = destinationRect != nullptr ? *destinationRect : destinationAll;
    Log("StretchRect %s %d,%d,%d,%d %s %d,%d,%d,%d %u", from->Name().c_str(), s.x1, s.y1, s.x2, s.y2,
        to->Name().c_str(), d.x1, d.y1, d.x2, d.y2, filter);
    const HRESULT result = Next("StretchRect");
    if (D3D_Failed(result)) return result;
    FakePixels& in = from->Pixels();
    FakePixels& out = to->Pixels();
    if (!RectInside(s, from->Width(), from->Height()) || !RectInside(d, to->Width(), to->Height()) ||
        from->IsDepth() || to->IsDepth() || to->Samples() != 0 || from->SameImage(to) ||
        in.bytesPerPixel != out.bytesPerPixel ||
        (from->Samples() != 0 && (s.x2 - s.x1 != d.x2 - d.x1 || s.y2 - s.y1 != d.y2 - d.y1)))
      return D3DERR_INVALIDCALL;
    const int64_t sw = s.x2 - s.x1, sh = s.y2 - s.y1, dw = d.x2 - d.x1, dh = d.y2 - d.y1;
    const uint32_t bpp = in.bytesPerPixel;
    for (int64_t y = 0; y < dh; ++y) {
      const int64_t sy = s.y1 + y * sh / dh;
      for (int64_t x = 0; x < dw; ++x) {
        const int64_t sx = s.x1 + x * sw / dw;
        std::memcpy(out.bytes.data() + (d.y1 + y) * out.Pitch() + (d.x1 + x) * bpp,
                    in.bytes.data() + sy * in.Pitch() + sx * bpp, bpp);
      }
    }
    return D3D_OK;
  }
  HRESULT SetTexture(uint32_t stage, IDirect3DTexture9* texture) override {
    Log("SetTexture %u %s", stage, ObjectName<FakeTexture>(texture));
    if (stage >= kD3DTextureStages ||
        (texture != nullptr && static_cast<FakeTexture*>(texture)->Pool() == D3DPOOL_SYSTEMMEM))
      return D3DERR_INVALIDCALL;
    HoldObject(m_textures[stage], texture);
    return Next("SetTexture");
  }
  HRESULT CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                             IDirect3DVertexBuffer9** buffer) override {
    Log("CreateVertexBuffer %u 0x%X 0x%X %u", length, usage, fvf, pool);
    *buffer = nullptr;
    const HRESULT result = Next("CreateVertexBuffer");
    if (D3D_Failed(result)) return result;
    if (length == 0) return D3DERR_INVALIDCALL;
    if (length > kD3DMaxVertexBufferBytes) return D3DERR_OUTOFVIDEOMEMORY;
    *buffer = new FakeVertexBuffer(length);
    return D3D_OK;
  }
  HRESULT SetStreamSource(uint32_t stream, IDirect3DVertexBuffer9* buffer, uint32_t offset, uint32_t stride) override {
    Log("SetStreamSource %u %s %u %u", stream, ObjectName<FakeVertexBuffer>(buffer), offset, stride);
    if (stream != 0) return D3DERR_INVALIDCALL;
    HoldObject(m_stream, buffer);
    return Next("SetStreamSource");
  }
  HRESULT SetFVF(uint32_t fvf) override {
    Log("SetFVF 0x%X", fvf);
    return Next("SetFVF");
  }
  HRESULT DrawPrimitive(uint32_t type, uint32_t start, uint32_t count) override {
    Log("DrawPrimitive %u %u %u", type, start, count);
    if (count != 0 && (D3D_PrimitiveVertices(type, count) == 0 || m_stream == nullptr)) return D3DERR_INVALIDCALL;
    return Next("DrawPrimitive");
  }

 private:
  static D3DCAPS9 Caps() { return g_script.adapters.empty() ? FakeAdapter::DefaultCaps() : g_script.adapters[0].caps; }
  template <typename Object>
  static void HoldObject(Object*& slot, std::type_identity_t<Object>* object) {
    if (object != nullptr) object->AddRef();
    if (slot != nullptr) slot->Release();
    slot = object;
  }
  static void Hold(IDirect3DSurface9*& slot, IDirect3DSurface9* surface) {
    if (surface != nullptr) surface->AddRef();
    if (slot != nullptr) slot->Release();
    slot = surface;
  }
  void MakeBuffers() {
    m_backBuffer = new FakeSurface("backbuffer", m_params.BackBufferWidth, m_params.BackBufferHeight,
                                   m_params.BackBufferFormat, false, m_params.MultiSampleType);
    m_targets[0] = m_backBuffer;
    m_backBuffer->AddRef();
    m_depthTarget = new FakeSurface("depth", m_params.BackBufferWidth, m_params.BackBufferHeight,
                                    m_params.AutoDepthStencilFormat);
    m_viewport = {0, 0, m_params.BackBufferWidth, m_params.BackBufferHeight, 0.0f, 1.0f};
  }
  void DropBuffers() {
    for (IDirect3DSurface9*& target : m_targets) Hold(target, nullptr);
    Hold(m_depthTarget, nullptr);
    Hold(m_backBuffer, nullptr);
  }

  D3DPRESENT_PARAMETERS m_params;
  D3DVIEWPORT9 m_viewport;
  IDirect3DSurface9* m_backBuffer = nullptr;
  IDirect3DSurface9* m_targets[4] = {};
  IDirect3DSurface9* m_depthTarget = nullptr;
  IDirect3DTexture9* m_textures[kD3DTextureStages] = {};
  IDirect3DVertexBuffer9* m_stream = nullptr;
};

class FakeObject final : public D3DRefCountedImpl<IDirect3D9> {
 public:
  uint32_t GetAdapterCount() override { return static_cast<uint32_t>(g_script.adapters.size()); }
  HRESULT GetAdapterIdentifier(uint32_t adapter, uint32_t, D3DADAPTER_IDENTIFIER9* id) override {
    if (adapter >= g_script.adapters.size()) return D3DERR_INVALIDCALL;
    *id = D3DADAPTER_IDENTIFIER9{};
    std::snprintf(id->Description, sizeof id->Description, "%s", g_script.adapters[adapter].description.c_str());
    std::snprintf(id->DeviceName, sizeof id->DeviceName, "%s", g_script.adapters[adapter].deviceName.c_str());
    return D3D_OK;
  }
  uintptr_t GetAdapterMonitor(uint32_t adapter) override {
    return adapter < g_script.adapters.size() ? adapter + 1 : 0;
  }
  HRESULT GetAdapterDisplayMode(uint32_t adapter, D3DDISPLAYMODE* mode) override {
    Log("GetAdapterDisplayMode %u", adapter);
    const HRESULT result = Next("GetAdapterDisplayMode");
    if (D3D_Failed(result)) return result;
    *mode = g_script.desktop;
    return D3D_OK;
  }
  HRESULT GetDeviceCaps(uint32_t adapter, uint32_t, D3DCAPS9* caps) override {
    if (adapter >= g_script.adapters.size()) return D3DERR_INVALIDCALL;
    *caps = g_script.adapters[adapter].caps;
    return D3D_OK;
  }
  HRESULT CheckDeviceMultiSampleType(uint32_t adapter, uint32_t, uint32_t format, int32_t, uint32_t samples,
                                     uint32_t* quality) override {
    Log("CheckDeviceMultiSampleType %u %u %u", adapter, format, samples);
    const HRESULT result = Next("CheckDeviceMultiSampleType");
    if (D3D_Failed(result)) return result;
    if (samples == 1 || samples > g_script.maxSamples) return D3DERR_NOTAVAILABLE;
    if (quality != nullptr) *quality = 1;
    return D3D_OK;
  }
  HRESULT CreateDevice(uint32_t adapter, uint32_t type, SDL_Window*, uint32_t behaviour,
                       D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) override {
    Log("CreateDevice %u %u 0x%X %s", adapter, type, behaviour, Params(*params).c_str());
    *device = nullptr;
    const HRESULT result = Next("CreateDevice");
    if (D3D_Failed(result)) return result;
    *device = new FakeDevice(*params);
    return D3D_OK;
  }

 private:
};

bool FakeLoadWindowManager() { return g_script.windowManager; }

IDirect3D9* FakeCreate9(uint32_t sdk, SDL_Window*) {
  Log("Direct3DCreate9 %u", sdk);
  return g_script.createFails ? nullptr : new FakeObject();
}

HRESULT FakeCreate9Ex(uint32_t sdk, SDL_Window*, IDirect3D9** object) {
  Log("Direct3DCreate9Ex %u", sdk);
  *object = g_script.createFails ? nullptr : new FakeObject();
  return *object != nullptr ? D3D_OK : D3DERR_NOTAVAILABLE;
}

const D3D_Backend kFakeBackend = {"fake", &FakeLoadWindowManager, &FakeCreate9, &FakeCreate9Ex};

}  // namespace

D3DCAPS9 FakeAdapter::DefaultCaps() {
  D3DCAPS9 caps;
  caps.DeviceType = D3DDEVTYPE_HAL;
  caps.RasterCaps = D3DPRASTERCAPS_FOGTABLE;
  caps.MaxTextureWidth = 4096;
  caps.MaxTextureHeight = 4096;
  caps.NumberOfAdaptersInGroup = 1;
  caps.VertexShaderVersion = D3DVS_VERSION(3, 0);
  caps.PixelShaderVersion = D3DPS_VERSION(3, 0);
  caps.NumSimultaneousRTs = 4;
  return caps;
}

void FakeD3DScript::Fail(const std::string& op, HRESULT result, int times) {
  for (int i = 0; i < times; ++i) results[op].push_back(result);
}

std::vector<std::string> FakeD3DScript::Lines(const std::string& prefix) const {
  std::vector<std::string> lines;
  for (const std::string& line : log) {
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
  }
  return lines;
}

FakeD3DScript& FakeD3D() { return g_script; }

void FakeD3D_Reset() { g_script = FakeD3DScript{}; }

const D3D_Backend* FakeD3D_Backend() { return &kFakeBackend; }

IDirect3DSurface9* FakeD3D_NewSurface(const char* name, uint32_t width, uint32_t height) {
  return new FakeSurface(name, width, height, D3DFMT_A8R8G8B8);
}

uint32_t FakeD3D_SurfaceRefs(IDirect3DSurface9* surface) { return static_cast<FakeSurface*>(surface)->Refs(); }

uint8_t* FakeD3D_SurfaceBytes(IDirect3DSurface9* surface) {
  return static_cast<FakeSurface*>(surface)->Pixels().bytes.data();
}

uint8_t* FakeD3D_TextureBytes(IDirect3DTexture9* texture) {
  return static_cast<FakeTexture*>(texture)->Pixels().bytes.data();
}
