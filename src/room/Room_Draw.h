// The room drawing's process-wide state: the view being drawn (`view_current`), the cursor
// sprite drawn over each frame (`cursor_sprite`), and the GUI layer's coordinate space set by
// display_set_gui_size and display_set_gui_maximise. Runtime_Reset puts the record back; starting
// a game sets the cursor sprite back to -1; Room_ResetGlobals puts the GUI settings back.
// Main thread only.
#pragma once

#include <cstdint>

#include "platform/Maths.h"

// An offset of the maximised GUI layer that was not given.
constexpr float kGuiOffsetUnset = 2147483648.0f;

// The GUI layer's settings: a fixed size the application area is scaled to, or maximised (the
// window's own pixels times the scales, about the window's centre plus the offsets).
struct GuiSettings {
  int32_t width = -1;  // -1: not set (the application area's own size)
  int32_t height = -1;
  bool maximise = false;
  float maximiseScaleX = 1.0f;
  float maximiseScaleY = 1.0f;
  float maximiseOffsetX = kGuiOffsetUnset;
  float maximiseOffsetY = kGuiOffsetUnset;
};

struct RoomDrawState {
  int32_t viewCurrent = 0;    // view_current: the view being drawn, 0 outside the view loop
  int32_t cursorSprite = -1;  // cursor_sprite: drawn at the mouse each frame when it exists
  GuiSettings gui;
  bool guiPass = false;  // the GUI events are running (GUI size changes apply at once)
  // The last GUI transform (window pixels about the window's centre) and its inverse.
  Matrix guiMatrix = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
  Matrix guiInverse = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
};
extern RoomDrawState g_RoomDraw;
