// Sizes, header and contents of the clipboard image block (a packed 32-bit bottom-up
// bitmap) and the bound on export canvases; and the reading of the blocks other programs
// put on the clipboard.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "warp/pixel_buffer.h"

inline constexpr uint32_t kDibHeaderBytes = 44;  // 40-byte header + one zero colour entry

// Largest pixel memory an export bitmap may have: its row stride and its byte size must
// fit the int32 fields the imaging library computes them in.
inline constexpr uint64_t kMaxBitmapBytes = 0x7FFFFFFF;

// Whether a width x height 32-bit bitmap is positive in both sides and within kMaxBitmapBytes.
bool CanvasFitsBitmap(int32_t width, int32_t height);
// width * height * 4 + 44 in 64 bits; none when either side is not positive.
std::optional<uint64_t> DibBlockSize(int32_t width, int32_t height);
// The 44 header bytes, little-endian: biSize 40, width, height (positive: bottom row
// first), 1 plane, 32 bits, BI_RGB, every other field and the colour entry 0.
std::array<uint8_t, kDibHeaderBytes> DibHeader(int32_t width, int32_t height);
// The whole block for `image` (its lock usable): DibHeader, then the rows from the bottom one
// up, each pixel blue, green, red, alpha. A transparent pixel comes out all zero, black, as
// the library's conversion over a black background gives it; an opaque one as it is. (The
// export holds nothing else: the warp writes opaque pixels only.) `block` holds
// DibBlockSize(width, height) bytes.
void WriteDibBlock(const PixelBuffer& image, uint8_t* block);

// A packed device-independent bitmap another program offered (CF_DIB or CF_DIBV5), read
// into opaque ARGB pixels: the forms a 32-bit display copies exactly, 32 bits (BI_RGB, or
// BI_BITFIELDS with red, green and blue in the bytes 2, 1, 0) and 24 bits (BI_RGB), bottom
// row or top row first, with a 40-, 108- or 124-byte header and no colour table; the fourth
// byte is ignored. False, with `pixels` untouched, for any other form, a block shorter than
// its rows, or pixels that cannot be allocated.
bool ReadDibBlock(const uint8_t* block, size_t size, PixelImage& pixels);
