// Adapters and display modes: the table of hardware adapters with their capabilities, desktop
// settings and 16- and 32-bit modes (made when the device is created), the choice of the mode
// that fits a size, the desktop display settings of the primary display, and the cursor in
// screen pixels. Displays are read through the display source of os/OS_DisplayModes.h; adapter
// ordinal n is display n. Main thread only.
#pragma once

#include <cstdint>

#include "graphics/device/D3D_Types.h"

struct DisplayModeInfo {
  int16_t width;
  int16_t height;
  uint8_t bits;
  uint8_t refresh;      // Hz, 255 at most
  int16_t modeNumber;   // the display source's index of the mode
  int32_t adapterOrdinal;
};
static_assert(sizeof(DisplayModeInfo) == 12);

struct AdapterInfo {
  uint32_t flags;  // bit 0: desktop narrower than high; bit 1: subordinate head of a group
  int32_t groupSize;
  int32_t modeCount;
  D3DCAPS9 caps;
  char description[512];
  char deviceName[512];
  DisplayModeInfo* modes;
  int32_t desktopX, desktopY, desktopWidth, desktopHeight, desktopBits, desktopFrequency;
  uintptr_t monitor;
  int32_t ordinal;
  int32_t masterOrdinal;
  AdapterInfo* master;       // linked once the table is filled
  AdapterInfo* nextInGroup;  // next subordinate head of the same master
};

struct AdapterTable {
  int32_t count = 0;
  AdapterInfo* adapters = nullptr;
};
extern AdapterTable g_Adapters;

// Fills the adapter table from the device object (software adapters are left out).
void EnumerateDisplayModes();
// Empties the adapter table.
void FreeDisplayModes();
// Turns both manual-clear flags on when the first adapter's description holds "intel" in any
// case (unless -vanillaGFX was given) and logs "Switching to manual clears".
void DetectManualClears();
// The first adapter's mode that best fits width x height: the first pass takes the mode whose
// height, then width, exceeds the request the least; without one, the mode whose area is the
// nearest ratio of the requested area (ties: 32-bit, then refresh rate nearest 60). Never null:
// with no modes at all the answer is a mode of adapter 0.
const DisplayModeInfo* FindDisplayMode(int32_t width, int32_t height);

// Desktop display-setting changes of the primary display; arguments above 0 are applied.
// True when the change succeeded.
bool GraphicsSetDisplayMode(int32_t width, int32_t height, int32_t frequency, int32_t bits);
bool GraphicsTestDisplayMode(int32_t width, int32_t height, int32_t frequency, int32_t bits);
bool GraphicsSetDisplaySize(int32_t width, int32_t height);
bool GraphicsSetDisplayFrequency(int32_t frequency);
bool GraphicsSetDisplayColourDepth(int32_t bits);
// The display-mode change the game options ask for at start-up: GraphicsSetDisplayMode with the
// option values mapped as colour depth 1 -> 16, 2 -> 32; resolution 1 -> 320 x 240,
// 2 -> 640 x 480, 3 -> 800 x 600, 4 -> 1024 x 768, 5 -> 1280 x 1024, 6 -> 1600 x 1200; frequency
// 1 -> 60, 2 -> 70, 3 -> 85, 4 -> 100, 5 -> 120. Any other option value leaves its field alone.
bool GraphicsSetDisplayModeFromOptions(int32_t colourDepth, int32_t resolution, int32_t frequency);
// The primary display's current settings; the width and height are 0 and the frequency and depth
// -1 when they cannot be read.
int32_t GraphicsGetDisplayWidth();
int32_t GraphicsGetDisplayHeight();
int32_t GraphicsGetDisplayFrequency();
int32_t GraphicsGetDisplayColourDepth();
// The cursor in screen pixels; setting it works only while the main window is active.
int32_t GraphicsGetCursorX();
int32_t GraphicsGetCursorY();
void GraphicsSetCursorPos(int32_t x, int32_t y, bool windowActive);
