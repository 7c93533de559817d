// PNG images in memory made into 32-bit pixels (libpng), the 2 x 2 reductions and the PNG header
// reader of texture descriptors.
//
// Decoded pixels are width x height 0xAARRGGBB words (bytes B, G, R, A), row-major, top row
// first. Every image comes out that way: grey images are widened to colour, palette images
// expanded, a transparency chunk becomes alpha, images without alpha get 255, and 16-bit samples
// are cut to their high 8 bits. The PNG bytes are untrusted: reading stops at the length given
// (a truncated or damaged file fails), and no image beyond Image_SizeAllowed is decoded.
//
// DecodePNG keeps the one image it decoded until FreeDecodedPNG. Main thread only.
#pragma once

#include <cstdint>

struct png_struct_def;
struct png_info_def;

// One decoding: the bytes, the libpng structures and the pixels.
struct PNGDecodeState {
  uint8_t status = 0;  // 1 after a failed read
  const uint8_t* data = nullptr;
  uint64_t length = 0;
  uint64_t position = 0;  // bytes read so far, the 8-byte signature included
  int32_t width = 0;
  int32_t height = 0;
  png_struct_def* png = nullptr;
  png_info_def* info = nullptr;
  png_info_def* endInfo = nullptr;
  uint8_t* pixels = nullptr;  // height rows of width x 4 bytes
  bool ownsPixels = true;     // false for a buffer the caller supplied
  uint64_t capacity = 0;      // bytes of the caller's buffer
  uint8_t** rows = nullptr;   // height pointers into the pixels (owned)
};

// A process-wide reduction factor for DecodePNG's reduce flag; nothing in the program sets it,
// and a value below 2 reduces nothing.
extern int32_t TextureScale;

// Reads the header of the state's data: checks the signature (printing "Not a PNG" on
// DebugConsole when it is wrong), creates the libpng structures, reads the header, requests the
// transforms and stores the width and height. On failure the libpng structures are destroyed,
// status becomes 1 and "ReadPNG :: a PNG error occured" is printed; false.
bool ReadPNGInfo(PNGDecodeState* state);
// ReadPNGInfo, then the whole image into the state's pixels: a new buffer unless the state holds
// the caller's, which must have room for width x height x 4 bytes (its capacity), else the read
// fails. On failure the pixels and rows are freed too.
bool ReadPNG(PNGDecodeState* state);
// Destroys a state's libpng structures and frees its row pointers and its own pixels; the state
// itself stays.
void FreePNGDecoder(PNGDecodeState* state);

// The pixels of the kept image, decoding the data first when no image is kept; null with width
// and height -1 when the data cannot be decoded. While an image is kept, every call answers it
// whatever its data, so each use ends with FreeDecodedPNG. With `reduce` and a TextureScale of 2
// or more, a newly decoded image is halved once in place (HalfTextureRGBA) to width / 2 x
// height / 2 (nothing for a side below 2), which is the size then reported. The caller must not
// free the pixels.
uint32_t* DecodePNG(const uint8_t* data, uint64_t length, int32_t* width, int32_t* height, bool reduce);
// DecodePNG decoding into the caller's buffer of `capacity` bytes (which the kept image then
// uses); an image larger than the buffer cannot be decoded.
uint32_t* DecodePNGInto(const uint8_t* data, uint64_t length, int32_t* width, int32_t* height, uint8_t* buffer,
                        uint64_t capacity, bool reduce);
// Releases the kept image; nothing when none is kept.
void FreeDecodedPNG();
// The size the data's header gives (halved as DecodePNG would with `reduce`); false with width
// and height -1 when the header cannot be read.
bool GetPNGSize(const uint8_t* data, uint64_t length, int32_t* width, int32_t* height, bool reduce);

// The texture descriptor that getTextureInfo fills.
struct TextureHeader {
  uint32_t format = 0;      // set to 6
  uint32_t packedSize = 0;  // bits 0-12 width - 1, bits 13-25 height - 1, other bits kept
  const uint8_t* data = nullptr;  // the PNG bytes
  uint32_t dataLength = 0;
};
// Reads the PNG header of the descriptor's data into its packed size and sets its format to 6.
// False, with "getTextureInfo :: a PNG error occured" printed and the descriptor untouched, when
// the header cannot be read or a side exceeds 8192.
bool getTextureInfo(TextureHeader* texture);
// Decodes the descriptor's PNG whole, lets the pixels go and sets its format to 6; answers 0, or
// -1 after printing "a PNG error occured".
int32_t DecodePNGToTexture(TextureHeader* texture);

// 2 x 2 reductions of a w x h image of 4-byte (RGBA) or 3-byte (RGB) pixels to w2 x h2: target
// (x, y) averages, byte by byte rounding down, the source pixel at (x * w * 65536 / w2 >> 16,
// y * h * 65536 / h2 >> 16), its right neighbour and the two pixels below them (neighbours past
// the edge are the edge pixel). Targets are written in order, so `destination` may be `source`.
// Nothing for a size below 1. HalfTextureRGB first prints its arguments on DebugConsole.
void HalfTextureRGBA(int32_t w2, int32_t h2, uint8_t* destination, int32_t w, int32_t h, const uint8_t* source);
void HalfTextureRGB(int32_t w2, int32_t h2, uint8_t* destination, int32_t w, int32_t h, const uint8_t* source);
