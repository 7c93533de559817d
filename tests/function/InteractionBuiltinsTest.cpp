// The keyboard and mouse built-ins, called through the registry over the input copies: keys and
// buttons are fed to the live copy as the window procedure feeds them and taken in by a step; the
// live key state and simulated keys go through the fake window service.
#include <gtest/gtest.h>

#include <vector>

#include "BuiltinTestUtil.h"
#include "function/Function_Interaction.h"
#include "io/IO_Main.h"
#include "os/OS_Messages.h"
#include "os/OS_Window.h"

namespace builtintest {
namespace {

int32_t g_pumps = 0;

class InteractionBuiltinsTest : public BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    RegisterInteractionFunctions();
    OS_SetWindowService(OS_FakeWindowService());
    OS_FakeWindowState() = OSFakeWindowState{};
    g_pumps = 0;
    m_savedHook = PumpMessages_SetHook([] { ++g_pumps; });
    IO_StartStep();  // the first step seeds the live copy, as a game's first step does
  }
  void TearDown() override {
    PumpMessages_SetHook(m_savedHook);
    OS_SetWindowService(nullptr);
    OS_FakeWindowState() = OSFakeWindowState{};
    BuiltinTest::TearDown();
  }

  double Real(const char* name, std::vector<double> args = {}) {
    std::vector<ScriptValue> values;
    for (const double a : args) values.push_back(RealValue(a));
    return CallReal(name, std::move(values));
  }

  struct Check {
    const char* name;
    double arg;
    double expected;
  };
  void Expect(const char* when, std::initializer_list<Check> checks) {
    for (const Check& c : checks)
      EXPECT_EQ(Real(c.name, {c.arg}), c.expected) << when << ": " << c.name << "(" << c.arg << ")";
  }

  PumpMessagesHook m_savedHook = nullptr;
};

TEST_F(InteractionBuiltinsTest, KeyChecksSeeHeldKeysAndPressesAndReleasesOnlyInTheirStep) {
  Expect("nothing held", {{"keyboard_check", 0, 1},
                          {"keyboard_check", 1, 0},
                          {"keyboard_check", 65, 0},
                          {"keyboard_check_pressed", 0, 1},
                          {"keyboard_check_released", 0, 1},
                          {"keyboard_check_released", 1, 0}});

  IO_OnKeyDown(65, false);
  IO_StartStep();
  Expect("A goes down", {{"keyboard_check", 0, 0},
                         {"keyboard_check", 1, 1},
                         {"keyboard_check", 65, 1},
                         {"keyboard_check", 65.4, 1},  // rounded
                         {"keyboard_check", 64.5, 0},  // halves to even: 64
                         {"keyboard_check", 66, 0},
                         {"keyboard_check", 256, 0},
                         {"keyboard_check", 65 + 256, 0},
                         {"keyboard_check", -1, 0},
                         {"keyboard_check_pressed", 65, 1},
                         {"keyboard_check_pressed", 1, 1},
                         {"keyboard_check_pressed", 0, 0},
                         {"keyboard_check_released", 65, 0},
                         {"keyboard_check_released", 0, 1}});

  IO_StartStep();
  Expect("A held", {{"keyboard_check", 65, 1}, {"keyboard_check_pressed", 65, 0}, {"keyboard_check_pressed", 0, 1}});

  IO_OnKeyUp(65);
  IO_StartStep();
  Expect("A goes up", {{"keyboard_check", 65, 0},
                       {"keyboard_check", 0, 1},
                       {"keyboard_check_released", 65, 1},
                       {"keyboard_check_released", 1, 1},
                       {"keyboard_check_released", 0, 0}});

  IO_StartStep();
  Expect("after", {{"keyboard_check_released", 65, 0}, {"keyboard_check_released", 0, 1}});

  // Key 0 itself held counts as a key held, and key 1 asks about every key, itself included.
  IO_OnKeyDown(0, false);
  IO_StartStep();
  Expect("key 0 held", {{"keyboard_check", 0, 0}, {"keyboard_check", 1, 1}});
}

TEST_F(InteractionBuiltinsTest, TheKeyMapReportsOneKeyAsAnother) {
  Real("keyboard_set_map", {65, 66});
  Real("keyboard_set_map", {300, 65});  // ignored
  EXPECT_EQ(Real("keyboard_get_map", {65}), 66);
  EXPECT_EQ(Real("keyboard_get_map", {67}), 67);
  EXPECT_EQ(Real("keyboard_get_map", {300}), 300);
  EXPECT_EQ(Real("keyboard_get_map", {-4}), -4);
  IO_OnKeyDown(65, false);
  IO_StartStep();
  Expect("A mapped to B", {{"keyboard_check", 66, 1}, {"keyboard_check_pressed", 66, 1}, {"keyboard_check", 65, 0}});

  Real("keyboard_unset_map");
  EXPECT_EQ(Real("keyboard_get_map", {65}), 65);
  IO_OnKeyUp(65);  // now reported as A, which never went down
  IO_StartStep();
  Expect("map undone", {{"keyboard_check_released", 65, 1}, {"keyboard_check", 66, 1}});
}

TEST_F(InteractionBuiltinsTest, ButtonChecksAndTheWheel) {
  Expect("nothing held", {{"mouse_check_button", 0, 1}, {"mouse_check_button", -1, 0}, {"mouse_wheel_up", 0, 0}});

  IO_OnMouseDown(2, 10, 10);
  IO_OnWheelUp();
  IO_StartStep();
  Expect("right goes down", {{"mouse_check_button", -1, 1},
                             {"mouse_check_button", 0, 0},
                             {"mouse_check_button", 2, 1},
                             {"mouse_check_button", 1, 0},
                             {"mouse_check_button", 4, 0},
                             {"mouse_check_button", -2, 0},
                             {"mouse_check_button_pressed", 2, 1},
                             {"mouse_check_button_pressed", -1, 1},
                             {"mouse_check_button_released", 0, 1},
                             {"mouse_wheel_up", 0, 1},
                             {"mouse_wheel_down", 0, 0}});

  IO_OnMouseUp(2, 10, 10);
  IO_OnWheelDown();
  IO_StartStep();
  Expect("right goes up", {{"mouse_check_button", 2, 0},
                           {"mouse_check_button", 0, 1},
                           {"mouse_check_button_pressed", 2, 0},
                           {"mouse_check_button_released", 2, 1},
                           {"mouse_check_button_released", -1, 1},
                           {"mouse_wheel_up", 0, 0},
                           {"mouse_wheel_down", 0, 1}});
}

TEST_F(InteractionBuiltinsTest, ClearsTakeInTheMessagesThenForgetTheirKeysAndButtons) {
  IO_OnKeyDown(65, false);
  IO_OnKeyDown(66, false);
  IO_OnMouseDown(1, 0, 0);
  IO_OnMouseDown(3, 0, 0);
  IO_StartStep();

  Real("keyboard_clear", {65});
  EXPECT_EQ(g_pumps, 1);
  Expect("A cleared", {{"keyboard_check", 65, 0}, {"keyboard_check_pressed", 65, 0}, {"keyboard_check", 66, 1}});
  IO_StartStep();  // the live copy forgot it too
  Expect("next step", {{"keyboard_check", 65, 0}, {"keyboard_check", 66, 1}});

  Real("mouse_clear", {3});
  Expect("middle cleared", {{"mouse_check_button", 3, 0}, {"mouse_check_button", 1, 1}});
  Real("mouse_clear", {-1});
  Expect("all buttons cleared", {{"mouse_check_button", -1, 0}});
  EXPECT_EQ(g_pumps, 3);

  IO_OnMouseDown(1, 0, 0);
  IO_StartStep();
  Real("io_clear");
  Expect("all cleared", {{"keyboard_check", 1, 0}, {"mouse_check_button", -1, 0}});
  Real("io_handle");
  EXPECT_EQ(g_pumps, 5);
}

TEST_F(InteractionBuiltinsTest, DirectChecksNumLockAndSimulatedKeysUseTheSystemKeyState) {
  OSFakeWindowState& w = OS_FakeWindowState();
  w.keys[65] = kOSKeyDown;
  w.keys[20] = kOSKeyToggled;  // caps lock on but not held
  Expect("live keys", {{"keyboard_check_direct", 65, 1},
                       {"keyboard_check_direct", 65.9, 1},  // truncated
                       {"keyboard_check_direct", 64.9, 0},
                       {"keyboard_check_direct", 20, 0},
                       {"keyboard_check_direct", 256 + 65, 0},
                       {"keyboard_check", 65, 0}});  // the step copy saw nothing

  struct NumLock {
    uint16_t state;
    double answer;
  };
  for (const NumLock& n :
       {NumLock{0, 0}, NumLock{kOSKeyToggled, 1}, NumLock{kOSKeyToggled | kOSKeyDown, 0}, NumLock{kOSKeyDown, 0}}) {
    w.keys[144] = n.state;
    EXPECT_EQ(Real("keyboard_get_numlock"), n.answer) << n.state;
  }

  // Setting the state it has sends nothing; the other state is a press and a release of num lock.
  w.keys[144] = kOSKeyToggled;
  Real("keyboard_set_numlock", {0.5});
  EXPECT_TRUE(w.sentKeys.empty());
  Real("keyboard_set_numlock", {0.49});
  w.keys[144] = 0;
  Real("keyboard_set_numlock", {0});
  Real("keyboard_key_press", {37.5});  // halves to even: 38
  Real("keyboard_key_release", {38});
  ASSERT_EQ(w.sentKeys.size(), 4u);
  const std::vector<std::pair<int32_t, bool>> expected = {{144, false}, {144, true}, {38, false}, {38, true}};
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(w.sentKeys[i].key, expected[i].first) << i;
    EXPECT_EQ(w.sentKeys[i].release, expected[i].second) << i;
  }
}

}  // namespace
}  // namespace builtintest
