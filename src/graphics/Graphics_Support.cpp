#include "graphics/Graphics_Support.h"

#include <algorithm>
#include <climits>

#include "base/VCL.h"
#include "base/ErrorSink.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Texture.h"
#include "platform/MemoryManager.h"
#include "support/LoadSave.h"
#include "support/Support_Directory.h"

// ---- Screen and surface saving ----

void SwapRedBlue(uint8_t* pixels, int32_t width, int32_t height) {
  if (pixels == nullptr || width <= 0 || height <= 0) return;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < count; ++i) std::swap(pixels[i * 4], pixels[i * 4 + 2]);
}

void SetAlphaOpaque(uint8_t* pixels, int32_t width, int32_t height) {
  if (pixels == nullptr || width <= 0 || height <= 0) return;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < count; ++i) pixels[i * 4 + 3] = 255;
}

namespace {

bool WriteToSaveFile(void* context, const uint8_t* bytes, size_t length) {
  // The encoder hands over small pieces; a piece beyond the file layer's count is refused.
  if (length > static_cast<size_t>(INT32_MAX)) return false;
  const int count = static_cast<int>(length);
  return LoadSave_fwrite(bytes, 1, count, static_cast<LoadSaveFile*>(context)) == count;
}

}  // namespace

bool write_png_file(const char* name, const uint8_t* pixels, int32_t width, int32_t height) {
  char path[kLoadSavePathSize];
  LoadSave_ResolveSavePath(path, sizeof(path), name);
  if (path[0] == '\0') return false;
  CreateDirectoryForFile(path);
  LoadSaveFile* file = LoadSave_fopen(path, "wb");
  if (file == nullptr) return false;
  const PngEncodeResult result = Graphics_EncodePNG(pixels, width, height, WriteToSaveFile, file);
  // Closed whatever happened: the file layer writes its buffer to disk here.
  LoadSave_fclose(file);
  if (result == PngEncodeResult::Written) return true;
  // The messages of the last two steps end without a line end here.
  const bool ownLine = result != PngEncodeResult::BytesFailed && result != PngEncodeResult::EndFailed;
  DebugConsole->Output(ownLine ? "%s\n" : "%s", Graphics_PngFailureText(result));
  return false;
}

namespace {

bool EmptyName(const char* name) { return name == nullptr || name[0] == '\0'; }

// Reads the region of the current render target, makes it opaque RGBA and writes it.
void SaveScreenRegion(const char* name, int32_t x, int32_t y, int32_t width, int32_t height) {
  const GraphicsDeviceState& g = g_GraphicsDevice;
  uint8_t* pixels = ReadSurfacePixels(g.clientWidth, g.clientHeight, x, y, &width, &height);
  if (pixels == nullptr) return;
  SwapRedBlue(pixels, width, height);
  SetAlphaOpaque(pixels, width, height);
  write_png_file(name, pixels, width, height);
  MemoryManager::Free(pixels);
}

// The texture of a surface to save, or null after the report of what is wrong.
HardwareTexture* SurfaceToSave(int32_t id, const char* name) {
  if (!GR_Surface_Exists(id)) {
    ReportRuntimeError("Trying to use non-existing surface.", false);
    return nullptr;
  }
  if (EmptyName(name)) {
    ReportRuntimeError("Trying to save surface to empty image file name.", false);
    return nullptr;
  }
  return GR_Texture_GetHardware(GR_Surface_GetTexture(id));
}

void SaveTextureRegion(HardwareTexture* texture, const char* name, int32_t x, int32_t y, int32_t width,
                       int32_t height) {
  uint8_t* pixels = ReadTexturePixels(texture, x, y, width, height);
  if (pixels == nullptr) return;
  SwapRedBlue(pixels, width, height);
  write_png_file(name, pixels, width, height);
  MemoryManager::Free(pixels);
}

}  // namespace

void GR_Save_Screen(const char* name) {
  if (EmptyName(name)) {
    ReportRuntimeError("Trying to save screen to empty image file name.", false);
    return;
  }
  SaveScreenRegion(name, 0, 0, g_GraphicsDevice.clientWidth, g_GraphicsDevice.clientHeight);
}

void GR_Save_ScreenPart(const char* name, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (EmptyName(name)) {
    ReportRuntimeError("Trying to save screen to empty image file name.", false);
    return;
  }
  int64_t left = x, top = y, w = width, h = height;
  if (left < 0) {
    w += left;
    left = 0;
  }
  if (top < 0) {
    h += top;
    top = 0;
  }
  w = std::min<int64_t>(w, g_GraphicsDevice.clientWidth - left);
  h = std::min<int64_t>(h, g_GraphicsDevice.clientHeight - top);
  if (w < 1 || h < 1) return;
  SaveScreenRegion(name, static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(w),
                   static_cast<int32_t>(h));
}

void GR_Save_Surface(int32_t id, const char* name) {
  HardwareTexture* texture = SurfaceToSave(id, name);
  if (texture == nullptr) return;
  const int32_t width = GR_Surface_GetWidth(id), height = GR_Surface_GetHeight(id);
  if (width < 1 || height < 1 || width > kSurfaceMaxRegionSide || height > kSurfaceMaxRegionSide) return;
  SaveTextureRegion(texture, name, 0, 0, width, height);
}

void GR_Save_SurfacePart(int32_t id, const char* name, int32_t x, int32_t y, int32_t width, int32_t height) {
  HardwareTexture* texture = SurfaceToSave(id, name);
  if (texture == nullptr) return;
  if (width < 1 || height < 1 || width > kSurfaceMaxRegionSide || height > kSurfaceMaxRegionSide) return;
  SaveTextureRegion(texture, name, x, y, width, height);
}
