// ResultPane painting: backdrop, warp and mesh overlays composed at canvas scale, then
// drawn into the window scaled by resultZoom. The backdrop, the warp, the overlays over them
// and the frame are kept between paints while nothing they show changes.
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "mesh/int_math.h"

#include "views/paint_clock_win.h"
#include "views/paint_layers.h"
#include "views/paint_win.h"
#include "views/view_math.h"
#include "warp/gdiplus_pixels_win.h"
#include "warp/mesh_warp.h"

static void FillDot(Gdiplus::Graphics& graphics, const Gdiplus::Brush& brush, int32_t x, int32_t y)
{
    graphics.FillEllipse(&brush, DotCorner(x), DotCorner(y), 3, 3);
}

namespace {

constexpr uint32_t kColumnColor = 0xFF00FF00;
constexpr uint32_t kRowColor = 0xFF0000FF;
constexpr uint32_t kNodeColor = 0xFFFFFFFF;
constexpr uint32_t kPointColor = 0xFFFF0000;

// Packed 32-bit pixels the overlays are drawn on.
struct Canvas {
    uint32_t* words;
    uint32_t width;
    uint32_t height;
    float dpi;
    PixelRect Whole() const { return PixelRect{0, 0, int32_t(width), int32_t(height)}; }
};

// The labels, then the lines, of one family within `clip`, each curve's label first; with
// `reach` given, where each label reaches is measured and written there.
void DrawFamilyLines(Gdiplus::Graphics& graphics, const Gdiplus::Font* font, const CurveSet& set,
                     uint32_t color, bool labels, float penWidth, PixelRect clip,
                     std::vector<PixelRect>* reach, const std::vector<PixelRect>& known)
{
    Gdiplus::Pen pen(Gdiplus::Color(color), penWidth);
    const int32_t lineReach = LineReach(penWidth);
    std::vector<Gdiplus::PointF> points;
    if (reach)
        reach->assign(set.size(), PixelRect{});
    for (size_t n = 0; n < set.size(); ++n) {
        const Curve& curve = set[n];
        if (curve.empty())
            continue;
        if (labels) {
            const std::wstring text = FormatCurveIndex(n);
            PixelRect label = n < known.size() ? known[n] : PixelRect{};
            if (reach) {
                label = OutlinedTextReach(graphics, font, text.c_str(), curve[0].x, curve[0].y);
                (*reach)[n] = label;
            }
            if (reach || Overlaps(label, clip))
                DrawOutlinedText(graphics, font, text.c_str(), curve[0].x, curve[0].y);
        }
        if (curve.size() < 2 || !Overlaps(CurveBounds(curve, 0, lineReach), clip))
            continue;
        points.clear();
        for (const Point& p : curve)
            points.emplace_back(static_cast<float>(p.x), static_cast<float>(p.y));
        graphics.DrawLines(&pen, points.data(), static_cast<INT>(points.size()));
    }
}

// The nodes, then the points, of columns before rows, each colour with one brush; only
// the dots that reach into `clip`.
void DrawDots(Gdiplus::Graphics& graphics, const MeshEditState& e, bool nodes, PixelRect clip)
{
    const PixelRect around{
        SaturateToInt32(int64_t(clip.left) - 2), SaturateToInt32(int64_t(clip.top) - 2),
        SaturateToInt32(int64_t(clip.right) + 2), SaturateToInt32(int64_t(clip.bottom) + 2)};
    auto dots = [&](const Gdiplus::Brush& brush, int32_t x, int32_t y) {
        if (x >= around.left && x < around.right && y >= around.top && y < around.bottom)
            FillDot(graphics, brush, x, y);
    };
    if (nodes) {
        Gdiplus::SolidBrush white{Gdiplus::Color(kNodeColor)};
        for (const NodeRow& row : e.nodeGrid)
            for (const MeshNode& node : row)
                dots(white, node.x, node.y);
    }
    // the red points lie over the white nodes
    Gdiplus::SolidBrush red{Gdiplus::Color(kPointColor)};
    for (const CurveSet* set : {&e.columnCurves, &e.rowCurves})
        for (const Curve& curve : *set)
            for (const Point& p : curve)
                dots(red, p.x, p.y);
}

// Every overlay of the mesh within `clip`, in the order the pane shows them: the column
// curves with their labels, the row curves with theirs, the nodes, the points. With `drawn`
// given, every label is drawn and where each reaches is recorded there; else only what
// reaches into `clip` is drawn, with the labels' reach taken from `known`. Nothing outside
// `clip` changes. `whole` tells whether every call succeeded (no font, or memory that ran
// out inside the library, leaves something out, which must not be kept).
bool DrawOverlays(const Canvas& canvas, const MeshEditState& e, PixelRect clip, DrawnMesh* drawn,
                  const DrawnMesh& known, bool& whole)
{
    const OverlayPlan plan = PlanOverlays(e.columnCurves.size(), e.rowCurves.size());
    whole = true;
    if (!plan.curves)
        return true;
    {
        Gdiplus::Bitmap bitmap = BitmapOverWords(canvas.words, canvas.width, canvas.height);
        if (bitmap.GetLastStatus() != Gdiplus::Ok)
            return false;
        MatchDpi(bitmap, canvas.dpi);
        Gdiplus::Graphics graphics(&bitmap);
        if (!(clip == canvas.Whole()))
            graphics.SetClip(
                Gdiplus::Rect(clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top));
        std::unique_ptr<Gdiplus::Font> font = MakeLabelFont();
        DrawFamilyLines(graphics, font.get(), e.columnCurves, kColumnColor, plan.columnLabels,
                        plan.columnPenWidth, clip, drawn ? &drawn->columnLabels : nullptr,
                        known.columnLabels);
        DrawFamilyLines(graphics, font.get(), e.rowCurves, kRowColor, plan.rowLabels,
                        plan.rowPenWidth, clip, drawn ? &drawn->rowLabels : nullptr,
                        known.rowLabels);
        DrawDots(graphics, e, plan.nodes, clip);
        whole = graphics.GetLastStatus() == Gdiplus::Ok &&
                (font || !(plan.columnLabels || plan.rowLabels));
    }
    return true;
}

}  // namespace

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
// own copy of the pixels gives the same picture, without the cost, and no bitmap over the
// frame is needed. False when the scaled draw's bitmap cannot be had.
static bool DrawFrame(HDC dc, std::vector<uint32_t>& frame, int32_t width, int32_t height,
                      float zoom, float dpi)
{
    Gdiplus::Rect destination(0, 0, ScaleLength(width, zoom), ScaleLength(height, zoom));
    if (destination.Width == width && destination.Height == height &&
        AllOpaque(frame.data(), size_t(width) * size_t(height))) {
        const BITMAPINFO info = TopDownInfo32(width, height);
        SetDIBitsToDevice(dc, 0, 0, DWORD(width), DWORD(height), 0, 0, 0, UINT(height),
                          frame.data(), &info, DIB_RGB_COLORS);
        return true;
    }
    Gdiplus::Bitmap offscreen = BitmapOverWords(frame.data(), uint32_t(width), uint32_t(height));
    if (offscreen.GetLastStatus() != Gdiplus::Ok)
        return false;
    MatchDpi(offscreen, dpi);
    // the sliver beyond the destination, under one zoomed pixel wide, is left unpainted
    Gdiplus::Graphics window(dc);
    Gdiplus::ImageAttributes attributes;
    window.DrawImage(&offscreen, destination, 0, 0, width, height, Gdiplus::UnitPixel, &attributes);
    return true;
}

// The overlaid layer brought to show the mesh over `base` (the backdrop or the warped
// layer, `baseKey` naming which and its composing): left as it is while the mesh and the
// base are those it shows, redrawn only in the pixels a stroke's move changes, or copied
// from the base and drawn whole. `changed` gets the pixels that changed, all of the layer
// when `all`. False, the layer dropped, when it cannot be had.
static bool UpdateOverlaid(ResultLayers& layers, const KeptLayer& base, uint64_t baseKey, float dpi,
                           uint32_t width, uint32_t height, const MeshEditState& e,
                           PixelRect& changed, bool& all)
{
    KeptLayer& overlaid = layers.overlaid;
    const OverlayPlan plan = PlanOverlays(e.columnCurves.size(), e.rowCurves.size());
    MeshChange change = MeshChange::Other;
    if (overlaid.composed && overlaid.version == baseKey && layers.overlaidDpi == dpi &&
        overlaid.Spans(width, height) && overlaid.image.width == base.image.width &&
        overlaid.image.height == base.image.height)
        change =
            CompareMeshes(layers.drawn.columns, layers.drawn.rows, layers.drawn.nodes,
                          e.columnCurves, e.rowCurves, e.nodeGrid, LineReach(plan.columnPenWidth),
                          LineReach(plan.rowPenWidth), changed);
    all = change == MeshChange::Other;
    if (change == MeshChange::None)
        return true;
    const PixelRect whole{0, 0, int32_t(base.image.width), int32_t(base.image.height)};
    changed = Intersect(changed, whole);
    ++layers.overlaidGeneration;
    if (all) {
        changed = whole;
        if (!CopyLayer(base, overlaid))
            return false;
    } else {
        CopyRect(base.image.pixels.data(), base.image.width, overlaid.image.pixels.data(),
                 overlaid.image.width, changed);
    }
    overlaid.composed = false;  // until the overlays and what they show are recorded
    const Canvas canvas{overlaid.image.pixels.data(), overlaid.image.width, overlaid.image.height,
                        dpi};
    DrawnMesh& drawn = layers.drawn;
    bool complete = false;
    if (!DrawOverlays(canvas, e, changed, all ? &drawn : nullptr, drawn, complete))
        return false;
    // A copy that matches no mesh with overlays has the next paint draw them whole again.
    try {
        drawn.columns = complete ? e.columnCurves : CurveSet{};
        drawn.rows = complete ? e.rowCurves : CurveSet{};
        drawn.nodes = complete ? e.nodeGrid : NodeGrid{};
    } catch (const std::bad_alloc&) {
        drawn = DrawnMesh{};
    }
    overlaid.version = baseKey;
    overlaid.composed = true;
    layers.overlaidDpi = dpi;
    return true;
}

// The frame brought to show the top-left width x height of the overlaid layer with the
// zoom label over it: left as it is, patched in the `changed` pixels when it showed the
// overlaid layer of generation `patchable` and only those changed since, or copied whole.
// False when it cannot be had.
static bool UpdateFrame(ResultLayers& layers, uint32_t width, uint32_t height, float zoom,
                        float dpi, const uint64_t* patchable, PixelRect changed)
{
    FrameKey& key = layers.frameKey;
    const bool same = key.valid && key.width == width && key.height == height && key.zoom == zoom;
    const PixelRect frameRect{0, 0, int32_t(width), int32_t(height)};
    PixelRect redo;
    if (same && key.overlays == layers.overlaidGeneration) {
        return true;
    } else if (same && patchable && key.overlays == *patchable) {
        redo = Intersect(changed, frameRect);  // the overlays changed there alone
        CopyRect(layers.overlaid.image.pixels.data(), layers.overlaid.image.width,
                 layers.frame.data(), width, redo);
    } else {
        key.valid = false;
        if (!CopyLayerCorner(layers.overlaid, width, height, layers.frame))
            return false;
        redo = frameRect;
    }
    key.valid = false;
    Gdiplus::Bitmap offscreen = BitmapOverWords(layers.frame.data(), width, height);
    if (offscreen.GetLastStatus() != Gdiplus::Ok)
        return false;
    MatchDpi(offscreen, dpi);
    {
        Gdiplus::Graphics graphics(&offscreen);
        std::unique_ptr<Gdiplus::Font> font = MakeLabelFont();
        const std::wstring label = FormatZoomLabel(zoom);
        if (redo == frameRect) {
            key.zoomLabel = OutlinedTextReach(graphics, font.get(), label.c_str(), 10, 10);
        } else if (!Overlaps(redo, key.zoomLabel)) {
            redo = PixelRect{};
        } else {
            graphics.SetClip(
                Gdiplus::Rect(redo.left, redo.top, redo.right - redo.left, redo.bottom - redo.top));
        }
        if (!redo.Empty())
            DrawOutlinedText(graphics, font.get(), label.c_str(), 10, 10);
        // a label left out is drawn again by the next paint
        key.valid = font && graphics.GetLastStatus() == Gdiplus::Ok;
    }
    key = FrameKey{key.valid, width, height, zoom, layers.overlaidGeneration, key.zoomLabel};
    return true;
}

// The background, BackdropImage and the warp are composed at canvas scale into kept layers,
// reused while the content version stays the same and the offscreen fits in them: a
// stroke's moves show the backdrop layer, an expose or a zoom notch the warped one. The
// overlays are kept over that layer while the mesh stays the same, and a stroke's move
// redraws only the pixels it changes, in the order of a whole paint; the frame takes the
// layer's corner and the zoom label, and is drawn into the window scaled by resultZoom.
void PaintResultPane(HWND pane, HDC dc, const ResultPaintInput& in)
{
    const MeshEditState& e = in.mesh;
    PaintClock clock;
    ResultLayers& layers = gLayers;
    auto withoutOffscreen = [&] {
        layers.overlaid.composed = false;
        layers.frameKey.valid = false;
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
    const float dpi = WindowDpi(pane);
    clock.Mark(PaintPhase::Setup);

    // An offscreen beyond what is kept is composed anew, as after any change of the content;
    // the warped layer, composed from the backdrop layer, then follows it.
    const bool recomposed =
        !layers.backdrop.Serves(e.contentVersion, uint32_t(width), uint32_t(height));
    if (recomposed) {
        ++layers.composes;
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
        ++layers.composes;
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

    const uint64_t generationBefore = layers.overlaidGeneration;
    PixelRect changed;
    bool all = false;
    if (!UpdateOverlaid(layers, warp ? layers.warped : layers.backdrop,
                        layers.composes * 2 + (warp ? 1 : 0), dpi, uint32_t(width),
                        uint32_t(height), e, changed, all) ||
        !UpdateFrame(layers, uint32_t(width), uint32_t(height), in.zoom, dpi,
                     all ? nullptr : &generationBefore, changed)) {
        withoutOffscreen();
        return;
    }
    clock.Mark(PaintPhase::Overlays);

    if (!DrawFrame(dc, layers.frame, width, height, in.zoom, dpi)) {
        withoutOffscreen();
        return;
    }
    clock.Mark(PaintPhase::Final);
}
