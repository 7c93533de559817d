// The container and the two passes over it: the log lines, which reader gets which chunk and in
// what order, the header in both passes, the room order of every header version, and the
// texture fix-up.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "GameDataTestUtil.h"
#include "extension/Extension_Main.h"
#include "graphics/Graphics_Texture.h"
#include "os/OS_Paths.h"
#include "room/Room_Class.h"
#include "room/Room_Main.h"
#include "runner/GameData_Code.h"
#include "runner/GameData_Strings.h"
#include "support/PendingChunk.h"

namespace gamedatatest {
namespace {

using testsupport::CodeEntry;
using testsupport::CodeWriter;
using testsupport::GameDataBuilder;
using testsupport::GameOptions;

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> b) { return b; }

// A file with a chunk for every reader, in the order a game file places them. Size-0 chunks of a
// known and an unknown kind sit among them.
GameDataBuilder EveryChunk(bool newAudio) {
  GameDataBuilder g;
  GameOptions options;
  options.newAudio = newAudio;
  g.Gen8().OptnNew(options);
  g.Raw("EXTN", Bytes({1, 0, 0, 0}));
  g.Raw("SOND", Bytes({2, 0, 0, 0, 9}));
  g.Raw("AGRP", Bytes({3, 0, 0}));
  g.Raw("SPRT", Bytes({0, 0, 0, 0}));  // no sprites
  g.Raw("TMLN");  // size 0: no reader
  g.Raw("BGND", Bytes({0, 0, 0, 0}));  // no backgrounds
  g.Raw("PATH", Bytes({0, 0, 0, 0}));  // no paths
  g.Raw("SCPT", Bytes({0, 0, 0, 0}));  // no scripts
  g.Raw("SHDR", Bytes({8}));
  g.Font({});  // no fonts, the character table
  g.Raw("ZERO");  // size 0 and unknown: neither read nor reported
  g.Raw("OBJT", Bytes({0, 0, 0, 0}));  // no objects
  g.Raw("ROOM", Bytes({0, 0, 0, 0}));  // no rooms
  g.Raw("DAFL", Bytes({12}));
  g.Code({{"main", CodeWriter{}.VarRef(0xC0000000u, "score").Word(0x9D000000u)}});
  g.Vari().Func();
  g.Tpag({{}});
  g.Txtr({{0, {0x89, 'P', 'N', 'G'}}});
  g.Raw("AUDO", Bytes({13, 0, 0, 0}));
  g.Raw("HELP", Bytes({14}));
  g.Raw("STAT", Bytes({15}));
  g.Strg();
  return g;
}

TEST_F(GameDataTest, BothPassesLogEveryChunkAndHandEachToItsReaderInFileOrder) {
  for (const bool newAudio : {false, true}) {
    SCOPED_TRACE(newAudio ? "audio engine" : "legacy sound");
    const std::vector<uint8_t> file = EveryChunk(newAudio).Build();
    const std::vector<ChunkPlace> chunks = ChunkPlaces(file);

    ASSERT_TRUE(GameData_LoadImage(file.data(), file.size()));
    m_console.Clear();
    ASSERT_TRUE(GameData_ScanHeader());
    EXPECT_EQ(m_console.Lines(),
              (std::vector<std::string>{"Get Header Information\n", "InitTWLFunctions\n", "HighScore..", "Game..",
                                        "Math..", "Graphic..", "Action..", "File..", "Resource..", "Interaction..",
                                        "3D..", "Particle..", "Misc..", "DS..", "Sound..", "Physics..", "Gamepad..",
                                        "Buffers..", "Networking..", "Shaders..", "Tuvo..", "Fini\n", "Code_Load()\n",
                                        "VARI_Load()\n", "ID_STRG\n"}));
    EXPECT_TRUE(CodeChunkPresent());
    EXPECT_EQ(CodeEntryCount(), 1);
    const GameCodeEntry* entry = GameData_GetCodeEntry(0);
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->name, "main");
    EXPECT_EQ(entry->lengthBytes, 12);
    EXPECT_GT(StringTable_Count(), 0);

    m_console.Clear();
    ASSERT_TRUE(LoadGameData());
    std::vector<std::string> expected = {"LoadGameData()\n", "initialise everything!\n"};
    for (const ChunkPlace& c : chunks) {
      expected.push_back("Process Chunk: " + c.tag + "   " + std::to_string(c.size) + "\n");
    }
    EXPECT_EQ(m_console.Lines(), expected);

    // Each reader got its own chunk's payload, and the records follow the file's order.
    struct Expect {
      const char* reader;
      const char* tag;
    };
    std::vector<Expect> readers = {{"Extension_Load", "EXTN"},  {newAudio ? "Audio_Load" : "Sound_Init", "SOND"},
                                   {"Shader_LoadChunk", "SHDR"},
                                   {newAudio ? "Audio_WAVs" : "Wave_Init", "AUDO"}};
    if (newAudio) readers.insert(readers.begin() + 2, {"AudioGroup_Load", "AGRP"});
    int32_t previous = -1;
    for (const Expect& e : readers) {
      SCOPED_TRACE(e.reader);
      ChunkPayload payload;
      int32_t order = -1;
      ASSERT_TRUE(PendingChunk_Find(e.reader, &payload, &order));
      const ChunkPlace* place = nullptr;
      for (const ChunkPlace& c : chunks) {
        if (c.tag == e.tag) place = &c;
      }
      ASSERT_NE(place, nullptr);
      EXPECT_EQ(payload.data, g_GameData.GameImage + place->offset);
      EXPECT_EQ(payload.size, place->size);
      EXPECT_GT(order, previous);
      previous = order;
    }
    // The readers of the other audio system, and the reader of the size-0 chunk, got nothing.
    EXPECT_FALSE(PendingChunk_Find(newAudio ? "Sound_Init" : "Audio_Load", nullptr));
    EXPECT_FALSE(PendingChunk_Find(newAudio ? "Wave_Init" : "Audio_WAVs", nullptr));
    EXPECT_EQ(PendingChunk_Find("AudioGroup_Load", nullptr), newAudio);
    GameData_Free();
  }
}

TEST_F(GameDataTest, UnknownChunkIsReportedAndFailsTheLoadAfterTheWalk) {
  GameDataBuilder g;
  g.Gen8().Raw("ABCD", Bytes({1, 2})).Raw("SHDR", Bytes({3})).Strg();
  const std::vector<uint8_t> file = g.Build();
  EXPECT_FALSE(Load(file));
  EXPECT_EQ(m_console.Count("unknown Chunk ABCD:1145258561\n"), 1);
  EXPECT_TRUE(PendingChunk_Find("Shader_LoadChunk", nullptr));  // the walk went on

  m_console.Clear();
  EXPECT_FALSE(LoadFromDisk(file));
  EXPECT_EQ(m_console.Count("unknown Chunk ABCD:1145258561\n"), 1);
}

TEST_F(GameDataTest, EachPassRunsOncePerImage) {
  GameDataBuilder g;
  g.Gen8().Strg();
  const std::vector<uint8_t> file = g.Build();
  ASSERT_TRUE(GameData_LoadImage(file.data(), file.size()));
  EXPECT_FALSE(LoadGameData());  // the header pass has not run
  ASSERT_TRUE(GameData_ScanHeader());
  EXPECT_FALSE(GameData_ScanHeader());
  ASSERT_TRUE(LoadGameData());
  EXPECT_FALSE(LoadGameData());
  EXPECT_FALSE(GameData_LoadImage(file.data(), 0));
  EXPECT_EQ(g_GameData.GameImage, nullptr);
}

TEST_F(GameDataTest, HeaderFieldsFollowTheVersion) {
  struct Case {
    int version;
    bool window, displayName, platformMask, steamId, debuggerPort;
  };
  const Case cases[] = {
      {8, true, false, false, false, false},  {10, true, true, false, false, false},
      {12, true, true, true, false, false},   {13, true, true, true, true, false},
      {14, true, true, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("version " + std::to_string(c.version));
    testsupport::GameHeader h;
    h.version = static_cast<uint8_t>(c.version);
    h.debugFlags = 0;
    h.name = "Title";
    h.config = "Release";
    h.projectName = "Folder";
    h.displayName = "Shown";
    h.lastInstanceId = 100123;
    h.lastTileId = 10000456;
    h.gameId = 4242;
    h.windowWidth = 1024;
    h.windowHeight = 768;
    h.optionBits = kHeaderResizable | kHeaderNoExternalCalls | kHeaderRoamingSaves;
    h.platformMask = 0x0000000500000004ull;
    h.steamAppId = 777;
    h.debuggerPort = 6600;
    GameDataBuilder g;
    g.Gen8(h).Strg();
    ASSERT_TRUE(Load(g.Build()));

    const GameHeaderInfo& info = g_GameData.headerInfo;
    ASSERT_NE(g_GameData.GameHeader, nullptr);
    EXPECT_EQ(g_GameData.GameHeaderVersion, c.version);
    EXPECT_EQ(info.debugFlags, 0);
    EXPECT_STREQ(info.gameName, "Title");
    EXPECT_STREQ(info.configName, "Release");
    EXPECT_STREQ(info.projectName, "Folder");
    EXPECT_EQ(info.gameId, 4242);
    EXPECT_EQ(Room_GetLastInstanceId(), 100123);
    EXPECT_EQ(Room_GetLastTileId(), 10000456);
    EXPECT_EQ(info.windowWidth, c.window ? 1024 : 800);
    EXPECT_EQ(info.windowHeight, c.window ? 768 : 480);
    EXPECT_EQ(info.appSurfaceWidth, info.windowWidth);
    EXPECT_EQ(info.optionBits, c.window ? h.optionBits : 2u);
    EXPECT_EQ(g_Extensions.ExternalCallsDisabled, 1);  // bit 0x1000 acts in every version
    if (c.displayName) {
      EXPECT_STREQ(info.displayName, "Shown");
    } else {
      EXPECT_EQ(info.displayName, nullptr);
    }
    EXPECT_EQ(info.platformOptions, c.platformMask ? h.platformMask : ~0ull);
    EXPECT_EQ(info.steamAppId, c.steamId ? 777u : 0u);
    EXPECT_EQ(info.debuggerPort, c.debuggerPort ? 6600 : 6502);
    GameData_Free();
    g_Extensions.ExternalCallsDisabled = 0;
  }

  // Before version 8 the window words are not taken, but bits 0x1000 and 0x2000 of word 17 act.
  testsupport::GameHeader old;
  old.version = 7;
  old.words = {{15, 1024}, {16, 768}, {17, kHeaderNoExternalCalls | kHeaderRoamingSaves | kHeaderResizable}};
  GameDataBuilder g;
  g.Gen8(old).Strg();
  ASSERT_TRUE(Load(g.Build()));
  EXPECT_EQ(g_GameData.headerInfo.windowWidth, 800);
  EXPECT_EQ(g_GameData.headerInfo.windowHeight, 480);
  EXPECT_EQ(g_GameData.headerInfo.optionBits, 2u);
  EXPECT_EQ(g_Extensions.ExternalCallsDisabled, 1);
}

// The project name chooses the save folder, always one of the game's own below the runtime's
// folder: a game with no name, or named after a folder other programs use, cannot reach their
// files.
TEST_F(GameDataTest, SaveAreaIsAFolderOfTheGamesOwn) {
  testsupport::TempDir dir;
  const std::string root = std::filesystem::canonical(dir.path()).string();
  testsupport::EnvOverride data("XDG_DATA_HOME", (root + "/share").c_str());
  testsupport::EnvOverride config("XDG_CONFIG_HOME", (root + "/config").c_str());
  struct Case {
    std::optional<std::string> name;
    uint32_t bits;
    std::string saveArea;
  };
  const Case cases[] = {
      {"//", 0, root + "/share/runner/unnamed/"},
      {std::nullopt, 0, root + "/share/runner/unnamed/"},
      {"..", kHeaderRoamingSaves, root + "/config/runner/unnamed/"},
      {"autostart", kHeaderRoamingSaves, root + "/config/runner/autostart/"},
      {"Folder", 0, root + "/share/runner/Folder/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.value_or("(none)"));
    testsupport::GameHeader h;
    h.projectName = c.name;
    h.optionBits = c.bits;
    GameDataBuilder g;
    g.Gen8(h).Strg();
    ASSERT_TRUE(Load(g.Build()));
    ASSERT_NE(GetSaveDirectory(), nullptr);
    EXPECT_EQ(std::string(GetSaveDirectory()), c.saveArea);
    GameData_Free();
  }
}

TEST_F(GameDataTest, RoomOrderLiesWhereTheVersionPutsIt) {
  // The count's word per version, written by hand so that the builder's own table is not trusted.
  const std::pair<int, int> cases[] = {{0, 9},   {5, 9},   {7, 9},   {8, 25},  {9, 25},  {10, 26}, {11, 28},
                                       {12, 30}, {13, 31}, {14, 32}, {15, 25}, {16, 25}, {255, 25}};
  for (const auto& [version, word] : cases) {
    SCOPED_TRACE("version " + std::to_string(version));
    EXPECT_EQ(GameData_RoomOrderCountWord(version), word);
    testsupport::GameHeader h;
    h.version = static_cast<uint8_t>(version);
    h.words = {{word, 3}, {word + 1, 4}, {word + 2, 0}, {word + 3, 2}};
    if (word + 3 < 17) h.words[17] = 0;  // every version reads word 17
    GameDataBuilder g;
    g.Gen8(h).Strg();
    ASSERT_TRUE(Load(g.Build()));
    ASSERT_EQ(RoomOrder.GetLength(), 3);
    EXPECT_EQ(RoomOrder[0], 4);
    EXPECT_EQ(RoomOrder[1], 0);
    EXPECT_EQ(RoomOrder[2], 2);
    GameData_Free();
  }
  // A count of 0 or less gives an empty order.
  testsupport::GameHeader h;
  h.words = {{32, 0xFFFFFFFFu}};
  GameDataBuilder g;
  g.Gen8(h).Strg();
  ASSERT_TRUE(Load(g.Build()));
  EXPECT_EQ(RoomOrder.GetLength(), 0);
}

TEST_F(GameDataTest, TexturePagesGetTheirTextureIdsAndBadPagesKeepTheirIndex) {
  testsupport::TPageEntryFields page0, page2, page3, pageMinus1;
  page0.page = 0;
  page2.page = 2;
  page3.page = 3;
  pageMinus1.page = -1;
  GameDataBuilder g;
  g.Gen8().Tpag({page2, page3, pageMinus1, page0});
  g.Txtr({{1, {0x89, 'P', 'N', 'G', 1, 2}}, {0, {}}, {2, {7, 7, 7}}}).Strg();
  const testsupport::BuiltGameData built = g.BuildWithLabels();

  ASSERT_TRUE(GameData_LoadImage(built.bytes.data(), built.bytes.size()));
  ASSERT_TRUE(GameData_ScanHeader());
  // Textures made before the load take the first ids, so the loaded ones start at 10.
  for (int i = 0; i < 10; ++i) GR_Texture_CreateFromChunk(nullptr, 0, false);
  ASSERT_TRUE(LoadGameData());

  ASSERT_EQ(g_GameData.TextureIdCount, 3);
  EXPECT_EQ(g_GameData.TextureIds[0], 10);
  EXPECT_EQ(g_GameData.TextureIds[2], 12);
  auto page = [&](int i) { return ImageValue<int16_t>(built.At("tpag#" + std::to_string(i)) + 20); };
  EXPECT_EQ(page(0), 12);
  EXPECT_EQ(page(1), 3);
  EXPECT_EQ(page(2), -1);
  EXPECT_EQ(page(3), 10);
  EXPECT_EQ(m_console.Count("what!!!!\n"), 2);

  // Every entry of the texture chunk has its slot, whether or not its bytes make an image.
  for (int32_t id = 10; id <= 12; ++id) EXPECT_TRUE(GR_Texture_Exists(id)) << id;
  EXPECT_FALSE(GR_Texture_Exists(13));
}

TEST_F(GameDataTest, DebugCompanionGivesSourcesAndLineTables) {
  GameDataBuilder game;
  game.Gen8().Code({{"a", CodeWriter{0x9D000000u}}, {"b", CodeWriter{0x9D000000u}}}).Strg();
  ASSERT_TRUE(Load(game.Build()));

  auto debugFile = [](bool lineInsideChunk) {
    GameDataBuilder d;
    d.Chunk("DBGI", [&](testsupport::ByteWriter& w) {
      w.U32(2).Offset(lineInsideChunk ? "lines0" : "text0").U32(0).Label("lines0").U32(2).U32(11).U32(22);
    });
    d.Chunk("SCPT", [](testsupport::ByteWriter& w) { w.U32(2).U32(0).Offset("record1"); });
    d.Chunk("INST", [](testsupport::ByteWriter& w) { w.U32(1).U32(0); });
    d.Chunk("DATA", [](testsupport::ByteWriter& w) {
      w.Label("record1").Offset("text1").Label("text0").Label("text1").Raw("x = 1;", 7).Zeros(1);
    });
    return d.Build();
  };
  const std::vector<uint8_t> good = debugFile(true);
  ASSERT_TRUE(GameData_LoadDebugImage(good.data(), good.size()));
  ASSERT_TRUE(DebugFile_ProcessChunks());
  EXPECT_EQ(m_console.Count("Process Chunk: DBGI   24\n"), 1);
  EXPECT_TRUE(DebugCompanionPresent());
  EXPECT_EQ(GameData_DebugSource(0), nullptr);
  EXPECT_STREQ(GameData_DebugSource(1), "x = 1;");
  const uint32_t* words;
  int32_t size;
  ASSERT_TRUE(GameData_DebugLineInfo(0, &words, &size));
  EXPECT_EQ(size, 8);
  EXPECT_EQ(words[0], 11u);
  EXPECT_EQ(words[1], 22u);
  EXPECT_FALSE(GameData_DebugLineInfo(1, &words, &size));
  EXPECT_EQ(g_GameData.DebugInstanceNameCount, 1);

  // A line table outside the line chunk refuses the whole companion.
  const std::vector<uint8_t> bad = debugFile(false);
  ASSERT_TRUE(GameData_LoadDebugImage(bad.data(), bad.size()));
  EXPECT_FALSE(DebugFile_ProcessChunks());
  EXPECT_FALSE(DebugCompanionPresent());
  EXPECT_EQ(GameData_DebugSource(1), nullptr);
  EXPECT_EQ(CodeEntryCount(), 2);
}

}  // namespace
}  // namespace gamedatatest
