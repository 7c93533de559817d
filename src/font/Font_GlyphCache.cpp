#include "font/Font_GlyphCache.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <climits>

#include "font/Font_Class.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_Texture.h"
#include "platform/MemoryManager.h"

int32_t FT_CeilPixels(int64_t value) {
  const int64_t pixels = value > INT64_MAX - 63 ? INT64_MAX >> 6 : (value + 63) >> 6;
  return static_cast<int32_t>(std::clamp<int64_t>(pixels, INT32_MIN, INT32_MAX));
}

namespace {

// The alpha of pixel `column` of one source row, by pixel mode; -1 for a mode that writes nothing.
int32_t SourceAlpha(const uint8_t* row, int32_t column, int32_t mode) {
  switch (mode) {
    case FT_PIXEL_MODE_MONO: return (row[column >> 3] >> (7 - (column & 7)) & 1) != 0 ? 255 : 0;
    case FT_PIXEL_MODE_GRAY2: return (row[column >> 2] >> (6 - 2 * (column & 3)) & 3) * 63;
    case FT_PIXEL_MODE_GRAY4: return (row[column >> 1] >> (4 - 4 * (column & 1)) & 15) * 7;
    case FT_PIXEL_MODE_GRAY:
    case FT_PIXEL_MODE_LCD:
    case FT_PIXEL_MODE_LCD_V: return row[column];
    default: return -1;
  }
}

// Pixels white with alpha 0 (bytes 255, 255, 255, 0) over a width x height rectangle.
void ClearRect(uint8_t* at, int32_t pitch, int32_t width, int32_t height) {
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* p = at + static_cast<size_t>(y) * static_cast<size_t>(pitch);
    for (int32_t x = 0; x < width; ++x, p += 4) {
      p[0] = p[1] = p[2] = 255;
      p[3] = 0;
    }
  }
}

}  // namespace

void GlyphCache_CopyBitmap(uint8_t* cell, int32_t pitch, int32_t cellWidth, int32_t cellHeight, int32_t firstRow,
                           const GlyphBitmap& bitmap) {
  if (bitmap.buffer == nullptr || bitmap.rows <= 0 || bitmap.width <= 0) return;
  const int64_t stride = bitmap.pitch < 0 ? -static_cast<int64_t>(bitmap.pitch) : bitmap.pitch;
  const int32_t columns = std::min(bitmap.width, cellWidth);
  for (int32_t r = 0; r < bitmap.rows; ++r) {
    const int64_t target = static_cast<int64_t>(firstRow) + r;
    if (target < 0) continue;
    if (target >= cellHeight) break;
    const int64_t sourceRow = bitmap.pitch < 0 ? bitmap.rows - 1 - r : r;
    const uint8_t* source = bitmap.buffer + sourceRow * stride;
    uint8_t* out = cell + target * pitch;
    for (int32_t c = 0; c < columns; ++c, out += 4) {
      const int32_t alpha = SourceAlpha(source, c, bitmap.pixelMode);
      if (alpha < 0) return;
      out[0] = out[1] = out[2] = 255;
      out[3] = static_cast<uint8_t>(alpha);
    }
  }
}

void GlyphCache::Init(int32_t textureWidth, int32_t textureHeight, FT_FaceRec_* face) {
  FreeCells();
  m_textureWidth = textureWidth;
  m_textureHeight = textureHeight;
  m_texture = GR_Texture_CreateBlank(textureWidth, textureHeight, false);
  m_hardwareTexture = GR_Texture_GetHardware(m_texture);
  if (m_hardwareTexture != nullptr && m_hardwareTexture->pixelCopy != nullptr) {
    ClearRect(m_hardwareTexture->pixelCopy, HardwareTexture_Width(m_hardwareTexture) * 4,
              std::min(textureWidth, HardwareTexture_Width(m_hardwareTexture)),
              std::min(textureHeight, HardwareTexture_Height(m_hardwareTexture)));
    UpdateTextureRegion(m_hardwareTexture, 0, 0, textureWidth, textureHeight);
  }
  m_gapX = m_gapY = 2;
  m_face = face;
  m_cellWidth = FT_CeilPixels(face->size->metrics.max_advance);
  m_cellHeight = FT_CeilPixels(face->size->metrics.height);
  // A cell that holds nothing or does not fit inside the gaps gives no cells.
  const bool fits = m_cellWidth > 0 && m_cellHeight > 0 && m_cellWidth <= textureWidth - 2 * m_gapX &&
                    m_cellHeight <= textureHeight - 2 * m_gapY;
  m_cellCount = fits ? ((textureHeight - 2 * m_gapY) / (m_cellHeight + m_gapY)) *
                           ((textureWidth - 2 * m_gapX) / (m_cellWidth + m_gapX))
                     : 0;
  if (m_cellCount == 0) return;
  m_cells = static_cast<GlyphCacheCell*>(
      MemoryManager::Alloc(sizeof(GlyphCacheCell) * static_cast<size_t>(m_cellCount), __FILE__, __LINE__));
  int32_t x = m_gapX, y = m_gapY;
  for (int32_t i = 0; i < m_cellCount; ++i) {
    GlyphCacheCell& cell = m_cells[i];
    cell = GlyphCacheCell{};
    cell.x = x;
    cell.y = y;
    cell.previous = i > 0 ? &m_cells[i - 1] : nullptr;
    if (i > 0) m_cells[i - 1].next = &cell;
    x += m_cellWidth + m_gapX;
    if (textureWidth - m_cellWidth < x) {
      x = m_gapX;
      y += m_cellHeight + m_gapY;
    }
  }
  m_head = &m_cells[0];
  m_tail = &m_cells[m_cellCount - 1];
}

GlyphCacheCell* GlyphCache::Acquire(FontGlyph* glyph) {
  GlyphCacheCell* cell = m_tail;
  if (cell == nullptr || glyph == nullptr) return nullptr;
  // Unlink the tail and make it the head.
  if (cell != m_head) {
    m_tail = cell->previous;
    m_tail->next = nullptr;
    cell->previous = nullptr;
    cell->next = m_head;
    m_head->previous = cell;
    m_head = cell;
  }
  if (cell->glyph != nullptr) {
    FontGlyph old = FontGlyph_Read(cell->glyph);
    old.x = old.y = -1;
    FontGlyph_Write(cell->glyph, old);
  }
  cell->glyph = glyph;
  FontGlyph held = FontGlyph_Read(glyph);
  held.x = static_cast<int16_t>(cell->x);
  held.y = static_cast<int16_t>(cell->y);
  FontGlyph_Write(glyph, held);

  HardwareTexture* texture = m_hardwareTexture;
  const bool pixels = texture != nullptr && texture->pixelCopy != nullptr &&
                      cell->x + m_cellWidth <= HardwareTexture_Width(texture) &&
                      cell->y + m_cellHeight <= HardwareTexture_Height(texture);
  const int32_t pitch = pixels ? HardwareTexture_Width(texture) * 4 : 0;
  uint8_t* corner = pixels ? texture->pixelCopy + static_cast<size_t>(cell->y) * static_cast<size_t>(pitch) +
                                 static_cast<size_t>(cell->x) * 4
                           : nullptr;
  if (pixels) ClearRect(corner, pitch, m_cellWidth, m_cellHeight);
  FT_Face face = m_face;
  if (face != nullptr && FT_Load_Glyph(face, FT_Get_Char_Index(face, held.character), FT_LOAD_DEFAULT) == 0 &&
      FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0 && pixels) {
    const FT_Bitmap& b = face->glyph->bitmap;
    GlyphBitmap bitmap;
    bitmap.rows = static_cast<int32_t>(b.rows);
    bitmap.width = static_cast<int32_t>(b.width);
    bitmap.pitch = b.pitch;
    bitmap.buffer = b.buffer;
    bitmap.pixelMode = b.pixel_mode;
    const int32_t firstRow = FT_CeilPixels(static_cast<int64_t>(face->size->metrics.ascender) -
                                           face->glyph->metrics.horiBearingY);
    GlyphCache_CopyBitmap(corner, pitch, m_cellWidth, m_cellHeight, firstRow, bitmap);
  }
  if (pixels) UpdateTextureRegion(texture, cell->x, cell->y, m_cellWidth, m_cellHeight);
  return cell;
}

void GlyphCache::FreeCells() {
  MemoryManager::Free(m_cells);
  m_cells = nullptr;
  m_cellCount = 0;
  m_head = m_tail = nullptr;
}

void GlyphCache::ReleaseFace() {
  if (m_face != nullptr) FT_Done_Face(m_face);
  m_face = nullptr;
  m_texture = -1;
  m_hardwareTexture = nullptr;
}
