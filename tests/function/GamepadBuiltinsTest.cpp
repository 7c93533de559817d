// The gamepad built-ins over an SDL virtual pad: dead zone, inverted axes, triggers, axes read as
// buttons, pressed and released, the range and argument errors, negative indexes, vibration,
// the colour line, and the answers without the controller library.
#include <SDL.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "BuiltinTestUtil.h"
#include "function/Function_Gamepad.h"
#include "io/Gamepad_Class.h"
#include "support/LoadSave_Request.h"
#include "testlib/VirtualPads.h"

namespace builtintest {
namespace {

using testsupport::LastRumble;
using testsupport::PadRumble;
using testsupport::RecordingConsole;
using testsupport::VirtualPad;

ScriptValue R(double v) { return RealValue(v); }

constexpr double kFace1 = 0x8001, kShoulderLB = 0x8007, kPadU = 0x800D;
constexpr double kAxisLH = 0x8011, kAxisLV = 0x8012, kAxisRV = 0x8014;

class GamepadBuiltinsTest : public BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    m_savedDebug = DebugConsole;
    DebugConsole = &m_debug;
  }
  void TearDown() override {
    DebugConsole = m_savedDebug;
    m_pad.reset();
    BuiltinTest::TearDown();
  }
  // A pad in slot 0, registered and read once.
  VirtualPad& Plug() {
    m_pad = std::make_unique<VirtualPad>();
    RegisterGamepadFunctions();
    AsyncQueue_FreeAll();
    return *m_pad;
  }
  double Read(const char* name, double pad, double index) { return CallReal(name, {R(pad), R(index)}); }

  RecordingConsole m_debug;
  tagIConsole* m_savedDebug = nullptr;
  std::unique_ptr<VirtualPad> m_pad;
};

TEST_F(GamepadBuiltinsTest, AxesTakeTheDeadZoneAndTheVerticalConstantsPointDown) {
  VirtualPad& pad = Plug();
  EXPECT_EQ(CallReal("gamepad_is_supported", {}), 1);
  EXPECT_EQ(CallReal("gamepad_get_device_count", {}), 4);
  EXPECT_EQ(CallReal("gamepad_is_connected", {R(0)}), 1);
  EXPECT_EQ(CallReal("gamepad_is_connected", {R(1)}), 0);
  EXPECT_EQ(Call("gamepad_get_description", {R(0.4)}).text, "Xbox 360 Controller (XInput STANDARD GAMEPAD)");
  EXPECT_EQ(CallReal("gamepad_axis_count", {R(0)}), 4);
  EXPECT_EQ(CallReal("gamepad_button_count", {R(0)}), 16);
  EXPECT_EQ(CallReal("gamepad_button_count", {R(1)}), 0);

  Call("gamepad_set_axis_deadzone", {R(0), R(0.25)});
  EXPECT_EQ(CallReal("gamepad_get_axis_deadzone", {R(0)}), 0.25);
  struct Case {
    int16_t x;
    double expected;
  };
  const Case cases[] = {{16384, 1.0 / 3.0}, {6554, 0.0}, {-32768, -1.0}, {0, 0.0}};
  for (const Case& c : cases) {
    pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, c.x);
    Gamepad_Update();
    EXPECT_NEAR(Read("gamepad_axis_value", 0, kAxisLH), c.expected, 1e-6) << c.x;
    EXPECT_NEAR(Read("gamepad_axis_value", 0, 0), c.expected, 1e-6) << c.x;
  }
  // A dead zone of the whole range leaves nothing, not 0 / 0.
  Call("gamepad_set_axis_deadzone", {R(0), R(1)});
  Gamepad_Update();
  EXPECT_EQ(Read("gamepad_axis_value", 0, kAxisLH), 0.0);
  // Pushed down: the vertical constants report it as positive, the plain axis as negative.
  Call("gamepad_set_axis_deadzone", {R(0), R(0)});
  pad.Axis(SDL_CONTROLLER_AXIS_LEFTY, 32767);
  pad.Axis(SDL_CONTROLLER_AXIS_RIGHTY, -16384);
  Gamepad_Update();
  EXPECT_NEAR(Read("gamepad_axis_value", 0, kAxisLV), 1.0, 1e-4);
  EXPECT_NEAR(Read("gamepad_axis_value", 0, 1), -1.0, 1e-4);
  EXPECT_EQ(Read("gamepad_axis_value", 0, kAxisRV), -0.5);
  EXPECT_EQ(Read("gamepad_axis_value", 0, 4), 0);       // beyond the count
  EXPECT_EQ(Read("gamepad_axis_value", 0, -1), 0);      // negative
  EXPECT_EQ(Read("gamepad_axis_value", 0, -32767), 0);  // negative, though its bit 0x8000 is set
  EXPECT_EQ(Read("gamepad_axis_value", 5, 1), 0);       // no such pad
}

TEST_F(GamepadBuiltinsTest, ButtonsTriggersAndAxesAsButtons) {
  VirtualPad& pad = Plug();
  pad.Axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);
  pad.Button(SDL_CONTROLLER_BUTTON_A, true);
  Gamepad_Update();
  EXPECT_EQ(Read("gamepad_button_value", 0, kShoulderLB), 0.99609375);
  EXPECT_EQ(Read("gamepad_button_check", 0, kShoulderLB), 1);
  EXPECT_EQ(Read("gamepad_button_check_pressed", 0, kFace1), 1);
  EXPECT_EQ(Read("gamepad_button_check_pressed", 0, 12), 1);
  EXPECT_EQ(Read("gamepad_button_check", 0, 0x8020), 0);  // an unknown constant is button 0

  // Held: no longer pressed; let go: released once.
  Gamepad_Update();
  EXPECT_EQ(Read("gamepad_button_check_pressed", 0, kFace1), 0);
  EXPECT_EQ(Read("gamepad_button_check", 0, kFace1), 1);
  pad.Button(SDL_CONTROLLER_BUTTON_A, false);
  Gamepad_Update();
  EXPECT_EQ(Read("gamepad_button_check_released", 0, kFace1), 1);
  Gamepad_Update();
  EXPECT_EQ(Read("gamepad_button_check_released", 0, kFace1), 0);

  // A threshold above the trigger's value: not down.
  Call("gamepad_set_button_threshold", {R(0), R(1)});
  EXPECT_EQ(CallReal("gamepad_get_button_threshold", {R(0)}), 1);
  EXPECT_EQ(Read("gamepad_button_check", 0, kShoulderLB), 0);
  Call("gamepad_set_button_threshold", {R(0), R(0.5)});

  // Axes as buttons: 0x1000 the positive side above the dead zone, with 0x2000 the negative side's
  // magnitude; 0x4000 changes nothing.
  pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, 16384);
  pad.Axis(SDL_CONTROLLER_AXIS_RIGHTX, -32768);
  Gamepad_Update();
  EXPECT_EQ(Read("gamepad_button_value", 0, 0x1000), 0.5);
  EXPECT_EQ(Read("gamepad_button_value", 0, 0x3000), 0);
  EXPECT_EQ(Read("gamepad_button_value", 0, 0x3002), 1);
  EXPECT_EQ(Read("gamepad_button_value", 0, 0x7002), 1);
  EXPECT_EQ(Read("gamepad_button_value", 0, 0x1002), 0);
  EXPECT_EQ(Read("gamepad_button_check_pressed", 0, 0x3002), 1);
  EXPECT_EQ(Read("gamepad_axis_value", 0, 0x100A), 0.99609375);  // button 10 as it is

  // Negative indexes name nothing, whatever their bits.
  pad.Button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
  Gamepad_Update();
  EXPECT_EQ(Read("gamepad_button_value", 0, kPadU), 1);
  for (double index : {-1.0, -5.0, -32767.0, -4096.0}) {
    EXPECT_EQ(Read("gamepad_button_value", 0, index), 0) << index;
    EXPECT_EQ(Read("gamepad_button_check", 0, index), 0) << index;
    EXPECT_EQ(Read("gamepad_button_check_pressed", 0, index), 0) << index;
    EXPECT_EQ(Read("gamepad_button_check_released", 0, index), 0) << index;
  }
  EXPECT_EQ(Read("gamepad_button_value", 0, 16), 0);
}

TEST_F(GamepadBuiltinsTest, RangeAndArgumentErrorsChangeNothing) {
  Plug();
  struct Case {
    const char* name;
    std::vector<double> args;
    const char* error;
  };
  const Case cases[] = {
      {"gamepad_set_button_threshold", {0, 1.5}, "Button threshold is outside the accepted range"},
      {"gamepad_set_button_threshold", {0, -0.01}, "Button threshold is outside the accepted range"},
      {"gamepad_set_axis_deadzone", {0, 2}, "Axis dead zone is outside the accepted range"},
      {"gamepad_set_axis_deadzone", {0, NAN}, "Axis dead zone is outside the accepted range"},
      {"gamepad_set_axis_deadzone", {9, 2}, ""},  // no such pad: no error
      {"gamepad_button_check", {0}, "Wrong number of arguments to function or script."},
      {"gamepad_axis_value", {0}, "Wrong number of arguments to function or script."},
      {"gamepad_set_vibration", {0, 1}, "Wrong number of arguments to function or script."},
      {"gamepad_is_connected", {}, "Wrong number of arguments to function or script."},
      {"gamepad_set_colour", {0}, "Wrong number of arguments to function or script."},
  };
  for (const Case& c : cases) {
    std::vector<ScriptValue> args;
    for (double v : c.args) args.push_back(R(v));
    bool fatal = true;
    EXPECT_EQ(CallReal(c.name, args), 0) << c.name;
    const std::string error = TakeError(&fatal);
    if (*c.error == '\0') {
      EXPECT_EQ(error, "") << c.name;
    } else {
      EXPECT_NE(error.find(std::string("\n") + c.error + "\n"), std::string::npos) << c.name << ": " << error;
      EXPECT_FALSE(fatal) << c.name;
    }
  }
  EXPECT_EQ(CallReal("gamepad_get_button_threshold", {R(0)}), 0.5);
  EXPECT_EQ(CallReal("gamepad_get_axis_deadzone", {R(0)}), 0);
  EXPECT_EQ(Call("gamepad_get_description", {R(-1)}).text, "");
}

TEST_F(GamepadBuiltinsTest, VibrationReachesThePadAndTheColourIsOnlyWritten) {
  Plug();
  LastRumble() = PadRumble{};
  Call("gamepad_set_vibration", {R(0), R(0.5), R(3)});
  Gamepad_Update();
  EXPECT_EQ(LastRumble().low, 32767);
  EXPECT_EQ(LastRumble().high, 65535);
  Call("gamepad_set_vibration", {R(0), R(-1), R(0.25)});
  Gamepad_Update();
  EXPECT_EQ(LastRumble().low, 0);
  EXPECT_EQ(LastRumble().high, 16383);
  Call("gamepad_set_vibration", {R(0), R(NAN), R(1)});  // not a number: no vibration
  Gamepad_Update();
  EXPECT_EQ(LastRumble().low, 0);
  EXPECT_EQ(LastRumble().high, 65535);

  m_debug.Clear();
  Call("gamepad_set_color", {R(0), R(0x123456)});
  Call("gamepad_set_colour", {R(1), R(0x0000FF)});
  EXPECT_EQ(m_debug.Text(), "setting pad color to 0x1563412\nsetting pad color to 0x1ff0000\n");
}

TEST_F(GamepadBuiltinsTest, WithoutTheLibraryEveryReaderAnswersZeroAfterOneLine) {
  VirtualPad pad;
  g_Gamepads.backend = OS_NoGamepads();
  RegisterGamepadFunctions();
  EXPECT_EQ(CallReal("gamepad_is_supported", {}), 0);
  EXPECT_EQ(CallReal("gamepad_is_connected", {R(0)}), 0);
  for (const char* name : {"gamepad_button_check", "gamepad_button_value", "gamepad_axis_value"}) {
    EXPECT_EQ(Read(name, 0, 0), 0) << name;
  }
  Call("gamepad_set_vibration", {R(0), R(1), R(1)});
  Call("gamepad_set_color", {R(0), R(255)});
  EXPECT_EQ(m_debug.Text(), "!!!!! xinput1_3.dll not found. Gamepad support disabled\n");
}

}  // namespace
}  // namespace builtintest
