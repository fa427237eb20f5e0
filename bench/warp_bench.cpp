// The warp's standard workload: a 4096 x 3072 source, wholly selected, through a 17 x 17
// wobbled mesh into a 4096 x 3072 target, rendered by the literal oracle, by the production
// loops on one thread and on all, and resampled by OpenCV's remap for comparison.
#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "reference_warp.h"
#include "warp/mesh_warp.h"

namespace {

constexpr uint32_t kWidth = 4096;
constexpr uint32_t kHeight = 3072;
constexpr size_t kMeshCurves = 17;
constexpr double kPixels = double(kWidth) * kHeight;

struct Workload {
    PixelImage source = MakePatternImage(kWidth, kHeight);
    NodeGrid grid = MakeWobbledGrid(int32_t(kWidth), int32_t(kHeight), 40.0);
    SelectionRect selection{0, 0, int32_t(kWidth), int32_t(kHeight)};
    // the last picture each path rendered, compared once the timing is over
    std::map<std::string, PixelImage> results;
};

Workload& TheWorkload()
{
    static Workload w;
    return w;
}

PixelImage& ResultOf(const std::string& name)
{
    PixelImage& image = TheWorkload().results[name];
    if (image.pixels.empty())
        image.Allocate(kWidth, kHeight, 0);
    return image;
}

void BM_Literal(benchmark::State& state)
{
    Workload& w = TheWorkload();
    PixelImage& target = ResultOf("literal");
    for (auto _ : state) {
        ReferenceRenderMeshWarp(w.source.Lock(), target.Lock(), w.grid, kMeshCurves, kMeshCurves,
                                w.selection);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations() * kPixels));
}

void RunProduction(benchmark::State& state, WarpKernel kernel, unsigned threads, const char* name)
{
    Workload& w = TheWorkload();
    PixelImage& target = ResultOf(name);
    state.SetLabel(WarpKernelName(SetWarpKernel(kernel)));
    for (auto _ : state) {
        RenderMeshWarp(w.source.Lock(), target.Lock(), w.grid, kMeshCurves, kMeshCurves,
                       w.selection, threads);
        benchmark::ClobberMemory();
    }
    SetWarpKernel(WarpKernel::Auto);
    state.SetItemsProcessed(int64_t(state.iterations() * kPixels));
}

// clang-format off
void BM_Production1(benchmark::State& state) { RunProduction(state, WarpKernel::Auto, 1, "production1"); }
void BM_ProductionN(benchmark::State& state) { RunProduction(state, WarpKernel::Auto, 0, "productionN"); }
void BM_ProductionSse2(benchmark::State& state) { RunProduction(state, WarpKernel::Sse2, 1, "sse2"); }
void BM_ProductionAvx2(benchmark::State& state) { RunProduction(state, WarpKernel::Avx2, 1, "avx2"); }
void BM_ProductionScalar(benchmark::State& state) { RunProduction(state, WarpKernel::Scalar, 1, "scalar"); }
// clang-format on

// Maps that undo the mesh's wobble to first order, so the remap reads the source along
// about the same paths as the warp does.
void BM_Remap1(benchmark::State& state)
{
    Workload& w = TheWorkload();
    constexpr double kTwoPi = 6.283185307179586;
    cv::Mat mapX(int(kHeight), int(kWidth), CV_32FC1);
    cv::Mat mapY(int(kHeight), int(kWidth), CV_32FC1);
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            const double u = x / double(kWidth - 1);
            const double v = y / double(kHeight - 1);
            const double dx = 40.0 * std::sin(kTwoPi * (1.5 * v + 0.5 * u));
            const double dy = 40.0 * std::sin(kTwoPi * (1.25 * u + 0.35 * v) + 0.7);
            mapX.at<float>(int(y), int(x)) = float((x - dx) * kWidth / (kWidth - 1));
            mapY.at<float>(int(y), int(x)) = float((y - dy) * kHeight / (kHeight - 1));
        }
    }
    const cv::Mat source(int(kHeight), int(kWidth), CV_8UC4, w.source.pixels.data());
    cv::Mat target(int(kHeight), int(kWidth), CV_8UC4, cv::Scalar::all(0));
    cv::setNumThreads(1);
    for (auto _ : state) {
        cv::remap(source, target, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_CONSTANT);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations() * kPixels));
}

BENCHMARK(BM_Literal)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProductionScalar)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProductionSse2)->Iterations(6)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProductionAvx2)->Iterations(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Production1)->Iterations(12)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProductionN)->Iterations(12)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Remap1)->Iterations(12)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps each benchmark's pixels per second, every repetition, for the summary line.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, std::vector<double>> mpixPerSecond;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const auto rate = run.counters.find("items_per_second");
            if (run.run_type == Run::RT_Iteration && rate != run.counters.end())
                mpixPerSecond[run.run_name.function_name].push_back(rate->second.value / 1e6);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // The median of a benchmark's repetitions, 0 when it did not run.
    double Median(const char* name) const
    {
        const auto it = mpixPerSecond.find(name);
        return it == mpixPerSecond.end() ? 0.0 : MedianOf(it->second);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    // Five repetitions of every benchmark in random order, so that a machine whose load
    // changes during the run slows all of them alike; the summary takes the medians. Flags
    // given on the command line come later and win.
    static char repetitions[] = "--benchmark_repetitions=5";
    static char interleaving[] = "--benchmark_enable_random_interleaving=true";
    std::vector<char*> args(argv, argv + argc);
    args.insert(args.begin() + (argc > 0 ? 1 : 0), {repetitions, interleaving});
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    argc = count;
    argv = args.data();
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    // Every production picture must be the literal one, bit for bit.
    int exitCode = 0;
    const auto& results = TheWorkload().results;
    const auto literal = results.find("literal");
    for (const auto& [name, image] : results) {
        if (literal == results.end() || name == "literal")
            continue;
        const bool same = image.pixels == literal->second.pixels;
        std::printf("%s output: %s the literal output\n", name.c_str(),
                    same ? "identical to" : "DIFFERS from");
        exitCode |= same ? 0 : 1;
    }
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) == 3)
        std::printf("load average: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    const auto figure = [&](const char* name) { return reporter.Median(name); };
    // The ratios against the tuned library and between thread counts; the AVX2 loop's figure
    // too, which is production1's on a processor without AVX-512.
    const double production1 = figure("BM_Production1");
    const double productionN = figure("BM_ProductionN");
    const double remap1 = figure("BM_Remap1");
    const double avx2 = figure("BM_ProductionAvx2");
    const auto ratio = [](double a, double b) { return b > 0.0 ? a / b : 0.0; };
    std::printf("summary: literal=%.1f production1=%.1f productionN=%.1f remap1=%.1f avx2=%.1f "
                "production1/remap1=%.2f avx2/remap1=%.2f productionN/production1=%.2f\n",
                figure("BM_Literal"), production1, productionN, remap1, avx2,
                ratio(production1, remap1), ratio(avx2, remap1), ratio(productionN, production1));
    return exitCode;
}
