// Drawing the current room once per frame (DrawRoom): the pre-draw pass, every visible view (or
// the whole room) into the application surface, the post-draw pass, the application surface onto
// the window, the GUI layer and the cursor sprite. DrawTheRoom draws one view: clear, background
// slots, instances, tiles and particle systems merged by depth, foreground slots, with the draw
// begin and draw end events. All drawing goes through the graphics layer's operations.
//
// The record below is the room drawing's process-wide state: the view being drawn
// (`view_current`), the cursor sprite drawn over each frame (`cursor_sprite`), and the GUI layer's
// coordinate space set by display_set_gui_size and display_set_gui_maximise. Runtime_Reset puts
// the record back; starting a game sets the cursor sprite back to -1; Room_ResetGlobals puts the
// GUI settings back. Main thread only.
#pragma once

#include <cstdint>

#include "platform/Maths.h"

class CInstance;
class CRoom;
struct RoomTile;

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

// Draw event numbers (event kind 8).
constexpr int32_t kDrawEventDraw = 0;
constexpr int32_t kDrawEventGui = 64;
constexpr int32_t kDrawEventBegin = 72;
constexpr int32_t kDrawEventEnd = 73;
constexpr int32_t kDrawEventGuiBegin = 74;
constexpr int32_t kDrawEventGuiEnd = 75;
constexpr int32_t kDrawEventPreDraw = 76;
constexpr int32_t kDrawEventPostDraw = 77;

// A rectangle of room pixels, edges inclusive.
struct DrawRegion {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The message of a frame whose drawing ends with a surface target still set.
constexpr const char* kUnbalancedSurfaceStack =
    "Unbalanced surface stack. You MUST use surface_reset_target() for each set.";

// Draws the frame. Nothing without a current room. Leaves `view_current` at 0. A frame that
// ends its views with a surface target still set reports kUnbalancedSurfaceStack (not fatal),
// resets the targets left set and draws no post-draw pass, GUI layer or cursor.
void DrawRoom();
// Draws the current room into the current target for the view area already set, seen through
// `region`.
void DrawTheRoom(const DrawRegion& region);
// Sets the visible region to `region`, then performs draw event `number` for each instance of the
// current room's active list from last to first (greatest depth first) that is neither marked
// nor deactivated, is visible and whose object (or an ancestor) handles it.
void PerformDrawEvent(const DrawRegion& region, int32_t number);
// The same; with `clearFirst` the target is cleared to the window colour just before the first
// handler runs. Answers whether it cleared.
bool PerformPreDrawEvent(const DrawRegion& region, int32_t number, bool clearFirst);
// The default draw: the draw handler when the object (or an ancestor) has one, else the sprite
// at the image index and position, scaled, turned and blended as the instance says.
void DrawInstance(CInstance* instance);

// One step of the depth-ordered part of a view: an instance, the particle systems of one depth,
// or a tile (an index of the room's tiles), with its depth.
struct DepthOrderItem {
  enum Kind { kInstance, kParticles, kTile } kind;
  CInstance* instance;  // kInstance
  int32_t tile;         // kTile
  float depth;
};
// Walks the room's drawable instances (not marked, not deactivated, visible; from the last of the
// active list to the first), visible tiles (in their sorted order) and the depths of the particle
// systems drawn automatically, greatest depth first; at equal depth an instance comes before the
// particle systems and they come before a tile. `visit` may draw: the next items are looked up
// after it returns.
void Room_WalkDepthOrder(CRoom& room, void (*visit)(void* context, const DepthOrderItem& item), void* context);
// Whether a tile's rectangle (from its position over its size times its scales, either order)
// meets `region`, edges inclusive.
bool Room_TileMeetsRegion(const RoomTile& tile, const DrawRegion& region);
