// ResultPane painting: backdrop, warp and mesh overlays composed at canvas scale, then
// drawn into the window scaled by resultZoom. The backdrop and the warp are kept between
// paints while nothing they show changes.
#include <vector>

#include "views/paint_clock_win.h"
#include "views/paint_layers.h"
#include "views/paint_win.h"
#include "views/view_math.h"
#include "warp/gdiplus_pixels_win.h"
#include "warp/mesh_warp.h"

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

static void DrawMeshOverlays(Gdiplus::Graphics& graphics, const MeshEditState& e)
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

// A pane that gets no offscreen bitmap still shows its state: its clear colour and, one to
// one, its zoom label, drawn straight on the window instead of the stale pixels it held.
void PaintWithoutOffscreen(Gdiplus::Graphics& window, uint32_t clearColor, float zoom)
{
    window.Clear(Gdiplus::Color(clearColor));
    DrawOutlinedText(window, FormatZoomLabel(zoom).c_str(), 10, 10);
}

// What the pane keeps between paints; plain memory, so it needs no release before GDI+ stops.
static ResultLayers gLayers;

// BackdropImage at its natural size from (0, 0) over the cleared layer, cut off at its edge.
static bool DrawBackdrop(KeptLayer& layer, Gdiplus::Bitmap* backdrop)
{
    if (!backdrop)
        return true;
    Gdiplus::Bitmap bitmap =
        BitmapOverWords(layer.image.pixels.data(), layer.image.width, layer.image.height);
    if (bitmap.GetLastStatus() != Gdiplus::Ok)
        return false;
    Gdiplus::Graphics graphics(&bitmap);
    UINT w = backdrop->GetWidth();
    UINT h = backdrop->GetHeight();
    graphics.DrawImage(backdrop, Gdiplus::Rect(0, 0, INT(w), INT(h)), 0, 0, INT(w), INT(h),
                       Gdiplus::UnitPixel);
    return true;
}

// One to one, an opaque frame comes out of GDI+'s draw exactly as it went in: the device's
// own copy of the pixels gives the same picture, without the cost.
static void DrawFrame(HDC dc, std::vector<uint32_t>& frame, Gdiplus::Bitmap& offscreen,
                      int32_t width, int32_t height, float zoom)
{
    Gdiplus::Rect destination(0, 0, ScaleLength(width, zoom), ScaleLength(height, zoom));
    if (destination.Width == width && destination.Height == height &&
        AllOpaque(frame.data(), size_t(width) * size_t(height))) {
        const BITMAPINFO info = TopDownInfo32(width, height);
        SetDIBitsToDevice(dc, 0, 0, DWORD(width), DWORD(height), 0, 0, 0, UINT(height),
                          frame.data(), &info, DIB_RGB_COLORS);
        return;
    }
    // the sliver beyond the destination, under one zoomed pixel wide, is left unpainted
    Gdiplus::Graphics window(dc);
    Gdiplus::ImageAttributes attributes;
    window.DrawImage(&offscreen, destination, 0, 0, width, height, Gdiplus::UnitPixel, &attributes);
}

// The background, BackdropImage and the warp are composed at canvas scale into kept layers,
// reused while the content version stays the same and the offscreen fits in them: a
// stroke's moves show the backdrop layer, an expose or a zoom notch the warped one. Each
// paint copies the layer into a frame, draws the overlays and the zoom label over it, and
// draws the frame into the window scaled by resultZoom.
void PaintResultPane(HWND pane, HDC dc, const ResultPaintInput& in)
{
    const MeshEditState& e = in.mesh;
    PaintClock clock;
    auto withoutOffscreen = [&] {
        Gdiplus::Graphics window(dc);
        PaintWithoutOffscreen(window, in.clearColor, in.zoom);
    };

    RECT client{};
    GetClientRect(pane, &client);
    // A zoom far out asks for more pixels than a paint makes, one far in or a tiny pane for
    // none: either way there is no bitmap, and no warp or overlay is drawn.
    int32_t width = OffscreenSide(client.right, in.zoom);
    int32_t height = OffscreenSide(client.bottom, in.zoom);
    if (!OffscreenFits(width, height)) {
        withoutOffscreen();
        return;
    }
    ResultLayers& layers = gLayers;
    clock.Mark(PaintPhase::Setup);

    // An offscreen beyond what is kept is composed anew, as after any change of the content;
    // the warped layer, composed from the backdrop layer, then follows it.
    const bool recomposed =
        !layers.backdrop.Serves(e.contentVersion, uint32_t(width), uint32_t(height));
    if (recomposed) {
        // filling the pixels gives what clearing them with GDI+ gives, without its cost
        bool cleared =
            ClearLayer(layers.backdrop, uint32_t(width), uint32_t(height), in.clearColor);
        clock.Mark(PaintPhase::Clear);
        bool drawn = cleared && DrawBackdrop(layers.backdrop, in.backdrop);
        clock.Mark(PaintPhase::Backdrop);
        if (!drawn) {
            withoutOffscreen();
            return;
        }
        layers.backdrop.version = e.contentVersion;
        layers.backdrop.composed = true;
    }
    // no warp while a stroke is drawn: its family holds one curve more than the grid
    const bool warp = e.sourceSelection.width >= 0 && e.columnCurves.size() >= 2 &&
                      e.rowCurves.size() >= 2 && e.interactionMode != InteractionMode::Stroke;
    if (warp && (recomposed ||
                 !layers.warped.Serves(e.contentVersion, uint32_t(width), uint32_t(height)))) {
        bool copied = CopyLayer(layers.backdrop, layers.warped);
        clock.Mark(PaintPhase::Reuse);
        if (!copied) {
            withoutOffscreen();
            return;
        }
        // every cell of the grid over the backdrop layer's copy
        RenderEditorWarp(in.sourcePixels.Lock(), layers.warped.image.Lock(), e, 0);
        clock.Mark(PaintPhase::Warp);
    }
    if (!CopyLayerCorner(warp ? layers.warped : layers.backdrop, uint32_t(width), uint32_t(height),
                         layers.frame)) {
        withoutOffscreen();
        return;
    }
    clock.Mark(PaintPhase::Reuse);

    Gdiplus::Bitmap offscreen =
        BitmapOverWords(layers.frame.data(), uint32_t(width), uint32_t(height));
    if (offscreen.GetLastStatus() != Gdiplus::Ok) {
        withoutOffscreen();
        return;
    }
    MatchWindowDpi(offscreen, pane);
    {
        Gdiplus::Graphics graphics(&offscreen);
        DrawMeshOverlays(graphics, e);
        DrawOutlinedText(graphics, FormatZoomLabel(in.zoom).c_str(), 10, 10);
    }
    clock.Mark(PaintPhase::Overlays);

    DrawFrame(dc, layers.frame, offscreen, width, height, in.zoom);
    clock.Mark(PaintPhase::Final);
}
