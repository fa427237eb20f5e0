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

void WriteDibBlock(const PixelBuffer& image, uint8_t* block)
{
    const std::array<uint8_t, kDibHeaderBytes> header =
        DibHeader(int32_t(image.width), int32_t(image.height));
    std::memcpy(block, header.data(), header.size());
    const size_t rowBytes = size_t(image.width) * 4;
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint32_t* from = image.Row(y);
        uint8_t* to = block + kDibHeaderBytes + size_t(image.height - 1 - y) * rowBytes;
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint32_t word = (from[x] >> 24) == 0 ? 0 : from[x];
            std::memcpy(to + size_t(x) * 4, &word, 4);
        }
    }
}
