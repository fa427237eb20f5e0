// The vector pixel loop of the quad warp, written once for any lane width. A file includes
// it after <immintrin.h> and every other header, and after its target pragma, and
// instantiates it with a lane type of its own, so each instruction set's copy stays inside
// that file.
//
// Every lane runs the scalar loop's operations in the scalar loop's order: vector add,
// multiply, divide and square root round exactly as their scalar forms do, so the pixels
// come out bit for bit the same. What the lanes add is only skipping: a candidate's s is not
// computed when no lane's t passes, and the vertical rule of s only when some Dx is 0.
#pragma once

#include "warp/quad_setup.h"

// The source as the lanes read it, copied out of the buffer so that stores to the target
// cannot make the compiler reload it.
struct LanesSource {
    const uint32_t* pixels;
    int32_t strideWords;
    __m128i width;   // in every 32-bit lane
    __m128i height;
    __m128i stride;  // words
};

// V supplies: D (kLanes doubles), Set, Load, Save (aligned), Iota, Add, Sub, Mul, Div, Sqrt, Neg, Ge, Le, Lt, Eq,
// And, Or, Blend(mask, a, b) = mask ? b : a, Bits (one bit per lane), Narrow (lane masks as
// 32-bit lanes of an __m128i), Trunc (toward zero, into 32-bit lanes), Widen, Byte<k> (byte k
// of each 32-bit lane), Gather (masked source words, 0 where the mask is clear), Blocks (the
// 2 x 2 blocks at (xa, ya) of the wanted lanes, all inside the source) and Store (masked
// target words).

template <class V>
static inline typename V::D LanesInPatch(typename V::D v)
{
    return V::And(V::Ge(v, V::Set(kPatchLow)), V::Le(v, V::Set(kPatchHigh)));
}

// s of candidates t, for the lanes in `wanted`: Dx = (1 - t)x1 + t x0 - t x2 - (1 - t)x3,
// left to right; where Dx is 0 (not where it is NaN), the vertical rule.
template <class V>
static inline typename V::D LanesSolveS(const QuadSetup& q, typename V::D t, typename V::D xd,
                                        typename V::D yd, typename V::D wanted)
{
    using D = typename V::D;
    const D omt = V::Sub(V::Set(1.0), t);  // 1 - t
    const D dx = V::Sub(V::Sub(V::Add(V::Mul(omt, V::Set(q.x1)), V::Mul(t, V::Set(q.x0))),
                               V::Mul(t, V::Set(q.x2))),
                        V::Mul(omt, V::Set(q.x3)));
    D s = V::Div(V::Sub(xd, V::Add(V::Mul(t, V::Set(q.x2)), V::Mul(omt, V::Set(q.x3)))), dx);
    const D flat = V::Eq(dx, V::Set(0.0));
    if (V::Bits(V::And(flat, wanted)) != 0) {
        const D dy = V::Sub(V::Sub(V::Add(V::Mul(omt, V::Set(q.y1)), V::Mul(t, V::Set(q.y0))),
                                   V::Mul(t, V::Set(q.y2))),
                            V::Mul(omt, V::Set(q.y3)));
        const D sv =
            V::Div(V::Sub(yd, V::Add(V::Mul(t, V::Set(q.y2)), V::Mul(omt, V::Set(q.y3)))), dy);
        s = V::Blend(flat, s, sv);
    }
    return s;
}

// One channel: (c00(1 - fx) + c10 fx)(1 - fy) + (c01(1 - fx) + c11 fx)fy, truncated, and
// a negative result (a weight below 0 left of or above the source) counted as 0.
template <class V, int kByte>
static inline __m128i LanesChannel(const __m128i (&c)[4], typename V::D fx, typename V::D omfx,
                                   typename V::D fy, typename V::D omfy)
{
    using D = typename V::D;
    const D v00 = V::Widen(V::template Byte<kByte>(c[0]));
    const D v10 = V::Widen(V::template Byte<kByte>(c[1]));
    const D v01 = V::Widen(V::template Byte<kByte>(c[2]));
    const D v11 = V::Widen(V::template Byte<kByte>(c[3]));
    const D top = V::Add(V::Mul(v00, omfx), V::Mul(v10, fx));
    const D bottom = V::Add(V::Mul(v01, omfx), V::Mul(v11, fx));
    const __m128i value = V::Trunc(V::Add(V::Mul(top, omfy), V::Mul(bottom, fy)));
    return _mm_andnot_si128(_mm_srai_epi32(value, 31), value);
}

// The four neighbours c00, c10, c01, c11 of the lanes in `wanted` (32-bit lane masks), 0
// where a neighbour lies outside the source.
template <class V>
static inline void LanesNeighbours(const LanesSource& source, __m128i xa, __m128i ya, __m128i xb,
                                   __m128i yb, __m128i wanted, __m128i (&c)[4])
{
    const __m128i minusOne = _mm_set1_epi32(-1);
    const __m128i width = source.width;
    const __m128i height = source.height;
    // Most lanes read a 2 x 2 block wholly inside the source: xb = xa + 1 and yb = ya + 1,
    // both in range. Then each lane's neighbours are two pairs of adjacent words.
    const __m128i inner = _mm_and_si128(
        _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi32(xa, minusOne), _mm_cmpgt_epi32(width, xb)),
                      _mm_cmpeq_epi32(xb, _mm_sub_epi32(xa, minusOne))),
        _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi32(ya, minusOne), _mm_cmpgt_epi32(height, yb)),
                      _mm_cmpeq_epi32(yb, _mm_sub_epi32(ya, minusOne))));
    if (_mm_movemask_epi8(_mm_andnot_si128(inner, wanted)) == 0) {
        V::Blocks(source, xa, ya, wanted, c);
        return;
    }
    const __m128i inXa = _mm_and_si128(_mm_cmpgt_epi32(xa, minusOne), _mm_cmplt_epi32(xa, width));
    const __m128i inXb = _mm_and_si128(_mm_cmpgt_epi32(xb, minusOne), _mm_cmplt_epi32(xb, width));
    const __m128i inYa =
        _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi32(ya, minusOne), _mm_cmplt_epi32(ya, height)),
                      wanted);
    const __m128i inYb =
        _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi32(yb, minusOne), _mm_cmplt_epi32(yb, height)),
                      wanted);
    c[0] = V::Gather(source, xa, ya, _mm_and_si128(inXa, inYa));
    c[1] = V::Gather(source, xb, ya, _mm_and_si128(inXb, inYa));
    c[2] = V::Gather(source, xa, yb, _mm_and_si128(inXa, inYb));
    c[3] = V::Gather(source, xb, yb, _mm_and_si128(inXb, inYb));
}

// The bilinear colour at (sx, sy) for the lanes in `wanted` (32-bit lane masks).
template <class V>
static inline __m128i LanesSample(const LanesSource& source, typename V::D sx, typename V::D sy,
                                  __m128i wanted)
{
    using D = typename V::D;
    const D one = V::Set(1.0);
    const __m128i xa = V::Trunc(sx);
    const __m128i ya = V::Trunc(sy);
    const __m128i xb = V::Trunc(V::Add(sx, one));  // (x + 1) truncated, not xa + 1
    const __m128i yb = V::Trunc(V::Add(sy, one));
    const D fx = V::Sub(sx, V::Widen(xa));
    const D fy = V::Sub(sy, V::Widen(ya));
    const D omfx = V::Sub(one, fx);
    const D omfy = V::Sub(one, fy);
    __m128i c[4];
    LanesNeighbours<V>(source, xa, ya, xb, yb, wanted, c);
    const __m128i red = LanesChannel<V, 2>(c, fx, omfx, fy, omfy);
    const __m128i green = LanesChannel<V, 1>(c, fx, omfx, fy, omfy);
    const __m128i blue = LanesChannel<V, 0>(c, fx, omfx, fy, omfy);
    const __m128i rgb =
        _mm_or_si128(_mm_or_si128(_mm_slli_epi32(red, 16), _mm_slli_epi32(green, 8)), blue);
    return _mm_or_si128(rgb, _mm_set1_epi32(static_cast<int32_t>(0xFF000000u)));
}

// One 32-bit lane mask per bit of `bits`.
static inline __m128i LanesMask(int bits)
{
    const __m128i lanes = _mm_setr_epi32(1, 2, 4, 8);
    return _mm_cmpeq_epi32(_mm_and_si128(_mm_set1_epi32(bits), lanes), lanes);
}

template <class V, QuadCase kCase>
static void LanesRows(const QuadSetup& q, const PixelBuffer& source, const PixelBuffer& target)
{
    using D = typename V::D;
    constexpr int kLanes = V::kLanes;
    const D one = V::Set(1.0);
    const D iota = V::Iota();
    const D none = V::Set(0.0);
    const D all = V::Eq(one, one);
    const D ay = V::Set(q.ay);
    const D k1b = V::Set(q.k1b);
    const D k1d = V::Set(q.k1d);
    const D y13 = V::Set(q.y13);
    const D x3 = V::Set(q.x3);
    const D k2x2 = V::Set(q.k2x2);
    const D k2x4 = V::Set(q.k2x4);
    const D sourceLeft = V::Set(q.sourceLeft);
    const D sourceTop = V::Set(q.sourceTop);
    const D sourceWidth = V::Set(q.sourceWidth);
    const D sourceHeight = V::Set(q.sourceHeight);
    const LanesSource lanesSource{static_cast<const uint32_t*>(source.pixels), source.stride / 4,
                                  _mm_set1_epi32(static_cast<int32_t>(source.width)),
                                  _mm_set1_epi32(static_cast<int32_t>(source.height)),
                                  _mm_set1_epi32(source.stride / 4)};
    // A block of chunks is solved first and sampled after: two short chains of dependent
    // operations per chunk instead of one long one, so that more chunks are under way at once.
    constexpr int kBlockChunks = 16;
    alignas(32) double sampleX[kBlockChunks * kLanes];
    alignas(32) double sampleY[kBlockChunks * kLanes];
    int acceptedBits[kBlockChunks];

    for (int64_t y = q.yStart; y <= q.yEnd; ++y) {
        uint32_t* row = target.Row(static_cast<uint32_t>(y));
        const double yValue = static_cast<double>(y);
        const double yy3 = yValue - q.y3;  // Y - y3
        const D yd = V::Set(yValue);
        const D k1c = V::Set(q.ax * yy3);   // Ax(Y - y3)
        const D k0b = V::Set(q.x13 * yy3);  // (x1 - x3)(Y - y3)
        for (int64_t blockX = q.xStart; blockX <= q.xEnd; blockX += kBlockChunks * kLanes) {
        const int64_t blockEnd =
            q.xEnd - blockX < kBlockChunks * kLanes ? q.xEnd : blockX + kBlockChunks * kLanes - 1;
        int chunks = 0;
        int blockBits = 0;
        for (int64_t x = blockX; x <= blockEnd; x += kLanes, ++chunks) {
            acceptedBits[chunks] = 0;
            const int64_t remaining = q.xEnd - x + 1;
            const D valid =
                remaining >= kLanes ? all : V::Lt(iota, V::Set(static_cast<double>(remaining)));
            const D xd = V::Add(V::Set(static_cast<double>(x)), iota);
            D t;
            D s;
            D accept;
            if constexpr (kCase == QuadCase::Vertical) {
                t = V::Div(V::Sub(xd, V::Set(q.x1)), V::Set(q.x01));
                const D okT = V::And(LanesInPatch<V>(t), valid);
                if (V::Bits(okT) == 0)
                    continue;
                const D w = V::Sub(one, t);
                const D ly = V::Add(V::Set(q.y2), V::Mul(w, V::Set(q.y32)));
                const D uy = V::Add(V::Set(q.y0), V::Mul(w, V::Set(q.y10)));
                s = V::Div(V::Sub(yd, ly), V::Sub(uy, ly));
                accept = V::And(okT, LanesInPatch<V>(s));
            } else {
                const D dx3 = V::Sub(xd, x3);
                // k1 = Ay(X - x3) + (y1 - y3)(x3 - x2) - Ax(Y - y3) - (x1 - x3)(y3 - y2)
                const D k1 = V::Sub(V::Sub(V::Add(V::Mul(ay, dx3), k1b), k1c), k1d);
                const D k0 = V::Sub(V::Mul(y13, dx3), k0b);
                if constexpr (kCase == QuadCase::Linear) {
                    // k1 = 0 gives an infinite or NaN t, which the test rejects
                    t = V::Div(V::Neg(k0), k1);
                    const D okT = V::And(LanesInPatch<V>(t), valid);
                    if (V::Bits(okT) == 0)
                        continue;
                    s = LanesSolveS<V>(q, t, xd, yd, okT);
                    accept = V::And(okT, LanesInPatch<V>(s));
                } else {
                    // a negative discriminant gives a NaN root, which the test rejects
                    const D delta = V::Sub(V::Mul(k1, k1), V::Mul(k2x4, k0));
                    const D r = V::Sqrt(delta);
                    const D t1 = V::Div(V::Sub(r, k1), k2x2);
                    const D t2 = V::Div(V::Sub(V::Neg(k1), r), k2x2);
                    const D ok1 = V::And(LanesInPatch<V>(t1), valid);
                    const D ok2 = V::And(LanesInPatch<V>(t2), valid);
                    if (V::Bits(V::Or(ok1, ok2)) == 0)
                        continue;
                    D s1 = none;
                    D s2 = none;
                    D accept1 = none;
                    D accept2 = none;
                    if (V::Bits(ok1) != 0) {
                        s1 = LanesSolveS<V>(q, t1, xd, yd, ok1);
                        accept1 = V::And(ok1, LanesInPatch<V>(s1));
                    }
                    if (V::Bits(ok2) != 0) {
                        s2 = LanesSolveS<V>(q, t2, xd, yd, ok2);
                        accept2 = V::And(ok2, LanesInPatch<V>(s2));
                    }
                    // the second root is written last, so its colour stays
                    t = V::Blend(accept2, t1, t2);
                    s = V::Blend(accept2, s1, s2);
                    accept = V::Or(accept1, accept2);
                }
            }
            const int bits = V::Bits(accept);
            if (bits == 0)
                continue;
            acceptedBits[chunks] = bits;
            blockBits |= bits;
            V::Save(sampleX + chunks * kLanes, V::Add(sourceLeft, V::Mul(sourceWidth, V::Sub(one, t))));
            V::Save(sampleY + chunks * kLanes, V::Add(sourceTop, V::Mul(sourceHeight, V::Sub(one, s))));
        }
        if (blockBits == 0)
            continue;
        for (int j = 0; j < chunks; ++j) {
            const int bits = acceptedBits[j];
            if (bits == 0)
                continue;
            const __m128i wanted = LanesMask(bits);
            const D sx = V::Load(sampleX + j * kLanes);
            const D sy = V::Load(sampleY + j * kLanes);
            V::Store(row + blockX + j * kLanes, wanted, bits, LanesSample<V>(lanesSource, sx, sy, wanted));
        }
        }
    }
}

template <class V>
static void WarpRowsLanes(const QuadSetup& q, const PixelBuffer& source, const PixelBuffer& target)
{
    switch (q.quadCase) {
    case QuadCase::Vertical:  LanesRows<V, QuadCase::Vertical>(q, source, target); return;
    case QuadCase::Linear:    LanesRows<V, QuadCase::Linear>(q, source, target); return;
    case QuadCase::Quadratic: LanesRows<V, QuadCase::Quadratic>(q, source, target); return;
    }
}
