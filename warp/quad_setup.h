// What the pixel loops of the quad warp share: the terms of one quad computed once, the
// source words they read, and the loops themselves, the scalar one and one per instruction
// set (internal to warp/).
#pragma once

#include <cstdint>

#include "warp/pixel_buffer.h"
#include "warp/quad_warp.h"

// Which candidate rule a quad takes; it depends on the corners only.
enum class QuadCase { Vertical = 0, Linear = 1, Quadratic = 2 };

// The per-quad terms of the inverse bilinear solve, each named by the expression it
// holds, so that a pixel loop evaluates k0, k1, t and s in the written order.
struct QuadSetup {
    QuadCase quadCase = QuadCase::Quadratic;
    double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0, x3 = 0.0, y3 = 0.0;
    double ax = 0.0;    // Ax = x0 - x1 - x2 + x3
    double ay = 0.0;    // Ay = y0 - y1 - y2 + y3
    double k2x2 = 0.0;  // 2 * k2
    double k2x4 = 0.0;  // 4 * k2
    // The open range outside which a root's numerator n proves the root n / (2 k2) outside
    // the patch: kScreenLow * 2 k2 to kScreenHigh * 2 k2 (ends swapped when k2 < 0). Where
    // 2 k2 lies between 2^-1000 and 2^1000 in size, both products are normal numbers, a root
    // in the patch has its exact quotient within 2^-53 of its size of the patch, and the
    // products lie within 2^-53 of their size of the exact ones: 1e-6 of margin covers both.
    // Otherwise the range is everything but NaN, whose roots are never accepted.
    double rootLow = 0.0;
    double rootHigh = 0.0;
    double k1b = 0.0;  // (y1 - y3) * (x3 - x2)
    double k1d = 0.0;  // (x1 - x3) * (y3 - y2)
    double y13 = 0.0;  // y1 - y3
    double x13 = 0.0;  // x1 - x3
    double x01 = 0.0;  // x0 - x1, the vertical case's divisor
    double y32 = 0.0;  // y3 - y2
    double y10 = 0.0;  // y1 - y0
    double sourceLeft = 0.0;
    double sourceTop = 0.0;
    double sourceWidth = 0.0;   // sourceRight - sourceLeft
    double sourceHeight = 0.0;  // sourceBottom - sourceTop
    // Visited pixels, both ends inclusive; nothing when a start lies past its end.
    int64_t xStart = 0, xEnd = -1, yStart = 0, yEnd = -1;
    // Every accepted sample point lies within +-2^30 + 4 and every source word index fits
    // in 32 bits, so the vector loops may convert and gather in 32-bit lanes.
    bool narrowSampling = false;
    // Under narrowSampling: every accepted sample point (x, y) has 0 <= x < source width - 1
    // and 0 <= y < source height - 1, so its four neighbours lie in the source wherever
    // x + 1 and y + 1 truncate to the next column and row.
    bool samplesInside = false;
};

// The source's words as the pixel loops read them, copied out of the buffer once per quad so
// that stores to the target cannot make the compiler reload them. The sizes are 64-bit, as
// the scalar loop indexes with them; under narrowSampling the stride and the sizes fit in 32
// bits, and the vector loops narrow them where they read them.
struct SourceWords {
    const uint32_t* pixels = nullptr;
    int64_t strideWords = 0;
    int64_t width = 0;
    int64_t height = 0;

    // The word at (x, y); a neighbour outside the source counts as 0.
    uint32_t At(int64_t x, int64_t y) const
    {
        if (x < 0 || x >= width || y < 0 || y >= height)
            return 0;
        return pixels[y * strideWords + x];
    }
};

// The words of a usable buffer. Inline, so that a loop keeps the fields in registers rather
// than rereading them; static, like the lanes' functions, so that a file built for a wider
// instruction set keeps its copy to itself.
static inline SourceWords WordsOf(const PixelBuffer& source)
{
    return {static_cast<const uint32_t*>(source.pixels), source.stride / 4,
            static_cast<int64_t>(source.width), static_cast<int64_t>(source.height)};
}

inline constexpr double kPatchLow = -kPatchTolerance;
inline constexpr double kPatchHigh = 1.0 + kPatchTolerance;
inline constexpr double kScreenLow = kPatchLow - 1e-6;
inline constexpr double kScreenHigh = kPatchHigh + 1e-6;

// True when the buffer has pixels to read or write: a successful lock of a non-empty image.
bool IsUsableBuffer(const PixelBuffer& buffer);

// Computes the quad's terms and its visited box, limited to rows [rowBegin, rowEnd).
// False when no pixel is visited (or none could be accepted: a NaN corner).
bool PrepareQuad(const QuadWarpJob& quad, const PixelBuffer& source, const PixelBuffer& target,
                 uint32_t rowBegin, uint32_t rowEnd, QuadSetup& setup);

// The pixel loops over a prepared quad; the buffers are usable. The vector loops need
// setup.narrowSampling.
void WarpRowsScalar(const QuadSetup& setup, const PixelBuffer& source, const PixelBuffer& target);
void WarpRowsSse2(const QuadSetup& setup, const PixelBuffer& source, const PixelBuffer& target);
void WarpRowsAvx2(const QuadSetup& setup, const PixelBuffer& source, const PixelBuffer& target);
void WarpRowsAvx512(const QuadSetup& setup, const PixelBuffer& source, const PixelBuffer& target);
// Runs the loop `kernel` names, or the scalar loop where the vector ones cannot sample.
void WarpPreparedQuad(const QuadSetup& setup, const PixelBuffer& source, const PixelBuffer& target,
                      WarpKernel kernel);
