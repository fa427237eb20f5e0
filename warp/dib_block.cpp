// The clipboard image block: its arithmetic, kept in 64 bits so no canvas size overflows
// it, and its contents laid out from the rendered pixels.
#include "warp/dib_block.h"

#include <bit>
#include <cstring>

// Pixel words stored as they are give blue, green, red, alpha in that byte order.
static_assert(std::endian::native == std::endian::little, "the block's words are little-endian");

bool CanvasFitsBitmap(int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0)
        return false;
    return uint64_t(width) * uint64_t(height) * 4 <= kMaxBitmapBytes;
}

std::optional<uint64_t> DibBlockSize(int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0)
        return std::nullopt;
    // at most (2^31 - 1)^2 * 4 + 44 < 2^64
    return uint64_t(width) * uint64_t(height) * 4 + kDibHeaderBytes;
}

static void Put32(std::array<uint8_t, kDibHeaderBytes>& bytes, size_t at, uint32_t v)
{
    for (size_t k = 0; k < 4; ++k)
        bytes[at + k] = static_cast<uint8_t>(v >> (8 * k));
}

std::array<uint8_t, kDibHeaderBytes> DibHeader(int32_t width, int32_t height)
{
    std::array<uint8_t, kDibHeaderBytes> bytes{};
    Put32(bytes, 0, 40);                             // biSize
    Put32(bytes, 4, static_cast<uint32_t>(width));   // biWidth
    Put32(bytes, 8, static_cast<uint32_t>(height));  // biHeight
    bytes[12] = 1;                                   // biPlanes
    bytes[14] = 32;                                  // biBitCount; biCompression 0 = BI_RGB
    return bytes;
}

PixelBuffer DibBlockPixels(uint8_t* block, int32_t width, int32_t height)
{
    PixelBuffer buffer;
    buffer.width = uint32_t(width);
    buffer.height = uint32_t(height);
    buffer.stride = width * 4;
    buffer.pixels = block + kDibHeaderBytes;
    return buffer;
}

// Transparent pixels become 0 while the rows are swapped end for end, in one pass.
static void SwapRows(uint32_t* a, uint32_t* b, size_t width)
{
    for (size_t x = 0; x < width; ++x) {
        const uint32_t top = a[x];
        const uint32_t bottom = b[x];
        a[x] = (bottom >> 24) == 0 ? 0 : bottom;
        b[x] = (top >> 24) == 0 ? 0 : top;
    }
}

void FinishDibBlock(uint8_t* block, int32_t width, int32_t height)
{
    const PixelBuffer rows = DibBlockPixels(block, width, height);
    for (uint32_t y = 0; y < rows.height - 1 - y; ++y)
        SwapRows(rows.Row(y), rows.Row(rows.height - 1 - y), rows.width);
    if (rows.height % 2 == 1) {  // the middle row stays where it is
        uint32_t* middle = rows.Row(rows.height / 2);
        SwapRows(middle, middle, rows.width);
    }
    const std::array<uint8_t, kDibHeaderBytes> header = DibHeader(width, height);
    std::memcpy(block, header.data(), header.size());
}
