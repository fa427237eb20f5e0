// The canvas that the two curve families span, and the saturation used wherever a wide
// intermediate is stored back into a 32-bit coordinate.
#include "mesh/curves.h"

#include "mesh/int_math.h"

// The canvas always starts at (0, 0): points at negative coordinates never enlarge it, and
// with no points at all it is 2 by 2. The + 2 is taken in 64 bits, so a point at INT32_MAX
// gives INT32_MAX rather than a wrapped size.
void MeasureCanvas(const CurveSet& columns, const CurveSet& rows, int32_t& canvasWidth,
                   int32_t& canvasHeight)
{
    int32_t width = 0;
    int32_t height = 0;
    for (const CurveSet* set : {&columns, &rows}) {
        for (const Curve& curve : *set) {
            for (const Point& pt : curve) {
                if (pt.x > width)
                    width = pt.x;
                if (pt.y > height)
                    height = pt.y;
            }
        }
    }
    canvasWidth = SaturateToInt32(int64_t(width) + 2);
    canvasHeight = SaturateToInt32(int64_t(height) + 2);
}
