#include "graphics/Graphics_HardwareTexture.h"

#include <algorithm>
#include <cstring>

#include "base/VCL.h"
#include "debug/Debug_Overlay.h"
#include "debug/Debug_State.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_ImageFile.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/TBitmap.h"
#include "platform/MemoryManager.h"

HardwareTextureState g_HardwareTextures;
RenderTargetStack g_RenderTargets;

namespace {

constexpr int32_t kMaxPlainSize = 4096;
constexpr int32_t kMaxRecordSize = 8192;  // what the packed size holds
constexpr uint32_t kRawMagic = 0x20574152;  // "RAW "
constexpr int32_t kResourceTexture = 3;

void ReleaseSurface(IDirect3DSurface9*& surface) {
  if (surface != nullptr) surface->Release();
  surface = nullptr;
}

void ReleaseLevel(RenderTargetLevel& level) {
  for (IDirect3DSurface9*& surface : level.surfaces) ReleaseSurface(surface);
  ReleaseSurface(level.depthSurface);
  for (HardwareTexture*& texture : level.textures) texture = nullptr;
}

int32_t PowerOfTwo(int32_t size) {
  int32_t p = 1;
  while (p < size) {
    p *= 2;
    if (p > kMaxPlainSize) return kMaxPlainSize;
  }
  return p;
}

uint32_t ReadU32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// How pixels change on their way from a source into the pixel copy or the device.
enum class Convert {
  None,
  SwapRedBlue,     // bytes R, G, B, A <-> B, G, R, A
  ReverseNibbles,  // 16-bit values: nibble order reversed
};

// Copies `rows` rows of `columns` pixels of `bytesPerPixel` bytes.
void CopyRows(uint8_t* to, size_t toPitch, const uint8_t* from, size_t fromPitch, int32_t columns, int32_t rows,
              uint32_t bytesPerPixel, Convert convert) {
  const size_t rowBytes = static_cast<size_t>(columns) * bytesPerPixel;
  for (int32_t y = 0; y < rows; ++y, to += toPitch, from += fromPitch) {
    switch (convert) {
      case Convert::None: std::memcpy(to, from, rowBytes); break;
      case Convert::SwapRedBlue:
        for (size_t i = 0; i < rowBytes; i += 4) {
          to[i] = from[i + 2];
          to[i + 1] = from[i + 1];
          to[i + 2] = from[i];
          to[i + 3] = from[i + 3];
        }
        break;
      case Convert::ReverseNibbles:
        for (size_t i = 0; i < rowBytes; i += 2) {
          uint16_t v;
          std::memcpy(&v, from + i, 2);
          v = static_cast<uint16_t>((v & 0xF) << 12 | (v & 0xF0) << 4 | (v & 0xF00) >> 4 | v >> 12);
          std::memcpy(to + i, &v, 2);
        }
        break;
    }
  }
}

// Bytes per pixel of the texture's pixels: 2 for a 16-bit texture, else 4.
uint32_t PixelBytes(const HardwareTexture* t) {
  if (t->texture != nullptr) return t->texture->Format() == D3DFMT_A4R4G4B4 ? 2 : 4;
  return t->format == kTextureFormatARGB4444 ? 2 : 4;
}

// Width x height source pixels (rows width pixels apart) into the pixel copy, cut to the texture.
void StorePixels(HardwareTexture* t, const uint8_t* pixels, int32_t width, int32_t height, Convert convert) {
  const uint32_t bpp = PixelBytes(t);
  const int32_t columns = std::min(width, HardwareTexture_Width(t));
  const int32_t rows = std::min(height, HardwareTexture_Height(t));
  if (columns <= 0 || rows <= 0) return;
  CopyRows(t->pixelCopy, static_cast<size_t>(HardwareTexture_Width(t)) * bpp, pixels, static_cast<size_t>(width) * bpp,
           columns, rows, bpp, convert);
}

// A system-memory texture of the texture's size and format, for filling a default-pool texture.
IDirect3DTexture9* MakeStaging(const HardwareTexture* t) {
  IDirect3DTexture9* staging = nullptr;
  const uint32_t format = PixelBytes(t) == 2 ? D3DFMT_A4R4G4B4 : D3DFMT_A8R8G8B8;
  if (D3D_Failed(g_GraphicsDevice.device->CreateTexture(static_cast<uint32_t>(HardwareTexture_Width(t)),
                                                        static_cast<uint32_t>(HardwareTexture_Height(t)), 1, 0, format,
                                                        D3DPOOL_SYSTEMMEM, &staging))) {
    DebugConsole->Output("Failed CreateTexture on SystemMem");
    return nullptr;
  }
  return staging;
}

// Fills the whole of a system-memory texture, then copies it into the texture.
bool WriteThroughStaging(HardwareTexture* t, const uint8_t* source, size_t sourcePitch, Convert convert,
                         uint32_t lockFlags) {
  IDirect3DTexture9* staging = MakeStaging(t);
  if (staging == nullptr) return false;
  D3DLOCKED_RECT locked;
  bool ok = !D3D_Failed(staging->LockRect(0, &locked, nullptr, lockFlags));
  if (ok) {
    CopyRows(static_cast<uint8_t*>(locked.pBits), static_cast<size_t>(locked.Pitch), source, sourcePitch,
             HardwareTexture_Width(t), HardwareTexture_Height(t), PixelBytes(t), convert);
    staging->UnlockRect(0);
    ok = !D3D_Failed(g_GraphicsDevice.device->UpdateTexture(staging, t->texture));
  }
  staging->Release();
  return ok;
}

// Writes the whole of level 0 of the device texture from `source` (rows `sourcePitch` apart).
bool WriteLevel(HardwareTexture* t, int32_t level, const uint8_t* source, size_t sourcePitch, Convert convert) {
  if (g_GraphicsDevice.device == nullptr || t->texture == nullptr || level != 0) return false;
  if ((t->flags & kTextureManagedPool) == 0) return WriteThroughStaging(t, source, sourcePitch, convert, 0);
  D3DLOCKED_RECT locked;
  if (D3D_Failed(t->texture->LockRect(0, &locked, nullptr, 0))) return false;
  CopyRows(static_cast<uint8_t*>(locked.pBits), static_cast<size_t>(locked.Pitch), source, sourcePitch,
           HardwareTexture_Width(t), HardwareTexture_Height(t), PixelBytes(t), convert);
  t->texture->UnlockRect(0);
  return true;
}

size_t CopyPitch(const HardwareTexture* t) { return static_cast<size_t>(HardwareTexture_Width(t)) * PixelBytes(t); }

HardwareTexture* NewRecord(int32_t code, int32_t width, int32_t height, int32_t levels) {
  HardwareTexture* t = new HardwareTexture;
  t->format = code;
  t->packedSize = static_cast<uint32_t>(width - 1) | static_cast<uint32_t>(height - 1) << 13 |
                  (static_cast<uint32_t>(levels - 1) & 0x3F) << 26;
  t->next = g_HardwareTextures.list;
  g_HardwareTextures.list = t;
  return t;
}

void Unlink(HardwareTexture* t) {
  for (HardwareTexture** link = &g_HardwareTextures.list; *link != nullptr; link = &(*link)->next) {
    if (*link == t) {
      *link = t->next;
      return;
    }
  }
}

uint8_t* NewBlock(int32_t width, int32_t height, bool clear) {
  return static_cast<uint8_t*>(
      MemoryManager::Alloc(static_cast<uint32_t>(width) * static_cast<uint32_t>(height) * 4, __FILE__, __LINE__, clear));
}

// Copies rows of a locked area into a block of 32-bit words, widening 16-bit pixels.
void ReadRows(uint8_t* block, size_t blockPitch, const D3DLOCKED_RECT& locked, int32_t columns, int32_t rows,
              bool sixteenBits) {
  const uint8_t* from = static_cast<const uint8_t*>(locked.pBits);
  for (int32_t y = 0; y < rows; ++y, from += locked.Pitch, block += blockPitch) {
    if (!sixteenBits) {
      std::memcpy(block, from, static_cast<size_t>(columns) * 4);
      continue;
    }
    for (int32_t x = 0; x < columns; ++x) {
      uint16_t v;
      std::memcpy(&v, from + x * 2, 2);
      const uint32_t word = ((v >> 12) & 15) * 0x11000000u | ((v >> 8) & 15) * 0x110000u | ((v >> 4) & 15) * 0x1100u |
                            (v & 15) * 0x11u;
      std::memcpy(block + x * 4, &word, 4);
    }
  }
}

// Copies the rectangle `from` of a surface into a new lockable target of at least the given
// size and reads its top-left `columns` x `rows` into `block`. False when any step fails.
bool ReadThroughTarget(IDirect3DSurface9* source, const D3DRECT& from, uint32_t targetWidth, uint32_t targetHeight,
                       uint8_t* block, size_t blockPitch) {
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  IDirect3DSurface9* target = nullptr;
  if (D3D_Failed(device->CreateRenderTarget(targetWidth, targetHeight, D3DFMT_A8R8G8B8, 0, 0, 1, &target)))
    return false;
  const D3DRECT to = {0, 0, from.x2 - from.x1, from.y2 - from.y1};
  bool ok = !D3D_Failed(device->StretchRect(source, &from, target, &to, D3DTEXF_LINEAR));
  D3DLOCKED_RECT locked;
  if (ok) ok = !D3D_Failed(target->LockRect(&locked, nullptr, D3DLOCK_READONLY));
  if (ok) {
    ReadRows(block, blockPitch, locked, to.x2, to.y2, false);
    target->UnlockRect();
  }
  target->Release();
  return ok;
}

bool DisplayModeReadable() {
  D3DDISPLAYMODE mode;
  return g_GraphicsDevice.d3d != nullptr && !D3D_Failed(g_GraphicsDevice.d3d->GetAdapterDisplayMode(0, &mode));
}

// The record of an image file whose pixels could not be made into a texture: it wraps nothing.
HardwareTexture* EmptyImageRecord(TextureInfo* info, int32_t code) {
  *info = TextureInfo{};
  info->format = code;
  info->resourceType = -1;
  info->imageFileFormat = code;
  return NewRecord(code, 1, 1, 1);
}

// A 32-bit texture of the image's own size holding its R, G, B, A pixels; the empty record when
// the device cannot make or fill it.
HardwareTexture* ImageTexture(const uint8_t* rgba, const ImageFileInfo& file, TextureInfo* info, int32_t code) {
  GraphicsDeviceState& g = g_GraphicsDevice;
  IDirect3DTexture9* texture = nullptr;
  if (g.device == nullptr ||
      D3D_Failed(g.device->CreateTexture(static_cast<uint32_t>(file.width), static_cast<uint32_t>(file.height), 1, 0,
                                         D3DFMT_A8R8G8B8, g.resourcePool, &texture)))
    return EmptyImageRecord(info, code);
  HardwareTexture* t = NewRecord(code, file.width, file.height, file.mipLevels);
  t->texture = texture;
  t->flags |= g.resourcePool == D3DPOOL_MANAGED ? kTextureManagedPool : kTextureDefaultPool;
  if (D3D_Failed(texture->GetSurfaceLevel(0, &t->surface)) ||
      !WriteLevel(t, 0, rgba, static_cast<size_t>(file.width) * 4, Convert::SwapRedBlue)) {
    FreeHardwareTexture(t);
    return EmptyImageRecord(info, code);
  }
  *info = TextureInfo{file.width, file.height, 32, file.mipLevels, code, kResourceTexture,
                      static_cast<int32_t>(file.format)};
  return t;
}

}  // namespace

int32_t GetMaxTextureSize() { return kMaxPlainSize; }

uint32_t TextureFormatOfCode(int32_t code) {
  switch (code) {
    case 0: return 0xFFFFFFFFu;
    case 1: return D3DFMT_DXT1;
    case 2: return D3DFMT_DXT2;
    case 3: return D3DFMT_DXT3;
    case 4: return D3DFMT_DXT4;
    case 5: return D3DFMT_DXT5;
    case 6: return D3DFMT_A8R8G8B8;
    case 7: return D3DFMT_D32;
    case 8: return D3DFMT_D24S8;
    case 9: return D3DFMT_R16F;
    case 10: return D3DFMT_R32F;
    case 11: return D3DFMT_A4R4G4B4;
    default: return static_cast<uint32_t>(code);
  }
}

HardwareTexture* CreateTexture(int32_t width, int32_t height, int32_t levels, uint32_t flags, int32_t code) {
  GraphicsDeviceState& g = g_GraphicsDevice;
  if (g.device == nullptr) return nullptr;
  const bool renderTarget = (flags & 1) != 0;
  if (renderTarget && (width < 1 || height < 1 || width > kMaxRecordSize || height > kMaxRecordSize)) {
    DebugConsole->Output("CreateTexture failed - %08x\n", static_cast<uint32_t>(D3DERR_INVALIDCALL));
    return nullptr;
  }
  const int32_t w = renderTarget ? width : PowerOfTwo(width);
  const int32_t h = renderTarget ? height : PowerOfTwo(height);
  HardwareTexture* t = NewRecord(code, w, h, levels);
  const uint32_t bytes = static_cast<uint32_t>(w) * static_cast<uint32_t>(h) * 4 + 16;
  t->pixelCopyBlock = static_cast<uint8_t*>(MemoryManager::Alloc(bytes, __FILE__, __LINE__, true));
  t->pixelCopy = t->pixelCopyBlock + ((16 - reinterpret_cast<uintptr_t>(t->pixelCopyBlock) % 16) % 16);

  const uint32_t format = TextureFormatOfCode(code);
  const uint32_t uw = static_cast<uint32_t>(w), uh = static_cast<uint32_t>(h);
  HRESULT result;
  if (!renderTarget) {
    result = g.device->CreateTexture(uw, uh, 1, 0, format, g.resourcePool, &t->texture);
  } else {
    result = g.device->CreateTexture(uw, uh, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, &t->texture);
    if (!D3D_Failed(result)) result = g.device->CreateRenderTarget(uw, uh, format, g.multisample, 0, 0, &t->surface);
    if (!D3D_Failed(result))
      result = g.device->CreateDepthStencilSurface(uw, uh, g.presentParams.AutoDepthStencilFormat, g.multisample, 0,
                                                   1, &t->depthSurface);
  }
  if (!D3D_Failed(result) && t->surface == nullptr) result = t->texture->GetSurfaceLevel(0, &t->surface);
  if (D3D_Failed(result)) {
    DebugConsole->Output("CreateTexture failed - %08x\n", static_cast<uint32_t>(result));
    FreeHardwareTexture(t);
    return nullptr;
  }
  if (renderTarget || g.resourcePool == D3DPOOL_DEFAULT) {
    t->flags |= kTextureDefaultPool;
  } else if (g.resourcePool == D3DPOOL_MANAGED) {
    t->flags |= kTextureManagedPool;
  }
  return t;
}

HardwareTexture* CreateTextureFromPixels(const void* pixels, int32_t width, int32_t height, TextureInfo* info) {
  *info = TextureInfo{PowerOfTwo(width), PowerOfTwo(height), 32, 0, kTextureFormatARGB, -1, kTextureFormatARGB};
  HardwareTexture* t = CreateTexture(width, height, 0, 0, kTextureFormatARGB);
  if (t != nullptr) UploadPixels(t, 0, width, height, pixels);
  return t;
}

HardwareTexture* CreateTextureFromBlob(const uint8_t* data, uint64_t size, TextureInfo* info, int32_t code) {
  if (data == nullptr || size < 4 || ReadU32(data) != kRawMagic) {
    ImageFileInfo file;
    uint8_t* rgba = data != nullptr ? Graphics_DecodeImageFile(data, size, &file) : nullptr;
    if (rgba == nullptr) return EmptyImageRecord(info, code);
    HardwareTexture* t = ImageTexture(rgba, file, info, code);
    MemoryManager::Free(rgba);
    return t;
  }
  if (size < 16) return nullptr;
  const uint32_t width = ReadU32(data + 4), height = ReadU32(data + 8), kind = ReadU32(data + 12);
  if (kind > 1) return nullptr;
  const uint32_t bpp = kind == 0 ? 4 : 2;
  // The pixels must lie inside the bytes given (64-bit arithmetic: width x height cannot wrap).
  if (static_cast<uint64_t>(width) * height > (size - 16) / bpp || width > INT32_MAX || height > INT32_MAX)
    return nullptr;
  const int32_t rawCode = kind == 0 ? kTextureFormatARGB : kTextureFormatARGB4444;
  const int32_t w = static_cast<int32_t>(width), h = static_cast<int32_t>(height);
  *info = TextureInfo{w, h, kind == 0 ? 32 : 16, 0, rawCode, -1, rawCode};
  HardwareTexture* t = CreateTexture(w, h, 0, 0, rawCode);
  if (t == nullptr) return nullptr;
  // Converted on the way into the pixel copy: the game's bytes stay as they are.
  StorePixels(t, data + 16, w, h, kind == 0 ? Convert::SwapRedBlue : Convert::ReverseNibbles);
  WriteLevel(t, 0, t->pixelCopy, CopyPitch(t), Convert::None);
  return t;
}

bool UploadPixels(HardwareTexture* texture, int32_t level, int32_t width, int32_t height, const void* pixels) {
  if (texture == nullptr || texture->pixelCopy == nullptr || pixels == nullptr) return false;
  StorePixels(texture, static_cast<const uint8_t*>(pixels), width, height, Convert::None);
  return WriteLevel(texture, level, texture->pixelCopy, CopyPitch(texture), Convert::None);
}

bool UpdateTextureRegion(HardwareTexture* texture, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (texture == nullptr || texture->pixelCopy == nullptr) return false;
  if (texture->texture == nullptr || g_GraphicsDevice.device == nullptr) return true;
  const int64_t left = std::max<int64_t>(x, 0), top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(static_cast<int64_t>(x) + width, HardwareTexture_Width(texture));
  const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(y) + height, HardwareTexture_Height(texture));
  if (left >= right || top >= bottom) return true;
  if ((texture->flags & kTextureManagedPool) == 0)
    return WriteThroughStaging(texture, texture->pixelCopy, CopyPitch(texture), Convert::None,
                               D3DLOCK_NO_DIRTY_UPDATE);
  const D3DRECT rect = {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
                        static_cast<int32_t>(bottom)};
  D3DLOCKED_RECT locked;
  if (D3D_Failed(texture->texture->LockRect(0, &locked, &rect, 0))) return false;
  const uint32_t bpp = PixelBytes(texture);
  CopyRows(static_cast<uint8_t*>(locked.pBits), static_cast<size_t>(locked.Pitch),
           texture->pixelCopy + static_cast<size_t>(top) * CopyPitch(texture) + static_cast<size_t>(left) * bpp,
           CopyPitch(texture), rect.x2 - rect.x1, rect.y2 - rect.y1, bpp, Convert::None);
  texture->texture->UnlockRect(0);
  return true;
}

void SetTextureStage(int32_t stage, HardwareTexture* texture) {
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device == nullptr || stage < 0 || stage > 8) return;
  if (texture == nullptr) {
    device->SetTexture(static_cast<uint32_t>(stage), nullptr);
    return;
  }
  if (texture->flags & kTextureRendered) ResolveRenderTarget(texture);
  device->SetTexture(static_cast<uint32_t>(stage), texture->texture);
  if (texture->texture != g_HardwareTextures.lastBound) {
    ++g_Debug.overlay.textureSwitches;
    g_HardwareTextures.lastBound = texture->texture;
  }
}

void ResolveRenderTarget(HardwareTexture* texture) {
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (texture == nullptr || device == nullptr) return;
  texture->flags &= ~kTextureRendered;
  IDirect3DSurface9* level = nullptr;
  if (texture->texture == nullptr || texture->surface == nullptr ||
      D3D_Failed(texture->texture->GetSurfaceLevel(0, &level)))
    return;
  // A texture drawn into through its own level needs no copy (the device refuses one anyway).
  device->StretchRect(texture->surface, nullptr, level, nullptr, D3DTEXF_LINEAR);
  level->Release();
}

bool BindRenderTarget(int32_t index, HardwareTexture* texture) {
  GraphicsFlush();
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device == nullptr || index < 0 || index >= g_GraphicsDevice.simultaneousTargets || texture == nullptr)
    return false;
  HRESULT result = device->SetRenderTarget(static_cast<uint32_t>(index), texture->surface);
  if (index == 0 && !D3D_Failed(result)) result = device->SetDepthStencilSurface(texture->depthSurface);
  g_RenderTargets.bound[index] = texture;
  texture->flags |= kTextureRendered;
  return !D3D_Failed(result);
}

bool PushRenderTarget() {
  RenderTargetStack& s = g_RenderTargets;
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (s.depth >= kRenderTargetLevels || device == nullptr) return false;
  RenderTargetLevel& level = s.levels[s.depth];
  for (int32_t i = 0; i < g_GraphicsDevice.simultaneousTargets; ++i) {
    if (D3D_Failed(device->GetRenderTarget(static_cast<uint32_t>(i), &level.surfaces[i]))) level.surfaces[i] = nullptr;
    level.textures[i] = s.bound[i];
  }
  if (D3D_Failed(device->GetDepthStencilSurface(&level.depthSurface))) level.depthSurface = nullptr;
  ++s.depth;
  return true;
}

bool PopRenderTarget() {
  RenderTargetStack& s = g_RenderTargets;
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device == nullptr || s.depth == 0) return false;
  GraphicsFlush();
  --s.depth;
  RenderTargetLevel& level = s.levels[s.depth];
  bool ok = true;
  for (int32_t i = 0; i < g_GraphicsDevice.simultaneousTargets && ok; ++i) {
    ok = !D3D_Failed(device->SetRenderTarget(static_cast<uint32_t>(i), level.surfaces[i]));
    if (!ok) break;
    ReleaseSurface(level.surfaces[i]);
    s.bound[i] = level.textures[i];
    if (level.textures[i] != nullptr) level.textures[i]->flags |= kTextureRendered;
    level.textures[i] = nullptr;
  }
  if (ok) ok = !D3D_Failed(device->SetDepthStencilSurface(level.depthSurface));
  // The level is gone whatever happened: what it still holds is given back.
  ReleaseLevel(level);
  return ok;
}

void PopAllRenderTargets() {
  // Without a device nothing can be restored; the levels are only given back.
  if (g_GraphicsDevice.device == nullptr) DropRenderTargetLevels(0);
  while (g_RenderTargets.depth > 0) PopRenderTarget();
}

void DropRenderTargetLevels(int32_t keep) {
  RenderTargetStack& s = g_RenderTargets;
  while (s.depth > keep && s.depth > 0) ReleaseLevel(s.levels[--s.depth]);
}

void FreeHardwareTexture(HardwareTexture* texture) {
  if (texture == nullptr) return;
  if (g_VertexBatch.texture == texture) g_VertexBatch.texture = nullptr;
  RenderTargetStack& s = g_RenderTargets;
  for (RenderTargetLevel& level : s.levels) {
    for (HardwareTexture*& saved : level.textures) {
      if (saved == texture) saved = nullptr;
    }
  }
  for (HardwareTexture*& bound : s.bound) {
    if (bound == texture) bound = nullptr;
  }
  if (g_HardwareTextures.lastBound == texture->texture) g_HardwareTextures.lastBound = nullptr;
  ReleaseSurface(texture->surface);
  ReleaseSurface(texture->depthSurface);
  if (texture->texture != nullptr) texture->texture->Release();
  MemoryManager::Free(texture->pixelCopyBlock);
  Unlink(texture);
  delete texture;
}

uint8_t* ReadSurfacePixels(int32_t areaWidth, int32_t areaHeight, int32_t x, int32_t y, int32_t* width,
                           int32_t* height) {
  GraphicsFlush();
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device == nullptr) return nullptr;
  x = std::max(x, 0);
  y = std::max(y, 0);
  int64_t w = std::min<int64_t>(*width, static_cast<int64_t>(areaWidth) - x);
  int64_t h = std::min<int64_t>(*height, static_cast<int64_t>(areaHeight) - y);
  if (w <= 0 || h <= 0 || !DisplayModeReadable()) return nullptr;
  IDirect3DSurface9* source = nullptr;
  HardwareTexture* current = g_RenderTargets.bound[0];
  if (current == nullptr) {
    if (D3D_Failed(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &source))) return nullptr;
  } else {
    source = current->surface;
    if (source == nullptr) return nullptr;
    source->AddRef();
  }
  w = std::min<int64_t>(w, static_cast<int64_t>(source->Width()) - x);
  h = std::min<int64_t>(h, static_cast<int64_t>(source->Height()) - y);
  uint8_t* block = nullptr;
  if (w > 0 && h > 0) {
    *width = static_cast<int32_t>(w);
    *height = static_cast<int32_t>(h);
    block = NewBlock(*width, *height, false);
    const D3DRECT from = {x, y, x + *width, y + *height};
    // The copy goes through a target whose sides are multiples of 8.
    const uint32_t targetWidth = static_cast<uint32_t>((w + 7) & ~int64_t(7));
    const uint32_t targetHeight = static_cast<uint32_t>((h + 7) & ~int64_t(7));
    if (!ReadThroughTarget(source, from, targetWidth, targetHeight, block, static_cast<size_t>(w) * 4)) {
      MemoryManager::Free(block);
      block = nullptr;
    }
  }
  source->Release();
  return block;
}

uint8_t* ReadTexturePixels(HardwareTexture* texture, int32_t x, int32_t y, int32_t width, int32_t height) {
  GraphicsFlush();
  x = std::max(x, 0);
  y = std::max(y, 0);
  if (width <= 0 || height <= 0 || width > kMaxRecordSize || height > kMaxRecordSize || !DisplayModeReadable())
    return nullptr;
  if (texture == nullptr || texture->texture == nullptr || g_GraphicsDevice.device == nullptr) return nullptr;
  const int32_t columns = std::min(width, HardwareTexture_Width(texture) - x);
  const int32_t rows = std::min(height, HardwareTexture_Height(texture) - y);
  if (columns <= 0 || rows <= 0) return nullptr;
  uint8_t* block = NewBlock(width, height, true);
  const size_t pitch = static_cast<size_t>(width) * 4;
  const D3DRECT region = {x, y, x + columns, y + rows};
  bool ok;
  if (texture->flags & kTextureManagedPool) {
    D3DLOCKED_RECT locked;
    ok = !D3D_Failed(texture->texture->LockRect(0, &locked, &region, D3DLOCK_READONLY));
    if (ok) {
      ReadRows(block, pitch, locked, columns, rows, texture->texture->Format() == D3DFMT_A4R4G4B4);
      texture->texture->UnlockRect(0);
    }
  } else {
    ok = texture->surface != nullptr &&
         ReadThroughTarget(texture->surface, region, static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                           block, pitch);
  }
  if (!ok) {
    MemoryManager::Free(block);
    return nullptr;
  }
  return block;
}

uint8_t* GraphicsReadTexturePixels(HardwareTexture* texture, int32_t x, int32_t y, int32_t width, int32_t height) {
  return ReadTexturePixels(texture, x, y, width, height);
}

void CopyTextureRegion(HardwareTexture* destination, int32_t dx, int32_t dy, HardwareTexture* source, int32_t sx,
                       int32_t sy, int32_t width, int32_t height) {
  GraphicsFlush();
  IDirect3DDevice9* device = g_GraphicsDevice.device;
  if (device == nullptr || destination == nullptr || source == nullptr || destination->surface == nullptr ||
      source->surface == nullptr)
    return;
  int64_t w = width, h = height, dX = dx, dY = dy, sX = sx, sY = sy;
  // A negative corner on either side moves both corners and shrinks the size.
  auto shift = [](int64_t& size, int64_t& a, int64_t& b) {
    if (a < 0) {
      size += a;
      b -= a;
      a = 0;
    }
  };
  shift(w, dX, sX);
  shift(w, sX, dX);
  shift(h, dY, sY);
  shift(h, sY, dY);
  w = std::min({w, HardwareTexture_Width(destination) - dX, HardwareTexture_Width(source) - sX});
  h = std::min({h, HardwareTexture_Height(destination) - dY, HardwareTexture_Height(source) - sY});
  if (w <= 0 || h <= 0) return;
  const D3DRECT from = {static_cast<int32_t>(sX), static_cast<int32_t>(sY), static_cast<int32_t>(sX + w),
                        static_cast<int32_t>(sY + h)};
  const D3DRECT to = {static_cast<int32_t>(dX), static_cast<int32_t>(dY), static_cast<int32_t>(dX + w),
                      static_cast<int32_t>(dY + h)};
  device->StretchRect(source->surface, &from, destination->surface, &to, D3DTEXF_LINEAR);
  destination->flags |= kTextureRendered;
}

std::unique_ptr<TBitmap> GR_CreateTBitmapFromScreen(int32_t x, int32_t y, int32_t width, int32_t height) {
  const TransformState& t = g_Transforms;
  const int32_t areaWidth = t.boundsRight - t.boundsLeft, areaHeight = t.boundsBottom - t.boundsTop;
  x = std::max(x, 0);
  y = std::max(y, 0);
  width = static_cast<int32_t>(std::min<int64_t>(width, static_cast<int64_t>(areaWidth) - x));
  height = static_cast<int32_t>(std::min<int64_t>(height, static_cast<int64_t>(areaHeight) - y));
  if (width < 1 || height < 1) return nullptr;
  uint8_t* block = ReadSurfacePixels(areaWidth, areaHeight, x, y, &width, &height);
  // The bitmap takes the size the read gave, which the render target may have cut further.
  return BitmapFromPixelBlock(block, width, height);
}

std::unique_ptr<TBitmap> BitmapFromPixelBlock(uint8_t* block, int32_t width, int32_t height) {
  if (block == nullptr) return nullptr;
  std::unique_ptr<TBitmap> bitmap = TBitmap_Create();
  bitmap->SetWidth(width);
  bitmap->SetHeight(height);
  bitmap->SetFormat(kBitmapFormat32);
  int32_t stride = 0;
  uint8_t* pixels = bitmap->Lock(0, nullptr, &stride);
  if (pixels != nullptr) {
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    for (int32_t row = 0; row < height; ++row)
      std::memcpy(pixels + static_cast<size_t>(row) * static_cast<size_t>(stride),
                  block + static_cast<size_t>(row) * rowBytes, rowBytes);
    bitmap->Unlock(pixels);
  }
  MemoryManager::Free(block);
  return bitmap;
}

uint32_t GR_GetScreenPixel(int32_t x, int32_t y) {
  int32_t width = 1, height = 1;
  uint8_t* block =
      ReadSurfacePixels(g_GraphicsDevice.displayWidth, g_GraphicsDevice.displayHeight, x, y, &width, &height);
  if (block == nullptr) return 0;
  const uint32_t argb = ReadU32(block);
  MemoryManager::Free(block);
  return (argb & 0xFF00FF00u) | (argb & 0xFF) << 16 | (argb >> 16 & 0xFF);
}

HardwareTexture* EmbeddedFiles_CreateTexture(int32_t index) {
  const void* data = EmbeddedFiles_GetData(index);
  if (data == nullptr) return nullptr;
  TextureInfo info;
  return CreateTextureFromBlob(static_cast<const uint8_t*>(data), EmbeddedFiles_GetSize(index), &info, 0);
}
