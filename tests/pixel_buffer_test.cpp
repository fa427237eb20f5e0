// PixelImage: allocation that fails softly, and locks laid out like the platform's.
#include <gtest/gtest.h>

#include <cstdint>

#include "warp/pixel_buffer.h"

TEST(PixelImage, LockHandsOutTightRowsOfTheFilledWords)
{
    PixelImage image;
    ASSERT_TRUE(image.Allocate(3, 2, 0xFF102030u));
    image.pixels[1 * 3 + 2] = 0x11223344u;  // pixel (2, 1)
    const PixelBuffer buffer = image.Lock();
    ASSERT_NE(buffer.pixels, nullptr);
    EXPECT_EQ(buffer.width, 3u);
    EXPECT_EQ(buffer.height, 2u);
    EXPECT_EQ(buffer.stride, 12);
    EXPECT_EQ(buffer.pixelFormat, 0x26200Au);
    EXPECT_EQ(buffer.Row(1)[2], 0x11223344u);
    EXPECT_EQ(buffer.Row(0)[0], 0xFF102030u);
    EXPECT_EQ(image.At(2, 1), 0x11223344u);

    // A write through the lock is a write to the image.
    buffer.Row(1)[0] = 0xABCDEF01u;
    EXPECT_EQ(image.At(0, 1), 0xABCDEF01u);
    const PixelImage& constant = image;
    EXPECT_EQ(constant.Lock().pixels, buffer.pixels);
}

TEST(PixelImage, AnEmptyImageGivesAFailedLock)
{
    PixelImage never;
    EXPECT_EQ(never.Lock().pixels, nullptr);

    PixelImage noRows;
    ASSERT_TRUE(noRows.Allocate(5, 0));
    EXPECT_EQ(noRows.Lock().pixels, nullptr);
    PixelImage noColumns;
    ASSERT_TRUE(noColumns.Allocate(0, 5));
    EXPECT_EQ(noColumns.Lock().pixels, nullptr);
}

struct RefusedSize {
    uint32_t width;
    uint32_t height;
    const char* why;
};

class AllocateRefuses : public testing::TestWithParam<RefusedSize> {};

// Each refusal leaves the image empty, even one that held pixels before.
TEST_P(AllocateRefuses, WithoutThrowingAndLeavesTheImageEmpty)
{
    const RefusedSize& p = GetParam();
    PixelImage image;
    ASSERT_TRUE(image.Allocate(2, 2, 7));
    bool result = true;
    EXPECT_NO_THROW(result = image.Allocate(p.width, p.height)) << p.why;
    EXPECT_FALSE(result) << p.why;
    EXPECT_EQ(image.width, 0u) << p.why;
    EXPECT_EQ(image.height, 0u) << p.why;
    EXPECT_TRUE(image.pixels.empty()) << p.why;
    EXPECT_EQ(image.Lock().pixels, nullptr) << p.why;
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, AllocateRefuses,
    testing::Values(
        // (2^32 - 1)^2 words: more than any vector may hold, refused before allocating
        RefusedSize{0xFFFFFFFFu, 0xFFFFFFFFu, "more words than a vector holds"},
        // 2^29 pixels make a row of 2^31 bytes, one past the largest signed 32-bit stride
        RefusedSize{1u << 29, 1, "stride beyond int32"},
        RefusedSize{0xFFFFFFFFu, 1, "stride beyond int32, one row"}));

#if !defined(__SANITIZE_ADDRESS__)
// (2^29 - 1) x 2^31 words is about 2^62 bytes: a legal size that no machine has, so the
// allocation itself throws. (AddressSanitizer's allocator aborts instead of throwing.)
TEST(PixelImage, AllocateCatchesAnAllocationThatFails)
{
    PixelImage image;
    EXPECT_FALSE(image.Allocate((1u << 29) - 1, 1u << 31));
    EXPECT_EQ(image.Lock().pixels, nullptr);
    EXPECT_TRUE(image.Allocate(4, 4));  // and the image is usable again afterwards
    EXPECT_NE(image.Lock().pixels, nullptr);
}
#endif
