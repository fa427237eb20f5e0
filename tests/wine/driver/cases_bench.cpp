// Not pass/fail cases: the benchmark of ResultPane's paints and of the exchange, and the
// headless demo of the README's run command.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include "cases.h"

static void WriteText(const std::string& unixPath, const std::string& text)
{
    HANDLE f = CreateFileW(WinPath(unixPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return;
    DWORD n = 0;
    WriteFile(f, text.data(), DWORD(text.size()), &n, nullptr);
    CloseHandle(f);
}

// Steps that each cause one ResultPane paint, timed from the step to the end of its paint,
// with the program's phase times of those paints averaged. The average of the steps goes
// first: the notches alternate between two kinds of paint, which a median would not weigh.
struct Series {
    std::vector<double> ms;
    double phaseUs[kPaintPhases + 1] = {};
    size_t paints = 0;
};

// The paints logged since line `before`: their count, and each phase's mean.
static void AveragePhases(Series& s, size_t before)
{
    std::vector<PaintLine> lines = ReadPaintLines();
    for (size_t k = before; k < lines.size(); ++k)
        for (int p = 0; p <= kPaintPhases; ++p)
            s.phaseUs[p] += lines[k].us[p];
    s.paints = lines.size() - before;
    for (double& us : s.phaseUs)
        us /= double(std::max<size_t>(1, s.paints));
}

static Series TimeSeries(int n, const std::function<void(int)>& step)
{
    Series s;
    size_t before = ReadPaintLines().size();
    for (int i = 0; i < n; ++i) {
        size_t have = ReadPaintLines().size();
        double t0 = NowMs();
        step(i);
        if (!WaitForPaints(have + 1))
            break;
        s.ms.push_back(NowMs() - t0);
    }
    Pump(20);
    AveragePhases(s, before);
    return s;
}

// "KEY value" lines for scripts/wine/bench.sh, which puts the runs of both builds side by side.
static std::string gResults;

static void Result(const std::string& key, double value)
{
    char line[160];
    std::snprintf(line, sizeof line, "%s %.3f\n", key.c_str(), value);
    gResults += line;
    std::printf("%s", line);
}

static void ReportSeries(const std::string& key, const Series& s)
{
    std::vector<double> sorted = s.ms;
    std::sort(sorted.begin(), sorted.end());
    double total = 0;
    for (double ms : sorted)
        total += ms;
    Result(key + ".mean", sorted.empty() ? 0 : total / double(sorted.size()));
    Result(key + ".median", sorted.empty() ? 0 : sorted[sorted.size() / 2]);
    Result(key + ".paints", double(s.paints));
    double named = 0;
    for (int p = 0; p < kPaintPhases; ++p) {
        Result(key + "." + kPaintPhaseNames[p], s.phaseUs[p] / 1000.0);
        named += s.phaseUs[p];
    }
    Result(key + ".other", (s.phaseUs[kPaintPhases] - named) / 1000.0);
}

static uint64_t Fnv1a(const std::vector<uint8_t>& bytes)
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes)
        h = (h ^ b) * 0x100000001b3ull;
    return h;
}

// Key C sent, so the time ends when the program has put the block on the clipboard (the
// driver, blocked in the send, still answers the clipboard's messages); the average of
// `times` copies. The block's checksum goes out split in two exact halves, for comparing
// the builds' blocks.
static void TimeCopy(App& app, const std::string& key, int times)
{
    double t0 = NowMs();
    for (int i = 0; i < times; ++i)
        Key(app, 'C');
    double ms = (NowMs() - t0) / times;
    std::vector<uint8_t> block;
    CHECK(ReadClipboardDib(block), "%s: no CF_DIB on the clipboard", key.c_str());
    uint64_t h = Fnv1a(block);
    Result(key + ".ms", ms);
    Result(key + ".bytes", double(block.size()));
    Result(key + ".sum-high", double(h >> 32));
    Result(key + ".sum-low", double(h & 0xFFFFFFFFu));
}

// ---- the benchmark's mesh and scenes ---------------------------------------------------------------

// Two bent columns and two bent rows spanning a W x H canvas (greatest x W - 2, y H - 2),
// refined four times: 2 -> 3 -> 5 -> 9 -> 17 curves in each family. At 1920 x 1080 the
// points are those of the original 1920 x 1080 benchmark.
static std::vector<std::vector<POINT>> BenchStrokes(int W, int H)
{
    auto at = [&](int x, int y) { return POINT{x * (W - 2) / 1918, y * (H - 2) / 1078}; };
    return {{at(4, 0), at(40, 540), at(2, 1078)},
            {at(1916, 0), at(1880, 540), at(1918, 1078)},
            {at(0, 3), at(960, 60), at(1918, 2)},
            {at(0, 1076), at(960, 1010), at(1918, 1078)}};
}

constexpr int kPastes = 3;

static void DrawBenchMesh(App& app, int W, int H)
{
    std::vector<std::vector<POINT>> strokes = BenchStrokes(W, H);
    Stroke(app, strokes[0]);
    Stroke(app, strokes[1]);
    Key(app, 'T');
    Stroke(app, strokes[2]);
    Stroke(app, strokes[3]);
    Key(app, 'H');
    for (int i = 0; i < 4; ++i)
        Key(app, 'W');
}

// The same editing as a scene for vorlin-render.
static void WriteBenchScene(const std::string& path, int W, int H)
{
    std::vector<std::vector<POINT>> strokes = BenchStrokes(W, H);
    std::string text = "{\"source\": \"bench_source.bmp\", \"selection\": [0, 0, 3999, 2999], "
                       "\"actions\": [";
    auto stroke = [&](const std::vector<POINT>& points) {
        text += "{\"stroke\": [";
        for (size_t i = 0; i < points.size(); ++i)
            text += (i ? ", [" : "[") + std::to_string(points[i].x) + ", " +
                    std::to_string(points[i].y) + "]";
        text += "]}, ";
    };
    stroke(strokes[0]);
    stroke(strokes[1]);
    text += "{\"family\": \"rows\"}, ";
    stroke(strokes[2]);
    stroke(strokes[3]);
    text += "{\"family\": \"columns\"}, {\"refine\": true}, {\"refine\": true}, {\"refine\": "
            "true}, {\"refine\": true}]}\n";
    WriteText(path, text);
}

// A 24-bit bottom-up BMP, the pasted source for vorlin-render.
static void WriteBmp(const std::string& path, const Image& image)
{
    const uint32_t rowBytes = (uint32_t(image.width) * 3 + 3) & ~3u;
    std::string bytes(54 + size_t(rowBytes) * image.height, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k)
            bytes[at + k] = char(v >> (8 * k));
    };
    bytes[0] = 'B', bytes[1] = 'M';
    put32(2, uint32_t(bytes.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(image.width));
    put32(22, uint32_t(image.height));
    bytes[26] = 1, bytes[28] = 24;
    for (int y = 0; y < image.height; ++y) {
        char* row = &bytes[54 + size_t(image.height - 1 - y) * rowBytes];
        for (int x = 0; x < image.width; ++x) {
            uint32_t v = image.At(x, y);
            row[x * 3] = char(v), row[x * 3 + 1] = char(v >> 8), row[x * 3 + 2] = char(v >> 16);
        }
    }
    WriteText(path, bytes);
}

// ---- the heavy scene: a free-hand mesh with labels, nodes and 3-pixel pens -------------------

// 12 columns and 12 rows of 96 points each (2304 in all) over a 1920 x 1080 canvas, wobbling
// as a hand draws them: every consecutive pair more than 5 pixels apart, so none is thinned.
static std::vector<std::vector<POINT>> FreeHandMesh()
{
    std::vector<std::vector<POINT>> strokes;
    for (int c = 0; c < 12; ++c) {
        std::vector<POINT> curve;
        for (int i = 0; i < 96; ++i)
            curve.push_back(
                POINT{40 + c * 1840 / 11 + int(25 * std::sin(i * 0.21 + c)), 5 + i * 1070 / 95});
        strokes.push_back(curve);
    }
    for (int r = 0; r < 12; ++r) {
        std::vector<POINT> curve;
        for (int i = 0; i < 96; ++i)
            curve.push_back(
                POINT{5 + i * 1910 / 95, 30 + r * 1020 / 11 + int(18 * std::sin(i * 0.17 + r))});
        strokes.push_back(curve);
    }
    return strokes;
}

// Steps that each end with the pane painted at once, as UpdateWindow makes it: timed from
// the step to the end of that paint, the program's phase times of the paints averaged.
static Series TimeUpdates(HWND pane, int n, const std::function<void(int)>& step)
{
    Series s;
    size_t before = ReadPaintLines().size();
    for (int i = 0; i < n; ++i) {
        double t0 = NowMs();
        step(i);
        UpdateWindow(pane);
        s.ms.push_back(NowMs() - t0);
    }
    WaitForPaints(before + size_t(n));
    AveragePhases(s, before);
    return s;
}

// The same 4000 x 3000 source pasted and wholly selected, the same backdrop, and the
// free-hand mesh drawn by left drags while ResultPane is hidden (Single layout, nothing
// marked); then, stacked in a 1270 x 790 window: expose repaints, wheel notches out and in,
// and the moves of a row stroke and of a column stroke, each undone afterwards. A fifth of
// the moves stay within 5 pixels of the point before last, so they replace the last point.
static void BenchHeavyScene(const Image& source, const std::string& backdropPath, int repeats)
{
    App app;
    if (!app.Start())
        return;
    PlaceMainWindow(app, 0, 0, 1270, 790);
    ParkPointer();
    if (!PutBitmapOnClipboard(source))
        return;
    Key(app, 'V');
    size_t have = ReadPaintLines().size();
    DropFiles(app, app.result, {WinPath(backdropPath)}, POINT{10, 10});
    WaitForPaints(have + 1);
    Key(app, 'P');  // Single with nothing marked: ResultPane hidden while the mesh is drawn
    std::vector<std::vector<POINT>> mesh = FreeHandMesh();
    for (size_t k = 0; k < mesh.size(); ++k) {
        if (k == 12)
            Key(app, 'T');
        Stroke(app, mesh[k]);
    }
    Key(app, 'H');
    RubberBand(app, POINT{0, 0}, POINT{3999, 2999});
    Key(app, 'P');
    Key(app, 'P');  // stacked again
    HWND pane = app.result;
    Send(pane, WM_PAINT, 0, 0);
    Pump(100);
    PaneBox box = BoxOf(app, pane);
    Result("heavy.width", box.w);
    Result("heavy.height", box.h);
    SavePng(OutPath("heavy-pane.png"), CaptureClient(pane));

    auto expose = [&](int) { InvalidateRect(pane, nullptr, FALSE); };
    TimeUpdates(pane, 1, expose);
    ReportSeries("heavy-expose", TimeUpdates(pane, repeats, expose));
    auto notch = [&](int i) {
        Send(pane, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(int16_t(i % 2 == 0 ? 120 : -120))), 0);
    };
    TimeUpdates(pane, 2, notch);
    ReportSeries("heavy-notch", TimeUpdates(pane, repeats - repeats % 2, notch));

    // A move every 9 pixels along the stroke, every fifth one 3 pixels on from the last.
    auto strokeMoves = [&](const char* key, POINT from, int dx, int dy) {
        Send(pane, WM_LBUTTONDOWN, MK_LBUTTON, PackPoint(from.x, from.y));
        UpdateWindow(pane);
        POINT at = from;
        auto move = [&](int i) {
            const int step = i % 5 == 4 ? 3 : 9;
            at.x += dx * step;
            at.y += dy * step;
            Send(pane, WM_MOUSEMOVE, MK_LBUTTON, PackPoint(at.x + (dy ? i % 3 : 0), at.y));
        };
        ReportSeries(key, TimeUpdates(pane, repeats * 2, move));
        SavePng(OutPath(std::string(key) + ".png"), CaptureClient(pane));
        Send(pane, WM_LBUTTONUP, 0, PackPoint(at.x, at.y));
        UpdateWindow(pane);
        Key(app, 'Z');
        UpdateWindow(pane);
    };
    Key(app, 'T');
    strokeMoves("heavy-rowstroke", POINT{20, 130}, 1, 0);
    Key(app, 'H');
    strokeMoves("heavy-columnstroke", POINT{610, 2}, 0, 1);
    Screenshot("bench-heavy");
    app.CloseAndCheck();
}

// bench [REPEATS [SCENE-FOLDER]]: a 4000 x 3000 source pasted, a 1920 x 1080 backdrop
// dropped, a 17 x 17 mesh on a 1920 x 1080 canvas; repaints on expose, during a stroke and
// on zoom notches; the copy of that canvas and of a 100-megapixel one. With a scene
// folder, the two canvases are written there as vorlin-render scenes.
int CaseBench()
{
    int repeats = gContext.args.empty() ? 20 : std::max(1, _wtoi(gContext.args[0].c_str()));
    std::string scenes = gContext.args.size() > 1 ? Narrow(gContext.args[1]) : std::string();
    gSendTimeoutMs = 600000;  // a paste of 48 MB and copies of 400 MB take their time
    App app;
    if (!app.Start())
        return 1;
    int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    PlaceMainWindow(app, 0, 0, screenW - 10, screenH - 10);  // the parked pointer stays outside
    ParkPointer();

    // A 12-megapixel source with detail everywhere, pasted as a device-dependent bitmap.
    Image source;
    source.width = 4000;
    source.height = 3000;
    source.pixels.resize(size_t(source.width) * source.height);
    for (int y = 0; y < source.height; ++y)
        for (int x = 0; x < source.width; ++x)
            source.pixels[size_t(y) * source.width + x] =
                0xFF000000u | (uint32_t(x * 255 / 3999) << 16) | (uint32_t(y * 255 / 2999) << 8) |
                (((x / 50 + y / 50) & 1) ? 0xE0u : 0x20u);
    if (!scenes.empty()) {
        if (!FileExists(scenes + "/bench_source.bmp"))
            WriteBmp(scenes + "/bench_source.bmp", source);
        WriteBenchScene(scenes + "/bench-1080.scene.json", 1920, 1080);
        WriteBenchScene(scenes + "/bench-100mp.scene.json", 12000, 8334);
    }
    // Each paste from a clipboard just filled, as after a copy in another program; then
    // until both panes show the picture.
    double pasteMs = 0, shownMs = 0, bestMs = 1e300;
    for (int i = 0; i < kPastes; ++i) {
        if (!PutBitmapOnClipboard(source))
            return 1;
        double t0 = NowMs();
        Key(app, 'V');
        bestMs = std::min(bestMs, NowMs() - t0);
        pasteMs += NowMs() - t0;
        Send(app.source, WM_PAINT, 0, 0);
        Send(app.result, WM_PAINT, 0, 0);
        shownMs += NowMs() - t0;
    }
    Result("paste.ms", pasteMs / kPastes);
    Result("paste-shown.ms", shownMs / kPastes);
    Result("paste-best.ms", bestMs);
    // The same picture offered as a 32-bit CF_DIB, as browsers and X programs offer one:
    // the best of five pastes.
    bestMs = 1e300;
    for (int i = 0; i < 5; ++i) {
        if (!PutDibOnClipboard(source))
            return 1;
        double t0 = NowMs();
        Key(app, 'V');
        bestMs = std::min(bestMs, NowMs() - t0);
        Send(app.source, WM_PAINT, 0, 0);
        Send(app.result, WM_PAINT, 0, 0);
    }
    Result("paste-dib.ms", bestMs);
    SavePng(OutPath("source-pane.png"), CaptureClient(app.source));

    // The backdrop: 1920 x 1080 of gradients and stripes.
    Image backdrop;
    backdrop.width = 1920;
    backdrop.height = 1080;
    backdrop.pixels.resize(size_t(backdrop.width) * backdrop.height);
    for (int y = 0; y < backdrop.height; ++y)
        for (int x = 0; x < backdrop.width; ++x)
            backdrop.pixels[size_t(y) * backdrop.width + x] =
                0xFF000000u | (uint32_t(255 - x * 255 / 1919) << 16) |
                (uint32_t(((x + y) / 16) & 1 ? 0x90 : 0x30) << 8) | uint32_t(y * 255 / 1079);
    std::string backdropPath = OutPath("bench_backdrop.png");
    SavePng(backdropPath, backdrop);
    size_t have = ReadPaintLines().size();
    DropFiles(app, app.result, {WinPath(backdropPath)}, POINT{10, 10});
    WaitForPaints(have + 1);

    DrawBenchMesh(app, 1920, 1080);
    RubberBand(app, POINT{0, 0}, POINT{3999, 2999});
    PaneBox stacked = BoxOf(app, app.result);
    Result("stacked.width", stacked.w);
    Result("stacked.height", stacked.h);
    HWND pane = app.result;
    auto expose = [&](int) { InvalidateRect(pane, nullptr, FALSE); };
    TimeSeries(1, expose);
    ReportSeries("expose", TimeSeries(repeats, expose));

    // Wheel notches on ResultPane, out and in in turn (zooms 1/1.1 and 1): one pair first.
    // Sent to the pane itself, which every build zooms alike, whatever MainWindow's routing.
    auto wheel = [&](int delta) {
        Send(pane, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(int16_t(delta))), 0);
    };
    auto notch = [&](int i) { wheel(i % 2 == 0 ? 120 : -120); };
    TimeSeries(2, notch);
    ReportSeries("notch", TimeSeries(repeats - repeats % 2, notch));

    // A stroke over the backdrop and the mesh: a column curve zigzagging down the middle.
    Send(pane, WM_LBUTTONDOWN, MK_LBUTTON, PackPoint(1000, 100));
    auto move = [&](int i) {
        Send(pane, WM_MOUSEMOVE, MK_LBUTTON, PackPoint(i % 2 ? 1030 : 1000, 100 + 8 * (i + 1)));
    };
    ReportSeries("stroke", TimeSeries(repeats, move));
    have = ReadPaintLines().size();
    Send(pane, WM_LBUTTONUP, 0, PackPoint(1000, 100 + 8 * repeats));
    WaitForPaints(have + 1);
    // Its label spot, 8 right of and below its first point: the curve is deleted again.
    have = ReadPaintLines().size();
    RightDrag(app, POINT{1008, 108}, POINT{1008, 108});
    WaitForPaints(have + 1);
    SavePng(OutPath("pane-zoom1.png"), CaptureClient(pane));
    wheel(-120);
    // Scaled, the picture's last column and row are blended with what the window showed
    // before, and the sliver beyond them is not painted: both are left out.
    Image zoomed = CaptureClient(pane), cut;
    cut.width = int(float(int(float(zoomed.width) / 1.1f)) * 1.1f) - 1;
    cut.height = int(float(int(float(zoomed.height) / 1.1f)) * 1.1f) - 1;
    for (int y = 0; y < cut.height; ++y)
        for (int x = 0; x < cut.width; ++x)
            cut.pixels.push_back(zoomed.At(x, y));
    SavePng(OutPath("pane-zoom1.1.png"), cut);
    wheel(120);

    Key(app, 'P');  // Single: ResultPane fills the window
    PaneBox box = BoxOf(app, pane);
    Result("single.width", box.w);
    Result("single.height", box.h);
    TimeSeries(1, expose);
    ReportSeries("single", TimeSeries(repeats, expose));

    TimeCopy(app, "copy-1080", 5);
    // The same mesh stretched over 12000 x 8334 canvas pixels.
    Key(app, VK_DELETE);
    DrawBenchMesh(app, 12000, 8334);
    Send(app.source, WM_PAINT, 0, 0);  // nothing left to paint while the copy is timed
    Send(pane, WM_PAINT, 0, 0);
    Pump(200);
    TimeCopy(app, "copy-100mp", 1);
    Screenshot("bench");

    std::printf("desktop %dx%d\n", screenW, screenH);
    // Another owner takes the clipboard, so the program need not encode the large copy's
    // promised PNG on its way out.
    PutTextOnClipboard(L"bench");
    app.CloseAndCheck();
    BenchHeavyScene(source, backdropPath, repeats);
    WriteText(OutPath("bench.txt"), gResults);
    return 0;
}

// demo PICTURE [BACKDROP]: pastes the picture, drops the backdrop on ResultPane, marks a
// rectangle, draws column and row curves, refines once, leaves a screenshot and saves the
// result through the dialog.
int CaseDemo()
{
    if (!CHECK(gContext.args.size() == 1 || gContext.args.size() == 2,
               "usage: demo PICTURE [BACKDROP] (Unix paths)"))
        return 2;
    Image picture;
    if (!CHECK(LoadPng(Narrow(gContext.args[0]), picture), "cannot read %s",
               Narrow(gContext.args[0]).c_str()))
        return 1;
    App app;
    if (!StartFullSize(app))
        return 1;
    PutBitmapOnClipboard(picture);
    Key(app, 'V');
    if (gContext.args.size() == 2)
        DropFiles(app, app.result, {WinPath(Narrow(gContext.args[1]))}, POINT{10, 10});
    RubberBand(app, POINT{picture.width / 10, picture.height / 10},
               POINT{picture.width - picture.width / 10, picture.height - picture.height / 10});
    // A bulging mesh: three columns and three rows, each bent.
    Stroke(app, {{120, 20}, {90, 120}, {80, 200}, {95, 280}, {130, 360}});
    Stroke(app, {{420, 10}, {430, 120}, {435, 250}, {425, 365}});
    Stroke(app, {{760, 25}, {790, 130}, {800, 220}, {780, 290}, {740, 362}});
    Key(app, 'T');
    Stroke(app, {{60, 40}, {300, 20}, {560, 15}, {820, 45}});
    Stroke(app, {{50, 190}, {300, 170}, {560, 210}, {830, 185}});
    Stroke(app, {{70, 345}, {320, 365}, {570, 330}, {815, 340}});
    Key(app, 'H');
    Key(app, 'W');
    Pump(200);
    Screenshot("demo");
    SavePng(OutPath("vorlin-demo-window.png"), CaptureClient(app.main));
    std::string out = OutPath("vorlin-demo.png");
    DeleteFileW(WinPath(out).c_str());
    bool saved = SaveThroughDialog(app, WinPath(out), out);
    app.CloseAndCheck();
    return saved ? 0 : 1;
}
