#include "graphics/Graphics_Surface.h"

#include "graphics/TBitmap.h"

SurfaceState g_Surfaces;

void GR_Surface_FreeAll() { g_Surfaces.applicationSurfaceId = static_cast<int32_t>(0xFEEEDEADu); }

std::unique_ptr<TBitmap> GR_Surface_GetBitmap(int32_t, int32_t, int32_t, int32_t, int32_t) { return nullptr; }
