#include "graphics/Graphics_Surface.h"

int32_t g_ApplicationSurfaceId = -1;

void GR_Surface_FreeAll() { g_ApplicationSurfaceId = static_cast<int32_t>(0xFEEEDEADu); }
