// Surfaces: render-target textures that scripts create by id. Main thread only.
#pragma once

#include <cstdint>

// The id of the application surface; 0xFEEEDEAD once every surface has been freed, so the room
// drawing makes a new one.
extern int32_t g_ApplicationSurfaceId;

// Frees every surface (before a device reset and at shutdown).
void GR_Surface_FreeAll();
