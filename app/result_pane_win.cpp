// ResultPane's input: strokes with the left button, curve deletion and node drags with
// the right, wheel zoom and dropped backdrop files; keys go on to MainWindow.
#include "app/editor_state.h"
#include "app/handles_win.h"
#include "app/pane_input.h"
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

// A stroke or node drag ended without its release: a key, a lost capture, a scene opened.
static void EndResultEdit(HWND pane) { FinishResultEdit(pane, EndStrokeOrNodeDrag(gEditor)); }

static void PaintResult(HWND pane, HDC dc)
{
    const EditorState& e = gEditor;
    PaintResultPane(pane, dc,
                    ResultPaintInput{e, e.sourcePixels, e.backdropImage.get(), e.resultZoom,
                                     e.resultClearColor});
}

static constexpr PicturePane kResultPane{PaneImage::Backdrop, &EditorState::resultPane,
                                         &EditorState::resultZoom, PaintResult, EndResultEdit};

LRESULT CALLBACK ResultPaneProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_MOUSEMOVE: OnResultMouseMove(hwnd, lParam); return 0;
    case WM_LBUTTONDOWN: OnResultLButtonDown(hwnd, lParam); return 0;
    case WM_LBUTTONUP: OnResultLButtonUp(hwnd); return 0;
    case WM_RBUTTONDOWN: OnResultRButtonDown(hwnd, lParam); return 0;
    case WM_RBUTTONUP: OnResultRButtonUp(hwnd, lParam); return 0;
    }
    LRESULT result = 0;
    if (HandlePicturePaneMessage(kResultPane, hwnd, msg, wParam, lParam, result))
        return result;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
