#include "os/OS_DisplayModes.h"

#include <SDL.h>

namespace {

bool VideoUp() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

OS_DisplayMode FromSDL(const SDL_DisplayMode& m) {
  OS_DisplayMode mode;
  mode.width = m.w;
  mode.height = m.h;
  mode.bits = static_cast<int32_t>(SDL_BYTESPERPIXEL(m.format)) * 8;
  mode.frequency = m.refresh_rate;
  return mode;
}

int32_t SDLDisplayCount() {
  if (!VideoUp()) return 0;
  const int count = SDL_GetNumVideoDisplays();
  return count > 0 ? count : 0;
}

bool SDLCurrentMode(int32_t display, OS_DisplayMode* mode) {
  SDL_DisplayMode m;
  SDL_Rect bounds;
  if (!VideoUp() || SDL_GetDesktopDisplayMode(display, &m) != 0 || SDL_GetDisplayBounds(display, &bounds) != 0)
    return false;
  *mode = FromSDL(m);
  mode->x = bounds.x;
  mode->y = bounds.y;
  return true;
}

// Modes without a size (SDL's offscreen driver lists one) are skipped; a display that lists no
// usable mode offers its desktop mode as its only one.
bool SDLMode(int32_t display, int32_t index, OS_DisplayMode* mode) {
  if (!VideoUp() || index < 0) return false;
  const int count = SDL_GetNumDisplayModes(display);
  int32_t usable = 0;
  for (int n = 0; n < count; ++n) {
    SDL_DisplayMode m;
    if (SDL_GetDisplayMode(display, n, &m) != 0 || m.w <= 0 || m.h <= 0) continue;
    if (usable++ == index) {
      *mode = FromSDL(m);
      return true;
    }
  }
  SDL_DisplayMode desktop;
  if (usable > 0 || index != 0 || SDL_GetDesktopDisplayMode(display, &desktop) != 0) return false;
  *mode = FromSDL(desktop);
  return true;
}

// SDL cannot change the desktop's mode: every request is refused.
bool SDLChangeMode(const OS_DisplayRequest&, uint32_t) { return false; }

bool SDLGetCursor(int32_t* x, int32_t* y) {
  if (!VideoUp()) return false;
  int cx = 0, cy = 0;
  SDL_GetGlobalMouseState(&cx, &cy);
  *x = cx;
  *y = cy;
  return true;
}

void SDLSetCursor(int32_t x, int32_t y) {
  if (VideoUp()) SDL_WarpMouseGlobal(x, y);
}

const OS_DisplaySource kSDLSource = {&SDLDisplayCount, &SDLCurrentMode, &SDLMode,
                                     &SDLChangeMode,   &SDLGetCursor,   &SDLSetCursor};

const OS_DisplaySource* g_source = &kSDLSource;

}  // namespace

void OS_SetDisplaySource(const OS_DisplaySource* source) { g_source = source != nullptr ? source : &kSDLSource; }

const OS_DisplaySource* OS_GetDisplaySource() { return g_source; }

const OS_DisplaySource* OS_SDLDisplaySource() { return &kSDLSource; }
