// Every colour form of the program and the conversions between them, for the colour built-ins,
// the primitives, the particle system and the fonts.
//
// A colour (a script colour) is a 24-bit value with red in bits 0-7, green in bits 8-15 and blue
// in bits 16-23; the top byte is 0. Alpha beside it is a number 0..1. A vertex colour is the
// device's 0xAARRGGBB word. Hue, saturation and value are bytes 0..255, the hue byte covering
// the whole circle (255 standing for 360 degrees).
#pragma once

#include <cstdint>

struct HSVBytes {
  uint8_t h;
  uint8_t s;
  uint8_t v;
};

// Hue, saturation and value of a colour (computed in single precision).
HSVBytes ColourToHSV(uint32_t colour);
// The colour for a hue, saturation and value.
uint32_t HSVToColour(uint8_t h, uint8_t s, uint8_t v);
// Mixes two colours channel by channel: a * (1 - amount) + b * amount, rounded half to even.
// Amounts outside 0..1 wrap each channel modulo 256; NaN or infinite results give 0.
uint32_t MergeColour(uint32_t a, uint32_t b, float amount);
// The gradients' mix: each channel a * (1 - t) + b * t in double precision, t unclamped, rounded
// half to even and reduced modulo 256; the top bytes of a and b are not read.
uint32_t ColourMerge(uint32_t a, uint32_t b, double t);
// The vertex colour 0xAARRGGBB of a colour and an alpha 0..1: alpha x 255 in double precision,
// truncated toward zero as num::TruncInt32 does, then held to 0..255 (NaN and values beyond the
// 32-bit range truncate to the most negative integer and give 0).
uint32_t Colour_ToARGB(uint32_t colour, float alpha);

// A vertex colour carrying a quad corner number for shaders in the low bits of blue (bit 0) and
// red (bit 16): top-left 0 (both clear), top-right 1 (blue), bottom-right 2 (red), bottom-left 3
// (both).
uint32_t ColourWithCorner(uint32_t argb, uint32_t corner);

// make_colour_rgb: red + green x 256 + blue x 65536 in wrapping 32-bit arithmetic, nothing
// clamped (256 red spills into green).
int32_t MakeColourRGB(int32_t red, int32_t green, int32_t blue);
// Alpha held to 0..1 (NaN as 0), times 255, truncated.
uint8_t AlphaToByte(float alpha);
// The vertex colour of a colour and an alpha byte (red and blue swapped, alpha on top).
uint32_t ColourWithAlpha(uint32_t colour, uint8_t alpha);
// The vertex colour of four bytes.
uint32_t ColourFromARGB(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);
// A vertex colour with its top byte replaced.
uint32_t ColourReplaceAlpha(uint32_t argb, uint8_t alpha);

// Stores z, y, x in record[0], record[1], record[2].
void PackRGB(uint8_t* record, uint8_t x, uint8_t y, uint8_t z);
// Stores x, y, z in buffer[0], buffer[1], buffer[2].
void MakeBytes3(uint8_t* buffer, uint8_t x, uint8_t y, uint8_t z);
// (bytes[0] << 16) | (bytes[1] << 8) | bytes[2].
uint32_t BytesToInt24(const uint8_t* bytes);
