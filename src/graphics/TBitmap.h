// Images in main memory. `IBitmap` is the interface the graphics code uses; `TBitmap` is its
// implementation, which keeps the image as a BMP file image without the 2-byte "BM" magic: a
// header (the pixel offset at byte 8, the 40-byte info header from byte 12) followed by the
// pixel rows, top row first, with no padding between rows. Images the program builds put the
// rows at byte 52 and store 52 as the pixel offset; a BMP read from a stream keeps its file's
// pixel offset, which counts the magic (so its rows start 2 bytes before that offset).
//
// `IBitmapLoader` hands out bitmaps; `BitmapLoader` holds one 32-bit image made from pixels.
//
// Every buffer is owned (memory manager). A TBitmap is empty until Lock, Attach, Assign or
// LoadFromStream gives it one. Not thread-safe; main thread only.
#pragma once

#include <cstdint>
#include <memory>

class CStream;

// Format codes: 1 = 1 bit, 2 = 4 bits, 3 = 8 bits, 4 = 15 bits, 5 = 16 bits, 6 = 24 bits
// (bytes B, G, R), 7 = 32 bits (0xAARRGGBB words: bytes B, G, R, A).
constexpr int32_t kBitmapFormat8 = 3;
constexpr int32_t kBitmapFormat24 = 6;
constexpr int32_t kBitmapFormat32 = 7;

// Offset of the pixel rows in a buffer the program builds, and the size of the header there.
constexpr uint32_t kBitmapPixelOffset = 52;

// The format code of a BMP bit count: 1, 4, 8, 15, 16, 24 and 32 bits give 1 to 7; any other
// count gives 7.
int32_t FormatFromBitCount(int32_t bits);

class IBitmap {
 public:
  virtual ~IBitmap() = default;
  // Reads one whole BMP file from the stream (see TBitmap::LoadFromStream).
  virtual void LoadFromStream(CStream* stream) = 0;
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
  // Becomes a copy of the other bitmap (see TBitmap::Assign).
  virtual void Assign(const IBitmap* other) = 0;
  // Releases the buffer; the size and format stay.
  virtual void Free() = 0;
  // Always null.
  virtual void* GetReserved() const = 0;
  // Takes ownership of a buffer in the program's layout (see TBitmap::Attach).
  virtual void Attach(uint8_t* image, uint32_t size) = 0;
};

class TBitmap final : public IBitmap {
 public:
  TBitmap() = default;
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  // Frees the image; then, when the stream has a byte after its position and the two bytes
  // there are "BM", reads the whole stream (from its start) as one BMP file: the rows are
  // flipped to put the top row first (a stored height is a count of rows from the bottom), and
  // an 8-bit image becomes a 32-bit one (0xFF000000 | R << 16 | G << 8 | B of the palette entry
  // each byte names, entries being the 4-byte B, G, R, reserved records from byte 52 of the
  // buffer). Rows are read with the unpadded stride of the format. The bitmap stays empty when
  // the header does not fit, the width or height is negative, the rows reach past the file or a
  // palette entry a pixel names lies outside it.
  void LoadFromStream(CStream* stream) override;
  // LoadFromStream over `length` bytes of BMP file at `file` (whose first two bytes, the magic,
  // are skipped unread); false when the bitmap stays empty.
  bool LoadBMP(const uint8_t* file, uint64_t length);

  void SetWidth(int32_t width) override;
  int32_t GetWidth() const override { return m_width; }
  void SetHeight(int32_t height) override;
  int32_t GetHeight() const override { return m_height; }
  void SetFormat(int32_t format) override;
  int32_t GetFormat() const override { return m_format; }
  uint8_t* Lock(int32_t row, uint8_t** rowAddress, int32_t* stride) override;
  void Unlock(uint8_t* /*pixels*/) override {}
  // Frees this image and takes the other's width and height; when the other is a TBitmap with a
  // buffer, also a copy of the buffer with the pixels at the same place in it, and its format
  // and stride. Null only frees.
  void Assign(const IBitmap* other) override;
  void Free() override;
  void* GetReserved() const override { return nullptr; }
  // Frees the current image and takes `image` (a memory-manager block of `size` bytes; ownership
  // passes even on failure): the pixels at the buffer's pixel offset, the width and height from
  // its header, format 7, stride width x 4. A buffer whose header or rows do not fit in `size`
  // bytes, or whose width or height is negative, is released and the bitmap stays empty.
  void Attach(uint8_t* image, uint32_t size) override;

  // Bytes per row: width / 8, / 2, x 1, x 2, x 2, x 3, x 4 for formats 1 to 7 (integer
  // division, no rounding up), x 4 for any other code.
  int32_t GetStride() const { return m_stride; }
  // The whole buffer and its size in bytes (null and 0 while empty).
  const uint8_t* GetImage() const { return m_image; }
  uint32_t GetImageSize() const { return m_size; }
  // The first pixel row (null while empty).
  const uint8_t* GetPixels() const { return m_pixels; }
  // Starts at -1; every SetWidth, SetHeight, SetFormat, Assign and Free adds one.
  int32_t GetChangeCount() const { return m_changes; }

 private:
  void UpdateStride();
  // Pixel position, size, format and stride from the buffer's header; `pixelBias` is taken off
  // the stored pixel offset. False when they do not fit the buffer.
  bool ReadHeader(int64_t pixelBias);
  bool ConvertPalette();

  uint8_t* m_image = nullptr;   // the BMP image less its magic
  uint8_t* m_pixels = nullptr;  // the first pixel row inside m_image
  uint32_t m_size = 0;
  int32_t m_format = kBitmapFormat32;
  int32_t m_width = 0;
  int32_t m_height = 0;
  int32_t m_stride = 0;
  int32_t m_changes = -1;
};

// A new empty 32-bit bitmap.
std::unique_ptr<TBitmap> TBitmap_Create();

class IBitmapLoader {
 public:
  virtual ~IBitmapLoader() = default;
  // Whether the images are separate frames rather than one strip.
  virtual bool IsMultiFrame() const = 0;
  virtual int32_t GetCount() const = 0;
  // A new bitmap holding image `index`, or null when there is no such image.
  virtual std::unique_ptr<TBitmap> CreateBitmap(int32_t index) const = 0;
};

class BitmapLoader final : public IBitmapLoader {
 public:
  BitmapLoader() = default;
  ~BitmapLoader() override;
  BitmapLoader(const BitmapLoader&) = delete;
  BitmapLoader& operator=(const BitmapLoader&) = delete;

  bool IsMultiFrame() const override { return false; }
  int32_t GetCount() const override { return m_count; }
  // A copy of the image attached to a new TBitmap; null for an index other than 0 or no image.
  std::unique_ptr<TBitmap> CreateBitmap(int32_t index) const override;

 private:
  friend std::unique_ptr<BitmapLoader> BitmapLoader_CreateFromPixels(const uint32_t*, int32_t, int32_t);
  uint8_t* m_image = nullptr;  // one 32-bit image in the program's layout
  uint32_t m_size = 0;
  int32_t m_count = 0;
};

// A loader holding one 32-bit image: a width x height x 4 + 52 byte buffer with the header of an
// image the program builds (pixel offset 52, info size 40, width, height, 1 layer, 32 bits,
// compression 0) and a copy of the width x height 0xAARRGGBB pixels at byte 52. A loader with no
// image (count 0) when the size is negative or the buffer would be 2 GB or more.
std::unique_ptr<BitmapLoader> BitmapLoader_CreateFromPixels(const uint32_t* pixels, int32_t width, int32_t height);
