// libFuzzer harness for the image readers. The input's first byte chooses the reader, the rest
// is the file:
//   0  PNG: DecodePNG (twice, the second answering the kept image) and FreeDecodedPNG, the size
//      and texture-descriptor readers, DecodePNGInto a buffer of the size the header gives
//   1  JPEG (DecodeJPEG)
//   2  GIF (DecodeGIF)
//   3  BMP through a bitmap's stream reader, then copied and made into a 32-bit bitmap
//   4  DDS: the header reader and the block decoder
//   5  any image file as texture creation reads it (Graphics_DecodeImageFile)
//   6  the 32-bit bitmap's stream form (CBitmap32::CreateFromStream)
// Every answer is walked, so a size that does not match the pixels is a finding.
#include <string>
#include <vector>

#include "FuzzCommon.h"
#include "graphics/Graphics_Bitmap32.h"
#include "graphics/Graphics_DDS.h"
#include "graphics/Graphics_ImageFile.h"
#include "graphics/JPEG_Main.h"
#include "graphics/PNG_Reader.h"
#include "graphics/TBitmap.h"
#include "support/CStream.h"

namespace {

volatile uint32_t g_Sink;

void Walk(const void* pixels, int64_t bytes) {
  const auto* p = static_cast<const uint8_t*>(pixels);
  uint32_t sum = 0;
  for (int64_t i = 0; i < bytes; ++i) sum += p[i];
  g_Sink = sum;
}

void Png(const uint8_t* data, size_t size) {
  int32_t w = 0, h = 0;
  const uint32_t* pixels = DecodePNG(data, size, &w, &h, false);
  if (pixels != nullptr) {
    Walk(pixels, int64_t(w) * h * 4);
    DecodePNG(data, size, &w, &h, false);
  }
  FreeDecodedPNG();
  if (GetPNGSize(data, size, &w, &h, false) && Image_SizeAllowed(w, h)) {
    std::vector<uint8_t> buffer(size_t(w) * size_t(h) * 4);
    pixels = DecodePNGInto(data, size, &w, &h, buffer.data(), buffer.size(), false);
    if (pixels != nullptr) Walk(pixels, int64_t(w) * h * 4);
    FreeDecodedPNG();
  }
  TextureHeader texture;
  texture.data = data;
  texture.dataLength = static_cast<uint32_t>(size);
  getTextureInfo(&texture);
}

void Words(uint32_t* (*decode)(const uint8_t*, uint64_t, int32_t*, int32_t*), const uint8_t* data, size_t size) {
  int32_t w = 0, h = 0;
  uint32_t* pixels = decode(data, size, &w, &h);
  if (pixels != nullptr) Walk(pixels, int64_t(w) * h * 4);
  MemoryManager::Free(pixels);
}

CStream* StreamOf(const uint8_t* data, size_t size) {
  auto* stream = new CStream();
  if (size > 0) stream->WriteBuffer(data, static_cast<int32_t>(size));
  stream->SetPosition(0);
  return stream;
}

void Bmp(const uint8_t* data, size_t size) {
  CStream* stream = StreamOf(data, size);
  TBitmap bitmap;
  bitmap.LoadFromStream(stream);
  CStream::Delete(stream);
  if (bitmap.GetPixels() != nullptr) Walk(bitmap.GetPixels(), int64_t(bitmap.GetStride()) * bitmap.GetHeight());
  TBitmap copy;
  copy.Assign(&bitmap);
  CBitmap32 b = CBitmap32::CreateFromBitmapExt(&copy, true, true, bitmap.GetWidth() % 2 == 0);
  if (b.IsValid()) Walk(b.GetData()->pixels, b.GetData()->byteSize);
}

void Dds(const uint8_t* data, size_t size) {
  DdsImage image;
  if (!DDS_ReadHeader(data, size, &image) || !Image_SizeAllowed(image.width, image.height)) return;
  std::vector<uint8_t> rgba(size_t(image.width) * image.height * 4);
  DDS_DecodeImage(image, rgba.data());
  Walk(rgba.data(), int64_t(rgba.size()));
}

void ImageFile(const uint8_t* data, size_t size) {
  ImageFileInfo info;
  uint8_t* pixels = Graphics_DecodeImageFile(data, size, &info);
  if (pixels != nullptr) Walk(pixels, int64_t(info.width) * info.height * 4);
  MemoryManager::Free(pixels);
}

void Bitmap32Stream(const uint8_t* data, size_t size) {
  CStream* stream = StreamOf(data, size);
  CBitmap32 b = CBitmap32::CreateFromStream(stream);
  CStream::Delete(stream);
  if (b.IsValid()) Walk(b.GetData()->pixels, b.GetData()->byteSize);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t reader = data[0];
  // The file in a block of its own size, so a read past its end is seen.
  std::vector<uint8_t> file(data + 1, data + size);
  const uint8_t* bytes = file.empty() ? nullptr : file.data();
  try {
    switch (reader % 7) {
      case 0: Png(bytes, file.size()); break;
      case 1: Words(DecodeJPEG, bytes, file.size()); break;
      case 2: Words(DecodeGIF, bytes, file.size()); break;
      case 3: Bmp(bytes, file.size()); break;
      case 4: Dds(bytes, file.size()); break;
      case 5: ImageFile(bytes, file.size()); break;
      default: Bitmap32Stream(bytes, file.size()); break;
    }
  } catch (const fuzz::FatalExit&) {
  }
  return 0;
}
