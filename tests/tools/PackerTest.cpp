// The game packer, run as a program on folders made here: images placed on texture pages,
// sprites and backgrounds as the runtime loads them, the same bytes from the same folder, bad
// folders refused naming the file and the field, and a packed sprite drawn on OpenGL.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "background/Background_Main.h"
#include "font/Font_Class.h"
#include "font/Font_Main.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/PNG_Writer.h"
#include "graphics/Graphics_Transform.h"
#include "object/Object_Class.h"
#include "room/Room_Class.h"
#include "room/Room_Main.h"
#include "runner/GameData.h"
#include "runner/GameDataTestUtil.h"
#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Main.h"
#include "testlib/GraphicsFixtures.h"
#include "testlib/TestHelpers.h"

namespace {

namespace fs = std::filesystem;

// RGBA pixels, rows top first; a pixel is 0xRRGGBBAA.
struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int32_t x, int32_t y) const {
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  }
};

Picture Paint(int32_t width, int32_t height, const std::function<uint32_t(int32_t, int32_t)>& colour) {
  Picture p{width, height, {}};
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) p.pixels.push_back(colour(x, y));
  }
  return p;
}

// A pattern no two places of which (nor two pictures with different seeds) are likely to share.
Picture Pattern(int32_t width, int32_t height, uint32_t seed) {
  return Paint(width, height, [seed](int32_t x, int32_t y) {
    return ((static_cast<uint32_t>(x) * 2654435761u) ^ (static_cast<uint32_t>(y) * 40503u) ^ (seed * 97u)) | 0xFFu;
  });
}

std::vector<uint8_t> EncodePicture(const Picture& p) {
  std::vector<uint8_t> rgba;
  for (uint32_t pixel : p.pixels) {
    for (int shift = 24; shift >= 0; shift -= 8) rgba.push_back(static_cast<uint8_t>(pixel >> shift));
  }
  std::vector<uint8_t> png;
  const PngEncodeResult result = Graphics_EncodePNG(
      rgba.data(), p.width, p.height,
      [](void* context, const uint8_t* bytes, size_t length) {
        auto* out = static_cast<std::vector<uint8_t>*>(context);
        out->insert(out->end(), bytes, bytes + length);
        return true;
      },
      &png);
  EXPECT_EQ(result, PngEncodeResult::Written);
  return png;
}

Picture DecodePicture(const uint8_t* bytes, size_t size) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  Picture p;
  if (png_image_begin_read_from_memory(&image, bytes, size) == 0) return p;
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr) == 0) return p;
  p.width = static_cast<int32_t>(image.width);
  p.height = static_cast<int32_t>(image.height);
  for (size_t i = 0; i < rgba.size(); i += 4) {
    p.pixels.push_back(uint32_t{rgba[i]} << 24 | uint32_t{rgba[i + 1]} << 16 | uint32_t{rgba[i + 2]} << 8 |
                       rgba[i + 3]);
  }
  return p;
}

struct PackResult {
  int status = -1;
  std::string errors;
  std::vector<uint8_t> bytes;
};

// A game folder in a temporary folder, and the packer run on it.
class GameFolder {
 public:
  void Write(const std::string& name, const std::string& text) {
    FILE* f = std::fopen(m_dir.file(name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  void Image(const std::string& name, const Picture& p) {
    const std::vector<uint8_t> png = EncodePicture(p);
    Write(name, std::string(png.begin(), png.end()));
  }
  std::string Path(const std::string& name) const { return m_dir.file(name); }

  // Packs the folder into `output` (a path inside it by default).
  PackResult Pack(const std::string& output = "") const {
    const std::string out = output.empty() ? m_out.file("game.win") : output;
    const std::string errors = m_out.file("errors.txt");
    const std::string command =
        std::string("'") + PACKER + "' '" + m_dir.path().string() + "' '" + out + "' 2>'" + errors + "'";
    const int status = std::system(command.c_str());
    PackResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.errors = testsupport::ReadFile(errors);
    if (fs::exists(out)) {
      const std::string bytes = testsupport::ReadFile(out);
      result.bytes.assign(bytes.begin(), bytes.end());
    }
    return result;
  }
  // Every file the packer left beside its output.
  std::vector<std::string> OutputFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_out.path())) {
      if (entry.path().filename() != "errors.txt") names.push_back(entry.path().filename().string());
    }
    return names;
  }

 private:
  testsupport::TempDir m_dir;
  testsupport::TempDir m_out;
};

// The texture pages of a file: the page entries' rectangles and the decoded page images.
struct PagesOfFile {
  struct Entry {
    int16_t x, y, width, height, xOffset, yOffset, cropWidth, cropHeight, frameWidth, frameHeight, page;
  };
  std::vector<Entry> entries;
  std::vector<Picture> pages;
};

uint32_t WordAt(const std::vector<uint8_t>& file, uint64_t at) {
  uint32_t v = 0;
  if (at + 4 <= file.size()) std::memcpy(&v, &file[at], 4);
  return v;
}

PagesOfFile ReadPages(const std::vector<uint8_t>& file) {
  PagesOfFile out;
  for (const gamedatatest::ChunkPlace& chunk : gamedatatest::ChunkPlaces(file)) {
    if (chunk.tag != "TPAG" && chunk.tag != "TXTR") continue;
    const uint32_t count = WordAt(file, chunk.offset);
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t at = WordAt(file, chunk.offset + 4 + 4ull * i);
      if (chunk.tag == "TPAG" && at + sizeof(PagesOfFile::Entry) <= file.size()) {
        PagesOfFile::Entry e;
        std::memcpy(&e, &file[at], sizeof e);
        out.entries.push_back(e);
      } else if (chunk.tag == "TXTR") {
        const uint32_t data = WordAt(file, at + 4);
        out.pages.push_back(data < file.size() ? DecodePicture(&file[data], file.size() - data) : Picture{});
      }
    }
  }
  return out;
}

// Each picture lies whole, pixel for pixel, where its page entry (in the same order) says.
void ExpectPicturesOnPages(const PagesOfFile& file, const std::vector<Picture>& pictures) {
  ASSERT_EQ(file.entries.size(), pictures.size());
  for (size_t i = 0; i < pictures.size(); ++i) {
    const PagesOfFile::Entry& e = file.entries[i];
    const Picture& p = pictures[i];
    SCOPED_TRACE("image " + std::to_string(i));
    EXPECT_EQ(e.width, p.width);
    EXPECT_EQ(e.height, p.height);
    EXPECT_EQ(e.cropWidth, p.width);
    EXPECT_EQ(e.cropHeight, p.height);
    EXPECT_EQ(e.frameWidth, p.width);
    EXPECT_EQ(e.frameHeight, p.height);
    EXPECT_EQ(e.xOffset, 0);
    EXPECT_EQ(e.yOffset, 0);
    ASSERT_GE(e.page, 0);
    ASSERT_LT(static_cast<size_t>(e.page), file.pages.size());
    const Picture& page = file.pages[static_cast<size_t>(e.page)];
    ASSERT_TRUE(e.x >= 0 && e.y >= 0 && e.x + p.width <= page.width && e.y + p.height <= page.height)
        << "at " << e.x << "," << e.y << " on a page of " << page.width << " x " << page.height;
    int32_t wrong = 0;
    for (int32_t y = 0; y < p.height; ++y) {
      for (int32_t x = 0; x < p.width; ++x) wrong += page.At(e.x + x, e.y + y) != p.At(x, y);
    }
    EXPECT_EQ(wrong, 0);
  }
}

class PackerTest : public gamedatatest::GameDataTest {};

TEST_F(PackerTest, ImagesBecomeSpritesAndBackgroundsThatTheRunnerLoads) {
  GameFolder folder;
  // Frame 0: x 1..3, y 2..4 solid (alpha 1 counts), the rest transparent green; frame 1: only
  // (7, 6), half transparent. The box of both spans (1, 2) to (7, 6).
  const Picture frame0 = Paint(
      8, 8, [](int32_t x, int32_t y) { return (x >= 1 && x < 4 && y >= 2 && y < 5) ? 0xFF000001u : 0x00FF0000u; });
  const Picture frame1 = Paint(8, 8, [](int32_t x, int32_t y) { return (x == 7 && y == 6) ? 0x0000FF80u : 0u; });
  const Picture wall = Pattern(5, 3, 1);
  const Picture sky = Pattern(20, 10, 2);
  folder.Image("f0.png", frame0);
  folder.Image("f1.png", frame1);
  folder.Image("wall.png", wall);
  folder.Image("sky.png", sky);
  const Picture clear = Paint(8, 8, [](int32_t, int32_t) { return 0u; });
  folder.Image("clear.png", clear);
  folder.Write("create.gml", "x = 1;\n");
  folder.Write("game.json", R"({
    "name": "packed",
    "sprites": [
      {"name": "spr_ship", "frames": ["f0.png", "f1.png"], "xorigin": 4, "yorigin": 3, "precise": true,
       "smooth": true, "preload": false},
      {"name": "spr_wall", "frames": ["wall.png"], "bbox_mode": "manual", "bbox": [1, 0, 3, 2]},
      {"name": "spr_full", "frames": ["f1.png"], "bbox_mode": "full"},
      {"name": "spr_opaque", "frames": ["f1.png"], "transparent": false},
      {"name": "spr_empty", "frames": ["clear.png", "clear.png"], "precise": true},
      {"name": "spr_opaque_manual", "frames": ["f1.png"], "transparent": false, "bbox_mode": "manual", "bbox": [1, 1, 2, 3]}
    ],
    "backgrounds": [{"name": "bg_sky", "file": "sky.png", "smooth": true}],
    "objects": [{"name": "obj_ship", "sprite": "spr_ship", "mask": "spr_wall",
                 "events": {"create": "create.gml", "collision_obj_rock": "create.gml"}},
                {"name": "obj_rock"}],
    "rooms": [{"name": "room_a", "backgrounds": [{}, {"background": "bg_sky", "x": 3, "foreground": true, "vtiled": false}],
               "instances": [{"object": "obj_ship", "x": 10, "y": 20}]}]
  })");
  const PackResult packed = folder.Pack();
  ASSERT_EQ(packed.status, 0) << packed.errors;
  EXPECT_EQ(packed.errors, "");
  // Page entries in manifest order: sprite frames, then backgrounds.
  ExpectPicturesOnPages(ReadPages(packed.bytes), {frame0, frame1, wall, frame1, frame1, clear, clear, frame1, sky});

  ASSERT_TRUE(Load(packed.bytes));
  const CSprite* ship = Sprite_Data(Sprite_FindByName("spr_ship"));
  ASSERT_NE(ship, nullptr);
  EXPECT_EQ(ship->m_numb, 2);
  EXPECT_EQ(ship->m_width, 8);
  EXPECT_EQ(ship->m_height, 8);
  EXPECT_EQ(ship->m_xOrigin, 4);
  EXPECT_EQ(ship->m_yOrigin, 3);
  EXPECT_TRUE(ship->m_precise);
  EXPECT_TRUE(ship->m_transparent);
  EXPECT_TRUE(ship->m_smooth);
  EXPECT_FALSE(ship->m_preload);
  EXPECT_EQ(ship->m_bboxMode, 0);
  // The union of both frames' pixels with alpha above 0.
  EXPECT_EQ(ship->m_bbox.left, 1);
  EXPECT_EQ(ship->m_bbox.top, 2);
  EXPECT_EQ(ship->m_bbox.right, 7);
  EXPECT_EQ(ship->m_bbox.bottom, 6);
  // One mask per frame, solid where alpha is above 0.
  ASSERT_TRUE(ship->m_maskValid);
  ASSERT_EQ(ship->m_masks.Count(), 2);
  EXPECT_TRUE(ship->m_maskPerFrame);
  for (int32_t f = 0; f < 2; ++f) {
    const Picture& frame = f == 0 ? frame0 : frame1;
    for (int32_t y = 0; y < 8; ++y) {
      for (int32_t x = 0; x < 8; ++x) {
        EXPECT_EQ(ship->m_masks[f].data[y * 8 + x], (frame.At(x, y) & 0xFF) != 0 ? 1 : 0) << f << ": " << x << "," << y;
      }
    }
  }

  struct BoxCase {
    const char* name;
    int32_t mode, left, top, right, bottom;
    const char* why;
  };
  const BoxCase boxes[] = {
      {"spr_wall", 2, 1, 0, 3, 2, "manual: the box as given"},
      {"spr_full", 1, 0, 0, 7, 7, "full: the whole frame whatever the pixels"},
      {"spr_opaque", 0, 0, 0, 7, 7, "not transparent: the whole frame"},
      {"spr_empty", 0, 7, 7, 0, 0, "automatic over fully transparent frames: width - 1, height - 1, 0, 0"},
      {"spr_opaque_manual", 2, 1, 1, 2, 3, "manual, even when not transparent: the box as given"},
  };
  for (const BoxCase& c : boxes) {
    SCOPED_TRACE(c.why);
    const CSprite* s = Sprite_Data(Sprite_FindByName(c.name));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->m_bboxMode, c.mode);
    EXPECT_EQ(s->m_bbox.left, c.left);
    EXPECT_EQ(s->m_bbox.top, c.top);
    EXPECT_EQ(s->m_bbox.right, c.right);
    EXPECT_EQ(s->m_bbox.bottom, c.bottom);
  }
  // Imprecise sprites have no masks; a precise one with nothing solid has masks of nothing.
  EXPECT_FALSE(Sprite_Data(Sprite_FindByName("spr_wall"))->m_maskValid);
  const CSprite* empty = Sprite_Data(Sprite_FindByName("spr_empty"));
  ASSERT_TRUE(empty->m_maskValid);
  ASSERT_EQ(empty->m_masks.Count(), 2);
  for (int32_t f = 0; f < 2; ++f) {
    for (int32_t i = 0; i < 64; ++i) EXPECT_EQ(empty->m_masks[f].data[i], 0);
  }

  const int32_t sky_index = Background_FindByName("bg_sky");
  ASSERT_EQ(sky_index, 0);
  const CBackground* background = Background_Data(sky_index);
  ASSERT_NE(background, nullptr);
  EXPECT_EQ(background->m_Width, 20);
  EXPECT_EQ(background->m_Height, 10);
  EXPECT_EQ(background->m_Smooth, 1);
  EXPECT_EQ(background->m_Transparent, 0);

  const CObject* ship_object = Object_Find(0);
  ASSERT_NE(ship_object, nullptr);
  EXPECT_EQ(ship_object->m_SpriteIndex, 0);
  EXPECT_EQ(ship_object->m_MaskIndex, 1);
  // A collision event is numbered by the other object.
  ASSERT_EQ(ship_object->m_Events[4].count, 2);
  EXPECT_EQ(ship_object->m_Events[4].events[0], nullptr);
  EXPECT_NE(ship_object->m_Events[4].events[1], nullptr);

  const CRoom* room = Room_Data(0);
  ASSERT_NE(room, nullptr);
  EXPECT_EQ(room->m_Backgrounds[0].index, -1);
  EXPECT_EQ(room->m_Backgrounds[1].index, 0);
  EXPECT_EQ(room->m_Backgrounds[1].visible, 1);
  EXPECT_EQ(room->m_Backgrounds[1].foreground, 1);
  EXPECT_EQ(room->m_Backgrounds[1].x, 3.0f);
  EXPECT_EQ(room->m_Backgrounds[1].htiled, 1);
  EXPECT_EQ(room->m_Backgrounds[1].vtiled, 0);
  EXPECT_EQ(room->m_Backgrounds[2].index, -1);
}

TEST_F(PackerTest, ATrueTypeFileBecomesAPageFontOfItsRenderedGlyphs) {
  GameFolder folder;
  fs::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", folder.Path("DejaVuSans.ttf"));
  folder.Write("game.json", R"({"fonts": [{"name": "fnt_main", "file": "DejaVuSans.ttf", "size": 16, "bold": true,
                                   "first": 48, "last": 90}]})");
  const PackResult packed = folder.Pack();
  ASSERT_EQ(packed.status, 0) << packed.errors;
  const PagesOfFile pages = ReadPages(packed.bytes);
  ASSERT_EQ(pages.entries.size(), 1u);
  ASSERT_TRUE(Load(packed.bytes));
  CFontTW* font = Font_Data(Font_FindByName("fnt_main"));
  ASSERT_NE(font, nullptr);
  EXPECT_STREQ(font->GetFontName(), "DejaVu Sans");
  EXPECT_EQ(font->GetSize(), 16);
  EXPECT_TRUE(font->GetBold());
  EXPECT_EQ(font->GetFirst(), 48);
  EXPECT_EQ(font->GetLast(), 90);
  // '0' to 'Z' (all mapped) and the space; the character table is the identity.
  EXPECT_EQ(font->GlyphCount(), 90 - 48 + 1 + 1);
  EXPECT_EQ(Font_CharTableCode(200, 0), 200);

  // The metrics are FreeType's, and each rectangle on the page holds the glyph's ink: white,
  // the coverage as alpha.
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  ASSERT_EQ(FT_New_Face(library, folder.Path("DejaVuSans.ttf").c_str(), 0, &face), 0);
  FT_Set_Char_Size(face, 0, 16 * 64, 0, 0);
  const PagesOfFile::Entry& e = pages.entries[0];
  const Picture& page = pages.pages[static_cast<size_t>(e.page)];
  for (const char16_t c : {u'A', u'Q', u'7'}) {
    SCOPED_TRACE(static_cast<char>(c));
    ASSERT_EQ(FT_Load_Char(face, c, FT_LOAD_RENDER), 0);
    const FontGlyph g = FontGlyph_Read(font->FindGlyph(c));
    EXPECT_EQ(g.advance, (face->glyph->advance.x + 63) >> 6);
    EXPECT_EQ(g.offset, face->glyph->bitmap_left);
    EXPECT_EQ(g.width, static_cast<int16_t>(face->glyph->bitmap.width));
    EXPECT_EQ(g.height, ((face->size->metrics.ascender + 63) >> 6) - face->glyph->bitmap_top +
                            static_cast<int32_t>(face->glyph->bitmap.rows));
    int32_t ink = 0;
    for (int32_t y = 0; y < g.height; ++y) {
      for (int32_t x = 0; x < g.width; ++x) {
        const uint32_t pixel = page.At(e.x + g.x + x, e.y + g.y + y);
        EXPECT_EQ(pixel >> 8, 0xFFFFFFu);
        ink += (pixel & 0xFF) > 128;
      }
    }
    EXPECT_GT(ink, 10);
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  EXPECT_EQ(FontGlyph_Read(font->FindGlyph(u' ')).width, 0);
  EXPECT_GT(font->GetCharWidth(u' '), 0);
}

TEST_F(PackerTest, AGlyphSheetBecomesAPageFontOfItsCellsNarrowedToTheirInk) {
  GameFolder folder;
  // Cells of 6 x 8 pixels, three a row: 'A' ink in columns 1..3, 'B' in 0..5, the space empty,
  // '!' in column 2 only (second row).
  folder.Image("font.png", Paint(18, 16, [](int32_t x, int32_t y) -> uint32_t {
    const int32_t cell = y / 8 * 3 + x / 6, col = x % 6;
    const bool ink = (cell == 0 && col >= 1 && col <= 3) || cell == 1 || (cell == 3 && col == 2);
    return ink && y % 8 >= 2 ? 0xFFFFFFFFu : 0u;
  }));
  folder.Write("game.json", R"({"fonts": [{"name": "fnt_sheet", "sheet": "font.png", "chars": "AB !",
                                   "cell": [6, 8], "spacing": 2, "size": 9}]})");
  const PackResult packed = folder.Pack();
  ASSERT_EQ(packed.status, 0) << packed.errors;
  ASSERT_TRUE(Load(packed.bytes));
  CFontTW* font = Font_Data(Font_FindByName("fnt_sheet"));
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->GetSize(), 9);
  EXPECT_EQ(font->GetFirst(), 32);
  EXPECT_EQ(font->GetLast(), 66);
  EXPECT_EQ(font->GlyphCount(), 4);
  struct GlyphCase {
    char16_t c;
    int16_t x, y, width, advance;
  };
  for (const GlyphCase& c : {GlyphCase{u'A', 1, 0, 3, 5}, GlyphCase{u'B', 6, 0, 6, 8}, GlyphCase{u' ', 12, 0, 3, 5},
                             GlyphCase{u'!', 2, 8, 1, 3}}) {
    SCOPED_TRACE(static_cast<char>(c.c));
    const FontGlyph g = FontGlyph_Read(font->FindGlyph(c.c));
    EXPECT_EQ(g.x, c.x);
    EXPECT_EQ(g.y, c.y);
    EXPECT_EQ(g.width, c.width);
    EXPECT_EQ(g.height, 8);
    EXPECT_EQ(g.advance, c.advance);
    EXPECT_EQ(g.offset, 0);
  }
}

TEST_F(PackerTest, RoomsCarryTheirColourViewsAndTiles) {
  GameFolder folder;
  folder.Image("tiles.png", Pattern(32, 32, 5));
  folder.Write("game.json", R"({"backgrounds": [{"name": "bg_tiles", "file": "tiles.png"}],
    "objects": [{"name": "obj_player"}],
    "rooms": [{"name": "r", "width": 1000, "colour": 255, "show_colour": false, "views_enabled": true,
               "views": [{"xview": 10, "yview": 20, "wview": 320, "hview": 240, "wport": 640, "hport": 480,
                          "object": "obj_player", "hborder": 100, "vborder": 80},
                         {"visible": false}],
               "tiles": [{"background": "bg_tiles", "x": 48, "y": 64, "left": 16, "top": 0, "depth": -5},
                         {"background": "bg_tiles", "x": 64, "y": 64, "width": 8, "height": 4, "xscale": 2}]}]})");
  const PackResult packed = folder.Pack();
  ASSERT_EQ(packed.status, 0) << packed.errors;
  ASSERT_TRUE(Load(packed.bytes));
  const CRoom* room = Room_Data(0);
  ASSERT_NE(room, nullptr);
  EXPECT_EQ(room->m_Colour, 255);
  EXPECT_EQ(room->m_ShowColour, 0);
  EXPECT_EQ(room->m_ViewsEnabled, 1);
  const RoomView& view = room->m_Views[0];
  EXPECT_EQ(view.visible, 1);
  EXPECT_EQ(view.xview, 10.0f);
  EXPECT_EQ(view.yview, 20.0f);
  EXPECT_EQ(view.wview, 320.0f);
  EXPECT_EQ(view.hview, 240.0f);
  EXPECT_EQ(view.wport, 640);
  EXPECT_EQ(view.hport, 480);
  EXPECT_EQ(view.hborder, 100);
  EXPECT_EQ(view.vborder, 80);
  EXPECT_EQ(view.object, 0);
  EXPECT_EQ(room->m_Views[1].visible, 0);
  EXPECT_EQ(room->m_Views[1].wport, 640);  // a port is as large as its view unless given
  ASSERT_NE(room->Definition(), nullptr);
  ASSERT_EQ(room->Definition()->tiles.Count(), 2);
  const RoomTileDef& first = room->Definition()->tiles[0];
  EXPECT_EQ(first.x, 48);
  EXPECT_EQ(first.left, 16);
  EXPECT_EQ(first.width, 16);
  EXPECT_EQ(first.depth, -5);
  EXPECT_EQ(first.background, 0);
  const RoomTileDef& second = room->Definition()->tiles[1];
  EXPECT_EQ(second.width, 8);
  EXPECT_EQ(second.height, 4);
  EXPECT_EQ(second.xscale, 2.0f);
  EXPECT_EQ(second.depth, 1000000);
  EXPECT_EQ(second.id, first.id + 1);
}

TEST_F(PackerTest, ImagesTooLargeToShareAPageGetPagesOfTheirOwn) {
  GameFolder folder;
  // Two 800 x 800 images cannot share a 1024 x 1024 page; the 1100-wide one is larger than a
  // shared page; the small one goes beside the second big one.
  const std::vector<Picture> pictures = {Pattern(800, 800, 1), Pattern(1100, 30, 2), Pattern(10, 10, 3),
                                         Pattern(800, 800, 4)};
  folder.Image("a.png", pictures[0]);
  folder.Image("b.png", pictures[1]);
  folder.Image("c.png", pictures[2]);
  folder.Image("d.png", pictures[3]);
  folder.Write("game.json", R"({"backgrounds": [{"name": "a", "file": "a.png"}, {"name": "b", "file": "b.png"},
                                                {"name": "c", "file": "c.png"}, {"name": "d", "file": "d.png"}]})");
  const PackResult packed = folder.Pack();
  ASSERT_EQ(packed.status, 0) << packed.errors;
  const PagesOfFile pages = ReadPages(packed.bytes);
  ExpectPicturesOnPages(pages, pictures);
  ASSERT_EQ(pages.pages.size(), 3u);
  EXPECT_EQ(pages.entries[0].page, 0);
  EXPECT_EQ(pages.entries[3].page, 1);
  EXPECT_EQ(pages.entries[1].page, 2);
  EXPECT_EQ(pages.entries[2].page, 1);
  EXPECT_EQ(pages.entries[2].x, 801);  // one transparent pixel between images
  EXPECT_EQ(pages.pages[1].width, 811);
  EXPECT_EQ(pages.pages[1].height, 800);
  EXPECT_EQ(pages.pages[1].At(800, 0), 0u);
}

TEST_F(PackerTest, TheSameFolderGivesTheSameBytes) {
  GameFolder folder;
  for (int i = 0; i < 6; ++i)
    folder.Image("f" + std::to_string(i) + ".png", Pattern(3 + i, 9 - i, static_cast<uint32_t>(i)));
  folder.Write("step.gml", "y += 1;\n");
  folder.Write("game.json", R"({"sprites": [{"name": "s1", "frames": ["f1.png"], "precise": true},
                                            {"name": "s0", "frames": ["f0.png"]}],
                                "backgrounds": [{"name": "b5", "file": "f5.png"}, {"name": "b2", "file": "f2.png"}],
                                "objects": [{"name": "o", "sprite": "s0", "events": {"step": "step.gml", "create": "step.gml"}}],
                                "rooms": [{"name": "r", "instances": [{"object": "o"}, {"object": "o", "x": 4}]}]})");
  const PackResult first = folder.Pack();
  const PackResult second = folder.Pack(folder.Path("again.win"));
  ASSERT_EQ(first.status, 0) << first.errors;
  ASSERT_EQ(second.status, 0) << second.errors;
  EXPECT_FALSE(first.bytes.empty());
  EXPECT_TRUE(first.bytes == second.bytes);
}

TEST_F(PackerTest, ABadFolderIsRefusedNamingTheFileAndTheFieldAndLeavesNoGameFile) {
  struct Case {
    const char* manifest;
    const char* message;  // what the packer prints after "packer: game.json: "
  };
  const Case cases[] = {
      {R"({"sprite": []})", "unknown field \"sprite\""},
      {R"({"sprites": [{"name": "spr_a", "frames": ["a.png"], "orgin": 1}]})",
       "\"sprites\"[0] (spr_a): unknown field \"orgin\""},
      {R"({"rooms": [{"name": "r", "backgrounds": [{"backgorund": "x"}]}]})",
       "\"rooms\"[0] (r): \"backgrounds\"[0]: unknown field \"backgorund\""},
      {R"({"sprites": [{"name": "spr_a", "frames": ["a.png", "missing.png"]}]})",
       "sprite spr_a: \"frames\": cannot read "},
      {R"({"sprites": [{"name": "spr_a", "frames": ["a.png", "wide.png"]}]})",
       "sprite spr_a: \"frames\": wide.png is 9 x 8 pixels, the first frame 8 x 8"},
      {R"({"sprites": [{"name": "spr_a", "frames": []}]})", "sprite spr_a: \"frames\" must name at least one image"},
      {R"({"sprites": [{"name": "spr_a"}]})", "sprite spr_a: \"frames\" is missing"},
      {R"({"backgrounds": [{"name": "bg_a", "file": "cut.png"}]})",
       "background bg_a: \"file\": cut.png cannot be decoded as a PNG image"},
      {R"({"backgrounds": [{"name": "bg_a", "file": "create.gml"}]})",
       "background bg_a: \"file\": create.gml cannot be decoded as a PNG image"},
      {R"({"backgrounds": [{"name": "bg_a", "file": "huge.png"}]})",
       "background bg_a: \"file\": huge.png is 4097 x 1 pixels; no side may be above 4096"},
      {R"({"sprites": [{"name": "spr_a", "frames": ["a.png"], "bbox_mode": "manual"}]})",
       "sprite spr_a: \"bbox\" is missing (\"bbox_mode\" is \"manual\")"},
      {R"({"sprites": [{"name": "spr_a", "frames": ["a.png"], "bbox_mode": "manual", "bbox": [1, 2]}]})",
       "sprite spr_a: \"bbox\" must be a list of four whole numbers: left, top, right, bottom"},
      {R"({"sprites": [{"name": "spr_a", "frames": ["a.png"], "bbox_mode": "tight"}]})",
       "sprite spr_a: \"bbox_mode\" must be \"automatic\", \"full\" or \"manual\""},
      {R"({"sprites": [{"name": "spr_a", "frames": ["a.png"]}, {"name": "spr_a", "frames": ["a.png"]}]})",
       "sprite spr_a is defined twice"},
      {R"({"objects": [{"name": "obj_a", "sprite": "spr_none"}]})", "object obj_a: \"sprite\": spr_none is no sprite"},
      {R"({"objects": [{"name": "obj_a", "events": {"create": "gone.gml"}}]})",
       "object obj_a: event create: cannot read "},
      {R"({"objects": [{"name": "obj_a", "events": {"collision_obj_b": "create.gml"}}]})",
       "object obj_a: event collision_obj_b: obj_b is no object"},
      {R"({"objects": [{"name": "o"}], "rooms": [{"name": "r", "instances": [{"object": "o", "angle": "up"}]}]})",
       "room r: an instance: \"angle\" must be a number"},
      {R"({"rooms": [{"name": "r", "backgrounds": [{}, {}, {}, {}, {}, {}, {}, {}, {}]}]})",
       "room r: \"backgrounds\" lists more than 8 slots"},
      {R"({"fonts": [{"name": "fnt_a", "file": "create.gml"}]})",
       "font fnt_a: \"file\": create.gml is not a TrueType font with a Unicode character map"},
      {R"({"fonts": [{"name": "fnt_a", "file": "create.gml", "first": 90, "last": 48}]})",
       "font fnt_a: \"first\" and \"last\" must be characters 0 to 65535, first not above last"},
      {R"({"fonts": [{"name": "fnt_a", "sheet": "a.png", "chars": "ABCDE", "cell": [4, 4]}]})",
       "font fnt_a: \"chars\": a.png has cells for 4 characters, not 5"},
      {R"({"fonts": [{"name": "fnt_a", "sheet": "a.png", "chars": "AA", "cell": [4, 4]}]})",
       "font fnt_a: \"chars\": A is listed twice"},
      {R"({"fonts": [{"name": "fnt_a", "sheet": "a.png", "chars": "A", "cell": [9, 4]}]})",
       "font fnt_a: \"cell\": 9 x 4 does not fit in a.png"},
      {R"({"fonts": [{"name": "fnt_a", "sheet": "cut.png", "chars": "A", "cell": [4, 4]}]})",
       "font fnt_a: \"sheet\": cut.png cannot be decoded as a PNG image"},
      {R"({"fonts": [{"name": "fnt_a", "sheet": "a.png", "file": "a.png", "chars": "A", "cell": [4, 4]}]})",
       "font fnt_a: give either \"file\" or \"sheet\", not both"},
      {R"({"backgrounds": [{"name": "b", "file": "a.png"}], "rooms": [{"name": "r", "tiles": [{"background": "b", "widht": 3}]}]})",
       "\"rooms\"[0] (r): \"tiles\"[0]: unknown field \"widht\""},
      {R"({"rooms": [{"name": "r", "tiles": [{"background": "none"}]}]})",
       "room r: tile 0: \"background\": none is no background"},
      {R"({"rooms": [{"name": "r", "views": [{"object": "obj_none"}]}]})",
       "room r: view 0: \"object\": obj_none is no object"},
      {R"({"rooms": [{"name": "r", "views": [{"wport": 0}]}]})",
       "room r: view 0: a view and its port must be at least one pixel wide and high"},
  };
  GameFolder folder;
  folder.Image("a.png", Pattern(8, 8, 1));
  folder.Image("wide.png", Pattern(9, 8, 2));
  folder.Image("huge.png", Pattern(4097, 1, 3));
  const std::vector<uint8_t> png = EncodePicture(Pattern(8, 8, 4));
  folder.Write("cut.png", std::string(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2)));
  folder.Write("create.gml", "x = 1;\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.manifest);
    folder.Write("game.json", c.manifest);
    const PackResult result = folder.Pack();
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.errors.rfind(std::string("packer: game.json: ") + c.message, 0), 0u) << result.errors;
    EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << result.errors;
    EXPECT_TRUE(folder.OutputFiles().empty());
  }
  // An output that cannot be written is an error too.
  folder.Write("game.json", "{}");
  const PackResult unwritable = folder.Pack(folder.Path("no/such/folder/game.win"));
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.errors.find("cannot write "), std::string::npos) << unwritable.errors;
}

// ---- Pixels ----

class PackedSpritePixelTest : public testsupport::HeadlessGLTest {};

TEST_F(PackedSpritePixelTest, APackedSpriteDrawsTurnedAndScaledAboutItsOrigin) {
  // Frame 1 of the sprite: 4 x 4 opaque texels, each its own colour, origin (1, 1). A wider
  // image and frame 0 share the page, so the frame lies away from the page's corner.
  const Picture texels = Paint(4, 4, [](int32_t x, int32_t y) {
    return static_cast<uint32_t>(60 * x + 5) << 24 | static_cast<uint32_t>(60 * y + 7) << 16 |
           static_cast<uint32_t>(x * 16 + y + 1) << 8 | 0xFFu;
  });
  GameFolder folder;
  folder.Image("plain.png", Paint(4, 4, [](int32_t, int32_t) { return 0x808080FFu; }));
  folder.Image("texels.png", texels);
  folder.Image("wide.png", Pattern(30, 6, 9));
  folder.Write("game.json", R"({"sprites": [{"name": "spr_tile", "frames": ["plain.png", "texels.png"],
                                             "xorigin": 1, "yorigin": 1}],
                                "backgrounds": [{"name": "bg_wide", "file": "wide.png"}]})");
  const PackResult packed = folder.Pack();
  ASSERT_EQ(packed.status, 0) << packed.errors;
  const PagesOfFile pages = ReadPages(packed.bytes);
  ASSERT_EQ(pages.entries.size(), 3u);
  EXPECT_NE(pages.entries[1].x + pages.entries[1].y, 0);

  ASSERT_TRUE(GR_D3D_Init(nullptr, 64, 64, 0));
  ASSERT_TRUE(GameData_LoadImage(packed.bytes.data(), packed.bytes.size()));
  ASSERT_TRUE(GameData_ScanHeader());
  ASSERT_TRUE(LoadGameData());
  GR_SetViewport(0, 0, 64, 64);
  GR_SetViewArea(0, 0, 64, 64, 0);
  GR_Clear(0xFF000000);
  const CSprite* sprite = Sprite_Data(Sprite_FindByName("spr_tile"));
  ASSERT_NE(sprite, nullptr);
  // Scaled by 2 and turned by 90 degrees counter-clockwise about the origin texel (1, 1) at
  // (32, 32): texel (c, r) covers the 2 x 2 pixels whose left is 32 + 2 (r - 1) and whose top is
  // 32 - 2 (c - 1) - 2.
  SpriteDraw(*sprite, 1, 32, 32, 2, 2, 90, 0xFFFFFF, 1);
  GraphicsFlush();
  const std::vector<uint32_t> pixels = ReadBack(0, 0, 64, 64);
  ASSERT_EQ(pixels.size(), 64u * 64u);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      const uint32_t rgba = texels.At(c, r);
      const uint32_t argb = (rgba & 0xFFu) << 24 | rgba >> 8;
      const int left = 32 + 2 * (r - 1), top = 32 - 2 * (c - 1) - 2;
      for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
          EXPECT_EQ(pixels[static_cast<size_t>((top + dy) * 64 + left + dx)], argb)
              << "texel " << c << "," << r << " pixel " << left + dx << "," << top + dy;
        }
      }
    }
  }
  // Nothing outside the 8 x 8 square it covers.
  EXPECT_EQ(pixels[static_cast<size_t>(31 * 64 + 29)], 0xFF000000u);
  EXPECT_EQ(pixels[static_cast<size_t>(35 * 64 + 36)], 0xFF000000u);
}

}  // namespace
