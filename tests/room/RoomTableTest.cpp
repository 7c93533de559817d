// The room chunk, the room table and the room order: what a room entry sets, the checks on every
// offset and count, creation code references, preparation, and the table operations.
#include <stdexcept>

#include "background/Background_Main.h"
#include "physics/Physics_World.h"
#include "room/RoomFixture.h"

namespace roomtest {
namespace {

using testsupport::ErrorRecorder;

// A text-code file (no CODE chunk) of the rooms given, with a background of 64 x 32 and one of
// 0 x 0.
RoomInstanceEntry Instance(int32_t id) {
  RoomInstanceEntry e;
  e.id = id;
  return e;
}

GameDataBuilder TextGame(std::vector<RoomEntry> rooms) {
  GameDataBuilder g;
  g.Gen8();
  TPageEntryFields page;
  page.frameWidth = 64;
  page.frameHeight = 32;
  g.Tpag({page, TPageEntryFields{}});
  g.Bgnd({{"sky", false, false, false, 0}, {"flat", false, false, false, 1}});
  for (RoomEntry& room : rooms) {
    if (!room.codeText && room.codeWord == -1) room.codeWord = 0;
    for (RoomInstanceEntry& instance : *room.instances) {
      if (!instance.codeText && instance.codeWord == -1) instance.codeWord = 0;
    }
  }
  g.Room(rooms).Strg();
  return g;
}

TEST_F(RoomTest, AnEntrySetsTheRoomsSettingsFlagsGravityAndStretchedBackgrounds) {
  RoomEntry plain;
  plain.name = "plain";
  plain.caption = "Hello";
  plain.width = 640;
  plain.height = 480;
  plain.speed = 45;
  plain.persistent = true;
  plain.colour = 0x123456;
  plain.showColour = false;
  plain.physics = true;
  plain.gravityX = 9.8f;
  plain.gravityY = -9.8f;
  plain.pixelsToMetres = 0.25f;
  (*plain.backgrounds)[0] = {true, false, 0, 3, 4, true, false, 2, -1, true};  // stretched: 640/64, 480/32
  (*plain.backgrounds)[1] = {true, true, 5, 0, 0, true, true, 0, 0, true};     // no such background
  (*plain.backgrounds)[2] = {false, false, 1, 0, 0, true, true, 0, 0, true};   // a background of size 0
  (*plain.views)[3] = {true, 1, 2, 300, 200, 10, 20, 600, 400, 50, 60, 4, 5, 7};
  RoomEntry flagged;
  flagged.name = "flagged";
  flagged.flags = 7;
  LoadGame(*std::make_unique<GameDataBuilder>(TextGame({plain, flagged})));

  const CRoom* a = Room_Data(0);
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(a->m_Name, "plain");
  EXPECT_STREQ(a->m_Caption, "Hello");
  EXPECT_EQ(a->m_Speed, 45);
  EXPECT_EQ(a->m_Persistent, 1);
  EXPECT_EQ(a->m_Colour, 0x123456);
  EXPECT_EQ(a->m_ShowColour, 0);
  EXPECT_EQ(a->m_ViewsEnabled, 0);  // flags 0
  EXPECT_EQ(a->m_ClearWindow, 0);
  EXPECT_EQ(a->m_ClearDisplay, 1);
  EXPECT_EQ(a->m_PhysicsEnabled, 1);
  EXPECT_EQ(a->m_GravityX, 9);
  EXPECT_EQ(a->m_GravityY, -9);
  EXPECT_FLOAT_EQ(a->m_PixelsToMetres, 0.25f);
  ASSERT_NE(a->m_PhysicsWorld, nullptr);
  EXPECT_EQ(a->m_PhysicsWorld->World()->GetGravity().x, 9.0f);
  const RoomBackground& stretched = a->m_Backgrounds[0];
  EXPECT_EQ(stretched.visible, 1);
  EXPECT_EQ(stretched.htiled, 1);
  EXPECT_EQ(stretched.vtiled, 0);
  EXPECT_EQ(stretched.x, 3.0f);
  EXPECT_EQ(stretched.hspeed, 2.0f);
  EXPECT_EQ(stretched.vspeed, -1.0f);
  EXPECT_EQ(stretched.xscale, 10.0f);
  EXPECT_EQ(stretched.yscale, 15.0f);
  EXPECT_EQ(a->m_Backgrounds[1].xscale, 1.0f);
  EXPECT_EQ(a->m_Backgrounds[2].xscale, 1.0f);
  EXPECT_EQ(a->m_Backgrounds[2].yscale, 1.0f);
  const RoomView& view = a->m_Views[3];
  EXPECT_EQ(view.visible, 1);
  EXPECT_EQ(view.wview, 300.0f);
  EXPECT_EQ(view.hport, 400);
  EXPECT_EQ(view.hborder, 50);
  EXPECT_EQ(view.object, 7);
  EXPECT_EQ(view.surfaceId, -1);

  const CRoom* b = Room_Data(1);
  EXPECT_EQ(b->m_ViewsEnabled, 1);
  EXPECT_EQ(b->m_ClearWindow, 1);
  EXPECT_EQ(b->m_ClearDisplay, 0);  // bit 2: the display is not cleared
  EXPECT_EQ(b->m_Caption, nullptr);
  EXPECT_EQ(b->m_PhysicsWorld, nullptr);
  EXPECT_EQ(Background_Data(0)->m_Width, 64);
  EXPECT_STREQ(Background_GetName(1), "flat");
}

TEST_F(RoomTest, ListsOfMoreThanEightBackgroundsOrViewsFillTheFirstEight) {
  RoomEntry room;
  room.backgrounds = std::vector<RoomBackgroundEntry>(10, RoomBackgroundEntry{true, false, 0});
  room.views = std::vector<RoomViewEntry>(9);
  (*room.views)[8].visible = true;
  LoadGame(*std::make_unique<GameDataBuilder>(TextGame({room})));
  const CRoom* loaded = Room_Data(0);
  ASSERT_NE(loaded, nullptr);
  for (const RoomBackground& b : loaded->m_Backgrounds) EXPECT_EQ(b.visible, 1);
  for (const RoomView& v : loaded->m_Views) EXPECT_EQ(v.visible, 0);
}

TEST_F(RoomTest, EveryOffsetOfARoomEntryIsCheckedAgainstTheFile) {
  RoomEntry room;
  room.name = "r";
  room.caption = "c";
  room.codeText = "note(\"x\")";
  room.instances = {RoomInstanceEntry{0, 0, 0, 100001, std::string("note(\"y\")")}};
  room.tiles = {RoomTileEntry{}};
  const GameDataBuilder g = TextGame({room});
  ASSERT_TRUE(Load(g.Build()));
  // Each offset word of the chunk in turn (the slot, the texts, the lists and their items) pointed
  // past the end of the file.
  int32_t sites = 0;
  for (int32_t site = 0;; ++site) {
    std::vector<uint8_t> file;
    try {
      file = g.Build({corrupt::OffsetOutsideImage("ROOM", site)});
    } catch (const std::logic_error&) {
      break;
    }
    SCOPED_TRACE("offset site " + std::to_string(site));
    EXPECT_FALSE(Load(file));
    ++sites;
  }
  EXPECT_GE(sites, 12);
  EXPECT_FALSE(Load(g.Build({corrupt::CountTooLarge("ROOM")})));
  EXPECT_FALSE(Load(g.Build({corrupt::PayloadSize("ROOM", 2)})));
}

TEST_F(RoomTest, AnInstanceWithNoCreationCodeIsToldApartFromOneWithCodeEntryZero) {
  // With a CODE chunk: the first instance of the first room runs entry 0, the second has none.
  GameDataBuilder g;
  GameHeader header;
  header.roomOrder = {0};
  header.lastInstanceId = 100010;
  g.Gen8(header);
  RoomEntry room;
  room.instances = {RoomInstanceEntry{0, 0, 0, 100001, std::nullopt, 0},
                    RoomInstanceEntry{0, 0, 0, 100002, std::nullopt, -1},
                    RoomInstanceEntry{0, 0, 0, 100003, std::nullopt, 1}};
  g.Room({room});
  g.Code({{"gml_RoomCC_0", CodeWriter{}}, {"gml_RoomCC_1", CodeWriter{}}});
  g.Strg();
  ASSERT_TRUE(Load(g.Build()));
  ASSERT_TRUE(Room_Prepare());
  AddObject();
  CRoom live;
  live.Copy(Room_Data(0), true);
  const CInstance* first = Instance_Find(100001);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(first->i_creationcode, nullptr);
  EXPECT_EQ(first->i_creationcode->m_codeIndex, 0);
  EXPECT_EQ(Instance_Find(100002)->i_creationcode, nullptr);
  EXPECT_EQ(Instance_Find(100003)->i_creationcode->m_codeIndex, 1);

  // An instance added at run time has no code either.
  const int32_t id = Room_Data(0)->AddInstanceDef(1.9f, -2.9f, 0);
  CRoom again;
  live.DeleteActiveInstances();
  again.Copy(Room_Data(0), true);
  const CInstance* added = Instance_Find(id);
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->i_creationcode, nullptr);
  EXPECT_EQ(added->i_x, 1.0f);
  EXPECT_EQ(added->i_y, -2.0f);
  EXPECT_EQ(live.Definition()->instances.Count(), 3);  // copies keep their definitions

  // A code index the CODE chunk does not hold refuses the file.
  GameDataBuilder bad;
  bad.Gen8();
  room.instances = {RoomInstanceEntry{0, 0, 0, 100001, std::nullopt, 2}};
  bad.Room({room}).Code({{"only", CodeWriter{}}}).Strg();
  again.DeleteActiveInstances();
  EXPECT_FALSE(Load(bad.Build()));
}

TEST_F(RoomTest, PreparationCompilesRoomAndInstanceCodeUnderTheirNames) {
  RoomEntry room;
  room.name = "hall";
  room.codeText = "note(\"room\")";
  room.instances = {Instance(100001), RoomInstanceEntry{0, 0, 0, 100002, std::string("note(\"i\")")}};
  GameDataBuilder g = TextGame({room});
  LoadGame(g);
  const CRoom* hall = Room_Data(0);
  EXPECT_STREQ(hall->m_CreationCode->m_name, "Room.hall");
  EXPECT_EQ(hall->Definition()->instances[0].codeIndex, -1);  // word 0: never compiled
  EXPECT_STREQ(Code_Get(hall->Definition()->instances[1].codeIndex)->m_name, "Instance.hall.1");

  RoomEntry broken;
  broken.name = "broken";
  broken.instances = {RoomInstanceEntry{0, 0, 0, 100001, std::string("x = = 1")}};
  ASSERT_TRUE(Load(TextGame({broken}).Build()));
  ErrorRecorder errors;
  EXPECT_FALSE(Room_Prepare());
  ASSERT_EQ(errors.errors().size(), 1u);
  EXPECT_EQ(errors.errors()[0].text.rfind("COMPILATION ERROR in room script\n", 0), 0u) << errors.errors()[0].text;
  EXPECT_GT(errors.errors()[0].text.size(), std::string("COMPILATION ERROR in room script\n").size());
  EXPECT_FALSE(errors.errors()[0].fatal);
}

TEST_F(RoomTest, TheRoomOrderAnswersFirstLastNextAndPrevious) {
  RoomOrder.SetLength(0);
  EXPECT_EQ(Room_First(), -1);
  EXPECT_EQ(Room_Last(), -1);
  EXPECT_EQ(Room_Next(0), -1);
  const int32_t order[] = {3, 0, 5};
  RoomOrder.SetLength(3);
  for (int32_t i = 0; i < 3; ++i) RoomOrder[i] = order[i];
  const struct {
    int32_t (*query)(int32_t);
    int32_t room;
    int32_t answer;
  } cases[] = {{Room_Next, 0, 5},  {Room_Previous, 0, 3}, {Room_Previous, 3, -1}, {Room_Next, 5, -1},
               {Room_Next, 7, -1}, {Room_Previous, 7, -1}, {Room_Next, 3, 0},     {Room_Previous, 5, 0}};
  EXPECT_EQ(Room_First(), 3);
  EXPECT_EQ(Room_Last(), 5);
  for (const auto& c : cases) EXPECT_EQ(c.query(c.room), c.answer) << c.room;
  RoomOrder.SetLength(1);
  EXPECT_EQ(Room_Next(3), -1);
  EXPECT_EQ(Room_Previous(3), -1);
}

TEST_F(RoomTest, RoomsAddedDuplicatedAndAssignedAtRunTime) {
  RoomEntry a, b, d;
  a.name = "Alpha";
  a.width = 111;
  a.instances = {Instance(100001)};
  b.name = "beta";
  d.name = "delta";
  RoomEntry empty;
  empty.present = false;
  LoadGame(*std::make_unique<GameDataBuilder>(TextGame({a, b, empty, d})));
  AddObject();
  EXPECT_EQ(Room_Count(), 4);
  EXPECT_EQ(Room_FindByName("Alpha"), 0);
  EXPECT_EQ(Room_FindByName("alpha"), -1);
  EXPECT_EQ(Room_FindByName("delta"), 3);
  EXPECT_FALSE(Room_Exists(2));
  EXPECT_STREQ(Room_GetName(2), "<undefined>");
  EXPECT_STREQ(Room_GetName(9), "<undefined>");
  EXPECT_EQ(Room_Data(-1), nullptr);

  EXPECT_EQ(Room_Add(), 4);
  EXPECT_EQ(Room_Add(), 5);
  EXPECT_STREQ(Room_GetName(4), "__newroom4");
  EXPECT_STREQ(Room_GetName(5), "__newroom5");
  EXPECT_EQ(Room_Data(5)->Definition()->speed, 30);
  EXPECT_EQ(Room_Duplicate(-1), -1);
  EXPECT_EQ(Room_Duplicate(2), -1);
  EXPECT_EQ(Room_Count(), 6);
  EXPECT_EQ(Room_Duplicate(0), 6);
  EXPECT_STREQ(Room_GetName(6), "__newroom6");
  EXPECT_EQ(Room_Data(6)->m_Width, 111);
  EXPECT_NE(Room_Data(6)->Definition(), Room_Data(0)->Definition());
  EXPECT_EQ(Room_Data(6)->Definition()->instances.Count(), 1);

  // A live copy of room 4 outlives the room that room_assign replaces.
  Room_Data(4)->AddInstanceDef(1, 1, 0);
  {
    CRoom live;
    live.Copy(Room_Data(4), true);
    EXPECT_FALSE(Room_Assign(4, 2));
    EXPECT_FALSE(Room_Assign(9, 0));
    EXPECT_TRUE(Room_Assign(4, 0));
    EXPECT_EQ(live.Definition()->instances.Count(), 1);
    EXPECT_EQ(Room_Data(4)->m_Width, 111);
    EXPECT_EQ(Room_Data(4)->Definition(), Room_Data(0)->Definition());
    EXPECT_EQ(Room_Data(4)->m_Active.count, 0);
    EXPECT_STREQ(Room_GetName(4), "__newroom4");
  }
}

}  // namespace
}  // namespace roomtest
