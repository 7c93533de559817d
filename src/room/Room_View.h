// The views of the current room as the room drawing uses them: view following, the mapping of
// views to window ports and the scale of ports onto the application surface; the window size a
// room asks for; and the GUI layer's coordinate space (settings in room/Room_Draw.h).
// Main thread only.
#pragma once

#include <cstdint>

#include "platform/Maths.h"

// Before the views are drawn each frame. Views disabled in the current room: view mappings 0..7
// cleared, nothing else. Otherwise each visible view that follows a target (an instance id above
// 99999, else the first live instance of that object or a descendant) moves towards it: centred
// on it when twice the border is not below the view's size, else just enough to keep it the
// border away from the edge; held inside the room (a view larger than the room ends at a
// negative position); at most hspeed (vspeed) per frame unless that speed is negative. Then
// every visible view's mapping is recorded and the port scale becomes the application surface's
// size over the extent of all visible ports (1 when that extent is not above 0).
void Room_UpdateViews();

// Sizes the display for the current room: with views enabled the greatest right and bottom edge
// of the visible views' ports (each at least 8), otherwise the room's size; GR_D3D_SetSize limits
// it to the screen and does nothing when the size does not change. Nothing without a current room.
void Room_UpdateWindowSize();

// The GUI transform (window pixels about the window's centre) and its inverse, with the scales
// and offsets it uses. Maximised: the offsets are minus half the window (floored) plus the given
// offsets, the scales the given scales. Otherwise the application area over the GUI size, each
// scale 1 when that GUI size is not set or either size is not above 0, the offsets minus half the
// application area (floored).
struct GuiTransform {
  Matrix matrix;
  Matrix inverse;
  float scaleX, scaleY;
  float offsetX, offsetY;
};
GuiTransform GUI_ComputeTransform();
// Computes the transform, keeps it in g_RoomDraw, makes it the view transform and sets the
// visible region to the window seen through it.
void GUI_UpdateTransform();
// The viewport over the whole window, an orthographic projection of the window (y growing
// downwards, clip distances 1 and 32000), then GUI_UpdateTransform.
void GUI_SetProjection();
// display_set_gui_size: a fixed GUI size (-1 for the application area's own), not maximised.
void GUI_SetSize(int32_t width, int32_t height);
// display_set_gui_maximise: the window's own size, maximised with the scales (1 when not given)
// and offsets (none when not given).
void GUI_SetMaximise(float scaleX, float scaleY, float offsetX, float offsetY);
// display_get_gui_width / _height: the GUI size, or the display's while it is not set.
int32_t GUI_GetWidth();
int32_t GUI_GetHeight();
