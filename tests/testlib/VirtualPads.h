// Game controllers for tests: SDL virtual joysticks, attached and detached at will, whose motor
// speeds are recorded as they arrive.
#pragma once

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdint>
#include <string>

namespace testsupport {

// The motor speeds of the latest rumble a virtual pad received, and how many it received.
struct PadRumble {
  uint16_t low = 0;
  uint16_t high = 0;
  int32_t count = 0;
};
inline PadRumble& LastRumble() {
  static PadRumble rumble;
  return rumble;
}

// One virtual device with the buttons and axes of a game controller (in SDL's controller order,
// so that a game-controller type maps them one to one). The joystick subsystem is brought up
// when needed. Detached (and closed) when it goes.
class VirtualPad {
 public:
  explicit VirtualPad(SDL_JoystickType type = SDL_JOYSTICK_TYPE_GAMECONTROLLER) {
    if (SDL_WasInit(SDL_INIT_GAMECONTROLLER) == 0) {
      EXPECT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0);
    }
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = static_cast<Uint16>(type);
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = "virtual pad";
    if (type != SDL_JOYSTICK_TYPE_GAMECONTROLLER) {
      // A vendor and product put them in the device's GUID, which a mapping (Map) can then name.
      desc.vendor_id = 0x1209;
      desc.product_id = 0x0001;
    }
    desc.Rumble = [](void*, Uint16 low, Uint16 high) {
      LastRumble() = PadRumble{low, high, LastRumble().count + 1};
      return 0;
    };
    const int device = SDL_JoystickAttachVirtualEx(&desc);
    EXPECT_GE(device, 0) << SDL_GetError();
    m_joystick = SDL_JoystickOpen(device);
    EXPECT_NE(m_joystick, nullptr) << SDL_GetError();
    m_id = SDL_JoystickInstanceID(m_joystick);
  }
  ~VirtualPad() { Detach(); }
  VirtualPad(const VirtualPad&) = delete;
  VirtualPad& operator=(const VirtualPad&) = delete;

  // The device index the pad has now, -1 once detached.
  int Device() const {
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
      if (SDL_JoystickGetDeviceInstanceID(i) == m_id) return i;
    }
    return -1;
  }
  // `button` and `axis` in SDL's game-controller numbering.
  void Button(SDL_GameControllerButton button, bool down) {
    SDL_JoystickSetVirtualButton(m_joystick, button, down ? 1 : 0);
  }
  void Axis(SDL_GameControllerAxis axis, int16_t value) { SDL_JoystickSetVirtualAxis(m_joystick, axis, value); }
  // Makes a device of another type than a game controller one too (only a game controller has a
  // mapping of its own).
  void Map() {
    char guid[64];
    SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(m_joystick), guid, sizeof guid);
    const std::string mapping = std::string(guid) +
                                ",virtual pad,a:b0,b:b1,x:b2,y:b3,back:b4,guide:b5,start:b6,leftstick:b7,"
                                "rightstick:b8,leftshoulder:b9,rightshoulder:b10,dpup:b11,dpdown:b12,dpleft:b13,"
                                "dpright:b14,leftx:a0,lefty:a1,rightx:a2,righty:a3,lefttrigger:a4,righttrigger:a5,";
    EXPECT_GE(SDL_GameControllerAddMapping(mapping.c_str()), 0) << SDL_GetError();
  }
  void Detach() {
    if (m_joystick == nullptr) return;
    const int device = Device();
    SDL_JoystickClose(m_joystick);
    m_joystick = nullptr;
    if (device >= 0) SDL_JoystickDetachVirtual(device);
    SDL_JoystickUpdate();
  }

 private:
  SDL_Joystick* m_joystick = nullptr;
  SDL_JoystickID m_id = -1;
};

}  // namespace testsupport
