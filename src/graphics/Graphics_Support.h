// Screen and surface saving as PNG files in the save area.
#pragma once

#include <cstdint>

#include "graphics/PNG_Writer.h"

// ---- Screen and surface saving ----
//
// Pixels travel as 4-byte pixels, rows top to bottom with no gap. The device read-back gives each
// pixel's bytes as B, G, R, A; the PNG writer wants R, G, B, A.

// Exchanges bytes 0 and 2 of every pixel in place.
void SwapRedBlue(uint8_t* pixels, int32_t width, int32_t height);
// Sets byte 3 of every pixel to 255 in place.
void SetAlphaOpaque(uint8_t* pixels, int32_t width, int32_t height);

// Writes the width x height RGBA pixels as a PNG file under `name` mapped into the save area,
// creating the missing directories on the way. False, with nothing logged, when the name is
// refused or the file cannot be opened; false after a "[write_png_file] ..." line on the debug
// console when the encoder fails (the file is still closed).
bool write_png_file(const char* name, const uint8_t* pixels, int32_t width, int32_t height);

// screen_save: the current render target (the back buffer, or the surface that is target 0),
// from (0, 0), at most the client size, written fully opaque. A null or empty name reports
// "Trying to save screen to empty image file name.".
void GR_Save_Screen(const char* name);
// screen_save_part: the part (x, y, width, height) of it, cut to the client size (a negative x
// shrinks the width by as much); nothing when a side ends below 1.
void GR_Save_ScreenPart(const char* name, int32_t x, int32_t y, int32_t width, int32_t height);
// surface_save: the whole surface with its own alpha. An id that is no surface reports "Trying to
// use non-existing surface.", a null or empty name "Trying to save surface to empty image file
// name.".
void GR_Save_Surface(int32_t id, const char* name);
// surface_save_part: the region (x, y, width, height) of the surface, zero beyond its texture;
// nothing for a side below 1 or above kSurfaceMaxRegionSide.
void GR_Save_SurfacePart(int32_t id, const char* name, int32_t x, int32_t y, int32_t width, int32_t height);
