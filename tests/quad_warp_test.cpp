// WarpQuad and SampleBilinear: the worked examples, the box and lock rules, and every
// pixel loop compared bit for bit with the literal oracle on random and hostile quads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "reference_warp.h"
#include "warp/quad_warp.h"

namespace {

constexpr uint32_t kUntouched = 0x12345678u;  // alpha 0x12: no warp ever writes it

uint32_t Red(uint32_t word) { return (word >> 16) & 0xFF; }
uint32_t Green(uint32_t word) { return (word >> 8) & 0xFF; }

QuadWarpJob Job(double left, double top, double right, double bottom, PointD p0, PointD p1,
                PointD p2, PointD p3)
{
    QuadWarpJob job;
    job.sourceLeft = left;
    job.sourceTop = top;
    job.sourceRight = right;
    job.sourceBottom = bottom;
    job.topLeft = p0;
    job.topRight = p1;
    job.bottomLeft = p2;
    job.bottomRight = p3;
    return job;
}

int CountWritten(const PixelImage& image)
{
    int written = 0;
    for (uint32_t word : image.pixels)
        written += word != kUntouched;
    return written;
}

// Runs every pixel loop on a fresh copy of `target` and checks each against the first.
PixelImage WarpWithEveryKernel(const PixelImage& source, const PixelImage& target,
                               const QuadWarpJob& job)
{
    PixelImage first;
    for (WarpKernel kernel : KernelsToCompare()) {
        SetWarpKernel(kernel);
        PixelImage out = target;
        WarpQuad(source.Lock(), out.Lock(), job);
        if (first.pixels.empty())
            first = out;
        else
            EXPECT_EQ(out.pixels, first.pixels) << "kernel " << int(kernel);
    }
    SetWarpKernel(WarpKernel::Auto);
    return first;
}

}  // namespace

// Corners (10, 10), (20, 10), (10, 20), (20, 20), source (0, 0)-(10, 10): both side edges
// are vertical, t = (X - 20) / -10 and s = (Y - 20) / -10.
TEST(WarpQuad, AxisAlignedSquareWritesItsElevenByElevenPixels)
{
    const PixelImage source = MakeCoordinateImage(16, 16);
    PixelImage target;
    target.Allocate(32, 32, kUntouched);
    const QuadWarpJob job = Job(0, 0, 10, 10, {10, 10}, {20, 10}, {10, 20}, {20, 20});
    const PixelImage out = WarpWithEveryKernel(source, target, job);

    for (uint32_t y = 0; y < 32; ++y) {
        for (uint32_t x = 0; x < 32; ++x) {
            const bool inside = x >= 10 && x <= 20 && y >= 10 && y <= 20;
            EXPECT_EQ(out.At(x, y) != kUntouched, inside) << x << "," << y;
            if (inside) {
                EXPECT_EQ(out.At(x, y) >> 24, 0xFFu);
            }
        }
    }
    // (10, 10) is t = 1, s = 1: source (0, 0); (20, 20) is t = 0, s = 0: source (10, 10).
    EXPECT_EQ(out.At(10, 10), 0xFF00005Au);
    EXPECT_EQ(out.At(20, 20), 0xFF0A0A5Au);
    // (15, 12): t = -5 / -10 = 0.5 and s = -8 / -10 = 0.8000000000000000444, so the source
    // y is 10 * (1 - s) = 10 * 0.19999999999999996 = 1.9999999999999996: row 1 with
    // fy = 0.9999999999999996, green 1 * 4.440892098500626e-16 + 2 * fy =
    // 1.9999999999999996, truncated to 1; red at x = 5 exactly is 5.
    EXPECT_EQ(Red(out.At(15, 12)), 5u);
    EXPECT_EQ(Green(out.At(15, 12)), 1u);
}

// Corners (10, 10), (20, 10), (14, 20), (24, 20): Ax = 10 - 20 - 14 + 24 = 0 and
// Ay = 10 - 10 - 20 + 20 = 0, so k2 = 0 and the linear case solves it. U(t) = (20 - 10t, 10),
// L(t) = (24 - 10t, 20), so s = (20 - Y) / 10 and X = 24 - 4s - 10t.
TEST(WarpQuad, ParallelogramIsSolvedByTheLinearCase)
{
    const PixelImage source = MakeCoordinateImage(16, 16);
    PixelImage target;
    target.Allocate(32, 32, kUntouched);
    // Source bounds a quarter pixel off the grid keep every sample away from a whole number.
    const QuadWarpJob job = Job(0.25, 0.25, 10.25, 10.25, {10, 10}, {20, 10}, {14, 20}, {24, 20});
    const PixelImage out = WarpWithEveryKernel(source, target, job);

    // Row Y spans X from 10 + 0.4(Y - 10) to 20 + 0.4(Y - 10): 11 lattice points on rows 10,
    // 15 and 20, 10 on the other eight rows.
    EXPECT_EQ(CountWritten(out), 3 * 11 + 8 * 10);
    // (17, 15): s = 0.5, t = 0.5: source (5.25, 5.25).
    EXPECT_EQ(Red(out.At(17, 15)), 5u);
    EXPECT_EQ(Green(out.At(17, 15)), 5u);
    // (13, 12): s = 0.8, t = 0.78: source (0.25 + 2.2, 0.25 + 2) = (2.45, 2.25).
    EXPECT_EQ(Red(out.At(13, 12)), 2u);
    EXPECT_EQ(Green(out.At(13, 12)), 2u);
}

// The bow tie (0, 0), (12, 0), (12, 12), (0, 4) covers some pixels twice: Ax = -24, Ay = -8,
// k2 = (-12)(-8) - (-8)(-24) = -96. At (5, 4): k1 = -40 + 48 - 0 + 96 = 104, k0 = -20,
// delta = 10816 - 7680 = 3136 = 56^2, so t1 = (56 - 104) / -192 = 1/4 (s = 1/3) and
// t2 = (-104 - 56) / -192 = 5/6 (s = 5/8). With source (0.5, 0.5)-(24.5, 24.5), t2 samples
// (0.5 + 24/6, 0.5 + 24 * 3/8) = (4.5, 9.5) and t1 would sample (18.5, 16.5).
TEST(WarpQuad, FoldedQuadKeepsTheSecondRootsColour)
{
    const PixelImage source = MakeCoordinateImage(32, 32);
    PixelImage target;
    target.Allocate(16, 16, kUntouched);
    const QuadWarpJob job = Job(0.5, 0.5, 24.5, 24.5, {0, 0}, {12, 0}, {12, 12}, {0, 4});
    const PixelImage out = WarpWithEveryKernel(source, target, job);
    EXPECT_EQ(Red(out.At(5, 4)), 4u);
    EXPECT_EQ(Green(out.At(5, 4)), 9u);
    // (6, 5): k1 = 120, k0 = -36, delta = 576 = 24^2: t1 = 1/2 (s = 3/8) would sample
    // (12.5, 15.5), t2 = 3/4 (s = 1/2) samples (6.5, 12.5).
    EXPECT_EQ(Red(out.At(6, 5)), 6u);
    EXPECT_EQ(Green(out.At(6, 5)), 12u);
}

TEST(WarpQuad, CoincidingCornersWriteNothing)
{
    // Both side edges count as vertical, and t = (X - 5) / 0 is infinite or NaN.
    const PixelImage source = MakeCoordinateImage(8, 8);
    for (const PointD corner : {PointD{5, 5}, PointD{5.5, 2.25}, PointD{0, 0}}) {
        PixelImage target;
        target.Allocate(12, 12, kUntouched);
        const PixelImage out =
            WarpWithEveryKernel(source, target, Job(0, 0, 4, 4, corner, corner, corner, corner));
        EXPECT_EQ(CountWritten(out), 0) << corner.x << "," << corner.y;
    }
}

// A vertical-sided quad from x = -1e9 to x = -0.5: truncation toward zero makes xMax = 0,
// so column 0 is visited, and there t = (0 + 0.5) / (-1e9 + 0.5) = -5.0000000025e-10 lies
// within the patch's tolerance; column 1 would have t = -1.5e-9. Rounding xMax down to -1
// instead would visit nothing.
TEST(WarpQuad, NegativeHalfXMaxStillVisitsColumnZero)
{
    const PixelImage source = MakeCoordinateImage(16, 16);
    PixelImage target;
    target.Allocate(4, 6, kUntouched);
    const QuadWarpJob job = Job(0, 0, 10, 10, {-1e9, 0}, {-0.5, 0}, {-1e9, 4}, {-0.5, 4});
    const PixelImage out = WarpWithEveryKernel(source, target, job);
    EXPECT_EQ(CountWritten(out), 5);  // rows 0-4; row 5 has s = -0.25
    for (uint32_t y = 0; y <= 4; ++y) {
        // source x = 10 * (1 + 5e-10), y = 10 * (1 - (4 - Y) / 4) = 2.5 Y
        EXPECT_EQ(Red(out.At(0, y)), 10u) << y;
        EXPECT_EQ(Green(out.At(0, y)), uint32_t(2.5 * y)) << y;
    }
}

// Where x + 1 rounds up across a power of two, xb = trunc(x + 1) is xa + 2, and the
// scalar loop reads c10 two columns to the right. Vertical sides put t = 0, so x =
// sourceRight exactly, on column 44; there red comes from that column, not the next one.
// The vector loops meet the pixel as the last lane of a full chunk (the quad starts at
// column 5), once where every sample point of the quad is proved inside the source and
// once where it is not (x may fall below 0 at the patch's edge).
struct RoundUpCase {
    const char* name;
    double sourceLeft, sourceRight;
    uint32_t red;  // at column 44
};

class WarpQuadRoundUp : public testing::TestWithParam<RoundUpCase> {};

TEST_P(WarpQuadRoundUp, ReadsTheColumnThatXPlusOneTruncatesTo)
{
    const RoundUpCase& c = GetParam();
    const PixelImage source = MakeCoordinateImage(8, 8);
    PixelImage target;
    target.Allocate(48, 4, kUntouched);
    const QuadWarpJob job =
        Job(c.sourceLeft, 0.25, c.sourceRight, 2.25, {5, 0}, {44, 0}, {5, 3}, {44, 3});
    const PixelImage out = WarpWithEveryKernel(source, target, job);
    PixelImage literal = target;
    ReferenceWarpQuad(source.Lock(), literal.Lock(), job);
    EXPECT_EQ(out.pixels, literal.pixels) << c.name;
    for (uint32_t y = 0; y < 4; ++y)
        EXPECT_EQ(Red(out.At(44, y)), c.red) << c.name << " row " << y;
}

INSTANTIATE_TEST_SUITE_P(
    RoundUps, WarpQuadRoundUp,
    testing::Values(
        // x = 1 - 2^-53: x + 1 ties to 2, so c00 is column 0 and c10 column 2, fx = 1 - 2^-53:
        // 2(1 - 2^-53) = 1.9999999999999998, red 1 (column 1 would give 0)
        RoundUpCase{"below 1", 0.0, 1.0 - 0x1p-53, 1},
        // x = 4 - 2^-51: x + 1 ties to 5, so c10 is column 5; 3 * 2^-51 + 5(1 - 2^-51)
        // rounds to 5 (column 4 would give less than 4)
        RoundUpCase{"below 4, inside", 3.0, 4.0 - 0x1p-51, 5}));

struct BoxCase {
    const char* name;
    PointD p0, p1, p2, p3;
    // the written rectangle, inclusive; empty when xFirst > xLast
    int xFirst, yFirst, xLast, yLast;
};

class WarpQuadBox : public testing::TestWithParam<BoxCase> {};

// An 8 x 8 target allocated to size, so a write outside it is caught by the sanitizer.
TEST_P(WarpQuadBox, VisitsOnlyTargetPixelsOfTheTruncatedBox)
{
    const BoxCase& c = GetParam();
    const PixelImage source = MakeCoordinateImage(12, 12);
    PixelImage target;
    target.Allocate(8, 8, kUntouched);
    const PixelImage out =
        WarpWithEveryKernel(source, target, Job(0, 0, 10, 10, c.p0, c.p1, c.p2, c.p3));
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= c.xFirst && x <= c.xLast && y >= c.yFirst && y <= c.yLast;
            EXPECT_EQ(out.At(x, y) != kUntouched, inside) << c.name << " " << x << "," << y;
        }
    }
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Boxes, WarpQuadBox,
    testing::Values(
        BoxCase{"off the top left", {-5, -5}, {3, -5}, {-5, 3}, {3, 3}, 0, 0, 3, 3},
        BoxCase{"off the bottom right", {5, 5}, {12, 5}, {5, 12}, {12, 12}, 5, 5, 7, 7},
        BoxCase{"wholly right", {8, 0}, {12, 0}, {8, 4}, {12, 4}, 1, 1, 0, 0},
        BoxCase{"wholly below", {0, 8}, {4, 8}, {0, 12}, {4, 12}, 1, 1, 0, 0},
        // trunc(-1.5) = -1: the range 0..-1 is empty
        BoxCase{"wholly left", {-5, 0}, {-1.5, 0}, {-5, 4}, {-1.5, 4}, 1, 1, 0, 0},
        // t = (X - 1e300) / -2e300 = 0.5 for every X: the box is clamped to the target
        BoxCase{
            "huge", {-1e300, -1e300}, {1e300, -1e300}, {-1e300, 1e300}, {1e300, 1e300}, 0, 0, 7, 7},
        // t = -inf / -inf is NaN
        BoxCase{"infinite", {-kInf, -kInf}, {kInf, -kInf}, {-kInf, kInf}, {kInf, kInf}, 1, 1, 0, 0},
        BoxCase{"NaN corner", {0, 0}, {7, 0}, {0, 7}, {7, kNaN}, 1, 1, 0, 0},
        BoxCase{"NaN x", {kNaN, 0}, {7, 0}, {0, 7}, {7, 7}, 1, 1, 0, 0}));

TEST(WarpQuad, TheLaterQuadWinsTheSharedEdge)
{
    // Left quad samples source x 0..10, right quad 20..30; column 10 belongs to both.
    const PixelImage source = MakeCoordinateImage(40, 16);
    PixelImage target;
    target.Allocate(24, 12, kUntouched);
    const QuadWarpJob left = Job(0, 0, 10, 10, {0, 0}, {10, 0}, {0, 10}, {10, 10});
    const QuadWarpJob right = Job(20, 0, 30, 10, {10, 0}, {20, 0}, {10, 10}, {20, 10});
    for (WarpKernel kernel : KernelsToCompare()) {
        SetWarpKernel(kernel);
        PixelImage leftLast = target;
        WarpQuad(source.Lock(), leftLast.Lock(), right);
        WarpQuad(source.Lock(), leftLast.Lock(), left);
        PixelImage rightLast = target;
        WarpQuad(source.Lock(), rightLast.Lock(), left);
        WarpQuad(source.Lock(), rightLast.Lock(), right);
        for (uint32_t y = 0; y <= 10; ++y) {
            EXPECT_EQ(Red(leftLast.At(10, y)), 10u);   // left quad's t = 0: source x 10
            EXPECT_EQ(Red(rightLast.At(10, y)), 20u);  // right quad's t = 1: source x 20
        }
    }
    SetWarpKernel(WarpKernel::Auto);
}

TEST(WarpQuad, RowLimitsSplitTheWorkWithoutChangingIt)
{
    const PixelImage source = MakePatternImage(40, 40);
    PixelImage target;
    target.Allocate(40, 30, kUntouched);
    const QuadWarpJob job = Job(2, 3, 37, 31, {1, 2}, {38, 6}, {30, 28}, {4, 25});  // folded
    for (WarpKernel kernel : KernelsToCompare()) {
        SetWarpKernel(kernel);
        PixelImage whole = target;
        WarpQuad(source.Lock(), whole.Lock(), job);
        PixelImage pieces = target;
        WarpQuad(source.Lock(), pieces.Lock(), job, 0, 7);
        WarpQuad(source.Lock(), pieces.Lock(), job, 7, 8);
        WarpQuad(source.Lock(), pieces.Lock(), job, 8, 29);
        WarpQuad(source.Lock(), pieces.Lock(), job, 29);
        EXPECT_GT(CountWritten(whole), 300);  // a bow tie: less than its box
        EXPECT_EQ(pieces.pixels, whole.pixels);
        PixelImage band = target;
        WarpQuad(source.Lock(), band.Lock(), job, 10, 12);
        for (uint32_t y = 0; y < 30; ++y) {
            for (uint32_t x = 0; x < 40; ++x) {
                const uint32_t expected = y >= 10 && y < 12 ? whole.At(x, y) : kUntouched;
                EXPECT_EQ(band.At(x, y), expected) << x << "," << y;
            }
        }
    }
    SetWarpKernel(WarpKernel::Auto);
}

TEST(WarpQuad, AFailedLockOrAnEmptySourceLeavesTheTargetAsItWas)
{
    PixelImage source = MakeCoordinateImage(8, 8);
    const QuadWarpJob job = Job(0, 0, 4, 4, {0, 0}, {6, 0}, {0, 6}, {6, 6});
    PixelImage target;
    target.Allocate(8, 8, kUntouched);

    PixelImage empty;
    PixelBuffer noPixels = source.Lock();
    noPixels.pixels = nullptr;
    PixelBuffer noColumns = source.Lock();
    noColumns.width = 0;
    PixelBuffer shortStride = source.Lock();
    shortStride.stride = 16;  // 4 words for 8 pixels a row
    PixelBuffer otherFormat = source.Lock();
    otherFormat.pixelFormat = 0x21808;  // 24 bits a pixel
    for (const PixelBuffer& broken :
         {empty.Lock(), noPixels, noColumns, shortStride, otherFormat}) {
        for (WarpKernel kernel : KernelsToCompare()) {
            SetWarpKernel(kernel);
            PixelImage out = target;
            WarpQuad(broken, out.Lock(), job);
            EXPECT_EQ(CountWritten(out), 0);
        }
    }
    // A failed target lock is skipped, not written through.
    WarpQuad(source.Lock(), PixelBuffer{}, job);
    PixelBuffer noTarget = target.Lock();
    noTarget.pixels = nullptr;
    WarpQuad(source.Lock(), noTarget, job);
    EXPECT_EQ(CountWritten(target), 0);
    SetWarpKernel(WarpKernel::Auto);

    // The same source, locked properly, does write: the cases above failed for their reason.
    PixelImage out = target;
    WarpQuad(source.Lock(), out.Lock(), job);
    EXPECT_EQ(CountWritten(out), 49);
}

struct SampleCase {
    const char* name;
    std::vector<uint32_t> words;
    uint32_t width;
    double x, y;
    uint32_t expected;
};

class SampleBilinearTable : public testing::TestWithParam<SampleCase> {};

TEST_P(SampleBilinearTable, GivesTheWorkedColour)
{
    const SampleCase& c = GetParam();
    PixelImage image;
    image.Allocate(c.width, uint32_t(c.words.size()) / c.width);
    image.pixels = c.words;
    EXPECT_EQ(SampleBilinear(image.Lock(), c.x, c.y), c.expected) << c.name;
    EXPECT_EQ(ReferenceSampleBilinear(image.Lock(), c.x, c.y), c.expected) << c.name << " (oracle)";
}

INSTANTIATE_TEST_SUITE_P(
    Samples, SampleBilinearTable,
    testing::Values(
        // a whole-number point is that pixel, its alpha replaced by 0xFF
        SampleCase{"whole", {0, 0, 0, 0, 0x12AB34CDu, 0}, 3, 1.0, 1.0, 0xFFAB34CDu},
        // 0 * 0.5 + 255 * 0.5 = 127.5, truncated
        SampleCase{"halfway", {0x00000000u, 0x00FFFFFFu}, 2, 0.5, 0.0, 0xFF7F7F7Fu},
        // fx = 0.25 between 0 and 10 gives 2.5 -> 2; between 0 and 255 gives 63.75 -> 63
        SampleCase{"quarter", {0x00000000u, 0x000AFF0Au}, 2, 0.25, 0.0, 0xFF023F02u},
        // the neighbour past the last column counts as 0: (200, 100, 1) * 0.5
        SampleCase{"past last column", {0, 0, 0x00C86401u}, 3, 2.5, 0.0, 0xFF643200u},
        SampleCase{"past last row", {0, 0x00C86401u}, 1, 0.0, 1.5, 0xFF643200u},
        // fy = 0.75 between rows of 100 and 0: 25
        SampleCase{"between rows", {0x00646464u, 0}, 1, 0.0, 0.75, 0xFF191919u},
        // xb = trunc(-0.5 + 1) = 0, not xa + 1: 200 * 1.5 + 200 * -0.5 = 200
        SampleCase{"left of column 0", {0x00C80000u, 0x00000000u}, 2, -0.5, 0.0, 0xFFC80000u},
        // xa = -1 is outside, xb = 0 gets weight fx = -0.5: 100 * -0.5 is negative -> 0
        SampleCase{"negative weight", {0x00646464u, 0}, 2, -1.5, 0.0, 0xFF000000u},
        // both weights negative: c11 = 100 gets fx * fy = 0.25: 25
        SampleCase{"two negative weights", {0x00646464u}, 1, -1.5, -1.5, 0xFF191919u},
        SampleCase{"far right", {0x00FFFFFFu}, 1, 1e300, 0.0, 0xFF000000u},
        SampleCase{"infinite", {0x00FFFFFFu}, 1, 0.0, -kInf, 0xFF000000u},
        SampleCase{"NaN", {0x00FFFFFFu}, 1, kNaN, 0.0, 0xFF000000u}));

TEST(SampleBilinear, AFailedLockSamplesBlack)
{
    EXPECT_EQ(SampleBilinear(PixelBuffer{}, 0.0, 0.0), 0xFF000000u);
}

// Random quads, tame and hostile, through every loop and the oracle: every word of the
// target, padding included, must come out the same.
TEST(WarpQuad, EveryLoopMatchesTheLiteralWarpBitForBit)
{
    std::mt19937 rng(20240611);
    const std::vector<WarpKernel> kernels = KernelsToCompare();
    int differing = 0;
    int written = 0;
    for (int round = 0; round < 3000 && differing < 5; ++round) {
        PaddedImage source = RandomImage(rng, 24);
        const PaddedImage target = RandomImage(rng, 48);
        const QuadWarpJob job =
            RandomJob(rng, int(std::max(target.width, target.height)), round % 2 == 1);
        PaddedImage expected = target;
        ReferenceWarpQuad(source.Lock(), expected.Lock(), job);
        for (size_t i = 0; i < target.words.size(); ++i)
            written += expected.words[i] != target.words[i];
        for (WarpKernel kernel : kernels) {
            SetWarpKernel(kernel);
            PaddedImage actual = target;
            WarpQuad(source.Lock(), actual.Lock(), job);
            if (actual.words != expected.words) {
                ++differing;
                ADD_FAILURE() << "round " << round << " kernel " << int(kernel) << " corners ("
                              << job.topLeft.x << "," << job.topLeft.y << ") (" << job.topRight.x
                              << "," << job.topRight.y << ") (" << job.bottomLeft.x << ","
                              << job.bottomLeft.y << ") (" << job.bottomRight.x << ","
                              << job.bottomRight.y << ")";
            }
        }
    }
    SetWarpKernel(WarpKernel::Auto);
    EXPECT_EQ(differing, 0);
    EXPECT_GT(written, 100000);  // the rounds did warp something
}

// Wide quads over larger sources, so that rows run through several whole blocks of
// chunks, rows follow each other by the hundred, and sample points lie well inside the
// source, on its edges, mirrored or partly outside: every loop against the oracle.
TEST(WarpQuad, EveryLoopMatchesTheLiteralWarpOnWideQuads)
{
    std::mt19937 rng(88172);
    const std::vector<WarpKernel> kernels = KernelsToCompare();
    int differing = 0;
    for (int round = 0; round < 48 && differing < 5; ++round) {
        PaddedImage source = RandomImage(rng, 160);
        const PaddedImage target =
            MakePaddedImage(100 + rng() % 300, 60 + rng() % 200, rng() % 3, kUntouched);
        const double w = source.width;
        const double h = source.height;
        const double tx = target.width;
        const double ty = target.height;
        const auto jitter = [&](double v) {
            return v + std::uniform_real_distribution<double>(-0.2, 0.2)(rng) * v;
        };
        QuadWarpJob job;
        job.topLeft = {jitter(0.1 * tx), jitter(0.1 * ty)};
        job.topRight = {jitter(0.9 * tx), jitter(0.1 * ty)};
        job.bottomLeft = {jitter(0.1 * tx), jitter(0.9 * ty)};
        job.bottomRight = {jitter(0.9 * tx), jitter(0.9 * ty)};
        switch (round % 4) {
        case 0:  // inside, a margin away from the edges
            job.sourceLeft = 1.5, job.sourceRight = w - 2.5, job.sourceTop = 1.25,
            job.sourceBottom = h - 2.75;
            break;
        case 1:  // the whole source, as a mesh selects it
            job.sourceLeft = 0, job.sourceRight = w, job.sourceTop = 0, job.sourceBottom = h;
            break;
        case 2:  // mirrored in both directions
            job.sourceLeft = w - 1.5, job.sourceRight = 0.5, job.sourceTop = h - 1.5,
            job.sourceBottom = 0.5;
            break;
        default:  // partly outside on the left, inside from top to bottom
            job.sourceLeft = -0.3 * w, job.sourceRight = 0.7 * w, job.sourceTop = 1.25,
            job.sourceBottom = h - 2.75;
            break;
        }
        PaddedImage expected = target;
        ReferenceWarpQuad(source.Lock(), expected.Lock(), job);
        for (WarpKernel kernel : kernels) {
            SetWarpKernel(kernel);
            PaddedImage actual = target;
            WarpQuad(source.Lock(), actual.Lock(), job);
            if (actual.words != expected.words) {
                ++differing;
                ADD_FAILURE() << "round " << round << " kernel " << int(kernel);
            }
        }
    }
    SetWarpKernel(WarpKernel::Auto);
    EXPECT_EQ(differing, 0);
}
