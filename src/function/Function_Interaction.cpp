// The keyboard and mouse built-ins: checks of keys and buttons held, pressed or released in the
// step input copy (io/IO_Main.h), the live key state and simulated keys of the window service
// (os/OS_Window.h), the key map, and the input clears.
//
// Keys, buttons and flags are the argument rounded to the nearest integer, halves to even;
// keyboard_check_direct truncates its key toward zero, and keyboard_set_numlock's flag is set
// from 0.5 up. Keys outside 0..255 and buttons outside 1..3 are never held; no built-in here
// reports an error.
#include "function/Function_Interaction.h"

#include <cstdint>

#include "function/Function_Args.h"
#include "io/IO_Main.h"
#include "os/OS_Messages.h"
#include "os/OS_Window.h"
#include "platform/Numeric.h"
#include "variable/ScriptValue.h"

namespace {

constexpr int32_t kNumLockKey = 144;
// Key arguments 0 and 1 and button arguments 0 and -1 ask about all keys or buttons at once.
constexpr int32_t kNoKey = 0, kAnyKey = 1;
constexpr int32_t kNoButton = 0, kAnyButton = -1;

#define INPUT_BUILTIN(name)                                                                              \
  void name([[maybe_unused]] ScriptValue* result, CInstance*, CInstance*, [[maybe_unused]] int32_t argc, \
            [[maybe_unused]] ScriptValue* args)

void SetBool(ScriptValue* result, bool value) { SetReal(result, value ? 1.0 : 0.0); }

// keyboard_check's rule over one of the three key flags: key 0 is "no key has the flag", key 1
// "some key has it", 2..255 that key's flag, anything else never.
bool KeyboardCheckKey(int32_t key, bool (*flag)(int32_t)) {
  if (key == kNoKey || key == kAnyKey) {
    bool any = false;
    for (int32_t k = 0; k < kInputKeys && !any; ++k) any = flag(k);
    return key == kAnyKey ? any : !any;
  }
  return key >= 2 && key < kInputKeys && flag(key);
}

// mouse_check_button's rule over one of the three button flags of a pointer device: -1 is "some
// button has the flag", 0 "none has it", 1..3 that button's flag, anything else never.
bool MouseCheckButtonOnDevice(int32_t button, int32_t device, bool (*flag)(int32_t, int32_t)) {
  if (button == kAnyButton || button == kNoButton) {
    bool any = false;
    for (int32_t b = 1; b <= kInputButtons && !any; ++b) any = flag(b, device);
    return button == kAnyButton ? any : !any;
  }
  return flag(button, device);
}

INPUT_BUILTIN(KeyboardCheck) { SetBool(result, KeyboardCheckKey(ArgList{argc, args}.Int(0), IO_KeyDown)); }

INPUT_BUILTIN(KeyboardCheckPressed) { SetBool(result, KeyboardCheckKey(ArgList{argc, args}.Int(0), IO_KeyPressed)); }

INPUT_BUILTIN(KeyboardCheckReleased) { SetBool(result, KeyboardCheckKey(ArgList{argc, args}.Int(0), IO_KeyReleased)); }

// The key as the system holds it now, not as the step saw it.
INPUT_BUILTIN(KeyboardCheckDirect) {
  const int32_t key = num::TruncInt32(ArgList{argc, args}.Real(0));
  SetBool(result, (OS_Window().getKeyState(key) & kOSKeyDown) != 0);
}

// Num lock on, and its key not held at this moment.
INPUT_BUILTIN(KeyboardGetNumlock) { SetBool(result, OS_Window().getKeyState(kNumLockKey) == kOSKeyToggled); }

// Presses and releases the num lock key when its state is not the one asked for.
INPUT_BUILTIN(KeyboardSetNumlock) {
  const bool on = ArgList{argc, args}.Flag(0);
  const OSWindowService& window = OS_Window();
  if (((window.getKeyState(kNumLockKey) & kOSKeyToggled) != 0) == on) return;
  window.sendKey(kNumLockKey, false);
  window.sendKey(kNumLockKey, true);
}

INPUT_BUILTIN(KeyboardKeyPress) { OS_Window().sendKey(ArgList{argc, args}.Int(0), false); }

INPUT_BUILTIN(KeyboardKeyRelease) { OS_Window().sendKey(ArgList{argc, args}.Int(0), true); }

INPUT_BUILTIN(KeyboardSetMap) {
  const ArgList a{argc, args};
  IO_SetKeyMap(a.Int(0), a.Int(1));
}

INPUT_BUILTIN(KeyboardGetMap) { SetReal(result, IO_MapKey(ArgList{argc, args}.Int(0))); }

INPUT_BUILTIN(KeyboardUnsetMap) { IO_ResetKeyMap(); }

INPUT_BUILTIN(MouseCheckButton) {
  SetBool(result, MouseCheckButtonOnDevice(ArgList{argc, args}.Int(0), 0, IO_DeviceButtonDown));
}

INPUT_BUILTIN(MouseCheckButtonPressed) {
  SetBool(result, MouseCheckButtonOnDevice(ArgList{argc, args}.Int(0), 0, IO_DeviceButtonPressed));
}

INPUT_BUILTIN(MouseCheckButtonReleased) {
  SetBool(result, MouseCheckButtonOnDevice(ArgList{argc, args}.Int(0), 0, IO_DeviceButtonReleased));
}

INPUT_BUILTIN(MouseWheelUp) { SetBool(result, IO_WheelUp(0)); }

INPUT_BUILTIN(MouseWheelDown) { SetBool(result, IO_WheelDown(0)); }

// The clears first take in the messages waiting, so that a key already on its way is cleared too.
INPUT_BUILTIN(KeyboardClear) {
  PumpMessages();
  IO_ClearKey(ArgList{argc, args}.Int(0));
}

// Button -1 clears the three buttons of the mouse.
INPUT_BUILTIN(MouseClear) {
  PumpMessages();
  const int32_t button = ArgList{argc, args}.Int(0);
  if (button == kAnyButton) {
    for (int32_t b = 1; b <= kInputButtons; ++b) IO_ClearButton(b, 0);
  } else {
    IO_ClearButton(button, 0);
  }
}

INPUT_BUILTIN(IoClear) {
  PumpMessages();
  IO_Clear();
}

INPUT_BUILTIN(IoHandle) { PumpMessages(); }

// In registration order, which fixes the call numbers. The group's splash, dialog, message,
// high-score, joystick and wait built-ins are not registered; call numbers are bound by name when
// code is loaded or compiled, so these keep their order without them.
const BuiltinSpec kInteractionBuiltins[] = {
    {"keyboard_get_numlock", KeyboardGetNumlock, 0},
    {"keyboard_set_numlock", KeyboardSetNumlock, 1},
    {"keyboard_key_press", KeyboardKeyPress, 1},
    {"keyboard_key_release", KeyboardKeyRelease, 1},
    {"keyboard_set_map", KeyboardSetMap, 2},
    {"keyboard_get_map", KeyboardGetMap, 1},
    {"keyboard_unset_map", KeyboardUnsetMap, 0},
    {"keyboard_check", KeyboardCheck, 1},
    {"keyboard_check_pressed", KeyboardCheckPressed, 1},
    {"keyboard_check_released", KeyboardCheckReleased, 1},
    {"keyboard_check_direct", KeyboardCheckDirect, 1},
    {"mouse_check_button", MouseCheckButton, 1},
    {"mouse_check_button_pressed", MouseCheckButtonPressed, 1},
    {"mouse_check_button_released", MouseCheckButtonReleased, 1},
    {"mouse_wheel_up", MouseWheelUp, 0},
    {"mouse_wheel_down", MouseWheelDown, 0},
    {"keyboard_clear", KeyboardClear, 1},
    {"mouse_clear", MouseClear, 1},
    {"io_clear", IoClear, 0},
    {"io_handle", IoHandle, 0},
};

}  // namespace

void RegisterInteractionFunctions() { RegisterBuiltinTable(kInteractionBuiltins); }
