// Gamepads in four fixed slots, and the two legacy joysticks.
//
// Gamepad_Init (at the end of the gamepad built-ins' registration) brings the controller library
// up through the back end (os/OS_Gamepad.h), makes the four slots and finds the pads plugged in.
// Each step Gamepad_Update reads every connected pad: the current buttons and axes become the
// previous ones, the new reading becomes current, and the vibration is sent again. A pad plugged
// in while the game runs is found by Gamepad_Detect, which the window procedure runs at every
// device change. A pad that connects or goes posts the asynchronous event 75 with the map
// {"event_type": "gamepad discovered" or "gamepad lost", "pad_index": slot}. Nothing is read or
// detected without the library, or when the game's gamepad option (bit 0x4 of the header's
// platform options) is off.
//
// Legacy joysticks are detected at their first poll and at every device change; their poll, a
// phase of the frame step, raises the joystick mouse events directly.
// Main thread only.
#pragma once

#include <cstdint>

#include "os/OS_Gamepad.h"

constexpr int32_t kGamepadSlotCount = kGamepadBackendSlots;
constexpr int32_t kGamepadButtonCount = kGamepadBackendButtons;
constexpr int32_t kGamepadAxisCount = kGamepadBackendAxes;
constexpr int32_t kGamepadDescriptionSize = 512;
constexpr int32_t kLegacyJoystickCount = 2;

// Index bits of the gamepad built-ins: an axis read as a button (its number in the low bits),
// counting the axis's negative side.
constexpr int32_t kGamepadAxisButton = 0x1000;
constexpr int32_t kGamepadAxisNegative = 0x2000;

struct GamepadSlot {
  uint8_t connected = 0;
  int32_t buttonCount = kGamepadButtonCount;
  int32_t axisCount = kGamepadAxisCount;
  float previousButtons[kGamepadButtonCount] = {};
  float buttons[kGamepadButtonCount] = {};  // 0..1
  float axes[kGamepadAxisCount] = {};       // -1..1, y up
  float previousAxes[kGamepadAxisCount] = {};
  float buttonThreshold = 0.5f;  // a button is down at this value or more
  float axisDeadzone = 0.0f;
  float vibration[2] = {};  // left and right motor, 0..1
  char description[kGamepadDescriptionSize] = {};

  // Button `index` (a constant mapped already), now or in the previous update: an axis as a
  // button with kGamepadAxisButton (with kGamepadAxisNegative the magnitude of the axis when it
  // is below minus the dead zone, else the axis when above the dead zone; otherwise 0). 0 for a
  // negative index or one at or beyond the count.
  float ButtonValue(int32_t index, bool previous = false) const;
  // Axis value with the dead zone applied: `index` a constant or an axis number, or with
  // kGamepadAxisButton the current value of that button. 0 for a negative index or one at or
  // beyond the count.
  float AxisValue(int32_t index) const;
};

struct GamepadState {
  const GamepadBackend* backend = OS_SdlGamepads();
  bool loaded = false;           // the controller library is up
  bool missingReported = false;  // the missing-library line was written
  int32_t slotCount = 0;         // 0 until Gamepad_Init, then kGamepadSlotCount
  GamepadSlot slots[kGamepadSlotCount];
  bool joysticksDetected = false;
  bool joystickPresent[kLegacyJoystickCount] = {};
};
extern GamepadState g_Gamepads;

// Brings the library up through the back end; answers whether it is up.
bool XInput_Load();
// XInput_Load, four fresh slots, then Gamepad_Detect.
void Gamepad_Init();
// Finds the pads: a slot whose pad cannot be read loses its description and is disconnected; a
// disconnected slot whose pad is read now connects and takes its description from the pad's
// subtype (another subtype leaves the description as it was).
void Gamepad_Detect();
// Per step: reads each connected pad (a failed read disconnects it) and sends its vibration,
// each motor's strength x 65535 truncated.
void Gamepad_Update();
// Stores the flag; a change posts event 75. A slot not connected afterwards reads 0 everywhere.
void Gamepad_SetConnected(int32_t slot, bool connected);
// The slot of pad `pad`, or null outside the slots made.
GamepadSlot* Gamepad_Slot(int32_t pad);
// Writes "!!!!! xinput1_3.dll not found. Gamepad support disabled" to the debug console the
// first time it is called without the library; answers whether the library is up.
bool Gamepad_CheckLibrary();
// End of a pass: the slots go and the back end lets go of every device; the library stays up.
void Gamepad_Quit();
// Gamepad_Quit, then a fresh record (the back end is the SDL one again).
void Gamepad_Reset();

// Looks for legacy joysticks 0 and 1 again.
void LegacyJoystick_Detect();
// The joystick phase of the frame step: for each present joystick, left 16, right 17, up 18,
// down 19 (x or y below 20000 or above 44000) and buttons 1..8 as 21..28 for the first; 31..34
// and 36..43 for the second; each a mouse event dispatched to every instance with a handler.
// The first call detects the joysticks.
void PollLegacyJoystick();
