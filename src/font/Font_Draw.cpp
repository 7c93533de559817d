// One line of text: quads of page and TrueType fonts straight into the vertex batch, sprite
// fonts frame by frame through the sprite drawers.
#include <cmath>

#include "font/Font_Class.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/device/D3D_Types.h"
#include "platform/Colour.h"
#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Main.h"

struct CFontTW::QuadSource {
  HardwareTexture* texture = nullptr;
  float tw = 1.0f, th = 1.0f;    // reciprocal texture sizes
  float pageX = 0, pageY = 0;    // the page entry's position on its page
  bool page = false;             // UVs of a page entry (with the border) or of the own texture
};

namespace {

// The degrees-to-radians factor of text, in single precision.
constexpr float kDegreesToRadians = 0.017453292f;

int32_t TextLength(const char16_t* text) {
  int32_t n = 0;
  if (text != nullptr) {
    while (text[n] != 0) ++n;
  }
  return n;
}

struct Corner {
  float x, y;
};

// Writes one quad: corners top-left, top-right, bottom-right, bottom-left, as the six vertices
// top-left, top-right, bottom-right, bottom-right, bottom-left, top-left.
void PutQuad(TexturedVertex* v, const Corner c[4], const uint32_t colours[4], float u0, float v0, float u1,
             float v1) {
  const float z = g_RenderStates.depth2D;
  v[0] = TexturedVertex{c[0].x, c[0].y, z, colours[0], u0, v0};
  v[1] = TexturedVertex{c[1].x, c[1].y, z, colours[1], u1, v0};
  v[2] = TexturedVertex{c[2].x, c[2].y, z, colours[2], u1, v1};
  v[3] = v[2];
  v[4] = TexturedVertex{c[3].x, c[3].y, z, colours[3], u0, v1};
  v[5] = v[0];
}

// The vertex colours of the four corners, with corner numbers while that mode is on.
void CornerColours(uint32_t colour, float alpha, uint32_t out[4]) {
  const uint32_t argb = Colour_ToARGB(colour, alpha);
  for (uint32_t i = 0; i < 4; ++i) out[i] = g_RenderStates.cornerIds ? ColourWithCorner(argb, i) : argb;
}

}  // namespace

bool CFontTW::GetQuadSource(QuadSource* source) const {
  const TextureEntry* entry = nullptr;
  if (m_pageEntry != nullptr) {
    const TPageEntry page = TPageEntry_Read(m_pageEntry);
    entry = GR_Texture_GetEntry(page.texturePage);
    source->page = true;
    source->pageX = page.x;
    source->pageY = page.y;
  } else if (m_texture >= 0) {
    entry = GR_Texture_GetEntry(m_texture);
  }
  if (entry == nullptr) return false;
  source->texture = entry->texture;
  source->tw = entry->inverseWidth;
  source->th = entry->inverseHeight;
  return true;
}

namespace {

// The texture coordinates of a glyph's rectangle: u0, v0, u1, v1.
struct GlyphUV {
  float u0, v0, u1, v1;
};

GlyphUV UVOf(const FontGlyph& g, float b, bool page, float pageX, float pageY, float tw, float th) {
  if (page) {
    return {(pageX + g.x - b) * tw, (pageY + g.y - b) * th, (pageX + g.x + g.width + b) * tw,
            (pageY + g.y + g.height + b) * th};
  }
  return {g.x * tw, g.y * th, (g.x + g.width) * tw, (g.y + g.height) * th};
}

}  // namespace

TexturedVertex* CFontTW::BeginGlyphQuads(const char16_t* text, int32_t n, QuadSource* source) {
  if (!GetQuadSource(source)) return nullptr;
  // Glyphs not yet in the glyph cache are rendered before any vertex is reserved.
  if (m_cache.CellCount() > 0) {
    for (int32_t i = 0; i < n; ++i) FindGlyph(text[i]);
  }
  return static_cast<TexturedVertex*>(AllocVerts(D3DPT_TRIANGLELIST, source->texture, kVertexSizeTextured, 6 * n));
}

void CFontTW::Draw(float x, float y, const char16_t* text, uint32_t colour, float alpha) {
  const int32_t n = TextLength(text);
  if (n == 0) return;
  if (m_sprite >= 0) {
    const CSprite* sprite = Sprite_Data(m_sprite);
    if (sprite == nullptr) return;
    for (int32_t i = 0; i < n; ++i) {
      const FontGlyph* found = FindGlyph(text[i]);
      if (found == nullptr) continue;
      const FontGlyph g = FontGlyph_Read(found);
      if (g.character != 32) SpriteDraw(*sprite, g.width, x + g.offset * m_xscale, y, m_xscale, m_yscale, 0, colour, alpha);
      x += g.advance * m_xscale;
    }
    return;
  }
  QuadSource source;
  TexturedVertex* v = BeginGlyphQuads(text, n, &source);
  if (v == nullptr) return;
  uint32_t colours[4];
  CornerColours(colour, alpha, colours);
  const float b = m_border;
  for (int32_t i = 0; i < n; ++i, v += 6) {
    const FontGlyph* found = FindGlyph(text[i]);
    if (found == nullptr) {
      for (int k = 0; k < 6; ++k) v[k] = TexturedVertex{0, 0, 0, 0, 0, 0};
      continue;
    }
    const FontGlyph g = FontGlyph_Read(found);
    if (!source.page && g.x < 0) {
      // A TrueType glyph the cache could not take: nothing to show, the pen still moves.
      for (int k = 0; k < 6; ++k) v[k] = TexturedVertex{0, 0, 0, 0, 0, 0};
    } else {
      const float left = x + g.offset * m_xscale;
      const Corner c[4] = {{left - b, y - b},
                           {left + g.width * m_xscale + b, y - b},
                           {left + g.width * m_xscale + b, y + g.height * m_yscale + b},
                           {left - b, y + g.height * m_yscale + b}};
      const GlyphUV uv = UVOf(g, b, source.page, source.pageX, source.pageY, source.tw, source.th);
      PutQuad(v, c, colours, uv.u0, uv.v0, uv.u1, uv.v1);
    }
    x += g.advance * m_xscale;
  }
}

void CFontTW::DrawTransformed(float x, float y, const char16_t* text, float xscale, float yscale, float angle,
                              uint32_t colour, float alpha) {
  const int32_t n = TextLength(text);
  if (n == 0) return;
  const bool turned = !(std::fabs(angle) < 0.001f);
  const float a = angle * kDegreesToRadians;
  const float cs = turned ? std::cos(a) : 1.0f, sn = turned ? std::sin(a) : 0.0f;
  if (m_sprite >= 0) {
    const CSprite* sprite = Sprite_Data(m_sprite);
    if (sprite == nullptr) return;
    for (int32_t i = 0; i < n; ++i) {
      const FontGlyph* found = FindGlyph(text[i]);
      if (found == nullptr) continue;
      const FontGlyph g = FontGlyph_Read(found);
      if (g.character != 32) {
        SpriteDraw(*sprite, g.width, x + cs * xscale * g.offset, y - sn * xscale * g.offset, xscale, yscale, angle,
                   colour, alpha);
      }
      x += cs * xscale * g.advance;
      y -= sn * xscale * g.advance;
    }
    return;
  }
  QuadSource source;
  TexturedVertex* const first = BeginGlyphQuads(text, n, &source);
  if (first == nullptr) return;
  TexturedVertex* v = first;
  uint32_t colours[4];
  CornerColours(colour, alpha, colours);
  const float b = m_border;
  for (int32_t i = 0; i < n; ++i) {
    const FontGlyph* found = FindGlyph(text[i]);
    if (found == nullptr) continue;  // no vertices: the unused ones are given back below
    const FontGlyph g = FontGlyph_Read(found);
    if (source.page || g.x >= 0) {
      const float w = g.width * xscale, h = g.height * yscale;
      Corner c[4];
      if (!turned) {
        const float left = x + g.offset * xscale;
        c[0] = {left - b, y - b};
        c[1] = {left + w + b, y - b};
        c[2] = {left + w + b, y + h + b};
        c[3] = {left - b, y + h + b};
      } else {
        const Corner p = {x + cs * xscale * g.offset, y - sn * xscale * g.offset};
        c[0] = {p.x - b, p.y - b};
        c[1] = {p.x + w * cs - b, p.y - w * sn - b};
        c[2] = {p.x + w * cs + h * sn + b, p.y - w * sn + h * cs + b};
        c[3] = {p.x + h * sn + b, p.y + h * cs + b};
      }
      const GlyphUV uv = UVOf(g, b, source.page, source.pageX, source.pageY, source.tw, source.th);
      PutQuad(v, c, colours, uv.u0, uv.v0, uv.u1, uv.v1);
      v += 6;
    }
    x += cs * xscale * g.advance;
    y -= sn * xscale * g.advance;
  }
  const int32_t unused = 6 * n - static_cast<int32_t>(v - first);
  if (unused > 0) ReleaseVerts(unused);
}

namespace {

// The share of the line at distance d, 0 for a line without width.
float Share(int32_t d, int32_t width) { return width != 0 ? static_cast<float>(d) / static_cast<float>(width) : 0.0f; }

}  // namespace

void CFontTW::DrawColour(float x, float y, const char16_t* text, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4,
                         float alpha) {
  DrawColoured(false, x, y, text, m_xscale, m_yscale, 0.0f, c1, c2, c3, c4, alpha);
}

void CFontTW::DrawTransformedColour(float x, float y, const char16_t* text, float xscale, float yscale, float angle,
                                    uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4, float alpha) {
  DrawColoured(true, x, y, text, xscale, yscale, angle, c1, c2, c3, c4, alpha);
}

void CFontTW::DrawColoured(bool transformed, float x, float y, const char16_t* text, float xscale, float yscale,
                           float angle, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4, float alpha) {
  const int32_t n = TextLength(text);
  if (n == 0) return;
  // Untransformed, page glyphs keep the font's scales, own textures draw unscaled, and the pen
  // moves by the unscaled advance.
  const bool plain = !transformed;
  const float a = angle * kDegreesToRadians;
  const float cs = std::cos(a), sn = std::sin(a);
  const int32_t width = TextWidth(text);
  const CSprite* sprite = m_sprite >= 0 ? Sprite_Data(m_sprite) : nullptr;
  if (m_sprite >= 0 && sprite == nullptr) return;
  int32_t d = 0;
  for (int32_t i = 0; i < n; ++i) {
    const FontGlyph* found = FindGlyph(text[i]);
    if (found == nullptr) continue;
    const FontGlyph g = FontGlyph_Read(found);
    const uint32_t tl = MergeColour(c1, c2, Share(d, width));
    const uint32_t tr = MergeColour(c1, c2, Share(d + g.advance, width));
    const uint32_t br = MergeColour(c4, c3, Share(d + g.advance, width));
    const uint32_t bl = MergeColour(c4, c3, Share(d, width));
    if (sprite != nullptr) {
      if (g.character != 32) {
        sprite->DrawGeneral(g.width, 0, 0, static_cast<float>(sprite->m_width), static_cast<float>(sprite->m_height),
                            x + cs * g.offset * xscale, y - sn * g.offset * xscale, xscale, yscale, angle, tl, tr, br,
                            bl, alpha);
      }
      x += cs * xscale * g.advance;
      y -= sn * xscale * g.advance;
    } else if (plain) {
      if (m_pageEntry != nullptr) {
        GR_Texture_DrawEntryGeneral(m_pageEntry, g.x, g.y, g.width, g.height, x + g.offset, y, m_xscale, m_yscale, 0,
                                    tl, tr, br, bl, alpha);
      } else if (g.x >= 0) {
        GR_Texture_DrawGeneral(m_texture, g.x, g.y, g.width, g.height, x + g.offset, y, 1, 1, 0, tl, tr, br, bl,
                               alpha);
      }
      x += g.advance;
    } else {
      const float px = x + cs * g.offset * xscale, py = y - sn * g.offset * xscale;
      if (m_pageEntry != nullptr) {
        GR_Texture_DrawEntryGeneral(m_pageEntry, g.x, g.y, g.width, g.height, px, py, xscale, yscale, a, tl, tr, br,
                                    bl, alpha);
      } else if (g.x >= 0) {
        GR_Texture_DrawGeneral(m_texture, g.x, g.y, g.width, g.height, px, py, xscale, yscale, a, tl, tr, br, bl,
                               alpha);
      }
      x += cs * xscale * g.advance;
      y -= sn * xscale * g.advance;
    }
    d += g.advance;
  }
}
