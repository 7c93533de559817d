// The text, sprite and background drawing, texture and tile built-ins, called as the virtual
// machine calls them and from short scripts, over the recording device: which sprite, frame or
// background a call drew is read from the texture coordinates of the quads it put on the batch.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "BuiltinTestUtil.h"
#include "background/Background_Class.h"
#include "background/Background_Main.h"
#include "function/Function_Graphics.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Text.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/device/D3D_Fake.h"
#include "room/Room_Class.h"
#include "runner/GameData.h"
#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Main.h"
#include "testlib/GraphicsFixtures.h"
#include "testlib/TextFixtures.h"
#include "variable/ScriptValue.h"

namespace builtintest {
namespace {

using testsupport::OpenBatch;

// Page entries at odd addresses, as they may lie in the game image.
struct LooseEntries {
  uint8_t bytes[1 + 32 * sizeof(TPageEntry)] = {};
  TPageEntry* At(int i) { return reinterpret_cast<TPageEntry*>(bytes + 1 + i * sizeof(TPageEntry)); }
};

// The page rectangle's top-left corner a quad was drawn from.
struct Source {
  int32_t x, y;
  bool operator==(const Source& o) const { return x == o.x && y == o.y; }
};

class DrawingBuiltinsTest : public BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    RegisterGraphicsFunctions();
    ASSERT_TRUE(testsupport::InstallTestGraphics(FakeD3D_Backend(), 640, 480));
    GraphicsFlush();
    std::vector<uint32_t> pixels(256 * 128, 0xFFFFFFFFu);
    m_page = GR_Texture_Create(256, 128, pixels.data(), pixels.size() * 4);
    testsupport::InstallFixedFont(m_page);
    // Sprites 0..3 of three 8 x 8 frames: frame f of sprite s at (8f, 8s) on the page.
    for (int s = 0; s < 4; ++s) {
      const int32_t index = Sprite_AddEmpty();
      CSprite* sprite = Sprite_Data(index);
      sprite->m_width = sprite->m_height = 8;
      sprite->m_numb = 3;
      for (int f = 0; f < 3; ++f) {
        TPageEntry* e = m_entries.At(3 * s + f);
        TPageEntry_Write(e, Entry(8 * f, 8 * s, 8, 8));
        sprite->m_pageEntries.Push(e);
      }
      sprite->ComputeBoundingBox();
    }
    // Backgrounds 0..4: background b at (100, 8b), 8 x 8.
    for (int b = 0; b < 5; ++b) {
      CBackground* background = Background_Data(Background_AddEmpty());
      TPageEntry* e = m_entries.At(12 + b);
      TPageEntry_Write(e, Entry(100, 8 * b, 8, 8));
      background->m_TPageEntry = e;
      background->m_Width = background->m_Height = 8;
    }
  }
  void TearDown() override {
    delete CurrentRoom;
    CurrentRoom = nullptr;
    BuiltinTest::TearDown();
    testsupport::RemoveTestGraphics();
  }

  TPageEntry Entry(int x, int y, int w, int h) const {
    TPageEntry e{};
    e.x = static_cast<int16_t>(x);
    e.y = static_cast<int16_t>(y);
    e.width = e.cropWidth = e.fullWidth = static_cast<int16_t>(w);
    e.height = e.cropHeight = e.fullHeight = static_cast<int16_t>(h);
    e.texturePage = static_cast<int16_t>(m_page);
    return e;
  }

  // The sources of the quads a call put on the batch (the batch is drawn first and after).
  std::vector<Source> Drawn(const char* name, std::vector<ScriptValue> args) {
    GraphicsFlush();
    Call(name, std::move(args));
    const std::vector<TexturedVertex> v = OpenBatch();
    std::vector<Source> sources;
    for (size_t i = 0; i + 5 < v.size(); i += 6) {
      sources.push_back({static_cast<int32_t>(std::lround(v[i].u * 256)), static_cast<int32_t>(std::lround(v[i].v * 128))});
    }
    GraphicsFlush();
    return sources;
  }
  size_t Quads(const char* name, std::vector<ScriptValue> args) { return Drawn(name, std::move(args)).size(); }

  // The message of the error reported since the last call (empty when none).
  std::string Message() {
    const std::string report = TakeError();
    const size_t start = report.find("\n\n\n");
    if (start == std::string::npos) return report;
    const size_t end = report.find('\n', start + 3);
    return report.substr(start + 3, end == std::string::npos ? std::string::npos : end - start - 3);
  }

  // The reals of a one-row array result.
  static std::vector<double> Reals(const ScriptValue& v) {
    std::vector<double> out;
    if (v.Kind() != VALUE_ARRAY || v.arr == nullptr || v.arr->rowCount < 1) return out;
    const ValueRow& row = v.arr->rows[0];
    for (int32_t i = 0; i < row.length; ++i) out.push_back(row.elements[i].real);
    return out;
  }
  std::vector<double> CallArray(const char* name, std::vector<ScriptValue> args) {
    ScriptValue raw{};
    Call(name, std::move(args), &raw);
    std::vector<double> out = Reals(raw);
    ReleaseValue(&raw);
    return out;
  }

  CRoom* Room() {
    if (CurrentRoom == nullptr) CurrentRoom = new CRoom();
    return CurrentRoom;
  }

  static ScriptValue R(double v) { return RealValue(v); }

  int32_t m_page = -1;
  LooseEntries m_entries;
};

// ---- Text ----

TEST_F(DrawingBuiltinsTest, NumbersAreDrawnAndMeasuredAsTheirTextForm) {
  EXPECT_EQ(Quads("draw_text", {R(0), R(0), R(0.5)}), 4u);  // "0.50"
  EXPECT_EQ(Quads("draw_text", {R(0), R(0), R(12)}), 2u);
  EXPECT_EQ(CallReal("string_width", {R(0.5)}), 40);
  EXPECT_EQ(CallReal("string_width", {Str("ab")}), 20);
  EXPECT_EQ(CallReal("string_height_ext", {Str("a#b#c"), R(20), R(-1)}), 52);
  EXPECT_EQ(CallReal("string_width_ext", {Str("aaa bbb"), R(40.4), R(-1)}), 65);  // the separation is not used
  EXPECT_EQ(CallReal("string_width_ext", {Str("aaa bbb"), R(-1), R(40.4)}), 30);
  EXPECT_EQ(Message(), "");
}

TEST_F(DrawingBuiltinsTest, AlignmentsAreFlooredAndUnknownOnesAreLeftAndTop) {
  const struct {
    double value;
    int32_t stored;
  } cases[] = {{1.7, 1}, {-0.2, 0}, {2, 2}, {3, 0}, {0.99, 0}};
  for (const auto& c : cases) {
    Call("draw_set_halign", {R(c.value)});
    Call("draw_set_valign", {R(c.value)});
    EXPECT_EQ(g_Text.halign, c.stored) << c.value;
    EXPECT_EQ(g_Text.valign, c.stored) << c.value;
  }
  Call("draw_set_font", {R(3)});  // no such font
  EXPECT_EQ(g_Text.currentFont, -1);
}

TEST_F(DrawingBuiltinsTest, DrawingNeverRewritesAScriptsText) {
  EXPECT_EQ(RunScript("var s; s = \"a#b\"; draw_text(0, 0, s); draw_text_ext(0, 0, s, -1, -1); return s;").text, "a#b");
  // The same constant measured twice: one line "a#b" both times.
  EXPECT_EQ(RunScript("var w; w = 0; repeat (2) { w += string_width(\"a\\#b\"); } return w;").real, 60);
}

TEST_F(DrawingBuiltinsTest, EveryTextDrawerDrawsItsLines) {
  const struct {
    const char* name;
    std::vector<ScriptValue> args;
  } cases[] = {
      {"draw_text_ext", {R(0), R(0), Str("ab#c"), R(-1), R(-1)}},
      {"draw_text_transformed", {R(0), R(0), Str("ab#c"), R(2), R(2), R(30)}},
      {"draw_text_ext_transformed", {R(0), R(0), Str("ab#c"), R(-1), R(-1), R(1), R(1), R(0)}},
      {"draw_text_colour", {R(0), R(0), Str("ab#c"), R(255), R(255), R(255), R(255), R(1)}},
      {"draw_text_color", {R(0), R(0), Str("ab#c"), R(255), R(255), R(255), R(255), R(1)}},
      {"draw_text_transformed_colour", {R(0), R(0), Str("ab#c"), R(1), R(1), R(0), R(1), R(2), R(3), R(4), R(1)}},
      {"draw_text_ext_colour", {R(0), R(0), Str("ab#c"), R(-1), R(-1), R(1), R(2), R(3), R(4), R(1)}},
      {"draw_text_ext_transformed_color",
       {R(0), R(0), Str("ab#c"), R(-1), R(-1), R(1), R(1), R(0), R(1), R(2), R(3), R(4), R(1)}},
  };
  for (const auto& c : cases) EXPECT_EQ(Quads(c.name, c.args), 3u) << c.name;
}

// ---- Sprites and backgrounds ----

TEST_F(DrawingBuiltinsTest, SpriteAndBackgroundArgumentsAreTruncatedFlooredAndRounded) {
  m_self.i_imageindex = 2.7f;
  const struct {
    const char* name;
    std::vector<ScriptValue> args;
    Source drawn;
    const char* why;
  } cases[] = {
      {"draw_sprite", {R(1), R(1), R(50), R(50)}, {8, 8}, "sprite 1 frame 1"},
      {"draw_sprite", {R(2.9), R(0), R(50), R(50)}, {0, 16}, "the sprite index is truncated"},
      {"draw_sprite", {R(1), R(-0.5), R(50), R(50)}, {16, 8}, "a negative frame is the instance's own, floored"},
      {"draw_sprite", {R(1), R(-1), R(50), R(50)}, {16, 8}, "sub-image -1"},
      {"draw_sprite", {R(1), R(1.9), R(50), R(50)}, {8, 8}, "the frame is floored"},
      {"draw_sprite_ext", {R(3), R(4), R(50), R(50), R(1), R(1), R(0), R(0xFFFFFF), R(1)}, {8, 24}, "frames wrap"},
      {"draw_background", {R(2.5), R(50), R(50)}, {100, 16}, "2.5 rounds to 2"},
      {"draw_background", {R(3.5), R(50), R(50)}, {100, 32}, "3.5 rounds to 4"},
      {"draw_background_ext", {R(1), R(0), R(0), R(1), R(1), R(0), R(0xFFFFFF), R(1)}, {100, 8}, "ext"},
  };
  for (const auto& c : cases) {
    const std::vector<Source> drawn = Drawn(c.name, c.args);
    ASSERT_EQ(drawn.size(), 1u) << c.why;
    EXPECT_EQ(drawn[0], c.drawn) << c.why;
  }
  EXPECT_EQ(Message(), "");
}

TEST_F(DrawingBuiltinsTest, MissingResourcesAndRefusedKindsReportAndDrawNothing) {
  Sprite_Data(3)->m_kind = SPRITE_VECTOR;
  Sprite_Data(2)->m_kind = SPRITE_SKELETON;
  const struct {
    const char* name;
    std::vector<ScriptValue> args;
    const char* message;
  } cases[] = {
      {"draw_self", {}, "Trying to draw non-existing sprite."},
      {"draw_sprite", {R(9), R(0), R(0), R(0)}, "Trying to draw non-existing sprite."},
      {"draw_sprite_stretched", {R(-1), R(0), R(0), R(0), R(5), R(5)}, "Trying to draw non-existing sprite."},
      {"draw_background", {R(5), R(0), R(0)}, "Trying to draw non-existing background."},
      {"draw_background_tiled", {R(-1), R(0), R(0)}, "Trying to draw non-existing background."},
      {"draw_sprite_part",
       {R(3), R(0), R(0), R(0), R(4), R(4), R(0), R(0)},
       "draw_sprite_part: not supported for vector sprites"},
      {"draw_sprite_part_ext",
       {R(2), R(0), R(0), R(0), R(4), R(4), R(0), R(0), R(1), R(1), R(0), R(1)},
       "draw_sprite_part_ext: not supported for skeleton based sprites"},
      {"draw_sprite_general",
       {R(3), R(0), R(0), R(0), R(4), R(4), R(0), R(0), R(1), R(1), R(0), R(1), R(1), R(1), R(1), R(1)},
       "draw_sprite_general: not supported for vector sprites"},
      {"draw_sprite_pos",
       {R(3), R(0), R(0), R(0), R(8), R(0), R(8), R(8), R(0), R(8), R(1)},
       "draw_sprite_pos: not supported for vector sprites"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Quads(c.name, c.args), 0u) << c.name;
    EXPECT_EQ(Message(), c.message) << c.name;
  }
}

TEST_F(DrawingBuiltinsTest, DrawSelfDrawsTheInstancesFrameAndTheOtherVariantsDrawTheirPart) {
  m_self.i_spriteindex = 1;
  m_self.i_imageindex = 1.5f;
  m_self.i_x = 40;
  const std::vector<Source> self = Drawn("draw_self", {});
  ASSERT_EQ(self.size(), 1u);
  EXPECT_EQ(self[0], (Source{8, 8}));
  EXPECT_EQ(Instance_GetDrawing(), nullptr);
  EXPECT_EQ(Quads("draw_sprite_part", {R(0), R(0), R(2), R(2), R(4), R(4), R(0), R(0)}), 1u);
  EXPECT_EQ(Quads("draw_sprite_stretched_ext", {R(0), R(0), R(0), R(0), R(16), R(16), R(0xFF), R(1)}), 1u);
  EXPECT_EQ(Quads("draw_background_part", {R(0), R(2), R(2), R(4), R(4), R(0), R(0)}), 1u);
  EXPECT_EQ(Quads("draw_background_stretched", {R(0), R(0), R(0), R(16), R(16)}), 1u);
  EXPECT_EQ(Message(), "");
}

TEST_F(DrawingBuiltinsTest, TiledVariantsCoverTheRoomAndDrawNothingWithoutOne) {
  EXPECT_EQ(Quads("draw_sprite_tiled", {R(0), R(0), R(0), R(0)}), 0u);
  EXPECT_EQ(Quads("draw_background_tiled_ext", {R(0), R(0), R(0), R(1), R(1), R(0xFFFFFF), R(1)}), 0u);
  Room()->m_Width = 32;
  Room()->m_Height = 16;
  EXPECT_GE(Quads("draw_sprite_tiled", {R(0), R(0), R(0), R(0)}), 8u);
  EXPECT_GE(Quads("draw_background_tiled", {R(0), R(0), R(0)}), 8u);
  EXPECT_EQ(Message(), "");
}

// ---- Textures ----

TEST_F(DrawingBuiltinsTest, TextureHandlesArePointersThatOnlyTheHandleTableResolves) {
  ScriptValue handle{};
  Call("sprite_get_texture", {R(1), R(2)}, &handle);
  ASSERT_EQ(handle.Kind(), VALUE_PTR);
  EXPECT_EQ(GR_Texture_Resolve(static_cast<double>(handle.bits)).entry, m_entries.At(5));
  EXPECT_EQ(CallReal("texture_exists", {handle}), 1);
  ScriptValue again{};
  Call("sprite_get_texture", {R(1), R(2)}, &again);
  EXPECT_EQ(again.bits, handle.bits);  // one handle per entry
  ScriptValue background{};
  Call("background_get_texture", {R(4)}, &background);
  EXPECT_EQ(GR_Texture_Resolve(static_cast<double>(background.bits)).entry, m_entries.At(16));
  // Numbers that are no texture and handles that name no entry are no texture.
  for (double bogus : {12345.0, static_cast<double>(kPageEntryHandleBase + 77), -7.0}) {
    EXPECT_EQ(CallReal("texture_exists", {R(bogus)}), 0) << bogus;
    EXPECT_EQ(CallReal("texture_get_width", {R(bogus)}), 1) << bogus;
  }
  EXPECT_EQ(CallReal("texture_exists", {R(m_page)}), 1);
  // Once the game's textures are freed, the handle names nothing.
  GR_Texture_FreeAll();
  EXPECT_EQ(CallReal("texture_exists", {handle}), 0);
}

TEST_F(DrawingBuiltinsTest, UVsAreTheEntrysShareOfItsPage) {
  const int32_t big = GR_Texture_CreateBlank(1024, 1024, false);
  TPageEntry e = Entry(512, 0, 64, 32);
  e.texturePage = static_cast<int16_t>(big);
  TPageEntry_Write(m_entries.At(0), e);
  const std::vector<double> expected = {0.5, 0.0, 0.5625, 0.03125};
  EXPECT_EQ(CallArray("sprite_get_uvs", {R(0), R(0)}), expected);
  m_self.i_imageindex = 0.9f;
  EXPECT_EQ(CallArray("sprite_get_uvs", {R(0), R(-1)}), expected);  // the instance's own frame
  EXPECT_EQ(CallArray("background_get_uvs", {R(1)}), (std::vector<double>{100.0 / 256, 8.0 / 128, 108.0 / 256, 16.0 / 128}));
  // A sprite drawn from its own texture covers it whole.
  Sprite_Data(2)->m_pageEntries.Clear();
  Sprite_Data(2)->m_textures.Push(m_page);
  EXPECT_EQ(CallArray("sprite_get_uvs", {R(2), R(0)}), (std::vector<double>{0, 0, 1, 1}));
  Sprite_Data(2)->m_textures.Clear();
  EXPECT_EQ(Message(), "");
}

TEST_F(DrawingBuiltinsTest, TextureQueriesOfMissingOrRefusedResourcesReport) {
  Sprite_Data(3)->m_kind = SPRITE_VECTOR;
  Sprite_Data(2)->m_kind = SPRITE_SKELETON;
  EXPECT_EQ(CallReal("sprite_get_texture", {R(3), R(0)}), -1);
  EXPECT_EQ(Message(), "sprite_get_texture: not supported for vector sprites");
  EXPECT_EQ(CallReal("sprite_get_texture", {R(2), R(0)}), -1);
  EXPECT_EQ(Message(), "sprite_get_texture: not supported for skeleton based sprites");
  Call("sprite_get_texture", {R(8), R(0)});
  EXPECT_EQ(Message(), "Trying to get texture from non-existing sprite.");
  Call("sprite_get_uvs", {R(2), R(0)});
  EXPECT_EQ(Message(), "sprite_get_uvs: not supported for vector sprites");
  Call("background_get_texture", {R(9)});
  EXPECT_EQ(Message(), "Trying to get texture from non-existing background.");
  Call("background_get_uvs", {R(-1)});
  EXPECT_EQ(Message(), "Trying to get texture from non-existing background.");
  Call("font_get_texture", {R(5)});
  EXPECT_EQ(Message(), "trying to get texture from non-existing font");
  Call("font_get_uvs", {R(0)});
  EXPECT_EQ(Message(), "trying to get texture from non-existing font");
}

// ---- Tiles ----

TEST_F(DrawingBuiltinsTest, TilesAreAddedQueriedChangedAndDeletedById) {
  Room();
  const double id = CallReal("tile_add", {R(1), R(2.5), R(3), R(16), R(8), R(10), R(20), R(100)});
  EXPECT_GE(id, 0);
  EXPECT_EQ(CallReal("tile_get_x", {R(id)}), 10);
  EXPECT_EQ(CallReal("tile_get_left", {R(id)}), 2);  // halves to even
  EXPECT_EQ(CallReal("tile_get_depth", {R(id)}), 100);
  EXPECT_EQ(CallReal("tile_get_blend", {R(id)}), 0xFFFFFF);
  EXPECT_EQ(CallReal("tile_get_visible", {R(id)}), 1);
  Call("tile_set_position", {R(id), R(5), R(6)});
  Call("tile_set_visible", {R(id), R(0.4)});
  Call("tile_set_region", {R(id), R(1), R(1), R(4), R(4)});
  EXPECT_EQ(CallReal("tile_get_y", {R(id)}), 6);
  EXPECT_EQ(CallReal("tile_get_visible", {R(id)}), 0);
  EXPECT_EQ(CallReal("tile_get_width", {R(id)}), 4);
  EXPECT_EQ(CallReal("tile_exists", {R(id)}), 1);
  EXPECT_EQ(CallReal("tile_get_count", {}), 1);
  EXPECT_EQ(CallReal("tile_get_id", {R(0)}), id);
  EXPECT_EQ(CallReal("tile_get_id", {R(1)}), -1);  // the count itself
  EXPECT_EQ(CallReal("tile_layer_find", {R(100), R(6), R(7)}), id);
  EXPECT_EQ(CallArray("tile_get_ids", {}), std::vector<double>{id});
  EXPECT_EQ(CallArray("tile_get_ids_at_depth", {R(100)}), std::vector<double>{id});
  EXPECT_EQ(CallArray("tile_get_ids_at_depth", {R(55)}), std::vector<double>{0});
  EXPECT_EQ(Message(), "");
  Call("tile_delete", {R(id)});
  EXPECT_EQ(CallReal("tile_get_x", {R(id)}), 0);
  EXPECT_EQ(Message(), "Tile does not exist.");
  EXPECT_EQ(CallReal("tile_exists", {R(id)}), 0);
  EXPECT_EQ(Message(), "");
  EXPECT_EQ(CallReal("tile_add", {R(7), R(0), R(0), R(16), R(8), R(0), R(0), R(0)}), -1);
  EXPECT_EQ(Message(), "Background does not exist.");
}

TEST_F(DrawingBuiltinsTest, TileListsCheckTheirArgumentsOnlyWhenTheRoomHasTiles) {
  Room();
  EXPECT_TRUE(CallArray("tile_get_ids_at_depth", {Str("x")}).empty());
  EXPECT_EQ(Message(), "");  // no tiles: nothing happens
  Call("tile_add", {R(0), R(0), R(0), R(8), R(8), R(0), R(0), R(0)});
  Call("tile_get_ids_at_depth", {Str("x")});
  EXPECT_EQ(Message(), "Incorrect arguments");
  Call("tile_get_ids", {R(1)});
  EXPECT_EQ(Message(), "Incorrect argument count");
  Call("tile_get_id", {Str("0")});
  EXPECT_EQ(Message(), "Incorrect argument type");
}

TEST_F(DrawingBuiltinsTest, WithoutARoomTilesActAsOnARoomWithoutTiles) {
  EXPECT_EQ(CallReal("tile_get_count", {}), 0);
  EXPECT_EQ(CallReal("tile_exists", {R(1)}), 0);
  EXPECT_EQ(CallReal("tile_get_id", {R(0)}), -1);
  EXPECT_EQ(CallReal("tile_layer_find", {R(0), R(0), R(0)}), -1);
  EXPECT_TRUE(CallArray("tile_get_ids", {}).empty());
  Call("tile_layer_shift", {R(0), R(1), R(1)});
  EXPECT_EQ(Message(), "");
  EXPECT_EQ(CallReal("tile_get_x", {R(1)}), 0);
  EXPECT_EQ(Message(), "Tile does not exist.");
  EXPECT_EQ(CallReal("tile_add", {R(0), R(0), R(0), R(8), R(8), R(0), R(0), R(0)}), -1);
  EXPECT_EQ(Message(), "");
}

TEST_F(DrawingBuiltinsTest, TileLayersHideShiftMoveAndDelete) {
  Room();
  const double a = CallReal("tile_add", {R(0), R(0), R(0), R(8), R(8), R(0), R(0), R(10)});
  const double b = CallReal("tile_add", {R(0), R(0), R(0), R(8), R(8), R(20), R(0), R(10)});
  const double c = CallReal("tile_add", {R(0), R(0), R(0), R(8), R(8), R(0), R(0), R(30)});
  Call("tile_layer_hide", {R(10)});
  EXPECT_EQ(CallReal("tile_get_visible", {R(a)}), 0);
  EXPECT_EQ(CallReal("tile_get_visible", {R(c)}), 1);
  Call("tile_layer_show", {R(10)});
  EXPECT_EQ(CallReal("tile_get_visible", {R(b)}), 1);
  Call("tile_layer_shift", {R(10), R(1), R(2)});
  EXPECT_EQ(CallReal("tile_get_x", {R(b)}), 21);
  Call("tile_layer_delete_at", {R(10), R(22), R(3)});
  EXPECT_EQ(CallReal("tile_exists", {R(b)}), 0);
  Call("tile_layer_depth", {R(10), R(30)});
  EXPECT_EQ(CallArray("tile_get_ids_at_depth", {R(30)}), (std::vector<double>{a, c}));
  Call("tile_layer_delete", {R(30)});
  EXPECT_EQ(CallReal("tile_get_count", {}), 0);
}

}  // namespace
}  // namespace builtintest
