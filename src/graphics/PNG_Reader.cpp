#include "graphics/PNG_Reader.h"

#include <png.h>

#include <algorithm>
#include <cstring>

#include "base/VCL.h"
#include "graphics/Graphics_ImageFile.h"
#include "platform/MemoryManager.h"

int32_t TextureScale = 0;

namespace {

constexpr uint64_t kSignatureSize = 8;

// The image DecodePNG keeps until FreeDecodedPNG.
PNGDecodeState* g_KeptPNG = nullptr;

// libpng's errors come back to the step that set the jump; its warnings are dropped.
[[noreturn]] void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

// Copies what libpng asks for from the bytes after the signature; asking past the end is an
// error (a truncated file).
void ReadBytes(png_structp png, png_bytep out, size_t count) {
  auto* state = static_cast<PNGDecodeState*>(png_get_io_ptr(png));
  if (count > state->length - state->position) png_error(png, "read past the end of the data");
  std::memcpy(out, state->data + state->position, count);
  state->position += count;
}

void DestroyStructures(PNGDecodeState* state) {
  if (state->png != nullptr) {
    png_structp png = state->png;
    png_infop info = state->info, endInfo = state->endInfo;
    png_destroy_read_struct(&png, &info, &endInfo);
  }
  state->png = nullptr;
  state->info = state->endInfo = nullptr;
}

// Every image comes out as 8-bit B, G, R, A.
void RequestTransforms(png_structp png, png_infop info) {
  const int colourType = png_get_color_type(png, info);
  const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (png_get_bit_depth(png, info) == 16) png_set_strip_16(png);
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (transparency) png_set_tRNS_to_alpha(png);
  if ((colourType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
  if ((colourType & PNG_COLOR_MASK_ALPHA) == 0 && !transparency) png_set_filler(png, 0xFFFF, PNG_FILLER_AFTER);
  png_set_bgr(png);
  png_set_interlace_handling(png);
}

// The libpng steps. Holds no object with a destructor, since libpng's errors leave through
// longjmp; everything it makes lives in the state.
bool RunLibpng(PNGDecodeState* state, bool readRows) {
  png_structp png = state->png;
  png_infop info = state->info;
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, state, ReadBytes);
  png_set_sig_bytes(png, static_cast<int>(kSignatureSize));
  png_set_user_limits(png, static_cast<png_uint_32>(kImageMaxSide), static_cast<png_uint_32>(kImageMaxSide));
  png_read_info(png, info);
  RequestTransforms(png, info);
  png_read_update_info(png, info);
  state->width = static_cast<int32_t>(png_get_image_width(png, info));
  state->height = static_cast<int32_t>(png_get_image_height(png, info));
  if (!readRows) return true;

  const uint64_t rowBytes = static_cast<uint64_t>(state->width) * 4;
  const uint64_t bytes = rowBytes * static_cast<uint64_t>(state->height);
  if (!Image_SizeAllowed(state->width, state->height) || png_get_rowbytes(png, info) != rowBytes) return false;
  if (state->pixels == nullptr) {
    state->ownsPixels = true;
    state->pixels = static_cast<uint8_t*>(MemoryManager::Alloc(static_cast<uint32_t>(bytes), __FILE__, __LINE__, false));
  } else if (!state->ownsPixels && state->capacity < bytes) {
    return false;
  }
  state->rows = static_cast<uint8_t**>(
      MemoryManager::Alloc(static_cast<uint32_t>(sizeof(uint8_t*) * static_cast<uint64_t>(state->height)), __FILE__,
                           __LINE__, false));
  for (int32_t y = 0; y < state->height; ++y) state->rows[y] = state->pixels + rowBytes * static_cast<uint64_t>(y);
  png_read_image(png, state->rows);
  return true;
}

void ReleaseRows(PNGDecodeState* state) {
  MemoryManager::Free(state->rows);
  state->rows = nullptr;
  if (state->ownsPixels) {
    MemoryManager::Free(state->pixels);
    state->pixels = nullptr;
  }
}

// The two drivers: signature, structures, libpng, and the one failure path.
bool Drive(PNGDecodeState* state, bool readRows, const char* failure) {
  state->position = 0;
  bool ok = state->data != nullptr && state->length >= kSignatureSize &&
            png_sig_cmp(state->data, 0, kSignatureSize) == 0;
  if (!ok) {
    DebugConsole->Output("Not a PNG");
  } else {
    state->position = kSignatureSize;
    state->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, state, OnPngError, OnPngWarning);
    if (state->png != nullptr) {
      state->info = png_create_info_struct(state->png);
      state->endInfo = png_create_info_struct(state->png);
    }
    ok = state->info != nullptr && state->endInfo != nullptr && RunLibpng(state, readRows);
  }
  if (!ok) {
    DestroyStructures(state);
    ReleaseRows(state);
    state->status = 1;
    DebugConsole->Output("%s", failure);
  }
  return ok;
}

// The factor DecodePNG reduces by: TextureScale with `reduce`, and 1 below 2.
bool Halves(bool reduce) { return reduce && TextureScale >= 2; }

uint32_t* DecodeKept(const uint8_t* data, uint64_t length, int32_t* width, int32_t* height, uint8_t* buffer,
                     uint64_t capacity, bool reduce) {
  if (g_KeptPNG == nullptr) {
    auto* state = new PNGDecodeState;
    state->data = data;
    state->length = length;
    state->pixels = buffer;
    state->ownsPixels = buffer == nullptr;
    state->capacity = capacity;
    if (!ReadPNG(state)) {
      delete state;
      if (width != nullptr) *width = -1;
      if (height != nullptr) *height = -1;
      return nullptr;
    }
    if (Halves(reduce) && state->width >= 2 && state->height >= 2) {
      HalfTextureRGBA(state->width / 2, state->height / 2, state->pixels, state->width, state->height, state->pixels);
      state->width /= 2;
      state->height /= 2;
    }
    g_KeptPNG = state;
  }
  if (width != nullptr) *width = g_KeptPNG->width;
  if (height != nullptr) *height = g_KeptPNG->height;
  return reinterpret_cast<uint32_t*>(g_KeptPNG->pixels);
}

template <int kBytes>
void HalfTexture(int32_t w2, int32_t h2, uint8_t* destination, int32_t w, int32_t h, const uint8_t* source) {
  if (w2 < 1 || h2 < 1 || w < 1 || h < 1 || destination == nullptr || source == nullptr) return;
  const int64_t sx = static_cast<int64_t>(w) * 65536 / w2, sy = static_cast<int64_t>(h) * 65536 / h2;
  uint8_t* out = destination;
  for (int64_t ty = 0; ty < h2; ++ty) {
    const int64_t y0 = std::min<int64_t>(ty * sy >> 16, h - 1), y1 = std::min<int64_t>(y0 + 1, h - 1);
    for (int64_t tx = 0; tx < w2; ++tx, out += kBytes) {
      const int64_t x0 = std::min<int64_t>(tx * sx >> 16, w - 1), x1 = std::min<int64_t>(x0 + 1, w - 1);
      const uint8_t* p[4] = {source + (y0 * w + x0) * kBytes, source + (y0 * w + x1) * kBytes,
                             source + (y1 * w + x0) * kBytes, source + (y1 * w + x1) * kBytes};
      for (int c = 0; c < kBytes; ++c) out[c] = static_cast<uint8_t>((p[0][c] + p[1][c] + p[2][c] + p[3][c]) / 4);
    }
  }
}

}  // namespace

bool ReadPNGInfo(PNGDecodeState* state) { return Drive(state, false, "ReadPNG :: a PNG error occured"); }

bool ReadPNG(PNGDecodeState* state) { return Drive(state, true, "ReadPNG :: a PNG error occured"); }

void FreePNGDecoder(PNGDecodeState* state) {
  if (state == nullptr) return;
  DestroyStructures(state);
  ReleaseRows(state);
}

uint32_t* DecodePNG(const uint8_t* data, uint64_t length, int32_t* width, int32_t* height, bool reduce) {
  return DecodeKept(data, length, width, height, nullptr, 0, reduce);
}

uint32_t* DecodePNGInto(const uint8_t* data, uint64_t length, int32_t* width, int32_t* height, uint8_t* buffer,
                        uint64_t capacity, bool reduce) {
  if (buffer == nullptr) {
    if (width != nullptr) *width = -1;
    if (height != nullptr) *height = -1;
    return nullptr;
  }
  return DecodeKept(data, length, width, height, buffer, capacity, reduce);
}

void FreeDecodedPNG() {
  if (g_KeptPNG == nullptr) return;
  FreePNGDecoder(g_KeptPNG);
  delete g_KeptPNG;
  g_KeptPNG = nullptr;
}

bool GetPNGSize(const uint8_t* data, uint64_t length, int32_t* width, int32_t* height, bool reduce) {
  PNGDecodeState state;
  state.data = data;
  state.length = length;
  const bool ok = ReadPNGInfo(&state);
  const bool halve = ok && Halves(reduce) && state.width >= 2 && state.height >= 2;
  if (width != nullptr) *width = !ok ? -1 : halve ? state.width / 2 : state.width;
  if (height != nullptr) *height = !ok ? -1 : halve ? state.height / 2 : state.height;
  FreePNGDecoder(&state);
  return ok;
}

bool getTextureInfo(TextureHeader* texture) {
  if (texture == nullptr) return false;
  PNGDecodeState state;
  state.data = texture->data;
  state.length = texture->dataLength;
  bool ok = Drive(&state, false, "getTextureInfo :: a PNG error occured");
  FreePNGDecoder(&state);
  if (ok && (state.width < 1 || state.width > 8192 || state.height < 1 || state.height > 8192)) {
    DebugConsole->Output("getTextureInfo :: a PNG error occured");
    ok = false;
  }
  if (!ok) return false;
  texture->packedSize = (texture->packedSize & ~0x3FFFFFFu) | static_cast<uint32_t>(state.width - 1) |
                        static_cast<uint32_t>(state.height - 1) << 13;
  texture->format = 6;
  return true;
}

int32_t DecodePNGToTexture(TextureHeader* texture) {
  if (texture == nullptr) return -1;
  PNGDecodeState state;
  state.data = texture->data;
  state.length = texture->dataLength;
  const bool ok = Drive(&state, true, "a PNG error occured");
  FreePNGDecoder(&state);
  if (!ok) return -1;
  texture->format = 6;
  return 0;
}

void HalfTextureRGBA(int32_t w2, int32_t h2, uint8_t* destination, int32_t w, int32_t h, const uint8_t* source) {
  HalfTexture<4>(w2, h2, destination, w, h, source);
}

void HalfTextureRGB(int32_t w2, int32_t h2, uint8_t* destination, int32_t w, int32_t h, const uint8_t* source) {
  DebugConsole->Output("HalfTextureRGB( %d, %d, 0x%X, %d,%d, 0x%X\n", w2, h2,
                       static_cast<unsigned>(reinterpret_cast<uintptr_t>(destination)), w, h,
                       static_cast<unsigned>(reinterpret_cast<uintptr_t>(source)));
  HalfTexture<3>(w2, h2, destination, w, h, source);
}
