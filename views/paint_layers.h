// What ResultPane keeps between paints: the pictures it composes at canvas scale below its
// overlays, each tagged with the content version it was composed at, and the frame a paint
// draws its overlays on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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

struct ResultLayers {
    KeptLayer backdrop;  // the clear colour and BackdropImage: what a stroke is drawn over
    KeptLayer warped;    // the backdrop layer with the warp written over it
    std::vector<uint32_t> frame;
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
