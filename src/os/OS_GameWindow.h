// The game's main window and its window procedure.
//
// CreateGameWindow opens the window from the game header's size and flags. GameWindowProc is the
// window procedure PumpMessages hands every SDL event to: it only records. Keys, text, buttons,
// the wheel and mouse movement go into the live input state (io/IO_Main.h), which the next game
// step takes in; size changes become the pending window size and the frame loop's resize
// countdown; a controller or joystick plugged in or pulled out has the legacy joysticks and the
// gamepads found again (io/Gamepad_Class.h); a close request posts the program's quit request (the window and its GL context go
// only in ShutdownRunner, never from inside a pump). Main thread only.
//
// Keys reach the game as virtual-key numbers: letters 65-90, digits 48-57, F1-F24 112-135,
// keypad 96-111 (with Num Lock off its navigation keys: keypad 8 is 38), arrows 37-40, the
// control and navigation keys 8-46, 91-93, 144, 145 and punctuation 186-192 and 219-222; Shift,
// Ctrl and Alt report 16, 17, 18 and then their side (0xA0/0xA1, 0xA2/0xA3, 0xA4/0xA5).
#pragma once

#include <cstdint>

union SDL_Event;

// The window's state; one record, reset by Runtime_Reset.
struct GameWindowState {
  bool focus = false;        // the window has the keyboard focus (read by mouse placement)
  bool sizeChanged = false;  // the player changed the window's size (read by the device layer)
};
extern GameWindowState g_GameWindow;

// Opens the main window with a client area of `width` x `height` (each at most the display's),
// centred on the display. Its style comes from the game header's flags: 0x4000 borderless, else
// 0x40 resizable, else fixed; 0x1 starts it full screen. Logs "AdjustWindowRectEx",
// "RegisterClassEx" and "CreateWindowEx" on DebugConsole; a window that cannot be made logs
// "Failed to create mainwindow\n" on OutputConsole and the program has no window. The caption is
// the game's display name; header flag 0x20 shows the arrow cursor (cursor constant 0), else the
// cursor is hidden (constant -1).
void CreateGameWindow(int32_t width, int32_t height);
// Shows the main window and raises it above the other windows.
void BringGameWindowToFront();

// The window procedure.
void GameWindowProc(const SDL_Event& event);

// The virtual-key number of an SDL key (keycode, scancode, modifier state), 0 when it has none.
// Keys are read by keycode, else by the key the scancode has on a US layout; Shift, Ctrl and Alt
// answer their side's number.
int32_t OS_TranslateKey(int32_t keycode, int32_t scancode, uint16_t modifiers);
