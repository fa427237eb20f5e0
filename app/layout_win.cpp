// Moving the three children of MainWindow, and the Splitter that the user drags.
#include "app/editor_state.h"
#include "app/scoped_win.h"
#include "app/windows_win.h"

static PaneSize ClientSize(HWND hwnd)
{
    RECT rc{};
    GetClientRect(hwnd, &rc);
    return {rc.right, rc.bottom};
}

static void Place(HWND hwnd, const PaneRect& r)
{
    MoveWindow(hwnd, r.x, r.y, r.width, r.height, TRUE);
}

void LayoutPanes(int32_t splitX, int32_t splitY)
{
    EditorState& e = gEditor;
    PaneSize main = ClientSize(e.mainWindow);
    PaneLayout layout = ComputePaneLayout(e.layoutMode, main.width, main.height, splitX, splitY,
                                          e.sourceSelection.width);
    Place(e.sourcePane, layout.source);
    Place(e.splitter, layout.splitter);
    Place(e.resultPane, layout.result);
}

void RelayoutProportionally()
{
    EditorState& e = gEditor;
    std::optional<Point> split =
        ProportionalSplit(ClientSize(e.sourcePane), ClientSize(e.resultPane),
                          ClientSize(e.mainWindow), IsIconic(e.mainWindow) != FALSE);
    if (split)
        LayoutPanes(split->x, split->y);
}

// The pointer of a Splitter mouse message in screen coordinates.
static Point ScreenPoint(HWND splitter, LPARAM lParam)
{
    POINT p{static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
    ClientToScreen(splitter, &p);
    return {p.x, p.y};
}

static void OnSplitterPaint(HWND hwnd)
{
    ScopedPaint dc(hwnd);
    RECT rc{};
    GetClientRect(hwnd, &rc);
    FillRect(dc, &rc, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1)));
}

static void OnSplitterLButtonDown(HWND hwnd, LPARAM lParam)
{
    EditorState& e = gEditor;
    e.pressPoint = ScreenPoint(hwnd, lParam);
    e.lastPointer = e.pressPoint;
    POINT corner{0, 0};
    MapWindowPoints(hwnd, e.mainWindow, &corner, 1);
    e.splitterOrigin = {corner.x, corner.y};
    e.interactionMode = InteractionMode::SplitterDrag;
    SetCapture(hwnd);
}

static void OnSplitterMouseMove(HWND hwnd, LPARAM lParam)
{
    EditorState& e = gEditor;
    if (e.layoutMode == LayoutMode::SideBySide)
        SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
    else if (e.layoutMode == LayoutMode::Stacked)
        SetCursor(LoadCursorW(nullptr, IDC_SIZENS));
    if (e.interactionMode == InteractionMode::SplitterDrag) {
        e.lastPointer = ScreenPoint(hwnd, lParam);
        Point split = SplitterDragSplit(e.splitterOrigin, e.pressPoint, e.lastPointer);
        LayoutPanes(split.x, split.y);
    }
}

// The end of a drag with the pointer at `screen`. A release with no drag of the Splitter
// under way (the press went elsewhere) would move the bar by a stale press point; it changes
// nothing.
static void EndSplitterDragAt(HWND hwnd, Point screen)
{
    EditorState& e = gEditor;
    if (e.interactionMode != InteractionMode::SplitterDrag)
        return;
    Point split = SplitterDragSplit(e.splitterOrigin, e.pressPoint, screen);
    LayoutPanes(split.x, split.y);
    e.interactionMode = InteractionMode::Idle;
    ReleaseOwnCapture(hwnd);
}

static void OnSplitterLButtonUp(HWND hwnd, LPARAM lParam)
{
    EndSplitterDragAt(hwnd, ScreenPoint(hwnd, lParam));
}

// Where the drag's last press or move left the pointer.
void EndSplitterDrag(HWND splitter) { EndSplitterDragAt(splitter, gEditor.lastPointer); }

LRESULT CALLBACK SplitterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: gEditor.splitter = hwnd; return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_PAINT: OnSplitterPaint(hwnd); return 0;
    case WM_ERASEBKGND: return 1;  // the paint fills the whole bar
    case WM_KEYDOWN: SendMessageW(gEditor.mainWindow, WM_KEYDOWN, wParam, lParam); return 0;
    case WM_LBUTTONDOWN: OnSplitterLButtonDown(hwnd, lParam); return 0;
    case WM_MOUSEMOVE: OnSplitterMouseMove(hwnd, lParam); return 0;
    case WM_LBUTTONUP: OnSplitterLButtonUp(hwnd, lParam); return 0;
    case WM_CAPTURECHANGED: OnCaptureLost(hwnd, reinterpret_cast<HWND>(lParam)); return 0;
    case WM_CANCELMODE: OnCaptureLost(hwnd, nullptr); break;  // the default handling too
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
