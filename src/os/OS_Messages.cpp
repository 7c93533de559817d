#include "os/OS_Messages.h"

#include <SDL.h>
#include <signal.h>

#include <atomic>

namespace {

void DefaultWindowProcedure(const SDL_Event& event) {
  if (event.type == SDL_QUIT) OS_PostQuitMessage();
}

// The message pump's state. The running flag and the hook are read from other threads and the
// quit signal is written by a signal handler, so it is reset field by field, never by assignment.
struct PumpState {
  std::atomic<bool> running{false};
  std::atomic<PumpMessagesHook> hook{nullptr};
  volatile sig_atomic_t quitSignal = 0;
  // A quit request posted while the event subsystem was down.
  bool pendingQuit = false;
  Uint32 quitEventType = 0;  // registered once for the process
  DialogEventFilter dialogFilter = nullptr;
  WindowProcedure windowProcedure = DefaultWindowProcedure;
};
PumpState g_pump;

void OnQuitSignal(int) { g_pump.quitSignal = 1; }

// The event type of the program's quit request (registered once for the process).
Uint32 QuitEventType() {
  if (g_pump.quitEventType == 0) {
    const Uint32 type = SDL_RegisterEvents(1);
    if (type != static_cast<Uint32>(-1)) g_pump.quitEventType = type;
  }
  return g_pump.quitEventType;
}

void Quit() { Run_SetRunning(false); }

}  // namespace

bool Run_IsRunning() { return g_pump.running.load(); }

void Run_SetRunning(bool running) { g_pump.running.store(running); }

PumpMessagesHook PumpMessages_SetHook(PumpMessagesHook hook) { return g_pump.hook.exchange(hook); }

WindowProcedure PumpMessages_SetWindowProcedure(WindowProcedure procedure) {
  WindowProcedure old = g_pump.windowProcedure;
  g_pump.windowProcedure = procedure ? procedure : DefaultWindowProcedure;
  return old;
}

void PumpMessages_SetDialogFilter(DialogEventFilter filter) { g_pump.dialogFilter = filter; }

void OS_PostQuitMessage() {
  // Queued only where PumpMessages drains: with the event subsystem up but no video, a queued
  // request would never be met and the main loop would never end.
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
    SDL_Event event{};
    event.type = QuitEventType();
    if (event.type != 0 && SDL_PushEvent(&event) == 1) return;
  }
  g_pump.pendingQuit = true;
}

void OS_DiscardQuitMessages() {
  g_pump.pendingQuit = false;
  if (SDL_WasInit(SDL_INIT_EVENTS) != 0 && g_pump.quitEventType != 0) SDL_FlushEvent(g_pump.quitEventType);
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

bool OS_QuitSignalled() { return g_pump.quitSignal != 0; }

void OS_ClearQuitSignal() { g_pump.quitSignal = 0; }

void PumpMessages() {
  if (PumpMessagesHook hook = g_pump.hook.load()) hook();
  if (g_pump.quitSignal != 0 || g_pump.pendingQuit) {
    g_pump.pendingQuit = false;
    Quit();
    return;
  }
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    if (g_pump.dialogFilter != nullptr && g_pump.dialogFilter(event)) continue;
    if (g_pump.quitEventType != 0 && event.type == g_pump.quitEventType) {
      Quit();
      return;
    }
    g_pump.windowProcedure(event);
  }
}
