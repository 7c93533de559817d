#include "io/IO_Main.h"

#include <cstring>

#include "base/Utf8.h"
#include "io/Gamepad_Class.h"
#include "os/OS_DisplayModes.h"

IOState g_IO;

IOState::IOState() {
  for (int32_t k = 0; k < kInputKeys; ++k) step.keyMap[k] = k;
}

namespace {

constexpr uint32_t kPointerTouching = 0x80000003u;

bool ValidKey(int32_t key) { return key >= 0 && key < kInputKeys; }
bool ValidButton(int32_t button) { return button >= 1 && button <= kInputButtons; }
bool ValidDevice(int32_t device) { return device >= 0 && device < kInputDevices; }
int32_t ButtonSlot(int32_t button, int32_t device) { return device * kInputButtons + button - 1; }

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

int32_t StringLength(const char16_t* text) {
  int32_t length = 0;
  while (length < kInputStringMax && text[length] != 0) ++length;
  return length;
}

// The key arrays and key fields of the step state or of the live state.
template <typename State>
void ClearKeyState(State& s) {
  std::memset(s.down, 0, sizeof s.down);
  std::memset(s.pressed, 0, sizeof s.pressed);
  std::memset(s.released, 0, sizeof s.released);
  s.keyboardKey = 0;
  s.keyboardLastKey = 0;
  s.keyboardLastChar = 0;
}

void ClearStepDevice(InputState& s, int32_t device) {
  s.mouseButton[device] = 0;
  s.mouseLastButton[device] = 0;
  for (int32_t b = 1; b <= kInputButtons; ++b) {
    const int32_t slot = ButtonSlot(b, device);
    s.buttonDown[slot] = s.buttonPressed[slot] = s.buttonReleased[slot] = 0;
  }
  s.wheelUp[device] = s.wheelDown[device] = 0;
}

void ClearLiveMouse(InputMessageState& s) {
  s.mouseButton = 0;
  s.mouseLastButton = 0;
  std::memset(s.buttonDown, 0, sizeof s.buttonDown);
  std::memset(s.buttonPressed, 0, sizeof s.buttonPressed);
  std::memset(s.buttonReleased, 0, sizeof s.buttonReleased);
  s.wheelUp = s.wheelDown = 0;
}

void SetMousePointer(int32_t x, int32_t y, uint32_t flags) {
  InputPointer& p = g_IO.livePointers.pointers[0];
  p.x = x;
  p.y = y;
  p.last = 0;
  p.flags = flags;
}

// Appends the UTF-16 units of code point `cp` to `out` (holding `*length` units) when they fit
// in `capacity`; answers whether they did.
bool AppendUnits(char16_t* out, int32_t* length, int32_t capacity, uint32_t cp) {
  if (cp >= 0x10000) {
    if (*length + 2 > capacity) return false;
    cp -= 0x10000;
    out[(*length)++] = static_cast<char16_t>(0xD800 + (cp >> 10));
    out[(*length)++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    return true;
  }
  if (*length + 1 > capacity) return false;
  out[(*length)++] = static_cast<char16_t>(cp);
  return true;
}

// Writes `cp` as UTF-8 at *out (1 to 4 bytes) and moves *out past it.
void EncodeUtf8(char** out, uint32_t cp) {
  unsigned char* p = reinterpret_cast<unsigned char*>(*out);
  if (cp < 0x80) {
    p[0] = static_cast<unsigned char>(cp);
    *out += 1;
  } else if (cp < 0x800) {
    p[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
    p[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    *out += 2;
  } else if (cp < 0x10000) {
    p[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
    p[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
    p[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    *out += 3;
  } else {
    p[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
    p[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
    p[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
    p[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    *out += 4;
  }
}

}  // namespace

// ---- Message handlers ----

void IO_OnKeyDown(int32_t key, bool repeat) {
  const int32_t k = IO_MapKey(key);
  if (!ValidKey(k)) return;
  InputMessageState& live = g_IO.live;
  live.keyboardLastKey = k;
  live.keyboardKey = k;
  if (live.down[k] == 0 && !repeat) live.pressed[k] = 1;
  live.down[k] = 1;
}

void IO_OnKeyUp(int32_t key) {
  const int32_t k = IO_MapKey(key);
  if (!ValidKey(k)) return;
  InputMessageState& live = g_IO.live;
  if (live.keyboardKey == k) live.keyboardKey = 0;
  live.down[k] = 0;
  live.released[k] = 1;
}

void IO_OnChar(char16_t character) {
  InputMessageState& live = g_IO.live;
  live.keyboardLastChar = character;
  if (live.stringLength >= kInputStringMax - 1) {
    live.keyboardString[0] = live.keyboardString[live.stringLength - 1];
    live.stringLength = 1;
    live.keyboardString[1] = 0;
  }
  if (character == 8) {
    if (live.stringLength > 0) {
      --live.stringLength;
      // A pair is one character: it goes whole.
      if (live.stringLength > 0 && IsLowSurrogate(live.keyboardString[live.stringLength]) &&
          IsHighSurrogate(live.keyboardString[live.stringLength - 1])) {
        --live.stringLength;
      }
      live.keyboardString[live.stringLength] = 0;
    }
    return;
  }
  if (character < 32) return;
  live.keyboardString[live.stringLength++] = character;
  live.keyboardString[live.stringLength] = 0;
}

void IO_OnMouseDown(int32_t button, int32_t x, int32_t y) {
  if (!ValidButton(button)) return;
  InputMessageState& live = g_IO.live;
  live.mouseLastButton = button;
  live.mouseButton = button;
  if (live.buttonDown[button - 1] == 0) live.buttonPressed[button - 1] = 1;
  live.buttonDown[button - 1] = 1;
  if (button == 1) SetMousePointer(x, y, kPointerTouching);
}

void IO_OnMouseUp(int32_t button, int32_t x, int32_t y) {
  if (!ValidButton(button)) return;
  InputMessageState& live = g_IO.live;
  live.mouseButton = 0;
  live.buttonDown[button - 1] = 0;
  live.buttonPressed[button - 1] = 0;  // a press no step has seen is dropped
  live.buttonReleased[button - 1] = 1;
  if (button == 1) SetMousePointer(x, y, 0);
}

void IO_OnWheelUp() { g_IO.live.wheelUp = 1; }

void IO_OnWheelDown() { g_IO.live.wheelDown = 1; }

void IO_OnMouseMove(int32_t x, int32_t y) {
  g_IO.live.windowMouseX = x;
  g_IO.live.windowMouseY = y;
}

// ---- Per step and life cycle ----

void IO_Init() {
  g_IO.stepPointers = InputPointerBlock{};
  IO_Clear();
  IO_ResetKeyMap();
  IO_ClearVirtualKeys();
}

void IO_StartStep() {
  InputState& s = g_IO.step;
  std::memset(s.pressed, 0, sizeof s.pressed);
  std::memset(s.released, 0, sizeof s.released);
  std::memset(s.wheelUp, 0, sizeof s.wheelUp);
  std::memset(s.wheelDown, 0, sizeof s.wheelDown);
  std::memset(s.buttonPressed, 0, sizeof s.buttonPressed);
  std::memset(s.buttonReleased, 0, sizeof s.buttonReleased);
  IO_PollLive();
  Gamepad_Update();
  IO_UpdateVirtualKeys();
}

void IO_PollLive() {
  InputState& s = g_IO.step;
  InputMessageState& live = g_IO.live;
  if (live.firstPoll) {
    std::memcpy(live.keyboardString, s.keyboardString, sizeof live.keyboardString);
    live.keyboardString[kInputStringMax] = 0;
    live.stringLength = StringLength(live.keyboardString);
    live.keyboardLastKey = s.keyboardLastKey;
    live.keyboardLastChar = s.keyboardLastChar;
    std::memcpy(live.down, s.down, sizeof live.down);
    std::memcpy(live.released, s.released, sizeof live.released);
    std::memcpy(live.pressed, s.pressed, sizeof live.pressed);
    live.mouseButton = s.mouseButton[0];
    live.mouseLastButton = s.mouseLastButton[0];
    for (int32_t b = 0; b < kInputButtons; ++b) {
      live.buttonDown[b] = s.buttonDown[b];
      live.buttonPressed[b] = s.buttonPressed[b];
      live.buttonReleased[b] = s.buttonReleased[b];
    }
    live.wheelUp = s.wheelUp[0];
    live.wheelDown = s.wheelDown[0];
    live.firstPoll = false;
  }

  int32_t cx = 0, cy = 0;
  const OS_DisplaySource* display = OS_GetDisplaySource();
  if (display != nullptr && display->getCursor(&cx, &cy)) {
    s.cursorX = cx;
    s.cursorY = cy;
  }

  s.rawMouseX[0] = s.windowMouseX = live.windowMouseX;
  s.rawMouseY[0] = s.windowMouseY = live.windowMouseY;
  InputPointer& pointer = g_IO.livePointers.pointers[0];
  pointer.x = live.windowMouseX;
  pointer.y = live.windowMouseY;

  s.keyboardLastChar = live.keyboardLastChar;
  std::memcpy(s.keyboardString, live.keyboardString, sizeof s.keyboardString);
  s.keyboardKey = live.keyboardKey;
  s.keyboardLastKey = live.keyboardLastKey;
  std::memcpy(s.down, live.down, sizeof s.down);
  pointer.last = 0;
  for (int32_t k = 0; k < kInputKeys; ++k) {
    if (live.pressed[k] != 0) s.pressed[k] = 1;
    if (live.released[k] != 0) s.released[k] = 1;
  }

  s.mouseButton[0] = live.mouseButton;
  s.mouseLastButton[0] = live.mouseLastButton;
  for (int32_t b = 0; b < kInputButtons; ++b) {
    s.buttonDown[b] = live.buttonDown[b];
    if (live.buttonPressed[b] != 0) s.buttonPressed[b] = 1;
    if (live.buttonReleased[b] != 0) s.buttonReleased[b] = 1;
  }
  s.wheelUp[0] = live.wheelUp;
  s.wheelDown[0] = live.wheelDown;

  std::memset(live.pressed, 0, sizeof live.pressed);
  std::memset(live.released, 0, sizeof live.released);
  live.wheelUp = live.wheelDown = 0;
  std::memset(live.buttonPressed, 0, sizeof live.buttonPressed);
  std::memset(live.buttonReleased, 0, sizeof live.buttonReleased);
}

void IO_Clear() {
  InputState& s = g_IO.step;
  InputMessageState& live = g_IO.live;
  s.keyboardString[0] = 0;
  live.keyboardString[0] = 0;
  live.stringLength = 0;
  ClearKeyState(s);
  ClearKeyState(live);
  ClearStepDevice(s, 0);
  ClearLiveMouse(live);
}

void IO_Quit() {
  Gamepad_Quit();
  IO_ClearVirtualKeys();
}

void IO_CopyPointerBlock() { g_IO.stepPointers = g_IO.livePointers; }

// ---- Queries and setters ----

bool IO_KeyDown(int32_t key) { return ValidKey(key) && g_IO.step.down[key] != 0; }

bool IO_KeyPressed(int32_t key) { return ValidKey(key) && g_IO.step.pressed[key] != 0; }

bool IO_KeyReleased(int32_t key) { return ValidKey(key) && g_IO.step.released[key] != 0; }

void IO_ClearKey(int32_t key) {
  if (!ValidKey(key)) return;
  g_IO.step.down[key] = g_IO.step.pressed[key] = g_IO.step.released[key] = 0;
  g_IO.live.down[key] = g_IO.live.pressed[key] = g_IO.live.released[key] = 0;
}

void IO_ClearKeys() {
  ClearKeyState(g_IO.step);
  ClearKeyState(g_IO.live);
}

int32_t IO_GetKey() { return g_IO.step.keyboardKey; }

int32_t IO_GetLastKey() { return g_IO.step.keyboardLastKey; }

char16_t IO_GetLastChar() { return g_IO.step.keyboardLastChar; }

void IO_SetKey(int32_t code) {
  if (ValidKey(code)) g_IO.step.keyboardKey = code;
}

void IO_SetLastKey(int32_t code) {
  g_IO.step.keyboardLastKey = code;
  g_IO.live.keyboardLastKey = code;
  g_IO.live.keyboardKey = 0;
}

void IO_SetLastChar(char16_t character) {
  g_IO.step.keyboardLastChar = character;
  g_IO.live.keyboardLastChar = character;
}

const char* IO_GetKeyboardString() {
  const char16_t* text = g_IO.step.keyboardString;
  char* out = g_IO.keyboardStringUtf8;
  for (int32_t i = 0; i < kInputStringMax && text[i] != 0; ++i) {
    uint32_t cp = text[i];
    if (IsHighSurrogate(text[i]) && i + 1 < kInputStringMax && IsLowSurrogate(text[i + 1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
      cp = 0xFFFD;
    }
    EncodeUtf8(&out, cp);
  }
  *out = '\0';
  return g_IO.keyboardStringUtf8;
}

void IO_SetKeyboardString(const char* text) {
  InputState& s = g_IO.step;
  InputMessageState& live = g_IO.live;
  int32_t length = 0;
  if (text != nullptr) {
    while (*text != '\0') {
      const uint32_t cp = Utf8DecodeCodePoint(&text);
      if (!AppendUnits(s.keyboardString, &length, kInputStringMax, cp)) break;
    }
  }
  s.keyboardString[length] = 0;
  std::memcpy(live.keyboardString, s.keyboardString, sizeof live.keyboardString);
  live.stringLength = length;
}

void IO_ClearKeyboardString() {
  g_IO.step.keyboardString[0] = 0;
  g_IO.live.keyboardString[0] = 0;
  g_IO.live.stringLength = 0;
}

int32_t IO_GetMouseButton(int32_t device) { return ValidDevice(device) ? g_IO.step.mouseButton[device] : 0; }

int32_t IO_GetMouseLastButton(int32_t device) {
  return ValidDevice(device) ? g_IO.step.mouseLastButton[device] : 0;
}

void IO_SetMouseButton(int32_t button, int32_t device) {
  if (ValidButton(button) && ValidDevice(device)) g_IO.step.mouseButton[device] = button;
}

void IO_SetMouseLastButton(int32_t button, int32_t device) {
  if (ValidButton(button) && ValidDevice(device)) g_IO.step.mouseLastButton[device] = button;
}

bool IO_DeviceButtonDown(int32_t button, int32_t device) {
  return ValidButton(button) && ValidDevice(device) && g_IO.step.buttonDown[ButtonSlot(button, device)] != 0;
}

bool IO_DeviceButtonPressed(int32_t button, int32_t device) {
  return ValidButton(button) && ValidDevice(device) && g_IO.step.buttonPressed[ButtonSlot(button, device)] != 0;
}

bool IO_DeviceButtonReleased(int32_t button, int32_t device) {
  return ValidButton(button) && ValidDevice(device) && g_IO.step.buttonReleased[ButtonSlot(button, device)] != 0;
}

bool IO_WheelUp(int32_t device) { return ValidDevice(device) && g_IO.step.wheelUp[device] != 0; }

bool IO_WheelDown(int32_t device) { return ValidDevice(device) && g_IO.step.wheelDown[device] != 0; }

int32_t IO_GetRawMouseX(int32_t device) { return ValidDevice(device) ? g_IO.step.rawMouseX[device] : 0; }

int32_t IO_GetRawMouseY(int32_t device) { return ValidDevice(device) ? g_IO.step.rawMouseY[device] : 0; }

void IO_ClearButton(int32_t button, int32_t device) {
  if (!ValidButton(button) || !ValidDevice(device)) return;
  const int32_t slot = ButtonSlot(button, device);
  InputState& s = g_IO.step;
  s.buttonDown[slot] = s.buttonPressed[slot] = s.buttonReleased[slot] = 0;
  if (device == 0) {
    InputMessageState& live = g_IO.live;
    live.buttonDown[button - 1] = live.buttonPressed[button - 1] = live.buttonReleased[button - 1] = 0;
  }
}

void IO_ClearDevice(int32_t device) {
  if (!ValidDevice(device)) return;
  ClearStepDevice(g_IO.step, device);
  if (device == 0) ClearLiveMouse(g_IO.live);
}

int32_t IO_MapKey(int32_t key) { return ValidKey(key) ? g_IO.step.keyMap[key] : key; }

void IO_SetKeyMap(int32_t key, int32_t code) {
  if (ValidKey(key)) g_IO.step.keyMap[key] = code;
}

void IO_ResetKeyMap() {
  for (int32_t k = 0; k < kInputKeys; ++k) g_IO.step.keyMap[k] = k;
}

// ---- Virtual keys ----

void IO_ClearVirtualKeys() {}

void IO_UpdateVirtualKeys() {}
