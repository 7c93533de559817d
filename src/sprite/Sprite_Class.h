// A sprite: the animated image of the game, a number of frames of one size with a common origin,
// a bounding box and, optionally, collision masks. Besides bitmap sprites there are vector sprites
// (pre-triangulated shapes) and skeleton sprites, drawn and animated by the skeletal-animation
// runtime (animation/Skeleton_Class.h). Records are owned by the sprite table (Sprite_Main.h).
//
// Frames come in one of two forms. A sprite of the game data holds pointers to texture-page
// entries inside the loaded game image (not owned; read them through memcpy, nothing in the image
// is aligned); its bitmaps and own textures are empty. A sprite made at run time holds bitmaps,
// own textures made from them and page entries of its own, one per bitmap.
//
// The collision tests (Sprite_Collision.cpp) map integer room pixels into the frame through the
// sprite's placement and answer whether solid pixels meet; they report nothing.
// Main thread only.
#pragma once

#include <cstdint>

#include "graphics/Graphics_Bitmap32.h"
#include "platform/GrowArray.h"
#include "support/BoundedReader.h"

class CSkeletonSprite;
struct TPageEntry;

enum SpriteKind : int32_t {
  SPRITE_BITMAP = 0,
  SPRITE_VECTOR = 1,
  SPRITE_SKELETON = 2,
};

// Box modes.
constexpr int32_t kBBoxAutomatic = 0;
constexpr int32_t kBBoxFullImage = 1;
constexpr int32_t kBBoxManual = 2;

// Shape kinds of made masks.
constexpr int32_t kMaskPrecise = 0;
constexpr int32_t kMaskRectangle = 1;
constexpr int32_t kMaskEllipse = 2;
constexpr int32_t kMaskDiamond = 3;

// One collision mask: width x height bytes, row by row, 1 solid, 0 free.
struct SpriteMask {
  int32_t size;   // bytes
  uint8_t* data;  // memory-manager block
};

// The texture handle of a frame (GetTPE): none, a texture-page entry, or an own texture id.
struct SpriteTextureHandle {
  enum Kind : int32_t { kNone, kPageEntry, kTexture };
  Kind kind = kNone;
  TPageEntry* entry = nullptr;
  int32_t texture = -1;
};

class CSprite {
 public:
  // An empty record: no frames, masks not valid, mask per frame set, kind bitmap.
  CSprite();
  // Clear, then the record goes.
  virtual ~CSprite();
  CSprite(const CSprite&) = delete;
  CSprite& operator=(const CSprite&) = delete;

  // ---- Life cycle ----

  // Empties the record: the skeleton, owned page entries, bitmaps, own textures and masks go;
  // box 0, 0, 0, 0; size 1 x 1; transparent, preload and precise set, smooth clear; box mode 0;
  // origin 0, 0; no page entries; name null; index 0; kind bitmap.
  void Clear();
  // Fills the record from one "SPRT" entry: `entry` is a window from the entry's first byte to
  // the end of its chunk. Every offset, count and length of the entry is checked first; false
  // (after one line on DebugConsole naming `index`, with the record cleared) when the entry does
  // not lie inside the chunk, a page entry lies outside the file, the masks or the kind's data
  // run past the chunk, or the kind is none of 0, 1 and 2. A frame count below -1 gives no
  // frames; masks of a width or height not above 0 are not read.
  bool LoadFromChunk(BoundedReader& entry, int32_t index);

  // Makes this record a copy of a bitmap sprite (any other kind: nothing changes): size, box,
  // flags, origin, frame count and radius; the game data's page entries are shared, bitmaps are
  // copied; then own textures, own page entries (when the other had none of the game data's)
  // and masks made anew.
  void CopyFrom(const CSprite& other);

  // ---- Textures (the graphics device must exist) ----

  // Frees the own textures, then, unless the sprite holds page entries of the game data, makes
  // one texture per frame from its bitmap (-1 where there is none), preloaded when preload is set.
  void InitTexture();
  // Unless the sprite holds page entries of the game data: frees its own page entries and makes
  // one per bitmap covering the whole of the frame's own texture.
  void InitLocalTPE();
  // Frees every own texture that is not negative and sets its id to -1.
  void FreeTextures();

  // ---- Box and radius ----

  // The bounding radius from the size and origin, then the box for the box mode (manual: kept;
  // full image or not transparent: the whole frame; no frames: zeros; automatic: the box of the
  // frame bitmaps' pixels with alpha above 0, the stored box when there are no bitmaps).
  void ComputeBoundingBox();
  // Stores a mode of 0, 1 or 2 that differs from the current one and recomputes the box; any
  // other value is ignored.
  void SetBBoxMode(int32_t mode);
  // Stores the box, only in manual mode.
  void SetBBox(int32_t left, int32_t top, int32_t right, int32_t bottom);

  // ---- Frames ----

  // The frame's texture handle: none for a vector sprite or one without frames; otherwise, the
  // frame taken modulo the frame count, its page entry when the sprite holds page entries of the
  // game data, else its own texture id.
  SpriteTextureHandle GetTPE(int32_t frame) const;
  // For 0 <= frame < frame count: from the frame's page entry (its offsets and size on the page),
  // else the box of the frame bitmap's pixels with alpha above 0. Zeros otherwise.
  BoundingBox GetFrameBounds(int32_t frame) const;
  // True when the sprite holds page entries of the game data (present and not its own).
  bool HoldsGamePageEntries() const { return m_pageEntries.Count() > 0 && !m_ownsPageEntries; }
  // The frame wrapped into 0 .. frame count - 1 (a negative remainder plus the count); 0 for a
  // sprite without frames.
  int32_t WrapFrame(int32_t frame) const;
  // The bitmap of a frame, or null.
  const CBitmap32* Bitmap(int32_t frame) const {
    return frame >= 0 && frame < m_bitmaps.Count() ? m_bitmaps[frame] : nullptr;
  }

  // ---- Masks (Sprite_Collision.cpp) ----

  // Frees every mask when masks are valid: mask count 0, masks not valid.
  void FreeMasks();
  // One mask per frame from the alpha of the frame bitmaps, when precise and transparent are set,
  // the sprite is a bitmap sprite with frames and holds no page entries of the game data;
  // otherwise no masks.
  void CreateMask();
  // Stores a changed precise flag and, for a bitmap sprite, remakes the masks.
  void SetPrecise(bool precise);
  // The masks of sprite_collision_mask (bitmap sprites that hold no game-data page entries):
  // one per frame, the box set by `bboxMode` (0 and 1 the whole frame, 2 `box`, any other
  // kept), each mask built from its frame bitmap with `shape` and `tolerance`; with `separate`
  // clear every later mask also takes mask 0's solid pixels.
  void GenerateCollisionMask(bool separate, int32_t bboxMode, const BoundingBox& box, int32_t shape,
                             int32_t tolerance);
  // Fills `mask` (width x height bytes) from `bitmap` (null: all pixels transparent) with the
  // shape kind (precise: alpha << 24 above the tolerance, unsigned; rectangle, ellipse, diamond
  // inside the box and the frame), then adds the solid pixels of `add` when given.
  void BuildMask(SpriteMask& mask, const CBitmap32* bitmap, int32_t shape, int32_t tolerance,
                 const SpriteMask* add) const;
  // The masks of a vector sprite from run-length blocks (each byte: low 7 bits + 1 pixels of the
  // value of its top bit), cut at the end of each mask. Nothing without blocks; no masks unless
  // precise is set and the size is above 0.
  void LoadVectorMasks(const uint8_t* const* blocks, const int32_t* lengths, int32_t count);
  // Whether masks are to be consulted: valid and at least one.
  bool HasMasks() const { return m_maskValid && m_masks.Count() > 0; }
  int32_t MaskCount() const { return m_masks.Count(); }
  const SpriteMask& Mask(int32_t i) const { return m_masks[i]; }

  // ---- Collision tests: true when the placed sprite covers the point or shape ----
  // `box` is the instance's box in room pixels (inclusive); x, y the position; the angle in
  // degrees. Without valid masks they answer true, without frames false.
  bool CollidePoint(int32_t frame, const BoundingBox& box, int32_t x, int32_t y, float xscale, float yscale,
                    float angle, int32_t px, int32_t py) const;
  bool CollideRectangle(int32_t frame, const BoundingBox& box, int32_t x, int32_t y, float xscale, float yscale,
                        float angle, const BoundingBox& rect) const;
  bool CollideEllipse(int32_t frame, const BoundingBox& box, int32_t x, int32_t y, float xscale, float yscale,
                      float angle, const BoundingBox& rect) const;
  bool CollideLine(int32_t frame, const BoundingBox& box, int32_t x, int32_t y, float xscale, float yscale,
                   float angle, int32_t x1, int32_t y1, int32_t x2, int32_t y2) const;

  // ---- Drawing (Sprite_Draw.cpp; nothing for a sprite without frames, the frame taken modulo
  // the frame count) ----

  // The frame stretched over width x height with its top-left corner at (x, y); bitmap and
  // vector sprites, nothing unless both sizes and the sprite's are above 0.
  void DrawStretched(int32_t frame, float x, float y, float width, float height, uint32_t colour, float alpha) const;
  // The rectangle (left, top, width, height) of the untrimmed frame at (x, y), scaled, not turned;
  // bitmap sprites only.
  void DrawPart(int32_t frame, float left, float top, float width, float height, float x, float y, float xscale,
                float yscale, uint32_t colour, float alpha) const;
  // The rectangle turned by `angle` degrees about (x, y) with one colour per corner (top-left,
  // top-right, bottom-right, bottom-left); bitmap sprites only, culled by the view.
  void DrawGeneral(int32_t frame, float left, float top, float width, float height, float x, float y,
                   float xscale, float yscale, float angle, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4,
                   float alpha) const;
  // The frame mapped onto four corner points; sprites with page entries only.
  void DrawPos(int32_t frame, float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
               uint32_t colour, float alpha) const;
  // The frame repeated across and/or down; a vector sprite is tiled over the area (its right and
  // bottom taken as its width and height).
  void DrawTiled(int32_t frame, float x, float y, float xscale, float yscale, bool across, bool down, float areaLeft,
                 float areaTop, float areaRight, float areaBottom, uint32_t colour, float alpha) const;
  // A vector frame placed with its origin at (x, y): nothing while the sprite has no vector items.
  void DrawVector(int32_t frame, float xOrigin, float yOrigin, float x, float y, float xscale, float yscale,
                  float angle, uint32_t colour, float alpha) const;

  // ---- Vector sprites ----

  // The vector items loaded so far (the vector reader fills them); a sprite of kind 1 whose data
  // came from the game file keeps its block's place in m_vectorBlock.
  int32_t VectorItemCount() const { return m_vectorItemCount; }

  // ---- Fields ----

  int32_t m_bboxMode = kBBoxAutomatic;
  BoundingBox m_bbox = {0, 0, 0, 0};  // frame pixels, inclusive
  int32_t m_numb = 0;                 // frame count (a skeleton sprite has 2147483647)
  int32_t m_width = 1;
  int32_t m_height = 1;
  int32_t m_xOrigin = 0;
  int32_t m_yOrigin = 0;
  int32_t m_radius = 0;  // largest distance from the origin to a frame corner, rounded up
  bool m_precise = true;
  bool m_maskValid = false;
  bool m_transparent = true;
  bool m_smooth = false;
  bool m_preload = true;
  bool m_maskPerFrame = true;
  bool m_ownsPageEntries = false;
  GrowArray<SpriteMask> m_masks;
  GrowArray<CBitmap32*> m_bitmaps;       // owned, one per frame, or none
  GrowArray<int32_t> m_textures;         // own texture ids, -1 for none
  GrowArray<TPageEntry*> m_pageEntries;  // one per frame (null for none), or none
  CSkeletonSprite* m_skeleton = nullptr;  // owned skeleton of a skeleton sprite, or null
  const char* m_name = nullptr;           // the table's name of the slot, not owned
  int32_t m_index = 0;                    // the slot
  int32_t m_kind = SPRITE_BITMAP;         // SpriteKind
  bool m_vectorFromData = false;          // the vector data came from the game file
  ChunkPayload m_vectorBlock;             // where that data lies: from its first byte to the chunk's end
  int32_t m_vectorItemCount = 0;

 private:
  void FreePageEntries();
  void FreeBitmaps();
  bool LoadMasks(BoundedReader& entry, uint64_t at, int32_t index);
};

// Draws `sprite`'s frame with its origin at (x, y), scaled and turned by `angle` degrees, unless
// it lies outside the view by more than its radius times the larger scale (no culling in 3-D mode
// or for skeleton sprites). A failed draw logs "Error attempting to draw sprite %s\n".
void SpriteDraw(const CSprite& sprite, int32_t frame, float x, float y, float xscale, float yscale, float angle,
                uint32_t colour, float alpha);
// Draws the frame unscaled with its top-left corner at (x - origin x, y - origin y), unless it lies
// outside the view by more than its radius (no culling while a surface is the render target, or
// for skeleton sprites).
void SpriteDrawSimple(const CSprite& sprite, int32_t frame, float x, float y);

// The bounding radius of a w x h frame with its origin at (xo, yo): the largest distance from the
// origin to a corner (the far corner at w and h), in single precision, rounded up.
int32_t Sprite_BoundingRadius(int32_t w, int32_t h, int32_t xo, int32_t yo);

// True when a room pixel is solid in both placed sprites: each sprite with its frame, instance
// box, position, scales and angle (degrees). A sprite with masks not valid is solid over its
// whole frame.
bool PreciseCollision(const CSprite* sprite1, int32_t frame1, const BoundingBox& box1, int32_t x1, int32_t y1,
                      float xscale1, float yscale1, float angle1, const CSprite* sprite2, int32_t frame2,
                      const BoundingBox& box2, int32_t x2, int32_t y2, float xscale2, float yscale2,
                      float angle2);
