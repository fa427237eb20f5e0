// vorlin-render: replays a scene file through the editing and warp core and writes what the
// program's PNG export would write, plus the mesh as JSON. Exit 0 done, 1 an output could
// not be made or written, 2 a bad command line or scene.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "mesh/curves.h"
#include "mesh/editing.h"
#include "scene/image_files.h"
#include "scene/scene_file.h"
#include "warp/mesh_warp.h"
#include "warp/pixel_buffer.h"

namespace {

constexpr const char* kUsage =
    "usage: vorlin-render SCENE.json [--source IMAGE] [--png OUT.png] [--grid OUT.json]";

struct Options {
    std::string scene;
    std::optional<std::string> source;  // warped instead of the scene's own source
    std::optional<std::string> png;
    std::optional<std::string> grid;
};

void Fail(const std::string& message)
{
    std::fprintf(stderr, "vorlin-render: %s\n", message.c_str());
}

bool ParseArguments(const std::vector<std::string>& args, Options& o, std::string& error)
{
    bool haveScene = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--source" || a == "--png" || a == "--grid") {
            std::optional<std::string>& slot = a == "--source" ? o.source
                                               : a == "--png"  ? o.png
                                                               : o.grid;
            if (slot) {
                error = a + " given twice";
                return false;
            }
            if (i + 1 >= args.size()) {
                error = a + " needs a file name";
                return false;
            }
            slot = args[++i];
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
    return true;
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
PixelImage LoadSource(const std::filesystem::path& path)
{
    std::string warning;
    PixelImage image = LoadSceneImage(path, "source", warning);
    if (!warning.empty())
        Fail("warning: " + warning);
    return image;
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

    std::vector<unsigned char> png;
    if (o.png) {
        const uint64_t pixels = uint64_t(e.canvasWidth) * uint64_t(e.canvasHeight);
        if (pixels > kMaxImagePixels) {
            Fail("the canvas of " + std::to_string(e.canvasWidth) + " x " +
                 std::to_string(e.canvasHeight) + " pixels is larger than the " +
                 std::to_string(kMaxImagePixels) + " pixels this tool renders; nothing written");
            return 1;
        }
        // One mesh, many images: a source on the command line stands for the scene's.
        PixelImage source;
        if (o.source)
            source = LoadSource(PathFromUtf8(*o.source));
        else if (scene.source)
            source = LoadSource(SceneImagePath(scenePath.parent_path(), *scene.source));
        clock.Mark("decode");

        PixelImage target;  // every pixel 0: fully transparent
        if (!target.Allocate(uint32_t(e.canvasWidth), uint32_t(e.canvasHeight))) {
            Fail("out of memory for the " + std::to_string(e.canvasWidth) + " x " +
                 std::to_string(e.canvasHeight) + " canvas; nothing written");
            return 1;
        }
        const PixelImage& constSource = source;
        RenderEditorWarp(constSource.Lock(), target.Lock(), e, 0);  // none with nothing marked
        clock.Mark("render");

        if (!EncodePngConsuming(target, png)) {
            Fail("out of memory while encoding the PNG; nothing written");
            return 1;
        }
        clock.Mark("encode");
    }

    std::vector<unsigned char> gridText;
    if (o.grid) {
        const std::string text = GridDocument(e).dump() + "\n";
        gridText.assign(text.begin(), text.end());
    }
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
