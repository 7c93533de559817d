// Starting and ending the game, entering and leaving rooms: the order of the steps, persistent
// instances and rooms, a room change asked for during the create events, and a restart.
#include <algorithm>

#include "room/RoomFixture.h"

namespace roomtest {
namespace {

using gamedatatest::GameDataTest;
using testsupport::ErrorRecorder;

// A file of three rooms in the order 0, 1, 2, each with the instances given (no CODE chunk:
// creation code is text, 0 is none).
GameDataBuilder Game(std::vector<RoomEntry> rooms) {
  GameDataBuilder g;
  GameHeader header;
  for (size_t i = 0; i < rooms.size(); ++i) header.roomOrder.push_back(static_cast<int32_t>(i));
  g.Gen8(header);
  for (RoomEntry& room : rooms) {
    if (!room.codeText) room.codeWord = 0;
    for (RoomInstanceEntry& instance : *room.instances) {
      if (!instance.codeText) instance.codeWord = 0;
    }
  }
  g.Room(rooms).Strg();
  return g;
}

RoomInstanceEntry Instance(int32_t object, int32_t id, std::optional<std::string> code = std::nullopt) {
  RoomInstanceEntry e;
  e.object = object;
  e.id = id;
  e.x = id % 100;
  e.codeText = std::move(code);
  return e;
}

RoomEntry Room(const std::string& name, std::vector<RoomInstanceEntry> instances, bool persistent = false,
               std::optional<std::string> code = std::nullopt) {
  RoomEntry r;
  r.name = name;
  r.instances = std::move(instances);
  r.persistent = persistent;
  r.codeText = std::move(code);
  return r;
}

using Lines = std::vector<std::string>;

TEST_F(RoomTest, TheGameStartsInItsFirstRoomWithEveryStepInOrder) {
  GameDataBuilder g = Game({Room("first",
                                 {Instance(0, 100001, "note(\"code a\")"), Instance(1, 100002),
                                  Instance(-1, 100003, "note(\"never\")")},
                                 false, "note(\"room code\")")});
  LoadGame(g);
  LoggingObject("a");
  LoggingObject("b");
  m_console.Clear();
  StartGame();
  EXPECT_EQ(Log(), (Lines{"a create:100001", "code a:100001", "b create:100002", "a game start:100001",
                          "b game start:100002", "room code:0", "a room start:100001", "b room start:100002"}));
  EXPECT_EQ(m_console.Count("StartGame()\n"), 1);
  EXPECT_EQ(m_console.Count("StartGame() - DONE\n"), 1);
  ASSERT_NE(CurrentRoom, nullptr);
  EXPECT_EQ(g_RoomRun.currentIndex, 0);
  EXPECT_EQ(Ids(CurrentRoom->m_Active), (std::vector<int32_t>{100001, 100002}));
  EXPECT_EQ(CurrentRoom->m_PendingCreateIds.Count(), 0);
  EXPECT_EQ(Instance_Find(100001)->i_createdone, 1);
  EXPECT_EQ(Run_GetNewRoom(), kNewRoomNone);

  Log().clear();
  EndGame();
  EXPECT_EQ(Log(), (Lines{"a room end:100001", "b room end:100002", "a game end:100001", "b game end:100002"}));
  EXPECT_EQ(CurrentRoom, nullptr);
  EXPECT_EQ(Instance_Find(100001), nullptr);
}

TEST_F(RoomTest, PersistentInstancesAreCarriedWithTheirVariablesAndNoSecondCreateEvent) {
  // Room 1 has an instance of the carried instance's id: it takes the carried state.
  GameDataBuilder g = Game({Room("a", {Instance(0, 100001), Instance(1, 100002)}),
                            Room("b", {Instance(1, 100003), Instance(1, 100001)})});
  LoadGame(g);
  LoggingObject("p", true);
  LoggingObject("q");
  StartGame();
  CInstance* carried = Instance_Find(100001);
  ASSERT_NE(carried, nullptr);
  carried->i_x = 77.0f;
  ScriptValue value{};
  SetReal(&value, 42.0);
  carried->i_variables->Set(100000, kWholeValueIndex, &value);

  Log().clear();
  GotoRoom(1);
  EXPECT_EQ(Log(), (Lines{"p room end:100001", "q room end:100002", "q create:100003", "q room start:100003",
                          "p room start:100001"}));
  CInstance* arrived = Instance_Find(100001);
  ASSERT_NE(arrived, nullptr);
  EXPECT_EQ(arrived->i_objindex, 0);
  EXPECT_FLOAT_EQ(arrived->i_x, 77.0f);
  ScriptValue read{};
  ASSERT_TRUE(arrived->i_variables->Get(100000, kWholeValueIndex, &read));
  EXPECT_EQ(read.real, 42.0);
  EXPECT_EQ(Ids(CurrentRoom->m_Active), (std::vector<int32_t>{100003, 100001}));  // not duplicated
  EXPECT_EQ(arrived->i_carriedover, 0);
  EXPECT_EQ(Instance_Find(100002), nullptr);  // room a was not persistent
  EXPECT_EQ(g_RoomRun.carried.Count(), 0);
  EndGame();
}

TEST_F(RoomTest, AReturningPersistentRoomRestoresItsInstancesWithRoomStartOnly) {
  GameDataBuilder g = Game({Room("a", {Instance(0, 100001, "note(\"code\")")}, true, "note(\"room a\")"),
                            Room("b", {Instance(1, 100002)})});
  LoadGame(g);
  LoggingObject("x");
  LoggingObject("y");
  StartGame();
  CRoom* stored = CurrentRoom;
  Instance_Find(100001)->i_x = 5.0f;

  GotoRoom(1);
  EXPECT_EQ(Instance_Find(100001), nullptr);  // set aside: out of the id map
  EXPECT_TRUE(Object_Find(0)->m_Instances.First() == nullptr);
  EXPECT_EQ(g_RoomRun.rooms[0], stored);

  Log().clear();
  GotoRoom(0);
  EXPECT_EQ(Log(), (Lines{"y room end:100002", "x room start:100001"}));
  EXPECT_EQ(CurrentRoom, stored);
  ASSERT_NE(Instance_Find(100001), nullptr);
  EXPECT_FLOAT_EQ(Instance_Find(100001)->i_x, 5.0f);
  EXPECT_FALSE(Object_Find(0)->m_Instances.First() == nullptr);
  EndGame();
}

TEST_F(RoomTest, ARoomChangeInACreateEventSkipsLaterCreateEventsAndRoomStartButNotCreationCode) {
  GameDataBuilder g = Game({Room("a", {Instance(0, 100001), Instance(1, 100002, "note(\"code b\")"),
                                       Instance(2, 100003)}),
                            Room("b", {})});
  LoadGame(g);
  const int32_t changer = LoggingObject("a");
  AddHandler(changer, EVENT_CREATE, 0, [](CInstance* self, CInstance*, ScriptValue*) {
    Log().push_back("a create:" + std::to_string(self->i_id));
    Run_SetNewRoom(1);
  });
  LoggingObject("b");
  LoggingObject("c", true);  // a persistent instance's create event still runs
  StartGame();
  EXPECT_EQ(Log(), (Lines{"a create:100001", "code b:100002", "c create:100003"}));
  EXPECT_EQ(Run_GetNewRoom(), 1);
  EndGame();
}

TEST_F(RoomTest, RestartRunsTheEndEventsDropsEveryRoomAndResetsScoreAndLivesButNotHealth) {
  GameDataBuilder g = Game({Room("a", {Instance(0, 100001)}, true), Room("b", {})});
  LoadGame(g);
  LoggingObject("x");
  StartGame();
  GotoRoom(1);
  GotoRoom(0);
  g_RoomRun.score = 5;
  g_RoomRun.lives = 3;
  g_RoomRun.health = 50.0;
  Log().clear();
  EndGame();
  EXPECT_EQ(Log(), (Lines{"x room end:100001", "x game end:100001"}));
  EXPECT_EQ(g_RoomRun.rooms.Count(), 0);
  EXPECT_EQ(CurrentRoom, nullptr);

  Log().clear();
  StartGame();
  EXPECT_EQ(g_RoomRun.score, 0);
  EXPECT_EQ(g_RoomRun.lives, -1);
  EXPECT_EQ(g_RoomRun.health, 50.0);
  // The persistent room starts fresh: its instance is made again with its create event.
  EXPECT_EQ(Log(), (Lines{"x create:100001", "x game start:100001", "x room start:100001"}));
  EndGame();
}

TEST_F(RoomTest, AGameThatNeverSetThemHasLivesMinusOneAndHealth100) {
  EXPECT_EQ(g_RoomRun.lives, -1);
  EXPECT_EQ(g_RoomRun.health, 100.0);
}

TEST_F(RoomTest, AnEmptyRoomOrderStartsNoRoomAndAsksTheGameToQuit) {
  GameDataBuilder g;
  RoomEntry room;
  room.codeWord = 0;
  g.Gen8().Room({room}).Strg();
  ASSERT_TRUE(Load(g.Build()));
  ErrorRecorder errors;
  StartGame();
  EXPECT_EQ(CurrentRoom, nullptr);
  EXPECT_EQ(Run_GetNewRoom(), kNewRoomQuit);
  EXPECT_EQ(errors.errors(), (std::vector<ErrorRecorder::Error>{
                                 {"The game has no room to start: its room order is empty.", false}}));
  EndGame();
}

}  // namespace
}  // namespace roomtest
