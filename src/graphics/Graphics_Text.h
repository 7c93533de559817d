// Text drawing and measuring in the current font.
//
// A text operation takes a UTF-8 text, turns "#" into line breaks ("\#" stands for a literal
// "#"), splits it into lines (word-wrapped to a width in pixels when one is given) and hands each
// line as UTF-16 to the font (CFontTW), which puts its glyph quads on the vertex batch. The "#"
// conversion works on a private copy: the caller's text is never written to.
//
// The text state (current font, alignments, the built-in font) is one process-wide record,
// g_Text; GR_Text_Init puts it back to its defaults and deletes the built-in font. The built-in
// font ("debug", characters 32 to 136) draws from the debug overlay's font texture; it is made
// the first time an operation or GR_Text_SetFont needs it.
//
// A separation below 0 means the font's line height; a wrap width below 0 means no wrapping.
// Colours are script colours (0xBBGGRR), alphas 0..1. Main thread only.
#pragma once

#include <cstdint>

#include "platform/GrowArray.h"

class CFontTW;

struct TextState {
  int32_t currentFont = -1;  // a font resource index; -1: the built-in font
  int32_t halign = 0;        // 0 left, 1 centre, 2 right
  int32_t valign = 0;        // 0 top, 1 middle, 2 bottom
  CFontTW* builtinFont = nullptr;  // owned; made on first need
  int32_t builtinTexture = -1;     // the texture entry made over the overlay's font texture
  CFontTW* activeFont = nullptr;   // borrowed: the font of the running operation
};
extern TextState g_Text;

// The lines of one text operation: one UTF-16 copy of the text in which every line is a
// zero-terminated run. Lives on the stack of the operation that fills it.
class TStringList {
 public:
  TStringList() = default;
  ~TStringList() { Clear(); }
  TStringList(const TStringList&) = delete;
  TStringList& operator=(const TStringList&) = delete;

  // Frees the lines and the text; count 0.
  void Clear();
  // Appends the line that starts at unit `start` of the text.
  void Add(int32_t start) { m_lines.Push(start); }
  int32_t Count() const { return m_lines.Count(); }
  // The n-th line, or null when n is out of range.
  const char16_t* Get(int32_t n) const;
  // The text the lines point into (the list owns it).
  GrowArray<char16_t>& Text() { return m_text; }

 private:
  GrowArray<int32_t> m_lines;
  GrowArray<char16_t> m_text;
};

// Fills `list` with the lines of `text`, measured in the active font (g_Text.activeFont, which
// must be set). A null text leaves the list untouched. Without wrapping a line ends at a carriage
// return or a line feed. With wrapping only carriage returns (and "#") break lines; a line breaks
// at the last space that fits (spaces at the break are dropped, spaces before a carriage return
// stay), a word wider than the width stands alone, and a line whose first character is wider than
// the width ends the splitting: it and the rest of the text give no lines (so width 0 gives none).
void Text_SplitLines(const char* text, int32_t wrapWidth, TStringList* list);

// ---- The text state ----

// An existing font becomes the current font; otherwise the built-in font is made when missing
// and the current font becomes -1.
void GR_Text_SetFont(int32_t font);
// 1 and 2 are stored; any other value stores 0.
void GR_Text_SetHAlign(int32_t align);
void GR_Text_SetVAlign(int32_t align);
// The active font := the current font's record when that font exists, else the built-in font
// (made on first need).
void GR_Text_SelectFont();
// Deletes the built-in font and its texture entry, makes the overlay forget its font texture,
// sets both alignments to 0 and the current font to -1, and resets the draw colour to opaque
// black and the draw alpha to 1. Shutdown calls it.
void GR_Text_Init();

// ---- Measuring (a null text measures 0) ----

// The widest line's width; the separation is not used.
int32_t GR_Text_Width(const char* text, int32_t separation, int32_t wrapWidth);
// 0 for no lines, else the line height plus the separation times (lines - 1).
int32_t GR_Text_Height(const char* text, int32_t separation, int32_t wrapWidth);

// ---- Drawing (a null text draws nothing) ----

// In the draw colour and alpha; middle alignment moves y up by (separation x lines) / 2 in
// integer arithmetic, centring moves a line left by its width / 2 (integer division).
void GR_Text_Draw(float x, float y, const char* text, int32_t separation, int32_t wrapWidth);
// Scaled and turned by `angle` degrees; the alignment moves the start in floating point.
void GR_Text_DrawTransformed(float x, float y, const char* text, int32_t separation, int32_t wrapWidth, float xscale,
                             float yscale, float angle);
// With corner colours top-left, top-right, bottom-right, bottom-left on every line.
void GR_Text_DrawColour(float x, float y, const char* text, int32_t separation, int32_t wrapWidth, uint32_t c1,
                        uint32_t c2, uint32_t c3, uint32_t c4, float alpha);
void GR_Text_DrawTransformedColour(float x, float y, const char* text, int32_t separation, int32_t wrapWidth,
                                   float xscale, float yscale, float angle, uint32_t c1, uint32_t c2, uint32_t c3,
                                   uint32_t c4, float alpha);
