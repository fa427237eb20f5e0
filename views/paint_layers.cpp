// ResultPane's kept layers: allocation that reports failure instead of throwing, the copies
// a paint makes of them, and what a change of the mesh reaches.
#include "views/paint_layers.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "mesh/int_math.h"

bool KeptLayer::Serves(uint64_t v, uint32_t width, uint32_t height) const
{
    return composed && version == v && Spans(width, height);
}

bool KeptLayer::Spans(uint32_t width, uint32_t height) const
{
    return composed && image.width >= width && image.height >= height;
}

bool ClearLayer(KeptLayer& layer, uint32_t width, uint32_t height, uint32_t color)
{
    layer.composed = false;
    if (layer.image.width == width && layer.image.height == height) {
        std::fill(layer.image.pixels.begin(), layer.image.pixels.end(), color);
        return true;
    }
    return layer.image.Allocate(width, height, color);
}

bool CopyLayer(const KeptLayer& from, KeptLayer& to)
{
    to.composed = false;
    try {
        to.image = from.image;
    } catch (const std::bad_alloc&) {
        to.image = PixelImage{};
        return false;
    }
    to.version = from.version;
    to.composed = from.composed;
    return true;
}

bool CopyLayerCorner(const KeptLayer& layer, uint32_t width, uint32_t height,
                     std::vector<uint32_t>& frame)
{
    if (!layer.Spans(width, height))
        return false;
    const size_t words = size_t(width) * height;
    if (frame.size() < words) {
        try {
            frame.resize(words);
        } catch (const std::bad_alloc&) {
            return false;
        } catch (const std::length_error&) {
            return false;
        }
    }
    const uint32_t stride = layer.image.width;
    for (uint32_t y = 0; y < height; ++y)
        std::memcpy(&frame[size_t(y) * width], &layer.image.pixels[size_t(y) * stride],
                    size_t(width) * 4);
    return true;
}

bool AllOpaque(const uint32_t* pixels, size_t count)
{
    uint32_t all = 0xFF000000u;
    for (size_t i = 0; i < count; ++i)
        all &= pixels[i];
    return all == 0xFF000000u;
}

PixelRect Intersect(PixelRect a, PixelRect b)
{
    PixelRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
    return r.Empty() ? PixelRect{} : r;
}

PixelRect Unite(PixelRect a, PixelRect b)
{
    if (a.Empty())
        return b;
    if (b.Empty())
        return a;
    return PixelRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                     std::max(a.bottom, b.bottom)};
}

bool Overlaps(PixelRect a, PixelRect b) { return !Intersect(a, b).Empty(); }

PixelRect CurveBounds(const Curve& curve, size_t first, int32_t margin)
{
    if (first >= curve.size())
        return {};
    int32_t left = curve[first].x, right = left, top = curve[first].y, bottom = top;
    for (size_t i = first + 1; i < curve.size(); ++i) {
        left = std::min(left, curve[i].x);
        right = std::max(right, curve[i].x);
        top = std::min(top, curve[i].y);
        bottom = std::max(bottom, curve[i].y);
    }
    return PixelRect{SaturateToInt32(int64_t(left) - margin),
                     SaturateToInt32(int64_t(top) - margin),
                     SaturateToInt32(int64_t(right) + margin + 1),
                     SaturateToInt32(int64_t(bottom) + margin + 1)};
}

int32_t LineReach(float penWidth)
{
    // a half width of 1.5 gives 15 for the mitre's tip, 3 for the dot and the rounding
    return TruncateFloatToInt32(penWidth * 5.0f) + 3;
}

// Whether the sets differ in one curve alone, from its second point on; `curve` is that one
// and `from` the first index where its two versions differ.
static bool DifferInOneTail(const CurveSet& a, const CurveSet& b, size_t& curve, size_t& from)
{
    if (a.size() != b.size())
        return false;
    bool found = false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i])
            continue;
        if (found || a[i].empty() || b[i].empty() || a[i][0] != b[i][0])
            return false;
        found = true;
        curve = i;
    }
    if (!found)
        return false;
    const Curve& x = a[curve];
    const Curve& y = b[curve];
    from = 1;
    while (from < x.size() && from < y.size() && x[from] == y[from])
        ++from;
    return true;
}

MeshChange CompareMeshes(const CurveSet& oldColumns, const CurveSet& oldRows,
                         const NodeGrid& oldNodes, const CurveSet& newColumns,
                         const CurveSet& newRows, const NodeGrid& newNodes, int32_t columnReach,
                         int32_t rowReach, PixelRect& changed)
{
    changed = PixelRect{};
    if (oldNodes != newNodes)
        return MeshChange::Other;
    const bool sameColumns = oldColumns == newColumns;
    const bool sameRows = oldRows == newRows;
    if (sameColumns && sameRows)
        return MeshChange::None;
    if (!sameColumns && !sameRows)
        return MeshChange::Other;
    const CurveSet& a = sameRows ? oldColumns : oldRows;
    const CurveSet& b = sameRows ? newColumns : newRows;
    const int32_t reach = sameRows ? columnReach : rowReach;
    size_t curve = 0, from = 0;
    if (!DifferInOneTail(a, b, curve, from))
        return MeshChange::Other;
    // The segment ending at the first changed point and the join before it change too.
    const size_t first = from >= 2 ? from - 2 : 0;
    changed = Unite(CurveBounds(a[curve], first, reach), CurveBounds(b[curve], first, reach));
    return MeshChange::Tail;
}

void CopyRect(const uint32_t* from, uint32_t fromStride, uint32_t* to, uint32_t toStride,
              PixelRect r)
{
    if (r.Empty())
        return;
    const size_t words = size_t(r.right - r.left);
    for (int32_t y = r.top; y < r.bottom; ++y)
        std::memcpy(to + size_t(y) * toStride + size_t(r.left),
                    from + size_t(y) * fromStride + size_t(r.left), words * 4);
}
