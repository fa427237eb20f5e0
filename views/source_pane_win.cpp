// SourcePane: shows SourceImage scaled by sourceZoom, marks SourceSelection with a
// rubber band, zooms on the wheel and takes dropped image files.
#include "app/editor_state.h"
#include "app/scoped_win.h"
#include "app/windows_win.h"
#include "views/paint_win.h"
#include "views/rubber_band.h"
#include "views/view_math.h"

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

void EndSourcePaneRubberBand(HWND pane)
{
    FinishRubberBand(pane, EndRubberBand(gEditor, gEditor.lastPointer));
}

LRESULT CALLBACK SourcePaneProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    EditorState& e = gEditor;
    switch (msg) {
    case WM_CREATE:
        DragAcceptFiles(hwnd, TRUE);
        e.sourcePane = hwnd;
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_PAINT: {
        ScopedPaint paint(hwnd);
        PaintSourcePane(hwnd);
        return 0;
    }
    case WM_ERASEBKGND: return 1;  // painting covers every pixel
    case WM_KEYDOWN: SendMessageW(e.mainWindow, WM_KEYDOWN, wParam, lParam); return 0;
    case WM_MOUSEMOVE: OnSourceMouseMove(hwnd, lParam); return 0;
    case WM_LBUTTONDOWN: OnSourceLButtonDown(hwnd, lParam); return 0;
    case WM_LBUTTONUP: OnSourceLButtonUp(hwnd, lParam); return 0;
    case WM_RBUTTONDOWN: return 0;
    case WM_RBUTTONUP: return 0;
    case WM_MOUSEWHEEL: OnPaneMouseWheel(hwnd, e.sourceZoom, wParam); return 0;
    case WM_CAPTURECHANGED: OnCaptureLost(hwnd, reinterpret_cast<HWND>(lParam)); return 0;
    case WM_CANCELMODE: OnCaptureLost(hwnd, nullptr); break;  // the default handling too
    case WM_DROPFILES:
        OnPaneDropFiles(hwnd, reinterpret_cast<HDROP>(wParam), PaneImage::Source);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Background, the image at (0, 0) scaled by sourceZoom, the red rectangle, the zoom label;
// composed offscreen and copied to the window one to one.
void PaintSourcePane(HWND pane)
{
    EditorState& e = gEditor;
    ScopedGetDC dc(pane);
    RECT client{};
    GetClientRect(pane, &client);
    Gdiplus::Graphics window(dc);

    // A hidden pane (0 x 0 in Single layout) gets no bitmap, and neither does one wider or
    // higher than an offscreen may be (the Splitter dragged far out); what shows of it is
    // cleared and labelled all the same.
    int32_t width = OffscreenSide(client.right, 1.0f);
    int32_t height = OffscreenSide(client.bottom, 1.0f);
    if (width == 0 || height == 0) {
        PaintWithoutOffscreen(window, e.sourceClearColor, e.sourceZoom);
        return;
    }
    Gdiplus::Bitmap offscreen(width, height, PixelFormat32bppARGB);
    if (offscreen.GetLastStatus() != Gdiplus::Ok) {
        PaintWithoutOffscreen(window, e.sourceClearColor, e.sourceZoom);
        return;
    }
    MatchWindowDpi(offscreen, pane);
    Gdiplus::Graphics graphics(&offscreen);
    graphics.Clear(Gdiplus::Color(e.sourceClearColor));

    if (e.sourceImage) {
        UINT imageWidth = e.sourceImage->GetWidth();
        UINT imageHeight = e.sourceImage->GetHeight();
        Gdiplus::Rect destination(0, 0, ScaleLength(imageWidth, e.sourceZoom),
                                  ScaleLength(imageHeight, e.sourceZoom));
        graphics.DrawImage(e.sourceImage.get(), destination, 0, 0, INT(imageWidth),
                           INT(imageHeight), Gdiplus::UnitPixel);
    }

    const SelectionRect& s = e.sourceSelection;
    if (s.width >= 0) {
        Gdiplus::Pen pen(Gdiplus::Color(0xFFFF0000), 3.0f);
        graphics.DrawRectangle(&pen, ScaleLength(s.x, e.sourceZoom), ScaleLength(s.y, e.sourceZoom),
                               ScaleLength(s.width, e.sourceZoom),
                               ScaleLength(s.height, e.sourceZoom));
    }

    DrawOutlinedText(graphics, FormatZoomLabel(e.sourceZoom).c_str(), 10, 10);

    window.DrawImage(&offscreen, Gdiplus::Rect(0, 0, width, height), 0, 0, width, height,
                     Gdiplus::UnitPixel);
}
