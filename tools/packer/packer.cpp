// The game packer: turns a game folder into a game data file.
//
//   packer FOLDER OUTPUT
//
// FOLDER holds "game.json", the manifest, and the source files and PNG images it names (paths
// relative to the folder). The manifest:
//
//   {
//     "name": "mygame",                         the game's name (default: the folder's name)
//     "window": {"width": 800, "height": 480},  the window's size
//     "scripts": [ {"name": "scr_add", "file": "scr_add.gml"} ],
//     "sprites": [ {"name": "spr_ball", "frames": ["ball0.png", "ball1.png"],
//                   "xorigin": 8, "yorigin": 8, "precise": true,
//                   "bbox_mode": "automatic", "bbox": [0, 0, 15, 15],
//                   "transparent": true, "smooth": false, "preload": true} ],
//     "backgrounds": [ {"name": "bg_sky", "file": "sky.png",
//                       "transparent": false, "smooth": false, "preload": false} ],
//     "paths": [ {"name": "pth_patrol", "kind": "smooth", "closed": false, "precision": 4,
//                 "points": [[0, 0, 100], [64, 0, 50], [64, 64]]} ],
//     "fonts": [ {"name": "fnt_main", "file": "DejaVuSans.ttf", "size": 12, "bold": false,
//                 "italic": false, "first": 32, "last": 127},
//                {"name": "fnt_pixel", "sheet": "font.png", "chars": " !ABC", "cell": [12, 18],
//                 "spacing": 1, "size": 12, "bold": false, "italic": false} ],
//     "objects": [ {"name": "obj_player", "sprite": "spr_ball", "mask": "spr_ball", "depth": 0,
//                   "visible": true, "solid": false, "persistent": false, "parent": "obj_base",
//                   "events": {"create": "player_create.gml", "step": "player_step.gml"}} ],
//     "rooms": [ {"name": "room_first", "width": 640, "height": 480, "speed": 30,
//                 "persistent": false, "code": "room_first.gml",
//                 "colour": 12632256, "show_colour": true, "views_enabled": false,
//                 "views": [ {"visible": true, "xview": 0, "yview": 0, "wview": 640, "hview": 480,
//                             "xport": 0, "yport": 0, "wport": 640, "hport": 480,
//                             "hborder": 32, "vborder": 32, "hspeed": -1, "vspeed": -1,
//                             "object": "obj_player"} ],
//                 "tiles": [ {"background": "bg_tiles", "x": 0, "y": 0, "left": 0, "top": 0,
//                             "width": 16, "height": 16, "depth": 1000000,
//                             "xscale": 1, "yscale": 1} ],
//                 "backgrounds": [ {"background": "bg_sky", "visible": true, "foreground": false,
//                                   "x": 0, "y": 0, "htiled": true, "vtiled": true,
//                                   "hspeed": 0, "vspeed": 0, "stretch": false} ],
//                 "instances": [ {"object": "obj_player", "x": 32, "y": 48, "code": "p1.gml",
//                                 "xscale": 1, "yscale": 1, "angle": 0}]} ]
//   }
//
// Every field but "name", "frames", "file", a sheet font's "chars" and "cell", and an instance's
// "object" and a tile's "background" may be left out; the
// defaults are the values shown, except "xorigin" and "yorigin" (0), "precise" (false), "parent", "sprite" and "mask"
// (none), "bbox_mode" ("automatic") and "bbox" (only read, and then required, in "manual" mode).
// A field the packer does not know is refused, so a misspelt one never goes unnoticed.
//
// Sprites: the frames are PNG images of one size, in order. "bbox_mode" is "automatic" (the
// smallest box holding every pixel of any frame whose alpha is above 0; a sprite whose frames
// are all transparent gets left = width - 1, top = height - 1, right 0, bottom 0), "full" (the
// whole frame) or "manual" ("bbox" as [left, top, right, bottom], inclusive frame pixels). In
// the other modes a sprite that is not transparent gets the whole frame. A precise sprite gets
// one collision mask per frame: a pixel is solid when its alpha is above 0. An imprecise sprite
// has no masks, so its collisions are those of its box.
//
// Fonts: a TrueType file rendered by FreeType at "size" points into one image of glyphs, which
// becomes a page font: characters "first" to "last" (0 to 65535) that the file maps, and always
// the space, each a rectangle from the top of the line to its lowest pixel row, white with the
// glyph's coverage as alpha; the character table is the identity. "bold" and "italic" are only
// recorded.
//
// A font is either a TrueType "file" or a glyph "sheet" (a PNG image), never both. A sheet holds
// the characters of "chars" (printable ASCII, each once) in cells of "cell" [width, height]
// pixels, left to right and then down; each glyph is its cell narrowed to the columns holding a
// pixel with alpha above 0 (an empty cell keeps half its width), as tall as the cell, and
// advances by its width plus "spacing". The colours of the sheet are kept.
//
// Rooms: "colour" is the room's colour as a number (blue, green, red bytes from the top);
// "views" lists at most 8 views in order (a port is as large as its view unless given; "object"
// names the object the view follows); "views_enabled" turns them on. "tiles" are rectangles of a
// background placed in the room at a depth, given ids in order from 10000001.
//
// Backgrounds: one PNG image each. A room lists at most 8 background slots in order; a slot
// without "background" holds none.
//
// Images: every image (sprite frame, background, font) becomes one texture-page entry, numbered
// in manifest order (sprite frames first, then backgrounds, then fonts), placed whole on a
// texture page.
// Pages are at most 1024 x 1024 pixels; an image larger than that in either side (up to 4096,
// the largest texture the runner makes) gets a page of its own. Images are placed on shelves,
// tallest first (then widest, then in manifest order), left to right with a gap of one
// transparent pixel; each page is as large as what it holds and is stored as a PNG image.
//
// Rooms are played in manifest order; instance ids are given in order from 100001. An instance's
// angle is in degrees, counter-clockwise.
// A path's kind is "straight" (the default) or "smooth"; it is closed unless "closed" is false;
// its precision is 0..8 (default 4); each point is x, y and an optional speed (default 100).
//
// Event keys: "create", "destroy", "alarm0".."alarm11", "begin_step", "step", "end_step",
// "draw", "outside", "boundary", "game_start", "game_end", "room_start", "room_end",
// "animation_end", "end_of_path", "user0".."user15", "collision_OBJECT" (a collision with the
// object of that name or its children), or "KIND_NUMBER" with two decimal numbers.
// Scripts and events are written as source text, which the runner compiles when it prepares the
// game.
//
// The same folder always gives the same bytes. Every error names the file and the field that
// is wrong and the packer exits with status 1, leaving no game file behind (the output is
// written to OUTPUT.partial and renamed when complete).
#include <ft2build.h>
#include FT_FREETYPE_H
#include <json-c/json.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "graphics/PNG_Writer.h"
#include "testlib/GameDataBuilder.h"

namespace fs = std::filesystem;
using testsupport::GameDataBuilder;

namespace {

struct PackError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// What the packer keeps while it reads one manifest.
struct PackerState {
  // The keys of each manifest object that were looked up; every other key is refused.
  std::map<const json_object*, std::set<std::string>> keysRead;
};
PackerState g_Packer;

std::string ReadText(const fs::path& folder, const std::string& name) {
  const fs::path path = folder / name;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PackError("cannot read " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw PackError("cannot read " + path.string());
  return text.str();
}

// ReadText with the manifest field that names the file in its message.
std::string ReadSource(const fs::path& folder, const std::string& name, const std::string& field) {
  try {
    return ReadText(folder, name);
  } catch (const PackError& e) {
    throw PackError(field + ": " + e.what());
  }
}

json_object* Member(json_object* object, const char* key) {
  g_Packer.keysRead[object].insert(key);
  json_object* value = nullptr;
  return json_object_object_get_ex(object, key, &value) ? value : nullptr;
}

std::string Text(json_object* object, const char* key, const std::string& what, const char* fallback = nullptr) {
  json_object* value = Member(object, key);
  if (value == nullptr) {
    if (fallback != nullptr) return fallback;
    throw PackError(what + ": \"" + key + "\" is missing");
  }
  if (!json_object_is_type(value, json_type_string)) throw PackError(what + ": \"" + key + "\" must be a text");
  return json_object_get_string(value);
}

int32_t IntValue(json_object* value, const std::string& field) {
  if (!json_object_is_type(value, json_type_int)) throw PackError(field + " must be a whole number");
  const int64_t number = json_object_get_int64(value);
  if (number < INT32_MIN || number > INT32_MAX) throw PackError(field + " is out of range");
  return static_cast<int32_t>(number);
}

int32_t Int(json_object* object, const char* key, const std::string& what, int32_t fallback) {
  json_object* value = Member(object, key);
  if (value == nullptr) return fallback;
  return IntValue(value, what + ": \"" + key + "\"");
}

double Real(json_object* object, const char* key, const std::string& what, double fallback) {
  json_object* value = Member(object, key);
  if (value == nullptr) return fallback;
  if (!json_object_is_type(value, json_type_int) && !json_object_is_type(value, json_type_double)) {
    throw PackError(what + ": \"" + key + "\" must be a number");
  }
  return json_object_get_double(value);
}

bool Flag(json_object* object, const char* key, const std::string& what, bool fallback) {
  json_object* value = Member(object, key);
  if (value == nullptr) return fallback;
  if (!json_object_is_type(value, json_type_boolean)) throw PackError(what + ": \"" + key + "\" must be true or false");
  return json_object_get_boolean(value) != 0;
}

// The array under `key` (none: empty), its items of the given type.
std::vector<json_object*> List(json_object* object, const char* key, const std::string& what, json_type type,
                               const char* typeName) {
  std::vector<json_object*> items;
  json_object* value = Member(object, key);
  if (value == nullptr) return items;
  if (!json_object_is_type(value, json_type_array)) throw PackError(what + ": \"" + key + "\" must be a list");
  for (size_t i = 0; i < json_object_array_length(value); ++i) {
    json_object* item = json_object_array_get_idx(value, i);
    if (!json_object_is_type(item, type))
      throw PackError(what + ": every entry of \"" + key + "\" must be " + typeName);
    items.push_back(item);
  }
  return items;
}

// The array of objects under `key` (none: empty).
std::vector<json_object*> Array(json_object* object, const char* key, const std::string& what) {
  return List(object, key, what, json_type_object, "an object");
}

// Refuses the first key of `object` (and of the objects inside the values that were read) that
// was never looked up.
void CheckKeysRead(json_object* object, const std::string& what) {
  const auto found = g_Packer.keysRead.find(object);
  json_object_object_foreach(object, key, value) {
    if (found == g_Packer.keysRead.end() || found->second.count(key) == 0) {
      throw PackError(what + ": unknown field \"" + key + "\"");
    }
    const std::string field = what + ": \"" + key + "\"";
    if (json_object_is_type(value, json_type_object)) {
      CheckKeysRead(value, field);
    } else if (json_object_is_type(value, json_type_array)) {
      for (size_t i = 0; i < json_object_array_length(value); ++i) {
        json_object* item = json_object_array_get_idx(value, i);
        if (!json_object_is_type(item, json_type_object)) continue;
        std::string itemWhat = field + "[" + std::to_string(i) + "]";
        json_object* itemName = nullptr;
        if (json_object_object_get_ex(item, "name", &itemName) && json_object_is_type(itemName, json_type_string)) {
          itemWhat += " (" + std::string(json_object_get_string(itemName)) + ")";
        }
        CheckKeysRead(item, itemWhat);
      }
    }
  }
}

// A decimal number that is all of `text`, within 0..limit.
bool ReadNumber(const std::string& text, int32_t limit, int32_t* out) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  *out = std::stoi(text);
  return *out <= limit;
}

// The event kind and number an event key names.
bool EventOfKey(const std::string& key, int32_t* kind, int32_t* number) {
  static const std::map<std::string, std::pair<int32_t, int32_t>> named = {
      {"create", {0, 0}},      {"destroy", {1, 0}},       {"step", {3, 0}},        {"begin_step", {3, 1}},
      {"end_step", {3, 2}},    {"draw", {8, 0}},          {"outside", {7, 0}},     {"boundary", {7, 1}},
      {"game_start", {7, 2}},  {"game_end", {7, 3}},      {"room_start", {7, 4}},  {"room_end", {7, 5}},
      {"animation_end", {7, 7}}, {"end_of_path", {7, 8}},
  };
  if (auto found = named.find(key); found != named.end()) {
    *kind = found->second.first;
    *number = found->second.second;
    return true;
  }
  if (key.rfind("alarm", 0) == 0 && ReadNumber(key.substr(5), 11, number)) {
    *kind = 2;
    return true;
  }
  if (key.rfind("user", 0) == 0 && ReadNumber(key.substr(4), 15, number)) {
    *kind = 7;
    *number += 10;
    return true;
  }
  const size_t cut = key.find('_');
  return cut != std::string::npos && ReadNumber(key.substr(0, cut), 11, kind) &&
         ReadNumber(key.substr(cut + 1), 255, number);
}

// ---- Images and texture pages ---------------------------------------------------------------

// The largest side of an image: the largest texture the runner makes.
constexpr int32_t kMaxImageSide = 4096;
// The largest side of a page that holds more than one image.
constexpr int32_t kPageSide = 1024;
// Transparent pixels between two images on a page.
constexpr int32_t kImageGap = 1;

// Decoded pixels: width x height RGBA, rows top first.
struct Image {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgba;
  uint8_t Alpha(int32_t x, int32_t y) const {
    return rgba[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4 + 3];
  }
};

// The PNG image `name` of the folder; `field` names the manifest field that names it.
Image ReadImage(const fs::path& folder, const std::string& name, const std::string& field) {
  const std::string bytes = ReadSource(folder, name, field);
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_memory(&png, bytes.data(), bytes.size()) == 0) {
    const std::string message = png.message;
    png_image_free(&png);
    throw PackError(field + ": " + name + " cannot be decoded as a PNG image (" + message + ")");
  }
  if (png.width < 1 || png.height < 1 || png.width > kMaxImageSide || png.height > kMaxImageSide) {
    const std::string size = std::to_string(png.width) + " x " + std::to_string(png.height);
    png_image_free(&png);
    throw PackError(field + ": " + name + " is " + size + " pixels; no side may be above " +
                    std::to_string(kMaxImageSide));
  }
  png.format = PNG_FORMAT_RGBA;
  Image image;
  image.width = static_cast<int32_t>(png.width);
  image.height = static_cast<int32_t>(png.height);
  image.rgba.resize(PNG_IMAGE_SIZE(png));
  if (png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr) == 0) {
    const std::string message = png.message;
    png_image_free(&png);
    throw PackError(field + ": " + name + " cannot be decoded as a PNG image (" + message + ")");
  }
  png_image_free(&png);
  return image;
}

// The texture pages of the game: each image added is one texture-page entry covering the whole
// image (see the top of the file for where images are placed).
class TexturePages {
 public:
  // Adds an image; answers its texture-page entry index.
  int32_t Add(Image image) {
    m_images.push_back(std::move(image));
    m_laidOut = false;
    return static_cast<int32_t>(m_images.size() - 1);
  }
  int32_t Count() const { return static_cast<int32_t>(m_images.size()); }

  // Places every image on a page (again after an Add).
  void Layout() {
    if (m_laidOut) return;
    m_entries.assign(m_images.size(), {});
    m_pages.clear();
    m_openPage = -1;
    std::vector<size_t> order(m_images.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
      if (m_images[a].height != m_images[b].height) return m_images[a].height > m_images[b].height;
      return m_images[a].width > m_images[b].width;
    });
    // The page being filled: its shelf's top and height, and where the next image goes.
    int32_t shelfTop = 0, shelfHeight = 0, nextX = 0;
    bool open = false;
    for (size_t index : order) {
      const Image& image = m_images[index];
      int32_t x = 0, y = 0;
      if (image.width > kPageSide || image.height > kPageSide) {
        m_pages.push_back({image.width, image.height});  // a page of its own; the open page stays open
        Place(index, static_cast<int32_t>(m_pages.size() - 1), 0, 0);
        continue;
      }
      if (open && nextX + image.width > kPageSide) {  // the next shelf
        shelfTop += shelfHeight + kImageGap;
        shelfHeight = 0;
        nextX = 0;
      }
      if (!open || shelfTop + image.height > kPageSide) {  // a new page
        m_pages.push_back({0, 0});
        m_openPage = static_cast<int32_t>(m_pages.size() - 1);
        shelfTop = shelfHeight = nextX = 0;
        open = true;
      }
      x = nextX;
      y = shelfTop;
      nextX += image.width + kImageGap;
      shelfHeight = std::max(shelfHeight, image.height);
      PageSize& page = m_pages[static_cast<size_t>(m_openPage)];
      page.width = std::max(page.width, x + image.width);
      page.height = std::max(page.height, y + image.height);
      Place(index, m_openPage, x, y);
    }
    m_laidOut = true;
  }

  // The texture-page entry of an image (after Layout).
  const testsupport::TPageEntryFields& Entry(int32_t index) const { return m_entries.at(static_cast<size_t>(index)); }

  // The texture-page and texture chunks (nothing without images).
  void Write(GameDataBuilder& builder) {
    if (m_images.empty()) return;
    Layout();
    if (m_pages.size() > INT16_MAX) throw PackError("the images need more than 32767 texture pages");
    std::vector<testsupport::TextureEntry> textures;
    for (size_t p = 0; p < m_pages.size(); ++p) {
      const PageSize& size = m_pages[p];
      std::vector<uint8_t> pixels(static_cast<size_t>(size.width) * static_cast<size_t>(size.height) * 4, 0);
      for (size_t i = 0; i < m_images.size(); ++i) {
        const testsupport::TPageEntryFields& e = m_entries[i];
        if (static_cast<size_t>(e.page) != p) continue;
        const Image& image = m_images[i];
        const size_t rowBytes = static_cast<size_t>(image.width) * 4;
        for (int32_t row = 0; row < image.height; ++row) {
          const size_t pageRow = static_cast<size_t>(e.y) + static_cast<size_t>(row);
          const size_t at = (pageRow * static_cast<size_t>(size.width) + static_cast<size_t>(e.x)) * 4;
          std::memcpy(&pixels[at], &image.rgba[static_cast<size_t>(row) * rowBytes], rowBytes);
        }
      }
      testsupport::TextureEntry texture;
      const PngEncodeResult result = Graphics_EncodePNG(
          pixels.data(), size.width, size.height,
          [](void* context, const uint8_t* bytes, size_t length) {
            auto* out = static_cast<std::vector<uint8_t>*>(context);
            out->insert(out->end(), bytes, bytes + length);
            return true;
          },
          &texture.image);
      if (result != PngEncodeResult::Written)
        throw PackError("texture page " + std::to_string(p) + " cannot be encoded");
      textures.push_back(std::move(texture));
    }
    builder.Tpag(m_entries).Txtr(textures);
  }

 private:
  struct PageSize {
    int32_t width;
    int32_t height;
  };
  void Place(size_t index, int32_t page, int32_t x, int32_t y) {
    const Image& image = m_images[index];
    testsupport::TPageEntryFields& e = m_entries[index];
    e.x = static_cast<int16_t>(x);
    e.y = static_cast<int16_t>(y);
    e.width = e.cropWidth = e.frameWidth = static_cast<int16_t>(image.width);
    e.height = e.cropHeight = e.frameHeight = static_cast<int16_t>(image.height);
    e.xOffset = e.yOffset = 0;
    e.page = static_cast<int16_t>(page);
  }

  std::vector<Image> m_images;
  std::vector<testsupport::TPageEntryFields> m_entries;
  std::vector<PageSize> m_pages;
  int32_t m_openPage = -1;
  bool m_laidOut = false;
};

// ---- Resources --------------------------------------------------------------------------------

// Names in manifest order, each defined once; `kind` says what they name in messages.
class NameIndex {
 public:
  explicit NameIndex(std::string kind) : m_kind(std::move(kind)) {}
  void Define(const std::string& name, const std::string& what) {
    if (!m_index.emplace(name, static_cast<int32_t>(m_index.size())).second) {
      throw PackError(what + ": " + m_kind + " " + name + " is defined twice");
    }
  }
  // The index of `name`, or -1.
  int32_t Index(const std::string& name) const {
    const auto found = m_index.find(name);
    return found == m_index.end() ? -1 : found->second;
  }
  // The index of the name under `key` of `object`; `fallback` when the key is absent.
  int32_t Find(json_object* object, const char* key, const std::string& what, int32_t fallback) const {
    if (Member(object, key) == nullptr) return fallback;
    const std::string name = Text(object, key, what);
    const auto found = m_index.find(name);
    if (found == m_index.end()) throw PackError(what + ": \"" + key + "\": " + name + " is no " + m_kind);
    return found->second;
  }

 private:
  std::string m_kind;
  std::map<std::string, int32_t> m_index;
};

// A page font rendered from a TrueType file of the folder; its glyph image joins the pages.
testsupport::FontEntry ReadFont(json_object* entry, const fs::path& folder, const std::string& what,
                                TexturePages& pages) {
  testsupport::FontEntry font;
  font.name = Text(entry, "name", what);
  const std::string file = Text(entry, "file", what);
  const std::string bytes = ReadSource(folder, file, what + ": \"file\"");
  font.size = Int(entry, "size", what, 12);
  font.bold = Flag(entry, "bold", what, false);
  font.italic = Flag(entry, "italic", what, false);
  const int32_t first = Int(entry, "first", what, 32), last = Int(entry, "last", what, 127);
  if (first < 0 || last > 65535 || first > last) {
    throw PackError(what + ": \"first\" and \"last\" must be characters 0 to 65535, first not above last");
  }
  if (font.size < 1 || font.size > 1000) throw PackError(what + ": \"size\" must be 1 to 1000 points");
  font.firstWord = static_cast<uint32_t>(first);
  font.last = last;

  struct FreeType {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FreeType() {
      if (face != nullptr) FT_Done_Face(face);
      if (library != nullptr) FT_Done_FreeType(library);
    }
  } ft;
  if (FT_Init_FreeType(&ft.library) != 0) throw PackError(what + ": FreeType cannot start");
  if (FT_New_Memory_Face(ft.library, reinterpret_cast<const FT_Byte*>(bytes.data()), static_cast<FT_Long>(bytes.size()),
                         0, &ft.face) != 0 ||
      FT_Select_Charmap(ft.face, FT_ENCODING_UNICODE) != 0) {
    throw PackError(what + ": \"file\": " + file + " is not a TrueType font with a Unicode character map");
  }
  if (FT_Set_Char_Size(ft.face, 0, static_cast<FT_F26Dot6>(font.size) * 64, 0, 0) != 0) {
    throw PackError(what + ": \"size\": " + file + " cannot be set to " + std::to_string(font.size) + " points");
  }
  font.faceName = ft.face->family_name != nullptr ? ft.face->family_name : file;
  const int32_t ascender = static_cast<int32_t>((ft.face->size->metrics.ascender + 63) >> 6);

  // Each glyph's bitmap, placed from the top of the line, on shelves of at most kPageSide.
  struct Rendered {
    testsupport::FontGlyphFields glyph;
    int32_t top = 0;  // the bitmap's first row inside the rectangle
    std::vector<uint8_t> alpha;
    int32_t rows = 0, columns = 0;
  };
  std::vector<Rendered> glyphs;
  std::vector<int32_t> codes;
  if (first > 32 || last < 32) codes.push_back(32);
  for (int32_t c = first; c <= last; ++c) codes.push_back(c);
  for (const int32_t c : codes) {
    if (c != 32 && FT_Get_Char_Index(ft.face, static_cast<FT_ULong>(c)) == 0) continue;
    if (FT_Load_Char(ft.face, static_cast<FT_ULong>(c), FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot slot = ft.face->glyph;
    const FT_Bitmap& b = slot->bitmap;
    Rendered r;
    r.columns = static_cast<int32_t>(b.width);
    r.rows = static_cast<int32_t>(b.rows);
    r.top = std::max(0, ascender - slot->bitmap_top);
    r.alpha.resize(static_cast<size_t>(r.columns) * static_cast<size_t>(r.rows));
    for (int32_t y = 0; y < r.rows; ++y) {
      const uint8_t* row = b.buffer + static_cast<ptrdiff_t>(y) * b.pitch;
      for (int32_t x = 0; x < r.columns; ++x) {
        const uint8_t a = b.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[x >> 3] >> (7 - (x & 7)) & 1) ? 255 : 0)
                                                              : row[x];
        r.alpha[static_cast<size_t>(y) * static_cast<size_t>(r.columns) + static_cast<size_t>(x)] = a;
      }
    }
    r.glyph.character = static_cast<uint16_t>(c);
    r.glyph.width = static_cast<int16_t>(r.columns);
    r.glyph.height = static_cast<int16_t>(r.rows > 0 ? r.top + r.rows : 0);
    r.glyph.advance = static_cast<int16_t>((slot->advance.x + 63) >> 6);
    r.glyph.offset = static_cast<int16_t>(slot->bitmap_left);
    glyphs.push_back(std::move(r));
  }
  int32_t x = 0, y = 0, shelf = 0, width = 1;
  for (Rendered& r : glyphs) {
    if (x > 0 && x + r.glyph.width > kPageSide) {
      x = 0;
      y += shelf + kImageGap;
      shelf = 0;
    }
    r.glyph.x = static_cast<int16_t>(x);
    r.glyph.y = static_cast<int16_t>(y);
    x += r.glyph.width + kImageGap;
    width = std::max(width, x);
    shelf = std::max<int32_t>(shelf, r.glyph.height);
  }
  const int32_t height = std::max(1, y + shelf);
  if (width > kMaxImageSide || height > kMaxImageSide) {
    throw PackError(what + ": the glyphs need an image of " + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels; no side may be above " + std::to_string(kMaxImageSide));
  }
  Image image;
  image.width = width;
  image.height = height;
  image.rgba.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
  for (size_t i = 0; i < image.rgba.size(); i += 4) image.rgba[i] = image.rgba[i + 1] = image.rgba[i + 2] = 255;
  for (const Rendered& r : glyphs) {
    for (int32_t gy = 0; gy < r.rows; ++gy) {
      for (int32_t gx = 0; gx < r.columns; ++gx) {
        const size_t at = (static_cast<size_t>(r.glyph.y + r.top + gy) * static_cast<size_t>(width) +
                           static_cast<size_t>(r.glyph.x + gx)) * 4;
        image.rgba[at + 3] = r.alpha[static_cast<size_t>(gy) * static_cast<size_t>(r.columns) + static_cast<size_t>(gx)];
      }
    }
    font.glyphs.push_back(r.glyph);
  }
  font.tpag = pages.Add(std::move(image));
  return font;
}

// A page font drawn in a sheet of the folder: "chars" lists its characters in sheet order, one
// per cell of "cell" [width, height] pixels, the cells left to right and then down. Each glyph is
// its cell narrowed to the columns that hold a pixel with alpha above 0 (an empty cell keeps half
// its width), as tall as the cell; its advance is that width plus "spacing".
testsupport::FontEntry ReadSheetFont(json_object* entry, const fs::path& folder, const std::string& what,
                                     TexturePages& pages) {
  testsupport::FontEntry font;
  font.name = Text(entry, "name", what);
  const std::string file = Text(entry, "sheet", what);
  Image sheet = ReadImage(folder, file, what + ": \"sheet\"");
  font.faceName = file;
  font.size = Int(entry, "size", what, 12);
  font.bold = Flag(entry, "bold", what, false);
  font.italic = Flag(entry, "italic", what, false);
  const int32_t spacing = Int(entry, "spacing", what, 1);
  if (spacing < 0 || spacing > 256) throw PackError(what + ": \"spacing\" must be 0 to 256 pixels");
  const std::string chars = Text(entry, "chars", what);
  if (chars.empty()) throw PackError(what + ": \"chars\" must list at least one character");
  json_object* cell = Member(entry, "cell");
  if (cell == nullptr) throw PackError(what + ": \"cell\" is missing");
  if (!json_object_is_type(cell, json_type_array) || json_object_array_length(cell) != 2) {
    throw PackError(what + ": \"cell\" must be a list of two whole numbers: width, height");
  }
  const int32_t cellW = IntValue(json_object_array_get_idx(cell, 0), what + ": \"cell\"");
  const int32_t cellH = IntValue(json_object_array_get_idx(cell, 1), what + ": \"cell\"");
  if (cellW < 1 || cellH < 1 || cellW > sheet.width || cellH > sheet.height) {
    throw PackError(what + ": \"cell\": " + std::to_string(cellW) + " x " + std::to_string(cellH) +
                    " does not fit in " + file);
  }
  const int32_t columns = sheet.width / cellW, rows = sheet.height / cellH;
  std::set<uint16_t> seen;
  for (size_t i = 0; i < chars.size(); ++i) {
    const auto c = static_cast<unsigned char>(chars[i]);
    if (c < 32 || c > 126) throw PackError(what + ": \"chars\": character " + std::to_string(i) + " is not printable ASCII");
    if (!seen.insert(c).second) throw PackError(what + ": \"chars\": " + std::string(1, static_cast<char>(c)) + " is listed twice");
    const int32_t index = static_cast<int32_t>(i);
    if (index / columns >= rows) {
      throw PackError(what + ": \"chars\": " + file + " has cells for " + std::to_string(columns * rows) +
                      " characters, not " + std::to_string(chars.size()));
    }
    const int32_t x0 = index % columns * cellW, y0 = index / columns * cellH;
    int32_t left = cellW, right = -1;
    for (int32_t y = 0; y < cellH; ++y) {
      for (int32_t x = 0; x < cellW; ++x) {
        if (sheet.Alpha(x0 + x, y0 + y) == 0) continue;
        left = std::min(left, x), right = std::max(right, x);
      }
    }
    if (right < 0) left = 0, right = std::max(1, cellW / 2) - 1;
    testsupport::FontGlyphFields glyph;
    glyph.character = c;
    glyph.x = static_cast<int16_t>(x0 + left);
    glyph.y = static_cast<int16_t>(y0);
    glyph.width = static_cast<int16_t>(right - left + 1);
    glyph.height = static_cast<int16_t>(cellH);
    glyph.advance = static_cast<int16_t>(right - left + 1 + spacing);
    glyph.offset = 0;
    font.glyphs.push_back(glyph);
  }
  std::sort(font.glyphs.begin(), font.glyphs.end(),
            [](const auto& a, const auto& b) { return a.character < b.character; });
  font.firstWord = font.glyphs.front().character;
  font.last = font.glyphs.back().character;
  font.tpag = pages.Add(std::move(sheet));
  return font;
}

testsupport::SpriteEntry ReadSprite(json_object* entry, const fs::path& folder, const std::string& what,
                                    TexturePages& pages) {
  testsupport::SpriteEntry sprite;
  sprite.name = Text(entry, "name", what);
  const std::vector<json_object*> files = List(entry, "frames", what, json_type_string, "a file name");
  if (Member(entry, "frames") == nullptr) throw PackError(what + ": \"frames\" is missing");
  if (files.empty()) throw PackError(what + ": \"frames\" must name at least one image");
  std::vector<Image> frames;
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string file = json_object_get_string(files[i]);
    Image image = ReadImage(folder, file, what + ": \"frames\"");
    if (i > 0 && (image.width != frames[0].width || image.height != frames[0].height)) {
      throw PackError(what + ": \"frames\": " + file + " is " + std::to_string(image.width) + " x " +
                      std::to_string(image.height) + " pixels, the first frame " + std::to_string(frames[0].width) +
                      " x " + std::to_string(frames[0].height));
    }
    frames.push_back(std::move(image));
  }
  const int32_t w = frames[0].width, h = frames[0].height;
  sprite.width = w;
  sprite.height = h;
  sprite.xOrigin = Int(entry, "xorigin", what, 0);
  sprite.yOrigin = Int(entry, "yorigin", what, 0);
  const bool transparent = Flag(entry, "transparent", what, true);
  sprite.transparent = transparent;
  sprite.smooth = Flag(entry, "smooth", what, false);
  sprite.preload = Flag(entry, "preload", what, true);
  const bool precise = Flag(entry, "precise", what, false);
  sprite.precise = precise;

  const std::string mode = Text(entry, "bbox_mode", what, "automatic");
  int32_t left = 0, top = 0, right = w - 1, bottom = h - 1;
  if (mode == "automatic") {
    sprite.bboxMode = 0;
    if (transparent) {
      left = w - 1, top = h - 1, right = 0, bottom = 0;
      for (const Image& frame : frames) {
        for (int32_t y = 0; y < h; ++y) {
          for (int32_t x = 0; x < w; ++x) {
            if (frame.Alpha(x, y) == 0) continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
          }
        }
      }
    }
  } else if (mode == "full") {
    sprite.bboxMode = 1;
  } else if (mode == "manual") {
    sprite.bboxMode = 2;
    json_object* box = Member(entry, "bbox");
    if (box == nullptr) throw PackError(what + ": \"bbox\" is missing (\"bbox_mode\" is \"manual\")");
    if (!json_object_is_type(box, json_type_array) || json_object_array_length(box) != 4) {
      throw PackError(what + ": \"bbox\" must be a list of four whole numbers: left, top, right, bottom");
    }
    left = IntValue(json_object_array_get_idx(box, 0), what + ": \"bbox\"");
    top = IntValue(json_object_array_get_idx(box, 1), what + ": \"bbox\"");
    right = IntValue(json_object_array_get_idx(box, 2), what + ": \"bbox\"");
    bottom = IntValue(json_object_array_get_idx(box, 3), what + ": \"bbox\"");
  } else {
    throw PackError(what + ": \"bbox_mode\" must be \"automatic\", \"full\" or \"manual\"");
  }
  sprite.left = left, sprite.top = top, sprite.right = right, sprite.bottom = bottom;

  for (Image& frame : frames) {
    if (precise) {
      std::vector<uint8_t> mask(static_cast<size_t>(w) * static_cast<size_t>(h));
      for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x)
          mask[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] = frame.Alpha(x, y) != 0;
      }
      sprite.masks.push_back(std::move(mask));
    }
    sprite.frames.push_back(pages.Add(std::move(frame)));
  }
  return sprite;
}

testsupport::RoomBackgroundEntry ReadRoomBackground(json_object* item, const std::string& what,
                                                    const NameIndex& backgrounds) {
  testsupport::RoomBackgroundEntry slot;
  slot.index = backgrounds.Find(item, "background", what, -1);
  slot.visible = Flag(item, "visible", what, true);
  slot.foreground = Flag(item, "foreground", what, false);
  slot.x = Int(item, "x", what, 0);
  slot.y = Int(item, "y", what, 0);
  slot.htiled = Flag(item, "htiled", what, true);
  slot.vtiled = Flag(item, "vtiled", what, true);
  slot.hspeed = Int(item, "hspeed", what, 0);
  slot.vspeed = Int(item, "vspeed", what, 0);
  slot.stretch = Flag(item, "stretch", what, false);
  return slot;
}

testsupport::RoomViewEntry ReadRoomView(json_object* item, const std::string& what, const NameIndex& objects) {
  testsupport::RoomViewEntry view;
  view.visible = Flag(item, "visible", what, true);
  view.xview = Int(item, "xview", what, 0);
  view.yview = Int(item, "yview", what, 0);
  view.wview = Int(item, "wview", what, 640);
  view.hview = Int(item, "hview", what, 480);
  view.xport = Int(item, "xport", what, 0);
  view.yport = Int(item, "yport", what, 0);
  view.wport = Int(item, "wport", what, view.wview);
  view.hport = Int(item, "hport", what, view.hview);
  view.hborder = Int(item, "hborder", what, 32);
  view.vborder = Int(item, "vborder", what, 32);
  view.hspeed = Int(item, "hspeed", what, -1);
  view.vspeed = Int(item, "vspeed", what, -1);
  view.object = objects.Find(item, "object", what, -1);
  if (view.wview < 1 || view.hview < 1 || view.wport < 1 || view.hport < 1) {
    throw PackError(what + ": a view and its port must be at least one pixel wide and high");
  }
  return view;
}

// The manifest's paths, numbered in manifest order.
std::vector<testsupport::PathEntry> Paths(json_object* manifest) {
  std::vector<testsupport::PathEntry> paths;
  for (json_object* entry : Array(manifest, "paths", "game.json")) {
    testsupport::PathEntry path;
    const std::string what = "path " + Text(entry, "name", "a path");
    path.name = Text(entry, "name", what);
    const std::string kind = Text(entry, "kind", what, "straight");
    if (kind != "straight" && kind != "smooth") throw PackError(what + ": \"kind\" must be \"straight\" or \"smooth\"");
    path.kind = kind == "smooth" ? 1 : 0;
    path.closed = Flag(entry, "closed", what, true) ? 1 : 0;
    path.precision = Int(entry, "precision", what, 4);
    if (path.precision < 0 || path.precision > 8) throw PackError(what + ": \"precision\" must lie in 0..8");
    json_object* points = Member(entry, "points");
    if (points != nullptr && !json_object_is_type(points, json_type_array)) throw PackError(what + ": \"points\" must be a list");
    for (size_t i = 0; points != nullptr && i < json_object_array_length(points); ++i) {
      json_object* point = json_object_array_get_idx(points, i);
      const size_t count = json_object_is_type(point, json_type_array) ? json_object_array_length(point) : 0;
      if (count != 2 && count != 3) throw PackError(what + ": every point must be [x, y] or [x, y, speed]");
      float values[3] = {0, 0, 100};
      for (size_t k = 0; k < count; ++k) {
        json_object* number = json_object_array_get_idx(point, k);
        if (!json_object_is_type(number, json_type_int) && !json_object_is_type(number, json_type_double)) {
          throw PackError(what + ": point " + std::to_string(i) + " must hold numbers");
        }
        values[k] = static_cast<float>(json_object_get_double(number));
      }
      path.points.push_back({values[0], values[1], values[2]});
    }
    paths.push_back(path);
  }
  return paths;
}

GameDataBuilder Pack(const fs::path& folder) {
  g_Packer = PackerState();
  const std::string manifestText = ReadText(folder, "game.json");
  json_tokener_error error = json_tokener_success;
  json_object* manifest = json_tokener_parse_verbose(manifestText.c_str(), &error);
  if (manifest == nullptr) throw PackError("game.json: " + std::string(json_tokener_error_desc(error)));
  struct Release {
    json_object* object;
    ~Release() { json_object_put(object); }
  } release{manifest};
  if (!json_object_is_type(manifest, json_type_object)) throw PackError("game.json must hold one object");

  const std::string name = Text(manifest, "name", "game.json", fs::absolute(folder).lexically_normal().parent_path().filename().string().c_str());

  const std::vector<testsupport::PathEntry> paths = Paths(manifest);

  std::vector<testsupport::ScriptEntry> scripts;
  for (json_object* entry : Array(manifest, "scripts", "game.json")) {
    testsupport::ScriptEntry script;
    script.name = Text(entry, "name", "game.json: a script");
    const std::string what = "game.json: script " + *script.name;
    script.text = ReadSource(folder, Text(entry, "file", what), what + ": \"file\"");
    scripts.push_back(script);
  }

  TexturePages pages;
  NameIndex spriteIndex("sprite");
  std::vector<testsupport::SpriteEntry> sprites;
  for (json_object* entry : Array(manifest, "sprites", "game.json")) {
    const std::string what = "game.json: sprite " + Text(entry, "name", "game.json: a sprite");
    spriteIndex.Define(Text(entry, "name", what), "game.json");
    sprites.push_back(ReadSprite(entry, folder, what, pages));
  }

  NameIndex backgroundIndex("background");
  std::vector<testsupport::BackgroundEntry> backgrounds;
  for (json_object* entry : Array(manifest, "backgrounds", "game.json")) {
    testsupport::BackgroundEntry background;
    const std::string what = "game.json: background " + Text(entry, "name", "game.json: a background");
    background.name = Text(entry, "name", what);
    backgroundIndex.Define(*background.name, "game.json");
    background.transparent = Flag(entry, "transparent", what, false);
    background.smooth = Flag(entry, "smooth", what, false);
    background.preload = Flag(entry, "preload", what, false);
    background.tpag = pages.Add(ReadImage(folder, Text(entry, "file", what), what + ": \"file\""));
    backgrounds.push_back(background);
  }

  NameIndex fontIndex("font");
  std::vector<testsupport::FontEntry> fonts;
  for (json_object* entry : Array(manifest, "fonts", "game.json")) {
    const std::string what = "game.json: font " + Text(entry, "name", "game.json: a font");
    fontIndex.Define(Text(entry, "name", what), "game.json");
    if (Member(entry, "sheet") != nullptr) {
      if (Member(entry, "file") != nullptr) throw PackError(what + ": give either \"file\" or \"sheet\", not both");
      fonts.push_back(ReadSheetFont(entry, folder, what, pages));
    } else {
      fonts.push_back(ReadFont(entry, folder, what, pages));
    }
  }

  // Objects are numbered in manifest order; a parent is named.
  const std::vector<json_object*> objectEntries = Array(manifest, "objects", "game.json");
  NameIndex objectIndex("object");
  for (json_object* entry : objectEntries) objectIndex.Define(Text(entry, "name", "game.json: an object"), "game.json");
  std::vector<testsupport::ObjectEntry> objects;
  for (json_object* entry : objectEntries) {
    testsupport::ObjectEntry object;
    const std::string what = "game.json: object " + Text(entry, "name", "game.json: an object");
    object.name = Text(entry, "name", what);
    object.spriteWord = spriteIndex.Find(entry, "sprite", what, -1);
    object.mask = spriteIndex.Find(entry, "mask", what, -1);
    object.depth = Int(entry, "depth", what, 0);
    object.visible = Flag(entry, "visible", what, true);
    object.solid = Flag(entry, "solid", what, false);
    object.persistent = Flag(entry, "persistent", what, false);
    object.parent = objectIndex.Find(entry, "parent", what, -1);
    if (json_object* events = Member(entry, "events")) {
      if (!json_object_is_type(events, json_type_object)) throw PackError(what + ": \"events\" must be an object");
      json_object_object_foreach(events, key, value) {
        g_Packer.keysRead[events].insert(key);
        int32_t kind = 0, number = 0;
        const std::string collision = "collision_";
        if (std::string(key).rfind(collision, 0) == 0) {
          kind = 4;
          number = objectIndex.Index(std::string(key).substr(collision.size()));
          if (number < 0) throw PackError(what + ": event " + key + ": " + (key + collision.size()) + " is no object");
        } else if (!EventOfKey(key, &kind, &number)) {
          throw PackError(what + ": no event is called \"" + key + "\"");
        }
        if (!json_object_is_type(value, json_type_string)) throw PackError(what + ": event " + key + " must name a file");
        testsupport::ObjectEvent event;
        event.number = number;
        event.code.text = ReadSource(folder, json_object_get_string(value), what + ": event " + key);
        object.events[kind].push_back(event);
      }
    }
    objects.push_back(object);
  }

  std::vector<testsupport::RoomEntry> rooms;
  int32_t nextId = 100001;
  int32_t nextTileId = 10000001;
  for (json_object* entry : Array(manifest, "rooms", "game.json")) {
    testsupport::RoomEntry room;
    const std::string what = "game.json: room " + Text(entry, "name", "game.json: a room");
    room.name = Text(entry, "name", what);
    room.width = Int(entry, "width", what, 640);
    room.height = Int(entry, "height", what, 480);
    room.speed = Int(entry, "speed", what, 30);
    room.persistent = Flag(entry, "persistent", what, false);
    room.codeWord = 0;  // the file holds no compiled code: 0 is no creation code
    if (Member(entry, "code") != nullptr)
      room.codeText = ReadSource(folder, Text(entry, "code", what), what + ": \"code\"");
    const std::vector<json_object*> slots = Array(entry, "backgrounds", what);
    if (slots.size() > room.backgrounds->size()) throw PackError(what + ": \"backgrounds\" lists more than 8 slots");
    for (size_t i = 0; i < slots.size(); ++i) {
      (*room.backgrounds)[i] =
          ReadRoomBackground(slots[i], what + ": background slot " + std::to_string(i), backgroundIndex);
    }
    if (Member(entry, "colour") != nullptr) {
      const int32_t colour = Int(entry, "colour", what, 0);
      if (colour < 0 || colour > 0xFFFFFF) throw PackError(what + ": \"colour\" must be a colour 0 to 16777215 (blue, green, red bytes)");
      room.colour = static_cast<uint32_t>(colour);
    }
    room.showColour = Flag(entry, "show_colour", what, true);
    if (Flag(entry, "views_enabled", what, false)) room.flags |= 1u;
    const std::vector<json_object*> views = Array(entry, "views", what);
    if (views.size() > room.views->size()) throw PackError(what + ": \"views\" lists more than 8 views");
    for (size_t i = 0; i < views.size(); ++i) {
      (*room.views)[i] = ReadRoomView(views[i], what + ": view " + std::to_string(i), objectIndex);
    }
    std::vector<testsupport::RoomTileEntry> tiles;
    for (json_object* item : Array(entry, "tiles", what)) {
      const std::string tileWhat = what + ": tile " + std::to_string(tiles.size());
      testsupport::RoomTileEntry tile;
      tile.background = backgroundIndex.Find(item, "background", tileWhat, -2);
      if (tile.background == -2) throw PackError(tileWhat + ": \"background\" is missing");
      tile.x = Int(item, "x", tileWhat, 0);
      tile.y = Int(item, "y", tileWhat, 0);
      tile.left = Int(item, "left", tileWhat, 0);
      tile.top = Int(item, "top", tileWhat, 0);
      tile.width = Int(item, "width", tileWhat, 16);
      tile.height = Int(item, "height", tileWhat, 16);
      tile.depth = Int(item, "depth", tileWhat, 1000000);
      tile.xscale = static_cast<float>(Real(item, "xscale", tileWhat, 1.0));
      tile.yscale = static_cast<float>(Real(item, "yscale", tileWhat, 1.0));
      if (tile.left < 0 || tile.top < 0 || tile.width < 1 || tile.height < 1) {
        throw PackError(tileWhat + ": \"left\", \"top\", \"width\" and \"height\" must mark a part of the background");
      }
      tile.id = nextTileId++;
      tiles.push_back(tile);
    }
    room.tiles = tiles;
    std::vector<testsupport::RoomInstanceEntry> instances;
    for (json_object* item : Array(entry, "instances", what)) {
      testsupport::RoomInstanceEntry instance;
      instance.object = objectIndex.Find(item, "object", what + ": an instance", -2);
      if (instance.object == -2) throw PackError(what + ": an instance: \"object\" is missing");
      instance.x = Int(item, "x", what, 0);
      instance.y = Int(item, "y", what, 0);
      instance.xscale = static_cast<float>(Real(item, "xscale", what + ": an instance", 1.0));
      instance.yscale = static_cast<float>(Real(item, "yscale", what + ": an instance", 1.0));
      instance.angle = static_cast<float>(Real(item, "angle", what + ": an instance", 0.0));
      instance.id = nextId++;
      instance.codeWord = 0;
      if (Member(item, "code") != nullptr)
        instance.codeText = ReadSource(folder, Text(item, "code", what), what + ": an instance: \"code\"");
      instances.push_back(instance);
    }
    room.instances = instances;
    rooms.push_back(room);
  }


  GameDataBuilder builder;
  testsupport::GameHeader header;
  for (size_t i = 0; i < rooms.size(); ++i) header.roomOrder.push_back(static_cast<int32_t>(i));
  header.lastInstanceId = nextId - 1;
  // The window: as given, else 800 x 480.
  int32_t windowWidth = header.windowWidth, windowHeight = header.windowHeight;
  if (json_object* window = Member(manifest, "window")) {
    if (!json_object_is_type(window, json_type_object)) throw PackError("game.json: \"window\" must be an object");
    windowWidth = Int(window, "width", "game.json: \"window\"", windowWidth);
    windowHeight = Int(window, "height", "game.json: \"window\"", windowHeight);
  }
  if (windowWidth < 1 || windowHeight < 1 || windowWidth > 8192 || windowHeight > 8192) {
    throw PackError("game.json: the window must be 1 to 8192 pixels wide and high");
  }
  header.windowWidth = windowWidth;
  header.windowHeight = windowHeight;
  CheckKeysRead(manifest, "game.json");
  header.name = name;
  header.projectName = name;
  header.displayName = name;
  builder.Gen8(header);
  builder.OptnNew();
  pages.Write(builder);
  if (!sprites.empty()) builder.Sprt(sprites);
  if (!backgrounds.empty()) builder.Bgnd(backgrounds);
  if (!paths.empty()) builder.Path(paths);
  if (!fonts.empty()) builder.Font(fonts);
  if (!scripts.empty()) builder.Scpt(scripts);
  if (!objects.empty()) builder.Objt(objects);
  if (!rooms.empty()) builder.Room(rooms);
  builder.Strg();
  return builder;
}

// Writes the file whole under a temporary name and renames it: a failed write leaves no game
// file.
void WriteGame(const std::vector<uint8_t>& bytes, const std::string& output) {
  const std::string partial = output + ".partial";
  FILE* file = std::fopen(partial.c_str(), "wb");
  if (file == nullptr) throw PackError("cannot write " + partial);
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  written = std::fclose(file) == 0 && written;
  if (!written || std::rename(partial.c_str(), output.c_str()) != 0) {
    std::remove(partial.c_str());
    throw PackError("cannot write " + output);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: packer FOLDER OUTPUT\n");
    return 1;
  }
  try {
    const GameDataBuilder builder = Pack(argv[1]);
    WriteGame(builder.Build(), argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "packer: %s\n", e.what());
    return 1;
  }
  return 0;
}
