// The main window as the rest of the program sees it: its kept caption, the switch out of full
// screen that comes before every message box, and the view mappings that join room and port
// coordinates.
#pragma once

#include <cstdint>

// Shows the main window once and, when the game runs full screen, resets the device for windowed
// mode (closing an open frame without presenting and opening it again) so that a message box can
// be seen.
void GraphicsLeaveFullscreen();

// The requested screen mode: true for full screen.
bool GR_Window_GetFullscreen();
// Requests full screen (`on`) or a window. Nothing when `on` is the current request; from a
// window, the window's client size is kept as the size to go back to. The device is reset for the
// new mode at the next frame (the frame loop's resize countdown becomes 1).
void GR_Window_SetFullscreen(bool on);

// window_set_caption's store: the UTF-8 caption of the main window (null until one is set); setting
// it also titles the window.
void GR_Window_SetCaption(const char* caption);
const char* GR_Window_GetCaption();

// The colour the window is cleared to around the game's view (the game options' window colour).
void GR_Window_SetColour(int32_t colour);
int32_t GR_Window_GetColour();

// The window's system cursor: -1 hides it, any other constant shows the default arrow. The
// constant is kept (0 at first); the cursor itself changes only while the graphics layer has a
// window.
void GR_Window_SetCursor(int32_t cursor);
int32_t GR_Window_GetCursor();

// One view drawn this frame: its area in the room and its port in the window's game
// coordinates. The room drawing fills mapping v for room view v.
struct ViewMapping {
  bool inUse = false;
  float viewX = 0, viewY = 0, viewWidth = 0, viewHeight = 0;
  float portX = 0, portY = 0, portWidth = 0, portHeight = 0;
  float angle = 0;       // degrees
  int32_t surface = -1;  // the view's target surface, -1 for the screen
};
constexpr int32_t kViewMappings = 32;

// Fills mapping `index` and marks it in use; indices outside 0..31 are ignored.
void GR_Window_SetViewMapping(int32_t index, float portX, float portY, float portWidth, float portHeight, float viewX,
                              float viewY, float viewWidth, float viewHeight, float angle, int32_t surface);
void GR_Window_ClearViewMapping(int32_t index);
// Every mapping out of use.
void GR_Window_InitViewMappings();
const ViewMapping* GR_Window_GetViewMapping(int32_t index);
// The view being drawn (0 when views are off); the room drawing sets it for each view.
void GR_Window_SetDrawingView(int32_t index);
int32_t GR_Window_GetDrawingView();
// The port position of a room point through mapping `index`: scaled from the view to the port
// (turned about the port's centre when the view is turned) and rounded to the nearest integer,
// halves to even. Without a usable mapping (index outside 0..31, not in use, a view of width or
// height 0) the point is only rounded.
void GR_Window_MapRoomToPort(int32_t index, float x, float y, int32_t* outX, int32_t* outY);

// The room position of pointer device `device` (0..9; any other answers 0): its position in the
// window's client area.
int32_t GR_Window_GetMouseX(int32_t device);
int32_t GR_Window_GetMouseY(int32_t device);

// Forgets the caption and the cursor constant, puts the colour back to white (0xFFFFFF) and every
// view mapping out of use, as in a fresh process.
void GR_Window_Reset();
