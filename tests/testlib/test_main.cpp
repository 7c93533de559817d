// The main of every unit-test executable: keeps a direct run headless and quiet.
#include <gtest/gtest.h>

#include <cstdlib>

#include "code/Code_Error.h"

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("ALSOFT_DRIVERS", "null", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("RUNNER_HEADLESS", "1", 0);
  Code_InstallErrorReporter();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
