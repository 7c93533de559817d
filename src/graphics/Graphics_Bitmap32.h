// CBitmap32: the working image of sprites, backgrounds and fonts before they become textures,
// a plain array of 32-bit pixels with its size.
//
// Pixels are 0xAARRGGBB words (bytes B, G, R, A in memory), row-major, top row first, with no
// gap between rows; the array is owned (memory manager). A bitmap is valid when it holds an
// image; a valid bitmap may be empty (a width or height of 0, no pixels). Invalid inputs give
// invalid bitmaps rather than errors, every operation on an invalid bitmap does nothing, and no
// bitmap is ever larger than 2 GB (byte size = width x height x 4 fits a signed 32-bit value).
// Not thread-safe; main thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "graphics/TBitmap.h"

class CStream;

// What texture creation reads as a unit: the byte size and the pixels.
struct Bitmap32Data {
  int32_t byteSize = 0;
  uint32_t* pixels = nullptr;
};

// An inclusive box of pixel positions.
struct BoundingBox {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

class CBitmap32 {
 public:
  // An invalid bitmap.
  CBitmap32() = default;
  ~CBitmap32();
  CBitmap32(CBitmap32&& other) noexcept;
  CBitmap32& operator=(CBitmap32&& other) noexcept;
  CBitmap32(const CBitmap32&) = delete;
  CBitmap32& operator=(const CBitmap32&) = delete;

  // ---- Constructors ----

  // A copy; invalid when the other is.
  static CBitmap32 CreateCopy(const CBitmap32& other);
  // The w x h block at (x, y) of the other; valid only when the other is valid and the block
  // (with w and h not negative) lies inside it.
  static CBitmap32 CreateRegion(const CBitmap32& other, int32_t x, int32_t y, int32_t w, int32_t h);
  // A w x h bitmap (sizes below 1 become 1) of the script colour 0x00BBGGRR made opaque: every
  // pixel 0xFF000000 | R << 16 | G << 8 | B.
  static CBitmap32 CreateFilled(int32_t w, int32_t h, uint32_t colour);
  // Reads the stream form at the stream's position:
  //  - version 540: int32 540, int32 valid (0 or not); when valid int32 width, int32 height and
  //    the pixel bytes as a compressed block (ZCompressStream's form). Invalid unless the block
  //    inflates to exactly width x height x 4 bytes.
  //  - version 800: int32 800, int32 width, int32 height, int32 length and that many raw bytes,
  //    the first width x height x 4 of them the pixels. Invalid when the length or the bytes
  //    present are fewer; the position moves past the length (at most to the stream's end).
  //  - any other version: invalid.
  // Sizes that are negative or make 2 GB or more give an invalid bitmap.
  static CBitmap32 CreateFromStream(CStream* stream);
  // From a 24-bit or 32-bit bitmap, every pixel made opaque from its bytes B, G, R (the source
  // alpha is ignored); invalid for other formats or null. Then the options (see RemoveBackground).
  static CBitmap32 CreateFromBitmapOpaque(IBitmap* bitmap, bool removeBackground, bool smooth);
  // From a 32-bit bitmap only, pixels copied word for word; then the options.
  static CBitmap32 CreateFromBitmapAlpha(IBitmap* bitmap, bool removeBackground, bool smooth);
  // Formats 6 and 7 as CreateFromBitmapOpaque; any other format gives an invalid bitmap.
  static CBitmap32 CreateFromBitmap(IBitmap* bitmap, bool removeBackground, bool smooth);
  // keepAlpha chooses CreateFromBitmapAlpha, else CreateFromBitmap.
  static CBitmap32 CreateFromBitmapExt(IBitmap* bitmap, bool removeBackground, bool smooth, bool keepAlpha);
  // A max(w, 1) x max(h, 1) opaque picture mixing the script colours colour1 and colour2
  // (0x00BBGGRR) with ColourMerge by position: kind 0 horizontal, 1 vertical, 2 rectangle,
  // 3 ellipse, 4 double horizontal, 5 double vertical. The mixing weight grows from 0 towards,
  // never reaching, 1. With w or h below 1, or any other kind, every pixel is opaque black.
  static CBitmap32 CreateGradient(int32_t w, int32_t h, uint32_t colour1, uint32_t colour2, int32_t kind);

  // ---- Operations ----

  // Becomes a copy of the other (invalid when the other is).
  void Assign(const CBitmap32& other);
  // Releases the pixels; byte size 0, invalid.
  void Free();

  bool IsValid() const { return m_valid != 0; }
  int32_t GetWidth() const { return m_width; }
  int32_t GetHeight() const { return m_height; }
  const Bitmap32Data* GetData() const { return &m_data; }

  // Every pixel's alpha byte becomes `alpha`.
  void SetAlpha(uint8_t alpha);
  // Over the area both share, each pixel's alpha becomes the smaller of its own and the other's
  // (R + G + B) / 3; colours stay. Nothing happens for a null or invalid other.
  void SetAlphaFromBitmap(const CBitmap32* other);
  // Nearest-neighbour rescale: pixel (x, y) becomes the old pixel (x * width / w,
  // y * height / h). Nothing for the same size; invalid for a negative size, one of 2 GB or
  // more, or an empty bitmap asked to grow.
  void Resize(int32_t w, int32_t h);
  // The box of the pixels whose alpha is not 0, starting from {width - 1, height - 1, 0, 0}: a
  // bitmap with no such pixel answers that start (left > right). {0, 0, 0, 0} when invalid or
  // empty.
  BoundingBox GetBoundingBox() const;
  // A new 24-bit bitmap of the same size, bytes B, G, R (alpha dropped); null when invalid.
  std::unique_ptr<TBitmap> CreateTBitmap24() const;
  // A new 32-bit bitmap whose pixel bytes are R, G, B, A; null when invalid.
  std::unique_ptr<TBitmap> CreateTBitmap() const;
  // Writes the version-540 form; an invalid bitmap writes 540 and 0 only.
  void WriteToStream(CStream* stream) const;
  // Writes an 8-bit RGBA PNG at the plain path `path` (callers map names a game gives into the
  // save area first), each row being the pixel bytes as they lie in memory taken as the R, G, B,
  // A samples. False, after one line on DebugConsole, when the file cannot be opened or written.
  bool write_png_file(const char* path) const;

  // ---- The background options of the TBitmap constructors ----

  // Every pixel whose colour (low 24 bits) is the bottom-left pixel's gets alpha 0.
  void RemoveBackground();
  // In row order, every pixel with alpha 0 takes the colour (alpha stays 0) of the first of its
  // neighbours left, right, above, below whose alpha is not 0.
  void FillTransparentColours();
  // In row order, for every pixel with alpha 0, each pixel of its 3 x 3 neighbourhood whose alpha
  // is at least 32 loses 32; pixels brought to 0 earlier in the pass count as transparent.
  void SmoothEdges();

 private:
  // Becomes a valid w x h bitmap with zero pixels; false (invalid) for a negative size or one of
  // 2 GB or more.
  bool Allocate(int64_t w, int64_t h);
  void ApplyOptions(bool removeBackground, bool smooth);
  bool HasPixels() const { return m_valid != 0 && m_data.byteSize > 0; }
  // The TBitmap constructors: words copied whole with keepAlpha (32-bit sources only), else
  // made opaque from B, G, R (24-bit sources too).
  static CBitmap32 FromBitmap(IBitmap* bitmap, bool keepAlpha, bool removeBackground, bool smooth);

  uint8_t m_valid = 0;
  int32_t m_width = 0;
  int32_t m_height = 0;
  Bitmap32Data m_data;
};
