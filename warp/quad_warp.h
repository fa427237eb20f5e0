// Inverse bilinear warp of one quad and bilinear sampling, over locked buffers.
#pragma once

#include <cstdint>

#include "warp/pixel_buffer.h"

struct PointD {
    double x = 0.0;
    double y = 0.0;
};

// Corners of a quad in target pixels and the source rectangle they stand for.
struct QuadWarpJob {
    double sourceLeft = 0.0;
    double sourceTop = 0.0;
    double sourceRight = 0.0;
    double sourceBottom = 0.0;
    PointD topLeft;      // P0, meets (sourceLeft, sourceTop)
    PointD topRight;     // P1, meets (sourceRight, sourceTop)
    PointD bottomLeft;   // P2, meets (sourceLeft, sourceBottom)
    PointD bottomRight;  // P3, meets (sourceRight, sourceBottom)
};

// Tolerance of the patch test, so shared cell edges are written by both cells.
inline constexpr double kPatchTolerance = 1e-9;

// A point outside +-2^52 (or NaN) has no neighbour inside the buffer and samples black.
uint32_t SampleBilinear(const PixelBuffer& source, double x, double y);

// Fills the quad's covered pixels of `target`, limited to rows [rowBegin, rowEnd) of the
// target; a failed lock on either side, or an empty source, leaves the target untouched.
// Source and target must not share pixels.
void WarpQuad(const PixelBuffer& source, const PixelBuffer& target, const QuadWarpJob& quad,
              uint32_t rowBegin = 0, uint32_t rowEnd = UINT32_MAX);

// The pixel loops the warp can run; all of them write the same bits.
enum class WarpKernel { Auto = 0, Scalar = 1, Sse2 = 2, Avx2 = 3, Avx512 = 4 };
// Chooses the loop for later warps (tests and the benchmark force each one) and returns the
// loop now in use: the widest the processor and the build have, at most the one asked for.
WarpKernel SetWarpKernel(WarpKernel kernel);
WarpKernel ActiveWarpKernel();
// "auto", "scalar", "sse2", "avx2" or "avx512".
const char* WarpKernelName(WarpKernel kernel);
