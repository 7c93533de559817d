#include "graphics/Graphics_Screenshot.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "graphics/Graphics_D3D.h"
#include "graphics/PNG_Writer.h"
#include "graphics/device/D3D_GL.h"

namespace {

bool WriteBytes(void* context, const uint8_t* bytes, size_t length) {
  return std::fwrite(bytes, 1, length, static_cast<FILE*>(context)) == length;
}

bool Fail(const char* path, const char* why) {
  std::fprintf(stderr, "screenshot %s: %s\n", path, why);
  return false;
}

}  // namespace

const char* GR_ScreenshotPath() {
  const char* path = std::getenv("RUNNER_SCREENSHOT");
  return path != nullptr && path[0] != '\0' ? path : nullptr;
}

bool GR_WriteScreenshot(const char* path) {
  const GraphicsDeviceState& g = g_GraphicsDevice;
  if (g.device == nullptr) return Fail(path, "there is no graphics device");
  const int32_t width = static_cast<int32_t>(g.presentParams.BackBufferWidth);
  const int32_t height = static_cast<int32_t>(g.presentParams.BackBufferHeight);
  if (width <= 0 || height <= 0) return Fail(path, "the back buffer has no pixels");
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<uint32_t> words(count);
  if (!GL_ReadBackBuffer(g.device, 0, 0, width, height, words.data())) {
    return Fail(path, "the back buffer cannot be read");
  }
  std::vector<uint8_t> rgba(count * 4);
  for (size_t i = 0; i < count; ++i) {
    rgba[i * 4 + 0] = static_cast<uint8_t>(words[i] >> 16);
    rgba[i * 4 + 1] = static_cast<uint8_t>(words[i] >> 8);
    rgba[i * 4 + 2] = static_cast<uint8_t>(words[i]);
    rgba[i * 4 + 3] = 255;
  }
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return Fail(path, std::strerror(errno));
  const bool encoded = Graphics_EncodePNG(rgba.data(), width, height, WriteBytes, file) == PngEncodeResult::Written;
  const bool closed = std::fclose(file) == 0;
  if (!encoded || !closed) {
    std::remove(path);
    return Fail(path, "the image cannot be written");
  }
  return true;
}
