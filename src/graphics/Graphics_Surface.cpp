#include "graphics/Graphics_Surface.h"

SurfaceState g_Surfaces;

void GR_Surface_FreeAll() { g_Surfaces.applicationSurfaceId = static_cast<int32_t>(0xFEEEDEADu); }
