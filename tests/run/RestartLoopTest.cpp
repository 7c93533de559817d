#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/VCL.h"
#include "code/VM_State.h"
#include "os/OS_Messages.h"
#include "os/OS_Paths.h"
#include "run/Run_Global.h"
#include "run/Run_Main.h"
#include "run/Run_Startup.h"
#include "testlib/GameDataBuilder.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"
#include "variable/Variable_State.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// What the pump hook saw of each pass once its game was running.
struct PassSeen {
  std::string gameFile;
  std::string commandLine;
  bool firstPass;
  int32_t builtins;      // entries in the built-in function table
  double epsilon;        // the comparison epsilon
};
std::vector<PassSeen> g_passes;
bool g_quitPosted = false;
// Called on the first pass's running game: what it does before it asks to quit.
void (*g_onFirstPass)() = nullptr;

// Plays the player: as soon as a game runs, notes the pass and asks to quit.
void QuitOnceRunning() {
  if (!Run_IsRunning()) {
    g_quitPosted = false;
    return;
  }
  if (g_quitPosted) return;
  g_quitPosted = true;
  g_passes.push_back({GetGameFilePath() ? GetGameFilePath() : "(null)", Runner_GetCommandLine(),
                      Runner_IsFirstPass(), g_VM.functionCount, g_Variables.MathEpsilon});
  if (Runner_IsFirstPass() && g_onFirstPass) g_onFirstPass();
  OS_PostQuitMessage();
}

class RestartLoopTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    m_root = fs::canonical(m_dir.path()).string();
    m_oldCwd = fs::current_path();
    fs::current_path(m_root);
    m_oldConsole = DebugConsole;
    DebugConsole = &m_console;
    g_passes.clear();
    g_quitPosted = false;
    g_onFirstPass = nullptr;
    m_oldHook = PumpMessages_SetHook(QuitOnceRunning);
  }
  void TearDown() override {
    PumpMessages_SetHook(m_oldHook);
    DebugConsole = m_oldConsole;
    fs::current_path(m_oldCwd);
    RuntimeTest::TearDown();
  }
  // A game file that loads and starts: a header and one empty room.
  std::string WriteGame(const std::string& name) {
    GameDataBuilder builder;
    GameHeader header;
    header.roomOrder = {0};
    RoomEntry room;
    room.name = "room0";
    room.codeWord = 0;  // no creation code (the file holds no compiled code)
    builder.Gen8(header).Room({room}).Strg();
    const std::vector<uint8_t> bytes = builder.Build();
    const std::string path = m_root + "/" + name;
    FILE* out = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    return path;
  }

  TempDir m_dir;
  std::string m_root;
  fs::path m_oldCwd;
  RecordingConsole m_console;
  tagIConsole* m_oldConsole = nullptr;
  PumpMessagesHook m_oldHook = nullptr;
  MessageBoxRecorder m_boxes;
};

TEST_F(RestartLoopTest, WithoutAGameThePassFailsWithAMessage) {
  EXPECT_EQ(RunRestartLoop("\"runner\""), 1);
  ASSERT_EQ(m_boxes.boxes().size(), 1u);
  EXPECT_NE(m_boxes.boxes()[0].text.find("Unable to find game!!: no game file was named"), std::string::npos);

  EXPECT_EQ(RunRestartLoop("\"runner\" -game \"no such.win\""), 1);
  ASSERT_EQ(m_boxes.boxes().size(), 2u);
  EXPECT_NE(m_boxes.boxes()[1].text.find(m_root + "/no such.win"), std::string::npos);
  EXPECT_TRUE(g_passes.empty());
  EXPECT_EQ(SDL_WasInit(0), 0u);  // every pass stops what it started
}

TEST_F(RestartLoopTest, AHeadlessPassEndsOnAQuitRequest) {
  WriteGame("my game.win");
  fs::create_directory("sub");
  fs::current_path("sub");
  EXPECT_EQ(RunRestartLoop("\"runner\" -game \"../my game.win\""), 0);
  ASSERT_EQ(g_passes.size(), 1u);
  // The game path was made absolute before the game started, and freed after the pass.
  EXPECT_EQ(g_passes[0].gameFile, m_root + "/my game.win");
  EXPECT_TRUE(g_passes[0].firstPass);
  EXPECT_FALSE(Runner_IsFirstPass());
  EXPECT_EQ(GetGameFilePath(), nullptr);
  EXPECT_FALSE(Run_IsRunning());
  EXPECT_TRUE(m_boxes.boxes().empty());
  EXPECT_EQ(SDL_WasInit(0), 0u);
}

TEST_F(RestartLoopTest, AGameSwitchRunsTheNextPassWithTheRewrittenCommandLine) {
  WriteGame("first.win");
  WriteGame("second.win");
  g_onFirstPass = [] {
    Run_RequestGameSwitch("second.win", "first.win", nullptr);
    g_Variables.MathEpsilon = 0.25;
  };
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(RunRestartLoop("\"runner\" -game first.win -noaudio"), 0);
  const std::string printed = ::testing::internal::GetCapturedStdout();

  // The switch, then the way back to the game it came from, then the end.
  ASSERT_EQ(g_passes.size(), 3u);
  EXPECT_EQ(g_passes[0].gameFile, m_root + "/first.win");
  EXPECT_EQ(g_passes[1].gameFile, m_root + "/second.win");
  EXPECT_EQ(g_passes[1].commandLine, "-game \"second.win\" -exit \"first.win\"");
  EXPECT_FALSE(g_passes[1].firstPass);
  EXPECT_EQ(g_passes[2].gameFile, m_root + "/first.win");
  EXPECT_EQ(g_passes[2].commandLine, "-game \"first.win\"");
  EXPECT_EQ(printed, "-game \"second.win\" -exit \"first.win\"");
  EXPECT_FALSE(Run_SwitchedWithExitBack());

  // Every pass starts clean: the built-ins are registered once per pass, not once more on top of
  // the last pass's. What the process keeps goes on: the epsilon a script set.
  EXPECT_GT(g_passes[0].builtins, 0);
  for (const PassSeen& pass : g_passes) EXPECT_EQ(pass.builtins, g_passes[0].builtins) << pass.gameFile;
  EXPECT_EQ(g_passes[0].epsilon, 0.00001);
  EXPECT_EQ(g_passes[1].epsilon, 0.25);
  EXPECT_EQ(g_passes[2].epsilon, 0.25);
}

TEST_F(RestartLoopTest, ASwitchedCommandLineIsStoredWhateverItsLength) {
  const std::string longName = std::string(5000, 'g') + ".win";
  WriteGame("a.win");
  g_onFirstPass = [] { Run_RequestGameSwitch((std::string(5000, 'g') + ".win").c_str(), nullptr, nullptr); };
  EXPECT_EQ(RunRestartLoop("x -game a.win"), 1);  // the second game does not exist
  ASSERT_EQ(g_passes.size(), 1u);
  ASSERT_EQ(m_boxes.boxes().size(), 1u);
  EXPECT_NE(m_boxes.boxes()[0].text.find(longName), std::string::npos);
}

TEST_F(RestartLoopTest, AnInterruptEndsTheProcessInsteadOfSwitching) {
  WriteGame("first.win");
  g_onFirstPass = [] {
    Run_RequestGameSwitch("first.win", nullptr, nullptr);
    raise(SIGINT);
  };
  EXPECT_EQ(RunRestartLoop("x -game first.win"), 0);
  EXPECT_EQ(g_passes.size(), 1u);
  OS_ClearQuitSignal();
}

}  // namespace
