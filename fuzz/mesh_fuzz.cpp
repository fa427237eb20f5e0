// Fuzzes the mesh editing core: curves anywhere in the signed 32-bit plane, then strokes,
// deletions, node drags, refinement, clearing, family keys, wheel zoom and pane positions
// in any order, checked against exact 128-bit crossings and the grid and refinement rules.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <limits>
#include <vector>

#include "mesh/curves.h"
#include "mesh/editing.h"
#include "app/pane_input.h"
#include "mesh/int_math.h"
#include "mesh/node_grid.h"
#include "mesh/refine.h"
#include "tests/reference_mesh.h"

namespace {

// The editing state with ResultPane's zoom beside it, as the program keeps it.
struct FuzzEditor : MeshEditState {
    float resultZoom = 1.0f;
};

// One recompute tests at most (column points) x (row points) segment pairs; operations that
// would push that product past the budget are skipped, so one input stays fast.
constexpr uint64_t kPairBudget = 1u << 13;
constexpr size_t kMaxCurvePoints = 16;

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "mesh fuzz: %s\n", what);
    std::abort();
}

void Check(bool ok, const char* what)
{
    if (!ok)
        Fail(what);
}

int32_t PickCoordinate(FuzzedDataProvider& in)
{
    // clang-format off
    static constexpr int32_t kEdges[] = {
        std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min() + 1,
        -(1 << 19) - 1, -(1 << 19), -32768, -1, 0, 1, 32767, 1 << 19, (1 << 19) + 1,
        std::numeric_limits<int32_t>::max() - 1, std::numeric_limits<int32_t>::max()};
    // clang-format on
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return in.ConsumeIntegralInRange<int32_t>(-40, 120);  // meshes that really cross
    case 1: return in.PickValueInArray(kEdges);
    case 2: return in.ConsumeIntegralInRange<int32_t>(-70000, 70000);
    default: return in.ConsumeIntegral<int32_t>();
    }
}

Point PickPoint(FuzzedDataProvider& in) { return {PickCoordinate(in), PickCoordinate(in)}; }

size_t CountPoints(const CurveSet& set)
{
    size_t n = 0;
    for (const Curve& c : set)
        n += c.size();
    return n;
}

uint64_t PairWork(const CurveSet& columns, const CurveSet& rows)
{
    return uint64_t(CountPoints(columns) + 1) * (CountPoints(rows) + 1);
}

CurveSet& StrokeSet(MeshEditState& e)
{
    return e.strokeFamily == CurveFamily::Columns ? e.columnCurves : e.rowCurves;
}

// The crossing of the lines through P-Q and A-B in 128-bit arithmetic, where no product of
// 32-bit differences can overflow: the oracle for CrossSegments at any coordinate.
SegmentCrossing ExactCrossing(Point p, Point q, Point a, Point b)
{
    using Wide = Int128;
    const Wide dRx = Wide(q.x) - p.x, dRy = Wide(q.y) - p.y;
    const Wide dCx = Wide(b.x) - a.x, dCy = Wide(b.y) - a.y;
    const Wide den = dRx * dCy - dRy * dCx;
    SegmentCrossing r;
    if (den == 0)
        return r;
    r.found = true;
    const Wide num = (Wide(a.x) - p.x) * dCy - (Wide(a.y) - p.y) * dCx;
    const Wide x = p.x + num * dRx / den;
    const Wide y = p.y + num * dRy / den;
    auto between = [](Wide v, int32_t e0, int32_t e1) {
        return (v >= e0 && v <= e1) || (v >= e1 && v <= e0);
    };
    r.onFirst = between(x, p.x, q.x) && between(y, p.y, q.y);
    r.onSecond = between(x, a.x, b.x) && between(y, a.y, b.y);
    if (r.onFirst || r.onSecond) {
        r.x = int32_t(x);
        r.y = int32_t(y);
    }
    return r;
}

void CheckCrossing(Point p, Point q, Point a, Point b)
{
    const SegmentCrossing got = CrossSegments(p, q, a, b);
    const SegmentCrossing want = ExactCrossing(p, q, a, b);
    Check(got.found == want.found, "CrossSegments: found differs from exact arithmetic");
    Check(got.onFirst == want.onFirst, "CrossSegments: onFirst differs from exact arithmetic");
    Check(got.onSecond == want.onSecond, "CrossSegments: onSecond differs from exact arithmetic");
    if (want.onFirst || want.onSecond)
        Check(got.x == want.x && got.y == want.y, "CrossSegments: point differs");
}

CurveSet ReferenceMidCurves(const CurveSet& set)
{
    CurveSet result;
    for (size_t i = 0; i < set.size(); ++i) {
        result.push_back(set[i]);
        if (i + 1 == set.size())
            break;
        const Curve& a = set[i];
        const Curve& b = set[i + 1];
        Curve m;
        for (size_t j = 0; j < a.size(); ++j) {
            const Point pb = b[j * b.size() / a.size()];
            m.push_back(
                {int32_t((int64_t(a[j].x) + pb.x) / 2), int32_t((int64_t(a[j].y) + pb.y) / 2)});
        }
        result.push_back(std::move(m));
    }
    return result;
}

void CheckShape(const MeshEditState& e)
{
    for (const CurveSet* set : {&e.columnCurves, &e.rowCurves})
        for (const Curve& c : *set)
            Check(!c.empty(), "a curve without points");
    if (e.interactionMode == InteractionMode::Stroke)
        return;  // the family being drawn is one curve ahead of the grid
    Check(e.nodeGrid.size() == e.rowCurves.size(), "grid rows differ from the row curves");
    for (const NodeRow& row : e.nodeGrid)
        Check(row.size() == e.columnCurves.size(), "grid row length differs from the columns");
}

void CheckCanvas(const MeshEditState& e)
{
    int64_t maxX = 0, maxY = 0;
    for (const CurveSet* set : {&e.columnCurves, &e.rowCurves}) {
        for (const Curve& c : *set) {
            for (Point p : c) {
                maxX = p.x > maxX ? p.x : maxX;
                maxY = p.y > maxY ? p.y : maxY;
            }
        }
    }
    int32_t w = -1, h = -1;
    MeasureCanvas(e.columnCurves, e.rowCurves, w, h);
    const int64_t kMax = std::numeric_limits<int32_t>::max();
    Check(w == (maxX + 2 > kMax ? kMax : maxX + 2), "canvas width");
    Check(h == (maxY + 2 > kMax ? kMax : maxY + 2), "canvas height");
}

Curve PickCurve(FuzzedDataProvider& in)
{
    Curve c(in.ConsumeIntegralInRange<size_t>(1, kMaxCurvePoints));
    for (Point& p : c)
        p = PickPoint(in);
    return c;
}

// A press position: anywhere, at a label spot, at a node, or from a pane position at the
// current zoom, so deletions and drags really happen.
Point PickPress(FuzzedDataProvider& in, const FuzzEditor& e)
{
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: {
        const CurveSet& set = in.ConsumeBool() ? e.columnCurves : e.rowCurves;
        if (set.empty() || set[0].empty())
            break;
        const Curve& c = set[in.ConsumeIntegralInRange<size_t>(0, set.size() - 1)];
        if (c.empty())
            break;
        const int64_t dx = in.ConsumeIntegralInRange<int>(-12, 12);
        const int64_t dy = in.ConsumeIntegralInRange<int>(-12, 12);
        return {SaturateToInt32(int64_t(c[0].x) + kLabelSpotOffset + dx),
                SaturateToInt32(int64_t(c[0].y) + kLabelSpotOffset + dy)};
    }
    case 1: {
        if (e.nodeGrid.empty())
            break;
        const NodeRow& row =
            e.nodeGrid[in.ConsumeIntegralInRange<size_t>(0, e.nodeGrid.size() - 1)];
        if (row.empty())
            break;
        const MeshNode& n = row[in.ConsumeIntegralInRange<size_t>(0, row.size() - 1)];
        return {SaturateToInt32(int64_t(n.x) + in.ConsumeIntegralInRange<int>(-9, 9)),
                SaturateToInt32(int64_t(n.y) + in.ConsumeIntegralInRange<int>(-9, 9))};
    }
    case 2: return PanePointFromLParam(in.ConsumeIntegral<uint32_t>(), e.resultZoom);
    default: break;
    }
    return PickPoint(in);
}

void Recompute(MeshEditState& e)
{
    NodeGrid want = e.nodeGrid;
    ReferenceRecompute(e.columnCurves, e.rowCurves, want, ExactCrossing);
    RecomputeNodeGrid(e.columnCurves, e.rowCurves, e.nodeGrid);
    Check(e.nodeGrid == want, "RecomputeNodeGrid differs from the exact grid rules");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    FuzzEditor e;

    // The starting curves, as a scene file gives them: loaded, then one recompute.
    const size_t startCurves = in.ConsumeIntegralInRange<size_t>(0, 8);
    for (size_t i = 0; i < startCurves; ++i) {
        Curve c = PickCurve(in);
        CurveSet& set = in.ConsumeBool() ? e.columnCurves : e.rowCurves;
        set.push_back(std::move(c));
        if (PairWork(e.columnCurves, e.rowCurves) > kPairBudget)
            set.pop_back();
    }
    Recompute(e);

    for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
        switch (in.ConsumeIntegralInRange<int>(0, 14)) {
        case 0:  // left button down
            if (PairWork(e.columnCurves, e.rowCurves) < kPairBudget)
                BeginStroke(e, PickPress(in, e));
            break;
        case 1:
        case 2: {  // mouse moves
            const int moves = in.ConsumeIntegralInRange<int>(1, 8);
            for (int i = 0; i < moves; ++i) {
                const CurveSet& set = StrokeSet(e);
                const size_t before = set.empty() ? 0 : set.back().size();
                const bool stroking = e.interactionMode == InteractionMode::Stroke;
                if (PairWork(e.columnCurves, e.rowCurves) >= kPairBudget)
                    break;
                const Point p = PickPress(in, e);
                ExtendStroke(e, p);
                TrackNodeDrag(e, p);
                if (stroking && !set.empty())
                    Check(set.back().size() >= before, "a stroke lost points");
            }
            break;
        }
        case 3: EndStroke(e); break;  // left button up
        case 4: {                     // right button down
            const InteractionMode before = e.interactionMode;
            const RightPressResult r = RightButtonDown(e, PickPress(in, e));
            if (before == InteractionMode::Stroke || before == InteractionMode::NodeDrag)
                Check(r == RightPressResult::Ignored && e.interactionMode == before,
                      "a right press acted during a stroke or drag");
            break;
        }
        case 5: {  // right button up
            const bool dragging = e.interactionMode == InteractionMode::NodeDrag;
            const size_t columnPoints = CountPoints(e.columnCurves);
            const size_t rowPoints = CountPoints(e.rowCurves);
            const Point p = PickPress(in, e);
            const bool moved = RightButtonUp(e, p);
            Check(!moved || dragging, "RightButtonUp moved a node without a drag");
            if (dragging)
                Check(e.interactionMode == InteractionMode::Idle, "a drag outlived its release");
            Check(CountPoints(e.columnCurves) == columnPoints &&
                      CountPoints(e.rowCurves) == rowPoints,
                  "a node drag changed point counts");
            if (moved && e.dragRow >= 0 && size_t(e.dragRow) < e.nodeGrid.size() &&
                e.dragColumn >= 0 && size_t(e.dragColumn) < e.nodeGrid[e.dragRow].size()) {
                const MeshNode& n = e.nodeGrid[e.dragRow][e.dragColumn];
                Check(n.x == p.x && n.y == p.y, "the dragged node is not at the release");
            }
            break;
        }
        case 6:  // keys H and T
            e.activeFamily = in.ConsumeBool() ? CurveFamily::Columns : CurveFamily::Rows;
            break;
        case 7: {  // key W
            if (PairWork(e.columnCurves, e.rowCurves) * 4 > kPairBudget)
                break;
            const CurveSet columns = ReferenceMidCurves(e.columnCurves);
            const CurveSet rows = ReferenceMidCurves(e.rowCurves);
            NodeGrid grid = e.nodeGrid;
            ReferenceRecompute(columns, rows, grid, ExactCrossing);
            if (RefineMesh(e)) {
                Check(e.columnCurves == columns && e.rowCurves == rows,
                      "RefineMesh differs from the mean-curve rule");
                Check(e.nodeGrid == grid, "RefineMesh left a grid that differs");
            }
            break;
        }
        case 8:  // Delete
            ClearMesh(e);
            Check(e.columnCurves.empty() && e.rowCurves.empty() && e.nodeGrid.empty(),
                  "ClearMesh left something");
            break;
        case 9: {  // wheel
            const float before = e.resultZoom;
            const uint32_t wParam = in.ConsumeIntegral<uint32_t>();
            e.resultZoom = ApplyWheelZoom(e.resultZoom, wParam);
            if (before > 0.0f)
                Check(e.resultZoom >= 0.0f, "the zoom changed sign");
            Check(std::isnormal(e.resultZoom), "the zoom left the normal floats");
            break;
        }
        case 10: {  // a curve appended and sorted as at the end of a stroke
            if (e.interactionMode == InteractionMode::Stroke)
                break;
            Curve c = PickCurve(in);
            CurveSet& set = in.ConsumeBool() ? e.columnCurves : e.rowCurves;
            set.push_back(std::move(c));
            if (PairWork(e.columnCurves, e.rowCurves) > kPairBudget) {
                set.pop_back();
                break;
            }
            Recompute(e);
            SortCurvesByNodes(e.columnCurves, e.rowCurves, CurveFamily::Columns, e.nodeGrid);
            SortCurvesByNodes(e.rowCurves, e.columnCurves, CurveFamily::Rows, e.nodeGrid);
            break;
        }
        case 11: CheckCrossing(PickPoint(in), PickPoint(in), PickPoint(in), PickPoint(in)); break;
        case 12: {  // a direct drag of any node that exists
            if (e.interactionMode == InteractionMode::Stroke || e.nodeGrid.empty() ||
                e.nodeGrid[0].empty())
                break;
            e.dragRow = in.ConsumeIntegralInRange<int32_t>(0, int32_t(e.nodeGrid.size()) - 1);
            e.dragColumn = in.ConsumeIntegralInRange<int32_t>(0, int32_t(e.nodeGrid[0].size()) - 1);
            const Point p = PickPoint(in);
            MoveNode(e, p.x, p.y);
            const MeshNode& n = e.nodeGrid[e.dragRow][e.dragColumn];
            Check(n.x == p.x && n.y == p.y, "MoveNode did not place the node");
            break;
        }
        case 13: {  // a command or a lost capture during a stroke or a node drag
            const bool busy = e.interactionMode == InteractionMode::Stroke ||
                              e.interactionMode == InteractionMode::NodeDrag;
            Check(EndStrokeOrNodeDrag(e) == busy, "EndStrokeOrNodeDrag misjudged the mode");
            if (busy)
                Check(e.interactionMode == InteractionMode::Idle,
                      "a stroke or drag outlived its end");
            break;
        }
        default:
            if (e.interactionMode != InteractionMode::Stroke)
                Recompute(e);
            break;
        }
        CheckShape(e);
        CheckCanvas(e);
    }
    return 0;
}
