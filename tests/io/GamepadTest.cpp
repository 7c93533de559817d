// Gamepad slots over SDL virtual pads: plugging and unplugging with their posted events, the
// values one update reads, the description from the device kind, vibration, the missing library,
// and the legacy joysticks' mouse events.
#include <gtest/gtest.h>

#include <SDL.h>

#include <memory>
#include <string>
#include <vector>

#include "io/Gamepad_Class.h"
#include "object/Object_Lists.h"
#include "room/Event_Names.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"
#include "support/LoadSave_Request.h"
#include "testlib/DsMapFixtures.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"
#include "testlib/VirtualPads.h"

using namespace testsupport;

namespace {

class GamepadTest : public RuntimeTest {
 protected:
  // The posted events, oldest first, as "<event> <event_type> <pad_index>"; the queue is emptied.
  static std::vector<std::string> TakePosted() {
    std::vector<std::string> posted;
    for (HTTP_REQ_CONTEXT* r = g_AsyncQueue.head; r != nullptr; r = r->m_next) {
      int32_t map = -1;
      const int32_t number = r->m_completion(r, r->m_userData, &map);
      posted.insert(posted.begin(), std::to_string(number) + " " + MapValue(map, "event_type") + " " +
                                        MapValue(map, "pad_index"));
    }
    AsyncQueue_FreeAll();
    return posted;
  }
  static const GamepadSlot& Slot(int32_t i) { return g_Gamepads.slots[i]; }
};

TEST_F(GamepadTest, APadTakesTheFirstFreeSlotAndUnpluggingGivesOneLostEvent) {
  Gamepad_Init();
  EXPECT_TRUE(g_Gamepads.loaded);
  EXPECT_TRUE(TakePosted().empty());
  auto first = std::make_unique<VirtualPad>();
  VirtualPad second;
  Gamepad_Detect();
  EXPECT_EQ(TakePosted(), (std::vector<std::string>{"75 gamepad discovered 0", "75 gamepad discovered 1"}));
  EXPECT_STREQ(Slot(0).description, "Xbox 360 Controller (XInput STANDARD GAMEPAD)");

  first->Button(SDL_CONTROLLER_BUTTON_A, true);
  first->Axis(SDL_CONTROLLER_AXIS_LEFTX, 16384);
  Gamepad_Update();
  Gamepad_Update();
  EXPECT_EQ(Slot(0).buttons[12], 1.0f);
  EXPECT_EQ(Slot(0).previousButtons[12], 1.0f);
  EXPECT_EQ(Slot(0).axes[0], 0.5f);

  // Pulled out: the next update loses it once, and every value reads 0.
  first.reset();
  Gamepad_Update();
  Gamepad_Update();
  Gamepad_Detect();
  EXPECT_EQ(TakePosted(), std::vector<std::string>{"75 gamepad lost 0"});
  EXPECT_EQ(Slot(0).connected, 0);
  EXPECT_EQ(Slot(0).description[0], '\0');
  EXPECT_EQ(Slot(0).buttons[12], 0.0f);
  EXPECT_EQ(Slot(0).previousButtons[12], 0.0f);
  EXPECT_EQ(Slot(0).axes[0], 0.0f);
  EXPECT_EQ(Slot(1).connected, 1);

  // Plugged back: the free slot 0 again, found at the device change.
  VirtualPad again;
  Gamepad_Update();
  EXPECT_TRUE(TakePosted().empty());
  Gamepad_Detect();
  EXPECT_EQ(TakePosted(), std::vector<std::string>{"75 gamepad discovered 0"});
}

TEST_F(GamepadTest, OneUpdateReadsButtonsTriggersAndSticksInTheSlotsOrder) {
  VirtualPad pad;
  Gamepad_Init();
  pad.Button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
  pad.Button(SDL_CONTROLLER_BUTTON_START, true);
  pad.Button(SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, true);
  pad.Button(SDL_CONTROLLER_BUTTON_Y, true);
  pad.Axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);
  pad.Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0);  // the middle of the device's range: 16383 of 32767
  pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, -32768);
  pad.Axis(SDL_CONTROLLER_AXIS_LEFTY, -32768);  // pushed up: SDL's y points down
  pad.Axis(SDL_CONTROLLER_AXIS_RIGHTX, 32767);
  pad.Axis(SDL_CONTROLLER_AXIS_RIGHTY, 16384);
  Gamepad_Update();
  const GamepadSlot& s = Slot(0);
  const float buttons[16] = {1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0.99609375f, 127.0f / 256.0f, 0, 0, 0, 1};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(s.buttons[i], buttons[i]) << i;
  EXPECT_EQ(s.axes[0], -1.0f);
  EXPECT_EQ(s.axes[1], 32767.0f / 32768.0f);
  EXPECT_EQ(s.axes[2], 32767.0f / 32768.0f);
  EXPECT_EQ(s.axes[3], -0.5f);
}

TEST_F(GamepadTest, TheDescriptionFollowsTheDeviceKind) {
  struct Case {
    SDL_JoystickType type;
    const char* description;
  };
  const Case cases[] = {
      {SDL_JOYSTICK_TYPE_UNKNOWN, "Xbox 360 Controller (XInput STANDARD GAMEPAD)"},
      {SDL_JOYSTICK_TYPE_WHEEL, "Xbox 360 Controller (XInput WHEEL)"},
      {SDL_JOYSTICK_TYPE_ARCADE_STICK, "Xbox 360 Controller (XInput ARCADE STICK)"},
      {SDL_JOYSTICK_TYPE_FLIGHT_STICK, "Xbox 360 Controller (XInput FLIGHT STICK)"},
      {SDL_JOYSTICK_TYPE_DANCE_PAD, "Xbox 360 Controller (XInput DANCE PAD)"},
      {SDL_JOYSTICK_TYPE_GUITAR, "Xbox 360 Controller (XInput GUITAR)"},
      {SDL_JOYSTICK_TYPE_DRUM_KIT, "Xbox 360 Controller (XInput DRUM KIT)"},
      {SDL_JOYSTICK_TYPE_THROTTLE, ""},  // no subtype of its own: the description stays
  };
  Gamepad_Init();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    VirtualPad pad(c.type);
    pad.Map();
    Gamepad_Detect();
    EXPECT_EQ(Slot(0).connected, 1);
    EXPECT_STREQ(Slot(0).description, c.description);
    pad.Detach();
    Gamepad_Detect();
    EXPECT_EQ(Slot(0).connected, 0);
  }
  AsyncQueue_FreeAll();
}

TEST_F(GamepadTest, VibrationIsSentAtEveryUpdate) {
  VirtualPad pad;
  Gamepad_Init();
  g_Gamepads.slots[0].vibration[0] = 0.5f;
  g_Gamepads.slots[0].vibration[1] = 1.0f;
  LastRumble() = PadRumble{};
  Gamepad_Update();
  EXPECT_EQ(LastRumble().low, 32767);
  EXPECT_EQ(LastRumble().high, 65535);
  g_Gamepads.slots[0].vibration[1] = 0.0f;
  Gamepad_Update();
  EXPECT_EQ(LastRumble().low, 32767);
  EXPECT_EQ(LastRumble().high, 0);
  EXPECT_EQ(LastRumble().count, 2);
}

TEST_F(GamepadTest, WithoutTheLibraryNothingIsFoundAndTheLineIsWrittenOnce) {
  RecordingConsole console;
  tagIConsole* const saved = DebugConsole;
  DebugConsole = &console;
  VirtualPad pad;
  g_Gamepads.backend = OS_NoGamepads();
  Gamepad_Init();
  Gamepad_Update();
  EXPECT_FALSE(g_Gamepads.loaded);
  EXPECT_EQ(Slot(0).connected, 0);
  EXPECT_FALSE(Gamepad_CheckLibrary());
  EXPECT_FALSE(Gamepad_CheckLibrary());
  DebugConsole = saved;
  EXPECT_EQ(console.Text(), "!!!!! xinput1_3.dll not found. Gamepad support disabled\n");
  EXPECT_EQ(AsyncQueue_Count(), 0);
}

// ---- Legacy joysticks ----

std::vector<int32_t> g_events;

class LegacyJoystickTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    g_events.clear();
    Room_SetLastInstanceId(100000);
    CurrentRoom = new CRoom();
    const int32_t object = AddObject(-1, "obj");
    for (int32_t number = 16; number <= 43; ++number) {
      AddHandler(object, EVENT_MOUSE, number,
                 [number](CInstance*, CInstance*, ScriptValue*) { g_events.push_back(number); });
    }
    CurrentRoom->AddInstance(0, 0, object);
    ObjectLists_Build();
  }
  void TearDown() override {
    delete CurrentRoom;
    CurrentRoom = nullptr;
    RuntimeTest::TearDown();
  }
  std::vector<int32_t> Poll() {
    g_events.clear();
    PollLegacyJoystick();
    return g_events;
  }
};

TEST_F(LegacyJoystickTest, ButtonsAndStickEndsRaiseTheJoystickMouseEvents) {
  EXPECT_TRUE(Poll().empty());  // no joystick: detected at the first poll, nothing raised
  VirtualPad first;
  EXPECT_TRUE(Poll().empty());  // found only at a device change
  LegacyJoystick_Detect();
  EXPECT_TRUE(Poll().empty());  // at rest
  first.Button(static_cast<SDL_GameControllerButton>(2), true);
  EXPECT_EQ(Poll(), std::vector<int32_t>{23});
  first.Button(static_cast<SDL_GameControllerButton>(2), false);
  first.Axis(SDL_CONTROLLER_AXIS_LEFTX, -32768);
  EXPECT_EQ(Poll(), std::vector<int32_t>{16});
  first.Axis(SDL_CONTROLLER_AXIS_LEFTX, 32767);
  first.Axis(SDL_CONTROLLER_AXIS_LEFTY, 32767);
  first.Button(static_cast<SDL_GameControllerButton>(7), true);
  first.Button(static_cast<SDL_GameControllerButton>(8), true);  // button 9: not a joystick button
  EXPECT_EQ(Poll(), (std::vector<int32_t>{17, 19, 28}));
  // The second joystick has its own numbers.
  VirtualPad second;
  LegacyJoystick_Detect();
  second.Axis(SDL_CONTROLLER_AXIS_LEFTY, -32768);
  second.Button(static_cast<SDL_GameControllerButton>(0), true);
  EXPECT_EQ(Poll(), (std::vector<int32_t>{17, 19, 28, 33, 36}));
  // Pulled out: nothing from it, even before the device change.
  second.Detach();
  EXPECT_EQ(Poll(), (std::vector<int32_t>{17, 19, 28}));
}

}  // namespace
