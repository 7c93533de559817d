// The object chunk in every header version, the event tables it fills, and the files it refuses.
#include <gtest/gtest.h>

#include "code/Code_Main.h"
#include "object/Object_Class.h"
#include "object/Object_Main.h"
#include "room/Event_Class.h"
#include "runner/GameDataTestUtil.h"
#include "runner/GameData_Code.h"
#include "run/Run_Global.h"

#include <functional>

namespace gamedatatest {
namespace {

using testsupport::CodeEntry;
using testsupport::CodeWriter;
using testsupport::GameDataBuilder;
using testsupport::GameHeader;
using testsupport::ObjectEntry;

// A game with bytecode (two code entries) and the given objects, under a header of `version`.
GameDataBuilder Game(int version, const std::vector<ObjectEntry>& objects) {
  GameDataBuilder g;
  GameHeader header;
  header.version = static_cast<uint8_t>(version);
  g.Gen8(header);
  g.Code({{"player_step", CodeWriter{0x9E000000u}}, {"player_draw", CodeWriter{0x9E000000u}}});
  g.Objt(objects);
  g.Strg();
  return g;
}

ObjectEntry Player() {
  ObjectEntry o;
  o.name = "player";
  o.spriteWord = static_cast<int32_t>(0x80000003u);  // bit 31 set, bits 28..30 clear: sprite 3
  o.solid = true;
  o.visible = false;
  o.persistent = true;
  o.depth = -7;
  o.parent = 2;
  o.mask = 4;
  o.physics = true;
  o.shape = 2;
  o.density = 0.75f;
  o.group = -3;
  o.friction = 0.5f;
  o.awake = false;
  o.kinematic = true;
  o.points = {{1.5f, 2.5f}, {-3.0f, 4.0f}};
  o.events[EVENT_STEP] = {{0, {std::nullopt, 0}}};
  o.events[EVENT_ALARM] = {{7, {std::nullopt, 1}}};
  return o;
}

TEST_F(GameDataTest, ObjectEntriesAreReadForEveryHeaderVersion) {
  struct Case {
    int version;
    bool physics;        // the physics block is there
    float friction;      // as read, or the default of versions 6 to 8
    bool awake;
    bool kinematic;
  };
  const Case cases[] = {{5, false, 0.0f, false, false},
                        {6, true, 0.2f, true, false},
                        {8, true, 0.2f, true, false},
                        {9, true, 0.5f, false, true},
                        {14, true, 0.5f, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    ObjectEntry wall;
    wall.name = "wall";
    ObjectEntry empty;
    empty.present = false;
    ASSERT_TRUE(Load(Game(c.version, {Player(), empty, wall}).Build()));
    EXPECT_EQ(Object_Count(), 3);
    const CObject* player = Object_Find(0);
    ASSERT_NE(player, nullptr);
    EXPECT_STREQ(player->m_Name, "player");
    EXPECT_EQ(player->m_SpriteIndex, 3);
    EXPECT_EQ(Object_SpriteFlagBits(), 0x80000000u);
    EXPECT_EQ(player->m_Flags, kObjectSolid | kObjectPersistent);
    EXPECT_EQ(player->m_Depth, -7);
    EXPECT_EQ(player->m_ParentIndex, 2);
    EXPECT_EQ(player->GetParent(), Object_Find(2));
    EXPECT_EQ(player->m_MaskIndex, 4);
    EXPECT_EQ(player->m_PhysicsEnabled, c.physics);
    EXPECT_EQ(player->m_PhysicsShape, c.physics ? 2 : 0);
    EXPECT_EQ(player->m_PhysicsDensity, c.physics ? 0.75f : 0.0f);
    EXPECT_EQ(player->m_PhysicsGroup, c.physics ? -3 : 0);
    EXPECT_EQ(player->m_PhysicsFriction, c.friction);
    EXPECT_EQ(player->m_PhysicsAwake, c.awake);
    EXPECT_EQ(player->m_PhysicsKinematic, c.kinematic);
    ASSERT_EQ(player->m_PhysicsPoints.size(), c.physics ? 2u : 0u);
    if (c.physics) {
      EXPECT_EQ(player->m_PhysicsPoints[1].x, -3.0f);
      EXPECT_EQ(player->m_PhysicsPoints[1].y, 4.0f);
    }
    // Event 7 in an empty row makes a row of 8 slots, 0 to 6 empty; with bytecode the handler
    // has an empty text and the code of its index.
    ASSERT_EQ(player->EventCount(EVENT_ALARM), 8);
    for (int32_t n = 0; n < 7; ++n) EXPECT_EQ(player->m_Events[EVENT_ALARM].events[n], nullptr);
    const CEvent* alarm = player->GetEvent(EVENT_ALARM, 7);
    ASSERT_NE(alarm, nullptr);
    EXPECT_STREQ(alarm->m_text, "");
    ASSERT_NE(alarm->m_code, nullptr);
    EXPECT_EQ(alarm->m_code->m_codeIndex, 1);
    // An empty slot leaves its index without a record; later ones load.
    EXPECT_FALSE(Object_Exists(1));
    EXPECT_STREQ(Object_GetName(1), "<undefined>");
    EXPECT_EQ(Object_FindByName("wall"), 2);
    EXPECT_EQ(Object_Find(2)->m_Flags, kObjectVisible);
    EXPECT_EQ(Object_Find(2)->m_SpriteIndex, -1);
    GameData_Free();
  }
}

TEST_F(GameDataTest, ASpriteWordOfMinusOneLeavesTheFlagBitsAlone) {
  ObjectEntry o;
  o.spriteWord = -1;
  ASSERT_TRUE(Load(Game(14, {o}).Build()));
  EXPECT_EQ(Object_Find(0)->m_SpriteIndex, -1);
  EXPECT_EQ(Object_SpriteFlagBits(), 0u);
}

TEST_F(GameDataTest, ParentLoopsInTheFileEndTheChain) {
  // 0 -> 1 -> 2 -> 0 and 3 names itself: every chain ends, cut where the loop closes.
  std::vector<ObjectEntry> objects(4);
  objects[0].parent = 1;
  objects[1].parent = 2;
  objects[2].parent = 0;
  objects[3].parent = 3;
  objects[0].events[EVENT_STEP] = {{0, {std::nullopt, 0}}};
  ASSERT_TRUE(Load(Game(14, objects).Build()));
  EXPECT_EQ(Object_Find(0)->GetParent(), Object_Find(1));
  EXPECT_EQ(Object_Find(1)->GetParent(), Object_Find(2));
  EXPECT_EQ(Object_Find(2)->GetParent(), nullptr);
  EXPECT_EQ(Object_Find(3)->GetParent(), nullptr);
  EXPECT_EQ(Object_Find(2)->m_ParentIndex, 0);  // the index stays as the file gave it
  EXPECT_FALSE(Object_Find(1)->HasEvent(EVENT_STEP, 0));
  EXPECT_TRUE(Object_Find(0)->HasAncestor(2));
  EXPECT_FALSE(Object_Find(3)->HasAncestor(3));
  EXPECT_EQ(Object_Find(3)->FindHandler(EVENT_COLLISION, 0), nullptr);
}

TEST_F(GameDataTest, BrokenObjectChunksAreRefused) {
  struct Case {
    const char* why;
    std::function<void(ObjectEntry&)> change;
  };
  const Case cases[] = {
      {"13 event kinds", [](ObjectEntry& o) { o.kindCount = 13; }},
      {"a negative event number", [](ObjectEntry& o) { o.events[EVENT_STEP] = {{-1, {}}}; }},
      {"a step number past the bound", [](ObjectEntry& o) { o.events[EVENT_STEP] = {{256, {}}}; }},
      {"a collision with no such object", [](ObjectEntry& o) { o.events[EVENT_COLLISION] = {{2, {}}}; }},
      {"a huge collision number", [](ObjectEntry& o) { o.events[EVENT_COLLISION] = {{0x7FFFFFFF, {}}}; }},
      {"a code index past the code chunk", [](ObjectEntry& o) { o.events[EVENT_DRAW] = {{0, {std::nullopt, 2}}}; }},
      {"more points than the file holds", [](ObjectEntry& o) { o.pointCount = 0x10000000; }},
      {"a negative point count", [](ObjectEntry& o) { o.pointCount = -5; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    ObjectEntry o, other;
    c.change(o);
    m_console.Clear();
    EXPECT_FALSE(Load(Game(14, {o, other}).Build()));
    EXPECT_NE(m_console.Text().find("Game data: "), std::string::npos) << m_console.Text();
    GameData_Free();
  }
  // References that leave the file: the entry, an event list, an event record, an action.
  ObjectEntry o;
  o.events[EVENT_CREATE] = {{0, {std::nullopt, 0}}};
  const GameDataBuilder g = Game(14, {o});
  for (int32_t site : {0, 1, 12, 13, 14}) {
    SCOPED_TRACE(site);
    EXPECT_FALSE(Load(g.Build({testsupport::corrupt::OffsetOutsideImage("OBJT", site)})));
    GameData_Free();
  }
}

}  // namespace
}  // namespace gamedatatest

namespace gamedatatest {
namespace {

TEST_F(GameDataTest, HandlersOfATextGameCompileUnderTheirEventsName) {
  testsupport::GameDataBuilder g;
  g.Gen8();
  ObjectEntry player;
  player.name = "player";
  player.events[EVENT_KEYPRESS] = {{32, {std::string("x = 1")}}};
  player.events[EVENT_CREATE] = {{0, {std::nullopt, 0, false}}};  // no action: no handler
  ObjectEntry broken;
  broken.name = "broken";
  broken.events[EVENT_STEP] = {{0, {std::string("x = (")}}};
  g.Objt({player, broken});
  g.Strg();
  ASSERT_TRUE(Load(g.Build()));
  const CEvent* press = Object_Find(0)->GetEvent(EVENT_KEYPRESS, 32);
  ASSERT_NE(press, nullptr);
  EXPECT_STREQ(press->m_text, "x = 1");
  EXPECT_EQ(Object_Find(0)->GetEvent(EVENT_CREATE, 0), nullptr);

  testsupport::MessageBoxRecorder boxes;
  m_console.Clear();
  EXPECT_FALSE(Object_Prepare());
  EXPECT_EQ(m_console.Lines(), (std::vector<std::string>{"Preparing 2 objects:\n", "\tObjects 0: player\n",
                                                         "\tObjects 1: broken\n"}));
  EXPECT_STREQ(press->m_code->m_name, "Object.player.press_<Space>.0");
  ASSERT_NE(Error_GetLast(), nullptr);
  EXPECT_NE(std::string(Error_GetLast()).find("COMPILATION ERROR in code action\n"), std::string::npos)
      << Error_GetLast();
  Run_SetNewRoom(-1);
}

}  // namespace
}  // namespace gamedatatest
