// The message storm: tens of thousands of random but well-formed messages, then proof that
// the program still answers and still computes the right picture.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "cases.h"

namespace {

constexpr UINT kMenuCopy = 32773;  // the Edit menu's items
constexpr UINT kMenuPaste = 32775;

// Both panes' zooms, followed exactly: a wheel message goes to the pane whose rectangle holds
// its position (the signed 16-bit screen coordinates taken into MainWindow's client area),
// to none over the Splitter or outside both panes; a quotient delta / 120 above 0 divides by
// the float 1.1, any other multiplies, and a step that would leave the normal floats is not
// taken.
struct Zooms {
    float source = 1.0f;
    float result = 1.0f;
};

int SourceClientWidth(App& app)
{
    RECT r{};
    GetClientRect(app.source, &r);
    return r.right;
}

float* PaneZoomUnder(App& app, Zooms& zooms, int screenX, int screenY)
{
    POINT p{int16_t(screenX), int16_t(screenY)};
    ScreenToClient(app.main, &p);
    for (HWND pane : {app.source, app.result}) {
        const PaneBox b = BoxOf(app, pane);
        if (p.x >= b.x && p.x < b.x + b.w && p.y >= b.y && p.y < b.y + b.h)
            return pane == app.source ? &zooms.source : &zooms.result;
    }
    return nullptr;
}

void Step(float& zoom, int delta)
{
    const float next = int16_t(delta) / 120 > 0 ? zoom / 1.1f : zoom * 1.1f;
    if (std::isnormal(next))
        zoom = next;
}

void SendWheel(App& app, Zooms& zooms, int delta, int screenX, int screenY)
{
    float* zoom = PaneZoomUnder(app, zooms, screenX, screenY);
    Wheel(app, delta, screenX, screenY);
    if (zoom)
        Step(*zoom, delta);
}

// Notches in or out until the zoom is as near 1 as whole notches bring it, sent to the pane
// itself: a pane zooms on every wheel message it gets, wherever the pointer is.
void ZoomBackToOne(App& app, Zooms& zooms, bool source)
{
    float& zoom = source ? zooms.source : zooms.result;
    for (int i = 0; i < 2000 && (zoom > 1.05f || zoom < 1.0f / 1.05f); ++i) {
        const int delta = zoom > 1.0f ? 120 : -120;
        Send(source ? app.source : app.result, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(int16_t(delta))),
             0);
        Step(zoom, delta);
    }
}

struct Storm {
    explicit Storm(App& program) : app(program) {}

    App& app;
    std::mt19937 rng{20261207u};
    Zooms zooms;
    int messages = 0;
    int pastes = 0;
    int copies = 0;
    double slowestMs = 0;
    int slowestIndex = -1;

    char what[96] = "";  // the message being sent, for the notes

    int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    bool Chance(int percent) { return Uniform(0, 99) < percent; }

    HWND Child()
    {
        switch (Uniform(0, 4)) {
        case 0: return app.source;
        case 1: return app.splitter;
        default: return app.result;  // where the editing is
        }
    }

    // Mostly inside the child, sometimes around it, now and then anywhere down to the
    // 16-bit limit. Far positive positions are kept to the panes that draw no curves: a
    // curve point there makes the exported canvas hundreds of megapixels, and every copy
    // of it takes most of a minute (the export itself is measured elsewhere).
    int Coordinate(int extent, bool curves)
    {
        const int roll = Uniform(0, 99);
        const int reach = curves ? 2 * extent + 200 : 32767;
        if (roll < 90)
            return Uniform(0, std::max(0, extent - 1));
        if (roll < 97)
            return Uniform(-200, extent + 200);
        if (roll < 99)
            return Uniform(-32768, reach);
        return Chance(50) ? -32768 : reach;
    }

    void Mouse()
    {
        HWND child = Child();
        RECT r{};
        GetClientRect(child, &r);
        static const UINT kMessages[] = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN,
                                         WM_RBUTTONUP,   WM_MOUSEMOVE, WM_MOUSEMOVE,
                                         WM_MOUSEMOVE,   WM_MOUSEMOVE};
        const UINT msg = kMessages[Uniform(0, 7)];
        WPARAM buttons = 0;
        if (msg == WM_LBUTTONDOWN || (msg == WM_MOUSEMOVE && Chance(50)))
            buttons |= MK_LBUTTON;
        if (msg == WM_RBUTTONDOWN || (msg == WM_MOUSEMOVE && Chance(20)))
            buttons |= MK_RBUTTON;
        if (Chance(5))
            buttons |= MK_SHIFT;
        const bool curves = child == app.result;
        const int x = Coordinate(r.right, curves), y = Coordinate(r.bottom, curves);
        std::snprintf(what, sizeof what, "mouse 0x%x (%d, %d) to %s", msg, x, y,
                      child == app.source   ? "SourcePane"
                      : child == app.result ? "ResultPane"
                                            : "Splitter");
        Send(child, msg, buttons, PackPoint(x, y));
    }

    void Wheel()
    {
        // Half the notches out (quotient above 0), half in (any other delta).
        static const int kOut[] = {120, 240, 32767};
        static const int kIn[] = {-120, -240, 60, -60, 1, -1, 0, -32768};
        int delta = Chance(50) ? kOut[Uniform(0, 2)] : kIn[Uniform(0, 7)];
        RECT main{};
        GetWindowRect(app.main, &main);
        const int x =
            Chance(90) ? Uniform(main.left - 50, main.right + 50) : Uniform(-32768, 32767);
        const int y = Uniform(main.top - 50, main.bottom + 50);
        // Every zoom is reachable, but a walk that wanders far out makes each paint of
        // ResultPane large and slow; the extremes have their own case. Past 1.1^-12 or
        // 1.1^30 the direction turns back toward 1.
        const float* zoom = PaneZoomUnder(app, zooms, x, y);
        const bool out = int16_t(delta) / 120 > 0;
        if (zoom && ((out && *zoom < 0.32f) || (!out && *zoom > 17.4f)))
            delta = out ? -120 : 120;
        std::snprintf(what, sizeof what, "wheel %d at (%d, %d)", delta, x, y);
        SendWheel(app, zooms, delta, x, y);
    }

    void PasteSomething()
    {
        if (Chance(15)) {
            PutTextOnClipboard(L"not a picture");
        } else {
            Image image;
            image.width = Uniform(1, 96);
            image.height = Uniform(1, 96);
            image.pixels.resize(size_t(image.width) * image.height);
            for (uint32_t& p : image.pixels)
                p = 0xFF000000u | uint32_t(rng() & 0xFFFFFFu);
            PutBitmapOnClipboard(image);
        }
        ++pastes;
    }

    void KeyOrCommand()
    {
        // Every command key but S, O, M and F1 (their dialogs are modal), and keys that are not
        // commands; F1 stands for undo and redo (below).
        static const UINT kKeys[] = {VK_RETURN,  VK_DELETE,     '0', '5',       'C',  'H',
                                     'P',        'T',           'V', 'W',       'X',  VK_NUMPAD0,
                                     VK_NUMPAD5, VK_OEM_PERIOD, 'A', VK_ESCAPE, VK_F1};
        if (Chance(8)) {  // the menu's copy and paste
            const bool paste = Chance(50);
            if (paste)
                PasteSomething();
            else
                ++copies;
            std::snprintf(what, sizeof what, "menu %s", paste ? "paste" : "copy");
            Send(app.main, WM_COMMAND, MAKEWPARAM(paste ? kMenuPaste : kMenuCopy, 0), 0);
            return;
        }
        UINT vk = kKeys[Uniform(0, int(std::size(kKeys)) - 1)];
        // Refinement quadruples the grid: rarer, so that the mesh is mostly of a size a
        // user draws, and the clearing Delete comes often enough to start afresh.
        if ((vk == 'W' || vk == 'X') && Chance(60))
            vk = 'H';
        if (vk == 'V')
            PasteSomething();
        // Copies render the whole canvas: a third as often as the other keys.
        if ((vk == 'C' || vk == VK_RETURN) && Chance(67))
            vk = 'T';
        if (vk == 'C' || vk == VK_RETURN)
            ++copies;
        HWND target = Chance(70) ? app.main : Child();  // the panes pass keys on
        std::snprintf(what, sizeof what, "key 0x%x", vk);
        // F1, whose keys help is modal, becomes undo followed at once by redo: both run on whatever the
        // storm has made, strokes and drags under way included, and the mesh keeps the sizes
        // the other keys give it (undo alone would bring cleared meshes back, to be refined
        // further). The random sequence stays the one the storm was tuned with.
        if (vk == VK_F1) {
            Send(target, WM_KEYDOWN, 'Z', 1);
            vk = 'Y';
        }
        Send(target, WM_KEYDOWN, vk, 1);
    }

    void Run(int count)
    {
        for (int i = 0; i < count; ++i) {
            const double t0 = NowMs();
            const int roll = Uniform(0, 99);
            if (roll < 72)
                Mouse();
            else if (roll < 84)
                Wheel();
            else
                KeyOrCommand();
            ++messages;
            const double ms = NowMs() - t0;
            if (ms > slowestMs)
                slowestMs = ms, slowestIndex = i;
            if (ms > 1000)
                Note("message %d, %s: %.0f ms", i, what, ms);
            if (!app.Running() || gFailures > 0)
                return;
        }
    }
};

}  // namespace

// storm [COUNT]: COUNT random messages (20000 unless given) with a fixed seed, then: the
// process lives and answers within a second; Delete clears the mesh; a regression scene
// replayed into the same process copies exactly what vorlin-render computes for it.
int CaseStorm()
{
    const int count = gContext.args.empty() ? 20000 : std::max(1, _wtoi(gContext.args[0].c_str()));
    SceneData scene;
    if (!LoadScene("scene-node_drag", scene))
        return 1;
    App app;
    if (!app.Start())
        return 1;
    // A small window keeps each of the thousands of repaints cheap.
    PlaceMainWindow(app, 0, 0, 440, 340);
    ParkPointer();
    gSendTimeoutMs = 30000;  // a slow message is measured below; only a hang fails here

    Storm storm(app);
    const double started = NowMs();
    storm.Run(count);
    const double stormMs = NowMs() - started;
    Note("storm: %d messages (%d pastes, %d copies) in %.1f s; slowest %.0f ms (message %d); zooms "
         "%.9g and %.9g",
         storm.messages, storm.pastes, storm.copies, stormMs / 1000, storm.slowestMs,
         storm.slowestIndex, double(storm.zooms.source), double(storm.zooms.result));
    Screenshot("after-storm");
    if (!CHECK(app.Running(), "the program ended during the storm"))
        return 1;
    CHECK(storm.messages == count, "the storm stopped after %d of %d messages", storm.messages,
          count);

    DWORD_PTR answer = 0;
    const double t0 = NowMs();
    const bool answered =
        SendMessageTimeoutW(app.main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer) != 0;
    CHECK(answered, "the program did not answer within a second after the storm");
    Note("answered in %.1f ms", NowMs() - t0);

    // Whatever drag the storm left under way ends; Delete empties the mesh.
    gSendTimeoutMs = 5000;
    Send(app.source, WM_LBUTTONUP, 0, PackPoint(0, 0));
    Send(app.splitter, WM_LBUTTONUP, 0, PackPoint(0, 0));
    Send(app.result, WM_LBUTTONUP, 0, PackPoint(0, 0));
    Send(app.result, WM_RBUTTONUP, 0, PackPoint(0, 0));
    Key(app, VK_DELETE);

    // Both panes shown (Single may hide one), both zooms back near 1, columns first.
    for (int i = 0; i < 3 && (SourceClientWidth(app) == 0 || BoxOf(app, app.result).w == 0); ++i)
        Key(app, 'P');
    ZoomBackToOne(app, storm.zooms, true);
    ZoomBackToOne(app, storm.zooms, false);
    gSourceZoom = storm.zooms.source;
    gResultZoom = storm.zooms.result;
    Note("zooms for the replay: %.9g and %.9g", double(gSourceZoom), double(gResultZoom));
    Key(app, 'H');

    if (ReplayScript(app, scene.replay))
        CheckCopyEquals(app, scene.expected, "scene-node_drag after the storm");
    Screenshot("final");
    app.CloseAndCheck();
    return 0;
}
