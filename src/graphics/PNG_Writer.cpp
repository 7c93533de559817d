#include "graphics/PNG_Writer.h"

#include <png.h>

// libpng reports errors by jumping back to the step that set its jump buffer. Each step below is
// a function of its own holding only plain values, so the jump never skips a destructor.

namespace {

struct SinkState {
  PngByteSink sink;
  void* context;
};

void WriteBytes(png_structp png, png_bytep data, size_t length) {
  auto* state = static_cast<SinkState*>(png_get_io_ptr(png));
  if (!state->sink(state->context, data, length)) png_error(png, "the output refused the bytes");
}

void FlushNothing(png_structp) {}

// Quiet handlers: failures are reported by the writer that called the encoder.
[[noreturn]] void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

bool InitIo(png_structp png, SinkState* state) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, state, WriteBytes, FlushNothing);
  return true;
}

bool WriteHeader(png_structp png, png_infop info, int32_t width, int32_t height) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  return true;
}

void WriteAllRows(png_structp png, const uint8_t* pixels, int32_t width, int32_t height) {
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  for (int32_t y = 0; y < height; ++y) png_write_row(png, pixels + static_cast<size_t>(y) * rowBytes);
}

bool WriteRows(png_structp png, const uint8_t* pixels, int32_t width, int32_t height) {
  if (setjmp(png_jmpbuf(png))) return false;
  WriteAllRows(png, pixels, width, height);
  return true;
}

bool WriteEnd(png_structp png) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_write_end(png, nullptr);
  return true;
}

PngEncodeResult Encode(png_structp png, png_infop info, const uint8_t* pixels, int32_t width, int32_t height,
                       SinkState* state) {
  if (!InitIo(png, state)) return PngEncodeResult::InitIoFailed;
  if (pixels == nullptr || width < 1 || height < 1 || !WriteHeader(png, info, width, height))
    return PngEncodeResult::HeaderFailed;
  if (!WriteRows(png, pixels, width, height)) return PngEncodeResult::BytesFailed;
  if (!WriteEnd(png)) return PngEncodeResult::EndFailed;
  return PngEncodeResult::Written;
}

}  // namespace

PngEncodeResult Graphics_EncodePNG(const uint8_t* pixels, int32_t width, int32_t height, PngByteSink sink,
                                   void* context) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (png == nullptr) return PngEncodeResult::CreateWriteStructFailed;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return PngEncodeResult::CreateInfoStructFailed;
  }
  SinkState state{sink, context};
  const PngEncodeResult result = Encode(png, info, pixels, width, height, &state);
  png_destroy_write_struct(&png, &info);
  return result;
}

const char* Graphics_PngFailureText(PngEncodeResult result) {
  switch (result) {
    case PngEncodeResult::Written: return nullptr;
    case PngEncodeResult::CreateWriteStructFailed: return "[write_png_file] png_create_write_struct failed";
    case PngEncodeResult::CreateInfoStructFailed: return "[write_png_file] png_create_info_struct failed";
    case PngEncodeResult::InitIoFailed: return "[write_png_file] Error during init_io";
    case PngEncodeResult::HeaderFailed: return "[write_png_file] Error during writing header";
    case PngEncodeResult::BytesFailed: return "[write_png_file] Error during writing bytes";
    case PngEncodeResult::EndFailed: return "[write_png_file] Error during end of write";
  }
  return nullptr;
}
