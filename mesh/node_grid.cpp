// The node grid: every row curve intersected with every column curve segment by segment in
// integer arithmetic, and the exchange sort that orders a family by its crossings.
#include "mesh/node_grid.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "mesh/int_math.h"

namespace {

// Inside +-2^19 the differences stay within 2^20, den and num within 2^41 and num * dRx
// within 2^61, so 64 bits are exact there; the 128-bit path is exact for any int32
// coordinates (differences within 2^32, den and num within 2^65, num * dRx within 2^97).
constexpr uint32_t kFastLimit = uint32_t(1) << 19;

bool InFastRange(Point pt)
{
    // Unsigned wrap-around maps [-2^19, 2^19] onto [0, 2^20] and everything else above it.
    return uint32_t(pt.x) + kFastLimit <= 2 * kFastLimit &&
           uint32_t(pt.y) + kFastLimit <= 2 * kFastLimit;
}

bool InFastRange(const Curve& curve)
{
    for (const Point& pt : curve)
        if (!InFastRange(pt))
            return false;
    return true;
}

template <typename Wide>
bool Between(Wide v, int32_t end0, int32_t end1)
{
    return end0 <= end1 ? v >= end0 && v <= end1 : v >= end1 && v <= end0;
}

// The crossing of the lines through P-Q and A-B, moved toward P by the truncating
// quotients, with the closed box tests of both segments. Wide is int64_t only when every
// coordinate is inside the fast range; both widths then give the same result.
template <typename Wide>
inline SegmentCrossing Cross(Point p, Point q, Point a, Point b)
{
    SegmentCrossing out;
    const Wide dRx = Wide(q.x) - p.x;
    const Wide dRy = Wide(q.y) - p.y;
    const Wide dCx = Wide(b.x) - a.x;
    const Wide dCy = Wide(b.y) - a.y;
    const Wide den = dRx * dCy - dRy * dCx;
    if (den == 0)
        return out;  // parallel, collinear or a zero-length segment
    out.found = true;
    const Wide num = (Wide(a.x) - p.x) * dCy - (Wide(a.y) - p.y) * dCx;
    const Wide x = p.x + num * dRx / den;
    const Wide y = p.y + num * dRy / den;
    out.onFirst = Between(x, p.x, q.x) && Between(y, p.y, q.y);
    out.onSecond = Between(x, a.x, b.x) && Between(y, a.y, b.y);
    if (out.onFirst || out.onSecond) {
        // Inside one segment's box, so inside the int32 range.
        out.x = static_cast<int32_t>(x);
        out.y = static_cast<int32_t>(y);
    }
    return out;
}

// Row segments outer, column segments inner: the first full crossing ends the search, a
// near crossing is stored and the search goes on, so the last one stands when the curves
// never cross. A pair with neither leaves the node as it was.
template <typename Wide>
void SearchPair(const Curve& row, const Curve& column, MeshNode& node)
{
    const size_t rowPoints = row.size();
    const size_t columnPoints = column.size();
    for (size_t k = 1; k < rowPoints; ++k) {
        const Point p = row[k - 1];
        const Point q = row[k];
        for (size_t l = 1; l < columnPoints; ++l) {
            const SegmentCrossing s = Cross<Wide>(p, q, column[l - 1], column[l]);
            if (!s.onFirst && !s.onSecond)
                continue;
            node = MeshNode{static_cast<int32_t>(l), static_cast<int32_t>(k), s.x, s.y};
            if (s.onFirst && s.onSecond)
                return;
        }
    }
}

}  // namespace

SegmentCrossing CrossSegments(Point p, Point q, Point a, Point b)
{
    if (InFastRange(p) && InFastRange(q) && InFastRange(a) && InFastRange(b))
        return Cross<int64_t>(p, q, a, b);
    return Cross<Int128>(p, q, a, b);
}

bool GridHasShape(const NodeGrid& grid, size_t rowCount, size_t columnCount)
{
    if (grid.size() != rowCount)
        return false;
    for (const NodeRow& row : grid)
        if (row.size() != columnCount)
            return false;
    return true;
}

// Surviving rows and nodes keep their values (the grid is not cleared); appended nodes are
// all zero until a crossing is stored into them.
void RecomputeNodeGrid(const CurveSet& columns, const CurveSet& rows, NodeGrid& grid)
{
    const size_t rowCount = rows.size();
    const size_t columnCount = columns.size();
    grid.resize(rowCount);
    for (NodeRow& nodes : grid)
        nodes.resize(columnCount);
    if (rowCount == 0 || columnCount == 0)
        return;

    std::vector<char> columnFast(columnCount);
    for (size_t c = 0; c < columnCount; ++c)
        columnFast[c] = InFastRange(columns[c]);

    for (size_t r = 0; r < rowCount; ++r) {
        const Curve& row = rows[r];
        if (row.size() < 2)
            continue;
        const bool rowFast = InFastRange(row);
        NodeRow& nodes = grid[r];
        for (size_t c = 0; c < columnCount; ++c) {
            const Curve& column = columns[c];
            if (column.size() < 2)
                continue;
            if (rowFast && columnFast[c])
                SearchPair<int64_t>(row, column, nodes[c]);
            else
                SearchPair<Int128>(row, column, nodes[c]);
        }
    }
}

// An exchange sort, not a stable one: each key is read from the grid afresh after the
// exchanges already made, and equal keys are never exchanged. A grid that does not have
// the shape of the two sets is left alone, and so are the curves.
void SortCurvesByNodes(CurveSet& curves, const CurveSet& others, CurveFamily family, NodeGrid& grid)
{
    const size_t n = curves.size();
    const size_t m = others.size();
    if (n < 2 || m == 0)
        return;
    const bool columns = family == CurveFamily::Columns;
    if (!GridHasShape(grid, columns ? m : n, columns ? n : m))
        return;

    auto key = [&](size_t x) {
        return columns ? grid[0][x].rowPointIndex : grid[x][0].columnPointIndex;
    };
    for (size_t i = 0; i + 1 < n; ++i) {
        for (size_t j = i + 1; j < n; ++j) {
            if (key(i) <= key(j))
                continue;
            std::swap(curves[i], curves[j]);
            if (columns) {
                for (size_t t = 0; t < m; ++t)
                    std::swap(grid[t][i], grid[t][j]);
            } else {
                std::swap(grid[i], grid[j]);  // two rows of m nodes each
            }
        }
    }
}
