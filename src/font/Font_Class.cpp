#include "font/Font_Class.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

#include "base/Utf8.h"
#include "base/VCL.h"
#include "font/Font_Main.h"
#include "platform/MemoryManager.h"
#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Main.h"
#include "support/LoadSave.h"

namespace {

// The offsets of a "FONT" entry.
constexpr uint64_t kEntryHeaderSize = 44;

int16_t Narrow16(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX)); }

}  // namespace

CFontTW::CFontTW() = default;

CFontTW::~CFontTW() {
  Reset();
  m_cache.FreeCells();
}

void CFontTW::Reset() {
  MemoryManager::Free(m_name);
  m_name = nullptr;
  // The cells point at glyphs that go now; the face reads the file's bytes until it is released.
  m_cache.FreeCells();
  m_cache.ReleaseFace();
  MemoryManager::Free(m_fontFile);
  m_fontFile = nullptr;
  m_fontFileSize = 0;
  FreeTexture();
  m_glyphs.Free();
  m_ownGlyphs.Free();
  m_pageEntry = nullptr;
  GR_Texture_ForgetEntry(&m_builtinPageEntry);
  m_builtinPageEntry = TPageEntry{};
  m_xscale = m_yscale = 1.0f;
  m_size = 12;
  m_bold = m_italic = false;
  m_first = 32;
  m_last = 128;
  m_border = 0.5f;
  m_sprite = -1;
  m_lineHeight = 0;
  m_texture = -1;
}

void CFontTW::SortGlyphs() {
  std::stable_sort(m_glyphs.Data(), m_glyphs.Data() + m_glyphs.Count(), [](const FontGlyph* a, const FontGlyph* b) {
    return FontGlyph_Read(a).character < FontGlyph_Read(b).character;
  });
}

bool CFontTW::LoadFromChunk(const BoundedReader& image, uint32_t entryOffset, int32_t index) {
  Reset();
  BoundedReader entry = image.At(entryOffset, kEntryHeaderSize);
  uint32_t faceName = 0, bold = 0, italic = 0, firstWord = 0, pageOffset = 0;
  int32_t size = 0, last = 0, glyphCount = 0;
  float xscale = 1.0f, yscale = 1.0f;
  entry.ReadAt(4, &faceName);
  entry.ReadAt(8, &size);
  entry.ReadAt(12, &bold);
  entry.ReadAt(16, &italic);
  entry.ReadAt(20, &firstWord);
  entry.ReadAt(24, &last);
  entry.ReadAt(28, &pageOffset);
  entry.ReadAt(32, &xscale);
  entry.ReadAt(36, &yscale);
  entry.ReadAt(40, &glyphCount);
  const char* face = nullptr;
  if (!entry.Ok() || glyphCount < 0 || !image.ImageHas(entryOffset, kEntryHeaderSize + 4ull * glyphCount) ||
      !image.TextAt(faceName, &face) || (pageOffset != 0 && !image.ImageHas(pageOffset, sizeof(TPageEntry)))) {
    DebugConsole->Output("Game data: font %d, its glyph table, face name or texture-page entry lies outside the file\n",
                         index);
    Reset();
    return false;
  }
  BoundedReader offsets = image.At(entryOffset + kEntryHeaderSize, 4ull * glyphCount);
  m_glyphs.SetCount(glyphCount);
  for (int32_t i = 0; i < glyphCount; ++i) {
    uint32_t at = 0;
    offsets.ReadAt(4ull * i, &at);
    BoundedReader record = image.At(at, sizeof(FontGlyph));
    if (!record.Ok()) {
      DebugConsole->Output("Game data: glyph %d of font %d lies outside the file\n", i, index);
      Reset();
      return false;
    }
    m_glyphs[i] = reinterpret_cast<FontGlyph*>(record.Data());
  }
  // The lookup is a binary search: glyphs stored out of order are sorted here.
  SortGlyphs();
  m_pageEntry = pageOffset != 0 ? reinterpret_cast<TPageEntry*>(image.At(pageOffset, sizeof(TPageEntry)).Data())
                                : nullptr;
  m_size = size;
  m_bold = bold != 0;
  m_italic = italic != 0;
  m_first = static_cast<int32_t>(firstWord & 0xFFFFu);
  m_last = last;
  m_xscale = xscale;
  m_yscale = yscale;
  m_name = MemoryManager::DuplicateText(face);
  for (int32_t i = 0; i < glyphCount; ++i) m_lineHeight = std::max<int32_t>(m_lineHeight, FontGlyph_Read(m_glyphs[i]).height);
  return true;
}

void CFontTW::ConstructBuiltIn(const unsigned char (*rects)[4], int32_t first, int32_t last, int32_t texture) {
  Reset();
  m_name = MemoryManager::DuplicateText("debug");
  m_size = 10;
  m_first = first;
  m_last = last;
  const int32_t count = last >= first ? last - first + 1 : 0;
  m_ownGlyphs.SetCount(count);
  for (int32_t i = 0; i < count; ++i) {
    FontGlyph& g = m_ownGlyphs[i];
    g.character = static_cast<uint16_t>(first + i);
    g.x = rects[i][0];
    g.y = rects[i][1];
    g.width = rects[i][2];
    g.height = rects[i][3];
    g.advance = g.width;
    g.offset = 0;
    m_lineHeight = std::max<int32_t>(m_lineHeight, g.height);
  }
  m_glyphs.SetCount(count);
  for (int32_t i = 0; i < count; ++i) m_glyphs[i] = &m_ownGlyphs[i];
  SortGlyphs();
  m_builtinPageEntry = TPageEntry{0, 0, 256, 128, 0, 0, 256, 128, 256, 128, static_cast<int16_t>(texture)};
  m_pageEntry = &m_builtinPageEntry;
}

void CFontTW::ConstructTrueType(const char* fileName, int32_t size, bool bold, bool italic, int32_t first,
                                int32_t last) {
  Reset();
  m_name = MemoryManager::DuplicateText(fileName);
  m_size = size;
  m_bold = bold;
  m_italic = italic;
  m_first = std::max(first, 0);
  m_last = std::min(last, 255);
  LoadTrueType();
}

void CFontTW::LoadTrueType() {
  const char* name = m_name != nullptr ? m_name : "";
  int size = 0;
  void* bytes = nullptr;
  if (LoadSave_SaveFileExists(name)) bytes = LoadSave_ReadSaveFile(name, &size);
  if (bytes == nullptr && LoadSave_GameFileExists(name)) bytes = LoadSave_ReadGameFile(name, &size);
  if (bytes == nullptr) {
    DebugConsole->Output("FreeType :: unable to find font file %s\n", name);
    return;
  }
  m_fontFile = static_cast<uint8_t*>(bytes);
  m_fontFileSize = size;
  FT_Library library = Font_Library();
  FT_Face face = nullptr;
  FT_Error e = library != nullptr ? FT_New_Memory_Face(library, m_fontFile, m_fontFileSize, 0, &face)
                                  : FT_Err_Invalid_Library_Handle;
  if (e != 0) {
    DebugConsole->Output("FreeType :: error = %08x(%d) :: Unable to open font file %s\n", e, e, name);
    return;
  }
  // The face belongs to the cache from here on, so a reset releases it whatever follows.
  m_cache.m_face = face;
  e = FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(m_size) * 64, 0, 0);
  if (e != 0) {
    DebugConsole->Output("FreeType :: error = %08x(%d) :: Unable to set font pixel size\n", e, e);
    return;
  }
  e = FT_Select_Charmap(face, FT_ENCODING_UNICODE);
  if (e != 0) {
    DebugConsole->Output("FreeType :: error = %08x(%d) :: Unable to select unicode font character map\n", e, e);
    return;
  }
  const int64_t ascender = face->size->metrics.ascender;
  // Characters past 16 bits do not fit a glyph record and are skipped; the map's space is
  // glyph 0, which is never rendered, so a second glyph of it would only take a cell.
  auto kept = [](FT_ULong c) { return c <= 0xFFFF && c != 32; };
  int32_t mapped = 0;
  FT_UInt index = 0;
  for (FT_ULong c = FT_Get_First_Char(face, &index); index != 0; c = FT_Get_Next_Char(face, c, &index)) {
    if (kept(c)) ++mapped;
  }
  m_ownGlyphs.SetCount(1 + static_cast<int64_t>(mapped));
  FontGlyph& space = m_ownGlyphs[0];
  space = FontGlyph{32, 0, 0, 0, 0, 0, 0};
  if (FT_Load_Glyph(face, FT_Get_Char_Index(face, 32), FT_LOAD_DEFAULT) == 0) {
    space.advance = Narrow16(FT_CeilPixels(face->glyph->metrics.horiAdvance));
  }
  int32_t next = 1;
  for (FT_ULong c = FT_Get_First_Char(face, &index); index != 0 && next <= mapped;
       c = FT_Get_Next_Char(face, c, &index)) {
    if (!kept(c)) continue;
    FontGlyph& g = m_ownGlyphs[next++];
    g = FontGlyph{static_cast<uint16_t>(c), -1, -1, 0, 0, 0, 0};
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0) continue;
    const FT_Glyph_Metrics& m = face->glyph->metrics;
    g.width = Narrow16(FT_CeilPixels(m.width));
    g.height = Narrow16(FT_CeilPixels(static_cast<int64_t>(m.height) - m.horiBearingY + ascender));
    g.advance = Narrow16(FT_CeilPixels(m.horiAdvance));
    g.offset = Narrow16(FT_CeilPixels(m.horiBearingX));
  }
  m_glyphs.SetCount(m_ownGlyphs.Count());
  for (int32_t i = 0; i < m_ownGlyphs.Count(); ++i) m_glyphs[i] = &m_ownGlyphs[i];
  SortGlyphs();
  m_cache.Init(512, 512, face);
  m_texture = m_cache.m_texture;
  m_lineHeight = FT_CeilPixels(face->size->metrics.height);
  m_border = 0.0f;
}

void CFontTW::ConstructSprite(int32_t sprite, const char* characters, bool proportional, int32_t separation) {
  Reset();
  const CSprite* s = Sprite_Data(sprite);
  if (s == nullptr) return;
  m_sprite = sprite;
  // The characters, cut to the frame count, with a space when they hold none.
  const int64_t frames = std::max<int64_t>(s->m_numb, 0);
  const int64_t length = std::min<int64_t>(characters != nullptr ? Utf8Length(characters) : 0, frames);
  bool hasSpace = false;
  m_ownGlyphs.Reserve(length + 1);
  const char* at = characters;
  for (int64_t j = 0; j < length; ++j) {
    FontGlyph& g = m_ownGlyphs.Push();
    g.character = Utf8DecodeChar(&at);
    hasSpace |= g.character == 32;
  }
  if (!hasSpace) m_ownGlyphs.Push().character = 32;
  int32_t widest = -999;
  for (int32_t j = 0; j < m_ownGlyphs.Count(); ++j) {
    FontGlyph& g = m_ownGlyphs[j];
    int32_t left = 0, right = s->m_width;
    if (proportional && j < frames) {
      const BoundingBox box = s->GetFrameBounds(j);
      left = box.left;
      right = box.right;
    }
    g.x = g.y = 0;
    g.width = static_cast<int16_t>(j);
    g.height = Narrow16(s->m_height);
    g.advance = Narrow16(static_cast<int64_t>(separation) + right - left);
    g.offset = Narrow16(-static_cast<int64_t>(left));
    if (j < length) widest = std::max<int32_t>(widest, g.advance);
  }
  if (!hasSpace) m_ownGlyphs[m_ownGlyphs.Count() - 1].advance = Narrow16(widest);
  m_glyphs.SetCount(m_ownGlyphs.Count());
  for (int32_t i = 0; i < m_ownGlyphs.Count(); ++i) m_glyphs[i] = &m_ownGlyphs[i];
  SortGlyphs();
  m_first = FontGlyph_Read(m_glyphs[0]).character;
  m_last = m_first + m_glyphs.Count();
  m_lineHeight = s->m_height;
}

FontGlyph* CFontTW::LookupGlyph(char16_t character) const {
  int32_t low = 0, high = m_glyphs.Count() - 1;
  while (low <= high) {
    const int32_t middle = low + (high - low) / 2;
    FontGlyph* glyph = m_glyphs[middle];
    const uint16_t c = FontGlyph_Read(glyph).character;
    if (c < character) {
      low = middle + 1;
    } else if (c > character) {
      high = middle - 1;
    } else {
      return glyph;
    }
  }
  return nullptr;
}

FontGlyph* CFontTW::FindGlyph(char16_t character) {
  FontGlyph* glyph = LookupGlyph(character);
  if (glyph != nullptr && m_cache.CellCount() > 0) {
    const FontGlyph g = FontGlyph_Read(glyph);
    if (g.x == -1 && g.y == -1) m_cache.Acquire(glyph);
  }
  return glyph;
}

int32_t CFontTW::GetCharWidth(char16_t character) const {
  // Measuring needs no rendered glyph: the cache is left alone.
  const FontGlyph* glyph = LookupGlyph(character);
  return glyph != nullptr ? FontGlyph_Read(glyph).advance : 0;
}

int32_t CFontTW::TextWidth(const char16_t* text) const {
  if (text == nullptr) return 0;
  int32_t width = 0;
  for (; *text != 0; ++text) width += GetCharWidth(*text);
  return width;
}

TextureHandle CFontTW::GetTPE() const {
  TextureHandle handle;
  if (m_pageEntry != nullptr) {
    handle.kind = TextureHandleKind::kEntry;
    handle.entry = m_pageEntry;
  } else if (m_texture >= 0) {
    handle.kind = TextureHandleKind::kTexture;
    handle.id = m_texture;
  }
  return handle;
}

void CFontTW::CreateTexture() { FreeTexture(); }

void CFontTW::FreeTexture() {
  if (m_texture >= 0) GR_Texture_Free(m_texture);
  m_texture = -1;
}
