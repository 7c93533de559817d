#include "graphics/Graphics_Bitmap32.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "base/VCL.h"
#include "graphics/PNG_Writer.h"
#include "platform/Colour.h"
#include "platform/MemoryManager.h"
#include "support/CStream.h"

namespace {

constexpr int32_t kStreamVersion = 540;
constexpr int32_t kStreamVersionRaw = 800;
constexpr int64_t kMaxBytes = INT32_MAX;

constexpr uint32_t kAlphaMask = 0xFF000000u;
constexpr uint32_t kColourMask = 0x00FFFFFFu;

// width x height x 4 when both are not negative and it stays below 2 GB, else -1.
int64_t ByteSizeFor(int64_t w, int64_t h) {
  if (w < 0 || h < 0) return -1;
  if (w != 0 && h > kMaxBytes / 4 / w) return -1;
  return w * h * 4;
}

// An opaque pixel from the bytes B, G, R.
uint32_t OpaqueFromBGR(const uint8_t* p) {
  return kAlphaMask | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}

uint32_t Alpha(uint32_t pixel) { return pixel >> 24; }

// A new zero-filled w x h bitmap of the format, locked: its rows and stride go to the out places.
// Null when it cannot be made.
std::unique_ptr<TBitmap> NewLockedBitmap(int32_t format, int32_t w, int32_t h, uint8_t** rows, int32_t* stride) {
  std::unique_ptr<TBitmap> bitmap = TBitmap_Create();
  bitmap->SetFormat(format);
  bitmap->SetWidth(w);
  bitmap->SetHeight(h);
  *rows = bitmap->Lock(0, nullptr, stride);
  if (*rows == nullptr) return nullptr;
  return bitmap;
}

// The rows of a bitmap of one of the accepted formats, locked; null for anything else.
const uint8_t* LockSource(IBitmap* bitmap, bool acceptRGB, int32_t* stride) {
  if (bitmap == nullptr) return nullptr;
  const int32_t format = bitmap->GetFormat();
  if (format != kBitmapFormat32 && !(acceptRGB && format == kBitmapFormat24)) return nullptr;
  return bitmap->Lock(0, nullptr, stride);
}

}  // namespace

CBitmap32::~CBitmap32() { Free(); }

CBitmap32::CBitmap32(CBitmap32&& other) noexcept
    : m_valid(other.m_valid), m_width(other.m_width), m_height(other.m_height), m_data(other.m_data) {
  other.m_valid = 0;
  other.m_width = other.m_height = 0;
  other.m_data = Bitmap32Data{};
}

CBitmap32& CBitmap32::operator=(CBitmap32&& other) noexcept {
  if (this != &other) {
    Free();
    std::swap(m_valid, other.m_valid);
    std::swap(m_width, other.m_width);
    std::swap(m_height, other.m_height);
    std::swap(m_data, other.m_data);
  }
  return *this;
}

bool CBitmap32::Allocate(int64_t w, int64_t h) {
  Free();
  m_width = 0;
  m_height = 0;
  const int64_t bytes = ByteSizeFor(w, h);
  if (bytes < 0) return false;
  m_valid = 1;
  m_width = static_cast<int32_t>(w);
  m_height = static_cast<int32_t>(h);
  m_data.byteSize = static_cast<int32_t>(bytes);
  m_data.pixels = static_cast<uint32_t*>(MemoryManager::Alloc(static_cast<uint32_t>(bytes), __FILE__, __LINE__, true));
  return true;
}

void CBitmap32::Free() {
  MemoryManager::Free(m_data.pixels);
  m_data = Bitmap32Data{};
  m_valid = 0;
}

void CBitmap32::Assign(const CBitmap32& other) {
  if (this == &other) return;
  if (!other.IsValid()) {
    Free();
    m_width = other.m_width;
    m_height = other.m_height;
    return;
  }
  Allocate(other.m_width, other.m_height);
  if (m_data.byteSize > 0) std::memcpy(m_data.pixels, other.m_data.pixels, static_cast<size_t>(m_data.byteSize));
}

// ---- Constructors ----

CBitmap32 CBitmap32::CreateCopy(const CBitmap32& other) {
  CBitmap32 b;
  if (other.IsValid()) b.Assign(other);
  return b;
}

CBitmap32 CBitmap32::CreateRegion(const CBitmap32& other, int32_t x, int32_t y, int32_t w, int32_t h) {
  CBitmap32 b;
  if (!other.IsValid() || x < 0 || y < 0 || w < 0 || h < 0) return b;
  if (static_cast<int64_t>(x) + w > other.m_width || static_cast<int64_t>(y) + h > other.m_height) return b;
  b.Allocate(w, h);
  for (int32_t row = 0; row < h && w > 0; ++row) {
    const uint32_t* from = other.m_data.pixels + static_cast<int64_t>(y + row) * other.m_width + x;
    std::memcpy(b.m_data.pixels + static_cast<int64_t>(row) * w, from, static_cast<size_t>(w) * 4);
  }
  return b;
}

CBitmap32 CBitmap32::CreateFilled(int32_t w, int32_t h, uint32_t colour) {
  CBitmap32 b;
  if (!b.Allocate(std::max(w, 1), std::max(h, 1))) return b;
  const uint32_t pixel = kAlphaMask | (colour & 0xFFu) << 16 | (colour & 0xFF00u) | (colour >> 16 & 0xFFu);
  std::fill_n(b.m_data.pixels, b.m_data.byteSize / 4, pixel);
  return b;
}

CBitmap32 CBitmap32::CreateFromStream(CStream* stream) {
  CBitmap32 b;
  if (stream == nullptr) return b;
  const int32_t version = stream->ReadInteger();
  if (version == kStreamVersion) {
    if (stream->ReadInteger() == 0) return b;
    const int32_t w = stream->ReadInteger();
    const int32_t h = stream->ReadInteger();
    const int64_t bytes = ByteSizeFor(w, h);
    // The block is read (and passed over) even for a bad size; then nothing may inflate.
    int64_t inflated = -1;
    CStream* pixels = ZDecompressStream(stream, std::max<int64_t>(bytes, 0), &inflated);
    if (pixels != nullptr && bytes >= 0 && inflated == bytes && b.Allocate(w, h) && bytes > 0)
      std::memcpy(b.m_data.pixels, pixels->GetData(), static_cast<size_t>(bytes));
    CStream::Delete(pixels);
  } else if (version == kStreamVersionRaw) {
    const int32_t w = stream->ReadInteger();
    const int32_t h = stream->ReadInteger();
    const int32_t length = stream->ReadInteger();
    const int64_t start = stream->GetPosition();
    const int64_t available = std::max<int64_t>(static_cast<int64_t>(stream->GetSize()) - start, 0);
    const int64_t bytes = ByteSizeFor(w, h);
    if (bytes >= 0 && length >= bytes && available >= bytes && b.Allocate(w, h) && bytes > 0)
      stream->ReadBuffer(b.m_data.pixels, static_cast<int32_t>(bytes));
    stream->SetPosition(start + std::min<int64_t>(std::max(length, 0), available));
  }
  return b;
}

CBitmap32 CBitmap32::FromBitmap(IBitmap* bitmap, bool keepAlpha, bool removeBackground, bool smooth) {
  CBitmap32 b;
  int32_t stride = 0;
  const uint8_t* rows = LockSource(bitmap, !keepAlpha, &stride);
  const int32_t w = rows != nullptr ? bitmap->GetWidth() : 0, h = rows != nullptr ? bitmap->GetHeight() : 0;
  if (rows == nullptr || !b.Allocate(w, h)) return b;
  const int step = bitmap->GetFormat() == kBitmapFormat24 ? 3 : 4;
  for (int32_t y = 0; y < h && w > 0; ++y) {
    const uint8_t* from = rows + static_cast<int64_t>(y) * stride;
    uint32_t* to = b.m_data.pixels + static_cast<int64_t>(y) * w;
    if (keepAlpha) {
      std::memcpy(to, from, static_cast<size_t>(w) * 4);
    } else {
      for (int32_t x = 0; x < w; ++x) to[x] = OpaqueFromBGR(from + static_cast<int64_t>(x) * step);
    }
  }
  bitmap->Unlock(const_cast<uint8_t*>(rows));
  b.ApplyOptions(removeBackground, smooth);
  return b;
}

CBitmap32 CBitmap32::CreateFromBitmapOpaque(IBitmap* bitmap, bool removeBackground, bool smooth) {
  return FromBitmap(bitmap, false, removeBackground, smooth);
}

CBitmap32 CBitmap32::CreateFromBitmapAlpha(IBitmap* bitmap, bool removeBackground, bool smooth) {
  return FromBitmap(bitmap, true, removeBackground, smooth);
}

CBitmap32 CBitmap32::CreateFromBitmap(IBitmap* bitmap, bool removeBackground, bool smooth) {
  return CreateFromBitmapOpaque(bitmap, removeBackground, smooth);
}

CBitmap32 CBitmap32::CreateFromBitmapExt(IBitmap* bitmap, bool removeBackground, bool smooth, bool keepAlpha) {
  return keepAlpha ? CreateFromBitmapAlpha(bitmap, removeBackground, smooth)
                   : CreateFromBitmap(bitmap, removeBackground, smooth);
}

CBitmap32 CBitmap32::CreateGradient(int32_t w, int32_t h, uint32_t colour1, uint32_t colour2, int32_t kind) {
  const int32_t bw = std::max(w, 1), bh = std::max(h, 1);
  if (ByteSizeFor(bw, bh) < 0) return CBitmap32();
  uint8_t* rows = nullptr;
  int32_t stride = 0;
  std::unique_ptr<TBitmap> canvas = NewLockedBitmap(kBitmapFormat24, bw, bh, &rows, &stride);
  if (canvas == nullptr) return CBitmap32();

  // Pixel bytes B, G, R from bits 16-23, 8-15 and 0-7 of a 0x00BBGGRR colour.
  const auto put = [&](int64_t x, int64_t y, uint32_t colour) {
    uint8_t* p = rows + y * stride + x * 3;
    p[0] = static_cast<uint8_t>(colour >> 16);
    p[1] = static_cast<uint8_t>(colour >> 8);
    p[2] = static_cast<uint8_t>(colour);
  };
  const auto mix = [&](double t) { return ColourMerge(colour1, colour2, t); };
  const double f = std::min(w, h) / 2.0;

  if (w >= 1 && h >= 1) {
    for (int64_t y = 0; y < h; ++y) {
      for (int64_t x = 0; x < w; ++x) {
        const int64_t nearX = std::min<int64_t>(x, w - 1 - x), nearY = std::min<int64_t>(y, h - 1 - y);
        switch (kind) {
          case 0: put(x, y, mix(static_cast<double>(x) / w)); break;
          case 1: put(x, y, mix(static_cast<double>(y) / h)); break;
          case 2: put(x, y, mix(static_cast<double>(std::min(nearX, nearY)) / f)); break;
          case 3: {
            // Ring i covers the pixels inside the ellipse inset by i on every side; the rings
            // shrink as i grows, so the last ring painted over a pixel is the largest i that
            // holds it, found by bisection.
            const auto holds = [&](int64_t i) {
              if (x < i || x > w - 1 - i || y < i || y > h - 1 - i) return false;
              const double dx = x - w / 2.0, dy = y - h / 2.0;
              const double rx = (w - 2.0 * i) / 2.0, ry = (h - 2.0 * i) / 2.0;
              return dx * dx / (rx * rx) + dy * dy / (ry * ry) <= 1.0;
            };
            uint32_t colour = colour1;
            if (holds(0)) {
              int64_t lo = 0, hi = (std::min(w, h) + 1) / 2 - 1;  // rings 0 .. hi, that is i < f
              while (lo < hi) {
                const int64_t mid = (lo + hi + 1) / 2;
                if (holds(mid)) lo = mid; else hi = mid - 1;
              }
              colour = mix(static_cast<double>(lo) / f);
            }
            put(x, y, colour);
            break;
          }
          case 4: put(x, y, mix(static_cast<double>(nearX) / (w / 2.0))); break;
          case 5: put(x, y, mix(static_cast<double>(nearY) / (h / 2.0))); break;
          default: break;
        }
      }
    }
  }
  canvas->Unlock(rows);
  return CreateFromBitmapOpaque(canvas.get(), false, false);
}

// ---- Operations ----

void CBitmap32::SetAlpha(uint8_t alpha) {
  if (!HasPixels()) return;
  const uint32_t a = static_cast<uint32_t>(alpha) << 24;
  uint32_t* p = m_data.pixels;
  for (int64_t i = 0, n = m_data.byteSize / 4; i < n; ++i) p[i] = (p[i] & kColourMask) | a;
}

void CBitmap32::SetAlphaFromBitmap(const CBitmap32* other) {
  if (!HasPixels() || other == nullptr || !other->HasPixels()) return;
  const int32_t w = std::min(m_width, other->m_width), h = std::min(m_height, other->m_height);
  for (int64_t y = 0; y < h; ++y) {
    uint32_t* to = m_data.pixels + y * m_width;
    const uint32_t* from = other->m_data.pixels + y * other->m_width;
    for (int64_t x = 0; x < w; ++x) {
      const uint32_t s = from[x];
      const uint32_t grey = ((s >> 16 & 0xFFu) + (s >> 8 & 0xFFu) + (s & 0xFFu)) / 3;
      const uint32_t alpha = std::min(Alpha(to[x]), grey);
      to[x] = (to[x] & kColourMask) | alpha << 24;
    }
  }
}

void CBitmap32::Resize(int32_t w, int32_t h) {
  if (!IsValid() || (w == m_width && h == m_height)) return;
  const int64_t bytes = ByteSizeFor(w, h);
  if (bytes < 0 || (bytes > 0 && m_data.byteSize == 0)) {
    Free();
    return;
  }
  CBitmap32 scaled;
  scaled.Allocate(w, h);
  for (int64_t y = 0; y < h; ++y) {
    const uint32_t* from = m_data.pixels + (y * m_height / h) * m_width;
    uint32_t* to = scaled.m_data.pixels + y * w;
    for (int64_t x = 0; x < w; ++x) to[x] = from[x * m_width / w];
  }
  *this = std::move(scaled);
}

BoundingBox CBitmap32::GetBoundingBox() const {
  if (!HasPixels()) return {0, 0, 0, 0};
  BoundingBox box{m_width - 1, m_height - 1, 0, 0};
  for (int32_t y = 0; y < m_height; ++y) {
    const uint32_t* row = m_data.pixels + static_cast<int64_t>(y) * m_width;
    for (int32_t x = 0; x < m_width; ++x) {
      if (Alpha(row[x]) == 0) continue;
      box.left = std::min(box.left, x);
      box.top = std::min(box.top, y);
      box.right = std::max(box.right, x);
      box.bottom = std::max(box.bottom, y);
    }
  }
  return box;
}

namespace {

// How a conversion lays out a pixel: the shift of the pixel word that gives each output byte.
struct PixelLayout {
  int32_t format;
  int bytes;
  int shifts[4];
};
constexpr PixelLayout kLayoutBGR{kBitmapFormat24, 3, {0, 8, 16, 0}};
constexpr PixelLayout kLayoutRGBA{kBitmapFormat32, 4, {16, 8, 0, 24}};

// A new bitmap of the same size holding the pixels in the layout; null for an invalid one.
std::unique_ptr<TBitmap> ToTBitmap(const CBitmap32& bitmap, const PixelLayout& layout) {
  if (!bitmap.IsValid()) return nullptr;
  const int64_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  uint8_t* rows = nullptr;
  int32_t stride = 0;
  std::unique_ptr<TBitmap> out = NewLockedBitmap(layout.format, bitmap.GetWidth(), bitmap.GetHeight(), &rows, &stride);
  if (out == nullptr) return nullptr;
  for (int64_t y = 0; y < h; ++y) {
    const uint32_t* from = bitmap.GetData()->pixels + y * w;
    uint8_t* to = rows + y * stride;
    for (int64_t x = 0; x < w; ++x, to += layout.bytes)
      for (int k = 0; k < layout.bytes; ++k) to[k] = static_cast<uint8_t>(from[x] >> layout.shifts[k]);
  }
  out->Unlock(rows);
  return out;
}

}  // namespace

std::unique_ptr<TBitmap> CBitmap32::CreateTBitmap24() const { return ToTBitmap(*this, kLayoutBGR); }

std::unique_ptr<TBitmap> CBitmap32::CreateTBitmap() const { return ToTBitmap(*this, kLayoutRGBA); }

void CBitmap32::WriteToStream(CStream* stream) const {
  if (stream == nullptr) return;
  stream->WriteInteger(kStreamVersion);
  stream->WriteInteger(IsValid() ? 1 : 0);
  if (!IsValid()) return;
  stream->WriteInteger(m_width);
  stream->WriteInteger(m_height);
  CStream pixels(m_data.byteSize);
  if (m_data.byteSize > 0) std::memcpy(pixels.GetData(), m_data.pixels, static_cast<size_t>(m_data.byteSize));
  ZCompressStream(stream, &pixels);
}

namespace {

bool WriteToFile(void* context, const uint8_t* bytes, size_t length) {
  return std::fwrite(bytes, 1, length, static_cast<std::FILE*>(context)) == length;
}

}  // namespace

bool CBitmap32::write_png_file(const char* path) const {
  std::FILE* file = path != nullptr ? std::fopen(path, "wb") : nullptr;
  if (file == nullptr) {
    DebugConsole->Output("[write_png_file] File %s could not be opened for writing\n", path != nullptr ? path : "");
    return false;
  }
  const auto* pixels = reinterpret_cast<const uint8_t*>(m_data.pixels);
  PngEncodeResult result = Graphics_EncodePNG(pixels, IsValid() ? m_width : 0, IsValid() ? m_height : 0,
                                              WriteToFile, file);
  // A file that cannot be completed on close was not written either.
  if (std::fclose(file) != 0 && result == PngEncodeResult::Written) result = PngEncodeResult::EndFailed;
  if (result == PngEncodeResult::Written) return true;
  DebugConsole->Output("%s\n", Graphics_PngFailureText(result));
  return false;
}

// ---- Background options ----

void CBitmap32::ApplyOptions(bool removeBackground, bool smooth) {
  if (!removeBackground) return;
  RemoveBackground();
  FillTransparentColours();
  if (smooth) SmoothEdges();
}

void CBitmap32::RemoveBackground() {
  if (!HasPixels()) return;
  uint32_t* p = m_data.pixels;
  const uint32_t key = p[static_cast<int64_t>(m_height - 1) * m_width] & kColourMask;
  for (int64_t i = 0, n = m_data.byteSize / 4; i < n; ++i)
    if ((p[i] & kColourMask) == key) p[i] &= kColourMask;
}

namespace {

// Calls fn(x, y) for every pixel of a w x h array whose alpha is 0 at the moment it is reached,
// in row order.
template <typename Fn>
void EachTransparentPixel(const uint32_t* p, int64_t w, int64_t h, Fn fn) {
  for (int64_t y = 0; y < h; ++y)
    for (int64_t x = 0; x < w; ++x)
      if (Alpha(p[y * w + x]) == 0) fn(x, y);
}

}  // namespace

void CBitmap32::FillTransparentColours() {
  if (!HasPixels()) return;
  const int64_t w = m_width, h = m_height;
  uint32_t* p = m_data.pixels;
  EachTransparentPixel(p, w, h, [&](int64_t x, int64_t y) {
    const int64_t neighbours[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
    for (const auto& n : neighbours) {
      if (n[0] < 0 || n[0] >= w || n[1] < 0 || n[1] >= h) continue;
      const uint32_t source = p[n[1] * w + n[0]];
      if (Alpha(source) == 0) continue;
      p[y * w + x] = (p[y * w + x] & kAlphaMask) | (source & kColourMask);
      break;
    }
  });
}

void CBitmap32::SmoothEdges() {
  if (!HasPixels()) return;
  const int64_t w = m_width, h = m_height;
  uint32_t* p = m_data.pixels;
  EachTransparentPixel(p, w, h, [&](int64_t x, int64_t y) {
    for (int64_t ny = std::max<int64_t>(y - 1, 0); ny <= std::min(y + 1, h - 1); ++ny) {
      for (int64_t nx = std::max<int64_t>(x - 1, 0); nx <= std::min(x + 1, w - 1); ++nx) {
        uint32_t& n = p[ny * w + nx];
        if (Alpha(n) >= 32) n -= 32u << 24;
      }
    }
  });
}
