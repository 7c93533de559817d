#include "font/Font_Main.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>

#include "base/Utf8.h"
#include "base/VCL.h"
#include "font/Font_Class.h"
#include "platform/MemoryManager.h"
#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Main.h"
#include "support/BoundedReader.h"

FontState g_Fonts;

namespace {

constexpr uint64_t kCharTableBytes = 2ull * kFontCharTableSize;

// Puts `font` into slot `index` in place of the font there, which is deleted; the slot keeps
// its name.
void ReplaceKeepingName(int32_t index, CFontTW* font) {
  const char* name = g_Fonts.table.Name(index);
  if (name == nullptr || !g_Fonts.table.Exists(index)) {
    g_Fonts.table.Set(index, font, nullptr);
    return;
  }
  const std::string kept = name;
  g_Fonts.table.Set(index, font, kept.c_str());
}

bool InRange(int32_t index) { return index >= 0 && index < g_Fonts.table.Count(); }

// The UTF-8 text of consecutive codes first + i (or the character table's codes at those
// positions), one per frame of the sprite; a memory-manager block.
char* SpriteCharacters(int32_t sprite, int32_t first, bool fromTable) {
  const CSprite* s = Sprite_Data(sprite);
  const int64_t frames = s != nullptr ? std::max<int64_t>(s->m_numb, 0) : 0;
  // At most 65,536 distinct characters can become glyphs.
  const int64_t count = std::min<int64_t>(frames, 65536);
  char* text = MemoryManager::NewText(static_cast<size_t>(count) * 3);
  char* out = text;
  for (int64_t i = 0; i < count; ++i) {
    const int64_t position = static_cast<int64_t>(first) + i;
    const uint16_t code = static_cast<uint16_t>(position);
    Utf8EncodeChar(&out, fromTable ? Font_CharTableCode(position, code) : code);
  }
  *out = '\0';
  return text;
}

}  // namespace

FT_LibraryRec_* Font_Library() {
  if (g_Fonts.library == nullptr) {
    FT_Library library = nullptr;
    const FT_Error e = FT_Init_FreeType(&library);
    if (e != 0) {
      DebugConsole->Output("Error while initialising FreeType %d\n", e);
      return nullptr;
    }
    g_Fonts.library = library;
  }
  return g_Fonts.library;
}

void Font_Init() {
  Font_Library();
  g_Fonts.table.FreeAll();
  g_Fonts.charTable = nullptr;
}

bool Font_LoadChunk(BoundedReader& chunk) {
  Font_Init();
  uint32_t count = 0;
  if (!chunk.U32(&count) || count > INT32_MAX || !chunk.Fits(count, 4) ||
      chunk.Remaining() - 4ull * count < kCharTableBytes) {
    DebugConsole->Output("Game data: the font chunk of %llu bytes is too short for %u fonts and its character table\n",
                         static_cast<unsigned long long>(chunk.Size()), count);
    return false;
  }
  ResourceTable<CFontTW>& table = g_Fonts.table;
  table.Reset(static_cast<int32_t>(count));
  const BoundedReader image = chunk.At(0, chunk.ImageSize());
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t offset = 0;
    chunk.ReadAt(4 + 4ull * i, &offset);
    if (offset == 0) continue;  // an empty slot
    const int32_t index = static_cast<int32_t>(i);
    uint32_t nameOffset = 0;
    const char* name = nullptr;
    BoundedReader entry = image.At(offset, 4);
    if (!entry.ReadAt(0, &nameOffset) || !image.TextAt(nameOffset, &name)) {
      DebugConsole->Output("Game data: font %d or its name lies outside the file\n", index);
      Font_Init();
      return false;
    }
    CFontTW* font = new CFontTW();
    if (!font->LoadFromChunk(image, offset, index)) {
      delete font;
      Font_Init();
      return false;
    }
    table.Set(index, font, name);
  }
  g_Fonts.charTable = chunk.Data() + (chunk.Size() - kCharTableBytes);
  return true;
}

void Font_InitTextures() {
  g_Fonts.table.ForEach([](int32_t, CFontTW* font) { font->CreateTexture(); });
}

void Font_FreeTextures() {
  g_Fonts.table.ForEach([](int32_t, CFontTW* font) { font->FreeTexture(); });
}

void Font_Shutdown() {
  Font_FreeTextures();
  g_Fonts.table.FreeAll();
  g_Fonts.charTable = nullptr;
  if (g_Fonts.library != nullptr) FT_Done_FreeType(g_Fonts.library);
  g_Fonts.library = nullptr;
}

bool Font_Exists(int32_t index) { return g_Fonts.table.Exists(index); }

CFontTW* Font_Data(int32_t index) { return g_Fonts.table.Data(index); }

const char* Font_GetName(int32_t index) { return g_Fonts.table.Name(index); }

int32_t Font_FindByName(const char* name) { return g_Fonts.table.FindByName(name); }

uint16_t Font_CharTableCode(int64_t position, uint16_t fallback) {
  if (g_Fonts.charTable == nullptr || position < 0 || position >= kFontCharTableSize) return fallback;
  uint16_t code = 0;
  std::memcpy(&code, g_Fonts.charTable + 2 * position, 2);
  return code;
}

int32_t Font_Add(const char* fileName, int32_t size, bool bold, bool italic, int32_t first, int32_t last) {
  CFontTW* font = new CFontTW();
  font->ConstructTrueType(fileName, size, bold, italic, first, last);
  return g_Fonts.table.Append(font);
}

int32_t Font_AddSprite(int32_t sprite, int32_t first, bool proportional, int32_t separation) {
  char* characters = SpriteCharacters(sprite, first, true);
  const int32_t index = Font_AddSpriteExt(sprite, characters, proportional, separation);
  MemoryManager::Free(characters);
  return index;
}

int32_t Font_AddSpriteExt(int32_t sprite, const char* characters, bool proportional, int32_t separation) {
  CFontTW* font = new CFontTW();
  font->ConstructSprite(sprite, characters, proportional, separation);
  return g_Fonts.table.Append(font);
}

bool Font_Replace(int32_t index, const char* fileName, int32_t size, bool bold, bool italic, int32_t first,
                  int32_t last) {
  if (!InRange(index)) return false;
  CFontTW* font = new CFontTW();
  font->ConstructTrueType(fileName, size, bold, italic, first, last);
  ReplaceKeepingName(index, font);
  return true;
}

bool Font_ReplaceSprite(int32_t index, int32_t sprite, int32_t first, bool proportional, int32_t separation) {
  if (!InRange(index)) return false;
  char* characters = SpriteCharacters(sprite, first, false);
  const bool replaced = Font_ReplaceSpriteExt(index, sprite, characters, proportional, separation);
  MemoryManager::Free(characters);
  return replaced;
}

bool Font_ReplaceSpriteExt(int32_t index, int32_t sprite, const char* characters, bool proportional,
                           int32_t separation) {
  if (!InRange(index)) return false;
  CFontTW* font = new CFontTW();
  font->ConstructSprite(sprite, characters, proportional, separation);
  ReplaceKeepingName(index, font);
  return true;
}

bool Font_Delete(int32_t index) { return g_Fonts.table.Delete(index); }
