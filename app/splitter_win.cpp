// The Splitter: the bar between the panes that the user drags to move the division.
#include "app/editor_state.h"
#include "app/handles_win.h"
#include "app/windows_win.h"

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
    e.splitterPress = ScreenPoint(hwnd, lParam);
    e.splitterPointer = e.splitterPress;
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
        e.splitterPointer = ScreenPoint(hwnd, lParam);
        Point split = SplitterDragSplit(e.splitterOrigin, e.splitterPress, e.splitterPointer);
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
    Point split = SplitterDragSplit(e.splitterOrigin, e.splitterPress, screen);
    LayoutPanes(split.x, split.y);
    e.interactionMode = InteractionMode::Idle;
    ReleaseOwnCapture(hwnd);
}

static void OnSplitterLButtonUp(HWND hwnd, LPARAM lParam)
{
    EndSplitterDragAt(hwnd, ScreenPoint(hwnd, lParam));
}

// A drag ended without its release (a key, a lost capture) ends where its last press or
// move left the pointer.
static void EndSplitterDrag(HWND splitter) { EndSplitterDragAt(splitter, gEditor.splitterPointer); }

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
    case WM_CAPTURECHANGED:
        if (IsCaptureLoss(hwnd, reinterpret_cast<HWND>(lParam)))
            EndSplitterDrag(hwnd);
        return 0;
    case WM_CANCELMODE:
        if (IsCaptureLoss(hwnd, nullptr))
            EndSplitterDrag(hwnd);
        break;  // the default handling too
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
