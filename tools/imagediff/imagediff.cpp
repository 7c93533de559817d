// Compares a screenshot with its expected image for the game tests.
//
//   imagediff EXPECTED ACTUAL CONFIG DIFFERENCE
//
// CONFIG is a JSON file:
//
//   {
//     "tolerance": 2,        a channel may differ by this much (default 2)
//     "max_pixels": 16,      pixels allowed beyond the tolerance (default 16)
//     "probes": [ {"x": 10, "y": 20, "colour": [255, 0, 0], "what": "the red square"} ]
//   }
//
// The images must have the same size; a pixel is beyond the tolerance when any of its R, G, B or
// A samples differs by more than "tolerance". Each probe is a pixel whose colour follows from
// what the game draws: it must hold that colour (within the tolerance) in the expected image and
// in the actual one, so an expected image that is itself wrong fails too. On a mismatch the
// difference image is written: pixels beyond the tolerance red, the others the expected image
// dimmed to a quarter. Exit status 0 when the images match, 1 when not, 2 on bad input; every
// finding is printed on standard output.
#include <json-c/json.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/PNG_Writer.h"

namespace {

struct Image {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rgba;
  const uint8_t* At(uint32_t x, uint32_t y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

bool ReadImage(const char* path, Image* image) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&png, path) == 0) {
    std::printf("%s cannot be read as a PNG image: %s\n", path, png.message);
    return false;
  }
  png.format = PNG_FORMAT_RGBA;
  image->width = png.width;
  image->height = png.height;
  image->rgba.resize(PNG_IMAGE_SIZE(png));
  if (png_image_finish_read(&png, nullptr, image->rgba.data(), 0, nullptr) == 0) {
    std::printf("%s cannot be decoded: %s\n", path, png.message);
    png_image_free(&png);
    return false;
  }
  return true;
}

struct Probe {
  int64_t x = 0, y = 0;
  int colour[3] = {0, 0, 0};
  std::string what;
};

struct Config {
  int tolerance = 2;
  int64_t maxPixels = 16;
  std::vector<Probe> probes;
};

int IntField(json_object* object, const char* key, int64_t fallback, int64_t low, int64_t high, bool* ok) {
  json_object* value = nullptr;
  if (!json_object_object_get_ex(object, key, &value)) return static_cast<int>(fallback);
  if (!json_object_is_type(value, json_type_int) || json_object_get_int64(value) < low ||
      json_object_get_int64(value) > high) {
    std::printf("config: \"%s\" must be a whole number in %lld..%lld\n", key, static_cast<long long>(low),
                static_cast<long long>(high));
    *ok = false;
    return 0;
  }
  return static_cast<int>(json_object_get_int64(value));
}

bool ReadConfig(const char* path, Config* config) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::printf("config %s cannot be read\n", path);
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  json_object* root = json_tokener_parse(text.str().c_str());
  if (root == nullptr || !json_object_is_type(root, json_type_object)) {
    std::printf("config %s must hold one JSON object\n", path);
    json_object_put(root);
    return false;
  }
  bool ok = true;
  json_object_object_foreach(root, key, unused) {
    (void)unused;
    if (std::strcmp(key, "tolerance") != 0 && std::strcmp(key, "max_pixels") != 0 && std::strcmp(key, "probes") != 0) {
      std::printf("config %s: unknown field \"%s\"\n", path, key);
      ok = false;
    }
  }
  config->tolerance = IntField(root, "tolerance", 2, 0, 255, &ok);
  config->maxPixels = IntField(root, "max_pixels", 16, 0, 1 << 30, &ok);
  json_object* probes = nullptr;
  if (json_object_object_get_ex(root, "probes", &probes)) {
    if (!json_object_is_type(probes, json_type_array)) {
      std::printf("config: \"probes\" must be a list\n");
      ok = false;
    }
    for (size_t i = 0; ok && i < json_object_array_length(probes); ++i) {
      json_object* item = json_object_array_get_idx(probes, i);
      Probe probe;
      json_object* colour = nullptr;
      json_object* what = nullptr;
      if (!json_object_is_type(item, json_type_object) || !json_object_object_get_ex(item, "colour", &colour) ||
          !json_object_is_type(colour, json_type_array) || json_object_array_length(colour) != 3) {
        std::printf("config: probe %zu needs \"x\", \"y\" and \"colour\": [r, g, b]\n", i);
        ok = false;
        break;
      }
      probe.x = IntField(item, "x", -1, 0, 1 << 20, &ok);
      probe.y = IntField(item, "y", -1, 0, 1 << 20, &ok);
      for (size_t c = 0; c < 3; ++c) {
        json_object* sample = json_object_array_get_idx(colour, c);
        if (!json_object_is_type(sample, json_type_int) || json_object_get_int(sample) < 0 ||
            json_object_get_int(sample) > 255) {
          std::printf("config: probe %zu: every colour sample must be 0..255\n", i);
          ok = false;
        }
        probe.colour[c] = json_object_get_int(sample);
      }
      if (json_object_object_get_ex(item, "what", &what)) probe.what = json_object_get_string(what);
      config->probes.push_back(probe);
    }
  }
  json_object_put(root);
  return ok;
}

// Whether every probe holds its colour in `image`; prints each that does not.
bool CheckProbes(const Config& config, const Image& image, const char* name) {
  bool ok = true;
  for (const Probe& probe : config.probes) {
    if (probe.x >= image.width || probe.y >= image.height) {
      std::printf("%s: probe (%lld, %lld) %s lies outside the %u x %u image\n", name, static_cast<long long>(probe.x),
                  static_cast<long long>(probe.y), probe.what.c_str(), image.width, image.height);
      ok = false;
      continue;
    }
    const uint8_t* p = image.At(static_cast<uint32_t>(probe.x), static_cast<uint32_t>(probe.y));
    for (int c = 0; c < 3; ++c) {
      if (std::abs(p[c] - probe.colour[c]) > config.tolerance) {
        std::printf("%s: probe (%lld, %lld) %s is %d %d %d, not %d %d %d\n", name, static_cast<long long>(probe.x),
                    static_cast<long long>(probe.y), probe.what.c_str(), p[0], p[1], p[2], probe.colour[0],
                    probe.colour[1], probe.colour[2]);
        ok = false;
        break;
      }
    }
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: imagediff EXPECTED ACTUAL CONFIG DIFFERENCE\n");
    return 2;
  }
  Config config;
  Image expected, actual;
  if (!ReadConfig(argv[3], &config) || !ReadImage(argv[1], &expected) || !ReadImage(argv[2], &actual)) return 2;
  bool ok = CheckProbes(config, expected, "expected image");
  ok = CheckProbes(config, actual, "actual image") && ok;
  if (expected.width != actual.width || expected.height != actual.height) {
    std::printf("the actual image is %u x %u pixels, the expected one %u x %u\n", actual.width, actual.height,
                expected.width, expected.height);
    return 1;
  }
  Image difference = expected;
  int64_t beyond = 0;
  for (uint32_t y = 0; y < expected.height; ++y) {
    for (uint32_t x = 0; x < expected.width; ++x) {
      const uint8_t* e = expected.At(x, y);
      const uint8_t* a = actual.At(x, y);
      uint8_t* d = &difference.rgba[(static_cast<size_t>(y) * expected.width + x) * 4];
      bool differs = false;
      for (int c = 0; c < 4; ++c) differs = differs || std::abs(e[c] - a[c]) > config.tolerance;
      if (differs) {
        if (beyond < 5) std::printf("pixel (%u, %u): expected %d %d %d %d, got %d %d %d %d\n", x, y, e[0], e[1], e[2], e[3], a[0], a[1], a[2], a[3]);
        ++beyond;
        d[0] = 255, d[1] = 0, d[2] = 0;
      } else {
        d[0] = e[0] / 4, d[1] = e[1] / 4, d[2] = e[2] / 4;
      }
      d[3] = 255;
    }
  }
  if (beyond > config.maxPixels) {
    std::printf("%lld pixels differ by more than %d in a channel (at most %lld may)\n", static_cast<long long>(beyond),
                config.tolerance, static_cast<long long>(config.maxPixels));
    ok = false;
  }
  if (!ok) {
    FILE* file = std::fopen(argv[4], "wb");
    const bool written =
        file != nullptr &&
        Graphics_EncodePNG(difference.rgba.data(), static_cast<int32_t>(difference.width),
                           static_cast<int32_t>(difference.height),
                           [](void* context, const uint8_t* bytes, size_t length) {
                             return std::fwrite(bytes, 1, length, static_cast<FILE*>(context)) == length;
                           },
                           file) == PngEncodeResult::Written;
    if (file == nullptr || std::fclose(file) != 0 || !written) {
      std::printf("the difference image %s cannot be written\n", argv[4]);
    }
    return 1;
  }
  return 0;
}
