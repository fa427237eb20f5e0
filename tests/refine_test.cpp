// Tests of mesh refinement (mean curves between neighbours) and of the reset.
#include "mesh/refine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <ostream>
#include <random>

inline void PrintTo(const Point& p, std::ostream* os) { *os << "(" << p.x << ", " << p.y << ")"; }

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

struct MeanCase {
    const char* name;
    Curve a;
    Curve b;
    Curve mean;
};

const MeanCase kMeanCases[] = {
    // a = 4, b = 2: q = 0*2/4, 2/4, 4/4, 6/4 = 0, 0, 1, 1.
    {"PairsByProportionalIndex",
     {{0, 0}, {10, 0}, {20, 0}, {30, 0}},
     {{0, 10}, {30, 10}},
     {{0, 5}, {5, 5}, {25, 5}, {30, 5}}},
    // a = 4, b = 6: q = 0, 1 (1.5), 3, 4 (4.5): the last point pairs with b[4], not b[5].
    {"TheLastPointNeedNotPairWithTheLast",
     {{0, 0}, {0, 0}, {0, 0}, {0, 0}},
     {{0, 0}, {100, 0}, {200, 0}, {300, 0}, {400, 0}, {500, 0}},
     {{0, 0}, {50, 0}, {150, 0}, {200, 0}}},
    // (-3 + 0) / 2 = -1.5 -> -1 and (-3 + 2) / 2 = -0.5 -> 0: truncated toward zero.
    {"MeansTruncateTowardZero", {{-3, -3}}, {{0, 2}}, {{-1, 0}}},
    // Drawn in opposite directions, the pairs meet in the middle: the curve folds.
    {"OppositeDirectionsFold",
     {{0, 0}, {10, 0}, {20, 0}, {30, 0}},
     {{30, 10}, {20, 10}, {10, 10}, {0, 10}},
     {{15, 5}, {15, 5}, {15, 5}, {15, 5}}},
    // The mean takes its point count from the earlier curve: a = 1 pairs with b[0] only.
    {"OnePointTakesTheFirstPoint", {{7, 7}}, {{1, 1}, {100, 100}}, {{4, 4}}},
    // a = 3, b = 2: q = 0, 0 (2/3), 1 (4/3).
    {"MorePointsThanTheNeighbour",
     {{0, 0}, {0, 0}, {0, 0}},
     {{10, 0}, {20, 0}},
     {{5, 0}, {5, 0}, {10, 0}}},
    // The sum needs 33 bits; the mean always fits.
    {"ExtremesMeanWithoutOverflow",
     {{kMax, kMin}, {kMax, kMax}, {kMin, kMin}},
     {{kMax, kMin}, {kMin, kMin}, {kMin, kMax}},
     {{kMax, kMin}, {0, 0}, {kMin, 0}}},
    // A neighbour without points leaves nothing to pair with: the mean is a copy of a.
    {"AnEmptyNeighbourGivesACopy", {{1, 2}, {3, 4}}, {}, {{1, 2}, {3, 4}}},
    // A curve without points gives a mean curve without points.
    {"AnEmptyCurveGivesAnEmptyMean", {}, {{1, 2}}, {}},
};

class MeanCurveTable : public testing::TestWithParam<MeanCase> {};

TEST_P(MeanCurveTable, SitsBetweenTheTwoNeighbours)
{
    const MeanCase& c = GetParam();
    CurveSet set{c.a, c.b};
    InsertMidCurves(set);
    EXPECT_EQ(set, (CurveSet{c.a, c.mean, c.b}));
}

INSTANTIATE_TEST_SUITE_P(Worked, MeanCurveTable, testing::ValuesIn(kMeanCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(InsertMidCurves, LeavesNoneOrOneCurveAsItIs)
{
    CurveSet none;
    InsertMidCurves(none);
    EXPECT_TRUE(none.empty());
    CurveSet one{Curve{{1, 2}, {3, 4}}};
    InsertMidCurves(one);
    EXPECT_EQ(one, (CurveSet{Curve{{1, 2}, {3, 4}}}));
}

TEST(InsertMidCurves, KeepsEveryCurveAtTwiceItsIndexWithAMeanBetween)
{
    std::mt19937_64 rng(21);
    for (int round = 0; round < 200; ++round) {
        CurveSet set(1 + rng() % 8);
        for (Curve& c : set) {
            c.resize(1 + rng() % 20);
            for (Point& pt : c)
                pt = Point{int32_t(uint32_t(rng())), int32_t(uint32_t(rng()))};
        }
        const CurveSet before = set;
        InsertMidCurves(set);
        ASSERT_EQ(set.size(), 2 * before.size() - 1);
        for (size_t i = 0; i < before.size(); ++i)
            ASSERT_EQ(set[2 * i], before[i]);
        for (size_t i = 0; i + 1 < before.size(); ++i) {
            const Curve& a = before[i];
            const Curve& b = before[i + 1];
            const Curve& m = set[2 * i + 1];
            ASSERT_EQ(m.size(), a.size());
            // The ends: point 0 pairs with b's first point, and every point lies within half
            // a pixel of the middle of a's point and some point of b, never past either.
            auto between = [](int32_t v, int32_t e0, int32_t e1) {
                return v >= std::min(e0, e1) && v <= std::max(e0, e1);
            };
            ASSERT_LE(std::llabs(2 * int64_t(m[0].x) - (int64_t(a[0].x) + b[0].x)), 1);
            ASSERT_LE(std::llabs(2 * int64_t(m[0].y) - (int64_t(a[0].y) + b[0].y)), 1);
            for (size_t j = 0; j < m.size(); ++j) {
                bool paired = false;
                for (const Point& pb : b)
                    paired = paired ||
                             (between(m[j].x, a[j].x, pb.x) && between(m[j].y, a[j].y, pb.y) &&
                              std::llabs(2 * int64_t(m[j].x) - (int64_t(a[j].x) + pb.x)) <= 1 &&
                              std::llabs(2 * int64_t(m[j].y) - (int64_t(a[j].y) + pb.y)) <= 1);
                ASSERT_TRUE(paired) << "round " << round << " curve " << i << " point " << j;
            }
        }
    }
}

// Three vertical column curves at x = 0, 40, 80 and two horizontal row curves at y = 0, 80,
// each of two points reaching 10 pixels past the others.
MeshEditState StraightMesh()
{
    MeshEditState e;
    for (int32_t x : {0, 40, 80})
        e.columnCurves.push_back(Curve{{x, -10}, {x, 90}});
    for (int32_t y : {0, 80})
        e.rowCurves.push_back(Curve{{-10, y}, {90, y}});
    RecomputeNodeGrid(e.columnCurves, e.rowCurves, e.nodeGrid);
    return e;
}

TEST(RefineMesh, ThreeColumnsAndTwoRowsBecomeFiveAndThree)
{
    MeshEditState e = StraightMesh();
    EXPECT_TRUE(RefineMesh(e));
    ASSERT_EQ(e.columnCurves.size(), 5u);
    ASSERT_EQ(e.rowCurves.size(), 3u);
    // Mean columns at x = 20 and 60, the mean row at y = 40; every pair crosses on its
    // only segments, so node (r, c) is {1, 1, 20c, 40r}.
    ASSERT_EQ(e.nodeGrid.size(), 3u);
    for (size_t r = 0; r < 3; ++r) {
        ASSERT_EQ(e.nodeGrid[r].size(), 5u);
        for (size_t c = 0; c < 5; ++c)
            EXPECT_EQ(e.nodeGrid[r][c], (MeshNode{1, 1, int32_t(20 * c), int32_t(40 * r)}));
    }
    EXPECT_EQ(e.columnCurves[1], (Curve{{20, -10}, {20, 90}}));
    EXPECT_EQ(e.rowCurves[1], (Curve{{-10, 40}, {90, 40}}));
}

TEST(RefineMesh, LeavesSmallFamiliesAndStillRecomputesTheGrid)
{
    MeshEditState e;
    e.columnCurves = {Curve{{10, 0}, {10, 20}}};
    e.rowCurves = {Curve{{0, 10}, {20, 10}}};
    EXPECT_TRUE(RefineMesh(e));
    EXPECT_EQ(e.columnCurves, (CurveSet{Curve{{10, 0}, {10, 20}}}));
    EXPECT_EQ(e.nodeGrid, (NodeGrid{NodeRow{{1, 1, 10, 10}}}));
    MeshEditState empty;
    EXPECT_TRUE(RefineMesh(empty));
    EXPECT_TRUE(empty.columnCurves.empty());
    EXPECT_TRUE(empty.nodeGrid.empty());
}

TEST(RefineMesh, KeepsWhatAGridPositionHeldWhenItsNewPairDoesNotCross)
{
    MeshEditState e;
    // Everything horizontal: nothing crosses, so no node is ever written.
    e.rowCurves = {Curve{{0, 0}, {100, 0}}};
    e.columnCurves = {Curve{{0, 50}, {100, 50}}, Curve{{0, 70}, {100, 70}}};
    e.nodeGrid = {NodeRow{{1, 2, 3, 4}, {5, 6, 7, 8}}};
    EXPECT_TRUE(RefineMesh(e));
    EXPECT_EQ(e.nodeGrid, (NodeGrid{NodeRow{{1, 2, 3, 4}, {5, 6, 7, 8}, {0, 0, 0, 0}}}));
}

TEST(RefineMesh, ADraggedNodeLandsAtTheSameIndicesOfTheRefinedGrid)
{
    MeshEditState e = StraightMesh();
    ASSERT_EQ(RightButtonDown(e, Point{40, 80}), RightPressResult::Pressed);
    ASSERT_EQ(e.interactionMode, InteractionMode::NodeDrag);
    ASSERT_EQ(e.dragRow, 1);
    ASSERT_EQ(e.dragColumn, 1);
    EXPECT_TRUE(RefineMesh(e));
    EXPECT_EQ(e.dragRow, 1);
    EXPECT_EQ(e.dragColumn, 1);
    EXPECT_TRUE(RightButtonUp(e, Point{25, 40}));
    EXPECT_EQ(e.nodeGrid[1][1], (MeshNode{1, 1, 25, 40}));  // was (20, 40)
    EXPECT_EQ(e.nodeGrid[2][2], (MeshNode{1, 1, 40, 80}));  // the node pressed on
}

TEST(RefineMesh, AStrokeUnderWayStaysTheLastCurveOfItsFamily)
{
    MeshEditState e;
    e.columnCurves = {Curve{{0, 0}, {0, 100}}};
    BeginStroke(e, Point{40, 0});
    ExtendStroke(e, Point{40, 100});
    EXPECT_TRUE(RefineMesh(e));
    ASSERT_EQ(e.columnCurves.size(), 3u);
    EXPECT_EQ(e.columnCurves[1], (Curve{{20, 0}, {20, 100}}));  // from the points drawn so far
    ExtendStroke(e, Point{40, 200});
    EXPECT_EQ(e.columnCurves[2], (Curve{{40, 0}, {40, 100}, {40, 200}}));
    EXPECT_TRUE(EndStroke(e));
    EXPECT_EQ(e.columnCurves.size(), 3u);
}

TEST(ClearMesh, EmptiesTheMeshAndNothingElse)
{
    MeshEditState e = StraightMesh();
    e.interactionMode = InteractionMode::NodeDrag;
    e.activeFamily = CurveFamily::Rows;
    e.sourceSelection = SelectionRect{1, 2, 3, 4};
    e.dragRow = 1;
    e.dragColumn = 2;
    e.pressPoint = Point{9, 9};
    e.canvasWidth = 92;
    e.canvasHeight = 92;
    ClearMesh(e);
    EXPECT_TRUE(e.columnCurves.empty());
    EXPECT_TRUE(e.rowCurves.empty());
    EXPECT_TRUE(e.nodeGrid.empty());
    EXPECT_EQ(e.interactionMode, InteractionMode::NodeDrag);
    EXPECT_EQ(e.activeFamily, CurveFamily::Rows);
    EXPECT_EQ(e.sourceSelection, (SelectionRect{1, 2, 3, 4}));
    EXPECT_EQ(e.dragRow, 1);
    EXPECT_EQ(e.dragColumn, 2);
    EXPECT_EQ(e.pressPoint, (Point{9, 9}));
    EXPECT_EQ(e.canvasWidth, 92);

    ClearMesh(e);  // on an empty mesh: still empty
    EXPECT_TRUE(e.columnCurves.empty());
    EXPECT_TRUE(e.nodeGrid.empty());
}

}  // namespace

// Holding W down: a straight 2 x 2 mesh doubles to 1025 curves a family (1025^2 nodes is
// within the bound, 2049^2 is not), and the step past that changes nothing.
TEST(RefineMesh, StopsAtTheMeshBoundAndLeavesTheLastMesh)
{
    MeshEditState e;
    e.columnCurves = {Curve{{0, 0}, {0, 4096}}, Curve{{4096, 0}, {4096, 4096}}};
    e.rowCurves = {Curve{{0, 0}, {4096, 0}}, Curve{{0, 4096}, {4096, 4096}}};
    RecomputeNodeGrid(e.columnCurves, e.rowCurves, e.nodeGrid);
    int refinements = 0;
    while (refinements < 30 && RefineMesh(e))
        ++refinements;
    EXPECT_EQ(refinements, 10);
    ASSERT_EQ(e.columnCurves.size(), 1025u);
    ASSERT_EQ(e.rowCurves.size(), 1025u);
    ASSERT_TRUE(GridHasShape(e.nodeGrid, 1025, 1025));
    EXPECT_EQ(e.nodeGrid[1024][1024], (MeshNode{1, 1, 4096, 4096}));
    EXPECT_EQ(e.nodeGrid[512][3], (MeshNode{1, 1, 12, 2048}));
    ClearMesh(e);
    EXPECT_TRUE(e.nodeGrid.empty());
}

// The point bound counts every old curve and a mean curve per neighbour pair with the
// first curve's point count: 2^22 - 1 refined points pass the bound, 2^22 + 1 do not.
TEST(RefineMesh, RefusesAFamilyWhoseRefinedPointsPassTheBound)
{
    const size_t half = size_t(1) << 21;
    MeshEditState e;
    e.rowCurves = {Curve{{0, 5}, {100, 5}}};
    e.columnCurves = {Curve(half, Point{10, 0}), Curve(2, Point{20, 0})};
    e.columnCurves[0].back() = Point{10, 10};
    e.columnCurves[1].back() = Point{20, 10};
    RecomputeNodeGrid(e.columnCurves, e.rowCurves, e.nodeGrid);
    MeshEditState tooLarge = e;
    tooLarge.columnCurves[1].push_back(Point{20, 20});
    tooLarge.columnCurves[1].push_back(Point{20, 30});
    tooLarge.columnCurves[1].push_back(Point{20, 40});  // 2^22 + 5 refined points
    const MeshEditState before = tooLarge;
    EXPECT_FALSE(RefineMesh(tooLarge));
    EXPECT_EQ(tooLarge.columnCurves, before.columnCurves);
    EXPECT_EQ(tooLarge.rowCurves, before.rowCurves);
    EXPECT_EQ(tooLarge.nodeGrid, before.nodeGrid);

    e.columnCurves[1].pop_back();  // 1 point: 2^22 + 1 refined points, still too many
    EXPECT_FALSE(RefineMesh(e));
    e.columnCurves[0].pop_back();  // 2^21 - 1 and 1 point: 2^22 - 1
    EXPECT_TRUE(RefineMesh(e));
    EXPECT_EQ(e.columnCurves.size(), 3u);
    EXPECT_EQ(e.columnCurves[1].size(), half - 1);
}
