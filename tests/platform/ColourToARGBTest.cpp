// The vertex colour of a script colour and an alpha, which every texture drawer uses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "platform/Colour.h"

namespace {

TEST(ColourToARGB, SwapsRedAndBlueAndPutsTheTruncatedAlphaOnTop) {
  struct Case {
    uint32_t colour;
    float alpha;
    uint32_t argb;
  };
  const Case cases[] = {
      {0x0000FF, 1.0f, 0xFFFF0000u},  // red in the low byte of a script colour
      {0xFF0000, 1.0f, 0xFF0000FFu},
      {0x123456, 0.0f, 0x00563412u},
      {0x00FF00, 0.5f, 0x7F00FF00u},  // 127.5 truncated
      {0xFFFFFF, 1.5f, 0xFFFFFFFFu},  // held to 255
      {0xFFFFFF, -0.1f, 0x00FFFFFFu}, // held to 0
      {0xFFFFFF, 0.999f, 0xFEFFFFFFu},
      {0xFFFFFF, NAN, 0x00FFFFFFu},   // NaN truncates to the most negative integer: alpha 0
      {0xFFFFFF, INFINITY, 0x00FFFFFFu},
      {0xAB123456, 1.0f, 0xFF563412u},  // the colour's top byte is not read
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Colour_ToARGB(c.colour, c.alpha), c.argb) << std::hex << c.colour << " " << c.alpha;
  }
}

}  // namespace
