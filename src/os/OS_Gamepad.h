// The game controllers' back ends: gamepads in four fixed slots and the two legacy joysticks.
//
// The SDL back end reads pads through SDL's game-controller subsystem: a device SDL opens as a
// game controller takes the first free slot when Scan finds it and keeps that slot until it is
// removed. Button and axis values come in the order of the gamepad slots (io/Gamepad_Class.h):
// buttons 0..15 d-pad up, down, left, right, start, back, left stick, right stick, left
// shoulder, right shoulder, left trigger, right trigger, A, B, X, Y (1 or 0; a trigger 0..32767
// gives trunc(v x 255 / 32767) / 256); axes 0..3 the left stick x and y and the right stick x and
// y, each / 32768, with y pointing up (SDL's y negated, capped at 32767). Legacy joysticks 0 and 1
// are SDL joysticks 0 and 1, pads included. Pads and joysticks are read whether or not the game's
// window has the focus. The back end without a library answers that it is
// missing and reads nothing.
// Main thread only.
#pragma once

#include <cstdint>

constexpr int32_t kGamepadBackendSlots = 4;
constexpr int32_t kGamepadBackendButtons = 16;
constexpr int32_t kGamepadBackendAxes = 4;

struct GamepadReading {
  float buttons[kGamepadBackendButtons] = {};
  float axes[kGamepadBackendAxes] = {};
};

struct JoystickReading {
  int32_t x = 0;         // 0..65535, left to right
  int32_t y = 0;         // 0..65535, top to bottom
  uint32_t buttons = 0;  // bit b - 1 for button b, 1..8
};

struct GamepadBackend {
  // Brings the library up; false when it is missing (the process keeps it once up).
  bool (*load)();
  // Finds the pads: newly attached ones take free slots; removed ones give their slots back.
  void (*scan)();
  // The pad in `slot` read now; false when the slot has no attached pad.
  bool (*read)(int32_t slot, GamepadReading* reading);
  // The device subtype of the pad in `slot`: 1 game controller (or unknown kind), 2 wheel,
  // 3 arcade stick, 4 flight stick, 5 dance pad, 6 guitar, 8 drum kit; 0 for any other kind or
  // no pad.
  int32_t (*subtype)(int32_t slot);
  // Sends the motor speeds to the pad in `slot` (lasting about a second); nothing without one.
  void (*vibrate)(int32_t slot, uint16_t left, uint16_t right);
  // Looks for legacy joystick `joystick` (0 or 1) again; true when it is there.
  bool (*detectJoystick)(int32_t joystick);
  // Reads a legacy joystick found by detectJoystick; false when it is gone.
  bool (*readJoystick)(int32_t joystick, JoystickReading* reading);
  // Lets go of every pad and joystick it holds.
  void (*closeAll)();
};

// The back end over SDL's game controllers and joysticks.
const GamepadBackend* OS_SdlGamepads();
// The back end of a system without the library.
const GamepadBackend* OS_NoGamepads();
