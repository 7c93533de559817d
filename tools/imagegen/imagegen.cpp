// imagegen: draws every image of the demo game and of the screenshot games from geometry and a
// fixed-seed hash, so the same program always gives the same bytes. Nothing comes from elsewhere:
// the demo's font is the pixel font below.
//
//   imagegen --write ROOT   writes every image under ROOT (the repository)
//   imagegen --check ROOT   draws every image again and compares it, byte for byte, with the file
//                           under ROOT; lists every file that is missing or differs (status 1)
//
// Images are encoded by the program's one PNG encoder (src/graphics/PNG_Writer.cpp).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/PNG_Writer.h"

namespace fs = std::filesystem;

namespace {

struct Colour {
  uint8_t r, g, b, a;
};

struct Image {
  int32_t width, height;
  std::vector<uint8_t> rgba;
  Image(int32_t w, int32_t h) : width(w), height(h), rgba(static_cast<size_t>(w) * static_cast<size_t>(h) * 4, 0) {}
  void Set(int32_t x, int32_t y, Colour c) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    uint8_t* p = &rgba[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4];
    p[0] = c.r, p[1] = c.g, p[2] = c.b, p[3] = c.a;
  }
  uint8_t Alpha(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    return rgba[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4 + 3];
  }
  void Fill(int32_t x0, int32_t y0, int32_t w, int32_t h, Colour c) {
    for (int32_t y = y0; y < y0 + h; ++y)
      for (int32_t x = x0; x < x0 + w; ++x) Set(x, y, c);
  }
  // A filled ellipse inside the box (x0, y0, w, h), pixel centres tested.
  void Ellipse(double x0, double y0, double w, double h, Colour c) {
    const double cx = x0 + w / 2, cy = y0 + h / 2;
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) {
        const double dx = (x + 0.5 - cx) / (w / 2), dy = (y + 0.5 - cy) / (h / 2);
        if (dx * dx + dy * dy <= 1.0) Set(x, y, c);
      }
  }
};

// A fixed-seed hash of three numbers, 0..255.
uint8_t Hash(uint32_t a, uint32_t b, uint32_t seed) {
  uint32_t h = a * 374761393u + b * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return static_cast<uint8_t>((h ^ (h >> 16)) & 0xFF);
}

constexpr Colour kClear = {0, 0, 0, 0};
constexpr Colour kBlack = {0, 0, 0, 255};
constexpr Colour kWhite = {255, 255, 255, 255};

// ---- The pixel font ---------------------------------------------------------------------------

// Characters of the font, in sheet order, and their 3 x 5 bitmaps (rows top first, '#' ink).
constexpr const char kFontChars[] = " !'(),-./0123456789:=?ABCDEFGHIJKLMNOPQRSTUVWXYZ+";
const char* const kFontGlyphs[] = {
    "... ... ... ... ...", ".#. .#. .#. ... .#.", ".#. .#. ... ... ...", "..# .#. .#. .#. ..#",
    "#.. .#. .#. .#. #..", "... ... ... .#. #..", "... ... ### ... ...", "... ... ... ... .#.",
    "..# ..# .#. #.. #..", "### #.# #.# #.# ###", ".#. ##. .#. .#. ###", "##. ..# .#. #.. ###",
    "##. ..# .#. ..# ##.", "#.# #.# ### ..# ..#", "### #.. ##. ..# ##.", ".## #.. ### #.# ###",
    "### ..# .#. .#. .#.", "### #.# ### #.# ###", "### #.# ### ..# ##.", "... .#. ... .#. ...",
    "... ### ... ### ...", "##. ..# .#. ... .#.", ".#. #.# ### #.# #.#", "##. #.# ##. #.# ##.",
    ".## #.. #.. #.. .##", "##. #.# #.# #.# ##.", "### #.. ##. #.. ###", "### #.. ##. #.. #..",
    ".## #.. #.# #.# .##", "#.# #.# ### #.# #.#", "### .#. .#. .#. ###", "..# ..# ..# #.# .#.",
    "#.# #.# ##. #.# #.#", "#.. #.. #.. #.. ###", "#.# ### ### #.# #.#", "##. #.# #.# #.# #.#",
    ".#. #.# #.# #.# .#.", "##. #.# ##. #.. #..", ".#. #.# #.# ##. .##", "##. #.# ##. #.# #.#",
    ".## #.. .#. ..# ##.", "### .#. .#. .#. .#.", "#.# #.# #.# #.# ###", "#.# #.# #.# #.# .#.",
    "#.# #.# ### ### #.#", "#.# #.# .#. #.# #.#", "#.# #.# .#. .#. .#.", "### ..# .#. #.. ###",
    "... .#. ### .#. ...",
};
constexpr int32_t kFontScale = 3;
constexpr int32_t kFontCellW = 12, kFontCellH = 18, kFontColumns = 16;
static_assert(sizeof kFontGlyphs / sizeof kFontGlyphs[0] == sizeof kFontChars - 1, "one bitmap per character");

// The font sheet: cells of 12 x 18 pixels, 16 a row, in kFontChars order; each glyph white,
// scaled 3 times, with a one-pixel black outline.
Image FontSheet() {
  const int32_t count = static_cast<int32_t>(sizeof kFontChars - 1);
  const int32_t rows = (count + kFontColumns - 1) / kFontColumns;
  Image ink(kFontCellW * kFontColumns, kFontCellH * rows);
  for (int32_t i = 0; i < count; ++i) {
    const int32_t cx = (i % kFontColumns) * kFontCellW + 1, cy = (i / kFontColumns) * kFontCellH + 1;
    for (int32_t row = 0; row < 5; ++row)
      for (int32_t col = 0; col < 3; ++col)
        if (kFontGlyphs[i][row * 4 + col] == '#')
          ink.Fill(cx + col * kFontScale, cy + row * kFontScale, kFontScale, kFontScale, kWhite);
  }
  Image sheet = ink;
  for (int32_t y = 0; y < sheet.height; ++y)
    for (int32_t x = 0; x < sheet.width; ++x) {
      if (ink.Alpha(x, y) != 0) continue;
      bool near = false;
      for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx) {
          // Only inside the same cell.
          const int32_t nx = x + dx, ny = y + dy;
          if (nx / kFontCellW != x / kFontCellW || ny / kFontCellH != y / kFontCellH) continue;
          near = near || ink.Alpha(nx, ny) != 0;
        }
      if (near) sheet.Set(x, y, kBlack);
    }
  return sheet;
}

// ---- Sprites and backgrounds -----------------------------------------------------------------

// The player: a 24 x 24 ship pointing right (angle 0), its flame flickering over 4 frames.
Image PlayerFrame(int32_t frame) {
  Image image(24, 24);
  const Colour flame[4] = {{255, 200, 40, 255}, {255, 140, 20, 255}, {255, 90, 10, 255}, {255, 160, 30, 255}};
  const int32_t length = 3 + frame % 2 * 2;
  image.Fill(4 - length + 1, 10, length, 4, flame[frame]);
  // A triangle from (4, 3)-(4, 20) to the nose (22, 12).
  for (int32_t y = 3; y <= 20; ++y)
    for (int32_t x = 4; x <= 22; ++x) {
      const double t = (x - 4) / 18.0;
      const double top = 3 + t * 8.5, bottom = 20 - t * 8.5;
      if (y >= top && y <= bottom) image.Set(x, y, {60, 140, 255, 255});
    }
  image.Fill(12, 10, 4, 4, kWhite);  // the cockpit
  return image;
}

// A 16 x 16 coin turning over 6 frames: a gold ellipse whose width follows the turn.
Image CoinFrame(int32_t frame) {
  Image image(16, 16);
  const double width = 2 + 14 * std::fabs(std::cos(frame * 3.14159265358979 / 6));
  image.Ellipse((16 - width) / 2, 0, width, 16, {200, 150, 0, 255});
  image.Ellipse((16 - width) / 2 + width * 0.2, 3, width * 0.6, 10, {255, 220, 60, 255});
  return image;
}

// A 20 x 20 enemy: a red blob whose eyes look left then right (2 frames).
Image EnemyFrame(int32_t frame) {
  Image image(20, 20);
  image.Ellipse(0, 2, 20, 18, {220, 40, 40, 255});
  image.Fill(5, 7, 4, 4, kWhite);
  image.Fill(11, 7, 4, 4, kWhite);
  image.Fill(5 + frame * 2, 8, 2, 2, kBlack);
  image.Fill(11 + frame * 2, 8, 2, 2, kBlack);
  return image;
}

// A 16 x 16 green diamond: the instance that follows the path.
Image Diamond() {
  Image image(16, 16);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x)
      if (std::abs(x * 2 - 15) + std::abs(y * 2 - 15) <= 16) image.Set(x, y, {40, 200, 80, 255});
  image.Fill(7, 7, 2, 2, kWhite);
  return image;
}

// A 64 x 64 night sky that tiles: a vertical blue gradient and hashed stars.
Image Sky() {
  Image image(64, 64);
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 64; ++x) {
      const uint8_t shade = static_cast<uint8_t>(20 + std::abs(y - 32));
      image.Set(x, y, {shade, static_cast<uint8_t>(shade + 10), static_cast<uint8_t>(80 + shade), 255});
      if (Hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y), 7) > 251) image.Set(x, y, {230, 230, 255, 255});
    }
  return image;
}

// A tile set of 64 x 32 pixels: 16 x 16 tiles, top row grass, brick, stone, water; bottom row
// their darker versions.
Image TileSet() {
  Image image(64, 32);
  const Colour base[4] = {{60, 170, 60, 255}, {170, 80, 50, 255}, {130, 130, 140, 255}, {40, 90, 200, 255}};
  for (int32_t row = 0; row < 2; ++row)
    for (int32_t t = 0; t < 4; ++t) {
      Colour c = base[t];
      if (row == 1) c = {static_cast<uint8_t>(c.r / 2), static_cast<uint8_t>(c.g / 2), static_cast<uint8_t>(c.b / 2), 255};
      for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x) {
          Colour p = c;
          const int32_t n = Hash(static_cast<uint32_t>(x + t * 16), static_cast<uint32_t>(y + row * 16), 3) % 24;
          p.r = static_cast<uint8_t>(std::min(255, p.r + n)), p.g = static_cast<uint8_t>(std::min(255, p.g + n));
          if (t == 1 && (y % 8 == 7 || (x + (y / 8) * 8) % 16 == 0)) p = {90, 40, 30, 255};  // mortar
          if (x == 0 || y == 0) p = {static_cast<uint8_t>(p.r * 3 / 4), static_cast<uint8_t>(p.g * 3 / 4), static_cast<uint8_t>(p.b * 3 / 4), 255};
          image.Set(row == 0 ? x + t * 16 : x + t * 16, y + row * 16, p);
        }
    }
  return image;
}

// A 16 x 16 test sprite whose quarters are red (top left), green (top right), blue (bottom left)
// and yellow (bottom right), so rotation and flips show.
Image Quarters() {
  Image image(16, 16);
  image.Fill(0, 0, 8, 8, {255, 0, 0, 255});
  image.Fill(8, 0, 8, 8, {0, 255, 0, 255});
  image.Fill(0, 8, 8, 8, {0, 0, 255, 255});
  image.Fill(8, 8, 8, 8, {255, 255, 0, 255});
  return image;
}

// A 32 x 32 tile set of four plain 16 x 16 tiles: white, grey, magenta, cyan.
Image PlainTiles() {
  Image image(32, 32);
  image.Fill(0, 0, 16, 16, kWhite);
  image.Fill(16, 0, 16, 16, {128, 128, 128, 255});
  image.Fill(0, 16, 16, 16, {255, 0, 255, 255});
  image.Fill(16, 16, 16, 16, {0, 255, 255, 255});
  return image;
}

// Every image, by its path under the repository.
std::vector<std::pair<std::string, std::function<Image()>>> Images() {
  std::vector<std::pair<std::string, std::function<Image()>>> list;
  const std::string demo = "examples/demo/";
  for (int32_t i = 0; i < 4; ++i) list.push_back({demo + "images/player" + std::to_string(i) + ".png", [i] { return PlayerFrame(i); }});
  for (int32_t i = 0; i < 6; ++i) list.push_back({demo + "images/coin" + std::to_string(i) + ".png", [i] { return CoinFrame(i); }});
  for (int32_t i = 0; i < 2; ++i) list.push_back({demo + "images/enemy" + std::to_string(i) + ".png", [i] { return EnemyFrame(i); }});
  list.push_back({demo + "images/diamond.png", Diamond});
  list.push_back({demo + "images/sky.png", Sky});
  list.push_back({demo + "images/tiles.png", TileSet});
  list.push_back({demo + "images/font.png", FontSheet});
  list.push_back({"tests/games/sprites_views/game/quarters.png", Quarters});
  list.push_back({"tests/games/sprites_views/game/tiles.png", PlainTiles});
  list.push_back({"tests/games/text_fonts/game/font.png", FontSheet});
  list.push_back({"bench/instances/block.png", [] { return CoinFrame(0); }});
  return list;
}

std::vector<uint8_t> Encode(const Image& image) {
  std::vector<uint8_t> bytes;
  const PngEncodeResult result = Graphics_EncodePNG(
      image.rgba.data(), image.width, image.height,
      [](void* context, const uint8_t* data, size_t length) {
        auto* out = static_cast<std::vector<uint8_t>*>(context);
        out->insert(out->end(), data, data + length);
        return true;
      },
      &bytes);
  if (result != PngEncodeResult::Written) bytes.clear();
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  const bool write = argc == 3 && std::strcmp(argv[1], "--write") == 0;
  const bool check = argc == 3 && std::strcmp(argv[1], "--check") == 0;
  if (!write && !check) {
    std::fprintf(stderr, "usage: imagegen --write ROOT | --check ROOT\n");
    return 2;
  }
  const fs::path root = argv[2];
  int status = 0;
  for (const auto& [name, draw] : Images()) {
    const std::vector<uint8_t> bytes = Encode(draw());
    if (bytes.empty()) {
      std::fprintf(stderr, "imagegen: %s cannot be encoded\n", name.c_str());
      return 1;
    }
    const fs::path path = root / name;
    if (write) {
      std::error_code error;
      fs::create_directories(path.parent_path(), error);
      std::ofstream out(path, std::ios::binary);
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      if (!out) {
        std::fprintf(stderr, "imagegen: cannot write %s\n", path.string().c_str());
        status = 1;
      }
      continue;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const std::string file = text.str();
    if (!in.good() && file.empty()) {
      std::printf("%s is missing\n", name.c_str());
      status = 1;
    } else if (file.size() != bytes.size() || std::memcmp(file.data(), bytes.data(), bytes.size()) != 0) {
      std::printf("%s differs from what imagegen draws (imagegen --write rewrites it)\n", name.c_str());
      status = 1;
    }
  }
  if (check && status == 0) std::printf("every image matches\n");
  return status;
}
