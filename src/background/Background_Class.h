// CBackground: one background, the whole image that rooms draw behind or in front of their
// instances, that tiles cut their rectangles from and that the draw_background family draws.
//
// A record is in one of two normal states. A background of the game data points at its
// texture-page entry inside the loaded game image (not owned; read through memcpy, nothing in
// the image is aligned) and has no bitmap and no own texture; it draws from the page. A
// background made at run time owns a bitmap and an own texture made from it, and has no page
// entry. Every drawing and texture query prefers the page entry when it is set.
//
// Records are owned by the background table (Background_Main.h). Main thread only.
#pragma once

#include <cstdint>

#include "graphics/Graphics_Texture.h"

class BoundedReader;
class CBitmap32;
class IBitmap;
struct TPageEntry;

// The flag word of a load: what the image is made with.
constexpr uint32_t kBackgroundRemoveBack = 1;  // the bottom-left pixel's colour becomes transparent
constexpr uint32_t kBackgroundSmooth = 2;      // the edges of removed areas are softened
constexpr uint32_t kBackgroundPreload = 4;     // the texture goes onto the device at once

class CBackground {
 public:
  // An empty record: size 0 x 0, flags clear, no bitmap, no page entry, texture -1.
  CBackground() = default;
  // Clear, then the record goes.
  ~CBackground();
  CBackground(const CBackground&) = delete;
  CBackground& operator=(const CBackground&) = delete;

  // Empties the record: the bitmap is deleted, width, height and the three flags become 0, the
  // page entry null and the own texture is freed (texture -1).
  void Clear();

  // Fills the record from the "BGND" entry at image offset `entryOffset` of `chunk`'s image: the
  // name's offset (written to *nameOffset), the transparent, smooth and preload words (non-zero
  // is set) and the offset of its page entry (0: none). The size is the page entry's full,
  // untrimmed size, 0 x 0 without one. False (record cleared) when the 20-byte entry or the
  // 22-byte page entry it names does not lie inside the image.
  bool LoadFromChunk(const BoundedReader& chunk, uint32_t entryOffset, uint32_t* nameOffset);

  int32_t GetWidth() const { return m_Width; }
  int32_t GetHeight() const { return m_Height; }
  bool GetTransparent() const { return m_Transparent != 0; }
  bool GetSmooth() const { return m_Smooth != 0; }
  bool GetPreload() const { return m_Preload != 0; }
  // The texture handle: the page entry when set, else the own texture (none when it is -1).
  TextureHandle GetTPE() const;

  // ---- Textures (the graphics device must exist) ----

  // Frees the own texture and makes a new one from the bitmap (-1 without one), preloaded when
  // preload is set.
  void CreateTexture();
  // Frees the own texture when it is not negative; texture -1.
  void FreeTexture();

  // ---- Drawing: each from the page entry when set, else from the own texture ----
  // Positions are room coordinates, angles degrees, colours script colours (0xBBGGRR) with an
  // alpha 0..1.

  // Unscaled at (x, y) in white with the current draw alpha.
  void Draw(float x, float y) const;
  void DrawExt(float x, float y, float xscale, float yscale, float angle, uint32_t colour, float alpha) const;
  // Stretched over w x h with its top-left corner at (x, y); nothing unless w, h and the
  // record's width and height are all above 0.
  void DrawStretched(float x, float y, float w, float h, uint32_t colour, float alpha) const;
  void DrawPart(float left, float top, float width, float height, float x, float y, float xscale, float yscale,
                uint32_t colour, float alpha) const;
  // Corner colours top-left, top-right, bottom-right, bottom-left.
  void DrawGeneral(float left, float top, float width, float height, float x, float y, float xscale, float yscale,
                   float angle, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4, float alpha) const;
  // Repeated across and/or down over the area (callers pass 0, 0 and the room's width and
  // height); a page entry is tiled over the current view.
  void DrawTiled(float x, float y, float xscale, float yscale, bool horizontal, bool vertical, float areaLeft,
                 float areaTop, float areaWidth, float areaHeight, uint32_t colour, float alpha) const;

  // ---- Making the image ----

  // Empties the record, stores the flags and the image's size and makes the bitmap: with
  // keepAlpha the image's own alpha is kept (32-bit images), else the image is made opaque; then
  // with removeBack every pixel of the bottom-left pixel's colour becomes transparent (smoothed
  // with smooth). An image wider or higher than the largest texture is logged ("Error creating
  // background: image width or height exceeds maximum texture size of %d\n"), and an opaque blue
  // image of the clamped size takes its place (the caller's image stays untouched). Then the
  // texture. An image that gives no valid bitmap leaves the record without one.
  void CreateFromBitmap(IBitmap* image, bool removeBack, bool smooth, bool preload, bool keepAlpha);
  // Empties the record; a w x h opaque bitmap of the colour (at least 1 x 1 pixels), transparent
  // and smooth clear; then the texture.
  void CreateColour(int32_t w, int32_t h, uint32_t colour, bool preload);
  // The same with a gradient of kind 0 horizontal, 1 vertical, 2 rectangle, 3 ellipse, 4 double
  // horizontal, 5 double vertical.
  void CreateGradient(int32_t w, int32_t h, uint32_t colour1, uint32_t colour2, int32_t kind, bool preload);
  // CreateFromBitmap of w x h pixels 0xAARRGGBB (rows top first); true.
  bool CreateFromPixels(const uint32_t* pixels, int32_t w, int32_t h, bool removeBack, bool smooth, bool preload,
                        bool keepAlpha);
  // Tries the bytes as JPEG (0xFF 0xD8 0xFF), GIF ("GIF8") and PNG (0x89 "PNG"), in that order,
  // by their first bytes; a format whose decoder fails counts as no match. The first that
  // decodes becomes the image (CreateFromPixels). False when none does; the record is then
  // unchanged.
  bool DecodeImage(const uint8_t* bytes, uint64_t size, bool removeBack, bool smooth, bool preload, bool keepAlpha);
  // DecodeImage; when nothing decodes, logs "Failed to decode background data in %s\n" with the
  // name and answers false.
  bool LoadFromData(const char* name, const uint8_t* bytes, uint64_t size, bool removeBack, bool smooth, bool preload,
                    bool keepAlpha);
  // Reads the whole file from the save area when it is there, else from the game folder; frees
  // the own texture; LoadFromData of the bytes read. True in every case: a record whose
  // decoding failed keeps its other fields and has no own texture.
  bool LoadFromFile(const char* name, bool removeBack, bool smooth, bool preload, bool keepAlpha);

  // ---- Copies ----

  // Empties the record, then takes the source's size, flags and page entry and a copy of its
  // bitmap; then the texture.
  void Assign(const CBackground& source);
  // Gives a background drawn from a page entry pixels of its own: reads the entry's rectangle
  // from its page texture into a bitmap (keeping alpha), drops the page entry and makes the own
  // texture; width and height stay. False when the record already has a bitmap, has no page
  // entry, the rectangle does not lie wholly inside its texture (nothing outside the page is
  // read), or the pixels cannot be read.
  bool DuplicateBitmap();
  // When both records have a bitmap: over the common area each alpha becomes the smaller of its
  // own and the other's (red + green + blue) / 3, then the texture. Otherwise logs "Both bitmaps
  // need to be duplicated first\n" and changes nothing.
  void SetAlphaFromBackground(const CBackground& other);

  int32_t m_Width = 0;
  int32_t m_Height = 0;
  uint8_t m_Transparent = 0;  // for a background made at run time, its remove-background flag
  uint8_t m_Smooth = 0;
  uint8_t m_Preload = 0;
  int32_t m_Texture = -1;               // the own texture id, -1 for none
  CBitmap32* m_Bitmap = nullptr;        // owned, or null
  TPageEntry* m_TPageEntry = nullptr;   // inside the game image, not owned; or null
};
