// Cases of the two panes: the rubber band and its zoom arithmetic, wheel routing, strokes,
// reclassification, deletion, node drags and zoom in ResultPane, and dropped files.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include <fstream>

#include "cases.h"

bool LoadScene(const std::string& name, SceneData& scene)
{
    scene.name = name;
    scene.replay = DataPath(name + ".replay");
    bool ok = FileExists(scene.replay) && LoadPng(DataPath(name + ".png"), scene.expected) &&
              LoadMesh(DataPath(name + ".mesh"), scene.mesh);
    return Check(ok, "scene %s was not prepared (no vorlin-render, or see skipped.txt)",
                 name.c_str());
}

// ---- the rubber band at zoom 1 ----------------------------------------------------------------------

// The pen is opaque red without smoothing; the pictures in these cases never hold
// pure red.
static bool IsPenRed(uint32_t rgb) { return rgb == kRed; }

// Red where the rectangle's edges run, green a few pixels to either side.
static void CheckRedRectangle(const Image& pane, int left, int top, int width, int height,
                              const char* when)
{
    int right = left + width, bottom = top + height;
    int midX = left + width / 2, midY = top + height / 2;
    CHECK(IsPenRed(Rgb(pane.At(left, midY))) && IsPenRed(Rgb(pane.At(right, midY))) &&
              IsPenRed(Rgb(pane.At(midX, top))) && IsPenRed(Rgb(pane.At(midX, bottom))),
          "%s: the red rectangle (%d, %d, %d x %d) is not drawn on its edges: 0x%06X 0x%06X 0x%06X "
          "0x%06X",
          when, left, top, width, height, Rgb(pane.At(left, midY)), Rgb(pane.At(right, midY)),
          Rgb(pane.At(midX, top)), Rgb(pane.At(midX, bottom)));
    CHECK(!IsPenRed(Rgb(pane.At(left - 4, midY))) && !IsPenRed(Rgb(pane.At(right + 4, midY))) &&
              !IsPenRed(Rgb(pane.At(midX, top - 4))) && !IsPenRed(Rgb(pane.At(midX, bottom + 4))) &&
              !IsPenRed(Rgb(pane.At(midX, midY))),
          "%s: red beyond the rectangle (%d, %d, %d x %d)", when, left, top, width, height);
}

static long RedPixels(const Image& pane)
{
    long n = 0;
    for (uint32_t v : pane.pixels)
        n += IsPenRed(Rgb(v));
    return n;
}

int CaseRubberBand()
{
    App app;
    if (!StartFullSize(app))
        return 1;
    CHECK(RedPixels(CaptureClient(app.source)) == 0, "a rectangle is drawn before any was marked");
    RubberBand(app, POINT{60, 80}, POINT{260, 200});
    CheckRedRectangle(CaptureClient(app.source), 60, 80, 200, 120, "band (60, 80) to (260, 200)");

    // A new press keeps the previous size until the first move.
    Send(app.source, WM_LBUTTONDOWN, MK_LBUTTON, PackPoint(400, 60));
    Image pressed = CaptureClient(app.source);
    CheckRedRectangle(pressed, 400, 60, 200, 120, "press at (400, 60) before any move");
    CHECK(!IsRedish(Rgb(pressed.At(60, 140))),
          "the old rectangle is still drawn after the new press");
    Send(app.source, WM_MOUSEMOVE, MK_LBUTTON, PackPoint(480, 100));
    CheckRedRectangle(CaptureClient(app.source), 400, 60, 80, 40, "moved to (480, 100)");
    Send(app.source, WM_LBUTTONUP, 0, PackPoint(520, 150));
    CheckRedRectangle(CaptureClient(app.source), 400, 60, 120, 90, "released at (520, 150)");

    // A press and release without a move: a rectangle of size 0 at the origin (whether
    // the drawing library shows a 0 x 0 rectangle is its own matter; that it counts as
    // marked is checked by the layout case).
    Send(app.source, WM_LBUTTONDOWN, MK_LBUTTON, PackPoint(700, 150));
    Send(app.source, WM_LBUTTONUP, 0, PackPoint(700, 150));
    Image dot = CaptureClient(app.source);
    CHECK(!AnyIn(dot, 380, 50, 540, 170, IsRedish),
          "the previous rectangle is still drawn after the click");

    // Leftwards: a negative width, no rectangle at all.
    RubberBand(app, POINT{600, 100}, POINT{500, 180});
    CHECK(RedPixels(CaptureClient(app.source)) == 0,
          "a rectangle dragged leftwards (negative width) is drawn");
    // Above the pane while the capture is held: negative positions arrive intact.
    RubberBand(app, POINT{300, 100}, POINT{-40, -30});
    CHECK(RedPixels(CaptureClient(app.source)) == 0,
          "a band dragged up and left of the pane is drawn");
    RubberBand(app, POINT{-20, -10}, POINT{150, 120});
    Image negative = CaptureClient(app.source);
    CHECK(IsRedish(Rgb(negative.At(150, 60))) && IsRedish(Rgb(negative.At(70, 120))),
          "a band from (-20, -10) to (150, 120) is not drawn on its right and bottom edges");
    Screenshot("rubber-band");
    app.CloseAndCheck();
    return 0;
}

// ---- the rubber band at a wheel-changed zoom ---------------------------------------------------------

// Seven wheel notches toward the user from 1.0: the float 1.1f (0x3F8CCCCD) multiplied in
// single precision seven times gives 1.94871736 (0x3FF96F92). Positions divide by it:
//   101 / z = 51.83 -> 51     51 / z = 26.17 -> 26     31 / z = 15.91 -> 15
//    21 / z = 10.78 -> 10    301 / z = 154.46 -> 154   201 / z = 103.14 -> 103
// and the rectangle draws at trunc(v * z): 51 -> 99.38 -> 99, 26 -> 50.67 -> 50,
// 103 -> 200.72 -> 200, 77 -> 150.05 -> 150.
static void ZoomSourceSevenNotches(App& app)
{
    POINT origin = app.ClientOrigin(app.source);
    for (int i = 0; i < 7; ++i)
        Wheel(app, -120, origin.x + 20, origin.y + 100);
}

int CaseRubberZoom()
{
    SceneData scene;
    bool haveScene = LoadScene("wine-rubberzoom", scene);
    App app;
    if (!StartFullSize(app))
        return 1;
    Image coords;
    if (CHECK(LoadPng(DataPath("coords.png"), coords), "no fixture coords.png")) {
        PutBitmapOnClipboard(coords);
        Key(app, 'V');
    }
    ZoomSourceSevenNotches(app);
    RubberBand(app, POINT{101, 51}, POINT{301, 201});
    // Origin (51, 26), size 103 x 77, drawn at (99, 50) with size 200 x 150.
    CheckRedRectangle(CaptureClient(app.source), 99, 50, 200, 150,
                      "zoom 1.9487, band (101, 51) to (301, 201)");
    Screenshot("rubber-zoom-rectangle");

    // The worked example: a press at (101, 51) and a release at (31, 21) give origin
    // (51, 26) and size -36 x -16, which the renderer takes from the scene file.
    RubberBand(app, POINT{101, 51}, POINT{31, 21});
    CHECK(RedPixels(CaptureClient(app.source)) == 0,
          "a rectangle with negative width is drawn at zoom 1.9487");
    if (haveScene) {
        Stroke(app, {{100, 40}, {100, 300}});
        Stroke(app, {{400, 40}, {400, 300}});
        Key(app, 'T');
        Stroke(app, {{60, 80}, {440, 80}});
        Stroke(app, {{60, 260}, {440, 260}});
        // Nothing counts as marked with a negative width: neither the pane nor the export
        // shows a warp, not even the mirrored rectangle.
        long written = 0;
        for (uint32_t v : scene.expected.pixels)
            written += (v >> 24) != 0;
        CHECK(written == 0, "the renderer warps %ld pixels with nothing marked", written);
        CheckResultPane(app, scene.expected, scene.mesh, "rubber-zoom");
        CheckCopyEquals(app, scene.expected, "rubber-zoom");
        // The same mesh warps again once a rectangle is marked rightwards.
        RubberBand(app, POINT{31, 21}, POINT{101, 51});
        std::vector<uint8_t> block;
        Image copied;
        std::string why;
        if (CopyResult(app, block) && CHECK(DibToImage(block, copied, why), "%s", why.c_str())) {
            long coloured = 0;
            for (uint32_t v : copied.pixels)
                coloured += Rgb(v) != kBlack;
            CHECK(coloured > 10000, "only %ld pixels are warped with a rectangle marked", coloured);
        }
    }
    Screenshot("rubber-zoom");
    app.CloseAndCheck();
    return 0;
}

// ---- wheel routing ------------------------------------------------------------------------------------

// Where the column curve at canvas x = 300 shows in ResultPane at the current zoom.
static int GreenColumnNear(const Image& pane, int y, int from, int to)
{
    for (int x = from; x <= to; ++x)
        if (pane.Inside(x, y) && IsGreenish(Rgb(pane.At(x, y))))
            return x;
    return -1;
}

int CaseWheelRouting()
{
    App app;
    if (!StartFullSize(app))
        return 1;
    RubberBand(app, POINT{60, 80}, POINT{260, 200});
    Stroke(app, {{300, 60}, {300, 300}});
    POINT source = app.ClientOrigin(app.source);
    POINT bar = app.ClientOrigin(app.splitter);
    POINT result = app.ClientOrigin(app.result);
    Note("client origins on screen: SourcePane (%ld, %ld), Splitter (%ld, %ld), ResultPane (%ld, "
         "%ld)",
         source.x, source.y, bar.x, bar.y, result.x, result.y);
    auto sourceLeftEdgeAt = [&](int x) {
        return IsRedish(Rgb(CaptureClient(app.source).At(x, 140)));
    };
    auto resultColumn = [&] { return GreenColumnNear(CaptureClient(app.result), 200, 250, 450); };
    auto unchanged = [&](int edge, int column) {
        return sourceLeftEdgeAt(edge) && std::abs(resultColumn() - column) <= 2;
    };
    CHECK(unchanged(60, 300), "the starting picture is not as drawn");

    // Over ResultPane, in Stacked right below SourcePane and within its width: ResultPane
    // zooms (300 * 1.1 = 330) and SourcePane does not.
    Wheel(app, -120, result.x + 10, result.y + 100);
    int column = resultColumn();
    CHECK(column >= 328 && column <= 333 && sourceLeftEdgeAt(60),
          "a wheel message over ResultPane at screen (%ld, %ld) did not zoom ResultPane alone "
          "to 1.1 (column at %d, expected about 330)",
          result.x + 10, result.y + 100, column);

    // Over SourcePane: SourcePane zooms (the rectangle's left edge 60 * 1.1 = 66).
    Wheel(app, -120, source.x + 20, source.y + 100);
    CHECK(unchanged(66, column),
          "a wheel message over SourcePane did not zoom SourcePane alone to 1.1 (edge at 66)");

    // Over the Splitter, left of the window, beyond its right edge and below it: no pane.
    RECT frame{};
    GetWindowRect(app.main, &frame);
    const POINT nowhere[] = {{bar.x + 100, bar.y + 2},
                             {-16, result.y + 100},
                             {frame.right + 30, source.y + 100},
                             {result.x + 10, frame.bottom + 5}};
    for (POINT p : nowhere) {
        Wheel(app, -120, p.x, p.y);
        CHECK(unchanged(66, column), "a wheel message at screen (%ld, %ld) zoomed a pane", p.x,
              p.y);
    }

    // +120 zooms out: 1.1f / 1.1f is exactly 1. +60 is a quotient of 0: it zooms in.
    Wheel(app, 120, source.x + 5, source.y + 5);
    CHECK(sourceLeftEdgeAt(60), "a +120 wheel message did not zoom SourcePane back to 1.0");
    Wheel(app, 60, source.x + 5, source.y + 5);
    CHECK(sourceLeftEdgeAt(66), "a +60 wheel message did not zoom SourcePane in to 1.1");
    Wheel(app, 120, source.x + 5, source.y + 5);

    // The pointer counts in MainWindow's client coordinates: once the window has moved, the
    // same place inside it goes to the same pane.
    POINT inside{200, 100};  // ResultPane client position
    PlaceMainWindow(app, frame.left + 150, frame.top + 20, frame.right - frame.left - 150,
                    frame.bottom - frame.top - 20);
    result = app.ClientOrigin(app.result);
    int before = resultColumn();
    Wheel(app, 120, result.x + inside.x, result.y + inside.y);
    column = resultColumn();
    CHECK(sourceLeftEdgeAt(60) && column < before - 20,
          "after moving the window, ResultPane position (%ld, %ld) at screen (%ld, %ld) did not "
          "go to ResultPane (column %d before, %d after)",
          inside.x, inside.y, result.x + inside.x, result.y + inside.y, before, column);
    source = app.ClientOrigin(app.source);
    Wheel(app, -120, source.x + inside.x, source.y + inside.y);
    CHECK(unchanged(66, column),
          "after moving the window, SourcePane position (%ld, %ld) did not "
          "go to SourcePane alone",
          inside.x, inside.y);
    Screenshot("wheel-routing");
    app.CloseAndCheck();
    return 0;
}

// ---- strokes, reclassification, deletion and node drags ------------------------------------------------

// `extra` looks at the pane before the exports, `then` goes on editing after them.
static int RunSceneCase(const char* sceneName, const char* what,
                        const std::function<void(App&, const SceneData&)>& extra = nullptr,
                        const std::function<void(App&)>& then = nullptr)
{
    SceneData scene;
    if (!LoadScene(sceneName, scene))
        return 1;
    App app;
    if (!StartFullSize(app))
        return 1;
    if (!ReplayScript(app, scene.replay))
        return 1;
    CheckResultPane(app, scene.expected, scene.mesh, what);
    if (extra)
        extra(app, scene);
    Screenshot(what);
    CheckCopyEquals(app, scene.expected, what);
    CheckSaveEquals(app, scene.expected, std::string(what) + ".png", what);
    if (then)
        then(app);
    app.CloseAndCheck();
    return 0;
}

// A key typed on the X display, with modifiers; its message may trail the driver's own.
static void TypeKeys(App& app, const char* keys)
{
    SetForegroundWindow(app.main);
    Pump(100);
    RealInput(std::string("key ") + keys);
    Pump(400);
}

// The edit scene's five strokes undone and redone, with and without modifiers, against the
// renderer's images of the same scene cut short; a new stroke after undoing drops the redo.
static void UndoAndRedoStrokes(App& app)
{
    SceneData edit, undo1, undo3, branch;
    if (!LoadScene("wine-edit", edit) || !LoadScene("wine-edit_undo1", undo1) ||
        !LoadScene("wine-edit_undo3", undo3) || !LoadScene("wine-edit_branch", branch))
        return;
    TypeKeys(app, "ctrl+z");
    CheckCopyEquals(app, undo1.expected, "Ctrl+Z: the last stroke undone");
    Key(app, 'Z', app.result);
    TypeKeys(app, "ctrl+shift+z");
    CheckCopyEquals(app, undo3.expected, "Z, Ctrl+Shift+Z: three strokes undone");
    Key(app, 'Y');
    TypeKeys(app, "ctrl+y");
    PostMessageW(app.main, WM_COMMAND, 32781, 0);  // the menu's redo
    Pump(300);
    CheckCopyEquals(app, edit.expected, "Y, Ctrl+Y, menu redo: all five strokes back");
    Key(app, 'Y', app.source);
    CheckCopyEquals(app, edit.expected, "Y with nothing left to redo");
    Key(app, 'Z');
    PostMessageW(app.main, WM_COMMAND, 32780, 0);  // the menu's undo
    Pump(300);
    Key(app, 'Z');
    Stroke(app, {{300, 40}, {310, 200}, {295, 335}});
    Key(app, 'Y');
    CheckCopyEquals(app, branch.expected, "a new stroke after three undos, then Y");
}

int CaseEdit()
{
    return RunSceneCase(
        "wine-edit", "edit",
        [](App& app, const SceneData&) {
            Image pane = CaptureClient(app.result);
            // The third stroke, drawn with the column family active, first crosses a column
            // curve: it is a row curve now, blue.
            CHECK(Rgb(pane.At(155, 85)) == kBlue,
                  "the stroke drawn from (60, 80) across a column curve is not blue "
                  "(0x%06X at (155, 85))",
                  Rgb(pane.At(155, 85)));
            // The last stroke first crosses a row curve: it stays a column curve, green.
            CHECK(Rgb(pane.At(257, 160)) == kGreen,
                  "the stroke drawn from (260, 40) across row curves is not green "
                  "(0x%06X at (257, 160))",
                  Rgb(pane.At(257, 160)));
        },
        UndoAndRedoStrokes);
}

int CaseDelete()
{
    return RunSceneCase("wine-delete", "delete", [](App& app, const SceneData&) {
        Image pane = CaptureClient(app.result);
        CHECK(!IsGreenish(Rgb(pane.At(257, 160))),
              "the column curve whose label spot was clicked is still drawn");
        CHECK(Rgb(pane.At(300, 180)) != kBlue && Rgb(pane.At(365, 296)) != kBlue,
              "the row curve whose label spot was clicked is still drawn");
    });
}

// The last drag undone and redone: the curves it bent come back point for point.
int CaseNodeDrag()
{
    return RunSceneCase("wine-nodedrag", "node-drag", nullptr, [](App& app) {
        SceneData dragged, undone;
        if (!LoadScene("wine-nodedrag", dragged) || !LoadScene("wine-nodedrag_undone", undone))
            return;
        Key(app, 'Z');
        CheckCopyEquals(app, undone.expected, "node drag undone");
        Key(app, 'Y');
        CheckCopyEquals(app, dragged.expected, "node drag redone");
    });
}

// ---- ResultPane's wheel zoom ---------------------------------------------------------------------------

// Six notches of -120 and one of +60 (a quotient of 0, which zooms in too): seven
// multiplications by 1.1f, z = 1.94871736. Strokes at these pane positions land on the
// canvas at trunc(p / z):
//   A (200, 60) (205, 200) (198, 360) -> (102, 30) (105, 102) (101, 184)
//   B (900, 50) (910, 210) (895, 365) -> (461, 25) (466, 107) (459, 187)
//   C (150, 90) (600, 100) (980, 85)  -> (76, 46) (307, 51) (502, 43)
//   D (140, 330) (560, 320) (990, 340) -> (71, 169) (287, 164) (508, 174)
int CaseResultZoom()
{
    SceneData scene;
    if (!LoadScene("wine-zoomstroke", scene))
        return 1;
    App app;
    if (!StartWithCoordsPicture(app))
        return 1;
    RubberBand(app, POINT{20, 20}, POINT{220, 170});
    POINT result = app.ClientOrigin(app.result);
    const POINT over{result.x + 600, result.y + 50};  // ResultPane under the pointer
    for (int i = 0; i < 6; ++i)
        Wheel(app, -120, over.x, over.y);
    Wheel(app, 60, over.x, over.y);
    Stroke(app, {{200, 60}, {205, 200}, {198, 360}});
    Stroke(app, {{900, 50}, {910, 210}, {895, 365}});
    Key(app, 'T');
    Stroke(app, {{150, 90}, {600, 100}, {980, 85}});
    Stroke(app, {{140, 330}, {560, 320}, {990, 340}});
    Key(app, 'H');

    // The overlays are drawn at canvas scale and enlarged: each red point of canvas
    // (x, y) covers about (x * z .. x * z + z) on the pane.
    const double z = 1.9487173557281494;
    Image pane = CaptureClient(app.result);
    SavePng(OutPath("result-pane-zoomed.png"), pane);
    long missing = 0, total = 0;
    for (const auto* set : {&scene.mesh.columns, &scene.mesh.rows})
        for (const SceneCurve& c : *set)
            for (POINT p : c.points) {
                int px = int(p.x * z), py = int(p.y * z);
                if (px < 150 && py < 80)
                    continue;  // the zoom label
                ++total;
                if (!AnyIn(pane, px - 2, py - 2, px + 4, py + 4, IsRedish) && missing++ < 3)
                    Note("  no red near pane (%d, %d) for canvas point (%ld, %ld)", px, py, p.x,
                         p.y);
            }
    CHECK(missing == 0, "%ld of %ld curve points are not shown enlarged by the zoom", missing,
          total);
    Screenshot("result-zoom");
    // The exports are independent of the zoom: one pixel per canvas pixel.
    CheckCopyEquals(app, scene.expected, "result-zoom");
    Wheel(app, 120, over.x, over.y);
    CheckSaveEquals(app, scene.expected, "result-zoom.png", "result-zoom (after zooming out)");
    app.CloseAndCheck();
    return 0;
}

// ---- what ResultPane keeps between paints ---------------------------------------------------------------

// coords.png pasted, with or without a backdrop wider than the pane and partly transparent,
// and a bent 3 x 3 mesh drawn in Single layout, where ResultPane stays hidden (and
// unpainted) until a rectangle is marked.
static bool StartLayerScene(App& app, bool backdrop)
{
    if (!StartWithCoordsPicture(app))
        return false;
    if (backdrop) {
        size_t have = ReadPaintLines().size();
        DropFiles(app, app.result, {WinPath(DataPath("backdrop.png"))}, POINT{10, 10});
        WaitForPaints(have + 1);  // the drop is handled
    }
    Key(app, 'P');
    Stroke(app, {{20, 10}, {45, 100}, {25, 190}});
    Stroke(app, {{150, 5}, {165, 100}, {140, 195}});
    Stroke(app, {{276, 10}, {290, 100}, {270, 190}});
    Key(app, 'T');
    Stroke(app, {{10, 20}, {150, 35}, {290, 15}});
    Stroke(app, {{10, 100}, {150, 85}, {290, 110}});
    Stroke(app, {{10, 180}, {150, 195}, {290, 175}});
    Key(app, 'H');
    return true;
}

// Zooms 1, 1.1^2 and 1.1^2 / 1.1^4, reached by the first 0, 2 and 6 of these notches
// (-120 zooms in).
static const int kLayerNotches[] = {-120, -120, 120, 120, 120, 120};
static const size_t kLayerZoomAt[] = {0, 2, 6};

static float LayerZoom(int k)
{
    float z = 1.0f;
    for (size_t notch = 0; notch < kLayerZoomAt[k]; ++notch)
        z = kLayerNotches[notch] < 0 ? z * 1.1f : z / 1.1f;
    return z;
}

// ResultPane's pixels that a paint decides: not the sliver beyond the zoomed offscreen,
// which no paint covers, nor, when the picture is scaled, its last column and row, whose
// samples reach past its edge and are blended with whatever the window showed before.
static void CheckSamePane(const Image& got, const Image& want, float zoom, const char* what)
{
    const int edge = zoom == 1.0f ? 0 : 1;
    const int w = int(float(int(float(want.width) / zoom)) * zoom) - edge;
    const int h = int(float(int(float(want.height) / zoom)) * zoom) - edge;
    long bad = 0;
    if (got.width == want.width && got.height == want.height)
        for (int y = 0; y < h && y < want.height; ++y)
            for (int x = 0; x < w && x < want.width; ++x)
                bad += got.At(x, y) != want.At(x, y);
    if (!CHECK(got.width == want.width && got.height == want.height && bad == 0,
               "%s: %ld pixels of ResultPane differ from the first paint's", what, bad)) {
        SavePng(OutPath(std::string(what) + " reused.png"), got);
        SavePng(OutPath(std::string(what) + " first.png"), want);
    }
}

// The layer scene with its backdrop and its rectangle marked (ResultPane shown, Single
// layout), and the column stroke that crosses the zoom label, the labels, the row lines,
// the nodes and the points; with `rows` also the row stroke after it.
static const std::vector<POINT> kColumnStroke = {
    {60, 4},    {30, 14},  {33, 17},  {31, 13},               // the last replaces (33, 17)
    {45, 60},   {40, 100}, {90, 140}, {150, 100}, {92, 141},  // (92, 141) replaces (150, 100)
    {200, 230}, {12, 186}};
static const std::vector<POINT> kRowStroke = {
    {5, 60},    {60, 30}, {120, 12}, {160, 12}, {122, 13},  // (122, 13) replaces (160, 12)
    {200, 100}, {285, 60}};

// The checks inside a stroke: after these many of its points, the pane is compared with
// what it shows when composed anew.
static const size_t kColumnChecks[] = {4, 9, 11};
static const size_t kRowChecks[] = {5, 7};

static void SendStrokeTo(App& app, const std::vector<POINT>& stroke, const size_t* checks,
                         size_t checkCount, const char* family);

// The pane, then the same state painted after notches out until one composes anew (the
// kept layers do not span its larger offscreen, so every layer and every overlay is drawn
// whole), and as many notches back in, which cut zoom 1's offscreen from those layers (1.1f
// divided and multiplied back up to six times gives 1.0f exactly).
static void CheckAgainstWholePaint(App& app, const char* what)
{
    Image now = CaptureClient(app.result);
    bool composed = false;
    int notches = 0;
    while (!composed && notches < 6) {
        size_t have = ReadPaintLines().size();
        Send(app.result, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
        Send(app.result, WM_PAINT, 0, 0);
        ++notches;
        WaitForPaints(have + 1);
        std::vector<PaintLine> lines = ReadPaintLines();
        for (size_t k = have; k < lines.size(); ++k)
            composed = composed || lines[k].Composed();
    }
    CHECK(composed, "%s: %d notches out did not compose anew", what, notches);
    for (int k = 0; k < notches; ++k)
        Send(app.result, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(int16_t(-120))), 0);
    CheckSamePane(now, CaptureClient(app.result), 1.0f, what);
}

// Each move sent and painted on its own, as a hand drags; at the checks, the pane against
// its whole paint.
static void SendStrokeTo(App& app, const std::vector<POINT>& stroke, const size_t* checks,
                         size_t checkCount, const char* family)
{
    Send(app.result, WM_LBUTTONDOWN, MK_LBUTTON, PackPoint(stroke[0].x, stroke[0].y));
    size_t next = 0;
    for (size_t i = 1; i < stroke.size(); ++i) {
        size_t have = ReadPaintLines().size();
        Send(app.result, WM_MOUSEMOVE, MK_LBUTTON, PackPoint(stroke[i].x, stroke[i].y));
        WaitForPaints(have + 1);
        if (next < checkCount && checks[next] == i + 1) {
            char what[96];
            std::snprintf(what, sizeof what, "a %s stroke in progress, %zu points in", family,
                          i + 1);
            CheckAgainstWholePaint(app, what);
            ++next;
        }
    }
    size_t have = ReadPaintLines().size();
    Send(app.result, WM_LBUTTONUP, 0, PackPoint(stroke.back().x, stroke.back().y));
    WaitForPaints(have + 1);
}

// A fresh program's first paint of the layer scene with the strokes drawn while ResultPane
// was hidden, the rectangle marked last.
static bool FirstPaintWithStrokes(App& app, bool rowStroke, Image& first)
{
    if (!StartLayerScene(app, true))
        return false;
    Stroke(app, kColumnStroke);
    if (rowStroke) {
        Key(app, 'T');
        Stroke(app, kRowStroke);
    }
    size_t have = ReadPaintLines().size();
    RubberBand(app, POINT{30, 20}, POINT{280, 200});
    WaitForPaints(have + 1);
    Send(app.result, WM_NULL, 0, 0);
    Pump(100);
    first = CaptureClient(app.result, false);
    return true;
}

// Strokes drawn over the backdrop, the labels and the nodes: in both families, each move
// painted by itself, with moves that replace the last point, across the labels and the zoom
// label; every screen as a whole paint shows it, and the screens after the strokes, zoomed
// in and out and after an undo as a fresh program's first paint shows them.
static void CheckStrokeLayers()
{
    App app;
    if (!StartLayerScene(app, true))
        return;
    size_t have = ReadPaintLines().size();
    RubberBand(app, POINT{30, 20}, POINT{280, 200});
    WaitForPaints(have + 1);
    SendStrokeTo(app, kColumnStroke, kColumnChecks, std::size(kColumnChecks), "column");
    Key(app, 'T');
    SendStrokeTo(app, kRowStroke, kRowChecks, std::size(kRowChecks), "row");
    Screenshot("layers strokes");
    Image drawn = CaptureClient(app.result);
    auto notch = [&](int delta) {
        Send(app.result, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(int16_t(delta))), 0);
        return CaptureClient(app.result);
    };
    Image in = notch(-120), back = notch(120), out = notch(120);
    notch(-120);
    CheckSamePane(back, drawn, 1.0f, "after both strokes, zoomed in and back");
    Key(app, 'Z');
    Image undone = CaptureClient(app.result);
    app.CloseAndCheck();

    Image first;
    App fresh;
    if (!FirstPaintWithStrokes(fresh, true, first))
        return;
    CheckSamePane(drawn, first, 1.0f, "after both strokes");
    Send(fresh.result, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(int16_t(-120))), 0);
    CheckSamePane(in, CaptureClient(fresh.result), 1.1f, "after both strokes, zoomed in");
    Send(fresh.result, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    Send(fresh.result, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    CheckSamePane(out, CaptureClient(fresh.result), 1.0f / 1.1f, "after both strokes, zoomed out");
    fresh.CloseAndCheck();

    App once;
    if (!FirstPaintWithStrokes(once, false, first))
        return;
    CheckSamePane(undone, first, 1.0f, "after the row stroke is undone");
    once.CloseAndCheck();
}

// ResultPane with and without a backdrop, at three zooms: the first paint of a fresh
// program in that state (the selection marked last, so that paint composes anew) against
// an expose repaint that reuses what it kept and, at the second zoom, against the program
// of the first zoom zoomed in, which cuts its offscreen from the kept layers.
int CasePaintLayers()
{
    const int farX = 10000;  // a wheel at this screen x goes to ResultPane
    for (bool backdrop : {false, true}) {
        Image first[3], cut;
        for (int k = 0; k < 3; ++k) {
            char what[64];
            std::snprintf(what, sizeof what, "zoom %.6f %s", double(LayerZoom(k)),
                          backdrop ? "with a backdrop" : "without a backdrop");
            std::string timings = OutPath("paints.txt");
            DeleteFileW(WinPath(timings).c_str());
            SetEnvironmentVariableW(L"VORLIN_PAINT_TIMINGS", WinPath(timings).c_str());
            App app;
            if (!StartLayerScene(app, backdrop))
                return 1;
            for (size_t notch = 0; notch < kLayerZoomAt[k]; ++notch)
                Wheel(app, kLayerNotches[notch], farX, 10);
            Send(app.result, WM_PAINT, 0, 0);  // nothing left to paint
            size_t have = ReadPaintLines().size();
            RubberBand(app, POINT{30, 20}, POINT{280, 200});
            WaitForPaints(have + 1);
            // the program's drawing reaches the screen once it is back in its message loop
            Send(app.result, WM_NULL, 0, 0);
            Pump(100);
            first[k] = CaptureClient(app.result, false);
            std::vector<PaintLine> lines = ReadPaintLines();
            CHECK(lines.size() == have + 1 && lines.back().Composed(),
                  "%s: %zu paints after marking the rectangle, not one that composed", what,
                  lines.size() - have);
            auto reusedPaint = [&](const char* when) {
                Image pane = CaptureClient(app.result);
                lines = ReadPaintLines();
                CHECK(!lines.empty() && !lines.back().Composed(),
                      "%s: %s, the repaint composed anew instead of reusing what was kept", what,
                      when);
                return pane;
            };
            CheckSamePane(reusedPaint("on expose"), first[k], LayerZoom(k), what);
            if (k == 0) {
                Wheel(app, kLayerNotches[0], farX, 10);
                Wheel(app, kLayerNotches[1], farX, 10);
                cut = reusedPaint("zoomed in");
            }
            Screenshot(std::string("layers ") + what);
            app.CloseAndCheck();
        }
        CheckSamePane(cut, first[1], LayerZoom(1),
                      backdrop ? "zoomed in with a backdrop" : "zoomed in without a backdrop");
    }
    CheckStrokeLayers();
    return 0;
}

// ---- dropped files ---------------------------------------------------------------------------------------

// Whether the pane shows the picture at (0, 0), 1:1, apart from the zoom label.
static bool ShowsPicture(const Image& pane, const Image& picture, long* mismatches = nullptr)
{
    long bad = 0;
    for (int y = 0; y < picture.height && y < pane.height; ++y)
        for (int x = 0; x < picture.width && x < pane.width; ++x) {
            if (x <= 140 && y <= 40)
                continue;
            bad += Rgb(pane.At(x, y)) != Rgb(picture.At(x, y));
        }
    if (mismatches)
        *mismatches = bad;
    return bad == 0;
}

static int DropCase(bool onSource)
{
    const char* paneName = onSource ? "SourcePane" : "ResultPane";
    Image a, b, c, japanese;
    if (!CHECK(LoadPng(DataPath("drop_a.png"), a) && LoadPng(DataPath("drop_b.png"), b) &&
                   LoadPng(DataPath("drop_c.png"), c) &&
                   LoadPng(DataPath("画像ファイル.png"), japanese),
               "fixtures missing"))
        return 1;
    App app;
    if (!StartFullSize(app))
        return 1;
    HWND pane = onSource ? app.source : app.result;
    if (onSource)
        RubberBand(app, POINT{300, 60}, POINT{400, 100});
    std::vector<std::wstring> three = {WinPath(DataPath("drop_a.png")),
                                       WinPath(DataPath("drop_b.png")),
                                       WinPath(DataPath("drop_c.png"))};
    DropFiles(app, pane, three, POINT{50, 50});
    long bad = 0;
    bool shown = WaitFor([&] { return ShowsPicture(CaptureClient(pane), c, &bad); }, 5000);
    CHECK(shown, "%s after dropping three files does not show the third 1:1 (%ld pixels differ)",
          paneName, bad);
    CheckTitle(app, L"*vorlin", "a dropped image, unsaved");
    if (onSource)
        CHECK(IsRedish(Rgb(CaptureClient(pane).At(300, 80))),
              "the marked rectangle is gone after the drop");
    Screenshot(std::string("drop-three-") + paneName);

    // A Japanese file name comes through the wide-character drop intact.
    DropFiles(app, pane, {WinPath(DataPath("画像ファイル.png"))}, POINT{10, 10});
    shown = WaitFor([&] { return ShowsPicture(CaptureClient(pane), japanese, &bad); }, 5000);
    CHECK(shown, "%s does not show the file with a Japanese name (%ld pixels differ)", paneName,
          bad);

    // Of files that do not decode and one that does, the one that does stays; files that do
    // not decode alone keep the picture.
    const std::wstring notImage = WinPath(DataPath("not_an_image.png"));
    DropFiles(app, pane, {WinPath(DataPath("drop_c.png")), notImage}, POINT{5, 5});
    shown = WaitFor([&] { return ShowsPicture(CaptureClient(pane), c, &bad); }, 5000);
    CHECK(shown, "%s does not show the file that decoded before an undecodable one", paneName);
    DropFiles(app, pane, {notImage, WinPath(DataPath("no_such_file.png"))}, POINT{5, 5});
    Pump(500);  // a drop that changes nothing shows no effect to wait for
    CHECK(ShowsPicture(CaptureClient(pane), c, &bad),
          "%s lost its picture to dropped files that do not decode (%ld pixels differ)", paneName,
          bad);
    if (onSource)
        CHECK(IsRedish(Rgb(CaptureClient(pane).At(300, 80))),
              "the marked rectangle is gone after the undecodable drops");
    Screenshot(std::string("drop-undecodable-") + paneName);

    // The same through the menu's open dialog: the file that decodes is shown (drop_c.png is
    // shown now, the Japanese name is opened), one that does
    // not keeps the picture, and a scene chosen there opens as a scene, as a dropped one does.
    const UINT command = onSource ? 32784 : 32785;
    OpenImageThroughMenu(app, command, WinPath(DataPath("画像ファイル.png")));
    shown = WaitFor([&] { return ShowsPicture(CaptureClient(pane), japanese, &bad); }, 5000);
    CHECK(shown, "%s does not show the picture opened by menu %u (%ld pixels differ)", paneName,
          command, bad);
    OpenImageThroughMenu(app, command, notImage);
    Pump(500);
    CHECK(ShowsPicture(CaptureClient(pane), japanese, &bad),
          "%s lost its picture to a file that does not decode, opened by menu %u", paneName,
          command);
    if (onSource)
        CHECK(IsRedish(Rgb(CaptureClient(pane).At(300, 80))),
              "the marked rectangle is gone after the opened picture");
    std::ofstream(WinPath(OutPath("chosen.scene.json")).c_str())
        << R"({"columns": [[[5, 5], [6, 90]], [[60, 4], [61, 92]]], "rows": [[[0, 10], [70, 11]]]})";
    OpenImageThroughMenu(app, command, WinPath(OutPath("chosen.scene.json")));
    CheckTitle(app, L"vorlin - chosen.scene.json", "a scene chosen in the picture dialog");
    CHECK(!ShowsPicture(CaptureClient(pane), japanese),
          "%s still shows its picture after the scene", paneName);
    Key(app, 'Z');
    CheckTitle(app, L"*vorlin - chosen.scene.json", "the scene's opening undone");
    CHECK(ShowsPicture(CaptureClient(pane), japanese), "%s lacks its picture after the undo",
          paneName);
    app.CloseAndCheck();
    return 0;
}

int CaseDropSource() { return DropCase(true); }
int CaseDropResult() { return DropCase(false); }

// ---- the overlay thresholds ---------------------------------------------------------------------------

// The start of the thresholds and refinement scenes: coords.png pasted, (30, 20) to
// (280, 200) marked, two straight columns at x = 20 and 276 and rows at y = 20 and 180.
static bool StartWithStraightMesh(App& app)
{
    if (!StartWithCoordsPicture(app))
        return false;
    RubberBand(app, POINT{30, 20}, POINT{280, 200});
    Stroke(app, {{20, 10}, {20, 190}});
    Stroke(app, {{276, 10}, {276, 190}});
    Key(app, 'T');
    Stroke(app, {{10, 20}, {290, 20}});
    Stroke(app, {{10, 180}, {290, 180}});
    Key(app, 'H');
    return true;
}

// Two straight columns and rows refined 4, 5 and 7 times: 17 curves (no nodes, thin
// pens, labels), 33 (no labels) and 129 (no overlays at all, the warp and the zoom label
// only).
int CaseThresholds()
{
    SceneData s17, s33, s129;
    if (!LoadScene("wine-thresholds17", s17) || !LoadScene("wine-thresholds33", s33) ||
        !LoadScene("wine-thresholds129", s129))
        return 1;
    App app;
    if (!StartWithStraightMesh(app))
        return 1;
    // Fewer than 16 curves: pens 3 wide, one pixel either side of the line.
    Image pane = CaptureClient(app.result);
    CHECK(Rgb(pane.At(19, 105)) == kGreen && Rgb(pane.At(20, 105)) == kGreen &&
              Rgb(pane.At(21, 105)) == kGreen,
          "the column pen at x = 20 is not 3 pixels wide with 2 columns");
    CHECK(Rgb(pane.At(150, 179)) == kBlue && Rgb(pane.At(150, 180)) == kBlue &&
              Rgb(pane.At(150, 181)) == kBlue,
          "the row pen at y = 180 is not 3 pixels wide with 2 rows");

    for (int i = 0; i < 4; ++i)
        Key(app, 'W', app.result);
    CheckResultPane(app, s17.expected, s17.mesh, "17 curves");
    // 16 or more: pens 1 wide (columns now every 16 pixels, rows every 10).
    pane = CaptureClient(app.result);
    CHECK(Rgb(pane.At(100, 105)) == kGreen && Rgb(pane.At(99, 105)) != kGreen &&
              Rgb(pane.At(101, 105)) != kGreen,
          "the column pen at x = 100 is not 1 pixel wide with 17 columns");
    CHECK(Rgb(pane.At(150, 110)) == kBlue && Rgb(pane.At(150, 109)) != kBlue &&
              Rgb(pane.At(150, 111)) != kBlue,
          "the row pen at y = 110 is not 1 pixel wide with 17 rows");
    CheckCopyEquals(app, s17.expected, "17 curves");
    Key(app, 'X', app.result);  // X refines like W
    CheckResultPane(app, s33.expected, s33.mesh, "33 curves");
    Key(app, 'W', app.result);
    Key(app, 'W', app.result);
    CheckResultPane(app, s129.expected, s129.mesh, "129 curves");
    CheckCopyEquals(app, s129.expected, "129 curves");
    Screenshot("thresholds");
    app.CloseAndCheck();
    return 0;
}

// ---- zoom far out and far in ----------------------------------------------------------------------------

// Hundreds of wheel notches on both panes: positions, offscreen sizes and the drawn source
// leave every range; the program must go on answering and end normally. The notches out
// are turned in Single layout with nothing marked, so ResultPane is hidden and its notches
// are sent to it straight (MainWindow passes the wheel only to a pane under the pointer); the
// notches in with both panes shown, each pane painting after each of its notches. Far out
// and far in ResultPane gets no offscreen, and shows black and its zoom label.
int CaseExtremeZoom()
{
    App app;
    if (!StartWithCoordsPicture(app))
        return 1;
    Stroke(app, {{50, 50}, {300, 200}});
    Key(app, 'P');  // Single, nothing marked: SourcePane only
    POINT source = app.ClientOrigin(app.source);
    for (int i = 0; i < 260; ++i) {
        Send(app.result, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
        Wheel(app, 120, source.x + 5, source.y + 5);
    }
    // At zoom 1.1^-260 every position saturates: the band is (2^31 - 1, 2^31 - 1) with
    // width and height 0, marked, so Single now shows ResultPane, where SourcePane was.
    RubberBand(app, POINT{10, 10}, POINT{300, 200});
    CHECK(BoxOf(app, app.result).w > 0,
          "ResultPane is not shown after marking a rectangle in Single");
    Stroke(app, {{100, 100}, {200, 150}, {-30, -40}});  // far beyond 32-bit canvas pixels
    int before = gFailures;
    Image farOut = CaptureClient(app.result);
    CHECK(gFailures == before, "ResultPane did not paint at zoom 1.1^-260");
    CHECK(ClearedWithLabel(farOut, kBlack, farOut.width),
          "ResultPane at zoom 1.1^-260 (no offscreen) is not black with its zoom label");
    DWORD seq = ClipboardSequence();
    PostKey(app, 'C');
    Pump(1000);
    Note("copy at zoom 1.1^-260: the clipboard %s",
         ClipboardSequence() == seq ? "was left alone" : "changed");
    CHECK(app.Running(), "the program ended at a far-out zoom");

    Key(app, 'P');  // SideBySide: both panes shown, each under its own wheel
    source = app.ClientOrigin(app.source);
    POINT result = app.ClientOrigin(app.result);
    before = gFailures;
    double slowest[2] = {0, 0};
    for (int i = 0; i < 460 && gFailures == before; ++i) {
        // A synchronous paint after every notch where the offscreen sizes and the drawn
        // source change (zooms 1.1^-60 to 1.1^60), after every 20th elsewhere.
        const int exponent = i + 1 - 260;
        const bool paint = (exponent >= -60 && exponent <= 60) || i % 20 == 0;
        double t0 = NowMs();
        Wheel(app, -120, result.x + 5, result.y + 5);
        if (paint) {
            InvalidateRect(app.result, nullptr, FALSE);
            Send(app.result, WM_PAINT, 0, 0);
        }
        double t1 = NowMs();
        Wheel(app, -120, source.x + 5, source.y + 5);
        if (paint) {
            InvalidateRect(app.source, nullptr, FALSE);
            Send(app.source, WM_PAINT, 0, 0);
        }
        double t2 = NowMs();
        slowest[0] = std::max(slowest[0], t1 - t0);
        slowest[1] = std::max(slowest[1], t2 - t1);
        if (t1 - t0 > 1500 || t2 - t1 > 1500)
            Note("notch %d in (zoom 1.1^%d): ResultPane and its paint %.0f ms, SourcePane and its "
                 "paint %.0f ms",
                 i + 1, exponent, t1 - t0, t2 - t1);
    }
    Note("slowest notch and paint from 1.1^-260 to 1.1^200: ResultPane %.0f ms, SourcePane %.0f ms",
         slowest[0], slowest[1]);
    CaptureClient(app.source);
    // 1.1^200 = 1.9e8: a side of the offscreen would be under one pixel.
    CHECK(ClearedWithLabel(CaptureClient(app.result), kBlack, 1 << 30),
          "ResultPane at zoom 1.1^200 (no offscreen) is not black with its zoom label");
    Stroke(app, {{100, 100}, {200, 150}});
    RubberBand(app, POINT{10, 10}, POINT{300, 200});
    Key(app, 'W');
    CHECK(gFailures == before, "the program stopped answering while zooming in to 1.1^200");
    CHECK(app.Running(), "the program ended at a far-in zoom");
    Screenshot("extreme-zoom");
    app.CloseAndCheck();
    return 0;
}

// ---- refinement held down --------------------------------------------------------------------------------

// W held down (autorepeat key messages) on a 2 x 2 mesh: ten refinements reach 1025 curves a
// family, a million cells, and the four after that are refused at the mesh bound. The
// program answers throughout, copies what the renderer computes for the same fourteen
// refinements, and Delete clears the mesh.
int CaseRefineHeld()
{
    SceneData scene;
    if (!LoadScene("wine-refine_held", scene))
        return 1;
    App app;
    if (!StartWithStraightMesh(app))
        return 1;
    const LPARAM repeat = 0x40000001;  // the key was already down: an autorepeat
    for (int i = 0; i < 14; ++i) {
        const double t0 = NowMs();
        Send(app.result, WM_KEYDOWN, 'W', i == 0 ? 1 : repeat);
        CaptureClient(app.result);  // the repaint the refinement asked for
        Note("W %2d: refinement and repaint %.0f ms", i + 1, NowMs() - t0);
    }
    DWORD_PTR answer = 0;
    CHECK(SendMessageTimeoutW(app.main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer) != 0,
          "the program did not answer within a second with the largest mesh");
    CheckCopyEquals(app, scene.expected, "fourteen refinements");
    Screenshot("refined");
    const double t0 = NowMs();
    Key(app, VK_DELETE);
    Note("Delete with a million cells: %.0f ms", NowMs() - t0);
    std::vector<uint8_t> block;
    if (CopyResult(app, block))
        CHECK(block.size() == 60, "after Delete the copy has %zu bytes, not the 2 x 2 canvas's 60",
              block.size());
    Key(app, 'Z');  // the million cells back
    CheckCopyEquals(app, scene.expected, "Delete undone");
    app.CloseAndCheck();
    return 0;
}
