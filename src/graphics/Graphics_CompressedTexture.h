// Software decoders for compressed texture blocks (PVRTC at 2 and 4 bits per pixel, ETC1), the
// PVR version-2 container header, Morton ("twiddled") ordering and tiling. They turn blocks into
// plain 8-bit pixels for a device that cannot sample the format itself.
//
// Every routine is a pure function of its arguments: no state, safe from any thread. Block data
// is untrusted: each decoder takes the length of the data it may read and refuses (answers
// false or -1, writing nothing) an image whose blocks would lie beyond it. Output buffers belong
// to the caller and must hold width x height pixels of 4 bytes, in the byte order R, G, B, A,
// row-major, top row first.
#pragma once

#include <cstdint>

// Decodes a whole PVRTC image: 8 x 4 pixel blocks when `twoBit`, else 4 x 4, each block a
// little-endian modulation word followed by a little-endian colour word, blocks in Morton order
// of their block coordinates. The block grid is the image size divided by the block size, at
// least 2 x 2. With `wrap`, the blocks around the image's edge interpolate with the blocks on the
// opposite edge; without it, with themselves. False (nothing written) for a width or height
// below 1 or a grid whose blocks do not all lie inside the `length` bytes of `data`.
bool DecodePVRTC(const uint8_t* data, uint64_t length, bool twoBit, int32_t width, int32_t height, bool wrap,
                 uint8_t* output);
// DecodePVRTC with wrapping on.
bool DecodePVRTCWrapped(const uint8_t* data, uint64_t length, bool twoBit, int32_t width, int32_t height,
                        uint8_t* output);

// Decodes an ETC1 image: 8-byte blocks of 4 x 4 pixels in row order, ceil(width / 4) blocks to a
// row; pixels of partial blocks outside the image are dropped. Answers the compressed size the
// image holds, padded width x padded height / 2 (the size rounded up to whole blocks), or -1
// (nothing written) for a negative size or when the blocks do not fit the `length` bytes.
int64_t DecodeETC1(const uint8_t* blocks, uint64_t length, int32_t width, int32_t height, uint8_t* output);

// Size of the PVR version-2 header that CreatePVRTexture writes.
constexpr uint32_t kPVRHeaderSize = 52;

// A new zero-filled C-heap buffer (release with std::free) holding a PVR version-2 header (the
// 13 u32 fields: header size 52, height, width, mip-map count 0, pixel-format flags 0, data
// size, bits per pixel, four colour masks 0, tag 0, surface count 1) and room for the data after
// it. The data size is bitsPerPixel x the sum over the levels of max(level width, minWidth) x
// max(level height, minHeight), divided by 8; with `mipMaps` the levels halve (each side at least
// 1) down to 1 x 1, without it only the top level counts. Null for a zero size or bit count, or a
// buffer of 2 GB or more.
uint8_t* CreatePVRTexture(uint32_t width, uint32_t height, uint32_t minWidth, uint32_t minHeight,
                          uint32_t bitsPerPixel, bool mipMaps);

// The Morton index of (x, y): x's low 16 bits at the odd bit positions, y's at the even ones.
uint32_t TwiddleIndex(uint32_t x, uint32_t y);
struct TwiddlePoint {
  uint32_t x;
  uint32_t y;
};
// The (x, y) whose Morton index is `index`.
TwiddlePoint UntwiddleIndex(uint32_t index);

// Fills a width x height output of `bytesPerPixel`-byte pixels by repeating the source: output
// pixel i (row order) is the source pixel at (x mod sourceWidth, y mod sourceHeight), where
// (x, y) is i's place in row order, or with `twiddled` the point whose Morton index is i (and the
// source is then addressed in Morton order, else in row order). False (nothing written) for a
// size below 1, a twiddled size beyond 65,536, or a source whose pixels do not all lie inside its
// `sourceLength` bytes.
bool TileTexture(uint8_t* output, int32_t width, int32_t height, const uint8_t* source, uint64_t sourceLength,
                 int32_t sourceWidth, int32_t sourceHeight, int32_t bytesPerPixel, bool twiddled);

// True when v is not 0 and has exactly one bit set.
bool IsPowerOfTwo(uint32_t v);
