// The gamepad built-ins. The pad argument is rounded to the nearest integer, halves to even; a
// pad outside the slots gives the default answer (0, or the empty string) without an error. A
// button or axis index is rounded the same way; a negative one, or one at or beyond the count,
// answers 0. Fewer arguments than a built-in takes report "Wrong number of arguments to function
// or script." (not fatal) and give the default answer. The button and axis readers, vibration
// and colour first write the missing-library line when the controller library is not up (once).
#include "function/Function_Gamepad.h"

#include <cstdint>

#include "base/ErrorSink.h"
#include "base/VCL.h"
#include "function/Function_Args.h"
#include "io/Gamepad_Class.h"
#include "platform/Numeric.h"
#include "variable/ScriptValue.h"

namespace {

#define GAMEPAD_BUILTIN(name)                                                                           \
  void name([[maybe_unused]] ScriptValue* result, CInstance*, CInstance*, [[maybe_unused]] int32_t argc, \
            [[maybe_unused]] ScriptValue* args)

// The arguments of a call that needs `needed` of them; reports the shortfall.
struct Args : ArgList {
  bool Enough(int32_t needed) const {
    if (argc >= needed) return true;
    ReportRuntimeError("Wrong number of arguments to function or script.", false);
    return false;
  }
  GamepadSlot* Pad() const { return Gamepad_Slot(Int(0)); }
};

// A button argument: the constants 0x8001..0x8010 name their buttons, other values from 0x8000
// up button 0; smaller values are indexes (negative ones stay negative and name nothing).
int32_t ButtonIndex(int32_t value) {
  static constexpr int32_t kConstants[16] = {12, 13, 14, 15, 8, 9, 10, 11, 5, 4, 6, 7, 0, 1, 2, 3};
  if (value < 0x8000) return value;
  return value >= 0x8001 && value <= 0x8010 ? kConstants[value - 0x8001] : 0;
}

// A reader of (pad, index) with the library check: the answer of `read` for a live pad, else 0.
template <typename Read>
void PadIndexQuery(ScriptValue* result, int32_t argc, ScriptValue* args, Read read) {
  const Args a{argc, args};
  if (!a.Enough(2)) return;
  if (!Gamepad_CheckLibrary()) return;
  const GamepadSlot* pad = a.Pad();
  if (pad != nullptr) SetReal(result, read(*pad, a.Int(1)));
}

GAMEPAD_BUILTIN(GamepadIsSupported) { SetReal(result, g_Gamepads.loaded ? 1 : 0); }

GAMEPAD_BUILTIN(GamepadGetDeviceCount) { SetReal(result, g_Gamepads.slotCount); }

GAMEPAD_BUILTIN(GamepadIsConnected) {
  const Args a{argc, args};
  if (!a.Enough(1)) return;
  const GamepadSlot* pad = a.Pad();
  SetReal(result, pad != nullptr && pad->connected != 0 ? 1 : 0);
}

GAMEPAD_BUILTIN(GamepadGetDescription) {
  const Args a{argc, args};
  const GamepadSlot* pad = a.Enough(1) ? a.Pad() : nullptr;
  SetString(result, pad != nullptr ? pad->description : "");
}

GAMEPAD_BUILTIN(GamepadGetButtonThreshold) {
  const Args a{argc, args};
  if (!a.Enough(1)) return;
  if (const GamepadSlot* pad = a.Pad()) SetReal(result, pad->buttonThreshold);
}

// A setter of a 0..1 setting; a value outside reports `error` and changes nothing.
void SetUnitSetting(int32_t argc, ScriptValue* args, float GamepadSlot::*setting, const char* error) {
  const Args a{argc, args};
  if (!a.Enough(2)) return;
  GamepadSlot* pad = a.Pad();
  if (pad == nullptr) return;
  const double value = a.Real(1);
  if (!(value >= 0.0 && value <= 1.0)) {
    ReportRuntimeError(error, false);
    return;
  }
  pad->*setting = num::ToFloat(value);
}

GAMEPAD_BUILTIN(GamepadSetButtonThreshold) {
  SetUnitSetting(argc, args, &GamepadSlot::buttonThreshold, "Button threshold is outside the accepted range");
}

GAMEPAD_BUILTIN(GamepadGetAxisDeadzone) {
  const Args a{argc, args};
  if (!a.Enough(1)) return;
  if (const GamepadSlot* pad = a.Pad()) SetReal(result, pad->axisDeadzone);
}

GAMEPAD_BUILTIN(GamepadSetAxisDeadzone) {
  SetUnitSetting(argc, args, &GamepadSlot::axisDeadzone, "Axis dead zone is outside the accepted range");
}

GAMEPAD_BUILTIN(GamepadButtonCount) {
  const Args a{argc, args};
  if (!a.Enough(1)) return;
  const GamepadSlot* pad = a.Pad();
  if (pad != nullptr && pad->connected != 0) SetReal(result, pad->buttonCount);
}

GAMEPAD_BUILTIN(GamepadAxisCount) {
  const Args a{argc, args};
  if (!a.Enough(1)) return;
  const GamepadSlot* pad = a.Pad();
  if (pad != nullptr && pad->connected != 0) SetReal(result, pad->axisCount);
}

GAMEPAD_BUILTIN(GamepadButtonCheck) {
  PadIndexQuery(result, argc, args, [](const GamepadSlot& pad, int32_t button) {
    return pad.ButtonValue(ButtonIndex(button)) >= pad.buttonThreshold ? 1 : 0;
  });
}

GAMEPAD_BUILTIN(GamepadButtonCheckPressed) {
  PadIndexQuery(result, argc, args, [](const GamepadSlot& pad, int32_t button) {
    const int32_t index = ButtonIndex(button);
    return pad.ButtonValue(index) >= pad.buttonThreshold && pad.ButtonValue(index, true) < pad.buttonThreshold ? 1
                                                                                                                : 0;
  });
}

GAMEPAD_BUILTIN(GamepadButtonCheckReleased) {
  PadIndexQuery(result, argc, args, [](const GamepadSlot& pad, int32_t button) {
    const int32_t index = ButtonIndex(button);
    return pad.ButtonValue(index) < pad.buttonThreshold && pad.ButtonValue(index, true) >= pad.buttonThreshold ? 1
                                                                                                                : 0;
  });
}

GAMEPAD_BUILTIN(GamepadButtonValue) {
  PadIndexQuery(result, argc, args,
                [](const GamepadSlot& pad, int32_t button) { return pad.ButtonValue(ButtonIndex(button)); });
}

GAMEPAD_BUILTIN(GamepadAxisValue) {
  PadIndexQuery(result, argc, args, [](const GamepadSlot& pad, int32_t axis) { return pad.AxisValue(axis); });
}

float UnitClamped(double value) {
  const float v = num::ToFloat(value);
  return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;  // NaN gives 0
}

GAMEPAD_BUILTIN(GamepadSetVibration) {
  const Args a{argc, args};
  if (!a.Enough(3) || !Gamepad_CheckLibrary()) return;
  if (GamepadSlot* pad = a.Pad()) {
    pad->vibration[0] = UnitClamped(a.Real(1));
    pad->vibration[1] = UnitClamped(a.Real(2));
  }
}

GAMEPAD_BUILTIN(GamepadSetColour) {
  const Args a{argc, args};
  if (!a.Enough(2) || !Gamepad_CheckLibrary() || a.Pad() == nullptr) return;
  const uint32_t c = a.Colour(1);
  const uint32_t swapped = 0x01000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
  DebugConsole->Output("setting pad color to 0x%x\n", swapped);
}

constexpr BuiltinSpec kGamepadFunctions[] = {
    {"gamepad_is_supported", GamepadIsSupported, 0},
    {"gamepad_get_device_count", GamepadGetDeviceCount, 0},
    {"gamepad_is_connected", GamepadIsConnected, 1},
    {"gamepad_get_description", GamepadGetDescription, 1},
    {"gamepad_get_button_threshold", GamepadGetButtonThreshold, 1},
    {"gamepad_set_button_threshold", GamepadSetButtonThreshold, 2},
    {"gamepad_get_axis_deadzone", GamepadGetAxisDeadzone, 1},
    {"gamepad_set_axis_deadzone", GamepadSetAxisDeadzone, 2},
    {"gamepad_button_count", GamepadButtonCount, 1},
    {"gamepad_button_check", GamepadButtonCheck, 2},
    {"gamepad_button_check_pressed", GamepadButtonCheckPressed, 2},
    {"gamepad_button_check_released", GamepadButtonCheckReleased, 2},
    {"gamepad_button_value", GamepadButtonValue, 2},
    {"gamepad_axis_count", GamepadAxisCount, 1},
    {"gamepad_axis_value", GamepadAxisValue, 2},
    {"gamepad_set_vibration", GamepadSetVibration, 3},
    {"gamepad_set_color", GamepadSetColour, 2},
    {"gamepad_set_colour", GamepadSetColour, 2},
};

}  // namespace

void RegisterGamepadFunctions() {
  RegisterBuiltinTable(kGamepadFunctions);
  Gamepad_Init();
}
