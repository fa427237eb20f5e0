// The words of the panes' mouse and wheel messages, decoded for the editing core: the
// window procedures hand these the message words as they came.
#pragma once

#include <cstdint>

#include "mesh/curves.h"

// A mouse message's position (its low and high 16 bits, each signed) in unzoomed pixels.
Point PanePointFromLParam(uint32_t lParam, float zoom);
// A wheel message: the signed high 16 bits of its first word, as whole notches, applied to
// the zoom.
float ApplyWheelZoom(float zoom, uint32_t wParam);
