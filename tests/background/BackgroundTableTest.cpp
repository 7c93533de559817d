// The background table: what the background chunk fills and the order it is read in, the
// queries, backgrounds made from files, URLs, colours, the screen and surfaces, and deleting,
// assigning and duplicating them.
#include <filesystem>
#include <iterator>
#include <utility>
#include <string>
#include <vector>

#include "BackgroundFixture.h"
#include "background/Background_Main.h"
#include "code/Code_Function.h"
#include "graphics/Graphics_Bitmap32.h"
#include "graphics/Graphics_Transform.h"
#include "networking/Networking_Http.h"
#include "room/Room_Class.h"
#include "room/Room_Main.h"
#include "support/Support_Data_Structures.h"
#include "testlib/DsMapFixtures.h"

namespace backgroundtest {
namespace {

using testsupport::BackgroundEntry;
using testsupport::GameDataBuilder;
using testsupport::MapValue;
using testsupport::RoomBackgroundEntry;
using testsupport::RoomEntry;
using testsupport::Str;
using testsupport::TPageEntryFields;

ScriptValue Real(double v) { return RealValue(v); }

// The pixel (x, y) of a background's bitmap; 0 without one.
uint32_t PixelOf(int32_t index, int32_t x, int32_t y) {
  const CBackground* b = Background_Data(index);
  if (b == nullptr || b->m_Bitmap == nullptr) return 0;
  return b->m_Bitmap->GetData()->pixels[y * b->m_Bitmap->GetWidth() + x];
}

TEST_F(BackgroundTest, TheFamilyIsRegisteredInItsOrderWithItsArgumentCounts) {
  // Call numbers follow from the order, so compiled code depends on it.
  const std::pair<const char*, int32_t> family[] = {
      {"background_name", 1}, {"background_exists", 1}, {"background_get_name", 1}, {"background_get_width", 1},
      {"background_get_height", 1}, {"background_get_transparent", 1}, {"background_get_smooth", 1},
      {"background_get_preload", 1}, {"background_set_alpha_from_background", 2}, {"background_create_color", 3},
      {"background_create_colour", 3}, {"background_replace", 4}, {"background_create_from_screen", 6},
      {"background_create_from_surface", 7}, {"background_create_gradient", 5}, {"background_add", 3},
      {"background_add_background", 1}, {"background_replace_background", 2}, {"background_delete", 1},
      {"background_duplicate", 1}, {"background_assign", 2}, {"background_save", 2},
  };
  int32_t first = -1;
  ASSERT_TRUE(FindFunctionIndex("background_name", &first));
  for (int32_t i = 0; i < static_cast<int32_t>(std::size(family)); ++i) {
    const char* name = nullptr;
    int32_t argCount = 0;
    ASSERT_TRUE(GetBuiltinFunctionInfo(first + i, &name, nullptr, &argCount));
    EXPECT_STREQ(name, family[i].first);
    EXPECT_EQ(argCount, family[i].second) << name;
  }
}

// Three slots: "sky" (64 x 32, transparent and preloaded), an empty one, and "flat" (no page
// entry, smooth).
GameDataBuilder ThreeBackgrounds() {
  GameDataBuilder g;
  g.Gen8();
  TPageEntryFields page;
  page.width = page.height = page.cropWidth = page.cropHeight = 8;
  page.frameWidth = 64;
  page.frameHeight = 32;
  g.Tpag({page});
  BackgroundEntry empty;
  empty.present = false;
  g.Bgnd({{"sky", true, false, true, 0}, empty, {"flat", false, true, false, std::nullopt}});
  g.Strg();
  return g;
}

TEST_F(BackgroundTest, ChunkEntriesFillTheirSlotsAndAnEmptyEntryKeepsItsIndex) {
  ASSERT_TRUE(LoadGame(ThreeBackgrounds().Build())) << console.Text();
  struct Case {
    double index;
    double exists, width, height, transparent, smooth, preload;
    const char* name;
  };
  const Case cases[] = {
      {0, 1, 64, 32, 1, 0, 1, "sky"},
      {1, 0, -1, -1, -1, -1, -1, "<undefined>"},  // the empty entry
      {2, 1, 0, 0, 0, 1, 0, "flat"},              // no page entry: 0 x 0
      {3, 0, -1, -1, -1, -1, -1, "<undefined>"},
      {-1, 0, -1, -1, -1, -1, -1, "<undefined>"},
      {0.5, 1, 64, 32, 1, 0, 1, "sky"},           // indices round halves to even
      {1.5, 1, 0, 0, 0, 1, 0, "flat"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(Call("background_exists", {Real(c.index)}), c.exists);
    EXPECT_EQ(Call("background_get_width", {Real(c.index)}), c.width);
    EXPECT_EQ(Call("background_get_height", {Real(c.index)}), c.height);
    EXPECT_EQ(Call("background_get_transparent", {Real(c.index)}), c.transparent);
    EXPECT_EQ(Call("background_get_smooth", {Real(c.index)}), c.smooth);
    EXPECT_EQ(Call("background_get_preload", {Real(c.index)}), c.preload);
    EXPECT_EQ(CallText("background_name", {Real(c.index)}), c.name);
    EXPECT_EQ(CallText("background_get_name", {Real(c.index)}), c.name);
  }
  EXPECT_EQ(Background_FindByName("flat"), 2);
  EXPECT_EQ(Background_FindByName("Flat"), -1);
  EXPECT_EQ(Background_FindByName(nullptr), -1);
  // A background of the game data draws from its page: no bitmap, no own texture.
  const CBackground* sky = Background_Data(0);
  EXPECT_EQ(sky->m_Bitmap, nullptr);
  EXPECT_EQ(sky->m_Texture, -1);
  EXPECT_EQ(sky->GetTPE().kind, TextureHandleKind::kEntry);
  EXPECT_EQ(Background_Data(2)->GetTPE().kind, TextureHandleKind::kNone);
}

// A room stretching background 0 over 640 x 480; the background is 64 x 32.
std::vector<uint8_t> StretchedRoomGame(bool roomFirst) {
  GameDataBuilder g;
  g.Gen8();
  TPageEntryFields page;
  page.frameWidth = 64;
  page.frameHeight = 32;
  g.Tpag({page});
  RoomEntry room;
  room.name = "start";
  room.codeWord = 0;  // no creation code
  (*room.backgrounds)[0] = RoomBackgroundEntry{true, false, 0, 0, 0, true, true, 0, 0, true};
  if (roomFirst) g.Room({room});
  g.Bgnd({{"sky", false, false, false, 0}});
  if (!roomFirst) g.Room({room});
  g.Strg();
  return g.Build();
}

TEST_F(BackgroundTest, AStretchedRoomBackgroundIsSizedAlikeWhetherBackgroundsComeBeforeOrAfterRooms) {
  for (bool roomFirst : {false, true}) {
    SCOPED_TRACE(roomFirst ? "ROOM before BGND" : "BGND before ROOM");
    console.Clear();
    ASSERT_TRUE(LoadGame(StretchedRoomGame(roomFirst))) << console.Text();
    const CRoom* room = Room_Data(0);
    ASSERT_NE(room, nullptr);
    EXPECT_EQ(room->m_Backgrounds[0].xscale, 10.0f);
    EXPECT_EQ(room->m_Backgrounds[0].yscale, 15.0f);
    // Read once, ahead of the rooms.
    int backgroundChunks = 0, roomChunks = 0;
    size_t backgroundLine = 0, roomLine = 0;
    for (size_t i = 0; i < console.Lines().size(); ++i) {
      if (console.Lines()[i].rfind("Process Chunk: BGND", 0) == 0) ++backgroundChunks, backgroundLine = i;
      if (console.Lines()[i].rfind("Process Chunk: ROOM", 0) == 0) ++roomChunks, roomLine = i;
    }
    EXPECT_EQ(backgroundChunks, 1);
    EXPECT_EQ(roomChunks, 1);
    EXPECT_LT(backgroundLine, roomLine);
    EXPECT_STREQ(Background_GetName(0), "sky");
  }
}

TEST_F(BackgroundTest, ABrokenBackgroundChunkAfterTheRoomsRefusesTheFileBeforeAnyRoomIsRead) {
  GameDataBuilder g;
  g.Gen8();
  RoomEntry room;
  room.codeWord = 0;
  g.Room({room}).Bgnd({{"sky", false, false, false, 0}}).Tpag({TPageEntryFields{}}).Strg();
  EXPECT_FALSE(LoadGame(g.Build({testsupport::corrupt::OffsetOutsideImage("BGND", 2)})));
  EXPECT_NE(console.Text().find("background 0, its name or its texture-page entry lies outside the file"),
            std::string::npos)
      << console.Text();
  EXPECT_EQ(console.Text().find("Process Chunk: ROOM"), std::string::npos);
  EXPECT_EQ(Room_Data(0), nullptr);
}

// ---- Files ----

TEST_F(BackgroundTest, FilesAreDecodedByTheirFirstBytesWhateverTheirNames) {
  const std::vector<uint32_t> twoByTwo = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
  WriteGameFile("png.jpg", PngOf(2, 2, twoByTwo));
  WriteGameFile("photo.png", testsupport::MakeJPEG(2, 1, 3, {255, 255, 255, 255, 255, 255}));
  testsupport::GifImage gif;
  gif.width = 3;
  gif.height = 1;
  gif.colours = {0, 0, 0, 0, 255, 0};
  gif.frames = {{0, 0, 3, 1, false, {}, {1, 1, 0}, {}}};
  WriteGameFile("anim.gif", testsupport::MakeGIF(gif));
  WriteGameFile("broken.png", {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3});  // JPEG magic, no JPEG
  WriteGameFile("text.txt", {'h', 'e', 'l', 'l', 'o'});

  struct Case {
    const char* file;
    double width, height;
    uint32_t firstPixel;
  };
  const Case cases[] = {
      {"png.jpg", 2, 2, 0xFFFF0000u},
      {"photo.png", 2, 1, 0xFFFFFFFFu},
      {"anim.gif", 3, 1, 0xFF00FF00u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const double index = Call("background_add", {Str(c.file), Real(0), Real(0)});
    ASSERT_GE(index, 0);
    EXPECT_EQ(Call("background_get_width", {Real(index)}), c.width);
    EXPECT_EQ(Call("background_get_height", {Real(index)}), c.height);
    EXPECT_EQ(PixelOf(static_cast<int32_t>(index), 0, 0), c.firstPixel);
    EXPECT_GE(Background_Data(static_cast<int32_t>(index))->m_Texture, 0);
    EXPECT_EQ(Call("background_get_preload", {Real(index)}), 1);
  }
  // Bytes nothing decodes still give a new slot, with an empty record.
  for (const char* file : {"broken.png", "text.txt"}) {
    console.Clear();
    const double index = Call("background_add", {Str(file), Real(0), Real(0)});
    EXPECT_EQ(index, 3 + (file[0] == 't'));
    EXPECT_EQ(console.Count(std::string("Failed to decode background data in ") + file + "\n"), 1) << console.Text();
    EXPECT_EQ(Call("background_get_width", {Real(index)}), 0);
    EXPECT_EQ(Background_Data(static_cast<int32_t>(index))->m_Texture, -1);
  }
  // A file in neither place: -1, and no slot is taken.
  EXPECT_EQ(Call("background_add", {Str("missing.png"), Real(0), Real(0)}), -1);
  EXPECT_EQ(Call("background_add", {Real(3), Real(0), Real(0)}), -1);
  EXPECT_EQ(Call("background_add", {Str("png.jpg"), Real(0), Real(0)}), 5);
  EXPECT_STREQ(Background_GetName(5), "__newbackground5");
}

TEST_F(BackgroundTest, TheSaveAreaComesBeforeTheGameFolder) {
  WriteGameFile("pic.png", PngOf(1, 1, {0xFF112233u}));
  WriteSaveFile("pic.png", PngOf(2, 1, {0xFF445566u, 0xFF445566u}));
  const double index = Call("background_add", {Str("pic.png"), Real(0), Real(0)});
  EXPECT_EQ(Call("background_get_width", {Real(index)}), 2);
  EXPECT_EQ(PixelOf(static_cast<int32_t>(index), 0, 0), 0xFF445566u);
}

TEST_F(BackgroundTest, AnImageKeepsItsAlphaUnlessItsBackgroundIsRemoved) {
  // The bottom-left pixel's colour (green) marks the background to remove; a removed pixel
  // takes the colour of its first neighbour (left, right, above, below) that is not removed.
  const std::vector<uint32_t> image = {0x80102030u, 0xFF0000FFu, 0xFF00FF00u, 0xFF00FF00u};
  WriteGameFile("a.png", PngOf(2, 2, image));
  struct Case {
    double removeBack;
    double transparent;
    uint32_t pixels[4];
  };
  const Case cases[] = {
      {0.0, 0, {0x80102030u, 0xFF0000FFu, 0xFF00FF00u, 0xFF00FF00u}},  // own alpha kept
      {0.4, 0, {0x80102030u, 0xFF0000FFu, 0xFF00FF00u, 0xFF00FF00u}},
      {0.5, 1, {0xFF102030u, 0xFF0000FFu, 0x00102030u, 0x000000FFu}},  // opaque, then green removed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.removeBack);
    const int32_t index = static_cast<int32_t>(Call("background_add", {Str("a.png"), Real(c.removeBack), Real(0)}));
    EXPECT_EQ(Call("background_get_transparent", {Real(index)}), c.transparent);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(PixelOf(index, i % 2, i / 2), c.pixels[i]) << i;
  }
  // Replace takes its flags from 0.5 up as well, and keeps the slot's name.
  ASSERT_TRUE(LoadGame(ThreeBackgrounds().Build()));
  EXPECT_EQ(Call("background_replace", {Real(0), Str("a.png"), Real(0.5), Real(0.5)}), 1);
  EXPECT_EQ(Call("background_get_transparent", {Real(0)}), 1);
  EXPECT_EQ(Call("background_get_smooth", {Real(0)}), 1);
  EXPECT_EQ(Call("background_get_width", {Real(0)}), 2);
  EXPECT_EQ(Background_Data(0)->GetTPE().kind, TextureHandleKind::kTexture);
  EXPECT_STREQ(Background_GetName(0), "sky");
  EXPECT_EQ(Call("background_replace", {Real(0), Str("missing.png"), Real(0), Real(0)}), 0);
  EXPECT_EQ(Call("background_get_width", {Real(0)}), 2);
  EXPECT_EQ(TakeError(), "");
  EXPECT_EQ(Call("background_replace", {Real(1), Str("a.png"), Real(0), Real(0)}), 0);
  EXPECT_EQ(TakeError(), "Trying to replace non-existing background.");
  EXPECT_FALSE(Background_Exists(1));
}

TEST_F(BackgroundTest, AnImageWiderThanTheLargestTextureBecomesABlueOneOfTheLargestWidth) {
  WriteGameFile("wide.png", PngOf(5000, 100, std::vector<uint32_t>(5000 * 100, 0x80FF0000u)));
  const int32_t index = static_cast<int32_t>(Call("background_add", {Str("wide.png"), Real(0), Real(0)}));
  EXPECT_EQ(console.Count("Error creating background: image width or height exceeds maximum texture size of 4096\n"),
            1);
  EXPECT_EQ(Call("background_get_width", {Real(index)}), 4096);
  EXPECT_EQ(Call("background_get_height", {Real(index)}), 100);
  EXPECT_EQ(Background_Data(index)->m_Bitmap->GetWidth(), 4096);
  EXPECT_EQ(PixelOf(index, 0, 0), 0xFF0000FFu);
  EXPECT_EQ(PixelOf(index, 4095, 99), 0xFF0000FFu);
}

// ---- URLs ----

TEST_F(BackgroundTest, AUrlAnswersItsIndexAtOnceAndItsCompletionGivesTheImageLoadedEvent) {
  const std::vector<uint8_t> png = PngOf(2, 1, {0xFF0000FFu, 0x00FFFFFFu});
  struct Case {
    const char* url;
    int32_t httpStatus;
    std::vector<uint8_t> bytes;
    const char* status;
    double width;
    bool badBytes;
  };
  const Case cases[] = {
      {"http://example.com/a.png", 200, png, "0", 2, false},
      {"https://example.com/b.png", 404, png, "0", 0, false},       // not 200: not decoded
      {"http://example.com/c.png", 200, {}, "-1", 0, false},        // nothing arrived
      {"http://example.com/d.png", 200, {'G', 'I', 'F', '8', 0}, "0", 0, true},
  };
  int32_t expected = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    console.Clear();
    const double index = Call("background_add", {Str(c.url), Real(1), Real(0)});
    EXPECT_EQ(index, expected++);
    EXPECT_EQ(CallText("background_get_name", {Real(index)}), "__newbackground" + std::to_string(expected - 1));
    EXPECT_EQ(Call("background_get_width", {Real(index)}), 0);
    ASSERT_EQ(AsyncQueue_Count(), expected);
    HTTP_REQ_CONTEXT* request = g_AsyncQueue.head;  // the newest
    EXPECT_STREQ(request->m_url, c.url);
    request->m_httpStatus = c.httpStatus;
    request->SetData(c.bytes.data(), static_cast<int32_t>(c.bytes.size()));
    int32_t map = -1;
    EXPECT_EQ(request->m_completion(request, request->m_userData, &map), 60);
    EXPECT_EQ(MapValue(map, "filename"), c.url);
    EXPECT_EQ(MapValue(map, "id"), std::to_string(expected - 1));
    EXPECT_EQ(MapValue(map, "http_status"), std::to_string(c.httpStatus));
    EXPECT_EQ(MapValue(map, "status"), c.status);
    EXPECT_EQ(Call("background_get_width", {Real(index)}), c.width);
    EXPECT_EQ(console.Count(std::string("Failed to decode data in Sprite_Add ") + c.url + "\n"), c.badBytes ? 1 : 0)
        << console.Text();
  }
  // Decoded with the request's flags: the image made opaque, then its bottom-left colour removed.
  EXPECT_EQ(PixelOf(0, 0, 0), 0x00FFFFFFu);
  EXPECT_EQ(PixelOf(0, 1, 0), 0xFFFFFFFFu);
  EXPECT_EQ(Call("background_get_transparent", {Real(0)}), 1);

  // A slot deleted before its download completes is left alone.
  const double late = Call("background_add", {Str("http://example.com/e.png"), Real(0), Real(0)});
  EXPECT_EQ(Call("background_delete", {Real(late)}), 1);
  HTTP_REQ_CONTEXT* request = g_AsyncQueue.head;
  request->SetData(png.data(), static_cast<int32_t>(png.size()));
  int32_t map = -1;
  EXPECT_EQ(request->m_completion(request, request->m_userData, &map), 60);
  EXPECT_FALSE(Background_Exists(static_cast<int32_t>(late)));
  // Replacing from a URL answers 0 at once and downloads into the slot.
  EXPECT_EQ(Call("background_replace", {Real(0), Str("https://example.com/f.png"), Real(0), Real(0)}), 0);
  EXPECT_EQ(AsyncQueue_Count(), 6);
  EXPECT_EQ(static_cast<BackgroundHttpRequest*>(g_AsyncQueue.head->m_userData)->index, 0);
  // The requests' cleanups free their records when the requests are dropped (the leak check
  // sees them otherwise).
  AsyncQueue_FreeAll();
  EXPECT_EQ(AsyncQueue_Count(), 0);
}

// ---- Made at run time ----

TEST_F(BackgroundTest, ColoursGradientsTheScreenAndSurfacesMakeNewSlots) {
  EXPECT_EQ(Call("background_create_colour", {Real(3), Real(2), Real(0x0000FF)}), 0);
  EXPECT_EQ(Call("background_create_color", {Real(0), Real(0), Real(0x00FF00)}), 1);
  EXPECT_EQ(Call("background_create_gradient", {Real(4), Real(1), Real(0), Real(0xFFFFFF), Real(0)}), 2);
  EXPECT_EQ(Call("background_get_width", {Real(0)}), 3);
  EXPECT_EQ(Call("background_get_preload", {Real(0)}), 1);
  EXPECT_EQ(Call("background_get_transparent", {Real(0)}), 0);
  EXPECT_EQ(PixelOf(0, 2, 1), 0xFFFF0000u);
  EXPECT_EQ(Call("background_get_width", {Real(1)}), 0);  // the record's size as asked
  EXPECT_EQ(Background_Data(1)->m_Bitmap->GetWidth(), 1);  // the bitmap at least 1 x 1
  EXPECT_EQ(PixelOf(2, 0, 0), 0xFF000000u);
  EXPECT_NE(PixelOf(2, 3, 0), 0xFF000000u);

  GR_Clear(0xFF123456u);  // red 0x56, green 0x34, blue 0x12
  EXPECT_EQ(Call("background_create_from_screen", {Real(1), Real(2), Real(4), Real(3), Real(0), Real(0)}), 3);
  EXPECT_EQ(Call("background_get_width", {Real(3)}), 4);
  EXPECT_EQ(Call("background_get_height", {Real(3)}), 3);
  EXPECT_EQ(PixelOf(3, 3, 2), 0xFF563412u);
  // Its flags are set only above 0.5.
  const double half = Call("background_create_from_screen", {Real(0), Real(0), Real(2), Real(2), Real(0.5), Real(0.5)});
  EXPECT_EQ(Call("background_get_transparent", {Real(half)}), 0);
  EXPECT_EQ(Call("background_get_smooth", {Real(half)}), 0);
  const double above = Call("background_create_from_screen", {Real(0), Real(0), Real(2), Real(2), Real(0.6), Real(0.6)});
  EXPECT_EQ(Call("background_get_transparent", {Real(above)}), 1);
  EXPECT_EQ(Call("background_get_smooth", {Real(above)}), 1);
  EXPECT_EQ(Call("background_get_preload", {Real(above)}), 0);
  // No surface answers a bitmap: the new slot stays without an image.
  EXPECT_EQ(Call("background_create_from_surface", {Real(0), Real(0), Real(0), Real(4), Real(4), Real(0), Real(0)}),
            6);
  EXPECT_EQ(Call("background_get_width", {Real(6)}), 0);
  EXPECT_EQ(Background_Data(6)->m_Bitmap, nullptr);

  for (const char* name : {"background_add_background", "background_replace_background"}) {
    console.Clear();
    EXPECT_EQ(Call(name, {Real(0), Real(0)}), -1);
    EXPECT_EQ(console.Count("unsupported function"), 1) << console.Text();
  }
}

TEST_F(BackgroundTest, DeletedSlotsStayEmptyAndTheirIndicesAreNeverReused) {
  ASSERT_TRUE(LoadGame(ThreeBackgrounds().Build()));
  EXPECT_EQ(Call("background_delete", {Real(0)}), 1);
  EXPECT_EQ(TakeError(), "");
  EXPECT_EQ(Call("background_delete", {Real(0)}), 0);
  EXPECT_EQ(TakeError(), "Trying to delete non-existing background.");
  EXPECT_EQ(Call("background_duplicate", {Real(0)}), 0);
  EXPECT_EQ(TakeError(), "Trying to duplicate non-existing background.");
  EXPECT_EQ(Background_FindByName("sky"), -1);
  EXPECT_EQ(Call("background_create_colour", {Real(1), Real(1), Real(0)}), 3);
}

TEST_F(BackgroundTest, AssigningCopiesIntoAnyIndexInRangeAndGameBackgroundsShareTheirPage) {
  ASSERT_TRUE(LoadGame(ThreeBackgrounds().Build()));
  const double colour = Call("background_create_colour", {Real(2), Real(2), Real(0x00FF00)});
  // A bad destination or an empty source changes nothing.
  for (const std::vector<double>& pair : std::vector<std::vector<double>>{{9, 0}, {-1, 0}, {2, 1}, {2, 7}}) {
    Call("background_assign", {Real(pair[0]), Real(pair[1])});
    EXPECT_EQ(TakeError(), "Error assigning a background.") << pair[0] << " " << pair[1];
  }
  EXPECT_EQ(Call("background_get_smooth", {Real(2)}), 1);
  // Into the empty slot: filled, without a name, found by no name.
  Call("background_assign", {Real(1), Real(0)});
  EXPECT_EQ(TakeError(), "");
  EXPECT_EQ(Background_Data(1)->m_TPageEntry, Background_Data(0)->m_TPageEntry);
  EXPECT_EQ(Call("background_get_width", {Real(1)}), 64);
  EXPECT_EQ(CallText("background_get_name", {Real(1)}), "<no text>");
  EXPECT_EQ(Background_FindByName("sky"), 0);
  // Into a filled slot: its name stays; a bitmap is copied, not shared.
  Call("background_assign", {Real(2), Real(colour)});
  EXPECT_STREQ(Background_GetName(2), "flat");
  EXPECT_EQ(PixelOf(2, 1, 1), 0xFF00FF00u);
  EXPECT_NE(Background_Data(2)->m_Bitmap, Background_Data(static_cast<int32_t>(colour))->m_Bitmap);
  EXPECT_NE(Background_Data(2)->m_Texture, Background_Data(static_cast<int32_t>(colour))->m_Texture);
  EXPECT_EQ(Background_Data(2)->m_TPageEntry, nullptr);
}

}  // namespace
}  // namespace backgroundtest
