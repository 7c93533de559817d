// The operating system's window services: the main window (creation, title, placement, focus),
// the desktop's work area, the mouse cursor's shape, the keyboard's key state and the clipboard's
// text. (The displays,
// their modes and the cursor position are OS_DisplayModes'.)
//
// The services form one table of functions. The real one works over SDL2 (headless runs use
// SDL's offscreen video driver and so the same code); a fake one keeps everything in memory
// (`OSFakeWindowState`) so that tests can set the desktop, the cursor and the keys and read back
// what the program asked for. Main thread only.
//
// Coordinates are pixels; screen coordinates have the primary display's top left at (0, 0).
// Key numbers are the virtual-key numbers the input code uses (letters 65-90, digits 48-57,
// 16/17/18 Shift/Ctrl/Alt with their sides 0xA0-0xA5, 20 Caps Lock, 144 Num Lock, 145 Scroll Lock).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SDL_Window;

struct OSRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
};

// The system cursor shapes.
enum class OSCursor : uint8_t {
  None, Arrow, Cross, IBeam, SizeNESW, SizeNS, SizeNWSE, SizeWE, UpArrow, Wait, Hand, No, AppStarting, Help, SizeAll
};
constexpr int32_t kOSCursorShapes = 15;

// Window styles for creation.
constexpr uint32_t kOSWindowResizable = 0x1;
constexpr uint32_t kOSWindowBorderless = 0x2;
constexpr uint32_t kOSWindowHidden = 0x4;
constexpr uint32_t kOSWindowOpenGL = 0x8;  // the window carries OpenGL contexts
constexpr uint32_t kOSWindowFullScreen = 0x10;  // covers the display (the desktop's mode kept)

// What GetKeyState answers: bit 0x8000 while the key is down, bit 0x1 while a lock key is on.
constexpr uint16_t kOSKeyDown = 0x8000;
constexpr uint16_t kOSKeyToggled = 0x1;

struct OSWindowService {
  // Creates the main window with a client area of `width` x `height` at screen position (x, y)
  // (the client area's top left); false when the system refuses (the reason on DebugConsole). A
  // window that exists already is destroyed first.
  bool (*createWindow)(const char* title, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t style);
  // Destroys the main window; nothing when there is none.
  void (*destroyWindow)();
  // The SDL window of the real service (null without a window, and always with the fake).
  SDL_Window* (*sdlWindow)();
  // The title, UTF-8 (null counts as empty).
  void (*setTitle)(const char* title);
  // The outer frame in screen coordinates; false without a window.
  bool (*getWindowRect)(OSRect* out);
  // The client area: (0, 0) to its width and height; false without a window.
  bool (*getClientRect)(OSRect* out);
  // A client point converted to screen coordinates; false without a window.
  bool (*clientToScreen)(int32_t* x, int32_t* y);
  // Moves the window's outer frame to (x, y) and sizes it to `width` x `height` frame pixels.
  void (*setWindowRect)(int32_t x, int32_t y, int32_t width, int32_t height);
  // The frame's thickness on each side of the client area (left, top, right, bottom, all >= 0).
  OSRect (*frameBorders)();
  // The height of the title bar (0 when the system has none to tell).
  int32_t (*captionHeight)();
  // The primary display's work area (what panels and docks leave free).
  bool (*displayWorkArea)(OSRect* out);
  // The number of monitors (0 when none can be read) and the work area of monitor `index`
  // (0-based, in that order); false when it cannot be read.
  int32_t (*monitorCount)();
  bool (*monitorWorkArea)(int32_t index, OSRect* out);
  // Gives the main window the keyboard focus and raises it.
  void (*setFocus)();
  // Shows the main window and raises it above the other windows.
  void (*showAndRaise)();
  // The window's icon: `width` x `height` pixels 0xAARRGGBB, row by row.
  void (*setIcon)(const uint32_t* pixels, int32_t width, int32_t height);
  // Whether the main window has the keyboard focus.
  bool (*isActive)();
  // Shows a system cursor shape over the window (None hides it).
  void (*setCursor)(OSCursor cursor);
  // The state of a key (kOSKeyDown, kOSKeyToggled); 0 for a number outside 0..255.
  uint16_t (*getKeyState)(int32_t key);
  // Simulates a key press or release that reaches the game through the message pump.
  void (*sendKey)(int32_t key, bool release);
  // The system clipboard's text (UTF-8 bytes, taken and given unchanged). Whether it holds text
  // (the real one: a non-empty text, which is all the system can tell), putting a copy of `text`
  // on it (null counts as empty), and a copy of its text: false, with `out` left alone, when
  // there is no clipboard to read (the video system is not started).
  bool (*hasClipboardText)();
  void (*setClipboardText)(const char* text);
  bool (*getClipboardText)(std::string* out);
};

// The service in use: the real one unless a test installed another.
const OSWindowService& OS_Window();
// Installs `service` (null: the real one again). The service must outlive its use.
void OS_SetWindowService(const OSWindowService* service);
const OSWindowService* OS_RealWindowService();
const OSWindowService* OS_FakeWindowService();

// The fake service's state, which tests arrange and read.
struct OSFakeWindowState {
  bool windowExists = false;
  std::string title;
  OSRect client{};                     // the client area in screen coordinates
  OSRect borders{4, 24, 4, 4};         // frame thickness around it
  int32_t caption = 20;
  OSRect workArea{0, 0, 1024, 738};
  std::vector<OSRect> monitors;        // the monitors' work areas, in order
  int32_t unreadableMonitor = -1;      // monitorWorkArea fails for this index
  bool active = false;
  bool shown = false;
  int32_t raiseCount = 0;              // showAndRaise calls
  uint32_t createStyle = 0;            // the style of the last createWindow
  int32_t iconWidth = 0;               // the icon set last (0: none)
  int32_t iconHeight = 0;
  OSCursor cursor = OSCursor::Arrow;
  uint16_t keys[256] = {};
  struct SentKey {
    int32_t key;
    bool release;
  };
  std::vector<SentKey> sentKeys;       // every sendKey, in order
  int32_t createCount = 0;             // createWindow calls
  bool refuseCreate = false;           // createWindow fails while set
  bool clipboardHasText = false;
  std::string clipboard;               // the clipboard's text while clipboardHasText
};
OSFakeWindowState& OS_FakeWindowState();

// Destroys the real service's window and its cursors; called before the video system stops.
void OS_ReleaseWindowResources();
