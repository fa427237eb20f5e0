// The literal warp: every pixel evaluates k0, k1, the roots and s from the corners in the
// written order, and both accepted candidates are written, the second last.
#include "reference_warp.h"

#include <cmath>
#include <limits>

namespace {

bool HasPixels(const PixelBuffer& b)
{
    return b.pixels != nullptr && b.pixelFormat == kPixelFormat32bppARGB && b.width > 0 &&
           b.height > 0 && b.stride > 0 && b.stride % 4 == 0 && uint64_t(b.stride) / 4 >= b.width;
}

uint32_t PixelOrZero(const PixelBuffer& b, int64_t x, int64_t y)
{
    if (x < 0 || x >= int64_t(b.width) || y < 0 || y >= int64_t(b.height))
        return 0;
    const uint32_t* words = static_cast<const uint32_t*>(b.pixels);
    return words[x + y * (b.stride / 4)];
}

int32_t Channel(uint32_t c00, uint32_t c10, uint32_t c01, uint32_t c11, int shift, double fx,
                double fy)
{
    const double a = (c00 >> shift) & 0xFF;
    const double b = (c10 >> shift) & 0xFF;
    const double c = (c01 >> shift) & 0xFF;
    const double d = (c11 >> shift) & 0xFF;
    const double value = (a * (1 - fx) + b * fx) * (1 - fy) + (c * (1 - fx) + d * fx) * fy;
    const int32_t truncated = static_cast<int32_t>(value);
    return truncated < 0 ? 0 : truncated;  // a negative weight left of or above the source
}

int64_t TruncateSaturated(double v)
{
    if (v >= 0x1p62)
        return int64_t(1) << 62;
    if (v <= -0x1p62)
        return -(int64_t(1) << 62);
    return static_cast<int64_t>(v);
}

}  // namespace

uint32_t ReferenceSampleBilinear(const PixelBuffer& source, double x, double y)
{
    if (!HasPixels(source))
        return 0xFF000000u;
    // Past 2^52 every neighbour is outside; NaN and infinity are treated the same.
    if (!(std::fabs(x) < 0x1p52 && std::fabs(y) < 0x1p52))
        return 0xFF000000u;
    const int64_t xa = static_cast<int64_t>(x);
    const int64_t ya = static_cast<int64_t>(y);
    const int64_t xb = static_cast<int64_t>(x + 1.0);
    const int64_t yb = static_cast<int64_t>(y + 1.0);
    const uint32_t c00 = PixelOrZero(source, xa, ya);
    const uint32_t c10 = PixelOrZero(source, xb, ya);
    const uint32_t c01 = PixelOrZero(source, xa, yb);
    const uint32_t c11 = PixelOrZero(source, xb, yb);
    const double fx = x - xa;
    const double fy = y - ya;
    const int32_t red = Channel(c00, c10, c01, c11, 16, fx, fy);
    const int32_t green = Channel(c00, c10, c01, c11, 8, fx, fy);
    const int32_t blue = Channel(c00, c10, c01, c11, 0, fx, fy);
    return (uint32_t((red * 256 + green) * 256 + blue) & 0x00FFFFFFu) | 0xFF000000u;
}

void ReferenceWarpQuad(const PixelBuffer& source, const PixelBuffer& target,
                       const QuadWarpJob& quad, double tolerance)
{
    if (!HasPixels(source) || !HasPixels(target))
        return;
    const double x0 = quad.topLeft.x, y0 = quad.topLeft.y;
    const double x1 = quad.topRight.x, y1 = quad.topRight.y;
    const double x2 = quad.bottomLeft.x, y2 = quad.bottomLeft.y;
    const double x3 = quad.bottomRight.x, y3 = quad.bottomRight.y;
    // Any NaN corner makes every candidate NaN; skipping keeps the truncation defined.
    if (std::isnan(x0) || std::isnan(y0) || std::isnan(x1) || std::isnan(y1) || std::isnan(x2) ||
        std::isnan(y2) || std::isnan(x3) || std::isnan(y3))
        return;
    const int64_t xMin = TruncateSaturated(std::fmin(std::fmin(x0, x1), std::fmin(x2, x3)));
    const int64_t xMax = TruncateSaturated(std::fmax(std::fmax(x0, x1), std::fmax(x2, x3)));
    const int64_t yMin = TruncateSaturated(std::fmin(std::fmin(y0, y1), std::fmin(y2, y3)));
    const int64_t yMax = TruncateSaturated(std::fmax(std::fmax(y0, y1), std::fmax(y2, y3)));
    const int64_t width = target.width;
    const int64_t height = target.height;
    const int64_t xStart = xMin > 0 ? xMin : 0;
    const int64_t xEnd = xMax >= width ? width - 1 : xMax;
    const int64_t yStart = yMin > 0 ? yMin : 0;
    const int64_t yEnd = yMax >= height ? height - 1 : yMax;

    const double Ax = x0 - x1 - x2 + x3;
    const double Ay = y0 - y1 - y2 + y3;
    const double k2 = (x3 - x2) * Ay - (y3 - y2) * Ax;
    const double lo = -tolerance;
    const double hi = 1 + tolerance;
    uint32_t* words = static_cast<uint32_t*>(target.pixels);

    const auto sOf = [&](double t, double X, double Y) {
        const double Dx = (1 - t) * x1 + t * x0 - t * x2 - (1 - t) * x3;
        if (Dx != 0)
            return (X - (t * x2 + (1 - t) * x3)) / Dx;
        return (Y - (t * y2 + (1 - t) * y3)) / ((1 - t) * y1 + t * y0 - t * y2 - (1 - t) * y3);
    };
    const auto tryCandidate = [&](double t, double s, int64_t X, int64_t Y) {
        if (t >= lo && t <= hi && s >= lo && s <= hi) {
            const double sx = quad.sourceLeft + (quad.sourceRight - quad.sourceLeft) * (1 - t);
            const double sy = quad.sourceTop + (quad.sourceBottom - quad.sourceTop) * (1 - s);
            words[X + Y * (target.stride / 4)] = ReferenceSampleBilinear(source, sx, sy);
        }
    };

    for (int64_t Y = yStart; Y <= yEnd; ++Y) {
        for (int64_t X = xStart; X <= xEnd; ++X) {
            const double k1 =
                Ay * (X - x3) + (y1 - y3) * (x3 - x2) - Ax * (Y - y3) - (x1 - x3) * (y3 - y2);
            const double k0 = (y1 - y3) * (X - x3) - (x1 - x3) * (Y - y3);
            if (x0 == x2 && x1 == x3) {
                const double t = (X - x1) / (x0 - x1);
                const double w = 1 - t;
                const double Ly = y2 + w * (y3 - y2);
                const double Uy = y0 + w * (y1 - y0);
                tryCandidate(t, (Y - Ly) / (Uy - Ly), X, Y);
            } else if (k2 == 0) {
                if (k1 == 0)
                    continue;
                const double t = -k0 / k1;
                tryCandidate(t, sOf(t, X, Y), X, Y);
            } else {
                const double delta = k1 * k1 - (4 * k2) * k0;
                if (delta < 0)
                    continue;
                const double R = std::sqrt(delta);
                const double t1 = (R - k1) / (2 * k2);
                const double t2 = (-k1 - R) / (2 * k2);
                tryCandidate(t1, sOf(t1, X, Y), X, Y);
                tryCandidate(t2, sOf(t2, X, Y), X, Y);
            }
        }
    }
}

void ReferenceRenderMeshWarp(const PixelBuffer& source, const PixelBuffer& target,
                             const NodeGrid& grid, size_t columnCount, size_t rowCount,
                             const SelectionRect& selection, double tolerance)
{
    if (rowCount < 2 || grid.size() != rowCount)
        return;
    for (const NodeRow& row : grid) {
        if (row.size() != columnCount)
            return;
    }
    for (size_t i = 1; i < rowCount; ++i) {
        for (size_t l = 1; l < columnCount; ++l) {
            QuadWarpJob job;
            job.topLeft = {double(grid[i - 1][l - 1].x), double(grid[i - 1][l - 1].y)};
            job.topRight = {double(grid[i - 1][l].x), double(grid[i - 1][l].y)};
            job.bottomLeft = {double(grid[i][l - 1].x), double(grid[i][l - 1].y)};
            job.bottomRight = {double(grid[i][l].x), double(grid[i][l].y)};
            job.sourceLeft =
                double(l - 1) * selection.width / double(columnCount - 1) + selection.x;
            job.sourceRight = double(l) * selection.width / double(columnCount - 1) + selection.x;
            job.sourceTop = double(i - 1) * selection.height / double(rowCount - 1) + selection.y;
            job.sourceBottom = double(i) * selection.height / double(rowCount - 1) + selection.y;
            ReferenceWarpQuad(source, target, job, tolerance);
        }
    }
}

PixelImage MakeCoordinateImage(uint32_t width, uint32_t height)
{
    PixelImage image;
    image.Allocate(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x)
            image.pixels[size_t(y) * width + x] = 0x8000005Au | (x & 0xFF) << 16 | (y & 0xFF) << 8;
    }
    return image;
}

PixelImage MakePatternImage(uint32_t width, uint32_t height)
{
    PixelImage image;
    image.Allocate(width, height);
    uint32_t noise = 0x9E3779B9u;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            const uint32_t red = uint32_t(uint64_t(x) * 255 / (width > 1 ? width - 1 : 1));
            const uint32_t green = uint32_t(uint64_t(y) * 255 / (height > 1 ? height - 1 : 1));
            const uint32_t checker = ((x / 64) ^ (y / 64)) & 1 ? 160 : 48;
            const uint32_t blue = checker + (noise & 0x3F);
            image.pixels[size_t(y) * width + x] = 0xFF000000u | red << 16 | green << 8 | blue;
        }
    }
    return image;
}

NodeGrid MakeWobbledGrid(int32_t width, int32_t height, double amplitude)
{
    constexpr int kParts = 16;
    constexpr double kTwoPi = 6.283185307179586;
    NodeGrid grid(kParts + 1, NodeRow(kParts + 1));
    for (int r = 0; r <= kParts; ++r) {
        for (int c = 0; c <= kParts; ++c) {
            MeshNode& node = grid[r][c];
            node.x = c * (width - 1) / kParts;
            node.y = r * (height - 1) / kParts;
            if (r == 0 || c == 0 || r == kParts || c == kParts)
                continue;
            const double u = double(c) / kParts;
            const double v = double(r) / kParts;
            node.x += int32_t(amplitude * std::sin(kTwoPi * (1.5 * v + 0.5 * u)));
            node.y += int32_t(amplitude * std::sin(kTwoPi * (1.25 * u + 0.35 * v) + 0.7));
        }
    }
    return grid;
}

PixelBuffer PaddedImage::Lock()
{
    PixelBuffer buffer;
    if (width == 0 || height == 0)
        return buffer;
    buffer.width = width;
    buffer.height = height;
    buffer.stride = int32_t(strideWords * 4);
    buffer.pixels = words.data();
    return buffer;
}

PaddedImage MakePaddedImage(uint32_t width, uint32_t height, uint32_t padWords, uint32_t fill)
{
    PaddedImage image;
    image.width = width;
    image.height = height;
    image.strideWords = width + padWords;
    image.words.assign(size_t(image.strideWords) * height, fill);
    return image;
}

namespace {

// Coordinates that stress the loops: whole and fractional pixels, signed zeros, values
// past the int32 and int64 ranges, infinities and NaN.
double HostileValue(std::mt19937& rng)
{
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    static const double kSpecial[] = {0.0,           -0.0,   0.5,    -0.5,    1e-300, -1e-300,
                                      1e300,         -1e300, kInf,   -kInf,   kNaN,   2147483648.0,
                                      -2147483649.0, 1e9,    0x1p62, -0x1p63, 0x1p30, -0x1p30};
    return kSpecial[rng() % (sizeof kSpecial / sizeof kSpecial[0])];
}

double Coordinate(std::mt19937& rng, int low, int high, bool hostile)
{
    if (hostile && rng() % 6 == 0)
        return HostileValue(rng);
    const double whole = low + int(rng() % uint32_t(high - low + 1));
    switch (rng() % 3) {
    case 0: return whole;
    case 1: return whole + (rng() % 8) / 8.0;
    default: return whole + std::uniform_real_distribution<double>(0.0, 1.0)(rng);
    }
}

}  // namespace

QuadWarpJob RandomJob(std::mt19937& rng, int size, bool hostile)
{
    QuadWarpJob job;
    PointD* corners[] = {&job.topLeft, &job.topRight, &job.bottomLeft, &job.bottomRight};
    for (PointD* p : corners)
        *p = {Coordinate(rng, -size / 4, size + size / 4, hostile),
              Coordinate(rng, -size / 4, size + size / 4, hostile)};
    switch (rng() % 6) {
    case 0:  // vertical side edges
        job.bottomLeft.x = job.topLeft.x;
        job.bottomRight.x = job.topRight.x;
        break;
    case 1:  // a parallelogram: k2 = 0
        job.bottomRight = {job.topRight.x + job.bottomLeft.x - job.topLeft.x,
                           job.topRight.y + job.bottomLeft.y - job.topLeft.y};
        break;
    case 2:  // two corners in one place
        job.bottomRight = job.topLeft;
        break;
    case 3:  // all four on one line
        job.topRight = {job.topLeft.x + 3, job.topLeft.y + 1};
        job.bottomLeft = {job.topLeft.x + 6, job.topLeft.y + 2};
        break;
    default: break;
    }
    job.sourceLeft = Coordinate(rng, -6, 30, hostile);
    job.sourceRight = rng() % 8 == 0 ? job.sourceLeft : Coordinate(rng, -6, 30, hostile);
    job.sourceTop = Coordinate(rng, -6, 30, hostile);
    job.sourceBottom = rng() % 8 == 0 ? job.sourceTop : Coordinate(rng, -6, 30, hostile);
    return job;
}

PaddedImage RandomImage(std::mt19937& rng, uint32_t maxSide)
{
    const uint32_t width = 1 + rng() % maxSide;
    const uint32_t height = 1 + rng() % maxSide;
    PaddedImage image = MakePaddedImage(width, height, rng() % 3, 0);
    for (uint32_t& word : image.words)
        word = uint32_t(rng());
    return image;
}

std::vector<WarpKernel> KernelsToCompare()
{
    const WarpKernel before = ActiveWarpKernel();
    std::vector<WarpKernel> kernels{WarpKernel::Scalar, WarpKernel::Sse2};
    for (WarpKernel wide : {WarpKernel::Avx2, WarpKernel::Avx512}) {
        if (SetWarpKernel(wide) == wide)
            kernels.push_back(wide);
    }
    SetWarpKernel(before);
    return kernels;
}
