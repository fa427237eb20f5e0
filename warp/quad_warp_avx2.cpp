// The quad warp's pixel loop in four AVX2 lanes, chosen at run time where the processor has
// AVX2. CMake builds this file, and only this one, for AVX2 (cmake/warp_lanes.cmake): AVX2
// only, no FMA, whose single rounding would change the bits. The lanes' functions are
// internal to the file, so no copy built for AVX2 is shared with the rest of the program.
#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "warp/pixel_buffer.h"
#include "warp/quad_setup.h"
#include "warp/quad_warp.h"

// after every other header, as in the other loops' files
#include "warp/quad_lanes.h"

namespace {

struct Avx2Lanes {
    using D = __m256d;
    using M = __m256d;
    using I = __m128i;
    using IM = __m128i;
    static constexpr int kLanes = 4;

    static D Set(double v) { return _mm256_set1_pd(v); }
    static D Iota() { return _mm256_setr_pd(0.0, 1.0, 2.0, 3.0); }
    static D Add(D a, D b) { return _mm256_add_pd(a, b); }
    static D Sub(D a, D b) { return _mm256_sub_pd(a, b); }
    static D Mul(D a, D b) { return _mm256_mul_pd(a, b); }
    static D Div(D a, D b) { return _mm256_div_pd(a, b); }
    static D Sqrt(D a) { return _mm256_sqrt_pd(a); }
    static D Neg(D a) { return _mm256_xor_pd(a, _mm256_set1_pd(-0.0)); }
    static D MaxZero(D a) { return _mm256_max_pd(a, _mm256_setzero_pd()); }
    static M Ge(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
    static M Le(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
    static M Lt(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
    static M Eq(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
    static M And(M a, M b) { return _mm256_and_pd(a, b); }
    static M Or(M a, M b) { return _mm256_or_pd(a, b); }
    static D Blend(M mask, D a, D b) { return _mm256_blendv_pd(a, b, mask); }
    static int Bits(M mask) { return _mm256_movemask_pd(mask); }
    static M All() { return _mm256_castsi256_pd(_mm256_set1_epi32(-1)); }
    static M None() { return _mm256_setzero_pd(); }
    static IM MaskOfBits(int bits)
    {
        const __m128i lanes = _mm_setr_epi32(1, 2, 4, 8);
        return _mm_cmpeq_epi32(_mm_and_si128(_mm_set1_epi32(bits), lanes), lanes);
    }
    static I Trunc(D a) { return _mm256_cvttpd_epi32(a); }
    static D Truncate(D a) { return _mm256_round_pd(a, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
    static D Widen(I a) { return _mm256_cvtepi32_pd(a); }
    static I ISet(int32_t v) { return _mm_set1_epi32(v); }
    static IM IGt(I a, I b) { return _mm_cmpgt_epi32(a, b); }
    static int32_t First(I a) { return _mm_cvtsi128_si32(a); }
    static IM IAnd(IM a, IM b) { return _mm_and_si128(a, b); }
    static I IKeep(I a, IM mask) { return _mm_and_si128(a, mask); }
    template <int kByte>
    static I Byte(I words)
    {
        constexpr char k = kByte;
        constexpr char z = -128;  // a clear byte
        return _mm_shuffle_epi8(
            words, _mm_setr_epi8(k, z, z, z, k + 4, z, z, z, k + 8, z, z, z, k + 12, z, z, z));
    }
    static I Pack(I red, I green, I blue)
    {
        const __m128i rgb =
            _mm_or_si128(_mm_or_si128(_mm_slli_epi32(red, 16), _mm_slli_epi32(green, 8)), blue);
        return _mm_or_si128(rgb, _mm_set1_epi32(static_cast<int32_t>(0xFF000000u)));
    }
    // y * stride + x in 32-bit lanes, which narrowSampling guarantees
    static I Index(const SourceWords& source, I x, I y)
    {
        const __m128i stride = _mm_set1_epi32(static_cast<int32_t>(source.strideWords));
        return _mm_add_epi32(_mm_mullo_epi32(y, stride), x);
    }
    static I Gather(const SourceWords& source, I x, I y, IM mask)
    {
        // Lanes whose mask is clear read nothing, so their index may be anything.
        return _mm_mask_i32gather_epi32(_mm_setzero_si128(),
                                        reinterpret_cast<const int*>(source.pixels),
                                        Index(source, x, y), mask, 4);
    }
    // Each lane's c00 and c10 as one 64-bit lane of `top`, c00 the low half, and its c01 and
    // c11 likewise in `bottom`.
    struct Blocks {
        __m256i top;
        __m256i bottom;
    };
    static __m256i Join(__m128i a, __m128i b, __m128i c, __m128i d)
    {
        return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi64(a, b)),
                                       _mm_unpacklo_epi64(c, d), 1);
    }
    static void StoreIndex(int32_t* at, I index)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), index);
    }
    static Blocks ReadBlocks(const SourceWords& source, const int32_t* at)
    {
        __m128i top[4];
        __m128i bottom[4];
        for (int i = 0; i < 4; ++i) {
            const uint32_t* p = source.pixels + at[i];
            top[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
            bottom[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + source.strideWords));
        }
        return {Join(top[0], top[1], top[2], top[3]),
                Join(bottom[0], bottom[1], bottom[2], bottom[3])};
    }
    // A byte v placed in the low bits of 2^52's significand: the double 2^52 + v, less 2^52
    // exactly v.
    template <int kByte, int kCorner>
    static D Value(const Blocks& blocks)
    {
        constexpr char k = kByte + (kCorner % 2) * 4;
        constexpr char z = -128;  // a clear byte
        const __m256i pairs = kCorner < 2 ? blocks.top : blocks.bottom;
        const __m256i byte = _mm256_shuffle_epi8(
            pairs, _mm256_setr_epi8(k, z, z, z, z, z, z, z, k + 8, z, z, z, z, z, z, z, k, z, z, z,
                                    z, z, z, z, k + 8, z, z, z, z, z, z, z));
        const __m256i biased = _mm256_or_si256(byte, _mm256_set1_epi64x(0x4330000000000000));
        return _mm256_sub_pd(_mm256_castsi256_pd(biased), _mm256_set1_pd(0x1p52));
    }
    static void StoreAll(uint32_t* at, I words)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), words);
    }
    static void Store(uint32_t* at, IM mask, I words)
    {
        _mm_maskstore_epi32(reinterpret_cast<int*>(at), mask, words);
    }
};

}  // namespace

void WarpRowsAvx2(const QuadSetup& setup, const PixelBuffer& source, const PixelBuffer& target)
{
    WarpRowsLanes<Avx2Lanes>(setup, source, target);
}
