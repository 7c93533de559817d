#include "platform/Colour.h"

#include <algorithm>

#include "platform/Numeric.h"

namespace {

// The integer part of x + 0.5, held to a byte.
uint8_t ToByte(double x) {
  const int32_t i = num::TruncInt32(x + 0.5);
  return static_cast<uint8_t>(std::clamp<int32_t>(i, 0, 255));
}

uint32_t Channel(uint32_t colour, int shift) { return (colour >> shift) & 0xFFu; }

// One mixed channel, a * g + b * f in double precision rounded half to even, reduced modulo
// 256. Results outside the 64-bit range (and NaN) come back as the most negative value, whose low
// byte is 0: every double that large is a multiple of 256 anyway, so the reduction stays right
// for every finite value.
uint32_t MixChannel(uint32_t a, uint32_t b, double f, double g) {
  const double mixed = static_cast<double>(a) * g + static_cast<double>(b) * f;
  const int64_t rounded = num::TruncInt64(num::RoundHalfEven(mixed));
  return static_cast<uint32_t>(static_cast<uint64_t>(rounded) & 0xFFu);
}

}  // namespace

HSVBytes ColourToHSV(uint32_t colour) {
  const float r = static_cast<float>(Channel(colour, 0)) / 255.0f;
  const float g = static_cast<float>(Channel(colour, 8)) / 255.0f;
  const float b = static_cast<float>(Channel(colour, 16)) / 255.0f;
  const float max = std::max(r, std::max(g, b));
  const float min = std::min(r, std::min(g, b));
  const float v = max;
  const float s = max == 0.0f ? 0.0f : (max - min) / max;

  float hue = 0.0f;
  if (s != 0.0f) {
    const float d = max - min;
    if (r == max)
      hue = 60.0f * (g - b) / d;
    else if (g != max)
      hue = 60.0f * (r - g) / d + 240.0f;
    else
      hue = 60.0f * (b - r) / d + 120.0f;
    if (hue < 0.0f) hue += 360.0f;
  }

  return HSVBytes{ToByte(hue * 255.0f / 360.0f), ToByte(s * 255.0f), ToByte(v * 255.0f)};
}

uint32_t HSVToColour(uint8_t h, uint8_t s, uint8_t v) {
  const double sat = s / 255.0;
  const double val = v / 255.0;
  double red = val, green = val, blue = val;

  if (sat != 0.0) {
    double hue = h * 360.0 / 255.0;
    if (hue == 360.0) hue = 0.0;
    hue /= 60.0;
    const int32_t sector = num::TruncInt32(hue);  // 0..5
    const double f = hue - sector;
    const double p = val * (1.0 - sat);
    const double q = val * (1.0 - sat * f);
    const double t = val * (1.0 - sat * (1.0 - f));
    switch (sector) {
      case 0: red = val; green = t;   blue = p;   break;
      case 1: red = q;   green = val; blue = p;   break;
      case 2: red = p;   green = val; blue = t;   break;
      case 3: red = p;   green = q;   blue = val; break;
      case 4: red = t;   green = p;   blue = val; break;
      default: red = val; green = p;  blue = q;   break;
    }
  }

  return static_cast<uint32_t>(ToByte(red * 255.0)) | static_cast<uint32_t>(ToByte(green * 255.0)) << 8 |
         static_cast<uint32_t>(ToByte(blue * 255.0)) << 16;
}

namespace {

uint32_t MixColours(uint32_t a, uint32_t b, double f, double g) {
  return MixChannel(Channel(a, 0), Channel(b, 0), f, g) | MixChannel(Channel(a, 8), Channel(b, 8), f, g) << 8 |
         MixChannel(Channel(a, 16), Channel(b, 16), f, g) << 16;
}

}  // namespace

uint32_t MergeColour(uint32_t a, uint32_t b, float amount) {
  // The weights are single precision; the products and the sum are exact in double, so a tie is
  // a true tie.
  const float f = amount;
  const float g = 1.0f - f;
  return MixColours(a, b, f, g);
}

uint32_t ColourMerge(uint32_t a, uint32_t b, double t) { return MixColours(a, b, t, 1.0 - t); }

uint32_t Colour_ToARGB(uint32_t colour, float alpha) {
  // Truncated toward zero first (NaN and out-of-range values give the most negative integer),
  // then held to 0..255.
  const int32_t truncated = num::TruncInt32(static_cast<double>(alpha) * 255.0);
  const uint32_t a = truncated > 255 ? 255u : truncated > 0 ? static_cast<uint32_t>(truncated) : 0u;
  return a << 24 | (colour & 0xFFu) << 16 | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}

uint32_t ColourWithCorner(uint32_t argb, uint32_t corner) {
  return (argb & ~0x00010001u) | (corner & 1u) | ((corner >> 1) & 1u) << 16;
}

int32_t MakeColourRGB(int32_t red, int32_t green, int32_t blue) {
  return static_cast<int32_t>(static_cast<uint32_t>(red) + static_cast<uint32_t>(green) * 256u +
                              static_cast<uint32_t>(blue) * 65536u);
}

uint8_t AlphaToByte(float alpha) {
  if (!(alpha > 0.0f)) return 0;
  if (alpha > 1.0f) alpha = 1.0f;
  return static_cast<uint8_t>(alpha * 255.0f);
}

uint32_t ColourWithAlpha(uint32_t colour, uint8_t alpha) {
  return static_cast<uint32_t>(alpha) << 24 | (colour & 0xFFu) << 16 | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}

uint32_t ColourFromARGB(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
  return static_cast<uint32_t>(alpha) << 24 | static_cast<uint32_t>(red) << 16 | static_cast<uint32_t>(green) << 8 |
         blue;
}

uint32_t ColourReplaceAlpha(uint32_t argb, uint8_t alpha) {
  return (argb & 0xFFFFFFu) | static_cast<uint32_t>(alpha) << 24;
}

void PackRGB(uint8_t* record, uint8_t x, uint8_t y, uint8_t z) {
  record[0] = z;
  record[1] = y;
  record[2] = x;
}

void MakeBytes3(uint8_t* buffer, uint8_t x, uint8_t y, uint8_t z) {
  buffer[0] = x;
  buffer[1] = y;
  buffer[2] = z;
}

uint32_t BytesToInt24(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) << 16 | static_cast<uint32_t>(bytes[1]) << 8 | bytes[2];
}
