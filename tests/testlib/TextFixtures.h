// A font of fixed advances for text tests, installed as the built-in font of the text state
// (which deletes it): characters 10 to 127, every glyph 12 high at the top-left of its texture;
// letters, digits and signs 10 wide, the space 5, the line feed 3, the return 0, 'W' 30 and
// 'i' 11.
#pragma once

#include <cstdint>

#include "font/Font_Class.h"
#include "graphics/Graphics_Text.h"

namespace testsupport {

constexpr int32_t kFixedFontFirst = 10, kFixedFontLast = 127;

struct FixedFontRects {
  unsigned char r[kFixedFontLast - kFixedFontFirst + 1][4] = {};
  FixedFontRects() {
    for (int32_t c = kFixedFontFirst; c <= kFixedFontLast; ++c) {
      unsigned char w = 10;
      if (c == ' ') w = 5;
      if (c == '\n') w = 3;
      if (c == '\r') w = 0;
      if (c == 'W') w = 30;
      if (c == 'i') w = 11;
      r[c - kFixedFontFirst][2] = w;
      r[c - kFixedFontFirst][3] = 12;
    }
  }
};

// Installs the font over texture `texture` (-1: it measures but draws nothing) and selects the
// built-in font.
inline void InstallFixedFont(int32_t texture = -1) {
  static const FixedFontRects rects;
  delete g_Text.builtinFont;
  g_Text.builtinFont = new CFontTW();
  g_Text.builtinFont->ConstructBuiltIn(rects.r, kFixedFontFirst, kFixedFontLast, texture);
  g_Text.currentFont = -1;
}

}  // namespace testsupport
