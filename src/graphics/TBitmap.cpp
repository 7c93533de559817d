#include "graphics/TBitmap.h"

#include <cstring>

#include "platform/MemoryManager.h"

TBitmap::~TBitmap() { Free(); }

void TBitmap::SetWidth(int32_t width) {
  m_width = width;
  UpdateStride();
}

void TBitmap::SetHeight(int32_t height) {
  m_height = height;
  UpdateStride();
}

void TBitmap::SetFormat(int32_t format) {
  m_format = format;
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
    const uint32_t offset = kBitmapPixelOffset;
    std::memcpy(m_image + 8, &offset, 4);
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
}

std::unique_ptr<TBitmap> TBitmap_Create() { return std::make_unique<TBitmap>(); }
