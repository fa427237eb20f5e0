// Mouse editing of the result pane as plain operations on MeshEditState: strokes and their
// reclassification, curve deletion, node picking and dragging, and the input conversions.
#include "mesh/editing.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "mesh/int_math.h"

namespace {

constexpr int32_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int32_t kInt32Min = std::numeric_limits<int32_t>::min();

// Differences come in as int64 so that no coordinate pair overflows; the square root is
// taken in double.
double Distance(int64_t dx, int64_t dy)
{
    const double fx = static_cast<double>(dx);
    const double fy = static_cast<double>(dy);
    return std::sqrt(fx * fx + fy * fy);
}

double Distance(Point a, Point b) { return Distance(int64_t(a.x) - b.x, int64_t(a.y) - b.y); }

CurveSet& FamilySet(MeshEditState& e, CurveFamily family)
{
    return family == CurveFamily::Columns ? e.columnCurves : e.rowCurves;
}

// One signed 16-bit coordinate of a mouse position divided by the zoom. A zoom of exactly 0 is
// not divided by: the result is what IEEE division would give (an infinity, or NaN for
// 0 / 0), saturated like every other quotient.
int32_t PaneCoordinate(int16_t position, float zoom)
{
    const float v = static_cast<float>(position);
    if (zoom == 0.0f) {
        if (v == 0.0f)
            return 0;
        return (v < 0.0f) != std::signbit(zoom) ? kInt32Min : kInt32Max;
    }
    return TruncateFloatToInt32(v / zoom);
}

// numerator * d / denominator, truncated. Callers keep |numerator| <= |denominator|, so
// the quotient is no larger than |d|; the product is formed in 128 bits so that even
// indices far apart cannot overflow it.
int64_t StretchShift(int64_t numerator, int64_t d, int64_t denominator)
{
    return static_cast<int64_t>(Int128(numerator) * d / denominator);
}

void ShiftPoint(Point& pt, int64_t shiftX, int64_t shiftY)
{
    pt.x = SaturateToInt32(pt.x + shiftX);
    pt.y = SaturateToInt32(pt.y + shiftY);
}

// Points from a neighbour's index n up to the node's own index q get (k - n) / (q - n) of
// the displacement: none at n, all of it at q. Toward the next neighbour s the share is
// written (s - k) / (s - q); that is the same quotient with both signs turned, which
// truncation toward zero leaves alone. The point at q moves only with the previous
// neighbours. Indices the curve does not have are cut off; the points that remain keep the
// shift they would have had.
void BendStretch(Curve& curve, int32_t n, int32_t q, int64_t dx, int64_t dy, bool movesOwnPoint)
{
    if (n == q || curve.empty())
        return;
    const int64_t last = static_cast<int64_t>(curve.size()) - 1;
    const int64_t from = std::max<int64_t>(std::min(n, q), 0);
    const int64_t to = std::min<int64_t>(std::max(n, q), last);
    for (int64_t k = from; k <= to; ++k) {
        if (k == q && !movesOwnPoint)
            continue;
        ShiftPoint(curve[size_t(k)], StretchShift(k - n, dx, int64_t(q) - n),
                   StretchShift(k - n, dy, int64_t(q) - n));
    }
}

const MeshNode* NodeAt(const NodeGrid& grid, int64_t row, int64_t column)
{
    if (row < 0 || column < 0 || size_t(row) >= grid.size() ||
        size_t(column) >= grid[size_t(row)].size())
        return nullptr;
    return &grid[size_t(row)][size_t(column)];
}

}  // namespace

Point PanePoint(int16_t x, int16_t y, float zoom)
{
    return Point{PaneCoordinate(x, zoom), PaneCoordinate(y, zoom)};
}

// A step whose result is not a normal finite float (about 930 steps in from 1 it would
// overflow to infinity, about 916 out it would turn subnormal) is not taken: the zoom stays
// where it is, and every zoom short of that is what plain float arithmetic gives.
float ZoomByWheelNotches(float zoom, int32_t notches)
{
    const float stepped = notches > 0 ? zoom / kWheelZoomFactor : zoom * kWheelZoomFactor;
    return std::isnormal(stepped) ? stepped : zoom;
}

void BeginStroke(MeshEditState& e, Point p)
{
    if (e.interactionMode == InteractionMode::Stroke ||
        e.interactionMode == InteractionMode::NodeDrag)
        return;
    FamilySet(e, e.activeFamily).push_back(Curve{p});
    e.strokeFamily = e.activeFamily;
    e.interactionMode = InteractionMode::Stroke;
}

// The points go to the last curve of the family the stroke began in: a key that changes
// activeFamily during the stroke counts from the next stroke on. While the pointer stays
// within 5 pixels of the second-to-last point the last point follows it instead of new points
// piling up; the first two moves always append. A family left without curves gets nothing.
bool ExtendStroke(MeshEditState& e, Point p)
{
    if (e.interactionMode != InteractionMode::Stroke)
        return false;
    CurveSet& set = FamilySet(e, e.strokeFamily);
    if (set.empty())
        return false;
    Curve& curve = set.back();
    const size_t n = curve.size();
    if (n >= 3 && Distance(p, curve[n - 2]) < kThinningDistance)
        curve.pop_back();
    curve.push_back(p);
    return true;
}

void TrackNodeDrag(MeshEditState& e, Point p)
{
    if (e.interactionMode == InteractionMode::NodeDrag)
        e.lastPointer = p;
}

bool EndStroke(MeshEditState& e)
{
    if (e.interactionMode != InteractionMode::Stroke)
        return false;
    e.interactionMode = InteractionMode::Idle;
    ReclassifyLastColumnCurve(e.columnCurves, e.rowCurves);
    RecomputeNodeGrid(e.columnCurves, e.rowCurves, e.nodeGrid);
    SortCurvesByNodes(e.columnCurves, e.rowCurves, CurveFamily::Columns, e.nodeGrid);
    SortCurvesByNodes(e.rowCurves, e.columnCurves, CurveFamily::Rows, e.nodeGrid);
    MarkContentChanged(e);
    return true;
}

// A deletion takes precedence over a node pick, and a column curve over a row curve. Of
// several nodes in reach the last in row-by-row order is dragged. The pick is skipped when
// the grid does not have the shape of the two sets.
RightPressResult RightButtonDown(MeshEditState& e, Point p)
{
    if (e.interactionMode == InteractionMode::Stroke ||
        e.interactionMode == InteractionMode::NodeDrag)
        return RightPressResult::Ignored;
    e.pressPoint = p;
    if (DeleteCurveAt(e.columnCurves, p) || DeleteCurveAt(e.rowCurves, p)) {
        RecomputeNodeGrid(e.columnCurves, e.rowCurves, e.nodeGrid);
        MarkContentChanged(e);
        return RightPressResult::CurveDeleted;
    }
    const size_t rowCount = e.rowCurves.size();
    const size_t columnCount = e.columnCurves.size();
    if (!GridHasShape(e.nodeGrid, rowCount, columnCount))
        return RightPressResult::Pressed;
    for (size_t i = 0; i < rowCount; ++i) {
        for (size_t j = 0; j < columnCount; ++j) {
            const MeshNode& node = e.nodeGrid[i][j];
            if (Distance(p, Point{node.x, node.y}) < kHitRadius) {
                e.dragRow = static_cast<int32_t>(i);
                e.dragColumn = static_cast<int32_t>(j);
                e.interactionMode = InteractionMode::NodeDrag;
                e.lastPointer = p;
            }
        }
    }
    return RightPressResult::Pressed;
}

bool RightButtonUp(MeshEditState& e, Point p)
{
    if (e.interactionMode != InteractionMode::NodeDrag)
        return false;
    MoveNode(e, p.x, p.y);
    e.interactionMode = InteractionMode::Idle;
    return true;
}

// A stroke's release does not look at where it happens; a node drag moves its node to the
// last position it saw, the press point when no move came.
bool EndStrokeOrNodeDrag(MeshEditState& e)
{
    if (e.interactionMode == InteractionMode::NodeDrag)
        return RightButtonUp(e, e.lastPointer);
    return EndStroke(e);
}

// The label spot lies 8 pixels right of and 8 below a curve's first point, inside its index
// label; a curve without points has no spot and is passed over.
bool DeleteCurveAt(CurveSet& set, Point p)
{
    for (size_t i = 0; i < set.size(); ++i) {
        if (set[i].empty())
            continue;
        const Point first = set[i].front();
        const int64_t dx = int64_t(p.x) - first.x - kLabelSpotOffset;
        const int64_t dy = int64_t(p.y) - first.y - kLabelSpotOffset;
        if (Distance(dx, dy) < kHitRadius) {
            set.erase(set.begin() + static_cast<ptrdiff_t>(i));
            return true;
        }
    }
    return false;
}

// The set's last curve is never tested: among the column curves it is the stroke itself,
// and the last row curve is skipped just the same. Only full crossings count.
bool StrokeCrossesCurves(const Curve& stroke, const CurveSet& set, size_t i)
{
    if (set.size() < 2 || i < 1 || i >= stroke.size())
        return false;
    const Point a = stroke[i - 1];
    const Point b = stroke[i];
    for (size_t t = 0; t + 1 < set.size(); ++t) {
        const Curve& curve = set[t];
        for (size_t j = 1; j < curve.size(); ++j) {
            const SegmentCrossing s = CrossSegments(a, b, curve[j - 1], curve[j]);
            if (s.onFirst && s.onSecond)
                return true;
        }
    }
    return false;
}

// The first segment of the last column curve, counted from its start, that crosses
// anything decides; within one segment a column crossing takes precedence.
void ReclassifyLastColumnCurve(CurveSet& columns, CurveSet& rows)
{
    if (columns.size() < 2)
        return;
    const Curve& stroke = columns.back();
    for (size_t i = 1; i < stroke.size(); ++i) {
        if (StrokeCrossesCurves(stroke, columns, i)) {
            rows.push_back(std::move(columns.back()));
            columns.pop_back();
            return;
        }
        if (StrokeCrossesCurves(stroke, rows, i))
            return;
    }
}

// A drag whose node or needed neighbours are gone (the mesh was cleared or the grid does
// not match the sets) moves nothing. The displacement and every shift are 64-bit; moved
// coordinates saturate to int32.
void MoveNode(MeshEditState& e, int32_t x, int32_t y)
{
    const int64_t i = e.dragRow;
    const int64_t j = e.dragColumn;
    const int64_t rowCount = static_cast<int64_t>(e.rowCurves.size());
    const int64_t columnCount = static_cast<int64_t>(e.columnCurves.size());
    if (i < 0 || j < 0 || i >= rowCount || j >= columnCount)
        return;
    const NodeGrid& grid = e.nodeGrid;
    const MeshNode* node = NodeAt(grid, i, j);
    const MeshNode* previousColumn = j > 0 ? NodeAt(grid, i, j - 1) : nullptr;
    const MeshNode* previousRow = i > 0 ? NodeAt(grid, i - 1, j) : nullptr;
    const MeshNode* nextColumn = j < columnCount - 1 ? NodeAt(grid, i, j + 1) : nullptr;
    const MeshNode* nextRow = i < rowCount - 1 ? NodeAt(grid, i + 1, j) : nullptr;
    if (!node || (j > 0 && !previousColumn) || (i > 0 && !previousRow) ||
        (j < columnCount - 1 && !nextColumn) || (i < rowCount - 1 && !nextRow))
        return;

    const int64_t dx = int64_t(x) - node->x;
    const int64_t dy = int64_t(y) - node->y;
    Curve& rowCurve = e.rowCurves[size_t(i)];
    Curve& columnCurve = e.columnCurves[size_t(j)];
    if (previousColumn)
        BendStretch(rowCurve, previousColumn->rowPointIndex, node->rowPointIndex, dx, dy, true);
    if (previousRow)
        BendStretch(columnCurve, previousRow->columnPointIndex, node->columnPointIndex, dx, dy,
                    true);
    if (nextColumn)
        BendStretch(rowCurve, nextColumn->rowPointIndex, node->rowPointIndex, dx, dy, false);
    if (nextRow)
        BendStretch(columnCurve, nextRow->columnPointIndex, node->columnPointIndex, dx, dy, false);
    MeshNode& moved = e.nodeGrid[size_t(i)][size_t(j)];
    moved.x = x;
    moved.y = y;
    MarkContentChanged(e);
}
