// The device side of textures, and the stack of saved render targets that surfaces and the
// application surface push and pop.
//
// A HardwareTexture is a device texture with its level-0 surface, for render targets a colour
// surface of their own (multisampled with the device's multisample setting) and a depth-stencil
// surface, and a CPU copy of its pixels (the pixel copy) from which regions are uploaded again.
// Every record is kept in one list, newest first, from creation until FreeHardwareTexture, which
// is the only way a record goes.
//
// Pixels handed in and out are in the device's byte order: 32-bit words 0xAARRGGBB (bytes B, G,
// R, A), or for format code 11 16-bit A4R4G4B4 words; rows top first. Read-back blocks are
// memory-manager blocks the caller frees.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "graphics/device/D3D_Device.h"

class TBitmap;

// Flag bits of a HardwareTexture.
constexpr uint32_t kTextureRendered = 1;      // drawn into since last sampled: resolve before use
constexpr uint32_t kTextureDefaultPool = 8;   // made in the default pool (render targets always)
constexpr uint32_t kTextureManagedPool = 16;  // made in the managed pool: locked in place

// Format codes of CreateTexture and CreateTextureFromBlob.
constexpr int32_t kTextureFormatARGB = 6;       // 32 bits, D3DFMT_A8R8G8B8
constexpr int32_t kTextureFormatARGB4444 = 11;  // 16 bits, D3DFMT_A4R4G4B4

struct HardwareTexture {
  int32_t format = 0;       // format code 0..11
  uint32_t packedSize = 0;  // bits 0..12 width - 1, 13..25 height - 1, 26..31 mip levels - 1
  uint32_t flags = 0;
  IDirect3DTexture9* texture = nullptr;       // null when the texture could not be made
  IDirect3DSurface9* surface = nullptr;       // level 0, or a render target's own colour surface
  IDirect3DSurface9* depthSurface = nullptr;  // render targets only
  uint8_t* pixelCopyBlock = nullptr;          // the memory-manager block, null without a copy
  uint8_t* pixelCopy = nullptr;               // inside it, on a 16-byte boundary
  HardwareTexture* next = nullptr;            // the list of every record
};

// The texture's real size, from its packed size.
inline int32_t HardwareTexture_Width(const HardwareTexture* t) { return static_cast<int32_t>(t->packedSize & 0x1FFF) + 1; }
inline int32_t HardwareTexture_Height(const HardwareTexture* t) {
  return static_cast<int32_t>((t->packedSize >> 13) & 0x1FFF) + 1;
}

// What the creation functions report of the texture they made.
struct TextureInfo {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitsPerPixel = 0;
  int32_t mipLevels = 0;
  int32_t format = 0;           // the format code
  int32_t resourceType = -1;    // 3 (a texture) for image files, else -1
  int32_t imageFileFormat = 0;  // for image files 0 BMP, 1 JPEG, 3 PNG, 4 DDS; else the format code
};

struct HardwareTextureState {
  HardwareTexture* list = nullptr;             // every record, newest first
  IDirect3DTexture9* lastBound = nullptr;      // the device texture SetTextureStage bound last
};
extern HardwareTextureState g_HardwareTextures;

constexpr int32_t kRenderTargetLevels = 8;
constexpr int32_t kMaxSimultaneousTargets = 4;

struct RenderTargetLevel {
  IDirect3DSurface9* surfaces[kMaxSimultaneousTargets] = {};  // each holds a reference
  IDirect3DSurface9* depthSurface = nullptr;                  // holds a reference
  HardwareTexture* textures[kMaxSimultaneousTargets] = {};
};

struct RenderTargetStack {
  int32_t depth = 0;
  RenderTargetLevel levels[kRenderTargetLevels];
  HardwareTexture* bound[kMaxSimultaneousTargets] = {};  // null: the back buffer
};
extern RenderTargetStack g_RenderTargets;

// The largest side a plain texture gets: 4096.
int32_t GetMaxTextureSize();
// The device format of a format code: 0 gives 0xFFFFFFFF, 1..5 "DXT1".."DXT5", 6
// D3DFMT_A8R8G8B8, 7 D3DFMT_D32, 8 D3DFMT_D24S8, 9 D3DFMT_R16F, 10 D3DFMT_R32F, 11
// D3DFMT_A4R4G4B4, any other code itself.
uint32_t TextureFormatOfCode(int32_t code);

// A texture of the power-of-two size that holds width x height (each side at most 4096), in the
// graphics pool; with flags bit 0 a render target of exactly width x height (1..8192) with its
// colour and depth-stencil surfaces. Null without a device or when the device cannot make any of
// it, after the line "CreateTexture failed - %08x\n" with the device's error; nothing made is
// kept then. The pixel copy starts zeroed.
HardwareTexture* CreateTexture(int32_t width, int32_t height, int32_t levels, uint32_t flags, int32_t code);
// A 32-bit texture of the power-of-two size with the width x height pixels uploaded; `info`
// gets that size, 32 bits, 0 levels, code 6, -1, 6. Null when the texture cannot be made.
HardwareTexture* CreateTextureFromPixels(const void* pixels, int32_t width, int32_t height, TextureInfo* info);
// A texture from the `size` bytes at `data`, never written:
// - a "RAW " blob (16-byte header: the magic, width, height, kind 0 for 32-bit pixels in the
//   byte order R, G, B, A or 1 for 16-bit pixels whose nibbles run B, G, R, A from the highest;
//   rows top first): a texture as CreateTexture makes it (codes 6 and 11, `info` the blob's
//   size, 32 or 16 bits, 0 levels, the code, -1, the code) with the pixels converted into the
//   pixel copy and uploaded. Null for another kind, pixels that do not fit in `size`, or a
//   texture that cannot be made.
// - anything else an image file (PNG, JPEG, BMP, DDS; Graphics_ImageFile.h): a 32-bit texture of
//   the image's own size without a pixel copy, `info` the image's size, 32 bits, the file's mip
//   levels, `code`, 3 and the file's kind. Bytes that cannot be decoded or made into a texture
//   still give a record, wrapping no texture (so records stay aligned with what asked for
//   them), with `info` zero but for the code, -1 and the code.
HardwareTexture* CreateTextureFromBlob(const uint8_t* data, uint64_t size, TextureInfo* info, int32_t code);
// Copies the width x height pixels (rows width pixels apart) into the pixel copy, cut to the
// texture's size, then writes the whole of the level from the pixel copy to the device: managed
// textures are locked in place, others filled through a system-memory texture (logging "Failed
// CreateTexture on SystemMem" when that cannot be made). False without a pixel copy, a device
// texture or a device, or when the device refuses.
bool UploadPixels(HardwareTexture* texture, int32_t level, int32_t width, int32_t height, const void* pixels);
// Writes a rectangle of the pixel copy (cut to the texture) to the device texture. False without
// a record or pixel copy, or when the device refuses; true with nothing done without a device
// texture or for an empty rectangle.
bool UpdateTextureRegion(HardwareTexture* texture, int32_t x, int32_t y, int32_t width, int32_t height);
// Binds the texture's device texture (none for null) to sampler stage `stage`, resolving a
// rendered texture first, and counts a change of texture for the debug overlay; a stage outside
// 0..8 or no device does nothing.
void SetTextureStage(int32_t stage, HardwareTexture* texture);
// Clears flag bit 0 and copies a render target's colour surface into its texture.
void ResolveRenderTarget(HardwareTexture* texture);
// Makes the texture's surfaces target `index` (index 0 also takes its depth surface); false
// without a device, for an index outside the simultaneous targets, or when the device refuses.
bool BindRenderTarget(int32_t index, HardwareTexture* texture);
// Saves the current targets in a new level; false at 8 levels.
bool PushRenderTarget();
// Restores the targets of the top level and releases what it saved; false without a device, at
// depth 0, or when the device refuses a target (the level's remaining references are released).
bool PopRenderTarget();
void PopAllRenderTargets();
// Removes the levels above `keep` without restoring them, releasing every surface they saved.
void DropRenderTargetLevels(int32_t keep);
// Releases everything of the record and deletes it, after the batch, the saved levels and the
// bound targets have forgotten it. Null does nothing.
void FreeHardwareTexture(HardwareTexture* texture);

// Read-back. Blocks are width x height words 0xAARRGGBB, rows top first.
//
// The region (x, y, *width, *height) of the current render target (the back buffer, or the
// texture bound as target 0), with x and y raised to 0 and the size cut to the area and to the
// target; the cut size is written back. Null for an empty region or when the device fails.
uint8_t* ReadSurfacePixels(int32_t areaWidth, int32_t areaHeight, int32_t x, int32_t y, int32_t* width,
                           int32_t* height);
// A block of the requested width x height (zero beyond the texture) with the texture's region
// at (x, y) in its top-left corner; x and y below 0 count as 0. Null for a size below 1 or above
// 8192, without a device texture, or when the device fails.
uint8_t* ReadTexturePixels(HardwareTexture* texture, int32_t x, int32_t y, int32_t width, int32_t height);
uint8_t* GraphicsReadTexturePixels(HardwareTexture* texture, int32_t x, int32_t y, int32_t width, int32_t height);
// A 32-bit bitmap of a width x height block read back above, which it frees (null does nothing
// and answers null).
std::unique_ptr<TBitmap> BitmapFromPixelBlock(uint8_t* block, int32_t width, int32_t height);
// Copies a width x height rectangle at (sx, sy) of `source` to (dx, dy) of `destination`. A
// negative coordinate on either side moves both corners by the same amount and shrinks the
// size; the size is cut to both textures. The destination then counts as rendered.
void CopyTextureRegion(HardwareTexture* destination, int32_t dx, int32_t dy, HardwareTexture* source, int32_t sx,
                       int32_t sy, int32_t width, int32_t height);
// A 32-bit bitmap of a region of the current render target, inside the bounding rectangle of
// the current view area; null when the region is empty or cannot be read.
std::unique_ptr<TBitmap> GR_CreateTBitmapFromScreen(int32_t x, int32_t y, int32_t width, int32_t height);
// The pixel at (x, y) of the current render target inside the display area as 0xAABBGGRR; 0 when
// it cannot be read.
uint32_t GR_GetScreenPixel(int32_t x, int32_t y);

// The texture of entry `index` of the program's embedded files (format code 0); null for an
// index that has no entry.
HardwareTexture* EmbeddedFiles_CreateTexture(int32_t index);
