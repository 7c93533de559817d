// Surfaces: render-target textures that scripts create by id. Main thread only.
#pragma once

#include <cstdint>

struct SurfaceState {
  // The id of the application surface; 0xFEEEDEAD once every surface has been freed, so the room
  // drawing makes a new one.
  int32_t applicationSurfaceId = -1;
};
extern SurfaceState g_Surfaces;

// Frees every surface (before a device reset and at shutdown).
void GR_Surface_FreeAll();
