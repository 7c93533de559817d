#include "os/OS_Messages.h"

#include <SDL.h>
#include <signal.h>

#include <atomic>

namespace {

std::atomic<bool> g_running{false};
std::atomic<PumpMessagesHook> g_hook{nullptr};
volatile sig_atomic_t g_quitSignal = 0;
// A quit request posted while the event subsystem was down.
bool g_pendingQuit = false;
Uint32 g_quitEventType = 0;
DialogEventFilter g_dialogFilter = nullptr;

void DefaultWindowProcedure(const SDL_Event& event) {
  if (event.type == SDL_QUIT) OS_PostQuitMessage();
}
WindowProcedure g_windowProcedure = DefaultWindowProcedure;

void OnQuitSignal(int) { g_quitSignal = 1; }

// The event type of the program's quit request (registered once for the process).
Uint32 QuitEventType() {
  if (g_quitEventType == 0) {
    const Uint32 type = SDL_RegisterEvents(1);
    if (type != static_cast<Uint32>(-1)) g_quitEventType = type;
  }
  return g_quitEventType;
}

void Quit() { Run_SetRunning(false); }

}  // namespace

bool Run_IsRunning() { return g_running.load(); }

void Run_SetRunning(bool running) { g_running.store(running); }

PumpMessagesHook PumpMessages_SetHook(PumpMessagesHook hook) { return g_hook.exchange(hook); }

WindowProcedure PumpMessages_SetWindowProcedure(WindowProcedure procedure) {
  WindowProcedure old = g_windowProcedure;
  g_windowProcedure = procedure ? procedure : DefaultWindowProcedure;
  return old;
}

void PumpMessages_SetDialogFilter(DialogEventFilter filter) { g_dialogFilter = filter; }

void OS_PostQuitMessage() {
  // Queued only where PumpMessages drains: with the event subsystem up but no video, a queued
  // request would never be met and the main loop would never end.
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
    SDL_Event event{};
    event.type = QuitEventType();
    if (event.type != 0 && SDL_PushEvent(&event) == 1) return;
  }
  g_pendingQuit = true;
}

void OS_DiscardQuitMessages() {
  g_pendingQuit = false;
  if (SDL_WasInit(SDL_INIT_EVENTS) != 0 && g_quitEventType != 0) SDL_FlushEvent(g_quitEventType);
}

void OS_InstallQuitSignals() {
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // Keep SDL from putting its own handlers in their place.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
}

bool OS_QuitSignalled() { return g_quitSignal != 0; }

void OS_ClearQuitSignal() { g_quitSignal = 0; }

void PumpMessages() {
  if (PumpMessagesHook hook = g_hook.load()) hook();
  if (g_quitSignal != 0 || g_pendingQuit) {
    g_pendingQuit = false;
    Quit();
    return;
  }
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    if (g_dialogFilter != nullptr && g_dialogFilter(event)) continue;
    if (g_quitEventType != 0 && event.type == g_quitEventType) {
      Quit();
      return;
    }
    g_windowProcedure(event);
  }
}
