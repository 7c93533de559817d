#include "os/OS_GameWindow.h"

#include <SDL.h>

#include "base/Utf8.h"
#include "base/VCL.h"
#include "room/Room_Command.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Display.h"
#include "graphics/Graphics_Window.h"
#include "io/IO_Main.h"
#include "option/Option_Main.h"
#include "os/MessageBox.h"
#include "os/OS_Messages.h"
#include "os/OS_Services.h"
#include "os/OS_Window.h"
#include "run/Run_Frame.h"
#include "run/Run_Startup.h"
#include "runner/GameData.h"

GameWindowState g_GameWindow;

namespace {

constexpr int32_t kVkShift = 16, kVkControl = 17, kVkMenu = 18;
constexpr int32_t kVkLShift = 0xA0, kVkRShift = 0xA1, kVkLControl = 0xA2, kVkRControl = 0xA3;
constexpr int32_t kVkLMenu = 0xA4, kVkRMenu = 0xA5;
constexpr int32_t kVkReturn = 13, kVkF4 = 115;

struct KeyNumber {
  SDL_Keycode keycode;
  int32_t key;
};

// The keys that do not depend on the keyboard's layout, and US punctuation, by keycode.
constexpr KeyNumber kKeysByCode[] = {
    {SDLK_BACKSPACE, 8},     {SDLK_TAB, 9},          {SDLK_CLEAR, 12},        {SDLK_RETURN, 13},
    {SDLK_RETURN2, 13},      {SDLK_PAUSE, 19},       {SDLK_CAPSLOCK, 20},     {SDLK_ESCAPE, 27},
    {SDLK_SPACE, 32},        {SDLK_PAGEUP, 33},      {SDLK_PAGEDOWN, 34},     {SDLK_END, 35},
    {SDLK_HOME, 36},         {SDLK_LEFT, 37},        {SDLK_UP, 38},           {SDLK_RIGHT, 39},
    {SDLK_DOWN, 40},         {SDLK_SELECT, 41},      {SDLK_EXECUTE, 43},      {SDLK_PRINTSCREEN, 44},
    {SDLK_INSERT, 45},       {SDLK_DELETE, 46},      {SDLK_LGUI, 91},         {SDLK_RGUI, 92},
    {SDLK_APPLICATION, 93},  {SDLK_KP_MULTIPLY, 106}, {SDLK_KP_PLUS, 107},    {SDLK_KP_MINUS, 109},
    {SDLK_KP_DIVIDE, 111},   {SDLK_KP_ENTER, 13},    {SDLK_NUMLOCKCLEAR, 144}, {SDLK_SCROLLLOCK, 145},
    {SDLK_LSHIFT, kVkLShift}, {SDLK_RSHIFT, kVkRShift}, {SDLK_LCTRL, kVkLControl}, {SDLK_RCTRL, kVkRControl},
    {SDLK_LALT, kVkLMenu},   {SDLK_RALT, kVkRMenu},  {SDLK_SEMICOLON, 186},   {SDLK_EQUALS, 187},
    {SDLK_COMMA, 188},       {SDLK_MINUS, 189},      {SDLK_PERIOD, 190},      {SDLK_SLASH, 191},
    {SDLK_BACKQUOTE, 192},   {SDLK_LEFTBRACKET, 219}, {SDLK_BACKSLASH, 220},  {SDLK_RIGHTBRACKET, 221},
    {SDLK_QUOTE, 222},
};

// The keypad's digits and decimal point: with Num Lock on, and with it off (navigation keys).
struct KeypadKey {
  SDL_Keycode keycode;
  int32_t numLockOn;
  int32_t numLockOff;
};
constexpr KeypadKey kKeypad[] = {
    {SDLK_KP_0, 96, 45},  {SDLK_KP_1, 97, 35},  {SDLK_KP_2, 98, 40},  {SDLK_KP_3, 99, 34},
    {SDLK_KP_4, 100, 37}, {SDLK_KP_5, 101, 12}, {SDLK_KP_6, 102, 39}, {SDLK_KP_7, 103, 36},
    {SDLK_KP_8, 104, 38}, {SDLK_KP_9, 105, 33}, {SDLK_KP_PERIOD, 110, 46},
};

// What the layout-dependent scan codes are on a US keyboard (for layouts whose keycodes are no
// Latin letters).
struct ScanNumber {
  SDL_Scancode scancode;
  int32_t key;
};
constexpr ScanNumber kUsPunctuation[] = {
    {SDL_SCANCODE_SEMICOLON, 186}, {SDL_SCANCODE_EQUALS, 187},       {SDL_SCANCODE_COMMA, 188},
    {SDL_SCANCODE_MINUS, 189},     {SDL_SCANCODE_PERIOD, 190},       {SDL_SCANCODE_SLASH, 191},
    {SDL_SCANCODE_GRAVE, 192},     {SDL_SCANCODE_LEFTBRACKET, 219},  {SDL_SCANCODE_BACKSLASH, 220},
    {SDL_SCANCODE_RIGHTBRACKET, 221}, {SDL_SCANCODE_APOSTROPHE, 222},
};

int32_t KeyOfKeycode(SDL_Keycode keycode, uint16_t modifiers) {
  if (keycode >= SDLK_a && keycode <= SDLK_z) return 'A' + (keycode - SDLK_a);
  if (keycode >= SDLK_0 && keycode <= SDLK_9) return keycode;
  if (keycode >= SDLK_F1 && keycode <= SDLK_F12) return 112 + (keycode - SDLK_F1);
  if (keycode >= SDLK_F13 && keycode <= SDLK_F24) return 124 + (keycode - SDLK_F13);
  for (const KeypadKey& k : kKeypad) {
    if (k.keycode == keycode) return (modifiers & KMOD_NUM) != 0 ? k.numLockOn : k.numLockOff;
  }
  for (const KeyNumber& k : kKeysByCode) {
    if (k.keycode == keycode) return k.key;
  }
  return 0;
}

int32_t KeyOfScancode(SDL_Scancode scancode) {
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return 'A' + (scancode - SDL_SCANCODE_A);
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + (scancode - SDL_SCANCODE_1);
  if (scancode == SDL_SCANCODE_0) return '0';
  for (const ScanNumber& k : kUsPunctuation) {
    if (k.scancode == scancode) return k.key;
  }
  return 0;
}

// The generic number of a side key (16, 17, 18), or 0 for any other key.
int32_t GenericOf(int32_t key) {
  switch (key) {
    case kVkLShift:
    case kVkRShift: return kVkShift;
    case kVkLControl:
    case kVkRControl: return kVkControl;
    case kVkLMenu:
    case kVkRMenu: return kVkMenu;
    default: return 0;
  }
}

void OnKey(const SDL_KeyboardEvent& event) {
  const int32_t key = OS_TranslateKey(event.keysym.sym, event.keysym.scancode, event.keysym.mod);
  const bool down = event.type == SDL_KEYDOWN;
  const bool repeat = event.repeat != 0;
  if (down && key == kVkReturn && !repeat && (event.keysym.mod & KMOD_ALT) != 0 && g_Options.altEnterFullScreen) {
    GR_Window_SetFullscreen(!GR_Window_GetFullscreen());
  }
  if (key == 0) return;
  if (down) {
    if (key == kVkF4 && (event.keysym.mod & KMOD_ALT) != 0 && Run_SwitchedWithExitBack()) RequestGameEnd();
    if (const int32_t generic = GenericOf(key)) IO_OnKeyDown(generic, repeat);
    IO_OnKeyDown(key, repeat);
    // SDL sends no text for these keys; the game still types them.
    if (key == 8 || key == 9 || key == 13 || key == 27) IO_OnChar(static_cast<char16_t>(key));
  } else {
    if (const int32_t generic = GenericOf(key)) IO_OnKeyUp(generic);
    IO_OnKeyUp(key);
  }
}

void OnText(const char* text) {
  while (*text != '\0') {
    uint32_t cp = Utf8DecodeCodePoint(&text);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      IO_OnChar(static_cast<char16_t>(0xD800 + (cp >> 10)));
      IO_OnChar(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      IO_OnChar(static_cast<char16_t>(cp));
    }
  }
}

int32_t ButtonNumber(uint8_t button) {
  switch (button) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 3;
    default: return 0;
  }
}

void OnButton(const SDL_MouseButtonEvent& event) {
  const int32_t button = ButtonNumber(event.button);
  if (button == 0) return;
  // The system moves the pointer there before it reports the click.
  IO_OnMouseMove(event.x, event.y);
  if (event.type == SDL_MOUSEBUTTONDOWN) {
    IO_OnMouseDown(button, event.x, event.y);
  } else {
    IO_OnMouseUp(button, event.x, event.y);
  }
}

void OnWheel(const SDL_MouseWheelEvent& event) {
  int32_t y = event.y;
  if (event.direction == SDL_MOUSEWHEEL_FLIPPED) y = -y;
  if (y > 0) IO_OnWheelUp();
  if (y < 0) IO_OnWheelDown();
}

// A size the player gave the window: applied by the frame loop over the next frames.
void OnResized(int32_t width, int32_t height) {
  if (GR_Window_GetFullscreen()) return;
  g_GameWindow.sizeChanged = true;
  GraphicsDeviceState& g = g_GraphicsDevice;
  g.pendingWidth = width > 0 ? width : -1;
  g.pendingHeight = width > 0 ? height : -1;
  g_FrameLoop.resizeCountdown = 10;
}

void OnWindowEvent(const SDL_WindowEvent& event) {
  switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE: OS_PostQuitMessage(); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED: g_GameWindow.focus = true; break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      g_GameWindow.focus = false;
      if (!OS_MessageBoxTookFocus(event.timestamp)) OS_RaisePauseEvent();
      break;
    case SDL_WINDOWEVENT_RESIZED: OnResized(event.data1, event.data2); break;
    default: break;
  }
}

// The window's icon, drawn here: a 32 x 32 rounded square in two blues with a white play mark.
constexpr int32_t kIconSize = 32;
void MakeIcon(uint32_t* pixels) {
  for (int32_t y = 0; y < kIconSize; ++y) {
    for (int32_t x = 0; x < kIconSize; ++x) {
      const int32_t dx = x < 6 ? 6 - x : (x > 25 ? x - 25 : 0);
      const int32_t dy = y < 6 ? 6 - y : (y > 25 ? y - 25 : 0);
      uint32_t colour = 0;
      if (dx * dx + dy * dy <= 36) colour = y < 16 ? 0xFF2F6FD0u : 0xFF1F4FA0u;
      // The play mark: a triangle pointing right, x from 11 to 23, half height shrinking to 0.
      const int32_t half = (23 - x) / 2;
      if (x >= 11 && x <= 23 && y >= 16 - half && y <= 15 + half) colour = 0xFFFFFFFFu;
      pixels[y * kIconSize + x] = colour;
    }
  }
}

}  // namespace

int32_t OS_TranslateKey(int32_t keycode, int32_t scancode, uint16_t modifiers) {
  const int32_t key = KeyOfKeycode(static_cast<SDL_Keycode>(keycode), modifiers);
  if (key != 0) return key;
  return KeyOfScancode(static_cast<SDL_Scancode>(scancode));
}

void GameWindowProc(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT: OS_PostQuitMessage(); break;
    case SDL_WINDOWEVENT: OnWindowEvent(event.window); break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: OnKey(event.key); break;
    case SDL_TEXTINPUT: OnText(event.text.text); break;
    case SDL_MOUSEMOTION: IO_OnMouseMove(event.motion.x, event.motion.y); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: OnButton(event.button); break;
    case SDL_MOUSEWHEEL: OnWheel(event.wheel); break;
    default: break;
  }
}

void CreateGameWindow(int32_t width, int32_t height) {
  const GameHeaderInfo& header = g_GameData.headerInfo;
  const int32_t screenWidth = GraphicsGetDisplayWidth();
  const int32_t screenHeight = GraphicsGetDisplayHeight();
  if (screenWidth > 0 && width > screenWidth) width = screenWidth;
  if (screenHeight > 0 && height > screenHeight) height = screenHeight;

  uint32_t style = kOSWindowOpenGL | kOSWindowHidden;
  if ((header.optionBits & kHeaderBorderless) != 0) {
    style |= kOSWindowBorderless;
  } else if ((header.optionBits & kHeaderResizable) != 0) {
    style |= kOSWindowResizable;
  }
  if ((header.optionBits & kHeaderFullScreen) != 0) style |= kOSWindowFullScreen;

  const int32_t x = (screenWidth - width) / 2;
  const int32_t y = (screenHeight - height) / 2;
  DebugConsole->Output("AdjustWindowRectEx\n");
  DebugConsole->Output("RegisterClassEx\n");
  DebugConsole->Output("CreateWindowEx\n");
  const char* name = header.displayName != nullptr ? header.displayName : "";
  if (!OS_Window().createWindow(name, x, y, width, height, style)) {
    OutputConsole->Output("Failed to create mainwindow\n");
    return;
  }
  GR_Window_SetCaption(name);
  uint32_t icon[kIconSize * kIconSize];
  MakeIcon(icon);
  OS_Window().setIcon(icon, kIconSize, kIconSize);
  const bool showCursor = (header.optionBits & kHeaderShowCursor) != 0;
  GR_Window_SetCursor(showCursor ? 0 : -1);
  PumpMessages_SetWindowProcedure(GameWindowProc);
}

void BringGameWindowToFront() { OS_Window().showAndRaise(); }
