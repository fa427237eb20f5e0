// Where ResultPane's paints spend their time, for the Wine benchmark. Off unless the
// environment variable VORLIN_PAINT_TIMINGS names a file: every paint then appends one line
// to it, the microseconds of each phase in the order of PaintPhase, then the total.
#pragma once

#include <cstdint>

enum class PaintPhase {
    Setup,     // the offscreen and its graphics context
    Clear,     // clearing the offscreen to the background colour
    Backdrop,  // drawing BackdropImage
    Warp,      // rendering the warp
    Reuse,     // copying a kept layer instead of clearing, drawing and warping
    Overlays,  // curves, labels, points, nodes and the zoom label
    Final,     // the draw into the window
    Count
};

class PaintClock {
public:
    PaintClock();
    ~PaintClock();  // appends the line when timings are on
    PaintClock(const PaintClock&) = delete;
    PaintClock& operator=(const PaintClock&) = delete;
    // The time since the previous mark (or the start) goes to `phase`.
    void Mark(PaintPhase phase);

private:
    int64_t last_ = 0;
    int64_t start_ = 0;
    int64_t spent_[static_cast<int>(PaintPhase::Count)] = {};
};
