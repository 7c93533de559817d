// The displays as the graphics layer sees them: the desktop mode and the list of modes of each
// display, display-setting changes, and the cursor position in screen pixels.
//
// A source is a table of functions. The real one reads SDL's displays (SDL's video subsystem
// must be up; before that every query fails); tests install their own. A mode's colour depth is
// its bytes per pixel x 8, so an RGB888 desktop is 32 bits.
//
// Main thread only.
#pragma once

#include <cstdint>

struct OS_DisplayMode {
  int32_t x = 0;  // the display's position on the desktop (current mode only)
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t bits = 0;       // bits per pixel
  int32_t frequency = 0;  // refresh rate in Hz, 0 when unknown
};

// Which fields of a display-setting request are set.
constexpr uint32_t DM_BITSPERPEL = 0x00040000;
constexpr uint32_t DM_PELSWIDTH = 0x00080000;
constexpr uint32_t DM_PELSHEIGHT = 0x00100000;
constexpr uint32_t DM_DISPLAYFREQUENCY = 0x00400000;

// Change flags: only test whether the change would work.
constexpr uint32_t CDS_TEST = 2;

struct OS_DisplayRequest {
  uint32_t fields = 0;  // DM_* bits
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t frequency = 0;
  uint32_t bits = 0;
};

struct OS_DisplaySource {
  // Number of displays (0 when none can be read).
  int32_t (*displayCount)();
  // The display's current (desktop) mode; false when it cannot be read.
  bool (*currentMode)(int32_t display, OS_DisplayMode* mode);
  // Mode number `index` of the display; false past the last one. Every display has at least one
  // mode (its desktop mode when nothing else can be listed).
  bool (*mode)(int32_t display, int32_t index, OS_DisplayMode* mode);
  // Changes the primary display's settings (or tests the change with CDS_TEST); true when the
  // change succeeded.
  bool (*changeMode)(const OS_DisplayRequest& request, uint32_t flags);
  // The cursor in screen pixels; false when it cannot be read.
  bool (*getCursor)(int32_t* x, int32_t* y);
  void (*setCursor)(int32_t x, int32_t y);
};

// The source in use; null restores SDL's.
void OS_SetDisplaySource(const OS_DisplaySource* source);
const OS_DisplaySource* OS_GetDisplaySource();
const OS_DisplaySource* OS_SDLDisplaySource();
