// ResultPane's input: strokes with the left button, curve deletion and node drags with
// the right, wheel zoom and dropped backdrop files; keys go on to MainWindow.
#include "app/editor_state.h"
#include "app/scoped_win.h"
#include "app/windows_win.h"
#include "views/paint_win.h"

static Point CanvasPoint(LPARAM lParam)
{
    return PanePointFromLParam(static_cast<uint32_t>(lParam), gEditor.resultZoom);
}

static void OnResultMouseMove(HWND pane, LPARAM lParam)
{
    EditorState& e = gEditor;
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    const Point p = CanvasPoint(lParam);
    if (e.interactionMode == InteractionMode::Stroke && ExtendStroke(e, p))
        Repaint(pane);
    TrackNodeDrag(e, p);  // where a drag that ends without its release ends
}

// Whether a press starts an edit: not during a stroke or a node drag.
static bool PressStartsEdit()
{
    InteractionMode mode = gEditor.interactionMode;
    return mode != InteractionMode::Stroke && mode != InteractionMode::NodeDrag;
}

static void OnResultLButtonDown(HWND pane, LPARAM lParam)
{
    // a press during a stroke or a node drag only takes the capture again
    if (PressStartsEdit())
        BeginEditStep(EditKind::Mesh);
    BeginStroke(gEditor, CanvasPoint(lParam));
    SetCapture(pane);
}

// What follows every end of a stroke or node drag, whether its button's release, a command
// or a lost capture ended it: the edit recorded and a repaint when one ended, and the
// capture let go.
static void FinishResultEdit(HWND pane, bool ended)
{
    if (ended) {
        CommitEditStep();
        Repaint(pane);
    }
    ReleaseOwnCapture(pane);
}

static void OnResultLButtonUp(HWND pane) { FinishResultEdit(pane, EndStroke(gEditor)); }

// A deletion is a step of its own; a picked node's drag lasts until the release.
static void OnResultRButtonDown(HWND pane, LPARAM lParam)
{
    if (PressStartsEdit())
        BeginEditStep(EditKind::Mesh);
    switch (RightButtonDown(gEditor, CanvasPoint(lParam))) {
    case RightPressResult::CurveDeleted:
        CommitEditStep();
        Repaint(pane);
        break;
    case RightPressResult::Pressed:  // a node picked or not
        if (gEditor.interactionMode != InteractionMode::NodeDrag)
            CancelEditStep();
        SetCapture(pane);
        break;
    case RightPressResult::Ignored: break;
    }
}

static void OnResultRButtonUp(HWND pane, LPARAM lParam)
{
    FinishResultEdit(pane, RightButtonUp(gEditor, CanvasPoint(lParam)));
}

void EndResultPaneEdit(HWND pane) { FinishResultEdit(pane, EndStrokeOrNodeDrag(gEditor)); }

LRESULT CALLBACK ResultPaneProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    EditorState& e = gEditor;
    switch (msg) {
    case WM_CREATE:
        DragAcceptFiles(hwnd, TRUE);
        e.resultPane = hwnd;
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_PAINT: {
        ScopedPaint paint(hwnd);
        PaintResultPane(hwnd);
        return 0;
    }
    case WM_ERASEBKGND: return 1;  // painting covers every pixel
    case WM_KEYDOWN: SendMessageW(e.mainWindow, WM_KEYDOWN, wParam, lParam); return 0;
    case WM_MOUSEMOVE: OnResultMouseMove(hwnd, lParam); return 0;
    case WM_LBUTTONDOWN: OnResultLButtonDown(hwnd, lParam); return 0;
    case WM_LBUTTONUP: OnResultLButtonUp(hwnd); return 0;
    case WM_RBUTTONDOWN: OnResultRButtonDown(hwnd, lParam); return 0;
    case WM_RBUTTONUP: OnResultRButtonUp(hwnd, lParam); return 0;
    case WM_MOUSEWHEEL: OnPaneMouseWheel(hwnd, e.resultZoom, wParam); return 0;
    case WM_CAPTURECHANGED: OnCaptureLost(hwnd, reinterpret_cast<HWND>(lParam)); return 0;
    case WM_CANCELMODE: OnCaptureLost(hwnd, nullptr); break;  // the default handling too
    case WM_DROPFILES:
        OnPaneDropFiles(hwnd, reinterpret_cast<HDROP>(wParam), PaneImage::Backdrop);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
