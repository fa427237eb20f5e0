// Tests of ResultPane's kept layers: a layer composed once and cut to a smaller offscreen
// shows exactly what a paint of that offscreen composes afresh.
#include "views/paint_layers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "warp/mesh_warp.h"

namespace {

constexpr uint32_t kBackground = 0xFF000000u;

// A wobbled 3 x 3 grid reaching past 150 x 90, over a source whose red is x and green y.
const NodeGrid kGrid = {{{0, 0, -5, -3}, {0, 0, 70, 4}, {0, 0, 160, -2}},
                        {{0, 0, 3, 41}, {0, 0, 77, 52}, {0, 0, 149, 38}},
                        {{0, 0, -2, 97}, {0, 0, 81, 88}, {0, 0, 155, 99}}};

void Warp(const PixelImage& source, PixelImage& target)
{
    RenderMeshWarp(source.Lock(), target.Lock(), kGrid, 3, 3, SelectionRect{2, 3, 60, 50}, 0);
}

TEST(KeptLayers, ACornerOfTheWarpedLayerIsWhatAFreshPaintComposes)
{
    PixelImage source;
    source.Allocate(70, 60);
    for (uint32_t y = 0; y < 60; ++y)
        for (uint32_t x = 0; x < 70; ++x)
            source.pixels[y * 70 + x] = 0xFF000000u | (x * 3) << 16 | (y * 4) << 8 | 0x5A;
    KeptLayer backdrop, warped;
    std::vector<uint32_t> frame;
    // the second time round the same buffers are refilled and reused
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(ClearLayer(backdrop, 170, 120, kBackground));
        EXPECT_TRUE(AllOpaque(backdrop.image.pixels.data(), backdrop.image.pixels.size()));
        EXPECT_FALSE(backdrop.Spans(1, 1));  // cleared, not yet composed
        backdrop.composed = true;
        ASSERT_TRUE(CopyLayer(backdrop, warped));
        Warp(source, warped.image);
        EXPECT_EQ(backdrop.image.At(100, 50), kBackground);  // strokes show it without the warp
        // whole, cut through cells, a single row and column, and taller than one band
        const uint32_t sizes[][2] = {{170, 120}, {151, 89}, {60, 97}, {1, 1}, {170, 33}, {2, 120}};
        for (const auto& size : sizes) {
            ASSERT_TRUE(CopyLayerCorner(warped, size[0], size[1], frame));
            PixelImage fresh;  // the plain paint: an offscreen of just this size
            fresh.Allocate(size[0], size[1], kBackground);
            Warp(source, fresh);
            const std::vector<uint32_t> shown(frame.begin(), frame.begin() + fresh.pixels.size());
            EXPECT_EQ(shown, fresh.pixels) << size[0] << " x " << size[1];
        }
        EXPECT_FALSE(CopyLayerCorner(warped, 171, 1, frame));
        // a pixel below full alpha, which the final draw must not copy to the window as is
        backdrop.image.pixels[0] = 0x00ABCDEFu;
        EXPECT_FALSE(AllOpaque(backdrop.image.pixels.data(), backdrop.image.pixels.size()));
    }
    EXPECT_GE(frame.size(), 170u * 120u);  // the frame keeps the largest size it held
}

}  // namespace

namespace {

const Curve kStroke = {{10, 10}, {40, 12}, {70, 30}};

struct ChangeCase {
    const char* what;
    CurveSet newColumns;
    MeshChange change;
    PixelRect changed;  // for a tail: the points from two before the first change, 2 around
};

// Reach 2 around the columns' points; the rows stay {{0, 50}, {90, 50}} and no nodes.
const ChangeCase kChanges[] = {
    {"the same mesh", {kStroke}, MeshChange::None, {}},
    // (40, 12), (70, 30), (75, 41): x 38..77, y 10..43
    {"a point appended",
     {{{10, 10}, {40, 12}, {70, 30}, {75, 41}}},
     MeshChange::Tail,
     {38, 10, 78, 44}},
    // old (10, 10)..(70, 30) and new (10, 10)..(66, 34) from the first point: x 8..72, y 8..36
    {"the last point replaced", {{{10, 10}, {40, 12}, {66, 34}}}, MeshChange::Tail, {8, 8, 73, 37}},
    {"the first point moved: its label moves",
     {{{11, 10}, {40, 12}, {70, 30}}},
     MeshChange::Other,
     {}},
    {"a curve added", {kStroke, {{90, 0}}}, MeshChange::Other, {}},
    {"the first point gone", {{{40, 12}, {70, 30}}}, MeshChange::Other, {}},
};

TEST(MeshChanges, AStrokesMoveChangesOnlyTheBoxAroundItsLastSegments)
{
    const CurveSet rows = {{{0, 50}, {90, 50}}};
    for (const ChangeCase& c : kChanges) {
        PixelRect changed{1, 2, 3, 4};
        EXPECT_EQ(CompareMeshes({kStroke}, rows, {}, c.newColumns, rows, {}, 2, 7, changed),
                  c.change)
            << c.what;
        if (c.change == MeshChange::Tail) {
            EXPECT_EQ(changed, c.changed) << c.what;
        }
    }
    // The rows' own reach applies to a row's tail; a change of both families, or of a node,
    // is no tail.
    PixelRect changed;
    EXPECT_EQ(
        CompareMeshes({kStroke}, rows, {}, {kStroke}, {{{0, 50}, {90, 52}}}, {}, 2, 7, changed),
        MeshChange::Tail);
    EXPECT_EQ(changed, (PixelRect{-7, 43, 98, 60}));
    EXPECT_EQ(CompareMeshes({kStroke}, rows, {}, {{{10, 10}, {41, 12}}}, {{{0, 50}, {90, 52}}}, {},
                            2, 7, changed),
              MeshChange::Other);
    EXPECT_EQ(CompareMeshes({kStroke}, rows, {{MeshNode{0, 0, 3, 3}}}, {kStroke}, rows,
                            {{MeshNode{0, 0, 3, 4}}}, 2, 7, changed),
              MeshChange::Other);
    // Far-out points saturate instead of overflowing.
    EXPECT_EQ(CurveBounds({{INT32_MAX, INT32_MIN}}, 0, 18),
              (PixelRect{INT32_MAX - 18, INT32_MIN, INT32_MAX, INT32_MIN + 19}));
    EXPECT_EQ(LineReach(3.0f), 18);
    EXPECT_EQ(LineReach(1.0f), 8);
}

TEST(MeshChanges, ARectangleCopyChangesOnlyTheRectangle)
{
    std::vector<uint32_t> from(8 * 4), to(5 * 4, 7);
    for (uint32_t i = 0; i < from.size(); ++i)
        from[i] = i;
    CopyRect(from.data(), 8, to.data(), 5, PixelRect{1, 2, 4, 4});
    EXPECT_EQ(to, (std::vector<uint32_t>{7, 7,  7,  7,  7, 7, 7,  7,  7,  7,
                                         7, 17, 18, 19, 7, 7, 25, 26, 27, 7}));
}

}  // namespace
