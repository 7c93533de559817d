// The glyph cache of a TrueType font: one texture divided into equal cells, one rendered glyph
// per cell. FreeType renders a glyph the first time text needs it (GlyphCache::Acquire); when
// every cell is taken, the cell filled longest ago is reused and its glyph goes back to x = y = -1.
// Only a render moves a cell to the head, so cells are reused in strict rotation: the first
// glyph ever rendered goes to the last cell created, the next to the one before it.
//
// The cache owns the FreeType face, its cells and (through its font) the cache texture, whose
// pixel copy it writes as bytes blue, green, red, alpha and uploads one cell at a time.
// FreeType values are 26.6 fixed point; FT_CeilPixels turns them into whole pixels.
// Main thread only.
#pragma once

#include <cstdint>

struct FontGlyph;
struct HardwareTexture;
struct FT_FaceRec_;

// "Whole pixels up" of a 26.6 value: (v + 63) >> 6 with an arithmetic shift, which rounds toward
// plus infinity for either sign; held to the 32-bit range.
int32_t FT_CeilPixels(int64_t value);

struct GlyphCacheCell {
  GlyphCacheCell* next = nullptr;      // towards the tail
  GlyphCacheCell* previous = nullptr;  // towards the head
  FontGlyph* glyph = nullptr;          // the glyph held now, or null
  int32_t x = 0, y = 0;                // the cell's top-left corner in the texture
};

// A glyph bitmap as FreeType renders it (a copy of the fields of FT_Bitmap that are read).
struct GlyphBitmap {
  int32_t rows = 0;
  int32_t width = 0;
  int32_t pitch = 0;  // bytes from one row to the next; negative: the buffer starts with the bottom row
  const uint8_t* buffer = nullptr;
  int32_t pixelMode = 0;  // FT_PIXEL_MODE_*
};

// Copies `bitmap` into the cell of `cellWidth` x `cellHeight` pixels at `cell` (rows `pitch`
// bytes apart, 4 bytes a pixel), its first row on cell row `firstRow` and its first column on
// the cell's left edge: every pixel blue, green and red 255 with the alpha of its pixel mode
// (mono 0 or 255, 2 bits x 63, 4 bits x 7, one byte per pixel as it is; other modes write
// nothing). Pixels outside the cell are not written.
void GlyphCache_CopyBitmap(uint8_t* cell, int32_t pitch, int32_t cellWidth, int32_t cellHeight, int32_t firstRow,
                           const GlyphBitmap& bitmap);

class GlyphCache {
 public:
  GlyphCache() = default;
  GlyphCache(const GlyphCache&) = delete;
  GlyphCache& operator=(const GlyphCache&) = delete;

  // Creates the blank W x H texture (all pixels white with alpha 0) and the cells, and takes
  // the face. Cells are cell width (the face's largest advance) x cell height (its line height)
  // with gaps of 2; their number is ((H - 4) / (height + 2)) x ((W - 4) / (width + 2)), placed
  // from (2, 2) left to right, a new row once W - width < x. A cell that is empty or larger than
  // the texture gives no cells. The texture id goes to `texture`.
  void Init(int32_t textureWidth, int32_t textureHeight, FT_FaceRec_* face);
  // Renders `glyph` into the cell filled longest ago and answers that cell; null when there are
  // no cells (the glyph then stays at -1, -1). A glyph FreeType cannot load or render keeps its
  // cell and draws as an empty rectangle.
  GlyphCacheCell* Acquire(FontGlyph* glyph);
  // Deletes every cell: head and tail null.
  void FreeCells();
  // Releases the face (FT_Done_Face) and forgets the texture (its font frees the texture).
  void ReleaseFace();

  FT_FaceRec_* Face() const { return m_face; }
  int32_t CellCount() const { return m_cellCount; }
  GlyphCacheCell* Head() const { return m_head; }
  GlyphCacheCell* Tail() const { return m_tail; }

  GlyphCacheCell* m_head = nullptr;  // the most recently filled cell
  GlyphCacheCell* m_tail = nullptr;  // the next to be reused
  HardwareTexture* m_hardwareTexture = nullptr;
  int32_t m_texture = -1;
  int32_t m_cellCount = 0;
  FT_FaceRec_* m_face = nullptr;
  int32_t m_cellWidth = 0, m_cellHeight = 0;
  int32_t m_textureWidth = 0, m_textureHeight = 0;
  int32_t m_gapX = 2, m_gapY = 2;

 private:
  GlyphCacheCell* m_cells = nullptr;  // one memory-manager block of m_cellCount cells
};
