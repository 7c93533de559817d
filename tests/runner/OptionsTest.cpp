// The options chunk in both layouts, its defaults, -inawindow and the game's constants.
#include <gtest/gtest.h>

#include "GameDataTestUtil.h"
#include "graphics/Graphics_Window.h"
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
  EXPECT_FALSE(Option_FullScreen);
  EXPECT_TRUE(Option_ShowCursor);
  EXPECT_EQ(Option_WindowColour, 0xFFFFFF);
  EXPECT_FALSE(Option_ChangeDisplayMode);
  EXPECT_EQ(Option_ColourDepth, 0);
  EXPECT_EQ(Option_Resolution, 0);
  EXPECT_EQ(Option_Frequency, 0);
  EXPECT_TRUE(Option_AltEnterFullScreen);
  EXPECT_FALSE(Option_FreezeWhenInactive);
  EXPECT_FALSE(Option_AllErrorsAbort);
  EXPECT_FALSE(Error_GetAllErrorsFatal());
  EXPECT_FALSE(Option_UninitialisedVariables);
  EXPECT_FALSE(g_UninitialisedVariableOption);
  EXPECT_EQ(Option_VersionMajor, 0);
  EXPECT_EQ(Option_VersionMinor, 0);
  EXPECT_EQ(OptionConstantCount, 0);
  EXPECT_EQ(OptionConstantNames.GetLength(), 0);
}

TEST_F(GameDataTest, BothLayoutsTakeEveryOptionAndAFileWithoutOptionsGetsTheDefaults) {
  for (const bool newLayout : {false, true}) {
    SCOPED_TRACE(newLayout ? "new layout" : "old layout");
    ASSERT_TRUE(Load(FileWithOptions(Changed(), newLayout)));
    EXPECT_TRUE(Option_FullScreen);
    EXPECT_TRUE(UseNewAudio);
    EXPECT_FALSE(Option_ShowCursor);
    EXPECT_EQ(Option_WindowColour, 0x123456);
    EXPECT_EQ(GR_Window_GetColour(), 0x123456);
    EXPECT_TRUE(Option_ChangeDisplayMode);
    EXPECT_EQ(Option_ColourDepth, 2);
    EXPECT_EQ(Option_Resolution, 5);
    EXPECT_EQ(Option_Frequency, 3);
    EXPECT_FALSE(Option_AltEnterFullScreen);
    EXPECT_TRUE(Option_FreezeWhenInactive);
    EXPECT_TRUE(Option_AllErrorsAbort);
    EXPECT_TRUE(Error_GetAllErrorsFatal());
    EXPECT_TRUE(Option_UninitialisedVariables);
    EXPECT_TRUE(g_UninitialisedVariableOption);

    // The next file has no options chunk: the main pass's reset leaves the defaults (the audio
    // engine choice is not reset).
    GameDataBuilder plain;
    plain.Gen8().Strg();
    ASSERT_TRUE(Load(plain.Build()));
    ExpectDefaults();
    EXPECT_TRUE(UseNewAudio);
    UseNewAudio = false;
  }
}

TEST_F(GameDataTest, InAWindowForcesFullScreenOff) {
  GameOptions options;
  options.fullScreen = true;
  for (const bool newLayout : {false, true}) {
    SCOPED_TRACE(newLayout ? "new layout" : "old layout");
    InAWindow = true;
    ASSERT_TRUE(Load(FileWithOptions(options, newLayout)));
    EXPECT_FALSE(Option_FullScreen);
    InAWindow = false;
    ASSERT_TRUE(Load(FileWithOptions(options, newLayout)));
    EXPECT_TRUE(Option_FullScreen);
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
    ASSERT_EQ(OptionConstantCount, 5);
    const char* names[] = {"VersionMajor", "VersionMinor", "Speed", "Speed", "NoValue"};
    const char* values[] = {"12", "7b", "4", "5", nullptr};
    for (int i = 0; i < 5; ++i) {
      EXPECT_STREQ(OptionConstantNames[i], names[i]) << i;
      if (values[i] == nullptr) {
        EXPECT_EQ(OptionConstantValues[i], nullptr);
      } else {
        EXPECT_STREQ(OptionConstantValues[i], values[i]) << i;
      }
    }
    EXPECT_EQ(Option_VersionMajor, 12);
    EXPECT_EQ(Option_VersionMinor, 7);
  }
}

TEST_F(GameDataTest, ANewLayoutOfAnotherNumberIsIgnored) {
  GameOptions options = Changed();
  options.layoutNumber = 3;
  options.constants = {{"VersionMajor", "2"}};
  ASSERT_TRUE(Load(FileWithOptions(options, true)));
  ExpectDefaults();
  EXPECT_FALSE(UseNewAudio);
}

}  // namespace
}  // namespace gamedatatest
