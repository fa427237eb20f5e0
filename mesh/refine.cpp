// Mesh refinement, which puts a mean curve between every two neighbouring curves of each
// family, and the reset that empties the mesh.
#include "mesh/refine.h"

#include <new>
#include <stdexcept>
#include <utility>

namespace {

// Point j of a (a points) is paired with point q = floor(j * b / a) of b, the point the same
// fraction of the way through b's list; q is stepped on by b / a and b % a so that j * b is
// never formed. The mean takes its direction and point count from a. With no point in b to
// pair with, the mean curve is a copy of a; with no point in a it has no points either.
Curve MeanCurve(const Curve& a, const Curve& b)
{
    const size_t aCount = a.size();
    const size_t bCount = b.size();
    if (bCount == 0)
        return a;
    Curve mean;
    mean.reserve(aCount);
    size_t q = 0;
    size_t remainder = 0;  // (j * bCount) % aCount
    for (size_t j = 0; j < aCount; ++j) {
        const Point pa = a[j];
        const Point pb = b[q];
        // The truncated mean of two int32 values lies between them, so it fits.
        mean.push_back(Point{static_cast<int32_t>((int64_t(pa.x) + pb.x) / 2),
                             static_cast<int32_t>((int64_t(pa.y) + pb.y) / 2)});
        q += bCount / aCount;
        remainder += bCount % aCount;
        if (remainder >= aCount) {
            remainder -= aCount;
            ++q;
        }
    }
    return mean;
}

// The refined family in a new set, leaving `set` as it is: every curve unchanged at twice
// its old index, a mean curve between each two.
CurveSet Refined(const CurveSet& set)
{
    CurveSet result;
    if (set.empty())
        return result;
    result.reserve(2 * set.size() - 1);
    for (size_t i = 0; i < set.size(); ++i) {
        result.push_back(set[i]);
        if (i + 1 < set.size())
            result.push_back(MeanCurve(set[i], set[i + 1]));
    }
    return result;
}

// Points of the refined family: every old curve, plus a mean curve with the point count of
// each curve but the last.
uint64_t RefinedPointCount(const CurveSet& set)
{
    uint64_t count = 0;
    for (size_t i = 0; i < set.size(); ++i)
        count += (i + 1 < set.size() ? 2 : 1) * uint64_t(set[i].size());
    return count;
}

uint64_t RefinedCurveCount(const CurveSet& set)
{
    return set.empty() ? 0 : 2 * uint64_t(set.size()) - 1;
}

}  // namespace

bool RefinementFits(const CurveSet& columns, const CurveSet& rows)
{
    // Curve counts stay far below 2^32 here (each curve holds at least its vector), so the
    // product does not wrap.
    return RefinedCurveCount(columns) * RefinedCurveCount(rows) <= kMaxRefinedNodes &&
           RefinedPointCount(columns) <= kMaxRefinedPointsPerFamily &&
           RefinedPointCount(rows) <= kMaxRefinedPointsPerFamily;
}

void InsertMidCurves(CurveSet& set)
{
    CurveSet result = Refined(set);
    set.swap(result);
}

// Both families and the grid are built in temporaries and swapped in only once all three
// exist, so a refinement that runs out of memory leaves the mesh exactly as it was. The new
// grid starts from a copy of the old one, since nodes with no crossing keep what their grid
// position held. No sort follows: every mean curve already stands between its neighbours.
bool RefineMesh(MeshEditState& e)
{
    if (!RefinementFits(e.columnCurves, e.rowCurves))
        return false;
    try {
        CurveSet columns = Refined(e.columnCurves);
        CurveSet rows = Refined(e.rowCurves);
        NodeGrid grid = e.nodeGrid;
        RecomputeNodeGrid(columns, rows, grid);
        e.columnCurves.swap(columns);
        e.rowCurves.swap(rows);
        e.nodeGrid.swap(grid);
        MarkContentChanged(e);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

// interactionMode, dragRow and dragColumn are left alone: a stroke or node drag
// under way finds its curve or node gone and adds or moves nothing.
void ClearMesh(MeshEditState& e)
{
    e.columnCurves.clear();
    e.rowCurves.clear();
    RecomputeNodeGrid(e.columnCurves, e.rowCurves, e.nodeGrid);
    MarkContentChanged(e);
}

bool RefineMeshRecorded(EditHistory& history, MeshEditState& e)
{
    if (!RefinementFits(e.columnCurves, e.rowCurves))
        return false;
    history.Begin(EditKind::Mesh, e);
    if (!RefineMesh(e)) {
        history.Cancel();  // out of memory: the mesh is as it was
        return false;
    }
    history.Commit(e);
    return true;
}
