// ResultPane's kept layers: allocation that reports failure instead of throwing, and the
// copies a paint makes of them.
#include "views/paint_layers.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

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
