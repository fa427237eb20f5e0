// Extreme input on the portable core: wheel storms that drive the zoom to its limits, pane
// positions at the 16-bit edges, coordinates at the int32 limits through every editing
// operation, refinement until the mesh is large, and warps of far-out or non-finite quads.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "mesh/curves.h"
#include "mesh/editing.h"
#include "app/pane_input.h"
#include "mesh/node_grid.h"
#include "mesh/refine.h"
#include "warp/mesh_warp.h"
#include "warp/pixel_buffer.h"
#include "warp/quad_warp.h"

namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

// wParam of one wheel notch: the delta sits in the high word.
constexpr uint32_t kNotchOut = uint32_t(120) << 16;
constexpr uint32_t kNotchIn = uint32_t(uint16_t(-120)) << 16;

uint32_t LParam(int16_t x, int16_t y)
{
    return uint32_t(uint16_t(x)) | uint32_t(uint16_t(y)) << 16;
}

// ---------------------------------------------------------------------------------------
// Wheel storms

// Dividing by 1.1f would take the zoom into the subnormals after 916 notches (1.2142041e-38,
// 0x00843712, divided once more falls below 2^-126): that notch and every later one out is not
// taken, and the zoom never turns subnormal or 0.
TEST(WheelStorm, ZoomingOutStopsAtTheLastNormalFloat)
{
    float zoom = 1.0f;
    for (int i = 0; i < 2000; ++i) {
        const float next = ApplyWheelZoom(zoom, kNotchOut);
        ASSERT_LE(next, zoom) << "notch " << i;
        ASSERT_TRUE(std::isnormal(next)) << "notch " << i;
        zoom = next;
    }
    EXPECT_EQ(zoom, std::bit_cast<float>(0x00843712u));
    EXPECT_EQ(ApplyWheelZoom(zoom, kNotchIn), zoom * 1.1f);
}

// 1.1^931 would pass FLT_MAX (about 3.4e38 = 1.1^930.6): the zoom stops at 1.1f^930 =
// 3.1275618e38 (0x7F6B4AA6), and a notch out from there is taken again.
TEST(WheelStorm, ZoomingInStopsShortOfInfinity)
{
    float zoom = 1.0f;
    for (int i = 0; i < 2000; ++i) {
        const float next = ApplyWheelZoom(zoom, kNotchIn);
        ASSERT_GE(next, zoom) << "notch " << i;
        ASSERT_TRUE(std::isfinite(next)) << "notch " << i;
        zoom = next;
    }
    EXPECT_EQ(zoom, std::bit_cast<float>(0x7F6B4AA6u));
    EXPECT_EQ(ApplyWheelZoom(zoom, kNotchOut), zoom / 1.1f);
}

// A pane position divided by the smallest zoom leaves int32 (1 / 1.2e-38 = 8.2e37) and
// saturates; divided by the largest (3.1e38) every position truncates to 0.
TEST(WheelStorm, PositionsAtTheZoomLimitsSaturateOrVanish)
{
    float tiny = 1.0f;
    float huge = 1.0f;
    for (int i = 0; i < 2000; ++i) {
        tiny = ApplyWheelZoom(tiny, kNotchOut);
        huge = ApplyWheelZoom(huge, kNotchIn);
    }
    struct Row {
        int16_t x, y;
        Point atTiny;
    };
    const Row rows[] = {
        {0, 0, {0, 0}},
        {1, -1, {kMax, kMin}},
        {32767, -32768, {kMax, kMin}},
        {-32768, 32767, {kMin, kMax}},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(PanePointFromLParam(LParam(r.x, r.y), tiny), r.atTiny) << r.x << ", " << r.y;
        EXPECT_EQ(PanePointFromLParam(LParam(r.x, r.y), huge), (Point{0, 0})) << r.x << ", " << r.y;
    }
}

// A stroke drawn at either zoom limit lands on saturated or zero canvas positions and the
// mesh stays in line with its curves.
TEST(WheelStorm, StrokesAtTheZoomLimitsKeepTheMeshConsistent)
{
    MeshEditState e;
    float zoom = 1.0f;
    for (int i = 0; i < 1200; ++i)
        zoom = ApplyWheelZoom(zoom, kNotchOut);
    BeginStroke(e, PanePointFromLParam(LParam(-32768, -32768), zoom));
    ExtendStroke(e, PanePointFromLParam(LParam(32767, 32767), zoom));
    ExtendStroke(e, PanePointFromLParam(LParam(0, 0), zoom));
    EXPECT_TRUE(EndStroke(e));
    ASSERT_EQ(e.columnCurves.size(), 1u);
    EXPECT_EQ(e.columnCurves[0], (Curve{{kMin, kMin}, {kMax, kMax}, {0, 0}}));

    for (int i = 0; i < 3000; ++i)
        zoom = ApplyWheelZoom(zoom, kNotchIn);
    e.activeFamily = CurveFamily::Rows;
    BeginStroke(e, PanePointFromLParam(LParam(-32768, 32767), zoom));
    ExtendStroke(e, PanePointFromLParam(LParam(32767, -32768), zoom));
    EXPECT_TRUE(EndStroke(e));
    ASSERT_EQ(e.rowCurves.size(), 1u);
    EXPECT_EQ(e.rowCurves[0], (Curve{{0, 0}, {0, 0}}));
    ASSERT_EQ(e.nodeGrid.size(), 1u);
    EXPECT_EQ(e.nodeGrid[0].size(), 1u);
}

// ---------------------------------------------------------------------------------------
// Pane positions at the 16-bit limits of lParam

struct PanePositionCase {
    const char* name;
    uint32_t lParam;
    float zoom;
    Point want;
};

class PanePositionAtLimits : public testing::TestWithParam<PanePositionCase> {};

TEST_P(PanePositionAtLimits, TruncatesTowardZeroAndSaturates)
{
    const PanePositionCase& c = GetParam();
    EXPECT_EQ(PanePointFromLParam(c.lParam, c.zoom), c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, PanePositionAtLimits,
    testing::Values(
        // Each word is signed on its own: 0xFFFF is -1, 0x8000 is -32768.
        PanePositionCase{"WordsAreSignedSeparately", 0x8000FFFFu, 1.0f, {-1, -32768}},
        PanePositionCase{"LargestAtZoomOne", 0x7FFF7FFFu, 1.0f, {32767, 32767}},
        // -1 / 2 = -0.5, truncated toward zero to 0, not -1.
        PanePositionCase{"MinusHalfTruncatesToZero", 0xFFFFFFFFu, 2.0f, {0, 0}},
        // 32767 / 2 = 16383.5 -> 16383; -32768 / 2 = -16384 exactly.
        PanePositionCase{"HalfZoom", LParam(32767, -32768), 2.0f, {16383, -16384}},
        // 32767 / 0.5 = 65534; -32768 / 0.5 = -65536: beyond 16 bits once zoomed out.
        PanePositionCase{"DoubleZoomOut", LParam(32767, -32768), 0.5f, {65534, -65536}},
        // 32767 / 1.10000002384185791015625f = 29788.18... and -32768 / 1.1f = -29789.09...
        PanePositionCase{"OneNotchOut", LParam(32767, -32768), 1.1f, {29788, -29789}},
        // 2^-16: 32767 * 65536 = 2147418112 still fits; -32768 * 65536 = -2^31 is INT32_MIN.
        PanePositionCase{
            "LastZoomThatFits", LParam(32767, -32768), 1.0f / 65536.0f, {2147418112, kMin}},
        // 2^-17: 32767 * 131072 = 4294836224 and -2^32 lie outside int32: saturated.
        PanePositionCase{
            "FirstZoomThatSaturates", LParam(32767, -32768), 1.0f / 131072.0f, {kMax, kMin}},
        // A zoom of 0 gives infinities (or NaN for 0 / 0, which becomes 0).
        PanePositionCase{"ZeroZoom", LParam(5, -5), 0.0f, {kMax, kMin}},
        PanePositionCase{"ZeroOverZeroZoom", LParam(0, 0), 0.0f, {0, 0}}),
    [](const testing::TestParamInfo<PanePositionCase>& info) { return info.param.name; });

// Every delta of the signed high word: quotient above 0 zooms out, anything else zooms in.
TEST(WheelStorm, EveryDeltaAtTheWordLimitsPicksADirection)
{
    struct Row {
        int16_t delta;
        bool out;
    };
    const Row rows[] = {{32767, true}, {120, true},   {119, false},   {0, false},
                        {-1, false},   {-120, false}, {-32768, false}};
    for (const Row& r : rows) {
        const uint32_t wParam = uint32_t(uint16_t(r.delta)) << 16 | 0xFFFFu;  // low word: keys
        const float z = ApplyWheelZoom(2.0f, wParam);
        EXPECT_EQ(z, r.out ? 2.0f / 1.1f : 2.0f * 1.1f) << r.delta;
    }
}

// ---------------------------------------------------------------------------------------
// Coordinates at the int32 limits through every editing operation

// The two diagonals of the whole int32 plane: A from (min, min) to (max, max), the line
// y = x, and B from (min, max) to (max, min), the line x + y = min + max = -1. With K =
// 2^32 - 1, row P = (min, max), Q = (max, min), column (min, min)-(max, max):
// den = K*K - (-K)*K = 2K^2, num = 0*K - (min - max)*K = K^2 (num * dRx is K^3, about 2^96),
// ddx = K^3 / 2K^2 = K/2 = 2147483647.5 -> 2147483647, X = min + 2147483647 = -1;
// ddy = -K/2 -> -2147483647, Y = max - 2147483647 = 0. The true crossing (-0.5, -0.5) moves
// toward P by less than a pixel.
TEST(Int32Limits, DiagonalsOfTheWholePlaneCrossExactly)
{
    MeshEditState e;
    BeginStroke(e, {kMin, kMin});
    ExtendStroke(e, {kMax, kMax});
    ASSERT_TRUE(EndStroke(e));
    e.activeFamily = CurveFamily::Rows;
    BeginStroke(e, {kMin, kMax});
    ExtendStroke(e, {kMax, kMin});
    ASSERT_TRUE(EndStroke(e));

    ASSERT_EQ(e.nodeGrid.size(), 1u);
    ASSERT_EQ(e.nodeGrid[0].size(), 1u);
    EXPECT_EQ(e.nodeGrid[0][0], (MeshNode{1, 1, -1, 0}));

    int32_t w = 0, h = 0;
    MeasureCanvas(e.columnCurves, e.rowCurves, w, h);
    EXPECT_EQ(w, kMax);  // max + 2 saturates
    EXPECT_EQ(h, kMax);

    // A column stroke that crosses the first column first becomes a row curve; here the
    // stroke down x = 0 meets A at (0, 0) on its first segment.
    e.activeFamily = CurveFamily::Columns;
    BeginStroke(e, {0, kMin});
    ExtendStroke(e, {0, kMax});
    ASSERT_TRUE(EndStroke(e));
    EXPECT_EQ(e.columnCurves.size(), 1u);
    EXPECT_EQ(e.rowCurves.size(), 2u);
    EXPECT_TRUE(GridHasShape(e.nodeGrid, 2, 1));
}

// The mean of two int32 values is formed wide: max + max, min + min and min + max would
// overflow 32 bits. (min + max) / 2 = -1 / 2 = 0 (toward zero); (2max - 1) / 2 = max - 1.
TEST(Int32Limits, RefinementAveragesWithoutOverflow)
{
    MeshEditState e;
    e.columnCurves = {{{kMin, kMin}, {kMax, kMax}}, {{kMax, kMin}, {kMax, kMax - 1}}};
    e.rowCurves = {{{kMin, kMax}, {kMax, kMin}}, {{kMin, kMin}, {kMin, kMin}}};
    RecomputeNodeGrid(e.columnCurves, e.rowCurves, e.nodeGrid);
    ASSERT_TRUE(RefineMesh(e));
    ASSERT_EQ(e.columnCurves.size(), 3u);
    EXPECT_EQ(e.columnCurves[1], (Curve{{0, kMin}, {kMax, kMax - 1}}));
    ASSERT_EQ(e.rowCurves.size(), 3u);
    // (min, max) with (min, min): (min, -1/2 = 0); (max, min) with (min, min): (0, min).
    EXPECT_EQ(e.rowCurves[1], (Curve{{kMin, 0}, {0, kMin}}));
    EXPECT_TRUE(GridHasShape(e.nodeGrid, 3, 3));
}

// Columns x = 0 and x = 100 (label spots far from the nodes), one row (-10, 0), (50, 0), (110, 0). Node (0, 1) is the row's
// second segment on x = 100: {1, 2, 100, 0}; its left neighbour has rowPointIndex 1. A drag
// to (max, min) shifts row point 2 by the whole displacement (max - 100, min), which the
// 64-bit sum 110 + max - 100 saturates to max; dragging back adds (100 - max, 2^31).
TEST(Int32Limits, NodeDragAcrossThePlaneSaturatesBentPoints)
{
    MeshEditState e;
    e.columnCurves = {{{0, -100}, {0, 100}}, {{100, -100}, {100, 100}}};
    e.rowCurves = {{{-10, 0}, {50, 0}, {110, 0}}};
    RecomputeNodeGrid(e.columnCurves, e.rowCurves, e.nodeGrid);
    ASSERT_EQ(e.nodeGrid[0][1], (MeshNode{1, 2, 100, 0}));

    ASSERT_EQ(RightButtonDown(e, {100, 0}), RightPressResult::Pressed);
    ASSERT_EQ(e.interactionMode, InteractionMode::NodeDrag);
    ASSERT_TRUE(RightButtonUp(e, {kMax, kMin}));
    EXPECT_EQ(e.rowCurves[0], (Curve{{-10, 0}, {50, 0}, {kMax, kMin}}));
    EXPECT_EQ(e.nodeGrid[0][1], (MeshNode{1, 2, kMax, kMin}));
    EXPECT_EQ(e.columnCurves[1], (Curve{{100, -100}, {100, 100}}));  // no row above or below

    e.dragRow = 0;
    e.dragColumn = 1;
    MoveNode(e, 100, 0);
    EXPECT_EQ(e.rowCurves[0], (Curve{{-10, 0}, {50, 0}, {100, 0}}));
    EXPECT_EQ(e.nodeGrid[0][1], (MeshNode{1, 2, 100, 0}));
}

// The label spot is the first point + (8, 8). For a curve starting at (min, min) it is
// reachable; for one at (max, max) the nearest press, (max, max) itself, is sqrt(128) =
// 11.31 away, beyond the 10-pixel reach; from (max - 1, max - 1) the press at (max, max)
// is sqrt(98) = 9.90 away.
TEST(Int32Limits, LabelSpotsNearTheLimits)
{
    struct Row {
        Point first;
        Point press;
        bool deleted;
    };
    const Row rows[] = {
        {{kMin, kMin}, {kMin + 8, kMin + 8}, true}, {{kMin, kMin}, {kMax, kMax}, false},
        {{kMax, kMax}, {kMax, kMax}, false},        {{kMax - 1, kMax - 1}, {kMax, kMax}, true},
        {{kMax, kMin}, {kMax, kMin + 8}, true},  // dx = -8, dy = 0: 8 pixels away
    };
    for (const Row& r : rows) {
        CurveSet set = {{r.first, {0, 0}}};
        EXPECT_EQ(DeleteCurveAt(set, r.press), r.deleted) << r.first.x << ", " << r.first.y;
        EXPECT_EQ(set.empty(), r.deleted);
    }
}

// Crossings of segments that span the whole plane, in every orientation, stay exact: a
// vertical and a horizontal line through the middle, segments meeting at a corner of the
// plane, and two nearly parallel diagonals whose lines meet far outside int32.
TEST(Int32Limits, CrossSegmentsAtThePlaneEdges)
{
    // x = -1 from min to max against y = 0 from min to max: they meet at (-1, 0).
    SegmentCrossing s = CrossSegments({kMin, 0}, {kMax, 0}, {-1, kMin}, {-1, kMax});
    EXPECT_TRUE(s.found && s.onFirst && s.onSecond);
    EXPECT_EQ(s.x, -1);
    EXPECT_EQ(s.y, 0);
    // Two segments sharing the corner (max, max) touch there.
    s = CrossSegments({kMin, kMax}, {kMax, kMax}, {kMax, kMin}, {kMax, kMax});
    EXPECT_TRUE(s.onFirst && s.onSecond);
    EXPECT_EQ(s.x, kMax);
    EXPECT_EQ(s.y, kMax);
    // (min, min)-(max, max) and (min, min + 1)-(max, max): den = K*(K-1) - K*K = -K, num =
    // 0*(K-1) - 1*K = -K, ddx = -K*K / -K = K: X = max, Y = max. Both segments end there.
    s = CrossSegments({kMin, kMin}, {kMax, kMax}, {kMin, kMin + 1}, {kMax, kMax});
    EXPECT_TRUE(s.onFirst && s.onSecond);
    EXPECT_EQ(s.x, kMax);
    EXPECT_EQ(s.y, kMax);
    // (min, min)-(max, max - 1) and (min, min + 1)-(max, max): parallel, never found.
    s = CrossSegments({kMin, kMin}, {kMax, kMax - 1}, {kMin, kMin + 1}, {kMax, kMax});
    EXPECT_FALSE(s.found);
    // (0, 0)-(max, 1) and (0, 1)-(max, 3): den = K'*2 - 1*K' = K' (K' = max), num = 0*2 -
    // 1*K' = -K', ddx = -K'*K'/K' = -K', X = -max, outside both boxes.
    s = CrossSegments({0, 0}, {kMax, 1}, {0, 1}, {kMax, 3});
    EXPECT_TRUE(s.found);
    EXPECT_FALSE(s.onFirst || s.onSecond);
}

// A stroke, a deletion, a drag, a refinement and a clear, all with points at the limits,
// leave a mesh whose grid matches its curves at every step.
TEST(Int32Limits, EveryOperationInTurnKeepsTheGridInLine)
{
    MeshEditState e;
    const Point corners[] = {{kMin, kMin}, {kMax, kMin}, {kMax, kMax}, {kMin, kMax}};
    for (int f = 0; f < 2; ++f) {
        e.activeFamily = f == 0 ? CurveFamily::Columns : CurveFamily::Rows;
        for (int i = 0; i < 4; ++i) {
            BeginStroke(e, corners[i]);
            ExtendStroke(e, corners[(i + 2) % 4]);
            ExtendStroke(e, corners[(i + 1) % 4]);
            ASSERT_TRUE(EndStroke(e));
            ASSERT_TRUE(GridHasShape(e.nodeGrid, e.rowCurves.size(), e.columnCurves.size()));
        }
    }
    ASSERT_TRUE(RefineMesh(e));
    ASSERT_TRUE(GridHasShape(e.nodeGrid, e.rowCurves.size(), e.columnCurves.size()));
    for (size_t i = 0; i < e.nodeGrid.size(); ++i) {
        for (size_t j = 0; j < e.nodeGrid[i].size(); ++j) {
            e.dragRow = int32_t(i);
            e.dragColumn = int32_t(j);
            MoveNode(e, (i + j) % 2 ? kMax : kMin, (i % 2) ? kMin : kMax);
        }
    }
    RecomputeNodeGrid(e.columnCurves, e.rowCurves, e.nodeGrid);
    ASSERT_TRUE(GridHasShape(e.nodeGrid, e.rowCurves.size(), e.columnCurves.size()));
    // Right presses at every corner of the plane delete or pick; the grid follows.
    for (const Point p : corners) {
        if (RightButtonDown(e, p) == RightPressResult::Pressed)
            RightButtonUp(e, {~p.x, ~p.y});  // -x - 1 without overflow
        ASSERT_TRUE(GridHasShape(e.nodeGrid, e.rowCurves.size(), e.columnCurves.size()));
    }
    ClearMesh(e);
    EXPECT_TRUE(e.columnCurves.empty());
    EXPECT_TRUE(e.rowCurves.empty());
    EXPECT_TRUE(e.nodeGrid.empty());
}

// ---------------------------------------------------------------------------------------
// Refinement until the mesh is large

// Columns at x = 0 and x = 1024 and rows at y = 0 and y = 1024 (three points each): eight
// refinements give 2^8 + 1 = 257 curves per family, whose means are exact (1024 / 256 = 4),
// so node (r, c) lies at (4c, 4r). Every mean curve has its earlier neighbour's 3 points.
TEST(RefineStorm, EightRefinementsThenClear)
{
    MeshEditState e;
    e.columnCurves = {{{0, -8}, {0, 512}, {0, 1032}}, {{1024, -8}, {1024, 512}, {1024, 1032}}};
    e.rowCurves = {{{-8, 0}, {512, 0}, {1032, 0}}, {{-8, 1024}, {512, 1024}, {1032, 1024}}};
    RecomputeNodeGrid(e.columnCurves, e.rowCurves, e.nodeGrid);
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(RefineMesh(e)) << "refinement " << i;
    ASSERT_EQ(e.columnCurves.size(), 257u);
    ASSERT_EQ(e.rowCurves.size(), 257u);
    ASSERT_TRUE(GridHasShape(e.nodeGrid, 257, 257));
    for (size_t c = 0; c < 257; ++c) {
        ASSERT_EQ(e.columnCurves[c].size(), 3u);
        ASSERT_EQ(e.columnCurves[c][1], (Point{int32_t(4 * c), 512}));
    }
    for (size_t r = 0; r < 257; r += 16) {
        for (size_t c = 0; c < 257; c += 16) {
            EXPECT_EQ(e.nodeGrid[r][c].x, int32_t(4 * c));
            EXPECT_EQ(e.nodeGrid[r][c].y, int32_t(4 * r));
        }
    }

    // Delete while a node is being dragged: the release finds nothing to move.
    ASSERT_EQ(RightButtonDown(e, {400, 400}), RightPressResult::Pressed);
    ASSERT_EQ(e.interactionMode, InteractionMode::NodeDrag);
    ClearMesh(e);
    EXPECT_TRUE(e.columnCurves.empty() && e.rowCurves.empty() && e.nodeGrid.empty());
    RightButtonUp(e, {0, 0});
    EXPECT_EQ(e.interactionMode, InteractionMode::Idle);
    EXPECT_TRUE(e.columnCurves.empty() && e.rowCurves.empty() && e.nodeGrid.empty());
    EXPECT_TRUE(RefineMesh(e));
    EXPECT_TRUE(e.nodeGrid.empty());
}

// Delete during a stroke: later moves find no curve and add nothing; the release leaves an
// empty mesh.
TEST(RefineStorm, ClearDuringAStrokeLeavesNothingBehind)
{
    MeshEditState e;
    BeginStroke(e, {kMin, kMax});
    ExtendStroke(e, {kMax, kMin});
    ClearMesh(e);
    EXPECT_FALSE(ExtendStroke(e, {0, 0}));
    EXPECT_TRUE(EndStroke(e));
    EXPECT_TRUE(e.columnCurves.empty() && e.rowCurves.empty() && e.nodeGrid.empty());
}

// ---------------------------------------------------------------------------------------
// Warps of far-out and non-finite quads

constexpr uint32_t kColour = 0xFFC86432u;  // red 200, green 100, blue 50
constexpr uint32_t kSide = 16;
constexpr uint32_t kStrideWords = 20;         // four padding words end every row
constexpr uint32_t kUnwritten = 0x00123456u;  // alpha 0: every word the warp writes has 0xFF

struct PaddedTarget {
    std::vector<uint32_t> words = std::vector<uint32_t>(kStrideWords * kSide, kUnwritten);

    PixelBuffer Buffer()
    {
        PixelBuffer b;
        b.width = kSide;
        b.height = kSide;
        b.stride = int32_t(kStrideWords * 4);
        b.pixels = words.data();
        return b;
    }
    uint32_t At(uint32_t x, uint32_t y) const { return words[y * kStrideWords + x]; }
    int Written() const
    {
        int n = 0;
        for (uint32_t y = 0; y < kSide; ++y)
            for (uint32_t x = 0; x < kSide; ++x)
                n += At(x, y) != kUnwritten;
        return n;
    }
    bool PaddingIntact() const
    {
        for (uint32_t y = 0; y < kSide; ++y)
            for (uint32_t x = kSide; x < kStrideWords; ++x)
                if (At(x, y) != kUnwritten)
                    return false;
        return true;
    }
};

PixelImage UniformSource()
{
    PixelImage image;
    image.Allocate(8, 8, kColour);
    return image;
}

// Within one of the colour: a sum of weights a hair below 1 truncates a channel down by one.
bool NearColour(uint32_t word)
{
    if (word >> 24 != 0xFF)
        return false;
    for (int shift = 0; shift < 24; shift += 8) {
        const int got = int(word >> shift & 0xFF);
        const int want = int(kColour >> shift & 0xFF);
        if (got != want && got != want - 1)
            return false;
    }
    return true;
}

NodeGrid OneCell(Point topLeft, Point topRight, Point bottomLeft, Point bottomRight)
{
    return {{{0, 0, topLeft.x, topLeft.y}, {0, 0, topRight.x, topRight.y}},
            {{0, 0, bottomLeft.x, bottomLeft.y}, {0, 0, bottomRight.x, bottomRight.y}}};
}

// A cell spanning the whole int32 plane covers the 16 x 16 target: the warp visits only the
// target's pixels (one pass over 256, not 2^64) and writes them all. Each lies near the
// cell's middle, t = (X - max) / (min - max) close to 0.5, so it samples selection (2, 2, 4,
// 4) near (4, 4): the uniform colour. The padding after each row stays as it was.
TEST(WarpExtremes, CellSpanningThePlaneClampsToTheTarget)
{
    const PixelImage source = UniformSource();
    const NodeGrid grid = OneCell({kMin, kMin}, {kMax, kMin}, {kMin, kMax}, {kMax, kMax});
    for (unsigned threads : {1u, 3u}) {
        PaddedTarget target;
        RenderMeshWarp(source.Lock(), target.Buffer(), grid, 2, 2, SelectionRect{2, 2, 4, 4},
                       threads);
        EXPECT_EQ(target.Written(), int(kSide * kSide)) << threads << " threads";
        EXPECT_TRUE(target.PaddingIntact());
        for (uint32_t y = 0; y < kSide; ++y)
            for (uint32_t x = 0; x < kSide; ++x)
                ASSERT_TRUE(NearColour(target.At(x, y)))
                    << x << ", " << y << ": " << std::hex << target.At(x, y);
    }
}

// Cells wholly beyond the target on any side visit nothing, however far out they lie.
TEST(WarpExtremes, CellsBeyondTheTargetWriteNothing)
{
    const PixelImage source = UniformSource();
    const NodeGrid cells[] = {
        OneCell({kMax - 10, 0}, {kMax, 0}, {kMax - 10, 10}, {kMax, 10}),          // right
        OneCell({kMin, 0}, {kMin + 10, 0}, {kMin, 10}, {kMin + 10, 10}),          // left
        OneCell({0, kMax - 10}, {10, kMax - 10}, {0, kMax}, {10, kMax}),          // below
        OneCell({kMin, kMin}, {kMax, kMin}, {kMin, kMin + 1}, {kMax, kMin + 1}),  // above
        OneCell({-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}),                          // a point
    };
    for (const NodeGrid& grid : cells) {
        PaddedTarget target;
        RenderMeshWarp(source.Lock(), target.Buffer(), grid, 2, 2, SelectionRect{0, 0, 8, 8}, 1);
        EXPECT_EQ(target.Written(), 0) << grid[0][0].x << ", " << grid[0][0].y;
        EXPECT_TRUE(target.PaddingIntact());
    }
}

// A selection at the int32 limits puts every sample beyond 2^52 of the source or between
// far-apart bounds; the cell still writes every pixel, each an opaque colour, and nothing
// outside the target.
TEST(WarpExtremes, SelectionAtTheLimitsStaysInsideTheTarget)
{
    const PixelImage source = UniformSource();
    const NodeGrid grid = OneCell({0, 0}, {15, 0}, {0, 15}, {15, 15});
    const SelectionRect selections[] = {{kMin, kMin, kMax, kMax},
                                        {kMax, kMax, kMax, kMax},
                                        {kMin, kMax, -1, kMin},
                                        {kMax, kMin, kMin, kMax}};
    for (const SelectionRect& sel : selections) {
        PaddedTarget one, three;
        RenderMeshWarp(source.Lock(), one.Buffer(), grid, 2, 2, sel, 1);
        RenderMeshWarp(source.Lock(), three.Buffer(), grid, 2, 2, sel, 3);
        EXPECT_EQ(one.words, three.words);
        EXPECT_EQ(one.Written(), int(kSide * kSide));
        EXPECT_TRUE(one.PaddingIntact());
        for (uint32_t y = 0; y < kSide; ++y)
            for (uint32_t x = 0; x < kSide; ++x)
                ASSERT_EQ(one.At(x, y) >> 24, 0xFFu);
    }
}

QuadWarpJob SquareOverTheTarget()
{
    QuadWarpJob q;
    q.sourceLeft = 2.0;
    q.sourceTop = 2.0;
    q.sourceRight = 6.0;
    q.sourceBottom = 6.0;
    q.topLeft = {0.0, 0.0};
    q.topRight = {15.0, 0.0};
    q.bottomLeft = {0.0, 15.0};
    q.bottomRight = {15.0, 15.0};
    return q;
}

double& Coordinate(QuadWarpJob& q, int slot)
{
    PointD* corners[] = {&q.topLeft, &q.topRight, &q.bottomLeft, &q.bottomRight};
    return slot % 2 ? corners[slot / 2]->y : corners[slot / 2]->x;
}

// The square itself writes all 256 pixels. A NaN in any of its eight coordinates makes Ax or
// Ay NaN (every corner's x is in Ax, every y in Ay), hence k2 and every root NaN; between
// vertical sides t stays finite but Ly or Uy, hence s, is NaN. No pixel is accepted.
TEST(WarpExtremes, ANaNInAnyCornerWritesNothing)
{
    const PixelImage source = UniformSource();
    PaddedTarget control;
    WarpQuad(source.Lock(), control.Buffer(), SquareOverTheTarget());
    ASSERT_EQ(control.Written(), int(kSide * kSide));
    for (int slot = 0; slot < 8; ++slot) {
        QuadWarpJob q = SquareOverTheTarget();
        Coordinate(q, slot) = std::numeric_limits<double>::quiet_NaN();
        PaddedTarget target;
        WarpQuad(source.Lock(), target.Buffer(), q);
        EXPECT_EQ(target.Written(), 0) << "NaN in coordinate " << slot;
        EXPECT_TRUE(target.PaddingIntact());
    }
}

// An infinite or huge corner stretches the bounding box to the target's edge and no
// further: whatever is written is inside the target and opaque. A quad whose corners are all
// infinite writes nothing (every t is NaN or infinite).
TEST(WarpExtremes, InfiniteAndHugeCornersStayInsideTheTarget)
{
    const PixelImage source = UniformSource();
    const double values[] = {std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::max(),
                             -1e300,
                             0x1p62,
                             -0x1p63};
    for (double v : values) {
        for (int slot = 0; slot < 8; ++slot) {
            QuadWarpJob q = SquareOverTheTarget();
            Coordinate(q, slot) = v;
            PaddedTarget target;
            WarpQuad(source.Lock(), target.Buffer(), q);
            EXPECT_TRUE(target.PaddingIntact()) << v << " in coordinate " << slot;
            for (uint32_t y = 0; y < kSide; ++y)
                for (uint32_t x = 0; x < kSide; ++x)
                    ASSERT_TRUE(target.At(x, y) == kUnwritten || target.At(x, y) >> 24 == 0xFF);
        }
        QuadWarpJob all = SquareOverTheTarget();
        for (int slot = 0; slot < 8; ++slot)
            Coordinate(all, slot) = v;
        PaddedTarget target;
        WarpQuad(source.Lock(), target.Buffer(), all);
        EXPECT_EQ(target.Written(), 0) << "every coordinate " << v;
    }
}

// Source bounds of +-1e300 put each sample at |x| >= 1e300 / 15, beyond 2^52, where no
// neighbour is inside the source: opaque black. A NaN bound gives NaN samples: black too.
TEST(WarpExtremes, SamplesFarOutsideTheSourceAreOpaqueBlack)
{
    const PixelImage source = UniformSource();
    QuadWarpJob far = SquareOverTheTarget();
    far.sourceLeft = -1e300;
    far.sourceRight = 1e300;
    QuadWarpJob nan = SquareOverTheTarget();
    nan.sourceTop = std::numeric_limits<double>::quiet_NaN();
    for (const QuadWarpJob& q : {far, nan}) {
        PaddedTarget target;
        WarpQuad(source.Lock(), target.Buffer(), q);
        EXPECT_TRUE(target.PaddingIntact());
        for (uint32_t y = 0; y < kSide; ++y)
            for (uint32_t x = 0; x < kSide; ++x)
                ASSERT_EQ(target.At(x, y), 0xFF000000u) << x << ", " << y;
    }
    EXPECT_EQ(SampleBilinear(source.Lock(), 0x1p53, 1.0), 0xFF000000u);
    EXPECT_EQ(SampleBilinear(source.Lock(), -1.0, -std::numeric_limits<double>::infinity()),
              0xFF000000u);
}

// ---------------------------------------------------------------------------------------
// A canvas far larger than memory

// A point at the int32 limit makes the export canvas max x max. A row of 2^29 words is
// 2^31 bytes, one more than a lock's signed 32-bit stride can hold, so the image is refused
// before anything is allocated; it empties the image and locks as a failed lock, and the
// warp writes nothing through it.
TEST(HugeCanvas, RefusedImagesLockAsFailedLocksThatNothingWritesThrough)
{
    CurveSet columns = {{{kMax, kMax}}};
    int32_t w = 0, h = 0;
    MeasureCanvas(columns, {}, w, h);
    EXPECT_EQ(w, kMax);
    EXPECT_EQ(h, kMax);

    PixelImage image;
    ASSERT_TRUE(image.Allocate(4, 4, kColour));
    EXPECT_FALSE(image.Allocate(uint32_t(1) << 29, 1));
    EXPECT_EQ(image.width, 0u);
    EXPECT_EQ(image.height, 0u);
    EXPECT_TRUE(image.pixels.empty());
    const PixelBuffer failed = image.Lock();
    EXPECT_EQ(failed.pixels, nullptr);

    const PixelImage source = UniformSource();
    const NodeGrid grid = OneCell({0, 0}, {kMax, 0}, {0, kMax}, {kMax, kMax});
    RenderMeshWarp(source.Lock(), failed, grid, 2, 2, SelectionRect{0, 0, 8, 8}, 3);
    WarpQuad(source.Lock(), failed, SquareOverTheTarget());
    EXPECT_TRUE(image.pixels.empty());
    // A failed source lock leaves a real target as it was.
    PaddedTarget target;
    WarpQuad(failed, target.Buffer(), SquareOverTheTarget());
    EXPECT_EQ(target.Written(), 0);
}

}  // namespace
