#include "graphics/Graphics_Texture.h"

#include <cmath>
#include <cstring>

#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Bitmap32.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Transform.h"
#include "platform/Colour.h"
#include "platform/MemoryManager.h"
#include "runner/GameData.h"
#include "variable/ScriptValue.h"

TextureTableState g_Textures;

namespace {

float Inverse(int32_t size) { return size > 0 ? 1.0f / static_cast<float>(size) : 1.0f; }

int16_t Narrow(int32_t size) { return static_cast<int16_t>(static_cast<uint32_t>(size) & 0xFFFFu); }

TextureEntry* ValidEntry(int32_t id) {
  const TextureTableState& t = g_Textures;
  if (id < 0 || id >= t.entries.Count()) return nullptr;
  TextureEntry* e = t.entries[id];
  return e != nullptr && e->inUse != 0 ? e : nullptr;
}

int32_t Fill(int32_t id, HardwareTexture* texture, int32_t width, int32_t height, float inverseWidth,
             float inverseHeight) {
  TextureEntry* e = g_Textures.entries[id];
  e->texture = texture;
  e->width = Narrow(width);
  e->height = Narrow(height);
  e->inverseWidth = inverseWidth;
  e->inverseHeight = inverseHeight;
  e->inUse = 1;
  return id;
}

struct Point {
  float x, y;
};

// The quad's corners relative to (x, y), each turned by `angle` about (x, y) unless it is below
// 0.001 in size.
void Place(Point corners[4], float x, float y, float left, float top, float right, float bottom, float angle) {
  const Point local[4] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
  if (std::fabs(angle) < 0.001f) {
    for (int i = 0; i < 4; ++i) corners[i] = Point{x + local[i].x, y + local[i].y};
    return;
  }
  const float c = std::cos(angle), s = std::sin(angle);
  for (int i = 0; i < 4; ++i)
    corners[i] = Point{x + local[i].x * c + local[i].y * s, y - local[i].x * s + local[i].y * c};
}

// One quad of six vertices: corners and colours top-left, top-right, bottom-right, bottom-left.
void PutQuad(HardwareTexture* texture, const Point corners[4], const uint32_t colours[4], float u0, float v0, float u1,
             float v1) {
  const float z = g_RenderStates.depth2D;
  uint32_t c[4] = {colours[0], colours[1], colours[2], colours[3]};
  if (g_RenderStates.cornerIds) {
    for (uint32_t i = 0; i < 4; ++i) c[i] = ColourWithCorner(c[i], i);
  }
  auto* v = static_cast<TexturedVertex*>(AllocVerts(D3DPT_TRIANGLELIST, texture, kVertexSizeTextured, 6));
  v[0] = TexturedVertex{corners[0].x, corners[0].y, z, c[0], u0, v0};
  v[1] = TexturedVertex{corners[1].x, corners[1].y, z, c[1], u1, v0};
  v[2] = TexturedVertex{corners[2].x, corners[2].y, z, c[2], u1, v1};
  v[3] = v[2];
  v[4] = TexturedVertex{corners[3].x, corners[3].y, z, c[3], u0, v1};
  v[5] = v[0];
}

void PutQuad(HardwareTexture* texture, const Point corners[4], uint32_t colour, float u0, float v0, float u1,
             float v1) {
  const uint32_t colours[4] = {colour, colour, colour, colour};
  PutQuad(texture, corners, colours, u0, v0, u1, v1);
}

// The entry's texture-table entry, or null when the entry or its texture id is not valid.
TextureEntry* PageTexture(const TPageEntry* entry, TPageEntry* read) {
  if (entry == nullptr) return nullptr;
  *read = TPageEntry_Read(entry);
  return ValidEntry(read->texturePage);
}

uint32_t FourByte(uint32_t colour, uint8_t alpha) { return ColourWithAlpha(colour, alpha); }

// The part drawers' shared body: the rectangle (left, top, w, h) of the texture, measured in
// source pixels through (du, dv) per pixel from (u, v), drawn w x sx by h x sy at (x, y).
void PutPart(HardwareTexture* texture, float u, float v, float du, float dv, float w, float h, float x, float y,
             float sx, float sy, float angle, const uint32_t colours[4]) {
  Point corners[4];
  Place(corners, x, y, 0.0f, 0.0f, w * sx, h * sy, angle);
  PutQuad(texture, corners, colours, u, v, u + w * du, v + h * dv);
}

// The part of an entry's whole frame that lies on the page: moves (x, y) past a trimmed margin
// and cuts (w, h) to what is kept. False when nothing is left.
bool ClipToEntry(const TPageEntry& e, float& left, float& top, float& w, float& h, float& x, float& y, float sx,
                 float sy, float angle, float* startX, float* startY) {
  const float s = std::sin(angle), c = std::cos(angle);
  if (e.xOffset > left) {
    const float d = static_cast<float>(e.xOffset) - left;
    w -= d;
    *startX = 0.0f;
    x += std::trunc(d * c * sx);
    y -= std::trunc(d * s * sy);
  } else {
    *startX = left - static_cast<float>(e.xOffset);
  }
  if (e.yOffset > top) {
    const float d = static_cast<float>(e.yOffset) - top;
    h -= d;
    *startY = 0.0f;
    x += std::trunc(d * s * sx);
    y += std::trunc(d * c * sy);
  } else {
    *startY = top - static_cast<float>(e.yOffset);
  }
  // Cut to the kept rectangle from where the part starts in it, so that nothing of the
  // neighbouring images on the page is sampled.
  const float keptWidth = static_cast<float>(e.cropWidth) - *startX;
  const float keptHeight = static_cast<float>(e.cropHeight) - *startY;
  if (w > keptWidth) w = keptWidth;
  if (h > keptHeight) h = keptHeight;
  return w > 0.0f && h > 0.0f;
}

bool DrawEntryPartColours(TPageEntry* entry, float left, float top, float w, float h, float x, float y, float sx,
                          float sy, float angle, const uint32_t colours[4]) {
  TPageEntry e;
  TextureEntry* t = PageTexture(entry, &e);
  if (t == nullptr) return false;
  if (e.cropWidth == 0 || e.cropHeight == 0) {
    if (e.cropWidth == 0) e.cropWidth = 1;
    if (e.cropHeight == 0) e.cropHeight = 1;
    TPageEntry_Write(entry, e);
  }
  float startX = 0.0f, startY = 0.0f;
  if (!ClipToEntry(e, left, top, w, h, x, y, sx, sy, angle, &startX, &startY)) return true;
  const float du = static_cast<float>(e.width) / static_cast<float>(e.cropWidth) * t->inverseWidth;
  const float dv = static_cast<float>(e.height) / static_cast<float>(e.cropHeight) * t->inverseHeight;
  const float u = static_cast<float>(e.x) * t->inverseWidth + startX * du;
  const float v = static_cast<float>(e.y) * t->inverseHeight + startY * dv;
  PutPart(t->texture, u, v, du, dv, w, h, x, y, sx, sy, angle, colours);
  return true;
}

}  // namespace

// ---- The table ----

int32_t GR_Texture_AllocSlot() {
  TextureTableState& t = g_Textures;
  for (int32_t i = 0; i < t.entries.Count(); ++i) {
    if (t.entries[i]->inUse == 0) {
      *t.entries[i] = TextureEntry{};
      return i;
    }
  }
  auto* e = static_cast<TextureEntry*>(MemoryManager::Alloc(sizeof(TextureEntry), __FILE__, __LINE__));
  *e = TextureEntry{};
  t.entries.Push(e);
  return t.entries.Count() - 1;
}

int32_t GR_Texture_CreateBlank(int32_t width, int32_t height, bool renderTarget) {
  HardwareTexture* texture = CreateTexture(width, height, 1, renderTarget ? 1 : 0, kTextureFormatARGB);
  const int32_t id = GR_Texture_AllocSlot();
  if (texture == nullptr) return Fill(id, nullptr, width, height, 1.0f, 1.0f);
  return Fill(id, texture, width, height, Inverse(HardwareTexture_Width(texture)),
              Inverse(HardwareTexture_Height(texture)));
}

int32_t GR_Texture_Create(int32_t width, int32_t height, const void* data, uint64_t byteSize) {
  TextureInfo info;
  HardwareTexture* texture;
  if (width > 0 && height > 0 && byteSize == static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4) {
    texture = CreateTextureFromPixels(data, width, height, &info);
  } else {
    texture = CreateTextureFromBlob(static_cast<const uint8_t*>(data), byteSize, &info, kTextureFormatARGB);
  }
  const int32_t id = GR_Texture_AllocSlot();
  return Fill(id, texture, width, height, Inverse(info.width), Inverse(info.height));
}

int32_t GR_Texture_CreateFromChunk(const uint8_t* bytes, uint64_t byteBound, bool) {
  TextureInfo info;
  HardwareTexture* texture = CreateTextureFromBlob(bytes, bytes != nullptr ? byteBound : 0, &info, kTextureFormatARGB);
  const int32_t id = GR_Texture_AllocSlot();
  return Fill(id, texture, info.width, info.height, Inverse(info.width), Inverse(info.height));
}

int32_t GR_Texture_CreateFromHardware(int32_t width, int32_t height, HardwareTexture* texture) {
  const int32_t id = GR_Texture_AllocSlot();
  return Fill(id, texture, width, height, Inverse(width), Inverse(height));
}

int32_t GR_Texture_CreateFromBitmap32(const CBitmap32* bitmap) {
  if (bitmap == nullptr || !bitmap->IsValid()) return -1;
  const int32_t w = bitmap->GetWidth(), h = bitmap->GetHeight();
  const uint64_t bytes = static_cast<uint64_t>(w > 0 ? w : 0) * static_cast<uint64_t>(h > 0 ? h : 0) * 4;
  const Bitmap32Data* data = bitmap->GetData();
  if (bytes == 0 || data->pixels == nullptr || static_cast<uint64_t>(data->byteSize) < bytes) return -1;
  return GR_Texture_Create(w, h, data->pixels, bytes);
}

int32_t GR_Texture_CreateFromAlpha(int32_t width, int32_t height, const uint8_t* coverage) {
  if (coverage == nullptr || width < 1 || height < 1 || width > GetMaxTextureSize() || height > GetMaxTextureSize())
    return -1;
  const uint32_t count = static_cast<uint32_t>(width) * static_cast<uint32_t>(height);
  auto* pixels = MemoryManager::AllocArray<uint32_t>(count, __FILE__, __LINE__);
  for (uint32_t i = 0; i < count; ++i) pixels[i] = 0x00FFFFFFu | static_cast<uint32_t>(coverage[i]) << 24;
  const int32_t id = GR_Texture_CreateBlank(width, height, false);
  const bool uploaded = UploadPixels(g_Textures.entries[id]->texture, 0, width, height, pixels);
  MemoryManager::Free(pixels);
  if (uploaded) return id;
  GR_Texture_Free(id);
  g_Textures.entries[id]->inUse = 0;
  return -1;
}

bool GR_Texture_Exists(int32_t id) { return ValidEntry(id) != nullptr; }

HardwareTexture* GR_Texture_GetHardware(int32_t id) {
  const TextureEntry* e = ValidEntry(id);
  return e != nullptr ? e->texture : nullptr;
}

TextureEntry* GR_Texture_GetEntry(int32_t id) { return ValidEntry(id); }

void GR_Texture_Free(int32_t id) {
  TextureEntry* e = ValidEntry(id);
  if (e == nullptr) return;
  FreeHardwareTexture(e->texture);
  e->texture = nullptr;
  e->inUse = 0;
}

float GR_Texture_GetUVWidth(int32_t id) {
  const TextureEntry* e = ValidEntry(id);
  return e != nullptr ? static_cast<float>(e->width) * e->inverseWidth : 1.0f;
}

float GR_Texture_GetUVHeight(int32_t id) {
  const TextureEntry* e = ValidEntry(id);
  return e != nullptr ? static_cast<float>(e->height) * e->inverseHeight : 1.0f;
}

void GR_Texture_Preload(int32_t id) {
  HardwareTexture* t = GR_Texture_GetHardware(id);
  if (t != nullptr && t->texture != nullptr) t->texture->PreLoad();
}

void GR_Texture_SetPriority(int32_t id, uint32_t priority) {
  HardwareTexture* t = GR_Texture_GetHardware(id);
  if (t != nullptr && t->texture != nullptr) t->texture->SetPriority(priority);
}

void GR_Texture_FlushAll() { GraphicsFlush(); }

void GR_Texture_ResetTable() {
  TextureTableState& t = g_Textures;
  for (int32_t i = 0; i < t.entries.Count(); ++i) MemoryManager::Free(t.entries[i]);
  t.entries.Free();
  t.whiteTextureId = -1;
  t.whiteTexture = nullptr;
}

void GR_Texture_FreeAll() {
  // The surfaces go first: their records name entries of this table.
  GR_Surface_FreeAll();
  TextureTableState& t = g_Textures;
  for (int32_t i = 0; i < t.entries.Count(); ++i) GR_Texture_Free(i);
  for (int32_t i = 0; i < t.pageEntries.Count(); ++i) t.pageEntries[i] = nullptr;
  GR_Texture_ResetTable();
}

void GR_Texture_Shutdown() { GR_Texture_FreeAll(); }

void GR_Texture_CreateWhite() {
  TextureTableState& t = g_Textures;
  if (t.whiteTexture != nullptr) return;
  const uint32_t white = 0xFFFFFFFFu;
  const int32_t id = GR_Texture_Create(1, 1, &white, 4);
  if (GR_Texture_GetHardware(id) == nullptr) {
    GR_Texture_Free(id);
    return;
  }
  t.whiteTextureId = id;
  t.whiteTexture = t.entries[id];
}

void GR_Texture_FreeWhite() {
  TextureTableState& t = g_Textures;
  if (t.whiteTexture != nullptr) GR_Texture_Free(t.whiteTextureId);
  t.whiteTextureId = -1;
  t.whiteTexture = nullptr;
}

// ---- Script handles ----

int32_t GR_Texture_EntryHandle(TPageEntry* entry) {
  if (entry == nullptr) return -1;
  TextureTableState& t = g_Textures;
  for (int32_t i = 0; i < t.pageEntries.Count(); ++i) {
    if (t.pageEntries[i] == entry) return kPageEntryHandleBase + i;
  }
  t.pageEntries.Push(entry);
  return kPageEntryHandleBase + t.pageEntries.Count() - 1;
}

void GR_Texture_ForgetEntry(const TPageEntry* entry) {
  if (entry == nullptr) return;
  TextureTableState& t = g_Textures;
  for (int32_t i = 0; i < t.pageEntries.Count(); ++i) {
    if (t.pageEntries[i] == entry) t.pageEntries[i] = nullptr;
  }
}

void GR_Texture_RemoveEntryHandle(int32_t handle) {
  TextureTableState& t = g_Textures;
  const int64_t index = static_cast<int64_t>(handle) - kPageEntryHandleBase;
  if (index >= 0 && index < t.pageEntries.Count()) t.pageEntries[static_cast<int32_t>(index)] = nullptr;
}

TextureHandle GR_Texture_Resolve(double value) {
  TextureHandle h;
  if (!(value >= 0.0) || value >= 2147483648.0 || value != std::trunc(value)) return h;
  const int32_t n = static_cast<int32_t>(value);
  if (n >= kPageEntryHandleBase) {
    const int32_t index = n - kPageEntryHandleBase;
    const TextureTableState& t = g_Textures;
    if (index < t.pageEntries.Count() && t.pageEntries[index] != nullptr) {
      h.kind = TextureHandleKind::kEntry;
      h.entry = t.pageEntries[index];
    }
    return h;
  }
  if (GR_Texture_Exists(n)) {
    h.kind = TextureHandleKind::kTexture;
    h.id = n;
  }
  return h;
}

TextureHandle GR_Texture_ResolveValue(const ScriptValue& value) {
  switch (value.Kind()) {
    case VALUE_REAL:
      return GR_Texture_Resolve(value.real);
    case VALUE_INT32:
      return GR_Texture_Resolve(static_cast<double>(value.i32));
    case VALUE_INT64:
      return GR_Texture_Resolve(static_cast<double>(value.i64));
    default:
      return TextureHandle{};
  }
}

// ---- Quad drawers ----

bool GR_Texture_Draw(int32_t id, float x, float y) {
  const TextureEntry* t = ValidEntry(id);
  if (t == nullptr) return false;
  Point corners[4];
  Place(corners, x, y, 0.0f, 0.0f, t->width, t->height, 0.0f);
  const uint32_t colour = ColourWithAlpha(0xFFFFFFu, g_Primitives.drawAlpha);
  PutQuad(t->texture, corners, colour, 0.0f, 0.0f, t->width * t->inverseWidth, t->height * t->inverseHeight);
  return true;
}

bool GR_Texture_DrawEntry(TPageEntry* entry, float x, float y) {
  TPageEntry e;
  const TextureEntry* t = PageTexture(entry, &e);
  if (t == nullptr) return false;
  Point corners[4];
  Place(corners, x + e.xOffset, y + e.yOffset, 0.0f, 0.0f, e.cropWidth, e.cropHeight, 0.0f);
  const uint32_t colour = ColourWithAlpha(0xFFFFFFu, g_Primitives.drawAlpha);
  PutQuad(t->texture, corners, colour, e.x * t->inverseWidth, e.y * t->inverseHeight,
          (e.x + e.width) * t->inverseWidth, (e.y + e.height) * t->inverseHeight);
  return true;
}

bool GR_Texture_DrawExt(int32_t id, float xo, float yo, float x, float y, float sx, float sy, float angle,
                        uint32_t colour, float alpha) {
  TextureEntry* t = ValidEntry(id);
  if (t == nullptr) return false;
  if (t->width == 0 || t->height == 0) {
    t->width = t->height = 8;
    t->inverseWidth = t->inverseHeight = 0.125f;
  }
  const float left = -xo * sx, top = -yo * sy;
  Point corners[4];
  Place(corners, x, y, left, top, left + t->width * sx, top + t->height * sy, angle);
  PutQuad(t->texture, corners, Colour_ToARGB(colour, alpha), 0.0f, 0.0f, t->width * t->inverseWidth,
          t->height * t->inverseHeight);
  return true;
}

bool GR_Texture_DrawEntryExt(TPageEntry* entry, float xo, float yo, float x, float y, float sx, float sy, float angle,
                             uint32_t colour, float alpha) {
  TPageEntry e;
  const TextureEntry* t = PageTexture(entry, &e);
  if (t == nullptr) return false;
  if (e.cropWidth == 0 || e.cropHeight == 0) {
    if (e.cropWidth == 0) e.cropWidth = 1;
    if (e.cropHeight == 0) e.cropHeight = 1;
    TPageEntry_Write(entry, e);
  }
  const float left = (e.xOffset - xo) * sx, top = (e.yOffset - yo) * sy;
  Point corners[4];
  Place(corners, x, y, left, top, left + e.cropWidth * sx, top + e.cropHeight * sy, angle);
  PutQuad(t->texture, corners, Colour_ToARGB(colour, alpha), e.x * t->inverseWidth, e.y * t->inverseHeight,
          (e.x + e.width) * t->inverseWidth, (e.y + e.height) * t->inverseHeight);
  return true;
}

bool GR_Texture_DrawPart(int32_t id, float left, float top, float w, float h, float x, float y, float sx, float sy,
                         float angle, uint32_t colour, float alpha) {
  const TextureEntry* t = ValidEntry(id);
  if (t == nullptr) return false;
  const uint32_t c = Colour_ToARGB(colour, alpha);
  const uint32_t colours[4] = {c, c, c, c};
  PutPart(t->texture, left * t->inverseWidth, top * t->inverseHeight, t->inverseWidth, t->inverseHeight, w, h, x, y,
          sx, sy, angle, colours);
  return true;
}

bool GR_Texture_DrawEntryPart(TPageEntry* entry, float left, float top, float w, float h, float x, float y, float sx,
                              float sy, float angle, uint32_t colour, float alpha) {
  const uint32_t c = Colour_ToARGB(colour, alpha);
  const uint32_t colours[4] = {c, c, c, c};
  return DrawEntryPartColours(entry, left, top, w, h, x, y, sx, sy, angle, colours);
}

bool GR_Texture_DrawGeneral(int32_t id, float left, float top, float w, float h, float x, float y, float sx, float sy,
                            float angle, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4, float alpha) {
  const TextureEntry* t = ValidEntry(id);
  if (t == nullptr) return false;
  const uint8_t a = AlphaToByte(alpha);
  const uint32_t colours[4] = {FourByte(c1, a), FourByte(c2, a), FourByte(c3, a), FourByte(c4, a)};
  PutPart(t->texture, left * t->inverseWidth, top * t->inverseHeight, t->inverseWidth, t->inverseHeight, w, h, x, y,
          sx, sy, angle, colours);
  return true;
}

bool GR_Texture_DrawEntryGeneral(TPageEntry* entry, float left, float top, float w, float h, float x, float y,
                                 float sx, float sy, float angle, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4,
                                 float alpha) {
  const uint8_t a = AlphaToByte(alpha);
  const uint32_t colours[4] = {FourByte(c1, a), FourByte(c2, a), FourByte(c3, a), FourByte(c4, a)};
  return DrawEntryPartColours(entry, left, top, w, h, x, y, sx, sy, angle, colours);
}

bool GR_Texture_DrawTiled(int32_t id, float xo, float yo, float x, float y, float sx, float sy, bool horizontal,
                          bool vertical, float areaLeft, float areaTop, float areaWidth, float areaHeight,
                          uint32_t colour, float alpha) {
  const TextureEntry* t = ValidEntry(id);
  if (t == nullptr) return false;
  const float twf = t->width * sx, thf = t->height * sy;
  if (!(twf >= 1.0f) || !(thf >= 1.0f) || twf > 2147483647.0f || thf > 2147483647.0f) return true;
  const int64_t tw = static_cast<int64_t>(twf), th = static_cast<int64_t>(thf);
  float a = alpha * 255.0f;
  a = a > 255.0f ? 255.0f : a > 0.0f ? a : 0.0f;
  const uint32_t argb = static_cast<uint32_t>(std::nearbyint(a)) << 24 | (Colour_ToARGB(colour, 1.0f) & 0xFFFFFFu);

  // The first column or row: the nearest integer of the position modulo the tile size, one
  // tile back when positive, then on to the last one that starts before the area's edge.
  auto first = [](int64_t position, int64_t tile, float edge) {
    int64_t start = position % tile;
    if (start > 0) start -= tile;
    const double gap = static_cast<double>(edge) - static_cast<double>(start + tile);
    if (!(gap < 1e15)) return start;
    if (gap > 0.0) start += static_cast<int64_t>(gap / static_cast<double>(tile)) * tile;
    while (start + tile < edge) start += tile;
    return start;
  };
  // Positions far outside any target draw nothing (and keep the integer arithmetic defined).
  if (!(std::fabs(x) < 1e15f) || !(std::fabs(y) < 1e15f)) return true;
  const int64_t px = static_cast<int64_t>(std::nearbyint(x)), py = static_cast<int64_t>(std::nearbyint(y));
  const int64_t x0 = horizontal ? first(px, tw, areaLeft) : px;
  const int64_t y0 = vertical ? first(py, th, areaTop) : py;
  const float right = areaLeft + areaWidth, bottom = areaTop + areaHeight;
  const float u1 = t->width * t->inverseWidth, v1 = t->height * t->inverseHeight;
  const uint32_t c[4] = {argb, argb, argb, argb};
  const float z = g_RenderStates.depth2D;
  int64_t tiles = 0;
  for (int64_t row = y0; (!vertical && row == y0) || (vertical && row < bottom); row += th) {
    for (int64_t column = x0; (!horizontal && column == x0) || (horizontal && column < right); column += tw) {
      if (++tiles > kMaxEntryTiles) return true;
      const float left = static_cast<float>(column) - xo * sx, top = static_cast<float>(row) - yo * sy;
      auto* v = static_cast<TexturedVertex*>(AllocVerts(D3DPT_TRIANGLEFAN, t->texture, kVertexSizeTextured, 4));
      v[0] = TexturedVertex{left, top, z, c[0], 0.0f, 0.0f};
      v[1] = TexturedVertex{left + t->width * sx, top, z, c[1], u1, 0.0f};
      v[2] = TexturedVertex{left + t->width * sx, top + t->height * sy, z, c[2], u1, v1};
      v[3] = TexturedVertex{left, top + t->height * sy, z, c[3], 0.0f, v1};
      if (!horizontal) break;
    }
    if (!vertical) break;
  }
  return true;
}

bool GR_Texture_DrawEntryTiled(TPageEntry* entry, float xo, float yo, float x, float y, float sx, float sy,
                               bool horizontal, bool vertical, float, float, float, float, uint32_t colour,
                               float alpha) {
  TPageEntry e;
  const TextureEntry* t = PageTexture(entry, &e);
  if (t == nullptr) return false;
  if (!(sx >= 0.0001f) || !(sy >= 0.0001f)) return true;
  if (!horizontal && !vertical) return GR_Texture_DrawEntryExt(entry, xo, yo, x, y, sx, sy, 0.0f, colour, alpha);

  const TransformState& view = g_Transforms;
  const float W = e.fullWidth * sx, H = e.fullHeight * sy;
  int64_t columns = 1, rows = 1;
  // Tile counts are worked out in double precision and capped, so that tiny steps can neither
  // loop for ever nor reserve without bound.
  auto count = [](double low, double high, double step) {
    const double n = ((high - low + step - 1.0) / step + 2.0);
    return n >= static_cast<double>(kMaxEntryTiles) ? kMaxEntryTiles : n >= 1.0 ? static_cast<int64_t>(n) : 1;
  };
  if (horizontal) {
    if (!(W > 0.0f)) return true;
    x = view.boundsLeft + std::fmod(x - view.boundsLeft, W) - W;
    columns = count(view.boundsLeft, view.boundsRight, W);
  }
  if (vertical) {
    if (!(H > 0.0f)) return true;
    y = view.boundsTop + std::fmod(y - view.boundsTop, H) - H;
    rows = count(view.boundsTop, view.boundsBottom, H);
  }
  if (columns * rows > kMaxEntryTiles) rows = kMaxEntryTiles / columns > 0 ? kMaxEntryTiles / columns : 1;

  uint32_t argb = Colour_ToARGB(colour, alpha);
  uint32_t ids[6] = {argb, argb, argb, argb, argb, argb};
  if (g_RenderStates.cornerIds) {
    static const uint32_t kCorners[6] = {0, 1, 2, 2, 3, 0};
    for (int i = 0; i < 6; ++i) ids[i] = ColourWithCorner(argb, kCorners[i]);
  }
  const float z = g_RenderStates.depth2D;
  const float u0 = e.x * t->inverseWidth, v0 = e.y * t->inverseHeight;
  const float u1 = (e.x + e.width) * t->inverseWidth, v1 = (e.y + e.height) * t->inverseHeight;
  const float tileW = e.cropWidth * sx, tileH = e.cropHeight * sy;
  const float offX = e.xOffset * sx, offY = e.yOffset * sy;
  // Whole rows per reservation, at most 65536 vertices, but never less than one row.
  int64_t rowsPerBlock = 65536 / (columns * 6);
  if (rowsPerBlock < 1) rowsPerBlock = 1;
  for (int64_t row = 0; row < rows; row += rowsPerBlock) {
    const int64_t blockRows = rows - row < rowsPerBlock ? rows - row : rowsPerBlock;
    auto* v = static_cast<TexturedVertex*>(
        AllocVerts(D3DPT_TRIANGLELIST, t->texture, kVertexSizeTextured, static_cast<int32_t>(blockRows * columns * 6)));
    for (int64_t r = 0; r < blockRows; ++r) {
      const float top = y + static_cast<float>(row + r) * H + offY, bottom = top + tileH;
      for (int64_t col = 0; col < columns; ++col) {
        const float left = x + static_cast<float>(col) * W + offX, right = left + tileW;
        v[0] = TexturedVertex{left, bottom, z, ids[0], u0, v1};
        v[1] = TexturedVertex{left, top, z, ids[1], u0, v0};
        v[2] = TexturedVertex{right, top, z, ids[2], u1, v0};
        v[3] = TexturedVertex{right, top, z, ids[3], u1, v0};
        v[4] = TexturedVertex{right, bottom, z, ids[4], u1, v1};
        v[5] = TexturedVertex{left, bottom, z, ids[5], u0, v1};
        v += 6;
      }
    }
  }
  return true;
}

bool GR_Texture_DrawEntryCorners(TPageEntry* entry, float x1, float y1, float x2, float y2, float x3, float y3,
                                 float x4, float y4, uint32_t colour, float alpha) {
  TPageEntry e;
  const TextureEntry* t = PageTexture(entry, &e);
  if (t == nullptr) return false;
  const Point corners[4] = {{x1, y1}, {x2, y2}, {x3, y3}, {x4, y4}};
  PutQuad(t->texture, corners, Colour_ToARGB(colour, alpha), e.x * t->inverseWidth, e.y * t->inverseHeight,
          (e.x + e.width) * t->inverseWidth, (e.y + e.height) * t->inverseHeight);
  return true;
}
