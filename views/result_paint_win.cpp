// ResultPane painting: backdrop, warp and mesh overlays composed at canvas scale, then
// drawn into the window scaled by resultZoom.
#include <vector>

#include "app/editor_state.h"
#include "app/scoped_win.h"
#include "views/paint_clock_win.h"
#include "views/paint_win.h"
#include "views/view_math.h"
#include "warp/gdiplus_pixels_win.h"

static void FillDot(Gdiplus::Graphics& graphics, uint32_t color, int32_t x, int32_t y)
{
    Gdiplus::SolidBrush brush{Gdiplus::Color(color)};  // one brush per dot
    graphics.FillEllipse(&brush, DotCorner(x), DotCorner(y), 3, 3);
}

// Each curve's index label (when `labels`) is drawn before its line, so the line passes
// over it.
void DrawCurves(Gdiplus::Graphics& graphics, const CurveSet& set, uint32_t color, bool labels,
                float penWidth)
{
    std::vector<Gdiplus::PointF> points;
    for (size_t n = 0; n < set.size(); ++n) {
        const Curve& curve = set[n];
        if (curve.empty())
            continue;  // nothing to anchor a label or a line on
        if (labels)
            DrawOutlinedText(graphics, FormatCurveIndex(n).c_str(), curve[0].x, curve[0].y);
        if (curve.size() < 2)
            continue;  // a single point has no segment
        points.clear();
        for (const Point& p : curve)
            points.emplace_back(static_cast<float>(p.x), static_cast<float>(p.y));
        Gdiplus::Pen pen(Gdiplus::Color(color), penWidth);
        graphics.DrawLines(&pen, points.data(), static_cast<INT>(points.size()));
    }
}

void DrawCurvePoints(Gdiplus::Graphics& graphics, const CurveSet& set)
{
    for (const Curve& curve : set)
        for (const Point& p : curve)
            FillDot(graphics, 0xFFFF0000, p.x, p.y);
}

static void DrawMeshOverlays(Gdiplus::Graphics& graphics, const EditorState& e)
{
    OverlayPlan plan = PlanOverlays(e.columnCurves.size(), e.rowCurves.size());
    if (!plan.curves)
        return;
    DrawCurves(graphics, e.columnCurves, 0xFF00FF00, plan.columnLabels, plan.columnPenWidth);
    DrawCurves(graphics, e.rowCurves, 0xFF0000FF, plan.rowLabels, plan.rowPenWidth);
    if (plan.nodes) {
        for (const NodeRow& row : e.nodeGrid)
            for (const MeshNode& node : row)
                FillDot(graphics, 0xFFFFFFFF, node.x, node.y);
    }
    // the red points lie over the white nodes
    DrawCurvePoints(graphics, e.columnCurves);
    DrawCurvePoints(graphics, e.rowCurves);
}

void PaintResultPane(HWND pane)
{
    EditorState& e = gEditor;
    PaintClock clock;
    ScopedGetDC dc(pane);
    Gdiplus::Graphics window(dc);
    MeasureCanvas(e.columnCurves, e.rowCurves, e.canvasWidth, e.canvasHeight);  // for exports

    RECT client{};
    GetClientRect(pane, &client);
    // A zoom far out asks for more pixels than a paint makes, one far in or a tiny pane for
    // none: either way there is no bitmap and the paint is skipped.
    int32_t width = OffscreenSide(client.right, e.resultZoom);
    int32_t height = OffscreenSide(client.bottom, e.resultZoom);
    if (!OffscreenFits(width, height))
        return;
    Gdiplus::Bitmap offscreen(width, height, PixelFormat32bppARGB);
    if (offscreen.GetLastStatus() != Gdiplus::Ok)
        return;
    Gdiplus::Graphics graphics(&offscreen);
    clock.Mark(PaintPhase::Setup);
    graphics.Clear(Gdiplus::Color(e.resultClearColor));
    clock.Mark(PaintPhase::Clear);

    if (e.backdropImage) {
        UINT w = e.backdropImage->GetWidth();
        UINT h = e.backdropImage->GetHeight();
        graphics.DrawImage(e.backdropImage.get(), Gdiplus::Rect(0, 0, INT(w), INT(h)), 0, 0, INT(w),
                           INT(h), Gdiplus::UnitPixel);
    }
    Gdiplus::ImageAttributes attributes;
    clock.Mark(PaintPhase::Backdrop);

    // no warp while a stroke is drawn: its family holds one curve more than the grid
    if (e.sourceSelection.width >= 0 && e.columnCurves.size() >= 2 && e.rowCurves.size() >= 2 &&
        e.interactionMode != InteractionMode::Stroke)
        RenderWarpIntoBitmap(offscreen, e.sourcePixels, e);
    clock.Mark(PaintPhase::Warp);

    DrawMeshOverlays(graphics, e);
    DrawOutlinedText(graphics, FormatZoomLabel(e.resultZoom).c_str(), 10, 10);
    clock.Mark(PaintPhase::Overlays);

    // the sliver beyond the destination, under one zoomed pixel wide, is left unpainted
    Gdiplus::Rect destination(0, 0, ScaleLength(width, e.resultZoom),
                              ScaleLength(height, e.resultZoom));
    window.DrawImage(&offscreen, destination, 0, 0, width, height, Gdiplus::UnitPixel, &attributes);
    clock.Mark(PaintPhase::Final);
}
