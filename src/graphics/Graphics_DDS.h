// DDS images: the file header and the pixel blocks of the kinds the program reads (DXT1, DXT3,
// DXT5 and uncompressed 32-bit pixels), decoded into plain 8-bit R, G, B, A pixels.
//
// Every routine is a pure function of its arguments: no state, no allocation, safe from any
// thread. It depends on nothing but the C++ library, so the image generator in tools/embedgen
// compiles this file into itself and decodes its own blocks exactly as the runtime does. The
// file bytes are untrusted: the header reader checks every size against the bytes given before
// anything is read. Output buffers belong to the caller.
#pragma once

#include <cstdint>

// The pixel kinds of a DDS image that the decoder handles.
enum class DdsFormat : uint8_t {
  DXT1,    // 8-byte blocks of 4 x 4 pixels: two 5-6-5 colours and 2-bit indices
  DXT3,    // 16-byte blocks: 4-bit alpha per pixel, then a DXT1-style colour block
  DXT5,    // 16-byte blocks: two alpha levels and 3-bit indices, then a colour block
  RGBA32,  // 32-bit pixels whose channels lie where the header's masks say
};

// Size of the file's fixed part: the magic "DDS " and the 124-byte header.
constexpr uint32_t kDdsHeaderSize = 128;

// What the header says, and where the top level's pixel data lies.
struct DdsImage {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t mipLevels = 1;  // levels the file declares (at least 1); only the top one is decoded
  DdsFormat format = DdsFormat::DXT1;
  // RGBA32 only: the bits of each channel in a pixel word (red, green, blue, alpha). An alpha
  // mask of 0 means the pixels are opaque.
  uint32_t masks[4] = {0, 0, 0, 0};
  const uint8_t* data = nullptr;  // the top level's bytes, inside the file
  uint64_t dataLength = 0;        // exactly the bytes the top level needs
};

// Reads the header of the `length` bytes at `file`. False (the image untouched) unless they
// start with "DDS ", a 124-byte header with a width and height of at least 1 and a 32-byte pixel
// format that names DXT1, DXT3 or DXT5 by its four-character code or plain RGB pixels of 32 bits,
// and the top level's data lies entirely inside the bytes. The mip level count counts only when
// the header's mip-map-count flag is set (a stored 0 counts as 1).
bool DDS_ReadHeader(const uint8_t* file, uint64_t length, DdsImage* image);

// Decodes the top level of an image whose header DDS_ReadHeader read into width x height pixels
// of 4 bytes (R, G, B, A), row-major, top row first. Blocks run in rows of ceil(width / 4); the
// parts of edge blocks outside the image are dropped.
void DDS_DecodeImage(const DdsImage& image, uint8_t* rgba);

// One 4 x 4 block into 16 pixels (R, G, B, A), row-major.
// DXT1: colour c0 above c1 (as 16-bit numbers) gives four colours, c0, c1, (2 c0 + c1) / 3 and
// (c0 + 2 c1) / 3; otherwise three colours, c0, c1 and (c0 + c1) / 2, and index 3 is transparent
// black. Alpha is 255 for the colours.
void DDS_DecodeBlockDXT1(const uint8_t block[8], uint8_t out[16][4]);
// DXT3: pixel i's alpha is the 4-bit value at bits 4i..4i+3 of the first 8 bytes times 17; the
// colour block always has four colours.
void DDS_DecodeBlockDXT3(const uint8_t block[16], uint8_t out[16][4]);
// DXT5: alpha from DDS_AlphaPalette of the first two bytes and the 3-bit indices of the next six;
// the colour block always has four colours.
void DDS_DecodeBlockDXT5(const uint8_t block[16], uint8_t out[16][4]);

// The eight alpha levels of a DXT5 block with end points a0 and a1: a0, a1, then with a0 > a1
// six steps between them ((7 - k) a0 + k a1) / 7, otherwise four steps ((5 - k) a0 + k a1) / 5
// followed by 0 and 255. Integer division throughout.
void DDS_AlphaPalette(int a0, int a1, int palette[8]);
// The colours (R, G, B, A) of a colour block with 5-6-5 end points c0 and c1: with `fourColours`
// as DXT3 and DXT5 always read them, otherwise as a DXT1 block reads them (see above).
void DDS_ColourPalette(uint32_t c0, uint32_t c1, bool fourColours, uint8_t palette[4][4]);
// A 5-6-5 colour widened to 8 bits a channel, the top bits repeated into the low ones.
void DDS_From565(uint32_t colour, uint8_t rgb[3]);
