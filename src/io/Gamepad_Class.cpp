#include "io/Gamepad_Class.h"

#include <cmath>
#include <cstring>

#include "base/VCL.h"
#include "room/Event_Dispatch.h"
#include "room/Event_Names.h"
#include "run/Run_Global.h"
#include "runner/GameData.h"
#include "support/Support_Data_Structures.h"

GamepadState g_Gamepads;

namespace {

constexpr uint64_t kGamepadOption = 0x4;
constexpr int32_t kEventSystem = 75;

bool Enabled() { return g_Gamepads.loaded && (g_GameData.headerInfo.platformOptions & kGamepadOption) != 0; }

void SetDescription(GamepadSlot& slot, const char* text) {
  std::strncpy(slot.description, text, kGamepadDescriptionSize - 1);
  slot.description[kGamepadDescriptionSize - 1] = '\0';
}

const char* DescriptionOf(int32_t subtype) {
  switch (subtype) {
    case 1: return "Xbox 360 Controller (XInput STANDARD GAMEPAD)";
    case 2: return "Xbox 360 Controller (XInput WHEEL)";
    case 3: return "Xbox 360 Controller (XInput ARCADE STICK)";
    case 4: return "Xbox 360 Controller (XInput FLIGHT STICK)";
    case 5: return "Xbox 360 Controller (XInput DANCE PAD)";
    case 6: return "Xbox 360 Controller (XInput GUITAR)";
    case 8: return "Xbox 360 Controller (XInput DRUM KIT)";
    default: return nullptr;
  }
}

uint16_t MotorSpeed(float strength) { return static_cast<uint16_t>(static_cast<double>(strength) * 65535.0); }

void RaiseJoystickEvents(int32_t joystick) {
  JoystickReading r;
  if (!g_Gamepads.backend->readJoystick(joystick, &r)) return;
  const int32_t base = joystick == 0 ? 16 : 31;
  if (r.x < 20000) Event_DispatchObjectList(EVENT_MOUSE, base);
  if (r.x > 44000) Event_DispatchObjectList(EVENT_MOUSE, base + 1);
  if (r.y < 20000) Event_DispatchObjectList(EVENT_MOUSE, base + 2);
  if (r.y > 44000) Event_DispatchObjectList(EVENT_MOUSE, base + 3);
  for (int32_t b = 1; b <= 8; ++b) {
    if ((r.buttons & (1u << (b - 1))) != 0) Event_DispatchObjectList(EVENT_MOUSE, base + 4 + b);
  }
}

}  // namespace

float GamepadSlot::ButtonValue(int32_t index, bool previous) const {
  if (index < 0) return 0.0f;
  if ((index & kGamepadAxisButton) != 0) {
    const int32_t axis = index & 0x0FFF;
    if (axis >= axisCount) return 0.0f;
    const float v = previous ? previousAxes[axis] : axes[axis];
    if ((index & kGamepadAxisNegative) != 0) return v < -axisDeadzone ? std::fabs(v) : 0.0f;
    return v > axisDeadzone ? v : 0.0f;
  }
  if (index >= buttonCount) return 0.0f;
  return previous ? previousButtons[index] : buttons[index];
}

float GamepadSlot::AxisValue(int32_t index) const {
  if (index < 0) return 0.0f;
  if ((index & kGamepadAxisButton) != 0) return ButtonValue(index & 0x0FFF);
  bool inverted = false;
  int32_t axis = index;
  if ((index & 0x8000) != 0) {
    switch (index) {
      case 0x8012: axis = 1; inverted = true; break;
      case 0x8013: axis = 2; break;
      case 0x8014: axis = 3; inverted = true; break;
      default: axis = 0; break;
    }
  }
  if (axis >= axisCount) return 0.0f;
  float v = axes[axis];
  const float dz = axisDeadzone;
  if (dz > 0.0f) {
    if (std::fabs(v) < dz || dz >= 1.0f) {  // a dead zone of the whole range leaves nothing
      v = 0.0f;
    } else {
      v = std::copysign((std::fabs(v) - dz) / (1.0f - dz), v);
    }
  }
  return inverted ? -v : v;
}

bool XInput_Load() {
  g_Gamepads.loaded = g_Gamepads.backend->load();
  return g_Gamepads.loaded;
}

void Gamepad_Init() {
  XInput_Load();
  for (GamepadSlot& slot : g_Gamepads.slots) slot = GamepadSlot{};
  g_Gamepads.slotCount = kGamepadSlotCount;
  Gamepad_Detect();
}

void Gamepad_Detect() {
  if (!Enabled()) return;
  const GamepadBackend* backend = g_Gamepads.backend;
  backend->scan();
  for (int32_t i = 0; i < g_Gamepads.slotCount; ++i) {
    GamepadSlot& slot = g_Gamepads.slots[i];
    GamepadReading reading;
    if (!backend->read(i, &reading)) {
      if (slot.connected != 0) {
        slot.description[0] = '\0';
        Gamepad_SetConnected(i, false);
      }
    } else if (slot.connected == 0) {
      Gamepad_SetConnected(i, true);
      if (const char* text = DescriptionOf(backend->subtype(i))) SetDescription(slot, text);
    }
  }
}

void Gamepad_Update() {
  if (!Enabled()) return;
  const GamepadBackend* backend = g_Gamepads.backend;
  for (int32_t i = 0; i < g_Gamepads.slotCount; ++i) {
    GamepadSlot& slot = g_Gamepads.slots[i];
    if (slot.connected == 0) continue;
    GamepadReading reading;
    if (!backend->read(i, &reading)) {
      slot.description[0] = '\0';
      Gamepad_SetConnected(i, false);
      continue;
    }
    std::memcpy(slot.previousButtons, slot.buttons, sizeof slot.buttons);
    std::memcpy(slot.previousAxes, slot.axes, sizeof slot.axes);
    std::memcpy(slot.buttons, reading.buttons, sizeof slot.buttons);
    std::memcpy(slot.axes, reading.axes, sizeof slot.axes);
    backend->vibrate(i, MotorSpeed(slot.vibration[0]), MotorSpeed(slot.vibration[1]));
  }
}

void Gamepad_SetConnected(int32_t slot, bool connected) {
  GamepadSlot* pad = Gamepad_Slot(slot);
  if (pad == nullptr) return;
  const uint8_t flag = connected ? 1 : 0;
  if (pad->connected != flag) {
    pad->connected = flag;
    const int32_t map = CreateDsMap({{"event_type", 0.0, connected ? "gamepad discovered" : "gamepad lost"},
                                     {"pad_index", static_cast<double>(slot), nullptr}});
    Async_PostEvent(map, kEventSystem);
  }
  if (!connected) {
    std::memset(pad->buttons, 0, sizeof pad->buttons);
    std::memset(pad->previousButtons, 0, sizeof pad->previousButtons);
    std::memset(pad->axes, 0, sizeof pad->axes);
    std::memset(pad->previousAxes, 0, sizeof pad->previousAxes);
  }
}

GamepadSlot* Gamepad_Slot(int32_t pad) {
  return pad >= 0 && pad < g_Gamepads.slotCount ? &g_Gamepads.slots[pad] : nullptr;
}

bool Gamepad_CheckLibrary() {
  if (g_Gamepads.loaded) return true;
  if (!g_Gamepads.missingReported) {
    g_Gamepads.missingReported = true;
    DebugConsole->Output("!!!!! xinput1_3.dll not found. Gamepad support disabled\n");
  }
  return false;
}

void Gamepad_Quit() {
  g_Gamepads.backend->closeAll();
  g_Gamepads.slotCount = 0;
  g_Gamepads.joysticksDetected = false;
  for (bool& present : g_Gamepads.joystickPresent) present = false;
}

void Gamepad_Reset() {
  Gamepad_Quit();
  g_Gamepads = GamepadState{};
}

void LegacyJoystick_Detect() {
  g_Gamepads.joysticksDetected = true;
  for (int32_t j = 0; j < kLegacyJoystickCount; ++j) g_Gamepads.joystickPresent[j] = g_Gamepads.backend->detectJoystick(j);
}

void PollLegacyJoystick() {
  if (!g_Gamepads.joysticksDetected) LegacyJoystick_Detect();
  for (int32_t j = 0; j < kLegacyJoystickCount; ++j) {
    if (g_Gamepads.joystickPresent[j]) RaiseJoystickEvents(j);
  }
}
