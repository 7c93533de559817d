// A game run in this process, headless, whose player is the message pump's hook: at chosen
// frames it pushes SDL key, button and wheel events, and the game's keyboard and mouse events
// print what they saw.
#include <gtest/gtest.h>

#include <SDL.h>

#include <string>
#include <vector>

#include "base/VCL.h"
#include "os/OS_Messages.h"
#include "run/Run_Frame.h"
#include "run/Run_Global.h"
#include "run/Run_Main.h"
#include "testlib/GameDataBuilder.h"
#include "testlib/InProcessGame.h"
#include "testlib/RuntimeTest.h"
#include "testlib/SdlEvents.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;

namespace {

// The player: after step n has run, what happens before step n + 1.
int64_t g_played = 0;
void Play() {
  if (!Run_IsRunning() || g_FrameLoop.framesRun == g_played) return;
  g_played = g_FrameLoop.framesRun;
  switch (g_played) {
    case 1:  // A tapped between two steps
      PushKey(SDL_KEYDOWN, SDLK_a, SDL_SCANCODE_A);
      PushKey(SDL_KEYUP, SDLK_a, SDL_SCANCODE_A);
      break;
    case 2: PushKey(SDL_KEYDOWN, SDLK_a, SDL_SCANCODE_A); break;
    case 3: PushKey(SDL_KEYDOWN, SDLK_a, SDL_SCANCODE_A, 0, true); break;
    case 4: PushKey(SDL_KEYUP, SDLK_a, SDL_SCANCODE_A); break;
    case 5:  // a click between two steps
      PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
      PushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
      break;
    case 6:
      PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT);
      PushWheel(1);
      break;
    case 7:
      PushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT);
      PushWheel(-3);
      break;
    default: break;
  }
}

ObjectEvent Print(int32_t number, const std::string& text) {
  ObjectEvent event;
  event.number = number;
  event.code.text = "show_debug_message(\"" + text + "\");";
  return event;
}

class InputGameTest : public RuntimeTest {};

TEST_F(InputGameTest, PushedEventsRaiseKeyboardAndMouseEvents) {
  TempDir dir;
  ObjectEntry object;
  object.name = "obj_player";
  object.events[0] = {ObjectEvent{0, ActionCode{"global.n = 0;"}}};
  object.events[3] = {ObjectEvent{0, ActionCode{"global.n += 1; show_debug_message(\"step \" + string(global.n));"}}};
  object.events[5] = {Print(0, "no key"), Print(65, "keyboard A")};
  object.events[9] = {Print(65, "press A")};
  object.events[10] = {Print(65, "release A")};
  object.events[6] = {Print(50, "held left"),     Print(51, "held right"),      Print(53, "pressed left"),
                      Print(54, "pressed right"), Print(56, "released left"),   Print(57, "released right"),
                      Print(12, "any pressed"),   Print(13, "any released"),    Print(60, "wheel up"),
                      Print(61, "wheel down")};
  const std::string path = dir.file("input.win");
  ASSERT_TRUE(WriteOneObjectGame(object, path));
  g_played = 0;
  std::vector<std::string> lines;
  ASSERT_EQ(RunGameInProcess(path, "8", Play, &lines), 0);

  // The game's own lines (the output console also has the runner's).
  std::vector<std::string> seen;
  for (const std::string& text : lines) {
    if (text.rfind("step ", 0) == 0 || text == "no key" || text.find(" A") != std::string::npos ||
        text.find("left") != std::string::npos || text.find("right") != std::string::npos ||
        text.rfind("any ", 0) == 0 || text.rfind("wheel ", 0) == 0) {
      seen.push_back(text);
    }
  }
  const std::vector<std::string> expected = {
      "no key", "step 1",
      // Tapped between steps: held, pressed and released in one step, and no "no key".
      "keyboard A", "press A", "release A", "step 2",
      "keyboard A", "press A", "step 3",
      // The repeat gives no second press.
      "keyboard A", "step 4",
      "release A", "no key", "step 5",
      // A click between steps: released only.
      "no key", "any released", "released left", "step 6",
      "no key", "held right", "any pressed", "pressed right", "wheel up", "step 7",
      "no key", "any released", "released right", "wheel down", "step 8",
  };
  EXPECT_EQ(seen, expected);
}

}  // namespace

namespace {

// The player of the check game: the left arrow held over steps 2 and 3 and the left button
// clicked between steps 4 and 5.
int64_t g_checked = 0;
void PlayChecks() {
  if (!Run_IsRunning() || g_FrameLoop.framesRun == g_checked) return;
  g_checked = g_FrameLoop.framesRun;
  switch (g_checked) {
    case 1: PushKey(SDL_KEYDOWN, SDLK_LEFT, SDL_SCANCODE_LEFT); break;
    case 3: PushKey(SDL_KEYUP, SDLK_LEFT, SDL_SCANCODE_LEFT); break;
    case 4:
      PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
      PushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
      break;
    default: break;
  }
}

TEST_F(InputGameTest, AStepEventChecksKeysAndButtonsAndItsSimulatedKeysArriveNextStep) {
  TempDir dir;
  ObjectEntry object;
  object.name = "obj_checks";
  object.events[0] = {ObjectEvent{0, ActionCode{"global.n = 0;"}}};
  // Each step prints what the checks answer; step 4 presses the right arrow itself and step 5
  // lets it go.
  object.events[3] = {ObjectEvent{0, ActionCode{R"(global.n += 1;
show_debug_message("step " + string(global.n) + ": left " + string(keyboard_check(vk_left))
  + string(keyboard_check_pressed(vk_left)) + string(keyboard_check_released(vk_left))
  + " none " + string(keyboard_check(vk_nokey)) + " right " + string(keyboard_check(vk_right))
  + string(keyboard_check_pressed(vk_right)) + string(keyboard_check_released(vk_right))
  + " mouse " + string(mouse_check_button_pressed(mb_left)) + string(mouse_check_button_released(mb_left)));
if (global.n == 4) keyboard_key_press(vk_right);
if (global.n == 5) keyboard_key_release(vk_right);)"}}};
  const std::string path = dir.file("checks.win");
  ASSERT_TRUE(WriteOneObjectGame(object, path));
  g_checked = 0;
  std::vector<std::string> lines;
  ASSERT_EQ(RunGameInProcess(path, "6", PlayChecks, &lines), 0);

  std::vector<std::string> seen;
  for (const std::string& text : lines) {
    if (text.rfind("step ", 0) == 0) seen.push_back(text);
  }
  const std::vector<std::string> expected = {
      "step 1: left 000 none 1 right 000 mouse 00",
      "step 2: left 110 none 0 right 000 mouse 00",
      "step 3: left 100 none 0 right 000 mouse 00",
      "step 4: left 001 none 1 right 000 mouse 00",
      // A click between two steps is only released; the simulated key arrives as a real one.
      "step 5: left 000 none 0 right 110 mouse 01",
      "step 6: left 000 none 1 right 001 mouse 00",
  };
  EXPECT_EQ(seen, expected);
}

}  // namespace
