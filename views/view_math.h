// Pane painting arithmetic that needs no window: offscreen sizes, zoomed lengths, which
// overlays a mesh of a given size gets, and the zoom label's text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Largest offscreen side and area a paint will ask for. A zoom near zero (a thousand wheel
// notches out) would otherwise ask for a bitmap of billions of pixels, and a few dozen
// notches for one that takes seconds to clear, draw and scale on every repaint; at 2^24
// pixels a paint stays under about a second. A larger offscreen is not made, and the paint
// is skipped as when the bitmap cannot be had.
inline constexpr int32_t kMaxOffscreenSide = 16384;
inline constexpr uint64_t kMaxOffscreenPixels = uint64_t(1) << 24;

inline constexpr size_t kOverlayCurveLimit = 100;  // any overlay at all: both sets below it
inline constexpr size_t kNodeDotLimit = 16;        // white nodes: both sets below it
inline constexpr size_t kLabelLimit = 20;          // index labels: the set drawn below it
inline constexpr size_t kThinPenCount = 16;        // pen 1.0 instead of 3.0 from this count

// trunc(float(clientExtent) / zoom), or 0 when that is not a side in 1..kMaxOffscreenSide.
int32_t OffscreenSide(int32_t clientExtent, float zoom);
// Whether an offscreen of these sides (from OffscreenSide) is made: both at least 1 and
// the area within kMaxOffscreenPixels.
bool OffscreenFits(int32_t width, int32_t height);
// trunc(float(value) * zoom), saturated to int32 (NaN gives 0).
int32_t ScaleLength(int64_t value, float zoom);
// v - 1 without overflow: the corner of a 3 x 3 dot centred on v.
int32_t DotCorner(int32_t v);

// What the result pane draws over the warp for a mesh of these curve counts; the painter
// takes every decision from here.
struct OverlayPlan {
    bool curves = false;  // curves, their points and (with nodes) the mesh nodes
    bool nodes = false;
    bool columnLabels = false;  // each column curve's index
    bool rowLabels = false;
    float columnPenWidth = 3.0f;  // the width of the column curves' lines
    float rowPenWidth = 3.0f;
};
OverlayPlan PlanOverlays(size_t columnCount, size_t rowCount);

// The zoom, widened to double, as "%f" prints it (1.0f gives "1.000000").
std::wstring FormatZoomLabel(float zoom);
std::wstring FormatCurveIndex(size_t index);
