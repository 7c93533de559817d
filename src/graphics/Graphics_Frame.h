// Frames: every drawn frame is bracketed by GR_D3D_Start_Frame and GR_D3D_Finish_Frame. The
// begin resets a device that reports it needs it, opens the scene on the back buffer and
// measures the window's client area; the end draws what is left, closes the scene, empties the
// render-target stack, recycles the batch buffers and presents when asked. Main thread only.
#pragma once

#include <cstdint>

// False without a device.
bool GR_D3D_Start_Frame();
// False without a device; `present` shows the frame and times how long that took.
bool GR_D3D_Finish_Frame(bool present);
void GraphicsBeginScene();
void GraphicsEndScene();
// Shows the window the first time, then presents; true when the device accepted it.
bool GraphicsPresent();
// The frame-rate summary printed at shutdown.
void GraphicsPrintFPSStats();
