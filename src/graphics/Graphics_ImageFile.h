// Image files in memory made into plain RGBA pixels: the one entry that texture creation uses
// for compressed image bytes (PNG, JPEG, BMP and DDS), and the size limit that every image
// decoder of the program keeps to.
//
// The bytes are untrusted: nothing is read outside the length given, and no decoder makes an
// image larger than the limit, whatever its header says. Main thread only, like the PNG reader it
// uses; it never touches the image that DecodePNG keeps.
#pragma once

#include <cstdint>

// The largest image a decoder makes: 65,535 pixels a side and 2^26 pixels (256 MB of 32-bit
// pixels) in all.
constexpr int64_t kImageMaxSide = 65535;
constexpr int64_t kImageMaxPixels = int64_t(1) << 26;

// True when a width x height image lies within the limit (both sides at least 1).
bool Image_SizeAllowed(int64_t width, int64_t height);

// The kinds of image file, numbered as texture creation reports them in its info record.
enum class ImageFileFormat : int32_t {
  BMP = 0,
  JPEG = 1,
  PNG = 3,
  DDS = 4,
};

// What the file says of itself.
struct ImageFileInfo {
  int32_t width = 0;   // the image's own size
  int32_t height = 0;
  int32_t mipLevels = 1;  // levels the file holds (DDS may hold more than one; only the top one is decoded)
  ImageFileFormat format = ImageFileFormat::BMP;
};

// Decodes the file in the `length` bytes at `data`, recognised by its first bytes: the PNG
// signature, 0xFF 0xD8 0xFF (JPEG), "BM" (BMP) or "DDS " (DDS). Answers width x height pixels of
// 4 bytes in the order R, G, B, A, rows top first, no gap between them (a new memory-manager
// block the caller frees) and fills `info`; null (info untouched) for another kind of file or
// one that cannot be decoded. JPEG, 24-bit and 32-bit BMP images are opaque (a BMP's fourth byte
// is not alpha); PNG alpha comes from the file, 8-bit BMPs are opaque, and DDS images keep their
// alpha. BMPs of other bit counts are refused.
uint8_t* Graphics_DecodeImageFile(const uint8_t* data, uint64_t length, ImageFileInfo* info);
