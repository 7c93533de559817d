// embedgen: draws the images that are compiled into the runtime and writes them out as one
// table inside a generated C++ source file.
//
// The table is a byte array: a 32-bit entry count, then per entry a pair of 32-bit words (size,
// offset from the start of the table), then the entries' data, each starting at a multiple of
// four. All words are little-endian. The entries:
//   0       a soft white disc (64x64 DDS, DXT5), the fallback texture
//   1..14   the particle shapes (64x64 DDS, DXT5): pixel, disk, square, line, star, circle,
//           ring, sphere, flare, spark, explosion, cloud, smoke, snow
//   15      the font sheet for the debug overlay and the default font (256x128 DDS, DXT5),
//           characters 32..136; their rectangles go out as g_BuiltinFontGlyphs
//   16      the splash picture (1024x1024 RGBA PNG)
// Everything is drawn here from geometry and a fixed-seed hash, so every run gives the same bytes.
// The DDS blocks are fitted against, and decoded by, the runtime's own block decoder
// (src/graphics/Graphics_DDS.cpp, compiled into this program), so the checks see what the runtime shows.
//
// Usage:
//   embedgen --cpp <out.cpp>    write the generated source file
//   embedgen --dump <dir>       write the entries as files (entry00.dds ... entry16.png)
//   embedgen --dump-png <dir>   decode the DDS entries to PNG, plus preview sheets on a dark
//                               background (shapes.png, font.png)
//   embedgen --check            self-check of the block codec, the table and the images

#include <png.h>
#include <zlib.h>

#include "graphics/Graphics_DDS.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr float kPi = 3.14159265358979f;
constexpr int kEntryCount = 17;
constexpr int kFontEntry = 15;
constexpr int kSplashEntry = 16;

struct Image {
  int w = 0;
  int h = 0;
  std::vector<uint8_t> px;  // RGBA, row-major

  Image() = default;
  Image(int width, int height) : w(width), h(height), px(size_t(width) * size_t(height) * 4, 0) {}
  uint8_t* At(int x, int y) { return &px[(size_t(y) * size_t(w) + size_t(x)) * 4]; }
  const uint8_t* At(int x, int y) const { return &px[(size_t(y) * size_t(w) + size_t(x)) * 4]; }
};

void Put16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}

void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

uint32_t Get16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Get32(const uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }

// ---------------------------------------------------------------------------------------------
// Deterministic noise

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

uint32_t Hash2(int x, int y, uint32_t seed) {
  return Hash(uint32_t(x) * 0x9E3779B1U ^ Hash(uint32_t(y) + seed * 0x85EBCA77U));
}

// A value in [0, 1) from the hash.
float Unit(uint32_t h) { return float(h >> 8) * (1.0f / 16777216.0f); }

float Lerp(float a, float b, float t) { return a + (b - a) * t; }

float ValueNoise(float x, float y, uint32_t seed) {
  const float fx = std::floor(x), fy = std::floor(y);
  const int ix = int(fx), iy = int(fy);
  const float tx = x - fx, ty = y - fy;
  const float sx = tx * tx * tx * (tx * (tx * 6 - 15) + 10);
  const float sy = ty * ty * ty * (ty * (ty * 6 - 15) + 10);
  const float a = Unit(Hash2(ix, iy, seed)), b = Unit(Hash2(ix + 1, iy, seed));
  const float c = Unit(Hash2(ix, iy + 1, seed)), d = Unit(Hash2(ix + 1, iy + 1, seed));
  return Lerp(Lerp(a, b, sx), Lerp(c, d, sx), sy);
}

// Fractal sum of value noise, in [0, 1].
float Fbm(float x, float y, uint32_t seed, int octaves) {
  float sum = 0, amp = 1, norm = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += amp * ValueNoise(x, y, seed + uint32_t(i) * 101U);
    norm += amp;
    amp *= 0.5f;
    x *= 2.03f;
    y *= 2.03f;
  }
  return sum / norm;
}

// ---------------------------------------------------------------------------------------------
// Small geometry helpers. Distances are in pixels; "inside" is negative.

float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

float Smoothstep(float e0, float e1, float x) {
  const float t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

// Coverage of a pixel-sized sample for a signed distance.
float Edge(float d) { return Clamp01(0.5f - d); }

float SegmentDistance(float px, float py, float ax, float ay, float bx, float by) {
  const float dx = bx - ax, dy = by - ay;
  const float len2 = dx * dx + dy * dy;
  const float t = len2 > 0 ? Clamp01(((px - ax) * dx + (py - ay) * dy) / len2) : 0.0f;
  return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

struct Point {
  float x, y;
};

float PolygonDistance(float px, float py, const std::vector<Point>& poly) {
  float d = 1e30f;
  bool inside = false;
  for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
    const Point a = poly[j], b = poly[i];
    d = std::min(d, SegmentDistance(px, py, a.x, a.y, b.x, b.y));
    if ((a.y > py) != (b.y > py) && px < a.x + (py - a.y) / (b.y - a.y) * (b.x - a.x)) {
      inside = !inside;
    }
  }
  return inside ? -d : d;
}

// A ray from the centre along `angle` that thins and fades towards its tip.
float TaperedRay(float x, float y, float angle, float length, float width) {
  const float ux = std::cos(angle), uy = std::sin(angle);
  const float along = x * ux + y * uy;
  if (along < 0 || along > length) return 0;
  const float across = std::fabs(x * uy - y * ux);
  const float rest = 1 - along / length;
  const float w = width * rest + 0.35f;
  return rest * rest * std::exp(-(across * across) / (w * w));
}

// ---------------------------------------------------------------------------------------------
// Alpha shapes: white pixels whose alpha is the shape's intensity at that point.

using Field = std::function<float(float, float)>;  // (x, y) from the image centre, y down

Image DrawAlpha(int w, int h, const Field& field) {
  constexpr int kSub = 4;
  Image img(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      float sum = 0;
      for (int sy = 0; sy < kSub; ++sy) {
        for (int sx = 0; sx < kSub; ++sx) {
          const float fx = float(x) + (float(sx) + 0.5f) / kSub - float(w) * 0.5f;
          const float fy = float(y) + (float(sy) + 0.5f) / kSub - float(h) * 0.5f;
          sum += Clamp01(field(fx, fy));
        }
      }
      uint8_t* p = img.At(x, y);
      p[0] = p[1] = p[2] = 255;
      p[3] = uint8_t(std::lround(sum / (kSub * kSub) * 255.0f));
    }
  }
  return img;
}

// Fades everything out before the border of a 64x64 image.
float Window(float r) { return 1 - Smoothstep(29.0f, 31.5f, r); }

float SoftDisc(float x, float y) { return 1 - Smoothstep(18.0f, 31.0f, std::hypot(x, y)); }

float PixelShape(float x, float y) {
  const float core = (std::fabs(x) < 2 && std::fabs(y) < 2) ? 1.0f : 0.0f;
  return std::max(core, 0.3f * std::exp(-(x * x + y * y) / 18.0f));
}

float DiskShape(float x, float y) { return Edge(std::hypot(x, y) - 29); }

float SquareShape(float x, float y) { return Edge(std::max(std::fabs(x), std::fabs(y)) - 27); }

float LineShape(float x, float y) { return Edge(SegmentDistance(x, y, -26, 0, 26, 0) - 2.5f); }

float StarShape(float x, float y) {
  static const std::vector<Point> star = [] {
    std::vector<Point> p;
    for (int k = 0; k < 10; ++k) {
      const float a = -kPi / 2 + float(k) * kPi / 5;
      const float r = (k % 2 == 0) ? 30.0f : 12.5f;
      p.push_back({r * std::cos(a), r * std::sin(a) + 2.0f});  // nudged down to centre it
    }
    return p;
  }();
  return Edge(PolygonDistance(x, y, star));
}

float CircleShape(float x, float y) { return Edge(std::fabs(std::hypot(x, y) - 28) - 1.5f); }

float RingShape(float x, float y) {
  const float t = (std::hypot(x, y) - 21) / 9;
  const float v = std::max(0.0f, 1 - t * t);
  return v * v;
}

float SphereShape(float x, float y) { return 1 - Smoothstep(0.0f, 31.0f, std::hypot(x, y)); }

float FlareShape(float x, float y) {
  const float r = std::hypot(x, y);
  float v = std::exp(-(r * r) / 12.0f);
  v += 0.3f * (1 - Smoothstep(0.0f, 30.0f, r));
  v += TaperedRay(x, y, 0, 31, 1.2f) + TaperedRay(x, y, kPi, 31, 1.2f);
  v += TaperedRay(x, y, kPi / 2, 31, 1.2f) + TaperedRay(x, y, -kPi / 2, 31, 1.2f);
  for (int k = 0; k < 4; ++k) v += 0.45f * TaperedRay(x, y, kPi / 4 + float(k) * kPi / 2, 20, 1.0f);
  return v * Window(r);
}

float SparkShape(float x, float y) {
  const float r = std::hypot(x, y);
  float v = std::exp(-(r * r) / 10.0f);
  for (int k = 0; k < 12; ++k) {
    const uint32_t h = Hash(0x5A4Bu + uint32_t(k));
    const float angle = float(k) * 2 * kPi / 12 + (Unit(h) - 0.5f) * 0.4f;
    const float length = (k % 2 == 0 ? 22 : 12) + 9 * Unit(Hash(h));
    v = std::max(v, std::sqrt(TaperedRay(x, y, angle, length, 1.8f)));
  }
  return v * Window(r);
}

float ExplosionShape(float x, float y) {
  const float r = std::hypot(x, y);
  const float lumps = Fbm(x / 11, y / 11, 11, 5);
  const float body = 1 - Smoothstep(12.0f, 28.0f, r + (lumps - 0.5f) * 18);
  const float detail = Fbm(x / 5, y / 5, 12, 4);
  const float v = body * (0.35f + 0.8f * detail) + 0.5f * std::exp(-(r * r) / 120.0f);
  return v * Window(r);
}

float CloudShape(float x, float y) {
  float v = 0;
  for (int k = 0; k < 9; ++k) {
    const uint32_t h = Hash(0xC10Du + uint32_t(k) * 7);
    const float a = (float(k) + Unit(h)) * 2 * kPi / 9;
    const float dist = k == 0 ? 0 : 8 + 7 * Unit(Hash(h + 1));
    const float radius = 11 + 5 * Unit(Hash(h + 2));
    const float cx = dist * std::cos(a), cy = dist * std::sin(a);
    v += 0.5f * (1 - Smoothstep(0.1f * radius, radius, std::hypot(x - cx, y - cy)));
  }
  const float r = std::hypot(x, y);
  const float texture = 0.65f + 0.45f * Fbm(x / 7, y / 7, 21, 4);
  return std::min(v, 1.0f) * texture * Window(r);
}

float SmokeShape(float x, float y) {
  const float wx = x + 14 * (Fbm(x / 18, y / 18, 31, 3) - 0.5f);
  const float wy = y + 14 * (Fbm(x / 18, y / 18, 32, 3) - 0.5f);
  const float r = std::hypot(x, y);
  const float puff = 1 - Smoothstep(4.0f, 28.0f, r + 10 * (Fbm(x / 10, y / 10, 33, 3) - 0.5f));
  const float wisps = Smoothstep(0.3f, 0.75f, Fbm(wx / 9, wy / 9, 34, 5));
  return 0.85f * puff * (0.25f + 0.75f * wisps) * Window(r);
}

float SnowShape(float x, float y) {
  float d = std::hypot(x, y) - 3.5f;
  for (int k = 0; k < 6; ++k) {
    const float a = -kPi / 2 + float(k) * kPi / 3;
    const float ux = std::cos(a), uy = std::sin(a);
    d = std::min(d, SegmentDistance(x, y, 0, 0, 27 * ux, 27 * uy) - 1.3f);
    const float branchAt[2] = {11, 19};
    const float branchLen[2] = {8, 5.5f};
    for (int b = 0; b < 2; ++b) {
      const float bx = branchAt[b] * ux, by = branchAt[b] * uy;
      for (int side = -1; side <= 1; side += 2) {
        const float ba = a + float(side) * kPi / 3;
        const float ex = bx + branchLen[b] * std::cos(ba), ey = by + branchLen[b] * std::sin(ba);
        d = std::min(d, SegmentDistance(x, y, bx, by, ex, ey) - 1.1f);
      }
    }
  }
  return Edge(d);
}

// ---------------------------------------------------------------------------------------------
// The font: 5x8 bitmaps ('#' = ink), rows top to bottom, drawn at twice the size. Capitals and
// digits use the top seven rows; the last row holds descenders.

constexpr int kFirstChar = 32;
constexpr int kGlyphCount = 105;  // characters 32..136
constexpr int kFontW = 256, kFontH = 128;
constexpr int kCellW = 16, kCellH = 18, kCellsPerRow = 16;
constexpr int kGlyphScale = 2;
constexpr int kAdvance = 12;  // rectangle width: 10 pixels of glyph and a pixel either side

const char* const kGlyphs[kGlyphCount] = {
    /*  32 ' ' */ "..... ..... ..... ..... ..... ..... ..... .....",
    /*  33 '!' */ "..#.. ..#.. ..#.. ..#.. ..#.. ..... ..#.. .....",
    /*  34 '"' */ ".#.#. .#.#. .#.#. ..... ..... ..... ..... .....",
    /*  35 '#' */ ".#.#. .#.#. ##### .#.#. ##### .#.#. .#.#. .....",
    /*  36 '$' */ "..#.. .#### #.#.. .###. ..#.# ####. ..#.. .....",
    /*  37 '%' */ "##... ##..# ...#. ..#.. .#... #..## ...## .....",
    /*  38 '&' */ ".##.. #..#. #.#.. .#... #.#.# #..#. .##.# .....",
    /*  39 ''' */ "..#.. ..#.. .#... ..... ..... ..... ..... .....",
    /*  40 '(' */ "...#. ..#.. .#... .#... .#... ..#.. ...#. .....",
    /*  41 ')' */ ".#... ..#.. ...#. ...#. ...#. ..#.. .#... .....",
    /*  42 '*' */ "..... ..#.. #.#.# .###. #.#.# ..#.. ..... .....",
    /*  43 '+' */ "..... ..#.. ..#.. ##### ..#.. ..#.. ..... .....",
    /*  44 ',' */ "..... ..... ..... ..... ..... .##.. ..#.. .#...",
    /*  45 '-' */ "..... ..... ..... ##### ..... ..... ..... .....",
    /*  46 '.' */ "..... ..... ..... ..... ..... .##.. .##.. .....",
    /*  47 '/' */ "..... ....# ...#. ..#.. .#... #.... ..... .....",
    /*  48 '0' */ ".###. #...# #..## #.#.# ##..# #...# .###. .....",
    /*  49 '1' */ "..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###. .....",
    /*  50 '2' */ ".###. #...# ....# ...#. ..#.. .#... ##### .....",
    /*  51 '3' */ "##### ...#. ..#.. ...#. ....# #...# .###. .....",
    /*  52 '4' */ "...#. ..##. .#.#. #..#. ##### ...#. ...#. .....",
    /*  53 '5' */ "##### #.... ####. ....# ....# #...# .###. .....",
    /*  54 '6' */ "..##. .#... #.... ####. #...# #...# .###. .....",
    /*  55 '7' */ "##### ....# ...#. ..#.. .#... .#... .#... .....",
    /*  56 '8' */ ".###. #...# #...# .###. #...# #...# .###. .....",
    /*  57 '9' */ ".###. #...# #...# .#### ....# ...#. .##.. .....",
    /*  58 ':' */ "..... .##.. .##.. ..... .##.. .##.. ..... .....",
    /*  59 ';' */ "..... .##.. .##.. ..... .##.. ..#.. .#... .....",
    /*  60 '<' */ "...#. ..#.. .#... #.... .#... ..#.. ...#. .....",
    /*  61 '=' */ "..... ..... ##### ..... ##### ..... ..... .....",
    /*  62 '>' */ ".#... ..#.. ...#. ....# ...#. ..#.. .#... .....",
    /*  63 '?' */ ".###. #...# ....# ...#. ..#.. ..... ..#.. .....",
    /*  64 '@' */ ".###. #...# ....# .##.# #.#.# #.#.# .###. .....",
    /*  65 'A' */ ".###. #...# #...# ##### #...# #...# #...# .....",
    /*  66 'B' */ "####. #...# #...# ####. #...# #...# ####. .....",
    /*  67 'C' */ ".###. #...# #.... #.... #.... #...# .###. .....",
    /*  68 'D' */ "###.. #..#. #...# #...# #...# #..#. ###.. .....",
    /*  69 'E' */ "##### #.... #.... ####. #.... #.... ##### .....",
    /*  70 'F' */ "##### #.... #.... ####. #.... #.... #.... .....",
    /*  71 'G' */ ".###. #...# #.... #.### #...# #...# .#### .....",
    /*  72 'H' */ "#...# #...# #...# ##### #...# #...# #...# .....",
    /*  73 'I' */ ".###. ..#.. ..#.. ..#.. ..#.. ..#.. .###. .....",
    /*  74 'J' */ "..### ...#. ...#. ...#. ...#. #..#. .##.. .....",
    /*  75 'K' */ "#...# #..#. #.#.. ##... #.#.. #..#. #...# .....",
    /*  76 'L' */ "#.... #.... #.... #.... #.... #.... ##### .....",
    /*  77 'M' */ "#...# ##.## #.#.# #.#.# #...# #...# #...# .....",
    /*  78 'N' */ "#...# #...# ##..# #.#.# #..## #...# #...# .....",
    /*  79 'O' */ ".###. #...# #...# #...# #...# #...# .###. .....",
    /*  80 'P' */ "####. #...# #...# ####. #.... #.... #.... .....",
    /*  81 'Q' */ ".###. #...# #...# #...# #.#.# #..#. .##.# .....",
    /*  82 'R' */ "####. #...# #...# ####. #.#.. #..#. #...# .....",
    /*  83 'S' */ ".#### #.... #.... .###. ....# ....# ####. .....",
    /*  84 'T' */ "##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#.. .....",
    /*  85 'U' */ "#...# #...# #...# #...# #...# #...# .###. .....",
    /*  86 'V' */ "#...# #...# #...# #...# #...# .#.#. ..#.. .....",
    /*  87 'W' */ "#...# #...# #...# #.#.# #.#.# #.#.# .#.#. .....",
    /*  88 'X' */ "#...# #...# .#.#. ..#.. .#.#. #...# #...# .....",
    /*  89 'Y' */ "#...# #...# .#.#. ..#.. ..#.. ..#.. ..#.. .....",
    /*  90 'Z' */ "##### ....# ...#. ..#.. .#... #.... ##### .....",
    /*  91 '[' */ ".###. .#... .#... .#... .#... .#... .###. .....",
    /*  92 '\' */ "..... #.... .#... ..#.. ...#. ....# ..... .....",
    /*  93 ']' */ ".###. ...#. ...#. ...#. ...#. ...#. .###. .....",
    /*  94 '^' */ "..#.. .#.#. #...# ..... ..... ..... ..... .....",
    /*  95 '_' */ "..... ..... ..... ..... ..... ..... ..... #####",
    /*  96 '`' */ ".#... ..#.. ...#. ..... ..... ..... ..... .....",
    /*  97 'a' */ "..... ..... .###. ....# .#### #...# .#### .....",
    /*  98 'b' */ "#.... #.... #.##. ##..# #...# #...# ####. .....",
    /*  99 'c' */ "..... ..... .###. #.... #.... #...# .###. .....",
    /* 100 'd' */ "....# ....# .##.# #..## #...# #...# .#### .....",
    /* 101 'e' */ "..... ..... .###. #...# ##### #.... .###. .....",
    /* 102 'f' */ "..##. .#..# .#... ###.. .#... .#... .#... .....",
    /* 103 'g' */ "..... ..... .#### #...# #...# .#### ....# .###.",
    /* 104 'h' */ "#.... #.... #.##. ##..# #...# #...# #...# .....",
    /* 105 'i' */ "..#.. ..... .##.. ..#.. ..#.. ..#.. .###. .....",
    /* 106 'j' */ "...#. ..... ..##. ...#. ...#. ...#. #..#. .##..",
    /* 107 'k' */ "#.... #.... #..#. #.#.. ##... #.#.. #..#. .....",
    /* 108 'l' */ ".##.. ..#.. ..#.. ..#.. ..#.. ..#.. .###. .....",
    /* 109 'm' */ "..... ..... ##.#. #.#.# #.#.# #...# #...# .....",
    /* 110 'n' */ "..... ..... #.##. ##..# #...# #...# #...# .....",
    /* 111 'o' */ "..... ..... .###. #...# #...# #...# .###. .....",
    /* 112 'p' */ "..... ..... ####. #...# #...# ####. #.... #....",
    /* 113 'q' */ "..... ..... .#### #...# #...# .#### ....# ....#",
    /* 114 'r' */ "..... ..... #.##. ##..# #.... #.... #.... .....",
    /* 115 's' */ "..... ..... .###. #.... .###. ....# ####. .....",
    /* 116 't' */ ".#... .#... ###.. .#... .#... .#..# ..##. .....",
    /* 117 'u' */ "..... ..... #...# #...# #...# #..## .##.# .....",
    /* 118 'v' */ "..... ..... #...# #...# #...# .#.#. ..#.. .....",
    /* 119 'w' */ "..... ..... #...# #...# #.#.# #.#.# .#.#. .....",
    /* 120 'x' */ "..... ..... #...# .#.#. ..#.. .#.#. #...# .....",
    /* 121 'y' */ "..... ..... #...# #...# #...# .#### ....# .###.",
    /* 122 'z' */ "..... ..... ##### ...#. ..#.. .#... ##### .....",
    /* 123 '{' */ "...#. ..#.. ..#.. .#... ..#.. ..#.. ...#. .....",
    /* 124 '|' */ "..#.. ..#.. ..#.. ..#.. ..#.. ..#.. ..#.. .....",
    /* 125 '}' */ ".#... ..#.. ..#.. ...#. ..#.. ..#.. .#... .....",
    /* 126 '~' */ "..... ..... .#... #.#.# ...#. ..... ..... .....",
    /* 127 box */ "##### #...# #...# #...# #...# #...# ##### .....",
    /* 128 blk */ "##### ##### ##### ##### ##### ##### ##### .....",
    /* 129 chk */ "#.#.# .#.#. #.#.# .#.#. #.#.# .#.#. #.#.# .....",
    /* 130 up  */ "..#.. .###. #.#.# ..#.. ..#.. ..#.. ..#.. .....",
    /* 131 dn  */ "..#.. ..#.. ..#.. ..#.. #.#.# .###. ..#.. .....",
    /* 132 lt  */ "..... ..#.. .#... ##### .#... ..#.. ..... .....",
    /* 133 rt  */ "..... ..#.. ...#. ##### ...#. ..#.. ..... .....",
    /* 134 hrt */ "..... .#.#. ##### ##### .###. ..#.. ..... .....",
    /* 135 dot */ "..... ..... .###. .###. .###. ..... ..... .....",
    /* 136 dia */ "..... ..#.. .###. ##### .###. ..#.. ..... .....",
};

constexpr int kGlyphCols = 5, kGlyphRows = 8;

// Whether the glyph table entry is well formed: 8 groups of 5 '.'/'#' separated by spaces.
bool GlyphWellFormed(const char* g) {
  if (std::strlen(g) != size_t(kGlyphRows * (kGlyphCols + 1) - 1)) return false;
  for (int i = 0; g[i] != 0; ++i) {
    const bool separator = i % (kGlyphCols + 1) == kGlyphCols;
    if (separator ? g[i] != ' ' : (g[i] != '.' && g[i] != '#')) return false;
  }
  return true;
}

bool GlyphInk(const char* g, int col, int row) { return g[row * (kGlyphCols + 1) + col] == '#'; }

struct GlyphRect {
  int x, y, w, h;
};

GlyphRect GlyphRectFor(int index) {
  return {(index % kCellsPerRow) * kCellW, (index / kCellsPerRow) * kCellH, kAdvance, kCellH};
}

Image DrawFontSheet() {
  Image img(kFontW, kFontH);
  for (int y = 0; y < kFontH; ++y) {
    for (int x = 0; x < kFontW; ++x) {
      uint8_t* p = img.At(x, y);
      p[0] = p[1] = p[2] = 255;
    }
  }
  for (int i = 0; i < kGlyphCount; ++i) {
    const GlyphRect r = GlyphRectFor(i);
    for (int row = 0; row < kGlyphRows; ++row) {
      for (int col = 0; col < kGlyphCols; ++col) {
        if (!GlyphInk(kGlyphs[i], col, row)) continue;
        for (int sy = 0; sy < kGlyphScale; ++sy) {
          for (int sx = 0; sx < kGlyphScale; ++sx) {
            img.At(r.x + 1 + col * kGlyphScale + sx, r.y + 1 + row * kGlyphScale + sy)[3] = 255;
          }
        }
      }
    }
  }
  return img;
}

// ---------------------------------------------------------------------------------------------
// The splash: a striped sun over a grid plain, with a play emblem, under a starry sky.

struct Rgb {
  float r, g, b;
};

Rgb Mix(Rgb a, Rgb b, float t) { return {Lerp(a.r, b.r, t), Lerp(a.g, b.g, t), Lerp(a.b, b.b, t)}; }

void Blend(Image& img, int x, int y, Rgb c, float coverage) {
  if (coverage <= 0 || x < 0 || y < 0 || x >= img.w || y >= img.h) return;
  uint8_t* p = img.At(x, y);
  const float t = Clamp01(coverage);
  p[0] = uint8_t(std::lround(Lerp(p[0], c.r, t)));
  p[1] = uint8_t(std::lround(Lerp(p[1], c.g, t)));
  p[2] = uint8_t(std::lround(Lerp(p[2], c.b, t)));
}

Image DrawSplash() {
  constexpr int kSize = 1024;
  constexpr float kHorizon = 700;
  const Rgb skyTop{12, 14, 38}, skyLow{92, 30, 104}, groundNear{10, 6, 24}, groundFar{40, 14, 60};
  Image img(kSize, kSize);

  // Sky and ground: colour depends on the row only.
  for (int y = 0; y < kSize; ++y) {
    const float fy = float(y) + 0.5f;
    Rgb c;
    if (fy < kHorizon) {
      const float t = fy / kHorizon;
      c = Mix(skyTop, skyLow, t * t);
    } else {
      c = Mix(groundFar, groundNear, std::sqrt((fy - kHorizon) / (kSize - kHorizon)));
    }
    for (int x = 0; x < kSize; ++x) {
      uint8_t* p = img.At(x, y);
      p[0] = uint8_t(std::lround(c.r));
      p[1] = uint8_t(std::lround(c.g));
      p[2] = uint8_t(std::lround(c.b));
      p[3] = 255;
    }
  }

  // Stars.
  for (int k = 0; k < 70; ++k) {
    const uint32_t h = Hash(0x57A2u + uint32_t(k) * 3);
    const float sx = 20 + 984 * Unit(h), sy = 16 + 440 * Unit(Hash(h ^ 1u));
    const float radius = 1.0f + 1.6f * Unit(Hash(h ^ 2u));
    const float bright = 0.45f + 0.55f * Unit(Hash(h ^ 3u));
    for (int y = int(sy) - 4; y <= int(sy) + 4; ++y) {
      for (int x = int(sx) - 4; x <= int(sx) + 4; ++x) {
        const float d = std::hypot(float(x) + 0.5f - sx, float(y) + 0.5f - sy) - radius;
        Blend(img, x, y, {255, 244, 230}, bright * Edge(d));
      }
    }
  }

  // The sun, cut by horizontal gaps that widen towards the horizon.
  const float sunX = 512, sunY = 440, sunR = 290;
  const Rgb sunTop{255, 220, 96}, sunLow{246, 64, 132};
  for (int y = int(sunY - sunR) - 2; y < int(kHorizon); ++y) {
    const float fy = float(y) + 0.5f;
    float gap = 0;
    for (int k = 0; k < 7; ++k) {
      const float centre = 500 + float(k) * 32 + float(k * k) * 1.5f;
      const float half = 2 + float(k) * 1.6f;
      gap = std::max(gap, Edge(std::fabs(fy - centre) - half));
    }
    const Rgb c = Mix(sunTop, sunLow, Smoothstep(sunY - sunR, kHorizon, fy));
    for (int x = int(sunX - sunR) - 2; x <= int(sunX + sunR) + 2; ++x) {
      const float d = std::hypot(float(x) + 0.5f - sunX, fy - sunY) - sunR;
      Blend(img, x, y, c, Edge(d) * (1 - gap));
    }
  }

  // The grid on the plain: lines receding to the horizon and lines fanning out from its middle.
  const Rgb gridColour{236, 72, 196};
  for (int y = int(kHorizon); y < kSize; ++y) {
    const float fy = float(y) + 0.5f;
    const float depth = (fy - kHorizon) / (kSize - kHorizon);  // 0 at the horizon
    float across = 0;
    for (int k = 0; k < 9; ++k) {
      const float lineY = kHorizon + 4 + 320 * std::pow(float(k) / 8, 2.2f);
      across = std::max(across, Edge(std::fabs(fy - lineY) - 0.6f - 1.2f * depth));
    }
    for (int x = 0; x < kSize; ++x) {
      const float fx = float(x) + 0.5f;
      float v = across;
      for (int k = -9; k <= 9; ++k) {
        // Line from (512, horizon) to (512 + k * 150, bottom); distance measured horizontally.
        const float lineX = 512 + float(k) * 150 * depth;
        v = std::max(v, Edge(std::fabs(fx - lineX) - 0.6f - 1.0f * depth));
      }
      Blend(img, x, y, gridColour, v * (0.35f + 0.65f * depth));
    }
  }

  // The emblem: a ring with a play triangle, dark against the sun.
  const Rgb emblem{36, 14, 66};
  const float ex = 512, ey = 420;
  const std::vector<Point> triangle = {{ex - 48, ey - 70}, {ex + 78, ey}, {ex - 48, ey + 70}};
  for (int y = int(ey) - 150; y <= int(ey) + 150; ++y) {
    for (int x = int(ex) - 150; x <= int(ex) + 150; ++x) {
      const float fx = float(x) + 0.5f, fy = float(y) + 0.5f;
      const float ring = std::fabs(std::hypot(fx - ex, fy - ey) - 132) - 11;
      const float tri = PolygonDistance(fx, fy, triangle) - 6;  // rounded corners
      Blend(img, x, y, emblem, Edge(std::min(ring, tri)));
    }
  }
  return img;
}

// ---------------------------------------------------------------------------------------------
// DXT5 blocks

uint16_t To565(const uint8_t* p) {
  const uint32_t r = (uint32_t(p[0]) * 31 + 127) / 255;
  const uint32_t g = (uint32_t(p[1]) * 63 + 127) / 255;
  const uint32_t b = (uint32_t(p[2]) * 31 + 127) / 255;
  return uint16_t(r << 11 | g << 5 | b);
}

struct AlphaFit {
  int a0 = 0, a1 = 0;
  int index[16] = {};
  long sse = 0;
  int maxError = 0;
};

AlphaFit FitAlpha(const uint8_t alpha[16], int a0, int a1) {
  AlphaFit fit;
  fit.a0 = a0;
  fit.a1 = a1;
  int pal[8];
  DDS_AlphaPalette(a0, a1, pal);
  for (int i = 0; i < 16; ++i) {
    int best = 0;
    for (int k = 1; k < 8; ++k) {
      if (std::abs(pal[k] - alpha[i]) < std::abs(pal[best] - alpha[i])) best = k;
    }
    const int e = std::abs(pal[best] - alpha[i]);
    fit.index[i] = best;
    fit.sse += long(e) * e;
    fit.maxError = std::max(fit.maxError, e);
  }
  return fit;
}

// Encodes 16 pixels (RGBA, row-major) into one 16-byte block.
void EncodeBlock(const uint8_t px[16][4], uint8_t out[16]) {
  // Alpha: the full range with six interpolated steps or, when the block also holds fully
  // clear or fully opaque pixels, the range between with four steps plus exact 0 and 255.
  uint8_t alpha[16];
  int lo = 255, hi = 0, innerLo = 255, innerHi = 0;
  for (int i = 0; i < 16; ++i) {
    alpha[i] = px[i][3];
    lo = std::min(lo, int(alpha[i]));
    hi = std::max(hi, int(alpha[i]));
    if (alpha[i] != 0 && alpha[i] != 255) {
      innerLo = std::min(innerLo, int(alpha[i]));
      innerHi = std::max(innerHi, int(alpha[i]));
    }
  }
  AlphaFit fit = FitAlpha(alpha, hi, lo);
  if (innerLo > innerHi) innerLo = innerHi = 0;
  const AlphaFit inner = FitAlpha(alpha, innerLo, innerHi);
  if (inner.sse < fit.sse && inner.maxError <= fit.maxError) fit = inner;
  out[0] = uint8_t(fit.a0);
  out[1] = uint8_t(fit.a1);
  uint64_t abits = 0;
  for (int i = 0; i < 16; ++i) abits |= uint64_t(fit.index[i]) << (3 * i);
  for (int k = 0; k < 6; ++k) out[2 + k] = uint8_t(abits >> (8 * k));

  // Colour: endpoints from the darkest and the brightest pixel, four-colour order.
  int darkest = 0, brightest = 0;
  auto luma = [&](int i) { return 299 * px[i][0] + 587 * px[i][1] + 114 * px[i][2]; };
  for (int i = 1; i < 16; ++i) {
    if (luma(i) < luma(darkest)) darkest = i;
    if (luma(i) > luma(brightest)) brightest = i;
  }
  uint16_t c0 = To565(px[brightest]), c1 = To565(px[darkest]);
  if (c0 < c1) std::swap(c0, c1);
  uint32_t cbits = 0;
  if (c0 != c1) {
    uint8_t pal[4][4];
    DDS_ColourPalette(c0, c1, true, pal);
    for (int i = 0; i < 16; ++i) {
      int best = 0, bestDist = 1 << 30;
      for (int k = 0; k < 4; ++k) {
        int dist = 0;
        for (int ch = 0; ch < 3; ++ch) dist += (pal[k][ch] - px[i][ch]) * (pal[k][ch] - px[i][ch]);
        if (dist < bestDist) {
          bestDist = dist;
          best = k;
        }
      }
      cbits |= uint32_t(best) << (2 * i);
    }
  }
  out[8] = uint8_t(c0);
  out[9] = uint8_t(c0 >> 8);
  out[10] = uint8_t(c1);
  out[11] = uint8_t(c1 >> 8);
  for (int k = 0; k < 4; ++k) out[12 + k] = uint8_t(cbits >> (8 * k));
}

// ---------------------------------------------------------------------------------------------
// DDS files

constexpr uint32_t kDdsFlags = 0x1 | 0x2 | 0x4 | 0x1000 | 0x80000;  // caps, height, width,
                                                                    // pixel format, linear size
Bytes EncodeDds(const Image& img) {
  Bytes b = {'D', 'D', 'S', ' '};
  Put32(b, 124);
  Put32(b, kDdsFlags);
  Put32(b, uint32_t(img.h));
  Put32(b, uint32_t(img.w));
  Put32(b, uint32_t((img.w / 4) * (img.h / 4) * 16));
  Put32(b, 0);  // depth
  Put32(b, 0);  // mipmap count: one level
  for (int i = 0; i < 11; ++i) Put32(b, 0);
  Put32(b, 32);   // pixel format size
  Put32(b, 0x4);  // four-character code present
  for (char c : {'D', 'X', 'T', '5'}) b.push_back(uint8_t(c));
  for (int i = 0; i < 5; ++i) Put32(b, 0);
  Put32(b, 0x1000);  // texture
  for (int i = 0; i < 4; ++i) Put32(b, 0);
  for (int by = 0; by < img.h; by += 4) {
    for (int bx = 0; bx < img.w; bx += 4) {
      uint8_t px[16][4];
      for (int i = 0; i < 16; ++i) std::memcpy(px[i], img.At(bx + i % 4, by + i / 4), 4);
      uint8_t block[16];
      EncodeBlock(px, block);
      b.insert(b.end(), block, block + 16);
    }
  }
  return b;
}

bool DecodeDds(const uint8_t* data, size_t size, Image* out, std::string* error) {
  if (size < kDdsHeaderSize || std::memcmp(data, "DDS ", 4) != 0) {
    *error = "not a DDS file";
    return false;
  }
  const uint32_t h = Get32(data + 12), w = Get32(data + 16), linear = Get32(data + 20);
  if (Get32(data + 4) != 124 || Get32(data + 8) != kDdsFlags || Get32(data + 76) != 32 ||
      Get32(data + 80) != 0x4 || std::memcmp(data + 84, "DXT5", 4) != 0 ||
      Get32(data + 108) != 0x1000) {
    *error = "unexpected DDS header";
    return false;
  }
  if (w == 0 || h == 0 || w % 4 != 0 || h % 4 != 0 || linear != (w / 4) * (h / 4) * 16 ||
      size != kDdsHeaderSize + linear) {
    *error = "DDS size mismatch";
    return false;
  }
  // The runtime's own reader and decoder, so what the checks see is what the program shows.
  DdsImage image;
  if (!DDS_ReadHeader(data, size, &image)) {
    *error = "DDS header refused by the decoder";
    return false;
  }
  *out = Image(int(w), int(h));
  DDS_DecodeImage(image, out->px.data());
  return true;
}

// ---------------------------------------------------------------------------------------------
// PNG through libpng, in memory. The setjmp sits in functions whose locals all end before it
// can return a second time.

void PngWrite(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void PngFlush(png_structp) {}

bool PngWriteImage(png_structp png, png_infop info, const Image* img) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, png_uint_32(img->w), png_uint_32(img->h), 8, PNG_COLOR_TYPE_RGBA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, Z_BEST_COMPRESSION);
  png_write_info(png, info);
  for (int y = 0; y < img->h; ++y) png_write_row(png, img->At(0, y));
  png_write_end(png, nullptr);
  return true;
}

Bytes EncodePng(const Image& img) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = info != nullptr;
  if (ok) {
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    ok = PngWriteImage(png, info, &img);
  }
  png_destroy_write_struct(&png, &info);
  if (!ok) out.clear();
  return out;
}

struct PngSource {
  const uint8_t* data;
  size_t size, pos;
};

void PngRead(png_structp png, png_bytep data, png_size_t length) {
  auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
  if (length > src->size - src->pos) png_error(png, "truncated");
  std::memcpy(data, src->data + src->pos, length);
  src->pos += length;
}

bool PngReadImage(png_structp png, png_infop info, Image* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  if (png_get_bit_depth(png, info) != 8 || png_get_color_type(png, info) != PNG_COLOR_TYPE_RGBA ||
      png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) {
    return false;
  }
  *out = Image(int(png_get_image_width(png, info)), int(png_get_image_height(png, info)));
  for (int y = 0; y < out->h; ++y) png_read_row(png, out->At(0, y), nullptr);
  png_read_end(png, nullptr);
  return true;
}

bool DecodePng(const Bytes& data, Image* out) {
  PngSource src{data.data(), data.size(), 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = info != nullptr;
  if (ok) {
    png_set_read_fn(png, &src, PngRead);
    ok = PngReadImage(png, info, out);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return ok;
}

// ---------------------------------------------------------------------------------------------
// The entries and the table

const Field kParticleShapes[14] = {
    PixelShape,  DiskShape,  SquareShape, LineShape,      StarShape,  CircleShape, RingShape,
    SphereShape, FlareShape, SparkShape,  ExplosionShape, CloudShape, SmokeShape,  SnowShape,
};

// The images as drawn, before encoding.
std::vector<Image> DrawSources() {
  std::vector<Image> images;
  images.push_back(DrawAlpha(64, 64, SoftDisc));
  for (const Field& shape : kParticleShapes) images.push_back(DrawAlpha(64, 64, shape));
  images.push_back(DrawFontSheet());
  images.push_back(DrawSplash());
  return images;
}

std::vector<Bytes> EncodeEntries(const std::vector<Image>& sources) {
  std::vector<Bytes> entries;
  for (size_t i = 0; i < sources.size(); ++i) {
    entries.push_back(i == kSplashEntry ? EncodePng(sources[i]) : EncodeDds(sources[i]));
  }
  return entries;
}

Bytes BuildTable(const std::vector<Bytes>& entries) {
  Bytes table;
  Put32(table, uint32_t(entries.size()));
  uint32_t offset = uint32_t(4 + 8 * entries.size());
  for (const Bytes& e : entries) {
    Put32(table, uint32_t(e.size()));
    Put32(table, offset);
    offset = (offset + uint32_t(e.size()) + 3) & ~3u;
  }
  for (const Bytes& e : entries) {
    table.insert(table.end(), e.begin(), e.end());
    table.resize((table.size() + 3) & ~size_t(3), 0);
  }
  return table;
}

bool WriteFile(const std::string& path, const Bytes& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

std::string GenerateSource(const Bytes& table) {
  std::string s;
  s += "// Generated by tools/embedgen from its own drawing code; do not edit.\n";
  s +=
      "// The program's built-in files: fallback texture, particle shapes, font sheet, splash.\n\n";
  s += "alignas(16) static const unsigned char kProgramTable[" + std::to_string(table.size()) +
       "] = {\n";
  char buf[8];
  for (size_t i = 0; i < table.size(); ++i) {
    std::snprintf(buf, sizeof(buf), "0x%02x,", table[i]);
    s += buf;
    if (i % 32 == 31 || i + 1 == table.size()) s += '\n';
  }
  s += "};\n\n";
  s += "const void* EmbeddedFiles_ProgramTable();\n";
  s += "const void* EmbeddedFiles_ProgramTable() { return kProgramTable; }\n\n";
  s += "// x, y, width, height of characters " + std::to_string(kFirstChar) + " to " +
       std::to_string(kFirstChar + kGlyphCount - 1) + " in the font sheet (entry " +
       std::to_string(kFontEntry) + ").\n";
  s += "extern const unsigned char g_BuiltinFontGlyphs[" + std::to_string(kGlyphCount) + "][4];\n";
  s += "const unsigned char g_BuiltinFontGlyphs[" + std::to_string(kGlyphCount) + "][4] = {\n";
  for (int i = 0; i < kGlyphCount; ++i) {
    const GlyphRect r = GlyphRectFor(i);
    char entry[64];
    std::snprintf(entry, sizeof(entry), "{%d,%d,%d,%d},", r.x, r.y, r.w, r.h);
    s += entry;
    if (i % 8 == 7 || i + 1 == kGlyphCount) s += '\n';
  }
  s += "};\n";
  return s;
}

// ---------------------------------------------------------------------------------------------
// --dump-png previews: alpha shown as brightness over a dark background, enlarged.

Image Preview(const Image& src, int scale) {
  Image out(src.w * scale, src.h * scale);
  for (int y = 0; y < out.h; ++y) {
    for (int x = 0; x < out.w; ++x) {
      const uint8_t* s = src.At(x / scale, y / scale);
      uint8_t* d = out.At(x, y);
      const float a = float(s[3]) / 255;
      d[0] = uint8_t(std::lround(Lerp(24, s[0], a)));
      d[1] = uint8_t(std::lround(Lerp(28, s[1], a)));
      d[2] = uint8_t(std::lround(Lerp(44, s[2], a)));
      d[3] = 255;
    }
  }
  return out;
}

void Paste(Image& dst, const Image& src, int ox, int oy) {
  for (int y = 0; y < src.h; ++y) std::memcpy(dst.At(ox, oy + y), src.At(0, y), size_t(src.w) * 4);
}

int DumpPng(const std::string& dir, const std::vector<Bytes>& entries) {
  std::filesystem::create_directories(dir);
  std::vector<Image> decoded;
  for (int i = 0; i < kFontEntry + 1; ++i) {
    Image img;
    std::string error;
    if (!DecodeDds(entries[size_t(i)].data(), entries[size_t(i)].size(), &img, &error)) {
      std::fprintf(stderr, "embedgen: entry %d: %s\n", i, error.c_str());
      return 1;
    }
    char name[32];
    std::snprintf(name, sizeof(name), "/entry%02d.png", i);
    if (!WriteFile(dir + name, EncodePng(img))) return 1;
    decoded.push_back(img);
  }
  constexpr int kScale = 3, kTile = 64 * kScale + 8;
  Image sheet(5 * kTile + 8, 3 * kTile + 8);
  for (size_t i = 0; i < sheet.px.size(); i += 4) sheet.px[i + 3] = 255;
  for (int i = 0; i < 15; ++i) {
    Paste(sheet, Preview(decoded[size_t(i)], kScale), 8 + (i % 5) * kTile, 8 + (i / 5) * kTile);
  }
  Image font = Preview(decoded[kFontEntry], kScale);
  for (int i = 0; i < kGlyphCount; ++i) {  // glyph rectangles as dim red corners
    const GlyphRect r = GlyphRectFor(i);
    for (int c = 0; c < 4; ++c) {
      const int x = (r.x + (c % 2) * (r.w - 1)) * kScale, y = (r.y + (c / 2) * (r.h - 1)) * kScale;
      font.At(x, y)[0] = 200;
    }
  }
  const bool ok = WriteFile(dir + "/shapes.png", EncodePng(sheet)) &&
                  WriteFile(dir + "/font.png", EncodePng(font));
  return ok ? 0 : 1;
}

// ---------------------------------------------------------------------------------------------
// --check

struct Checker {
  int failures = 0;
  bool Expect(bool ok, const std::string& what) {
    if (!ok) {
      ++failures;
      std::fprintf(stderr, "embedgen check failed: %s\n", what.c_str());
    }
    return ok;
  }
};

// The largest error the alpha encoding can make: half the widest gap of the six-step palette.
constexpr int kAlphaTolerance = 18;

void CheckBlockCodec(Checker& c) {
  // A block built by hand: alpha indices 0..7 twice over endpoints 255 and 0; colour indices
  // 0, 1, 2, 3 over pure red and pure blue, the rest 0.
  const uint8_t known[16] = {0xFF, 0x00, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA,
                             0x00, 0xF8, 0x1F, 0x00, 0xE4, 0x00, 0x00, 0x00};
  const int knownAlpha[8] = {255, 0, 218, 182, 145, 109, 72, 36};
  const uint8_t knownColour[4][3] = {{255, 0, 0}, {0, 0, 255}, {170, 0, 85}, {85, 0, 170}};
  uint8_t px[16][4];
  DDS_DecodeBlockDXT5(known, px);
  for (int i = 0; i < 16; ++i) {
    const uint8_t* want = knownColour[i < 4 ? i : 0];
    c.Expect(px[i][3] == knownAlpha[i % 8] && std::memcmp(px[i], want, 3) == 0,
             "hand-made block, pixel " + std::to_string(i));
  }
  // The other alpha mode: 4 steps between 40 and 90, then 0 and 255.
  const uint8_t fourStep[16] = {40,   90,   0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA,
                                0xFF, 0xFF, 0xFF, 0xFF, 0,    0,    0,    0};
  const int fourStepAlpha[8] = {40, 90, 50, 60, 70, 80, 0, 255};
  DDS_DecodeBlockDXT5(fourStep, px);
  for (int i = 0; i < 16; ++i) {
    c.Expect(px[i][3] == fourStepAlpha[i % 8] && px[i][0] == 255 && px[i][2] == 255,
             "hand-made four-step block, pixel " + std::to_string(i));
  }

  // Round trips through the encoder.
  struct Case {
    const char* name;
    std::function<int(int)> alpha;        // of pixel i
    std::function<uint32_t(int)> colour;  // 0xRRGGBB of pixel i
    int alphaTolerance, colourTolerance;
  };
  const auto white = [](int) { return 0xFFFFFFu; };
  const auto opaque = [](int) { return 255; };
  const Case cases[] = {
      {"clear", [](int) { return 0; }, white, 0, 0},
      {"opaque", opaque, white, 0, 0},
      {"flat 77", [](int) { return 77; }, white, 0, 0},
      {"two levels", [](int i) { return i % 3 ? 13 : 200; }, white, 0, 0},
      {"narrow range", [](int i) { return 120 + i % 8; }, white, 0, 0},
      {"ramp", [](int i) { return i * 17; }, white, kAlphaTolerance, 0},
      {"0, 255, mid", [](int i) { return i % 4 < 2 ? 255 * (i % 4) : 99 + 2 * i; }, white, 3, 0},
      {"hashed", [](int i) { return int(Hash(uint32_t(i) + 9) & 255); }, white, kAlphaTolerance, 0},
      {"red and blue", opaque, [](int i) { return i % 2 ? 0xFF0000u : 0x0000FFu; }, 0, 0},
      {"green over red", opaque, [](int i) { return i < 8 ? 0xFF0000u : 0x00FF00u; }, 0, 0},
      {"grey ramp", opaque, [](int i) { return uint32_t(i * 17) * 0x010101u; }, 0, 48},
  };
  for (const Case& k : cases) {
    const std::string name = std::string("block '") + k.name + "': ";
    uint8_t src[16][4], block[16], out[16][4];
    for (int i = 0; i < 16; ++i) {
      const uint32_t rgb = k.colour(i);
      src[i][0] = uint8_t(rgb >> 16);
      src[i][1] = uint8_t(rgb >> 8);
      src[i][2] = uint8_t(rgb);
      src[i][3] = uint8_t(k.alpha(i));
    }
    EncodeBlock(src, block);
    DDS_DecodeBlockDXT5(block, out);
    // Colour endpoints in four-colour order, so readers that honour the order agree with ours.
    const uint32_t c0 = Get16(block + 8), c1 = Get16(block + 10);
    c.Expect(c0 > c1 || (c0 == c1 && Get32(block + 12) == 0), name + "colour endpoint order");
    int alphaErr = 0, colourErr = 0;
    for (int i = 0; i < 16; ++i) {
      alphaErr = std::max(alphaErr, std::abs(out[i][3] - src[i][3]));
      for (int ch = 0; ch < 3; ++ch) {
        colourErr = std::max(colourErr, std::abs(out[i][ch] - src[i][ch]));
      }
    }
    c.Expect(alphaErr <= k.alphaTolerance, name + "alpha off by " + std::to_string(alphaErr));
    c.Expect(colourErr <= k.colourTolerance, name + "colour off by " + std::to_string(colourErr));
  }
  // Each pixel lands in its own place.
  for (int lit = 0; lit < 16; ++lit) {
    uint8_t src[16][4], block[16], out[16][4];
    for (int i = 0; i < 16; ++i) {
      src[i][0] = src[i][1] = src[i][2] = 255;
      src[i][3] = i == lit ? 255 : 0;
    }
    EncodeBlock(src, block);
    DDS_DecodeBlockDXT5(block, out);
    for (int i = 0; i < 16; ++i) {
      c.Expect(out[i][3] == src[i][3],
               "single lit pixel " + std::to_string(lit) + " read back at " + std::to_string(i));
    }
  }
}

void CheckTable(Checker& c, const Bytes& table, const std::vector<Image>& sources) {
  if (!c.Expect(table.size() >= 4 + 8 * kEntryCount && Get32(table.data()) == kEntryCount,
                "entry count")) {
    return;
  }
  uint32_t expectedOffset = 4 + 8 * kEntryCount;
  for (int i = 0; i < kEntryCount; ++i) {
    const uint32_t size = Get32(&table[size_t(4 + 8 * i)]),
                   offset = Get32(&table[size_t(8 + 8 * i)]);
    const std::string name = "entry " + std::to_string(i);
    const bool placed = c.Expect(offset % 4 == 0 && offset == expectedOffset, name + ": offset");
    if (!c.Expect(placed && size > 0 && size_t(offset) + size <= table.size(), name + ": bounds")) {
      return;
    }
    expectedOffset = (offset + size + 3) & ~3u;
    const Image& src = sources[size_t(i)];
    Image img;
    if (i == kSplashEntry) {
      c.Expect(size < 200 * 1024, name + ": PNG is " + std::to_string(size) + " bytes");
      c.Expect(DecodePng(Bytes(table.begin() + offset, table.begin() + offset + size), &img),
               name + ": PNG decode");
      c.Expect(img.w == 1024 && img.h == 1024 && img.px == src.px,
               name + ": PNG pixels differ from the drawing");
      continue;
    }
    std::string error;
    const bool decoded = DecodeDds(&table[offset], size, &img, &error);
    c.Expect(decoded, name + ": " + error);
    const int wantW = i == kFontEntry ? kFontW : 64, wantH = i == kFontEntry ? kFontH : 64;
    c.Expect(img.w == wantW && img.h == wantH, name + ": dimensions");
    if (img.w != src.w || img.h != src.h) continue;
    int maxErr = 0, borderAlpha = 0, peak = 0;
    long sumErr = 0;
    bool white = true;
    for (int y = 0; y < img.h; ++y) {
      for (int x = 0; x < img.w; ++x) {
        const uint8_t *d = img.At(x, y), *s = src.At(x, y);
        const int e = std::abs(d[3] - s[3]);
        maxErr = std::max(maxErr, e);
        sumErr += e;
        white = white && d[0] == 255 && d[1] == 255 && d[2] == 255;
        peak = std::max(peak, int(s[3]));
        if (x == 0 || y == 0 || x == img.w - 1 || y == img.h - 1)
          borderAlpha = std::max(borderAlpha, int(s[3]));
      }
    }
    const double meanErr = double(sumErr) / (img.w * img.h);
    c.Expect(maxErr <= kAlphaTolerance, name + ": alpha off by up to " + std::to_string(maxErr));
    c.Expect(meanErr <= 2.0, name + ": mean alpha error " + std::to_string(meanErr));
    c.Expect(white, name + ": colour is not white");
    c.Expect(i == kFontEntry || (borderAlpha == 0 && peak >= 192),
             name + ": shape should fill the middle and leave the border clear");
  }
  // No two particle shapes alike.
  for (int a = 1; a <= 14; ++a) {
    for (int b = a + 1; b <= 14; ++b) {
      int diff = 0;
      for (size_t p = 3; p < sources[size_t(a)].px.size(); p += 4) {
        diff += std::abs(sources[size_t(a)].px[p] - sources[size_t(b)].px[p]) > 64;
      }
      c.Expect(diff > 40,
               "shapes " + std::to_string(a) + " and " + std::to_string(b) + " look alike");
    }
  }
}

void CheckFont(Checker& c, const Image& sheet) {
  // Every inked pixel must lie inside its own character's rectangle, and only there.
  std::vector<int> owner(size_t(kFontW) * kFontH, -1);
  for (int i = 0; i < kGlyphCount; ++i) {
    const GlyphRect r = GlyphRectFor(i);
    const bool formed = c.Expect(GlyphWellFormed(kGlyphs[i]),
                                 "glyph " + std::to_string(kFirstChar + i) + " is malformed");
    if (!c.Expect(formed && r.x >= 0 && r.y >= 0 && r.x + r.w <= kFontW && r.y + r.h <= kFontH,
                  "glyph rectangle out of the sheet")) {
      return;
    }
    int ink = 0;
    for (int y = r.y; y < r.y + r.h; ++y) {
      for (int x = r.x; x < r.x + r.w; ++x) {
        c.Expect(owner[size_t(y * kFontW + x)] < 0, "glyph rectangles overlap");
        owner[size_t(y * kFontW + x)] = i;
        ink += sheet.At(x, y)[3] != 0;
        const bool rim = x == r.x || y == r.y || x == r.x + r.w - 1 || y == r.y + r.h - 1;
        c.Expect(!rim || sheet.At(x, y)[3] == 0,
                 "glyph " + std::to_string(kFirstChar + i) + " touches its rectangle's edge");
      }
    }
    c.Expect((i == 0) == (ink == 0),
             "glyph " + std::to_string(kFirstChar + i) + " has no ink, or space has some");
  }
  for (int y = 0; y < kFontH; ++y) {
    for (int x = 0; x < kFontW; ++x) {
      if (owner[size_t(y * kFontW + x)] < 0)
        c.Expect(sheet.At(x, y)[3] == 0, "ink outside any glyph rectangle");
    }
  }
  // Characters that differ must look different.
  for (int a = 0; a < kGlyphCount; ++a) {
    for (int b = a + 1; b < kGlyphCount; ++b) {
      c.Expect(std::strcmp(kGlyphs[a], kGlyphs[b]) != 0,
               "characters " + std::to_string(kFirstChar + a) + " and " +
                   std::to_string(kFirstChar + b) + " share a bitmap");
    }
  }
}

int Check() {
  Checker c;
  CheckBlockCodec(c);
  const std::vector<Image> sources = DrawSources();
  CheckFont(c, sources[kFontEntry]);
  const Bytes table = BuildTable(EncodeEntries(sources));
  CheckTable(c, table, sources);
  c.Expect(BuildTable(EncodeEntries(DrawSources())) == table, "two runs gave different bytes");
  if (c.failures) {
    std::fprintf(stderr, "embedgen: %d check(s) failed\n", c.failures);
    return 1;
  }
  std::printf("embedgen: all checks passed (table %zu bytes)\n", table.size());
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: embedgen --cpp <out.cpp> | --dump <dir> | --dump-png <dir> | --check\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--check") == 0) return Check();
  if (argc != 3) return Usage();
  const std::string mode = argv[1], target = argv[2];
  const std::vector<Bytes> entries = EncodeEntries(DrawSources());
  for (const Bytes& e : entries) {
    if (e.empty()) {
      std::fprintf(stderr, "embedgen: encoding failed\n");
      return 1;
    }
  }
  if (mode == "--cpp") {
    const std::string source = GenerateSource(BuildTable(entries));
    if (!WriteFile(target, Bytes(source.begin(), source.end()))) {
      std::fprintf(stderr, "embedgen: cannot write %s\n", target.c_str());
      return 1;
    }
    return 0;
  }
  if (mode == "--dump") {
    std::filesystem::create_directories(target);
    for (size_t i = 0; i < entries.size(); ++i) {
      char name[32];
      std::snprintf(name, sizeof(name), "/entry%02zu.%s", i, i == kSplashEntry ? "png" : "dds");
      if (!WriteFile(target + name, entries[i])) {
        std::fprintf(stderr, "embedgen: cannot write into %s\n", target.c_str());
        return 1;
      }
    }
    return 0;
  }
  if (mode == "--dump-png") return DumpPng(target, entries);
  return Usage();
}
