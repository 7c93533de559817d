// Surfaces: off-screen drawing areas that scripts create, draw into, draw onto other targets,
// read back and free. A surface is a render-target entry of the texture table plus a Surface
// record, kept in a table keyed by the id scripts hold. Ids come from a counter that only grows,
// so a freed id is never handed out again.
//
// The surface target stack: while a surface is render target 0, every draw goes into it with a
// viewport and 2-D view of its own size; resetting the target gives the previous target back with
// its viewport and view. Each level of target 0 saves 14 words of view state here and one level
// of the render-target stack (graphics/Graphics_HardwareTexture.h, 8 levels), so surface targets
// nest at most 8 deep. The room drawing shares the saved view state stack and checks that it is
// empty when a frame's drawing ends.
//
// The application surface (the image the room is drawn into) is made and resized by the room
// drawing; here its id is protected from an unforced free and its size reads the stored one.
// 0xFEEEDEAD (as an i32) is the id of no application surface.
//
// Surfaces do not survive a device reset: GR_Surface_FreeAll runs before it, at shutdown and in
// the texture table's free-all. Main thread only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

class TBitmap;

// The application surface id when there is none.
constexpr int32_t kNoApplicationSurface = static_cast<int32_t>(0xFEEEDEADu);

// Words of one saved level: viewport x, y, width, height; view area x, y, width, height, angle
// (whole numbers, truncated); the custom-orthographic flag; the surfaces of target slots 0..3.
constexpr int32_t kSurfaceLevelWords = 14;
constexpr int32_t kSurfaceStackWords = 516;
// A new level is refused once the stack holds more words than this.
constexpr int32_t kSurfaceStackLimit = 496;
constexpr int32_t kSurfaceTargetSlots = 4;

struct Surface {
  int32_t id = 0;
  int32_t textureId = -1;  // render-target entry of the texture table; -1 once given back
  int32_t width = 0;
  int32_t height = 0;
};

struct SurfaceState {
  std::map<int32_t, Surface> table;  // by id
  int32_t nextId = 0;                // where the search for a free id starts; only grows
  int32_t targets[kSurfaceTargetSlots] = {-1, -1, -1, -1};
  int32_t savedWords[kSurfaceStackWords] = {};
  int32_t savedCount = 0;
  int32_t applicationSurfaceId = kNoApplicationSurface;
  // The size the application surface was last made with (1 x 1 after a failed creation).
  int32_t applicationWidth = -1, applicationHeight = -1;
  // A size surface_resize asked for the application surface; the room drawing applies it.
  bool applicationResizePending = false;
  int32_t pendingWidth = -1, pendingHeight = -1;
};
extern SurfaceState g_Surfaces;

// A new surface (id below 0: the next free id from the counter) or a new texture for the surface
// `id` already in the table. Answers the id, or -1 when the id is not in the table or the device
// cannot make a width x height render target; the entry is then removed from the table.
int32_t GR_Surface_Create(int32_t width, int32_t height, int32_t id);
bool GR_Surface_Exists(int32_t id);
// The record, or null.
Surface* GR_Surface_Get(int32_t id);
// Size in pixels; the application surface's stored size for its id; -1 for an id without record.
int32_t GR_Surface_GetWidth(int32_t id);
int32_t GR_Surface_GetHeight(int32_t id);
// The texture id; -1 for an id without record.
int32_t GR_Surface_GetTexture(int32_t id);
// Gives back the texture (resetting the target first when the surface is one) and removes the
// record. The application surface is kept unless forced. True when an entry was removed.
bool GR_Surface_Free(int32_t id, bool force);
// Gives back the texture and makes a new one of width x height under the same id. False when the
// id has no record or the new texture cannot be made (the surface is then gone).
bool GR_Surface_Resize(int32_t id, int32_t width, int32_t height);
// Makes the surface target `slot` (0..3). Slot 0 saves the view state and the render targets
// first and draws in surface pixels afterwards; slots 1..3 save nothing. The same surface again
// in a slot does nothing and answers true. A ninth nested level reports "surface stack is full -
// ensure surface_reset_target() is called for each surface_set_target()." and answers false,
// keeping the current target. False without a device or for an id without record.
bool GR_Surface_SetTarget(int32_t slot, int32_t id);
// Restores the render targets, the target slots, the custom-orthographic flag, the viewport and
// the view area of the last level; while the room drawing runs the GUI events the GUI projection
// (room/Room_View.h) is set instead of the saved viewport and view area. False without a device
// or with nothing to restore.
bool GR_Surface_ResetTarget();
// True when no surface target level is saved (the room drawing checks it at the end of a frame).
bool GR_Surface_StackEmpty();

// Drawing a surface's texture through the textured-quad drawers; an id without record draws
// nothing. Angles in degrees; colours are script colours (0xBBGGRR).
void GR_Surface_Draw(int32_t id, float x, float y);
void GR_Surface_DrawExt(int32_t id, float x, float y, float xscale, float yscale, float angle, uint32_t colour,
                        float alpha);
// Nothing when width or height, or the surface's own width or height, is not above 0.
void GR_Surface_DrawStretched(int32_t id, float x, float y, float width, float height, uint32_t colour, float alpha);
void GR_Surface_DrawPart(int32_t id, float left, float top, float width, float height, float x, float y, float xscale,
                         float yscale, uint32_t colour, float alpha);
void GR_Surface_DrawGeneral(int32_t id, float left, float top, float width, float height, float x, float y,
                            float xscale, float yscale, float angle, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4,
                            float alpha);
// Tiled over the area from (left, top) to (right, bottom).
void GR_Surface_DrawTiled(int32_t id, float x, float y, float xscale, float yscale, bool horizontal, bool vertical,
                          float left, float top, float right, float bottom, uint32_t colour, float alpha);

// The largest side of a region read back from a surface into a bitmap or a file.
constexpr int32_t kSurfaceMaxRegionSide = 16384;
// A new 32-bit bitmap of the region (x, y, width, height) of the surface (zero beyond the
// texture). Null without a device, for an id without texture, for a side below 1 or above
// kSurfaceMaxRegionSide, or when the read-back fails.
std::unique_ptr<TBitmap> GR_Surface_GetBitmap(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height);
// Gives back every surface's texture (resetting targets where needed), empties the table and sets
// the application surface id to kNoApplicationSurface. The id counter keeps its value.
void GR_Surface_FreeAll();
