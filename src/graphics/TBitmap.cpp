#include "graphics/TBitmap.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/MemoryManager.h"
#include "support/CStream.h"

namespace {

// Header fields, as offsets into a buffer (the file offsets less the 2-byte magic).
constexpr uint32_t kPixelOffsetField = 8;
constexpr uint32_t kInfoSizeField = 12;
constexpr uint32_t kWidthField = 16;
constexpr uint32_t kHeightField = 20;
constexpr uint32_t kLayersField = 24;
constexpr uint32_t kBitCountField = 26;

uint32_t GetU32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

int32_t GetS32(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void PutU32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
void PutU16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

}  // namespace

int32_t FormatFromBitCount(int32_t bits) {
  switch (bits) {
    case 1: return 1;
    case 4: return 2;
    case 8: return 3;
    case 15: return 4;
    case 16: return 5;
    case 24: return 6;
    default: return 7;
  }
}

// ---- TBitmap ----

TBitmap::~TBitmap() { Free(); }

void TBitmap::SetWidth(int32_t width) {
  m_width = width;
  ++m_changes;
  UpdateStride();
}

void TBitmap::SetHeight(int32_t height) {
  m_height = height;
  ++m_changes;
  UpdateStride();
}

void TBitmap::SetFormat(int32_t format) {
  m_format = format;
  ++m_changes;
  UpdateStride();
}

void TBitmap::UpdateStride() {
  const int64_t w = m_width;
  int64_t stride = w * 4;
  switch (m_format) {
    case 1: stride = w / 8; break;
    case 2: stride = w / 2; break;
    case 3: stride = w; break;
    case 4:
    case 5: stride = w * 2; break;
    case 6: stride = w * 3; break;
    default: break;
  }
  // A stride past the 32-bit range can never be locked; keep it negative so Lock refuses it.
  m_stride = stride > INT32_MAX ? -1 : static_cast<int32_t>(stride);
}

uint8_t* TBitmap::Lock(int32_t row, uint8_t** rowAddress, int32_t* stride) {
  if (m_image == nullptr) {
    if (m_stride < 0 || m_height < 0) return nullptr;
    const int64_t bytes = static_cast<int64_t>(m_stride) * m_height + kBitmapPixelOffset;
    if (bytes > INT32_MAX) return nullptr;
    m_image = static_cast<uint8_t*>(MemoryManager::Alloc(static_cast<uint32_t>(bytes), __FILE__, __LINE__, true));
    m_size = static_cast<uint32_t>(bytes);
    m_pixels = m_image + kBitmapPixelOffset;
    PutU32(m_image + kPixelOffsetField, kBitmapPixelOffset);
  }
  if (stride != nullptr) *stride = m_stride;
  if (rowAddress != nullptr)
    *rowAddress = row >= 0 && row < m_height ? m_pixels + static_cast<int64_t>(row) * m_stride : nullptr;
  return m_pixels;
}

void TBitmap::Free() {
  MemoryManager::Free(m_image);
  m_image = nullptr;
  m_pixels = nullptr;
  m_size = 0;
  ++m_changes;
}

void TBitmap::Assign(const IBitmap* other) {
  if (other == this) return;
  Free();
  if (other != nullptr) {
    m_width = other->GetWidth();
    m_height = other->GetHeight();
    UpdateStride();
    const auto* source = dynamic_cast<const TBitmap*>(other);
    if (source != nullptr && source->m_image != nullptr) {
      m_image = static_cast<uint8_t*>(MemoryManager::Alloc(source->m_size, __FILE__, __LINE__, false));
      std::memcpy(m_image, source->m_image, source->m_size);
      m_size = source->m_size;
      m_pixels = m_image + (source->m_pixels - source->m_image);
      m_format = source->m_format;
      m_stride = source->m_stride;
    }
  }
  ++m_changes;
}

bool TBitmap::ReadHeader(int64_t pixelBias) {
  if (m_image == nullptr || m_size < kBitmapPixelOffset) return false;
  const int64_t start = static_cast<int64_t>(GetU32(m_image + kPixelOffsetField)) - pixelBias;
  m_width = GetS32(m_image + kWidthField);
  m_height = GetS32(m_image + kHeightField);
  uint16_t bits;
  std::memcpy(&bits, m_image + kBitCountField, 2);
  m_format = FormatFromBitCount(bits);
  UpdateStride();
  if (start < 0 || m_width < 0 || m_height < 0 || m_stride < 0) return false;
  if (static_cast<int64_t>(m_stride) * m_height > static_cast<int64_t>(m_size) - start) return false;
  m_pixels = m_image + start;
  return true;
}

void TBitmap::Attach(uint8_t* image, uint32_t size) {
  MemoryManager::Free(m_image);
  m_image = image;
  m_size = size;
  m_pixels = nullptr;
  if (!ReadHeader(0)) {
    MemoryManager::Free(m_image);
    m_image = nullptr;
    m_size = 0;
    m_width = m_height = 0;
  }
  m_format = kBitmapFormat32;
  UpdateStride();
}

bool TBitmap::ConvertPalette() {
  const int64_t count = static_cast<int64_t>(m_width) * m_height;
  const int64_t bytes = count * 4 + kBitmapPixelOffset;
  if (bytes > INT32_MAX) return false;
  uint8_t highest = 0;
  for (int64_t k = 0; k < count; ++k) highest = std::max(highest, m_pixels[k]);
  if (count > 0 && kBitmapPixelOffset + 4u * highest + 4u > m_size) return false;  // the entry lies outside

  auto* image = static_cast<uint8_t*>(MemoryManager::Alloc(static_cast<uint32_t>(bytes), __FILE__, __LINE__, false));
  std::memcpy(image, m_image, kBitmapPixelOffset);
  PutU16(image + kBitCountField, 32);
  PutU32(image + kPixelOffsetField, kBitmapPixelOffset);
  uint8_t* out = image + kBitmapPixelOffset;
  for (int64_t k = 0; k < count; ++k) {
    const uint8_t* entry = m_image + kBitmapPixelOffset + 4u * m_pixels[k];
    const uint32_t word = 0xFF000000u | uint32_t(entry[2]) << 16 | uint32_t(entry[1]) << 8 | entry[0];
    std::memcpy(out + 4 * k, &word, 4);
  }
  MemoryManager::Free(m_image);
  m_image = image;
  m_pixels = out;
  m_size = static_cast<uint32_t>(bytes);
  m_format = kBitmapFormat32;
  UpdateStride();
  return true;
}

bool TBitmap::LoadBMP(const uint8_t* file, uint64_t length) {
  MemoryManager::Free(m_image);
  m_image = m_pixels = nullptr;
  m_size = 0;
  bool ok = file != nullptr && length >= 2 + kBitmapPixelOffset && length - 2 <= INT32_MAX;
  if (ok) {
    m_size = static_cast<uint32_t>(length - 2);
    m_image = static_cast<uint8_t*>(MemoryManager::Alloc(m_size, __FILE__, __LINE__, false));
    std::memcpy(m_image, file + 2, m_size);
    ok = ReadHeader(2);
  }
  if (ok) {
    // Rows are stored bottom row first. (Rows of no bytes, as a 1-bit image narrower than 8
    // pixels has, need no moving, however many a header claims.)
    const size_t rowBytes = static_cast<size_t>(m_stride);
    for (int64_t j = 0, i = rowBytes > 0 ? static_cast<int64_t>(m_height) - 1 : 0; j < i; ++j, --i)
      std::swap_ranges(m_pixels + j * m_stride, m_pixels + j * m_stride + rowBytes, m_pixels + i * m_stride);
    if (m_format == kBitmapFormat8) ok = ConvertPalette();
  }
  if (!ok) {
    MemoryManager::Free(m_image);
    m_image = m_pixels = nullptr;
    m_size = 0;
    m_width = m_height = 0;
    m_format = kBitmapFormat32;
    UpdateStride();
  }
  return ok;
}

void TBitmap::LoadFromStream(CStream* stream) {
  Free();
  if (stream == nullptr) return;
  const int64_t position = stream->GetPosition(), size = stream->GetSize();
  if (position < 0 || position >= size) return;
  const uint8_t* data = stream->GetData();
  stream->SetPosition(std::min<int64_t>(position + 2, size));
  if (size - position < 2 || data[position] != 'B' || data[position + 1] != 'M') return;
  // The stream holds exactly one BMP file, read from its start.
  LoadBMP(data, static_cast<uint64_t>(size));
  stream->SetPosition(size);
}

std::unique_ptr<TBitmap> TBitmap_Create() { return std::make_unique<TBitmap>(); }

// ---- BitmapLoader ----

BitmapLoader::~BitmapLoader() { MemoryManager::Free(m_image); }

std::unique_ptr<TBitmap> BitmapLoader::CreateBitmap(int32_t index) const {
  if (index < 0 || index >= m_count) return nullptr;
  auto* copy = static_cast<uint8_t*>(MemoryManager::Alloc(m_size, __FILE__, __LINE__, false));
  std::memcpy(copy, m_image, m_size);
  std::unique_ptr<TBitmap> bitmap = TBitmap_Create();
  bitmap->Attach(copy, m_size);
  return bitmap;
}

std::unique_ptr<BitmapLoader> BitmapLoader_CreateFromPixels(const uint32_t* pixels, int32_t width, int32_t height) {
  auto loader = std::make_unique<BitmapLoader>();
  if (width < 0 || height < 0) return loader;
  const int64_t pixelBytes = static_cast<int64_t>(width) * height * 4;
  if (pixelBytes + kBitmapPixelOffset > INT32_MAX || (pixels == nullptr && pixelBytes > 0)) return loader;
  loader->m_size = static_cast<uint32_t>(pixelBytes + kBitmapPixelOffset);
  loader->m_image = static_cast<uint8_t*>(MemoryManager::Alloc(loader->m_size, __FILE__, __LINE__, true));
  uint8_t* image = loader->m_image;
  PutU32(image + kPixelOffsetField, kBitmapPixelOffset);
  PutU32(image + kInfoSizeField, 40);
  PutU32(image + kWidthField, static_cast<uint32_t>(width));
  PutU32(image + kHeightField, static_cast<uint32_t>(height));
  PutU16(image + kLayersField, 1);
  PutU16(image + kBitCountField, 32);
  if (pixelBytes > 0) std::memcpy(image + kBitmapPixelOffset, pixels, static_cast<size_t>(pixelBytes));
  loader->m_count = 1;
  return loader;
}
