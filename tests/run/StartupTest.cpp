// The start-up sequence and its log, the preparation chain's failures, the options file and the
// debug companion beside the game file, and a game file that cannot be loaded.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/VCL.h"
#include "code/VM_State.h"
#include "debug/Debug_State.h"
#include "os/OS_Messages.h"
#include "os/OS_Paths.h"
#include "run/Run_Frame.h"
#include "run/Run_Global.h"
#include "run/Run_Startup.h"
#include "runner/GameData.h"
#include "runner/Runner_Main.h"
#include "testlib/GameDataBuilder.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;

namespace {

class StartupTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    m_oldConsole = DebugConsole;
    DebugConsole = &m_console;
  }
  void TearDown() override {
    if (HasFailure()) std::fprintf(stderr, "The start-up logged:\n%s", m_console.Text().c_str());
    ShutdownRunner();
    DebugConsole = m_oldConsole;
    RuntimeTest::TearDown();
  }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = m_dir.file(name);
    FILE* out = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    return path;
  }
  std::string WriteText(const std::string& name, const std::string& text) {
    return Write(name, std::vector<uint8_t>(text.begin(), text.end()));
  }
  // A game whose scripts and one object's create event are the texts given.
  std::string WriteGame(const std::string& name, const std::string& script = "return 1;",
                        const std::string& create = "x = 1;") {
    GameDataBuilder g;
    ObjectEntry object;
    object.name = "obj_a";
    object.events[0].push_back(ObjectEvent{0, ActionCode{create}});
    GameHeader header;
    header.roomOrder = {0};
    RoomEntry room;
    room.name = "room0";
    room.codeWord = 0;  // no creation code (the file holds no compiled code)
    room.instances = std::vector<RoomInstanceEntry>{RoomInstanceEntry{0, 0, 0, 100001, std::nullopt, 0}};
    g.Gen8(header).OptnNew().Scpt({ScriptEntry{"scr_a", script}}).Objt({object}).Room({room}).Strg();
    return Write(name, g.Build());
  }
  bool Start(const std::string& path) {
    SetGameFilePath(path.c_str());
    InitRunner();
    return StartRunner();
  }

  TempDir m_dir;
  RecordingConsole m_console;
  tagIConsole* m_oldConsole = nullptr;
  MessageBoxRecorder m_boxes;
};

TEST_F(StartupTest, AHeadlessStartLogsEveryStepInOrder) {
  ASSERT_TRUE(Start(WriteGame("game.win")));
  EXPECT_TRUE(Run_IsRunning());
  EXPECT_TRUE(m_boxes.boxes().empty());
  const std::vector<std::string> steps = {
      "\n***************************************\n*     Tuvo Games Runner v1.4(1522)[r787878]    *\n"
      "***************************************\t \n",
      "RunnerLoadGame: " + m_dir.file("game.win") + "\n",
      "Checking if INIFile " + m_dir.file("options.ini") + " Exists\n",
      "!!!!No INI File " + m_dir.file("options.ini") + "\n",
      "Reading File " + m_dir.file("game.win") + "\n",
      "Get Resolution\n", "HighScore..", "Game..", "Math..", "Graphic..", "Action..", "File..", "Resource..",
      "Interaction..", "3D..", "Particle..", "Misc..", "DS..", "Sound..", "Physics..", "Gamepad..", "Buffers..",
      "Networking..", "Shaders..", "Tuvo..", "Fini\n", "Create Window\n", "AdjustWindowRectEx\n",
      "RegisterClassEx\n", "CreateWindowEx\n", "Init Graphics\n", "GR_D3D_Init()\n",
      "IO Init\n", "Process Messages\n", "Splash!\n", "Start Frame\n", "Part Create Textures\n",
      "Debug Init Remote Interface\n", "VM Init\n", "Create Score Form\n", "Create Load Form\n",
      "Create Error Form\n", "Do The Work\n", "LoadGameData()\n", "PrepareGame()\n", "Extension_Prepare() \n",
      "Code_Constant_Prepare() \n", "Script_Prepare() \n", "TimeLine_Prepare() \n", "Object_Prepare() \n",
      "Room_Prepare() \n", "Sound_Prepare() \n", "InitGraphics() \n", "Finished PrepareGame() \n", "Run_Start\n", "StartGame()\n",
      "StartGame() - DONE\n", "**********************************.\n", "Entering main loop.\n",
      "**********************************.\n"};
  // Every step's line, in this order (other lines may come between them).
  size_t next = 0;
  for (const std::string& line : m_console.Lines()) {
    if (next < steps.size() && line == steps[next]) ++next;
  }
  EXPECT_EQ(next, steps.size()) << "missing from here: " << (next < steps.size() ? steps[next] : "") << "\nlog:\n"
                                << m_console.Text();
}

TEST_F(StartupTest, TheFirstFailingPreparationStepShowsItsMessageAndStopsTheStart) {
  const struct {
    const char* script;
    const char* create;
    const char* message;
  } cases[] = {
      {"return (;", "x = 1;", "Failed to compile the scripts."},
      {"return 1;", "x = ;", "Failed to compile the actions in the objects."},
      {"return (;", "x = ;", "Failed to compile the scripts."},  // the chain's first failure only
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    Runtime_Reset();
    ErrorRecorder errors;  // the compile error itself is reported too
    const size_t before = m_boxes.boxes().size();
    EXPECT_FALSE(Start(WriteGame("bad.win", c.script, c.create)));
    EXPECT_FALSE(Run_IsRunning());
    ASSERT_EQ(m_boxes.boxes().size(), before + 1);
    EXPECT_EQ(m_boxes.boxes().back().text, c.message);
    EXPECT_EQ(m_console.Count("Run_Start\n"), 0);
    ShutdownRunner();
  }
}

TEST_F(StartupTest, AMissingGameFileStopsTheStartWithItsName) {
  EXPECT_FALSE(Start(m_dir.file("absent.win")));
  ASSERT_EQ(m_boxes.boxes().size(), 1u);
  EXPECT_EQ(m_boxes.boxes()[0].text, "Unable to find game!!: " + m_dir.file("absent.win"));
  EXPECT_EQ(g_GameData.GameImage, nullptr);
  EXPECT_EQ(m_console.Count("FAILED to load File " + m_dir.file("absent.win") + "\n"), 1);
  EXPECT_EQ(m_console.Count("Get Resolution\n"), 0);  // nothing reads an image never loaded
  EXPECT_FALSE(Run_IsRunning());
}

TEST_F(StartupTest, TheOptionsFileSetsDebuggingAndOrientations) {
  const std::string game = WriteGame("game.win");
  const struct {
    const char* text;
    const char* log;
    const char* address;
    int32_t port;
    bool link;
  } cases[] = {
      {"[DEFAULT]\ndebugIP=10.0.0.2:6510\n", "debugIP=10.0.0.2 Port=6510\n", "10.0.0.2", 6510, true},
      {"[DEFAULT]\ndebugIP=10.0.0.2\n", "debugIP=10.0.0.2 Port=0\n", "10.0.0.2", 0, false},
      {"[DEFAULT]\nNewDebugger=1\ndebugIP=host\n", "debugIP=host Port=0\n", "host", 0, true},
      {"[DEFAULT]\nOrientPortrait=0\n", nullptr, "", 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Runtime_Reset();
    m_console.Clear();
    WriteText("options.ini", c.text);
    SetGameFilePath(game.c_str());
    ASSERT_TRUE(RunnerLoadGame());
    if (c.log != nullptr) {
      EXPECT_EQ(m_console.Count(c.log), 1) << m_console.Text();
    }
    EXPECT_EQ(g_Debug.debuggerAddress, c.address);
    EXPECT_EQ(g_Debug.debuggerPort, c.port);
    EXPECT_EQ(g_Debug.NewDebugger, c.link);
  }
  // The last file forbade portrait only.
  EXPECT_FALSE(g_RunnerLoad.orientPortrait);
  EXPECT_TRUE(g_RunnerLoad.orientLandscape && g_RunnerLoad.orientLandscapeFlipped && g_RunnerLoad.orientPortraitFlipped);

  Runtime_Reset();
  WriteText("options.ini", "[DEFAULT]\nDebug=1\nTrace=1\n");
  SetGameFilePath(game.c_str());
  ASSERT_TRUE(RunnerLoadGame());
  EXPECT_TRUE(g_Debug.DebugMode);
  EXPECT_EQ(g_Debug.DebugOverlayFlags, kDebugOverlayShown);
  EXPECT_TRUE(g_VM.trace);
}

TEST_F(StartupTest, TheDebugCompanionBesideTheGameIsRead) {
  const std::string game = WriteGame("game.win");
  GameDataBuilder debug;
  debug.Dbgi({{1, 2}}).DebugSources({std::string("x = 1;")}).Strg();
  SetGameFilePath(game.c_str());
  ASSERT_TRUE(RunnerLoadGame());
  EXPECT_FALSE(g_GameData.debugPresent);

  Write("game.qxdebug", debug.Build());
  Runtime_Reset();
  SetGameFilePath(game.c_str());
  ASSERT_TRUE(RunnerLoadGame());
  EXPECT_TRUE(g_GameData.debugPresent);
  EXPECT_NE(g_GameData.GameImage, nullptr);
}

}  // namespace
