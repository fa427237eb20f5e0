#include "app/pane_input.h"

#include "mesh/editing.h"

Point PanePointFromLParam(uint32_t lParam, float zoom)
{
    return PanePoint(static_cast<int16_t>(static_cast<uint16_t>(lParam & 0xFFFFu)),
                     static_cast<int16_t>(static_cast<uint16_t>(lParam >> 16)), zoom);
}

// A positive delta below one notch gives 0 notches and so zooms in, like a negative one.
float ApplyWheelZoom(float zoom, uint32_t wParam)
{
    const int32_t delta = static_cast<int16_t>(static_cast<uint16_t>(wParam >> 16));
    return ZoomByWheelNotches(zoom, delta / kWheelStep);
}
