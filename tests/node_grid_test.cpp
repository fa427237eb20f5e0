// Tests of the segment crossing, the node grid and the exchange sort. The wide crossing is
// checked against a small big-integer oracle and against hand-worked values.
#include "mesh/node_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "reference_mesh.h"

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

// ---- A 256-bit signed integer, just enough for the crossing formula: + - * and truncating /.
struct Big {
    bool negative = false;
    std::array<uint32_t, 8> mag{};  // little-endian 32-bit limbs

    static Big From(int64_t v)
    {
        Big b;
        b.negative = v < 0;
        const uint64_t m = v < 0 ? uint64_t(0) - uint64_t(v) : uint64_t(v);
        b.mag[0] = uint32_t(m);
        b.mag[1] = uint32_t(m >> 32);
        return b;
    }
    bool IsZero() const
    {
        return std::all_of(mag.begin(), mag.end(), [](uint32_t l) { return l == 0; });
    }
};

int CompareMag(const Big& a, const Big& b)
{
    for (int i = 7; i >= 0; --i)
        if (a.mag[i] != b.mag[i])
            return a.mag[i] < b.mag[i] ? -1 : 1;
    return 0;
}

Big AddMag(const Big& a, const Big& b)
{
    Big r;
    uint64_t carry = 0;
    for (int i = 0; i < 8; ++i) {
        const uint64_t s = uint64_t(a.mag[i]) + b.mag[i] + carry;
        r.mag[i] = uint32_t(s);
        carry = s >> 32;
    }
    return r;
}

Big SubMag(const Big& a, const Big& b)  // |a| >= |b|
{
    Big r;
    int64_t borrow = 0;
    for (int i = 0; i < 8; ++i) {
        int64_t d = int64_t(a.mag[i]) - b.mag[i] - borrow;
        borrow = d < 0;
        if (d < 0)
            d += int64_t(1) << 32;
        r.mag[i] = uint32_t(d);
    }
    return r;
}

Big Normalised(Big b)
{
    if (b.IsZero())
        b.negative = false;
    return b;
}

Big operator+(const Big& a, const Big& b)
{
    if (a.negative == b.negative) {
        Big r = AddMag(a, b);
        r.negative = a.negative;
        return Normalised(r);
    }
    if (CompareMag(a, b) >= 0) {
        Big r = SubMag(a, b);
        r.negative = a.negative;
        return Normalised(r);
    }
    Big r = SubMag(b, a);
    r.negative = b.negative;
    return Normalised(r);
}

Big operator-(const Big& a, Big b)
{
    b.negative = !b.negative;
    return a + Normalised(b);
}

Big operator*(const Big& a, const Big& b)
{
    Big r;
    for (int i = 0; i < 8; ++i) {
        uint64_t carry = 0;
        for (int j = 0; i + j < 8; ++j) {
            const uint64_t t = uint64_t(a.mag[i]) * b.mag[j] + r.mag[i + j] + carry;
            r.mag[i + j] = uint32_t(t);
            carry = t >> 32;
        }
    }
    r.negative = a.negative != b.negative;
    return Normalised(r);
}

// Truncating division by schoolbook long division, one bit at a time.
Big operator/(const Big& a, const Big& b)
{
    Big q;
    Big rem;
    int top = 255;  // the dividend's highest set bit; nothing above it to bring down
    while (top >= 0 && ((a.mag[top / 32] >> (top % 32)) & 1u) == 0)
        --top;
    for (int bit = top; bit >= 0; --bit) {
        rem = AddMag(rem, rem);
        rem.mag[0] |= (a.mag[bit / 32] >> (bit % 32)) & 1u;
        if (CompareMag(rem, b) >= 0) {
            rem = SubMag(rem, b);
            q.mag[bit / 32] |= 1u << (bit % 32);
        }
    }
    q.negative = a.negative != b.negative;
    return Normalised(q);
}

int Compare(const Big& a, const Big& b)
{
    if (a.negative != b.negative)
        return a.negative ? -1 : 1;
    const int m = CompareMag(a, b);
    return a.negative ? -m : m;
}

bool BigBetween(const Big& v, int32_t e0, int32_t e1)
{
    const Big lo = Big::From(std::min(e0, e1));
    const Big hi = Big::From(std::max(e0, e1));
    return Compare(v, lo) >= 0 && Compare(v, hi) <= 0;
}

int64_t ToInt64(const Big& b)  // only for values known to fit
{
    const uint64_t m = uint64_t(b.mag[0]) | (uint64_t(b.mag[1]) << 32);
    return b.negative ? -int64_t(m) : int64_t(m);
}

// The crossing of the lines through P-Q and A-B evaluated with unbounded integers.
SegmentCrossing OracleCross(Point p, Point q, Point a, Point b)
{
    auto B = [](int32_t v) { return Big::From(v); };
    const Big dRx = B(q.x) - B(p.x), dRy = B(q.y) - B(p.y);
    const Big dCx = B(b.x) - B(a.x), dCy = B(b.y) - B(a.y);
    const Big den = dRx * dCy - dRy * dCx;
    SegmentCrossing out;
    if (den.IsZero())
        return out;
    out.found = true;
    const Big num = (B(a.x) - B(p.x)) * dCy - (B(a.y) - B(p.y)) * dCx;
    const Big x = B(p.x) + num * dRx / den;
    const Big y = B(p.y) + num * dRy / den;
    out.onFirst = BigBetween(x, p.x, q.x) && BigBetween(y, p.y, q.y);
    out.onSecond = BigBetween(x, a.x, b.x) && BigBetween(y, a.y, b.y);
    if (out.onFirst || out.onSecond) {
        out.x = int32_t(ToInt64(x));
        out.y = int32_t(ToInt64(y));
    }
    return out;
}

void ExpectSameCrossing(const SegmentCrossing& got, const SegmentCrossing& want)
{
    EXPECT_EQ(got.found, want.found);
    EXPECT_EQ(got.onFirst, want.onFirst);
    EXPECT_EQ(got.onSecond, want.onSecond);
    if (want.onFirst || want.onSecond) {
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
    }
}

// ---- Hand-worked crossings.

struct CrossCase {
    const char* name;
    Point p, q, a, b;
    bool found, onFirst, onSecond;
    int32_t x, y;
};

// Each row carries its derivation.
// clang-format off
const CrossCase kCrossCases[] = {
    // dRx = 20, dCy = 20, den = 400, num = 10 * 20 = 200, ddx = 200 * 20 / 400 = 10.
    {"PlusSign", {0, 10}, {20, 10}, {10, 0}, {10, 20}, true, true, true, 10, 10},
    // den = -20 * 20 - 0 = -400, num = (10 - 20) * 20 - (0 - 10) * 1 = -190,
    // ddx = (-190 * -20) / -400 = -9.5 -> -9, X = 11; ddy = 0, Y = 10.
    {"TruncatesTowardTheRowStart", {20, 10}, {0, 10}, {10, 0}, {11, 20}, true, true, true, 11,
     10},
    // Parallel: den = 10 * 0 - 0 * 10 = 0.
    {"ParallelNeverCross", {0, 0}, {10, 0}, {0, 5}, {10, 5}, false, false, false, 0, 0},
    // Collinear and overlapping: den = 0 as well.
    {"CollinearOverlapNeverCross", {0, 0}, {10, 0}, {5, 0}, {15, 0}, false, false, false, 0, 0},
    // A zero-length column segment: dCx = dCy = 0, den = 0.
    {"ZeroLengthNeverCrosses", {0, 0}, {10, 10}, {5, 5}, {5, 5}, false, false, false, 0, 0},
    // The column segment starts on the row segment's end point: den = 10 * 10 = 100,
    // num = 10 * 10 = 100, ddx = 100 * 10 / 100 = 10.
    {"TouchingAtAnEndPointCrosses", {0, 0}, {10, 0}, {10, 0}, {10, 10}, true, true, true, 10, 0},
    // The column line x = 50 meets the row segment but not the column segment (y 20..100).
    {"NearCrossingOnTheRowOnly", {30, 10}, {70, 10}, {50, 20}, {50, 40}, true, true, false, 50,
     10},
    // The row line y = 10 meets the column segment but the row segment ends at x = 40.
    {"NearCrossingOnTheColumnOnly", {0, 10}, {40, 10}, {50, 0}, {50, 40}, true, false, true, 50,
     10},
    // Diagonals of the whole int32 square, D = 2^32 - 1: den = -2 D^2, num = -D^2,
    // ddx = -D^3 / -2 D^2 = D / 2 = 2147483647.5 -> 2147483647, X = -2^31 + 2147483647 = -1.
    // num * dRx = D^3 needs 96 bits.
    {"WholeRangeDiagonals", {kMin, kMin}, {kMax, kMax}, {kMin, kMax}, {kMax, kMin}, true, true,
     true, -1, -1},
    // Row y = 0 across the whole range, column line x = (y + 2^31) / 2 meets it at x = 2^30:
    // dRx = D, den = 2 D, num = 2^31 * 2 + 2^31 = 3 * 2^31, ddx = 3 * 2^31 * D / 2D = 3 * 2^30,
    // X = -2^31 + 3 * 2^30 = 2^30. num * dRx is about 1.6e19, past int64.
    {"WholeRangeNearCrossing", {kMin, 0}, {kMax, 0}, {0, kMin}, {1, kMin + 2}, true, true, false,
     1073741824, 0},
    // Lines y = x - (2^31 - 2) and y = 2^31 - 1 meet at x = 2^32 - 3, outside int32 and
    // outside both boxes: den = -1, num = -(2^31 - 1), ddx = 2^31 - 1.
    {"CrossingBeyondInt32IsInNoBox", {kMax - 1, 0}, {kMax, 1}, {0, kMax}, {1, kMax}, true, false,
     false, 0, 0},
};
// clang-format on

class CrossSegmentsTable : public testing::TestWithParam<CrossCase> {};

TEST_P(CrossSegmentsTable, GivesTheWorkedResult)
{
    const CrossCase& c = GetParam();
    const SegmentCrossing s = CrossSegments(c.p, c.q, c.a, c.b);
    ExpectSameCrossing(s, SegmentCrossing{c.found, c.onFirst, c.onSecond, c.x, c.y});
    // The oracle agrees with the hand derivation too.
    ExpectSameCrossing(OracleCross(c.p, c.q, c.a, c.b),
                       SegmentCrossing{c.found, c.onFirst, c.onSecond, c.x, c.y});
}

INSTANTIATE_TEST_SUITE_P(Worked, CrossSegmentsTable, testing::ValuesIn(kCrossCases),
                         [](const auto& info) { return std::string(info.param.name); });

int32_t RandomCoordinate(std::mt19937_64& rng, int mode)
{
    static const int32_t kEdges[] = {kMin, kMin + 1, kMin + 2, -524289,  -524288,  -1,  0,
                                     1,    524288,   524289,   kMax - 2, kMax - 1, kMax};
    switch (mode) {
    case 0: return int32_t(uint32_t(rng()));  // anywhere in the int32 range
    case 1: return kEdges[rng() % std::size(kEdges)];
    case 2: return int32_t(rng() % 2000) - 1000;  // ordinary coordinates, 64-bit path
    default:                                      // straddling the end of the 64-bit path
        return int32_t(rng() % 8) - 4 + (rng() % 2 ? 524288 : -524288);
    }
}

TEST(CrossSegments, MatchesUnboundedIntegersAcrossTheWholeInt32Range)
{
    std::mt19937_64 rng(20240611);
    int fullCrossings = 0;
    int nearCrossings = 0;
    for (int n = 0; n < 24000; ++n) {
        const int mode = n % 4;
        Point pts[4];
        for (Point& pt : pts)
            pt = Point{RandomCoordinate(rng, mode), RandomCoordinate(rng, mode)};
        const SegmentCrossing want = OracleCross(pts[0], pts[1], pts[2], pts[3]);
        const SegmentCrossing got = CrossSegments(pts[0], pts[1], pts[2], pts[3]);
        ExpectSameCrossing(got, want);
        if (testing::Test::HasFailure()) {
            ADD_FAILURE() << "case " << n << ": (" << pts[0].x << "," << pts[0].y << ") ("
                          << pts[1].x << "," << pts[1].y << ") (" << pts[2].x << "," << pts[2].y
                          << ") (" << pts[3].x << "," << pts[3].y << ")";
            return;
        }
        fullCrossings += want.onFirst && want.onSecond;
        nearCrossings += want.onFirst != want.onSecond;
    }
    // The random cases exercise both kinds, not only misses.
    EXPECT_GT(fullCrossings, 600);
    EXPECT_GT(nearCrossings, 600);
}

// The formula depends only on coordinate differences, so shifting all four points by T
// shifts the crossing by T: a pair inside the 64-bit range and the same pair moved far out
// (128-bit path) must agree.
TEST(CrossSegments, IsTheSameFarOutAsNearTheOrigin)
{
    std::mt19937_64 rng(7);
    const int32_t shifts[] = {1 << 30, -(1 << 30), kMax - 1000, kMin + 1000};
    for (int n = 0; n < 20000; ++n) {
        Point pts[4];
        for (Point& pt : pts)
            pt = Point{RandomCoordinate(rng, 2), RandomCoordinate(rng, 2)};
        const SegmentCrossing base = CrossSegments(pts[0], pts[1], pts[2], pts[3]);
        const int32_t t = shifts[n % 4];
        auto moved = [&](Point pt) { return Point{pt.x + t, pt.y + t}; };
        const SegmentCrossing far =
            CrossSegments(moved(pts[0]), moved(pts[1]), moved(pts[2]), moved(pts[3]));
        ASSERT_EQ(far.found, base.found) << n;
        ASSERT_EQ(far.onFirst, base.onFirst) << n;
        ASSERT_EQ(far.onSecond, base.onSecond) << n;
        if (base.onFirst || base.onSecond) {
            ASSERT_EQ(far.x, base.x + t) << n;
            ASSERT_EQ(far.y, base.y + t) << n;
        }
    }
}

// ---- RecomputeNodeGrid.

// The plain 64-bit crossing, kept literal as the scalar oracle of the grid's fast path.
SegmentCrossing PlainCross(Point P, Point Q, Point A, Point B)
{
    SegmentCrossing out;
    const int64_t dRx = int64_t(Q.x) - P.x, dRy = int64_t(Q.y) - P.y;
    const int64_t dCx = int64_t(B.x) - A.x, dCy = int64_t(B.y) - A.y;
    const int64_t den = dRx * dCy - dRy * dCx;
    if (den == 0)
        return out;
    out.found = true;
    const int64_t num = (int64_t(A.x) - P.x) * dCy - (int64_t(A.y) - P.y) * dCx;
    const int64_t X = P.x + num * dRx / den;
    const int64_t Y = P.y + num * dRy / den;
    out.onFirst = X >= std::min(P.x, Q.x) && X <= std::max(P.x, Q.x) && Y >= std::min(P.y, Q.y) &&
                  Y <= std::max(P.y, Q.y);
    out.onSecond = X >= std::min(A.x, B.x) && X <= std::max(A.x, B.x) && Y >= std::min(A.y, B.y) &&
                   Y <= std::max(A.y, B.y);
    out.x = int32_t(X);
    out.y = int32_t(Y);
    return out;
}

NodeGrid Recomputed(const CurveSet& columns, const CurveSet& rows)
{
    NodeGrid grid;
    RecomputeNodeGrid(columns, rows, grid);
    return grid;
}

TEST(RecomputeNodeGrid, LeavesNoRowsWithoutCurves)
{
    EXPECT_TRUE(Recomputed({}, {}).empty());
    EXPECT_TRUE(Recomputed({Curve{{0, 0}, {5, 5}}}, {}).empty());
}

TEST(RecomputeNodeGrid, GivesOneEmptyRowPerRowCurveWithoutColumns)
{
    const NodeGrid grid = Recomputed({}, {Curve{{0, 0}, {5, 5}}, Curve{{1, 1}}});
    ASSERT_EQ(grid.size(), 2u);
    EXPECT_TRUE(grid[0].empty());
    EXPECT_TRUE(grid[1].empty());
}

struct GridCase {
    const char* name;
    CurveSet columns;
    CurveSet rows;
    MeshNode node;  // grid[0][0]
};

const GridCase kGridCases[] = {
    {"PlusSign", {Curve{{10, 0}, {10, 20}}}, {Curve{{0, 10}, {20, 10}}}, {1, 1, 10, 10}},
    // den = -400, num = -190: -9.5 truncates to -9, X = 20 - 9 = 11.
    {"TruncatedTowardTheRowSegmentsStart",
     {Curve{{10, 0}, {11, 20}}},
     {Curve{{20, 10}, {0, 10}}},
     {1, 1, 11, 10}},
    // The row curve (a U) crosses the vertical column twice, first on its row segment 1 at
    // column segment 2 (y = 15), later on row segment 3 at column segment 1 (y = 5).
    {"CrossingTwiceStoresTheLowerRowSegment",
     {Curve{{10, 0}, {10, 10}, {10, 20}}},
     {Curve{{0, 15}, {20, 15}, {20, 5}, {0, 5}}},
     {2, 1, 10, 15}},
    // The row crosses the column exactly at the column's interior point 1 (10, 10): the
    // segment ending there comes first in scan order.
    {"CrossingAtAnInteriorPointStoresThatPointsIndex",
     {Curve{{10, 0}, {10, 10}, {10, 20}}},
     {Curve{{0, 10}, {20, 10}}},
     {1, 1, 10, 10}},
    // Column at x = 50 from y = 20 to 100, row along y = 10 from x = 0 to 90: no crossing;
    // every column segment's extension meets row segment 2 (30..70), the last stands.
    {"NearCrossingKeepsTheLastInScanOrder",
     {Curve{{50, 20}, {50, 40}, {50, 60}, {50, 100}}},
     {Curve{{0, 10}, {30, 10}, {70, 10}, {90, 10}}},
     {3, 2, 50, 10}},
    // The same with x = 50 a point of the row: segments 1 and 2 both contain it, 2 is later.
    {"NearCrossingOnASharedRowPointTakesTheLaterSegment",
     {Curve{{50, 20}, {50, 40}, {50, 60}, {50, 100}}},
     {Curve{{0, 10}, {50, 10}, {90, 10}}},
     {3, 2, 50, 10}},
    // The column's first segment has zero length; the next one still crosses.
    {"ZeroLengthSegmentIsSkipped",
     {Curve{{10, 0}, {10, 0}, {10, 20}}},
     {Curve{{0, 10}, {20, 10}}},
     {2, 1, 10, 10}},
    // A single-point column has no segment: the appended node stays zero.
    {"SinglePointCurveIsNotSearched", {Curve{{10, 10}}}, {Curve{{0, 10}, {20, 10}}}, {0, 0, 0, 0}},
    // Both curves on the whole int32 square's diagonals: X = Y = -1 (see CrossSegments).
    {"WholeRangeDiagonals",
     {Curve{{kMin, kMax}, {kMax, kMin}}},
     {Curve{{kMin, kMin}, {kMax, kMax}}},
     {1, 1, -1, -1}},
};

class RecomputeNodeGridTable : public testing::TestWithParam<GridCase> {};

TEST_P(RecomputeNodeGridTable, StoresTheWorkedNode)
{
    const GridCase& c = GetParam();
    const NodeGrid grid = Recomputed(c.columns, c.rows);
    ASSERT_EQ(grid.size(), 1u);
    ASSERT_EQ(grid[0].size(), 1u);
    EXPECT_EQ(grid[0][0], c.node);
}

INSTANTIATE_TEST_SUITE_P(Worked, RecomputeNodeGridTable, testing::ValuesIn(kGridCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RecomputeNodeGrid, KeepsSurvivingNodesAndZeroesNewOnes)
{
    // Horizontal column curves never cross the horizontal row: every node is left alone.
    const Curve flat{{0, 100}, {10, 100}};
    const MeshNode stale{7, 8, 9, 10};
    NodeGrid grid{NodeRow{stale}, NodeRow{stale, stale, stale}, NodeRow{stale}};
    RecomputeNodeGrid({flat, flat}, {Curve{{0, 0}, {10, 0}}, Curve{{0, 5}, {10, 5}}}, grid);
    ASSERT_EQ(grid.size(), 2u);
    EXPECT_EQ(grid[0], (NodeRow{stale, MeshNode{}}));
    EXPECT_EQ(grid[1], (NodeRow{stale, stale}));
}

TEST(RecomputeNodeGrid, KeepsTheStaleNodeOfADeletedCurve)
{
    CurveSet columns{Curve{{10, 0}, {10, 20}}, Curve{{0, 50}, {40, 50}}};
    const CurveSet rows{Curve{{0, 10}, {40, 10}}};
    NodeGrid grid;
    RecomputeNodeGrid(columns, rows, grid);
    ASSERT_EQ(grid[0], (NodeRow{{1, 1, 10, 10}, {0, 0, 0, 0}}));
    // The parallel curve moves into column 0, which held the crossing of the deleted curve.
    columns.erase(columns.begin());
    RecomputeNodeGrid(columns, rows, grid);
    EXPECT_EQ(grid[0], (NodeRow{{1, 1, 10, 10}}));
}

Curve RandomCurve(std::mt19937_64& rng, int32_t extent, size_t maxPoints)
{
    Curve c(1 + rng() % maxPoints);
    for (Point& pt : c)
        pt = Point{int32_t(rng() % uint64_t(extent)), int32_t(rng() % uint64_t(extent))};
    return c;
}

TEST(RecomputeNodeGrid, FastPathMatchesThePlainSearch)
{
    std::mt19937_64 rng(11);
    for (int round = 0; round < 200; ++round) {
        CurveSet columns(1 + rng() % 5), rows(1 + rng() % 5);
        for (Curve& c : columns)
            c = RandomCurve(rng, 64, 8);
        for (Curve& c : rows)
            c = RandomCurve(rng, 64, 8);
        // Start both from the same stale grid of a different shape.
        NodeGrid got(rng() % 4, NodeRow(rng() % 4, MeshNode{3, 4, 5, 6}));
        NodeGrid want = got;
        RecomputeNodeGrid(columns, rows, got);
        ReferenceRecompute(columns, rows, want, PlainCross);
        ASSERT_EQ(got, want) << "round " << round;
    }
}

TEST(RecomputeNodeGrid, WidePathMatchesTheFastPathShiftedFarOut)
{
    std::mt19937_64 rng(12);
    for (int round = 0; round < 100; ++round) {
        CurveSet columns(1 + rng() % 4), rows(1 + rng() % 4);
        for (Curve& c : columns)
            c = RandomCurve(rng, 1000, 10);
        for (Curve& c : rows)
            c = RandomCurve(rng, 1000, 10);
        const NodeGrid near = Recomputed(columns, rows);
        const int32_t t = round % 2 ? kMax - 1000 : kMin;
        for (CurveSet* set : {&columns, &rows})
            for (Curve& c : *set)
                for (Point& pt : c)
                    pt = Point{pt.x + t, pt.y + t};
        NodeGrid far = Recomputed(columns, rows);
        for (size_t r = 0; r < near.size(); ++r) {
            for (size_t c = 0; c < near[r].size(); ++c) {
                MeshNode want = near[r][c];
                if (want.columnPointIndex != 0) {  // a stored crossing moves along
                    want.x += t;
                    want.y += t;
                }
                ASSERT_EQ(far[r][c], want) << "round " << round << " node " << r << "," << c;
            }
        }
    }
}

TEST(RecomputeNodeGrid, MatchesUnboundedIntegersForCurvesAnywhere)
{
    std::mt19937_64 rng(15);
    for (int round = 0; round < 60; ++round) {
        CurveSet columns(1 + rng() % 3), rows(1 + rng() % 3);
        const int mode = round % 4;
        for (CurveSet* set : {&columns, &rows}) {
            for (Curve& c : *set) {
                c.resize(1 + rng() % 6);
                for (Point& pt : c)
                    pt = Point{RandomCoordinate(rng, mode), RandomCoordinate(rng, mode)};
            }
        }
        NodeGrid want;
        ReferenceRecompute(columns, rows, want, OracleCross);
        ASSERT_EQ(Recomputed(columns, rows), want) << "round " << round;
    }
}

// Orientation of c relative to the line a-b: the sign of the exact cross product.
int Orientation(Point a, Point b, Point c)
{
    const int64_t v =
        (int64_t(b.x) - a.x) * (int64_t(c.y) - a.y) - (int64_t(b.y) - a.y) * (int64_t(c.x) - a.x);
    return (v > 0) - (v < 0);
}

// Whether two non-parallel segments really meet, end points included.
bool ReallyCross(Point p, Point q, Point a, Point b)
{
    const int64_t dRx = int64_t(q.x) - p.x, dRy = int64_t(q.y) - p.y;
    const int64_t dCx = int64_t(b.x) - a.x, dCy = int64_t(b.y) - a.y;
    if (dRx * dCy - dRy * dCx == 0)
        return false;
    return Orientation(p, q, a) * Orientation(p, q, b) <= 0 &&
           Orientation(a, b, p) * Orientation(a, b, q) <= 0;
}

bool InBox(Point v, Point e0, Point e1)
{
    return v.x >= std::min(e0.x, e1.x) && v.x <= std::max(e0.x, e1.x) &&
           v.y >= std::min(e0.y, e1.y) && v.y <= std::max(e0.y, e1.y);
}

// Every pair whose curves really cross gets a full crossing no later in scan order than the
// first real one; the stored point lies in both segment boxes and less than a pixel from the
// real intersection of the two lines, on the side of the row segment's start.
TEST(RecomputeNodeGrid, FindsEveryRealCrossingInsideBothBoxes)
{
    std::mt19937_64 rng(13);
    int checked = 0;
    for (int round = 0; round < 300; ++round) {
        CurveSet columns(1 + rng() % 4), rows(1 + rng() % 4);
        for (Curve& c : columns)
            c = RandomCurve(rng, 200, 12);
        for (Curve& c : rows)
            c = RandomCurve(rng, 200, 12);
        const NodeGrid grid = Recomputed(columns, rows);
        for (size_t r = 0; r < rows.size(); ++r) {
            for (size_t c = 0; c < columns.size(); ++c) {
                const Curve& w = rows[r];
                const Curve& v = columns[c];
                size_t firstK = 0, firstL = 0;
                for (size_t k = 1; k < w.size() && firstK == 0; ++k)
                    for (size_t l = 1; l < v.size() && firstK == 0; ++l)
                        if (ReallyCross(w[k - 1], w[k], v[l - 1], v[l])) {
                            firstK = k;
                            firstL = l;
                        }
                if (firstK == 0)
                    continue;
                ++checked;
                const MeshNode n = grid[r][c];
                const size_t k = size_t(n.rowPointIndex), l = size_t(n.columnPointIndex);
                ASSERT_TRUE(k >= 1 && k < w.size() && l >= 1 && l < v.size());
                ASSERT_TRUE(k < firstK || (k == firstK && l <= firstL));
                const Point at{n.x, n.y};
                const Point P = w[k - 1], Q = w[k], A = v[l - 1], B = v[l];
                ASSERT_TRUE(InBox(at, P, Q) && InBox(at, A, B));
                // The real intersection, in doubles: P + t (Q - P).
                const double den =
                    double(Q.x - P.x) * (B.y - A.y) - double(Q.y - P.y) * (B.x - A.x);
                const double t =
                    (double(A.x - P.x) * (B.y - A.y) - double(A.y - P.y) * (B.x - A.x)) / den;
                const double rx = P.x + t * (Q.x - P.x);
                const double ry = P.y + t * (Q.y - P.y);
                EXPECT_LT(std::fabs(rx - n.x), 1.0 + 1e-9);
                EXPECT_LT(std::fabs(ry - n.y), 1.0 + 1e-9);
                EXPECT_LE(std::fabs(n.x - P.x), std::fabs(rx - P.x) + 1e-9);
                EXPECT_LE(std::fabs(n.y - P.y), std::fabs(ry - P.y) + 1e-9);
            }
        }
    }
    EXPECT_GT(checked, 200);
}

// ---- SortCurvesByNodes.

// Column curves told apart by their first point's x; grid row t node c carries the curve's
// tag in x and t in y so that moved nodes can be followed.
struct SortFixture {
    CurveSet columns;
    CurveSet rows;
    NodeGrid grid;
};

SortFixture ColumnsWithKeys(const std::vector<int32_t>& keys, size_t rowCount)
{
    SortFixture f;
    for (size_t c = 0; c < keys.size(); ++c)
        f.columns.push_back(Curve{{int32_t(100 + c), 0}});
    f.rows.assign(rowCount, Curve{{0, 0}});
    f.grid.assign(rowCount, NodeRow(keys.size()));
    for (size_t t = 0; t < rowCount; ++t)
        for (size_t c = 0; c < keys.size(); ++c)
            f.grid[t][c] =
                MeshNode{int32_t(t), t == 0 ? keys[c] : 99, int32_t(100 + c), int32_t(t)};
    return f;
}

std::vector<int32_t> Tags(const CurveSet& set)
{
    std::vector<int32_t> tags;
    for (const Curve& c : set)
        tags.push_back(c.front().x);
    return tags;
}

TEST(SortCurvesByNodes, ExchangeSortIsNotStable)
{
    // Keys 2, 2, 1: i = 0 meets key 1 at j = 2 and exchanges; nothing else moves.
    SortFixture f = ColumnsWithKeys({2, 2, 1}, 1);
    SortCurvesByNodes(f.columns, f.rows, CurveFamily::Columns, f.grid);
    EXPECT_EQ(Tags(f.columns), (std::vector<int32_t>{102, 101, 100}));
}

TEST(SortCurvesByNodes, MovesWholeGridColumnsAlongWithTheCurves)
{
    // Keys 5, 3, 3: (0,1) exchange -> 3 5 3, (1,2) exchange -> 3 3 5.
    SortFixture f = ColumnsWithKeys({5, 3, 3}, 3);
    SortCurvesByNodes(f.columns, f.rows, CurveFamily::Columns, f.grid);
    EXPECT_EQ(Tags(f.columns), (std::vector<int32_t>{101, 102, 100}));
    for (size_t t = 0; t < 3; ++t) {
        ASSERT_EQ(f.grid[t].size(), 3u);
        for (size_t c = 0; c < 3; ++c) {
            EXPECT_EQ(f.grid[t][c].x, f.columns[c].front().x);
            EXPECT_EQ(f.grid[t][c].y, int32_t(t));
        }
    }
    EXPECT_EQ(f.grid[0][0].rowPointIndex, 3);
    EXPECT_EQ(f.grid[0][2].rowPointIndex, 5);
}

TEST(SortCurvesByNodes, OrdersRowsByTheirCrossingWithTheFirstColumn)
{
    CurveSet rows{Curve{{0, 200}}, Curve{{0, 201}}, Curve{{0, 202}}};
    const CurveSet columns{Curve{{0, 0}}, Curve{{1, 0}}};
    // Row x crosses column 0 at columnPointIndex 4, 1, 2; column 1's nodes carry the tag.
    NodeGrid grid{NodeRow{{4, 0, 0, 0}, {0, 0, 200, 0}}, NodeRow{{1, 0, 0, 0}, {0, 0, 201, 0}},
                  NodeRow{{2, 0, 0, 0}, {0, 0, 202, 0}}};
    SortCurvesByNodes(rows, columns, CurveFamily::Rows, grid);
    // 4 1 2 -> (0,1) 1 4 2 -> (1,2) 1 2 4.
    std::vector<int32_t> order;
    for (const Curve& c : rows)
        order.push_back(c.front().y);
    EXPECT_EQ(order, (std::vector<int32_t>{201, 202, 200}));
    for (size_t x = 0; x < 3; ++x)
        EXPECT_EQ(grid[x][1].x, rows[x].front().y);
}

TEST(SortCurvesByNodes, ChangesNothingWhenThereIsNothingToOrderBy)
{
    struct Case {
        const char* name;
        std::vector<int32_t> keys;
        size_t rowCount;
    };
    for (const Case& c : {Case{"no other family", {3, 1, 2}, 0}, Case{"one curve", {3}, 2},
                          Case{"no curves", {}, 2}}) {
        SortFixture f = ColumnsWithKeys(c.keys, c.rowCount);
        const SortFixture before = f;
        SortCurvesByNodes(f.columns, f.rows, CurveFamily::Columns, f.grid);
        EXPECT_EQ(f.columns, before.columns) << c.name;
        EXPECT_EQ(f.grid, before.grid) << c.name;
    }
}

TEST(SortCurvesByNodes, LeavesAGridOfTheWrongShapeAndItsCurvesAlone)
{
    for (int variant = 0; variant < 3; ++variant) {
        SortFixture f = ColumnsWithKeys({3, 2, 1}, 2);
        if (variant == 0)
            f.grid.pop_back();  // a row short
        else if (variant == 1)
            f.grid[1].pop_back();  // a node short in a later row
        else
            f.grid.clear();
        const SortFixture before = f;
        SortCurvesByNodes(f.columns, f.rows, CurveFamily::Columns, f.grid);
        EXPECT_EQ(f.columns, before.columns) << variant;
        EXPECT_EQ(f.grid, before.grid) << variant;
        SortCurvesByNodes(f.rows, f.columns, CurveFamily::Rows, f.grid);
        EXPECT_EQ(f.grid, before.grid) << variant;
    }
}

TEST(SortCurvesByNodes, SortsByKeyKeepingEveryCurveWithItsGridColumn)
{
    std::mt19937_64 rng(14);
    for (int round = 0; round < 300; ++round) {
        std::vector<int32_t> keys(2 + rng() % 9);
        for (int32_t& k : keys)
            k = int32_t(rng() % 5) - 1;
        SortFixture f = ColumnsWithKeys(keys, 1 + rng() % 3);
        std::vector<std::pair<int32_t, int32_t>> before;  // (tag, key)
        for (size_t c = 0; c < keys.size(); ++c)
            before.emplace_back(100 + int32_t(c), keys[c]);
        SortCurvesByNodes(f.columns, f.rows, CurveFamily::Columns, f.grid);
        std::vector<std::pair<int32_t, int32_t>> after;
        for (size_t c = 0; c < keys.size(); ++c) {
            after.emplace_back(f.columns[c].front().x, f.grid[0][c].rowPointIndex);
            for (size_t t = 0; t < f.grid.size(); ++t)
                ASSERT_EQ(f.grid[t][c].x, f.columns[c].front().x);
            if (c > 0) {
                ASSERT_LE(f.grid[0][c - 1].rowPointIndex, f.grid[0][c].rowPointIndex);
            }
        }
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        ASSERT_EQ(after, before);
    }
}

TEST(SortCurvesByNodes, SortsRowsByKeyKeepingEveryCurveWithItsGridRow)
{
    std::mt19937_64 rng(16);
    for (int round = 0; round < 300; ++round) {
        const size_t n = 2 + rng() % 9;
        const size_t m = 1 + rng() % 3;
        CurveSet rows;
        NodeGrid grid(n, NodeRow(m));
        std::vector<std::pair<int32_t, int32_t>> before;  // (tag, key)
        for (size_t x = 0; x < n; ++x) {
            const int32_t tag = 300 + int32_t(x);
            const int32_t key = int32_t(rng() % 5) - 1;
            rows.push_back(Curve{{0, tag}});
            for (size_t t = 0; t < m; ++t)
                grid[x][t] = MeshNode{t == 0 ? key : 99, int32_t(t), 0, tag};
            before.emplace_back(tag, key);
        }
        const CurveSet columns(m, Curve{{0, 0}});
        SortCurvesByNodes(rows, columns, CurveFamily::Rows, grid);
        std::vector<std::pair<int32_t, int32_t>> after;
        for (size_t x = 0; x < n; ++x) {
            after.emplace_back(rows[x].front().y, grid[x][0].columnPointIndex);
            ASSERT_EQ(grid[x].size(), m);
            for (size_t t = 0; t < m; ++t)
                ASSERT_EQ(grid[x][t].y, rows[x].front().y);
            if (x > 0) {
                ASSERT_LE(grid[x - 1][0].columnPointIndex, grid[x][0].columnPointIndex);
            }
        }
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        ASSERT_EQ(after, before);
    }
}

}  // namespace
