// The live and step input copies: what a step sees of the messages that arrived before it.
#include <gtest/gtest.h>

#include <string>

#include "io/IO_Main.h"
#include "testlib/RuntimeTest.h"

using testsupport::RuntimeTest;

namespace {

class IOMainTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    IO_Init();
    IO_StartStep();  // the first poll seeds the live copy from the step copy
  }
  static void TypeText(const std::u16string& text) {
    for (char16_t c : text) IO_OnChar(c);
  }
};

TEST_F(IOMainTest, AKeyPressedAndReleasedBetweenStepsIsPressedAndReleasedButNotDown) {
  IO_OnKeyDown('A', false);
  IO_OnKeyUp('A');
  IO_StartStep();
  EXPECT_TRUE(IO_KeyPressed('A'));
  EXPECT_TRUE(IO_KeyReleased('A'));
  EXPECT_FALSE(IO_KeyDown('A'));
  EXPECT_EQ(IO_GetKey(), 0);
  EXPECT_EQ(IO_GetLastKey(), 'A');
  // The next step sees neither again.
  IO_StartStep();
  EXPECT_FALSE(IO_KeyPressed('A'));
  EXPECT_FALSE(IO_KeyReleased('A'));
}

TEST_F(IOMainTest, RepeatsAndAHeldKeyGiveOnePress) {
  IO_OnKeyDown('W', false);
  IO_OnKeyDown('W', true);
  IO_StartStep();
  EXPECT_TRUE(IO_KeyPressed('W'));
  EXPECT_TRUE(IO_KeyDown('W'));
  // Repeated, and a second plain down while held (a lost release): no new press.
  IO_OnKeyDown('W', true);
  IO_OnKeyDown('W', false);
  IO_StartStep();
  EXPECT_FALSE(IO_KeyPressed('W'));
  EXPECT_TRUE(IO_KeyDown('W'));
}

TEST_F(IOMainTest, KeyboardKeyReturnsToZeroWhenTheLastPressedKeyIsReleased) {
  IO_OnKeyDown('A', false);
  IO_OnKeyDown('B', false);
  IO_StartStep();
  EXPECT_EQ(IO_GetKey(), 'B');
  IO_OnKeyUp('B');
  IO_StartStep();
  EXPECT_EQ(IO_GetKey(), 0);  // A is still held
  EXPECT_TRUE(IO_KeyDown('A'));
  EXPECT_EQ(IO_GetLastKey(), 'B');
  // Releasing a key that is not the last pressed leaves keyboard_key alone.
  IO_OnKeyDown('C', false);
  IO_OnKeyUp('A');
  IO_StartStep();
  EXPECT_EQ(IO_GetKey(), 'C');
}

TEST_F(IOMainTest, MouseButtonPressedAndReleasedBetweenStepsIsOnlyReleased) {
  IO_OnMouseMove(40, 50);
  IO_OnMouseDown(1, 40, 50);
  EXPECT_EQ(g_IO.livePointers.pointers[0].flags, 0x80000003u);
  IO_OnMouseUp(1, 41, 52);
  IO_StartStep();
  EXPECT_FALSE(IO_DeviceButtonPressed(1, 0));
  EXPECT_TRUE(IO_DeviceButtonReleased(1, 0));
  EXPECT_FALSE(IO_DeviceButtonDown(1, 0));
  EXPECT_EQ(IO_GetMouseButton(0), 0);
  EXPECT_EQ(IO_GetMouseLastButton(0), 1);
  EXPECT_EQ(g_IO.livePointers.pointers[0].flags, 0u);
  EXPECT_EQ(IO_GetRawMouseX(0), 40);
  EXPECT_EQ(IO_GetRawMouseY(0), 50);
  EXPECT_EQ(g_IO.step.windowMouseX, 40);
}

TEST_F(IOMainTest, AHeldButtonIsPressedOnceThenDownAndTheWheelLastsOneStep) {
  IO_OnMouseDown(2, 5, 6);
  IO_OnWheelUp();
  IO_StartStep();
  EXPECT_TRUE(IO_DeviceButtonPressed(2, 0));
  EXPECT_TRUE(IO_DeviceButtonDown(2, 0));
  EXPECT_EQ(IO_GetMouseButton(0), 2);
  EXPECT_TRUE(IO_WheelUp(0));
  EXPECT_FALSE(IO_WheelDown(0));
  // Only the left button moves the pointer record.
  EXPECT_EQ(g_IO.livePointers.pointers[0].flags, 0u);
  IO_StartStep();
  EXPECT_FALSE(IO_DeviceButtonPressed(2, 0));
  EXPECT_TRUE(IO_DeviceButtonDown(2, 0));
  EXPECT_FALSE(IO_WheelUp(0));
}

TEST_F(IOMainTest, OutOfRangeIndexesReadAsNothingAndWriteNothing) {
  IO_OnKeyDown(-1, false);
  IO_OnKeyDown(256, false);
  IO_OnMouseDown(0, 1, 1);
  IO_OnMouseDown(4, 1, 1);
  IO_OnMouseDown(-2, 1, 1);
  IO_StartStep();
  EXPECT_EQ(IO_GetLastKey(), 0);
  EXPECT_EQ(IO_GetMouseLastButton(0), 0);
  for (int32_t key : {-1, -300, 256, 1000}) {
    EXPECT_FALSE(IO_KeyDown(key)) << key;
    EXPECT_FALSE(IO_KeyPressed(key)) << key;
    EXPECT_FALSE(IO_KeyReleased(key)) << key;
    IO_ClearKey(key);
    IO_SetKeyMap(key, 65);
  }
  IO_SetKey(-5);
  IO_SetKey(300);
  EXPECT_EQ(IO_GetKey(), 0);
  for (int32_t device : {-1, 10, 1000}) {
    EXPECT_EQ(IO_GetMouseButton(device), 0) << device;
    EXPECT_EQ(IO_GetMouseLastButton(device), 0) << device;
    EXPECT_FALSE(IO_WheelUp(device));
    EXPECT_FALSE(IO_WheelDown(device));
    EXPECT_EQ(IO_GetRawMouseX(device), 0);
    IO_SetMouseButton(1, device);
    IO_ClearDevice(device);
    IO_ClearButton(1, device);
  }
  for (int32_t button : {-1, 0, 4}) {
    EXPECT_FALSE(IO_DeviceButtonDown(button, 0)) << button;
    EXPECT_FALSE(IO_DeviceButtonPressed(button, 0)) << button;
    EXPECT_FALSE(IO_DeviceButtonReleased(button, 0)) << button;
    IO_SetMouseButton(button, 0);
    IO_SetMouseLastButton(button, 0);
  }
  EXPECT_EQ(IO_GetMouseButton(0), 0);
  EXPECT_EQ(IO_GetMouseLastButton(0), 0);
  // Keys outside 0..255 map to themselves; the map itself is untouched.
  EXPECT_EQ(IO_MapKey(-1), -1);
  EXPECT_EQ(IO_MapKey(300), 300);
  for (int32_t k = 0; k < kInputKeys; ++k) ASSERT_EQ(IO_MapKey(k), k);
}

TEST_F(IOMainTest, AKeyMappedToAnotherReportsAsThatKeyEverywhere) {
  IO_SetKeyMap('A', 'B');
  IO_OnKeyDown('A', false);
  IO_StartStep();
  EXPECT_TRUE(IO_KeyDown('B'));
  EXPECT_TRUE(IO_KeyPressed('B'));
  EXPECT_FALSE(IO_KeyDown('A'));
  EXPECT_EQ(IO_GetKey(), 'B');
  EXPECT_EQ(IO_GetLastKey(), 'B');
  IO_OnKeyUp('A');
  IO_StartStep();
  EXPECT_TRUE(IO_KeyReleased('B'));
  EXPECT_FALSE(IO_KeyDown('B'));
  EXPECT_EQ(IO_GetKey(), 0);
  // A mapping past 255 takes the key out of the game.
  IO_SetKeyMap('C', 300);
  IO_OnKeyDown('C', false);
  IO_StartStep();
  EXPECT_FALSE(IO_KeyPressed('C'));
  IO_ResetKeyMap();
  EXPECT_EQ(IO_MapKey('A'), 'A');
}

TEST_F(IOMainTest, TypedTextKeepsItsLastCharacterWhenFullAndIgnoresControlCharacters) {
  IO_OnChar(8);  // backspace on an empty string
  IO_OnChar(1);
  IO_StartStep();
  EXPECT_STREQ(IO_GetKeyboardString(), "");
  EXPECT_EQ(IO_GetLastChar(), 1);

  TypeText(u"ab\u0100");
  IO_OnChar(8);
  IO_StartStep();
  EXPECT_STREQ(IO_GetKeyboardString(), "ab");

  // 1,023 characters, then the 1,024th: only the 1,023rd and the 1,024th remain.
  IO_ClearKeyboardString();
  for (int i = 0; i < 1022; ++i) IO_OnChar(u'x');
  IO_OnChar(u'y');
  IO_StartStep();
  EXPECT_EQ(std::string(IO_GetKeyboardString()), std::string(1022, 'x') + "y");
  IO_OnChar(u'z');
  IO_StartStep();
  EXPECT_STREQ(IO_GetKeyboardString(), "yz");
}

TEST_F(IOMainTest, SurrogatePairsJoinAndLoneHalvesReadAsReplacement) {
  TypeText(u"a\U0001F600");
  IO_StartStep();
  EXPECT_STREQ(IO_GetKeyboardString(), "a\xF0\x9F\x98\x80");
  // Backspace takes the pair whole.
  IO_OnChar(8);
  IO_StartStep();
  EXPECT_STREQ(IO_GetKeyboardString(), "a");
  IO_OnChar(0xD83D);
  IO_StartStep();
  EXPECT_STREQ(IO_GetKeyboardString(), "a\xEF\xBF\xBD");

  IO_SetKeyboardString("\xC3\xA9\xF0\x9F\x98\x80!");
  EXPECT_STREQ(IO_GetKeyboardString(), "\xC3\xA9\xF0\x9F\x98\x80!");
  EXPECT_EQ(g_IO.live.stringLength, 4);
  // Malformed bytes read as the replacement character.
  IO_SetKeyboardString("\xFFq");
  EXPECT_STREQ(IO_GetKeyboardString(), "\xEF\xBF\xBDq");
  IO_SetKeyboardString(nullptr);
  EXPECT_STREQ(IO_GetKeyboardString(), "");
}

TEST_F(IOMainTest, SettingTheStringKeepsAtMost1024UnitsAndTheLiveCopyFollows) {
  IO_SetKeyboardString(std::string(2000, 'q').c_str());
  EXPECT_EQ(std::string(IO_GetKeyboardString()), std::string(1024, 'q'));
  // A pair that would not fit whole is left out.
  std::string text(1023, 'q');
  text += "\xF0\x9F\x98\x80";
  IO_SetKeyboardString(text.c_str());
  EXPECT_EQ(std::string(IO_GetKeyboardString()), std::string(1023, 'q'));
  // The live copy holds the same string: the next typed character is cut as a full string is.
  IO_OnChar(u'r');
  IO_StartStep();
  EXPECT_STREQ(IO_GetKeyboardString(), "qr");
}

TEST_F(IOMainTest, ClearingKeepsDevicesOneToNine) {
  IO_OnKeyDown('K', false);
  IO_OnMouseDown(1, 0, 0);
  TypeText(u"hi");
  IO_StartStep();
  // What another pointer device reported this step.
  g_IO.step.mouseButton[3] = 2;
  g_IO.step.buttonDown[3 * kInputButtons + 1] = 1;
  g_IO.step.wheelUp[3] = 1;
  IO_Clear();
  EXPECT_EQ(IO_GetMouseButton(3), 2);
  EXPECT_TRUE(IO_DeviceButtonDown(2, 3));
  EXPECT_TRUE(IO_WheelUp(3));
  EXPECT_EQ(IO_GetMouseButton(0), 0);
  EXPECT_FALSE(IO_DeviceButtonDown(1, 0));
  EXPECT_FALSE(IO_KeyDown('K'));
  EXPECT_STREQ(IO_GetKeyboardString(), "");
  // The live copy was cleared too: the next step brings nothing back.
  IO_StartStep();
  EXPECT_FALSE(IO_KeyDown('K'));
  EXPECT_FALSE(IO_DeviceButtonDown(1, 0));
  EXPECT_STREQ(IO_GetKeyboardString(), "");
}

TEST_F(IOMainTest, SettersAndClearsReachBothCopiesWhereTheySay) {
  IO_OnKeyDown('Q', false);
  IO_StartStep();
  IO_ClearKey('Q');
  EXPECT_FALSE(IO_KeyDown('Q'));
  IO_StartStep();
  EXPECT_FALSE(IO_KeyDown('Q'));

  IO_OnKeyDown('E', false);
  IO_StartStep();
  IO_SetLastKey(70);
  IO_StartStep();
  EXPECT_EQ(IO_GetLastKey(), 70);
  EXPECT_EQ(IO_GetKey(), 0);  // the live keyboard_key was cleared

  IO_SetLastChar(u'w');
  IO_StartStep();
  EXPECT_EQ(IO_GetLastChar(), u'w');

  IO_SetKey(66);
  EXPECT_EQ(IO_GetKey(), 66);

  IO_OnMouseDown(3, 0, 0);
  IO_StartStep();
  IO_ClearButton(3, 0);
  EXPECT_FALSE(IO_DeviceButtonDown(3, 0));
  IO_StartStep();
  EXPECT_FALSE(IO_DeviceButtonDown(3, 0));

  IO_ClearKeys();
  EXPECT_FALSE(IO_KeyDown('E'));
  EXPECT_EQ(IO_GetLastKey(), 0);
}

TEST_F(IOMainTest, TheFirstPollSeedsTheLiveCopyFromTheStepCopy) {
  g_IO = IOState{};
  g_IO.step.down['S'] = 1;
  g_IO.step.keyboardLastKey = 'S';
  IO_SetKeyboardString("seed");
  g_IO.live.firstPoll = true;
  IO_PollLive();
  EXPECT_TRUE(IO_KeyDown('S'));
  EXPECT_STREQ(IO_GetKeyboardString(), "seed");
  IO_OnChar(u'!');
  IO_PollLive();
  EXPECT_STREQ(IO_GetKeyboardString(), "seed!");
}

TEST_F(IOMainTest, ThePointerBlockReachesTheStepCopyWhenTheLoopCopiesIt) {
  IO_OnMouseDown(1, 7, 9);
  EXPECT_EQ(g_IO.stepPointers.pointers[0].flags, 0u);
  IO_CopyPointerBlock();
  EXPECT_EQ(g_IO.stepPointers.pointers[0].flags, 0x80000003u);
  EXPECT_EQ(g_IO.stepPointers.pointers[0].x, 7);
  EXPECT_EQ(g_IO.stepPointers.pointers[0].y, 9);
  IO_Init();
  EXPECT_EQ(g_IO.stepPointers.pointers[0].flags, 0u);
}

}  // namespace
