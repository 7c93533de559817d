// The options chunk in both layouts, its defaults, -inawindow and the game's constants.
#include <gtest/gtest.h>

#include "GameDataTestUtil.h"
#include "graphics/Graphics_Window.h"
#include "option/Option_Main.h"
#include "variable/Variable_Main.h"

namespace gamedatatest {
namespace {

using testsupport::GameDataBuilder;
using testsupport::GameOptions;

std::vector<uint8_t> FileWithOptions(const GameOptions& options, bool newLayout) {
  GameDataBuilder g;
  g.Gen8();
  if (newLayout) {
    g.OptnNew(options);
  } else {
    g.OptnOld(options);
  }
  g.Strg();
  return g.Build();
}

// Whether the variable store reads a variable it does not hold as a success (the
// uninitialised-variable option off).
bool UnsetVariableReads() {
  CVariableList list;
  ScriptValue out{};
  const bool ok = list.Get(kUserVariableBase, kWholeValueIndex, &out);
  ReleaseValue(&out);
  return ok;
}

// Every option away from its default.
GameOptions Changed() {
  GameOptions o;
  o.fullScreen = true;
  o.newAudio = true;
  o.cursorShown = false;
  o.windowColour = 0x123456;
  o.changeDisplayMode = true;
  o.colourDepth = 2;
  o.resolution = 5;
  o.frequency = 3;
  o.altEnter = false;
  o.freezeInactive = true;
  o.errorsAbort = true;
  o.uninitialisedVariables = true;
  o.trueWord = 0x100;  // the old layout takes any word that is not 0 as on
  return o;
}

void ExpectDefaults() {
  EXPECT_FALSE(g_Options.fullScreen);
  EXPECT_TRUE(g_Options.showCursor);
  EXPECT_EQ(g_Options.windowColour, 0xFFFFFF);
  EXPECT_FALSE(g_Options.changeDisplayMode);
  EXPECT_EQ(g_Options.colourDepth, 0);
  EXPECT_EQ(g_Options.resolution, 0);
  EXPECT_EQ(g_Options.frequency, 0);
  EXPECT_TRUE(g_Options.altEnterFullScreen);
  EXPECT_FALSE(g_Options.freezeWhenInactive);
  EXPECT_FALSE(g_Options.allErrorsAbort);
  EXPECT_FALSE(Error_GetAllErrorsFatal());
  EXPECT_FALSE(g_Options.uninitialisedVariables);
  EXPECT_TRUE(UnsetVariableReads());
  EXPECT_EQ(g_Options.versionMajor, 0);
  EXPECT_EQ(g_Options.versionMinor, 0);
  EXPECT_EQ(g_Options.OptionConstantCount, 0);
  EXPECT_EQ(g_Options.OptionConstantNames.GetLength(), 0);
}

TEST_F(GameDataTest, BothLayoutsTakeEveryOptionAndAFileWithoutOptionsGetsTheDefaults) {
  for (const bool newLayout : {false, true}) {
    SCOPED_TRACE(newLayout ? "new layout" : "old layout");
    ASSERT_TRUE(Load(FileWithOptions(Changed(), newLayout)));
    EXPECT_TRUE(g_Options.fullScreen);
    EXPECT_TRUE(g_Options.UseNewAudio);
    EXPECT_FALSE(g_Options.showCursor);
    EXPECT_EQ(g_Options.windowColour, 0x123456);
    EXPECT_EQ(GR_Window_GetColour(), 0x123456);
    EXPECT_TRUE(g_Options.changeDisplayMode);
    EXPECT_EQ(g_Options.colourDepth, 2);
    EXPECT_EQ(g_Options.resolution, 5);
    EXPECT_EQ(g_Options.frequency, 3);
    EXPECT_FALSE(g_Options.altEnterFullScreen);
    EXPECT_TRUE(g_Options.freezeWhenInactive);
    EXPECT_TRUE(g_Options.allErrorsAbort);
    EXPECT_TRUE(Error_GetAllErrorsFatal());
    EXPECT_TRUE(g_Options.uninitialisedVariables);
    EXPECT_FALSE(UnsetVariableReads());

    // The next file has no options chunk: the main pass's reset leaves the defaults (the audio
    // engine choice is not reset).
    GameDataBuilder plain;
    plain.Gen8().Strg();
    ASSERT_TRUE(Load(plain.Build()));
    ExpectDefaults();
    EXPECT_TRUE(g_Options.UseNewAudio);
    g_Options.UseNewAudio = false;
  }
}

TEST_F(GameDataTest, InAWindowForcesFullScreenOff) {
  GameOptions options;
  options.fullScreen = true;
  for (const bool newLayout : {false, true}) {
    SCOPED_TRACE(newLayout ? "new layout" : "old layout");
    g_Options.InAWindow = true;
    ASSERT_TRUE(Load(FileWithOptions(options, newLayout)));
    EXPECT_FALSE(g_Options.fullScreen);
    g_Options.InAWindow = false;
    ASSERT_TRUE(Load(FileWithOptions(options, newLayout)));
    EXPECT_TRUE(g_Options.fullScreen);
  }
}

TEST_F(GameDataTest, ConstantsKeepTheFileOrderAndGiveTheVersionNumbers) {
  GameOptions options;
  options.constants = {{"VersionMajor", "12"},
                       {"VersionMinor", "7b"},
                       {"Speed", "4"},
                       {"Speed", "5"},
                       {"NoValue", std::nullopt}};
  for (const bool newLayout : {false, true}) {
    SCOPED_TRACE(newLayout ? "new layout" : "old layout");
    ASSERT_TRUE(Load(FileWithOptions(options, newLayout)));
    ASSERT_EQ(g_Options.OptionConstantCount, 5);
    const char* names[] = {"VersionMajor", "VersionMinor", "Speed", "Speed", "NoValue"};
    const char* values[] = {"12", "7b", "4", "5", nullptr};
    for (int i = 0; i < 5; ++i) {
      EXPECT_STREQ(g_Options.OptionConstantNames[i], names[i]) << i;
      if (values[i] == nullptr) {
        EXPECT_EQ(g_Options.OptionConstantValues[i], nullptr);
      } else {
        EXPECT_STREQ(g_Options.OptionConstantValues[i], values[i]) << i;
      }
    }
    EXPECT_EQ(g_Options.versionMajor, 12);
    EXPECT_EQ(g_Options.versionMinor, 7);
  }
}

TEST_F(GameDataTest, ANewLayoutOfAnotherNumberIsIgnored) {
  GameOptions options = Changed();
  options.layoutNumber = 3;
  options.constants = {{"VersionMajor", "2"}};
  ASSERT_TRUE(Load(FileWithOptions(options, true)));
  ExpectDefaults();
  EXPECT_FALSE(g_Options.UseNewAudio);
}

}  // namespace
}  // namespace gamedatatest
