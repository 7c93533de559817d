#include "os/MessageBox.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::mutex g_responderMutex;
MessageBoxResponder g_responder;

// When the last real box was up, in SDL ticks (kept for the process): the focus it took from the
// game window is no pause of the game.
struct BoxTime {
  bool shown = false;
  uint32_t start = 0;
  uint32_t end = 0;
};
BoxTime g_boxTime;

struct ButtonSet {
  int count;
  SDL_MessageBoxButtonData buttons[2];
  MessageBoxAnswer answers[2];
};

ButtonSet ButtonsFor(MessageBoxKind kind) {
  constexpr Uint32 kReturn = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
  constexpr Uint32 kEscape = SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
  switch (kind) {
    case MessageBoxKind::OkCancel:
      return {2, {{kReturn, 0, "OK"}, {kEscape, 1, "Cancel"}}, {MessageBoxAnswer::Ok, MessageBoxAnswer::Cancel}};
    case MessageBoxKind::YesNo:
      return {2, {{kReturn, 0, "Yes"}, {kEscape, 1, "No"}}, {MessageBoxAnswer::Yes, MessageBoxAnswer::No}};
    case MessageBoxKind::AbortIgnore:
      return {2, {{kReturn, 0, "Abort"}, {kEscape, 1, "Ignore"}}, {MessageBoxAnswer::Abort, MessageBoxAnswer::Ignore}};
    case MessageBoxKind::Ok:
    default:
      return {1, {{kReturn | kEscape, 0, "OK"}, {0, 0, nullptr}}, {MessageBoxAnswer::Ok, MessageBoxAnswer::Ok}};
  }
}

}  // namespace

MessageBoxAnswer OS_DefaultAnswer(MessageBoxKind kind) { return ButtonsFor(kind).answers[0]; }

bool OS_IsHeadless() {
  const char* headless = std::getenv("RUNNER_HEADLESS");
  if (headless != nullptr && std::strcmp(headless, "1") == 0) return true;
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (display == nullptr || *display == '\0') && (wayland == nullptr || *wayland == '\0');
}

MessageBoxResponder OS_SetMessageBoxResponder(MessageBoxResponder responder) {
  std::lock_guard<std::mutex> lock(g_responderMutex);
  MessageBoxResponder old = std::move(g_responder);
  g_responder = std::move(responder);
  return old;
}

MessageBoxAnswer OS_ShowMessageBox(const char* caption, const char* text, MessageBoxKind kind,
                                   bool topmost) {
  const char* cap = caption ? caption : "";
  const char* txt = text ? text : "";
  MessageBoxResponder responder;
  {
    std::lock_guard<std::mutex> lock(g_responderMutex);
    responder = g_responder;
  }
  if (responder) return responder(cap, txt, kind);

  if (OS_IsHeadless()) {
    std::fprintf(stderr, "%s: %s\n", cap, txt);
    std::fflush(stderr);
    return OS_DefaultAnswer(kind);
  }

  ButtonSet set = ButtonsFor(kind);
  SDL_MessageBoxData data{};
  data.flags = SDL_MESSAGEBOX_INFORMATION;
  (void)topmost;  // SDL keeps its boxes above the game window on its own
  data.window = nullptr;
  data.title = cap;
  data.message = txt;
  data.numbuttons = set.count;
  data.buttons = set.buttons;
  int pressed = -1;
  const uint32_t start = SDL_GetTicks();
  const int shown = SDL_ShowMessageBox(&data, &pressed);
  // The game window's focus events from while the box was up are read now, so they carry a time
  // inside the box's.
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_PumpEvents();
  OS_NoteMessageBoxTime(start, SDL_GetTicks());
  if (shown != 0 || pressed < 0 || pressed >= set.count) {
    // No box could be shown: say it where a person can read it and take the first button.
    std::fprintf(stderr, "%s: %s\n", cap, txt);
    std::fflush(stderr);
    return set.answers[0];
  }
  return set.answers[pressed];
}

void OS_NoteMessageBoxTime(uint32_t start, uint32_t end) { g_boxTime = BoxTime{true, start, end}; }

bool OS_MessageBoxTookFocus(uint32_t ticks) {
  return g_boxTime.shown && ticks >= g_boxTime.start && ticks <= g_boxTime.end;
}
