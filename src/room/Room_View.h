// The window size a room asks for. Main thread only.
#pragma once

// Sizes the display for the current room: with views enabled the greatest right and bottom edge
// of the visible views' ports (each at least 8), otherwise the room's size; GR_D3D_SetSize limits
// it to the screen and does nothing when the size does not change. Nothing without a current room.
void Room_UpdateWindowSize();
