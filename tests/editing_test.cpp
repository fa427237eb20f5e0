// Tests of the result pane's editing operations: input conversions, strokes and their
// reclassification, curve deletion, node picking and node dragging.
#include "mesh/editing.h"
#include "app/pane_input.h"
#include "mesh/int_math.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <tuple>

#include "mesh/refine.h"
#include "mesh/rubber_band.h"

inline void PrintTo(const Point& p, std::ostream* os) { *os << "(" << p.x << ", " << p.y << ")"; }

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

float FloatFromBits(uint32_t bits) { return std::bit_cast<float>(bits); }

// ---- Input conversions.

TEST(TruncateFloatToInt32, TruncatesTowardZeroAndSaturates)
{
    struct Case {
        float in;
        int32_t out;
    };
    const Case cases[] = {
        {7.9f, 7},
        {-1.5f, -1},
        {0.99f, 0},
        {-0.99f, 0},
        {2147483520.0f, 2147483520},  // the greatest float below 2^31
        {2147483648.0f, kMax},        // 2^31 itself does not fit
        {1e30f, kMax},
        {-2147483648.0f, kMin},  // -2^31 fits exactly
        {-2147483904.0f, kMin},  // the next float below it does not
        {std::numeric_limits<float>::infinity(), kMax},
        {-std::numeric_limits<float>::infinity(), kMin},
        {std::numeric_limits<float>::quiet_NaN(), 0},
        {-std::numeric_limits<float>::quiet_NaN(), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TruncateFloatToInt32(c.in), c.out) << c.in;
}

struct PaneCase {
    const char* name;
    uint32_t lParam;  // low word x, high word y
    float zoom;
    Point canvas;
};

const float kInf = std::numeric_limits<float>::infinity();

const PaneCase kPaneCases[] = {
    {"PlainAtZoomOne", 0x00320064, 1.0f, {100, 50}},
    // -1 / 2 = -0.5 truncates to 0, not -1.
    {"MinusOneAtZoomTwoIsZero", 0x0000FFFF, 2.0f, {0, 0}},
    {"MinusTwoAtZoomTwoIsMinusOne", 0xFFFEFFFE, 2.0f, {-1, -1}},
    {"HighWordIsSigned", 0xFFF60005, 1.0f, {5, -10}},
    {"ThirdsTruncateBothWays", 0xFFF6000A, 3.0f, {3, -3}},
    {"ZoomedInHalf", 0x00640064, 0.5f, {200, 200}},
    // 100 / 0.90909088f (one step out) = 110.0000076 in float, truncated to 110.
    {"OneStepOut", 0x00000064, FloatFromBits(0x3F68BA2E), {110, 0}},
    // Division by an exact zero is not done; the IEEE answer, saturated, is given.
    {"ZoomZeroPositiveSaturatesUp", 0x00000005, 0.0f, {kMax, 0}},
    {"ZoomZeroNegativeSaturatesDown", 0xFFF60000, 0.0f, {0, kMin}},
    {"ZoomNegativeZeroFlipsTheSign", 0xFFF60005, -0.0f, {kMin, kMax}},
    {"ZoomInfinityGivesZero", 0xFFF60005, kInf, {0, 0}},
    {"TinyZoomSaturates", 0x80007FFF, 1e-30f, {kMax, kMin}},
    {"ZoomNaNGivesZero", 0x00050005, std::numeric_limits<float>::quiet_NaN(), {0, 0}},
};

class PanePointTable : public testing::TestWithParam<PaneCase> {};

TEST_P(PanePointTable, ConvertsToCanvasPixels)
{
    const PaneCase& c = GetParam();
    EXPECT_EQ(PanePointFromLParam(c.lParam, c.zoom), c.canvas);
}

INSTANTIATE_TEST_SUITE_P(Worked, PanePointTable, testing::ValuesIn(kPaneCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ApplyWheelZoom, DividesOnlyForAWholePositiveStep)
{
    struct Case {
        uint32_t wParam;
        float zoom;
        uint32_t bits;  // expected float, rounded by hand from the exact quotient or product
    };
    const Case cases[] = {
        {0x00780000, 1.0f, 0x3F68BA2E},  // +120: 1 / 1.10000002384 = 0.90909088 (0x3F68BA2E)
        {0x00F00000, 1.0f, 0x3F68BA2E},  // +240: quotient 2, still one division
        {0x00780000, 2.0f, 0x3FE8BA2E},  // 2 / 1.1f
        {0xFF880000, 1.0f, 0x3F8CCCCD},  // -120 multiplies: 1.1f itself
        {0x003C0000, 1.0f, 0x3F8CCCCD},  // +60: quotient 0 multiplies too
        {0x00770000, 1.0f, 0x3F8CCCCD},  // +119
        {0xFFFF0000, 1.0f, 0x3F8CCCCD},  // -1
        {0x0078FFFF, 1.0f, 0x3F68BA2E},  // the low word is not part of the delta
        {0xFF880000, 1.1f, 0x3F9AE148},  // 1.1f * 1.1f = 1.21000004 (0x3F9AE148)
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::bit_cast<uint32_t>(ApplyWheelZoom(c.zoom, c.wParam)), c.bits)
            << std::hex << c.wParam;
}

TEST(ApplyWheelZoom, StopsAtTheEndsOfTheNormalFloatsAndIsPlainArithmeticBefore)
{
    // From 1, 930 steps in reach 3.1275618e38 (0x7F6B4AA6), whose product with 1.1f
    // overflows; 916 steps out reach 1.2142041e-38 (0x00843712), whose quotient would be
    // subnormal (below 2^-126). Counted outside this code, in Python, one rounding a step.
    struct Case {
        uint32_t wParam;
        int steps;
        uint32_t end;
    };
    const Case cases[] = {{0xFF880000, 930, 0x7F6B4AA6}, {0x00780000, 916, 0x00843712}};
    for (const Case& c : cases) {
        float zoom = 1.0f;
        float plain = 1.0f;
        for (int notch = 0; notch < c.steps; ++notch) {
            plain = c.wParam == 0x00780000 ? plain / 1.1f : plain * 1.1f;
            zoom = ApplyWheelZoom(zoom, c.wParam);
            ASSERT_EQ(std::bit_cast<uint32_t>(zoom), std::bit_cast<uint32_t>(plain)) << notch;
        }
        EXPECT_EQ(std::bit_cast<uint32_t>(zoom), c.end);
        for (int notch = 0; notch < 100; ++notch)
            EXPECT_EQ(std::bit_cast<uint32_t>(ApplyWheelZoom(zoom, c.wParam)), c.end);
        // The other way is taken as usual.
        const uint32_t back = c.wParam == 0x00780000 ? 0xFF880000 : 0x00780000;
        EXPECT_NE(std::bit_cast<uint32_t>(ApplyWheelZoom(zoom, back)), c.end);
        EXPECT_TRUE(std::isnormal(ApplyWheelZoom(zoom, back)));
    }
    // The positions still convert at both ends: 1 / 1.2e-38 saturates, 1 / 3.1e38 is 0.
    EXPECT_EQ(PanePointFromLParam(0xFFFF0001, FloatFromBits(0x00843712)), (Point{kMax, kMin}));
    EXPECT_EQ(PanePointFromLParam(0xFFFF0001, FloatFromBits(0x7F6B4AA6)), (Point{0, 0}));
    // A zoom that is already no normal float is left as it is.
    EXPECT_EQ(ApplyWheelZoom(0.0f, 0x00780000), 0.0f);
    EXPECT_EQ(ApplyWheelZoom(0.0f, 0xFF880000), 0.0f);
    EXPECT_TRUE(std::isinf(ApplyWheelZoom(kInf, 0x00780000)));
}

// ---- Strokes.

TEST(BeginStroke, StartsAOnePointCurveInTheActiveFamilyUnlessBusy)
{
    struct Case {
        InteractionMode before;
        CurveFamily family;
        bool starts;
    };
    const Case cases[] = {
        {InteractionMode::Idle, CurveFamily::Columns, true},
        {InteractionMode::Idle, CurveFamily::Rows, true},
        {InteractionMode::Selecting, CurveFamily::Columns, true},
        {InteractionMode::SplitterDrag, CurveFamily::Rows, true},
        {InteractionMode::Stroke, CurveFamily::Columns, false},
        {InteractionMode::NodeDrag, CurveFamily::Rows, false},
    };
    for (const Case& c : cases) {
        MeshEditState e;
        e.interactionMode = c.before;
        e.activeFamily = c.family;
        e.columnCurves = {Curve{{1, 1}, {2, 2}}};
        BeginStroke(e, Point{-4, 7});
        const CurveSet& target = c.family == CurveFamily::Columns ? e.columnCurves : e.rowCurves;
        const size_t before = c.family == CurveFamily::Columns ? 1 : 0;
        if (c.starts) {
            EXPECT_EQ(e.interactionMode, InteractionMode::Stroke);
            ASSERT_EQ(target.size(), before + 1);
            EXPECT_EQ(target.back(), (Curve{{-4, 7}}));
        } else {
            EXPECT_EQ(e.interactionMode, c.before);
            EXPECT_EQ(target.size(), before);
        }
    }
}

TEST(EndStroke, AClickWithoutMovementLeavesAOnePointCurve)
{
    MeshEditState e;
    e.activeFamily = CurveFamily::Rows;
    BeginStroke(e, Point{5, 6});
    EXPECT_TRUE(EndStroke(e));
    EXPECT_EQ(e.interactionMode, InteractionMode::Idle);
    ASSERT_EQ(e.rowCurves.size(), 1u);
    EXPECT_EQ(e.rowCurves[0], (Curve{{5, 6}}));
    ASSERT_EQ(e.nodeGrid.size(), 1u);  // one row, no column
    EXPECT_TRUE(e.nodeGrid[0].empty());
}

TEST(ExtendStroke, TheFirstTwoMovesAlwaysAppend)
{
    MeshEditState e;
    BeginStroke(e, Point{0, 0});
    EXPECT_TRUE(ExtendStroke(e, Point{0, 0}));
    EXPECT_TRUE(ExtendStroke(e, Point{1, 0}));
    EXPECT_EQ(e.columnCurves.back(), (Curve{{0, 0}, {0, 0}, {1, 0}}));
}

TEST(ExtendStroke, ThinsWithinFivePixelsOfTheSecondToLastPoint)
{
    struct Case {
        Point move;
        bool appends;  // distance from (10, 0), the second-to-last point
    };
    const Case cases[] = {
        {{15, 0}, true},    // exactly 5
        {{13, 4}, true},    // (3, 4): exactly 5
        {{6, -3}, true},    // (-4, -3): exactly 5
        {{14, 2}, false},   // sqrt(20) = 4.47
        {{13, -3}, false},  // sqrt(18) = 4.24
        {{10, 0}, false},   // on it
        {{10, -5}, true},  {{10, -4}, false},
    };
    for (const Case& c : cases) {
        MeshEditState e;
        e.interactionMode = InteractionMode::Stroke;
        e.columnCurves = {Curve{{0, 0}, {10, 0}, {12, 0}}};
        EXPECT_TRUE(ExtendStroke(e, c.move));
        const Curve want =
            c.appends ? Curve{{0, 0}, {10, 0}, {12, 0}, c.move} : Curve{{0, 0}, {10, 0}, c.move};
        EXPECT_EQ(e.columnCurves[0], want) << c.move.x << "," << c.move.y;
    }
}

TEST(ExtendStroke, DoesNothingOutsideAStroke)
{
    for (InteractionMode mode : {InteractionMode::Idle, InteractionMode::NodeDrag,
                                 InteractionMode::Selecting, InteractionMode::SplitterDrag}) {
        MeshEditState e;
        e.interactionMode = mode;
        e.columnCurves = {Curve{{0, 0}}};
        EXPECT_FALSE(ExtendStroke(e, Point{50, 50}));
        EXPECT_EQ(e.columnCurves[0].size(), 1u);
    }
}

TEST(ExtendStroke, StaysInTheFamilyTheStrokeBeganInAndAddsNothingToAnEmptyOne)
{
    MeshEditState e;
    e.rowCurves = {Curve{{100, 100}}};
    BeginStroke(e, Point{0, 0});
    e.activeFamily = CurveFamily::Rows;  // 'T' during the stroke
    EXPECT_TRUE(ExtendStroke(e, Point{1, 1}));
    EXPECT_EQ(e.columnCurves[0], (Curve{{0, 0}, {1, 1}}));
    EXPECT_EQ(e.rowCurves[0], (Curve{{100, 100}}));
    // The key counts from the next stroke on.
    EXPECT_TRUE(EndStroke(e));
    BeginStroke(e, Point{7, 7});
    ExtendStroke(e, Point{30, 8});
    EXPECT_EQ(e.rowCurves.back(), (Curve{{7, 7}, {30, 8}}));
    EXPECT_EQ(e.columnCurves.size(), 1u);

    e.rowCurves.clear();
    EXPECT_FALSE(ExtendStroke(e, Point{2, 2}));
    EXPECT_TRUE(e.rowCurves.empty());
    EXPECT_EQ(e.columnCurves[0], (Curve{{0, 0}, {1, 1}}));
}

TEST(EndStroke, IsSafeAfterTheMeshWasClearedDuringTheStroke)
{
    MeshEditState e;
    e.columnCurves = {Curve{{10, 0}, {10, 100}}};
    e.rowCurves = {Curve{{0, 10}, {100, 10}}};
    BeginStroke(e, Point{50, 0});
    ExtendStroke(e, Point{50, 50});
    ClearMesh(e);
    EXPECT_FALSE(ExtendStroke(e, Point{50, 60}));
    EXPECT_TRUE(EndStroke(e));
    EXPECT_EQ(e.interactionMode, InteractionMode::Idle);
    EXPECT_TRUE(e.columnCurves.empty());
    EXPECT_TRUE(e.rowCurves.empty());
    EXPECT_TRUE(e.nodeGrid.empty());
}

TEST(EndStroke, DoesNothingOutsideAStroke)
{
    MeshEditState e;
    e.interactionMode = InteractionMode::NodeDrag;
    e.columnCurves = {Curve{{10, 0}, {10, 100}}, Curve{{0, 50}, {100, 50}}};
    EXPECT_FALSE(EndStroke(e));
    EXPECT_EQ(e.interactionMode, InteractionMode::NodeDrag);
    EXPECT_EQ(e.columnCurves.size(), 2u);
    EXPECT_TRUE(e.nodeGrid.empty());
}

// The stroke is drawn point by point through the operations; the mesh before it is given.
struct ReclassifyCase {
    const char* name;
    CurveFamily family;
    CurveSet columns;
    CurveSet rows;
    Curve stroke;
    size_t columnsAfter;
    size_t rowsAfter;
    bool strokeIsARowAfter;  // the stroke's points found among the row curves
};

const Curve kColumnAt10{{10, 0}, {10, 100}};
const Curve kRowAt30{{0, 30}, {100, 30}};
const Curve kRowAt70{{0, 70}, {100, 70}};

// clang-format off
const ReclassifyCase kReclassifyCases[] = {
    // Segment 1 crosses the column x = 10 first: the stroke becomes a row curve.
    {"CrossingAColumnFirstMakesARow", CurveFamily::Columns, {kColumnAt10}, {kRowAt30, kRowAt70},
     Curve{{0, 50}, {50, 50}, {50, 0}}, 1, 3, true},
    // Segment 1 crosses row y = 30 (not the last row) first: it stays a column, although
    // segment 2 then crosses the column x = 10.
    {"CrossingOnlyRowsFirstKeepsAColumn", CurveFamily::Columns, {kColumnAt10},
     {kRowAt30, kRowAt70}, Curve{{50, 0}, {50, 50}, {0, 50}}, 2, 2, false},
    // With one row curve the row crossing is never tested, so segment 2 decides.
    {"TheOnlyRowNeverStopsIt", CurveFamily::Columns, {kColumnAt10}, {kRowAt30},
     Curve{{50, 0}, {50, 50}, {0, 50}}, 1, 2, true},
    // The only column curve is never moved, whatever it crosses.
    {"TheOnlyColumnIsNeverMoved", CurveFamily::Columns, {}, {kRowAt30, kRowAt70},
     Curve{{50, 0}, {50, 100}}, 1, 2, false},
    {"CrossingNothingMovesNothing", CurveFamily::Columns, {kColumnAt10}, {kRowAt30, kRowAt70},
     Curve{{50, 40}, {60, 60}}, 2, 2, false},
    // A single point has no segment to test.
    {"AClickIsNotTested", CurveFamily::Columns, {kColumnAt10}, {kRowAt30}, Curve{{10, 30}}, 2, 1,
     false},
    // Touching the column's end point counts as crossing it.
    {"TouchingAnEndPointCounts", CurveFamily::Columns, {kColumnAt10}, {kRowAt30, kRowAt70},
     Curve{{0, 100}, {10, 100}}, 1, 3, true},
    // A row stroke is never moved; the last column curve, which crosses the first column
    // curve, is, although it was drawn long before.
    {"ARowStrokeChecksTheLastColumnCurve", CurveFamily::Rows,
     {kColumnAt10, Curve{{0, 90}, {100, 90}}}, {kRowAt30}, Curve{{40, 20}, {60, 20}}, 1, 3, true},
};
// clang-format on

class ReclassificationTable : public testing::TestWithParam<ReclassifyCase> {};

TEST_P(ReclassificationTable, TheFirstSegmentThatCrossesDecides)
{
    const ReclassifyCase& c = GetParam();
    MeshEditState e;
    e.activeFamily = c.family;
    e.columnCurves = c.columns;
    e.rowCurves = c.rows;
    BeginStroke(e, c.stroke[0]);
    for (size_t i = 1; i < c.stroke.size(); ++i)
        ExtendStroke(e, c.stroke[i]);
    EXPECT_TRUE(EndStroke(e));
    EXPECT_EQ(e.columnCurves.size(), c.columnsAfter);
    EXPECT_EQ(e.rowCurves.size(), c.rowsAfter);
    if (c.family == CurveFamily::Columns) {
        const CurveSet& home = c.strokeIsARowAfter ? e.rowCurves : e.columnCurves;
        EXPECT_EQ(std::count(home.begin(), home.end(), c.stroke), 1) << c.name;
    }
    // Whatever moved, the grid matches the sets again.
    EXPECT_TRUE(GridHasShape(e.nodeGrid, e.rowCurves.size(), e.columnCurves.size()));
}

INSTANTIATE_TEST_SUITE_P(Worked, ReclassificationTable, testing::ValuesIn(kReclassifyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EndStroke, SortsTheColumnsAlongTheFirstRowCurve)
{
    MeshEditState e;
    e.rowCurves = {Curve{{0, 50}, {50, 50}, {100, 50}}};
    e.columnCurves = {Curve{{80, 0}, {80, 100}}};
    // Drawn second but crossing the row's first segment: it becomes column 0.
    BeginStroke(e, Point{20, 0});
    ExtendStroke(e, Point{20, 100});
    EndStroke(e);
    ASSERT_EQ(e.columnCurves.size(), 2u);
    EXPECT_EQ(e.columnCurves[0], (Curve{{20, 0}, {20, 100}}));
    EXPECT_EQ(e.nodeGrid, (NodeGrid{NodeRow{{1, 1, 20, 50}, {1, 2, 80, 50}}}));
}

TEST(StrokeCrossesCurves, SkipsTheSetsLastCurveAndCurvesWithoutSegments)
{
    const Curve stroke{{0, 50}, {100, 50}};
    const Curve crossing{{50, 0}, {50, 100}};
    const Curve apart{{0, 0}, {100, 0}};
    EXPECT_FALSE(StrokeCrossesCurves(stroke, {crossing}, 1));  // fewer than two curves
    EXPECT_FALSE(StrokeCrossesCurves(stroke, {apart, crossing}, 1));
    EXPECT_TRUE(StrokeCrossesCurves(stroke, {crossing, apart}, 1));
    EXPECT_FALSE(StrokeCrossesCurves(stroke, {Curve{}, Curve{{50, 50}}, crossing}, 1));
    EXPECT_TRUE(StrokeCrossesCurves(stroke, {Curve{}, Curve{{50, 50}}, crossing, apart}, 1));
    // Collinear overlap never crosses.
    EXPECT_FALSE(StrokeCrossesCurves(stroke, {Curve{{20, 50}, {80, 50}}, apart}, 1));
    // Segment indices outside the stroke test nothing.
    EXPECT_FALSE(StrokeCrossesCurves(stroke, {crossing, apart}, 0));
    EXPECT_FALSE(StrokeCrossesCurves(stroke, {crossing, apart}, 2));
    EXPECT_FALSE(StrokeCrossesCurves(Curve{}, {crossing, apart}, 1));
}

TEST(StrokeCrossesCurves, IsExactAtTheEndsOfTheInt32Range)
{
    const Curve stroke{{kMin, kMin}, {kMax, kMax}};
    const Curve other{{kMin, kMax}, {kMax, kMin}};          // meets the stroke at (-1, -1)
    const Curve apart{{kMin, kMin + 1}, {kMax - 1, kMax}};  // parallel, one pixel up
    EXPECT_TRUE(StrokeCrossesCurves(stroke, {other, apart}, 1));
    EXPECT_FALSE(StrokeCrossesCurves(stroke, {apart, other}, 1));
}

// ---- Right button: deletion and node pick.

TEST(DeleteCurveAt, HitsTheLabelSpotEightPixelsRightAndBelowTheFirstPoint)
{
    struct Case {
        Point click;
        bool deletes;  // distance from the spot (108, 108)
    };
    const Case cases[] = {
        {{100, 100}, false},  // the first point itself: sqrt(128) = 11.3
        {{108, 108}, true},   // the spot
        {{101, 101}, true},   // sqrt(98) = 9.9
        {{100, 108}, true},   // 8
        {{98, 108}, false},   // exactly 10
        {{118, 108}, false},  // exactly 10
        {{114, 116}, false},  // (6, 8): exactly 10
        {{113, 116}, true},   // (5, 8): 9.43
    };
    for (const Case& c : cases) {
        CurveSet set{Curve{{100, 100}, {150, 150}}};
        EXPECT_EQ(DeleteCurveAt(set, c.click), c.deletes) << c.click.x << "," << c.click.y;
        EXPECT_EQ(set.size(), c.deletes ? 0u : 1u);
    }
}

TEST(DeleteCurveAt, RemovesOnlyTheEarliestCurveInReachAndPassesOverEmptyOnes)
{
    CurveSet set{Curve{}, Curve{{0, 0}, {1, 1}}, Curve{{100, 100}, {2, 2}},
                 Curve{{100, 100}, {3, 3}}, Curve{{0, 0}, {4, 4}}};
    EXPECT_TRUE(DeleteCurveAt(set, Point{108, 108}));
    EXPECT_EQ(set, (CurveSet{Curve{}, Curve{{0, 0}, {1, 1}}, Curve{{100, 100}, {3, 3}},
                             Curve{{0, 0}, {4, 4}}}));
    CurveSet none;
    EXPECT_FALSE(DeleteCurveAt(none, Point{8, 8}));
    CurveSet onlyEmpty{Curve{}};
    EXPECT_FALSE(DeleteCurveAt(onlyEmpty, Point{8, 8}));
    // Far-out points neither overflow nor hit.
    CurveSet far{Curve{{kMin, kMin}}, Curve{{kMax, kMax}}};
    EXPECT_FALSE(DeleteCurveAt(far, Point{kMax, kMax}));
    EXPECT_TRUE(DeleteCurveAt(far, Point{kMin + 8, kMin + 8}));
    EXPECT_EQ(far, (CurveSet{Curve{{kMax, kMax}}}));
}

TEST(RightButtonDown, IsIgnoredDuringAStrokeOrANodeDrag)
{
    for (InteractionMode mode : {InteractionMode::Stroke, InteractionMode::NodeDrag}) {
        MeshEditState e;
        e.interactionMode = mode;
        e.columnCurves = {Curve{{100, 100}}};
        EXPECT_EQ(RightButtonDown(e, Point{108, 108}), RightPressResult::Ignored);
        EXPECT_EQ(e.columnCurves.size(), 1u);
        EXPECT_EQ(e.pressPoint, (Point{-1, 0}));
        EXPECT_EQ(e.interactionMode, mode);
    }
}

TEST(RightButtonDown, DeletesAColumnCurveBeforeARowCurveAndRebuildsTheGrid)
{
    MeshEditState e;
    // Columns deliberately out of order: the deletion does not sort them.
    e.columnCurves = {Curve{{80, 0}, {80, 100}}, Curve{{20, 0}, {20, 100}},
                      Curve{{0, 0}, {0, 100}}};
    e.rowCurves = {Curve{{0, 0}, {100, 0}}};
    RecomputeNodeGrid(e.columnCurves, e.rowCurves, e.nodeGrid);
    EXPECT_EQ(RightButtonDown(e, Point{8, 8}), RightPressResult::CurveDeleted);
    EXPECT_EQ(e.pressPoint, (Point{8, 8}));
    EXPECT_EQ(e.interactionMode, InteractionMode::Idle);
    EXPECT_EQ(e.columnCurves, (CurveSet{Curve{{80, 0}, {80, 100}}, Curve{{20, 0}, {20, 100}}}));
    EXPECT_EQ(e.rowCurves.size(), 1u);
    EXPECT_EQ(e.nodeGrid, (NodeGrid{NodeRow{{1, 1, 80, 0}, {1, 1, 20, 0}}}));
    // Now only the row's spot is in reach.
    EXPECT_EQ(RightButtonDown(e, Point{8, 8}), RightPressResult::CurveDeleted);
    EXPECT_TRUE(e.rowCurves.empty());
    EXPECT_TRUE(e.nodeGrid.empty());
}

// A mesh of three vertical column curves (x = 0, 50, 100) and three horizontal row curves
// (y = 0, 50, 100), each with a point every 10 pixels. Curves cross at their points, so node
// (r, c) sits at (50c, 50r) and its indices are those of the segments ending there (the
// first segment where a curve starts there).
MeshEditState Mesh3x3()
{
    MeshEditState e;
    for (int32_t at : {0, 50, 100}) {
        Curve column;
        Curve row;
        for (int32_t k = 0; k <= 10; ++k) {
            column.push_back(Point{at, 10 * k});
            row.push_back(Point{10 * k, at});
        }
        e.columnCurves.push_back(column);
        e.rowCurves.push_back(row);
    }
    RecomputeNodeGrid(e.columnCurves, e.rowCurves, e.nodeGrid);
    return e;
}

TEST(Mesh3x3, HasTheNodesItsTestsRelyOn)
{
    const MeshEditState e = Mesh3x3();
    EXPECT_EQ(e.nodeGrid[0][0], (MeshNode{1, 1, 0, 0}));
    EXPECT_EQ(e.nodeGrid[0][1], (MeshNode{1, 5, 50, 0}));
    EXPECT_EQ(e.nodeGrid[1][0], (MeshNode{5, 1, 0, 50}));
    EXPECT_EQ(e.nodeGrid[1][1], (MeshNode{5, 5, 50, 50}));
    EXPECT_EQ(e.nodeGrid[1][2], (MeshNode{5, 10, 100, 50}));
    EXPECT_EQ(e.nodeGrid[2][1], (MeshNode{10, 5, 50, 100}));
}

TEST(RightButtonDown, PicksTheLastNodeInReachRowByRow)
{
    struct Case {
        Point click;
        bool picks;
        int32_t row, column;
    };
    // Label spots of the mesh are at (8, 8), (58, 8), (108, 8), (8, 58), (8, 108): clicks
    // stay out of their reach.
    const Case cases[] = {
        {{50, 53}, true, 1, 1},   // only (50, 50) in reach
        {{50, 60}, false, 0, 0},  // exactly 10 from (50, 50)
        {{75, 75}, false, 0, 0},  // nowhere near
    };
    for (const Case& c : cases) {
        MeshEditState e = Mesh3x3();
        EXPECT_EQ(RightButtonDown(e, c.click), RightPressResult::Pressed);
        EXPECT_EQ(e.pressPoint, c.click);
        EXPECT_EQ(e.interactionMode, c.picks ? InteractionMode::NodeDrag : InteractionMode::Idle);
        if (c.picks) {
            EXPECT_EQ(e.dragRow, c.row);
            EXPECT_EQ(e.dragColumn, c.column);
        }
    }
    // Nodes brought close together: of (50, 50) at row 1 and (53, 50) at row 0 the later row
    // wins although its column is earlier; of (50, 50) and (56, 50) in row 1 the later column.
    MeshEditState e = Mesh3x3();
    e.nodeGrid[0][2] = MeshNode{1, 10, 53, 50};
    RightButtonDown(e, Point{52, 51});
    EXPECT_EQ(e.dragRow, 1);
    EXPECT_EQ(e.dragColumn, 1);
    e = Mesh3x3();
    e.nodeGrid[1][2] = MeshNode{5, 10, 56, 50};
    RightButtonDown(e, Point{52, 51});
    EXPECT_EQ(e.dragRow, 1);
    EXPECT_EQ(e.dragColumn, 2);
}

TEST(RightButtonDown, PicksNoNodeFromAGridOfTheWrongShape)
{
    MeshEditState e = Mesh3x3();
    e.nodeGrid[2].pop_back();
    EXPECT_EQ(RightButtonDown(e, Point{50, 50}), RightPressResult::Pressed);
    EXPECT_EQ(e.interactionMode, InteractionMode::Idle);
}

// ---- Node drag.

TEST(MoveNode, BendsAllFourStretchesAsATent)
{
    MeshEditState e = Mesh3x3();
    e.dragRow = 1;
    e.dragColumn = 1;
    MoveNode(e, 60, 70);  // dx = 10, dy = 20
    // Toward the previous neighbour (index 1) k = 1..5 get (k - 1) * d / 4:
    // (2.5 -> 2, 5), (5, 10), (7.5 -> 7, 15), (10, 20); toward the next (index 10) k = 6..9
    // get (10 - k) * d / 5: (8, 16), (6, 12), (4, 8), (2, 4).
    // clang-format off
    EXPECT_EQ(e.rowCurves[1],
              (Curve{{0, 50}, {10, 50}, {22, 55}, {35, 60}, {47, 65}, {60, 70}, {68, 66},
                     {76, 62}, {84, 58}, {92, 54}, {100, 50}}));
    EXPECT_EQ(e.columnCurves[1],
              (Curve{{50, 0}, {50, 10}, {52, 25}, {55, 40}, {57, 55}, {60, 70}, {58, 76},
                     {56, 82}, {54, 88}, {52, 94}, {50, 100}}));
    // clang-format on
    EXPECT_EQ(e.nodeGrid[1][1], (MeshNode{5, 5, 60, 70}));
    const MeshEditState untouched = Mesh3x3();
    for (size_t t : {0u, 2u}) {
        EXPECT_EQ(e.rowCurves[t], untouched.rowCurves[t]);
        EXPECT_EQ(e.columnCurves[t], untouched.columnCurves[t]);
    }
    for (size_t r = 0; r < 3; ++r)
        for (size_t c = 0; c < 3; ++c) {
            if (r != 1 || c != 1) {
                EXPECT_EQ(e.nodeGrid[r][c], untouched.nodeGrid[r][c]);
            }
        }
}

TEST(MoveNode, TruncatesNegativeSharesTowardZero)
{
    MeshEditState e = Mesh3x3();
    e.dragRow = 1;
    e.dragColumn = 1;
    MoveNode(e, 41, 50);  // dx = -9
    // -2.25 -> -2, -4.5 -> -4, -6.75 -> -6, -9; then -7.2 -> -7, -5.4 -> -5, -3.6 -> -3,
    // -1.8 -> -1.
    // clang-format off
    EXPECT_EQ(e.rowCurves[1],
              (Curve{{0, 50}, {10, 50}, {18, 50}, {26, 50}, {34, 50}, {41, 50}, {53, 50},
                     {65, 50}, {77, 50}, {89, 50}, {100, 50}}));
    // clang-format on
}

TEST(MoveNode, TheFirstNodeBendsOnlyTowardItsNextNeighboursAndKeepsItsOwnPoints)
{
    MeshEditState e = Mesh3x3();
    e.dragRow = 0;
    e.dragColumn = 0;
    MoveNode(e, 8, 4);
    // Own index 1 on both curves, next neighbours at index 5: k = 2..4 get (5 - k) * d / 4.
    // clang-format off
    EXPECT_EQ(e.rowCurves[0],
              (Curve{{0, 0}, {10, 0}, {26, 3}, {34, 2}, {42, 1}, {50, 0}, {60, 0}, {70, 0},
                     {80, 0}, {90, 0}, {100, 0}}));
    EXPECT_EQ(e.columnCurves[0],
              (Curve{{0, 0}, {0, 10}, {6, 23}, {4, 32}, {2, 41}, {0, 50}, {0, 60}, {0, 70},
                     {0, 80}, {0, 90}, {0, 100}}));
    // clang-format on
    EXPECT_EQ(e.nodeGrid[0][0], (MeshNode{1, 1, 8, 4}));
}

TEST(RightButtonUp, ReleasingAtTheNodeItselfChangesNothing)
{
    MeshEditState e = Mesh3x3();
    ASSERT_EQ(RightButtonDown(e, Point{47, 46}), RightPressResult::Pressed);
    ASSERT_EQ(e.interactionMode, InteractionMode::NodeDrag);
    const MeshEditState before = e;
    EXPECT_TRUE(RightButtonUp(e, Point{50, 50}));
    EXPECT_EQ(e.interactionMode, InteractionMode::Idle);
    EXPECT_EQ(e.columnCurves, before.columnCurves);
    EXPECT_EQ(e.rowCurves, before.rowCurves);
    EXPECT_EQ(e.nodeGrid, before.nodeGrid);
}

TEST(RightButtonUp, AReleaseWithoutMovingStillMovesTheNodeToThatSpot)
{
    MeshEditState e = Mesh3x3();
    RightButtonDown(e, Point{53, 52});
    EXPECT_TRUE(RightButtonUp(e, Point{53, 52}));
    EXPECT_EQ(e.nodeGrid[1][1], (MeshNode{5, 5, 53, 52}));
    // dx = 3, dy = 2 at the own point; (k - 1) * 3 / 4 at k = 4 is 2, (k - 1) * 2 / 4 is 1.
    EXPECT_EQ(e.rowCurves[1][5], (Point{53, 52}));
    EXPECT_EQ(e.rowCurves[1][4], (Point{42, 51}));
    EXPECT_EQ(e.columnCurves[1][5], (Point{53, 52}));
}

TEST(RightButtonUp, DoesNothingOutsideANodeDrag)
{
    MeshEditState e = Mesh3x3();
    e.interactionMode = InteractionMode::Stroke;
    const MeshEditState before = e;
    EXPECT_FALSE(RightButtonUp(e, Point{60, 60}));
    EXPECT_EQ(e.interactionMode, InteractionMode::Stroke);
    EXPECT_EQ(e.rowCurves, before.rowCurves);
    EXPECT_EQ(e.nodeGrid, before.nodeGrid);
}

TEST(RightButtonUp, EndsADragWhoseNodeIsGoneWithoutMovingAnything)
{
    struct Case {
        const char* name;
        void (*change)(MeshEditState&);
    };
    const Case cases[] = {
        {"mesh cleared", [](MeshEditState& e) { ClearMesh(e); }},
        {"row index past the rows", [](MeshEditState& e) { e.dragRow = 3; }},
        {"negative column", [](MeshEditState& e) { e.dragColumn = -1; }},
        {"grid row missing", [](MeshEditState& e) { e.nodeGrid.pop_back(); }},
        {"next neighbour missing", [](MeshEditState& e) { e.nodeGrid[1].pop_back(); }},
        {"lower neighbour's row short", [](MeshEditState& e) { e.nodeGrid[2].resize(1); }},
    };
    for (const Case& c : cases) {
        MeshEditState e = Mesh3x3();
        RightButtonDown(e, Point{50, 50});
        ASSERT_EQ(e.interactionMode, InteractionMode::NodeDrag);
        c.change(e);
        const MeshEditState before = e;
        EXPECT_TRUE(RightButtonUp(e, Point{70, 70})) << c.name;
        EXPECT_EQ(e.interactionMode, InteractionMode::Idle) << c.name;
        EXPECT_EQ(e.columnCurves, before.columnCurves) << c.name;
        EXPECT_EQ(e.rowCurves, before.rowCurves) << c.name;
        EXPECT_EQ(e.nodeGrid, before.nodeGrid) << c.name;
    }
}

// A command or a lost capture ends what is under way as the release at the last position
// would: the state afterwards is the one that release leaves.
TEST(EndStrokeOrNodeDrag, EndsAsTheReleaseAtTheLastPositionWould)
{
    struct Case {
        const char* name;
        void (*start)(MeshEditState&);    // the press and moves
        void (*release)(MeshEditState&);  // the release it stands for
    };
    const Case cases[] = {
        {"stroke across the columns",
         [](MeshEditState& e) {
             BeginStroke(e, Point{0, 30});
             ExtendStroke(e, Point{100, 30});
         },
         [](MeshEditState& e) { EndStroke(e); }},
        {"node drag without a move",
         [](MeshEditState& e) {
             RightButtonDown(e, Point{53, 52});
         },
         [](MeshEditState& e) {
             RightButtonUp(e, Point{53, 52});
         }},
        {"node drag after moves",
         [](MeshEditState& e) {
             RightButtonDown(e, Point{47, 46});
             TrackNodeDrag(e, Point{90, -20});
             TrackNodeDrag(e, Point{44, 58});
         },
         [](MeshEditState& e) {
             RightButtonUp(e, Point{44, 58});
         }},
    };
    for (const Case& c : cases) {
        MeshEditState ended = Mesh3x3();
        c.start(ended);
        ASSERT_NE(ended.interactionMode, InteractionMode::Idle) << c.name;
        MeshEditState released = ended;
        EXPECT_TRUE(EndStrokeOrNodeDrag(ended)) << c.name;
        c.release(released);
        EXPECT_EQ(ended.interactionMode, InteractionMode::Idle) << c.name;
        EXPECT_EQ(ended.columnCurves, released.columnCurves) << c.name;
        EXPECT_EQ(ended.rowCurves, released.rowCurves) << c.name;
        EXPECT_EQ(ended.nodeGrid, released.nodeGrid) << c.name;
        EXPECT_NE(ended.nodeGrid, Mesh3x3().nodeGrid) << c.name;  // something did happen
    }
}

TEST(EndStrokeOrNodeDrag, LeavesEveryOtherModeAlone)
{
    for (InteractionMode mode :
         {InteractionMode::Idle, InteractionMode::Selecting, InteractionMode::SplitterDrag}) {
        MeshEditState e = Mesh3x3();
        e.interactionMode = mode;
        e.lastPointer = {60, 60};
        TrackNodeDrag(e, Point{10, 10});  // no node drag: not remembered either
        EXPECT_FALSE(EndStrokeOrNodeDrag(e));
        EXPECT_EQ(e.interactionMode, mode);
        EXPECT_EQ(e.lastPointer, (Point{60, 60}));
        EXPECT_EQ(e.nodeGrid, Mesh3x3().nodeGrid);
    }
}

TEST(MoveNode, CutsAStretchToThePointsTheCurveHas)
{
    MeshEditState e;
    e.rowCurves = {Curve{{0, 0}, {10, 0}, {20, 0}, {30, 0}}};
    e.columnCurves = {Curve{{0, -5}, {0, 5}}, Curve{{30, -5}, {30, 5}}};
    // A stale node claims row point 6 of a four-point curve.
    e.nodeGrid = {NodeRow{{1, 1, 0, 0}, {1, 6, 30, 0}}};
    e.dragRow = 0;
    e.dragColumn = 1;
    MoveNode(e, 40, 0);
    // k = 1..6 cut to 1..3, each still shifted by (k - 1) * 10 / 5: 0, 2, 4.
    EXPECT_EQ(e.rowCurves[0], (Curve{{0, 0}, {10, 0}, {22, 0}, {34, 0}}));
    EXPECT_EQ(e.columnCurves[1], (Curve{{30, -5}, {30, 5}}));
    EXPECT_EQ(e.nodeGrid[0][1], (MeshNode{1, 6, 40, 0}));
}

TEST(MoveNode, SaturatesHugeDisplacements)
{
    MeshEditState e;
    e.rowCurves = {Curve{{kMax - 5, 0}, {kMax - 5, 0}, {kMax, 0}}};
    e.columnCurves = {Curve{{0, 0}}, Curve{{0, 0}}};
    e.nodeGrid = {NodeRow{{0, 0, 0, 0}, {0, 2, kMin, kMin}}};
    e.dragRow = 0;
    e.dragColumn = 1;
    MoveNode(e, kMax, kMax);
    // d = 2^32 - 1 on both axes; k = 1 gets d / 2 = 2147483647, k = 2 all of d.
    EXPECT_EQ(e.rowCurves[0], (Curve{{kMax - 5, 0}, {kMax, kMax}, {kMax, kMax}}));
    EXPECT_EQ(e.nodeGrid[0][1], (MeshNode{0, 2, kMax, kMax}));

    // Back again, d = -(2^32 - 1): k = 1 gets -2147483647.5 -> -2147483647 and lands on
    // (0, 0); k = 2 gets all of d and saturates at the minimum.
    MoveNode(e, kMin, kMin);
    EXPECT_EQ(e.rowCurves[0], (Curve{{kMax - 5, 0}, {0, 0}, {kMin, kMin}}));
    EXPECT_EQ(e.nodeGrid[0][1], (MeshNode{0, 2, kMin, kMin}));
}

TEST(MoveNode, SurvivesIndicesFromAForeignGrid)
{
    MeshEditState e;
    e.rowCurves = {Curve{{0, 0}, {0, 0}}};
    e.columnCurves = {Curve{{0, 0}}, Curve{{0, 0}}};
    // Neighbour at index -2^31, own index 2^31 - 1: (k - p) * d needs more than 64 bits.
    e.nodeGrid = {NodeRow{{0, kMin, 0, 0}, {0, kMax, kMax, 0}}};
    e.dragRow = 0;
    e.dragColumn = 1;
    MoveNode(e, kMin, 0);  // dx = -(2^32 - 1)
    // k = 0: 2^31 * dx / (2^32 - 1) = -2^31 exactly; k = 1: -(2^31 + 1), saturated.
    EXPECT_EQ(e.rowCurves[0], (Curve{{kMin, 0}, {kMin, 0}}));
}

// ---- What ResultPane keeps between paints.

enum class Op { Begin, Extend, End, RightDown, RightUp, Refine, BandDown, BandMove, BandUp, Clear };

void Apply(MeshEditState& e, Op op, Point p)
{
    switch (op) {
    case Op::Begin: BeginStroke(e, p); break;
    case Op::Extend: ExtendStroke(e, p); break;
    case Op::End: EndStroke(e); break;
    case Op::RightDown: RightButtonDown(e, p); break;
    case Op::RightUp: RightButtonUp(e, p); break;
    case Op::Refine: RefineMesh(e); break;
    case Op::BandDown: BeginRubberBand(e, p); break;
    case Op::BandMove: UpdateRubberBand(e, p); break;
    case Op::BandUp: EndRubberBand(e, p); break;
    case Op::Clear: ClearMesh(e); break;
    }
}

// Besides the images, the kept layers show the grid and the curve counts the warp reads, and
// the selection: whatever changes them outside a stroke must mark the content changed.
TEST(MarkContentChanged, FollowsEveryChangeTheKeptLayersWouldShow)
{
    struct Step {
        const char* what;
        Op op;
        Point p;
        bool marks;
    };
    const Step steps[] = {
        // a stroke changes only what is drawn anew on every paint, until it ends
        {"stroke begins", Op::Begin, {20, 5}, false},
        {"stroke moves", Op::Extend, {30, 95}, false},
        {"stroke ends", Op::End, {}, true},
        {"release outside a stroke", Op::End, {}, false},
        {"right press on nothing", Op::RightDown, {500, 500}, false},
        {"node picked", Op::RightDown, {50, 50}, false},
        {"node dropped", Op::RightUp, {55, 52}, true},
        {"release without a drag", Op::RightUp, {0, 0}, false},
        {"curve deleted at its label spot", Op::RightDown, {8, 8}, true},
        {"refined", Op::Refine, {}, true},
        {"rubber band pressed", Op::BandDown, {3, 4}, true},
        {"rubber band moved", Op::BandMove, {40, 30}, true},
        {"rubber band released", Op::BandUp, {41, 30}, true},
        {"cleared", Op::Clear, {}, true},
    };
    auto inputs = [](const MeshEditState& e) {
        return std::tuple(e.nodeGrid, e.columnCurves.size(), e.rowCurves.size(), e.sourceSelection);
    };
    MeshEditState e = Mesh3x3();
    e.sourceSelection = SelectionRect{0, 0, 10, 10};
    for (const Step& step : steps) {
        const auto before = inputs(e);
        const uint64_t version = e.contentVersion;
        Apply(e, step.op, step.p);
        EXPECT_EQ(e.contentVersion != version, step.marks) << step.what;
        if (e.interactionMode != InteractionMode::Stroke && inputs(e) != before) {
            EXPECT_NE(e.contentVersion, version) << step.what << " changed them unmarked";
        }
    }
    EXPECT_TRUE(e.columnCurves.empty());
}

}  // namespace
