// The quad warp's pixel loop in two SSE2 lanes. SSE2 is part of every x86-64 processor, so
// this loop needs no instruction-set option (cmake/warp_lanes.cmake gives it none) and no
// check at run time: it is the vector loop of every build, and the one the wider loops fall
// back to where they are not built.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "warp/pixel_buffer.h"
#include "warp/quad_setup.h"
#include "warp/quad_warp.h"

// after every other header, as in the wider loops' files
#include "warp/quad_lanes.h"

namespace {

struct Sse2Lanes {
    using D = __m128d;
    using M = __m128d;
    using I = __m128i;  // the low two lanes
    using IM = __m128i;
    static constexpr int kLanes = 2;

    static D Set(double v) { return _mm_set1_pd(v); }
    static D Iota() { return _mm_setr_pd(0.0, 1.0); }
    static D Add(D a, D b) { return _mm_add_pd(a, b); }
    static D Sub(D a, D b) { return _mm_sub_pd(a, b); }
    static D Mul(D a, D b) { return _mm_mul_pd(a, b); }
    static D Div(D a, D b) { return _mm_div_pd(a, b); }
    static D Sqrt(D a) { return _mm_sqrt_pd(a); }
    static D Neg(D a) { return _mm_xor_pd(a, _mm_set1_pd(-0.0)); }
    static D MaxZero(D a) { return _mm_max_pd(a, _mm_setzero_pd()); }
    static M Ge(D a, D b) { return _mm_cmpge_pd(a, b); }
    static M Le(D a, D b) { return _mm_cmple_pd(a, b); }
    static M Lt(D a, D b) { return _mm_cmplt_pd(a, b); }
    static M Eq(D a, D b) { return _mm_cmpeq_pd(a, b); }
    static M And(M a, M b) { return _mm_and_pd(a, b); }
    static M Or(M a, M b) { return _mm_or_pd(a, b); }
    static D Blend(M mask, D a, D b)
    {
        return _mm_or_pd(_mm_and_pd(mask, b), _mm_andnot_pd(mask, a));
    }
    static int Bits(M mask) { return _mm_movemask_pd(mask); }
    static M All() { return _mm_castsi128_pd(_mm_set1_epi32(-1)); }
    static M None() { return _mm_setzero_pd(); }
    static IM MaskOfBits(int bits)
    {
        const __m128i lanes = _mm_setr_epi32(1, 2, 4, 8);
        return _mm_cmpeq_epi32(_mm_and_si128(_mm_set1_epi32(bits), lanes), lanes);
    }
    static I Trunc(D a) { return _mm_cvttpd_epi32(a); }
    // SSE2 has no rounding instruction; the loop needs this only below 2^31 in size
    static D Truncate(D a) { return _mm_cvtepi32_pd(_mm_cvttpd_epi32(a)); }
    static D Widen(I a) { return _mm_cvtepi32_pd(a); }
    static I ISet(int32_t v) { return _mm_set1_epi32(v); }
    static IM IGt(I a, I b) { return _mm_cmpgt_epi32(a, b); }
    static int32_t First(I a) { return _mm_cvtsi128_si32(a); }
    static IM IAnd(IM a, IM b) { return _mm_and_si128(a, b); }
    static I IKeep(I a, IM mask) { return _mm_and_si128(a, mask); }
    template <int kByte>
    static I Byte(I words)
    {
        return _mm_and_si128(_mm_srli_epi32(words, 8 * kByte), _mm_set1_epi32(0xFF));
    }
    static I Pack(I red, I green, I blue)
    {
        const __m128i rgb =
            _mm_or_si128(_mm_or_si128(_mm_slli_epi32(red, 16), _mm_slli_epi32(green, 8)), blue);
        return _mm_or_si128(rgb, _mm_set1_epi32(static_cast<int32_t>(0xFF000000u)));
    }
    static I Gather(const SourceWords& source, I x, I y, IM mask)
    {
        alignas(16) int32_t xs[4];
        alignas(16) int32_t ys[4];
        alignas(16) int32_t ms[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(xs), x);
        _mm_store_si128(reinterpret_cast<__m128i*>(ys), y);
        _mm_store_si128(reinterpret_cast<__m128i*>(ms), mask);
        uint32_t words[2] = {0, 0};
        for (int i = 0; i < kLanes; ++i) {
            if (ms[i] != 0)
                words[i] = source.pixels[ptrdiff_t(ys[i]) * source.strideWords + xs[i]];
        }
        return _mm_setr_epi32(static_cast<int32_t>(words[0]), static_cast<int32_t>(words[1]), 0, 0);
    }
    // The four neighbours' words of each lane: c00, c10, c01, c11.
    struct Blocks {
        I c[4];
    };
    static void StoreIndex(int32_t* at, I index)
    {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(at), index);
    }
    static Blocks ReadBlocks(const SourceWords& source, const int32_t* index)
    {
        const ptrdiff_t stride = source.strideWords;
        const uint32_t* p0 = source.pixels + index[0];
        const uint32_t* p1 = source.pixels + index[1];
        // c00 and c10 of both lanes, then c01 and c11
        const __m128i top =
            _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p0)),
                               _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p1)));
        const __m128i bottom =
            _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p0 + stride)),
                               _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p1 + stride)));
        return {{_mm_shuffle_epi32(top, _MM_SHUFFLE(3, 1, 2, 0)),
                 _mm_shuffle_epi32(top, _MM_SHUFFLE(3, 1, 3, 1)),
                 _mm_shuffle_epi32(bottom, _MM_SHUFFLE(3, 1, 2, 0)),
                 _mm_shuffle_epi32(bottom, _MM_SHUFFLE(3, 1, 3, 1))}};
    }
    template <int kByte, int kCorner>
    static D Value(const Blocks& blocks)
    {
        return Widen(Byte<kByte>(blocks.c[kCorner]));
    }
    static void StoreAll(uint32_t* at, I words)
    {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(at), words);
    }
    static void Store(uint32_t* at, IM mask, I words)
    {
        const int bits = _mm_movemask_ps(_mm_castsi128_ps(mask));
        if (bits & 1)
            at[0] = static_cast<uint32_t>(_mm_cvtsi128_si32(words));
        if (bits & 2)
            at[1] = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(words, 4)));
    }
};

}  // namespace

void WarpRowsSse2(const QuadSetup& setup, const PixelBuffer& source, const PixelBuffer& target)
{
    WarpRowsLanes<Sse2Lanes>(setup, source, target);
}
