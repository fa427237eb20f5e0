// The choice between the quad warp's pixel loops: the widest loop the processor has, at
// most the one asked for, and the call to it. The scalar loop and the per-quad setup live in
// quad_warp.cpp, the vector loops in a file per instruction set, which CMake builds for its
// instructions (cmake/warp_lanes.cmake).
#include <atomic>
#include <cstdint>

#include "warp/quad_setup.h"
#include "warp/quad_warp.h"

namespace {

WarpKernel BestKernel()
{
#if defined(__GNUC__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx2"))
        return WarpKernel::Avx512;
    if (__builtin_cpu_supports("avx2"))
        return WarpKernel::Avx2;
#endif
    return WarpKernel::Sse2;
}

WarpKernel Resolve(WarpKernel wanted)
{
    const WarpKernel best = BestKernel();
    if (wanted == WarpKernel::Auto || static_cast<int>(wanted) > static_cast<int>(best))
        return best;
    return wanted;
}

std::atomic<int> gWarpKernel{-1};  // -1: not chosen yet

}  // namespace

WarpKernel SetWarpKernel(WarpKernel kernel)
{
    const WarpKernel resolved = Resolve(kernel);
    gWarpKernel.store(static_cast<int>(resolved), std::memory_order_relaxed);
    return resolved;
}

WarpKernel ActiveWarpKernel()
{
    const int current = gWarpKernel.load(std::memory_order_relaxed);
    if (current >= 0)
        return static_cast<WarpKernel>(current);
    return SetWarpKernel(WarpKernel::Auto);
}

const char* WarpKernelName(WarpKernel kernel)
{
    switch (kernel) {
    case WarpKernel::Auto: return "auto";
    case WarpKernel::Scalar: return "scalar";
    case WarpKernel::Sse2: return "sse2";
    case WarpKernel::Avx2: return "avx2";
    case WarpKernel::Avx512: return "avx512";
    }
    return "?";
}

void WarpPreparedQuad(const QuadSetup& q, const PixelBuffer& source, const PixelBuffer& target,
                      WarpKernel kernel)
{
    if (kernel == WarpKernel::Scalar || !q.narrowSampling)
        WarpRowsScalar(q, source, target);
    else if (kernel == WarpKernel::Avx512)
        WarpRowsAvx512(q, source, target);
    else if (kernel == WarpKernel::Avx2)
        WarpRowsAvx2(q, source, target);
    else
        WarpRowsSse2(q, source, target);
}

void WarpQuad(const PixelBuffer& source, const PixelBuffer& target, const QuadWarpJob& quad,
              uint32_t rowBegin, uint32_t rowEnd)
{
    if (!IsUsableBuffer(source) || !IsUsableBuffer(target))
        return;  // a failed lock or an empty source: the target stays as it was
    QuadSetup q;
    if (PrepareQuad(quad, source, target, rowBegin, rowEnd, q))
        WarpPreparedQuad(q, source, target, ActiveWarpKernel());
}
