#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/VCL.h"
#include "code/Code_Constant.h"
#include "code/Code_Error.h"
#include "code/Code_Main.h"
#include "code/VM_Exec.h"
#include "debug/Debug_State.h"
#include "extension/Extension_Main.h"
#include "option/Option_Main.h"
#include "os/OS_Paths.h"
#include "physics/Physics_Main.h"
#include "run/Run_CommandLine.h"
#include "sound/Audio_Main.h"
#include "testlib/RuntimeTest.h"

namespace {

class CommandLineTest : public testsupport::RuntimeTest {
 protected:
  static std::vector<std::string> Parameters() {
    std::vector<std::string> out;
    for (int32_t i = 0; i < CommandLine_ParameterCount(); ++i) out.push_back(CommandLine_Parameter(i));
    return out;
  }
  static std::string Text(const char* s) { return s ? s : "(null)"; }
};

TEST_F(CommandLineTest, TokensFollowSeparatorsAndQuotes) {
  struct Case {
    const char* line;
    std::vector<std::string> tokens;
  };
  const Case cases[] = {
      {"runner -game \"C:/my games/data.win\"", {"runner", "-game", "C:/my games/data.win"}},
      {"ab\"c d\"e f", {"abc de", "f"}},               // quotes in mid-token
      {"  \t a\r\nb  ", {"a", "b"}},                   // control characters separate
      {"\"\" x", {"", "x"}},                           // an empty quoted token is a token
      {"caf\xc3\xa9s x", {"caf", "s", "x"}},           // bytes from 0x80 separate outside quotes
      {"\"caf\xc3\xa9s\" x", {"caf\xc3\xa9s", "x"}},   // and are kept inside
      {"a\x7f" "b", {"a\x7f" "b"}},                    // 0x7F is not a separator
      {"\"open quote to the end", {"open quote to the end"}},
      {"", {}},
      {"   ", {}},
  };
  for (const Case& c : cases) {
    ParseCommandLine(c.line);
    EXPECT_EQ(Parameters(), c.tokens) << c.line;
  }
}

TEST_F(CommandLineTest, TokenizerReportsWhereTheTokenEnded) {
  const char* line = "  one \"t w\"o";
  int64_t position = TokenizeCommandLine(0, line);
  EXPECT_EQ(position, 5);
  EXPECT_STREQ(CommandLine_LastToken(), "one");
  position = TokenizeCommandLine(position, line);
  EXPECT_EQ(position, 12);
  EXPECT_STREQ(CommandLine_LastToken(), "t wo");
  // At the end nothing is read and nothing appended.
  const int32_t count = CommandLine_ParameterCount();
  EXPECT_EQ(TokenizeCommandLine(position, line), position);
  EXPECT_STREQ(CommandLine_LastToken(), "");
  EXPECT_EQ(TokenizeCommandLine(0, nullptr), 0);
  EXPECT_EQ(CommandLine_ParameterCount(), count);
}

TEST_F(CommandLineTest, EveryOptionSetsItsState) {
  ParseCommandLine(
      "prog -trace -ext -noerrors -oldexec -noaudio -inawindow -exit back.win -dir d -steam -software "
      "-intel -audiodebug -networkdebug -vanillaGFX -output out.txt -debugoutput dbg.txt "
      "-profiledump prof.txt 12 -game g.win --debug -Trace stray");
  const CommandLineOptions& o = g_CommandLineOptions;
  EXPECT_TRUE(g_VM.trace);
  EXPECT_TRUE(g_Extensions.ExternalCallsOff);
  EXPECT_FALSE(Error_GetDialogSwitch());
  EXPECT_FALSE(g_VM.UseVM);
  EXPECT_TRUE(SoundDisabled);
  EXPECT_TRUE(g_Options.InAWindow);
  EXPECT_EQ(Text(o.exitGamePath), "back.win");
  EXPECT_EQ(Text(o.directory), "d");
  EXPECT_EQ(g_Extensions.ExternalCallsDisabled, 1);
  EXPECT_TRUE(o.softwareVertexProcessing);
  EXPECT_TRUE(o.intelWorkarounds);
  EXPECT_EQ(g_Debug.DebugOverlayFlags, kDebugOverlayAudio);
  EXPECT_TRUE(o.networkDebug);
  EXPECT_TRUE(o.vanillaGraphics);
  EXPECT_TRUE(g_LogSettings.outputWanted);
  EXPECT_EQ(g_LogSettings.outputFile, "out.txt");
  EXPECT_TRUE(g_LogSettings.debugOutputWanted);
  EXPECT_EQ(g_LogSettings.debugOutputFile, "dbg.txt");
  EXPECT_EQ(Text(o.profileDumpFile), "prof.txt");
  EXPECT_EQ(o.profileDumpCount, 12);
  EXPECT_EQ(Text(GetGameFilePath()), "g.win");
  EXPECT_FALSE(g_Debug.DebugMode);  // "--debug" is no option
  // Every token is counted, the program path and the options' arguments included.
  EXPECT_EQ(CommandLine_ParameterCount(), 29);
  EXPECT_EQ(Text(CommandLine_Parameter(28)), "stray");
  EXPECT_EQ(CommandLine_Parameter(29), nullptr);
  EXPECT_EQ(CommandLine_Parameter(-1), nullptr);
}

TEST_F(CommandLineTest, ArgumentsAreNeverTakenForOptions) {
  ParseCommandLine("p -game -noaudio -dir");
  EXPECT_EQ(Text(GetGameFilePath()), "-noaudio");
  EXPECT_FALSE(SoundDisabled);
  // A missing argument reads as the empty text.
  EXPECT_EQ(Text(g_CommandLineOptions.directory), "");
  ParseCommandLine("p -profiledump dump.txt");
  EXPECT_EQ(Text(g_CommandLineOptions.profileDumpFile), "dump.txt");
  EXPECT_EQ(g_CommandLineOptions.profileDumpCount, 0);
  ParseCommandLine("p -profiledump f 3x -profiledump g 99999999999");
  EXPECT_EQ(g_CommandLineOptions.profileDumpCount, INT32_MAX);
}

TEST_F(CommandLineTest, DebugOnlyWithoutAKnownGameFile) {
  ParseCommandLine("p -debug");
  EXPECT_TRUE(g_Debug.DebugMode);
  EXPECT_EQ(g_Debug.DebugOverlayFlags, kDebugOverlayShown);
  EXPECT_TRUE(Physics_ErrorHandlerInstalled());
  ParseCommandLine("p -debug -audiodebug");
  EXPECT_EQ(g_Debug.DebugOverlayFlags, kDebugOverlayShown | kDebugOverlayAudio);

  // A data.win found beside the executable, or an earlier -game, makes -debug do nothing.
  SetGameFilePath("/games/data.win");
  ParseCommandLine("p -debug");
  EXPECT_FALSE(g_Debug.DebugMode);
  EXPECT_EQ(g_Debug.DebugOverlayFlags, 0u);
  FreeGamePaths();
  ParseCommandLine("p -game x.win -debug");
  EXPECT_FALSE(g_Debug.DebugMode);
}

TEST_F(CommandLineTest, RecordAndPlaybackShareOneFileName) {
  ParseCommandLine("p -record rec.dat -playback play.dat");
  EXPECT_TRUE(g_CommandLineOptions.recordInput);
  EXPECT_TRUE(g_CommandLineOptions.playbackInput);
  EXPECT_EQ(Text(g_CommandLineOptions.inputFile), "play.dat");
}

TEST_F(CommandLineTest, UrlFormKeepsItsRemainder) {
  struct Case {
    const char* line;
    const char* arguments;
  };
  const Case cases[] = {
      {"p twplayer://abc/", "abc"},
      {"p twplayer:abc", "abc"},
      {"p twplayer:abc//", "abc/"},
      {"p twplayer://", "/"},  // the trailing '/' goes first: "twplayer:/" then takes "/"
      {"p twplayer:/", ""},
      {"p TWPLAYER:abc", "(null)"},  // case matters
      {"p twplayer:one twplayer:two", "two"},
  };
  for (const Case& c : cases) {
    CommandLine_Reset();
    ParseCommandLine(c.line);
    EXPECT_EQ(Text(g_CommandLineOptions.launchArguments), c.arguments) << c.line;
  }
}

TEST_F(CommandLineTest, OnlyThePassOptionsAreResetByTheNextParse) {
  ParseCommandLine(
      "p -debug -ext -oldexec -noaudio -inawindow -record r -trace -noerrors -software -dir d "
      "twplayer:x");
  ParseCommandLine("p");
  EXPECT_FALSE(g_Debug.DebugMode);
  EXPECT_EQ(g_Debug.DebugOverlayFlags, 0u);
  EXPECT_FALSE(g_Extensions.ExternalCallsOff);
  EXPECT_TRUE(g_VM.UseVM);
  EXPECT_FALSE(SoundDisabled);
  EXPECT_FALSE(g_Options.InAWindow);
  EXPECT_FALSE(g_CommandLineOptions.recordInput);
  // Kept for the life of the process.
  EXPECT_TRUE(g_VM.trace);
  EXPECT_FALSE(Error_GetDialogSwitch());
  EXPECT_TRUE(g_CommandLineOptions.softwareVertexProcessing);
  EXPECT_EQ(Text(g_CommandLineOptions.inputFile), "r");
  EXPECT_EQ(Text(g_CommandLineOptions.directory), "d");
  EXPECT_EQ(Text(g_CommandLineOptions.launchArguments), "x");
  EXPECT_EQ(CommandLine_ParameterCount(), 1);

  // A null text resets the pass options and leaves the parameter list alone.
  ParseCommandLine("p -noaudio q");
  ParseCommandLine(nullptr);
  EXPECT_FALSE(SoundDisabled);
  EXPECT_EQ(CommandLine_ParameterCount(), 3);
}

TEST_F(CommandLineTest, LongTokensAndManyTokensAreKeptWhole) {
  const std::string longPath(10000, 'x');
  std::string line = "p -game \"" + longPath + "\"";
  for (int i = 0; i < 500; ++i) line += " t" + std::to_string(i);
  ParseCommandLine(line.c_str());
  EXPECT_EQ(Text(GetGameFilePath()), longPath);
  ASSERT_EQ(CommandLine_ParameterCount(), 503);
  EXPECT_EQ(Text(CommandLine_Parameter(2)), longPath);
  EXPECT_EQ(Text(CommandLine_Parameter(502)), "t499");
}

TEST_F(CommandLineTest, JoinedArgumentsReadBackOneTokenEach) {
  const char* argv[] = {"/opt/run ner", "-game", "my game.win", "", "a\"b c", "caf\xc3\xa9"};
  const std::string line = CommandLine_Join(6, argv);
  EXPECT_EQ(line, "\"/opt/run ner\" \"-game\" \"my game.win\" \"\" \"ab c\" \"caf\xc3\xa9\"");
  ParseCommandLine(line.c_str());
  EXPECT_EQ(Parameters(),
            (std::vector<std::string>{"/opt/run ner", "-game", "my game.win", "", "ab c", "caf\xc3\xa9"}));
  EXPECT_EQ(Text(GetGameFilePath()), "my game.win");
}

}  // namespace
