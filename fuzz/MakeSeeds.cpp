// Writes a fuzz harness's seed corpus into a folder.
//   load     valid game data files made by the test game-data builder (every header version,
//            both option layouts, code with its reference chains, strings, texture pages and
//            textures, sprites of every kind, the chunks of later subsystems, rooms written before
//            the backgrounds they stretch) and a few corrupted variants of them
//   compile  script texts like the compiler tests', as programs and as expressions
//   debug    a game with code entries and its debug companion (line tables, sources with line
//            markers, instance names), and a companion whose line table lies outside its chunk
//   image    the decoder tests' images (PNG of every colour type, JPEG, GIF, BMP, DDS and the
//            32-bit bitmap's stream forms), each behind the byte that picks its reader
// The format harness writes its own seeds (FUZZ_WRITE_SEEDS).
#include <cstdio>
#include <string>
#include <vector>

#include <zlib.h>

#include "testlib/GameDataBuilder.h"
#include "testlib/ImageFixtures.h"

using namespace testsupport;

namespace {

// A 1x1 RGBA image.
const std::vector<uint8_t> kTinyPng = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1F, 0x15, 0xC4,
    0x89, 0x00, 0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x00, 0x01, 0x00, 0x00,
    0x05, 0x00, 0x01, 0x0D, 0x0A, 0x2D, 0xB4, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE,
    0x42, 0x60, 0x82};

// An empty common resource table, for the chunks whose readers come later.
std::vector<uint8_t> EmptyTable() { return {0, 0, 0, 0}; }

// Two objects, the second a child of the first, with handlers of several kinds (a collision
// with each other among them): with source text when `text` is given, else naming code entries
// 0 and 2.
std::vector<ObjectEntry> Objects(const std::optional<std::string>& text) {
  ObjectEntry parent;
  parent.name = "enemy";
  parent.physics = true;
  parent.points = {{0, 0}, {8, 0}, {8, 8}};
  parent.events[0] = {{0, {text, 0}}};
  parent.events[3] = {{0, {text, 2}}, {2, {text, 0}}};
  parent.events[4] = {{1, {text, 2}}};
  ObjectEntry child;
  child.name = "enemy_small";
  child.parent = 0;
  child.spriteWord = static_cast<int32_t>(0x80000002u);
  child.events[9] = {{200, {text, 0}}};
  child.events[4] = {{0, {text, 2}}};
  return {parent, child};
}

// Sprites of every kind: bitmap frames with masks (one per frame and one for all), a frame
// without a page entry, an empty slot, a vector block and a skeleton.
std::vector<SpriteEntry> Sprites() {
  SpriteEntry player;
  player.name = "spr_player";
  player.width = 9;
  player.height = 3;
  player.right = 8, player.bottom = 2;
  player.precise = 1;
  player.xOrigin = 4, player.yOrigin = 1;
  player.frames = {0, 1, -1};
  player.masks = {std::vector<uint8_t>(27, 1)};
  SpriteEntry wall;
  wall.name = "spr_wall";
  wall.width = 2;
  wall.height = 2;
  wall.frames = {2, 2};
  wall.masks = {{1, 0, 0, 1}, {0, 1, 1, 0}};
  SpriteEntry empty;
  empty.present = false;
  SpriteEntry vector;
  vector.name = "spr_shape";
  vector.kind = 1;
  vector.vectorBlock = {0, 0, 0, 0, 0, 0, 0, 0};
  SpriteEntry bones;
  bones.name = "spr_bones";
  bones.kind = 2;
  bones.json = "{\"skeleton\":{}}";
  bones.atlas = "page.png";
  bones.image = kTinyPng;
  bones.pageWidth = 1;
  bones.pageHeight = 1;
  return {player, wall, empty, vector, bones};
}

// A game without bytecode: scripts, a time line and objects as source text.
void TextGame(GameDataBuilder& g) {
  g.Gen8();
  g.Scpt({{"player_hit", std::string("return argument0 * 2")}, {"empty", std::nullopt, 0}});
  g.Tmln({{"intro", {{30, {std::string("x = 3")}}, {10, {std::string("x = 1")}}}}});
  g.Objt(Objects(std::string("x = player_hit(1)")));
  g.Strg();
}

// A room with a visible background, one view, an instance with creation code and one without,
// and a tile.
RoomEntry Rooms() {
  RoomEntry room;
  room.name = "start";
  room.caption = "Start";
  room.flags = 1;
  (*room.backgrounds)[0] = RoomBackgroundEntry{true, false, 0, 4, 8, true, false, 1, 0, false};
  (*room.views)[0].visible = true;
  room.instances = std::vector<RoomInstanceEntry>{{10, 20, 0, 100001, std::nullopt, 0},
                                                  {30, 40, 0, 100002, std::nullopt, -1}};
  room.tiles = std::vector<RoomTileEntry>{{0, 0, 0, 0, 0, 16, 16, 1000, 10000001}};
  room.physics = true;
  return room;
}

// Paths: a straight closed one, a smooth open one, an empty slot and one without points.
std::vector<PathEntry> Paths() {
  PathEntry square;
  square.name = "pth_square";
  square.points = {{0, 0, 100}, {32, 0, 50}, {32, 32, 100}, {0, 32, 100}};
  PathEntry curve;
  curve.name = "pth_curve";
  curve.kind = 1;
  curve.closed = 0;
  curve.precision = 8;
  curve.points = {{0, 0, 100}, {64, 0, 100}, {64, 64, 100}};
  PathEntry empty;
  empty.present = false;
  PathEntry none;
  none.name = "pth_none";
  return {square, curve, empty, none};
}

// A whole game: every chunk kind, in the order a file places them.
void FullGame(GameDataBuilder& g, bool newOptions, bool stringsLast) {
  GameHeader h;
  h.roomOrder = {0};
  g.Gen8(h);
  GameOptions o;
  o.constants = {{"VersionMajor", "1"}, {"VersionMinor", "7b"}, {"c_level", "3"}};
  if (newOptions) {
    g.OptnNew(o);
  } else {
    g.OptnOld(o);
  }
  for (const char* tag : {"EXTN", "SOND", "AGRP"}) g.Raw(tag, EmptyTable());
  g.Sprt(Sprites());
  g.Bgnd({BackgroundEntry{"back", false, true, false, 0}});
  g.Path(Paths());
  g.Scpt({{"player_hit", std::nullopt, 0}, {"empty", std::nullopt, 1}});
  g.Raw("SHDR", EmptyTable());
  FontEntry font;
  font.name = "fnt_main";
  font.tpag = 0;
  font.glyphs = {{66, 4, 0, 4, 8, 5, 0}, {65, 0, 0, 4, 8, 5, -1}};  // stored out of order
  FontEntry gap;
  gap.present = false;
  g.Font({font, gap}, {65, 66, 67});
  g.Tmln({{"intro", {{20, {std::nullopt, 2}}, {10, {std::nullopt, 0}}}}});
  g.Objt(Objects(std::nullopt));
  g.Room({Rooms()});
  g.Raw("DAFL");
  g.Tpag({{0, 0, 1, 1, 0, 0, 1, 1, 1, 1, 0}, {0, 0, 1, 1, 0, 0, 1, 1, 1, 1, 1}, {0, 0, 1, 1, 0, 0, 1, 1, 1, 1, -1}});
  g.Code({{"main", CodeWriter{}
                                  .VarRef(0xC0500000, "score", 1)
                                  .Word(0x84000001)
                                  .VarRef(0x45500000, "x", 0)
                                  .FuncRef(0xD9020000, "script_execute")
                                  .Word(0x9C000000)},
          CodeEntry::Empty(),
          {"obj_step", CodeWriter{}.VarRef(0xC0500000, "score", 7).Word(0x9C000000)}});
  g.Vari().Func();
  if (!stringsLast) g.Strg({"Hello"});
  g.Txtr({{1, kTinyPng}, {0, {}}});
  g.Raw("AUDO", EmptyTable());
  if (stringsLast) g.Strg({"Hello"});
}

int written = 0;

bool Write(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = dir + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", path.c_str());
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (ok) ++written;
  return std::fclose(f) == 0 && ok;
}

// A compile seed: the mode byte, then the text.
std::vector<uint8_t> Text(uint8_t mode, const std::string& text) {
  std::vector<uint8_t> bytes{mode};
  bytes.insert(bytes.end(), text.begin(), text.end());
  return bytes;
}

void LoadSeeds(const std::string& dir, bool& ok) {
  GameDataBuilder full;
  FullGame(full, true, false);
  ok &= Write(dir, "full-new-options", full.Build());
  GameDataBuilder old;
  FullGame(old, false, false);
  ok &= Write(dir, "full-old-options", old.Build());

  for (int version : {7, 8, 9, 10, 11, 12, 13, 14, 15}) {
    GameHeader h;
    h.version = static_cast<uint8_t>(version);
    h.roomOrder = {1, 0, 2};
    GameDataBuilder g;
    g.Gen8(h).OptnOld().Strg();
    ok &= Write(dir, "header-v" + std::to_string(version), g.Build());
  }

  GameDataBuilder text;
  TextGame(text);
  ok &= Write(dir, "text-game", text.Build());

  GameDataBuilder unknown;
  unknown.Gen8().Raw("ABCD", {1, 2, 3, 4}).Strg();
  ok &= Write(dir, "unknown-chunk", unknown.Build());

  const std::vector<std::pair<std::string, Corruption>> variants = {
      {"form-size", corrupt::FormSizeOffByOne()},
      {"chunk-past-end", corrupt::ChunkPastEnd("TPAG")},
      {"code-count", corrupt::CountTooLarge("CODE")},
      {"code-length", corrupt::CountTooLarge("CODE", -1, 1)},
      {"tpag-count", corrupt::CountTooLarge("TPAG")},
      {"code-offset", corrupt::OffsetOutsideImage("CODE")},
      {"vari-13", corrupt::PayloadSize("VARI", 13)},
      {"chain", corrupt::ChainLeavesCodeEntry("score")},
      {"option-constants", corrupt::OptionConstantCount(0x7FFFFFFF)},
      {"duplicate-header", corrupt::DuplicateChunk("GEN8")},
      {"object-event-list", corrupt::OffsetOutsideImage("OBJT", 12)},
      {"timeline-moment", corrupt::OffsetOutsideImage("TMLN", 2)},
      {"script-count", corrupt::CountTooLarge("SCPT")},
      {"sprite-count", corrupt::CountTooLarge("SPRT")},
      {"sprite-entry", corrupt::OffsetOutsideImage("SPRT", 0)},
      {"sprite-page-entry", corrupt::OffsetOutsideImage("SPRT", 5)},
      {"sprite-frame-count", corrupt::CountTooLarge("SPRT", -1, 1)},
      {"sprite-mask-count", corrupt::CountTooLarge("SPRT", -1, 2)},
      {"sprite-skeleton-length", corrupt::CountTooLarge("SPRT", -1, 5)},
      {"room-count", corrupt::CountTooLarge("ROOM")},
      {"room-entry", corrupt::OffsetOutsideImage("ROOM", 0)},
      {"room-list", corrupt::OffsetOutsideImage("ROOM", 4)},
      {"room-item", corrupt::OffsetOutsideImage("ROOM", 8)},
      {"background-entry", corrupt::OffsetOutsideImage("BGND", 0)},
      {"background-count", corrupt::CountTooLarge("BGND")},
      {"background-name", corrupt::OffsetOutsideImage("BGND", 1)},
      {"background-page-entry", corrupt::OffsetOutsideImage("BGND", 2)},
      {"path-count", corrupt::CountTooLarge("PATH")},
      {"path-point-count", corrupt::CountTooLarge("PATH", 0x10000000, 1)},
      {"path-negative-point-count", corrupt::CountTooLarge("PATH", 0xFFFFFFFFu, 2)},
      {"font-100", corrupt::PayloadSize("FONT", 100)},
      {"font-entry", corrupt::OffsetOutsideImage("FONT", 0)},
      {"font-glyph", corrupt::OffsetOutsideImage("FONT", 4)},
      {"font-glyph-count", corrupt::CountTooLarge("FONT", -1, 1)},
  };
  for (const auto& [name, corruption] : variants) ok &= Write(dir, "bad-" + name, full.Build({corruption}));

  // A room stretching a background, written before the background chunk: the loader reads the
  // backgrounds ahead of the rooms, and a broken background chunk refuses the file there.
  RoomEntry stretched;
  stretched.name = "stretched";
  stretched.codeWord = 0;
  (*stretched.backgrounds)[0] = RoomBackgroundEntry{true, false, 0, 0, 0, true, true, 0, 0, true};
  stretched.tiles = std::vector<RoomTileEntry>{{0, 0, 0, 0, 0, 16, 16, 1000, 10000001}};
  GameDataBuilder roomFirst;
  roomFirst.Gen8().Room({stretched}).Bgnd({BackgroundEntry{"back", true, false, true, 0}});
  roomFirst.Tpag({{0, 0, 1, 1, 0, 0, 1, 1, 64, 32, 0}}).Txtr({{0, kTinyPng}}).Strg();
  ok &= Write(dir, "room-before-backgrounds", roomFirst.Build());
  ok &= Write(dir, "bad-room-before-background-page-entry", roomFirst.Build({corrupt::OffsetOutsideImage("BGND", 2)}));
  ok &= Write(dir, "bad-room-before-background-count", roomFirst.Build({corrupt::CountTooLarge("BGND")}));
  // A path of precision -1 (held to 0 when loaded) and one of precision 99, smooth and closed.
  GameDataBuilder precision;
  PathEntry below, above;
  below.name = "pth_below";
  below.kind = 1;
  below.precision = -1;
  below.points = {{0, 0, 100}, {300, 0, 100}, {300, 300, 100}};
  above = below;
  above.name = "pth_above";
  above.precision = 99;
  precision.Gen8().Path({below, above}).Strg();
  ok &= Write(dir, "path-precision", precision.Build());
  GameDataBuilder last;
  FullGame(last, true, true);
  ok &= Write(dir, "bad-unterminated", last.Build({corrupt::NameWithoutTerminator("Hello")}));
}

// Script texts as the compiler tests write them: every statement kind, every operator, folding,
// calls, arrays, with, switch, locals and globals, and a few errors. The first byte of a seed is
// the harness's mode (1: expression).
void CompileSeeds(const std::string& dir, bool& ok) {
  const char* programs[] = {
      "globalvar g; g = \"hi\"; if (g == 2.5) g = f(1) else exit; scr(g)",
      "var i, s; s = 0; for (i = 0; i < 10; i += 1) { if (i mod 2 == 0) continue; s += i } return s",
      "repeat (3) { x = x + 1 } while (x < 10) x *= 2; do { x -= 1 } until (x <= 0)",
      "switch (a) { case 1: b = 2; break; case \"s\": b = 3; default: b = 4 }",
      "with (all) { hp -= 1; if (hp <= 0) other.score += 1 }",
      "a[1, 2] = 3; a[0] = \"x\"; b = a[1, 2] * 2; global.c = -a[1, 2]",
      "x = 1 + 2 * 3 - 4 / 5 div 6 mod 7 | 8 & 9 ^ 10 << 1 >> 2; y = !x && x || x ^^ ~x",
      "s = 3 * \"ab\" + \"cd\"; t = 'single'; u = $FF + 0.5",
      "if (0) { x = 1000000000 * \"0123456789\" }",
      "var v; v = g(1, 2); self.w = v; noone.x = 1; exit",
      "{ x = 1; { y = 2; } } ;;; return (x + y)",
      "#line obj_step 12\nx = 1\n#line scr 3\ny = \"a\" + 1",
      "a = f(f(f(f(f(1)))), 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16)",
      "x = ((((((((((1))))))))))",
      "case 1: x = 1",
      "x = 'unterminated",
  };
  const char* expressions[] = {
      "2*3+1", "'ab' + 'cd'", "7 div 0.5", "1 << 33", "a + 1 + 2", "-'a'", "'s'.x", "f(1, 2) + scr(3)",
      "x[1 + 1, 2]", "!0.4 == not 1",
  };
  int n = 0;
  for (const char* text : programs) {
    ok &= Write(dir, "program-" + std::to_string(n++), Text(0, text));
  }
  for (const char* text : expressions) {
    ok &= Write(dir, "expression-" + std::to_string(n++), Text(1, text));
  }
  ok &= Write(dir, "words", Text(2, std::string("\x00\x00\x06\xc0\x00\x00\x00\x00\x01\x00\x0f\xc0", 12)));
}

// The game and companion of the loader tests: two code entries, the first with a line table,
// the second with its source text (with a line marker), and an instance name.
std::vector<uint8_t> DebugCompanion(bool lineInsideChunk) {
  GameDataBuilder d;
  d.Chunk("DBGI", [&](ByteWriter& w) {
    w.U32(2).Offset(lineInsideChunk ? "lines0" : "text0").Offset("lines1");
    w.Label("lines0").U32(2).U32(0).U32(0).U32(4).U32(7);
    w.Label("lines1").U32(2).U32(0).U32(3).U32(8).U32(20);
  });
  d.Chunk("SCPT", [](ByteWriter& w) { w.U32(2).Offset("record0").Offset("record1"); });
  d.Chunk("INST", [](ByteWriter& w) { w.U32(1).U32(0); });
  d.Chunk("DATA", [](ByteWriter& w) {
    w.Label("record0").Offset("text0").Label("record1").Offset("text1");
    w.Label("text0").Raw("x = 1;\ny = 2;", 13).Zeros(1);
    w.Label("text1").Raw("#line obj 7\na = 1\nb = 2", 23).Zeros(1);
  });
  return d.Build();
}

void DebugSeeds(const std::string& dir, bool& ok) {
  GameDataBuilder game;
  game.Gen8().Code({{"a", CodeWriter{0x9D000000u}.Word(0x9D000000u)}, {"b", CodeWriter{0x9D000000u}.Word(0x9D000000u).Word(0x9D000000u)}}).Strg();
  const std::vector<uint8_t> gameBytes = game.Build();
  for (bool inside : {true, false}) {
    std::vector<uint8_t> seed(4);
    const uint32_t size = static_cast<uint32_t>(gameBytes.size());
    for (int i = 0; i < 4; ++i) seed[i] = static_cast<uint8_t>(size >> (8 * i));
    seed.insert(seed.end(), gameBytes.begin(), gameBytes.end());
    const std::vector<uint8_t> companion = DebugCompanion(inside);
    seed.insert(seed.end(), companion.begin(), companion.end());
    ok &= Write(dir, inside ? "game-and-companion" : "companion-line-table-outside", seed);
  }
}

// ---- Images ----

// The image harness's readers, by their selector byte.
enum ImageReader : uint8_t { kPng = 0, kJpeg = 1, kGif = 2, kBmp = 3, kDds = 4, kImageFile = 5, kBitmap32 = 6 };

std::vector<uint8_t> Picked(uint8_t reader, const std::vector<uint8_t>& file) {
  std::vector<uint8_t> seed{reader};
  seed.insert(seed.end(), file.begin(), file.end());
  return seed;
}

void PutWord(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

PngImage Png(uint32_t w, uint32_t h, int colourType, int depth, std::vector<uint8_t> rows,
             std::vector<uint8_t> palette = {}, std::vector<uint8_t> transparency = {}, bool interlaced = false) {
  PngImage p;
  p.width = w;
  p.height = h;
  p.colourType = colourType;
  p.bitDepth = depth;
  p.rows = std::move(rows);
  p.palette = std::move(palette);
  p.transparency = std::move(transparency);
  p.interlaced = interlaced;
  return p;
}

// A small picture with some variety in it: n bytes.
std::vector<uint8_t> Ramp(size_t n, int step = 7) {
  std::vector<uint8_t> b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * step + (i / 5) * 3);
  return b;
}

void ImageSeeds(const std::string& dir, bool& ok) {
  const std::vector<uint8_t> twoColours = {0x10, 0x20, 0x30, 0xA0, 0xB0, 0xC0};
  const std::vector<std::pair<std::string, PngImage>> pngs = {
      {"grey", Png(2, 1, 0, 8, {0x40, 0x80})},
      {"palette", Png(2, 1, 3, 8, {0, 1}, twoColours)},
      {"palette-trns", Png(2, 1, 3, 8, {0, 1}, twoColours, {0x80})},
      {"palette-4bit", Png(2, 1, 3, 4, {0x01}, twoColours)},
      {"grey-1bit", Png(9, 2, 0, 1, {0x80, 0x00, 0x55, 0x80})},
      {"grey-alpha", Png(2, 1, 4, 8, {0x40, 0x7F, 0x80, 0x00})},
      {"rgb-trns", Png(2, 1, 2, 8, {1, 2, 3, 4, 5, 6}, {}, {0, 4, 0, 5, 0, 6})},
      {"rgba", Png(8, 8, 6, 8, Ramp(256))},
      {"rgb16", Png(3, 2, 2, 16, Ramp(36))},
      {"rgba16-interlaced", Png(9, 9, 6, 16, Ramp(9 * 9 * 8), {}, {}, true)},
  };
  for (const auto& [name, image] : pngs) {
    const std::vector<uint8_t> file = MakePNG(image);
    ok &= Write(dir, "png-" + name, Picked(kPng, file));
    ok &= Write(dir, "file-png-" + name, Picked(kImageFile, file));
  }

  const std::vector<uint8_t> grey = Ramp(16 * 16, 13);
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> jpegs = {
      {"grey", MakeJPEG(16, 16, 1, grey)},
      {"grey-progressive", MakeJPEG(16, 16, 1, grey, true)},
      {"rgb", MakeJPEG(9, 7, 3, Ramp(9 * 7 * 3))},
      {"cmyk", MakeJPEG(8, 8, 4, Ramp(8 * 8 * 4))},
  };
  for (const auto& [name, file] : jpegs) {
    ok &= Write(dir, "jpeg-" + name, Picked(kJpeg, file));
    ok &= Write(dir, "file-jpeg-" + name, Picked(kImageFile, file));
  }

  std::vector<uint8_t> eight;
  for (int i = 0; i < 8; ++i) eight.insert(eight.end(), {uint8_t(i * 10), uint8_t(i * 20), uint8_t(i * 30)});
  GifFrame first;
  first.width = 3;
  first.height = 2;
  first.indices = {5, 1, 5, 2, 5, 0};
  first.controls = {{1, 0, 0, 5}};
  GifFrame local;
  local.left = 1;
  local.top = 1;
  local.width = 2;
  local.height = 4;
  local.interlaced = true;
  local.colours = {255, 0, 0, 0, 255, 0, 0, 0, 255};
  local.indices = {0, 1, 2, 0, 1, 2, 0, 1};
  ok &= Write(dir, "gif-control", Picked(kGif, MakeGIF({3, 2, eight, {first}})));
  ok &= Write(dir, "gif-local-interlaced", Picked(kGif, MakeGIF({4, 6, {}, {local}})));
  ok &= Write(dir, "gif-two-frames", Picked(kGif, MakeGIF({4, 6, eight, {first, local}})));

  std::vector<uint8_t> palette(256 * 4, 0);
  palette[4] = 0x10, palette[5] = 0x20, palette[6] = 0x30;
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> bmps = {
      {"8bit", MakeBMP(4, 2, 8, palette, std::vector<uint8_t>(8, 1))},
      {"24bit", MakeBMP(4, 3, 24, {}, Ramp(36))},
      {"32bit", MakeBMP(1, 3, 32, {}, Ramp(12))},
  };
  for (const auto& [name, file] : bmps) {
    ok &= Write(dir, "bmp-" + name, Picked(kBmp, file));
    ok &= Write(dir, "file-bmp-" + name, Picked(kImageFile, file));
  }

  const std::vector<std::pair<std::string, std::vector<uint8_t>>> dds = {
      {"dxt1", MakeDDS(8, 4, "DXT1", Ramp(16))},
      {"dxt3", MakeDDS(4, 4, "DXT3", Ramp(16))},
      {"dxt5-levels", MakeDDS(5, 3, "DXT5", Ramp(32), 3)},
      {"pixels", MakeDDSPixels(2, 2, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, Ramp(16))},
      {"pixels-565", MakeDDSPixels(2, 1, {0x7C00, 0x3E0, 0x1F, 0}, Ramp(8))},
  };
  for (const auto& [name, file] : dds) {
    ok &= Write(dir, "dds-" + name, Picked(kDds, file));
    ok &= Write(dir, "file-dds-" + name, Picked(kImageFile, file));
  }

  // The 32-bit bitmap's stream forms: 540 (compressed pixels) and 800 (raw).
  const std::vector<uint8_t> pixels = Ramp(3 * 2 * 4);
  std::vector<uint8_t> packed(compressBound(pixels.size()));
  uLongf packedSize = packed.size();
  compress(packed.data(), &packedSize, pixels.data(), pixels.size());
  std::vector<uint8_t> v540;
  for (uint32_t v : {540u, 1u, 3u, 2u, static_cast<uint32_t>(packedSize)}) PutWord(v540, v);
  v540.insert(v540.end(), packed.begin(), packed.begin() + static_cast<long>(packedSize));
  std::vector<uint8_t> v800;
  for (uint32_t v : {800u, 3u, 2u, static_cast<uint32_t>(pixels.size())}) PutWord(v800, v);
  v800.insert(v800.end(), pixels.begin(), pixels.end());
  ok &= Write(dir, "bitmap32-540", Picked(kBitmap32, v540));
  ok &= Write(dir, "bitmap32-800", Picked(kBitmap32, v800));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_fuzz_seeds load|compile|debug|image FOLDER\n");
    return 2;
  }
  const std::string which = argv[1];
  const std::string dir = argv[2];
  bool ok = true;
  if (which == "load") {
    LoadSeeds(dir, ok);
  } else if (which == "compile") {
    CompileSeeds(dir, ok);
  } else if (which == "debug") {
    DebugSeeds(dir, ok);
  } else if (which == "image") {
    ImageSeeds(dir, ok);
  } else {
    std::fprintf(stderr, "make_fuzz_seeds: no seeds for %s\n", which.c_str());
    return 2;
  }
  std::printf("make_fuzz_seeds: %d files in %s\n", written, dir.c_str());
  return ok ? 0 : 1;
}
