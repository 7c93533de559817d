#include "graphics/Graphics_Text.h"

#include <cmath>

#include "base/Common.h"
#include "base/Utf8.h"
#include "debug/Debug_Overlay.h"
#include "debug/Debug_State.h"
#include "font/Font_Class.h"
#include "font/Font_Main.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Texture.h"
#include "platform/MemoryManager.h"

TextState g_Text;

namespace {

constexpr int32_t kNoWrap = 10000000;
constexpr char16_t kCR = 13;
constexpr char16_t kLF = 10;
constexpr char16_t kSpace = 32;
constexpr uint32_t kTextBarColour = 0xFFFFFF00u;

// The built-in font over the overlay's font texture; its glyphs still measure when the texture
// cannot be made (it then draws nothing).
CFontTW* BuiltinFont() {
  TextState& t = g_Text;
  if (t.builtinFont != nullptr) return t.builtinFont;
  HardwareTexture* sheet = DebugOverlay_FontTexture();
  t.builtinTexture = sheet != nullptr ? GR_Texture_CreateFromHardware(256, 128, sheet) : -1;
  t.builtinFont = new CFontTW();
  t.builtinFont->ConstructBuiltIn(g_BuiltinFontGlyphs, kBuiltinFontFirst, kBuiltinFontLast, t.builtinTexture);
  return t.builtinFont;
}

int32_t Advance(const CFontTW* font, char16_t c) { return font != nullptr ? font->GetCharWidth(c) : 0; }

// The separation, or the active font's line height for one below 0.
int32_t LineSeparation(int32_t separation) {
  if (separation >= 0) return separation;
  return g_Text.activeFont != nullptr ? g_Text.activeFont->TextHeight() : 0;
}

int32_t LineWidth(const char16_t* line) { return g_Text.activeFont != nullptr ? g_Text.activeFont->TextWidth(line) : 0; }

// Opens the "Text" timing bar for the life of a plain or transformed draw.
struct TextTimingBar {
  TextTimingBar() { TimingMarkerPush(kTextBarColour, "Text"); }
  ~TextTimingBar() { TimingMarkerPop(); }
  TextTimingBar(const TextTimingBar&) = delete;
  TextTimingBar& operator=(const TextTimingBar&) = delete;
};

struct Corners {
  uint32_t c1, c2, c3, c4;
  float alpha;
};

void DrawLines(float x, float y, const char* text, int32_t separation, int32_t wrapWidth, const Corners* corners) {
  GR_Text_SelectFont();
  TStringList lines;
  Text_SplitLines(text, wrapWidth, &lines);
  const int32_t s = LineSeparation(separation);
  const int32_t count = lines.Count();
  // In 64 bits: a huge separation times the line count must not overflow.
  if (g_Text.valign == 1) y -= static_cast<float>(static_cast<int64_t>(s) * count / 2);
  if (g_Text.valign == 2) y -= static_cast<float>(static_cast<int64_t>(s) * count);
  CFontTW* font = g_Text.activeFont;
  const uint32_t colour = GR_GetColour() & 0xFFFFFFu;
  const float alpha = GR_GetAlpha();
  for (int32_t i = 0; i < count; ++i) {
    const char16_t* line = lines.Get(i);
    if (line[0] != 0) {
      const int32_t width = LineWidth(line);
      const int32_t offset = g_Text.halign == 1 ? -(width / 2) : g_Text.halign == 2 ? -width : 0;
      const float lx = x + static_cast<float>(offset);
      if (corners != nullptr) {
        font->DrawColour(lx, y, line, corners->c1, corners->c2, corners->c3, corners->c4, corners->alpha);
      } else {
        font->Draw(lx, y, line, colour, alpha);
      }
    }
    y += static_cast<float>(s);
  }
}

void DrawLinesTransformed(float x, float y, const char* text, int32_t separation, int32_t wrapWidth, float xscale,
                          float yscale, float angle, const Corners* corners) {
  GR_Text_SelectFont();
  TStringList lines;
  Text_SplitLines(text, wrapWidth, &lines);
  const float s = static_cast<float>(LineSeparation(separation));
  const int32_t count = lines.Count();
  const float radians = angle * 3.1415927f / 180.0f;
  const float c = std::cos(radians);
  const float n = std::sin(radians);
  const float stepX = n * yscale * s;
  const float stepY = c * yscale * s;
  const float lines_f = static_cast<float>(count);
  if (g_Text.valign == 1) {
    x -= lines_f * stepX * 0.5f;
    y -= lines_f * stepY * 0.5f;
  } else if (g_Text.valign == 2) {
    x -= lines_f * stepX;
    y -= lines_f * stepY;
  }
  CFontTW* font = g_Text.activeFont;
  const uint32_t colour = GR_GetColour() & 0xFFFFFFu;
  const float alpha = GR_GetAlpha();
  for (int32_t i = 0; i < count; ++i) {
    const char16_t* line = lines.Get(i);
    if (line[0] != 0) {
      const float width = static_cast<float>(LineWidth(line));
      const float o = g_Text.halign == 1 ? -(width * xscale * 0.5f) : g_Text.halign == 2 ? -(width * xscale) : 0.0f;
      const float lx = x + o * c;
      const float ly = y - o * n;
      if (corners != nullptr) {
        font->DrawTransformedColour(lx, ly, line, xscale, yscale, angle, corners->c1, corners->c2, corners->c3,
                                    corners->c4, corners->alpha);
      } else {
        font->DrawTransformed(lx, ly, line, xscale, yscale, angle, colour, alpha);
      }
    }
    x += stepX;
    y += stepY;
  }
}

}  // namespace

// ---- TStringList ----

void TStringList::Clear() {
  m_lines.Free();
  m_text.Free();
}

const char16_t* TStringList::Get(int32_t n) const {
  if (n < 0 || n >= m_lines.Count()) return nullptr;
  return m_text.Data() + m_lines[n];
}

// ---- Splitting ----

void Text_SplitLines(const char* text, int32_t wrapWidth, TStringList* list) {
  if (text == nullptr) return;
  if (wrapWidth < 0) wrapWidth = kNoWrap;
  const bool wrap = wrapWidth != kNoWrap;
  const int64_t w = wrapWidth;
  list->Clear();

  // The conversion rewrites its text: it works on a copy of the caller's.
  char* copy = MemoryManager::DuplicateText(text);
  const int32_t converted = ConvertHashToNewline(copy);
  GrowArray<char16_t>& buffer = list->Text();
  buffer.SetCount(static_cast<int64_t>(converted) + 1);
  char16_t* B = buffer.Data();
  const char* in = copy;
  int32_t n = 0;
  while (n < converted && *in != '\0') B[n++] = static_cast<char16_t>(Utf8DecodeChar(&in));
  B[n] = 0;
  MemoryManager::Free(copy);

  const CFontTW* font = g_Text.activeFont;
  int32_t d = 0;
  while (d < n) {
    int32_t e = d;
    if (!wrap) {
      while (e < n && B[e] != kCR && B[e] != kLF) ++e;
    } else {
      int32_t i = d;
      while (i < n && B[i] == kSpace) ++i;  // leading spaces stay in the line, unmeasured
      int64_t sum = 0;
      while (i < n && sum < w) {
        if (B[i] == kCR) break;
        sum += Advance(font, B[i]);
        ++i;
      }
      if (sum > w) --i;  // the character that overflowed goes to the next line
      if (B[i] == kCR) {
        e = i;
      } else {
        if (i == d) break;  // the first character is wider than the width: no more lines
        if (i < n && B[i] != kSpace) {
          // The break falls inside a word: back to the space before it.
          while (i > d && B[i] != kSpace) --i;
        }
        if (i > d) {
          while (i > d && B[i - 1] == kSpace) --i;
        } else {
          // A word wider than the width makes a line of its own.
          while (B[i] != kSpace && B[i] != 0) ++i;
        }
        if (i == d) {
          ++d;  // drops one leading space
          continue;
        }
        e = i;
      }
    }
    B[e] = 0;
    list->Add(d);
    d = e + 1;
  }
}

// ---- State ----

void GR_Text_SetFont(int32_t font) {
  if (Font_Exists(font)) {
    g_Text.currentFont = font;
    return;
  }
  BuiltinFont();
  g_Text.currentFont = -1;
}

void GR_Text_SetHAlign(int32_t align) { g_Text.halign = align == 1 || align == 2 ? align : 0; }

void GR_Text_SetVAlign(int32_t align) { g_Text.valign = align == 1 || align == 2 ? align : 0; }

void GR_Text_SelectFont() {
  CFontTW* font = Font_Exists(g_Text.currentFont) ? Font_Data(g_Text.currentFont) : nullptr;
  g_Text.activeFont = font != nullptr ? font : BuiltinFont();
}

void GR_Text_Init() {
  TextState& t = g_Text;
  delete t.builtinFont;
  // The entry holds the overlay's font texture: freeing it frees that texture, which the overlay
  // then forgets.
  if (t.builtinTexture >= 0 && GR_Texture_GetHardware(t.builtinTexture) != nullptr &&
      GR_Texture_GetHardware(t.builtinTexture) == g_Debug.overlay.fontTexture) {
    GR_Texture_Free(t.builtinTexture);
  }
  DebugOverlay_ForgetFontTexture();
  t = TextState{};
  GR_SetColour(0);
  GR_SetAlpha(1.0f);
}

// ---- Measuring ----

int32_t GR_Text_Width(const char* text, int32_t, int32_t wrapWidth) {
  if (text == nullptr) return 0;
  GR_Text_SelectFont();
  TStringList lines;
  Text_SplitLines(text, wrapWidth, &lines);
  int32_t widest = 0;
  for (int32_t i = 0; i < lines.Count(); ++i) {
    const int32_t width = LineWidth(lines.Get(i));
    if (width > widest) widest = width;
  }
  return widest;
}

int32_t GR_Text_Height(const char* text, int32_t separation, int32_t wrapWidth) {
  if (text == nullptr) return 0;
  GR_Text_SelectFont();
  TStringList lines;
  Text_SplitLines(text, wrapWidth, &lines);
  if (lines.Count() == 0) return 0;
  const int64_t s = LineSeparation(separation);
  const int64_t height = g_Text.activeFont->TextHeight() + s * (lines.Count() - 1);
  return static_cast<int32_t>(height);
}

// ---- Drawing ----

void GR_Text_Draw(float x, float y, const char* text, int32_t separation, int32_t wrapWidth) {
  const TextTimingBar bar;
  DrawLines(x, y, text, separation, wrapWidth, nullptr);
}

void GR_Text_DrawTransformed(float x, float y, const char* text, int32_t separation, int32_t wrapWidth, float xscale,
                             float yscale, float angle) {
  const TextTimingBar bar;
  DrawLinesTransformed(x, y, text, separation, wrapWidth, xscale, yscale, angle, nullptr);
}

void GR_Text_DrawColour(float x, float y, const char* text, int32_t separation, int32_t wrapWidth, uint32_t c1,
                        uint32_t c2, uint32_t c3, uint32_t c4, float alpha) {
  const Corners corners{c1, c2, c3, c4, alpha};
  DrawLines(x, y, text, separation, wrapWidth, &corners);
}

void GR_Text_DrawTransformedColour(float x, float y, const char* text, int32_t separation, int32_t wrapWidth,
                                   float xscale, float yscale, float angle, uint32_t c1, uint32_t c2, uint32_t c3,
                                   uint32_t c4, float alpha) {
  const Corners corners{c1, c2, c3, c4, alpha};
  DrawLinesTransformed(x, y, text, separation, wrapWidth, xscale, yscale, angle, &corners);
}
