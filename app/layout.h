// Where SourcePane, the Splitter and ResultPane go in MainWindow's client area, and the
// other arithmetic of the shell that needs no window: wheel routing and the split drag.
#pragma once

#include <cstdint>
#include <optional>

#include "mesh/curves.h"

enum class LayoutMode { SideBySide = 0, Stacked = 1, Single = 2 };

inline constexpr int32_t kSplitterThickness = 4;

struct PaneRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    friend bool operator==(const PaneRect&, const PaneRect&) = default;
};

struct PaneLayout {
    PaneRect source;
    PaneRect splitter;
    PaneRect result;
    friend bool operator==(const PaneLayout&, const PaneLayout&) = default;
};

struct PaneSize {
    int32_t width = 0;
    int32_t height = 0;
};

// The three rectangles for a client area of width x height; a split of 0 or less is the middle.
PaneLayout ComputePaneLayout(LayoutMode mode, int32_t width, int32_t height, int32_t splitX,
                             int32_t splitY, int32_t selectionWidth);
// The split that keeps SourcePane's share; none when a sum is 0 or less or MainWindow is minimised.
std::optional<Point> ProportionalSplit(PaneSize source, PaneSize result, PaneSize main,
                                       bool mainMinimised);
// The split during a Splitter drag: origin + pointer - press, in MainWindow client pixels.
Point SplitterDragSplit(Point splitterOrigin, Point pressPoint, Point pointer);
LayoutMode NextLayoutMode(LayoutMode mode);
enum class WheelTarget { None, SourcePane, ResultPane };
// The pane MainWindow passes a wheel message on to: the one whose rectangle (MainWindow
// client pixels) holds the pointer, given as the message's screen position and MainWindow's
// client origin on the screen; none over the Splitter or outside both panes.
WheelTarget WheelTargetAt(uint32_t lParam, Point clientOrigin, const PaneRect& source,
                          const PaneRect& result);
