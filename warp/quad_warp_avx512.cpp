// The quad warp's pixel loop in eight AVX-512 lanes, chosen at run time where the processor
// has AVX-512 F and VL. CMake builds this file, and only this one, for AVX2, AVX-512 F and
// VL (cmake/warp_lanes.cmake). No FMA instruction is written here, and contraction is off
// for the whole build. The lanes' functions are internal to the file, so no copy built for
// AVX-512 is shared with the rest of the program.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "warp/pixel_buffer.h"
#include "warp/quad_setup.h"
#include "warp/quad_warp.h"

// GCC 12's AVX-512 headers build their undefined registers in a way that this warning flags.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// after every other header, as in the other loops' files
#include "warp/quad_lanes.h"

namespace {

struct Avx512Lanes {
    using D = __m512d;
    using M = __mmask8;
    using I = __m256i;
    using IM = __mmask8;
    static constexpr int kLanes = 8;

    static D Set(double v) { return _mm512_set1_pd(v); }
    static D Iota() { return _mm512_setr_pd(0.0, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0); }
    static D Add(D a, D b) { return _mm512_add_pd(a, b); }
    static D Sub(D a, D b) { return _mm512_sub_pd(a, b); }
    static D Mul(D a, D b) { return _mm512_mul_pd(a, b); }
    static D Div(D a, D b) { return _mm512_div_pd(a, b); }
    static D Sqrt(D a) { return _mm512_sqrt_pd(a); }
    static D Neg(D a)
    {
        const __m512i sign = _mm512_set1_epi64(INT64_MIN);
        return _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(a), sign));
    }
    static D MaxZero(D a) { return _mm512_max_pd(a, _mm512_setzero_pd()); }
    static M Ge(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
    static M Le(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
    static M Lt(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
    static M Eq(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
    static M And(M a, M b) { return static_cast<M>(a & b); }
    static M Or(M a, M b) { return static_cast<M>(a | b); }
    static D Blend(M mask, D a, D b) { return _mm512_mask_blend_pd(mask, a, b); }
    static int Bits(M mask) { return mask; }
    static M All() { return 0xFF; }
    static M None() { return 0; }
    static IM MaskOfBits(int bits) { return static_cast<IM>(bits); }
    static I Trunc(D a) { return _mm512_cvttpd_epi32(a); }
    static D Truncate(D a)
    {
        return _mm512_roundscale_pd(a, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    }
    static D Widen(I a) { return _mm512_cvtepi32_pd(a); }
    static I ISet(int32_t v) { return _mm256_set1_epi32(v); }
    static IM IGt(I a, I b) { return _mm256_cmpgt_epi32_mask(a, b); }
    static int32_t First(I a) { return _mm_cvtsi128_si32(_mm256_castsi256_si128(a)); }
    static IM IAnd(IM a, IM b) { return static_cast<IM>(a & b); }
    static I IKeep(I a, IM mask) { return _mm256_maskz_mov_epi32(mask, a); }
    template <int kByte>
    static I Byte(I words)
    {
        constexpr char k = kByte;
        constexpr char z = -128;  // a clear byte
        return _mm256_shuffle_epi8(words, _mm256_setr_epi8(k, z, z, z, k + 4, z, z, z, k + 8, z, z,
                                                           z, k + 12, z, z, z, k, z, z, z, k + 4, z,
                                                           z, z, k + 8, z, z, z, k + 12, z, z, z));
    }
    static I Pack(I red, I green, I blue)
    {
        const __m256i rgb = _mm256_or_si256(
            _mm256_or_si256(_mm256_slli_epi32(red, 16), _mm256_slli_epi32(green, 8)), blue);
        return _mm256_or_si256(rgb, _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u)));
    }
    // y * stride + x in 32-bit lanes, which narrowSampling guarantees
    static I Index(const SourceWords& source, I x, I y)
    {
        const __m256i stride = _mm256_set1_epi32(static_cast<int32_t>(source.strideWords));
        return _mm256_add_epi32(_mm256_mullo_epi32(y, stride), x);
    }
    static I Gather(const SourceWords& source, I x, I y, IM mask)
    {
        // Lanes whose mask is clear read nothing, so their index may be anything.
        return _mm256_mmask_i32gather_epi32(_mm256_setzero_si256(), mask, Index(source, x, y),
                                            source.pixels, 4);
    }
    // Each lane's c00 and c10 as one 64-bit lane of `top`, c00 the low half, and its c01 and
    // c11 likewise in `bottom`.
    struct Blocks {
        __m512i top;
        __m512i bottom;
    };
    static void StoreIndex(int32_t* at, I index)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), index);
    }
    static Blocks ReadBlocks(const SourceWords& source, const int32_t* at)
    {
        const __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
        return {_mm512_i32gather_epi64(index, source.pixels, 4),
                _mm512_i32gather_epi64(index, source.pixels + source.strideWords, 4)};
    }
    // A byte v placed in the low bits of 2^52's significand: the double 2^52 + v, less 2^52
    // exactly v.
    template <int kByte, int kCorner>
    static D Value(const Blocks& blocks)
    {
        constexpr int kShift = 8 * kByte + 32 * (kCorner % 2);
        const __m512i pairs = kCorner < 2 ? blocks.top : blocks.bottom;
        const __m512i shifted = kShift == 0 ? pairs : _mm512_srli_epi64(pairs, kShift);
        // (shifted & 0xFF) | the exponent of 2^52
        const __m512i biased = _mm512_ternarylogic_epi64(
            shifted, _mm512_set1_epi64(0xFF), _mm512_set1_epi64(0x4330000000000000), 0xEA);
        return _mm512_sub_pd(_mm512_castsi512_pd(biased), _mm512_set1_pd(0x1p52));
    }
    static void StoreAll(uint32_t* at, I words)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), words);
    }
    static void Store(uint32_t* at, IM mask, I words) { _mm256_mask_storeu_epi32(at, mask, words); }
};

}  // namespace

void WarpRowsAvx512(const QuadSetup& setup, const PixelBuffer& source, const PixelBuffer& target)
{
    WarpRowsLanes<Avx512Lanes>(setup, source, target);
}

#pragma GCC diagnostic pop
