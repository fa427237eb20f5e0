// The vector pixel loop of the quad warp, written once for any lane width. A file includes
// it after <immintrin.h> and every other header, and after its target pragma, and
// instantiates it with a lane type of its own, so each instruction set's copy stays inside
// that file.
//
// Every lane runs the scalar loop's operations in the scalar loop's order: vector add,
// multiply, divide and square root round exactly as their scalar forms do, so the pixels
// come out bit for bit the same. What the lanes add is only skipping: a candidate's s is not
// computed when no lane's t passes, a root is not divided out when its estimate lies clearly
// outside the patch, and the vertical rule of s is taken only when some Dx is 0.
#pragma once

#include "warp/quad_setup.h"

// V supplies the lane types: D (kLanes doubles), M (a mask over D's lanes), I (kLanes 32-bit
// integers) and IM (a mask over I's lanes), and:
// - doubles: Set, Iota (0, 1, ...), Add, Sub, Mul, Div, Sqrt, Neg,
//   MaxZero (the larger of v and 0), and the ordered comparisons Ge, Le, Lt, Eq giving M;
// - masks: And, Or, AndNot(a, b) = ~a & b, Blend(m, a, b) = m ? b : a, Bits (one bit per
//   lane), All, None, MaskOfBits (IM from Bits);
// - integers: Trunc (toward zero, D to I), Widen (I to D), ISet, IAdd, IGt and IEq giving IM,
//   IAnd, First (lane 0), Covers(inner, wanted) (every wanted lane is inner), Byte<k> (byte k
//   of each lane) and Pack (red, green, blue and alpha 0xFF into words);
// - memory: Gather (masked source words, 0 where the mask is clear), Blocks (the 2 x 2 blocks
//   at (xa, ya) of the wanted lanes, all inside the source) and Store (masked target words).
//   They read the SourceWords that LanesRows copies once per quad; under narrowSampling its
//   stride in words fits in 32 bits, so a lane type may narrow it.

template <class V>
static inline typename V::M LanesInPatch(typename V::D v)
{
    return V::And(V::Ge(v, V::Set(kPatchLow)), V::Le(v, V::Set(kPatchHigh)));
}

// The lanes of `valid` whose root n / (2 k2), estimated as n times the reciprocal, may lie
// in the patch; NaN may.
template <class V>
static inline typename V::M LanesMayBeInPatch(typename V::D estimate, typename V::M valid)
{
    const typename V::M outside =
        V::Or(V::Lt(estimate, V::Set(kScreenLow)), V::Lt(V::Set(kScreenHigh), estimate));
    return V::AndNot(outside, valid);
}

// s of candidates t, for the lanes in `wanted`: Dx = (1 - t)x1 + t x0 - t x2 - (1 - t)x3,
// left to right; where Dx is 0 (not where it is NaN), the vertical rule.
template <class V>
static inline typename V::D LanesSolveS(const QuadSetup& q, typename V::D t, typename V::D xd,
                                        typename V::D yd, typename V::M wanted)
{
    using D = typename V::D;
    using M = typename V::M;
    const D omt = V::Sub(V::Set(1.0), t);  // 1 - t
    const D dx = V::Sub(
        V::Sub(V::Add(V::Mul(omt, V::Set(q.x1)), V::Mul(t, V::Set(q.x0))), V::Mul(t, V::Set(q.x2))),
        V::Mul(omt, V::Set(q.x3)));
    D s = V::Div(V::Sub(xd, V::Add(V::Mul(t, V::Set(q.x2)), V::Mul(omt, V::Set(q.x3)))), dx);
    const M flat = V::Eq(dx, V::Set(0.0));
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

// One channel: (c00(1 - fx) + c10 fx)(1 - fy) + (c01(1 - fx) + c11 fx)fy, truncated; a
// negative value (a weight below 0 left of or above the source) gives 0.
template <class V, int kByte>
static inline typename V::I LanesChannel(const typename V::I (&c)[4], typename V::D fx,
                                         typename V::D omfx, typename V::D fy, typename V::D omfy)
{
    using D = typename V::D;
    const D v00 = V::Widen(V::template Byte<kByte>(c[0]));
    const D v10 = V::Widen(V::template Byte<kByte>(c[1]));
    const D v01 = V::Widen(V::template Byte<kByte>(c[2]));
    const D v11 = V::Widen(V::template Byte<kByte>(c[3]));
    const D top = V::Add(V::Mul(v00, omfx), V::Mul(v10, fx));
    const D bottom = V::Add(V::Mul(v01, omfx), V::Mul(v11, fx));
    // finite here, so the larger of the value and 0 truncates as the truncation clamped
    return V::Trunc(V::MaxZero(V::Add(V::Mul(top, omfy), V::Mul(bottom, fy))));
}

constexpr int32_t kPrefetchRows = 2;

static inline int32_t LanesClamp(int64_t v, int32_t high)
{
    return v < 0 ? 0 : v > high ? high : int32_t(v);
}

// The four neighbours c00, c10, c01, c11 of the wanted lanes, 0 where a neighbour lies
// outside the source.
template <class V>
static inline void LanesNeighbours(const SourceWords& source, typename V::I xa, typename V::I ya,
                                   typename V::I xb, typename V::I yb, typename V::IM wanted,
                                   typename V::I (&c)[4])
{
    using I = typename V::I;
    using IM = typename V::IM;
    // both within 2^30 under narrowSampling
    const int32_t sourceColumns = static_cast<int32_t>(source.width);
    const int32_t sourceRows = static_cast<int32_t>(source.height);
    const I minusOne = V::ISet(-1);
    const I one = V::ISet(1);
    const I width = V::ISet(sourceColumns);
    const I height = V::ISet(sourceRows);
    const IM inXa = V::IAnd(V::IGt(xa, minusOne), V::IGt(width, xa));
    const IM inXb = V::IAnd(V::IGt(xb, minusOne), V::IGt(width, xb));
    const IM inYa = V::IAnd(V::IGt(ya, minusOne), V::IGt(height, ya));
    const IM inYb = V::IAnd(V::IGt(yb, minusOne), V::IGt(height, yb));
    // Most lanes read a 2 x 2 block wholly inside the source: xb = xa + 1 and yb = ya + 1,
    // all four in range. Then each lane's neighbours are two pairs of adjacent words.
    const IM inner = V::IAnd(V::IAnd(V::IAnd(inXa, inXb), V::IEq(xb, V::IAdd(xa, one))),
                             V::IAnd(V::IAnd(inYa, inYb), V::IEq(yb, V::IAdd(ya, one))));
    if (V::Covers(inner, wanted)) {
        // The next target rows mostly read the next source rows: ask for them early. The
        // first lane need not be a wanted one, so its position may be anything.
        const int32_t aheadX = LanesClamp(V::First(xa), sourceColumns - 1);
        const int32_t aheadY = LanesClamp(int64_t(V::First(ya)) + kPrefetchRows, sourceRows - 1);
        const uint32_t* ahead = source.pixels + ptrdiff_t(aheadY) * source.strideWords + aheadX;
        _mm_prefetch(reinterpret_cast<const char*>(ahead), _MM_HINT_T0);
        V::Blocks(source, xa, ya, wanted, c);
        return;
    }
    const IM wantedYa = V::IAnd(inYa, wanted);
    const IM wantedYb = V::IAnd(inYb, wanted);
    c[0] = V::Gather(source, xa, ya, V::IAnd(inXa, wantedYa));
    c[1] = V::Gather(source, xb, ya, V::IAnd(inXb, wantedYa));
    c[2] = V::Gather(source, xa, yb, V::IAnd(inXa, wantedYb));
    c[3] = V::Gather(source, xb, yb, V::IAnd(inXb, wantedYb));
}

// The bilinear colours at (sx, sy) for the wanted lanes.
template <class V>
static inline typename V::I LanesSample(const SourceWords& source, typename V::D sx,
                                        typename V::D sy, typename V::IM wanted)
{
    using D = typename V::D;
    using I = typename V::I;
    const D one = V::Set(1.0);
    const I xa = V::Trunc(sx);
    const I ya = V::Trunc(sy);
    const I xb = V::Trunc(V::Add(sx, one));  // (x + 1) truncated, not xa + 1
    const I yb = V::Trunc(V::Add(sy, one));
    const D fx = V::Sub(sx, V::Widen(xa));
    const D fy = V::Sub(sy, V::Widen(ya));
    const D omfx = V::Sub(one, fx);
    const D omfy = V::Sub(one, fy);
    I c[4];
    LanesNeighbours<V>(source, xa, ya, xb, yb, wanted, c);
    return V::Pack(LanesChannel<V, 2>(c, fx, omfx, fy, omfy),
                   LanesChannel<V, 1>(c, fx, omfx, fy, omfy),
                   LanesChannel<V, 0>(c, fx, omfx, fy, omfy));
}

// One row segment of at most kBlockChunks chunks, taken through the warp in stages: every
// stage runs over all chunks before the next begins. A chunk's whole chain of dependent
// operations (roots, divisions, s, sampling) is too long for the processor to keep several
// chunks under way; the stages' short chains of independent chunks overlap well.
constexpr int kBlockChunks = 16;

template <class V>
struct LanesBlock {
    using D = typename V::D;
    using M = typename V::M;
    D first[kBlockChunks];   // t1, or the root's numerator before the division
    D second[kBlockChunks];  // t2, likewise
    M okFirst[kBlockChunks];
    M okSecond[kBlockChunks];
    D sampleX[kBlockChunks];
    D sampleY[kBlockChunks];
    typename V::I words[kBlockChunks];
    int accepted[kBlockChunks];  // Bits of the lanes to write
};

template <class V, QuadCase kCase>
static void LanesRows(const QuadSetup& q, const PixelBuffer& source, const PixelBuffer& target)
{
    using D = typename V::D;
    using M = typename V::M;
    constexpr int kLanes = V::kLanes;
    const D one = V::Set(1.0);
    const D iota = V::Iota();
    const D zero = V::Set(0.0);
    const M none = V::None();
    const M all = V::All();
    const D ay = V::Set(q.ay);
    const D k1b = V::Set(q.k1b);
    const D k1d = V::Set(q.k1d);
    const D y13 = V::Set(q.y13);
    const D x3 = V::Set(q.x3);
    const D k2x2 = V::Set(q.k2x2);
    const D k2x2Inverse = V::Set(q.k2x2Inverse);
    const D k2x4 = V::Set(q.k2x4);
    const D sourceLeft = V::Set(q.sourceLeft);
    const D sourceTop = V::Set(q.sourceTop);
    const D sourceWidth = V::Set(q.sourceWidth);
    const D sourceHeight = V::Set(q.sourceHeight);
    const SourceWords sourceWords = WordsOf(source);
    LanesBlock<V> b;

    for (int64_t y = q.yStart; y <= q.yEnd; ++y) {
        uint32_t* row = target.Row(static_cast<uint32_t>(y));
        const double yValue = static_cast<double>(y);
        const double yy3 = yValue - q.y3;  // Y - y3
        const D yd = V::Set(yValue);
        const D k1c = V::Set(q.ax * yy3);   // Ax(Y - y3)
        const D k0b = V::Set(q.x13 * yy3);  // (x1 - x3)(Y - y3)
        for (int64_t blockX = q.xStart; blockX <= q.xEnd; blockX += kBlockChunks * kLanes) {
            const int64_t left = q.xEnd - blockX + 1;  // pixels from blockX to the row's end
            const int chunks = left >= kBlockChunks * kLanes
                                   ? kBlockChunks
                                   : static_cast<int>((left + kLanes - 1) / kLanes);
            const D blockXd = V::Set(static_cast<double>(blockX));

            // Stage 1: the candidates' t, or for the quadratic the roots' numerators and
            // which of them may lie in the patch.
            int any = 0;
            for (int j = 0; j < chunks; ++j) {
                const int64_t remaining = left - int64_t(j) * kLanes;
                const M valid =
                    remaining >= kLanes ? all : V::Lt(iota, V::Set(static_cast<double>(remaining)));
                // whole numbers: the sum is exact in any order
                const D xd = V::Add(V::Add(blockXd, V::Set(static_cast<double>(j * kLanes))), iota);
                if constexpr (kCase == QuadCase::Vertical) {
                    const D t = V::Div(V::Sub(xd, V::Set(q.x1)), V::Set(q.x01));
                    b.first[j] = t;
                    b.okFirst[j] = V::And(LanesInPatch<V>(t), valid);
                    b.okSecond[j] = none;
                    any |= V::Bits(b.okFirst[j]);
                    continue;
                }
                const D dx3 = V::Sub(xd, x3);
                // k1 = Ay(X - x3) + (y1 - y3)(x3 - x2) - Ax(Y - y3) - (x1 - x3)(y3 - y2)
                const D k1 = V::Sub(V::Sub(V::Add(V::Mul(ay, dx3), k1b), k1c), k1d);
                const D k0 = V::Sub(V::Mul(y13, dx3), k0b);
                if constexpr (kCase == QuadCase::Linear) {
                    // k1 = 0 gives an infinite or NaN t, which the test rejects
                    const D t = V::Div(V::Neg(k0), k1);
                    b.first[j] = t;
                    b.okFirst[j] = V::And(LanesInPatch<V>(t), valid);
                    b.okSecond[j] = none;
                    any |= V::Bits(b.okFirst[j]);
                } else {
                    // a negative discriminant gives NaN roots, which the test rejects
                    const D delta = V::Sub(V::Mul(k1, k1), V::Mul(k2x4, k0));
                    const D r = V::Sqrt(delta);
                    const D n1 = V::Sub(r, k1);          // t1 = n1 / (2 k2)
                    const D n2 = V::Sub(V::Neg(k1), r);  // t2 = n2 / (2 k2)
                    b.first[j] = n1;
                    b.second[j] = n2;
                    // Most chunks have one root far outside the patch; the product with the
                    // reciprocal shows that without the division (see screenRoots).
                    if (q.screenRoots) {
                        b.okFirst[j] = LanesMayBeInPatch<V>(V::Mul(n1, k2x2Inverse), valid);
                        b.okSecond[j] = LanesMayBeInPatch<V>(V::Mul(n2, k2x2Inverse), valid);
                    } else {
                        b.okFirst[j] = valid;
                        b.okSecond[j] = valid;
                    }
                    any |= V::Bits(V::Or(b.okFirst[j], b.okSecond[j]));
                }
            }
            if (any == 0)
                continue;

            // Stage 2, quadratic only: the divisions of the roots that may lie in the patch.
            if constexpr (kCase == QuadCase::Quadratic) {
                any = 0;
                for (int j = 0; j < chunks; ++j) {
                    const int may1 = V::Bits(b.okFirst[j]);
                    const int may2 = V::Bits(b.okSecond[j]);
                    if ((may1 | may2) == 0)
                        continue;
                    const D t1 = may1 != 0 ? V::Div(b.first[j], k2x2) : zero;
                    const D t2 = may2 != 0 ? V::Div(b.second[j], k2x2) : zero;
                    b.first[j] = t1;
                    b.second[j] = t2;
                    b.okFirst[j] = V::And(LanesInPatch<V>(t1), b.okFirst[j]);
                    b.okSecond[j] = V::And(LanesInPatch<V>(t2), b.okSecond[j]);
                    any |= V::Bits(V::Or(b.okFirst[j], b.okSecond[j]));
                }
                if (any == 0)
                    continue;
            }

            // Stage 3: s of every candidate whose t passed, the test of s, and the source
            // point of the candidate that stays (the second, when both pass).
            any = 0;
            for (int j = 0; j < chunks; ++j) {
                b.accepted[j] = 0;
                const M ok1 = b.okFirst[j];
                const M ok2 = b.okSecond[j];
                const int bits1 = V::Bits(ok1);
                const int bits2 = V::Bits(ok2);
                if ((bits1 | bits2) == 0)
                    continue;
                const D xd = V::Add(V::Add(blockXd, V::Set(static_cast<double>(j * kLanes))), iota);
                const D t1 = b.first[j];
                D t = t1;
                D s;
                M accept;
                if constexpr (kCase == QuadCase::Vertical) {
                    const D w = V::Sub(one, t1);
                    const D ly = V::Add(V::Set(q.y2), V::Mul(w, V::Set(q.y32)));
                    const D uy = V::Add(V::Set(q.y0), V::Mul(w, V::Set(q.y10)));
                    s = V::Div(V::Sub(yd, ly), V::Sub(uy, ly));
                    accept = V::And(ok1, LanesInPatch<V>(s));
                } else {
                    D s1 = zero;
                    M accept1 = none;
                    if (bits1 != 0) {
                        s1 = LanesSolveS<V>(q, t1, xd, yd, ok1);
                        accept1 = V::And(ok1, LanesInPatch<V>(s1));
                    }
                    s = s1;
                    accept = accept1;
                    if (bits2 != 0) {
                        const D t2 = b.second[j];
                        const D s2 = LanesSolveS<V>(q, t2, xd, yd, ok2);
                        const M accept2 = V::And(ok2, LanesInPatch<V>(s2));
                        // the second root is written last, so its colour stays
                        t = V::Blend(accept2, t1, t2);
                        s = V::Blend(accept2, s1, s2);
                        accept = V::Or(accept1, accept2);
                    }
                }
                const int bits = V::Bits(accept);
                if (bits == 0)
                    continue;
                b.accepted[j] = bits;
                any |= bits;
                b.sampleX[j] = V::Add(sourceLeft, V::Mul(sourceWidth, V::Sub(one, t)));
                b.sampleY[j] = V::Add(sourceTop, V::Mul(sourceHeight, V::Sub(one, s)));
            }
            if (any == 0)
                continue;

            // Stage 4: sampling. The words are kept until the whole block is sampled:
            // source and target rows often share their offsets within a 4 KiB page, and a
            // read just after a write to such an address waits for the write.
            for (int j = 0; j < chunks; ++j) {
                if (b.accepted[j] != 0)
                    b.words[j] = LanesSample<V>(sourceWords, b.sampleX[j], b.sampleY[j],
                                                V::MaskOfBits(b.accepted[j]));
            }
            // Stage 5: the writes.
            for (int j = 0; j < chunks; ++j) {
                if (b.accepted[j] != 0)
                    V::Store(row + blockX + j * kLanes, V::MaskOfBits(b.accepted[j]), b.words[j]);
            }
        }
    }
}

template <class V>
static void WarpRowsLanes(const QuadSetup& q, const PixelBuffer& source, const PixelBuffer& target)
{
    switch (q.quadCase) {
    case QuadCase::Vertical: LanesRows<V, QuadCase::Vertical>(q, source, target); return;
    case QuadCase::Linear: LanesRows<V, QuadCase::Linear>(q, source, target); return;
    case QuadCase::Quadratic: LanesRows<V, QuadCase::Quadratic>(q, source, target); return;
    }
}
