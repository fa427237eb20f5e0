// Inverse bilinear warp of one quad with bilinear sampling: the per-quad setup and the
// scalar pixel loop. The vector loops live in a file per instruction set
// (quad_warp_sse2.cpp, quad_warp_avx2.cpp, quad_warp_avx512.cpp), and quad_dispatch.cpp
// chooses between the loops.
#include "warp/quad_warp.h"

#include <cmath>
#include <cstdint>

#include "warp/quad_setup.h"

namespace {

// Beyond 2^52 a double is a whole number far outside any buffer: no neighbour is inside
// and the colour is black, which is also what a NaN or infinite point gets.
constexpr double kFarCoordinate = 0x1p52;

inline int32_t ChannelValue(uint32_t c00, uint32_t c10, uint32_t c01, uint32_t c11, int shift,
                            double fx, double fy)
{
    const double v00 = static_cast<double>((c00 >> shift) & 0xFF);
    const double v10 = static_cast<double>((c10 >> shift) & 0xFF);
    const double v01 = static_cast<double>((c01 >> shift) & 0xFF);
    const double v11 = static_cast<double>((c11 >> shift) & 0xFF);
    const double value =
        (v00 * (1.0 - fx) + v10 * fx) * (1.0 - fy) + (v01 * (1.0 - fx) + v11 * fx) * fy;
    // Truncated, not rounded. Left of or above the source, where x or y lies in (-2, -1),
    // truncation toward zero gives a neighbour a negative weight; the channel is then 0
    // rather than a borrow out of the channel above it.
    const int32_t channel = static_cast<int32_t>(value);  // value lies in (-256, 256)
    return channel < 0 ? 0 : channel;
}

uint32_t SampleWords(const SourceWords& src, double x, double y)
{
    if (!(x > -kFarCoordinate && x < kFarCoordinate && y > -kFarCoordinate && y < kFarCoordinate))
        return 0xFF000000u;
    const int64_t xa = static_cast<int64_t>(x);
    const int64_t ya = static_cast<int64_t>(y);
    const int64_t xb = static_cast<int64_t>(x + 1.0);  // not xa + 1
    const int64_t yb = static_cast<int64_t>(y + 1.0);
    const uint32_t c00 = src.At(xa, ya);
    const uint32_t c10 = src.At(xb, ya);
    const uint32_t c01 = src.At(xa, yb);
    const uint32_t c11 = src.At(xb, yb);
    const double fx = x - static_cast<double>(xa);
    const double fy = y - static_cast<double>(ya);
    const int32_t red = ChannelValue(c00, c10, c01, c11, 16, fx, fy);
    const int32_t green = ChannelValue(c00, c10, c01, c11, 8, fx, fy);
    const int32_t blue = ChannelValue(c00, c10, c01, c11, 0, fx, fy);
    return static_cast<uint32_t>((red * 256 + green) * 256 + blue) | 0xFF000000u;
}

inline bool InPatch(double v)
{
    return v >= kPatchLow && v <= kPatchHigh;  // NaN fails both
}

// s of a candidate t: Dx = (1 - t)x1 + t x0 - t x2 - (1 - t)x3, left to right; where Dx is
// 0, the vertical rule (Y - Ly) / (Uy - Ly).
inline double SolveS(const QuadSetup& q, double t, double x, double y)
{
    const double dx = (1.0 - t) * q.x1 + t * q.x0 - t * q.x2 - (1.0 - t) * q.x3;
    if (dx != 0.0)
        return (x - (t * q.x2 + (1.0 - t) * q.x3)) / dx;
    return (y - (t * q.y2 + (1.0 - t) * q.y3)) /
           ((1.0 - t) * q.y1 + t * q.y0 - t * q.y2 - (1.0 - t) * q.y3);
}

// Truncates a corner coordinate toward zero; beyond +-2^62 it saturates, which visits the
// same pixels as the exact integer would.
int64_t TruncateCorner(double v)
{
    constexpr double kLimit = 0x1p62;
    if (v >= kLimit)
        return int64_t(1) << 62;
    if (v <= -kLimit)
        return -(int64_t(1) << 62);
    return static_cast<int64_t>(v);
}

}  // namespace

bool IsUsableBuffer(const PixelBuffer& buffer)
{
    return buffer.pixels != nullptr && buffer.pixelFormat == kPixelFormat32bppARGB &&
           buffer.width > 0 && buffer.height > 0 && buffer.stride > 0 && buffer.stride % 4 == 0 &&
           uint64_t(buffer.stride) / 4 >= buffer.width;
}

uint32_t SampleBilinear(const PixelBuffer& source, double x, double y)
{
    if (!IsUsableBuffer(source))
        return 0xFF000000u;  // no pixel to read: every neighbour counts as 0
    return SampleWords(WordsOf(source), x, y);
}

bool PrepareQuad(const QuadWarpJob& quad, const PixelBuffer& source, const PixelBuffer& target,
                 uint32_t rowBegin, uint32_t rowEnd, QuadSetup& q)
{
    const double xs[4] = {quad.topLeft.x, quad.topRight.x, quad.bottomLeft.x, quad.bottomRight.x};
    const double ys[4] = {quad.topLeft.y, quad.topRight.y, quad.bottomLeft.y, quad.bottomRight.y};
    // A NaN corner makes Ax or Ay, hence k2 and every root (or, between vertical sides,
    // every s) NaN: no pixel could be accepted, so none is visited.
    for (int i = 0; i < 4; ++i) {
        if (std::isnan(xs[i]) || std::isnan(ys[i]))
            return false;
    }
    double minX = xs[0], maxX = xs[0], minY = ys[0], maxY = ys[0];
    for (int i = 1; i < 4; ++i) {
        minX = xs[i] < minX ? xs[i] : minX;
        maxX = xs[i] > maxX ? xs[i] : maxX;
        minY = ys[i] < minY ? ys[i] : minY;
        maxY = ys[i] > maxY ? ys[i] : maxY;
    }
    const int64_t xMin = TruncateCorner(minX);
    const int64_t xMax = TruncateCorner(maxX);
    const int64_t yMin = TruncateCorner(minY);
    const int64_t yMax = TruncateCorner(maxY);
    const int64_t width = target.width;
    const int64_t height = target.height;
    q.xStart = xMin > 0 ? xMin : 0;
    q.xEnd = xMax >= width ? width - 1 : xMax;
    q.yStart = yMin > 0 ? yMin : 0;
    q.yEnd = yMax >= height ? height - 1 : yMax;
    if (q.yStart < int64_t(rowBegin))
        q.yStart = rowBegin;
    if (q.yEnd > int64_t(rowEnd) - 1)
        q.yEnd = int64_t(rowEnd) - 1;
    if (q.xStart > q.xEnd || q.yStart > q.yEnd)
        return false;

    const double x0 = xs[0], y0 = ys[0], x1 = xs[1], y1 = ys[1];
    const double x2 = xs[2], y2 = ys[2], x3 = xs[3], y3 = ys[3];
    q.x0 = x0, q.y0 = y0, q.x1 = x1, q.y1 = y1, q.x2 = x2, q.y2 = y2, q.x3 = x3, q.y3 = y3;
    q.ax = x0 - x1 - x2 + x3;
    q.ay = y0 - y1 - y2 + y3;
    const double k2 = (x3 - x2) * q.ay - (y3 - y2) * q.ax;
    q.k2x2 = 2.0 * k2;
    q.k2x4 = 4.0 * k2;
    const double magnitude = std::fabs(q.k2x2);
    if (magnitude >= 0x1p-1000 && magnitude <= 0x1p1000) {
        const double low = kScreenLow * q.k2x2;
        const double high = kScreenHigh * q.k2x2;
        q.rootLow = q.k2x2 > 0.0 ? low : high;
        q.rootHigh = q.k2x2 > 0.0 ? high : low;
    } else {
        q.rootLow = -HUGE_VAL;
        q.rootHigh = HUGE_VAL;
    }
    q.k1b = (y1 - y3) * (x3 - x2);
    q.k1d = (x1 - x3) * (y3 - y2);
    q.y13 = y1 - y3;
    q.x13 = x1 - x3;
    q.x01 = x0 - x1;
    q.y32 = y3 - y2;
    q.y10 = y1 - y0;
    if (x0 == x2 && x1 == x3)
        q.quadCase = QuadCase::Vertical;
    else if (k2 == 0.0)
        q.quadCase = QuadCase::Linear;
    else
        q.quadCase = QuadCase::Quadratic;

    q.sourceLeft = quad.sourceLeft;
    q.sourceTop = quad.sourceTop;
    q.sourceWidth = quad.sourceRight - quad.sourceLeft;
    q.sourceHeight = quad.sourceBottom - quad.sourceTop;
    // An accepted point lies between the bounds, give or take kPatchTolerance times their
    // distance, so within +-2^30 bounds it stays inside +-(2^30 + 4).
    constexpr double kBoundLimit = 0x1p30;
    const auto small = [](double v) { return v >= -kBoundLimit && v <= kBoundLimit; };
    q.narrowSampling = small(quad.sourceLeft) && small(quad.sourceRight) && small(quad.sourceTop) &&
                       small(quad.sourceBottom) && source.width <= (1u << 30) &&
                       source.height <= (1u << 30) &&
                       int64_t(source.stride / 4) * source.height <= INT32_MAX;
    // x = sourceLeft + sourceWidth * (1 - t) for an accepted t in [kPatchLow, kPatchHigh].
    // Each rounded operation is monotonic in t, so x lies between its values at the two ends;
    // y likewise in s.
    const auto within = [](double origin, double size, uint32_t extent) {
        const double a = origin + size * (1.0 - kPatchLow);
        const double b = origin + size * (1.0 - kPatchHigh);
        const double last = static_cast<double>(extent) - 1.0;
        return a >= 0.0 && b >= 0.0 && a < last && b < last;
    };
    q.samplesInside = q.narrowSampling && within(q.sourceLeft, q.sourceWidth, source.width) &&
                      within(q.sourceTop, q.sourceHeight, source.height);
    return true;
}

void WarpRowsScalar(const QuadSetup& q, const PixelBuffer& source, const PixelBuffer& target)
{
    const SourceWords src = WordsOf(source);
    for (int64_t y = q.yStart; y <= q.yEnd; ++y) {
        uint32_t* row = target.Row(static_cast<uint32_t>(y));
        const double yd = static_cast<double>(y);
        const double k1c = q.ax * (yd - q.y3);   // Ax(Y - y3)
        const double k0b = q.x13 * (yd - q.y3);  // (x1 - x3)(Y - y3)
        for (int64_t x = q.xStart; x <= q.xEnd; ++x) {
            const double xd = static_cast<double>(x);
            double t;
            double s;
            if (q.quadCase == QuadCase::Vertical) {
                t = (xd - q.x1) / q.x01;
                if (!InPatch(t))
                    continue;
                const double w = 1.0 - t;
                const double ly = q.y2 + w * q.y32;
                const double uy = q.y0 + w * q.y10;
                s = (yd - ly) / (uy - ly);
                if (!InPatch(s))
                    continue;
            } else {
                const double dx3 = xd - q.x3;
                const double k1 = q.ay * dx3 + q.k1b - k1c - q.k1d;
                const double k0 = q.y13 * dx3 - k0b;
                if (q.quadCase == QuadCase::Linear) {
                    if (k1 == 0.0)
                        continue;
                    t = -k0 / k1;
                    if (!InPatch(t))
                        continue;
                    s = SolveS(q, t, xd, yd);
                    if (!InPatch(s))
                        continue;
                } else {
                    const double delta = k1 * k1 - q.k2x4 * k0;
                    if (delta < 0.0)
                        continue;
                    const double r = std::sqrt(delta);
                    // The second root is written last, so when it is accepted the first
                    // one's colour never shows.
                    t = (-k1 - r) / q.k2x2;
                    s = InPatch(t) ? SolveS(q, t, xd, yd) : 0.0;
                    if (!InPatch(t) || !InPatch(s)) {
                        t = (r - k1) / q.k2x2;
                        if (!InPatch(t))
                            continue;
                        s = SolveS(q, t, xd, yd);
                        if (!InPatch(s))
                            continue;
                    }
                }
            }
            row[x] = SampleWords(src, q.sourceLeft + q.sourceWidth * (1.0 - t),
                                 q.sourceTop + q.sourceHeight * (1.0 - s));
        }
    }
}
