#include "graphics/Graphics_ImageFile.h"

#include <cstring>

#include "graphics/Graphics_DDS.h"
#include "graphics/JPEG_Main.h"
#include "graphics/PNG_Reader.h"
#include "graphics/TBitmap.h"
#include "platform/MemoryManager.h"

namespace {

bool StartsWith(const uint8_t* data, uint64_t length, const void* magic, size_t size) {
  return length >= size && std::memcmp(data, magic, size) == 0;
}

// 0xAARRGGBB words in place into bytes R, G, B, A; with `opaque` the alpha becomes 255.
void WordsToRgba(uint32_t* words, uint64_t count, bool opaque) {
  auto* bytes = reinterpret_cast<uint8_t*>(words);
  for (uint64_t i = 0; i < count; ++i) {
    uint8_t* p = bytes + 4 * i;
    const uint8_t blue = p[0];
    p[0] = p[2];
    p[2] = blue;
    if (opaque) p[3] = 255;
  }
}

uint8_t* DecodePng(const uint8_t* data, uint64_t length, int32_t* width, int32_t* height) {
  // A decoding of its own, apart from the image DecodePNG keeps.
  PNGDecodeState state;
  state.data = data;
  state.length = length;
  if (!ReadPNG(&state)) return nullptr;
  uint8_t* pixels = state.pixels;
  state.pixels = nullptr;
  *width = state.width;
  *height = state.height;
  FreePNGDecoder(&state);
  WordsToRgba(reinterpret_cast<uint32_t*>(pixels), static_cast<uint64_t>(*width) * *height, false);
  return pixels;
}

uint8_t* DecodeJpeg(const uint8_t* data, uint64_t length, int32_t* width, int32_t* height) {
  uint32_t* words = DecodeJPEG(data, length, width, height);
  if (words != nullptr) WordsToRgba(words, static_cast<uint64_t>(*width) * *height, true);
  return reinterpret_cast<uint8_t*>(words);
}

uint8_t* DecodeBmp(const uint8_t* data, uint64_t length, int32_t* width, int32_t* height) {
  TBitmap bitmap;
  if (!bitmap.LoadBMP(data, length)) return nullptr;
  const int32_t format = bitmap.GetFormat();
  const int64_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if ((format != kBitmapFormat24 && format != kBitmapFormat32) || !Image_SizeAllowed(w, h)) return nullptr;
  const int64_t bytesPerPixel = format == kBitmapFormat24 ? 3 : 4;
  auto* out = static_cast<uint8_t*>(MemoryManager::Alloc(static_cast<uint32_t>(w * h * 4), __FILE__, __LINE__, false));
  const uint8_t* in = bitmap.GetPixels();
  for (int64_t i = 0; i < w * h; ++i) {
    const uint8_t* p = in + i * bytesPerPixel;  // B, G, R
    out[4 * i] = p[2];
    out[4 * i + 1] = p[1];
    out[4 * i + 2] = p[0];
    out[4 * i + 3] = 255;
  }
  *width = static_cast<int32_t>(w);
  *height = static_cast<int32_t>(h);
  return out;
}

uint8_t* DecodeDds(const uint8_t* data, uint64_t length, int32_t* width, int32_t* height, int32_t* mipLevels) {
  DdsImage image;
  if (!DDS_ReadHeader(data, length, &image) || !Image_SizeAllowed(image.width, image.height)) return nullptr;
  auto* out = static_cast<uint8_t*>(
      MemoryManager::Alloc(static_cast<uint32_t>(uint64_t(image.width) * image.height * 4), __FILE__, __LINE__, false));
  DDS_DecodeImage(image, out);
  *width = static_cast<int32_t>(image.width);
  *height = static_cast<int32_t>(image.height);
  *mipLevels = image.mipLevels > INT32_MAX ? INT32_MAX : static_cast<int32_t>(image.mipLevels);
  return out;
}

}  // namespace

bool Image_SizeAllowed(int64_t width, int64_t height) {
  return width >= 1 && height >= 1 && width <= kImageMaxSide && height <= kImageMaxSide &&
         width * height <= kImageMaxPixels;
}

uint8_t* Graphics_DecodeImageFile(const uint8_t* data, uint64_t length, ImageFileInfo* info) {
  if (data == nullptr) return nullptr;
  static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  static const uint8_t kJpeg[3] = {0xFF, 0xD8, 0xFF};
  ImageFileInfo out;
  uint8_t* pixels = nullptr;
  if (StartsWith(data, length, kPng, sizeof(kPng))) {
    out.format = ImageFileFormat::PNG;
    pixels = DecodePng(data, length, &out.width, &out.height);
  } else if (StartsWith(data, length, kJpeg, sizeof(kJpeg))) {
    out.format = ImageFileFormat::JPEG;
    pixels = DecodeJpeg(data, length, &out.width, &out.height);
  } else if (StartsWith(data, length, "BM", 2)) {
    out.format = ImageFileFormat::BMP;
    pixels = DecodeBmp(data, length, &out.width, &out.height);
  } else if (StartsWith(data, length, "DDS ", 4)) {
    out.format = ImageFileFormat::DDS;
    pixels = DecodeDds(data, length, &out.width, &out.height, &out.mipLevels);
  }
  if (pixels != nullptr && info != nullptr) *info = out;
  return pixels;
}
