#include "sprite/Sprite_Class.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "animation/Skeleton_Class.h"
#include "base/VCL.h"
#include "graphics/Graphics_Texture.h"
#include "platform/Numeric.h"
#include "runner/GameData.h"

namespace {

// The "SPRT" entry's fields.
constexpr uint64_t kEntryWidth = 4;
constexpr uint64_t kEntryHeight = 8;
constexpr uint64_t kEntryBoxLeft = 12;
constexpr uint64_t kEntryBoxRight = 16;
constexpr uint64_t kEntryBoxBottom = 20;
constexpr uint64_t kEntryBoxTop = 24;
constexpr uint64_t kEntryTransparent = 28;
constexpr uint64_t kEntrySmooth = 32;
constexpr uint64_t kEntryPreload = 36;
constexpr uint64_t kEntryBoxMode = 40;
constexpr uint64_t kEntryPrecise = 44;
constexpr uint64_t kEntryOriginX = 48;
constexpr uint64_t kEntryOriginY = 52;
constexpr uint64_t kEntryFrameCount = 56;
constexpr uint64_t kEntryFrames = 60;       // frame count N >= 0: N page-entry offsets, then the masks
constexpr uint64_t kEntryKind = 64;         // N = -1: the kind and its data
constexpr uint64_t kEntryKindData = 72;
constexpr uint64_t kEntrySkeletonData = 92;  // the skeleton's five words end here

int32_t Word(BoundedReader& entry, uint64_t at) {
  int32_t v = 0;
  entry.ReadAt(at, &v);
  return v;
}

bool Flag(BoundedReader& entry, uint64_t at) { return Word(entry, at) != 0; }

}  // namespace

int32_t Sprite_BoundingRadius(int32_t w, int32_t h, int32_t xo, int32_t yo) {
  const double dxs[2] = {static_cast<double>(xo), static_cast<double>(w) - xo};
  const double dys[2] = {static_cast<double>(yo), static_cast<double>(h) - yo};
  double radius = 0.0;
  for (double dx : dxs) {
    for (double dy : dys) {
      const float sum = num::ToFloat(dx * dx + dy * dy);
      radius = std::max(radius, std::ceil(static_cast<double>(std::sqrt(sum))));
    }
  }
  return radius >= 2147483647.0 ? INT32_MAX : static_cast<int32_t>(radius);
}

CSprite::CSprite() { Clear(); }

CSprite::~CSprite() {
  Clear();
  m_masks.Free();
  m_bitmaps.Free();
  m_textures.Free();
  m_pageEntries.Free();
}

void CSprite::FreePageEntries() {
  if (m_ownsPageEntries) {
    for (int32_t i = 0; i < m_pageEntries.Count(); ++i) {
      GR_Texture_ForgetEntry(m_pageEntries[i]);
      delete m_pageEntries[i];
    }
  }
  m_ownsPageEntries = false;
  m_pageEntries.Clear();
}

void CSprite::FreeBitmaps() {
  for (int32_t i = 0; i < m_bitmaps.Count(); ++i) delete m_bitmaps[i];
  m_bitmaps.Clear();
}

void CSprite::Clear() {
  // The vector data has no items of its own yet; its block lies in the game image.
  m_vectorFromData = false;
  m_vectorBlock = ChunkPayload();
  m_vectorItemCount = 0;
  delete m_skeleton;
  m_skeleton = nullptr;
  FreePageEntries();
  FreeBitmaps();
  FreeTextures();
  m_textures.Clear();
  m_numb = 0;
  m_bbox = {0, 0, 0, 0};
  m_width = 1;
  m_height = 1;
  m_transparent = true;
  m_smooth = false;
  m_preload = true;
  m_bboxMode = kBBoxAutomatic;
  m_precise = true;
  m_xOrigin = 0;
  m_yOrigin = 0;
  FreeMasks();
  m_name = nullptr;
  m_index = 0;
  m_kind = SPRITE_BITMAP;
}

void CSprite::FreeTextures() {
  for (int32_t i = 0; i < m_textures.Count(); ++i) {
    if (m_textures[i] >= 0) GR_Texture_Free(m_textures[i]);
    m_textures[i] = -1;
  }
}

void CSprite::InitTexture() {
  FreeTextures();
  if (HoldsGamePageEntries()) return;
  m_textures.SetCount(std::max(m_numb, 0));
  for (int32_t i = 0; i < m_textures.Count(); ++i) {
    const CBitmap32* bitmap = Bitmap(i);
    m_textures[i] = bitmap != nullptr ? GR_Texture_CreateFromBitmap32(bitmap) : -1;
    if (m_preload && m_textures[i] >= 0) GR_Texture_Preload(m_textures[i]);
  }
}

void CSprite::InitLocalTPE() {
  if (HoldsGamePageEntries()) return;
  FreePageEntries();
  m_pageEntries.SetCount(m_bitmaps.Count());
  for (int32_t i = 0; i < m_bitmaps.Count(); ++i) {
    const CBitmap32* bitmap = m_bitmaps[i];
    const int16_t w = static_cast<int16_t>(bitmap != nullptr ? bitmap->GetWidth() : 0);
    const int16_t h = static_cast<int16_t>(bitmap != nullptr ? bitmap->GetHeight() : 0);
    TPageEntry entry = {0, 0, w, h, 0, 0, w, h, w, h, 0};
    entry.texturePage = static_cast<int16_t>(i < m_textures.Count() ? m_textures[i] : -1);
    m_pageEntries[i] = new TPageEntry(entry);
  }
  m_ownsPageEntries = true;
}

void CSprite::CopyFrom(const CSprite& other) {
  if (other.m_kind != SPRITE_BITMAP || &other == this) return;
  Clear();
  m_width = other.m_width;
  m_height = other.m_height;
  m_bbox = other.m_bbox;
  m_transparent = other.m_transparent;
  m_smooth = other.m_smooth;
  m_preload = other.m_preload;
  m_bboxMode = other.m_bboxMode;
  m_precise = other.m_precise;
  m_xOrigin = other.m_xOrigin;
  m_yOrigin = other.m_yOrigin;
  m_numb = other.m_numb;
  m_radius = other.m_radius;
  if (other.HoldsGamePageEntries()) {
    m_pageEntries.SetCount(other.m_pageEntries.Count());
    for (int32_t i = 0; i < other.m_pageEntries.Count(); ++i) m_pageEntries[i] = other.m_pageEntries[i];
  }
  for (int32_t i = 0; i < other.m_bitmaps.Count(); ++i) {
    const CBitmap32* bitmap = other.m_bitmaps[i];
    m_bitmaps.Push(bitmap != nullptr ? new CBitmap32(CBitmap32::CreateCopy(*bitmap)) : nullptr);
  }
  InitTexture();
  if (!other.HoldsGamePageEntries()) InitLocalTPE();
  CreateMask();
}

bool CSprite::LoadFromChunk(BoundedReader& entry, int32_t index) {
  Clear();
  auto refuse = [&](const char* why) {
    DebugConsole->Output("Game data: sprite %d %s\n", index, why);
    Clear();
    return false;
  };
  if (!entry.Has(0, kEntryFrames)) return refuse("runs past the end of the sprite chunk");
  m_width = Word(entry, kEntryWidth);
  m_height = Word(entry, kEntryHeight);
  m_bbox.left = Word(entry, kEntryBoxLeft);
  m_bbox.right = Word(entry, kEntryBoxRight);
  m_bbox.bottom = Word(entry, kEntryBoxBottom);
  m_bbox.top = Word(entry, kEntryBoxTop);
  m_transparent = Flag(entry, kEntryTransparent);
  m_smooth = Flag(entry, kEntrySmooth);
  m_preload = Flag(entry, kEntryPreload);
  m_bboxMode = Word(entry, kEntryBoxMode);
  m_precise = Flag(entry, kEntryPrecise);
  m_xOrigin = Word(entry, kEntryOriginX);
  m_yOrigin = Word(entry, kEntryOriginY);
  const int32_t frames = Word(entry, kEntryFrameCount);

  if (frames == -1) {
    if (!entry.Has(0, kEntryKindData)) return refuse("runs past the end of the sprite chunk");
    const int32_t kind = Word(entry, kEntryKind);
    if (kind == SPRITE_VECTOR) {
      m_kind = SPRITE_VECTOR;
      m_vectorFromData = true;
      m_vectorBlock = entry.Sub(kEntryKindData, entry.Size() - kEntryKindData).Payload();
    } else if (kind == SPRITE_SKELETON) {
      if (!entry.Has(0, kEntrySkeletonData)) return refuse("runs past the end of the sprite chunk");
      uint32_t words[5];
      for (uint64_t i = 0; i < 5; ++i) entry.ReadAt(kEntryKindData + 4 * i, &words[i]);
      const uint64_t length = static_cast<uint64_t>(words[0]) + words[1] + words[2];
      if (!entry.Has(kEntrySkeletonData, length)) return refuse("has skeleton data past the end of the sprite chunk");
      m_kind = SPRITE_SKELETON;
      m_skeleton =
          CSkeletonSprite::LoadFromChunk(entry.Data() + kEntrySkeletonData, words[0], words[1], words[2], words[3], words[4]);
      m_numb = INT32_MAX;
    } else if (kind != SPRITE_BITMAP) {
      return refuse("is of no known kind");
    }
  } else if (frames >= 0) {
    const uint64_t count = static_cast<uint64_t>(frames);
    if (!entry.Has(kEntryFrames, 4 * count + 4)) return refuse("has more frames than the sprite chunk holds");
    m_pageEntries.SetCount(frames);
    for (int32_t i = 0; i < frames; ++i) {
      uint32_t offset = 0;
      entry.ReadAt(kEntryFrames + 4ull * i, &offset);
      if (offset == 0) continue;
      BoundedReader page = entry.At(offset, sizeof(TPageEntry));
      if (!page.Ok()) return refuse("has a texture-page entry outside the file");
      m_pageEntries[i] = reinterpret_cast<TPageEntry*>(page.Data());
    }
    m_numb = frames;
    if (!LoadMasks(entry, kEntryFrames + 4 * count, index)) {
      Clear();
      return false;
    }
  }
  // A frame count below -1 gives a sprite without frames.
  m_radius = Sprite_BoundingRadius(m_width, m_height, m_xOrigin, m_yOrigin);
  return true;
}

bool CSprite::LoadMasks(BoundedReader& entry, uint64_t at, int32_t index) {
  const int32_t count = Word(entry, at);
  at += 4;
  if (count <= 0 || m_width <= 0 || m_height <= 0) return true;
  const uint64_t rowBytes = (static_cast<uint64_t>(m_width) + 7) / 8;
  const uint64_t maskBytes = rowBytes * static_cast<uint64_t>(m_height);
  if (!entry.Has(at, 0) || static_cast<uint64_t>(count) > (entry.Size() - at) / maskBytes) {
    DebugConsole->Output("Game data: sprite %d has masks past the end of the sprite chunk\n", index);
    return false;
  }
  const uint64_t pixels = static_cast<uint64_t>(m_width) * static_cast<uint64_t>(m_height);
  if (pixels > static_cast<uint64_t>(INT32_MAX)) {
    DebugConsole->Output("Game data: sprite %d has masks too large to hold\n", index);
    return false;
  }
  m_maskPerFrame = count == m_numb;
  m_masks.SetCount(count);
  const uint8_t* bits = entry.Data() + at;
  for (int32_t m = 0; m < count; ++m) {
    SpriteMask& mask = m_masks[m];
    mask.size = static_cast<int32_t>(pixels);
    mask.data = static_cast<uint8_t*>(MemoryManager::Alloc(static_cast<uint32_t>(pixels), __FILE__, __LINE__));
    uint8_t* out = mask.data;
    for (int32_t y = 0; y < m_height; ++y) {
      const uint8_t* row = bits + static_cast<uint64_t>(m) * maskBytes + static_cast<uint64_t>(y) * rowBytes;
      for (int32_t x = 0; x < m_width; ++x) *out++ = (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
  }
  m_maskValid = true;
  return true;
}

void CSprite::ComputeBoundingBox() {
  m_radius = Sprite_BoundingRadius(m_width, m_height, m_xOrigin, m_yOrigin);
  if (m_bboxMode == kBBoxManual) return;
  if (m_bboxMode == kBBoxFullImage || !m_transparent) m_bbox = {0, 0, m_width - 1, m_height - 1};
  if (m_numb == 0) m_bbox = {0, 0, 0, 0};
  // A vector sprite takes its timeline's bounds once its items are read; without items it keeps
  // its box.
  if (m_kind == SPRITE_VECTOR) return;
  // In automatic mode the box is that of the frame bitmaps' pixels; a sprite without bitmaps (one
  // of the game data, a skeleton) keeps the box it has.
  if (m_bboxMode == kBBoxAutomatic && m_transparent && m_numb > 0 && m_bitmaps.Count() > 0) {
    BoundingBox box = {m_width - 1, m_height - 1, 0, 0};
    for (int32_t i = 0; i < m_bitmaps.Count(); ++i) {
      if (m_bitmaps[i] == nullptr) continue;
      const BoundingBox b = m_bitmaps[i]->GetBoundingBox();
      box.left = std::min(box.left, b.left);
      box.top = std::min(box.top, b.top);
      box.right = std::max(box.right, b.right);
      box.bottom = std::max(box.bottom, b.bottom);
    }
    m_bbox = box;
  }
}

void CSprite::SetBBoxMode(int32_t mode) {
  if (mode < kBBoxAutomatic || mode > kBBoxManual || mode == m_bboxMode) return;
  m_bboxMode = mode;
  ComputeBoundingBox();
}

void CSprite::SetBBox(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (m_bboxMode == kBBoxManual) m_bbox = {left, top, right, bottom};
}

int32_t CSprite::WrapFrame(int32_t frame) const {
  if (m_numb <= 0) return 0;
  int32_t f = frame % m_numb;
  if (f < 0) f += m_numb;
  return f;
}

SpriteTextureHandle CSprite::GetTPE(int32_t frame) const {
  SpriteTextureHandle handle;
  if (m_kind == SPRITE_VECTOR || m_numb <= 0) return handle;
  const int32_t f = WrapFrame(frame);
  if (HoldsGamePageEntries()) {
    if (f < m_pageEntries.Count() && m_pageEntries[f] != nullptr) {
      handle.kind = SpriteTextureHandle::kPageEntry;
      handle.entry = m_pageEntries[f];
    }
  } else if (f < m_textures.Count() && m_textures[f] >= 0) {
    handle.kind = SpriteTextureHandle::kTexture;
    handle.texture = m_textures[f];
  }
  return handle;
}

BoundingBox CSprite::GetFrameBounds(int32_t frame) const {
  if (frame < 0 || frame >= m_numb) return {0, 0, 0, 0};
  if (m_pageEntries.Count() > 0) {
    if (frame >= m_pageEntries.Count() || m_pageEntries[frame] == nullptr) return {0, 0, 0, 0};
    const TPageEntry e = TPageEntry_Read(m_pageEntries[frame]);
    return {e.xOffset, e.yOffset, e.xOffset + e.width, e.yOffset + e.height};
  }
  if (m_kind == SPRITE_VECTOR) return {0, 0, 0, 0};  // the frames' bounds come with the vector items
  const CBitmap32* bitmap = Bitmap(frame);
  return bitmap != nullptr ? bitmap->GetBoundingBox() : BoundingBox{0, 0, 0, 0};
}
