// vorlin-render: replays a scene file through the editing and warp core and writes what the
// program's PNG export would write, plus the mesh as JSON; or warps raw video frames from
// standard input to standard output. Exit 0 done, 1 an output could not be made or written,
// 2 a bad command line or scene.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "mesh/curves.h"
#include "mesh/editing.h"
#include "scene/image_codecs.h"
#include "scene/image_files.h"
#include "scene/scene_file.h"
#include "warp/mesh_warp.h"
#include "warp/pixel_buffer.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

constexpr const char* kUsage =
    "usage: vorlin-render SCENE.json [--source IMAGE] [--png OUT.png] [--grid OUT.json]"
    " | SCENE.json --frames WxH [--grid OUT.json] | SCENE.json --canvas";

struct Options {
    std::string scene;
    std::optional<std::string> source;  // warped instead of the scene's own source
    std::optional<std::string> png;
    std::optional<std::string> grid;
    std::optional<std::string> frames;  // WxH of the raw RGBA frames on standard input
    uint32_t frameWidth = 0;
    uint32_t frameHeight = 0;
    bool canvas = false;
};

void Fail(const std::string& message)
{
    std::fprintf(stderr, "vorlin-render: %s\n", message.c_str());
}

// "WxH": two decimal numbers of at least 1, digits only.
bool ParseFrameSize(const std::string& text, uint32_t& width, uint32_t& height)
{
    const size_t x = text.find('x');
    if (x == std::string::npos)
        return false;
    auto number = [](const std::string& digits, uint32_t& value) {
        if (digits.empty() || digits.size() > 9 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        value = uint32_t(std::stoul(digits));
        return value >= 1;
    };
    return number(text.substr(0, x), width) && number(text.substr(x + 1), height);
}

bool ParseArguments(const std::vector<std::string>& args, Options& o, std::string& error)
{
    bool haveScene = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--source" || a == "--png" || a == "--grid" || a == "--frames") {
            std::optional<std::string>& slot = a == "--source" ? o.source
                                               : a == "--png"  ? o.png
                                               : a == "--grid" ? o.grid
                                                               : o.frames;
            if (slot) {
                error = a + " given twice";
                return false;
            }
            if (i + 1 >= args.size()) {
                error = a + (a == "--frames" ? " needs a frame size WxH" : " needs a file name");
                return false;
            }
            slot = args[++i];
        } else if (a == "--canvas") {
            if (o.canvas) {
                error = a + " given twice";
                return false;
            }
            o.canvas = true;
        } else if (!a.empty() && a[0] == '-') {
            error = "unknown option \"" + a + "\" (" + kUsage + ")";
            return false;
        } else if (haveScene) {
            error = "more than one scene file (\"" + a + "\"; " + kUsage + ")";
            return false;
        } else {
            o.scene = a;
            haveScene = true;
        }
    }
    if (!haveScene) {
        error = std::string("no scene file (") + kUsage + ")";
        return false;
    }
    if (o.canvas && (o.source || o.png || o.grid || o.frames)) {
        error = std::string("--canvas takes no other option (") + kUsage + ")";
        return false;
    }
    if (o.frames && (o.source || o.png)) {
        error = std::string("--frames cannot go with --") + (o.png ? "png" : "source") + " (" +
                kUsage + ")";
        return false;
    }
    if (o.frames) {
        if (!ParseFrameSize(*o.frames, o.frameWidth, o.frameHeight)) {
            error = "--frames " + *o.frames + ": not a frame size WxH";
            return false;
        }
        if (uint64_t(o.frameWidth) * o.frameHeight > kMaxImagePixels) {
            error = "--frames " + *o.frames + ": frames of more than " +
                    std::to_string(kMaxImagePixels) + " pixels are not taken";
            return false;
        }
    }
    return true;
}

// Reads up to `size` bytes, as many as the input has; fewer only at its end or on an error.
size_t ReadFully(std::FILE* in, unsigned char* data, size_t size)
{
    size_t got = 0;
    while (got < size) {
        const size_t n = std::fread(data + got, 1, size - got, in);
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

// The raw video filter: each W x H RGBA frame from standard input is warped as a source of
// that size and written to standard output as the canvas's RGBA bytes, the same bytes its PNG
// export through --source holds. Four frame-sized buffers whatever the stream's length.
int RunFrames(const MeshEditState& e, uint32_t frameWidth, uint32_t frameHeight)
{
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const size_t frameBytes = size_t(frameWidth) * frameHeight * 4;
    const uint32_t canvasWidth = uint32_t(e.canvasWidth), canvasHeight = uint32_t(e.canvasHeight);
    PixelImage source, target;
    std::vector<unsigned char> in(frameBytes);
    std::vector<unsigned char> out(size_t(canvasWidth) * canvasHeight * 4);
    if (!source.Allocate(frameWidth, frameHeight) || !target.Allocate(canvasWidth, canvasHeight)) {
        Fail("out of memory for the frames; nothing written");
        return 1;
    }
    for (uint64_t frame = 0;; ++frame) {
        const size_t got = ReadFully(stdin, in.data(), frameBytes);
        if (got == 0 && !std::ferror(stdin))
            return 0;
        if (got < frameBytes) {
            Fail("frame " + std::to_string(frame) + " of standard input is short: " +
                 std::to_string(got) + " of its " + std::to_string(frameBytes) + " bytes" +
                 (std::ferror(stdin) ? std::string(" (") + std::strerror(errno) + ")" : ""));
            return 1;
        }
        RgbaToArgb(in.data(), source.pixels.size(), source.pixels.data());
        std::fill(target.pixels.begin(), target.pixels.end(), 0u);  // fully transparent
        const PixelImage& constSource = source;
        RenderEditorWarp(constSource.Lock(), target.Lock(), e, 0);  // none with nothing marked
        ArgbToRgba(target.pixels.data(), target.pixels.size(), out.data());
        // A consumer that has gone makes the write fail at once (SIGPIPE is ignored).
        if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() ||
            std::fflush(stdout) != 0) {
            Fail("standard output: " + std::string(std::strerror(errno)) + "; frame " +
                 std::to_string(frame) + " not written whole, the reader has stopped");
            return 1;
        }
    }
}

// Phase times for VORLIN_RENDER_TIMINGS=1, printed to stderr at the end.
class PhaseClock {
public:
    PhaseClock() : enabled_(Enabled()), start_(Clock::now()), last_(start_) {}
    void Mark(const char* phase)
    {
        const Clock::time_point now = Clock::now();
        phases_.push_back({phase, Milliseconds(last_, now)});
        last_ = now;
    }
    void Print() const
    {
        if (!enabled_)
            return;
        for (const auto& [phase, ms] : phases_)
            std::fprintf(stderr, "vorlin-render: timing %-7s %10.1f ms\n", phase, ms);
        std::fprintf(stderr, "vorlin-render: timing %-7s %10.1f ms\n", "total",
                     Milliseconds(start_, last_));
        std::fprintf(stderr, "vorlin-render: timing %-7s %10s\n", "lanes",
                     WarpKernelName(ActiveWarpKernel()));
    }

private:
    using Clock = std::chrono::steady_clock;
    static bool Enabled()
    {
        const char* v = std::getenv("VORLIN_RENDER_TIMINGS");
        return v && *v && std::string(v) != "0";
    }
    static double Milliseconds(Clock::time_point a, Clock::time_point b)
    {
        return std::chrono::duration<double, std::milli>(b - a).count();
    }
    bool enabled_;
    Clock::time_point start_;
    Clock::time_point last_;
    std::vector<std::pair<const char*, double>> phases_;
};

// The source as the program's lock delivers it; an empty image when it does not decode.
PixelImage LoadSource(const std::filesystem::path& path, DecodeWatch* watch)
{
    std::string warning;
    PixelImage image = LoadSceneImage(path, "source", warning, watch);
    if (!warning.empty())
        Fail("warning: " + warning);
    return image;
}

// The warp of the target in bands of rows, taken in order by the threads that call Run or
// TakeBands. Run follows a decode: it warps each band once the source rows it reads are
// decoded, and stops when the decode ends short of them. TakeBands warps the bands left. The
// thread in Run also compresses the PNG stream's first part (PngFirstPart) as far as the bands
// from the top are warped, while the decode still takes the other core.
class FollowingWarp {
public:
    FollowingWarp(const MeshEditState& e, PixelImage& target, PngFirstPart& first)
        : e_(e), target_(target), first_(first)
    {}

    void Run(DecodeWatch& watch)
    {
        uint32_t width = 0, height = 0;
        const uint32_t* words = watch.WaitForBegin(width, height);
        if (!words)
            return;  // not decoded row by row: the warp comes after the decode
        const uint32_t bands = (target_.height + kBandRows - 1) / kBandRows;
        done_.reset(new (std::nothrow) std::atomic<bool>[bands]);
        if (!done_)
            return;
        for (uint32_t band = 0; band < bands; ++band)
            done_[band].store(false);
        PixelBuffer source;
        source.width = width;
        source.height = height;
        source.stride = int32_t(width * 4);  // the decoder's image is within the lock's bound
        source.pixels = const_cast<uint32_t*>(words);
        ready_.store(true);
        Take(source, &watch);
    }

    // Only once Run has begun (the source's words known) or ended.
    void TakeBands(const PixelBuffer& source)
    {
        if (ready_.load())
            Take(source, nullptr);
    }
    bool Ready() const { return ready_.load(); }
    bool Warped() const { return warped_.load(); }
    bool Abandoned() const { return abandoned_.load(); }
    bool FirstPartFailed() const { return firstFailed_; }

private:
    static constexpr uint32_t kBandRows = 64;

    void Take(const PixelBuffer& source, DecodeWatch* watch)
    {
        const PixelBuffer target = target_.Lock();
        const uint32_t height = target_.height;
        const uint32_t bands = (height + kBandRows - 1) / kBandRows;
        for (uint32_t band = next_.fetch_add(1); band < bands; band = next_.fetch_add(1)) {
            const uint32_t first = band * kBandRows;
            const uint32_t last = std::min(height, first + kBandRows);
            if (watch) {
                // Compression while the decoder is behind; the warp first whenever it can go.
                const uint32_t needed = EditorWarpSourceRows(e_, source.height, first, last);
                while (!watch->RowsDoneOrEnded(needed) && Compress(bands, height))
                    continue;
                if (!watch->BeginReading(needed)) {
                    abandoned_.store(true);
                    return;
                }
            }
            warped_.store(true);
            RenderEditorWarpRows(source, target, e_, first, last);
            if (watch)
                watch->EndReading();
            done_[band].store(true, std::memory_order_release);
        }
    }

    // Compresses a few more rows of the first part, from the top bands that are all warped
    // (whichever thread warped them); false when there are none to compress.
    bool Compress(uint32_t bands, uint32_t height)
    {
        constexpr uint32_t kStepRows = 16, kFilterStepRows = 64;
        while (fed_ < bands && done_[fed_].load(std::memory_order_acquire))
            ++fed_;
        const uint32_t ready = std::min(height, fed_ * kBandRows);
        if (firstFailed_ || fedRows_ >= ready)
            return false;
        // The first part through zlib, then the rows after it filtered for libdeflate.
        const uint32_t firstRows = PngFirstPartRows(height);
        const uint32_t step = fedRows_ < firstRows ? kStepRows : kFilterStepRows;
        fedRows_ =
            std::min(fedRows_ < firstRows ? std::min(ready, firstRows) : ready, fedRows_ + step);
        firstFailed_ = fedRows_ <= firstRows ? !first_.Extend(target_, fedRows_)
                                             : !first_.FilterRest(target_, fedRows_);
        return !firstFailed_;
    }

    const MeshEditState& e_;
    PixelImage& target_;
    PngFirstPart& first_;
    std::unique_ptr<std::atomic<bool>[]> done_;
    std::atomic<uint32_t> next_{0};
    std::atomic<bool> ready_{false};
    std::atomic<bool> warped_{false};
    std::atomic<bool> abandoned_{false};
    uint32_t fed_ = 0, fedRows_ = 0;  // the thread in Run's own
    bool firstFailed_ = false;
};

std::vector<unsigned char> GridText(const MeshEditState& e)
{
    const std::string text = GridDocument(e).dump() + "\n";
    return std::vector<unsigned char>(text.begin(), text.end());
}

int Run(const std::vector<std::string>& args)
{
    PhaseClock clock;
    Options o;
    std::string error;
    if (!ParseArguments(args, o, error)) {
        Fail(error);
        return 2;
    }

    const std::filesystem::path scenePath = PathFromUtf8(o.scene);
    Scene scene;
    if (!ReadSceneFile(scenePath, o.scene, scene, error)) {
        Fail(error);
        return 2;
    }
    clock.Mark("parse");

    MeshEditState e;
    std::vector<std::string> warnings;
    ReplayScene(scene, e, warnings);
    for (const std::string& w : warnings)
        Fail("warning: " + o.scene + ": " + w);
    MeasureCanvas(e.columnCurves, e.rowCurves, e.canvasWidth, e.canvasHeight);
    clock.Mark("replay");

    if (o.canvas) {
        std::printf("%dx%d\n", e.canvasWidth, e.canvasHeight);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    std::vector<unsigned char> png;
    if (o.png || o.frames) {
        const uint64_t pixels = uint64_t(e.canvasWidth) * uint64_t(e.canvasHeight);
        if (pixels > kMaxImagePixels) {
            Fail("the canvas of " + std::to_string(e.canvasWidth) + " x " +
                 std::to_string(e.canvasHeight) + " pixels is larger than the " +
                 std::to_string(kMaxImagePixels) + " pixels this tool renders; nothing written");
            return 1;
        }
    }
    if (o.frames) {
        if (o.grid && !WriteWholeFile(PathFromUtf8(*o.grid), GridText(e))) {
            Fail(*o.grid + ": cannot be written");
            return 1;
        }
        return RunFrames(e, o.frameWidth, o.frameHeight);
    }
    if (o.png) {
        // A second thread makes the zeroed target while this one decodes the source, which
        // uses one core; then, for a PNG decoded row by row, it warps bands of the target as
        // soon as the source rows they read are decoded. Once the decode is done this thread
        // takes bands too.
        PixelImage target;  // every pixel 0: fully transparent
        bool allocated = false;
        DecodeWatch watch;
        PngFirstPart firstPart;
        FollowingWarp follow(e, target, firstPart);
        auto helper = [&] {
            allocated = target.Allocate(uint32_t(e.canvasWidth), uint32_t(e.canvasHeight));
            if (allocated)
                follow.Run(watch);
        };
        std::thread helperThread;
        try {
            helperThread = std::thread(helper);
        } catch (const std::system_error&) {
            watch.End();  // nothing follows the decode
            helper();
        }
        // The watch ends however the decode ends, and the thread is joined even on a throw.
        struct Join {
            DecodeWatch& watch;
            std::thread& thread;
            ~Join()
            {
                watch.End();
                if (thread.joinable())
                    thread.join();
            }
        } join{watch, helperThread};
        // One mesh, many images: a source on the command line stands for the scene's.
        PixelImage source;
        if (o.source)
            source = LoadSource(PathFromUtf8(*o.source), &watch);
        else if (scene.source)
            source = LoadSource(SceneImagePath(scenePath.parent_path(), *scene.source), &watch);
        watch.End();
        clock.Mark("decode");

        const PixelImage& constSource = source;
        uint32_t watchedWidth = 0, watchedHeight = 0;
        const uint32_t* watched = watch.WaitForBegin(watchedWidth, watchedHeight);
        const bool followed = watched != nullptr && !source.pixels.empty() &&
                              watched == source.pixels.data() && source.width == watchedWidth &&
                              source.height == watchedHeight;
        if (followed && helperThread.joinable())
            follow.TakeBands(constSource.Lock());
        if (helperThread.joinable())
            helperThread.join();
        if (!allocated) {
            Fail("out of memory for the " + std::to_string(e.canvasWidth) + " x " +
                 std::to_string(e.canvasHeight) + " canvas; nothing written");
            return 1;
        }
        // Followed only if the thread got as far as warping bands (it may not have started, or
        // had no memory for its band flags) and never gave up on one.
        const bool warpFollowed = followed && follow.Ready() && !follow.Abandoned();
        if (!warpFollowed) {
            // Bands warped from rows of a decode that then failed are undone.
            if (follow.Warped())
                std::fill(target.pixels.begin(), target.pixels.end(), 0u);
            RenderEditorWarp(constSource.Lock(), target.Lock(), e, 0);  // none with nothing marked
        } else {
            follow.TakeBands(constSource.Lock());  // any left once the thread had ended
        }
        clock.Mark("render");

        // The first part the warp's thread began holds the final rows only after a followed
        // warp; otherwise the encoder makes its own.
        if (!EncodePngConsuming(target, png,
                                warpFollowed && !follow.FirstPartFailed() ? &firstPart : nullptr)) {
            Fail("out of memory while encoding the PNG; nothing written");
            return 1;
        }
        clock.Mark("encode");
    }

    std::vector<unsigned char> gridText;
    if (o.grid)
        gridText = GridText(e);
    if (o.png && !WriteWholeFile(PathFromUtf8(*o.png), png)) {
        Fail(*o.png + ": cannot be written");
        return 1;
    }
    if (o.grid && !WriteWholeFile(PathFromUtf8(*o.grid), gridText)) {
        Fail(*o.grid + ": cannot be written");
        return 1;
    }
    clock.Mark("write");
    clock.Print();
    return 0;
}

int RunGuarded(const std::vector<std::string>& args)
{
#ifdef SIGPIPE
    // A reader of standard output that stops (ffmpeg, head) makes the next write fail with
    // EPIPE, reported like any failed write, instead of ending the process without a word.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    try {
        return Run(args);
    } catch (const std::bad_alloc&) {
        Fail("out of memory; nothing more written");
    } catch (const std::exception& ex) {
        Fail(std::string("internal error: ") + ex.what());
    }
    return 1;
}

}  // namespace

#ifdef _WIN32
// Wide arguments, so file names outside the ANSI code page survive; -municode selects this.
int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(Utf8FromPath(std::filesystem::path(argv[i])));
    return RunGuarded(args);
}
#else
int main(int argc, char** argv)
{
    return RunGuarded(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
