// The wide vector loops inside the Windows build: every one the processor has (AVX2, and
// AVX-512 F and VL) must be built in and chosen, and must write what the scalar loop writes,
// bit for bit, on random quads and on a mesh. Each warp runs twice, with the stack pointer
// 16 bytes apart, so that one of the two runs meets every 32- or 64-byte stack slot
// misaligned: an aligned vector move to such a slot ends the program with an access
// violation.
//   vorlin_lanes_test.exe
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <random>
#include <set>
#include <vector>

#include "reference_warp.h"
#include "warp/mesh_warp.h"
#include "warp/quad_warp.h"

namespace {

int gFailed = 0;

void Expect(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    gFailed += !ok;
}

// Where the stack pointer stands, modulo 32, in a function the caller calls.
__attribute__((noinline)) unsigned StackOffset()
{
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) % 32);
}

std::set<unsigned> gOffsets;

// Calls run() with the stack pointer `gap` bytes (a multiple of 16) further down.
template <class F>
__attribute__((noinline)) void CallBelowGap(size_t gap, const F& run)
{
    void* below = __builtin_alloca(gap);
    asm volatile("" : : "r"(below) : "memory");  // the gap stays
    gOffsets.insert(StackOffset());
    run();
}

// Runs warp() on a copy of `target` at both stack offsets; true when both copies equal
// `expected`.
template <class Image, class F>
bool SameAtBothOffsets(const Image& target, const Image& expected, const F& warp)
{
    bool same = true;
    for (size_t gap : {16, 32}) {
        Image out = target;
        CallBelowGap(gap, [&] { warp(out); });
        same = same && out.words == expected.words;
    }
    return same;
}

// Random quads over targets of up to 300 pixels a side, so that rows run through whole
// blocks of chunks, and sources of up to 40, so that samples fall inside and around them.
int RandomQuadsDiffering(WarpKernel kernel, int rounds)
{
    std::mt19937 rng(20250117);
    int differing = 0;
    for (int round = 0; round < rounds; ++round) {
        PaddedImage source = RandomImage(rng, round % 4 == 0 ? 40 : 24);
        const PaddedImage target = RandomImage(rng, round % 8 == 0 ? 300 : 48);
        const QuadWarpJob job =
            RandomJob(rng, int(std::max(target.width, target.height)), round % 2 == 1);
        SetWarpKernel(WarpKernel::Scalar);
        PaddedImage expected = target;
        WarpQuad(source.Lock(), expected.Lock(), job);
        SetWarpKernel(kernel);
        const bool same = SameAtBothOffsets(
            target, expected, [&](PaddedImage& out) { WarpQuad(source.Lock(), out.Lock(), job); });
        differing += !same;
    }
    return differing;
}

// The benchmark's wobbled mesh on a small canvas, on one thread and on two.
bool MeshMatches(WarpKernel kernel)
{
    const PixelImage source = MakePatternImage(320, 240);
    PaddedImage target = MakePaddedImage(300, 260, 1, 0x12345678u);
    const NodeGrid grid = MakeWobbledGrid(300, 260, 9.0);
    const SelectionRect selection{3, 2, 310, 235};
    SetWarpKernel(WarpKernel::Scalar);
    PaddedImage expected = target;
    RenderMeshWarp(source.Lock(), expected.Lock(), grid, 17, 17, selection, 1);
    SetWarpKernel(kernel);
    bool same = true;
    for (unsigned threads : {1u, 2u}) {
        same = same && SameAtBothOffsets(target, expected, [&](PaddedImage& out) {
                   RenderMeshWarp(source.Lock(), out.Lock(), grid, 17, 17, selection, threads);
               });
    }
    return same;
}

}  // namespace

int main()
{
    __builtin_cpu_init();
    const bool avx2 = __builtin_cpu_supports("avx2");
    const bool avx512 =
        avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
    struct Wide {
        WarpKernel kernel;
        const char* name;
        bool present;
    };
    int ran = 0;
    for (const Wide wide :
         {Wide{WarpKernel::Avx2, "avx2", avx2}, Wide{WarpKernel::Avx512, "avx512", avx512}}) {
        if (!wide.present) {
            std::printf("the processor has no %s: its loop is not run\n", wide.name);
            continue;
        }
        ++ran;
        std::printf("%s:\n", wide.name);
        Expect(SetWarpKernel(wide.kernel) == wide.kernel, "the loop is built in and chosen");
        Expect(RandomQuadsDiffering(wide.kernel, 3000) == 0,
               "3000 random quads as the scalar loop writes them");
        Expect(MeshMatches(wide.kernel), "a mesh on one and on two threads as the scalar loop");
    }
    SetWarpKernel(WarpKernel::Auto);
    if (ran > 0) {
        Expect(gOffsets.size() == 2, "the warps ran at two stack offsets 16 bytes apart");
        std::printf("stack offsets modulo 32 seen:");
        for (unsigned offset : gOffsets)
            std::printf(" %u", offset);
        std::printf("\n");
    }
    std::printf("%s: %d failed\n", gFailed ? "FAILED" : "passed", gFailed);
    return gFailed ? 1 : 0;
}
