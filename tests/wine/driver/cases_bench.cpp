// Not pass/fail cases: the paint benchmark of ResultPane and the headless demo of the
// README's run command.
#include <algorithm>
#include <cmath>
#include <cstdio>

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

// Average, minimum and maximum of n synchronous repaints of the pane, in milliseconds.
struct Timing {
    double average = 0, minimum = 0, maximum = 0;
    int count = 0;
};

static Timing TimeRepaints(HWND pane, int n)
{
    Timing t;
    t.minimum = 1e30;
    InvalidateRect(pane, nullptr, FALSE);  // warm-up
    Send(pane, WM_PAINT, 0, 0);
    double total = 0;
    for (int i = 0; i < n; ++i) {
        double t0 = NowMs();
        // A sent paint message is handled by the program's thread before the send
        // returns (RedrawWindow's own update does not wait for another process).
        InvalidateRect(pane, nullptr, FALSE);
        Send(pane, WM_PAINT, 0, 0);
        double ms = NowMs() - t0;
        total += ms;
        t.minimum = std::min(t.minimum, ms);
        t.maximum = std::max(t.maximum, ms);
    }
    t.count = n;
    t.average = total / n;
    return t;
}

// bench [REPEATS]: a 1920 x 1080 canvas, a 4000 x 3000 source and a 17 x 17 mesh.
int CaseBench()
{
    int repeats = gContext.args.empty() ? 20 : std::max(1, _wtoi(gContext.args[0].c_str()));
    gSendTimeoutMs = 300000;  // a paste of 48 MB and whole-canvas paints take their time
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
    double t0 = NowMs();
    if (!PutBitmapOnClipboard(source))
        return 1;
    Key(app, 'V');
    double pasteMs = NowMs() - t0;

    // Two bent columns and two bent rows spanning the canvas (greatest x 1918, y 1078),
    // refined four times: 2 -> 3 -> 5 -> 9 -> 17 curves in each family.
    Stroke(app, {{4, 0}, {40, 540}, {2, 1078}});
    Stroke(app, {{1916, 0}, {1880, 540}, {1918, 1078}});
    Key(app, 'T');
    Stroke(app, {{0, 3}, {960, 60}, {1918, 2}});
    Stroke(app, {{0, 1076}, {960, 1010}, {1918, 1078}});
    Key(app, 'H');
    for (int i = 0; i < 4; ++i)
        Key(app, 'W');

    // The same pane without and with the warp: the difference is what the warp costs a
    // paint. Then Single, with a rectangle marked: ResultPane fills the window.
    PaneBox stacked = BoxOf(app, app.result);
    Timing bare = TimeRepaints(app.result, repeats);
    RubberBand(app, POINT{0, 0}, POINT{3999, 2999});
    Timing warped = TimeRepaints(app.result, repeats);
    Key(app, 'P');
    PaneBox box = BoxOf(app, app.result);
    Timing full = TimeRepaints(app.result, repeats);

    std::vector<uint8_t> block;
    t0 = NowMs();
    bool copied = CopyResult(app, block);
    double copyMs = NowMs() - t0;
    Screenshot("bench");

    char text[1600];
    std::snprintf(text, sizeof text,
                  "desktop %dx%d\n"
                  "paste of the 4000x3000 source (key V): %.0f ms\n"
                  "ResultPane %dx%d (Stacked), 17x17 mesh, 1920x1080 canvas:\n"
                  "  paint without the warp (nothing marked): average %.1f ms (min %.1f, max %.1f, "
                  "%d paints)\n"
                  "  paint with the warp: average %.1f ms (min %.1f, max %.1f, %d paints)\n"
                  "  the warp's share of a paint: %.1f ms\n"
                  "ResultPane %dx%d (Single)%s:\n"
                  "  paint with the warp: average %.1f ms (min %.1f, max %.1f, %d paints)\n"
                  "copy (key C to the CF_DIB on the clipboard, %zu bytes): %.0f ms\n",
                  screenW, screenH, pasteMs, stacked.w, stacked.h, bare.average, bare.minimum,
                  bare.maximum, bare.count, warped.average, warped.minimum, warped.maximum,
                  warped.count, warped.average - bare.average, box.w, box.h,
                  box.w >= 1920 && box.h >= 1080
                      ? ""
                      : " (smaller than the 1920x1080 canvas: the paint covers the pane only)",
                  full.average, full.minimum, full.maximum, full.count,
                  copied ? block.size() : size_t(0), copyMs);
    std::printf("%s", text);
    WriteText(OutPath("bench.txt"), text);
    app.CloseAndCheck();
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
