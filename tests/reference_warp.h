// The warp written out literally, one formula per line in the order it is defined, with no
// hoisting and no vectors: the oracle every optimised path is compared with bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "mesh/editing.h"
#include "warp/pixel_buffer.h"
#include "warp/quad_warp.h"

uint32_t ReferenceSampleBilinear(const PixelBuffer& source, double x, double y);

// `tolerance` widens the patch test to [-tolerance, 1 + tolerance]; 0 is the closed test
// taken literally, which leaves pixels on shared cell edges unwritten.
void ReferenceWarpQuad(const PixelBuffer& source, const PixelBuffer& target,
                       const QuadWarpJob& quad, double tolerance = kPatchTolerance);

void ReferenceRenderMeshWarp(const PixelBuffer& source, const PixelBuffer& target,
                             const NodeGrid& grid, size_t columnCount, size_t rowCount,
                             const SelectionRect& selection, double tolerance = kPatchTolerance);

// Fixtures shared by the warp tests and the benchmark.

// Red is x and green is y (each modulo 256), blue 0x5A, alpha 0x80 (sampling ignores it):
// a written pixel shows where it was sampled.
PixelImage MakeCoordinateImage(uint32_t width, uint32_t height);
// Deterministic gradients, a checkerboard and noise.
PixelImage MakePatternImage(uint32_t width, uint32_t height);
// 17 x 17 nodes whose base lies at c (width - 1) / 16, r (height - 1) / 16 and whose inner
// nodes move by int(a sin(2 pi (1.5 v + 0.5 u))) in x and int(a sin(2 pi (1.25 u + 0.35 v)
// + 0.7)) in y, u = c / 16, v = r / 16; the border nodes stay on the canvas edges.
NodeGrid MakeWobbledGrid(int32_t width, int32_t height, double amplitude);

// Rows of `width` words followed by `padWords` spare ones, as a platform lock may hand out.
struct PaddedImage {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t strideWords = 0;
    std::vector<uint32_t> words;

    PixelBuffer Lock();
};
PaddedImage MakePaddedImage(uint32_t width, uint32_t height, uint32_t padWords, uint32_t fill);

// A random quad over a target of about size x size pixels, with a source rectangle in
// [-6, 30]: every shape of the solve (vertical sides, parallelograms, coinciding corners,
// corners on one line) and, when hostile, infinite, NaN and far-out coordinates.
QuadWarpJob RandomJob(std::mt19937& rng, int size, bool hostile);
// 1 to maxSide pixels a side, up to 2 spare words a row, random words.
PaddedImage RandomImage(std::mt19937& rng, uint32_t maxSide);

// Scalar and SSE2, and AVX2 and AVX-512 where the processor and the build have them.
std::vector<WarpKernel> KernelsToCompare();
