// SourcePane's input: it marks SourceSelection with a rubber band; the wheel, dropped files
// and painting go through what both picture panes share.
#include "app/editor_state.h"
#include "app/handles_win.h"
#include "app/pane_input.h"
#include "app/windows_win.h"
#include "mesh/rubber_band.h"
#include "views/paint_win.h"

static Point SourcePoint(LPARAM lParam)
{
    return PanePointFromLParam(static_cast<uint32_t>(lParam), gEditor.sourceZoom);
}

static void SetArrowCursor() { SetCursor(LoadCursorW(nullptr, IDC_ARROW)); }

static void OnSourceMouseMove(HWND pane, LPARAM lParam)
{
    EditorState& e = gEditor;
    if (e.interactionMode == InteractionMode::Idle) {
        SetArrowCursor();
    } else if (e.interactionMode == InteractionMode::Selecting) {
        SetArrowCursor();
        UpdateRubberBand(e, SourcePoint(lParam));
        Repaint(pane);  // ResultPane waits for the release
    }
}

static void OnSourceLButtonDown(HWND pane, LPARAM lParam)
{
    BeginEditStep(EditKind::Selection);
    BeginRubberBand(gEditor, SourcePoint(lParam));
    Repaint(pane);
    SetCapture(pane);
}

// What follows the end of a rubber band, whether its release or a command or a lost capture
// ended it; a release without a rubber band keeps whatever capture there is.
static void FinishRubberBand(HWND pane, bool ended)
{
    EditorState& e = gEditor;
    if (!ended)
        return;
    CommitEditStep();
    if (e.layoutMode == LayoutMode::Single)
        RelayoutProportionally();  // shows ResultPane once the width is 0 or more
    Repaint(pane);
    Repaint(e.resultPane);  // the warp depends on the rectangle
    ReleaseOwnCapture(pane);
}

static void OnSourceLButtonUp(HWND pane, LPARAM lParam)
{
    FinishRubberBand(pane, EndRubberBand(gEditor, SourcePoint(lParam)));
}

// A rubber band ended without its release: a key, a lost capture, a scene opened.
static void EndSourceRubberBand(HWND pane)
{
    FinishRubberBand(pane, EndRubberBand(gEditor, gEditor.lastPointer));
}

static void PaintSource(HWND pane, HDC dc)
{
    const EditorState& e = gEditor;
    PaintSourcePane(
        pane, dc,
        SourcePaintInput{e.sourceImage.get(), e.sourceSelection, e.sourceZoom, e.sourceClearColor});
}

static constexpr PicturePane kSourcePane{PaneImage::Source, &EditorState::sourcePane,
                                         &EditorState::sourceZoom, PaintSource,
                                         EndSourceRubberBand};

LRESULT CALLBACK SourcePaneProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_MOUSEMOVE: OnSourceMouseMove(hwnd, lParam); return 0;
    case WM_LBUTTONDOWN: OnSourceLButtonDown(hwnd, lParam); return 0;
    case WM_LBUTTONUP: OnSourceLButtonUp(hwnd, lParam); return 0;
    case WM_RBUTTONDOWN: return 0;
    case WM_RBUTTONUP: return 0;
    }
    LRESULT result = 0;
    if (HandlePicturePaneMessage(kSourcePane, hwnd, msg, wParam, lParam, result))
        return result;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
