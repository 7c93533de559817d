// Images in main memory. `IBitmap` is the interface the graphics code uses; `TBitmap` is its
// implementation, which keeps the image as a BMP file image without the 2-byte "BM" magic: a
// header (the pixel offset, 52, at byte 8) followed at byte 52 by the pixel rows, top row first,
// with no padding between rows.
//
// A TBitmap owns its buffer (memory manager). It is empty until the first Lock, which sizes the
// buffer from the width, height and format set before it. Not thread-safe; main thread only.
#pragma once

#include <cstdint>
#include <memory>

// Format codes: 1 = 1 bit, 2 = 4 bits, 3 = 8 bits, 4 = 15 bits, 5 = 16 bits, 6 = 24 bits
// (bytes B, G, R), 7 = 32 bits (0xAARRGGBB words: bytes B, G, R, A).
constexpr int32_t kBitmapFormat24 = 6;
constexpr int32_t kBitmapFormat32 = 7;

// Offset of the pixel rows in a buffer the program builds.
constexpr uint32_t kBitmapPixelOffset = 52;

class IBitmap {
 public:
  virtual ~IBitmap() = default;
  // The setters store the value and recompute the row stride; they leave the buffer alone.
  virtual void SetWidth(int32_t width) = 0;
  virtual int32_t GetWidth() const = 0;
  virtual void SetHeight(int32_t height) = 0;
  virtual int32_t GetHeight() const = 0;
  virtual void SetFormat(int32_t format) = 0;
  virtual int32_t GetFormat() const = 0;
  // Answers the address of the first pixel row, making a zero-filled buffer first when there is
  // none; null when the image is too large (2 GB or more) or has a negative size. Stores the
  // stride in bytes and the address of row `row` when the out places are given (null for a row
  // outside the image).
  virtual uint8_t* Lock(int32_t row, uint8_t** rowAddress, int32_t* stride) = 0;
  virtual void Unlock(uint8_t* pixels) = 0;
  // Releases the buffer; the size and format stay.
  virtual void Free() = 0;
};

class TBitmap final : public IBitmap {
 public:
  TBitmap() = default;
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  void SetWidth(int32_t width) override;
  int32_t GetWidth() const override { return m_width; }
  void SetHeight(int32_t height) override;
  int32_t GetHeight() const override { return m_height; }
  void SetFormat(int32_t format) override;
  int32_t GetFormat() const override { return m_format; }
  uint8_t* Lock(int32_t row, uint8_t** rowAddress, int32_t* stride) override;
  void Unlock(uint8_t* /*pixels*/) override {}
  void Free() override;

  // Bytes per row: width / 8, / 2, x 1, x 2, x 2, x 3, x 4 for formats 1 to 7 (integer
  // division, no rounding up), x 4 for any other code.
  int32_t GetStride() const { return m_stride; }
  // The whole buffer and its size in bytes (null and 0 while empty).
  const uint8_t* GetImage() const { return m_image; }
  uint32_t GetImageSize() const { return m_size; }

 private:
  void UpdateStride();

  uint8_t* m_image = nullptr;   // the BMP image less its magic
  uint8_t* m_pixels = nullptr;  // the first pixel row inside m_image
  uint32_t m_size = 0;
  int32_t m_format = kBitmapFormat32;
  int32_t m_width = 0;
  int32_t m_height = 0;
  int32_t m_stride = 0;
};

// A new empty 32-bit bitmap.
std::unique_ptr<TBitmap> TBitmap_Create();
