// Pane layout arithmetic in client pixels; every division truncates toward zero.
#include "app/layout.h"

#include "mesh/int_math.h"

// Sizes come from the window system and stay far inside int32, but a split dragged or
// computed from odd extents is formed in 64 bits and saturated, so no sum can overflow.
static int32_t Sum(int64_t a, int64_t b, int64_t c = 0) { return SaturateToInt32(a + b + c); }

PaneLayout ComputePaneLayout(LayoutMode mode, int32_t width, int32_t height, int32_t splitX,
                             int32_t splitY, int32_t selectionWidth)
{
    if (splitX <= 0)
        splitX = Sum(width, -kSplitterThickness) / 2;
    if (splitY <= 0)
        splitY = Sum(height, -kSplitterThickness) / 2;

    PaneLayout layout;
    switch (mode) {
    case LayoutMode::SideBySide:
        layout.source = {0, 0, splitX, height};
        layout.splitter = {splitX, 0, kSplitterThickness, height};
        layout.result = {Sum(splitX, kSplitterThickness), 0,
                         Sum(width, -int64_t(splitX), -kSplitterThickness), height};
        break;
    case LayoutMode::Stacked:
        layout.source = {0, 0, width, splitY};
        layout.splitter = {0, splitY, width, kSplitterThickness};
        layout.result = {0, Sum(splitY, kSplitterThickness), width,
                         Sum(height, -int64_t(splitY), -kSplitterThickness)};
        break;
    case LayoutMode::Single:
        // the sign of the width alone decides: -1 before any rectangle is marked
        if (selectionWidth < 0)
            layout.source = {0, 0, width, height};
        else
            layout.result = {0, 0, width, height};
        break;
    }
    return layout;
}

std::optional<Point> ProportionalSplit(PaneSize source, PaneSize result, PaneSize main,
                                       bool mainMinimised)
{
    // A minimised MainWindow has an empty client area; laying out then would shrink both
    // panes to nothing and lose the proportion for the restore.
    if (mainMinimised)
        return std::nullopt;
    int64_t sumX = int64_t(source.width) + result.width;
    int64_t sumY = int64_t(source.height) + result.height;
    if (sumX <= 0 || sumY <= 0)
        return std::nullopt;
    // product first, then the division
    int64_t splitX = (int64_t(main.width) - kSplitterThickness) * source.width / sumX;
    int64_t splitY = (int64_t(main.height) - kSplitterThickness) * source.height / sumY;
    return Point{SaturateToInt32(splitX), SaturateToInt32(splitY)};
}

Point SplitterDragSplit(Point splitterOrigin, Point pressPoint, Point pointer)
{
    return {Sum(splitterOrigin.x, pointer.x, -int64_t(pressPoint.x)),
            Sum(splitterOrigin.y, pointer.y, -int64_t(pressPoint.y))};
}

LayoutMode NextLayoutMode(LayoutMode mode)
{
    return static_cast<LayoutMode>((static_cast<int>(mode) + 1) % 3);
}

static bool Holds(const PaneRect& r, int64_t x, int64_t y)
{
    return x >= r.x && x < int64_t(r.x) + r.width && y >= r.y && y < int64_t(r.y) + r.height;
}

WheelTarget WheelTargetAt(uint32_t lParam, Point clientOrigin, const PaneRect& source,
                          const PaneRect& result)
{
    // screen coordinates are signed: a monitor left of or above the primary one is negative
    const int64_t x = int64_t(static_cast<int16_t>(lParam & 0xFFFF)) - clientOrigin.x;
    const int64_t y = int64_t(static_cast<int16_t>(lParam >> 16)) - clientOrigin.y;
    if (Holds(source, x, y))
        return WheelTarget::SourcePane;
    if (Holds(result, x, y))
        return WheelTarget::ResultPane;
    return WheelTarget::None;
}
