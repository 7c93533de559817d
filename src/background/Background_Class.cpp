#include "background/Background_Class.h"

#include <cstring>
#include <memory>
#include <vector>

#include "base/VCL.h"
#include "graphics/Graphics_Bitmap32.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/JPEG_Main.h"
#include "graphics/PNG_Reader.h"
#include "graphics/TBitmap.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"
#include "runner/GameData.h"
#include "support/BoundedReader.h"
#include "support/LoadSave.h"

namespace {

constexpr uint64_t kEntrySize = 5 * 4;
// The opaque blue that stands in for an image larger than the largest texture (0xAARRGGBB).
constexpr uint32_t kOversizedBlue = 0xFF0000FFu;

// Degrees to radians as the drawers take them: the single-precision pi times the angle, over 180.
float Radians(float degrees) {
  return num::ToFloat(3.1415927410125732 * static_cast<double>(degrees) / 180.0);
}

// Keeps a bitmap only when it holds an image.
CBitmap32* KeepValid(CBitmap32 bitmap) {
  return bitmap.IsValid() ? new CBitmap32(std::move(bitmap)) : nullptr;
}

}  // namespace

CBackground::~CBackground() { Clear(); }

void CBackground::Clear() {
  delete m_Bitmap;
  m_Bitmap = nullptr;
  m_Width = m_Height = 0;
  m_Transparent = m_Smooth = m_Preload = 0;
  m_TPageEntry = nullptr;
  FreeTexture();
}

bool CBackground::LoadFromChunk(const BoundedReader& chunk, uint32_t entryOffset, uint32_t* nameOffset) {
  Clear();
  BoundedReader entry = chunk.At(entryOffset, kEntrySize);
  uint32_t name = 0, transparent = 0, smooth = 0, preload = 0, page = 0;
  entry.U32(&name);
  entry.U32(&transparent);
  entry.U32(&smooth);
  entry.U32(&preload);
  entry.U32(&page);
  BoundedReader pageEntry = chunk.At(page, sizeof(TPageEntry));
  if (!entry.Ok() || (page != 0 && !pageEntry.Ok())) return false;
  *nameOffset = name;
  m_Transparent = transparent != 0;
  m_Smooth = smooth != 0;
  m_Preload = preload != 0;
  if (page != 0) {
    m_TPageEntry = reinterpret_cast<TPageEntry*>(pageEntry.Data());
    const TPageEntry e = TPageEntry_Read(m_TPageEntry);
    m_Width = e.fullWidth;
    m_Height = e.fullHeight;
  }
  return true;
}

TextureHandle CBackground::GetTPE() const {
  TextureHandle handle;
  if (m_TPageEntry != nullptr) {
    handle.kind = TextureHandleKind::kEntry;
    handle.entry = m_TPageEntry;
  } else if (m_Texture >= 0) {
    handle.kind = TextureHandleKind::kTexture;
    handle.id = m_Texture;
  }
  return handle;
}

// ---- Textures ----

void CBackground::CreateTexture() {
  FreeTexture();
  m_Texture = GR_Texture_CreateFromBitmap32(m_Bitmap);
  if (m_Preload != 0 && m_Texture >= 0) GR_Texture_Preload(m_Texture);
}

void CBackground::FreeTexture() {
  if (m_Texture >= 0) GR_Texture_Free(m_Texture);
  m_Texture = -1;
}

// ---- Drawing ----

void CBackground::Draw(float x, float y) const {
  if (m_TPageEntry != nullptr) {
    GR_Texture_DrawEntry(m_TPageEntry, x, y);
  } else {
    GR_Texture_Draw(m_Texture, x, y);
  }
}

void CBackground::DrawExt(float x, float y, float xscale, float yscale, float angle, uint32_t colour,
                          float alpha) const {
  const float radians = Radians(angle);
  if (m_TPageEntry != nullptr) {
    GR_Texture_DrawEntryExt(m_TPageEntry, 0, 0, x, y, xscale, yscale, radians, colour, alpha);
  } else {
    GR_Texture_DrawExt(m_Texture, 0, 0, x, y, xscale, yscale, radians, colour, alpha);
  }
}

void CBackground::DrawStretched(float x, float y, float w, float h, uint32_t colour, float alpha) const {
  if (!(w > 0) || !(h > 0) || m_Width <= 0 || m_Height <= 0) return;
  const float xscale = w / static_cast<float>(m_Width), yscale = h / static_cast<float>(m_Height);
  if (m_TPageEntry != nullptr) {
    GR_Texture_DrawEntryExt(m_TPageEntry, 0, 0, x, y, xscale, yscale, 0, colour, alpha);
  } else {
    GR_Texture_DrawExt(m_Texture, 0, 0, x, y, xscale, yscale, 0, colour, alpha);
  }
}

void CBackground::DrawPart(float left, float top, float width, float height, float x, float y, float xscale,
                           float yscale, uint32_t colour, float alpha) const {
  if (m_TPageEntry != nullptr) {
    GR_Texture_DrawEntryPart(m_TPageEntry, left, top, width, height, x, y, xscale, yscale, 0, colour, alpha);
  } else {
    GR_Texture_DrawPart(m_Texture, left, top, width, height, x, y, xscale, yscale, 0, colour, alpha);
  }
}

void CBackground::DrawGeneral(float left, float top, float width, float height, float x, float y, float xscale,
                              float yscale, float angle, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4,
                              float alpha) const {
  const float radians = Radians(angle);
  if (m_TPageEntry != nullptr) {
    GR_Texture_DrawEntryGeneral(m_TPageEntry, left, top, width, height, x, y, xscale, yscale, radians, c1, c2, c3,
                                c4, alpha);
  } else {
    GR_Texture_DrawGeneral(m_Texture, left, top, width, height, x, y, xscale, yscale, radians, c1, c2, c3, c4,
                           alpha);
  }
}

void CBackground::DrawTiled(float x, float y, float xscale, float yscale, bool horizontal, bool vertical,
                            float areaLeft, float areaTop, float areaWidth, float areaHeight, uint32_t colour,
                            float alpha) const {
  if (m_TPageEntry != nullptr) {
    GR_Texture_DrawEntryTiled(m_TPageEntry, 0, 0, x, y, xscale, yscale, horizontal, vertical, areaLeft, areaTop,
                              areaWidth, areaHeight, colour, alpha);
  } else {
    GR_Texture_DrawTiled(m_Texture, 0, 0, x, y, xscale, yscale, horizontal, vertical, areaLeft, areaTop, areaWidth,
                         areaHeight, colour, alpha);
  }
}

// ---- Making the image ----

void CBackground::CreateFromBitmap(IBitmap* image, bool removeBack, bool smooth, bool preload, bool keepAlpha) {
  Clear();
  m_Transparent = removeBack;
  m_Smooth = smooth;
  m_Preload = preload;
  if (image == nullptr) return;
  m_Width = image->GetWidth();
  m_Height = image->GetHeight();
  const int32_t maxSize = GetMaxTextureSize();
  std::unique_ptr<TBitmap> blue;
  if (m_Width > maxSize || m_Height > maxSize) {
    DebugConsole->Output("Error creating background: image width or height exceeds maximum texture size of %d\n",
                         maxSize);
    if (m_Width > maxSize) m_Width = maxSize;
    if (m_Height > maxSize) m_Height = maxSize;
    const std::vector<uint32_t> pixels(static_cast<size_t>(m_Width > 0 ? m_Width : 0) *
                                           static_cast<size_t>(m_Height > 0 ? m_Height : 0),
                                       kOversizedBlue);
    std::unique_ptr<BitmapLoader> loader = BitmapLoader_CreateFromPixels(pixels.data(), m_Width, m_Height);
    if (loader != nullptr) blue = loader->CreateBitmap(0);
    image = blue.get();
  }
  if (image != nullptr) m_Bitmap = KeepValid(CBitmap32::CreateFromBitmapExt(image, removeBack, smooth, keepAlpha));
  CreateTexture();
}

void CBackground::CreateColour(int32_t w, int32_t h, uint32_t colour, bool preload) {
  Clear();
  m_Width = w;
  m_Height = h;
  m_Preload = preload;
  m_Bitmap = KeepValid(CBitmap32::CreateFilled(w, h, colour));
  CreateTexture();
}

void CBackground::CreateGradient(int32_t w, int32_t h, uint32_t colour1, uint32_t colour2, int32_t kind,
                                 bool preload) {
  Clear();
  m_Width = w;
  m_Height = h;
  m_Preload = preload;
  m_Bitmap = KeepValid(CBitmap32::CreateGradient(w, h, colour1, colour2, kind));
  CreateTexture();
}

bool CBackground::CreateFromPixels(const uint32_t* pixels, int32_t w, int32_t h, bool removeBack, bool smooth,
                                   bool preload, bool keepAlpha) {
  std::unique_ptr<BitmapLoader> loader = BitmapLoader_CreateFromPixels(pixels, w, h);
  std::unique_ptr<TBitmap> image = loader != nullptr ? loader->CreateBitmap(0) : nullptr;
  CreateFromBitmap(image.get(), removeBack, smooth, preload, keepAlpha);
  return true;
}

bool CBackground::DecodeImage(const uint8_t* bytes, uint64_t size, bool removeBack, bool smooth, bool preload,
                              bool keepAlpha) {
  if (bytes == nullptr) return false;
  int32_t w = 0, h = 0;
  if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
    uint32_t* pixels = DecodeJPEG(bytes, size, &w, &h);
    if (pixels != nullptr) {
      CreateFromPixels(pixels, w, h, removeBack, smooth, preload, keepAlpha);
      MemoryManager::Free(pixels);
      return true;
    }
  }
  if (size >= 4 && std::memcmp(bytes, "GIF8", 4) == 0) {
    uint32_t* pixels = DecodeGIF(bytes, size, &w, &h);
    if (pixels != nullptr) {
      CreateFromPixels(pixels, w, h, removeBack, smooth, preload, keepAlpha);
      MemoryManager::Free(pixels);
      return true;
    }
  }
  if (size >= 4 && std::memcmp(bytes, "\x89PNG", 4) == 0) {
    const uint32_t* pixels = DecodePNG(bytes, size, &w, &h, false);
    if (pixels != nullptr) CreateFromPixels(pixels, w, h, removeBack, smooth, preload, keepAlpha);
    FreeDecodedPNG();
    if (pixels != nullptr) return true;
  }
  return false;
}

bool CBackground::LoadFromData(const char* name, const uint8_t* bytes, uint64_t size, bool removeBack, bool smooth,
                               bool preload, bool keepAlpha) {
  if (DecodeImage(bytes, size, removeBack, smooth, preload, keepAlpha)) return true;
  DebugConsole->Output("Failed to decode background data in %s\n", name != nullptr ? name : "");
  return false;
}

bool CBackground::LoadFromFile(const char* name, bool removeBack, bool smooth, bool preload, bool keepAlpha) {
  int size = 0;
  void* bytes = LoadSave_SaveFileExists(name) ? LoadSave_ReadSaveFile(name, &size) : LoadSave_ReadGameFile(name, &size);
  FreeTexture();
  if (bytes != nullptr) {
    LoadFromData(name, static_cast<const uint8_t*>(bytes), static_cast<uint64_t>(size), removeBack, smooth, preload,
                 keepAlpha);
  }
  MemoryManager::Free(bytes);
  return true;
}

// ---- Copies ----

void CBackground::Assign(const CBackground& source) {
  if (&source == this) return;
  Clear();
  m_Width = source.m_Width;
  m_Height = source.m_Height;
  m_Transparent = source.m_Transparent;
  m_Smooth = source.m_Smooth;
  m_Preload = source.m_Preload;
  m_TPageEntry = source.m_TPageEntry;
  if (source.m_Bitmap != nullptr) m_Bitmap = KeepValid(CBitmap32::CreateCopy(*source.m_Bitmap));
  CreateTexture();
}

bool CBackground::DuplicateBitmap() {
  if (m_Bitmap != nullptr || m_TPageEntry == nullptr) return false;
  const TPageEntry e = TPageEntry_Read(m_TPageEntry);
  const TextureEntry* page = GR_Texture_GetEntry(e.texturePage);
  // The rectangle must lie wholly on the page's image.
  if (page == nullptr || page->texture == nullptr || e.x < 0 || e.y < 0 || e.width < 1 || e.height < 1 ||
      e.x + e.width > page->width || e.y + e.height > page->height) {
    return false;
  }
  uint8_t* pixels = GraphicsReadTexturePixels(page->texture, e.x, e.y, e.width, e.height);
  if (pixels == nullptr) return false;
  std::unique_ptr<BitmapLoader> loader =
      BitmapLoader_CreateFromPixels(reinterpret_cast<const uint32_t*>(pixels), e.width, e.height);
  MemoryManager::Free(pixels);
  std::unique_ptr<TBitmap> image = loader != nullptr ? loader->CreateBitmap(0) : nullptr;
  if (image == nullptr) return false;
  m_Bitmap = KeepValid(CBitmap32::CreateFromBitmapAlpha(image.get(), false, false));
  m_TPageEntry = nullptr;
  CreateTexture();
  return true;
}

void CBackground::SetAlphaFromBackground(const CBackground& other) {
  if (m_Bitmap == nullptr || other.m_Bitmap == nullptr) {
    DebugConsole->Output("Both bitmaps need to be duplicated first\n");
    return;
  }
  m_Bitmap->SetAlphaFromBitmap(other.m_Bitmap);
  CreateTexture();
}
