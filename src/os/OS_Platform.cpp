#include "os/OS_Platform.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "base/VCL.h"
#include "os/OS_Messages.h"
#include "os/OS_Window.h"

namespace {
constexpr Uint32 kSubsystems = SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK;
}  // namespace

bool InitPlatformUI() {
  OS_InstallQuitSignals();
  const char* headless = std::getenv("RUNNER_HEADLESS");
  if (headless != nullptr && std::strcmp(headless, "1") == 0) setenv("SDL_VIDEODRIVER", "offscreen", 1);
  if (SDL_InitSubSystem(kSubsystems) != 0) {
    DebugConsole->Output("SDL could not start: %s\n", SDL_GetError());
    return false;
  }
  return true;
}

void ShutdownPlatformUI() {
  OS_ReleaseWindowResources();
  OS_DiscardQuitMessages();
  if (SDL_WasInit(kSubsystems) != 0) SDL_QuitSubSystem(kSubsystems);
}
