// The main of every unit-test executable: keeps a direct run headless and quiet.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>

#include "code/Code_Error.h"

namespace {

// Mesa's driver is unloaded when the last context goes, and LeakSanitizer then reports its
// allocations as leaks of an unknown module. Keeping it loaded for the whole process avoids that
// in every test executable that starts the graphics device (the start-up tests do too).
__attribute__((constructor)) void KeepMesaLoaded() {
  const char* libraries[] = {"libEGL_mesa.so.0", "libglapi.so.0", "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so"};
  for (const char* library : libraries) dlopen(library, RTLD_NOW | RTLD_NODELETE);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("ALSOFT_DRIVERS", "null", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("RUNNER_HEADLESS", "1", 0);
  Code_InstallErrorReporter();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
