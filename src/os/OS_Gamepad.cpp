#include "os/OS_Gamepad.h"

#include <SDL.h>

namespace {

constexpr int32_t kLegacyJoysticks = 2;

// The devices the SDL back end holds, by SDL instance id (-1 none): a closed or vanished device
// is then simply not found again, never a stale pointer.
struct SdlGamepadState {
  SDL_JoystickID pads[kGamepadBackendSlots] = {-1, -1, -1, -1};
  SDL_JoystickID joysticks[kLegacyJoysticks] = {-1, -1};
};
SdlGamepadState g_sdlPads;

bool ControllersUp() { return SDL_WasInit(SDL_INIT_GAMECONTROLLER) != 0; }

SDL_GameController* PadIn(int32_t slot) {
  if (slot < 0 || slot >= kGamepadBackendSlots || g_sdlPads.pads[slot] < 0 || !ControllersUp()) return nullptr;
  return SDL_GameControllerFromInstanceID(g_sdlPads.pads[slot]);
}

SDL_Joystick* JoystickIn(int32_t joystick) {
  if (joystick < 0 || joystick >= kLegacyJoysticks || g_sdlPads.joysticks[joystick] < 0 ||
      SDL_WasInit(SDL_INIT_JOYSTICK) == 0) {
    return nullptr;
  }
  return SDL_JoystickFromInstanceID(g_sdlPads.joysticks[joystick]);
}

void ClosePad(int32_t slot) {
  if (SDL_GameController* pad = PadIn(slot)) SDL_GameControllerClose(pad);
  g_sdlPads.pads[slot] = -1;
}

void CloseJoystick(int32_t joystick) {
  if (SDL_Joystick* stick = JoystickIn(joystick)) SDL_JoystickClose(stick);
  g_sdlPads.joysticks[joystick] = -1;
}

// Pads are read whether or not the game's window has the focus (SDL would drop their presses
// while another window has it).
bool SdlLoad() {
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  return ControllersUp() || SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
}

void SdlScan() {
  if (!ControllersUp()) return;
  SDL_GameControllerUpdate();
  for (int32_t slot = 0; slot < kGamepadBackendSlots; ++slot) {
    SDL_GameController* pad = PadIn(slot);
    if (g_sdlPads.pads[slot] >= 0 && (pad == nullptr || !SDL_GameControllerGetAttached(pad))) ClosePad(slot);
  }
  const int count = SDL_NumJoysticks();
  for (int device = 0; device < count; ++device) {
    if (!SDL_IsGameController(device)) continue;
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(device);
    bool held = false;
    int32_t freeSlot = -1;
    for (int32_t slot = 0; slot < kGamepadBackendSlots; ++slot) {
      if (g_sdlPads.pads[slot] == id) held = true;
      if (g_sdlPads.pads[slot] < 0 && freeSlot < 0) freeSlot = slot;
    }
    if (held || freeSlot < 0) continue;
    if (SDL_GameController* pad = SDL_GameControllerOpen(device)) {
      g_sdlPads.pads[freeSlot] = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad));
    }
  }
}

float ButtonValue(SDL_GameController* pad, SDL_GameControllerButton button) {
  return SDL_GameControllerGetButton(pad, button) != 0 ? 1.0f : 0.0f;
}

float TriggerValue(SDL_GameController* pad, SDL_GameControllerAxis axis) {
  int32_t v = SDL_GameControllerGetAxis(pad, axis);
  if (v < 0) v = 0;
  return static_cast<float>(v * 255 / 32767) * (1.0f / 256.0f);
}

float AxisValue(SDL_GameController* pad, SDL_GameControllerAxis axis, bool up) {
  int32_t v = SDL_GameControllerGetAxis(pad, axis);
  if (up) v = v == -32768 ? 32767 : -v;
  return static_cast<float>(v) * (1.0f / 32768.0f);
}

bool SdlRead(int32_t slot, GamepadReading* reading) {
  SDL_GameController* pad = PadIn(slot);
  if (pad == nullptr) return false;
  SDL_GameControllerUpdate();
  if (!SDL_GameControllerGetAttached(pad)) return false;
  static constexpr SDL_GameControllerButton kButtons[kGamepadBackendButtons] = {
      SDL_CONTROLLER_BUTTON_DPAD_UP,      SDL_CONTROLLER_BUTTON_DPAD_DOWN,     SDL_CONTROLLER_BUTTON_DPAD_LEFT,
      SDL_CONTROLLER_BUTTON_DPAD_RIGHT,   SDL_CONTROLLER_BUTTON_START,         SDL_CONTROLLER_BUTTON_BACK,
      SDL_CONTROLLER_BUTTON_LEFTSTICK,    SDL_CONTROLLER_BUTTON_RIGHTSTICK,    SDL_CONTROLLER_BUTTON_LEFTSHOULDER,
      SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, SDL_CONTROLLER_BUTTON_INVALID,      SDL_CONTROLLER_BUTTON_INVALID,
      SDL_CONTROLLER_BUTTON_A,            SDL_CONTROLLER_BUTTON_B,             SDL_CONTROLLER_BUTTON_X,
      SDL_CONTROLLER_BUTTON_Y};
  for (int32_t i = 0; i < kGamepadBackendButtons; ++i) {
    if (kButtons[i] != SDL_CONTROLLER_BUTTON_INVALID) reading->buttons[i] = ButtonValue(pad, kButtons[i]);
  }
  reading->buttons[10] = TriggerValue(pad, SDL_CONTROLLER_AXIS_TRIGGERLEFT);
  reading->buttons[11] = TriggerValue(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT);
  reading->axes[0] = AxisValue(pad, SDL_CONTROLLER_AXIS_LEFTX, false);
  reading->axes[1] = AxisValue(pad, SDL_CONTROLLER_AXIS_LEFTY, true);
  reading->axes[2] = AxisValue(pad, SDL_CONTROLLER_AXIS_RIGHTX, false);
  reading->axes[3] = AxisValue(pad, SDL_CONTROLLER_AXIS_RIGHTY, true);
  return true;
}

int32_t SdlSubtype(int32_t slot) {
  SDL_GameController* pad = PadIn(slot);
  if (pad == nullptr) return 0;
  switch (SDL_JoystickGetType(SDL_GameControllerGetJoystick(pad))) {
    case SDL_JOYSTICK_TYPE_UNKNOWN:
    case SDL_JOYSTICK_TYPE_GAMECONTROLLER: return 1;
    case SDL_JOYSTICK_TYPE_WHEEL: return 2;
    case SDL_JOYSTICK_TYPE_ARCADE_STICK: return 3;
    case SDL_JOYSTICK_TYPE_FLIGHT_STICK: return 4;
    case SDL_JOYSTICK_TYPE_DANCE_PAD: return 5;
    case SDL_JOYSTICK_TYPE_GUITAR: return 6;
    case SDL_JOYSTICK_TYPE_DRUM_KIT: return 8;
    default: return 0;
  }
}

void SdlVibrate(int32_t slot, uint16_t left, uint16_t right) {
  if (SDL_GameController* pad = PadIn(slot)) SDL_GameControllerRumble(pad, left, right, 1000);
}

bool SdlDetectJoystick(int32_t joystick) {
  if (joystick < 0 || joystick >= kLegacyJoysticks) return false;
  CloseJoystick(joystick);
  if (SDL_WasInit(SDL_INIT_JOYSTICK) == 0 || joystick >= SDL_NumJoysticks()) return false;
  SDL_Joystick* stick = SDL_JoystickOpen(joystick);
  if (stick == nullptr) return false;
  g_sdlPads.joysticks[joystick] = SDL_JoystickInstanceID(stick);
  return true;
}

bool SdlReadJoystick(int32_t joystick, JoystickReading* reading) {
  SDL_Joystick* stick = JoystickIn(joystick);
  if (stick == nullptr) return false;
  SDL_JoystickUpdate();
  if (!SDL_JoystickGetAttached(stick)) return false;
  reading->x = SDL_JoystickGetAxis(stick, 0) + 32768;
  reading->y = SDL_JoystickGetAxis(stick, 1) + 32768;
  reading->buttons = 0;
  const int buttons = SDL_JoystickNumButtons(stick);
  for (int b = 0; b < 8 && b < buttons; ++b) {
    if (SDL_JoystickGetButton(stick, b) != 0) reading->buttons |= 1u << b;
  }
  return true;
}

void SdlCloseAll() {
  for (int32_t slot = 0; slot < kGamepadBackendSlots; ++slot) ClosePad(slot);
  for (int32_t joystick = 0; joystick < kLegacyJoysticks; ++joystick) CloseJoystick(joystick);
}

constexpr GamepadBackend kSdlGamepads = {SdlLoad,   SdlScan,           SdlRead,         SdlSubtype,
                                         SdlVibrate, SdlDetectJoystick, SdlReadJoystick, SdlCloseAll};

constexpr GamepadBackend kNoGamepads = {
    [] { return false; },
    [] {},
    [](int32_t, GamepadReading*) { return false; },
    [](int32_t) { return 0; },
    [](int32_t, uint16_t, uint16_t) {},
    [](int32_t) { return false; },
    [](int32_t, JoystickReading*) { return false; },
    [] {}};

}  // namespace

const GamepadBackend* OS_SdlGamepads() { return &kSdlGamepads; }

const GamepadBackend* OS_NoGamepads() { return &kNoGamepads; }
