#include "os/OS_Messages.h"

#include <SDL.h>

#include <atomic>

namespace {
std::atomic<bool> g_running{false};
std::atomic<PumpMessagesHook> g_hook{nullptr};
}  // namespace

bool Run_IsRunning() { return g_running.load(); }

void Run_SetRunning(bool running) { g_running.store(running); }

PumpMessagesHook PumpMessages_SetHook(PumpMessagesHook hook) { return g_hook.exchange(hook); }

void PumpMessages() {
  if (PumpMessagesHook hook = g_hook.load()) hook();
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    if (event.type == SDL_QUIT) Run_SetRunning(false);
  }
}
