// A font: turns one line of UTF-16 text into textured quads. Four kinds share the one class:
// - page fonts of the game data (the "FONT" chunk), whose glyphs are rectangles inside a
//   texture-page entry; the glyph records stay in the loaded game image (unaligned: read them
//   through FontGlyph_Read);
// - TrueType fonts added at run time from a font file, whose glyphs FreeType renders on first
//   use into the font's glyph cache (font/Font_GlyphCache.h);
// - sprite fonts, whose glyphs are the frames of a sprite;
// - the built-in font "debug", made from the embedded font sheet.
// Records are owned by the font table (font/Font_Main.h). Splitting text into lines, alignment
// and the current font belong to text drawing, which calls the one-line operations here.
// Main thread only.
#pragma once

#include <cstdint>
#include <cstring>

#include "font/Font_GlyphCache.h"
#include "graphics/Graphics_Texture.h"
#include "platform/GrowArray.h"
#include "runner/GameData.h"
#include "support/BoundedReader.h"

struct TexturedVertex;

// One glyph: seven 16-bit fields, the same 14 bytes in the "FONT" chunk and in memory.
struct FontGlyph {
  uint16_t character;  // the UTF-16 code unit
  int16_t x, y;        // top-left corner on the texture; -1, -1: a TrueType glyph not in the cache
  int16_t width;       // a sprite font keeps the glyph's frame index here
  int16_t height;      // measured from the top of the line
  int16_t advance;     // how far the pen moves after the glyph
  int16_t offset;      // from the pen to the glyph's left edge
};
static_assert(sizeof(FontGlyph) == 14, "glyph records are 14 bytes");

// Glyph records may lie at any alignment in the game image: they are read and written whole.
inline FontGlyph FontGlyph_Read(const FontGlyph* at) {
  FontGlyph glyph;
  std::memcpy(&glyph, at, sizeof glyph);
  return glyph;
}
inline void FontGlyph_Write(FontGlyph* at, const FontGlyph& glyph) { std::memcpy(at, &glyph, sizeof glyph); }

// The built-in font: characters 32 to 136 on the 256 x 128 font sheet of the embedded files
// (entry 15), their rectangles (x, y, width, height) drawn by tools/embedgen beside the sheet.
constexpr int32_t kBuiltinFontSheet = 15;
constexpr int32_t kBuiltinFontFirst = 32;
constexpr int32_t kBuiltinFontLast = 136;
extern const unsigned char g_BuiltinFontGlyphs[kBuiltinFontLast - kBuiltinFontFirst + 1][4];

class CFontTW {
 public:
  // An empty font in the reset state: no glyphs, no texture, no page entry.
  CFontTW();
  // Resets the font and frees the glyph cache's cells.
  virtual ~CFontTW();
  CFontTW(const CFontTW&) = delete;
  CFontTW& operator=(const CFontTW&) = delete;

  // ---- Making a font ----

  // Frees the name, the owned glyphs, the font file, the FreeType face and the own texture; then
  // scales 1, size 12, bold and italic clear, first 32, last 128, border 0.5, sprite -1, line
  // height 0, texture -1, no page entry.
  void Reset();
  // Fills the font from the "FONT" entry at image offset `entryOffset` (`image` reads the whole
  // image): the page entry, size, bold, italic, first (the low 16 bits of word 20), last,
  // scales, the face name (copied) and the glyph pointers (into the image), sorted by character;
  // line height the largest glyph height. False, after a line on DebugConsole naming `index`,
  // when the entry (44 bytes and a word per glyph), a glyph record, the face name or the page
  // entry does not lie inside the file, or the glyph count is negative; the font is reset then.
  bool LoadFromChunk(const BoundedReader& image, uint32_t entryOffset, int32_t index);
  // The built-in font: glyph i (character first + i) from the 4 bytes x, y, width, height of
  // `rects`, advance = width, offset 0, drawn from a private page entry covering the whole
  // 256 x 128 sheet on texture `texture`. Name "debug", size 10; nothing for last < first.
  void ConstructBuiltIn(const unsigned char (*rects)[4], int32_t first, int32_t last, int32_t texture);
  // A TrueType font from the file `fileName` (save area first, then the game folder): first
  // raised to 0, last cut to 255, then LoadTrueType. A file that cannot be used leaves a font
  // without glyphs that draws nothing and measures 0.
  void ConstructTrueType(const char* fileName, int32_t size, bool bold, bool italic, int32_t first, int32_t last);
  // A sprite font: the UTF-8 `characters` (cut to the sprite's frame count, a space appended
  // when there is none) become glyphs of frames 0, 1, ... in that order. Proportional glyphs
  // take the frame's opaque box, the others the sprite's width; the appended space advances as
  // far as the widest other glyph. An empty font when the sprite does not exist.
  void ConstructSprite(int32_t sprite, const char* characters, bool proportional, int32_t separation);

  // ---- Glyphs and measures ----

  // The glyph of `character` by binary search, or null. A TrueType glyph not in the cache is
  // rendered into it first (it stays at -1, -1 when the cache has no cells).
  FontGlyph* FindGlyph(char16_t character);
  // The glyph's advance; 0 without a glyph. Measuring renders nothing into the glyph cache.
  int32_t GetCharWidth(char16_t character) const;
  // The sum of the advances (missing glyphs count 0), unscaled; 0 for null text.
  int32_t TextWidth(const char16_t* text) const;
  int32_t TextHeight() const { return m_lineHeight; }
  // The page entry when there is one, else the own texture id (none for -1).
  TextureHandle GetTPE() const;

  // ---- Drawing one line (text zero-terminated; colours 0xBBGGRR, alpha 0..1) ----

  void Draw(float x, float y, const char16_t* text, uint32_t colour, float alpha);
  // With the given scales in place of the font's, turned by `angle` degrees about (x, y).
  void DrawTransformed(float x, float y, const char16_t* text, float xscale, float yscale, float angle,
                       uint32_t colour, float alpha);
  // Corner colours top-left, top-right, bottom-right, bottom-left blended across the line.
  void DrawColour(float x, float y, const char16_t* text, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4,
                  float alpha);
  void DrawTransformedColour(float x, float y, const char16_t* text, float xscale, float yscale, float angle,
                             uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4, float alpha);

  // ---- Textures ----

  // Both free the own texture (when not negative) and set it to -1.
  void CreateTexture();
  void FreeTexture();

  // ---- Fields ----

  const char* GetFontName() const { return m_name; }
  int32_t GetSize() const { return m_size; }
  bool GetBold() const { return m_bold; }
  bool GetItalic() const { return m_italic; }
  int32_t GetFirst() const { return m_first; }
  int32_t GetLast() const { return m_last; }
  int32_t GlyphCount() const { return m_glyphs.Count(); }
  // Glyph i in character order (a pointer that may be unaligned).
  FontGlyph* Glyph(int32_t i) const { return m_glyphs[i]; }

  char* m_name = nullptr;  // memory-manager text, or null (sprite fonts)
  int32_t m_size = 12;
  bool m_bold = false;
  bool m_italic = false;
  int32_t m_first = 32;
  int32_t m_last = 128;
  int32_t m_sprite = -1;
  int32_t m_lineHeight = 0;
  int32_t m_texture = -1;               // own texture id (the glyph cache's), -1 for none
  TPageEntry* m_pageEntry = nullptr;    // the glyph image's page entry, not owned (may be unaligned)
  float m_xscale = 1.0f;
  float m_yscale = 1.0f;
  float m_border = 0.5f;
  uint8_t* m_fontFile = nullptr;  // the TrueType file's bytes (memory-manager block)
  int32_t m_fontFileSize = 0;
  GlyphCache m_cache;

 private:
  // Opens the font file through FreeType and builds the glyphs and the glyph cache.
  void LoadTrueType();
  // Sorts the glyph pointers by character (stable: equal characters keep their order).
  void SortGlyphs();
  // The texture the quads of a page or TrueType font use, with the reciprocal sizes of its UVs
  // and the page entry's position; false when the font has neither a page entry nor a texture.
  struct QuadSource;
  bool GetQuadSource(QuadSource* source) const;
  // The glyphs of the first n characters of `text` not yet in the glyph cache rendered, then six
  // vertices a character reserved on the font's quad source; null when there is no quad source.
  TexturedVertex* BeginGlyphQuads(const char16_t* text, int32_t n, QuadSource* source);
  // DrawColour (transformed false: the font's scales, the pen moving by unscaled advances) and
  // DrawTransformedColour.
  void DrawColoured(bool transformed, float x, float y, const char16_t* text, float xscale, float yscale, float angle,
                    uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4, float alpha);
  // The glyph of `character` by binary search without rendering it (measures).
  FontGlyph* LookupGlyph(char16_t character) const;

  GrowArray<FontGlyph*> m_glyphs;     // sorted by character
  GrowArray<FontGlyph> m_ownGlyphs;   // the records of TrueType, sprite and built-in fonts
  TPageEntry m_builtinPageEntry = {};  // the built-in font's private page entry
};
