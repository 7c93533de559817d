#include "graphics/Graphics_Primitive.h"

PrimitiveState g_Primitives;

uint8_t AlphaToByte(float alpha) {
  if (!(alpha > 0.0f)) return 0;
  if (alpha > 1.0f) alpha = 1.0f;
  return static_cast<uint8_t>(alpha * 255.0f);
}

uint32_t ColourWithAlpha(uint32_t colour, uint8_t alpha) {
  return static_cast<uint32_t>(alpha) << 24 | (colour & 0xFFu) << 16 | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}

void GR_SetColour(uint32_t colour) { g_Primitives.drawColour = ColourWithAlpha(colour, g_Primitives.drawAlpha); }

void GR_SetAlpha(float alpha) {
  PrimitiveState& p = g_Primitives;
  p.drawAlpha = AlphaToByte(alpha);
  p.drawColour = (p.drawColour & 0xFFFFFFu) | static_cast<uint32_t>(p.drawAlpha) << 24;
}

uint32_t GR_GetColour() {
  const uint32_t c = g_Primitives.drawColour;
  return (c & 0xFF00FF00u) | (c & 0xFFu) << 16 | ((c >> 16) & 0xFFu);
}

float GR_GetAlpha() { return static_cast<float>(g_Primitives.drawAlpha) / 255.0f; }
