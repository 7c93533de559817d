#include "graphics/device/D3D_GL.h"

// epoxy's headers come before any other GL or EGL header.
#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <type_traits>
#include <vector>

#include "graphics/device/D3D_GLPipeline.h"
#include "os/OS_DisplayModes.h"

namespace {

// ---- The context ----

class GLContext {
 public:
  // On the window when there is one, else an EGL surfaceless context. Check Valid() after.
  explicit GLContext(SDL_Window* window) : m_window(window) {
    if (window != nullptr) {
      SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
      SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
      SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
      m_sdl = SDL_GL_CreateContext(window);
    } else {
      MakeSurfaceless();
    }
    if (Valid()) MakeCurrent();
  }
  ~GLContext() {
    if (m_sdl != nullptr) SDL_GL_DeleteContext(m_sdl);
    if (m_egl != EGL_NO_CONTEXT) {
      eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
      eglDestroyContext(m_display, m_egl);
      eglReleaseThread();
    }
  }
  bool Valid() const { return m_sdl != nullptr || m_egl != EGL_NO_CONTEXT; }
  void MakeCurrent() {
    if (m_sdl != nullptr) {
      SDL_GL_MakeCurrent(m_window, m_sdl);
    } else if (m_egl != EGL_NO_CONTEXT) {
      eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_egl);
    }
  }
  SDL_Window* Window() const { return m_window; }

 private:
  void MakeSurfaceless() {
    m_display = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (m_display == EGL_NO_DISPLAY || !eglInitialize(m_display, nullptr, nullptr) || !eglBindAPI(EGL_OPENGL_API))
      return;
    const EGLint configAttribs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(m_display, configAttribs, &config, 1, &configs) || configs == 0) config = nullptr;
    const EGLint contextAttribs[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                     EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
    m_egl = eglCreateContext(m_display, config, EGL_NO_CONTEXT, contextAttribs);
  }

  SDL_Window* m_window = nullptr;
  SDL_GLContext m_sdl = nullptr;
  EGLDisplay m_display = EGL_NO_DISPLAY;
  EGLContext m_egl = EGL_NO_CONTEXT;
};

class GLObject;

// ---- Pixel conversion: GL keeps every texture and colour buffer as RGBA8 bytes (R, G, B, A);
// the device's words are 0xAARRGGBB (bytes B, G, R, A) or 16-bit A4R4G4B4 ----

// width x height device pixels (rows `pitch` bytes apart) into tightly packed RGBA bytes.
void ToRGBA(const uint8_t* pixels, size_t pitch, uint32_t bytesPerPixel, uint32_t width, uint32_t height,
            uint8_t* rgba) {
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* in = pixels + y * pitch;
    for (uint32_t x = 0; x < width; ++x, rgba += 4) {
      if (bytesPerPixel == 2) {
        uint16_t v;
        std::memcpy(&v, in + x * 2, 2);
        rgba[0] = static_cast<uint8_t>(((v >> 8) & 15) * 17);
        rgba[1] = static_cast<uint8_t>(((v >> 4) & 15) * 17);
        rgba[2] = static_cast<uint8_t>((v & 15) * 17);
        rgba[3] = static_cast<uint8_t>((v >> 12) * 17);
      } else {
        rgba[0] = in[x * 4 + 2];
        rgba[1] = in[x * 4 + 1];
        rgba[2] = in[x * 4 + 0];
        rgba[3] = in[x * 4 + 3];
      }
    }
  }
}

// Tightly packed RGBA bytes into width x height device pixels (rows `pitch` bytes apart); 16-bit
// pixels take the nearest 4-bit value of each channel.
void FromRGBA(const uint8_t* rgba, uint32_t width, uint32_t height, uint32_t bytesPerPixel, uint8_t* pixels,
              size_t pitch) {
  auto nibble = [](uint8_t c) { return static_cast<uint16_t>((c + 8) / 17); };
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* out = pixels + y * pitch;
    for (uint32_t x = 0; x < width; ++x, rgba += 4) {
      if (bytesPerPixel == 2) {
        const uint16_t v = static_cast<uint16_t>(nibble(rgba[3]) << 12 | nibble(rgba[0]) << 8 |
                                                 nibble(rgba[1]) << 4 | nibble(rgba[2]));
        std::memcpy(out + x * 2, &v, 2);
      } else {
        out[x * 4 + 0] = rgba[2];
        out[x * 4 + 1] = rgba[1];
        out[x * 4 + 2] = rgba[0];
        out[x * 4 + 3] = rgba[3];
      }
    }
  }
}

bool IsColourFormat(uint32_t format) { return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8; }
uint32_t BytesPerPixel(uint32_t format) { return format == D3DFMT_A4R4G4B4 ? 2 : 4; }

bool RectInside(const D3DRECT& r, uint32_t width, uint32_t height) {
  return r.x1 >= 0 && r.y1 >= 0 && r.x1 < r.x2 && r.y1 < r.y2 && r.x2 <= static_cast<int32_t>(width) &&
         r.y2 <= static_cast<int32_t>(height);
}

D3DRECT Whole(uint32_t width, uint32_t height) { return {0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)}; }

// ---- Surfaces: a renderbuffer of their own, or level 0 of a texture ----

class GLObject;
class GLTexture;

class GLSurface final : public D3DRefCountedImpl<IDirect3DSurface9> {
 public:
  GLSurface(GLObject* owner, GLuint renderbuffer, uint32_t width, uint32_t height, uint32_t format, uint32_t samples,
            bool lockable);
  GLSurface(GLObject* owner, GLTexture* texture);
  ~GLSurface() override;
  uint32_t Width() const override { return m_width; }
  uint32_t Height() const override { return m_height; }
  uint32_t Format() const override { return m_format; }
  HRESULT LockRect(D3DLOCKED_RECT* locked, const D3DRECT* rect, uint32_t flags) override;
  HRESULT UnlockRect() override;

  GLuint Renderbuffer() const { return m_renderbuffer; }
  GLTexture* Texture() const { return m_texture; }
  uint32_t Samples() const { return m_samples; }
  bool HasStencil() const { return m_format == D3DFMT_D24S8; }
  bool IsDepth() const { return m_format == D3DFMT_D24S8 || m_format == D3DFMT_D16; }
  bool SameImage(const GLSurface* other) const {
    return m_renderbuffer == other->m_renderbuffer && m_texture == other->m_texture;
  }
  // Attaches the surface's image at `attachment` of the framebuffer bound to `target`.
  void AttachTo(GLenum target, GLenum attachment) const;

 private:
  GLObject* m_owner;
  GLuint m_renderbuffer = 0;
  GLTexture* m_texture = nullptr;  // holds a reference
  uint32_t m_width, m_height, m_format;
  uint32_t m_samples = 0;
  bool m_lockable = false;
  bool m_locked = false;
  std::vector<uint32_t> m_lockCopy;
};

// ---- The device object ----

class GLObject final : public D3DRefCountedImpl<IDirect3D9> {
 public:
  explicit GLObject(SDL_Window* window) : m_context(window) {
    if (!m_context.Valid()) return;
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    std::snprintf(m_renderer, sizeof m_renderer, "%s", renderer != nullptr ? renderer : "OpenGL");
    std::snprintf(m_version, sizeof m_version, "%s", version != nullptr ? version : "");
    GLint value = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &value);
    m_maxSamples = value > 0 ? static_cast<uint32_t>(value) : 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &value);
    m_maxSize = value > 0 ? static_cast<uint32_t>(value) : 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &value);
    const uint32_t maxTexture = value > 0 ? static_cast<uint32_t>(value) : 0;

    m_caps.DeviceType = D3DDEVTYPE_HAL;
    m_caps.RasterCaps = D3DPRASTERCAPS_FOGTABLE;
    m_caps.MaxTextureWidth = m_caps.MaxTextureHeight = maxTexture < 8192 ? maxTexture : 8192;
    m_caps.NumberOfAdaptersInGroup = 1;
    m_caps.VertexShaderVersion = D3DVS_VERSION(3, 0);
    m_caps.PixelShaderVersion = D3DPS_VERSION(3, 0);
    m_caps.NumSimultaneousRTs = 4;
    m_valid = true;
  }

  bool Valid() const { return m_valid; }
  GLContext& Context() { return m_context; }
  uint32_t MaxSamples() const { return m_maxSamples; }
  uint32_t MaxSize() const { return m_maxSize; }

  uint32_t GetAdapterCount() override { return 1; }
  HRESULT GetAdapterIdentifier(uint32_t adapter, uint32_t, D3DADAPTER_IDENTIFIER9* id) override {
    if (adapter != 0) return D3DERR_INVALIDCALL;
    *id = D3DADAPTER_IDENTIFIER9{};
    std::snprintf(id->Driver, sizeof id->Driver, "%s", m_version);
    std::snprintf(id->Description, sizeof id->Description, "%s", m_renderer);
    std::snprintf(id->DeviceName, sizeof id->DeviceName, "display0");
    return D3D_OK;
  }
  uintptr_t GetAdapterMonitor(uint32_t adapter) override { return adapter == 0 ? 1 : 0; }
  HRESULT GetAdapterDisplayMode(uint32_t adapter, D3DDISPLAYMODE* mode) override {
    OS_DisplayMode desktop;
    if (adapter != 0 || !OS_GetDisplaySource()->currentMode(0, &desktop)) return D3DERR_NOTAVAILABLE;
    mode->Width = static_cast<uint32_t>(desktop.width);
    mode->Height = static_cast<uint32_t>(desktop.height);
    mode->RefreshRate = static_cast<uint32_t>(desktop.frequency > 0 ? desktop.frequency : 0);
    mode->Format = desktop.bits == 16 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8;
    return D3D_OK;
  }
  HRESULT GetDeviceCaps(uint32_t adapter, uint32_t, D3DCAPS9* caps) override {
    if (adapter != 0) return D3DERR_INVALIDCALL;
    *caps = m_caps;
    return D3D_OK;
  }
  HRESULT CheckDeviceMultiSampleType(uint32_t adapter, uint32_t, uint32_t, int32_t, uint32_t samples,
                                     uint32_t* quality) override {
    if (adapter != 0 || !SamplesSupported(samples)) return D3DERR_NOTAVAILABLE;
    if (quality != nullptr) *quality = 1;
    return D3D_OK;
  }
  HRESULT CreateDevice(uint32_t adapter, uint32_t, SDL_Window*, uint32_t, D3DPRESENT_PARAMETERS* params,
                       IDirect3DDevice9** device) override;

  bool SamplesSupported(uint32_t samples) const { return samples == 0 || (samples >= 2 && samples <= m_maxSamples); }
  const D3DCAPS9& Caps() const { return m_caps; }

 private:
  ~GLObject() override = default;

  GLContext m_context;
  bool m_valid = false;
  char m_renderer[512] = {};
  char m_version[512] = {};
  uint32_t m_maxSamples = 0;
  uint32_t m_maxSize = 0;
  D3DCAPS9 m_caps;
};

GLSurface* AsGL(IDirect3DSurface9* surface) { return static_cast<GLSurface*>(surface); }

// ---- Textures: a GL texture of one level with a copy of its pixels that locks hand out ----

class GLTexture final : public D3DRefCountedImpl<IDirect3DTexture9> {
 public:
  GLTexture(GLObject* owner, uint32_t width, uint32_t height, uint32_t format, uint32_t pool)
      : m_owner(owner),
        m_width(width),
        m_height(height),
        m_format(format),
        m_bytesPerPixel(BytesPerPixel(format)),
        m_pixels(static_cast<size_t>(width) * height * m_bytesPerPixel) {
    m_owner->AddRef();
    if (pool == D3DPOOL_SYSTEMMEM) return;
    glActiveTexture(GL_TEXTURE0 + GLPipeline::kUploadUnit);
    glGenTextures(1, &m_name);
    glBindTexture(GL_TEXTURE_2D, m_name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    // Zeros in any format are zero RGBA bytes; 32-bit pixels are already the right size.
    std::vector<uint8_t> zeros(m_bytesPerPixel == 4 ? 0 : static_cast<size_t>(width) * height * 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, m_bytesPerPixel == 4 ? m_pixels.data() : zeros.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    if (format == D3DFMT_X8R8G8B8) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
  }
  uint32_t Width() const override { return m_width; }
  uint32_t Height() const override { return m_height; }
  uint32_t Format() const override { return m_format; }
  GLuint Name() const { return m_name; }
  bool SystemMemory() const { return m_name == 0; }

  HRESULT LockRect(uint32_t level, D3DLOCKED_RECT* locked, const D3DRECT* rect, uint32_t) override {
    const D3DRECT all = Whole(m_width, m_height);
    if (rect == nullptr) rect = &all;
    if (level != 0 || m_locked || !RectInside(*rect, m_width, m_height)) return D3DERR_INVALIDCALL;
    if (m_drawnInto) ReadBack();
    m_locked = true;
    m_rect = *rect;
    locked->Pitch = static_cast<int32_t>(Pitch());
    locked->pBits = m_pixels.data() + static_cast<size_t>(rect->y1) * Pitch() +
                    static_cast<size_t>(rect->x1) * m_bytesPerPixel;
    return D3D_OK;
  }
  HRESULT UnlockRect(uint32_t level) override {
    if (level != 0 || !m_locked) return D3DERR_INVALIDCALL;
    m_locked = false;
    Upload(m_rect);
    return D3D_OK;
  }
  HRESULT GetSurfaceLevel(uint32_t level, IDirect3DSurface9** surface) override;
  void PreLoad() override {}
  uint32_t SetPriority(uint32_t priority) override {
    const uint32_t old = m_priority;
    m_priority = priority;
    return old;
  }

  // The device drew or copied into the texture: locks read its pixels back from GL from now on.
  void MarkDrawnInto() { m_drawnInto = true; }
  // Takes the pixels of a system-memory texture of the same size and format, and uploads them.
  void CopyFrom(const GLTexture& source) {
    m_pixels = source.m_pixels;
    Upload(Whole(m_width, m_height));
  }

 private:
  ~GLTexture() override;

  size_t Pitch() const { return static_cast<size_t>(m_width) * m_bytesPerPixel; }

  void Upload(const D3DRECT& r);
  void ReadBack();

  GLObject* m_owner;
  GLuint m_name = 0;
  uint32_t m_width, m_height, m_format, m_bytesPerPixel;
  std::vector<uint8_t> m_pixels;
  bool m_locked = false;
  bool m_drawnInto = false;
  uint32_t m_priority = 0;
  D3DRECT m_rect = {0, 0, 0, 0};
};

// ---- Vertex buffers: a GL buffer with a copy of its bytes that locks hand out ----

class GLVertexBuffer final : public D3DRefCountedImpl<IDirect3DVertexBuffer9> {
 public:
  GLVertexBuffer(GLObject* owner, uint32_t length, bool dynamic)
      : m_owner(owner), m_id(++s_lastId), m_bytes(length), m_usage(dynamic ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW) {
    m_owner->AddRef();
    glGenBuffers(1, &m_name);
    glBindBuffer(GL_ARRAY_BUFFER, m_name);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(length), m_bytes.data(), m_usage);
  }
  uint32_t Length() const override { return static_cast<uint32_t>(m_bytes.size()); }
  GLuint Name() const { return m_name; }
  uint64_t Id() const { return m_id; }
  bool Locked() const { return m_locked; }

  HRESULT Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) override {
    *data = nullptr;
    const uint64_t length = m_bytes.size();
    if (size == 0 && offset <= length) size = static_cast<uint32_t>(length - offset);
    if (m_locked || size == 0 || static_cast<uint64_t>(offset) + size > length) return D3DERR_INVALIDCALL;
    m_locked = true;
    m_offset = offset;
    m_size = size;
    m_flags = flags;
    *data = m_bytes.data() + offset;
    return D3D_OK;
  }
  HRESULT Unlock() override {
    if (!m_locked) return D3DERR_INVALIDCALL;
    m_locked = false;
    m_owner->Context().MakeCurrent();
    glBindBuffer(GL_ARRAY_BUFFER, m_name);
    // A discarding lock gives the old storage up, so no draw still reading it holds this one.
    if (m_flags & D3DLOCK_DISCARD)
      glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(m_bytes.size()), nullptr, m_usage);
    glBufferSubData(GL_ARRAY_BUFFER, m_offset, m_size, m_bytes.data() + m_offset);
    return D3D_OK;
  }

 private:
  ~GLVertexBuffer() override;

  static inline uint64_t s_lastId = 0;
  GLObject* m_owner;
  GLuint m_name = 0;
  uint64_t m_id;
  std::vector<uint8_t> m_bytes;
  GLenum m_usage;
  bool m_locked = false;
  uint32_t m_offset = 0, m_size = 0, m_flags = 0;
};

GLTexture::~GLTexture() {
  m_owner->Context().MakeCurrent();
  if (m_name != 0) glDeleteTextures(1, &m_name);
  m_owner->Release();
}

void GLTexture::Upload(const D3DRECT& r) {
  if (m_name == 0) return;
  const uint32_t w = static_cast<uint32_t>(r.x2 - r.x1), h = static_cast<uint32_t>(r.y2 - r.y1);
  std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
  ToRGBA(m_pixels.data() + static_cast<size_t>(r.y1) * Pitch() + static_cast<size_t>(r.x1) * m_bytesPerPixel, Pitch(),
         m_bytesPerPixel, w, h, rgba.data());
  m_owner->Context().MakeCurrent();
  glActiveTexture(GL_TEXTURE0 + GLPipeline::kUploadUnit);
  glBindTexture(GL_TEXTURE_2D, m_name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexSubImage2D(GL_TEXTURE_2D, 0, r.x1, r.y1, static_cast<GLsizei>(w), static_cast<GLsizei>(h), GL_RGBA,
                  GL_UNSIGNED_BYTE, rgba.data());
}

void GLTexture::ReadBack() {
  std::vector<uint8_t> rgba(static_cast<size_t>(m_width) * m_height * 4);
  m_owner->Context().MakeCurrent();
  glActiveTexture(GL_TEXTURE0 + GLPipeline::kUploadUnit);
  glBindTexture(GL_TEXTURE_2D, m_name);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  FromRGBA(rgba.data(), m_width, m_height, m_bytesPerPixel, m_pixels.data(), Pitch());
}

HRESULT GLTexture::GetSurfaceLevel(uint32_t level, IDirect3DSurface9** surface) {
  *surface = nullptr;
  if (level != 0 || m_name == 0) return D3DERR_INVALIDCALL;
  *surface = new GLSurface(m_owner, this);
  return D3D_OK;
}

GLSurface::GLSurface(GLObject* owner, GLuint renderbuffer, uint32_t width, uint32_t height, uint32_t format,
                     uint32_t samples, bool lockable)
    : m_owner(owner),
      m_renderbuffer(renderbuffer),
      m_width(width),
      m_height(height),
      m_format(format),
      m_samples(samples),
      m_lockable(lockable) {
  m_owner->AddRef();
}

GLSurface::GLSurface(GLObject* owner, GLTexture* texture)
    : m_owner(owner), m_texture(texture), m_width(texture->Width()), m_height(texture->Height()),
      m_format(texture->Format()) {
  m_owner->AddRef();
  m_texture->AddRef();
}

GLSurface::~GLSurface() {
  m_owner->Context().MakeCurrent();
  if (m_renderbuffer != 0) glDeleteRenderbuffers(1, &m_renderbuffer);
  if (m_texture != nullptr) m_texture->Release();
  m_owner->Release();
}

void GLSurface::AttachTo(GLenum target, GLenum attachment) const {
  if (m_texture != nullptr) {
    glFramebufferTexture2D(target, attachment, GL_TEXTURE_2D, m_texture->Name(), 0);
  } else {
    glFramebufferRenderbuffer(target, attachment, GL_RENDERBUFFER, m_renderbuffer);
  }
}

HRESULT GLSurface::LockRect(D3DLOCKED_RECT* locked, const D3DRECT* rect, uint32_t) {
  const D3DRECT all = Whole(m_width, m_height);
  if (rect == nullptr) rect = &all;
  if (!m_lockable || m_samples != 0 || m_locked || !RectInside(*rect, m_width, m_height)) return D3DERR_INVALIDCALL;
  m_owner->Context().MakeCurrent();
  GLint previous = 0;
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previous);
  GLuint fbo = 0;
  glGenFramebuffers(1, &fbo);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
  AttachTo(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0);
  std::vector<uint8_t> rgba(static_cast<size_t>(m_width) * m_height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, static_cast<GLsizei>(m_width), static_cast<GLsizei>(m_height), GL_RGBA, GL_UNSIGNED_BYTE,
               rgba.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(previous));
  glDeleteFramebuffers(1, &fbo);
  m_lockCopy.resize(static_cast<size_t>(m_width) * m_height);
  FromRGBA(rgba.data(), m_width, m_height, 4, reinterpret_cast<uint8_t*>(m_lockCopy.data()),
           static_cast<size_t>(m_width) * 4);
  m_locked = true;
  locked->Pitch = static_cast<int32_t>(m_width * 4);
  locked->pBits = m_lockCopy.data() + static_cast<size_t>(rect->y1) * m_width + static_cast<size_t>(rect->x1);
  return D3D_OK;
}

HRESULT GLSurface::UnlockRect() {
  if (!m_locked) return D3DERR_INVALIDCALL;
  m_locked = false;
  return D3D_OK;
}

GLVertexBuffer::~GLVertexBuffer() {
  m_owner->Context().MakeCurrent();
  glDeleteBuffers(1, &m_name);
  m_owner->Release();
}

template <typename Object>
void HoldObject(Object*& slot, std::type_identity_t<Object>* object) {
  if (object != nullptr) object->AddRef();
  if (slot != nullptr) slot->Release();
  slot = object;
}

// ---- The device ----

class GLDevice final : public D3DRefCountedImpl<IDirect3DDevice9> {
 public:
  explicit GLDevice(GLObject* object) : m_object(object) {
    m_object->AddRef();
    glGenFramebuffers(1, &m_mainFbo);
    glGenFramebuffers(1, &m_resolveFbo);
    glGenFramebuffers(1, &m_targetFbo);
    glGenFramebuffers(1, &m_readFbo);
    glGenFramebuffers(1, &m_drawFbo);
    glDisable(GL_DITHER);
    m_pipeline = new GLPipeline();
  }


  // Makes the back buffer for the parameters; false when GL cannot.
  bool MakeBackBuffer(const D3DPRESENT_PARAMETERS& params) {
    const uint32_t w = params.BackBufferWidth, h = params.BackBufferHeight;
    if (w == 0 || h == 0 || w > m_object->MaxSize() || h > m_object->MaxSize() ||
        !m_object->SamplesSupported(params.MultiSampleType))
      return false;
    const GLsizei samples = static_cast<GLsizei>(params.MultiSampleType);
    const uint32_t depthFormat = params.AutoDepthStencilFormat == D3DFMT_D16 ? D3DFMT_D16 : D3DFMT_D24S8;
    GLuint colour = 0, depth = 0;
    glGenRenderbuffers(1, &colour);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, static_cast<GLsizei>(w), static_cast<GLsizei>(h));
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples,
                                     depthFormat == D3DFMT_D16 ? GL_DEPTH_COMPONENT16 : GL_DEPTH24_STENCIL8,
                                     static_cast<GLsizei>(w), static_cast<GLsizei>(h));
    GLuint resolve = 0;
    if (samples > 0) {
      glGenRenderbuffers(1, &resolve);
      glBindRenderbuffer(GL_RENDERBUFFER, resolve);
      glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, static_cast<GLsizei>(w), static_cast<GLsizei>(h));
      glBindFramebuffer(GL_FRAMEBUFFER, m_resolveFbo);
      glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, resolve);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, m_mainFbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    Attach(GL_FRAMEBUFFER, depth, depthFormat);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE && glGetError() == GL_NO_ERROR;

    DropBackBuffer();
    m_params = params;
    m_backBuffer = new GLSurface(m_object, colour, w, h, params.BackBufferFormat, params.MultiSampleType, false);
    m_depthBuffer = new GLSurface(m_object, depth, w, h, depthFormat, params.MultiSampleType, false);
    m_resolveRb = resolve;
    // The new back buffer is the only target, and the viewport covers it.
    Hold(m_targets[0], m_backBuffer);
    for (int i = 1; i < 4; ++i) Hold(m_targets[i], nullptr);
    Hold(m_depthTarget, m_depthBuffer);
    BindTargets();
    m_viewport = {0, 0, w, h, 0.0f, 1.0f};
    ApplyViewport();
    if (m_object->Context().Window() != nullptr)
      SDL_GL_SetSwapInterval(params.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
    return complete;
  }

  HRESULT TestCooperativeLevel() override { return D3D_OK; }

  HRESULT Reset(D3DPRESENT_PARAMETERS* params) override {
    if (m_inScene) return D3DERR_INVALIDCALL;
    m_object->Context().MakeCurrent();
    // Every state goes back to its default, and nothing stays bound.
    m_pipeline->Reset();
    ReleaseBindings();
    m_fvf = 0;
    const D3DPRESENT_PARAMETERS old = m_params;
    if (MakeBackBuffer(*params)) return D3D_OK;
    MakeBackBuffer(old);
    return D3DERR_INVALIDCALL;
  }

  HRESULT GetDeviceCaps(D3DCAPS9* caps) override {
    *caps = m_object->Caps();
    return D3D_OK;
  }

  HRESULT BeginScene() override {
    if (m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = true;
    return D3D_OK;
  }
  HRESULT EndScene() override {
    if (!m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = false;
    return D3D_OK;
  }

  HRESULT Present() override {
    SDL_Window* window = m_object->Context().Window();
    if (window == nullptr) {
      glFlush();
      return D3D_OK;
    }
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    const GLint w = static_cast<GLint>(m_params.BackBufferWidth), h = static_cast<GLint>(m_params.BackBufferHeight);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, ResolvedFbo());
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    // Row 0 of the back buffer is the top of the window.
    glBlitFramebuffer(0, 0, w, h, 0, height, width, 0, GL_COLOR_BUFFER_BIT,
                      width == w && height == h ? GL_NEAREST : GL_LINEAR);
    SDL_GL_SwapWindow(window);
    BindTargets();
    return D3D_OK;
  }

  HRESULT Clear(uint32_t count, const D3DRECT* rects, uint32_t flags, uint32_t colour, float z,
                uint32_t stencil) override {
    if (count != 0 || rects != nullptr) return D3DERR_INVALIDCALL;
    GLbitfield mask = 0;
    GLboolean colourMask[4];
    GLboolean depthMask = GL_TRUE;
    GLint stencilMask = 0;
    glGetBooleanv(GL_COLOR_WRITEMASK, colourMask);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
    glGetIntegerv(GL_STENCIL_WRITEMASK, &stencilMask);
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    if (flags & D3DCLEAR_TARGET) {
      mask |= GL_COLOR_BUFFER_BIT;
      glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
      glClearColor(static_cast<float>((colour >> 16) & 0xFF) / 255.0f, static_cast<float>((colour >> 8) & 0xFF) / 255.0f,
                   static_cast<float>(colour & 0xFF) / 255.0f, static_cast<float>(colour >> 24) / 255.0f);
    }
    if (flags & D3DCLEAR_ZBUFFER) {
      mask |= GL_DEPTH_BUFFER_BIT;
      glDepthMask(GL_TRUE);
      glClearDepth(z);
    }
    if ((flags & D3DCLEAR_STENCIL) && m_depthTarget != nullptr && AsGL(m_depthTarget)->HasStencil()) {
      mask |= GL_STENCIL_BUFFER_BIT;
      glStencilMask(0xFF);
      glClearStencil(static_cast<GLint>(stencil));
    }
    // Only the viewport is cleared.
    glEnable(GL_SCISSOR_TEST);
    glScissor(static_cast<GLint>(m_viewport.X), static_cast<GLint>(m_viewport.Y), static_cast<GLsizei>(m_viewport.Width),
              static_cast<GLsizei>(m_viewport.Height));
    if (mask != 0) glClear(mask);
    if (!scissor) glDisable(GL_SCISSOR_TEST);
    glColorMask(colourMask[0], colourMask[1], colourMask[2], colourMask[3]);
    glDepthMask(depthMask);
    glStencilMask(static_cast<GLuint>(stencilMask));
    return D3D_OK;
  }

  HRESULT SetViewport(const D3DVIEWPORT9* viewport) override {
    const uint64_t right = static_cast<uint64_t>(viewport->X) + viewport->Width;
    const uint64_t bottom = static_cast<uint64_t>(viewport->Y) + viewport->Height;
    if (m_targets[0] == nullptr || right > m_targets[0]->Width() || bottom > m_targets[0]->Height())
      return D3DERR_INVALIDCALL;
    m_viewport = *viewport;
    ApplyViewport();
    return D3D_OK;
  }
  HRESULT GetViewport(D3DVIEWPORT9* viewport) override {
    *viewport = m_viewport;
    return D3D_OK;
  }

  HRESULT SetTransform(uint32_t slot, const D3DMATRIX* matrix) override {
    const int index = slot == D3DTS_VIEW ? 0 : slot == D3DTS_PROJECTION ? 1 : slot == D3DTS_WORLD ? 2 : -1;
    if (index < 0) return D3DERR_INVALIDCALL;
    m_pipeline->SetTransform(index, *matrix);
    return D3D_OK;
  }

  HRESULT GetRenderTarget(uint32_t index, IDirect3DSurface9** surface) override {
    *surface = nullptr;
    if (index >= 4) return D3DERR_INVALIDCALL;
    if (m_targets[index] == nullptr) return D3DERR_NOTFOUND;
    m_targets[index]->AddRef();
    *surface = m_targets[index];
    return D3D_OK;
  }
  HRESULT SetRenderTarget(uint32_t index, IDirect3DSurface9* surface) override {
    if (index >= 4 || (index == 0 && surface == nullptr)) return D3DERR_INVALIDCALL;
    Hold(m_targets[index], surface);
    BindTargets();
    if (index == 0) {
      m_viewport = {0, 0, surface->Width(), surface->Height(), 0.0f, 1.0f};
      ApplyViewport();
    }
    return D3D_OK;
  }
  HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override {
    *surface = m_depthTarget;
    if (m_depthTarget == nullptr) return D3DERR_NOTFOUND;
    m_depthTarget->AddRef();
    return D3D_OK;
  }
  HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) override {
    Hold(m_depthTarget, surface);
    BindTargets();
    return D3D_OK;
  }

  HRESULT SetRenderState(uint32_t state, uint32_t value) override {
    return m_pipeline->SetRenderState(state, value) ? D3D_OK : D3DERR_INVALIDCALL;
  }
  HRESULT SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value) override {
    return m_pipeline->SetSamplerState(sampler, type, value) ? D3D_OK : D3DERR_INVALIDCALL;
  }
  HRESULT SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) override {
    return m_pipeline->SetTextureStageState(stage, type, value) ? D3D_OK : D3DERR_INVALIDCALL;
  }
  HRESULT SetLight(uint32_t index, const D3DLIGHT9* light) override {
    return light != nullptr && m_pipeline->SetLight(index, *light) ? D3D_OK : D3DERR_INVALIDCALL;
  }
  HRESULT LightEnable(uint32_t index, int32_t enable) override {
    return m_pipeline->LightEnable(index, enable != 0) ? D3D_OK : D3DERR_INVALIDCALL;
  }
  HRESULT SetMaterial(const D3DMATERIAL9* material) override {
    if (material == nullptr) return D3DERR_INVALIDCALL;
    m_pipeline->SetMaterial(*material);
    return D3D_OK;
  }

  HRESULT CreateTexture(uint32_t width, uint32_t height, uint32_t, uint32_t usage, uint32_t format, uint32_t pool,
                        IDirect3DTexture9** texture) override {
    *texture = nullptr;
    const D3DCAPS9& caps = m_object->Caps();
    const bool renderTarget = (usage & D3DUSAGE_RENDERTARGET) != 0;
    if (width == 0 || height == 0 || width > caps.MaxTextureWidth || height > caps.MaxTextureHeight ||
        (!IsColourFormat(format) && format != D3DFMT_A4R4G4B4) || (renderTarget && !IsColourFormat(format)) ||
        (renderTarget && pool == D3DPOOL_SYSTEMMEM))
      return D3DERR_INVALIDCALL;
    m_object->Context().MakeCurrent();
    *texture = new GLTexture(m_object, width, height, format, pool);
    return D3D_OK;
  }
  HRESULT UpdateTexture(IDirect3DTexture9* source, IDirect3DTexture9* destination) override {
    GLTexture* from = static_cast<GLTexture*>(source);
    GLTexture* to = static_cast<GLTexture*>(destination);
    if (from == nullptr || to == nullptr || !from->SystemMemory() || to->SystemMemory() ||
        from->Width() != to->Width() || from->Height() != to->Height() || from->Format() != to->Format())
      return D3DERR_INVALIDCALL;
    to->CopyFrom(*from);
    BindTargets();
    return D3D_OK;
  }
  HRESULT CreateRenderTarget(uint32_t width, uint32_t height, uint32_t format, uint32_t samples, uint32_t,
                             int32_t lockable, IDirect3DSurface9** surface) override {
    *surface = nullptr;
    if (width == 0 || height == 0 || width > m_object->MaxSize() || height > m_object->MaxSize() ||
        !IsColourFormat(format) || !m_object->SamplesSupported(samples) || (lockable != 0 && samples != 0))
      return D3DERR_INVALIDCALL;
    m_object->Context().MakeCurrent();
    GLSurface* made = new GLSurface(m_object, NewRenderbuffer(samples, GL_RGBA8, width, height), width, height,
                                    format, samples, lockable != 0);
    // Cleared to 0, as textures are.
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_drawFbo);
    made->AttachTo(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0);
    const BlitState saved = SaveBlitState();
    const GLfloat zero[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glClearBufferfv(GL_COLOR, 0, zero);
    RestoreBlitState(saved);
    glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, 0);
    BindTargets();
    *surface = made;
    return D3D_OK;
  }
  HRESULT CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format, uint32_t samples, uint32_t,
                                    int32_t, IDirect3DSurface9** surface) override {
    *surface = nullptr;
    if (width == 0 || height == 0 || width > m_object->MaxSize() || height > m_object->MaxSize() ||
        (format != D3DFMT_D24S8 && format != D3DFMT_D16) || !m_object->SamplesSupported(samples))
      return D3DERR_INVALIDCALL;
    m_object->Context().MakeCurrent();
    const GLenum internal = format == D3DFMT_D16 ? GL_DEPTH_COMPONENT16 : GL_DEPTH24_STENCIL8;
    *surface = new GLSurface(m_object, NewRenderbuffer(samples, internal, width, height), width, height, format,
                             samples, false);
    return D3D_OK;
  }
  HRESULT GetBackBuffer(uint32_t swapChain, uint32_t index, uint32_t type, IDirect3DSurface9** surface) override {
    *surface = nullptr;
    if (swapChain != 0 || index != 0 || type != D3DBACKBUFFER_TYPE_MONO || m_backBuffer == nullptr)
      return D3DERR_INVALIDCALL;
    m_backBuffer->AddRef();
    *surface = m_backBuffer;
    return D3D_OK;
  }
  HRESULT StretchRect(IDirect3DSurface9* source, const D3DRECT* sourceRect, IDirect3DSurface9* destination,
                      const D3DRECT* destinationRect, uint32_t filter) override {
    GLSurface* from = AsGL(source);
    GLSurface* to = AsGL(destination);
    if (from == nullptr || to == nullptr) return D3DERR_INVALIDCALL;
    const D3DRECT s = sourceRect != nullptr ? *sourceRect : Whole(from->Width(), from->Height());
    const D3DRECT d = destinationRect != nullptr ? *destinationRect : Whole(to->Width(), to->Height());
    const bool sameSize = s.x2 - s.x1 == d.x2 - d.x1 && s.y2 - s.y1 == d.y2 - d.y1;
    if (!RectInside(s, from->Width(), from->Height()) || !RectInside(d, to->Width(), to->Height()) ||
        from->IsDepth() || to->IsDepth() || to->Samples() != 0 || from->SameImage(to) ||
        (from->Samples() != 0 && !sameSize))
      return D3DERR_INVALIDCALL;
    m_object->Context().MakeCurrent();
    while (glGetError() != GL_NO_ERROR) {
    }
    const GLenum glFilter = !sameSize && filter == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST;
    const BlitState saved = SaveBlitState();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_readFbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_drawFbo);
    from->AttachTo(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0);
    to->AttachTo(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0);
    glBlitFramebuffer(s.x1, s.y1, s.x2, s.y2, d.x1, d.y1, d.x2, d.y2, GL_COLOR_BUFFER_BIT, glFilter);
    glFramebufferRenderbuffer(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, 0);
    glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, 0);
    RestoreBlitState(saved);
    if (to->Texture() != nullptr) to->Texture()->MarkDrawnInto();
    BindTargets();
    return glGetError() == GL_NO_ERROR ? D3D_OK : D3DERR_INVALIDCALL;
  }
  HRESULT SetTexture(uint32_t stage, IDirect3DTexture9* texture) override {
    if (stage >= kD3DTextureStages ||
        (texture != nullptr && static_cast<GLTexture*>(texture)->SystemMemory()))
      return D3DERR_INVALIDCALL;
    m_pipeline->SetTexture(stage, texture != nullptr ? static_cast<GLTexture*>(texture)->Name() : 0);
    HoldObject(m_textures[stage], texture);
    return D3D_OK;
  }

  HRESULT CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t, uint32_t,
                             IDirect3DVertexBuffer9** buffer) override {
    *buffer = nullptr;
    if (length == 0) return D3DERR_INVALIDCALL;
    if (length > kD3DMaxVertexBufferBytes) return D3DERR_OUTOFVIDEOMEMORY;
    m_object->Context().MakeCurrent();
    *buffer = new GLVertexBuffer(m_object, length, (usage & D3DUSAGE_DYNAMIC) != 0);
    return D3D_OK;
  }
  HRESULT SetStreamSource(uint32_t stream, IDirect3DVertexBuffer9* buffer, uint32_t offset, uint32_t stride) override {
    if (stream != 0) return D3DERR_INVALIDCALL;
    HoldObject(m_stream, buffer);
    m_streamOffset = offset;
    m_streamStride = stride;
    return D3D_OK;
  }
  HRESULT SetFVF(uint32_t fvf) override {
    m_fvf = fvf;
    return D3D_OK;
  }
  HRESULT DrawPrimitive(uint32_t type, uint32_t start, uint32_t count) override {
    static const GLenum kModes[] = {GL_POINTS, GL_LINES, GL_LINE_STRIP, GL_TRIANGLES, GL_TRIANGLE_STRIP,
                                    GL_TRIANGLE_FAN};
    const uint64_t vertices = D3D_PrimitiveVertices(type, count);
    if (count == 0) return type >= D3DPT_POINTLIST && type <= D3DPT_TRIANGLEFAN ? D3D_OK : D3DERR_INVALIDCALL;
    GLVertexBuffer* stream = static_cast<GLVertexBuffer*>(m_stream);
    const uint32_t size = D3D_FVFSize(m_fvf);
    if (vertices == 0 || stream == nullptr || stream->Locked() || size == 0 || m_streamStride < size)
      return D3DERR_INVALIDCALL;
    // The last vertex must end inside the buffer (checked so that nothing overflows).
    const uint64_t length = stream->Length();
    const uint64_t last = start + vertices - 1;
    if (m_streamOffset > length || last > (length - m_streamOffset) / m_streamStride ||
        m_streamOffset + last * m_streamStride + size > length)
      return D3DERR_INVALIDCALL;
    m_object->Context().MakeCurrent();
    if (!m_pipeline->Prepare(m_fvf, stream->Name(), stream->Id(), m_streamOffset, m_streamStride, m_viewport.Width,
                             m_viewport.Height))
      return D3DERR_INVALIDCALL;
    glDrawArrays(kModes[type - 1], static_cast<GLint>(start), static_cast<GLsizei>(vertices));
    return D3D_OK;
  }

  bool ReadBackBuffer(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t* pixels) {
    const int64_t w = m_params.BackBufferWidth, h = m_params.BackBufferHeight;
    if (x < 0 || y < 0 || width <= 0 || height <= 0 || x + static_cast<int64_t>(width) > w ||
        y + static_cast<int64_t>(height) > h)
      return false;
    m_object->Context().MakeCurrent();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, ResolvedFbo());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    FromRGBA(rgba.data(), static_cast<uint32_t>(width), static_cast<uint32_t>(height), 4,
             reinterpret_cast<uint8_t*>(pixels), static_cast<size_t>(width) * 4);
    BindTargets();
    return glGetError() == GL_NO_ERROR;
  }

 private:
  ~GLDevice() override {
    m_object->Context().MakeCurrent();
    ReleaseBindings();
    delete m_pipeline;
    for (IDirect3DSurface9*& target : m_targets) Hold(target, nullptr);
    Hold(m_depthTarget, nullptr);
    DropBackBuffer();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &m_mainFbo);
    glDeleteFramebuffers(1, &m_resolveFbo);
    glDeleteFramebuffers(1, &m_targetFbo);
    glDeleteFramebuffers(1, &m_readFbo);
    glDeleteFramebuffers(1, &m_drawFbo);
    m_object->Release();
  }

  static void Hold(IDirect3DSurface9*& slot, IDirect3DSurface9* surface) { HoldObject(slot, surface); }

  static GLuint NewRenderbuffer(uint32_t samples, GLenum format, uint32_t width, uint32_t height) {
    GLuint renderbuffer = 0;
    glGenRenderbuffers(1, &renderbuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, static_cast<GLsizei>(samples), format,
                                     static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    return renderbuffer;
  }

  // The pipeline's GL state that would limit a copy or a clear of a whole image: the scissor
  // test and the colour mask. Saved, opened up, and put back after.
  struct BlitState {
    GLboolean scissor;
    GLboolean colourMask[4];
  };
  static BlitState SaveBlitState() {
    BlitState state;
    state.scissor = glIsEnabled(GL_SCISSOR_TEST);
    glGetBooleanv(GL_COLOR_WRITEMASK, state.colourMask);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    return state;
  }
  static void RestoreBlitState(const BlitState& state) {
    if (state.scissor) glEnable(GL_SCISSOR_TEST);
    glColorMask(state.colourMask[0], state.colourMask[1], state.colourMask[2], state.colourMask[3]);
  }

  // Unbinds every texture and the stream.
  void ReleaseBindings() {
    for (uint32_t stage = 0; stage < kD3DTextureStages; ++stage) {
      m_pipeline->SetTexture(stage, 0);
      HoldObject(m_textures[stage], nullptr);
    }
    HoldObject(m_stream, nullptr);
  }

  static void Attach(GLenum target, GLuint depth, uint32_t depthFormat) {
    if (depthFormat == D3DFMT_D24S8) {
      glFramebufferRenderbuffer(target, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);
    } else {
      glFramebufferRenderbuffer(target, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
      glFramebufferRenderbuffer(target, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    }
  }

  void DropBackBuffer() {
    if (m_backBuffer != nullptr) m_backBuffer->Release();
    if (m_depthBuffer != nullptr) m_depthBuffer->Release();
    m_backBuffer = m_depthBuffer = nullptr;
    if (m_resolveRb != 0) glDeleteRenderbuffers(1, &m_resolveRb);
    m_resolveRb = 0;
  }

  // The framebuffer holding the finished back-buffer image: the main one, or its resolved copy.
  GLuint ResolvedFbo() {
    if (m_params.MultiSampleType == 0) return m_mainFbo;
    const GLint w = static_cast<GLint>(m_params.BackBufferWidth), h = static_cast<GLint>(m_params.BackBufferHeight);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_mainFbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_resolveFbo);
    glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    return m_resolveFbo;
  }

  // Binds the framebuffer for the current targets: the back buffer's own, or one made up of the
  // chosen surfaces. Textures that become targets are marked as drawn into.
  void BindTargets() {
    const bool backBuffer = m_targets[0] == m_backBuffer && m_targets[1] == nullptr && m_targets[2] == nullptr &&
                            m_targets[3] == nullptr && m_depthTarget == m_depthBuffer;
    if (backBuffer) {
      // The other framebuffer lets go of the surfaces it held, so their storage can go.
      if (m_targetFboUsed) {
        glBindFramebuffer(GL_FRAMEBUFFER, m_targetFbo);
        for (GLenum i = 0; i < 4; ++i)
          glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, GL_RENDERBUFFER, 0);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
        m_targetFboUsed = false;
      }
      glBindFramebuffer(GL_FRAMEBUFFER, m_mainFbo);
      return;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, m_targetFbo);
    m_targetFboUsed = true;
    GLenum buffers[4];
    for (GLenum i = 0; i < 4; ++i) {
      GLSurface* target = AsGL(m_targets[i]);
      if (target != nullptr) {
        target->AttachTo(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i);
        if (target->Texture() != nullptr) target->Texture()->MarkDrawnInto();
      } else {
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, GL_RENDERBUFFER, 0);
      }
      buffers[i] = target != nullptr ? GL_COLOR_ATTACHMENT0 + i : GL_NONE;
    }
    glDrawBuffers(4, buffers);
    if (m_depthTarget != nullptr) {
      Attach(GL_FRAMEBUFFER, AsGL(m_depthTarget)->Renderbuffer(), m_depthTarget->Format());
    } else {
      glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
    }
  }

  void ApplyViewport() {
    glViewport(static_cast<GLint>(m_viewport.X), static_cast<GLint>(m_viewport.Y),
               static_cast<GLsizei>(m_viewport.Width), static_cast<GLsizei>(m_viewport.Height));
    glDepthRange(m_viewport.MinZ, m_viewport.MaxZ);
  }

  GLObject* m_object;
  D3DPRESENT_PARAMETERS m_params;
  GLuint m_mainFbo = 0, m_resolveFbo = 0, m_targetFbo = 0;
  GLuint m_readFbo = 0, m_drawFbo = 0;  // the two sides of StretchRect
  bool m_targetFboUsed = false;         // m_targetFbo holds attachments
  GLuint m_resolveRb = 0;
  GLSurface* m_backBuffer = nullptr;
  GLSurface* m_depthBuffer = nullptr;
  IDirect3DSurface9* m_targets[4] = {};
  IDirect3DSurface9* m_depthTarget = nullptr;
  D3DVIEWPORT9 m_viewport;
  GLPipeline* m_pipeline = nullptr;
  IDirect3DTexture9* m_textures[kD3DTextureStages] = {};
  IDirect3DVertexBuffer9* m_stream = nullptr;
  uint32_t m_streamOffset = 0, m_streamStride = 0;
  uint32_t m_fvf = 0;
  bool m_inScene = false;

  friend class GLObject;
};

HRESULT GLObject::CreateDevice(uint32_t adapter, uint32_t, SDL_Window*, uint32_t, D3DPRESENT_PARAMETERS* params,
                               IDirect3DDevice9** device) {
  *device = nullptr;
  if (adapter != 0) return D3DERR_INVALIDCALL;
  m_context.MakeCurrent();
  GLDevice* made = new GLDevice(this);
  if (!made->MakeBackBuffer(*params)) {
    made->Release();
    return D3DERR_NOTAVAILABLE;
  }
  *device = made;
  return D3D_OK;
}

// ---- Entry points ----

bool GLLoadWindowManager() { return false; }

IDirect3D9* GLCreate9(uint32_t, SDL_Window* window) {
  GLObject* object = new GLObject(window);
  if (object->Valid()) return object;
  object->Release();
  return nullptr;
}

HRESULT GLCreate9Ex(uint32_t sdk, SDL_Window* window, IDirect3D9** object) {
  *object = GLCreate9(sdk, window);
  return *object != nullptr ? D3D_OK : D3DERR_NOTAVAILABLE;
}

const D3D_Backend kGLBackend = {"opengl", &GLLoadWindowManager, &GLCreate9, &GLCreate9Ex};

}  // namespace

const D3D_Backend* GL_D3DBackend() { return &kGLBackend; }

const char kGLClipFromDevice[] =
    "uniform vec2 u_pixelOffset;\n"
    "vec4 ClipFromDevice(vec4 clip) {\n"
    "  return vec4(clip.x + u_pixelOffset.x * clip.w, -clip.y + u_pixelOffset.y * clip.w,\n"
    "              2.0 * clip.z - clip.w, clip.w);\n"
    "}\n";

bool GL_ReadBackBuffer(IDirect3DDevice9* device, int32_t x, int32_t y, int32_t width, int32_t height,
                       uint32_t* pixels) {
  GLDevice* gl = dynamic_cast<GLDevice*>(device);
  return gl != nullptr && gl->ReadBackBuffer(x, y, width, height, pixels);
}
