// Tests of the clipboard image block's size and header and of the export canvas bound.
#include "warp/dib_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

TEST(DibBlockSize, HeaderPlusFourBytesPerPixel)
{
    EXPECT_EQ(DibBlockSize(3, 2), std::optional<uint64_t>(68));  // 3 * 2 * 4 + 44
    EXPECT_EQ(DibBlockSize(2, 2), std::optional<uint64_t>(60));  // the canvas of no curves
    EXPECT_EQ(DibBlockSize(1, 1), std::optional<uint64_t>(48));
    // (2^31 - 1)^2 * 4 + 44 = 2^64 - 2^34 + 48: computed without wrapping
    EXPECT_EQ(DibBlockSize(kMax, kMax), std::optional<uint64_t>(18446744056529682480ull));
    // 65536 * 65536 * 4 = 2^34: a 32-bit product would have wrapped to 0
    EXPECT_EQ(DibBlockSize(65536, 65536), std::optional<uint64_t>((uint64_t(1) << 34) + 44));
}

TEST(DibBlockSize, NoBlockForSidesBelowOne)
{
    EXPECT_FALSE(DibBlockSize(0, 2));
    EXPECT_FALSE(DibBlockSize(2, 0));
    EXPECT_FALSE(DibBlockSize(-1, 5));
    EXPECT_FALSE(DibBlockSize(5, std::numeric_limits<int32_t>::min()));
}

TEST(DibHeader, LaysOutTheFortyFourBytes)
{
    std::array<uint8_t, 44> expected{};
    expected[0] = 40;   // biSize
    expected[4] = 3;    // biWidth
    expected[8] = 2;    // biHeight, positive: bottom row first
    expected[12] = 1;   // biPlanes
    expected[14] = 32;  // biBitCount; compression, sizes, colours and the colour entry 0
    EXPECT_EQ(DibHeader(3, 2), expected);
}

TEST(DibHeader, WritesWideSidesLittleEndian)
{
    std::array<uint8_t, 44> header = DibHeader(0x01020304, 0x7A0B0C0D);
    const uint8_t width[] = {0x04, 0x03, 0x02, 0x01};
    const uint8_t height[] = {0x0D, 0x0C, 0x0B, 0x7A};
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(header[4 + k], width[k]);
        EXPECT_EQ(header[8 + k], height[k]);
    }
    for (size_t k = 16; k < 44; ++k)
        EXPECT_EQ(header[k], 0) << k;
}

TEST(CanvasFitsBitmap, BoundsTheStrideAndTheByteCount)
{
    struct Case {
        int32_t width, height;
        bool fits;
    };
    const Case
        cases
            [] =
                {
                    {2, 2, true},          {1920, 1080, true},
                    {23170, 23170, true},   // 23170^2 * 4 = 2147395600 <= 2^31 - 1
                    {23171, 23171, false},  // 23171^2 * 4 = 2147580964
                    {536870911, 1, true},   // stride 2147483644
                    {536870912, 1, false},  // stride 2^31 leaves int32
                    {1, 536870912, false}, {kMax, kMax, false},
                    {0, 5, false},         {5, -1, false},
                };
    for (const Case& c : cases)
        EXPECT_EQ(CanvasFitsBitmap(c.width, c.height), c.fits) << c.width << " x " << c.height;
}

// A rendered export laid out as the clipboard block: each opaque pixel names its place, the
// transparent ones carry colour the block must not show, and every row of the lock is padded
// with a word the block must not hold. Three rows as well as two: the middle row stays.
TEST(WriteDibBlock, LaysTheRowsOutBottomUpBehindTheHeader)
{
    struct Case {
        uint32_t width, height;
        std::vector<uint32_t> rendered;  // top row first
        std::vector<uint8_t> rows;       // what the block holds after the header
    };
    const Case cases[] = {
        {3,
         2,
         {0xFF102030u, 0x00FFFFFFu, 0xFF112233u, 0x00000000u, 0xFFA0B0C0u, 0x00123456u},
         {0,    0,    0,    0,    0xC0, 0xB0,
          0xA0, 0xFF, 0,    0,    0,    0,  // the bottom row first
          0x30, 0x20, 0x10, 0xFF, 0,    0,
          0,    0,    0x33, 0x22, 0x11, 0xFF}},  // transparent is black
        {1,
         3,
         {0xFF010203u, 0x00ABCDEFu, 0xFFFFFFFEu},
         {0xFE, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0x03, 0x02, 0x01, 0xFF}},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> words((c.width + 1) * c.height, 0xDEADBEEFu);
        for (uint32_t y = 0; y < c.height; ++y)
            for (uint32_t x = 0; x < c.width; ++x)
                words[y * (c.width + 1) + x] = c.rendered[y * c.width + x];
        PixelBuffer image;
        image.width = c.width;
        image.height = c.height;
        image.stride = int32_t(c.width + 1) * 4;
        image.pixels = words.data();
        std::vector<uint8_t> block(*DibBlockSize(int32_t(c.width), int32_t(c.height)), 0xCC);
        WriteDibBlock(image, block.data());

        const std::array<uint8_t, 44> header = DibHeader(int32_t(c.width), int32_t(c.height));
        EXPECT_TRUE(std::equal(header.begin(), header.end(), block.begin()));
        EXPECT_EQ(std::vector<uint8_t>(block.begin() + 44, block.end()), c.rows)
            << c.width << " x " << c.height;
    }
}

}  // namespace

namespace {

// A 2 x 2 block: header fields at their offsets, then rows as given.
std::vector<uint8_t> Block(uint32_t header, int32_t height, uint16_t bits, uint32_t compression,
                           const std::vector<uint8_t>& after)
{
    std::vector<uint8_t> b(std::max<uint32_t>(header, 40), 0);
    auto put = [&](size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k)
            b[at + k] = uint8_t(v >> (8 * k));
    };
    put(0, header);
    put(4, 2);
    put(8, uint32_t(height));
    b[12] = 1;
    b[14] = uint8_t(bits);
    put(16, compression);
    b.insert(b.end(), after.begin(), after.end());
    return b;
}

const std::vector<uint8_t> kMasks = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0};
// Two 32-bit rows, the stored first one (1, 2, 3, 4) (5, 6, 7, 8), then (9..12) (13..16).
const std::vector<uint8_t> kRows32 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
// Two 24-bit rows of 6 bytes padded to 8.
const std::vector<uint8_t> kRows24 = {1, 2,  3,  5,  6,  7,  0xEE, 0xEE,
                                      9, 10, 11, 13, 14, 15, 0xEE, 0xEE};
// The stored first row is the bottom one for a positive height; the fourth byte is ignored.
const std::vector<uint32_t> kBottomUp = {0xFF0B0A09u, 0xFF0F0E0Du, 0xFF030201u, 0xFF070605u};
const std::vector<uint32_t> kTopDown = {0xFF030201u, 0xFF070605u, 0xFF0B0A09u, 0xFF0F0E0Du};

TEST(ReadDibBlock, ReadsTheFormsADisplayCopiesExactly)
{
    std::vector<uint8_t> masked = kMasks;
    masked.insert(masked.end(), kRows32.begin(), kRows32.end());
    std::vector<uint8_t> v5tail(124 - 40, 0);
    std::copy(kMasks.begin(), kMasks.end(), v5tail.begin());  // the masks inside the header
    std::vector<uint8_t> v5 = Block(40, -2, 32, 3, v5tail);
    v5[0] = 124;
    v5.insert(v5.end(), kRows32.begin(), kRows32.end());
    const struct {
        std::vector<uint8_t> block;
        const std::vector<uint32_t>& want;
    } cases[] = {
        {Block(40, 2, 32, 0, kRows32), kBottomUp}, {Block(40, -2, 32, 0, kRows32), kTopDown},
        {Block(40, 2, 24, 0, kRows24), kBottomUp}, {Block(40, -2, 24, 0, kRows24), kTopDown},
        {Block(40, 2, 32, 3, masked), kBottomUp},  {v5, kTopDown},
    };
    for (const auto& c : cases) {
        PixelImage pixels;
        ASSERT_TRUE(ReadDibBlock(c.block.data(), c.block.size(), pixels));
        EXPECT_EQ(pixels.width, 2u);
        EXPECT_EQ(pixels.height, 2u);
        EXPECT_EQ(pixels.pixels, c.want);
    }
}

TEST(ReadDibBlock, LeavesOtherFormsAndShortBlocksAlone)
{
    std::vector<uint8_t> swapped = kMasks;  // red and blue masks exchanged
    std::swap(swapped[2], swapped[10]);
    swapped.insert(swapped.end(), kRows32.begin(), kRows32.end());
    std::vector<uint8_t> paletted = Block(40, 2, 32, 0, kRows32);
    paletted[32] = 1;  // a colour table of one entry
    std::vector<uint8_t> tall = Block(40, 2, 32, 0, kRows32);
    tall[8] = 0, tall[11] = 0x80;  // height INT32_MIN
    const std::vector<uint8_t> rejected[] = {
        Block(40, 2, 16, 0, kRows32),    // 16 bits: the system converts those
        Block(40, 2, 32, 3, swapped),    // masks in another order
        Block(40, 2, 24, 3, kRows24),    // masks on 24 bits
        Block(40, 2, 32, 1, kRows32),    // run-length compressed
        Block(40, 2, 32, 0, {1, 2, 3}),  // shorter than its rows
        Block(40, 0, 32, 0, {}),         // no rows
        Block(12, 2, 32, 0, kRows32),    // the old core header
        paletted,
        tall,
    };
    for (const std::vector<uint8_t>& block : rejected) {
        PixelImage pixels;
        pixels.Allocate(1, 1, 0x12345678u);
        EXPECT_FALSE(ReadDibBlock(block.data(), block.size(), pixels));
        EXPECT_EQ(pixels.pixels, std::vector<uint32_t>{0x12345678u});  // untouched
    }
    PixelImage pixels;
    EXPECT_FALSE(ReadDibBlock(kRows32.data(), 16, pixels));  // under a header's size
}

}  // namespace
