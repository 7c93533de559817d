// The texture table and the textured-quad drawers.
//
// Every texture the game uses has a texture id: the index of its TextureEntry in one table that
// grows by one slot at a time and reuses the first free slot. Entries come from the game data's
// texture chunk, raw pixels, blank textures and render targets, 32-bit bitmaps and glyph
// coverage. The white texture (one opaque white pixel, made by the graphics start-up) is an
// ordinary entry.
//
// Sprites, backgrounds and fonts draw regions of texture pages described by TPageEntry records
// (runner/GameData.h); an entry's texture field holds a texture id. Records may lie unaligned in
// the game image and are read and written whole through memcpy.
//
// Scripts see textures and page entries as small integers: -1 none, a texture id, or a
// page-entry handle 0x100000 + its index in the handle table (above any texture id and above
// 16384). GR_Texture_Resolve is the one way back from such a value.
//
// The quad drawers put six 24-byte vertices (x, y, z, colour, u, v) per quad into the vertex
// batch as a triangle list, top-left, top-right, bottom-right, bottom-right, bottom-left,
// top-left; z is the 2-D depth. Each answers false, drawing nothing, when its texture id (or the
// entry's) is not valid. Angles are in radians; colours are script colours (0xBBGGRR) with an
// alpha 0..1 unless said. Main thread only.
#pragma once

#include <cstdint>

#include "platform/GrowArray.h"

struct HardwareTexture;
struct TPageEntry;
struct ScriptValue;
class CBitmap32;

struct TextureEntry {
  HardwareTexture* texture;  // null when creation failed
  int16_t width;             // the image (the part of the texture in use)
  int16_t height;
  float inverseWidth;        // 1 / the width that UV coordinates are measured against
  float inverseHeight;
  uint8_t inUse;             // 0 for a free slot
};

// The first page-entry handle.
constexpr int32_t kPageEntryHandleBase = 0x100000;

struct TextureTableState {
  GrowArray<TextureEntry*> entries{1};  // memory-manager records; grows one slot at a time
  int32_t whiteTextureId = -1;
  TextureEntry* whiteTexture = nullptr;
  // Page-entry handles: slot i is handle kPageEntryHandleBase + i; null once removed.
  GrowArray<TPageEntry*> pageEntries;
};
extern TextureTableState g_Textures;

// ---- The table ----

// The first free slot in index order, else a new zeroed slot at the end.
int32_t GR_Texture_AllocSlot();
// A blank texture (a render target when `renderTarget`); entry size as given, inverse sizes from
// the made texture (1.0 when it could not be made). Answers the id even then.
int32_t GR_Texture_CreateBlank(int32_t width, int32_t height, bool renderTarget);
// From width x height pixels (0xAARRGGBB) when `byteSize` is width x height x 4, else from an
// image blob of `byteSize` bytes (CreateTextureFromBlob).
int32_t GR_Texture_Create(int32_t width, int32_t height, const void* data, uint64_t byteSize);
// One entry of the game data's texture chunk: the image bytes (null for none) of at most
// `byteBound` bytes; `flag` is bit 0 of the entry's flags and is not used. Always gives a slot,
// so ids stay aligned with the chunk; width, height and inverse sizes from the image.
int32_t GR_Texture_CreateFromChunk(const uint8_t* bytes, uint64_t byteBound, bool flag);
// Wraps an existing device texture with inverse sizes 1 / width and 1 / height.
int32_t GR_Texture_CreateFromHardware(int32_t width, int32_t height, HardwareTexture* texture);
// -1 for null or an invalid bitmap; else GR_Texture_Create of its pixels.
int32_t GR_Texture_CreateFromBitmap32(const CBitmap32* bitmap);
// White pixels with alpha = the coverage bytes (width x height, row-major); -1 for an empty or
// oversized image or a failed upload.
int32_t GR_Texture_CreateFromAlpha(int32_t width, int32_t height, const uint8_t* coverage);
bool GR_Texture_Exists(int32_t id);
// Null for an id that is not valid.
HardwareTexture* GR_Texture_GetHardware(int32_t id);
TextureEntry* GR_Texture_GetEntry(int32_t id);
// Frees the device texture and marks the slot free.
void GR_Texture_Free(int32_t id);
// The share of the texture the image covers; 1.0 for an id that is not valid.
float GR_Texture_GetUVWidth(int32_t id);
float GR_Texture_GetUVHeight(int32_t id);
void GR_Texture_Preload(int32_t id);
void GR_Texture_SetPriority(int32_t id, uint32_t priority);
// draw_texture_flush: draws the open batch.
void GR_Texture_FlushAll();
// Forgets every entry record (not the device textures); the start-up empties the table so.
void GR_Texture_ResetTable();
// Frees every surface (GR_Surface_FreeAll), then the device texture of every entry in use, then
// the records; ids start from 0 again. Every page-entry handle is forgotten.
void GR_Texture_FreeAll();
void GR_Texture_Shutdown();
// The white texture: made by the graphics start-up when there is none; freed by the shutdown.
void GR_Texture_CreateWhite();
void GR_Texture_FreeWhite();

// ---- Script handles ----

// The handle of a page entry (null gives -1): the one it already has, else a new one. The table
// holds one slot per entry handed out.
int32_t GR_Texture_EntryHandle(TPageEntry* entry);
// Forgets a handle (its record is going away); later resolves of it give none.
void GR_Texture_RemoveEntryHandle(int32_t handle);
// Forgets every handle of `entry` (its record is going away).
void GR_Texture_ForgetEntry(const TPageEntry* entry);

enum class TextureHandleKind { kNone, kTexture, kEntry };
struct TextureHandle {
  TextureHandleKind kind = TextureHandleKind::kNone;
  int32_t id = -1;               // kTexture: the texture id
  TPageEntry* entry = nullptr;   // kEntry
};
// -1, anything that is not a whole number, an id that names no texture and a handle that names
// no entry all give none.
TextureHandle GR_Texture_Resolve(double value);
// The same for a script value: reals and 32- and 64-bit integers are read; other kinds give none.
TextureHandle GR_Texture_ResolveValue(const ScriptValue& value);

// ---- Quad drawers ----

bool GR_Texture_Draw(int32_t id, float x, float y);
bool GR_Texture_DrawEntry(TPageEntry* entry, float x, float y);
bool GR_Texture_DrawExt(int32_t id, float xo, float yo, float x, float y, float sx, float sy, float angle,
                        uint32_t colour, float alpha);
bool GR_Texture_DrawEntryExt(TPageEntry* entry, float xo, float yo, float x, float y, float sx, float sy, float angle,
                             uint32_t colour, float alpha);
// The rectangle (left, top, w, h) of the image at (x, y), rotated about (x, y).
bool GR_Texture_DrawPart(int32_t id, float left, float top, float w, float h, float x, float y, float sx, float sy,
                         float angle, uint32_t colour, float alpha);
// The rectangle (left, top, w, h) of the entry's whole (uncropped) frame, clipped to the part
// kept on the page: a left or top inside the trimmed margin starts at the first kept pixel and
// moves the drawing by the trimmed amount times the scale; nothing beyond the kept part is
// sampled.
bool GR_Texture_DrawEntryPart(TPageEntry* entry, float left, float top, float w, float h, float x, float y, float sx,
                              float sy, float angle, uint32_t colour, float alpha);
// As the part drawers, with the corner colours top-left, top-right, bottom-right, bottom-left.
bool GR_Texture_DrawGeneral(int32_t id, float left, float top, float w, float h, float x, float y, float sx, float sy,
                            float angle, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4, float alpha);
bool GR_Texture_DrawEntryGeneral(TPageEntry* entry, float left, float top, float w, float h, float x, float y,
                                 float sx, float sy, float angle, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4,
                                 float alpha);
// The whole image tiled over the area (left, top, width, height), one triangle fan per tile.
bool GR_Texture_DrawTiled(int32_t id, float xo, float yo, float x, float y, float sx, float sy, bool horizontal,
                          bool vertical, float areaLeft, float areaTop, float areaWidth, float areaHeight,
                          uint32_t colour, float alpha);
// The entry tiled over the current view bounds (the four area values are not read), vertices
// bottom-left, top-left, top-right, top-right, bottom-right, bottom-left. At most
// kMaxEntryTiles tiles are drawn.
bool GR_Texture_DrawEntryTiled(TPageEntry* entry, float xo, float yo, float x, float y, float sx, float sy,
                               bool horizontal, bool vertical, float, float, float, float, uint32_t colour,
                               float alpha);
constexpr int64_t kMaxEntryTiles = 1 << 18;
// The entry's source rectangle on four free corners (top-left, top-right, bottom-right,
// bottom-left).
bool GR_Texture_DrawEntryCorners(TPageEntry* entry, float x1, float y1, float x2, float y2, float x3, float y3,
                                 float x4, float y4, uint32_t colour, float alpha);
