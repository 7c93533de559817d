// The draw colour and alpha of 2-D drawing. Colours given here are script colours (0xBBGGRR,
// red in the low byte); the draw colour is kept as a vertex colour (0xAARRGGBB) whose top byte
// is the draw alpha. Main thread only.
#pragma once

#include <cstdint>

struct PrimitiveState {
  uint32_t drawColour = 0xFF000000u;  // opaque black
  uint8_t drawAlpha = 255;
};
extern PrimitiveState g_Primitives;

// Alpha held to 0..1 (NaN as 0), times 255, truncated.
uint8_t AlphaToByte(float alpha);
// The vertex colour of a script colour and an alpha byte.
uint32_t ColourWithAlpha(uint32_t colour, uint8_t alpha);
// draw_set_colour, draw_set_alpha.
void GR_SetColour(uint32_t colour);
void GR_SetAlpha(float alpha);
// The draw colour as a script colour, the alpha byte still on top (draw_get_colour).
uint32_t GR_GetColour();
// The draw alpha / 255 (draw_get_alpha).
float GR_GetAlpha();
