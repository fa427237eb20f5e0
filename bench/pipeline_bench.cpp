// The whole batch job on the bench scene (tools/make_bench_scene.py): vorlin-render as a
// process, reading the 12.6-megapixel PNG source, warping it and writing the PNG, against the
// pipeline a user would write with OpenCV in this process: cv::imread, cv::remap through maps
// made beforehand, cv::imwrite, each at its defaults. Both write their PNG beside the scene.
// Usage: vorlin_pipeline_bench [BENCH_FOLDER] [benchmark flags]; the folder defaults to
// build/bench-scene and is made by the script when it holds no scene.
#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench_stats.h"

extern char** environ;

namespace {

std::filesystem::path gFolder = VORLIN_BENCH_SCENE_DIR;

std::filesystem::path ScenePath() { return gFolder / "bench.scene.json"; }
std::filesystem::path SourcePath() { return gFolder / "bench_source.png"; }
std::filesystem::path VorlinOut() { return gFolder / "vorlin-out.png"; }
std::filesystem::path OpenCvOut() { return gFolder / "opencv-out.png"; }

// Runs a program to its end; its exit status, or -1 when it could not start or was killed.
int RunProcess(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

void BM_VorlinRenderProcess(benchmark::State& state)
{
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int status =
            RunProcess({VORLIN_RENDER_PATH, ScenePath().string(), "--png", VorlinOut().string()});
        const auto end = std::chrono::steady_clock::now();
        if (status != 0) {
            state.SkipWithError("vorlin-render failed");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}

// The warp benchmark's wobble undone to first order, over the scene's 4105 x 3081 canvas:
// the remap reads the source along about the paths the mesh warp reads it. Made once,
// outside the timing, as a user would keep them for a batch.
struct Maps {
    cv::Mat x, y;
};

const Maps& TheMaps()
{
    static const Maps maps = [] {
        constexpr int kWidth = 4096, kHeight = 3072, kCanvasWidth = 4105, kCanvasHeight = 3081;
        constexpr double kTwoPi = 6.283185307179586;
        Maps m{cv::Mat(kCanvasHeight, kCanvasWidth, CV_32FC1),
               cv::Mat(kCanvasHeight, kCanvasWidth, CV_32FC1)};
        for (int y = 0; y < kCanvasHeight; ++y) {
            for (int x = 0; x < kCanvasWidth; ++x) {
                const double u = x / double(kWidth - 1);
                const double v = y / double(kHeight - 1);
                const double dx = 40.0 * std::sin(kTwoPi * (1.5 * v + 0.5 * u));
                const double dy = 40.0 * std::sin(kTwoPi * (1.25 * u + 0.35 * v) + 0.7);
                m.x.at<float>(y, x) = float((x - dx) * kWidth / (kWidth - 1));
                m.y.at<float>(y, x) = float((y - dy) * kHeight / (kHeight - 1));
            }
        }
        return m;
    }();
    return maps;
}

void BM_OpenCvPipeline(benchmark::State& state)
{
    const Maps& maps = TheMaps();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const cv::Mat source = cv::imread(SourcePath().string());
        cv::Mat target;
        cv::remap(source, target, maps.x, maps.y, cv::INTER_LINEAR, cv::BORDER_CONSTANT);
        const bool written = !source.empty() && cv::imwrite(OpenCvOut().string(), target);
        const auto end = std::chrono::steady_clock::now();
        if (!written) {
            state.SkipWithError("the OpenCV pipeline failed");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}

BENCHMARK(BM_VorlinRenderProcess)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenCvPipeline)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Keeps each benchmark's seconds, every repetition, for the summary line.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, std::vector<double>> seconds;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !run.error_occurred)
                seconds[run.run_name.function_name].push_back(run.GetAdjustedRealTime() / 1e3);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    double Best(const char* name) const
    {
        const auto it = seconds.find(name);
        return it == seconds.end() || it->second.empty()
                   ? 0.0
                   : *std::min_element(it->second.begin(), it->second.end());
    }
    double Median(const char* name) const
    {
        const auto it = seconds.find(name);
        return it == seconds.end() ? 0.0 : MedianOf(it->second);
    }
};

uintmax_t SizeOf(const std::filesystem::path& path)
{
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    return ec ? 0 : size;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && argv[1][0] != '-') {
        gFolder = argv[1];
        --argc;
        ++argv;
        argv[0] = argv[-1];
    }
    if (!std::filesystem::exists(ScenePath()) &&
        RunProcess({"python3", VORLIN_MAKE_BENCH_SCENE, gFolder.string()}) != 0) {
        std::fprintf(stderr, "cannot make the bench scene in %s\n", gFolder.c_str());
        return 1;
    }
    // Five runs of each in random order, so that a change in the machine's load slows both
    // alike. Flags given on the command line come later and win.
    static char repetitions[] = "--benchmark_repetitions=5";
    static char interleaving[] = "--benchmark_enable_random_interleaving=true";
    std::vector<char*> args(argv, argv + argc);
    args.insert(args.begin() + (argc > 0 ? 1 : 0), {repetitions, interleaving});
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    TheMaps();
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) == 3)
        std::printf("load average: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    const double vorlinBest = reporter.Best("BM_VorlinRenderProcess");
    const double openCvBest = reporter.Best("BM_OpenCvPipeline");
    std::printf(
        "summary: vorlin-render best=%.3f s median=%.3f s; OpenCV best=%.3f s "
        "median=%.3f s; OpenCV/vorlin-render best=%.2f median=%.2f\n",
        vorlinBest, reporter.Median("BM_VorlinRenderProcess"), openCvBest,
        reporter.Median("BM_OpenCvPipeline"), vorlinBest > 0 ? openCvBest / vorlinBest : 0.0,
        reporter.Median("BM_VorlinRenderProcess") > 0
            ? reporter.Median("BM_OpenCvPipeline") / reporter.Median("BM_VorlinRenderProcess")
            : 0.0);
    std::printf("PNG sizes: vorlin-render %ju bytes (8-bit RGBA), OpenCV %ju bytes (8-bit RGB)\n",
                SizeOf(VorlinOut()), SizeOf(OpenCvOut()));
    return 0;
}
