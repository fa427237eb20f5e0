// RenderMeshWarp and CellJob: cell bounds in doubles, the cell order, the holes on shared
// edges, and the banded, threaded render compared bit for bit with the literal oracle.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "reference_warp.h"
#include "warp/mesh_warp.h"

namespace {

constexpr uint32_t kUntouched = 0x12345678u;  // alpha 0x12: no warp ever writes it

uint32_t Red(uint32_t word) { return (word >> 16) & 0xFF; }
uint32_t Green(uint32_t word) { return (word >> 8) & 0xFF; }

// Nodes at the crossings of vertical lines xs and horizontal lines ys.
NodeGrid LatticeGrid(const std::vector<int32_t>& xs, const std::vector<int32_t>& ys)
{
    NodeGrid grid(ys.size(), NodeRow(xs.size()));
    for (size_t r = 0; r < ys.size(); ++r) {
        for (size_t c = 0; c < xs.size(); ++c) {
            grid[r][c].x = xs[c];
            grid[r][c].y = ys[r];
        }
    }
    return grid;
}

int CountUntouched(const PixelImage& image)
{
    int untouched = 0;
    for (uint32_t word : image.pixels)
        untouched += word == kUntouched;
    return untouched;
}

}  // namespace

TEST(RenderMeshWarp, FewerThanTwoCurvesOfAFamilyLeaveTheTargetUntouched)
{
    const PixelImage source = MakeCoordinateImage(16, 16);
    const SelectionRect selection{0, 0, 16, 16};
    struct Counts {
        size_t columns, rows;
    };
    for (const Counts c : {Counts{3, 0}, Counts{3, 1}, Counts{0, 3}, Counts{1, 3}, Counts{1, 1}}) {
        const NodeGrid grid(c.rows, NodeRow(c.columns, MeshNode{0, 0, 8, 8}));
        PixelImage target;
        target.Allocate(16, 16, kUntouched);
        RenderMeshWarp(source.Lock(), target.Lock(), grid, c.columns, c.rows, selection);
        EXPECT_EQ(CountUntouched(target), 256) << c.columns << " x " << c.rows;
    }
}

TEST(RenderMeshWarp, AGridThatDoesNotMatchTheCountsIsSkipped)
{
    const PixelImage source = MakeCoordinateImage(16, 16);
    const NodeGrid grid = LatticeGrid({0, 8, 15}, {0, 15});
    PixelImage target;
    target.Allocate(16, 16, kUntouched);
    RenderMeshWarp(source.Lock(), target.Lock(), grid, 3, 3, {0, 0, 16, 16});  // one row short
    RenderMeshWarp(source.Lock(), target.Lock(), grid, 4, 2, {0, 0, 16, 16});  // rows too short
    EXPECT_EQ(CountUntouched(target), 256);
    RenderMeshWarp(source.Lock(), target.Lock(), grid, 3, 2, {0, 0, 16, 16});
    EXPECT_EQ(CountUntouched(target), 0);
}

TEST(CellJob, OneCellReceivesTheWholeSelection)
{
    const NodeGrid grid = LatticeGrid({3, 40}, {5, 30});
    const QuadWarpJob job = CellJob(grid, 1, 1, 2, 2, {7, 9, 20, -6});
    EXPECT_EQ(job.sourceLeft, 7.0);
    EXPECT_EQ(job.sourceRight, 27.0);
    EXPECT_EQ(job.sourceTop, 9.0);
    EXPECT_EQ(job.sourceBottom, 3.0);
    EXPECT_EQ(job.topLeft.x, 3.0);
    EXPECT_EQ(job.topLeft.y, 5.0);
    EXPECT_EQ(job.topRight.x, 40.0);
    EXPECT_EQ(job.bottomLeft.y, 30.0);
    EXPECT_EQ(job.bottomRight.x, 40.0);
    EXPECT_EQ(job.bottomRight.y, 30.0);
}

struct BoundsCase {
    const char* name;
    int32_t origin;
    int32_t size;
    size_t count;  // curves of the family
    size_t index;  // l or i: the cell between curves index - 1 and index
    double low;    // sourceLeft / sourceTop
    double high;   // sourceRight / sourceBottom
};

class CellBounds : public testing::TestWithParam<BoundsCase> {};

// The bound is index * size / (count - 1) + origin in doubles, in that order; other orders
// round differently in the cases marked.
TEST_P(CellBounds, AreComputedInDoublesInTheWrittenOrder)
{
    const BoundsCase& c = GetParam();
    const NodeGrid grid(c.count, NodeRow(c.count));
    const QuadWarpJob columns =
        CellJob(grid, 1, c.index, c.count, c.count, {c.origin, 0, c.size, 1});
    EXPECT_EQ(columns.sourceLeft, c.low) << c.name;
    EXPECT_EQ(columns.sourceRight, c.high) << c.name;
    const QuadWarpJob rows = CellJob(grid, c.index, 1, c.count, c.count, {0, c.origin, 1, c.size});
    EXPECT_EQ(rows.sourceTop, c.low) << c.name;
    EXPECT_EQ(rows.sourceBottom, c.high) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, CellBounds,
    testing::Values(
        // width 10 shared by three cells: 0, 10/3, 20/3, 10
        BoundsCase{"first third", 0, 10, 4, 1, 0.0, 3.3333333333333335},
        BoundsCase{"second third", 0, 10, 4, 2, 3.3333333333333335, 6.666666666666667},
        BoundsCase{"last third", 0, 10, 4, 3, 6.666666666666667, 10.0},
        // three curves over width 100: 0-50 and 50-100
        BoundsCase{"halves", 0, 100, 3, 2, 50.0, 100.0},
        // 3 * 7 / 10 = 2.1, where 3 * (7 / 10) would be 2.0999999999999996; plus 1: 3.1
        BoundsCase{"product first", 1, 7, 11, 3, 2.4, 3.1},
        // 3 * 3 / 10 = 0.9 where 3 * (3 / 10) = 0.8999999999999999
        BoundsCase{"product first again", 0, 3, 11, 4, 0.9, 1.2},
        // a negative size counts down from the origin: 3 * -7 / 10 + 1 = -1.1
        BoundsCase{"negative", 1, -7, 11, 4, -1.1, -1.7999999999999998},
        BoundsCase{"zero", 5, 0, 4, 2, 5.0, 5.0}));

TEST(RenderMeshWarp, AZeroWidthSelectionTakesEveryColourFromOneColumn)
{
    const PixelImage source = MakeCoordinateImage(32, 32);
    const NodeGrid grid = LatticeGrid({0, 11, 23}, {0, 9, 20});
    PixelImage target;
    target.Allocate(24, 24, kUntouched);
    RenderMeshWarp(source.Lock(), target.Lock(), grid, 3, 3, {7, 2, 0, 20});
    int written = 0;
    for (uint32_t word : target.pixels) {
        if (word == kUntouched)
            continue;
        ++written;
        EXPECT_EQ(Red(word), 7u);
    }
    EXPECT_EQ(written, 24 * 21);
}

// One 8 x 8 cell and a selection 8 high, so every step is exact: s = (8 - Y) / 8 and
// 1 - s = Y / 8. Marked downward, (0, 0, 8, 8), row Y samples y = 8 (Y / 8) = Y; marked
// upward, (0, 8, 8, -8), it samples 8 + -8 (Y / 8) = 8 - Y.
TEST(RenderMeshWarp, ANegativeHeightTurnsThePictureUpsideDown)
{
    const PixelImage source = MakeCoordinateImage(12, 12);
    const NodeGrid grid = LatticeGrid({0, 8}, {0, 8});
    PixelImage down;
    down.Allocate(9, 9, kUntouched);
    PixelImage up = down;
    RenderMeshWarp(source.Lock(), down.Lock(), grid, 2, 2, {0, 0, 8, 8});
    RenderMeshWarp(source.Lock(), up.Lock(), grid, 2, 2, {0, 8, 8, -8});
    for (uint32_t y = 0; y <= 8; ++y) {
        for (uint32_t x = 0; x <= 8; ++x) {
            EXPECT_EQ(Green(down.At(x, y)), y);
            EXPECT_EQ(Green(up.At(x, y)), 8 - y);
            EXPECT_EQ(up.At(x, y), down.At(x, 8 - y));
        }
    }
}

// What the pane and the exports render: nothing while the width is below 0 (at start, or
// after a band dragged leftwards, which RenderMeshWarp alone would mirror), the plain warp
// for a width of 0 or more, the upside-down one for a negative height.
TEST(RenderEditorWarp, WarpsOnlyWhatIsMarked)
{
    const PixelImage source = MakeCoordinateImage(12, 12);
    MeshEditState e;
    e.columnCurves = {Curve{{0, 0}, {0, 8}}, Curve{{8, 0}, {8, 8}}};
    e.rowCurves = {Curve{{0, 0}, {8, 0}}, Curve{{0, 8}, {8, 8}}};
    e.nodeGrid = LatticeGrid({0, 8}, {0, 8});
    const SelectionRect selections[] = {{0, 0, -1, 0}, {8, 0, -8, 8}, {8, 8, -8, -8},
                                        {0, 0, 8, 8},  {0, 8, 8, -8}, {4, 0, 0, 8}};
    for (const SelectionRect& selection : selections) {
        e.sourceSelection = selection;
        PixelImage want;
        want.Allocate(9, 9, kUntouched);
        PixelImage got = want;
        if (selection.width >= 0)
            RenderMeshWarp(source.Lock(), want.Lock(), e.nodeGrid, 2, 2, selection);
        RenderEditorWarp(source.Lock(), got.Lock(), e);
        EXPECT_EQ(got.pixels, want.pixels) << selection.x << " " << selection.width;
        EXPECT_EQ(CountUntouched(got), selection.width < 0 ? 81 : 0) << selection.width;
    }
}

TEST(RenderMeshWarp, AFailedLockOrAnEmptySourceLeavesTheTargetAsItWas)
{
    PixelImage source = MakeCoordinateImage(16, 16);
    const NodeGrid grid = LatticeGrid({0, 8, 15}, {0, 8, 15});
    PixelImage target;
    target.Allocate(16, 16, kUntouched);
    PixelImage empty;
    PixelBuffer noPixels = source.Lock();
    noPixels.pixels = nullptr;
    for (const PixelBuffer& broken : {empty.Lock(), noPixels, PixelBuffer{}}) {
        for (unsigned threads : {1u, 4u}) {
            RenderMeshWarp(broken, target.Lock(), grid, 3, 3, {0, 0, 16, 16}, threads);
            EXPECT_EQ(CountUntouched(target), 256);
        }
    }
    RenderMeshWarp(source.Lock(), PixelBuffer{}, grid, 3, 3, {0, 0, 16, 16});
    EXPECT_EQ(CountUntouched(target), 256);
}

// Cell 1 spans x 0-30 and samples source x 0-50; cell 2 is mirrored over x 15-30 and
// samples x 50-100. Where they overlap, cell 2 was drawn last and its colour stays, on every
// band and thread count.
TEST(RenderMeshWarp, TheLaterCellWinsWhereCellsOverlap)
{
    const PixelImage source = MakeCoordinateImage(128, 256);
    const NodeGrid grid = LatticeGrid({0, 30, 15}, {0, 255});
    for (WarpKernel kernel : KernelsToCompare()) {
        SetWarpKernel(kernel);
        for (unsigned threads : {1u, 2u, 4u}) {
            PixelImage target;
            target.Allocate(40, 256, kUntouched);
            RenderMeshWarp(source.Lock(), target.Lock(), grid, 3, 2, {0, 0, 100, 200}, threads);
            for (uint32_t y = 0; y < 256; y += 5) {
                for (uint32_t x = 0; x <= 30; ++x) {
                    if (x < 15)
                        EXPECT_LT(Red(target.At(x, y)), 50u) << x << "," << y;
                    else
                        EXPECT_GE(Red(target.At(x, y)), 50u) << x << "," << y;
                }
            }
        }
    }
    SetWarpKernel(WarpKernel::Auto);
}

// The 17 x 17 wobbled mesh over 1024 x 768 keeps its border nodes on the target's edges, so
// its outline is the whole target. Taken exactly, the closed test leaves pixels on shared
// edges and on the border, where t or s comes out as 1 + 1e-14, to neither cell.
TEST(RenderMeshWarp, SharedEdgesLeaveNoHoles)
{
    const PixelImage source = MakePatternImage(1024, 768);
    const NodeGrid grid = MakeWobbledGrid(1024, 768, 40.0);
    const SelectionRect selection{0, 0, 1024, 768};
    PixelImage blank;
    blank.Allocate(1024, 768, kUntouched);

    PixelImage exact = blank;
    ReferenceRenderMeshWarp(source.Lock(), exact.Lock(), grid, 17, 17, selection, 0.0);
    EXPECT_GT(CountUntouched(exact), 0) << "the exact test no longer leaves holes here";

    PixelImage expected = blank;
    ReferenceRenderMeshWarp(source.Lock(), expected.Lock(), grid, 17, 17, selection);
    EXPECT_EQ(CountUntouched(expected), 0);

    for (WarpKernel kernel : KernelsToCompare()) {
        SetWarpKernel(kernel);
        for (unsigned threads : {1u, 2u, 3u}) {
            PixelImage actual = blank;
            RenderMeshWarp(source.Lock(), actual.Lock(), grid, 17, 17, selection, threads);
            EXPECT_EQ(CountUntouched(actual), 0) << int(kernel) << " " << threads;
            EXPECT_TRUE(actual.pixels == expected.pixels) << int(kernel) << " " << threads;
        }
    }
    SetWarpKernel(WarpKernel::Auto);
}

namespace {

// Node grids of every shape the editor can make and some it cannot: regular, jittered,
// mirrored, folded at random, collapsed onto a point or a line, partly off the target and
// far outside the int16 range of screen input.
NodeGrid RandomGrid(std::mt19937& rng, size_t columns, size_t rows, int32_t width, int32_t height)
{
    NodeGrid grid(rows, NodeRow(columns));
    const int mode = int(rng() % 7);
    const int32_t jitter = mode == 1 ? 3 : mode == 2 ? 30 : 0;
    const int32_t shiftX = mode == 4 ? int32_t(rng() % uint32_t(width)) - width / 2 : 0;
    const int32_t shiftY = mode == 4 ? int32_t(rng() % uint32_t(height)) - height / 2 : 0;
    for (size_t r = 0; r < rows; ++r) {
        for (size_t c = 0; c < columns; ++c) {
            MeshNode& node = grid[r][c];
            node.x = int32_t(c * size_t(width - 1) / (columns - 1)) + shiftX;
            node.y = int32_t(r * size_t(height - 1) / (rows - 1)) + shiftY;
            if (jitter > 0) {
                node.x += int32_t(rng() % uint32_t(2 * jitter + 1)) - jitter;
                node.y += int32_t(rng() % uint32_t(2 * jitter + 1)) - jitter;
            }
            switch (mode) {
            case 3: node.x = width - 1 - node.x; break;  // mirrored: every cell inverted
            case 5:                                      // folded anywhere
                node.x = int32_t(rng() % uint32_t(2 * width)) - width / 2;
                node.y = int32_t(rng() % uint32_t(2 * height)) - height / 2;
                break;
            case 6:  // collapsed, or with nodes out at the int32 limits
                if (rng() % 2 == 0) {
                    node.x = width / 2;
                    node.y = r % 2 == 0 ? height / 3 : node.y;
                } else if (rng() % 4 == 0) {
                    node.x = rng() % 2 ? INT32_MAX : INT32_MIN;
                }
                break;
            default: break;
            }
        }
    }
    return grid;
}

}  // namespace

// Random meshes, selections and buffers through every loop and thread count: every word
// of the target, row padding included, matches the literal render.
TEST(RenderMeshWarp, EveryLoopAndThreadCountMatchesTheLiteralRenderBitForBit)
{
    std::mt19937 rng(7031);
    const std::vector<WarpKernel> kernels = KernelsToCompare();
    int differing = 0;
    size_t written = 0;
    for (int round = 0; round < 150 && differing < 5; ++round) {
        const uint32_t targetWidth = 1 + rng() % 160;
        const uint32_t targetHeight = 1 + rng() % 160;
        PaddedImage target = MakePaddedImage(targetWidth, targetHeight, rng() % 3, 0);
        for (uint32_t& word : target.words)
            word = uint32_t(rng()) & 0x7FFFFFFFu;  // alpha below 0xFF: unwritten shows
        PaddedImage source = MakePaddedImage(1 + rng() % 48, 1 + rng() % 48, rng() % 2, 0);
        for (uint32_t& word : source.words)
            word = uint32_t(rng());
        const size_t columns = 2 + rng() % 5;
        const size_t rows = 2 + rng() % 5;
        const NodeGrid grid =
            RandomGrid(rng, columns, rows, int32_t(targetWidth), int32_t(targetHeight));
        // zero, negative and larger-than-the-source selections
        const SelectionRect selection{int32_t(rng() % 40) - 10, int32_t(rng() % 40) - 10,
                                      int32_t(rng() % 101) - 50, int32_t(rng() % 101) - 50};

        PaddedImage expected = target;
        ReferenceRenderMeshWarp(source.Lock(), expected.Lock(), grid, columns, rows, selection);
        for (size_t i = 0; i < target.words.size(); ++i)
            written += expected.words[i] != target.words[i];
        for (WarpKernel kernel : kernels) {
            SetWarpKernel(kernel);
            for (unsigned threads : {1u, 2u, 3u}) {
                PaddedImage actual = target;
                RenderMeshWarp(source.Lock(), actual.Lock(), grid, columns, rows, selection,
                               threads);
                if (actual.words != expected.words) {
                    ++differing;
                    ADD_FAILURE() << "round " << round << " kernel " << int(kernel) << " threads "
                                  << threads;
                }
            }
        }
    }
    SetWarpKernel(WarpKernel::Auto);
    EXPECT_EQ(differing, 0);
    EXPECT_GT(written, 100000u);
}
