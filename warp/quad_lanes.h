// The vector pixel loop of the quad warp, written once for any lane width. A file includes
// it after <immintrin.h> and every other header, and instantiates it with a lane type of
// its own, so each instruction set's copy stays inside that file.
//
// Every lane runs the scalar loop's operations in the scalar loop's order: vector add,
// multiply, divide and square root round exactly as their scalar forms do, so the pixels
// come out bit for bit the same. Values are named as in the scalar loop. What the lanes add
// is reuse and skipping: the terms of a column that do not change from row to row are
// computed once per column; a candidate's s is not computed when no lane's t passes; a root
// is not divided out when its numerator lies clearly outside the patch's range; the
// vertical rule of s is taken only when some Dx is 0; and a sample whose 2 x 2 block lies
// wholly inside the source reads it without the per-neighbour range tests.
#pragma once

#include <cstddef>
#include <cstdint>

#include "warp/pixel_buffer.h"
#include "warp/quad_setup.h"

// V supplies the lane types: D (kLanes doubles), M (a mask over D's lanes), I (kLanes 32-bit
// integers) and IM (a mask over I's lanes), and:
// - doubles: Set, Iota (0, 1, ...), Add, Sub, Mul, Div, Sqrt, Neg, Truncate (toward zero,
//   as a double), MaxZero (the larger of v and 0), and the ordered comparisons Ge, Le, Lt,
//   Eq giving M;
// - masks: And, Or, Blend(m, a, b) = m ? b : a, Bits (one bit per lane), All, None,
//   MaskOfBits (IM from Bits);
// - integers: Trunc (toward zero, D to I), Widen (I to D), ISet, IGt giving IM, IAnd, IKeep
//   (the lanes of an IM, 0 elsewhere), First (lane 0), Byte<k> (byte k of each lane) and
//   Pack (red, green, blue and alpha 0xFF into words);
// - memory: Gather (masked source words, 0 where the mask is clear), ReadBlocks (the 2 x 2
//   block at each lane's word index, all inside the source, as a Blocks whose Value<k,
//   corner> gives byte k of a corner's words as doubles), Store (masked target words) and
//   StoreAll. They read the SourceWords that LanesRows copies once per quad; under
//   narrowSampling its stride in words fits in 32 bits, so a lane type may narrow it.

// Row y of the target, as PixelBuffer::Row gives it. Each lane file is built for its
// instruction set as a whole, so it calls no shared inline function: an unoptimised build
// would emit its own copy of one, built for the wider instructions, and the linker could keep
// that copy for every caller.
static inline uint32_t* LanesTargetRow(const PixelBuffer& target, uint32_t y)
{
    return reinterpret_cast<uint32_t*>(static_cast<unsigned char*>(target.pixels) +
                                       static_cast<ptrdiff_t>(y) * target.stride);
}

template <class V>
static inline typename V::M LanesInPatch(typename V::D v)
{
    return V::And(V::Ge(v, V::Set(kPatchLow)), V::Le(v, V::Set(kPatchHigh)));
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
    const D tx2 = V::Mul(t, V::Set(q.x2));
    const D omtx3 = V::Mul(omt, V::Set(q.x3));
    const D dx =
        V::Sub(V::Sub(V::Add(V::Mul(omt, V::Set(q.x1)), V::Mul(t, V::Set(q.x0))), tx2), omtx3);
    D s = V::Div(V::Sub(xd, V::Add(tx2, omtx3)), dx);  // (X - (t x2 + (1 - t)x3)) / Dx
    const M flat = V::Eq(dx, V::Set(0.0));
    if (V::Bits(V::And(flat, wanted)) != 0) {
        const D ty2 = V::Mul(t, V::Set(q.y2));
        const D omty3 = V::Mul(omt, V::Set(q.y3));
        const D dy =
            V::Sub(V::Sub(V::Add(V::Mul(omt, V::Set(q.y1)), V::Mul(t, V::Set(q.y0))), ty2), omty3);
        const D sv = V::Div(V::Sub(yd, V::Add(ty2, omty3)), dy);  // (Y - (t y2 + (1 - t)y3)) / Dy
        s = V::Blend(flat, s, sv);
    }
    return s;
}

// One channel of the neighbours' values v00, v10, v01, v11: (v00(1 - fx) + v10 fx)(1 - fy) +
// (v01(1 - fx) + v11 fx)fy, truncated. Left of or above the source a weight may be below 0,
// and a negative value gives 0; where every weight is at least 0 (kClamp false), so is the
// value, and truncation alone does.
template <class V, bool kClamp>
static inline typename V::I LanesChannel(typename V::D v00, typename V::D v10, typename V::D v01,
                                         typename V::D v11, typename V::D fx, typename V::D omfx,
                                         typename V::D fy, typename V::D omfy)
{
    using D = typename V::D;
    const D top = V::Add(V::Mul(v00, omfx), V::Mul(v10, fx));
    const D bottom = V::Add(V::Mul(v01, omfx), V::Mul(v11, fx));
    const D value = V::Add(V::Mul(top, omfy), V::Mul(bottom, fy));
    // finite here, so the larger of the value and 0 truncates as the truncation clamped
    return V::Trunc(kClamp ? V::MaxZero(value) : value);
}

// Byte kByte of the neighbours' words c00, c10, c01, c11 as doubles.
template <class V, int kByte>
static inline typename V::I LanesChannelOfWords(const typename V::I (&c)[4], typename V::D fx,
                                                typename V::D omfx, typename V::D fy,
                                                typename V::D omfy)
{
    return LanesChannel<V, true>(V::Widen(V::template Byte<kByte>(c[0])),
                                 V::Widen(V::template Byte<kByte>(c[1])),
                                 V::Widen(V::template Byte<kByte>(c[2])),
                                 V::Widen(V::template Byte<kByte>(c[3])), fx, omfx, fy, omfy);
}

// The same of 2 x 2 blocks as the lane type reads them (Value<kByte, corner>, the corners
// numbered as c00, c10, c01, c11), every weight at least 0.
template <class V, int kByte>
static inline typename V::I LanesChannelOfBlocks(const typename V::Blocks& blocks, typename V::D fx,
                                                 typename V::D omfx, typename V::D fy,
                                                 typename V::D omfy)
{
    return LanesChannel<V, false>(V::template Value<kByte, 0>(blocks),
                                  V::template Value<kByte, 1>(blocks),
                                  V::template Value<kByte, 2>(blocks),
                                  V::template Value<kByte, 3>(blocks), fx, omfx, fy, omfy);
}

// The bilinear colours at (sx, sy) of the wanted lanes, any of which may have neighbours
// outside the source (0 there), as the scalar loop reads them: xa, ya, xb = trunc(x + 1) and
// yb = trunc(y + 1) each tested against the source's size.
template <class V>
static inline typename V::I LanesSampleAnywhere(const SourceWords& source, typename V::D sx,
                                                typename V::D sy, typename V::IM wanted)
{
    using D = typename V::D;
    using I = typename V::I;
    using IM = typename V::IM;
    const D one = V::Set(1.0);
    const I xa = V::Trunc(sx);
    const I ya = V::Trunc(sy);
    const I xb = V::Trunc(V::Add(sx, one));  // (x + 1) truncated, not xa + 1
    const I yb = V::Trunc(V::Add(sy, one));
    const D fx = V::Sub(sx, V::Widen(xa));
    const D fy = V::Sub(sy, V::Widen(ya));
    // both within 2^30 under narrowSampling
    const I minusOne = V::ISet(-1);
    const I width = V::ISet(static_cast<int32_t>(source.width));
    const I height = V::ISet(static_cast<int32_t>(source.height));
    const IM inXa = V::IAnd(V::IGt(xa, minusOne), V::IGt(width, xa));
    const IM inXb = V::IAnd(V::IGt(xb, minusOne), V::IGt(width, xb));
    const IM wantedYa = V::IAnd(V::IAnd(V::IGt(ya, minusOne), V::IGt(height, ya)), wanted);
    const IM wantedYb = V::IAnd(V::IAnd(V::IGt(yb, minusOne), V::IGt(height, yb)), wanted);
    const I c[4] = {V::Gather(source, xa, ya, V::IAnd(inXa, wantedYa)),
                    V::Gather(source, xb, ya, V::IAnd(inXb, wantedYa)),
                    V::Gather(source, xa, yb, V::IAnd(inXa, wantedYb)),
                    V::Gather(source, xb, yb, V::IAnd(inXb, wantedYb))};
    const D omfx = V::Sub(one, fx);  // 1 - fx
    const D omfy = V::Sub(one, fy);  // 1 - fy
    return V::Pack(LanesChannelOfWords<V, 2>(c, fx, omfx, fy, omfy),
                   LanesChannelOfWords<V, 1>(c, fx, omfx, fy, omfy),
                   LanesChannelOfWords<V, 0>(c, fx, omfx, fy, omfy));
}

// Below this fraction x - trunc(x) of a sample coordinate 0 <= x < 2^30, x + 1 rounds to
// less than trunc(x) + 2 (its rounding error is at most 2^-23), so xb = trunc(x + 1) is
// xa + 1.
constexpr double kFractionLimit = 1.0 - 0x1p-22;
constexpr int32_t kPrefetchRows = 2;

// What sampling needs of a quad besides the source words.
template <class V>
struct LanesSampling {
    typename V::D stride;      // the source's stride in words
    typename V::D lastColumn;  // source width - 1
    typename V::D lastRow;     // source height - 1
    typename V::D fractionLimit;
    int64_t lastRowStart;  // the index of the last source row's first word
    bool inside;           // QuadSetup::samplesInside
};

// The first half of sampling the lanes whose bits are in `wanted`, at (sx, sy). Where each
// wanted lane's 2 x 2 block lies inside the source, stores xa = trunc(x) and ya = trunc(y)
// as the word index ya * stride + xa (0 for the other lanes), gives the fractions fx, fy and
// returns true; otherwise LanesSampleAnywhere gives the colours at once.
template <class V>
static inline bool LanesLocate(const SourceWords& source, const LanesSampling<V>& g,
                               typename V::D sx, typename V::D sy, int wanted, int32_t* index,
                               typename V::D& fx, typename V::D& fy, typename V::I& words)
{
    using D = typename V::D;
    using M = typename V::M;
    using I = typename V::I;
    const D xa = V::Truncate(sx);
    const D ya = V::Truncate(sy);
    // x - xa, y - ya. At x = -0 this fraction is +0 where the scalar loop's is -0; the
    // channels then differ only in the signs of zero terms, which no sum keeps.
    fx = V::Sub(sx, xa);
    fy = V::Sub(sy, ya);
    // xb = xa + 1 and yb = ya + 1; and, unless the whole quad's samples are inside, the
    // block at (xa, ya) inside the source
    M fits = V::And(V::Lt(fx, g.fractionLimit), V::Lt(fy, g.fractionLimit));
    if (!g.inside) {
        const D zero = V::Set(0.0);
        fits = V::And(fits, V::And(V::And(V::Ge(sx, zero), V::Lt(sx, g.lastColumn)),
                                   V::And(V::Ge(sy, zero), V::Lt(sy, g.lastRow))));
    }
    if ((V::Bits(fits) & wanted) != wanted) {
        words = LanesSampleAnywhere<V>(source, sx, sy, V::MaskOfBits(wanted));
        return false;
    }
    // ya * stride + xa: whole numbers whose result lies below 2^31, so exact
    const I at = V::IKeep(V::Trunc(V::Add(V::Mul(ya, g.stride), xa)), V::MaskOfBits(wanted));
    V::StoreIndex(index, at);
    // The next target rows mostly read the next source rows: ask for them early. A lane not
    // wanted reads the block at (0, 0).
    const int64_t ahead = int64_t(V::First(at)) + kPrefetchRows * source.strideWords;
    _mm_prefetch(reinterpret_cast<const char*>(source.pixels +
                                               (ahead < g.lastRowStart ? ahead : g.lastRowStart)),
                 _MM_HINT_T0);
    return true;
}

// The second half: the bilinear colours of the blocks that V::ReadBlocks read, every weight
// at least 0.
template <class V>
static inline typename V::I LanesColourOfBlocks(const typename V::Blocks& blocks, typename V::D fx,
                                                typename V::D fy)
{
    using D = typename V::D;
    const D one = V::Set(1.0);
    const D omfx = V::Sub(one, fx);  // 1 - fx
    const D omfy = V::Sub(one, fy);  // 1 - fy
    return V::Pack(LanesChannelOfBlocks<V, 2>(blocks, fx, omfx, fy, omfy),
                   LanesChannelOfBlocks<V, 1>(blocks, fx, omfx, fy, omfy),
                   LanesChannelOfBlocks<V, 0>(blocks, fx, omfx, fy, omfy));
}

// The blocks of a row: at most kBlockChunks chunks of kLanes pixels, taken through the warp
// in stages. Every stage runs over all chunks before the next begins: a chunk's whole chain
// of dependent operations (roots, divisions, s, sampling) is too long for the processor to
// keep several chunks under way, while the stages' short chains of independent chunks
// overlap well. Blocks are taken column by column, every row of a block after the other,
// so that the terms that depend on X alone are computed once per block.
constexpr int kBlockChunks = 16;

template <class V>
struct LanesColumns {
    using D = typename V::D;
    using M = typename V::M;
    D xd[kBlockChunks];
    M valid[kBlockChunks];  // the chunk's lanes up to the quad's last column
    D k1x[kBlockChunks];    // Ay(X - x3) + (y1 - y3)(x3 - x2), k1's terms in X
    D k0x[kBlockChunks];    // (y1 - y3)(X - x3), k0's term in X
    D t[kBlockChunks];      // vertical: t = (X - x1) / (x0 - x1)
    M tOk[kBlockChunks];    // vertical: t in the patch
};

template <class V>
struct LanesBlock {
    using D = typename V::D;
    using M = typename V::M;
    // t1 and t2 (or the one t) and which lanes' pass, from stages 1 and 2; after stage 3,
    // the t and s of the candidate that stays
    D first[kBlockChunks];
    D second[kBlockChunks];
    M okFirst[kBlockChunks];
    M okSecond[kBlockChunks];
    typename V::I words[kBlockChunks];
    int accepted[kBlockChunks];  // Bits of the lanes to write
    bool located[kBlockChunks];  // by LanesLocate, into index, fx and fy
    int32_t index[kBlockChunks][V::kLanes];
    typename V::Blocks blocks[kBlockChunks];
    D fx[kBlockChunks];
    D fy[kBlockChunks];
};

// The terms of the solve that change from row to row.
template <class V>
struct LanesRowTerms {
    typename V::D yd;   // Y
    typename V::D k1c;  // Ax(Y - y3)
    typename V::D k0b;  // (x1 - x3)(Y - y3)

    LanesRowTerms(const QuadSetup& q, int64_t y)
    {
        const double yValue = static_cast<double>(y);
        const double yy3 = yValue - q.y3;  // Y - y3
        yd = V::Set(yValue);
        k1c = V::Set(q.ax * yy3);
        k0b = V::Set(q.x13 * yy3);
    }
};

// Stages 1 and 2 for chunk j of a row: the candidates' t and which of them lie in the
// patch; for the quadratic, the roots' numerators, which of them may lie in the patch, and
// the divisions of those. Gives the Bits of the candidates.
template <class V, QuadCase kCase>
static inline int LanesRoots(const QuadSetup& q, const LanesColumns<V>& c,
                             const LanesRowTerms<V>& terms, LanesBlock<V>& b, int j)
{
    using D = typename V::D;
    if constexpr (kCase == QuadCase::Vertical) {
        b.first[j] = c.t[j];
        b.okFirst[j] = c.tOk[j];
        b.okSecond[j] = V::None();
        return V::Bits(b.okFirst[j]);
    }
    // k1 = Ay(X - x3) + (y1 - y3)(x3 - x2) - Ax(Y - y3) - (x1 - x3)(y3 - y2)
    const D k1 = V::Sub(V::Sub(c.k1x[j], terms.k1c), V::Set(q.k1d));
    const D k0 = V::Sub(c.k0x[j], terms.k0b);  // (y1 - y3)(X - x3) - (x1 - x3)(Y - y3)
    if constexpr (kCase == QuadCase::Linear) {
        // k1 = 0 gives an infinite or NaN t, which the test rejects
        const D t = V::Div(V::Neg(k0), k1);  // -k0 / k1
        b.first[j] = t;
        b.okFirst[j] = V::And(LanesInPatch<V>(t), c.valid[j]);
        b.okSecond[j] = V::None();
        return V::Bits(b.okFirst[j]);
    }
    // a negative discriminant gives NaN roots, which the tests reject
    const D delta = V::Sub(V::Mul(k1, k1), V::Mul(V::Set(q.k2x4), k0));  // k1 k1 - 4 k2 k0
    const D r = V::Sqrt(delta);
    const D n1 = V::Sub(r, k1);          // t1 = (r - k1) / (2 k2)
    const D n2 = V::Sub(V::Neg(k1), r);  // t2 = (-k1 - r) / (2 k2)
    // Most chunks have one root far outside the patch, which its numerator shows without
    // the division (see QuadSetup::rootLow).
    const D rootLow = V::Set(q.rootLow);
    const D rootHigh = V::Set(q.rootHigh);
    const typename V::M may1 = V::And(V::And(V::Ge(n1, rootLow), V::Le(n1, rootHigh)), c.valid[j]);
    const typename V::M may2 = V::And(V::And(V::Ge(n2, rootLow), V::Le(n2, rootHigh)), c.valid[j]);
    int bits = 0;
    b.okFirst[j] = may1;
    b.okSecond[j] = may2;
    if (V::Bits(may1) != 0) {
        const D t1 = V::Div(n1, V::Set(q.k2x2));
        b.first[j] = t1;
        b.okFirst[j] = V::And(LanesInPatch<V>(t1), may1);
        bits = V::Bits(b.okFirst[j]);
    }
    if (V::Bits(may2) != 0) {
        const D t2 = V::Div(n2, V::Set(q.k2x2));
        b.second[j] = t2;
        b.okSecond[j] = V::And(LanesInPatch<V>(t2), may2);
        bits |= V::Bits(b.okSecond[j]);
    }
    return bits;
}

// Stage 3 for chunk j of a row: s of every candidate whose t passed, the test of s, and
// the t and s of the candidate that stays (the second, when both pass). Sets and gives the
// Bits of the accepted lanes.
template <class V, QuadCase kCase>
static inline int LanesSolve(const QuadSetup& q, const LanesColumns<V>& c,
                             const LanesRowTerms<V>& terms, LanesBlock<V>& b, int j)
{
    using D = typename V::D;
    using M = typename V::M;
    const M ok1 = b.okFirst[j];
    const M ok2 = b.okSecond[j];
    const int bits1 = V::Bits(ok1);
    const int bits2 = V::Bits(ok2);
    b.accepted[j] = 0;
    if ((bits1 | bits2) == 0)
        return 0;
    const D one = V::Set(1.0);
    const D xd = c.xd[j];
    const D yd = terms.yd;
    const D t1 = b.first[j];
    D t = t1;
    D s;
    M accept;
    if constexpr (kCase == QuadCase::Vertical) {
        const D w = V::Sub(one, t1);                                  // 1 - t
        const D ly = V::Add(V::Set(q.y2), V::Mul(w, V::Set(q.y32)));  // y2 + w(y3 - y2)
        const D uy = V::Add(V::Set(q.y0), V::Mul(w, V::Set(q.y10)));  // y0 + w(y1 - y0)
        s = V::Div(V::Sub(yd, ly), V::Sub(uy, ly));                   // (Y - Ly) / (Uy - Ly)
        accept = V::And(ok1, LanesInPatch<V>(s));
    } else {
        D s1 = V::Set(0.0);
        M accept1 = V::None();
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
    b.first[j] = t;
    b.second[j] = s;
    b.accepted[j] = V::Bits(accept);
    return b.accepted[j];
}

// A row's stages, run over the chunks of a block: 1 and 2 (LanesRoots), 3 (LanesSolve),
// then where each chunk reads, the reads, the colours and the writes. The reads come apart
// from computing their addresses so that none waits for its address. The next row's
// stages 1 and 2 go beside this row's colours, and its stage 3 beside this row's writes,
// once this row's candidates are used up, so that the square roots and divisions overlap
// the other arithmetic.
template <class V, QuadCase kCase>
static void LanesRows(const QuadSetup& q, const PixelBuffer& source, const PixelBuffer& target)
{
    using D = typename V::D;
    using M = typename V::M;
    constexpr int kLanes = V::kLanes;
    constexpr int kAllBits = (1 << kLanes) - 1;
    const D one = V::Set(1.0);
    const D iota = V::Iota();
    const M all = V::All();
    const D sourceLeft = V::Set(q.sourceLeft);
    const D sourceTop = V::Set(q.sourceTop);
    const D sourceWidth = V::Set(q.sourceWidth);
    const D sourceHeight = V::Set(q.sourceHeight);
    const SourceWords sourceWords = WordsOf(source);
    // under narrowSampling every one of these is a whole number below 2^31
    const LanesSampling<V> sampling{V::Set(static_cast<double>(sourceWords.strideWords)),
                                    V::Set(static_cast<double>(sourceWords.width - 1)),
                                    V::Set(static_cast<double>(sourceWords.height - 1)),
                                    V::Set(kFractionLimit),
                                    sourceWords.strideWords * (sourceWords.height - 1),
                                    q.samplesInside};
    LanesColumns<V> c;
    LanesBlock<V> b;

    for (int64_t blockX = q.xStart; blockX <= q.xEnd; blockX += kBlockChunks * kLanes) {
        const int64_t left = q.xEnd - blockX + 1;  // pixels from blockX to the row's end
        const int chunks = left >= kBlockChunks * kLanes
                               ? kBlockChunks
                               : static_cast<int>((left + kLanes - 1) / kLanes);
        const D blockXd = V::Set(static_cast<double>(blockX));
        for (int j = 0; j < chunks; ++j) {
            const int64_t remaining = left - int64_t(j) * kLanes;
            c.valid[j] =
                remaining >= kLanes ? all : V::Lt(iota, V::Set(static_cast<double>(remaining)));
            // whole numbers: the sum is exact in any order
            const D xd = V::Add(V::Add(blockXd, V::Set(static_cast<double>(j * kLanes))), iota);
            c.xd[j] = xd;
            if constexpr (kCase == QuadCase::Vertical) {
                const D t = V::Div(V::Sub(xd, V::Set(q.x1)), V::Set(q.x01));  // (X - x1) / x01
                c.t[j] = t;
                c.tOk[j] = V::And(LanesInPatch<V>(t), c.valid[j]);
            } else {
                const D dx3 = V::Sub(xd, V::Set(q.x3));  // X - x3
                c.k1x[j] = V::Add(V::Mul(V::Set(q.ay), dx3), V::Set(q.k1b));
                c.k0x[j] = V::Mul(V::Set(q.y13), dx3);
            }
        }

        // How far the next row's stages went beside this one's: 0 not at all, 2 through
        // stage 2, 3 through stage 3; and the Bits they left.
        int doneBelow = 0;
        int anyBelow = 0;
        for (int64_t y = q.yStart; y <= q.yEnd; ++y) {
            uint32_t* row = LanesTargetRow(target, static_cast<uint32_t>(y));
            const LanesRowTerms<V> r(q, y);
            const int done = doneBelow;
            int any = anyBelow;
            doneBelow = 0;
            if (done < 2) {
                any = 0;
                for (int j = 0; j < chunks; ++j)
                    any |= LanesRoots<V, kCase>(q, c, r, b, j);
            }
            if (any == 0)
                continue;
            if (done < 3) {
                any = 0;
                for (int j = 0; j < chunks; ++j)
                    any |= LanesSolve<V, kCase>(q, c, r, b, j);
                if (any == 0)
                    continue;
            }

            // The accepted candidates' source points and where the sampling reads.
            for (int j = 0; j < chunks; ++j) {
                if (b.accepted[j] == 0)
                    continue;
                // sourceLeft + sourceWidth(1 - t), sourceTop + sourceHeight(1 - s)
                const D sx = V::Add(sourceLeft, V::Mul(sourceWidth, V::Sub(one, b.first[j])));
                const D sy = V::Add(sourceTop, V::Mul(sourceHeight, V::Sub(one, b.second[j])));
                b.located[j] = LanesLocate<V>(sourceWords, sampling, sx, sy, b.accepted[j],
                                              b.index[j], b.fx[j], b.fy[j], b.words[j]);
            }
            // The reads. The words are kept until the whole block is sampled: source and
            // target rows often share their offsets within a 4 KiB page, and a read just
            // after a write to such an address waits for the write.
            for (int j = 0; j < chunks; ++j) {
                if (b.accepted[j] != 0 && b.located[j])
                    b.blocks[j] = V::ReadBlocks(sourceWords, b.index[j]);
            }
            // The colours, and beside them the next row's stages 1 and 2.
            const bool below = y < q.yEnd;
            const LanesRowTerms<V> next(q, below ? y + 1 : y);
            anyBelow = 0;
            for (int j = 0; j < chunks; ++j) {
                if (b.accepted[j] != 0 && b.located[j])
                    b.words[j] = LanesColourOfBlocks<V>(b.blocks[j], b.fx[j], b.fy[j]);
                if (below)
                    anyBelow |= LanesRoots<V, kCase>(q, c, next, b, j);
            }
            // The writes, each with a request for the words its chunk will write a few rows
            // further down, so that those are at hand when it does; and beside them the next
            // row's stage 3, which takes over the accepted lanes once they are written.
            const uint32_t* ahead = LanesTargetRow(
                target,
                static_cast<uint32_t>(y + kPrefetchRows < q.yEnd ? y + kPrefetchRows : q.yEnd));
            const bool solveBelow = below && anyBelow != 0;
            int acceptedBelow = 0;
            for (int j = 0; j < chunks; ++j) {
                uint32_t* at = row + blockX + j * kLanes;
                _mm_prefetch(reinterpret_cast<const char*>(ahead + blockX + j * kLanes),
                             _MM_HINT_T0);
                if (b.accepted[j] == kAllBits)
                    V::StoreAll(at, b.words[j]);
                else if (b.accepted[j] != 0)
                    V::Store(at, V::MaskOfBits(b.accepted[j]), b.words[j]);
                if (solveBelow)
                    acceptedBelow |= LanesSolve<V, kCase>(q, c, next, b, j);
            }
            if (below) {
                doneBelow = solveBelow ? 3 : 2;
                anyBelow = solveBelow ? acceptedBelow : 0;
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
