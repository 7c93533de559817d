#include "testlib/ImageFixtures.h"

#include <gif_lib.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace testsupport {

namespace {

void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

void PngWrite(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void PngFlush(png_structp) {}

bool PngEncode(png_structp png, png_infop info, const PngImage& image) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colourType,
               image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!image.palette.empty()) {
    std::vector<png_color> colours(image.palette.size() / 3);
    for (size_t i = 0; i < colours.size(); ++i)
      colours[i] = {image.palette[3 * i], image.palette[3 * i + 1], image.palette[3 * i + 2]};
    png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
  }
  if (!image.transparency.empty()) {
    if (image.colourType == PNG_COLOR_TYPE_PALETTE) {
      png_set_tRNS(png, info, image.transparency.data(), static_cast<int>(image.transparency.size()), nullptr);
    } else {
      png_color_16 key{};
      const Bytes& t = image.transparency;  // big-endian samples: grey, or red, green, blue
      key.gray = static_cast<png_uint_16>(t[0] << 8 | t[1]);
      if (t.size() >= 6) {
        key.red = static_cast<png_uint_16>(t[0] << 8 | t[1]);
        key.green = static_cast<png_uint_16>(t[2] << 8 | t[3]);
        key.blue = static_cast<png_uint_16>(t[4] << 8 | t[5]);
      }
      png_set_tRNS(png, info, nullptr, 0, &key);
    }
  }
  png_write_info(png, info);
  const size_t rowBytes = image.rows.size() / image.height;
  std::vector<png_bytep> rows(image.height);
  for (uint32_t y = 0; y < image.height; ++y) rows[y] = const_cast<png_bytep>(image.rows.data() + rowBytes * y);
  if (image.interlaced) png_set_interlace_handling(png);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  return true;
}

int GifWrite(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

// A giflib colour map of the triples, padded with black to a power of two; null for none.
ColorMapObject* GifMap(const Bytes& triples) {
  if (triples.empty()) return nullptr;
  int count = 2;
  while (count * 3 < static_cast<int>(triples.size())) count *= 2;
  std::vector<GifColorType> colours(static_cast<size_t>(count), GifColorType{0, 0, 0});
  for (size_t i = 0; i * 3 < triples.size(); ++i) colours[i] = {triples[3 * i], triples[3 * i + 1], triples[3 * i + 2]};
  return GifMakeMapObject(count, colours.data());
}

}  // namespace

Bytes MakeBMP(int32_t width, int32_t height, uint16_t bits, const Bytes& palette, const Bytes& rows,
              int64_t pixelOffset) {
  Bytes b = {'B', 'M'};
  const uint32_t offset = pixelOffset >= 0 ? static_cast<uint32_t>(pixelOffset) : 54u + static_cast<uint32_t>(palette.size());
  Put32(b, static_cast<uint32_t>(54 + palette.size() + rows.size()));
  Put32(b, 0);
  Put32(b, offset);
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(width));
  Put32(b, static_cast<uint32_t>(height));
  Put16(b, 1);
  Put16(b, bits);
  for (int i = 0; i < 6; ++i) Put32(b, 0);  // compression, image size, resolution, colours
  b.insert(b.end(), palette.begin(), palette.end());
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

Bytes MakePNG(const PngImage& image) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, PngWrite, PngFlush);
  const bool ok = PngEncode(png, info, image);
  png_destroy_write_struct(&png, &info);
  if (!ok) out.clear();
  return out;
}

bool ReadPng(const std::string& path, DecodedPng* out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGBA;
  out->width = image.width;
  out->height = image.height;
  out->rgba.resize(PNG_IMAGE_SIZE(image));
  return png_image_finish_read(&image, nullptr, out->rgba.data(), 0, nullptr) != 0;
}

Bytes MakeJPEG(int width, int height, int components, const Bytes& samples, bool progressive) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 100, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() + static_cast<size_t>(cinfo.next_scanline) * width * components);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

Bytes MakeGIF(const GifImage& image) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, GifWrite, &error);
  EGifSetGifVersion(gif, true);
  ColorMapObject* global = GifMap(image.colours);
  bool ok = EGifPutScreenDesc(gif, image.width, image.height, 8, 0, global) != GIF_ERROR;
  GifFreeMapObject(global);
  for (const GifFrame& f : image.frames) {
    for (const Bytes& control : f.controls) {
      ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(control.size()), control.data()) != GIF_ERROR;
    }
    ColorMapObject* local = GifMap(f.colours);
    ok = ok && EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, local) != GIF_ERROR;
    GifFreeMapObject(local);
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < (f.interlaced ? 4 : 1); ++pass) {
      for (int y = f.interlaced ? kStart[pass] : 0; ok && y < f.height; y += f.interlaced ? kStep[pass] : 1) {
        // giflib masks the row in place to the map's bits, so it gets a copy.
        Bytes row(f.indices.begin() + static_cast<long>(y) * f.width, f.indices.begin() + static_cast<long>(y + 1) * f.width);
        ok = EGifPutLine(gif, row.data(), f.width) != GIF_ERROR;
      }
    }
  }
  if (EGifCloseFile(gif, &error) == GIF_ERROR || !ok) out.clear();
  return out;
}

namespace {

Bytes DdsHeader(uint32_t width, uint32_t height, uint32_t mipLevels, uint32_t pixelFlags, const char* fourCC,
                const std::array<uint32_t, 4>& masks) {
  Bytes b = {'D', 'D', 'S', ' '};
  Put32(b, 124);
  Put32(b, 0x1 | 0x2 | 0x4 | 0x1000 | (mipLevels > 1 ? 0x20000u : 0u));
  Put32(b, height);
  Put32(b, width);
  Put32(b, 0);  // pitch or linear size
  Put32(b, 0);  // depth
  Put32(b, mipLevels > 1 ? mipLevels : 0);
  for (int i = 0; i < 11; ++i) Put32(b, 0);
  Put32(b, 32);
  Put32(b, pixelFlags);
  for (int i = 0; i < 4; ++i) b.push_back(fourCC != nullptr ? static_cast<uint8_t>(fourCC[i]) : 0);
  Put32(b, fourCC != nullptr ? 0 : 32);
  for (uint32_t m : masks) Put32(b, m);
  Put32(b, 0x1000);
  for (int i = 0; i < 4; ++i) Put32(b, 0);
  return b;
}

}  // namespace

Bytes MakeDDS(uint32_t width, uint32_t height, const std::string& fourCC, const Bytes& data, uint32_t mipLevels) {
  Bytes b = DdsHeader(width, height, mipLevels, 0x4, fourCC.c_str(), {0, 0, 0, 0});
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

Bytes MakeDDSPixels(uint32_t width, uint32_t height, const std::array<uint32_t, 4>& masks, const Bytes& data) {
  Bytes b = DdsHeader(width, height, 1, 0x40 | (masks[3] != 0 ? 0x1u : 0u), nullptr, masks);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

}  // namespace testsupport
