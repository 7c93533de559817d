// SDL input events pushed into SDL's own queue, as the message pump will read them.
#pragma once

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdint>

namespace testsupport {

inline void PushKey(Uint32 type, SDL_Keycode keycode, SDL_Scancode scancode, uint16_t mod = 0, bool repeat = false) {
  SDL_Event event{};
  event.type = type;
  event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.key.repeat = repeat ? 1 : 0;
  event.key.keysym.sym = keycode;
  event.key.keysym.scancode = scancode;
  event.key.keysym.mod = mod;
  ASSERT_EQ(SDL_PushEvent(&event), 1);
}

inline void PushButton(Uint32 type, uint8_t button, int32_t x = 0, int32_t y = 0) {
  SDL_Event event{};
  event.type = type;
  event.button.button = button;
  event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.button.x = x;
  event.button.y = y;
  ASSERT_EQ(SDL_PushEvent(&event), 1);
}

// `flipped`: the system reports the wheel's direction reversed.
inline void PushWheel(int32_t y, bool flipped = false) {
  SDL_Event event{};
  event.type = SDL_MOUSEWHEEL;
  event.wheel.y = y;
  event.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
  ASSERT_EQ(SDL_PushEvent(&event), 1);
}

}  // namespace testsupport
