#include "os/OS_Window.h"

#include <SDL.h>

#include <algorithm>

#include "base/VCL.h"
#include "os/MessageBox.h"

namespace {

// ---- The real service, over SDL2 ----

// The real service's window and the system cursors made so far (kept for the process).
struct SdlWindowState {
  SDL_Window* window = nullptr;
  SDL_Cursor* cursors[kOSCursorShapes] = {};
};
SdlWindowState g_sdl;

bool VideoUp() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

void RealDestroyWindow() {
  if (g_sdl.window == nullptr) return;
  SDL_DestroyWindow(g_sdl.window);
  g_sdl.window = nullptr;
}

bool RealCreateWindow(const char* title, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t style) {
  RealDestroyWindow();
  if (!VideoUp()) {
    DebugConsole->Output("Cannot create the window: the video system is not started\n");
    return false;
  }
  Uint32 flags = 0;
  if (style & kOSWindowResizable) flags |= SDL_WINDOW_RESIZABLE;
  if (style & kOSWindowBorderless) flags |= SDL_WINDOW_BORDERLESS;
  flags |= (style & kOSWindowHidden) ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;
  if (style & kOSWindowOpenGL) flags |= SDL_WINDOW_OPENGL;
  if (style & kOSWindowFullScreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  g_sdl.window = SDL_CreateWindow(title ? title : "", x, y, std::max(width, 1), std::max(height, 1), flags);
  if (g_sdl.window == nullptr) {
    DebugConsole->Output("Cannot create the window: %s\n", SDL_GetError());
    return false;
  }
  return true;
}

SDL_Window* RealSdlWindow() { return g_sdl.window; }

void RealSetTitle(const char* title) {
  if (g_sdl.window != nullptr) SDL_SetWindowTitle(g_sdl.window, title ? title : "");
}

OSRect RealFrameBorders() {
  OSRect b{};
  if (g_sdl.window == nullptr ||
      SDL_GetWindowBordersSize(g_sdl.window, &b.top, &b.left, &b.bottom, &b.right) != 0) {
    return OSRect{};
  }
  return b;
}

bool RealGetClientRect(OSRect* out) {
  if (g_sdl.window == nullptr) return false;
  int w = 0, h = 0;
  SDL_GetWindowSize(g_sdl.window, &w, &h);
  *out = OSRect{0, 0, w, h};
  return true;
}

bool RealClientToScreen(int32_t* x, int32_t* y) {
  if (g_sdl.window == nullptr) return false;
  int wx = 0, wy = 0;
  SDL_GetWindowPosition(g_sdl.window, &wx, &wy);
  *x += wx;
  *y += wy;
  return true;
}

bool RealGetWindowRect(OSRect* out) {
  OSRect client{};
  if (!RealGetClientRect(&client)) return false;
  int32_t x = 0, y = 0;
  RealClientToScreen(&x, &y);
  const OSRect b = RealFrameBorders();
  *out = OSRect{x - b.left, y - b.top, x + client.right + b.right, y + client.bottom + b.bottom};
  return true;
}

void RealSetWindowRect(int32_t x, int32_t y, int32_t width, int32_t height) {
  if (g_sdl.window == nullptr) return;
  const OSRect b = RealFrameBorders();
  SDL_SetWindowPosition(g_sdl.window, x + b.left, y + b.top);
  SDL_SetWindowSize(g_sdl.window, std::max(width - b.left - b.right, 1), std::max(height - b.top - b.bottom, 1));
}

int32_t RealCaptionHeight() { return RealFrameBorders().top; }

bool RealDisplayWorkArea(OSRect* out) {
  SDL_Rect r;
  if (!VideoUp() || SDL_GetDisplayUsableBounds(0, &r) != 0) return false;
  *out = OSRect{r.x, r.y, r.x + r.w, r.y + r.h};
  return true;
}

int32_t RealMonitorCount() {
  if (!VideoUp()) return 0;
  return std::max(SDL_GetNumVideoDisplays(), 0);
}

bool RealMonitorWorkArea(int32_t index, OSRect* out) {
  SDL_Rect r;
  if (!VideoUp() || index < 0 || index >= RealMonitorCount()) return false;
  if (SDL_GetDisplayUsableBounds(index, &r) != 0 && SDL_GetDisplayBounds(index, &r) != 0) return false;
  *out = OSRect{r.x, r.y, r.x + r.w, r.y + r.h};
  return true;
}

void RealSetFocus() {
  if (g_sdl.window == nullptr) return;
  SDL_RaiseWindow(g_sdl.window);
}

void RealShowAndRaise() {
  if (g_sdl.window == nullptr) return;
  SDL_ShowWindow(g_sdl.window);
  SDL_RaiseWindow(g_sdl.window);
}

void RealSetIcon(const uint32_t* pixels, int32_t width, int32_t height) {
  if (g_sdl.window == nullptr || pixels == nullptr || width <= 0 || height <= 0) return;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels), width, height, 32,
                                                            width * 4, SDL_PIXELFORMAT_ARGB8888);
  if (surface == nullptr) return;
  SDL_SetWindowIcon(g_sdl.window, surface);
  SDL_FreeSurface(surface);
}

bool RealIsActive() {
  if (g_sdl.window == nullptr) return false;
  // With nobody in front of the screen the game counts as the window in use.
  if (OS_IsHeadless()) return true;
  return (SDL_GetWindowFlags(g_sdl.window) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

void RealSetCursor(OSCursor cursor) {
  if (!VideoUp()) return;
  if (cursor == OSCursor::None) {
    SDL_ShowCursor(SDL_DISABLE);
    return;
  }
  static const SDL_SystemCursor kShapes[] = {
      SDL_SYSTEM_CURSOR_ARROW,    SDL_SYSTEM_CURSOR_ARROW,  SDL_SYSTEM_CURSOR_CROSSHAIR,
      SDL_SYSTEM_CURSOR_IBEAM,    SDL_SYSTEM_CURSOR_SIZENESW, SDL_SYSTEM_CURSOR_SIZENS,
      SDL_SYSTEM_CURSOR_SIZENWSE, SDL_SYSTEM_CURSOR_SIZEWE, SDL_SYSTEM_CURSOR_ARROW,
      SDL_SYSTEM_CURSOR_WAIT,     SDL_SYSTEM_CURSOR_HAND,   SDL_SYSTEM_CURSOR_NO,
      SDL_SYSTEM_CURSOR_WAITARROW, SDL_SYSTEM_CURSOR_ARROW, SDL_SYSTEM_CURSOR_SIZEALL};
  static_assert(sizeof kShapes / sizeof kShapes[0] == kOSCursorShapes, "one SDL shape per cursor");
  const size_t index = static_cast<size_t>(cursor);
  if (g_sdl.cursors[index] == nullptr) g_sdl.cursors[index] = SDL_CreateSystemCursor(kShapes[index]);
  if (g_sdl.cursors[index] != nullptr) SDL_SetCursor(g_sdl.cursors[index]);
  SDL_ShowCursor(SDL_ENABLE);
}

// The keys whose scan code does not depend on the keyboard layout.
struct KeyScanCode {
  int32_t key;
  SDL_Scancode scancode;
};
constexpr KeyScanCode kFixedKeys[] = {
    {8, SDL_SCANCODE_BACKSPACE}, {9, SDL_SCANCODE_TAB},       {13, SDL_SCANCODE_RETURN},
    {20, SDL_SCANCODE_CAPSLOCK}, {27, SDL_SCANCODE_ESCAPE},   {32, SDL_SCANCODE_SPACE},
    {37, SDL_SCANCODE_LEFT},     {38, SDL_SCANCODE_UP},       {39, SDL_SCANCODE_RIGHT},
    {40, SDL_SCANCODE_DOWN},     {144, SDL_SCANCODE_NUMLOCKCLEAR}, {145, SDL_SCANCODE_SCROLLLOCK},
    {0xA0, SDL_SCANCODE_LSHIFT}, {0xA1, SDL_SCANCODE_RSHIFT}, {0xA2, SDL_SCANCODE_LCTRL},
    {0xA3, SDL_SCANCODE_RCTRL},  {0xA4, SDL_SCANCODE_LALT},   {0xA5, SDL_SCANCODE_RALT},
};

SDL_Scancode ScancodeOfKey(int32_t key) {
  for (const KeyScanCode& k : kFixedKeys) {
    if (k.key == key) return k.scancode;
  }
  if (key >= 'A' && key <= 'Z') return SDL_GetScancodeFromKey(static_cast<SDL_Keycode>(key - 'A' + 'a'));
  if (key >= '0' && key <= '9') return SDL_GetScancodeFromKey(static_cast<SDL_Keycode>(key));
  if (key >= 112 && key <= 123) return static_cast<SDL_Scancode>(SDL_SCANCODE_F1 + (key - 112));
  return SDL_SCANCODE_UNKNOWN;
}

uint16_t RealGetKeyState(int32_t key) {
  if (key < 0 || key > 255 || SDL_WasInit(SDL_INIT_EVENTS) == 0) return 0;
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  auto down = [&](SDL_Scancode s) { return s != SDL_SCANCODE_UNKNOWN && s < count && state[s] != 0; };
  bool isDown = false;
  switch (key) {
    case 16: isDown = down(SDL_SCANCODE_LSHIFT) || down(SDL_SCANCODE_RSHIFT); break;
    case 17: isDown = down(SDL_SCANCODE_LCTRL) || down(SDL_SCANCODE_RCTRL); break;
    case 18: isDown = down(SDL_SCANCODE_LALT) || down(SDL_SCANCODE_RALT); break;
    default: isDown = down(ScancodeOfKey(key)); break;
  }
  const SDL_Keymod mods = SDL_GetModState();
  bool toggled = false;
  if (key == 20) toggled = (mods & KMOD_CAPS) != 0;
  if (key == 144) toggled = (mods & KMOD_NUM) != 0;
  if (key == 145) toggled = (mods & KMOD_SCROLL) != 0;
  return static_cast<uint16_t>((isDown ? kOSKeyDown : 0) | (toggled ? kOSKeyToggled : 0));
}

void RealSendKey(int32_t key, bool release) {
  if (SDL_WasInit(SDL_INIT_EVENTS) == 0) return;
  const SDL_Scancode scancode = ScancodeOfKey(key);
  if (scancode == SDL_SCANCODE_UNKNOWN) return;
  SDL_Event event{};
  event.type = release ? SDL_KEYUP : SDL_KEYDOWN;
  event.key.windowID = g_sdl.window ? SDL_GetWindowID(g_sdl.window) : 0;
  event.key.state = release ? SDL_RELEASED : SDL_PRESSED;
  event.key.keysym.scancode = scancode;
  event.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
  SDL_PushEvent(&event);
}

// SDL keeps the clipboard with the video system (its offscreen driver holds it in memory).
bool RealHasClipboardText() { return VideoUp() && SDL_HasClipboardText() == SDL_TRUE; }

void RealSetClipboardText(const char* text) {
  if (VideoUp()) SDL_SetClipboardText(text ? text : "");
}

bool RealGetClipboardText(std::string* out) {
  if (!VideoUp()) return false;
  char* text = SDL_GetClipboardText();
  if (text == nullptr) return false;
  *out = text;
  SDL_free(text);
  return true;
}

const OSWindowService kRealService = {
    RealCreateWindow,    RealDestroyWindow,  RealSdlWindow,     RealSetTitle,
    RealGetWindowRect,   RealGetClientRect,  RealClientToScreen, RealSetWindowRect,
    RealFrameBorders,    RealCaptionHeight,  RealDisplayWorkArea, RealMonitorCount,
    RealMonitorWorkArea, RealSetFocus,
    RealShowAndRaise,    RealSetIcon,
    RealIsActive,        RealSetCursor,      RealGetKeyState,    RealSendKey,
    RealHasClipboardText, RealSetClipboardText, RealGetClipboardText,
};

// ---- The fake service: everything in memory ----

OSFakeWindowState g_fake;

bool FakeCreateWindow(const char* title, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t style) {
  ++g_fake.createCount;
  if (g_fake.refuseCreate) return false;
  g_fake.windowExists = true;
  g_fake.createStyle = style;
  g_fake.shown = (style & kOSWindowHidden) == 0;
  g_fake.title = title ? title : "";
  g_fake.client = OSRect{x, y, x + width, y + height};
  return true;
}
void FakeDestroyWindow() {
  g_fake.windowExists = false;
  g_fake.active = false;
}
SDL_Window* FakeSdlWindow() { return nullptr; }
void FakeSetTitle(const char* title) {
  if (g_fake.windowExists) g_fake.title = title ? title : "";
}
bool FakeGetWindowRect(OSRect* out) {
  if (!g_fake.windowExists) return false;
  const OSRect& c = g_fake.client;
  const OSRect& b = g_fake.borders;
  *out = OSRect{c.left - b.left, c.top - b.top, c.right + b.right, c.bottom + b.bottom};
  return true;
}
bool FakeGetClientRect(OSRect* out) {
  if (!g_fake.windowExists) return false;
  *out = OSRect{0, 0, g_fake.client.Width(), g_fake.client.Height()};
  return true;
}
bool FakeClientToScreen(int32_t* x, int32_t* y) {
  if (!g_fake.windowExists) return false;
  *x += g_fake.client.left;
  *y += g_fake.client.top;
  return true;
}
void FakeSetWindowRect(int32_t x, int32_t y, int32_t width, int32_t height) {
  if (!g_fake.windowExists) return;
  const OSRect& b = g_fake.borders;
  g_fake.client = OSRect{x + b.left, y + b.top, x + std::max(width - b.right, b.left + 1),
                         y + std::max(height - b.bottom, b.top + 1)};
}
OSRect FakeFrameBorders() { return g_fake.borders; }
int32_t FakeCaptionHeight() { return g_fake.caption; }
bool FakeDisplayWorkArea(OSRect* out) {
  *out = g_fake.workArea;
  return true;
}
int32_t FakeMonitorCount() { return static_cast<int32_t>(g_fake.monitors.size()); }
bool FakeMonitorWorkArea(int32_t index, OSRect* out) {
  if (index < 0 || index >= FakeMonitorCount() || index == g_fake.unreadableMonitor) return false;
  *out = g_fake.monitors[static_cast<size_t>(index)];
  return true;
}
void FakeSetFocus() {
  if (g_fake.windowExists) g_fake.active = true;
}
void FakeShowAndRaise() {
  if (!g_fake.windowExists) return;
  g_fake.shown = true;
  ++g_fake.raiseCount;
}
void FakeSetIcon(const uint32_t*, int32_t width, int32_t height) {
  if (!g_fake.windowExists) return;
  g_fake.iconWidth = width;
  g_fake.iconHeight = height;
}
bool FakeIsActive() { return g_fake.windowExists && g_fake.active; }
void FakeSetCursor(OSCursor cursor) { g_fake.cursor = cursor; }
uint16_t FakeGetKeyState(int32_t key) { return (key < 0 || key > 255) ? 0 : g_fake.keys[key]; }
void FakeSendKey(int32_t key, bool release) { g_fake.sentKeys.push_back({key, release}); }

bool FakeHasClipboardText() { return g_fake.clipboardHasText; }
void FakeSetClipboardText(const char* text) {
  g_fake.clipboardHasText = true;
  g_fake.clipboard = text ? text : "";
}
bool FakeGetClipboardText(std::string* out) {
  *out = g_fake.clipboardHasText ? g_fake.clipboard : "";
  return true;
}

const OSWindowService kFakeService = {
    FakeCreateWindow,    FakeDestroyWindow,  FakeSdlWindow,     FakeSetTitle,
    FakeGetWindowRect,   FakeGetClientRect,  FakeClientToScreen, FakeSetWindowRect,
    FakeFrameBorders,    FakeCaptionHeight,  FakeDisplayWorkArea, FakeMonitorCount,
    FakeMonitorWorkArea, FakeSetFocus,
    FakeShowAndRaise,    FakeSetIcon,
    FakeIsActive,        FakeSetCursor,      FakeGetKeyState,    FakeSendKey,
    FakeHasClipboardText, FakeSetClipboardText, FakeGetClipboardText,
};

const OSWindowService* g_service = &kRealService;

}  // namespace

const OSWindowService& OS_Window() { return *g_service; }
void OS_SetWindowService(const OSWindowService* service) { g_service = service ? service : &kRealService; }
const OSWindowService* OS_RealWindowService() { return &kRealService; }
const OSWindowService* OS_FakeWindowService() { return &kFakeService; }
OSFakeWindowState& OS_FakeWindowState() { return g_fake; }

void OS_ReleaseWindowResources() {
  RealDestroyWindow();
  for (SDL_Cursor*& cursor : g_sdl.cursors) {
    if (cursor != nullptr) SDL_FreeCursor(cursor);
    cursor = nullptr;
  }
}
