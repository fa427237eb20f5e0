// Curves, the two curve families and the canvas they span.
#pragma once

#include <cstdint>
#include <vector>

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

using Curve = std::vector<Point>;     // points in drawing order; segment i joins i-1 to i
using CurveSet = std::vector<Curve>;  // index in the set = column or row number in the mesh

enum class CurveFamily { Columns = 0, Rows = 1 };

// The marked source rectangle; width < 0 means nothing is marked.
struct SelectionRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = -1;
    int32_t height = 0;
    friend bool operator==(const SelectionRect&, const SelectionRect&) = default;
};

// canvas = max(0, greatest x or y of any point) + 2, saturated to int32.
void MeasureCanvas(const CurveSet& columns, const CurveSet& rows, int32_t& canvasWidth,
                   int32_t& canvasHeight);
