// The clipboard image block's arithmetic, kept in 64 bits so no canvas size overflows it.
#include "warp/dib_block.h"

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
