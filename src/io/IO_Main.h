// Keyboard and mouse input in two copies, and the on-screen virtual keys.
//
// The window procedure (os/OS_GameWindow) writes every key, character, button, wheel and mouse
// movement into the live copy as it arrives (the IO_On... handlers). Once per game step
// IO_StartStep turns the live copy into the step copy, which is all that events and input
// built-ins read: a key cannot change in the middle of a step, and a press that happened between
// two steps is seen by exactly one step. Pointer 0 of the pointer block is the mouse; the frame
// loop copies the live block into the step block before every tick.
//
// Keys are numbered 0..255 (the virtual-key numbers of os/OS_Window.h); text is UTF-16
// (`char16_t`). Every index given from outside (key, button 1..3, device 0..9) is checked: out of
// range, including negative, a query answers 0 or false and a setter writes nothing.
// Main thread only.
#pragma once

#include <cstdint>

constexpr int32_t kInputKeys = 256;
constexpr int32_t kInputDevices = 10;  // pointer devices that have mouse state (0 is the mouse)
constexpr int32_t kInputButtons = 3;   // 1 left, 2 right, 3 middle
constexpr int32_t kInputStringMax = 1024;  // typed-text capacity in UTF-16 units
constexpr int32_t kInputPointers = 128;

// One pointer record (20 bytes). Bit 31 of `flags` is set while the pointer touches: the mouse
// writes 0x80000003 when the left button goes down and 0 when it goes up.
struct InputPointer {
  uint32_t flags = 0;
  int32_t x = 0;  // window client pixels
  int32_t y = 0;
  uint32_t reserved = 0;
  uint32_t last = 0;  // every mouse update sets it to 0
};
static_assert(sizeof(InputPointer) == 20, "pointer records are 20 bytes");

struct InputPointerBlock {
  InputPointer pointers[kInputPointers];
};

// The step copy: what the game sees during a step.
struct InputState {
  uint8_t down[kInputKeys] = {};
  uint8_t pressed[kInputKeys] = {};
  uint8_t released[kInputKeys] = {};
  int32_t keyboardKey = 0;      // the key most recently pressed while still held, else 0
  int32_t keyboardLastKey = 0;  // the key most recently pressed
  char16_t keyboardLastChar = 0;
  char16_t keyboardString[kInputStringMax + 1] = {};  // zero-terminated
  int32_t mouseButton[kInputDevices] = {};      // button held: 1, 2, 3, or 0
  int32_t mouseLastButton[kInputDevices] = {};
  // Per device and button: element device * 3 + button - 1.
  uint8_t buttonDown[kInputDevices * kInputButtons] = {};
  uint8_t buttonPressed[kInputDevices * kInputButtons] = {};
  uint8_t buttonReleased[kInputDevices * kInputButtons] = {};
  uint8_t wheelUp[kInputDevices] = {};
  uint8_t wheelDown[kInputDevices] = {};
  int32_t rawMouseX[kInputDevices] = {};  // window client pixels
  int32_t rawMouseY[kInputDevices] = {};
  int32_t windowMouseX = 0;  // device 0's position again, for recording and the overlay
  int32_t windowMouseY = 0;
  int32_t cursorX = 0;  // the cursor's screen position at the last live poll
  int32_t cursorY = 0;
  int32_t keyMap[kInputKeys] = {};  // filled with the identity by IOState's constructor
};

// The live copy: what the window procedure has written since the last step.
struct InputMessageState {
  uint8_t down[kInputKeys] = {};
  uint8_t pressed[kInputKeys] = {};
  uint8_t released[kInputKeys] = {};
  int32_t keyboardKey = 0;
  int32_t keyboardLastKey = 0;
  char16_t keyboardLastChar = 0;
  char16_t keyboardString[kInputStringMax + 1] = {};
  int32_t stringLength = 0;
  int32_t mouseButton = 0;  // device 0 only
  int32_t mouseLastButton = 0;
  uint8_t buttonDown[kInputButtons] = {};
  uint8_t buttonPressed[kInputButtons] = {};
  uint8_t buttonReleased[kInputButtons] = {};
  uint8_t wheelUp = 0;
  uint8_t wheelDown = 0;
  int32_t windowMouseX = 0;
  int32_t windowMouseY = 0;
  bool firstPoll = true;  // the first IO_PollLive seeds this copy from the step copy
};

// The input subsystem's record; Runtime_Reset assigns a fresh one.
struct IOState {
  IOState();
  InputState step;
  InputMessageState live;
  InputPointerBlock livePointers;
  InputPointerBlock stepPointers;
  // IO_GetKeyboardString's answer: at most 4 bytes per 2 units, 3 per lone unit, and the NUL.
  char keyboardStringUtf8[kInputStringMax * 3 + 1] = {};
};
extern IOState g_IO;

// ---- Message handlers (the window procedure) ----

// Key `key` (before the key map) went down; `repeat` when the system repeats a held key.
void IO_OnKeyDown(int32_t key, bool repeat);
void IO_OnKeyUp(int32_t key);
// One UTF-16 unit typed: the last character, and the typed string (backspace removes the last
// character, a surrogate pair whole; other units below 32 are not stored; from 1,023 units on the
// string is first cut to its last unit).
void IO_OnChar(char16_t character);
// Button 1..3 at client position (x, y); other buttons are ignored.
void IO_OnMouseDown(int32_t button, int32_t x, int32_t y);
void IO_OnMouseUp(int32_t button, int32_t x, int32_t y);
void IO_OnWheelUp();
void IO_OnWheelDown();
// The mouse moved to client position (x, y).
void IO_OnMouseMove(int32_t x, int32_t y);

// ---- Per step and life cycle ----

// Start-up: zeroes the step pointer block, clears the input (IO_Clear), puts back the identity key
// map and empties the virtual-key table.
void IO_Init();
// Once per step: clears the step copy's pressed, released and wheel flags, then takes in the live
// copy (IO_PollLive), reads the gamepads (Gamepad_Update) and updates the virtual keys.
void IO_StartStep();
// Copies the live copy into the step copy (pressed and released flags ORed in, so a press and a
// release between two steps both arrive) and clears the live one-step flags. The first call
// seeds the live copy from the step copy.
void IO_PollLive();
// Both copies lose the typed string, the key, last key, last character and every key flag, and
// device 0's buttons, last button and wheel; devices 1..9 keep their state.
void IO_Clear();
// End of a pass: the gamepad slots go (Gamepad_Quit) and the virtual-key table is freed.
void IO_Quit();
// The frame loop's copy of the live pointer block into the step block, before every tick.
void IO_CopyPointerBlock();

// ---- Queries and setters (the step copy unless said) ----

bool IO_KeyDown(int32_t key);
bool IO_KeyPressed(int32_t key);
bool IO_KeyReleased(int32_t key);
// Clears the three flags of one key in both copies.
void IO_ClearKey(int32_t key);
// The key, last key, last character and every key flag cleared in both copies.
void IO_ClearKeys();
int32_t IO_GetKey();
int32_t IO_GetLastKey();
char16_t IO_GetLastChar();
// keyboard_key of the step copy, only for codes 0..255.
void IO_SetKey(int32_t code);
// keyboard_lastkey in both copies; the live keyboard_key becomes 0.
void IO_SetLastKey(int32_t code);
void IO_SetLastChar(char16_t character);
// The typed string as UTF-8 (a surrogate pair as one character, a lone surrogate as U+FFFD), in
// a buffer that the next call overwrites.
const char* IO_GetKeyboardString();
// Decodes at most 1,024 UTF-16 units of `text` (UTF-8, null empties) into the step string and
// copies it into the live copy. A character that would not fit whole is left out.
void IO_SetKeyboardString(const char* text);
void IO_ClearKeyboardString();

int32_t IO_GetMouseButton(int32_t device);
int32_t IO_GetMouseLastButton(int32_t device);
// Only buttons 1..3 and devices 0..9 are written.
void IO_SetMouseButton(int32_t button, int32_t device);
void IO_SetMouseLastButton(int32_t button, int32_t device);
bool IO_DeviceButtonDown(int32_t button, int32_t device);
bool IO_DeviceButtonPressed(int32_t button, int32_t device);
bool IO_DeviceButtonReleased(int32_t button, int32_t device);
bool IO_WheelUp(int32_t device);
bool IO_WheelDown(int32_t device);
// The device's raw client position (0 for a device outside 0..9).
int32_t IO_GetRawMouseX(int32_t device);
int32_t IO_GetRawMouseY(int32_t device);
// The button's three flags in the step copy, and in the live copy for device 0.
void IO_ClearButton(int32_t button, int32_t device);
// The device's button, last button, button flags and wheel flags (both copies for device 0).
void IO_ClearDevice(int32_t device);

// The code reported for a message about key `key` (keys outside 0..255 pass unchanged).
int32_t IO_MapKey(int32_t key);
// Keys outside 0..255 are ignored.
void IO_SetKeyMap(int32_t key, int32_t code);
void IO_ResetKeyMap();

// ---- Virtual keys ----

// Frees every virtual key. This build defines none, so there is nothing to free.
void IO_ClearVirtualKeys();
// Updates the step state from the virtual keys under the pointers; none are defined in this
// build, so nothing changes.
void IO_UpdateVirtualKeys();
