// The main window as scripts see it and the geometry that joins three coordinate spaces: the
// window's client area (where the mouse is reported), the application area (the rectangle of the
// client area the application surface is drawn into, letterboxed while the aspect ratio is kept)
// and the room, through the views drawn this frame and their ports.
//
// The window itself and the display device are the graphics device's (graphics/Graphics_D3D.h):
// its window, client and pending sizes, the deferred windowed size, the full-screen and
// keep-aspect flags are used where they live, and so is the frame loop's pending-reset countdown
// (run/Run_Frame.h). Window calls go through os/OS_Window.h. Main thread only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/GrowArray.h"

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

struct WindowState {
  // The game's own size.
  int32_t gameWidth = 640, gameHeight = 480;
  // Client-area limits for the user's resizing, stored truncated; 0 or below: no limit.
  int32_t minWidth = -1, maxWidth = -1, minHeight = -1, maxHeight = -1;
  uint32_t colour = 0xFF000000u;  // kept with an opaque top byte
  bool captionSet = false;        // a caption was given (the empty one counts)
  std::string caption;
  int32_t cursor = 0;  // the last cursor constant
  ViewMapping mappings[kViewMappings];
  // Application-surface pixels per port unit (the room drawing sets them each frame).
  float portScaleX = 1.0f, portScaleY = 1.0f;
  // The application surface as the room drawing uses it: drawn into, put on the window at the end
  // of the frame, used this frame (copied from `appSurfaceEnabled` when a frame's drawing starts),
  // and the size it takes when it is enabled again.
  bool appSurfaceEnabled = true;
  bool appSurfaceAutoDraw = true;
  bool appSurfaceUsed = true;
  int32_t appSurfaceRequestedWidth = -1, appSurfaceRequestedHeight = -1;
};
extern WindowState g_Window;

// Shows the main window once and, when the game runs full screen, resets the device for windowed
// mode (closing an open frame without presenting and opening it again) so that a message box can
// be seen.
void GraphicsLeaveFullscreen();

// Stores a copy of the UTF-8 caption (null counts as empty) and makes it the window's title.
void GR_Window_SetCaption(const char* caption);
// The caption; null until one was set.
const char* GR_Window_GetCaption();

// The colour the window is cleared to around the game's view: stored opaque, read back as a
// script colour (the low 24 bits).
void GR_Window_SetColour(int32_t colour);
int32_t GR_Window_GetColour();

// The window's system cursor by cursor constant: 0 and -2 the arrow, -1 and -5 none (hidden),
// -3 to -22 the other system shapes (the up arrow and help show the arrow). The constant is kept
// (0 at first); any other value is only kept.
void GR_Window_SetCursor(int32_t cursor);
int32_t GR_Window_GetCursor();

// Fills mapping `index` and marks it in use; indices outside 0..31 are ignored.
void GR_Window_SetViewMapping(int32_t index, float portX, float portY, float portWidth, float portHeight, float viewX,
                              float viewY, float viewWidth, float viewHeight, float angle, int32_t surface);
void GR_Window_ClearViewMapping(int32_t index);
// Every mapping out of use.
void GR_Window_InitViewMappings();
const ViewMapping* GR_Window_GetViewMapping(int32_t index);
// The view being drawn (`view_current` of room/Room_Draw.h; 0 outside the room drawing's views).
int32_t GR_Window_GetDrawingView();
// The port position of a room point through mapping `index`: scaled from the view to the port
// (turned about the port's centre when the view is turned) and rounded to the nearest integer,
// halves to even. Without a usable mapping (index outside 0..31, not in use, a view of width or
// height 0) the point is only rounded.
void GR_Window_MapRoomToPort(int32_t index, float x, float y, int32_t* outX, int32_t* outY);

// The application area in client pixels: the whole window (the device's window size) unless the
// aspect ratio is kept and the application surface is used this frame; then the surface's stored
// size fitted into the window with bars on two sides, each half of the spare space, the first edge
// rounded down. A surface without a stored size also gives the whole window.
void GR_GetApplicationPosition(int32_t* left, int32_t* top, int32_t* right, int32_t* bottom);
int32_t GR_Window_GetGameWidth();
int32_t GR_Window_GetGameHeight();

// The room point under (x, y), client pixels relative to the application area, through mapping
// `index`: scaled to application-surface pixels, to port units (through the port scale), to view
// units, turned about the view's centre, rounded to the nearest integer (halves to even). Writes
// nothing for an index outside 0..31, a mapping out of use, a port of width or height 0, or a
// client area no wider (higher) than its bars.
void GR_Window_MapThroughView(int32_t index, int32_t x, int32_t y, int32_t* roomX, int32_t* roomY);
// The room point under a client point. Without a visible view of the current room that draws to
// the screen, the application area scaled to the room (to itself without a room); otherwise the
// views are tried from the highest index down and the first whose own area holds its result
// wins; when none does, the lowest view's result stands. Writes nothing when the client area is
// no wider (higher) than its bars.
void GR_Window_MapMouse(int32_t x, int32_t y, int32_t* roomX, int32_t* roomY);
// window_view_mouse_get_x / _y for a client point: both outputs start as the application area's
// left offset, then the point relative to the area is mapped through view `index`.
void GR_Window_MapViewMouse(int32_t index, int32_t x, int32_t y, int32_t* roomX, int32_t* roomY);
// The room point under pointer device `device` (0..9): its client position mapped as
// GR_Window_MapMouse does, or as it is without a current room. Any other device (negative ones
// too) answers 0.
int32_t GR_Window_GetMouseX(int32_t device);
int32_t GR_Window_GetMouseY(int32_t device);

// ---- Window requests ----

// Full screen on or off: nothing when that is the requested mode already; from windowed the
// current window size becomes the deferred windowed size; the device is reset at the next frame.
void GR_Window_SetFullscreen(bool on);
bool GR_Window_GetFullscreen();
// Requests a client size: nothing unless both are above 0; records the pending size and, unless
// the client area has that size already, the window is full screen or a change is further off,
// starts the ten-frame countdown that applies it.
void GR_Window_SetSize(int32_t width, int32_t height);
// Moves the window so that its client area starts at (x, y), keeping its size.
void GR_Window_SetPosition(int32_t x, int32_t y);
// Position, then size; the next device reset then keeps the window where it is.
void GR_Window_SetRectangle(int32_t x, int32_t y, int32_t width, int32_t height);
// Centres the window (outer size kept) on the first adapter's desktop.
void GR_Window_Centre();
// The client area's top left in screen pixels (0 without a window), and its size (0 without a
// window; the width query then logs "GetClientRect failed\n").
int32_t GR_Window_GetX();
int32_t GR_Window_GetY();
int32_t GR_Window_GetWidth();
int32_t GR_Window_GetHeight();
// The parts of the rectangle (x1, y1)-(x2, y2), screen pixels, on each monitor: 8 values per
// monitor appended to `out` in monitor order, all 0 to begin with; values 4-7 are the monitor's
// work area (left, top, right, bottom) when it can be read, and values 0-3 the rectangle's overlap
// with it when they overlap (strictly). Answers the number of monitors.
int32_t GR_Window_GetVisibleRects(double x1, double y1, double x2, double y2, GrowArray<double>* out);
// Moves the system cursor to a client point; only while the main window is active.
void GR_Window_SetMousePosition(int32_t x, int32_t y);

// Every window record back to its start values, as in a fresh process.
void GR_Window_Reset();
