// The node grid: every row curve crossed with every column curve.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mesh/curves.h"

struct MeshNode {
    int32_t columnPointIndex = 0;  // end point of the column segment holding the crossing
    int32_t rowPointIndex = 0;     // end point of the row segment holding the crossing
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const MeshNode&, const MeshNode&) = default;
};

using NodeRow = std::vector<MeshNode>;
using NodeGrid = std::vector<NodeRow>;  // grid[r][c]: RowCurves[r] x ColumnCurves[c]

// The integer crossing point of the lines through segment P-Q and segment A-B, with the
// closed bounding-box tests of both segments. Exact for any 32-bit coordinates.
struct SegmentCrossing {
    bool found = false;     // den != 0
    bool onFirst = false;   // (x, y) inside the closed box of P-Q
    bool onSecond = false;  // (x, y) inside the closed box of A-B
    int32_t x = 0;          // meaningful when onFirst or onSecond
    int32_t y = 0;
};
SegmentCrossing CrossSegments(Point p, Point q, Point a, Point b);

// Whether the grid holds exactly rowCount rows of columnCount nodes each.
bool GridHasShape(const NodeGrid& grid, size_t rowCount, size_t columnCount);

void RecomputeNodeGrid(const CurveSet& columns, const CurveSet& rows, NodeGrid& grid);
void SortCurvesByNodes(CurveSet& curves, const CurveSet& others, CurveFamily family,
                       NodeGrid& grid);
