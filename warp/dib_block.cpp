// The clipboard image block: its arithmetic, kept in 64 bits so no canvas size overflows
// it, and its contents laid out from the rendered pixels.
#include "warp/dib_block.h"

#include <bit>
#include <cstring>
#include <utility>

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

static uint32_t Get32(const uint8_t* bytes, size_t at)
{
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

bool ReadDibBlock(const uint8_t* block, size_t size, PixelImage& pixels)
{
    constexpr uint32_t kRgb = 0, kBitFields = 3;
    if (size < 40)
        return false;
    const uint32_t headerSize = Get32(block, 0);
    const int32_t width = static_cast<int32_t>(Get32(block, 4));
    const int32_t height = static_cast<int32_t>(Get32(block, 8));
    const uint32_t planes = uint32_t(block[12]) | uint32_t(block[13]) << 8;
    const uint32_t bits = uint32_t(block[14]) | uint32_t(block[15]) << 8;
    const uint32_t compression = Get32(block, 16);
    const uint32_t coloursUsed = Get32(block, 32);
    if ((headerSize != 40 && headerSize != 108 && headerSize != 124) || size < headerSize ||
        planes != 1 || coloursUsed != 0 || width <= 0 || height == 0 || height == INT32_MIN)
        return false;
    // The masks follow a 40-byte header and lie inside the longer ones.
    size_t offset = headerSize;
    if (bits == 32 && compression == kBitFields) {
        if (headerSize == 40)
            offset += 12;
        if (size < 52 || Get32(block, 40) != 0x00FF0000u || Get32(block, 44) != 0x0000FF00u ||
            Get32(block, 48) != 0x000000FFu)
            return false;
    } else if (!((bits == 32 || bits == 24) && compression == kRgb)) {
        return false;
    }
    const uint64_t rows = height < 0 ? uint64_t(-int64_t(height)) : uint64_t(height);
    const uint64_t stride = (uint64_t(width) * bits + 31) / 32 * 4;
    if (offset > size || stride * rows > size - offset || rows > UINT32_MAX)
        return false;
    PixelImage read;
    if (!read.Allocate(uint32_t(width), uint32_t(rows)))
        return false;
    const size_t step = bits / 8;
    for (uint32_t y = 0; y < read.height; ++y) {
        // a positive height stores the bottom row first
        const uint64_t stored = height > 0 ? rows - 1 - y : y;
        const uint8_t* from = block + offset + stored * stride;
        uint32_t* to = &read.pixels[size_t(y) * read.width];
        if (bits == 32) {  // the words as they are, made opaque
            std::memcpy(to, from, size_t(read.width) * 4);
            for (uint32_t x = 0; x < read.width; ++x)
                to[x] |= 0xFF000000u;
            continue;
        }
        for (uint32_t x = 0; x < read.width; ++x, from += step)
            to[x] = 0xFF000000u | uint32_t(from[2]) << 16 | uint32_t(from[1]) << 8 | from[0];
    }
    pixels = std::move(read);
    return true;
}
