// What ResultPane keeps between paints: the pictures it composes at canvas scale below its
// overlays, each tagged with the content version it was composed at, the same with the mesh
// overlays drawn over it, and the frame a paint draws the zoom label on; and the arithmetic
// that tells which pixels a change of the mesh reaches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mesh/curves.h"
#include "mesh/node_grid.h"
#include "warp/pixel_buffer.h"

struct KeptLayer {
    PixelImage image;
    bool composed = false;
    uint64_t version = 0;

    // Composed at `version` and at least width x height.
    bool Serves(uint64_t version, uint32_t width, uint32_t height) const;
    // At least width x height, whatever its version.
    bool Spans(uint32_t width, uint32_t height) const;
};

// Layer pixels from (left, top) up to but not including (right, bottom).
struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool Empty() const { return left >= right || top >= bottom; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};
PixelRect Intersect(PixelRect a, PixelRect b);
PixelRect Unite(PixelRect a, PixelRect b);  // the smallest holding both; an empty one adds nothing
bool Overlaps(PixelRect a, PixelRect b);
// The box around curve points first.. (to its end), widened by `margin` on every side,
// saturated to int32; empty when there are no such points.
PixelRect CurveBounds(const Curve& curve, size_t first, int32_t margin);
// How far past a curve's points its line can reach: half the pen, as far as a mitred
// join's tip (ten half widths) with a dot and a pixel of rounding beyond.
int32_t LineReach(float penWidth);

// What a paint must redraw of the overlays it drew for one mesh to show another: nothing;
// only the pixels in `changed`, where the points of one curve changed from its second on,
// as a stroke's moves append or replace its last point (the counts, the labels, the nodes and
// every other curve stay as they were); or everything.
enum class MeshChange { None, Tail, Other };
MeshChange CompareMeshes(const CurveSet& oldColumns, const CurveSet& oldRows,
                         const NodeGrid& oldNodes, const CurveSet& newColumns,
                         const CurveSet& newRows, const NodeGrid& newNodes, int32_t columnReach,
                         int32_t rowReach, PixelRect& changed);

// The rectangle `r` (inside both) copied between packed layers of the given row strides.
void CopyRect(const uint32_t* from, uint32_t fromStride, uint32_t* to, uint32_t toStride,
              PixelRect r);

// The mesh as the overlaid layer shows it: what its next paint compares with.
struct DrawnMesh {
    CurveSet columns;
    CurveSet rows;
    NodeGrid nodes;
    std::vector<PixelRect> columnLabels;  // where each curve's index label reaches, if shown
    std::vector<PixelRect> rowLabels;
};

// The frame's key: the part of the overlaid layer it holds, at which zoom, and where its
// zoom label reaches.
struct FrameKey {
    bool valid = false;
    uint32_t width = 0;
    uint32_t height = 0;
    float zoom = 0.0f;
    uint64_t overlays = 0;  // the overlaid layer's generation it was copied from
    PixelRect zoomLabel;
};

struct ResultLayers {
    KeptLayer backdrop;     // the clear colour and BackdropImage: what a stroke is drawn over
    KeptLayer warped;       // the backdrop layer with the warp written over it
    uint64_t composes = 0;  // counts every composing of either, so the overlays know theirs
    // The backdrop or warped layer with the mesh overlays drawn over it, at the layer's
    // size; `version` is the count of composes it was drawn over, times two, plus one over
    // the warped layer.
    KeptLayer overlaid;
    float overlaidDpi = 0.0f;
    uint64_t overlaidGeneration = 0;  // changes with every change of its pixels
    DrawnMesh drawn;
    std::vector<uint32_t> frame;  // the offscreen: the overlaid layer's corner and the zoom label
    FrameKey frameKey;
};

// A new width x height layer of one colour, as clearing gives it; false (the layer left
// uncomposed) when it cannot be allocated.
bool ClearLayer(KeptLayer& layer, uint32_t width, uint32_t height, uint32_t color);
// `to` becomes a copy of `from`, version included; false (uncomposed) when it cannot be had.
bool CopyLayer(const KeptLayer& from, KeptLayer& to);
// The top-left width x height of the layer, packed into `frame` (grown when too small, never
// shrunk); false when the frame cannot grow or the layer is smaller.
bool CopyLayerCorner(const KeptLayer& layer, uint32_t width, uint32_t height,
                     std::vector<uint32_t>& frame);
// Whether every pixel has alpha 255.
bool AllOpaque(const uint32_t* pixels, size_t count);
