#include "graphics/JPEG_Main.h"

#include <gif_lib.h>
// libjpeg's headers need the standard library's FILE and size_t first.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "graphics/Graphics_ImageFile.h"
#include "platform/MemoryManager.h"

namespace {

// ---- JPEG ----

// Progressive files may hold any number of scans, each a pass over the whole image; real ones
// have a few dozen at most.
constexpr int kJpegMaxScans = 256;

struct JpegErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

// libjpeg's errors come back here instead of ending the process; its warnings are dropped.
[[noreturn]] void JpegError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1); }
void JpegIgnoreMessage(j_common_ptr) {}

void JpegCheckScans(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kJpegMaxScans) ERREXIT(cinfo, JERR_NOTIMPL);
}

// The memory source: the whole file is the one buffer. Running out of it is an error, so a
// truncated file fails rather than being padded out.
void JpegInitSource(j_decompress_ptr) {}
void JpegTermSource(j_decompress_ptr) {}
boolean JpegFillInput(j_decompress_ptr cinfo) {
  ERREXIT(cinfo, JERR_INPUT_EOF);
  return FALSE;
}
void JpegSkipInput(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* src = cinfo->src;
  if (static_cast<unsigned long>(count) > src->bytes_in_buffer) ERREXIT(cinfo, JERR_INPUT_EOF);
  src->next_input_byte += count;
  src->bytes_in_buffer -= static_cast<size_t>(count);
}

void JPEG_SetMemorySource(j_decompress_ptr cinfo, const uint8_t* data, uint64_t length) {
  auto* src = static_cast<jpeg_source_mgr*>(
      (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(jpeg_source_mgr)));
  src->init_source = JpegInitSource;
  src->fill_input_buffer = JpegFillInput;
  src->skip_input_data = JpegSkipInput;
  src->resync_to_restart = jpeg_resync_to_restart;
  src->term_source = JpegTermSource;
  src->next_input_byte = data;
  src->bytes_in_buffer = static_cast<size_t>(length);
  cinfo->src = src;
}

// Everything a decoding owns, kept outside the function that sets the jump so that it survives
// the jump back.
struct JpegDecoding {
  jpeg_decompress_struct cinfo;
  JpegErrorManager error;
  jpeg_progress_mgr progress;
  uint32_t* pixels;
};

void StoreScanline(const uint8_t* line, int components, uint32_t width, uint32_t* out) {
  for (uint32_t x = 0; x < width; ++x) {
    const uint8_t* c = line + static_cast<size_t>(x) * components;
    switch (components) {
      case 1: out[x] = 0xFF000000u | c[0] * 0x010101u; break;
      case 3: out[x] = 0xFF000000u | uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2]; break;
      case 4: out[x] = uint32_t(c[3]) << 24 | uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2]; break;
      default: out[x] = 0; break;
    }
  }
}

// Decodes into d->pixels; false (pixels freed) on any error. Holds no object with a destructor,
// since libjpeg's errors leave through longjmp.
bool RunJpeg(JpegDecoding* d, const uint8_t* data, uint64_t length) {
  d->cinfo.err = jpeg_std_error(&d->error.pub);
  d->error.pub.error_exit = JpegError;
  d->error.pub.output_message = JpegIgnoreMessage;
  if (setjmp(d->error.jump)) {
    MemoryManager::Free(d->pixels);
    d->pixels = nullptr;
    return false;
  }
  jpeg_create_decompress(&d->cinfo);
  d->progress.progress_monitor = JpegCheckScans;
  d->cinfo.progress = &d->progress;
  JPEG_SetMemorySource(&d->cinfo, data, length);
  int header;
  while ((header = jpeg_read_header(&d->cinfo, FALSE)) == JPEG_HEADER_TABLES_ONLY) {
  }
  if (header != JPEG_HEADER_OK || !Image_SizeAllowed(d->cinfo.image_width, d->cinfo.image_height)) return false;
  jpeg_start_decompress(&d->cinfo);
  const uint32_t width = d->cinfo.output_width, height = d->cinfo.output_height;
  const int components = d->cinfo.output_components;
  if (!Image_SizeAllowed(width, height)) return false;
  JSAMPARRAY line = (*d->cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d->cinfo), JPOOL_IMAGE,
                                                  width * static_cast<JDIMENSION>(components), 1);
  d->pixels = static_cast<uint32_t*>(
      MemoryManager::Alloc(static_cast<uint32_t>(uint64_t(width) * height * 4), __FILE__, __LINE__, false));
  while (d->cinfo.output_scanline < height) {
    const JDIMENSION row = d->cinfo.output_scanline;
    if (jpeg_read_scanlines(&d->cinfo, line, 1) != 1) {
      MemoryManager::Free(d->pixels);
      d->pixels = nullptr;
      return false;
    }
    StoreScanline(line[0], components, width, d->pixels + static_cast<size_t>(row) * width);
  }
  return true;
}

// ---- GIF ----

struct GifSource {
  const uint8_t* data;
  uint64_t length;
  uint64_t position;
};

// Copies what giflib asks for, as far as the file goes; giflib treats a short read as an error.
int ReadGif(GifFileType* gif, GifByteType* out, int count) {
  auto* source = static_cast<GifSource*>(gif->UserData);
  if (count <= 0) return 0;
  const uint64_t left = source->length - source->position;
  const uint64_t take = static_cast<uint64_t>(count) < left ? static_cast<uint64_t>(count) : left;
  if (take > 0) std::memcpy(out, source->data + source->position, take);
  source->position += take;
  return static_cast<int>(take);
}

// The rows of an image in the order the file stores them: every row, or with interlacing every
// 8th from 0, every 8th from 4, every 4th from 2 and every 2nd from 1.
template <typename RowFn>
bool ForEachGifRow(GifFileType* gif, std::vector<GifPixelType>& line, RowFn row) {
  const int height = gif->Image.Height;
  static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  const int passes = gif->Image.Interlace ? 4 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    const int start = gif->Image.Interlace ? kStart[pass] : 0, step = gif->Image.Interlace ? kStep[pass] : 1;
    for (int y = start; y < height; y += step) {
      if (DGifGetLine(gif, line.data(), static_cast<int>(line.size())) == GIF_ERROR) return false;
      row(y);
    }
  }
  return true;
}

// Reads every record of the file, putting the first image onto a new canvas of the screen's
// size; null on any error.
uint32_t* ReadGifFile(GifFileType* gif) {
  int transparent = -1;
  uint32_t* canvas = nullptr;
  std::vector<GifPixelType> line;
  bool ok = true;
  GifRecordType type = UNDEFINED_RECORD_TYPE;
  while (ok && type != TERMINATE_RECORD_TYPE) {
    ok = DGifGetRecordType(gif, &type) != GIF_ERROR;
    if (!ok) break;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      ok = DGifGetExtension(gif, &code, &block) != GIF_ERROR;
      if (ok && canvas == nullptr && code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] == 4 &&
          (block[1] & 1) != 0) {
        transparent = block[4];
      }
      while (ok && block != nullptr) ok = DGifGetExtensionNext(gif, &block) != GIF_ERROR;
    } else if (type == IMAGE_DESC_RECORD_TYPE) {
      ok = DGifGetImageDesc(gif) != GIF_ERROR && gif->Image.Width > 0 && gif->Image.Height > 0;
      if (!ok) break;
      line.assign(static_cast<size_t>(gif->Image.Width), 0);
      if (canvas != nullptr) {  // a later image: read through, nothing kept
        ok = ForEachGifRow(gif, line, [](int) {});
        continue;
      }
      const ColorMapObject* map = gif->Image.ColorMap != nullptr ? gif->Image.ColorMap : gif->SColorMap;
      const int64_t screenW = gif->SWidth, screenH = gif->SHeight;
      ok = map != nullptr && map->Colors != nullptr && Image_SizeAllowed(screenW, screenH);
      if (!ok) break;
      canvas = static_cast<uint32_t*>(
          MemoryManager::Alloc(static_cast<uint32_t>(screenW * screenH * 4), __FILE__, __LINE__, true));
      const int64_t left = gif->Image.Left, top = gif->Image.Top;
      ok = ForEachGifRow(gif, line, [&](int y) {
        if (top + y >= screenH) return;
        uint32_t* out = canvas + (top + y) * screenW;
        for (int64_t x = 0; x < static_cast<int64_t>(line.size()) && left + x < screenW; ++x) {
          const int index = line[static_cast<size_t>(x)];
          if (index >= map->ColorCount || index == transparent) continue;
          const GifColorType& c = map->Colors[index];
          out[left + x] = 0xFF000000u | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
        }
      });
    }
  }
  if (!ok || canvas == nullptr) {
    MemoryManager::Free(canvas);
    return nullptr;
  }
  return canvas;
}

}  // namespace

uint32_t* DecodeJPEG(const uint8_t* data, uint64_t length, int32_t* width, int32_t* height) {
  if (data == nullptr || length == 0) return nullptr;
  JpegDecoding d;
  std::memset(&d, 0, sizeof(d));
  const bool ok = RunJpeg(&d, data, length);
  if (ok) {
    if (width != nullptr) *width = static_cast<int32_t>(d.cinfo.output_width);
    if (height != nullptr) *height = static_cast<int32_t>(d.cinfo.output_height);
  }
  jpeg_destroy_decompress(&d.cinfo);
  return ok ? d.pixels : nullptr;
}

uint32_t* DecodeGIF(const uint8_t* data, uint64_t length, int32_t* width, int32_t* height) {
  if (data == nullptr) return nullptr;
  GifSource source{data, length, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&source, ReadGif, &error);
  if (gif == nullptr) return nullptr;
  uint32_t* pixels = ReadGifFile(gif);
  if (pixels != nullptr) {
    if (width != nullptr) *width = gif->SWidth;
    if (height != nullptr) *height = gif->SHeight;
  }
  DGifCloseFile(gif, &error);
  return pixels;
}
