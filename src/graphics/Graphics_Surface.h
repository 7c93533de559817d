// Surfaces: render-target textures that scripts create by id. Main thread only.
#pragma once

#include <cstdint>
#include <memory>

class TBitmap;

struct SurfaceState {
  // The id of the application surface; 0xFEEEDEAD once every surface has been freed, so the room
  // drawing makes a new one.
  int32_t applicationSurfaceId = -1;
};
extern SurfaceState g_Surfaces;

// Frees every surface (before a device reset and at shutdown).
void GR_Surface_FreeAll();

// A 32-bit bitmap of the w x h region at (x, y) of surface `id`, or null when `id` names no
// surface or the region cannot be read. Scripts have no surfaces of their own here, so every id
// answers null.
std::unique_ptr<TBitmap> GR_Surface_GetBitmap(int32_t id, int32_t x, int32_t y, int32_t w, int32_t h);
