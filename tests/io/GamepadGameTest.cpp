// A game run in this process, headless, with a virtual pad plugged in and pulled out while it
// runs: the device changes reach the window procedure, and the game's asynchronous system event
// (other-event 75) prints what async_load holds.
#include <gtest/gtest.h>

#include <SDL.h>

#include <memory>
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
#include "testlib/TestHelpers.h"
#include "testlib/VirtualPads.h"

using namespace testsupport;

namespace {

// The player: after step n has run, what happens before step n + 1.
int64_t g_played = 0;
std::unique_ptr<VirtualPad> g_pad;
void Play() {
  if (!Run_IsRunning() || g_FrameLoop.framesRun == g_played) return;
  g_played = g_FrameLoop.framesRun;
  if (g_played == 2) g_pad = std::make_unique<VirtualPad>();
  if (g_played == 3) g_pad->Button(SDL_CONTROLLER_BUTTON_A, true);
  if (g_played == 5) g_pad.reset();
}

class GamepadGameTest : public RuntimeTest {};

TEST_F(GamepadGameTest, APadPluggedInAndPulledOutWhileTheGameRunsRaisesTheSystemEvent) {
  TempDir dir;
  ObjectEntry object;
  object.name = "obj_pads";
  object.events[3] = {ObjectEvent{0, ActionCode{
      "global.n += 1; show_debug_message(\"step \" + string(global.n) + \" \" + string(async_load) + \" \" + "
      "string(gamepad_button_check(0, gp_face1)));"}}};
  object.events[0] = {ObjectEvent{0, ActionCode{"global.n = 0;"}}};
  object.events[7] = {ObjectEvent{75, ActionCode{
      "show_debug_message(\"system \" + ds_map_find_value(async_load, \"event_type\") + \" \" + "
      "string(ds_map_find_value(async_load, \"pad_index\")) + \" \" + string(gamepad_is_connected(0)));"}}};
  const std::string path = dir.file("pads.win");
  ASSERT_TRUE(WriteOneObjectGame(object, path));
  g_played = 0;
  std::vector<std::string> lines;
  const int status = RunGameInProcess(path, "7", Play, &lines);
  g_pad.reset();
  ASSERT_EQ(status, 0);

  std::vector<std::string> seen;
  for (const std::string& text : lines) {
    if (text.rfind("step ", 0) == 0 || text.rfind("system ", 0) == 0) seen.push_back(text);
  }
  // The event comes in the asynchronous phase of the step after the device change (after that
  // step's step event), with its own map; async_load is -1 outside it.
  const std::vector<std::string> expected = {
      "step 1 -1 0", "step 2 -1 0",
      "step 3 -1 0", "system gamepad discovered 0 1",
      "step 4 -1 1", "step 5 -1 1",
      "step 6 -1 0", "system gamepad lost 0 0",
      "step 7 -1 0",
  };
  EXPECT_EQ(seen, expected);
}

}  // namespace
